// Player kind 13's attacks (battle_effects/gbrise.h).

#include "battle_effects/gbrise.h"

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
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint32_t kScaledCopy = 0x20000;
constexpr uint32_t kTintBlend = 0x40000;
constexpr ColorRef kDotColour = 0x00FF4040;  // a blue (0x4040FF as red, green, blue)
constexpr int16_t kFrontDepth = -1099;
constexpr int16_t kOrbitDepth = -1093;

GBriseSpecial& Special() { return GBriseAttackWork().special; }

// ---- The normal attack ----

constexpr SlgAttackRow kType0[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kType2[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr SlgAttackRow kType3[] = {{{6, 7}, 0, 0}, {{6, 7}, 0, 0}};
constexpr PlayerNormalForms kNormalForms{PlayerNormalForm(kType0), PlayerNormalForm(kType2),
                                         PlayerNormalForm(kType3)};

// ---- The special's shared pieces ----

SlgAnmObj* Obj(const GBriseSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

// Object 1 is at frame n or later (or has ended, or has no animation, or is gone).
bool Object1At(const GBriseSpecial& w, int32_t n) {
  return TimelineWaitOver(TimelineWaitKind::kAnmFrame, n, Obj(w, 1), nullptr, nullptr);
}

void DeletePictures(GBriseSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.entry);
  sprites.DeleteSprite(&w.dot);
  sprites.DeleteSprite(&w.picture6);
  for (SprRec*& s : w.pictures) sprites.DeleteSprite(&s);
  sprites.DeleteSprite(&w.copy5);
  w.shown = -1;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GBriseSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeletePictures(w);
}

void LoadPictures(GBriseSpecial& w) {
  const SlgUnit& unit = *w.unit;
  w.picture6 = CutSpecialPicture(unit, 6, 0, 0);
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.FillSurfaceRect(SURFACE_SCRATCH, 0, 0, 4, 4, 1);
  ddraw.DrawBox(SURFACE_SCRATCH, kDotColour, 1, 1, 3, 3, 0);
  w.dot = CutWorkBox(4, 4);
  for (int i = 0; i < 6; ++i) w.pictures[static_cast<size_t>(i)] = CutSpecialPicture(unit, i, 0, 0);
  if (w.pictures[5] != nullptr) w.copy5 = Ctx().ddraw_spr.CopySprite(w.pictures[5], nullptr);
}

// A one-frame entry of a sprite centred on a position about the screen centre.
void PutCentred(SprRec* sprite, const SlgPair& pos, int16_t depth, int32_t zoom) {
  if (sprite == nullptr) return;
  int width = 0, height = 0;
  Ctx().ddraw_spr.GetSpriteSize(sprite, &width, &height);
  SprBufferEntry* e = SlgSprCreate(nullptr, sprite, (pos.x >> 16) + 320 - width / 2,
                                   (pos.y >> 16) + 240 - height / 2, SURFACE_ROOT, 1, depth, 0);
  if (e != nullptr && zoom != kPx) Ctx().ddraw_spr.SetBufferZoom(e, zoom, zoom);
}

// ---- The cut-in ----

int32_t TableFrames(const GBriseSpecial& w) { return TimelineFrames(w.table_start); }

void ShowPicture(GBriseSpecial& w, int picture) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.entry);
  w.shown = static_cast<int8_t>(picture);
  SprRec* s = w.pictures[static_cast<size_t>(picture)];
  if (s != nullptr) w.entry = SlgSprCreate(CDdrawSpr::kBuffered, s, 0, 0, SURFACE_ROOT, 0, 511, 0);
}

// Picture 5 drawn from its saved copy at the level, the copy scaled (the destination not read).
void FadePicture5(GBriseSpecial& w, int32_t level) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  platform::Surface* own = sprites.GetSpriteSurface(w.pictures[5]);
  if (own == nullptr || w.copy5 == nullptr) return;
  sprites.SetSpriteAlpha(w.copy5, static_cast<BlendWord>(level + kScaledCopy));
  sprites.PutSpriteEx(w.copy5, -w.copy5->rect.left, -w.copy5->rect.top, own, 1, 0, nullptr,
                      CDdrawSpr::kZoomOne, CDdrawSpr::kZoomOne, 0, nullptr, 0, 0,
                      CDdrawSpr::kOpaque);
}

// Row `row` begins at table frame `frame`; 1 when it is row 11 (the fade to black).
int BeginRow(GBriseSpecial& w, int row, int32_t frame) {
  const int8_t left = kGBriseCutIn[static_cast<size_t>(row - 1)].picture;
  if (left >= 0) ShowPicture(w, left);
  w.row = static_cast<uint8_t>(row);
  w.row_frame = frame;
  if (row == 1) w.ramp_frame = frame;
  if (row == 10) {
    w.tint = 1;
    w.row10_frame = frame;
  }
  if (row == kGBriseCutInRows - 1) {
    SlgFadeOut(30);
    return 1;
  }
  return 0;
}

int StepTable(GBriseSpecial& w) {
  const int32_t f = TableFrames(w);
  while (w.row + 1 < kGBriseCutInRows &&
         f - w.row_frame >= kGBriseCutIn[w.row].frames) {
    if (BeginRow(w, w.row + 1, w.row_frame + kGBriseCutIn[w.row].frames) == 1) return 1;
  }
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (w.row10_frame >= 0) {
    const int32_t t = f - w.row10_frame;
    if (t < 30) {
      FadePicture5(w, (30 - t) * 256 / 30);
    } else {
      sprites.DeleteBuffer(&w.entry);
    }
    w.zoom = GBriseCutInZoom(t);
  }
  if (w.entry != nullptr) {
    const SlgPair at = GBriseCutInPoint(w.row, f - w.row_frame);
    sprites.SetBufferPos(w.entry, at.x >> 16, at.y >> 16);
    sprites.SetBufferZoom(w.entry, w.zoom, w.zoom);
    if (w.ramp_frame >= 0) {
      const int32_t level = std::min(f - w.ramp_frame, 60) * 256 / 60;
      sprites.SetBufferAlpha(w.entry, static_cast<BlendWord>(level + kScaledCopy));
    }
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return 0;
}

int CutInScene(GBriseSpecial& /*w*/) {
  EnterSpecialScene();
  return kTimelineNextRow;
}
int CutInTint(GBriseSpecial& w) {
  w.tint = 1;
  return kTimelineNextRow;
}
int CutInTable(GBriseSpecial& w) {
  w.table_start = TimelineNow();
  w.row = 0;
  w.row_frame = 0;
  w.ramp_frame = -1;
  w.row10_frame = -1;
  w.zoom = kPx;
  return kTimelineNextRow;
}

using CWait = TimelineWait<GBriseSpecial>;
constexpr TimelineRow<GBriseSpecial> kCutIn[] = {
    {CWait::AtOnce(), &CutInScene},
    {CWait::FadeEnd()},
    {CWait::Frames(182), &CutInTint},
    {CWait::Frames(20), &CutInTable},
    {CWait::SubDone(&StepTable)},
    {CWait::Frames(30)},
};
constexpr PresentationScript<GBriseSpecial> kCutInScript{
    .stages = kCutIn, .reports = (1u << 1) | (1u << 2), .reports_after_end = true};

int CutIn(GBriseSpecial& w) {
  if (w.cut_in_clean) return 1;
  return StepPresentation(kCutInScript, w.cut_in, w);
}

void CleanCutIn(GBriseSpecial& w) {
  DeletePictures(w);
  LeaveSpecialScene();
  SlgLayerRestore();
  SlgFadeIn(4);
  w.cut_in_clean = true;
}

// ---- The tint of the unit ----

void Tint(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  SlgAnmObj* body = Obj(w, 0);
  if (t->phase == kSlgPhaseStop || body == nullptr) {
    SlgTaskEnd(t);
    return;
  }
  const int32_t f = TimelineFrames(t->signal);
  switch (t->phase) {
    case 0:
    case 2:
      if (w.tint == 0) return;
      w.tint = 0;
      t->signal = t->now;
      ++t->phase;
      SlgSprSetAlpha(body, GBriseTintLevel(t->phase == 1, 0));
      return;
    case 1:
      SlgSprSetAlpha(body, GBriseTintLevel(true, f));
      if (f >= 60) t->phase = 2;
      return;
    default:
      if (f < 30) {
        SlgSprSetAlpha(body, GBriseTintLevel(false, f));
        return;
      }
      SlgSprSetAlpha(body, 256);
      SlgTaskEnd(t);
      return;
  }
}

// ---- Lines: the charge and the streaks ----

struct Line {
  SlgPair pos;  // 16.16 about the screen centre (the charge: about the orbit centre)
  SlgPair start;
  SlgPair velocity;
  int32_t zoom;
  int32_t extent;  // half the drawn width, pixels
  uint32_t n;
  int32_t stepped;
  bool large;
};

int Sign(int32_t v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

void ChargeLine(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  auto& l = *static_cast<Line*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    SlgTaskEnd(t);
    return;
  }
  for (; l.stepped < t->frames; ++l.stepped) {
    l.pos.x += l.velocity.x;
    l.pos.y += l.velocity.y;
    if (Sign(l.pos.x) != Sign(l.start.x) || Sign(l.pos.y) != Sign(l.start.y)) {
      SlgTaskEnd(t);
      return;
    }
  }
  const SlgAnmObj* body = Obj(w, 0);
  const int16_t depth = static_cast<int16_t>((body != nullptr ? body->depth : 0) + 1);
  PutCentred(w.dot, {w.centre.x + l.pos.x, w.centre.y + l.pos.y}, depth, kPx);
}

// A streak's start on its edge: odd n from the top, even from the left.
void StreakStart(Line& l) {
  if ((l.n & 1) != 0) {
    l.pos = {((SlgRand20() % 640) - 320) * kPx, -256 * kPx};
  } else {
    l.pos = {-360 * kPx, ((SlgRand20() % 480) - 240) * kPx};
  }
}

void Streak(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  auto& l = *static_cast<Line*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop || w.line_mode >= kGBriseLinesEnd) {
    SlgTaskEnd(t);
    return;
  }
  for (; l.stepped < t->frames; ++l.stepped) {
    l.pos.x += l.velocity.x;
    l.pos.y += l.velocity.y;
    if ((l.pos.x >> 16) - l.extent > 360) l.pos.x = -360 * kPx;
    if ((l.pos.y >> 16) - l.extent > 256) l.pos.y = -256 * kPx;
  }
  PutCentred(l.large ? w.picture6 : w.dot, l.pos, kFrontDepth, l.zoom);
}

void StartLine(GBriseSpecial& w) {
  char name[40];
  std::snprintf(name, sizeof name, "Gbrise::Line%u", static_cast<unsigned>(w.lines));
  const bool streak = w.line_mode == kGBriseStreaks;
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), streak ? &Streak : &ChargeLine, name);
  if (t == nullptr) return;
  auto* l = static_cast<Line*>(SlgAlloc(sizeof(Line)));
  if (l == nullptr) {
    SlgTaskEnd(t);
    return;
  }
  t->owned[0] = l;
  l->n = w.lines++;
  l->zoom = kPx;
  if (!streak) {
    const int32_t a = SlgRand20() & 511;
    l->pos = l->start = SlgPolarToXY(320 * kPx, a);
    l->velocity = SlgPolarToXY(16 * kPx, a + 256);
    return;
  }
  StreakStart(*l);
  const bool fast = (SlgRand20() & 1) != 0;
  int width = 4;
  l->large = ((l->n + 1) & 2) != 0;
  if (l->large) {
    l->velocity = fast ? SlgPair{48 * kPx, 24 * kPx} : SlgPair{32 * kPx, 16 * kPx};
    l->zoom = ((SlgRand20() & 511) + 4) * 256;
    Ctx().ddraw_spr.GetSpriteSize(w.picture6, &width, nullptr);
  } else {
    l->velocity = fast ? SlgPair{20 * kPx, 10 * kPx} : SlgPair{12 * kPx, 6 * kPx};
  }
  l->extent = static_cast<int32_t>(int64_t{width} * l->zoom / kPx / 2);
}

// ---- Plates and balls ----

struct Orbiter {
  SlgAnmObj* obj;  // first (SlgTaskCreateAnmWork)
  SprAnm* set;     // its own reference of the effect set
  GBrisePlate p;
  int32_t stepped;
};

void EndOrbiter(SlgEffectTask* t) {
  auto& o = *static_cast<Orbiter*>(t->owned[0]);
  SprAnm* set = o.set;
  SlgTaskEndAnmWork(t);
  ReleaseHeldSet(&set);
}

void PlaceOrbiter(const GBriseSpecial& w, Orbiter& o, int32_t radius, int32_t rotation) {
  const SlgPair at = SlgPolarToXY(radius, o.p.angle);
  o.obj->x = w.centre.x + at.x;
  o.obj->y = w.centre.y + at.y;
  PlaceObj(o.obj);
  SlgSprSetRot(o.obj->handle, rotation);
}

void Plate(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  auto& o = *static_cast<Orbiter*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndOrbiter(t);
    return;
  }
  for (; o.stepped < t->frames; ++o.stepped) {
    if (GBrisePlateStep(o.p, Object1At(w, 60)) == 1) {
      if (w.plates > 0) --w.plates;
      EndOrbiter(t);
      return;
    }
  }
  PlaceOrbiter(w, o, o.p.radius, o.p.angle + 128);
  const std::array<int32_t, 4> corners = GBrisePlateCorners(o.p);
  SlgSprSetCorners(o.obj->handle, corners.data());
}

void Ball(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  auto& o = *static_cast<Orbiter*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndOrbiter(t);
    return;
  }
  for (; o.stepped < t->frames; ++o.stepped) {
    o.p.speed += o.p.accel;
    o.p.radius += o.p.speed;
    o.p.angle += o.p.turn;
    if (o.p.radius <= 0) {
      if (w.balls > 0) --w.balls;
      EndOrbiter(t);
      return;
    }
  }
  PlaceOrbiter(w, o, o.p.radius, o.p.angle);
  const int32_t zoom = static_cast<int32_t>(int64_t{o.p.scale} * (o.p.radius >> 16));
  SlgSprSetZoom(o.obj->handle, {zoom, zoom});
}

// A plate or a ball, its variant bit choosing its animation (4 or 5, 6 or 7).
bool StartOrbiter(GBriseSpecial& w, bool plate) {
  if (w.ctx == nullptr) return false;
  char name[40];
  uint32_t& names = plate ? w.plate_names : w.ball_names;
  std::snprintf(name, sizeof name, plate ? "Gbrise::Plate%u" : "Gbrise::Ball%u",
                static_cast<unsigned>(names++));
  SlgEffectTask* t = SlgTaskCreateAnmWork(plate ? &Plate : &Ball, sizeof(Orbiter), name);
  if (t == nullptr) return false;
  auto& o = *static_cast<Orbiter*>(t->owned[0]);
  const uint32_t variant = static_cast<uint32_t>(SlgRand20()) & 1;
  GBrisePlate& p = o.p;
  p.angle = SlgRand20() & 511;
  if (plate) {
    p.radius = p.radius2 = 380 * kPx;
    const int32_t turn = (SlgRand20() & 3) + 1;
    p.turn = (SlgRand20() & 1) != 0 ? turn : -turn;
    p.accel = -(0x13333 + (SlgRand20() & 0xFFFF));
    p.scale = ((SlgRand20() & 31) + 32) * kPx / 12160;
  } else {
    p.radius = 328 * kPx;
    p.turn = 8;
    p.accel = -(kPx + (SlgRand20() & 0xFFFF));
    p.scale = ((SlgRand20() & 3) + 32) * kPx / 11520;
  }
  o.obj->depth = kOrbitDepth;
  o.obj->mode = 0;
  PlayHeld(w.ctx->effect_anims, (plate ? 4 : 6) + variant, o.obj, &o.set, SURFACE_ROOT);
  PlaceOrbiter(w, o, p.radius, plate ? p.angle + 128 : p.angle);
  return true;
}

// "Gbrise::Tame": the charge lines until object 1's frame 25, then plates and balls until its
// frame 60, then the end once the last of them has ended.
void Tame(SlgEffectTask* t) {
  GBriseSpecial& w = Special();
  if (t->phase == kSlgPhaseStop) {
    SlgTaskEnd(t);
    return;
  }
  switch (t->phase) {
    case 0:
      w.plates = w.balls = 0;
      w.mode = 1;
      w.plate_names = w.ball_names = 0;
      t->phase = 1;
      [[fallthrough]];
    case 1:
      if (w.line_mode == kGBriseCharge) StartLine(w);
      if (Object1At(w, 25)) {
        t->phase = 2;
        w.mode = 2;
      }
      return;
    case 2:
      if (!Object1At(w, 60)) {
        if (w.plates < 15 && StartOrbiter(w, true)) ++w.plates;
        if (w.balls < 20 && StartOrbiter(w, false)) ++w.balls;
        return;
      }
      t->phase = 3;
      [[fallthrough]];
    default:
      if (w.plates == 0 && w.balls == 0) SlgTaskEnd(t);
      return;
  }
}

// ---- The special's steps ----

int Setup(GBriseSpecial& w) { return SceneSetup(w, &LoadPictures); }

int Begin(GBriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  if (!StartSceneObjects(ctx, unit, 3)) {
    GiveBackSpecial(w);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  if (SlgUnit* target = ListedTarget(0)) {
    w.has_targets = true;
    w.target = {target->x, target->y};
    const SlgPair raised = Slg::RaiseByCellHeight(w.target);
    Slg::ScrollJumpTo({raised.x - 128 * kPx, raised.y - 64 * kPx});
    const int16_t depth = target->anm != nullptr ? target->anm->depth : 0;
    ctx.objects[0]->depth = static_cast<int16_t>(depth + 2);
    ctx.objects[1]->depth = static_cast<int16_t>(depth + 1);
    ctx.objects[2]->depth = static_cast<int16_t>(depth - 1);
    SlgPlayAnm(ctx.body_anims, 0, ctx.objects[0], SURFACE_ROOT);
    Ctx().anime.SetStop(ctx.objects[0]->handle, 1);
    HideTargets(Battle().target_count);
  }
  w.centre = {-60 * kPx, -34 * kPx};
  CutIn(w);
  SlgTaskCreate(SlgTaskOwner(), &Tint, "GBrise::unitPalChange");
  return kTimelineNextRow;
}

int StartCharge(GBriseSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  SlgTaskCreate(SlgTaskOwner(), &Tame, "Gbrise::Tame");
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(ctx.effect_anims, 0, ctx.objects[1], SURFACE_ROOT);
  SlgPlayAnm(ctx.effect_anims, 1, ctx.objects[2], SURFACE_ROOT);
  return kTimelineNextRow;
}

void KeepCutIn(GBriseSpecial& w) { CutIn(w); }

int StreaksOn(GBriseSpecial& w) {
  w.line_mode = kGBriseStreaks;
  w.lines = 0;
  return kTimelineNextRow;
}

void StreakEachFrame(GBriseSpecial& w) {
  CutIn(w);
  StartLine(w);
}

// The cut-in done and none of the three animations running.
int SceneDone(GBriseSpecial& w) {
  if (CutIn(w) != 1) return 0;
  for (int i = 0; i < 3; ++i) {
    if (SlgAnmObjIsEnd(Obj(w, i)) == 0) return 0;
  }
  return 1;
}

constexpr SlgAttackRow kClosingRows[] = {{{2, 3}, 0, 0}, {{2, 3}, -7, 0xF9}};

int BackToMap(GBriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  for (int i = 0; i < 3; ++i) ReleaseObjAnm(ctx.objects[static_cast<size_t>(i)]);
  if (w.has_targets) {
    Slg::ScrollToCellPos({unit.x, unit.y});
    for (int i = 0; i < 16; ++i) Slg::ScrollStep();
  }
  const int16_t depth = unit.anm != nullptr ? unit.anm->depth : 0;
  ctx.objects[0]->depth = depth;
  ctx.objects[1]->depth = depth;
  if (w.has_targets) ShowTargets(Battle().target_count);
  PlayAttackAnms(ctx.objects.data(), kClosingRows, 2, unit.dir, ctx, SURFACE_ROOT);
  SlgAnmPlayOnce(&ctx.objects[1]->handle);
  CleanCutIn(w);
  w.line_mode = kGBriseLinesEnd;
  return kTimelineNextRow;
}

void FollowUnit(GBriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  if (SlgAnmObj* body = Obj(w, 0)) {
    body->depth = unit.anm != nullptr ? unit.anm->depth : body->depth;
    body->x = w.pos.x;
    body->y = w.pos.y;
    PlaceObj(body);
  }
  if (SlgAnmObj* effect = Obj(w, 1)) {
    effect->depth = kFrontDepth;
    const SlgPair at =
        w.has_targets ? Slg::WorldToScreen(w.target) : w.pos;
    effect->x = at.x;
    effect->y = at.y;
    PlaceObj(effect);
  }
}

int ClosingDone(GBriseSpecial& w) {
  return SlgAnmObjIsEnd(Obj(w, 0)) != 0 && SlgAnmObjIsEnd(Obj(w, 1)) != 0 ? 1 : 0;
}

int Finish(GBriseSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GBriseSpecial>;
constexpr TimelineRow<GBriseSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::SubDone(&CutIn), &StartCharge},
    {Wait::SubDone(&CutIn)},
    {Wait::Frames(60), &StreaksOn, kTimelineNextRow, 0, &KeepCutIn},
    {Wait::Frames(30), nullptr, kTimelineNextRow, 0, &StreakEachFrame},
    {Wait::SubDone(&SceneDone), &BackToMap},
    {Wait::SubDone(&ClosingDone), &Finish, kTimelineStop, 0, &FollowUnit},
};

}  // namespace

GBriseWork& GBriseAttackWork() { return Battle().Extension<GBriseWork>(); }

GBriseWork::~GBriseWork() {
  if (HasCtx()) DeletePictures(special);
}

SlgPair GBriseCutInPoint(int row, int32_t t) {
  const int r = std::clamp(row, 0, kGBriseCutInRows - 2);
  const GBriseCutInRow& a = kGBriseCutIn[static_cast<size_t>(r)];
  const GBriseCutInRow& b = kGBriseCutIn[static_cast<size_t>(r + 1)];
  const int32_t n = std::max<int32_t>(a.frames, 1);
  const int32_t f = std::clamp<int32_t>(t, 0, n);
  return {(a.x + (b.x - a.x) * f / n) * kPx, (a.y + (b.y - a.y) * f / n) * kPx};
}

int32_t GBriseCutInZoom(int32_t t) {
  constexpr int32_t kFloor = kPx / 10;
  const int32_t z = std::max(kPx - std::max(t, 0) * 1966, kFloor);
  return static_cast<int32_t>((int64_t{kPx} * kPx) / z);
}

uint32_t GBriseTintLevel(bool up, int32_t t) {
  if (up) return static_cast<uint32_t>(std::clamp(t, 0, 60) * 102 / 60) + kTintBlend;
  return static_cast<uint32_t>((3060 - std::clamp(t, 0, 30) * 102) / 30) + kTintBlend;
}

std::array<int32_t, 4> GBrisePlateCorners(const GBrisePlate& p) {
  const int32_t skew = (p.radius2 - p.radius) / 209;
  return {static_cast<int32_t>(int64_t{p.scale} * (p.radius2 >> 16)), skew,
          static_cast<int32_t>(int64_t{p.scale} * (p.radius >> 16)) + 655, skew};
}

int GBrisePlateStep(GBrisePlate& p, bool released) {
  p.angle += p.turn;
  if (!p.resting) {
    p.speed += p.accel;
    p.radius += p.speed;
    if (p.radius <= 0) {
      p.radius = 0;
      p.resting = true;
      p.accel *= 2;
    }
    return 0;
  }
  if (!released) return 0;
  p.speed2 += p.accel;
  p.radius2 += p.speed2;
  if (p.radius2 > 0) return 0;
  p.radius2 = 0;
  return 1;
}

namespace GBrise {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerNormal(GBriseAttackWork().normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  GBriseSpecial& w = Special();
  if (unit.step == 0) {
    GiveBackSpecial(w);  // an attack cut short by a stage switch
    w = GBriseSpecial{};
    w.shown = -1;
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace GBrise
