// The map event set-up: a row of test records carried out in the set-up's order by the real
// initialisation, map 19's music rule, null rows and stages outside the table, the maps' own
// values as their scripts fill the rows, and the map tasks' end.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_test_hooks.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_npc.h"
#include "battle_events/events_install.h"
#include "battle_events/map_setup.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_tables.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
using testsupport::ScopedEventTable;

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};
int NoHandler(SlgUnit& /*unit*/, SlgPair& /*pos*/) { return 0; }
constexpr SlgEventAnmHandler kAnm[] = {&NoHandler, &NoHandler};

// What the set-up did, in order: tasks made (with what was installed at that moment) and the
// deferred function's call.
std::vector<std::string> g_log;
int g_map_task_frames = 0;

std::string Snapshot(const char* what) {
  return std::string(what) + " bgm=" + std::to_string(Battle().bgm_number) +
         " table=" + std::to_string(HasEventTable()) +
         " anm=" + std::to_string(EventNpcState().anm_table.size());
}
void Deferred() { g_log.push_back(Snapshot("deferred")); }
void MapStep(SlgEffectTask* /*task*/) { ++g_map_task_frames; }
void OtherStep(SlgEffectTask* /*task*/) {}

constexpr const char* kBefore = "Test::MapTaskBefore";
constexpr const char* kAfter = "Test::MapTaskAfter";
constexpr MapTaskSpec kTasks[] = {MapTask<&MapStep>(kAfter),
                                  MapTask<&OtherStep>(kBefore, MapTaskOrder::kBeforeDeferred)};
constexpr MapSetup kFullSetup{.bgm = MapBgm::Play(6),
                              .table = kNoRows,
                              .anm_table = kAnm,
                              .deferred = &Deferred,
                              .tasks = kTasks};

// Logs the creation of the set-up's tasks.
void LogTask(void* /*user*/, SlgTaskEvent event, const SlgEffectTask& task) {
  if (event != SlgTaskEvent::kCreated) return;
  for (const char* name : {"TamvikSlgFunc::decodeMusic", kEventCheckTaskName,
                           "Slg::delaySprSetTask", kBefore, kAfter}) {
    if (std::string(task.name) == name) g_log.push_back(Snapshot(name));
  }
}

// The builder's map 0 on the rig with the stub phases, the events and `setup` in every row.
class SetupBattle {
 public:
  explicit SetupBattle(const MapSetup& setup) : events(setup, &rig.driver()) {
    g_log.clear();
    g_map_task_frames = 0;
    BattleInstall install;
    install.Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    GetSystemData()->setVoiceOff(1);
    events.InstallOn(rig.battle());
    rig.StubPhases();
    rig.battle().test_hooks.task = &LogTask;
  }
  bool Start() {
    Slg::StartStage();
    return rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60);
  }

  BattleRig rig;
  ScopedEventTable events;
};

TEST(MapSetup, TheRealInitialisationCarriesOutARowInTheSetUpsOrder) {
  SetupBattle s(kFullSetup);
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.rig.Run(2));
  // Music, one install, the event-animation table, the task made before the deferred call, the
  // deferred task, the task made after it; the deferred function a frame later.
  const std::vector<std::string> expected = {
      "TamvikSlgFunc::decodeMusic bgm=6 table=0 anm=0", "Slg::EventCheck bgm=6 table=1 anm=0",
      "Test::MapTaskBefore bgm=6 table=1 anm=2", "Slg::delaySprSetTask bgm=6 table=1 anm=2",
      "Test::MapTaskAfter bgm=6 table=1 anm=2", "deferred bgm=6 table=1 anm=2"};
  ASSERT_GE(g_log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(g_log.begin(), g_log.begin() + 6), expected);
  EXPECT_GT(g_map_task_frames, 0);
  EXPECT_TRUE(TaskExists(kAfter));
  // A battle with a table starts black until the map's opening fades in.
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 256);
}

TEST(MapSetup, MapNineteensMusicFollowsTheStoryFlagAfterTheInstall) {
  struct Case {
    uint16_t p73;
    int bgm;
  };
  for (const Case c : {Case{0, 30}, Case{1, 28}, Case{2, 30}}) {
    SCOPED_TRACE(c.p73);
    BattleRig rig;
    InstallBattleEvents(rig.battle());
    g_log.clear();
    rig.battle().test_hooks.task = &LogTask;
    constexpr MapSetup kMap19Rule{.bgm = MapBgm::ByStoryFlag(), .table = kNoRows};
    MapSetupRows().rows[18] = &kMap19Rule;
    SetMacroP(kMapBgmStoryVar, c.p73);
    Slg::SetupMapEvent(18);
    EXPECT_EQ(Battle().bgm_number, c.bgm);
    const std::string bgm = std::to_string(c.bgm);
    EXPECT_EQ(g_log, (std::vector<std::string>{"Slg::EventCheck bgm=0 table=1 anm=0",
                                               "TamvikSlgFunc::decodeMusic bgm=" + bgm +
                                                   " table=1 anm=0"}));
    EndEventCheck();
  }
}

TEST(MapSetup, ANullRowAndAStageOutsideTheTableInstallNothing) {
  // A null row (a map not scripted): the battle runs without events and is not black.
  {
    BattleRig rig;
    BattleInstall install;
    install.Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    GetSystemData()->setVoiceOff(1);
    InstallBattleEvents(rig.battle());
    MapSetupRows().rows[0] = nullptr;
    rig.StubPhases();
    Slg::StartStage();
    ASSERT_TRUE(rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60));
    EXPECT_EQ(HasEventTable(), 0);
    EXPECT_FALSE(TaskExists(kEventCheckTaskName));
    EXPECT_EQ(CheckEvents(), 0);
    EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
    ASSERT_TRUE(rig.Run(5));
    EXPECT_GE(Battle().state.round, 1);
  }
  // Every row filled, but stages 27 and -1 are not battle maps.
  for (const int stage : {27, -1, 1000}) {
    SCOPED_TRACE(stage);
    BattleRig rig;
    InstallBattleEvents(rig.battle());
    MapSetupRows().rows.fill(&kFullSetup);
    g_log.clear();
    rig.battle().test_hooks.task = &LogTask;
    Slg::SetupMapEvent(stage);
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(HasEventTable(), 0);
    EXPECT_TRUE(rig.driver().trace().Contains("Slg::SetupMapEvent: stage " + std::to_string(stage) +
                                              " is not a battle map (0-26): no events\n"));
  }
}

// The maps' set-up values, row by row; each is checked once its map's script has filled it.
struct MapValues {
  MapBgm bgm;
  bool anm_table;
  bool deferred;
  const char* task;  // null: none
  MapTaskOrder order = MapTaskOrder::kAfterDeferred;
};
const MapBgm kNone = MapBgm::None();
const MapValues kMapValues[kMapSetupRows] = {
    {MapBgm::Play(6), true, false, nullptr},    // map 1
    {MapBgm::Play(6), true, true, nullptr},     // map 2
    {MapBgm::Play(6), true, false, nullptr},    // map 3
    {kNone, true, true, nullptr},               // map 4
    {MapBgm::Play(16), true, true, nullptr},    // map 5
    {MapBgm::Play(6), true, false, nullptr},    // map 6
    {MapBgm::Play(6), true, false, nullptr},    // map 7
    {MapBgm::Play(16), true, false, nullptr},   // map 8
    {MapBgm::Play(5), true, true, nullptr},     // map 9
    {MapBgm::Play(6), true, true, "Slg::Map10::lips_exeflag_cntrl"},
    {MapBgm::Play(30), true, true, nullptr},    // map 11
    {MapBgm::Play(29), true, true, nullptr},    // map 12
    {MapBgm::Play(14), false, false, nullptr},  // map 13
    {MapBgm::Play(27), true, false, nullptr},   // map 14
    {MapBgm::Play(29), true, false, nullptr},   // map 15
    {MapBgm::Play(14), false, true, "Slg::Map16:CheckKouma", MapTaskOrder::kBeforeDeferred},
    {MapBgm::Play(22), true, false, nullptr},   // map 17
    {MapBgm::Play(14), true, false, nullptr},   // map 18
    {MapBgm::ByStoryFlag(), true, true, nullptr},  // map 19
    {MapBgm::Play(15), true, false, nullptr},   // map 20
    {MapBgm::Play(12), true, false, nullptr},   // map 21
    {kNone, true, false, nullptr},              // map 22
    {kNone, true, true, nullptr},               // map 23
    {kNone, true, true, nullptr},               // map 24
    {kNone, true, false, nullptr},              // map 25
    {MapBgm::Play(26), true, false, nullptr},   // map 26
    {MapBgm::Play(13), true, false, nullptr},   // map 27
};

TEST(MapSetup, EveryFilledRowHoldsItsMapsValues) {
  for (int stage = 0; stage < kMapSetupRows; ++stage) {
    const MapSetup* row = kMapEventSetupTable[static_cast<size_t>(stage)];
    if (row == nullptr) continue;  // not scripted yet
    SCOPED_TRACE("map " + std::to_string(stage + 1));
    const MapValues& want = kMapValues[stage];
    EXPECT_EQ(row->bgm, want.bgm);
    EXPECT_NE(row->table, nullptr);
    EXPECT_EQ(!row->anm_table.empty(), want.anm_table);
    EXPECT_EQ(row->deferred != nullptr, want.deferred);
    if (want.task == nullptr) {
      EXPECT_TRUE(row->tasks.empty());
    } else {
      ASSERT_EQ(row->tasks.size(), 1u);
      EXPECT_STREQ(row->tasks[0].name, want.task);
      EXPECT_EQ(row->tasks[0].order, want.order);
    }
  }
}

TEST(MapTask, EndsOnTheFrameAfterTheEventsEndWithoutATeardown) {
  SetupBattle s(kFullSetup);
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(TaskExists(kAfter));
  ASSERT_TRUE(TaskExists(kBefore));
  EndEventCheck();
  const int frames = g_map_task_frames;
  ASSERT_TRUE(s.rig.Step());
  EXPECT_FALSE(TaskExists(kAfter));
  EXPECT_FALSE(TaskExists(kBefore));
  EXPECT_EQ(g_map_task_frames, frames) << "its step ran without the events";
}

int g_live_map_tasks = 0;
void CountMapTasks(void* /*user*/, SlgTaskEvent event, const SlgEffectTask& task) {
  if (std::string(task.name) != kAfter) return;
  g_live_map_tasks += event == SlgTaskEvent::kCreated ? 1 : -1;
}

TEST(MapTask, NoneIsLeftAfterAStageSwitchOrTheBattlesExit) {
  SetupBattle s(kFullSetup);
  s.rig.battle().test_hooks.task = &CountMapTasks;
  g_live_map_tasks = 0;
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.rig.RunUntil("built", [] { return !TaskExists(kSlgInitTaskName); }, 10));
  EXPECT_EQ(g_live_map_tasks, 1);
  // The switch's teardown ends it; the new stage's set-up makes one again.
  Slg::SwitchStage(0);
  ASSERT_TRUE(s.rig.RunUntil("switched", [] { return TaskExists(kSlgInitTaskName); }, 60));
  EXPECT_EQ(g_live_map_tasks, 0);
  ASSERT_TRUE(s.rig.RunUntil(
      "round 1", [] { return !TaskExists(kSlgInitTaskName) && Battle().state.round == 1; }, 60));
  EXPECT_EQ(g_live_map_tasks, 1);
  Slg::ExitSlg();
  EXPECT_EQ(g_live_map_tasks, 0);
  EXPECT_FALSE(TaskExists(kAfter));
}

}  // namespace
