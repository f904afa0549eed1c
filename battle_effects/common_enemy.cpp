// The common enemies' attacks (kinds 14-19, 34, 35, 48-50; battle_effects/common_enemy.h).

#include "battle_effects/common_enemy.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/step_timeline.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

const std::array<KoumaShot, kKoumaShots> kKoumaShotTable = {{
    {0x10000, 0x4000, -5},   // +1, 0.25
    {0xC000, 0x3000, 5},     // +0.75, 0.1875
    {-0x10000, 0x4000, -5},  // -1, 0.25
    {-0xC000, 0x3000, 5},    // -0.75, 0.1875
}};

SlgPair KoumaShotAt(int index, const SlgPair& start, int32_t frames) {
  const KoumaShot& shot =
      kKoumaShotTable[static_cast<size_t>(std::clamp(index, 0, kKoumaShots - 1))];
  // Every shot has landed long before this many frames; the bound keeps the sums in range.
  const int64_t n = std::clamp<int32_t>(frames, 0, 4096);
  const int64_t x = int64_t{start.x} + int64_t{shot.dx} * n;
  // The sum of g, 2g, ... ng.
  const int64_t y = int64_t{start.y} + int64_t{shot.g} * (n * (n + 1) / 2);
  const auto held = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {held(x), held(y)};
}

int32_t KoumaLandingFrame() {
  static const int32_t frame = [] {
    for (int32_t n = 0; n < 4096; ++n) {
      for (int i = 0; i < kKoumaShots; ++i) {
        if (KoumaShotAt(i, {}, n).y >= kKoumaSkyRaise * 0x10000) return n;
      }
    }
    return int32_t{4096};
  }();
  return frame;
}

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kTypeNormal = 0;
constexpr uint8_t kTypeSpecial = 1;
// The special lead-in's fade.
constexpr int kSpecialFadeFrames = 18;
constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kTypeBase = 3;

bool Critical(uint8_t type) { return type == kTypeCritical; }
// Types 0 and 2 (the ATTACK sets) play the per-target effects; 1 and 3 none.
bool AttackSetType(uint8_t type) { return type == kTypeNormal || type == kTypeCritical; }

// ---- The damage list ----

int TargetCount() { return std::clamp<int>(Battle().target_count, 0, kSlgMaxUnits); }


// ---- Effect tasks: one object each, playing from a reference of their own ----

// An effect task's work (owned slot 0); its object is owned slot 1.
struct FxWork {
  SprAnm* set;  // the task's own reference of the set it plays from
  SlgPair pos;  // where it was put
  int16_t depth;
  uint8_t fired;  // its one trigger (a frame of its animation) has fired
  uint8_t ended;  // its animation has ended; end_ms holds when
  uint32_t end_ms;
};

FxWork* Fx(SlgEffectTask* t) { return static_cast<FxWork*>(t->owned[0]); }
SlgAnmObj* FxObj(SlgEffectTask* t) { return static_cast<SlgAnmObj*>(t->owned[1]); }

// What an effect plays: animation `anim` of `set` (`own`: a reference the task already owns;
// else it takes one), at `pos` and `depth`, with `attr`, once (the handle clears itself at the
// end) or looping.
struct FxLook {
  SprAnm* set = nullptr;
  bool own = false;
  uint32_t anim = 0;
  SlgPair pos{};
  int16_t depth = 0;
  uint16_t attr = 0;
  bool once = true;
};

// Gives the task its work and object and plays the look. False when a block is refused: the
// reference is given back and the task must end.
bool FxPlay(SlgEffectTask* t, const FxLook& look) {
  SprAnm* set = look.own ? look.set : SlgHoldAnmSet(look.set);
  auto* work = static_cast<FxWork*>(SlgAlloc(sizeof(FxWork)));
  auto* obj = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
  if (work == nullptr || obj == nullptr) {
    SlgFree(work);
    SlgFree(obj);
    ReleaseUnitAnm(&set);
    return false;
  }
  work->set = set;
  work->pos = look.pos;
  work->depth = look.depth;
  t->owned[0] = work;
  t->owned[1] = obj;
  obj->x = look.pos.x;
  obj->y = look.pos.y;
  obj->depth = look.depth;
  obj->mode = 0;
  if (set != nullptr) SlgPlayAnmAttr(set, look.anim, obj, SURFACE_ROOT, look.attr);
  if (look.once) SlgAnmPlayOnce(&obj->handle);
  return true;
}

// Its animation released, its reference given back, the task ended (its blocks with it).
void FxEnd(SlgEffectTask* t) {
  if (SlgAnmObj* obj = FxObj(t); obj != nullptr && obj->handle != nullptr && HasScene()) {
    Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  }
  if (FxWork* w = Fx(t); w != nullptr) ReleaseUnitAnm(&w->set);
  SlgTaskEnd(t);
}

// Its animation has ended (or it has none), or it was asked to stop.
bool FxOver(SlgEffectTask* t) { return t->phase == kSlgPhaseStop || SlgAnmObjIsEnd(FxObj(t)) != 0; }

// ---- Per-target effects (tasks "<base><i>", i the target's index) ----

// One per-target effect kind: what it plays on the target and the running count it keeps.
struct TargetFx {
  bool (*look)(const SlgUnit& target, int index, FxLook& out);
  int32_t* (*count)();  // lowered at the end; null: not counted
};

// The effect's call: set up on the first (no target or a refused block: it ends at once), then
// it ends once its animation has.
void RunTargetFx(SlgEffectTask* t, const TargetFx& fx) {
  if (t->owned[1] == nullptr) {
    const SlgUnit* target = ListedTarget(t->index);
    FxLook look;
    if (target != nullptr && fx.look(*target, t->index, look) && FxPlay(t, look)) return;
  } else if (!FxOver(t)) {
    return;
  }
  if (fx.count != nullptr) --*fx.count();
  FxEnd(t);
}

// A batch: one task per target through the counted creator; its count raised by the tasks made.
int StartTargetBatch(SlgBody body, const char* base, int32_t* count) {
  const int made = SlgTaskCreateN(SlgTaskOwner(), body, TargetCount(), base);
  if (count != nullptr) *count += made;
  return made;
}

SlgPair TargetScreen(const SlgUnit& target) { return BossUnitScreen(target); }
int16_t TargetDepth(const SlgUnit& target, int offset) {
  return static_cast<int16_t>(BossUnitDepth(target) + offset);
}

// ---- The shared shape ----

// One routine of the family: whether step 1 builds the damage list, its form by attack type, and
// what it takes before its objects (false: it has ended the attack).
struct EnemyRoutine {
  bool damage_list;
  const LayeredForm& (*form)(uint8_t type);
  bool (*prepare)(EnemyAttackWork& w) = nullptr;
};

EnemyAttackWork& WorkOf(LayeredAttack& a) { return *static_cast<EnemyAttackWork*>(a.user); }

// The end of every routine: the context and its sets back.
void GiveBackCtx(LayeredAttack& a) {
  EnemyAttackWork& w = WorkOf(a);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
  a.ctx = nullptr;
}

template <class W>
void RunEnemyAttack(W& w, const EnemyRoutine& routine, SlgUnit& unit, SlgPair& pos) {
  if (unit.step == 0) {
    SlgAttackCtx* ctx = CreateAttackCtx(unit);
    if (ctx == nullptr) return;  // the context service has ended the attack
    w = W{};
    w.ctx = ctx;
    w.unit = &unit;
    w.type = unit.stats.attack_type;
    w.layered.ctx = ctx;
    w.layered.user = static_cast<EnemyAttackWork*>(&w);
    unit.step = 1;
    return;
  }
  if (w.begun == 0 && w.ctx != nullptr) {
    w.begun = 1;
    if (routine.damage_list) DamageMember();
    // A special lead-in has faded the screen out: the attack plays on the screen faded back in,
    // which nothing else would give back.
    if (w.type == kTypeSpecial) SlgFadeIn(kSpecialFadeFrames);
    w.start_ms = TimelineNow();
    if (routine.prepare != nullptr && !routine.prepare(w)) {
      FreeAttackCtx(w.ctx);
      w.ctx = nullptr;
      EndAttack(unit);
      return;
    }
  }
  RunLayeredAttack(w.layered, routine.form(w.type), unit, pos);
}

SpxAnimeKind* Spx() { return HasScene() ? Scene().tamvik_spr.spx() : nullptr; }

// ---- KoumaF: the sky-explosion chain ----

KoumaFWork& KoumaFW() { return Battle().Extension<KoumaFWork>(); }

uint32_t KoumaAnim(uint32_t normal, uint32_t critical) {
  return Critical(KoumaFW().type) ? critical : normal;
}

// A chain task ends: when it was the last one running and nobody has set the done flag (a task
// of the chain could not be made), the attack is let go.
void EndChainTask(SlgEffectTask* t) {
  KoumaFWork& w = KoumaFW();
  FxEnd(t);
  if (--w.chain_live <= 0) {
    w.chain_live = 0;
    w.done = 1;
  }
}

// A chain task made and playing `anim` at `pos` and `depth`; null when it could not be made (a
// task made whose blocks were refused is ended).
SlgEffectTask* StartChainTask(SlgBody body, const char* name, uint32_t anim, const SlgPair& pos,
                              int16_t depth, bool once) {
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), body, name);
  if (SlgTaskIsAlive(t) == 0) return nullptr;
  KoumaFWork& w = KoumaFW();
  ++w.chain_live;
  const FxLook look{.set = w.effect_set, .anim = anim, .pos = pos, .depth = depth, .once = once};
  if (!FxPlay(t, look)) {
    EndChainTask(t);
    return nullptr;
  }
  return t;
}

// "KoumaF::Hit<k><i>": a hit mark near target i; the hit counter drops at its end.
bool HitLook(const SlgUnit& target, int /*index*/, FxLook& out) {
  const SlgPair at = TargetScreen(target);
  const int32_t dx = ((SlgRand() >> 8) & 31) - 16;
  const int32_t dy = ((SlgRand() >> 8) & 31) - 16;
  out = {.set = KoumaFW().effect_set,
         .anim = 10,
         .pos = {at.x + dx * 2 * kPx, at.y + dy * 2 * kPx},
         .depth = TargetDepth(target, 0)};
  return true;
}
int32_t* HitCount() { return &KoumaFW().hit_count; }
constexpr TargetFx kHitFx{&HitLook, &HitCount};
void HitMark(SlgEffectTask* t) { RunTargetFx(t, kHitFx); }

// Batches of hit marks a hit sequence makes: 4 (type 2: 8).
int HitBatches(uint8_t type) { return Critical(type) ? 8 : 4; }

// "<shot>ChijouBakuhatsuHit": type 3 lets the attack go at once; else a batch of hit marks every 8
// frames, then the wait for the hit counter. Its phase counts the batches made; a clock that
// skips frames makes the batches it owes on the following calls.
void HitSequence(SlgEffectTask* t) {
  KoumaFWork& w = KoumaFW();
  if (t->phase == kSlgPhaseStop) return EndChainTask(t);
  if (w.type == kTypeBase) {
    w.done = 1;
    return EndChainTask(t);
  }
  const int batches = HitBatches(w.type);
  if (t->phase < batches) {
    if (t->frames / 8 > t->phase) {
      ++t->phase;
      char base[32];
      std::snprintf(base, sizeof base, "KoumaF::Hit%d", t->phase);
      w.hits_made += StartTargetBatch(&HitMark, base, &w.hit_count);
    }
    return;
  }
  if (w.hit_count > 0) return;
  w.done = 1;
  EndChainTask(t);
}

// "<shot>ChijouBakuhatsu": the ground explosion (animation 8, type 2: 9, once); at its frame 8 the
// hit sequence; it ends with its animation.
void GroundExplosion(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop) return EndChainTask(t);
  FxWork& f = *Fx(t);
  const bool over = SlgAnmObjIsEnd(FxObj(t)) != 0;
  if (f.fired == 0 && (over || AnmFrameOf(FxObj(t)) >= 8)) {
    f.fired = 1;
    char name[96];
    std::snprintf(name, sizeof name, "%sHit", t->name);
    SlgEffectTask* hit = SlgTaskCreate(SlgTaskOwner(), &HitSequence, name);
    if (SlgTaskIsAlive(hit) != 0) ++KoumaFW().chain_live;
  }
  if (over) EndChainTask(t);
}

// "KoumaF::Tama<i>": a shot thrown from the explosion, its path replayed from its start every
// frame; the first to fall kKoumaSkyRaise px below the ground line makes all four land, each
// starting its ground explosion where it stands (the explosion is given the shot's place and
// depth now: the shot is gone on the next frame). Phase 1: landed, it ends.
void Shot(SlgEffectTask* t) {
  if (t->phase != 0) return EndChainTask(t);
  KoumaFWork& w = KoumaFW();
  SlgAnmObj* obj = FxObj(t);
  // A clock that skips frames still lands the shot on the landing frame, where it would have
  // stood then.
  const int32_t frames = std::min(t->frames, KoumaLandingFrame());
  const SlgPair at = KoumaShotAt(t->index, Fx(t)->pos, frames);
  obj->x = at.x;
  obj->y = at.y;
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, at);
  if (w.ground_flag == 0 && int64_t{at.y} < int64_t{w.ground_line} + kKoumaSkyRaise * kPx) {
    return;
  }
  w.ground_flag = 1;
  char name[96];
  std::snprintf(name, sizeof name, "%sChijouBakuhatsu", t->name);
  StartChainTask(&GroundExplosion, name, KoumaAnim(8, 9), at, obj->depth, true);
  t->phase = 1;
}

// The four shots from the explosion's place; shot 0 sets the ground line.
void ThrowShots(const SlgPair& at, int16_t depth) {
  KoumaFWork& w = KoumaFW();
  for (int i = 0; i < kKoumaShots; ++i) {
    if (i == 0) {
      w.ground_flag = 0;
      w.ground_line = at.y;
    }
    char name[32];
    std::snprintf(name, sizeof name, "KoumaF::Tama%d", i);
    const KoumaShot& shot = kKoumaShotTable[static_cast<size_t>(i)];
    SlgEffectTask* t = StartChainTask(&Shot, name, KoumaAnim(7, 6), at,
                                      static_cast<int16_t>(depth + shot.depth), false);
    if (t != nullptr) t->index = static_cast<uint8_t>(i);
  }
}

// "KoumaF::JoukuBakuhatu": the sky explosion (animation 4, type 2: 3, once); at its frame 5 the
// four shots; 30 frames after its animation it ends.
void SkyExplosion(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop) return EndChainTask(t);
  FxWork& f = *Fx(t);
  const bool over = SlgAnmObjIsEnd(FxObj(t)) != 0;
  if (f.fired == 0 && (over || AnmFrameOf(FxObj(t)) >= 5)) {
    f.fired = 1;
    ThrowShots(f.pos, f.depth);
  }
  if (!over) return;
  if (f.ended == 0) {
    f.ended = 1;
    f.end_ms = TimelineNow();
  }
  if (TimelineFrames(f.end_ms) >= 30) EndChainTask(t);
}

// The explosion's place: the mean of the targets' screen positions raised kKoumaSkyRaise px,
// depth the first target's less 10; with no target the attacker's.
void StartSkyExplosion(KoumaFWork& w) {
  int64_t sx = 0, sy = 0;
  int n = 0;
  const SlgUnit* first = nullptr;
  for (int i = 0; i < TargetCount(); ++i) {
    const SlgUnit* target = ListedTarget(i);
    if (target == nullptr) continue;
    if (first == nullptr) first = target;
    const SlgPair at = TargetScreen(*target);
    sx += at.x;
    sy += at.y;
    ++n;
  }
  const SlgUnit& anchor = first != nullptr ? *first : *w.unit;
  SlgPair at = n > 0 ? SlgPair{static_cast<int32_t>(sx / n), static_cast<int32_t>(sy / n)}
                     : TargetScreen(*w.unit);
  at.y -= kKoumaSkyRaise * kPx;
  w.hit_count = 0;
  StartChainTask(&SkyExplosion, "KoumaF::JoukuBakuhatu", KoumaAnim(4, 3), at,
                 TargetDepth(anchor, -10), true);
}

// After the attack animations: the chain, until its done flag and its last task.
int KoumaFChain(LayeredAttack& a) {
  KoumaFWork& w = static_cast<KoumaFWork&>(WorkOf(a));
  if (w.follow == 0) {
    w.follow = 1;
    StartSkyExplosion(w);
  }
  if (w.chain_live == 0) w.done = 1;
  return w.done != 0 && w.chain_live == 0 ? 1 : 0;
}

bool KoumaFPrepare(EnemyAttackWork& base) {
  static_cast<KoumaFWork&>(base).effect_set = base.ctx->effect_anims;
  return true;
}

constexpr SlgAttackRow kKoumaFRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr LayeredForm kKoumaFForm{.rows = kKoumaFRows,
                                  .loop_off = LayeredBit(1),
                                  .follow_up = &KoumaFChain,
                                  .finish = &GiveBackCtx};
const LayeredForm& KoumaFForm(uint8_t /*type*/) { return kKoumaFForm; }

// ---- KoumaM ----

KoumaMWork& KoumaMW() { return Battle().Extension<KoumaMWork>(); }

// "KoumaM::Effect<i>": by the attacker's direction (type 2: 7, 6, 6 mirrored, 7 mirrored; else
// 5, 4, 4 mirrored, 5 mirrored), from its own load of the attacker's ATTACK_EFFECT set.
bool KoumaMLook(const SlgUnit& target, int /*index*/, FxLook& out) {
  const KoumaMWork& w = KoumaMW();
  const int dir = w.attacker_dir & 3;
  constexpr uint32_t kNormal[] = {5, 4, 4, 5};
  constexpr uint32_t kCritical[] = {7, 6, 6, 7};
  out = {.set = GetUnitAnm(w.attacker_kind, kAnmAttackEffect),
         .own = true,
         .anim = (Critical(w.type) ? kCritical : kNormal)[dir],
         .pos = TargetScreen(target),
         .depth = TargetDepth(target, -10),
         .attr = static_cast<uint16_t>(dir >= 2 ? 16 : 0)};
  return true;
}
constexpr TargetFx kKoumaMFx{&KoumaMLook, nullptr};
void KoumaMEffect(SlgEffectTask* t) { RunTargetFx(t, kKoumaMFx); }

void KoumaMStarted(LayeredAttack& a) {
  KoumaMWork& w = static_cast<KoumaMWork&>(WorkOf(a));
  w.attacker_kind = w.unit->kind;
  w.attacker_dir = w.unit->dir;
  if (AttackSetType(w.type)) StartTargetBatch(&KoumaMEffect, "KoumaM::Effect", nullptr);
}

constexpr SlgAttackRow kKoumaMRows[] = {{{1, 2}, 0, 0}, {{1, 2}, 0, 0}};
constexpr SlgAttackRow kKoumaMCriticalRows[] = {{{0, 3}, 0, 0}, {{0, 3}, 0, 0}};
constexpr LayeredForm kKoumaMForm{.rows = kKoumaMRows,
                                  .loop_off = LayeredBit(1),
                                  .started = &KoumaMStarted,
                                  .finish = &GiveBackCtx};
constexpr LayeredForm kKoumaMCriticalForm{.rows = kKoumaMCriticalRows,
                                          .loop_off = LayeredBit(1),
                                          .started = &KoumaMStarted,
                                          .finish = &GiveBackCtx};
const LayeredForm& KoumaMForm(uint8_t type) {
  return Critical(type) ? kKoumaMCriticalForm : kKoumaMForm;
}

// ---- Kinds 17, 48 ----

Enemy17Work& Enemy17W() { return Battle().Extension<Enemy17Work>(); }

constexpr SlgAttackRow kEnemy17Rows[] = {{{0, 2}, 0, 0}, {{0, 2}, 0, 0}};
constexpr SlgAttackRow kEnemy17SecondRow = {{1, 3}, 0, 0};

// Type 2: once the first play has ended, the second row on the same two objects (their frame
// counters and states cleared; object 1 once, looping off), then the wait for it.
int Enemy17SecondPlay(LayeredAttack& a) {
  EnemyAttackWork& w = WorkOf(a);
  SlgAttackCtx& ctx = *a.ctx;
  if (w.follow == 0) {
    w.follow = 1;
    for (int i = 0; i < 2 && i < ctx.object_count; ++i) {
      SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
      if (obj == nullptr) continue;
      obj->frame = 0;
      obj->state = 0;
      PlayAttackRow(obj, kEnemy17SecondRow, w.unit->dir, i == 0 ? ctx.body_anims : ctx.effect_anims,
                    i == 0 ? kSlgAnmOnce : 0, SURFACE_ROOT);
      if (i == 1 && Spx() != nullptr) Spx()->SetLoop(obj->handle, 0);
    }
    return 0;
  }
  return CountRunningAttackAnms(ctx) < 1 ? 1 : 0;
}

constexpr LayeredForm kEnemy17Form{
    .rows = kEnemy17Rows, .loop_off = LayeredBit(1), .finish = &GiveBackCtx};
constexpr LayeredForm kEnemy17CriticalForm{.rows = kEnemy17Rows,
                                           .loop_off = LayeredBit(1),
                                           .follow_up = &Enemy17SecondPlay,
                                           .finish = &GiveBackCtx};
constexpr LayeredForm kEnemy17OneForm{.rows = std::span(kEnemy17Rows, 1), .finish = &GiveBackCtx};
const LayeredForm& Enemy17Form(uint8_t type) {
  if (Critical(type)) return kEnemy17CriticalForm;
  return type == kTypeNormal ? kEnemy17Form : kEnemy17OneForm;
}

// ---- WakijiF ----

WakijiFWork& WakijiFW() { return Battle().Extension<WakijiFWork>(); }

// "WakijiF::Effect<i>": first body animation 8 (type 2: 10), second body 9 (type 2: 11), at the
// target, depth target - 10, once; each lowers its body's count at its end.
bool WakijiFLook(const SlgUnit& target, uint32_t normal, uint32_t critical, FxLook& out) {
  const WakijiFWork& w = WakijiFW();
  out = {.set = w.effect_set,
         .anim = Critical(w.type) ? critical : normal,
         .pos = TargetScreen(target),
         .depth = TargetDepth(target, -10)};
  return true;
}
bool WakijiFFirstLook(const SlgUnit& target, int /*index*/, FxLook& out) {
  return WakijiFLook(target, 8, 10, out);
}
bool WakijiFSecondLook(const SlgUnit& target, int /*index*/, FxLook& out) {
  return WakijiFLook(target, 9, 11, out);
}
int32_t* WakijiFFirstCount() { return &WakijiFW().first_count; }
int32_t* WakijiFSecondCount() { return &WakijiFW().second_count; }
constexpr TargetFx kWakijiFFirstFx{&WakijiFFirstLook, &WakijiFFirstCount};
constexpr TargetFx kWakijiFSecondFx{&WakijiFSecondLook, &WakijiFSecondCount};
void WakijiFFirst(SlgEffectTask* t) { RunTargetFx(t, kWakijiFFirstFx); }
void WakijiFSecond(SlgEffectTask* t) { RunTargetFx(t, kWakijiFSecondFx); }

// Mode 1's batches (frames since step 1); modes 0 and 2 have one at 54.
constexpr int32_t kWakijiFCriticalBatches[] = {144, 162, 180};
constexpr int32_t kWakijiFBatch = 54;

// The timed batches, stepped from the objects' start whatever the attack animations do (every
// counting call and every follow-up call): 0 the first-body batches (one a call, so a clock that
// skips frames makes those it owes on the next calls), 1 the wait for their count, 2 the
// second-body batch's wait (modes 0, 1); 1 once over.
int WakijiFBatches(WakijiFWork& w) {
  switch (w.follow) {
    case 0: {
      const int32_t frames = TimelineFrames(w.start_ms);
      const bool critical = w.mode == 1;
      const int32_t planned = critical ? 3 : 1;
      const int32_t due = critical ? kWakijiFCriticalBatches[w.batches] : kWakijiFBatch;
      if (frames >= due) {
        ++w.batches;
        StartTargetBatch(&WakijiFFirst, "WakijiF::Effect", &w.first_count);
      }
      if (w.batches >= planned) w.follow = 1;
      return 0;
    }
    case 1:
      if (w.first_count > 0) return 0;
      if (w.mode != 2) StartTargetBatch(&WakijiFSecond, "WakijiF::Effect", &w.second_count);
      w.follow = 2;
      return 0;
    case 2:
      if (w.second_count > 0) return 0;
      w.follow = 3;
      return 1;
    default: return 1;
  }
}
void WakijiFEach(LayeredAttack& a) { WakijiFBatches(static_cast<WakijiFWork&>(WorkOf(a))); }
int WakijiFFollowUp(LayeredAttack& a) {
  return WakijiFBatches(static_cast<WakijiFWork&>(WorkOf(a)));
}

bool WakijiFPrepare(EnemyAttackWork& base) {
  auto& w = static_cast<WakijiFWork&>(base);
  w.mode = w.type == kTypeNormal ? 0 : Critical(w.type) ? 1 : 2;
  w.effect_set = w.ctx->effect_anims;
  return true;
}

// Object 1 four depths behind the body, object 2 four in front.
constexpr SlgAttackRow kWakijiFRows[] = {{{0, 2}, 0, 0}, {{0, 2}, -4, 0}, {{1, 3}, 4, 0}};
constexpr SlgAttackRow kWakijiFCriticalRows[] = {{{1, 3}, 0, 0}, {{4, 6}, -4, 0}, {{5, 7}, 4, 0}};
constexpr LayeredForm kWakijiFForm{.rows = kWakijiFRows,
                                   .once = LayeredBit(1) | LayeredBit(2),
                                   .final_wait = 30,
                                   .each = &WakijiFEach,
                                   .follow_up = &WakijiFFollowUp,
                                   .finish = &GiveBackCtx};
constexpr LayeredForm kWakijiFCriticalForm{.rows = kWakijiFCriticalRows,
                                           .once = LayeredBit(1) | LayeredBit(2),
                                           .final_wait = 30,
                                           .each = &WakijiFEach,
                                           .follow_up = &WakijiFFollowUp,
                                           .finish = &GiveBackCtx};
const LayeredForm& WakijiFForm(uint8_t type) {
  return Critical(type) ? kWakijiFCriticalForm : kWakijiFForm;
}

// ---- WakijiM ----

WakijiMWork& WakijiMW() { return Battle().Extension<WakijiMWork>(); }

// "WakijiM::Effect<i>": by the target's direction, never mirrored (type 2: 5 facing 1 or 2, else
// 7; other types 4 or 6), from the context's effect set.
bool WakijiMLook(const SlgUnit& target, int /*index*/, FxLook& out) {
  const WakijiMWork& w = WakijiMW();
  const bool side = target.dir == 1 || target.dir == 2;
  out = {.set = w.effect_set,
         .anim = Critical(w.type) ? (side ? 5u : 7u) : (side ? 4u : 6u),
         .pos = TargetScreen(target),
         .depth = TargetDepth(target, -10)};
  return true;
}
constexpr TargetFx kWakijiMFx{&WakijiMLook, nullptr};
void WakijiMEffect(SlgEffectTask* t) { RunTargetFx(t, kWakijiMFx); }

void WakijiMStarted(LayeredAttack& a) {
  auto& w = static_cast<WakijiMWork&>(WorkOf(a));
  w.effect_set = w.ctx->effect_anims;
  if (AttackSetType(w.type)) StartTargetBatch(&WakijiMEffect, "WakijiM::Effect", nullptr);
}

constexpr SlgAttackRow kWakijiMRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kWakijiMCriticalRows[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr LayeredForm kWakijiMForm{.rows = kWakijiMRows,
                                   .loop_off = LayeredBit(1),
                                   .final_wait = 30,
                                   .started = &WakijiMStarted,
                                   .finish = &GiveBackCtx};
constexpr LayeredForm kWakijiMCriticalForm{.rows = kWakijiMCriticalRows,
                                           .loop_off = LayeredBit(1),
                                           .final_wait = 30,
                                           .started = &WakijiMStarted,
                                           .finish = &GiveBackCtx};
const LayeredForm& WakijiMForm(uint8_t type) {
  return Critical(type) ? kWakijiMCriticalForm : kWakijiMForm;
}

// ---- The shared enemy normal attack ----

EnemyNormalWork& EnemyNormalW() { return Battle().Extension<EnemyNormalWork>(); }

// One object per target, made at the attacker's object before the attack's own.
bool EnemyNormalPrepare(EnemyAttackWork& base) {
  auto& w = static_cast<EnemyNormalWork&>(base);
  const int n = TargetCount();
  if (AllocAnimeObjs(w.target_objs.data(), w.unit->anm, n) == 0) return false;
  w.target_objects = n;
  return true;
}

// Each target's object at the target, playing the target row by the target's direction.
void EnemyNormalStarted(LayeredAttack& a) {
  auto& w = static_cast<EnemyNormalWork&>(WorkOf(a));
  constexpr SlgAttackRow kTargetRow = {{4, 5}, -1, 0};
  constexpr SlgAttackRow kCriticalTargetRow = {{6, 7}, -1, 0};
  for (int i = 0; i < w.target_objects; ++i) {
    const SlgUnit* target = ListedTarget(i);
    SlgAnmObj* obj = w.target_objs[static_cast<size_t>(i)];
    if (target == nullptr || obj == nullptr) continue;
    const SlgPair at = TargetScreen(*target);
    obj->x = at.x;
    obj->y = at.y;
    PlayAttackAnm(obj, Critical(w.type) ? kCriticalTargetRow : kTargetRow, target->dir, *a.ctx,
                  SURFACE_ROOT);
  }
}

void EnemyNormalGiveBack(LayeredAttack& a) {
  auto& w = static_cast<EnemyNormalWork&>(WorkOf(a));
  FreeAnimeObjs(w.target_objs.data(), w.target_objects);
  w.target_objs.fill(nullptr);
  w.target_objects = 0;
  GiveBackCtx(a);
}

constexpr SlgAttackRow kEnemyNormalRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kEnemyNormalCriticalRows[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr LayeredForm kEnemyNormalForm{.rows = kEnemyNormalRows,
                                       .once = LayeredBit(1),
                                       .started = &EnemyNormalStarted,
                                       .finish = &EnemyNormalGiveBack};
constexpr LayeredForm kEnemyNormalCriticalForm{.rows = kEnemyNormalCriticalRows,
                                               .once = LayeredBit(1),
                                               .started = &EnemyNormalStarted,
                                               .finish = &EnemyNormalGiveBack};
const LayeredForm& EnemyNormalForm(uint8_t type) {
  return Critical(type) ? kEnemyNormalCriticalForm : kEnemyNormalForm;
}

}  // namespace

void EnemyNormalAttack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{false, &EnemyNormalForm, &EnemyNormalPrepare};
  RunEnemyAttack(EnemyNormalW(), kRoutine, unit, pos);
}

namespace WakijiM {

void Attack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{true, &WakijiMForm};
  RunEnemyAttack(WakijiMW(), kRoutine, unit, pos);
}

}  // namespace WakijiM

namespace WakijiF {

void Attack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{true, &WakijiFForm, &WakijiFPrepare};
  RunEnemyAttack(WakijiFW(), kRoutine, unit, pos);
}

}  // namespace WakijiF

void Enemy17Attack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{true, &Enemy17Form};
  RunEnemyAttack(Enemy17W(), kRoutine, unit, pos);
}

namespace KoumaM {

void Attack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{true, &KoumaMForm};
  RunEnemyAttack(KoumaMW(), kRoutine, unit, pos);
}

}  // namespace KoumaM

namespace KoumaF {

void Attack(SlgUnit& unit, SlgPair& pos) {
  static constexpr EnemyRoutine kRoutine{true, &KoumaFForm, &KoumaFPrepare};
  RunEnemyAttack(KoumaFW(), kRoutine, unit, pos);
}

}  // namespace KoumaF
