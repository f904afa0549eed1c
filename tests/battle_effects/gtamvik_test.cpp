// Player kind 8's attacks on the attack rig: the smoke rows of every type (also with skipped
// frames), the normal attack's objects by type and direction, the scene's curtain and picture
// cycle, the petals' timing and modes, the shot over the board (cells, turn, return, the running
// count, the closing row), the closing visit, a shot that cannot be made, and a short body.

#include "battle_effects/gtamvik.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 8;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = kGtamvikPx;

GtamvikSpecial& Special() { return GtamvikAttackWork().special; }

// ATTACK_EFFECT 0-9, SPECIAL_BODY 0-8 (body 0, the closing row 7 and 8) of `body_frames` one-tick
// frames, SPECIAL_EFFECT 0-10; SPECIAL_BG picture 0 (the curtain's half) and 1-3 (the cycle).
void GtamvikSets(AttackFixtures& f, int body_frames) {
  f.Slot(kAnmAttackEffect, 10);
  std::vector<AttackAnim> body(9);
  body[0] = AttackAnim{.frames = body_frames, .ticks = 1};
  f.Slot(kAnmSpecialBody, body);
  f.Slot(kAnmSpecialEffect, 11);
  f.Pictures(kAnmSpecialBg, {{320, 480}, {128, 288}, {128, 288}, {128, 288}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name,
               int body_frames = 8) {
  AttackCase row = PlayerAttackRow(kKind, "Gtamvik", type, dir, layout, name);
  row.frame_limit = std::max(row.frame_limit, 1200);
  row.fixtures = [body_frames](AttackFixtures& f) { GtamvikSets(f, body_frames); };
  return row;
}

void PlayRows(int type, int first, int last, uint32_t step_ms = 0) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last, step_ms);
}

TEST(GtamvikSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GtamvikSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GtamvikSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GtamvikSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GtamvikSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GtamvikSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GtamvikSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }
TEST(GtamvikSmoke, SpecialSkippingFrames) { PlayRows(1, 1, 2, 50); }

TEST(GtamvikSmoke, SpecialWithShortOrMissingSets) {
  ExpectSetVariants([](const std::string& name) { return Row(1, 1, AttackLayout::kThree, name); });
}

TEST(GtamvikNormal, ObjectsByTypeAndDirection) {
  const std::vector<LayeredRow> type0 = {{{0, 1}, 0}, {{0, 1}, 0}, {{6, 7}, 0}};
  const std::vector<LayeredRow> type2 = {
      {{2, 3}, 0}, {{2, 3}, 0}, {{4, 5}, 1}, {{6, 7}, 0}, {{8, 9}, 0}};
  for (const int type : {0, 2, 3}) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("type " + std::to_string(type) + " direction " + std::to_string(dir));
      const LayeredOutcome out = PlayLayered(Row(type, dir, AttackLayout::kFront, "objects"),
                                             [] { return GtamvikAttackWork().normal.ctx; });
      EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
      const int count = type == 2 ? 5 : type == 3 ? 2 : 3;
      EXPECT_EQ(out.objects, ExpectedHeldObjects(type == 2 ? type2 : type0, count, dir));
      EXPECT_NEAR(out.from_body_end, 30, 2);
    }
  }
}

// What one special showed, frame by frame.
struct Watch {
  std::map<int, uint32_t> step_ms;   // unit step -> game clock when it began
  std::map<int, uint32_t> stage_ms;  // scene stage -> game clock when it began
  std::map<int, uint32_t> mode_ms;   // petal mode -> game clock when it was set
  std::vector<int> petal_frames;     // rig frame of each petal after the first
  std::vector<int> petal_clock;      // and its frame on the petals' clock
  std::set<std::string> seen;        // every task name seen
  bool cycle_ok = true;              // the cycle's picture by its frames, every frame
  std::vector<std::pair<int, uint32_t>> fade_alpha;  // (stage frames, alpha) in the cycle's fade
  bool left_after_end = false;       // a petal or sparkle alive one frame after mode 3
  int mode3_checked = 0;
  bool units_shown_at_end = false;
  int step3_frame = -1;
  std::vector<std::string> failures;
};

Watch WatchSpecial(AttackCase row, const std::function<void(AttackRig&)>& each = {}) {
  AttackRig r(row);
  r.Start();
  Watch w;
  int step = -1, stage = -1, mode = -1;
  const auto watch = [&] {
    const GtamvikSpecial& s = Special();
    const uint32_t now = TimelineNow();
    if (r.attacker().state == 6) {
      if (static_cast<int>(r.attacker().step) != step) {
        step = r.attacker().step;
        w.step_ms.emplace(step, now);
        if (step == 3) w.step3_frame = r.frames();
      }
      if (s.scene.stage != stage) {
        stage = s.scene.stage;
        w.stage_ms.emplace(stage, now);
      }
      if (s.mode != mode) {
        mode = s.mode;
        w.mode_ms.emplace(mode, now);
      }
      if ((stage == 3 || stage == 4) && s.cycle_entry != nullptr) {
        const int want = GtamvikCyclePicture(FramesBetween(s.cycle_start, now));
        if (s.cycle_shown != want) w.cycle_ok = false;
      }
      if (stage == 4 && s.cycle[0] != nullptr) {
        w.fade_alpha.emplace_back(FramesBetween(s.scene.clock.start, now), s.cycle[0]->alpha);
      }
    }
    int petals_and_sparkles = 0;
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name.rfind("Gtamvik::Hanabira", 0) == 0 || name.rfind("Gtamvik::KiraKira", 0) == 0) {
        ++petals_and_sparkles;
      }
      if (w.seen.insert(name).second && name.rfind("Gtamvik::Hanabira", 0) == 0 &&
          name != "Gtamvik::Hanabira0") {
        w.petal_frames.push_back(r.frames());
        w.petal_clock.push_back(TimelineFrames(s.petal_start));
      }
    }
    if (w.mode_ms.contains(kGtamvikEnd) && w.mode3_checked++ == 1 && petals_and_sparkles != 0) {
      w.left_after_end = true;
    }
    if (each) each(r);
  };
  w.failures = PlayToEnd(r, row, watch);
  w.units_shown_at_end = (Battle().flags & 0x6) == 0x6;
  return w;
}

int Between(const std::map<int, uint32_t>& a, int ka, const std::map<int, uint32_t>& b, int kb) {
  if (!a.contains(ka) || !b.contains(kb)) return -1;
  return FramesBetween(a.at(ka), b.at(kb));
}

TEST(GtamvikScene, TheCurtainOpensInTwentyFramesAndThePicturesCycleAndFade) {
  EXPECT_EQ(GtamvikCycleAlpha(0), 0x10080u);
  EXPECT_EQ(GtamvikCycleAlpha(14), 0x10040u);
  EXPECT_EQ(GtamvikCycleAlpha(28), 0x10000u);
  EXPECT_EQ(GtamvikCyclePicture(0), 0);
  EXPECT_EQ(GtamvikCyclePicture(4), 1);
  EXPECT_EQ(GtamvikCyclePicture(59), 2);
  const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kFront, "scene"));
  EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
  // The fade in (60 frames), then the curtain from 320 to 640 pixels at 16 a frame.
  EXPECT_NEAR(Between(w.stage_ms, 1, w.stage_ms, 2), 60, 2);
  // (The move counts its frames from its first step, the frame after it is made.)
  EXPECT_NEAR(Between(w.stage_ms, 2, w.stage_ms, 3), 21, 1);
  EXPECT_NEAR(Between(w.stage_ms, 3, w.stage_ms, 4), 60, 1);
  EXPECT_NEAR(Between(w.stage_ms, 4, w.stage_ms, 5), 28, 1);
  EXPECT_TRUE(w.cycle_ok);
  ASSERT_FALSE(w.fade_alpha.empty());
  for (const auto& [t, alpha] : w.fade_alpha) EXPECT_EQ(alpha, GtamvikCycleAlpha(t)) << t;
  // The report brings step 2's action, on the frame the fade of the pictures ends.
  EXPECT_NEAR(Between(w.stage_ms, 5, w.step_ms, 3), 0, 1);
  EXPECT_TRUE(w.units_shown_at_end);
}

TEST(GtamvikScene, CurtainAfterTheFadeAtSixtyFramesAndSkippedFrames) {
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE("step " + std::to_string(step_ms) + " ms");
    AttackCase row = Row(1, 2, AttackLayout::kNone, "curtain");
    row.step_ms = step_ms;
    std::vector<std::pair<int, int>> curtain;  // (frames of stage 2, curtain x)
    const Watch w = WatchSpecial(row, [&](AttackRig&) {
      const GtamvikSpecial& s = Special();
      if (s.scene.stage == 2 && s.curtain_move != nullptr) {
        curtain.emplace_back(FramesBetween(s.scene.clock.start, TimelineNow()),
                             s.curtain_move->point.x);
      }
    });
    EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
    ASSERT_FALSE(curtain.empty());
    for (const auto& [f, x] : curtain) {
      EXPECT_NEAR(x, 320 * kPx + 16 * kPx * f, 16 * kPx) << "frame " << f;
    }
    EXPECT_NEAR(Between(w.stage_ms, 2, w.stage_ms, 3), 21, step_ms == 0 ? 1 : 3);
  }
}

TEST(GtamvikModes, PetalsEveryTenFramesAndTheModesOnTheirSteps) {
  const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kThree, "modes"));
  EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
  ASSERT_GE(w.petal_frames.size(), 5u);
  // The first timed petal as step 3 begins, then one every 10 frames.
  EXPECT_EQ(w.petal_frames.front(), w.step3_frame + 1);
  for (size_t i = 1; i < w.petal_frames.size(); ++i) {
    EXPECT_NEAR(w.petal_frames[i] - w.petal_frames[i - 1], 10, 1) << "petal " << i;
  }
  EXPECT_NEAR(Between(w.step_ms, 3, w.mode_ms, kGtamvikHover), 30, 1);
  EXPECT_NEAR(Between(w.step_ms, 4, w.mode_ms, kGtamvikRise), 30, 1);
  EXPECT_NEAR(Between(w.step_ms, 7, w.mode_ms, kGtamvikEnd), 0, 1);
  EXPECT_TRUE(w.seen.contains("Gtamvik::Shogeki"));
  EXPECT_TRUE(w.seen.contains("Gtamvik::KiraKira0"));
  EXPECT_FALSE(w.left_after_end);
}

TEST(GtamvikModes, ASparkleTheFrameBeforeEachPetalFromStepFive) {
  std::vector<int> paced;  // the petal clock's frames of the sparkles first seen in steps 5-6
  std::set<std::string> names;
  const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kFront, "paced", 60),
                               [&](AttackRig& r) {
                                 for (const std::string& n : AttackRig::LiveTaskNames()) {
                                   if (n.rfind("Gtamvik::KiraKira", 0) != 0) continue;
                                   if (names.insert(n).second &&
                                       (r.attacker().step == 5 || r.attacker().step == 6)) {
                                     paced.push_back(TimelineFrames(Special().petal_start));
                                   }
                                 }
                               });
  EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
  ASSERT_GE(paced.size(), 3u);
  for (const int at : paced) {
    // On the petal clock's frames 9, 19, 29 ...: the frame before each petal; on the petal's
    // own frame when the clock's count (60 a second, toward zero) has stepped over the one
    // before it.
    const bool with_petal = std::find(w.petal_clock.begin(), w.petal_clock.end(), at) !=
                            w.petal_clock.end();
    EXPECT_TRUE(at % 10 == 9 || (at % 10 == 0 && with_petal))
        << "sparkle at " << at << " petals " << testing::PrintToString(w.petal_clock);
  }
}

// What the shot and the closing visit did on a board of targets along direction 1 (and one
// beside the line, added to the damage list).
struct Sweep {
  std::map<int, int> hits5;     // target slot -> the shot's hit animations on it
  std::map<int, int> signals;   // target slot -> hit signals (the test takes each one)
  std::map<int, int> visits6;   // target slot -> the closing visit's animations on it
  bool turned_out_of_view = false;
  bool in_view_before_turn = true;
  int out_frames = -1;
  int back_frames = -1;
  std::vector<int> counts;      // the running count as it changed
  std::vector<int> counts_at_closing;  // the counts seen up to the closing row
  int closing_anim = -1;
  bool visit_ran = false;
  int side = -1;
  std::vector<std::string> failures;
};

void AddBeside(AttackRig& r, int& side) {
  const auto cell = AttackRig::LayoutCells({.dir = 0, .layout = AttackLayout::kFront}).front();
  side = r.board()->AddUnit(
      testsupport::OnCell(cell.first, cell.second, {.side = 1, .character = 30, .kind = 14, .category = 1}));
  SlgUnit& u = Battle().state.units[static_cast<size_t>(side)];
  Slg::PlaceUnit(u);
  u.stats.life = u.stats.max_life = 99;
  // Its first updates make its sprite, before the attack's baseline is taken.
  for (int i = 0; i < 2; ++i) r.Step();
}

Sweep PlaySweep(bool refuse_shot, uint32_t step_ms = 0) {
  AttackCase row = Row(1, 1, AttackLayout::kThree, refuse_shot ? "refused" : "sweep");
  row.hits = HitSignal::kUnchecked;
  row.step_ms = step_ms;
  Sweep out;
  row.before = [&out](AttackRig& r) { AddBeside(r, out.side); };
  AttackRig r(row);
  r.Start();
  bool added = false;
  std::set<std::string> one_shots;
  uint8_t phase = 255;
  uint32_t back_ms = 0;
  int count = -1;
  const auto each = [&] {
    BattleContext& b = Battle();
    SlgUnit& a = r.attacker();
    if (a.state != 6) return;
    const GtamvikSpecial& s = Special();
    if (!added) {
      // The unit beside the line joins the damage list before the targets are hidden.
      added = true;
      b.targets[static_cast<size_t>(b.target_count++)] = static_cast<int8_t>(out.side);
      if (refuse_shot) {
        b.alloc.refuse = [&r](uint32_t, size_t) { return r.attacker().step == 6; };
      }
    }
    if (a.step >= 7) {
      if (s.count != count) {
        count = s.count;
        out.counts.push_back(count);
      }
      if (s.closing && out.closing_anim < 0) {
        out.counts_at_closing = out.counts;
        out.closing_anim = s.ctx->objects[0]->pattern;
      }
      if (s.shot.phase != phase) {
        if (s.shot.phase == kShotTurn) {
          const SlgPair screen = Slg::WorldToScreen(Slg::RaiseByCellHeight(s.shot.pos));
          out.turned_out_of_view = Slg::InViewArea(screen.x >> 16, screen.y >> 16) == 0;
          out.out_frames = s.shot.out_frames;
        }
        if (s.shot.phase == kShotBack) back_ms = TimelineNow();
        if (s.shot.phase == kShotShrink && back_ms != 0) {
          out.back_frames = FramesBetween(back_ms, TimelineNow());
        }
        phase = s.shot.phase;
      }
      if (s.shot.phase == kShotOut && !refuse_shot) {
        const SlgPair screen = Slg::WorldToScreen(Slg::RaiseByCellHeight(s.shot.pos));
        out.in_view_before_turn &= Slg::InViewArea(screen.x >> 16, screen.y >> 16) != 0;
      }
    }
    std::vector<int> slots(r.targets().begin(), r.targets().end());
    slots.push_back(out.side);
    for (const int slot : slots) {
      SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
      if ((u.flags & kUnitHitNow) == 0) continue;
      ++out.signals[slot];
      u.flags &= ~kUnitHitNow;
    }
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (name == "Gtamvik::Hit") out.visit_ran = true;
      if (name.rfind("AutoPtnChg:No", 0) != 0 || !one_shots.insert(name).second) continue;
      const auto* task = static_cast<const SlgEffectTask*>(Ctx().game_task.FindTask(name.c_str())->work);
      const auto* obj = static_cast<const SlgAnmObj*>(task->owned[0]);
      for (const int slot : slots) {
        const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
        if (obj->x != u.x || obj->y != u.y) continue;
        if (obj->pattern == 5) ++out.hits5[slot];
        if (obj->pattern == 6) ++out.visits6[slot];
      }
    }
  };
  out.failures = PlayToEnd(r, row, each);
  Battle().alloc.refuse = nullptr;
  return out;
}

TEST(GtamvikShot, HitsTheTargetsItCrossesTurnsAtTheViewEdgeAndComesBack) {
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE("step " + std::to_string(step_ms) + " ms");
    const Sweep s = PlaySweep(false, step_ms);
    EXPECT_TRUE(s.failures.empty()) << testing::PrintToString(s.failures);
    // Out and back: each target on the line is entered twice, a hit animation and a new hit
    // signal each time; the one beside the line is never crossed.
    for (const int slot : {1, 2, 3}) {
      EXPECT_EQ(s.hits5.contains(slot) ? s.hits5.at(slot) : 0, 2) << "target " << slot;
      EXPECT_EQ(s.signals.contains(slot) ? s.signals.at(slot) : 0, 2) << "target " << slot;
    }
    EXPECT_FALSE(s.hits5.contains(s.side));
    EXPECT_FALSE(s.signals.contains(s.side));
    EXPECT_TRUE(s.in_view_before_turn);
    EXPECT_TRUE(s.turned_out_of_view);
    EXPECT_GT(s.out_frames, 0);
    EXPECT_NEAR(s.back_frames, s.out_frames, step_ms == 0 ? 1 : 3);
    // The count: 2 with the shot, 1 once back (the closing row then), 0 at its end; 1 while the
    // visit runs, 0 at its end.
    EXPECT_EQ(s.counts, (std::vector<int>{2, 1, 0, 1, 0}));
    EXPECT_EQ(s.counts_at_closing, (std::vector<int>{2, 1}));
    EXPECT_EQ(s.closing_anim, 7) << "direction 1 plays the row's first column";
    EXPECT_TRUE(s.visit_ran);
    for (const int slot : {1, 2, 3, s.side}) {
      EXPECT_EQ(s.visits6.contains(slot) ? s.visits6.at(slot) : 0, 1) << "target " << slot;
    }
  }
}

TEST(GtamvikShot, AShotThatCannotBeMadeClosesAtOnceAndTheVisitFollows) {
  const Sweep s = PlaySweep(true);
  EXPECT_TRUE(s.failures.empty()) << testing::PrintToString(s.failures);
  EXPECT_TRUE(s.hits5.empty());
  // The count 0 from the start: the closing row on the routine's next call, with the visit.
  EXPECT_EQ(s.counts_at_closing, (std::vector<int>{0, 1}));
  EXPECT_TRUE(s.visit_ran);
  EXPECT_EQ(s.counts, (std::vector<int>{0, 1, 0}));
  for (const int slot : {1, 2, 3, s.side}) {
    EXPECT_EQ(s.visits6.contains(slot) ? s.visits6.at(slot) : 0, 1) << "target " << slot;
  }
}

TEST(GtamvikShot, FactorGrowsAndShrinksByATenthAFrame) {
  EXPECT_EQ(GtamvikShotFactor(0, true), 0);
  EXPECT_EQ(GtamvikShotFactor(5, true), 5 * 6553);
  EXPECT_EQ(GtamvikShotFactor(11, true), kPx);
  EXPECT_EQ(GtamvikShotFactor(40, true), kPx);
  EXPECT_EQ(GtamvikShotFactor(0, false), kPx);
  EXPECT_EQ(GtamvikShotFactor(10, false), kPx - 10 * 6553);
  EXPECT_EQ(GtamvikShotFactor(11, false), 0);
}

TEST(GtamvikSpecial, AShortBodyStillPlaysTheCurtainAndCycleBeforeTheWhiteOut) {
  const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kFront, "short_body", 2));
  EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
  // Curtain, cycle and its fade, then the hold; the white-out only after step 5.
  ASSERT_TRUE(w.stage_ms.contains(5) && w.stage_ms.contains(6) && w.step_ms.contains(6));
  EXPECT_NEAR(Between(w.stage_ms, 3, w.stage_ms, 5), 88, 2);
  EXPECT_GE(Between(w.step_ms, 6, w.stage_ms, 6), 0);
  EXPECT_TRUE(w.cycle_ok);
  EXPECT_TRUE(w.units_shown_at_end);
}

}  // namespace
