// The smoke table of the hero's attacks: every type and direction with no target, one and three
// targets, each played twice on the harness (the end, what was given back, the hit signal, the
// sounds, the runs alike), with frames saved at the dash and a lightning.

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

const char* RoutineOf(int type) {
  switch (type) {
    case 1: return "KadrunSpecial";
    case 2: return "KadrunCritical";
    default: return "KadrunNormal";
  }
}

// The rows of one attack type.
void PlayRows(int type) {
  for (int dir = 0; dir < 4; ++dir) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      AttackCase row{.name = "hero_type" + std::to_string(type) + "_dir" + std::to_string(dir) +
                             "_" + name,
                     .kind = 0,
                     .type = type,
                     .dir = dir,
                     .layout = layout,
                     .routine = RoutineOf(type),
                     .prefixes = {"Kadrun"}};
      // Only the special's hit marks signal a hit, to the first target.
      row.hits = type == 1 && layout != AttackLayout::kNone ? HitSignal::kFirst : HitSignal::kNone;
      if (type == 1) {
        const std::string voice =
            "voice " + std::to_string(AttackFixtures::VoiceNumber(0, kSlgVoiceSpecial));
        row.sounds = layout == AttackLayout::kNone
                         ? std::vector<std::string>{voice}
                         : std::vector<std::string>{"bgm-volume 87 30", voice, "bgm-volume 100 30"};
      }
      row.fixtures = &HeroSets;
      testsupport::ExpectAttackCase(row);
    }
  }
}

TEST(HeroSmoke, Normal) { PlayRows(0); }
TEST(HeroSmoke, Special) { PlayRows(1); }
TEST(HeroSmoke, Critical) { PlayRows(2); }
TEST(HeroSmoke, TypeThreePlaysTheNormal) { PlayRows(3); }

TEST(HeroSmoke, TheDashAndALightningOnScreen) {
  // The scrolling background (picture 1) behind the dash; the flash (picture 0) behind the
  // lightning's frame. Both fill the screen's corner.
  AttackCase row{.name = "hero_special_frames",
                 .kind = 0,
                 .type = 1,
                 .routine = "KadrunSpecial",
                 .hits = HitSignal::kFirst,
                 .prefixes = {"Kadrun"}};
  row.fixtures = &HeroSets;
  row.checkpoints = {
      AttackCheckpoint{"dash", -1, "task+ Kadrun:HissatsuZanzou3",
                       {{4, 4, AttackFixtures::ColourRef(0, kAnmSpecialBg, 1)}}},
      AttackCheckpoint{"lightning", -1, "task+ Kadrun::HissatsuInazuma",
                       {{4, 4, AttackFixtures::ColourRef(0, kAnmSpecialBg, 0)}}}};
  testsupport::ExpectAttackCase(row);
}

}  // namespace

namespace {

TEST(HeroSmoke, EveryTypeOnASlowClock) {
  for (int type = 0; type < 4; ++type) {
    AttackCase row{.name = "hero_slow_type" + std::to_string(type),
                   .kind = 0,
                   .type = type,
                   .layout = AttackLayout::kThree,
                   .routine = RoutineOf(type),
                   .step_ms = 50,
                   .hits = type == 1 ? HitSignal::kFirst : HitSignal::kNone,
                   .prefixes = {"Kadrun"}};
    row.fixtures = &HeroSets;
    testsupport::ExpectAttackCase(row);
  }
}

}  // namespace

namespace {

TEST(HeroSmoke, OnTheBattleActionTask) {
  for (int type = 0; type < 4; ++type) {
    AttackCase row{.name = "hero_action_type" + std::to_string(type),
                   .kind = 0,
                   .type = type,
                   .road = testsupport::AttackRoad::kAction,
                   .routine = RoutineOf(type),
                   .hits = type == 1 ? HitSignal::kFirst : HitSignal::kNone,
                   .prefixes = {"Kadrun"}};
    row.fixtures = &HeroSets;
    testsupport::ExpectAttackCase(row);
  }
}

}  // namespace
