// The display seam under attack while the whole frame loop runs a busy scene: set-up steps that
// fail, a present that fails, surfaces lost before a frame and at every step of the compose,
// restores that fail.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"
#include "tests/engine/faults/fault_rig.h"

namespace {

using faults::BusyProgram;
using faults::Program;
using platform::headless::HeadlessDisplay;
using Step = HeadlessDisplay::Step;

TEST(DisplayFaults, BusySceneRunsAndShowsEveryFrame) {
  BusyProgram p;
  ASSERT_TRUE(p.started);
  EXPECT_EQ(p.scene.entries.size(), 120u);
  EXPECT_NE(p.scene.xfade, nullptr);
  EXPECT_NE(p.scene.fade, nullptr);
  EXPECT_NE(p.scene.message_window, nullptr);
  EXPECT_NE(p.scene.panel, nullptr);
  EXPECT_NE(p.scene.message, nullptr);
  EXPECT_TRUE(p.KeepsShowing(10));
  const auto* typing = Ctx().anime.BlockOf<AnimeMessageBlock>(p.scene.message);
  ASSERT_NE(typing, nullptr);
  EXPECT_GT(typing->typed, 0u);
  EXPECT_TRUE(p.host_window().boxes.empty());
}

TEST(DisplayFaults, EverySetUpStepThatFailsShowsTheBoxAndEndsTheProgram) {
  struct Case {
    Step step;
    int surface;  // for Step::kSurface: which off-screen surface (0 = the first)
  };
  std::vector<Case> cases = {{Step::kOpen, 0},     {Step::kExclusive, 0}, {Step::kMode, 0},
                             {Step::kPrimary, 0},  {Step::kFlipBuffer, 0}, {Step::kClipper, 0},
                             {Step::kShowDesktop, 0}};
  // The eleven off-screen surfaces of the table (2, 12, 13, 9, the five layers, 10, 11).
  for (int i = 0; i < 11; ++i) cases.push_back({Step::kSurface, i});
  for (const Case& c : cases) {
    SCOPED_TRACE("step " + std::to_string(static_cast<int>(c.step)) + ", surface " +
                 std::to_string(c.surface));
    Program p;
    p.display().fail_step = c.step;
    p.display().fail_surface_index = c.surface;
    p.Start();
    p.ExpectFatalBox(faults::kDisplayInitFailed);
  }
}

TEST(DisplayFaults, PresentThatFailsShowsTheFrameBoxOnceAndEndsTheProgram) {
  BusyProgram p;
  ASSERT_TRUE(p.KeepsShowing(3));
  p.display().present_fails = true;
  p.ExpectFatalBox(faults::kShowWindowFailed);
}

// What a lost surface leads to.
enum class Outcome {
  kRuns,   // restored (or drawn around): the program goes on showing frames
  kFatal,  // never restored: the compose fails and the program ends with the frame box
};

struct LostCase {
  const char* name;
  // The surface to lose, found on the running program.
  platform::Surface* (*surface)(BusyProgram&);
  Outcome outcome;
};

platform::Surface* ById(SurfaceId id) { return Ctx().ddraw.GetSurface(id); }

const LostCase kLostCases[] = {
    {"primary", [](BusyProgram&) { return ById(SURFACE_PRIMARY); }, Outcome::kRuns},
    {"flip buffer", [](BusyProgram&) { return ById(SURFACE_FLIP); }, Outcome::kRuns},
    {"debug", [](BusyProgram&) { return ById(SURFACE_DEBUG); }, Outcome::kRuns},
    {"debug 2", [](BusyProgram&) { return ById(SURFACE_DEBUG2); }, Outcome::kRuns},
    {"scratch", [](BusyProgram&) { return ById(SURFACE_SCRATCH); }, Outcome::kRuns},
    {"scratch 2", [](BusyProgram&) { return ById(SURFACE_SCRATCH2); }, Outcome::kRuns},
    // The cross-fade picture is only ever blended: an alpha blit that cannot lock draws nothing.
    {"cross-fade picture", [](BusyProgram&) { return ById(SURFACE_XFADE); }, Outcome::kRuns},
    // A sprite's picture: its entries draw nothing, the rest of the frame goes on.
    {"sprite picture",
     [](BusyProgram& p) { return Ctx().ddraw_spr.GetSpriteSurface(p.scene.sprites.at(3)); },
     Outcome::kRuns},
    // The message window's text sprite, into which the message is being typed.
    {"window text sprite",
     [](BusyProgram& p) {
       return Ctx().ddraw_spr.GetSpriteSurface(p.scene.message_window->text_sprite);
     },
     Outcome::kRuns},
    // System-memory surfaces are never restored: a loss there ends the program with the box.
    {"back buffer", [](BusyProgram&) { return ById(SURFACE_BACK); }, Outcome::kFatal},
    {"bottom layer", [](BusyProgram&) { return ById(SURFACE_ROOT); }, Outcome::kFatal},
    {"text layer", [](BusyProgram&) { return ById(SURFACE_TEXT); }, Outcome::kFatal},
};

void ExpectOutcome(BusyProgram& p, Outcome outcome) {
  if (outcome == Outcome::kFatal) {
    p.ExpectFatalBox(faults::kShowWindowFailed);
    return;
  }
  // A frame may be skipped while the screen comes back; after that every frame shows.
  p.Run(2);
  EXPECT_TRUE(p.KeepsShowing(5));
  EXPECT_TRUE(p.host_window().boxes.empty());
}

// One program per surface of the table (each case is its own test).
class LostSurface : public ::testing::TestWithParam<LostCase> {};

std::string CaseName(const ::testing::TestParamInfo<LostCase>& info) {
  std::string name;
  bool upper = true;
  for (const char* c = info.param.name; *c != '\0'; ++c) {
    if (*c == ' ' || *c == '-') {
      upper = true;
      continue;
    }
    name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
    upper = false;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(DisplayFaults, LostSurface, ::testing::ValuesIn(kLostCases), CaseName);

TEST_P(LostSurface, BeforeAFrame) {
  const LostCase& c = GetParam();
  BusyProgram p;
  ASSERT_TRUE(p.KeepsShowing(2));
  platform::Surface* s = c.surface(p);
  ASSERT_NE(s, nullptr);
  s->SetLost(true);
  ExpectOutcome(p, c.outcome);
}

// The compose hooks are the seams inside a compose: each layer's windows come before its own
// surface and its sprites after it, and the back buffer's own sprites come last, before the fade
// and the flip. Losing a surface just before or just after any hook call reaches every step of
// the compose; the loss then meets every blit, lock and flip after that point.
class ComposeLoss {
 public:
  // The points of one compose of the scene: before and after each of the eleven hook calls
  // (windows and sprites of five layers, then the back buffer's sprites).
  static constexpr int kPoints = 22;

  ComposeLoss(platform::Surface* surface, int at) : surface_(surface), at_(at) {
    ComposeHooks& hooks = Ctx().ddraw.hooks();
    windows_ = hooks.draw_windows;
    sprites_ = hooks.draw_sprites;
    hooks.draw_windows = [this](SurfaceId id) { return Around(windows_, id); };
    hooks.draw_sprites = [this](SurfaceId id) { return Around(sprites_, id); };
  }
  ~ComposeLoss() {
    Ctx().ddraw.hooks().draw_windows = windows_;
    Ctx().ddraw.hooks().draw_sprites = sprites_;
  }
  ComposeLoss(const ComposeLoss&) = delete;
  ComposeLoss& operator=(const ComposeLoss&) = delete;

  int points() const { return point_; }
  // No more losses from now on.
  void Stop() { at_ = -1; }

 private:
  int Around(const std::function<int(SurfaceId)>& hook, SurfaceId id) {
    Point();
    const int result = hook ? hook(id) : 1;
    Point();
    return result;
  }
  void Point() {
    if (point_++ == at_) surface_->SetLost(true);
  }

  platform::Surface* surface_;
  int at_;
  int point_ = 0;
  std::function<int(SurfaceId)> windows_;
  std::function<int(SurfaceId)> sprites_;
};

TEST_P(LostSurface, AtEveryStepOfTheCompose) {
  const LostCase& c = GetParam();
  for (int at = 0; at < ComposeLoss::kPoints; ++at) {
    SCOPED_TRACE("point " + std::to_string(at));
    BusyProgram p;
    ASSERT_TRUE(p.KeepsShowing(1));
    platform::Surface* s = c.surface(p);
    ASSERT_NE(s, nullptr);
    ComposeLoss loss(s, at);
    p.Step();
    if (c.outcome == Outcome::kRuns) {
      EXPECT_EQ(loss.points(), ComposeLoss::kPoints) << "the compose stopped early";
    }
    loss.Stop();
    ExpectOutcome(p, c.outcome);
  }
}

TEST(DisplayFaults, ScreenThatCannotBeRestoredEndsTheProgramWithTheFrameBox) {
  BusyProgram p;
  ASSERT_TRUE(p.KeepsShowing(2));
  platform::Surface* primary = Ctx().ddraw.GetSurface(SURFACE_PRIMARY);
  primary->SetLost(true);
  primary->SetRestoreFails(true);
  p.ExpectFatalBox(faults::kShowWindowFailed);
}

TEST(DisplayFaults, LostScreenInDirectFlipModeIsRestored) {
  // Flip mode 1 (minigames, the debug menu) composes straight into the flip buffer, which is lost
  // and restored with the screen; the fade then works on it in place.
  for (int at = -1; at < ComposeLoss::kPoints; ++at) {
    SCOPED_TRACE("point " + std::to_string(at));
    BusyProgram p;
    Ctx().ddraw.SetFlipDirect();
    ASSERT_TRUE(p.KeepsShowing(2));
    platform::Surface* primary = Ctx().ddraw.GetSurface(SURFACE_PRIMARY);
    if (at < 0) primary->SetLost(true);
    ComposeLoss loss(primary, at);
    p.Step();
    loss.Stop();
    ExpectOutcome(p, Outcome::kRuns);
  }
}

TEST(DisplayFaults, VideoMemoryThatRunsOutFallsBackToSystemMemory) {
  Program p;
  p.display().video_memory_fails = true;
  ASSERT_TRUE(p.Start());
  testsupport::BusySceneOptions options = BusyProgram::SmallScene();
  options.video_sprites = true;
  const testsupport::BusyScene scene = testsupport::BuildBusyScene(options);
  EXPECT_EQ(scene.sprites.size(), 8u);
  EXPECT_EQ(Ctx().ddraw.CreateUserSurfaceEx(64, 64, 1) >= 0, true);
  EXPECT_TRUE(p.KeepsShowing(3));
}

}  // namespace
