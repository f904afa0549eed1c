#include "battle_events/runtime/event_walks.h"

#include <new>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_damage.h"
#include "battle/slg_formulas.h"
#include "battle/slg_hits.h"
#include "battle/slg_search.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_script_helpers.h"

namespace {

constexpr uint32_t kCellBlocked = 0x400;
constexpr uint8_t kStateAttackLeadIn = 5;
constexpr int kPartyCharacters = 7;
constexpr uint8_t kTurnFrames = 15;

bool Live(const SlgUnit* unit) { return unit != nullptr && SlgUnitLive(*unit); }

// Phase 0 of a walk: 1 when the unit has set off (state 3), 0 when it cannot.
int RouteWalkStart(RouteWork& work, SlgUnit& unit, int32_t x, int32_t y) {
  if (unit.side == 0 && unit.character == kSlgTeleportCharacter) {
    return EventJumpToCell(work, unit, x, y);
  }
  RouteSearch({unit.x >> 16, unit.y >> 16}, kRouteWalkLimit);
  if (RouteTrace(work.route, unit, x, y) == 0) return 0;
  SetUnitState(unit, kUnitStateWalkStart);
  return 1;
}

// The direction from map position (ux, uy) (16.16) toward the point (px, py) (16.16).
uint32_t QuadrantDir(int64_t px, int64_t py, int64_t ux, int64_t uy) {
  const int64_t dx = px - ux;
  const int64_t dy = py - uy;
  if (dx > 0) return dy < 0 ? 0 : 1;
  return dy >= 0 ? 2 : 3;
}

// The party member of that character when it is there to turn.
SlgUnit* PartyMember(int character) {
  SlgUnit* unit = FindUnitByGroupKind(0, character);
  return Live(unit) ? unit : nullptr;
}

uint32_t WantedDir(const SlgEventRuntimeState& s, const SlgUnit& unit) {
  return QuadrantDir(s.turn_x, s.turn_y, unit.x, unit.y);
}

bool PartyFaces(const SlgEventRuntimeState& s) {
  for (int c = 0; c < kPartyCharacters; ++c) {
    const SlgUnit* unit = PartyMember(c);
    if (unit != nullptr && unit->dir != WantedDir(s, *unit)) return false;
  }
  return true;
}

// The end of a scripted action: the hit units marked, everyone shown and unfrozen.
int ActionEnd(SlgEventRuntimeState& s) {
  Slg::MarkFlaggedUnits();
  Slg::ResetUnitTurnFlags();
  s.action_phase = 0;
  return 1;
}

}  // namespace

RouteWork* RouteWorkAlloc() {
  void* block = SlgAlloc(sizeof(RouteWork));
  return block != nullptr ? new (block) RouteWork{} : nullptr;
}

void RouteWorkFree(RouteWork* work) { SlgFree(work); }

int EventWalkObj(RouteWork* work, SlgUnit* unit, int32_t x, int32_t y, int32_t speed) {
  if (work == nullptr) return 1;
  if (!Live(unit)) {
    work->phase = 0;
    return 1;
  }
  if (work->phase == 0) {
    if (RouteWalkStart(*work, *unit, x, y) == 0) return 1;
    work->phase = 1;
    return 0;
  }
  if (RouteWalk(work->route, *unit, static_cast<uint32_t>(speed)) == 0) return 0;
  SetUnitState(*unit, kUnitStateWalkStop);
  work->phase = 0;
  return 1;
}

int EventWalkKindNo(RouteWork* work, int32_t kind, int32_t number, int32_t x, int32_t y,
                    int32_t speed) {
  return EventWalkObj(work, FindUnitByIndex(kind, number), x, y, speed);
}

int EventWalkUnit(RouteWork* work, int32_t group, int32_t character, int32_t x, int32_t y,
                  int32_t speed) {
  return EventWalkObj(work, FindUnitByGroupKind(group, character), x, y, speed);
}

int EventJumpToCell(RouteWork& work, SlgUnit& unit, int32_t x, int32_t y) {
  const SlgPoint target = SnapPosToCell(x, y);
  int index = 0;
  if (!SlgSearchCellIndex(target.x, target.y, &index)) return 0;
  if ((Battle().cell_grid2[static_cast<size_t>(index)] & kCellBlocked) != 0) return 0;
  if (GetUnitAtCell(index % kSlgGridColumns, index / kSlgGridColumns) != kSlgNoUnit) return 0;
  work.route.target = {static_cast<int16_t>(target.x), static_cast<int16_t>(target.y)};
  work.route.count = 0;
  SetUnitState(unit, kUnitStateWalkStart);
  return 1;
}

int EventTurnPlayersTo(int32_t x, int32_t y) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.turn_phase == 0) {
    s.turn_x = x * 65536;
    s.turn_y = y * 65536;
    if (PartyFaces(s)) return 1;
    s.turn_countdown = kTurnFrames;
    s.turn_phase = 1;
    return 0;
  }
  if (--s.turn_countdown > 0) return 0;
  for (int c = 0; c < kPartyCharacters; ++c) {
    SlgUnit* unit = PartyMember(c);
    if (unit == nullptr) continue;
    const uint32_t want = WantedDir(s, *unit);
    const uint32_t d = unit->dir;
    if (d == want) continue;
    const uint32_t next = ((2 * want - 2 * d) & 4) != 0 ? d - 1 : d + 1;
    Slg::SetUnitDir(*unit, next & 3);
    SetUnitState(*unit, kUnitStateStand);
  }
  if (PartyFaces(s)) {
    s.turn_phase = 0;
    return 1;
  }
  s.turn_countdown = kTurnFrames;
  return 0;
}

int EventScriptedAction(SlgUnit* unit, SlgUnit* const* targets, int32_t count) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.action_phase == 0) {
    if (!Live(unit) || !MakeUnitRef(*unit, s.action_unit)) return 0;
    s.action_phase = 1;
    return 0;
  }
  SlgUnit* actor = FindUnitRef(s.action_unit);
  if (s.action_phase == 1) {
    if (actor == nullptr) {
      s.action_phase = 0;
      return 1;
    }
    actor->stats.attack_type = 0;
    actor->stats.action_bytes[0] = 0;
    CalcUnitAction(*actor, kSlgActPower);
    SetUnitState(*actor, kStateAttackLeadIn);
    for (int32_t i = 0; targets != nullptr && i < count; ++i) {
      SlgUnit* target = targets[i];
      if (!Live(target)) continue;
      EventMarkScriptedTarget(*actor, *target);
      SetUnitState(*target, kUnitStateHit);
    }
    Battle().search.range_count = 0;
    Slg::FreezeAllUnits();
    s.action_phase = 2;
    return 0;
  }
  if (actor == nullptr) return ActionEnd(s);
  if (actor->state != kUnitStateStand && actor->state != kUnitStateReady) return 0;
  return ActionEnd(s);
}
