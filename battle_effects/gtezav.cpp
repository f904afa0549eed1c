// Player kind 12's attacks (battle_effects/gtezav.h): the normal routine with its homing shells
// and hit sparks; the special is not built yet.

#include "battle_effects/gtezav.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
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

void EndShell(SlgEffectTask* t, GtezavShell& s) {
  if (s.counted != 0) {
    s.counted = 0;
    GtezavNormal& w = Normal();
    if (w.running > 0) --w.running;
  }
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
          if (s.counted != 0) {
            s.counted = 0;
            if (Normal().running > 0) --Normal().running;
          }
        } else {
          s.phase = kGtezavHoming;
          s.phase_start = t->frames;
          s.homing.frames = 0;
        }
      }
      break;
    case kGtezavHoming:
      if (GtezavFlyShell(s, f)) {
        if (s.counted != 0) {
          s.counted = 0;
          if (Normal().running > 0) --Normal().running;
        }
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

GtezavWork& GtezavAttackWork() { return Battle().Extension<GtezavWork>(); }

namespace Gtezav {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  GtezavNormal& w = Normal();
  if (unit.step == 0) {
    w = GtezavNormal{};
    w.unit = &unit;
    w.ctx = CreateAttackCtx(unit);
    if (w.ctx == nullptr) return;  // EndAttack has run
    w.layered.ctx = w.ctx;
    w.layered.user = &w;
    unit.step = 1;
    return;
  }
  w.unit = &unit;
  ++w.calls;
  RunLayeredAttack(w.layered, unit.stats.attack_type == kTypeCritical ? kCriticalForm : kNormalForm,
                   unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "Gtezav::SpecialAttack");
}

}  // namespace Gtezav
