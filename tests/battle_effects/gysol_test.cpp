// Player kind 11's attacks on the attack rig: the smoke rows of every type; the bubbles' start,
// climb, travel and drawn depth; hits and misses; the critical's pops and zoom; the one-shot that
// outlives the attack; a refused context; the special's flip-book, picture 7's zoom, the stars,
// the burst modes and their schedules, and its missing set and pictures.

#include "battle_effects/gysol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_dispatch.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "platform/surface.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::CellWord;
using testsupport::HitSignal;
using testsupport::OnCell;

constexpr int kKind = 11;
constexpr int32_t kPx = 65536;
constexpr uint8_t kAfterAttack = 7;

// ATTACK_EFFECT animations 0-14 (10, the burst, of `burst_frames` one-tick frames; the others
// 4 frames of 2 ticks); SPECIAL_EFFECT2 0-1; SPECIAL_BG pictures 0-5 (320 x 240), 6 (the
// background, 640 x 480) and 7 (240 x 240), or the first `pictures` of them.
void GysolSets(AttackFixtures& f, int burst_frames = 8, size_t pictures = 8) {
  std::vector<AttackAnim> effects(15);
  effects[10] = AttackAnim{.frames = burst_frames, .ticks = 1};
  f.Slot(kAnmAttackEffect, effects);
  f.Slot(kAnmSpecialEffect2, 2);
  std::vector<testsupport::AttackPicture> bg(6, {320, 240});
  bg.push_back({640, 480});
  bg.push_back({240, 240});
  bg.resize(pictures);
  f.Pictures(kAnmSpecialBg, bg);
}

AttackCase Row(int type, int dir, AttackLayout layout, const std::string& name) {
  AttackCase row{.name = "gysol_type" + std::to_string(type) + "_dir" + std::to_string(dir) +
                         "_" + name,
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Gysol::SpecialAttack" : "Gysol::NormalAttack",
                 .prefixes = {"Gysol"}};
  row.hits = HitSignal::kNone;
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
    row.frame_limit = 900;
  }
  row.fixtures = [](AttackFixtures& f) { GysolSets(f); };
  return row;
}

// ---- Smoke ----

void PlayRows(int type, int dir, uint32_t step_ms = 0) {
  for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                     {AttackLayout::kFront, "one"},
                                     {AttackLayout::kThree, "three"}}) {
    AttackCase row = Row(type, dir, layout, name);
    row.step_ms = step_ms;
    testsupport::ExpectAttackCase(row);
  }
  // The action road: the attack as the battle's command runs it.
  AttackCase action = Row(type, dir, AttackLayout::kFront, "action");
  action.road = testsupport::AttackRoad::kAction;
  action.step_ms = step_ms;
  testsupport::ExpectAttackCase(action);
}

TEST(GysolSmoke, NormalFacing01) {
  PlayRows(0, 0);
  PlayRows(0, 1);
}
TEST(GysolSmoke, NormalFacing23) {
  PlayRows(0, 2);
  PlayRows(0, 3);
}
TEST(GysolSmoke, CriticalFacing01) {
  PlayRows(2, 0);
  PlayRows(2, 1);
}
TEST(GysolSmoke, CriticalFacing23) {
  PlayRows(2, 2);
  PlayRows(2, 3);
}
TEST(GysolSmoke, TypeThreeFacing01) {
  PlayRows(3, 0);
  PlayRows(3, 1);
}
TEST(GysolSmoke, TypeThreeFacing23) {
  PlayRows(3, 2);
  PlayRows(3, 3);
}
TEST(GysolSmoke, SpecialFacing0) { PlayRows(1, 0); }
TEST(GysolSmoke, SpecialFacing1) { PlayRows(1, 1); }
TEST(GysolSmoke, SpecialFacing2) { PlayRows(1, 2); }
TEST(GysolSmoke, SpecialFacing3) { PlayRows(1, 3); }
TEST(GysolSmoke, SkippedFramesNormalAndCritical) {
  PlayRows(0, 1, 50);
  PlayRows(2, 2, 50);
}
TEST(GysolSmoke, SkippedFramesSpecial) { PlayRows(1, 1, 50); }

// ---- Bubbles ----

// The cell of bubble i's destination from the attacker's cell (4, 20).
std::pair<int, int> DestCell(int i) {
  const GysolOffset o = kGysolBubbleOffsets[static_cast<size_t>(i)];
  const int row = AttackRig::kRow + o.y / 24;
  const int column = (2 * AttackRig::kColumn + o.x / 48 - (row & 1)) / 2;
  return {column, row};
}

const GysolBubble* LiveBubble(int i) {
  SlgEffectTask* t = GysolAttackWork().normal.bubbles[static_cast<size_t>(i)];
  if (t == nullptr || SlgTaskIsAlive(t) == 0) return nullptr;
  return static_cast<const GysolBubble*>(t->owned[0]);
}

// What a played normal attack showed of its bubbles.
struct BubblePlay {
  std::vector<std::string> failures;
  std::vector<std::optional<GysolBubble>> start = std::vector<std::optional<GysolBubble>>(12);
  std::map<int, bool> hit;                  // by bubble, at its arrival
  std::map<int, int32_t> arrival_height;    // height when the travel began
  std::map<int, int> travel_frames;         // game frames seen travelling
  std::map<int, int> travel;                // its computed travel
  std::map<int, GysolBubble> arrived;       // the work on its first frame after the travel
  std::map<int, std::pair<int, int>> drawn_at_arrival;  // x, priority of its animation
  AttackOutcome out;
  SlgPair at;  // the attacker's map position
  int scroll_x = 0;
};

BubblePlay PlayBubbles(const AttackCase& row) {
  BubblePlay p;
  AttackRig r(row);
  r.Start();
  p.at = {r.attacker().x, r.attacker().y};
  std::map<int, uint32_t> travel_start;  // game clock ms
  const auto each = [&] {
    if (!GysolAttackWork().normal.bubbles_started) return;
    for (int i = 0; i < kGysolBubbles; ++i) {
      const GysolBubble* b = LiveBubble(i);
      if (b == nullptr) continue;
      if (!p.start[i]) p.start[i] = *b;
      if (b->stage == kGysolBubbleTravel) {
        if (travel_start.count(i) == 0) {
          travel_start[i] = TimelineNow();
          p.arrival_height[i] = b->height;
          p.travel[i] = b->travel;
        }
      } else if (b->stage > kGysolBubbleTravel && p.hit.count(i) == 0) {
        p.hit[i] = b->hit;
        p.arrived[i] = *b;
        if (travel_start.count(i) != 0) p.travel_frames[i] = TimelineFrames(travel_start[i]);
        p.scroll_x = Battle().state.scroll_x;
        const uint32_t anim = b->type == 2 ? 14 : 9;
        for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmAttackEffect), anim)) {
          if (a.handle == b->obj->handle) p.drawn_at_arrival[i] = {a.x, a.priority};
        }
      }
    }
  };
  while (r.attacker().state != kAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    each();
  }
  if (r.attacker().state != kAfterAttack) p.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, p.failures);
  p.out.lines = r.trace().lines();
  return p;
}

// Every draw 20 (x 16, as SlgRand20 reads it): offsets of 20 px, heights 20 px over the start's
  // ground, delays of 4 frames. Bubble 3's destination cell is raised to height 2 (96 px).
void StartClimbTravelAndDepth(uint32_t step_ms) {
  AttackCase row = Row(0, 1, AttackLayout::kNone, "bubbles");
  row.step_ms = step_ms;
  row.before = [](AttackRig& r) {
    const auto [column, cell_row] = DestCell(3);
    r.board()->SetCell(column, cell_row, CellWord(2));
    Battle().rand_seam.script = [] { return 20 << 4; };
  };
  const BubblePlay p = PlayBubbles(row);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  // Signs by i & 3: 0 both negative, 1 y negative, 2 none, 3 x negative.
  const struct {
    int i, sx, sy;
  } cases[] = {{0, -1, -1}, {3, -1, 1}, {8, -1, -1}, {11, -1, 1}, {1, 1, -1}, {2, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("bubble " + std::to_string(c.i));
    ASSERT_TRUE(p.start[c.i].has_value());
    const GysolBubble& b = *p.start[c.i];
    EXPECT_EQ(b.pos.x, p.at.x + c.sx * 20 * kPx);
    EXPECT_EQ(b.pos.y, p.at.y + c.sy * 20 * kPx);
    const GysolOffset o = kGysolBubbleOffsets[static_cast<size_t>(c.i)];
    EXPECT_EQ(b.dest.x, p.at.x + o.x * kPx);
    EXPECT_EQ(b.dest.y, p.at.y + o.y * kPx);
    EXPECT_EQ(b.height, 20 * kPx);  // open ground at the start
    EXPECT_EQ(b.delay, 4);
    EXPECT_EQ(b.amplitude, 20 * kPx);
  }
  // The climb: 128 px over the destination's ground, raised for bubble 3.
  EXPECT_EQ(p.arrival_height.at(0), 128 * kPx);
  EXPECT_EQ(p.arrival_height.at(3), (96 + 128) * kPx);
  // Bubble 3 travels (116, -20) px at 1 px a frame: 116 / cos(atan(20 / 116)) = 117.7 frames.
  EXPECT_GE(p.travel.at(3), 116);
  EXPECT_LE(p.travel.at(3), 118);
  // Seen from the frame after the rise to the first after the arrival (a step of 50 ms: three
  // frames).
  EXPECT_GE(p.travel_frames.at(3), p.travel.at(3) - 1);
  EXPECT_LE(p.travel_frames.at(3), p.travel.at(3) + (step_ms == 0 ? 1 : 4));
  // Bubble 1 travels (-20, -28) px: the larger, 28, over the velocity's 0.814 px: 34 frames.
  EXPECT_EQ(p.travel.at(1), 34);
  // At its destination (on the attacker's row) bubble 3 is drawn 16 in front of a unit standing
  // there (the attacker's own depth) and at the destination's screen x.
  ASSERT_EQ(p.drawn_at_arrival.count(3), 1u);
  EXPECT_EQ(p.drawn_at_arrival.at(3).second, 1536 - (p.at.y >> 16) / 2 - 16);
  EXPECT_EQ(p.drawn_at_arrival.at(3).first, (p.arrived.at(3).dest.x >> 16) - p.scroll_x);
  EXPECT_EQ(p.arrived.at(3).pos.x, p.arrived.at(3).dest.x);
  EXPECT_EQ(p.arrived.at(3).pos.y, p.arrived.at(3).dest.y);
}

TEST(GysolBubbles, StartDestinationClimbTravelAndDepth) { StartClimbTravelAndDepth(0); }
TEST(GysolBubbles, StartDestinationClimbTravelAndDepthSkippingFrames) {
  StartClimbTravelAndDepth(50);
}

TEST(GysolBubbles, HitsOnlyTargetsOnTheirCells) {
  // Direction 1 puts the front target on bubble 10's cell (48, 24).
  struct Case {
    std::string name;
    int type;
    AttackLayout layout;
    bool other_unit;  // a unit that is not a target on bubble 3's cell
    bool at_edge;     // the attacker moved to column 0: bubbles 0, 6, 7 aim off the map
    std::set<int> hits;
    uint32_t step_ms = 0;
  };
  const Case cases[] = {
      {"target", 0, AttackLayout::kFront, false, false, {10}},
      {"critical target", 2, AttackLayout::kFront, false, false, {10}},
      {"not a target", 0, AttackLayout::kFront, true, false, {10}},
      {"type three", 3, AttackLayout::kFront, false, false, {}},
      {"off the map", 0, AttackLayout::kNone, false, true, {}},
      {"target, frames skipped", 0, AttackLayout::kFront, false, false, {10}, 50},
      {"critical target, frames skipped", 2, AttackLayout::kFront, false, false, {10}, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = Row(c.type, 1, c.layout, "hits");
    row.step_ms = c.step_ms;
    row.before = [c](AttackRig& r) {
      if (c.other_unit) {
        const auto [column, cell_row] = DestCell(3);
        Slg::PlaceUnit(Battle().state.units[r.board()->AddUnit(
            OnCell(column, cell_row, {.kind = 1, .category = 0}))]);
      }
      if (c.at_edge) r.attacker().x -= 384 * kPx;
      r.Step();  // the added unit shows before the baseline is taken
    };
    if (c.at_edge) row.leaves = testsupport::kLeavesCamera;  // the end's camera on the moved unit
    const BubblePlay p = PlayBubbles(row);
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_EQ(p.hit.size(), 12u);
    std::set<int> hits;
    for (const auto& [i, hit] : p.hit) {
      if (hit) hits.insert(i);
    }
    EXPECT_EQ(hits, c.hits);
    if (c.at_edge) {
      for (const int i : {0, 6, 7}) {
        EXPECT_LT(p.arrived.at(i).dest.x, 0);
        EXPECT_EQ(p.arrived.at(i).dest_ground, 0);
      }
    }
  }
}

void CriticalHit(uint32_t step_ms) {
  AttackCase row = Row(2, 1, AttackLayout::kFront, "critical");
  row.step_ms = step_ms;
  AttackRig r(row);
  r.Start();
  std::vector<int> pop_frames;
  std::map<int32_t, SlgPair> zoom;  // by motion step
  std::map<int32_t, SlgPair> drawn;
  bool end_anim_seen = false;
  size_t lines_seen = 0;
  while (r.attacker().state != kAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    const auto& lines = r.trace().lines();
    for (; lines_seen < lines.size(); ++lines_seen) {
      if (lines[lines_seen].text.rfind("task+ AutoPtnChg2:No", 0) == 0) {
        pop_frames.push_back(lines[lines_seen].frame);
      }
    }
    const GysolBubble* b = LiveBubble(10);
    if (b == nullptr) continue;
    if (b->stage == kGysolBubbleCritical) {
      zoom[b->motion_frames] = {b->motion.x, b->motion.y};
      for (const EffectAnim& a : OfAnm(EffectAnims(kKind, kAnmAttackEffect), 13)) {
        if (a.handle == b->obj->handle) drawn[b->motion_frames] = {a.zoom, a.zoom_y};
      }
    }
    if (b->stage == kGysolBubblePop &&
        !OfAnm(EffectAnims(kKind, kAnmAttackEffect), 12).empty()) {
      end_anim_seen = true;
    }
  }
  ASSERT_EQ(r.attacker().state, kAfterAttack);
  ASSERT_EQ(pop_frames.size(), 5u) << testing::PrintToString(pop_frames);
  // 5 frames apart on the bubble's own clock (the rig's frames may see 4 or 6 of them; a step of
  // 50 ms is three frames).
  if (step_ms == 0) {
    for (size_t i = 1; i < pop_frames.size(); ++i) {
      EXPECT_GE(pop_frames[i] - pop_frames[i - 1], 4);
      EXPECT_LE(pop_frames[i] - pop_frames[i - 1], 6);
    }
    EXPECT_NEAR(pop_frames.back() - pop_frames.front(), 20, 1);
  }
  // The keys {1, 16, 1}, {32, 80, 20} over the divisors 32 and 16: 1/32 x 1 at the start, the
  // way to 1 x 5 over 20 frames.
  SlgMotion m{};
  SlgMotionInit(m, kGysolCriticalKeys, 32, 16);
  EXPECT_EQ(m.x, kPx / 32);
  EXPECT_EQ(m.y, kPx);
  std::map<int32_t, SlgPair> want{{0, {m.x, m.y}}};
  for (int32_t n = 1; SlgMotionStep(m) != 0; ++n) want[n] = {m.x, m.y};
  EXPECT_EQ(want.size(), 21u);
  if (step_ms == 0) {
    for (const int32_t n : {0, 10, 20}) EXPECT_EQ(zoom.count(n), 1u) << "motion frame " << n;
  }
  ASSERT_GT(zoom.size(), 5u);
  for (const auto& [n, z] : zoom) {
    SCOPED_TRACE("motion frame " + std::to_string(n));
    ASSERT_EQ(want.count(n), 1u);
    EXPECT_EQ(z.x, want.at(n).x);
    EXPECT_EQ(z.y, want.at(n).y);
    ASSERT_EQ(drawn.count(n), 1u);
    EXPECT_EQ(drawn.at(n).x, want.at(n).x);
    EXPECT_EQ(drawn.at(n).y, want.at(n).y);
  }
  EXPECT_EQ(want.at(20).y, kPx + 19 * ((5 * kPx - kPx) / 20));
  EXPECT_TRUE(end_anim_seen);
}

TEST(GysolBubbles, ACriticalHitPopsFiveTimesWhileItsZoomFollowsTheKeys) { CriticalHit(0); }
TEST(GysolBubbles, ACriticalHitSkippingFrames) { CriticalHit(50); }

TEST(GysolNormal, EndsThirtyFramesAfterTheLastBubble) {
  for (const int type : {0, 2, 3}) {
    SCOPED_TRACE("type " + std::to_string(type));
    const AttackOutcome out =
        testsupport::PlayAttackCase(Row(type, 2, AttackLayout::kFront, "timing"));
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    int last_bubble = -1, bubbles_started = -1, seven = -1;
    for (const auto& line : out.lines) {
      if (line.text.rfind("task- Gysolu::Bubble", 0) == 0) last_bubble = line.frame;
      if (line.text.rfind("task+ Gysolu::Bubble0 ", 0) == 0) bubbles_started = line.frame;
      if (line.text == "unit 0 state 7" && seven < 0) seven = line.frame;
    }
    ASSERT_GE(last_bubble, 0);
    EXPECT_GE(seven - last_bubble, 30);
    EXPECT_LE(seven - last_bubble, 31);
    // The bubbles start 60 frames into the routine.
    const int first_call = seven - FramesInRoutine(out, "Gysol::NormalAttack");
    EXPECT_NEAR(bubbles_started - first_call, 61, 1);
  }
}

TEST(GysolNormal, AHitsBurstOutlivesTheAttackOnItsOwnReferenceOfTheSet) {
  // Targets on every destination cell: every bubble hits; the burst (300 frames) each hit starts
  // with AutoPtnChg plays on long after the context (and its reference of the set) is gone.
  AttackCase row = Row(0, 1, AttackLayout::kNone, "outlive");
  row.fixtures = [](AttackFixtures& f) { GysolSets(f, 300); };
  row.outlive = 320;
  row.before = [](AttackRig& r) {
    Battle().attack.skip_gauge = 1;
    for (int i = 0; i < kGysolBubbles; ++i) {
      const auto [column, cell_row] = DestCell(i);
      AddListedTarget(r, column, cell_row);
    }
    r.Step();  // the added units show before the baseline is taken
  };
  const BubblePlay p = PlayBubbles(row);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  EXPECT_EQ(p.hit.size(), 12u);
  int seven = -1, bursts_alive_at_seven = 0, last_burst_end = -1;
  std::set<std::string> bursts;
  for (const auto& line : p.out.lines) {
    if (line.text == "unit 0 state 7" && seven < 0) seven = line.frame;
    if (line.text.rfind("task+ AutoPtnChg:No", 0) == 0) {
      bursts.insert(line.text.substr(6, line.text.find(' ', 6) - 6));
    }
    if (line.text.rfind("task- AutoPtnChg:No", 0) == 0) {
      last_burst_end = line.frame;
      if (seven < 0) bursts.erase(line.text.substr(6));
    }
  }
  bursts_alive_at_seven = static_cast<int>(bursts.size());
  EXPECT_EQ(bursts_alive_at_seven, 12);
  EXPECT_GT(last_burst_end, seven + 100);
}

void RefuseContext(AttackRig& /*r*/) {
  Battle().alloc.refuse = [](uint32_t, size_t bytes) { return bytes == sizeof(SlgAttackCtx); };
}

TEST(GysolNormal, ARefusedContextEndsEveryTypeAsANormalAttack) {
  for (const int type : {0, 3}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackCase row = Row(type, 1, AttackLayout::kFront, "refused");
    row.before = &RefuseContext;
    AttackRig r(row);
    r.Start();
    bool faded = false;
    while (r.attacker().state != kAfterAttack && r.frames() < 60) {
      r.Step();
      faded = faded || SlgIsFadeEnd() == 0;
    }
    EXPECT_EQ(r.attacker().state, kAfterAttack);
    // The special end would fade in from black: a normal end shows no fade.
    EXPECT_FALSE(faded);
    EXPECT_EQ(r.trace().FrameOf("task+ Gysolu::"), -1);
  }
}

// ---- The special ----

struct SpecialPlay {
  std::vector<std::string> failures;
  std::map<int, int> flip;            // frames into the flip-book -> picture shown
  std::map<int, bool> flip_entry;     // frames -> an entry stands
  // Picture 7's zoom, by frame of its stage: drawn inside its corner, and not above it.
  std::map<int, std::pair<bool, bool>> zoom;
  int max_stars = 0;
  bool stars_in_view = true;
  int stars_start = -1, stars_gone = -1;
  std::map<int, SlgPair> star0;        // frames since the stars' start -> star 0's position
  std::map<uint8_t, uint8_t> mode_step;  // burst mode -> the step it was first seen in
};

bool Probe(SprRec* sprite, int x, int y, uint32_t colour) {
  platform::Surface* s = Ctx().ddraw_spr.GetSpriteSurface(sprite);
  platform::SurfaceLock lock;
  if (s == nullptr || !s->Lock(lock)) return false;
  const auto* px = reinterpret_cast<const uint16_t*>(lock.bits + y * lock.pitch + 2 * x);
  const bool same = *px == platform::PackColorRef(colour, lock.layout);
  s->Unlock();
  return same;
}

// Picture 7 (240 x 240) drawn about (320, 384) at zoom z = f x 13.33 / 140: its top-left corner
// at 320 - 120z, 384 - 120z; a pixel just inside is the picture's, one just above is not.
std::pair<bool, bool> ZoomProbes(SprRec* blank, int f) {
  const uint32_t colour = AttackFixtures::ColourRef(kKind, kAnmSpecialBg, 7);
  const double half = 120.0 * f * (40.0 / 3) / 140;
  const int x = std::max(static_cast<int>(std::ceil(320 - half)) + 1, 0);
  const int top = static_cast<int>(std::ceil(384 - half));
  if (f == 0) return {Probe(blank, 320, 384, colour), false};
  return {Probe(blank, x, top + 1, colour), Probe(blank, x, top - 2, colour)};
}

SpecialPlay PlaySpecial(const AttackCase& row) {
  SpecialPlay p;
  AttackRig r(row);
  r.Start();
  while (r.attacker().state != kAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    const GysolSpecial& w = GysolAttackWork().special;
    if (r.attacker().state == 6 && r.attacker().step > 0 && p.mode_step.count(w.burst.mode) == 0) {
      p.mode_step[w.burst.mode] = r.attacker().step;
    }
    if (w.scene.stage == 3 && w.blank != nullptr) {
      const int f = TimelineFrames(w.scene.clock.start);
      if (f < 30) p.zoom[f] = ZoomProbes(w.blank, f);
    }
    if (w.scene.stage == 4) {
      const int f = TimelineFrames(w.flip_start);
      p.flip[f] = w.flip_shown;
      p.flip_entry[f] = w.flip_entry != nullptr;
    }
    int stars = 0;
    for (SlgEffectTask* t : w.star_tasks) {
      if (t == nullptr || SlgTaskIsAlive(t) == 0) continue;
      ++stars;
      const auto& s = *static_cast<const GysolStar*>(t->owned[0]);
      if (Slg::InViewArea(s.pos.x >> 16, s.pos.y >> 16) == 0) p.stars_in_view = false;
      if (t == w.star_tasks[0]) p.star0[t->frames] = s.pos;
    }
    if (stars > 0 && p.stars_start < 0) p.stars_start = r.frames();
    if (stars == 0 && p.stars_start >= 0 && p.stars_gone < 0) p.stars_gone = r.frames();
    p.max_stars = std::max(p.max_stars, stars);
  }
  if (r.attacker().state != kAfterAttack) p.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, p.failures);
  return p;
}

void FlipBookZoomStarsAndBurstModes(uint32_t step_ms) {
  AttackCase row = Row(1, 1, AttackLayout::kThree, "scene");
  row.step_ms = step_ms;
  const SpecialPlay p = PlaySpecial(row);
  const size_t seen = step_ms == 0 ? 2 : 6;  // a frame in so many seen at least
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  // The flip-book: {0, 40}, {1, 4}, {2, 5}, {3, 6}, {4, 4}, {5, 4}: the picture of every
  // frame seen (a frame of the clock may be skipped), from 0 to the last row's last frame.
  const int ends[] = {40, 44, 49, 55, 59, 63};
  ASSERT_GT(p.flip.size(), 63 / seen) << testing::PrintToString(p.flip);
  EXPECT_LE(p.flip.begin()->first, step_ms == 0 ? 0 : 2);
  EXPECT_GE(p.flip.rbegin()->first, step_ms == 0 ? 61 : 60);
  EXPECT_LE(p.flip.rbegin()->first, 62);
  for (const auto& [f, picture] : p.flip) {
    SCOPED_TRACE("flip-book frame " + std::to_string(f));
    EXPECT_EQ(picture, static_cast<int>(std::upper_bound(std::begin(ends), std::end(ends), f) -
                                        std::begin(ends)));
    EXPECT_TRUE(p.flip_entry.at(f));
  }
  // Picture 7's zoom: nothing at z 0, then its corner where the zoom puts it on every frame.
  ASSERT_GT(p.zoom.size(), 30 / seen);
  for (const auto& [f, probes] : p.zoom) {
    SCOPED_TRACE("zoom frame " + std::to_string(f));
    EXPECT_EQ(probes.first, f != 0);
    EXPECT_FALSE(probes.second);
  }
  // The stars: 32 at once, 13.33 px a frame (star 0 to the right), every live one in view, all
  // gone within 50 frames.
  EXPECT_EQ(p.max_stars, kGysolStars);
  EXPECT_TRUE(p.stars_in_view);
  ASSERT_GE(p.stars_gone, 0);
  EXPECT_LE(p.stars_gone - p.stars_start, 50);
  const auto star = p.star0.lower_bound(15);
  ASSERT_NE(star, p.star0.end());
  EXPECT_NEAR(star->second.x / double{kPx}, star->first * 40.0 / 3, 1.0);
  EXPECT_NEAR(star->second.y / double{kPx}, 144, 1.0);
  // Burst modes from the steps that raise them: 1 at once, 2 from step 3, 3 from step 6, 4 from
  // step 8, 5 from step 9.
  EXPECT_EQ(p.mode_step, (std::map<uint8_t, uint8_t>{{1, 1}, {2, 3}, {3, 6}, {4, 8}, {5, 9}}));
}

TEST(GysolSpecial, FlipBookZoomStarsAndBurstModes) { FlipBookZoomStarsAndBurstModes(0); }
TEST(GysolSpecial, FlipBookZoomStarsAndBurstModesSkippingFrames) {
  FlipBookZoomStarsAndBurstModes(50);
}

TEST(GysolSpecial, PiecesAtTheirValues) {
  EXPECT_EQ(GysolFlipRowAt(0), 0);
  EXPECT_EQ(GysolFlipRowAt(62), 5);
  EXPECT_EQ(GysolFlipRowAt(63), 6);
  EXPECT_EQ(GysolZoom(0), 0);
  EXPECT_NEAR(GysolZoom(15) / double{kPx}, 15 * 40.0 / 3 / 140, 1e-4);
  EXPECT_EQ(GysolStarZoom(0), kPx);
  EXPECT_EQ(GysolStarZoom(15), kPx + 15 * 4369);
}

TEST(GysolSpecial, AMissingEffect2SetEndsTheAttackAtOnceAndAMissingPictureLeavesItsSpriteEmpty) {
  AttackCase missing_set = Row(1, 1, AttackLayout::kFront, "no_effect2");
  missing_set.sounds.clear();  // it ends before its voice
  missing_set.fixtures = [](AttackFixtures& f) {
    GysolSets(f);
    f.Omit(kAnmSpecialEffect2);
  };
  const AttackOutcome out = testsupport::PlayAttackCase(missing_set);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_EQ(FramesInRoutine(out, "Gysol::SpecialAttack"), 0);
  for (const auto& line : out.lines) {
    EXPECT_EQ(line.text.find("task+ Gysol"), std::string::npos) << line.text;
  }

  // Only pictures 0-2: the flip-book shows nothing for rows 3-5, no background, no picture 7.
  AttackCase few = Row(1, 2, AttackLayout::kFront, "three_pictures");
  few.fixtures = [](AttackFixtures& f) { GysolSets(f, 8, 3); };
  const SpecialPlay p = PlaySpecial(few);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_FALSE(p.flip_entry.empty());
  for (const auto& [f, entry] : p.flip_entry) EXPECT_EQ(entry, f < 49) << "frame " << f;
  for (const auto& [f, probes] : p.zoom) EXPECT_FALSE(probes.first) << "zoom frame " << f;
}

// ---- The burst generator, on its own ----

struct BurstProbe {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GysolBurst burst;
  SlgAnmObj body;
  uint8_t mode;
  uint32_t start;
  std::vector<int> frames;  // of each burst, from the start
  std::vector<int> priorities;
};

// A routine in the special's slot: the generator in one mode for 60 frames, then the end.
void BurstRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  BurstProbe& w = Battle().Extension<BurstProbe>();
  if (unit.step == 0) {
    w.burst = GysolBurst{};
    w.burst.mode = w.mode;
    w.burst.scheduled = 0xFF;
    w.body = SlgAnmObj{};
    w.body.x = 10 * kPx;
    w.body.y = 20 * kPx;
    w.body.depth = 201;
    w.start = TimelineNow();
    unit.step = 1;
  }
  const int f = TimelineFrames(w.start);
  if (f >= 60) {
    EndAttack(unit);
    return;
  }
  const uint32_t before = w.burst.bursts;
  GysolRunBursts(w.burst, unit, &w.body);
  if (w.burst.bursts != before) w.frames.push_back(f);
}

void BurstSchedules(uint32_t step_ms) {
  const struct {
    uint8_t mode;
    std::vector<int> frames;
    int per_burst;  // animations a burst makes
  } cases[] = {{2, {1, 26, 51}, 1},
               {3, {7, 14, 21, 28, 35, 42, 49, 56}, 2},
               {4, {7, 14, 21, 28, 35, 42, 49, 56}, 2},
               {6, {10, 20, 30, 40, 50}, 1},
               {7, {10, 20, 30, 40, 50}, 1},
               {1, {}, 0},
               {5, {}, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    AttackCase row = Row(1, 1, AttackLayout::kFront, "bursts");
    row.step_ms = step_ms;
    row.sounds.clear();
    row.routine.clear();
    std::vector<int> priorities;
    row.before = [&c](AttackRig& r) {
      r.dispatch().slots.kinds[kKind].special = &BurstRoutine;
      Battle().Extension<BurstProbe>().mode = c.mode;
    };
    AttackRig r(row);
    r.Start();
    int made = 0;
    std::vector<AnimeHandle> seen;
    while (r.attacker().state != kAfterAttack && r.frames() < 200) {
      r.Step();
      for (const EffectAnim& a : EffectAnims(kKind, kAnmSpecialEffect)) {
        if (a.anm == 2 && std::find(seen.begin(), seen.end(), a.handle) == seen.end()) {
          seen.push_back(a.handle);
          priorities.push_back(a.priority);
        }
      }
    }
    // Each at its frame, or the next where the clock skips one (with 50-ms steps, of three).
    const BurstProbe& w = Battle().Extension<BurstProbe>();
    ASSERT_EQ(w.frames.size(), c.frames.size()) << testing::PrintToString(w.frames);
    for (size_t i = 0; i < c.frames.size(); ++i) {
      EXPECT_GE(w.frames[i], c.frames[i]);
      EXPECT_LE(w.frames[i], c.frames[i] + (step_ms == 0 ? 1 : 3));
    }
    for (const std::string& t : r.trace().Filter({"task+ AutoPtnChg2:No"})) {
      (void)t;
      ++made;
    }
    EXPECT_EQ(made, static_cast<int>(c.frames.size()) * c.per_burst);
    if (c.mode == 3 || c.mode == 4) {
      // The wide bursts' depth: (random + 201 - 2) & 3, 0-3 whatever the body's depth.
      ASSERT_FALSE(priorities.empty());
      for (const int pr : priorities) {
        EXPECT_GE(pr, 1536);
        EXPECT_LE(pr, 1539);
      }
      EXPECT_GT(std::set<int>(priorities.begin(), priorities.end()).size(), 1u);
    }
    if (c.mode >= 6) {
      // Beside the unit: its body's depth less half its lift.
      const SlgUnit& u = r.attacker();
      for (const int pr : priorities) {
        EXPECT_EQ(pr, 1536 + u.anm->depth - (u.lift >> 16) / 2);
      }
    }
    std::vector<std::string> failures;
    for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
    for (int i = 0; i < row.outlive; ++i) r.Step();
    r.CheckEnd(row, failures);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  }
}

TEST(GysolBursts, SchedulesOverSixtyFramesAndTheWideBurstsDepth) { BurstSchedules(0); }
TEST(GysolBursts, SchedulesSkippingFrames) { BurstSchedules(50); }

}  // namespace
