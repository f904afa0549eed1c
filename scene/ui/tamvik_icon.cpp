#include "scene/ui/tamvik_icon.h"

#include "engine/app/context.h"

int CTamvikIcon::StartMouseCursorSeq() {
  if (IsMouseCursorSeq()) return 0;
  Ctx().game_task.SetTaskSimple(nullptr, &CTamvikIcon::MouseCursorSeq, kMouseCursorTaskName);
  return 1;
}

bool CTamvikIcon::IsMouseCursorSeq() {
  return Ctx().game_task.FindTask(kMouseCursorTaskName) != nullptr;
}

void CTamvikIcon::EndMouseCursorSeq() {}

void CTamvikIcon::ShowMouseCursor() {}

void CTamvikIcon::HideMouseCursor() {}

void CTamvikIcon::MouseCursorSeq(GameTaskRec*) {}
