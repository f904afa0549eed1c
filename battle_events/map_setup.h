#pragma once
// The map event set-up: the battle's initialisation calls Slg::SetupMapEvent with the stage
// (battle map 0-26) once, after the units and the scrolling and before the main task; it reaches
// the map's set-up through MapEventSetupTable, one row a map. A row is data (MapSetup) that one
// function carries out in this order:
//
//   1. the map's music (EventBgmPlay), when it has one;
//   2. StartEventCheck with the map's event table, exactly once;
//      (map 19's rule: after the install, BGM 28 when P[73] is exactly 1, else 30)
//   3. the map's event-animation table (SetEventAnmTable), when it has one;
//   4. the map tasks made before the deferred call;
//   5. the deferred function handed to Slg::delaySprSetTask (battle_events/fix_task.h);
//   6. the map tasks made after it.
//
// A null row installs nothing: the battle runs without events. A map's row is one line:
//
//   constexpr MapTaskSpec kMap10Tasks[] = {MapTask<&LipsControl>("Slg::Map10::lips_exeflag_cntrl")};
//   constexpr MapSetup kMap10{.bgm = MapBgm::Play(6), .table = kMap10Events,
//                             .anm_table = kMap10Anm, .deferred = &Map10Sprites,
//                             .tasks = kMap10Tasks};
//   ... kMapEventSetupTable = {..., &kMap10, ...};
//
// Map tasks all take one form (MapTask): made under the mode manager's task, each ends itself
// on its first frame after the event table has gone (HasEventTable() 0), that is after
// EndEventCheck; at a battle's end and at a stage switch the core's teardown ends them in the
// same frame with the other battle tasks.
//
// Every battle holds its own copy of the table (MapSetupState), made from kMapEventSetupTable, so
// a test puts a set-up of its own into any row (testsupport/event_tables.h).

#include <array>
#include <cstdint>
#include <span>

#include "battle/battle_extension.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_table.h"
#include "battle_events/event_npc.h"

constexpr int kMapSetupRows = 27;

// The map's music.
struct MapBgm {
  enum class Kind : uint8_t {
    kNone,         // no music is started
    kPlay,         // battle music `number` before the install
    kByStoryFlag,  // map 19: after the install, 28 when P[73] is exactly 1, else 30
  };
  Kind kind = Kind::kNone;
  int16_t number = 0;

  static constexpr MapBgm None() { return {}; }
  static constexpr MapBgm Play(int n) { return {Kind::kPlay, static_cast<int16_t>(n)}; }
  static constexpr MapBgm ByStoryFlag() { return {Kind::kByStoryFlag, 0}; }
  constexpr bool operator==(const MapBgm&) const = default;
};

// The story variable and the music of map 19's rule.
constexpr int kMapBgmStoryVar = 73;
constexpr int kMapBgmWhenSet = 28;
constexpr int kMapBgmOtherwise = 30;

// When a map task is made, against the deferred call.
enum class MapTaskOrder : uint8_t { kAfterDeferred, kBeforeDeferred };

// One map task: the shared form's body and the task's name.
struct MapTaskSpec {
  SlgBody body = nullptr;
  const char* name = nullptr;
  MapTaskOrder order = MapTaskOrder::kAfterDeferred;
};

// The shared form of the map tasks: ends the task on a frame that finds no event table,
// else calls `Step`.
template <SlgBody Step>
void MapTaskBody(SlgEffectTask* task);
// A map task of the shared form that calls `Step` each frame while the map has its events.
template <SlgBody Step>
constexpr MapTaskSpec MapTask(const char* name,
                              MapTaskOrder order = MapTaskOrder::kAfterDeferred) {
  return {&MapTaskBody<Step>, name, order};
}

// One map's set-up.
struct MapSetup {
  MapBgm bgm{};
  const SlgEventEntry* table = nullptr;
  std::span<const SlgEventAnmHandler> anm_table{};  // empty: none installed
  void (*deferred)() = nullptr;                     // handed to Slg::delaySprSetTask; null none
  std::span<const MapTaskSpec> tasks{};
};

// The maps' rows, stage 0-26 (map number - 1): null until a map's script fills its row.
extern const std::array<const MapSetup*, kMapSetupRows> kMapEventSetupTable;

// The battle's rows (Battle().Extension<MapSetupState>()), kept for the whole battle.
struct MapSetupState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  std::array<const MapSetup*, kMapSetupRows> rows = kMapEventSetupTable;
};
MapSetupState& MapSetupRows();

// Carries out one set-up in the order above. Nothing for null.
void RunMapSetup(const MapSetup* setup);

// The body of the core's Slg::SetupMapEvent (battle/slg_events.h), which the events' installer
// puts in the entry table: the battle's row of `stage` carried out. A stage outside 0-26 installs
// nothing, with a trace.
namespace SlgMapSetup {
void SetupMapEvent(int stage);
// 1 when the task was ended because the map's events are gone (the shared form's test).
int EndIfNoEvents(SlgEffectTask* task);
}  // namespace SlgMapSetup

template <SlgBody Step>
void MapTaskBody(SlgEffectTask* task) {
  if (SlgMapSetup::EndIfNoEvents(task) != 0) return;
  Step(task);
}
