// Kamui's attacks (kinds 20, 31, 32): the normal attack on the unit and the special with the
// pentagram, the background, the rain and the hits (battle_effects/kamui.h).

#include "battle_effects/kamui.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kTypeBase = 3;  // the attack played from the unit's own sets: no flash
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint16_t kUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr int16_t kFrontDepth = -1084;
constexpr SurfaceId kPictureSurface = SURFACE_SCRATCH;
constexpr const char* kStrokeBuffer = "Kamui::Stroke";

using Work = KamuiAttack;
using Row = TimelineRow<Work>;
using Wait = TimelineWait<Work>;

SlgAnmObj* Obj(const Work& w, int i) {
  return w.ctx != nullptr ? w.ctx->objects[static_cast<size_t>(i)] : nullptr;
}
SlgAnmObj* Obj0(Work& w) { return Obj(w, 0); }
int16_t Depth0(const Work& w) {
  const SlgAnmObj* o = Obj(w, 0);
  return o != nullptr ? o->depth : 0;
}

// The objects and the context (the attack's end, and an allocation refused).
void FreeCtx(Work& w) {
  if (w.ctx == nullptr) return;
  FreeAnimeObjs(w.ctx->objects.data(), kSlgAttackObjects);
  w.ctx->objects.fill(nullptr);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
}

// Step 0 of both routines: the context. Refused, the context service has ended the attack.
int CreateCtx(Work& w) {
  w.ctx = CreateAttackCtx(*w.unit);
  return w.ctx != nullptr ? kTimelineNextRow : kTimelineStop;
}

// Objects refused: everything taken goes back and the attack ends.
int Abandon(Work& w) {
  SlgUnit& unit = *w.unit;
  KamuiGiveBack(w);
  EndAttack(unit);
  return kTimelineStop;
}

int Finish(Work& w) {
  SlgUnit& unit = *w.unit;
  KamuiGiveBack(w);
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

// ---- Normal ----

// By direction: body animation (object 0), the swing (object 1) and the flash (object 2), and
// the attribute (16 mirrored).
struct NormalDir {
  uint8_t body, swing, flash;
  uint16_t attr;
};
constexpr std::array<NormalDir, 4> kNormalDirs{{
    {1, 1, 3, 0},
    {0, 0, 2, 0},
    {0, 0, 2, 16},
    {1, 1, 3, 16},
}};
constexpr int32_t kNormalFrames = 48;

int NormalObjects(Work& w) {
  SlgUnit& u = *w.unit;
  SlgAttackCtx& c = *w.ctx;
  const int n = u.stats.attack_type == kTypeBase ? 2 : 3;
  if (AllocAnimeObjs(c.objects.data(), u.anm, n) == 0) return Abandon(w);
  c.object_count = static_cast<int16_t>(n);
  const NormalDir& d = kNormalDirs[u.dir & 3u];
  SlgAnmObj* body = c.objects[0];
  SlgAnmObj* swing = c.objects[1];
  swing->x = body->x = w.pos.x;
  swing->y = body->y = w.pos.y;
  swing->depth = static_cast<int16_t>(body->depth - 1);
  body->mode = swing->mode = kSlgAnmOnce;
  SlgPlayAnmAttr(c.body_anims, d.body, body, SURFACE_ROOT, d.attr);
  SlgPlayAnmAttr(c.effect_anims, d.swing, swing, SURFACE_ROOT, d.attr);
  if (n == 3) {
    SlgAnmObj* flash = c.objects[2];
    flash->x = w.pos.x;
    flash->y = w.pos.y;
    flash->depth = kFrontDepth;
    flash->mode = kSlgAnmOnce;
    SlgPlayAnmAttr(c.effect_anims, d.flash, flash, SURFACE_ROOT, d.attr);
    SlgAnmPlayOnce(&flash->handle);
  }
  return kTimelineNextRow;
}

void NormalFollow(Work& w) {
  for (int i = 0; i < w.ctx->object_count; ++i) BossFollow(Obj(w, i), w.pos);
}

int NormalAnimsEnded(Work& w) {
  for (int i = 0; i < w.ctx->object_count; ++i) {
    SlgAnmObj* o = Obj(w, i);
    if (o != nullptr) {
      o->x = w.pos.x;
      o->y = w.pos.y;
    }
  }
  return CountRunningAnms(w.ctx->objects.data(), w.ctx->object_count) == 0 ? 1 : 0;
}

constexpr Row kNormal[] = {
    {Wait::AtOnce(), &CreateCtx},
    {Wait::AtOnce(), &NormalObjects},
    // Step 2 stores the start time the 48 frames of step 3 count from: the same call.
    {Wait::AtOnce(), nullptr, kTimelineNextRow, kTimelineChain},
    {Wait::Frames(kNormalFrames), nullptr, kTimelineNextRow, 0, &NormalFollow},
    {Wait::SubDone(&NormalAnimsEnded)},
    {Wait::AtOnce(), &Finish},
};

// ---- Special: the set-up ----

constexpr BossLineScroll kLineScroll{.source = kPictureSurface,
                                     .x_offset = 0,
                                     .top = 0,
                                     .width = 640,
                                     .band_height = 480,
                                     .strip_height = 2,
                                     .dest = SURFACE_ROOT,
                                     .mode = 0,
                                     .depth = 511,
                                     .amp_start = 12 * kPx,
                                     .amp_limit = 12 * kPx,
                                     .amp_growth = 0,
                                     .step_strip = 4,
                                     .step_frame = 8};

int SpecialBegin(Work& w) {
  // (A no-operation call stands here in the step table.)
  if (CreateCtx(w) == kTimelineStop) return kTimelineStop;
  w.ctx->step = nullptr;
  SlgLayerOn(SURFACE_ROOT, 2);
  // A missing picture leaves its part out; the steps still run.
  BossCutPicture(*w.unit, 0, kPictureSurface, false, w.background);
  w.line_scroll = BossLineScrollStart(*w.unit, 1, "Kamui::LineScroll", kLineScroll);
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>(b.flags & ~kUnitsShown);
  SelectUnitVoice(*w.unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

// Plays animation n of a set on the object where it stands, looping, then stops and hides it.
void PlayStoppedHidden(SlgAnmObj* obj, SprAnm* set, uint32_t n) {
  BossPlay(obj, set, n, {obj->x, obj->y}, obj->depth, 0, 0);
  SlgAnmHide(obj->handle);
}

int SpecialObjects(Work& w) {
  SlgAttackCtx& c = *w.ctx;
  if (AllocAnimeObjs(c.objects.data(), w.unit->anm, 4) == 0) {
    // The scene has begun: the layers and the units' flags come back before the attack ends.
    SlgLayerRestore();
    Battle().flags = static_cast<uint16_t>(Battle().flags | kUnitsShown);
    return Abandon(w);
  }
  for (int i = 0; i < 4; ++i) {
    c.objects[static_cast<size_t>(i)]->x = 0;
    c.objects[static_cast<size_t>(i)]->y = 0;
  }
  SlgAnmObj* body = c.objects[0];
  SlgAnmObj* ring = c.objects[1];
  SlgAnmObj* glow = c.objects[2];
  BossPlay(body, c.body_anims, 0, {0, 0}, body->depth, 0, kSlgAnmOnce);
  ring->depth = static_cast<int16_t>(body->depth + 2);
  PlayStoppedHidden(ring, c.effect_anims, 12);
  SlgSprSetZoom(ring->handle, {kPx, 70217});
  glow->depth = static_cast<int16_t>(body->depth - 1);
  glow->x = 16 * kPx;
  glow->y = -114 * kPx;
  PlayStoppedHidden(glow, c.effect_anims, 5);
  c.object_count = 1;
  HideTargets(Battle().target_count);
  SlgFadeIn(60);
  return kTimelineNextRow;
}

// ---- Special: the pentagram ----

void StartStroke(Work& w, int k) {
  SlgPoly& p = w.strokes[static_cast<size_t>(k)];
  p = SlgPoly{};
  p.colour = kKamuiStrokeColour;
  p.depth = static_cast<int16_t>(Depth0(w) + 2);
  const std::array<PolygonPoint, 4> c = KamuiStrokeAt(k, 0);
  std::copy(c.begin(), c.end(), p.corners);
  w.stroke_count = k + 1;
}

int StartFirstStroke(Work& w) {
  StartStroke(w, 0);
  return kTimelineNextRow;
}

// Every frame of steps 5-9: the newest stroke grows, strokes k .. 0 are made again in that order.
void GrowStrokes(Work& w) {
  const int k = w.stroke_count - 1;
  if (k < 0) return;
  const std::array<PolygonPoint, 4> c = KamuiStrokeAt(k, TimelineFrames(w.clock.start));
  std::copy(c.begin(), c.end(), w.strokes[static_cast<size_t>(k)].corners);
  for (int i = k; i >= 0; --i) {
    SlgPolyCreate(kStrokeBuffer, &w.strokes[static_cast<size_t>(i)], SURFACE_ROOT);
  }
}

// After 20 frames: the stroke on its end row exactly, then the next one (none after the fifth).
int NextStroke(Work& w) {
  const int k = w.stroke_count - 1;
  const std::array<PolygonPoint, 4> c = KamuiStrokeAt(k, kKamuiStrokeFrames);
  std::copy(c.begin(), c.end(), w.strokes[static_cast<size_t>(k)].corners);
  if (w.stroke_count < kKamuiStrokes) StartStroke(w, w.stroke_count);
  return kTimelineNextRow;
}

void FreeStrokes(Work& w) {
  for (SlgPoly& p : w.strokes) {
    if (p.entry != nullptr) SlgPolyFree(&p);
  }
  w.stroke_count = 0;
}

// ---- Special: the background ----

void SetBackgroundAlpha(Work& w, BlendWord alpha) {
  if (w.background.sprite != nullptr) Ctx().ddraw_spr.SetSpriteAlpha(w.background.sprite, alpha);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int BackgroundEntry(Work& w) {
  w.fade_counter = 0;
  w.fade_length = kKamuiFadeSteps;
  KamuiFamilyWork().stage = KamuiStage::kStrokes;
  if (w.background.sprite != nullptr) {
    Ctx().ddraw_spr.SetSpriteAlpha(w.background.sprite, 0);
    BossShowPicture(w.background, 0, 0, Depth0(w) + 1);
  }
  return kTimelineNextRow;
}

// The fade's counter from the step's frames, a step every 3 frames (a jumping clock skips to
// where it should be, held at the length); 1 when it has reached the length. A new step sets the
// alpha from the counter and asks for a redraw of layer 4.
int FadeStep(Work& w, bool out) {
  const int32_t n = std::min<int32_t>(TimelineFrames(w.clock.start) / kKamuiFadeStepFrames,
                                      w.fade_length);
  if (n != w.fade_counter) {
    w.fade_counter = static_cast<int16_t>(n);
    SetBackgroundAlpha(w, KamuiFadeAlpha(out ? w.fade_length - n : n));
  }
  return w.fade_counter >= w.fade_length ? 1 : 0;
}
int FadeIn(Work& w) { return FadeStep(w, false); }
int FadeOut(Work& w) { return FadeStep(w, true); }

int BackgroundShown(Work& w) {
  FreeStrokes(w);
  SetBackgroundAlpha(w, KamuiFadeAlpha(kKamuiFadeSteps));
  return kTimelineNextRow;
}

// Object 2's zoom growth: the context's sub-routine in steps 12-13.
void ZoomGrowth(SlgAttackCtx& ctx, SlgUnit& /*unit*/, SlgPair& /*pos*/) {
  KamuiZoom& z = KamuiFamilyWork().attack.zoom;
  KamuiZoomStep(z, TimelineNow());
  SlgAnmObj* glow = ctx.objects[2];
  if (glow != nullptr) SlgSprSetZoom(glow->handle, {z.value, z.value});
}

int Dissolve(Work& w) {
  w.fade_counter = 0;
  w.fade_length = kKamuiFadeSteps;
  w.ctx->object_count = 3;
  BossStartObj(Obj(w, 1));
  BossStartObj(Obj(w, 2));
  w.zoom = KamuiZoom{};
  w.ctx->step = &ZoomGrowth;
  SlgTaskNextPhase(w.line_scroll);
  return kTimelineNextRow;
}

int BackgroundGone(Work& w) {
  BossDeletePicture(w.background);
  KamuiFamilyWork().stage = KamuiStage::kBackgroundGone;
  return kTimelineNextRow;
}

int SecondBody(Work& w) {
  SlgAttackCtx& c = *w.ctx;
  SlgAnmObj* body = c.objects[0];
  SlgAnmObj* glow = c.objects[2];
  BossPlay(body, c.body_anims, 1, {body->x, body->y}, body->depth, 0, kSlgAnmOnce);
  BossPlay(glow, c.effect_anims, 6, {0, 0}, glow->depth, 0, kSlgAnmOnce);
  c.step = nullptr;
  c.object_count = 3;
  return kTimelineNextRow;
}

int WhiteOut(Work& /*w*/) {
  SlgWhiteOut(30);
  return kTimelineNextRow;
}

// ---- Special: the storm ----

// What both effects' work areas begin with: the object (SlgTaskCreateAnmWork's first word) and
// the effect's own reference of the set it plays from.
struct EffectHead {
  SlgAnmObj* obj;
  SprAnm* set;
};
struct RainWork {
  EffectHead head;
  Kinematic fall;
  uint32_t start;  // game clock ms of the current fall
};
struct DamageWork {
  EffectHead head;
  SlgPair at;  // the drawing position, fixed at the start
  uint8_t slot;
};

// A drop restarts (or, once the storm ends, ends) when it has passed 256 pixels downward: the
// motion's point lies one 16.16 step below, as "at or beyond" is what the motion tests.
constexpr int32_t kRainBottom = 256 * kPx + 1;
constexpr int32_t kRainTop = -512 * kPx;
constexpr uint32_t kRainAnim = 10;

// Ends an effect: its animation and object, the task, then its reference of the set.
void EndEffect(SlgEffectTask* t) {
  SprAnm* set = static_cast<EffectHead*>(t->owned[0])->set;
  SlgTaskEndAnmWork(t);
  ReleaseUnitAnm(&set);
}

void Rain(SlgEffectTask* t) {
  auto* w = static_cast<RainWork*>(t->owned[0]);
  SlgAnmObj* obj = w->head.obj;
  switch (t->phase) {
    case 0: {
      // Three draws, in this order: x, y, size.
      const int32_t x = ((SlgRand() & 0x3FF) - 256) * kPx;
      const int32_t y = ((SlgRand() & 0x1FF) - 256) * kPx;
      const KamuiRainClass size = KamuiRainClassOf(SlgRand());
      obj->depth = kFrontDepth;
      obj->mode = 0;
      obj->x = x;
      obj->y = y;
      SlgPlayAnm(w->head.set, kRainAnim, obj, SURFACE_ROOT);
      SlgSprSetZoom(obj->handle, {size.zoom, size.zoom});
      w->fall = Kinematic{.start = {x, y},
                          .velocity = size.velocity,
                          .end = KinematicEnd::kPointPassed,
                          .axes = kKinematicY,
                          .point = {0, kRainBottom}};
      w->start = t->now;
      t->phase = 1;
      return;
    }
    case 1: {
      const KinematicPos p = KinematicAt(w->fall, TimelineFrames(w->start));
      obj->x = p.pos.x;
      obj->y = p.pos.y;
      SlgSprSetPos(obj->handle, p.pos);
      if (!p.ended) return;
      if (KamuiFamilyWork().stage == KamuiStage::kStormEnds) {
        EndEffect(t);
        return;
      }
      w->fall.start = {p.pos.x, kRainTop};
      w->start = t->now;
      return;
    }
    default: EndEffect(t); return;
  }
}

// Plays an effect animation on the damage effect's object at its stored place.
void PlayDamage(DamageWork& w, uint32_t n, uint8_t mode) {
  SlgAnmObj* obj = w.head.obj;
  obj->mode = mode;
  obj->x = w.at.x;
  obj->y = w.at.y;
  SlgPlayAnm(w.head.set, n, obj, SURFACE_ROOT);
}

void Damage(SlgEffectTask* t) {
  auto* w = static_cast<DamageWork*>(t->owned[0]);
  SlgAnmObj* obj = w->head.obj;
  const BattleContext& b = Battle();
  switch (t->phase) {
    case 0: {
      const int8_t slot = t->index < b.target_count ? b.targets[t->index] : int8_t{-1};
      if (slot < 0 || !SlgSlotInUse(static_cast<uint32_t>(slot))) {
        EndEffect(t);  // the target has gone from the list: nothing to show
        return;
      }
      w->slot = static_cast<uint8_t>(slot);
      const SlgUnit& target = b.state.units[static_cast<size_t>(slot)];
      w->at = SlgMapToScreen(target);
      obj->depth = static_cast<int16_t>(BossUnitDepth(target) - 1);
      PlayDamage(*w, 7, kSlgAnmOnce);
      t->phase = 1;
      break;
    }
    case 1:
      if (SlgAnmObjIsEnd(obj) == 0) break;
      PlayDamage(*w, 8, 0);
      t->phase = 2;
      break;
    case 2:
      if (KamuiFamilyWork().stage != KamuiStage::kStormEnds) break;
      PlayDamage(*w, 9, kSlgAnmOnce);
      t->phase = 3;
      break;
    case 3:
      if (SlgAnmObjIsEnd(obj) == 0) break;
      PlayDamage(*w, 11, kSlgAnmOnce);
      t->phase = 4;
      break;
    case 4:
      if (SlgAnmObjIsEnd(obj) == 0) break;
      EndEffect(t);
      return;
    default: EndEffect(t); return;
  }
  SlgSprSetPos(obj->handle, w->at);
}

// The effect task "<base><i>" with index byte i and its own reference of the set; none when it
// is refused (the reference goes back).
void StartEffect(SlgBody body, size_t bytes, const char* base, int i, SprAnm* set) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%d", base, i);
  SprAnm* held = SlgHoldAnmSet(set);
  SlgEffectTask* t = SlgTaskCreateAnmWork(body, bytes, name);
  if (t == nullptr) {
    ReleaseUnitAnm(&held);
    return;
  }
  t->index = static_cast<uint8_t>(i);
  static_cast<EffectHead*>(t->owned[0])->set = held;
}

int ReturnToMap(Work& w) {
  SlgAttackCtx& c = *w.ctx;
  BattleContext& b = Battle();
  SlgTaskStop(w.line_scroll);  // it ends itself on its next frame
  w.line_scroll = nullptr;
  SlgLayerRestore();
  ShowFlaggedUnits();
  b.flags = static_cast<uint16_t>(b.flags | kUnitsShown);
  c.object_count = 1;
  BossRelease(c.objects[1]);
  BossRelease(c.objects[2]);
  SlgAnmObj* body = c.objects[0];
  BossPlay(body, c.body_anims, 2, w.pos, body->depth, 0, 0);
  ShowTargets(b.target_count);
  const int targets = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  for (int i = 0; i < targets; ++i) {
    StartEffect(&Damage, sizeof(DamageWork), "Kamui::Damage", i, c.effect_anims);
  }
  for (int i = 0; i < kKamuiRainDrops; ++i) {
    StartEffect(&Rain, sizeof(RainWork), "Kamui::Rain", i, c.effect_anims);
  }
  SlgWhiteIn(30);
  return kTimelineNextRow;
}

int StormEnds(Work& /*w*/) {
  KamuiFamilyWork().stage = KamuiStage::kStormEnds;
  return kTimelineNextRow;
}

// Steps 5-8: a stroke a row; step 9 closes the star at row 0.
constexpr Row StrokeRow() {
  return {Wait::Frames(kKamuiStrokeFrames), &NextStroke, kTimelineNextRow, 0, &GrowStrokes};
}

constexpr Row kSpecial[] = {
    {Wait::AtOnce(), &SpecialBegin},
    {Wait::AtOnce(), &SpecialObjects},
    {Wait::Frames(1)},
    {Wait::Frames(60)},
    {Wait::AnmEnd(&Obj0), &StartFirstStroke},
    StrokeRow(),
    StrokeRow(),
    StrokeRow(),
    StrokeRow(),
    StrokeRow(),
    {Wait::Frames(10), &BackgroundEntry},
    {Wait::SubDone(&FadeIn), &BackgroundShown},
    {Wait::Frames(50), &Dissolve},
    {Wait::SubDone(&FadeOut), &BackgroundGone},
    {Wait::Frames(60), &SecondBody},
    {Wait::AnmEnd(&Obj0), &WhiteOut},
    {Wait::Frames(35), &ReturnToMap},
    {Wait::Frames(240), &StormEnds},
    {Wait::Frames(160), &Finish},
};

// One call of a routine: the work cleared at step 0 (leftovers of an attack cut short given
// back first), the unit and its position of this call, the timeline.
Work& Begin(SlgUnit& unit, const SlgPair& pos) {
  Work& w = KamuiFamilyWork().attack;
  if (unit.step == 0) KamuiGiveBack(w);
  w.unit = &unit;
  w.pos = pos;
  return w;
}

}  // namespace

std::array<PolygonPoint, 4> KamuiStrokeAt(int k, int32_t frames) {
  const KamuiStarRow& from = kKamuiStar[static_cast<size_t>(k) % kKamuiStar.size()];
  const KamuiStarRow& to = kKamuiStar[static_cast<size_t>(k + 1) % kKamuiStar.size()];
  const int32_t f = std::clamp(frames, 0, kKamuiStrokeFrames);
  const auto move = [f](const PolygonPoint& a, const PolygonPoint& b) {
    return PolygonPoint{a.x + (b.x - a.x) * f / kKamuiStrokeFrames,
                        a.y + (b.y - a.y) * f / kKamuiStrokeFrames};
  };
  return {from.outer, move(from.outer, to.outer), move(from.inner, to.inner), from.inner};
}

BlendWord KamuiFadeAlpha(int32_t n) {
  return static_cast<BlendWord>(std::clamp(n, 0, kKamuiFadeSteps) * 256 / kKamuiFadeSteps);
}

KamuiRainClass KamuiRainClassOf(int32_t random) {
  switch (random & 7) {
    case 0: return {{-15 * kPx, 30 * kPx}, 2 * kPx};
    case 1:
    case 7: return {{-12 * kPx, 24 * kPx}, kPx};
    case 2:
    case 4: return {{-9 * kPx, 16 * kPx}, kPx / 2};
    default: return {{-6 * kPx, 12 * kPx}, kPx / 4};
  }
}

void KamuiZoomStep(KamuiZoom& z, uint32_t now_ms) {
  switch (z.state) {
    case 0:
      z.start = now_ms;
      z.value = kKamuiZoomStep;
      z.state = 1;
      break;
    case 1: {
      const int64_t frames =
          int64_t{static_cast<int32_t>(now_ms - z.start)} * 60 / 1000;
      const int64_t v = std::max<int64_t>(frames, 0) * kKamuiZoomStep;
      if (v >= kPx) {
        z.value = kPx;
        z.state = 2;
      } else {
        z.value = static_cast<int32_t>(v);
      }
      break;
    }
    default: z.value = kPx; break;
  }
}

KamuiWork& KamuiFamilyWork() { return Battle().Extension<KamuiWork>(); }

KamuiWork::~KamuiWork() {
  if (!HasBattle()) return;
  if (HasCtx() && HasScene()) {
    KamuiGiveBack(attack);
    return;
  }
  // The engine's entries, animations and sets went first: only the battle's blocks are left.
  if (attack.ctx != nullptr) {
    for (SlgAnmObj* obj : attack.ctx->objects) SlgFree(obj);
    SlgFree(attack.ctx);
  }
  attack = KamuiAttack{};
}

void KamuiGiveBack(KamuiAttack& w) {
  FreeStrokes(w);
  BossDeletePicture(w.background);
  if (SlgTaskIsAlive(w.line_scroll) != 0) SlgTaskStop(w.line_scroll);
  FreeCtx(w);
  w = KamuiAttack{};
}

namespace Kamui {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  // From step 2 on the objects stand on the position with the attack's recoil offset.
  if (unit.step >= 2) {
    const SlgPair& recoil = Battle().attack.recoil;
    pos.x += recoil.x;
    pos.y += recoil.y;
  }
  Work& w = Begin(unit, pos);
  RunTimeline(kNormal, unit.step, w.clock, w);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  Work& w = Begin(unit, pos);
  if (RunTimeline(kSpecial, unit.step, w.clock, w) == kTimelineStop) return;
  // The context's sub-routine runs after the step's own work, every frame while it is set.
  if (w.ctx != nullptr && w.ctx->step != nullptr) w.ctx->step(*w.ctx, unit, pos);
}

}  // namespace Kamui
