#include "engine/gfx/text/text_draw.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <cstdint>
#include <string>

#include "engine/gfx/text/text_big5.h"
#include "platform/surface.h"
#include "tests/engine/gfx/text_test_support.h"
#include "testsupport/test_engine.h"

namespace {

using texttest::Bytes;
using texttest::FontEngine;
using texttest::Level12;
using texttest::Level24;
using texttest::PaintExpected;
using texttest::Picture;
using texttest::SamePicture;

constexpr uint32_t k565 = CDdrawText::kModeRgb565;
constexpr uint32_t k555 = CDdrawText::kModeRgb555;
constexpr uint16_t kSentinel = 0x1234;

// --- Measuring -------------------------------------------------------------------------------

TEST(TextMeasure, BlockSizeOfStrings) {
  struct Case {
    const char* name;
    std::string text;
    uint32_t size;
  };
  const Case cases[] = {
      {"three letters", "abc", (24u << 16) | 36},
      {"two double-byte, line feed, letter", "\xA4\xA4\xA4\xE5\na", (48u << 16) | 48},
      {"tab", "\t", (24u << 16) | 96},
      {"tab between letters", "a\tb", (24u << 16) | 120},
      {"control bytes add nothing", std::string("\x01\x1F" "a\x7F\r", 5), (24u << 16) | 24},
      {"NUL adds nothing", std::string("a\0b", 3), (24u << 16) | 24},
      {"empty", "", 24u << 16},
      {"lead byte last", "a\xA4", (24u << 16) | 36},
      {"lead byte skips a line feed", "\xA4\na", (24u << 16) | 36},
      {"widest line wins", "abc\n\na", (72u << 16) | 36},
      {"last line widest", "a\nabcd", (48u << 16) | 48},
  };
  for (const Case& c : cases) {
    std::vector<char> bytes = Bytes(c.text);
    EXPECT_EQ(CDdrawText::GetTextWidth(bytes.data(), static_cast<int>(bytes.size())), c.size)
        << c.name;
  }
  EXPECT_EQ(CDdrawText::GetTextWidth(nullptr, 5), 24u << 16);
}

// --- Colour helpers --------------------------------------------------------------------------

TEST(TextColour, MakeColor16InBothLayouts) {
  testsupport::TestEngine engine;
  CDdrawText& text = engine.ctx().ddraw_text;
  struct Case {
    uint8_t r, g, b;
    uint16_t rgb565, rgb555;
  };
  const Case cases[] = {
      {255, 255, 255, 0xFFFF, 0x7FFF}, {255, 0, 0, 0xF800, 0x7C00}, {0, 255, 0, 0x07E0, 0x03E0},
      {0, 0, 255, 0x001F, 0x001F},     {8, 4, 8, 0x0821, 0x0401},   {7, 3, 7, 0x0000, 0x0000},
  };
  for (const Case& c : cases) {
    text.SetPixelMode(k565);
    EXPECT_EQ(text.MakeColor16(c.r, c.g, c.b), c.rgb565) << int(c.r) << "," << int(c.g);
    text.SetPixelMode(k555);
    EXPECT_EQ(text.MakeColor16(c.r, c.g, c.b), c.rgb555) << int(c.r) << "," << int(c.g);
    text.SetPixelMode(7);  // any word but 2 is RGB555
    EXPECT_EQ(text.MakeColor16(c.r, c.g, c.b), c.rgb555);
  }
  // A fresh renderer packs RGB555 until start-up sets the mode.
  testsupport::TestEngine fresh;
  EXPECT_EQ(fresh.ctx().ddraw_text.MakeColor16(255, 255, 255), 0x7FFF);
}

TEST(TextColour, BlendRules) {
  testsupport::TestEngine engine;
  CDdrawText& text = engine.ctx().ddraw_text;
  struct Case {
    uint32_t mode;
    uint16_t background, colour;
    int level;
    uint16_t want;
  };
  const Case cases[] = {
      // White on black: 15/16 of the unpacked 248 (252 for green), not of 255.
      {k565, 0x0000, 0xFFFF, 15, 0xEF7D},
      {k555, 0x0000, 0x7FFF, 15, 0x77BD},
      {k565, 0x0000, 0xFFFF, 1, 0x0861},
      {k565, 0x0000, 0xFFFF, 8, 0x7BEF},
      {k565, 0x1234, 0xFFFF, 0, 0x1234},
      // White background, black text: 1/16 of the background stays.
      {k565, 0xFFFF, 0x0000, 15, 0x0861},
  };
  for (const Case& c : cases) {
    text.SetPixelMode(c.mode);
    EXPECT_EQ(text.BlendPixel16(c.background, c.colour, c.level), c.want)
        << std::hex << c.background << " " << c.colour << " level " << std::dec << c.level;
  }

  text.SetPixelMode(k565);
  EXPECT_EQ(text.BlendRgb16(0, 0, 0, 255, 255, 255, 15), 0xEF7D);
  EXPECT_EQ(text.BlendRgb16(255, 255, 255, 255, 255, 255, 15), 0xFFFF);  // 15 + 239 = 254

  EXPECT_EQ(CDdrawText::BlendColorRef(0xF0F0F0, 0x0000FF, 15), 0x0F0FFEu);
  EXPECT_EQ(CDdrawText::BlendColorRef(0xF0F0F0, 0x0000FF, 0), 0xF0F0F0u);
  EXPECT_EQ(CDdrawText::BlendColorRef(0xFFFFFF, 0xFFFFFF, 8), 0xFEFEFEu);
  EXPECT_EQ(CDdrawText::BlendColorRef(0x123456, 0x000000, 15) >> 24, 0u);  // no high byte
}

TEST(TextColour, CompareCodeIsUnsigned) {
  struct Case {
    uint16_t a, b;
    int want;
  };
  const Case cases[] = {{1, 0xFFFF, -1}, {0xFFFF, 1, 1}, {0x8000, 0x7FFF, 1}, {0xA4A4, 0xA4A4, 0}};
  for (const Case& c : cases) EXPECT_EQ(CDdrawText::CompareCode(&c.a, &c.b), c.want);
}

// --- Drawing with a background ---------------------------------------------------------------

TEST(TextDraw, LevelFifteenWhiteOnBlackInBothLayouts) {
  struct Case {
    uint32_t mode;
    uint16_t want;
  };
  for (const Case c : {Case{k565, 0xEF7D}, Case{k555, 0x77BD}}) {
    FontEngine fe(testsupport::MakeGlyphFont(), c.mode);
    Picture dst(40, 30, kSentinel, 3);
    Picture bg(40, 30, 0x0000);
    std::string s = *Big5FromUtf8("一");
    EXPECT_EQ(fe.text().DrawTextToDesc(s.data(), 2, 4, 2, 0, 0, dst.desc(), &bg.desc(), 0xFFFFFF),
              0);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < dst.stride; ++x) {
        bool in_cell = x >= 4 && x < 28 && y >= 2 && y < 26;
        ASSERT_EQ(dst.at(x, y), in_cell ? c.want : kSentinel) << x << "," << y;
      }
    }
  }
}

TEST(TextDraw, NibbleOrderAndLevelZeroCopiesTheBackground) {
  FontEngine fe;
  CDdrawText& text = fe.text();
  Picture dst(64, 40, kSentinel);
  Picture bg(80, 50, 0);
  for (size_t i = 0; i < bg.px.size(); ++i) bg.px[i] = static_cast<uint16_t>(i * 37);
  std::string ramp = *Big5FromUtf8("中");  // level = column % 16
  text.DrawTextToDesc(ramp.data(), 2, 3, 5, 7, 2, dst.desc(), &bg.desc(), 0xFFFFFF);
  // Pixel 0 of a glyph byte is its high nibble: column 0 has level 0, column 1 level 1.
  EXPECT_EQ(dst.at(3, 5), bg.at(10, 7));
  EXPECT_EQ(dst.at(4, 5), text.BlendPixel16(bg.at(11, 7), 0xFFFF, 1));
  EXPECT_EQ(dst.at(18, 9), text.BlendPixel16(bg.at(25, 11), 0xFFFF, 15));
  EXPECT_EQ(dst.at(19, 9), bg.at(26, 11));  // column 16: level 0 again

  Picture want(64, 40, kSentinel);
  PaintExpected(text, want, 24, 3, 5, &bg, 10, 7, 0xFFFFFF, Level24(1));
  EXPECT_TRUE(SamePicture(dst, want));
}

TEST(TextDraw, WithoutBackgroundBlendsWithLightGrey) {
  struct Case {
    uint32_t mode;
    uint16_t want;
  };
  for (const Case c : {Case{k565, 0xF7DE}, Case{k555, 0x7BDE}}) {
    FontEngine fe(testsupport::MakeGlyphFont(), c.mode);
    Picture dst(60, 30, 0x0000);  // a dark picture
    std::string s = *Big5FromUtf8("一字");
    fe.text().DrawTextToDesc(s.data(), 4, 0, 0, 0, 0, dst.desc(), nullptr, 0xFFFFFF);
    EXPECT_EQ(dst.at(0, 0), c.want);    // level 15 against grey, not against the black below
    EXPECT_EQ(dst.at(23, 23), c.want);
    EXPECT_EQ(dst.at(24, 0), c.want);   // the frame glyph's edge
    EXPECT_EQ(dst.at(30, 10), 0x0000);  // its empty inside keeps the picture
    EXPECT_EQ(dst.at(48, 0), 0x0000);   // nothing past the second cell
  }
}

// Layout of mixed strings: each case lists the cells that must be drawn; everything else keeps
// the sentinel.
TEST(TextDraw, StringLayout) {
  struct Cell {
    int width;  // 12 or 24
    int glyph;  // byte value for 12, glyph number for 24
    int x;
  };
  struct Case {
    const char* name;
    std::string text;
    std::vector<Cell> cells;
  };
  const std::string zhong = *Big5FromUtf8("中");
  const std::string missing = "\xA4\x48";  // a Big5 character the fixture font lacks
  const Case cases[] = {
      {"ascii then double-byte", "A" + zhong + "B", {{12, 'A', 0}, {24, 1, 12}, {12, 'B', 36}}},
      {"missing code leaves a blank 24-pixel cell", "A" + missing + "B",
       {{12, 'A', 0}, {12, 'B', 36}}},
      {"tab pairs with the next byte", "\tAB", {{12, 'B', 24}}},
      {"line feed pairs with the next byte", "\nA" + zhong, {{24, 1, 24}}},
      {"NUL pairs with the next byte", std::string("A\0B", 3), {{12, 'A', 0}}},
      {"lead byte last pairs with the terminator", "A\xA4", {{12, 'A', 0}}},
      {"byte 127 is single-byte", "\x7F" "A", {{12, 127, 0}, {12, 'A', 12}}},
  };
  for (const bool with_bg : {true, false}) {
    for (const Case& c : cases) {
      FontEngine fe;
      Picture dst(90, 26, kSentinel);
      Picture bg(120, 30, 0x4208);
      std::vector<char> bytes = Bytes(c.text);  // exactly sized: the terminator is never read
      fe.text().DrawTextToDesc(bytes.data(), static_cast<int>(bytes.size()), 0, 1, 10, 2,
                               dst.desc(), with_bg ? &bg.desc() : nullptr, 0x0F0F0F);
      Picture want(90, 26, kSentinel);
      for (const Cell& cell : c.cells) {
        const Picture* b = with_bg ? &bg : nullptr;
        if (cell.width == 12) {
          PaintExpected(fe.text(), want, 12, cell.x, 1, b, cell.x + 10, 3, 0x0F0F0F,
                        Level12(cell.glyph));
        } else {
          PaintExpected(fe.text(), want, 24, cell.x, 1, b, cell.x + 10, 3, 0x0F0F0F,
                        Level24(cell.glyph));
        }
      }
      EXPECT_TRUE(SamePicture(dst, want)) << c.name << (with_bg ? " (background)" : "");
    }
  }
}

TEST(TextDraw, GlyphOperationResults) {
  FontEngine fe;
  CDdrawText& text = fe.text();
  Picture dst(30, 30, 0);
  Picture bg(30, 30, 0);
  const char zhong[] = "\xA4\xA4";
  const char missing[] = "\xA4\x48";
  EXPECT_EQ(text.DrawGlyph24(zhong, 0, 0, 0, 0, dst.desc(), bg.desc(), 0), 24);
  EXPECT_EQ(text.DrawGlyph24(missing, 0, 0, 0, 0, dst.desc(), bg.desc(), 0), 16);
  EXPECT_EQ(text.DrawGlyph24Ex(zhong, 0, 0, dst.desc(), 0), 24);
  EXPECT_EQ(text.DrawGlyph24Ex(missing, 0, 0, dst.desc(), 0), 16);
  for (const char byte : {'\x1F', '\x80', '\xFF'}) {
    EXPECT_EQ(text.DrawGlyph12(&byte, 0, 0, 0, 0, dst.desc(), bg.desc(), 0), 0);
    EXPECT_EQ(text.DrawGlyph12Ex(&byte, 0, 0, dst.desc(), 0), 0);
  }
  for (const char byte : {' ', 'A', '\x7F'}) {
    EXPECT_EQ(text.DrawGlyph12(&byte, 0, 0, 0, 0, dst.desc(), bg.desc(), 0), 12);
    EXPECT_EQ(text.DrawGlyph12Ex(&byte, 0, 0, dst.desc(), 0), 12);
  }
}

// --- Clipping and unusable pictures ----------------------------------------------------------

TEST(TextDraw, GlyphCellsAreClippedToDestinationAndBackground) {
  struct Case {
    const char* name;
    int x, y;           // pen
    int bw, bh;         // background size
    int bx, by;         // background offset
    bool with_bg;
  };
  const Case cases[] = {
      {"left and top edges", -5, -3, 40, 30, 0, 0, true},
      {"right and bottom edges", 25, 12, 60, 60, 0, 0, true},
      {"background smaller than the destination", 0, 0, 10, 9, 0, 0, true},
      {"background offset off its top-left", 2, 2, 40, 30, -6, -4, true},
      {"no background, all edges", -7, 14, 0, 0, 0, 0, false},
      {"far outside", 1000, -1000, 40, 30, 0, 0, true},
      {"near the coordinate limits", INT_MAX - 5, INT_MIN + 5, 40, 30, INT_MAX, INT_MIN, true},
  };
  const std::string text = *Big5FromUtf8("一") + "A" + *Big5FromUtf8("字");
  for (const Case& c : cases) {
    FontEngine fe;
    Picture dst(36, 20, kSentinel);
    Picture bg(std::max(c.bw, 1), std::max(c.bh, 1), 0);
    for (size_t i = 0; i < bg.px.size(); ++i) bg.px[i] = static_cast<uint16_t>(0x0821 * (i % 7));
    std::vector<char> bytes = Bytes(text);
    fe.text().DrawTextToDesc(bytes.data(), static_cast<int>(bytes.size()), c.x, c.y, c.bx, c.by,
                             dst.desc(), c.with_bg ? &bg.desc() : nullptr, 0xFFFFFF);
    Picture want(36, 20, kSentinel);
    const Picture* b = c.with_bg ? &bg : nullptr;
    int64_t pen = c.x;
    auto bpos = [&](int64_t p, int off) {
      return static_cast<int>(std::clamp<int64_t>(p + off, INT_MIN, INT_MAX));
    };
    if (pen < 36) {
      int by = bpos(c.y, c.by);
      PaintExpected(fe.text(), want, 24, static_cast<int>(pen), c.y, b, bpos(pen, c.bx), by,
                    0xFFFFFF, Level24(0));
      pen += 24;
      if (pen < 36) {
        PaintExpected(fe.text(), want, 12, static_cast<int>(pen), c.y, b, bpos(pen, c.bx), by,
                      0xFFFFFF, Level12('A'));
        pen += 12;
      }
      if (pen < 36) {
        PaintExpected(fe.text(), want, 24, static_cast<int>(pen), c.y, b, bpos(pen, c.bx), by,
                      0xFFFFFF, Level24(3));
      }
    }
    EXPECT_TRUE(SamePicture(dst, want)) << c.name;
  }
}

TEST(TextDraw, FailedLockDrawsNothing) {
  FontEngine fe;
  const std::string s = "A" + *Big5FromUtf8("中");
  Picture dst(40, 30, kSentinel);
  Picture bg(40, 30, 0);
  SurfaceDesc none;  // what a failed lock leaves
  SurfaceDesc narrow_pitch = dst.desc();
  narrow_pitch.pitch = 2;
  // A failed destination lock: nothing to draw into, nothing read or written.
  fe.text().DrawTextToDesc(s.data(), 3, 0, 0, 0, 0, none, &bg.desc(), 0xFFFFFF);
  fe.text().DrawTextToDesc(s.data(), 3, 0, 0, 0, 0, none, nullptr, 0xFFFFFF);
  // A failed background lock, or a desc whose pitch cannot hold a row: the destination stays.
  fe.text().DrawTextToDesc(s.data(), 3, 0, 0, 0, 0, dst.desc(), &none, 0xFFFFFF);
  fe.text().DrawTextToDesc(s.data(), 3, 0, 0, 0, 0, narrow_pitch, nullptr, 0xFFFFFF);
  fe.text().DrawStringToDesc(s.data(), 3, 0, 0, none, none, 0xFFFFFF);
  fe.text().DrawStringToDesc(s.data(), 3, 0, 0, dst.desc(), none, 0xFFFFFF);
  EXPECT_TRUE(SamePicture(dst, Picture(40, 30, kSentinel)));
  fe.text().DrawTextToDesc(nullptr, 3, 0, 0, 0, 0, dst.desc(), nullptr, 0xFFFFFF);
  fe.text().DrawTextToDesc(s.data(), -1, 0, 0, 0, 0, dst.desc(), nullptr, 0xFFFFFF);
  EXPECT_TRUE(SamePicture(dst, Picture(40, 30, kSentinel)));
}

// --- Device-context form (minigames) ---------------------------------------------------------

TEST(TextDrawString, OnlyDoubleByteCharactersAreDrawn) {
  FontEngine fe;
  CDdrawText& text = fe.text();
  Picture pic(70, 26, kSentinel);
  const std::string s = "A" + *Big5FromUtf8("中") + "B" + *Big5FromUtf8("字");
  std::vector<char> bytes = Bytes(s);
  EXPECT_EQ(text.DrawStringToDesc(bytes.data(), static_cast<int>(bytes.size()), 2, 1, pic.desc(),
                            pic.desc(), 0x0F0F0F),
            0);
  // Covered pixels: the COLORREF blend with 0xF0F0F0, packed; level 15 of 0x0F0F0F is 29 grey.
  EXPECT_EQ(text.MakeColor16(29, 29, 29), 0x18E3);
  Picture want(70, 26, kSentinel);
  auto paint = [&](int glyph, int x) {
    for (int r = 0; r < 24; ++r) {
      for (int c = 0; c < 24 && x + c < 70; ++c) {
        int l = testsupport::FixtureLevel24(glyph, c, r);
        if (l == 0) continue;
        uint32_t cr = CDdrawText::BlendColorRef(0xF0F0F0, 0x0F0F0F, l);
        want.at(x + c, 1 + r) = text.MakeColor16(cr & 0xFF, (cr >> 8) & 0xFF, cr >> 16);
      }
    }
  };
  paint(1, 14);  // "A" moved the pen 12 without drawing
  paint(3, 50);  // "B" likewise
  EXPECT_TRUE(SamePicture(pic, want));
  EXPECT_EQ(pic.at(51, 1), 0x18E3);
}

TEST(TextDrawString, UncoveredPixelsComeFromTheSource) {
  FontEngine fe;
  CDdrawText& text = fe.text();
  Picture dst(30, 30, kSentinel);
  Picture src(20, 20, 0);  // smaller than the destination
  for (size_t i = 0; i < src.px.size(); ++i) src.px[i] = static_cast<uint16_t>(i + 1);
  const char frame[] = "\xA6\x72";  // border of level 15, empty inside
  EXPECT_EQ(text.DrawGlyphBuf(frame, 0, 0, dst.desc(), src.desc(), 0), 0);
  EXPECT_EQ(dst.at(5, 5), src.at(5, 5));   // inside: the source pixel, unchanged
  EXPECT_EQ(dst.at(22, 22), kSentinel);    // inside, but the source has no such pixel
  // The border, black at level 15: 1/16 of 0xF0F0F0.
  EXPECT_EQ(dst.at(23, 10), text.MakeColor16(15, 15, 15));
  EXPECT_EQ(dst.at(25, 10), kSentinel);    // outside the cell
  const char missing[] = "\xA4\x48";
  EXPECT_EQ(text.DrawGlyphBuf(missing, 0, 0, dst.desc(), src.desc(), 0), 16);
  // Clipped at every edge, with a text that ends on a lead byte.
  std::vector<char> bytes = Bytes("\xA4\x40\xA4");
  text.DrawStringToDesc(bytes.data(), 3, -10, 20, dst.desc(), src.desc(), 0);
  EXPECT_EQ(dst.at(0, 29), text.MakeColor16(15, 15, 15));
}

// --- Surface forms ---------------------------------------------------------------------------

std::unique_ptr<platform::Surface> FilledSurface(int w, int h, uint16_t fill) {
  platform::SurfaceOptions options;
  options.pitch_padding = 6;  // rows longer than the width: the pitch must be honoured
  auto s = platform::Surface::Create(w, h, platform::PixelLayout::kRgb565, options);
  for (int y = 0; y < h; ++y) std::fill(s->Row(y), s->Row(y) + w, fill);
  return s;
}

TEST(TextDrawSurface, LocksBothSurfacesForOneString) {
  FontEngine fe;
  auto dst = FilledSurface(40, 32, kSentinel);
  auto bg = FilledSurface(50, 40, 0x0000);
  const std::string s = *Big5FromUtf8("一");
  bg->Row(6)[5] = 0x001F;  // the background pixel under the cell's top-left corner: blue
  EXPECT_EQ(fe.text().DrawTextToSurface(s.data(), 2, 3, 4, 2, 2, dst.get(), bg.get(), 0xFFFFFF),
            0);
  EXPECT_FALSE(dst->locked());
  EXPECT_FALSE(bg->locked());
  EXPECT_EQ(dst->Row(4)[3], 0xEF7E);  // blue 1/16 of 248 plus 232: 247
  EXPECT_EQ(dst->Row(4)[4], 0xEF7D);
  EXPECT_EQ(dst->Row(27)[26], 0xEF7D);
  EXPECT_EQ(dst->Row(28)[26], kSentinel);
  EXPECT_EQ(dst->Row(27)[27], kSentinel);
  EXPECT_EQ(dst->Row(3)[3], kSentinel);

  // Without a background, and with the destination as its own background.
  auto plain = FilledSurface(40, 32, 0x0000);
  fe.text().DrawTextToSurface(s.data(), 2, 0, 0, 0, 0, plain.get(), nullptr, 0xFFFFFF);
  EXPECT_EQ(plain->Row(0)[0], 0xF7DE);
  fe.text().DrawTextToSurface(s.data(), 2, 0, 0, 0, 0, plain.get(), plain.get(), 0x000000);
  EXPECT_EQ(plain->Row(0)[0], fe.text().BlendPixel16(0xF7DE, 0x0000, 15));
  EXPECT_FALSE(plain->locked());
}

TEST(TextDrawSurface, FailedLockDrawsNothing) {
  FontEngine fe;
  const std::string s = *Big5FromUtf8("一") + "A";
  struct Case {
    const char* name;
    bool dst_lost;
    bool bg_lost;
  };
  for (const Case& c : {Case{"destination lost", true, false},
                        Case{"background lost", false, true}}) {
    auto dst = FilledSurface(40, 30, kSentinel);
    auto bg = FilledSurface(40, 30, 0);
    dst->SetLost(c.dst_lost);
    bg->SetLost(c.bg_lost);
    EXPECT_EQ(fe.text().DrawTextToSurface(s.data(), 3, 0, 0, 0, 0, dst.get(), bg.get(), 0xFFFFFF),
              0)
        << c.name;
    EXPECT_EQ(fe.text().DrawString(s.data(), 3, 0, 0, dst.get(), bg.get(), 0xFFFFFF), 0) << c.name;
    EXPECT_FALSE(dst->locked()) << c.name;
    EXPECT_FALSE(bg->locked()) << c.name;
    dst->SetLost(false);
    EXPECT_EQ(dst->Row(0)[0], kSentinel) << c.name;
  }
  fe.text().DrawTextToSurface(s.data(), 3, 0, 0, 0, 0, nullptr, nullptr, 0xFFFFFF);
  fe.text().DrawString(s.data(), 3, 0, 0, nullptr, nullptr, 0xFFFFFF);
}

TEST(TextDrawSurface, DrawStringThroughOneSurface) {
  FontEngine fe;
  auto pic = FilledSurface(60, 30, kSentinel);
  const std::string s = "A" + *Big5FromUtf8("一");
  EXPECT_EQ(fe.text().DrawString(s.data(), 3, 0, 2, pic.get(), pic.get(), 0x0F0F0F), 0);
  EXPECT_FALSE(pic->locked());
  EXPECT_EQ(pic->Row(2)[11], kSentinel);  // "A" only moved the pen
  EXPECT_EQ(pic->Row(2)[12], 0x18E3);
  EXPECT_EQ(pic->Row(25)[35], 0x18E3);
  EXPECT_EQ(pic->Row(25)[36], kSentinel);
}

}  // namespace

namespace {

// --- Coverage of a line (the program's boxes) ------------------------------------------------

TEST(TextLineCoverage, LaysOutLikeTheStringDrawAndRefusesWhatHasNoGlyph) {
  FontEngine fe;
  const CDdrawText& text = fe.text();
  const std::string zhong = *Big5FromUtf8("中");
  const std::string zi = *Big5FromUtf8("字");
  int width = -1;
  std::vector<uint8_t> levels;
  ASSERT_TRUE(text.LineCoverage("A" + zhong + "b" + zi, width, levels));
  ASSERT_EQ(width, 12 + 24 + 12 + 24);
  ASSERT_EQ(levels.size(), static_cast<size_t>(width) * 24);
  struct Cell {
    int left, width;
    std::function<int(int, int)> level;
  };
  const Cell cells[] = {{0, 12, Level12('A')}, {12, 24, Level24(1)}, {36, 12, Level12('b')},
                        {48, 24, Level24(3)}};
  for (const Cell& cell : cells) {
    for (int r = 0; r < 24; ++r) {
      for (int c = 0; c < cell.width; ++c) {
        ASSERT_EQ(levels[static_cast<size_t>(r * width + cell.left + c)], cell.level(c, r))
            << "cell at " << cell.left << " pixel " << c << "," << r;
      }
    }
  }
  ASSERT_TRUE(text.LineCoverage("", width, levels));
  EXPECT_EQ(width, 0);
  const struct {
    const char* name;
    std::string line;
  } refused[] = {
      {"a code the font lacks", "a\xA4\x48"},
      {"a control byte", "a\tb"},
      {"a lone lead byte at the end", "ab\xA4"},
  };
  for (const auto& r : refused) EXPECT_FALSE(text.LineCoverage(r.line, width, levels)) << r.name;
}

}  // namespace
