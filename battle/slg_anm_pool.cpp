#include "battle/slg_anm_pool.h"

#include <cstdint>

#include "battle/battle_context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// The two position hooks of SetAnmPos (chosen by mode bit 0); neither does anything.
void PositionHookLoop(SlgAnmObj* /*obj*/) {}
void PositionHookOnce(SlgAnmObj* /*obj*/) {}

// The pool slot the pointer names exactly, or -1.
int PoolIndex(const SlgAnmObj* obj) {
  const auto& objects = Battle().anm_pool.objects;
  const auto first = reinterpret_cast<uintptr_t>(objects.data());
  const auto end = reinterpret_cast<uintptr_t>(objects.data() + objects.size());
  const auto at = reinterpret_cast<uintptr_t>(obj);
  if (at < first || at >= end || (at - first) % sizeof(SlgAnmObj) != 0) return -1;
  return static_cast<int>((at - first) / sizeof(SlgAnmObj));
}

}  // namespace

void ClearAnmObjPool() {
  SlgAnmObjPool& pool = Battle().anm_pool;
  pool.objects.fill(SlgAnmObj{});
  pool.in_use = 0;
  pool.calls = 0;
}

SlgAnmObj* alloc_anime() {
  SlgAnmObjPool& pool = Battle().anm_pool;
  ++pool.calls;
  for (SlgAnmObj& obj : pool.objects) {
    if (obj.tag != 0) continue;
    obj.tag = kSlgAnmObjTag;
    ++pool.in_use;
    return &obj;
  }
  DebugPrint("alloc_anime is Fail\n");
  return nullptr;
}

void InitAnmObj(SlgAnmObj* obj, uint8_t pattern, uint16_t attr) {
  if (obj == nullptr) return;
  obj->pattern = pattern;
  obj->attr = attr;
  obj->frame = 0;
  obj->mode = 0;
}

SlgAnmObj* CreateAnmObj(uint8_t pattern, uint16_t attr, int /*ignored*/) {
  SlgAnmObj* obj = alloc_anime();
  InitAnmObj(obj, pattern, attr);
  return obj;
}

int FreeAnmObj(SlgAnmObj* obj) {
  SlgAnmObjPool& pool = Battle().anm_pool;
  --pool.calls;
  if (obj == nullptr || PoolIndex(obj) < 0 || obj->tag != kSlgAnmObjTag) return 0;
  Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  *obj = SlgAnmObj{};
  --pool.in_use;
  return 1;
}

void SetAnmPattern(SlgAnmObj* obj, uint8_t n) {
  if (obj == nullptr) return;
  obj->pattern = n;
  obj->frame = 0;
}

void SetAnmPatternOnly(SlgAnmObj* obj, uint8_t n) {
  if (obj != nullptr) obj->pattern = n;
}

void SetAnmPos(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  obj->x = pos.x;
  obj->y = pos.y;
  if ((obj->mode & kSlgAnmOnce) != 0) {
    PositionHookOnce(obj);
  } else {
    PositionHookLoop(obj);
  }
}

void SetAnmObjFlags(SlgAnmObj* obj, uint8_t bits) {
  if (obj != nullptr) obj->mode = static_cast<uint8_t>(obj->mode | bits);
}

int SlgRetZero(int /*ignored*/) { return 0; }
int SlgRetZero2(int /*ignored*/) { return 0; }

void ClearDeathActionState() {
  SlgDeathState& death = Battle().death;
  death.state.fill(0);
  death.player_deaths = 0;
  death.enemy_deaths = 0;
  death.object_deaths = 0;
  death.start.fill(0);
  death.wait.fill(0);
}
