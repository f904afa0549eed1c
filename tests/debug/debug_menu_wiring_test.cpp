// The debug menu as the composition root wires it: the spine's reset and frame hook, the game
// restart's close entry, and a game that never opens the menu.

#include <gtest/gtest.h>

#include "debug/debug_menu.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/window/window.h"
#include "flow/game_boot.h"
#include "testsupport/program_driver.h"

namespace {

int WindowsOn(SurfaceId id) {
  int n = 0;
  for (const WindowRec* w = Ctx().ddraw_window.head(); w != nullptr; w = w->next) {
    n += w->surface_id == id;
  }
  return n;
}

// Counts its frames in its work block.
void CountFrames(GameTaskRec* task) { ++static_cast<uint8_t*>(task->work)[8]; }

TEST(DebugMenuWiring, ResetClosesTheRootsMenuAndTheTaskListRunsEveryFrame) {
  testsupport::ProgramDriver driver;
  ASSERT_EQ(driver.debug_menu.open, 1);  // as made
  ASSERT_TRUE(driver.Start());
  EXPECT_EQ(driver.debug_menu.open, 0);

  ASSERT_EQ(Ctx().game_task.SetTaskSimple(nullptr, CountFrames, "frame counter"), 1);
  GameTaskRec* counter = Ctx().game_task.FindTask("frame counter");
  ASSERT_NE(counter, nullptr);
  // Every frame reaches the task list, the toggle key held or not: nothing opens the menu.
  driver.Schedule({testsupport::GameKeyDown(driver.frame() + 2, kGameKeyTab),
                   testsupport::GameKeyUp(driver.frame() + 3, kGameKeyTab),
                   testsupport::GameKeyDown(driver.frame() + 4, kGameKeyTab)});
  ASSERT_TRUE(driver.Run(5));
  EXPECT_EQ(static_cast<uint8_t*>(counter->work)[8], 5);
  EXPECT_EQ(driver.debug_menu.open, 0);
  EXPECT_EQ(driver.debug_menu.pages(), nullptr);
  EXPECT_EQ(WindowsOn(SURFACE_DEBUG2), 0);
}

TEST(DebugMenuWiring, GameRestartDeletesAnOpenMenusWindowsThroughItsEntry) {
  testsupport::ProgramDriver driver;
  ASSERT_TRUE(driver.Start());
  CDebugMenu& menu = driver.debug_menu;
  menu.DebugMenuBuild();
  menu.DebugMenuFrame(kGameKeyTab, 0);
  ASSERT_EQ(menu.open, 1);
  ASSERT_EQ(WindowsOn(SURFACE_DEBUG2), 1);

  GameRestart();
  EXPECT_EQ(WindowsOn(SURFACE_DEBUG2), 0);
  EXPECT_EQ(menu.menu_window, nullptr);
  EXPECT_EQ(menu.open, 0);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_DEBUG2), 0u);
  // The program runs on.
  EXPECT_TRUE(driver.Run(2));
}

TEST(DebugMenuWiring, TheKeylessFrameReadsTheInputOfTheFrame) {
  testsupport::ProgramDriver driver;
  ASSERT_TRUE(driver.Start());
  CDebugMenu& menu = driver.debug_menu;
  menu.DebugMenuBuild();
  driver.Schedule({testsupport::GameKeyDown(driver.frame() + 1, kGameKeyTab),
                   testsupport::GameKeyDown(driver.frame() + 2, kGameKeyDown)});
  ASSERT_TRUE(driver.Step());
  menu.DebugMenuFrame();
  EXPECT_EQ(menu.open, 1);
  EXPECT_EQ(WindowsOn(SURFACE_DEBUG2), 1);
  ASSERT_TRUE(driver.Step());  // Tab still held: no second toggle; down newly pressed
  menu.DebugMenuFrame();
  EXPECT_EQ(menu.open, 1);
  EXPECT_EQ(menu.cursor, 2);
}

TEST(DebugMenuWiring, TestsFillTheCloseEntryTheSameWay) {
  testsupport::ProgramDriver::Options options;
  options.wire_sequences = false;
  testsupport::ProgramDriver driver(options);
  CDebugMenu menu;
  int closes = 0;
  driver.sequences().debug_menu_close = [&] {
    ++closes;
    menu.DebugMenuClose();
  };
  ASSERT_TRUE(driver.Start());  // the boot restarts the game once
  EXPECT_EQ(closes, 1);
  menu.DebugMenuFrame(kGameKeyTab, 0);
  ASSERT_EQ(WindowsOn(SURFACE_DEBUG2), 1);
  GameRestart();
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(WindowsOn(SURFACE_DEBUG2), 0);
}

}  // namespace
