// The samurai special attack (kinds 21, 22) on the attack rig.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/slg_tables.h"
#include "battle_effects/samurai.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;

void SamuraiSets(AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, 3, {.frames = 4, .ticks = 2});
  f.Slot(kAnmSpecialEffect, 6, {.frames = 6, .ticks = 2});
  f.Pictures(kAnmSpecialBg, {{672, 480}, {672, 480}});
}

AttackCase SmokeRow(std::string name, int kind, int type, int dir, AttackLayout layout) {
  AttackCase row{.name = std::move(name),
                 .kind = kind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Samurai::SpecialAttack" : "EnemyNormalAttack",
                 .prefixes = {"Samurai::"},
                 .fixtures = &SamuraiSets};
  return row;
}

TEST(SamuraiSmoke, Special) {
  testsupport::ExpectAttackCase(SmokeRow("samurai_special", 22, 1, 1, AttackLayout::kFront));
}

}  // namespace
