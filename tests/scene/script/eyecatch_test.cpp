// EYECATCH through the scene rig: the scene closed and silenced, the eyecatch with its trust view
// and a faked save menu, then the next scene built and decoded from its word 0 with the stacks
// reset; and a next scene that cannot be loaded.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_trust.h"
#include "testsupport/eyecatch_files.h"
#include "testsupport/scene_rig.h"

namespace scenetest {
namespace {

using testsupport::SceneRig;

constexpr const char* kSaveMenuTask = "CTamvikBup::AdvSaveMenu";

void FakeSaveMenu(GameTaskRec* task) {
  // As the real menu does: the pointer task ends while it runs.
  if (CTamvikIcon::IsMouseCursorSeq()) CTamvikIcon::EndMouseCursorSeq();
  uint8_t& frames = static_cast<uint8_t*>(task->work)[2];
  if (++frames >= 6) Ctx().game_task.DelTask(task);
}

class EyecatchCommand : public ::testing::Test {
 protected:
  // Lays the files and the scenes (the next one only when asked) and starts 0x0303 with the
  // fake save menu in place.
  void Begin(bool with_next_scene) {
    testsupport::LayEyecatchFiles(rig.d.tree);
    rig.Lay(testsupport::kEyecatchScene, testsupport::EyecatchSceneScript());
    if (with_next_scene) {
      rig.Lay(testsupport::kAfterEyecatchScene, testsupport::AfterEyecatchSceneScript());
    }
    ASSERT_TRUE(rig.StartScene(testsupport::kBeforeEyecatchScene));
    rig.d.sequences().save_menu.start = [this](GameTaskRec* owner, int mode) {
      ++save_menu_starts;
      save_menu_owner = owner;
      save_menu_mode = mode;
      Ctx().game_task.SetTaskSimple(owner, &FakeSaveMenu, kSaveMenuTask);
    };
    rig.d.sequences().save_menu.is_running = [] {
      return Ctx().game_task.FindTask(kSaveMenuTask) != nullptr;
    };
  }

  int FramesUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return i;
      if (!rig.d.Step()) return -1;
    }
    return -1;
  }
  static int StepOf(const char* name) {
    GameTaskRec* t = Ctx().game_task.FindTask(name);
    return t == nullptr ? -1 : TaskStep(t);
  }
  static int IcatStep() { return StepOf(CTamvikIcat::kTaskName); }
  static CTamvikIcat::State& IcatState() {
    return *static_cast<CTamvikIcat::State*>(
        Ctx().game_task.FindTask(CTamvikIcat::kTaskName)->extra);
  }
  void Press(uint32_t game_key) {
    rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, game_key),
                    testsupport::GameKeyUp(rig.d.frame() + 2, game_key)});
    rig.d.Run(2);
  }
  // Moves the selection to `entry` with the keys and decides.
  void Choose(int entry) {
    for (int guard = 0; guard < 3 && IcatState().selection != entry; ++guard) Press(kGameKeyDown);
    ASSERT_EQ(IcatState().selection, entry);
    Press(kGameKey0);
  }
  // Runs the eyecatch's opening and the back entry.
  void ThroughTheEyecatchStraightBack() {
    ASSERT_GE(FramesUntil([] { return IcatStep() == 12; }, 700), 0);
    Choose(2);
    ASSERT_GE(FramesUntil([] { return !CTamvikIcat::IsIcat_SvCnt(); }, 200), 0);
  }

  SceneRig rig;
  int save_menu_starts = 0;
  GameTaskRec* save_menu_owner = nullptr;
  int save_menu_mode = -1;
};

TEST_F(EyecatchCommand, LeadsThroughTheTrustViewAndAFakedSaveIntoTheNextScene) {
  Begin(true);
  CDdrawFunc& ddraw = Ctx().ddraw;
  // The scene closed and silenced, the eyecatch up with its menu.
  ASSERT_GE(FramesUntil([] { return CTamvikIcat::IsIcat_SvCnt(); }, 600), 0);
  EXPECT_EQ(GetMacroA(1), 1);
  EXPECT_NE(GetSystemData()->picturesSeen() & (1u << 1), 0u);  // P[0] = 2: progress recorded
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) EXPECT_FALSE(ddraw.IsVisible(id));
  EXPECT_EQ(Game().macro.depth2, 2u);  // the sub's call frame is open at the break
  ASSERT_GE(FramesUntil([] { return IcatStep() == 12; }, 400), 0);
  EXPECT_FALSE(Ctx().dsound.IsBGMStop());

  // The trust view, owned by the eyecatch, closed with the decide key once its page stands.
  Choose(1);
  ASSERT_GE(FramesUntil([] { return CTamvikTrust::IsCheckKaoPanelRunning(); }, 200), 0);
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikTrust::kTaskName)->owner,
            Ctx().game_task.FindTask(CTamvikIcat::kTaskName));
  EXPECT_EQ(ddraw.GetSurface(SURFACE_ROOT)->Row(100)[100],
            platform::PackColorRef(testsupport::SprColourRef(testsupport::TrustBackgroundColour()),
                                   platform::PixelLayout::kRgb565));
  ASSERT_GE(FramesUntil([] { return StepOf(CTamvikTrust::kTaskName) == 22; }, 300), 0);
  rig.d.Run(125);
  Press(kGameKey0);
  ASSERT_GE(FramesUntil([] { return !CTamvikTrust::IsCheckKaoPanelRunning(); }, 300), 0);
  ASSERT_GE(FramesUntil([] { return IcatStep() == 12; }, 200), 0);
  EXPECT_EQ(IcatState().selection, 1);

  // The faked save menu in save mode, owned by the eyecatch; the pointer runs again after it.
  Press(kGameKeyUp);
  Choose(0);
  ASSERT_GE(FramesUntil([&] { return save_menu_starts == 1; }, 200), 0);
  EXPECT_EQ(save_menu_owner, Ctx().game_task.FindTask(CTamvikIcat::kTaskName));
  EXPECT_EQ(save_menu_mode, 1);
  ASSERT_GE(FramesUntil([] { return IcatStep() == 12; }, 200), 0);
  EXPECT_TRUE(CTamvikIcon::IsMouseCursorSeq());
  EXPECT_EQ(IcatState().selection, 0);

  // Back: the next scene's wall and window, decoding from its word 0 with the stacks reset.
  Choose(2);
  ASSERT_GE(FramesUntil([] { return !CTamvikIcat::IsIcat_SvCnt(); }, 200), 0);
  ASSERT_GE(FramesUntil([] { return GetMacroA(2) == 2; }, 400), 0);
  const AdvState& adv = *GetAdvState();
  EXPECT_EQ(adv.sceneCode(), testsupport::kAfterEyecatchScene);
  EXPECT_TRUE(rig.d.trace().Contains("0304.bin"));
  EXPECT_EQ(Game().macro.depth1, 0u);
  EXPECT_EQ(Game().macro.depth2, 0u);
  EXPECT_EQ(GetMacroA(9), 0);  // the first scene's rest never ran
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_EQ(rig.d.scene.macro.scene_ready, 1u);
  EXPECT_EQ(ddraw.GetSurface(SURFACE_ROOT)->Row(100)[100],
            platform::PackColorRef(testsupport::SprColourRef(testsupport::Chapter3WallColour(1)),
                                   platform::PixelLayout::kRgb565));
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_FALSE(rig.d.scene.icat.HoldsAnything());
  EXPECT_FALSE(rig.d.scene.macro.HasDecodeError());
}

TEST_F(EyecatchCommand, MissingNextSceneTracesAndStopsInTheErrorState) {
  Begin(false);
  ThroughTheEyecatchStraightBack();
  ASSERT_GE(FramesUntil([&] { return rig.d.trace().Contains("MacroLoad Error"); }, 100), 0);
  EXPECT_TRUE(rig.d.scene.macro.HasDecodeError());
  EXPECT_EQ(rig.d.scene.macro.continue_flag, 0u);
  // Nothing more happens, and nothing is retried.
  ASSERT_TRUE(rig.d.Run(30));
  EXPECT_EQ(GetMacroA(9), 0);
  EXPECT_EQ(StepOf("CTamvikMacro::DecodeEyecatch"), -1);
  EXPECT_FALSE(CTamvikIcat::IsIcat_SvCnt());
  int errors = 0;
  for (const auto& line : rig.d.trace().lines()) {
    errors += line.text.find("MacroLoad Error") != std::string::npos;
  }
  EXPECT_EQ(errors, 1);
}

}  // namespace
}  // namespace scenetest
