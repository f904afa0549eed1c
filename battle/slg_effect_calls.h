#pragma once
// The unit effects the state handlers start, whose bodies the battle events supply: the stop dust
// and the jump arc (effect tasks of their own) and the three per-frame support effects. Each
// forwards to the current battle's event entry table (battle/slg_event_entries.h); until the
// events' installer fills an entry it answers as its stand-in, without sprites but keeping the
// handlers' protocol:
// - CtrlStopEffect / CtrlJumpEffect create their task ("CtrlStopEffect%d", "CtrlJumpEffect%d" by
//   the unit's stage entry); on its first frame the task steps the unit's body-object state byte
//   on by one (the jump also puts the unit's lift on the floor it was given) and ends. The stop
//   task ends without stepping when the unit has left state 2, or when its record no longer
//   holds the unit it was made for.
// - SlgFallEffect, SlgFallEffect2 and SlgFlashEffect answer 0 ("ended") on every call.

#include <cstdint>

#include "battle/slg_battle_state.h"

// The stop dust of a unit that finished its walk. 1 when the task was created, else 0.
int CtrlStopEffect(SlgUnit& unit);
// The jump of a unit to the cell ahead: floor is the lift it lands on (16.16), speed the rising
// speed and gravity the fall per frame (16.16). 1 when the task was created, else 0.
int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity);
// The support effects, one step per call at the unit's drawing position: non-zero while they
// run, 0 once ended.
int SlgFallEffect(SlgUnit& unit, const SlgPair& pos);
int SlgFallEffect2(SlgUnit& unit, const SlgPair& pos);
int SlgFlashEffect(SlgUnit& unit, const SlgPair& pos);
