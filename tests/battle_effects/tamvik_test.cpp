// The TAMVIK heroine unit's special (kind 1, type 1) on the attack rig: the presentation's stages
// and the three reports the routine takes, the petals (every 12 frames from alternating sides,
// the fly-away, their end), a short body animation, the thrown object on a board (its velocity by
// direction, one hit and one hit signal per target cell entered, the bounce at a wall or a height
// change, the end at the map's edge, the camera), missing sets and pictures, and a frame of the
// cut-ins.

#include "battle_effects/tamvik.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 1;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = 65536;

TamvikSpecial& Special() { return TamvikAttackWork().special; }

AttackCase Row(const std::string& name, AttackLayout layout = AttackLayout::kFront, int dir = 1,
               const std::function<void(AttackFixtures&)>& sets = &HeroineSets) {
  AttackCase row{.name = "tamvik_" + name, .kind = kKind, .type = 1, .dir = dir,
                 .layout = layout, .routine = "Tamvik::SpecialAttack",
                 .prefixes = {"Tamvik"}, .leaves = testsupport::kLeavesCamera};
  row.fixtures = sets;
  return row;
}

// Frames between changes, on the game clock.
struct Changes {
  uint32_t last = 0;
  std::vector<int> gaps;
  void Mark() {
    const uint32_t now = TimelineNow();
    if (last != 0) gaps.push_back(FramesBetween(last, now));
    last = now;
  }
};

TEST(TamvikSpecial, PresentationStagesAndTheReportsTheRoutineTakes) {
  // A body of 16 frames of 12 ticks: it reaches frame 12 144 frames after it runs on, 24 frames
  // into stage 4. A body of 10 frames has ended by then: stage 4 is over at once.
  for (const int body_frames : {16, 10}) {
    SCOPED_TRACE("body of " + std::to_string(body_frames) + " frames");
    const auto sets = [body_frames](AttackFixtures& f) {
      HeroineSets(f);
      f.Slot(kAnmSpecialBody, 2, AttackAnim{.frames = body_frames, .ticks = 12});
    };
    const AttackCase row = Row("stages", AttackLayout::kFront, 1, sets);
    AttackRig r(row);
    r.Start();
    Changes stages;
    std::vector<std::pair<int, int>> at;  // (unit step, presentation stage) at each step change
    int stage = -1;
    uint32_t step = 0;
    const auto each = [&] {
      if (r.attacker().state != 6) return;
      const TamvikSpecial& s = Special();
      if (s.presentation.stage != stage) {
        stage = s.presentation.stage;
        stages.Mark();
      }
      if (r.attacker().step != step) {
        step = r.attacker().step;
        at.emplace_back(step, stage);
      }
    };
    const std::vector<std::string> failures = PlayToEnd(r, row, each);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    // Stages 1-6 from stage 1's start: the fade (30), 60, 60, the body's frame 12, 30, 30.
    ASSERT_GE(stages.gaps.size(), 6u);
    const std::vector<int> lengths(stages.gaps.begin(), stages.gaps.begin() + 6);
    const int frame12 = body_frames == 16 ? 24 : 0;
    const std::vector<int> want = {1, 30, 60, 60, frame12, 30};
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_NEAR(lengths[i], want[i], 2) << "stage " << i;
    }
    // Steps 3, 4 and 5 begin as stages 1, 4 and 6 report; stage 7 is never reached.
    EXPECT_EQ(at, (std::vector<std::pair<int, int>>{
                      {1, 0}, {2, 1}, {3, 2}, {4, 5}, {5, 7}, {7, 7}}));
  }
}

TEST(TamvikSpecial, PetalsFallFromAlternatingSidesEveryTwelveFramesAndEndWithTheScene) {
  const AttackCase row = Row("petals");
  AttackRig r(row);
  r.Start();
  std::vector<int> starts;  // frames from the petal clock's start
  std::vector<int> sides;   // the sign of each petal's x (0 for x = 0)
  std::map<std::string, int> seen;
  bool flew = false, ended_in_time = true;
  int fly_frame = -1;
  const auto each = [&] {
    const TamvikSpecial& s = Special();
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name.rfind("TamvikSpecial::Hanabira", 0) != 0 || seen.contains(name)) continue;
      seen[name] = r.frames();
      const auto* task = static_cast<const SlgEffectTask*>(
          Ctx().game_task.FindTask(name.c_str())->work);
      const auto& petal = *static_cast<const TamvikPetal*>(task->owned[0]);
      starts.push_back(FramesBetween(s.petal_start, task->start));
      sides.push_back(petal.start.x > 0 ? 1 : petal.start.x < 0 ? -1 : 0);
      EXPECT_EQ(petal.start.y, -256 * kPx);
      EXPECT_GE(petal.speed, 3 * kPx);
      EXPECT_LT(petal.speed, 7 * kPx);
      EXPECT_GE(petal.zoom, kPx / 2);
      EXPECT_LT(petal.zoom, 3 * kPx / 2);
      EXPECT_TRUE(petal.factor == 2 || petal.factor == 4 || petal.factor == 6 ||
                  petal.factor == 8);
    }
    if (s.petal_mode == kPetalFlyAway) flew = true;
    if (r.attacker().step == 5 && fly_frame < 0) fly_frame = r.frames();
    if (fly_frame >= 0 && r.frames() > fly_frame + 1) {
      for (const std::string& name : AttackRig::LiveTaskNames()) {
        if (name.rfind("TamvikSpecial::Hanabira", 0) == 0) ended_in_time = false;
      }
    }
  };
  const std::vector<std::string> failures = PlayToEnd(r, row, each);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_TRUE(flew);
  EXPECT_TRUE(ended_in_time) << "every petal ends as the object is thrown";
  ASSERT_GT(starts.size(), 10u);
  for (size_t i = 0; i < starts.size(); ++i) {
    EXPECT_NEAR(starts[i], 12 * static_cast<int>(i), 1) << "petal " << i;
  }
  for (size_t i = 1; i < sides.size(); ++i) {
    if (sides[i] != 0 && sides[i - 1] != 0) {
      EXPECT_EQ(sides[i], -sides[i - 1]) << "petal " << i;
    }
  }
}

TEST(TamvikSpecial, APetalsDriftAndFlyAway) {
  TamvikPetal p{};
  p.start = {100 * kPx, -256 * kPx};
  p.speed = 5 * kPx;
  p.factor = 4;
  // The sway: cos(16 f) x 16 x factor, 16 pixels at phase 0 for factor 4.
  EXPECT_EQ(TamvikPetalDrift(p, 0).x, 116 * kPx);
  EXPECT_EQ(TamvikPetalDrift(p, 8).x, 100 * kPx) << "a quarter turn";
  EXPECT_EQ(TamvikPetalDrift(p, 16).x, 84 * kPx);
  EXPECT_EQ(TamvikPetalDrift(p, 10).y, -206 * kPx);
  // Fly-away: each axis gains 0.25 pixel a frame up to 32; past 360 (256) it wraps round.
  p.pos = {350 * kPx, 250 * kPx};
  p.velocity = {31 * kPx + kPx / 2, -kPx};
  TamvikPetalFlyStep(p);
  EXPECT_EQ(p.velocity.x, 31 * kPx + 3 * kPx / 4);
  EXPECT_EQ(p.velocity.y, -3 * kPx / 4);
  EXPECT_EQ(p.pos.x, 381 * kPx + 3 * kPx / 4 - 720 * kPx);
  TamvikPetalFlyStep(p);
  TamvikPetalFlyStep(p);
  EXPECT_EQ(p.velocity.x, 32 * kPx) << "held at 32";
  p.pos.y = 256 * kPx;
  p.velocity.y = kPx;
  TamvikPetalFlyStep(p);
  EXPECT_EQ(p.pos.y, 256 * kPx + kPx + kPx / 4 - 512 * kPx);
}

// What the thrown object did.
struct Flight {
  SlgPair velocity{};
  bool path_ok = true;  // every frame: start + velocity x frames, drawn through the scroll
  int hits = 0;
  std::map<int, int> signals;  // target slot -> frames it got the hit signal on
  bool bounced = false;
  int bounce_to_state7 = -1;
  int zoom_at_end = -1;
  bool camera_moved = false;
  std::vector<std::string> failures;
};

Flight Throw(AttackLayout layout, int dir) {
  const AttackCase row = Row("throw", layout, dir);
  AttackRig r(row);
  r.Start();
  Flight out;
  uint32_t bounce_ms = 0;
  SlgPair scroll{};
  bool in_flight = false;
  const auto each = [&] {
    const TamvikSpecial& s = Special();
    BattleContext& b = Battle();
    const uint32_t step = r.attacker().step;
    if (r.attacker().state == 6 && step == 5) {
      if (!in_flight) {
        in_flight = true;
        scroll = {b.state.scroll_x, b.state.scroll_y};
        out.velocity = s.velocity;
      }
      const int32_t f = TimelineFrames(s.clock.start);
      out.path_ok &= s.flight_pos.x == s.flight_start.x + s.velocity.x * f &&
                     s.flight_pos.y == s.flight_start.y + s.velocity.y * f;
      if (b.state.scroll_x != scroll.x || b.state.scroll_y != scroll.y) out.camera_moved = true;
    }
    if (r.attacker().state == 6 && step == 6 && bounce_ms == 0) bounce_ms = TimelineNow();
    for (uint8_t slot : r.targets()) {
      if ((b.state.units[slot].flags & kUnitHitNow) != 0) ++out.signals[slot];
    }
    out.hits = s.hits;
    out.bounced = s.bounced != 0;
    out.zoom_at_end = s.zoom;
    if (r.attacker().state == kStateAfterAttack && bounce_ms != 0 && out.bounce_to_state7 < 0) {
      out.bounce_to_state7 = FramesBetween(bounce_ms, TimelineNow());
    }
  };
  out.failures = PlayToEnd(r, row, each);
  return out;
}

TEST(TamvikSpecial, TheThrownObjectFliesByDirectionAndHitsEachTargetCellOnce) {
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    const Flight f = Throw(AttackLayout::kThree, dir);
    EXPECT_TRUE(f.failures.empty()) << testing::PrintToString(f.failures);
    EXPECT_EQ(f.velocity.x, kTamvikFlight[dir].x);
    EXPECT_EQ(f.velocity.y, kTamvikFlight[dir].y);
    EXPECT_TRUE(f.path_ok);
    // Open ground: three target cells entered, each once; the end at the map's edge.
    EXPECT_EQ(f.hits, 3);
    EXPECT_EQ(f.signals.size(), 3u);
    EXPECT_FALSE(f.bounced);
    EXPECT_TRUE(f.camera_moved);
  }
  const Flight none = Throw(AttackLayout::kNone, 1);
  EXPECT_TRUE(none.failures.empty()) << testing::PrintToString(none.failures);
  EXPECT_EQ(none.hits, 0);
}

TEST(TamvikSpecial, AWallOrAHeightChangeStopsTheObject) {
  for (const AttackLayout layout : {AttackLayout::kWallAhead, AttackLayout::kRaised}) {
    SCOPED_TRACE(layout == AttackLayout::kWallAhead ? "a wall" : "a raised cell");
    const Flight f = Throw(layout, 2);
    EXPECT_TRUE(f.failures.empty()) << testing::PrintToString(f.failures);
    // The target in front is hit (on the raised cell too, as the object reaches it).
    EXPECT_EQ(f.hits, 1);
    EXPECT_TRUE(f.bounced);
    EXPECT_EQ(f.zoom_at_end, 0);
    // 20 frames of the bounce, then 30.
    EXPECT_NEAR(f.bounce_to_state7, 50, 2);
  }
}

TEST(TamvikSpecial, AMissingEffectSetEndsAtOnceAndMissingPicturesAreDoneWithout) {
  AttackCase missing = Row("missing_effect", AttackLayout::kFront, 1, [](AttackFixtures& f) {
    HeroineSets(f);
    f.Omit(kAnmSpecialEffect);
  });
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(missing);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  const int frames = FramesInRoutine(out, "Tamvik::SpecialAttack");
  EXPECT_GE(frames, 0) << "the routine ran";
  EXPECT_LE(frames, 1);
  AttackCase pictures = Row("missing_pictures", AttackLayout::kFront, 1, [](AttackFixtures& f) {
    HeroineSets(f);
    f.Omit(kAnmSpecialBg);
  });
  pictures.hits = HitSignal::kEvery;
  testsupport::ExpectAttackCase(pictures);
}

TEST(TamvikSpecial, TheCutInsOverTheBackground) {
  // At the fourth petal the cut-ins cycle (stage 2) over the background (448 x 192 from (96,
  // 144)); the corner of the background outside the cut-ins shows it as it is, the middle shows
  // a cut-in blended over it.
  AttackCase row = Row("cut_in");
  row.hits = HitSignal::kEvery;
  const uint32_t bg = AttackFixtures::ColourRef(kKind, kAnmSpecialBg, 0);
  row.checkpoints = {AttackCheckpoint{"cut_in", -1, "task+ TamvikSpecial::Hanabira3",
                                      {{100, 330, bg}, {300, 300, bg, false}}}};
  testsupport::ExpectAttackCase(row);
}

}  // namespace
