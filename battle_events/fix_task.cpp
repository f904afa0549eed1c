#include "battle_events/fix_task.h"

#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_queries.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr const char* kDelayTaskName = "Slg::delaySprSetTask";
// The battle flag word's bit that hides the fixed sprites (a movie, a stage switch's fade).
constexpr uint16_t kFlagHideFixed = 0x20;
// The surface the fixed sprites play on.
constexpr SurfaceId kFixSurface = 4;
// How far above its cell's lifted point a sprite's depth is taken.
constexpr int32_t kDepthRaise = 24;

// The deferred task's work area: the function it calls.
struct DelayWork {
  void (*function)();
};

void DelaySprSetBody(SlgEffectTask* task) {
  switch (task->phase) {
    case 0:
      task->phase = 1;
      break;
    case 1: {
      const auto* work = static_cast<const DelayWork*>(task->owned[0]);
      task->phase = 2;
      if (work != nullptr && work->function != nullptr) work->function();
      break;
    }
    default:
      SlgTaskEnd(task);
      return;
  }
}

FixTaskList& List() { return Battle().fix_tasks; }

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
// |v| without overflow (the most negative value stays as it is).
int32_t Abs(int32_t v) { return v < 0 ? Wrap(-int64_t{v}) : v; }

}  // namespace

namespace Slg {

void delaySprSetTask(void (*function)()) {
  if (function == nullptr) {
    DebugPrint("Slg::delaySprSetTask: no function\n");
    return;
  }
  SlgEffectTask* task = SlgTaskCreateWork(&DelaySprSetBody, sizeof(DelayWork), kDelayTaskName);
  if (task == nullptr) return;
  static_cast<DelayWork*>(task->owned[0])->function = function;
}

}  // namespace Slg

FixTaskWork* FixTaskWorkOf(SlgEffectTask* task) {
  return task != nullptr ? static_cast<FixTaskWork*>(task->owned[0]) : nullptr;
}

SlgEffectTask* FixTaskAdd(uint32_t id, uint32_t anm_id, SlgBody step, int32_t x, int32_t y) {
  FixTaskList& list = List();
  if (list.count >= kFixTaskMax) {
    DebugPrint("Fix Task too many!\\n");
    return nullptr;
  }
  char name[48];
  std::snprintf(name, sizeof name, "Slg::FixTask:Count%u", list.serial);
  ++list.serial;
  SlgEffectTask* task = SlgTaskCreateWork(step, sizeof(FixTaskWork), name);
  if (task == nullptr) return nullptr;
  list.tasks[static_cast<size_t>(list.count)] = task;
  task->phase = 0;
  FixTaskWork& work = *FixTaskWorkOf(task);
  work.obj = CreateAnmObj(static_cast<uint8_t>(id >= 16 ? id / 16 : 0), 0);
  work.anm = GetEventAnm(static_cast<int>(anm_id));
  if (work.anm == nullptr) {
    DebugPrint("NPCID:%d is not described in EventAnm Table!\n",
               static_cast<int>(anm_id) - kSlgEventNpcBase);
  }
  ++list.count;
  uint16_t shade = kFixShadeNormal;
  if (x < 0) {
    shade = kFixShadeTone;
  } else if (y < 0) {
    shade = kFixShadeBehind;
  }
  if (work.obj != nullptr) work.obj->shade = shade;
  work.x = Abs(x);
  work.y = Abs(y);
  return task;
}

SlgEffectTask* FixTaskAddOne(uint32_t id, uint32_t anm_id, int32_t x, int32_t y) {
  return FixTaskAdd(id, anm_id, &FixTaskMain, x, y);
}

void FixTaskAddList(std::span<const FixTaskRow> rows) {
  for (const FixTaskRow& row : rows) {
    if (row.id == kFixTaskEndId) return;
    FixTaskAddOne(static_cast<uint32_t>(static_cast<int32_t>(row.id)), row.anm_id,
                  int32_t{row.x} * 65536, int32_t{row.y} * 65536);
  }
}

void FixTaskAddList20(std::span<const FixTaskRow20> rows) {
  for (const FixTaskRow20& row : rows) {
    if (row.id == kFixTaskEndId) return;
    FixTaskAdd(row.id, row.anm_id, row.step, Wrap(int64_t{row.x} * 65536),
               Wrap(int64_t{row.y} * 65536));
  }
}

void FixTaskRemove(SlgEffectTask* task) {
  FixTaskList& list = List();
  int i = 0;
  while (i < list.count && list.tasks[static_cast<size_t>(i)] != task) ++i;
  if (i == list.count || task == nullptr) return;
  // A sprite whose own function has ended its task is only taken off the list: its record and
  // work area are gone with it.
  FixTaskWork* work = SlgTaskIsAlive(task) != 0 ? FixTaskWorkOf(task) : nullptr;
  if (work != nullptr) {
    // FreeAnmObj releases the engine animation too, and gives the object back to the pool.
    FreeAnmObj(work->obj);
    work->obj = nullptr;
    ReleaseEventAnm(&work->anm);
    work->anm = nullptr;
  }
  if (work != nullptr) SlgTaskEndPlain(task);
  for (; i + 1 < list.count; ++i) {
    list.tasks[static_cast<size_t>(i)] = list.tasks[static_cast<size_t>(i + 1)];
  }
  --list.count;
  list.tasks[static_cast<size_t>(list.count)] = nullptr;
}

void FixTaskRemoveAll() {
  FixTaskList& list = List();
  while (list.count > 0) FixTaskRemove(list.tasks[0]);
  list.count = 0;
}

void FixTaskListClear() {
  FixTaskList& list = List();
  list.tasks.fill(nullptr);
  list.count = 0;
}

int FixTaskIsShown(FixTaskWork& work) {
  const AnimeHandle handle = work.obj != nullptr ? work.obj->handle : nullptr;
  if ((Battle().flags & kFlagHideFixed) != 0) {
    if (work.shown != 0) {
      if (handle != nullptr) SlgAnmHide(handle);
      work.shown = 0;
    }
    return 0;
  }
  if (work.shown == 0) {
    if (handle != nullptr) SlgAnmShow(handle);
    work.shown = 1;
  }
  return 1;
}

void FixTaskMain(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0) return;
  SlgAnmObj* obj = work->obj;
  // A sprite without an animation (no EventAnm row, or no pool object) draws nothing.
  if (obj == nullptr || work->anm == nullptr) return;
  if (task->phase == 0) {
    task->phase = 1;
    SlgPlayAnm(work->anm, obj->pattern, obj, kFixSurface);
  }
  FixTaskUpdatePos(*work);
  FixTaskScreenPos(*work);
}

int FixTaskPlay(FixTaskWork& work, bool once) {
  if (work.obj == nullptr || work.anm == nullptr) return 0;
  work.obj->mode = once ? kSlgAnmOnce : 0;
  return SlgPlayAnm(work.anm, work.obj->pattern, work.obj, kFixSurface) != nullptr ? 1 : 0;
}

void FixTaskRelease(FixTaskWork& work) {
  if (work.obj != nullptr && work.obj->handle != nullptr && HasScene()) {
    Scene().tamvik_spr.ReleaseAnm(&work.obj->handle);
  }
}

void FixTaskUpdatePos(FixTaskWork& work) {
  SlgAnmObj* obj = work.obj;
  if (obj == nullptr) return;
  const SlgPoint lifted = CellPosLift(work.x >> 16, work.y >> 16);
  SetAnmPriByPos(obj, {Wrap(int64_t{lifted.x} * 65536),
                       Wrap((int64_t{lifted.y} - kDepthRaise) * 65536)});
  if (obj->shade == kFixShadeTone) {
    obj->depth = kFixDepthTone;
  } else if (obj->shade == kFixShadeBehind) {
    obj->depth = kFixDepthBehind;
  }
  SlgSprSetPri(obj->handle, obj->depth);
}

void FixTaskScreenPos(FixTaskWork& work) {
  if (work.obj == nullptr) return;
  const SlgBattleState& s = Battle().state;
  const int64_t left = int64_t{s.scroll_x} + 320 + s.scroll_offset_x;
  const int64_t top = int64_t{s.scroll_y} + 240 + s.scroll_offset_y;
  SlgSprSetPos(work.obj->handle, {Wrap(work.x - left * 65536), Wrap(work.y - top * 65536)});
}

SlgRect FixTaskViewBox(int32_t margin_x, int32_t margin_y) {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x, s.scroll_y, Wrap(int64_t{s.scroll_x} + 640 + margin_x),
          Wrap(int64_t{s.scroll_y} + 480 + margin_y)};
}

namespace SlgFixTask {

void UpdateAll(uint32_t tone) {
  FixTaskList& list = List();
  for (int i = 0; i < list.count; ++i) {
    SlgEffectTask* task = list.tasks[static_cast<size_t>(i)];
    if (SlgTaskIsAlive(task) == 0) continue;  // ended by its own function
    FixTaskWork* work = FixTaskWorkOf(task);
    if (work == nullptr || work->obj == nullptr || work->anm == nullptr) continue;
    SlgSprSetAlpha(work->obj, tone);
    FixTaskIsShown(*work);
  }
}

}  // namespace SlgFixTask
