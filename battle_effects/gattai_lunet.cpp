// LUNET's part of the combination attack (battle_effects/gattai_lunet.h).

#include "battle_effects/gattai_lunet.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr int kFamily = 2;

// The states' timing.
constexpr int kSnowFadeIn = 64;
constexpr int32_t kSnowFadeOutAt = 210;
constexpr int kSnowFadeOut = 32;
constexpr int32_t kFlakeEvery = 4;
constexpr int kFirstFlakes = 30;
constexpr int kMeetingFadeIn = 16;
constexpr int32_t kWhiteOutAt = 150;
constexpr int kWhiteOutFrames = 32;

// The drifting pictures.
constexpr int32_t kDriftFrames = 240;
struct DriftRow {
  uint32_t anm;
  SlgPair start;
  SlgPair vel;
  int16_t depth;
};
constexpr DriftRow kKadrun1[3] = {
    {0, {-320 * kPx, -176 * kPx}, {0, 17476}, -1098},
    {1, {-16 * kPx, -48 * kPx}, {16384, 0}, -1097},
    {3, {-320 * kPx, -160 * kPx}, {-21845, 0}, -1096},
};
constexpr DriftRow kKadrun2{2, {-208 * kPx, -192 * kPx}, {-8738, -17476}, -1098};
constexpr SlgPair kLunet2Start{-112 * kPx, -200 * kPx};
constexpr SlgPair kLunet2Vel{8738, 17476};
constexpr int kLunet2Depth = -1099;
constexpr int kScreenHalfW = 320, kScreenHalfH = 240;
constexpr int kSceneDepth = -1090;
constexpr BlendWord kHeroineAlpha = 128;

// The snow.
constexpr LunetFlakeSize kSizes[3] = {{6, 4 * kPx, -1099}, {5, 183500, -1098}, {4, 157286, -1097}};
constexpr int32_t kFlakeSway = 32;  // x the sine (16384 = 1.0): 8 px
constexpr int32_t kFlakeTurn = 4;
constexpr int32_t kFlakeBottom = 240;
constexpr int32_t kLateFlakeY = -272;

GattaiLunetWork& L() { return GattaiLunetBlock(); }

// The routine's state (its parent's, for a part); -1 when the routine has ended.
int RoutineState(const EffectWork& w) {
  const EffectWork* p = EffectParent(w);
  return p != nullptr ? p->state : -1;
}

// ---- Effect tasks ----

// A drifting picture of the row; with `scene_only` it ends as the routine leaves the snow scene.
void Drift(SlgEffectTask* t, const DriftRow& row, bool scene_only) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (scene_only && RoutineState(*w) != 0) {
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    w->pos = row.start;
    w->depth = row.depth;
    GattaiPlay(*w, L().eff_anm, row.anm, 0);
    t->phase = 1;
  }
  w->pos = LunetDrift(row.start, row.vel, EffectFrames(t, *w));
  GattaiPlace(*w);
}

// "Gattai::Lunet::Kadrun1:<index>": until the routine leaves the snow scene.
void Kadrun1(SlgEffectTask* t) { Drift(t, kKadrun1[std::min<int>(t->index, 2)], true); }

// "Gattai::Lunet:Kadrun2": until the stop word.
void Kadrun2(SlgEffectTask* t) { Drift(t, kKadrun2, false); }

// "Gattai::Lunet:Lunet2": the heroine's picture as an entry, drifting until the stop word (the
// frame's end deletes the entry with the picture).
void Lunet2(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  BossPicture* pic = L().heroine;
  if (t->phase == 0) {
    w->pos = kLunet2Start;
    if (pic != nullptr) {
      BossShowPicture(*pic, (kLunet2Start.x >> 16) + kScreenHalfW,
                      (kLunet2Start.y >> 16) + kScreenHalfH, kLunet2Depth);
    }
    t->phase = 1;
  }
  w->pos = LunetDrift(kLunet2Start, kLunet2Vel, EffectFrames(t, *w));
  if (pic != nullptr && pic->entry != nullptr) {
    Ctx().ddraw_spr.SetBufferPos(pic->entry, (w->pos.x >> 16) + kScreenHalfW,
                                 (w->pos.y >> 16) + kScreenHalfH);
    Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  }
}

// A snowflake (index 1: one of the first thirty): falls swaying until y 240 or the routine
// leaves the snow scene.
void Snow(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (RoutineState(*w) != 0) {
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    const int32_t r1 = SlgRand(), r2 = SlgRand(), r3 = SlgRand(), r4 = SlgRand();
    const LunetFlake f = LunetFlakeFrom(r1, r2, r3, r4, t->index != 0);
    w->start = {f.x0, f.y0};  // pixels
    w->angle = static_cast<uint16_t>(f.phase0);
    w->anm = static_cast<uint8_t>(f.size);
    const LunetFlakeSize size = LunetFlakeSizeOf(f.size);
    w->vel = {0, size.speed};
    w->depth = size.depth;
    w->pos = {f.x0 * kPx, f.y0 * kPx};
    GattaiPlay(*w, L().eff_anm, size.anm, 0);
    t->phase = 1;
  }
  const LunetFlake f{w->angle, w->start.x, w->start.y, w->anm};
  const LunetFlakePos p = LunetFlakeAt(f, EffectFrames(t, *w));
  if (p.ended) {
    EffectEnd(t);
    return;
  }
  w->pos = p.pos;
  GattaiPlace(*w);
}

// ---- The routine ----

void Start(SlgEffectTask*, EffectWork&, GattaiFrame&) { L() = GattaiLunetWork{}; }

void Release(GattaiFrame&) { L() = GattaiLunetWork{}; }

bool WaitFade(EffectWork& w) {
  if (SlgIsFadeEnd() == 0) return false;
  ++w.sub;
  return true;
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiLunetWork& b = L();
  b.eff_anm = f.anms[0];
  if (w.sub == 0) b.state_ms = task->now;
  const int32_t frames = GattaiFramesSince(task, b.state_ms);
  if (w.state == 0) {
    switch (w.sub) {
      case 0:
        if (f.pictures[1].sprite != nullptr) {
          Ctx().ddraw_spr.SetSpriteAlpha(f.pictures[1].sprite, kHeroineAlpha);
        }
        for (int i = 0; i < 3; ++i) {
          GattaiPart(task, &Kadrun1, "Gattai::Lunet::Kadrun1:", i, static_cast<uint8_t>(i), {});
        }
        for (int i = 0; i < kFirstFlakes; ++i) {
          GattaiPart(task, &Snow, "Gattai::Lunet:Snow", i, 1, {});
        }
        SlgFadeIn(kSnowFadeIn);
        b.snow_count = 0;
        w.sub = 1;
        break;
      case 1:
      case 3:
        WaitFade(w);
        break;
      case 2:
        if (frames >= kSnowFadeOutAt) {
          SlgFadeOut(kSnowFadeOut);
          w.sub = 3;
        }
        break;
      default:
        w.state = 1;
        return false;
    }
    if (frames / kFlakeEvery > b.snow_count) {
      GattaiPart(task, &Snow, "Gattai::Lunet:Snow2:", b.snow_count, 0, {});
      b.snow_count = frames / kFlakeEvery;
    }
    return false;
  }
  switch (w.sub) {
    case 0:
      BossShowPicture(f.pictures[0], 0, 0, kSceneDepth);
      SlgFadeIn(kMeetingFadeIn);
      b.heroine = &f.pictures[1];
      EffectCreate(task, &Kadrun2, "Gattai::Lunet:Kadrun2");
      EffectCreate(task, &Lunet2, "Gattai::Lunet:Lunet2");
      w.sub = 1;
      break;
    case 1:
    case 3:
      WaitFade(w);
      break;
    case 2:
      if (frames >= kWhiteOutAt) {
        SlgWhiteOut(kWhiteOutFrames);
        w.sub = 3;
      }
      break;
    default:
      if (f.pictures[0].entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&f.pictures[0].entry);
      f.pictures[0].entry = nullptr;
      Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
      return true;
  }
  return false;
}

constexpr GattaiCharacter kLunet{.name = "GattaiLunet",
                                 .family = kFamily,
                                 .window = "Gattai::Luent::Window",
                                 .slots = {kAnmGattaiExtEffect, -1, -1, -1},
                                 .pictures = 2,
                                 .picture_surface = SURFACE_SCRATCH,
                                 .layer_on = true,
                                 .voice_at_setup = false,
                                 .start = &Start,
                                 .states = &States,
                                 .release = &Release};

}  // namespace

GattaiLunetWork& GattaiLunetBlock() { return Battle().Extension<GattaiLunetWork>(); }

void GattaiLunet(SlgEffectTask* task) { GattaiCharacterStep(task, kLunet); }

SlgPair LunetDrift(const SlgPair& start, const SlgPair& velocity, int32_t frames) {
  const int32_t f = std::clamp<int32_t>(frames, 0, kDriftFrames);
  return {start.x + velocity.x * f, start.y + velocity.y * f};
}

LunetFlake LunetFlakeFrom(int32_t r1, int32_t r2, int32_t r3, int32_t r4, bool first) {
  LunetFlake f{};
  f.phase0 = r1 % 512;
  f.x0 = r2 % 640 - 320;
  f.y0 = first ? (r3 % 20 - 11) * 16 : kLateFlakeY;
  f.size = static_cast<int>(r4 % 3);
  return f;
}

LunetFlakeSize LunetFlakeSizeOf(int size) { return kSizes[std::clamp(size, 0, 2)]; }

LunetFlakePos LunetFlakeAt(const LunetFlake& flake, int32_t frames) {
  const LunetFlakeSize size = LunetFlakeSizeOf(flake.size);
  LunetFlakePos p{};
  p.phase = (flake.phase0 + kFlakeTurn * frames) & 511;
  p.pos = {flake.x0 * kPx + kFlakeSway * SlgSin(p.phase), flake.y0 * kPx + size.speed * frames};
  p.ended = (p.pos.y >> 16) >= kFlakeBottom;
  return p;
}
