// The hero's attacks (kind 0) and his cover move (battle_effects/hero.h).

#include "battle_effects/hero.h"

#include <algorithm>
#include <climits>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/kinematic.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "platform/surface.h"
#include "scene/scene_context.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kTypeSpecial = 1;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint16_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr uint16_t kFlagSpecialScene = 0x20;
constexpr SurfaceId kFlashSurface = SURFACE_SCRATCH;

constexpr const char* kHontaiName = "Kadrun:HissatsuHontai";

// ---- Normal and critical: the layered attack ----

// Gives back the attack's two sets (the layered attack's end, and its refused start).
void ReleaseSets(KadrunAttackWork& w) {
  ReleaseUnitAnm(&w.ctx.body_anims);
  ReleaseUnitAnm(&w.ctx.effect_anims);
}
void ReleaseLayeredSets(LayeredAttack& a) { ReleaseSets(*static_cast<KadrunAttackWork*>(a.user)); }

// Rows {animation for directions 1 and 2, for directions 0 and 3}: body, then the effects.
constexpr SlgAttackRow kNormalRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}, {{6, 7}, 0, 0}};
constexpr SlgAttackRow kCriticalRows[] = {
    {{2, 3}, 0, 0}, {{2, 3}, 0, 0}, {{4, 5}, 0, 0}, {{8, 9}, 0, 0}, {{0, 1}, 0, 0}};
// Every object plays through without looping; the marked one is the second (normal) or the
// third (critical).
constexpr LayeredForm kNormalForm{.rows = kNormalRows,
                                  .flag_one = kLayeredAll,
                                  .once = LayeredBit(2),
                                  .marked = 1,
                                  .count = LayeredCount::kHero,
                                  .final_wait = 20,
                                  .finish = &ReleaseLayeredSets};
constexpr LayeredForm kCriticalForm{.rows = kCriticalRows,
                                    .flag_one = kLayeredAll,
                                    .once = LayeredBit(3) | LayeredBit(4),
                                    .marked = 2,
                                    .count = LayeredCount::kHero,
                                    .final_wait = 20,
                                    .finish = &ReleaseLayeredSets};

// ---- Shared pieces ----

SlgUnit* UnitInSlot(int slot) {
  BattleContext& b = Battle();
  if (slot < 0 || slot >= kSlgMaxUnits || slot >= b.state.unit_count) return nullptr;
  SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
  return u.step == kSlgDeadStep ? nullptr : &u;
}

// The first target of the set-up's list (the units of the 64 slots that carried the target
// mark then), or null for an empty list.
SlgUnit* FirstTarget(const KadrunAttackWork& w) {
  if (w.target_count <= 0 || w.targets[0] < 0) return nullptr;
  return &Battle().state.units[static_cast<size_t>(w.targets[0])];
}

// The special's first target; the hero himself when the list is empty, so that the camera stays
// and the dash runs up to him.
const SlgUnit& Anchor(const KadrunAttackWork& w) {
  const SlgUnit* first = FirstTarget(w);
  return first != nullptr ? *first : *w.unit;
}

SlgAnmObj* TaskObj(SlgEffectTask* t) { return static_cast<SlgAnmObj*>(t->owned[0]); }
KadrunTaskWork& TaskWork(SlgEffectTask* t) { return *static_cast<KadrunTaskWork*>(t->owned[1]); }

// The battle scroll in whole pixels, as 16.16.
SlgPair ScrollFx() {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x * kPx, s.scroll_y * kPx};
}
void SetScroll(const SlgPair& camera) {
  SlgBattleState& s = Battle().state;
  s.scroll_x = static_cast<int16_t>(camera.x >> 16);
  s.scroll_y = static_cast<int16_t>(camera.y >> 16);
}

void PlaceSprite(const SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr) SlgSprSetPos(obj->handle, {obj->x, obj->y});
}

// The unit's body at the drawing position.
void PlaceBody(SlgUnit& unit, const SlgPair& pos) {
  if (unit.anm == nullptr) return;
  unit.anm->x = pos.x;
  unit.anm->y = pos.y;
  PlaceSprite(unit.anm);
}

// ---- The special's effects ----

// The effects' shared reference of the attacker's SPECIAL_EFFECT set.
SprAnm* TakeEffectSet(KadrunAttackWork& w) {
  if (w.effect_users++ == 0) {
    const SlgUnit* attacker = Battle().attacker;
    w.effect_set =
        GetUnitAnm(attacker != nullptr ? attacker->kind : w.unit->kind, kAnmSpecialEffect);
  }
  return w.effect_set;
}
void GiveEffectSet(KadrunAttackWork& w) {
  if (w.effect_users <= 0) return;
  if (--w.effect_users == 0) ReleaseUnitAnm(&w.effect_set);
}

// The end of an effect that plays from the shared set: its animation released, its object
// freed, the task ended, then its share of the set given back.
void EndSetEffect(SlgEffectTask* t) {
  SlgTaskEndAnm(t);
  GiveEffectSet(KadrunWork());
}

// A once effect ("until the animation ends").
void OnceEffect(SlgEffectTask* t) {
  if (SlgAnmObjIsEnd(TaskObj(t)) != 0 || t->phase == kSlgPhaseStop) EndSetEffect(t);
}

// "Kadrun:HissatsuEffect": loops until the dash says its end.
void LoopEffect(SlgEffectTask* t) {
  if (KadrunWork().effect_end != 0 || t->phase == kSlgPhaseStop) EndSetEffect(t);
}

// "Kadrun::HissatsuInazuma": the flash on the root layer for 8 frames.
void Lightning(SlgEffectTask* t) {
  if (t->frames < 8 && t->phase != kSlgPhaseStop) return;
  Ctx().ddraw_spr.DeleteBuffer(&KadrunWork().flash_entry);
  SlgTaskEnd(t);
}

// Makes the task's object at the dash object's place and plays animation `n` of the shared set
// on it (once, or looping); null when the task or its object could not be made.
SlgEffectTask* StartEffect(SlgEffectTask* t, uint32_t n, bool once, int16_t depth_offset) {
  if (t == nullptr) return nullptr;
  if (KadrunEffectAlloc(t) == 0) {
    SlgTaskEnd(t);
    return nullptr;
  }
  KadrunAttackWork& w = KadrunWork();
  SlgAnmObj* obj = TaskObj(t);
  obj->x = w.dash_pos.x;
  obj->y = w.dash_pos.y;
  obj->depth = static_cast<int16_t>(obj->depth + depth_offset);
  obj->mode = once ? kSlgAnmOnce : 0;
  SlgPlayAnm(TakeEffectSet(w), n, obj, SURFACE_ROOT);
  if (once) SlgAnmPlayOnce(&obj->handle);
  return t;
}

GameTaskRec* HontaiTask() { return Ctx().game_task.FindTask(kHontaiName); }

SlgEffectTask* StartEffectTask(SlgBody body, const char* name, uint32_t n, bool once) {
  return StartEffect(SlgTaskCreate(HontaiTask(), body, name), n, once, 0);
}

// The lightning and hit-mark counts are raised here, by the dash as it starts them, so that each
// starts once whenever the started task first runs.
void StartLightning(KadrunAttackWork& w) {
  ++w.lightning_count;
  if (SlgTaskCreate(HontaiTask(), &Lightning, "Kadrun::HissatsuInazuma") == nullptr) return;
  if (w.flash_spr == nullptr) return;  // no picture: the lightning shows nothing
  Ctx().ddraw_spr.DeleteBuffer(&w.flash_entry);
  w.flash_entry =
      SlgSprCreate("Kadrun::HissatsuInazuma", w.flash_spr, 0, 0, SURFACE_ROOT, 0, 511, 0);
}

void StartHitmark(KadrunAttackWork& w, const char* name, uint8_t index) {
  ++w.hitmark_count;
  SlgEffectTask* t = StartEffectTask(&OnceEffect, name, index, true);
  if (t == nullptr) return;
  t->index = index;
  // The hit signal goes to the first target only (nobody without targets).
  if (SlgUnit* first = FirstTarget(w)) first->flags |= kUnitHitNow;
}

// ---- "Kadrun:HissatsuHontai": the dash ----

constexpr SpawnRule kDashImages{.interval = 4};
constexpr int32_t kDashSpeedX = 12 * kPx;
constexpr int32_t kDashSpeedY = 9 * kPx;

// Phase 6: the body's frames bring the lightnings (12, 29) and the hit marks (15, 31), one start
// a call, then the end. A start still owed when the body has ended (frames skipped past its last
// ones) comes first. True once the body has ended and nothing is owed.
bool BodyCues(KadrunAttackWork& w, const SlgAnmObj* obj) {
  const bool ended = SlgAnmObjIsEnd(obj) != 0;
  const int32_t f = ended ? INT32_MAX : AnmFrameOf(obj);
  if ((w.lightning_count == 0 && f >= 12) || (w.lightning_count == 1 && f >= 29)) {
    StartLightning(w);
  } else if (w.hitmark_count == 0 && f >= 15) {
    StartHitmark(w, "Kadrun:HissatsuHitmark", 3);
  } else if (w.hitmark_count == 1 && f >= 31) {
    StartHitmark(w, "Kadrun:HissatsuHitmark2", 4);
  } else {
    return ended;
  }
  return false;
}

void Hontai(SlgEffectTask* t) {
  KadrunAttackWork& w = KadrunWork();
  if (t->phase == 0) {
    if (KadrunEffectAlloc(t) == 0) {
      // No dash without its object: the special gives everything back at once.
      w.special_done = 1;
      SlgTaskEnd(t);
      return;
    }
    w.hitmark_count = 0;
    w.lightning_count = 0;
    TaskObj(t)->depth = 2;
    t->phase = 1;
  }
  SlgAnmObj* obj = TaskObj(t);
  if (t->phase > 1) {
    Scene().tamvik_spr.ReleaseAnm(&obj->handle);
    SlgTaskEnd(t);
    return;
  }
  KadrunTaskWork& d = TaskWork(t);
  const SlgUnit& anchor = Anchor(w);
  switch (d.phase) {
    case 0:
      d.phase = 2;
      break;
    case 2: {
      // The camera toward the first target: it is put 400 px right of and 360 px below the
      // view's corner.
      d.camera = ScrollFx();
      d.start = d.camera;
      d.camera_step = w.target_count > 0
                          ? SlgPair{anchor.x - d.camera.x - 400 * kPx,
                                    anchor.y - anchor.lift - d.camera.y - 360 * kPx}
                          : SlgPair{};
      w.start_ms = TimelineNow();
      d.phase = 3;
      break;
    }
    case 3: {
      if (TimelineFrames(w.start_ms) >= 1) {
        d.camera = {d.start.x + d.camera_step.x, d.start.y + d.camera_step.y};
        SlgFadeIn(32);
        d.phase = 1;
      } else {
        d.camera = d.start;
      }
      SetScroll(d.camera);
      break;
    }
    case 1:
      if (SlgIsFadeEnd() != 0) d.phase = 4;
      break;
    case 4: {
      const SlgPair scroll = ScrollFx();
      obj->x = ((anchor.x >> 16) - (scroll.x >> 16) - 746) * kPx;
      obj->y = (((anchor.y - anchor.lift) >> 16) - (scroll.y >> 16) - 560) * kPx;
      obj->mode = kSlgAnmOnce;
      d.start = {obj->x, obj->y};
      w.start_ms = TimelineNow();
      SlgPlayAnm(w.ctx.body_anims, 0, obj, SURFACE_ROOT);
      Ctx().anime.SetStop(obj->handle, 1);
      d.after_images = {};
      d.phase = 5;
      [[fallthrough]];
    }
    case 5: {
      const int32_t frames = TimelineFrames(w.start_ms);
      const SlgPair scroll = ScrollFx();
      const Kinematic dash{.start = d.start,
                           .velocity = {kDashSpeedX, kDashSpeedY},
                           .end = KinematicEnd::kPointPassed,
                           .axes = kKinematicX,
                           .point = {((anchor.x >> 16) - (scroll.x >> 16) - 448) * kPx, 0}};
      const KinematicPos p = KinematicAt(dash, frames);
      obj->x = p.pos.x;
      obj->y = p.pos.y;
      w.dash_pos = p.pos;
      StartEffect(SpawnTask(d.after_images, kDashImages, frames, HontaiTask(), &OnceEffect,
                            "Kadrun:HissatsuZanzou"),
                  2, true, 8);
      if (p.ended) {
        Ctx().anime.SetStop(obj->handle, 0);
        // The looping effect runs until effectEnd, which its start clears.
        if (StartEffectTask(&LoopEffect, "Kadrun:HissatsuEffect", 0, false) != nullptr) {
          w.effect_end = 0;
        }
        StartEffectTask(&OnceEffect, "Kadrun:HissatsuHibana", 1, true);
        d.phase = 6;
      }
      break;
    }
    case 6:
      if (!BodyCues(w, obj)) break;
      d.phase = 7;
      [[fallthrough]];
    case 7:
      SlgFadeOut(1);
      d.phase = 8;
      [[fallthrough]];
    case 8:
      if (SlgIsFadeEnd() == 0) break;
      w.effect_end = 1;
      w.start_ms = TimelineNow();
      d.start = d.camera;
      d.phase = 9;
      break;
    case 9: {
      if (TimelineFrames(w.start_ms) >= 1) {
        d.camera = {d.start.x - d.camera_step.x, d.start.y - d.camera_step.y};
        d.phase = 10;
      } else {
        d.camera = d.start;
      }
      SetScroll(d.camera);
      break;
    }
    case 10:
      // The screen is black: the body goes now, before the special gives its set back.
      Scene().tamvik_spr.ReleaseAnm(&obj->handle);
      w.special_done = 1;
      t->phase = 2;
      break;
    default:
      break;
  }
  PlaceSprite(obj);
}

// ---- The cover move ----

constexpr SpawnRule kCoverImages{.interval = 4};
constexpr int32_t kCoverImageCount = 8;
constexpr int32_t kCoverSteps = 32;
// The hero's pattern and mirror facing the attacker, by the attacker's direction.
constexpr uint8_t kCoverPattern[4] = {12, 13, 13, 12};
constexpr uint16_t kCoverAttr[4] = {16, 16, 0, 0};

// "Kadrun::kabau::zanzou:%d": an after-image for 10 frames.
void CoverImage(SlgEffectTask* t) {
  PlaceSprite(TaskObj(t));
  if (t->frames >= 10 || t->phase == kSlgPhaseStop) SlgTaskEndAnm(t);
}

void StartCoverImage(KadrunAttackWork& w, SlgEffectTask* t) {
  if (t == nullptr) return;
  if (KadrunEffectAlloc(t) == 0) {
    SlgTaskEnd(t);
    return;
  }
  SlgAnmObj* obj = TaskObj(t);
  obj->mode = kSlgAnmOnce;
  obj->x = w.cover_pos.x + w.offsets.x;
  obj->y = w.cover_pos.y + w.offsets.y - w.offsets.lift;
  obj->depth = w.cover_depth;
  SlgPlayAnm(w.ability_anm, 0, obj, SURFACE_ROOT);
}

KadrunPlace PlaceOf(const SlgUnit& u) { return {u.x, u.y, u.lift}; }

// What one attack holds of its own.
void GiveBackAttack(KadrunAttackWork& w) {
  SlgAttackCtx& ctx = w.ctx;
  if (!HasScene()) {
    // The animations went with the scene.
    for (SlgAnmObj* obj : ctx.objects) {
      if (obj != nullptr) obj->handle = nullptr;
    }
  }
  FreeAnimeObjs(ctx.objects.data(), ctx.object_count);
  ctx.objects.fill(nullptr);
  ctx.object_count = 0;
  if (HasScene()) ReleaseSets(w);
  ctx.body_anims = ctx.effect_anims = nullptr;
  if (HasCtx()) {
    // Deleting the picture takes its entry with it.
    Ctx().ddraw_spr.DeleteSprite(&w.flash_spr);
    Ctx().anime.DeleteRef(&w.bg_scroll);
  }
  w.flash_spr = nullptr;
  w.flash_entry = nullptr;
  w.bg_scroll = nullptr;
}

}  // namespace

// ---- The block ----

KadrunAttackWork& KadrunWork() { return Battle().Extension<KadrunAttackWork>(); }

KadrunAttackWork::~KadrunAttackWork() {
  if (HasBattle()) KadrunGiveBack(*this);
}

void KadrunGiveBack(KadrunAttackWork& w) {
  GiveBackAttack(w);
  if (HasScene()) {
    ReleaseUnitAnm(&w.ability_anm);
    if (w.effect_users > 0) ReleaseUnitAnm(&w.effect_set);
  }
  w.ability_anm = nullptr;
  w.effect_set = nullptr;
  w.effect_users = 0;
}

int KadrunEffectAlloc(SlgEffectTask* task) {
  if (task == nullptr) return 0;
  auto* obj = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
  auto* work = static_cast<KadrunTaskWork*>(SlgAlloc(sizeof(KadrunTaskWork)));
  if (obj == nullptr || work == nullptr) {
    SlgFree(obj);
    SlgFree(work);
    return 0;
  }
  const SlgAnmObj* hero = KadrunWork().unit_obj;
  obj->depth = hero != nullptr ? hero->depth : 0;
  task->owned[0] = obj;
  task->owned[1] = work;
  return 1;
}

// ---- The attacks ----

int KadrunAttackSetup(SlgUnit& unit, SlgPair& /*pos*/) {
  KadrunAttackWork& w = KadrunWork();
  GiveBackAttack(w);
  BattleContext& b = Battle();
  w.target_count = 0;
  w.targets.fill(-1);
  for (int slot = 0; slot < kSlgMaxUnits; ++slot) {
    if ((b.state.units[static_cast<size_t>(slot)].flags & kUnitInDamageList) != 0) {
      w.targets[static_cast<size_t>(w.target_count++)] = static_cast<int8_t>(slot);
    }
  }
  DamageMember();
  const bool special = unit.stats.attack_type == kTypeSpecial;
  w.ctx = SlgAttackCtx{};
  w.ctx.unit = &unit;
  w.ctx.body_anims = GetUnitAnm(unit.kind, special ? kAnmSpecialBody : kAnmAttackBody);
  w.ctx.effect_anims = GetUnitAnm(unit.kind, special ? kAnmSpecialEffect : kAnmAttackEffect);
  if (w.ctx.body_anims == nullptr || w.ctx.effect_anims == nullptr) {
    ReleaseSets(w);
    return 0;
  }
  if (special) {
    SlgLayerOn(SURFACE_ROOT, 3);
    if (LoadAttackBgTiled(unit, 1, SURFACE_ROOT, 1024, 512, 2, 2) != 0) {
      CDdrawAnime& anime = Ctx().anime;
      w.bg_scroll = anime.CreateLayerScroll(SURFACE_ROOT, -48, -24, 16, 0x7FFFFFFF);
      anime.SetScrollWrap(w.bg_scroll, 1024, 512);
    }
    Rect rect;
    if (LoadAttackBg(unit, 0, kFlashSurface, &rect) != 0) {
      // A picture larger than the work surface was loaded cut at its edges: the flash is that.
      if (const platform::Surface* s = Ctx().ddraw.GetSurface(kFlashSurface)) {
        rect.right = std::min(rect.right, rect.left + s->width());
        rect.bottom = std::min(rect.bottom, rect.top + s->height());
      }
      w.flash_spr = Ctx().ddraw_spr.CreateSprite(0, 0, kFlashSurface, rect.left, rect.top,
                                                 rect.right, rect.bottom);
    }
    SelectUnitVoice(unit);
    PlayUnitVoice();
  }
  w.unit = &unit;
  w.unit_obj = unit.anm;
  w.phase = 0;
  w.layered = LayeredAttack{};
  w.layered.ctx = &w.ctx;
  w.layered.user = &w;
  return 1;
}

void KadrunNormal(SlgUnit& unit, SlgPair& pos) {
  RunLayeredAttack(KadrunWork().layered, kNormalForm, unit, pos);
}

void KadrunCritical(SlgUnit& unit, SlgPair& pos) {
  RunLayeredAttack(KadrunWork().layered, kCriticalForm, unit, pos);
}

void KadrunSpecial(SlgUnit& unit, SlgPair& /*pos*/) {
  KadrunAttackWork& w = KadrunWork();
  BattleContext& b = Battle();
  switch (w.phase) {
    case 0:
      w.special_done = 0;
      w.effect_end = 0;
      HideTargetObjects();
      b.flags = static_cast<uint16_t>(b.flags & ~kFlagsUnitsShown);
      // A dash that cannot start ends the special at once (phase 1 gives everything back).
      if (SlgTaskCreate(SlgTaskOwner(), &Hontai, kHontaiName) == nullptr) w.special_done = 1;
      w.phase = 1;
      break;
    case 1:
      if (w.special_done != 1) break;
      w.phase = 2;
      Ctx().ddraw_spr.DeleteBuffer(&w.flash_entry);
      Ctx().ddraw_spr.DeleteSprite(&w.flash_spr);
      Ctx().anime.DeleteRef(&w.bg_scroll);
      ReleaseSets(w);
      SlgClearLayer(SURFACE_ROOT);
      SlgLayerRestore();
      break;
    case 2:
      SlgFadeIn(0);
      ShowFlaggedUnits();
      ShowTargets(b.target_count);
      b.flags |= kFlagsUnitsShown;
      w.phase = 3;
      SetUnitState(unit, kStateAfterAttack);
      break;
    default:
      break;
  }
}

// ---- The cover move ----

void KadrunCover(SlgUnit& unit, SlgPair& pos) {
  if (unit.step == 0) {
    KadrunCoverStart(unit, pos);
    unit.step = 1;
  }
  KadrunCoverMove(unit, pos);
}

void KadrunCoverStart(SlgUnit& unit, SlgPair& pos) {
  KadrunAttackWork& w = KadrunWork();
  w.unit = &unit;
  w.unit_obj = unit.anm;
  w.cover_pos = pos;
  w.phase = 0;
  w.after_images = {};
  ReleaseUnitAnm(&w.ability_anm);  // a cover move cut short
  w.ability_anm = GetUnitAnm(unit.kind, kAnmAbilityEffect);
}

void KadrunCoverMove(SlgUnit& unit, SlgPair& pos) {
  KadrunAttackWork& w = KadrunWork();
  switch (w.phase) {
    case 0: {
      const SlgUnit* ally = UnitInSlot(unit.covered_slot());
      const SlgUnit* attacker = UnitInSlot(unit.stats.attack_type);
      const KadrunPlace from = PlaceOf(unit);
      w.cover_to = ally != nullptr ? PlaceOf(*ally) : from;
      w.cover_step = {(w.cover_to.x - from.x) / kCoverSteps,
                      (w.cover_to.y - from.y) / kCoverSteps,
                      (w.cover_to.lift - from.lift) / kCoverSteps};
      const auto depth = [&unit](const SlgUnit* u) {
        const SlgAnmObj* obj = u != nullptr && u->anm != nullptr ? u->anm : unit.anm;
        return obj != nullptr ? int{obj->depth} : 0;
      };
      w.cover_depth = static_cast<int16_t>((depth(ally) + depth(attacker)) / 2);
      w.start_ms = TimelineNow();
      w.phase = 1;
      [[fallthrough]];
    }
    case 1: {
      PlaceBody(unit, pos);
      const int32_t frames = TimelineFrames(w.start_ms);
      w.offsets = {w.cover_step.x * frames, w.cover_step.y * frames, w.cover_step.lift * frames};
      StartCoverImage(w, SpawnTask(w.after_images, kCoverImages, frames, SlgTaskOwner(),
                                   &CoverImage, "Kadrun::kabau::zanzou:"));
      if (w.after_images.count >= kCoverImageCount) w.phase = 2;
      return;
    }
    case 2: {
      const SlgUnit* attacker = UnitInSlot(unit.stats.attack_type);
      const int dir = attacker != nullptr ? attacker->dir & 3 : 0;
      if (SlgAnmObj* obj = unit.anm) {
        w.saved_attr = obj->attr;
        SetAnmPattern(obj, kCoverPattern[dir]);
        obj->attr = kCoverAttr[dir];
        obj->mode = kSlgAnmStartStopped;
        obj->depth = w.cover_depth;
      }
      w.saved_pos = PlaceOf(unit);
      unit.x = w.cover_to.x;
      unit.y = w.cover_to.y;
      unit.lift = w.cover_to.lift;
      unit.cover_hold() = 1;
      w.after_images = {};
      w.phase = 3;
      ChangeUnitAnm(unit, 4);
      break;
    }
    default:
      break;
  }
  if ((Battle().flags & kFlagSpecialScene) == 0) PlaceBody(unit, pos);
  if ((unit.flags & kUnitHitNow) != 0) {
    // Hit where he stands: his pose plays again from its first frame.
    unit.flags &= ~kUnitHitNow;
    ChangeUnitAnm(unit, kSlgAnmOnce);
  }
  if (unit.cover_hold() != 0) return;
  unit.x = w.saved_pos.x;
  unit.y = w.saved_pos.y;
  unit.lift = w.saved_pos.lift;
  if (unit.anm != nullptr) unit.anm->attr = w.saved_attr;
  ReleaseUnitAnm(&w.ability_anm);
  SetUnitState(unit, kStateStand);
}
