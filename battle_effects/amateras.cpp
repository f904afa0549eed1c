// Amateras's attacks (kinds 26, 27). Not built yet: each routine is a stub that ends the attack on
// its first frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

namespace Amateras {

void NormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Amateras::NormalAttack");
}

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Amateras::SpecialAttack");
}

}  // namespace Amateras
