#pragma once
// The five short effects the battle core plays around a unit (its names CtrlStopEffect,
// CtrlJumpEffect, SlgFallEffect, SlgFallEffect2 and SlgFlashEffect reach these through the event
// entries, battle/slg_event_entries.h, once InstallSharedEffects has filled them):
//
// - SlgFallEffect (the charge), SlgFallEffect2 (the recovery) and SlgFlashEffect (the guard) are
//   per-frame steps the caller runs every frame with the unit and its drawing position: 1 while
//   the effect runs, 0 once it has ended and given everything back (or could not start). Each
//   runs one instance (battle_events/runtime/shared_effects_state.h): a second caller drives the
//   running one. Their sprites are the System.Tab sets "TameEffect:", "KaifukuEffect:" and
//   "BougyoEffect:" (kSysTameEffect, kSysKaifukuEffect, kSysBougyoEffect), the sprites of the
//   charge, recovery and guard commands whose unit states play them.
// - CtrlJumpEffect (the arc of a unit changing height on its walk, with landing dust) and
//   CtrlStopEffect (the dust of a unit ending its walk) start effect tasks named after the
//   unit's stage entry and return 1, or 0 when no task could be made. Each steps the unit's body
//   object's state byte on by one when it is done with the unit (the state handler waits for
//   it); a task whose unit is removed, dies or leaves the stop ends without touching any unit.
//
// Note the protocols: these effects answer 1 while running and 0 when done, as the command
// steps do, the reverse of the event steps.

#include <cstdint>

#include "battle/slg_battle_state.h"

class BattleContext;

// The sound effects of the three per-frame effects.
constexpr int kFallEffectSe = 30;
constexpr int kFlashEffectSe = 31;
constexpr int kFallEffect2Se = 32;
// The engine attribute word (reverse bits as the engine takes them) of every burst and flash
// object.
constexpr uint16_t kBurstAttr = 1504;

// Fills the five effect entries of `battle`'s event entry table.
void InstallSharedEffects(BattleContext& battle);

namespace SharedEffects {

// The first burst: the "TameEffect:" burst (animation 0) two depth steps in front of the unit,
// played once, and 34 particles (animation 1) flying into a point 32 pixels above the position
// and dropping from it. Logical key 2 held on the first call skips it (0, nothing made). SE 30.
int SlgFallEffect(SlgUnit& unit, const SlgPair& pos);
// The second burst: "KaifukuEffect:" animations 1 and 2 behind and in front of the unit,
// looping 4 times, and 20 particles (animation 0) circling the unit as they rise, each released
// when it leaves the drawing margin. The same skip. SE 32.
int SlgFallEffect2(SlgUnit& unit, const SlgPair& pos);
// The flash: "BougyoEffect:" animation 0 one depth step in front of the unit, played once at
// the position of each call. SE 31.
int SlgFlashEffect(SlgUnit& unit, const SlgPair& pos);

// The jump to `floor` (16.16 lift) from the unit's lift, rising at `speed` and falling by
// `gravity` (16.16 pixels a frame, a frame) once per frame: task "CtrlJumpEffect<entry>".
int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity);
// The stop dust: task "CtrlStopEffect<entry>", ended as soon as the unit is not in state 2.
int CtrlStopEffect(SlgUnit& unit);

}  // namespace SharedEffects
