#pragma once
// The battle action task's data (battle/slg_action.h has the operations): the two attack tables
// it reads besides the attack frame's core table, and the private attacker it plays an attack
// on. BattleContext holds them, zero-filled.

#include <array>
#include <cstdint>

#include "battle/slg_attack_state.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"

struct SlgAnmObj;

// The Satan kind: its attack entry is row 33 of the full BattleActionTable only (the core table
// leaves it empty; in a battle the unit's own state table reaches it).
constexpr int kSlgSatanKind = 33;
// GattaiActionTable: the combination attack by unit kind 0-13 (rows 0 and 7 empty).
constexpr int kSlgGattaiRows = 14;
using SlgGattaiTable = std::array<SlgAttackRoutine, kSlgGattaiRows>;

// A table as the task selects it: its row of a unit kind (null: empty row).
using SlgActionRowFn = SlgAttackRoutine (*)(int kind);

// The one attack the task plays at a time.
struct SlgActionTaskState {
  // Set by the first call once it has prepared the battle tables and the sound hook.
  uint32_t prepared;
  // The private attacker: a unit record outside the battle's unit array, and its drawing
  // position (16.16 about the screen centre; (0, 0) at every call).
  SlgUnit attacker;
  SlgPair attacker_pos;
  // The selected table and row (the unit kind the attack is played as).
  SlgActionRowFn table;
  uint16_t row;
  // The body objects of the attacker and of the target (slot 0), owned here (SlgAlloc): the next
  // call and the context's end free them.
  SlgAnmObj* attacker_body;
  SlgAnmObj* target_body;
};
