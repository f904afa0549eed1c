#include "battle/slg_effect_calls.h"

#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"

namespace {

constexpr uint8_t kWalkEndState = 2;

// What the effect task keeps: the unit and the stage entry it was made for (records move down
// when a unit is removed, so the task checks it still holds that unit), and the jump's floor.
struct UnitEffectWork {
  SlgUnit* unit;
  uint8_t entry;
  int32_t floor;
};

UnitEffectWork* Work(SlgEffectTask* task) { return static_cast<UnitEffectWork*>(task->owned[0]); }

bool StillThere(const UnitEffectWork& w) {
  return w.unit != nullptr && w.unit->entry == w.entry && w.unit->step != kSlgDeadStep;
}

void StepBodyState(SlgUnit& unit) {
  if (unit.anm != nullptr) ++unit.anm->state;
}

void StopEffectBody(SlgEffectTask* task) {
  UnitEffectWork* w = Work(task);
  if (w != nullptr && StillThere(*w) && w->unit->state == kWalkEndState) StepBodyState(*w->unit);
  SlgTaskEnd(task);
}

void JumpEffectBody(SlgEffectTask* task) {
  UnitEffectWork* w = Work(task);
  if (w != nullptr && StillThere(*w)) {
    w->unit->lift = w->floor;
    StepBodyState(*w->unit);
  }
  SlgTaskEnd(task);
}

int StartUnitEffect(SlgUnit& unit, SlgBody body, const char* base, int32_t floor) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%d", base, unit.entry);
  SlgEffectTask* task = SlgTaskCreateWork(body, sizeof(UnitEffectWork), name);
  if (task == nullptr) return 0;
  *Work(task) = {&unit, unit.entry, floor};
  return 1;
}

}  // namespace

int CtrlStopEffect(SlgUnit& unit) { return Battle().events.ctrl_stop_effect(unit); }
int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity) {
  return Battle().events.ctrl_jump_effect(unit, floor, speed, gravity);
}
int SlgFallEffect(SlgUnit& unit, const SlgPair& pos) { return Battle().events.fall_effect(unit, pos); }
int SlgFallEffect2(SlgUnit& unit, const SlgPair& pos) {
  return Battle().events.fall_effect2(unit, pos);
}
int SlgFlashEffect(SlgUnit& unit, const SlgPair& pos) {
  return Battle().events.flash_effect(unit, pos);
}

// ---- The stand-ins of the event entries ----
namespace SlgStandIn {

int CtrlStopEffect(SlgUnit& unit) {
  return StartUnitEffect(unit, &StopEffectBody, "CtrlStopEffect", 0);
}

int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t /*speed*/, int32_t /*gravity*/) {
  return StartUnitEffect(unit, &JumpEffectBody, "CtrlJumpEffect", floor);
}

int SlgFallEffect(SlgUnit& /*unit*/, const SlgPair& /*pos*/) { return 0; }
int SlgFallEffect2(SlgUnit& /*unit*/, const SlgPair& /*pos*/) { return 0; }
int SlgFlashEffect(SlgUnit& /*unit*/, const SlgPair& /*pos*/) { return 0; }

}  // namespace SlgStandIn
