// The battle's full frame through the engine frame (task pass, animations, compose and flip):
// a four-plane map scrolling, 64 units updated by their category and state handlers (16 player
// units standing with their idle effects, 44 kind-14 enemies standing, four enemies walking legs
// again and again), one damage gauge counting, 32 effect tasks each moving one animation, the
// map and mouse cursors, the range markers open over 256 cells. The battle's work runs in a task
// of the task list as the battle's main task will. Goal: under 3 ms a frame on one core, no
// allocation in the steady frames. Beside the time: "entries/frame" (sprite-buffer entries of
// the SLG layer before the compose, the engine's pool holds 1024), "allocs/frame" (operator new
// calls) and "slg allocs/frame" (blocks of the battle allocator).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_gauge.h"
#include "battle/slg_geometry.h"
#include "battle/slg_command_state.h"
#include "battle/slg_map.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_screen.h"
#include "battle/slg_spawn.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "bench/battle_bench_common.h"
#include "bench/bench_allocations.h"
#include "debug/debug_menu.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/sprite/sprite.h"
#include "flow/tamvik_general.h"
#include "testsupport/battle_board.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_scene.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using namespace testsupport;

constexpr int kPlayers = 16;
constexpr int kUnits = 64;
constexpr int kWalkers = 4;
constexpr int kEffects = 32;

bool g_count = false;
int g_entries = 0;

// The battle's main task: the map scrolled one pixel a frame over 64, the walkers' legs, every
// live shown unit's update, the range markers, the cursors.
void BattleMain(SlgEffectTask* /*task*/) {
  BattleContext& b = Battle();
  battle_bench::ScrollOnePixel();
  SlgMap::DrawMap(b.state.scroll_x, b.state.scroll_y);
  const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    battle_bench::WalkAgainAndAgain(u, now);
    if (u.step != kSlgDeadStep && (u.flags & kUnitShown) != 0) Slg::UpdateUnit(u);
  }
  Slg::RangeMarkers();
  Slg::DrawMapCursor();
  Slg::SyncMouseCursor();
  Slg::DrawMouseCursor(SURFACE_ROOT);
}

// The last task of the pass: counts the entries when asked.
void Counter(SlgEffectTask* /*task*/) {
  if (g_count) g_entries = battle_bench::CountEntries(SURFACE_ROOT, SURFACE_ROOT);
}

struct BattleFrame {
  BattleFrame() {
    engine.host.display.pitch_padding = 0;
    engine.host.config.Set("Install Directory", tree.install());
    WriteGlyphFont(tree, MakeGlyphFont());
    engine.host.files.SetWorkingDirectory(tree.root());
    int code = 0;
    window = AppStart(MakeGameHooks(debug_menu), code);
    AppSetActive(1);
    CTamvikGeneral::StopManager();
  }

  // Everything the frame shows; false when a part could not be made.
  bool Build() {
    if (window == nullptr) return false;
    SlgTableWriter tables;
    UnitAnmWriter(0).Lay(tree, tables);
    UnitAnmWriter(14).Lay(tree, tables);
    tables.Lay(tree);
    LoadSlgTables();
    SystemSpriteSet().Lay(tree);
    if (LoadSystemSprites() <= 0) return false;
    // The map: ground and sky of 64 x 64 tiles with rasters, the priority plane, the underground.
    LayFourPlaneMap(tree, 0);
    SlgMap::LoadMapTable(0);
    for (int n = 0; n < 4; ++n) {
      if (battle.map.planes[static_cast<size_t>(n)] == nullptr) return false;
    }
    SlgMap::SetPlaneAlpha(1, 128);  // the sky over everything: half translucent, as clouds are
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    battle.flags |= 0x2;

    InitCategoryUpdates();
    InitDefaultUnitStates();
    // 64 units on an 8 x 8 block of cells: 16 players (their own characters, so their own idle
    // effects), then kind-14 enemies, four of which walk.
    for (int i = 0; i < kUnits; ++i) {
      const bool player = i < kPlayers;
      BoardUnit u{.side = static_cast<uint8_t>(player ? 0 : 1),
                  .character = static_cast<uint8_t>(player ? i : 20 + i),
                  .kind = static_cast<uint8_t>(player ? 0 : 14),
                  .category = static_cast<uint8_t>(player ? 0 : 1),
                  .facing = static_cast<uint8_t>(i % 4)};
      u.x = static_cast<int16_t>(48 + (i % 8) * 76);
      u.y = static_cast<int16_t>(72 + (i / 8) * 48);
      const uint8_t slot = board.AddUnit(u);
      if (slot == 255) return false;
      SlgUnit& unit = battle.state.units[slot];
      Slg::PlaceUnit(unit);
      if (!player && i >= kUnits - kWalkers) {
        Slg::SetUnitDir(unit, 1);
        SetUnitState(unit, kUnitStateWalk);
        unit.walk_state = {static_cast<int32_t>(Ctx().frame_rate.GetTime()), unit.x, unit.y, 0, 0};
      }
    }
    // A move range of 256 cells (a 16 x 16 block of rows in view) opening: shown after 12 frames.
    SlgSearchState& search = battle.search;
    search.range_centre = {336, 264};
    search.range_count = 256;
    search.mode = 0;
    for (int i = 0; i < 256; ++i) {
      search.range_list[static_cast<size_t>(i)] = {
          static_cast<int16_t>(336 + 48 * (i % 16 - 8) + 24 * ((i / 16) & 1)),
          static_cast<int16_t>(264 + 24 * (i / 16 - 8))};
    }
    battle.cmd.range_view = kSlgRangeOpen;
    battle_bench::g_effect_anm = battle.state.units[0].anims[kUnitAnmBaseEffect];
    if (battle_bench::g_effect_anm == nullptr) return false;
    if (SlgTaskCreate(nullptr, &BattleMain, "Bench::BattleMain") == nullptr) return false;
    for (int i = 0; i < kEffects; ++i) {
      SlgEffectTask* t = SlgTaskCreateAnm(&battle_bench::Mover<-280, -180>, ("Bench::Effect" + std::to_string(i)).c_str());
      if (t == nullptr) return false;
      t->index = static_cast<uint8_t>(i);
    }
    gauge = battle_bench::StartGauge();
    if (gauge < 0) return false;
    return SlgTaskCreate(nullptr, &Counter, "Bench::Counter") != nullptr;
  }

  // One frame a 1/60 s step later (17, 17, 16 ms).
  void Frame() {
    static constexpr std::array<uint32_t, 3> kMs = {17, 17, 16};
    engine.host.clock.Advance(kMs[static_cast<size_t>(cadence++ % 3)]);
    AppFrame(window);
  }
  // The gauge counts again once it has closed.
  void KeepGauge() {
    if (DGaugeRunning(gauge) == 0) gauge = battle_bench::StartGauge();
  }

  GameTree tree;
  CDebugMenu debug_menu;
  TestScene contexts;
  TestEngine& engine = contexts.game.engine;
  BattleContext battle;
  BattleScope battle_scope{battle};
  BattleBoard board{battle};
  platform::Window* window = nullptr;
  int gauge = -1;
  int cadence = 0;
};

void BM_BattleFrame(benchmark::State& state) {
  BattleFrame program;
  if (!program.Build()) {
    state.SkipWithError("the battle frame could not be built");
    return;
  }
  // Warm up: lazily made buffers exist, every stand and idle effect has played.
  for (int i = 0; i < 600; ++i) {
    program.Frame();
    program.KeepGauge();
  }
  const int presented_before = program.engine.host.display.frames_presented;
  const uint32_t slg_before = program.battle.alloc.calls;
  uint64_t allocations = 0;
  uint32_t restart_blocks = 0;  // the gauge's restarts, not part of a frame
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    program.Frame();
    allocations += BenchAllocations() - before;
    if (DGaugeRunning(program.gauge) == 0) {
      state.PauseTiming();
      const uint32_t calls = program.battle.alloc.calls;
      program.KeepGauge();
      restart_blocks += program.battle.alloc.calls - calls;
      state.ResumeTiming();
    }
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["slg allocs/frame"] = (program.battle.alloc.calls - slg_before - restart_blocks) / frames;
  state.counters["shown/frame"] =
      (program.engine.host.display.frames_presented - presented_before) / frames;
  g_count = true;
  program.Frame();
  g_count = false;
  state.counters["entries/frame"] = g_entries;
  if (program.battle.cmd.range_view != kSlgRangeShown)
    state.SkipWithError("the range markers are not shown");
  state.counters["pool"] = CDdrawSpr::kEntryCount;
  SlgTaskEndAll();
  Slg::ReleaseRangeMarkers();
  SlgMap::FreeMap();
  Slg::ReleaseAllUnitSprites();
  FreeSystemSprites();
  FreeSlgTables();
  battle_bench::g_effect_anm = nullptr;
}
BENCHMARK(BM_BattleFrame)->Unit(benchmark::kMillisecond);

}  // namespace
