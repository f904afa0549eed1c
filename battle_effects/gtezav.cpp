// Player kind 12's attacks (battle_effects/gtezav.h): the normal routine with its homing shells
// and hit sparks; the special with its scrolling background, lights, rocks, folding pictures and
// beasts.

#include "battle_effects/gtezav.h"

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
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/heroine_scene.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kPixel = 0x10000;
constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kTypeStraight = 3;

constexpr std::array<int32_t, 4> kFirstWait{78, 76, 76, 78};
constexpr std::array<int32_t, 4> kCriticalFirstWait{132, 138, 138, 132};
constexpr std::array<int32_t, 4> kLaunchAngle{474, 38, 218, 294};
constexpr std::array<SlgPair, 4> kLauncher{{{56, -80}, {56, 8}, {-56, 8}, {-56, -80}}};

constexpr int32_t kShellSpeed = 16 * kPixel;
constexpr int16_t kShellDepth = -1099;
constexpr uint32_t kShellAnm = 9;
constexpr int32_t kAimAbove = 32;

constexpr int kSparksPerBurst = 5;
constexpr int32_t kSparkSpread = 40;
constexpr int32_t kSparkDelays = 15;  // 0-14 frames
constexpr int32_t kSparkRaise = 60;
constexpr uint32_t kSparkAnm = 4, kCriticalSparkAnm = 5;
constexpr int32_t kSparkFrames = 3;

size_t Dir(int dir) { return static_cast<size_t>(dir >= 0 && dir <= 3 ? dir : 0); }

// The shell HomingFly is flying: its stored turn steps feed the kit's turn hook.
GtezavShell* g_flying = nullptr;

int32_t StoredTurn() {
  GtezavShell* s = g_flying;
  if (s == nullptr) return 16;
  Homing& h = s->homing;
  const int32_t step = s->turns[static_cast<size_t>((h.turns - 1) % kGtezavShellTurns)];
  // A turn that reaches the target's angle stops on it; the next turn chooses its way anew.
  if (HomingTurnToward(h.heading, HomingAimAngle(h), step, h.way) == HomingAimAngle(h)) h.way = 0;
  return step;
}

GtezavNormal& Normal() { return GtezavAttackWork().normal; }

// ---- Shells ----

// The shell leaves the running count (once).
void Uncount(GtezavShell& s) {
  if (s.counted == 0) return;
  s.counted = 0;
  GtezavNormal& w = Normal();
  if (w.running > 0) --w.running;
}

void EndShell(SlgEffectTask* t, GtezavShell& s) {
  Uncount(s);
  SlgTaskEndAnmWork(t);
}

void Leave(SlgEffectTask* t, GtezavShell& s, uint8_t phase, int32_t speed) {
  s.phase = phase;
  s.phase_start = t->frames;
  s.from = s.homing.pos;
  s.velocity = SlgPolarToXY(speed, s.homing.heading);
}

SlgPair Straight(const GtezavShell& s, int32_t f) {
  return {s.from.x + s.velocity.x * f, s.from.y + s.velocity.y * f};
}

void ShellBody(SlgEffectTask* t) {
  auto& s = *static_cast<GtezavShell*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndShell(t, s);
    return;
  }
  const int32_t f = t->frames - s.phase_start;
  switch (s.phase) {
    case kGtezavLaunch:
      s.homing.pos = Straight(s, std::min(f, kGtezavShellStraight));
      if (f >= kGtezavShellStraight) {
        if (s.type == kTypeStraight) {
          // Straight on for as long again, then gone.
          Leave(t, s, kGtezavLeaving, kShellSpeed);
          Uncount(s);
        } else {
          s.phase = kGtezavHoming;
          s.phase_start = t->frames;
          s.homing.frames = 0;
        }
      }
      break;
    case kGtezavHoming:
      if (GtezavFlyShell(s, f)) {
        Uncount(s);
        Leave(t, s, kGtezavLeaving, kGtezavShellHoming.speed);
      }
      break;
    default:
      s.homing.pos = Straight(s, std::min(f, kGtezavShellStraight));
      if (f >= kGtezavShellStraight) {
        EndShell(t, s);
        return;
      }
      break;
  }
  const SlgPair at = Slg::WorldToScreen(s.homing.pos);
  s.obj->x = at.x;
  s.obj->y = at.y;
  SlgSprSetPos(s.obj->handle, at);
}

void FireShell(GtezavNormal& w) {
  SlgUnit& unit = *w.unit;
  char name[32];
  std::snprintf(name, sizeof name, "Gtezav::Shell%d", static_cast<int>(w.shots));
  ++w.shots;
  SlgEffectTask* t = SlgTaskCreateAnmWork(&ShellBody, sizeof(GtezavShell), name);
  if (t == nullptr) return;  // never counted: the routine does not wait for it
  auto& s = *static_cast<GtezavShell*>(t->owned[0]);
  const int side = SlgRand() & 1;
  s.type = unit.stats.attack_type;
  s.counted = 1;
  const SlgPair base = Slg::RaiseByCellHeight({unit.x, unit.y});
  const SlgPair off = GtezavLauncherOffset(unit.dir);
  s.homing.pos = {base.x + off.x * kPixel, base.y + off.y * kPixel};
  const auto& cursor = Battle().state.cursor_point;
  const SlgPair aim = Slg::RaiseByCellHeight({cursor[0] * kPixel, cursor[1] * kPixel});
  s.homing.aim = {aim.x, aim.y - kAimAbove * kPixel};
  s.homing.has_aim = true;
  s.homing.heading = GtezavShellAngle(unit.dir, side, SlgRand());
  for (int32_t& turn : s.turns) turn = 16 + (SlgRand() & 15);
  s.phase = kGtezavLaunch;
  s.phase_start = 0;
  s.from = s.homing.pos;
  s.velocity = SlgPolarToXY(kShellSpeed, s.homing.heading);
  s.obj->depth = kShellDepth;
  s.obj->mode = 0;
  SlgPlayAnm(w.ctx->effect_anims, kShellAnm, s.obj, SURFACE_ROOT);
  const SlgPair at = Slg::WorldToScreen(s.homing.pos);
  s.obj->x = at.x;
  s.obj->y = at.y;
  SlgSprSetPos(s.obj->handle, at);
  ++w.running;
}

// ---- Sparks ----

struct Spark {
  SlgAnmObj* obj;
};

void EndSpark(SlgEffectTask* t) {
  GtezavNormal& w = Normal();
  if (w.hits > 0) --w.hits;
  SlgTaskEndAnmWork(t);
}

void SparkBody(SlgEffectTask* t) {
  auto& s = *static_cast<Spark*>(t->owned[0]);
  SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
  const bool ended = s.obj->handle == nullptr || spx == nullptr || spx->IsSpxEnd(s.obj->handle) != 0;
  if (t->phase == kSlgPhaseStop || ended) EndSpark(t);
}

// 5 sparks about every target, each after a random delay; each counts in the hit counter until
// its animation has ended.
void BurstSparks(GtezavNormal& w) {
  const BattleContext& b = Battle();
  const uint32_t anm = w.unit->stats.attack_type == kTypeCritical ? kCriticalSparkAnm : kSparkAnm;
  const int targets = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  for (int i = 0; i < targets; ++i) {
    const int slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0 || slot >= b.state.unit_count) continue;
    const SlgUnit& target = b.state.units[static_cast<size_t>(slot)];
    SlgPair centre = SlgMapToScreen(target);
    centre.y -= kSparkRaise * kPixel;
    const int16_t depth = target.anm != nullptr ? target.anm->depth : 0;
    int q = SlgRand() & 3;
    for (int k = 0; k < kSparksPerBurst; ++k) {
      const int32_t dx = SlgRand() % kSparkSpread;
      const int32_t dy = SlgRand() % kSparkSpread;
      const SlgPair off = GtezavSparkOffset(q, dx, dy);
      q = (q + 1) & 3;
      const auto d = static_cast<int16_t>(depth + ((SlgRand() & 1) != 0 ? 1 : -1));
      const auto delay = static_cast<uint32_t>(SlgRand() % kSparkDelays);
      SlgEffectTask* t = SlgTaskCreateAnmWork(&SparkBody, sizeof(Spark), "Gtezav::Spark");
      if (t == nullptr) continue;
      SlgAnmObj* obj = static_cast<Spark*>(t->owned[0])->obj;
      obj->x = centre.x + off.x * kPixel;
      obj->y = centre.y + off.y * kPixel;
      obj->depth = d;
      obj->mode = kSlgAnmOnce;
      SlgPlayAnm(w.ctx->effect_anims, anm, obj, SURFACE_ROOT);
      SlgSprSetPos(obj->handle, {obj->x, obj->y});
      SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
      if (delay != 0 && obj->handle != nullptr && spx != nullptr) {
        spx->SetStartDelay(obj->handle, delay);
        spx->HideSpx(obj->handle);
      }
      ++w.hits;
    }
  }
}

// ---- The normal routine's own steps (beside the layered objects) ----

void Enter(GtezavNormal& w, uint8_t step) {
  w.step = step;
  w.clock = StepClock{TimelineNow(), 0, 0, 1};
  w.unit->step = step;
}

// Steps 1-4, every call from the objects' start; 1 once step 5 is reached.
int StepShots(LayeredAttack& a) {
  GtezavNormal& w = *static_cast<GtezavNormal*>(a.user);
  // The kit may call both hooks in one call: one step a call.
  if (w.stepped_call == w.calls) return w.step >= 5 && w.running == 0 ? 1 : 0;
  w.stepped_call = w.calls;
  const uint8_t type = w.unit->stats.attack_type;
  const int32_t f = TimelineFrames(w.clock.start);
  switch (w.step) {
    case 1:
      if (f < w.wait) return 0;
      Enter(w, 2);
      FireShell(w);
      return 0;
    case 2:
      if (w.shots >= GtezavShellCount(type)) {
        Enter(w, 3);
        return 0;
      }
      if (f < GtezavShellSpacing(type) * w.shots) return 0;
      FireShell(w);
      if (w.shots >= GtezavShellCount(type)) Enter(w, 3);
      return 0;
    case 3:
      if (w.running > 0) return 0;
      if (type == kTypeStraight) {
        Enter(w, 5);
        return 0;
      }
      w.hits = 0;
      Enter(w, 4);
      BurstSparks(w);
      return 0;
    case 4:
      BurstSparks(w);
      if (f >= kSparkFrames) Enter(w, 5);
      return 0;
    default:
      return w.running > 0 ? 0 : 1;
  }
}

// Step 1's start: the first-shell wait.
void Started(LayeredAttack& a) {
  GtezavNormal& w = *static_cast<GtezavNormal*>(a.user);
  w.wait = GtezavFirstShellWait(w.unit->stats.attack_type, w.unit->dir);
  w.shots = 0;
  w.running = 0;
  w.clock = StepClock{TimelineNow(), 0, 0, 1};
  w.step = 1;
}

void Each(LayeredAttack& a) { StepShots(a); }

int SparksEnded(LayeredAttack& a) {
  auto& w = *static_cast<GtezavNormal*>(a.user);
  if (w.hits > 0) return 0;
  w.unit->step = 6;
  return 1;
}

void GiveBackCtx(LayeredAttack& a) {
  auto& w = *static_cast<GtezavNormal*>(a.user);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
  a.ctx = nullptr;
}

constexpr LayeredForm Form(std::span<const SlgAttackRow> rows) {
  return {.rows = rows,
          .flag_one = kLayeredAll,
          .once = LayeredBit(1),
          .count = LayeredCount::kBody,
          .final_wait = 30,
          .started = &Started,
          .each = &Each,
          .follow_up = &StepShots,
          .finish = &GiveBackCtx,
          .ready = &SparksEnded};
}
constexpr SlgAttackRow kNormalRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
constexpr SlgAttackRow kCriticalRows[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
constexpr LayeredForm kNormalForm = Form(kNormalRows);
constexpr LayeredForm kCriticalForm = Form(kCriticalRows);

// ======================= The special =======================

constexpr uint8_t kStateAfterAttack = 7;
constexpr uint16_t kFlagsSceneEnd = 0x46;  // SlgFlags bits 1, 2 (units shown) and 6 (no shadows)
constexpr uint16_t kFlagNoShadow = 0x40;
constexpr SlgPair kSceneCentre{0, 80 * kPixel};
constexpr int16_t kFrontDepth = -1099;

// The background: SPECIAL_BG picture 0 tiled 1 x 2 at 640 x 480, scrolled 20 px down every
// 16 ms without end and wrapped at 1024 x 480.
constexpr int kTileW = 640, kTileH = 480;
constexpr int kScrollDy = 20;
constexpr uint32_t kScrollMs = 16;
constexpr int32_t kScrollForever = 0x7FFFFFFF;
constexpr int kWrapW = 1024, kWrapH = 480;

constexpr int kSceneFade = 30;
constexpr int kSceneWhiteIn = 20;
constexpr int kClosingWhiteIn = 30;

constexpr std::array<SlgPair, 4> kPictureStart{{{384, -368}, {-384, -368}, {384, 0}, {0, 496}}};
constexpr std::array<uint32_t, 4> kPictureAnm{4, 6, 3, 5};
constexpr std::array<uint32_t, 4> kPictureSecondAnm{8, 10, 7, 9};
constexpr int32_t kFlySpeed = 40;   // px a frame
constexpr int32_t kFlyBrake = 20;   // frames of braking at the end (2 px a frame squared)
constexpr int32_t kFoldWidth = 1310, kFoldHeight = 4369;

constexpr uint32_t kBodyAnm = 0;
constexpr uint32_t kSceneEffectAnm = 20;
constexpr uint32_t kLightAnm = 21, kLightLoopAnm = 25;
constexpr int32_t kLightRadius = 128 * kPixel;
constexpr int32_t kLightSpinMax = 16;
constexpr int32_t kLightRiseStep = kPixel / 4;
constexpr int32_t kLightRiseMax = 16 * kPixel;
constexpr int32_t kLightClimb = 360 * kPixel;

constexpr SpawnRule kRockRule{.interval = 10};
constexpr int32_t kRockStartY = 240;
constexpr uint32_t kNearRockAnm = 1, kFarRockAnm = 2;  // SPECIAL_EFFECT2
constexpr int32_t kNearRockSpeed = 16 * kPixel, kFarRockSpeed = 12 * kPixel;
constexpr int16_t kRockDepth = 7;

constexpr std::array<int32_t, 4> kBeastAngle{64, 192, 320, 448};
constexpr std::array<uint32_t, 4> kBeastAnm{13, 15, 12, 14};
constexpr uint32_t kBeastRingAnm = 16, kBeastFlashAnm = 17;
constexpr int32_t kBeastRadius = 96 * kPixel;
constexpr int32_t kBeastTurn = 2;       // 512ths a frame
constexpr int32_t kBeastRaise = 16 * kPixel;
constexpr int32_t kBeastZoomStep = 3276;
constexpr int32_t kBeastCloseStep = 6553;
constexpr int32_t kBeastFadeFrames = 60;
constexpr uint32_t kBeastBlend = 0x30000;
constexpr int kBeasts = 4;
constexpr int kRing = 0, kFlash = 1, kBody = 2;

constexpr uint32_t kScatterAnm = 11;
constexpr int kScatterCount = 14;
constexpr int32_t kScatterRaise = 20, kScatterSpread = 40, kScatterDelays = 20;

constexpr SlgAttackRow kClosingRow[] = {{{13, 14}, 0, 0}};

GtezavSpecial& Special() { return GtezavAttackWork().special; }

SlgAnmObj* SceneObj(const GtezavSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}

int16_t BodyDepth(const GtezavSpecial& w) {
  const SlgAnmObj* body = SceneObj(w, 0);
  return body != nullptr ? body->depth : 0;
}

// The object at a position and depth (its sprite follows).
void Put(SlgAnmObj* obj, const SlgPair& at, int32_t depth) {
  obj->x = at.x;
  obj->y = at.y;
  obj->depth = static_cast<int16_t>(depth);
  PlaceObj(obj);
  SlgSprSetPri(obj->handle, obj->depth);
}

// An effect that circles on an ellipse of vertical half radius: its depth follows its height,
// the lower on the screen the nearer.
int32_t DepthByHeight(int32_t base, int32_t dy) { return base - (dy >> 16) / 2; }

SlgPair OnEllipse(const SlgPair& centre, int32_t radius, int32_t angle) {
  const SlgPair off = SlgPolarToXY(radius, angle);
  return {centre.x + off.x, centre.y + off.y / 2};
}

SlgUnit* FirstTarget(const GtezavSpecial& w) {
  BattleContext& b = Battle();
  if (w.target < 0 || w.target >= b.state.unit_count) return nullptr;
  return &b.state.units[static_cast<size_t>(w.target)];
}

// A task playing from a set it holds a reference of: the object and the reference given back.
// The references are copied out first: they live in the work area the end frees.
void EndHeldTask(SlgEffectTask* t, SprAnm* const* held, size_t count) {
  std::array<SprAnm*, 2> sets{};
  std::copy_n(held, std::min(count, sets.size()), sets.begin());
  SlgTaskEndAnmWork(t);
  for (SprAnm*& set : sets) ReleaseHeldSet(&set);
}

// ---- Lights ----

void PlaceLight(const GtezavSpecial& w, GtezavLight& l) {
  const SlgPair on = OnEllipse(kSceneCentre, kLightRadius, l.motion.angle);
  const int32_t dy = on.y - kSceneCentre.y;
  Put(l.obj, {on.x, on.y + l.motion.rise}, DepthByHeight(BodyDepth(w), dy));
}

void LightBody(SlgEffectTask* t) {
  GtezavSpecial& w = Special();
  auto& l = *static_cast<GtezavLight*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndHeldTask(t, &l.set, 1);
    return;
  }
  if (l.climb_start < 0) {
    if (SlgAnmObjIsEnd(l.obj) == 0) return;
    l.obj->mode = 0;
    PlayHeld(l.set, kLightLoopAnm + l.index, l.obj, &l.set, SURFACE_ROOT);
    l.climb_start = t->frames;
  }
  for (; l.stepped < t->frames - l.climb_start; ++l.stepped) {
    if (GtezavLightStep(l.motion)) {
      EndHeldTask(t, &l.set, 1);
      return;
    }
  }
  PlaceLight(w, l);
}

void StartLights(GtezavSpecial& w) {
  for (int i = 0; i < 4; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Gtezav::Light%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&LightBody, sizeof(GtezavLight), name);
    if (t == nullptr) continue;
    auto& l = *static_cast<GtezavLight*>(t->owned[0]);
    l.index = static_cast<uint8_t>(i);
    l.motion.angle = 128 * i;
    l.climb_start = -1;
    l.obj->mode = kSlgAnmOnce;
    PlaceLight(w, l);
    PlayHeld(w.ctx->effect_anims, kLightAnm + l.index, l.obj, &l.set, SURFACE_ROOT);
  }
}

// ---- Rocks ----

struct Rock {
  SlgAnmObj* obj;
  SprAnm* set;
  SlgPair from;
  int32_t speed;
};

void RockBody(SlgEffectTask* t) {
  GtezavSpecial& w = Special();
  auto& r = *static_cast<Rock*>(t->owned[0]);
  const SlgPair at{r.from.x, r.from.y - r.speed * t->frames};
  if (t->phase == kSlgPhaseStop || w.mode >= kGtezavRocksEnd ||
      Slg::InViewArea(at.x >> 16, at.y >> 16) == 0) {
    EndHeldTask(t, &r.set, 1);
    return;
  }
  r.obj->x = at.x;
  r.obj->y = at.y;
  PlaceObj(r.obj);
}

void StartRock(GtezavSpecial& w) {
  char name[32];
  std::snprintf(name, sizeof name, "Gtezav::rock%u", static_cast<unsigned>(w.rock_names++));
  SlgEffectTask* t = SlgTaskCreateAnmWork(&RockBody, sizeof(Rock), name);
  if (t == nullptr) return;
  auto& r = *static_cast<Rock*>(t->owned[0]);
  r.from = {(SlgRand() & 255) * w.side * kPixel, kRockStartY * kPixel};
  w.side = static_cast<int16_t>(-w.side);
  const bool near = (SlgRand() & 1) != 0;
  r.speed = near ? kNearRockSpeed : kFarRockSpeed;
  r.obj->mode = 0;
  r.obj->x = r.from.x;
  r.obj->y = r.from.y;
  r.obj->depth = static_cast<int16_t>(BodyDepth(w) + (near ? kRockDepth : -kRockDepth));
  PlayHeld(w.effect2, near ? kNearRockAnm : kFarRockAnm, r.obj, &r.set, SURFACE_ROOT);
}

// ---- Pictures ----

int32_t IntSqrt(int64_t v) {
  int64_t r = 0;
  while ((r + 1) * (r + 1) <= v) ++r;
  return static_cast<int32_t>(r);
}

void LeaveRunning(GtezavSpecial& w, uint8_t& counted) {
  if (counted == 0) return;
  counted = 0;
  if (w.running > 0) --w.running;
}

// The counter rises past pictures that could not be started, so none waits for one of them.
void RaiseCounter(GtezavSpecial& w) {
  ++w.counter;
  while (w.counter < 4 && (w.missing & (1u << w.counter)) != 0) ++w.counter;
}

void EndPicture(SlgEffectTask* t, GtezavPicture& p) {
  LeaveRunning(Special(), p.counted);
  EndHeldTask(t, p.sets.data(), p.sets.size());
}

void PlacePicture(GtezavPicture& p, int32_t r, int sign) {
  const SlgPair start = GtezavPictureStart(p.index);
  const int32_t d = std::max(p.distance, 1);
  p.obj->x = static_cast<int32_t>(int64_t{start.x} * r / d) * sign;
  p.obj->y = static_cast<int32_t>(int64_t{start.y} * r / d) * sign;
  PlaceObj(p.obj);
}

void PictureBody(SlgEffectTask* t) {
  GtezavSpecial& w = Special();
  auto& p = *static_cast<GtezavPicture*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop) {
    EndPicture(t, p);
    return;
  }
  if (p.phase == kGtezavPictureWaiting) {
    const bool due = p.index == 0 ? t->frames >= kGtezavPictureWait : w.counter >= p.index;
    if (!due) return;
    p.phase = kGtezavPictureFlying;
    p.fly_start = t->frames;
    Ctx().anime.SetStop(p.obj->handle, 0);
    SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
    if (spx != nullptr) spx->ShowSpx(p.obj->handle);
  }
  const int32_t f = t->frames - p.fly_start;
  const int32_t rest = p.fly + kGtezavPictureRest;
  const int32_t fold_end = rest + kGtezavPictureFold;
  const int32_t unfold_end = fold_end + kGtezavPictureFold;
  const int32_t out = unfold_end + kGtezavPictureRestAfter;
  if (f >= fold_end && p.folded == 0) {
    p.folded = 1;
    PlayHeld(w.effect2, GtezavPictureAnm(p.index, true), p.obj, &p.sets[1], SURFACE_ROOT);
  }
  if (f >= unfold_end && p.unfolded == 0) {
    p.unfolded = 1;
    RaiseCounter(w);
  }
  if (f >= out + p.fly) {
    EndPicture(t, p);
    return;
  }
  if (f < p.fly) {
    PlacePicture(p, GtezavFlyDistance(p.distance, f), 1);
  } else if (f < out) {
    PlacePicture(p, 0, 1);
  } else {
    PlacePicture(p, GtezavFlyDistance(p.distance, p.fly - (f - out)), -1);
  }
  if (f >= rest && f < unfold_end) {
    const int32_t k = f < fold_end ? f - rest : kGtezavPictureFold - (f - fold_end);
    const std::array<int32_t, 4> corners = GtezavFoldCorners(k);
    SlgSprSetCorners(p.obj->handle, corners.data());
  } else if (f >= unfold_end) {
    const std::array<int32_t, 4> flat = GtezavFoldCorners(0);
    SlgSprSetCorners(p.obj->handle, flat.data());
  }
}

void StartPictures(GtezavSpecial& w) {
  for (int i = 0; i < 4; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Gtezav::Picture%d", i);
    SlgEffectTask* t = SlgTaskCreateAnmWork(&PictureBody, sizeof(GtezavPicture), name);
    if (t == nullptr) {
      w.missing = static_cast<uint8_t>(w.missing | (1u << i));
      continue;
    }
    auto& p = *static_cast<GtezavPicture*>(t->owned[0]);
    p.index = static_cast<uint8_t>(i);
    p.counted = 1;
    ++w.running;
    const SlgPair start = GtezavPictureStart(i);
    p.distance = IntSqrt(int64_t{start.x} * start.x + int64_t{start.y} * start.y);
    p.fly = GtezavFlyFrames(p.distance);
    p.obj->mode = kSlgAnmStartStopped;
    p.obj->depth = kFrontDepth;
    PlacePicture(p, p.distance * kPixel, 1);
    PlayHeld(w.ctx->effect_anims, GtezavPictureAnm(i, false), p.obj, &p.sets[0], SURFACE_ROOT);
    p.obj->mode = 0;
    SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
    if (spx != nullptr) spx->HideSpx(p.obj->handle);
  }
  if ((w.missing & 1u) != 0 && w.counter == 0) {
    w.counter = -1;
    RaiseCounter(w);
  }
}

// ---- Beasts ----

void EndBeast(SlgEffectTask* t, GtezavBeast& b) {
  LeaveRunning(Special(), b.counted);
  FreeAnimeObjs(b.objs.data(), static_cast<int>(b.objs.size()));
  for (size_t i = 0; i < b.objs.size(); ++i) t->owned[i + 1] = nullptr;
  ReleaseHeldSet(&b.set);
  SlgTaskEnd(t);
}

void PlaceBeast(GtezavSpecial& w, GtezavBeast& b, int32_t f) {
  const SlgUnit* target = FirstTarget(w);
  if (target == nullptr) return;
  const SlgPair centre = SlgMapToScreen(*target);
  const SlgPair at = OnEllipse(centre, b.radius, b.angle);
  const int32_t base = target->anm != nullptr ? target->anm->depth : 0;
  const int32_t depth = DepthByHeight(base, at.y - centre.y);
  Put(b.objs[kRing], at, depth + 1);
  Put(b.objs[kFlash], at, depth - 1);
  if (b.phase == kGtezavBeastGrowing || b.phase == kGtezavBeastShrinking) {
    const int32_t zoom = GtezavBeastEffectZoom(b.phase == kGtezavBeastGrowing ? f : kGtezavBeastGrow + f);
    SlgSprSetZoom(b.objs[kRing]->handle, {zoom, zoom});
    SlgSprSetZoom(b.objs[kFlash]->handle, {zoom, zoom});
    SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
    if (spx != nullptr && b.objs[kFlash]->handle != nullptr) {
      if ((f / 2) % 2 == 0) {
        spx->ShowSpx(b.objs[kFlash]->handle);
      } else {
        spx->HideSpx(b.objs[kFlash]->handle);
      }
    }
  }
  if (b.phase != kGtezavBeastGrowing) {
    Put(b.objs[kBody], {at.x, at.y - kBeastRaise}, depth);
    Slg::DrawUnitShadow(at);
  }
}

void BeastBody(SlgEffectTask* t) {
  GtezavSpecial& w = Special();
  auto& b = *static_cast<GtezavBeast*>(t->owned[0]);
  if (t->phase == kSlgPhaseStop || w.mode >= kGtezavBeastsEnd || FirstTarget(w) == nullptr) {
    EndBeast(t, b);
    return;
  }
  for (; b.stepped < t->frames; ++b.stepped) {
    b.angle = (b.angle + kBeastTurn) & 511;
    if (b.phase == kGtezavBeastClosing) b.radius = GtezavBeastRadius(++b.closed);
  }
  int32_t f = t->frames - b.phase_start;
  if (b.phase == kGtezavBeastGrowing && f >= kGtezavBeastGrow) {
    b.phase = kGtezavBeastShrinking;
    b.phase_start += kGtezavBeastGrow;
    f -= kGtezavBeastGrow;
    b.objs[kBody]->mode = 0;
    PlayHeld(w.ctx->effect_anims, GtezavBeastAnm(b.index), b.objs[kBody], &b.set, SURFACE_ROOT);
  }
  if (b.phase == kGtezavBeastShrinking && f >= kGtezavBeastShrink) {
    b.phase = kGtezavBeastCircling;
    ReleaseObjAnm(b.objs[kRing]);
    ReleaseObjAnm(b.objs[kFlash]);
    LeaveRunning(w, b.counted);
  }
  if (b.phase == kGtezavBeastCircling && w.mode >= kGtezavBeastsClose) {
    b.phase = kGtezavBeastClosing;
    b.phase_start = t->frames;
    b.closed = 0;
  }
  if (b.phase == kGtezavBeastClosing) {
    SlgSprSetAlpha(b.objs[kBody], GtezavBeastAlpha(t->frames - b.phase_start));
  }
  PlaceBeast(w, b, f);
}

void StartBeast(GtezavSpecial& w, int k) {
  char name[32];
  std::snprintf(name, sizeof name, "Gtezav::beast%d", k);
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &BeastBody, name);
  if (t == nullptr) return;
  auto* b = static_cast<GtezavBeast*>(SlgAlloc(sizeof(GtezavBeast)));
  if (b == nullptr) {
    SlgTaskEnd(t);
    return;
  }
  t->owned[0] = b;
  if (AllocAnimeObjs(b->objs.data(), nullptr, static_cast<int>(b->objs.size())) == 0) {
    SlgTaskEnd(t);
    return;
  }
  for (size_t i = 0; i < b->objs.size(); ++i) t->owned[i + 1] = b->objs[i];
  b->index = static_cast<uint8_t>(k);
  b->angle = GtezavBeastAngle(k);
  b->radius = kBeastRadius;
  b->counted = 1;
  ++w.running;
  PlaceBeast(w, *b, 0);
  PlayHeld(w.ctx->effect_anims, kBeastRingAnm, b->objs[kRing], &b->set, SURFACE_ROOT);
  PlayHeld(w.ctx->effect_anims, kBeastFlashAnm, b->objs[kFlash], &b->set, SURFACE_ROOT);
  PlaceBeast(w, *b, 0);
}

// ---- The scene (the presentation) ----

int SceneOpens(GtezavSpecial& /*w*/) {
  EnterSpecialScene();
  return kTimelineNextRow;
}

int Held(GtezavSpecial& /*w*/) { return 0; }

int WhiteOut(GtezavSpecial& /*w*/) {
  SlgWhiteOut(kSceneFade);
  return kTimelineNextRow;
}

// The background and layer 4 given back (the scroll first: it moves the layer).
void GiveBackBackground(GtezavSpecial& w) {
  if (HasCtx()) Ctx().anime.DeleteRef(&w.scroll);
  w.scroll = nullptr;
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerRestore();
}

int SceneCleanUp(GtezavSpecial& w) {
  ShowFlaggedUnits();
  Battle().flags |= kFlagsSceneEnd;
  GiveBackBackground(w);
  SlgWhiteIn(kSceneWhiteIn);
  return kTimelineNextRow;
}

int SceneShowsTargets(GtezavSpecial& /*w*/) {
  ShowTargets(Battle().target_count);
  return kTimelineNextRow;
}

using SceneWait = TimelineWait<GtezavSpecial>;
constexpr TimelineRow<GtezavSpecial> kSceneStages[] = {
    {SceneWait::AtOnce(), &SceneOpens},         // 0
    {SceneWait::FadeEnd()},                     // 1: reports
    {SceneWait::SubDone(&Held)},                // 2: until step 3 moves it on
    {SceneWait::AtOnce(), &WhiteOut},           // 3
    {SceneWait::FadeEnd()},                     // 4: reports
    {SceneWait::AtOnce(), &SceneCleanUp},       // 5
    {SceneWait::AtOnce(), &SceneShowsTargets},  // 6: reports
};
constexpr uint8_t kStageWhiteOut = 3;
constexpr PresentationScript<GtezavSpecial> kScene{
    .stages = kSceneStages, .reports = (1u << 1) | (1u << 4) | (1u << 6)};

int StepScene(GtezavSpecial& w) { return StepPresentation(kScene, w.scene, w); }
void SceneEach(GtezavSpecial& w) { StepScene(w); }

// ---- The steps ----

void GiveBackSpecial(GtezavSpecial& w) {
  FreeSceneCtx(w.ctx);
  if (HasScene()) ReleaseUnitAnm(&w.effect2);
  w.effect2 = nullptr;
}

int Setup(GtezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;  // EndAttack has run
  w.effect2 = GetUnitAnm(unit.kind, kAnmSpecialEffect2);
  if (w.effect2 == nullptr) {
    DebugPrint("Gtezav::SpecialAttack: kind %d has no SPECIAL_EFFECT2: the attack ends\n",
               unit.kind);
    GiveBackSpecial(w);
    EndAttack(unit);
    return kTimelineStop;
  }
  SlgLayerOn(SURFACE_ROOT, 3);
  if (LoadAttackBgTiled(unit, 0, SURFACE_ROOT, kTileW, kTileH, 1, 2) != 0) {
    CDdrawAnime& anime = Ctx().anime;
    w.scroll = anime.CreateLayerScroll(SURFACE_ROOT, 0, kScrollDy, kScrollMs, kScrollForever);
    anime.SetScrollWrap(w.scroll, kWrapW, kWrapH);
  }
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int Begin(GtezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  HideTargets(Battle().target_count);
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, 2) == 0) {
    ShowTargets(Battle().target_count);
    GiveBackBackground(w);
    GiveBackSpecial(w);
    EndAttack(unit);
    return kTimelineStop;
  }
  ctx.object_count = 2;
  SlgAnmObj* body = ctx.objects[0];
  SlgAnmObj* effect = ctx.objects[1];
  effect->depth = static_cast<int16_t>(body->depth + 1);
  for (SlgAnmObj* obj : {body, effect}) {
    obj->x = kSceneCentre.x;
    obj->y = kSceneCentre.y;
    obj->mode = kSlgAnmOnce;
  }
  SlgPlayAnm(ctx.body_anims, kBodyAnm, body, SURFACE_ROOT);
  SlgPlayAnm(ctx.effect_anims, kSceneEffectAnm, effect, SURFACE_ROOT);
  StepScene(w);
  w.counter = 0;
  w.running = 0;
  w.side = 1;
  StartPictures(w);
  return kTimelineNextRow;
}

int LightsOn(GtezavSpecial& w) {
  StartLights(w);
  return kTimelineNextRow;
}

void Rocks(GtezavSpecial& w) {
  StepScene(w);
  if (SpawnDue(w.rocks, kRockRule, TimelineFrames(w.clock.start)) >= 0) StartRock(w);
}

int NoPicture(GtezavSpecial& w) { return w.running <= 0 ? 1 : 0; }

int ToWhiteOut(GtezavSpecial& w) {
  w.scene.stage = kStageWhiteOut;
  w.scene.clock = StepClock{};
  return kTimelineNextRow;
}

void FollowBody(GtezavSpecial& w) {
  if (SlgAnmObj* body = SceneObj(w, 0)) {
    body->x = w.pos.x;
    body->y = w.pos.y;
    PlaceObj(body);
  }
}

int ClosingPose(GtezavSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  ReleaseObjAnm(ctx.objects[1]);
  FollowBody(w);
  PlayAttackAnms(ctx.objects.data(), kClosingRow, 1, w.unit->dir, ctx, SURFACE_ROOT);
  return kTimelineNextRow;
}

void SceneAndFollow(GtezavSpecial& w) {
  StepScene(w);
  FollowBody(w);
}

int BackOnTheMap(GtezavSpecial& w) {
  BattleContext& b = Battle();
  ShowTargets(b.target_count);
  b.flags = static_cast<uint16_t>(b.flags & ~kFlagNoShadow);
  if (b.target_count > 0) w.target = b.targets[0];
  if (FirstTarget(w) != nullptr) StartBeast(w, w.beasts++);
  w.mode = kGtezavRocksEnd;
  return kTimelineNextRow;
}

// The next beast once none is in its entrance; 1 when all four have run (none with no target).
int NextBeast(GtezavSpecial& w) {
  if (w.running > 0) return 0;
  if (FirstTarget(w) == nullptr || w.beasts >= kBeasts) return 1;
  StartBeast(w, w.beasts++);
  return 0;
}

int BeastsClose(GtezavSpecial& w) {
  w.mode = kGtezavBeastsClose;
  return kTimelineNextRow;
}

int Closing(GtezavSpecial& w) {
  SlgWhiteIn(kClosingWhiteIn);
  if (FirstTarget(w) != nullptr) {
    AutoPtnScatter(kScatterAnm, kScatterCount, w.target, kScatterRaise, kScatterSpread,
                   kScatterSpread, kScatterDelays, w.ctx->effect_anims, SURFACE_ROOT);
  }
  w.mode = kGtezavBeastsEnd;
  return kTimelineNextRow;
}

int Finish(GtezavSpecial& w) {
  SlgUnit& unit = *w.unit;
  GiveBackSpecial(w);
  SetUnitState(unit, kStateAfterAttack);
  return kTimelineStop;
}

using Wait = TimelineWait<GtezavSpecial>;
constexpr TimelineRow<GtezavSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},                                              // 0
    {Wait::AtOnce(), &Begin},                                              // 1
    {Wait::SubDone(&StepScene), &LightsOn},                                // 2
    {Wait::SubDone(&NoPicture), &ToWhiteOut, kTimelineNextRow, 0, &Rocks},  // 3
    {Wait::SubDone(&StepScene)},                                           // 4
    {Wait::AtOnce(), &ClosingPose, kTimelineNextRow, 0, &SceneEach},       // 5
    {Wait::AtOnce(), &BackOnTheMap, kTimelineNextRow, 0, &SceneAndFollow},  // 6
    {Wait::SubDone(&NextBeast), nullptr, kTimelineNextRow, 0, &FollowBody},  // 7
    {Wait::Frames(60), &BeastsClose, kTimelineNextRow, 0, &FollowBody},    // 8
    {Wait::Frames(60), &Closing, kTimelineNextRow, 0, &FollowBody},        // 9
    {Wait::Frames(150), &Finish, kTimelineStop, 0, &FollowBody},           // 10
};

}  // namespace

const HomingParams kGtezavShellHoming{.interval = 2,
                                      .first = 1,
                                      .turn_step = &StoredTurn,
                                      .direction = HomingDirection::kFixedOnce,
                                      .speed = 6 * kPixel,
                                      .aim_half = 8,
                                      .body_half = 16,
                                      .max_turns = kGtezavShellTurns};

bool GtezavFlyShell(GtezavShell& shell, int32_t frames) {
  g_flying = &shell;
  const bool ended = HomingFly(shell.homing, kGtezavShellHoming, frames);
  g_flying = nullptr;
  return ended;
}

int32_t GtezavFirstShellWait(int type, int dir) {
  return (type == kTypeCritical ? kCriticalFirstWait : kFirstWait)[Dir(dir)];
}
int32_t GtezavLaunchAngle(int dir) { return kLaunchAngle[Dir(dir)]; }
SlgPair GtezavLauncherOffset(int dir) { return kLauncher[Dir(dir)]; }
int32_t GtezavShellAngle(int dir, int side, int32_t r) {
  const int32_t turn = 16 + (r & 15);
  return (GtezavLaunchAngle(dir) + (side != 0 ? turn : -turn)) & 511;
}
int GtezavShellCount(int type) { return type == kTypeCritical ? 5 : 3; }
int32_t GtezavShellSpacing(int type) { return type == kTypeCritical ? 5 : 15; }
SlgPair GtezavSparkOffset(int q, int32_t dx, int32_t dy) {
  q &= 3;
  if (q == 0 || q == 2) dy = -dy;
  if (q == 1 || q == 2) dx = -dx;
  return {dx, dy};
}

SlgPair GtezavPictureStart(int i) { return kPictureStart[Dir(i)]; }
uint32_t GtezavPictureAnm(int i, bool second) {
  return (second ? kPictureSecondAnm : kPictureAnm)[Dir(i)];
}
int32_t GtezavBeastAngle(int k) { return kBeastAngle[Dir(k)]; }
uint32_t GtezavBeastAnm(int k) { return kBeastAnm[Dir(k)]; }

namespace {
// Pixels from the centre `k` frames before the arrival: k x k over the braking, 40 a frame before.
int32_t FlyRadius(int32_t k) {
  return k <= kFlyBrake ? k * k : kFlyBrake * kFlyBrake + kFlySpeed * (k - kFlyBrake);
}
}  // namespace

int32_t GtezavFlyFrames(int32_t distance) {
  if (distance <= 0) return 0;
  if (distance <= kFlyBrake * kFlyBrake) return IntSqrt(distance - 1) + 1;
  return kFlyBrake + (distance - kFlyBrake * kFlyBrake + kFlySpeed - 1) / kFlySpeed;
}

int32_t GtezavFlyDistance(int32_t distance, int32_t t) {
  const int32_t frames = GtezavFlyFrames(distance);
  const int32_t k = frames - std::clamp(t, 0, frames);
  return std::min(distance, FlyRadius(k)) * kPixel;
}

std::array<int32_t, 4> GtezavFoldCorners(int32_t f) {
  const int32_t k = std::clamp(f, 0, kGtezavPictureFold);
  const int32_t width = kPixel + kFoldWidth * k;
  const int32_t height = kPixel - kFoldHeight * k;
  return {width, height, width, height};
}

bool GtezavLightStep(GtezavLightMotion& m) {
  m.spin = std::min(m.spin + 1, kLightSpinMax);
  m.angle = (m.angle + m.spin) & 511;
  m.rise_speed = std::max(m.rise_speed - kLightRiseStep, -kLightRiseMax);
  m.rise += m.rise_speed;
  return m.rise <= -kLightClimb;
}

int32_t GtezavBeastEffectZoom(int32_t f) {
  if (f < kGtezavBeastGrow) return std::min(kBeastZoomStep * std::max(f, 0), kPixel);
  const int32_t shrink = std::min(f - kGtezavBeastGrow, kGtezavBeastShrink);
  return std::max(kPixel - kBeastZoomStep * shrink, 0);
}

int32_t GtezavBeastRadius(int32_t f) {
  return std::max(kBeastRadius - kBeastCloseStep * std::max(f, 0), 0);
}

uint32_t GtezavBeastAlpha(int32_t f) {
  return kBeastBlend + static_cast<uint32_t>(std::clamp(f, 0, kBeastFadeFrames) * 256 /
                                             kBeastFadeFrames);
}

GtezavWork& GtezavAttackWork() { return Battle().Extension<GtezavWork>(); }

GtezavWork::~GtezavWork() {
  if (!HasBattle()) return;
  if (HasCtx()) Ctx().anime.DeleteRef(&special.scroll);
  special.scroll = nullptr;
  for (SlgAttackCtx* ctx : {normal.ctx, special.ctx}) {
    if (ctx == nullptr || HasScene()) continue;
    // The animations went with the scene.
    for (SlgAnmObj* obj : ctx->objects) {
      if (obj != nullptr) obj->handle = nullptr;
    }
  }
  FreeSceneCtx(normal.ctx);
  GiveBackSpecial(special);
}

namespace Gtezav {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  GtezavNormal& w = Normal();
  if (unit.step == 0) {
    w = GtezavNormal{};
    w.unit = &unit;
    w.ctx = OpenLayeredAttack(w.layered, unit, &w);
    return;
  }
  w.unit = &unit;
  ++w.calls;
  RunLayeredAttack(w.layered, unit.stats.attack_type == kTypeCritical ? kCriticalForm : kNormalForm,
                   unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  GtezavSpecial& w = Special();
  if (unit.step == 0) {
    w = GtezavSpecial{};
    w.target = -1;
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Gtezav
