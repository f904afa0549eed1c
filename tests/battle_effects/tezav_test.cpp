// Player kind 5's attacks on the attack rig: the smoke rows of every type, the hit marks' side
// rule and timing, the special with and without its variant, and fewer robots than eight.

#include "battle_effects/tezav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 5;

// SPECIAL_BODY 0-8, SPECIAL_EFFECT 0-14, ATTACK_EFFECT 0-7; SPECIAL_BG pictures 0 (the tile) and
// 1 (the picture at (128, 208)).
void TezavSets(AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, 9);
  f.Slot(kAnmSpecialEffect, 15);
  f.Pictures(kAnmSpecialBg, {{256, 256}, {128, 64}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row = PlayerAttackRow(kKind, "Tezav", type, dir, layout, name, 1500);
  row.hits = testsupport::HitSignal::kNone;
  row.leaves = 0;
  row.fixtures = [](AttackFixtures& f) { TezavSets(f); };
  return row;
}

void PlayRows(int type, int first, int last) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last);
}

TEST(TezavSmoke, NormalFacing01) { PlayRows(0, 0, 1); }
TEST(TezavSmoke, NormalFacing23) { PlayRows(0, 2, 3); }
TEST(TezavSmoke, CriticalFacing01) { PlayRows(2, 0, 1); }
TEST(TezavSmoke, CriticalFacing23) { PlayRows(2, 2, 3); }
TEST(TezavSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(TezavSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(TezavSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(TezavSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(TezavSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }

TEST(TezavSmoke, SpecialWithSkippedFrames) {
  AttackCase skipped = Row(1, 1, AttackLayout::kThree, "skipped");
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
}

// A captured frame of the swarm (a PNG each into $TAMVIK_BATTLE_FRAMES): the first spark's frame,
// back on the map with the units shown again (the attacker's stand pattern on its cell).
TEST(TezavSmoke, SwarmFrameInBothLayouts) {
  for (const platform::PixelLayout pixels :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    AttackCase row = Row(1, 1, AttackLayout::kFront,
                         pixels == platform::PixelLayout::kRgb565 ? "swarm565" : "swarm555");
    row.pixels = pixels;
    row.checkpoints = {{"swarm", -1, "task+ Tezav::Takari0",
                        {{AttackRig::kBodyProbeX, AttackRig::kBodyProbeY,
                          AttackFixtures::ColourRef(kKind, kAnmBaseBody, 2)}}}};
    testsupport::ExpectAttackCase(row);
  }
}

TEST(TezavMark, SideFlipsPerMarkAndDelaysStepBySix) {
  // Side set first: right, left, right, left; the offsets and raise from the low five bits.
  const TezavMark right[] = {{94, 5, 7}, {100, -5, 7}, {106, 5, 7}, {112, -5, 7}};
  for (int k = 0; k < 4; ++k) {
    const TezavMark m = TezavMarkOf(k, true, 94, 0x7FFFFFE5, 0x47);
    EXPECT_EQ(m.delay, right[k].delay) << "mark " << k;
    EXPECT_EQ(m.dx, right[k].dx) << "mark " << k;
    EXPECT_EQ(m.raise, right[k].raise) << "mark " << k;
  }
  EXPECT_EQ(TezavMarkOf(0, false, 132, 31, 0).dx, -31);
  EXPECT_EQ(TezavMarkOf(3, false, 132, 31, 0).delay, 150);
  EXPECT_EQ(TezavMarkOf(3, false, 132, 31, 0).dx, 31);
}

TEST(TezavNormal, FourMarksPerTargetAndTheEndThirtyFramesAfterTheLast) {
  const struct {
    int type;
    AttackLayout layout;
    int marks;
    int end;  // frames from the routine's start to state 7
  } cases[] = {
      // The last mark starts at 112 (type 2: 150) and plays 8 frames; then 30.
      {0, AttackLayout::kThree, 12, 112 + 8 + 30},
      {2, AttackLayout::kFront, 4, 150 + 8 + 30},
      {3, AttackLayout::kThree, 0, 8 + 30},
      {0, AttackLayout::kNone, 0, 8 + 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    const testsupport::AttackOutcome out =
        testsupport::PlayAttackCase(Row(c.type, 1, c.layout, "marks"));
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    int made = 0, last_end = -1;
    for (const auto& line : out.lines) {
      if (line.text.rfind("task+ Tezav::HitMark", 0) == 0) ++made;
      if (line.text.rfind("task- Tezav::HitMark", 0) == 0) last_end = line.frame;
    }
    EXPECT_EQ(made, c.marks);
    // The set-up's frame and the end's detection add a few frames to the marks' own timing.
    const int frames = FramesInRoutine(out, "Tezav::NormalAttack");
    EXPECT_GE(frames, c.end);
    EXPECT_LE(frames, c.end + 6);
    if (c.marks > 0) {
      EXPECT_NEAR(out.state7_frame - last_end, 30, 2);
    }
  }
}

struct SpecialRun {
  std::vector<std::string> failures;
  int step5_frames = -1;  // the frames step 5 lasted
  bool effect14 = false;
  bool lead_anims = false;  // robot 0 played 9 and 4
  bool surprise = false;
  int robots = 0;
  bool robots_out_before_hit = false;
  std::set<std::pair<int, int>> final_hit;  // screen pixels of effect 13
  std::pair<int, int> attacker_at{};        // the attacker's drawing position, pixels
};

SpecialRun PlaySpecial(AttackLayout layout, bool variant, bool five_robots = false) {
  AttackCase row = Row(1, 1, layout, variant ? "variant" : "plain");
  AttackRig r(row);
  r.Start();
  SpecialRun out;
  const TezavSpecial& w = TezavAttackWork().special;
  if (five_robots) {
    Battle().alloc.refuse = [&r](uint32_t, size_t) {
      return r.attacker().state == 6 && r.attacker().step == 3 &&
             TezavAttackWork().special.robots_made >= 5;
    };
  }
  uint32_t step = 0;
  uint32_t step5_start = 0;
  std::set<uint32_t> seen_anims;
  out.failures = PlayToEnd(r, row, [&] {
    SlgUnit& u = r.attacker();
    // The lead-in draws the variant: the test's choice stands until step 1 copies it.
    if (u.state == 5 || (u.state == 6 && u.step <= 1)) {
      Battle().attack.kind5_variant = variant ? 1 : 0;
    }
    if (u.state != 6) return;
    if (u.step != step) {
      if (u.step == 5) step5_start = w.clock.start;
      if (step == 5) out.step5_frames = FramesBetween(step5_start, w.clock.start);
      if (u.step == 10) {
        bool robots = false;
        for (const std::string& name : AttackRig::LiveTaskNames()) {
          if (name.rfind("Tezav::Robo", 0) == 0 && name != "Tezav::Robo Bikkuri") robots = true;
        }
        out.robots_out_before_hit = !robots && w.running == 0;
      }
      step = u.step;
    }
    for (const EffectAnim& a : EffectAnims(kKind, kAnmSpecialEffect)) seen_anims.insert(a.anm);
    if (w.ctx != nullptr && w.ctx->object_count > 1) {
      for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 14)) {
        out.effect14 = out.effect14 || a.handle == w.ctx->objects[1]->handle;
      }
    }
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name == "Tezav::Robo Bikkuri") out.surprise = true;
    }
    out.robots = std::max(out.robots, static_cast<int>(w.robots_made));
    for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmSpecialEffect), 13)) {
      out.final_hit.insert({a.x, a.y});
      out.attacker_at = {(w.pos.x >> 16) + 320, (w.pos.y >> 16) + 240};
    }
  });
  Battle().alloc.refuse = nullptr;
  out.lead_anims = seen_anims.count(9) != 0 && seen_anims.count(4) != 0;
  return out;
}

TEST(TezavSpecial, PlainAndVariant) {
  // The variant: step 5 30 frames longer, object 1's effect 14, robot 0's 9 and 4 and its
  // surprise.
  for (const bool variant : {false, true}) {
    SCOPED_TRACE(variant ? "variant" : "plain");
    const SpecialRun run = PlaySpecial(variant ? AttackLayout::kFront : AttackLayout::kThree, variant);
    EXPECT_TRUE(run.failures.empty()) << testing::PrintToString(run.failures);
    EXPECT_NEAR(run.step5_frames, variant ? 160 : 130, 2);
    EXPECT_EQ(run.effect14, variant);
    EXPECT_EQ(run.lead_anims, variant);
    EXPECT_EQ(run.surprise, variant);
    EXPECT_EQ(run.robots, 8);
    EXPECT_TRUE(run.robots_out_before_hit);
  }
}

TEST(TezavSpecial, FiveRobotsAndNoTarget) {
  const SpecialRun five = PlaySpecial(AttackLayout::kFront, false, true);
  EXPECT_TRUE(five.failures.empty()) << testing::PrintToString(five.failures);
  EXPECT_EQ(five.robots, 5);
  EXPECT_TRUE(five.robots_out_before_hit);
  // No target: the robots swarm the attacker's place and the attack ends.
  const SpecialRun alone = PlaySpecial(AttackLayout::kNone, true);
  EXPECT_TRUE(alone.failures.empty()) << testing::PrintToString(alone.failures);
  EXPECT_TRUE(alone.robots_out_before_hit);
  // The final hit stands on the attacker.
  EXPECT_EQ(alone.final_hit, (std::set<std::pair<int, int>>{alone.attacker_at}));
}

}  // namespace
