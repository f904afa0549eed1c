#pragma once
// Glyph fonts for tests, drawn by this code (no font of any product is used): the code table
// (CHT.DAT), the 24 x 24 double-byte glyphs (CHT24.DAT) and the 96 single-byte glyphs
// (ENG12.DAT), with patterns that tell glyphs, pixels and nibble order apart, and a writer that
// puts a font set into a temporary tree.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class TempTree;

// The double-byte characters of the standard fixture font, in ascending code order (Big5).
struct FixtureGlyph {
  uint16_t code;
  const char* utf8;  // the character in UTF-8
};
inline constexpr FixtureGlyph kFixtureGlyphs[] = {
    {0xA440, "一"},  // glyph 0: every pixel level 15
    {0xA4A4, "中"},  // glyph 1: level = column % 16 (a ramp; pixel 0 level 0, pixel 1 level 1)
    {0xA4E5, "文"},  // glyph 2: level = row % 16
    {0xA672, "字"},  // glyph 3: a one-pixel frame of level 15, empty inside
    {0xAABA, "的"},  // glyph 4: level 9 on the diagonal column == row, else 0
};
inline constexpr int kFixtureGlyphCount = 5;
// A Big5 code that the fixture font does not hold ("人").
inline constexpr uint16_t kFixtureMissingCode = 0xA448;

// Coverage level of pixel (column, row) of double-byte glyph `glyph` of the standard font; glyph
// numbers past the five above (the oversize font) use (glyph + column + 2 x row) % 16.
int FixtureLevel24(int glyph, int column, int row);
// Coverage level of pixel (column, row) of the single-byte glyph of byte c (32-127):
// (c + column + 3 x row) % 16, so that neighbouring bytes differ everywhere.
int FixtureLevel12(int c, int column, int row);

// The bytes of the three font files.
struct GlyphFontFiles {
  std::vector<uint8_t> cht;    // CHT.DAT
  std::vector<uint8_t> cht24;  // CHT24.DAT
  std::vector<uint8_t> eng12;  // ENG12.DAT
};

// The standard fixture font: the five codes above and all 96 single-byte glyphs.
GlyphFontFiles MakeGlyphFont();
// A font of `count` codes 0x8140, 0x8141, ... (ascending) with a glyph each.
GlyphFontFiles MakeOversizeGlyphFont(int count);

// A font of the double-byte codes found in the given Big5 strings (each once, ascending), code i
// drawn as the oversize font's glyph i + kFixtureGlyphCount (a pattern of its own), and all 96
// single-byte glyphs: captured frames then show where each text lands.
GlyphFontFiles MakeGlyphFontFor(const std::vector<std::string>& big5_texts);

// Writes the three files under their usual upper-case names at the tree's root, or in `folder`
// of the tree (for example "cwd", the working directory of a GameTree).
void WriteGlyphFont(TempTree& tree, const GlyphFontFiles& font, const std::string& folder = "");

}  // namespace testsupport
