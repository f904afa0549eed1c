// The choice window on the headless program: layout, input, gauge, time-out, the time-limit
// sound, the confirm blink and the sound it restores; frames for a person to look at.

#include "scene/ui/tamvik_lips.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "platform/pixel_traits.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "tests/scene/ui/lips_rig.h"
#include "testsupport/trace_capture.h"

namespace lips_test {
namespace {

using testsupport::ChoiceText;
using testsupport::TraceCapture;

void ExpectRect(const Rect& a, const Rect& b) {
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.right, b.right);
  EXPECT_EQ(a.bottom, b.bottom);
}

// ---- Layout ----

TEST(LipsLayout, LinesRowsPointerBarsAndTextX) {
  struct Case {
    const char* name;
    std::string text;
    int limit;
    int count;
    std::vector<int> rows;
    int pointer_y;
  } cases[] = {
      {"one line, timed", ChoiceText(1, 4), 600, 1, {48}, 192},
      {"one line, plain", ChoiceText(1, 4), 0, 1, {48}, 176},
      {"two lines", ChoiceText(2, 4), 600, 2, {24, 72}, 168},
      {"three lines", ChoiceText(3, 4), 0, 3, {0, 48, 96}, 128},
      {"four lines give three", ChoiceText(4, 4), 600, 3, {0, 48, 96}, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LipsRig rig;
    ASSERT_TRUE(rig.started);
    EXPECT_EQ(rig.lips().GetResult(), -1);
    EXPECT_TRUE(rig.lips().IsLipsEnd());
    ASSERT_EQ(rig.lips().StartLips(c.text.c_str(), c.limit), 1);
    CTamvikLips& lips = rig.lips();
    EXPECT_FALSE(lips.IsLipsEnd());
    GameTaskRec* task = rig.Task();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->owner, nullptr);
    EXPECT_EQ(rig.Work()->mode, c.limit != 0 ? 0 : 1);
    EXPECT_EQ(rig.Work()->limit, c.limit);
    ASSERT_EQ(lips.count(), c.count);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(lips.row_y(i), c.rows[static_cast<size_t>(i)]) << i;
      EXPECT_EQ(lips.text_x(i), 228 - 6 * static_cast<int>(std::strlen(lips.line(i)))) << i;
    }
    EXPECT_EQ(rig.d.host().input.cursor_x, 320);
    EXPECT_EQ(rig.d.host().input.cursor_y, c.pointer_y);

    // The window by mode, opened to 0 % until its animation runs, with one bar per line.
    const WindowRec* window = lips.window();
    ASSERT_NE(window, nullptr);
    const CTamvikLips::Layout& layout = CTamvikLips::LayoutOf(c.limit != 0 ? 0 : 1);
    ExpectRect(window->frame, layout.frame);
    ExpectRect(window->inner, layout.inner);
    ExpectRect(window->text, layout.text);
    EXPECT_EQ(window->base_color, 0xFFFFFFu);
    EXPECT_EQ(window->style, 7);
    EXPECT_EQ(window->surface_id, SURFACE_TEXT);
    EXPECT_EQ(window->open_x, 0);
    for (int i = 0; i < CTamvikLips::kMaxLines; ++i) {
      const SprRec* bar = lips.bar(i);
      if (i >= c.count) {
        EXPECT_EQ(bar, nullptr);
        continue;
      }
      ASSERT_NE(bar, nullptr);
      EXPECT_EQ(bar->alpha, 127u);
      EXPECT_EQ(bar->x, c.limit != 0 ? 32 : 16);
      EXPECT_EQ(bar->y, c.rows[static_cast<size_t>(i)] + (c.limit != 0 ? 72 : 24));
      // Home + the window's corner is the bar's rectangle on the screen.
      const Rect r = lips.BarRect(i);
      EXPECT_EQ(r.left, window->frame.left + bar->x);
      EXPECT_EQ(r.top, window->frame.top + bar->y);
      EXPECT_EQ(r.bottom - r.top, 32);
    }
    // The gauge files are loaded with the choice.
    EXPECT_NE(lips.needle_file(), nullptr);
    EXPECT_NE(lips.steam_file(), nullptr);
  }
}

TEST(LipsLayout, TextSplitBoundsAndTextX) {
  CTamvikLips lips;
  // Four lines: the fourth separator is dropped and line 3 goes on.
  EXPECT_EQ(lips.ChoiceText("\xA4\x40$$\xA4\x41$$\xA4\x42$$\xA4\x43"), 3);
  EXPECT_STREQ(lips.line(2), "\xA4\x42\xA4\x43");
  // The text is walked a character at a time: a single-byte character does not put the
  // separator after it out of step.
  EXPECT_EQ(lips.ChoiceText("a$$b\xA4\x40$$"), 3);
  EXPECT_STREQ(lips.line(0), "a");
  EXPECT_STREQ(lips.line(1), "b\xA4\x40");
  EXPECT_EQ(lips.ChoiceText(nullptr), 1);
  EXPECT_STREQ(lips.line(0), "");
  // A 300-byte line is cut after the last whole character that fits in 255 bytes; the next line
  // starts whole.
  const std::string long_text = ChoiceText(1, 150) + "$$" + ChoiceText(1, 2);
  EXPECT_EQ(lips.ChoiceText(long_text.c_str()), 2);
  EXPECT_EQ(std::strlen(lips.line(0)), 254u);
  EXPECT_EQ(std::memcmp(lips.line(0), long_text.data(), 254), 0);
  EXPECT_EQ(std::strlen(lips.line(1)), 4u);
  // Text x: 4, 19 and 40 characters (the last would start left of the window: 0).
  EXPECT_EQ(CTamvikLips::TextX(8), 180);
  EXPECT_EQ(CTamvikLips::TextX(38), 0);
  EXPECT_EQ(CTamvikLips::TextX(80), 0);
  EXPECT_EQ(CTamvikLips::TextX(255), 0);
}

TEST(LipsLayout, ALongLineIsDrawnFromTheLeftEdgeAndClipped) {
  LipsRig rig;
  ASSERT_TRUE(rig.started);
  const std::string text = ChoiceText(1, 150);
  ASSERT_EQ(rig.lips().StartLips(text.c_str(), 0), 1);
  EXPECT_EQ(rig.lips().text_x(0), 0);
  // The first character is in the text sprite at the text rectangle's left edge.
  const WindowRec* window = rig.lips().window();
  const platform::Surface* s = Ctx().ddraw_spr.GetSpriteSurface(window->text_sprite);
  const int left = window->text.left - window->frame.left;
  const int top = window->text.top - window->frame.top + 48;
  int inked = 0;
  for (int y = top; y < top + 24; ++y) {
    for (int x = left; x < left + 24; ++x) inked += s->Row(y)[x] != s->Row(top - 10)[left] ? 1 : 0;
  }
  EXPECT_GT(inked, 0);
}

// ---- Input ----

TEST(LipsInput, KeysWrapPointerWinsAndDecideConfirms) {
  LipsRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(3, 4).c_str(), 0), 1);
  ASSERT_GE(rig.RunToStep(10), 0);
  EXPECT_EQ(rig.Work()->current, 1);
  EXPECT_EQ(rig.Lit(), 1);
  EXPECT_EQ(rig.sounds, std::vector<int>({1}));  // the opening
  rig.sounds.clear();

  // Up on line 1 goes to line 3, down on line 3 to line 1, each with sound 3.
  ASSERT_TRUE(rig.Press(kGameKeyUp));
  EXPECT_EQ(rig.Work()->current, 3);
  EXPECT_EQ(rig.Lit(), 3);
  EXPECT_EQ(rig.sounds, std::vector<int>({3}));
  ASSERT_TRUE(rig.Press(kGameKeyDown));
  EXPECT_EQ(rig.Work()->current, 1);
  EXPECT_EQ(rig.Lit(), 1);
  EXPECT_EQ(rig.sounds, std::vector<int>({3, 3}));
  rig.sounds.clear();

  // The pointer moving onto bar 2 lights it; the up key of that frame is not read.
  const Rect bar2 = rig.lips().BarRect(1);
  rig.d.Schedule({testsupport::PointerMove(rig.d.frame() + 1, 300, bar2.top + 5),
                  testsupport::GameKeyDown(rig.d.frame() + 1, kGameKeyUp),
                  testsupport::GameKeyUp(rig.d.frame() + 2, kGameKeyUp)});
  ASSERT_TRUE(rig.Step());
  EXPECT_EQ(rig.Work()->current, 2);
  EXPECT_EQ(rig.Lit(), 2);
  EXPECT_EQ(rig.sounds, std::vector<int>({3}));
  // Moving within the same bar changes nothing and plays nothing.
  rig.sounds.clear();
  rig.d.Schedule(testsupport::PointerMove(rig.d.frame() + 1, 310, bar2.top + 6));
  ASSERT_TRUE(rig.Step());
  EXPECT_EQ(rig.Work()->current, 2);
  EXPECT_TRUE(rig.sounds.empty());

  // Decide confirms the line lit, with sound 4.
  TraceCapture trace;
  ASSERT_TRUE(rig.Press(kGameKey0));
  EXPECT_EQ(rig.lips().GetResult(), 2);
  EXPECT_EQ(rig.sounds, std::vector<int>({4}));
  EXPECT_TRUE(trace.Contains("Lips Selected 2\n"));
  EXPECT_EQ(rig.StepOf(), 11);
}

TEST(LipsInput, DecideWithoutMovingConfirmsLineOne) {
  LipsRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(2, 3).c_str(), 0), 1);
  ASSERT_GE(rig.RunToStep(10), 0);
  rig.sounds.clear();
  ASSERT_TRUE(rig.Press(kGameKey0));
  EXPECT_EQ(rig.lips().GetResult(), 1);
  EXPECT_EQ(rig.sounds, std::vector<int>({4}));
  ASSERT_GE(rig.RunToStep(-1), 0);
  EXPECT_TRUE(rig.lips().IsLipsEnd());
  EXPECT_EQ(rig.lips().GetResult(), 1);
  EXPECT_EQ(rig.lips().window(), nullptr);
}

// ---- Confirm blink ----

// With 100 ms frames the choice's timer reads 6 frames per driver frame: one blink phase each.
TEST(LipsConfirm, LitTwelveBlinksToFiftyFourLitThirtyMoreThenClosed) {
  struct Case {
    const char* name;
    bool hold_skip;
    std::vector<int> lit;  // the bar lit (1) or not (0) on each frame from the confirm on
  } cases[] = {
      // timer 0 6 | 12 18 24 30 36 42 48 | 54 (restart) 6 12 18 24 | 30: off, sound 2
      {"blink", false, {1, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1, 0}},
      // key 2 held: straight to the 30 frames lit.
      {"key 2 held", true, {1, 1, 1, 1, 1, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LipsRig rig(LipsRig::Setup{true, 100});
    ASSERT_TRUE(rig.started);
    ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 0), 1);
    ASSERT_GE(rig.RunToStep(10), 0);
    if (c.hold_skip) {
      rig.d.Schedule(testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey2));
    }
    rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey0),
                    testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey0)});
    ASSERT_TRUE(rig.Step());
    ASSERT_EQ(rig.StepOf(), 11);
    rig.sounds.clear();
    std::vector<int> lit{rig.Lit()};
    while (lit.size() < c.lit.size()) {
      ASSERT_TRUE(rig.Step());
      lit.push_back(rig.Lit());
      if (lit.size() < c.lit.size()) {
        EXPECT_TRUE(rig.sounds.empty()) << lit.size();
      }
    }
    EXPECT_EQ(lit, c.lit);
    EXPECT_EQ(rig.sounds, std::vector<int>({2}));
    EXPECT_EQ(rig.StepOf(), 13);
    // Then the window closes.
    ASSERT_GE(rig.RunToStep(-1, 20), 0);
    EXPECT_EQ(rig.lips().window(), nullptr);
    EXPECT_EQ(rig.lips().GetResult(), 1);
  }
}

// ---- Gauge ----

TEST(LipsGauge, SegmentsByLengthFullAtTheLimit) {
  LipsRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 528), 1);
  CTamvikLips& lips = rig.lips();
  WindowRec* window = lips.window();
  ASSERT_NE(window, nullptr);
  CDdrawWindow& windows = Ctx().ddraw_window;
  const platform::Surface* frame = Ctx().ddraw_spr.GetSpriteSurface(window->frame_sprite);
  ASSERT_NE(frame, nullptr);
  const uint16_t red = platform::PackColorRef(0x0000FF, Ctx().ddraw.MatchedLayout());

  struct Case {
    int l;
    std::vector<Rect> rects;
  } cases[] = {
      {0, {}},
      {211, {{21, 214, 232, 220}, {312, 214, 523, 220}}},
      {212, {{20, 214, 232, 220}, {312, 214, 524, 220}}},
      {377,
       {{20, 214, 232, 220}, {20, 55, 26, 220}, {312, 214, 524, 220}, {518, 55, 524, 220}}},
      {378,
       {{20, 214, 232, 220}, {20, 54, 26, 220}, {312, 214, 524, 220}, {518, 54, 524, 220}}},
      {528,
       {{20, 214, 232, 220},
        {20, 54, 26, 220},
        {26, 54, 176, 60},
        {312, 214, 524, 220},
        {518, 54, 524, 220},
        {368, 54, 518, 60}}},
  };
  const int width = window->frame.right - window->frame.left;
  const int height = window->frame.bottom - window->frame.top;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.l);
    windows.ClearPiece(window, CDdrawWindow::kFrameSprite);
    // The elapsed frames equal L with a limit of 528; at the limit it is full and not yet out.
    EXPECT_FALSE(lips.DrawGauge(static_cast<uint32_t>(c.l), 528));
    // Red exactly inside the rectangles (the lines meet at the corners).
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        bool inside = false;
        for (const Rect& r : c.rects) {
          inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
        }
        ASSERT_EQ(frame->Row(y)[x] == red, inside) << x << "," << y;
      }
    }
  }
  // One frame past the limit is the time-out (the gauge stays full).
  windows.ClearPiece(window, CDdrawWindow::kFrameSprite);
  EXPECT_TRUE(lips.DrawGauge(529, 528));
  EXPECT_EQ(frame->Row(57)[100], red);
}

// ---- Time-out ----

TEST(LipsTimeout, ResultZeroNeedleSteamThenClosedAfter150Frames) {
  LipsRig rig(LipsRig::Setup{true, 100});
  ASSERT_TRUE(rig.started);
  TraceCapture trace;
  // 12 frames: two driver frames of the timer.
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(2, 3).c_str(), 12), 1);
  ASSERT_GE(rig.RunToStep(3), 0);
  SpxAnimeKind& kind = *rig.d.scene.tamvik_spr.spx();
  ASSERT_NE(rig.lips().needle(), nullptr);
  EXPECT_EQ(kind.Block(rig.lips().needle())->animation, 0u);
  EXPECT_EQ(kind.Block(rig.lips().needle())->loop, 1u);
  rig.sounds.clear();
  // Timer 0, 6, 12 (full, not out), 18 (out).
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(rig.Step());
    EXPECT_EQ(rig.StepOf(), 3) << i;
  }
  EXPECT_EQ(rig.lips().GetResult(), -1);
  ASSERT_TRUE(rig.Step());
  EXPECT_EQ(rig.StepOf(), 6);
  ASSERT_TRUE(rig.Step());
  EXPECT_EQ(rig.StepOf(), 7);
  EXPECT_TRUE(trace.Contains("LIPS_TIMEOUT\n"));
  EXPECT_EQ(rig.lips().GetResult(), 0);
  EXPECT_EQ(rig.Lit(), 0);
  EXPECT_EQ(rig.lips().window()->base_color, 0xC0C0FFu);
  ASSERT_NE(rig.lips().needle(), nullptr);
  EXPECT_EQ(kind.Block(rig.lips().needle())->animation, 1u);
  ASSERT_NE(rig.lips().steam_left(), nullptr);
  ASSERT_NE(rig.lips().steam_right(), nullptr);
  const SpxAnimeBlock* left = kind.Block(rig.lips().steam_left());
  const SpxAnimeBlock* right = kind.Block(rig.lips().steam_right());
  EXPECT_EQ(left->x, 0);
  EXPECT_EQ(left->y, 24);
  EXPECT_EQ(left->reverse, 0u);
  EXPECT_EQ(left->loop, 0u);
  EXPECT_EQ(right->x, 640);
  EXPECT_EQ(right->reverse, 16u);
  EXPECT_EQ(rig.sounds, std::vector<int>({8}));
  rig.sounds.clear();

  // The steam ends by itself and is released; the window closes when the timer passes 150.
  int frames = 0;
  while (rig.StepOf() == 7 && frames < 40) {
    ASSERT_TRUE(rig.Step());
    ++frames;
  }
  EXPECT_EQ(rig.lips().steam_left(), nullptr);
  EXPECT_EQ(rig.lips().steam_right(), nullptr);
  EXPECT_EQ(frames, 26);  // 26 x 6 = 156 > 150; 25 x 6 = 150 is not past it
  EXPECT_EQ(rig.sounds, std::vector<int>({2}));
  ASSERT_GE(rig.RunToStep(-1, 20), 0);
  EXPECT_EQ(rig.lips().GetResult(), 0);
  EXPECT_EQ(rig.lips().window(), nullptr);
  EXPECT_EQ(rig.lips().needle(), nullptr);
  EXPECT_EQ(rig.lips().needle_file(), nullptr);
  EXPECT_TRUE(Ctx().anime.Records(12).empty());
}

// ---- Time-limit sound ----

TEST(LipsSound, TimeLimitSoundByBand) {
  const struct {
    uint32_t limit;
    const char* file;
  } cases[] = {
      {1, "TE06_00"},    {120, "TE06_00"}, {121, "TE06_01"},  {150, "TE06_01"},
      {151, "TE06_02"},  {180, "TE06_02"}, {181, "TE06_03"},  {200, "TE06_03"},
      {201, "TE06_04"},  {240, "TE06_04"}, {241, "TE06"},     {359, "TE06"},
      {360, "TE06_05"},  {419, "TE06_05"}, {420, "TE06_06"},  {599, "TE06_06"},
      {600, "TE06_07"},  {1199, "TE06_07"}, {1200, "TE06_08"}, {65535, "TE06_08"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CTamvikLips::LipsSeName(c.limit),
              std::string("tamvik1\\system\\SE\\") + c.file + ".wav")
        << c.limit;
  }
}

TEST(LipsSound, TimedChoicePlaysItsSoundThePlainOneNone) {
  for (const int limit : {120, 300, 0}) {
    SCOPED_TRACE(limit);
    LipsRig rig;
    ASSERT_TRUE(rig.started);
    TraceCapture trace;
    ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), limit), 1);
    ASSERT_GE(rig.RunToStep(limit != 0 ? 3 : 10), 0);
    const std::string expected =
        limit == 0 ? "" : CTamvikLips::LipsSeName(static_cast<uint32_t>(limit));
    EXPECT_EQ(LipsRig::Streamed(), expected);
    if (limit != 0) {
      EXPECT_TRUE(trace.Contains("Play LipsTEFFECT File = " + expected + "\n"));
    }
  }
}

// A looping effect playing before a timed choice plays again after it at its old volume; the
// effect volume is 100 during the choice.
TEST(LipsSound, RestoresALoopingEffectAndTheVolume) {
  const struct {
    const char* name;
    bool loop;        // the effect before the choice has a loop point
    bool playing;     // an effect plays before the choice
  } cases[] = {
      {"looping", true, true},
      {"not looping", false, true},
      {"nothing playing", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LipsRig rig;
    rig.d.tree.Write(testsupport::InstallRel("tamvik1\\system\\SE\\amb.wav"),
                     testsupport::LipsWave(2000, c.loop));
    ASSERT_TRUE(rig.started);
    CDsoundFunc& sound = Ctx().dsound;
    const char* effect = "tamvik1\\system\\SE\\amb.wav";
    if (c.playing) {
      ASSERT_EQ(sound.PlaySE(effect), 1);
    }
    sound.SetSEVolume(60, 0);
    ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 600), 1);
    ASSERT_GE(rig.RunToStep(3), 0);
    EXPECT_EQ(sound.GetSEVolume(), 100);
    EXPECT_EQ(LipsRig::Streamed(), CTamvikLips::LipsSeName(600));
    EXPECT_EQ(rig.lips().saved_se_name(), c.loop ? effect : "");
    ASSERT_TRUE(rig.Press(kGameKey0));
    EXPECT_EQ(rig.lips().GetResult(), 1);
    EXPECT_EQ(LipsRig::Streamed(), c.loop ? effect : "");
    EXPECT_EQ(sound.channels[kChannelSe].volume, 60u);
    if (c.loop) {
      EXPECT_EQ(sound.GetSEVolume(), 60);
    }
    EXPECT_TRUE(rig.lips().saved_se_name().empty());
  }
}

// ---- Missing files ----

TEST(LipsFiles, WithoutNeedleAndSteamTheChoiceRunsAndTimesOut) {
  LipsRig rig(LipsRig::Setup{false, 100});
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 6), 1);
  EXPECT_EQ(rig.lips().needle_file(), nullptr);
  EXPECT_EQ(rig.lips().steam_file(), nullptr);
  ASSERT_GE(rig.RunToStep(-1, 80), 0);
  EXPECT_EQ(rig.lips().GetResult(), 0);
  EXPECT_EQ(rig.lips().window(), nullptr);
}

TEST(LipsFiles, EitherGaugeFileMissingReleasesBoth) {
  for (const char* missing : {CTamvikLips::kSteamFile, CTamvikLips::kNeedleFile}) {
    SCOPED_TRACE(missing);
    LipsRig rig;
    ASSERT_TRUE(rig.started);
    rig.d.tree.Remove(testsupport::InstallRel(missing));
    ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 600), 1);
    EXPECT_EQ(rig.lips().needle_file(), nullptr);
    EXPECT_EQ(rig.lips().steam_file(), nullptr);
    // The one that loaded is not held by anyone.
    const char* other = std::strcmp(missing, CTamvikLips::kSteamFile) == 0
                            ? CTamvikLips::kNeedleFile
                            : CTamvikLips::kSteamFile;
    EXPECT_EQ(rig.d.scene.tamvik_spr.FindAnm(other), nullptr);
  }
}

TEST(LipsFiles, ASecondStartWhileOneRunsIsRefused) {
  LipsRig rig;
  ASSERT_TRUE(rig.started);
  TraceCapture trace;
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 0), 1);
  const WindowRec* window = rig.lips().window();
  EXPECT_EQ(rig.lips().StartLips(ChoiceText(2, 3).c_str(), 0), 0);
  EXPECT_TRUE(trace.Contains("a choice runs already"));
  EXPECT_EQ(rig.lips().window(), window);
  EXPECT_EQ(rig.lips().count(), 1);
}

// A scene torn down under a choice ends its task from outside: the next choice clears what the
// old one left (its window, bars and animations) instead of leaving it on the screen.
TEST(LipsFiles, AChoiceEndedFromOutsideIsClearedByTheNext) {
  LipsRig rig(LipsRig::Setup{true, 50});
  ASSERT_TRUE(rig.started);
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(3, 3).c_str(), 600), 1);
  ASSERT_GE(rig.RunToStep(3), 0);
  const SprRec* old_bar = rig.lips().bar(2);
  ASSERT_NE(rig.lips().needle(), nullptr);
  Ctx().game_task.DelTask(rig.Task());
  EXPECT_TRUE(rig.lips().IsLipsEnd());
  ASSERT_EQ(rig.lips().StartLips(ChoiceText(1, 3).c_str(), 0), 1);
  int windows = 0;
  for (const WindowRec* w = Ctx().ddraw_window.head(); w != nullptr; w = w->next) ++windows;
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(Ctx().ddraw_spr.IsSprite(old_bar), 0);
  EXPECT_EQ(rig.lips().needle(), nullptr);
  EXPECT_TRUE(Ctx().anime.Records(12).empty());
  rig.Press(kGameKey0);
  ASSERT_GE(rig.RunToStep(10), 0);
  ASSERT_TRUE(rig.Press(kGameKey0));
  ASSERT_GE(rig.RunToStep(-1, 100), 0);
  EXPECT_EQ(rig.lips().GetResult(), 1);
  EXPECT_EQ(Ctx().ddraw_window.head(), nullptr);
}

// ---- Frames for people ----

// TAMVIK_LIPS_FRAMES=<dir> test_scene_ui --gtest_filter='*LipsFrames*' writes every composed frame
// of a timed choice answered on line 2, then of one timing out, as PNGs. Without the variable the
// run checks what the frames show.
TEST(LipsFrames, TimedChoiceAnsweredAndTimedOut) {
  const char* folder = std::getenv("TAMVIK_LIPS_FRAMES");
  for (const bool answer : {true, false}) {
    SCOPED_TRACE(answer ? "answered" : "timed out");
    LipsRig rig(LipsRig::Setup{true, 50});
    ASSERT_TRUE(rig.started);
    ASSERT_EQ(TamvikFunc::StartLips(ChoiceText(3, 6).c_str(), 40), 1);
    int shot = 0;
    const auto save = [&] {
      if (folder == nullptr) return;
      const std::string name = std::string(folder) + "/lips_" + (answer ? "answer_" : "timeout_") +
                               (shot < 10 ? "0" : "") + std::to_string(shot) + ".png";
      EXPECT_TRUE(rig.d.display().SaveFramePng(name)) << name;
      ++shot;
    };
    ASSERT_GE(rig.RunToStep(3), 0);
    for (int i = 0; i < 6; ++i) {
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      ASSERT_TRUE(rig.Step());
      save();
    }
    // The bar of line 1 lit under its text, and the red gauge on the lower edge.
    const uint16_t red = platform::PackColorRef(0x0000FF, Ctx().ddraw.MatchedLayout());
    EXPECT_EQ(rig.d.display().FramePixel(48 + 231, 56 + 216), red);
    EXPECT_EQ(rig.d.display().FramePixel(48 + 313, 56 + 216), red);
    if (answer) {
      const Rect bar2 = rig.lips().BarRect(1);
      rig.d.Schedule(testsupport::PointerMove(rig.d.frame() + 1, 320, bar2.top + 4));
      ASSERT_TRUE(rig.Step());
      save();
      ASSERT_TRUE(rig.Press(kGameKey0));
      save();
    }
    for (int i = 0; i < 200 && !rig.lips().IsLipsEnd(); ++i) {
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      ASSERT_TRUE(rig.Step());
      if (i % 3 == 0) save();
    }
    EXPECT_TRUE(rig.lips().IsLipsEnd());
    EXPECT_EQ(rig.lips().GetResult(), answer ? 2 : 0);
  }
}

}  // namespace
}  // namespace lips_test
