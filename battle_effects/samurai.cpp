// The samurai special attack (kinds 21, 22): battle_effects/samurai.h.

#include "battle_effects/samurai.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/spawner.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint16_t kUnitsShown = 0x6;  // SlgFlags bits 1-2
constexpr uint8_t kStateAfterAttack = 7;
constexpr int kLayerMode = 2;
constexpr int kStripDepth = 511;  // behind everything
constexpr int kFade = 30;
constexpr int kObjects = 4;

constexpr const char* kCalcChangeName = "Samurai::Special:CalcChange";
constexpr const char* kLineScrollName = "Samurai::Special:LineScroll";
constexpr const char* kLauncherName = "Samurai::Special:FireBall";
constexpr const char* kFireBallBase = "Samurai::Special:ActFireBall";

// The sway: 12 pixels at most, a 64-frame period, 8/512 of a turn from strip to strip.
constexpr int32_t kSwayPixels = 12;
constexpr int32_t kSwayPeriod = 64;
constexpr int32_t kSwayStep = 8;

// Fireballs: one every 4 frames for 128 frames, from 512 pixels at 64 a frame, slowing by 0.875
// a frame, zoom 2.0 shrinking alike, drawn in front of the scene with effect animation 5.
constexpr int32_t kLaunchFrames = 128;
constexpr SpawnRule kLaunchRule{.interval = 4};
constexpr int32_t kRingRadius = 512 * kPx;
constexpr int32_t kFlySpeed = 64 * kPx;
constexpr int32_t kSlowing = 0xE000;  // 0.875
constexpr int32_t kStartZoom = 2 * kPx;
constexpr int32_t kHomeRadius = 16 * kPx;
constexpr int16_t kFireBallDepth = -1084;
constexpr uint32_t kFireBallAnim = 5;
// A replay longer than this changes nothing more: the velocity and zoom are 0 by then.
constexpr int32_t kReplayLimit = 256;

using Work = SamuraiWork;
using Row = TimelineRow<Work>;
using Wait = TimelineWait<Work>;

CDdrawSpr& Sprites() { return Ctx().ddraw_spr; }

SlgAnmObj* Obj(Work& w, int i) {
  return w.scene.ctx != nullptr ? w.scene.ctx->objects[static_cast<size_t>(i)] : nullptr;
}

// ---- The strips ----

// Strip k's rectangle on surface 4 within `bounds` (empty when nothing of it lies there).
Rect StripRect(int k, const Rect& bounds) {
  return SlgStripRect(k, kSamuraiStripWidth, kSamuraiStripHeight, bounds);
}

// Cuts a rectangle of surface 4 into a strip sprite whose home keeps the strip's place, 16
// pixels left: an entry at (0, 0) draws it where it belongs on the screen. Null for an empty one.
SprRec* CutStrip(const Rect& r) { return SlgCutStrip(SURFACE_ROOT, r, kSamuraiStripMargin, 0); }

// Draws a strip back at the place of surface 4 it was cut from.
void PutStrip(SprRec* strip) {
  if (strip != nullptr) Sprites().PutSprite(strip, kSamuraiStripMargin, 0, SURFACE_ROOT, 0);
}

// Background `picture` onto the cleared surface 4: the rectangle its strips are cut within (the
// picture's, held to the surface; the whole cleared surface when it does not load).
Rect LoadBackground(const SlgUnit& unit, int picture) {
  Rect bounds{};
  if (!SlgLoadStripPicture(unit, picture, SURFACE_ROOT, bounds)) {
    DebugPrint("Samurai::SpecialAttack: kind %d has no background %d: its strips are blank\n",
               unit.kind, picture);
  }
  return bounds;
}

void CutArray(std::array<SprRec*, kSamuraiStrips>& strips, const Rect& bounds) {
  for (int k = 0; k < kSamuraiStrips; ++k) strips[static_cast<size_t>(k)] = CutStrip(StripRect(k, bounds));
}

// The rectangle both strips k cover (a narrower picture leaves part of the other's).
Rect BlendRect(const SprRec* a, const SprRec* b) {
  auto rect_of = [](const SprRec* s) {
    return Rect{s->x + kSamuraiStripMargin, s->y, s->x + kSamuraiStripMargin + s->width,
                s->y + s->height};
  };
  if (a == nullptr && b == nullptr) return {};
  if (a == nullptr) return rect_of(b);
  if (b == nullptr) return rect_of(a);
  const Rect ra = rect_of(a);
  const Rect rb = rect_of(b);
  return {std::min(ra.left, rb.left), std::min(ra.top, rb.top), std::max(ra.right, rb.right),
          std::max(ra.bottom, rb.bottom)};
}

// Array 15 from background 0, array 0 from background 1, arrays 1-14 blended between them on
// surface 4, then one entry per array-0 strip; surface 4 cleared and given back at its own size.
void BuildStrips(Work& w) {
  const SlgUnit& unit = *w.scene.unit;
  SamuraiStrips& s = *w.scene.strips;
  CDdrawFunc& ddraw = Ctx().ddraw;
  int scroll_x = 0;
  int scroll_y = 0;
  ddraw.GetLayerScroll(SURFACE_ROOT, &scroll_x, &scroll_y);
  const bool resized =
      ddraw.ResizeSurface(SURFACE_ROOT, 0, kSamuraiStripWidth, kScreenHeight) != 0;
  if (!resized) DebugPrint("Samurai::SpecialAttack: layer 4 stays at the screen's size\n");

  CutArray(s.sprites[kSamuraiStripArrays - 1], LoadBackground(unit, 0));
  CutArray(s.sprites[0], LoadBackground(unit, 1));
  CDdrawSpr& sprites = Sprites();
  for (int j = 1; j < kSamuraiStripArrays - 1; ++j) {
    SlgClearLayer(SURFACE_ROOT);
    for (size_t k = 0; k < kSamuraiStrips; ++k) {
      SprRec* under = s.sprites[0][k];
      SprRec* over = s.sprites[kSamuraiStripArrays - 1][k];
      PutStrip(under);
      if (over != nullptr) {
        sprites.SetSpriteAlpha(over, SamuraiBlendAlpha(j));
        PutStrip(over);
        sprites.SetSpriteAlpha(over, CDdrawSpr::kOpaque);
      }
      s.sprites[static_cast<size_t>(j)][k] = CutStrip(BlendRect(under, over));
    }
  }
  for (size_t k = 0; k < kSamuraiStrips; ++k) {
    s.entries[k] = SlgSprCreate(CDdrawSpr::kBuffered, s.sprites[0][k], 0, 0, SURFACE_ROOT, 0,
                                kStripDepth, 0);
  }
  if (resized) {
    ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
    ddraw.SetLayerScroll(SURFACE_ROOT, scroll_x, scroll_y);
  }
  SlgClearLayer(SURFACE_ROOT);
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>(b.flags & ~kUnitsShown);
}

// Entries deleted and made again from array j.
void ShowArray(SamuraiStrips& s, int j) {
  CDdrawSpr& sprites = Sprites();
  const auto& array = s.sprites[static_cast<size_t>(j)];
  for (size_t k = 0; k < kSamuraiStrips; ++k) {
    sprites.DeleteBuffer(&s.entries[k]);
    s.entries[k] =
        SlgSprCreate(CDdrawSpr::kBuffered, array[k], 0, 0, SURFACE_ROOT, 0, kStripDepth, 0);
  }
}

void FreeStrips(SamuraiScene& scene) {
  if (scene.strips == nullptr) return;
  if (HasCtx()) {
    CDdrawSpr& sprites = Sprites();
    for (SprBufferEntry*& entry : scene.strips->entries) sprites.DeleteBuffer(&entry);
    for (auto& array : scene.strips->sprites) {
      for (SprRec*& strip : array) sprites.DeleteSprite(&strip);
    }
  }
  SlgFree(scene.strips);
  scene.strips = nullptr;
}

// ---- The first target ----

void MoveFirstTarget(SamuraiScene& scene) {
  const BattleContext& b = Battle();
  scene.target_moved = 0;
  if (b.target_count <= 0 || b.targets[0] < 0 || !SlgSlotInUse(static_cast<uint32_t>(b.targets[0]))) {
    return;
  }
  SlgUnit& target = Battle().state.units[static_cast<size_t>(b.targets[0])];
  scene.target_moved = 1;
  scene.target_slot = static_cast<uint8_t>(b.targets[0]);
  scene.target_pos = {target.x, target.y};
  // A fixed place on the screen whatever the camera: the drawing position is the map position
  // minus the scroll, minus the lift.
  target.x = (b.state.scroll_x + 448) * kPx;
  target.y = (b.state.scroll_y + 320) * kPx + target.lift;
}

void PutBackFirstTarget(SamuraiScene& scene) {
  if (scene.target_moved == 0) return;
  if (SlgSlotInUse(scene.target_slot)) {
    SlgUnit& target = Battle().state.units[static_cast<size_t>(scene.target_slot)];
    target.x = scene.target_pos.x;
    target.y = scene.target_pos.y;
  }
  scene.target_moved = 0;
}

// ---- Giving back ----

void FreeObjects(SamuraiScene& scene) {
  if (scene.ctx == nullptr) return;
  if (!HasScene()) {
    // The animations went with the scene.
    for (SlgAnmObj* obj : scene.ctx->objects) {
      if (obj != nullptr) obj->handle = nullptr;
    }
  }
  FreeAnimeObjs(scene.ctx->objects.data(), kObjects);
  std::fill(scene.ctx->objects.begin(), scene.ctx->objects.begin() + kObjects, nullptr);
  scene.ctx->object_count = 0;
}

// Everything one attack holds (the tasks end by the end flag, or with the battle).
void GiveBack(SamuraiScene& scene) {
  scene.end_flag = 1;
  FreeStrips(scene);
  FreeObjects(scene);
  if (scene.ctx != nullptr) {
    if (HasScene()) {
      FreeAttackCtx(scene.ctx);
    } else {
      SlgFree(scene.ctx);
    }
    scene.ctx = nullptr;
  }
  PutBackFirstTarget(scene);
}

// An allocation refused after the scene began: what was taken goes back, the attack ends.
int Abandon(Work& w, const char* what) {
  DebugPrint("Samurai::SpecialAttack: %s refused: the attack ends (unit %d)\n", what,
             w.scene.unit->slot);
  const bool layer_on = w.scene.strips != nullptr;
  SlgUnit& unit = *w.scene.unit;
  GiveBack(w.scene);
  if (layer_on) SlgLayerRestore();
  EndAttack(unit);
  return kTimelineStop;
}

// ---- The effect tasks ----

void CalcChange(SlgEffectTask* task) {
  SamuraiScene& scene = SamuraiWorkOf().scene;
  if (scene.end_flag != 0 || scene.strips == nullptr) {
    SlgTaskEnd(task);
    return;
  }
  SamuraiChange& c = scene.change;
  if (c.state == 0) {
    c.steps_left = kSamuraiChanges;
    c.interval = kSamuraiChangeInterval;
    c.next = kSamuraiChangeInterval;
    c.state = 1;
    c.start = task->now;
  } else if (c.state == 1) {
    // The frames since the last change are counted on one clock from the first frame, so no
    // part of a frame is lost at a change; late frames are taken off the next interval. The
    // changes so keep to the clock at any frame rate.
    const int32_t now = TimelineFrames(c.start);
    const int32_t elapsed = now - c.last;
    if (elapsed >= c.next) {
      c.next = static_cast<int16_t>(
          std::clamp<int32_t>(c.next + c.interval - elapsed, INT16_MIN, INT16_MAX));
      c.last = now;
      if (--c.steps_left <= 0) {
        c.steps_left = 0;
        c.state = 2;
      }
    }
  }
  c.shown = static_cast<int16_t>(SamuraiArrayOf(c.steps_left));
  ShowArray(*scene.strips, c.shown);
}

void LineScroll(SlgEffectTask* task) {
  if (task->phase == kSlgPhaseStop) {
    SlgTaskEnd(task);
    return;
  }
  SamuraiScene& scene = SamuraiWorkOf().scene;
  if (scene.end_flag != 0 || scene.strips == nullptr) {
    task->phase = kSlgPhaseStop;
    return;
  }
  if (task->phase == 0) {
    scene.line_phase = 0;
    task->phase = 1;
    return;
  }
  scene.line_phase = SamuraiSwayPhase(task->frames);
  CDdrawSpr& sprites = Sprites();
  for (int k = 0; k < kSamuraiStrips; ++k) {
    sprites.SetBufferPos(scene.strips->entries[static_cast<size_t>(k)],
                         SamuraiSwayX(scene.line_phase, k), 0);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// The launcher's and a fireball's work. Each holds its own reference of the effect set, so it
// may outlive the attack context it came from.
struct LauncherWork {
  Spawner spawner;
  int32_t length;
  uint32_t start;
  SprAnm* set;
};

void EndFireBall(SlgEffectTask* task, SamuraiFireBallTask& f) {
  if (f.obj.handle != nullptr && HasScene()) Scene().tamvik_spr.ReleaseAnm(&f.obj.handle);
  if (f.set != nullptr) ReleaseUnitAnm(&f.set);
  SlgTaskEnd(task);
}

void DrawFireBall(SamuraiFireBallTask& f, const SamuraiFireBall& at) {
  f.obj.x = at.pos.x;
  f.obj.y = at.pos.y;
  SlgSprSetPos(f.obj.handle, at.pos);
  SlgSprSetZoom(f.obj.handle, {at.zoom, at.zoom});
}

void ActFireBall(SlgEffectTask* task) {
  SamuraiFireBallTask& f = *static_cast<SamuraiFireBallTask*>(task->owned[0]);
  if (task->phase == 0) {
    f.angle = SlgRand() & 511;
    const SamuraiFireBall at = SamuraiFireBallAt(f.angle, 0);
    f.obj.x = at.pos.x;
    f.obj.y = at.pos.y;
    f.obj.depth = kFireBallDepth;
    SlgPlayAnm(f.set, kFireBallAnim, &f.obj, SURFACE_ROOT);
    DrawFireBall(f, at);
    task->phase = 1;
    return;
  }
  const SamuraiFireBall at = SamuraiFireBallAt(f.angle, task->frames);
  DrawFireBall(f, at);
  if (SamuraiFireBallHome(at.pos)) EndFireBall(task, f);
}


void FireBallLauncher(SlgEffectTask* task) {
  LauncherWork& l = *static_cast<LauncherWork*>(task->owned[0]);
  if (task->phase == 0) {
    l.length = kLaunchFrames;
    l.spawner = {};
    l.start = task->now;
    task->phase = 1;
  }
  const int32_t n = TimelineFrames(l.start);
  if (n >= l.length) {
    if (l.set != nullptr) ReleaseUnitAnm(&l.set);
    SlgTaskEnd(task);
    return;
  }
  const int32_t number = SpawnDue(l.spawner, kLaunchRule, n);
  if (number >= 0) SamuraiStartFireBall(number, l.set);
}

// ---- The steps ----

// Step 0: the context, the strip block, layer 4, the strips, the voice.
int Start(Work& w) {
  SlgUnit& unit = *w.scene.unit;
  GiveBack(w.scene);  // an attack cut short by a stage switch
  w.scene = SamuraiScene{};
  w.scene.unit = &unit;
  w.scene.ctx = CreateAttackCtx(unit);
  if (w.scene.ctx == nullptr) return kTimelineStop;
  w.scene.strips = static_cast<SamuraiStrips*>(SlgAlloc(sizeof(SamuraiStrips)));
  if (w.scene.strips == nullptr) return Abandon(w, "the strip block");
  SlgLayerOn(SURFACE_ROOT, kLayerMode);
  BuildStrips(w);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

// Step 1: the scene's objects, the first target, the tasks, the fade.
int SetUpScene(Work& w) {
  SamuraiScene& s = w.scene;
  s.end_flag = 0;
  SlgAnmObj templ{};
  templ.depth = BossUnitDepth(*s.unit);
  if (AllocAnimeObjs(s.ctx->objects.data(), &templ, kObjects) == 0) {
    return Abandon(w, "an object");
  }
  s.ctx->object_count = 1;
  MoveFirstTarget(s);
  SlgPlayAnm(s.ctx->body_anims, 0, Obj(w, 0), SURFACE_ROOT);
  if (SlgEffectTask* launcher = SlgTaskCreateWork(&FireBallLauncher, sizeof(LauncherWork), kLauncherName)) {
    static_cast<LauncherWork*>(launcher->owned[0])->set = SlgHoldAnmSet(s.ctx->effect_anims);
  } else {
    DebugPrint("Samurai::SpecialAttack: %s refused\n", kLauncherName);
  }
  SlgFadeIn(kFade);
  HideTargets(Battle().target_count);
  if (SlgTaskCreate(SlgTaskOwner(), &CalcChange, kCalcChangeName) == nullptr) {
    DebugPrint("Samurai::SpecialAttack: %s refused\n", kCalcChangeName);
  }
  if (SlgTaskCreate(SlgTaskOwner(), &LineScroll, kLineScrollName) == nullptr) {
    DebugPrint("Samurai::SpecialAttack: %s refused\n", kLineScrollName);
  }
  return kTimelineNextRow;
}

// Object i at object 0's place, one depth in front, playing effect animation `anim`.
void PlayEffect(Work& w, int i, uint32_t anim, uint8_t mode) {
  SlgAnmObj* obj0 = Obj(w, 0);
  SlgAnmObj* obj = Obj(w, i);
  obj->x = obj0->x;
  obj->y = obj0->y;
  obj->depth = static_cast<int16_t>(obj0->depth - 1);
  obj->mode = mode;
  SlgPlayAnm(w.scene.ctx->effect_anims, anim, obj, SURFACE_ROOT);
  w.scene.ctx->object_count = static_cast<int16_t>(i + 1);
}

int PlaySlash(Work& w) {
  PlayEffect(w, 1, 1, kSlgAnmOnce);
  return kTimelineNextRow;
}

int PlayAura(Work& w) {
  PlayEffect(w, 2, 2, 0);
  return kTimelineNextRow;
}

// Step 4: the figure's attack (played once: step 6 waits for its end), the aura back to frame 1.
int PlayFigure(Work& w) {
  SlgAnmObj* obj0 = Obj(w, 0);
  BossRelease(obj0);
  obj0->mode = kSlgAnmOnce;
  SlgPlayAnm(w.scene.ctx->body_anims, 2, obj0, SURFACE_ROOT);
  SlgAnmObj* aura = Obj(w, 2);
  if (aura->handle != nullptr) {
    if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetFrame(aura->handle, 1);
  }
  return kTimelineNextRow;
}

int PlayFlames(Work& w) {
  PlayEffect(w, 3, 4, 0);
  return kTimelineNextRow;
}

int FadeOut(Work&) {
  SlgFadeOut(kFade);
  return kTimelineNextRow;
}

// Step 7: back to the map.
int Finish(Work& w) {
  SamuraiScene& s = w.scene;
  BattleContext& b = Battle();
  s.end_flag = 1;
  SlgLayerRestore();
  ShowFlaggedUnits();
  b.flags = static_cast<uint16_t>(b.flags | kUnitsShown);
  FreeStrips(s);
  FreeObjects(s);
  FreeAttackCtx(s.ctx);
  s.ctx = nullptr;
  SetUnitState(*s.unit, kStateAfterAttack);
  PutBackFirstTarget(s);
  ShowTargets(b.target_count);
  SlgFadeIn(kFade);
  return kTimelineStop;
}

SlgAnmObj* Slash(Work& w) { return Obj(w, 1); }
SlgAnmObj* Figure(Work& w) { return Obj(w, 0); }

// "More than n frames": n + 1 frames.
constexpr Row kSpecial[] = {
    {Wait::AtOnce(), &Start},            // 0
    {Wait::AtOnce(), &SetUpScene},       // 1
    {Wait::Frames(61), &PlaySlash},      // 2
    {Wait::Frames(6), &PlayAura},        // 3
    {Wait::AnmEnd(&Slash), &PlayFigure}, // 4
    {Wait::Frames(36), &PlayFlames},     // 5
    {Wait::AnmEnd(&Figure), &FadeOut},   // 6
    {Wait::Frames(61), &Finish},         // 7
};

}  // namespace

SamuraiWork& SamuraiWorkOf() { return Battle().Extension<SamuraiWork>(); }

SamuraiWork::~SamuraiWork() {
  if (HasBattle()) GiveBack(scene);
}

void SamuraiGiveBack(SamuraiScene& scene) { GiveBack(scene); }

SlgEffectTask* SamuraiStartFireBall(int number, SprAnm* set) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d", kFireBallBase, number);
  SlgEffectTask* task = SlgTaskCreateWork(&ActFireBall, sizeof(SamuraiFireBallTask), name);
  if (task == nullptr) {
    DebugPrint("Samurai::SpecialAttack: %s refused\n", name);
    return nullptr;
  }
  static_cast<SamuraiFireBallTask*>(task->owned[0])->set = SlgHoldAnmSet(set);
  return task;
}

int SamuraiArrayOf(int steps_left) {
  return std::clamp(((32 - steps_left) * 15) / 32, 0, kSamuraiStripArrays - 1);
}

BlendWord SamuraiBlendAlpha(int j) { return static_cast<BlendWord>(256 * j / 15); }

int32_t SamuraiSwayPhase(int32_t frames) {
  return (std::max(frames, int32_t{0}) % kSwayPeriod) * kSwayStep;
}

int32_t SamuraiSwayX(int32_t phase, int k) {
  return SlgSin(phase + kSwayStep * k) * kSwayPixels / 16384;
}

SamuraiFireBall SamuraiFireBallAt(int32_t angle, int32_t frames) {
  SamuraiFireBall f{SlgPolarToXY(kRingRadius, angle), SlgPolarToXY(kFlySpeed, angle), kStartZoom};
  f.vel = {-f.vel.x, -f.vel.y};
  const int32_t n = std::clamp(frames, int32_t{0}, kReplayLimit);
  for (int32_t i = 0; i < n; ++i) {
    f.pos.x += f.vel.x;
    f.pos.y += f.vel.y;
    f.vel.x = SlgFxMul(f.vel.x, kSlowing);
    f.vel.y = SlgFxMul(f.vel.y, kSlowing);
    f.zoom = SlgFxMul(f.zoom, kSlowing);
  }
  return f;
}

bool SamuraiFireBallHome(const SlgPair& pos) {
  return std::abs(pos.x) < kHomeRadius && std::abs(pos.y) < kHomeRadius;
}

namespace Samurai {

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  Work& w = SamuraiWorkOf();
  w.scene.unit = &unit;
  RunTimeline(kSpecial, unit.step, w.scene.clock, w);
}

}  // namespace Samurai
