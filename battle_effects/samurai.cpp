// The samurai special attack (kinds 21, 22). Not built yet: each routine is a stub that ends the
// attack on its first frame and traces its name (EndStubAttack); the family's work replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

namespace Samurai {

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Samurai::SpecialAttack");
}

}  // namespace Samurai
