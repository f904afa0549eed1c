// The debug menu's battle actions on the battle rig: the map viewer and map load, the plane
// switches, the debug-priority word and the destroyer, started and stopped by their codes.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_action.h"
#include "battle/slg_debug_tasks.h"
#include "battle/slg_map_plane.h"
#include "battle/slg_unit.h"
#include "debug/debug_actions.h"
#include "debug/debug_menu.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"

namespace {

constexpr int kMap = 3;

struct BattleActionRig {
  BattleActionRig() {
    FillDebugActions(menu());
    menu().DebugMenuBuild();
    testsupport::MapTabWriter tab;
    tab.File("Ground:", {"g0.spr"}).File("Sky:", {"s0.spr"});
    tab.Lay(rig.driver().tree, kMap);
    for (const char* name : {"g0.spr", "s0.spr"}) {
      testsupport::LayMapFile(rig.driver().tree, kMap, name,
                              testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 0)));
    }
  }
  CDebugMenu& menu() { return rig.driver().debug_menu; }
  void Run(int code, int32_t value) { menu().actions[static_cast<size_t>(code - 1)](value); }
  SlgMapPlane* Plane(int n) { return Battle().map.planes[static_cast<size_t>(n)].get(); }

  testsupport::BattleRig rig;
};

TEST(DebugBattleActions, MapViewerMapLoadAndPlaneSwitches) {
  BattleActionRig r;
  testsupport::TraceCapture trace;
  r.Run(68, kMap);
  ASSERT_NE(Ctx().game_task.FindTask(kSlgMapSetTaskName), nullptr);
  ASSERT_TRUE(r.rig.Step());
  ASSERT_NE(r.Plane(kSlgPlaneGround), nullptr);
  ASSERT_NE(r.Plane(kSlgPlaneSky), nullptr);
  // 70 switches the Ground plane, 73 the Sky plane.
  r.Run(70, 0);
  EXPECT_EQ(r.Plane(kSlgPlaneGround)->enabled, 0);
  EXPECT_EQ(r.Plane(kSlgPlaneSky)->enabled, 1);
  r.Run(73, 0);
  EXPECT_EQ(r.Plane(kSlgPlaneSky)->enabled, 0);
  r.Run(70, 1);
  EXPECT_EQ(r.Plane(kSlgPlaneGround)->enabled, 1);
  // 0 stops the viewer, which frees the planes.
  r.Run(68, 0);
  EXPECT_TRUE(trace.Contains("SlsMapViewDelete"));
  ASSERT_TRUE(r.rig.Step());
  EXPECT_EQ(Ctx().game_task.FindTask(kSlgMapSetTaskName), nullptr);
  EXPECT_EQ(r.Plane(kSlgPlaneGround), nullptr);
  // 69 loads a map's planes; 0 only frees them.
  r.Run(69, kMap);
  EXPECT_NE(r.Plane(kSlgPlaneGround), nullptr);
  r.Run(69, 0);
  EXPECT_TRUE(trace.Contains("SlsMapLoadDelete"));
  EXPECT_EQ(r.Plane(kSlgPlaneGround), nullptr);
}

TEST(DebugBattleActions, PriorityWordDirectionTraceAndTheDestroyer) {
  BattleActionRig r;
  testsupport::TraceCapture trace;
  r.Run(74, 1);
  EXPECT_EQ(Battle().debug_priority, 1u);
  r.Run(67, 2);
  EXPECT_TRUE(trace.Contains("Battle Attack Action DirSet 2"));
  r.Run(79, 0);
  EXPECT_NE(Ctx().game_task.FindTask(kSlgZakoDestroyTaskName), nullptr);
  // 76 without a shown animation starts nothing; with 0 it stops ("RotateAnm Stop").
  r.Run(76, 1);
  EXPECT_EQ(Ctx().game_task.FindTask(kSlgUnitAnmTestName), nullptr);
  EXPECT_TRUE(trace.Contains("RotateAnm: no animation shown"));
  r.Run(76, 0);
  EXPECT_TRUE(trace.Contains("RotateAnm Stop"));
}

// The attack tests: the kind from the value, the attack type from the code, the direction from
// item 67, each announced by its line; the stub routine ends the attack on its first call.
int g_stub_calls = 0;
void EndingStub(SlgUnit& unit, SlgPair&) {
  ++g_stub_calls;
  SetUnitState(unit, 7);
}

TEST(DebugBattleActions, AttackTestsPlayTheKindWithTheirTypeAndItem67sDirection) {
  BattleActionRig r;
  testsupport::SlgTableWriter().Lay(r.rig.driver().tree);
  Battle().action_table[14] = &EndingStub;
  Battle().gattai_table[3] = &EndingStub;
  for (DebugMenuPageNode* p = r.menu().pages(); p != nullptr; p = p->next) {
    for (DebugMenuItemNode* i = p->items; i != nullptr; i = i->next) {
      if (i->code == 67) i->value = 6;  // direction 6 & 3 = 2
    }
  }
  struct Case {
    int code;
    int32_t kind;
    int type;
    const char* line;
  };
  const Case cases[] = {
      {63, 14, 0, "Battle Noraml Action Task Start"},
      {64, 14, 2, "Battle Critical Action Task Start"},
      {65, 14, 1, "Battle Special Action Task Start"},
      {66, 3, 5, "Battle Gattai Action Task Start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    testsupport::TraceCapture trace;
    g_stub_calls = 0;
    r.Run(c.code, c.kind);
    EXPECT_TRUE(trace.Contains(c.line));
    const SlgUnit& a = Battle().action.attacker;
    EXPECT_EQ(a.kind, c.kind);
    EXPECT_EQ(a.stats.attack_type, c.type);
    EXPECT_EQ(a.dir, 2);
    ASSERT_TRUE(r.rig.RunUntil("the attack played", [] {
      return Ctx().game_task.FindTask(kSlgActionTaskName) == nullptr;
    }, 8));
    EXPECT_EQ(g_stub_calls, 1);
  }
}

}  // namespace
