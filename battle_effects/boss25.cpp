// The attacks of the boss of kind 25. Not built yet: each routine is a stub that ends the attack on
// its first frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

namespace Boss25 {

void NormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Boss25::NormalAttack");
}

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Boss25::SpecialAttack");
}

}  // namespace Boss25
