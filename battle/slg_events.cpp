#include "battle/slg_events.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/core/debug_trace.h"
#include "game/macro_vars.h"

namespace {

// The shaded cells' bits of a cell word and the body shades.
constexpr uint32_t kShadedCell = 0x30000;
constexpr uint16_t kShadeNormal = 8192;
constexpr uint16_t kShadeShaded = 16384;

}  // namespace

int CheckEventFlag(int32_t n) {
  if (n < 0 || n >= kEventFlagCount) return 1;
  return (Battle().event_flags[static_cast<size_t>(n / 8)] >> (7 - n % 8)) & 1;
}

void SetEventFlag(uint32_t n) {
  if (n >= kEventFlagCount) return;
  Battle().event_flags[n / 8] |= static_cast<uint8_t>(0x80u >> (n % 8));
}

void ClearEventFlag(uint32_t n) {
  if (n >= kEventFlagCount) return;
  Battle().event_flags[n / 8] &= static_cast<uint8_t>(~(0x80u >> (n % 8)));
}

int GetTrustVar(int character) {
  static constexpr int kTrustVar[7] = {11, 11, 21, 31, 51, 61, 41};
  const int var = character >= 1 && character <= 6 ? kTrustVar[character] : 11;
  return static_cast<int>(GetMacroP(var)) - 32768;
}

uint16_t SlgGetMacroP(int n) { return GetMacroP(n); }
void SlgSetMacroP(int n, uint16_t value) { SetMacroP(n, value); }

int CheckEvents() {
  const BattleContext& b = Battle();
  if (b.cmd_busy != 0) return 0;
  return b.events.check_events();
}

int HasEventTable() { return Battle().events.has_event_table(); }
void EndEventCheck() { Battle().events.end_event_check(); }
void FixTaskUpdateAll(uint32_t tone) { Battle().events.fix_task_update_all(tone); }

SlgUnit* FindUnitByGroupKind(int group, int character) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = s.units[i];
    if (unit.side == group && unit.character == character) return &unit;
  }
  return nullptr;
}

int GetEventUnitChara() {
  const BattleContext& b = Battle();
  const uint16_t slot = b.event_unit_ref[0];
  return SlgSlotInUse(slot) ? b.state.units[slot].character : -1;
}
int EventMessageNoWait(int face, int message) {
  return Battle().events.event_message_no_wait(face, message);
}
void SlgEventAnmUpdate(SlgUnit& unit, const SlgPair& screen) {
  Battle().events.event_anm_update(unit, screen);
}

uint32_t EventObjCellWord(const SlgUnit& unit) {
  const SlgPoint snap = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  return SlgCellWord(PosToCell(snap.x, snap.y));
}

void EventObjSetCellWord(SlgUnit& unit) { unit.cell_attr = EventObjCellWord(unit); }

int32_t EventObjHeightLift(const SlgUnit& unit) {
  return static_cast<int32_t>(unit.cell_attr & kSlgCellHeightMask) * kSlgCellHeightPixels * 65536;
}

void EventObjSetHeightLift(SlgUnit& unit) { unit.lift = EventObjHeightLift(unit); }

void EventObjShadeMode(SlgUnit& unit) {
  if (unit.anm == nullptr) return;
  unit.anm->shade = (unit.cell_attr & kShadedCell) != 0 ? kShadeShaded : kShadeNormal;
}

void EventObjSetDepth(SlgUnit& unit) { SetAnmPriByPos(unit.anm, {unit.x, unit.y}); }

void EventObjPlace(SlgUnit& unit) {
  EventObjSetDepth(unit);
  EventObjSetCellWord(unit);
  EventObjSetHeightLift(unit);
  EventObjShadeMode(unit);
}

namespace Slg {
void SetupMapEvent(int map) { Battle().events.setup_map_event(map); }
}  // namespace Slg

// ---- The stand-ins of the event entries ----
namespace SlgStandIn {

int CheckEvents() { return 0; }
int HasEventTable() { return Battle().event_stand_ins.has_table; }

void SetupMapEvent(int /*map*/) {
  const BattleContext& b = Battle();
  if (b.event_stand_ins.on_call) b.event_stand_ins.on_call("Slg::SetupMapEvent");
}

void EndEventCheck() {
  const BattleContext& b = Battle();
  if (b.event_stand_ins.on_call) b.event_stand_ins.on_call("EndEventCheck");
}

void FixTaskUpdateAll(uint32_t /*tone*/) {}
int EventMessageNoWait(int /*face*/, int /*message*/) { return 1; }
void SlgEventAnmUpdate(SlgUnit& /*unit*/, const SlgPair& /*screen*/) {}

}  // namespace SlgStandIn

void TraceRefusedEventEntry(const char* name) {
  DebugPrint("SlgEventEntries: %s is null: the stand-in stays\n", name != nullptr ? name : "?");
}
