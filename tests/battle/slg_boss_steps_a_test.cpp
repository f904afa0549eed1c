// The step lists of boss kinds 30, 31, 32 and of the shared layout of kinds 28, 26/27 and 25 on
// the rig's clock, road by road: the steps run up to the action, the action started and
// EnemyNextStep then, and the action's end in the kind's end step. Unit states the commands set
// are moved on by hand (3 -> 1, 4 -> 8, 9/12/13 -> 0, the charge's 11 -> 8) as the state handlers
// will; the attacker's states 5-7 run the attack frame with a stub routine.

#include "battle/slg_boss_steps_a.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_program.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/input/dinput.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "tests/battle/boss_rig.h"

namespace {

using boss_rig::Cell;
using boss_rig::Seen;

constexpr int kEnded = kSlgPhaseStart;  // the phase step an ended action leaves

// The lists the acting unit's searches give, as cells.
enum ListBits : unsigned { kRange0 = 1, kRange1 = 2, kReach0 = 4, kReach1 = 8 };
std::vector<Cell> ListOf(unsigned list) {
  switch (list) {
    case kRange0: EnemyRangeCells(0); break;
    case kRange1: EnemyRangeCells(1); break;
    case kReach0: EnemyReachCells(0); break;
    default: EnemyReachCells(1); break;
  }
  return boss_rig::Listed();
}
// A player unit's place: on a free cell of list `in` that lies on none of the lists `not_in`.
struct Spot {
  unsigned in = 0;
  unsigned not_in = 0;
  uint8_t character = 3;
};

const Cell kBossCell{10, 60};
constexpr int16_t kPlayerLife = 20000;
const Cell kHeroCell{10, 4};  // unit 0, far from the boss

// The boss rig with a player unit's life enough to live through any attack, the boss on
// kBossCell, and player units placed by the acting boss's lists.
class BossRig : public boss_rig::BossRig {
 public:
  uint8_t Player(Cell c, uint8_t character = 1) {
    const uint8_t slot = boss_rig::BossRig::Player(c, character);
    U(slot).stats.life = U(slot).stats.max_life = kPlayerLife;
    return slot;
  }
  // The acting boss, its gate flag set.
  uint8_t Boss(uint8_t kind, int kiai, int max_kiai, int life, int support) {
    const uint8_t slot = boss_rig::BossRig::Boss(kBossCell, kind, kiai, max_kiai);
    U(slot).stats.life = static_cast<int16_t>(life);
    U(slot).stats.counter = static_cast<uint8_t>(support);
    return slot;
  }
  // A player unit on `spot` of the acting boss; the slot.
  std::optional<uint8_t> Place(const Spot& spot) {
    std::vector<Cell> except;
    for (unsigned bit : {kRange0, kRange1, kReach0, kReach1})
      if (spot.not_in & bit)
        for (const Cell& c : ListOf(bit)) except.push_back(c);
    const std::optional<Cell> at = boss_rig::FreeCellOf(ListOf(spot.in), except, kBossCell);
    if (!at) return std::nullopt;
    return Player(*at, spot.character);
  }
};

// The step that ends the kind's action: 8 in the shared layout of kinds 25-28, else 7.
int BossEndStep(uint8_t kind) { return kind >= 25 && kind <= 28 ? 8 : 7; }

// One road of a step list: the inputs, the steps run up to the action, the action started and
// EnemyNextStep then. From `start` (>= 0) the list is entered at that step with `start_next` and
// EnemyTarget none instead of from phase step 0.
struct Road {
  const char* name = "";
  uint8_t kind = 0;
  int kiai = 10, max_kiai = 50, life = 100, support = 0;
  bool hero = true;        // unit 0 is the hero (character 0), else a player of character 5
  std::vector<Spot> spots = {};
  int far_units = 0;       // player units at distance 3 or more from unit 0, out of reach
  int start = -1, start_next = 0;
  int saved_life = 0;      // EnemySavedLife
  std::vector<int> steps = {};  // the think steps run, in order, up to the action
  int phase = kEnded;      // the action phase started
  int then = -1;  // the step after the action (EnemyThinkStep then; -1 not looked at)
  int next = -1;  // EnemyNextStep then (-1: the kind's end step after an s := n)
  int mode = -1;           // SlgAttackMode of an attack
  bool finish = true;      // run the action out and check it ends in the end step
  bool routine = true;     // the attack reaches the kind's attack routine on this board
};

void RunRoads(const std::vector<Road>& roads) {
  for (const Road& road : roads) {
    SCOPED_TRACE(testing::Message() << "kind " << int{road.kind} << ": " << road.name);
    BossRig r;
    r.Player(kHeroCell, road.hero ? 0 : 5);
    for (int i = 0; i < road.far_units; ++i) r.Player({3 + 4 * i, 12}, 2);
    r.Boss(road.kind, road.kiai, road.max_kiai, road.life, road.support);
    for (const Spot& spot : road.spots) ASSERT_TRUE(r.Place(spot).has_value());
    BattleContext& b = r.rig.battle();
    b.enemy_saved_life = static_cast<int16_t>(road.saved_life);
    if (road.start >= 0) {
      Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
      b.enemy.think_step = static_cast<uint16_t>(road.start);
      b.enemy.next_step = static_cast<uint16_t>(road.start_next);
      b.think_search.target = kSlgNoUnit;
    }
    ASSERT_TRUE(r.RunToAction());
    ASSERT_FALSE(r.steps.empty());
    EXPECT_EQ(r.steps, road.steps);
    EXPECT_EQ(r.work.step, road.phase);
    if (road.then >= 0) {
      EXPECT_EQ(b.enemy.think_step, road.then);
    }
    if (road.next >= 0) {
      EXPECT_EQ(b.enemy.next_step, road.next);
    } else if (road.phase != kEnded && road.phase != kEnemyPhaseSupport) {
      EXPECT_EQ(b.enemy.next_step, BossEndStep(road.kind)) << "s := n";
    }
    if (road.mode >= 0) {
      EXPECT_EQ(b.cmd.attack_mode, road.mode);
    }
    if (road.phase == kEnemyPhaseSupport) {
      EXPECT_EQ(b.think_search.support_target, b.state.acting_unit) << "supports itself";
    }
    if (road.phase == kEnded) {
      EXPECT_EQ(r.steps.back(), BossEndStep(road.kind));
      continue;
    }
    if (!road.finish) continue;
    ASSERT_TRUE(r.Run(900)) << "the action ends";
    EXPECT_EQ(r.steps.back(), BossEndStep(road.kind)) << "ended by the end step";
    if (road.phase == kEnemyPhaseAttack && road.routine) {
      EXPECT_EQ(Seen().calls, 1);
      EXPECT_EQ(Seen().mode, road.mode);
    }
  }
}

// Player units by where they stand from the boss.
const Spot kInSpecialRange{kRange1};
const Spot kInSpecialReachNotRange{kReach1, kRange1};
const Spot kInNormalRange{kRange0};
const Spot kInNormalRangeOnly{kRange0, kReach1};
const Spot kInNormalReachOnly{kReach0, kRange0};

// ---- Kind 30 ----

TEST(BossSteps30, StepTableRoadByRoad) {
  RunRoads({
      {.name = "H: support, then the normal choice", .kind = 30, .life = 20, .support = 1,
       .steps = {0, 1}, .phase = kEnemyPhaseSupport},
      {.name = "H needs a support value", .kind = 30, .life = 20, .support = 0,
       .steps = {0, 3, 5, 11, 13}, .phase = kBossPhaseCharge, .then = 7},
      {.name = "full kiai, special range", .kind = 30, .kiai = 50, .spots = {kInSpecialRange},
       .steps = {0, 14, 15, 17}, .phase = kEnemyPhaseAttack, .then = 5, .mode = 1},
      {.name = "full kiai, special reach only: approach 1", .kind = 30, .kiai = 50,
       .spots = {kInSpecialReachNotRange}, .steps = {0, 14, 16}, .phase = kEnemyPhaseWalk,
       .then = 15},
      {.name = "normal range", .kind = 30, .spots = {kInNormalRange}, .steps = {0, 2, 6, 8},
       .phase = kEnemyPhaseAttack, .then = 5, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 30, .spots = {kInNormalReachOnly},
       .steps = {0, 2, 9}, .phase = kEnemyPhaseWalk, .then = 6},
      {.name = "nobody in reach, N below 3: charge", .kind = 30, .steps = {0, 3, 5, 11, 13},
       .phase = kBossPhaseCharge, .then = 7},
      {.name = "nobody in reach, full kiai: guard", .kind = 30, .kiai = 50,
       .steps = {0, 3, 5, 11, 12}, .phase = kEnemyPhaseGuard, .then = 7},
      {.name = "approach 0 without a cell", .kind = 30, .start = 9, .start_next = 6,
       .steps = {9, 7}},
      {.name = "approach 1 without a cell", .kind = 30, .start = 16, .start_next = 15,
       .steps = {16, 7}},
      {.name = "after support, full kiai, special range", .kind = 30, .kiai = 50,
       .spots = {kInSpecialRange}, .start = 4, .steps = {4, 15, 17},
       .phase = kEnemyPhaseAttack, .then = 7, .mode = 1},
      {.name = "after support, normal choice untested", .kind = 30, .start = 4,
       .saved_life = 100, .steps = {4, 5, 7}},
      {.name = "saved life above life: retreat", .kind = 30, .life = 60, .start = 5,
       .start_next = 7, .saved_life = 61, .steps = {5}, .phase = kEnemyPhaseWalk, .then = 7},
      {.name = "saved life equal to life: stays", .kind = 30, .life = 60, .start = 5,
       .start_next = 7, .saved_life = 60, .steps = {5, 7}},
  });
}

// The retreat follows an attack only when the unit's life fell below the value its camera step
// saved; EnemySavedLife holds the life at that step.
TEST(BossSteps30, RetreatsAfterAnAttackOnlyWhenItLostLife) {
  for (const int damage : {0, 30}) {
    SCOPED_TRACE(testing::Message() << "damage " << damage);
    BossRig r;
    r.Player(kHeroCell, 0);
    const uint8_t self = r.Boss(30, 10, 50, 90, 0);
    ASSERT_TRUE(r.Place(kInNormalRange).has_value());
    Seen().damage = damage;
    ASSERT_TRUE(r.Run(900));
    EXPECT_EQ(Seen().calls, 1);
    EXPECT_EQ(r.rig.battle().enemy_saved_life, 90);
    EXPECT_EQ(r.U(self).stats.life, 90 - damage);
    ASSERT_GE(r.steps.size(), 5u);
    EXPECT_EQ(std::vector<int>(r.steps.begin(), r.steps.begin() + 5),
              (std::vector<int>{0, 2, 6, 8, 5}));
    EXPECT_EQ(r.steps.back(), 7);
    const bool walked = (r.rig.battle().control.action_done & kEnemyDidWalk) != 0;
    EXPECT_EQ(walked, damage > 0);
  }
}

// ---- Kinds 31 and 32 ----

TEST(BossSteps31, StepTableRoadByRoad) {
  RunRoads({
      {.name = "normal range: flag attack 0, then best", .kind = 31,
       .spots = {kInNormalRange}, .steps = {0, 2, 6, 8}, .phase = kEnemyPhaseAttack,
       .then = 10, .mode = 0},
      {.name = "full kiai, low life, a support value: still flag attack 0", .kind = 31,
       .kiai = 50, .life = 10, .support = 1, .spots = {kInNormalRange},
       .steps = {0, 2, 6, 8}, .phase = kEnemyPhaseAttack, .then = 10, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 31, .spots = {kInNormalReachOnly},
       .steps = {0, 2, 9}, .phase = kEnemyPhaseWalk, .then = 6},
      {.name = "nobody in reach: the approach toward no target finds no cell, guard",
       .kind = 31, .kiai = 50, .life = 10, .support = 1, .steps = {0, 3, 9, 12},
       .phase = kEnemyPhaseGuard, .then = 7},
      {.name = "no hero: best at entry 0, guard", .kind = 31, .hero = false, .start = 10,
       .start_next = 7,
       .steps = {10, 11, 12}, .phase = kEnemyPhaseGuard, .then = 7},
  });
}

// Kind 31 follows the hero: of two player units in its normal range it takes the hero, though
// the other has so little life that the common choice would take it.
TEST(BossSteps31, TargetsTheHero) {
  BossRig r;
  r.Player({1, 20}, 5);  // unit 0: not the hero
  r.Boss(31, 10, 50, 100, 0);
  const std::optional<uint8_t> other = r.Place({kRange0, 0, 4});
  const std::optional<uint8_t> hero = r.Place({kRange0, 0, 0});
  ASSERT_TRUE(other.has_value() && hero.has_value());
  r.U(*other).stats.life = 20;
  ASSERT_TRUE(r.RunToAction());
  EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
  EXPECT_EQ(r.rig.battle().think_search.target, *hero);
}

// Steps 1, 4, 5, 13 and 14 are never set by kind 31's own steps: a stale one ends the action
// with the frame's trace and runs nothing of kind 32.
TEST(BossSteps31, StepsNeverSetEndTheActionWithATrace) {
  for (const uint16_t step : {1, 4, 5, 13, 14}) {
    SCOPED_TRACE(step);
    BossRig r;
    r.Player(kHeroCell, 0);
    r.Boss(31, 50, 50, 10, 1);  // what kind 32's steps 0, 1 and 4 would act on
    ASSERT_TRUE(r.Place(kInNormalRange).has_value());
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    r.rig.battle().enemy.think_step = step;
    testsupport::TraceCapture trace;
    r.Frame();
    EXPECT_EQ(r.work.step, kEnded);
    EXPECT_TRUE(trace.Contains("outside its list"));
    EXPECT_EQ(r.rig.battle().think_search.support_target, kSlgNoUnit);
  }
}

TEST(BossSteps32, StepTableRoadByRoad) {
  RunRoads({
      {.name = "H: support", .kind = 32, .life = 20, .support = 1, .steps = {0, 1},
       .phase = kEnemyPhaseSupport},
      {.name = "full kiai, special range: flag attack 1, then best", .kind = 32, .kiai = 50,
       .spots = {kInSpecialRange}, .steps = {0, 14, 15, 17}, .phase = kEnemyPhaseAttack,
       .then = 10, .mode = 1},
      {.name = "full kiai, special reach only: approach 1", .kind = 32, .kiai = 50,
       .spots = {kInSpecialReachNotRange}, .steps = {0, 14, 16}, .phase = kEnemyPhaseWalk,
       .then = 15},
      {.name = "normal range: flag attack 0", .kind = 32, .spots = {kInNormalRange},
       .steps = {0, 2, 6, 8}, .phase = kEnemyPhaseAttack, .then = 10, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 32, .spots = {kInNormalReachOnly},
       .steps = {0, 2, 9}, .phase = kEnemyPhaseWalk, .then = 6},
      {.name = "nobody in reach: no target to approach, guard", .kind = 32,
       .steps = {0, 3, 9, 12}, .phase = kEnemyPhaseGuard, .then = 7},
      {.name = "after support, full kiai, special range", .kind = 32, .kiai = 50,
       .spots = {kInSpecialRange}, .start = 4, .steps = {4, 15, 17},
       .phase = kEnemyPhaseAttack, .then = 7, .mode = 1},
      {.name = "after support, normal range", .kind = 32, .spots = {kInNormalRange},
       .start = 4, .steps = {4, 6, 8}, .phase = kEnemyPhaseAttack, .then = 7, .mode = 0},
      {.name = "after support, nobody in range: best", .kind = 32, .start = 4,
       .steps = {4, 5}, .phase = kEnemyPhaseWalk, .then = 7},
      {.name = "kiai 0 of 0 counts as full at its attack", .kind = 32, .kiai = 0, .max_kiai = 0,
       .spots = {kInNormalRange}, .steps = {0, 2, 6, 8}, .phase = kEnemyPhaseAttack,
       .then = 10, .mode = 1},
      {.name = "approach 1 without a cell: guard-or-charge", .kind = 32, .start = 16,
       .start_next = 15, .steps = {16, 11, 13}, .phase = kBossPhaseCharge, .then = 7},
  });
}

// Steps 2, 3, 6, 7, 9 and 10 are one routine for both kinds; kind 32's list is the shared
// array from entry 13 on.
TEST(BossSteps3132, SharedStepsAreOneRoutine) {
  ASSERT_EQ(kBossSteps31.size(), 13u);
  ASSERT_EQ(kBossSteps32.size(), 18u);
  EXPECT_EQ(kBossSteps31.data() + 13, kBossSteps32.data());
  for (const size_t step : {2u, 3u, 6u, 7u, 9u, 10u})
    EXPECT_EQ(kBossSteps31[step], kBossSteps32[step]) << step;
  for (const size_t step : {1u, 4u, 5u}) EXPECT_EQ(kBossSteps31[step], nullptr) << step;
}

// ---- The shared layout of kinds 28, 26/27 and 25 ----

TEST(BossStepsLayout, Kind28RoadByRoad) {
  RunRoads({
      {.name = "H: support, nobody to attack after it", .kind = 28, .life = 20, .support = 1,
       .steps = {0, 1, 5}, .phase = kEnemyPhaseSupport},
      // The attack command ends this special before the unit's attack routine (its aim lists
      // whole lines of the board); the list's part is the same.
      {.name = "full kiai, special range: flag attack 1", .kind = 28, .kiai = 50,
       .spots = {kInSpecialRange}, .steps = {0, 2, 6}, .phase = kEnemyPhaseAttack, .then = 8,
       .mode = 1, .routine = false},
      {.name = "normal range: flag attack 0", .kind = 28, .spots = {kInNormalRange},
       .steps = {0, 3, 7}, .phase = kEnemyPhaseAttack, .then = 8, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 28, .spots = {kInNormalReachOnly},
       .steps = {0, 3, 9}, .phase = kEnemyPhaseWalk, .then = 7},
      {.name = "nobody, N below 3: charge", .kind = 28, .steps = {0, 4, 11},
       .phase = kBossPhaseCharge, .then = 8},
      {.name = "approach without a cell: s := n, the range test fails, guard", .kind = 28,
       .start = 9, .start_next = 7, .steps = {9, 7, 10}, .phase = kEnemyPhaseGuard, .then = 8},
      {.name = "special attack, target out of special range: guard", .kind = 28, .start = 6,
       .start_next = 8, .steps = {6, 10}, .phase = kEnemyPhaseGuard, .then = 8},
  });
}

// Kind 27 runs kind 26's list: the roads where 26 differs from 28 and 25 are run for both.
TEST(BossStepsLayout, Kinds26And27RoadByRoad) {
  RunRoads({
      {.name = "H: support", .kind = 26, .life = 20, .support = 1, .steps = {0, 1, 5},
       .phase = kEnemyPhaseSupport},
      {.name = "full kiai, special range: flag attack 1", .kind = 26, .kiai = 50,
       .spots = {kInSpecialRange}, .steps = {0, 2, 6}, .phase = kEnemyPhaseAttack, .then = 8,
       .mode = 1},
      {.name = "full kiai, special reach only: approach 1", .kind = 26, .kiai = 50,
       .spots = {kInSpecialReachNotRange}, .steps = {0, 2, 12}, .phase = kEnemyPhaseWalk,
       .then = 6},
      {.name = "normal range: flag attack 0", .kind = 26, .spots = {kInNormalRange},
       .steps = {0, 3, 7}, .phase = kEnemyPhaseAttack, .then = 8, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 26, .spots = {kInNormalReachOnly},
       .steps = {0, 3, 9}, .phase = kEnemyPhaseWalk, .then = 7},
      {.name = "nobody, full kiai: guard", .kind = 26, .kiai = 50, .steps = {0, 4, 10},
       .phase = kEnemyPhaseGuard, .then = 8},
  });
  for (const uint8_t kind : {26, 27}) {
    RunRoads({
        {.name = "approach 0 without a cell: end", .kind = kind, .start = 9, .start_next = 7,
         .steps = {9, 8}},
        {.name = "approach 1 without a cell: end", .kind = kind, .start = 12, .start_next = 6,
         .steps = {12, 8}},
        {.name = "special check without full kiai: approach 1 without a cell: end",
         .kind = kind, .start = 2, .start_next = 8, .steps = {2, 12, 8}},
        {.name = "flag attack 0, target out of normal range: guard", .kind = kind, .start = 7,
         .start_next = 8, .steps = {7, 10}, .phase = kEnemyPhaseGuard, .then = 8},
    });
  }
  EXPECT_EQ(BossMemberOf(27).steps.data(), kBossSteps26.data());
}

TEST(BossStepsLayout, Kind25RoadByRoad) {
  RunRoads({
      {.name = "H: support", .kind = 25, .life = 20, .support = 1, .steps = {0, 1, 5},
       .phase = kEnemyPhaseSupport},
      {.name = "full kiai, special reach: attack 1", .kind = 25, .kiai = 50,
       .spots = {kInSpecialRange}, .steps = {0, 2, 6}, .phase = kEnemyPhaseAttack, .then = 8,
       .mode = 1},
      {.name = "normal range: attack 0", .kind = 25, .spots = {kInNormalRangeOnly},
       .steps = {0, 3, 7}, .phase = kEnemyPhaseAttack, .then = 8, .mode = 0},
      {.name = "normal reach only: approach 0", .kind = 25, .spots = {kInNormalReachOnly},
       .steps = {0, 3, 9}, .phase = kEnemyPhaseWalk, .then = 7},
      {.name = "nobody, N below 3: charge", .kind = 25, .steps = {0, 4, 11},
       .phase = kBossPhaseCharge, .then = 8},
      {.name = "approach 0 without a cell: s := n, the plain attack 0", .kind = 25, .start = 9,
       .start_next = 7, .steps = {9, 7}, .phase = kEnemyPhaseAttack, .then = 8, .mode = 0,
       .finish = false},
      {.name = "approach 1 without a cell: guard", .kind = 25, .start = 12, .start_next = 6,
       .steps = {12, 10}, .phase = kEnemyPhaseGuard, .then = 8},
  });
}

// Kind 25 turns the camera to itself before anything else in step 0, so even its self-support
// waits for the camera; kind 26 leaves the camera where it rests and supports at once.
TEST(BossStepsLayout, Kind25TurnsTheCameraFirst) {
  for (const uint8_t kind : {25, 26}) {
    SCOPED_TRACE(int{kind});
    BossRig r;
    const uint8_t hero = r.Player(kHeroCell, 0);
    r.Boss(kind, 10, 50, 20, 1);  // H
    Slg::ScrollJumpTo({r.U(hero).x, r.U(hero).y});
    Slg::InitCamera();  // at rest, far from the boss
    Slg::SetPhaseState(&r.work, kEnemyPhaseThink);
    int frames_in_5 = 0;
    ASSERT_TRUE(r.Run(60, [&] {
      if (r.work.step == kEnemyPhaseThink && r.rig.battle().enemy.think_step == 5) ++frames_in_5;
      return r.work.step == kEnemyPhaseSupport;
    }));
    EXPECT_EQ(r.steps, (std::vector<int>{0, 1, 5}));
    if (kind == 25) {
      EXPECT_GT(frames_in_5, 1) << "step 5 waited for the camera";
    } else {
      EXPECT_LE(frames_in_5, 1);
    }
  }
}

// Kind 28 follows the hero while event flag 902 is set (its second record), else the nearest.
TEST(BossStepsLayout, Kind28TargetsTheHeroWhileFlag902IsSet) {
  for (const bool flag : {false, true}) {
    SCOPED_TRACE(flag ? "flag 902 set" : "flag 902 clear");
    BossRig r;
    r.Player({1, 20}, 5);  // unit 0: not the hero
    r.Boss(28, 10, 50, 100, 0);
    const std::vector<Cell> range = ListOf(kRange0);
    // The nearest range cell for the other unit, the farthest for the hero.
    auto d = [](Cell x) {
      return 2 * std::abs(x.first - kBossCell.first) + std::abs(x.second - kBossCell.second);
    };
    Cell near = range.front(), far = range.front();
    for (const Cell& x : range) {
      if (x == kBossCell) continue;
      if (d(x) < d(near) || near == kBossCell) near = x;
      if (d(x) > d(far)) far = x;
    }
    ASSERT_LT(d(near), d(far));
    const uint8_t other = r.Player(near, 4);
    const uint8_t hero = r.Player(far, 0);
    if (flag) SetEventFlag(902);
    ASSERT_TRUE(r.RunToAction());
    EXPECT_EQ(r.work.step, kEnemyPhaseAttack);
    EXPECT_EQ(r.rig.battle().think_search.target, flag ? hero : other);
  }
}

// ---- Guard or charge ----

// With kiai below its maximum and N of 3 or more these kinds guard when life is below half and
// charge otherwise; N below 3 charges; full kiai guards.
TEST(BossStepsGuardOrCharge, ByKindKiaiNAndLife) {
  struct Member {
    uint8_t kind;
    uint16_t step;
  } members[] = {{25, 4}, {26, 4}, {28, 4}, {30, 11}, {32, 11}};
  struct Case {
    const char* name;
    int kiai, far_units, life;
    int phase;
  } cases[] = {{"full kiai", 50, 3, 100, kEnemyPhaseGuard},
               {"N 2", 10, 2, 10, kBossPhaseCharge},
               {"N 3, life below half", 10, 3, 49, kEnemyPhaseGuard},
               {"N 3, life half", 10, 3, 50, kBossPhaseCharge}};
  for (const Member& m : members) {
    std::vector<Road> roads;
    for (const Case& c : cases) {
      const uint16_t to = c.phase == kEnemyPhaseGuard ? (m.step == 4 ? 10 : 12)
                                                      : (m.step == 4 ? 11 : 13);
      roads.push_back({.name = c.name, .kind = m.kind, .kiai = c.kiai, .life = c.life,
                       .far_units = c.far_units, .start = m.step, .start_next = 5,
                       .steps = {m.step, to}, .phase = c.phase,
                       .then = m.step == 4 ? 8 : 5, .finish = false});
    }
    RunRoads(roads);
  }
}

}  // namespace
