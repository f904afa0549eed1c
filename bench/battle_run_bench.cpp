// Whole battles from the mode manager, headless, on the battle rig (testsupport/battle_rig.h)
// over the battle builder's install (testsupport/battle_install.h).
//
// BM_BattleFrameFromManager: the battle's frame through its real main task. The battle starts
// from the manager in mode 26 on a stage of 64 units (16 players, 48 kind-14 enemies, four of
// which walk legs again and again) over the four-plane map; once the player's phase waits in the
// hero's command window, a task scrolls the map one pixel a frame, keeps a range view of 256 cells open (as
// a unit's range view shows it), and 32 effect tasks move an animation each while a damage gauge
// counts; the main task draws the map and mouse cursors. Goal: under 3 ms a frame on one core, no
// allocation in the steady frames. Beside the time: "entries/frame" (sprite-buffer entries of all
// compose layers before the compose; the engine's pool holds 1024), "allocs/frame" (operator new
// calls) and "slg allocs/frame" (blocks of the battle allocator).
//
// BM_BattleVictoryHeadless: the victory row of the run table (the hero walks up to the ASHIGARU
// and attacks until it falls, the enemy's think attacking back), the clock stepped as fast as the
// frames run, nothing traced: "x_real_time" is game seconds per wall second (goal: at least 100).
//
// BM_FinalChainHeadless: the final chain of map scripts in one battle (testsupport/map_stages.h,
// maps 18, 23, 24, 25 and 26 on their small stages, the first route heroine): map 18's opening,
// its enemies taken off, then every map to the next through the real stage switch and its fade
// until map 26 is won; the same clock and rate, the harness's start (the files laid) included.
//
// BM_StoryRoadHeadless: the scripted two-map battle's story road (testsupport/story_map.h: the
// opening with its background and talk, the choice, the movie, the enemies destroyed, the switch
// at once to map B and its victory), the same clock and rate.
//
// BM_FinalChainHeadless: the real map scripts of the final chain (testsupport/map_program.h, as
// tests/battle/map_program_test.cpp plays it): map 18 from its scene on heroine 3's route, its
// enemies removed after the opening, then maps 23, 24 and 25 switching after their fades and map
// 26 won; the same clock and rate.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_command_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_gauge.h"
#include "battle/slg_player.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_spawn.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "bench/battle_bench_common.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "flow/tamvik_general.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/headless_records.h"
#include "testsupport/map_program.h"
#include "testsupport/map_stages.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/story_map.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;

BattleRig::Options RigOptions() {
  BattleRig::Options o;
  o.manager_mode = 26;
  o.seed = 7;
  o.hash_frames = false;
  return o;
}

// The manager is in its battle modes (26-28).
bool InBattleModes() {
  const int mode = CTamvikGeneral::GetMode();
  return mode >= 26 && mode <= 28;
}

// ---- The busy frame ----

constexpr int kPlayers = 16;
constexpr int kUnits = 64;
constexpr int kWalkers = 4;
constexpr int kEffects = 32;

bool g_count = false;
int g_entries = 0;

// Beside the main task: the scroll of the next frame, the walkers' legs, the range view.
void Busy(SlgEffectTask* /*task*/) {
  BattleContext& b = Battle();
  battle_bench::ScrollOnePixel();
  const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
  for (int i = kUnits - kWalkers; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    battle_bench::WalkAgainAndAgain(u, now);
  }
  Slg::RangeMarkers();
}

// The last task of the pass: counts the entries when asked.
void Counter(SlgEffectTask* /*task*/) {
  if (g_count) g_entries = battle_bench::CountEntries(SURFACE_ROOT, SURFACE_TEXT);
}

// The player's phase waits in the acting unit's command window (open, nothing chosen).
bool PlayerWaits() {
  if (!HasBattle()) return false;
  const BattleContext& b = Battle();
  const SlgUnit* acting = testsupport::BattleScript::ActingUnit();
  return b.control.main_work != nullptr && b.state.round >= 1 && acting != nullptr &&
         acting->side == 0 && b.control.main_work->step == kSlgPlayerCommand && b.phase_sub == 3;
}

// 64 units on cells of columns 1-8, every other row from 4: the players first.
BattleInstall BusyInstall() {
  BattleInstall install;
  testsupport::StageWriter& st = install.stage;
  st.header.width = 2048;
  st.header.height = 2048;
  const StageUnitEntry hero = st.units[0];
  const StageUnitEntry enemy = st.units[1];
  for (int i = 0; i < kUnits; ++i) {
    StageUnitEntry& u = st.units[static_cast<size_t>(i)];
    const bool player = i < kPlayers;
    u = player ? hero : enemy;
    u.character = static_cast<uint8_t>(player ? i : 20 + i);
    u.facing = static_cast<uint8_t>(i % 4);
    const int column = 1 + i % 8;
    const int row = 4 + 2 * (i / 8);
    u.x = static_cast<int16_t>(2 * column * 48);
    u.y = static_cast<int16_t>(24 * row);
  }
  st.header.num_unit = kUnits;
  return install;
}

struct ManagerBattleFrame {
  // Starts the battle and adds the busy tasks; false when a part could not be made.
  bool Build() {
    BattleInstall install = BusyInstall();
    install.Lay(rig.driver().tree);
    testsupport::LayFourPlaneMap(rig.driver().tree, install.stage.map);
    GetSystemData()->setVoiceOff(1);
    for (int f = 0; f < 600 && !PlayerWaits(); ++f) {
      if (!rig.Step()) return Fail("the program ended");
    }
    if (!PlayerWaits()) return Fail("the player's phase did not start");
    BattleContext& b = Battle();
    if (b.state.unit_count != kUnits) return Fail("not every unit was made");
    for (int i = kUnits - kWalkers; i < kUnits; ++i) {
      SlgUnit& unit = b.state.units[static_cast<size_t>(i)];
      Slg::SetUnitDir(unit, 1);
      SetUnitState(unit, kUnitStateWalk);
      unit.walk_state = {static_cast<int32_t>(Ctx().frame_rate.GetTime()), unit.x, unit.y, 0, 0};
    }
    battle_bench::OpenRangeOf256Cells(b);
    battle_bench::g_effect_anm = b.state.units[0].anims[kUnitAnmBaseEffect];
    if (battle_bench::g_effect_anm == nullptr) return Fail("no effect animation");
    if (SlgTaskCreate(nullptr, &Busy, "Bench::Busy") == nullptr) return Fail("no task");
    for (int i = 0; i < kEffects; ++i) {
      SlgEffectTask* t = SlgTaskCreateAnm(&battle_bench::Mover<40, 60>, ("Bench::Effect" + std::to_string(i)).c_str());
      if (t == nullptr) return false;
      t->index = static_cast<uint8_t>(i);
    }
    gauge = battle_bench::StartGauge();
    if (gauge < 0) return false;
    // The driver's own records of presented frames and mixed sound are not part of the game's
    // frame (the sound is still mixed, into a reused block).
    rig.driver().host().display.on_present = nullptr;
    rig.driver().host().audio.capture = false;
    return SlgTaskCreate(nullptr, &Counter, "Bench::Counter") != nullptr;
  }
  void KeepGauge() {
    if (DGaugeRunning(gauge) == 0) gauge = battle_bench::StartGauge();
  }
  bool Fail(const char* why) {
    failure = why;
    return false;
  }

  BattleRig rig{RigOptions()};
  std::string failure = "a task or the gauge could not start";
  int gauge = -1;
};

void BM_BattleFrameFromManager(benchmark::State& state) {
  auto program = std::make_unique<ManagerBattleFrame>();
  if (!program->Build()) {
    state.SkipWithError(program->failure.c_str());
    return;
  }
  BattleContext& battle = Battle();
  // Warm up: lazily made buffers exist, every stand and idle effect has played.
  for (int i = 0; i < 600; ++i) {
    program->rig.Step();
    program->KeepGauge();
  }
  // The program traces nothing unless asked; the rig's capture (which keeps every line) is not
  // part of its frame.
  const DebugTraceHook capture = SetDebugTraceHook({});
  const int presented_before = program->rig.driver().presented();
  const uint32_t slg_before = battle.alloc.calls;
  uint64_t allocations = 0;
  uint32_t restart_blocks = 0;  // the gauge's restarts, not part of a frame
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    program->rig.Step();
    allocations += BenchAllocations() - before;
    if (DGaugeRunning(program->gauge) == 0) {
      state.PauseTiming();
      const uint32_t calls = battle.alloc.calls;
      program->KeepGauge();
      restart_blocks += battle.alloc.calls - calls;
      state.ResumeTiming();
    }
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["slg allocs/frame"] = (battle.alloc.calls - slg_before - restart_blocks) / frames;
  state.counters["shown/frame"] = (program->rig.driver().presented() - presented_before) / frames;
  // One more frame: its entries, and the units the handle pool refused (256 handles: the range
  // view's markers, the units, effects and cursors ask for more).
  static int refused = 0;
  refused = 0;
  SetDebugTraceHook([](const DebugTraceLine& line) {
    if (line.text.rfind("Unit Buffer is too small", 0) == 0) ++refused;
  });
  g_count = true;
  program->rig.Step();
  g_count = false;
  SetDebugTraceHook(capture);
  state.counters["entries/frame"] = g_entries;
  state.counters["refused units/frame"] = refused;
  state.counters["pool"] = CDdrawSpr::kEntryCount;
  if (battle.cmd.range_view != kSlgRangeShown) state.SkipWithError("the range view is not shown");
  if (!PlayerWaits()) state.SkipWithError("the player's phase left the command window");
  battle_bench::g_effect_anm = nullptr;
}
BENCHMARK(BM_BattleFrameFromManager)->Unit(benchmark::kMillisecond)->Iterations(600);

// ---- The victory row as fast as frames run ----

// The steps the battle took when the manager went on to mode 32 with the battle won, else 0.
int WonSteps(const BattleRig& rig) {
  return CTamvikGeneral::GetMode() == 32 && GetSystemData()->battleLost() == 0 ? rig.steps() : 0;
}

// Plays the victory row; the frames it took, 0 when the battle did not hand back as won.
// The rig's start and the install's files (a temporary folder) are made with the timing paused:
// they are the test's set-up, not the game's.
int PlayVictory(benchmark::State& state) {
  state.PauseTiming();
  BattleRig rig(RigOptions());
  rig.InstallEventTable(testsupport::kVictoryEvents);
  BattleInstall().Lay(rig.driver().tree);
  // The driver's frame and sound records are not the game's frame: nothing here reads them.
  testsupport::HeadlessRecordsOff(rig.driver());
  state.ResumeTiming();
  GetSystemData()->setVoiceOff(1);
  testsupport::BattleScript player(rig.driver());
  // As the program runs: nothing traced (the rig's capture keeps every line).
  const DebugTraceHook capture = SetDebugTraceHook({});
  for (int f = 0; f < 3000; ++f) {
    if (f > 0 && !InBattleModes()) {
      SetDebugTraceHook(capture);
      return WonSteps(rig);
    }
    if (HasBattle()) testsupport::BattleScript::InstallAttackStubs({0, 14});
    if (player.Ready()) player.HeroWalksAndAttacks({3, 9});
    if (!rig.Step()) break;
  }
  SetDebugTraceHook(capture);
  return 0;
}

// Plays a battle each iteration (`play`: its frames, 0 when it was not won) and reports the game
// seconds per wall second.
void ReportHeadlessRate(benchmark::State& state, int (*play)(benchmark::State&),
                        const char* not_won) {
  double frames = 0;
  for (auto _ : state) {
    const int n = play(state);
    if (n == 0) {
      state.SkipWithError(not_won);
      break;
    }
    frames += n;
  }
  state.counters["game_frames"] = benchmark::Counter(frames, benchmark::Counter::kAvgIterations);
  state.counters["x_real_time"] = benchmark::Counter(frames / 60.0, benchmark::Counter::kIsRate);
}

void BM_BattleVictoryHeadless(benchmark::State& state) {
  ReportHeadlessRate(state, &PlayVictory, "the victory row was not won");
}
// Rates per wall second: the counters divide by real time (the battle's start from the manager,
// its initialisation and every frame to the manager's next mode).
BENCHMARK(BM_BattleVictoryHeadless)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Plays the story road; the frames it took, 0 when the battle did not hand back as won.
int PlayStoryRoad(benchmark::State& state) {
  state.PauseTiming();
  BattleRig rig(RigOptions());
  testsupport::StoryMapB(1);
  testsupport::LayStoryFiles(rig);
  testsupport::StoryBattle story(rig, 1);
  // The driver's frame and sound records are not the game's frame: nothing here reads them.
  testsupport::HeadlessRecordsOff(rig.driver());
  state.ResumeTiming();
  const DebugTraceHook capture = SetDebugTraceHook({});
  for (int f = 0; f < 6000; ++f) {
    if (f > 0 && !InBattleModes()) {
      SetDebugTraceHook(capture);
      return WonSteps(rig);
    }
    story.BeforeFrame();
    if (!rig.Step()) break;
  }
  SetDebugTraceHook(capture);
  return 0;
}

void BM_StoryRoadHeadless(benchmark::State& state) {
  ReportHeadlessRate(state, &PlayStoryRoad, "the story road was not won");
}
BENCHMARK(BM_StoryRoadHeadless)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Plays the final chain; the frames it took, 0 when the battle did not hand back as won.
int PlayFinalChain(benchmark::State& state) {
  state.PauseTiming();
  BattleRig rig(RigOptions());
  testsupport::ProgramMapEvents events(rig);
  testsupport::LayMapStages(rig.driver().tree, {18, 23, 24, 25, 26});
  GetAdvState()->setSceneCode(0x0A01);  // map 18's battle (stage 17)
  SlgSetMacroP(kSlgPairVar, 3);
  testsupport::HeadlessRecordsOff(rig.driver());
  state.ResumeTiming();
  GetSystemData()->setVoiceOff(1);
  testsupport::MapProgramPlayer player(rig.driver());
  bool cleared = false;
  const DebugTraceHook capture = SetDebugTraceHook({});
  for (int f = 0; f < 30000; ++f) {
    if (f > 0 && !InBattleModes()) {
      SetDebugTraceHook(capture);
      return WonSteps(rig);
    }
    // Map 18's enemies go on the hero's first turn after its opening.
    if (!cleared && events.recorder().FrameOf("end 18100") >= 0 && testsupport::HerosTurn()) {
      testsupport::RemoveLiveUnitsOfSide(1);
      cleared = true;
    }
    player.BeforeFrame();
    if (!rig.Step()) break;
    events.AfterFrame();
  }
  SetDebugTraceHook(capture);
  return 0;
}

void BM_FinalChainHeadless(benchmark::State& state) {
  ReportHeadlessRate(state, &PlayFinalChain, "the final chain was not won");
}
BENCHMARK(BM_FinalChainHeadless)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
