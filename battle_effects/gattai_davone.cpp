// DAVONE's part of the combination attack (battle_effects/gattai_davone.h).

#include "battle_effects/gattai_davone.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "battle_effects/heroine_scene.h"
#include "battle_effects/kinematic.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr int kFamily = 1;

// The backgrounds and the streak.
constexpr int kWideTileW = 512, kWideTileH = 480, kWideCols = 3;
constexpr int kTallTileW = 640, kTallTileH = 512, kTallRows = 2;
constexpr int kWrap = 512;
constexpr int kBgDepth = 510;
constexpr int kStreakW = 2, kStreakH = 128;
constexpr ColorRef kStreakColour = 0x0000FF00;  // green (0x00FF00 either way round)
constexpr int32_t kScroll = 16;               // pixels a frame
constexpr int32_t kTallScroll = 16 * kPx;
constexpr int32_t kTallAccel = kPx / 2;
constexpr int32_t kTallTopSpeed = 48 * kPx;

// The routine's timing.
constexpr int32_t kChara1At = 15;
constexpr int32_t kDavoneFrames = 150;
constexpr int32_t kKadrunFrames = 144;
constexpr int32_t kFlowersSub3 = 64;  // sub-state 2 ends after this
constexpr int32_t kFlowersEnd = 213;
constexpr int32_t kHanaWhiteOut = 60;
constexpr int kWhiteOutFrames = 64;
constexpr SpawnRule kFlowerRule{.interval = 2, .number = SpawnNumber::kBefore};

// The Chara1 parts and their rays.
struct Chara1Row {
  uint32_t anm;
  SlgPair at;
};
constexpr Chara1Row kChara1[2] = {{5, {-208 * kPx, 176 * kPx}}, {3, {192 * kPx, 176 * kPx}}};
constexpr int16_t kChara1Depth = -1098;
constexpr int kRays = 33;
constexpr int16_t kRayDepth = -1095;
constexpr Chara1Row kRayFrom[2] = {{12, {96 * kPx, 144 * kPx}}, {11, {-32 * kPx, 144 * kPx}}};
constexpr int32_t kRayLength = 48;  // x the table's 16384: 12 px a frame

// The Chara2 parts.
struct Chara2Row {
  uint32_t anm;
  SlgPair at;
  int32_t vx;  // 16.16 a frame
  int32_t jump_frame;
  SlgPair to;
  int16_t depth;
};
constexpr Chara2Row kChara2[2] = {
    {6, {384 * kPx, -446 * kPx}, -645277, 39, {0, -192 * kPx}, -1101},
    {4, {-512 * kPx, -402 * kPx}, 748982, 42, {-32 * kPx, -192 * kPx}, -1102},
};
constexpr int32_t kChara2Vy = 26;  // pixels a frame, less 1 each frame
constexpr int32_t kSlideX = -16 * kPx;
constexpr int32_t kSlideFrames = 16;
constexpr int32_t kSecondArrival = 108;

// Flowers, leaves, streaks; the flower and its balls.
constexpr int16_t kFlowerDepth = -1097;
constexpr int16_t kStreakDepth = -1095;
constexpr int32_t kRiseY = 240;
constexpr int32_t kRiseSpeed = 16;
constexpr int kStreakOffset = 320;  // from the streak's position to its entry's pixel
constexpr SlgPair kHanaAt{-8 * kPx, -26 * kPx};
constexpr int16_t kHanaDepth = -1103;
constexpr int32_t kHanaZoomStep = 6553;
constexpr int32_t kHanaZoomFull = 2 * kPx;
constexpr int32_t kHanaTurn = 16;
constexpr SpawnRule kBallRule{.interval = 1, .first = 0, .number = SpawnNumber::kRunning};
constexpr int16_t kBallDepth = -1102;

GattaiDavoneWork& D() { return GattaiDavoneBlock(); }

int32_t RandomScreenX() { return (SlgRand() % 640 - 320) * kPx; }

// The routine's state (its parent's, for a part); -1 when the routine has ended.
int RoutineState(const EffectWork& w) {
  const EffectWork* p = EffectParent(w);
  return p != nullptr ? p->state : -1;
}

// ---- Effect tasks ----

// A part flying straight from its start at its velocity, placed there, or ended once outside
// -384..384 x -half_h..half_h.
void FlyOut(SlgEffectTask* t, EffectWork& w, int32_t half_h) {
  const Kinematic flight{.start = w.start,
                         .velocity = w.vel,
                         .end = KinematicEnd::kBoxLeft,
                         .point = {-384 * kPx, -half_h * kPx},
                         .box_high = {384 * kPx, half_h * kPx}};
  const KinematicPos p = KinematicAt(flight, EffectFrames(t, w));
  if (p.ended) {
    EffectEnd(t);
    return;
  }
  w.pos = p.pos;
  GattaiPlace(w);
}

// A ray of a Chara1's fan: straight out at 12 px a frame until it leaves the box.
void Ray(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    const Chara1Row& from = kRayFrom[RoutineState(*w) == 0 ? 0 : 1];
    const int32_t dir = t->index * 8 - 256;
    w->start = w->pos = from.at;
    w->vel = {kRayLength * SlgCos(dir), kRayLength * SlgSin(dir)};
    w->depth = kRayDepth;
    GattaiPlay(*w, D().eff_anm, from.anm, 0);
    t->phase = 1;
  }
  FlyOut(t, *w, 240);
}

// "Gattai::Davone::Chara1:Davone" (index 0) and "...Chara1:Kadrun" (index 1): a figure fading in
// over 8 frames with its fan of rays, until the routine raises its state byte.
void Chara1(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (w->state != 0) {
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    const Chara1Row& row = kChara1[t->index != 0 ? 1 : 0];
    w->pos = row.at;
    w->depth = kChara1Depth;
    GattaiPlay(*w, D().eff_anm, row.anm, 0);
    // The rays run under the routine: they end by themselves, or with it.
    for (int i = 0; i < kRays; ++i) {
      if (GattaiPart(w->parent, &Ray, t->name, i, static_cast<uint8_t>(i), {}) == nullptr) break;
    }
    t->phase = 1;
  }
  const int32_t left = 8 - EffectFrames(t, *w);
  SlgSprSetAlpha(&w->obj, left >= 0 ? 0x30000 + static_cast<uint32_t>(left * 256 / 8) : 256);
}

// "Gattai::Davone::Chara2:Davone" (index 0) and "...Chara2:Kadrun" (index 1): an arc in, a jump
// to the meeting place (an arrival), then, once the routine is in state 3, a slide to x -16 and a
// second arrival 108 frames later. Its steps in its state byte.
enum : uint8_t { kArc, kMet, kSlide, kWaitSecond, kDone };

void Chara2(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const int index = t->index != 0 ? 1 : 0;
  const Chara2Row& row = kChara2[index];
  if (t->phase == 0) {
    w->start = w->pos = row.at;
    w->depth = row.depth;
    GattaiPlay(*w, D().eff_anm, row.anm, 0);
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  switch (w->state) {
    case kArc:
      if (f >= row.jump_frame) {
        w->pos = row.to;
        if (index == 0 && EffectParent(*w) != nullptr) {
          if (SlgEffectTask* k = EffectCreate(w->parent, &Chara2,
                                              "Gattai::Davone::Chara2:Kadrun", kChara2[1].at)) {
            k->index = 1;
            ++D().charas;
          }
        }
        EffectSignalParent(*w, EffectSignal::kWord);
        w->state = kMet;
      } else {
        // x += vx; vy -= 1; y += vy, each frame from the start.
        w->pos = {row.at.x + row.vx * f, row.at.y + (kChara2Vy * f - f * (f + 1) / 2) * kPx};
      }
      break;
    case kMet:
      if (RoutineState(*w) >= 3) {
        w->start = w->pos;
        EffectRestart(t, *w);
        w->state = kSlide;
      }
      break;
    case kSlide:
      w->pos.x = w->start.x + static_cast<int32_t>(int64_t{kSlideX - w->start.x} *
                                                  std::min(f, kSlideFrames) / kSlideFrames);
      if (f >= kSlideFrames) {
        EffectRestart(t, *w);
        w->state = kWaitSecond;
      }
      break;
    case kWaitSecond:
      if (f >= kSecondArrival) {
        EffectSignalParent(*w, EffectSignal::kWord);
        w->state = kDone;
      }
      break;
    default:
      break;
  }
  GattaiPlace(*w);
}

// "Gattai::Davone:HanaAndHa%d": form A (index 0) a flower or leaf animation, form B (index 1) a
// streak, rising 16 px a frame from the bottom.
void HanaAndHa(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const bool streak = t->index != 0;
  if (t->phase == 0) {
    const uint32_t anm = streak ? 0 : (SlgRand() & 16) != 0 ? 8 : 7;
    w->start = w->pos = {RandomScreenX(), kRiseY * kPx};
    w->depth = streak ? kStreakDepth : kFlowerDepth;
    if (!streak) GattaiPlay(*w, D().eff_anm, anm, 0);
    t->phase = 1;
  }
  const int32_t y = kRiseY - kRiseSpeed * EffectFrames(t, *w);
  if (streak ? y <= -496 : y < -240) {
    EffectEnd(t);
    return;
  }
  w->pos.y = y * kPx;
  if (streak) {
    if (SprRec* s = D().streak) {
      SlgSprCreate(nullptr, s, (w->pos.x >> 16) + kStreakOffset, y + kStreakOffset, SURFACE_ROOT,
                   0, w->depth, 0);
    }
  } else {
    GattaiPlace(*w);
  }
}

// "Gattai::Davone:Tama%d": from a random point of a 128 px circle, at a right angle to it.
void Ball(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    const uint32_t anm = 7 + static_cast<uint32_t>(SlgRand() & 3);
    const int32_t a = SlgRand() & 511;
    w->start = w->pos = {512 * SlgCos(a), 512 * SlgSin(a)};
    w->vel = {64 * SlgCos(a + 128), 64 * SlgSin(a + 128)};
    w->angle = static_cast<uint16_t>((a + 128) & 511);
    w->depth = kBallDepth;
    GattaiPlay(*w, D().eff_anm, anm, 0);
    SlgSprSetRot(w->obj.handle, w->angle);
    t->phase = 1;
  }
  FlyOut(t, *w, 304);
}

// "Gattai::Davone::Hana": grows to 2.0 turning, then a ball every frame until the stop word.
void Hana(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  GattaiDavoneWork& b = D();
  if (t->phase == 0) {
    w->depth = kHanaDepth;
    GattaiPlay(*w, b.eff_anm, 2, 0);
    SlgSprSetZoom(w->obj.handle, {kHanaZoomStep, kHanaZoomStep});
    b.balls = {};
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  SlgSprSetRot(w->obj.handle, kHanaTurn * f);
  if (w->state == 0) {
    w->zoom = static_cast<int32_t>(std::min<int64_t>(int64_t{f} * kHanaZoomStep, kHanaZoomFull));
    SlgSprSetZoom(w->obj.handle, {w->zoom, w->zoom});
    if (w->zoom < kHanaZoomFull) return;
    w->state = 1;
    w->mark_ms = t->now;
  }
  const int32_t n = SpawnDue(b.balls, kBallRule, GattaiFramesSince(t, w->mark_ms));
  if (n >= 0) GattaiPart(t, &Ball, "Gattai::Davone:Tama", n, 0, {});
}

// ---- The routine ----

void Start(SlgEffectTask*, EffectWork&, GattaiFrame&) {
  GattaiDavoneWork& b = D();
  b = GattaiDavoneWork{};
  const SlgUnit* unit = Gattai().unit;
  CDdrawFunc& dd = Ctx().ddraw;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (unit != nullptr) {
    if (LoadAttackBgTiled(*unit, 0, SURFACE_ROOT, kWideTileW, kWideTileH, kWideCols, 1) != 0) {
      b.bg_wide = sprites.CreateSprite(0, 0, SURFACE_ROOT, 0, 0, kWideTileW * kWideCols,
                                       kWideTileH);
    }
    if (LoadAttackBgTiled(*unit, 1, SURFACE_ROOT, kTallTileW, kTallTileH, 1, kTallRows) != 0) {
      b.bg_tall = sprites.CreateSprite(0, 0, SURFACE_ROOT, 0, 0, kTallTileW,
                                       kTallTileH * kTallRows);
    }
    if (b.bg_wide == nullptr || b.bg_tall == nullptr) {
      DebugPrint("GattaiDavone: kind %d lacks a background; it shows nothing\n", unit->kind);
    }
  }
  dd.DrawBox(SURFACE_SCRATCH, kStreakColour, 0, 0, kStreakW, kStreakH, 0);
  b.streak = CutWorkBox(kStreakW, kStreakH);
  dd.GiveBackLayerSurface(SURFACE_ROOT, 0);
  dd.ClearSurface(SURFACE_ROOT, 0);
}

void DeleteEntry(SprBufferEntry*& entry) {
  if (entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&entry);
  entry = nullptr;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// Both scrolls stopped (the first too: a routine ended early still has it), the entries and the
// sprites deleted.
void Release(GattaiFrame&) {
  GattaiDavoneWork& b = D();
  CDdrawAnime& anime = Ctx().anime;
  anime.DeleteRef(&b.move_a);
  anime.DeleteRef(&b.move_b);
  DeleteEntry(b.entry_a);
  DeleteEntry(b.entry_b);
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (SprRec** s : {&b.bg_wide, &b.bg_tall, &b.streak}) {
    if (*s != nullptr) sprites.DeleteSprite(s);
  }
  b = GattaiDavoneWork{};
}

// The wide background's scroll: the point moving `dx` pixels a frame from where it stands.
void ScrollWide(GattaiDavoneWork& b, int32_t dx) {
  CDdrawAnime& anime = Ctx().anime;
  anime.DeleteRef(&b.move_a);
  b.vel_a = {dx, 0};
  b.move_a = anime.CreatePointMove(&b.point_a, &b.vel_a, nullptr, 0);
}

// A Chara1 started and kept as the routine's child; the child told to end.
void StartChara1(SlgEffectTask* task, EffectWork& w, int index) {
  SlgEffectTask* c = EffectCreate(
      task, &Chara1,
      index == 0 ? "Gattai::Davone::Chara1:Davone" : "Gattai::Davone::Chara1:Kadrun");
  if (c != nullptr) c->index = static_cast<uint8_t>(index);
  EffectKeepChild(w, c);
}
void EndChara1(EffectWork& w) {
  if (EffectTaskIs(w.child, w.child_id)) ++EffectWorkOf(w.child)->state;
  EffectKeepChild(w, nullptr);
}

// The arrivals counted on: both Chara2 parts, or as many as could be made.
bool Arrived(const SlgEffectTask* task, const GattaiDavoneWork& b) {
  return task->signal >= static_cast<uint32_t>(std::min(b.charas, 2));
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiDavoneWork& b = D();
  b.eff_anm = f.anms[0];
  const int32_t frames = GattaiSubFrames(task, w);
  CDdrawAnime& anime = Ctx().anime;
  bool done = false;
  switch (w.state) {
    case 0:
      if (w.sub == 0) {
        b.point_a = {0, 0};
        ScrollWide(b, -kScroll);
        if (b.bg_wide != nullptr) {
          b.entry_a = SlgSprCreate(CDdrawSpr::kBuffered, b.bg_wide, 0, 0, SURFACE_ROOT, 0,
                                   kBgDepth, 0);
        }
        w.sub = 1;
      } else if (w.sub == 1) {
        if (frames >= kChara1At) {
          StartChara1(task, w, 0);
          w.sub = 2;
        }
      } else if (frames >= kDavoneFrames) {
        EndChara1(w);
        w.state = 1;
      }
      break;
    case 1:
      if (w.sub == 0) {
        StartChara1(task, w, 1);
        ScrollWide(b, kScroll);
        w.sub = 1;
      } else if (frames >= kKadrunFrames) {
        EndChara1(w);
        w.state = 2;
      }
      break;
    case 2:
      if (w.sub == 0) {
        task->signal = 0;
        b.charas = 0;
        if (SlgEffectTask* c =
                EffectCreate(task, &Chara2, "Gattai::Davone::Chara2:Davone", kChara2[0].at)) {
          c->index = 0;
          b.charas = 1;
        }
        anime.DeleteRef(&b.move_a);
        DeleteEntry(b.entry_a);
        b.point_b = {0, 0};
        b.vel_b = {0, kTallScroll};
        b.move_b = anime.CreatePointMove(&b.point_b, &b.vel_b, nullptr, 0);
        if (b.bg_tall != nullptr) {
          b.entry_b = SlgSprCreate(CDdrawSpr::kBuffered, b.bg_tall, 0, 0, SURFACE_ROOT, 0,
                                   kBgDepth, 0);
        }
        w.sub = 1;
      } else if (Arrived(task, b)) {
        w.state = 3;
      }
      break;
    case 3:
      if (w.sub == 0) {
        task->signal = 0;
        b.flowers = {};
        w.sub = 1;
      } else if (w.sub == 1) {
        if (Arrived(task, b)) {
          anime.DeleteRef(&b.move_b);
          b.vel_b = {0, kTallScroll};
          b.accel_b = {0, kTallAccel};
          b.move_b = anime.CreatePointMove(&b.point_b, &b.vel_b, &b.accel_b, 0);
          const AnimePoint low{0, 0}, high{0, kTallTopSpeed};
          anime.SetMoveCtrl2(b.move_b, &low, &high);
          b.flowers_ms = task->now;
          w.sub = 2;
        }
      } else {
        if (const int32_t n =
                SpawnDue(b.flowers, kFlowerRule, GattaiFramesSince(task, b.flowers_ms));
            n >= 0) {
          const uint8_t form = (SlgRand() & 48) != 0 ? 0 : 1;
          GattaiPart(task, &HanaAndHa, "Gattai::Davone:HanaAndHa", n, form, {});
        }
        if (w.sub == 2 && frames > kFlowersSub3) {
          w.sub = 3;
        } else if (w.sub == 3 && frames >= kFlowersEnd) {
          w.state = 4;
        }
      }
      break;
    default:
      if (w.sub == 0) {
        EffectCreate(task, &Hana, "Gattai::Davone::Hana", kHanaAt);
        w.sub = 1;
      } else if (w.sub == 1) {
        if (frames >= kHanaWhiteOut) {
          SlgWhiteOut(kWhiteOutFrames);
          w.sub = 2;
        }
      } else if (SlgIsFadeEnd() != 0) {
        done = true;
      }
      break;
  }
  // The backgrounds at their points, wrapped into one tile.
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (w.state <= 1) {
    sprites.SetBufferPos(b.entry_a, DavoneWideX(w.state, b.point_a.x), b.point_a.y);
  } else {
    sprites.SetBufferPos(b.entry_b, b.point_b.x, DavoneTallY(b.point_b.y));
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return done;
}

constexpr GattaiCharacter kDavone{.name = "GattaiDavone",
                                  .family = kFamily,
                                  .window = "Gattai::Davone::Window",
                                  .slots = {kAnmGattaiExtEffect, -1, -1, -1},
                                  .pictures = 0,
                                  .picture_surface = SURFACE_SCRATCH,
                                  .layer_on = true,
                                  .voice_at_setup = false,
                                  .start = &Start,
                                  .states = &States,
                                  .release = &Release};

}  // namespace

GattaiDavoneWork& GattaiDavoneBlock() { return Battle().Extension<GattaiDavoneWork>(); }

void GattaiDavone(SlgEffectTask* task) { GattaiCharacterStep(task, kDavone); }

int32_t DavoneWideX(int state, int32_t x) {
  return state == 0 ? x % kWrap : (x % kWrap - kWrap) % kWrap;
}

int32_t DavoneTallY(int32_t y) { return ((y >> 16) % kWrap - kWrap) % kWrap; }
