// Player kind 7's attacks on the attack rig: the smoke rows of every type (also with skipped
// frames), the normal attack's objects by type and direction (six or seven for a critical), the
// special's bursts, flash, scrolling strip and white-out, object 2's short and long animations
// (the attack ends only after the white-out), and the camera with and without targets.

#include "battle_effects/gkadrun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::HitSignal;

constexpr int kKind = 7;
constexpr int32_t kPx = 65536;

GkadrunSpecial& Special() { return GkadrunAttackWork().special; }

struct SetsOf {
  int body = 90;       // SPECIAL_BODY 0, one-tick frames
  int first = 40;      // SPECIAL_EFFECT 0 (object 1's first animation)
  int object2 = 8;     // SPECIAL_EFFECT 6 (object 2's second animation)
};

// ATTACK_EFFECT 0-12; SPECIAL_BODY 0-1, SPECIAL_EFFECT 0-6; SPECIAL_BG picture 0 (the flash) and
// 1 (the strip's tile, 256 x 512).
void GkadrunSets(AttackFixtures& f, const SetsOf& s) {
  f.Slot(kAnmAttackEffect, 13);
  f.Slot(kAnmSpecialBody, {AttackAnim{.frames = s.body, .ticks = 1}, AttackAnim{}});
  std::vector<AttackAnim> effects(7);
  effects[0] = AttackAnim{.frames = s.first, .ticks = 1};
  effects[6] = AttackAnim{.frames = s.object2, .ticks = 1};
  f.Slot(kAnmSpecialEffect, effects);
  f.Pictures(kAnmSpecialBg, {{320, 240}, {256, 512}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name,
               const SetsOf& sets = {}) {
  AttackCase row = PlayerAttackRow(kKind, "Gkadrun", type, dir, layout, name);
  row.fixtures = [sets](AttackFixtures& f) { GkadrunSets(f, sets); };
  return row;
}

void PlayRows(int type, int first, int last, uint32_t step_ms = 0) {
  ExpectSmokeRows([type](int dir, AttackLayout layout, const std::string& name) {
    return Row(type, dir, layout, name);
  }, first, last, step_ms);
}

TEST(GkadrunSmoke, NormalFacing0123) { PlayRows(0, 0, 3); }
TEST(GkadrunSmoke, CriticalFacing0123) { PlayRows(2, 0, 3); }
TEST(GkadrunSmoke, TypeThreeFacing0123) { PlayRows(3, 0, 3); }
TEST(GkadrunSmoke, SpecialFacing01) { PlayRows(1, 0, 1); }
TEST(GkadrunSmoke, SpecialFacing23) { PlayRows(1, 2, 3); }
TEST(GkadrunSmoke, SpecialSkippingFrames) { PlayRows(1, 0, 1, 50); }

TEST(GkadrunSmoke, SpecialWithShortOrMissingSets) {
  ExpectSetVariants([](const std::string& name) { return Row(1, 1, AttackLayout::kThree, name); });
}

TEST(GkadrunNormal, ObjectsByTypeAndDirection) {
  const std::vector<LayeredRow> type0 = {
      {{0, 1}, 0}, {{0, 1}, 0}, {{5, 9}, 0}, {{6, 10}, 0}, {{7, 11}, 0}};
  const std::vector<LayeredRow> type2 = {{{2, 3}, 0},  {{2, 3}, 0},  {{5, 9}, 0}, {{6, 10}, 0},
                                         {{7, 11}, 0}, {{8, 12}, 0}, {{1, 4}, 0}};
  for (const int type : {0, 2, 3}) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("type " + std::to_string(type) + " direction " + std::to_string(dir));
      const LayeredOutcome out = PlayLayered(Row(type, dir, AttackLayout::kFront, "objects"),
                                             [] { return GkadrunAttackWork().normal.ctx; });
      EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
      const int critical = dir == 0 || dir == 3 ? 7 : 6;
      const int count = type == 2 ? critical : type == 3 ? 2 : 5;
      EXPECT_EQ(out.objects, ExpectedHeldObjects(type == 2 ? type2 : type0, count, dir));
      EXPECT_NEAR(out.from_body_end, 30, 2);
    }
  }
}

// What one special showed.
struct Watch {
  std::map<int, uint32_t> step_ms;   // unit step -> game clock when it began
  std::map<int, uint32_t> stage_ms;  // scene stage -> game clock when it began
  uint32_t white_ms = 0, picture_ms = 0, gone_ms = 0;  // the flash's entries
  std::vector<int> bursts;     // burst clock frames of each burst
  uint32_t first_end_ms = 0;   // object 1's first animation ended
  uint32_t body_end_ms = 0;    // the body's first animation ended
  bool burst_places_ok = true;
  std::vector<std::pair<int, int>> strip;  // (scroll y, entry y) while the strip shows
  std::set<std::pair<int, int>> scrolls;   // the battle's scroll, every frame
  SlgCamera camera_start{}, camera_scene{}, camera_end{};  // at the start, the last frame of
                                                          // the routine, the first after it
  bool seen_end = false;
  bool ended_after_white_out = false;
  bool units_shown_at_end = false;
  std::vector<std::string> failures;
};

Watch WatchSpecial(const AttackCase& row) {
  AttackRig r(row);
  r.Start();
  Watch w;
  w.camera_start = Battle().camera;
  int step = -1, stage = -1;
  bool white = false, picture = false;
  std::set<std::string> one_shots;
  const auto each = [&] {
    const GkadrunSpecial& s = Special();
    const uint32_t now = TimelineNow();
    const BattleContext& b = Battle();
    w.scrolls.insert({b.state.scroll_x, b.state.scroll_y});
    if (r.attacker().state == 7 && !w.seen_end) {
      // The scene's last stage ends on the call that ends the attack.
      w.seen_end = true;
      w.stage_ms.emplace(s.scene.stage, now);
      w.camera_end = b.camera;
      w.ended_after_white_out = s.scene.stage == kGkadrunSceneEnd;
      w.units_shown_at_end = (b.flags & 0x6) == 0x6;
    }
    if (r.attacker().state != 6) return;
    w.camera_scene = b.camera;
    if (static_cast<int>(r.attacker().step) != step) {
      step = r.attacker().step;
      w.step_ms.emplace(step, now);
    }
    if (s.scene.stage != stage) {
      stage = s.scene.stage;
      w.stage_ms.emplace(stage, now);
    }
    if (s.white_entry != nullptr && !white) {
      white = true;
      w.white_ms = now;
    }
    if (s.picture_entry != nullptr && !picture) {
      picture = true;
      w.picture_ms = now;
    }
    if (picture && s.picture_entry == nullptr && w.gone_ms == 0) w.gone_ms = now;
    if (s.strip_entry != nullptr) w.strip.emplace_back(s.scroll.y, s.strip_entry->y);
    if (step == 3) {
      const SlgAnmObj* body = s.ctx->objects[0];
      if (w.first_end_ms == 0 && SlgAnmObjIsEnd(s.ctx->objects[1]) != 0) w.first_end_ms = now;
      if (w.body_end_ms == 0 && SlgAnmObjIsEnd(body) != 0) w.body_end_ms = now;
      for (const std::string& name : AttackRig::LiveTaskNames()) {
        if (name.rfind("AutoPtnChg2:No", 0) != 0 || !one_shots.insert(name).second) continue;
        w.bursts.push_back(FramesBetween(s.burst_start, now));
        const auto* task =
            static_cast<const SlgEffectTask*>(Ctx().game_task.FindTask(name.c_str())->work);
        const auto* obj = static_cast<const SlgAnmObj*>(task->owned[0]);
        const int dx = (obj->x - body->x) / kPx;
        const int dy = (obj->y - body->y) / kPx;
        w.burst_places_ok &= (obj->x - body->x) % kPx == 0 && dx % 2 == 0 && dx >= -298 &&
                             dx <= 298 && dy % 2 == 0 && dy >= -94 && dy <= 94 &&
                             obj->depth == body->depth - dy / 8 && obj->pattern == 1 &&
                             (obj->attr == 0 || obj->attr == 16);
      }
    }
  };
  w.failures = PlayToEnd(r, row, each);
  return w;
}

int Between(const std::map<int, uint32_t>& a, int ka, const std::map<int, uint32_t>& b, int kb) {
  if (!a.contains(ka) || !b.contains(kb)) return -1;
  return FramesBetween(a.at(ka), b.at(kb));
}

TEST(GkadrunSpecial, BurstsOnlyWhileTheFirstEffectRunsEveryFiveToTwelveFrames) {
  const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kFront, "bursts"));
  EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
  ASSERT_GE(w.bursts.size(), 3u);
  ASSERT_NE(w.first_end_ms, 0u);
  ASSERT_NE(w.body_end_ms, 0u);
  // The first a frame after the body runs on; then a wait of 5-12 frames each, not all alike.
  EXPECT_NEAR(w.bursts.front(), 1, 1);
  std::set<int> waits;
  for (size_t i = 1; i < w.bursts.size(); ++i) {
    const int gap = w.bursts[i] - w.bursts[i - 1];
    EXPECT_GE(gap, 5);
    EXPECT_LE(gap, 13) << "a wait of 12 frames, counted toward zero on the clock";
    waits.insert(gap);
  }
  EXPECT_GT(waits.size(), 1u);
  // None once object 1's 40 frames are over, though the body plays on to 90.
  const int first_end = FramesBetween(w.step_ms.at(3), w.first_end_ms);
  EXPECT_NEAR(first_end, 40, 2);
  EXPECT_LE(w.bursts.back(), first_end);
  EXPECT_GT(FramesBetween(w.first_end_ms, w.body_end_ms), 40);
  EXPECT_TRUE(w.burst_places_ok);
}

TEST(GkadrunSpecial, FlashStripAndWhiteOut) {
  EXPECT_EQ(GkadrunStripY(0), 0);
  EXPECT_EQ(GkadrunStripY(16 * 32), 0);
  EXPECT_EQ(GkadrunStripY(17 * 32), -32);
  EXPECT_EQ(GkadrunStripY(1000), -488);
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE("step " + std::to_string(step_ms) + " ms");
    AttackCase row = Row(1, 2, AttackLayout::kFront, "flash");
    row.step_ms = step_ms;
    const Watch w = WatchSpecial(row);
    EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
    const int tolerance = step_ms == 0 ? 1 : 3;
    // The flash from the routine's advance: white after 5 frames, picture 0 after 4 more, gone
    // after 8 more.
    ASSERT_TRUE(w.stage_ms.contains(kGkadrunWhite));
    const uint32_t flash = w.stage_ms.at(kGkadrunWhite);
    // (Each stage counts its frames from the call that began it, so a frame the clock's count
    // steps over may add one per stage.)
    EXPECT_NEAR(FramesBetween(flash, w.white_ms), 5, tolerance);
    EXPECT_NEAR(FramesBetween(flash, w.picture_ms), 9, tolerance + 1);
    EXPECT_NEAR(FramesBetween(flash, w.gone_ms), 17, tolerance + 2);
    // The strip drawn at -(y mod 512), y 32 a frame (the move steps after the routine has
    // drawn: each frame's entry shows the y of the frame before); the white-out 60 frames after
    // the scroll's start, over 60 frames.
    ASSERT_GE(w.strip.size(), 2u);
    std::set<int> ys;
    for (size_t i = 1; i < w.strip.size(); ++i) {
      const int y = w.strip[i - 1].first;
      EXPECT_EQ(y % 32, 0);
      EXPECT_EQ(w.strip[i].second, GkadrunStripY(y)) << "y " << y;
      ys.insert(y);
    }
    if (step_ms == 0) {
      EXPECT_TRUE(ys.contains(0));
    }
    EXPECT_GE(*ys.rbegin(), 58 * 32) << "60 frames of the scroll";
    EXPECT_NEAR(Between(w.stage_ms, kGkadrunScroll, w.stage_ms, kGkadrunWhiteOut), 60, tolerance);
    // The fade's end is seen a call after the engine ends it.
    EXPECT_NEAR(Between(w.stage_ms, kGkadrunWhiteOut, w.stage_ms, kGkadrunSceneEnd), 60,
                2 * tolerance);
    EXPECT_TRUE(w.ended_after_white_out);
    EXPECT_TRUE(w.units_shown_at_end);
  }
}

TEST(GkadrunSpecial, EndsOnlyAfterTheWhiteOutWhateverObjectTwoPlays) {
  // Object 2's animation of 4 frames ends before the flash reports (step 5 then waits while the
  // flash reports); one of 60 outlasts the flash (its report finds no step waiting).
  for (const int frames : {4, 60}) {
    SCOPED_TRACE("object 2 of " + std::to_string(frames) + " frames");
    SetsOf sets;
    sets.object2 = frames;
    const Watch w = WatchSpecial(Row(1, 1, AttackLayout::kThree, "object2", sets));
    EXPECT_TRUE(w.failures.empty()) << testing::PrintToString(w.failures);
    const int step5_vs_report = Between(w.step_ms, 5, w.stage_ms, kGkadrunPictureGone);
    if (frames == 4) {
      EXPECT_GT(step5_vs_report, 0) << "step 5 began before the flash's report";
    } else {
      EXPECT_LT(step5_vs_report, 0) << "the flash reported while step 4 waited";
    }
    EXPECT_TRUE(w.ended_after_white_out);
    EXPECT_TRUE(w.units_shown_at_end);
    EXPECT_NEAR(Between(w.stage_ms, kGkadrunScroll, w.stage_ms, kGkadrunSceneEnd), 120, 2);
  }
}

TEST(GkadrunSpecial, TheCameraMovesOnlyWithTargetsAndComesBack) {
  const Watch none = WatchSpecial(Row(1, 1, AttackLayout::kNone, "no_targets"));
  EXPECT_TRUE(none.failures.empty()) << testing::PrintToString(none.failures);
  EXPECT_EQ(none.scrolls.size(), 1u);
  const Watch one = WatchSpecial(Row(1, 1, AttackLayout::kFront, "targets"));
  EXPECT_TRUE(one.failures.empty()) << testing::PrintToString(one.failures);
  EXPECT_GT(one.scrolls.size(), 1u);
  // Sent toward the target, and back toward the unit at the end (the end's gauges take the
  // camera on from there).
  const auto distance = [&](const SlgCamera& c) {
    return std::abs(c.target_x - one.camera_start.target_x) +
           std::abs(c.target_y - one.camera_start.target_y);
  };
  EXPECT_GT(distance(one.camera_scene), 0);
  EXPECT_LT(distance(one.camera_end), distance(one.camera_scene));
  EXPECT_EQ(one.camera_end.target_y, one.camera_start.target_y);
}

}  // namespace
