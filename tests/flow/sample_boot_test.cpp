// The whole program on the sample install directory (tools/make_sample_data, written into the
// build tree at build time): boot to a scene and back, the load road, a save in the save menu
// loaded back through the load menu, a new game to the quit, with the real wiring of the
// composition root on the shared program driver (testsupport/sample_road.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/event_npc.h"
#include "battle_events/maps/map01.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_omake.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "minigames/minigame_context.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/sample_data.h"
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
  ASSERT_TRUE(run.UntilSlotMenuSubStep("the slot list", 2, 300));
  run.Press(kGameKey0);  // slot 1
  ASSERT_TRUE(run.UntilSlotMenuSubStep("the question", 12, 60));
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
  ASSERT_TRUE(run.StartANewGame("new game message"));
  // The menu key counts once the voice has ended.
  ASSERT_TRUE(run.PressUntil(kGameKey3, "the options", [] { return SampleRoad::OptionMenuOpen(); },
                             600, 30));
  run.d.Run(20);  // the window opens
  ASSERT_TRUE(run.QuitThroughTheOptions(200));
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

// Map 1's event objects on the sample's stage (its townspeople and the soldiers of the second
// wave) now on the map: deployed or running, each with its picture loaded from its EventAnm row.
int EventObjectsOnMap(int first_kind, int last_kind, bool* all_drawn = nullptr) {
  int n = 0;
  if (all_drawn != nullptr) *all_drawn = true;
  const SlgBattleState& state = Battle().state;
  for (uint32_t slot = 0; slot < state.unit_count && slot < state.units.size(); ++slot) {
    const SlgUnit& unit = state.units[slot];
    if (!SlgUnitLive(unit) || unit.kind < first_kind || unit.kind > last_kind) continue;
    if (unit.deploy_state != kEventObjDeployed && unit.deploy_state != kEventObjRunning) continue;
    ++n;
    if (all_drawn != nullptr && unit.anm == nullptr) *all_drawn = false;
  }
  return n;
}

// The first choice's second line ends the scene in its FIGHT: past the offer to save, the
// manager starts the builder's dressed battle from the sample's own files (none missing), and
// the input script wins it; the manager goes on to the stage clear's offer to save, then to the
// scene after the battle, which leads through the extras scene back to the title.
TEST(SampleBoot, TheNewGamesBattleIsWonByTheInputScriptAndTheRoadEndsAtTheTitle) {
  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  // The battle events of the program: map 1's set-up in the battle's row.
  const testsupport::ScopedEventTable events(kMap01, &run.d);
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
  // Won by the input script: the hero walks beside the ASHIGARU and attacks until it falls (his
  // own attack routine plays each attack); map 1's script plays on the way: its
  // opening (its crowd and second wave, no guide on this stage) and the offer of the
  // demonstration, taken with OK (no heroine is on this stage: the demonstration runs through its
  // lessons without her moves), their messages closed with OK; the ASHIGARU's defeat gives the
  // soldiers-gone event, with no boss the boss-down event follows, then the victory, and the
  // manager goes on to the stage clear.
  // The opening puts the town's six people on the map, then the four soldiers of the second
  // wave; the soldiers are taken off and the people walk away before the party is shown.
  bool drawn = false;
  ASSERT_TRUE(run.d.RunUntil("the crowd on the map", [](const ProgramDriver&) {
    return EventObjectsOnMap(81, 86) == 6;
  }, 600));
  EXPECT_EQ(EventObjectsOnMap(81, 86, &drawn), 6);
  EXPECT_TRUE(drawn);
  ASSERT_TRUE(run.PressUntil(kGameKey0, "the second wave", [] {
    return EventObjectsOnMap(101, 104) == 4;
  }, 3000, 30));
  EXPECT_EQ(EventObjectsOnMap(101, 104, &drawn), 4);
  EXPECT_TRUE(drawn);
  ASSERT_TRUE(run.PressUntil(kGameKey0, "map 1's opening", [] {
    return CheckEventFlag(102) != 0 && Battle().event_busy == 0;
  }, 6000, 30));
  EXPECT_EQ(EventObjectsOnMap(81, 86), 0);
  EXPECT_EQ(EventObjectsOnMap(101, 104), 0);
  ASSERT_TRUE(run.WinTheBattle(3000));
  EXPECT_TRUE(run.attack_routines.contains("KadrunNormal") ||
              run.attack_routines.contains("KadrunCritical"))
      << ::testing::PrintToString(run.attack_routines);
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
  // Every line and choice map 1 said on the way has its text in the sample.
  EXPECT_FALSE(run.d.trace().Contains("MessageData not Found"));
}

// ---- A save made in the save menu, loaded back through the load menu ----

// What a save keeps and a load gives back: the story state, the script variables and stacks
// (the trust values among them), the compose order of layers 5 and 6 and the saved-before-battle
// flag.
struct GameState {
  std::vector<uint8_t> adv;
  MacroVarBlock vars{};
  bool layer5_on_top = false;
  uint16_t saved_before_battle = 0;
};
GameState StateNow() {
  GameState state;
  const AdvState& adv = *GetAdvState();
  state.adv.assign(adv.bytes(), adv.bytes() + AdvState::kSize);
  Game().macro.Pack(state.vars);
  state.layer5_on_top =
      Ctx().ddraw.GetLayerIndex(SURFACE_BG) > Ctx().ddraw.GetLayerIndex(SURFACE_FG);
  state.saved_before_battle = GetSystemData()->savedBeforeBattle();
  return state;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The slot list's cursor moved by the key onto the slot, decided; whether the question came.
bool MoveAndDecideSlot(SampleRoad& run, GameKeyBits key, int slot) {
  run.Press(key);
  if (!run.d.RunUntil("slot " + std::to_string(slot), [slot](const ProgramDriver&) {
        return SampleRoad::SlotMenu()->cursor == slot;
      }, 30)) {
    return false;
  }
  run.Press(kGameKey0);
  return run.UntilSlotMenuSubStep("the question", 12, 60);
}

// The new game's offer to save before its battle: the eyecatch's save entry, slot 2 (empty)
// saved into with state set apart from what the boot and the scene left; then the next program
// on the same save files continues from the title: a damaged slot 3 is refused and left as it
// is, slot 2 gives back exactly the state saved.
TEST(SampleBoot, ASaveMadeInTheSaveMenuLoadsBackThroughTheLoadMenu) {
  GameState saved;
  std::vector<uint8_t> file;
  {
    SampleRoad run(TAMVIK_SAMPLE_DIR, "");
    ASSERT_TRUE(run.BootToTitleMenu());
    run.ChooseRow(0);  // new game
    ASSERT_TRUE(run.UntilMode(30, 300));
    ASSERT_TRUE(run.PressUntil(kGameKey0, "the choice", [] { return SampleRoad::ChoiceOpen(); },
                               1500, 30));
    ASSERT_TRUE(run.Choose("the battle", 2));
    ASSERT_TRUE(run.AnswerTheSaveOffer(0));  // its first entry: save
    ASSERT_TRUE(run.UntilSlotMenuSubStep("the slot list", 2, 300));
    EXPECT_EQ(SampleRoad::SlotMenu()->menuState, 3);
    SetMacroP(10, 0x8123);  // a trust value
    SetMacroP(21, 0x7FF0);
    SetMacroA(200, 4321);
    Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
    ASSERT_TRUE(MoveAndDecideSlot(run, kGameKeyDown, 2));
    run.Press(kGameKey0);  // "是"
    const fs::path slot = run.system_dat.parent_path() / "data2.sav";
    ASSERT_TRUE(run.d.RunUntil("the save", [&slot](const ProgramDriver&) {
      return fs::exists(slot);
    }, 60));
    saved = StateNow();
    file = FileBytes(slot);
    ASSERT_EQ(file.size(), kGameSaveSize);
    EXPECT_EQ(file[8], saved.layer5_on_top ? 3 : 2);
    EXPECT_EQ(file[9], saved.layer5_on_top ? 2 : 3);
    EXPECT_EQ(saved.adv[0] | saved.adv[1] << 8, testsupport::kSampleNewGameScene);
    EXPECT_TRUE(run.d.host_window().boxes.empty());
  }

  SampleRoad run(TAMVIK_SAMPLE_DIR, "");
  const fs::path folder = run.system_dat.parent_path();
  WriteBytes(folder / "data2.sav", file);
  const std::vector<uint8_t> damaged(file.begin(), file.begin() + 500);
  WriteBytes(folder / "data3.sav", damaged);
  ASSERT_TRUE(run.BootToTitleMenu());
  const GameState booted = StateNow();
  EXPECT_NE(booted.vars, saved.vars);
  run.ChooseRow(1);  // continue
  ASSERT_TRUE(run.UntilSlotMenuSubStep("the slot list", 2, 300));
  EXPECT_EQ(SampleRoad::SlotMenu()->menuState, 2);
  // The damaged slot lists as empty: deciding it only plays the error sound.
  for (int i = 0; i < 2; ++i) {
    run.Press(kGameKeyDown);
    run.d.Run(4);
  }
  ASSERT_EQ(SampleRoad::SlotMenu()->cursor, 3);
  run.Press(kGameKey0);
  run.d.Run(20);
  EXPECT_EQ(SampleRoad::SlotMenuSubStep(), 2);
  EXPECT_EQ(CTamvikBup::IsLoaded(), 0);
  EXPECT_EQ(StateNow().vars, booted.vars);
  EXPECT_EQ(FileBytes(folder / "data3.sav"), damaged);
  // Slot 2: the state saved, whole.
  ASSERT_TRUE(MoveAndDecideSlot(run, kGameKeyUp, 2));
  // The backgrounds composed the other way round before the load.
  if (StateNow().layer5_on_top == saved.layer5_on_top) {
    Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }
  run.Press(kGameKey0);  // "是"
  ASSERT_TRUE(run.d.RunUntil("the load", [](const ProgramDriver&) {
    return CTamvikBup::IsLoaded() == 1;
  }, 300));
  const GameState loaded = StateNow();
  EXPECT_EQ(loaded.adv, saved.adv);
  EXPECT_EQ(loaded.vars, saved.vars);
  EXPECT_EQ(GetMacroP(10), 0x8123);
  EXPECT_EQ(loaded.layer5_on_top, saved.layer5_on_top);
  EXPECT_EQ(loaded.saved_before_battle, saved.saved_before_battle);
  EXPECT_EQ(FileBytes(folder / "data3.sav"), damaged);
  EXPECT_TRUE(run.d.host_window().boxes.empty());
}

}  // namespace
