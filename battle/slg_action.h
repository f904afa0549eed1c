#pragma once
// The battle action task: one attack of any unit kind played outside a battle, on a private
// attacker at the screen centre and one target beside it (the developer's test menu watches an
// attack with it). Data: battle/slg_action_state.h.
//
// CTamvikSlgAct::Action(packed) builds the attacker and the target and starts the engine task
// "CTamvikSlgAct::Action" under the mode manager's task; the task calls the selected table's row
// every frame while the attacker stays in state 6 and ends itself, with "Battle Action Task
// End.\n\n", on the first frame it finds another state (the routine ends the attack with state
// 7). One such task runs at a time.

#include <cstdint>

#include "battle/slg_action_state.h"

struct GameTaskRec;

// The packed argument: bits 0-15 the unit kind, 16-23 the attack type, 24-25 the direction.
constexpr uint32_t PackSlgAction(uint32_t kind, uint32_t attack_type, uint32_t dir) {
  return (kind & 0xFFFFu) | ((attack_type & 0xFFu) << 16) | ((dir & 3u) << 24);
}

// The task's name; also the test of "already running".
inline constexpr const char kSlgActionTaskName[] = "CTamvikSlgAct::Action";

// Row `kind` of the full BattleActionTable (52 rows): the core table's row
// (Battle().action_table) for every kind but 33, the Satan entry (Battle().satan_action) for 33.
// The full table and the core table share their rows: filling one fills the other. Null outside
// 0-51.
SlgAttackRoutine BattleActionRow(int kind);
// Row `kind` of GattaiActionTable (Battle().gattai_table, 14 rows); null outside 0-13.
SlgAttackRoutine GattaiActionRow(int kind);

class CTamvikSlgAct {
 public:
  // Plays one attack (argument: PackSlgAction). The first call points the stage at a built-in
  // empty 640 x 480 stage, loads the text tables (with the static effect bank) and installs
  // AttackVoice as the animation sound hook. Then, in order:
  // - refused with a trace: a battle running (slot 0 of its units would become the target), a
  //   kind above 51 (above 13 with attack type 5), a task of this name running ("Already
  //   Executing Battle Action Task. Please Wait to end.\n");
  // - kinds 33, 36 and 37 set the attack kind (Battle().attack.attack_kind) 1, 2 and 3 and play
  //   as kind 33; attack type 5 selects GattaiActionTable, others BattleActionTable; an empty
  //   row starts nothing;
  // - the previous call's body objects are freed; the attacker: state 6, step 0, map (320, 240),
  //   the attack type, a zeroed body at depth 0 (attribute 16 for directions 2 and 3), character
  //   GetKindVoiceChara(kind), kind, direction; kind 5's variant byte from bit 4 of GetRandom();
  // - the target: slot 0 a copy of the attacker at (320 + 96 sx, 240 + 48 sy) on the map and the
  //   attacker's position + (96 sx, 48 sy) on the screen, with (sx, sy) by direction (1, -1),
  //   (1, 1), (-1, 1), (-1, -1); flags 0x1 and 0x2000, side 1, its own copy of the attacker's
  //   body; the target list slot 0 alone; the scroll words 0; the cursor point on the target;
  // - attack type 1 of any kind but 33 turns the screen black at once;
  // - the task starts.
  static void Action(uint32_t packed);
};

// The task's function: the attacker is the current attacker and the row is called while it is
// in state 6; otherwise the task ends with its trace.
void BattleActionTask(GameTaskRec* record);

// The context's end: the task ended when it runs, the body objects of the last call freed (their
// animations released).
void EndSlgActionTask();
void FreeSlgActionBodies();
