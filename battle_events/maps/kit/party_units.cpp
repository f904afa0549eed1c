#include "battle_events/maps/kit/party_units.h"

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_units.h"
#include "engine/core/debug_trace.h"

SlgUnit* LivePartyUnit(int32_t character) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    // Event objects share side 0 and carry character bytes of their own: they are not the party.
    if (unit.side == 0 && unit.character == character && unit.kind < kSlgEventObjKindFirst &&
        SlgUnitLive(unit)) {
      return &unit;
    }
  }
  return nullptr;
}

SlgUnit* LiveUnitOfKind(int32_t kind) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kind && SlgUnitLive(unit)) return &unit;
  }
  return nullptr;
}

SlgUnit* LiveUnitByIndex(int32_t kind, int32_t number) {
  SlgUnit* unit = FindUnitByIndex(kind, number);
  return unit != nullptr && SlgUnitLive(*unit) ? unit : nullptr;
}

void RemoveUnitsOfKinds(int32_t first, int32_t last) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind >= first && unit.kind <= last && SlgUnitLive(unit)) EventRemoveUnit(&unit);
  }
}

namespace {

// The first usable placement entry of the player's character; -1 when none.
int PartyEntry(const StageTable& stage, int32_t character) {
  for (int n = 0; n < stage.unit_count(); ++n) {
    const StageUnitEntry e = stage.unit(n);
    if (e.side == 0 && e.character == character && stage.usable(n)) return n;
  }
  return -1;
}

}  // namespace

bool BringBackPartyMember(int32_t character, const char* scene) {
  if (Battle().stage == nullptr) return false;
  const StageTable& stage = *Battle().stage;
  EventRemoveChara(0, character);
  const int entry = PartyEntry(stage, character);
  if (entry < 0) {
    DebugPrint("%s: character %d has no placement entry: not brought back\n", scene, character);
    return false;
  }
  const uint8_t slot = Slg::CreateUnit(stage, entry);
  if (slot == kSlgCreateRefused) {
    DebugPrint("%s: character %d: entry %d: no unit made\n", scene, character, entry);
    return false;
  }
  SlgUnit& unit = Battle().state.units[slot];
  Slg::PlaceUnit(unit);
  Slg::RecalcUnitStats(unit);
  return true;
}
