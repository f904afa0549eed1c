// The common enemies' attacks (kinds 14-19, 34, 35, 48-50). Not built yet: each routine is a stub
// that ends the attack on its first frame and traces its name (EndStubAttack); the family's work
// replaces it.

#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"

void EnemyNormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "EnemyNormalAttack");
}

namespace WakijiM {

void Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "WakijiM::Attack");
}

}  // namespace WakijiM

namespace WakijiF {

void Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "WakijiF::Attack");
}

}  // namespace WakijiF

void Enemy17Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Enemy17Attack");
}

namespace KoumaM {

void Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "KoumaM::Attack");
}

}  // namespace KoumaM

namespace KoumaF {

void Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "KoumaF::Attack");
}

}  // namespace KoumaF
