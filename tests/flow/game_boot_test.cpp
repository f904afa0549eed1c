#include "flow/game_boot.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace {

TEST(CheckInstall, PresentInstallPassesQuietly) {
  testsupport::TempTree tree;
  testsupport::TestEngine engine;
  engine.host.config.Set("Install Directory", tree.root());
  EXPECT_EQ(CheckInstall(), 1);
  EXPECT_TRUE(engine.host.window.boxes.empty());
  EXPECT_EQ(AppIsQuit(), 0u);
  EXPECT_EQ(AppGetExitStatus(), kExitNormal);
}

TEST(CheckInstall, MissingInstallShowsItsBoxWithTheCauseAndAsksToQuit) {
  testsupport::TestEngine engine;
  engine.ctx().frame_rate.main_window = &engine.host.window;
  engine.host.config.Set("Install Style", "1");
  EXPECT_EQ(CheckInstall(), 0);
  ASSERT_EQ(engine.host.window.boxes.size(), 1u);
  EXPECT_TRUE(engine.host.window.boxes[0].owned);
  EXPECT_EQ(engine.host.window.boxes[0].caption, "ERROR");
  EXPECT_EQ(engine.host.window.boxes[0].text,
            "没有安装TAMVIKＰＣ版\nno value \"Install Directory\" in the settings");
  EXPECT_EQ(AppIsQuit(), 1u);
  EXPECT_EQ(AppGetExitStatus(), kExitNotInstalled);
}

TEST(CheckInstall, BeforeTheWindowExistsTheBoxHasNoOwner) {
  testsupport::TestEngine engine;
  EXPECT_EQ(CheckInstall(), 0);
  ASSERT_EQ(engine.host.window.boxes.size(), 1u);
  EXPECT_FALSE(engine.host.window.boxes[0].owned);
}

TEST(GameBoot, CreatesTheModeManagerInModeZero) {
  testsupport::TestEngine engine;
  GameBootInit();
  GameTaskRec* manager = Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger");
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->owner, nullptr);
  ASSERT_NE(manager->work, nullptr);
  const TaskWork zero{};
  EXPECT_EQ(std::memcmp(manager->work, &zero, sizeof zero), 0);
  EXPECT_EQ(TaskStep(manager), 0);
  // The manager keeps running from frame to frame.
  Ctx().game_task.ExecTask();
  Ctx().game_task.ExecTask();
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger"), manager);
}

}  // namespace
