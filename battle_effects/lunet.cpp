// The LUNET heroine unit's attacks (kind 3): the normal routine (battle_effects/lunet.h). The
// special is not built yet: a stub that ends the attack on its first frame and traces its name.

#include "battle_effects/lunet.h"

#include <algorithm>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr uint8_t kTypeCritical = 2;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPixel = 0x10000;
constexpr int32_t kHalfPixel = 0x8000;

// By the unit's direction 0-3: the body and effect animation (the critical plays the one
// before), their attribute (16 mirrored), a particle's start offset from the position in pixels
// and whether it flies to the right.
struct LunetDirection {
  uint32_t anim;
  uint16_t attr;
  int32_t dx, dy;
  bool rightward;
};
constexpr std::array<LunetDirection, 4> kDirections{{
    {3, 0, 32, -72, true},
    {1, 0, -16, -56, false},
    {1, 16, 16, -56, true},
    {3, 16, -32, -72, false},
}};

// The normal attack (types 0 and 3) and the critical (type 2): the wait before the throw, the
// throw's frames, how many animations before the direction's the body and effect play, and the
// hit animation on the targets.
struct LunetTiming {
  int32_t swing;
  int32_t throw_frames;
  uint32_t anim_less;
  uint32_t hit_anim;
};
constexpr LunetTiming kNormalTiming{35, 20, 0, 5};
constexpr LunetTiming kCriticalTiming{115, 50, 1, 6};

// Particles: effect animation 4 played through once in the very front, one every eighth frame of
// the throw, falling at 0.25 pixels per frame per frame for 40 frames, blinking from the 20th; a
// bounce keeps 0.625 of the speed.
constexpr uint32_t kParticleAnim = 4;
constexpr int16_t kParticleDepth = -1536;
constexpr int32_t kTickFrames = 8;
constexpr int32_t kParticleLife = 40;
constexpr int32_t kParticleFall = 0x4000;
constexpr int32_t kBounce = 0xA000;
constexpr int32_t kWholePixels = ~0xFFFF;

using Work = LunetNormalWork;
using Row = TimelineRow<Work>;
using Wait = TimelineWait<Work>;

const LunetTiming& TimingOf(const SlgUnit& unit) {
  return unit.stats.attack_type == kTypeCritical ? kCriticalTiming : kNormalTiming;
}

const LunetDirection& DirectionOf(const SlgUnit& unit) { return kDirections[unit.dir & 3u]; }

int16_t BodyDepth(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->depth : 0; }

// Every object (their animations with them) and both sets.
void GiveBack(Work& w) {
  FreeAnimeObjs(w.particle_objs.data(), kLunetParticles);
  FreeAnimeObjs(w.hit_objs.data(), kSlgMaxUnits);
  FreeAnimeObjs(&w.body_obj, 1);
  FreeAnimeObjs(&w.effect_obj, 1);
  w.particle_objs.fill(nullptr);
  w.hit_objs.fill(nullptr);
  w.body_obj = w.effect_obj = nullptr;
  ReleaseUnitAnm(&w.body_anims);
  ReleaseUnitAnm(&w.effect_anims);
}

// A set missing or an allocation refused: what was taken goes back and the attack ends.
int Abandon(Work& w) {
  GiveBack(w);
  EndAttack(*w.unit);
  return kTimelineStop;
}

// Step 0: the sets.
int LoadSets(Work& w) {
  w.target_count = std::clamp<int32_t>(Battle().target_count, 0, kSlgMaxUnits);
  w.body_anims = GetUnitAnm(w.unit->kind, kAnmAttackBody);
  w.effect_anims = GetUnitAnm(w.unit->kind, kAnmAttackEffect);
  if (w.body_anims == nullptr || w.effect_anims == nullptr) return Abandon(w);
  return kTimelineNextRow;
}

// A looping hit animation on target i, where the target stands, just in front of its body.
void PlayHit(Work& w, int i, uint32_t anim) {
  const int8_t slot = Battle().targets[static_cast<size_t>(i)];
  SlgAnmObj* obj = w.hit_objs[static_cast<size_t>(i)];
  if (slot < 0 || !SlgSlotInUse(static_cast<uint32_t>(slot))) return;
  const SlgUnit& target = Battle().state.units[static_cast<size_t>(slot)];
  const SlgPair at = Slg::PosToScreen({target.x, target.y});
  obj->x = at.x;
  obj->y = at.y;
  obj->depth = static_cast<int16_t>(BodyDepth(target) - 1);
  obj->mode = 0;
  SlgPlayAnmAttr(w.effect_anims, anim, obj, SURFACE_ROOT,
                 target.anm != nullptr ? target.anm->attr : uint16_t{0});
}

// Step 1: the body and effect at the unit, the hit animations, the particles' objects.
int SetUp(Work& w) {
  SlgUnit& unit = *w.unit;
  const LunetTiming& timing = TimingOf(unit);
  const LunetDirection& dir = DirectionOf(unit);
  SlgAnmObj* pair[2] = {};
  if (AllocAnimeObjs(pair, unit.anm, 2) == 0) return Abandon(w);
  w.body_obj = pair[0];
  w.effect_obj = pair[1];
  w.effect_obj->depth = static_cast<int16_t>(BodyDepth(unit) - 1);
  const uint32_t anim = dir.anim - timing.anim_less;
  for (SlgAnmObj* obj : pair) {
    obj->mode = kSlgAnmOnce;
    obj->x = w.pos_x;
    obj->y = w.pos_y;
  }
  SlgPlayAnmAttr(w.body_anims, anim, w.body_obj, SURFACE_ROOT, dir.attr);
  SlgPlayAnmAttr(w.effect_anims, anim, w.effect_obj, SURFACE_ROOT, dir.attr);
  w.particle_count = 0;
  w.last_tick = 0;
  if (AllocAnimeObjs(w.hit_objs.data(), unit.anm, w.target_count) == 0) return Abandon(w);
  for (int i = 0; i < w.target_count; ++i) PlayHit(w, i, timing.hit_anim);
  if (AllocAnimeObjs(w.particle_objs.data(), w.body_obj, kLunetParticles) == 0) return Abandon(w);
  return kTimelineNextRow;
}

// The next particle, from two random draws (its horizontal speed first), thrown up from above
// the unit toward the side it faces.
void Emit(Work& w) {
  const int32_t vx_draw = SlgRand();
  const int32_t vy_draw = SlgRand();
  const LunetDirection& dir = DirectionOf(*w.unit);
  int32_t vx = (((vx_draw >> 3) & 3) - 5) * kHalfPixel;  // -2.5 .. -1.0
  const int32_t vy = (((vy_draw >> 3) & 3) - 6) * kHalfPixel;  // -3.0 .. -1.5
  if (dir.rightward) vx = -vx;
  const int32_t x = w.pos_x + dir.dx * kPixel;
  const int32_t y = w.pos_y + dir.dy * kPixel;
  const auto i = static_cast<size_t>(w.particle_count);
  w.particles[i] = {.life = kParticleLife, .x = x, .y = y, .ax = 0, .ay = kParticleFall,
                    .vx = vx, .vy = vy, .x0 = x, .y0 = y, .vx0 = vx, .vy0 = vy,
                    .start = TimelineNow()};
  SlgAnmObj* obj = w.particle_objs[i];
  obj->mode = kSlgAnmOnce;
  obj->depth = kParticleDepth;
  obj->x = x;
  obj->y = y;
  SlgPlayAnm(w.effect_anims, kParticleAnim, obj, SURFACE_ROOT);
  ++w.particle_count;
}

// Every particle thrown, where its path has brought it by now; gone after its life.
void MoveParticles(Work& w) {
  for (size_t i = 0; i < static_cast<size_t>(w.particle_count); ++i) {
    LunetParticle& p = w.particles[i];
    SlgAnmObj* obj = w.particle_objs[i];
    const int32_t f = TimelineFrames(p.start);
    if (f > p.life) {
      Scene().tamvik_spr.ReleaseAnm(&obj->handle);
      continue;
    }
    if (f >= p.life / 2) {
      if (f % 2 == 0) {
        SlgAnmHide(obj->handle);
      } else {
        SlgAnmShow(obj->handle);
      }
    }
    ReplayLunetParticle(p, f, w.pos_y);
    obj->x = p.x;
    obj->y = p.y;
    SlgSprSetPos(obj->handle, {p.x, p.y});
  }
}

// Step 3, every frame: a particle on each new tick of eight frames (the ticks count on from step
// 1, so the first comes at frame 8), then the motion.
void Throw(Work& w) {
  const int32_t tick = TimelineFrames(w.clock.start) / kTickFrames;
  if (tick > w.last_tick) {
    w.last_tick = tick;
    if (w.particle_count < kLunetParticles) Emit(w);
  }
  MoveParticles(w);
}

// Step 5.
int Finish(Work& w) {
  GiveBack(w);
  SetUnitState(*w.unit, kStateAfterAttack);
  return kTimelineStop;
}

SlgAnmObj* BodyObj(Work& w) { return w.body_obj; }

constexpr std::array<Row, 6> Steps(const LunetTiming& t) {
  return {{
      {Wait::AtOnce(), &LoadSets},
      {Wait::AtOnce(), &SetUp},
      {Wait::Frames(t.swing)},
      {Wait::Frames(t.throw_frames), nullptr, kTimelineNextRow, 0, &Throw},
      {Wait::AnmEnd(&BodyObj), nullptr, kTimelineNextRow, 0, &MoveParticles},
      {Wait::AtOnce(), &Finish},
  }};
}
constexpr std::array<Row, 6> kNormalSteps = Steps(kNormalTiming);
constexpr std::array<Row, 6> kCriticalSteps = Steps(kCriticalTiming);

}  // namespace

void ReplayLunetParticle(LunetParticle& p, int32_t frames, int32_t floor_y) {
  p.x = p.x0;
  p.y = p.y0;
  p.vx = p.vx0;
  p.vy = p.vy0;
  for (int32_t i = 0; i < frames; ++i) {
    // Rounding the rise down to a whole pixel takes it away from zero.
    if (p.y > floor_y) p.vy = SlgFxMul(-p.vy, kBounce) & kWholePixels;
    p.vx += p.ax;
    p.x += p.vx;
    p.vy += p.ay;
    p.y += p.vy;
    p.y += kPixel;
  }
}

void LunetNormalAttack(SlgUnit& unit, SlgPair& pos) {
  Work& w = Battle().Extension<Work>();
  if (unit.step == 0) w = Work{};
  w.unit = &unit;
  // The position of this frame: where step 1 places the body, the particles' floor line after.
  w.pos_x = pos.x;
  w.pos_y = pos.y;
  const std::array<Row, 6>& steps =
      unit.stats.attack_type == kTypeCritical ? kCriticalSteps : kNormalSteps;
  RunTimeline(std::span<const Row>(steps), unit.step, w.clock, w);
}

void LunetSpecialAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  EndStubAttack(unit, "LunetSpecialAttack");
}
