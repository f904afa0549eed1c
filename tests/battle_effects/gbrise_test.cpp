// Player kind 13's attacks on the attack rig: the smoke rows of every type, the cut-in's row
// table, the unit's tint, the plates' corner factors, the charge's limits, short effect
// animations (the charge never outlives the attack) and the streaks' end.

#include "battle_effects/gbrise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "battle/slg_tables.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 13;
constexpr int32_t kPx = 65536;

// SPECIAL_EFFECT animation 0 of `effect_frames` one-tick frames (object 1, which times the
// charge), 1-7 of the default length; SPECIAL_BG pictures 0-6.
void GBriseSets(AttackFixtures& f, int effect_frames) {
  std::vector<AttackAnim> effects(8);
  effects[0] = AttackAnim{.frames = effect_frames, .ticks = 1};
  f.Slot(kAnmSpecialEffect, effects);
  f.Pictures(kAnmSpecialBg, {{320, 240}, {320, 240}, {320, 240}, {320, 240}, {320, 240},
                             {320, 240}, {64, 16}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name,
               int effect_frames = 80) {
  AttackCase row = PlayerAttackRow(kKind, "GBrise", type, dir, layout, name);
  row.prefixes.push_back("Gbrise");
  row.hits = HitSignal::kNone;
  row.fixtures = [effect_frames](AttackFixtures& f) { GBriseSets(f, effect_frames); };
  return row;
}

void PlayRows(int type, int first, int last) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last);
}

TEST(GBriseSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GBriseSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GBriseSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GBriseSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GBriseSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GBriseSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GBriseSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }

TEST(GBriseNormal, StateSevenThirtyFramesAfterTheLastAnimation) {
  for (const int type : {0, 2, 3}) {
    SCOPED_TRACE("type " + std::to_string(type));
    const testsupport::AttackOutcome out =
        testsupport::PlayAttackCase(Row(type, 1, AttackLayout::kFront, "timing"));
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    // Two frames of 4 x 2 ticks each: the body ends after 8 frames, then 30.
    const int frames = FramesInRoutine(out, "GBrise::NormalAttack");
    EXPECT_NEAR(frames, 8 + 30, 3);
  }
}

TEST(GBriseCutIn, RowsBeginOnTheirFramesAndMoveBetweenTheirPoints) {
  std::vector<int> begins;
  int at = 0;
  for (const GBriseCutInRow& r : kGBriseCutIn) {
    begins.push_back(at);
    at += r.frames;
  }
  EXPECT_EQ(begins, (std::vector<int>{0, 10, 15, 20, 25, 27, 67, 71, 75, 79, 81, 141}));
  // Mid-row: half way from the row's point to the next row's.
  const struct {
    int row, t, x, y;
  } cases[] = {{0, 5, 240, 256}, {5, 20, 0, 24}, {9, 1, -8, 16}, {10, 30, -50, -108},
               {10, 60, -100, -200}, {4, 0, 6, 8}};
  for (const auto& c : cases) {
    const SlgPair p = GBriseCutInPoint(c.row, c.t);
    EXPECT_EQ(p.x, c.x * kPx) << "row " << c.row;
    EXPECT_EQ(p.y, c.y * kPx) << "row " << c.row;
  }
  // Row 10's zoom: 1 / (1 - t x 1966/65536), the divisor kept at 0.1 or more.
  EXPECT_EQ(GBriseCutInZoom(0), kPx);
  EXPECT_EQ(GBriseCutInZoom(15), static_cast<int32_t>(int64_t{kPx} * kPx / (kPx - 15 * 1966)));
  EXPECT_EQ(GBriseCutInZoom(45), static_cast<int32_t>(int64_t{kPx} * kPx / (kPx / 10)));
}

TEST(GBriseTint, RisesOverSixtyFramesAndFallsOverThirty) {
  EXPECT_EQ(GBriseTintLevel(true, 0), 0x40000u);
  EXPECT_EQ(GBriseTintLevel(true, 30), 0x40000u + 51);
  EXPECT_EQ(GBriseTintLevel(true, 60), 0x40000u + 102);
  EXPECT_EQ(GBriseTintLevel(false, 0), 0x40000u + 102);
  EXPECT_EQ(GBriseTintLevel(false, 15), 0x40000u + 51);
  EXPECT_EQ(GBriseTintLevel(false, 30), 0x40000u);
}

TEST(GBrisePlate, CornerFactorsRestAndFall) {
  GBrisePlate p{.radius = 380 * kPx, .speed = 0, .radius2 = 380 * kPx, .speed2 = 0,
                .accel = -0x13333, .angle = 10, .turn = -3, .scale = 40 * kPx / 12160,
                .resting = false};
  // Scale 215 (16.16): 215 x 380 = 81700 for the second radius and the radius.
  EXPECT_EQ(GBrisePlateCorners(p), (std::array<int32_t, 4>{81700, 0, 81700 + 655, 0}));
  GBrisePlateStep(p, false);
  GBrisePlateStep(p, false);
  // Two frames: speed -2a, radius 380 - 3 x 1.2 px; the skew (r2 - r) / 209.
  const int32_t r = 380 * kPx - 3 * 0x13333;
  EXPECT_EQ(p.radius, r);
  EXPECT_EQ(p.angle, 4);
  const int32_t skew = (380 * kPx - r) / 209;
  EXPECT_EQ(GBrisePlateCorners(p),
            (std::array<int32_t, 4>{81700, skew, static_cast<int32_t>(int64_t{215} * (r >> 16)) + 655,
                                    skew}));
  // At the centre it rests until released, then its second radius falls to 0.
  int frames = 0;
  while (!p.resting && frames < 100) {
    GBrisePlateStep(p, false);
    ++frames;
  }
  ASSERT_TRUE(p.resting);
  EXPECT_EQ(p.radius, 0);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(GBrisePlateStep(p, false), 0);
  EXPECT_EQ(p.radius2, 380 * kPx);
  int falls = 0;
  while (GBrisePlateStep(p, true) == 0 && falls < 100) ++falls;
  EXPECT_LT(falls, 100);
  EXPECT_EQ(p.radius2, 0);
}

// Plays a special to its end, watching the charge every frame.
struct Charge {
  int peak_plates = 0, peak_balls = 0;
  int made_plates = 0;
  bool streaks_gone_at_once = true;
  std::vector<std::string> failures;
};

Charge PlayCharge(AttackLayout layout, int effect_frames) {
  const AttackCase row = Row(1, 1, layout, "charge", effect_frames);
  AttackRig r(row);
  r.Start();
  Charge out;
  bool seen_end_mode = false;
  while (r.attacker().state != 7 && r.frames() < row.frame_limit) {
    r.Step();
    int plates = 0, balls = 0, streaks = 0;
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name.rfind("Gbrise::Plate", 0) == 0) ++plates;
      if (name.rfind("Gbrise::Ball", 0) == 0) ++balls;
      if (name.rfind("Gbrise::Line", 0) == 0) ++streaks;
    }
    out.peak_plates = std::max(out.peak_plates, plates);
    out.peak_balls = std::max(out.peak_balls, balls);
    out.made_plates = std::max<int>(out.made_plates, static_cast<int>(GBriseAttackWork().special.plate_names));
    if (seen_end_mode && streaks != 0) out.streaks_gone_at_once = false;
    if (GBriseAttackWork().special.line_mode == kGBriseLinesEnd && !seen_end_mode) {
      seen_end_mode = true;
      r.Step();  // the streaks' next frame deletes them
      for (const std::string& name : AttackRig::LiveTaskNames()) {
        if (name.rfind("Gbrise::Line", 0) == 0) out.streaks_gone_at_once = false;
      }
    }
  }
  if (r.attacker().state != 7) out.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, out.failures);
  return out;
}

TEST(GBriseCharge, NeverMoreThanFifteenPlatesAndTwentyBalls) {
  const Charge c = PlayCharge(AttackLayout::kThree, 80);
  EXPECT_TRUE(c.failures.empty()) << testing::PrintToString(c.failures);
  EXPECT_GT(c.made_plates, 0);
  EXPECT_LE(c.peak_plates, 15);
  EXPECT_LE(c.peak_balls, 20);
  EXPECT_TRUE(c.streaks_gone_at_once);
}

TEST(GBriseCharge, ShortEffectAnimationsEndTheChargeWithTheAttack) {
  // Object 1's animation ends before frame 25 (20 frames) or before 60 (50): the charge's waits
  // count an ended animation as past them, and nothing of the family outlives the attack.
  for (const int frames : {20, 50}) {
    SCOPED_TRACE(std::to_string(frames) + " frames");
    const Charge c = PlayCharge(AttackLayout::kNone, frames);
    EXPECT_TRUE(c.failures.empty()) << testing::PrintToString(c.failures);
  }
}

}  // namespace
