#include "battle_events/event_sound.h"

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/sound/dsound_func.h"

namespace {

constexpr int kFadeFrames = 64;
// The music fade: to volume 0 over 256 frames, and its task lives at least 60 frames.
constexpr int kMusicFadeFrames = 256;
constexpr int32_t kMusicFadeHold = 60;

// A screen fade on `phase`: started by `start` on the first call, 1 once the fade has ended.
template <class Phase>
int ScreenFade(Phase& phase, void (*start)(int frames)) {
  if (phase == 0) {
    start(kFadeFrames);
    phase = 1;
    return 0;
  }
  if (SlgIsFadeEnd() == 0) return 0;
  phase = 0;
  return 1;
}

}  // namespace

void EventBgmPlay(int n) { BGMPlayStart(n); }

void EventStopBgm() { Ctx().dsound.StopBGM(); }

void EventSePlay(int n) {
  static constexpr int kMapped[] = {41, 45, 54};  // event effects 303-305
  if (n >= 303 && n <= 305) {
    SlgSePlay(kMapped[n - 303]);
  } else if (n >= 306 && n <= 311) {
    SlgSePlay(n);
  }
}

namespace Eve {

void StartFadeOutMusic() {
  if (MusicFadeFlag() != 0) return;
  SlgTaskCreate(SlgTaskOwner(), &fadeOutMusic, kFadeOutMusicTask);
}

void fadeOutMusic(SlgEffectTask* task) {
  switch (task->phase) {
    case 0:
      Ctx().dsound.SetBGMVolume(0, kMusicFadeFrames);
      DebugPrint("evefadeout:bgm volume 0\n");
      // The hold counts from the fade's start (the task's frames are counted from `start`).
      task->start = task->now;
      task->phase = 1;
      return;
    default:
      if (!Ctx().dsound.IsBGMFadeEnd() || task->frames < kMusicFadeHold) return;
      DebugPrint("evefadeout: bgm volume MAX\n");
      SlgTaskEnd(task);
      return;
  }
}

int MusicFadeFlag() { return Ctx().game_task.FindTask(kFadeOutMusicTask) != nullptr ? 1 : 0; }

}  // namespace Eve

int EventFadeOut() { return ScreenFade(EventRuntimeState().fade_phase, &SlgFadeOut); }
int EventFadeIn() { return ScreenFade(EventRuntimeState().fade_phase, &SlgFadeIn); }
int EventWhiteOut() { return ScreenFade(EventRuntimeState().fade_phase, &SlgWhiteOut); }
int EventWhiteIn() { return ScreenFade(EventRuntimeState().fade_phase, &SlgWhiteIn); }
int EventWhiteFlash() { return ScreenFade(EventRuntimeState().white_flash_phase, &SlgWhiteIn); }

int EventLoadSeBank(const char* /*name*/) { return 1; }
int EventLoadBin(const char* /*name*/, uint32_t /*address*/) { return 1; }
int EventLoadPcm(const char* /*name*/) { return 1; }
int EventReady() { return 1; }
int EventReadyArg(int32_t /*ignored*/) { return 1; }
