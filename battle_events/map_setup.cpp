#include "battle_events/map_setup.h"

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_sound.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map01.h"
#include "battle_events/maps/map02.h"
#include "battle_events/maps/map03.h"
#include "battle_events/maps/map04.h"
#include "battle_events/maps/map05.h"
#include "battle_events/maps/map06.h"
#include "battle_events/maps/map07.h"
#include "battle_events/maps/map08.h"
#include "battle_events/maps/map09.h"
#include "battle_events/maps/map10.h"
#include "battle_events/maps/map11.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map13.h"
#include "battle_events/maps/map14.h"
#include "battle_events/maps/map15.h"
#include "battle_events/maps/map16.h"
#include "battle_events/maps/map17.h"
#include "battle_events/maps/map18.h"
#include "battle_events/maps/map19.h"
#include "battle_events/maps/map20.h"
#include "battle_events/maps/map21.h"
#include "battle_events/maps/map22.h"
#include "battle_events/maps/map23.h"
#include "battle_events/maps/map24.h"
#include "battle_events/maps/map25.h"
#include "battle_events/maps/map26.h"
#include "battle_events/maps/map27.h"
#include "engine/core/debug_trace.h"

// The scripted maps' rows; the others install nothing.
const std::array<const MapSetup*, kMapSetupRows> kMapEventSetupTable = {
    &kMap01,      &kMap02Setup, &kMap03Setup, &kMap04Setup, &kMap05Setup,  &kMap06Setup,
    &kMap07Setup, &kMap08Setup, &kMap09Setup, &kMap10Setup, &kMap11Setup,
    &kMap12Setup, &kMap13Setup,
    &kMap14Setup,  // row 13: map 14
    &kMap15Setup,  // row 14: map 15
    &kMap16Setup,  // row 15: map 16
    &kMap17Setup,  // row 16: map 17
    &kMap18Setup,  // row 17: map 18
    &kMap19Setup,  // row 18: map 19
    &kMap20Setup,  // row 19: map 20
    &kMap21Setup,  // row 20: map 21
    &kMap22Setup,  // row 21: map 22
    &kMap23Setup,  // row 22: map 23
    &kMap24Setup,  // row 23: map 24
    &kMap25Setup,  // row 24: map 25
    &kMap26Setup,  // row 25: map 26
    // Row 26: map 27.
    &kMap27Setup};

MapSetupState& MapSetupRows() { return Battle().Extension<MapSetupState>(); }

namespace {

void MakeMapTasks(const MapSetup& setup, MapTaskOrder order) {
  for (const MapTaskSpec& spec : setup.tasks) {
    if (spec.order == order) SlgTaskCreate(SlgTaskOwner(), spec.body, spec.name);
  }
}

}  // namespace

void RunMapSetup(const MapSetup* setup) {
  if (setup == nullptr) return;
  if (setup->bgm.kind == MapBgm::Kind::kPlay) EventBgmPlay(setup->bgm.number);
  StartEventCheck(setup->table);
  if (setup->bgm.kind == MapBgm::Kind::kByStoryFlag) {
    EventBgmPlay(SlgGetMacroP(kMapBgmStoryVar) == 1 ? kMapBgmWhenSet : kMapBgmOtherwise);
  }
  if (!setup->anm_table.empty()) SetEventAnmTable(setup->anm_table);
  MakeMapTasks(*setup, MapTaskOrder::kBeforeDeferred);
  if (setup->deferred != nullptr) Slg::delaySprSetTask(setup->deferred);
  MakeMapTasks(*setup, MapTaskOrder::kAfterDeferred);
}

namespace SlgMapSetup {

void SetupMapEvent(int stage) {
  if (stage < 0 || stage >= kMapSetupRows) {
    DebugPrint("Slg::SetupMapEvent: stage %d is not a battle map (0-%d): no events\n", stage,
               kMapSetupRows - 1);
    return;
  }
  RunMapSetup(MapSetupRows().rows[static_cast<size_t>(stage)]);
}

int EndIfNoEvents(SlgEffectTask* task) {
  if (HasEventTable() != 0) return 0;
  SlgTaskEnd(task);
  return 1;
}

}  // namespace SlgMapSetup
