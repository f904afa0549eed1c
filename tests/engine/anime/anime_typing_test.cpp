// Message typing into a window: pace with and without a mouth text, the skip keys, silent steps,
// line breaks, refused characters, the pause marks and the mouth they close, the re-typing after
// a surface restore, and a talking portrait with its line typed, watched frame by frame.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "platform/headless/frame_image.h"
#include "testsupport/trace_capture.h"
#include "tests/engine/gfx/window_test_support.h"

namespace {

using platform::PixelLayout;
using platform::Surface;
using testsupport::FixtureLevel12;
using testsupport::FixtureLevel24;
using window_test::kInk;

// The standard window's text rectangle starts at (30, 20) of its text sprite.
constexpr int kPenX = 30;
constexpr int kPenY = 20;

class TypingTest : public window_test::WindowAnimeTest {
 protected:
  // A text block: the message, its zero byte and one more, then the mouth text and its zero.
  static std::vector<uint8_t> Block(const std::string& message, const std::string& mouth = "") {
    std::vector<uint8_t> b(message.begin(), message.end());
    b.push_back(0);
    b.push_back(0);
    b.insert(b.end(), mouth.begin(), mouth.end());
    b.push_back(0);
    return b;
  }

  // Whether the 24 x 24 cell with the message pen at (x, y) holds fixture glyph `glyph` typed in
  // the message colour, or nothing (glyph -1).
  ::testing::AssertionResult Cell(WindowRec* w, int x, int y, int glyph) {
    const Surface* s = w->text_sprite->surface;
    for (int r = 0; r < 24; ++r) {
      for (int c = 0; c < 24; ++c) {
        const int level = glyph < 0 ? 0 : FixtureLevel24(glyph, c, r);
        const uint16_t want = level == 0 ? Key() : GlyphOnGrey(kInk, level);
        const uint16_t got = s->Row(kPenY + y + r)[kPenX + x + c];
        if (got != want) {
          return ::testing::AssertionFailure()
                 << "cell at " << x << "," << y << " pixel " << c << "," << r << ": got "
                 << std::hex << got << ", want " << want;
        }
      }
    }
    return ::testing::AssertionSuccess();
  }
  // How many of the first cells of line 0 hold glyphs 0, 1, 2, ... in turn.
  int TypedCells(WindowRec* w, int count) {
    int n = 0;
    while (n < count && Cell(w, 24 * n, 0, n)) ++n;
    return n;
  }

  void HoldKey(int bit) {
    auto& input = engine.host.input;
    input.mouse.buttons[1] = bit == 1 ? 0x80 : 0;
    input.caps_lock = bit == 2;
    engine.ctx().input.GetState();
  }

  // A solid sprite of the size with its home at (x, y).
  SprRec* SolidAt(ColorRef color, int x, int y, int w, int h) {
    Paint(SURFACE_SCRATCH2, {0, 0, w, h}, Pack(color));
    return spr().CreateSprite(x, y, SURFACE_SCRATCH2, 0, 0, w, h);
  }

  static const std::string& Glyphs() {
    static const std::string s = Big5("一中文字的");
    return s;
  }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(TypingTest);

TEST_P(TypingTest, AMouthTextSetsThePaceToOneCharacterPer100Ms) {
  struct Case {
    const char* mouth;
    uint32_t created;  // interval given at creation
    uint32_t pace;     // interval typed at
  };
  const Case cases[] = {{"aiue", 30, 100}, {"", 30, 30}, {"o", 250, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mouth);
    WindowRec* w = Make(0xFFFFFF, 0);
    ASSERT_NE(w, nullptr);
    AnimeHandle msg =
        anime().CreateMessage(w, 0, 0, Block(Glyphs().substr(0, 8), c.mouth), c.created);
    ASSERT_NE(msg, nullptr);
    ASSERT_EQ(anime().SetAutoClear(&msg), 1);
    Frame(16);
    Frame(0);  // the pace is set and the clock taken
    EXPECT_EQ(TypedCells(w, 4), 0);
    Frame(c.pace);  // a character needs more than one interval
    EXPECT_EQ(TypedCells(w, 4), 0);
    Frame(1);
    EXPECT_EQ(TypedCells(w, 4), 1);
    EXPECT_TRUE(Cell(w, 24, 0, -1));
    Frame(c.pace);
    EXPECT_EQ(TypedCells(w, 4), 2);
    Frame(2 * c.pace + 10);  // a late frame types what is due
    EXPECT_EQ(TypedCells(w, 4), 4);
    EXPECT_NE(msg, nullptr);
    Frame(c.pace);  // the end of the message ends the animation
    Frame(16);
    EXPECT_EQ(msg, nullptr);
    win().Delete(&w);
  }
}

TEST_P(TypingTest, ASkipKeyTypesTheRestAtTheNextCharacterAndEnds) {
  for (int bit : {1, 2}) {
    SCOPED_TRACE(bit);
    HoldKey(0);
    WindowRec* w = Make(0xFFFFFF, 0);
    AnimeHandle msg = anime().CreateMessage(w, 0, 0, Block(Glyphs(), "aiueo"), 100);
    ASSERT_EQ(anime().SetAutoClear(&msg), 1);
    Frame(16);
    Frame(0);
    Frame(101);
    EXPECT_EQ(TypedCells(w, 5), 1);
    HoldKey(bit);
    Frame(16);
    EXPECT_EQ(TypedCells(w, 5), 1);
    Frame(100);
    EXPECT_EQ(TypedCells(w, 5), 5);
    Frame(16);
    EXPECT_EQ(msg, nullptr);
    HoldKey(0);
    win().Delete(&w);
  }
}

TEST_P(TypingTest, SilentStepsTakeAnIntervalAndLineBreaksGoOnToTheNextLine) {
  WindowRec* w = Make(0xFFFFFF, 0);
  const std::string message =
      Glyphs().substr(0, 2) + "\xFF\xFF" + Glyphs().substr(2, 2) + "$$" + Glyphs().substr(4, 2);
  AnimeHandle msg = anime().CreateMessage(w, 0, 0, Block(message), 50);
  ASSERT_EQ(anime().SetAutoClear(&msg), 1);
  Frame(16);
  Frame(0);
  Frame(51);
  EXPECT_TRUE(Cell(w, 0, 0, 0));
  Frame(50);  // silent: nothing drawn, the pen stays
  EXPECT_TRUE(Cell(w, 24, 0, -1));
  Frame(50);
  EXPECT_TRUE(Cell(w, 24, 0, 1));
  Frame(50);  // the line break and the next character in one step
  EXPECT_TRUE(Cell(w, 0, 24, 2));
  EXPECT_TRUE(Cell(w, 48, 0, -1));
  EXPECT_NE(msg, nullptr);
  Frame(50);
  Frame(16);
  EXPECT_EQ(msg, nullptr);
}

TEST_P(TypingTest, MixedTextStepsOneCharacterAtATime) {
  // Each step types one character: a double-byte one (24 pixels) or a single-byte one (12). A
  // cell is a double-byte fixture glyph (0-4), a single-byte character ('a'..), or nothing (-1).
  struct Cell12Or24 {
    int x, y, glyph;
  };
  struct Case {
    const char* name;
    std::string message;
    int steps;  // characters typed, one per interval, before the message ends
    std::vector<Cell12Or24> cells;
  };
  const std::string g = Glyphs();
  const Case cases[] = {
      {"double-byte only", g.substr(0, 6), 3, {{0, 0, 0}, {24, 0, 1}, {48, 0, 2}, {72, 0, -1}}},
      {"one ASCII word inside",
       g.substr(0, 2) + "Shift" + g.substr(2, 4),
       8,
       {{0, 0, 0}, {24, 0, 'S'}, {36, 0, 'h'}, {48, 0, 'i'}, {60, 0, 'f'}, {72, 0, 't'},
        {84, 0, 1}, {108, 0, 2}}},
      {"one ASCII character, then a line break",
       "A" + g.substr(0, 2) + "$$" + g.substr(2, 2),
       3,
       {{0, 0, 'A'}, {12, 0, 0}, {0, 24, 1}, {36, 0, -1}}},
      {"a lone lead byte at the end draws nothing",
       g.substr(0, 2) + "b" + g.substr(2, 1),
       2,
       {{0, 0, 0}, {24, 0, 'b'}, {36, 0, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRec* w = Make(0xFFFFFF, 0);
    AnimeHandle msg = anime().CreateMessage(w, 0, 0, Block(c.message), 50);
    ASSERT_EQ(anime().SetAutoClear(&msg), 1);
    Frame(16);
    Frame(0);
    for (int step = 0; step < c.steps; ++step) {
      Frame(51);
      EXPECT_NE(msg, nullptr) << "step " << step;
    }
    Frame(51);
    Frame(16);
    EXPECT_EQ(msg, nullptr);
    const Surface* s = w->text_sprite->surface;
    for (const Cell12Or24& cell : c.cells) {
      if (cell.glyph >= 0 && cell.glyph < 32) {
        EXPECT_TRUE(Cell(w, cell.x, cell.y, cell.glyph));
        continue;
      }
      const int width = cell.glyph < 0 ? 24 : 12;
      for (int r = 0; r < 24; ++r) {
        for (int col = 0; col < width; ++col) {
          const int level = cell.glyph < 0 ? 0 : FixtureLevel12(cell.glyph, col, r);
          const uint16_t want = level == 0 ? Key() : GlyphOnGrey(kInk, level);
          ASSERT_EQ(s->Row(kPenY + cell.y + r)[kPenX + cell.x + col], want)
              << "cell at " << cell.x << "," << cell.y << " pixel " << col << "," << r;
        }
      }
    }
    win().Delete(&w);
  }
}

TEST_P(TypingTest, ARefusedCharacterKeepsThePenAndTheRestIsStillTyped) {
  // Five glyphs fill the 140-pixel line; a sixth does not fit and is refused; the 12-pixel
  // character after it still fits at the pen.
  WindowRec* w = Make(0xFFFFFF, 0);
  testsupport::TraceCapture trace;
  AnimeHandle msg = anime().CreateMessage(w, 0, 0, Block(Glyphs() + Glyphs().substr(0, 2) + "a"), 10);
  ASSERT_EQ(anime().SetAutoClear(&msg), 1);
  Frame(16);
  Frame(0);
  Frame(1000);
  EXPECT_EQ(TypedCells(w, 5), 5);
  EXPECT_TRUE(trace.Contains("refused"));
  const Surface* s = w->text_sprite->surface;
  for (int r = 0; r < 24; ++r) {
    for (int c = 0; c < 12; ++c) {
      const int level = FixtureLevel12('a', c, r);
      const uint16_t want = level == 0 ? Key() : GlyphOnGrey(kInk, level);
      ASSERT_EQ(s->Row(kPenY + r)[kPenX + 120 + c], want) << c << "," << r;
    }
  }
  Frame(16);
  EXPECT_EQ(msg, nullptr);  // ended normally
}

TEST_P(TypingTest, PauseMarksSetThePunctuationFlagAndCloseARandomMouth) {
  WindowRec* w = Make(0xFFFFFF, 0);
  // Typed one by one, each of the nine marks sets the flag; other codes clear it.
  const uint8_t marks[9][2] = {{0x81, 0x41}, {0x81, 0x42}, {0x81, 0x63}, {0x81, 0x48}, {0x81, 0x49},
                               {0x81, 0xAC}, {0x81, 0xB8}, {0x81, 0x77}, {0x81, 0x78}};
  std::string all;
  for (const auto& m : marks) {
    all += static_cast<char>(m[0]);
    all += static_cast<char>(m[1]);
    all += Glyphs().substr(0, 2);
    all += "\x81\x40";
  }
  AnimeHandle probe = anime().CreateMessage(w, 0, 0, Block(all), 0);
  AnimeMessageBlock* block = anime().BlockOf<AnimeMessageBlock>(probe);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    block->x = 0;  // each round starts the line again, so every character fits
    ASSERT_EQ(anime().TypeMessageChar(*block, anime().RecordOf(probe)->data), 1);
    EXPECT_EQ(anime().punctuation(), 1u);
    ASSERT_EQ(anime().TypeMessageChar(*block, anime().RecordOf(probe)->data), 1);
    EXPECT_EQ(anime().punctuation(), 0u);
    ASSERT_EQ(anime().TypeMessageChar(*block, anime().RecordOf(probe)->data), 1);
    EXPECT_EQ(anime().punctuation(), 0u);
  }
  EXPECT_EQ(anime().TypeMessageChar(*block, anime().RecordOf(probe)->data), 0);
  anime().Delete(probe);

  // A random mouth and a slow message: the mouth closes while the last character is a mark and
  // draws no random numbers then.
  std::array<SprRec*, 6> mouths{};
  for (int i = 0; i < 6; ++i) {
    mouths[static_cast<size_t>(i)] = SolidAt(0x101010 * (i + 1), 0, 0, 8, 8);
  }
  AnimeHandle lips = anime().SetTalkSurface(SURFACE_FG, std::make_unique<AnimeTalkBlock>(), 0, 0, 0,
                                          mouths);
  anime().SetTalkMode(lips, kTalkRandom, kTalkGameClock);
  const std::string line = Glyphs().substr(0, 2) + "\x81\x41" + Glyphs().substr(2, 2);
  AnimeHandle msg = anime().CreateMessage(w, 0, 48, Block(line), 1000);
  auto shown = [&] {
    return anime().BlockOf<AnimeTalkBlock>(lips)->shown.sprite;
  };
  SeedRandom(99);
  Frame(16);
  Frame(0);
  Frame(1001);  // the first character
  EXPECT_EQ(anime().punctuation(), 0u);
  Frame(1000);  // the mark
  EXPECT_EQ(anime().punctuation(), 1u);
  EXPECT_EQ(shown(), mouths[0]);
  const uint32_t state = engine.ctx().random.state();
  for (int i = 0; i < 20; ++i) Frame(16);
  EXPECT_EQ(shown(), mouths[0]);
  EXPECT_EQ(engine.ctx().random.state(), state);
  Frame(1000 - 320 + 1);  // the next character: the mouth moves at random again
  EXPECT_EQ(anime().punctuation(), 0u);
  EXPECT_NE(engine.ctx().random.state(), state);
  EXPECT_EQ(anime().IsAnime(msg), 1);
}

TEST_P(TypingTest, RedrawTextAfterARestoreTypesExactlyWhatWasTyped) {
  WindowRec* w = Make(0xFFFFFF, 0);
  AnimeHandle msg =
      anime().CreateMessage(w, 12, 0, Block(Glyphs().substr(0, 2) + "$$" + Glyphs()), 50);
  ASSERT_EQ(anime().SetAutoClear(&msg), 1);
  Frame(16);
  Frame(0);
  Frame(160);  // three steps: the first glyph at x 12, then a line break with two glyphs
  const Surface* s = w->text_sprite->surface;
  auto grab = [&] { return Snapshot(s); };
  const std::vector<uint16_t> typed = grab();
  EXPECT_TRUE(Cell(w, 24, 24, 1));
  EXPECT_TRUE(Cell(w, 48, 24, -1));

  // The restore: the sprite's picture is gone, the display restores and the list re-types.
  ASSERT_EQ(win().ClearPiece(w, 0), 1);
  ddraw().GetSurface(SURFACE_SCRATCH)->SetLost(true);
  ASSERT_EQ(ddraw().RestoreAllSurfaces(), 1);
  EXPECT_EQ(grab(), typed);

  // Typing goes on from where it was.
  Frame(50);
  EXPECT_TRUE(Cell(w, 48, 24, 2));
  EXPECT_TRUE(Cell(w, 72, 24, -1));

  // A message whose window has gone ends at the next restore (its holder is told).
  ASSERT_EQ(win().Delete(&w), 1);
  ASSERT_EQ(ddraw().RestoreAllSurfaces(), 1);
  Frame(16);
  EXPECT_EQ(msg, nullptr);
}

TEST_P(TypingTest, MessagesNeedAWindowAndStayInsideTheirTextBlock) {
  EXPECT_EQ(anime().CreateMessage(nullptr, 0, 0, Block("a"), 10), nullptr);
  WindowRec* w = Make(0xFFFFFF, 0);
  // A block without its zero bytes: the message is all of it and nothing is read past it.
  const std::string bytes = Glyphs().substr(0, 3);
  AnimeHandle msg =
      anime().CreateMessage(w, 0, 0, std::vector<uint8_t>(bytes.begin(), bytes.end()), 0);
  ASSERT_EQ(anime().SetAutoClear(&msg), 1);
  Frame(16);
  Frame(0);
  Frame(1);
  Frame(16);
  EXPECT_EQ(msg, nullptr);
  EXPECT_TRUE(Cell(w, 0, 0, 0));
}

// A talking portrait beside its typed line, composed and checked frame by frame. With
// TAMVIK_PORTRAIT_FRAMES=<directory> every frame is also written there as a PNG.
TEST_P(TypingTest, ATalkingPortraitTypesItsLineFrameByFrame) {
  constexpr ColorRef kFace = 0x80A0C0;
  constexpr ColorRef kEyesOpen = 0xFFFFFF;
  constexpr ColorRef kEyesShut = 0x204060;
  const ColorRef kMouth[6] = {0x303080, 0x0000FF, 0x00C000, 0xC00000, 0x00C0C0, 0xC000C0};

  SprRec* face = SolidAt(kFace, 360, 60, 80, 96);
  std::array<SprRec*, 2> eyes{SolidAt(kEyesOpen, 380, 90, 40, 8),
                              SolidAt(kEyesShut, 380, 90, 40, 8)};
  std::array<SprRec*, 6> mouth{};
  for (int i = 0; i < 6; ++i) mouth[static_cast<size_t>(i)] = SolidAt(kMouth[i], 390, 130, 20, 8);

  auto eye_block = std::make_unique<AnimeCellListBlock>();
  eye_block->range = 1;
  AnimeHandle eye_anime = anime().CreateCellAnime(SURFACE_FG, std::move(eye_block),
                                                {{0, 2000}, {1, 150}}, 0, 0, 0, eyes);
  AnimeHandle lip_anime =
      anime().SetTalkSurface(SURFACE_FG, std::make_unique<AnimeTalkBlock>(), 0, 0, 0, mouth);
  AnimeHandle group = anime().CreateSprGroup(SURFACE_FG, 1, 360, 60, face, eye_anime, lip_anime);
  ASSERT_NE(group, nullptr);
  anime().SetText(lip_anime, "aiue");
  anime().SetTalkMode(lip_anime, kTalkText, kTalkGameClock);

  WindowRec* w = Make(0xFFFFFF, 0);
  AnimeHandle msg = anime().CreateMessage(w, 0, 0, Block(Glyphs().substr(0, 8), "aiue"), 40);
  ASSERT_EQ(anime().SetAutoClear(&msg), 1);

  const char* dir = std::getenv("TAMVIK_PORTRAIT_FRAMES");
  uint32_t t2 = 0;
  for (int frame = 1; frame <= 150; ++frame) {
    Frame(16);
    ASSERT_EQ(ddraw().ShowWindow(), 1);
    if (frame == 2) t2 = driver.Now();
    if (frame < 3) continue;
    SCOPED_TRACE(frame);
    const uint32_t d = driver.Now() - t2;

    // The face below its eyes and mouth.
    EXPECT_EQ(Shown(362, 62), Pack(kFace));
    // Shut from the first frame at 2000 ms for 150 ms, i.e. until the frame at 2160.
    const bool shut = d >= 2000 && d < 2160;
    EXPECT_EQ(Shown(385, 92), Pack(shut ? kEyesShut : kEyesOpen));
    const int open = d < 100 ? 1 : d < 200 ? 2 : d < 300 ? 3 : d < 400 ? 4 : 0;
    EXPECT_EQ(Shown(395, 132), Pack(kMouth[open]));

    // Characters typed: one each time more than 100 ms have passed since the last.
    const int typed = d == 0 ? 0 : std::min<int>(4, static_cast<int>((d - 1) / 100));
    const int probe_c[4] = {1, 5, 0, 5};
    const int probe_r[4] = {1, 0, 15, 0};
    for (int k = 0; k < 4; ++k) {
      const int x = 100 + kPenX + 24 * k + probe_c[k];
      const int y = 100 + kPenY + probe_r[k];
      const uint16_t ink = GlyphOnGrey(kInk, FixtureLevel24(k, probe_c[k], probe_r[k]));
      if (k < typed) {
        EXPECT_EQ(Shown(x, y), ink) << "glyph " << k;
      } else {
        EXPECT_EQ(Shown(x, y), Pack(0xFFFFFF)) << "glyph " << k;
      }
    }
    if (dir != nullptr) {
      const auto& f = engine.host.display;
      char name[64];
      std::snprintf(name, sizeof name, "/portrait_%s_%03d.png",
                    GetParam() == PixelLayout::kRgb565 ? "565" : "555", frame);
      platform::headless::WriteFileBytes(
          std::string(dir) + name,
          platform::headless::EncodePng(f.frame, f.frame_width, f.frame_height, f.frame_layout));
    }
  }
  EXPECT_EQ(msg, nullptr);
}

}  // namespace
