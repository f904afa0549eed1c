// The LUNET heroine unit's normal attack (kind 3, types 0, 2 and 3) on the attack rig: its steps
// by type and direction (animations, waits, particles thrown, the end), the particles' replayed
// paths from their random draws (the bounce, the blink, the release), the same motion whatever
// the frame timing, the hit animations on 0, 1 and 5 targets, a short body animation, missing
// sets and refused allocations; and the family's smoke rows.

#include "battle_effects/lunet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle_effects/attack_dispatch.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 3;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPixel = 0x10000;
// The body animations' length in the rows below: longer than every wait.
constexpr int kLongBody = 200;

LunetNormalWork& Work(AttackRig& r) { return r.rig().battle().Extension<LunetNormalWork>(); }

// A row of kind 3 with body animations 0-3 of `body_frames` frames of one tick each.
AttackCase Row(int type, int dir, AttackLayout layout, int body_frames = kLongBody) {
  AttackCase row{.name = "lunet_type" + std::to_string(type) + "_dir" + std::to_string(dir),
                 .kind = kKind, .type = type, .dir = dir, .layout = layout};
  row.fixtures = [body_frames](AttackFixtures& f) {
    f.Slot(kAnmAttackBody, 4, AttackAnim{.frames = body_frames, .ticks = 1});
  };
  return row;
}

// ---- The steps by type and direction ----

// What a row shows. The waits and throws are in game frames between the steps' starts on the
// game clock (the rig's frames, 17 or 16 ms, count a 33 ms stretch begun mid-frame as one).
struct Timeline {
  uint32_t body_anim = 99, effect_anim = 99, hit_anim = 99;
  uint16_t body_attr = 99, effect_attr = 99;
  int effect_in_front = 0;  // the body's depth less the effect's
  bool at_unit = false;     // both at the drawing position, the body at the unit body's depth
  int swing = -1;           // step 2's start to step 3's
  std::vector<int> throws;  // each particle's tick: frames since step 3's start / 8
  int seen_end = -1;        // rig frames from the body animation's end to step 5
  int state7 = -1;          // rig frames from step 5 to state 7
  bool operator==(const Timeline&) const = default;
};

void PrintTo(const Timeline& t, std::ostream* os) {
  *os << "{body " << t.body_anim << "/" << t.body_attr << " effect " << t.effect_anim << "/"
      << t.effect_attr << " in front " << t.effect_in_front << " at unit " << t.at_unit
      << " hit " << t.hit_anim
      << " swing " << t.swing << " throws " << testing::PrintToString(t.throws) << " seen end "
      << t.seen_end << " state7 " << t.state7 << "}";
}

int FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}

Timeline Observe(int type, int dir) {
  const AttackCase row = Row(type, dir, AttackLayout::kFront);
  AttackRig r(row);
  r.Start();
  Timeline t;
  int body_end = -1, step5 = -1;
  uint32_t step2 = 0, step3 = 0;
  bool seen2 = false, seen3 = false;
  const auto each = [&] {
    const LunetNormalWork& w = Work(r);
    const uint32_t step = r.attacker().step;
    const int now = r.frames();
    if (r.attacker().state == kStateAfterAttack) {
      t.state7 = now - step5;
      return;
    }
    if (step == 2 && !seen2) {
      seen2 = true;
      step2 = w.clock.start;
      t.body_anim = w.body_obj->pattern;
      t.body_attr = w.body_obj->attr;
      t.effect_anim = w.effect_obj->pattern;
      t.effect_attr = w.effect_obj->attr;
      t.effect_in_front = w.body_obj->depth - w.effect_obj->depth;
      t.at_unit = w.body_obj->x == w.pos_x && w.body_obj->y == w.pos_y &&
                  w.effect_obj->x == w.pos_x && w.effect_obj->y == w.pos_y &&
                  w.body_obj->depth == r.attacker().anm->depth;
      t.hit_anim = w.hit_objs[0]->pattern;
    }
    if (step == 3 && !seen3) {
      seen3 = true;
      step3 = w.clock.start;
      t.swing = FramesBetween(step2, step3);
    }
    for (size_t i = t.throws.size(); i < static_cast<size_t>(w.particle_count); ++i) {
      // On the tick's first frame (the rig's rounding may skip its frame 8k).
      const int f = FramesBetween(step3, w.particles[i].start);
      EXPECT_LE(f % 8, 1) << "particle " << i << " at frame " << f;
      t.throws.push_back(f / 8);
    }
    if (step == 4 && body_end < 0 && SlgAnmObjIsEnd(w.body_obj) != 0) body_end = now;
    if (step == 5 && step5 < 0) {
      step5 = now;
      t.seen_end = now - body_end;
    }
  };
  const std::vector<std::string> failures = PlayToEnd(r, row, each);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  return t;
}

TEST(LunetNormal, StepsAnimationsAndThrowsByTypeAndDirection) {
  // By direction: the body and effect animation and their attribute.
  const uint32_t anims[] = {3, 1, 1, 3};
  const uint16_t attrs[] = {0, 0, 16, 16};
  for (int dir = 0; dir < 4; ++dir) {
    const auto d = static_cast<size_t>(dir);
    const Timeline normal{.body_anim = anims[d], .effect_anim = anims[d], .hit_anim = 5,
                          .body_attr = attrs[d], .effect_attr = attrs[d], .effect_in_front = 1,
                          .at_unit = true,
                          .swing = 35, .throws = {1, 2},
                          // The animations step after the units' updates: step 4 sees the end
                          // in the next frame.
                          .seen_end = 1, .state7 = 1};
    Timeline critical = normal;
    critical.body_anim = critical.effect_anim = anims[d] - 1;
    critical.hit_anim = 6;
    critical.swing = 115;
    critical.throws = {1, 2, 3, 4, 5, 6};
    SCOPED_TRACE("direction " + std::to_string(dir));
    const Timeline type0 = Observe(0, dir);
    EXPECT_EQ(type0, normal);
    EXPECT_EQ(Observe(2, dir), critical);
    EXPECT_EQ(Observe(3, dir), type0);
  }
}

// ---- The particles ----

// Where particle 0 stands, in pixels from the drawing position, at frames 10, 25 and 40 of its
// life, worked out by hand from its draws (vx, vy in pixels per frame, the direction's sense
// applied). Each path crosses the foot line once: the bounce keeps 0.625 of the fall with the
// fraction cleared, rounding the rise away from zero (direction 0: 5.0 -> -3.125 -> -4 at its
// 29th frame; 1: 4.5 -> -3 at 31; 2: 4.25 -> -3 at 26; 3: 5.0 -> -4 at 27).
struct PathCase {
  int dir;
  int vx_draw, vy_draw;  // the two values SlgRand answers, in order
  double at10[2], at25[2], at40[2];
};
constexpr PathCase kPaths[] = {
    // (32, -72), vx +2.5, vy -2.0
    {0, 0 << 3, 2 << 3, {57.0, -68.25}, {94.5, -15.75}, {132.0, -15.0}},
    // (-16, -56), vx -2.0, vy -3.0
    {1, 1 << 3, 0 << 3, {-36.0, -62.25}, {-66.0, -24.75}, {-96.0, -6.0}},
    // (16, -56), vx +1.5, vy -2.0: below the line at frame 25, risen again by 40
    {2, 2 << 3, 2 << 3, {31.0, -52.25}, {53.5, 0.25}, {76.0, 0.25}},
    // (-32, -72), vx -1.0, vy -1.5
    {3, 3 << 3, 3 << 3, {-42.0, -63.25}, {-57.0, -3.25}, {-72.0, -13.0}},
};

int32_t Fx(double pixels) { return static_cast<int32_t>(pixels * kPixel); }

bool Stopped(AnimeHandle handle) {
  const AnimeRec* rec = Ctx().anime.RecordOf(handle);
  return rec != nullptr && rec->stop != 0;
}

TEST(LunetNormal, AParticlesPathIsReplayedFromItsTwoDrawsAndBouncesOnce) {
  for (const PathCase& c : kPaths) {
    SCOPED_TRACE("direction " + std::to_string(c.dir));
    AttackCase row = Row(0, c.dir, AttackLayout::kNone);
    AttackRig r(row);
    r.Start();
    SlgRandSeam& seam = r.rig().battle().rand_seam;
    std::vector<int32_t> draws = {c.vx_draw, c.vy_draw};
    uint32_t calls_at_throw = 0;
    bool checked[3] = {};
    bool released = false;
    const auto each = [&] {
      LunetNormalWork& w = Work(r);
      if (r.attacker().step == 3 && w.particle_count == 0 && !seam.script) {
        // The next frames throw the first particle: its draws are scripted.
        calls_at_throw = seam.calls;
        seam.script = [&draws] {
          const int32_t v = draws.empty() ? 0 : draws.front();
          if (!draws.empty()) draws.erase(draws.begin());
          return v;
        };
      }
      if (w.particle_count == 0 || released) return;
      if (seam.script) {
        EXPECT_EQ(seam.calls - calls_at_throw, 2u) << "draws of one particle";
        seam.script = nullptr;
      }
      const LunetParticle& p = w.particles[0];
      const SlgAnmObj* obj = w.particle_objs[0];
      const int32_t f = TimelineFrames(p.start);
      const auto expect_at = [&](const double (&at)[2], int i) {
        checked[i] = true;
        EXPECT_EQ(obj->x - w.pos_x, Fx(at[0])) << "x at frame " << f;
        EXPECT_EQ(obj->y - w.pos_y, Fx(at[1])) << "y at frame " << f;
        int sx = 0, sy = 0;
        ASSERT_TRUE(Scene().tamvik_spr.spx()->GetSpxPos(obj->handle, &sx, &sy));
        EXPECT_EQ(sx, SlgScreenX(obj->x));
        EXPECT_EQ(sy, SlgScreenY(obj->y));
      };
      // (Frames 3k + 2 of a clock started mid-run may be skipped by the rig's 17, 17, 16 ms
      // steps; these never are.)
      if (f == 10) expect_at(c.at10, 0);
      if (f == 25) expect_at(c.at25, 1);
      if (f == 40) expect_at(c.at40, 2);
      if (f <= 40) {
        // Blinking from its 20th frame: hidden on even frames, shown on odd ones.
        EXPECT_NE(obj->handle, nullptr) << "frame " << f;
        EXPECT_EQ(Stopped(obj->handle), f >= 20 && f % 2 == 0) << "frame " << f;
      } else {
        EXPECT_EQ(obj->handle, nullptr) << "released after its 40th frame";
        released = true;
      }
    };
    const std::vector<std::string> failures = PlayToEnd(r, row, each);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_TRUE(checked[0] && checked[1] && checked[2]);
    EXPECT_TRUE(released);
  }
}

TEST(LunetNormal, AParticleStandsOnTheSamePixelWhateverTheFrameTiming) {
  const AttackCase row = Row(0, 1, AttackLayout::kNone);
  // Frame by frame: where particle 0 stands at its 30th frame.
  SlgPair stepped{};
  {
    AttackRig r(row);
    r.Start();
    bool seen = false;
    PlayToEnd(r, row, [&] {
      const LunetNormalWork& w = Work(r);
      if (!seen && w.particle_count > 0 && TimelineFrames(w.particles[0].start) == 30) {
        stepped = {w.particle_objs[0]->x, w.particle_objs[0]->y};
        seen = true;
      }
    });
    ASSERT_TRUE(seen);
  }
  // The clock jumps from the particle's start straight to its 30th frame, then to its 41st, the
  // first past its life.
  {
    AttackRig r(row);
    r.Start();
    int jumps = 0;
    // The next step lands `ms` after the particle's start.
    const auto jump_to = [&r](const LunetParticle& p, uint32_t ms) {
      const uint32_t next = testsupport::BattleRig::StepMs(r.rig().steps() + 1);
      r.rig().driver().host().clock.Advance(ms - (TimelineNow() - p.start) - next);
      r.Step();
    };
    PlayToEnd(r, row, [&] {
      const LunetNormalWork& w = Work(r);
      if (w.particle_count == 0) return;
      const LunetParticle& p = w.particles[0];
      if (jumps == 0) {
        ASSERT_EQ(TimelineFrames(p.start), 0);
        jump_to(p, 500);
        ASSERT_EQ(TimelineFrames(p.start), 30);
        EXPECT_EQ(w.particle_objs[0]->x, stepped.x);
        EXPECT_EQ(w.particle_objs[0]->y, stepped.y);
        EXPECT_NE(w.particle_objs[0]->handle, nullptr);
        jumps = 1;
      } else if (jumps == 1) {
        jump_to(p, 690);
        ASSERT_EQ(TimelineFrames(p.start), 41);
        EXPECT_EQ(w.particle_objs[0]->handle, nullptr) << "released after its 40th frame";
        jumps = 2;
      }
    });
    EXPECT_EQ(jumps, 2);
  }
  // On a 50 ms clock (three frames a step) every tick is still seen: as many particles, state 7.
  for (const auto& [type, thrown] : {std::pair{0, 2}, {2, 6}}) {
    AttackCase slow = Row(type, 1, AttackLayout::kFront);
    slow.step_ms = 50;
    AttackRig r(slow);
    r.Start();
    int most = 0;
    const std::vector<std::string> failures =
        PlayToEnd(r, slow, [&] { most = std::max(most, Work(r).particle_count); });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(most, thrown) << "type " << type;
  }
}

// ---- Targets ----

TEST(LunetNormal, EveryTargetLoopsItsHitAnimationWhereItStandsUntilTheEnd) {
  for (const auto& [layout, targets] :
       {std::pair{AttackLayout::kNone, 0}, {AttackLayout::kFront, 1}, {AttackLayout::kFive, 5}}) {
    SCOPED_TRACE(std::to_string(targets) + " targets");
    const AttackCase row = Row(0, 2, layout);
    AttackRig r(row);
    r.Start();
    bool looked = false;
    int thrown = 0;
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      const LunetNormalWork& w = Work(r);
      thrown = std::max(thrown, w.particle_count);
      // Once the body is halfway: every hit animation still runs.
      if (looked || r.attacker().step != 4) return;
      looked = true;
      const BattleContext& b = r.rig().battle();
      ASSERT_EQ(w.target_count, targets);
      for (int i = 0; i < targets; ++i) {
        const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
        const SlgAnmObj* hit = w.hit_objs[static_cast<size_t>(i)];
        ASSERT_NE(hit, nullptr);
        const SlgPair at = Slg::PosToScreen({t.x, t.y});
        EXPECT_EQ(hit->x, at.x);
        EXPECT_EQ(hit->y, at.y);
        EXPECT_EQ(hit->depth, t.anm->depth - 1);
        EXPECT_EQ(hit->attr, t.anm->attr);
        EXPECT_EQ(hit->pattern, 5);
        EXPECT_EQ(hit->mode, 0) << "looping";
        EXPECT_EQ(SlgAnmObjIsEnd(hit), 0);
      }
      EXPECT_EQ(w.hit_objs[static_cast<size_t>(targets)], nullptr);
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_TRUE(looked);
    EXPECT_EQ(thrown, 2) << "thrown with or without targets";
    // Given back at the end.
    for (const SlgAnmObj* hit : Work(r).hit_objs) EXPECT_EQ(hit, nullptr);
  }
}

// ---- Short animations, missing sets, refused allocations ----

TEST(LunetNormal, ABodyAnimationShorterThanTheWaitsEndsTheAttackWhenStep4IsReached) {
  const AttackCase row = Row(0, 0, AttackLayout::kFront, 10);
  AttackRig r(row);
  r.Start();
  int step4 = -1, step5 = -1, state7 = -1, thrown = 0, live_particles = 0;
  const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
    const LunetNormalWork& w = Work(r);
    const uint32_t step = r.attacker().step;
    if (r.attacker().state == kStateAfterAttack) {
      state7 = r.frames();
      return;
    }
    thrown = std::max(thrown, w.particle_count);
    if (step == 4 && step4 < 0) {
      step4 = r.frames();
      for (int i = 0; i < w.particle_count; ++i) {
        live_particles += w.particle_objs[static_cast<size_t>(i)]->handle != nullptr ? 1 : 0;
      }
    }
    if (step == 5 && step5 < 0) step5 = r.frames();
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_EQ(step5, step4 + 1);
  EXPECT_EQ(state7, step5 + 1);
  EXPECT_EQ(thrown, 2);
  EXPECT_EQ(live_particles, 2) << "the particles go with everything else";
}

TEST(LunetNormal, AMissingSetEndsTheAttackOnItsFirstFrameWithNothingKept) {
  for (const int slot : {int{kAnmAttackBody}, int{kAnmAttackEffect}}) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    AttackCase row = Row(0, 1, AttackLayout::kFront);
    row.fixtures = [slot](AttackFixtures& f) { f.Omit(slot); };
    AttackRig r(row);
    r.Start();
    uint32_t calls_at_end = 0;
    int64_t live_at_end = -1, live_in_attack = -2;
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      // The attack state is entered at the end of a frame; the routine runs from the next.
      if (r.attacker().state == 6) live_in_attack = r.rig().battle().alloc.live;
      if (r.attacker().state != kStateAfterAttack) return;
      calls_at_end = r.dispatch().calls;
      live_at_end = r.rig().battle().alloc.live;
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(calls_at_end, 1u);
    EXPECT_EQ(live_at_end, live_in_attack);
  }
}

TEST(LunetNormal, ARefusedAllocationInStep1GivesEverythingBackAndEndsTheAttack) {
  // Step 1 takes the body and effect objects, one hit object and the 16 particle objects.
  constexpr uint32_t kAllocations = 2 + 1 + kLunetParticles;
  for (uint32_t k = 0; k <= kAllocations; ++k) {
    SCOPED_TRACE("allocation " + std::to_string(k));
    const AttackCase row = Row(0, 1, AttackLayout::kFront);
    AttackRig r(row);
    r.Start();
    BattleContext& b = r.rig().battle();
    bool refused = false;
    int64_t live_before = -1;
    int after = -1;
    const std::vector<std::string> failures = PlayToEnd(r, row, [&] {
      if (live_before < 0 && r.attacker().state == 6 && r.attacker().step == 1) {
        live_before = b.alloc.live;
        const uint32_t first = b.alloc.calls;
        b.alloc.refuse = [&refused, first, k](uint32_t call, size_t /*bytes*/) {
          refused = refused || call == first + k;
          return call == first + k;
        };
        after = r.frames() + 1;
      } else if (r.frames() == after) {
        b.alloc.refuse = nullptr;
        if (k < kAllocations) {
          EXPECT_EQ(r.attacker().state, kStateAfterAttack);
          EXPECT_EQ(b.alloc.live, live_before);
        } else {
          EXPECT_EQ(r.attacker().step, 2u) << "the attack goes on";
        }
      }
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    EXPECT_EQ(refused, k < kAllocations);
  }
}

// ---- The smoke rows ----

// Type `type`, each direction with its own layout (none, one in front, three, one in front).
std::vector<AttackCase> SmokeRows(int type) {
  const AttackLayout layouts[] = {AttackLayout::kNone, AttackLayout::kFront, AttackLayout::kThree,
                                  AttackLayout::kFront};
  std::vector<AttackCase> rows;
  for (int dir = 0; dir < 4; ++dir) {
    rows.push_back({.name = "lunet_type" + std::to_string(type) + "_dir" + std::to_string(dir),
                    .kind = kKind, .type = type, .dir = dir,
                    .layout = layouts[static_cast<size_t>(dir)], .routine = "LunetNormalAttack",
                    .hits = HitSignal::kNone});
  }
  return rows;
}

// (Split by type so that the rows run in parallel.)
TEST(AttackSmoke, LunetNormal) {
  for (const int type : {0, 3}) {
    for (const AttackCase& row : SmokeRows(type)) testsupport::ExpectAttackCase(row);
  }
}

TEST(AttackSmoke, LunetCritical) {
  for (const AttackCase& row : SmokeRows(2)) testsupport::ExpectAttackCase(row);
  testsupport::ExpectAttackCase({.name = "lunet_critical_skipped", .kind = kKind, .type = 2,
                                 .dir = 3, .layout = AttackLayout::kThree,
                                 .routine = "LunetNormalAttack", .step_ms = 50,
                                 .hits = HitSignal::kNone});
}

TEST(AttackSmoke, LunetVariantsAndTheSpecial) {
  const std::vector<AttackCase> rows = {
      {.name = "lunet_two_frames", .kind = kKind, .dir = 2,
       .variant = AttackFixtures::Variant::kTwoFrames, .routine = "LunetNormalAttack"},
      {.name = "lunet_missing_slot", .kind = kKind, .type = 2,
       .variant = AttackFixtures::Variant::kMissingSlot, .routine = "LunetNormalAttack"},
      // The special through the same entry, on the default sets (its rows: lunet_finisher_test.cpp).
      {.name = "lunet_special", .kind = kKind, .type = 1, .routine = "LunetSpecialAttack"},
  };
  for (const AttackCase& row : rows) testsupport::ExpectAttackCase(row);
}

}  // namespace
