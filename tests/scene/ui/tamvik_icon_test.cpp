// The mouse pointer and the command icons on the headless program: which animations play, where,
// and what the captured frames show.

#include "scene/ui/tamvik_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/icon_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::PixelLayout;
using testsupport::ProgramDriver;
using testsupport::TraceCapture;

constexpr uint16_t kBlack = 0;

// The program with only the pointer task booted, the icon and pointer files in its install tree
// (in folders and names of another case than the game asks for) unless told otherwise.
class IconRig {
 public:
  explicit IconRig(PixelLayout layout = PixelLayout::kRgb565, bool files = true)
      : d(Options()), layout_(layout) {
    if (layout == PixelLayout::kRgb555) d.host().config.Set("Pixel Format", "555");
    if (files) {
      d.tree.Write("install/Tamvik1/SYSTEM/icon/ICON2.SPR", testsupport::IconSprFile());
      d.tree.Write("install/Tamvik1/SYSTEM/icon/Point.spr", testsupport::PointerSprFile());
    }
    started = d.Start();
  }

  static ProgramDriver::Options Options() {
    ProgramDriver::Options options;
    options.boot = [] { CTamvikIcon::StartMouseCursorSeq(); };
    return options;
  }

  TamvikIconState& icon() { return d.scene.icon; }
  SpxAnimeKind& kind() { return *d.scene.tamvik_spr.spx(); }
  GameTaskRec* IconTask() { return Ctx().game_task.FindTask(CTamvikIcon::kIconTaskName); }
  GameTaskRec* PointerTask() {
    return Ctx().game_task.FindTask(CTamvikIcon::kMouseCursorTaskName);
  }

  // One frame with the pointer moved to (x, y) before it.
  bool MoveTo(int x, int y) {
    d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y));
    return d.Step();
  }
  // One frame that composes (as a scene that redraws every frame would make it).
  bool ComposedStep() {
    Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    return d.Step();
  }
  bool ComposedMoveTo(int x, int y) {
    d.Schedule(testsupport::PointerMove(d.frame() + 1, x, y));
    return ComposedStep();
  }

  uint16_t Pack(testsupport::SprRgb c) const {
    return platform::PackColorRef(testsupport::SprColourRef(c), layout_);
  }
  // The presented pixel inside the square drawn with its corner at (x, y).
  uint16_t ShownAt(int x, int y) { return d.display().FramePixel(x + 2, y + 2); }

  // The animation and loop flag of the icon animation; (-1, -1) without one.
  std::pair<int, int> IconPlaying() {
    SpxAnimeBlock* block = kind().Block(icon().icon_anime);
    if (block == nullptr) return {-1, -1};
    return {static_cast<int>(block->animation), static_cast<int>(block->loop)};
  }
  // Runs `frames` frames and lists the icon animations that played, each change once.
  std::vector<std::pair<int, int>> Played(int frames) {
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < frames; ++i) {
      if (!d.Step()) break;
      const auto now = IconPlaying();
      if (seen.empty() || seen.back() != now) seen.push_back(now);
    }
    return seen;
  }

  ProgramDriver d;
  bool started = false;

 private:
  PixelLayout layout_;
};

using Played = std::vector<std::pair<int, int>>;

// ---- The pointer ----

TEST(MousePointer, FollowsTheMouseUntilHiddenAndShowsAgain) {
  IconRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.MoveTo(100, 80));  // loads point.spr, hides the system cursor
  EXPECT_EQ(AppIsCursorShown(), 0u);
  EXPECT_FALSE(rig.d.host_window().cursor_visible);
  ASSERT_TRUE(rig.ComposedStep());  // plays animation 0 at the mouse
  ASSERT_NE(rig.icon().pointer_anime, nullptr);
  EXPECT_EQ(rig.ShownAt(100, 80), rig.Pack(testsupport::kPointerColour));

  const std::pair<int, int> moves[] = {{300, 200}, {20, 400}, {600, 10}};
  std::pair<int, int> before{100, 80};
  for (const auto& [x, y] : moves) {
    SCOPED_TRACE(x);
    ASSERT_TRUE(rig.ComposedMoveTo(x, y));
    EXPECT_EQ(rig.ShownAt(x, y), rig.Pack(testsupport::kPointerColour));
    EXPECT_EQ(rig.ShownAt(before.first, before.second), kBlack);
    before = {x, y};
  }
  // The move itself asks for no compose.
  int px = 0, py = 0;
  ASSERT_TRUE(rig.MoveTo(50, 60));
  ASSERT_EQ(rig.kind().GetSpxPos(rig.icon().pointer_anime, &px, &py), 1);
  EXPECT_EQ(px, 50);
  EXPECT_EQ(py, 60);

  // Hidden: nothing drawn while the mouse moves on, until shown again at the mouse.
  TraceCapture trace;
  CTamvikIcon::HideMouseCursor();
  EXPECT_TRUE(trace.Contains("HideMouseCursor\n"));
  EXPECT_EQ(rig.icon().pointer_anime, nullptr);
  ASSERT_TRUE(rig.ComposedMoveTo(200, 150));
  EXPECT_EQ(rig.ShownAt(200, 150), kBlack);
  EXPECT_EQ(rig.ShownAt(50, 60), kBlack);
  ASSERT_TRUE(rig.ComposedStep());
  EXPECT_EQ(rig.icon().pointer_anime, nullptr) << "the task does not bring it back";
  CTamvikIcon::ShowMouseCursor();
  ASSERT_TRUE(rig.ComposedMoveTo(210, 160));
  EXPECT_EQ(rig.ShownAt(210, 160), rig.Pack(testsupport::kPointerColour));
}

TEST(MousePointer, EndsOnItsNextFrameWithTheSystemCursorShownAndLoadsItsFileOnce) {
  IconRig rig;
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.MoveTo(100, 100));
  ASSERT_TRUE(rig.ComposedStep());
  SprAnm* file = rig.icon().pointer_file;
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(CTamvikIcon::StartMouseCursorSeq(), 0) << "it runs already";

  CTamvikIcon::EndMouseCursorSeq();
  EXPECT_TRUE(CTamvikIcon::IsMouseCursorSeq()) << "until its next frame";
  ASSERT_TRUE(rig.ComposedStep());
  EXPECT_EQ(rig.icon().pointer_anime, nullptr);
  EXPECT_EQ(AppIsCursorShown(), 1u);
  EXPECT_TRUE(rig.d.host_window().cursor_visible);
  EXPECT_EQ(rig.ShownAt(100, 100), kBlack);
  ASSERT_TRUE(rig.d.Step());
  EXPECT_FALSE(CTamvikIcon::IsMouseCursorSeq());
  // Show and hide do nothing without the task.
  CTamvikIcon::ShowMouseCursor();
  EXPECT_EQ(rig.icon().pointer_anime, nullptr);
  EXPECT_EQ(AppIsCursorShown(), 1u);

  // Started again: the file held is used, not loaded again.
  EXPECT_EQ(CTamvikIcon::StartMouseCursorSeq(), 1);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_EQ(rig.icon().pointer_file, file);
  EXPECT_EQ(file->ref, 1);
  EXPECT_NE(rig.icon().pointer_anime, nullptr);
}

// ---- The command icons ----

class CommandIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.MoveTo(320, 240));
    // The pointer task past its first steps (it plays its animation in step 1 whatever hid it).
    ASSERT_TRUE(rig.d.Run(2));
    ASSERT_NE(rig.icon().pointer_anime, nullptr);
    ASSERT_EQ(CTamvikIcon::LoadIconSpr(), 1);
    ASSERT_EQ(CTamvikIcon::StartIconSeq(), 1);
    EXPECT_EQ(CTamvikIcon::GetIconCode(), CTamvikIcon::kNoIcon);
    EXPECT_EQ(rig.Played(3), (Played{{-1, -1}}));
  }
  // Shows `code` from no icon: it plays looping at once.
  void Show(uint8_t code) {
    CTamvikIcon::SetIcon(code);
    EXPECT_EQ(rig.Played(2), (Played{{code, 1}}));
  }

  IconRig rig;
};

TEST_F(CommandIcon, TransitionsPlayVanishingAppearingAndSteadyAnimations) {
  const struct {
    const char* what;
    uint8_t from;  // shown looping first (from no icon)
    uint8_t asked;
    Played played;
    uint8_t code_after;
  } cases[] = {
      {"6 while 3 shows", 3, 6, {{2, 0}, {4, 0}, {6, 0}, {6, 1}}, 6},
      {"0 while 9 shows", 9, 0, {{8, 0}, {0, 0}, {0, 1}}, 0},
      {"7 is the neutral icon", 3, 7, {{2, 0}, {0, 0}, {0, 1}}, 0},
      {"9 from the neutral icon", 0, 9, {{7, 0}, {9, 0}, {9, 1}}, 9},
      {"the icon shown again", 12, 12, {{12, 1}}, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CTamvikIcon::SetIcon(CTamvikIcon::kNoIcon);
    rig.Played(2);
    Show(c.from);
    CTamvikIcon::SetIcon(c.asked);
    EXPECT_EQ(rig.Played(40), c.played);
    EXPECT_EQ(CTamvikIcon::GetIconCode(), c.code_after);
  }
  // 99: no icon.
  CTamvikIcon::SetIcon(CTamvikIcon::kNoIcon);
  rig.d.Step();
  EXPECT_EQ(rig.icon().icon_anime, nullptr);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), CTamvikIcon::kNoIcon);
}

TEST_F(CommandIcon, SetIconDuringATransitionFollowsTheTaskStep) {
  const struct {
    const char* what;
    uint8_t from;    // shown looping first
    uint8_t first;   // asked for: the transition starts
    uint8_t second;  // asked for during it
    bool replays;    // SetIcon itself starts an animation
    Played played;   // from the frame after the second request
  } cases[] = {
      {"vanishing before 6, then 9", 3, 6, 9, false, {{2, 0}, {7, 0}, {9, 0}, {9, 1}}},
      {"vanishing before 6, then 0", 3, 6, 0, true, {{2, 0}, {0, 0}, {0, 1}}},
      {"vanishing to neutral, then 12", 9, 0, 12, true, {{10, 0}, {12, 0}, {12, 1}}},
      {"appearing 3, then 0", 0, 3, 0, true, {{1, 0}, {0, 0}, {0, 1}}},
      {"appearing 3, then 3 again", 0, 3, 3, false, {{1, 0}, {3, 0}, {3, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CTamvikIcon::SetIcon(CTamvikIcon::kNoIcon);
    rig.Played(2);
    Show(c.from);
    CTamvikIcon::SetIcon(c.first);
    ASSERT_TRUE(rig.d.Step());
    // The playing animation marked through a block word nothing reads: a fresh one has 0.
    ASSERT_EQ(rig.kind().SetField(rig.icon().icon_anime, &SpxAnimeBlock::unused, 1), 1);
    CTamvikIcon::SetIcon(c.second);
    SpxAnimeBlock* now = rig.kind().Block(rig.icon().icon_anime);
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->unused == 0, c.replays);
    EXPECT_EQ(rig.Played(40), c.played);
  }
}

TEST_F(CommandIcon, CodesAboveTheLastIconBecomeNoIconAtTheEndOfTheFrame) {
  Show(3);
  CTamvikIcon::SetIcon(0);
  ASSERT_TRUE(rig.d.Step());
  ASSERT_EQ(rig.IconPlaying(), (std::pair<int, int>{2, 0}));  // vanishing to neutral
  // Asked for 24 while vanishing: 22 appears (the key-wait animation), then 24 would be the
  // steady icon; being above 21 it becomes no icon at the end of that frame.
  CTamvikIcon::SetIcon(24);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 22);
  EXPECT_EQ(rig.Played(20), (Played{{22, 0}, {-1, -1}}));
  EXPECT_EQ(CTamvikIcon::GetIconCode(), CTamvikIcon::kNoIcon);
}

TEST_F(CommandIcon, SetIconClampsItsPlacementButTheTaskMoveDoesNot) {
  ASSERT_TRUE(rig.MoveTo(639, 479));
  Show(0);
  CTamvikIcon::SetIcon(3);
  ASSERT_TRUE(rig.d.Step());  // appearing animation 1, placed by the task: not clamped
  int x = 0, y = 0;
  ASSERT_EQ(rig.kind().GetSpxPos(rig.icon().icon_anime, &x, &y), 1);
  EXPECT_EQ(x, 615);
  EXPECT_EQ(y, 455);
  CTamvikIcon::SetIcon(6);  // while appearing: placed by SetIcon
  ASSERT_EQ(rig.IconPlaying(), (std::pair<int, int>{4, 0}));
  ASSERT_EQ(rig.kind().GetSpxPos(rig.icon().icon_anime, &x, &y), 1);
  EXPECT_EQ(x, 592);
  EXPECT_EQ(y, 432);
  ASSERT_TRUE(rig.d.Step());  // the task's own move
  ASSERT_EQ(rig.kind().GetSpxPos(rig.icon().icon_anime, &x, &y), 1);
  EXPECT_EQ(x, 615);
  EXPECT_EQ(y, 455);
  // Near the top-left corner the placement stays on the screen as well.
  ASSERT_TRUE(rig.MoveTo(5, 10));
  CTamvikIcon::SetIcon(0);
  ASSERT_EQ(rig.kind().GetSpxPos(rig.icon().icon_anime, &x, &y), 1);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(CommandIcon, ASecondStartIsRefusedAndTheEndRestoresPointerAndKeys) {
  GameTaskRec* task = rig.IconTask();
  ASSERT_NE(task, nullptr);
  Show(3);
  const IconSeqWork before = *TaskWorkAs<IconSeqWork>(task);
  TraceCapture trace;
  EXPECT_EQ(CTamvikIcon::StartIconSeq(), 0);
  EXPECT_TRUE(trace.Contains("IconSeq Alreadt Stayed\n"));
  EXPECT_EQ(rig.IconTask(), task);
  EXPECT_EQ(TaskWorkAs<IconSeqWork>(task)->shown, before.shown);
  EXPECT_EQ(TaskWorkAs<IconSeqWork>(task)->start, before.start);
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 3);

  // While the icon task runs the pointer is hidden and the direction keys move the mouse.
  EXPECT_EQ(rig.icon().pointer_anime, nullptr);
  EXPECT_EQ(AppIsCursorShown(), 0u);

  CTamvikIcon::EndIconSeq();
  EXPECT_TRUE(trace.Contains("KeyMouse OFF\n"));
  EXPECT_EQ(task->function, nullptr);
  EXPECT_EQ(rig.icon().icon_anime, nullptr);
  EXPECT_NE(rig.icon().pointer_anime, nullptr) << "the pointer is back";
  ASSERT_TRUE(rig.d.Step());
  EXPECT_EQ(rig.IconTask(), nullptr);
  CTamvikIcon::SetIcon(6);  // no task: nothing
  EXPECT_EQ(CTamvikIcon::GetIconCode(), 3);
}

TEST_F(CommandIcon, AClickWaitEndingAndAnotherStartingInOneFrameGetTheirOwnTask) {
  Show(3);
  GameTaskRec* first = rig.IconTask();
  CTamvikIcon::EndIconSeq();
  // The ended task is still in the list until the next pass frees it.
  EXPECT_EQ(rig.IconTask(), first);
  ASSERT_EQ(CTamvikIcon::StartIconSeq(), 1);
  CTamvikIcon::SetIcon(6);
  EXPECT_EQ(rig.Played(3), (Played{{-1, -1}, {6, 1}}));
  int tasks = 0;
  for (GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
    tasks += t->name == CTamvikIcon::kIconTaskName ? 1 : 0;
  }
  EXPECT_EQ(tasks, 1);
}

TEST_F(CommandIcon, WaitIconLoopsAnimation22AtItsPlace) {
  CTamvikIcon::ShowWaitIcon();
  AnimeHandle wait = rig.icon().wait_icon;
  ASSERT_NE(wait, nullptr);
  CTamvikIcon::ShowWaitIcon();
  EXPECT_EQ(rig.icon().wait_icon, wait) << "it shows already";
  SpxAnimeBlock* block = rig.kind().Block(wait);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->animation, 22u);
  EXPECT_EQ(block->loop, 1u);
  EXPECT_EQ(block->surface, SURFACE_TEXT);
  ASSERT_TRUE(rig.ComposedStep());
  EXPECT_EQ(rig.ShownAt(320, 440), rig.Pack(testsupport::IconColour(22)));
  CTamvikIcon::HideWaitIcon();
  EXPECT_EQ(rig.icon().wait_icon, nullptr);
  ASSERT_TRUE(rig.ComposedStep());
  EXPECT_EQ(rig.ShownAt(320, 440), kBlack);

  // Releasing the icon file takes its animations with it.
  CTamvikIcon::ShowWaitIcon();
  Show(3);
  CTamvikIcon::ReleaseIcon();
  EXPECT_EQ(rig.icon().icon_file, nullptr);
  EXPECT_EQ(rig.icon().icon_anime, nullptr);
  EXPECT_EQ(rig.icon().wait_icon, nullptr);
  for (SprAnm* a = rig.d.scene.tamvik_spr.anms(); a != nullptr; a = a->next) {
    EXPECT_EQ(a->name.find("ICON2"), std::string::npos);
  }
  ASSERT_TRUE(rig.d.Run(3));
}

// ---- Captured frames, both pixel layouts ----

class IconFrames : public ::testing::TestWithParam<PixelLayout> {};

TEST_P(IconFrames, PointerAndCommandIconFollowTheMouse) {
  IconRig rig(GetParam());
  ASSERT_TRUE(rig.started);
  const uint16_t pointer = rig.Pack(testsupport::kPointerColour);
  ASSERT_TRUE(rig.MoveTo(100, 100));
  ASSERT_TRUE(rig.ComposedMoveTo(120, 90));
  EXPECT_EQ(rig.ShownAt(120, 90), pointer);
  ASSERT_TRUE(rig.ComposedMoveTo(400, 300));
  EXPECT_EQ(rig.ShownAt(400, 300), pointer);
  EXPECT_EQ(rig.ShownAt(120, 90), kBlack);

  // A click wait: the pointer gives way to the command icon, which asks for the compose itself.
  ASSERT_EQ(CTamvikIcon::LoadIconSpr(), 1);
  ASSERT_EQ(CTamvikIcon::StartIconSeq(), 1);
  CTamvikIcon::SetIcon(3);
  const int presented = rig.d.presented();
  ASSERT_TRUE(rig.d.Run(3));
  EXPECT_GT(rig.d.presented(), presented);
  EXPECT_EQ(rig.ShownAt(400 - 24, 300 - 24), rig.Pack(testsupport::IconColour(3)));
  EXPECT_EQ(rig.ShownAt(400, 300), kBlack) << "no pointer while the icon shows";
  const std::pair<int, int> moves[] = {{200, 150}, {500, 60}, {30, 400}};
  for (const auto& [x, y] : moves) {
    SCOPED_TRACE(x);
    ASSERT_TRUE(rig.MoveTo(x, y));
    EXPECT_EQ(rig.ShownAt(x - 24, y - 24), rig.Pack(testsupport::IconColour(3)));
  }
  // Another icon: the vanishing animation shows first.
  CTamvikIcon::SetIcon(6);
  ASSERT_TRUE(rig.MoveTo(300, 300));
  EXPECT_EQ(rig.ShownAt(276, 276), rig.Pack(testsupport::IconColour(2)));

  CTamvikIcon::EndIconSeq();
  ASSERT_TRUE(rig.ComposedMoveTo(310, 320));
  EXPECT_EQ(rig.ShownAt(310, 320), pointer);
  EXPECT_EQ(rig.ShownAt(286, 296), kBlack);
}

INSTANTIATE_TEST_SUITE_P(Layouts, IconFrames,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555),
                         [](const ::testing::TestParamInfo<PixelLayout>& info) {
                           return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
                         });

// ---- Missing files ----

TEST(IconFiles, MissingPointerAndIconFilesDrawNothing) {
  IconRig rig(PixelLayout::kRgb565, /*files=*/false);
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.ComposedMoveTo(100, 100));
  ASSERT_TRUE(rig.ComposedStep());
  EXPECT_EQ(rig.icon().pointer_file, nullptr);
  EXPECT_EQ(rig.icon().pointer_anime, nullptr);
  EXPECT_EQ(CTamvikIcon::LoadIconSpr(), 0);
  ASSERT_EQ(CTamvikIcon::StartIconSeq(), 1);
  for (uint8_t code : {3, 6, 0, 9}) {
    CTamvikIcon::SetIcon(code);
    ASSERT_TRUE(rig.d.Run(10));
  }
  CTamvikIcon::ShowWaitIcon();
  EXPECT_EQ(rig.icon().wait_icon, nullptr);
  CTamvikIcon::EndIconSeq();
  CTamvikIcon::ShowMouseCursor();
  ASSERT_TRUE(rig.ComposedMoveTo(200, 200));
  const auto& frame = rig.d.display().frame;
  for (uint16_t pixel : frame) ASSERT_EQ(pixel, kBlack);
  CTamvikIcon::ReleaseIcon();
}

}  // namespace
