// Vevaz's attacks (kind 28) on the attack rig: the wave's run, pass test, line and camera; the
// scene's glows and sparks; the special attack's steps, band, hits, camera and event flags; the
// normal attack's after-images and hits; the edge cases; the smoke rows.
//
// Frame counts are checked against the game clock the rig records (a wait of n frames from a
// frame S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/vevaz.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using Anim = EffectAnim;

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;
using testsupport::BattleBoard;
using testsupport::CellAlong;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int kKind = 28;
constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateAttack = 6;

// ---- The wave ----

// The run frame by frame as told: an axis at its limit stops accelerating, the speed grows by the
// acceleration, the point moves by the speed (doubles: the table's values are exact in binary).
struct Oracle {
  double x, y, vx, vy, ax, ay, lx, ly;
  void Frame() {
    if (std::abs(vx) >= std::abs(lx)) ax = 0;
    if (std::abs(vy) >= std::abs(ly)) ay = 0;
    vx += ax;
    vy += ay;
    x += vx;
    y += vy;
  }
};

Oracle OracleOf(const VevazWave& w) {
  return {w.start.x / 65536.0, w.start.y / 65536.0, w.speed.x / 65536.0, w.speed.y / 65536.0,
          w.accel.x / 65536.0, w.accel.y / 65536.0, w.limit.x / 65536.0, w.limit.y / 65536.0};
}

// An end 20000 pixels away along the direction.
SlgPair Far(const SlgPair& start, int dir) {
  return {start.x + (dir < 2 ? 20000 : -20000) * kPx,
          start.y + (dir == 0 || dir == 3 ? -20000 : 20000) * kPx};
}

TEST(VevazWave, TheRunReplaysToHandComputedPointsAndMatchesEveryFrame) {
  const SlgPair start{1000 * kPx, 800 * kPx};
  // Direction 0: x 0.5 growing 0.25 up to 16, y -0.25 growing -0.125 up to -8: both limits at
  // frame 62. x(f) = 0.5 f + 0.125 f (f + 1) up to 62, then 16 a frame.
  struct Case {
    int dir;
    int32_t f;
    double dx, dy;
  };
  const Case cases[] = {
      {0, 10, 18.75, -9.375},   {0, 62, 519.25, -259.625}, {0, 70, 647.25, -323.625},
      {2, 10, -18.75, 9.375},   {2, 70, -647.25, 323.625}, {3, 62, -519.25, -259.625},
      {1, 0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dir " + std::to_string(c.dir) + " frame " + std::to_string(c.f));
    const VevazWave run = VevazWaveToward(start, Far(start, c.dir), c.dir);
    const SlgPair p = VevazWaveAt(run, c.f).point;
    EXPECT_EQ(p.x, start.x + static_cast<int32_t>(c.dx * 65536));
    EXPECT_EQ(p.y, start.y + static_cast<int32_t>(c.dy * 65536));
  }
  // Every frame of every direction as the frame-by-frame run gives it, and a replay that skips
  // frames (the 50-ms clock visits every third) lands on the same values.
  for (int dir = 0; dir < 4; ++dir) {
    const VevazWave run = VevazWaveToward(start, Far(start, dir), dir);
    Oracle o = OracleOf(run);
    for (int32_t f = 0; f <= 200; ++f) {
      if (f > 0) o.Frame();
      const SlgPair p = VevazWaveAt(run, f).point;
      ASSERT_EQ(p.x, static_cast<int32_t>(o.x * 65536)) << "dir " << dir << " frame " << f;
      ASSERT_EQ(p.y, static_cast<int32_t>(o.y * 65536)) << "dir " << dir << " frame " << f;
    }
  }
  // A clock far ahead is held to the 32-bit range, not wrapped.
  EXPECT_EQ(VevazWaveAt(VevazWaveToward(start, Far(start, 0), 0), 0x7FFFFFFF).point.x, 0x7FFFFFFF);
  // A run whose end is its start stays there, over at once.
  const VevazWavePos still = VevazWaveAt(VevazWaveToward(start, start, 2), 40);
  EXPECT_TRUE(still.passed);
  EXPECT_EQ(still.point.x, start.x);
  EXPECT_EQ(still.point.y, start.y);
}

TEST(VevazWave, PassesOnTheFirstFrameEitherAxisChangesSignAndAtOnceForNoLength) {
  struct Case {
    int dir;
    int cells;
    int32_t pass;  // the first frame the run has passed its end
  };
  // Length 1 (48, -24): y is 23.375 pixels up at frame 17, whole pixel -24 = the end's line;
  // direction 2 (-48, 24) waits for x -51.75 at frame 18 (whole pixels round down).
  // Length 5 (240, -120): x 246.75 and y -123.375 at frame 42.
  const Case cases[] = {{0, 1, 17}, {0, 5, 42}, {2, 1, 18}, {2, 5, 42}, {1, 0, 0}, {3, 0, 0}};
  constexpr std::array<SlgPoint, 4> kStep{{{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("dir " + std::to_string(c.dir) + " cells " + std::to_string(c.cells));
    const SlgPair start{960 * kPx, 600 * kPx};
    const SlgPoint s = kStep[static_cast<size_t>(c.dir)];
    const SlgPair end{start.x + s.x * c.cells * kPx, start.y + s.y * c.cells * kPx};
    const VevazWave run = VevazWaveToward(start, end, c.dir);
    int32_t first = -1;
    for (int32_t f = 0; f < 200 && first < 0; ++f) {
      if (VevazWaveAt(run, f).passed) first = f;
    }
    EXPECT_EQ(first, c.pass);
  }
}

TEST(VevazWave, TheLineStopsAtWallsHeightChangesAndTheMapBound) {
  constexpr int kCol = 4, kRow = 20;  // the unit's cell
  struct Case {
    const char* name;
    int dir;
    uint32_t block_word;  // written on cell `at` along the line (0: none)
    int at;
    int32_t cells;
  };
  const Case cases[] = {
      {"open ground to the top edge", 0, 0, 0, 19},
      {"open ground to the left edge", 2, 0, 0, 8},
      {"wall bit 0x400 two cells ahead", 0, CellWord(0, 0x400), 2, 1},
      {"wall bit 0x800 two cells ahead", 2, CellWord(0, 0x800), 2, 1},
      {"wall bit 0x1000 two cells ahead", 0, CellWord(0, 0x1000), 2, 1},
      {"a height change on cell 4", 0, CellWord(1), 4, 3},
      {"a height change on cell 4, direction 2", 2, CellWord(1), 4, 3},
      {"a wall right in front", 2, CellWord(0, 0x400), 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    board.SetMapSize(2048, 1200);
    const auto [col, row] = CellAlong(kCol, kRow, c.dir, c.at);
    if (c.block_word != 0) board.SetCell(col, row, c.block_word);
    const uint8_t slot = board.AddUnit(OnCell(
        kCol, kRow, {.side = 1, .kind = kKind, .category = 1, .facing = uint8_t(c.dir)}));
    SlgUnit& u = Battle().state.units[slot];
    u.dir = static_cast<uint8_t>(c.dir);
    const VevazWaveLine line = VevazWaveLineOf(u);
    EXPECT_EQ(line.cells, c.cells);
    // The start is the unit's own cell centre; the end lies `cells` steps ahead (the last free
    // cell before the wall).
    const SlgPair own = SnapPosToCellHeight(u.x, u.y).ground;
    EXPECT_EQ(line.start.x, own.x);
    EXPECT_EQ(line.start.y, own.y);
    const int sx = c.dir < 2 ? 48 : -48;
    const int sy = c.dir == 0 || c.dir == 3 ? -24 : 24;
    EXPECT_EQ(line.end.x, own.x + sx * c.cells * kPx);
    EXPECT_EQ(line.end.y, own.y + sy * c.cells * kPx);
  }
}

TEST(VevazScene, GlowsGrowAndSparksComeOneEveryEightFrames) {
  const std::tuple<int32_t, BlendWord, int32_t> glows[] = {
      {0, 0x10000, kPx / 32}, {16, 0x10080, 17 * kPx / 32}, {31, 0x100F8, kPx},
      {32, 0x10100, kPx},     {40, 0x10100, kPx},
  };
  for (const auto& [n, alpha, zoom] : glows) {
    EXPECT_EQ(VevazGlowAlpha(n), alpha) << n;
    EXPECT_EQ(VevazGlowZoom(n), zoom) << n;
  }
  const std::pair<int32_t, int> sparks[] = {{0, 0}, {7, 0}, {8, 1}, {120, 15}, {128, 16}, {999, 16}};
  for (const auto& [n, active] : sparks) EXPECT_EQ(VevazActiveSparks(n), active) << n;
}

// ---- Plays ----

uint8_t StepOf(const SlgUnit& u) { return u.anm != nullptr ? u.anm->state : 0; }

// The boss's first stand frame turns its shadow switch on; a frame shows it before the attack.
void ShadowOn(AttackRig& r) {
  Battle().kind_states.boss_shadow = 1;
  r.Step();
}

// Slot 8 with known lengths (frames x 2 ticks): the aura 20 frames, the map auras' first 12, the
// hits 8; slot 7 with the boss's 10 and the map body's; slot 6 with 25 animations; the pictures
// (2 at the band's 704 x 512).
void VevazSets(AttackFixtures& f) {
  std::vector<AttackAnim> effect(13, AttackAnim{.frames = 4});
  effect[0].frames = 10;
  effect[5].frames = effect[6].frames = 6;
  effect[9].frames = effect[10].frames = 5;
  f.Slot(kAnmSpecialEffect, effect);
  std::vector<AttackAnim> body(9, AttackAnim{.frames = 5});
  body[4].frames = body[3].frames = 7;  // the map body's second: 14 frames
  f.Slot(kAnmSpecialBody, body);
  f.Slot(kAnmAttackEffect, 25, AttackAnim{.frames = 6});
  f.Pictures(kAnmSpecialBg, {{320, 200}, {640, 480}, {704, 512}});
}

struct FrameView {
  uint32_t ms = 0;
  uint8_t state = 0;
  uint8_t step = 0;
  uint32_t shadow = 0;
  uint16_t flags = 0;
  bool flag901 = false, flag910 = false;
  int scroll_x = 0, scroll_y = 0;
  int strips = 0;        // the band's entries on surface 4
  int strips_whole = 0;  // of them, strips of 704 x 1 with their sprite
  std::vector<Anim> effect = {};
  std::vector<Anim> body = {};
};

struct Play {
  std::vector<FrameView> frames;
  std::map<int, int> step_set;  // step -> the frame whose call set it
  int first_call = -1;
  int state7 = -1;
  std::vector<uint8_t> targets;
  std::vector<std::string> tasks;
  std::vector<std::string> failures;
  int unit_depth = 0;
  SlgPair start{}, end{};  // the wave's line
  std::vector<int32_t> target_x;  // the targets' map x as the attack starts

  int Between(int a, int b) const {
    return static_cast<int>(
        int64_t{frames[static_cast<size_t>(b)].ms - frames[static_cast<size_t>(a)].ms} * 60 / 1000);
  }
  int After(int from, int n) const {
    for (int f = from + 1; f < static_cast<int>(frames.size()); ++f) {
      if (Between(from, f) >= n) return f;
    }
    return -1;
  }
  int Set(int step) const {
    const auto it = step_set.find(step);
    return it != step_set.end() ? it->second : -1;
  }
  const FrameView& At(int f) const { return frames[static_cast<size_t>(f)]; }
};

void CountStrips(FrameView& v) {
  const SprBuffer* buffer = Ctx().ddraw_spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (buffer == nullptr) return;
  for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
    const SprLink* tail = &buffer->tail[static_cast<size_t>(p)];
    for (const SprLink* l = buffer->head[static_cast<size_t>(p)].next; l != nullptr && l != tail;
         l = l->next) {
      const auto* e = static_cast<const SprBufferEntry*>(l);
      if (e->name == nullptr || std::string(e->name) != "Vevaz::LineScroll") continue;
      ++v.strips;
      if (e->sprite != nullptr && e->sprite->width == 704 && e->sprite->height == 1) {
        ++v.strips_whole;
      }
    }
  }
}

Play PlayObserved(const AttackCase& row) {
  Play play;
  AttackRig r(row);
  r.Start();
  const bool special = row.type == 1;
  const int effect_slot = special ? kAnmSpecialEffect : kAnmAttackEffect;
  const int body_slot = special ? kAnmSpecialBody : kAnmAttackBody;
  play.frames.push_back({.ms = r.rig().Now()});
  while (r.frames() < 3000 && play.state7 < 0) {
    r.Step();
    const SlgUnit& a = r.attacker();
    const BattleContext& b = Battle();
    FrameView v{.ms = r.rig().Now(),
                .state = a.state,
                .step = StepOf(a),
                .shadow = b.kind_states.boss_shadow,
                .flags = b.flags,
                .flag901 = CheckEventFlag(901) != 0,
                .flag910 = CheckEventFlag(910) != 0,
                .scroll_x = b.state.scroll_x,
                .scroll_y = b.state.scroll_y};
    CountStrips(v);
    v.effect = EffectAnims(kKind, effect_slot);
    v.body = EffectAnims(kKind, body_slot);
    const int f = r.frames();
    if (a.state == kStateAttack && play.first_call < 0 && v.step != 0) {
      play.first_call = f;
      play.unit_depth = BossUnitDepth(a);
      const VevazWaveLine line = VevazWaveLineOf(a);
      play.start = line.start;
      play.end = line.end;
      for (int i = 0; i < b.target_count && b.targets[static_cast<size_t>(i)] >= 0; ++i)
        play.target_x.push_back(b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])].x);
    }
    if (play.first_call >= 0) {
      if (a.state == kStateAttack && play.step_set.count(v.step) == 0) play.step_set[v.step] = f;
      if (a.state != kStateAttack) play.state7 = f;
    }
    play.frames.push_back(std::move(v));
  }
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  if (!r.Ended()) play.failures.push_back("the attack's end did not come");
  for (int n = 0; n < row.outlive; ++n) r.Step();
  r.CheckEnd(row, play.failures);
  play.targets = r.targets();
  for (const std::string& t : r.trace().Filter({"task"})) {
    if (t.find("Vevaz") != std::string::npos) play.tasks.push_back(t);
  }
  return play;
}

AttackCase SpecialRow(int dir, AttackLayout layout) {
  return {.name = "vevaz_special",
          .kind = kKind,
          .type = 1,
          .dir = dir,
          .layout = layout,
          .frame_limit = 2000,
          .leaves = testsupport::kLeavesCamera,
          .fixtures = &VevazSets,
          .before = &ShadowOn};
}

// ---- The special attack ----

class VevazSpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() { play_ = new Play(PlayObserved(SpecialRow(1, AttackLayout::kThree))); }
  static void TearDownTestSuite() {
    delete play_;
    play_ = nullptr;
  }
  static const Play& P() { return *play_; }
  static Play* play_;
};
Play* VevazSpecialPlay::play_ = nullptr;

TEST_F(VevazSpecialPlay, EachStepBeginsWhenItsWaitIsOver) {
  const Play& p = P();
  ASSERT_GE(p.first_call, 0);
  ASSERT_EQ(p.step_set.size(), 21u) << "steps 1-21";
  for (int step : {2, 15}) EXPECT_EQ(p.Set(step), p.Set(step - 1) + 1) << "step " << step;
  struct Wait {
    int from, step, frames;
    int slack;  // an animation's end is seen a frame or two late; a fade ends up to 3 late
  };
  const Wait waits[] = {
      {2, 3, 32, 3},   // the fade in
      {3, 4, 64, 0},   // the card reaches 1.0 (from step 2's call, which set step 3)
      {4, 5, 32, 3},   // white-out
      {5, 6, 32, 3},   // white-in
      {6, 7, 32, 0},   // the picture fade
      {7, 8, 3, 0},    // more than 2 frames
      {8, 9, 20, 2},   // the aura (the boss's 10 frames end first)
      {9, 10, 96, 0},  {10, 11, 8, 3}, {11, 12, 8, 3}, {12, 13, 32, 0}, {13, 14, 32, 3},
      {15, 16, 32, 3},  // the map's white-in
      {17, 18, 16, 0},
  };
  for (const Wait& w : waits) {
    SCOPED_TRACE("step " + std::to_string(w.step));
    const int want = p.After(p.Set(w.from), w.frames);
    EXPECT_GE(p.Set(w.step), want);
    EXPECT_LE(p.Set(w.step), want + w.slack);
  }
}

TEST_F(VevazSpecialPlay, TheBandHasAllItsStripsWhileItRunsAndIsGoneAfter) {
  const Play& p = P();
  EXPECT_EQ(p.tasks, (std::vector<std::string>{
                         "task+ Vevaz::LineScroll CTamvikGeneral::GeneralManeger",
                         "task- Vevaz::LineScroll"}));
  // Made in full once it starts (step 8's action), every strip a 704 x 1 cut with its sprite.
  const FrameView& running = p.At(p.Set(10));
  EXPECT_EQ(running.strips, 512);
  EXPECT_EQ(running.strips_whole, 512);
  EXPECT_EQ(p.At(p.Set(14) + 2).strips, 0);
}

TEST_F(VevazSpecialPlay, GlowsFlashAndSparksGrowOnTheirClocks) {
  const Play& p = P();
  const int glows_from = p.Set(9);  // the call of step 8's action
  for (int n : {0, 16, 32, 40}) {
    SCOPED_TRACE("glow n " + std::to_string(n));
    const int f = p.After(glows_from, n);
    const int frames = n == 0 ? 0 : p.Between(glows_from, f);
    const std::vector<Anim> glows = OfAnm(p.At(n == 0 ? glows_from : f).effect, 2);
    ASSERT_EQ(glows.size(), 2u);
    for (const Anim& g : glows) {
      EXPECT_EQ(g.alpha, VevazGlowAlpha(frames));
      EXPECT_EQ(g.zoom, VevazGlowZoom(frames));
      EXPECT_EQ(g.priority, p.unit_depth - 1 + 1536);
    }
  }
  // The flash grows by 1/32 a frame with its light alpha; sixteen sparks play from the start.
  const int lights = p.Set(11);
  const FrameView& later = p.At(p.After(lights, 20));
  const std::vector<Anim> flash = OfAnm(later.effect, 1);
  ASSERT_EQ(flash.size(), 1u);
  EXPECT_EQ(flash[0].zoom, kPx / 32 + p.Between(lights, p.After(lights, 20)) * kPx / 32);
  EXPECT_EQ(flash[0].alpha, 0x90000u);
  EXPECT_EQ(OfAnm(p.At(lights).effect, 4).size(), 16u);
  // Sparks: zoom 0.5 up to under 1.5, and they vary.
  std::set<int32_t> zooms;
  for (const Anim& s : OfAnm(p.At(lights).effect, 4)) {
    EXPECT_GE(s.zoom, kPx / 2);
    EXPECT_LT(s.zoom, kPx + kPx / 2);
    zooms.insert(s.zoom);
  }
  EXPECT_GT(zooms.size(), 8u);
}

// On every frame of the outward run the hits drawn are those of the targets the point has
// reached (directions 0 and 1: a target's x at or left of the point's; 2 and 3: at or right);
// from the run's end on every hit has started; none is left when the run back begins.
void ExpectHitsFollowTheWave(const Play& p, int dir) {
  const VevazWave run = VevazWaveToward(p.start, p.end, dir);
  // Frame Set(18) ran step 17's end; the run's frames are counted from that call.
  const int out = p.Set(18);
  for (int f = out + 1; f < p.Set(19); ++f) {
    const SlgPair point = VevazWaveAt(run, p.Between(out, f)).point;
    int reached = 0;
    for (int32_t tx : p.target_x) reached += (dir < 2 ? tx <= point.x : tx >= point.x) ? 1 : 0;
    int shown = 0;
    for (const Anim& h : OfAnm(p.At(f).effect, 4)) shown += h.drawn ? 1 : 0;
    EXPECT_EQ(shown, reached) << "frame " << f;
  }
  int shown = 0;
  for (const Anim& h : OfAnm(p.At(p.Set(19)).effect, 4)) {
    shown += h.drawn ? 1 : 0;
    EXPECT_EQ(h.zoom, kPx / 2);
  }
  EXPECT_EQ(shown, static_cast<int>(p.target_x.size()));
  EXPECT_TRUE(OfAnm(p.At(p.Set(20)).effect, 4).empty());
}

// In step 18 the shock is drawn at the point replayed over the frames since the step began (its
// map x minus the scroll), and the camera stays on the map in both runs.
void ExpectShockOnTheWaveAndCameraOnTheMap(const Play& p, int dir, int map_w, int map_h) {
  const VevazWave run = VevazWaveToward(p.start, p.end, dir);
  for (int f = p.Set(18) + 1; f < p.Set(19); ++f) {
    const FrameView& v = p.At(f);
    const SlgPair point = VevazWaveAt(run, p.Between(p.Set(18), f)).point;
    const std::vector<Anim> shock = OfAnm(v.effect, 1);
    ASSERT_EQ(shock.size(), 1u) << f;
    EXPECT_EQ(shock[0].x, (point.x >> 16) - v.scroll_x) << f;
  }
  for (int f = p.Set(18) + 1; f < p.Set(21); ++f) {
    if (p.At(f).step == 19) continue;
    EXPECT_GE(p.At(f).scroll_x, 0) << f;
    EXPECT_GE(p.At(f).scroll_y, 0) << f;
    EXPECT_LE(p.At(f).scroll_x, std::max(0, map_w - 640)) << f;
    EXPECT_LE(p.At(f).scroll_y, std::max(0, map_h - 480)) << f;
  }
}

TEST_F(VevazSpecialPlay, TheShockGrowsToOneAndRidesTheWave) {
  const Play& p = P();
  const int from = p.Set(16);
  const std::vector<Anim> first = OfAnm(p.At(from).effect, 1);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].zoom, kPx / 32);
  EXPECT_EQ(first[0].alpha, 0x90000u);
  const int full = p.After(from, 31);
  EXPECT_EQ(OfAnm(p.At(full).effect, 1)[0].zoom, kPx);
  EXPECT_EQ(OfAnm(p.At(full - 1).effect, 1)[0].zoom,
            kPx / 32 + p.Between(from, full - 1) * kPx / 32);
  ExpectShockOnTheWaveAndCameraOnTheMap(p, 1, 1280, 1280);
}

TEST_F(VevazSpecialPlay, HitsStartAsTheWavePassesAndEndBeforeTheRunBack) {
  ASSERT_EQ(P().targets.size(), 3u);
  ExpectHitsFollowTheWave(P(), 1);
}

TEST_F(VevazSpecialPlay, ShadowFlagsAndTheBattleAsBefore) {
  const Play& p = P();
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  for (int f = 1; f < static_cast<int>(p.frames.size()); ++f) {
    const bool off = f >= p.Set(2) && f < p.state7;
    EXPECT_EQ(p.At(f).shadow, off ? 0u : 1u) << "frame " << f;
  }
  for (int f = p.Set(2); f < p.Set(15); ++f) EXPECT_EQ(p.At(f).flags & 6, 0) << f;
  EXPECT_EQ(p.At(p.Set(15)).flags & 6, 6);
  // Flag 901 on the last frame only.
  for (int f = 0; f < p.state7; ++f) EXPECT_FALSE(p.At(f).flag901) << f;
  EXPECT_TRUE(p.At(p.state7).flag901);
  EXPECT_FALSE(p.At(p.state7).flag910);
}

TEST(VevazSpecial, TargetsAlongBehindAndBeyondAWallAreAllHit) {
  // Direction 0 from (4, 20): targets 1 and 3 cells ahead, one behind, one past a wall on the
  // fifth cell (never reached: it starts as the run ends). The 50-ms clock skips frames.
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE("step ms " + std::to_string(step_ms));
    AttackCase row = SpecialRow(0, AttackLayout::kNone);
    row.step_ms = step_ms;
    row.before = [](AttackRig& r) {
      Battle().attack.skip_gauge = 1;
      const auto wall = CellAlong(AttackRig::kColumn, AttackRig::kRow, 0, 5);
      r.board()->SetCell(wall.first, wall.second, CellWord(0, 0x400));
      for (const auto& [dir, n] : {std::pair{0, 1}, {0, 3}, {2, 1}, {0, 6}}) {
        const auto cell = CellAlong(AttackRig::kColumn, AttackRig::kRow, dir, n);
        AddListedTarget(r, cell.first, cell.second);
      }
      ShadowOn(r);
    };
    const Play p = PlayObserved(row);
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    ASSERT_EQ(p.target_x.size(), 4u);
    EXPECT_EQ((p.end.x - p.start.x) / kPx, 4 * 48) << "four free cells before the wall";
    ExpectHitsFollowTheWave(p, 0);
    ExpectShockOnTheWaveAndCameraOnTheMap(p, 0, 1280, 1280);
    // The target behind is hit on the run's first frame; the one past the wall only at its end.
    int behind = 0;
    for (const Anim& h : OfAnm(p.At(p.Set(18) + 1).effect, 4)) behind += h.drawn ? 1 : 0;
    EXPECT_EQ(behind, 1);
  }
}

TEST(VevazSpecial, AWallInFrontEndsBothRunsAtOnceAndEveryHitStarts) {
  AttackCase row = SpecialRow(2, AttackLayout::kThree);
  row.before = [](AttackRig& r) {
    const auto wall = CellAlong(AttackRig::kColumn, AttackRig::kRow, 2, 1);
    r.board()->SetCell(wall.first, wall.second, CellWord(0, 0x400));
    ShadowOn(r);
  };
  const Play p = PlayObserved(row);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  EXPECT_EQ(p.start.x, p.end.x);
  EXPECT_EQ(p.Set(19), p.Set(18) + 1) << "the outward run ends on its first frame";
  EXPECT_EQ(p.Set(21), p.Set(20) + 1) << "and so does the run back";
  ExpectHitsFollowTheWave(p, 2);
}

struct CameraCase {
  const char* name;
  uint16_t w, h;
  int column, row, dir;
};

// The boss moved to a cell of a map of the given size; the wave runs along an edge or into a
// corner, and the camera stays on the map on every frame of both runs.
void ExpectCameraOnTheMap(std::initializer_list<CameraCase> cases) {
  for (const CameraCase& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = SpecialRow(c.dir, AttackLayout::kNone);
    row.before = [c](AttackRig& r) {
      r.board()->SetMapSize(c.w, c.h);
      SlgUnit& a = r.attacker();
      const testsupport::BoardUnit at = OnCell(c.column, c.row);
      a.x = at.x * kPx;
      a.y = at.y * kPx;
      Slg::PlaceUnit(a);
      ShadowOn(r);
    };
    const Play p = PlayObserved(row);
    ASSERT_GT(p.state7, 0);
    ExpectShockOnTheWaveAndCameraOnTheMap(p, c.dir, c.w, c.h);
  }
}

TEST(VevazSpecial, TheCameraStaysOnAScreenSizedMapAndNearTheTopCorners) {
  ExpectCameraOnTheMap({{"640 x 480, the whole map", 640, 480, 3, 10, 1},
                        {"top left", 2048, 1200, 1, 4, 3},
                        {"top right", 2048, 1200, 20, 4, 0}});
}

TEST(VevazSpecial, TheCameraStaysOnTheMapNearTheBottomCorners) {
  ExpectCameraOnTheMap({{"bottom left", 2048, 1200, 1, 48, 2},
                        {"bottom right", 2048, 1200, 20, 48, 1}});
}

TEST(VevazSpecial, EventFlag901FirstThen910) {
  // 901 clear: the attack sets 901 (checked on the shared play); 901 set: 910, 901 kept.
  AttackCase row = SpecialRow(3, AttackLayout::kNone);
  row.before = [](AttackRig& r) {
    SetEventFlag(901);
    ShadowOn(r);
  };
  const Play p = PlayObserved(row);
  ASSERT_GT(p.state7, 0);
  EXPECT_FALSE(p.At(p.state7 - 1).flag910);
  EXPECT_TRUE(p.At(p.state7).flag910);
  EXPECT_TRUE(p.At(p.state7).flag901);
}

// ---- The normal attack ----

AttackCase NormalRow(int type, int dir, AttackLayout layout) {
  return {.name = "vevaz_normal",
          .kind = kKind,
          .type = type,
          .dir = dir,
          .layout = layout,
          .fixtures = &VevazSets,
          .before = &ShadowOn};
}

TEST(VevazNormal, AfterImagesComeInTurnHitsAfterTheWaitImagesGoInReverse) {
  struct Case {
    int dir;
    uint32_t first_image;
    int wait;
    bool mirrored;
  };
  const Case cases[] = {{0, 15, 97, false}, {1, 3, 91, false}, {2, 3, 91, true}, {3, 15, 97, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("dir " + std::to_string(c.dir));
    const Play p = PlayObserved(NormalRow(0, c.dir, AttackLayout::kThree));
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    const int swing = p.Set(2);  // the call of step 1's action
    for (int i = 0; i < 9; ++i) {
      SCOPED_TRACE("image " + std::to_string(i));
      const int comes = p.After(swing, 1 + 3 * i);
      const auto drawn = [&](int f) {
        const std::vector<Anim> a = OfAnm(p.At(f).effect, c.first_image + static_cast<uint32_t>(i));
        return a.size() == 1 && a[0].drawn;
      };
      EXPECT_FALSE(drawn(comes - 1));
      EXPECT_TRUE(drawn(comes + 1)) << "shown from frame 1 + 3i";
      const std::vector<Anim> a = OfAnm(p.At(comes + 1).effect, c.first_image + static_cast<uint32_t>(i));
      ASSERT_EQ(a.size(), 1u);
      const int step = c.dir == 1 || c.dir == 2 ? -1 : 1;
      EXPECT_EQ(a[0].priority, p.unit_depth + i * step + 1536);
      EXPECT_EQ(a[0].reverse != 0, c.mirrored);
      // Released 25 - 3i frames into the vanishing.
      const int goes = p.After(p.Set(4), 25 - 3 * i);
      EXPECT_EQ(OfAnm(p.At(goes - 1).effect, c.first_image + static_cast<uint32_t>(i)).size(), 1u);
      EXPECT_TRUE(OfAnm(p.At(goes).effect, c.first_image + static_cast<uint32_t>(i)).empty());
    }
    EXPECT_EQ(p.Set(3), p.After(swing, c.wait));
    EXPECT_EQ(OfAnm(p.At(p.Set(3)).effect, 24).size(), 3u) << "one hit per target";
    EXPECT_TRUE(OfAnm(p.At(p.Set(3) - 1).effect, 24).empty());
  }
}

TEST(VevazNormal, NoTargetEndsTheHitStepAtOnceAndTwelveTargetsEachGetAHit) {
  const Play none = PlayObserved(NormalRow(2, 1, AttackLayout::kNone));
  EXPECT_TRUE(none.failures.empty()) << testing::PrintToString(none.failures);
  EXPECT_EQ(none.Set(4), none.Set(3) + 1);
  AttackCase row = NormalRow(3, 0, AttackLayout::kNone);
  row.before = [](AttackRig& r) {
    Battle().attack.skip_gauge = 1;
    for (int i = 0; i < 12; ++i) AddListedTarget(r, 2 + i % 6, 30 + 2 * (i / 6));
    ShadowOn(r);
  };
  const Play many = PlayObserved(row);
  EXPECT_TRUE(many.failures.empty()) << testing::PrintToString(many.failures);
  ASSERT_GT(many.state7, 0);
  EXPECT_EQ(OfAnm(many.At(many.Set(3)).effect, 24).size(), 12u);
}

// ---- Edges and smoke rows ----

TEST(VevazEdges, AMissingSetEndsOnTheFirstCallAMissingBackgroundPlaysOn) {
  for (const auto& [type, slot] :
       {std::pair{1, kAnmSpecialBody}, {1, kAnmSpecialEffect}, {0, kAnmAttackEffect}}) {
    SCOPED_TRACE("type " + std::to_string(type) + " without slot " + std::to_string(slot));
    AttackCase row = type == 1 ? SpecialRow(0, AttackLayout::kFront)
                               : NormalRow(0, 0, AttackLayout::kFront);
    row.fixtures = [slot](AttackFixtures& f) {
      VevazSets(f);
      f.Omit(slot);
    };
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    EXPECT_EQ(AttackFrames(out), 1) << "EndAttack on the first call";
  }
  // Without backgrounds: no pictures, no band; the scene runs its steps all the same.
  AttackCase row = SpecialRow(1, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) {
    VevazSets(f);
    f.Pictures(kAnmSpecialBg, {});
  };
  const Play p = PlayObserved(row);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  EXPECT_EQ(p.step_set.size(), 21u);
  EXPECT_TRUE(p.tasks.empty()) << testing::PrintToString(p.tasks);
}

AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout) {
  AttackCase row{.name = std::move(name),
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Vevaz::SpecialAttack" : "Vevaz::NormalAttack",
                 .frame_limit = 2000,
                 .prefixes = {"Vevaz::"},
                 .leaves = type == 1 ? testsupport::kLeavesCamera : 0u,
                 .fixtures = &VevazSets,
                 .before = &ShadowOn};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kWallAhead}};

// The smoke rows are split over several tests so that each stays short under a loaded machine.
void ExpectSmokeRows(int type, std::initializer_list<int> dirs) {
  for (int dir : dirs) {
    const auto& [d, layout] = kSmokeLayouts[static_cast<size_t>(dir)];
    testsupport::ExpectAttackCase(SmokeRow(
        "vevaz_type" + std::to_string(type) + "_dir" + std::to_string(d), type, d, layout));
  }
}

TEST(VevazSmoke, NormalTypesOverDirectionsAndLayouts) {
  ExpectSmokeRows(0, {0, 2});
  ExpectSmokeRows(2, {0, 2});
  ExpectSmokeRows(3, {1, 3});
}

TEST(VevazSmoke, SpecialWithoutTargetAndWithOne) { ExpectSmokeRows(1, {0, 1}); }

TEST(VevazSmoke, SpecialWithThreeTargetsAndAWallAhead) { ExpectSmokeRows(1, {2, 3}); }

TEST(VevazSmoke, SpecialOnTheActionRoad) {
  AttackCase action = SmokeRow("vevaz_action", 1, 1, AttackLayout::kFront);
  action.road = AttackRoad::kAction;
  testsupport::ExpectAttackCase(action);
}

}  // namespace

// An attack-effect set with fewer animations than the after-images name: the images that never
// played count as gone, and the attack ends.
TEST(VevazEdges, AfterImagesTheSetLacksDoNotHoldTheNormalAttack) {
  AttackCase row = SmokeRow("vevaz_short_set", 0, 1, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) {
    VevazSets(f);
    f.Slot(kAnmAttackEffect, 8, AttackAnim{.frames = 6});
  };
  const AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_GT(out.state7_frame, 0);
}
