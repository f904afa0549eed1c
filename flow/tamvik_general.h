#pragma once
// The game-mode manager: the top task of the game, which switches on its mode number each frame
// and starts the game's sequences.

#include "engine/core/game_task.h"

class CTamvikGeneral {
 public:
  // The manager task's name.
  static constexpr const char* kManagerTaskName = "CTamvikGeneral::GeneralManeger";

  // Creates the manager task without an owner and with a zeroed 16-byte work block, so that it
  // starts in mode 0 (byte 1 of the block).
  static void StartManager();
  // The manager's per-frame function.
  static void GeneralManeger(GameTaskRec* task);
};
