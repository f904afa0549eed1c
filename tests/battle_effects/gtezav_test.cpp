// Player kind 12's attacks on the attack rig: the smoke rows of every type, the normal attack's
// direction tables, shells and sparks, the special's tables, its timeline (at 60 frames a second
// and with skipped frames), its background scroll, its edges and a frame of the circling beasts.

#include "battle_effects/gtezav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::HitSignal;

constexpr int kKind = 12;
constexpr int32_t kPx = 65536;

// Kind 12's sets: SPECIAL_BODY animations 0-15, SPECIAL_EFFECT 0-28 and SPECIAL_EFFECT2 0-10 of
// the default length (4 frames of 2 ticks), SPECIAL_BG picture 0 at 640 x 480.
void GtezavSets(AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, 16);
  f.Slot(kAnmSpecialEffect, 29);
  f.Slot(kAnmSpecialEffect2, 11);
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row{.name = "gtezav_type" + std::to_string(type) + "_dir" + std::to_string(dir) +
                         "_" + name,
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Gtezav::SpecialAttack" : "Gtezav::NormalAttack",
                 .prefixes = {"Gtezav"}};
  row.hits = HitSignal::kNone;
  row.frame_limit = 900;
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
    row.frame_limit = 1500;
  }
  row.fixtures = &GtezavSets;
  return row;
}

void PlayRows(int type, int first = 0, int last = 3) {
  for (int dir = first; dir <= last; ++dir) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      testsupport::ExpectAttackCase(Row(type, dir, layout, name));
    }
    AttackCase action = Row(type, dir, AttackLayout::kFront, "action");
    action.road = testsupport::AttackRoad::kAction;
    testsupport::ExpectAttackCase(action);
  }
}

TEST(GtezavSmoke, NormalFacing0123) { PlayRows(0); }
TEST(GtezavSmoke, CriticalFacing0123) { PlayRows(2); }
TEST(GtezavSmoke, TypeThreeFacing0123) { PlayRows(3); }
TEST(GtezavSmoke, SpecialFacing0) { PlayRows(1, 0, 0); }
TEST(GtezavSmoke, SpecialFacing1) { PlayRows(1, 1, 1); }
TEST(GtezavSmoke, SpecialFacing2) { PlayRows(1, 2, 2); }
TEST(GtezavSmoke, SpecialFacing3) { PlayRows(1, 3, 3); }

// About three game frames a step, as on a slow machine.
TEST(GtezavSmoke, EveryTypeWithSkippedFrames) {
  for (int type = 0; type <= 3; ++type) {
    for (const auto road : {testsupport::AttackRoad::kBoard, testsupport::AttackRoad::kAction}) {
      AttackCase row = Row(type, 2, AttackLayout::kFront,
                           road == testsupport::AttackRoad::kBoard ? "skip" : "skip_action");
      row.road = road;
      row.step_ms = 50;
      testsupport::ExpectAttackCase(row);
    }
  }
}

TEST(GtezavTables, WaitsAnglesAndLaunchersByDirection) {
  const struct {
    int dir;
    int32_t wait, critical_wait, angle;
    SlgPair launcher;
  } rows[] = {{0, 78, 132, 474, {56, -80}},
              {1, 76, 138, 38, {56, 8}},
              {2, 76, 138, 218, {-56, 8}},
              {3, 78, 132, 294, {-56, -80}}};
  for (const auto& r : rows) {
    SCOPED_TRACE("dir " + std::to_string(r.dir));
    EXPECT_EQ(GtezavFirstShellWait(0, r.dir), r.wait);
    EXPECT_EQ(GtezavFirstShellWait(3, r.dir), r.wait);
    EXPECT_EQ(GtezavFirstShellWait(2, r.dir), r.critical_wait);
    EXPECT_EQ(GtezavLaunchAngle(r.dir), r.angle);
    EXPECT_EQ(GtezavLauncherOffset(r.dir).x, r.launcher.x);
    EXPECT_EQ(GtezavLauncherOffset(r.dir).y, r.launcher.y);
    // 16-31 either side of the launch angle, wrapped.
    EXPECT_EQ(GtezavShellAngle(r.dir, 1, 0), (r.angle + 16) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 1, 15), (r.angle + 31) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 0, 0), (r.angle - 16) & 511);
    EXPECT_EQ(GtezavShellAngle(r.dir, 0, 0x12F), (r.angle - 31) & 511);
  }
  EXPECT_EQ(GtezavShellCount(0), 3);
  EXPECT_EQ(GtezavShellCount(3), 3);
  EXPECT_EQ(GtezavShellCount(2), 5);
  EXPECT_EQ(GtezavShellSpacing(0), 15);
  EXPECT_EQ(GtezavShellSpacing(2), 5);
}

TEST(GtezavSparks, SignsByQuadrant) {
  const struct {
    int q;
    int32_t dx, dy;
  } rows[] = {{0, 7, -9}, {1, -7, 9}, {2, -7, -9}, {3, 7, 9}, {4, 7, -9}};
  for (const auto& r : rows) {
    const SlgPair p = GtezavSparkOffset(r.q, 7, 9);
    EXPECT_EQ(p.x, r.dx) << "q " << r.q;
    EXPECT_EQ(p.y, r.dy) << "q " << r.q;
  }
}

// A shell launched away from its target: flown by hand with the stored turns.
GtezavShell ShellAt(SlgPair from, SlgPair aim, int32_t heading) {
  GtezavShell s{};
  s.homing.pos = {from.x * kPx, from.y * kPx};
  s.homing.aim = {aim.x * kPx, aim.y * kPx};
  s.homing.heading = heading;
  s.homing.has_aim = true;
  for (size_t i = 0; i < s.turns.size(); ++i) s.turns[i] = 16 + static_cast<int32_t>(i % 16);
  return s;
}

TEST(GtezavShellHoming, ReachesANearTargetAndGivesUpOnAFarOne) {
  GtezavShell near = ShellAt({0, 0}, {200, 40}, 0);
  int32_t f = 0;
  while (!GtezavFlyShell(near, ++f) && f < 1000) {
  }
  EXPECT_LT(near.homing.turns, kGtezavShellTurns);
  // Ended on the overlap of the 16 px box with the 8 px target box.
  EXPECT_LE(std::abs(near.homing.pos.x - near.homing.aim.x), 24 * kPx);
  EXPECT_LE(std::abs(near.homing.pos.y - near.homing.aim.y), 24 * kPx);

  // 6 px a frame for 120 frames cannot reach 800 px: the 60 turns end it.
  GtezavShell far = ShellAt({0, 0}, {800, 0}, 256);
  f = 0;
  while (!GtezavFlyShell(far, ++f) && f < 1000) {
  }
  EXPECT_EQ(far.homing.turns, kGtezavShellTurns);
  EXPECT_EQ(f, 2 * kGtezavShellTurns - 1);
}

TEST(GtezavShellHoming, SkippedFramesFlyTheSamePath) {
  GtezavShell a = ShellAt({0, 0}, {300, 100}, 128);
  GtezavShell b = a;
  for (int32_t f = 1; f <= 40; ++f) GtezavFlyShell(a, f);
  GtezavFlyShell(b, 17);
  GtezavFlyShell(b, 40);
  EXPECT_EQ(a.homing.pos.x, b.homing.pos.x);
  EXPECT_EQ(a.homing.pos.y, b.homing.pos.y);
  EXPECT_EQ(a.homing.heading, b.homing.heading);
}

TEST(GtezavShellHoming, TurnsByTheStoredStepsOneWayUntilTheTargetAngle) {
  // Heading 0 (east), the target due south-ish: each turn is the stored step the same way.
  GtezavShell s = ShellAt({0, 0}, {0, 4000}, 0);
  GtezavShell copy = s;
  GtezavFlyShell(s, 1);
  const int32_t aim = HomingAimAngle(copy.homing);
  const int way = copy.homing.way == 0 ? (aim < 256 ? 1 : -1) : copy.homing.way;
  EXPECT_EQ(s.homing.heading, (0 + way * s.turns[0]) & 511);
  GtezavFlyShell(s, 3);
  EXPECT_EQ(s.homing.heading, (0 + way * (s.turns[0] + s.turns[1])) & 511);
}


using testsupport::AttackRig;

constexpr uint8_t kStateAfterAttack = 7;

GtezavWork& Work(AttackRig& r) { return r.rig().battle().Extension<GtezavWork>(); }


// The rig frames of the trace lines that start with `prefix`.
std::vector<int> FramesOf(const std::vector<testsupport::AttackTraceLine>& lines,
                          const std::string& prefix) {
  std::vector<int> out;
  for (const auto& line : lines) {
    if (line.text.rfind(prefix, 0) == 0) out.push_back(line.frame);
  }
  return out;
}

// ---- The special's tables and motions ----

TEST(GtezavSpecialTables, PicturesAndBeastsByIndex) {
  const struct {
    int i;
    SlgPair start;
    uint32_t anm, second;
    int32_t beast_angle;
    uint32_t beast;
  } rows[] = {{0, {384, -368}, 4, 8, 64, 13},
              {1, {-384, -368}, 6, 10, 192, 15},
              {2, {384, 0}, 3, 7, 320, 12},
              {3, {0, 496}, 5, 9, 448, 14}};
  for (const auto& r : rows) {
    SCOPED_TRACE("index " + std::to_string(r.i));
    EXPECT_EQ(GtezavPictureStart(r.i).x, r.start.x);
    EXPECT_EQ(GtezavPictureStart(r.i).y, r.start.y);
    EXPECT_EQ(GtezavPictureAnm(r.i, false), r.anm);
    EXPECT_EQ(GtezavPictureAnm(r.i, true), r.second);
    EXPECT_EQ(GtezavBeastAngle(r.i), r.beast_angle);
    EXPECT_EQ(GtezavBeastAnm(r.i), r.beast);
  }
}

TEST(GtezavSpecialTables, PicturesFlyAtFortyAndBrakeOverTheLastTwentyFrames) {
  // |(384, -368)| = 531 px: 20 braking frames cover 400, 4 more at 40 the rest.
  const struct {
    int32_t distance, frames;
  } flights[] = {{531, 24}, {384, 20}, {496, 23}, {400, 20}, {401, 21}, {1, 1}, {0, 0}};
  for (const auto& f : flights) EXPECT_EQ(GtezavFlyFrames(f.distance), f.frames) << f.distance;
  EXPECT_EQ(GtezavFlyDistance(531, 0), 531 * kPx);
  EXPECT_EQ(GtezavFlyDistance(531, 1), 520 * kPx);  // 40 a frame before the brake
  EXPECT_EQ(GtezavFlyDistance(531, 3), 440 * kPx);
  EXPECT_EQ(GtezavFlyDistance(531, 4), 400 * kPx);  // the brake: k x k, k frames from the end
  EXPECT_EQ(GtezavFlyDistance(531, 14), 100 * kPx);
  EXPECT_EQ(GtezavFlyDistance(531, 23), 1 * kPx);
  EXPECT_EQ(GtezavFlyDistance(531, 24), 0);
  EXPECT_EQ(GtezavFlyDistance(531, 99), 0);
  // The braking: the speed falls by 2 px a frame every frame of the last 20.
  for (int32_t t = 5; t < 24; ++t) {
    const int32_t before = GtezavFlyDistance(531, t - 1) - GtezavFlyDistance(531, t);
    const int32_t after = GtezavFlyDistance(531, t) - GtezavFlyDistance(531, t + 1);
    EXPECT_EQ(before - after, 2 * kPx) << t;
  }
}

TEST(GtezavSpecialTables, FoldCornersAtTheStartTheMiddleAndTheEnd) {
  using Corners = std::array<int32_t, 4>;
  EXPECT_EQ(GtezavFoldCorners(0), (Corners{kPx, kPx, kPx, kPx}));
  const int32_t w7 = kPx + 7 * 1310, h7 = kPx - 7 * 4369;
  EXPECT_EQ(GtezavFoldCorners(7), (Corners{w7, h7, w7, h7}));
  // Flat at 15 (1/65536 of its height); beyond holds.
  const int32_t w15 = kPx + 15 * 1310;
  EXPECT_EQ(GtezavFoldCorners(15), (Corners{w15, 1, w15, 1}));
  EXPECT_EQ(GtezavFoldCorners(40), GtezavFoldCorners(15));
}

TEST(GtezavSpecialTables, LightsSpinUpAndEndAfterRising360Pixels) {
  GtezavLightMotion m{.angle = 128, .spin = 0, .rise = 0, .rise_speed = 0};
  int frames = 0;
  int32_t before = 0;
  while (!GtezavLightStep(m) && frames < 1000) {
    ++frames;
    before = m.rise;
    EXPECT_LE(m.spin, 16);
    EXPECT_GE(m.rise_speed, -16 * kPx);
  }
  ++frames;
  // Speed -n/4 after n frames: risen n(n + 1)/8 px, 360 first reached at n = 54.
  EXPECT_EQ(frames, 54);
  EXPECT_GT(before, -360 * kPx);
  EXPECT_EQ(m.rise, -54 * 55 * kPx / 8);
  EXPECT_EQ(m.spin, 16);
  EXPECT_EQ(m.angle, (128 + 136 + 16 * (54 - 16)) & 511);
  // The speed stops at -16 px a frame.
  GtezavLightMotion fast{.angle = 0, .spin = 0, .rise = -4000 * kPx, .rise_speed = -16 * kPx};
  GtezavLightStep(fast);
  EXPECT_EQ(fast.rise_speed, -16 * kPx);
}

TEST(GtezavSpecialTables, BeastsGrowShrinkCloseInAndFade) {
  const struct {
    int32_t f, zoom;
  } zooms[] = {{0, 0},        {10, 32760}, {20, 65520},         {21, kPx},
               {29, kPx},     {30, kPx},   {31, kPx - 3276},    {40, kPx - 32760},
               {50, kPx - 65520}, {80, kPx - 65520}};
  for (const auto& z : zooms) EXPECT_EQ(GtezavBeastEffectZoom(z.f), z.zoom) << z.f;
  EXPECT_EQ(GtezavBeastRadius(0), 96 * kPx);
  EXPECT_EQ(GtezavBeastRadius(60), 96 * kPx - 60 * 6553);
  EXPECT_EQ(GtezavBeastRadius(2000), 0);
  EXPECT_EQ(GtezavBeastAlpha(0), 0x30000u);
  EXPECT_EQ(GtezavBeastAlpha(30), 0x30080u);
  EXPECT_EQ(GtezavBeastAlpha(60), 0x30100u);
  EXPECT_EQ(GtezavBeastAlpha(200), 0x30100u);
}


// ---- The special on the rig ----

struct SpecialSeen {
  std::array<int, 4> flying_ms{};       // game clock when picture i was first seen flying
  std::array<int, 4> counter_ms{};      // when the counter first reached i (0: picture 0's wait)
  std::array<int32_t, 4> fly_start{};   // the picture's task frames at its flight
  std::set<int32_t> fold_steps;         // the fold steps whose corners were seen
  int corner_checks = 0;
  std::array<int32_t, 4> light_rise{};  // the last rise seen
  std::array<bool, 4> light_seen{};
  std::array<int, 4> beast_made_ms{};   // when beast k was first seen
  std::array<int, 4> beast_out_ms{};    // when beast k left the running count
  int most_beasts_in_entrance = 0;
  int mode2_ms = 0, mode3_ms = 0, state7_ms = 0;
  bool closed_in = false;               // every beast's radius fell after mode 2
  int beasts_after_mode3 = 0;           // beasts alive a frame after mode 3
  bool flags_at_step6 = false, shadows_at_step7 = false;
  bool scroll_before = false, scroll_after = false;
};

// Plays the special (dir 1, one target) to its end, watching every frame.
SpecialSeen PlaySpecial(uint32_t step_ms, std::vector<std::string>& failures,
                        std::vector<testsupport::AttackTraceLine>* keep = nullptr, int* scatter = nullptr) {
  AttackCase row = Row(1, 1, AttackLayout::kFront, "timeline");
  row.step_ms = step_ms;
  AttackRig r(row);
  r.Start();
  SpecialSeen s;
  s.counter_ms.fill(-1);
  s.flying_ms.fill(-1);
  s.beast_made_ms.fill(-1);
  s.beast_out_ms.fill(-1);
  std::array<int32_t, 4> closing{};  // the most frames of closing in seen, by beast
  failures = PlayToEnd(r, row, [&] {
    GtezavSpecial& w = Work(r).special;
    const int now = static_cast<int>(r.rig().Now());
    const SlgUnit& a = r.attacker();
    if (a.state == kStateAfterAttack) {
      if (s.state7_ms == 0) s.state7_ms = now;
      return;
    }
    for (int i = 1; i < 4; ++i) {
      if (w.counter >= i && s.counter_ms[i] < 0) s.counter_ms[i] = now;
    }
    for (int i = 0; i < 4; ++i) {
      const std::string name = "Gtezav::Picture" + std::to_string(i);
      const SlgEffectTask* t = EffectTaskNamed(name);
      const GtezavPicture* p = EffectTaskWork<GtezavPicture>(name);
      if (p == nullptr || p->phase != kGtezavPictureFlying) continue;
      if (s.flying_ms[i] < 0) {
        s.flying_ms[i] = now;
        s.fly_start[i] = p->fly_start;
      }
      // The corners of the fold and the unfold as the frame showed them.
      const int32_t f = t->frames - p->fly_start;
      const int32_t rest = p->fly + kGtezavPictureRest;
      if (f < rest || f >= rest + 2 * kGtezavPictureFold) continue;
      const int32_t k = f < rest + kGtezavPictureFold ? f - rest
                                                       : 2 * kGtezavPictureFold - (f - rest);
      const SpxAnimeBlock* b = Scene().tamvik_spr.spx()->Block(p->obj->handle);
      ASSERT_NE(b, nullptr);
      ASSERT_TRUE(b->corners);
      EXPECT_EQ(*b->corners, GtezavFoldCorners(k)) << "picture " << i << " frame " << f;
      s.fold_steps.insert(k);
      ++s.corner_checks;
    }
    for (int i = 0; i < 4; ++i) {
      const GtezavLight* l = EffectTaskWork<GtezavLight>("Gtezav::Light" + std::to_string(i));
      if (l == nullptr) continue;
      s.light_seen[static_cast<size_t>(i)] = true;
      s.light_rise[static_cast<size_t>(i)] = l->motion.rise;
    }
    int in_entrance = 0;
    for (int k = 0; k < 4; ++k) {
      const GtezavBeast* b = EffectTaskWork<GtezavBeast>("Gtezav::beast" + std::to_string(k));
      if (b == nullptr) continue;
      if (s.beast_made_ms[k] < 0) s.beast_made_ms[k] = now;
      if (b->counted != 0) ++in_entrance;
      if (b->counted == 0 && s.beast_out_ms[k] < 0) s.beast_out_ms[k] = now;
      if (w.mode == kGtezavBeastsEnd) ++s.beasts_after_mode3;
      if (w.mode == kGtezavBeastsClose && b->phase == kGtezavBeastClosing) {
        // Closing in and fading in by the frames since it saw mode 2.
        const int32_t f = EffectTaskNamed("Gtezav::beast" + std::to_string(k))->frames - b->phase_start;
        EXPECT_EQ(b->radius, GtezavBeastRadius(f)) << "beast " << k;
        EXPECT_EQ(SlgSprGetAlpha(b->objs[2]), GtezavBeastAlpha(f)) << "beast " << k;
        closing[static_cast<size_t>(k)] = std::max(closing[static_cast<size_t>(k)], f);
      }
    }
    s.most_beasts_in_entrance = std::max(s.most_beasts_in_entrance, in_entrance);
    if (w.mode >= kGtezavBeastsClose && s.mode2_ms == 0) s.mode2_ms = now;
    if (w.mode >= kGtezavBeastsEnd && s.mode3_ms == 0) {
      s.mode3_ms = now;
      s.closed_in = std::all_of(closing.begin(), closing.end(), [](int32_t f) { return f >= 50; });
      if (scatter != nullptr) {
        *scatter = static_cast<int>(r.trace().Filter({"task+ AutoPtnChg2"}).size());
      }
    }
    const uint16_t flags = r.rig().battle().flags;
    if (a.step == 6) s.flags_at_step6 = (flags & 0x46) == 0x46;
    if (a.step == 7 && !s.shadows_at_step7) s.shadows_at_step7 = (flags & 0x40) == 0;
    const bool scrolling = !Ctx().anime.Records(kAnimeLayerScroll).empty();
    if (a.step >= 2 && a.step <= 4) s.scroll_before = s.scroll_before || scrolling;
    if (a.step >= 6) s.scroll_after = s.scroll_after || scrolling;
  });
  if (keep != nullptr) *keep = r.trace().lines();
  return s;
}

void ExpectTimeline(uint32_t step_ms) {
  std::vector<std::string> failures;
  std::vector<testsupport::AttackTraceLine> trace;
  int scatter_at_mode3 = -1;
  const SpecialSeen s = PlaySpecial(step_ms, failures, &trace, &scatter_at_mode3);
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  // A step of the rig is this many frames, at most.
  const int slack = step_ms == 0 ? 1 : static_cast<int>(step_ms * 60 / 1000) + 1;
  // Picture 0 sets off 120 frames after its start; each other one on the frame its number is
  // reached by the counter (the unfold of the one before).
  EXPECT_GE(s.fly_start[0], kGtezavPictureWait);
  EXPECT_LE(s.fly_start[0], kGtezavPictureWait + slack);
  for (int i = 1; i < 4; ++i) {
    SCOPED_TRACE("picture " + std::to_string(i));
    ASSERT_GE(s.counter_ms[i], 0);
    EXPECT_EQ(s.flying_ms[i], s.counter_ms[i]);
    EXPECT_GT(s.flying_ms[i], s.flying_ms[i - 1]);
  }
  // At 60 frames a second every fold step is seen, 0, 7 and 15 among them.
  EXPECT_GT(s.corner_checks, 0);
  if (step_ms == 0) {
    EXPECT_EQ(s.fold_steps.size(), 16u);
  }
  // The lights: each ended once it had risen 360 px, and not before.
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(s.light_seen[static_cast<size_t>(i)]);
    EXPECT_GT(s.light_rise[static_cast<size_t>(i)], -360 * kPx);
  }
  // The beasts: one after another, each made on the frame the one before left the count.
  EXPECT_EQ(s.most_beasts_in_entrance, 1);
  for (int k = 1; k < 4; ++k) {
    SCOPED_TRACE("beast " + std::to_string(k));
    ASSERT_GE(s.beast_made_ms[k], 0);
    // The routine runs before the beasts in a frame: it sees the count fall on the next one.
    EXPECT_GT(s.beast_made_ms[k], s.beast_out_ms[k - 1]);
    EXPECT_LE(FramesBetween(static_cast<uint32_t>(s.beast_out_ms[k - 1]),
                            static_cast<uint32_t>(s.beast_made_ms[k])),
              slack);
  }
  EXPECT_TRUE(s.closed_in) << "mode 2 closes the beasts in, fading";
  EXPECT_EQ(s.beasts_after_mode3, 0) << "mode 3 frees them on its frame";
  EXPECT_EQ(FramesOf(trace, "task- Gtezav::beast").size(), 4u);
  // 60 frames from the last beast's entrance to mode 2, 60 more to mode 3, 150 to state 7.
  const auto frames = [](int from, int to) {
    return FramesBetween(static_cast<uint32_t>(from), static_cast<uint32_t>(to));
  };
  EXPECT_NEAR(frames(s.beast_out_ms[3], s.mode2_ms), 60, slack);
  EXPECT_NEAR(frames(s.mode2_ms, s.mode3_ms), 60, slack);
  EXPECT_NEAR(frames(s.mode3_ms, s.state7_ms), 150, slack);
  EXPECT_EQ(scatter_at_mode3, 14);
  EXPECT_TRUE(s.flags_at_step6) << "the clean-up sets SlgFlags 0x46";
  EXPECT_TRUE(s.shadows_at_step7) << "step 6 clears bit 6";
  EXPECT_TRUE(s.scroll_before);
  EXPECT_FALSE(s.scroll_after) << "the clean-up deletes the scroll";
}

TEST(GtezavSpecialPlay, TimelineAtSixtyFrames) { ExpectTimeline(0); }
TEST(GtezavSpecialPlay, TimelineWithSkippedFrames) { ExpectTimeline(50); }


bool StepUntil(AttackRig& r, const std::function<bool()>& reached, int limit = 1500) {
  for (int n = 0; n < limit && !reached(); ++n) r.Step();
  return reached();
}

bool SameTop5(uint32_t a, uint32_t b) { return (a & 0xF8F8F8) == (b & 0xF8F8F8); }

// ---- The special's edges ----

TEST(GtezavSpecialEdges, NoTargetStartsNoBeastAndScattersNothing) {
  const AttackCase row = Row(1, 1, AttackLayout::kNone, "no_target");
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  // The end check: the camera, layers, fade, flags, entries and allocations as before.
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_GE(out.state7_frame, 0);
  EXPECT_EQ(FramesOf(out.lines, "task+ Gtezav::beast").size(), 0u);
  EXPECT_EQ(FramesOf(out.lines, "task+ AutoPtnChg2").size(), 0u);
  // The scene ran whole: the four pictures and the lights.
  EXPECT_EQ(FramesOf(out.lines, "task+ Gtezav::Picture").size(), 4u);
  EXPECT_EQ(FramesOf(out.lines, "task+ Gtezav::Light").size(), 4u);
}

TEST(GtezavSpecialEdges, NoSpecialEffect2EndsTheAttackOnItsFirstFrame) {
  AttackCase row = Row(1, 1, AttackLayout::kFront, "no_effect2");
  row.fixtures = [](AttackFixtures& f) {
    GtezavSets(f);
    f.Omit(kAnmSpecialEffect2);
  };
  row.sounds = {};
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_EQ(FramesInRoutine(out, "Gtezav::SpecialAttack"), 0);
  EXPECT_EQ(FramesOf(out.lines, "task+ Gtezav").size(), 0u);
}

TEST(GtezavSpecialEdges, ARigDestroyedMidAttackLeavesNothing) {
  // LeakSanitizer and AddressSanitizer watch the ends of the block and the rig.
  for (const auto& [type, step] : {std::pair{1, 3u}, {1, 7u}, {1, 9u}, {0, 2u}, {0, 4u}}) {
    SCOPED_TRACE("type " + std::to_string(type) + " step " + std::to_string(step));
    AttackRig r(Row(type, 1, AttackLayout::kFront, "teardown"));
    r.Start();
    EXPECT_TRUE(StepUntil(r, [&] { return r.InAttack() && r.attacker().step == step; }));
    for (int i = 0; i < 20; ++i) r.Step();
  }
}

TEST(GtezavSpecialPlay, TheBackgroundScrollsDownTwentyPixelsEverySixteenMs) {
  AttackRig r(Row(1, 1, AttackLayout::kFront, "scroll"));
  r.Start();
  ASSERT_TRUE(StepUntil(r, [&] { return r.InAttack() && r.attacker().step == 3; }));
  const AnimeHandle scroll = Work(r).special.scroll;
  const AnimeRec* rec = Ctx().anime.RecordOf(scroll);
  ASSERT_NE(rec, nullptr);
  const auto& block = static_cast<const AnimeScrollBlock&>(*rec->param);
  EXPECT_EQ(block.layer, SURFACE_ROOT);
  EXPECT_EQ(block.dx, 0);
  EXPECT_EQ(block.dy, 20);
  EXPECT_EQ(block.interval, 16u);
  EXPECT_EQ(block.wrap_width, 1024);
  EXPECT_EQ(block.wrap_height, 480);
  EXPECT_EQ(block.moves, 0x7FFFFFFF);
  const uint32_t ms0 = r.rig().Now();
  const int64_t moves0 = block.moves_done;
  bool wrapped = false;
  int last_y = -1;
  for (int i = 0; i < 60; ++i) {
    r.Step();
    const int64_t moves = block.moves_done - moves0;
    const int64_t due = (r.rig().Now() - ms0) / 16;
    EXPECT_NEAR(static_cast<double>(moves), static_cast<double>(due), 1.0);
    int x = 0, y = 0;
    Ctx().ddraw.GetLayerScroll(SURFACE_ROOT, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, static_cast<int>(block.moves_done * 20 % 480));
    wrapped = wrapped || y < last_y;
    last_y = y;
  }
  EXPECT_TRUE(wrapped);
}

// ---- A frame for people: the four beasts circling the target ----

TEST(GtezavFrames, FourBeastsCirclingInBothLayouts) {
  for (const platform::PixelLayout layout :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    const bool rgb565 = layout == platform::PixelLayout::kRgb565;
    AttackCase row = Row(1, 1, AttackLayout::kFront, rgb565 ? "beasts_565" : "beasts_555");
    row.pixels = layout;
    AttackRig r(row);
    r.Start();
    const auto circling = [&] {
      const GtezavSpecial& w = Work(r).special;
      return r.InAttack() && w.beasts == 4 && w.running == 0 && w.mode == kGtezavRocksEnd;
    };
    ASSERT_TRUE(StepUntil(r, circling));
    r.Step();
    r.rig().SaveFrame(row.name);
    for (int k = 0; k < 4; ++k) {
      SCOPED_TRACE("beast " + std::to_string(k));
      const GtezavBeast* b = EffectTaskWork<GtezavBeast>("Gtezav::beast" + std::to_string(k));
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->phase, kGtezavBeastCircling);
      // A pixel of its square, right of its anchor (clear of the marker strip).
      const SlgAnmObj* body = b->objs[2];
      const uint32_t colour = AttackFixtures::ColourRef(kKind, kAnmSpecialEffect, GtezavBeastAnm(k));
      EXPECT_TRUE(SameTop5(r.rig().PixelAt(SlgScreenX(body->x) + 3, SlgScreenY(body->y) - 8),
                           r.rig().Shown(colour)));
    }
  }
}


// ---- The normal attack on the rig ----

struct ShellSeen {
  uint32_t made_ms = 0;
  SlgPair from{};
  SlgPair aim{};
  int32_t heading = -1;
  bool out_seen = false;  // seen after it left the running count
  bool out_on_overlap = false;
};

struct NormalSeen {
  std::map<int, ShellSeen> shells;
  uint32_t step1_ms = 0;
  std::set<int> steps;
  SlgPair base{};    // the attacker's map position raised by its cell height
  SlgPair cursor{};  // the cursor point raised by its cell height
  std::vector<testsupport::AttackTraceLine> lines;
  int state7_frame = -1;
};

NormalSeen PlayNormal(int type, int dir, AttackLayout layout, std::vector<std::string>& failures,
                      uint32_t step_ms = 0,
                      const std::function<void(AttackFixtures&)>& fixtures = &GtezavSets) {
  AttackCase row = Row(type, dir, layout, "normal");
  row.fixtures = fixtures;
  row.step_ms = step_ms;
  AttackRig r(row);
  r.Start();
  NormalSeen seen;
  failures = PlayToEnd(r, row, [&] {
    const GtezavNormal& n = Work(r).normal;
    const SlgUnit& a = r.attacker();
    if (a.state == kStateAfterAttack) {
      if (seen.state7_frame < 0) seen.state7_frame = r.frames();
      return;
    }
    if (!r.InAttack()) return;
    seen.steps.insert(n.step);
    if (n.step == 1 && seen.step1_ms == 0) {
      seen.step1_ms = n.clock.start;
      seen.base = Slg::RaiseByCellHeight({a.x, a.y});
      const auto& c = r.rig().battle().state.cursor_point;
      seen.cursor = Slg::RaiseByCellHeight({c[0] * kPx, c[1] * kPx});
    }
    for (int i = 0; i < 8; ++i) {
      const std::string name = "Gtezav::Shell" + std::to_string(i);
      const SlgEffectTask* t = EffectTaskNamed(name);
      const GtezavShell* s = EffectTaskWork<GtezavShell>(name);
      if (s == nullptr) continue;
      ShellSeen& sh = seen.shells[i];
      if (sh.heading < 0) {
        sh.made_ms = t->start;
        sh.from = s->phase == kGtezavLaunch ? s->from : SlgPair{};
        sh.aim = s->homing.aim;
        sh.heading = s->homing.heading;
      }
      if (s->counted == 0 && !sh.out_seen && s->phase == kGtezavLeaving && s->type != 3) {
        sh.out_seen = true;
        // Counted out on the frame its box met the target's (or its turns ran out).
        const Homing& h = s->homing;
        const bool overlap = std::abs(h.pos.x - h.aim.x) <= 24 * kPx &&
                             std::abs(h.pos.y - h.aim.y) <= 24 * kPx;
        sh.out_on_overlap = h.burst && overlap && h.turns < kGtezavShellTurns &&
                            t->frames == s->phase_start;
      }
    }
  });
  seen.lines = r.trace().lines();
  return seen;
}

void ExpectShells(int type) {
  std::set<int32_t> offsets;
  // Each direction at 60 frames a second, and direction 1 with about three frames a step.
  for (const auto& [dir, step_ms] : {std::pair{0, 0u}, {1, 0u}, {2, 0u}, {3, 0u}, {1, 50u}}) {
    SCOPED_TRACE("type " + std::to_string(type) + " dir " + std::to_string(dir) + " step " +
                 std::to_string(step_ms));
    std::vector<std::string> failures;
    const NormalSeen seen = PlayNormal(type, dir, AttackLayout::kFront, failures, step_ms);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    const int32_t slack = step_ms == 0 ? 1 : static_cast<int32_t>(step_ms * 60 / 1000) + 1;
    ASSERT_EQ(static_cast<int>(seen.shells.size()), GtezavShellCount(type));
    const auto frames = [](uint32_t from, uint32_t to) { return FramesBetween(from, to); };
    const ShellSeen& first = seen.shells.at(0);
    const int32_t wait = GtezavFirstShellWait(type, dir);
    EXPECT_GE(frames(seen.step1_ms, first.made_ms), wait);
    EXPECT_LE(frames(seen.step1_ms, first.made_ms), wait + slack);
    const SlgPair& base = seen.base;
    const SlgPair off = GtezavLauncherOffset(dir);
    const SlgPair& aim = seen.cursor;
    for (const auto& [i, s] : seen.shells) {
      SCOPED_TRACE("shell " + std::to_string(i));
      const int32_t spacing = GtezavShellSpacing(type) * i;
      EXPECT_GE(frames(first.made_ms, s.made_ms), spacing);
      EXPECT_LE(frames(first.made_ms, s.made_ms), spacing + slack);
      // 16-31 either side of the direction's launch angle.
      const int32_t d = (s.heading - GtezavLaunchAngle(dir)) & 511;
      EXPECT_TRUE((d >= 16 && d <= 31) || (d >= 512 - 31 && d <= 512 - 16)) << d;
      offsets.insert(d);
      EXPECT_EQ(s.from.x, base.x + off.x * kPx);
      EXPECT_EQ(s.from.y, base.y + off.y * kPx);
      EXPECT_EQ(s.aim.x, aim.x);
      EXPECT_EQ(s.aim.y, aim.y - 32 * kPx);
      if (type != 3) {
        EXPECT_TRUE(s.out_seen);
        EXPECT_TRUE(s.out_on_overlap);
      }
    }
    // Type 3: no spark, and step 3 goes straight to step 5.
    const size_t sparks = FramesOf(seen.lines, "task+ Gtezav::Spark").size();
    if (type == 3) {
      EXPECT_EQ(sparks, 0u);
      EXPECT_EQ(seen.steps.count(4), 0u);
    } else if (step_ms == 0) {
      EXPECT_EQ(sparks, 4u * 5u);  // one target: 5 sparks on each of the 4 burst frames
      EXPECT_EQ(seen.steps.count(4), 1u);
    } else {
      EXPECT_EQ(sparks % 5, 0u);  // 5 on each call of step 4
      EXPECT_GE(sparks, 2u * 5u);
    }
    EXPECT_EQ(seen.steps.count(5), 1u);
  }
  // The side and the step are drawn (each run's generator starts from the same seed): the
  // shells of a run leave at different angles, on both sides over the five of the critical.
  EXPECT_GE(offsets.size(), 3u);
  if (type == 2) {
    EXPECT_TRUE(std::any_of(offsets.begin(), offsets.end(), [](int32_t d) { return d < 256; }));
    EXPECT_TRUE(std::any_of(offsets.begin(), offsets.end(), [](int32_t d) { return d > 256; }));
  }
}

TEST(GtezavNormal, ShellsOfTypeZeroByDirection) { ExpectShells(0); }
TEST(GtezavNormal, ShellsOfTheCriticalByDirection) { ExpectShells(2); }
TEST(GtezavNormal, ShellsOfTypeThreeByDirection) { ExpectShells(3); }

TEST(GtezavNormal, SparksFivePerTargetEachBurstFrameAndTheEndWaitsForTheLast) {
  // Sparks of 40 frames (every ATTACK_EFFECT animation): longer than the final 30-frame wait.
  const auto long_sparks = [](AttackFixtures& f) {
    GtezavSets(f);
    f.Slot(kAnmAttackEffect, 8, testsupport::AttackAnim{.frames = 40, .ticks = 1});
  };
  for (const int type : {0, 2}) {
    SCOPED_TRACE("type " + std::to_string(type));
    std::vector<std::string> failures;
    const NormalSeen seen = PlayNormal(type, 1, AttackLayout::kThree, failures, 0, long_sparks);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    std::map<int, int> per_frame;
    for (int f : FramesOf(seen.lines, "task+ Gtezav::Spark")) ++per_frame[f];
    ASSERT_EQ(per_frame.size(), 4u);
    int expected_frame = per_frame.begin()->first;
    for (const auto& [frame, count] : per_frame) {
      EXPECT_EQ(frame, expected_frame++) << "bursts on consecutive frames";
      EXPECT_EQ(count, 3 * 5) << "frame " << frame;
    }
    const std::vector<int> ends = FramesOf(seen.lines, "task- Gtezav::Spark");
    ASSERT_EQ(ends.size(), 60u);
    const int last_end = *std::max_element(ends.begin(), ends.end());
    const int last_burst = per_frame.rbegin()->first;
    // 40 frames and a delay of up to 14 from the last burst; state 7 right after, not 30 frames
    // after the burst.
    EXPECT_GE(last_end - last_burst, 40);
    EXPECT_LE(last_end - last_burst, 40 + 14 + 1);
    EXPECT_GE(seen.state7_frame, last_end);
    EXPECT_LE(seen.state7_frame, last_end + 1);
  }
}

TEST(GtezavNormal, SparksPlayTheirAnimationAfterADelayOfUpToFourteenFrames) {
  for (const int type : {0, 2}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackRig r(Row(type, 1, AttackLayout::kThree, "spark_delays"));
    r.Start();
    ASSERT_TRUE(StepUntil(r, [&] { return Work(r).normal.step == 4; }));
    // The first burst: 15 sparks, the type's animation, hidden until their delay has passed.
    const std::vector<EffectAnim> sparks =
        OfAnm(EffectAnims(kKind, kAnmAttackEffect), type == 2 ? 5u : 4u);
    EXPECT_EQ(sparks.size(), 15u);
    std::set<uint32_t> delays;
    for (const EffectAnim& a : sparks) {
      const SpxAnimeBlock* b = Scene().tamvik_spr.spx()->Block(a.handle);
      ASSERT_NE(b, nullptr);
      EXPECT_LE(b->start_delay, 14u);
      delays.insert(b->start_delay);
      EXPECT_EQ(b->frame == -1, b->start_delay > 0);
    }
    EXPECT_GE(delays.size(), 4u) << "the delays are drawn";
    EXPECT_EQ(Work(r).normal.hits, 15);
  }
}

}  // namespace
