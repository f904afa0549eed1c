// Player kind 6's attacks (battle_effects/brise.h).

#include "battle_effects/brise.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
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
#include "engine/anime/anime.h"
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
constexpr uint16_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr int16_t kPictureDepth = 511;
constexpr int16_t kDotDepth = 510;
constexpr int16_t kLineDepth = -1536;
constexpr int32_t kBombZoom = kPx * 3 / 2;
constexpr uint32_t kBombAnim = 3;
// Colours of the line and the dots (COLORREF of 0x73CD19, 0xB9FF19, 0x18CD18).
constexpr ColorRef kLineColour = 0x0019CD73;
constexpr ColorRef kLargeDotColour = 0x0019FFB9;
constexpr ColorRef kSmallDotColour = 0x0018CD18;
// The picture cuts A, B and C: their first and past-the-last columns, and their home x (B and C
// are drawn from x -32).
constexpr int kCutLeft[3] = {0, 608, 1248};
constexpr int kCutRight[3] = {640, 1312, 1952};
constexpr int kCutHome[3] = {0, -32, -32};

BriseSpecial& Special() { return BriseAttackWork().special; }

// ---- The normal attack ----

constexpr SlgAttackRow kType0[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kType2[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr SlgAttackRow kType3[] = {{{6, 7}, 0, 0}, {{6, 7}, 0, 0}};
constexpr PlayerNormalForms kNormalForms{PlayerNormalForm(kType0), PlayerNormalForm(kType2),
                                         PlayerNormalForm(kType3)};

constexpr SlgAttackRow kOpening[] = {{{0, 0}, 0, 0}, {{0, 0}, 0, 0}};
constexpr SlgAttackRow kClosing[] = {{{4, 5}, 0, 0}};

SlgAnmObj* Obj(const BriseSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

// Object 0 is at frame n or later (or has ended, or has no animation).
bool BodyAt(const BriseSpecial& w, int32_t n) {
  return TimelineWaitOver(TimelineWaitKind::kAnmFrame, n, Obj(w, 0), nullptr, nullptr);
}

// The depth the bombs stand about: the first target's body object, else the attacker's.
int16_t FirstTargetDepth(const SlgUnit& attacker) {
  const SlgUnit* first = ListedTarget(0);
  if (first != nullptr && first->anm != nullptr) return first->anm->depth;
  return attacker.anm != nullptr ? attacker.anm->depth : 0;
}

// ---- Pictures and sprites ----

void DeleteDots(BriseSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (BriseDot& d : w.dots) {
    sprites.DeleteBuffer(&d.entry);
    d.active = 0;
  }
}

void DeletePictures(BriseSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.entry);
  for (SprRec*& s : w.pictures) sprites.DeleteSprite(&s);
  w.shown = -1;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void DeleteMarks(BriseSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  DeleteDots(w);
  sprites.DeleteSprite(&w.line);
  sprites.DeleteSprite(&w.large_dot);
  sprites.DeleteSprite(&w.small_dot);
}

// Layer 4 cleared, given back at the screen's size, and the layers restored.
void RestoreLayer(BriseSpecial& w) {
  Ctx().anime.DeleteRef(&w.scroll);
  SlgClearLayer(SURFACE_ROOT);
  if (w.layer_resized) Ctx().ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
  w.layer_resized = false;
  Ctx().ddraw.SetLayerScroll(SURFACE_ROOT, 0, 0);
  SlgLayerRestore();
}

// SPECIAL_BG picture 0 into layer 4 and cut into A, B and C. A picture larger than the screen
// is drawn on a layer of its own size (the screen-sized surface would crop it); each cut stays
// inside the picture, narrower where it ends early and none where it has already ended.
void CutPictures(BriseSpecial& w) {
  const SlgUnit& unit = *w.unit;
  CDdrawFunc& ddraw = Ctx().ddraw;
  Rect rect{};
  if (LoadAttackBg(unit, 0, SURFACE_ROOT, &rect) == 0) {
    DebugPrint("Brise::SpecialAttack: kind %d has no background 0: the scene runs without it\n",
               unit.kind);
    return;
  }
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width > 640 || height > 480) {
    if (ddraw.ResizeSurface(SURFACE_ROOT, 0, width, height) == 0 ||
        LoadAttackBg(unit, 0, SURFACE_ROOT, &rect) == 0) {
      DebugPrint("Brise::SpecialAttack: background 0 of %dx%d could not be drawn\n", width,
                 height);
      return;
    }
    w.layer_resized = true;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (int i = 0; i < 3; ++i) {
    const int left = rect.left + kCutLeft[i];
    const int right = std::min(rect.left + kCutRight[i], static_cast<int>(rect.right));
    if (left >= right) break;
    w.pictures[static_cast<size_t>(i)] =
        sprites.CreateSprite(kCutHome[i], 0, SURFACE_ROOT, left, rect.top, right, rect.bottom);
  }
}

// Layer 4 as the gradient: 640 x 2048, 256 bands of 8 px.
void DrawGradient(BriseSpecial& w) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  if (ddraw.ResizeSurface(SURFACE_ROOT, 0, kBriseGradientWidth, kBriseGradientHeight) == 0) {
    DebugPrint("Brise::SpecialAttack: no %dx%d layer: the gradient is left out\n",
               kBriseGradientWidth, kBriseGradientHeight);
    return;
  }
  w.layer_resized = true;
  const int band = kBriseGradientHeight / kBriseBands;
  for (int k = 0; k < kBriseBands; ++k) {
    ddraw.DrawBox(SURFACE_ROOT, BriseBandColour(k), 0, k * band, kBriseGradientWidth,
                  (k + 1) * band, 0);
  }
  ddraw.SetUpdate(SURFACE_ROOT, 1);
}

SprRec* DrawBoxSprite(int width, int height, ColorRef colour, int inset_x, int inset_y) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.FillSurfaceRect(SURFACE_SCRATCH, 0, 0, width, height, 1);
  ddraw.DrawBox(SURFACE_SCRATCH, colour, inset_x, inset_y, width - inset_x, height - inset_y, 0);
  return CutWorkBox(width, height);
}

void ShowPicture(BriseSpecial& w, int picture, int x) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.entry);
  w.shown = static_cast<int8_t>(picture);
  SprRec* s = w.pictures[static_cast<size_t>(picture)];
  if (s != nullptr) {
    w.entry = SlgSprCreate(CDdrawSpr::kBuffered, s, x, 0, SURFACE_ROOT, 0, kPictureDepth, 0);
  }
}

void GiveBackSpecial(BriseSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeletePictures(w);
  DeleteMarks(w);
}

// ---- Dots ----

void Dots(SlgEffectTask* t) {
  BriseSpecial& w = Special();
  if (t->phase == kSlgPhaseStop || w.scene_over || w.ctx == nullptr) {
    DeleteDots(w);
    if (w.dot_task == t) w.dot_task = nullptr;
    SlgTaskEnd(t);
    return;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  const int n = std::clamp(w.dot_count, 0, kBriseDots);
  for (BriseDot& d : std::span(w.dots).first(static_cast<size_t>(n))) {
    if (d.active == 0) continue;
    if (!BriseDotAt(d, TimelineFrames(d.start))) {
      d.active = 0;
      sprites.DeleteBuffer(&d.entry);
      continue;
    }
    sprites.SetBufferPos(d.entry, (d.x >> 8) + 320, (d.y >> 8) + 240);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void AddDot(BriseSpecial& w) {
  if (w.dot_count >= kBriseDots) return;
  const int32_t r = SlgRand();
  const int edge = (r >> 8) & 3;
  const int32_t along = edge < 2 ? SlgRand() % 640 - 320 : SlgRand() % 480 - 240;
  const bool large = (SlgRand() & 1) != 0;
  BriseDot& d = w.dots[static_cast<size_t>(w.dot_count++)];
  d = BriseMakeDot({edge, along, large});
  d.sprite = large ? w.large_dot : w.small_dot;
  d.start = TimelineNow();
  if (!BriseDotAt(d, 0)) {
    d.active = 0;
    return;
  }
  if (d.sprite == nullptr) return;
  d.entry = SlgSprCreate(CDdrawSpr::kBuffered, d.sprite, (d.x >> 8) + 320, (d.y >> 8) + 240,
                         SURFACE_ROOT, 0, kDotDepth, 0);
  if (d.entry != nullptr) Ctx().ddraw_spr.SetBufferRotZ(d.entry, d.angle * 804 / 256);
}

// ---- Lines ----

struct Line {
  int32_t x;        // pixels about the screen centre
  int32_t start_y;  // pixels
  SprBufferEntry* entry;
};

constexpr int32_t kLineTop = -240;
constexpr int32_t kLineFall = 32;
constexpr int32_t kLineBottom = 736;

void EndLine(SlgEffectTask* t, Line& l) {
  Ctx().ddraw_spr.DeleteBuffer(&l.entry);
  SlgTaskEnd(t);
}

void FallingLine(SlgEffectTask* t) {
  BriseSpecial& w = Special();
  auto& l = *static_cast<Line*>(t->owned[0]);
  const int32_t y = l.start_y + kLineFall * std::max(t->frames, 0);
  if (t->phase == kSlgPhaseStop || w.scene_over || w.ctx == nullptr || y > kLineBottom) {
    EndLine(t, l);
    return;
  }
  if (l.entry == nullptr && w.line != nullptr) {
    l.entry = SlgSprCreate(CDdrawSpr::kBuffered, w.line, l.x + 320, y + 240, SURFACE_ROOT, 0,
                           kLineDepth, 0);
  }
  Ctx().ddraw_spr.SetBufferPos(l.entry, l.x + 320, y + 240);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void StartLines(BriseSpecial& w, int32_t frames) {
  const int32_t n = SpawnDue(w.lines, SpawnRule{.interval = 4}, frames);
  if (n < 0) return;
  char name[40];
  std::snprintf(name, sizeof name, "Brise::line%d", static_cast<int>(n));
  SlgEffectTask* t = SlgTaskCreateWork(&FallingLine, sizeof(Line), name);
  if (t == nullptr) return;
  auto& l = *static_cast<Line*>(t->owned[0]);
  l.x = SlgRand() % 640 - 320;
  l.start_y = kLineTop;
}

// ---- Bombs ----

struct Bomb {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;     // its own reference of the effect set
  uint8_t index;
  uint8_t small;
};

// The small bombs' offsets from the handed position by direction and index (pixels).
constexpr int16_t kSmallBombOffset[4][2][2] = {
    {{32, -8}, {64, -24}}, {{32, 48}, {64, 64}}, {{-32, 48}, {-64, 64}}, {{-32, -8}, {-64, -24}}};
constexpr int16_t kBombAt[2][2] = {{24, 160}, {96, 192}};

void EndBomb(SlgEffectTask* t) {
  auto& b = *static_cast<Bomb*>(t->owned[0]);
  SprAnm* set = b.set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

void BombBody(SlgEffectTask* t) {
  BriseSpecial& w = Special();
  auto& b = *static_cast<Bomb*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndBomb(t);
    return;
  }
  if (t->phase == 0) {
    const uint32_t step = b.small != 0 ? 7 : 5;
    if (w.ctx == nullptr || w.unit == nullptr || w.unit->step != step) {
      EndBomb(t);
      return;
    }
    const SlgUnit& unit = *w.unit;
    DamageMember();
    SlgAnmObj& obj = *b.obj;
    if (b.small != 0) {
      const int16_t* off = kSmallBombOffset[unit.dir & 3u][b.index & 1u];
      obj.x = w.pos.x + off[0] * kPx;
      obj.y = w.pos.y + off[1] * kPx;
    } else {
      obj.x = kBombAt[b.index & 1u][0] * kPx;
      obj.y = kBombAt[b.index & 1u][1] * kPx;
    }
    obj.depth = static_cast<int16_t>(FirstTargetDepth(unit) - 10);
    obj.mode = kSlgAnmOnce;
    PlayHeld(w.ctx->effect_anims, kBombAnim, &obj, &b.set, SURFACE_ROOT);
    SlgAnmPlayOnce(&obj.handle);
    if (b.small == 0) SlgSprSetZoom(obj.handle, {kBombZoom, kBombZoom});
    t->phase = 1;
    return;
  }
  if (b.obj->handle == nullptr) EndBomb(t);
}

bool StartBomb(int index, bool small) {
  char name[32];
  std::snprintf(name, sizeof name, small ? "Brise::SmallBomb%d" : "Brise::Bomb%d", index + 1);
  SlgEffectTask* t = SlgTaskCreateAnmWork(&BombBody, sizeof(Bomb), name);
  if (t == nullptr) return false;
  auto& b = *static_cast<Bomb*>(t->owned[0]);
  b.index = static_cast<uint8_t>(index);
  b.small = small ? 1 : 0;
  return true;
}

// ---- The special's steps ----

// An event of the current step not yet done and due: marks it done.
bool Due(BriseSpecial& w, int bit, bool due) {
  const uint8_t mask = static_cast<uint8_t>(1u << bit);
  if (!due || (w.events & mask) != 0) return false;
  w.events |= mask;
  return true;
}

int Setup(BriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  SlgLayerOn(SURFACE_ROOT, 3);
  CutPictures(w);
  DrawGradient(w);
  w.line = DrawBoxSprite(2, 256, kLineColour, 0, 0);
  w.large_dot = DrawBoxSprite(10, 4, kLargeDotColour, 1, 1);
  w.small_dot = DrawBoxSprite(6, 4, kSmallDotColour, 1, 1);
  ShowPicture(w, 0, 0);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

// The attack stops where it stands: everything given back, the layers restored, state 7.
int Abandon(BriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  RestoreLayer(w);
  GiveBackSpecial(w);
  w.scene_over = true;
  Battle().flags |= kFlagsUnitsShown;
  EndAttack(unit);
  return kTimelineStop;
}

int Begin(BriseSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  EnterSpecialScene();
  if (AllocAnimeObjs(ctx.objects.data(), w.unit->anm, 2) == 0) return Abandon(w);
  ctx.object_count = 2;
  for (SlgAnmObj* obj : {ctx.objects[0], ctx.objects[1]}) {
    obj->x = -32 * kPx;
    obj->y = 64 * kPx;
  }
  PlayAttackAnms(ctx.objects.data(), kOpening, 2, 0, ctx, SURFACE_ROOT);
  for (SlgAnmObj* obj : {ctx.objects[0], ctx.objects[1]}) Ctx().anime.SetStop(obj->handle, 1);
  w.dot_count = 0;
  HideTargets(Battle().target_count);
  return kTimelineNextRow;
}

void DotsAndStart(BriseSpecial& w) {
  if (w.dot_task == nullptr) w.dot_task = SlgTaskCreate(SlgTaskOwner(), &Dots, "Brise::Dot");
  AddDot(w);
  if (!w.objects_started && TimelineFrames(w.clock.start) >= 60) {
    w.objects_started = true;
    SlgAttackCtx& ctx = *w.ctx;
    for (SlgAnmObj* obj : {ctx.objects[0], ctx.objects[1]}) Ctx().anime.SetStop(obj->handle, 0);
    SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
    if (spx != nullptr) spx->SetLoop(ctx.objects[1]->handle, 0);
  }
}

int BodyAt23(BriseSpecial& w) { return BodyAt(w, 23) ? 1 : 0; }

int LinesBegin(BriseSpecial& w) {
  w.lines = Spawner{};
  return kTimelineNextRow;
}

void LinesEachFrame(BriseSpecial& w) { StartLines(w, TimelineFrames(w.clock.start)); }

int BodyAt69(BriseSpecial& w) { return BodyAt(w, 69) ? 1 : 0; }

int PictureB(BriseSpecial& w) {
  ShowPicture(w, 1, 0);
  return kTimelineNextRow;
}

int Shake(BriseSpecial& w) {
  w.lines = Spawner{};
  w.scroll = Ctx().anime.CreateLayerScroll(SURFACE_ROOT, 0, 49, 16, 32);
  Ctx().ddraw_spr.SetBufferPos(w.entry, kBriseShake[0], 0);
  w.events = 0;
  return kTimelineNextRow;
}

int ShakeEachFrame(BriseSpecial& w) {
  const int32_t f = TimelineFrames(w.clock.start);
  if (Due(w, 0, f >= 6)) ShowPicture(w, 2, 0);
  if (Due(w, 1, f >= 15)) StartBomb(0, false);
  if (Due(w, 2, f >= 20)) StartBomb(1, false);
  const int x = f >= kBriseShakeFrames ? 0 : kBriseShake[static_cast<size_t>(std::max(f, 0))];
  Ctx().ddraw_spr.SetBufferPos(w.entry, x, 0);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return f >= kBriseShakeFrames ? 1 : 0;
}

int BackToMap(BriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  RestoreLayer(w);
  DeletePictures(w);
  ShowFlaggedUnits();
  ShowTargets(Battle().target_count);
  FreeAnimeObjs(ctx.objects.data(), ctx.object_count);
  ctx.objects.fill(nullptr);
  ctx.object_count = 0;
  w.scene_over = true;
  DeleteDots(w);
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, 1) == 0) {
    GiveBackSpecial(w);
    Battle().flags |= kFlagsUnitsShown;
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.object_count = 1;
  ctx.objects[0]->x = w.pos.x;
  ctx.objects[0]->y = w.pos.y;
  PlayAttackAnms(ctx.objects.data(), kClosing, 1, unit.dir, ctx, SURFACE_ROOT);
  w.events = 0;
  return kTimelineNextRow;
}

int SmallBombs(BriseSpecial& w) {
  const int32_t f = TimelineFrames(w.clock.start);
  if (SlgAnmObj* body = Obj(w, 0)) {
    body->x = w.pos.x;
    body->y = w.pos.y;
    PlaceObj(body);
  }
  if (Due(w, 0, f >= 30)) StartBomb(0, true);
  if (f >= 40 && !w.small_bomb2_made) w.small_bomb2_made = StartBomb(1, true);
  return f >= 120 && w.small_bomb2_made ? 1 : 0;
}

int Finish(BriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  Battle().flags |= kFlagsUnitsShown;
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<BriseSpecial>;
constexpr TimelineRow<BriseSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},                                               // 0
    {Wait::AtOnce(), &Begin},                                               // 1
    {Wait::SubDone(&BodyAt23), &LinesBegin, kTimelineNextRow, 0, &DotsAndStart},  // 2
    {Wait::SubDone(&BodyAt69), &PictureB, kTimelineNextRow, kTimelineChain,
     &LinesEachFrame},                                                      // 3
    {Wait::AtOnce(), &Shake, kTimelineNextRow, kTimelineChain},            // 4
    {Wait::SubDone(&ShakeEachFrame)},                                       // 5
    {Wait::AttackAnms([](BriseSpecial& w) -> const SlgAttackCtx* { return w.ctx; }),
     &BackToMap},                                                           // 6
    {Wait::SubDone(&SmallBombs)},                                           // 7
    {Wait::Frames(30), &Finish, kTimelineStop},                             // 8
};

}  // namespace

BriseWork& BriseAttackWork() { return Battle().Extension<BriseWork>(); }

BriseWork::~BriseWork() {
  if (HasCtx()) {
    DeletePictures(special);
    DeleteMarks(special);
  }
}

BriseDot BriseMakeDot(const BriseDotStart& s) {
  BriseDot d{};
  int32_t x = 0, y = 0;
  switch (s.edge & 3) {
    case 0: x = s.along, y = -240; break;
    case 1: x = s.along, y = 240; break;
    case 2: x = -320, y = s.along; break;
    default: x = 320, y = s.along; break;
  }
  d.active = 1;
  d.x = d.start_x = x * 256;
  d.y = d.start_y = y * 256;
  d.angle = SlgAtan2(-y, -x);
  const SlgPair v = SlgPolarToXY((s.large ? 12 : 6) * kPx, d.angle);
  d.vx = v.x / 256;
  d.vy = v.y / 256;
  return d;
}

bool BriseDotAt(BriseDot& d, int32_t frames) {
  const int64_t f = std::max(frames, 0);
  d.x = static_cast<int32_t>(std::clamp<int64_t>(d.start_x + d.vx * f, INT32_MIN, INT32_MAX));
  d.y = static_cast<int32_t>(std::clamp<int64_t>(d.start_y + d.vy * f, INT32_MIN, INT32_MAX));
  return std::abs(d.x) >= 32 * 256;
}

namespace Brise {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerNormal(BriseAttackWork().normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  BriseSpecial& w = Special();
  if (unit.step == 0) {
    Ctx().anime.DeleteRef(&w.scroll);  // an attack cut short by a stage switch
    GiveBackSpecial(w);
    w = BriseSpecial{};
    w.shown = -1;
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Brise
