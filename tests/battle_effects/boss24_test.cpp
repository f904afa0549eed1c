// The attacks of kind 24 on the attack rig: every type over the directions and target layouts to
// state 7, played twice alike; the normal attack's hits with no target, one and ten targets; the
// special's timeline frame by frame: the held and shaken risers, their rise, the sparks, the
// stones on targets of both sides and on empty cells.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/falling_strikes.h"
#include "tests/battle_effects/boss_play.h"

namespace {

using boss_play::AddListedTarget;
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
  return boss_play::BossSmokeRow("Boss24", kKind, &Boss24Sets, std::move(name), type, dir, layout);
}

TEST(Boss24Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    boss_play::ExpectBossSmokeRows(&SmokeRow, "boss24", type, {0, 1, 2, 3});
  }
}

// The special's rows in two halves, each a test of its own (they run in parallel).
TEST(Boss24Smoke, SpecialDirectionsZeroAndOne) {
  boss_play::ExpectBossSmokeRows(&SmokeRow, "boss24", 1, {0, 1});
}
TEST(Boss24Smoke, SpecialDirectionsTwoAndThree) {
  boss_play::ExpectBossSmokeRows(&SmokeRow, "boss24", 1, {2, 3});
}

}  // namespace

namespace {

// The normal attack holds one hit per target, however many the damage list holds (beyond the
// two its block had room for).
TEST(Boss24Normal, OneHitPerTargetForNoneOneAndTenTargets) {
  for (int targets : {0, 1, 10}) {
    SCOPED_TRACE(targets);
    AttackCase row = SmokeRow("boss24_hits" + std::to_string(targets), 0, 1, AttackLayout::kNone);
    row.before = [targets](AttackRig& r) {
      for (int k = 0; k < targets; ++k) AddListedTarget(r, 2 + k % 5, 16 + 2 * (k / 5));
      ShadowOn(r);
    };
    const boss_play::StrikePlay s = boss_play::PlayStrikes(row, "Boss24");
    EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
    ASSERT_EQ(s.targets.size(), static_cast<size_t>(targets));
    const auto started = s.play.step_set.find(2);
    ASSERT_NE(started, s.play.step_set.end());
    const boss_play::FrameView& v = s.play.frames[static_cast<size_t>(started->second)];
    EXPECT_EQ(boss_play::OfAnm(v.effect, 2).size(), static_cast<size_t>(targets));
  }
}

}  // namespace

namespace {

using boss_play::Anim;
using boss_play::FrameView;
using boss_play::kStateAttack;
using boss_play::OfAnm;
using boss_play::Play;

constexpr int32_t kPx = kFallPx;

bool Holds(const std::vector<AnimeHandle>& handles, AnimeHandle h) {
  return std::find(handles.begin(), handles.end(), h) != handles.end();
}

using SpecialPlay = boss_play::StrikePlay;
using boss_play::TargetView;

// Plays the special in direction 1, with targets of both sides round the attacked unit (kFront)
// or none (kNone). `extra` runs after every frame, as PlayObserved's `between`.
SpecialPlay PlaySpecial(AttackLayout layout,
                        const std::function<void(AttackRig&, const Play&)>& extra = {}) {
  return boss_play::PlayStrikesOnBothSides(SmokeRow("boss24_special_play", 1, 1, layout), "Boss24",
                                           extra);
}

// The stones frame by frame from their making to the end: stone k waits 240 px + the boss's
// drawing y (at the making) above its cell, starts falling 1 + 8k frames after the making, falls
// as FallAt replays it from its start and lands on the frame FallAt lands it: on a target's cell
// the hit (20) starts there that frame, on an empty cell the stone stays on its cell for 20
// frames. Answers the frames each stone started and landed.
struct StoneTimes {
  std::vector<int> start, land;
};
StoneTimes ExpectStonesFallAndLand(const SpecialPlay& s) {
  const Play& p = s.play;
  StoneTimes times;
  const auto made_it = p.step_set.find(10);
  if (made_it == p.step_set.end() || p.state7 < 0) {
    ADD_FAILURE() << "the stones were never made";
    return times;
  }
  const int made = made_it->second;
  const FrameView& at_made = p.frames[static_cast<size_t>(made)];
  const int32_t raise = 240 * kPx + at_made.unit_screen.y;
  const int landing = FallAt({raise, kPx}, 1 << 20).frames;
  struct Cell {
    int x;
    int32_t y;  // 16.16 about the screen centre
    bool target;
  };
  std::vector<Cell> cells;
  for (const SlgPoint& c : kStrikeCells) {
    const int x = 320 + (s.attacked.x >> 16) + c.x;
    const int32_t y = s.attacked.y + c.y * kPx;
    const bool target = std::any_of(s.targets.begin(), s.targets.end(), [&](const TargetView& t) {
      return t.x == x && t.y == 240 + (y >> 16);
    });
    cells.push_back({x, y, target});
    const int start = p.After(made, 1 + 8 * static_cast<int>(times.start.size()));
    times.start.push_back(start);
    times.land.push_back(landing == 0 ? start : p.After(start, landing));
  }
  auto screen_y = [](int32_t y) { return 240 + (y >> 16); };
  // The first frame each hit showed, by its place.
  std::map<std::pair<int, int>, int> hit_at;
  std::vector<AnimeHandle> hits_seen;
  for (int f = made; f <= p.state7; ++f) {
    SCOPED_TRACE(f);
    std::vector<std::pair<int, int>> got, want;
    for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
      if (a.anm >= 15 && a.anm <= 18) got.push_back({a.x, a.y});
      if (a.anm == 20 && !Holds(hits_seen, a.handle)) {
        hits_seen.push_back(a.handle);
        hit_at.emplace(std::make_pair(a.x, a.y), f);
      }
    }
    for (size_t k = 0; k < cells.size(); ++k) {
      const Cell& c = cells[k];
      const int start = times.start[k], land = times.land[k];
      if (f < start) {
        want.push_back({c.x, screen_y(c.y - raise)});
      } else if (f < land) {
        const FallState fall = FallAt({raise, kPx}, p.Between(start, f));
        want.push_back({c.x, screen_y(c.y - raise + fall.drop)});
      } else if (!c.target && f < p.After(land, 20)) {
        want.push_back({c.x, screen_y(c.y)});
      }
    }
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
  }
  for (size_t k = 0; k < cells.size(); ++k) {
    if (!cells[k].target) continue;
    SCOPED_TRACE(k);
    const auto it = hit_at.find({cells[k].x, screen_y(cells[k].y)});
    if (it == hit_at.end()) {
      ADD_FAILURE() << "no hit on the target's cell";
      continue;
    }
    EXPECT_EQ(it->second, times.land[k]);
  }
  EXPECT_EQ(hit_at.size(), s.targets.size());
  return times;
}

class Boss24SpecialPlay : public testing::Test {
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
  static SpecialPlay* play_;
};
SpecialPlay* Boss24SpecialPlay::play_ = nullptr;

TEST_F(Boss24SpecialPlay, StepsAndTheEnd) {
  const Play& p = play_->play;
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_EQ(p.step_set.size(), 10u) << "steps 1-10";
  ASSERT_EQ(play_->targets.size(), 3u);
  // Step 1 runs on into step 2 in the same frame; the columns 64 frames after the replay, the
  // late objects 64 after them.
  EXPECT_EQ(Set(1), p.first_call);
  EXPECT_EQ(Set(2), Set(1) + 1);
  EXPECT_EQ(Set(5), p.After(Set(4), 64));
  EXPECT_EQ(Set(6), p.After(Set(5), 64));
  ASSERT_GT(p.state7, 0);
  // The shadow off in the scene, back on with the stones.
  for (int f = Set(3); f < Set(9); ++f) EXPECT_EQ(At(f).shadow, 0u) << f;
  EXPECT_EQ(At(p.state7).shadow, 1u);
}

TEST_F(Boss24SpecialPlay, ColumnZeroIsHeldAndShakenThenRisesAtFivePixelsAFrame) {
  const Play& p = play_->play;
  ASSERT_GT(Set(7), 0);
  // Held: at its place plus the shake, its clock at 0; the big object shaken by the same.
  for (int f = Set(5); f < Set(6); ++f) {
    SCOPED_TRACE(f);
    const int32_t offset = ShakeOffsetAtFrame(p.Between(Set(5), f)) >> 16;
    const std::vector<Anim> column = OfAnm(At(f).effect, 2);
    ASSERT_EQ(column.size(), 1u);
    EXPECT_EQ(column[0].x, 320 - 256 + offset);
    EXPECT_EQ(column[0].y, 240 + 80);
    EXPECT_EQ(column[0].frame, 0);
    EXPECT_EQ(column[0].priority, play_->base + p.unit_depth - 8);
    const std::vector<Anim> big = OfAnm(At(f).effect, 14);
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].x, 320 + 272 + offset);
    EXPECT_EQ(big[0].y, 240 + 224);
  }
  // It starts 4 frames into step 6 and rises unshaken, gone once above -384 (at 93 frames).
  const int start = p.After(Set(6), 4);
  for (int f = Set(6); f < start; ++f) EXPECT_EQ(OfAnm(At(f).effect, 2)[0].frame, 0) << f;
  int last = -1;
  for (int f = start; f < Set(7); ++f) {
    const std::vector<Anim> column = OfAnm(At(f).effect, 2);
    const int n = p.Between(start, f);
    if (n >= 93) {
      EXPECT_TRUE(column.empty()) << f;
      continue;
    }
    ASSERT_EQ(column.size(), 1u) << f;
    EXPECT_EQ(column[0].x, 320 - 256) << f;
    EXPECT_EQ(column[0].y, 240 + 80 - 5 * n) << f;
    last = f;
  }
  EXPECT_EQ(p.Between(start, last + 1), 93);
}

TEST_F(Boss24SpecialPlay, StepSixEndsWhenTheColumnsAndTopsAreGoneWhileTheLateOnesRise) {
  const Play& p = play_->play;
  ASSERT_GT(Set(7), 0);
  // The thirteen columns and tops: the objects of animations 2-12 before the late ones.
  std::vector<AnimeHandle> risers;
  for (const Anim& a : At(Set(6) - 1).effect) {
    if (a.anm >= 2 && a.anm <= 12) risers.push_back(a.handle);
  }
  ASSERT_EQ(risers.size(), 13u);
  int last = -1;
  for (int f = Set(6); f < Set(7); ++f) {
    for (const Anim& a : At(f).effect) {
      if (Holds(risers, a.handle)) last = f;
    }
  }
  EXPECT_EQ(Set(7), last + 1);
  // The late object of animation 12 (at (192, 320)) rises from 92 frames into step 6 at
  // (320 + 224) / 64 px a frame.
  EXPECT_EQ(RiserSpeed(320 * kPx, 224), 8 * kPx + kPx / 2);
  const int start = p.After(Set(6), 92);
  int seen = 0;
  for (int f = start; f < Set(8); ++f) {
    for (const Anim& a : OfAnm(At(f).effect, 12)) {
      if (Holds(risers, a.handle)) continue;
      const RiserPos want = RiserAt(320 * kPx, RiserSpeed(320 * kPx, 224), p.Between(start, f));
      EXPECT_EQ(a.y, 240 + (want.y >> 16)) << f;
      EXPECT_EQ(a.x, 320 + 192) << f;
      ++seen;
    }
  }
  EXPECT_GT(seen, 20);
}

TEST_F(Boss24SpecialPlay, SparksOneEveryTwelveFramesAtRandomPlaces) {
  const Play& p = play_->play;
  const std::set<uint32_t> kinds{0, 1, 21, 22};
  std::set<int> xs;
  for (int f = Set(4); f < Set(5); ++f) {
    SCOPED_TRACE(f);
    const int n = p.Between(Set(4), f);
    int count = 0;
    for (const Anim& a : At(f).effect) {
      if (kinds.count(a.anm) == 0) continue;
      ++count;
      xs.insert(a.x);
      EXPECT_EQ(a.y, 240 - 144);
      EXPECT_GE(a.x, 0);
      EXPECT_LT(a.x, 640);
      EXPECT_EQ(a.priority, play_->base + p.unit_depth + 16 + static_cast<int>(a.anm));
    }
    EXPECT_EQ(count, n < 1 ? 0 : std::min(12, 1 + (n - 1) / 12));
  }
  EXPECT_GT(xs.size(), 3u) << "new places on every play";
}

TEST_F(Boss24SpecialPlay, StonesStrikeTheTargetsAndBlinkOnEmptyCells) {
  const Play& p = play_->play;
  const int made = Set(10);
  ASSERT_GT(made, 0);
  // Thirteen stones, 240 px + the boss's drawing y above their cells, playing one of 15-18.
  const std::vector<Anim>& first = At(made).effect;
  std::vector<std::pair<int, int>> cells, want;
  std::set<uint32_t> anms;
  const int raise = 240 + (At(made).unit_screen.y >> 16);
  for (const Anim& a : first) {
    if (a.anm < 15 || a.anm > 18) continue;
    anms.insert(a.anm);
    cells.push_back({a.x - 320 - (play_->attacked.x >> 16), a.y + raise - 240 -
                                                                  (play_->attacked.y >> 16)});
  }
  for (const SlgPoint& c : kStrikeCells) want.push_back({c.x, c.y});
  std::sort(cells.begin(), cells.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(cells, want);
  EXPECT_GT(anms.size(), 1u) << "the fall animations vary";
  // The hits: animation 20 on each of the three targets, in front of it.
  std::vector<AnimeHandle> seen;
  std::vector<std::tuple<int, int, int>> got_hits, want_hits;
  for (int f = made; f <= p.state7; ++f) {
    for (const Anim& a : OfAnm(At(f).effect, 20)) {
      if (Holds(seen, a.handle)) continue;
      seen.push_back(a.handle);
      got_hits.push_back({a.x, a.y, a.priority});
    }
  }
  for (const TargetView& t : play_->targets)
    want_hits.push_back({t.x, t.y, play_->base + t.depth - 1});
  std::sort(got_hits.begin(), got_hits.end());
  std::sort(want_hits.begin(), want_hits.end());
  EXPECT_EQ(got_hits, want_hits);
  // The ten on empty cells: still at their cells, shown and hidden in turn, gone after 20 frames.
  std::map<std::pair<int, int>, std::pair<int, int>> blink;  // cell -> first and last frame
  std::map<std::pair<int, int>, std::set<bool>> shown;
  for (int f = made; f <= p.state7; ++f) {
    for (const Anim& a : At(f).effect) {
      if (a.anm < 15 || a.anm > 18) continue;
      const bool on_target = std::any_of(play_->targets.begin(), play_->targets.end(),
                                         [&](const TargetView& t) {
                                           return t.x == a.x && t.y == a.y;
                                         });
      if (on_target) continue;
      // Landed: drawn at a cell's ground (a falling stone is above it).
      const int dx = a.x - 320 - (play_->attacked.x >> 16);
      const int dy = a.y - 240 - (play_->attacked.y >> 16);
      if (std::find(want.begin(), want.end(), std::make_pair(dx, dy)) == want.end()) continue;
      auto [it, fresh] = blink.emplace(std::make_pair(dx, dy), std::make_pair(f, f));
      it->second.second = f;
      shown[{dx, dy}].insert(a.drawn);
    }
  }
  EXPECT_EQ(blink.size(), 10u);
  for (const auto& [cell, span] : blink) {
    SCOPED_TRACE(testing::PrintToString(cell));
    EXPECT_EQ(span.second + 1, p.After(span.first, 20));
    EXPECT_EQ(shown[cell].size(), 2u) << "blinking";
  }
}

TEST_F(Boss24SpecialPlay, StonesStartEveryEightFramesAndLandWhenTheirFallReachesTheCell) {
  const StoneTimes t = ExpectStonesFallAndLand(*play_);
  ASSERT_EQ(t.land.size(), kStrikeCells.size());
  // The boss stands on the screen: the stones fall for some frames before they land.
  for (size_t k = 0; k < t.land.size(); ++k) {
    EXPECT_GT(play_->play.Between(t.start[k], t.land[k]), 5);
  }
}

// A boss drawn 400 px above the screen's centre starts its stones 160 px below their cells
// (raise 240 - 400): each lands on the frame it starts.
TEST(Boss24SpecialHigh, ABossDrawnFarAboveTheScreenLandsItsStonesAtOnce) {
  int32_t saved_lift = 0;
  bool lifted = false, restored = false;
  const SpecialPlay s = PlaySpecial(AttackLayout::kFront, [&](AttackRig& r, const Play& p) {
    SlgUnit& a = r.attacker();
    const uint8_t step = p.frames.back().step;
    if (a.state != kStateAttack) return;
    if (!lifted && step == 9) {
      // Waiting for the white-in: the boss lifted until it is drawn at y -400 px.
      saved_lift = a.lift;
      a.lift += SlgMapToScreen(a).y + 400 * kPx;
      lifted = true;
    } else if (lifted && !restored && step == 10) {
      a.lift = saved_lift;
      restored = true;
    }
  });
  ASSERT_TRUE(restored);
  EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
  EXPECT_EQ(s.play.frames[static_cast<size_t>(s.play.step_set.at(10))].unit_screen.y, -400 * kPx);
  const StoneTimes t = ExpectStonesFallAndLand(s);
  ASSERT_EQ(t.land.size(), kStrikeCells.size());
  EXPECT_EQ(t.land, t.start);
}


// The strike cells centre on the attacked unit; a byte naming no unit in use centres them on the
// first target, and without targets on the boss itself (every stone then blinks).
TEST(Boss24SpecialEdge, StonesCentreOnTheFirstTargetOrTheBossWhenTheByteNamesNoUnit) {
  struct Case {
    const char* name;
    AttackLayout layout;
    bool free_slot;
  } cases[] = {{"no target", AttackLayout::kNone, false},
               {"no target, a free slot", AttackLayout::kNone, true},
               {"three targets, a free slot", AttackLayout::kThree, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SpecialPlay s = boss_play::PlayStrikesCentred(
        SmokeRow("boss24_centre", 1, 1, c.layout), "Boss24", c.free_slot);
    EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
    const StoneTimes t = ExpectStonesFallAndLand(s);
    EXPECT_EQ(t.land.size(), kStrikeCells.size());
  }
}

// Refused: the normal's body and its first hit, the special's boss and its last stone.
TEST(Boss24Edges, MissingSetsAndRefusedObjectsEndOnTheFirstCall) {
  boss_play::ExpectBossEndsOnFirstCall(
      [](int type) { return SmokeRow("boss24_refused", type, 1, AttackLayout::kFront); },
      {{0, 0}, {0, 2}, {1, 0}, {1, 42}});
}

// Without its background the special plays on to its end.
TEST(Boss24Edges, WithoutItsBackgroundTheSpecialPlaysOn) {
  boss_play::ExpectSpecialWithoutBackgrounds(
      SmokeRow("boss24_no_background", 1, 1, AttackLayout::kFront));
}

}  // namespace

namespace {

// The normal attack's objects by direction, as they start: the body (slot 5), the effect and one
// hit on each of three targets (slot 6), at their depths.
TEST(Boss24Normal, BodyEffectAndHitsByDirection) {
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE(dir);
    const uint32_t anm = dir == 0 || dir == 3 ? 1 : 0;
    const SpecialPlay s =
        boss_play::PlayStrikes(SmokeRow("boss24_normal", 0, dir, AttackLayout::kThree), "Boss24");
    EXPECT_TRUE(s.play.failures.empty()) << testing::PrintToString(s.play.failures);
    ASSERT_EQ(s.targets.size(), 3u);
    const auto started = s.play.step_set.find(2);
    ASSERT_NE(started, s.play.step_set.end());
    const FrameView& v = s.play.frames[static_cast<size_t>(started->second)];
    ASSERT_EQ(v.body.size(), 1u);
    EXPECT_EQ(v.body[0].anm, anm);
    std::multiset<std::tuple<uint32_t, int, int, int>> got, want;  // animation, x, y, priority
    for (const Anim& a : v.effect) got.insert({a.anm, a.x, a.y, a.priority});
    want.insert({anm, v.body[0].x, v.body[0].y, s.base + s.play.unit_depth - 1});
    for (const TargetView& t : s.targets) want.insert({2, t.x, t.y, s.base + t.depth - 1});
    EXPECT_EQ(got, want);
  }
}

}  // namespace
