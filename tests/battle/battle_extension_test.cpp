// The seam by which the libraries above the battle core extend each battle: the installers (when
// they run, in which order, twice registered, null), what an unfilled attack row or event entry
// answers and what an installed one does, and the extension state blocks' life through the
// battle's start, a stage switch, a retry and the context's end.

#include "battle/battle_extension.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_event_entries.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleRig;

constexpr uint8_t kAttackState = 6;
constexpr uint8_t kHero = 0;     // kind 0 on the minimal stage
constexpr uint8_t kEnemy = 1;    // kind 14
constexpr uint8_t kHeroKind = 0;

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

// The bare battle install (the minimal stage, map 0) on a battle rig; the mode requests
// answered.
class SeamRig {
 public:
  SeamRig() {
    testsupport::BattleInstall(testsupport::BattleInstall::Form::kBare).Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    Game().sequences.set_mode = [](int) { return 1; };
  }
  bool StartAndBuild() {
    Slg::StartStage();
    return Built();
  }
  // A stage switch to the same map, or a retry (the game over's continue); built again.
  bool Switch(bool retry) {
    rig.battle().control.retry = retry ? 1 : 0;
    Slg::SwitchStage(0);
    return rig.RunUntil("switched", [] { return TaskExists(kSlgInitTaskName); }, 10) && Built();
  }
  SlgUnit& Unit(uint8_t slot) { return rig.battle().state.units[slot]; }

  BattleRig rig;

 private:
  bool Built() {
    return rig.RunUntil("built", [] { return !TaskExists(kSlgInitTaskName); }, 60);
  }
};

// ---- Installers that log their runs ----
std::string g_log;
void LogA(BattleContext& /*battle*/) { g_log += 'A'; }
void LogB(BattleContext& /*battle*/) { g_log += 'B'; }

TEST(BattleInstallers, RunInOrderOnceWhenTheContextIsMadeAndAtEachBuildOfAStage) {
  g_log.clear();
  const ScopedBattleInstaller a(&LogA);
  const ScopedBattleInstaller b(&LogB);
  {
    // Registered twice: still one run per build; the second registration's end leaves it.
    const ScopedBattleInstaller again(&LogA);
    EXPECT_FALSE(RegisterBattleInstaller(&LogA));
  }
  EXPECT_TRUE(IsBattleInstallerRegistered(&LogA));

  SeamRig s;
  EXPECT_EQ(g_log, "AB") << "as the context is made";
  ASSERT_TRUE(s.StartAndBuild());
  EXPECT_EQ(g_log, "ABAB") << "the battle's start";
  ASSERT_TRUE(s.Switch(false));
  EXPECT_EQ(g_log, "ABABAB") << "a stage switch";
  ASSERT_TRUE(s.Switch(true));
  EXPECT_EQ(g_log, "ABABABAB") << "a retry";
}

TEST(BattleInstallers, ANullInstallerIsRefusedAndAScopeRemovesOnlyItsOwn) {
  BattleRig rig;
  EXPECT_FALSE(RegisterBattleInstaller(nullptr));
  EXPECT_TRUE(rig.driver().trace().Contains("RegisterBattleInstaller: a null installer is refused"));
  {
    const ScopedBattleInstaller a(&LogA);
    EXPECT_TRUE(IsBattleInstallerRegistered(&LogA));
  }
  EXPECT_FALSE(IsBattleInstallerRegistered(&LogA));
  EXPECT_FALSE(UnregisterBattleInstaller(&LogA));
}

// ---- Attack rows, the player slot 14 and the event entries ----
int g_routine_calls = 0;
void CountingRoutine(SlgUnit& unit, SlgPair& /*pos*/) {
  ++g_routine_calls;
  EndAttack(unit);
}
void CoverStub(SlgUnit& /*unit*/, SlgPair& /*pos*/) {}
int g_checks = 0;
int CountingCheck() { return ++g_checks; }

// The hero kind's attack row and cover move, and the event check; nothing else.
void InstallHeroAndCheck(BattleContext& battle) {
  battle.action_table[kHeroKind] = &CountingRoutine;
  battle.unit_states.player[kHeroKind * kSlgPlayerStates + kUnitStateCover] = &CoverStub;
  InstallEventEntry(battle.events, &SlgEventEntries::check_events, &CountingCheck, "check_events");
}

TEST(BattleInstallers, AnInstalledRowRunsInStateSixAndTheUnfilledOnesKeepTheCoresAnswers) {
  g_routine_calls = 0;
  g_checks = 0;
  const ScopedBattleInstaller installer(&InstallHeroAndCheck);
  SeamRig s;
  ASSERT_TRUE(s.StartAndBuild());
  BattleContext& b = s.rig.battle();
  b.event_stand_ins.has_table = 1;

  // The hero's row is the installed routine: called by the attack state, which it ends.
  SetUnitState(s.Unit(kHero), kAttackState);
  Slg::UpdateUnit(s.Unit(kHero));
  EXPECT_EQ(g_routine_calls, 1);
  EXPECT_NE(s.Unit(kHero).state, kAttackState);
  // The enemy's row is empty: the attack ends at once.
  SetUnitState(s.Unit(kEnemy), kAttackState);
  Slg::UpdateUnit(s.Unit(kEnemy));
  EXPECT_EQ(g_routine_calls, 1);
  EXPECT_NE(s.Unit(kEnemy).state, kAttackState);
  EXPECT_TRUE(s.rig.driver().trace().Contains("Slg::AttackState: kind 14 has no attack routine"));

  // The installed check answers; the entries nobody filled answer as their stand-ins.
  const int checks = g_checks;
  EXPECT_EQ(CheckEvents(), checks + 1);
  EXPECT_EQ(HasEventTable(), 1);
  EXPECT_EQ(EventMessageNoWait(3, 0), 1);
  const SlgPair pos{};
  EXPECT_EQ(SlgFallEffect(s.Unit(kHero), pos), 0);
  EXPECT_EQ(SlgFlashEffect(s.Unit(kHero), pos), 0);
  EXPECT_EQ(CtrlStopEffect(s.Unit(kHero)), 1);
  EXPECT_TRUE(TaskExists("CtrlStopEffect0"));
}

TEST(BattleInstallers, TheInstalledCoverMoveOutlivesTheTableRebuildOfARetry) {
  const ScopedBattleInstaller installer(&InstallHeroAndCheck);
  SeamRig s;
  ASSERT_TRUE(s.StartAndBuild());
  const auto cover = [&s] {
    return s.rig.battle().unit_states.player[kHeroKind * kSlgPlayerStates + kUnitStateCover];
  };
  EXPECT_EQ(cover(), &CoverStub);
  ASSERT_TRUE(s.Switch(true));
  EXPECT_EQ(cover(), &CoverStub);
  // Without the installer the rebuild leaves the slot empty, as the core has it.
  UnregisterBattleInstaller(&InstallHeroAndCheck);
  ASSERT_TRUE(s.Switch(true));
  EXPECT_EQ(cover(), nullptr);
  EXPECT_EQ(s.rig.battle().action_table[kHeroKind], &CountingRoutine) << "rows are not rebuilt";
}

TEST(SlgEventEntries, ANullFunctionIsRefusedWithATraceAndTheEntryKeepsWhatItHeld) {
  BattleRig rig;
  SlgEventEntries& entries = rig.battle().events;
  EXPECT_FALSE(InstallEventEntry(entries, &SlgEventEntries::event_message_no_wait, nullptr,
                                 "event_message_no_wait"));
  EXPECT_TRUE(rig.driver().trace().Contains(
      "SlgEventEntries: event_message_no_wait is null: the stand-in stays"));
  EXPECT_EQ(EventMessageNoWait(3, 0), 1);

  g_checks = 0;
  ASSERT_TRUE(InstallEventEntry(entries, &SlgEventEntries::check_events, &CountingCheck,
                                "check_events"));
  EXPECT_FALSE(InstallEventEntry(entries, &SlgEventEntries::check_events, nullptr, "check_events"));
  EXPECT_EQ(CheckEvents(), 1);
}

// ---- Extension state ----
struct Counts {
  int made = 0;
  int destroyed = 0;
};
Counts g_battle_counts;
Counts g_stage_counts;

struct BattleBlock {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  BattleBlock() { ++g_battle_counts.made; }
  ~BattleBlock() { ++g_battle_counts.destroyed; }
  int value = 0;
};
struct StageBlock {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  StageBlock() { ++g_stage_counts.made; }
  ~StageBlock() { ++g_stage_counts.destroyed; }
  int value = 0;
};
// A plain block: value-initialised, so zero-filled.
struct PlainBlock {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  int words[8];
};

// Both blocks from the context's making on, as a library that needs them there asks.
void MakeBlocks(BattleContext& battle) {
  battle.Extension<BattleBlock>();
  battle.Extension<StageBlock>();
}

TEST(BattleExtensionState, MadeWithTheContextKeptOrMadeAfreshPerStageAndGoneWithTheContext) {
  g_battle_counts = {};
  g_stage_counts = {};
  const ScopedBattleInstaller installer(&MakeBlocks);
  std::optional<SeamRig> s(std::in_place);
  BattleContext& b = s->rig.battle();
  EXPECT_EQ(g_battle_counts.made, 1);
  EXPECT_EQ(g_stage_counts.made, 1);
  BattleBlock* const kept = &b.Extension<BattleBlock>();
  kept->value = 5;
  b.Extension<StageBlock>().value = 7;

  struct Step {
    const char* what;
    int stage_made;  // after the step
    int stage_value;
  };
  const Step steps[] = {{"start", 1, 7}, {"switch", 2, 0}, {"retry", 3, 0}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const std::string what = step.what;
    ASSERT_TRUE(what == "start" ? s->StartAndBuild() : s->Switch(what == "retry"));
    EXPECT_EQ(g_battle_counts.made, 1);
    EXPECT_EQ(&b.Extension<BattleBlock>(), kept);
    EXPECT_EQ(kept->value, 5);
    EXPECT_EQ(g_stage_counts.made, step.stage_made);
    EXPECT_EQ(g_stage_counts.destroyed, step.stage_made - 1);
    EXPECT_EQ(b.Extension<StageBlock>().value, step.stage_value);
    b.Extension<StageBlock>().value = 9;  // the next switch starts it afresh
  }
  for (const int word : b.Extension<PlainBlock>().words) EXPECT_EQ(word, 0);

  s.reset();
  EXPECT_EQ(g_battle_counts.destroyed, 1);
  EXPECT_EQ(g_stage_counts.destroyed, g_stage_counts.made);
}

}  // namespace
