// Player kind 10's attacks (battle_effects/glunet.h).

#include "battle_effects/glunet.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;
constexpr ColorRef kWhite = 0x00FFFFFF;
constexpr int kFlashDepth = 511;

GlunetSpecial& Special() { return GlunetAttackWork().special; }

template <class W>
W& WorkOf(SlgEffectTask* t) {
  return *static_cast<W*>(t->owned[0]);
}

// ---- The normal attack ----

constexpr SlgAttackRow kRows23[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr SlgAttackRow kRows01[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};

constexpr int32_t kHitFramesType0 = 84;
constexpr int32_t kHitBodyFrameType2 = 38;
constexpr int32_t kHitLife = 50;
constexpr uint32_t kHitAnim = 4;

struct HitWork : HeldEffect {};

void Hit(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop || t->frames >= kHitLife) EndHeldEffect(t);
}

// "Glunet::hit" on the first target; none for an empty damage list.
void StartHit(const LayeredAttack& a) {
  GlunetAttackWork().hit_started = true;
  const SlgUnit* target = DamageTarget(0);
  if (target == nullptr || a.ctx == nullptr) return;
  StartTargetEffect(&Hit, sizeof(HitWork), "Glunet::hit", *target, -10, a.ctx->effect_anims,
                    kHitAnim, 0);
}

void NormalStarted(LayeredAttack& /*a*/) {
  DamageMember();
  GlunetAttackWork().normal_start = TimelineNow();
}

// Type 0: the hit 84 frames after the objects started.
void HitAfterFrames(LayeredAttack& a) {
  const GlunetWork& w = GlunetAttackWork();
  if (!w.hit_started && TimelineFrames(w.normal_start) >= kHitFramesType0) StartHit(a);
}

// Type 2: the hit when the body's animation reaches its frame 38 (a shorter one shows none).
void HitAtBodyFrame(LayeredAttack& a) {
  if (GlunetAttackWork().hit_started || a.ctx == nullptr) return;
  const SlgAnmObj* body = a.ctx->objects[0];
  if (SlgAnmObjIsEnd(body) == 0 && AnmFrameOf(body) >= kHitBodyFrameType2) StartHit(a);
}

constexpr PlayerNormalForms kNormalForms{
    PlayerHitNormalForm(kRows23, &NormalStarted, &HitAfterFrames),
    PlayerHitNormalForm(kRows01, &NormalStarted, &HitAtBodyFrame),
    PlayerHitNormalForm(kRows23, &NormalStarted, nullptr)};

// ---- The special's shared pieces ----

SlgAnmObj* Obj(const GlunetSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

void DeleteFlash(GlunetSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.white_entry);
  sprites.DeleteBuffer(&w.picture_entry);
  sprites.DeleteSprite(&w.white);
  sprites.DeleteSprite(&w.picture);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GlunetSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeleteFlash(w);
}

// ---- The flash ----

struct FlashWork {
  uint32_t serial;
};

void Flash(SlgEffectTask* t) {
  GlunetSpecial& w = Special();
  if (WorkOf<FlashWork>(t).serial != w.serial) {
    SlgTaskEnd(t);  // a flash of an attack cut short: what it showed went with that attack
    return;
  }
  if (t->phase == kSlgPhaseStop || w.flash_end != 0) {
    DeleteFlash(w);
    SlgTaskEnd(t);
    return;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  const int32_t f = t->frames;
  sprites.DeleteBuffer(&w.white_entry);
  if ((f & 2) != 0 && w.white != nullptr) {
    w.white_entry =
        SlgSprCreate(CDdrawSpr::kBuffered, w.white, 0, 0, SURFACE_ROOT, 0, kFlashDepth, 0);
  }
  if (f % 8 >= 2) sprites.DeleteBuffer(&w.picture_entry);
  if (f / 8 > w.flash_counter) {
    w.flash_counter = f / 8;
    sprites.DeleteBuffer(&w.picture_entry);
    if (w.picture != nullptr) {
      w.picture_entry =
          SlgSprCreate(CDdrawSpr::kBuffered, w.picture, 0, 0, SURFACE_ROOT, 0, kFlashDepth, 0);
    }
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// The flash's state is cleared as it is made (not on its first frame, which may come after the
// routine has already raised the end flag in the same frame).
void StartFlash(GlunetSpecial& w) {
  w.flash_started = true;
  w.flash_end = 0;
  w.flash_counter = 0;
  Ctx().ddraw_spr.DeleteBuffer(&w.white_entry);
  Ctx().ddraw_spr.DeleteBuffer(&w.picture_entry);
  SlgEffectTask* t = SlgTaskCreateWork(&Flash, sizeof(FlashWork), "Glunet::PikaPika");
  if (t != nullptr) WorkOf<FlashWork>(t).serial = w.serial;
}

// ---- The hit marks and their sparks ----

constexpr uint32_t kMarkAnim = 5;
constexpr int32_t kVolleyFrom = 30;
constexpr int32_t kVolleyEvery = 16;
constexpr int32_t kSquashFrom = 64;
constexpr int32_t kSquashFrames = 20;
constexpr int32_t kSparkOffset = 40;

struct MarkWork : HeldEffect {
  int32_t index;  // the target's index: the mark's slot in the family block
  uint32_t serial;
  SlgPair at;
  int16_t depth;  // the target's body depth
  int32_t volleys;
  uint32_t squash_start;
};

struct SparkWork : HeldEffect {
  int32_t mark;
  uint32_t serial;
};

// A mark or spark of the running attack (a stale one of an attack cut short counts nowhere).
bool Current(uint32_t serial) { return serial == Special().serial; }

void Spark(SlgEffectTask* t) {
  SparkWork& s = WorkOf<SparkWork>(t);
  if (t->phase != kSlgPhaseStop && SlgAnmObjIsEnd(s.obj) == 0) return;
  if (Current(s.serial)) {
    GlunetMark& mark = Special().mark[static_cast<size_t>(s.mark)];
    if (mark.serial == s.serial && mark.sparks > 0) --mark.sparks;
  }
  EndHeldEffect(t);
}

// Two sparks named after the mark with 0 and 1 appended: 0 to the right (animation 7), 1 to the
// left (animation 8).
void Volley(SlgEffectTask* t, const MarkWork& m) {
  GlunetSpecial& w = Special();
  if (w.ctx == nullptr) return;
  for (int k = 0; k < 2; ++k) {
    char name[48];
    std::snprintf(name, sizeof name, "%s%d", t->name, k);
    SlgEffectTask* spark = SlgTaskCreateAnmWork(&Spark, sizeof(SparkWork), name);
    if (spark == nullptr) continue;
    SparkWork& s = WorkOf<SparkWork>(spark);
    s.mark = m.index;
    s.serial = m.serial;
    ++w.mark[static_cast<size_t>(m.index)].sparks;
    const bool left = (k & 1) != 0;
    PlayHeldAt(s, w.ctx->effect_anims, left ? 8 : 7,
               {m.at.x + (left ? -kSparkOffset : kSparkOffset) * kPx, m.at.y}, m.depth - 2,
               kSlgAnmOnce);
  }
}

void EndMark(SlgEffectTask* t) {
  const MarkWork& m = WorkOf<MarkWork>(t);
  GlunetSpecial& w = Special();
  if (Current(m.serial) && w.marks > 0) --w.marks;
  EndHeldEffect(t);
}

void Mark(SlgEffectTask* t) {
  MarkWork& m = WorkOf<MarkWork>(t);
  if (t->phase == kSlgPhaseStop || !Current(m.serial)) {
    EndMark(t);
    return;
  }
  const int32_t f = t->frames;
  if (t->phase == 0) {
    if (f >= kVolleyFrom && f < kSquashFrom && f / kVolleyEvery > m.volleys) {
      m.volleys = f / kVolleyEvery;
      Volley(t, m);
    }
    if (f < kSquashFrom || Special().mark[static_cast<size_t>(m.index)].sparks > 0) return;
    t->phase = 1;
    m.squash_start = t->now;
  }
  const int32_t g = TimelineFrames(m.squash_start);
  if (g >= kSquashFrames) {
    EndMark(t);
    return;
  }
  SlgSprSetZoom(m.obj->handle, GlunetSquashZoom(g));
}

void StartMark(GlunetSpecial& w, int i, const SlgUnit& target) {
  char name[48];
  std::snprintf(name, sizeof name, "Glunet::HitMart2%d", i);
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Mark, sizeof(MarkWork), name);
  if (t == nullptr) return;
  MarkWork& m = WorkOf<MarkWork>(t);
  m.index = i;
  m.serial = w.serial;
  m.at = Slg::PosToScreen({target.x, target.y});
  m.depth = BodyDepthOf(target);
  w.mark[static_cast<size_t>(i)] = GlunetMark{0, w.serial};
  ++w.marks;
  PlayHeldAt(m, w.ctx->effect_anims, kMarkAnim, m.at, m.depth + 2, kSlgAnmOnce);
  if (HasScene() && m.obj->handle != nullptr) Scene().tamvik_spr.spx()->SetBlink(m.obj->handle, 2);
}

constexpr uint32_t kStepMarks = 4;

struct HitGenWork {
  uint32_t serial;
};

// "Glunet::Hit2Gen": one mark per target on its first frame; the unit's step on once every mark
// has ended (on that first frame already when there is none).
void HitGen(SlgEffectTask* t) {
  GlunetSpecial& w = Special();
  const bool current = Current(WorkOf<HitGenWork>(t).serial);
  if (t->phase == kSlgPhaseStop || !current) {
    if (current) w.hit_gen = nullptr;
    SlgTaskEnd(t);
    return;
  }
  if (t->phase == 0) {
    w.marks = 0;
    const int n = std::clamp<int>(Battle().target_count, 0, kSlgMaxUnits);
    for (int i = 0; i < n && w.ctx != nullptr; ++i) {
      if (const SlgUnit* target = DamageTarget(i)) StartMark(w, i, *target);
    }
    t->phase = 1;
  }
  if (w.marks > 0) return;
  w.hit_gen = nullptr;
  if (w.unit != nullptr && w.unit->step == kStepMarks) w.unit->step = kStepMarks + 1;
  SlgTaskEnd(t);
}

// ---- The special's steps ----

constexpr uint8_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr SlgAttackRow kOpening[] = {
    {{2, 2}, 0, 0}, {{2, 2}, 0, 0}, {{3, 3}, 0, 0}, {{4, 4}, 0, 0}};
constexpr SlgAttackRow kClosing[] = {{{1, 1}, 0, 0}};
constexpr int kOpeningObjects = 4;

int Setup(GlunetSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 3);
  if (LoadAttackBgSimple(unit, 0, SURFACE_ROOT) == 0) {
    DebugPrint("Glunet::SpecialAttack: kind %d has no background 0\n", unit.kind);
  }
  w.picture = CutSpecialPicture(unit, 1, 0, 0);
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.DrawBox(SURFACE_SCRATCH, kWhite, 0, 0, kScreenWidth, kScreenHeight, 0);
  w.white = CutWorkBox(kScreenWidth, kScreenHeight);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(GlunetSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  SlgFadeIn(0);
  DamageMember();
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, kOpeningObjects) == 0) {
    GiveBackSpecial(w);
    SlgClearLayer(SURFACE_ROOT);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.object_count = kOpeningObjects;
  for (int i = 0; i < kOpeningObjects; ++i) {
    SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    obj->x = 0;
    obj->y = 0;
    // Direction 0 whatever the unit faces: the opening is never mirrored.
    PlayAttackRow(obj, kOpening[static_cast<size_t>(i)], 0, i == 0 ? ctx.body_anims : ctx.effect_anims, kSlgAnmOnce,
                  SURFACE_ROOT);
    if (i > 0) SlgAnmPlayOnce(&obj->handle);
  }
  HideTargets(Battle().target_count);
  Battle().flags = static_cast<uint16_t>(Battle().flags & ~kFlagsUnitsShown);
  w.flash_started = false;
  return kTimelineNextRow;
}

SlgAnmObj* Body(GlunetSpecial& w) { return Obj(w, 0); }

void FlashAtFrame30(GlunetSpecial& w) {
  if (!w.flash_started &&
      TimelineWaitOver(TimelineWaitKind::kAnmFrame, 30, Obj(w, 1), nullptr, nullptr)) {
    StartFlash(w);
  }
}

int EndFlash(GlunetSpecial& w) {
  w.flash_end = 1;
  return kTimelineNextRow;
}

int BackToMap(GlunetSpecial& w) {
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerRestore();
  LeaveSpecialScene();
  ShowTargets(Battle().target_count);
  PlayClosingObjects(*w.ctx, *w.unit, w.pos, kClosing, 1);
  SlgEffectTask* t = SlgTaskCreateWork(&HitGen, sizeof(HitGenWork), "Glunet::Hit2Gen");
  if (t == nullptr) return kStepMarks + 1;
  WorkOf<HitGenWork>(t).serial = w.serial;
  w.hit_gen = t;
  return kTimelineNextRow;
}

SlgEffectTask* HitGenTask(GlunetSpecial& w) { return w.hit_gen; }

int Finish(GlunetSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GlunetSpecial>;
constexpr TimelineRow<GlunetSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::AnmEnd(&Body), &EndFlash, kTimelineNextRow, 0, &FlashAtFrame30},
    {Wait::AtOnce(), &BackToMap},
    // The generator moves the step on itself; one that has gone without doing so (stopped from
    // outside) does not hold the attack.
    {Wait::TaskGone(&HitGenTask)},
    {Wait::AtOnce(), &Finish, kTimelineStop},
};
static_assert(std::size(kSpecialSteps) == kStepMarks + 2);

}  // namespace

GlunetWork& GlunetAttackWork() { return Battle().Extension<GlunetWork>(); }

GlunetWork::~GlunetWork() {
  if (HasCtx()) DeleteFlash(special);
  FreeCtxAtBattleEnd(special.ctx);
  FreeCtxAtBattleEnd(normal.ctx);
}

SlgPair GlunetSquashZoom(int32_t frames) {
  const int32_t f = std::clamp(frames, 0, kSquashFrames);
  return {kPx - f * 3276, kPx + f * 6553};
}

namespace Glunet {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  GlunetWork& w = GlunetAttackWork();
  if (unit.step == 0) w.hit_started = false;
  RunPlayerNormal(w.normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerSpecial(Special(), kSpecialSteps, &GiveBackSpecial, unit, pos);
}

}  // namespace Glunet
