// Amateras's attacks (kinds 26, 27) on the attack rig: the rays' border arithmetic, the orb, the
// flash, the bolts and the beam; the special attack's steps, rays, bolts and target hits (looping
// and not); the normal attack's beam and cell hits on open ground, before a wall and on a target;
// the smoke rows of both kinds.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/amateras.h"
#include "battle_effects/boss_frame.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/boss_play.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using boss_play::Play;
using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::CellAlong;
using testsupport::CellWord;

constexpr int32_t kPx = 0x10000;

// ---- The arithmetic ----

TEST(AmaterasRays, BorderPointsAndCornersAtAgesThreeAndTwelve) {
  const std::pair<int32_t, SlgPoint> border[] = {
      {0, {-320, -240}},   {639, {319, -240}},  {640, {320, -240}}, {1119, {320, 239}},
      {1120, {320, 240}},  {1759, {-319, 240}}, {1760, {-320, 240}}, {2239, {-320, -239}}};
  for (const auto& [q, pt] : border) {
    const SlgPoint got = AmaterasBorderPoint(q);
    EXPECT_EQ(got.x, pt.x) << q;
    EXPECT_EQ(got.y, pt.y) << q;
  }
  struct Case {
    int32_t p, age;
    SlgPoint centre;
    std::array<PolygonPoint, 4> corners;
  };
  const Case cases[] = {
      // Age 3: p .. p + 3 on the top edge, about the screen centre.
      {100, 3, {0, 0}, {{{-220, -240}, {0, 0}, {0, 0}, {-217, -240}}}},
      // Age 12 crossing the top-right corner: s = 630 + 8 (top), e = 646 (right edge).
      {630, 12, {0, 0}, {{{318, -240}, {0, 0}, {0, 1}, {320, -234}}}},
      // The same about a ray centre at (24, -64): both points made relative to it.
      {630, 12, {24, -64}, {{{294, -176}, {0, 0}, {0, 1}, {296, -170}}}},
  };
  for (const Case& c : cases) {
    const std::array<PolygonPoint, 4> got = AmaterasRayCorners(c.p, c.age, c.centre);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(got[i].x, c.corners[i].x) << c.p << " age " << c.age << " corner " << i;
      EXPECT_EQ(got[i].y, c.corners[i].y) << c.p << " age " << c.age << " corner " << i;
    }
  }
}

TEST(AmaterasArithmetic, OrbFlashBoltsAndTheBeam) {
  EXPECT_EQ(AmaterasOrbZoom(0), kPx / 64);
  EXPECT_EQ(AmaterasOrbZoom(78), 79 * kPx / 64);
  EXPECT_EQ(AmaterasOrbZoom(79), kAmaterasOrbFull);
  EXPECT_EQ(AmaterasOrbZoom(500), kAmaterasOrbFull);
  EXPECT_EQ(AmaterasFlashZoom(0), kPx / 16);
  EXPECT_EQ(AmaterasFlashZoom(62), 63 * kPx / 16);
  EXPECT_EQ(AmaterasFlashZoom(63), kAmaterasFlashFull);
  // Bolts at n = 10: angle 0 straight up, 128 (a quarter turn) to the right.
  const SlgPair source{24 * kPx, -64 * kPx};
  const SlgPair up = AmaterasBoltAt(source, 0, 10);
  EXPECT_EQ(up.x, source.x);
  EXPECT_EQ(up.y, source.y - 160 * kPx);
  const SlgPair right = AmaterasBoltAt(source, 128, 10);
  EXPECT_EQ(right.x, source.x + 160 * kPx);
  EXPECT_EQ(right.y, source.y);
  EXPECT_FALSE(AmaterasOffScreen({320 * kPx, -240 * kPx}));
  EXPECT_TRUE(AmaterasOffScreen({321 * kPx, 0}));
  EXPECT_TRUE(AmaterasOffScreen({0, -241 * kPx}));
  // The shift's rounding: -0.5, 0.3, 1.7, -1.2 pixels.
  const std::pair<int32_t, int32_t> shifts[] = {
      {-kPx / 2, -1}, {kPx * 3 / 10, 1}, {kPx * 17 / 10, 1}, {-kPx * 12 / 10, -2}, {0, 0}};
  for (const auto& [v, px] : shifts) EXPECT_EQ(AmaterasShiftPixels(v), px) << v;
  // The beam's far end over its growth and its shift by direction (far end to origin).
  constexpr std::array<SlgPoint, 4> kOrigin{{{24, -88}, {24, -64}, {-24, -64}, {-24, -88}}};
  constexpr std::array<SlgPoint, 4> kReach{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
  for (size_t d = 0; d < 4; ++d) {
    const SlgPair o{kOrigin[d].x * kPx, kOrigin[d].y * kPx};
    const SlgPair r{kReach[d].x * kPx, kReach[d].y * kPx};
    for (const int32_t n : {0, 8, 15}) {
      const SlgPair e = AmaterasBeamEnd(o, r, n);
      EXPECT_EQ(e.x, o.x + (r.x - o.x) / 16 * n) << d << " " << n;
      EXPECT_EQ(e.y, o.y + (r.y - o.y) / 16 * n) << d << " " << n;
    }
    const SlgPair far = AmaterasBeamEnd(o, r, 15);
    const int32_t a = SlgAtan2((o.y - far.y) >> 16, (o.x - far.x) >> 16);
    const SlgPoint s = AmaterasBeamShift(far, o);
    EXPECT_EQ(s.x, AmaterasShiftPixels(SlgCos(a) * 8)) << d;
    EXPECT_EQ(s.y, AmaterasShiftPixels(SlgSin(a) * 8)) << d;
    EXPECT_NE(s.x, 0) << "the shift never loses the width";
  }
}

// ---- Plays ----

// Slot 8: the orb, the hit (4 frames of 2 ticks; of 6 ticks, so that steps 9 and 10 outlast
// the 32 bolts' start; or held on its first frame: never looping), three bolts, the flash; slot
// 7: the boss and its map bodies; slot 6: the swings, the hits, the beam head and the travel
// (0-13); slot 5: the body; background 0 at the cut's 704 x 480.
enum class HitLook { kLooping, kSlow, kStopping };
void AmaterasSets(AttackFixtures& f, HitLook hit) {
  std::vector<AttackAnim> effect(6, AttackAnim{.frames = 4});
  if (hit == HitLook::kSlow) effect[1] = AttackAnim{.frames = 4, .ticks = 6};
  if (hit == HitLook::kStopping) effect[1] = AttackAnim{.frames = 2, .ticks = 0};
  f.Slot(kAnmSpecialEffect, effect);
  f.Slot(kAnmSpecialBody, 3, AttackAnim{.frames = 4});
  f.Slot(kAnmAttackEffect, 14, AttackAnim{.frames = 4});
  f.Slot(kAnmAttackBody, 2, AttackAnim{.frames = 6});
  f.Pictures(kAnmSpecialBg, {{704, 480}});
}
void LoopingSets(AttackFixtures& f) { AmaterasSets(f, HitLook::kLooping); }
void SlowHitSets(AttackFixtures& f) { AmaterasSets(f, HitLook::kSlow); }
void StoppingSets(AttackFixtures& f) { AmaterasSets(f, HitLook::kStopping); }

AttackCase Row(int kind, int type, int dir, AttackLayout layout) {
  return {.name = "amateras",
          .kind = kind,
          .type = type,
          .dir = dir,
          .layout = layout,
          .frame_limit = 2500,
          .leaves = testsupport::kLeavesCamera,
          .fixtures = &LoopingSets,
          .before = &boss_play::ShadowOn};
}

int LineScrollStrips(int* whole) {
  int strips = 0;
  *whole = 0;
  const SprBuffer* buffer = Ctx().ddraw_spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (buffer == nullptr) return 0;
  for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
    const SprLink* tail = &buffer->tail[static_cast<size_t>(p)];
    for (const SprLink* l = buffer->head[static_cast<size_t>(p)].next; l != nullptr && l != tail;
         l = l->next) {
      const auto* e = static_cast<const SprBufferEntry*>(l);
      if (e->name == nullptr || std::string(e->name) != "Amateras::LineScroll") continue;
      ++strips;
      if (e->sprite != nullptr && e->sprite->width == 704 && e->sprite->height == 2) ++*whole;
    }
  }
  return strips;
}

// Rays: polygons of colour 0x310..0x31F at the boss's depth - 1.
int RayPolys(const boss_play::FrameView& v, int unit_depth) {
  int n = 0;
  for (const EffectPoly& p : v.polys) n += p.priority == unit_depth - 1 + 1536 ? 1 : 0;
  return n;
}

void ExpectSpecialTimeline(int kind) {
  int max_strips = 0, max_whole = 0;
  const Play p = boss_play::PlayObserved(
      Row(kind, 1, 1, AttackLayout::kThree), 0, "Amateras", 0, [&](AttackRig&, const Play&) {
        int whole = 0;
        max_strips = std::max(max_strips, LineScrollStrips(&whole));
        max_whole = std::max(max_whole, whole);
      });
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  for (int s = 1; s <= 11; ++s) EXPECT_EQ(p.step_set.count(s), 1u) << "step " << s;
  EXPECT_EQ(max_strips, 240);
  EXPECT_EQ(max_whole, 240) << "every strip is cut 704 pixels wide";
  const auto at = [&](int f) -> const boss_play::FrameView& {
    return p.frames[static_cast<size_t>(f)];
  };
  // The orb: 1/64 at its start, 1.25 from frame 79 on (step 4 set then).
  const int orb = p.step_set.at(3);
  ASSERT_EQ(OfAnm(at(orb).effect, 0).size(), 1u);
  EXPECT_EQ(OfAnm(at(orb).effect, 0)[0].zoom, kPx / 64);
  EXPECT_EQ(p.step_set.at(4), p.After(orb, 79));
  // Rays: one every 4 frames (the first after 1) up to 32, at the boss's depth - 1.
  const int rays = p.step_set.at(4);
  for (int f = rays + 1; f < p.step_set.at(5); ++f) {
    const int n = p.Between(rays, f);
    EXPECT_EQ(RayPolys(at(f), p.unit_depth), n < 1 ? 0 : std::min(32, (n - 1) / 4 + 1)) << f;
  }
  // The white-out once; no ray is left on the map's return.
  int fades = 0;
  for (int f = rays; f <= p.step_set.at(5); ++f) fades += at(f).fading && !at(f - 1).fading;
  EXPECT_EQ(fades, 1);
  EXPECT_EQ(RayPolys(at(p.step_set.at(5)), p.unit_depth), 0);
  // The flash: 4.0 from n = 63.
  const int flash = p.step_set.at(8);
  EXPECT_EQ(p.step_set.at(9), p.After(flash, 63));
  EXPECT_EQ(OfAnm(at(flash).effect, 5)[0].alpha, 0x10100u);
  // Bolts: one every 3 frames, coming back in steps 9 and 10.
  const int bolts = p.step_set.at(9);
  for (int f = bolts + 1; f < p.step_set.at(11); ++f) {
    size_t live = 0;
    for (uint32_t a = 2; a <= 4; ++a) live += OfAnm(at(f).effect, a).size();
    EXPECT_EQ(live, static_cast<size_t>(std::min(32, p.Between(bolts, f) / 3))) << f;
  }
  // Four hits per target in step 10; each ends at its fifth loop.
  EXPECT_EQ(OfAnm(at(p.step_set.at(10)).effect, 1).size(), 4 * p.targets.size());
  EXPECT_TRUE(OfAnm(at(p.step_set.at(11)).effect, 1).empty());
  // Step 11 ends once the bolts and the rays are gone; the shadow is back from step 8.
  EXPECT_TRUE(OfAnm(at(p.state7).effect, 2).empty());
  for (int f = p.step_set.at(2); f < p.step_set.at(8); ++f) EXPECT_EQ(at(f).shadow, 0u) << f;
  EXPECT_EQ(at(p.step_set.at(8)).shadow, 1u);
  for (int f = p.step_set.at(2); f < p.step_set.at(5); ++f) EXPECT_EQ(at(f).flags & 6, 0) << f;
  EXPECT_EQ(at(p.step_set.at(6)).flags & 6, 6);
}

TEST(AmaterasSpecial, TheTimelineOfKind26) { ExpectSpecialTimeline(26); }
TEST(AmaterasSpecial, Kind27PlaysTheSameTimelineWithItsOwnSets) { ExpectSpecialTimeline(27); }

// Bolts: up to 32, at random angles; once all have started, one is seen at the source again
// (a bolt that left the screen started over) while the hits run.
TEST(AmaterasSpecial, BoltAnglesVaryAndComeBackToTheSource) {
  AttackCase row = Row(26, 1, 0, AttackLayout::kFront);
  row.fixtures = &SlowHitSets;
  const Play p = boss_play::PlayObserved(row, 0, "Amateras");
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  const int bolts = p.step_set.at(9);
  const auto live = [&](int f) {
    std::vector<EffectAnim> all;
    for (uint32_t a = 2; a <= 4; ++a) {
      for (const EffectAnim& b : OfAnm(p.frames[static_cast<size_t>(f)].effect, a)) {
        all.push_back(b);
      }
    }
    return all;
  };
  // The first bolt, on the frame it starts, stands at the source.
  const int first = p.After(bolts, 3);
  ASSERT_EQ(live(first).size(), 1u);
  const std::pair<int, int> source{live(first)[0].x, live(first)[0].y};
  const int all_out = p.After(bolts, 32 * 3);
  ASSERT_GT(all_out, 0);
  ASSERT_LT(all_out, p.step_set.at(11)) << "the hits outlast the bolts' start";
  std::set<int32_t> angles;
  size_t most = 0;
  int back_at_source = 0;
  for (int f = bolts; f < p.state7; ++f) {
    const std::vector<EffectAnim> now = live(f);
    most = std::max(most, now.size());
    for (const EffectAnim& b : now) {
      angles.insert(b.rotation);
      if (f > all_out && f < p.step_set.at(11) && std::abs(b.x - source.first) <= 2 &&
          std::abs(b.y - source.second) <= 2) {
        ++back_at_source;
      }
    }
  }
  EXPECT_EQ(most, 32u);
  EXPECT_GT(back_at_source, 0) << "bolts start again at the source";
  EXPECT_GT(angles.size(), 16u) << "random angles";
}

TEST(AmaterasSpecial, AHitThatNeverLoopsIsPlayedAgainAndTheAttackEnds) {
  AttackCase row = Row(26, 1, 2, AttackLayout::kThree);
  row.fixtures = &StoppingSets;
  const Play p = boss_play::PlayObserved(row, 0, "Amateras");
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  // Each play counts one loop: five plays a hit, moving round its target.
  const int hits = p.step_set.at(10);
  std::set<std::pair<int, int>> places;
  for (int f = hits; f < p.step_set.at(11); ++f) {
    for (const EffectAnim& h : OfAnm(p.frames[static_cast<size_t>(f)].effect, 1)) {
      places.insert({h.x, h.y});
    }
  }
  EXPECT_GT(places.size(), 12u);
}

TEST(AmaterasSpecial, FortyTargetsFourHitsEach) {
  AttackCase row = Row(26, 1, 3, AttackLayout::kNone);
  row.before = [](AttackRig& r) {
    Battle().attack.skip_gauge = 1;
    for (int i = 0; i < 40; ++i) AddListedTarget(r, 1 + i % 8, 26 + 2 * (i / 8));
    boss_play::ShadowOn(r);
  };
  const Play p = boss_play::PlayObserved(row, 0, "Amateras");
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  EXPECT_EQ(OfAnm(p.frames[static_cast<size_t>(p.step_set.at(10))].effect, 1).size(), 160u);
}

// ---- The normal attack ----

TEST(AmaterasNormal, CellHitsOnTheirDelaysWallsAndATargetOnTheBeam) {
  struct Case {
    const char* name;
    int dir;
    int wall;    // the cell of the wall (0: none)
    int target;  // the cell of a target (0: none)
    int cells;
  };
  const Case cases[] = {{"a wall in front", 1, 1, 0, 0},
                        {"three cells, a target on the second", 1, 4, 2, 3},
                        {"ten cells of open ground", 0, 0, 0, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = Row(26, 0, c.dir, AttackLayout::kNone);
    row.before = [c](AttackRig& r) {
      Battle().attack.skip_gauge = 1;
      if (c.wall > 0) {
        const auto w = CellAlong(AttackRig::kColumn, AttackRig::kRow, c.dir, c.wall);
        r.board()->SetCell(w.first, w.second, CellWord(0, 0x400));
      }
      if (c.target > 0) {
        const auto t = CellAlong(AttackRig::kColumn, AttackRig::kRow, c.dir, c.target);
        AddListedTarget(r, t.first, t.second);
      }
      boss_play::ShadowOn(r);
    };
    const Play p = boss_play::PlayObserved(row, 0, "Amateras");
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    const int travel = p.step_set.at(5);
    if (c.cells == 0) {
      EXPECT_EQ(p.state7, travel + 1) << "state 7 on step 5's first frame";
      continue;
    }
    // Cell hit k starts (k - 1) x 8 + 1 frames into the travel (checked while no earlier hit
    // has ended and gone).
    for (int k = 1; k <= std::min(c.cells, 3); ++k) {
      const int due = p.After(travel, (k - 1) * 8 + 1);
      ASSERT_GT(due, 0) << "cell " << k;
      size_t shown_before = 0, shown_at = 0;
      for (const EffectAnim& h : OfAnm(p.frames[static_cast<size_t>(due - 1)].effect, 9))
        shown_before += h.drawn || h.ended ? 1 : 0;
      for (const EffectAnim& h : OfAnm(p.frames[static_cast<size_t>(due)].effect, 9))
        shown_at += h.drawn || h.ended ? 1 : 0;
      EXPECT_GT(shown_at, shown_before) << "cell " << k;
    }
    if (c.target > 0) {
      const int due = p.After(travel, (c.target - 1) * 8 + 12);
      ASSERT_GT(due, 0);
      const std::vector<EffectAnim> before = OfAnm(p.frames[static_cast<size_t>(due - 1)].effect, 4);
      const std::vector<EffectAnim> now = OfAnm(p.frames[static_cast<size_t>(due)].effect, 4);
      ASSERT_EQ(now.size(), 1u);
      ASSERT_EQ(before.size(), 1u);
      EXPECT_FALSE(before[0].drawn);
      EXPECT_TRUE(now[0].drawn);
    }
  }
}

// ---- Smoke rows ----

testsupport::AttackCase SmokeRow(int kind, int type, int dir, AttackLayout layout) {
  AttackCase row = Row(kind, type, dir, layout);
  row.name = "amateras" + std::to_string(kind) + "_type" + std::to_string(type) + "_dir" +
             std::to_string(dir);
  row.routine = type == 1 ? "Amateras::SpecialAttack" : "Amateras::NormalAttack";
  row.prefixes = {"Amateras::"};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kWallAhead}};

void ExpectSmokeRows(int kind, int type, std::initializer_list<int> dirs) {
  for (int dir : dirs) {
    const auto& [d, layout] = kSmokeLayouts[static_cast<size_t>(dir)];
    testsupport::ExpectAttackCase(SmokeRow(kind, type, d, layout));
  }
}

TEST(AmaterasSmoke, Kind26Normal) {
  ExpectSmokeRows(26, 0, {0, 1});
  ExpectSmokeRows(26, 2, {2});
  ExpectSmokeRows(26, 3, {3});
}
TEST(AmaterasSmoke, Kind27Normal) {
  ExpectSmokeRows(27, 0, {2, 3});
  ExpectSmokeRows(27, 2, {0});
  ExpectSmokeRows(27, 3, {1});
}
TEST(AmaterasSmoke, Kind26SpecialNoneAndFront) { ExpectSmokeRows(26, 1, {0, 1}); }
TEST(AmaterasSmoke, Kind26SpecialThreeAndWall) { ExpectSmokeRows(26, 1, {2, 3}); }
TEST(AmaterasSmoke, Kind27SpecialNoneAndFront) { ExpectSmokeRows(27, 1, {0, 1}); }
TEST(AmaterasSmoke, Kind27SpecialThreeAndWall) { ExpectSmokeRows(27, 1, {2, 3}); }

TEST(AmaterasEdges, AMissingSetEndsOnTheFirstCall) {
  for (const auto& [type, slot] :
       {std::pair{1, kAnmSpecialBody}, {1, kAnmSpecialEffect}, {0, kAnmAttackEffect}}) {
    SCOPED_TRACE("type " + std::to_string(type) + " without slot " + std::to_string(slot));
    AttackCase row = Row(26, type, 0, AttackLayout::kFront);
    row.fixtures = [slot](AttackFixtures& f) {
      LoopingSets(f);
      f.Omit(slot);
    };
    const Play p = boss_play::PlayObserved(row, 0, "Amateras");
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    EXPECT_TRUE(p.tasks.empty()) << testing::PrintToString(p.tasks);
  }
}

}  // namespace
