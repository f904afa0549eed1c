#include "battle/slg_unit_sprite.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "platform/surface.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::CellPos;
using testsupport::OnCell;

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellWord;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;

size_t CellIndex(SlgRangePos p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return static_cast<size_t>(c.row * 22 + c.column);
}

// ---- LoadUnitAnms ----

// The slots asked of the UnitAnm table: with no table loaded, each look-up is traced by name.
std::set<std::string> SlotsAsked(int kind, uint32_t tier) {
  BattleBoard board;
  board.battle().memory_tier = tier;
  SlgUnit unit{};
  unit.kind = static_cast<uint8_t>(kind);
  TraceCapture trace;
  LoadUnitAnms(unit);
  std::set<std::string> asked;
  const std::string head = "UID:" + std::to_string(kind) + " ";
  for (const auto& line : trace.lines()) {
    const size_t at = line.text.find(head);
    if (at == std::string::npos) continue;
    const size_t from = at + head.size();
    asked.insert(line.text.substr(from, line.text.find(' ', from) - from));
  }
  return asked;
}

TEST(LoadUnitAnms, SlotsByKindAndMemoryTier) {
  using S = std::set<std::string>;
  const S base{"BASE_BODY", "BASE_EFFECT"};
  auto with = [](S s, const S& more) {
    s.insert(more.begin(), more.end());
    return s;
  };
  const S attack{"ATTACK_BODY", "ATTACK_EFFECT"};
  struct Case {
    int kind;
    std::array<S, 4> by_tier;
  };
  const S k0 = with(base, {"ABILITY_EFFECT"});
  const S k4 = with(base, {"TELEPORT_BODY", "TELEPORT_EFFECT"});
  const S k14 = with(base, {"DEAD_EFFECT"});
  const S k33{"ATTACK_EFFECT", "SPECIAL_EFFECT", "SPECIAL_EFFECT2"};
  const std::vector<Case> cases = {
      {0, {k0, with(k0, attack), with(k0, attack), with(k0, attack)}},
      {1, {base, with(base, attack), with(base, attack), with(base, attack)}},
      {4, {k4, with(k4, attack), with(k4, attack), with(k4, attack)}},
      {14, {k14, k14, with(k14, attack), with(k14, attack)}},
      {20, {k14, k14, k14, with(k14, attack)}},
      {33, {k33, k33, k33, k33}},
      {40, {S{}, S{}, S{}, S{}}},
  };
  for (const Case& c : cases) {
    for (uint32_t tier = 0; tier < 4; ++tier)
      EXPECT_EQ(SlotsAsked(c.kind, tier), c.by_tier[tier]) << "kind " << c.kind << " tier " << tier;
  }
}

// ---- Placement ----

TEST(PlaceUnit, SnapsLiftsAndMakesTheSpriteByCategory) {
  struct Case {
    uint8_t category;
    uint8_t dir;
    bool object;
    bool state_zero;
  };
  const std::vector<Case> cases = {
      {0, 1, true, true},  {1, 1, true, false}, {2, 2, true, false},
      {4, 1, false, false}, {3, 1, false, false}, {0, 4, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "category " << int{c.category} << " dir " << int{c.dir});
    BattleBoard board;
    const SlgRangePos cell = CellPos(5, 20);
    board.battle().cell_grid2[CellIndex(cell)] = CellWord(2);
    BoardUnit u = OnCell(5, 20, {.kind = 40, .category = c.category});
    u.x = static_cast<int16_t>(u.x + 7);  // off the centre: snapped
    u.y = static_cast<int16_t>(u.y + 5);
    const uint8_t slot = board.AddUnit(u);
    ClearUnitCellGrid();
    SlgUnit& unit = board.battle().state.units[slot];
    unit.dir = c.dir;
    unit.state = 7;
    unit.walk = 99;
    Slg::PlaceUnit(unit);
    EXPECT_EQ(unit.x, cell.x * kPx);
    EXPECT_EQ(unit.lift, 96 * kPx);
    EXPECT_EQ(unit.y, cell.y * kPx + 96 * kPx) << "placement raises y by the lift";
    EXPECT_EQ(unit.walk, 0);
    EXPECT_EQ(unit.cell_attr, CellWord(2));
    EXPECT_EQ(unit.anm != nullptr, c.object);
    EXPECT_EQ(unit.anm2, nullptr);
    EXPECT_EQ(unit.state, c.state_zero ? 0 : (c.object ? 0 : 7));
    if (c.object) {
      EXPECT_EQ(unit.anm->attr, c.dir >= 2 ? 16 : 0);
      EXPECT_EQ(unit.anm->pattern, c.dir == 1 || c.dir == 2 ? 2 : 3);
      EXPECT_EQ(unit.anm->attr2, 16);
      EXPECT_EQ(unit.anm->mode, kSlgAnmStartStopped);
      EXPECT_EQ(GetUnitAtCell(PosToCell(unit.x >> 16, unit.y >> 16).column,
                              PosToCell(unit.x >> 16, unit.y >> 16).row),
                slot);
    }
  }
}

TEST(PlaceUnit, ShadeClassesGiveTheShadeWord) {
  BattleBoard board;
  SlgAnmObj* obj = CreateAnmObj(0, 0);
  ASSERT_NE(obj, nullptr);
  SlgUnit unit{};
  unit.anm = obj;
  const uint16_t expected[4] = {8192, 16384, 0, 777};
  for (int shade = 0; shade < 4; ++shade) {
    obj->shade = 777;
    unit.cell_attr = CellWord(1, 0, shade);
    SetUnitCellShade(unit);
    EXPECT_EQ(obj->shade, expected[shade]) << "class " << shade;
  }
  unit.anm = nullptr;
  SetUnitCellShade(unit);  // no object: nothing
}

// ---- Small services ----

TEST(UnitServices, DirTowardFindByCharaViewAreaAndRangeCell) {
  BattleBoard board;
  const uint8_t a = board.AddUnit(OnCell(5, 20, {.side = 0, .character = 2}));
  board.AddUnit(OnCell(6, 20, {.side = 3, .character = 5}));  // side 3 is never found
  const uint8_t c = board.AddUnit(OnCell(6, 22, {.side = 2, .character = 5}));
  const uint8_t d = board.AddUnit(OnCell(4, 22, {.side = 1, .character = 6}));
  const uint8_t e = board.AddUnit(OnCell(4, 18, {.side = 1, .character = 6}));
  const uint8_t f = board.AddUnit(OnCell(6, 18, {.side = 1}));
  SlgBattleState& s = board.battle().state;
  SlgUnit& unit = s.units[a];
  unit.dir = 1;
  struct DirCase {
    uint32_t other;
    uint8_t dir;
  };
  // (6, 22) is right-down, (4, 22) left-down, (4, 18) left-up, (6, 18) right-up; the unit
  // itself (dx 0, dy 0) counts as left-up; a slot beyond the units keeps the direction.
  for (const DirCase& k : std::vector<DirCase>{
           {c, 1}, {d, 2}, {e, 3}, {f, 0}, {a, 3}, {s.unit_count, 1}, {63, 1}, {65535, 1}})
    EXPECT_EQ(Slg::DirToward(unit, k.other), k.dir) << "other " << k.other;

  EXPECT_EQ(Slg::FindUnitByChara(2), a);
  EXPECT_EQ(Slg::FindUnitByChara(5), c) << "the side-3 unit before it is passed over";
  EXPECT_EQ(Slg::FindUnitByChara(6), d);
  EXPECT_EQ(Slg::FindUnitByChara(9), kSlgNoUnit);
  // A dead record (until the purge) is not on the map: the next live one, or none.
  s.units[d].step = kSlgDeadStep;
  EXPECT_EQ(Slg::FindUnitByChara(6), e);
  s.units[e].step = kSlgDeadStep;
  EXPECT_EQ(Slg::FindUnitByChara(6), kSlgNoUnit);
  s.units[d].step = s.units[e].step = 0;

  struct ViewCase {
    int32_t x, y;
    int in;
  };
  for (const ViewCase& v : std::vector<ViewCase>{{-447, -287, 1}, {447, 351, 1}, {-448, 0, 0},
                                                 {448, 0, 0}, {0, -288, 0}, {0, 352, 0}})
    EXPECT_EQ(Slg::InViewArea(v.x, v.y), v.in) << v.x << ", " << v.y;

  Battle().search.range_cost.fill(kSlgCostUnreached);
  const SlgRangePos cc = CellPos(6, 22);
  EXPECT_EQ(Slg::UnitAtRangeCell(cc.x + 10, cc.y + 5), kSlgNoUnit) << "not reached";
  Battle().search.range_cost[CellIndex(cc)] = 2;
  EXPECT_EQ(Slg::UnitAtRangeCell(cc.x + 10, cc.y + 5), c);
  const SlgRangePos empty = CellPos(9, 9);
  Battle().search.range_cost[CellIndex(empty)] = 1;
  EXPECT_EQ(Slg::UnitAtRangeCell(empty.x, empty.y), kSlgNoUnit);

  s.units[c].flags |= kUnitInDamageList;
  s.units[e].flags |= kUnitInDamageList;
  EXPECT_EQ(CountHitUnits(), 2);
  Slg::FreezeAllUnits();
  for (int i = 0; i < s.unit_count; ++i) EXPECT_NE(s.units[i].flags & kUnitFrozen, 0u);
  Slg::UnfreezeAllUnits();
  for (int i = 0; i < s.unit_count; ++i) EXPECT_EQ(s.units[i].flags & kUnitFrozen, 0u);
  EXPECT_EQ(s.units[s.unit_count].flags & kUnitFrozen, 0u) << "records beyond are untouched";
}

TEST(UnitMoveStep, RefusesAProbeOutsideTheMapArea) {
  BattleBoard board;
  SlgUnit unit{};
  struct Case {
    uint8_t dir;
    int32_t x, y;  // pixels
    int result;
  };
  // The probe is the new position plus (14, 8) more in the direction.
  const std::vector<Case> cases = {
      {0, 100, 100, 1},
      {0, 2048 - 2 - 14 - 1, 100, 1},  // probe x 2047
      {0, 2048 - 2 - 14, 100, 0},      // probe x 2048
      {0, 100, 1 + 1 + 8, 1},          // probe y 1 pixel: allowed (65536 >= 1)
      {0, 100, 1 + 8, 0},              // probe y 0
      {2, 2 + 14, 100, 0},             // probe x 0
      {1, 100, 2048 - 1 - 8, 0},       // probe y 2048
      {3, 17, 100, 1},                 // probe x 1
  };
  for (const Case& c : cases) {
    unit.dir = c.dir;
    unit.x = c.x * kPx;
    unit.y = c.y * kPx;
    const int32_t x0 = unit.x;
    EXPECT_EQ(Slg::UnitMoveStep(unit, 2 * kPx, 1 * kPx), c.result)
        << "dir " << int{c.dir} << " at " << c.x << ", " << c.y;
    if (c.result == 0) {
      EXPECT_EQ(unit.x, x0) << "a refused step moves nothing";
    }
  }

}

// ---- Walking with the writer's animation set ----

// A rig with a kind-0 unit placed at (5, 40) facing 1 and its walk animation playing.
struct WalkFixture {
  explicit WalkFixture(const std::array<uint16_t, 16>& waits = UnitAnmWriter::WalkWaitsDefault(),
                       uint8_t category = 0)
      : board(rig.battle()) {
    testsupport::SlgTableWriter tables;
    UnitAnmWriter(0).WalkWaits(waits).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    slot = board.AddUnit(OnCell(5, 40, {.kind = 0, .category = category, .facing = 1}));
    Slg::PlaceUnit(U());
    Slg::SetUnitDir(U(), 1);
    U().state = kUnitStateWalk;
    t0 = rig.Now();
  }
  SlgUnit& U() { return Battle().state.units[slot]; }
  // Starts a leg now (from the animation's frame 0).
  void StartLeg() { U().walk_state = {static_cast<int32_t>(rig.Now()), U().x, U().y, 0, 0}; }

  BattleRig rig;
  BattleBoard board;
  uint8_t slot = 0;
  uint32_t t0 = 0;
};

TEST(UnitWalkStep, OneLegWithThePauseFramesAndSkippedFrames) {
  WalkFixture w;
  ASSERT_NE(w.U().anm, nullptr);
  ASSERT_NE(w.U().anm->handle, nullptr);
  ASSERT_EQ(w.U().anm->pattern, 0) << "direction 1 walks with pattern 0";
  w.StartLeg();
  const int32_t x0 = w.U().x;
  const int32_t y0 = w.U().y;
  // Display times 1: the animation moves on every frame; frames 0-3 and 9-13 stand still.
  // Frame by frame the timer reaches frame 1, 2, 3 (paused), 4-8 (move), 9-13 (paused), 14-15
  // (move), 0-3 ... so seven moving frames of each sixteen; 24 moves of 2 px end on the 55th.
  std::vector<int32_t> xs;
  int done_at = -1;
  for (int n = 1; n <= 60 && done_at < 0; ++n) {
    w.rig.Step();
    if (Slg::UnitWalkStep(w.U()) == 1) done_at = n;
    xs.push_back(w.U().x - x0);
  }
  EXPECT_EQ(done_at, 55);
  EXPECT_EQ(w.U().x - x0, 48 * kPx);
  EXPECT_EQ(w.U().y - y0, 24 * kPx);
  EXPECT_EQ(w.U().walk, 0);
  ASSERT_GE(xs.size(), 14u);
  EXPECT_EQ(xs[2], 0) << "frames 1-3 do not move";
  EXPECT_EQ(xs[3], 2 * kPx);
  EXPECT_EQ(xs[7], 10 * kPx);
  EXPECT_EQ(xs[12], 10 * kPx) << "frames 9-13 do not move";
  EXPECT_EQ(xs[13], 12 * kPx);

  // The same leg evaluated only every seventh frame lands where frame by frame did. (Legs start
  // on a rig step divisible by 3, where the 17, 17, 16 ms steps count whole frames.)
  while (w.rig.steps() % 3 != 0) w.rig.Step();
  w.U().x = x0;
  w.U().y = y0;
  w.StartLeg();
  for (int n = 1; n <= 35; ++n) {
    w.rig.Step();
    if (n % 7 != 0) continue;
    EXPECT_EQ(Slg::UnitWalkStep(w.U()), 0);
    EXPECT_EQ(w.U().x - x0, xs[static_cast<size_t>(n - 1)]) << "frame " << n;
  }
}

TEST(UnitWalkStep, FastWalkAndTheUntimedKind) {
  // A fast walk from frame 8 of the leg: (8, 4) px on moving frames, and the leg ends at 42 px.
  {
    WalkFixture w;
    w.StartLeg();
    const int32_t x0 = w.U().x;
    Battle().fast_walk = 1;
    Battle().fast_walk_start = w.rig.Now() + 134;  // 8 frames of 17, 17, 16 ms from a step of 0
    int32_t last = 0;
    int done_at = -1;
    std::vector<int32_t> steps;
    for (int n = 1; n <= 40 && done_at < 0; ++n) {
      w.rig.Step();
      if (Slg::UnitWalkStep(w.U()) == 1) {
        done_at = n;
        break;
      }
      steps.push_back(w.U().x - x0 - last);
      last = w.U().x - x0;
    }
    ASSERT_GT(done_at, 0);
    for (size_t i = 8; i < steps.size(); ++i)
      EXPECT_TRUE(steps[i] == 0 || steps[i] == 8 * kPx) << "frame " << i + 1;
    EXPECT_GE(last, 42 * kPx);
    EXPECT_LT(last, 48 * kPx) << "a fast leg ends at 42 px";
  }
  // Kind 25 ignores the pause table and the timing: 2 px every frame, 24 frames.
  {
    WalkFixture w;
    w.U().kind = kSlgUntimedWalkKind;
    w.StartLeg();
    const int32_t x0 = w.U().x;
    for (int n = 1; n <= 24; ++n) {
      w.rig.Step();
      EXPECT_EQ(Slg::UnitWalkStep(w.U()), 0);
      EXPECT_EQ(w.U().x - x0, 2 * n * kPx);
    }
    w.rig.Step();
    EXPECT_EQ(Slg::UnitWalkStep(w.U()), 1);
    EXPECT_EQ(w.U().x - x0, 48 * kPx);

    // A walk animation of one frame (all pause frames) walks untimed too rather than never.
    w.U().kind = 0;
    w.U().anm->pattern = 2;
    while (w.rig.steps() % 3 != 0) w.rig.Step();
    w.StartLeg();
    const int32_t x1 = w.U().x;
    for (int n = 1; n <= 24; ++n) {
      w.rig.Step();
      EXPECT_EQ(Slg::UnitWalkStep(w.U()), 0);
    }
    w.rig.Step();
    EXPECT_EQ(Slg::UnitWalkStep(w.U()), 1);
    EXPECT_EQ(w.U().x - x1, 48 * kPx);

    // Against the map's right edge the move step is refused: the leg ends there (kept
    // unfinished, it would be refused again every frame and the walk would never end).
    w.U().dir = 0;
    w.U().x = 2020 * kPx;
    w.StartLeg();
    int result = 0;
    for (int n = 1; n <= 26 && result == 0; ++n) {
      w.rig.Step();
      result = Slg::UnitWalkStep(w.U());
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(w.U().x, (2048 - 16) * kPx) << "the last step whose probe stays inside";
    EXPECT_EQ(w.U().walk, 0);
  }
}

TEST(UnitSprites, ReleaseLeavesNoAnimationOrSlotAndTeardownEmptiesThePool) {
  WalkFixture w;
  SlgUnit& u = w.U();
  ASSERT_NE(u.anm, nullptr);
  AnimeHandle handle = u.anm->handle;
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(u.anims[kUnitAnmBaseBody], nullptr);
  ASSERT_NE(u.anims[kUnitAnmBaseEffect], nullptr);
  Slg::ReleaseUnitSprites(u);
  EXPECT_EQ(u.anm->handle, nullptr);
  EXPECT_EQ(Scene().tamvik_spr.spx()->Block(handle), nullptr);
  for (SprAnm* slot : u.anims) EXPECT_EQ(slot, nullptr);
  EXPECT_NE(u.anm, nullptr) << "the object stays";
  Slg::ReleaseUnitSprites(u);  // a second release finds nothing to release

  // A unit placed again, then the teardown: every object back in the pool.
  Slg::PlaceUnit(u);
  Slg::SetUnitDir(u, 2);
  EXPECT_EQ(u.anm->attr, 16);
  EXPECT_EQ(u.anm->pattern, 0);
  Slg::ReleaseAllUnitSprites();
  EXPECT_EQ(Battle().anm_pool.in_use, 0);
  for (SprAnm* slot : u.anims) EXPECT_EQ(slot, nullptr);
}

TEST(UnitSprites, ChangeKeepsPositionAndAlphaAndTheShadowHonoursItsFlag) {
  WalkFixture w;
  SlgUnit& u = w.U();
  SpxAnimeKind& spx = *Scene().tamvik_spr.spx();
  ASSERT_NE(u.anm->handle, nullptr);
  spx.SetSpxPos(u.anm->handle, 123, 234);
  spx.SetSpxAlpha(u.anm->handle, 0x40080);
  Slg::SetUnitDir(u, 3);
  ASSERT_NE(u.anm->handle, nullptr);
  int x = 0;
  int y = 0;
  spx.GetSpxPos(u.anm->handle, &x, &y);
  EXPECT_EQ(x, 123);
  EXPECT_EQ(y, 234);
  EXPECT_EQ(spx.GetSpxAlpha(u.anm->handle), 0x40080u);
  EXPECT_EQ(u.anm->pattern, 1);
  EXPECT_EQ(u.anm->attr, 16);

  testsupport::SystemSpriteSet().Lay(w.rig.driver().tree);
  ASSERT_GT(LoadSystemSprites(), 0);
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  const int free_before = sprites.FreeEntryCount();
  Slg::DrawUnitShadow({0, 0});
  EXPECT_EQ(sprites.FreeEntryCount(), free_before - 1);
  Battle().flags |= 0x40;
  Slg::DrawUnitShadow({0, 0});
  EXPECT_EQ(sprites.FreeEntryCount(), free_before - 1) << "SlgFlags bit 6: no shadow";
}

// ---- The whole walk ----

// A board on a rig: three steps right-down from (5, 40), the last two cells one level up.
struct PathFixture {
  explicit PathFixture(BoardUnit u = {}) : board(rig.battle()) {
    u = OnCell(5, 40, u);
    u.facing = 1;
    c1 = Step(CellPos(5, 40), 1);
    c2 = Step(c1, 1);
    c3 = Step(c2, 1);
    for (SlgRangePos p : {c2, c3}) {
      const SlgCell c = PosToCell(p.x, p.y);
      board.SetCell(c.column, c.row, CellWord(1));
    }
    slot = board.AddUnit(u);
    Slg::PlaceUnit(U());
    Battle().state.acting_unit = slot;
    Slg::MoveSearch(U().character, CellPos(5, 40), 4);
  }
  static SlgRangePos Step(SlgRangePos p, int d) {
    constexpr int kDx[4] = {48, 48, -48, -48};
    constexpr int kDy[4] = {-24, 24, 24, -24};
    return {static_cast<int16_t>(p.x + kDx[d]), static_cast<int16_t>(p.y + kDy[d])};
  }
  SlgUnit& U() { return Battle().state.units[slot]; }

  BattleRig rig;
  BattleBoard board;
  uint8_t slot = 0;
  SlgRangePos c1, c2, c3;
};

TEST(WalkPath, ThreeLegsWithAClimbEndOnTheDestination) {
  PathFixture p({.kind = 40});  // no UnitAnm rows: the walk runs without a sprite
  ASSERT_EQ(Slg::BuildPath(p.U(), p.c3.x, p.c3.y), 1);
  ASSERT_EQ(Battle().search.path_count, 2);
  SlgUnit& u = p.U();
  u.state = 3;  // walk start: the state handler turns it to 1
  u.step = 0;
  int result = 0;
  std::vector<int32_t> climb_x;  // x when state 10 was seen
  int frames = 0;
  for (; frames < 120 && result == 0; ++frames) {
    p.rig.Step();
    if (frames == 1) u.state = kUnitStateWalk;
    if (u.state == kUnitStateHeightChange) {
      climb_x.push_back(u.x >> 16);
      u.state = kUnitStateWalk;  // the height-change state plays and returns to walking
    }
    result = Slg::WalkPath(u);
    Slg::UpdateUnit(u);
  }
  ASSERT_EQ(result, 1) << "after " << frames << " frames";
  ASSERT_FALSE(climb_x.empty());
  EXPECT_EQ(climb_x.front(), p.c1.x) << "the climb is asked for on the cell before it";
  EXPECT_EQ(u.x, p.c3.x * kPx);
  EXPECT_EQ(u.y, p.c3.y * kPx) << "a finished walk leaves y on the cell";
  EXPECT_EQ(u.lift, 48 * kPx);
  EXPECT_EQ(GetUnitAtCell(PosToCell(p.c3.x, p.c3.y).column, PosToCell(p.c3.x, p.c3.y).row), p.slot);
  EXPECT_EQ(GetUnitAtCell(PosToCell(CellPos(5, 40).x, CellPos(5, 40).y).column,
                          PosToCell(CellPos(5, 40).x, CellPos(5, 40).y).row),
            kSlgNoUnit)
      << "the start cell is left";
}

TEST(WalkPath, EmptyPathAndTheTeleportingHeroine) {
  {
    PathFixture p({.kind = 40});
    ASSERT_EQ(Slg::BuildPath(p.U(), p.c1.x, p.c1.y), 1);
    ASSERT_EQ(Battle().search.path_count, 0);
    SlgUnit& u = p.U();
    u.state = kUnitStateWalk;
    u.step = 2;
    EXPECT_EQ(Slg::WalkPath(u), 0);
    EXPECT_EQ(u.step, 3u) << "no step left: straight to the arrival";
    EXPECT_EQ(Slg::WalkPath(u), 1);
    EXPECT_EQ(u.x, p.c1.x * kPx);
  }
  {
    PathFixture p({.character = kSlgTeleportCharacter, .kind = 4});
    Battle().search.move_dest = p.c3;
    SlgUnit& u = p.U();
    u.state = 3;
    u.step = 0;
    EXPECT_EQ(Slg::WalkPath(u), 0);
    EXPECT_EQ(u.step, 0u) << "she waits for state 1 or 10";
    u.state = kUnitStateWalk;
    EXPECT_EQ(Slg::WalkPath(u), 0);
    EXPECT_EQ(u.step, 3u);
    EXPECT_EQ(Slg::WalkPath(u), 1);
    EXPECT_EQ(u.x, p.c3.x * kPx);
    EXPECT_EQ(u.y, p.c3.y * kPx);
    EXPECT_EQ(u.lift, 48 * kPx);
  }
}

TEST(WalkPath, HeldMenuKeyWalksFast) {
  WalkFixture w;
  SlgUnit& u = w.U();
  Battle().search.path_count = 0;
  Battle().search.move_dest = CellPos(6, 41);
  u.step = 0;
  EXPECT_EQ(Slg::WalkPath(u), 0);
  EXPECT_EQ(u.step, 1u);
  EXPECT_EQ(Battle().fast_walk, 0u);
  w.rig.Schedule({testsupport::GameKeyDown(w.rig.frame(), kGameKey2)});
  w.rig.Step();
  EXPECT_EQ(Slg::WalkPath(u), 0);
  EXPECT_EQ(Battle().fast_walk, 1u);
  EXPECT_EQ(Battle().fast_walk_start, w.rig.Now());
  int frames = 1;
  while (u.step == 1 && frames < 30) {
    w.rig.Step();
    Slg::WalkPath(u);
    ++frames;
  }
  EXPECT_EQ(u.step, 2u);
  EXPECT_LT(frames, 30) << "four times faster than the normal 55 frames";
}

// ---- Captured frames ----

// The category update the frame tests install: the body follows the unit's drawing position.
void FollowPosition(SlgUnit& unit, const SlgPair& screen) {
  if (unit.anm == nullptr) return;
  SetAnmPos(unit.anm, screen);
  if (unit.anm->handle != nullptr) SlgSprSetPos(unit.anm->handle, screen);
}

class UnitFrameTest : public ::testing::TestWithParam<platform::PixelLayout> {};

// Four units standing facing 0-3 (2 and 3 mirrored: the white marker strip on the right), and a
// fifth halfway through a leg.
TEST_P(UnitFrameTest, FacingsMirroredAndAUnitHalfwayThroughALeg) {
  BattleRig::Options options;
  options.layout = GetParam();
  BattleRig rig(options);
  BattleBoard board(rig.battle());
  testsupport::SlgTableWriter tables;
  UnitAnmWriter(0).Lay(rig.driver().tree, tables);
  tables.Lay(rig.driver().tree);
  LoadSlgTables();
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
  Battle().state.category_update[1] = FollowPosition;

  const SlgRangePos cells[5] = {CellPos(2, 12), CellPos(5, 12), CellPos(2, 17), CellPos(5, 17), CellPos(3, 6)};
  uint8_t slots[5] = {};
  for (int i = 0; i < 5; ++i) {
    BoardUnit u = OnCell(0, 0, {.kind = 0, .category = 1});
    u.x = cells[i].x;
    u.y = static_cast<int16_t>(cells[i].y + 24);
    u.facing = static_cast<uint8_t>(i < 4 ? i : 1);
    slots[i] = board.AddUnit(u);
    SlgUnit& unit = Battle().state.units[slots[i]];
    Slg::PlaceUnit(unit);
    if (i < 4) {
      SetUnitStandPattern(unit);
      ChangeUnitAnm(unit, 0);
    } else {
      Slg::SetUnitDir(unit, 1);
      unit.kind = kSlgUntimedWalkKind;  // 2 px a frame: 12 frames are half a leg
      unit.state = kUnitStateWalk;
      unit.walk_state = {static_cast<int32_t>(rig.Now()), unit.x, unit.y, 0, 0};
    }
  }
  for (int n = 0; n < 12; ++n) {
    rig.Step();
    Slg::UnitWalkStep(Battle().state.units[slots[4]]);
    for (uint8_t s : slots) Slg::UpdateUnit(Battle().state.units[s]);
  }
  rig.Step();
  rig.SaveFrame(std::string("unit_facings_") +
                (GetParam() == platform::PixelLayout::kRgb565 ? "565" : "555"));
  const auto shown = [&](uint32_t c) {
    const platform::PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(c, layout), layout);
  };
  const uint32_t white = shown(testsupport::SprColourRef(UnitAnmWriter::kMarker));
  const uint32_t black = shown(0);
  // The anchor (the unit's drawing pixel) is the block's bottom centre.
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(testing::Message() << "facing " << i);
    const int px = cells[i].x;
    const int py = cells[i].y + 24 - 12;
    const uint32_t body = shown(UnitAnmWriter::ColourRef(0, i == 1 || i == 2 ? 2 : 3));
    const bool mirrored = i >= 2;
    EXPECT_EQ(rig.PixelAt(px - 7, py), mirrored ? body : white);
    EXPECT_EQ(rig.PixelAt(px + 6, py), mirrored ? white : body);
  }
  // The walker: 24 px right and 12 px down of its cell, drawn there with walk pattern 0.
  const int wx = cells[4].x + 24;
  const int wy = cells[4].y + 24 + 12 - 12;
  EXPECT_EQ(rig.PixelAt(wx + 2, wy), shown(UnitAnmWriter::ColourRef(0, 0)));
  EXPECT_EQ(rig.PixelAt(cells[4].x - 7, cells[4].y + 24 - 12), black) << "no longer on its cell";
}

INSTANTIATE_TEST_SUITE_P(Layouts, UnitFrameTest,
                         ::testing::Values(platform::PixelLayout::kRgb565,
                                           platform::PixelLayout::kRgb555),
                         [](const ::testing::TestParamInfo<platform::PixelLayout>& info) {
                           return info.param == platform::PixelLayout::kRgb565 ? "Rgb565"
                                                                                : "Rgb555";
                         });

}  // namespace
