// Satan's attacks (kind 33) on the attack rig: the entry's choice of attack and set, the camera
// pans, the normal attack's circles, the critical attack's star, lines, energy and beam, the stop
// word, the failures (a missing set, refused allocations, a parent ended by hand) and the smoke
// rows; and the shapes (pan, star, line) on their own.
//
// Frame counts are checked against the game clock the rig records: n frames after a moment at ms S
// is the first frame whose clock C has (C - S) x 60 / 1000 >= n.

#include "battle_effects/satan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_action.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "testsupport/battle_board.h"
#include "testsupport/slg_map_writer.h"
#include "battle/slg_map.h"
#include "battle_effects/effect_family.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "tests/battle_effects/effect_test_support.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::AttackRoad;
using testsupport::AttackTraceLine;
using testsupport::HitSignal;

constexpr int kKind = 33;
constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateAttack = 6;
constexpr int kDepthBase = 1536;

// ---- Fixtures ----

// ATTACK_EFFECT: the horns (0) 20 frames, the bomb (4) 200 frames (longer than the circles' shrink,
// so the first circle must wait for it), the circle (6) 16 frames. SPECIAL_EFFECT: the eye (0) 20
// frames, the thunder's three (1-3) 8 frames each. Every other animation 8 frames.
void SatanSets(AttackFixtures& f) {
  std::vector<AttackAnim> normal(8, AttackAnim{.frames = 4});
  normal[0].frames = 10;
  normal[4].frames = 100;
  normal[6].frames = 8;
  f.Slot(kAnmAttackEffect, normal);
  std::vector<AttackAnim> critical(8, AttackAnim{.frames = 4});
  critical[0].frames = 10;
  f.Slot(kAnmSpecialEffect, critical);
  // SPECIAL_EFFECT2: the jewel (0) 20 frames, the wind (1) a 64-pixel square, the dust (2).
  std::vector<AttackAnim> critical2(3, AttackAnim{.frames = 4});
  critical2[0].frames = 10;
  critical2[1].side = 64;
  f.Slot(kAnmSpecialEffect2, critical2);
}

AttackCase Row(const std::string& name, int attack_kind,
               AttackLayout layout = AttackLayout::kFront) {
  AttackCase row{.name = name,
                 .kind = kKind,
                 .layout = layout,
                 .routine = attack_kind == 1   ? "Satan::NormalAttack"
                            : attack_kind == 3 ? "Satan::CriticalAttack"
                                               : "Satan::Critical2Attack",
                 .frame_limit = 1200,
                 .hits = HitSignal::kNone,
                 .prefixes = {"Satan::", "Orbile::"},
                 // The critical-2 attack's clouds leave plane 1's offset where they put it.
                 .leaves = testsupport::kLeavesCamera | (attack_kind == 1 || attack_kind == 3
                                                             ? 0
                                                             : testsupport::kLeavesPlaneOffset),
                 .fixtures = &SatanSets};
  row.before = [attack_kind](AttackRig&) {
    Battle().attack.attack_kind = static_cast<uint16_t>(attack_kind);
  };
  return row;
}

// ---- Observing the engine ----

using Anim = EffectAnim;
using Poly = EffectPoly;

// The animations of the two sets the normal and critical attacks play from.
std::vector<Anim> LiveAnims() {
  std::vector<Anim> out = EffectAnims(kKind, kAnmAttackEffect);
  const std::vector<Anim> critical = EffectAnims(kKind, kAnmSpecialEffect);
  out.insert(out.end(), critical.begin(), critical.end());
  return out;
}

struct View {
  uint32_t ms = 0;
  uint8_t state = 0;
  uint32_t step = 0;
  SlgPair scroll{};
  int set_slot = -1;
  uint16_t flags = 0;
  uint32_t attack_word = 0;
  uint32_t stop = 0;
  // The running top task's part, sub-step and clock (the clock each part restarts).
  int top_part = -1;
  int top_sub = -1;
  uint32_t top_ms = 0;
  std::vector<Anim> anims;
  std::vector<Poly> polys;  // as composed

  std::vector<Anim> Of(int slot, uint32_t anm) const {
    std::vector<Anim> r;
    for (const Anim& a : anims) {
      if (a.slot == slot && a.anm == anm) r.push_back(a);
    }
    return r;
  }
  std::vector<Poly> PolysAt(int depth) const {
    std::vector<Poly> r;
    for (const Poly& p : polys) {
      if (p.priority == depth + kDepthBase) r.push_back(p);
    }
    return r;
  }
};

struct Play {
  std::vector<View> frames;  // by rig frame; 0 the start
  std::vector<AttackTraceLine> lines;
  std::vector<uint8_t> targets;
  SlgPair attacker_map{};  // whole pixels
  std::map<int, SlgPair> unit_map;
  int state7 = -1;
  std::vector<std::string> failures;

  const AttackTraceLine* Line(const std::string& text) const {
    for (const AttackTraceLine& l : lines) {
      if (l.text == text || l.text.rfind(text + " ", 0) == 0) return &l;
    }
    return nullptr;
  }
  int FrameOf(const std::string& text) const {
    const AttackTraceLine* l = Line(text);
    return l != nullptr ? l->frame : -1;
  }
  // Frames on the game clock from `ms` to frame f.
  int Since(uint32_t ms, int f) const {
    return FramesBetween(ms, frames[static_cast<size_t>(f)].ms);
  }
  // The first frame at or after `from` that lies n frames after `ms`.
  int After(uint32_t ms, int n, int from = 0) const {
    for (int f = std::max(from, 0); f < static_cast<int>(frames.size()); ++f) {
      if (Since(ms, f) >= n) return f;
    }
    return -1;
  }
  std::vector<std::string> Tasks(const std::string& part) const {
    std::vector<std::string> r;
    for (const AttackTraceLine& l : lines) {
      if (l.text.rfind("task", 0) == 0 && l.text.find(part) != std::string::npos) {
        r.push_back(l.text);
      }
    }
    return r;
  }
};

using Between = std::function<void(AttackRig&)>;

// Whether the rig's trace holds the line (exactly, or followed by its owner) by now.
bool Seen(AttackRig& r, const std::string& text) {
  for (const AttackTraceLine& l : r.trace().lines()) {
    if (l.text == text || l.text.rfind(text + " ", 0) == 0) return true;
  }
  return false;
}

// Plays the row to its end, observing every frame; `between` runs after each frame of the attack.
Play PlayObserved(const AttackCase& row, const Between& between = {}) {
  Play play;
  AttackRig r(row);
  std::vector<Poly> composed;
  r.trace().SetComposeProbe([&composed] { composed = EffectPolys(); });
  r.Start();
  play.frames.push_back(View{.ms = r.rig().Now(),
                             .scroll = {Battle().state.scroll_x, Battle().state.scroll_y},
                             .anims = {},
                             .polys = {}});
  for (uint8_t t : r.targets()) {
    const SlgUnit& u = Battle().state.units[t];
    play.unit_map[t] = {u.x >> 16, u.y >> 16};
  }
  play.attacker_map = {r.attacker().x >> 16, r.attacker().y >> 16};
  bool started = false;
  while (r.frames() < row.frame_limit + 60) {
    r.Step();
    const SlgUnit& a = r.attacker();
    BattleContext& b = Battle();
    const SatanAttackWork& s = b.Extension<SatanAttackWork>();
    View v{r.rig().Now(),
           a.state,
           a.step,
           {b.state.scroll_x, b.state.scroll_y},
           SlotOfSet(kKind, s.handle),
           b.flags,
           b.kind_states.satan_attack,
           b.Extension<EffectFamily>().stop,
           -1,
           -1,
           0,
           LiveAnims(),
           composed};
    if (const EffectWork* w = EffectWorkOf(s.top)) {
      v.top_part = w->state;
      v.top_sub = w->sub;
      v.top_ms = w->start_ms;
    }
    play.frames.push_back(v);
    if (a.state == kStateAttack) started = true;
    if (started && a.state != kStateAttack && play.state7 < 0) play.state7 = r.frames();
    if (between && play.state7 < 0) between(r);
    if (play.state7 >= 0) break;
  }
  if (play.state7 < 0) play.failures.push_back("no state 7");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int n = 0; n < row.outlive; ++n) r.Step();
  // The battle action task's two bodies stay until its next call (the harness gives them back).
  if (row.road == AttackRoad::kAction) FreeSlgActionBodies();
  r.CheckEnd(row, play.failures);
  play.targets = r.targets();
  play.lines = r.trace().lines();
  return play;
}

void ExpectClean(const Play& play) {
  for (const std::string& f : play.failures) ADD_FAILURE() << f;
}

// ---- The shapes ----

TEST(SatanShapes, PanSlopeAndScrollByFrame) {
  // Hand-computed: (1340 - 64) x 65536 / 60 = 1393732.3 -> 1393732; (160 - 216) x 65536 / 60 =
  // -61166.9 -> -61166; 64 x 65536 + 1393732 x 30 = 46006264 -> 701.99 -> 701 px.
  const SlgPair slope = SatanPanSlope({64, 216}, kSatanPanGoal);
  EXPECT_EQ(slope.x, 1393732);
  EXPECT_EQ(slope.y, -61166);
  struct Case {
    int32_t n, x, y;
  } cases[] = {{0, 64, 216}, {1, 85, 215}, {30, 701, 188}, {59, 1318, 160}, {60, 1339, 160}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const SlgPair p = SatanPanAt({64, 216}, slope, c.n);
    EXPECT_EQ(p.x, c.x);
    EXPECT_EQ(p.y, c.y);
  }
}

TEST(SatanShapes, StarStrokesFinishedAndGrowing) {
  using Quad = std::array<PolygonPoint, 4>;
  const auto same = [](const Quad& a, const Quad& b) {
    for (size_t i = 0; i < 4; ++i) {
      if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
    }
    return true;
  };
  // Stroke 0 seven frames in: pair 0 (-70, -78)/(-70, -28) toward pair 1 (-138, 102)/(-112, 80):
  // slopes -68, 180, -42, 108 x 65536 / 15 toward zero, times 7, whole pixels (rounded down).
  EXPECT_TRUE(
      same(SatanStarQuad(0, false, 7), Quad{{{-70, -78}, {-102, 6}, {-90, 22}, {-70, -28}}}));
  EXPECT_TRUE(
      same(SatanStarQuad(0, false, 0), Quad{{{-70, -78}, {-70, -78}, {-70, -28}, {-70, -28}}}));
  // Finished strokes join pair s to pair s + 1; the last goes back to pair 0.
  EXPECT_TRUE(same(SatanStarQuad(2, true, 0), Quad{{{42, 62}, {-180, -48}, {-138, -14}, {0, 54}}}));
  EXPECT_TRUE(
      same(SatanStarQuad(4, true, 0), Quad{{{0, 172}, {-70, -78}, {-70, -28}, {-28, 118}}}));
  // Fourteen frames in, stroke 1 stops short of its end.
  const Quad q = SatanStarQuad(1, false, 14);
  EXPECT_GT(q[1].x, 42 - 180 - 1);
  EXPECT_LT(q[1].x, 42);
}

TEST(SatanShapes, EveryLineReachesTheCoreInAboutFortyFrames) {
  BattleContext battle;
  BattleScope scope(battle);
  for (int32_t angle : {0, 37, 128, 200, 256, 300, 384, 450, 511}) {
    SCOPED_TRACE(angle);
    const SlgPair start = SatanLineStart(angle);
    const int64_t dx = (start.x >> 16) - kSatanCore.x;
    const int64_t dy = (start.y >> 16) - kSatanCore.y;
    EXPECT_NEAR(std::sqrt(static_cast<double>(dx * dx + dy * dy)), 960.0, 1.5);
    int arrived = -1;
    for (int32_t n = 0; n <= 60 && arrived < 0; ++n) {
      if (SatanLineAt(start, n).arrived) arrived = n;
    }
    EXPECT_GE(arrived, 38);
    EXPECT_LE(arrived, 41);
    const SatanLinePos p = SatanLineAt(start, 100);  // stopped where it arrived
    EXPECT_GT(p.pos.x, 1576 * kPx);
    EXPECT_LT(p.pos.x, 1608 * kPx);
    EXPECT_GT(p.pos.y, 430 * kPx);
    EXPECT_LT(p.pos.y, 462 * kPx);
    // The streak trails behind the head: 96 pixels long, 2 thick.
    const std::array<PolygonPoint, 4> c = SatanLineCorners(SatanLineAt(start, 5).heading);
    EXPECT_NEAR(std::hypot(c[1].x, c[1].y), 96.0, 1.5);
    EXPECT_EQ(std::abs(c[3].x) + std::abs(c[3].y) > 0, true);
    EXPECT_LE(std::abs(c[3].x), 2);
    EXPECT_LE(std::abs(c[3].y), 2);
  }
}

// ---- The critical-2 attack's shapes ----

TEST(SatanCritical2Shapes, TheWindGrowsMovesDownLeftAndStopsPastY992) {
  BattleContext battle;
  BattleScope scope(battle);
  struct Case {
    int32_t frames, x, y, zoom;
    bool stopped;
  } cases[] = {{0, 1592, 446, kPx / 2, false},      {1, 1580, 452, kPx / 2 + kPx / 64, false},
               {32, 1208, 638, kPx, false},         {91, 500, 992, kPx, false},
               {92, 488, 998, kPx, true},           {500, 488, 998, kPx, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    const SatanWindPos p = SatanWindAt(c.frames);
    EXPECT_EQ(p.pos.x, c.x * kPx);
    EXPECT_EQ(p.pos.y, c.y * kPx);
    EXPECT_EQ(p.zoom, c.zoom);
    EXPECT_EQ(p.stopped, c.stopped);
    EXPECT_EQ(p.steps, std::min(c.frames, 92));
  }
}

TEST(SatanCritical2Shapes, TheCloudsSpeedUpThenMoveThirtyTwoRightAndSixteenUpAFrame) {
  // The velocity's x reaches 32 on the 171st frame (171 x 3/16 = 32.06); on the 100th it is
  // 18.75 and -9.375.
  EXPECT_NEAR(SatanCloudsAt(100).x - SatanCloudsAt(99).x, 18.75, 1.0);
  EXPECT_NEAR(SatanCloudsAt(100).y - SatanCloudsAt(99).y, -9.375, 1.0);
  EXPECT_EQ(SatanCloudsAt(0).x, 0);
  EXPECT_EQ(SatanCloudsAt(0).y, 0);
  // 1 + 2 + ... + 10 steps of 3/16 and -3/32: 55 x 0.1875 = 10.3, -55 x 0.09375 = -5.2.
  EXPECT_EQ(SatanCloudsAt(10).x, 10);
  EXPECT_EQ(SatanCloudsAt(10).y, -6);
  for (int32_t n : {171, 172, 200, 400, 1000, 100000}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(SatanCloudsAt(n).x - SatanCloudsAt(n - 1).x, 32);
    EXPECT_EQ(SatanCloudsAt(n).y - SatanCloudsAt(n - 1).y, -16);
  }
}

TEST(SatanCritical2Shapes, TheScrollDriftsWithTheWindsWithinItsBounds) {
  struct Case {
    SlgPair stored;
    int32_t m;
    SlgPair scroll;
  } cases[] = {{{1340, 160}, 0, {1340, 160}},   {{1340, 160}, 10, {1220, 220}},
               {{1340, 160}, 37, {896, 382}},   {{1340, 160}, 38, {884, 384}},
               {{1340, 160}, 85, {320, 384}},   {{1340, 160}, 90000, {320, 384}},
               {{400, 350}, 5, {340, 380}},     {{400, 350}, 7, {320, 384}},
               {{300, 500}, 1, {320, 384}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m);
    const SlgPair s = SatanWindScroll(c.stored, c.m);
    EXPECT_EQ(s.x, c.scroll.x);
    EXPECT_EQ(s.y, c.scroll.y);
  }
}

TEST(SatanCritical2Shapes, TheSnapGoesBackToTheLastCellPointReached) {
  BattleContext battle;
  BattleScope scope(battle);
  struct Case {
    SlgPair at, snapped;
  } cases[] = {
      // On a cell point it stays (the snap of x up to the next multiple of 48 would put it a
      // column off the lattice).
      {{960, 456}, {960, 456}},
      {{48, 720}, {48, 720}},
      // One to three steps of (-12, +6) on from one: back to it.
      {{948, 462}, {960, 456}},
      {{936, 468}, {960, 456}},
      {{924, 474}, {960, 456}},
      {{36, 726}, {48, 720}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.y);
    const SlgPair s = SatanPushSnap(c.at);
    EXPECT_EQ(s.x, c.snapped.x);
    EXPECT_EQ(s.y, c.snapped.y);
    const SlgPoint cell = SnapPosToCell(s.x, s.y);
    EXPECT_EQ(cell.x, s.x);
    EXPECT_EQ(cell.y, s.y);
  }
  // A position off the road of cell points falls on its own cell's point.
  const SlgPair off = SatanPushSnap({970, 470});
  const SlgPoint cell = SnapPosToCell(970, 470);
  EXPECT_EQ(off.x, cell.x);
  EXPECT_EQ(off.y, cell.y);
}

// ---- The wind push ----

// The push table's board: 22 x 88 cells, all open, units on cell points.
struct PushUnit {
  const char* name;
  int column, row;
  uint8_t side;
  bool dead;
  SlgPair end;  // where it stands after the wind (pixels)
};
// The wind (1592 - 12k, 446 + 6k) reaches a unit at (x, y) on step (700 + 2y - x) / 24 rounded
// up; it carries it 28 steps (7 cells) at most.
const std::vector<PushUnit>& PushLayout() {
  static const std::vector<PushUnit> layout = {
      // Reached on step 28; passes over the dead unit's cell on its way.
      {"lone", 10, 20, 0, false, {624, 624}},
      // A chain of three, reached on step 20 (its head; the two join), carried together.
      {"head", 12, 20, 1, false, {816, 624}},
      {"middle", 11, 21, 0, false, {768, 648}},
      {"front", 11, 22, 1, false, {720, 672}},
      // Reached on step 84: its front goes to x 36, and on the next step the chain is stuck and
      // snapped back where it stood.
      {"stuck_rear", 1, 30, 0, false, {96, 696}},
      {"stuck_front", 0, 31, 1, false, {48, 720}},
      // Reached on step 24, one cell on it meets the side-2 unit's cell and stops there.
      {"blocked", 8, 14, 0, false, {720, 336}},
      {"side2", 7, 16, 2, false, {672, 360}},
      {"dead", 7, 25, 0, true, {720, 576}},
  };
  return layout;
}

class PushBoard {
 public:
  PushBoard() {
    board_.SetMapSize(22 * 96, 88 * 24);
    for (const PushUnit& p : PushLayout()) {
      const SlgRangePos at = testsupport::CellPos(p.column, p.row);
      const uint8_t slot = board_.AddUnit(
          {.side = p.side, .kind = 0, .category = 4, .x = at.x, .y = at.y});
      if (p.dead) EventRemoveUnit(&Battle().state.units[slot]);
    }
  }
  // One frame of the first wind n frames in, as the wind runs it.
  static void Frame(int32_t n) {
    SatanPushRestore();
    SatanWindAt(n, true);
    SatanPushEnter();
  }
  static const SlgUnit& Unit(size_t i) { return Battle().state.units[i]; }
  static SlgPair At(size_t i) { return {Unit(i).x >> 16, Unit(i).y >> 16}; }

 private:
  testsupport::BattleBoard board_;
};

// Every live unit on the grid entered at the cell under it, one a cell, no entry left behind;
// every unit whose budget is spent on a cell point; a moved unit's cell word and lift its cell's.
void ExpectPushGrid(const std::string& when) {
  SCOPED_TRACE(when);
  const SlgBattleState& s = Battle().state;
  std::map<std::pair<int, int>, int> held;
  for (int i = 0; i < s.unit_count; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (!SlgUnitLive(u)) continue;
    const SlgCell c = PosToCell(u.x >> 16, u.y >> 16);
    EXPECT_EQ(GetUnitAtCell(c.column, c.row), i) << "unit " << i;
    const auto [it, fresh] = held.emplace(std::pair{c.column, c.row}, i);
    EXPECT_TRUE(fresh) << "units " << it->second << " and " << i << " share a cell";
    if (i < static_cast<int>(WindPush().budget.size()) && WindPush().budget[i] <= 0) {
      const SlgPoint p = SnapPosToCell(u.x >> 16, u.y >> 16);
      EXPECT_EQ(p.x * kPx, u.x) << "unit " << i;
      EXPECT_EQ(p.y * kPx, u.y) << "unit " << i;
    }
    EXPECT_EQ(u.cell_attr, EventObjCellWord(u)) << "unit " << i;
  }
  for (int row = 0; row < 88; ++row) {
    for (int column = 0; column < 22; ++column) {
      const uint16_t e = GetUnitAtCell(column, row);
      if (e != kSlgNoUnit) {
        EXPECT_TRUE(held.count({column, row}) != 0) << column << "," << row;
      }
    }
  }
}

TEST(SatanWindPush, TheTableOfUnitsWithTheGridAtEveryFrame) {
  PushBoard board;
  SatanPushSetUp();
  for (int32_t n = 0; n <= 94; ++n) {
    PushBoard::Frame(n);
    ExpectPushGrid("frame " + std::to_string(n));
  }
  const std::vector<PushUnit>& layout = PushLayout();
  for (size_t i = 0; i < layout.size(); ++i) {
    SCOPED_TRACE(layout[i].name);
    EXPECT_EQ(PushBoard::At(i).x, layout[i].end.x);
    EXPECT_EQ(PushBoard::At(i).y, layout[i].end.y);
  }
  // Mid-way: the chain moves as one, each member one cell down-left of the one before.
  PushBoard::Frame(30);
  EXPECT_EQ(PushBoard::At(1).x, 1152 - 11 * 12);
  EXPECT_EQ(PushBoard::At(2).x, PushBoard::At(1).x - 48);
  EXPECT_EQ(PushBoard::At(2).y, PushBoard::At(1).y + 24);
  EXPECT_EQ(PushBoard::At(3).x, PushBoard::At(2).x - 48);
  EXPECT_EQ(PushBoard::At(3).y, PushBoard::At(2).y + 24);
  // The stuck chain's front went to x 36 on step 84 and is back on the next.
  PushBoard::Frame(84);
  EXPECT_EQ(PushBoard::At(5).x, 36);
  PushBoard::Frame(85);
  EXPECT_EQ(PushBoard::At(5).x, 48);
  EXPECT_EQ(PushBoard::At(4).x, 96);
  ExpectPushGrid("frame 85 again");
}

TEST(SatanWindPush, ALoneUnitIsCarriedTwentyEightStepsAtMost) {
  PushBoard board;
  SatanPushSetUp();
  // The lone unit is reached on step 28: it moves 12 pixels a step until step 55.
  for (int32_t n : {27, 28, 40, 55, 56, 92}) {
    PushBoard::Frame(n);
    const int32_t carried = std::clamp(n - 27, 0, 28);
    EXPECT_EQ(PushBoard::At(0).x, 960 - 12 * carried) << n;
    EXPECT_EQ(PushBoard::At(0).y, 456 + 6 * carried) << n;
  }
}

TEST(SatanWindPush, SkippedFramesEndAsEveryFrameDoes) {
  const auto play = [](int32_t every) {
    PushBoard board;
    SatanPushSetUp();
    for (int32_t n = 0; n < 95; n += every) PushBoard::Frame(n);
    PushBoard::Frame(95);
    std::vector<std::pair<SlgPair, uint16_t>> out;
    for (size_t i = 0; i < PushLayout().size(); ++i) {
      const SlgCell c = PosToCell(PushBoard::At(i).x, PushBoard::At(i).y);
      out.emplace_back(PushBoard::At(i), GetUnitAtCell(c.column, c.row));
    }
    return out;
  };
  const auto every = play(1);
  for (int32_t step : {3, 7}) {
    const auto skipped = play(step);
    ASSERT_EQ(skipped.size(), every.size());
    for (size_t i = 0; i < every.size(); ++i) {
      EXPECT_EQ(skipped[i].first.x, every[i].first.x) << step << " " << i;
      EXPECT_EQ(skipped[i].first.y, every[i].first.y) << step << " " << i;
      EXPECT_EQ(skipped[i].second, every[i].second) << step << " " << i;
    }
  }
}

// ---- The entry ----

TEST(SatanEntry, TheAttackKindChoosesTheTopTaskAndItsSet) {
  struct Case {
    int attack_kind;
    const char* top;
    int slot;
  } cases[] = {{1, "Satan::NormalAttack", kAnmAttackEffect},
               {3, "Satan::CriticalAttack", kAnmSpecialEffect},
               {0, "Satan::Critical2Attack", kAnmSpecialEffect2},
               {2, "Satan::Critical2Attack", kAnmSpecialEffect2},
               {7, "Satan::Critical2Attack", kAnmSpecialEffect2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attack_kind);
    const Play play = PlayObserved(Row("entry", c.attack_kind));
    ExpectClean(play);
    const int made = play.FrameOf(std::string("task+ ") + c.top);
    const int ended = play.FrameOf(std::string("task- ") + c.top);
    ASSERT_GE(made, 0);
    ASSERT_GE(ended, made);
    for (const char* other :
         {"Satan::NormalAttack", "Satan::CriticalAttack", "Satan::Critical2Attack"}) {
      if (std::string(other) != c.top) {
        EXPECT_LT(play.FrameOf(std::string("task+ ") + other), 0);
      }
    }
    // The set is held from the top task's start to the step after its end; bits 1 and 2 stay.
    EXPECT_EQ(play.frames[static_cast<size_t>(made)].set_slot, c.slot);
    EXPECT_EQ(play.frames[static_cast<size_t>(made)].flags & 0x6, 0x6);
    ASSERT_GT(play.state7, ended);
    EXPECT_EQ(play.frames[static_cast<size_t>(play.state7)].set_slot, -1);
    EXPECT_LE(play.state7 - ended, 2);
  }
}

// ---- The pans ----

// The scroll of each frame of the first pan: n frames from the pan's start (the top task's first
// run), and the first frame at n = 60 or more.
struct PanSeen {
  SlgPair start{};
  std::vector<std::pair<int32_t, SlgPair>> by_n;  // n below 60
  int32_t goal_n = -1;
  SlgPair at_goal{};
};

PanSeen SeePan(const Play& play) {
  PanSeen seen;
  int first = -1;
  for (int f = 1; f < static_cast<int>(play.frames.size()) && first < 0; ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    if (v.top_part == 0 && v.top_sub == 1) first = f;
  }
  if (first < 0) return seen;
  const uint32_t ms = play.frames[static_cast<size_t>(first)].top_ms;
  seen.start = play.frames[static_cast<size_t>(first - 1)].scroll;
  for (int f = first; f < static_cast<int>(play.frames.size()); ++f) {
    const int32_t n = play.Since(ms, f);
    if (n < kSatanPanFrames) {
      seen.by_n.emplace_back(n, play.frames[static_cast<size_t>(f)].scroll);
    } else {
      seen.goal_n = n;
      seen.at_goal = play.frames[static_cast<size_t>(f)].scroll;
      break;
    }
  }
  return seen;
}

TEST(SatanPan, ReachesTheGoalExactlyAtSixtyFramesAndTheCriticalRunsOneFrameAhead) {
  for (const AttackRoad road : {AttackRoad::kBoard, AttackRoad::kAction}) {
    SCOPED_TRACE(road == AttackRoad::kBoard ? "board" : "action");
    for (const int attack_kind : {1, 3}) {
      SCOPED_TRACE(attack_kind);
      AttackCase row = Row("pan", attack_kind);
      row.road = road;
      if (road == AttackRoad::kAction) {
        row.kind = attack_kind == 1 ? 33 : 37;  // the action task's own choice
        row.more_kinds = {33};
        row.before = {};
        row.fixtures = {};
      }
      const Play play = PlayObserved(row);
      ExpectClean(play);
      const PanSeen pan = SeePan(play);
      ASSERT_GT(pan.by_n.size(), 50u);
      const SlgPair slope = SatanPanSlope(pan.start, kSatanPanGoal);
      const int32_t ahead = attack_kind == 3 ? 1 : 0;
      for (const auto& [n, scroll] : pan.by_n) {
        SCOPED_TRACE(n);
        const SlgPair want = SatanPanAt(pan.start, slope, n + ahead);
        EXPECT_EQ(scroll.x, want.x);
        EXPECT_EQ(scroll.y, want.y);
      }
      EXPECT_EQ(pan.goal_n, kSatanPanFrames);
      EXPECT_EQ(pan.at_goal.x, kSatanPanGoal.x);
      EXPECT_EQ(pan.at_goal.y, kSatanPanGoal.y);
    }
  }
}

// ---- The normal attack ----

TEST(SatanNormal, TheCirclesFallOnTheTargetsMeanAndTheSecondPanCentresIt) {
  for (const AttackLayout layout :
       {AttackLayout::kFront, AttackLayout::kThree, AttackLayout::kNone}) {
    SCOPED_TRACE(static_cast<int>(layout));
    const Play play = PlayObserved(Row("mean", 1, layout));
    ExpectClean(play);
    SlgPair mean = play.attacker_map;
    if (!play.targets.empty()) {
      // The mean of the 16.16 positions toward zero, in whole pixels.
      int64_t sx = 0, sy = 0;
      for (uint8_t t : play.targets) {
        sx += int64_t{play.unit_map.at(t).x} * kPx;
        sy += int64_t{play.unit_map.at(t).y} * kPx;
      }
      const auto n = static_cast<int64_t>(play.targets.size());
      mean = {static_cast<int32_t>((sx / n) >> 16), static_cast<int32_t>((sy / n) >> 16)};
    }
    // The first frame the circle is drawn (its task may first run on the pass after it is made).
    int circle = play.FrameOf("task+ Satan::NormalAttack:Mahoujin");
    ASSERT_GT(circle, 0);
    while (circle + 1 < static_cast<int>(play.frames.size()) &&
           play.frames[static_cast<size_t>(circle)].Of(kAnmAttackEffect, 6).empty()) {
      ++circle;
    }
    const View& v = play.frames[static_cast<size_t>(circle)];
    // The second pan has put the mean at the screen centre (within the slope's truncation).
    EXPECT_NEAR(v.scroll.x + kSlgCentreX, mean.x, 1);
    EXPECT_NEAR(v.scroll.y + kSlgCentreY, mean.y, 1);
    const std::vector<Anim> c = v.Of(kAnmAttackEffect, 6);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].x + v.scroll.x, mean.x);
    EXPECT_EQ(c[0].y + v.scroll.y, mean.y);
    EXPECT_EQ(c[0].priority, 300 + kDepthBase);
    // The five at the same place: circle 1 in front, the others behind.
    const int multi = play.FrameOf("task+ Satan::NormalAttack:MahoujinMulti4") + 1;
    ASSERT_GT(multi, circle);
    const View& m = play.frames[static_cast<size_t>(multi)];
    for (uint32_t k = 0; k < 5; ++k) {
      SCOPED_TRACE(k);
      const std::vector<Anim> a = m.Of(kAnmAttackEffect, k + 1);
      ASSERT_EQ(a.size(), 1u);
      EXPECT_EQ(a[0].x + m.scroll.x, mean.x);
      EXPECT_EQ(a[0].y + m.scroll.y, mean.y);
      EXPECT_EQ(a[0].priority, (k == 1 ? -1000 : 300) + kDepthBase);
    }
  }
}

TEST(SatanNormal, TheCirclesGrowHoldAndShrinkAndTheFirstSignalsAfterTheBomb) {
  const Play play = PlayObserved(Row("circles", 1));
  ExpectClean(play);
  const AttackTraceLine* made = play.Line("task+ Satan::NormalAttack:MahoujinMulti0");
  ASSERT_NE(made, nullptr);
  // Growing: n / 128 up to 1.0, reached at n = 128.
  int full = -1;
  for (int f = made->frame; f < static_cast<int>(play.frames.size()) && full < 0; ++f) {
    const std::vector<Anim> a = play.frames[static_cast<size_t>(f)].Of(kAnmAttackEffect, 1);
    ASSERT_EQ(a.size(), 1u) << f;
    const int32_t n = play.Since(made->ms, f);
    if (n >= 128) {
      EXPECT_EQ(a[0].zoom, kPx);
      full = f;
    } else {
      EXPECT_EQ(a[0].zoom, (n * kPx) >> 7) << n;
      EXPECT_EQ(a[0].zoom_y, a[0].zoom);
    }
  }
  ASSERT_GT(full, 0);
  // Held 90 frames from there; then circle 0 makes the bomb.
  const AttackTraceLine* bomb = play.Line("task+ Satan::NormalAttack:Mahoujin:Bomb");
  ASSERT_NE(bomb, nullptr);
  EXPECT_EQ(bomb->frame, play.After(play.frames[static_cast<size_t>(full)].ms, 90, full));
  EXPECT_NE(bomb->text.find("Satan::NormalAttack:MahoujinMulti0"), std::string::npos)
      << "the bomb's owner is circle 0: " << bomb->text;
  // Shrinking over 128 frames: circles 1-4 end then; circle 0 waits for the bomb (200 frames).
  const int shrunk = play.After(bomb->ms, 128, bomb->frame);
  for (int k = 1; k < 5; ++k) {
    EXPECT_EQ(play.FrameOf("task- Satan::NormalAttack:MahoujinMulti" + std::to_string(k)), shrunk);
  }
  const int bomb_end = play.FrameOf("task- Satan::NormalAttack:Mahoujin:Bomb");
  ASSERT_GT(bomb_end, shrunk);
  const int first_end = play.FrameOf("task- Satan::NormalAttack:MahoujinMulti0");
  EXPECT_GE(first_end, bomb_end);
  EXPECT_LE(first_end, bomb_end + 1);
  // The top task sees the signal on its next frame and ends on the one after; the entry then
  // releases the set and sets state 7.
  const int top_end = play.FrameOf("task- Satan::NormalAttack");
  EXPECT_LE(top_end - first_end, 2);
  EXPECT_LE(play.state7 - top_end, 2);
}

// ---- The critical attack ----

TEST(SatanCritical, TheStarDrawsFiveStrokesOfFifteenFramesThenBlinks) {
  const Play play = PlayObserved(Row("star", 3));
  ExpectClean(play);
  const AttackTraceLine* made = play.Line("task+ Orbile::CriticalAttack:Star");
  ASSERT_NE(made, nullptr);
  const int thunder = play.FrameOf("task+ Orbile::CriticalAttack:Thunder");
  ASSERT_GT(thunder, made->frame);
  // Stroke s is drawn growing during frames 15s .. 15s + 14 with s finished ones before it.
  uint32_t stroke_ms = made->ms;
  int complete = -1;
  for (int f = made->frame, s = 0; f < thunder && complete < 0; ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    if (play.Since(stroke_ms, f) >= 15) {
      ++s;
      stroke_ms = v.ms;
    }
    const std::vector<Poly> p = v.PolysAt(-610);
    ASSERT_EQ(static_cast<int>(p.size()), std::min(s + 1, 5)) << "frame " << f;
    if (s == 5) complete = f;
  }
  ASSERT_GT(complete, 0);
  // From the frame after completion the colour alternates every frame, the star signalling on that
  // first frame (the top task moves to the thunder on the next, which makes it on the one after).
  EXPECT_EQ(thunder, complete + 3);
  std::vector<uint32_t> colours;
  for (int f = complete; f < complete + 6; ++f) {
    const std::vector<Poly> p = play.frames[static_cast<size_t>(f)].PolysAt(-610);
    ASSERT_EQ(p.size(), 5u);
    colours.push_back(p[0].colour);
  }
  EXPECT_NE(colours[1], colours[0]);  // red, then pale yellow
  EXPECT_NE(colours[2], colours[1]);
  EXPECT_NE(colours[2], colours[0]);
  EXPECT_EQ(colours[3], colours[1]);
  EXPECT_EQ(colours[4], colours[2]);
  EXPECT_EQ(colours[5], colours[3]);
}

TEST(SatanCritical, OneLineAFrameUntilTheEnergyIsFullEachEndingAtTheCore) {
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE(step_ms);
    AttackCase row = Row("lines", 3);
    row.step_ms = step_ms;
    const Play play = PlayObserved(row);
    ExpectClean(play);
    const AttackTraceLine* first = play.Line("task+ Orbile::CriticalAttack:Line0");
    const AttackTraceLine* energy = play.Line("task+ Orbile::CriticalAttack:Energy");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(energy, nullptr);
    // The energy comes on the frame after the first 60 frames of lines.
    EXPECT_EQ(energy->frame, play.After(first->ms, 60, first->frame) + 1);
    int count = 0;
    for (int n = 0;; ++n) {
      const std::string name = "Orbile::CriticalAttack:Line" + std::to_string(n);
      const AttackTraceLine* made = play.Line("task+ " + name);
      if (made == nullptr) break;
      EXPECT_EQ(made->frame, first->frame + n) << name;
      const AttackTraceLine* ended = play.Line("task- " + name);
      ASSERT_NE(ended, nullptr) << name;
      // Each arrives within 45 frames, unless the white-out's stop word came first.
      EXPECT_LE(FramesBetween(made->ms, ended->ms), 45) << name;
      ++count;
    }
    // Lines until the energy is full: 60 frames, 1 more, 128 of growth and one for its signal.
    const int energy_signal = play.After(energy->ms, 128, energy->frame) + 1;
    EXPECT_EQ(count, energy_signal - first->frame + 1);
    if (step_ms == 0) {
      EXPECT_GT(count, 180);
    }
    if (step_ms == 50) {
      EXPECT_LT(count, 80);
    }
  }
}

TEST(SatanCritical, TheBeamCapsTheScrollAndTheRayStopsWhileTheHeadGoesOn) {
  const Play play = PlayObserved(Row("beam", 3));
  ExpectClean(play);
  const int head = play.FrameOf("task+ Orbile::CriticalAttack:Hadouhou");
  const int head_end = play.FrameOf("task- Orbile::CriticalAttack:Hadouhou");
  ASSERT_GT(head, 0);
  ASSERT_GT(head_end, head);
  bool capped = false;
  int frozen_x = -1;
  int ray_stopped = -1;
  int beam_done = -1;
  int ray_thin = -1;
  int ray_x = -1;  // the ray's map x on the previous frame (-1: not drawn yet)
  for (int f = head; f < head_end; ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    EXPECT_LE(v.scroll.y, 384);
    EXPECT_GE(v.scroll.x, 0);
    if (capped) {
      EXPECT_EQ(v.scroll.x, frozen_x) << f;
    }
    if (v.scroll.y == 384 && !capped) {
      capped = true;
      frozen_x = v.scroll.x;
    }
    const std::vector<Anim> ray = v.Of(kAnmSpecialEffect, 7);
    const std::vector<Anim> heads = v.Of(kAnmSpecialEffect, 6);
    if (ray.empty() || heads.empty()) continue;  // the ray first runs a pass or two later
    ASSERT_EQ(ray.size(), 1u) << f;
    ASSERT_EQ(heads.size(), 1u) << f;
    // The ray lies at the beam's angle.
    EXPECT_EQ(ray[0].rotation, SlgTurnToEngine(SlgAtan2(-50, 100)));
    const int x = ray[0].x + v.scroll.x;
    // Once more than 64 pixels left of the screen's edge it moves no more.
    if (ray_x >= 0 && ray_x < v.scroll.x - 64) {
      EXPECT_EQ(x, ray_x) << f;
      if (ray_stopped < 0) ray_stopped = f;
    }
    ray_x = x;
    if (beam_done < 0 && heads[0].y + v.scroll.y > 1120) beam_done = f;
    if (beam_done >= 0 && ray[0].zoom_y == 0 && ray_thin < 0) ray_thin = f;
    if (beam_done < 0) {
      EXPECT_EQ(ray[0].zoom_y, kPx) << f;
    }
  }
  EXPECT_TRUE(capped);
  ASSERT_GT(ray_stopped, 0);
  ASSERT_GT(beam_done, ray_stopped) << "the head goes on after the ray has stopped";
  ASSERT_GT(ray_thin, beam_done);
  EXPECT_GE(play.Since(play.frames[static_cast<size_t>(beam_done)].ms, ray_thin), 32);
  EXPECT_LE(play.Since(play.frames[static_cast<size_t>(beam_done)].ms, ray_thin), 33);
  // Then the head signals and the top task sets the stop word: every part ends.
  EXPECT_LE(head_end - ray_thin, 3);
}

TEST(SatanCritical, FlagsAndStopWordDuringTheAttackAndEveryPartEndsOnTheWord) {
  const Play play = PlayObserved(Row("stop", 3));
  ExpectClean(play);
  const int top = play.FrameOf("task+ Satan::CriticalAttack");
  const int top_end = play.FrameOf("task- Satan::CriticalAttack");
  ASSERT_GT(top_end, top);
  for (int f = top + 1; f < top_end; ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    EXPECT_NE(v.flags & 0x80, 0) << f;
    EXPECT_EQ(v.attack_word, 1u) << f;
  }
  for (int f = top_end; f < static_cast<int>(play.frames.size()); ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    EXPECT_EQ(v.flags & 0x80, 0) << f;
    EXPECT_EQ(v.attack_word, 0u) << f;
    EXPECT_EQ(v.stop, 1u) << f;
  }
  // The white-out's end: the eye, star, thunder, energy and the lines still flying end together.
  int white = -1;
  for (int f = top; f < top_end && white < 0; ++f) {
    if (play.frames[static_cast<size_t>(f)].stop == 1 && f > top) white = f;
  }
  ASSERT_GT(white, 0);
  for (const char* part : {"Eye", "Star", "Thunder", "Energy"}) {
    EXPECT_EQ(play.FrameOf(std::string("task- Orbile::CriticalAttack:") + part), white) << part;
  }
}

TEST(SatanCritical, AStopWordSetByHandEndsTheRunningPartsAndTheAttackGoesOn) {
  bool set = false;
  const Play play = PlayObserved(Row("stop_by_hand", 3), [&set](AttackRig& r) {
    if (!set && Seen(r, "task+ Orbile::CriticalAttack:Thunder")) {
      Battle().Extension<EffectFamily>().stop = 1;
      set = true;
    }
  });
  ExpectClean(play);
  const int thunder = play.FrameOf("task+ Orbile::CriticalAttack:Thunder");
  for (const char* part : {"Eye", "Star", "Thunder"}) {
    EXPECT_EQ(play.FrameOf(std::string("task- Orbile::CriticalAttack:") + part), thunder + 1)
        << part;
  }
  EXPECT_GT(play.state7, thunder);
}

// ---- The critical-2 attack on the rig ----

// The units of the push table added to the rig's board (category 4: no sprite).
void AddPushUnits(AttackRig& r) {
  for (const PushUnit& p : PushLayout()) {
    const SlgRangePos at = testsupport::CellPos(p.column, p.row);
    const uint8_t slot =
        r.board()->AddUnit({.side = p.side, .kind = 0, .category = 4, .x = at.x, .y = at.y});
    if (p.dead && slot != kSlgCreateRefused) EventRemoveUnit(&Battle().state.units[slot]);
  }
}

// A plane 1 (Sky) on battle map 0, loaded, so that the cloud rush has an offset to move.
void LoadSkyPlane(AttackRig& r) {
  testsupport::MapTabWriter tab;
  tab.File("Sky:", {"s0.spr"});
  tab.Lay(r.rig().driver().tree, 0);
  testsupport::LayMapFile(r.rig().driver().tree, 0, "s0.spr",
                          testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 0)));
  SlgMap::LoadMapTable(0);
  ASSERT_NE(Battle().map.planes[1].get(), nullptr);
}

AttackCase Critical2Row(const std::string& name, AttackLayout layout = AttackLayout::kFront) {
  AttackCase row = Row(name, 0, layout);
  row.before = [](AttackRig& r) {
    Battle().attack.attack_kind = 0;
    LoadSkyPlane(r);
    AddPushUnits(r);
  };
  return row;
}

// The frames of part 2: its first (sub-step 0 run) and the frame it ended (the part number 7).
struct Part2 {
  int first = -1, winds = -1, last = -1;
};
Part2 FindPart2(const Play& play) {
  Part2 p;
  for (int f = 1; f < static_cast<int>(play.frames.size()); ++f) {
    const View& v = play.frames[static_cast<size_t>(f)];
    // (A new part number's sub-step is reset on the part's first run.)
    if (p.first < 0 && v.top_part == 2 && v.top_sub == 1) p.first = f;
    if (p.first >= 0 && p.winds < 0 && v.top_part == 2 && v.top_sub >= 2) p.winds = f;
    if (p.last < 0 && p.first >= 0 && v.top_part != 2) p.last = f;
  }
  return p;
}

TEST(SatanCritical2, DustEveryFrameWindsSixteenFramesApartAndEveryPartEndsWithTheAttack) {
  const Play play = PlayObserved(Critical2Row("c2_timeline"));
  ExpectClean(play);
  const Part2 p = FindPart2(play);
  ASSERT_GT(p.first, 0);
  ASSERT_GT(p.winds, p.first);
  ASSERT_GT(p.last, p.winds);
  // 120 frames of dust, then a wind each 16 frames.
  EXPECT_EQ(p.winds, play.After(play.frames[static_cast<size_t>(p.first)].top_ms, 120, p.first));
  int prev = p.winds;
  for (int k = 0; k < kSatanWinds; ++k) {
    SCOPED_TRACE(k);
    const int made = play.FrameOf("task+ Satan::Critical2:Kaze:" + std::to_string(k));
    EXPECT_EQ(made, play.After(play.frames[static_cast<size_t>(prev)].top_ms, 16, prev + 1));
    prev = made;
  }
  // The part ends once the last wind has lowered the count (two frames before it ends).
  const int last_wind_end = play.FrameOf("task- Satan::Critical2:Kaze:3");
  EXPECT_GE(last_wind_end, p.last - 1);
  EXPECT_LE(last_wind_end, p.last + 1);
  // One dust a frame of the part, its last included, and none besides.
  std::map<int, int> dust;
  for (const AttackTraceLine& l : play.lines) {
    if (l.text.rfind("task+ Satan::Critical2:Tiri:", 0) == 0) ++dust[l.frame];
  }
  EXPECT_EQ(static_cast<int>(dust.size()), p.last - p.first + 1);
  for (int f = p.first; f <= p.last; ++f) EXPECT_EQ(dust[f], 1) << f;
  // The jewel, the clouds and the dust end with the attack's stop word.
  const int top_end = play.FrameOf("task- Satan::Critical2Attack");
  ASSERT_GT(top_end, p.last);
  for (const char* part : {"task- Orbile::Critical2:Houseki", "task- Orbile::Critical2:KumoByuu"}) {
    EXPECT_GE(play.FrameOf(part), top_end) << part;
    EXPECT_LE(play.FrameOf(part), top_end + 1) << part;
  }
  EXPECT_EQ(play.frames.back().stop, 1U);
  EXPECT_GT(play.state7, top_end);
}

TEST(SatanCritical2, TheScrollFollowsTheWindsFromEitherStoredScrollWithinItsBounds) {
  for (const bool moved : {false, true}) {
    SCOPED_TRACE(moved);
    bool set = false;
    const Play play = PlayObserved(Critical2Row("c2_scroll"), [&](AttackRig&) {
      const EffectWork* w = EffectWorkOf(Battle().Extension<SatanAttackWork>().top);
      if (moved && !set && w != nullptr && w->state == 2 && w->sub == 1) {
        Battle().state.scroll_x = 400;
        Battle().state.scroll_y = 350;
        set = true;
      }
    });
    ExpectClean(play);
    const Part2 p = FindPart2(play);
    ASSERT_GT(p.winds, 0);
    const SlgPair stored = play.frames[static_cast<size_t>(p.winds)].scroll;
    EXPECT_EQ(stored.x, moved ? 400 : kSatanPanGoal.x);
    const uint32_t ms = play.frames[static_cast<size_t>(p.winds)].top_ms;
    for (int f = p.winds; f < p.last; ++f) {
      const SlgPair want = SatanWindScroll(stored, play.Since(ms, f));
      const SlgPair s = play.frames[static_cast<size_t>(f)].scroll;
      EXPECT_EQ(s.x, want.x) << f;
      EXPECT_EQ(s.y, want.y) << f;
      EXPECT_LE(s.y, kSatanWindScrollMaxY);
      EXPECT_GE(s.x, kSatanWindScrollMinX);
    }
  }
}

TEST(SatanCritical2, TheCloudsMovePlaneOneAndLeaveItAfterTheAttack) {
  std::vector<std::pair<int, SlgPair>> offsets;
  const Play play = PlayObserved(Critical2Row("c2_clouds"), [&](AttackRig& r) {
    SlgPair o{-1, -1};
    SlgMap::GetPlaneOffset(1, &o.x, &o.y);
    offsets.emplace_back(r.frames(), o);
  });
  ExpectClean(play);
  const int made = play.FrameOf("task+ Orbile::Critical2:KumoByuu");
  ASSERT_GT(made, 0);
  const uint32_t ms = play.frames[static_cast<size_t>(made)].ms;
  int checked = 0;
  for (const auto& [f, o] : offsets) {
    if (f < made || f >= play.FrameOf("task- Orbile::Critical2:KumoByuu")) continue;
    const SlgPair want = SatanCloudsAt(play.Since(ms, f));
    EXPECT_EQ(o.x, want.x) << f;
    EXPECT_EQ(o.y, want.y) << f;
    ++checked;
  }
  EXPECT_GT(checked, 200);
  // From the 171st frame on, (32, -16) a frame.
  const SlgPair late = SatanCloudsAt(200);
  EXPECT_EQ(late.x - SatanCloudsAt(199).x, 32);
}

TEST(SatanCritical2, AWindThatCannotBeMadeComesSixteenFramesLater) {
  AttackCase row = Critical2Row("c2_refused");
  const auto before = row.before;
  row.before = [before](AttackRig& r) {
    before(r);
    auto refused = std::make_shared<bool>(false);
    Battle().alloc.refuse = [refused](uint32_t, size_t bytes) {
      if (*refused || bytes != sizeof(EffectWork)) return false;
      if (Ctx().game_task.FindTask("Satan::Critical2:Kaze:1") == nullptr) return false;
      *refused = true;
      return true;
    };
  };
  const Play play = PlayObserved(row);
  ExpectClean(play);
  std::vector<int> tries;
  for (const AttackTraceLine& l : play.lines) {
    if (l.text.rfind("task+ Satan::Critical2:Kaze:1", 0) == 0) tries.push_back(l.frame);
  }
  ASSERT_EQ(tries.size(), 2U);
  EXPECT_EQ(tries[1], play.After(play.frames[static_cast<size_t>(tries[0])].top_ms, 16,
                                 tries[0] + 1));
  EXPECT_GT(play.FrameOf("task+ Satan::Critical2:Kaze:3"), tries[1]);
  EXPECT_GT(play.state7, 0);
}

TEST(SatanCritical2, ThePushTableOnTheRigWithTheGridAtEveryFrame) {
  std::vector<SlgPair> last;
  const Play play = PlayObserved(Critical2Row("c2_push"), [&last](AttackRig& r) {
    ExpectPushGrid("rig frame " + std::to_string(r.frames()));
    // The table's units come after the attacker and its targets.
    const SlgBattleState& s = Battle().state;
    const size_t base = static_cast<size_t>(s.unit_count) - PushLayout().size();
    last.clear();
    for (size_t i = 0; i < PushLayout().size(); ++i) {
      last.push_back({s.units[base + i].x >> 16, s.units[base + i].y >> 16});
    }
  });
  ExpectClean(play);
  ASSERT_EQ(last.size(), PushLayout().size());
  for (size_t i = 0; i < last.size(); ++i) {
    SCOPED_TRACE(PushLayout()[i].name);
    EXPECT_EQ(last[i].x, PushLayout()[i].end.x);
    EXPECT_EQ(last[i].y, PushLayout()[i].end.y);
  }
}

TEST(SatanSmoke, TheCritical2AttackOverTheLayouts) {
  for (const int attack_kind : {0, 2}) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      testsupport::ExpectAttackCase(
          Row("satan_kind" + std::to_string(attack_kind) + "_" + name, attack_kind, layout));
    }
  }
}

TEST(SatanSmoke, TheCritical2AttackOnASlowClock) {
  AttackCase slow = Critical2Row("satan_slow_critical2", AttackLayout::kThree);
  slow.step_ms = 50;
  testsupport::ExpectAttackCase(slow);
}

TEST(SatanSmoke, ThePushLayoutAndTheWindOnScreen) {
  AttackCase row = Critical2Row("satan_critical2_push");
  // A frame while the winds blow (as the second is made), the dust and the units in the wind.
  row.checkpoints = {AttackCheckpoint{"wind", -1, "task+ Satan::Critical2:Kaze:1", {}}};
  testsupport::ExpectAttackCase(row);
}

// ---- Failures ----

TEST(SatanFailures, AMissingSetLetsEveryPartGoOnAndTheAttackEnds) {
  for (const auto& [attack_kind, slot] : {std::pair{1, kAnmAttackEffect}, {3, kAnmSpecialEffect}}) {
    SCOPED_TRACE(attack_kind);
    AttackCase row = Row("missing_set", attack_kind);
    row.fixtures = [slot](AttackFixtures& f) {
      SatanSets(f);
      f.Omit(slot);
    };
    const Play play = PlayObserved(row);
    ExpectClean(play);
    // The horns (or the eye) go on at once: the part is made and ended within two frames.
    const std::string first =
        attack_kind == 1 ? "Satan::NormalAttack:Tsuno" : "Orbile::CriticalAttack:Star";
    EXPECT_GE(play.FrameOf("task+ " + first), 0);
    for (const View& v : play.frames) EXPECT_TRUE(v.anims.empty());
  }
}

TEST(SatanFailures, RefusedWorkAreasCountAsFinishedPartsAndNothingIsLeft) {
  struct Case {
    const char* name;
    int attack_kind;
    int allow;  // work areas granted before every further one is refused
  } cases[] = {{"no_top", 1, 0},
               {"top_only", 1, 1},
               {"normal_some", 1, 4},
               {"critical_top_only", 3, 1},
               {"critical_some", 3, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = Row(c.name, c.attack_kind);
    row.before = [c](AttackRig&) {
      Battle().attack.attack_kind = static_cast<uint16_t>(c.attack_kind);
      auto granted = std::make_shared<int>(0);
      Battle().alloc.refuse = [granted, c](uint32_t, size_t bytes) {
        if (bytes != sizeof(EffectWork)) return false;
        return (*granted)++ >= c.allow;
      };
    };
    const Play play = PlayObserved(row);
    ExpectClean(play);
    EXPECT_GT(play.state7, 0);
  }
}

TEST(SatanFailures, ATopTaskEndedByHandTakesItsPartsWithIt) {
  for (const auto& [attack_kind, when] : {std::pair{1, "task+ Satan::NormalAttack:MahoujinMulti4"},
                                          {3, "task+ Orbile::CriticalAttack:Line10"}}) {
    SCOPED_TRACE(attack_kind);
    int ended_at = -1;
    const Play play = PlayObserved(Row("ended_by_hand", attack_kind),
                                   [&ended_at, w = std::string(when)](AttackRig& r) {
                                     if (ended_at < 0 && Seen(r, w)) {
                                       SlgTaskEnd(Battle().Extension<SatanAttackWork>().top);
                                       ended_at = r.frames();
                                     }
                                   });
    ExpectClean(play);
    ASSERT_GT(ended_at, 0);
    // Every part still running ends on its next frame (the harness's end check finds none left, and
    // the critical's flag bit and words put back), the entry goes on to state 7.
    for (const std::string& t : play.Tasks(attack_kind == 1 ? "MahoujinMulti" : "Line")) {
      if (t.rfind("task- ", 0) != 0) continue;
      EXPECT_LE(play.FrameOf(t), ended_at + 1) << t;
    }
    EXPECT_LE(play.state7 - ended_at, 3);
  }
}

TEST(SatanFailures, ABeamHeadStoppedByHandEndsTheRayAndTheAttackGoesOn) {
  bool done = false;
  const Play play = PlayObserved(Row("head_by_hand", 3), [&done](AttackRig& r) {
    const int head = r.trace().FrameOf("task+ Orbile::CriticalAttack:Hadouhou ");
    if (done || head < 0 || r.frames() < head + 10) return;
    if (GameTaskRec* rec = Ctx().game_task.FindTask("Orbile::CriticalAttack:Hadouhou")) {
      // Asked to end (it gives back its animation and set as it goes); the glow and the ray
      // find their parent gone.
      SlgTaskStop(static_cast<SlgEffectTask*>(rec->work));
    }
    done = true;
  });
  ExpectClean(play);
  ASSERT_TRUE(done);
  const int head_end = play.FrameOf("task- Orbile::CriticalAttack:Hadouhou");
  // They run after the head: they find it gone on their next run, in the same pass or the next.
  for (const char* part : {"Hadouhou2", "Hadouhou3"}) {
    const int end = play.FrameOf(std::string("task- Orbile::CriticalAttack:") + part);
    EXPECT_GE(end, head_end) << part;
    EXPECT_LE(end, head_end + 1) << part;
  }
  EXPECT_LE(play.state7 - head_end, 4);
}

// ---- The smoke rows ----

// Each attack kind over the layouts and a slow clock (one test each: a whole play is long under
// the sanitizers).
void ExpectOverLayoutsAndASlowClock(int attack_kind) {
  for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                     {AttackLayout::kFront, "one"},
                                     {AttackLayout::kThree, "three"}}) {
    testsupport::ExpectAttackCase(
        Row("satan_kind" + std::to_string(attack_kind) + "_" + name, attack_kind, layout));
  }
  AttackCase slow =
      Row("satan_slow_kind" + std::to_string(attack_kind), attack_kind, AttackLayout::kThree);
  slow.step_ms = 50;
  testsupport::ExpectAttackCase(slow);
}

TEST(SatanSmoke, TheNormalAttackOverTheLayoutsAndASlowClock) { ExpectOverLayoutsAndASlowClock(1); }

TEST(SatanSmoke, TheCriticalAttackOverTheLayoutsAndASlowClock) {
  ExpectOverLayoutsAndASlowClock(3);
}

TEST(SatanSmoke, TheActionTaskPlaysKind36AsTheCritical2AndKind37AsTheCritical) {
  for (const auto& [kind, routine] :
       {std::pair{36, "Satan::Critical2Attack"}, {37, "Satan::CriticalAttack"}}) {
    testsupport::ExpectAttackCase(AttackCase{
        .name = "satan_action_kind" + std::to_string(kind),
        .kind = kind,
        .road = AttackRoad::kAction,
        .routine = routine,
        .frame_limit = 1200,
        .hits = HitSignal::kNone,
        .prefixes = {"Satan::", "Orbile::"},
        // The critical-2 attack's clouds leave plane 1's offset where they put it.
        .leaves = testsupport::kLeavesCamera | (kind == 36 ? testsupport::kLeavesPlaneOffset : 0u),
        .more_kinds = {33}});
  }
}

TEST(SatanSmoke, TheStarAndTheBeamOnScreen) {
  AttackCase row = Row("satan_frames", 3);
  // A pixel inside the star's first stroke, pale yellow on the frame the thunder is made; the beam's head
  // over the boss's core on its first frame.
  const SlgPair glow{kSatanCore.x - kSatanPanGoal.x, kSatanCore.y - kSatanPanGoal.y};
  row.checkpoints = {
      AttackCheckpoint{
          "star", -1, "task+ Orbile::CriticalAttack:Thunder", {{225, 260, SlgColorRef(0x7FEC)}}},
      AttackCheckpoint{
          "beam",
          -1,
          "task+ Orbile::CriticalAttack:Hadouhou2",
          {{glow.x + 2, glow.y - 6, AttackFixtures::ColourRef(kKind, kAnmSpecialEffect, 6)}}}};
  testsupport::ExpectAttackCase(row);
}

}  // namespace
