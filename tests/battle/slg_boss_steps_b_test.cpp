// The step lists of boss kinds 23, 24, 20, 21, 22, 35 and 34 on the rig's clock, road by road:
// the steps run, the action started, EnemyNextStep; kind 24's pull; the samurai programs; kind
// 35's target rotation; stale steps.

#include "battle/slg_boss_steps_b.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_boss_program.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/stage_writer.h"
#include "testsupport/trace_capture.h"
#include "tests/battle/boss_rig.h"

namespace {

using boss_rig::BossRig;
using boss_rig::Cell;
using boss_rig::CellOf;
using boss_rig::FreeCellOf;
using boss_rig::Listed;
using boss_rig::Seen;

const Cell kBossCell{10, 60};
const Cell kHeroCell{10, 4};  // unit 0, far from the boss

// Where the one player unit of a road stands, seen from the boss.
enum class Place { kNone, kSpecialRange, kNormalRange, kNormalReachOnly };

// A free cell where `place` puts a unit for the acting unit standing on `own`.
std::optional<Cell> CellFor(Place place, Cell own) {
  const int attack = place == Place::kSpecialRange ? 1 : 0;
  EnemyRangeCells(attack);
  const std::vector<Cell> range = Listed();
  if (place != Place::kNormalReachOnly) return FreeCellOf(range, {}, own);
  EnemyReachCells(attack);
  return FreeCellOf(Listed(), range, own);
}

// Units of category 0 at distance 3 or more from unit 0 and out of every reach of the boss.
const Cell kDistant[] = {{3, 12}, {7, 12}, {11, 12}};
// Units of category 0 at distance 5 or more from unit 0 (kind 24 does not count them) that
// kind 29's N would count, and units within distance 4 of unit 0 that both count.
const Cell kNear[] = {{10, 6}, {11, 5}, {9, 5}};

struct Road {
  const char* name;
  uint8_t kind;
  int kiai, max_kiai;
  Place place;
  int life;
  std::vector<int> steps;  // the think steps run, in order, up to the action
  int phase;               // the action phase started (15: the action ended)
  int next;                // EnemyNextStep then
  int attack_type = -1;    // for attacks: the attack-type byte and SlgAttackMode
  bool side_zero_only = false;  // the unit placed is of side 0 but category 1
  int distant = 0;              // units of kDistant placed
};

void RunRoads(const std::vector<Road>& roads) {
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    BossRig r;
    GetSystemData()->setBattleMap(4);
    r.Player(kHeroCell, 0);
    for (int i = 0; i < road.distant; ++i) r.Player(kDistant[i], 2);
    const uint8_t self = r.Boss(kBossCell, road.kind, road.kiai, road.max_kiai);
    r.U(self).stats.life = static_cast<int16_t>(road.life);
    if (road.place != Place::kNone) {
      const std::optional<Cell> at = CellFor(road.place, kBossCell);
      ASSERT_TRUE(at.has_value());
      if (road.side_zero_only) {
        r.Add(*at, {.side = 0, .character = 40, .kind = 40, .category = 1});
      } else {
        r.Player(*at, 3);
      }
    }
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, road.steps);
    EXPECT_EQ(r.work.step, road.phase);
    EXPECT_EQ(r.rig.battle().enemy.next_step, road.next);
    if (road.attack_type >= 0) {
      EXPECT_EQ(r.U(self).stats.attack_type, road.attack_type);
      EXPECT_EQ(r.rig.battle().cmd.attack_mode, road.attack_type);
    }
  }
}

// ---- Kind 23 ----

TEST(BossKind23, StepTableRoadByRoad) {
  RunRoads({
      {"full kiai, a player in special range: attack 1", 23, 50, 50, Place::kSpecialRange, 100,
       {0, 11, 12, 13}, kEnemyPhaseAttack, 7, 1},
      {"a player in normal range: attack 0", 23, 10, 50, Place::kNormalRange, 100, {0, 1, 3, 4},
       kEnemyPhaseAttack, 7, 0},
      {"in normal reach only: approach", 23, 10, 50, Place::kNormalReachOnly, 100, {0, 1, 2},
       kEnemyPhaseWalk, 7},
      {"a side-0 unit of category 1: no target, no cell, the steps go on", 23, 10, 50,
       Place::kNormalRange, 100, {0, 1, 2, 3, 4}, kEnemyPhaseAttack, 7, 0, true},
      {"nobody, N below 3: charge", 23, 10, 50, Place::kNone, 100, {0, 6, 9}, kBossPhaseCharge,
       7},
      {"nobody, full kiai: guard", 23, 50, 50, Place::kNone, 100, {0, 6, 8}, kEnemyPhaseGuard,
       7},
      {"N 3, life below half: charge", 23, 10, 50, Place::kNone, 49, {0, 6, 9}, kBossPhaseCharge,
       7, -1, false, 3},
      {"N 3, life half or more: guard", 23, 10, 50, Place::kNone, 50, {0, 6, 8},
       kEnemyPhaseGuard, 7, -1, false, 3},
  });
}

TEST(BossKind23, NotesTheAttackItsTargetWasChosenFor) {
  for (const int attack : {0, 1}) {
    BossRig r;
    GetSystemData()->setBattleMap(4);
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, 23, attack == 1 ? 50 : 10, 50);
    r.rig.battle().boss_steps.chosen_attack = static_cast<uint8_t>(1 - attack);
    const std::optional<Cell> at =
        CellFor(attack == 1 ? Place::kSpecialRange : Place::kNormalRange, kBossCell);
    ASSERT_TRUE(at.has_value());
    const uint8_t target = r.Player(*at, 3);
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.rig.battle().boss_steps.chosen_attack, attack);
    EXPECT_EQ(r.rig.battle().think_search.target, target);
  }
}

TEST(BossKind23, ActsOnBattleMapFourAlone) {
  for (const uint32_t map : {3u, 4u, 5u}) {
    SCOPED_TRACE(map);
    BossRig r;
    GetSystemData()->setBattleMap(map);
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, 23, 50, 50);
    ASSERT_TRUE(r.RunToAction());
    if (map == 4) {
      EXPECT_EQ(r.work.step, kEnemyPhaseGuard);
      EXPECT_EQ(r.steps, (std::vector<int>{0, 6, 8}));
    } else {
      EXPECT_EQ(r.work.step, kSlgPhaseStart);
      EXPECT_TRUE(r.steps.empty());
      EXPECT_EQ(r.frames, 1);
    }
  }
}

// ---- Guard or charge by kind ----

TEST(BossGuardOrCharge, ChargeOrGuardByKindWhenManyPlayersStandAway) {
  struct Case {
    const char* name;
    uint8_t kind;
    uint16_t step;  // the kind's guard-or-charge step
    int kiai, max_kiai, life;
    const Cell* players;  // three player units beside unit 0
    int phase;
  } cases[] = {
      {"23, N 3, life below half", 23, 6, 10, 50, 40, kDistant, kBossPhaseCharge},
      {"23, N 3, life above half", 23, 6, 10, 50, 60, kDistant, kEnemyPhaseGuard},
      {"24, three near units, life below half", 24, 6, 10, 50, 40, kNear, kBossPhaseCharge},
      {"24, three near units, life above half", 24, 6, 10, 50, 60, kNear, kEnemyPhaseGuard},
      {"24 does not count distant units: N 0", 24, 6, 10, 50, 60, kDistant, kBossPhaseCharge},
      {"20, N 3, life below half", 20, 11, 10, 50, 40, kDistant, kEnemyPhaseGuard},
      {"20, N 3, life above half", 20, 11, 10, 50, 60, kDistant, kBossPhaseCharge},
      {"20, maximum kiai 0: guard whatever N", 20, 11, 0, 0, 60, kNear, kEnemyPhaseGuard},
      {"21, N 3, life below half", 21, 11, 10, 50, 40, kDistant, kEnemyPhaseGuard},
      {"22, N 3, life below half", 22, 5, 10, 50, 40, kDistant, kEnemyPhaseGuard},
      {"22, N 3, life above half", 22, 5, 10, 50, 60, kDistant, kBossPhaseCharge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    GetSystemData()->setBattleMap(4);
    r.Player(kHeroCell, 0);
    for (int i = 0; i < 3; ++i) r.Player(c.players[i], 2);
    const uint8_t self = r.Boss(kBossCell, c.kind, c.kiai, c.max_kiai);
    r.U(self).stats.life = static_cast<int16_t>(c.life);
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = c.step;
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.work.step, c.phase);
  }
}

// ---- Kind 24 ----

TEST(BossKind24, StepTableWithPullsAllowed) {
  // Flag 159 set: kind 24 fights by its reach first.
  const std::vector<Road> roads = {
      {"full kiai, a player in special range: attack 1", 24, 50, 50, Place::kSpecialRange, 100,
       {0, 1, 2, 3}, kEnemyPhaseAttack, 5, 1},
      {"a player in normal range: attack 0", 24, 10, 50, Place::kNormalRange, 100, {0, 1, 2, 3},
       kEnemyPhaseAttack, 5, 0},
      {"in normal reach only: approach, then 9", 24, 10, 50, Place::kNormalReachOnly, 100,
       {0, 1, 4}, kEnemyPhaseWalk, 5},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    SetEventFlag(159);
    const uint8_t self = r.Boss(kBossCell, 24, road.kiai, road.max_kiai);
    const std::optional<Cell> at = CellFor(road.place, kBossCell);
    ASSERT_TRUE(at.has_value());
    const uint8_t target = r.Player(*at, 3);
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, road.steps);
    EXPECT_EQ(r.work.step, road.phase);
    EXPECT_EQ(r.rig.battle().enemy.next_step, road.next);
    EXPECT_EQ(r.rig.battle().think_search.target, target);
    if (road.attack_type >= 0) {
      EXPECT_EQ(r.U(self).stats.attack_type, road.attack_type);
      EXPECT_EQ(r.rig.battle().cmd.attack_mode, road.attack_type);
      EXPECT_EQ(r.rig.battle().boss_steps.chosen_attack, road.attack_type);
    } else {
      EXPECT_EQ(r.rig.battle().enemy.think_step, 9);
    }
    EXPECT_EQ(r.rig.battle().boss_steps.pull_actions, 1);
  }
}

// The draw of a seed (GetRandom() mod 100) above 80 or not.
uint32_t SeedWhoseFirstDrawIs(bool above) {
  for (uint32_t seed = 1;; ++seed) {
    GameRandom g;
    g.Seed(seed);
    if ((g.Next() % 100 > 80) == above) return seed;
  }
}

TEST(BossKind24, Step10PullsUnlessTheDrawIsAboveEighty) {
  for (const bool above : {false, true}) {
    SCOPED_TRACE(above ? "draw above 80" : "draw 80 or less");
    BossRig r;
    const uint8_t hero = r.Player(kHeroCell, 0, 100);
    SetEventFlag(159);
    r.Boss(kBossCell, 24);
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = 10;
    SeedRandom(SeedWhoseFirstDrawIs(above));
    BossProgram24(&r.work);
    EXPECT_EQ(r.rig.battle().enemy.think_step, above ? 6 : 9);
    EXPECT_EQ(CellOf(r.U(hero)) == kHeroCell, above);
  }
}

// The pixel position beside the boss tried n-th (0-3).
SlgPoint Beside(const SlgUnit& boss, int n) {
  static const int kOff[4][2] = {{48, 24}, {48, -24}, {-48, 24}, {-48, -24}};
  const SlgPoint snap = SnapPosToCell(boss.x >> 16, boss.y >> 16);
  return {snap.x + kOff[n][0], snap.y + kOff[n][1]};
}
Cell CellAt(SlgPoint p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return {c.column, c.row};
}

TEST(BossKind24, PullsTheStrongestOntoTheFirstFreeCellAndAttacksIt) {
  struct Case {
    const char* name;
    int blocked;   // the cells beside the boss made unusable, in order: 0-2
    bool by_unit;  // by a unit standing there (else by bit 0x400)
    int named;     // a flag of 430-436 set (-1 none)
    int expected_cell;
    int expected_unit;  // 0 the hero, 1 / 2 the two heroines (equal life: the first), 3 char 5
  } cases[] = {
      {"all free: the first cell, the first of equals", 0, false, -1, 0, 1},
      {"the first taken by a unit: the second", 1, true, -1, 1, 1},
      {"the first two blocked: the third", 2, false, -1, 2, 1},
      {"flags 433 (nobody) and 435 set: character 5", 0, false, 5, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    std::vector<uint8_t> units;
    units.push_back(r.Player(kHeroCell, 0, 70));
    units.push_back(r.Player({3, 30}, 1, 90));
    units.push_back(r.Player({5, 70}, 2, 90));
    units.push_back(r.Player({2, 80}, 5, 20));
    const uint8_t self = r.Boss(kBossCell, 24);
    for (int i = 0; i < c.blocked; ++i) {
      const Cell at = CellAt(Beside(r.U(self), i));
      if (c.by_unit) {
        r.Add(at, {.side = 1, .character = 20, .kind = 14, .category = 1});
      } else {
        r.board.SetCell(at.first, at.second, 0x400);
      }
    }
    if (c.named >= 0) {
      SetEventFlag(433);
      SetEventFlag(430 + static_cast<uint32_t>(c.named));
    }
    ASSERT_FALSE(BossPlayerInPullArea());
    const uint8_t pulled = units[static_cast<size_t>(c.expected_unit)];
    const Cell from = CellOf(r.U(pulled));
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, (std::vector<int>{0, 11, 12, 9, 3}));
    EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
    const SlgPoint to = Beside(r.U(self), c.expected_cell);
    EXPECT_EQ(r.U(pulled).x, to.x * 65536);
    EXPECT_EQ(r.U(pulled).y, to.y * 65536);
    EXPECT_EQ(GetUnitAtCell(CellAt(to).first, CellAt(to).second), pulled);
    EXPECT_EQ(GetUnitAtCell(from.first, from.second), kSlgNoUnit) << "old cell emptied";
    EXPECT_NE(CheckEventFlag(400 + r.U(pulled).kind), 0);
    EXPECT_EQ(r.rig.battle().think_search.target, pulled);
    EXPECT_EQ(r.rig.battle().boss_steps.pulled, 1);
    // Only the pulled unit moved.
    for (const uint8_t u : units) {
      if (u != pulled) {
        EXPECT_NE(CellOf(r.U(u)), CellAt(to));
      }
    }
  }
}

TEST(BossKind24, FlagFourHundredNineOnceTwoActionsWereCountedWithTheMarker) {
  BossRig r;
  r.Player(kHeroCell, 0);
  r.Player({3, 30}, 1);
  const uint8_t self = r.Boss(kBossCell, 24);
  for (int action = 1; action <= 2; ++action) {
    SCOPED_TRACE(action);
    r.work = {};
    r.steps.clear();
    r.rig.battle().state.acting_unit = self;
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
    EXPECT_EQ(CheckEventFlag(409) != 0, action == 2);
  }
  EXPECT_EQ(r.rig.battle().boss_steps.pull_actions, 3) << "two starts, one count with the marker";
}

TEST(BossKind24, PullsNobodyWithoutALivingPlayerUnit) {
  // The boss is unit 0, the player units have no life: nothing is pulled (formerly unit 0, the
  // boss itself, would have been), and the step goes on as with no free cell.
  BossRig r;
  const uint8_t self = r.Boss(kBossCell, 24);
  const uint8_t a = r.Player(kHeroCell, 0, 0);
  const uint8_t b = r.Player({3, 30}, 1, 0);
  ASSERT_EQ(self, 0);
  r.rig.battle().state.acting_unit = self;
  EXPECT_EQ(BossPullCandidate(false), kSlgNoUnit);
  EXPECT_EQ(BossPullCandidate(true), kSlgNoUnit);
  const SlgUnit before = r.U(self);
  ASSERT_TRUE(r.RunToAction());
  EXPECT_EQ(r.steps, (std::vector<int>{0, 11, 12, 6, 8}));
  EXPECT_EQ(r.work.step, kBossPhaseCharge);
  EXPECT_EQ(r.U(self).x, before.x);
  EXPECT_EQ(r.U(self).y, before.y);
  EXPECT_EQ(CellOf(r.U(a)), kHeroCell);
  EXPECT_EQ(CellOf(r.U(b)), (Cell{3, 30}));
  EXPECT_EQ(r.rig.battle().boss_steps.pulled, 0);
}

TEST(BossKind24, APulledUnitIsPlacedAtTheHeightOfItsNewCell) {
  BossRig r;
  const uint8_t hero = r.Player(kHeroCell, 0);
  const uint8_t self = r.Boss(kBossCell, 24);
  const Cell to = CellAt(Beside(r.U(self), 0));
  const uint32_t word = testsupport::CellWord(2, 0, 1);
  r.board.SetCell(to.first, to.second, word);
  ASSERT_EQ(r.U(hero).lift, 0);
  ASSERT_TRUE(r.RunToAction());
  ASSERT_EQ(CellOf(r.U(hero)), to);
  EXPECT_EQ(r.U(hero).lift, 2 * kSlgCellHeightPixels * 65536);
  EXPECT_EQ(r.U(hero).cell_attr, word);
  ASSERT_NE(r.U(hero).anm, nullptr);
  EXPECT_EQ(r.U(hero).anm->shade, 16384);
}

// ---- Kinds 20 and 21 ----

TEST(BossKind20And21, StepTableRoadByRoad) {
  struct Case {
    const char* name;
    uint8_t kind;
    int kiai, life, support;
    Place place;
    std::vector<int> steps;
    int phase;
    int step_after, next_after;
    int type = -1, mode = -1;  // the attack-type byte and SlgAttackMode at the attack
  } cases[] = {
      {"20 below a quarter: support itself", 20, 10, 24, 1, Place::kNormalRange, {0, 1},
       kEnemyPhaseSupport, 4, kThinkStepEnd},
      {"20 at a quarter: no support", 20, 10, 25, 1, Place::kNone, {0, 3, 9}, kEnemyPhaseWalk,
       11, 7},
      {"20 below a quarter without support value", 20, 10, 20, 0, Place::kNone, {0, 3, 9},
       kEnemyPhaseWalk, 11, 7},
      {"21 below half: support itself", 21, 10, 49, 1, Place::kNone, {0, 1}, kEnemyPhaseSupport,
       4, kThinkStepEnd},
      {"21 at half, nobody in reach: best", 21, 10, 50, 1, Place::kNone, {0, 3, 5},
       kEnemyPhaseWalk, 11, 7},
      {"20 in range: flag attack 0, the type byte kept", 20, 10, 100, 1, Place::kNormalRange,
       {0, 2, 6, 8}, kEnemyPhaseAttack, 10, 7, 4, 0},
      {"21 in range, full kiai: attack 1", 21, 50, 100, 1, Place::kNormalRange, {0, 2, 6, 8},
       kEnemyPhaseAttack, 10, 7, 1, 1},
      {"21 in range: attack 0", 21, 10, 100, 1, Place::kNormalRange, {0, 2, 6, 8},
       kEnemyPhaseAttack, 10, 7, 0, 0},
      {"20 in reach only: best", 20, 10, 100, 1, Place::kNormalReachOnly, {0, 2, 9},
       kEnemyPhaseWalk, 6, 7},
      {"21 in reach only: approach", 21, 10, 100, 1, Place::kNormalReachOnly, {0, 2, 9},
       kEnemyPhaseWalk, 6, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(kBossCell, c.kind, c.kiai, 50);
    r.U(self).stats.life = static_cast<int16_t>(c.life);
    r.U(self).stats.counter = static_cast<uint8_t>(c.support);
    r.U(self).stats.attack_type = 4;
    std::optional<Cell> at;
    if (c.place != Place::kNone) {
      at = CellFor(c.place, kBossCell);
      ASSERT_TRUE(at.has_value());
      r.Player(*at, 3);
    }
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, c.steps);
    EXPECT_EQ(r.work.step, c.phase);
    EXPECT_EQ(r.rig.battle().enemy.think_step, c.step_after);
    EXPECT_EQ(r.rig.battle().enemy.next_step, c.next_after);
    if (c.phase == kEnemyPhaseSupport) {
      EXPECT_EQ(r.rig.battle().think_search.support_target, self);
    }
    if (c.type >= 0) {
      EXPECT_EQ(r.U(self).stats.attack_type, c.type);
      EXPECT_EQ(r.rig.battle().cmd.attack_mode, c.mode);
    }
    if (c.phase == kEnemyPhaseWalk && c.place == Place::kNormalReachOnly && c.kind == 21) {
      // The approach: from the destination the target is in range.
      EXPECT_NE(CellOf(r.rig.battle().think_search.destination), kBossCell);
    }
  }
}

TEST(BossKind20And21, AfterItsSupportWithNobodyInRangeTheApproachFindsNoCell) {
  // Step 4 chooses nobody; step 5's approach (kind 20) then has no target and finds no cell, so
  // the action goes on to its end instead of walking toward a stale target.
  BossRig r;
  r.Player(kHeroCell, 0);
  r.Boss(kBossCell, 20);
  BattleContext& b = r.rig.battle();
  b.think_search.target = 0;  // a target left from an earlier action
  Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
  b.enemy.think_step = 4;
  ASSERT_TRUE(r.Run(10));
  EXPECT_EQ(r.steps, (std::vector<int>{4, 5, 7}));
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  EXPECT_EQ(b.control.action_done, 0);
}

// ---- Kind 22 ----

std::vector<uint8_t> ThinkRecord(uint8_t reaction, uint8_t type, uint8_t target) {
  std::vector<uint8_t> r = {reaction, type, target, 0xFF};
  r.resize(kThinkRecordBytes, 0);
  return r;
}
// Think files for the think change of step 0 (one think of reaction 2 for every unit).
void GiveThinkFiles(BattleContext& b) {
  b.enemy_think = std::make_unique<SlgThinkBlock>(ThinkRecord(2, 0, 'i'));
  b.enemy_cond = std::make_unique<SlgThinkBlock>(ThinkRecord(0, 0, 0));
  b.enemy_change = std::make_unique<SlgThinkBlock>(kThinkChangeRowBytes, 0);
}
int Dist(Cell a, Cell b) { return 2 * std::abs(a.first - b.first) + std::abs(a.second - b.second); }

const Cell kSamuraiCell{7, 48};

TEST(BossKind22, WalksTowardItsCellOverTheThinkSteps) {
  BossRig r;
  GiveThinkFiles(r.rig.battle());
  r.Player(kHeroCell, 0);
  const Cell start{7, 36};
  r.Boss(start, 22);
  ASSERT_TRUE(r.RunToAction());
  EXPECT_EQ(r.steps, (std::vector<int>{0, 1, 2, 3, 4, 14}));
  EXPECT_EQ(r.work.step, kEnemyPhaseWalk);
  const Cell to = CellOf(r.rig.battle().think_search.destination);
  EXPECT_LT(Dist(to, kSamuraiCell), Dist(start, kSamuraiCell));
  EXPECT_EQ(r.rig.battle().enemy.think_step, kThinkStepEnd);
  EXPECT_EQ(r.rig.battle().think_search.think.type, 7) << "its own record, made current";
  EXPECT_EQ(CheckEventFlag(198), 0);
}

TEST(BossKind22, FlagOneNinetyEightOnItsCellStandingOrReady) {
  struct Case {
    Cell cell;
    uint8_t state;
    bool flag;
  } cases[] = {{kSamuraiCell, 0, true},   {kSamuraiCell, 8, true}, {kSamuraiCell, 1, false},
               {{7, 46}, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cell.first << "," << c.cell.second << " state "
                                    << int{c.state});
    BossRig r;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(c.cell, 22);
    SetUnitState(r.U(self), c.state);
    r.work.step = kEnemyPhaseWait;  // any phase step: the test comes first
    r.rig.battle().think_search.think = {};
    SamuraiProgram22(&r.work);
    EXPECT_EQ(CheckEventFlag(198) != 0, c.flag);
    EXPECT_EQ(r.rig.battle().think_search.think.type, 7);
  }
}

TEST(BossKind22, Step14FallsBackOnceToKindTwentyOnesRecord) {
  for (const bool player : {true, false}) {
    SCOPED_TRACE(player ? "a player to walk to" : "nobody");
    BossRig r;
    const uint8_t self = r.Boss(kSamuraiCell, 22);  // already on its cell: best gives entry 0
    if (player) r.Player({7, 30}, 1);
    r.rig.battle().state.acting_unit = self;
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = 14;
    r.rig.battle().enemy.next_step = 3;
    SamuraiProgram22(&r.work);
    EXPECT_EQ(r.rig.battle().enemy.think_step, kThinkStepEnd);
    EXPECT_EQ(r.rig.battle().enemy.next_step, kThinkStepEnd);
    EXPECT_EQ(r.rig.battle().think_search.think.target, kThinkTargetNearest)
        << "kind 21's record";
    if (player) {
      EXPECT_EQ(r.work.step, kEnemyPhaseWalk);
      EXPECT_LT(Dist(CellOf(r.rig.battle().think_search.destination), {7, 30}),
                Dist(kSamuraiCell, {7, 30}));
    } else {
      EXPECT_EQ(r.work.step, kEnemyPhaseThink);
      ASSERT_TRUE(r.Run(5));
      EXPECT_EQ(r.work.step, kSlgPhaseStart);
      EXPECT_EQ(r.rig.battle().control.action_done, 0);
    }
  }
}

TEST(BossKind22, ItsOwnAttackAndGuardSteps) {
  struct Case {
    const char* name;
    uint16_t step;
    int kiai;
    int phase;
    int type;
  } cases[] = {{"20 full kiai: attack 1", 20, 50, kEnemyPhaseAttack, 1},
               {"20: attack 0", 20, 10, kEnemyPhaseAttack, 0},
               {"6: guard", 6, 10, kEnemyPhaseGuard, -1},
               {"7: charge", 7, 10, kBossPhaseCharge, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(kBossCell, 22, c.kiai, 50);
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = c.step;
    r.rig.battle().enemy.next_step = 13;
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.work.step, c.phase);
    EXPECT_EQ(r.rig.battle().enemy.think_step, 13) << "s := n";
    EXPECT_EQ(r.rig.battle().enemy.next_step, kThinkStepEnd);
    if (c.type >= 0) {
      EXPECT_EQ(r.U(self).stats.attack_type, c.type);
    }
  }
}

// ---- Kind 35 ----

TEST(BossKind35, AttacksTwiceWhenAPlayerOfAnotherKindStandsInReach) {
  BossRig r;
  r.Player(kHeroCell, 0);
  const uint8_t self = r.Boss(kBossCell, 35);
  EnemyRangeCells(0);
  const std::vector<Cell> range = Listed();
  const std::optional<Cell> first = FreeCellOf(range, {}, kBossCell);
  ASSERT_TRUE(first.has_value());
  const uint8_t a = r.Player(*first, 1);
  const std::optional<Cell> second = FreeCellOf(range, {*first}, kBossCell);
  ASSERT_TRUE(second.has_value());
  const uint8_t b = r.Player(*second, 2);
  ASSERT_TRUE(r.Run(900));
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  ASSERT_EQ(Seen().calls, 2);
  ASSERT_EQ(Seen().targets.size(), 2u);
  EXPECT_NE(Seen().targets[0], Seen().targets[1]);
  EXPECT_TRUE((Seen().targets[0] == a && Seen().targets[1] == b) ||
              (Seen().targets[0] == b && Seen().targets[1] == a));
  const uint8_t last = static_cast<uint8_t>(Seen().targets[1]);
  EXPECT_EQ(r.rig.battle().boss_steps.remembered_kind, r.U(last).kind);
  EXPECT_EQ(r.rig.battle().boss_steps.target_byte, r.U(last).kind);
  EXPECT_EQ(r.steps, (std::vector<int>{0, 1, 2, 3, 6, 1, 2, 5}));
  EXPECT_NE(r.rig.battle().control.action_done & kEnemyDidAttack, 0);
  EXPECT_EQ(r.U(self).state, 0);
}

TEST(BossKind35, StepTableRoadByRoad) {
  struct Case {
    const char* name;
    Place place;
    std::vector<int> steps;  // up to the first action or the end
    int phase;
  } cases[] = {
      {"one player in range: attack", Place::kNormalRange, {0, 1, 2}, kEnemyPhaseAttack},
      {"in reach only: approach", Place::kNormalReachOnly, {0, 3, 6, 7}, kEnemyPhaseWalk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BossRig r;
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, 35);
    r.rig.battle().boss_steps.remembered_kind = 3;
    const std::optional<Cell> at = CellFor(c.place, kBossCell);
    ASSERT_TRUE(at.has_value());
    r.Player(*at, 1);
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.steps, c.steps);
    EXPECT_EQ(r.work.step, c.phase);
    if (c.place == Place::kNormalReachOnly) {
      EXPECT_EQ(r.rig.battle().boss_steps.remembered_kind, kBossNoRememberedKind);
      EXPECT_EQ(r.rig.battle().enemy.think_step, 8) << "s := n, the rotation's next";
    } else {
      EXPECT_EQ(r.rig.battle().boss_steps.remembered_kind, 1);
    }
  }
  // One player of the remembered kind alone: after the attack nobody else, a random walk.
  BossRig r;
  r.Player(kHeroCell, 0);
  r.Boss(kBossCell, 35);
  const std::optional<Cell> at = CellFor(Place::kNormalRange, kBossCell);
  ASSERT_TRUE(at.has_value());
  r.Player(*at, 1);
  ASSERT_TRUE(r.Run(900));
  EXPECT_EQ(Seen().calls, 1);
  ASSERT_GE(r.steps.size(), 5u);
  EXPECT_EQ(std::vector<int>(r.steps.begin(), r.steps.begin() + 5),
            (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(r.steps.back(), 5);
}

// ---- Kind 34 ----

TEST(BossKind34, StepTableRoadByRoad) {
  RunRoads({
      {"full kiai, in range: attack 1", 34, 50, 50, Place::kNormalRange, 100, {0, 1, 3, 4},
       kEnemyPhaseAttack, 7, 1},
      {"in range: attack 0", 34, 10, 50, Place::kNormalRange, 100, {0, 1, 3, 4},
       kEnemyPhaseAttack, 7, 0},
      {"in reach only: approach", 34, 10, 50, Place::kNormalReachOnly, 100, {0, 1, 2},
       kEnemyPhaseWalk, 7},
      {"nobody: guard", 34, 10, 50, Place::kNone, 100, {0, 6, 8}, kEnemyPhaseGuard, 7},
  });
}

// ---- Stale steps and the table rows ----

TEST(BossStepsB, AStepOutsideTheListEndsTheActionWithATrace) {
  struct Case {
    uint8_t kind;
    uint16_t step;
  } cases[] = {{23, 14}, {24, 13}, {20, 14}, {21, 40}, {22, 23}, {35, 9}, {34, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << " step " << c.step);
    BossRig r;
    GetSystemData()->setBattleMap(4);
    r.Player(kHeroCell, 0);
    r.Boss(kBossCell, c.kind);
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = c.step;
    testsupport::TraceCapture trace;
    ASSERT_TRUE(r.Run(3));
    EXPECT_EQ(r.work.step, kSlgPhaseStart);
    EXPECT_EQ(r.rig.battle().control.action_done, 0);
    EXPECT_TRUE(trace.Contains("outside its list"));
  }
}

TEST(BossStepsB, ProgramRowsAndListLengths) {
  EXPECT_EQ(kEnemyProgramTable[21], SamuraiProgram22);
  EXPECT_EQ(kEnemyProgramTable[22], SamuraiProgram22);
  const std::pair<int, size_t> lengths[] = {{20, 14}, {21, 14}, {22, 23}, {23, 14},
                                            {24, 13}, {34, 11}, {35, 9}};
  for (const auto& [kind, n] : lengths)
    EXPECT_EQ(BossMemberOf(static_cast<uint8_t>(kind)).steps.size(), n) << kind;
}

}  // namespace
