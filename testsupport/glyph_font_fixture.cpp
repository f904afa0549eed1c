#include "testsupport/glyph_font_fixture.h"

#include <set>

#include "platform/little_endian.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

int FixtureLevel24(int glyph, int column, int row) {
  switch (glyph) {
    case 0:
      return 15;
    case 1:
      return column % 16;
    case 2:
      return row % 16;
    case 3:
      return (column == 0 || column == 23 || row == 0 || row == 23) ? 15 : 0;
    case 4:
      return column == row ? 9 : 0;
    default:
      return (glyph + column + 2 * row) % 16;
  }
}

int FixtureLevel12(int c, int column, int row) { return (c + column + 3 * row) % 16; }

namespace {

// Packs one glyph: rows top first, two pixels per byte, the left one in the high nibble.
void AppendGlyph(std::vector<uint8_t>& out, int width, int (*level)(int, int, int), int which) {
  for (int row = 0; row < 24; ++row) {
    for (int col = 0; col < width; col += 2) {
      int left = level(which, col, row);
      int right = level(which, col + 1, row);
      out.push_back(static_cast<uint8_t>((left << 4) | right));
    }
  }
}

std::vector<uint8_t> MakeEng12() {
  std::vector<uint8_t> out;
  for (int c = 32; c < 128; ++c) AppendGlyph(out, 12, FixtureLevel12, c);
  return out;
}

}  // namespace

GlyphFontFiles MakeGlyphFont() {
  GlyphFontFiles font;
  for (int i = 0; i < kFixtureGlyphCount; ++i) {
    platform::PutLe16(font.cht, kFixtureGlyphs[i].code);
    AppendGlyph(font.cht24, 24, FixtureLevel24, i);
  }
  font.eng12 = MakeEng12();
  return font;
}

GlyphFontFiles MakeOversizeGlyphFont(int count) {
  GlyphFontFiles font;
  for (int i = 0; i < count; ++i) {
    platform::PutLe16(font.cht, static_cast<uint16_t>(0x8140 + i));
    AppendGlyph(font.cht24, 24, FixtureLevel24, i);
  }
  font.eng12 = MakeEng12();
  return font;
}

GlyphFontFiles MakeGlyphFontFor(const std::vector<std::string>& big5_texts) {
  std::set<uint16_t> codes;
  for (const std::string& text : big5_texts) {
    for (size_t i = 0; i < text.size(); ++i) {
      const auto lead = static_cast<uint8_t>(text[i]);
      if (lead < 0x81 || i + 1 >= text.size()) continue;
      codes.insert(static_cast<uint16_t>((lead << 8) | static_cast<uint8_t>(text[i + 1])));
      ++i;
    }
  }
  GlyphFontFiles font;
  int glyph = kFixtureGlyphCount;
  for (uint16_t code : codes) {
    platform::PutLe16(font.cht, code);
    AppendGlyph(font.cht24, 24, FixtureLevel24, glyph++);
  }
  font.eng12 = MakeEng12();
  return font;
}

void WriteGlyphFont(TempTree& tree, const GlyphFontFiles& font, const std::string& folder) {
  const std::string prefix = folder.empty() ? "" : folder + "/";
  tree.Write(prefix + "CHT.DAT", font.cht);
  tree.Write(prefix + "CHT24.DAT", font.cht24);
  tree.Write(prefix + "ENG12.DAT", font.eng12);
}

}  // namespace testsupport
