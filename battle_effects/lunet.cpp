// The LUNET heroine unit's attacks (kind 3). Not built yet: each routine is a stub that ends the
// attack on its first frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

void LunetNormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "LunetNormalAttack");
}

void LunetSpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "LunetSpecialAttack");
}
