// Minigame text: the window and the typing printer (timing, skip, marker, pages), the glyphs the
// printer draws for each byte, texts that would run past their buffers, the text blit, and a
// whole game typing an od text on the runner. Pictures are compared with the same glyphs drawn
// by CDdrawText::DrawString at the expected pens, so each character's own glyph must land there.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "mg_fixture.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/framework/minigame_text.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using mg_test::MgFixture;
using platform::PixelLayout;

constexpr uint32_t kInk = 0x0F0F0F;
constexpr int kWin = 10;  // window slot; 11 its background
constexpr int kRef = 20;  // the expected picture
constexpr int kWinW = 200;
constexpr int kWinH = 80;
constexpr uint32_t kPaper = 0x40A0E0;
// Pen start of the window opened by the rig (margins 4, 6).
constexpr int kX0 = 5;
constexpr int kY0 = 7;

std::string Pair(uint16_t code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}
std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value(); }

// Every code the tests draw, so the font holds a glyph of its own for each.
std::vector<std::string> FontTexts() {
  std::string codes;
  for (int i = 0; i < 10; ++i) codes += Pair(static_cast<uint16_t>(0xA2AF + i));
  for (int i = 0; i < 26 + 22; ++i) codes += Pair(static_cast<uint16_t>(0xA2CF + i));
  for (int i = 0; i < 4; ++i) codes += Pair(static_cast<uint16_t>(0xA340 + i));
  codes += Pair(0xA249);
  return {codes, Big5("中文字一行測試"), mg_print_test_text()};
}

struct Glyph {
  uint16_t code;
  int x;
  int y;
};

void LoadFont(testsupport::TempTree& tree, PixelLayout layout) {
  testsupport::WriteGlyphFont(tree, testsupport::MakeGlyphFontFor(FontTexts()), "cwd");
  ASSERT_EQ(Ctx().ddraw_text.LoadFont(), 1);
  Ctx().ddraw_text.SetPixelMode(layout == PixelLayout::kRgb565 ? 2 : 1);
}

// The first pixel where two equal-sized slots differ, "" when none.
std::string Diff(int a, int b, int w, int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (mg_pixel_get(a, x, y) != mg_pixel_get(b, x, y)) {
        return "differs at " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return "";
}

class MinigameText : public ::testing::TestWithParam<PixelLayout> {
 protected:
  MinigameText() : f(GetParam()) {}
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    LoadFont(f.tree, GetParam());
    ASSERT_EQ(mg_screen_open(), 1);
    ASSERT_EQ(mg_surf_create(kWin, kWinW, kWinH, 0), 1);
    ASSERT_EQ(mg_surf_create(kWin + 1, kWinW, kWinH, 0), 1);
    ASSERT_EQ(mg_surf_create(kRef, kWinW, kWinH, 0), 1);
    mg_fill(kWin + 1, 0, 0, kWinW, kWinH, kPaper);
    mg_fill(kWin, 0, 0, kWinW, kWinH, kPaper);
    mg_obj_put(7, 0, 0, 50, 0, mg::kObjHidden);  // the marker
    ASSERT_EQ(mg_textwin_open(30, 300, 100, kWin, kX0 - 1, kY0 - 1), 1);
  }
  void TearDown() override { mg_screen_close(); }

  static void Steps(int n) {
    for (int i = 0; i < n; ++i) mg_print_step();
  }
  // A new press of the buttons, as the frame's button word gives it.
  static void Press(uint32_t buttons) { Minigame().input.pending |= buttons | buttons << 16; }
  static int Drawn() { return (Minigame().printer.pen_x - kX0) / 28; }
  // The window compared with its background and the glyphs drawn at the pens.
  static std::string WindowShows(const std::vector<Glyph>& glyphs) {
    mg_fill(kRef, 0, 0, kWinW, kWinH, kPaper);
    platform::Surface* ref = mg_slot(kRef)->surface;
    for (const Glyph& g : glyphs) {
      const std::string p = Pair(g.code);
      Ctx().ddraw_text.DrawString(p.c_str(), 2, g.x, g.y, ref, ref, kInk);
    }
    return Diff(kWin, kRef, kWinW, kWinH);
  }
  // Types the text to its end without the skip flag.
  static void TypeAll(const char* text) {
    ASSERT_EQ(mg_print_text(text), 1);
    for (int i = 0; i < 2000 && mg_print_busy() != 0; ++i) mg_print_step();
    ASSERT_EQ(mg_print_busy(), 0);
  }

  MgFixture f;
};

// ---- Timing, skip, marker ----

TEST_P(MinigameText, CharactersAppearEverySixStepsAndTheTextStaysWithoutSkip) {
  ASSERT_EQ(mg_print("%s", "ABC"), 1);
  std::vector<int> drawn;
  for (int step = 1; step <= 24; ++step) {
    mg_print_step();
    drawn.push_back(Drawn());
  }
  for (int step = 1; step <= 24; ++step) {
    EXPECT_EQ(drawn[static_cast<size_t>(step - 1)], std::min(step / 6, 3)) << "step " << step;
  }
  // The end read after the last character's delay: idle, the text left on screen.
  EXPECT_EQ(mg_print_busy(), 0);
  EXPECT_EQ(WindowShows({{0xA2CF, kX0, kY0}, {0xA2D0, kX0 + 28, kY0}, {0xA2D1, kX0 + 56, kY0}}),
            "");
}

TEST_P(MinigameText, WithSkipDecideOrCancelPrintsTheRestAndTheMarkerWaitsForDecide) {
  for (uint32_t key : {kMgKeyDecide, kMgKeyCancel}) {
    SCOPED_TRACE(key);
    mg_print_skip(1);
    mg_print_marker(7);
    ASSERT_EQ(mg_print_text("ABCD"), 1);
    Steps(8);
    ASSERT_EQ(Drawn(), 1);
    Press(key);
    Steps(1);
    EXPECT_EQ(Drawn(), 4) << "the rest in the step of the press";
    EXPECT_EQ(mg_obj_test(7, mg::kObjHidden), 0) << "the marker shows";
    Press(kMgKeyCancel);  // only decide ends the wait
    Steps(30);
    EXPECT_EQ(mg_print_busy(), 1);
    EXPECT_EQ(mg_obj_test(7, mg::kObjHidden), 0);
    EXPECT_EQ(WindowShows({{0xA2CF, kX0, kY0},
                           {0xA2D0, kX0 + 28, kY0},
                           {0xA2D1, kX0 + 56, kY0},
                           {0xA2D2, kX0 + 84, kY0}}),
              "");
    Press(kMgKeyDecide);
    Steps(1);
    EXPECT_EQ(mg_print_busy(), 0);
    EXPECT_EQ(mg_obj_test(7, mg::kObjHidden), 1) << "the marker hides";
    EXPECT_EQ(WindowShows({}), "") << "the page is cleared";
    Minigame().input.pending = 0;
  }
}

TEST_P(MinigameText, DecideWithoutSkipIsNotTakenAndTabPrintsTheRestAtOnce) {
  ASSERT_EQ(mg_print_text("\tABCD"), 1);
  Press(kMgKeyDecide);
  Steps(5);
  EXPECT_EQ(Drawn(), 0);
  EXPECT_EQ(mg_key_take(kMgKeyDecide), 1) << "the press is left for the game";
  Steps(1);
  EXPECT_EQ(Drawn(), 4);
}

// ---- Glyphs ----

TEST_P(MinigameText, EachByteIsDrawnAsItsFullWidthCodeAtThePen) {
  const std::string big5 = Big5("中文");
  const struct {
    std::string text;
    std::vector<Glyph> glyphs;
  } rows[] = {
      {"AB\n12",
       {{0xA2CF, kX0, kY0}, {0xA2D0, kX0 + 28, kY0}, {0xA2B0, kX0, kY0 + 32},
        {0xA2B1, kX0 + 28, kY0 + 32}}},
      {"w#z", {{0xA340, kX0, kY0}, {0xA249, kX0 + 28, kY0}, {0xA343, kX0 + 56, kY0}}},
      {"0av9Z", {{0xA2AF, kX0, kY0}, {0xA2E9, kX0 + 28, kY0}, {0xA2FE, kX0 + 56, kY0},
                 {0xA2B8, kX0 + 84, kY0}, {0xA2E8, kX0 + 112, kY0}}},
      {" \x01\x1F" + big5,  // a space is "@"; other control bytes are skipped
       {{0xA249, kX0, kY0}, {0xA4A4, kX0 + 28, kY0}, {0xA4E5, kX0 + 56, kY0}}},
      {"%d%s",  // typed as it stands
       {{0xA249, kX0, kY0}, {0xA2EC, kX0 + 28, kY0}, {0xA249, kX0 + 56, kY0},
        {0xA2FB, kX0 + 84, kY0}}},
      {"AB\rC", {{0xA2D1, kX0, kY0}}},  // the page restored from slot + 1
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    mg_textwin_open(30, 300, 100, kWin, kX0 - 1, kY0 - 1);
    TypeAll(row.text.c_str());
    EXPECT_EQ(WindowShows(row.glyphs), "");
  }
}

TEST_P(MinigameText, TheTestLineTypesItsBig5Characters) {
  ASSERT_EQ(mg_print_test(), 1);
  for (int i = 0; i < 400 && mg_print_busy() != 0; ++i) mg_print_step();
  const std::string line = mg_print_test_text();
  ASSERT_FALSE(line.empty());
  std::vector<Glyph> glyphs;
  for (size_t i = 0; i + 1 < line.size(); i += 2) {
    const auto code = static_cast<uint16_t>(static_cast<uint8_t>(line[i]) << 8 |
                                            static_cast<uint8_t>(line[i + 1]));
    glyphs.push_back({code, kX0 + static_cast<int>(i / 2) * 28, kY0});
  }
  EXPECT_EQ(WindowShows(glyphs), "");
}

// ---- Texts that would run past their buffers ----

TEST_P(MinigameText, ALeadByteBeforeTheEndEndsTheText) {
  // Exactly the bytes of the text, so a read past the terminator is caught.
  const std::vector<char> text{'A', static_cast<char>(0xA4), 0};
  TypeAll(text.data());
  EXPECT_EQ(WindowShows({{0xA2CF, kX0, kY0}}), "");
  EXPECT_EQ(Drawn(), 1);
}

TEST_P(MinigameText, FormattedTextIsCutAt511BytesWithoutHalfAPair) {
  const std::string pair = Big5("中");
  const struct {
    size_t ascii;
    size_t length;
  } rows[] = {
      {509, 511},  // the pair fills bytes 509-510
      {510, 510},  // its lead would be byte 510: cut before it
      {600, 511},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.ascii);
    const std::string text = std::string(row.ascii, 'A') + pair + std::string(89, 'B');
    ASSERT_EQ(mg_print("%s", text.c_str()), 1);
    const char* typed = Minigame().printer.buffer.data();
    EXPECT_EQ(std::strlen(typed), row.length);
    EXPECT_EQ(std::string(typed), text.substr(0, row.length));
  }
  // The numbers of a format.
  ASSERT_EQ(mg_print("%d:%s", 42, "x"), 1);
  EXPECT_STREQ(Minigame().printer.buffer.data(), "42:x");
}

TEST_P(MinigameText, APenBeyondTheWindowWritesNothingOutsideIt) {
  mg_textwin_open(30, 300, 100, kWin, -20, -15);
  TypeAll("ABCDEFGHIJKL\nABCDEFGHIJKL\nABCDEFGHIJKL\nABCD");
  // The glyphs clipped to the window, drawn from the pens.
  std::vector<Glyph> glyphs;
  const std::string lines[] = {"ABCDEFGHIJKL", "ABCDEFGHIJKL", "ABCDEFGHIJKL", "ABCD"};
  for (int l = 0; l < 4; ++l) {
    for (size_t c = 0; c < lines[l].size(); ++c) {
      glyphs.push_back({static_cast<uint16_t>(0xA2CF + lines[l][c] - 'A'),
                        -19 + static_cast<int>(c) * 28, -14 + 32 * l});
    }
  }
  EXPECT_EQ(WindowShows(glyphs), "");
  // The background slot next to it is untouched.
  for (int y = 0; y < kWinH; y += 7) {
    for (int x = 0; x < kWinW; x += 7) {
      ASSERT_EQ(mg_pixel_get(kWin + 1, x, y), platform::PackColorRef(kPaper, GetParam()));
    }
  }
}

TEST_P(MinigameText, AWindowOnTheLastSlotsIsRefused) {
  for (int slot : {1023, -1, 5000}) {
    SCOPED_TRACE(slot);
    f.trace.Clear();
    EXPECT_EQ(mg_textwin_open(0, 0, 10, slot, 0, 0), 0);
    EXPECT_TRUE(f.trace.Contains("mg_textwin_open"));
    EXPECT_EQ(Minigame().printer.open, 0);
    EXPECT_EQ(mg_print_text("A"), 0);
    EXPECT_EQ(mg_print_busy(), 0);
  }
  EXPECT_EQ(mg_textwin_open(0, 0, 10, 1022, 0, 0), 1);
}

TEST_P(MinigameText, CloseAndResetRemoveTheWindow) {
  mg_print_skip(1);
  ASSERT_EQ(mg_print_text("\tAB"), 1);
  Steps(7);
  ASSERT_EQ(mg_print_busy(), 1);
  mg_textwin_close();
  EXPECT_EQ(mg_print_busy(), 0);
  EXPECT_EQ(WindowShows({}), "");
  EXPECT_EQ(mg_obj(mg::kObjTextWindow)->anim, 0);
  EXPECT_EQ(Minigame().printer.slot, 0);
  mg_textwin_open(30, 300, 100, kWin, kX0 - 1, kY0 - 1);
  mg_print_text("AB");
  mg_reset();
  EXPECT_EQ(mg_print_busy(), 0);
  EXPECT_EQ(Minigame().printer.open, 0);
  EXPECT_EQ(Minigame().fw.message_skip, 0);
}

// ---- Text blit ----

TEST_P(MinigameText, TheTextBlitDrawsBig5AndMovesThePenForAscii) {
  constexpr uint32_t kColour = 0x2060E0;
  const std::string text = "A" + Big5("中") + "bc" + Big5("字");
  ASSERT_EQ(mg_text_blit(kWin, 40, 20, kColour, text.c_str()), 1);
  mg_fill(kRef, 0, 0, kWinW, kWinH, kPaper);
  platform::Surface* ref = mg_slot(kRef)->surface;
  Ctx().ddraw_text.DrawString(Big5("中").c_str(), 2, 52, 20, ref, ref, kColour);
  Ctx().ddraw_text.DrawString(Big5("字").c_str(), 2, 52 + 24 + 24, 20, ref, ref, kColour);
  EXPECT_EQ(Diff(kWin, kRef, kWinW, kWinH), "");
  EXPECT_EQ(mg_text_blit(300, 0, 0, kColour, "x"), 0) << "an empty slot";
}

INSTANTIATE_MG_LAYOUTS(MinigameText);

// ---- A game typing an od text ----

class MinigameTextRunner : public ::testing::TestWithParam<PixelLayout> {};

TEST_P(MinigameTextRunner, AnOdTextTypesIntoTheWindowAndDecideEndsTheWait) {
  testsupport::MinigameRunner::Options o;
  o.layout = GetParam();
  testsupport::MinigameRunner runner(o);
  testsupport::WriteGlyphFont(runner.tree(), testsupport::MakeGlyphFontFor(FontTexts()), "cwd");
  const std::string od_text = "A" + Big5("中文") + "\t1";
  runner.WriteFile(runner.minigame().games[0].path,
                   testsupport::OdWriter().Text(0, od_text).Build());
  runner.SetProc(0, [](int state) {
    if (state == mg::kStateLoadPending) {
      mg_surf_create(kWin, kWinW, kWinH, 0);
      mg_surf_create(kWin + 1, kWinW, kWinH, 0);
      mg_fill(kWin + 1, 0, 0, kWinW, kWinH, kPaper);
      mg_fill(kWin, 0, 0, kWinW, kWinH, kPaper);
      mg_textwin_open(100, 200, 10, kWin, kX0 - 1, kY0 - 1);
      mg_print_skip(1);
      mg_print_text(mg_text(0));
    }
    return 1;
  });
  ASSERT_TRUE(runner.Start(0, mg::kModeFreePlay));
  ASSERT_TRUE(runner.RunUntil("the text waits", [] { return Minigame().printer.waiting != 0; },
                              60));
  runner.Step();
  // The frame shows the window at 100, 200 with the four glyphs.
  const uint16_t codes[] = {0xA2CF, 0xA4A4, 0xA4E5, 0xA2B0};
  mg_surf_create(kRef, kWinW, kWinH, 0);
  mg_fill(kRef, 0, 0, kWinW, kWinH, kPaper);
  platform::Surface* ref = mg_slot(kRef)->surface;
  for (int i = 0; i < 4; ++i) {
    const std::string p = Pair(codes[i]);
    Ctx().ddraw_text.DrawString(p.c_str(), 2, kX0 + 28 * i, kY0, ref, ref, kInk);
  }
  std::string diff;
  for (int y = 0; y < kWinH && diff.empty(); ++y) {
    for (int x = 0; x < kWinW && diff.empty(); ++x) {
      if (mg_pixel_get(mg::kSlotScreen, 100 + x, 200 + y) != mg_pixel_get(kRef, x, y)) {
        diff = std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  EXPECT_EQ(diff, "") << "first difference of the frame";
  runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(runner.RunUntil("the wait ends", [] { return mg_print_busy() == 0; }, 5));
  EXPECT_EQ(Minigame().printer.pen_x, kX0) << "the page cleared";
}

INSTANTIATE_MG_LAYOUTS(MinigameTextRunner);

}  // namespace
