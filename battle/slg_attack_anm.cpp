#include "battle/slg_attack_anm.h"

#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }

// The engine end test: 1 for no animation or one that has ended (a looping one never ends).
int EngineEnded(AnimeHandle handle) {
  SpxAnimeKind* spx = Spx();
  return spx == nullptr ? 1 : spx->IsEnd(handle);
}

void PlaceSprite(const SlgAnmObj* obj) {
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, {obj->x, obj->y});
}

// ---- One-shot tasks ----

SlgAnmObj* ObjOf(SlgEffectTask* task) { return static_cast<SlgAnmObj*>(task->owned[0]); }

bool OneShotEnded(SlgAnmObj* obj) {
  if (obj->tag != kSlgAnmHeldSetTag) return SlgAnmObjIsEnd(obj) != 0;
  if (obj->handle == nullptr) return true;
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr) return true;  // no sprite layer left to play or free it
  if (spx->IsSpxEnd(obj->handle) == 0) return false;
  // Its last frame has passed: the engine frees the animation on a later pass (a task pass always
  // comes between) and the callback gives the set back. The task lasts until then, so an ended
  // one-shot leaves neither behind; the object then lets go of both.
  if (Ctx().anime.IsAnime(obj->handle) != 0) return false;
  obj->handle = nullptr;
  obj->anims = nullptr;
  return true;
}

// Follows the map position through the scroll.
void MapOneShot(SlgEffectTask* task) {
  SlgAnmObj* obj = ObjOf(task);
  if (OneShotEnded(obj)) {
    SlgTaskEndAnm(task);
    return;
  }
  SlgSprSetPos(obj->handle, Slg::PosToScreen({obj->x, obj->y}));
}

// Stays where it was made.
void ScreenOneShot(SlgEffectTask* task) {
  if (OneShotEnded(ObjOf(task))) SlgTaskEndAnm(task);
}

// The end callback of a one-shot's animation, with the set as its argument: the set goes back
// when the animation has freed itself. It touches nothing but the set, which its reference keeps,
// so it is safe also when the task and its object are gone (a battle ended while it played).
void ReleaseHeldSetAtEnd(uintptr_t argument) {
  auto* set = reinterpret_cast<SprAnm*>(argument);
  ReleaseUnitAnm(&set);
}

// A one-shot playing from `set`. With `held` the one-shot owns a reference of the set from here on
// (given back when its animation ends); without, it plays from a set the sprite layer does not
// hold (nothing to give back). Null when the task cannot be made (the reference is the caller's
// then).
SlgEffectTask* StartOneShot(bool follow_map, uint32_t pattern, const SlgPair& pos, int16_t depth,
                            uint16_t attr, SprAnm* set, bool held, SurfaceId mode) {
  SlgAttackTimeline& t = Battle().attack;
  uint32_t& number = follow_map ? t.auto_ptn_no : t.auto_ptn2_no;
  char name[48];
  std::snprintf(name, sizeof name, follow_map ? "AutoPtnChg:No%u" : "AutoPtnChg2:No%u", number);
  ++number;
  SlgEffectTask* task = SlgTaskCreateAnm(follow_map ? &MapOneShot : &ScreenOneShot, name);
  if (task == nullptr) return nullptr;
  SlgAnmObj* obj = ObjOf(task);
  obj->x = pos.x;
  obj->y = pos.y;
  obj->depth = depth;
  obj->attr = attr;
  obj->mode = kSlgAnmOnce;
  SlgPlayAnm(set, pattern, obj, mode);
  if (follow_map) SlgSprSetPos(obj->handle, Slg::PosToScreen(pos));
  if (!held) return task;
  SpxAnimeKind* spx = Spx();
  if (obj->handle != nullptr && spx != nullptr) {
    // The set stays loaded while the animation plays, also when the routine that played it has
    // released its own reference (the one-shot may outlive it).
    obj->tag = kSlgAnmHeldSetTag;
    spx->SetHoldEnd(obj->handle, 1);
    Ctx().anime.SetCallback(obj->handle, &ReleaseHeldSetAtEnd, reinterpret_cast<uintptr_t>(set));
  } else {
    // Nothing plays, so no callback will come: the set goes back now and the task ends on its
    // first frame.
    ReleaseUnitAnm(&set);
    obj->anims = nullptr;
  }
  return task;
}

// The plain forms: a set the sprite layer holds gets a reference of the one-shot's own; another
// (not loaded through it) plays as it is.
SlgEffectTask* StartPlainOneShot(bool follow_map, uint32_t pattern, const SlgPair& pos,
                                 int16_t depth, uint16_t attr, SprAnm* set, SurfaceId mode) {
  SprAnm* held = SlgHoldAnmSet(set);
  if (held == nullptr) return StartOneShot(follow_map, pattern, pos, depth, attr, set, false, mode);
  SlgEffectTask* task = StartOneShot(follow_map, pattern, pos, depth, attr, held, true, mode);
  if (task == nullptr) ReleaseUnitAnm(&held);
  return task;
}

// The unit forms: the slot's set loaded here is the one-shot's reference.
SlgEffectTask* StartUnitOneShot(bool follow_map, uint32_t pattern, const SlgPair& pos,
                                int16_t depth, uint16_t attr, const SlgUnit& unit, int slot,
                                SurfaceId mode) {
  SprAnm* set = GetUnitAnm(unit.kind, slot);
  SlgEffectTask* task = StartOneShot(follow_map, pattern, pos, depth, attr, set, true, mode);
  if (task == nullptr) ReleaseUnitAnm(&set);
  return task;
}

}  // namespace

SlgRowColumn SlgRowColumnOf(int dir) {
  switch (dir) {
    case 0: return {1, 0};
    case 1: return {0, 0};
    case 2: return {0, 16};
    case 3: return {1, 16};
    default: return {0, 0};
  }
}

void PlayAttackRow(SlgAnmObj* obj, const SlgAttackRow& row, int dir, SprAnm* set, uint8_t flags,
                   SurfaceId mode) {
  if (obj == nullptr) return;
  const SlgRowColumn c = SlgRowColumnOf(dir);
  obj->attr = c.attr;
  obj->mode = flags;
  obj->depth = static_cast<int16_t>(obj->depth + row.depth);
  Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  SlgPlayAnm(set, row.anim[c.column], obj, mode);
}

void PlayAttackAnms(SlgAnmObj* const* objs, const SlgAttackRow* rows, int n, int dir,
                    const SlgAttackCtx& ctx, SurfaceId mode) {
  if (objs == nullptr || rows == nullptr) return;
  for (int i = 0; i < n; ++i) {
    if (i == 0) {
      PlayAttackRow(objs[0], rows[0], dir, ctx.body_anims, kSlgAnmOnce, mode);
    } else {
      PlayAttackRow(objs[i], rows[i], dir, ctx.effect_anims, 0, mode);
    }
  }
}

void PlayAttackAnm(SlgAnmObj* obj, const SlgAttackRow& row, int dir, const SlgAttackCtx& ctx,
                   SurfaceId mode) {
  PlayAttackRow(obj, row, dir, ctx.effect_anims, 0, mode);
}

int CountRunningAnms(SlgAnmObj* const* objs, int n) {
  if (objs == nullptr || n <= 0) return 0;
  int count = n;
  SlgAnmObj* first = objs[0];
  if (first == nullptr) {
    --count;
  } else {
    PlaceSprite(first);
    if (EngineEnded(first->handle) != 0) first->state = kSlgAnmStateEnded;
    if (first->state == kSlgAnmStateEnded) --count;
  }
  SpxAnimeKind* spx = Spx();
  for (int i = 1; i < n; ++i) {
    SlgAnmObj* obj = objs[i];
    if (obj == nullptr) {
      --count;
      continue;
    }
    PlaceSprite(obj);
    if ((obj->mode & kSlgAnmOnce) != 0) {
      if (spx == nullptr || spx->IsSpxEnd(obj->handle) != 0) {
        obj->state = kSlgAnmStateEnded;
        --count;
      }
    } else if (obj->handle == nullptr) {
      --count;
    } else if (EngineEnded(obj->handle) != 0) {
      obj->state = kSlgAnmStateEnded;
      --count;
    }
  }
  return count;
}

int CountRunningAttackAnms(const SlgAttackCtx& ctx) {
  SlgAnmObj* first = ctx.objects[0];
  if (first == nullptr) return 0;
  if (EngineEnded(first->handle) != 0) first->state = kSlgAnmStateEnded;
  return first->state == kSlgAnmStateEnded ? 0 : ctx.object_count;
}

SprAnm* SlgHoldAnmSet(SprAnm* set) {
  if (set == nullptr || !HasScene()) return nullptr;
  CTamvikSpr& spr = Scene().tamvik_spr;
  for (SprAnm* a = spr.anms(); a != nullptr; a = a->next) {
    if (a == set) return spr.FindAnm(set->name.c_str());
  }
  return nullptr;
}

SlgEffectTask* AutoPtnChg(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                          SprAnm* set, SurfaceId mode) {
  return StartPlainOneShot(true, pattern, pos, depth, attr, set, mode);
}

SlgEffectTask* AutoPtnChg2(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                           SprAnm* set, SurfaceId mode) {
  return StartPlainOneShot(false, pattern, pos, depth, attr, set, mode);
}

SlgEffectTask* AutoPtnChgUnit(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                              const SlgUnit& unit, int slot, SurfaceId mode) {
  return StartUnitOneShot(true, pattern, pos, depth, attr, unit, slot, mode);
}

SlgEffectTask* AutoPtnChg2Unit(uint32_t pattern, const SlgPair& pos, int16_t depth,
                               uint16_t attr, const SlgUnit& unit, int slot, SurfaceId mode) {
  return StartUnitOneShot(false, pattern, pos, depth, attr, unit, slot, mode);
}

int AutoPtnScatter(uint32_t pattern, int count, int slot, int32_t raise, int32_t spread_x,
                   int32_t spread_y, int32_t delay_spread, SprAnm* set, SurfaceId mode) {
  BattleContext& b = Battle();
  if (slot < 0 || slot >= b.state.unit_count || slot >= kSlgMaxUnits) return 0;
  const SlgUnit& unit = b.state.units[static_cast<size_t>(slot)];
  SlgPair base = SlgMapToScreen(unit);
  base.y -= raise * 65536;
  const int16_t depth = unit.anm != nullptr ? unit.anm->depth : 0;
  int q = SlgRand() & 3;
  int made = 0;
  for (int i = 0; i < count; ++i) {
    int32_t dx = spread_x > 0 ? SlgRand() % spread_x : 0;
    int32_t dy = spread_y > 0 ? SlgRand() % spread_y : 0;
    if (q == 0 || q == 2) dy = -dy;
    if (q == 1 || q == 2) dx = -dx;
    q = (q + 1) & 3;
    const int16_t d = static_cast<int16_t>(depth + ((SlgRand() & 1) != 0 ? 1 : -1));
    SlgEffectTask* task =
        AutoPtnChg2(pattern, {base.x + dx * 65536, base.y + dy * 65536}, d, 0, set, mode);
    if (task == nullptr) continue;
    ++made;
    if (delay_spread <= 0) continue;
    const auto ticks = static_cast<uint32_t>(SlgRand() % delay_spread);
    SlgAnmObj* obj = ObjOf(task);
    SpxAnimeKind* spx = Spx();
    if (ticks != 0 && obj->handle != nullptr && spx != nullptr) {
      spx->SetStartDelay(obj->handle, ticks);
      spx->HideSpx(obj->handle);
    }
  }
  return made;
}
