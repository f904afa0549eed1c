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
#include "battle/slg_events.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_sound.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/effect_objects.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "platform/display.h"
#include "platform/headless/headless_movie.h"
#include "platform/surface.h"
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
    WritePicture(n, SolidPicture(colour));
  }
  void WritePicture(int n, const std::vector<uint8_t>& file) {
    char rel[64];
    std::snprintf(rel, sizeof rel, "install/TaMvIk2/bg/bBg%03d.Spr", n);
    rig.driver().tree.Write(rel, file);
  }
  // BattleRig::StepsUntilDone with an `each` that needs no step count.
  int StepsUntilDone(const std::function<int()>& step, int limit = 400,
                     const std::function<void()>& each = {}) {
    return rig.StepsUntilDone(step, limit, [&each](int) {
      if (each) each();
    });
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

// The runtime block is cleared when a map's events are installed; the background it holds goes
// with it instead of being lost.
TEST(EventBg, AnInstallFreesTheShownBackground) {
  BgRig b;
  b.Picture(3);
  EventShowBG(3);
  SprRec* shown = b.State().bg_sprite;
  ASSERT_NE(shown, nullptr);
  EventNpcLoad();
  EXPECT_EQ(Ctx().ddraw_spr.IsSprite(shown), 0);
  EXPECT_EQ(b.State().bg_sprite, nullptr);
}

// The end of a map's events takes a shown background with it.
TEST(EventBg, EndEventCheckFreesTheShownBackground) {
  constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};
  BgRig b;
  b.Picture(3);
  StartEventCheck(kNoRows);
  EventShowBG(3);
  SprRec* shown = b.State().bg_sprite;
  ASSERT_NE(shown, nullptr);
  EndEventCheck();
  EXPECT_EQ(Ctx().ddraw_spr.IsSprite(shown), 0);
  EXPECT_EQ(b.State().bg_sprite, nullptr);
  EXPECT_EQ(b.State().bg_entry, nullptr);
  const size_t presented = b.rig.driver().presented_frames().size();
  ASSERT_TRUE(b.rig.Run(2));  // nothing left drawing what was freed
  EXPECT_GT(b.rig.driver().presented_frames().size(), presented);
  EXPECT_EQ(b.rig.PixelAt(317, 175), b.rig.Shown(0));
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

// With nothing else drawing on the screen (no map), each alpha of a fade and the removal at its
// end still reach the screen.
TEST(EventBg, FadesAndTheRemovalReachTheScreenOnTheirOwn) {
  BgRig b;
  b.Picture(3);
  std::vector<uint32_t> shown;
  const auto look = [&] {
    const uint32_t p = b.rig.PixelAt(317, 175);
    if (shown.empty() || shown.back() != p) shown.push_back(p);
  };
  ASSERT_GT(b.StepsUntilDone([] { return EventBgFadeIn(3, 20, 100); }, 100, look), 0);
  b.rig.Step();
  look();
  EXPECT_GE(shown.size(), 10u) << "the picture shows brighter frame by frame";
  EXPECT_EQ(shown.back(), b.rig.Shown(0x0000F8u));
  ASSERT_GT(b.StepsUntilDone([] { return EventBgFadeOut(20, 100); }, 100), 0);
  b.rig.Step();
  EXPECT_EQ(b.rig.PixelAt(317, 175), b.rig.Shown(0)) << "gone once freed";
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

// ---- Map plane 1 ----

class PlaneRig : public BgRig {
 public:
  // A map whose plane 1 (the sky) carries the alpha word `alpha`.
  explicit PlaneRig(BlendWord alpha) {
    testsupport::LayMapFile(rig.driver().tree, 0, "a.spr",
                            testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 1)));
    testsupport::MapTabWriter().File("Sky:", {"a.spr"}).Lay(rig.driver().tree, 0);
    SlgMap::LoadMapTable(0);
    SlgMap::SetPlaneAlpha(1, alpha);
  }
  static bool Enabled() {
    const auto& plane = Battle().map.planes[1];
    return plane != nullptr && plane->enabled != 0;
  }
};

TEST(EventPlane, FadeOutKeepsTheWordAndTheFadeInBringsItBack) {
  struct Case {
    const char* name;
    BlendWord alpha;
  } cases[] = {{"plain", 256}, {"blend mode bits", 0x90100}, {"half level", 0x20080}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlaneRig p(c.alpha);
    const BlendWord high = c.alpha & 0xFFFF0000u;
    const BlendWord level = c.alpha & 0xFFFFu;
    BlendWord half_seen = 0xFFFFFFFFu;
    SlgEventRuntimeState& s = p.State();
    int steps = p.StepsUntilDone([] { return EventPlaneFadeOut(20); }, 100, [&] {
      if (s.plane_out_phase == 1 && EffectFrames(s.plane_out_start) == 10) {
        half_seen = SlgMap::GetPlaneAlpha(1);
      }
      if (s.plane_out_phase >= 1) {
        EXPECT_EQ(SlgMap::GetPlaneAlpha(1) & 0xFFFF0000u, high) << "the high bits are kept";
      }
    });
    EXPECT_GE(steps, 21);
    EXPECT_LE(steps, 23);
    EXPECT_EQ(half_seen, high + level / 2);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1), high);
    EXPECT_FALSE(PlaneRig::Enabled());

    half_seen = 0xFFFFFFFFu;
    steps = p.StepsUntilDone([] { return EventPlaneFadeIn(20); }, 100, [&] {
      if (s.plane_in_phase == 1 && EffectFrames(s.plane_in_start) == 10) {
        half_seen = SlgMap::GetPlaneAlpha(1);
      }
    });
    EXPECT_GE(steps, 21);
    EXPECT_LE(steps, 23);
    EXPECT_EQ(half_seen, high + level / 2);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1), c.alpha) << "the word read by the fade-out";
    EXPECT_TRUE(PlaneRig::Enabled());
  }
}

TEST(EventPlane, FullFadeInEndsAtPlain256) {
  PlaneRig p(0x90100);
  ASSERT_GT(p.StepsUntilDone([] { return EventPlaneFadeOut(10); }), 0);
  ASSERT_GT(p.StepsUntilDone([] { return EventPlaneFadeInFull(10); }), 0);
  EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 256u);
  EXPECT_TRUE(PlaneRig::Enabled());
}

// Frames below 1 make fades that are complete at once (never a division by zero, never a fade
// that cannot end).
TEST(EventPlane, FadesOfNoFramesAreCompleteAtOnce) {
  for (int32_t frames : {0, -5}) {
    SCOPED_TRACE(frames);
    PlaneRig p(0x90100);
    EXPECT_EQ(EventPlaneFadeOut(frames), 1);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 0x90000u);
    EXPECT_FALSE(PlaneRig::Enabled());
    EXPECT_EQ(EventPlaneFadeIn(frames), 1);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 0x90100u);
    EXPECT_TRUE(PlaneRig::Enabled());
    EXPECT_EQ(EventPlaneFadeInFull(frames), 1);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 256u);
    EXPECT_EQ(p.State().plane_out_phase, 0);
  }
}

TEST(EventPlane, OffsetOfPlaneOne) {
  PlaneRig p(256);
  EventSetPlaneOffset(12, -7);
  int32_t x = 0, y = 0;
  EventGetPlaneOffset(&x, &y);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, -7);
}

// ---- Movies ----

class MovieRig : public BgRig {
 public:
  using BgRig::BgRig;
  // A scripted movie for the file at `rel` in the rig's tree.
  void AddMovie(const std::string& rel, double seconds) {
    const std::string path = rig.driver().tree.Write(rel, std::string("scripted"));
    platform::headless::ScriptedMovie script;
    script.duration = seconds;
    script.format.width = 64;
    script.format.height = 48;
    for (int i = 0; i < 3; ++i) {
      script.frames.push_back(
          platform::headless::HeadlessMovies::SolidFrame(script.format, i * 0.1, 0x1234));
    }
    rig.driver().host().movies.Add(path, script);
  }
};

TEST(EventMovie, PlaysInTheWindowOrFullScreenAndFadesBackToBlack) {
  struct Case {
    const char* rel;
    int32_t group, index;
    int full;
    Rect rect;
    const char* trace;
  } cases[] = {
      {"install/MoViE/movie005.MPG", 0, 5, 0, {32, 32, 608, 320}, "MoviePlay: Movie\\Movie005.mpg.\n"},
      {"install/movie/MOVIE301.mpg", 3, 1, 1, {0, 0, 640, 480}, "MoviePlay: Movie\\Movie301.mpg.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rel);
    MovieRig m;
    m.AddMovie(c.rel, 0.5);
    Battle().flags = 0x2;
    TraceCapture trace;
    int fade_start = -1;
    bool rect_checked = false;
    const int steps = m.StepsUntilDone(
        [&] { return c.full != 0 ? EventMoviePlayFull(c.group, c.index)
                                 : EventMoviePlay(c.group, c.index); },
        400, [&] {
          SlgEventRuntimeState& s = m.State();
          if (s.movie_phase == 2 && !rect_checked) {
            rect_checked = true;
            EXPECT_EQ(Ctx().movie.GetMovieState(), kMoviePlaying);
            const Rect& r = Ctx().movie.dest_rect();
            EXPECT_EQ(r.left, c.rect.left);
            EXPECT_EQ(r.top, c.rect.top);
            EXPECT_EQ(r.right, c.rect.right);
            EXPECT_EQ(r.bottom, c.rect.bottom);
          }
          if (s.movie_phase == 3 && fade_start < 0) fade_start = m.rig.steps();
        });
    ASSERT_GT(steps, 0);
    EXPECT_TRUE(rect_checked);
    EXPECT_TRUE(trace.Contains(c.trace));
    ASSERT_GE(fade_start, 0);
    EXPECT_GE(m.rig.steps() - fade_start, 60) << "a 60-frame fade to black";
    EXPECT_EQ(Battle().flags & 0x20, 0x20) << "the fixed sprites stay hidden";
    EXPECT_EQ(Battle().flags & 0x2, 0);
    EXPECT_EQ(m.State().movie_phase, 0);
  }
}

TEST(EventMovie, ASkipKeyOnTheFirstFrameStopsItAndTheFadeStillRuns) {
  for (uint32_t key : {kGameKey1, kGameKey3}) {
    SCOPED_TRACE(key);
    MovieRig m;
    m.AddMovie("install/Movie/Movie005.mpg", 10.0);
    SlgEventRuntimeState& s = m.State();
    EXPECT_EQ(EventMoviePlay(0, 5), 0);
    m.rig.Step();
    EXPECT_EQ(EventMoviePlay(0, 5), 0);
    ASSERT_EQ(s.movie_phase, 2);
    m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame() + 1, key),
                    testsupport::GameKeyUp(m.rig.frame() + 2, key)});
    int fade_start = -1;
    const int steps = m.StepsUntilDone([] { return EventMoviePlay(0, 5); }, 200, [&] {
      if (s.movie_phase == 3 && fade_start < 0) fade_start = m.rig.steps();
    });
    ASSERT_GT(steps, 0);
    ASSERT_GE(fade_start, 0);
    EXPECT_LT(fade_start, 30) << "stopped long before the movie's 10 seconds";
    EXPECT_GE(m.rig.steps() - fade_start, 60);
    EXPECT_EQ(Battle().flags & 0x20, 0x20);
  }
}

bool SameLayers(const LayerState& a, const LayerState& b) {
  return std::equal(std::begin(a.visible), std::end(a.visible), std::begin(b.visible)) &&
         std::equal(std::begin(a.copy), std::end(a.copy), std::begin(b.copy)) &&
         a.clear_flag == b.clear_flag;
}

// Whether every pixel of the surface is `value`.
bool AllPixels(const platform::Surface& surface, uint16_t value) {
  for (int y = 0; y < surface.height(); ++y) {
    const uint16_t* row = surface.Row(y);
    if (!std::all_of(row, row + surface.width(), [&](uint16_t p) { return p == value; })) {
      return false;
    }
  }
  return true;
}

// The fade back changes layer 4 to copy its surface; once it has ended every layer is as the
// battle had it, and what was left on surface 4 is cleared away.
TEST(EventMovie, TheEndOfTheFadeRestoresTheLayersAndClearsSurfaceFour) {
  MovieRig m;
  m.AddMovie("install/Movie/Movie005.mpg", 0.2);
  CDdrawFunc& ddraw = Ctx().ddraw;
  // A layer state of the battle's own, unlike the one the fade uses.
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 2);  // shown, not copying
  SlgSetLayer(SURFACE_TEXT, 3);
  SlgSetClearFlag(0);
  LayerState before;
  ddraw.SaveLayerState(&before);
  ASSERT_EQ(ddraw.IsSurfaceBlt(SURFACE_ROOT), 0u);

  SlgEventRuntimeState& s = m.State();
  bool changed_in_fade = false;
  bool marked = false;
  const int steps = m.StepsUntilDone([] { return EventMoviePlay(0, 5); }, 400, [&] {
    if (s.movie_phase != 3) return;
    LayerState now;
    ddraw.SaveLayerState(&now);
    changed_in_fade = changed_in_fade || !SameLayers(now, before);
    if (!marked) {
      // Something left on surface 4 while the screen is black.
      platform::Surface* root = ddraw.GetSurface(SURFACE_ROOT);
      ASSERT_NE(root, nullptr);
      for (int y = 10; y < 20; ++y) std::fill_n(root->Row(y) + 10, 10, uint16_t{0xFFFF});
      marked = true;
    }
  });
  ASSERT_GT(steps, 0);
  EXPECT_TRUE(changed_in_fade) << "layer 4 copies its surface during the fade";
  EXPECT_TRUE(marked);
  LayerState after;
  ddraw.SaveLayerState(&after);
  EXPECT_TRUE(SameLayers(after, before));
  EXPECT_EQ(ddraw.IsSurfaceBlt(SURFACE_ROOT), 0u);
  platform::Surface* root = ddraw.GetSurface(SURFACE_ROOT);
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(AllPixels(*root, 0)) << "surface 4 cleared";
}

// A movie that cannot start: 1 on the next call without a fade; the compose hold is released, so
// the battle screen goes on being presented.
TEST(EventMovie, AMissingMovieEndsAtOnceAndReleasesTheScreen) {
  MovieRig m;
  TraceCapture trace;
  EXPECT_EQ(EventMoviePlay(0, 7), 0);
  EXPECT_NE(Ctx().ddraw.IsUpdate(0), 0u) << "held while the movie would draw";
  EXPECT_EQ(EventMoviePlay(0, 7), 0);
  EXPECT_TRUE(trace.Contains("Can't Play Movie Movie\\Movie007.mpg.\n"));
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u) << "the hold released";
  EXPECT_EQ(EventMoviePlay(0, 7), 1);
  EXPECT_EQ(Battle().flags & 0x20, 0x20);
  const size_t presented = m.rig.driver().presented_frames().size();
  m.rig.Run(3);
  EXPECT_GT(m.rig.driver().presented_frames().size(), presented) << "frames still presented";
}

// ---- Captured frames ----

class EventBgFrameTest : public ::testing::TestWithParam<platform::PixelLayout> {
 protected:
  static BattleRig::Options Layout() {
    BattleRig::Options o;
    o.layout = GetParam();
    return o;
  }
  std::string Name(const char* what) const {
    return std::string(what) + "_" + testsupport::LayoutName(GetParam());
  }
};

// A map of 128 x 128 tiles drawn each frame: black once the movie has faded back, then, with the
// map drawn again and the handler's fade-in over, the tiles where they were.
TEST_P(EventBgFrameTest, TheMapAfterAMovieAndTheHandlersFadeIn) {
  MovieRig m(Layout());
  testsupport::GameTree& tree = m.rig.driver().tree;
  testsupport::LayMapFile(tree, 0, "g.spr",
                          testsupport::MapBankFile(testsupport::GridBank(128, 128, 6, 5, 0)));
  testsupport::MapTabWriter().File("Ground:", {"g.spr"}).Lay(tree, 0);
  SlgMap::LoadMapTable(0);
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
  Battle().flags |= 0x2;
  ASSERT_NE(SlgTaskCreate(SlgTaskOwner(), [](SlgEffectTask*) { SlgMap::DrawMap(0, 0); }, "Draw"),
            nullptr);
  const auto tile = [&](int c, int r) {
    return m.rig.Shown(testsupport::TileColourRef(testsupport::TileColour(0, c, r)));
  };
  ASSERT_TRUE(m.rig.Run(2));
  ASSERT_EQ(m.rig.PixelAt(300, 300), tile(2, 2)) << "the map before the movie";

  m.AddMovie("install/Movie/Movie005.mpg", 0.2);
  ASSERT_GT(m.StepsUntilDone([] { return EventMoviePlay(0, 5); }), 0);
  m.rig.Step();
  EXPECT_EQ(m.rig.PixelAt(300, 300), m.rig.Shown(0)) << "left black";

  // The handler: the map drawn again, then its fade-in.
  Battle().flags |= 0x2;
  ASSERT_GT(m.StepsUntilDone([] { return EventFadeIn(); }), 0);
  m.rig.Step();
  m.rig.SaveFrame(Name("battle_map_after_movie"));
  EXPECT_EQ(m.rig.PixelAt(5, 5), tile(0, 0));
  EXPECT_EQ(m.rig.PixelAt(130, 5), tile(1, 0));
  EXPECT_EQ(m.rig.PixelAt(300, 300), tile(2, 2));
  EXPECT_EQ(m.rig.PixelAt(630, 470), tile(4, 3));
}

// A full-width picture sliding in from the right with nothing else drawing (no map): half way, its
// left part is on the screen from its position to the right edge, and once arrived it fills the
// screen's width.
TEST_P(EventBgFrameTest, ABackgroundHalfSlidIn) {
  BgRig b(Layout());
  using namespace testsupport;
  b.WritePicture(
      5,
      PictureFile({{0, 0, 0}, {31, 0, 0}, {0, 0, 31}},
                  {{640, 352, kSprDepth8, 0, [] {
                      // Blue in its left 8 columns, red elsewhere.
                      std::vector<uint8_t> p(640 * 352, 1);
                      for (int y = 0; y < 352; ++y) std::fill_n(p.begin() + y * 640, 8, 2);
                      return p;
                    }()}}));
  SlgEventRuntimeState& s = b.State();
  int x_seen = -1;
  ASSERT_GT(b.StepsUntilDone([] { return EventBgSlideIn(5); }, 100, [&] {
    if (x_seen >= 0 || s.slide_phase != 2 || s.bg_x > 400) return;
    x_seen = s.bg_x;
    b.rig.Step();
    b.rig.SaveFrame(Name("background_half_slid_in"));
    EXPECT_EQ(b.rig.PixelAt(x_seen + 2, 100), b.rig.Shown(0xF80000u)) << "its blue left edge";
    EXPECT_EQ(b.rig.PixelAt(x_seen + 20, 100), b.rig.Shown(0x0000F8u));
    EXPECT_EQ(b.rig.PixelAt(635, 340), b.rig.Shown(0x0000F8u));
    EXPECT_EQ(b.rig.PixelAt(x_seen - 5, 100), b.rig.Shown(0)) << "nothing to its left";
  }), 0);
  ASSERT_GE(x_seen, 100);
  b.rig.Step();
  EXPECT_EQ(b.rig.PixelAt(2, 100), b.rig.Shown(0xF80000u)) << "arrived";
  EXPECT_EQ(b.rig.PixelAt(635, 340), b.rig.Shown(0x0000F8u));
}

INSTANTIATE_TEST_SUITE_P(Layouts, EventBgFrameTest,
                         ::testing::Values(platform::PixelLayout::kRgb565,
                                           platform::PixelLayout::kRgb555),
                         [](const auto& info) { return testsupport::LayoutName(info.param); });

}  // namespace
