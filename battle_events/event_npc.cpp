#include "battle_events/event_npc.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_runtime_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"

namespace {

constexpr int32_t kPx = 0x10000;

// The placement entry the unit was made from (a zero entry without a stage).
StageUnitEntry EntryOf(const SlgUnit& unit) {
  const BattleContext& b = Battle();
  return b.stage != nullptr ? b.stage->unit(unit.entry) : StageUnitEntry{};
}

// The handler of the unit's kind; null (traced once per kind) when the table has none.
SlgEventAnmHandler HandlerOf(const SlgUnit& unit) {
  SlgEventNpcState& npc = EventNpcState();
  const int index = unit.kind - kSlgEventNpcBase;
  if (index >= 0 && static_cast<size_t>(index) < npc.anm_table.size() &&
      npc.anm_table[static_cast<size_t>(index)] != nullptr) {
    return npc.anm_table[static_cast<size_t>(index)];
  }
  if (!npc.traced.test(unit.kind)) {
    npc.traced.set(unit.kind);
    DebugPrint("EventObjStep: kind %d has no handler in the event-animation table (%zu kinds)\n",
               unit.kind, npc.anm_table.size());
  }
  return nullptr;
}

// The handler of the unit's kind with the body object's clock refreshed; 0 when none runs.
int CallHandler(SlgUnit& unit, const SlgPair& position) {
  if (EventNpcState().anm_table.empty()) return 0;
  const SlgEventAnmHandler handler = HandlerOf(unit);
  if (handler == nullptr) return 0;
  if (SlgAnmObj* body = unit.anm) {
    body->now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
    body->frames = static_cast<int32_t>(
        int64_t{static_cast<int32_t>(body->now - body->start_time)} * 60 / 1000);
  }
  SlgPair pos = position;
  return handler(unit, pos);
}

}  // namespace

SlgEventNpcState& EventNpcState() { return Battle().Extension<SlgEventNpcState>(); }

void SetEventAnmTable(std::span<const SlgEventAnmHandler> table) {
  SlgEventNpcState& npc = EventNpcState();
  npc.anm_table = table;
  npc.traced.reset();
}

bool EventKindBeyondTable(int kind) {
  const int index = kind - kSlgEventNpcBase;
  return index >= 0 && static_cast<size_t>(index) >= EventNpcState().anm_table.size();
}

void EventNpcLoad() {
  BattleContext& b = Battle();
  // The block holds the background's sprite and entry: free them before it is cleared.
  EventFreeBG();
  b.Extension<SlgEventRuntimeState>() = SlgEventRuntimeState{};
  // A second install without an end between would otherwise keep the first one's references.
  EventNpcFree();
  SlgEventNpcState& npc = EventNpcState();
  for (size_t i = 0; i < npc.npc_anm_table.size(); ++i) {
    npc.npc_anm_table[i] = GetEventAnm(kSlgEventNpcBase + static_cast<int>(i));
  }
}

void EventNpcFree() {
  for (SprAnm*& anm : EventNpcState().npc_anm_table) ReleaseEventAnm(&anm);
}

void EventObjSetup(SlgUnit& unit) {
  LoadUnitEventAnm(unit);
  if (unit.anims[kUnitAnmBaseBody] == nullptr) {
    DebugPrint("NPCID:%d is not described in EventAnm Table!\n", unit.kind - kSlgEventNpcBase);
  }
  unit.anm = nullptr;
  unit.anm2 = nullptr;
  const StageUnitEntry entry = EntryOf(unit);
  EventObjInit(unit, entry.x * kPx, entry.y * kPx, 0);
  if (unit.anm != nullptr) unit.anm->attr = entry.attr_word();
}

void EventObjInit(SlgUnit& unit, int32_t x, int32_t y, int n) {
  unit.x = x;
  unit.y = y;
  unit.walk = 0;
  unit.anm = CreateAnmObj(0, 0, n);
  if (unit.anm != nullptr) unit.anm->mode = 0;
  SetUnitState(unit, 0);
}

int EventObjStep(SlgUnit& unit, const SlgPair& position) {
  switch (unit.deploy_state) {
    case kEventObjDeployed:
      unit.deploy_state = kEventObjRunning;
      return CallHandler(unit, position);
    case kEventObjRunning:
      return CallHandler(unit, position);
    case kEventObjLeaving:
      EventObjFree(unit);
      return 0;
    default:
      return 0;
  }
}

void EventObjFree(SlgUnit& unit) {
  for (SlgAnmObj** obj : {&unit.anm, &unit.anm2}) {
    FreeAnmObj(*obj);
    *obj = nullptr;
  }
  unit.deploy_state = kEventObjNotDeployed;
  Slg::RemoveUnit(unit.slot);
}
