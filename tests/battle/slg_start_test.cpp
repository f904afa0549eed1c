// The battle's start and exit on the battle rig: the initialisation task and machine frame by
// frame on the minimal stage, the memory tier, the command table, the exit and its teardown, the
// stage switch with and without the fade, and the maps that do not exist.

#include "battle/slg_start.h"
#include "program/game_wiring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_debug_tasks.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_icon.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_tables.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/icon_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::StageWriter;

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

// The initialisation task's phase after its first frame, -1 when none runs (the rig stepped until
// it has run). Its first frame goes to phase 1 (the screen
// black, the loading picture next) or straight to phase 2 (a stage switch: no loading picture).
int InitPhase() {
  const GameTaskRec* task = Ctx().game_task.FindTask(kSlgInitTaskName);
  return task != nullptr ? static_cast<const SlgEffectTask*>(task->work)->phase : -1;
}
int FirstInitPhase(BattleRig& rig) {
  for (int i = 0; i < 3 && InitPhase() == 0; ++i) {
    if (!rig.Step()) return -1;
  }
  return InitPhase();
}

// A rig with a stage laid for `map`, the text tables and the system sprites; the mode requests
// and the calls of the map set-up and the event check's end recorded by fakes in their event
// entries (into the trace, so that their order among the other traces shows).
class StartRig {
 public:
  explicit StartRig(StageWriter stage = testsupport::MinimalStage(), bool system_tab = true) {
    stage.Lay(rig.driver().tree);
    testsupport::SlgTableWriter tables;
    tables.Se(1, "a.wav", "STATIC");
    tables.Lay(rig.driver().tree);
    testsupport::SlgTableWriter::LayWave(rig.driver().tree, "TAMVIK2\\SE\\A.WAV");
    if (system_tab) testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(static_cast<uint32_t>(stage.map));
    Game().sequences.set_mode = [this](int mode) {
      modes.push_back(mode);
      return 1;
    };
    BattleContext& b = rig.battle();
    b.events.setup_map_event = [](int) { DebugPrint("fake Slg::SetupMapEvent\n"); };
    b.events.end_event_check = [] { DebugPrint("fake EndEventCheck\n"); };
  }

  // Starts the battle and runs until the initialisation task has ended; whether it did.
  bool StartAndBuild() {
    Slg::StartStage();
    return Build();
  }
  bool Build() {
    return rig.RunUntil("the battle is built", [] { return !TaskExists(kSlgInitTaskName); }, 60);
  }

  // The traced lines that start with one of the prefixes, in order.
  std::vector<std::string> Traces(const std::vector<std::string>& prefixes) {
    std::vector<std::string> out;
    for (const DebugTraceLine& line : rig.driver().trace().lines()) {
      for (const std::string& p : prefixes) {
        if (line.text.rfind(p, 0) == 0) {
          out.push_back(line.text);
          break;
        }
      }
    }
    return out;
  }
  int Count(const std::string& prefix) {
    return static_cast<int>(Traces({prefix}).size());
  }

  BattleRig rig;
  std::vector<int> modes;
};

const std::vector<std::string> kInitTraces = {
    "StageSetup", "Slg::InitUnit", "fxMapX", "fxScrX", "ScrOffsetX", "fake", "SLG INIT END",
    "Slg::Now Loading Slg Static SE"};

TEST(SlgInit, RunsThePhasesAndOneMachineStepPerFrameInOrder) {
  StartRig s;
  Slg::StartStage();
  EXPECT_EQ(InitPhase(), 0);
  EXPECT_EQ(FirstInitPhase(s.rig), 1);
  EXPECT_EQ(s.rig.battle().control.order_marks, 0u);

  // Until the machine's phase the loading picture is shown; then one step per frame: the step
  // number and the unit count after each frame.
  std::vector<uint32_t> steps;
  std::vector<int> units;
  bool machine = false;
  for (int i = 0; i < 40 && TaskExists(kSlgInitTaskName); ++i) {
    ASSERT_TRUE(s.rig.Step());
    const BattleContext& b = s.rig.battle();
    if (b.control.built != 0) machine = true;
    if (machine && TaskExists(kSlgInitTaskName)) {
      steps.push_back(b.control.init_step);
      units.push_back(b.state.unit_count);
    }
  }
  ASSERT_FALSE(TaskExists(kSlgInitTaskName));
  // Step 0 (tables), 1 (stage), 2 (think files, system sprites, face), 3-4 one entry per frame,
  // the end of the entries, 5 (events), 6 (main task; back to 0).
  EXPECT_EQ(steps, (std::vector<uint32_t>{1, 2, 3, 4, 4, 5, 6, 0}));
  EXPECT_EQ(units, (std::vector<int>{0, 0, 0, 1, 2, 2, 2, 2}));

  EXPECT_EQ(s.Traces(kInitTraces),
            (std::vector<std::string>{"Slg::Now Loading Slg Static SE Data (Num:1)...\n",
                                      "StageSetup StageNo=0\n", "Slg::InitUnit 1\n",
                                      "Slg::InitUnit 2\n", "fxMapX=320 fxMapY=240\n",
                                      "fxScrX=0 fxScrY=0\n", "ScrOffsetX=0 ScrOffsetY=0\n",
                                      "fake Slg::SetupMapEvent\n", "SLG INIT END\n"}));

  const BattleContext& b = s.rig.battle();
  EXPECT_EQ(b.running, 1u);
  EXPECT_EQ(b.control.retry, 0u);
  EXPECT_EQ(b.flags, 14);
  EXPECT_EQ(b.control.actions_left, 2);
  // The main task, started in the machine's last step, has run its first frame in the same
  // pass: the order position beyond the order (unit count + 1) made it start round 1.
  EXPECT_EQ(b.first_frame, 0u);
  EXPECT_EQ(b.state.round, 1);
  EXPECT_EQ(b.order.count, 2);
  EXPECT_EQ(b.state.order_pos, 0);
  EXPECT_EQ(b.state.acting_unit, b.order.entries[0].slot);
  EXPECT_EQ(b.tables.loaded, 1u);
  EXPECT_NE(b.enemy_think, nullptr);
  EXPECT_NE(b.sys_sprites[0].file, nullptr);
  EXPECT_NE(b.state.category_update[0], nullptr);
  EXPECT_EQ(b.state.units[0].side, 0);
  EXPECT_EQ(b.state.units[1].side, 1);
  EXPECT_EQ(b.control.task_owner, s.rig.manager());
  ASSERT_NE(Scene().tamvik_spr.spx(), nullptr);
  EXPECT_EQ(Scene().tamvik_spr.spx()->sound_hook(), &AttackVoice);

  // The main task: under the manager, its step byte 17, its block kept.
  GameTaskRec* main = kSlgMainTask.Find(Ctx().game_task);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->owner, s.rig.manager());
  ASSERT_NE(b.control.main_work, nullptr);
  EXPECT_EQ(static_cast<void*>(b.control.main_work), main->work);
  EXPECT_EQ(b.control.main_work->step, kSlgMainFirstState);
  // It draws a frame and keeps running.
  ASSERT_TRUE(s.rig.Run(2));
  EXPECT_NE(kSlgMainTask.Find(Ctx().game_task), nullptr);
  EXPECT_TRUE(s.modes.empty());
}

TEST(SlgInit, OnlyPresentEntriesBecomeUnitsAndRefusedOnesAreSkipped) {
  StageWriter stage = testsupport::MinimalStage();
  // Entry 0 absent at the start, entry 1 present, entry 2 present but unusable (its class has a
  // kind beyond the table), entry 3 a second present hero.
  stage.header.num_unit = 4;
  stage.units[0].present = 0;
  stage.units[2] = stage.units[1];
  stage.units[2].class_index = 2;
  stage.classes[2] = stage.classes[1];
  stage.classes[2].kind = 60;
  stage.units[3] = stage.units[0];
  stage.units[3].present = 1;
  StartRig s(stage);
  ASSERT_TRUE(s.StartAndBuild());
  const BattleContext& b = s.rig.battle();
  EXPECT_EQ(b.state.unit_count, 2);
  EXPECT_EQ(b.state.units[0].entry, 1);
  EXPECT_EQ(b.state.units[1].entry, 3);
  EXPECT_EQ(s.Count("Slg::InitUnit"), 4);
  EXPECT_EQ(s.Count("SLG INIT END"), 1);
  EXPECT_EQ(b.order.count, 2);  // both in round 1's order
}

TEST(SlgInit, NoZakoSkipsTheThinkFilesAndAnEventTableEndsBlack) {
  struct Case {
    bool no_zako;
    int event_table;
  };
  for (const Case c : {Case{false, 0}, Case{true, 0}, Case{false, 1}}) {
    StageWriter stage = testsupport::MinimalStage();
    if (c.no_zako) {
      const std::string text = "AllMapImage: NoZako\n";
      stage.SetRaw(StageWriter::kMapTable, std::vector<uint8_t>(text.begin(), text.end()));
    }
    StartRig s(stage);
    // A set-up with a table (no rows) installs it: the real HasEventTable answers 1.
    static constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};
    std::optional<testsupport::ScopedEventTable> events;
    if (c.event_table != 0) {
      events.emplace(kNoRows);
      events->InstallOn(s.rig.battle());
    }
    ASSERT_TRUE(s.StartAndBuild());
    const BattleContext& b = s.rig.battle();
    EXPECT_EQ(b.enemy_think == nullptr, c.no_zako) << c.no_zako;
    // Black at once with an event table (the screen fade at its full level), else clear.
    ASSERT_TRUE(s.rig.Run(2));
    EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), c.event_table != 0 ? 256 : 0);
    EXPECT_EQ(b.running, 1u);
  }
}

TEST(SlgInit, WithoutSystemTabTheBattleStillBuilds) {
  // (The missing table's error box asks the program to close, so the machine runs here
  // without frames.)
  StartRig s(testsupport::MinimalStage(), false);
  int steps = 0;
  while (SlgInitMachineStep() == 0 && steps < 20) ++steps;
  EXPECT_EQ(steps, 7);
  EXPECT_TRUE(s.rig.driver().trace().Contains("Error: Can't open System.Tab.\n"));
  for (const SlgSystemSprite& sprite : s.rig.battle().sys_sprites) {
    EXPECT_EQ(sprite.file, nullptr);
  }
  EXPECT_EQ(s.Count("SLG INIT END"), 1);
}

TEST(SlgMemoryTier, FollowsTheThresholds) {
  struct Case {
    uint64_t bytes;
    uint32_t tier;
  };
  for (const Case c : {Case{0, 0}, Case{0x8000000, 0}, Case{0x8000001, 1}, Case{0xC000000, 1},
                       Case{0xC000001, 2}, Case{0xE000000, 2}, Case{0xE000001, 3},
                       Case{8ull << 30, 3}}) {
    EXPECT_EQ(SlgMemoryTierOf(c.bytes), c.tier) << std::hex << c.bytes;
  }
  // The initialisation reads the program's memory figure.
  BattleRig::Options o;
  o.memory_bytes = 0xE000001;
  BattleRig rig(o);
  testsupport::MinimalStage().Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  SlgInitMachineStep();
  EXPECT_EQ(rig.battle().memory_tier, 3u);
}

TEST(SlgCommandTable, IsWrittenWithoutAndWithAPartner) {
  BattleRig rig;
  const uint8_t x = kSlgNoCommand;
  SlgWriteCommandTable(false);
  EXPECT_EQ(rig.battle().control.command_table,
            (SlgCommandTable{1, x, x, 20, 2, x, 9, 10, 8, 18, 12, 6, 19, x, x, 14, x, x}));
  SlgWriteCommandTable(true);
  EXPECT_EQ(rig.battle().control.command_table,
            (SlgCommandTable{1, x, x, 25, 20, 2, 9, 10, 8, 18, 12, 6, 19, x, x, 14, x, x}));
}

// A built battle on map 0 with a stage laid for each of `maps` too.
StageWriter StageFor(int map) {
  StageWriter stage = testsupport::MinimalStage();
  stage.map = map;
  return stage;
}

TEST(SlgExit, TearsDownInOrderRequestsMode28AndASecondExitChangesNothing) {
  StartRig s;
  ASSERT_TRUE(s.StartAndBuild());
  BattleContext& b = s.rig.battle();
  ASSERT_NE(b.sys_sprites[0].file, nullptr);
  ASSERT_NE(kSlgMainTask.Find(Ctx().game_task), nullptr);
  testsupport::SlgTableWriter::LayWave(s.rig.driver().tree, "TAMVIK2\\SE\\M.WAV", 2.0);
  ASSERT_EQ(Ctx().dsound.PlayBGM("TAMVIK2\\SE\\M.WAV"), 1);
  Ctx().dsound.SetBGMVolume(40, 0);

  Slg::ExitSlg();
  EXPECT_EQ(s.modes, std::vector<int>{kSlgReturnMode});
  EXPECT_EQ(s.Traces({"fake EndEventCheck", "Slg::Delete System Sprite", "Slg::ExitSlg",
                      "NextMode"}),
            (std::vector<std::string>{"fake EndEventCheck\n",
                                      "Slg::Delete System Sprite...\n", "Slg::ExitSlg\n",
                                      "NextMode=GM_SLG_RET\n"}));
  EXPECT_EQ(b.running, 0u);
  EXPECT_EQ(b.control.retry, 0u);
  EXPECT_EQ(b.control.main_work, nullptr);
  for (const SlgSystemSprite& sprite : b.sys_sprites) EXPECT_EQ(sprite.file, nullptr);
  EXPECT_EQ(b.tables.loaded, 0u);
  EXPECT_EQ(b.enemy_think, nullptr);
  for (const auto& plane : b.map.planes) EXPECT_EQ(plane, nullptr);
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  // (A stopped channel has no buffer to read back: its kept volume word.)
  EXPECT_EQ(Ctx().dsound.channels[kChannelBgm].volume, 100u);
  EXPECT_NE(b.fade_handle, nullptr);  // the 32-frame fade in
  ASSERT_TRUE(s.rig.Step());
  EXPECT_EQ(kSlgMainTask.Find(Ctx().game_task), nullptr);

  // A second exit (a second victory task, an exit after a failed switch) only traces.
  const size_t lines = s.rig.driver().trace().lines().size();
  Slg::ExitSlg();
  EXPECT_EQ(s.modes.size(), 1u);
  EXPECT_EQ(s.Count("Slg::ExitSlg\n"), 1);
  EXPECT_EQ(s.rig.driver().trace().lines().size(), lines + 1);
  EXPECT_TRUE(s.rig.driver().trace().Contains("Slg::ExitSlg: the battle has already handed back"));
}

void IdleEffect(SlgEffectTask* /*task*/) {}

// The effect tasks still running end with the battle, on the exit and on a switch; the icon
// sprite goes with the system sprites on the exit only (a switch keeps both).
TEST(SlgExit, TheTeardownEndsTheEffectTasksAndTheExitReleasesTheIconSprite) {
  for (const bool exit : {true, false}) {
    SCOPED_TRACE(exit ? "exit" : "switch");
    StartRig s;
    ASSERT_TRUE(s.StartAndBuild());
    s.rig.driver().tree.Write("install/Tamvik1/SYSTEM/icon/ICON2.SPR",
                              testsupport::IconSprFile());
    ASSERT_EQ(CTamvikIcon::LoadIconSpr(), 1);
    ASSERT_NE(SlgTaskCreate(SlgTaskOwner(), &IdleEffect, "probe effect"), nullptr);
    ASSERT_NE(SlgTaskCreateWork(&IdleEffect, 16, "probe work"), nullptr);
    if (exit) {
      Slg::ExitSlg();
    } else {
      SlgTeardown();  // as a switch runs it: `running` 1
    }
    EXPECT_FALSE(TaskExists("probe effect"));
    EXPECT_FALSE(TaskExists("probe work"));
    EXPECT_EQ(Scene().icon.icon_file == nullptr, exit);
    CTamvikIcon::ReleaseIcon();
  }
}

TEST(SlgInit, SetsTheLayersUpAndTheTeardownPutsThemBack) {
  StartRig s;
  LayerState before;
  SlgSaveLayers(&before);
  ASSERT_TRUE(s.StartAndBuild());
  LayerState built;
  SlgSaveLayers(&built);
  // Layer 4 alone, without its copy bit, and the clear flag.
  EXPECT_EQ(built.visible[4], 1);
  EXPECT_EQ(built.copy[4], 0);
  for (int layer = 5; layer <= 8; ++layer) EXPECT_EQ(built.visible[layer], 0) << layer;
  EXPECT_EQ(built.clear_flag, 1);

  // The teardown (as a switch runs it: `running` 1) restores them and keeps the system sprites.
  SlgTeardown();
  LayerState after;
  SlgSaveLayers(&after);
  for (int layer = 4; layer <= 8; ++layer) {
    EXPECT_EQ(after.visible[layer], before.visible[layer]) << layer;
    EXPECT_EQ(after.copy[layer], before.copy[layer]) << layer;
  }
  EXPECT_EQ(after.clear_flag, before.clear_flag);
  EXPECT_NE(s.rig.battle().sys_sprites[0].file, nullptr);
  EXPECT_EQ(s.Count("Slg::Delete System Sprite"), 0);
  // Torn down already: a second teardown only traces.
  SlgTeardown();
  EXPECT_EQ(s.Count("fake EndEventCheck"), 1);
}

TEST(SlgSwitch, FadesOnlyOnItsMapsAndKeepsSystemSpritesAndStaticSounds) {
  struct Case {
    int map;
    bool fade;
  };
  for (const Case c : {Case{1, false}, Case{17, true}, Case{22, true}, Case{25, true},
                       Case{26, false}}) {
    SCOPED_TRACE(c.map);
    StartRig s;
    StageFor(c.map).Lay(s.rig.driver().tree);
    ASSERT_TRUE(s.StartAndBuild());
    BattleContext& b = s.rig.battle();
    SprAnm* const cursor = b.sys_sprites[0].file;
    ASSERT_NE(cursor, nullptr);
    GameTaskRec* main = kSlgMainTask.Find(Ctx().game_task);
    ASSERT_NE(main, nullptr);

    Slg::SwitchStage(c.map);
    EXPECT_EQ(GetSystemData()->battleMap(), static_cast<uint32_t>(c.map));
    EXPECT_EQ(main->function, nullptr);  // ends on the next pass
    EXPECT_TRUE(TaskExists(c.fade ? kSlgExchangeTaskName : kSlgExchangeNofadeTaskName));
    EXPECT_FALSE(TaskExists(c.fade ? kSlgExchangeNofadeTaskName : kSlgExchangeTaskName));
    // Frames until the stage is being built again.
    int frames = 0;
    bool fade_bit = false;
    while (!TaskExists(kSlgInitTaskName) && frames < 60) {
      ASSERT_TRUE(s.rig.Step());
      ++frames;
      if ((b.flags & 0x20) != 0) fade_bit = true;
    }
    if (c.fade) {
      EXPECT_GE(frames, 32);
      EXPECT_LE(frames, 36);
      EXPECT_TRUE(fade_bit);
    } else {
      EXPECT_EQ(frames, 1);
      EXPECT_FALSE(fade_bit);
    }
    // Straight past the loading picture.
    EXPECT_EQ(FirstInitPhase(s.rig), 2);
    ASSERT_TRUE(s.Build());
    EXPECT_EQ(s.Count("StageSetup StageNo=" + std::to_string(c.map)), 1);
    EXPECT_EQ(s.Count("SLG INIT END"), 2);
    // Kept: the system sprites and the static sound bank; no loading picture.
    EXPECT_EQ(s.Count("Slg::Delete System Sprite"), 0);
    EXPECT_EQ(b.sys_sprites[0].file, cursor);
    EXPECT_EQ(s.Count("Slg::Now Loading Slg Static SE"), 1);
    EXPECT_EQ(b.running, 1u);
    EXPECT_NE(kSlgMainTask.Find(Ctx().game_task), nullptr);
    EXPECT_TRUE(s.modes.empty());
  }
}

TEST(SlgSwitch, ARetryShowsTheLoadingPictureAgain) {
  StartRig s;
  StageFor(1).Lay(s.rig.driver().tree);
  ASSERT_TRUE(s.StartAndBuild());
  s.rig.battle().control.retry = 1;
  Slg::SwitchStage(1);
  ASSERT_TRUE(s.rig.RunUntil("switched", [] { return TaskExists(kSlgInitTaskName); }, 10));
  EXPECT_EQ(FirstInitPhase(s.rig), 1);  // the screen black, the loading picture next
  ASSERT_TRUE(s.Build());
  EXPECT_EQ(s.rig.battle().control.retry, 0u);
  EXPECT_EQ(s.Count("SLG INIT END"), 2);
}

// The first frame of a stage starts its round 1 whatever the stage before it left: a map of four
// units switched to one of two (whose order position, beyond its own two units, is not beyond
// the four entries of the old order).
TEST(SlgSwitch, TheNewStageStartsItsFirstRoundWhateverTheOldOrderHeld) {
  for (const bool fade : {false, true}) {
    SCOPED_TRACE(fade);
    StageWriter big = testsupport::MinimalStage();
    big.header.num_unit = 4;
    for (int i = 2; i < 4; ++i) {
      big.units[static_cast<size_t>(i)] = big.units[1];
      big.units[static_cast<size_t>(i)].y = static_cast<int16_t>(240 + 64 * (i - 1));
    }
    StartRig s(big);
    const int map_b = fade ? 17 : 1;
    StageFor(map_b).Lay(s.rig.driver().tree);
    ASSERT_TRUE(s.StartAndBuild());
    BattleContext& b = s.rig.battle();
    ASSERT_TRUE(s.rig.RunUntil("round 1 of the first map", [&b] { return b.state.round == 1; }, 5));
    ASSERT_EQ(b.order.count, 4);
    SlgSetMacroP(kSlgRoundVar, 3);  // as the first map's third round left it

    Slg::SwitchStage(map_b);
    ASSERT_TRUE(s.rig.RunUntil("switched", [] { return TaskExists(kSlgInitTaskName); }, 60));
    ASSERT_TRUE(s.Build());
    ASSERT_EQ(b.state.unit_count, 2u);
    ASSERT_TRUE(s.rig.Step());
    EXPECT_EQ(b.state.round, 1);
    EXPECT_EQ(SlgGetMacroP(kSlgRoundVar), 1);
    EXPECT_EQ(b.order.count, 2);
    EXPECT_LT(b.state.acting_unit, 2u);
  }
}

TEST(SlgStart, AMapBeyondTheLastHandsBackAtOnceWithoutASecondTeardown) {
  // From the start (nothing built) and from a switch (already torn down).
  for (const bool from_switch : {false, true}) {
    SCOPED_TRACE(from_switch);
    StartRig s;
    if (from_switch) {
      ASSERT_TRUE(s.StartAndBuild());
      GetSystemData()->setBattleLost(7);
      Slg::SwitchStage(27);
      ASSERT_TRUE(s.rig.Run(2));
    } else {
      GetSystemData()->setBattleLost(7);
      GetSystemData()->setBattleMap(27);
      Slg::StartStage();
    }
    EXPECT_TRUE(s.rig.driver().trace().Contains("Slg::Stage Init Fail! StageNo:27\n"));
    EXPECT_FALSE(TaskExists(kSlgInitTaskName));
    EXPECT_EQ(s.modes, std::vector<int>{kSlgReturnMode});
    EXPECT_EQ(GetSystemData()->battleLost(), 7u);
    EXPECT_EQ(s.Count("Slg::ExitSlg\n"), 1);
    EXPECT_EQ(s.Count("fake EndEventCheck"), from_switch ? 1 : 0);
    EXPECT_EQ(s.Count("Slg::Delete System Sprite"), from_switch ? 1 : 0);
    EXPECT_EQ(s.rig.battle().running, 0u);
    // What the switch kept goes with the exit.
    for (const SlgSystemSprite& sprite : s.rig.battle().sys_sprites) EXPECT_EQ(sprite.file, nullptr);
  }
}

TEST(SlgStopMainTask, EndsTheMainTaskAlsoFromTheDebugRestart) {
  StartRig s;
  ASSERT_TRUE(s.StartAndBuild());
  GameTaskRec* main = kSlgMainTask.Find(Ctx().game_task);
  ASSERT_NE(main, nullptr);
  SlgDebugRestart();
  EXPECT_EQ(main->function, nullptr);
  EXPECT_EQ(s.rig.battle().control.main_work, nullptr);
  EXPECT_EQ(s.modes, std::vector<int>{kSlgDebugRestartMode});
  ASSERT_TRUE(s.rig.Step());
  EXPECT_EQ(kSlgMainTask.Find(Ctx().game_task), nullptr);
  // With none running it does nothing.
  Slg::StopMainTask();
  ASSERT_TRUE(s.rig.Step());
}

// The manager's sequences with the battle entry as the composition root fills it (no battle
// context of the test's: the entry makes its own) and stand-ins for the rest; the battle map
// replaced by `map` where the manager has just stored it. Started and parked in a waiting mode.
class ManagerBattle {
 public:
  explicit ManagerBattle(uint32_t map) : d(Options()) {
    GameSequences& s = d.sequences();
    testsupport::FillManagerStandIns(s);
    s.set_mode = [](int mode) { return CTamvikGeneral::SetMode(mode); };
    WireBattleSequence(s);
    auto real = s.battle.start;
    s.battle.start = [real, map] {
      GetSystemData()->setBattleMap(map);
      real();
    };
    if (!d.Start()) {
      ADD_FAILURE() << "the program did not start";
      return;
    }
    Ctx().file_io.SetInstallDir(d.tree.install().c_str());
    CTamvikGeneral::SetMode(10);  // a mode that waits for good
    EXPECT_TRUE(d.Step());
    EXPECT_NE(Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName), nullptr);
  }
  static testsupport::ProgramDriver::Options Options() {
    testsupport::ProgramDriver::Options options;
    options.wire_sequences = false;
    return options;
  }
  testsupport::ProgramDriver d;
};

TEST(SlgStart, AHeadlessBattleGoesFromMode26ThroughItsSetUpToTheExitAndMode28) {
  ManagerBattle m(0);
  testsupport::MinimalStage().Lay(m.d.tree);
  testsupport::SlgTableWriter().Lay(m.d.tree);
  testsupport::SystemSpriteSet().Lay(m.d.tree);
  ASSERT_FALSE(HasBattle());
  CTamvikGeneral::SetMode(26);
  ASSERT_TRUE(m.d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 27);
  ASSERT_TRUE(HasBattle());
  EXPECT_TRUE(m.d.sequences().battle.IsRunning());
  EXPECT_FALSE(m.d.host_window().cursor_visible);
  ASSERT_TRUE(m.d.RunUntil(
      "SLG INIT END", [](const testsupport::ProgramDriver& d) {
        return d.trace().Contains("SLG INIT END\n");
      },
      60));
  EXPECT_EQ(Battle().state.unit_count, 2);
  EXPECT_EQ(CTamvikGeneral::GetMode(), 27);
  ASSERT_TRUE(m.d.Run(2));
  EXPECT_EQ(Battle().running, 1u);

  Slg::ExitSlg();
  ASSERT_TRUE(m.d.Step());
  EXPECT_EQ(CTamvikGeneral::GetMode(), 32);  // mode 28 handled: not lost
  EXPECT_FALSE(m.d.sequences().battle.IsRunning());
}

TEST(SlgStart, TheManagerLeavesItsBattleModeForAMapBeyondTheLast) {
  ManagerBattle m(27);
  testsupport::ProgramDriver& d = m.d;
  GameSequences& s = d.sequences();
  ASSERT_FALSE(HasBattle());

  CTamvikGeneral::SetMode(26);
  ASSERT_TRUE(d.Step());
  EXPECT_TRUE(d.trace().Contains("Slg::Stage Init Fail! StageNo:27\n"));
  EXPECT_TRUE(d.trace().Contains("NextMode=GM_SLG_RET\n"));
  EXPECT_TRUE(HasBattle());  // the entry's own context
  EXPECT_FALSE(s.battle.IsRunning());
  ASSERT_TRUE(d.Step());
  // Mode 28 handled: the battle was not lost, so on to the next scene's road.
  EXPECT_EQ(CTamvikGeneral::GetMode(), 32);
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
}

}  // namespace
