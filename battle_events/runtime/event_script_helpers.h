#pragma once
// Small helpers the map scripts share: a cell's point, a look-up by kind and character, the
// partner heroine held in the story variables, the three calls around a scripted attack, a point
// mover, and the operations the scripts call that do nothing.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"

// ---- Positions and look-ups ----
// out := the pixel point of the cell under pixel (x, y) with its height (CellToPosHeight), 16.16.
void EventObjCellPos(SlgPair& out, int32_t x, int32_t y);
// The first record (from slot 0, removed ones included) of that unit kind and character byte;
// null for none.
SlgUnit* FindUnitByKindChara(int32_t kind, int32_t character);

// ---- The partner heroine (story variable P[83]) ----
constexpr int kPartnerVar = 83;
// The battle character of the heroine P[83] names: (0, 1, 2, 3, 6, 4, 5, 0)[P[83]], with 0 (and
// a P[83] outside 0-7, which a save file can hold) giving 1.
int EventPartnerChara();
// P[83] := (0, 1, 2, 3, 5, 6, 4, 0)[c]; nothing for c outside 0-7.
void EventSetPartnerChara(int32_t c);

// A scripted attack's target: in the damage list, and its attack-type byte naming the attacker (its
// hit reaction finds the attacker through that byte, which only the core's own hits write).
void EventMarkScriptedTarget(const SlgUnit& attacker, SlgUnit& target);

// ---- Scripted attacks ----
// A map handler makes `unit` attack `target` through the core's attack frame:
//   EventAttackPrepare(unit, target, type)  both scripted-attack words 1; the attacker's attack
//       type := type, its target byte (first action byte) := the target's slot, the byte after
//       it 0; the target's damage-list bit (flag bit 0) set and its attacker byte (its
//       attack-type byte, which its hit reaction reads) := the attacker's slot; the last range
//       search's result emptied (the attack's end marks the units on its cells, so no unit the
//       scene did not name is hit); Slg::FreezeAllUnits.
//   EventAttackStart(unit, target)  attacker state 5, target state 9.
//   EventAttackFinish(unit, target)  both words 0, Slg::MarkFlaggedUnits, the target's bit 0
//       cleared.
// A missing unit or target, or a removed record (step 255), makes the call do nothing.
void EventAttackPrepare(SlgUnit* unit, SlgUnit* target, int32_t attack_type);
void EventAttackStart(SlgUnit* unit, SlgUnit* target);
void EventAttackFinish(SlgUnit* unit, SlgUnit* target);

// ---- The point mover (an event step: 0 while moving, 1 on the arrival frame) ----
// The first call keeps the point, the velocity and the time. Each later call starts again from
// what was kept and repeats, once for each frame since the start: velocity += acceleration (when
// given), then each axis moved by its velocity and stopped on the target when it reaches or
// passes it (a velocity pointing away moves on for ever). Point and velocity are written back;
// once both axes are on the target the step answers 1 and is idle again.
int EventMoveToward(SlgPair& point, const SlgPair& target, SlgPair& velocity,
                    const SlgPair* acceleration);

// ---- Operations that do nothing (the scripts call them; each returns at once) ----
int EventNopKind(int32_t kind);
int EventNopData(uint32_t address, int32_t value);
int EventNopValue(int32_t value);
int EventNop0();
int EventNopWrite(uint32_t address, int32_t value);
int EventNop(int32_t value);
int EventNop1();
int EventNop2();
int EventNop3();
int EventNop4();
// Loads nothing and answers 0 (a call, not a step to be waited on).
int EventNopLoad(const char* file_name);
