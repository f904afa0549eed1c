// Player kind 12's normal attack on the attack rig: the smoke rows of every normal type, the
// direction tables, the shells' homing and the sparks' signs.

#include "battle_effects/gtezav.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::HitSignal;

constexpr int kKind = 12;
constexpr int32_t kPx = 65536;

// Kind 12's sets: SPECIAL_BODY animations 0-15, SPECIAL_EFFECT 0-28 and SPECIAL_EFFECT2 0-10 of
// the default length (4 frames of 2 ticks), SPECIAL_BG picture 0 at 640 x 480.
void GtezavSets(AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, 16);
  f.Slot(kAnmSpecialEffect, 29);
  f.Slot(kAnmSpecialEffect2, 11);
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row{.name = "gtezav_type" + std::to_string(type) + "_dir" + std::to_string(dir) +
                         "_" + name,
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Gtezav::SpecialAttack" : "Gtezav::NormalAttack",
                 .prefixes = {"Gtezav"}};
  row.hits = HitSignal::kNone;
  row.frame_limit = 900;
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
    row.frame_limit = 1500;
  }
  row.fixtures = &GtezavSets;
  return row;
}

void PlayRows(int type, int first = 0, int last = 3) {
  for (int dir = first; dir <= last; ++dir) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      testsupport::ExpectAttackCase(Row(type, dir, layout, name));
    }
    AttackCase action = Row(type, dir, AttackLayout::kFront, "action");
    action.road = testsupport::AttackRoad::kAction;
    testsupport::ExpectAttackCase(action);
  }
}

TEST(GtezavSmoke, NormalFacing0123) { PlayRows(0); }
TEST(GtezavSmoke, CriticalFacing0123) { PlayRows(2); }
TEST(GtezavSmoke, TypeThreeFacing0123) { PlayRows(3); }
TEST(GtezavSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GtezavSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GtezavSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GtezavSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }

TEST(GtezavTables, WaitsAnglesAndLaunchersByDirection) {
  const struct {
    int dir;
    int32_t wait, critical_wait, angle;
    SlgPair launcher;
  } rows[] = {{0, 78, 132, 474, {56, -80}},
              {1, 76, 138, 38, {56, 8}},
              {2, 76, 138, 218, {-56, 8}},
              {3, 78, 132, 294, {-56, -80}}};
  for (const auto& r : rows) {
    SCOPED_TRACE("dir " + std::to_string(r.dir));
    EXPECT_EQ(GtezavFirstShellWait(0, r.dir), r.wait);
    EXPECT_EQ(GtezavFirstShellWait(3, r.dir), r.wait);
    EXPECT_EQ(GtezavFirstShellWait(2, r.dir), r.critical_wait);
    EXPECT_EQ(GtezavLaunchAngle(r.dir), r.angle);
    EXPECT_EQ(GtezavLauncherOffset(r.dir).x, r.launcher.x);
    EXPECT_EQ(GtezavLauncherOffset(r.dir).y, r.launcher.y);
    // 16-31 either side of the launch angle, wrapped.
    EXPECT_EQ(GtezavShellAngle(r.dir, 1, 0), (r.angle + 16) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 1, 15), (r.angle + 31) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 0, 0), (r.angle - 16) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 0, 0x12F), (r.angle - 31) & 511);
  }
  EXPECT_EQ(GtezavShellCount(0), 3);
  EXPECT_EQ(GtezavShellCount(3), 3);
  EXPECT_EQ(GtezavShellCount(2), 5);
  EXPECT_EQ(GtezavShellSpacing(0), 15);
  EXPECT_EQ(GtezavShellSpacing(2), 5);
}

TEST(GtezavSparks, SignsByQuadrant) {
  const struct {
    int q;
    int32_t dx, dy;
  } rows[] = {{0, 7, -9}, {1, -7, 9}, {2, -7, -9}, {3, 7, 9}, {4, 7, -9}};
  for (const auto& r : rows) {
    const SlgPair p = GtezavSparkOffset(r.q, 7, 9);
    EXPECT_EQ(p.x, r.dx) << "q " << r.q;
    EXPECT_EQ(p.y, r.dy) << "q " << r.q;
  }
}

// A shell launched away from its target: flown by hand with the stored turns.
GtezavShell ShellAt(SlgPair from, SlgPair aim, int32_t heading) {
  GtezavShell s{};
  s.homing.pos = {from.x * kPx, from.y * kPx};
  s.homing.aim = {aim.x * kPx, aim.y * kPx};
  s.homing.heading = heading;
  s.homing.has_aim = true;
  for (size_t i = 0; i < s.turns.size(); ++i) s.turns[i] = 16 + static_cast<int32_t>(i % 16);
  return s;
}

TEST(GtezavShellHoming, ReachesANearTargetAndGivesUpOnAFarOne) {
  GtezavShell near = ShellAt({0, 0}, {200, 40}, 0);
  int32_t f = 0;
  while (!GtezavFlyShell(near, ++f) && f < 1000) {
  }
  EXPECT_LT(near.homing.turns, kGtezavShellTurns);
  // Ended on the overlap of the 16 px box with the 8 px target box.
  EXPECT_LE(std::abs(near.homing.pos.x - near.homing.aim.x), 24 * kPx);
  EXPECT_LE(std::abs(near.homing.pos.y - near.homing.aim.y), 24 * kPx);

  // 6 px a frame for 120 frames cannot reach 800 px: the 60 turns end it.
  GtezavShell far = ShellAt({0, 0}, {800, 0}, 256);
  f = 0;
  while (!GtezavFlyShell(far, ++f) && f < 1000) {
  }
  EXPECT_EQ(far.homing.turns, kGtezavShellTurns);
  EXPECT_EQ(f, 2 * kGtezavShellTurns - 1);
}

TEST(GtezavShellHoming, SkippedFramesFlyTheSamePath) {
  GtezavShell a = ShellAt({0, 0}, {300, 100}, 128);
  GtezavShell b = a;
  for (int32_t f = 1; f <= 40; ++f) GtezavFlyShell(a, f);
  GtezavFlyShell(b, 17);
  GtezavFlyShell(b, 40);
  EXPECT_EQ(a.homing.pos.x, b.homing.pos.x);
  EXPECT_EQ(a.homing.pos.y, b.homing.pos.y);
  EXPECT_EQ(a.homing.heading, b.homing.heading);
}

TEST(GtezavShellHoming, TurnsByTheStoredStepsOneWayUntilTheTargetAngle) {
  // Heading 0 (east), the target due south-ish: each turn is the stored step the same way.
  GtezavShell s = ShellAt({0, 0}, {0, 4000}, 0);
  GtezavShell copy = s;
  GtezavFlyShell(s, 1);
  const int32_t aim = HomingAimAngle(copy.homing);
  const int way = copy.homing.way == 0 ? (aim < 256 ? 1 : -1) : copy.homing.way;
  EXPECT_EQ(s.homing.heading, (0 + way * s.turns[0]) & 511);
  GtezavFlyShell(s, 3);
  EXPECT_EQ(s.homing.heading, (0 + way * (s.turns[0] + s.turns[1])) & 511);
}

}  // namespace
