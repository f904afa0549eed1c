// The sound commands: MUSIC (a task: the old tune faded out, the new one started) and the inline
// SE, PCM and TEFFECT.

#include <cstdio>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/sound/dsound_func.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"

namespace {

// MUSIC's fade-out, in frames.
constexpr int kMusicFadeFrames = 60;

struct MusicWork {
  uint8_t form;
  uint8_t step;
  uint16_t n;
  uint8_t rest[12];
};
static_assert(sizeof(MusicWork) == sizeof(TaskWork));

// The BGM names of MUSIC 1-41 (index 0 unused); 38-40 are empty.
constexpr const char* kMusicNames[] = {
    nullptr, "sm01",  "sm02",   "sm03",   "sm04",     "sm05",  "sm06",  "sm07",  "sm08",
    "sm09",  "sm10",  "sm01",   "sm12",   "sm13",     "sm14",  "sm01",  "sm16",  "sm17",
    "sm18",  "sm19",  "sm01",   "sm01",   "sm22",     "sm23",  "sm24",  "sm25",  "sm26",
    "sm27",  "sm28",  "sm29",   "sm30",   "davone",   "tezavi", "ysol", "tamvik", "minigame",
    "lunet", "brise", "",       "",       "",         "sm01m"};
constexpr int kMusicCount = static_cast<int>(sizeof kMusicNames / sizeof kMusicNames[0]) - 1;
static_assert(kMusicCount == 41);

}  // namespace

const char* MusicName(int n) {
  if (n < 1 || n > kMusicCount || kMusicNames[n][0] == '\0') return nullptr;
  return kMusicNames[n];
}

void DecodeMusic(GameTaskRec* task) {
  StepTask<MusicWork> step(Ctx().game_task, task);
  CTamvikMacro& macro = Scene().macro;
  CDsoundFunc& sound = Ctx().dsound;
  if (step.OwnerGone()) {
    // The scene is going while the old tune fades out: it stops now, as it would have at the
    // end of the fade, and the volume is back at 100.
    if (step.step() == 2) {
      sound.SetBGMVolume(100, 0);
      sound.StopBGM();
    }
    EndCommand(task);
    return;
  }
  macro.continue_flag = 0;
  MusicWork& work = step.work();
  switch (step.step()) {
    case 0:
      if (!macro.GetOperand(&work.n)) {
        EndCommand(task);  // a decode error: decoding stays stopped
        return;
      }
      step.GoTo(1);
      return;
    case 1:
      // A stopped channel's fade would never run down: there is nothing to fade then.
      if (!sound.IsBGMStop()) sound.SetBGMVolume(0, kMusicFadeFrames);
      step.GoTo(2);
      return;
    case 2:
      if (!sound.IsBGMFadeEnd()) return;
      sound.SetBGMVolume(100, 0);
      sound.StopBGM();
      step.GoTo(work.n == 0 ? 9 : 4);
      return;
    case 4: {
      const char* name = MusicName(work.n);
      if (name == nullptr) {
        // Past the table or an empty name: silence, rather than a read past the table.
        DebugPrint("CTamvikMacro::DecodeMusic no tune for %d\n", work.n);
      } else {
        char file[64];
        std::snprintf(file, sizeof file, "tamvik1\\bgm\\%s.wav", name);
        if (sound.PlayBGM(file) == 0) {
          DebugPrint("CTamvikMacro::DecodeMusic File Not Found %s %d\n", file, work.n);
        }
      }
      step.GoTo(9);
      return;
    }
    case 9:
      step.GoTo(10);
      return;
    default:
      EndCommand(task);
      macro.continue_flag = 1;
      return;
  }
}

void PlaySeFile(CTamvikMacro& macro) {
  uint16_t n = 0;
  uint16_t unused = 0;
  if (!macro.GetOperand(&n) || !macro.GetOperand(&unused) || !macro.GetOperand(&unused)) return;
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopSE();
  if (n == 0) return;
  char file[64];
  std::snprintf(file, sizeof file, "tamvik1\\se\\%04d.wav", n);
  DebugPrint("Play SE File = %s\n", file);
  sound.PlaySE(file);
}

void PlayPcmFile(CTamvikMacro& macro) {
  uint16_t n = 0;
  uint16_t unused = 0;
  if (!macro.GetOperand(&n) || !macro.GetOperand(&unused)) return;
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopSE();
  char file[64];
  std::snprintf(file, sizeof file, "tamvik1\\se\\%02d%03d.wav",
                GetAdvState()->sceneCode() >> 8, n);
  DebugPrint("Play PCM File = %s\n", file);
  sound.PlaySE(file);
}

void DecodeTeffect(CTamvikMacro& macro) {
  uint16_t a = 0;
  uint16_t b = 0;
  if (!macro.GetOperand(&a) || !macro.GetOperand(&b)) return;
  PlaySystemSe(b == 1 ? 10 : 11);
  macro.continue_flag = 1;
}
