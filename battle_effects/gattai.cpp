// The combination attack (player kinds 1-6, 8-13). Not built yet: each routine is a stub that ends
// the attack on its first frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

void GattaiAction(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "GattaiAction");
}
