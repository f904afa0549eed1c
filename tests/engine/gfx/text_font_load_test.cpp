#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "tests/engine/gfx/text_test_support.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

using texttest::Bytes;
using texttest::Level12;
using texttest::Level24;
using texttest::PaintExpected;
using texttest::Picture;
using texttest::SamePicture;
using testsupport::TempTree;
using testsupport::GlyphFontFiles;

constexpr uint16_t kSentinel = 0x5A5A;

// An engine whose working directory is `dir`, with fonts loaded from it (result in `loaded`).
struct Loaded {
  explicit Loaded(const TempTree& dir) {
    engine.host.files.SetWorkingDirectory(dir.root());
    loaded = text().LoadFont();
    text().SetPixelMode(CDdrawText::kModeRgb565);
  }
  CDdrawText& text() { return engine.ctx().ddraw_text; }

  // Draws a string with a background at (0, 0) and returns the destination.
  Picture Draw(const std::string& s) {
    Picture dst(120, 24, kSentinel);
    Picture bg(120, 24, 0);
    std::vector<char> bytes = Bytes(s);
    text().DrawTextToDesc(bytes.data(), static_cast<int>(bytes.size()), 0, 0, 0, 0, dst.desc(),
                          &bg.desc(), 0xFFFFFF);
    return dst;
  }
  // The destination Draw leaves when only the given cells are drawn.
  using Cells = std::vector<std::pair<int, int>>;  // (glyph or byte, x)
  Picture Expect(const Cells& cells24, const Cells& cells12) {
    Picture want(120, 24, kSentinel);
    Picture bg(120, 24, 0);
    for (auto [glyph, x] : cells24) {
      PaintExpected(text(), want, 24, x, 0, &bg, x, 0, 0xFFFFFF, Level24(glyph));
    }
    for (auto [ch, x] : cells12) {
      PaintExpected(text(), want, 12, x, 0, &bg, x, 0, 0xFFFFFF, Level12(ch));
    }
    return want;
  }

  testsupport::TestEngine engine;
  int loaded = 0;
};

TEST(TextFontLoad, FixtureCodesAreTheBig5OfTheirCharacters) {
  for (const auto& g : testsupport::kFixtureGlyphs) {
    std::string want{static_cast<char>(g.code >> 8), static_cast<char>(g.code & 0xFF)};
    EXPECT_EQ(Big5FromUtf8(g.utf8), want) << g.utf8;
  }
}

TEST(TextFontLoad, LoadsAllThreeFilesWithNamesInAnyCase) {
  for (const bool lower : {false, true}) {
    TempTree dir;
    GlyphFontFiles font = testsupport::MakeGlyphFont();
    if (lower) {
      dir.Write("cht.dat", font.cht);
      dir.Write("Cht24.Dat", font.cht24);
      dir.Write("eng12.dat", font.eng12);
    } else {
      testsupport::WriteGlyphFont(dir, font);
    }
    Loaded l(dir);
    EXPECT_EQ(l.loaded, 1);
    EXPECT_EQ(l.text().code_count(), 5u);
    EXPECT_EQ(l.text().codes()[4], 0xAABA);
    EXPECT_EQ(l.text().FindCode(0xA4E5), 2);
    EXPECT_EQ(l.text().FindCode(testsupport::kFixtureMissingCode), -1);
    EXPECT_TRUE(l.text().glyph24_loaded());
    EXPECT_TRUE(l.text().glyph12_loaded());
    EXPECT_TRUE(SamePicture(l.Draw(*Big5FromUtf8("文") + "Az"),
                            l.Expect({{2, 0}}, {{'A', 24}, {'z', 36}})));
  }
}

// A file that cannot be opened ends the loading: it and the fonts after it (order CHT.DAT,
// ENG12.DAT, CHT24.DAT) stay unloaded.
TEST(TextFontLoad, MissingFileStopsTheLoading) {
  struct Case {
    const char* missing;
    uint32_t codes;
    bool ascii_drawn;
    bool double_byte_drawn;
  };
  const Case cases[] = {
      {"CHT.DAT", 0, false, false},
      {"ENG12.DAT", 5, false, false},
      {"CHT24.DAT", 5, true, false},
  };
  for (const Case& c : cases) {
    TempTree dir;
    GlyphFontFiles font = testsupport::MakeGlyphFont();
    if (std::string(c.missing) != "CHT.DAT") dir.Write("CHT.DAT", font.cht);
    if (std::string(c.missing) != "ENG12.DAT") dir.Write("ENG12.DAT", font.eng12);
    if (std::string(c.missing) != "CHT24.DAT") dir.Write("CHT24.DAT", font.cht24);
    testsupport::TraceCapture trace;
    Loaded l(dir);
    EXPECT_EQ(l.loaded, 0) << c.missing;
    EXPECT_TRUE(trace.Contains(c.missing)) << c.missing;
    EXPECT_EQ(l.text().code_count(), c.codes) << c.missing;
    // "中" at 0, "A" at 24: the pen advances the same whatever is loaded.
    Picture want = l.Expect(c.double_byte_drawn ? Loaded::Cells{{1, 0}} : Loaded::Cells{},
                            c.ascii_drawn ? Loaded::Cells{{'A', 24}} : Loaded::Cells{});
    EXPECT_TRUE(SamePicture(l.Draw(*Big5FromUtf8("中") + "A"), want)) << c.missing;
  }
}

TEST(TextFontLoad, MoreThan3000CodesKeepTheFirst3000) {
  TempTree dir;
  testsupport::WriteGlyphFont(dir, testsupport::MakeOversizeGlyphFont(3001));
  testsupport::TraceCapture trace;
  Loaded l(dir);
  EXPECT_EQ(l.loaded, 1);
  EXPECT_TRUE(trace.Contains("first 3000"));
  ASSERT_EQ(l.text().code_count(), 3000u);
  EXPECT_EQ(l.text().codes()[2999], 0x8140 + 2999);
  EXPECT_EQ(l.text().FindCode(0x8140 + 2999), 2999);
  EXPECT_EQ(l.text().FindCode(0x8140 + 3000), -1);
  const uint16_t last = 0x8140 + 2999;
  const uint16_t dropped = 0x8140 + 3000;
  std::string s{static_cast<char>(last >> 8), static_cast<char>(last & 0xFF),
                static_cast<char>(dropped >> 8), static_cast<char>(dropped & 0xFF), 'A'};
  EXPECT_TRUE(SamePicture(l.Draw(s), l.Expect({{2999, 0}}, {{'A', 48}})));
}

// Glyph files shorter than the code table or than 96 glyphs: glyphs past the data are missing,
// nothing is read past it (the buffers are exactly the files' size), and the pen still advances.
TEST(TextFontLoad, TruncatedGlyphFilesAreNotReadPastTheirEnd) {
  TempTree dir;
  GlyphFontFiles font = testsupport::MakeGlyphFont();
  font.cht24.resize(2 * 288 + 100);     // glyphs 0 and 1 whole, glyph 2 cut
  font.eng12.resize(('A' - 32) * 144 + 50);  // up to '@' whole, 'A' cut
  testsupport::WriteGlyphFont(dir, font);
  testsupport::TraceCapture trace;
  Loaded l(dir);
  EXPECT_EQ(l.loaded, 1);
  EXPECT_TRUE(trace.Contains("CHT24.DAT holds 2 glyphs for 5 codes"));
  EXPECT_TRUE(trace.Contains("ENG12.DAT holds 33 of 96 glyphs"));
  EXPECT_EQ(l.text().glyph24_size(), font.cht24.size());
  EXPECT_EQ(l.text().glyph12_size(), font.eng12.size());
  // 中 (glyph 1) drawn, 文 (glyph 2, cut) and 字 (3, absent) not; '@' drawn, 'A' and 'z' not.
  std::string s = *Big5FromUtf8("中文") + "@Az" + *Big5FromUtf8("字");
  Picture dst(160, 24, kSentinel);
  Picture bg(160, 24, 0);
  std::vector<char> bytes = Bytes(s);
  for (const bool with_bg : {true, false}) {
    std::fill(dst.px.begin(), dst.px.end(), kSentinel);
    l.text().DrawTextToDesc(bytes.data(), static_cast<int>(bytes.size()), 0, 0, 0, 0, dst.desc(),
                            with_bg ? &bg.desc() : nullptr, 0xFFFFFF);
    Picture want(160, 24, kSentinel);
    const Picture* b = with_bg ? &bg : nullptr;
    PaintExpected(l.text(), want, 24, 0, 0, b, 0, 0, 0xFFFFFF, Level24(1));
    PaintExpected(l.text(), want, 12, 48, 0, b, 48, 0, 0xFFFFFF, Level12('@'));
    EXPECT_TRUE(SamePicture(dst, want)) << (with_bg ? "background" : "no background");
  }
  Picture pic(160, 24, kSentinel);
  l.text().DrawStringToDesc(bytes.data(), static_cast<int>(bytes.size()), 0, 0, pic.desc(),
                            pic.desc(),
                      0xFFFFFF);
  EXPECT_NE(pic.at(1, 0), kSentinel);   // 中 drawn
  EXPECT_EQ(pic.at(24, 0), kSentinel);  // 文 not
}

// A font file without a single glyph fails the load as a missing one does, with the file and the
// cause; a file with one glyph (an odd CHT.DAT drops its last byte) loads.
TEST(TextFontLoad, FilesWithoutAGlyphFailTheLoadAndSayWhich) {
  struct Case {
    const char* name;
    std::vector<uint8_t> cht;
    size_t eng12_bytes;
    size_t cht24_bytes;
    int loaded;
    const char* failure;
  };
  const GlyphFontFiles font = testsupport::MakeGlyphFont();
  const Case cases[] = {
      {"empty code table", {}, font.eng12.size(), font.cht24.size(), 0, "CHT.DAT holds no codes"},
      {"one byte of codes", {0x40}, font.eng12.size(), font.cht24.size(), 0,
       "CHT.DAT holds no codes"},
      {"odd code table", {0x40, 0xA4, 0xA4}, font.eng12.size(), font.cht24.size(), 1, ""},
      {"empty single-byte glyphs", font.cht, 0, font.cht24.size(), 0, "ENG12.DAT holds no glyphs"},
      {"single-byte glyphs cut inside the first", font.cht, 143, font.cht24.size(), 0,
       "ENG12.DAT holds no glyphs"},
      {"one single-byte glyph", font.cht, 144, font.cht24.size(), 1, ""},
      {"empty double-byte glyphs", font.cht, font.eng12.size(), 0, 0, "CHT24.DAT holds no glyphs"},
      {"double-byte glyphs cut inside the first", font.cht, font.eng12.size(), 287, 0,
       "CHT24.DAT holds no glyphs"},
      {"one double-byte glyph", font.cht, font.eng12.size(), 288, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree dir;
    GlyphFontFiles files = font;
    files.cht = c.cht;
    files.eng12.resize(c.eng12_bytes);
    files.cht24.resize(c.cht24_bytes);
    testsupport::WriteGlyphFont(dir, files);
    testsupport::TraceCapture trace;
    Loaded l(dir);
    EXPECT_EQ(l.loaded, c.loaded);
    EXPECT_EQ(l.text().load_failure(), c.failure);
    if (c.loaded == 0) {
      EXPECT_TRUE(trace.Contains(c.failure));
    }
  }
}

TEST(TextFontLoad, FreeFontKeepsTheCodeTableAndDrawsNothing) {
  TempTree dir;
  testsupport::WriteGlyphFont(dir, testsupport::MakeGlyphFont());
  Loaded l(dir);
  l.text().FreeFont();
  l.text().FreeFont();  // a second free does nothing
  EXPECT_FALSE(l.text().glyph24_loaded());
  EXPECT_FALSE(l.text().glyph12_loaded());
  EXPECT_EQ(l.text().glyph24_size(), 0u);
  EXPECT_EQ(l.text().code_count(), 5u);
  EXPECT_TRUE(SamePicture(l.Draw(*Big5FromUtf8("中") + "A"), l.Expect({}, {})));
  // Loading again brings everything back.
  EXPECT_EQ(l.text().LoadFont(), 1);
  EXPECT_TRUE(SamePicture(l.Draw(*Big5FromUtf8("中") + "A"), l.Expect({{1, 0}}, {{'A', 24}})));
}

TEST(TextFontLoad, ReloadFromAnEmptyDirectoryDropsEverything) {
  TempTree full;
  testsupport::WriteGlyphFont(full, testsupport::MakeGlyphFont());
  TempTree empty;
  Loaded l(full);
  l.engine.host.files.SetWorkingDirectory(empty.root());
  EXPECT_EQ(l.text().LoadFont(), 0);
  EXPECT_EQ(l.text().code_count(), 0u);
  EXPECT_FALSE(l.text().glyph12_loaded());
}

}  // namespace
