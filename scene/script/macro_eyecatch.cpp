// EYECATCH: the break inside a chapter. The scene picture closes and goes silent, the eyecatch
// runs (scene/ui/tamvik_icat.h), then the next scene of the succession table is loaded and
// built, and decoding goes on at its word 0 with the stacks reset.

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_icon.h"

namespace {

constexpr uint32_t kSceneFadeTime = 62;
constexpr uint32_t kWindowFadeTime = 31;

void HideScenePictureLayers() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, 0);
}

}  // namespace

void DecodeEyecatch(GameTaskRec* task) {
  StepTask<CommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  CDdrawFunc& ddraw = Ctx().ddraw;
  switch (step.step()) {
    case 0: {
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      CTamvikMacro::RecordProgress();
      uint16_t unused = 0;
      if (!macro.GetOperand(&unused)) {  // a decode error: the scene stays stopped where it is
        EndCommand(task);
        return;
      }
      macro.ReleaseChara();
      macro.ReleaseFace();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      TamvikFunc::CloseMessageWindow();
      macro.backgrounds_shown = 0;
      HideScenePictureLayers();
      TamvikFunc::ReleaseScreenShade();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(1);
      return;
    }
    case 1:
      if (!IsScreenFadeDone()) return;
      SilenceForSceneEnd(true);
      step.GoTo(2);
      return;
    case 2:
      if (!SilenceForSceneEnd(false)) return;
      step.GoTo(6);
      return;
    case 6:
      if (CTamvikIcat::StartIcat_SvCnt() == nullptr) {
        DebugPrint("EYECATCH: the eyecatch could not start\n");
      }
      step.GoTo(7);
      return;
    case 7:
      if (CTamvikIcat::IsIcat_SvCnt()) return;
      step.GoTo(9);
      return;
    case 9:
      if (macro.LoadNextScene() == 0) {
        // As a failed scene start: traced, the interpreter's error state, decoding stopped.
        DebugPrint("MacroLoad Error\n");
        macro.LoadFailed("the next scene after the eyecatch could not start");
        EndCommand(task);
        return;
      }
      Game().macro.depth1 = 0;
      Game().macro.depth2 = 0;
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(10);
      return;
    case 10: {
      if (!IsScreenFadeDone()) return;
      CDsoundFunc& sound = Ctx().dsound;
      sound.StopStaticSE(-1);
      sound.StopBGM();
      sound.StopVoice();
      sound.StopSE();
      step.GoTo(11);
      return;
    }
    case 11: {
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      CTamvikAdv::InitScreen();
      HideScenePictureLayers();
      TamvikFunc::ReleaseScreenShade();
      const AdvState& adv = *GetAdvState();
      TamvikFunc::LoadWallPicture(adv.sceneCode(), adv.wallPicture());
      CTamvikMacro::LoadSceneBgAnime();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(12);
      return;
    }
    case 12:
      if (!IsScreenFadeDone()) return;
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      ADVShowWindow();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kWindowFadeTime);
      step.GoTo(13);
      return;
    case 13:
      if (!IsScreenFadeDone()) return;
      macro.scene_ready = 1;
      step.GoTo(14);
      return;
    default:
      CTamvikIcon::ShowMouseCursor();
      EndCommand(task);
      macro.continue_flag = 1;
      return;
  }
}
