#pragma once
// The boss programs: one family frame, like the common enemies' program plus a charge action,
// run over a step list of the kind's own and over the kind's built-in think record
// (battle/slg_boss_terms.h). Each member is named by its unit kind (BossProgram29 for kind 29,
// one program for kinds 26 and 27).
//
// The frame, by phase step: the kind's gate event flag not set (kind 23: a battle map other
// than 4) ends the action at once; 0 phase
// 80, think step 0, camera to the unit; 1 the walk and 2 the attack as in the generic program,
// their ends setting EnemyNextStep to the kind's end step (kinds 25 and 26/27 leave it); 8 the
// charge (state 11, SlgFlags bit 3 cleared and bit 0 set, SlgPhaseSub 1; back in state 8: bit 0
// cleared, bit 3 set, CommWinMark(17), action bit 2, phase 80); 9 and 10 support and guard (a
// result of 2: phase step 17 with a trace); 80 the built-in record made current, then the
// kind's list at the think step; 81 wait for state 15 to clear, then 80; others turn control's
// common states. Kinds 31, 34 and 35 have no phase steps 8 and 9.
//
// A step number outside the kind's list, or an empty entry (a stale step from another program),
// ends the action with a trace. A member whose list is not built yet ends its action at once.

#include <cstdint>
#include <span>

struct SlgMainWork;

// A step routine of a boss's step list.
using BossStepFn = void (*)(SlgMainWork* work);

// What sets a member of the family apart.
struct BossMember {
  int gate_flag = -1;        // the event flag that must be set for it to act; -1 none
  int gate_map = -1;         // the battle map it acts on alone (kind 23: 4); -1 any
  uint16_t end_step = 7;     // EnemyNextStep after its walk and attack
  bool keeps_next = false;   // the walk's and attack's ends leave EnemyNextStep (25, 26/27)
  bool charges = true;       // phase steps 8 and 9 (not 31, 34, 35)
  bool guard_window = true;  // a guard result of 2 goes with the window (not 34)
  std::span<const BossStepFn> steps;  // empty: not built yet, the action ends at once
};

// The member row of unit kind `kind`; kinds outside the family give an empty row.
const BossMember& BossMemberOf(uint8_t kind);

// The family frame for the acting unit of kind `kind`.
void BossFamilyFrame(SlgMainWork* work, uint8_t kind);

// The members' programs.
void BossProgram20(SlgMainWork* work);
void BossProgram23(SlgMainWork* work);
void BossProgram24(SlgMainWork* work);
void BossProgram25(SlgMainWork* work);
void BossProgram26(SlgMainWork* work);  // kinds 26 and 27
void BossProgram28(SlgMainWork* work);
void BossProgram29(SlgMainWork* work);
void BossProgram30(SlgMainWork* work);
void BossProgram31(SlgMainWork* work);
void BossProgram32(SlgMainWork* work);
void BossProgram34(SlgMainWork* work);
void BossProgram35(SlgMainWork* work);

// Kind 29's step list (15 steps, end step 7).
extern const std::span<const BossStepFn> kBossSteps29;
