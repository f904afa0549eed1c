// The enemy phase on the rig's clock: the program table, EnemyPhaseStep's flag bits, and the
// generic program's frames from the entry through the walk, the attack (with key 1 pressed), the
// wait for a death action, the guard and the support action to the end of the action. Unit
// states the commands set are moved on by hand (3 -> 1, 4 -> 8, 9/12/13 -> 0) as the state
// handlers will; the attacker's states 5-7 run the attack frame's entries with a stub routine.

#include "battle/slg_enemy.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/core/debug_trace.h"
#include "engine/input/dinput.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "testsupport/think_record.h"
#include "tests/battle/board_rig.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using testsupport::ThinkRecordBytes;

using testsupport::BattleRig;
using testsupport::BoardUnit;

using board_rig::Cell;

int g_stub_calls = 0;
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_stub_calls;
  EndAttack(unit);
}

// A board on the rig with the system sprites, one think (EnThk record 0) for every unit, and the
// enemy program driven one rig frame at a time.
class EnemyRig : public board_rig::BoardRig {
 public:
  explicit EnemyRig(std::vector<uint8_t> think) {
    BattleContext& b = rig.battle();
    b.enemy_think = std::make_unique<SlgThinkBlock>(think);
    const std::vector<uint8_t> never = ThinkRecordBytes(0, 0, 0);
    b.enemy_cond = std::make_unique<SlgThinkBlock>(never);
    b.enemy_change = std::make_unique<SlgThinkBlock>(kThinkChangeRowBytes, 0);
    g_stub_calls = 0;
  }
  uint8_t Actor(Cell c, int counter = 0) {
    const uint8_t slot = Add(c, {.side = 1, .character = 20, .kind = 14, .category = 1});
    U(slot).stats.counter = static_cast<int8_t>(counter);
    rig.battle().state.acting_unit = slot;
    rig.battle().action_table[14] = &StubRoutine;
    return slot;
  }

  // One frame: key 1 down in it when asked, the phase step, the unit states moved on.
  void Frame(bool key1 = false) {
    if (key1) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey1)});
    rig.Step();
    EnemyPhaseStep(&work);
    if (key1) rig.Schedule({testsupport::GameKeyUp(rig.frame(), kGameKey1)});
    unit_state_moves::MoveStatesOn(true, [](SlgUnit& u) {
      if (u.state == 12 || u.state == 13) SetUnitState(u, 0);
    });
  }
  // Frames until the action ends (the phase leaves the program's steps for turn control's 15),
  // noting each new phase step; false after `limit` frames.
  bool RunAction(int limit, const std::function<void()>& each = [] {}) {
    for (int f = 0; f < limit; ++f) {
      each();
      Frame(key1_in_attack && work.step == kEnemyPhaseAttack && f % 2 == 0);
      if (phases.empty() || phases.back() != work.step) phases.push_back(work.step);
      if (work.step == kSlgPhaseStart) return true;
    }
    return false;
  }

  SlgMainWork work{};
  std::vector<int> phases;
  bool key1_in_attack = false;
};

TEST(EnemyProgramTable, CommonKindsRunTheGenericProgramOthersEndAtOnce) {
  for (int kind = 0; kind < kSlgUnitKinds; ++kind) {
    const bool generic = (kind >= 14 && kind <= 19) || (kind >= 48 && kind <= 50);
    EXPECT_EQ(kEnemyProgramTable[static_cast<size_t>(kind)] == &EnemyGenericProgram, generic)
        << kind;
  }
  // An empty row ends the action in the first frame.
  EnemyRig r(ThinkRecordBytes(2, 0, 'i'));
  r.Add({4, 40}, {.side = 0, .character = 0, .kind = 0, .category = 0});
  const uint8_t self = r.Add({10, 40}, {.side = 1, .character = 20, .kind = 20, .category = 2});
  r.rig.battle().state.acting_unit = self;
  r.rig.battle().flags = 0x8;
  r.Frame();
  EXPECT_EQ(r.work.step, kSlgPhaseStart);
  EXPECT_EQ(r.rig.battle().control.action_done, 0);
  EXPECT_EQ(r.rig.battle().flags & 0x8, 0) << "mouse cursor bit cleared";
  EXPECT_NE(r.rig.battle().flags & 0x2, 0) << "the unit's end reported";
}

TEST(EnemyGenericProgram, WalkThenAttackThenWaitForTheDeathsThenEnd) {
  // Reaction 2, type 0 toward the nearest: the player is in reach but not in range.
  EnemyRig r(ThinkRecordBytes(2, 0, 'i'));
  const uint8_t player = r.Add({11, 43}, {.side = 0, .character = 1, .kind = 1, .category = 0});
  const uint8_t self = r.Actor({10, 40});
  r.key1_in_attack = true;
  bool held = false;
  int frames_held = 0;
  // While the program waits in 81 a unit dies (state 15) for a few frames.
  const bool ended = r.RunAction(900, [&] {
    if (r.work.step == kEnemyPhaseWait && !held) {
      SetUnitState(EnemyRig::U(player), 15);
      held = true;
    }
    if (held && EnemyRig::U(player).state == 15 && ++frames_held > 5)
      SetUnitState(EnemyRig::U(player), 0);
  });
  ASSERT_TRUE(ended);
  const std::vector<int> expected = {kEnemyPhaseThink, kEnemyPhaseWalk,  kEnemyPhaseThink,
                                     kEnemyPhaseAttack, kEnemyPhaseWait, kEnemyPhaseThink,
                                     kSlgPhaseStart};
  EXPECT_EQ(r.phases, expected);
  EXPECT_GT(frames_held, 5) << "81 waited for the death action";
  EXPECT_EQ(g_stub_calls, 1) << "the attack was carried out despite key 1";
  const BattleContext& b = r.rig.battle();
  EXPECT_EQ(b.control.action_done, kEnemyDidWalk | kEnemyDidAttack);
  EXPECT_EQ(b.enemy.next_step, kThinkStepEnd);
  EXPECT_EQ(b.control.actions_left, 0);
  EXPECT_NE(b.flags & 0x2, 0);
  EXPECT_EQ(EnemyRig::U(self).state, 0);
  // It stands beside the player now.
  const SlgCell own = PosToCell(EnemyRig::U(self).x >> 16, EnemyRig::U(self).y >> 16);
  EXPECT_GT(own.row, 40);
}

TEST(EnemyGenericProgram, HoldAttacksThenGuardsAndEndsIn80) {
  // Reaction 1, type 5: hold; the player beside it is attacked, then the unit guards.
  EnemyRig r(ThinkRecordBytes(1, 5, 'i'));
  r.Add({10, 41}, {.side = 0, .character = 1, .kind = 1, .category = 0});
  const uint8_t self = r.Actor({10, 40});
  std::vector<int> think_after_guard;
  ASSERT_TRUE(r.RunAction(900, [&] {
    if (r.phases.size() > 1 && r.phases.back() == kEnemyPhaseThink &&
        r.phases[r.phases.size() - 2] == kEnemyPhaseGuard)
      think_after_guard.push_back(r.rig.battle().enemy.think_step);
  }));
  const std::vector<int> expected = {kEnemyPhaseThink, kEnemyPhaseAttack, kEnemyPhaseWait,
                                     kEnemyPhaseThink, kEnemyPhaseGuard,  kEnemyPhaseThink,
                                     kSlgPhaseStart};
  EXPECT_EQ(r.phases, expected);
  ASSERT_FALSE(think_after_guard.empty());
  EXPECT_EQ(think_after_guard.front(), kThinkStepEnd) << "the guard's end goes on in 80 with 18";
  EXPECT_EQ(r.rig.battle().control.action_done, kEnemyDidAttack | kEnemyDidSupport);
  EXPECT_NE(EnemyRig::U(self).flags & kUnitGuarding, 0u);
}

TEST(EnemyGenericProgram, SupportsAWoundedAllyInSlotZero) {
  // The wounded ally in slot 0 beside the unit: support, then no target, so the unit ends.
  EnemyRig r(ThinkRecordBytes(0, 3, 'i'));
  const uint8_t ally = r.Add({10, 39}, {.side = 1, .character = 21, .kind = 16, .category = 1}, 10);
  r.Add({2, 84}, {.side = 0, .character = 1, .kind = 1, .category = 0});
  r.Actor({10, 40}, 1);
  ASSERT_EQ(ally, 0);
  ASSERT_TRUE(r.RunAction(900));
  const std::vector<int> expected = {kEnemyPhaseThink, kEnemyPhaseSupport, kEnemyPhaseThink,
                                     kSlgPhaseStart};
  EXPECT_EQ(r.phases, expected);
  EXPECT_EQ(r.rig.battle().think_search.support_target, ally);
  EXPECT_EQ(r.rig.battle().control.action_done, kEnemyDidSupport);
}

TEST(EnemyGenericProgram, BadThinkDataAndUnknownStepsEndTheActionWithATrace) {
  struct Case {
    const char* name;
    std::function<void(EnemyRig&)> spoil;
    const char* trace;
  } cases[] = {
      {"no think data", [](EnemyRig& r) { r.rig.battle().enemy_think.reset(); },
       "has no think data"},
      {"an EnThk of 30 bytes, the row naming think 1",
       [](EnemyRig& r) {
         r.rig.battle().enemy_think->resize(30);
         (*r.rig.battle().enemy_change)[1] = 1;
       },
       "past the end of EnThk"},
      {"a phase step of no table", [](EnemyRig& r) { r.work.step = 200; }, "unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnemyRig r(ThinkRecordBytes(2, 0, 'i'));
    r.Add({11, 43}, {.side = 0, .character = 1, .kind = 1, .category = 0});
    r.Actor({10, 40});
    c.spoil(r);
    testsupport::TraceCapture trace;
    EXPECT_TRUE(r.RunAction(10));
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_EQ(r.rig.battle().control.action_done, 0);
  }
}

// ---- A headless round on the minimal stage ----

// The minimal stage (the hero and one ashigaru four steps apart) started and built on the rig,
// then run by turn control: what each unit did in its turn, by round.
class RoundRig {
 public:
  explicit RoundRig(testsupport::StageWriter stage = testsupport::MinimalStage()) {
    stage.Lay(rig.driver().tree);
    testsupport::SlgTableWriter tables;
    tables.Lay(rig.driver().tree);
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(static_cast<uint32_t>(stage.map));
    Game().sequences.set_mode = [](int) { return 1; };
    // The hero's turns end at once (the player phase's stub); the enemies think for real.
    rig.battle().phases.player = &SlgDefaultPlayerPhase;
  }
  // The attack routines by kind come with the attack effects; the ashigaru's is the stub.
  bool Build() {
    Battle().action_table[14] = &StubRoutine;
    Slg::StartStage();
    return rig.RunUntil("built", [] { return Battle().control.main_work != nullptr; }, 60);
  }
  // Runs until round `round` starts; the acting units seen and the enemy's action bits per turn.
  bool RunUntilRound(int round, int limit) {
    return rig.RunUntil(
        "round", [&] {
          const BattleContext& b = Battle();
          const uint16_t acting = b.state.acting_unit;
          if (acting != kSlgNoUnit && (turns.empty() || turns.back().slot != acting ||
                                       turns.back().round != b.state.round)) {
            turns.push_back({acting, b.state.round, 0});
          }
          if (!turns.empty()) turns.back().done |= b.control.action_done;
          return b.state.round >= round;
        },
        limit);
  }

  struct Turn {
    uint16_t slot;
    int round;
    uint8_t done;
  };
  BattleRig rig;
  std::vector<Turn> turns;
};

TEST(EnemyRound, TheAshigaruWalksAndAttacksByItsThinkAndTheNextRoundStarts) {
  RoundRig r;
  ASSERT_TRUE(r.Build());
  const BattleContext& b = r.rig.battle();
  ASSERT_EQ(b.state.unit_count, 2);
  const SlgUnit& ashigaru = b.state.units[1];
  const int start_column = PosToCell(ashigaru.x >> 16, ashigaru.y >> 16).column;
  ASSERT_TRUE(r.RunUntilRound(2, 900));
  ASSERT_GE(r.turns.size(), 2u);
  EXPECT_EQ(r.turns[0].slot, 0) << "the hero first";
  EXPECT_EQ(r.turns[1].slot, 1);
  EXPECT_EQ(r.turns[1].round, 1);
  // Reaction 2, the hero in reach: the ashigaru walks up to him and attacks.
  EXPECT_EQ(r.turns[1].done, kEnemyDidWalk | kEnemyDidAttack);
  EXPECT_LT(PosToCell(ashigaru.x >> 16, ashigaru.y >> 16).column, start_column);
  EXPECT_LT(b.state.units[0].stats.life, b.state.units[0].stats.max_life);
}

TEST(EnemyRound, WithoutThinkDataTheEnemiesEndTheirActionsAndTheBattleGoesOn) {
  struct Case {
    const char* name;
    std::function<void(testsupport::StageWriter&)> spoil;
  } cases[] = {
      {"a map without common enemies: no think data", [](testsupport::StageWriter& s) {
         const std::string tab = testsupport::MapTabWriter().NoZako().Text();
         s.SetRaw(testsupport::StageWriter::kMapTable, std::vector<uint8_t>(tab.begin(), tab.end()));
       }},
      {"an EnThk of 30 bytes, the row naming think 1", [](testsupport::StageWriter& s) {
         s.think.push_back(s.think.front());
         s.change.front().pairs[0].think = 1;
         s.Resize(testsupport::StageWriter::kThink, 30);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::StageWriter stage = testsupport::MinimalStage();
    c.spoil(stage);
    RoundRig r(stage);
    ASSERT_TRUE(r.Build());
    ASSERT_TRUE(r.RunUntilRound(3, 600));
    int enemy_turns = 0;
    for (const RoundRig::Turn& t : r.turns) {
      if (t.slot != 1) continue;
      ++enemy_turns;
      EXPECT_EQ(t.done, 0);
    }
    EXPECT_EQ(enemy_turns, 2);
    EXPECT_TRUE(r.rig.driver().trace().Contains("EnemyThinkChange"));
  }
}

}  // namespace
