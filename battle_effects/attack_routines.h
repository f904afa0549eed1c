#pragma once
// Every attack routine of the unit kinds, by family: the routine slots the dispatch tables name
// (battle_effects/attack_dispatch.h). Each family's routines are defined in the family's own file
// (named beside each group).
//
// All take (unit, pos): the attacker and its drawing position (16.16 about the screen centre),
// once a frame while the unit is in its attack state, and follow the routine contract of
// docs/battle.md "Attack routines".

#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"

// ---- Kind 0, the hero (hero.cpp) ----
// The hero's set-up (the entry's step 0): loads the attack's sets; 1 on success, else the entry
// ends the attack.
int KadrunAttackSetup(SlgUnit& unit, SlgPair& pos);
void KadrunNormal(SlgUnit& unit, SlgPair& pos);
void KadrunCritical(SlgUnit& unit, SlgPair& pos);
void KadrunSpecial(SlgUnit& unit, SlgPair& pos);
// The cover move: the state-14 handler of kinds 0 and 7 (a unit state, not an attack).
void KadrunCover(SlgUnit& unit, SlgPair& pos);

// ---- Kinds 1-4, the heroine units (tamvik.cpp, davone.cpp, lunet.cpp, ysol.cpp) ----
namespace Tamvik {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Tamvik
namespace Davone {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Davone
void LunetNormalAttack(SlgUnit& unit, SlgPair& pos);
void LunetSpecialAttack(SlgUnit& unit, SlgPair& pos);
namespace Ysol {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Ysol

// ---- Kinds 5-13, the second-form player units (tezav.cpp, brise.cpp, gkadrun.cpp,
// gtamvik.cpp, gdavone.cpp, glunet.cpp, gysol.cpp, gtezav.cpp, gbrise.cpp) ----
namespace Tezav {  // kind 5
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Tezav
namespace Brise {  // kind 6
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Brise
namespace Gkadrun {  // kind 7
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Gkadrun
namespace Gtamvik {  // kind 8
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Gtamvik
namespace Gdavone {  // kind 9
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Gdavone
namespace Glunet {  // kind 10
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Glunet
namespace Gysol {  // kind 11
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Gysol
namespace Gtezav {  // kind 12
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Gtezav
namespace GBrise {  // kind 13
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace GBrise

// ---- Common enemies: kinds 14-19, 34, 35, 48-50 (common_enemy.cpp) ----
// The shared enemy normal attack: kinds 14, 34, 35 (their forwarding entries) and the normal
// attacks of kinds 21 and 22.
void EnemyNormalAttack(SlgUnit& unit, SlgPair& pos);
namespace WakijiM {  // kind 15
void Attack(SlgUnit& unit, SlgPair& pos);
}
namespace WakijiF {  // kind 16
void Attack(SlgUnit& unit, SlgPair& pos);
}
void Enemy17Attack(SlgUnit& unit, SlgPair& pos);  // kinds 17, 48
namespace KoumaM {  // kinds 18, 49
void Attack(SlgUnit& unit, SlgPair& pos);
}
namespace KoumaF {  // kinds 19, 50
void Attack(SlgUnit& unit, SlgPair& pos);
}

// ---- Kamui: kinds 20, 31, 32 (kamui.cpp); the samurai special of kinds 21, 22 (samurai.cpp) ----
namespace Kamui {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Kamui
namespace Samurai {
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}

// ---- Bosses: kinds 23-30 (boss23.cpp, boss24.cpp, boss25.cpp, amateras.cpp, vevaz.cpp,
// dododi.cpp, boss30.cpp) ----
namespace Boss23 {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Boss23
namespace Boss24 {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Boss24
namespace Boss25 {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Boss25
namespace Amateras {  // kinds 26, 27
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Amateras
namespace Vevaz {  // kind 28
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Vevaz
namespace Dododi {  // kind 29
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Dododi
namespace Boss30 {
void NormalAttack(SlgUnit& unit, SlgPair& pos);
void SpecialAttack(SlgUnit& unit, SlgPair& pos);
}  // namespace Boss30

// ---- Satan: kind 33, chosen by the attack kind word (satan.cpp) ----
namespace Satan {
void NormalAttack(SlgUnit& unit, SlgPair& pos);     // attack kind 1
void CriticalAttack(SlgUnit& unit, SlgPair& pos);   // attack kind 3
void Critical2Attack(SlgUnit& unit, SlgPair& pos);  // any other attack kind
}  // namespace Satan

// ---- The combination attack of player kinds 1-6, 8-13 (gattai.cpp) ----
void GattaiAction(SlgUnit& unit, SlgPair& pos);
