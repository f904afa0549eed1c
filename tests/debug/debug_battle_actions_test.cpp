// The debug menu's battle actions on the battle rig: the map viewer and map load, the plane
// switches, the debug-priority word and the destroyer, started and stopped by their codes.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_debug_tasks.h"
#include "battle/slg_map_plane.h"
#include "debug/debug_actions.h"
#include "debug/debug_menu.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
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

}  // namespace
