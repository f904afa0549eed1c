// The attacks of kind 23 on the attack rig: every type over the directions and target layouts to
// state 7, played twice alike.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "tests/battle_effects/boss_play.h"

namespace {

using boss_play::ShadowOn;
using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 23;

// Slots 5 and 6 (normal), slot 7 animations 0-3 and slot 8 animations 0-22 of known lengths,
// background 0.
void Boss23Sets(AttackFixtures& f) {
  f.Slot(kAnmAttackBody, 2);
  f.Slot(kAnmAttackEffect, 10);
  f.Slot(kAnmSpecialBody, 4);
  f.Slot(kAnmSpecialEffect, std::vector<AttackAnim>(23, AttackAnim{.frames = 4}));
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout) {
  AttackCase row{.name = std::move(name),
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .frame_limit = 3000,
                 .fixtures = &Boss23Sets,
                 .before = &ShadowOn};
  row.routine = type == 1 ? "Boss23::SpecialAttack" : "Boss23::NormalAttack";
  row.prefixes = {"Boss23"};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

TEST(Boss23Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      testsupport::ExpectAttackCase(SmokeRow(
          "boss23_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

void SpecialSmokeRows(int first_dir) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    if (dir / 2 != first_dir / 2) continue;
    testsupport::ExpectAttackCase(
        SmokeRow("boss23_special_dir" + std::to_string(dir), 1, dir, layout));
  }
}

TEST(Boss23Smoke, SpecialDirectionsZeroAndOne) { SpecialSmokeRows(0); }
TEST(Boss23Smoke, SpecialDirectionsTwoAndThree) { SpecialSmokeRows(2); }

}  // namespace

namespace {

// The normal attack ends with its five effect objects; a body of 200 frames still plays.
TEST(Boss23Normal, EndsWithItsEffectsWithoutWaitingForTheBody) {
  AttackCase row = SmokeRow("boss23_long_body", 0, 1, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) {
    Boss23Sets(f);
    f.Slot(kAnmAttackBody, std::vector<AttackAnim>(2, AttackAnim{.frames = 100}));
  };
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty());
  ASSERT_GE(out.state7_frame, 0);
  EXPECT_LT(out.state7_frame, 100);
}

}  // namespace
