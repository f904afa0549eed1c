// The TAMVIK heroine unit's attacks (kind 1) (battle_effects/tamvik.h).

#include "battle_effects/tamvik.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/kinematic.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = kTamvikPx;
constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kTypeThree = 3;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int kCellHeightPixels = 48;

TamvikSpecial& Special() { return TamvikAttackWork().special; }

// ---- Normal and critical: the layered attack ----

void FreeCtx(LayeredAttack& a) {
  auto& w = *static_cast<TamvikWork*>(a.user);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
}

// {animation for directions 1 and 2, for directions 0 and 3}, depth offset.
constexpr SlgAttackRow kNormalRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 1}, {{8, 9}, 0, 1}};
constexpr SlgAttackRow kCriticalRows[] = {
    {{2, 3}, 0, 0}, {{2, 3}, 0, 0}, {{4, 5}, 0, 0}, {{6, 7}, 0, 0}, {{10, 11}, 0, 0}};

// Type 0: body, a held effect (no looping) and a once effect; type 3 the first two.
constexpr LayeredForm kNormalForm{.rows = kNormalRows,
                                  .flag_one = kLayeredAll,
                                  .once = LayeredBit(2),
                                  .loop_off = LayeredBit(1),
                                  .count = LayeredCount::kBody,
                                  .final_wait = 30,
                                  .finish = &FreeCtx};
constexpr LayeredForm kTypeThreeForm{.rows = std::span(kNormalRows).first(2),
                                     .flag_one = kLayeredAll,
                                     .loop_off = LayeredBit(1),
                                     .count = LayeredCount::kBody,
                                     .final_wait = 30,
                                     .finish = &FreeCtx};
constexpr LayeredForm kCriticalForm{.rows = kCriticalRows,
                                    .flag_one = kLayeredAll,
                                    .once = LayeredBit(2) | LayeredBit(3) | LayeredBit(4),
                                    .loop_off = LayeredBit(1),
                                    .count = LayeredCount::kBody,
                                    .final_wait = 30,
                                    .finish = &FreeCtx};

// ---- The special's shared pieces ----

SlgAnmObj* Obj(const TamvikSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

int16_t BodyDepth(const TamvikSpecial& w) {
  const SlgAnmObj* body = Obj(w, 0);
  return body != nullptr ? body->depth : 0;
}

void DeleteCutIns(TamvikSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.cut_in_entry);
  for (SprRec*& s : w.cut_ins) sprites.DeleteSprite(&s);
  w.cut_in_shown = -1;
}

void DeletePictures(TamvikSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.bg_entry);
  sprites.DeleteSprite(&w.bg);
  DeleteCutIns(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// Everything the special holds: objects, context, pictures.
void GiveBackSpecial(TamvikSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeletePictures(w);
}

// ---- Petals ----

void EndPetal(SlgEffectTask* t) {
  auto& p = *static_cast<TamvikPetal*>(t->owned[0]);
  SprAnm* set = p.set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

void Petal(SlgEffectTask* t) {
  const TamvikSpecial& w = Special();
  auto& p = *static_cast<TamvikPetal*>(t->owned[0]);
  if (w.petal_mode >= kPetalEnd || t->phase == kSlgPhaseStop) {
    EndPetal(t);
    return;
  }
  const int32_t f = std::max(t->frames, 0);
  if (w.petal_mode == kPetalDrift) {
    p.pos = TamvikPetalDrift(p, f);
    const SlgPair before = TamvikPetalDrift(p, f - 1);
    p.velocity = {p.pos.x - before.x, p.pos.y - before.y};
    p.angle = SlgAtan2(p.velocity.y + 1, p.velocity.x + 1);
    if (OutsideBox(p.pos, 360, 256) && f > 0) {
      EndPetal(t);
      return;
    }
  } else {
    if (p.flying == 0) {
      p.flying = 1;
      p.fly_frame = f;
    }
    // Stepped once for every frame since the last call, so a skipped frame still moves it.
    for (; p.fly_frame < f; ++p.fly_frame) TamvikPetalFlyStep(p);
    p.angle = SlgAtan2(p.velocity.y + 1, p.velocity.x + 1) + 128;
  }
  p.obj->x = p.pos.x;
  p.obj->y = p.pos.y;
  PlaceObj(p.obj);
  SlgSprSetRot(p.obj->handle, p.angle);
}

// A petal, made whole at its start (so where it starts does not hang on when it first runs).
void StartPetal(TamvikSpecial& w, int32_t number) {
  char name[48];
  std::snprintf(name, sizeof name, "TamvikSpecial::Hanabira%d", static_cast<int>(number));
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Petal, sizeof(TamvikPetal), name);
  if (t == nullptr) return;
  auto& p = *static_cast<TamvikPetal*>(t->owned[0]);
  w.petal_side = static_cast<int8_t>(-w.petal_side);
  p.start = {(SlgRand20() & 255) * w.petal_side * kPx, -256 * kPx};
  p.speed = 3 * kPx + (SlgRand20() & 0x3FFFF);
  p.zoom = kPx / 2 + (SlgRand20() & 0xFFFF);
  p.factor = ((SlgRand20() & 3) + 1) * 2;
  p.pos = TamvikPetalDrift(p, 0);
  SlgAnmObj* obj = p.obj;
  obj->depth = static_cast<int16_t>(BodyDepth(w) - 1);
  obj->x = p.pos.x;
  obj->y = p.pos.y;
  PlayHeld(w.ctx->effect_anims, 2, obj, &p.set, SURFACE_ROOT);
  SlgSprSetZoom(obj->handle, {p.zoom, p.zoom});
}

constexpr SpawnRule kPetalRule{.interval = 12};

// Steps 2-4: a petal whenever frames / 12 of the petal clock exceeds the count.
void SpawnPetals(TamvikSpecial& w) {
  const int32_t n = SpawnDue(w.petals, kPetalRule, TimelineFrames(w.petal_start));
  if (n >= 0) StartPetal(w, n);
}

// ---- The presentation ----

void ShowCutIn(TamvikSpecial& w, int32_t frames) {
  const int i = frames % 3;
  if (w.cut_in_shown == i && w.cut_in_entry != nullptr) return;
  Ctx().ddraw_spr.DeleteBuffer(&w.cut_in_entry);
  w.cut_in_shown = static_cast<int8_t>(i);
  w.cut_in_entry = SlgSprCreate(CDdrawSpr::kBuffered, w.cut_ins[static_cast<size_t>(i)], 0, 0,
                                SURFACE_ROOT, 0, -1536, 0);
}

int StageFadeIn(TamvikSpecial& /*w*/) {
  EnterSpecialScene();
  return kTimelineNextRow;
}
void StageCycle(TamvikSpecial& w) { ShowCutIn(w, TimelineFrames(w.presentation.clock.start)); }
void StageBgFade(TamvikSpecial& w) {
  const int32_t f = TimelineFrames(w.presentation.clock.start);
  StageCycle(w);
  if (w.bg == nullptr) return;
  Ctx().ddraw_spr.SetSpriteAlpha(w.bg, std::max(0, (60 - f) * 256 / 60));
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}
int StageBgGone(TamvikSpecial& w) {
  Ctx().ddraw_spr.DeleteBuffer(&w.bg_entry);
  Ctx().ddraw_spr.DeleteSprite(&w.bg);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return kTimelineNextRow;
}
SlgAnmObj* BodyObj(TamvikSpecial& w) { return Obj(w, 0); }
int StageCutInsGone(TamvikSpecial& w) {
  DeleteCutIns(w);
  SlgSprSetAlpha(Obj(w, 0), 0x30040);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return kTimelineNextRow;
}
int StageFadeOut(TamvikSpecial& /*w*/) {
  SlgFadeOut(30);
  return kTimelineNextRow;
}
int StageUnitsBack(TamvikSpecial& /*w*/) {
  LeaveSpecialScene();
  SlgFadeIn(30);
  return kTimelineNextRow;
}

using PWait = TimelineWait<TamvikSpecial>;
constexpr TimelineRow<TamvikSpecial> kStages[] = {
    {PWait::AtOnce(), &StageFadeIn},
    {PWait::FadeEnd()},
    {PWait::Frames(60), nullptr, kTimelineNextRow, 0, &StageCycle},
    {PWait::Frames(60), &StageBgGone, kTimelineNextRow, 0, &StageBgFade},
    // The body's frame 12, or its end (a shorter body, or none).
    {PWait::AnmFrame(&BodyObj, 12), &StageCutInsGone, kTimelineNextRow, 0, &StageCycle},
    {PWait::Frames(30), &StageFadeOut},
    {PWait::Frames(30), &StageUnitsBack},
    {PWait::Frames(30)},
};
constexpr PresentationScript<TamvikSpecial> kPresentation{
    .stages = kStages, .reports = (1u << 1) | (1u << 4) | (1u << 6) | (1u << 7)};

int Present(TamvikSpecial& w) { return StepPresentation(kPresentation, w.presentation, w); }

// ---- The special's steps ----

int Setup(TamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 2);
  w.bg = CutSpecialPicture(unit, 0, 96, 144);
  w.bg_entry =
      SlgSprCreate(CDdrawSpr::kBuffered, w.bg, 0, 0, SURFACE_ROOT, 0, 511, 0);
  for (int i = 0; i < 3; ++i) {
    SprRec* s = CutSpecialPicture(unit, i + 1, 160, 80);
    Ctx().ddraw_spr.SetSpriteAlpha(s, 0x10080);
    w.cut_ins[static_cast<size_t>(i)] = s;
  }
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(TamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  HideTargets(Battle().target_count);
  if (!StartSceneObjects(ctx, unit, 4)) {
    GiveBackSpecial(w);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  w.petal_side = (SlgRand20() & 1) != 0 ? 1 : -1;
  w.petal_start = TimelineNow();
  StartPetal(w, 0);
  Present(w);
  return kTimelineNextRow;
}

void Petals(TamvikSpecial& w) { SpawnPetals(w); }

// After the fade: the body runs on, the three effects play.
int EffectsOn(TamvikSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(ctx.effect_anims, 0, ctx.objects[1], SURFACE_ROOT);
  SlgPlayAnm(ctx.effect_anims, 1, ctx.objects[2], SURFACE_ROOT);
  SlgAnmPlayOnce(&ctx.objects[2]->handle);
  SlgPlayAnm(ctx.effect_anims, 4, ctx.objects[3], SURFACE_ROOT);
  SlgAnmPlayOnce(&ctx.objects[3]->handle);
  return kTimelineNextRow;
}

int FlyAway(TamvikSpecial& w) {
  w.petal_mode = kPetalFlyAway;
  return kTimelineNextRow;
}

constexpr SlgAttackRow kThrownRows[] = {{{1, 2}, 0, 0}, {{5, 6}, 0, 0}};

// The ground point under the flying object (it flies at the start's height).
SlgPair Ground(const TamvikSpecial& w) { return {w.flight_pos.x, w.flight_pos.y + w.lift}; }

void FollowCamera(const TamvikSpecial& w) {
  Slg::ScrollToPos(Ground(w));
  Slg::ScrollStep();
}

int Throw(TamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  SlgLayerRestore();
  for (int i = 0; i < 4; ++i) ReleaseObjAnm(ctx.objects[static_cast<size_t>(i)]);
  SlgAnmObj* thrown = ctx.objects[1];
  thrown->mode = 0;
  thrown->depth = -1098;
  PlayAttackAnms(ctx.objects.data(), kThrownRows, 2, unit.dir, ctx, SURFACE_ROOT);
  SlgSprSetAlpha(thrown, 0x10100);
  w.velocity = kTamvikFlight[unit.dir & 3];
  // The object leaves from the unit's place at its cell's height and flies at that height.
  w.flight_start = Slg::RaiseByCellHeight({unit.x, unit.y});
  w.lift = unit.y - w.flight_start.y;
  w.flight_pos = w.flight_start;
  w.cell = SnapPosToCellHeight(unit.x, unit.y).ground;
  w.cell_attr = Slg::CellAttrAtPos(w.cell, 0);
  ShowTargets(Battle().target_count);
  w.petal_mode = kPetalEnd;
  FollowCamera(w);
  return kTimelineNextRow;
}

void PlaceThrown(TamvikSpecial& w) {
  SlgAnmObj* body = Obj(w, 0);
  if (body != nullptr) {
    body->x = w.pos.x;
    body->y = w.pos.y;
    PlaceObj(body);
  }
  if (SlgAnmObj* thrown = Obj(w, 1)) {
    const SlgPair at = Slg::WorldToScreen(w.flight_pos);
    thrown->x = at.x;
    thrown->y = at.y;
    PlaceObj(thrown);
  }
}

// Every target standing in the cell just entered: a hit animation one depth in front of the
// object and the hit signal.
void HitCell(TamvikSpecial& w, const SlgPair& ground) {
  BattleContext& b = Battle();
  const SlgAnmObj* thrown = Obj(w, 1);
  const int16_t depth = static_cast<int16_t>((thrown != nullptr ? thrown->depth : 0) - 1);
  for (int i = 0; i < b.target_count && i < kSlgMaxUnits; ++i) {
    const int slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0) break;
    SlgUnit& target = b.state.units[static_cast<size_t>(slot)];
    if (SamePosCell({target.x, target.y}, ground) == 0) continue;
    AutoPtnChgUnit(3, {target.x, target.y}, depth, 0, *w.unit, kAnmSpecialEffect, SURFACE_ROOT);
    target.flags |= kUnitHitNow;
    ++w.hits;
  }
}

constexpr int kToEnd = 7;
constexpr int kToBounce = 6;

// Step 5, every call: 1 once the flight has ended (its action then picks the step).
int Flight(TamvikSpecial& w) {
  const int32_t f = TimelineFrames(w.clock.start);
  w.flight_pos = KinematicAt(Kinematic{.start = w.flight_start, .velocity = w.velocity}, f).pos;
  PlaceThrown(w);
  const SlgPair ground = Ground(w);
  if (Slg::IsOnMap(ground) == 0) return 1;
  FollowCamera(w);
  if (SamePosCell(ground, w.cell) != 0) return 0;
  w.cell = SnapPosToCellHeight(ground.x, ground.y).ground;
  HitCell(w, ground);
  const uint32_t attr = Slg::CellAttrAtPos(ground, w.cell_attr);
  if (attr == w.cell_attr) return 0;
  w.cell_attr = attr;
  const int32_t height = SlgCellHeightAt(ground.x >> 16, ground.y >> 16) * kCellHeightPixels;
  const bool other_height = height * kPx != w.lift;
  if (!other_height && (attr & ~kTamvikFlightPass) == 0) return 0;
  w.bounced = 1;
  w.bounce_start = w.flight_pos;
  w.deceleration = {-w.velocity.x / 20, -w.velocity.y / 20};
  return 1;
}

int FlightEnded(TamvikSpecial& w) {
  return w.bounced != 0 ? kToBounce : kToEnd;
}

// Step 6: slowing by the deceleration each frame, shrinking by 0.05 a frame.
int Bounce(TamvikSpecial& w) {
  const int32_t f = std::min(TimelineFrames(w.clock.start), 20);
  const int64_t ramp = int64_t{f} * (f + 1) / 2;
  w.flight_pos = {
      static_cast<int32_t>(w.bounce_start.x + int64_t{w.velocity.x} * f + w.deceleration.x * ramp),
      static_cast<int32_t>(w.bounce_start.y + int64_t{w.velocity.y} * f + w.deceleration.y * ramp)};
  w.zoom = f >= 20 ? 0 : kPx - 3276 * f;
  PlaceThrown(w);
  if (SlgAnmObj* thrown = Obj(w, 1)) SlgSprSetZoom(thrown->handle, {w.zoom, w.zoom});
  return f >= 20 ? 1 : 0;
}

void KeepBody(TamvikSpecial& w) { PlaceThrown(w); }

int Finish(TamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  ShowFlaggedUnits();
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<TamvikSpecial>;
constexpr TimelineRow<TamvikSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::SubDone(&Present), &EffectsOn, kTimelineNextRow, 0, &Petals},
    {Wait::SubDone(&Present), &FlyAway, kTimelineNextRow, 0, &Petals},
    {Wait::SubDone(&Present), &Throw, kTimelineNextRow, 0, &Petals},
    {Wait::SubDone(&Flight), &FlightEnded},
    {Wait::SubDone(&Bounce), nullptr, kToEnd},
    {Wait::Frames(30), &Finish, kTimelineStop, 0, &KeepBody},
};

}  // namespace

TamvikWork& TamvikAttackWork() { return Battle().Extension<TamvikWork>(); }

TamvikWork::~TamvikWork() {
  if (HasCtx()) DeletePictures(special);
}

SlgPair TamvikPetalDrift(const TamvikPetal& p, int32_t frames) {
  const int32_t f = std::max(frames, 0);
  const int32_t phase = 16 * f;
  return {p.start.x + SlgCos(phase) * 16 * p.factor,
          static_cast<int32_t>(p.start.y + int64_t{p.speed} * f)};
}

void TamvikPetalFlyStep(TamvikPetal& p) {
  constexpr int32_t kGrow = kPx / 4;
  constexpr int32_t kMax = 32 * kPx;
  p.velocity.x = std::min(p.velocity.x + kGrow, kMax);
  p.velocity.y = std::min(p.velocity.y + kGrow, kMax);
  p.pos.x += p.velocity.x;
  p.pos.y += p.velocity.y;
  if (p.pos.x > 360 * kPx) p.pos.x -= 720 * kPx;
  if (p.pos.y > 256 * kPx) p.pos.y -= 512 * kPx;
}

namespace Tamvik {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  TamvikWork& w = TamvikAttackWork();
  if (unit.step == 0) {
    w.layered = LayeredAttack{};
    w.ctx = CreateAttackCtx(unit);
    if (w.ctx == nullptr) return;  // EndAttack has run
    w.layered.ctx = w.ctx;
    w.layered.user = &w;
    unit.step = 1;
    return;
  }
  const uint8_t type = unit.stats.attack_type;
  const LayeredForm& form = type == kTypeCritical ? kCriticalForm
                            : type == kTypeThree  ? kTypeThreeForm
                                                  : kNormalForm;
  RunLayeredAttack(w.layered, form, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  TamvikSpecial& w = Special();
  if (unit.step == 0) {
    GiveBackSpecial(w);  // an attack cut short by a stage switch
    w = TamvikSpecial{};
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Tamvik
