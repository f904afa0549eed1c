// Satan's attacks (kind 33), chosen by the attack kind word. Not built yet: each routine is a stub
// that ends the attack on its first frame and traces its name (EndStubAttack); the family's work
// replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

namespace Satan {

void NormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Satan::NormalAttack");
}

void CriticalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Satan::CriticalAttack");
}

void Critical2Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Satan::Critical2Attack");
}

}  // namespace Satan
