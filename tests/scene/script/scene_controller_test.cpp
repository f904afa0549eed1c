// The scene controller, the scene start and the three scene ends, run through the scene rig: a
// scene from its first command word to the mode its end asks for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/pixel_traits.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/scene_files.h"
#include "testsupport/scene_rig.h"
#include "testsupport/wav_writer.h"

namespace scenetest {
namespace {

using testsupport::LongLit;
using testsupport::Num;
using testsupport::SceneRig;
using testsupport::ScriptWriter;
using testsupport::VarA;

// Frames enough for the scene start: four controller frames and two cross-fades of 16 x 62 ms.
constexpr int kStartFrames = 160;
// MACROEND: a cross-fade, the 3968 ms fade (238 frames), the reset.
constexpr int kMacroendFrames = 360;

// Scene 0x0100: A[1] := 1, then a WAIT long enough for a test to act in.
ScriptWriter LongWaitScene() {
  ScriptWriter w;
  w.Assign(VarA(1), Num(1)).Wait(LongLit(5000));
  testsupport::Macroend(w);
  return w;
}

GameTaskRec* DecodeTask() { return Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName); }
int DecodeStep() {
  GameTaskRec* task = DecodeTask();
  return task != nullptr ? TaskStep(task) : -1;
}

// Runs until the interpreter decodes (its step 3), at most `limit` frames.
bool RunUntilDecoding(SceneRig& rig, int limit = kStartFrames) {
  return rig.d.RunUntil("decoding", [](const auto&) { return DecodeStep() == 3; }, limit);
}

TEST(SceneController, EndCodesGiveTheirModesWithThePointerHiddenAndTheTaskEnded) {
  const struct {
    uint32_t code;
    int mode;  // kNoMode: keeps waiting
    uint32_t code_after;
  } cases[] = {
      {2, CTamvikAdv::kModeMinigame, 2},
      {5, CTamvikAdv::kModeStageClear, 5},
      {6, CTamvikAdv::kModeBattle, 0},
      {4, SceneRig::kNoMode, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    SceneRig rig;
    rig.Lay(0x0100, LongWaitScene());
    ASSERT_TRUE(rig.StartScene(0x0000));
    ASSERT_TRUE(RunUntilDecoding(rig));
    ASSERT_TRUE(rig.d.Run(3));
    EXPECT_NE(rig.d.scene.icon.pointer_anime, nullptr);
    CTamvikAdv::SetEndCode(c.code);
    ASSERT_TRUE(rig.d.Run(2));
    EXPECT_EQ(rig.RequestedMode(), c.mode);
    EXPECT_EQ(CTamvikAdv::GetEndCode(), c.code_after);
    const bool ended = c.mode != SceneRig::kNoMode;
    EXPECT_EQ(rig.ControllerRuns(), !ended);
    if (ended) {
      EXPECT_EQ(rig.d.scene.icon.pointer_anime, nullptr);
    }
  }
}

TEST(SceneController, InterpreterStartsOnTheFourthFrameAndOverwritesAnEarlyEndCode) {
  SceneRig rig;
  rig.Lay(0x0100, LongWaitScene());
  ASSERT_TRUE(rig.StartScene(0x0000));
  CTamvikAdv::SetEndCode(5);
  for (int frame = 1; frame <= 3; ++frame) {
    ASSERT_TRUE(rig.d.Step());
    EXPECT_FALSE(rig.InterpreterRuns()) << "controller frame " << frame;
  }
  ASSERT_TRUE(rig.d.Step());
  EXPECT_TRUE(rig.InterpreterRuns());
  EXPECT_EQ(CTamvikAdv::GetEndCode(), 0u);
  ASSERT_TRUE(rig.d.Run(5));
  EXPECT_EQ(rig.RequestedMode(), SceneRig::kNoMode);
  EXPECT_TRUE(rig.ControllerRuns());
}

TEST(SceneController, OwnerGoneEndsTheControllerOnItsNextFrameWithoutARequest) {
  SceneRig rig;
  rig.Lay(0x0100, LongWaitScene());
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.d.Run(6));
  CTamvikAdv::SetEndCode(5);
  rig.EndOwner();
  ASSERT_TRUE(rig.d.Step());
  EXPECT_FALSE(rig.ControllerRuns());
  EXPECT_FALSE(rig.d.trace().Contains("set mode is not there"));
}

TEST(SceneStart, FreshSceneLoadsTheNextScenePreparesTheScreenAndPlaysToMacroend) {
  SceneRig rig;
  rig.Lay(0x0100, testsupport::Scene0100Script());
  GetAdvState()->setWallPicture(1);
  Game().macro.depth1 = 7;
  Game().macro.depth2 = 3;
  // The manager's screen reset, as MACROEND asks for it: the frame and the fade level then.
  int reset_frame = -1;
  int fade_at_reset = -1;
  auto reset = rig.d.sequences().reset_adv_screen;
  rig.d.sequences().reset_adv_screen = [&, reset] {
    reset_frame = rig.d.frame();
    fade_at_reset = Ctx().ddraw.GetFadeLevel();
    reset();
  };
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.d.Run(4));  // the controller's fourth frame: step 0 of the scene start
  const AdvState& adv = *GetAdvState();
  CDdrawFunc& ddraw = Ctx().ddraw;
  EXPECT_EQ(adv.sceneCode(), 0x0100);
  EXPECT_EQ(adv.wallPicture(), 0);  // from the succession table's row
  EXPECT_TRUE(rig.d.trace().Contains("MacroLoad Binary Filename Macro\\0100.bin"));
  EXPECT_EQ(Game().macro.depth1, 0u);
  EXPECT_EQ(Game().macro.depth2, 0u);
  EXPECT_EQ(adv.layer5Position(), 3);
  EXPECT_EQ(adv.layer6Position(), 2);
  EXPECT_GT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
  EXPECT_FALSE(ddraw.IsVisible(SURFACE_BG));
  EXPECT_FALSE(ddraw.IsVisible(SURFACE_FG));
  EXPECT_FALSE(ddraw.IsVisible(SURFACE_FC));
  EXPECT_TRUE(ddraw.IsVisible(SURFACE_TEXT));
  EXPECT_TRUE(rig.d.trace().Contains("Kabe0100.spr"));
  const uint16_t wall = platform::PackColorRef(
      testsupport::SprColourRef(testsupport::WallColour(0)), platform::PixelLayout::kRgb565);
  EXPECT_EQ(ddraw.GetSurface(SURFACE_ROOT)->Row(5)[5], wall);
  EXPECT_NE(rig.d.scene.map.label_file, nullptr);
  EXPECT_NE(rig.d.scene.icon.icon_file, nullptr);
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  EXPECT_EQ(GetMacroA(1), 0);

  // The window opens after the first cross-fade; the first command is decoded the frame after
  // the second has ended.
  int window_frame = -1;
  int decoding_frame = -1;
  int first_command_frame = -1;
  ASSERT_TRUE(rig.d.RunUntil(
      "first command",
      [&](const auto& d) {
        if (window_frame < 0 && TamvikFunc::HasMessageWindow()) window_frame = d.frame();
        if (decoding_frame < 0 && DecodeStep() == 3) decoding_frame = d.frame();
        if (GetMacroA(1) == 1) first_command_frame = d.frame();
        return first_command_frame >= 0;
      },
      kStartFrames));
  EXPECT_GT(window_frame, 4 + 16);
  EXPECT_GT(decoding_frame, window_frame + 16);
  EXPECT_EQ(first_command_frame, decoding_frame + 1);
  EXPECT_EQ(rig.d.display().FramePixel(625, 5), wall);  // beside the picture area

  int fade_start = -1;
  ASSERT_TRUE(rig.d.RunUntil(
      "stage clear requested",
      [&](const auto& d) {
        if (fade_start < 0 && Ctx().ddraw.GetFadeLevel() > 0) fade_start = d.frame();
        return rig.RequestedMode() != SceneRig::kNoMode;
      },
      kMacroendFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(GetMacroA(2), 2);
  EXPECT_EQ(fade_at_reset, 256);
  // The fade of 3968 ms runs 238 frames; the reset comes once it has ended.
  EXPECT_NEAR(reset_frame - fade_start, 238, 3);
  EXPECT_FALSE(rig.InterpreterRuns());
  EXPECT_EQ(rig.d.scene.map.label_file, nullptr);
  EXPECT_EQ(rig.d.scene.icon.icon_file, nullptr);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  EXPECT_GT(reset_frame, 0);
}

TEST(SceneStart, LabelFileHalvesUnits95And97AndScene0900HoldsItsBackgroundAnimationUntilMacroend) {
  SceneRig rig;
  rig.Lay(0x0900, testsupport::Scene0100Script());
  ASSERT_TRUE(rig.StartScene(0x0807));
  ASSERT_TRUE(rig.d.Run(4));
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0900);
  SprAnm* labels = rig.d.scene.map.label_file;
  ASSERT_NE(labels, nullptr);
  const CTamvikSpr& units = rig.d.scene.tamvik_spr;
  for (uint32_t n : {94u, 95u, 96u, 97u}) {
    SprRec* sprite = units.GetAnmUnitSprID(labels, n);
    ASSERT_NE(sprite, nullptr) << n;
    EXPECT_EQ(sprite->alpha, (n == 95 || n == 97) ? 128u : 256u) << "unit " << n;
  }
  EXPECT_TRUE(rig.d.trace().Contains("BG2093 Anime Load"));
  EXPECT_NE(rig.d.scene.adv.bg_file, nullptr);

  ASSERT_TRUE(rig.RunUntilMode(kStartFrames + kMacroendFrames));
  EXPECT_EQ(rig.RequestedMode(), CTamvikAdv::kModeStageClear);
  EXPECT_EQ(rig.d.scene.adv.bg_file, nullptr);
  EXPECT_EQ(rig.d.scene.map.label_file, nullptr);
}

TEST(SceneStart, DebugRestartLoadsTheSceneUnchangedAndClearsTheFlag) {
  SceneRig rig;
  rig.Lay(0x0101, LongWaitScene());
  GetAdvState()->setDebugRestart(1);
  ASSERT_TRUE(rig.StartScene(0x0101));
  ASSERT_TRUE(rig.d.Run(4));
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0101);
  EXPECT_EQ(GetAdvState()->debugRestart(), 0);
  EXPECT_TRUE(rig.d.scene.macro.has_script());
}

}  // namespace
}  // namespace scenetest
