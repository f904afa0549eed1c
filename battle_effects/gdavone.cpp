// Player kind 9's attacks (battle_effects/gdavone.h).

#include "battle_effects/gdavone.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
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

GdavoneSpecial& Special() { return GdavoneAttackWork().special; }

template <class W>
W& WorkOf(SlgEffectTask* t) {
  return *static_cast<W*>(t->owned[0]);
}

// An effect of the running attack (a stale one of an attack cut short touches nothing).
bool Current(uint32_t serial) { return serial == Special().serial; }

// A task's own effect object placed and playing from the special's effect set (held).
void PlayOn(HeldEffect& e, const SlgPair& at, int depth, uint8_t mode, uint32_t anim) {
  const GdavoneSpecial& w = Special();
  PlayHeldAt(e, w.ctx != nullptr ? w.ctx->effect_anims : nullptr, anim, at, depth, mode);
}

// ---- The normal attack ----

constexpr SlgAttackRow kRows02[] = {{{0, 2}, 0, 0}, {{0, 2}, 0, 0}};
constexpr SlgAttackRow kRows13[] = {{{1, 3}, 0, 0}, {{1, 3}, 0, 0}};
constexpr int32_t kHitBodyFrame = 15;

struct HitWork : HeldEffect {};

void Hit(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop || SlgAnmObjIsEnd(WorkOf<HitWork>(t).obj) != 0) EndHeldEffect(t);
}

void NormalStarted(LayeredAttack& /*a*/) { DamageMember(); }

// "Gdavone::Hit" once, when the body reaches its frame 15, on the first target (none without).
void HitAtBodyFrame(LayeredAttack& a) {
  GdavoneWork& w = GdavoneAttackWork();
  if (w.hit_started || a.ctx == nullptr) return;
  const SlgAnmObj* body = a.ctx->objects[0];
  if (SlgAnmObjIsEnd(body) != 0 || AnmFrameOf(body) < kHitBodyFrame) return;
  w.hit_started = true;
  const SlgUnit* target = DamageTarget(0);
  if (target == nullptr) return;
  StartTargetEffect(&Hit, sizeof(HitWork), "Gdavone::Hit", *target, -10, a.ctx->effect_anims,
                    a.unit->stats.attack_type == 2 ? 5 : 4, kSlgAnmOnce);
}

constexpr PlayerNormalForms kNormalForms{
    PlayerHitNormalForm(kRows02, &NormalStarted, &HitAtBodyFrame),
    PlayerHitNormalForm(kRows13, &NormalStarted, &HitAtBodyFrame),
    PlayerHitNormalForm(kRows02, &NormalStarted, &HitAtBodyFrame)};

// ---- The special's pictures ----

constexpr int kStripX = -16;
constexpr int kStripBackRow = 360;  // strips from this row down stand behind the units
constexpr int kStripFrontDepth = 511;
constexpr int kStripBackDepth = -1536;
constexpr int kPoleX = 224;
constexpr int kPoleDepth = -1535;
constexpr BlendWord kPoleAlpha = 128;

SlgAnmObj* Obj(const GdavoneSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

void DeleteStrips(GdavoneSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (SprBufferEntry*& e : w.strip_entries) sprites.DeleteBuffer(&e);
  for (SprRec*& s : w.strips) sprites.DeleteSprite(&s);
  w.strip_count = 0;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void DeletePole(GdavoneSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (SprBufferEntry*& e : w.pole_entries) sprites.DeleteBuffer(&e);
  sprites.DeleteSprite(&w.pole);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GdavoneSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeleteStrips(w);
  DeletePole(w);
}

// Picture 0 into layer 4, made wide enough for the 672-pixel strips (its own size given back at
// once, its scroll kept), cut into strips within the picture; the layer cleared after.
void CutStrips(GdavoneSpecial& w) {
  const SlgUnit& unit = *w.unit;
  CDdrawFunc& ddraw = Ctx().ddraw;
  int scroll_x = 0;
  int scroll_y = 0;
  ddraw.GetLayerScroll(SURFACE_ROOT, &scroll_x, &scroll_y);
  const bool resized =
      ddraw.ResizeSurface(SURFACE_ROOT, 0, kGdavoneStripWidth, kScreenHeight) != 0;
  if (!resized) DebugPrint("Gdavone::SpecialAttack: layer 4 stays at the screen's size\n");
  Rect rect{};
  if (LoadAttackBg(unit, 0, SURFACE_ROOT, &rect) == 0) {
    DebugPrint("Gdavone::SpecialAttack: kind %d has no background 0: no strips\n", unit.kind);
  } else {
    // Within the picture and within the surface it was drawn on.
    const int width = std::min({rect.right - rect.left, kGdavoneStripWidth,
                                resized ? kGdavoneStripWidth : kScreenWidth});
    const int height = std::min(rect.bottom - rect.top, kScreenHeight);
    const int count = std::clamp(height / kGdavoneStripHeight, 0, kGdavoneStrips);
    CDdrawSpr& sprites = Ctx().ddraw_spr;
    for (int k = 0; k < count && width > 0; ++k) {
      const int top = rect.top + k * kGdavoneStripHeight;
      SprRec* s = sprites.CreateSprite(0, 0, SURFACE_ROOT, rect.left, top, rect.left + width,
                                       top + kGdavoneStripHeight);
      w.strips[static_cast<size_t>(k)] = s;
      const int y = k * kGdavoneStripHeight;
      w.strip_entries[static_cast<size_t>(k)] =
          SlgSprCreate(CDdrawSpr::kBuffered, s, kStripX, y, SURFACE_ROOT, 0,
                       y < kStripBackRow ? kStripFrontDepth : kStripBackDepth, 0);
    }
    w.strip_count = count;
  }
  if (resized) {
    ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
    ddraw.SetLayerScroll(SURFACE_ROOT, scroll_x, scroll_y);
  }
  SlgClearLayer(SURFACE_ROOT);
}

// ---- The strip wave and the column ----

struct SceneTaskWork {
  uint32_t serial;
};

void LineScroll(SlgEffectTask* t) {
  GdavoneSpecial& w = Special();
  if (!Current(WorkOf<SceneTaskWork>(t).serial)) {
    SlgTaskEnd(t);
    return;
  }
  if (t->phase != 0) {
    DeleteStrips(w);
    w.line_scroll = nullptr;
    SlgTaskEnd(t);
    return;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (int k = 0; k < w.strip_count; ++k) {
    sprites.SetBufferPos(w.strip_entries[static_cast<size_t>(k)],
                         kStripX + GdavoneStripShift(t->frames, k), k * kGdavoneStripHeight);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void PoleScroll(SlgEffectTask* t) {
  GdavoneSpecial& w = Special();
  if (!Current(WorkOf<SceneTaskWork>(t).serial)) {
    SlgTaskEnd(t);
    return;
  }
  if (t->phase != 0) {
    DeletePole(w);
    w.pole_scroll = nullptr;
    SlgTaskEnd(t);
    return;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  const int32_t top = GdavonePoleTop(t->frames);
  for (int k = 0; k < kGdavonePoles; ++k) {
    SprBufferEntry*& e = w.pole_entries[static_cast<size_t>(k)];
    const int y = top + 128 * k;
    if (e == nullptr && w.pole != nullptr) {
      e = SlgSprCreate(CDdrawSpr::kBuffered, w.pole, kPoleX, y, SURFACE_ROOT, 0, kPoleDepth, 0);
    }
    sprites.SetBufferPos(e, kPoleX, y);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

SlgEffectTask* StartSceneTask(const GdavoneSpecial& w, SlgBody body, const char* name) {
  SlgEffectTask* t = SlgTaskCreateWork(body, sizeof(SceneTaskWork), name);
  if (t != nullptr) WorkOf<SceneTaskWork>(t).serial = w.serial;
  return t;
}

// ---- The feathers ----

constexpr uint32_t kStepHane = 5;
constexpr uint32_t kStepBird = 7;

struct HaneWork : HeldEffect {
  uint32_t serial;
  uint8_t phase;
  uint32_t start;  // the current phase's start (game clock ms)
  SlgPair saved;
};

// The attacking unit's step on by one, when it still waits at `step` for this attack's effect.
void StepOn(uint32_t serial, uint32_t step) {
  GdavoneSpecial& w = Special();
  if (Current(serial) && w.unit != nullptr && w.unit->step == step) w.unit->step = step + 1;
}

void EndHane(SlgEffectTask* t) {
  if (Current(WorkOf<HaneWork>(t).serial)) Special().hane = nullptr;
  EndHeldEffect(t);
}

void Hane(SlgEffectTask* t) {
  HaneWork& h = WorkOf<HaneWork>(t);
  if (t->phase == kSlgPhaseStop || !Current(h.serial)) {
    EndHane(t);
    return;
  }
  const int32_t f = TimelineFrames(h.start);
  switch (h.phase) {
    case 0:
      SlgSprSetZoom(h.obj->handle, GdavoneHaneZoom(f));
      if (f < 20) return;
      PlayOn(h, {h.obj->x, h.obj->y}, h.obj->depth, kSlgAnmOnce, 5);
      h.phase = 1;
      return;
    case 1:
      if (SlgAnmObjIsEnd(h.obj) == 0) return;
      PlayOn(h, {h.obj->x, h.obj->y}, h.obj->depth, 0, 6);
      h.saved = {h.obj->x, h.obj->y};
      h.start = t->now;
      h.phase = 2;
      return;
    default:
      h.obj->y = h.saved.y + GdavoneHaneDrop(f) * kPx;
      PlaceObj(h.obj);
      if (f < 42 + 60) return;
      StepOn(h.serial, kStepHane);
      EndHane(t);
      return;
  }
}

bool StartHane(GdavoneSpecial& w) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Hane, sizeof(HaneWork), "Gdavone::hane");
  if (t == nullptr) return false;
  HaneWork& h = WorkOf<HaneWork>(t);
  h.serial = w.serial;
  h.start = t->start;
  const SlgAnmObj* body = Obj(w, 0);
  PlayOn(h, {0, -32 * kPx}, body != nullptr ? body->depth : 0, kSlgAnmOnce, 7);
  SlgSprSetZoom(h.obj->handle, GdavoneHaneZoom(0));
  w.hane = t;
  return true;
}

// ---- The bombs ----

constexpr uint32_t kBombAnim = 4;

struct PieceWork : HeldEffect {
  uint32_t serial;
};

void EndPiece(SlgEffectTask* t) {
  GdavoneSpecial& w = Special();
  if (Current(WorkOf<PieceWork>(t).serial) && w.bombs > 0) --w.bombs;
  EndHeldEffect(t);
}

void Piece(SlgEffectTask* t) {
  const PieceWork& p = WorkOf<PieceWork>(t);
  if (t->phase == kSlgPhaseStop || !Current(p.serial) || Special().bomb_end != 0 ||
      SlgAnmObjIsEnd(p.obj) != 0) {
    EndPiece(t);
  }
}

void StartPiece(GdavoneSpecial& w) {
  char name[48];
  std::snprintf(name, sizeof name, "Gdavone::bomb%u", static_cast<unsigned>(w.bomb_names++));
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Piece, sizeof(PieceWork), name);
  if (t == nullptr) return;
  PieceWork& p = WorkOf<PieceWork>(t);
  p.serial = w.serial;
  ++w.bombs;
  const SlgUnit& unit = *w.unit;
  const SlgPoint cell = GdavoneBombCell(SlgRand20() % 121);
  const int32_t dx = (SlgRand20() & 63) - 32;
  const int32_t dy = -(SlgRand20() & 63);
  SlgPair at = Slg::PosToScreen({unit.x + cell.x * kPx, unit.y + cell.y * kPx});
  at.x += dx * kPx;
  at.y += dy * kPx;
  PlayOn(p, at, BodyDepthOf(unit) + cell.y / 32, kSlgAnmOnce, kBombAnim);
}

struct BombWork : HeldEffect {
  uint32_t serial;
};

void EndBomb(SlgEffectTask* t) {
  if (Current(WorkOf<BombWork>(t).serial)) Special().bomb = nullptr;
  EndHeldEffect(t);
}

// "Gdavoe::Bomb": a piece a frame until the end flag; then, once the pieces have ended, the flag
// cleared and the end.
void Bomb(SlgEffectTask* t) {
  GdavoneSpecial& w = Special();
  if (t->phase == kSlgPhaseStop || !Current(WorkOf<BombWork>(t).serial)) {
    EndBomb(t);
    return;
  }
  if (w.bomb_end == 0) {
    StartPiece(w);
    return;
  }
  if (w.bombs > 0) return;
  w.bomb_end = 0;
  EndBomb(t);
}

void StartBomb(GdavoneSpecial& w) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Bomb, sizeof(BombWork), "Gdavoe::Bomb");
  if (t == nullptr) return;
  BombWork& b = WorkOf<BombWork>(t);
  b.serial = w.serial;
  w.bomb = t;
  // On the first target; on the attacker when the list is empty.
  const SlgUnit* target = DamageTarget(0);
  const SlgUnit& at = target != nullptr ? *target : *w.unit;
  PlayOn(b, Slg::PosToScreen({at.x, at.y}), BodyDepthOf(at), 0, kBombAnim);
}

// ---- The fire bird ----

constexpr int32_t kBirdAngle = 42;
constexpr int16_t kBirdDepth = -1090;
constexpr uint32_t kBirdAnim = 3;
constexpr int32_t kBirdFrom = -448;
constexpr int32_t kBirdTurnX = 576;
constexpr int32_t kBirdUpSpeed = 18;
constexpr int32_t kBirdLower = 128;
constexpr int32_t kBirdBombFrame = 20;
constexpr int32_t kBirdWhiteSpeed = 1025;
constexpr int32_t kBirdWhiteFrames = 32;
constexpr int32_t kBirdZoomStep = 1310;

enum BirdPhase : uint8_t { kBirdUp, kBirdTurn, kBirdBack, kBirdWhite, kBirdWait };

struct BirdWork : HeldEffect {
  uint32_t serial;
  uint8_t phase;
  uint32_t start;      // the phase's start (game clock ms)
  int32_t stepped;     // frames of the flight back applied
  SlgPair from;        // the phase's start position
  SlgPair pos;         // 16.16 about the screen centre
  SlgPair line;        // object 0's position: the line's point
  int32_t zoom;
  int32_t white_frame;  // the flight back's frame of the white-out (-1 none yet)
};

// y of the line through `line` at angle 42 for x (16.16): y0 + |x - x0| x tan 42.
int32_t LineY(const SlgPair& line, int32_t x) {
  const int64_t dx = std::abs(int64_t{x} - line.x);
  return static_cast<int32_t>(line.y + dx * SlgSin(kBirdAngle) / SlgCos(kBirdAngle));
}

void EndBird(SlgEffectTask* t) {
  if (Current(WorkOf<BirdWork>(t).serial)) Special().bird = nullptr;
  EndHeldEffect(t);
}

void PlaceBird(BirdWork& b) {
  b.obj->x = b.pos.x;
  b.obj->y = b.pos.y;
  PlaceObj(b.obj);
  SlgSprSetZoom(b.obj->handle, {b.zoom, b.zoom});
}

void Bird(SlgEffectTask* t) {
  GdavoneSpecial& w = Special();
  BirdWork& b = WorkOf<BirdWork>(t);
  if (t->phase == kSlgPhaseStop || !Current(b.serial)) {
    EndBird(t);
    return;
  }
  const int32_t f = TimelineFrames(b.start);
  switch (b.phase) {
    case kBirdUp: {
      const int32_t vx = kBirdUpSpeed * SlgCos(kBirdAngle) * 4;
      const int32_t vy = kBirdUpSpeed * SlgSin(kBirdAngle) * 4;
      b.pos = {b.from.x + f * vx, b.from.y - f * vy};
      if ((b.pos.x >> 16) >= kBirdTurnX) {
        b.phase = kBirdTurn;
        b.start = t->now;
        b.obj->attr = 0;  // mirror off
        PlayOn(b, b.pos, kBirdDepth, kSlgAnmOnce, kBirdAnim);
      }
      PlaceBird(b);
      return;
    }
    case kBirdTurn:
      if (f < 2) return;
      b.pos.y = LineY(b.line, b.pos.x) + kBirdLower * kPx;
      b.from = b.pos;
      b.phase = kBirdBack;
      b.start = t->now;
      b.stepped = 0;
      PlaceBird(b);
      return;
    default:
      break;
  }
  // The flight back (and on through the white-out and the wait), one step a frame passed.
  for (; b.stepped < f; ++b.stepped) {
    const int32_t v = GdavoneBirdSpeed(b.stepped);
    b.pos.x -= SlgCos(kBirdAngle) * v / 64;
    b.pos.y -= SlgSin(kBirdAngle) * v / 64;
    b.zoom += kBirdZoomStep;
  }
  PlaceBird(b);
  if (f >= kBirdBombFrame && w.bomb_start_speed < 0) {
    w.bomb_start_speed = GdavoneBirdSpeed(f);
    StartBomb(w);
  }
  if (b.phase == kBirdBack && GdavoneBirdSpeed(f) < kBirdWhiteSpeed) {
    SlgWhiteOut(kBirdWhiteFrames);
    b.white_frame = f;
    b.phase = kBirdWhite;
  }
  if (b.phase == kBirdWhite && f - b.white_frame >= kBirdWhiteFrames) {
    w.bomb_end = 1;
    b.phase = kBirdWait;
  }
  // The bomb task clears the flag as it ends; one that was never made, or has gone, holds
  // nothing.
  if (b.phase == kBirdWait && (w.bomb_end == 0 || SlgTaskIsAlive(w.bomb) == 0)) {
    w.bomb_end = 0;
    StepOn(b.serial, kStepBird);
    EndBird(t);
  }
}

bool StartBird(GdavoneSpecial& w) {
  SlgEffectTask* t = SlgTaskCreateAnmWork(&Bird, sizeof(BirdWork), "Gdavone::Hinotori");
  if (t == nullptr) return false;
  BirdWork& b = WorkOf<BirdWork>(t);
  b.serial = w.serial;
  b.start = t->start;
  b.zoom = kPx;
  b.white_frame = -1;
  const SlgAnmObj* o = Obj(w, 0);
  b.line = o != nullptr ? SlgPair{o->x, o->y} : w.pos;
  b.from = {kBirdFrom * kPx, LineY(b.line, kBirdFrom * kPx)};
  b.pos = b.from;
  b.obj->attr = 16;  // mirrored on the way up
  PlayOn(b, b.pos, kBirdDepth, kSlgAnmOnce, kBirdAnim);
  w.bird = t;
  w.bomb_start_speed = -1;
  return true;
}

// ---- The special's steps ----

constexpr uint8_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr SlgAttackRow kOpening[] = {{{0, 0}, 0, 0}, {{0, 0}, 0, 0}};
constexpr SlgAttackRow kClosing[] = {{{1, 1}, 0, 0}};
constexpr int kOpeningObjects = 2;
constexpr BlendWord kPlaneShade = 0x40080;
constexpr BlendWord kPlaneOpaque = 256;
constexpr int kShadedPlanes[] = {2, 0, 3};

void SetPlanes(BlendWord alpha) {
  for (const int plane : kShadedPlanes) SlgMap::SetPlaneAlpha(plane, alpha);
}

int Setup(GdavoneSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 2);
  CutStrips(w);
  w.pole = CutSpecialPicture(unit, 1, 0, 0);
  if (w.pole != nullptr) Ctx().ddraw_spr.SetSpriteAlpha(w.pole, kPoleAlpha);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(GdavoneSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  DamageMember();
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, kOpeningObjects) == 0) {
    GiveBackSpecial(w);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.object_count = kOpeningObjects;
  for (SlgAnmObj* obj : std::span(ctx.objects).first(kOpeningObjects)) {
    obj->x = 0;
    obj->y = 0;
  }
  // Direction 0 whatever the unit faces: the opening is never mirrored.
  for (int i = 0; i < kOpeningObjects; ++i) {
    PlayAttackRow(ctx.objects[static_cast<size_t>(i)], kOpening[static_cast<size_t>(i)], 0,
                  i == 0 ? ctx.body_anims : ctx.effect_anims, kSlgAnmOnce, SURFACE_ROOT);
  }
  if (HasScene()) Scene().tamvik_spr.spx()->SetLoop(ctx.objects[1]->handle, 0);
  HideTargets(Battle().target_count);
  Battle().flags = static_cast<uint16_t>(Battle().flags & ~kFlagsUnitsShown);
  w.line_scroll = StartSceneTask(w, &LineScroll, "Gdavone::LineScroll");
  SlgFadeIn(0);
  return kTimelineNextRow;
}

int StartPole(GdavoneSpecial& w) {
  w.pole_scroll = StartSceneTask(w, &PoleScroll, "Gdavone::PoleScroll");
  return kTimelineNextRow;
}

int StartFeathers(GdavoneSpecial& w) { return StartHane(w) ? kTimelineNextRow : kStepHane + 1; }

SlgEffectTask* HaneTask(GdavoneSpecial& w) { return w.hane; }
SlgEffectTask* BirdTask(GdavoneSpecial& w) { return w.bird; }

void EndTask(SlgEffectTask*& t) {
  if (SlgTaskIsAlive(t) != 0) SlgTaskStop(t);
  t = nullptr;
}

int BackToMap(GdavoneSpecial& w) {
  SlgLayerRestore();
  // The wave and the column end: what they show goes now (also when either task was refused).
  DeleteStrips(w);
  DeletePole(w);
  EndTask(w.line_scroll);
  EndTask(w.pole_scroll);
  LeaveSpecialScene();
  ShowTargets(Battle().target_count);
  PlayClosingObjects(*w.ctx, *w.unit, w.pos, kClosing, 1);
  SetPlanes(kPlaneShade);
  return StartBird(w) ? kTimelineNextRow : kStepBird + 1;
}

int Finish(GdavoneSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  SlgFadeIn(0);
  SetPlanes(kPlaneOpaque);
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GdavoneSpecial>;
constexpr TimelineRow<GdavoneSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::Frames(75), &StartPole},
    {Wait::AtOnce()},
    {Wait::Frames(37), &StartFeathers},
    // The feathers and the bird move the step on themselves; one that has gone without doing so
    // (stopped from outside) does not hold the attack.
    {Wait::TaskGone(&HaneTask)},
    {Wait::AtOnce(), &BackToMap},
    {Wait::TaskGone(&BirdTask)},
    {Wait::Frames(31), &Finish, kTimelineStop},
};
static_assert(std::size(kSpecialSteps) == kStepBird + 2);

}  // namespace

GdavoneWork& GdavoneAttackWork() { return Battle().Extension<GdavoneWork>(); }

GdavoneWork::~GdavoneWork() {
  if (HasCtx()) {
    DeleteStrips(special);
    DeletePole(special);
  }
  FreeCtxAtBattleEnd(special.ctx);
  FreeCtxAtBattleEnd(normal.ctx);
}

int32_t GdavoneStripShift(int32_t frames, int k) {
  const int32_t a = (frames * 4 + 16 * k) & 511;
  return -(SlgSin(a) * 8 / 16384);
}

int32_t GdavonePoleTop(int32_t frames) {
  const int32_t y = 360 - 32 * frames;
  return y >= 0 ? y : -((-y) % 128);
}

SlgPair GdavoneHaneZoom(int32_t frames) {
  const int32_t f = std::max(frames, 0);
  return {f < 10 ? 655 + f * 6553 : kPx, f < 20 ? 655 + f * 3276 : kPx};
}

int32_t GdavoneHaneDrop(int32_t frames) {
  const int32_t f = std::max(frames, 0);
  const int32_t sunk = std::min(f, 30) * 34952 / kPx;
  return sunk - std::clamp(f - 30, 0, 12) * 40;
}

int32_t GdavoneBirdSpeed(int32_t frames) { return std::max(3072 - 16 * std::max(frames, 0), 0); }

SlgPoint GdavoneBombCell(int r) {
  const int col = r % 11;
  const int row = r / 11;
  return {(row + col - 10) * 48, (col - row) * 24};
}

namespace Gdavone {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  GdavoneWork& w = GdavoneAttackWork();
  if (unit.step == 0) w.hit_started = false;
  RunPlayerNormal(w.normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerSpecial(Special(), kSpecialSteps, &GiveBackSpecial, unit, pos);
}

}  // namespace Gdavone
