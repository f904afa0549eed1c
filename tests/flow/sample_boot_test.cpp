// The whole program on the sample install directory (tools/make_sample_data, written into the
// build tree at build time): boot to a scene and back, the load road, a new game to the quit, with
// the real wiring of the composition root on the shared program driver (testsupport/sample_road.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "game/system_data.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_omake.h"
#include "flow/tamvik_option.h"
#include "minigames/minigame_context.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_lips.h"
#include "testsupport/sample_data.h"
#include "testsupport/battle_script.h"
#include "testsupport/sample_road.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProgramDriver;
using testsupport::SampleRoad;

TEST(SampleBoot, BootsToTheExtraSceneAndBackToTheTitle) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  ASSERT_TRUE(run.BootToTitleMenu());
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4}));
  run.ChooseRow(2);  // new game, continue, extra scenario
  ASSERT_TRUE(run.PlaySceneToTitle());
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_NE(fs::last_write_time(run.system_dat), run.system_dat_time);  // stage clear
  EXPECT_TRUE(run.Opened("0002.wav"));  // the second message's voice
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

TEST(SampleBoot, ContinueLoadsSlotOneIntoTheSameSceneAndBack) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(1);  // continue
  const auto sub_step = [] {
    GameTaskRec* t = Ctx().game_task.FindTask(CTamvikBup::kSaveMenuName);
    return t != nullptr ? static_cast<SaveMenuExtra*>(t->extra)->subStep : -1;
  };
  ASSERT_TRUE(run.d.RunUntil("the slot list", [&](const ProgramDriver&) { return sub_step() == 2; },
                             300));
  run.Press(kGameKey0);  // slot 1
  ASSERT_TRUE(run.d.RunUntil("the question", [&](const ProgramDriver&) { return sub_step() == 12; },
                             60));
  run.Press(kGameKey0);  // "是"
  ASSERT_TRUE(run.PlaySceneToTitle());
  const std::vector<int> tail(run.modes.begin() + 9, run.modes.end());
  EXPECT_EQ(tail, (std::vector<int>{37, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

TEST(SampleBoot, ANewGameTypesItsFirstMessageAndTheOptionsQuitTheProgram) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(0);  // new game
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.UntilOpened("0003.wav", 300));  // the first message's voice
  run.d.Run(30);
  ASSERT_TRUE(run.UntilShown("new game message", testsupport::SampleWindowColour(), 600));
  const auto option = [] { return Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName); };
  // The menu key counts once the voice has ended.
  ASSERT_TRUE(run.PressUntil(kGameKey3, "the options", [&option] { return option() != nullptr; },
                             600, 30));
  const auto file_choice = [&option] {
    GameTaskRec* t = option();
    return t != nullptr ? static_cast<CTamvikOption::OptionState*>(t->extra)->fileChoice : -1;
  };
  run.d.Run(20);  // the window opens
  ASSERT_TRUE(run.PressUntil(kGameKeyRight, "\" 遊戲結束 \"", [&] { return file_choice() == 2; },
                             60, 4));
  run.Press(kGameKey0);
  ASSERT_TRUE(run.d.RunUntil(
      "the question", [](const ProgramDriver&) {
        return Ctx().game_task.FindTask(CTamvikOption::kExitSeqName) != nullptr;
      },
      60));
  run.d.Run(20);
  run.Press(kGameKeyLeft);  // "是"
  run.d.Run(4);
  run.Press(kGameKey0);
  ASSERT_TRUE(run.d.RunToEnd(200));
  EXPECT_EQ(run.d.exit_code, 0);
  EXPECT_TRUE(run.d.host_window().boxes.empty());
}

// ---- The extras through the extra scene's choice ----

GameTaskRec* SoundTestTask() { return Ctx().game_task.FindTask(CTamvikOmake::kSoundTestName); }
// Byte 1 of the screen's work block is its step; 2 the list.
int SoundTestStep() {
  GameTaskRec* t = SoundTestTask();
  return t != nullptr ? static_cast<const uint8_t*>(t->work)[1] : -1;
}

// From the title to the extra scene's second choice, line `test` confirmed (1 movie, 2 sound,
// 3 picture).
bool OpenExtrasTest(SampleRoad& run, int test) {
  if (!run.BootToTitleMenu()) return false;
  run.ChooseRow(2);  // the extra scenario
  if (!run.UntilMode(30, 300) || !run.UntilOpened("0001.wav", 300)) return false;
  if (!run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); }, 1500,
                      30)) {
    return false;
  }
  return run.Choose("\"看特典\"", 2) && run.Choose("the test", test);
}

TEST(SampleBoot, TheExtraScenesChoiceOpensTheSoundTestAndCancelEndsTheScene) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  ASSERT_TRUE(OpenExtrasTest(run, 2));
  ASSERT_TRUE(run.d.RunUntil("the sound list", [](const ProgramDriver&) { return SoundTestStep() == 2; },
                             300));
  EXPECT_TRUE(run.Opened("omksnd_w.spr"));
  EXPECT_TRUE(run.Opened("omake3.spr"));
  EXPECT_EQ(run.Mode(), 30);  // the extras run inside the scene
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKey0);  // the second entry: sm02
  ASSERT_TRUE(run.UntilOpened("sm02.wav", 200));
  ASSERT_TRUE(run.PressUntil(kGameKey1, "the sound test left",
                             [] { return SoundTestTask() == nullptr; }, 200, 8));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the title again", [&run] { return run.Mode() == 4; }, 900,
                             30));
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

TEST(SampleBoot, ThePictureTestShowsTheFirstPictureWithItsIcons) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(OpenExtrasTest(run, 3));
  const auto pic_test = [] { return Ctx().game_task.FindTask(CTamvikOmake::kPicTestName); };
  ASSERT_TRUE(run.d.RunUntil("the picture grid", [&](const ProgramDriver&) {
    return pic_test() != nullptr && static_cast<const uint8_t*>(pic_test()->work)[1] == 2;
  }, 300));
  EXPECT_TRUE(run.Opened("buro_w.spr"));
  EXPECT_TRUE(run.Opened("buroicon.spr"));
  EXPECT_TRUE(run.Opened("omake2.spr"));
  // The first cell holds picture 1: a move onto it, then decide.
  for (int i = 0; i < 4 && !run.Opened("buro01.spr"); ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(4);
    run.Press(kGameKey0);
    run.d.Run(8);
  }
  EXPECT_TRUE(run.Opened("buro01.spr"));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  EXPECT_EQ(run.NotFound(), std::vector<std::string>{});
}

// ---- A minigame from the new game's choice ----

TEST(SampleBoot, TheNewGamesChoicePlaysTheSwimmingGameAndTheSceneGoesOn) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(0);  // new game
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
  ASSERT_TRUE(run.Choose("the minigames", 1));
  ASSERT_TRUE(run.Choose("the first group", 1));
  ASSERT_TRUE(run.Choose("the swimming game", 1));
  ASSERT_TRUE(run.UntilMode(22, 300));
  // The swimming game itself runs (its row's procedure is in place, its od file read).
  ASSERT_TRUE(run.d.RunUntil("the swim's set-up", [](const ProgramDriver&) {
    return HasMinigame() && Minigame().swim.obstacle_count > 0;
  }, 600));
  // With no input the swim's time runs out and the game ends on its own.
  ASSERT_TRUE(run.UntilMode(30, 6000));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice again", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 33, 21, 22, 23, 32,
                                         29, 30}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  for (const std::string& missing : run.NotFound()) ADD_FAILURE() << missing;
}

// ---- The new game's battle ----

// The first choice's second line ends the scene in its FIGHT: past the offer to save, the
// manager starts the builder's dressed battle from the sample's own files (none missing), and
// the input script wins it; the manager goes on to the stage clear's offer to save, then to the
// scene after the battle, which leads through the extras scene back to the title.
TEST(SampleBoot, TheNewGamesBattleIsWonByTheInputScriptAndTheRoadEndsAtTheTitle) {
  const ScopedBattleInstaller victory(&testsupport::BattleScript::InstallVictoryCheck);
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(0);  // new game
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
  ASSERT_TRUE(run.Choose("the battle", 2));
  // The offer to save before the battle: go on.
  ASSERT_TRUE(run.AnswerTheSaveOffer(2));
  ASSERT_TRUE(run.d.RunUntil("the battle mode", [&run](const ProgramDriver&) {
    return run.Mode() == 27;
  }, 3000)) << ::testing::PrintToString(run.modes);
  ASSERT_TRUE(run.d.RunUntil(testsupport::TraceContains("SLG INIT END"), 600));
  EXPECT_EQ(Battle().state.unit_count, 2);
  // Won by the input script: the hero walks beside the ASHIGARU and attacks until it falls (the
  // attacks end at once until the kinds' effects exist); with no enemy left the victory rule
  // (installed as the event check before the battle) starts the victory, and the manager goes
  // on to the stage clear.
  ASSERT_TRUE(run.WinTheBattle(3000));
  ASSERT_TRUE(run.UntilMode(35, 300)) << ::testing::PrintToString(run.modes);
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  // The stage clear's offer to save: go on. The scene after the battle says its two messages and
  // goes on to the extras scene; decide through it (its choice's first line ends it) until the
  // title is back.
  ASSERT_TRUE(run.AnswerTheSaveOffer(2));
  ASSERT_TRUE(run.d.RunUntil(testsupport::TraceContains("scene=0100 next=0101"), 600));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the title again", [&run] { return run.Mode() == 4; },
                             3000, 30))
      << ::testing::PrintToString(run.modes);
  EXPECT_EQ(GetAdvState()->sceneCode(), testsupport::kSampleExtraScene);
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 31, 34, 36, 38,
                                         26, 27, 28, 32, 35, 36, 38, 29, 30, 32, 3, 4}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  for (const std::string& missing : run.NotFound()) ADD_FAILURE() << missing;
}

}  // namespace
