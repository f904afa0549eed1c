// The hand-over between the story and the minigames on the whole headless program: the real
// game-mode manager with the minigame entries filled as the composition root fills them and the
// scene controller's entries faked.

#include <gtest/gtest.h>

#include <string>

#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/game_state.h"
#include "game/macro_vars.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/minigame_context.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/od_writer.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::ProgramDriver;

ProgramDriver::Options WithFakes() {
  ProgramDriver::Options options;
  options.wire_sequences = false;
  return options;
}

std::string HostPath(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : c;
  return "install/" + path;
}

class Handover : public ::testing::Test {
 protected:
  Handover() : d(WithFakes()) {
    testsupport::FillManagerStandIns(d.sequences());
    WireMinigameSequences(d.sequences());
    d.sequences().scene.start = [](GameTaskRec*) {};
    d.sequences().scene_end = [] {};
    d.sequences().scene_minigame = [this] { return game; };
    d.tree.MakeDir("install/save");
  }
  void WriteOd(int row) {
    d.tree.Write(HostPath(minigame.games[static_cast<size_t>(row)].path),
                 testsupport::OdWriter().Build());
  }
  bool RunToMode(int mode, int limit = 400) {
    return d.RunUntil("mode " + std::to_string(mode),
                      [mode](const ProgramDriver&) { return CTamvikGeneral::GetMode() == mode; },
                      limit);
  }
  // Starts the program (once) and parks the manager, then enters mode 21.
  void EnterMinigame() {
    if (!started) {
      ASSERT_TRUE(d.Start());
    }
    started = true;
    CTamvikGeneral::SetMode(10);
    ASSERT_TRUE(d.Step());
    CTamvikGeneral::SetMode(21);
  }

  ProgramDriver d;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  int game = 3;
  bool started = false;
};

TEST_F(Handover, TheResultReachesA0ByTheMinigameMode) {
  for (int byte40 : {0, 1}) {
    SCOPED_TRACE(byte40);
    int steps = 0;
    bool finish = false;
    WriteOd(3);
    minigame.games[3].proc = [&](int) {
      ++steps;
      if (!finish) return 1;
      mg_var_set(2, 5);
      mg_var_set(9, 7);
      return 0;
    };
    EnterMinigame();
    GetAdvState()->setMinigameMode(static_cast<uint8_t>(byte40));
    ASSERT_TRUE(RunToMode(22));
    EXPECT_EQ(mg_var_get(3), byte40) << "mode 21 passes ADV state byte 40";
    EXPECT_NE(Ctx().game_task.FindTask("mg_task"), nullptr);
    ASSERT_TRUE(d.Run(5));
    EXPECT_EQ(CTamvikGeneral::GetMode(), 22) << "waits while the minigame runs";
    EXPECT_GT(steps, 0);
    finish = true;
    ASSERT_TRUE(RunToMode(23, 20));
    EXPECT_EQ(Ctx().game_task.FindTask("mg_task"), nullptr);
    ASSERT_TRUE(RunToMode(32, 5));
    ASSERT_TRUE(d.Step());
    EXPECT_EQ(GetMacroA(0), byte40 == 0 ? 5 : 7);
  }
}

TEST_F(Handover, AGameOutsideTheTableIsSkipped) {
  game = 16;
  EnterMinigame();
  ASSERT_TRUE(RunToMode(23, 100));
  EXPECT_TRUE(d.trace().Contains("MiniGame is not Installed and Skip"));
  EXPECT_EQ(MiniGameIsRunning(), 0);
}

TEST_F(Handover, AMissingOdEndsOnTheFirstStepAndTheStoryGoesOn) {
  game = 5;  // no od file written
  EnterMinigame();
  ASSERT_TRUE(RunToMode(22, 100));
  ASSERT_TRUE(RunToMode(23, 10));
  EXPECT_EQ(MiniGameIsRunning(), 0);
  EXPECT_EQ(std::string(mg_end_reason()), "mg_obj_create");
  ASSERT_TRUE(RunToMode(32, 5));
}

// The swimming game's own procedure (row 1) with its od file missing: result 0, the story goes on.
TEST_F(Handover, TheSwimmingGameWithoutItsOdGivesResult0) {
  game = 1;
  minigame.vars[2] = 2;
  EnterMinigame();
  ASSERT_TRUE(RunToMode(22, 100));
  ASSERT_TRUE(RunToMode(23, 10));
  EXPECT_EQ(std::string(mg_end_reason()), "mg_obj_create");
  ASSERT_TRUE(RunToMode(32, 5));
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(GetMacroA(0), 0);
}

TEST_F(Handover, AFreshStartClearsTheLastResult) {
  WriteOd(3);
  minigame.games[3].proc = [](int) { return 1; };
  minigame.vars[2] = 9;
  minigame.vars[9] = 9;
  minigame.vars[1] = 9;
  EnterMinigame();
  ASSERT_TRUE(RunToMode(22));
  EXPECT_EQ(mg_var_get(1), 0);
  EXPECT_EQ(MiniGameResult(), 0);
}

TEST_F(Handover, TheTitlesMinigameEntersAtMode22) {
  WriteOd(4);
  minigame.games[4].proc = [](int) { return 1; };
  ASSERT_TRUE(d.Start());
  CTamvikGeneral::SetMode(10);
  ASSERT_TRUE(d.Step());
  d.sequences().title_result = [] { return 7; };
  CTamvikGeneral::SetMode(4);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 22);
  EXPECT_EQ(MiniGameIsRunning(), 1);
  EXPECT_EQ(mg_var_get(0), 4);
  EXPECT_EQ(mg_var_get(3), 0);
}

// The rankings are kept in save\minigame.dat from one run of a game to the next.
TEST_F(Handover, RankingsSurviveInMinigameDat) {
  game = 2;
  WriteOd(2);
  minigame.games[2].proc = [](int) { return 1; };
  EnterMinigame();
  ASSERT_TRUE(RunToMode(22));
  ASSERT_TRUE(d.Step());
  mg_rank_reset();
  mg_rank_insert(2500);
  MiniGameEnd();
  EXPECT_TRUE(d.tree.Exists("install/save/minigame.dat"));
  minigame.vars.fill(0);
  ASSERT_TRUE(RunToMode(23, 10));
  CTamvikGeneral::SetMode(10);
  ASSERT_TRUE(d.Step());
  CTamvikGeneral::SetMode(21);
  ASSERT_TRUE(RunToMode(22));
  EXPECT_EQ(mg_rank_get(0), 3000);
  EXPECT_EQ(mg_rank_get(1), 2500);
  EXPECT_EQ(mg_rank_get(2), 2000);
}

}  // namespace
