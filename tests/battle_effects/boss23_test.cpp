// The attacks of kind 23 on the attack rig: every type over the directions and target layouts to
// state 7, played twice alike.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle_effects/falling_strikes.h"
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
  return boss_play::BossSmokeRow("Boss23", kKind, &Boss23Sets, std::move(name), type, dir, layout);
}

TEST(Boss23Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    boss_play::ExpectBossSmokeRows(&SmokeRow, "boss23", type, {0, 1, 2, 3});
  }
}

// The special's rows in two halves, each a test of its own (they run in parallel).
TEST(Boss23Smoke, SpecialDirectionsZeroAndOne) {
  boss_play::ExpectBossSmokeRows(&SmokeRow, "boss23", 1, {0, 1});
}
TEST(Boss23Smoke, SpecialDirectionsTwoAndThree) {
  boss_play::ExpectBossSmokeRows(&SmokeRow, "boss23", 1, {2, 3});
}

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

namespace {

using boss_play::Anim;
using boss_play::FrameView;
using boss_play::OfAnm;
using boss_play::Play;
using SpecialPlay = boss_play::StrikePlay;
using boss_play::TargetView;

constexpr int32_t kPx = kFallPx;

// Plays the special in direction 1, with targets of both sides round the attacked unit (kFront)
// or none (kNone).
SpecialPlay PlaySpecial(AttackLayout layout) {
  return boss_play::PlayStrikesOnBothSides(SmokeRow("boss23_special_play", 1, 1, layout), "Boss23");
}

// Whether frame f shows an object of animation `anm` at (x, y) that frame f - 1 did not show
// there (a new play).
bool NewPlayAt(const Play& p, int f, uint32_t anm, int x, int y, int priority) {
  const auto shows = [&](int g, AnimeHandle h) {
    for (const Anim& a : p.frames[static_cast<size_t>(g)].effect) {
      if (a.handle == h && a.anm == anm && a.x == x && a.y == y) return true;
    }
    return false;
  };
  for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
    if (a.anm == anm && a.x == x && a.y == y && a.priority == priority && !shows(f - 1, a.handle)) {
      return true;
    }
  }
  return false;
}

constexpr int32_t kTrailDelays[] = {1, 5, 9, 13};
constexpr int8_t kMeteorDepth[] = {-1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1};
constexpr int8_t kMeteorEmptyDepth[] = {-1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, 2};

// The meteors frame by frame from their making to the end (direction 1: they come from the upper
// left): meteor k waits d = 360 px + the boss's drawing y saved at the scene's start up and left
// of its cell, starts falling 8 + 8k frames after the making, falls as FallAt replays it from a
// speed of 2 px a frame, its trails starting at its place 1, 5, 9 and 13 frames into the fall;
// it lands on the frame FallAt lands it: 6 then 7 on a target of side 0, 4 then 8 on another
// side's target (depth target - 1) and on an empty cell (the empty-cell depths).
void ExpectMeteorsFallAndLand(const SpecialPlay& s) {
  const Play& p = s.play;
  const auto made_it = p.step_set.find(9);
  const auto saved_it = p.step_set.find(2);
  ASSERT_TRUE(made_it != p.step_set.end() && saved_it != p.step_set.end() && p.state7 > 0);
  const int made = made_it->second;
  const int unit = p.unit_depth;
  const int32_t d = 360 * kPx + p.frames[static_cast<size_t>(saved_it->second)].unit_screen.y;
  const int landing = FallAt({d, 2 * kPx}, 1 << 20).frames;
  ASSERT_GT(landing, 10);
  struct Meteor {
    SlgPair land;  // 16.16 about the screen centre
    int start, lands;
    int priority;          // falling
    const TargetView* on;  // the target on its cell
  };
  std::vector<Meteor> meteors;
  for (size_t k = 0; k < kStrikeCells.size(); ++k) {
    const SlgPair land{s.attacked.x + kStrikeCells[k].x * kPx,
                       s.attacked.y + kStrikeCells[k].y * kPx};
    const TargetView* on = nullptr;
    for (const TargetView& t : s.targets) {
      if (t.x == 320 + (land.x >> 16) && t.y == 240 + (land.y >> 16)) on = &t;
    }
    const int start = p.After(made, 8 + 8 * static_cast<int>(k));
    meteors.push_back({land, start, p.After(start, landing), s.base + unit + kMeteorDepth[k], on});
  }
  // Where meteor m stands at frame f of its wait or fall (screen pixels).
  const auto place = [&](const Meteor& m, int f) {
    const int32_t drop = f < m.start ? 0 : FallAt({d, 2 * kPx}, p.Between(m.start, f)).drop;
    const int32_t left = d - drop;
    return std::make_pair(320 + ((m.land.x - left) >> 16), 240 + ((m.land.y - left) >> 16));
  };
  for (int f = made; f <= p.state7; ++f) {
    SCOPED_TRACE(f);
    std::vector<std::tuple<int, int, int>> got, want;
    for (const Anim& a : OfAnm(p.frames[static_cast<size_t>(f)].effect, 2)) {
      got.push_back({a.x, a.y, a.priority});
    }
    for (const Meteor& m : meteors) {
      if (f >= m.lands) continue;
      const auto [x, y] = place(m, f);
      want.push_back({x, y, m.priority});
    }
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
  }
  for (size_t k = 0; k < meteors.size(); ++k) {
    SCOPED_TRACE(k);
    const Meteor& m = meteors[k];
    // The trails at their delays, at the meteor's place, at its depth.
    for (int32_t delay : kTrailDelays) {
      const int f = p.After(m.start, delay);
      if (f >= m.lands) continue;
      const auto [x, y] = place(m, f);
      EXPECT_TRUE(NewPlayAt(p, f, 1, x, y, m.priority)) << "trail " << delay << " at " << f;
    }
    // The landing: the first animation on the landing frame, the second after it, in one place
    // and at one depth.
    const bool side0 = m.on != nullptr && m.on->side == 0;
    const uint32_t first = side0 ? 6 : 4, second = side0 ? 7 : 8;
    const int priority = m.on != nullptr ? s.base + m.on->depth - 1
                                         : s.base + unit + kMeteorEmptyDepth[k];
    const int x = 320 + (m.land.x >> 16), y = 240 + (m.land.y >> 16);
    EXPECT_TRUE(NewPlayAt(p, m.lands, first, x, y, priority)) << "first landing " << first;
    int second_at = -1;
    for (int f = m.lands + 1; f <= p.state7 && second_at < 0; ++f) {
      if (NewPlayAt(p, f, second, x, y, priority)) second_at = f;
    }
    EXPECT_GT(second_at, m.lands) << "second landing " << second;
  }
  // Everything gone with the end.
  EXPECT_TRUE(p.frames[static_cast<size_t>(p.state7)].effect.empty());
}

class Boss23SpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() { play_ = new SpecialPlay(PlaySpecial(AttackLayout::kFront)); }
  static void TearDownTestSuite() {
    delete play_;
    play_ = nullptr;
  }
  static int Set(int step) {
    const auto it = play_->play.step_set.find(step);
    return it != play_->play.step_set.end() ? it->second : -1;
  }
  static const FrameView& At(int f) { return play_->play.frames[static_cast<size_t>(f)]; }
  static int Unit() { return play_->base + play_->play.unit_depth; }
  static SpecialPlay* play_;
};
SpecialPlay* Boss23SpecialPlay::play_ = nullptr;

TEST_F(Boss23SpecialPlay, StepsAndTheEnd) {
  const Play& p = play_->play;
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_EQ(p.step_set.size(), 9u) << "steps 1-9";
  ASSERT_EQ(play_->targets.size(), 3u);
  EXPECT_EQ(Set(1), p.first_call);
  EXPECT_EQ(Set(2), Set(1) + 1);
  EXPECT_EQ(Set(5), Set(4) + 1) << "step 4 lasts one frame";
  EXPECT_EQ(Set(8), Set(7) + 1);
  ASSERT_GT(p.state7, Set(9));
  // The shadow off in the scene, back on with the meteors.
  for (int f = Set(2); f < Set(9); ++f) EXPECT_EQ(At(f).shadow, 0u) << f;
  EXPECT_EQ(At(p.state7).shadow, 1u);
  // The boss: animation 1 in the scene at (0, 0), released with the scene, then its map
  // animation 0 (direction 1) at its place.
  for (int f = Set(3); f < Set(7); ++f) {
    ASSERT_EQ(At(f).body.size(), 1u) << f;
    EXPECT_EQ(At(f).body[0].anm, 1u);
    EXPECT_EQ(At(f).body[0].x, 320);
    EXPECT_EQ(At(f).body[0].y, 240);
  }
  EXPECT_TRUE(At(Set(7)).body.empty());
  ASSERT_EQ(At(Set(8)).body.size(), 1u);
  EXPECT_EQ(At(Set(8)).body[0].anm, 0u);
  EXPECT_EQ(At(Set(8)).body[0].x, 320 + (At(Set(8)).unit_screen.x >> 16));
  EXPECT_EQ(At(Set(8)).body[0].y, 240 + (At(Set(8)).unit_screen.y >> 16));
}

TEST_F(Boss23SpecialPlay, TheOrbPlaysThenGrowsToOneAndAHalf) {
  const Play& p = play_->play;
  ASSERT_GT(Set(7), 0);
  for (int f = Set(3); f < Set(4); ++f) {
    SCOPED_TRACE(f);
    const std::vector<Anim> orb = OfAnm(At(f).effect, 14), glow = OfAnm(At(f).effect, 15);
    ASSERT_EQ(orb.size(), 1u);
    ASSERT_EQ(glow.size(), 1u);
    EXPECT_EQ(std::make_tuple(orb[0].x, orb[0].y, orb[0].priority),
              std::make_tuple(320, 240, Unit() - 2));
    EXPECT_EQ(orb[0].zoom, kPx) << "not grown before it plays 16";
    EXPECT_EQ(std::make_tuple(glow[0].x, glow[0].y, glow[0].priority),
              std::make_tuple(320, 240, Unit() - 1));
  }
  // From the end of 14: 16 at (-80, 64) growing by 1/128 a frame up to 1.5, and 18, until the
  // white-out has ended.
  std::set<int32_t> zooms;
  for (int f = Set(4); f < Set(7); ++f) {
    SCOPED_TRACE(f);
    const std::vector<Anim> orb = OfAnm(At(f).effect, 16), ring = OfAnm(At(f).effect, 18);
    ASSERT_EQ(orb.size(), 1u);
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(std::make_tuple(orb[0].x, orb[0].y, orb[0].priority),
              std::make_tuple(320 - 80, 240 + 64, Unit() - 2));
    const int32_t zoom = OrbZoom(p.Between(Set(4), f));
    EXPECT_EQ(orb[0].zoom, zoom);
    EXPECT_EQ(orb[0].zoom_y, zoom);
    zooms.insert(orb[0].zoom);
    EXPECT_EQ(std::make_tuple(ring[0].x, ring[0].y, ring[0].priority),
              std::make_tuple(320, 240, Unit() - 1));
  }
  EXPECT_TRUE(zooms.count(kPx) && zooms.count(kPx + kPx / 2)) << "from 1.0 to 1.5";
  for (uint32_t anm : {14u, 15u, 16u, 18u}) EXPECT_TRUE(OfAnm(At(Set(7)).effect, anm).empty());
}

TEST_F(Boss23SpecialPlay, RocksOneEveryTwelveFramesReplayedAtNewPlaces) {
  const Play& p = play_->play;
  ASSERT_GT(Set(6), 0);
  std::set<int> xs;
  std::set<uint32_t> anms;
  for (int f = Set(3); f < Set(6); ++f) {
    SCOPED_TRACE(f);
    const int n = p.Between(Set(3), f);
    int count = 0;
    for (const Anim& a : At(f).effect) {
      if (a.anm < 9 || a.anm > 13) continue;
      ++count;
      xs.insert(a.x);
      anms.insert(a.anm);
      EXPECT_EQ(a.y, 240);
      EXPECT_GE(a.x, 0);
      EXPECT_LT(a.x, 640);
      EXPECT_EQ(a.priority, Unit() + static_cast<int>(a.anm));
    }
    EXPECT_EQ(count, n < 1 ? 0 : std::min(12, 1 + (n - 1) / 12));
  }
  EXPECT_GT(xs.size(), 12u) << "replays at new places";
  EXPECT_GT(anms.size(), 1u);
  for (const Anim& a : At(Set(6)).effect) EXPECT_FALSE(a.anm >= 9 && a.anm <= 13);
}

TEST_F(Boss23SpecialPlay, FlamesBurnOnTheEllipseThenRiseWithTheirTrails) {
  const Play& p = play_->play;
  ASSERT_GT(Set(6), 0);
  constexpr int8_t kFlameDepth[] = {-4, -4, -4, -4, -4, -4, 4, 4, 4, 4, 4, 4};
  int last_gone = -1;
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    const SlgPair place = FlamePlace(i);
    const int x = 320 + (place.x >> 16), y = 240 + (place.y >> 16);
    const int priority = Unit() + kFlameDepth[i];
    const auto at = [&](int f, uint32_t anm) {
      std::vector<Anim> out;
      for (const Anim& a : OfAnm(At(f).effect, anm)) {
        if (a.x == x) out.push_back(a);
      }
      return out;
    };
    // Active from 8 + 8i frames after the orb's switch: animation 0 at its place.
    const int active = p.After(Set(4), 8 + 8 * i);
    for (int f = Set(4); f < active; ++f) ASSERT_TRUE(at(f, 0).empty()) << f;
    // It rises from the frame after its animation shows ended (the routine reads the end on its
    // next frame).
    int rise = -1;
    for (int f = active; f < Set(6) && rise < 0; ++f) {
      const std::vector<Anim> flame = at(f, 0);
      ASSERT_EQ(flame.size(), 1u) << f;
      EXPECT_EQ(std::make_tuple(flame[0].y, flame[0].priority), std::make_tuple(y, priority)) << f;
      EXPECT_TRUE(at(f, 1).empty()) << "no trail before the rise";
      if (flame[0].ended) rise = f + 1;
    }
    ASSERT_GT(rise, 0);
    int gone = -1;
    for (int f = rise; f <= Set(6) && gone < 0; ++f) {
      const FlameRise r = FlameRiseAt(place.y, p.Between(rise, f));
      const std::vector<Anim> flame = at(f, 0);
      if (r.gone) {
        gone = f;
        EXPECT_TRUE(flame.empty()) << f;
        EXPECT_TRUE(at(f, 1).empty()) << "the trails go with their flame";
        continue;
      }
      ASSERT_EQ(flame.size(), 1u) << f;
      EXPECT_EQ(flame[0].y, 240 + (r.y >> 16)) << f;
      const int n = p.Between(rise, f);
      EXPECT_EQ(static_cast<int>(at(f, 1).size()),
                std::count_if(std::begin(kTrailDelays), std::end(kTrailDelays),
                              [n](int32_t delay) { return delay <= n; }))
          << f;
    }
    ASSERT_GT(gone, 0);
    last_gone = std::max(last_gone, gone);
    // The trails start at the flame's place on their delays and play again there as they end.
    std::set<int> trail_ys;
    for (int32_t delay : kTrailDelays) {
      const int f = p.After(rise, delay);
      if (f >= gone) continue;
      const int flame_y = 240 + (FlameRiseAt(place.y, p.Between(rise, f)).y >> 16);
      EXPECT_TRUE(NewPlayAt(p, f, 1, x, flame_y, priority)) << "trail " << delay << " at " << f;
    }
    for (int f = rise; f < gone; ++f) {
      for (const Anim& a : at(f, 1)) trail_ys.insert(a.y);
    }
    EXPECT_GT(trail_ys.size(), 4u) << "the trails play again higher up";
  }
  EXPECT_EQ(Set(6), last_gone) << "step 5 ends with the last flame gone";
}

TEST_F(Boss23SpecialPlay, MeteorsFallFromTheUpperLeftAndLandBySide) {
  // Targets of side 0 and 1 (the one in front is of side 0) on three of the thirteen cells.
  std::set<uint8_t> sides;
  for (const TargetView& t : play_->targets) sides.insert(t.side);
  EXPECT_EQ(sides, (std::set<uint8_t>{0, 1}));
  ExpectMeteorsFallAndLand(*play_);
}

// The strike cells centre on the attacked unit; a byte naming no unit in use centres them on the
// first target, and without targets on the boss itself (every meteor then plays 4 then 8 at the
// empty-cell depths).
TEST(Boss23SpecialEdge, MeteorsCentreOnTheFirstTargetOrTheBossWhenTheByteNamesNoUnit) {
  struct Case {
    const char* name;
    AttackLayout layout;
    bool free_slot;
  } cases[] = {{"no target", AttackLayout::kNone, false},
               {"three targets, a free slot", AttackLayout::kThree, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SpecialPlay s = boss_play::PlayStrikesCentred(
        SmokeRow("boss23_centre", 1, 1, c.layout), "Boss23", c.free_slot);
    EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
    ExpectMeteorsFallAndLand(s);
  }
}

// Refused: the normal's body and its last further object, the special's boss and its last
// meteor trail.
TEST(Boss23Edges, MissingSetsAndRefusedObjectsEndOnTheFirstCall) {
  boss_play::ExpectBossEndsOnFirstCall(
      [](int type) { return SmokeRow("boss23_refused", type, 1, AttackLayout::kFront); },
      {{0, 0}, {0, 5}, {1, 0}, {1, 140}});
}

// Without its background the special plays on to its end.
TEST(Boss23Edges, WithoutItsBackgroundTheSpecialPlaysOn) {
  boss_play::ExpectSpecialWithoutBackgrounds(
      SmokeRow("boss23_no_background", 1, 1, AttackLayout::kFront));
}

}  // namespace

namespace {

// The normal attack's objects by direction, as they start: the body (slot 5) and the five effect
// objects (slot 6) with their depths about the unit's.
TEST(Boss23Normal, BodySwingsAndFurtherObjectsByDirection) {
  struct Case {
    int dir;
    uint32_t body;
    std::multiset<std::pair<uint32_t, int>> effects;  // animation, depth offset
  } cases[] = {
      {0, 1, {{2, -1}, {3, 1}, {9, -1}, {6, 1}, {7, 1}}},
      {1, 0, {{0, -1}, {1, 1}, {8, -1}, {4, -1}, {5, -1}}},
      {2, 0, {{0, -1}, {1, 1}, {8, -1}, {4, -1}, {5, -1}}},
      {3, 1, {{2, -1}, {3, 1}, {9, -1}, {6, 1}, {7, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    const SpecialPlay s =
        boss_play::PlayStrikes(SmokeRow("boss23_normal", 0, c.dir, AttackLayout::kFront), "Boss23");
    EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
    const auto started = s.play.step_set.find(2);
    ASSERT_NE(started, s.play.step_set.end());
    const FrameView& v = s.play.frames[static_cast<size_t>(started->second)];
    ASSERT_EQ(v.body.size(), 1u);
    EXPECT_EQ(v.body[0].anm, c.body);
    std::multiset<std::pair<uint32_t, int>> effects;
    for (const Anim& a : v.effect) {
      effects.insert({a.anm, a.priority - s.base - s.play.unit_depth});
    }
    EXPECT_EQ(effects, c.effects);
  }
}

}  // namespace
