// Player kind 11's attacks. Not built yet: each routine is a stub that ends the attack on its first
// frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

namespace Gysol {

void NormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Gysol::NormalAttack");
}

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Gysol::SpecialAttack");
}

}  // namespace Gysol
