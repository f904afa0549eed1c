// Special attacks played through turn control on a built stage: the main task updates the units
// (only those with flag 0x80), the attack routines are stubs that end on their first frame, as a
// routine with nothing to show does. The hero attacks through the player phase's special-attack
// command, the enemy through the enemy form of the attack command, and the hero's partner through
// the combination command; each attack must end and the turn pass on.

#include <gtest/gtest.h>

#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_commands.h"
#include "battle/slg_enemy.h"
#include "battle/slg_geometry.h"
#include "battle/slg_player.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "scene/ui/tamvik_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"

namespace {

using testsupport::BattleRig;

constexpr uint8_t kHero = 0;
constexpr uint8_t kEnemy = 1;
constexpr uint8_t kHeroine = 2;  // the combination's partner (kind 1), when the stage has her
constexpr uint8_t kEnemyKind = 23;  // a boss kind whose special reaches a neighbour

struct StubCall {
  uint8_t slot;
  uint8_t attack_type;
};
std::vector<StubCall> g_stub_calls;
void StubRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  g_stub_calls.push_back({unit.slot, unit.stats.attack_type});
  EndAttack(unit);
}

SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }

// The cursor on the enemy's cell, where the player's command looks for its target.
void CursorOnEnemy() {
  BattleContext& b = Battle();
  const SlgUnit& e = U(kEnemy);
  const SlgCell c = PosToCell(e.x >> 16, e.y >> 16);
  b.state.cursor_cell = {static_cast<int16_t>(c.column), static_cast<int16_t>(c.row)};
  const SlgPoint p = SnapPosToCell(e.x >> 16, e.y >> 16);
  b.state.cursor_snap = {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
}

// The player phase: the hero's first command is the special attack, the second ends the turn;
// everything else is the player phase's own.
int g_player_commands = 0;
void HeroPhase(SlgMainWork* work) {
  if (work->step == kSlgPlayerCommand) {
    Slg::SetPhaseState(work, g_player_commands++ == 0 ? kSlgPlayerSpecial : kSlgPlayerEndTurn);
    return;
  }
  CursorOnEnemy();
  SlgPlayerPhase(work);
}

// The enemy's turn: a special attack on the hero through the enemy form of the attack command,
// then the end of its action.
void EnemySpecialStep(SlgMainWork* work) {
  if (SlgCommonPhaseState(work)) return;
  BattleContext& b = Battle();
  SlgUnit& unit = U(static_cast<uint8_t>(b.state.acting_unit));
  if (work->step != kEnemyPhaseAttack) {
    b.think_search.target = kHero;
    unit.stats.attack_type = 1;
    b.cmd.attack_mode = 1;
    Slg::SetPhaseState(work, kEnemyPhaseAttack);
    return;
  }
  if (Slg::EnemyAttack(unit) == kSlgCmdRunning) return;
  b.control.actions_left = 0;
  Slg::NextActor(work);
}

// The hero's first command is the combination with the heroine as his partner; every other
// command ends the turn; the enemy ends its actions at once.
int g_combinations = 0;
void ComboPhase(SlgMainWork* work) {
  BattleContext& b = Battle();
  if (work->step == kSlgPlayerCommand) {
    const bool combine = b.state.acting_unit == kHero && g_combinations++ == 0;
    if (combine) b.control.combo_partner = kHeroine;
    Slg::SetPhaseState(work, combine ? kSlgPlayerCombination : kSlgPlayerEndTurn);
    return;
  }
  CursorOnEnemy();
  SlgPlayerPhase(work);
}

// The minimal stage with the enemy (kind 23) on the hero's diagonal neighbour cell (and, for the
// combination, the heroine on another), built on the rig and run by turn control.
class SpecialRig {
 public:
  explicit SpecialRig(bool combination = false) {
    testsupport::StageWriter stage = testsupport::MinimalStage();
    stage.units[kEnemy].x = stage.units[kHero].x + 48;
    stage.units[kEnemy].y = stage.units[kHero].y + 24;
    stage.classes[1].kind = kEnemyKind;
    if (combination) {
      stage.units[kHeroine] = stage.units[kHero];
      stage.units[kHeroine].character = 1;
      stage.units[kHeroine].class_index = 2;
      stage.units[kHeroine].x = stage.units[kHero].x - 48;
      stage.units[kHeroine].y = stage.units[kHero].y + 24;
      stage.classes[2] = {1, 0, 0, 0};
      stage.header.num_unit = 3;
    }
    stage.Lay(rig.driver().tree);
    testsupport::SlgTableWriter().Lay(rig.driver().tree);
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(static_cast<uint32_t>(stage.map));
    Game().sequences.set_mode = [](int) { return 1; };
    g_stub_calls.clear();
    g_player_commands = 0;
    g_combinations = 0;
    rig.battle().phases.player = combination ? &ComboPhase : &HeroPhase;
    rig.battle().phases.enemy_step = combination ? &SlgDefaultEnemyStep : &EnemySpecialStep;
    rig.battle().gattai_table[1] = &StubRoutine;
    rig.battle().action_table[0] = &StubRoutine;
    rig.battle().action_table[kEnemyKind] = &StubRoutine;
  }
  bool Build() {
    Slg::StartStage();
    return rig.RunUntil("built", [] { return Battle().control.main_work != nullptr; }, 60);
  }
  // Runs until round `round` starts, pressing OK (a frame down, a frame up) whenever the hero's
  // attack command waits for its target or its area, or his combination for its target.
  bool RunUntilRound(int round, int limit) {
    int last_down = -10;
    return rig.RunUntil(
        "round", [&] {
          const BattleContext& b = Battle();
          const SlgMainWork* work = b.control.main_work;
          const bool hero = b.state.acting_unit == kHero && work != nullptr;
          const bool waits =
              hero && ((work->step == kSlgPlayerSpecial && (b.phase_sub == 1 || b.phase_sub == 3)) ||
                       (work->step == kSlgPlayerCombination && b.phase_sub == 2));
          if (waits && rig.frame() > last_down) {
            last_down = rig.frame() + 1;  // the frame the next step runs
            rig.Schedule({testsupport::GameKeyDown(last_down, TamvikFunc::GetKeyMask(0)),
                          testsupport::GameKeyUp(last_down + 1, TamvikFunc::GetKeyMask(0))});
          }
          return b.state.round >= round;
        },
        limit);
  }

  BattleRig rig;
};

TEST(SpecialAttack, HeroAndEnemySpecialsEndWithAStubRoutineAndTheTurnGoesOn) {
  SpecialRig r;
  ASSERT_TRUE(r.Build());
  const BattleContext& b = r.rig.battle();
  ASSERT_EQ(b.state.unit_count, 2);
  ASSERT_EQ(U(kEnemy).kind, kEnemyKind);
  ASSERT_TRUE(r.RunUntilRound(2, 1200)) << "the hero's and the enemy's specials ended";
  // The enemy (the faster) acts first, then the hero; each routine ran once, for the special.
  ASSERT_EQ(g_stub_calls.size(), 2u);
  EXPECT_EQ(g_stub_calls[0].slot, kEnemy);
  EXPECT_EQ(g_stub_calls[1].slot, kHero);
  for (const StubCall& call : g_stub_calls) EXPECT_EQ(call.attack_type, 1) << int{call.slot};
  EXPECT_EQ(g_player_commands, 2) << "the hero's second command ended his turn";
  for (const uint8_t slot : {kHero, kEnemy}) {
    SCOPED_TRACE(static_cast<int>(slot));
    EXPECT_NE(U(slot).flags & kUnitShown, 0u) << "shown and updated again";
    EXPECT_LT(U(slot).stats.life, U(slot).stats.max_life) << "hit";
  }
  EXPECT_EQ(b.flags & 0x80, 0) << "the special scene's flag cleared";
  EXPECT_EQ(b.attack.special_open, 0);
  EXPECT_EQ(b.cmd_busy, 0) << "the command-busy word given back";
  EXPECT_EQ(b.state.acting_unit, kEnemy) << "round 2 began with the first of the order";
}

// The combination runs as the partner's unit state 19, which reaches her kind's combination
// routine; the stub ends it on its first frame and the command finishes the hero's action.
TEST(CombinationAttack, ThePartnersRoutineRunsInStateNineteenAndTheTurnGoesOn) {
  SpecialRig r(true);
  ASSERT_TRUE(r.Build());
  const BattleContext& b = r.rig.battle();
  ASSERT_EQ(b.state.unit_count, 3);
  ASSERT_EQ(U(kHeroine).kind, 1);
  ASSERT_TRUE(r.RunUntilRound(2, 1200)) << "the combination ended";
  ASSERT_EQ(g_stub_calls.size(), 1u);
  EXPECT_EQ(g_stub_calls[0].slot, kHeroine);
  EXPECT_EQ(g_stub_calls[0].attack_type, 5);
  EXPECT_GE(g_combinations, 2) << "the hero's turn went on to its next command";
  for (const uint8_t slot : {kHero, kEnemy, kHeroine}) {
    SCOPED_TRACE(static_cast<int>(slot));
    EXPECT_NE(U(slot).flags & kUnitShown, 0u) << "shown and updated again";
    EXPECT_EQ(U(slot).state, 0);
  }
  EXPECT_LT(U(kEnemy).stats.life, U(kEnemy).stats.max_life) << "hit";
  EXPECT_EQ(b.cmd_busy, 0);
}

// A partner kind with no combination routine (an empty row) ends the combination at once with
// a trace instead of leaving her in state 19 and the hero's command waiting for ever.
TEST(CombinationAttack, AnEmptyCombinationRowEndsItAndTheTurnGoesOn) {
  SpecialRig r(true);
  r.rig.battle().gattai_table[1] = nullptr;
  ASSERT_TRUE(r.Build());
  ASSERT_TRUE(r.RunUntilRound(2, 1200)) << "the combination ended";
  EXPECT_TRUE(g_stub_calls.empty());
  for (const uint8_t slot : {kHero, kEnemy, kHeroine}) EXPECT_EQ(U(slot).state, 0) << int{slot};
  bool traced = false;
  for (const DebugTraceLine& line : r.rig.driver().trace().lines()) {
    traced = traced || line.text.find("Slg::CombinationState: kind 1 has no attack routine") !=
                           std::string::npos;
  }
  EXPECT_TRUE(traced);
  EXPECT_EQ(r.rig.battle().cmd_busy, 0);
}

}  // namespace
