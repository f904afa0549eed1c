#include "scene/script/macro_tasks.h"

#include <cstring>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "game/macro_vars.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_lips.h"

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

namespace {

// SELECT and LIPS: the choice with the message's text; A[0] := its result once it has ended.
void DecodeChoice(GameTaskRec* task, bool timed) {
  StepTask<TaskWork> step(Ctx().game_task, task);
  CTamvikMacro& macro = Scene().macro;
  if (step.OwnerGone()) {
    // The scene is going: the choice this command started goes with it.
    if (step.step() != 0) Scene().lips.EndLips();
    EndCommand(task);
    return;
  }
  macro.continue_flag = 0;
  const char* command = timed ? "LIPS" : "SELECT";
  switch (step.step()) {
    case 0: {
      uint16_t id = 0;
      uint16_t limit = 0;
      if (!macro.GetOperand(&id) || (timed && !macro.GetOperand(&limit))) {
        EndCommand(task);  // a decode error: decoding stays stopped
        return;
      }
      MessageData message;
      const char* text = nullptr;
      if (macro.GetMessageData(&message, id) != 0 && message.text != nullptr) {
        text = reinterpret_cast<const char*>(message.text);
      }
      // A message the table does not hold, or a choice that cannot start, answers as a time-out
      // would, and the script goes on.
      if (text == nullptr) {
        DebugPrint("%s: message %u is not in the table; A[0] := 0\n", command, id);
      } else if (TamvikFunc::StartLips(text, timed ? limit : 0) == 0) {
        DebugPrint("%s: the choice cannot start; A[0] := 0\n", command);
        text = nullptr;
      }
      if (text == nullptr) {
        SetMacroA(0, 0);
        EndCommand(task);
        macro.continue_flag = 1;
        return;
      }
      step.Next();
      break;
    }
    default:
      if (!Scene().lips.IsLipsEnd()) return;
      EndCommand(task);
      macro.continue_flag = 1;
      SetMacroA(0, static_cast<uint16_t>(Scene().lips.GetResult()));
      break;
  }
}

}  // namespace

void DecodeSelect(GameTaskRec* task) { DecodeChoice(task, false); }
void DecodeLips(GameTaskRec* task) { DecodeChoice(task, true); }

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
      // Messages and clicks (macro_print.cpp, macro_click.cpp).
      {"CTamvikMacro::DecodePrint", &DecodePrint},
      {"CTamvikMacro::DecodeClickwaitToy", &DecodeClickwaitToy},
      {"CTamvikMacro::DecodeEyecatch", &DecodeEyecatch},
      // Picture commands (scene/script/macro_pictures.cpp).
      {"CTamvikMacro::DecodeBg", &DecodeBg},
      {"CTamvikMacro::DecodeBgon", &DecodeBgon},
      {"CTamvikMacro::DecodeBgoff", &DecodeBgoff},
      {"CTamvikMacro::DecodeBgpri", &DecodeBgpri},
      {"CTamvikMacro::DecodeWall", &DecodeWall},
      {"CTamvikMacro::DecodeChara", &DecodeChara},
      {"CTamvikMacro::DecodeFace", &DecodeFace},
      {"CTamvikMacro::DecodeScroll", &DecodeScroll},
      {"CTamvikMacro::DecodeTitle", &DecodeTitle},
      {"CTamvikMacro::DecodeItem", &DecodeItem},
      // Sound commands (scene/script/macro_sounds.cpp).
      {"CTamvikMacro::DecodeMusic", &DecodeMusic},
      // MOVIE (scene/script/macro_movie.cpp).
      {"CTamvikMacro::DecodeMovie", &DecodeMovie},
  };
  for (const Built& built : kBuilt) {
    if (std::strcmp(name, built.name) == 0) {
      CTamvikMacro::SetDecodeTask(owner, built.function, name);
      return;
    }
  }
  if (std::strcmp(name, "CTamvikMacro::DecodeSelect") == 0) {
    CTamvikMacro::SetDecodeTask(owner, &DecodeSelect, name);
    return;
  }
  if (std::strcmp(name, "CTamvikMacro::DecodeLips") == 0) {
    CTamvikMacro::SetDecodeTask(owner, &DecodeLips, name);
    return;
  }
  // The town map's commands.
  if (StartMapCommandTask(owner, name)) return;

  DebugPrint("%s: command not built yet; decoding stops\n", name);
}
