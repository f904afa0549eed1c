// Battle backgrounds, map plane 1 fades and event movies on the battle rig (the battle events
// installed): the file names, the background's load, replacement and failure, its slide and
// fades, the plane fades with their kept alpha word, and the movie step with the headless movie
// source, skip keys and a missing file.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/effect_objects.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::TraceCapture;

// An 8 x 4 picture of one colour (colour-table entry 1).
std::vector<uint8_t> SolidPicture(testsupport::SprRgb colour) {
  using namespace testsupport;
  return PictureFile({{0, 0, 0}, colour},
                     {{8, 4, kSprDepth8, 0, std::vector<uint8_t>(32, 1)}});
}

class BgRig {
 public:
  explicit BgRig(const BattleRig::Options& options = {}) : rig(options) {
    InstallBattleEvents(rig.battle());
  }
  ~BgRig() {
    EventFreeBG();
    SlgMap::FreeMap();
  }
  SlgEventRuntimeState& State() { return Battle().Extension<SlgEventRuntimeState>(); }
  // Picture n in the rig's mixed-case tree.
  void Picture(int n, testsupport::SprRgb colour = {31, 0, 0}) {
    char rel[64];
    std::snprintf(rel, sizeof rel, "install/TaMvIk2/bg/bBg%03d.Spr", n);
    rig.driver().tree.Write(rel, SolidPicture(colour));
  }
  // Calls `step` once, then once after each rig step, until it answers 1: the rig steps taken,
  // -1 past `limit`. `each` runs after every call that answered 0.
  int StepsUntilDone(const std::function<int()>& step, int limit = 400,
                     const std::function<void()>& each = {}) {
    for (int steps = 0; steps <= limit; ++steps) {
      if (steps > 0) rig.Step();
      if (step() != 0) return steps;
      if (each) each();
    }
    return -1;
  }

  BattleRig rig;
};

TEST(EventBgNames, NumbersGiveTheirFileNamesWithoutOverflow) {
  struct Case {
    int n;
    const char* name;
  } pictures[] = {{3, "tamvik2\\BG\\BBG003.SPR"},
                  {0, "tamvik2\\BG\\BBG000.SPR"},
                  {1234, "tamvik2\\BG\\BBG1234.SPR"},
                  {-2147483647 - 1, "tamvik2\\BG\\BBG-2147483648.SPR"}};
  for (const Case& c : pictures) EXPECT_EQ(BgFileName(c.n), c.name);
  struct MovieCase {
    int32_t group, index;
    const char* name;
  } movies[] = {{0, 5, "Movie\\Movie005.mpg"},
                {3, 1, "Movie\\Movie301.mpg"},
                {12, 34, "Movie\\Movie1234.mpg"},
                {2147483647, 99, "Movie\\Movie214748364799.mpg"}};
  for (const MovieCase& c : movies) EXPECT_EQ(MovieFileName(c.group, c.index), c.name);
}

// ---- Backgrounds ----

TEST(EventBg, LoadShowsThePictureCentredInFrontAndASecondLoadFreesTheFirst) {
  BgRig b;
  b.Picture(3);
  b.Picture(4, {0, 31, 0});
  LoadBG(3, 320, 176);
  SlgEventRuntimeState& s = b.State();
  ASSERT_NE(s.bg_sprite, nullptr);
  ASSERT_NE(s.bg_entry, nullptr);
  EXPECT_EQ(s.bg_sprite->x, 320 - 4);
  EXPECT_EQ(s.bg_sprite->y, 176 - 2);
  EXPECT_EQ(s.bg_entry->priority, 0) << "in front of everything";
  EXPECT_EQ(s.bg_x, 0);
  EXPECT_EQ(s.bg_speed, 0);
  b.rig.Step();
  EXPECT_EQ(b.rig.PixelAt(317, 175), b.rig.Shown(0x0000F8u));

  SprRec* first = s.bg_sprite;
  EventShowBG(4);
  EXPECT_EQ(Ctx().ddraw_spr.IsSprite(first), 0) << "the first picture is freed";
  ASSERT_NE(s.bg_sprite, nullptr);
  b.rig.Step();
  EXPECT_EQ(b.rig.PixelAt(317, 175), b.rig.Shown(0x00F800u));
}

TEST(EventBg, AMissingPictureIsTracedAndLeavesNone) {
  BgRig b;
  b.Picture(3);
  EventShowBG(3);
  TraceCapture trace;
  EventShowBG(9);
  EXPECT_TRUE(trace.Contains("LoadBG: File Not Found tamvik2\\BG\\BBG009.SPR\n"));
  EXPECT_EQ(b.State().bg_sprite, nullptr);
  EXPECT_EQ(b.State().bg_entry, nullptr);
  EventBgAlpha(128);  // nothing to change
  EventFreeBG();
}

TEST(EventBg, FadeInOverAMissingPictureStillFinishesOnTime) {
  BgRig b;
  const int steps = b.StepsUntilDone([] { return EventBgFadeIn(9, 20, 100); });
  // Phase 0 shows, phase 1 starts the clock, then 20 frames and the finishing call.
  EXPECT_GE(steps, 21);
  EXPECT_LE(steps, 23);
  EXPECT_EQ(b.State().bg_entry, nullptr);
}

TEST(EventBg, FadeOutFreesTheBackgroundAndALaterAlphaChangesNothing) {
  BgRig b;
  b.Picture(3);
  EventShowBG(3);
  const int steps = b.StepsUntilDone([] { return EventBgFadeOut(10, 100); });
  EXPECT_GE(steps, 10);
  EXPECT_LE(steps, 13);
  EXPECT_EQ(b.State().bg_entry, nullptr);
  EXPECT_EQ(b.State().bg_sprite, nullptr);
  EventBgAlpha(200);
  EXPECT_EQ(b.State().bg_entry, nullptr);
}

// Alpha at frame 0, half way and the end for 100 and 50 percent.
TEST(EventBg, FadesFollowPercentAndFrames) {
  struct Case {
    int32_t percent;
    BlendWord at0, half, end;
  } cases[] = {{100, 0, 128, 256}, {50, 0, 64, 128}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    BgRig b;
    b.Picture(3);
    EXPECT_EQ(EventBgFadeIn(3, 20, c.percent), 0);
    SlgEventRuntimeState& s = b.State();
    ASSERT_NE(s.bg_entry, nullptr);
    EXPECT_EQ(s.bg_entry->alpha, 0u);
    std::vector<BlendWord> seen(21, 0xFFFFFFFFu);
    const int steps = b.StepsUntilDone([&] { return EventBgFadeIn(3, 20, c.percent); }, 100, [&] {
      if (s.bg_fade_in_phase != 2 || s.bg_entry == nullptr) return;
      const int32_t f = EffectFrames(s.bg_fade_in_start);
      if (f >= 0 && f <= 20) seen[static_cast<size_t>(f)] = s.bg_entry->alpha;
    });
    ASSERT_GT(steps, 0);
    EXPECT_EQ(seen[0], c.at0);
    EXPECT_EQ(seen[10], c.half);
    ASSERT_NE(s.bg_entry, nullptr);
    EXPECT_EQ(s.bg_entry->alpha, c.end);

    // The fade-out from the same level to 0, then freed.
    EXPECT_EQ(EventBgFadeOut(20, c.percent), 0);
    EXPECT_EQ(s.bg_entry->alpha, c.end);
    std::vector<BlendWord> out(21, 0xFFFFFFFFu);
    ASSERT_GT(b.StepsUntilDone([&] { return EventBgFadeOut(20, c.percent); }, 100, [&] {
      if (s.bg_fade_out_phase != 1 || s.bg_entry == nullptr) return;
      const int32_t f = EffectFrames(s.bg_fade_out_start);
      if (f >= 0 && f <= 20) out[static_cast<size_t>(f)] = s.bg_entry->alpha;
    }), 0);
    EXPECT_EQ(out[10], c.half);
    EXPECT_EQ(s.bg_entry, nullptr);
  }
}

TEST(EventBg, ZeroFramesFinishAtOnceWithoutShowing) {
  BgRig b;
  b.Picture(3);
  EXPECT_EQ(EventBgFadeIn(3, 0, 100), 1);
  EXPECT_EQ(b.State().bg_entry, nullptr);
  EXPECT_EQ(EventBgFadeOut(0, 100), 1);
}

// ---- Slide-in ----

constexpr int32_t kSlideX[] = {640, 634, 625, 612, 593, 565, 523, 460, 366, 225, 14, 0};
constexpr int32_t kSlideSpeed[] = {-4, -6, -9, -13, -19, -28, -42, -63, -94, -141, -211, -316};

TEST(EventBgSlide, SpeedGrowsByHalfAndThePictureArrivesAfterElevenFrames) {
  BgRig b;
  b.Picture(3);
  SlgEventRuntimeState& s = b.State();
  int last_f = -1;
  const int steps = b.StepsUntilDone([] { return EventBgSlideIn(3); }, 100, [&] {
    if (s.slide_phase == 1) {
      EXPECT_EQ(s.bg_x, 640);
      EXPECT_EQ(s.bg_speed, -4);
      return;
    }
    if (s.slide_phase < 2) return;
    // The frame count can skip a value (17 ms steps); past 11 the picture has arrived.
    const int32_t f = std::min(EffectFrames(s.slide_start), 11);
    last_f = f;
    EXPECT_EQ(s.bg_x, kSlideX[f]) << "f " << f;
    EXPECT_EQ(s.bg_speed, kSlideSpeed[f]) << "f " << f;
    EXPECT_EQ(s.slide_phase, f == 11 ? 3 : 2);
    int x = 0, y = 0;
    ASSERT_NE(s.bg_entry, nullptr);
    Ctx().ddraw_spr.GetBufferPos(s.bg_entry, &x, &y);
    EXPECT_EQ(x, s.bg_x);
    EXPECT_EQ(y, 0);
  });
  EXPECT_EQ(last_f, 11);
  EXPECT_GE(steps, 13);
  EXPECT_LE(steps, 14);
  EXPECT_EQ(s.bg_x, 0);
  EXPECT_EQ(s.slide_phase, 0);
}

TEST(EventBgSlide, ALongFrameJumpsAheadToTheSameEnd) {
  BattleRig::Options o;
  o.step_ms = 100;
  BgRig b(o);
  b.Picture(3);
  const int steps = b.StepsUntilDone([] { return EventBgSlideIn(3); }, 20);
  EXPECT_GE(steps, 4);
  EXPECT_LE(steps, 5);
  EXPECT_EQ(b.State().bg_x, 0);
  ASSERT_NE(b.State().bg_entry, nullptr);
}

TEST(EventBgSlide, AMissingPictureStillRunsItsTiming) {
  BgRig b;
  const int steps = b.StepsUntilDone([] { return EventBgSlideIn(9); }, 100);
  EXPECT_GE(steps, 13);
  EXPECT_LE(steps, 14);
  EXPECT_EQ(b.State().bg_entry, nullptr);
}

}  // namespace
