// The scene start (decode steps 0-2), the special scenes' skip (0x0107's key, 0x0108's idle
// timeout), the scene's background animation, and stopping the interpreter with every task under
// it.

#include <algorithm>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_map.h"

namespace {

constexpr uint16_t kSceneKeySkip = 0x0107;
constexpr uint16_t kSceneIdle = 0x0108;
constexpr uint16_t kSceneExtras = 0x0109;
// Scene 0x0108 ends itself after two minutes without a command.
constexpr int32_t kIdleFrames = 7200;
constexpr uint32_t kSceneFadeTime = 62;

bool IsSkipScene(uint16_t scene) { return scene == kSceneKeySkip || scene == kSceneIdle; }

void ReleaseTimer(AnimeHandle& handle) {
  if (handle != nullptr) {
    Ctx().anime.GetTimer(handle, 0, 1);
    handle = nullptr;
  }
}

// Scene 0x0109 entered fresh: P[80..96] from the system data.
void FillExtrasVariables() {
  const SystemData& system = *GetSystemData();
  for (int p = 80; p <= 96; ++p) SetMacroP(p, 0);
  SetMacroP(80, system.lastEnding());
  for (int k = 0; k < 7; ++k) {
    const int value = (system.minigamesSeen() >> k & 1) + (system.heroineFlags() >> k & 1);
    SetMacroP(81 + k, static_cast<uint16_t>(value));
  }
  SetMacroP(88, static_cast<uint16_t>(system.minigamesSeen() >> 7 & 1));
  static constexpr int kEndingBits[6] = {0, 1, 5, 4, 3, 2};
  for (int i = 0; i < 6; ++i) {
    SetMacroP(91 + i, static_cast<uint16_t>(system.endingsSeen() >> kEndingBits[i] & 1));
  }
}

}  // namespace

GameTaskRec* CTamvikMacro::StartScene() {
  auto* work = TaskNewBlock<TaskWork>();
  CGameTask& list = Ctx().game_task;
  if (list.SetTask(nullptr, &CTamvikMacro::DecodeMacro, kDecodeMacroName, work, nullptr) == 0) {
    return nullptr;
  }
  for (GameTaskRec* t = list.root(); t != nullptr; t = t->next) {
    if (t->work == work) return t;
  }
  return nullptr;
}

void CTamvikMacro::StopDecoding() {
  CGameTask& list = Ctx().game_task;
  GameTaskRec* decode = list.FindTask(kDecodeMacroName);
  CTamvikMacro& macro = Scene().macro;
  ReleaseTimer(macro.wait_timer);
  ReleaseTimer(macro.title_timer);
  ReleaseTimer(Scene().adv.idle_timer);
  macro.continue_flag = 0;
  if (decode == nullptr) return;
  // Every task whose owner is the decode task or one of its tasks, owners before the tasks under
  // them: a task left behind would read the next scene's script. They are held by handle: an end
  // path may start a new task in the record of one ended before it.
  std::vector<TaskHandle> tree{HandleOf(decode)};
  for (size_t i = 0; i < tree.size(); ++i) {
    for (GameTaskRec* t = list.root(); t != nullptr; t = t->next) {
      if (!t->deleted && t->owner == tree[i].record &&
          t->owner_generation == tree[i].generation &&
          std::find_if(tree.begin(), tree.end(),
                       [t](const TaskHandle& h) { return h.record == t; }) == tree.end()) {
        tree.push_back(HandleOf(t));
      }
    }
  }
  // The interpreter goes first; then each task runs once more, finds its owner gone and ends
  // through its own end path (a movie stopped, a tone copy released, the click icon ended, a
  // voice stopped), and only then goes. A task that stops the interpreter from its own function
  // has ended itself before (its function cleared), so it is not run again from inside itself.
  list.DelTask(decode);
  for (size_t i = 1; i < tree.size(); ++i) {
    GameTaskRec* t = list.Find(tree[i]);
    if (t == nullptr) continue;  // ended by the end path of a task before it
    if (t->function != nullptr) t->function(t);
    list.DelTask(t);
  }
}

void CTamvikMacro::ReleaseSceneAnimations() {
  ReleaseTimer(Scene().macro.wait_timer);
  // The picture commands' scrolls, title timer and item animation.
  ReleaseTimer(Scene().macro.title_timer);
  if (Scene().macro.item_anime != nullptr) Ctx().anime.DeleteRef(&Scene().macro.item_anime);
  for (AnimeHandle& scroll : Scene().macro.scroll_handles) {
    if (scroll != nullptr) Ctx().anime.DeleteRef(&scroll);
  }
  AdvRunState& adv = Scene().adv;
  ReleaseTimer(adv.idle_timer);
  if (adv.bg_anime != nullptr) Scene().tamvik_spr.ReleaseAnm(&adv.bg_anime);
  // The item picture's scale animation (PRINT's menu path).
  CTamvikMacro& macro = Scene().macro;
  if (macro.item_anime != nullptr) {
    Ctx().anime.Delete(macro.item_anime);
    macro.item_anime = nullptr;
  }
}

void CTamvikMacro::ReleaseSceneBgAnime() {
  AdvRunState& adv = Scene().adv;
  if (adv.bg_anime != nullptr) Scene().tamvik_spr.ReleaseAnm(&adv.bg_anime);
  if (adv.bg_file != nullptr) TamvikFunc::ReleaseAnmFile(adv.bg_file);
}

void CTamvikMacro::LoadSceneBgAnime() {
  ReleaseSceneBgAnime();
  const uint16_t scene = GetAdvState()->sceneCode();
  AdvRunState& adv = Scene().adv;
  if (scene == 0x0900) {
    adv.bg_file = TamvikFunc::LoadAnmFile("tamvik1\\bg\\2093.spr");
    DebugPrint("BG2093 Anime Load\n");
  } else if (scene == 0x0902) {
    adv.bg_file = TamvikFunc::LoadAnmFile("tamvik1\\bg\\2238.spr");
    DebugPrint("BG2238 Anime Load\n");
  }
}

bool CTamvikMacro::SceneStartLoad() {
  AdvState& adv = *GetAdvState();
  if (adv.resumeInScript() == 0) {
    extras_wall = 0;
    // One attempt: each try moves the scene code one row down the succession table.
    if (LoadNextScene() == 0) {
      LoadFailed("the scene could not start");
      return false;
    }
    Game().macro.depth1 = 0;
    Game().macro.depth2 = 0;
    return true;
  }
  // A resume: the script left in memory, but the extras scene's, which is loaded again, and a
  // script that is not the scene's (a resume after loading a save), which is loaded first.
  if (!has_script_ || adv.minigameMode() != 0 || script_scene_ != adv.sceneCode()) {
    if (MacroLoad(adv.sceneCode()) == 0) {
      LoadFailed("the scene could not resume");
      return false;
    }
  }
  adv.setResumeInScript(0);
  // A saved index past the script is a decode error, caught by the jump.
  return Jump(adv.resumePosition()) != 0;
}

void CTamvikMacro::SceneStartStep(GameTaskRec* task) {
  StepTask<TaskWork> step(Ctx().game_task, task);
  CDdrawFunc& ddraw = Ctx().ddraw;
  AdvState& adv = *GetAdvState();
  switch (step.step()) {
    case 0: {
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      DebugPrint("Decode Macro Begin\n");
      // What stopped an earlier scene is not this one's.
      ClearDecodeError();
      shown_face = 0;
      shown_chara = 99;
      continue_flag = 1;
      backgrounds_shown = 0;
      ddraw.SetVisible(SURFACE_BG, 0);
      ddraw.SetVisible(SURFACE_FG, 0);
      TamvikFunc::ReleaseScreenShade();
      chara_shown = 0;
      ddraw.SetVisible(SURFACE_FC, 0);
      item_shown = 0;
      adv.setLayer5Position(3);
      adv.setLayer6Position(2);
      if (ddraw.GetLayerIndex(SURFACE_BG) < ddraw.GetLayerIndex(SURFACE_FG)) {
        ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
      }
      adv.setItemPicture(0);
      adv.setMapLevelSet(0);
      adv.setFaceId(0);
      adv.setBustUpId(0);
      CTamvikIcon::LoadIconSpr();
      CTamvikMap::LoadMapAnm();
      cancel_lock = 0;
      const uint16_t scene = adv.sceneCode();
      adv.setMinigameMode(scene == kSceneExtras ? 1 : 0);
      if (scene >= 0x0400) adv.setSpecialValue(2);
      if (adv.minigameMode() == 1 && adv.resumeInScript() == 0) FillExtrasVariables();
      if (!SceneStartLoad()) {
        // The scene code stays that of the scene that failed; nothing more runs.
        continue_flag = 0;
        step.GoTo(kSceneStartFailed);
        return;
      }
      scene_ready = 1;
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      TamvikFunc::LoadWallPicture(adv.sceneCode(), adv.wallPicture());
      LoadSceneBgAnime();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(1);
      return;
    }
    case 1:
      if (!IsScreenFadeDone()) return;
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      ADVShowWindow();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(2);
      return;
    case 2:
      if (!IsScreenFadeDone()) return;
      if (adv.sceneCode() == kSceneIdle) {
        AdvRunState& run = Scene().adv;
        ReleaseTimer(run.idle_timer);
        run.idle_timer = Ctx().anime.CreateTimer();
      }
      step.GoTo(3);
      return;
    default:
      return;
  }
}

void CTamvikMacro::SceneSkipChecks() {
  AdvState& adv = *GetAdvState();
  const uint16_t scene = adv.sceneCode();
  AdvRunState& run = Scene().adv;
  auto skip = [&adv] {
    // The item picture goes off the screen with its number (the end of the scene may wait for a
    // command that runs on).
    CTamvikMacro& macro = Scene().macro;
    if (macro.item_entry != nullptr) {
      Ctx().ddraw_spr.DeleteBuffer(&macro.item_entry);
      macro.item_shown = 0;
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    }
    adv.setItemPicture(0);
    TamvikFunc::StopMessageText();
    Ctx().dsound.StopVoice();
    adv.setSceneSkip(1);
  };
  if (scene == kSceneKeySkip && IsKeyTriggered(3) != 0) {
    skip();
  } else if (scene == kSceneIdle && run.idle_timer != nullptr &&
             Ctx().anime.GetTimer(run.idle_timer, 0, 0) > kIdleFrames) {
    ReleaseTimer(run.idle_timer);
    skip();
    CTamvikMap::CloseMapSeq();
  }
}

bool CTamvikMacro::SceneSkipBeforeCommand(GameTaskRec* task) {
  AdvState& adv = *GetAdvState();
  const uint16_t scene = adv.sceneCode();
  if (adv.sceneSkip() != 0) {
    if (!IsSkipScene(scene)) return false;
    continue_flag = 0;
    StartCommandTask(task, "CTamvikMacro::DecodeMacroend");
    CTamvikAdv::InitScreen();
    adv.setSceneSkip(0);
    // The pass ends here: a command decoded after it would start a second task beside
    // MACROEND, or read MACROEND's operand as a command.
    return true;
  }
  AdvRunState& run = Scene().adv;
  if (scene == kSceneIdle && run.idle_timer != nullptr) Ctx().anime.ResetTimer(run.idle_timer);
  return false;
}
