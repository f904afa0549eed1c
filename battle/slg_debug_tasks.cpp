#include "battle/slg_debug_tasks.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_spawn.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "game/game_context.h"
#include "game/game_sequences.h"
#include "scene/ui/tamvik_func.h"

namespace {

// The logical keys of the map viewer and the step per frame.
constexpr int kKeyRight = 8;
constexpr int kKeyLeft = 7;
constexpr int kKeyDown = 6;
constexpr int kKeyUp = 5;
constexpr int32_t kViewStep = 32;
// SlgFlags bit 1: the map is drawn.
constexpr uint16_t kFlagMapShown = 2;
constexpr int32_t kCircleRadius = 100 << 16;

struct MapViewWork {
  int32_t map;
  int32_t x;
  int32_t y;
};

// Asks the task of the handle to end: phase 100 while it lives; the handle is cleared either way
// (a task that ended by itself leaves a handle to a freed record, which is never written).
void StopHandle(SlgEffectTask*& handle) {
  if (handle == nullptr) return;
  if (SlgTaskIsAlive(handle) != 0) SlgTaskStop(handle);
  handle = nullptr;
}

void MapViewMain(SlgEffectTask* task) {
  auto* work = static_cast<MapViewWork*>(task->owned[0]);
  switch (task->phase) {
    case 0:
      work->x = 0;
      work->y = 0;
      SlgMap::FreeMap();
      Battle().flags |= kFlagMapShown;
      SlgMap::LoadMapTable(work->map);
      task->phase = 1;
      return;
    case 1:
      if (IsKeyHeld(kKeyRight) != 0) work->x += kViewStep;
      if (IsKeyHeld(kKeyLeft) != 0) work->x -= kViewStep;
      if (IsKeyHeld(kKeyDown) != 0) work->y += kViewStep;
      if (IsKeyHeld(kKeyUp) != 0) work->y -= kViewStep;
      SlgMap::DrawMap(work->x, work->y);
      return;
    default:
      SlgMap::FreeMap();
      SlgTaskEnd(task);
      return;
  }
}

void UnitAnmTestMain(SlgEffectTask* task) {
  auto* obj = static_cast<SlgAnmObj*>(task->owned[0]);
  if (task->phase != 0) {
    // The animation is its owner's: only the object goes with the task.
    SlgTaskEnd(task);
    return;
  }
  // The object's first clock word is the test's angle word.
  const int32_t angle = (static_cast<int32_t>(obj->start_time) + task->frames) & 511;
  SlgSprSetPos(obj->handle, SlgPolarToXY(kCircleRadius, angle));
  SlgSprSetRot(obj->handle, angle);
}

void ZakoDestroyMain(SlgEffectTask* task) {
  if (task->phase != 0) {
    SlgTaskEnd(task);
    return;
  }
  if (EventDestroyEnemies() == 1) task->phase = 1;
}

}  // namespace

SlgEffectTask* SetSlgMapSetTask(int on, int map) {
  SlgEffectTask*& handle = Battle().debug_tasks.map_view;
  if (on == 0) {
    StopHandle(handle);
    return nullptr;
  }
  SlgEffectTask* task = SlgTaskCreateWork(&MapViewMain, sizeof(MapViewWork), kSlgMapSetTaskName);
  if (task == nullptr) return nullptr;
  static_cast<MapViewWork*>(task->owned[0])->map = map;
  handle = task;
  return task;
}

SlgEffectTask* SetSlgUnitAnmTest(AnimeHandle animation, int on) {
  SlgEffectTask*& handle = Battle().debug_tasks.unit_anm;
  if (on == 0) {
    StopHandle(handle);
    return nullptr;
  }
  SlgEffectTask* task = SlgTaskCreateAnm(&UnitAnmTestMain, kSlgUnitAnmTestName);
  if (task == nullptr) return nullptr;
  static_cast<SlgAnmObj*>(task->owned[0])->handle = animation;
  handle = task;
  return task;
}

SlgEffectTask* SetSlgZakoDestroyTask(int on) {
  SlgEffectTask*& handle = Battle().debug_tasks.zako_destroy;
  if (on == 0) {
    StopHandle(handle);
    return nullptr;
  }
  SlgEffectTask* task = SlgTaskCreate(SlgTaskOwner(), &ZakoDestroyMain, kSlgZakoDestroyTaskName);
  if (SlgTaskIsAlive(task) == 0) return nullptr;
  // A destruction stopped half-way left its phase behind: this one starts from the beginning.
  EventDestroyEnemiesReset();
  handle = task;
  return task;
}

void SlgDebugRestart() {
  CGameTask& list = Ctx().game_task;
  Slg::StopMainTask();
  for (const char* name : {"CTamvikMacro::DecodeMacro", "CTamvikAdv::AdvMain"}) {
    if (GameTaskRec* task = list.FindTask(name)) list.DelTask(task);
  }
  GameSequences& sequences = Game().sequences;
  if (list.FindTask("CTamvikGeneral::GeneralManeger") == nullptr) {
    if (sequences.start_manager) {
      sequences.start_manager();
    } else {
      DebugPrint("GameSequences: start_manager is not there\n");
    }
  }
  if (sequences.set_mode) {
    sequences.set_mode(kSlgDebugRestartMode);
  } else {
    DebugPrint("GameSequences: set_mode is not there\n");
  }
}
