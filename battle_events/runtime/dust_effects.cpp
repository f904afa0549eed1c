// The two effect tasks of a walking unit: the jump arc of a height change with its landing dust,
// and the dust of the walk's stop. Each keeps its unit by slot and identity (SlgUnitRef) and
// ends, stepping nothing, once that slot no longer holds the unit alive.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/shared_effects.h"

namespace {

constexpr int32_t kPx = 0x10000;
// The unit's BASE_EFFECT animations the dust plays: the landing's behind and in front, the
// stop's in front and behind.
constexpr uint8_t kJumpDustAnim[2] = {9, 8};
constexpr uint8_t kStopDustAnim[2] = {4, 5};
constexpr int32_t kJumpDustDepth[2] = {1, -1};
constexpr int32_t kStopDustDepth[2] = {-1, 1};
// Both dusts' attribute word by direction: mirrored (16) for directions 0 and 2.
constexpr uint16_t kDustAttr[4] = {16, 0, 16, 0};
// The horizontal hold of a jump: at most this far from where it began.
constexpr int32_t kJumpHold = 48 * kPx;
// The jump's phases: rising, falling, the landing dust.
constexpr uint8_t kJumpRising = 0;
constexpr uint8_t kJumpFalling = 1;
constexpr uint8_t kJumpDust = 2;
// The stop's phases: the dust made, its check, its play, the end.
constexpr uint8_t kStopMake = 0;
constexpr uint8_t kStopCheck = 1;
constexpr uint8_t kStopPlay = 2;
constexpr uint8_t kStopEnd = 3;

template <class Work>
Work& WorkOf(SlgEffectTask* task) {
  return *static_cast<Work*>(task->owned[0]);
}

void FreeDust(std::array<SlgAnmObj*, 2>& dust) {
  for (SlgAnmObj*& obj : dust) FreeEffectObj(obj);
}

// The task "<base><entry>" with a zeroed work of Work holding the unit's reference; null when
// the unit is not a battle record or the task could not be made.
template <class Work>
SlgEffectTask* StartUnitTask(SlgUnit& unit, SlgBody body, const char* base) {
  SlgUnitRef ref{};
  if (!MakeUnitRef(unit, ref)) return nullptr;
  char name[32];
  std::snprintf(name, sizeof name, "%s%d", base, unit.entry);
  SlgEffectTask* task = SlgTaskCreateWork(body, sizeof(Work), name);
  if (task != nullptr) WorkOf<Work>(task).unit = ref;
  return task;
}

void StepBodyState(SlgUnit& unit) {
  if (unit.anm != nullptr) ++unit.anm->state;
}

// ---- The jump ----

// Frames since the last integrated one, once each: speed -= gravity, lift += speed. Rising, the
// speed falling below 1 starts the fall; falling, reaching the floor lands. Whether it landed.
bool Fly(SlgEffectTask* task, JumpWork& w) {
  while (w.frames < task->frames) {
    ++w.frames;
    w.speed -= w.gravity;
    w.lift += w.speed;
    if (task->phase == kJumpRising) {
      if (w.speed < 1) {
        task->phase = kJumpFalling;
        w.peak_frame = w.frames;
        w.peak_lift = w.lift;
      }
    } else if (w.lift <= w.floor) {
      return true;
    }
  }
  return false;
}

// The unit's feet on its floor, on the screen: its position less the scroll and the floor lift.
SlgPair OnFloor(const SlgUnit& unit, int32_t floor) {
  SlgPair pos = SlgMapToScreen(unit);
  pos.y += unit.lift - floor;
  return pos;
}

// Lands: the lift on the floor, the handler's step on, the dust. Whether the dust was made.
bool Land(JumpWork& w, SlgUnit& unit) {
  unit.lift = w.floor;
  StepBodyState(unit);
  const SlgPair pos = OnFloor(unit, w.floor);
  const int32_t depth = UnitBodyDepth(unit);
  for (size_t i = 0; i < w.dust.size(); ++i) {
    w.dust[i] = MakeEffectObj(kJumpDustAnim[i], kDustAttr[unit.dir & 3], UnitShade(unit),
                              kSlgAnmOnce, depth + kJumpDustDepth[i], pos);
    if (w.dust[i] == nullptr) {  // a full pool: the landing goes on without its dust
      FreeDust(w.dust);
      return false;
    }
  }
  for (SlgAnmObj* obj : w.dust) PlayEffectObj(unit.anims[kUnitAnmBaseEffect], obj, true);
  return true;
}

void JumpBody(SlgEffectTask* task) {
  JumpWork& w = WorkOf<JumpWork>(task);
  SlgUnit* unit = FindUnitRef(w.unit);
  // Gone, or asked to stop (SlgTaskStop): ends at once, stepping nothing.
  if (unit == nullptr || task->phase > kJumpDust) {
    FreeDust(w.dust);
    SlgTaskEnd(task);
    return;
  }
  if (task->phase != kJumpDust) {
    // Held where it has walked 48 pixels from the start, on the side it went.
    const int64_t moved = int64_t{unit->x} - w.start_x;
    if (moved >= kJumpHold || moved <= -kJumpHold) {
      unit->flags |= kUnitJumpClamp;
      unit->x = moved > 0 ? w.start_x + kJumpHold : w.start_x - kJumpHold;
    }
    const bool landed = Fly(task, w);
    unit->lift = static_cast<int32_t>(std::clamp<int64_t>(
        w.lift, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (!landed) return;
    if (!Land(w, *unit)) {
      SlgTaskEnd(task);
      return;
    }
    task->phase = kJumpDust;
    return;
  }
  const SlgPair pos = OnFloor(*unit, w.floor);
  const int32_t depth = UnitBodyDepth(*unit);
  bool ended = false;
  for (size_t i = 0; i < w.dust.size(); ++i) {
    KeepEffectAt(w.dust[i], pos);
    SetEffectDepth(w.dust[i], depth + kJumpDustDepth[i]);
    ended = ended || SlgAnmObjIsEnd(w.dust[i]) != 0;
  }
  if (!ended) return;
  FreeDust(w.dust);
  SlgTaskEnd(task);
}

// ---- The stop ----

void StopBody(SlgEffectTask* task) {
  StopWork& w = WorkOf<StopWork>(task);
  SlgUnit* unit = FindUnitRef(w.unit);
  if (unit == nullptr || unit->state != kUnitStateWalkEnd || task->phase > kStopEnd) {
    FreeDust(w.dust);
    SlgTaskEnd(task);
    return;
  }
  const SlgPair pos = Slg::PosToScreen({unit->x, unit->y});
  switch (task->phase) {
    case kStopMake: {
      const int32_t depth = UnitBodyDepth(*unit);
      for (size_t i = 0; i < w.dust.size(); ++i) {
        w.dust[i] = MakeEffectObj(kStopDustAnim[i], kDustAttr[unit->dir & 3],
                                  UnitShade(*unit), 0, depth + kStopDustDepth[i], pos);
        PlayEffectObj(unit->anims[kUnitAnmBaseEffect], w.dust[i], true);
      }
      task->phase = kStopCheck;
      return;
    }
    case kStopCheck:
      task->phase = w.dust[0] == nullptr || w.dust[1] == nullptr ? kStopEnd : kStopPlay;
      if (task->phase == kStopEnd) break;
      [[fallthrough]];
    case kStopPlay:
      for (SlgAnmObj* obj : w.dust) KeepEffectAt(obj, pos);
      if (SlgAnmObjIsEnd(w.dust[0]) == 0 || SlgAnmObjIsEnd(w.dust[1]) == 0) return;
      task->phase = kStopEnd;
      break;
    default:  // kStopEnd
      break;
  }
  StepBodyState(*unit);
  FreeDust(w.dust);
  SlgTaskEnd(task);
}

}  // namespace

namespace SharedEffects {

int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity) {
  SlgEffectTask* task = StartUnitTask<JumpWork>(unit, &JumpBody, "CtrlJumpEffect");
  if (task == nullptr) return 0;
  JumpWork& w = WorkOf<JumpWork>(task);
  // The hold belongs to this jump: one left from an earlier jump would keep the walk from
  // moving the unit during this one (and then move it a whole cell at once).
  unit.flags &= ~kUnitJumpClamp;
  w.floor = floor;
  w.start_x = unit.x;
  w.gravity = gravity;
  w.speed = speed;
  w.lift = unit.lift;
  return 1;
}

int CtrlStopEffect(SlgUnit& unit) {
  return StartUnitTask<StopWork>(unit, &StopBody, "CtrlStopEffect") != nullptr ? 1 : 0;
}

}  // namespace SharedEffects
