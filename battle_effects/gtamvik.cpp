// Player kind 8's attacks (battle_effects/gtamvik.h).

#include "battle_effects/gtamvik.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = kGtamvikPx;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int16_t kPictureDepth = -1536;
constexpr int16_t kFrontDepth = -1099;
constexpr int32_t kCurtainStart = 320 * kPx;
constexpr int32_t kCurtainOpen = 640 * kPx;
constexpr int32_t kCurtainSpeed = 16 * kPx;
constexpr BlendWord kCycleAlpha = 0x10080;
constexpr BlendWord kShotAlpha = 0x10100;
constexpr uint16_t kNoUnit = 65535;

GtamvikSpecial& Special() { return GtamvikAttackWork().special; }

// ---- The normal attack ----

constexpr SlgAttackRow kType0[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 1}, {{6, 7}, 0, 0}};
constexpr SlgAttackRow kType2[] = {
    {{2, 3}, 0, 0}, {{2, 3}, 0, 1}, {{4, 5}, 1, 0}, {{6, 7}, 0, 0}, {{8, 9}, 0, 0}};
constexpr PlayerNormalForms kNormalForms{PlayerHeldNormalForm(kType0),
                                         PlayerHeldNormalForm(kType2),
                                         PlayerHeldNormalForm(std::span(kType0).first(2))};

// ---- Shared pieces ----

SlgAnmObj* Obj(const GtamvikSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}
SlgAnmObj* BodyObj(GtamvikSpecial& w) { return Obj(w, 0); }

int16_t BodyDepth(const GtamvikSpecial& w) {
  const SlgAnmObj* body = Obj(w, 0);
  return body != nullptr ? body->depth : 0;
}

bool IsTarget(uint16_t slot) {
  const BattleContext& b = Battle();
  for (int i = 0; i < b.target_count && i < kSlgMaxUnits; ++i) {
    if (b.targets[static_cast<size_t>(i)] == slot) return true;
  }
  return false;
}

// A point-move of the family's block, from `point` at `velocity` with `acceleration`; null (and
// nothing moving) when every one is taken or the engine refuses it.
GtamvikMover* TakeMover(const AnimePoint& point, const AnimePoint& velocity,
                        const AnimePoint& acceleration) {
  for (GtamvikMover& m : GtamvikAttackWork().movers) {
    if (m.taken) continue;
    m = GtamvikMover{};
    m.point = point;
    m.velocity = velocity;
    m.acceleration = acceleration;
    m.handle = Ctx().anime.CreatePointMove(&m.point, &m.velocity, &m.acceleration, 0);
    if (m.handle == nullptr) return nullptr;
    m.taken = true;
    return &m;
  }
  return nullptr;
}

void GiveBackMover(GtamvikMover*& m) {
  if (m == nullptr) return;
  Ctx().anime.DeleteRef(&m->handle);
  m->taken = false;
  m = nullptr;
}

void GiveBackMovers(GtamvikWork& work) {
  for (GtamvikMover& m : work.movers) {
    Ctx().anime.DeleteRef(&m.handle);
    m.taken = false;
  }
  work.special.curtain_move = nullptr;
}

void DeleteCurtain(GtamvikSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.left);
  sprites.DeleteBuffer(&w.right);
  sprites.DeleteSprite(&w.curtain);
}

void DeleteCycle(GtamvikSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.cycle_entry);
  for (SprRec*& s : w.cycle) sprites.DeleteSprite(&s);
  w.cycle_shown = -1;
}

void DeletePictures(GtamvikSpecial& w) {
  DeleteCurtain(w);
  DeleteCycle(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GtamvikWork& work) {
  FreeSceneCtx(work.special.ctx);
  DeletePictures(work.special);
  GiveBackMovers(work);
}

// ---- Petals ----

struct Petal {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;     // its own reference of SPECIAL_EFFECT
  SlgPair start;   // 16.16 about the screen centre
  int32_t fall;    // 16.16 a frame
  int32_t zoom;
  int32_t sway;    // 1-8
  SlgPair pos;
  int32_t angle;
  int32_t hover_y;  // the height it bobs about
  uint8_t state;    // its own mode: fall, hover, rise
  bool late;        // started in mode 2: it bursts after its delay and first animation
  bool burst;       // effect animation 2 plays
  int32_t delay;
  GtamvikMover* mover;
};

void EndPetal(SlgEffectTask* t) {
  auto& p = *static_cast<Petal*>(t->owned[0]);
  SprAnm* set = p.set;
  GiveBackMover(p.mover);
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

SlgPair PetalFall(const Petal& p, int32_t f) {
  return {p.start.x + SlgCos(16 * f) * 16 * p.sway,
          static_cast<int32_t>(p.start.y + int64_t{p.fall} * std::max(f, 0))};
}

// The rise: from rest, 0.25 pixel a frame faster upward, its speed held within 32 pixels a frame.
void StartRise(Petal& p) {
  p.mover = TakeMover({p.pos.x, p.pos.y}, {}, {0, -kPx / 4});
  if (p.mover == nullptr) return;
  const AnimePoint low{-32 * kPx, -32 * kPx};
  const AnimePoint high{32 * kPx, 32 * kPx};
  Ctx().anime.SetMoveCtrl2(p.mover->handle, &low, &high);
}

void PlayBurst(const GtamvikSpecial& w, Petal& p) {
  p.burst = true;
  p.obj->mode = kSlgAnmOnce;
  if (w.ctx != nullptr) PlayHeld(w.ctx->effect_anims, 2, p.obj, &p.set, SURFACE_ROOT);
  SlgSprSetZoom(p.obj->handle, {p.zoom, p.zoom});
}

void PetalTask(SlgEffectTask* t) {
  const GtamvikSpecial& w = Special();
  auto& p = *static_cast<Petal*>(t->owned[0]);
  if (w.mode >= kGtamvikEnd || t->phase == kSlgPhaseStop) {
    EndPetal(t);
    return;
  }
  const int32_t f = std::max(t->frames, 0);
  if (p.state < kGtamvikRise && w.mode == kGtamvikRise) {
    p.state = kGtamvikRise;
    PlayBurst(w, p);
    StartRise(p);
  }
  if (p.state == kGtamvikFall && w.mode == kGtamvikHover) {
    p.state = kGtamvikHover;
    p.hover_y = p.pos.y;
  }
  if (p.state == kGtamvikRise) {
    if (p.mover != nullptr) p.pos = {p.mover->point.x, p.mover->point.y};
    if (p.late && !p.burst && f >= p.delay && SlgAnmObjIsEnd(p.obj) != 0) PlayBurst(w, p);
    if (p.burst && SlgAnmObjIsEnd(p.obj) != 0) {
      EndPetal(t);
      return;
    }
  } else {
    const SlgPair before = p.pos;
    p.pos = PetalFall(p, f);
    if (p.state == kGtamvikHover) {
      const int32_t bob = p.zoom >= kPx ? 32 : 16;  // 8 or 4 pixels
      p.pos.y = p.hover_y + SlgSin(16 * f) * bob;
    }
    if (f > 0) p.angle = SlgAtan2(p.pos.y - before.y + 1, p.pos.x - before.x + 1);
    if (Slg::InViewArea(p.pos.x >> 16, p.pos.y >> 16) == 0) {
      EndPetal(t);
      return;
    }
  }
  p.obj->x = p.pos.x;
  p.obj->y = p.pos.y;
  PlaceObj(p.obj);
  SlgSprSetRot(p.obj->handle, p.angle);
}

void StartPetal(GtamvikSpecial& w, uint32_t number) {
  if (w.ctx == nullptr) return;
  char name[40];
  std::snprintf(name, sizeof name, "Gtamvik::Hanabira%u", static_cast<unsigned>(number));
  SlgEffectTask* t = SlgTaskCreateAnmWork(&PetalTask, sizeof(Petal), name);
  if (t == nullptr) return;
  auto& p = *static_cast<Petal*>(t->owned[0]);
  w.side = static_cast<int8_t>(-w.side);
  const int32_t x = (SlgRand20() & 255) * w.side * kPx;
  p.zoom = (SlgRand20() & 0xFFFF) + kPx / 2;
  p.late = w.mode == kGtamvikRise;
  p.state = p.late ? kGtamvikRise : kGtamvikFall;
  SlgAnmObj* obj = p.obj;
  obj->depth = kFrontDepth;
  if (p.late) {
    p.start = p.pos = {x, 256 * kPx};
    p.delay = SlgRand20() & 31;
    obj->mode = kSlgAnmOnce;
  } else {
    p.start = {x, -256 * kPx};
    p.fall = (SlgRand20() & 0x3FFFF) + 3 * kPx;
    p.sway = (SlgRand20() & 7) + 1;
    p.pos = PetalFall(p, 0);
    obj->mode = 0;
  }
  obj->x = p.pos.x;
  obj->y = p.pos.y;
  PlayHeld(w.ctx->effect_anims, 1, obj, &p.set, SURFACE_ROOT);
  SlgSprSetZoom(obj->handle, {p.zoom, p.zoom});
  if (p.late) StartRise(p);
}

// ---- Sparkles ----

struct Sparkle {
  SlgAnmObj* obj;
  SprAnm* set;
  int32_t angle, turn;
  int32_t rise;    // 16.16 a frame
  int32_t height;  // 16.16
  int32_t stepped;
};

void SparkleTask(SlgEffectTask* t) {
  const GtamvikSpecial& w = Special();
  auto& s = *static_cast<Sparkle*>(t->owned[0]);
  const auto end = [&] {
    SprAnm* set = s.set;
    SlgTaskEndAnmWork(t);
    ReleaseHeldSet(&set);
  };
  if (w.mode >= kGtamvikEnd || t->phase == kSlgPhaseStop) return end();
  for (; s.stepped < t->frames; ++s.stepped) {
    s.angle += s.turn;
    s.height += s.rise;
  }
  const SlgPair ring = SlgPolarToXY(80 * kPx, s.angle);
  const SlgAnmObj* body = Obj(w, 0);
  const SlgPair centre = body != nullptr ? SlgPair{body->x, body->y} : SlgPair{};
  s.obj->x = centre.x + ring.x;
  s.obj->y = centre.y + ring.y / 2 - s.height;
  if (Slg::InViewArea(s.obj->x >> 16, s.obj->y >> 16) == 0) return end();
  s.obj->depth = static_cast<int16_t>(BodyDepth(w) - (s.height >> 16) / 8);
  SlgSprSetPri(s.obj->handle, s.obj->depth);
  PlaceObj(s.obj);
}

void StartSparkle(GtamvikSpecial& w) {
  if (w.ctx == nullptr) return;
  char name[40];
  std::snprintf(name, sizeof name, "Gtamvik::KiraKira%u", static_cast<unsigned>(w.sparkle_names++));
  SlgEffectTask* t = SlgTaskCreateAnmWork(&SparkleTask, sizeof(Sparkle), name);
  if (t == nullptr) return;
  auto& s = *static_cast<Sparkle*>(t->owned[0]);
  s.angle = SlgRand20() & 511;
  const int32_t turn = 16 + (SlgRand20() & 3);
  s.turn = (SlgRand20() & 1) != 0 ? turn : -turn;
  s.rise = (4 + (SlgRand20() & 3)) * kPx;
  const SlgPair ring = SlgPolarToXY(80 * kPx, s.angle);
  const SlgAnmObj* body = Obj(w, 0);
  s.obj->x = (body != nullptr ? body->x : 0) + ring.x;
  s.obj->y = (body != nullptr ? body->y : 0) + ring.y / 2;
  s.obj->depth = BodyDepth(w);
  s.obj->mode = 0;
  PlayHeld(w.ctx->effect_anims, 9, s.obj, &s.set, SURFACE_ROOT);
}

// ---- The shock ring ----

struct Shock {
  SlgAnmObj* obj;
  SprAnm* set;
};

void ShockTask(SlgEffectTask* t) {
  auto& s = *static_cast<Shock*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop || t->frames >= 30) {
    SprAnm* set = s.set;
    SlgTaskEndAnmWork(t);
    ReleaseHeldSet(&set);
    return;
  }
  const int32_t zoom = kPx + 2184 * std::max(t->frames, 0);
  SlgSprSetZoom(s.obj->handle, {zoom, zoom});
}

void StartShock(GtamvikSpecial& w) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(&ShockTask, sizeof(Shock), "Gtamvik::Shogeki");
  if (t == nullptr) return;
  auto& s = *static_cast<Shock*>(t->owned[0]);
  s.obj->depth = static_cast<int16_t>(BodyDepth(w) + 1);
  s.obj->mode = 0;
  PlayHeld(w.ctx->effect_anims, 10, s.obj, &s.set, SURFACE_ROOT);
}

// ---- Petal and sparkle timing (steps 3-6) ----

constexpr SpawnRule kPetalRule{.interval = 10, .first = 0};
constexpr SpawnRule kSparkleBurstRule{.interval = 2};
constexpr SpawnRule kSparklePacedRule{.interval = 10, .first = 9};

int32_t PetalFrames(const GtamvikSpecial& w) { return TimelineFrames(w.petal_start); }

void Petals(GtamvikSpecial& w) {
  if (SpawnDue(w.petals, kPetalRule, PetalFrames(w)) >= 0) StartPetal(w, w.petal_names++);
}

void PacedSparkles(GtamvikSpecial& w) {
  if (SpawnDue(w.sparkle_paced, kSparklePacedRule, PetalFrames(w)) >= 0) StartSparkle(w);
}

// ---- The scene: curtain, cycle, white-out ----

int32_t CurtainPos(const GtamvikSpecial& w) {
  return w.curtain_move != nullptr ? w.curtain_move->point.x : kCurtainStart;
}

void DrawHalves(GtamvikSpecial& w) {
  if (w.curtain == nullptr) return;
  const int x = CurtainPos(w) >> 16;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (w.left == nullptr) {
    w.left = SlgSprCreate(CDdrawSpr::kBuffered, w.curtain, 320 - x, 0, SURFACE_ROOT, 0,
                          kPictureDepth, 0);
  }
  if (w.right == nullptr) {
    w.right = SlgSprCreate(CDdrawSpr::kBuffered, w.curtain, x, 0, SURFACE_ROOT, 0, kPictureDepth,
                           CDdrawSpr::kMirrorLeftRight);
  }
  sprites.SetBufferPos(w.left, 320 - x, 0);
  sprites.SetBufferPos(w.right, x, 0);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int SceneFadeIn(GtamvikSpecial& w) {
  EnterSpecialScene(60);
  DrawHalves(w);
  return kTimelineNextRow;
}

int CurtainMove(GtamvikSpecial& w) {
  w.curtain_move = TakeMover({kCurtainStart, 0}, {kCurtainSpeed, 0}, {});
  return kTimelineNextRow;
}

// The curtain redrawn; 1 once it is open (or could not move: it opens at once).
int CurtainOpen(GtamvikSpecial& w) {
  DrawHalves(w);
  return w.curtain_move == nullptr || CurtainPos(w) >= kCurtainOpen ? 1 : 0;
}

int CycleStart(GtamvikSpecial& w) {
  GiveBackMover(w.curtain_move);
  DeleteCurtain(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  w.cycle_start = TimelineNow();
  w.cycle_shown = -1;
  return kTimelineNextRow;
}

void Cycle(GtamvikSpecial& w) {
  const int i = GtamvikCyclePicture(TimelineFrames(w.cycle_start));
  if (w.cycle_shown == i && w.cycle_entry != nullptr) return;
  Ctx().ddraw_spr.DeleteBuffer(&w.cycle_entry);
  w.cycle_shown = static_cast<int8_t>(i);
  w.cycle_entry = SlgSprCreate(CDdrawSpr::kBuffered, w.cycle[static_cast<size_t>(i)], 0, 0,
                               SURFACE_ROOT, 0, kPictureDepth, 0);
}

void CycleFade(GtamvikSpecial& w) {
  Cycle(w);
  const BlendWord alpha = GtamvikCycleAlpha(TimelineFrames(w.scene.clock.start));
  for (SprRec* s : w.cycle) Ctx().ddraw_spr.SetSpriteAlpha(s, alpha);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int CycleEnd(GtamvikSpecial& w) {
  DeleteCycle(w);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return kTimelineNextRow;
}

int32_t Advanced(GtamvikSpecial& w) { return w.advanced; }

int WhiteOut(GtamvikSpecial& /*w*/) {
  SlgWhiteOut(30);
  return kTimelineNextRow;
}

int MapBack(GtamvikSpecial& /*w*/) {
  SlgLayerRestore();
  LeaveSpecialScene();
  SlgWhiteIn(0);
  return kTimelineNextRow;
}

using SWait = TimelineWait<GtamvikSpecial>;
constexpr TimelineRow<GtamvikSpecial> kScene[] = {
    {SWait::AtOnce(), &SceneFadeIn},
    {SWait::FadeEnd(), &CurtainMove, kTimelineNextRow, 0, &DrawHalves},
    {SWait::SubDone(&CurtainOpen), &CycleStart},
    {SWait::Frames(60), nullptr, kTimelineNextRow, 0, &Cycle},
    {SWait::Frames(28), &CycleEnd, kTimelineNextRow, 0, &CycleFade},
    {SWait::Counter(&Advanced, 1), &WhiteOut},
    {SWait::FadeEnd(), &MapBack},
};
constexpr PresentationScript<GtamvikSpecial> kSceneScript{.stages = kScene,
                                                          .reports = (1u << 4) | (1u << 6)};

int StepScene(GtamvikSpecial& w) { return StepPresentation(kSceneScript, w.scene, w); }

// ---- The shot ----

void ShotObjs(SlgEffectTask* t, SlgAnmObj** objs) {
  for (int i = 0; i < kGtamvikShotObjects; ++i) {
    objs[i] = static_cast<SlgAnmObj*>(t->owned[static_cast<size_t>(i + 1)]);
  }
}

constexpr SlgAttackRow kShotRow{{3, 4}, 0, 0};

// Every object plays the shot's row for its direction, stopped.
void PlayShotRows(const GtamvikSpecial& w, SlgAnmObj* const* objs, int dir) {
  for (int i = 0; i < kGtamvikShotObjects; ++i) {
    SlgAnmObj* obj = objs[i];
    obj->depth = static_cast<int16_t>(kFrontDepth + i);
    PlayAttackRow(obj, kShotRow, dir, w.ctx->effect_anims, 0, SURFACE_ROOT);
    Ctx().anime.SetStop(obj->handle, 1);
  }
}

// Cells entered by the head up to flight frame f: each one a target stands on gets the hit
// animation and the hit signal.
void CrossCells(GtamvikSpecial& w, int32_t f) {
  GtamvikShot& s = w.shot;
  for (; s.stepped < f; ++s.stepped) {
    const int32_t k = s.stepped + 1;
    const SlgPair at{static_cast<int32_t>(s.start.x + int64_t{s.velocity.x} * k),
                     static_cast<int32_t>(s.start.y + int64_t{s.velocity.y} * k)};
    const uint16_t slot = Slg::UpdateCursorCell(s.cell, at);
    if (slot == kNoUnit || slot >= kSlgMaxUnits || !IsTarget(slot)) continue;
    SlgUnit& target = Battle().state.units[slot];
    AutoPtnChg(5, {target.x, target.y}, kFrontDepth, 0, w.ctx->effect_anims, SURFACE_ROOT);
    target.flags |= kUnitHitNow;
  }
}

void Fly(GtamvikSpecial& w, int32_t f) {
  GtamvikShot& s = w.shot;
  CrossCells(w, f);
  s.pos = {static_cast<int32_t>(s.start.x + int64_t{s.velocity.x} * f),
           static_cast<int32_t>(s.start.y + int64_t{s.velocity.y} * f)};
}

// The head where it is drawn (raised by its cell height), and the trail behind it.
void PlaceShot(const GtamvikShot& s, SlgAnmObj* const* objs, int shown) {
  const SlgPair head = Slg::RaiseByCellHeight(s.pos);
  for (int i = 0; i < shown; ++i) {
    const SlgPair at{head.x + static_cast<int32_t>(int64_t{s.spacing.x} * s.factor / kPx) * i,
                     head.y + static_cast<int32_t>(int64_t{s.spacing.y} * s.factor / kPx) * i};
    const SlgPair screen = Slg::WorldToScreen(at);
    objs[i]->x = screen.x;
    objs[i]->y = screen.y;
    PlaceObj(objs[i]);
  }
}

// One object more started each frame of a flight.
void StartObjects(GtamvikShot& s, SlgAnmObj* const* objs, int32_t f) {
  for (; s.started < kGtamvikShotObjects && s.started <= f; ++s.started) {
    Ctx().anime.SetStop(objs[s.started]->handle, 0);
  }
}

void NextPhase(GtamvikShot& s, uint8_t phase) {
  s.phase = phase;
  s.phase_start = TimelineNow();
}

void EndShot(SlgEffectTask* t) {
  SlgAnmObj* objs[kGtamvikShotObjects];
  ShotObjs(t, objs);
  FreeAnimeObjs(objs, kGtamvikShotObjects);
  for (int i = 1; i <= kGtamvikShotObjects; ++i) t->owned[static_cast<size_t>(i)] = nullptr;
  SlgTaskEnd(t);
}

void LowerCount(GtamvikSpecial& w) {
  if (w.count > 0) --w.count;
}

constexpr SlgMotionKey kVanishKeys[] = {{64, 64, 1}, {1, 192, 5}, {0, 0, 0}};

void ShotTask(SlgEffectTask* t) {
  GtamvikSpecial& w = Special();
  GtamvikShot& s = w.shot;
  if (t->phase == kSlgPhaseStop || w.ctx == nullptr) {
    EndShot(t);
    return;
  }
  SlgAnmObj* objs[kGtamvikShotObjects];
  ShotObjs(t, objs);
  const int32_t f = TimelineFrames(s.phase_start);
  int shown = kGtamvikShotObjects;
  switch (s.phase) {
    case kShotOut: {
      Fly(w, f);
      StartObjects(s, objs, f);
      s.factor = GtamvikShotFactor(f, true);
      const SlgPair screen = Slg::WorldToScreen(Slg::RaiseByCellHeight(s.pos));
      if (Slg::InViewArea(screen.x >> 16, screen.y >> 16) == 0) {
        s.out_frames = f;
        s.dir = static_cast<int8_t>(s.dir ^ 2);
        PlayShotRows(w, objs, s.dir);
        s.velocity = {-s.velocity.x, -s.velocity.y};
        s.spacing = {-s.spacing.x, -s.spacing.y};
        s.factor = 0;
        NextPhase(s, kShotTurn);
      }
      break;
    }
    case kShotTurn:
      if (f >= 30) {
        s.start = s.pos;
        s.stepped = 0;
        s.started = 0;
        NextPhase(s, kShotBack);
      }
      break;
    case kShotBack: {
      const int32_t back = std::min(f, s.out_frames);
      Fly(w, back);
      StartObjects(s, objs, back);
      s.factor = GtamvikShotFactor(f, true);
      if (f >= s.out_frames) {
        LowerCount(w);
        NextPhase(s, kShotShrink);
      }
      break;
    }
    case kShotShrink:
      s.factor = std::min(s.factor, GtamvikShotFactor(f, false));
      if (s.factor <= 0) {
        for (int i = 1; i < kGtamvikShotObjects; ++i) ReleaseObjAnm(objs[i]);
        SlgMotionInit(s.motion, kVanishKeys, 64, 64);
        s.stepped = 0;
        NextPhase(s, kShotVanish);
        shown = 1;
      }
      break;
    default:
      shown = 1;
      for (; s.stepped < f; ++s.stepped) {
        if (SlgMotionStep(s.motion) == 0) {
          LowerCount(w);
          EndShot(t);
          return;
        }
      }
      SlgSprSetZoom(objs[0]->handle, {s.motion.x, s.motion.y});
      break;
  }
  PlaceShot(s, objs, shown);
}

// The shot from the unit's place: false when it cannot be made.
bool StartShot(GtamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &ShotTask, "Gtamvik::Shot");
  if (t == nullptr) return false;
  SlgAnmObj* objs[kGtamvikShotObjects] = {};
  if (AllocAnimeObjs(objs, unit.anm, kGtamvikShotObjects) == 0) {
    SlgTaskEnd(t);
    return false;
  }
  for (int i = 0; i < kGtamvikShotObjects; ++i) t->owned[static_cast<size_t>(i + 1)] = objs[i];
  GtamvikShot& s = w.shot;
  s = GtamvikShot{};
  const int dir = unit.dir & 3;
  s.dir = static_cast<int8_t>(dir);
  s.start = s.pos = {unit.x, unit.y};
  s.velocity = kGtamvikShotVelocity[static_cast<size_t>(dir)];
  s.spacing = kGtamvikShotSpacing[static_cast<size_t>(dir)];
  s.phase_start = TimelineNow();
  Slg::UpdateCursorCell(s.cell, s.start);
  PlayShotRows(w, objs, dir);
  if (HasScene()) {
    for (const uint32_t n : kShotRow.anim) {
      Scene().tamvik_spr.SetAnmAlpha(w.ctx->effect_anims, n, kShotAlpha);
    }
  }
  PlaceShot(s, objs, kGtamvikShotObjects);
  return true;
}

// ---- The closing visit ("Gtamvik::Hit") ----

enum VisitPhase : uint8_t { kVisitScroll = 0, kVisitWait = 1, kVisitBack = 2, kVisitNone = 3 };

// Targets whose drawn place has come into view get their hit animation, in list order, once.
void MarkVisible(GtamvikSpecial& w) {
  for (int i = 0; i < Battle().target_count && i < kSlgMaxUnits; ++i) {
    SlgUnit* target = ListedTarget(i);
    if (target == nullptr || w.visited[static_cast<size_t>(i)]) continue;
    const SlgPair screen = Slg::PosToScreen({target->x, target->y});
    if (Slg::InViewArea(screen.x >> 16, screen.y >> 16) == 0) continue;
    w.visited[static_cast<size_t>(i)] = true;
    AutoPtnChg(6, {target->x, target->y}, kFrontDepth, 0, w.ctx->effect_anims, SURFACE_ROOT);
  }
}

void VisitTask(SlgEffectTask* t) {
  GtamvikSpecial& w = Special();
  if (t->phase == kSlgPhaseStop || w.ctx == nullptr) {
    SlgTaskEnd(t);
    return;
  }
  switch (w.visit_phase) {
    case kVisitNone:
      LowerCount(w);
      SlgTaskEnd(t);
      return;
    case kVisitScroll:
      MarkVisible(w);
      if (Slg::ScrollStep() != 0) {
        w.visit_phase = kVisitWait;
        w.visit_start = TimelineNow();
      }
      return;
    case kVisitWait:
      if (TimelineFrames(w.visit_start) < 60) return;
      Slg::ScrollToCellPos({w.unit->x, w.unit->y});
      w.visit_phase = kVisitBack;
      return;
    default:
      if (Slg::ScrollStep() == 0) return;
      LowerCount(w);
      SlgTaskEnd(t);
      return;
  }
}

// Without targets the task lowers the count on its first frame; false when it cannot be made.
bool StartVisit(GtamvikSpecial& w) {
  if (SlgTaskCreate(SlgTaskOwner(), &VisitTask, "Gtamvik::Hit") == nullptr) return false;
  w.visited.fill(false);
  SlgUnit* last = ListedTarget(Battle().target_count - 1);
  if (last == nullptr) {
    w.visit_phase = kVisitNone;
    return true;
  }
  w.visit_phase = kVisitScroll;
  Slg::ScrollToPosSpeed({last->x, last->y}, 12);
  return true;
}

// ---- The special's steps ----

int Setup(GtamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 2);
  w.curtain = CutSpecialPicture(unit, 0, 0, 0);
  for (int i = 0; i < 3; ++i) {
    SprRec* s = CutSpecialPicture(unit, i + 1, 256, 96);
    Ctx().ddraw_spr.SetSpriteAlpha(s, kCycleAlpha);
    w.cycle[static_cast<size_t>(i)] = s;
  }
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(GtamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  if (!StartSceneObjects(*w.ctx, unit, 2)) {
    GiveBackSpecial(GtamvikAttackWork());
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  HideTargets(Battle().target_count);
  Slg::ScrollToCellPos({unit.x, unit.y});
  for (int i = 0; i < 16; ++i) Slg::ScrollStep();
  w.side = (SlgRand20() & 1) != 0 ? 1 : -1;
  StartPetal(w, 0);
  w.petal_names = 1;
  w.sparkle_names = 0;
  StepScene(w);
  return kTimelineNextRow;
}

int BodyRuns(GtamvikSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  w.petal_start = TimelineNow();
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(ctx.effect_anims, 0, ctx.objects[1], SURFACE_ROOT);
  return kTimelineNextRow;
}

void PetalsAndScene(GtamvikSpecial& w) {
  Petals(w);
  StepScene(w);
}

int HoverAndShock(GtamvikSpecial& w) {
  w.mode = kGtamvikHover;
  StartShock(w);
  return kTimelineNextRow;
}

void BurstSparkles(GtamvikSpecial& w) {
  PetalsAndScene(w);
  if (SpawnDue(w.sparkle_burst, kSparkleBurstRule, TimelineFrames(w.clock.start)) >= 0) {
    StartSparkle(w);
  }
}

int Rise(GtamvikSpecial& w) {
  w.mode = kGtamvikRise;
  // The paced sparkles begin with the frame before the next petal: the ones before the petals
  // already made count as made.
  Spawner caught{};
  SpawnDue(caught, kSparklePacedRule, PetalFrames(w));
  w.sparkle_paced.count = caught.count;
  return kTimelineNextRow;
}

void PacedAndScene(GtamvikSpecial& w) {
  PacedSparkles(w);
  PetalsAndScene(w);
}

int MoveOn(GtamvikSpecial& w) {
  w.advanced = 1;
  return kTimelineNextRow;
}

void PacedOnly(GtamvikSpecial& w) {
  PacedSparkles(w);
  Petals(w);
}

int Shoot(GtamvikSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  ReleaseObjAnm(ctx.objects[0]);
  ReleaseObjAnm(ctx.objects[1]);
  ShowTargets(Battle().target_count);
  w.mode = kGtamvikEnd;
  w.count = StartShot(w) ? 2 : 0;
  return kTimelineNextRow;
}

constexpr SlgAttackRow kClosingRow{{7, 8}, 0, 0};

void FollowAndClose(GtamvikSpecial& w) {
  SlgAnmObj* body = Obj(w, 0);
  if (body == nullptr) return;
  body->x = w.pos.x;
  body->y = w.pos.y;
  if (!w.closing && w.count < 2 && body->handle == nullptr) {
    w.closing = true;
    PlayAttackRow(body, kClosingRow, w.unit->dir, w.ctx->body_anims, kSlgAnmOnce, SURFACE_ROOT);
  }
  PlaceObj(body);
}

int32_t CountDone(GtamvikSpecial& w) { return w.count == 0 ? 1 : 0; }

int Visit(GtamvikSpecial& w) {
  if (StartVisit(w)) w.count = 1;
  return kTimelineNextRow;
}

int Finish(GtamvikSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(GtamvikAttackWork());
  ShowFlaggedUnits();
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GtamvikSpecial>;
constexpr TimelineRow<GtamvikSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::SubDone(&StepScene), &BodyRuns},
    {Wait::Frames(30), &HoverAndShock, kTimelineNextRow, 0, &PetalsAndScene},
    {Wait::Frames(30), &Rise, kTimelineNextRow, 0, &BurstSparkles},
    {Wait::AnmEnd(&BodyObj), &MoveOn, kTimelineNextRow, 0, &PacedAndScene},
    {Wait::SubDone(&StepScene), &Shoot, kTimelineNextRow, 0, &PacedOnly},
    {Wait::Counter(&CountDone, 1), &Visit, kTimelineNextRow, 0, &FollowAndClose},
    {Wait::Counter(&CountDone, 1), nullptr, kTimelineNextRow, 0, &FollowAndClose},
    {Wait::Frames(30), &Finish, kTimelineStop, 0, &FollowAndClose},
};

}  // namespace

GtamvikWork& GtamvikAttackWork() { return Battle().Extension<GtamvikWork>(); }

GtamvikWork::~GtamvikWork() {
  if (!HasCtx()) return;
  DeletePictures(special);
  GiveBackMovers(*this);
}

int GtamvikCyclePicture(int32_t frames) { return std::max(frames, int32_t{0}) % 3; }

uint32_t GtamvikCycleAlpha(int32_t t) {
  const int32_t f = std::clamp(t, int32_t{0}, int32_t{28});
  return static_cast<uint32_t>((28 - f) * 128 / 28) + 0x10000u;
}

int32_t GtamvikShotFactor(int32_t t, bool growing) {
  const int32_t f = std::clamp(t, int32_t{0}, int32_t{11});
  return growing ? std::min(f * 6553, kPx) : std::max(kPx - f * 6553, int32_t{0});
}

namespace Gtamvik {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerNormal(GtamvikAttackWork().normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  GtamvikWork& work = GtamvikAttackWork();
  GtamvikSpecial& w = work.special;
  if (unit.step == 0) {
    GiveBackSpecial(work);  // an attack cut short by a stage switch
    w = GtamvikSpecial{};
    w.cycle_shown = -1;
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Gtamvik
