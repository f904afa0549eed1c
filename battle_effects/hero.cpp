// The hero's attacks (kind 0) and his cover move. Not built yet: the set-up lets the attack go on
// (the entry keeps the routine of the attack type), each routine is a stub that ends the attack
// on its first frame and traces its name (EndStubAttack), and the cover move only traces; the
// family's work replaces them.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "engine/core/debug_trace.h"

int KadrunAttackSetup(SlgUnit& /*unit*/, SlgPair& /*pos*/) { return 1; }

void KadrunNormal(SlgUnit& unit, SlgPair& /*pos*/) { EndStubAttack(unit, "KadrunNormal"); }

void KadrunCritical(SlgUnit& unit, SlgPair& /*pos*/) { EndStubAttack(unit, "KadrunCritical"); }

void KadrunSpecial(SlgUnit& unit, SlgPair& /*pos*/) { EndStubAttack(unit, "KadrunSpecial"); }

void KadrunCover(SlgUnit& unit, SlgPair& /*pos*/) {
  // The hero stays in state 14, as with no handler; traced once per cover.
  if (unit.step != 0) return;
  DebugPrint("KadrunCover: not built yet (unit %d)\n", unit.slot);
  unit.step = 1;
}
