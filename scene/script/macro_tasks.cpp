#include "scene/script/macro_tasks.h"

#include <cstring>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"

int CTamvikMacro::SetDecodeTask(GameTaskRec* owner, TaskFunc function, const char* name,
                                void* work) {
  if (work == nullptr) work = TaskNewBlock<TaskWork>();
  return Ctx().game_task.SetTask(owner, function, name, work, nullptr) != 0 ? 1 : 0;
}

namespace {

struct WaitWork {
  uint8_t form;
  uint8_t step;
  uint16_t unused;
  uint32_t frames;
  uint8_t rest[8];
};
static_assert(sizeof(WaitWork) == sizeof(TaskWork));

// Ends a command task: its function cleared, so the list frees it on its next visit.
void EndCommand(GameTaskRec* task) { task->function = nullptr; }

void EndWaitTimer(CTamvikMacro& macro) {
  if (macro.wait_timer != nullptr) {
    Ctx().anime.GetTimer(macro.wait_timer, 0, 1);
    macro.wait_timer = nullptr;
  }
}

}  // namespace

void DecodeWait(GameTaskRec* task) {
  StepTask<WaitWork> step(Ctx().game_task, task);
  CTamvikMacro& macro = Scene().macro;
  if (step.OwnerGone()) {
    EndWaitTimer(macro);
    EndCommand(task);
    return;
  }
  macro.continue_flag = 0;
  WaitWork& work = step.work();
  switch (step.step()) {
    case 0: {
      uint16_t n = 0;
      if (!macro.GetOperand(&n)) {  // a decode error: decoding stays stopped
        EndCommand(task);
        return;
      }
      work.frames = n;
      EndWaitTimer(macro);
      macro.wait_timer = Ctx().anime.CreateTimer();
      if (macro.trace() != 0) DebugPrint("Decodewait Start %x->%x\n", 0u, work.frames);
      step.Next();
      break;
    }
    case 1:
      if (macro.wait_timer == nullptr) {
        DebugPrint("DecodeWait: no timer; the wait ends\n");
      } else if (Ctx().anime.GetTimer(macro.wait_timer, 0, 0) <= static_cast<int32_t>(work.frames)) {
        return;
      }
      EndWaitTimer(macro);
      step.Next();
      break;
    default:
      EndCommand(task);
      macro.continue_flag = 1;
      if (macro.trace() != 0) DebugPrint("Decodewait Finish\n");
      break;
  }
}

void StartCommandTask(GameTaskRec* owner, const char* name) {
  struct Built {
    const char* name;
    TaskFunc function;
  };
  static constexpr Built kBuilt[] = {
      {"CTamvikMacro::DecodeWait", &DecodeWait},
      {"CTamvikMacro::DecodeMacroend", &DecodeMacroend},
      {"CTamvikMacro::DecodeFight", &DecodeFight},
      {"CTamvikMacro::DecodeMinigame", &DecodeMinigame},
  };
  for (const Built& built : kBuilt) {
    if (std::strcmp(name, built.name) == 0) {
      CTamvikMacro::SetDecodeTask(owner, built.function, name);
      return;
    }
  }
  DebugPrint("%s: command not built yet; decoding stops\n", name);
}
