#include "flow/tamvik_general.h"

#include "engine/app/context.h"

void CTamvikGeneral::StartManager() {
  Ctx().game_task.SetTaskSimple(nullptr, &CTamvikGeneral::GeneralManeger, kManagerTaskName);
}

void CTamvikGeneral::GeneralManeger(GameTaskRec*) {
  // The game modes are not part of the program yet: the manager only keeps its place in the
  // task list.
}
