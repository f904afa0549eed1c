// The three per-frame effects: the two falling-sprite bursts and the flash. The exact curves of
// the particles beyond their counts, delays, speeds and ends are this file's own: the first
// burst's particles fly into a point above the unit, drawn stretched along their path, then drop
// from it; the second burst's circle the unit on a flat ring as they rise away.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_sound.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/shared_effects.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int32_t kPx = 0x10000;
// Held on a burst's first call, this logical key (the menu key) skips the burst.
constexpr int kSkipKey = 2;
constexpr int32_t kHalfTurn = 256;
// Start delays grow modulo this: 0-40 frames.
constexpr int32_t kDelayWrap = 41;

// The first burst.
constexpr uint8_t kFallMainAnim = 0;
constexpr uint8_t kFallParticleAnim = 1;
// Its particles fly into the point this far above the position, then drop from there and go
// once they are no higher than kFallGone above it.
constexpr int32_t kFallRaise = 32 * kPx;
constexpr int32_t kFallGone = 16 * kPx;
// Every fifth particle takes a random angle, the others the previous one's + 102.
constexpr int kFallAngleGroup = 5;
constexpr int32_t kFallAngleStep = 102;

// The second burst: its two main objects (behind and in front of the unit) and its particles'
// ring (radius in x; half as tall).
constexpr uint8_t kFall2MainAnim[2] = {1, 2};
constexpr int32_t kFall2MainDepth[2] = {1, -1};
constexpr uint8_t kFall2ParticleAnim = 0;
constexpr uint32_t kFall2Loops = 4;
constexpr int32_t kFall2Ring = 64 * kPx;

constexpr uint8_t kFlashAnim = 0;

SharedEffectsState& Effects() { return Battle().Extension<SharedEffectsState>(); }
SpxAnimeKind* Spx() { return Scene().tamvik_spr.spx(); }

SlgAnmObj* MakeBurstObj(uint8_t pattern, int32_t depth, const SlgPair& pos) {
  return MakeEffectObj(pattern, kBurstAttr, 0, kSlgAnmOnce, depth, pos);
}

// A burst's work from the battle allocator (zeroed); null when refused.
template <class Work>
Work* NewWork(SharedEffectsState& st) {
  auto* work = static_cast<Work*>(SlgAlloc(sizeof(Work)));
  if (work != nullptr) st.seam = &Battle().alloc;
  return work;
}

// The start of a burst's instance once something of it was made: its sound, its clock, its
// work kept in `slot`; else the block given back. The work, or null.
template <class Work>
Work* BeginBurst(Work*& slot, Work* w, bool made, int se) {
  if (!made) {
    SlgFree(w);
    return nullptr;
  }
  SlgSePlay(se);
  w->start = EffectNow();
  slot = w;
  return w;
}

// A burst's answer after its frame: 1 while something of it is `left`, else its work given back
// and 0.
template <class Work>
int BurstGoesOn(Work*& slot, bool left) {
  if (left) return 1;
  SlgFree(slot);
  slot = nullptr;
  return 0;
}

int32_t ClampToInt(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// ---- The first burst ----

FallWork* StartFall(SharedEffectsState& st, const SlgUnit& unit, const SlgPair& pos) {
  if (IsKeyHeld(kSkipKey) != 0) return nullptr;
  FallWork* w = NewWork<FallWork>(st);
  if (w == nullptr) return nullptr;
  const int32_t depth = UnitBodyDepth(unit);
  w->main = MakeBurstObj(kFallMainAnim, depth - 2, pos);
  PlayEffectObj(SlgSysSprite(kSysTameEffect), w->main, true);
  bool made = w->main != nullptr;
  int32_t angle = 0;
  int32_t delay = 0;
  for (int i = 0; i < kFallParticles; ++i) {
    FallParticle& p = w->particles[static_cast<size_t>(i)];
    angle = i % kFallAngleGroup == 0 ? SlgRand() & 511 : (angle + kFallAngleStep) & 511;
    p.angle = angle;
    p.start = (32 + SlgRand() % 80) * kPx;
    p.speed = -(10 + (SlgRand() & 21)) * kPx;
    p.delay = delay;
    delay = (delay + 1 + (SlgRand() & 15)) % kDelayWrap;
    p.zoom = kPx;
    p.phase = kFallRising;
    // Its animation starts with its delay. A full pool drops the particle; the others go on.
    p.obj = MakeBurstObj(kFallParticleAnim, depth - 1, pos);
    made = made || p.obj != nullptr;
  }
  return BeginBurst(st.fall, w, made, kFallEffectSe);
}

// One frame of a particle at frame f of the burst; whether it still has its object.
bool StepFallParticle(FallParticle& p, int32_t f, const SlgPair& pos) {
  if (p.obj == nullptr) return false;
  if (p.delay >= f) return true;
  if (p.obj->handle == nullptr) PlayEffectObj(SlgSysSprite(kSysTameEffect), p.obj, false);
  const SlgPair centre{pos.x, pos.y - kFallRaise};
  if (p.phase == kFallRising) {
    const int64_t radius = int64_t{f - p.delay} * p.speed + p.start;
    if (radius >= kPx) {
      const SlgPair off = SlgPolarToXY(static_cast<int32_t>(radius), p.angle);
      KeepEffectAt(p.obj, {centre.x + off.x, centre.y + off.y});
      // Turned along its path and stretched by its speed (1 + speed / 16 pixels).
      SlgSprSetZoom(p.obj->handle, {p.zoom - p.speed / 16, p.zoom});
      SlgSprSetRot(p.obj->handle, p.angle);
      return true;
    }
    // It has reached the centre: turned about, it drops from there.
    p.angle = (p.angle + kHalfTurn) & 511;
    p.start = kFallRaise;
    p.delay = f;
    p.phase = kFallFalling;
  }
  const int64_t height = int64_t{f - p.delay} * p.speed + p.start;
  if (height <= kFallGone) {
    FreeEffectObj(p.obj);
    return false;
  }
  KeepEffectAt(p.obj, {pos.x, ClampToInt(int64_t{pos.y} - height)});
  SlgSprSetZoom(p.obj->handle, {p.zoom, p.zoom});
  SlgSprSetRot(p.obj->handle, p.angle);
  return true;
}

// ---- The second burst ----

Fall2Work* StartFall2(SharedEffectsState& st, const SlgUnit& unit, const SlgPair& pos) {
  if (IsKeyHeld(kSkipKey) != 0) return nullptr;
  Fall2Work* w = NewWork<Fall2Work>(st);
  if (w == nullptr) return nullptr;
  SprAnm* list = SlgSysSprite(kSysKaifukuEffect);
  w->depth = UnitBodyDepth(unit);
  bool made = false;
  for (size_t i = 0; i < w->main.size(); ++i) {
    SlgAnmObj*& m = w->main[i];
    m = MakeBurstObj(kFall2MainAnim[i], w->depth + kFall2MainDepth[i], pos);
    PlayEffectObj(list, m, false);
    // They loop until they have looped loop_limit times.
    if (m != nullptr && m->handle != nullptr && Spx() != nullptr) Spx()->SetLoop(m->handle, 1);
    made = made || m != nullptr;
  }
  w->loop_limit = kFall2Loops;
  int32_t delay = 0;
  for (Fall2Particle& p : w->particles) {
    p.angle = SlgRand() & 511;
    p.angular_speed = 8 + (SlgRand() & 15);
    if ((SlgRand() & 1) != 0) p.angular_speed = -p.angular_speed;
    p.rise_speed = -(6 + (SlgRand() & 7)) * kPx;
    p.delay = delay;
    delay = (delay + 1 + (SlgRand() & 7)) % kDelayWrap;
    p.start = 0;
    p.obj = MakeBurstObj(kFall2ParticleAnim, w->depth, pos);
    made = made || p.obj != nullptr;
  }
  return BeginBurst(st.fall2, w, made, kFallEffect2Se);
}

bool StepFall2Particle(Fall2Particle& p, int32_t f, const SlgPair& pos, int32_t depth) {
  if (p.obj == nullptr) return false;
  if (p.delay >= f) return true;
  if (p.obj->handle == nullptr) PlayEffectObj(SlgSysSprite(kSysKaifukuEffect), p.obj, false);
  const int64_t t = f - p.delay;
  const auto angle = static_cast<int32_t>((t * p.angular_speed + p.angle) & 511);
  const SlgPair ring = SlgPolarToXY(kFall2Ring, angle);
  const int32_t ring_y = ring.y / 2;
  const int32_t x = ClampToInt(int64_t{pos.x} + ring.x);
  const int32_t y = ClampToInt(int64_t{pos.y} + ring_y + t * p.rise_speed + p.start);
  if (Slg::InViewArea(x >> 16, y >> 16) == 0) {
    FreeEffectObj(p.obj);
    return false;
  }
  KeepEffectAt(p.obj, {x, y});
  // The near half of the ring (lower on the screen) in front of the unit, as the map's depth.
  SetEffectDepth(p.obj, depth - (ring_y >> 16) / 2);
  return true;
}

}  // namespace

namespace SharedEffects {

int SlgFallEffect(SlgUnit& unit, const SlgPair& pos) {
  SharedEffectsState& st = Effects();
  FallWork* w = st.fall != nullptr ? st.fall : StartFall(st, unit, pos);
  if (w == nullptr) return 0;
  const int32_t f = EffectFrames(w->start);
  bool left = false;
  if (w->main != nullptr) {
    KeepEffectAt(w->main, pos);
    if (SlgAnmObjIsEnd(w->main) != 0) {
      FreeEffectObj(w->main);
    } else {
      left = true;
    }
  }
  for (FallParticle& p : w->particles) left = StepFallParticle(p, f, pos) || left;
  return BurstGoesOn(st.fall, left);
}

int SlgFallEffect2(SlgUnit& unit, const SlgPair& pos) {
  SharedEffectsState& st = Effects();
  Fall2Work* w = st.fall2 != nullptr ? st.fall2 : StartFall2(st, unit, pos);
  if (w == nullptr) return 0;
  const int32_t f = EffectFrames(w->start);
  bool left = false;
  for (SlgAnmObj*& m : w->main) {
    if (m == nullptr) continue;
    KeepEffectAt(m, pos);
    const bool looped = m->handle == nullptr || Spx() == nullptr ||
                        Spx()->GetLoopCount(m->handle) >= w->loop_limit;
    if (looped) {
      FreeEffectObj(m);
    } else {
      left = true;
    }
  }
  for (Fall2Particle& p : w->particles) left = StepFall2Particle(p, f, pos, w->depth) || left;
  return BurstGoesOn(st.fall2, left);
}

int SlgFlashEffect(SlgUnit& unit, const SlgPair& pos) {
  SharedEffectsState& st = Effects();
  if (st.flash == nullptr) {
    st.flash = MakeBurstObj(kFlashAnim, UnitBodyDepth(unit) - 1, pos);
    if (st.flash == nullptr) return 0;
    SlgSePlay(kFlashEffectSe);
    PlayEffectObj(SlgSysSprite(kSysBougyoEffect), st.flash, true);
  }
  KeepEffectAt(st.flash, pos);
  if (SlgAnmObjIsEnd(st.flash) == 0) return 1;
  FreeEffectObj(st.flash);
  return 0;
}

}  // namespace SharedEffects
