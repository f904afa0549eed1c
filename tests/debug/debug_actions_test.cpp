// The debug menu's actions as the composition root fills them: each code run with a value on
// fresh contexts, and what it changed or traced.

#include "debug/debug_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/slg_start.h"
#include "debug/debug_menu.h"
#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "flow/tamvik_general.h"
#include "game/game_sequences.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_adv.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/debug_files.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"
#include "testsupport/trace_capture.h"

namespace {

// Fresh engine, game and scene contexts, the root's sequences and actions, a built menu, and a
// game tree as working and install directory.
struct ActionRig {
  ActionRig() {
    WireGameSequences(scene.game.sequences(), menu);
    menu.DebugMenuBuild();
    menu.DebugMenuReset();
    scene.engine().host.files.SetWorkingDirectory(tree.Path("cwd"));
    install = tree.install() + "/";
    Ctx().file_io.SetInstallDir(install.c_str());
  }
  // Runs item code `code` with `value`, as the decide key does.
  void Run(int code, int32_t value) { menu.actions[static_cast<size_t>(code - 1)](value); }
  // Sets the value of the (first) item with the code.
  void SetValue(int code, int32_t value) {
    for (DebugMenuPageNode* p = menu.pages(); p != nullptr; p = p->next) {
      for (DebugMenuItemNode* i = p->items; i != nullptr; i = i->next) {
        if (i->code == code) {
          i->value = value;
          return;
        }
      }
    }
    FAIL() << "no item with code " << code;
  }
  // Writes a file into the working directory.
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    tree.Write("cwd/" + name, bytes);
  }

  testsupport::GameTree tree;
  testsupport::TestScene scene;
  CDebugMenu menu;
  std::string install;
};

TEST(DebugActions, EveryCodeHasAnAction) {
  ActionRig rig;
  for (int code = 1; code <= CDebugMenu::kActionCount; ++code) {
    EXPECT_TRUE(static_cast<bool>(rig.menu.actions[static_cast<size_t>(code - 1)])) << "code " << code;
  }
}

TEST(DebugActions, SurfaceSwitchesSetTheirVisibleBits) {
  ActionRig rig;
  struct Case {
    int code;
    SurfaceId surface;
  };
  const Case cases[] = {{3, SURFACE_ROOT}, {4, SURFACE_BG},    {5, SURFACE_FG},
                        {6, SURFACE_FC},   {7, SURFACE_TEXT},  {8, SURFACE_DEBUG},
                        {9, SURFACE_DEBUG2}};
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (const Case& c : cases) {
    rig.Run(c.code, 1);
    EXPECT_NE(ddraw.IsVisible(c.surface), 0u) << c.code;
    rig.Run(c.code, 0);
    EXPECT_EQ(ddraw.IsVisible(c.surface), 0u) << c.code;
  }
  // 9 also makes the menu window again (1) or deletes it (0); the window needs the display.
  ASSERT_EQ(ddraw.InitDirectDraw(), 1);
  rig.Run(9, 1);
  EXPECT_NE(rig.menu.menu_window, nullptr);
  rig.Run(9, 0);
  EXPECT_EQ(rig.menu.menu_window, nullptr);
}

TEST(DebugActions, RasterWavesAndTheTownMapStart) {
  ActionRig rig;
  CDdrawAnime& anime = Ctx().anime;
  rig.Run(31, 1);
  rig.Run(32, 1);
  AnimeHandle bg = rig.menu.viewer.raster_bg;
  AnimeHandle fg = rig.menu.viewer.raster_fg;
  ASSERT_NE(bg, nullptr);
  ASSERT_NE(fg, nullptr);
  EXPECT_NE(bg, fg);
  EXPECT_NE(anime.IsAnime(bg), 0);
  // Again with 1: the wave is made anew; 0 deletes it.
  rig.Run(31, 1);
  EXPECT_NE(anime.IsAnime(rig.menu.viewer.raster_bg), 0);
  rig.Run(31, 0);
  rig.Run(32, 0);
  EXPECT_EQ(rig.menu.viewer.raster_bg, nullptr);
  EXPECT_EQ(rig.menu.viewer.raster_fg, nullptr);
  EXPECT_EQ(anime.IsAnime(fg), 0);

  // 28 with 1: the town map's level fields of the story state.
  rig.Run(28, 1);
  EXPECT_EQ(GetAdvState()->mapLevelSet(), 1);
  EXPECT_EQ(GetAdvState()->mapLevel(), 4);
}

TEST(DebugActions, InterpreterSwitchesAndTheSceneRestart) {
  ActionRig rig;
  CTamvikMacro& macro = Scene().macro;
  rig.Run(17, 1);
  rig.Run(18, 1);
  rig.Run(19, 1);
  EXPECT_EQ(macro.step_mode(), 1u);
  EXPECT_EQ(macro.trace(), 1u);
  EXPECT_EQ(macro.step_hold(), 1u);
  rig.Run(17, 0);
  EXPECT_EQ(macro.step_mode(), 0u);

  // 23: chapter 2, scene 3; the scene controller's debug stop asks the manager (started, since it
  // was absent) for the scene start.
  testsupport::TraceCapture trace;
  rig.Run(21, 23);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0203);
  EXPECT_EQ(GetAdvState()->debugRestart(), 1);
  ASSERT_NE(Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName), nullptr);
  EXPECT_EQ(CTamvikGeneral::GetMode(), CTamvikAdv::kModeAdvInit);
  // 254 only traces the scene code; 255 stops the interpreter and changes no code.
  rig.Run(21, 254);
  EXPECT_TRUE(trace.Contains("Scene = 0203"));
  ASSERT_EQ(Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {},
                                          CTamvikMacro::kDecodeMacroName),
            1);
  rig.Run(21, 255);
  Ctx().game_task.ExecTask();
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName), nullptr);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0203);
}

TEST(DebugActions, ViewAndSetVariablesStayInsideTheirArrays) {
  ActionRig rig;
  testsupport::TraceCapture trace;
  // A: 16 rows of 16; row 15 is the last, 16 and 255 are past the end and trace nothing.
  SetMacroA(255, 0xBEEF);
  rig.Run(22, 15);
  EXPECT_TRUE(trace.Contains("240: ")) << "row 15 starts at A[240]";
  EXPECT_TRUE(trace.Contains("beef"));
  for (int row : {16, 255}) {
    trace.Clear();
    rig.Run(22, row);
    EXPECT_TRUE(trace.lines().empty()) << row;
  }
  // P: 10 rows of 10.
  for (int row : {10, 255}) {
    trace.Clear();
    rig.Run(24, row);
    EXPECT_TRUE(trace.lines().empty()) << row;
  }
  // SetVarA takes the ViewVarA value as its index.
  rig.SetValue(22, 200);
  trace.Clear();
  rig.Run(23, 77);
  EXPECT_EQ(GetMacroA(200), 77);
  EXPECT_TRUE(trace.Contains("Set VarA[200] = 077"));
  // SetVarP: 99 is the last index; 100 and 255 are refused before anything is written (P[100]
  // on would land in the A backup).
  rig.SetValue(24, 99);
  rig.Run(25, 5);
  EXPECT_EQ(GetMacroP(99), 5);
  for (int index : {100, 255}) {
    const std::array<uint16_t, kMacroVarSpace> before = Game().macro.vars;
    rig.SetValue(24, index);
    trace.Clear();
    rig.Run(25, 1234);
    EXPECT_EQ(Game().macro.vars, before) << index;
    EXPECT_TRUE(trace.Contains("SetVarP: index")) << index;
    EXPECT_FALSE(trace.Contains("Set VarP[")) << index;
  }
}

TEST(DebugActions, SystemFlagBitsFanOutToTheSixSwitches) {
  ActionRig rig;
  struct Case {
    int32_t bits;
    uint32_t movie, slg, minigame, cesa;
    int vram, flip;
  };
  const Case cases[] = {
      {0x00, 0, 0, 0, 0, 0, 0}, {0x01, 1, 0, 0, 0, 0, 0}, {0x02, 0, 1, 0, 0, 0, 0},
      {0x04, 0, 0, 1, 0, 0, 0}, {0x08, 0, 0, 0, 0, 1, 0}, {0x10, 0, 0, 0, 1, 0, 0},
      {0x20, 0, 0, 0, 0, 0, 1}, {0x3F, 1, 1, 1, 1, 1, 1}, {0xC0, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    testsupport::TraceCapture trace;
    rig.Run(84, c.bits);
    const SystemData& s = *GetSystemData();
    EXPECT_EQ(s.skipMovie(), c.movie) << c.bits;
    EXPECT_EQ(s.skipSlg(), c.slg) << c.bits;
    EXPECT_EQ(s.skipMiniGame(), c.minigame) << c.bits;
    EXPECT_EQ(s.cesaMode(), c.cesa) << c.bits;
    EXPECT_EQ(Ctx().ddraw.GetVramToVramDirectUse(), c.vram) << c.bits;
    EXPECT_EQ(Ctx().ddraw.GetFlipMode(), c.flip) << c.bits;
    EXPECT_TRUE(trace.Contains("SYSTEM FLAG SET"));
    EXPECT_TRUE(trace.Contains(std::string("Skip MOVIE ") + (c.movie ? "TRUE" : "FALSE")));
    EXPECT_TRUE(trace.Contains(std::string("Flip Direct ") + (c.flip ? "TRUE" : "FALSE")));
  }
}

TEST(DebugActions, SoundFileNamesByNumber) {
  ActionRig rig;
  struct Case {
    int code;
    int32_t value;
    const char* line;
  };
  const Case cases[] = {
      {89, 12, "Debug Voice Load tamvik1\\voice\\0012.wav"},
      {90, 7, "Debug SE Load tamvik1\\se\\0007.wav"},
      {91, 3105, "Debug SE Load tamvik1\\se\\03105.wav"},
      {85, 5, "Debug BGM Load tamvik1\\bgm\\sm05.wav"},
      {85, 41, "Debug BGM Load tamvik1\\bgm\\sm01m.wav"},
      {85, 35, "Debug BGM Load tamvik1\\bgm\\minigame.wav"},
  };
  for (const Case& c : cases) {
    testsupport::TraceCapture trace;
    rig.Run(c.code, c.value);
    EXPECT_TRUE(trace.Contains(c.line)) << c.line;
    // None of the files is there.
    EXPECT_TRUE(trace.Contains("File Not Found")) << c.line;
  }
  for (int32_t too_large : {0, 42, 255}) {
    testsupport::TraceCapture trace;
    rig.Run(85, too_large);
    EXPECT_TRUE(trace.Contains("Request No too Large")) << too_large;
    EXPECT_FALSE(trace.Contains("Debug BGM Load")) << too_large;
  }
  for (int32_t empty : {38, 39, 40}) {
    testsupport::TraceCapture trace;
    rig.Run(85, empty);
    EXPECT_TRUE(trace.Contains("File Not Found")) << empty;
    EXPECT_FALSE(trace.Contains("Debug BGM Load")) << empty;
  }
  testsupport::TraceCapture trace;
  rig.SetValue(87, 30);
  rig.Run(88, 64);
  EXPECT_TRUE(trace.Contains("SetBGMVolume Vol:64 Rate:30"));
}

TEST(DebugActions, MemoryStatusReadsTheSystemFileTimeWithoutTouchingIt) {
  ActionRig rig;
  const std::vector<uint8_t> bytes(272, 0x5A);
  rig.tree.Write("install/save/system.dat", bytes);
  rig.tree.SetModifiedTime("install/save/system.dat", 1000000000);
  testsupport::TraceCapture trace;
  rig.Run(2, 0);
  EXPECT_TRUE(trace.Contains("filetime = "));
  EXPECT_TRUE(trace.Contains("TotalPhys = "));
  const std::string after = rig.tree.Read("install/save/system.dat");
  EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.end()), bytes);
  // The time is unchanged: a second run traces the same text.
  std::string first;
  for (const DebugTraceLine& line : trace.lines()) {
    if (line.text.find("filetime = ") != std::string::npos) first = line.text;
  }
  trace.Clear();
  rig.Run(2, 0);
  bool same = false;
  for (const DebugTraceLine& line : trace.lines()) same = same || line.text == first;
  EXPECT_TRUE(same);

  // A missing file is traced and stays missing.
  rig.tree.Remove("install/save/system.dat");
  trace.Clear();
  rig.Run(2, 0);
  EXPECT_TRUE(trace.Contains("not there"));
  EXPECT_FALSE(trace.Contains("filetime = "));
  EXPECT_FALSE(rig.tree.Exists("install/save/system.dat"));
}

TEST(DebugActions, ViewersWithNothingLoadedOrShownTraceAndDoNothing) {
  ActionRig rig;
  struct Case {
    int code;
    const char* trace;
  };
  const Case cases[] = {
      {35, "UnitView: no unit file loaded"},  {37, "UnitAnmView: no animation file"},
      {42, "UnitAnmSpeed: no animation shown"}, {43, "UnitAnmLoop: no animation shown"},
      {44, "UnitAnmOverlap: no animation"},   {45, "UnitAnmReverseH: no animation"},
      {46, "UnitAnmReverseV: no animation"},  {47, "UnitAnmRotateZ: no animation"},
      {48, "UnitAnmFrameView: no animation file"}, {52, "NCAtr: no hit map"},
      {53, "NCCheck: no character picture"},
  };
  for (const Case& c : cases) {
    testsupport::TraceCapture trace;
    rig.Run(c.code, 3);
    EXPECT_TRUE(trace.Contains(c.trace)) << c.code;
  }
  EXPECT_EQ(rig.menu.viewer.unit, nullptr);
  EXPECT_EQ(rig.menu.viewer.anm, nullptr);
  EXPECT_EQ(rig.menu.viewer.frame, nullptr);
}

// A 4 x 4 unit (unit 0) and a second one (unit 1); animation 0 shows unit 0 then 1, animation 1
// unit 1.
std::vector<uint8_t> ViewerAnimationFile() {
  using namespace testsupport;
  return AnimationFile({{0, 0, 0}, {31, 0, 0}, {0, 31, 0}},
                       {{4, 4, kSprDepth8, 0, std::vector<uint8_t>(16, 1)},
                        {4, 4, kSprDepth8, 0, std::vector<uint8_t>(16, 2)}},
                       {{BoxEntry(0, 0, 0, 4, 4)}, {BoxEntry(1, 0, 0, 4, 4)}},
                       {{{0, 6}, {1, 6}}, {{1, 6}}});
}

TEST(DebugActions, TheAnimationViewerPlaysTheTenthNameAndTakesItsSettings) {
  ActionRig rig;
  std::vector<std::string> names;
  for (int i = 0; i < 9; ++i) names.push_back("none" + std::to_string(i) + ".spr");
  names.push_back("view.spr");
  rig.WriteFile("UnitAnm.DEF", testsupport::DefFile(names));
  rig.WriteFile("view.spr", ViewerAnimationFile());
  {
    testsupport::TraceCapture trace;
    rig.Run(36, 9);
    EXPECT_TRUE(trace.Contains("LoadAnm: view.spr completed."));
    EXPECT_TRUE(trace.Contains("AnmNum:2 "));
  }
  ASSERT_NE(rig.menu.viewer.anm_file, nullptr);
  rig.SetValue(38, 100);
  rig.SetValue(39, 50);
  rig.SetValue(42, 80);
  rig.SetValue(45, 1);
  {
    testsupport::TraceCapture trace;
    rig.Run(37, 1);
    EXPECT_TRUE(trace.Contains("UnitAnmView: (100,50) "));
    EXPECT_TRUE(trace.Contains("AnmNo: 1 "));
  }
  AnimeHandle shown = rig.menu.viewer.anm;
  ASSERT_NE(shown, nullptr);
  SpxAnimeKind& spx = *Scene().tamvik_spr.spx();
  int x = 0, y = 0;
  ASSERT_EQ(spx.GetSpxPos(shown, &x, &y), 1);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  EXPECT_EQ(spx.GetSpxRev(shown), 0x10u);
  EXPECT_EQ(spx.Block(shown)->speed, 80u);
  // 42 and 47 change the shown animation.
  rig.Run(42, 200);
  EXPECT_EQ(spx.Block(shown)->speed, 200u);
  rig.Run(47, 300);
  EXPECT_EQ(spx.Block(shown)->rotation, 300);
  // Past the last animation, frame or name: refused.
  testsupport::TraceCapture trace;
  rig.Run(37, 2);
  EXPECT_EQ(rig.menu.viewer.anm, shown);
  rig.SetValue(37, 0);
  rig.Run(48, 2);
  EXPECT_TRUE(trace.Contains("UnitAnmFrameView: AnmNo(2 <= 2) is too large"));
  EXPECT_EQ(rig.menu.viewer.frame, nullptr);
  rig.Run(48, 1);
  EXPECT_NE(rig.menu.viewer.frame, nullptr);
  rig.Run(36, 10);
  EXPECT_TRUE(trace.Contains("past the last"));
  EXPECT_EQ(rig.menu.viewer.anm, shown);
}

TEST(DebugActions, DefNamesAndTheMessageTestFiles) {
  ActionRig rig;
  {
    testsupport::TraceCapture trace;
    rig.Run(29, 0);
    EXPECT_TRUE(trace.Contains("Can't open 'UnitBG.DEF'."));
  }
  rig.WriteFile("UnitBG.DEF", testsupport::DefFile({"bg\\none0.spr", "bg\\none1.spr"}));
  {
    testsupport::TraceCapture trace;
    rig.Run(30, 1);
    EXPECT_TRUE(trace.Contains("Can't load 'bg\\none1.spr'!!"));
  }
  // The message test: no table yet; a table that does not open keeps "not loaded".
  {
    testsupport::TraceCapture trace;
    rig.Run(57, 60001);
    EXPECT_TRUE(trace.Contains("MessageTable is not Load"));
    rig.Run(56, 12);
    EXPECT_TRUE(trace.Contains("MacroLoad Text Filename Macro\\0012tbl.bin"));
    trace.Clear();
    rig.Run(57, 60001);
    EXPECT_TRUE(trace.Contains("MessageTable is not Load"));
  }
  // A table whose count points past its end: loaded, but nothing is found in it.
  rig.WriteFile("Macro/0012tbl.bin", {0x03, 0xE8, 0x00, 0x00, 0xEA, 0x61, 0x00, 0x00});
  {
    testsupport::TraceCapture trace;
    rig.Run(56, 12);
    rig.Run(57, 60001);
    EXPECT_TRUE(trace.Contains("DataNo = 60001"));
    EXPECT_TRUE(trace.Contains("MessageData not Found!:0xea61 60001"));
  }
  // LipSync.DEF without its end mark.
  rig.WriteFile("LipSync.DEF", {';', 'c', '\n', 't', 'e', 'x', 't'});
  {
    testsupport::TraceCapture trace;
    rig.Run(58, 1);
    EXPECT_TRUE(trace.Contains("MessageData not Found!"));
  }
  // A whole one: its voice is named and played (missing here).
  const std::string lip = "0123";
  rig.WriteFile("LipSync.DEF", testsupport::LipSyncFile({"a", "b"}, 65535, &lip));
  {
    testsupport::TraceCapture trace;
    rig.Run(58, 1);
    EXPECT_TRUE(trace.Contains("Voice = tamvik1\\voice\\0000.wav"));
  }
}

TEST(DebugActions, GameFlowEntries) {
  ActionRig rig;
  // 1 with 0: the quit request.
  rig.Run(1, 0);
  EXPECT_NE(AppIsQuit(), 0u);
  // 1 with 1: the game restarted with the manager in mode 0.
  rig.Run(1, 1);
  ASSERT_NE(Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName), nullptr);
  EXPECT_EQ(CTamvikGeneral::GetMode(), 0);

  // 80: the minigame of the value in the mode of story byte 40, under "mg_task".
  int seen_game = -1;
  int seen_mode = -1;
  Game().sequences.minigame.start = [&](int game, int mode) {
    seen_game = game;
    seen_mode = mode;
    return 1;
  };
  GetAdvState()->setMinigameMode(2);
  rig.Run(80, 6);
  EXPECT_EQ(seen_game, 6);
  EXPECT_EQ(seen_mode, 2);
  EXPECT_NE(Ctx().game_task.FindTask("mg_task"), nullptr);

  // 81: the option menu after its return mode, and the extras by number.
  std::vector<int> extras;
  int option_menus = 0;
  Game().sequences.option_menu.start = [&](GameTaskRec*) { ++option_menus; };
  Game().sequences.extras.start = [&](GameTaskRec*, int which) { extras.push_back(which); };
  rig.Run(81, 0);
  rig.Run(81, 1);
  rig.Run(81, 2);
  rig.Run(81, 3);
  EXPECT_EQ(option_menus, 1);
  EXPECT_EQ(extras, (std::vector<int>{1, 2, 3}));

  // 83: the ending entry with the value.
  int ending = -1;
  Game().sequences.ending.start = [&](GameTaskRec*, int n) { ending = n; };
  rig.Run(83, 4);
  EXPECT_EQ(ending, 4);
}

TEST(DebugActions, BattleStartsFromTheMenu) {
  ActionRig rig;
  CTamvikGeneral::StartManager();
  CTamvikGeneral::SetMode(CTamvikAdv::kModeIdle);
  // 27: the battle map, then the battle entry (the composition root's: the battle's
  // initialisation task) under the manager's task.
  rig.Run(27, 7);
  EXPECT_EQ(GetSystemData()->battleMap(), 7u);
  GameTaskRec* battle = Ctx().game_task.FindTask(kSlgInitTaskName);
  ASSERT_NE(battle, nullptr);
  EXPECT_EQ(battle->owner, Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName));
}

TEST(DebugActions, DebugBattleStartTakesTheSceneOfTheMap) {
  struct Case {
    int32_t map;
    unsigned scene;  // 0: refused
  };
  const Case cases[] = {{0, 0x0102}, {9, 0x0701}, {11, 0x0802}, {13, 0x0806}, {14, 0x0902},
                        {16, 0x0904}, {17, 0x0A01}, {18, 0x0A02}, {10, 0},    {12, 0},
                        {15, 0},      {19, 0},      {200, 0}};
  for (const Case& c : cases) {
    ActionRig rig;
    GetAdvState()->setSceneCode(0x0555);
    ASSERT_EQ(Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {},
                                            CTamvikAdv::kAdvMainName),
              1);
    testsupport::TraceCapture trace;
    rig.Run(26, c.map);
    char line[32];
    std::snprintf(line, sizeof line, "SLG START MAP:%02d", c.map);
    EXPECT_TRUE(trace.Contains(line)) << c.map;
    if (c.scene == 0) {
      EXPECT_EQ(GetAdvState()->sceneCode(), 0x0555) << c.map;
      EXPECT_TRUE(trace.Contains("no scene starts map")) << c.map;
      EXPECT_EQ(Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName), nullptr) << c.map;
      continue;
    }
    EXPECT_EQ(GetAdvState()->sceneCode(), c.scene) << c.map;
    // The scene controller ended, the manager started and asked for the battle start.
    EXPECT_EQ(Ctx().game_task.FindTask(CTamvikAdv::kAdvMainName), nullptr) << c.map;
    ASSERT_NE(Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName), nullptr) << c.map;
    EXPECT_EQ(CTamvikGeneral::GetMode(), 26) << c.map;
  }
}

}  // namespace
