// Player kind 9's attacks on the attack rig: the smoke rows of every type, the normal attack's one
// hit, the strip wave's shift (truncated toward zero) and its strips cut within a smaller
// picture, the column's wrap, the feathers' zoom and drop, the fire bird's speed and the bombs'
// diamond, the map planes' shade, and refused effects (the attack still ends, nothing left).

#include "battle_effects/gdavone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
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
  AttackCase row = PlayerAttackRow(kKind, "Gdavone", type, dir, layout, name);
  row.prefixes.push_back("Gdavoe");
  row.hits = testsupport::HitSignal::kNone;
  row.leaves = 0;
  if (type == 1) row.frame_limit = 1200;
  row.fixtures = [](AttackFixtures& f) { GdavoneSets(f); };
  return row;
}

void PlayRows(int type, int first, int last, uint32_t step_ms = 0) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last, step_ms);
}

TEST(GdavoneSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GdavoneSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GdavoneSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GdavoneSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GdavoneSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GdavoneSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GdavoneSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }
TEST(GdavoneSmoke, Variants) { PlayVariantRows(&Row); }
TEST(GdavoneSmoke, SkippedFrames) {
  PlayRows(2, 0, 0, 50);
  PlayRows(1, 1, 1, 50);
}

TEST(GdavoneNormal, OneHitAtBodyFrame15ForOneOrThreeTargets) {
  for (const uint32_t step_ms : {0u, 50u}) {
    const int step = step_ms == 0 ? 1 : 3;
    for (const int type : {0, 2, 3}) {
      for (const auto& [layout, name] : {std::pair{AttackLayout::kFront, "one"},
                                         {AttackLayout::kThree, "three"},
                                         {AttackLayout::kNone, "none"}}) {
        SCOPED_TRACE("type " + std::to_string(type) + " " + name + " step " +
                     std::to_string(step_ms));
        AttackCase row = Row(type, 1, layout, name);
        row.step_ms = step_ms;
        const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
        EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
        const std::vector<int> hits =
            TraceGameFrames(out, "routine Gdavone::NormalAttack", "task+ Gdavone::Hit ");
        if (layout == AttackLayout::kNone) {
          EXPECT_TRUE(hits.empty());
          continue;
        }
        ASSERT_EQ(hits.size(), 1u);
        // The objects start on the routine's second call; the body's frame 15 one-tick frames
        // on (with skipped frames at most two steps past it).
        EXPECT_GE(hits[0], step + 15 - 1);
        EXPECT_LE(hits[0], step + 15 + 2 * step);
      }
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
    // Every strip and the column's picture given back at the end.
    EXPECT_EQ(std::count(w.strips.begin(), w.strips.end(), nullptr), kGdavoneStrips);
    EXPECT_EQ(w.pole, nullptr);
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

// The bird on the rig: up the line mirrored until x 576, the turn (mirror off), 2 frames later
// 128 pixels lower; the bomb task at frame 20 of the way back; the white-out once v is below
// 1025 (frame 128 of the way back), the bombs' end flag 32 frames later (no piece after it).
TEST(GdavoneBird, TurnsAtX576ThenBombsThenWhitesOut) {
  AttackCase row = Row(1, 1, AttackLayout::kFront, "bird");
  row.fixtures = [](AttackFixtures& f) {
    GdavoneSets(f);
    std::vector<AttackAnim> effects(11);
    effects[3] = AttackAnim{.frames = 600, .ticks = 1};  // the bird, seen all the way
    f.Slot(kAnmSpecialEffect, effects);
  };
  AttackRig r(row);
  r.Start();
  struct Seen {
    int frame;
    int x, y;
    uint32_t reverse;
  };
  std::vector<Seen> bird;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 3)) {
      bird.push_back({r.frames(), a.x - kSlgCentreX, a.y, a.reverse});
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  size_t turn = 0;
  while (turn < bird.size() && bird[turn].reverse != 0) ++turn;
  ASSERT_GT(turn, 0u);
  ASSERT_LT(turn + 3, bird.size());
  EXPECT_EQ(bird[0].x, -448);
  EXPECT_LT(bird[turn - 1].x, 576);
  EXPECT_GE(bird[turn].x, 576);
  EXPECT_LT(bird[turn].x, 576 + 16);
  // Up the line: 18 pixels a frame along angle 42 (15.66 across, 8.87 up), over 60 frames.
  ASSERT_GT(turn, 61u);
  const double frames = bird[61].frame - bird[1].frame;
  EXPECT_NEAR((bird[61].x - bird[1].x) / frames, 15.66, 0.3);
  EXPECT_NEAR((bird[1].y - bird[61].y) / frames, 8.87, 0.3);
  // Two (or, on the uneven clock, three) frames after the turn it stands 128 pixels below the
  // V's right arm through object 0 (the unit's drawing position): y0 + |x - x0| tan 42 + 128.
  size_t low = turn;
  while (low < bird.size() && bird[low].y == bird[turn].y) ++low;
  ASSERT_LT(low + 1, bird.size());
  EXPECT_LE(bird[low].frame - bird[turn].frame, 3);
  const Seen& lowered = bird[low];
  EXPECT_EQ(lowered.x, bird[turn].x);
  const SlgPair line = GdavoneAttackWork().special.pos;
  const double tan42 = static_cast<double>(SlgSin(42)) / SlgCos(42);
  const double arm = SlgScreenY(line.y) + std::abs(lowered.x - (line.x >> 16)) * tan42;
  EXPECT_NEAR(lowered.y, arm + 128, 1.5);
  // Then back up and to the left.
  ASSERT_LT(low + 3, bird.size());
  EXPECT_LT(bird[low + 3].x, lowered.x);
  EXPECT_LT(bird[low + 3].y, lowered.y);
  // The way back begins at that frame: the bomb task 20 frames on, the white-out at 128, the
  // last piece 32 frames after.
  const int back = lowered.frame;
  int bomb_frame = -1, white_frame = -1, last_piece = -1;
  for (const auto& line : r.trace().lines()) {
    if (bomb_frame < 0 && line.text.rfind("task+ Gdavoe::Bomb", 0) == 0) bomb_frame = line.frame;
    if (white_frame < 0 && bomb_frame >= 0 && line.text.rfind("fade ", 0) == 0 &&
        line.text.size() > 2 && line.text.back() == '1') {
      white_frame = line.frame;
    }
    if (line.text.rfind("task+ Gdavone::bomb", 0) == 0) last_piece = line.frame;
  }
  EXPECT_NEAR(bomb_frame - back, 20, 2);
  EXPECT_NEAR(white_frame - back, 128, 2);
  EXPECT_NEAR(last_piece - white_frame, 32, 1);
}

// With an empty damage list the bomb task stands on the attacker (looping animation 4 where the
// attacker is drawn on the ground), its pieces fall as usual and the attack ends.
TEST(GdavoneBird, EmptyListBombsOnTheAttacker) {
  const AttackCase row = Row(1, 2, AttackLayout::kNone, "empty_bomb");
  AttackRig r(row);
  r.Start();
  bool seen = false;
  SlgPair at{};
  SlgPair expected{};
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    if (seen || GdavoneAttackWork().special.bomb == nullptr) return;
    for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 4)) {
      if (a.loop == 0) continue;
      seen = true;
      at = {a.x, a.y};
      const SlgUnit& u = r.attacker();
      const SlgPair p = Slg::PosToScreen({u.x, u.y});
      expected = {SlgScreenX(p.x), SlgScreenY(p.y)};
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  ASSERT_TRUE(seen);
  EXPECT_EQ(at.x, expected.x);
  EXPECT_EQ(at.y, expected.y);
  EXPECT_NE(r.trace().Find("task+ Gdavone::bomb0 "), nullptr);
  EXPECT_EQ(r.trace().Find("task+ Gdavone::Hit"), nullptr);
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
// the step that makes them: the attack still ends and nothing is left behind. No feathers: step 6
// follows step 4's 37 frames at once; no bird: step 8 follows step 6 at once, then 31 frames.
TEST(GdavoneSpecial, RefusedEffectsStillEndTheAttack) {
  const struct {
    const char* name;
    uint32_t step;  // the step whose frames make it
  } cases[] = {{"Gdavoe::Bomb", 7}, {"Gdavone::hane", 4}, {"Gdavone::Hinotori", 6}};
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
    std::map<uint32_t, int> first_frame;  // step -> the first frame the unit was seen at it
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      if (r.attacker().state == 6) first_frame.emplace(r.attacker().step, r.frames());
    });
    Battle().alloc.refuse = nullptr;
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(r.trace().Find(std::string("task+ ") + c.name + " "), nullptr);
    if (step == 4) {
      EXPECT_EQ(first_frame.count(5), 0u);
      ASSERT_TRUE(first_frame.count(4) && first_frame.count(6));
      EXPECT_NEAR(first_frame[6] - first_frame[4], 37, 2);
    }
    if (step == 6) {
      EXPECT_EQ(first_frame.count(7), 0u);
      ASSERT_TRUE(first_frame.count(8));
      EXPECT_NEAR(r.trace().FrameOf("unit 0 state 7") - first_frame[8], 31, 2);
    }
  }
}

// A battle that ends mid-attack (the rig goes with its context) gives back what the attack holds:
// LeakSanitizer finds nothing left of the context, its objects or the pictures.
TEST(GdavoneSpecial, BattleEndingMidAttackLeavesNothing) {
  for (const int type : {0, 1}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackRig r(Row(type, 1, AttackLayout::kFront, "cut_short"));
    r.Start();
    const uint32_t at = type == 0 ? 1 : 4;  // the normal's objects play while it stays at 1
    for (int i = 0; i < 400 && !(r.attacker().state == 6 && r.attacker().step >= at); ++i) r.Step();
    for (int i = 0; i < 5; ++i) r.Step();
    EXPECT_EQ(r.attacker().state, 6);
  }
}

}  // namespace
