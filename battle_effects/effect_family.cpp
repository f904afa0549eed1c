#include "battle_effects/effect_family.h"

#include "battle/battle_context.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 65536;

bool ParentGone(const EffectWork& w) { return w.parent != nullptr && EffectParent(w) == nullptr; }

bool Stopped(const EffectWork& w) {
  return (w.stop_word != nullptr ? *w.stop_word : Family().stop) != 0;
}

}  // namespace

EffectFamily& Family() { return Battle().Extension<EffectFamily>(); }

EffectWork* EffectWorkOf(SlgEffectTask* task) {
  return task != nullptr ? static_cast<EffectWork*>(task->owned[0]) : nullptr;
}

SlgEffectTask* EffectCreate(SlgEffectTask* parent, SlgBody body, const char* name,
                            const SlgPair& at) {
  // The part runs under its parent's engine task (the list only keeps it; the family follows its
  // parent through the work area).
  GameTaskRec* owner = SlgTaskOwner();
  if (parent != nullptr && parent->name != nullptr) {
    if (GameTaskRec* rec = Ctx().game_task.FindTask(parent->name)) owner = rec;
  }
  SlgEffectTask* task = SlgTaskCreate(owner, body, name);
  if (task == nullptr) return nullptr;
  auto* w = static_cast<EffectWork*>(SlgAlloc(sizeof(EffectWork)));
  if (w == nullptr) {
    SlgTaskEnd(task);
    return nullptr;
  }
  task->owned[0] = w;
  EffectFamily& f = Family();
  w->id = ++f.next_id;
  if (const EffectWork* p = EffectWorkOf(parent)) {
    w->parent = parent;
    w->parent_id = p->id;
    w->stop_word = p->stop_word;
  }
  w->pos = w->start = at;
  w->start_ms = task->start;
  return task;
}

bool EffectTaskIs(const SlgEffectTask* task, uint32_t id) {
  if (task == nullptr || SlgTaskIsAlive(task) == 0) return false;
  const auto* w = static_cast<const EffectWork*>(task->owned[0]);
  return w != nullptr && w->id == id;
}

EffectWork* EffectParent(const EffectWork& work) {
  return EffectTaskIs(work.parent, work.parent_id) ? EffectWorkOf(work.parent) : nullptr;
}

void EffectSignalParent(const EffectWork& work, EffectSignal what) {
  EffectWork* p = EffectParent(work);
  if (p == nullptr) return;
  switch (what) {
    case EffectSignal::kSubStep:
      ++p->sub;
      break;
    case EffectSignal::kState:
      ++p->state;
      break;
    case EffectSignal::kWord:
      ++work.parent->signal;
      break;
  }
}

void EffectKeepChild(EffectWork& work, SlgEffectTask* child) {
  const EffectWork* c = EffectWorkOf(child);
  work.child = c != nullptr ? child : nullptr;
  work.child_id = c != nullptr ? c->id : 0;
}

void EffectAwait(EffectWork& work, SlgEffectTask* child) {
  EffectKeepChild(work, child);
  work.sub = static_cast<uint8_t>(work.sub + (work.child != nullptr ? 1 : 2));
}

void EffectAwaitGone(EffectWork& work, uint8_t waiting_sub) {
  if (work.sub != waiting_sub) return;
  if (!EffectTaskIs(work.child, work.child_id)) ++work.sub;
}

EffectWork* EffectPartBegin(SlgEffectTask* task, EffectWatch watch) {
  EffectWork* w = EffectWorkOf(task);
  if (w == nullptr) {
    SlgTaskEnd(task);
    return nullptr;
  }
  if (EffectPartEnds(task, *w, watch)) {
    EffectEnd(task);
    return nullptr;
  }
  if (w->state != w->prev) {
    w->prev = w->state;
    w->sub = 0;
  }
  return w;
}

bool EffectPartEnds(const SlgEffectTask* task, const EffectWork& w, EffectWatch watch) {
  return task->phase > 1 || ParentGone(w) || (watch == EffectWatch::kStop && Stopped(w));
}

void EffectEnd(SlgEffectTask* task) {
  if (EffectWork* w = EffectWorkOf(task)) {
    if (HasScene()) {
      Scene().tamvik_spr.ReleaseAnm(&w->obj.handle);
      ReleaseUnitAnm(&w->set);
    }
    w->obj.handle = nullptr;
    w->set = nullptr;
  }
  SlgTaskEnd(task);
}

int32_t EffectFrames(const SlgEffectTask* task, const EffectWork& work) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(task->now - work.start_ms)} * 60 / 1000);
}

void EffectRestart(const SlgEffectTask* task, EffectWork& work) { work.start_ms = task->now; }

SlgPair EffectScreenPos(const SlgPair& map) {
  const SlgBattleState& s = Battle().state;
  return {((map.x >> 16) - s.scroll_x - kSlgCentreX) * kPx,
          ((map.y >> 16) - s.scroll_y - kSlgCentreY) * kPx};
}

void EffectPlace(EffectWork& work) {
  const SlgPair p = EffectScreenPos(work.pos);
  work.obj.x = p.x;
  work.obj.y = p.y;
  if (work.obj.handle != nullptr) SlgSprSetPos(work.obj.handle, p);
}

bool EffectPlay(EffectWork& work, SprAnm* set, uint32_t n, uint8_t mode) {
  if (set == nullptr) return false;
  if (work.set == nullptr) work.set = SlgHoldAnmSet(set);
  SlgAnmObj& obj = work.obj;
  const SlgPair p = EffectScreenPos(work.pos);
  obj.x = p.x;
  obj.y = p.y;
  obj.depth = work.depth;
  obj.mode = mode;
  SlgPlayAnm(set, n, &obj, SURFACE_ROOT);
  if (obj.handle == nullptr) return false;
  if ((mode & kSlgAnmOnce) != 0) SlgAnmPlayOnce(&obj.handle);
  return true;
}
