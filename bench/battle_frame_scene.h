#pragma once
// The scene of the battle's full frame (BM_BattleFrame) for the battle frame benchmarks: through
// the engine frame (task pass, animations, compose and flip) a four-plane map scrolling, 64 units
// updated by their category and state handlers (16 player units standing with their idle effects,
// 44 kind-14 enemies standing, four enemies walking legs again and again), one damage gauge
// counting, 32 effect tasks each moving one animation, the map and mouse cursors, the range
// markers open over 256 cells. The battle's work runs in a task of the task list as the battle's
// main task does. A benchmark may lay the attack fixtures' sets of more kinds (`more_kinds`).

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
#include "debug/debug_menu.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/sprite/sprite.h"
#include "flow/tamvik_general.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/battle_board.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_scene.h"
#include "testsupport/unit_anm_writer.h"

namespace battle_bench {

using namespace testsupport;

inline constexpr int kPlayers = 16;
inline constexpr int kUnits = 64;
inline constexpr int kWalkers = 4;
inline constexpr int kEffects = 32;

inline bool g_count = false;
inline int g_entries = 0;

// The battle's main task: the map scrolled one pixel a frame over 64, the walkers' legs, every
// live shown unit's update, the range markers, the cursors.
inline void BattleMain(SlgEffectTask* /*task*/) {
  BattleContext& b = Battle();
  ScrollOnePixel();
  SlgMap::DrawMap(b.state.scroll_x, b.state.scroll_y);
  const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    WalkAgainAndAgain(u, now);
    if (u.step != kSlgDeadStep && (u.flags & kUnitShown) != 0) Slg::UpdateUnit(u);
  }
  Slg::RangeMarkers();
  Slg::DrawMapCursor();
  Slg::SyncMouseCursor();
  Slg::DrawMouseCursor(SURFACE_ROOT);
}

// The last task of the pass: counts the entries when asked.
inline void Counter(SlgEffectTask* /*task*/) {
  if (g_count) g_entries = CountEntries(SURFACE_ROOT, SURFACE_ROOT);
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
    // A kind of the scene among `more_kinds` plays the fixtures' sets instead of its own.
    for (const int kind : {0, 14}) {
      if (std::find(more_kinds.begin(), more_kinds.end(), kind) == more_kinds.end()) {
        UnitAnmWriter(kind).Lay(tree, tables);
      }
    }
    // With a BASE_EFFECT of their own: the scene's units play their idle effects from it.
    for (const int kind : more_kinds) {
      AttackFixtures(kind).Slot(kAnmBaseEffect, AttackFixtures::kSlotAnims).Lay(tree, tables);
    }
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
      const bool attacker = i == kAttacker && attacker_kind >= 0;
      const bool player = attacker ? attacker_kind <= 13 : i < kPlayers;
      const int kind = attacker ? attacker_kind : player ? 0 : 14;
      // A player kind attacking is its own character (the hero kinds the hero's).
      const int character = !player ? 20 + i : !attacker ? i : kind <= 6 ? kind : kind - 7;
      BoardUnit u{.side = static_cast<uint8_t>(player ? 0 : 1),
                  .character = static_cast<uint8_t>(character),
                  .kind = static_cast<uint8_t>(kind),
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
    OpenRangeOf256Cells(battle);
    g_effect_anm = battle.state.units[0].anims[kUnitAnmBaseEffect];
    if (g_effect_anm == nullptr) return false;
    if (SlgTaskCreate(nullptr, &BattleMain, "Bench::BattleMain") == nullptr) return false;
    for (int i = 0; i < kEffects; ++i) {
      SlgEffectTask* t = SlgTaskCreateAnm(&Mover<-280, -180>, ("Bench::Effect" + std::to_string(i)).c_str());
      if (t == nullptr) return false;
      t->index = static_cast<uint8_t>(i);
    }
    gauge = StartGauge();
    if (gauge < 0) return false;
    return SlgTaskCreate(nullptr, &Counter, "Bench::Counter") != nullptr;
  }

  // One frame a 1/60 s step later (17, 17, 16 ms).
  void Frame() {
    static constexpr std::array<uint32_t, 3> kMs = {17, 17, 16};
    engine.host.clock.Advance(kMs[static_cast<size_t>(cadence++ % 3)]);
    AppFrame(window);
  }
  // Everything the scene made, given back.
  void Teardown() {
    SlgTaskEndAll();
    Slg::ReleaseRangeMarkers();
    SlgMap::FreeMap();
    Slg::ReleaseAllUnitSprites();
    FreeSystemSprites();
    FreeSlgTables();
    g_effect_anm = nullptr;
  }
  // The gauge counts again once it has closed.
  void KeepGauge() {
    if (DGaugeRunning(gauge) == 0) gauge = StartGauge();
  }

  // The kinds whose attack fixtures' sets are laid besides the scene's own, and the kind of the
  // unit in slot kAttacker (-1: the scene's own kind-14 enemy); Build reads them.
  static constexpr int kAttacker = 27;
  std::vector<int> more_kinds;
  int attacker_kind = -1;
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

}  // namespace battle_bench
