// The attacks of the boss of kind 30 on the attack rig: the beams', the dip's, the passing test's
// and the climb's arithmetic; the normal attack over the four directions (its objects, the
// projectile's wait and launch, its flight and burst); the special attack's steps against the
// game clock at 60 fps and with skipped frames, its card, picture, stage objects, rising shape
// and strike; the edge cases and the smoke rows.

#include "battle_effects/boss30.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/scene_fades.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "tests/battle_effects/boss_play.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"

namespace {

using boss_play::Anim;
using boss_play::FrameView;
using boss_play::kStateAttack;
using boss_play::OfAnm;
using boss_play::PinAttacked;
using boss_play::Play;
using boss_play::ShadowOn;
using boss_play::StepOf;
using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;

constexpr int kKind = 30;
constexpr int32_t kPx = 0x10000;
constexpr uint32_t kFlag = 905;

// Slot 6 animations 0-11 and slot 8 animations 0-21 of known lengths (frames x 2 ticks), slot 7
// animations 0-2, the two backgrounds.
void Boss30Sets(AttackFixtures& f) {
  std::vector<AttackAnim> normal(12, AttackAnim{.frames = 4});
  normal[2].frames = normal[0].frames = 20;  // the first pair's first object: 40 frames
  normal[6].frames = normal[4].frames = 40;  // the second pair's: 80
  normal[10].frames = 5;                     // the burst: 10 frames
  f.Slot(kAnmAttackEffect, normal);
  std::vector<AttackAnim> effect(22, AttackAnim{.frames = 4});
  effect[0].frames = 10;  // the aura: 20 frames
  effect[1].frames = 6;   // stage object 0: 12 frames, then object 1 loops
  effect[6].frames = 5;   // the source: a pass of 10 frames
  effect[7].frames = 6;   // a beam: 12 frames
  f.Slot(kAnmSpecialEffect, effect);
  f.Slot(kAnmSpecialBody, 3);
  f.Pictures(kAnmSpecialBg, {{320, 200}, {640, 480}});
}

Play PlayObserved(const AttackCase& row, int after = 0,
                  const std::function<void(AttackRig&, const Play&)>& between = {}) {
  return boss_play::PlayObserved(row, kFlag, "Boss30", after, between);
}

AttackCase Row(int type, int dir, AttackLayout layout) {
  return {.name = "boss30",
          .kind = kKind,
          .type = type,
          .dir = dir,
          .layout = layout,
          .frame_limit = 2000,
          .fixtures = &Boss30Sets,
          .before = &ShadowOn};
}

bool Known(const std::vector<std::pair<AnimeHandle, int>>& seen, AnimeHandle h) {
  return std::any_of(seen.begin(), seen.end(), [h](const auto& e) { return e.first == h; });
}

// ---- The arithmetic ----

TEST(Boss30Arithmetic, BeamsDipPassingAndClimb) {
  // Beams (hand-computed): a = trunc(atan2(-dx, dy + 128) x 256 / pi) & 511; zoom along =
  // trunc(trunc((dy + 176) x 65536 / cos a) x 16384 / 192), cos on the 16384 table.
  struct Beam {
    int k;
    int32_t angle;
    int32_t zoom;
  };
  for (const Beam& b :
       {Beam{0, 488, 71338}, Beam{4, 460, 74752}, Beam{8, 0, 60074}, Beam{12, 441, 67840}}) {
    const Boss30::BeamPose pose = Boss30::BeamAt(b.k);
    EXPECT_EQ(pose.angle, b.angle) << "point " << b.k;
    EXPECT_EQ(pose.zoom.x, kPx) << "point " << b.k;
    EXPECT_EQ(pose.zoom.y, b.zoom) << "point " << b.k;
  }
  // The dip: none at 0 and 32, 64 pixels at 16, rising back above the line after 32.
  EXPECT_EQ(Boss30::DipAt(0), 0);
  EXPECT_EQ(Boss30::DipAt(16), 64 * kPx);
  EXPECT_EQ(Boss30::DipAt(32), 0);
  EXPECT_LT(Boss30::DipAt(33), 0);
  // Passing: either axis beyond the goal; an axis that does not move never passes alone; start
  // and goal in one whole pixel have passed at once.
  struct Pass {
    const char* name;
    SlgPair start, goal, current;
    bool passed;
  };
  const Pass passes[] = {
      {"short of the goal", {0, 0}, {96 * kPx, 48 * kPx}, {95 * kPx, 47 * kPx}, false},
      {"on the goal", {0, 0}, {96 * kPx, 48 * kPx}, {96 * kPx, 48 * kPx}, false},
      {"a pixel beyond on x", {0, 0}, {96 * kPx, 48 * kPx}, {97 * kPx, 48 * kPx}, true},
      {"going left, beyond", {0, 0}, {-96 * kPx, 48 * kPx}, {-98 * kPx, 47 * kPx}, true},
      {"same x: the y test", {5 * kPx, 0}, {5 * kPx, 48 * kPx}, {5 * kPx, 50 * kPx}, true},
      {"same x, short", {5 * kPx, 0}, {5 * kPx, 48 * kPx}, {5 * kPx, 40 * kPx}, false},
      {"same y: the x test", {0, 7 * kPx}, {-48 * kPx, 7 * kPx}, {-49 * kPx - 1, 7 * kPx}, true},
      {"same y, short", {0, 7 * kPx}, {-48 * kPx, 7 * kPx}, {-40 * kPx, 7 * kPx}, false},
      {"start = goal", {3 * kPx, 3 * kPx}, {3 * kPx, 3 * kPx}, {3 * kPx, 3 * kPx}, true},
      {"within one pixel",
       {3 * kPx, 3 * kPx},
       {3 * kPx + 100, 3 * kPx + 9},
       {3 * kPx, 3 * kPx},
       true},
  };
  for (const Pass& p : passes) {
    EXPECT_EQ(Boss30::FlightPassed(p.start, p.goal, p.current), p.passed) << p.name;
  }
  // The climb from -128 pixels: 2, 3, 4 ... pixels a frame; -256 passed in the fifteenth frame.
  EXPECT_EQ(Boss30::ClimbAt(0).y, -128 * kPx);
  EXPECT_EQ(Boss30::ClimbAt(1).y, -130 * kPx);
  EXPECT_EQ(Boss30::ClimbAt(14).y, -247 * kPx);
  EXPECT_FALSE(Boss30::ClimbAt(14).done);
  EXPECT_EQ(Boss30::ClimbAt(15).y, -263 * kPx);
  EXPECT_TRUE(Boss30::ClimbAt(15).done);
  EXPECT_EQ(Boss30::ClimbAt(40).y, -263 * kPx) << "the climb stops where it passed";
}

// ---- The normal attack ----

// What a normal attack showed, with its flight recorded.
struct FlightView {
  int frame;
  int32_t n;         // frames since the launch
  int projectile_y;  // screen pixel (-1: none)
  int line_y;        // the projectile's line at the previous frame's n, undipped
  int dipped_y;      // the same dipped by n
};

struct NormalPlay {
  Play play;
  std::vector<FlightView> flight;
  uint8_t attacked = 0;
  SlgPair goal_screen{};
};

// Plays a normal attack with the attacked-unit byte pinned to slot(r) (null: left alone),
// recording the projectile in its flight.
NormalPlay PlayNormal(const AttackCase& row, const std::function<uint8_t(AttackRig&)>& slot) {
  NormalPlay n;
  const auto pin = slot ? PinAttacked(slot) : std::function<void(AttackRig&, const Play&)>{};
  uint32_t launch_ms = 0;
  int32_t previous_n = 0;
  SlgPair start{}, velocity{};
  n.play = PlayObserved(row, 2, [&](AttackRig& r, const Play& p) {
    if (pin) pin(r, p);
    if (p.step_set.count(4) == 0 || p.state7 >= 0) return;
    const int f = static_cast<int>(p.frames.size()) - 1;
    if (f == p.step_set.at(4)) {
      // The launch's call.
      const SlgUnit& a = r.attacker();
      const SlgUnit& t = BossAttackedUnit(a);
      n.attacked = t.slot;
      launch_ms = p.frames[static_cast<size_t>(f)].ms;
      start = {a.x, a.y};
      velocity = {(t.x - a.x) / 32, (t.y - a.y) / 32};
      n.goal_screen = Slg::PosToScreen({t.x, t.y});
      return;
    }
    const int32_t frames =
        static_cast<int32_t>(int64_t{p.frames[static_cast<size_t>(f)].ms - launch_ms} * 60 / 1000);
    const SlgPair line{start.x + velocity.x * previous_n, start.y + velocity.y * previous_n};
    const std::vector<Anim> projectile =
        OfAnm(p.frames[static_cast<size_t>(f)].effect,
              r.attacker().dir == 1 || r.attacker().dir == 2 ? 11 : 8);
    n.flight.push_back(
        {f, frames, projectile.empty() ? -1 : projectile[0].y,
         (Slg::PosToScreen(line).y >> 16) + 240,
         (Slg::PosToScreen({line.x, line.y + Boss30::DipAt(frames)}).y >> 16) + 240});
    previous_n = frames;
  });
  return n;
}

TEST(Boss30Normal, ObjectsByDirectionProjectileAtFrame63LaunchedWhenBothPairsHaveEnded) {
  constexpr std::array<uint32_t, 4> kBody{1, 0, 0, 1};
  // (animation, depth offset) of the pairs' objects and of the projectile by direction.
  const std::array<std::map<uint32_t, int>, 4> kPairs{{{{2, -1}, {3, 1}, {6, -1}, {7, 1}},
                                                       {{0, -1}, {1, 1}, {4, -1}, {5, 1}},
                                                       {{0, -1}, {1, 1}, {4, -1}, {5, 1}},
                                                       {{2, -1}, {3, 1}, {6, -1}, {7, 1}}}};
  constexpr std::array<uint32_t, 4> kProjectile{8, 11, 11, 8};
  constexpr std::array<int, 4> kProjectileDepth{1, -1, -1, 1};
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    const Play p = PlayNormal(Row(0, dir, AttackLayout::kThree), {}).play;
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    const uint32_t reverse = p.unit_attr;
    EXPECT_EQ(reverse, dir >= 2 ? 16u : 0u);
    const int swung = p.step_set.at(2);
    EXPECT_EQ(swung, p.first_call + 1);
    const FrameView& at = p.frames[static_cast<size_t>(swung)];
    ASSERT_EQ(at.body.size(), 1u);
    EXPECT_EQ(at.body[0].anm, kBody[static_cast<size_t>(dir)]);
    EXPECT_EQ(at.body[0].priority, p.unit_depth + 1536);
    EXPECT_EQ(at.body[0].reverse, reverse);
    ASSERT_EQ(at.effect.size(), 4u);
    for (const Anim& a : at.effect) {
      const auto& pairs = kPairs[static_cast<size_t>(dir)];
      ASSERT_EQ(pairs.count(a.anm), 1u) << "animation " << a.anm;
      EXPECT_EQ(a.priority, p.unit_depth + pairs.at(a.anm) + 1536);
      EXPECT_EQ(a.reverse, reverse);
      EXPECT_EQ(a.loop, 0u);
    }
    // The projectile 63 frames after the start, looping at the unit's drawing position.
    const int made = p.step_set.at(3);
    EXPECT_EQ(made, p.After(swung, 63));
    const std::vector<Anim> projectile =
        OfAnm(p.frames[static_cast<size_t>(made)].effect, kProjectile[static_cast<size_t>(dir)]);
    ASSERT_EQ(projectile.size(), 1u);
    EXPECT_EQ(projectile[0].priority,
              p.unit_depth + kProjectileDepth[static_cast<size_t>(dir)] + 1536);
    EXPECT_EQ(projectile[0].reverse, reverse);
    EXPECT_EQ(projectile[0].loop, 1u);
    EXPECT_EQ(projectile[0].x, (p.frames[static_cast<size_t>(made)].unit_screen.x >> 16) + 320);
    // Launched the frame after the second pair's first object (80 frames) has ended; both pairs
    // gone then.
    const int launched = p.step_set.at(4);
    EXPECT_GE(launched, p.After(swung, 80));
    EXPECT_LE(launched, p.After(swung, 80) + 2);
    for (uint32_t anm = 0; anm <= 7; ++anm) {
      if (anm == kProjectile[static_cast<size_t>(dir)]) continue;
      EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(launched)].effect, anm).empty()) << anm;
    }
  }
  // Pairs shorter than the wait: the launch follows the projectile at once.
  AttackCase short_pairs = Row(0, 1, AttackLayout::kFront);
  short_pairs.fixtures = [](AttackFixtures& f) {
    Boss30Sets(f);
    f.Slot(kAnmAttackEffect, 12, AttackAnim{.frames = 10});
  };
  const Play p = PlayNormal(short_pairs, {}).play;
  EXPECT_EQ(p.step_set.at(4), p.step_set.at(3) + 1);
}

TEST(Boss30Normal, TheProjectileDipsOnItsWayAndBurstsOnTheFrameItPasses) {
  struct Case {
    const char* name;
    int dir;
    AttackLayout layout;
    std::function<uint8_t(AttackRig&)> slot;
  };
  const Case cases[] = {
      {"three cells away", 1, AttackLayout::kThree, [](AttackRig& r) { return r.targets()[2]; }},
      {"the same x, two rows down: the y test", 1, AttackLayout::kNone,
       [](AttackRig& r) { return AddListedTarget(r, AttackRig::kColumn, AttackRig::kRow + 2, 0); }},
      {"the same y, a column left: the x test", 2, AttackLayout::kNone,
       [](AttackRig& r) { return AddListedTarget(r, AttackRig::kColumn - 1, AttackRig::kRow, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = Row(0, c.dir, c.layout);
    uint8_t pinned = 0;
    row.before = [&](AttackRig& r) {
      ShadowOn(r);
      pinned = c.slot(r);
      r.Step();
    };
    const NormalPlay n = PlayNormal(row, [&](AttackRig&) { return pinned; });
    const Play& p = n.play;
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    EXPECT_EQ(n.attacked, pinned);
    // Each frame of the flight is drawn at the previous frame's place, dipped by this frame's n
    // (the rig's clock may skip an n).
    bool deepest = false;
    int32_t last_n = -1;
    int burst = -1;
    for (const FlightView& v : n.flight) {
      if (v.projectile_y < 0) {
        burst = v.frame;
        break;
      }
      EXPECT_EQ(v.projectile_y, v.dipped_y) << "n " << v.n;
      if (v.n == 16) {
        EXPECT_EQ(v.projectile_y - v.line_y, 64);
        deepest = true;
      }
      last_n = v.n;
    }
    EXPECT_TRUE(deepest);
    EXPECT_GE(last_n, 31) << "drawn until the goal";
    EXPECT_LE(last_n, 32);
    // The burst replaces the projectile on the first frame past n = 32 (the goal is reached
    // exactly at 32 and passed after it), at the attacked unit, one depth in front.
    ASSERT_GT(burst, 0);
    const int launched = p.step_set.at(4);
    EXPECT_GT(p.Between(launched, burst), 32);
    EXPECT_LE(p.Between(launched, burst - 1), 32);
    const std::vector<Anim> hit = OfAnm(p.frames[static_cast<size_t>(burst)].effect, 10);
    ASSERT_EQ(hit.size(), 1u);
    EXPECT_EQ(hit[0].x, (n.goal_screen.x >> 16) + 320);
    EXPECT_EQ(hit[0].y, (n.goal_screen.y >> 16) + 240);
    EXPECT_EQ(hit[0].reverse, p.unit_attr);
    EXPECT_EQ(burst, p.step_set.at(5));
    // State 7 once the burst (10 frames) has ended.
    EXPECT_GE(p.state7, p.After(burst, 10));
    EXPECT_LE(p.state7, p.After(burst, 10) + 1);
    for (int f = p.first_call; f <= p.state7; ++f)
      EXPECT_FALSE(p.frames[static_cast<size_t>(f)].flag) << "the normal attack sets no flag";
  }
}

// ---- The special attack ----

// What the special showed beyond the frame views: the picture animation's alpha, the rising
// shape, the source's zoom.
struct SpecialExtra {
  std::map<int, BlendWord> picture_alpha;  // by frame
  std::map<int, Anim> rising;              // by frame
  std::map<int, Anim> source;
  std::map<int, int> beams_drawn;  // by frame: beams drawn so far
};

struct SpecialPlay {
  Play play;
  SpecialExtra extra;
};

SpecialPlay PlaySpecial(const AttackCase& row) {
  SpecialPlay s;
  SprAnm* set = nullptr;
  s.play = PlayObserved(row, 2, [&](AttackRig& /*r*/, const Play& p) {
    const int f = static_cast<int>(p.frames.size()) - 1;
    const FrameView& v = p.frames.back();
    for (const Anim& a : v.effect) {
      if (set == nullptr) set = Scene().tamvik_spr.spx()->Block(a.handle)->anm;
      if (a.anm == 3) s.extra.rising[f] = a;
      if (a.anm == 6) s.extra.source[f] = a;
    }
    if (set != nullptr && p.state7 < 0) {
      std::vector<SprRec*> sprites;
      Scene().tamvik_spr.GetAnmFrameSprites(set, 11, 0, &sprites);
      if (!sprites.empty()) s.extra.picture_alpha[f] = sprites[0]->alpha;
    }
  });
  return s;
}

class Boss30SpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    AttackCase row = Row(1, 1, AttackLayout::kFront);
    row.before = [](AttackRig& r) {
      ShadowOn(r);
      // A second target on strike point 5, (0, +48) pixels from the one in front, raised.
      const auto front = AttackRig::LayoutCells(Row(1, 1, AttackLayout::kFront))[0];
      AddListedTarget(r, front.first, front.second + 2, 2);
      r.Step();
    };
    play_ = new SpecialPlay(PlaySpecial(row));
    AttackCase skipped = row;
    skipped.step_ms = 50;
    skipped_ = new SpecialPlay(PlaySpecial(skipped));
  }
  static void TearDownTestSuite() {
    delete play_;
    delete skipped_;
    play_ = skipped_ = nullptr;
  }
  static int Set(const Play& p, int step) {
    const auto it = p.step_set.find(step);
    return it != p.step_set.end() ? it->second : -1;
  }
  static SpecialPlay* play_;
  static SpecialPlay* skipped_;
};
SpecialPlay* Boss30SpecialPlay::play_ = nullptr;
SpecialPlay* Boss30SpecialPlay::skipped_ = nullptr;

TEST_F(Boss30SpecialPlay, EachStepBeginsWhenItsWaitIsOverAtSixtyFramesAndSkipping) {
  for (const SpecialPlay* s : {play_, skipped_}) {
    const Play& p = s->play;
    SCOPED_TRACE(s == play_ ? "60 fps" : "50 ms a frame");
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_EQ(p.step_set.size(), 15u) << "steps 1-15";
    // Steps that end at once take one call.
    EXPECT_EQ(Set(p, 1), p.first_call);
    for (int step : {2, 9, 15}) EXPECT_EQ(Set(p, step), Set(p, step - 1) + 1) << step;
    // Waits on the clock, from the call that began them.
    struct Wait {
      int step;
      int from;  // the step whose setting starts the count
      int frames;
    };
    for (const Wait& w :
         {Wait{3, 3, 64}, Wait{6, 6, 32}, Wait{7, 7, 2}, Wait{9, 9, 32}, Wait{11, 11, 270}}) {
      SCOPED_TRACE("step " + std::to_string(w.step));
      EXPECT_EQ(Set(p, w.step + 1), p.After(Set(p, w.from), w.frames));
    }
    // Step 10 counts calls, not frames.
    EXPECT_EQ(Set(p, 11) - Set(p, 10), 120);
    // Fades: 32 frames, and the frames the engine takes to end them.
    for (int step : {2, 4, 5, 13}) {
      SCOPED_TRACE("fade of step " + std::to_string(step));
      const int want = p.After(Set(p, step), 32);
      EXPECT_GE(Set(p, step + 1), want);
      EXPECT_LE(Set(p, step + 1), want + 3);
    }
    // The rising shape: 32 frames of growth, then the climb passes -256 in its fifteenth frame;
    // the next call ends step 12.
    const int grown = p.After(Set(p, 12), 32);
    EXPECT_EQ(Set(p, 13), p.After(grown, 15) + 1);
    // The event flag on the last step's call only; the shadow back by then.
    ASSERT_GT(p.state7, 0);
    for (int f = 0; f < p.state7; ++f) EXPECT_FALSE(p.frames[static_cast<size_t>(f)].flag) << f;
    EXPECT_TRUE(p.frames[static_cast<size_t>(p.state7)].flag);
    // The shadow off from the scene's opening until the white-in of step 14 has ended.
    for (int f = Set(p, 2); f < Set(p, 15); ++f)
      EXPECT_EQ(p.frames[static_cast<size_t>(f)].shadow, 0u) << f;
    EXPECT_EQ(p.frames[static_cast<size_t>(p.state7)].shadow, 1u);
    // SlgFlags bits 1 and 2 set back on the map.
    EXPECT_EQ(p.frames[static_cast<size_t>(Set(p, 15))].flags & 6, 6);
  }
}

TEST_F(Boss30SpecialPlay, CardTurnsFromFiveToOneAndThePictureFadesInSixteenSteps) {
  const Play& p = play_->play;
  const int card = Set(p, 3);  // the card's start
  const FrameView& first = p.frames[static_cast<size_t>(card)];
  const std::vector<Anim> cards = OfAnm(first.effect, 12);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].zoom, 5 * kPx);
  EXPECT_EQ(cards[0].priority, p.unit_depth - 1 + 1536);
  // The back polygon at n = 10 (angle 160), none at n = 24 (angle 384); the polygon's colour
  // through the battle layer's conversion.
  EXPECT_EQ(p.frames[static_cast<size_t>(p.After(card, 10))].polys.size(), 1u);
  EXPECT_TRUE(p.frames[static_cast<size_t>(p.After(card, 24))].polys.empty());
  // Facing front at 1.0 from n = 64.
  const std::vector<Anim> last = OfAnm(p.frames[static_cast<size_t>(p.After(card, 64))].effect, 12);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].zoom, kPx);
  EXPECT_TRUE(last[0].drawn);
  // The picture (animation 11): alpha 0x10100, 0x10080, then 0x10000 at fade steps 0, 8, 16.
  const int fade = Set(p, 6) + 1;  // its first step
  ASSERT_EQ(play_->extra.picture_alpha.count(fade), 1u);
  EXPECT_EQ(play_->extra.picture_alpha.at(fade), PictureFadeAlpha(0));
  EXPECT_EQ(PictureFadeAlpha(0), 0x10100u);
  const int eight = p.After(Set(p, 6), 16);
  EXPECT_EQ(play_->extra.picture_alpha.at(eight), 0x10080u);
  EXPECT_EQ(play_->extra.picture_alpha.at(Set(p, 7)), 0x10000u);
  EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(Set(p, 7))].effect, 11).empty());
  // The boss stands still (stopped) at the centre from step 7; it plays from step 10.
  const std::vector<Anim>& boss = p.frames[static_cast<size_t>(Set(p, 7))].body;
  ASSERT_EQ(boss.size(), 1u);
  EXPECT_EQ(boss[0].anm, 0u);
  EXPECT_EQ(boss[0].x, 320);
  EXPECT_EQ(boss[0].y, 240);
}

TEST_F(Boss30SpecialPlay, StageObjectsAuraAndGlow) {
  const Play& p = play_->play;
  const FrameView& made = p.frames[static_cast<size_t>(Set(p, 10))];
  // Objects 0, 2, 3, 4 and the aura drawn at once; 1 and 5-9 made stopped and hidden.
  const std::map<uint32_t, std::pair<int, bool>> want{
      {1, {-2, true}},  {15, {-2, false}}, {2, {1, true}},   {4, {1, true}},
      {5, {1, true}},   {17, {1, false}},  {18, {1, false}}, {19, {1, false}},
      {20, {1, false}}, {21, {1, false}},  {0, {-1, true}}};
  for (const auto& [anm, depth_drawn] : want) {
    SCOPED_TRACE("animation " + std::to_string(anm));
    const std::vector<Anim> a = OfAnm(made.effect, anm);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].priority, p.unit_depth + depth_drawn.first + 1536);
    EXPECT_EQ(a[0].drawn, depth_drawn.second);
    EXPECT_EQ(a[0].x, 320);
  }
  // Object 1 loops once object 0 (12 frames) has played through and is gone.
  int looped = -1;
  for (int f = Set(p, 10); f < Set(p, 14) && looped < 0; ++f) {
    const std::vector<Anim> one = OfAnm(p.frames[static_cast<size_t>(f)].effect, 15);
    ASSERT_EQ(one.size(), 1u);
    if (!one[0].drawn) continue;
    looped = f;
    EXPECT_EQ(one[0].loop, 1u);
    EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(f)].effect, 1).empty());
  }
  EXPECT_GE(looped, p.After(Set(p, 10), 12));
  EXPECT_LE(looped, p.After(Set(p, 10), 12) + 3);
  // Objects 5-9 flash again and again: each is drawn in some frames and hidden in others, and
  // is started anew (another handle) more than once over steps 10-13.
  for (uint32_t anm = 17; anm <= 21; ++anm) {
    std::vector<AnimeHandle> handles;
    int shown = 0, hidden = 0;
    for (int f = Set(p, 10); f < Set(p, 14); ++f) {
      for (const Anim& a : OfAnm(p.frames[static_cast<size_t>(f)].effect, anm)) {
        (a.drawn ? shown : hidden) += 1;
        if (std::find(handles.begin(), handles.end(), a.handle) == handles.end())
          handles.push_back(a.handle);
      }
    }
    EXPECT_GT(shown, 0) << anm;
    EXPECT_GT(hidden, 0) << anm;
    EXPECT_GT(handles.size(), 3u) << anm;
  }
  // The glow loops from step 11.
  const std::vector<Anim> glow = OfAnm(p.frames[static_cast<size_t>(Set(p, 11))].effect, 13);
  ASSERT_EQ(glow.size(), 1u);
  EXPECT_EQ(glow[0].loop, 1u);
  // Nothing of the scene is left on the map.
  for (uint32_t anm : {0u, 1u, 13u, 15u, 17u}) {
    EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(Set(p, 14))].effect, anm).empty()) << anm;
  }
}

TEST_F(Boss30SpecialPlay, TheRisingShapeGrowsThenClimbs) {
  for (const SpecialPlay* s : {play_, skipped_}) {
    SCOPED_TRACE(s == play_ ? "60 fps" : "50 ms a frame");
    const Play& p = s->play;
    const int made = Set(p, 12);
    const int grown = p.After(made, 32);
    for (int f = made; f < Set(p, 13); ++f) {
      ASSERT_EQ(s->extra.rising.count(f), 1u) << f;
      const Anim& a = s->extra.rising.at(f);
      EXPECT_EQ(a.priority, p.unit_depth - 3 + 1536);
      if (f < grown) {
        EXPECT_EQ(a.zoom, std::min(p.Between(made, f), 32) * (kPx / 32)) << f;
        EXPECT_EQ(a.y, 240 - 128);
      } else {
        EXPECT_EQ(a.zoom, kPx);
        EXPECT_EQ(a.y, 240 + (Boss30::ClimbAt(p.Between(grown, f)).y >> 16)) << f;
      }
    }
    EXPECT_TRUE(s->extra.rising.count(Set(p, 13)) == 0) << "freed when it has passed -256";
  }
}

TEST_F(Boss30SpecialPlay, ThirteenBeamsInGroupsAndHitsOnTheTargetsCells) {
  for (const SpecialPlay* s : {play_, skipped_}) {
    SCOPED_TRACE(s == play_ ? "60 fps" : "50 ms a frame");
    const Play& p = s->play;
    const int back = Set(p, 15);
    // The source: 176 pixels above the attacked unit, zoom 2.0, until the strike's end.
    ASSERT_EQ(s->extra.source.count(back), 1u);
    const Anim& source = s->extra.source.at(back);
    EXPECT_EQ(source.zoom, 2 * kPx);
    EXPECT_EQ(source.priority, p.unit_depth - 1 + 1536);
    // The beams: all made when the source has played through once, hidden; each group started
    // 32 frames after, then every 8 frames; the first frame each beam is drawn.
    std::vector<std::pair<AnimeHandle, int>> first_drawn;
    int made = -1;
    for (int f = back; f <= p.state7; ++f) {
      const std::vector<Anim> beams = OfAnm(p.frames[static_cast<size_t>(f)].effect, 7);
      if (!beams.empty() && made < 0) {
        made = f;
        ASSERT_EQ(beams.size(), 13u);
        for (const Anim& b : beams) {
          EXPECT_FALSE(b.drawn);
          EXPECT_EQ(b.x, source.x);
          EXPECT_EQ(b.y, source.y);
          EXPECT_EQ(b.zoom, kPx);
        }
      }
      for (const Anim& b : beams) {
        if (b.drawn && !Known(first_drawn, b.handle)) first_drawn.push_back({b.handle, f});
      }
    }
    ASSERT_GT(made, 0);
    EXPECT_GE(made, p.After(back, 10)) << "after the source's first pass";
    std::vector<int> starts;
    for (const auto& [h, f] : first_drawn) starts.push_back(f);
    std::sort(starts.begin(), starts.end());
    ASSERT_EQ(starts.size(), 13u);
    EXPECT_EQ(starts[0], p.After(made, 32));
    for (size_t g = 1; g < 13; ++g) {
      EXPECT_EQ(starts[g], std::max(p.After(starts[g - 1], 8), starts[g - 1] + 1)) << g;
    }
    // The hits: animations 8 and 9 on the two targets only (the one in front on point 8, the
    // raised one on point 5), with their groups.
    std::vector<std::pair<AnimeHandle, int>> hit_first, hits;
    for (int f = made; f < p.state7; ++f) {
      for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
        if (a.anm != 8 && a.anm != 9) continue;
        if (!Known(hits, a.handle)) hits.push_back({a.handle, f});
        if (a.drawn && !Known(hit_first, a.handle)) hit_first.push_back({a.handle, f});
      }
    }
    ASSERT_EQ(hits.size(), 4u) << "two targets, two hits each";
    std::map<int, int> by_group_start;
    for (const auto& [h, f] : hit_first) ++by_group_start[f];
    EXPECT_EQ(by_group_start, (std::map<int, int>{{starts[5], 2}, {starts[8], 2}}));
    // The source shrinks from 2.0 over 32 frames once every beam has ended; then all is gone.
    int shrink = -1;
    for (int f = made; f <= p.state7; ++f) {
      const auto it = s->extra.source.find(f);
      if (it != s->extra.source.end() && it->second.zoom < 2 * kPx) {
        shrink = f;
        break;
      }
    }
    ASSERT_GT(shrink, 0);
    // (The call that sees the beams ended starts the count; the next one sets the zoom still at
    // 2.0 and takes the first step.)
    EXPECT_EQ(p.state7, p.After(shrink - 2, 32));
    EXPECT_EQ(s->extra.source.count(p.state7), 0u);
  }
}

TEST_F(Boss30SpecialPlay, TheBeamsTurnAndStretchTowardTheirPoints) {
  const Play& p = play_->play;
  std::multiset<std::pair<int32_t, int32_t>> want, got;
  for (int k = 0; k < Boss30::kStrikePoints; ++k) {
    const Boss30::BeamPose pose = Boss30::BeamAt(k);
    want.insert({SlgTurnToEngine(pose.angle), pose.zoom.y});
  }
  for (int f = Set(p, 15); f <= p.state7; ++f) {
    const std::vector<Anim> beams = OfAnm(p.frames[static_cast<size_t>(f)].effect, 7);
    if (beams.size() != 13u) continue;
    for (const Anim& b : beams) got.insert({b.rotation, b.zoom_y});
    break;
  }
  EXPECT_EQ(got, want);
}

// ---- Edge cases ----

TEST(Boss30Edges, MissingSetsAndRefusedObjectsEndOnTheFirstCall) {
  struct Case {
    const char* name;
    int type;
    int omit;        // a slot left out (-1 none)
    int refuse_obj;  // the routine's n-th object refused (-1 none)
  };
  const Case cases[] = {
      {"normal without slot 5", 0, kAnmAttackBody, -1},
      {"normal without slot 6", 0, kAnmAttackEffect, -1},
      {"special without slot 7", 1, kAnmSpecialBody, -1},
      {"special without slot 8", 1, kAnmSpecialEffect, -1},
      {"normal: its first object refused", 0, -1, 0},
      {"normal: the burst refused", 0, -1, 6},
      {"special: its first object refused", 1, -1, 0},
      {"special: a stage object refused", 1, -1, 9},
      {"special: the last second hit refused", 1, -1, 55},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AttackCase row =
        boss_play::SetUpFailureRow(Row(c.type, 1, AttackLayout::kFront), c.omit, c.refuse_obj);
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    EXPECT_EQ(AttackFrames(out), 1) << "EndAttack on the first call";
  }
}

// The attacked-unit byte naming a free slot, with and without targets, and missing backgrounds:
// the rows of one attack type.
void FreeSlotAndBackgroundRows(int type) {
  struct Case {
    const char* name;
    int type;
    AttackLayout layout;
    std::vector<testsupport::AttackPicture> pictures;
  };
  const Case cases[] = {
      {"normal, targets", 0, AttackLayout::kThree, {{320, 200}, {640, 480}}},
      {"normal, no target: aimed at the boss itself",
       0,
       AttackLayout::kNone,
       {{320, 200}, {640, 480}}},
      {"special, targets", 1, AttackLayout::kThree, {{320, 200}, {640, 480}}},
      {"special, no target", 1, AttackLayout::kNone, {{320, 200}, {640, 480}}},
      {"special, background 1 missing", 1, AttackLayout::kFront, {{320, 200}}},
      {"special, no background", 1, AttackLayout::kFront, {}},
  };
  for (const Case& c : cases) {
    if (c.type != type) continue;
    SCOPED_TRACE(c.name);
    AttackCase row = Row(c.type, 2, c.layout);
    row.fixtures = [c](AttackFixtures& f) {
      Boss30Sets(f);
      f.Pictures(kAnmSpecialBg, c.pictures);
    };
    const Play p = PlayObserved(row, 2, PinAttacked([](AttackRig&) { return uint8_t{60}; }));
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    EXPECT_EQ(p.step_set.size(), c.type == 1 ? 15u : 5u);
    if (c.type == 0 && c.layout == AttackLayout::kNone) {
      // The flight has passed at once and nothing bursts.
      EXPECT_EQ(p.step_set.at(5), p.step_set.at(4) + 1);
      for (int f = p.first_call; f <= p.state7; ++f)
        EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(f)].effect, 10).empty());
    }
    if (c.type == 1 && c.layout == AttackLayout::kNone) {
      // Thirteen beams, no hit.
      for (int f = p.first_call; f <= p.state7; ++f) {
        EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(f)].effect, 8).empty());
        EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(f)].effect, 9).empty());
      }
    }
  }
}

TEST(Boss30Edges, NormalWithAFreeSlotByte) { FreeSlotAndBackgroundRows(0); }
TEST(Boss30Edges, SpecialWithAFreeSlotByteOrMissingBackgrounds) { FreeSlotAndBackgroundRows(1); }

// ---- The smoke rows ----

AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout) {
  AttackCase row = Row(type, dir, layout);
  row.name = std::move(name);
  row.routine = type == 1 ? "Boss30::SpecialAttack" : "Boss30::NormalAttack";
  row.prefixes = {"Boss30"};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

TEST(Boss30Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      if ((type + dir) % 2 != 0) continue;  // half the rows of each type
      testsupport::ExpectAttackCase(SmokeRow(
          "boss30_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

// The special's rows in two halves, each a test of its own (they run in parallel).
void SpecialSmokeRows(int first_dir) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    if (dir / 2 != first_dir / 2) continue;
    testsupport::ExpectAttackCase(
        SmokeRow("boss30_special_dir" + std::to_string(dir), 1, dir, layout));
  }
}

TEST(Boss30Smoke, SpecialDirectionsZeroAndOne) { SpecialSmokeRows(0); }
TEST(Boss30Smoke, SpecialDirectionsTwoAndThree) { SpecialSmokeRows(2); }

TEST(Boss30Smoke, TheActionTaskAndSkippedFrames) {
  for (int type : {0, 1}) {
    AttackCase action =
        SmokeRow("boss30_action" + std::to_string(type), type, 1, AttackLayout::kFront);
    action.road = AttackRoad::kAction;
    // The special keeps layer 4 in mode 2, where a battle keeps it; the action task's bare stage
    // is given the battle's layer first.
    action.before = [](AttackRig&) { SlgSetLayer(SURFACE_ROOT, 2); };
    testsupport::ExpectAttackCase(action);
    AttackCase skipped =
        SmokeRow("boss30_skipped" + std::to_string(type), type, 0, AttackLayout::kFront);
    skipped.step_ms = 50;
    testsupport::ExpectAttackCase(skipped);
  }
  // The card's back in the frame, in its colour.
  AttackCase frames = SmokeRow("boss30_card_back", 1, 2, AttackLayout::kThree);
  const uint32_t back = SlgColorRef(0x9409);
  frames.checkpoints = {{"card_back", -1, "polygons 1", {{320, 240, back}}}};
  testsupport::ExpectAttackCase(frames);
}

}  // namespace
