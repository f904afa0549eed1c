// Player kind 9's attacks on the attack rig: the smoke rows of every type, the normal attack's one
// hit, the strip wave's shift (truncated toward zero) and its strips cut within a smaller
// picture, the column's wrap, the feathers' zoom and drop, the fire bird's speed and the bombs'
// diamond, the map planes' shade, and refused effects (the attack still ends, nothing left).

#include "battle_effects/gdavone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "battle_effects/step_timeline.h"
#include "testsupport/attack_rig.h"
#include "testsupport/slg_map_writer.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 9;

// Body animations (type 3's base set too) of 40 one-tick frames, effect animations 0-10; SPECIAL_BG 0 (672 x 480, or a
// smaller one) and 1.
void GdavoneSets(AttackFixtures& f, testsupport::AttackPicture bg = {672, 480}) {
  const AttackAnim body{.frames = 40, .ticks = 1};
  f.Slot(kAnmAttackBody, 8, body);
  f.Slot(kAnmSpecialBody, 8, body);
  f.Slot(kAnmBaseBody, AttackFixtures::kBaseAnims, body);  // type 3 plays its rows from here
  f.Slot(kAnmAttackEffect, 11);
  f.Slot(kAnmSpecialEffect, 11);
  f.Pictures(kAnmSpecialBg, {bg, {64, 128}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row{.name = "gdavone_type" + std::to_string(type) + "_dir" + std::to_string(dir) +
                         "_" + name,
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Gdavone::SpecialAttack" : "Gdavone::NormalAttack",
                 .prefixes = {"Gdavone", "Gdavoe"}};
  row.hits = HitSignal::kNone;
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
    row.frame_limit = 1200;
  }
  row.fixtures = [](AttackFixtures& f) { GdavoneSets(f); };
  return row;
}

void PlayRows(int type, int first, int last, uint32_t step_ms = 0) {
  PlaySmokeRows(&Row, type, first, last, step_ms);
}

TEST(GdavoneSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GdavoneSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GdavoneSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GdavoneSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GdavoneSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GdavoneSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GdavoneSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }
TEST(GdavoneSmoke, SkippedFrames) {
  PlayRows(2, 0, 0, 50);
  PlayRows(1, 1, 1, 50);
}

TEST(GdavoneNormal, OneHitAtBodyFrame15ForOneOrThreeTargets) {
  for (const int type : {0, 2, 3}) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"},
                                       {AttackLayout::kNone, "none"}}) {
      SCOPED_TRACE("type " + std::to_string(type) + " " + name);
      const testsupport::AttackOutcome out =
          testsupport::PlayAttackCase(Row(type, 1, layout, name));
      EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
      const std::vector<int> hits = TraceFrames(out, "task+ Gdavone::Hit ");
      const std::vector<int> routine = TraceFrames(out, "routine Gdavone::NormalAttack");
      ASSERT_FALSE(routine.empty());
      if (layout == AttackLayout::kNone) {
        EXPECT_TRUE(hits.empty());
        continue;
      }
      ASSERT_EQ(hits.size(), 1u);
      // The objects start on the routine's second call; the body's frame 15 one-tick frames on.
      EXPECT_NEAR(hits[0] - routine[0], 1 + 15, 1);
    }
  }
}

TEST(GdavoneStrips, ShiftIsTheSineTimesEightTruncated) {
  const struct {
    int32_t frames;
    int k;
    int32_t shift;
  } cases[] = {
      {0, 0, 0},     {32, 0, -8},  {0, 8, -8},  {32, 16, 8},
      {16, 0, -5},   // sin 64 = 11585: -(11585 x 8 / 16384) = -5 (not -6)
      {80, 0, 5},    // sin 320 = -11585
      {16, 32, -5},  // 16 x 32 = 512: a whole turn on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GdavoneStripShift(c.frames, c.k), c.shift) << c.frames << " " << c.k;
  }
}

TEST(GdavoneStrips, ColumnTopWrapsBelowZero) {
  const struct {
    int32_t frames, top;
  } cases[] = {{0, 360}, {11, 8}, {12, -24}, {15, -120}, {20, -24}, {24, -24}, {23, -120}};
  for (const auto& c : cases) EXPECT_EQ(GdavonePoleTop(c.frames), c.top) << c.frames;
}

// The strips made for a background of a given size: within the picture, and the wave runs.
TEST(GdavoneStrips, CutWithinThePicture) {
  const struct {
    testsupport::AttackPicture bg;
    int strips;
    int width;
  } cases[] = {{{672, 480}, 120, 672}, {{640, 400}, 100, 640}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bg.width) + " x " + std::to_string(c.bg.height));
    AttackCase row = Row(1, 1, AttackLayout::kFront, "strips");
    row.fixtures = [bg = c.bg](AttackFixtures& f) {
      GdavoneSets(f, bg);
    };
    AttackRig r(row);
    r.Start();
    const GdavoneSpecial& w = GdavoneAttackWork().special;
    int made = -1;
    int width = -1;
    int entries = 0;
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      if (made >= 0 || r.attacker().step < 2) return;
      made = w.strip_count;
      for (int k = 0; k < kGdavoneStrips; ++k) {
        if (w.strip_entries[static_cast<size_t>(k)] != nullptr) ++entries;
      }
      if (w.strips[0] != nullptr) Ctx().ddraw_spr.GetSpriteSize(w.strips[0], &width, nullptr);
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(made, c.strips);
    EXPECT_EQ(entries, c.strips);
    EXPECT_EQ(width, c.width);
  }
}

TEST(GdavoneFeathers, ZoomRampsAndDrop) {
  EXPECT_EQ(GdavoneHaneZoom(0).x, 655);
  EXPECT_EQ(GdavoneHaneZoom(0).y, 655);
  EXPECT_EQ(GdavoneHaneZoom(9).x, 655 + 9 * 6553);
  EXPECT_EQ(GdavoneHaneZoom(10).x, 65536);
  EXPECT_EQ(GdavoneHaneZoom(19).y, 655 + 19 * 3276);
  EXPECT_EQ(GdavoneHaneZoom(20).y, 65536);
  EXPECT_EQ(GdavoneHaneDrop(0), 0);
  EXPECT_EQ(GdavoneHaneDrop(15), 15 * 34952 / 65536);
  EXPECT_EQ(GdavoneHaneDrop(30), 15);  // 30 x 34952 / 65536 = 15.99
  EXPECT_EQ(GdavoneHaneDrop(36), 15 - 6 * 40);
  EXPECT_EQ(GdavoneHaneDrop(50), 15 - 12 * 40);
}

TEST(GdavoneBird, SpeedFallsToZeroAndBombsOnTheDiamond) {
  EXPECT_EQ(GdavoneBirdSpeed(0), 3072);
  EXPECT_EQ(GdavoneBirdSpeed(20), 2752);
  EXPECT_EQ(GdavoneBirdSpeed(127), 1040);  // not yet below 1025
  EXPECT_EQ(GdavoneBirdSpeed(128), 1024);  // the white-out
  EXPECT_EQ(GdavoneBirdSpeed(192), 0);
  EXPECT_EQ(GdavoneBirdSpeed(400), 0);
  const struct {
    int r, x, y;
  } cells[] = {{0, -480, 0}, {10, 0, 240}, {60, 0, 0}, {120, 480, 0}, {110, 0, -240}};
  for (const auto& c : cells) {
    const SlgPoint p = GdavoneBombCell(c.r);
    EXPECT_EQ(p.x, c.x) << c.r;
    EXPECT_EQ(p.y, c.y) << c.r;
  }
}

// Planes 0, 2 and 3 of battle map 0, loaded, so that their alpha can be read.
void LoadPlanes(AttackRig& r) {
  testsupport::MapTabWriter tab;
  for (const char* plane : {"Ground:", "Priority:", "UnderGround:"}) tab.File(plane, {"p.spr"});
  tab.Lay(r.rig().driver().tree, 0);
  testsupport::LayMapFile(r.rig().driver().tree, 0, "p.spr",
                          testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 0)));
  SlgMap::LoadMapTable(0);
}

TEST(GdavoneSpecial, PlanesShadedFromTheReturnToTheEndThenOpaque) {
  AttackCase row = Row(1, 1, AttackLayout::kThree, "planes");
  row.before = [](AttackRig& r) { LoadPlanes(r); };
  AttackRig r(row);
  r.Start();
  ASSERT_NE(Battle().map.planes[0], nullptr);
  bool shaded_throughout = true;
  int shaded_frames = 0;
  int32_t bomb_speed = -2;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    const GdavoneSpecial& w = GdavoneAttackWork().special;
    if (w.bomb_start_speed >= 0) bomb_speed = w.bomb_start_speed;
    if (r.attacker().state != 6 || r.attacker().step < 7) return;
    ++shaded_frames;
    for (const int n : {2, 0, 3}) {
      if (SlgMap::GetPlaneAlpha(n) != 0x40080u) shaded_throughout = false;
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_GT(shaded_frames, 31);
  EXPECT_TRUE(shaded_throughout);
  for (const int n : {0, 2, 3}) EXPECT_EQ(SlgMap::GetPlaneAlpha(n), 256u) << n;
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  // The bomb task starts at frame 20 of the flight back (a frame later when one is skipped).
  EXPECT_NEAR(bomb_speed, 2752, 16);
}

// Effects refused through the allocation seam by their name copy's size, while the unit waits at
// the step that makes them: the attack still ends and nothing is left behind.
TEST(GdavoneSpecial, RefusedEffectsStillEndTheAttack) {
  const struct {
    const char* name;
    uint32_t step;  // the step whose frames make it
    const char* absent;
  } cases[] = {
      {"Gdavoe::Bomb", 7, "task+ Gdavoe::Bomb"},
      {"Gdavone::hane", 4, "task+ Gdavone::hane"},
      {"Gdavone::Hinotori", 6, "task+ Gdavone::Hinotori"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AttackCase row = Row(1, 1, AttackLayout::kFront, "refused");
    AttackRig r(row);
    r.Start();
    SlgUnit* attacker = &r.attacker();
    const size_t bytes = std::string(c.name).size() + 1;
    const uint32_t step = c.step;
    Battle().alloc.refuse = [attacker, bytes, step](uint32_t, size_t size) {
      return attacker->state == 6 && attacker->step == step && size == bytes;
    };
    const std::vector<std::string> failures = PlayToEnd(r, row);
    Battle().alloc.refuse = nullptr;
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(r.trace().Find(c.absent), nullptr);
  }
}

}  // namespace
