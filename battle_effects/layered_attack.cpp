#include "battle_effects/layered_attack.h"

#include <algorithm>

#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_unit.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"

namespace {

constexpr uint8_t kStateAfterAttack = 7;
// The step past the four of the attack.
constexpr uint8_t kEnded = 4;

int Start(LayeredAttack& a) {
  SlgAttackCtx& ctx = *a.ctx;
  const LayeredForm& f = *a.form;
  SlgUnit& unit = *a.unit;
  const int n = LayeredObjectCount(f, unit.dir);
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, n) == 0) {
    if (f.finish != nullptr) f.finish(a);
    a.step = kEnded;
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.object_count = static_cast<int16_t>(n);
  SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
  for (int i = 0; i < n; ++i) {
    SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    const uint32_t bit = LayeredBit(i);
    obj->x = a.pos.x;
    obj->y = a.pos.y;
    if (i == f.marked) obj->state |= kLayeredMarked;
    const uint8_t flags = (f.flag_one & bit) != 0 ? kSlgAnmOnce : 0;
    PlayAttackRow(obj, f.rows[static_cast<size_t>(i)], unit.dir,
                  i == 0 ? ctx.body_anims : ctx.effect_anims, flags, f.surface);
    if ((f.once & bit) != 0) {
      SlgAnmPlayOnce(&obj->handle);
    } else if ((f.loop_off & bit) != 0 && spx != nullptr) {
      spx->SetLoop(obj->handle, 0);
    }
  }
  if (f.started != nullptr) f.started(a);
  return kTimelineNextRow;
}

int Counted(LayeredAttack& a) {
  const LayeredForm& f = *a.form;
  if (f.each != nullptr) f.each(a);
  SlgAttackCtx& ctx = *a.ctx;
  SlgAnmObj* const* objs = ctx.objects.data();
  switch (f.count) {
    case LayeredCount::kBody: a.running = CountRunningAttackAnms(ctx); break;
    case LayeredCount::kEvery: a.running = CountRunningAnms(objs, ctx.object_count); break;
    case LayeredCount::kHero: a.running = KadrunCountRunning(objs, ctx.object_count); break;
  }
  return a.running < 1 ? 1 : 0;
}

int FollowedUp(LayeredAttack& a) {
  return a.form->follow_up == nullptr ? 1 : a.form->follow_up(a);
}

int Waited(LayeredAttack& a) {
  if (TimelineFrames(a.clock.start) < a.form->final_wait) return 0;
  return a.form->ready == nullptr ? 1 : a.form->ready(a);
}

int Finish(LayeredAttack& a) {
  SlgAttackCtx& ctx = *a.ctx;
  FreeAnimeObjs(ctx.objects.data(), ctx.object_count);
  ctx.objects.fill(nullptr);
  ctx.object_count = 0;
  if (a.form->finish != nullptr) a.form->finish(a);
  a.step = kEnded;
  SetUnitState(*a.unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<LayeredAttack>;
constexpr TimelineRow<LayeredAttack> kSteps[] = {
    {Wait::AtOnce(), &Start},
    {Wait::SubDone(&Counted), nullptr, kTimelineNextRow, kTimelineChain},
    {Wait::SubDone(&FollowedUp), nullptr, kTimelineNextRow, kTimelineChain},
    {Wait::SubDone(&Waited), &Finish, kTimelineStop},
};
static_assert(std::size(kSteps) == kEnded);

}  // namespace

int LayeredObjectCount(const LayeredForm& form, int dir) {
  const int rows = static_cast<int>(std::min<size_t>(form.rows.size(), kSlgAttackObjects));
  const int by_dir = form.count_by_dir[static_cast<size_t>(dir >= 0 && dir <= 3 ? dir : 0)];
  return by_dir == 0 ? rows : std::min(by_dir, rows);
}

SlgAttackCtx* OpenLayeredAttack(LayeredAttack& attack, SlgUnit& unit, void* user) {
  SlgAttackCtx* ctx = CreateAttackCtx(unit);
  if (ctx == nullptr) return nullptr;
  attack.ctx = ctx;
  attack.user = user;
  unit.step = 1;
  return ctx;
}

int RunLayeredAttack(LayeredAttack& attack, const LayeredForm& form, SlgUnit& unit,
                     SlgPair& pos) {
  if (attack.step >= kEnded) return 1;
  attack.form = &form;
  attack.unit = &unit;
  attack.pos = pos;
  if (attack.ctx == nullptr) {
    // Nothing to play from: the attack cannot run.
    attack.step = kEnded;
    EndAttack(unit);
    return 1;
  }
  return RunTimeline(kSteps, attack.step, attack.clock, attack) == kTimelineStop ? 1 : 0;
}

int KadrunCountRunning(SlgAnmObj* const* objs, int n) {
  if (objs == nullptr || n <= 0) return 0;
  int running = n;
  for (int i = 0; i < n; ++i) {
    SlgAnmObj* obj = objs[i];
    if (obj == nullptr) {
      --running;
    } else if (i == 0) {
      if (SlgAnmObjIsEnd(obj) != 0) {
        obj->state |= kSlgAnmStateEnded;
        --running;
      }
    } else if ((obj->state & 0x1) != 0) {
      // Held: counted as running.
    } else if ((obj->state & kSlgAnmStateEnded) != 0) {
      --running;
    } else if (SlgAnmObjIsEnd(obj) != 0) {
      obj->state |= kSlgAnmStateEnded;
    }
  }
  return running;
}
