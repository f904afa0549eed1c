#pragma once
// The battle's start and exit words: the control words the initialisation writes (the ones the
// earlier parts of the battle did not already hold in BattleContext), the command table of the
// acting player unit, and the battle face's state. Data only; BattleContext holds one of each,
// zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "engine/gfx/gfx_types.h"

struct GameTaskRec;
struct SlgMainWork;

// The command window's 6 rows x 3 cells, each the player-phase state the cell starts; 255 empty.
constexpr int kSlgCommandRows = 6;
constexpr int kSlgCommandCells = 3;
constexpr uint8_t kSlgNoCommand = 255;
using SlgCommandTable = std::array<uint8_t, kSlgCommandRows * kSlgCommandCells>;

struct SlgControlWords {
  uint8_t actions_left = 0;    // SlgActionsLeft: 2 when a unit becomes the acting unit
  uint8_t action_done = 0;     // SlgActionDone: 2 moved, 4 attacked, 8 another command
  uint8_t combo_partner = 0;   // SlgComboPartner: 255 none
  // SlgTaskOwner: the owner of the battle's tasks (the mode manager's task), set at step 5.
  GameTaskRec* task_owner = nullptr;
  uint32_t order_marks = 0;       // SlgOrderMarks: 1 shows the turn-order numbers
  uint32_t turn_hold = 0;         // SlgTurnHold: non-zero suspends turn control
  uint32_t saved_bgm_volume = 0;  // SlgSavedBgmVolume: the BGM volume at the start
  LayerState layer_backup{};      // SlgLayerBackup: saved at step 6, restored by the teardown
  SlgCommandTable command_table{};
  uint32_t retry = 0;      // SlgRetry: 1 while a lost battle restarts
  uint32_t init_step = 0;  // SlgInitStep: 0-6
  uint32_t init_unit = 0;  // SlgInitUnit: the stage entry steps 3-4 read next
  // SlgMainWork: the running main task's work block (null while none runs).
  SlgMainWork* main_work = nullptr;
  // 1 from step 0 until the teardown: what the teardown would release exists. A teardown with
  // 0 does nothing (nothing was built, or it was torn down already).
  uint32_t built = 0;
  // 1 once Slg::ExitSlg has handed back; a later exit only traces. A start clears it.
  uint32_t exited = 0;
};

// The battle face (the event face shown in battle conversations and the unit panel).
constexpr uint16_t kSlgDefaultFace = 510;  // drawn when no face is set
struct SlgFaceState {
  uint16_t current = 0;                // the current event face number, 0 none
  uint32_t window_open = 0;            // the face window is open
  uint16_t panel_unit = kSlgNoUnit;    // the unit whose panel is shown
  std::array<char, 8> panel_text{};    // the panel's order-number text
  uint32_t blink_start = 0;            // game clock ms
  uint32_t blink_interval = 0;         // frames
  uint32_t blink_step = 0;
};
