// The attacks of kind 24 on the attack rig: every type over the directions and target layouts to
// state 7, played twice alike; the normal attack's hits with no target, one and ten targets.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "tests/battle_effects/boss_play.h"
#include "testsupport/battle_board.h"

namespace {

using boss_play::ShadowOn;
using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 24;

// Slots 5 and 6 (normal), slot 7 animations 0-3 and slot 8 animations 0-22 of known lengths,
// background 0.
void Boss24Sets(AttackFixtures& f) {
  f.Slot(kAnmAttackBody, 2);
  f.Slot(kAnmAttackEffect, 3);
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
                 .fixtures = &Boss24Sets,
                 .before = &ShadowOn};
  row.routine = type == 1 ? "Boss24::SpecialAttack" : "Boss24::NormalAttack";
  row.prefixes = {"Boss24"};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

TEST(Boss24Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      testsupport::ExpectAttackCase(SmokeRow(
          "boss24_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

void SpecialSmokeRows(int first_dir) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    if (dir / 2 != first_dir / 2) continue;
    testsupport::ExpectAttackCase(
        SmokeRow("boss24_special_dir" + std::to_string(dir), 1, dir, layout));
  }
}

TEST(Boss24Smoke, SpecialDirectionsZeroAndOne) { SpecialSmokeRows(0); }
TEST(Boss24Smoke, SpecialDirectionsTwoAndThree) { SpecialSmokeRows(2); }

}  // namespace

namespace {

// The normal attack holds one hit per target, however many the damage list holds.
TEST(Boss24Normal, OneHitPerTargetForNoneOneAndTenTargets) {
  for (int targets : {0, 1, 10}) {
    AttackCase row = SmokeRow("boss24_hits" + std::to_string(targets), 0, 1, AttackLayout::kNone);
    row.before = [targets](AttackRig& r) {
      for (int k = 0; k < targets; ++k) {
        const uint8_t slot = r.board()->AddUnit(
            testsupport::OnCell(2 + k % 5, 16 + 2 * (k / 5), {.kind = 1, .category = 0}));
        SlgUnit& u = Battle().state.units[slot];
        Slg::PlaceUnit(u);
        u.stats.life = u.stats.max_life = 999;
        u.flags |= kUnitInDamageList;
      }
      ShadowOn(r);
    };
    testsupport::ExpectAttackCase(row);
  }
}

}  // namespace
