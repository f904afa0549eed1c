#include "scene/script/tamvik_adv.h"

#include <string>

#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

struct AdvMainWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(AdvMainWork) == sizeof(TaskWork));

// The manager's mode, asked through its sequence entry (the manager lives above the scene).
void RequestMode(int mode) {
  const GameSequences& sequences = Game().sequences;
  if (!sequences.set_mode) {
    DebugPrint("GameSequences: set mode is not there (mode %d)\n", mode);
    return;
  }
  sequences.set_mode(mode);
}

// After a DeleteAll: every handle the scene keeps on an animation that is gone is cleared. The
// fades' handles clear themselves only when their animation ends by itself, so a cross-fade
// deleted while it ran would otherwise count as running for good (the next scene's start would
// wait for it for ever), and the others would point at freed records.
void ForgetDeletedAnimations() {
  CDdrawAnime& anime = Ctx().anime;
  SceneContext& scene = Scene();
  AnimeHandle* handles[] = {
      &scene.xfade_handle,           &scene.screen_fade_handle,
      &scene.portraits.blink_anime,  &scene.portraits.nc_group,
      &scene.portraits.nc_eye_anime, &scene.portraits.nc_lip_anime,
      &scene.portraits.message_anime, &scene.icon.icon_anime,
      &scene.icon.wait_icon,         &scene.icon.pointer_anime,
      &scene.adv.bg_anime,           &scene.adv.idle_timer,
      &scene.macro.wait_timer,
  };
  for (AnimeHandle* handle : handles) {
    if (*handle != nullptr && anime.IsAnime(*handle) == 0) *handle = nullptr;
  }
}

// The box a scene that cannot go on shows: the game's words, then the file and the cause. The
// game goes on once it is closed.
constexpr const char* kSceneFailedText = "剧本无法继续，返回标题画面。";

// A scene whose start failed or whose script cannot go on: the file and the cause in the trace
// and in the box, the scene ended as the manager ends one, and the title asked for. Nothing is
// saved on the way, so the player's saves stay as they are.
void SceneFailed() {
  const std::string failure = Scene().macro.failure();
  DebugPrint("CTamvikAdv::AdvMain: scene %.04x stopped: %s; back to the title\n",
             GetAdvState()->sceneCode(), failure.c_str());
  platform::Window* owner = GetMainWindow();
  platform::Window* window = owner != nullptr ? owner : Ctx().platform.window;
  if (window != nullptr) {
    window->MessageBox(owner != nullptr, std::string(kSceneFailedText) + "\n" + failure, "ERROR");
  }
  CTamvikAdv::EndAdvMain();
  RequestMode(CTamvikAdv::kModeTitle);
}

}  // namespace

uint32_t CTamvikAdv::GetEndCode() { return Scene().adv.end_code; }
void CTamvikAdv::SetEndCode(uint32_t code) { Scene().adv.end_code = code; }
uint32_t CTamvikAdv::GetMiniGameNo() { return Scene().adv.minigame_no; }
void CTamvikAdv::SetMiniGameNo(uint32_t n) { Scene().adv.minigame_no = n; }

void CTamvikAdv::StartAdvMain(GameTaskRec* owner) {
  Ctx().game_task.SetTask(owner, &CTamvikAdv::AdvMain, kAdvMainName, TaskNewBlock<AdvMainWork>(),
                          nullptr);
}

void CTamvikAdv::AdvMain(GameTaskRec* record) {
  StepTask<AdvMainWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  // The modes the end codes lead to, by the step that requests them.
  auto finish = [](int mode) {
    RequestMode(mode);
    CTamvikIcon::HideMouseCursor();
  };
  switch (task.step()) {
    case 0:
      if (CTamvikIcon::StartMouseCursorSeq() == 0) CTamvikIcon::ShowMouseCursor();
      task.GoTo(1);
      break;
    case 1:
    case 2:
      task.Next();
      break;
    case 3:
      SetEndCode(0);
      InitScreen();
      Scene().macro.StartScene();
      Scene().macro.RestoreLayers();
      task.GoTo(5);
      break;
    case 5:
      switch (GetEndCode()) {
        case 2: task.GoTo(7); break;
        case 5: task.GoTo(10); break;
        case 6: task.GoTo(11); break;
        default:
          // An end command whose operand is cut off by the script's end has ended the scene all
          // the same (its end code above); an error without one has stopped it.
          if (Scene().macro.HasDecodeError()) {
            SceneFailed();  // the controller ends there
            return;
          }
          break;
      }
      break;
    case 7:
      finish(kModeMinigame);
      task.End();
      break;
    case 10:
      finish(kModeStageClear);
      task.End();
      break;
    case 11:
      finish(kModeBattle);
      SetEndCode(0);
      task.End();
      break;
    default:
      break;
  }
}

void CTamvikAdv::InitScreen() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.SetVisible(id, 1);
  // The picture area of the story screen.
  TamvikFunc::ResetStoryLayers(32, 16, 576, 320);
}

void CTamvikAdv::StopMacro() {
  if (Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName) == nullptr) return;
  CTamvikMacro::StopDecoding();
  CTamvikIcon::HideMouseCursor();
  TamvikFunc::CloseMessageWindow();
}

void CTamvikAdv::EndAdvMain() {
  CGameTask& list = Ctx().game_task;
  GameTaskRec* controller = list.FindTask(kAdvMainName);
  if (controller == nullptr) return;
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopBGM();
  sound.StopVoice();
  sound.StopSE();
  // The handles the scene holds on animations go before every animation does.
  CTamvikMacro::ReleaseSceneAnimations();
  Ctx().anime.DeleteAll();
  ForgetDeletedAnimations();
  StopMacro();
  list.DelTask(controller);
  CTamvikIcon::HideMouseCursor();
}

void CTamvikAdv::StopAdv() {
  GetAdvState()->setDebugRestart(1);
  CTamvikMacro::StopDecoding();
  TamvikFunc::CloseMessageWindow();
  CGameTask& list = Ctx().game_task;
  if (list.FindTask(kAdvMainName) != nullptr) {
    RequestMode(kModeLoadRestart);
    return;
  }
  if (list.FindTask(kManagerTaskName) == nullptr) {
    const GameSequences& sequences = Game().sequences;
    if (sequences.start_manager) {
      sequences.start_manager();
    } else {
      DebugPrint("GameSequences: start manager is not there\n");
    }
  }
  RequestMode(kModeAdvInit);
}
