// The YSOL heroine unit's attacks (kind 4): the normal routine with its light shells and arc marks,
// the special with its big bears and bears (battle_effects/ysol.h).

#include "battle_effects/ysol.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/kinematic.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kTypeStraight = 3;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPixel = 0x10000;
constexpr int32_t kZoomOne = 0x10000;
constexpr uint16_t kUnitsShownFlags = 0x6;  // SlgFlags bits 1 and 2
constexpr uint16_t kMirrored = 16;

SpxAnimeKind* Spx() { return HasScene() ? Scene().tamvik_spr.spx() : nullptr; }

SlgPair Px(int32_t x, int32_t y) { return {x * kPixel, y * kPixel}; }

void PlaceObj(SlgAnmObj* obj, const SlgPair& at) {
  obj->x = at.x;
  obj->y = at.y;
  SlgSprSetPos(obj->handle, at);
}

void ReleaseObjAnm(SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr && HasScene()) {
    Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  }
}

// ======================= The normal routine =======================

constexpr SlgAttackRow kMarkRow{{3, 3}, 0, 0};
constexpr SlgAttackRow kNormalRows[] = {
    {{0, 5}, 0, 0}, {{12, 12}, 1, 1}, kMarkRow, kMarkRow, kMarkRow,
    kMarkRow,       kMarkRow,         kMarkRow, kMarkRow,
};
constexpr SlgAttackRow kCriticalRows[] = {
    {{0, 5}, 0, 0}, {{15, 15}, 1, 1}, {{17, 17}, 0, 0}, kMarkRow, kMarkRow,
    kMarkRow,       kMarkRow,         kMarkRow,         kMarkRow, kMarkRow,
};
constexpr SlgAttackRow kBodyBeforeShells{{4, 6}, 0, 0};
constexpr SlgAttackRow kBodyAfterShells{{23, 24}, 0, 0};
// Object 1's second and third pieces.
constexpr SlgAttackRow kNormalPieces[2] = {{{13, 13}, 0, 0}, {{14, 14}, 0, 0}};
constexpr SlgAttackRow kCriticalPieces[2] = {{{16, 16}, 0, 0}, {{14, 14}, 0, 0}};

constexpr int32_t kArcY[kYsolMarks] = {-14, -6, -2, 0, -2, -6, -14};
constexpr int32_t kMarkFrames = 3;    // one more mark every 3 frames
constexpr int32_t kMarksDelay = 3;    // frames from the body's {4, 6} end to the first mark
constexpr int32_t kFinalWait = 30;

// Shells.
constexpr int kNormalShells = 8;
constexpr int32_t kNormalSpacing = 64;
constexpr int kCriticalShells = 16;
constexpr int32_t kCriticalSpacing = 32;
constexpr int16_t kShellDepth = -1099;
constexpr int32_t kShellRise = 80;         // pixels above the origin
constexpr int32_t kShellStep = 48;         // the first step along the angle (y halved)
constexpr int32_t kShellRiseSpeed = 16;    // pixels a frame
constexpr int32_t kShellRiseFrames = 3;
constexpr int32_t kShellCharge = 26;       // the critical's frames before the drift
constexpr int32_t kShellDrift = 10;
constexpr int32_t kAimAbove = 64;          // the aim point above the target
constexpr int32_t kHitBelowAim = 32;       // the hit animation below the aim point
constexpr uint32_t kAnimCharge = 7, kAnimRise = 8, kAnimBurst = 9, kAnimHit = 10,
                   kAnimCriticalHit = 11;

bool Critical(const SlgUnit& unit) { return unit.stats.attack_type == kTypeCritical; }

YsolWork& Work() { return Battle().Extension<YsolWork>(); }

// The objects of the form: the marks follow object 1 (the critical: object 2).
int FirstMark(const SlgUnit& unit) { return Critical(unit) ? 3 : 2; }

SlgAnmObj* Obj(YsolWork& w, int i) {
  return w.ctx != nullptr && i < w.ctx->object_count ? w.ctx->objects[static_cast<size_t>(i)]
                                                     : nullptr;
}

// Every object on the unit's drawing position of this call, the marks on their arc.
void Follow(YsolWork& w) {
  if (w.ctx == nullptr) return;
  const int first_mark = FirstMark(*w.unit);
  for (int i = 0; i < w.ctx->object_count; ++i) {
    SlgAnmObj* obj = Obj(w, i);
    if (obj == nullptr) continue;
    SlgPair at = w.pos;
    if (i >= first_mark) {
      const SlgPair off = YsolMarkOffset(i - first_mark);
      at = {at.x + off.x, at.y + off.y};
    }
    PlaceObj(obj, at);
  }
}

// Object 1: its second piece once its first has reached its end; its third deleted at its end.
void StepPieces(YsolWork& w) {
  SlgAnmObj* obj = Obj(w, 1);
  if (obj == nullptr) return;
  const SlgAttackRow* pieces = Critical(*w.unit) ? kCriticalPieces : kNormalPieces;
  if (w.piece == 1 && SlgAnmObjIsEnd(obj) != 0) {
    PlayAttackRow(obj, pieces[0], w.unit->dir, w.ctx->effect_anims, 0, SURFACE_ROOT);
    w.piece = 2;
  } else if (w.piece == 3 && SlgAnmObjIsEnd(obj) != 0) {
    ReleaseObjAnm(obj);
    w.piece = 4;
  }
}

// The marks shown so far: one every 3 frames from the first, up to seven.
void StepMarks(YsolWork& w) {
  if (w.marks_on == 0) return;
  const int shown = std::min(kYsolMarks, 1 + TimelineFrames(w.marks_start) / kMarkFrames);
  const int first_mark = FirstMark(*w.unit);
  for (int i = w.marks_shown; i < shown; ++i) {
    if (SlgAnmObj* obj = Obj(w, first_mark + i)) SlgAnmShow(obj->handle);
  }
  w.marks_shown = std::max(w.marks_shown, shown);
}

void RemoveMarks(YsolWork& w) {
  const int first_mark = FirstMark(*w.unit);
  for (int i = 0; i < kYsolMarks; ++i) ReleaseObjAnm(Obj(w, first_mark + i));
  w.marks_on = 0;
}

void MarksHidden(LayeredAttack& a) {
  YsolWork& w = *static_cast<YsolWork*>(a.user);
  const int first_mark = FirstMark(*w.unit);
  for (int i = 0; i < kYsolMarks; ++i) {
    if (SlgAnmObj* obj = Obj(w, first_mark + i)) SlgAnmHide(obj->handle);
  }
  w.piece = 1;
  w.unit->step = 2;
}

void GiveBackCtx(LayeredAttack& a) {
  YsolWork& w = *static_cast<YsolWork*>(a.user);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
  a.ctx = nullptr;
}

// ---- Shells ----

void EndShell(SlgEffectTask* t) {
  YsolWork& w = Work();
  if (w.live_shells > 0) --w.live_shells;
  SlgTaskEndAnmWork(t);
}

void ShellPlay(YsolShell& s, uint32_t anim, uint8_t mode, uint16_t attr) {
  s.obj->mode = mode;
  s.obj->depth = kShellDepth;
  SlgPlayAnmAttr(s.set, anim, s.obj, SURFACE_ROOT, attr);
  SlgSprSetZoom(s.obj->handle, {kZoomOne, kZoomOne});
}

void ShellEnter(SlgEffectTask* t, YsolShell& s, uint8_t stage) {
  s.stage = stage;
  s.stage_start = t->frames;
  s.from = s.homing.pos;
  switch (stage) {
    case kYsolRise:
      ShellPlay(s, kAnimRise, 0, 0);
      break;
    case kYsolBurst:
      ShellPlay(s, kAnimBurst, kSlgAnmOnce, 0);
      break;
    default:
      break;
  }
}

// The shell's hit: below the aim point, turned by its heading, and the target's hit signal.
void ShellHit(SlgEffectTask* t, YsolShell& s) {
  s.homing.pos = {s.homing.aim.x, s.homing.aim.y + kHitBelowAim * kPixel};
  ShellEnter(t, s, kYsolHit);
  ShellPlay(s, s.type == kTypeCritical ? kAnimCriticalHit : kAnimHit, kSlgAnmOnce,
            YsolBurstAttr(s.homing.heading));
  if (s.target >= 0 && SlgSlotInUse(static_cast<uint32_t>(s.target))) {
    Battle().state.units[static_cast<size_t>(s.target)].flags |= kUnitHitNow;
  }
}

void ShellBody(SlgEffectTask* t) {
  YsolShell& s = *static_cast<YsolShell*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndShell(t);
    return;
  }
  int32_t f = t->frames - s.stage_start;
  switch (s.stage) {
    case kYsolCharge:
      // The critical: hidden for number + 1 frames, running until frame 26.
      if (s.shown == 0 && f >= s.number + 1) {
        SlgAnmShow(s.obj->handle);
        s.shown = 1;
      }
      if (f >= kShellCharge) ShellEnter(t, s, kYsolDrift);
      break;
    case kYsolDrift: {
      const Kinematic back{.start = s.from, .velocity = {-s.velocity.x / 16, -s.velocity.y / 16},
                           .end = KinematicEnd::kFrames, .frames = kShellDrift};
      const KinematicPos p = KinematicAt(back, f);
      s.homing.pos = p.pos;
      if (p.ended) ShellEnter(t, s, kYsolRise);
      break;
    }
    case kYsolRise: {
      const Kinematic rise{.start = s.from, .velocity = s.velocity, .end = KinematicEnd::kFrames,
                           .frames = kShellRiseFrames};
      const KinematicPos p = KinematicAt(rise, f);
      s.homing.pos = p.pos;
      if (p.ended) ShellEnter(t, s, s.type == kTypeStraight ? kYsolBurst : kYsolHoming);
      break;
    }
    case kYsolHoming:
      if (HomingFly(s.homing, kYsolShellHoming, f)) ShellEnter(t, s, kYsolBurst);
      break;
    case kYsolBurst: {
      // Still moving along its heading while it bursts.
      const SlgPair v = SlgPolarToXY(kYsolShellHoming.speed, s.homing.heading);
      s.homing.pos = KinematicAt({.start = s.from, .velocity = v}, f).pos;
      if (SlgAnmObjIsEnd(s.obj) != 0) {
        if (s.type == kTypeStraight || s.target < 0) {
          EndShell(t);
          return;
        }
        ShellHit(t, s);
      }
      break;
    }
    default:
      if (SlgAnmObjIsEnd(s.obj) != 0) {
        EndShell(t);
        return;
      }
      break;
  }
  SlgSprSetRot(s.obj->handle, s.homing.heading + 256);
  PlaceObj(s.obj, Slg::WorldToScreen(s.homing.pos));
}

// The shells of the attack: one random angle, spaced evenly; shell i aims at target i, the rest at
// targets drawn at random; none without targets.
void LaunchShells(YsolWork& w) {
  SlgUnit& unit = *w.unit;
  const bool critical = Critical(unit);
  const int n = critical ? kCriticalShells : kNormalShells;
  const int32_t spacing = critical ? kCriticalSpacing : kNormalSpacing;
  const BattleContext& b = Battle();
  const int targets = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  const int32_t base = SlgRand() & 511;
  const SlgPair origin = Slg::RaiseByCellHeight({unit.x, unit.y});
  for (int i = 0; i < n; ++i) {
    int target = -1;
    if (i < targets) {
      target = b.targets[static_cast<size_t>(i)];
    } else if (targets > 0) {
      target = b.targets[static_cast<size_t>(SlgRand20() % targets)];
    }
    char name[32];
    std::snprintf(name, sizeof name, "YSOL::LShell%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&ShellBody, sizeof(YsolShell), name);
    if (t == nullptr) continue;  // never counted: the routine does not wait for it
    YsolShell& s = *static_cast<YsolShell*>(t->owned[0]);
    s.number = i;
    s.type = unit.stats.attack_type;
    s.target = static_cast<int8_t>(target >= 0 && SlgSlotInUse(static_cast<uint32_t>(target))
                                       ? target : -1);
    s.set = w.ctx->effect_anims;
    s.angle = (base + i * spacing) & 511;
    s.velocity = SlgPolarToXY(kShellRiseSpeed * kPixel, s.angle);
    const SlgPair step = SlgPolarToXY(kShellStep * kPixel, s.angle);
    s.homing.pos = {origin.x + step.x, origin.y - kShellRise * kPixel + step.y / 2};
    s.homing.heading = s.angle;
    if (s.target >= 0) {
      const SlgUnit& u = b.state.units[static_cast<size_t>(s.target)];
      const SlgPair at = Slg::RaiseByCellHeight({u.x, u.y});
      s.homing.aim = {at.x, at.y - kAimAbove * kPixel};
      s.homing.has_aim = true;
    }
    s.from = s.homing.pos;
    PlaceObj(s.obj, Slg::WorldToScreen(s.homing.pos));
    if (critical) {
      s.stage = kYsolCharge;
      ShellPlay(s, kAnimCharge, 0, 0);
      SlgAnmHide(s.obj->handle);
    } else {
      s.stage = kYsolRise;
      ShellPlay(s, kAnimRise, 0, 0);
    }
    SlgSprSetRot(s.obj->handle, s.homing.heading + 256);
    ++w.live_shells;
    ++w.shells_made;
  }
}

// The follow-up of the layered attack: the routine's steps 3-5.
int FollowUp(LayeredAttack& a) {
  YsolWork& w = *static_cast<YsolWork*>(a.user);
  SlgUnit& unit = *w.unit;
  SlgAnmObj* body = Obj(w, 0);
  StepClock& clock = w.follow_clock;
  switch (w.follow) {
    case 0:
      PlayAttackRow(body, kBodyBeforeShells, unit.dir, w.ctx->body_anims, kSlgAnmOnce,
                    SURFACE_ROOT);
      unit.step = 3;
      w.follow = 1;
      return 0;
    case 1:
      // The timer counts from the body's end.
      if (SlgAnmObjIsEnd(body) == 0) return 0;
      clock = StepClock{TimelineNow(), 0, 0, 1};
      w.follow = 2;
      [[fallthrough]];
    case 2:
      if (TimelineFrames(clock.start) < kMarksDelay) return 0;
      w.marks_on = 1;
      w.marks_start = TimelineNow();
      StepMarks(w);
      w.follow = 3;
      return 0;
    case 3:
      LaunchShells(w);
      w.shells_launched = 1;
      unit.step = 4;
      w.follow = 4;
      return 0;
    case 4:
      if (w.live_shells > 0) {
        if (SpxAnimeKind* spx = Spx(); spx != nullptr && body != nullptr) {
          spx->SetFrame(body->handle, 0);
        }
        return 0;
      }
      if (SlgAnmObjIsEnd(body) == 0) return 0;
      PlayAttackRow(body, kBodyAfterShells, unit.dir, w.ctx->body_anims, kSlgAnmOnce,
                    SURFACE_ROOT);
      if (SlgAnmObj* piece = Obj(w, 1); piece != nullptr && w.piece < 3) {
        const SlgAttackRow* pieces = Critical(unit) ? kCriticalPieces : kNormalPieces;
        PlayAttackRow(piece, pieces[1], unit.dir, w.ctx->effect_anims, kSlgAnmOnce,
                      SURFACE_ROOT);
        w.piece = 3;
      }
      RemoveMarks(w);
      unit.step = 5;
      w.follow = 5;
      return 0;
    default:
      if (SlgAnmObjIsEnd(body) == 0) return 0;
      unit.step = 6;
      return 1;
  }
}

// The two forms differ only in their rows.
constexpr LayeredForm Form(std::span<const SlgAttackRow> rows) {
  return {.rows = rows,
          .flag_one = LayeredBit(0) | LayeredBit(1),
          .count = LayeredCount::kBody,
          .final_wait = kFinalWait,
          .started = &MarksHidden,
          .follow_up = &FollowUp,
          .finish = &GiveBackCtx};
}
constexpr LayeredForm kNormalForm = Form(kNormalRows);
constexpr LayeredForm kCriticalForm = Form(kCriticalRows);

// ======================= The special routine =======================

constexpr int16_t kFrontDepth = -1535;  // 64001 as the object's 16-bit depth
constexpr int16_t kPictureDepth = -1534;
constexpr int32_t kScrollMoves = 256;
constexpr uint32_t kScrollInterval = 16;  // ms
constexpr int32_t kScrollStep = 0x28000;  // 2.5 pixels in 1/65536 pixels
constexpr int32_t kPictureRamp = 34;

using Row = TimelineRow<YsolWork>;
using Wait = TimelineWait<YsolWork>;

// Big bears: their places, 240 pixels below where they start; and their landing zoom.
constexpr SlgPair kBigBearPlaces[kYsolBigBears] = {
    {-272 * kPixel, -160 * kPixel}, {-176 * kPixel, -144 * kPixel}, {-80 * kPixel, -160 * kPixel},
    {80 * kPixel, -160 * kPixel},   {176 * kPixel, -144 * kPixel},  {272 * kPixel, -160 * kPixel},
};
constexpr int32_t kBigBearDrop = 240;
constexpr int32_t kBigBearDelay = 30;  // frames per order step
constexpr int32_t kFallGrowth = 6553;  // 0.1 pixels a frame per frame
constexpr int32_t kFallLimit = 12 * kPixel;
constexpr SlgMotionKey kLanding[] = {{80, 96, 1}, {80, 32, 3}, {80, 48, 3}, {16, 96, 3},
                                     {48, 96, 3}, {80, 64, 3}, {80, 96, 1}, {80, 96, 9},
                                     {0, 0, 0}};
constexpr SlgMotionKey kSpring[] = {{48, 96, 1}, {48, 64, 3}, {48, 48, 3}, {48, 32, 3},
                                    {16, 96, 3}, {2, 112, 3}, {0, 0, 0}};
constexpr uint32_t kAnimBigBear = 3, kAnimBigBearFall = 4, kAnimBigBearLand = 5,
                   kAnimBigBearDrift = 6, kAnimHitMark = 9, kAnimStar = 10, kAnimSpring = 11;

// Stars.
constexpr SlgPair kStarVelocity[4] = {
    {8 * kPixel, 8 * kPixel}, {-8 * kPixel, 8 * kPixel},
    {8 * kPixel, -8 * kPixel}, {-8 * kPixel, -8 * kPixel}};
constexpr int32_t kStarTurn = 32;
constexpr int32_t kStarLife = 60;

// Bears by place: offset from the target (pixels), mirrored, depth from the target's, animation.
struct BearPlace {
  int32_t dx, dy;
  uint16_t attr;
  int16_t depth;
  uint32_t anim;
};
constexpr BearPlace kBearPlaces[kYsolBearsPerTarget] = {
    {-48, -24, kMirrored, 1, 7}, {48, -24, 0, 1, 7}, {48, 24, kMirrored, -1, 8},
    {-48, 24, 0, -1, 8}};

void SetPresentationStage(YsolPresentation& p, uint8_t stage) {
  p.stage = stage;
  p.clock = StepClock{TimelineNow(), 0, stage, 1};
}

// One call of the presentation: 1 when the stage reports done on this call.
int Present(YsolWork& w) {
  YsolPresentation& p = w.presentation;
  if (p.clock.started == 0) SetPresentationStage(p, p.stage);
  const int32_t frames = TimelineFrames(p.clock.start);
  BattleContext& b = Battle();
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  switch (p.stage) {
    case 0:
      b.flags = static_cast<uint16_t>(b.flags & ~kUnitsShownFlags);
      SlgFadeIn(30);
      SetPresentationStage(p, 1);
      return 0;
    case 1: {
      if (SlgIsFadeEnd() == 0) return 0;
      CDdrawAnime& anime = Ctx().anime;
      w.scroll = anime.CreateLayerScroll(SURFACE_ROOT, kScrollStep, 0, kScrollInterval,
                                         kScrollMoves);
      if (w.scroll != nullptr) {
        anime.SetScrollPrecision(w.scroll, kPixel, kPixel);
        anime.SetAutoClear(&w.scroll);
      }
      SetPresentationStage(p, 2);
      return 1;
    }
    case 2:
      if (w.scroll != nullptr) return 0;
      SetPresentationStage(p, 3);
      return 0;
    case 3:
      if (frames < 120) return 0;
      BossShowPicture(w.picture, 0, 0, kPictureDepth);
      SetPresentationStage(p, 4);
      return 0;
    case 4:
      if (w.picture.sprite != nullptr) {
        sprites.SetSpriteAlpha(w.picture.sprite, static_cast<BlendWord>(YsolPictureAlpha(frames)));
      }
      if (frames >= kPictureRamp) SetPresentationStage(p, 5);
      return 0;
    case 5:
      SetPresentationStage(p, 6);
      return 1;
    case 6:
      return 0;
    case 7:
      SlgWhiteOut(120);
      SetPresentationStage(p, 8);
      return 0;
    case 8:
      if (SlgIsFadeEnd() == 0) return 0;
      b.flags = static_cast<uint16_t>(b.flags | kUnitsShownFlags);
      ShowFlaggedUnits();
      if (w.picture.entry != nullptr) sprites.DeleteBuffer(&w.picture.entry);
      SlgWhiteIn(60);
      SetPresentationStage(p, 9);
      return 1;
    default:
      return SlgIsFadeEnd() != 0 ? 1 : 0;
  }
}

// Steps that do not wait for a report step the presentation too: what it reports is dropped.
void PresentDropped(YsolWork& w) { Present(w); }

SlgAnmObj* Body(YsolWork& w) { return Obj(w, 0); }

// Step 5: the picture has ramped in. Its report may already have come (and been dropped) while
// the steps before waited for a long body animation; the stage it then holds ends the wait, which
// would otherwise never end.
int PictureIn(YsolWork& w) { return Present(w) != 0 || w.presentation.stage >= 6 ? 1 : 0; }

// What the special took (YsolGiveBack). The layers are put back by the step that ends the
// scene.
void GiveBackSpecial(YsolWork& w) { YsolGiveBack(w); }

// ---- Stars ----

struct StarWork {
  SlgAnmObj* obj;
  SlgPair from;
  SlgPair velocity;
  SprAnm* set;  // a reference of its own: a star may outlive the attack's context
};

void StarBody(SlgEffectTask* t) {
  StarWork& s = *static_cast<StarWork*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop || t->frames >= kStarLife) {
    ReleaseObjAnm(s.obj);
    ReleaseUnitAnm(&s.set);
    SlgTaskEndAnmWork(t);
    return;
  }
  PlaceObj(s.obj, KinematicAt({.start = s.from, .velocity = s.velocity}, t->frames).pos);
  SlgSprSetRot(s.obj->handle, kStarTurn * t->frames);
}

void StartStars(YsolWork& w, const SlgPair& at, int16_t depth) {
  for (int place = 0; place < 4; ++place) {
    char name[32];
    std::snprintf(name, sizeof name, "YSOL::star%d", w.star_counter++);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&StarBody, sizeof(StarWork), name);
    if (t == nullptr) continue;
    StarWork& s = *static_cast<StarWork*>(t->owned[0]);
    s.from = at;
    s.velocity = kStarVelocity[place];
    s.set = SlgHoldAnmSet(w.ctx->effect_anims);
    s.obj->x = at.x;
    s.obj->y = at.y;
    s.obj->depth = static_cast<int16_t>(depth - 1);
    SlgPlayAnm(s.set, kAnimStar, s.obj, SURFACE_ROOT);
  }
}

// ---- Big bears ----

void EndBear(SlgEffectTask* t) {
  YsolWork& w = Work();
  if (w.live_bears > 0) --w.live_bears;
  SlgTaskEndAnmWork(t);
}

void BigBearPlay(YsolBigBear& s, uint32_t anim, uint8_t mode) {
  s.obj->mode = mode;
  SlgPlayAnm(s.set, anim, s.obj, SURFACE_ROOT);
}

void BigBearEnter(SlgEffectTask* t, YsolBigBear& s, uint8_t stage) {
  s.stage = stage;
  s.stage_start = t->frames;
  s.stepped = 0;
}

void BigBearBody(SlgEffectTask* t) {
  YsolBigBear& s = *static_cast<YsolBigBear*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndBear(t);
    return;
  }
  const int32_t f = t->frames - s.stage_start;
  switch (s.stage) {
    case kYsolBigWait:
      if (t->frames < s.delay) return;
      BigBearEnter(t, s, kYsolBigLanding);
      s.obj->x = s.pos.x;
      s.obj->y = s.pos.y;
      BigBearPlay(s, kAnimBigBear, 0);
      AutoPtnChg2(kAnimHitMark, s.pos, static_cast<int16_t>(s.obj->depth - 1), 0, s.set,
                  SURFACE_ROOT);
      StartStars(Work(), s.pos, s.obj->depth);
      SlgMotionInit(s.motion, kLanding, 80, 96);
      break;
    case kYsolBigLanding:
      for (; s.stepped < f; ++s.stepped) {
        if (SlgMotionStep(s.motion) == 0) {
          BigBearEnter(t, s, kYsolBigFall);
          BigBearPlay(s, kAnimBigBearFall, 0);
          break;
        }
      }
      break;
    case kYsolBigFall:
      for (; s.stepped < f; ++s.stepped) {
        s.speed = std::min(s.speed + kFallGrowth, kFallLimit);
        s.pos.y += s.speed;
        if (s.pos.y >= s.land.y) {
          s.pos.y = s.land.y;
          BigBearEnter(t, s, kYsolBigLanded);
          BigBearPlay(s, kAnimBigBearLand, kSlgAnmOnce);
          break;
        }
      }
      break;
    case kYsolBigLanded:
      if (SlgAnmObjIsEnd(s.obj) == 0) break;
      BigBearEnter(t, s, kYsolBigDrift);
      s.land = s.pos;
      BigBearPlay(s, kAnimBigBearDrift, 0);
      break;
    default:
      s.pos = KinematicAt({.start = s.land, .velocity = Px(2, 1)}, f).pos;
      break;
  }
  if (s.stage == kYsolBigLanding) SlgSprSetZoom(s.obj->handle, {s.motion.x, s.motion.y});
  PlaceObj(s.obj, s.pos);
}

void StartBigBears(YsolWork& w) {
  const std::array<uint8_t, kYsolBigBears>& order = Battle().Extension<YsolBearOrder>().order;
  const int16_t depth = Body(w) != nullptr ? Body(w)->depth : 0;
  for (int i = 0; i < kYsolBigBears; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "YSOL::BigBear%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&BigBearBody, sizeof(YsolBigBear), name);
    w.big_bears[static_cast<size_t>(i)] = t;
    if (t == nullptr) continue;
    YsolBigBear& s = *static_cast<YsolBigBear*>(t->owned[0]);
    const SlgPair land = kBigBearPlaces[i];
    s.land = land;
    s.pos = {land.x, land.y - kBigBearDrop * kPixel};
    s.delay = (order[static_cast<size_t>(i)] + 2) * kBigBearDelay;
    s.set = w.ctx->effect_anims;
    s.obj->depth = static_cast<int16_t>(depth + order[static_cast<size_t>(i)]);
    ++w.live_bears;
  }
}

// ---- Bears on the targets ----

void BearBody(SlgEffectTask* t) {
  YsolBear& s = *static_cast<YsolBear*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndBear(t);
    return;
  }
  const BearPlace& place = kBearPlaces[s.place];
  switch (s.stage) {
    case 0:
      // A bear on the cell of a unit being hit would stand in it: it goes at once.
      if (IsTargetAtPos(s.at) != 0) {
        EndBear(t);
        return;
      }
      s.obj->x = Slg::PosToScreen(s.at).x;
      s.obj->y = Slg::PosToScreen(s.at).y;
      s.obj->mode = 0;
      SlgPlayAnmAttr(s.set, place.anim, s.obj, SURFACE_ROOT, place.attr);
      s.stage = 1;
      break;
    case 1:
      if (Work().bears_spring == 0) break;
      s.stage = 2;
      s.stage_start = t->frames;
      s.stepped = 0;
      SlgMotionInit(s.motion, kSpring, 48, 96);
      s.obj->mode = kSlgAnmOnce;
      SlgPlayAnmAttr(s.set, kAnimSpring, s.obj, SURFACE_ROOT, place.attr);
      break;
    default:
      if (SlgAnmObjIsEnd(s.obj) != 0) {
        EndBear(t);
        return;
      }
      for (; s.stepped < t->frames - s.stage_start; ++s.stepped) SlgMotionStep(s.motion);
      SlgSprSetZoom(s.obj->handle, {s.motion.x, s.motion.y});
      break;
  }
  PlaceObj(s.obj, Slg::PosToScreen(s.at));
}

SlgUnit* CurrentTarget(YsolWork& w) {
  const int8_t slot = Battle().targets[static_cast<size_t>(w.target_index)];
  return slot >= 0 && SlgSlotInUse(static_cast<uint32_t>(slot))
             ? &Battle().state.units[static_cast<size_t>(slot)]
             : nullptr;
}

void StartBears(YsolWork& w, const SlgUnit& target) {
  const int16_t depth = target.anm != nullptr ? target.anm->depth : 0;
  for (int i = 0; i < kYsolBearsPerTarget; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "YSOL::Bear%d%d", w.target_index, i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&BearBody, sizeof(YsolBear), name);
    if (t == nullptr) continue;
    YsolBear& s = *static_cast<YsolBear*>(t->owned[0]);
    const BearPlace& place = kBearPlaces[i];
    s.place = static_cast<uint8_t>(i);
    s.at = {target.x + place.dx * kPixel, target.y + place.dy * kPixel};
    s.set = w.ctx->effect_anims;
    s.obj->depth = static_cast<int16_t>(depth + place.depth);
    ++w.live_bears;
    ++w.bears_made;
  }
}

// ---- The special's steps ----

int SpecialSetUp(YsolWork& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  ShuffleYsolBearOrder(Battle().Extension<YsolBearOrder>().order);
  SlgLayerOn(SURFACE_ROOT, 3);
  if (LoadAttackBg(unit, 0, SURFACE_ROOT, nullptr) == 0) {
    DebugPrint("Ysol::SpecialAttack: kind %d has no background 0\n", unit.kind);
  }
  if (BossCutPicture(unit, 1, SURFACE_SCRATCH, false, w.picture)) {
    Ctx().ddraw_spr.SetSpriteAlpha(w.picture.sprite, 1);
  }
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int SpecialObjects(YsolWork& w) {
  SlgUnit& unit = *w.unit;
  HideTargets(w.target_count);
  if (AllocAnimeObjs(w.ctx->objects.data(), unit.anm, 2) == 0) {
    SlgLayerRestore();
    GiveBackSpecial(w);
    EndAttack(unit);
    return kTimelineStop;
  }
  w.ctx->object_count = 2;
  SlgAnmObj* body = Obj(w, 0);
  SlgAnmObj* effect = Obj(w, 1);
  for (SlgAnmObj* obj : {body, effect}) {
    obj->x = 0;
    obj->y = 96 * kPixel;
  }
  effect->depth = static_cast<int16_t>(body->depth - 1);
  body->mode = kSlgAnmOnce | kSlgAnmStartStopped;
  SlgPlayAnm(w.ctx->body_anims, 0, body, SURFACE_ROOT);
  effect->mode = kSlgAnmOnce;
  SlgPlayAnm(w.ctx->effect_anims, 2, effect, SURFACE_ROOT);
  w.star_counter = 0;
  Present(w);
  return kTimelineNextRow;
}

int BodyRuns(YsolWork& w) {
  SlgAnmShow(Body(w) != nullptr ? Body(w)->handle : nullptr);
  return kTimelineNextRow;
}

int BigBearsDrop(YsolWork& w) {
  SlgAnmObj* body = Body(w);
  body->mode = kSlgAnmOnce;
  SlgPlayAnm(w.ctx->body_anims, 1, body, SURFACE_ROOT);
  StartBigBears(w);
  return kTimelineNextRow;
}

int FrontEffect(YsolWork& w) {
  SlgAnmObj* effect = Obj(w, 1);
  effect->x = -103 * kPixel;
  effect->y = -158 * kPixel;
  effect->depth = kFrontDepth;
  effect->mode = kSlgAnmOnce;
  SlgPlayAnm(w.ctx->effect_anims, 12, effect, SURFACE_ROOT);
  return kTimelineNextRow;
}

int ObjectsIdle(YsolWork& w) {
  return w.ctx != nullptr && CountRunningAnms(w.ctx->objects.data(), w.ctx->object_count) == 0
             ? 1
             : 0;
}

int WhiteOut(YsolWork& w) {
  SetPresentationStage(w.presentation, 7);
  return kTimelineNextRow;
}

int SceneEnds(YsolWork& w) {
  SlgUnit& unit = *w.unit;
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerRestore();
  ReleaseObjAnm(Obj(w, 0));
  ReleaseObjAnm(Obj(w, 1));
  SlgAnmObj* body = Body(w);
  body->x = w.pos.x;
  body->y = w.pos.y;
  body->depth = unit.anm != nullptr ? unit.anm->depth : body->depth;
  body->mode = kSlgAnmOnce;
  SlgPlayAnmAttr(w.ctx->body_anims, 12, body, SURFACE_ROOT, SlgRowColumnOf(unit.dir).attr);
  ShowTargets(w.target_count);
  for (SlgEffectTask*& t : w.big_bears) {
    if (t != nullptr && SlgTaskIsAlive(t) != 0) SlgTaskStop(t);
    t = nullptr;
  }
  w.target_index = 0;
  return kTimelineNextRow;
}

constexpr int kStepTargets = 8;
constexpr int kStepEnd = 11;

int NextTarget(YsolWork& w) {
  while (w.target_index < w.target_count) {
    SlgUnit* target = CurrentTarget(w);
    if (target != nullptr) {
      StartBears(w, *target);
      w.bears_spring = 0;
      w.fall_running = static_cast<int8_t>(SlgFallEffect2(*target, SlgMapToScreen(*target)) != 0);
      return kTimelineNextRow;
    }
    ++w.target_index;  // a slot that no longer holds a unit has nothing to show
  }
  return kStepEnd;
}

// Step 9: the falling-sprite effect, once a frame until it reports its end (an effect that ended
// on its first call is not started again).
int FallDone(YsolWork& w) {
  if (w.fall_running != 0) {
    SlgUnit* target = CurrentTarget(w);
    w.fall_running = static_cast<int8_t>(target != nullptr &&
                                   SlgFallEffect2(*target, SlgMapToScreen(*target)) != 0);
  }
  return w.fall_running == 0 ? 1 : 0;
}

int BearsSpring(YsolWork& w) {
  ++w.target_index;
  w.bears_spring = 1;
  return kTimelineNextRow;
}

int NoBears(YsolWork& w) { return w.live_bears <= 0 ? 1 : 0; }

int SpecialFinish(YsolWork& w) {
  GiveBackSpecial(w);
  ShowFlaggedUnits();
  SetUnitState(*w.unit, kStateAfterAttack);
  return kTimelineStop;
}

constexpr Row kSpecialSteps[] = {
    {Wait::AtOnce(), &SpecialSetUp},                                           // 0
    {Wait::AtOnce(), &SpecialObjects},                                         // 1
    {Wait::SubDone(&Present), &BodyRuns},                                      // 2
    {Wait::AnmEnd(&Body), &BigBearsDrop, kTimelineNextRow, 0, &PresentDropped},  // 3
    {Wait::AnmEnd(&Body), nullptr, kTimelineNextRow, 0, &PresentDropped},       // 4
    {Wait::SubDone(&PictureIn), &FrontEffect},                                 // 5
    {Wait::SubDone(&ObjectsIdle), &WhiteOut, kTimelineNextRow, 0, &PresentDropped},  // 6
    {Wait::SubDone(&Present), &SceneEnds},                                     // 7
    {Wait::AtOnce(), &NextTarget, kTimelineNextRow, 0, &PresentDropped},        // 8
    {Wait::SubDone(&FallDone), &BearsSpring, kTimelineNextRow, 0, &PresentDropped},  // 9
    {Wait::SubDone(&NoBears), nullptr, kStepTargets, 0, &PresentDropped},       // 10
    {Wait::Frames(30), &SpecialFinish, kTimelineNextRow, 0, &PresentDropped},   // 11
};
static_assert(std::size(kSpecialSteps) == kStepEnd + 1);

}  // namespace

const HomingParams kYsolShellHoming{};

YsolWork::~YsolWork() {
  if (HasBattle()) YsolGiveBack(*this);
}

void YsolGiveBack(YsolWork& w) {
  if (HasCtx()) {
    if (w.scroll != nullptr) Ctx().anime.DeleteRef(&w.scroll);
    BossDeletePicture(w.picture);
  }
  w.scroll = nullptr;
  w.picture = {};
  if (w.ctx != nullptr) {
    FreeAnimeObjs(w.ctx->objects.data(), w.ctx->object_count);
    w.ctx->objects.fill(nullptr);
    w.ctx->object_count = 0;
  }
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
}

void ShuffleYsolBearOrder(std::array<uint8_t, kYsolBigBears>& order) {
  const int swaps = (SlgRand20() & 3) + 1;
  for (int i = 0; i < swaps; ++i) {
    const auto a = static_cast<size_t>(SlgRand20() % kYsolBigBears);
    const auto b = static_cast<size_t>(SlgRand20() % kYsolBigBears);
    std::swap(order[a], order[b]);
  }
}

int32_t YsolPictureAlpha(int32_t frames) {
  return std::clamp<int32_t>(frames * 256 / kPictureRamp, 1, 256);
}

uint16_t YsolBurstAttr(int32_t heading) {
  const int32_t reversed = (heading + 256) & 511;
  return reversed >= 129 && reversed <= 384 ? 32 : 0;
}

SlgPair YsolMarkOffset(int mark) {
  const int i = std::clamp(mark, 0, kYsolMarks - 1);
  return Px(48 - 16 * i, kArcY[i]);
}

namespace Ysol {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  YsolWork& w = Work();
  if (unit.step == 0) {
    w = YsolWork{};
    w.unit = &unit;
    w.ctx = OpenLayeredAttack(w.layered, unit, &w);
    return;
  }
  w.unit = &unit;
  w.pos = pos;
  if (w.ctx != nullptr && w.ctx->object_count > 0) {
    StepPieces(w);
    StepMarks(w);
    Follow(w);
  }
  RunLayeredAttack(w.layered, Critical(unit) ? kCriticalForm : kNormalForm, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  YsolWork& w = Work();
  if (unit.step == 0) {
    w = YsolWork{};
    w.target_count = std::clamp<int32_t>(Battle().target_count, 0, kSlgMaxUnits);
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(std::span<const Row>(kSpecialSteps), unit.step, w.clock, w);
}

}  // namespace Ysol
