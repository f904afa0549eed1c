// The sample install as a person meets it, headless on the composition root's wiring
// (testsupport/sample_road.h): the whole road from the maker logo through the opening and its
// captions, the title, a new game, a minigame of the story, the battle with a save before it,
// the extras and back to the title, then the save loaded, the options and the quit; the extras'
// free play to a ranking; the card match as the story offers it. Every road ends with no traced
// line of a file missing, cut or failing, and writes a picture of each stage it passes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_face.h"
#include "battle/slg_status_win.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_omake.h"
#include "flow/tamvik_open.h"
#include "game/system_data.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/minigame_context.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/sample_data.h"
#include "testsupport/sample_road.h"

namespace {

using testsupport::ProgramDriver;
using testsupport::SampleRoad;

constexpr int kFrameMs = static_cast<int>(SampleRoad::kFrameMs);

// The opening's caption pairs 1-14 (sprite, end frame at 60 a second; a caption shows from the
// previous pair's end to its own) and the captions' x (twice the table's entry), y 384.
struct CaptionPair {
  int sprite;
  int end;
};
constexpr CaptionPair kCaptionPairs[16] = {
    {255, 1200}, {0, 1410}, {1, 1612}, {2, 1800},  {3, 2010},  {4, 2220},  {5, 2416}, {6, 2610},
    {7, 2872},   {8, 3270}, {9, 3510}, {10, 3670}, {8, 4070}, {9, 4304}, {10, 4620}, {255, 0},
};
constexpr int kCaptionX[17] = {104, 80, 96, 88, 104, 104, 96, 88, 72,
                               89,  88, 80, 96, 88,  104, 96, 104};

// The slot list open (load or save form): slot `slot` chosen and the question answered yes.
bool ChooseSlot(SampleRoad& run, int slot) {
  if (!run.UntilSlotMenuSubStep("the slot list", 2, 300)) {
    return false;
  }
  for (int i = 1; i < slot; ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(6);
  }
  run.Press(kGameKey0);
  if (!run.UntilSlotMenuSubStep("the question", 12, 60)) {
    return false;
  }
  run.Press(kGameKey0);  // "是"
  return true;
}

void ExpectNoTraceFaults(SampleRoad& run) {
  for (const std::string& line : run.TraceFaults()) ADD_FAILURE() << "traced: " << line;
  EXPECT_TRUE(run.d.host_window().boxes.empty());
}

// Boot, through the opening to its end: the captions at their times.
void WatchTheOpening(SampleRoad& run) {
  ASSERT_TRUE(run.d.Start());
  ASSERT_TRUE(
      run.UntilShown("staff card with the maker logo", testsupport::SampleLogoColour(), 900));
  ASSERT_TRUE(run.UntilMode(6, 2500));
  ASSERT_TRUE(run.UntilShown("opening", SampleRoad::kMovieRedRef, 100));
  const int start = run.d.frame();
  const auto at_ms = [&run, start](int ms) {
    const int frame = start + ms / kFrameMs;
    if (run.d.frame() < frame) run.d.Run(frame - run.d.frame());
  };
  // Before the first caption's time nothing is in the caption row.
  at_ms(19000);
  for (int x = 144; x < 600; x += 16) {
    ASSERT_FALSE(run.ShownAt(x, 390, testsupport::SampleCaptionColour())) << "x " << x;
  }
  for (int pair = 1; pair <= 14; ++pair) {
    // Half way between the caption's start and end (both as frames at 60 a second).
    const int from = kCaptionPairs[pair - 1].end * 1000 / 60;
    const int to = kCaptionPairs[pair].end * 1000 / 60;
    at_ms((from + to) / 2);
    const int x = 2 * kCaptionX[kCaptionPairs[pair].sprite];
    EXPECT_TRUE(run.ShownAt(x + 4, 386, testsupport::SampleCaptionColour()))
        << "caption pair " << pair << " at " << (from + to) / 2 << " ms";
    if (pair == 1) run.SaveFrame("opening caption");
  }
  ASSERT_TRUE(run.UntilMode(4, 200));
}

// The title: the prompt and the logo at their places, then the menu with its whole picture.
void CheckTheTitle(SampleRoad& run) {
  ASSERT_TRUE(run.d.RunUntil("the start prompt", [&run](const ProgramDriver&) {
    return run.TitleStep() == CTamvikOpen::kStartPrompt;
  }, 1200));
  run.d.Run(10);
  const testsupport::SampleBox prompt = testsupport::kSamplePromptBox;
  const testsupport::SampleBox logo = testsupport::kSampleLogoBox;
  ASSERT_TRUE(run.d.RunUntil("the prompt shown", [&run, prompt](const ProgramDriver&) {
    for (int x = prompt.x; x < prompt.x + prompt.w; ++x) {
      if (run.ShownAt(x, prompt.y + prompt.h / 2, testsupport::SamplePromptColour())) return true;
    }
    return false;
  }, 120));
  run.SaveFrame("title");
  EXPECT_TRUE(run.ShownAt(logo.x + 2, logo.y + 2, testsupport::SampleLogoFrameColour()));
  EXPECT_TRUE(run.ShownAt(logo.x + logo.w - 3, logo.y + logo.h - 3,
                          testsupport::SampleLogoFrameColour()));
  ASSERT_TRUE(run.PressUntil(
      kGameKey3, "the menu", [&run] { return run.TitleStep() == CTamvikOpen::kMenuLoop; }, 300,
      20));
  run.d.Run(20);  // the window opens
  ASSERT_TRUE(run.UntilShown("title menu", testsupport::SampleMenuColour(), 10));
  // The menu's picture fills the window (112,88)-(528,392): its gold frame at both corners.
  EXPECT_TRUE(run.ShownAt(114, 90, testsupport::SampleLogoFrameColour()));
  EXPECT_TRUE(run.ShownAt(525, 389, testsupport::SampleLogoFrameColour()));
}

// The new game's scene to its choice of minigames or the battle.
void ToTheNewGamesChoice(SampleRoad& run) {
  ASSERT_TRUE(run.StartANewGame("scene message"));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
}

TEST(SampleRoadTest, FromTheLogoThroughAMinigameTheBattleAndTheExtrasToALoadAndTheQuit) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  const testsupport::ScopedEventTable victory(testsupport::kVictoryEvents, &run.d);
  WatchTheOpening(run);
  if (HasFatalFailure()) return;
  CheckTheTitle(run);
  if (HasFatalFailure()) return;
  ToTheNewGamesChoice(run);
  if (HasFatalFailure()) return;

  // A minigame of the story: the swimming game, its time running out.
  ASSERT_TRUE(run.Choose("the minigames", 1));
  ASSERT_TRUE(run.Choose("the first group", 1));
  ASSERT_TRUE(run.Choose("the swimming game", 1));
  ASSERT_TRUE(run.UntilMode(22, 300));
  ASSERT_TRUE(run.UntilMode(30, 6000));

  // The battle, saved into slot 2 before it.
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice again", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
  ASSERT_TRUE(run.Choose("the battle", 2));
  ASSERT_TRUE(run.AnswerTheSaveOffer(0));
  ASSERT_TRUE(ChooseSlot(run, 2));
  ASSERT_TRUE(run.UntilSlotMenuSubStep("the save made", 22, 600));  // its message
  run.d.Run(10);
  run.SaveFrame("saved");
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the slot list again",
                             [] { return SampleRoad::SlotMenuSubStep() == 2; }, 300, 20));
  ASSERT_TRUE(run.PressUntil(kGameKey1, "the slot menu closed",
                             [] { return SampleRoad::SlotMenuSubStep() == -1; }, 300, 20));
  ASSERT_TRUE(run.AnswerTheSaveOffer(2));
  ASSERT_TRUE(run.UntilMode(27, 3000));
  ASSERT_TRUE(run.d.RunUntil(testsupport::TraceContains("SLG INIT END"), 600));
  // The command window opened on the hero, then left with cancel.
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the command window",
                             [] { return HasBattle() && Battle().phase_sub == 3; }, 900, 30));
  run.d.Run(10);
  run.SaveFrame("battle command window");
  // Its fourth column's lowest entry, the unit browsing: the status window of the unit under the
  // pointer.
  ASSERT_TRUE(run.PressUntil(kGameKeyRight, "the fourth column",
                             [] { return Battle().comm_win.sel == 3; }, 60, 4));
  ASSERT_TRUE(run.PressUntil(kGameKeyDown, "the browsing entry",
                             [] { return Battle().comm_win.record.sub_sel[3] == 2; }, 60, 4));
  run.d.Run(4);
  run.SaveFrame("battle command window column");
  run.Press(kGameKey0);
  run.d.Run(30);
  ASSERT_TRUE(run.PressUntil(kGameKeyRight, "the cursor on the enemy",
                             [] { return Slg::PanelUnitAtCursor() == 1; }, 300, 2));
  ASSERT_TRUE(run.d.RunUntil("the status window", [](const ProgramDriver&) {
    return Battle().player.browse.status_step == 2;
  }, 300));
  run.d.Run(4);
  run.SaveFrame("battle status window");
  ASSERT_TRUE(run.PressUntil(kGameKey1, "the browsing left",
                             [] { return Battle().player.browse.status_step == 5; }, 300, 20));
  // A battle message (the stage's first), as the events show one: typed dark on the window's
  // light shade, the hero's face beside it; the fast key ends it (OK would also choose in the
  // command window under it).
  int message_frames = 0;
  ASSERT_TRUE(run.d.RunUntil("the battle message read", [&](const ProgramDriver&) {
    if (Slg::FaceMessage(1, testsupport::BattleInstall::kMessageIds[0]) != 0) return true;
    if (++message_frames == 40) {
      run.SaveFrame("battle message");
      EXPECT_TRUE(run.LightAt(400, 420)) << "the message's shade";
    }
    if (message_frames > 40 && message_frames % 10 == 0) run.Press(kGameKey2);
    return false;
  }, 300));
  // Won by the input script: the hero walks beside the enemy and attacks until it falls; with no
  // enemy left the test's victory rule (installed before the battle) starts the victory, since
  // the stage's events are not the sample's yet.
  ASSERT_TRUE(run.WinTheBattle(3000));
  EXPECT_TRUE(run.attack_routines.contains("KadrunNormal") ||
              run.attack_routines.contains("KadrunCritical"))
      << ::testing::PrintToString(run.attack_routines);
  ASSERT_TRUE(run.AnswerTheSaveOffer(2));

  // The scene after the battle, then the extras scene: its sound test, then its end.
  ASSERT_TRUE(run.PressUntil(
      kGameKey0, "the extras' choice", [] { return SampleRoad::ChoiceOpen(); }, 3000, 30));
  run.SaveFrame("extras choice");
  ASSERT_TRUE(run.Choose("\"看特典\"", 2));
  ASSERT_TRUE(run.Choose("the sound test", 2));
  ASSERT_TRUE(run.UntilOpened("omksnd_w.spr", 300));
  run.d.Run(60);
  run.SaveFrame("extras sound test");
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKey0);  // sm02
  ASSERT_TRUE(run.UntilOpened("sm02.wav", 200));
  ASSERT_TRUE(run.PressUntil(kGameKey1, "the sound test left", [] {
    return Ctx().game_task.FindTask(CTamvikOmake::kSoundTestName) == nullptr;
  }, 200, 8));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the title again", [&run] { return run.Mode() == 4; }, 900,
                             30));

  // Continue: slot 2 loaded; the options from the loaded game's battle, and the quit.
  ASSERT_TRUE(run.PressUntil(
      kGameKey3, "the menu again", [&run] { return run.TitleStep() == CTamvikOpen::kMenuLoop; },
      1200, 20));
  run.d.Run(20);
  run.ChooseRow(1);  // continue
  ASSERT_TRUE(ChooseSlot(run, 2));
  ASSERT_TRUE(run.UntilMode(37, 300)) << ::testing::PrintToString(run.modes);
  ASSERT_TRUE(run.UntilMode(27, 3000)) << ::testing::PrintToString(run.modes);
  ASSERT_TRUE(run.d.RunUntil(testsupport::TraceContains("SLG INIT END"), 600));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the command window again",
                             [] { return HasBattle() && Battle().phase_sub == 3; }, 900, 30));
  run.d.Run(10);
  run.Press(kGameKey3);  // the system menu, on its second item: the options
  run.d.Run(30);
  run.SaveFrame("battle system menu");
  run.Press(kGameKey0);
  ASSERT_TRUE(run.d.RunUntil("the options", [](const ProgramDriver&) {
    return SampleRoad::OptionMenuOpen();
  }, 200));
  run.d.Run(30);
  run.SaveFrame("options");
  ASSERT_TRUE(run.QuitThroughTheOptions(300));
  EXPECT_EQ(run.d.exit_code, 0);
  ExpectNoTraceFaults(run);
}

// The story's card match starts as offered, not as the tutorial, although the choice's answer
// (which the match reads as its tutorial request) is 1 when it is chosen.
TEST(SampleRoadTest, TheStorysCardMatchStartsAsOfferedNotAsTheTutorial) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(run.BootToTitleMenu());
  ToTheNewGamesChoice(run);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(run.Choose("the minigames", 1));
  ASSERT_TRUE(run.Choose("the cards' group", 3));
  ASSERT_TRUE(run.Choose("the card match", 1));
  ASSERT_TRUE(run.d.RunUntil("the card game", [](const ProgramDriver&) {
    return HasMinigame() && mg_is_running() != 0 && Minigame().fw.state == mg::kStateRunning &&
           Minigame().hana.play.step > 0;
  }, 900));
  EXPECT_EQ(mg_var_get(0), 4);
  EXPECT_EQ(Minigame().hana.play.mode, mg::kModeStory);
  EXPECT_EQ(Minigame().hana.play.tutorial, 0);
  ExpectNoTraceFaults(run);
}

// The cards' group offers the match and the hub only: not the test entry, which never ends and
// has no menu, so that only closing the window would leave it.
TEST(SampleRoadTest, TheCardsGroupOffersTheMatchAndTheHubOnly) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  ASSERT_TRUE(run.BootToTitleMenu());
  ToTheNewGamesChoice(run);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(run.Choose("the minigames", 1));
  ASSERT_TRUE(run.d.RunUntil("the cards' group", [](const ProgramDriver&) {
    return SampleRoad::ChoiceOpen();
  }, 600));
  run.d.Run(16);
  std::vector<int> lines{SampleRoad::ChoiceLine()};
  for (int i = 0; i < 3; ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(4);
    lines.push_back(SampleRoad::ChoiceLine());
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 1}));  // the group choice: three groups
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKeyDown);
  run.d.Run(4);
  run.Press(kGameKey0);  // the third group, the cards
  ASSERT_TRUE(run.d.RunUntil("the group closed", [](const ProgramDriver&) {
    return !SampleRoad::ChoiceOpen();
  }, 300));
  ASSERT_TRUE(run.d.RunUntil("the cards' choice", [](const ProgramDriver&) {
    return SampleRoad::ChoiceOpen();
  }, 600));
  run.d.Run(16);
  lines = {SampleRoad::ChoiceLine()};
  for (int i = 0; i < 2; ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(4);
    lines.push_back(SampleRoad::ChoiceLine());
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 1}));  // the match and the hub, nothing more
}

// The extras scene's free play: a game from the extras plays with the common menu and ends on
// its ranking; the menu's quit goes back to the scene, whose choice ends it at the title.
TEST(SampleRoadTest, TheExtrasPlayAGameFreelyToItsRankingAndBack) {
  SampleRoad run(TAMVIK_SAMPLE_DIR);
  ASSERT_TRUE(run.BootToTitleMenu());
  run.ChooseRow(2);  // the extra scenario
  ASSERT_TRUE(run.UntilMode(30, 300));
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); }, 1500,
                             30));
  ASSERT_TRUE(run.Choose("the minigames", 3));
  ASSERT_TRUE(run.Choose("the second group", 2));
  ASSERT_TRUE(run.Choose("the lost child", 2));
  ASSERT_TRUE(run.d.RunUntil("the free play's menu", [](const ProgramDriver&) {
    return HasMinigame() && mg_is_running() != 0 && mg_var_get(3) == mg::kModeFreePlay &&
           Minigame().menu.step == 10011;
  }, 900));
  run.SaveFrame("free play menu");
  // Start; then every pick on the first child left, until the lives run out and the result shows.
  ASSERT_TRUE(run.PressUntil(
      kGameKey0, "the ranking",
      [] {
        return HasMinigame() && Minigame().menu.phase == mg::kPhaseResult &&
               Minigame().menu.step == 10011;
      },
      12000, 20));
  run.d.Run(10);
  run.SaveFrame("free play ranking");
  EXPECT_EQ(mg_obj_get_anim(211), 400);  // the best three shown
  // The result's items: retry, quit, reset; quit leaves the game.
  ASSERT_TRUE(run.PressUntil(
      kGameKeyDown, "quit", [] { return mg_cursor_get() == mg::kChoiceQuit; }, 60, 6));
  run.Press(kGameKey0);
  ASSERT_TRUE(run.UntilMode(30, 600)) << ::testing::PrintToString(run.modes);
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice again", [] { return SampleRoad::ChoiceOpen(); },
                             1500, 30));
  ASSERT_TRUE(run.Choose("the end", 1));
  ASSERT_TRUE(run.UntilMode(4, 900)) << ::testing::PrintToString(run.modes);
  ExpectNoTraceFaults(run);
}

}  // namespace
