// The boss family frame on the rig's clock: the gate flags, kind 29's step list road by road,
// the charge, a stale step, and the program table's boss rows. Unit states the commands set are
// moved on by hand (3 -> 1, 4 -> 8, 9/12/13 -> 0, the charge's 11 -> 8 after a few frames, a
// defeated unit's 15 to a dead slot) as the state handlers will; the attacker's states 5-7 run
// the attack frame's entries with a stub.

#include "battle/slg_boss_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_death.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_search.h"
#include "battle/slg_short_programs.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn_order.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/input/dinput.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "tests/battle/boss_rig.h"

namespace {

using boss_rig::Cell;
using boss_rig::FreeCellOf;
using boss_rig::Listed;
using boss_rig::Seen;
using testsupport::OnCell;

// The boss rig with a defeated unit's state 15 turned into a dead slot; kind 29 by default.
class BossRig : public boss_rig::BossRig {
 public:
  BossRig() { dead_slots = true; }
  uint8_t Boss(Cell c, uint8_t kind = 29, int kiai = 10, int max_kiai = 50) {
    return boss_rig::BossRig::Boss(c, kind, kiai, max_kiai);
  }
};

const Cell kBossCell{10, 60};
const Cell kHeroCell{10, 4};  // unit 0, far from the boss

// ---- The gate ----

TEST(BossFamilyFrame, GateFlagClosesTheFrameKindsWithoutOneAlwaysEnter) {
  struct Case {
    uint8_t kind;
    int gate;
  } cases[] = {{20, 116}, {25, 401}, {28, 101}, {29, 170}, {30, 160}, {31, 110}, {32, 120},
               {21, -1},  {22, -1},  {24, -1},  {26, -1},  {27, -1},  {34, -1},  {35, -1}};
  BossRig r;
  r.Player(kHeroCell, 0);
  const uint8_t self = r.Boss(kBossCell, 29);
  BattleContext& b = r.rig.battle();
  for (const Case& c : cases) {
    EXPECT_EQ(BossMemberOf(c.kind).gate_flag, c.gate) << int{c.kind};
    for (const bool open : {false, true}) {
      if (c.gate < 0 && !open) continue;
      SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << (open ? " open" : " closed"));
      r.U(self).kind = c.kind;
      b.state.acting_unit = self;
      r.work = {};
      if (c.gate >= 0) {
        if (open) {
          SetEventFlag(static_cast<uint32_t>(c.gate));
        } else {
          ClearEventFlag(static_cast<uint32_t>(c.gate));
        }
      }
      // The frame itself (kinds 21 and 22 have no program row yet).
      BossFamilyFrame(&r.work, c.kind);
      if (!open) {
        EXPECT_EQ(r.work.step, kSlgPhaseStart) << "ended at once";
        continue;
      }
      EXPECT_EQ(r.work.step, kEnemyPhaseThink);
      EXPECT_EQ(b.enemy.think_step, kThinkStepChoose);
      b.think_search.think = {};
      BossFamilyFrame(&r.work, c.kind);
      const EnemyThinkRec made = EnemyBuiltInThink(c.kind);
      EXPECT_EQ(b.think_search.think.type, made.type) << "80 made it current";
      EXPECT_EQ(b.think_search.think.target, made.target);
    }
  }
}

TEST(BossFamilyFrame, Kind23ActsOnBattleMapFourAlone) {
  for (const uint32_t map : {3u, 4u}) {
    BossRig r;
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, 23);
    GetSystemData()->setBattleMap(map);
    BossFamilyFrame(&r.work, 23);
    EXPECT_EQ(r.work.step, map == 4 ? kEnemyPhaseThink : kSlgPhaseStart) << map;
  }
}

TEST(BossFamilyFrame, ProgramTableNamesTheBossPrograms) {
  const std::pair<int, EnemyProgramFn> rows[] = {
      {20, BossProgram20}, {23, BossProgram23}, {24, BossProgram24}, {25, BossProgram25},
      {26, BossProgram26}, {27, BossProgram26}, {28, BossProgram28}, {29, BossProgram29},
      {30, BossProgram30}, {31, BossProgram31}, {32, BossProgram32}, {34, BossProgram34},
      {35, BossProgram35}};  // rows 21 and 22: the samurai's (slg_boss_steps_b_test.cpp)
  for (const auto& [kind, program] : rows)
    EXPECT_EQ(kEnemyProgramTable[static_cast<size_t>(kind)], program) << kind;
  EXPECT_EQ(BossMemberOf(29).steps.size(), 15u);
  EXPECT_EQ(BossMemberOf(28).end_step, 8);
  EXPECT_EQ(BossMemberOf(24).end_step, 5);
  EXPECT_EQ(BossMemberOf(35).end_step, 5);
  EXPECT_EQ(BossMemberOf(22).end_step, 18);
}

// ---- Kind 29's steps ----

enum class Place { kNone, kSpecialRange, kNormalRange, kNormalReachOnly };

struct Road {
  const char* name;
  int kiai, max_kiai;
  Place player;
  int far_units;  // player units at distance 3 or more from unit 0 (and out of reach)
  int life;
  std::vector<int> steps;  // the think steps run, in order, up to the action
  int phase;               // the action phase started (15: the action ended)
  int next;                // EnemyNextStep then
};

TEST(BossKind29, StepTableRoadByRoad) {
  const Road roads[] = {
      {"full kiai, a player in special reach", 50, 50, Place::kSpecialRange, 0, 100,
       {0, 11, 13, 14}, kEnemyPhaseAttack, 7},
      {"full kiai, nobody in reach: guard", 50, 50, Place::kNone, 0, 100, {0, 6, 8},
       kEnemyPhaseGuard, 7},
      {"kiai below maximum, N below 3: charge", 10, 50, Place::kNone, 2, 100, {0, 6, 9},
       kBossPhaseCharge, 7},
      {"N 3, life below half: charge", 10, 50, Place::kNone, 3, 49, {0, 6, 9}, kBossPhaseCharge,
       7},
      {"N 3, life half or more: guard", 10, 50, Place::kNone, 3, 50, {0, 6, 8}, kEnemyPhaseGuard,
       7},
      {"a player in normal reach and range: attack 0", 10, 50, Place::kNormalRange, 0, 100,
       {0, 1, 3, 4}, kEnemyPhaseAttack, 7},
      {"in reach, not in range: approach", 10, 50, Place::kNormalReachOnly, 0, 100, {0, 1, 2},
       kEnemyPhaseWalk, 7},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    for (int i = 0; i < road.far_units; ++i) r.Player({3 + 4 * i, 12}, 2);
    const uint8_t self = r.Boss(kBossCell, 29, road.kiai, road.max_kiai);
    r.U(self).stats.life = static_cast<int16_t>(road.life);
    if (road.player != Place::kNone) {
      const int attack = road.player == Place::kSpecialRange ? 1 : 0;
      EnemyRangeCells(attack);
      const std::vector<Cell> range = Listed();
      EnemyReachCells(attack);
      const std::vector<Cell> reach = Listed();
      const std::optional<Cell> at = road.player == Place::kNormalReachOnly
                                         ? FreeCellOf(reach, range, kBossCell)
                                         : FreeCellOf(range, {}, kBossCell);
      ASSERT_TRUE(at.has_value());
      r.Player(*at, 3);
    }
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, road.steps);
    EXPECT_EQ(r.work.step, road.phase);
    EXPECT_EQ(r.rig.battle().enemy.next_step, road.next);
    if (road.phase == kEnemyPhaseAttack) {
      const int type = road.player == Place::kSpecialRange ? 1 : 0;
      EXPECT_EQ(r.U(self).stats.attack_type, type);
      EXPECT_EQ(r.rig.battle().cmd.attack_mode, type);
    }
    if (road.phase != kEnemyPhaseWalk) {
      const SlgCell own = PosToCell(r.U(self).x >> 16, r.U(self).y >> 16);
      EXPECT_EQ(r.rig.battle().state.cursor_cell[0], own.column);
      EXPECT_EQ(r.rig.battle().state.cursor_cell[1], own.row);
    }
  }
}

TEST(BossKind29, CameraStepsWaitWhileTheScrollRuns) {
  BossRig r;
  r.Player(kHeroCell, 0);
  r.Boss(kBossCell, 29, 50, 50);  // full kiai, nobody in reach: guard
  int frames_waiting = 0;
  ASSERT_TRUE(r.Run(120, [&] {
    if (r.work.step == kEnemyPhaseThink && r.rig.battle().enemy.think_step == 8) ++frames_waiting;
    return r.work.step == kEnemyPhaseGuard;
  }));
  EXPECT_GT(frames_waiting, 1) << "step 8 waited for the camera";
  EXPECT_EQ(r.rig.battle().phase_sub, 0u);
}

TEST(BossKind29, AttackThenRetreatThenEnd) {
  BossRig r;
  r.Player(kHeroCell, 0);
  const uint8_t self = r.Boss(kBossCell, 29);
  EnemyRangeCells(0);
  const std::optional<Cell> at = FreeCellOf(Listed(), {}, kBossCell);
  ASSERT_TRUE(at.has_value());
  r.Player(*at, 3);
  ASSERT_TRUE(r.Run(900));
  EXPECT_EQ(Seen().calls, 1);
  EXPECT_EQ(Seen().type, 0);
  // The attack's end: action bit 1, the unit standing, next 7, 81, then 80 runs 5 (retreat).
  ASSERT_GE(r.steps.size(), 5u);
  EXPECT_EQ(std::vector<int>(r.steps.begin(), r.steps.begin() + 5),
            (std::vector<int>{0, 1, 3, 4, 5}));
  EXPECT_EQ(r.steps.back(), 7);
  EXPECT_EQ(r.phases[1], kEnemyPhaseAttack);
  EXPECT_EQ(r.phases[2], kEnemyPhaseWait);
  EXPECT_NE(r.rig.battle().control.action_done & kEnemyDidAttack, 0);
  EXPECT_EQ(r.U(self).state, 0);
}

TEST(BossKind29, FailureRoadsEndTheAction) {
  struct Case {
    const char* name;
    uint16_t step;
    bool trace;
  } cases[] = {{"approach without a cell", 2, false},
               {"special approach without a cell", 12, false},
               {"a stale step 40", 40, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, 29);
    r.rig.battle().think_search.target = kSlgNoUnit;
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = c.step;
    r.rig.battle().enemy.next_step = 3;
    testsupport::TraceCapture trace;
    ASSERT_TRUE(r.Run(10));
    EXPECT_EQ(r.work.step, kSlgPhaseStart);
    EXPECT_EQ(r.rig.battle().control.action_done, 0);
    EXPECT_EQ(trace.Contains("outside its list"), c.trace);
  }
}

// ---- The charge ----

TEST(BossKind29, ChargeOnTheClock) {
  BossRig r;
  r.Player(kHeroCell, 0);
  r.Player({3, 12}, 2);
  const uint8_t self = r.Boss(kBossCell, 29);  // kiai below maximum, N 1: charge
  ASSERT_TRUE(r.RunToAction());
  ASSERT_EQ(r.work.step, kBossPhaseCharge);
  BattleContext& b = r.rig.battle();
  b.comm_win.sel = 0;
  b.comm_win.mains[2].frame = 0;
  r.Frame();
  EXPECT_EQ(r.U(self).state, 11);
  EXPECT_EQ(b.flags & 0x8, 0);
  EXPECT_NE(b.flags & 0x1, 0);
  EXPECT_EQ(b.phase_sub, 1u);
  // Still charging: nothing more.
  r.Frame();
  EXPECT_EQ(r.work.step, kBossPhaseCharge);
  ASSERT_TRUE(r.Run(20, [&] { return r.work.step != kBossPhaseCharge; }));
  EXPECT_EQ(r.U(self).state, 8);
  EXPECT_NE(b.flags & 0x8, 0);
  EXPECT_EQ(b.flags & 0x1, 0);
  EXPECT_NE(b.control.action_done & kEnemyDidSupport, 0);
  EXPECT_EQ(b.comm_win.mains[2].frame, 17) << "the window marked the unit command";
  EXPECT_EQ(b.comm_win.sel, 1);
  EXPECT_EQ(r.work.step, kEnemyPhaseThink);
  EXPECT_EQ(b.enemy.think_step, 10) << "step 9 took next 10: the random walk";
}

// ---- The short programs ----

TEST(ShortPrograms, TableRows) {
  const std::pair<int, EnemyProgramFn> rows[] = {{4, Kind4Program},      {38, GunnerProgram},
                                                 {42, TransformProgram}, {43, SpawnerProgram},
                                                 {44, SpawnerProgram},   {51, MarkerProgram}};
  for (const auto& [kind, program] : rows)
    EXPECT_EQ(kEnemyProgramTable[static_cast<size_t>(kind)], program) << kind;
}

// The gunner's program on a unit of kind 29 (whose normal aim is a cross, so that the range
// holds cells at several distances).
TEST(ShortPrograms, GunnerTakesTheNearestPlayerUnitInRangeAndTheSpecialOnFullKiai) {
  struct Case {
    const char* name;
    uint8_t kind;
    bool players;  // else a side-0 unit of category 1 on the same cells
    int kiai;      // of 50
    int type;      // the attack type; -1: the action ends
  } cases[] = {{"kiai below maximum", 29, true, 10, 0},
               {"full kiai", 29, true, 50, 1},
               {"only a unit of category 1", 29, false, 50, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.program = GunnerProgram;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(kBossCell, c.kind, c.kiai, 50);
    Battle().state.units[self].kind = 29;
    EnemyRangeCells(0);
    Battle().state.units[self].kind = c.kind;
    const std::vector<Cell> range = Listed();
    ASSERT_GE(range.size(), 2u);
    // The farthest range cell first, then the nearest: the nearer wins though listed later.
    Cell far = range.front(), near = range.front();
    auto d = [](Cell x) {
      return 2 * std::abs(x.first - kBossCell.first) + std::abs(x.second - kBossCell.second);
    };
    for (const Cell& x : range) {
      if (d(x) > d(far)) far = x;
      if (d(x) < d(near)) near = x;
    }
    ASSERT_LT(d(near), d(far));
    const uint8_t category = c.players ? 0 : 1;
    r.Add(far, {.side = 0, .character = 2, .kind = 2, .category = category});
    const uint8_t nearest = r.Add(near, {.side = 0, .character = 3, .kind = 3, .category = category});
    ASSERT_TRUE(r.RunToAction());
    if (c.type < 0) {
      EXPECT_EQ(r.work.step, kSlgPhaseStart);
      continue;
    }
    ASSERT_EQ(r.work.step, kEnemyPhaseAttack);
    EXPECT_EQ(r.rig.battle().think_search.target, nearest);
    EXPECT_EQ(r.U(self).stats.attack_type, c.type);
    EXPECT_EQ(r.rig.battle().cmd.attack_mode, c.type);
    // After the attack (the special defeats its target here) it waits for state 15 to clear, then
    // ends.
    ASSERT_TRUE(r.Run(600));
    EXPECT_EQ(Seen().calls, 1);
    EXPECT_EQ(r.phases.back(), kSlgPhaseStart);
  }
}

// The gunner of kind 38 (the jokidama, always facing direction 2) aims along its facing line
// across the map: a player unit on that line is attacked however far; one beside the gunner but
// off the line is not in its range.
TEST(ShortPrograms, TheGunnerAimsAlongItsFacingLine) {
  // n cells from the gunner's cell in direction 2 (-48, +24 pixels) or 1 (+48, +24).
  const auto along = [](int dir, int n) {
    const SlgRangePos p = testsupport::CellPos(kBossCell.first, kBossCell.second);
    const int dx = dir == 2 ? -48 : 48;
    const SlgCell c = PosToCell(p.x + n * dx, p.y + n * 24);
    return Cell{c.column, c.row};
  };
  struct Case {
    const char* name;
    int line_distance;  // 0: nobody on the line
    bool attacks;
  };
  const Case cases[] = {{"a player four cells down the line", 4, true},
                        {"a player twenty cells down the line", 20, true},
                        {"nobody on the line", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.program = GunnerProgram;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(kBossCell, 38);
    r.U(self).dir = 2;
    r.Player(along(1, 1), 2);  // beside the gunner, off the line
    const uint8_t on_line = c.line_distance > 0 ? r.Player(along(2, c.line_distance), 3) : 255;
    ASSERT_TRUE(r.RunToAction());
    if (!c.attacks) {
      EXPECT_EQ(r.work.step, kSlgPhaseStart);
      EXPECT_EQ(Seen().calls, 0);
      continue;
    }
    ASSERT_EQ(r.work.step, kEnemyPhaseAttack);
    EXPECT_EQ(r.rig.battle().think_search.target, on_line);
    ASSERT_TRUE(r.Run(600));
    EXPECT_EQ(Seen().calls, 1);
    EXPECT_EQ(Seen().targets, std::vector<int>{on_line});
  }
}

TEST(ShortPrograms, MarkerMarksEveryOtherUnitOnItsCell) {
  BossRig r;
  r.Player(kHeroCell, 0);
  const uint8_t on_cell = r.Add(kBossCell, {.side = 1, .character = 21, .kind = 14, .category = 1});
  const uint8_t elsewhere = r.Player({12, 60}, 2);
  const uint8_t self = r.Boss(kBossCell, 51);
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  EXPECT_EQ(r.U(on_cell).stats.attack_type, self);
  EXPECT_NE(r.U(on_cell).flags & kUnitFollowUp, 0u);
  EXPECT_EQ(r.U(elsewhere).flags & kUnitFollowUp, 0u);
  EXPECT_EQ(r.U(self).flags & kUnitFollowUp, 0u);
}

TEST(ShortPrograms, SpawnerFromItsFourthActionWithTheFrontCellFree) {
  struct Case {
    const char* name;
    uint8_t kind;
    bool front_taken;
    bool flag_set;  // a spawn already under way
    int units;      // records to reach before it acts
    bool spawns;
  } cases[] = {{"43, front free", 43, false, false, 0, true},
               {"43, front taken", 43, true, false, 0, false},
               {"43, front taken, spawn under way", 43, true, true, 0, true},
               {"44, its own flag", 44, true, true, 0, true},
               {"43, 32 units", 43, false, false, 32, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.attack_states = false;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(kBossCell, c.kind);
    ASSERT_NE(r.U(self).anm, nullptr);
    if (c.front_taken) r.Player({kBossCell.first, kBossCell.second + 1}, 2);  // (+48, +24)
    for (int i = static_cast<int>(r.rig.battle().state.unit_count); i < c.units; ++i)
      r.Player({1 + i % 20, 30 + i / 20}, 3);
    uint8_t& flag = c.kind == 44 ? r.rig.battle().short_programs.spawn_44
                                 : r.rig.battle().short_programs.spawn_43;
    flag = c.flag_set ? 1 : 0;
    const uint8_t counted = c.units >= kSpawnerMostUnits ? 0 : 1;
    for (int action = 1; action <= 3; ++action) {
      r.work = {};
      r.rig.battle().state.acting_unit = self;
      r.Frame();
      EXPECT_EQ(r.work.step, kSlgPhaseStart) << "action " << action;
      EXPECT_EQ(r.U(self).anm->rest[0], counted * action);
    }
    r.work = {};
    r.rig.battle().state.acting_unit = self;
    if (!c.spawns) {
      r.Frame();
      EXPECT_EQ(r.work.step, kSlgPhaseStart);
      EXPECT_EQ(r.U(self).anm->rest[0], counted * 4);
      continue;
    }
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
    EXPECT_EQ(r.U(self).state, 6);
    EXPECT_EQ(flag, 1);
    r.Frame();
    EXPECT_EQ(r.work.step, kEnemyPhaseAttack) << "waits while the unit produces";
    SetUnitState(r.U(self), 0);
    r.Frame();
    EXPECT_EQ(r.work.step, kSlgPhaseStart);
    EXPECT_EQ(r.U(self).anm->rest[0], 0);
    EXPECT_EQ(flag, 0);
  }
}

TEST(ShortPrograms, SpawnerWithoutABodyObjectEndsItsAction) {
  BossRig r;
  r.Player(kHeroCell, 0);
  const uint8_t self = r.Boss(kBossCell, 43);
  SlgAnmObj* body = r.U(self).anm;
  r.U(self).anm = nullptr;
  testsupport::TraceCapture trace;
  r.Frame();
  r.U(self).anm = body;
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  EXPECT_TRUE(trace.Contains("no body object"));
}

TEST(ShortPrograms, TransformReplacesItselfByStageEntryEleven) {
  struct Case {
    const char* name;
    uint8_t variant;
    bool flag105;
    bool player_near;
    bool full;  // 64 records: the creation is refused
    bool replaced;
  } cases[] = {{"flag and a player near", 0, true, true, false, true},
               {"variant 2", 2, true, true, false, false},
               {"variant 3", 3, true, true, false, false},
               {"no flag", 0, false, true, false, false},
               {"nobody near", 0, true, false, false, false},
               {"64 records", 0, true, true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.Player(kHeroCell, 0);  // entry 0
    const uint8_t self = r.board.AddUnit(OnCell(kBossCell.first, kBossCell.second,
                                                {.side = 1, .character = 22, .kind = 42,
                                                 .category = 4, .variant = c.variant}));
    Slg::PlaceUnit(r.U(self));
    r.rig.battle().state.acting_unit = self;
    r.U(self).dir = 3;
    if (c.player_near) r.Player({kBossCell.first, kBossCell.second + 2}, 2);
    while (r.rig.battle().stage->unit_count() < kTransformEntry)
      r.board.AddEntry(OnCell(1, 80, {.side = 1, .kind = 14, .category = 1}));
    r.board.AddEntry(OnCell(1, 80, {.side = 1, .character = 23, .kind = 34, .category = 1}));
    if (c.flag105) SetEventFlag(105);
    SlgBuildTurnOrder();
    const int order_before = r.rig.battle().order.count;
    const uint16_t count_before = r.rig.battle().state.unit_count;
    if (c.full) r.rig.battle().state.unit_count = kSlgMaxUnits;
    const int32_t x = r.U(self).x;
    const int32_t y = r.U(self).y;
    testsupport::TraceCapture trace;
    ASSERT_TRUE(r.Run(60));
    EXPECT_EQ(r.work.step, kSlgPhaseStart);
    if (c.full) {
      r.rig.battle().state.unit_count = count_before;
      EXPECT_TRUE(trace.Contains("stays"));
    }
    if (!c.replaced) {
      EXPECT_NE(r.U(self).step, kSlgDeadStep);
      EXPECT_EQ(r.rig.battle().state.unit_count, count_before);
      continue;
    }
    EXPECT_EQ(r.U(self).step, kSlgDeadStep);
    ASSERT_EQ(r.rig.battle().state.unit_count, count_before + 1);
    const uint8_t made = static_cast<uint8_t>(count_before);
    EXPECT_EQ(r.U(made).kind, 34);
    EXPECT_EQ(r.U(made).x, x);
    EXPECT_EQ(r.U(made).y, y);
    EXPECT_EQ(r.U(made).dir, 3);
    EXPECT_EQ(r.rig.battle().order.count, order_before + 1);
    EXPECT_EQ(r.rig.battle().order.entries[static_cast<size_t>(order_before)].slot, made);
    const SlgCell cell = PosToCell(x >> 16, y >> 16);
    EXPECT_EQ(GetUnitAtCell(cell.column, cell.row), made);
  }
}

TEST(ShortPrograms, Kind4FleesToTheCellFarthestFromTheHero) {
  for (const bool hero : {true, false}) {
    SCOPED_TRACE(hero ? "with the hero" : "without a hero");
    BossRig r;
    if (hero) {
      r.Player({10, 50}, 0);
    } else {
      r.Player({10, 50}, 1);
    }
    const uint8_t self = r.Add({10, 56}, {.side = 1, .character = 24, .kind = 4, .category = 1});
    r.rig.battle().state.acting_unit = self;
    EnemyMoveCells();
    const std::vector<Cell> moves = Listed();
    ASSERT_GT(moves.size(), 1u);
    size_t farthest = 0;
    int best = -1;
    for (size_t i = 0; i < moves.size(); ++i) {
      const int d = 2 * std::abs(moves[i].first - 10) + std::abs(moves[i].second - 50);
      if (d >= best) {
        best = d;
        farthest = i;
      }
    }
    ASSERT_TRUE(r.Run(300));
    const SlgCell now = PosToCell(r.U(self).x >> 16, r.U(self).y >> 16);
    if (hero) {
      EXPECT_EQ((Cell{now.column, now.row}), moves[farthest]);
      EXPECT_NE(r.rig.battle().control.action_done & kEnemyDidWalk, 0);
    } else {
      EXPECT_EQ((Cell{now.column, now.row}), (Cell{10, 56}));
      EXPECT_EQ(r.rig.battle().control.action_done, 0);
    }
  }
}

}  // namespace
