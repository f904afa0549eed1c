// The LUNET heroine unit's attacks (kind 3): the normal routine and the special
// (battle_effects/lunet.h).

#include "battle_effects/lunet.h"

#include <algorithm>
#include <limits>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/kinematic.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
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

// ---- The special ----

namespace {

using SWork = LunetSpecialWork;
using SRow = TimelineRow<SWork>;
using SWait = TimelineWait<SWork>;

constexpr int32_t kFxOne = 0x10000;
constexpr uint16_t kUnitsShown = 0x6;  // SlgFlags bits 1-2
constexpr int kColourKey = 1;
constexpr BlendWord kOwnAlpha = 0x10100;

// The scene: layer 4 with picture 0 tiled 2 x 2 at 1024 x 512, scrolled by (20, 10) pixels every
// 16 ms without end; picture 1 slides over it on its own alpha.
constexpr int kTileW = 1024;
constexpr int kTileH = 512;
constexpr int kScrollDx = 20;
constexpr int kScrollDy = 10;
constexpr uint32_t kScrollMs = 16;
constexpr int32_t kScrollForever = 0x7FFFFFFF;
constexpr int kSceneFade = 32;
constexpr int kPictureDepth = -1535;
constexpr SlgPair kPictureStart{-640 * kPixel, -480 * kPixel};
constexpr SlgPair kPictureSlide{-4 * kPixel, -2 * kPixel};  // taken off the position each frame
constexpr int32_t kPictureStop = -320 * kPixel;
constexpr SlgPair kFlyOnStep{0x6000, 0x3000};                 // 0.375, 0.1875
constexpr SlgPair kFlyOnLimit{-12 * kPixel, -6 * kPixel};

// The body's blend: level = frames x 128 / d1 / d2.
constexpr int32_t kBlendIn1 = 4, kBlendIn2 = 16, kBlendOut1 = 2, kBlendOut2 = 2;
constexpr BlendWord kBlendBase = 0x60000;
constexpr int32_t kBlendFull = 128;

// Flakes: one more every 4 frames up to 64, drawn as frames 65-67 at depth 0; they start 224
// pixels above the centre and start again once 240 below it.
constexpr SpawnRule kFlakeRule{.interval = 4, .limit = kLunetFlakes,
                               .number = SpawnNumber::kRunning};
constexpr uint8_t kFlakeNew = 0;
constexpr uint8_t kFlakeActive = 1;
constexpr int32_t kFlakeTop = -224 * kPixel;
constexpr int32_t kFlakeBottom = 240 * kPixel;
constexpr int32_t kFlakeDrift = 4 * kPixel;  // the wind of step 4, the split of step 5

// SPECIAL_BODY and SPECIAL_EFFECT animations.
constexpr uint32_t kBodyFinish = 0, kBodyEnter = 1, kBodyLoop = 2;
constexpr std::array<uint32_t, 4> kPoseByDir{4, 3, 3, 4};
constexpr uint32_t kFrontAnm = 0, kRear1Enter = 1, kRear1Loop = 2, kRear2Enter = 3;
constexpr uint32_t kRear2Loop = 4, kRear3Loop = 5, kHitAnm = 6, kPieceFall = 7, kPieceRise = 8;
constexpr std::array<uint32_t, 3> kPillarAnms{9, 10, 11};
constexpr std::array<int, 3> kPillarDepths{-1, -2, -1};
constexpr int32_t kPillarDrop = 64 * kPixel;  // the pillar's objects stand 64 pixels below
constexpr int32_t kHeadRise = 96;             // the head's height at zoom 1.0, in pixels

// The pillar: 64 frames of rising pieces, the growth to 6.0, the fall over 32 frames.
constexpr int32_t kRiseFrames = 64;
constexpr int32_t kRiseInterval = 8;
constexpr int32_t kMoveInterval = 1;
constexpr int32_t kGrowthFrames = 64;
constexpr int32_t kZoomYGrowth = 6 * kFxOne;  // over kGrowthFrames
constexpr int32_t kZoomYMax = 6 * kFxOne;
constexpr int32_t kFallFrames = 32;

int32_t Draw() { return SlgRand() >> 16; }
int32_t Px(int32_t pixels) { return pixels * kPixel; }

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

SlgUnit& UnitAt(uint8_t slot) { return Battle().state.units[slot]; }

// ---- Objects ----

void Play(SlgAnmObj* obj, SprAnm* set, uint32_t n, const SlgPair& at, int depth, uint8_t mode) {
  BossPlay(obj, set, n, at, depth, obj != nullptr ? obj->attr : uint16_t{0}, mode);
}

// The object plays on as it is and ends with its current animation (its handle cleared then).
void FinishOnce(SlgAnmObj* obj) {
  if (obj == nullptr) return;
  obj->mode = kSlgAnmOnce;
  SlgAnmPlayOnce(&obj->handle);
}

bool HandlesEmpty(std::span<SlgAnmObj* const> objs) {
  return std::all_of(objs.begin(), objs.end(),
                     [](const SlgAnmObj* o) { return o == nullptr || o->handle == nullptr; });
}

int SceneDepth(const SWork& w) { return w.body != nullptr ? w.body->depth : 0; }

std::array<BossObjList, 7> AllLists(SWork& w) {
  return {{{&w.body, 1},
           {w.rear.data(), 3},
           {w.flake_objs.data(), kLunetFlakes},
           {&w.front, 1},
           {w.pillar.data(), 3},
           {w.pieces.data(), kLunetPieces},
           {w.hits.data(), w.target_count}}};
}

// ---- The picture ----

void SlidePicture(SWork& w) {
  LunetPicture& p = w.picture;
  const Kinematic slide{.start = p.pos0,
                        .velocity = {-p.vel.x, -p.vel.y},
                        .end = KinematicEnd::kPointPassed,
                        .axes = kKinematicX,
                        .point = {kPictureStop, 0}};
  const KinematicPos at = KinematicAt(slide, TimelineFrames(p.start));
  p.pos = at.pos;
  p.stopped = at.ended;
  BossShowPicture(p.shown, p.pos.x >> 16, p.pos.y >> 16, kPictureDepth);
}

void FlyPicture(SWork& w) {
  LunetPicture& p = w.picture;
  p.pos = LunetPictureFlyOn(p.pos0, p.vel0, TimelineFrames(p.start), &p.vel);
  if (p.shown.entry != nullptr) {
    Ctx().ddraw_spr.SetBufferPos(p.shown.entry, p.pos.x >> 16, p.pos.y >> 16);
  }
}

void RebasePicture(LunetPicture& p) {
  p.pos0 = p.pos;
  p.vel0 = p.vel;
  p.start = TimelineNow();
}

// ---- The blend ----

void StartBlend(SWork& w, LunetBlend blend) {
  w.blend = blend;
  w.blend_start = TimelineNow();
}

void ApplyBlend(SWork& w) {
  SlgSprSetAlpha(w.body, LunetBlendAlpha(w.blend, TimelineFrames(w.blend_start)));
}

// ---- The flakes ----

void NewFlake(SWork& w, size_t i) {
  LunetFlake& f = w.flakes[i];
  SlgAnmObj* obj = w.flake_objs[i];
  // The draws in this order: place, frame, fall, phase step, sway, its re-pick.
  const int32_t x = Px(Draw() % 960 - 640);
  f.frame = static_cast<int16_t>(65 + Draw() % 3);
  f.velocity = {0, 2 * kPixel + kHalfPixel * (Draw() % 8)};
  f.step = 512 / (15 + Draw() % 32);
  f.phase = 0;
  f.amp = 2 + 2 * (Draw() % 2);
  f.repick = 18 + Draw() % 64;
  f.start = f.repick_start = TimelineNow();
  f.base = {x, kFlakeTop};
  f.phase0 = 0;
  obj->x = x;
  obj->y = kFlakeTop;
  obj->state = kFlakeActive;
}

void MoveFlake(SWork& w, size_t i) {
  LunetFlake& f = w.flakes[i];
  SlgAnmObj* obj = w.flake_objs[i];
  SlgPutUnitSpr(w.anms.effect, static_cast<uint32_t>(f.frame), 0, {obj->x, obj->y}, SURFACE_ROOT,
                kColourKey);
  if (TimelineFrames(f.repick_start) >= f.repick) {
    f.amp = 2 + 2 * (Draw() % 2);
    f.repick = 18 + Draw() % 64;
    f.repick_start = TimelineNow();
  }
  const SlgPair at = LunetFlakePath(f, w.drift, TimelineFrames(f.start), &f.phase);
  obj->x = at.x;
  obj->y = at.y;
  if (obj->y >= kFlakeBottom) obj->state = kFlakeNew;
}

void StartFlakes(SWork& w) {
  for (SlgAnmObj* obj : w.flake_objs) obj->state = kFlakeNew;
  w.drift = {};
  w.flake_spawner = {};
  w.flake_clock = TimelineNow();
}

// Every frame of steps 2-6: one more flake when its tick has come, then each flake in use.
void StepFlakes(SWork& w) {
  const int32_t due = SpawnDue(w.flake_spawner, kFlakeRule, TimelineFrames(w.flake_clock));
  if (due >= 0) w.flake_objs[static_cast<size_t>(due)]->state = kFlakeNew;
  for (size_t i = 0; i < static_cast<size_t>(w.flake_spawner.started); ++i) {
    if (w.flake_objs[i]->state == kFlakeNew) {
      NewFlake(w, i);
    } else {
      MoveFlake(w, i);
    }
  }
}

// Each flake in use goes on from where it stands under the drift as it is now.
void RebaseFlakes(SWork& w) {
  for (size_t i = 0; i < static_cast<size_t>(w.flake_spawner.started); ++i) {
    const SlgAnmObj* obj = w.flake_objs[i];
    if (obj->state != kFlakeActive) continue;
    LunetFlake& f = w.flakes[i];
    f.base = {obj->x, obj->y};
    f.phase0 = f.phase;
    f.start = TimelineNow();
  }
}

// ---- The steps ----

// The chosen target: the unit the attack byte names when it is a target, else the first target,
// else the attacker; the pillar's depth from the target standing in its cell (the attacker's
// with no target).
void ChooseTarget(SWork& w) {
  const SlgUnit& chosen = BossAttackedUnit(*w.unit);
  const SlgPair map{chosen.x, chosen.y};
  const uint16_t depth_unit = TargetAtPos(map);
  w.depth_unit = depth_unit == kSlgNoUnit ? w.unit->slot : static_cast<uint8_t>(depth_unit);
  w.centre = BossUnitScreen(chosen);
}

int SpecialSetUp(SWork& w) {
  SlgUnit& unit = *w.unit;
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  w.target_count = std::clamp<int32_t>(Battle().target_count, 0, kSlgMaxUnits);
  const std::array<BossObjList, 7> lists = AllLists(w);
  if (!BossAllocObjs(w, lists)) return kTimelineStop;
  SlgLayerOn(SURFACE_ROOT, 3);
  LoadAttackBgTiled(unit, 0, SURFACE_ROOT, kTileW, kTileH, 2, 2);
  if (BossCutPicture(unit, 1, SURFACE_SCRATCH, false, w.picture.shown)) {
    Ctx().ddraw_spr.SetSpriteAlpha(w.picture.shown.sprite, kOwnAlpha);
  }
  w.picture.pos = w.picture.pos0 = kPictureStart;
  HideTargets(Battle().target_count);
  ChooseTarget(w);
  w.body->depth = BossUnitDepth(unit);
  Play(w.body, w.anms.body, kBodyEnter, {0, 0}, w.body->depth, kSlgAnmStartStopped);
  return kTimelineNextRow;
}

int StartScene(SWork& w) {
  StartFlakes(w);
  CDdrawAnime& anime = Ctx().anime;
  w.layer_scroll =
      anime.CreateLayerScroll(SURFACE_ROOT, kScrollDx, kScrollDy, kScrollMs, kScrollForever);
  anime.SetScrollWrap(w.layer_scroll, kTileW, kTileH);
  SlgFadeIn(kSceneFade);
  SelectUnitVoice(*w.unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

int BodyEnters(SWork& w) {
  w.body->mode = kSlgAnmOnce;
  Ctx().anime.SetStop(w.body->handle, 0);
  Play(w.rear[0], w.anms.effect, kRear1Enter, {0, 0}, SceneDepth(w) + 1, kSlgAnmOnce);
  SlgAnmPlayOnce(&w.rear[0]->handle);
  return kTimelineNextRow;
}

int EnteredDone(SWork& w) {
  return SlgAnmObjIsEnd(w.body) != 0 && w.rear[0]->handle == nullptr ? 1 : 0;
}

int BodyLoops(SWork& w) {
  BossRelease(w.body);
  Play(w.body, w.anms.body, kBodyLoop, {0, 0}, SceneDepth(w), 0);
  StartBlend(w, LunetBlend::kIn);
  Play(w.rear[0], w.anms.effect, kRear1Loop, {0, 0}, SceneDepth(w) + 1, 0);
  Play(w.rear[1], w.anms.effect, kRear2Enter, {0, 0}, SceneDepth(w) + 1, kSlgAnmOnce);
  SlgAnmPlayOnce(&w.rear[1]->handle);
  return kTimelineNextRow;
}

int Rear2Done(SWork& w) { return w.rear[1]->handle == nullptr ? 1 : 0; }

int WindRises(SWork& w) {
  Play(w.rear[1], w.anms.effect, kRear2Loop, {0, 0}, SceneDepth(w) + 1, 0);
  Play(w.rear[2], w.anms.effect, kRear3Loop, {0, 0}, SceneDepth(w) + 1, 0);
  w.drift.wind.x = kFlakeDrift;
  RebaseFlakes(w);
  w.picture.vel = kPictureSlide;
  w.picture.start = TimelineNow();
  return kTimelineNextRow;
}

int SlideStopped(SWork& w) { return w.picture.stopped ? 1 : 0; }

int BodyFinishes(SWork& w) {
  BossRelease(w.body);
  Play(w.body, w.anms.body, kBodyFinish, {0, 0}, SceneDepth(w), kSlgAnmOnce);
  StartBlend(w, LunetBlend::kOut);
  FinishOnce(w.rear[1]);
  FinishOnce(w.rear[2]);
  Play(w.front, w.anms.effect, kFrontAnm, {0, 0}, SceneDepth(w) - 1, kSlgAnmOnce);
  w.drift.split = {kFlakeDrift, kFlakeDrift};
  RebaseFlakes(w);
  RebasePicture(w.picture);
  return kTimelineNextRow;
}

SlgAnmObj* BodyOf(SWork& w) { return w.body; }

int WhiteOut(SWork& /*w*/) {
  SlgWhiteOut(kSceneFade);
  return kTimelineNextRow;
}

// The scene's pieces go; the picture's sprite stays until the end.
void FreeScene(SWork& w) {
  BossRelease(w.body);
  BossFreeObjs({{w.flake_objs.data(), kLunetFlakes}, {w.rear.data(), 3}, {&w.front, 1}});
  Ctx().anime.DeleteRef(&w.layer_scroll);
  Ctx().ddraw_spr.DeleteBuffer(&w.picture.shown.entry);
}

int SceneEnds(SWork& w) {
  FreeScene(w);
  SlgWhiteIn(kSceneFade);
  return kTimelineNextRow;
}

int BackOnTheMap(SWork& w) {
  SlgUnit& unit = *w.unit;
  BattleContext& b = Battle();
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerRestore();
  ShowFlaggedUnits();
  b.flags = static_cast<uint16_t>(b.flags | kUnitsShown);
  ShowTargets(b.target_count);
  BossPlay(w.body, w.anms.body, kPoseByDir[unit.dir & 3u], BossUnitScreen(unit),
           BossUnitDepth(unit), BossUnitAttr(unit), kSlgAnmStartStopped);
  return kTimelineNextRow;
}

void HoldPose(SWork& w) { BossFollow(w.body, {w.body->x, w.body->y}); }

void PillarSetUp(SWork& w) {
  const SlgPair at{w.centre.x, w.centre.y + kPillarDrop};
  const int depth = BossUnitDepth(UnitAt(w.depth_unit));
  for (size_t i = 0; i < w.pillar.size(); ++i) {
    SlgAnmObj* obj = w.pillar[i];
    obj->x = at.x;
    obj->y = at.y;
    obj->depth = static_cast<int16_t>(depth + kPillarDepths[i]);
    obj->mode = 0;
    obj->state = 0;
  }
  Play(w.pillar[0], w.anms.effect, kPillarAnms[0], at, w.pillar[0]->depth, 0);
  SlgSprSetAlpha(w.pillar[0], kOwnAlpha);
  w.pillar_clock = {};
}

int PillarRises(SWork& w) {
  w.body->mode = kSlgAnmOnce;
  Ctx().anime.SetStop(w.body->handle, 0);
  PillarSetUp(w);
  return kTimelineNextRow;
}

int PillarDone(SWork& w) { return LunetPillarStep(w); }

int HitsStart(SWork& w) {
  BossFreeObjs({{w.pillar.data(), 3}, {w.pieces.data(), kLunetPieces}});
  const BattleContext& b = Battle();
  for (int i = 0; i < w.target_count; ++i) {
    const int8_t slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0 || !SlgSlotInUse(static_cast<uint32_t>(slot))) continue;
    const SlgUnit& target = UnitAt(static_cast<uint8_t>(slot));
    SlgAnmObj* hit = w.hits[static_cast<size_t>(i)];
    Play(hit, w.anms.effect, kHitAnm, BossUnitScreen(target), BossUnitDepth(target) - 1,
         kSlgAnmOnce);
    SlgAnmPlayOnce(&hit->handle);
  }
  return kTimelineNextRow;
}

int HitsDone(SWork& w) {
  return HandlesEmpty({w.hits.data(), static_cast<size_t>(w.target_count)}) ? 1 : 0;
}

int SpecialFinish(SWork& w) {
  BossRelease(w.body);
  BossDeletePicture(w.picture.shown);
  const std::array<BossObjList, 7> lists = AllLists(w);
  BossFreeObjs(lists);
  BossFinish(w, 0);
  return kTimelineStop;
}

void Scene2(SWork& w) { StepFlakes(w); }
void Scene4(SWork& w) {
  ApplyBlend(w);
  StepFlakes(w);
}
void Scene5(SWork& w) {
  ApplyBlend(w);
  StepFlakes(w);
  SlidePicture(w);
}
void Scene6(SWork& w) {
  ApplyBlend(w);
  StepFlakes(w);
  FlyPicture(w);
}

constexpr SRow kSpecialSteps[] = {
    {SWait::AtOnce(), &SpecialSetUp},                                         // 0
    {SWait::AtOnce(), &StartScene, kTimelineNextRow, kTimelineChain},         // 1
    {SWait::FadeEnd(), &BodyEnters, kTimelineNextRow, 0, &Scene2},            // 2
    {SWait::SubDone(&EnteredDone), &BodyLoops, kTimelineNextRow, 0, &Scene2},  // 3
    {SWait::SubDone(&Rear2Done), &WindRises, kTimelineNextRow, 0, &Scene4},   // 4
    {SWait::SubDone(&SlideStopped), &BodyFinishes, kTimelineNextRow, 0, &Scene5},  // 5
    {SWait::AnmEnd(&BodyOf), &WhiteOut, kTimelineNextRow, 0, &Scene6},        // 6
    {SWait::FadeEnd(), &SceneEnds, kTimelineNextRow, 0, &FlyPicture},         // 7
    {SWait::AtOnce(), &BackOnTheMap, kTimelineNextRow, kTimelineChain},       // 8
    {SWait::FadeEnd(), &PillarRises, kTimelineNextRow, 0, &HoldPose},        // 9
    {SWait::SubDone(&PillarDone), &HitsStart, kTimelineNextRow, 0, &HoldPose},  // 10
    {SWait::SubDone(&HitsDone), &SpecialFinish, kTimelineNextRow, 0, &HoldPose},  // 11
};

// ---- The pillar's stages ----

using PRow = TimelineRow<SWork>;

int DepthUnit(const SWork& w) { return BossUnitDepth(UnitAt(w.depth_unit)); }
SlgAnmObj* Mark(SWork& w) { return w.pillar[0]; }
SlgAnmObj* Head(SWork& w) { return w.pillar[1]; }
SlgAnmObj* Column(SWork& w) { return w.pillar[2]; }
int32_t StageFrames(const SWork& w) { return TimelineFrames(w.pillar_clock.start); }

// Around the centre: x by 2 x (r mod 48 - 24) pixels (the first draw).
int32_t PieceX(const SWork& w) { return w.centre.x + Px(2 * (Draw() % 48 - 24)); }

void PlacePiece(SlgAnmObj* obj, int32_t x, int32_t y, int depth) {
  obj->x = x;
  obj->y = y;
  obj->depth = static_cast<int16_t>(depth);
}

// A rising piece somewhere round the centre.
void PlaceRisingPiece(SWork& w, SlgAnmObj* obj, int depth) {
  const int32_t x = PieceX(w);
  const int32_t y = w.centre.y + Px(2 * (Draw() % 80 - 48));
  PlacePiece(obj, x, y, depth);
}

void PlayPiece(SWork& w, SlgAnmObj* obj, uint32_t n) {
  Play(obj, w.anms.effect, n, {obj->x, obj->y}, obj->depth, kSlgAnmOnce);
}

void HeadAndColumn(SWork& w) {
  SlgAnmObj* head = Head(w);
  head->y = Saturate(int64_t{w.centre.y} - int64_t{kHeadRise} * w.zoom.y + kPillarDrop);
  BossFollow(head, {head->x, head->y});
  SlgSprSetZoom(Column(w)->handle, w.zoom);
}

// The next piece when its interval has passed since the last one.
bool PieceDue(const SWork& w) {
  return w.piece_count < kLunetPieces && TimelineFrames(w.piece_start) >= w.piece_interval;
}

void NextPieceTaken(SWork& w, int32_t interval) {
  ++w.piece_count;
  w.piece_interval = interval;
  w.piece_start = TimelineNow();
}

int Stage0(SWork& w) {
  const int depth = DepthUnit(w) - 4;
  for (SlgAnmObj* piece : w.pieces) {
    piece->mode = kSlgAnmOnce;
    PlaceRisingPiece(w, piece, depth);
  }
  w.piece_count = 0;
  w.piece_interval = 0;
  w.piece_start = TimelineNow();
  return kTimelineNextRow;
}

// Stage 1: a piece rises every 8 frames; a risen one rises again elsewhere while the stage lasts.
void Stage1(SWork& w) {
  if (PieceDue(w)) {
    PlayPiece(w, w.pieces[static_cast<size_t>(w.piece_count)], kPieceRise);
    NextPieceTaken(w, kRiseInterval);
  }
  if (StageFrames(w) >= kRiseFrames) return;
  for (size_t i = 0; i < static_cast<size_t>(w.piece_count); ++i) {
    SlgAnmObj* piece = w.pieces[i];
    if (SlgAnmObjIsEnd(piece) == 0) continue;
    PlaceRisingPiece(w, piece, DepthUnit(w) - 8);
    PlayPiece(w, piece, kPieceRise);
  }
}

int HeadRises(SWork& w) {
  BossRelease(Mark(w));
  w.zoom = {kFxOne, kFxOne};
  for (size_t i = 1; i < 3; ++i) {
    SlgAnmObj* obj = w.pillar[i];
    Play(obj, w.anms.effect, kPillarAnms[i], {obj->x, obj->y}, obj->depth, 0);
    SlgSprSetAlpha(obj, kOwnAlpha);
  }
  return kTimelineNextRow;
}

int RisenDone(SWork& w) {
  const auto started = std::span<SlgAnmObj* const>(w.pieces.data(),
                                                   static_cast<size_t>(w.piece_count));
  return BossObjsEnded(started);
}

int PiecesFall(SWork& w) {
  const int depth = DepthUnit(w) - 8;
  for (SlgAnmObj* piece : w.pieces) {
    piece->depth = static_cast<int16_t>(depth);
    PlayPiece(w, piece, kPieceFall);
  }
  w.piece_count = 0;
  w.piece_interval = kMoveInterval;
  w.piece_start = TimelineNow();
  return kTimelineNextRow;
}

// Stage 3: a piece a frame moves up to the head; the pillar grows to 6.0.
void Stage3(SWork& w) {
  if (PieceDue(w)) {
    SlgAnmObj* piece = w.pieces[static_cast<size_t>(w.piece_count)];
    const int32_t x = PieceX(w);
    PlacePiece(piece, x, Head(w)->y + Px(Draw() % 32), piece->depth);
    NextPieceTaken(w, kMoveInterval);
  }
  for (size_t i = 0; i < static_cast<size_t>(w.piece_count); ++i) {
    SlgAnmObj* piece = w.pieces[i];
    if (SlgAnmObjIsEnd(piece) != 0) {
      const int32_t x = PieceX(w);
      PlacePiece(piece, x, Head(w)->y + Px(2 * (Draw() % 16)), DepthUnit(w) - 8);
      PlayPiece(w, piece, kPieceFall);
    } else {
      BossFollow(piece, {piece->x, piece->y});
    }
  }
  w.zoom.y = LunetPillarZoomY(StageFrames(w));
  HeadAndColumn(w);
}

int GrownDone(SWork& w) {
  return w.piece_count >= kLunetPieces && w.zoom.y >= kZoomYMax ? 1 : 0;
}

// Stage 4: the pillar narrows to nothing; each piece that ends falls once more somewhere between
// 240 pixels above the centre and the centre.
void Stage4(SWork& w) {
  // A centre at or above the top edge leaves no room above it: the span is at least one.
  const int32_t span = std::max<int32_t>(1, (w.centre.y >> 16) + 240);
  for (SlgAnmObj* piece : w.pieces) {
    if (SlgAnmObjIsEnd(piece) == 0) continue;
    const int32_t x = PieceX(w);
    PlacePiece(piece, x, w.centre.y + Px(Draw() % span - 240), DepthUnit(w) - 8);
    PlayPiece(w, piece, kPieceFall);
    SlgAnmPlayOnce(&piece->handle);
  }
  w.zoom.x = LunetPillarZoomX(StageFrames(w));
  HeadAndColumn(w);
}

int NarrowedDone(SWork& w) { return w.zoom.x <= 0 ? 1 : 0; }

// A piece whose animation has ended counts as done even when it keeps its handle (one restarted
// in stage 3 that outlasted stage 4).
int PiecesDone(SWork& w) { return BossObjsEnded(w.pieces); }

int PillarGoes(SWork& w) {
  BossRelease(Head(w));
  BossRelease(Column(w));
  return kTimelineNextRow;
}

constexpr PRow kPillarStages[] = {
    {SWait::AtOnce(), &Stage0, kTimelineNextRow, kTimelineChain},                     // 0
    {SWait::Frames(kRiseFrames), &HeadRises, kTimelineNextRow, 0, &Stage1},            // 1
    {SWait::SubDone(&RisenDone), &PiecesFall, kTimelineNextRow, 0, &HeadAndColumn},    // 2
    {SWait::SubDone(&GrownDone), nullptr, kTimelineNextRow, 0, &Stage3},               // 3
    {SWait::SubDone(&NarrowedDone), nullptr, kTimelineNextRow, 0, &Stage4},            // 4
    {SWait::SubDone(&PiecesDone), &PillarGoes},                                         // 5
    {SWait::AtOnce()},                                                                   // 6
};

}  // namespace

BlendWord LunetBlendAlpha(LunetBlend blend, int32_t frames) {
  const int32_t f = std::max(frames, int32_t{0});
  switch (blend) {
    case LunetBlend::kNone: break;
    case LunetBlend::kIn: {
      const int32_t level = f * kBlendFull / kBlendIn1 / kBlendIn2;
      return kBlendBase + static_cast<BlendWord>(std::min(level, kBlendFull));
    }
    case LunetBlend::kOut: {
      const int32_t rest = kBlendFull - f * kBlendFull / kBlendOut1 / kBlendOut2;
      return rest > 0 ? kBlendBase + static_cast<BlendWord>(rest) : BlendWord{256};
    }
  }
  return 256;
}

SlgPair LunetPictureFlyOn(const SlgPair& pos0, const SlgPair& vel0, int32_t frames,
                          SlgPair* vel) {
  int64_t x = pos0.x, y = pos0.y;
  SlgPair v = vel0;
  for (int32_t i = 0; i < frames; ++i) {
    v.x = std::max(v.x - kFlyOnStep.x, kFlyOnLimit.x);
    v.y = std::max(v.y - kFlyOnStep.y, kFlyOnLimit.y);
    x -= v.x;
    y -= v.y;
  }
  if (vel != nullptr) *vel = v;
  return {Saturate(x), Saturate(y)};
}

SlgPair LunetFlakePath(const LunetFlake& f, const LunetDrift& d, int32_t frames, int32_t* phase) {
  int64_t x = f.base.x, y = f.base.y;
  int32_t p = f.phase0;
  const int64_t sway = int64_t{4} * f.amp;
  for (int32_t i = 0; i < frames; ++i) {
    p = (p + f.step) & 511;
    x += SlgSin(p) * sway;
    x += int64_t{f.velocity.x} + d.wind.x;
    y += int64_t{f.velocity.y} + d.wind.y;
    if (7 * x / 10 < y) {
      x -= d.split.x;
      y += d.split.y;
    } else {
      x += d.split.x;
      y -= d.split.y;
    }
  }
  if (phase != nullptr) *phase = p;
  return {Saturate(x), Saturate(y)};
}

int32_t LunetPillarZoomY(int32_t frames) {
  const int64_t f = std::max(frames, int32_t{0});
  return static_cast<int32_t>(std::min<int64_t>(kFxOne + int64_t{kZoomYGrowth} * f / kGrowthFrames,
                                                kZoomYMax));
}

int32_t LunetPillarZoomX(int32_t frames) {
  const int64_t f = std::max(frames, int32_t{0});
  return static_cast<int32_t>(std::max<int64_t>(kFxOne - f * kFxOne / kFallFrames, 0));
}

int LunetPillarStep(LunetSpecialWork& w) {
  if (w.pillar[0] == nullptr) return 1;
  return RunTimeline(kPillarStages, w.pillar[0]->state, w.pillar_clock, w) == 1 ? 1 : 0;
}

void LunetSpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecialSteps, unit, pos, Battle().Extension<LunetSpecialRecord>());
}
