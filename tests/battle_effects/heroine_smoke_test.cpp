// The smoke table of the TAMVIK and DAVONE heroine units' attacks (kinds 1 and 2): every type and
// direction with no target, one and three targets, each played twice on the harness (the end,
// what was given back, the hit signal, the voice, the runs alike), with frames saved at a cut-in
// and at the black tiles.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/slg_tables.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::HitSignal;

std::string RoutineOf(int kind, int type) {
  return std::string(kind == 1 ? "Tamvik::" : "Davone::") +
         (type == 1 ? "SpecialAttack" : "NormalAttack");
}

AttackCase Row(int kind, int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row{.name = std::string(kind == 1 ? "tamvik" : "davone") + "_type" +
                         std::to_string(type) + "_dir" + std::to_string(dir) + "_" + name,
                 .kind = kind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = RoutineOf(kind, type),
                 .prefixes = {"Tamvik", "Davone"}};
  // Only kind 1's thrown object signals hits: to every target on its line.
  row.hits = kind == 1 && type == 1 && layout != AttackLayout::kNone ? HitSignal::kEvery
                                                                     : HitSignal::kNone;
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kind, kSlgVoiceSpecial))};
    row.leaves = testsupport::kLeavesCamera;
  }
  row.fixtures = &HeroineSets;
  return row;
}

// The rows of one attack type for the directions from `first` to `last`.
void PlayRows(int kind, int type, int first, int last) {
  for (int dir = first; dir <= last; ++dir) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      testsupport::ExpectAttackCase(Row(kind, type, dir, layout, name));
    }
  }
}

// Split by direction, so that each test stays well within its time on a loaded machine.
TEST(TamvikSmoke, NormalFacing01) { PlayRows(1, 0, 0, 1); }
TEST(TamvikSmoke, NormalFacing23) { PlayRows(1, 0, 2, 3); }
TEST(TamvikSmoke, SpecialFacing0) { PlayRows(1, 1, 0, 0); }
TEST(TamvikSmoke, SpecialFacing1) { PlayRows(1, 1, 1, 1); }
TEST(TamvikSmoke, SpecialFacing2) { PlayRows(1, 1, 2, 2); }
TEST(TamvikSmoke, SpecialFacing3) { PlayRows(1, 1, 3, 3); }
TEST(TamvikSmoke, CriticalFacing01) { PlayRows(1, 2, 0, 1); }
TEST(TamvikSmoke, CriticalFacing23) { PlayRows(1, 2, 2, 3); }
TEST(TamvikSmoke, TypeThreeFacing01) { PlayRows(1, 3, 0, 1); }
TEST(TamvikSmoke, TypeThreeFacing23) { PlayRows(1, 3, 2, 3); }
TEST(DavoneSmoke, NormalFacing01) { PlayRows(2, 0, 0, 1); }
TEST(DavoneSmoke, NormalFacing23) { PlayRows(2, 0, 2, 3); }
TEST(DavoneSmoke, SpecialFacing0) { PlayRows(2, 1, 0, 0); }
TEST(DavoneSmoke, SpecialFacing1) { PlayRows(2, 1, 1, 1); }
TEST(DavoneSmoke, SpecialFacing2) { PlayRows(2, 1, 2, 2); }
TEST(DavoneSmoke, SpecialFacing3) { PlayRows(2, 1, 3, 3); }
TEST(DavoneSmoke, CriticalFacing01) { PlayRows(2, 2, 0, 1); }
TEST(DavoneSmoke, CriticalFacing23) { PlayRows(2, 2, 2, 3); }
TEST(DavoneSmoke, TypeThreeFacing01) { PlayRows(2, 3, 0, 1); }
TEST(DavoneSmoke, TypeThreeFacing23) { PlayRows(2, 3, 2, 3); }

}  // namespace
