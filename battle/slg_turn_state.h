#pragma once
// Turn control's words and the replaceable phase entries. Data only; BattleContext holds one of
// each (`phases`, `turn`), the entries filled with the defaults of battle/slg_turn.h.

#include <cstdint>

#include "battle/slg_commands.h"
#include "battle/slg_player.h"

struct SlgMainWork;

// The defaults (battle/slg_turn.cpp): each runs the common end-of-action states and, in any
// other state, ends the acting unit's action at once through the next-actor rule.
void SlgDefaultPlayerPhase(SlgMainWork* work);
void SlgDefaultEnemyStep(SlgMainWork* work);
// The enemy phase (battle/slg_enemy.h): the enemy_step entry's default.
void EnemyPhaseStep(SlgMainWork* work);

// What turn control calls for the acting unit, once per frame: `player` (the player phase,
// battle/slg_player.h) for a unit of side 0 and category 0, `enemy_step` (the enemy phase) for
// any other; `follow_up` is the acting unit's follow-up command of phase state 22 (0 once done).
// Tests replace them.
struct SlgPhaseEntries {
  void (*player)(SlgMainWork* work) = &SlgPlayerPhase;
  void (*enemy_step)(SlgMainWork* work) = &EnemyPhaseStep;
  int (*follow_up)(SlgUnit& unit) = &Slg::CmdSelfSupport;
};

struct SlgTurnState {
  // The order position Slg::SetActingUnit(-1) goes back to: the one before the last choice.
  int16_t saved_order_pos = 0;
  // The unit phase state 11 remembers on entry (the acting unit), kSlgNoUnit none.
  uint16_t remembered_unit = 0xFFFF;
  // The game clock (ms) of the last key-driven cursor step.
  uint32_t cursor_time = 0;
  // The step byte of the game-over sequence while "Slg::GameOver" runs.
  uint8_t game_over_step = 0;
};
