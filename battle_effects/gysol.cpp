// Player kind 11's attacks (battle_effects/gysol.h).

#include "battle_effects/gysol.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint16_t kMirrored = 16;
constexpr int32_t kBubbleWait = 60;  // frames from the objects' start to the bubbles
constexpr int32_t kRiseSpeed = 4 * kPx;
constexpr int32_t kRiseAbove = 128 * kPx;
constexpr int32_t kHitAbove = 64 * kPx;
constexpr int32_t kAmplitude = 20 * kPx;
constexpr int32_t kAmplitudeFall = 20;  // frames
constexpr int32_t kPhaseStep = 8;
constexpr uint16_t kFlagsSceneEnd = 0x46;  // SlgFlags bits 1, 2 and 6
constexpr uint16_t kFlagBit6 = 0x40;

// Effect animations of the bubbles.
constexpr uint32_t kAnimBubble = 9;
constexpr uint32_t kAnimCriticalBubble = 14;
constexpr uint32_t kAnimBurst = 10;
constexpr uint32_t kAnimPop = 11;
constexpr uint32_t kAnimCriticalEnd = 12;
constexpr uint32_t kAnimCriticalPop = 13;

constexpr SpawnRule kCriticalPops{.interval = 5, .first = 0, .limit = 5};

GysolNormal& Normal() { return GysolAttackWork().normal; }
GysolSpecial& Special() { return GysolAttackWork().special; }

int32_t Sign(bool negative, int32_t v) { return negative ? -v : v; }
// A random value below `n` pixels with a random sign, 16.16 (value first, then the sign).
int32_t RandomOffset(int32_t n) {
  const int32_t v = (SlgRand20() % n) * kPx;
  return Sign((SlgRand20() & 1) != 0, v);
}
uint16_t RandomMirror() { return (SlgRand20() & 1) != 0 ? kMirrored : 0; }

SlgAnmObj* CtxObj(const SlgAttackCtx* ctx, int i) {
  if (ctx == nullptr || i >= ctx->object_count) return nullptr;
  return ctx->objects[static_cast<size_t>(i)];
}

// ---- Bubbles ----

SlgPair BubbleScreen(const GysolBubble& b, bool wobble) {
  SlgPair at = Slg::WorldToScreen(b.pos);
  at.y -= b.height;
  if (wobble) at.y -= static_cast<int32_t>(int64_t{SlgSin(b.phase)} * b.amplitude / 16384);
  return at;
}

void EndBubble(SlgEffectTask* t) {
  auto& b = *static_cast<GysolBubble*>(t->owned[0]);
  GysolNormal& w = Normal();
  if (w.live > 0) --w.live;
  if (b.index < kGysolBubbles && w.bubbles[b.index] == t) w.bubbles[b.index] = nullptr;
  SprAnm* set = b.set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

void BubblePlay(GysolBubble& b, uint32_t anim, uint16_t attr) {
  b.obj->mode = kSlgAnmOnce;
  SlgPlayAnmAttr(b.set, anim, b.obj, SURFACE_ROOT, attr);
}

// The stage begins after the frame being stepped: its first frame is the next.
void BubbleStage(GysolBubble& b, uint8_t stage) {
  b.stage = stage;
  b.stage_frame = b.stepped;
}

// Sinks 1 px a frame toward `floor`, the wobble dying away; true once there.
bool Sink(GysolBubble& b, int32_t floor) {
  const int32_t f = b.stepped - b.stage_frame;  // frames of the stage, this one included
  b.amplitude = kAmplitude * std::max(kAmplitudeFall - f, 0) / kAmplitudeFall;
  b.height -= kPx;
  if (b.height > floor) return false;
  b.height = floor;
  return true;
}

// At the destination: a hit for types other than 3 when the unit on the cell is a target.
bool IsHit(const GysolBubble& b) {
  if (b.type == 3) return false;
  const uint16_t slot = Slg::UnitAtPos(b.dest);
  return slot != kSlgNoUnit && FindTargetSlot(slot) >= 0;
}

void Hit(GysolBubble& b) {
  // The burst on the spot: the destination raised by the bubble's height over its ground.
  const SlgPair spot{b.dest.x, b.dest.y - (b.height - b.dest_ground)};
  AutoPtnChg(kAnimBurst, spot, b.obj->depth, 0, b.set, SURFACE_ROOT);
  if (b.type != 2) {
    BubblePlay(b, kAnimPop, RandomMirror());
    BubbleStage(b, kGysolBubblePop);
    return;
  }
  BubblePlay(b, kAnimCriticalPop, RandomMirror());
  SlgMotionInit(b.motion, kGysolCriticalKeys, 32, 16);
  b.motion_frames = 0;
  BubbleStage(b, kGysolBubbleCritical);
}

// A critical pop: effect 10 within 63 px of the bubble each way, 32 px up.
void CriticalPop(const GysolBubble& b) {
  SlgPair at = BubbleScreen(b, true);
  at.x += RandomOffset(64);
  at.y += RandomOffset(64) - 32 * kPx;
  AutoPtnChg2(kAnimBurst, at, b.obj->depth, 0, b.set, SURFACE_ROOT);
}

// One frame of the bubble.
void StepBubble(GysolBubble& b) {
  const int32_t f = b.stepped - b.stage_frame;  // frames of the stage, this one included
  switch (b.stage) {
    case kGysolBubbleWait:
      if (b.stepped + 1 < b.delay) break;
      SlgAnmShow(b.obj->handle);
      BubbleStage(b, kGysolBubbleRise);
      break;
    case kGysolBubbleRise:
      // A bubble that starts above the mark (from raised ground) heads off at once.
      if (b.height < b.dest_ground + kRiseAbove) {
        b.height = std::min(b.height + kRiseSpeed, b.dest_ground + kRiseAbove);
        if (b.height < b.dest_ground + kRiseAbove) break;
      }
      GysolBubbleAim(b);
      BubbleStage(b, kGysolBubbleTravel);
      break;
    case kGysolBubbleTravel:
      if (f <= b.travel) {
        b.pos.x += b.velocity.x;
        b.pos.y += b.velocity.y;
      }
      if (f < b.travel) break;
      b.pos = b.dest;
      b.hit = IsHit(b);
      BubbleStage(b, b.hit ? kGysolBubbleHitSink : kGysolBubbleSink);
      break;
    case kGysolBubbleSink:
      if (!Sink(b, b.dest_ground)) break;
      BubblePlay(b, kAnimBurst, 0);
      BubbleStage(b, kGysolBubbleLanded);
      break;
    case kGysolBubbleHitSink:
      if (Sink(b, b.dest_ground + kHitAbove)) Hit(b);
      break;
    case kGysolBubbleCritical: {
      const int32_t due = SpawnDue(b.pops, kCriticalPops, f - 1);
      if (due >= 0) CriticalPop(b);
      ++b.motion_frames;
      if (SlgMotionStep(b.motion) != 0) break;
      BubblePlay(b, kAnimCriticalEnd, b.obj->attr);
      BubbleStage(b, kGysolBubblePop);
      break;
    }
    default:  // a burst playing until its end
      break;
  }
  b.phase += kPhaseStep;
}

void Bubble(SlgEffectTask* t) {
  auto& b = *static_cast<GysolBubble*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndBubble(t);
    return;
  }
  for (; b.stepped < t->frames; ++b.stepped) StepBubble(b);
  const bool bursting = b.stage == kGysolBubbleLanded || b.stage == kGysolBubblePop;
  if (bursting && SlgAnmObjIsEnd(b.obj) != 0) {
    EndBubble(t);
    return;
  }
  b.obj->depth = GysolBubbleDepth(b.pos);
  if (b.obj->handle == nullptr) return;
  const SlgPair at = BubbleScreen(b, true);
  SlgSprSetPos(b.obj->handle, at);
  SlgSprSetPri(b.obj->handle, b.obj->depth);
  if (b.stage == kGysolBubbleCritical) SlgSprSetZoom(b.obj->handle, {b.motion.x, b.motion.y});
}

void StartBubbles(GysolNormal& w, const SlgUnit& unit) {
  w.bubbles_started = true;
  for (int i = 0; i < kGysolBubbles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Gysolu::Bubble%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&Bubble, sizeof(GysolBubble), name);
    if (t == nullptr) continue;
    auto& b = *static_cast<GysolBubble*>(t->owned[0]);
    GysolBubbleStart(b, i, {unit.x, unit.y}, unit.stats.attack_type);
    b.obj->depth = GysolBubbleDepth(b.pos);
    b.obj->mode = 0;
    b.obj->x = BubbleScreen(b, false).x;
    b.obj->y = BubbleScreen(b, false).y;
    PlayHeld(w.ctx->effect_anims, b.type == 2 ? kAnimCriticalBubble : kAnimBubble, b.obj, &b.set,
             SURFACE_ROOT);
    SlgAnmHide(b.obj->handle);
    w.bubbles[static_cast<size_t>(i)] = t;
    ++w.live;
  }
}

// ---- The normal attack's hooks ----

void NormalStarted(LayeredAttack& a) {
  auto& w = *static_cast<GysolNormal*>(a.user);
  w.start = TimelineNow();
}

// Object 0 on the drawing position, objects 1 and 2 at the mouth; the bubbles once 60 frames
// have passed.
void NormalFollow(LayeredAttack& a) {
  auto& w = *static_cast<GysolNormal*>(a.user);
  const GysolOffset mouth = kGysolMouth[static_cast<size_t>(a.unit->dir & 3)];
  for (int i = 0; i < 3; ++i) {
    SlgAnmObj* obj = CtxObj(w.ctx, i);
    if (obj == nullptr) continue;
    obj->x = a.pos.x + (i == 0 ? 0 : mouth.x * kPx);
    obj->y = a.pos.y + (i == 0 ? 0 : mouth.y * kPx);
    PlaceObj(obj);
  }
  if (!w.bubbles_started && TimelineFrames(w.start) >= kBubbleWait) StartBubbles(w, *a.unit);
}

int NormalBubblesDone(LayeredAttack& a) {
  NormalFollow(a);
  const auto& w = *static_cast<GysolNormal*>(a.user);
  return w.bubbles_started && w.live <= 0 ? 1 : 0;
}

void NormalFinish(LayeredAttack& a) {
  auto& w = *static_cast<GysolNormal*>(a.user);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
}

constexpr LayeredForm kNormalForm{.rows = kGysolNormalRows,
                                  .flag_one = kLayeredAll,
                                  .once = LayeredBit(1) | LayeredBit(2),
                                  .count = LayeredCount::kEvery,
                                  .final_wait = 30,
                                  .started = &NormalStarted,
                                  .each = &NormalFollow,
                                  .follow_up = &NormalBubblesDone,
                                  .finish = &NormalFinish};

// ---- Stars ----

void EndStar(SlgEffectTask* t) {
  auto& s = *static_cast<GysolStar*>(t->owned[0]);
  GysolSpecial& w = Special();
  if (w.stars > 0) --w.stars;
  for (SlgEffectTask*& known : w.star_tasks) {
    if (known == t) known = nullptr;
  }
  ReleaseObjAnm(s.obj2);  // the object itself goes with owned slot 1
  SprAnm* set = s.set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

void Star(SlgEffectTask* t) {
  auto& s = *static_cast<GysolStar*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndStar(t);
    return;
  }
  for (; s.stepped < t->frames; ++s.stepped) {
    s.pos.x += s.velocity.x;
    s.pos.y += s.velocity.y;
  }
  if (Slg::InViewArea(s.pos.x >> 16, s.pos.y >> 16) == 0) {
    EndStar(t);
    return;
  }
  const int32_t zoom = GysolStarZoom(t->frames);
  for (SlgAnmObj* obj : {s.obj, s.obj2}) {
    obj->x = s.pos.x;
    obj->y = s.pos.y;
    PlaceObj(obj);
    SlgSprSetZoom(obj->handle, {zoom, zoom});
  }
}

void StartStars(GysolSpecial& w) {
  const SlgAnmObj* body = CtxObj(w.ctx, 0);
  const int16_t depth = body != nullptr ? body->depth : 0;
  for (int i = 0; i < kGysolStars; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Gysol::Star%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&Star, sizeof(GysolStar), name);
    if (t == nullptr) continue;
    auto& s = *static_cast<GysolStar*>(t->owned[0]);
    s.obj2 = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
    if (s.obj2 == nullptr) {
      SlgTaskEndAnmWork(t);
      continue;
    }
    t->owned[1] = s.obj2;
    s.pos = {0, 144 * kPx};
    s.velocity = SlgPolarToXY(kGysolStarSpeed, 16 * i);
    s.obj->depth = static_cast<int16_t>(depth + 2);
    s.obj2->depth = static_cast<int16_t>(depth + 1);
    for (SlgAnmObj* obj : {s.obj, s.obj2}) {
      obj->x = s.pos.x;
      obj->y = s.pos.y;
    }
    PlayHeld(w.ctx->effect_anims, 1, s.obj, &s.set, SURFACE_ROOT);
    PlayHeld(w.ctx->effect_anims, 0, s.obj2, &s.set, SURFACE_ROOT);
    w.star_tasks[static_cast<size_t>(i)] = t;
    ++w.stars;
  }
}

// ---- The special's pictures ----

void DeleteSixPictures(GysolSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.flip_entry);
  w.flip_shown = -1;
  for (SprRec*& s : w.pictures) sprites.DeleteSprite(&s);
}

void DeleteZoomPictures(GysolSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.blank_entry);
  sprites.DeleteSprite(&w.blank);
  sprites.DeleteSprite(&w.picture7);
}

void DeletePictures(GysolSpecial& w) {
  DeleteZoomPictures(w);
  DeleteSixPictures(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GysolSpecial& w) {
  for (SlgEffectTask*& t : w.star_tasks) {
    if (t != nullptr && SlgTaskIsAlive(t) != 0) SlgTaskStop(t);
    t = nullptr;
  }
  FreeSceneCtx(w.ctx);
  if (w.effect2 != nullptr) ReleaseUnitAnm(&w.effect2);
  w.effect2 = nullptr;
  if (HasCtx()) DeletePictures(w);
}

void LoadPictures(GysolSpecial& w, const SlgUnit& unit) {
  if (LoadAttackBg(unit, 6, SURFACE_ROOT, nullptr) == 0) {
    DebugPrint("Gysol::SpecialAttack: kind %d has no background 6\n", unit.kind);
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (int i = 0; i < kGysolPictures; ++i) {
    SprRec*& s = w.pictures[static_cast<size_t>(i)];
    s = CutSpecialPicture(unit, i, 0, 0);
    int width = 0, height = 0;
    if (sprites.GetSpriteSize(s, &width, &height) != 0) {
      // Centred on (296, 206).
      s->x = 296 - width / 2;
      s->y = 206 - height / 2;
      sprites.ResetSpriteRect(s);
    }
  }
  Ctx().ddraw.FillSurfaceRect(SURFACE_SCRATCH, 0, 0, 640, 480, 1);
  w.blank = CutWorkBox(640, 480);
  if (w.blank != nullptr) {
    const int16_t depth = unit.anm != nullptr ? unit.anm->depth : 0;
    w.blank_entry =
        SlgSprCreate(CDdrawSpr::kBuffered, w.blank, 0, 0, SURFACE_ROOT, 1, depth + 2, 0);
  }
  w.picture7 = CutSpecialPicture(unit, 7, 0, 0);
}

void ShowFlip(GysolSpecial& w, int picture) {
  if (w.flip_shown == picture && w.flip_entry != nullptr) return;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.flip_entry);
  w.flip_shown = static_cast<int8_t>(picture);
  SprRec* s = w.pictures[static_cast<size_t>(picture)];
  if (s != nullptr) {
    w.flip_entry = SlgSprCreate(CDdrawSpr::kBuffered, s, 0, 0, SURFACE_ROOT, 0, kSlgDepthBack, 0);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// ---- The scene ----

int SceneEnter(GysolSpecial& /*w*/) {
  EnterSpecialScene();
  return kTimelineNextRow;
}

int SceneStars(GysolSpecial& w) {
  StartStars(w);
  ShowFlip(w, 0);
  return kTimelineNextRow;
}

void SceneZoom(GysolSpecial& w) {
  const int32_t f = TimelineFrames(w.scene.clock.start);
  if (f >= 30 || w.blank == nullptr || w.picture7 == nullptr) return;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  int width = 0, height = 0;
  sprites.GetSpriteSize(w.picture7, &width, &height);
  w.zoom = GysolZoom(f);
  // Zoomed about its centre, which lands on (320, 384) (the picture's home is (0, 0)).
  sprites.PutSpriteEx(w.picture7, 320, 384, sprites.GetSpriteSurface(w.blank), 1, 0, nullptr,
                      w.zoom, w.zoom, 0, nullptr, width / 2, height / 2, CDdrawSpr::kOpaque);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int SceneFlipStart(GysolSpecial& w) {
  DeleteZoomPictures(w);
  w.flip_start = TimelineNow();
  ShowFlip(w, 0);
  return kTimelineNextRow;
}

int SceneFlip(GysolSpecial& w) {
  const int row = GysolFlipRowAt(TimelineFrames(w.flip_start));
  const int8_t picture = kGysolFlipBook[static_cast<size_t>(row)].picture;
  if (picture < 0) return 1;
  ShowFlip(w, picture);
  return 0;
}

int SceneFlipEnd(GysolSpecial& w) {
  Ctx().ddraw_spr.DeleteBuffer(&w.flip_entry);
  w.flip_shown = -1;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return kTimelineNextRow;
}

int Held(GysolSpecial& /*w*/) { return 0; }

int SceneWhiteOut(GysolSpecial& /*w*/) {
  SlgWhiteOut(90);
  return kTimelineNextRow;
}

int SceneCleanUp(GysolSpecial& w) {
  ShowFlaggedUnits();
  Battle().flags |= kFlagsSceneEnd;
  SlgLayerRestore();
  SlgClearLayer(SURFACE_ROOT);
  DeleteSixPictures(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  SlgWhiteIn(60);
  return kTimelineNextRow;
}

using SWait = TimelineWait<GysolSpecial>;
constexpr TimelineRow<GysolSpecial> kScene[] = {
    {SWait::AtOnce(), &SceneEnter},                                             // 0
    {SWait::FadeEnd()},                                                         // 1: reports
    {SWait::Frames(59), &SceneStars},                                           // 2
    {SWait::Frames(30), &SceneFlipStart, kTimelineNextRow, 0, &SceneZoom},      // 3
    {SWait::SubDone(&SceneFlip)},                                               // 4: reports
    {SWait::AtOnce(), &SceneFlipEnd},                                           // 5
    {SWait::SubDone(&Held)},                                                    // 6: held
    {SWait::AtOnce(), &SceneWhiteOut},                                          // 7
    {SWait::FadeEnd()},                                                         // 8: reports
    {SWait::AtOnce(), &SceneCleanUp},                                           // 9
    {SWait::FadeEnd()},                                                         // 10: reports
};
static_assert(kGysolSceneHold == 6 && kGysolSceneWhiteOut == 7);
constexpr PresentationScript<GysolSpecial> kSceneScript{
    .stages = kScene, .reports = (1u << 1) | (1u << 4) | (1u << 8) | (1u << 10)};

int Scene(GysolSpecial& w) { return StepPresentation(kSceneScript, w.scene, w); }
void KeepScene(GysolSpecial& w) { Scene(w); }

// ---- The special's steps ----

SlgAnmObj* Obj2(GysolSpecial& w) { return CtxObj(w.ctx, 2); }

int Setup(GysolSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  w.effect2 = GetUnitAnm(unit.kind, kAnmSpecialEffect2);
  if (w.effect2 == nullptr) {
    DebugPrint("Gysol::SpecialAttack: kind %d has no SPECIAL_EFFECT2: the attack ends\n",
               unit.kind);
    GiveBackSpecial(w);
    EndAttack(unit);
    return kTimelineStop;
  }
  SlgLayerOn(SURFACE_ROOT, 3);
  LoadPictures(w, unit);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(GysolSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  HideTargets(Battle().target_count);
  if (!StartSceneObjects(ctx, unit, 3)) {
    GiveBackSpecial(w);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.objects[1]->depth = static_cast<int16_t>(ctx.objects[1]->depth + 3);
  ctx.objects[2]->depth = static_cast<int16_t>(ctx.objects[2]->depth + 4);
  ctx.objects[0]->x = -16 * kPx;
  ctx.objects[0]->y = 176 * kPx;
  for (int i = 1; i < 3; ++i) {
    ctx.objects[static_cast<size_t>(i)]->x = -144 * kPx;
    ctx.objects[static_cast<size_t>(i)]->y = -144 * kPx;
  }
  PlaceObj(ctx.objects[0]);
  Scene(w);
  return kTimelineNextRow;
}

int BodyRuns(GysolSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(w.effect2, 1, ctx.objects[1], SURFACE_ROOT);
  ++w.burst.mode;
  return kTimelineNextRow;
}

int Effect4(GysolSpecial& w) {
  SlgPlayAnm(w.ctx->effect_anims, 4, w.ctx->objects[2], SURFACE_ROOT);
  return kTimelineNextRow;
}

int Effect2Zero(GysolSpecial& w) {
  SlgPlayAnm(w.effect2, 0, w.ctx->objects[2], SURFACE_ROOT);
  return kTimelineNextRow;
}

int ToWhiteOut(GysolSpecial& w) {
  w.scene.stage = kGysolSceneWhiteOut;
  ++w.burst.mode;
  return kTimelineNextRow;
}

int BackOnMap(GysolSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  for (int i = 0; i < 3; ++i) ReleaseObjAnm(ctx.objects[static_cast<size_t>(i)]);
  SlgAnmObj* body = ctx.objects[0];
  body->x = w.pos.x;
  body->y = w.pos.y;
  uint16_t attr = 0;
  if (unit.anm != nullptr) {
    body->depth = unit.anm->depth;
    attr = unit.anm->attr;
  }
  SlgPlayAnmAttr(ctx.body_anims, 1, body, SURFACE_ROOT, attr);
  Scene(w);  // the clean-up
  ShowTargets(Battle().target_count);
  ++w.burst.mode;
  return kTimelineNextRow;
}

void ClearBit6(GysolSpecial& w) {
  Battle().flags = static_cast<uint16_t>(Battle().flags & ~kFlagBit6);
  Scene(w);
}

int RaiseBurst(GysolSpecial& w) {
  ++w.burst.mode;
  return kTimelineNextRow;
}

int Finish(GysolSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  ShowFlaggedUnits();
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GysolSpecial>;
constexpr TimelineRow<GysolSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},                                                      // 0
    {Wait::AtOnce(), &Begin},                                                      // 1
    {Wait::SubDone(&Scene), &BodyRuns},                                            // 2
    {Wait::SubDone(&Scene), &Effect4},                                             // 3
    {Wait::AnmEnd(&Obj2), &Effect2Zero, kTimelineNextRow, 0, &KeepScene},          // 4
    {Wait::AnmEnd(&Obj2), &ToWhiteOut, kTimelineNextRow, 0, &KeepScene},           // 5
    {Wait::SubDone(&Scene)},                                                       // 6
    {Wait::AtOnce(), &BackOnMap},                                                  // 7
    {Wait::Frames(120), &RaiseBurst, kTimelineNextRow, 0, &ClearBit6},             // 8
    {Wait::Frames(120), &Finish, kTimelineStop, 0, &KeepScene},                    // 9
};

// ---- Bursts ----

void SmallBurst(const SlgUnit& unit, const SlgAnmObj& body) {
  SlgPair at{body.x, body.y};
  at.x += RandomOffset(64);
  at.y += RandomOffset(64) - 40 * kPx;
  AutoPtnChg2Unit(3, at, static_cast<int16_t>(body.depth - 1), 0, unit, kAnmSpecialEffect,
                  SURFACE_ROOT);
}

void WideBurst(const SlgUnit& unit, const SlgAnmObj& body) {
  SlgPair at{body.x, body.y};
  at.x += RandomOffset(300) - 40 * kPx;
  at.y += RandomOffset(220) - 112 * kPx;
  const auto depth = static_cast<int16_t>((SlgRand20() + body.depth - 2) & 3);
  AutoPtnChg2Unit(2, at, depth, RandomMirror(), unit, kAnmSpecialEffect, SURFACE_ROOT);
}

void UnitBurst(const SlgUnit& unit) {
  SlgPair at = SlgMapToScreen(unit);
  at.x += RandomOffset(96) - 40 * kPx;
  at.y += RandomOffset(48) - 112 * kPx;
  const int16_t body = unit.anm != nullptr ? unit.anm->depth : 0;
  const auto depth = static_cast<int16_t>(body - (unit.lift >> 16) / 2);
  AutoPtnChg2Unit(2, at, depth, RandomMirror(), unit, kAnmSpecialEffect, SURFACE_ROOT);
}

// The schedule of a mode; false for the modes that make nothing.
bool BurstRule(uint8_t mode, SpawnRule& rule) {
  switch (mode) {
    case 2: rule = {.interval = 25, .first = 1}; return true;
    case 3:
    case 4: rule = {.interval = 7}; return true;
    case 6:
    case 7: rule = {.interval = 10}; return true;
    default: return false;
  }
}

}  // namespace

// ---- Exposed pieces ----

const SlgMotionKey kGysolCriticalKeys[3] = {{1, 16, 1}, {32, 80, 20}, {0, 0, 0}};

GysolWork& GysolAttackWork() { return Battle().Extension<GysolWork>(); }

GysolWork::~GysolWork() {
  if (special.effect2 != nullptr && HasBattle()) ReleaseUnitAnm(&special.effect2);
  if (HasCtx()) DeletePictures(special);
}

int GysolFlipRowAt(int32_t frames) {
  int32_t at = 0;
  for (size_t row = 0; row + 1 < kGysolFlipBook.size(); ++row) {
    at += kGysolFlipBook[row].frames;
    if (frames < at) return static_cast<int>(row);
  }
  return static_cast<int>(kGysolFlipBook.size() - 1);
}

int32_t GysolZoom(int32_t frames) {
  return static_cast<int32_t>(int64_t{std::max(frames, 0)} * kGysolStarSpeed / 140);
}

int32_t GysolStarZoom(int32_t frames) { return kPx + std::max(frames, 0) * 4369; }

int32_t GysolGround(const SlgPair& pos) {
  return static_cast<int32_t>(Slg::CellAttrAtPos(pos, 0) & kSlgCellHeightMask) *
         kSlgCellHeightPixels * kPx;
}

int16_t GysolBubbleDepth(const SlgPair& pos) {
  const SlgPoint cell = SnapPosToCell(pos.x >> 16, pos.y >> 16);
  return static_cast<int16_t>(SlgCalcDepth(cell.x, cell.y) - 16);
}

void GysolBubbleStart(GysolBubble& b, int index, const SlgPair& at, uint8_t type) {
  const int quadrant = index & 3;
  const int32_t dx = (SlgRand20() % 48) * kPx;
  const int32_t dy = (SlgRand20() % 48) * kPx;
  b.index = static_cast<uint8_t>(index);
  b.type = type;
  b.pos = {at.x + Sign(quadrant == 0 || quadrant == 3, dx),
           at.y + Sign(quadrant == 0 || quadrant == 1, dy)};
  const GysolOffset& to = kGysolBubbleOffsets[static_cast<size_t>(index % kGysolBubbles)];
  b.dest = {at.x + to.x * kPx, at.y + to.y * kPx};
  b.start_ground = GysolGround(b.pos);
  b.dest_ground = GysolGround(b.dest);
  b.height = b.start_ground + (SlgRand20() % 96) * kPx;
  b.amplitude = kAmplitude;
  b.delay = SlgRand20() % 16;
  b.stage = kGysolBubbleWait;
}

void GysolBubbleAim(GysolBubble& b) {
  const int32_t dx = b.dest.x - b.pos.x;
  const int32_t dy = b.dest.y - b.pos.y;
  b.velocity = SlgPolarToXY(kPx, SlgAtan2(dy, dx));
  // The larger distance over its own velocity component.
  const bool by_x = std::abs(int64_t{dx}) >= std::abs(int64_t{dy});
  const int64_t distance = std::abs(int64_t{by_x ? dx : dy});
  const int64_t speed = std::abs(int64_t{by_x ? b.velocity.x : b.velocity.y});
  b.travel = speed == 0 ? 0 : static_cast<int32_t>(distance / speed);
}

void GysolRunBursts(GysolBurst& burst, const SlgUnit& unit, const SlgAnmObj* body) {
  if (burst.mode == 0) burst.mode = 1;
  if (burst.scheduled != burst.mode) {
    burst.scheduled = burst.mode;
    burst.start = TimelineNow();
    burst.spawner = Spawner{};
  }
  SpawnRule rule;
  if (!BurstRule(burst.mode, rule)) return;
  if (SpawnDue(burst.spawner, rule, TimelineFrames(burst.start)) < 0) return;
  ++burst.bursts;
  if (burst.mode >= 6) {
    UnitBurst(unit);
    return;
  }
  if (body == nullptr) return;
  SmallBurst(unit, *body);
  if (burst.mode >= 3) WideBurst(unit, *body);
}

namespace Gysol {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  GysolNormal& w = Normal();
  if (unit.step == 0) {
    w = GysolNormal{};
    w.ctx = CreateAttackCtx(unit, &EndNormalAttack);
    if (w.ctx == nullptr) return;  // EndNormalAttack has run
    w.layered.ctx = w.ctx;
    w.layered.user = &w;
    unit.step = 1;
    return;
  }
  RunLayeredAttack(w.layered, kNormalForm, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  GysolSpecial& w = Special();
  if (unit.step == 0) {
    GiveBackSpecial(w);  // an attack cut short by a stage switch
    w = GysolSpecial{};
    w.flip_shown = -1;
    w.burst.scheduled = 0xFF;
  }
  w.unit = &unit;
  w.pos = pos;
  if (RunTimeline(kSpecialSteps, unit.step, w.clock, w) == kTimelineStop) return;
  GysolRunBursts(w.burst, unit, CtxObj(w.ctx, 0));
}

}  // namespace Gysol
