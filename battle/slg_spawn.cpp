#include "battle/slg_spawn.h"

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

size_t RoundUp4(size_t bytes) { return (bytes + 3) & ~size_t{3}; }

// The task for a work block already allocated; the block is freed when the task cannot be made.
SlgEffectTask* Spawn(SlgBody body, const char* name, void* work) {
  SlgEffectTask* task = SlgTaskCreate(SlgTaskOwner(), body, name);
  if (SlgTaskIsAlive(task) == 0) {
    SlgFree(work);
    return nullptr;
  }
  task->owned[0] = work;
  return task;
}

void ReleaseObject(SlgAnmObj*& obj) {
  if (obj == nullptr) return;
  if (obj->tag == kSlgAnmHeldSetTag && HasCtx() && Ctx().anime.IsAnime(obj->handle) != 0) {
    // A one-shot ended before its animation: deleting the animation calls no end callback, so
    // the reference of the set it played from goes back here.
    Scene().tamvik_spr.ReleaseAnm(&obj->handle);
    TamvikFunc::ReleaseAnmFile(obj->anims);
  }
  Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  SlgFree(obj);
  obj = nullptr;
}

}  // namespace

SlgEffectTask* SlgTaskCreateWork(SlgBody body, size_t bytes, const char* name) {
  void* work = SlgAlloc(RoundUp4(bytes));
  if (work == nullptr) return nullptr;
  return Spawn(body, name, work);
}

SlgEffectTask* SlgTaskCreateAnm(SlgBody body, const char* name) {
  void* obj = SlgAlloc(sizeof(SlgAnmObj));
  if (obj == nullptr) return nullptr;
  return Spawn(body, name, obj);
}

SlgEffectTask* SlgTaskCreateAnmWork(SlgBody body, size_t bytes, const char* name) {
  // The first word holds a pointer: the area is never smaller than one.
  size_t size = RoundUp4(bytes);
  if (size < sizeof(SlgAnmObj*)) size = sizeof(SlgAnmObj*);
  void* work = SlgAlloc(size);
  if (work == nullptr) return nullptr;
  auto* obj = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
  if (obj == nullptr) {
    SlgFree(work);
    return nullptr;
  }
  SlgWorkAnmObj(work) = obj;
  SlgEffectTask* task = Spawn(body, name, work);
  if (task == nullptr) {
    SlgFree(obj);
    return nullptr;
  }
  // The task owns the object too, so a task ended without its end form (the battle's teardown
  // ends every task) frees it with the work area.
  task->owned[kSlgAnmWorkObjSlot] = obj;
  return task;
}

void SlgTaskEndAnm(SlgEffectTask* task) {
  if (SlgTaskIsAlive(task) == 0) return;
  auto* obj = static_cast<SlgAnmObj*>(task->owned[0]);
  ReleaseObject(obj);
  task->owned[0] = nullptr;
  SlgTaskEnd(task);
}

void SlgTaskEndPlain(SlgEffectTask* task) { SlgTaskEnd(task); }

void SlgTaskEndAnmWork(SlgEffectTask* task) {
  if (SlgTaskIsAlive(task) == 0) return;
  if (task->owned[0] != nullptr) ReleaseObject(SlgWorkAnmObj(task->owned[0]));
  task->owned[kSlgAnmWorkObjSlot] = nullptr;
  SlgTaskEnd(task);
}
