#pragma once
// The game's mouse pointer and command icons. So far the pointer task only keeps its place: it
// exists from the game's start so that it is started once, and it draws nothing yet.

#include "engine/core/game_task.h"

class CTamvikIcon {
 public:
  static constexpr const char* kMouseCursorTaskName = "CTamvikIcon::MouseCursorSeq";

  // Creates the pointer task (no owner, a zeroed 16-byte work block) unless it runs: 1 started,
  // 0 when it already ran.
  static int StartMouseCursorSeq();
  // Whether the pointer task exists.
  static bool IsMouseCursorSeq();
  // Not yet built: they do nothing.
  static void EndMouseCursorSeq();
  static void ShowMouseCursor();
  static void HideMouseCursor();
  // The pointer task's per-frame function (nothing yet).
  static void MouseCursorSeq(GameTaskRec* task);
};
