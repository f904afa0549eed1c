#include "battle_events/maps/commander_scenes.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

CommanderSceneWords& CommanderScenes() { return Battle().Extension<CommanderSceneWords>(); }

namespace commander_detail {
int Ready() { return EventReady(); }
}  // namespace commander_detail

namespace {

// The battle flag word's bit that hides the fixed sprites.
constexpr uint16_t kFixedSpritesHidden = 0x20;

// The first unit of the kind that is deployed (deploy state 1 or 2) and not removed.
SlgUnit* DeployedKind(int32_t kind) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kind && SlgUnitLive(unit) &&
        (unit.deploy_state == 1 || unit.deploy_state == 2)) {
      return &unit;
    }
  }
  return nullptr;
}

void Draw(const SlgUnit& unit, const SlgPair& position) {
  if (unit.anm == nullptr) return;
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
}
void Release(SlgUnit& unit) {
  if (unit.anm != nullptr && HasScene()) Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
}

constexpr EventAnmDesc kLoop{.start = EventAnmStart::kLoop};

}  // namespace

// ---- The reaction lines ----

void ReactionRow(const SlgEventEntry& row) {
  const auto* args = static_cast<const ReactionArgs*>(row.arg);
  if (args == nullptr) {
    DebugPrint("event %u: the reaction lines have no arguments\n", row.id);
    EventEnd();
    return;
  }
  // EventStep 0 picks the line; 1 + n shows line n.
  int32_t& step = EventStep();
  if (step == 0) {
    for (int n = kReactionLines - 1; n >= 0; --n) {
      const int32_t flag = args->first_flag + n;
      if (CheckEventFlag(flag) == 0) continue;
      ClearEventFlag(static_cast<uint32_t>(flag));
      step = 1 + n;
      break;
    }
    if (step == 0) {
      EventEnd();
      return;
    }
  }
  const EventMessageRef& line = args->lines[static_cast<size_t>(step - 1)];
  if (EventMessage(line.face, line.message) != 0) EventEnd();
}

// ---- The bombardment ----

int ScrollWhileKindPlays(int32_t x, int32_t y, int32_t speed, int32_t kind) {
  EventScroll(x * 65536, y * 65536, speed * 65536);
  Battle().flags = static_cast<uint16_t>(Battle().flags & ~kFixedSpritesHidden);
  const SlgUnit* shell = DeployedKind(kind);
  if (shell == nullptr || shell->anm == nullptr) return 1;
  if (shell->state >= kEventAnmEnded) return 1;
  return shell->state == kEventAnmRunning && SlgAnmObjIsEnd(shell->anm) != 0 ? 1 : 0;
}

int VolleyStep(const VolleyDesc& desc) {
  CommanderSceneWords& w = CommanderScenes();
  if (++w.volley_frames < desc.interval) return 0;
  w.volley_frames = 0;
  SlgSePlay(desc.se);
  EventDeployKind(desc.first_kind + w.volley);
  if (++w.volley < desc.count) return 0;
  w.volley = 0;
  return 1;
}

void AddFixedSprite(uint32_t anm_id, int32_t x, int32_t y) {
  CommanderSceneWords& w = CommanderScenes();
  w.fixed_sprite = FixTaskAddOne(0, anm_id, x * 65536, y * 65536);
  w.fixed_sprite_anm = w.fixed_sprite != nullptr ? anm_id : 0;
}

void ExchangeFixedSprite(uint32_t anm_id, int32_t x, int32_t y) {
  CommanderSceneWords& w = CommanderScenes();
  // A sprite the list no longer holds is left alone by the removal.
  if (w.fixed_sprite != nullptr) FixTaskRemove(w.fixed_sprite);
  w.fixed_sprite = nullptr;
  AddFixedSprite(anm_id, x, y);
}

void OpenCells(std::span<const SlgPoint> cells) {
  BattleContext& b = Battle();
  for (const SlgPoint& p : cells) {
    const SlgCell cell = PosToCell(p.x, p.y);
    const auto n = static_cast<size_t>(cell.row) * kSlgGridColumns + static_cast<size_t>(cell.column);
    b.cell_grid[n] &= ~kBlockedCellBits;
    b.cell_grid2[n] &= ~kBlockedCellBits;
  }
}

// ---- The victory ----

int FellGroupWhenFlag(int32_t flag, int32_t group) {
  if (CheckEventFlag(flag) == 0) return 0;
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.side != group || !SlgUnitLive(unit)) continue;
    const SlgPair at = Slg::PosToScreen({unit.x, unit.y});
    if (Slg::InViewArea(at.x >> 16, at.y >> 16) != 0) {
      SetUnitState(unit, 15);
    } else {
      EventRemoveUnit(&unit);
    }
  }
  Slg::PurgeDeadUnits();
  return 1;
}

int WaitGroupGone(int32_t group, int32_t limit) {
  CommanderSceneWords& w = CommanderScenes();
  if (w.group_wait < 0) w.group_wait = 0;
  if (CondNG(group) != 0 || ++w.group_wait >= limit) {
    w.group_wait = -1;
    return 1;
  }
  return 0;
}

void FollowUnit(const SlgUnit* unit, SlgPoint offset, const SlgRect& box) {
  if (unit == nullptr) return;
  const SlgBattleState& s = Battle().state;
  const int32_t tx = std::clamp((unit->x >> 16) - offset.x, box.left, box.right);
  const int32_t ty = std::clamp((unit->y >> 16) - offset.y, box.top, box.bottom);
  const auto sx = static_cast<int32_t>(s.scroll_x);
  const auto sy = static_cast<int32_t>(s.scroll_y);
  const int32_t x = sx + (tx - sx) / 16;
  const int32_t y = sy + (ty - sy) / 16;
  // ScrollJumpTo takes the view's centre.
  Slg::ScrollJumpTo({(x + 320) * 65536, (y + 240) * 65536});
}

// ---- The mechanism's objects ----

namespace {
// The phases of a falling part (its state byte).
constexpr uint8_t kPartWaits = 1;
constexpr uint8_t kPartGains = 2;
constexpr uint8_t kPartFalls = 3;
constexpr uint8_t kPartDown = 4;
constexpr int32_t kPartStartSpeed = 0x4000;
constexpr int32_t kPartGain = 128;
constexpr int32_t kPartTopSpeed = 0x8000;

int16_t HalfYDepth(const SlgUnit& unit, int32_t add) {
  return static_cast<int16_t>(-((unit.y >> 16) / 2) + add);
}
}  // namespace

// walk_state[0] is the part's speed (16.16 pixels a frame).
int FallingPartAt(SlgUnit& unit, SlgPair& position, int32_t floor_y) {
  if (unit.state >= kPartDown) return 0;
  CommanderSceneWords& w = CommanderScenes();
  if (unit.state == 0) {
    RunEventAnm(kLoop, unit, position);
    SetUnitState(unit, kPartWaits);
    unit.walk_state[0] = 0;
  }
  if (unit.state == kPartWaits && w.drop == 1) {
    SetUnitState(unit, kPartGains);
    unit.walk_state[0] = kPartStartSpeed;
  } else if (unit.state == kPartGains) {
    unit.walk_state[0] = std::min(unit.walk_state[0] + kPartGain, kPartTopSpeed);
    if (unit.walk_state[0] == kPartTopSpeed) SetUnitState(unit, kPartFalls);
  }
  if (unit.state == kPartGains || unit.state == kPartFalls) {
    unit.y += unit.walk_state[0];
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    if ((unit.y >> 16) > floor_y) {
      Release(unit);
      w.drop = 0;
      SetUnitState(unit, kPartDown);
      return 0;
    }
  }
  if (unit.anm != nullptr) {
    if (unit.state == kPartWaits) unit.anm->shade = 1;
    unit.anm->depth = HalfYDepth(unit, 0);
  }
  Draw(unit, position);
  return 0;
}

namespace {
// The mechanism's phases (its state byte) and its zoom (16.16: 65536 full size).
constexpr uint8_t kMechWaits = 1;
constexpr uint8_t kMechGrows = 2;
constexpr uint8_t kMechGrown = 3;
constexpr uint8_t kMechShrinks = 4;
constexpr uint8_t kMechDone = 5;
constexpr int32_t kZoomStart = 256;
constexpr int32_t kZoomFull = 65536;
constexpr int32_t kZoomStep = 0x2000;
constexpr int32_t kZoomStepChange = 256;
}  // namespace

// walk_state[0] is the zoom, [1] its step. The growth and the shrink run without a sprite too,
// so that the stage byte the script waits on always comes.
int GrowingMechanism(SlgUnit& unit, SlgPair& position) {
  CommanderSceneWords& w = CommanderScenes();
  if (unit.state == 0) {
    if (unit.anm != nullptr) SetAnmPattern(unit.anm, 1);
    SetUnitState(unit, kMechWaits);
  }
  if (unit.state == kMechWaits && w.mechanism == 1) {
    if (unit.anm != nullptr) {
      SetUnitState(unit, 0);
      RunEventAnm(kLoop, unit, position);
    }
    SetUnitState(unit, kMechGrows);
    unit.walk_state[0] = kZoomStart;
    unit.walk_state[1] = kZoomStep;
  } else if (unit.state == kMechGrows) {
    const int32_t zoom = unit.walk_state[0] + unit.walk_state[1];
    if (zoom > kZoomFull || unit.walk_state[1] <= 0) {
      w.mechanism = 2;
      SetUnitState(unit, kMechGrown);
    } else {
      unit.walk_state[0] = zoom;
      unit.walk_state[1] -= kZoomStepChange;
    }
  } else if (unit.state == kMechGrown && w.mechanism == 3) {
    SetUnitState(unit, kMechShrinks);
  } else if (unit.state == kMechShrinks) {
    unit.walk_state[0] -= unit.walk_state[1];
    unit.walk_state[1] += kZoomStepChange;
    if (unit.walk_state[0] <= kZoomStart) {
      w.mechanism = 4;
      SetUnitState(unit, kMechDone);
    }
  }
  if (unit.anm == nullptr) return 0;
  unit.anm->depth = HalfYDepth(unit, 1);
  if (unit.state == kMechGrown) unit.anm->shade = 1;
  if (unit.state >= kMechGrows && unit.anm->handle != nullptr) {
    const int32_t zoom = std::max(unit.walk_state[0], 0);
    SlgSprSetZoom(unit.anm->handle, {zoom, zoom});
  }
  Draw(unit, position);
  return 0;
}

int MechanismDecoration(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == 0) SetAnmPattern(unit.anm, 2);
  RunEventAnm(kLoop, unit, position);
  unit.anm->depth = static_cast<int16_t>(unit.anm->depth - 1);
  unit.anm->shade = 3;
  Draw(unit, position);
  return 0;
}
