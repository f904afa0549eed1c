// The game-mode manager and the disc prompt, on the whole headless program with the stand-ins and
// fakes in the game's sequences.

#include "flow/tamvik_general.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/program_driver.h"
#include "testsupport/test_scene.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::ProgramDriver;

ProgramDriver::Options WithFakes() {
  ProgramDriver::Options options;
  options.wire_sequences = false;
  return options;
}

// A sequence fake: counts its starts and runs until the test ends it.
struct Fake {
  int starts = 0;
  bool running = false;
  int last_arg = -1;
  int started_at_mode = -1;
};

class Manager : public ::testing::Test {
 protected:
  Manager() : d(WithFakes()) { testsupport::FillManagerStandIns(d.sequences()); }

  void FakeScene() {
    d.sequences().scene.start = [this](GameTaskRec*) {
      ++scene.starts;
      scene.started_at_mode = CTamvikGeneral::GetMode();
    };
    d.sequences().scene_end = [this] { ++scene_ends; };
  }
  void FakeSaveOffer() {
    d.sequences().save_offer.start = [this](GameTaskRec*) { ++save_offer.starts; };
  }
  void FakeBattle() {
    d.sequences().battle.start = [this] { ++battle.starts; };
  }

  // Boots with the stand-ins (and any fakes set before) until the scene controller runs (it is
  // started in the frame after the one that set mode 30).
  void BootToStory() {
    ASSERT_TRUE(d.Start());
    ASSERT_TRUE(RunToMode(30));
    ASSERT_TRUE(d.Step());
  }
  bool RunToMode(int mode, int limit = 400) {
    return d.RunUntil("mode " + std::to_string(mode),
                      [mode](const ProgramDriver&) { return CTamvikGeneral::GetMode() == mode; },
                      limit);
  }
  // Parks the manager in a mode that waits for good.
  void Park() {
    CTamvikGeneral::SetMode(10);
    ASSERT_TRUE(d.Step());
  }
  // Sets the mode and runs one frame; the mode afterwards.
  int RunMode(int mode) {
    CTamvikGeneral::SetMode(mode);
    EXPECT_TRUE(d.Step());
    return CTamvikGeneral::GetMode();
  }
  std::vector<std::string> NextModeTraces() const {
    std::vector<std::string> out;
    for (const auto& line : d.trace().lines()) {
      const auto at = line.text.find("NextMode=");
      if (at != std::string::npos) out.push_back(line.text.substr(at + 9, line.text.find('\n') - at - 9));
    }
    return out;
  }
  void PutMusic(const std::string& rel) {
    d.tree.Write("install/" + rel,
                 testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050, 440, 8000))
                     .Bytes());
  }

  ProgramDriver d;
  Fake scene, save_offer, battle;
  int scene_ends = 0;
};

TEST_F(Manager, BootRoadReachesTheStoryThroughSaveCheckStaffCardOpeningAndTitle) {
  std::vector<std::string> starts;
  auto& s = d.sequences();
  auto save_check = s.save_check.start;
  s.save_check.start = [&, save_check](GameTaskRec* o) {
    starts.push_back("save check@" + std::to_string(CTamvikGeneral::GetMode()));
    save_check(o);
  };
  auto logo = s.logo.start;
  s.logo.start = [&, logo](GameTaskRec* o, int form) {
    starts.push_back("logo " + std::to_string(form) + "@" + std::to_string(CTamvikGeneral::GetMode()));
    logo(o, form);
  };
  auto opening = s.opening.start;
  s.opening.start = [&, opening](GameTaskRec* o) {
    starts.push_back("opening@" + std::to_string(CTamvikGeneral::GetMode()));
    opening(o);
  };
  auto title = s.title.start;
  s.title.start = [&, title](GameTaskRec* o) {
    starts.push_back("title@" + std::to_string(CTamvikGeneral::GetMode()));
    title(o);
  };
  FakeScene();
  BootToStory();
  EXPECT_EQ(starts, (std::vector<std::string>{"save check@11", "logo 1@15", "opening@5",
                                              "title@3"}));
  EXPECT_EQ(NextModeTraces(),
            (std::vector<std::string>{"DEFAULT", "GM_BUPCHK", "GM_MSTAFF", "GM_OPEN_0",
                                      "GM_TITLE", "GM_ADV_INIT", "GM_ADV_WAIT"}));
  ASSERT_TRUE(d.Run(5));
  EXPECT_EQ(scene.starts, 1);  // once, however long the scene runs
  EXPECT_EQ(scene.started_at_mode, 30);
  EXPECT_EQ(CTamvikGeneral::LastTitleResult(), 1u);
}

TEST(ManagerWiring, TheProgramGoesFromModeZeroToTheStorysSceneController) {
  ProgramDriver d;
  // The fast key held: the staff card's pictures pass at once (there are no picture files and
  // no opening movie here, so those run on their timers and end at once).
  d.host().input.caps_lock = true;
  // The start key pressed every 8 frames: through the title's intro and prompt to its menu's
  // first row, the new game.
  for (int f = 1; f < 600; f += 8) {
    d.Schedule({testsupport::GameKeyDown(f, kGameKey3), testsupport::GameKeyUp(f + 4, kGameKey3)});
  }
  ASSERT_TRUE(d.Start());
  EXPECT_TRUE(d.RunUntil(
      "mode 30", [](const ProgramDriver&) { return CTamvikGeneral::GetMode() == 30; }, 600));
  // The scene controller starts in the next frame, once, and waits.
  ASSERT_TRUE(d.Run(3));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 30);
  EXPECT_NE(Ctx().game_task.FindTask(CTamvikAdv::kAdvMainName), nullptr);
  EXPECT_TRUE(d.trace().Contains("ADVStart"));
}

TEST_F(Manager, WaitingModesHoldWhileTheirFadeRuns) {
  ASSERT_TRUE(d.Start());
  Park();
  const struct {
    int mode;
    bool cross_fade;  // else a screen fade
  } cases[] = {{3, true}, {5, true}, {11, true}, {15, true}, {21, false}, {46, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    if (c.cross_fade) {
      ASSERT_EQ(TamvikFunc::StartCrossFade(SURFACE_TEXT, 62), 1);
    } else {
      StartScreenFade(0, 256, 1000);
    }
    CTamvikGeneral::SetMode(c.mode);
    ASSERT_TRUE(d.Run(20));
    EXPECT_EQ(CTamvikGeneral::GetMode(), c.mode);
    ASSERT_TRUE(d.RunUntil("fade done", [](const ProgramDriver&) {
      return IsScreenFadeDone() && TamvikFunc::IsFadeDone();
    }, 120));
    ASSERT_TRUE(d.Step());
    EXPECT_NE(CTamvikGeneral::GetMode(), c.mode);
    Park();
  }
}

TEST_F(Manager, StartModeFollowsTheResumePointAndALostBattle) {
  ASSERT_TRUE(d.Start());
  SystemData* system = GetSystemData();
  const struct {
    uint32_t resume, activity, lost;
    int mode;
    const char* name;
  } cases[] = {
      {1, 0, 0, 1, "GM_ORBILE_LOGO_INIT"}, {2, 0, 0, 3, "GM_TITLE_INIT"},
      {4, 0, 0, 17, "GM_SOON_INIT"},       {5, 0, 0, 28, "GM_SLG_RET"},
      {6, 0, 0, 9, "GM_SCRTEST_INIT"},     {7, 0, 0, 23, "GM_MINIGAMERET"},
      {0, 0, 0, 11, "DEFAULT"},            {0x110, 0, 0, 11, "DEFAULT"},
      {5, 0x210, 1, 1, "GM_ORBILE_LOGO_INIT"}, {2, 0x211, 1, 1, "GM_ORBILE_LOGO_INIT"},
      {5, 0x210, 0, 28, "GM_SLG_RET"},     {5, 0x110, 1, 28, "GM_SLG_RET"},
  };
  for (const auto& c : cases) {
    system->setResumePoint(c.resume);
    system->setActivity(c.activity);
    system->setBattleLost(c.lost);
    EXPECT_EQ(CTamvikGeneral::GetStartMode(), c.mode) << c.resume << " " << c.activity;
    EXPECT_EQ(NextModeTraces().back(), c.name);
  }
}

TEST_F(Manager, ModeZeroTurnsReturnToTitleIntoTheTitleAndSkipMovieSkipsTheOpening) {
  ASSERT_TRUE(d.Start());
  Park();
  SystemData* system = GetSystemData();
  system->setResumePoint(0);
  system->setReturnToTitle(1);
  EXPECT_EQ(RunMode(0), 3);
  EXPECT_EQ(system->returnToTitle(), 0u);
  EXPECT_EQ(system->resumePoint(), 2u);

  Park();
  int openings = 0;
  d.sequences().opening.start = [&](GameTaskRec*) { ++openings; };
  system->setSkipMovie(1);
  EXPECT_EQ(RunMode(5), 3);
  EXPECT_EQ(openings, 0);
  system->setSkipMovie(0);
  Park();
  EXPECT_EQ(RunMode(5), 6);
  EXPECT_EQ(openings, 1);
}

TEST_F(Manager, TitleResultsChooseTheNextMode) {
  PutMusic("tamvik1/bgm/tezavi.wav");
  PutMusic("tamvik1/bgm/other.wav");
  int result = 0;
  int minigames = 0;
  ASSERT_TRUE(d.Start());
  d.sequences().title_result = [&] { return result; };
  d.sequences().minigame.start = [&](int game, int mode) {
    ++minigames;
    EXPECT_EQ(game, 4);
    EXPECT_EQ(mode, 0);
    return 1;
  };
  const struct {
    int result, mode;
    uint16_t scene;  // 0xFFFF: unchanged
    int byte10;
    bool music;  // the music plays afterwards
    bool title_music;
  } cases[] = {
      {1, 29, 0x0000, 1, true, false}, {2, 9, 0xFFFF, 1, true, false},
      {3, 4, 0xFFFF, 1, true, false},  {4, 1, 0xFFFF, 1, true, false},
      {5, 29, 0x0108, 1, false, false}, {6, 29, 0x0109, 0, true, false},
      {7, 22, 0xFFFF, 1, true, true},   {0, 4, 0xFFFF, 1, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    Park();
    ASSERT_NE(Ctx().dsound.PlayBGM("tamvik1\\bgm\\other.wav"), 0);
    AdvState* adv = GetAdvState();
    adv->setSceneCode(0x0555);
    adv->setResumeInScript(1);
    result = c.result;
    minigames = 0;
    EXPECT_EQ(RunMode(4), c.mode);
    EXPECT_EQ(adv->sceneCode(), c.scene == 0xFFFF ? 0x0555 : c.scene);
    EXPECT_EQ(adv->resumeInScript(), c.byte10);
    EXPECT_EQ(!Ctx().dsound.IsBGMStop(), c.music);
    EXPECT_EQ(minigames, c.title_music ? 1 : 0);
    EXPECT_EQ(CTamvikGeneral::LastTitleResult(), static_cast<uint32_t>(c.result));
  }
}

TEST_F(Manager, StoryRoadThroughTheSaveOfferTheBattleAndTheStageClear) {
  FakeScene();
  FakeSaveOffer();
  FakeBattle();
  BootToStory();
  GetAdvState()->setSceneCode(0x0204);  // the scene before battle map 1
  SystemData* system = GetSystemData();
  system->setStagesCleared(3);
  const struct {
    int hand_over;  // the mode a sequence sets before the frame, -1 none
    int mode;
    uint32_t activity, resume, saved_before_battle, cleared, map;
    int offers, battles, scenes;
  } rows[] = {
      {31, 34, 0x110, 0, 1, 3, 0, 0, 0, 1},  // the controller: save before the battle
      {-1, 36, 0x110, 0, 1, 3, 0, 1, 0, 1},
      {38, 26, 0x110, 0, 1, 3, 0, 1, 0, 1},  // the save offer ended
      {-1, 27, 0x210, 5, 1, 3, 1, 1, 1, 1},  // the battle starts on map 1
      {28, 32, 0x110, 5, 0, 3, 1, 1, 1, 1},  // the battle's exit
      {-1, 35, 0x110, 5, 0, 4, 1, 1, 1, 1},
      {-1, 36, 0x110, 5, 0, 4, 1, 2, 1, 1},
      {38, 29, 0x110, 5, 0, 4, 1, 2, 1, 1},
      {-1, 30, 0x110, 5, 0, 4, 1, 2, 1, 1},
      {-1, 30, 0x110, 5, 0, 4, 1, 2, 1, 2},  // the next scene starts
  };
  system->setResumePoint(0);
  int row = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(row++);
    if (r.hand_over >= 0) CTamvikGeneral::SetMode(r.hand_over);
    ASSERT_TRUE(d.Step());
    EXPECT_EQ(CTamvikGeneral::GetMode(), r.mode);
    EXPECT_EQ(system->activity(), r.activity);
    EXPECT_EQ(system->resumePoint(), r.resume);
    EXPECT_EQ(system->savedBeforeBattle(), r.saved_before_battle);
    EXPECT_EQ(system->stagesCleared(), r.cleared);
    EXPECT_EQ(system->battleMap(), r.map);
    EXPECT_EQ(save_offer.starts, r.offers);
    EXPECT_EQ(battle.starts, r.battles);
    EXPECT_EQ(scene.starts, r.scenes);
  }
  EXPECT_EQ(scene_ends, 0);
}

TEST_F(Manager, LostBattleSkippedBattleAndTheRestartModes) {
  FakeScene();
  FakeBattle();
  BootToStory();
  SystemData* system = GetSystemData();
  system->setBattleLost(1);
  EXPECT_EQ(RunMode(28), 1);
  Park();
  system->setSkipSlg(1);
  EXPECT_EQ(RunMode(26), 28);
  EXPECT_EQ(battle.starts, 0);
  EXPECT_EQ(system->activity(), 0x210u);

  // 37 ends the scene controller, 38 does not.
  Park();
  system->setSavedBeforeBattle(0);
  EXPECT_EQ(RunMode(37), 29);
  EXPECT_EQ(scene_ends, 1);
  EXPECT_TRUE(d.trace().Contains("GM_ADV_LOAD_RESTART"));
  Park();
  EXPECT_EQ(RunMode(38), 29);
  EXPECT_EQ(scene_ends, 1);

  const struct {
    uint16_t scene;
    uint16_t saved;
    int mode;
    uint16_t saved_after;
  } cases[] = {{0x0109, 1, 29, 0}, {0x0303, 1, 26, 1}, {0x0303, 0, 29, 0}};
  for (const auto& c : cases) {
    GetAdvState()->setSceneCode(c.scene);
    system->setSavedBeforeBattle(c.saved);
    EXPECT_EQ(CTamvikBup::GetRestartMode(), c.mode) << std::hex << c.scene;
    EXPECT_EQ(system->savedBeforeBattle(), c.saved_after);
  }
}

TEST(ManagerState, SlgStartMapsTheSceneCode) {
  testsupport::TestScene t;
  const struct {
    uint16_t scene;
    uint32_t map;
    int p73;  // -1: untouched
  } cases[] = {
      {0x0204, 1, -1},  {0x0308, 2, -1},  {0x0303, 3, -1},  {0x0304, 4, -1},
      {0x0402, 5, -1},  {0x0502, 6, -1},  {0x0606, 7, -1},  {0x0700, 8, -1},
      {0x0701, 9, -1},  {0x0802, 11, -1}, {0x0806, 13, -1}, {0x0902, 14, -1},
      {0x0904, 16, -1}, {0x0A01, 17, -1}, {0x0A02, 18, 0},  {0x0A03, 18, 1},
      {0x0A04, 0, -1},  {0x0000, 0, -1},  {0x0109, 0, -1},
  };
  SystemData* system = GetSystemData();
  for (const auto& c : cases) {
    SetMacroP(73, 77);
    system->setMinigameFromTest(1);
    system->setBattleLost(1);
    system->setBattleMap(99);
    GetAdvState()->setSceneCode(c.scene);
    EXPECT_EQ(CTamvikGeneral::SetSlgStart(), 1);
    EXPECT_EQ(system->battleMap(), c.map) << std::hex << c.scene;
    EXPECT_EQ(GetMacroP(73), c.p73 < 0 ? 77 : c.p73) << std::hex << c.scene;
    EXPECT_EQ(system->minigameFromTest(), 0u);
    EXPECT_EQ(system->battleLost(), 0u);
  }
}

TEST_F(Manager, EndingAndMinigameSeenAreSavedInSystemData) {
  ASSERT_TRUE(d.Start());
  SystemData* system = GetSystemData();
  const uint32_t kBits[] = {0x00, 0x01, 0x02, 0x20, 0x10, 0x08, 0x04, 0x00, 0x00, 0x01};
  for (uint16_t v = 0; v <= 9; ++v) {
    system->setEndingsSeen(0);
    d.tree.Remove("install/save/system.dat");
    SetMacroP(83, static_cast<uint16_t>(0x0300 + v));  // only the low byte counts
    CTamvikGeneral::SetEndingSeen();
    EXPECT_EQ(system->endingsSeen(), kBits[v] | 0x80u) << v;
    EXPECT_EQ(system->lastEnding(), v % 8) << v;
    EXPECT_TRUE(d.tree.Exists("install/save/system.dat")) << v;
  }
  for (int n = 0; n <= 9; ++n) {
    system->setMinigamesSeen(0);
    d.tree.Remove("install/save/system.dat");
    CTamvikGeneral::SetMinigameSeen(n);
    const bool seen = n >= 1 && n <= 8;
    EXPECT_EQ(system->minigamesSeen(), seen ? 1u << (n - 1) : 0u) << n;
    EXPECT_EQ(d.tree.Exists("install/save/system.dat"), seen) << n;
  }
}

TEST_F(Manager, StoryMinigameReturnsToTheStoryWithoutASaveOffer) {
  FakeScene();
  FakeSaveOffer();
  bool running = false;
  auto& s = d.sequences();
  s.minigame.start = [&](int game, int mode) {
    EXPECT_EQ(game, 3);
    EXPECT_EQ(mode, 1);
    running = true;
    return 1;
  };
  s.minigame.is_running = [&] { return running; };
  s.minigame_result = [] { return 42; };
  s.scene_minigame = [] { return 3; };
  BootToStory();
  GetAdvState()->setMinigameMode(1);
  SystemData* system = GetSystemData();
  EXPECT_EQ(RunMode(33), 21);
  ASSERT_TRUE(d.Run(30));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 21);  // the fade to black runs
  ASSERT_TRUE(RunToMode(22, 200));
  EXPECT_EQ(system->resumePoint(), 7u);
  EXPECT_EQ(system->activity(), 0x310u);
  EXPECT_EQ(system->minigamesSeen(), 0x04u);
  EXPECT_NE(Ctx().game_task.FindTask("mg_task"), nullptr);
  ASSERT_TRUE(d.Run(5));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 22);
  running = false;
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 23);
  EXPECT_EQ(Ctx().game_task.FindTask("mg_task"), nullptr);
  EXPECT_TRUE(d.trace().Contains("MiniGame Sequence is End"));
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 32);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 29);
  EXPECT_EQ(system->resumePoint(), 0x110u);
  EXPECT_EQ(GetMacroA(0), 42);
  ASSERT_TRUE(RunToMode(30, 10));
  EXPECT_EQ(save_offer.starts, 0);
}

TEST_F(Manager, MinigameThatCannotStartIsSkipped) {
  FakeScene();
  BootToStory();
  // The stand-in framework starts nothing.
  EXPECT_EQ(RunMode(21), 23);
  EXPECT_TRUE(d.trace().Contains("MiniGame is not Installed and Skip"));
  EXPECT_EQ(Ctx().game_task.FindTask("mg_task"), nullptr);

  // From the title: mode 22 even though nothing started; it must not touch a task that is gone.
  Park();
  GetSystemData()->setResumePoint(0x110);
  d.sequences().title_result = [] { return 7; };
  EXPECT_EQ(RunMode(4), 22);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 23);
  EXPECT_EQ(GetSystemData()->resumePoint(), 0x110u);
}

TEST_F(Manager, LastSceneLeadsThroughTheEndingToTheMakerLogo) {
  PutMusic("tamvik1/bgm/other.wav");
  FakeScene();
  Fake ending;
  int prepared = 0;
  d.sequences().ending.start = [&](GameTaskRec*, int n) {
    ++ending.starts;
    ending.last_arg = n;
    ending.running = true;
  };
  d.sequences().ending.is_running = [&] { return ending.running; };
  d.sequences().ending_prepare = [&] { ++prepared; };
  int logos = 0;
  d.sequences().logo.start = [&](GameTaskRec*, int) { ++logos; };
  BootToStory();
  GetAdvState()->setSceneCode(0x0A04);
  SetMacroP(83, 0x0105);
  EXPECT_EQ(RunMode(32), 46);
  EXPECT_EQ(GetSystemData()->endingsSeen(), 0x88u);
  EXPECT_TRUE(d.tree.Exists("install/save/system.dat"));
  ASSERT_TRUE(d.Run(60));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 46);  // the fade to black (2 s) runs
  ASSERT_TRUE(RunToMode(47, 120));
  EXPECT_EQ(ending.starts, 1);
  EXPECT_EQ(ending.last_arg, 5);
  EXPECT_EQ(prepared, 1);
  ASSERT_NE(Ctx().dsound.PlayBGM("tamvik1\\bgm\\other.wav"), 0);
  ASSERT_TRUE(d.Run(5));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 47);
  ending.running = false;
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 1);
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_TRUE(Ctx().dsound.IsVoiceStop());
  EXPECT_TRUE(Ctx().dsound.IsSEStop());
}

TEST_F(Manager, StageClearInCesaModeAndOfTheExtrasScene) {
  FakeScene();
  BootToStory();
  int titles = 0;
  d.sequences().title.start = [&](GameTaskRec*) { ++titles; };
  d.sequences().title_result = [] { return 0; };
  SystemData* system = GetSystemData();
  system->setCesaMode(1);
  GetAdvState()->setSceneCode(0x0303);
  EXPECT_EQ(RunMode(32), 4);
  EXPECT_EQ(titles, 1);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0107);
  system->setCesaMode(0);

  Park();
  d.tree.Remove("install/save/system.dat");
  GetAdvState()->setSceneCode(0x0109);
  system->setResumePoint(0);
  EXPECT_EQ(RunMode(32), 3);
  EXPECT_TRUE(d.tree.Exists("install/save/system.dat"));
}

TEST_F(Manager, EdgesOfTheModeNumber) {
  {
    testsupport::TestScene t;  // no manager runs
    EXPECT_EQ(CTamvikGeneral::SetMode(5), 0);
    EXPECT_EQ(CTamvikGeneral::GetMode(), 0);
  }
  ASSERT_TRUE(d.Start());
  Park();
  const size_t traced = NextModeTraces().size();
  CTamvikGeneral::SetMode(48);
  ASSERT_TRUE(d.Run(5));
  EXPECT_EQ(CTamvikGeneral::GetMode(), 48);
  EXPECT_EQ(NextModeTraces().size(), traced);
  EXPECT_EQ(GetMacroP(10), 0x8010);
  EXPECT_EQ(GetMacroP(61), 0x8010);

  CTamvikGeneral::StopManager();
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName), nullptr);
  EXPECT_EQ(CTamvikGeneral::SetMode(3), 0);
  EXPECT_EQ(CTamvikGeneral::GetMode(), 0);
}

TEST_F(Manager, ResetAdvScreenSetsTheLayersBackUp) {
  ASSERT_TRUE(d.Start());
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) ddraw.SetVisible(id, id % 2);
  LayerRec* bg = ddraw.GetLayer(SURFACE_BG);
  ASSERT_NE(bg, nullptr);
  bg->screen_x = 40;
  bg->screen_y = 30;
  bg->view_width = 100;
  ddraw.SetLayerScroll(SURFACE_BG, 0, 0);
  ddraw.ClearSurface(SURFACE_TEXT, 0);
  ASSERT_LT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
  CTamvikGeneral::ResetAdvScreen();
  EXPECT_NE(ddraw.IsVisible(SURFACE_ROOT), 0u);
  EXPECT_NE(ddraw.IsVisible(SURFACE_TEXT), 0u);
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    EXPECT_EQ(ddraw.IsVisible(id), 0u) << id;
    const LayerRec* layer = ddraw.GetLayer(id);
    EXPECT_EQ(layer->screen_x, 0);
    EXPECT_EQ(layer->screen_y, 0);
    EXPECT_EQ(layer->scroll_x, 0);
    EXPECT_EQ(layer->view_width, 640);
    EXPECT_EQ(layer->view_height, 480);
  }
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) {
    const platform::Surface* surface = ddraw.GetSurface(id);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->Row(479)[639], static_cast<uint16_t>(ddraw.GetColorKey())) << id;
  }
  // Layer 6 now lies below 5; a second reset leaves that order.
  EXPECT_GT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
  CTamvikGeneral::ResetAdvScreen();
  EXPECT_GT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
}

TEST_F(Manager, ResetAdvScreenClosesTheMessageWindow) {
  ASSERT_TRUE(d.Start());
  ASSERT_EQ(ADVShowWindow(), 1);
  ASSERT_NE(Ctx().ddraw_window.head(), nullptr);
  CTamvikGeneral::ResetAdvScreen();
  EXPECT_EQ(Ctx().ddraw_window.head(), nullptr);
  EXPECT_EQ(Scene().portraits.message_window, nullptr);
  EXPECT_EQ(Scene().portraits.window_shade, nullptr);
  // A new story screen opens its window again.
  EXPECT_EQ(ADVShowWindow(), 1);
}

// ---- The disc check and the disc prompt ----

struct CautionKind {
  int step;
  int kind;
};

CautionKind RunningCaution() {
  GameTaskRec* task = Ctx().game_task.FindTask(CTamvikGeneral::kCautionTaskName);
  if (task == nullptr) return {-1, -1};
  return {CTamvikGeneral::GetCautionStep(), static_cast<int>(static_cast<CautionExtra*>(task->extra)->kind)};
}

TEST(DiscCheck, NextChapterNeedsItsDisc) {
  const struct {
    uint32_t style;
    uint16_t scene;
    std::vector<int> discs;  // the markers of the one CD drive; empty: no drive
    int result;
    int kind;  // of the prompt started, -1 none
  } cases[] = {
      {0, 0x0101, {}, 1, -1},     {1, 0x0101, {1}, 1, -1},  {1, 0x0101, {2}, 0, 0},
      {1, 0x0103, {1}, 1, -1},    // 0x0103 is followed by chapter 2: disc 1
      {1, 0x0402, {2}, 1, -1},    {1, 0x0402, {1}, 0, 1},   {1, 0x0702, {2}, 1, -1},
      {1, 0x0902, {3}, 1, -1},    {1, 0x0902, {}, 0, 2},    {1, 0x0905, {3}, 1, -1},
      {1, 0x0B00, {2}, 1, -1},    {1, 0x0B00, {}, 0, 3},    {1, 0x0109, {3}, 1, -1},
      {1, 0x0109, {}, 0, 3},      {2, 0x0101, {3}, 1, -1},  {2, 0x0402, {}, 0, 3},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row++);
    testsupport::TestScene t;
    testsupport::GameTree tree;
    if (!c.discs.empty()) tree.MountDisc(t.engine().host.files, 'E', "e", c.discs);
    Ctx().file_io.ScanDrives();
    Ctx().file_io.SetInstallStyle(c.style);
    GetAdvState()->setSceneCode(c.scene);
    const int result = CTamvikGeneral::NextChapterDiscCheck(nullptr);
    EXPECT_EQ(result, c.result) << std::hex << c.scene;
    EXPECT_EQ(RunningCaution().kind, c.kind);
  }
}

class DiscPrompt : public Manager {
 protected:
  void SetUp() override {
    d.sequences().quit_confirm.start = [this](GameTaskRec*) {
      ++quit.starts;
      quit.running = true;
    };
    d.sequences().quit_confirm.is_running = [this] { return quit.running; };
    ASSERT_TRUE(d.Start());
    Park();
    manager = Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName);
    Ctx().file_io.SetInstallStyle(1);
    Ctx().file_io.ScanDrives();
  }
  // Starts the prompt for disc 1 and waits until it takes keys.
  void OpenPrompt(GameTaskRec* owner) {
    CTamvikGeneral::StartCautionSeq(owner, 0);
    ASSERT_TRUE(d.RunUntil("the prompt waits",
                           [](const ProgramDriver&) { return CTamvikGeneral::GetCautionStep() == 3; },
                           200));
    EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  }
  std::vector<int> StepsUntilEnd(int limit) {
    std::vector<int> steps;
    for (int i = 0; i < limit; ++i) {
      if (!d.Step()) break;
      const int step = CTamvikGeneral::GetCautionStep();
      if (steps.empty() || steps.back() != step) steps.push_back(step);
      if (step == -1 || step == 3) break;
    }
    return steps;
  }
  // Presses the game keys together in the next frame (released in the one after).
  void Press(std::vector<GameKeyBits> keys) {
    const int frame = d.frame() + 1;
    for (GameKeyBits key : keys) {
      d.Schedule({testsupport::GameKeyDown(frame, key), testsupport::GameKeyUp(frame + 1, key)});
    }
  }

  GameTaskRec* manager = nullptr;
  Fake quit;
};

TEST_F(DiscPrompt, DecideWithTheDiscInEndsThePrompt) {
  OpenPrompt(manager);
  d.tree.MountDisc(d.host().files, 'E', "e", {1});
  Press({kGameKey0});
  EXPECT_EQ(StepsUntilEnd(200), (std::vector<int>{10, 30, 31, 32, -1}));
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
}

TEST_F(DiscPrompt, DecideWithoutTheDiscShowsThePromptAgain) {
  OpenPrompt(manager);
  d.tree.MountDisc(d.host().files, 'E', "e", {2});
  Press({kGameKey0});
  EXPECT_EQ(StepsUntilEnd(300), (std::vector<int>{10, 20, 2, 3}));
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
}

TEST_F(DiscPrompt, CancelOpensTheQuitConfirmationOverThePrompt) {
  OpenPrompt(manager);
  Press({kGameKey1});
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), 90);
  EXPECT_EQ(quit.starts, 1);
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  ASSERT_TRUE(d.Run(10));
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), 90);
  quit.running = false;  // answered "no"
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), 3);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
}

TEST_F(DiscPrompt, DecideAndCancelInOneFrameOpenTheConfirmationWithoutAFade) {
  OpenPrompt(manager);
  Press({kGameKey0, kGameKey1});
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), 90);
  EXPECT_EQ(quit.starts, 1);
  EXPECT_TRUE(TamvikFunc::IsFadeDone());
  ASSERT_TRUE(d.Run(70));
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);  // the confirmation stays visible
}

TEST_F(DiscPrompt, EndsWhenItsOwnerIsGone) {
  Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {}, "owner");
  GameTaskRec* owner = Ctx().game_task.FindTask("owner");
  OpenPrompt(owner);
  Ctx().game_task.DelTask(owner);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), -1);
}

TEST_F(DiscPrompt, ModeZeroWaitsForAnyGameDisc) {
  d.host().config.Set("Install Style", "1");
  CTamvikGeneral::SetMode(0);
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 0);
  EXPECT_EQ(RunningCaution().kind, 3);
  d.tree.MountDisc(d.host().files, 'E', "e", {2});
  ASSERT_TRUE(d.RunUntil("the prompt waits",
                         [](const ProgramDriver&) { return CTamvikGeneral::GetCautionStep() == 3; },
                         200));
  Press({kGameKey0});
  ASSERT_TRUE(d.RunUntil("past mode 0",
                         [](const ProgramDriver&) { return CTamvikGeneral::GetMode() != 0; }, 300));
  EXPECT_EQ(CTamvikGeneral::GetCautionStep(), -1);
}

}  // namespace
