// The whole program on the sample install directory (tools/make_sample_data, written into the
// build tree at build time): boot to a scene and back, the load road, a new game to the quit, with
// the real wiring of the composition root on the shared program driver (testsupport/sample_road.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_turn.h"
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

// A damaged scene script or message table of the install: the scene that meets it names the file
// and the cause in its box, the title comes back and takes the player again, and the player's
// saves stay as they were.
TEST(SampleBoot, ADamagedSceneFileNamesItselfAndTheTitleComesBack) {
  const struct {
    const char* name;
    const char* file;  // under the install directory
    int row;           // of the title menu: 0 new game, 2 the extra scenario
    std::string bytes;
    const char* named;
  } cases[] = {
      {"the extra scene's script cut inside its first command", "Macro/0109.bin", 2,
       std::string("\x00\x31", 2), "Macro\\0109.bin word 1: read past the end of the script"},
      {"the extra scene's script of noise", "Macro/0109.bin", 2, std::string(64, '\x77'),
       "Macro\\0109.bin word 1: unknown command class (119)"},
      {"the extra scene's table emptied", "Macro/0109tbl.bin", 2, "",
       "Macro\\0109tbl.bin holds 0 bytes, less than its head"},
      {"the new game's script emptied", "Macro/0100.bin", 0, "",
       "Macro\\0100.bin word 0: read past the end of the script"},
      {"the new game's table with its directory past its end", "Macro/0100tbl.bin", 0,
       std::string("\x7F\xFF\x00\x02", 4), "Macro\\0100tbl.bin has a head that does not fit it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SampleRoad run(TAMVIK_SAMPLE_DIR, "");
    run.d.tree.Write(std::string("install/") + c.file, c.bytes);
    const fs::path slot = fs::path(run.d.tree.Path("install")) / "save" / "data1.sav";
    const std::string slot_bytes = run.d.tree.Read("install/save/data1.sav");
    const auto slot_time = fs::last_write_time(slot);
    const std::string system_bytes = run.d.tree.Read("install/save/system.dat");
    ASSERT_TRUE(run.BootToTitleMenu());
    run.ChooseRow(c.row);
    ASSERT_TRUE(run.UntilMode(30, 300));
    ASSERT_TRUE(run.UntilMode(4, 300));
    run.d.Run(1);
    const std::vector<int> tail(run.modes.begin() + 9, run.modes.end());
    EXPECT_EQ(tail, (std::vector<int>{29, 30, 3, 4}));
    const auto& boxes = run.d.host_window().boxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_NE(boxes[0].text.find(c.named), std::string::npos) << boxes[0].text;
    // The title takes the player again, and nothing was saved.
    ASSERT_TRUE(run.UntilShown("title after a damaged scene", testsupport::SampleTitleColour(), 600));
    EXPECT_EQ(run.d.tree.Read("install/save/data1.sav"), slot_bytes);
    EXPECT_EQ(fs::last_write_time(slot), slot_time);
    EXPECT_EQ(run.d.tree.Read("install/save/system.dat"), system_bytes);
    EXPECT_EQ(fs::last_write_time(run.system_dat), run.system_dat_time);
  }
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

GameTaskRec* LipsTask() { return Ctx().game_task.FindTask(CTamvikLips::kTaskName); }
int LipsLine() {
  GameTaskRec* t = LipsTask();
  return t != nullptr ? static_cast<LipsWork*>(t->extra)->current : -1;
}
GameTaskRec* SoundTestTask() { return Ctx().game_task.FindTask(CTamvikOmake::kSoundTestName); }
// Byte 1 of the screen's work block is its step; 2 the list.
int SoundTestStep() {
  GameTaskRec* t = SoundTestTask();
  return t != nullptr ? static_cast<const uint8_t*>(t->work)[1] : -1;
}

// The choice on screen, line `line` (1-based) highlighted by the down key and confirmed; true
// once the choice has ended.
bool Choose(SampleRoad& run, const std::string& name, int line) {
  if (!run.d.RunUntil(name, [](const ProgramDriver&) { return LipsTask() != nullptr; }, 600)) {
    return false;
  }
  run.d.Run(16);  // the window opens
  if (LipsLine() != line &&
      !run.PressUntil(kGameKeyDown, name + " line " + std::to_string(line),
                      [line] { return LipsLine() == line; }, 60, 4)) {
    return false;
  }
  run.Press(kGameKey0);
  return run.d.RunUntil(name + " ended", [](const ProgramDriver&) { return LipsTask() == nullptr; },
                        300);
}

// From the title to the extra scene's second choice, line `test` confirmed (1 movie, 2 sound,
// 3 picture).
bool OpenExtrasTest(SampleRoad& run, int test) {
  if (!run.BootToTitleMenu()) return false;
  run.ChooseRow(2);  // the extra scenario
  if (!run.UntilMode(30, 300) || !run.UntilOpened("0001.wav", 300)) return false;
  if (!run.PressUntil(kGameKey0, "the choice", [] { return LipsTask() != nullptr; }, 1500, 30)) {
    return false;
  }
  return Choose(run, "\"看特典\"", 2) && Choose(run, "the test", test);
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
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return LipsTask() != nullptr; }, 1500, 30));
  ASSERT_TRUE(Choose(run, "the minigames", 1));
  ASSERT_TRUE(Choose(run, "the first group", 1));
  ASSERT_TRUE(Choose(run, "the swimming game", 1));
  ASSERT_TRUE(run.UntilMode(22, 300));
  // The swimming game itself runs (its row's procedure is in place, its od file read).
  ASSERT_TRUE(run.d.RunUntil("the swim's set-up", [](const ProgramDriver&) {
    return HasMinigame() && Minigame().swim.obstacle_count > 0;
  }, 600));
  // With no input the swim's time runs out and the game ends on its own.
  ASSERT_TRUE(run.UntilMode(30, 6000));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice again", [] { return LipsTask() != nullptr; },
                             1500, 30));
  EXPECT_EQ(run.modes, (std::vector<int>{0, 11, 12, 15, 16, 5, 6, 3, 4, 29, 30, 33, 21, 22, 23, 32,
                                         29, 30}));
  EXPECT_TRUE(run.d.host_window().boxes.empty());
  for (const std::string& missing : run.NotFound()) ADD_FAILURE() << missing;
}

// ---- The new game's battle ----

// The offer to save (its eyecatch's menu) answered with its third entry, go on; whether the
// offer ended.
bool GoOnPastTheSaveOffer(SampleRoad& run) {
  if (!run.d.RunUntil("the eyecatch", [](const ProgramDriver&) {
        return CTamvikIcat::IsIcat_SvCnt();
      }, 600)) {
    return false;
  }
  run.d.Run(120);  // the menu turns in
  for (int i = 0; i < 2; ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(8);
  }
  return run.PressUntil(kGameKey0, "the offer ended", [] { return !CTamvikIcat::IsIcat_SvCnt(); },
                        600, 30);
}

// The first choice's second line ends the scene in its FIGHT: past the offer to save, the
// manager starts the builder's dressed battle from the sample's own files (none missing), and
// the input script wins it; the manager goes on to the stage clear's offer to save, then to the
// scene after the battle, which leads through the extras scene back to the title.
TEST(SampleBoot, TheNewGamesBattleIsWonByTheInputScriptAndTheRoadEndsAtTheTitle) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(0);  // new game
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return LipsTask() != nullptr; }, 1500, 30));
  ASSERT_TRUE(Choose(run, "the battle", 2));
  // The offer to save before the battle: go on.
  ASSERT_TRUE(GoOnPastTheSaveOffer(run));
  ASSERT_TRUE(run.d.RunUntil("the battle mode", [&run](const ProgramDriver&) {
    return run.Mode() == 27;
  }, 3000)) << ::testing::PrintToString(run.modes);
  ASSERT_TRUE(run.d.RunUntil(testsupport::TraceContains("SLG INIT END"), 600));
  EXPECT_EQ(Battle().state.unit_count, 2);
  // Won by the input script: the hero walks beside the ASHIGARU and attacks until it falls (the
  // attacks end at once until the kinds' effects exist); with no enemy left the event check's
  // stand-in starts the victory, and the manager goes on to the stage clear.
  Battle().check_events_hook = [] {
    const SlgBattleState& st = Battle().state;
    for (int i = 0; i < st.unit_count; ++i) {
      if (st.units[static_cast<size_t>(i)].side != 0 &&
          st.units[static_cast<size_t>(i)].step != kSlgDeadStep) {
        return 0;
      }
    }
    if (Ctx().game_task.FindTask(kSlgGameWinTaskName) == nullptr) Slg::StartGameWin();
    return 0;
  };
  testsupport::BattleScript player(run.d);
  ASSERT_TRUE(run.d.RunUntil("the battle won", [&player](const ProgramDriver&) {
    if (!HasBattle() || Battle().control.exited != 0) return true;
    testsupport::BattleScript::InstallAttackStubs({0, 14});
    if (player.Ready()) player.HeroWalksAndAttacks({3, 9});
    return false;
  }, 3000));
  ASSERT_TRUE(run.UntilMode(35, 300)) << ::testing::PrintToString(run.modes);
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  // The stage clear's offer to save: go on. The scene after the battle says its two messages and
  // goes on to the extras scene; decide through it (its choice's first line ends it) until the
  // title is back.
  ASSERT_TRUE(GoOnPastTheSaveOffer(run));
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
