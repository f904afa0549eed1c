// Event objects in a running battle on the rig (the builder's map 0 with event-object entries of
// kinds 81-83 and a category-3 entry of kind 40, their sprite files, stub phases): the deploy
// states frame by frame through the core's unit update, the freed object's slot and the words
// that follow it, the handler table's bounds, the NPC animations held from the install to the
// teardown, and a second stage whose set-up installs no table.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_units.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/event_tables.h"
#include "testsupport/slg_table_writer.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
using testsupport::EventAnmWriter;
using testsupport::SlgTableWriter;

// A handler call: the unit's kind and slot, the rig step, the deploy state seen, the body's
// frames and clock, and the position handed over.
struct Call {
  int kind;
  int slot;
  int step;
  int deploy;
  int32_t frames;
  uint32_t now;
  SlgPair pos;
};
std::vector<Call> g_calls;
BattleRig* g_rig = nullptr;

int Record(SlgUnit& unit, SlgPair& pos) {
  const SlgAnmObj* body = unit.anm;
  g_calls.push_back({unit.kind, unit.slot, g_rig->steps(), unit.deploy_state,
                     body != nullptr ? body->frames : -1, body != nullptr ? body->now : 0u, pos});
  pos.x += 1000;  // the handler's own copy
  return 7;
}

// Kinds 80-82; 83 has no handler.
constexpr SlgEventAnmHandler kRecordAll[] = {&Record, &Record, &Record};

// No rows: no event finishes (which would release the event unit references) meanwhile.
constexpr SlgEventEntry kEvents[] = {kEventTableEnd};

std::vector<Call> CallsOf(int kind) {
  std::vector<Call> calls;
  for (const Call& c : g_calls) {
    if (c.kind == kind) calls.push_back(c);
  }
  return calls;
}

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

// Map 0 of the builder (the hero in slot 0, the ASHIGARU in slot 1) with the entries 2-4 of
// kinds 81, 82 and 83 and entry 5 of kind 40 in category 3, none made at the start; the EventAnm
// rows and files of `kinds` (NPC 0 is the builder's own).
class ObjectBattle {
 public:
  explicit ObjectBattle(const std::vector<int>& kinds = {81, 82, 83}) {
    g_calls.clear();
    g_rig = &rig;
    BattleInstall install;
    const uint8_t object_kinds[] = {81, 82, 83, 40};
    for (int i = 0; i < 4; ++i) {
      StageUnitEntry& e = install.stage.units[static_cast<size_t>(2 + i)];
      e.class_index = static_cast<uint8_t>(2 + i);
      e.character = static_cast<uint8_t>(i);
      e.x = static_cast<int16_t>(96 + 96 * i);
      e.y = 336;
      e.flags = 0x80;
      install.stage.classes[static_cast<size_t>(2 + i)] = {object_kinds[i], 3, 0, 0};
    }
    install.stage.header.num_unit = 6;
    install.Lay(rig.driver().tree);
    SlgTableWriter tables = install.Tables();
    EventAnmWriter::Lay(rig.driver().tree, tables, 0, kinds);
    tables.Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    GetSystemData()->setVoiceOff(1);
    rig.InstallEventTable(kEvents);
    rig.InstallEventAnmTable(kRecordAll);
    rig.StubPhases();
  }
  ~ObjectBattle() { g_rig = nullptr; }

  // Starts the battle and runs until the main task's first frame (round 1).
  void Start() {
    Slg::StartStage();
    ASSERT_TRUE(rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60));
  }
  SlgUnit& U(int slot) { return rig.battle().state.units[static_cast<size_t>(slot)]; }
  int Count() { return rig.battle().state.unit_count; }

  BattleRig rig;
};

TEST(EventObjects, TheFirstStepRunsTheHandlerInTheSameFrameWithTheClockRefreshed) {
  ObjectBattle e;
  e.Start();
  ASSERT_EQ(e.Count(), 2);
  EventDeployKind(81);
  ASSERT_EQ(e.Count(), 3);
  EXPECT_EQ(e.U(2).deploy_state, kEventObjDeployed);
  const int n = e.rig.steps();
  ASSERT_TRUE(e.rig.Run(3));
  const std::vector<Call> calls = CallsOf(81);
  ASSERT_EQ(calls.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].slot, 2);
    EXPECT_EQ(calls[i].step, n + 1 + i);
    EXPECT_EQ(calls[i].deploy, kEventObjRunning);  // 1 -> 2 before the first call
    // start_time 0: the frames since the clock's start, one a rig step.
    EXPECT_EQ(calls[i].frames, n + 1 + i);
  }
  EXPECT_EQ(calls[2].now, e.rig.Now());
  // The drawing position the core computed, unchanged by the handler's own copy.
  EXPECT_EQ(calls[2].pos.x, SlgMapToScreen(e.U(2)).x);
  EXPECT_EQ(calls[2].pos.y, SlgMapToScreen(e.U(2)).y);
  EXPECT_EQ(e.U(2).deploy_state, kEventObjRunning);
}

TEST(EventObjects, DeployedAndUndeployedInOneFrameNeverRunsAndKeepsItsSlot) {
  ObjectBattle e;
  e.Start();
  EventDeployKind(81);
  EventUndeployKind(81);
  ASSERT_TRUE(e.rig.Run(3));
  EXPECT_TRUE(g_calls.empty());
  ASSERT_EQ(e.Count(), 3);
  EXPECT_EQ(e.U(2).kind, 81);
  EXPECT_EQ(e.U(2).deploy_state, kEventObjNotDeployed);
  EXPECT_NE(e.U(2).anm, nullptr);
}

TEST(EventObjects, ARunningObjectUndeployedIsFreedOnItsNextStepAndTheSlotsFollow) {
  ObjectBattle e;
  e.Start();
  EventDeployKind(81);  // slot 2
  EventDeployKind(82);  // slot 3
  ASSERT_TRUE(e.rig.Step());
  ASSERT_EQ(CallsOf(81).size(), 1u);
  ASSERT_EQ(CallsOf(82).size(), 1u);
  BattleContext& b = e.rig.battle();
  // Kind 82 on the grid, named by the first event reference and as the previous actor; kind 81
  // by the second reference.
  SlgUnit& k82 = e.U(3);
  k82.flags |= kUnitOnGrid;
  SetUnitCell(k82);
  const SlgCell cell = SlgUnitCell(k82);
  ASSERT_EQ(GetUnitAtCell(cell.column, cell.row), 3);
  b.event_unit_ref = {3, 2};
  b.state.previous_acting = 3;
  const uint16_t acting = b.state.acting_unit;
  const uint32_t objects = b.anm_pool.in_use;

  EventUndeployKind(81);
  EXPECT_EQ(e.U(2).deploy_state, kEventObjLeaving);
  g_calls.clear();
  ASSERT_TRUE(e.rig.Step());
  // Kind 81 freed without a call; kind 82 moved into slot 2 and was still updated once in the
  // same pass.
  EXPECT_TRUE(CallsOf(81).empty());
  const std::vector<Call> calls = CallsOf(82);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].slot, 2);
  ASSERT_EQ(e.Count(), 3);
  EXPECT_EQ(e.U(0).kind, 0);
  EXPECT_EQ(e.U(1).kind, 14);
  EXPECT_EQ(e.U(2).kind, 82);
  EXPECT_EQ(e.U(2).slot, 2);
  EXPECT_EQ(b.anm_pool.in_use, objects - 1);
  EXPECT_EQ(b.event_unit_ref, (std::array<uint16_t, 2>{2, kSlgNoUnit}));
  EXPECT_EQ(b.state.previous_acting, 2);
  EXPECT_EQ(GetUnitAtCell(cell.column, cell.row), 2);
  EXPECT_EQ(b.state.acting_unit, acting);
  EXPECT_EQ(FindUnitByKind(81), nullptr);
}

TEST(EventObjects, NoHandlerRunsWithoutATableOrBeyondItAndEachKindIsTracedOnce) {
  ObjectBattle e;
  e.Start();
  EventDeployKind(81);
  EventDeployKind(82);
  EventDeployEntry(5);  // kind 40 in category 3: below the event-object kinds
  ASSERT_EQ(e.Count(), 5);
  EventDeployKind(83);  // beyond the table: refused
  EXPECT_EQ(e.Count(), 5);
  EXPECT_TRUE(e.rig.driver().trace().Contains(
      "EventDeployEntry: entry 4: kind 83 has no handler in the event-animation table"));
  ASSERT_TRUE(e.rig.Run(3));
  EXPECT_EQ(CallsOf(81).size(), 3u);
  EXPECT_EQ(CallsOf(40).size(), 0u);
  const auto traced = [&](int kind) {
    return e.rig.driver().trace().Count("EventObjStep: kind " + std::to_string(kind) +
                                        " has no handler");
  };
  EXPECT_EQ(traced(40), 1);

  // A table of kind 80 only: 81 and 82 run nothing, traced once each.
  static constexpr SlgEventAnmHandler kOne[] = {&Record};
  SetEventAnmTable(kOne);
  g_calls.clear();
  ASSERT_TRUE(e.rig.Run(3));
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(traced(81), 1);
  EXPECT_EQ(traced(82), 1);

  // No table: nothing called, nothing traced.
  SetEventAnmTable({});
  const int traces = e.rig.driver().trace().Count("has no handler");
  ASSERT_TRUE(e.rig.Run(3));
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(e.rig.driver().trace().Count("has no handler"), traces);
  EXPECT_EQ(e.U(2).deploy_state, kEventObjRunning);
}

TEST(EventObjects, TheSixtyFourNpcAnimationsAreHeldFromTheInstallToTheTeardown) {
  std::vector<int> kinds;
  for (int kind = 81; kind <= 143; ++kind) kinds.push_back(kind);
  ObjectBattle e(kinds);
  e.Start();
  const SlgEventNpcState& npc = EventNpcState();
  std::vector<std::string> names;
  for (SprAnm* anm : npc.npc_anm_table) {
    ASSERT_NE(anm, nullptr);
    EXPECT_EQ(anm->ref, 1);
    names.push_back(anm->name);
  }
  // An install again (a map's set-up run twice) takes them once more, not twice, and makes no
  // event-animation table current until the set-up installs its own.
  ASSERT_FALSE(npc.anm_table.empty());
  StartEventCheck(kEvents);
  EXPECT_TRUE(npc.anm_table.empty());
  for (SprAnm* anm : npc.npc_anm_table) {
    ASSERT_NE(anm, nullptr);
    EXPECT_EQ(anm->ref, 1);
  }
  SetEventAnmTable(kRecordAll);
  SlgTeardown();
  EXPECT_TRUE(npc.anm_table.empty());
  for (SprAnm* anm : npc.npc_anm_table) EXPECT_EQ(anm, nullptr);
  for (const std::string& name : names) {
    EXPECT_EQ(Scene().tamvik_spr.FindAnm(name.c_str()), nullptr) << name;
  }
}

TEST(EventObjects, ASecondStageWhoseSetUpInstallsNoTableRunsNoHandlerOfTheFirst) {
  ObjectBattle e;
  e.Start();
  EventDeployKind(81);
  ASSERT_TRUE(e.rig.Step());
  ASSERT_EQ(CallsOf(81).size(), 1u);

  e.rig.InstallEventAnmTable({});
  Slg::SwitchStage(0);
  ASSERT_TRUE(e.rig.RunUntil("switched", [] { return TaskExists(kSlgInitTaskName); }, 60));
  ASSERT_TRUE(e.rig.RunUntil(
      "round 1", [] { return !TaskExists(kSlgInitTaskName) && Battle().state.round == 1; }, 60));
  EXPECT_TRUE(EventNpcState().anm_table.empty());
  g_calls.clear();
  EventDeployKind(81);
  EXPECT_EQ(e.Count(), 2);
  ASSERT_TRUE(e.rig.Run(3));
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace
