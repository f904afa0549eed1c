#include "battle_events/event_units.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_npc.h"
#include "engine/core/debug_trace.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint32_t kShowBit = kUnitShown;
constexpr int kExtraAnmSlots[] = {kUnitAnmAttackBody, kUnitAnmAttackEffect};

// Each placement entry of the stage whose class has this kind, in list order: each(n, entry).
template <class Each>
void ForEachEntryOfKind(int32_t kind, Each each) {
  const StageTable* stage = Battle().stage.get();
  if (stage == nullptr) return;
  for (int n = 0; n < stage->unit_count(); ++n) {
    const StageUnitEntry e = stage->unit(n);
    if (stage->class_entry(e.class_index).kind == kind) each(n, e);
  }
}

// The first placement entry of the kind that `match` accepts; -1 when none.
template <class Match>
int FirstEntryOfKind(int32_t kind, Match match) {
  int found = -1;
  ForEachEntryOfKind(kind, [&](int n, const StageUnitEntry& e) {
    if (found < 0 && match(e)) found = n;
  });
  return found;
}

// Each record in use of this kind.
template <class Each>
void ForEachUnitOfKind(int32_t kind, Each each) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (s.units[i].kind == kind) each(s.units[i]);
  }
}

// Whether the entry's placement number is `number` (given as number x 256).
bool HasNumber(const StageUnitEntry& e, int32_t number) {
  return int32_t{e.placement_number} * 256 == number;
}

// A slot CreateUnit gave, as a record; null (traced) when it refused.
SlgUnit* Created(uint8_t slot, const char* who, int n) {
  if (slot == kSlgCreateRefused) {
    DebugPrint("%s: entry %d: no unit made\n", who, n);
    return nullptr;
  }
  return &Battle().state.units[slot];
}

// An ordinary unit made from entry n and placed.
void Redeploy(int n) {
  if (SlgUnit* unit = Created(Slg::CreateUnit(*Battle().stage, n), "EventRedeploy", n)) {
    Slg::PlaceUnit(*unit);
  }
}

// 2 -> 3 (freed by its next step), 1 -> 0 (never started).
void Undeploy(SlgUnit& unit) {
  if (unit.deploy_state == kEventObjRunning) {
    unit.deploy_state = kEventObjLeaving;
  } else if (unit.deploy_state == kEventObjDeployed) {
    unit.deploy_state = kEventObjNotDeployed;
  }
}

}  // namespace

// ---- Look-ups ----

SlgUnit* FindUnitByKind(int32_t kind) { return FindFirstUnitOfKind(kind); }

SlgUnit* FindUnitByIndex(int32_t kind, int32_t number) {
  BattleContext& b = Battle();
  if (b.stage == nullptr) return nullptr;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kind && HasNumber(b.stage->unit(unit.entry), number)) return &unit;
  }
  return nullptr;
}

// ---- Positions ----

void EventObjSnap(SlgUnit& unit) {
  const SlgPoint p = CellToPosHeight(unit.x >> 16, unit.y >> 16);
  unit.x = p.x * kPx;
  unit.y = p.y * kPx;
}

SlgPair EventObjScreenPos(const SlgUnit& unit) { return SlgMapToScreen(unit); }

// ---- Deploying and removing ----

void EventDeployKind(int32_t kind) {
  ForEachEntryOfKind(kind, [](int n, const StageUnitEntry&) { EventDeployEntry(n); });
}

void EventDeployKindNo(int32_t kind, int32_t character) {
  ForEachEntryOfKind(kind, [&](int n, const StageUnitEntry& e) {
    if (e.character == character) EventDeployEntry(n);
  });
}

void EventDeployEntry(int32_t n) {
  BattleContext& b = Battle();
  if (b.stage == nullptr) {
    DebugPrint("EventDeployEntry: entry %d: no stage\n", n);
    return;
  }
  const int kind = b.stage->class_entry(b.stage->unit(n).class_index).kind;
  if (EventKindBeyondTable(kind)) {
    DebugPrint("EventDeployEntry: entry %d: kind %d has no handler in the event-animation table: "
               "not deployed\n",
               n, kind);
    return;
  }
  SlgUnit* unit = Created(Slg::CreateUnit(*b.stage, n), "EventDeployEntry", n);
  if (unit == nullptr) return;
  unit->deploy_state = kEventObjDeployed;
  EventObjSetup(*unit);
}

void EventRedeployKind(int32_t kind) {
  ForEachEntryOfKind(kind, [](int n, const StageUnitEntry&) { Redeploy(n); });
  Slg::ResetCurrentUnit();
}

void EventRedeployKindNo(int32_t kind, int32_t number) {
  const int n = FirstEntryOfKind(kind, [&](const StageUnitEntry& e) { return HasNumber(e, number); });
  if (n >= 0) Redeploy(n);
  Slg::ResetCurrentUnit();
}

void EventUndeployKind(int32_t kind) { ForEachUnitOfKind(kind, &Undeploy); }

void EventUndeployKindChara(int32_t kind, int32_t character) {
  ForEachUnitOfKind(kind, [&](SlgUnit& unit) {
    if (unit.character == character) Undeploy(unit);
  });
}

void EventRemoveChara(int32_t group, int32_t character) {
  EventRemoveUnit(FindUnitByGroupKind(group, character));
}

void EventRemoveKindNo(int32_t kind, int32_t number) {
  EventRemoveUnit(FindUnitByIndex(kind, number));
}

void EventSetKindPlaceCell(int32_t kind, int32_t x, int32_t y) {
  const int n = FirstEntryOfKind(kind, [](const StageUnitEntry&) { return true; });
  if (n >= 0) Battle().stage->SetUnitPos(n, static_cast<int16_t>(x), static_cast<int16_t>(y));
}

void EventSetKindNoPlaceCell(int32_t kind, int32_t number, int32_t x, int32_t y) {
  const int n = FirstEntryOfKind(kind, [&](const StageUnitEntry& e) { return HasNumber(e, number); });
  if (n >= 0) Battle().stage->SetUnitPos(n, static_cast<int16_t>(x), static_cast<int16_t>(y));
}

// ---- Flags, state, direction, animations ----

void EventSetUnitFlag(SlgUnit* unit, uint32_t bits) {
  if (unit == nullptr) return;
  unit->flags |= bits;
  if (bits == kShowBit) Slg::ShowUnit(*unit);
}

void EventClearUnitFlag(SlgUnit* unit, uint32_t bits) {
  if (unit == nullptr) return;
  unit->flags &= ~bits;
  if (bits == kShowBit) Slg::HideUnit(*unit);
}

void EventSetKindFlag(int32_t kind, uint32_t bits) { EventSetUnitFlag(FindUnitByKind(kind), bits); }

void EventClearKindFlag(int32_t kind, uint32_t bits) {
  EventClearUnitFlag(FindUnitByKind(kind), bits);
}

void EventMarkKindNo(int32_t kind, int32_t number) {
  if (SlgUnit* unit = FindUnitByIndex(kind, number)) unit->flags |= kUnitHideNext;
}

void EventSetKindNoState(int32_t kind, int32_t number, uint8_t state) {
  SlgUnit* unit = FindUnitByIndex(kind, number);
  if (unit != nullptr && SlgUnitLive(*unit)) SetUnitState(*unit, state);
}

void EventSetCharaDir(int32_t character, uint32_t dir) {
  SlgUnit* unit = FindUnitByGroupKind(0, character);
  if (unit == nullptr || !SlgUnitLive(*unit)) return;
  Slg::SetUnitDir(*unit, dir);
  SetUnitState(*unit, 0);
}

void EventPlaceUnitAt(SlgUnit* unit, int32_t x, int32_t y, uint32_t dir) {
  if (unit == nullptr) return;
  ClearUnitCell(*unit);
  const SlgPoint snap = SnapPosToCell(x, y);
  unit->x = snap.x * kPx;
  unit->y = snap.y * kPx;
  EventObjSetCellWord(*unit);
  EventObjSetHeightLift(*unit);
  EventObjSetDepth(*unit);
  unit->dir = static_cast<uint8_t>(dir);
  SetUnitCell(*unit);
}

void EventResumeKindAnm(int32_t kind) {
  ForEachUnitOfKind(kind, [](SlgUnit& unit) {
    if (unit.anm == nullptr) return;
    unit.anm->mode &= static_cast<uint8_t>(~kSlgAnmStartStopped);
    SlgAnmShow(unit.anm->handle);
  });
}

int EventLoadUnitExtraAnm(SlgUnit* unit) {
  if (unit != nullptr) {
    for (const int slot : kExtraAnmSlots) LoadUnitAnmSlot(*unit, slot);
  }
  return 1;
}

int EventLoadKindNoExtraAnm(int32_t kind, int32_t number) {
  return EventLoadUnitExtraAnm(FindUnitByIndex(kind, number));
}

int EventLoadCharaExtraAnm(int32_t group, int32_t character) {
  return EventLoadUnitExtraAnm(FindUnitByGroupKind(group, character));
}

void EventLoadKindEventAnm(int32_t kind) {
  if (SlgUnit* unit = FindUnitByKind(kind)) LoadUnitEventAnm(*unit);
}
