// TAMVIK's part of the combination attack (battle_effects/gattai_tamvik.h).

#include "battle_effects/gattai_tamvik.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "battle_effects/heroine_scene.h"
#include "battle_effects/homing.h"
#include "battle_effects/kinematic.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr int kFamily = 0;
constexpr int kScreenW = 640;

// The boxes cut from the work surface.
constexpr int kLineHW = 192;
constexpr int kLineHH = 2;
constexpr ColorRef kLineHColour = 0x00FFFFFF;
constexpr int kLineVW = 2;
constexpr int kLineVH = 80;
constexpr ColorRef kLineVColour = 0x00FFBFBF;  // a pale blue (0xBFBFFF as red, green, blue)

// The cut-ins.
constexpr int kCutDepth = -1536;  // the very front
constexpr int kCutBottom = 416;
constexpr int32_t kCutSpeed = 16;
constexpr int32_t kHeroArrival = 40;  // frames from x 640 to x 0
constexpr int32_t kHeroineStop = 352;
constexpr int32_t kHeroHold = 88;
constexpr int32_t kHeroineHold = 105;

// After-images and lines.
constexpr SpawnRule kAfterImageRule{.interval = 4, .number = SpawnNumber::kBefore};
constexpr SpawnRule kLineRule{.interval = 8, .number = SpawnNumber::kRunning};
constexpr SpawnRule kTateLineRule{.interval = 4, .number = SpawnNumber::kBefore};
constexpr int32_t kAfterImageX = -320;
constexpr int32_t kAfterImageY = -143;
constexpr int16_t kAfterImageDepth = -1090;
constexpr int32_t kAfterImageFrames = 23;
constexpr uint32_t kAfterImageBlend = 0x20000;
constexpr int32_t kLineSpeed = 32;
constexpr int32_t kLineStart[2] = {-512, 320};
constexpr int32_t kLineEnd = 576;
constexpr int kLineOffset = 320;  // from the line's position to its entry's pixel
constexpr int kTateDepth = -1101;
constexpr int32_t kTateSpeed = 16;
constexpr int32_t kTateStartY = 240;
constexpr int32_t kTateEndY = -496;

// The figures.
constexpr int32_t kFigureFrames = 280;  // the state's length
constexpr int32_t kFigureY = -228;
struct FigureRow {
  uint32_t anm;
  int32_t x;         // pixels
  int32_t speed;     // 16.16 a frame
  int32_t accel;     // 16.16 a frame
  int32_t stop_x;    // pixels
  int16_t depth;     // before the speed changes sign; the other after
  int16_t depth_after;
};
constexpr FigureRow kFigures[2] = {
    {1, -496, 24 * kPx, -kPx / 2, -16, -1103, -1102},
    {0, 320, -24 * kPx, kPx / 2, -160, -1102, -1103},
};

// The fire ball, its balls and petals.
constexpr SlgPair kFireBall{-6 * kPx, -106 * kPx};
constexpr int16_t kFireBallDepth = -1104;
constexpr int32_t kFireBallZoomStep = 6553;  // 0.1
constexpr uint32_t kFireBallAnm = 9;
constexpr SpawnRule kBallRule{.interval = 2};
constexpr int32_t kBallsUntil = 127;
constexpr int32_t kBallTurn = 8;
constexpr int32_t kBallSpeed = 20 * kPx;
constexpr int32_t kBallHeadingOffset = 64;
constexpr int32_t kBallTop = -426;
constexpr int32_t kBallBottom = 214;
constexpr int32_t kBallSide = 336;
constexpr SpawnRule kPetalRule{.interval = 4};
constexpr int32_t kSpiralStep = 32;
constexpr int32_t kSpiralTurn = 61;  // frames of the first spiral
constexpr uint32_t kPetalAnm = 4;
constexpr int32_t kPetalZoom = 0x4000;  // 0.25
constexpr int32_t kPetalZoomStep = 3276;
constexpr int32_t kPetalTurn = 4;
constexpr int32_t kPetalRadiusStep = 10;
constexpr SlgPair kPetalCentre{-54 * kPx, -154 * kPx};
constexpr int kWhiteOutFrames = 64;

// The routine's states.
enum : uint8_t { kHeroCut, kHeroineCut, kFigureState, kFireBallState, kWhiteOut };

GattaiTamvikWork& T() { return GattaiTamvikBlock(); }

int32_t RandomScreenX() { return (SlgRand() % kScreenW - kScreenW / 2) * kPx; }

// A one-frame entry of a box sprite at the position's pixel plus the entries' offset.
SprBufferEntry* PutLine(SprRec* sprite, const SlgPair& pos, int depth) {
  if (sprite == nullptr) return nullptr;
  return SlgSprCreate(nullptr, sprite, (pos.x >> 16) + kLineOffset, (pos.y >> 16) + kLineOffset,
                      SURFACE_ROOT, 0, depth, 0);
}

// ---- Effect tasks ----

// After-image of the hero (index 0, animation 2) or heroine (1, animation 3): its depth moving
// back a step a frame, fading in three steps of 8 frames, gone after 23.
void AfterImage(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = kAfterImageDepth;
    GattaiPlay(*w, T().eff_anm, 2 + t->index, 0);
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  if (f >= kAfterImageFrames) {
    EffectEnd(t);
    return;
  }
  SlgSprSetPri(w->obj.handle, kAfterImageDepth + f);
  SlgSprSetAlpha(&w->obj, kAfterImageBlend + static_cast<uint32_t>((3 - f / 8) * 256 / 3));
}

// A sweeping line: index 0 from the left at +32 px a frame, index 1 from the right at -32.
void YokoLine(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const bool rightward = t->index == 0;
  if (t->phase == 0) {
    w->depth = static_cast<int16_t>((SlgRand() & 0x1000) != 0 ? -1089 : -1091);
    w->start = {kLineStart[t->index != 0 ? 1 : 0] * kPx, ((SlgRand() & 0xFF) - 160) * kPx};
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  const int32_t x = (w->start.x >> 16) + (rightward ? kLineSpeed : -kLineSpeed) * f;
  if (rightward ? x > kLineEnd : x < -kLineEnd) {
    EffectEnd(t);
    return;
  }
  w->pos = {x * kPx, w->start.y};
  PutLine(T().line_h, w->pos, w->depth);
}

// A rising vertical line: lineV stretched up to 3.0 tall, or animation 8 the same.
void TateLine(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->start = {RandomScreenX(), kTateStartY * kPx};
    w->zoom = ((SlgRand() >> 8) & 0x1FFFF) + kPx;
    w->depth = kTateDepth;
    w->anm = (SlgRand() & 0x1000) != 0 ? 1 : 0;
    w->pos = w->start;
    if (w->anm != 0) {
      GattaiPlay(*w, T().eff_anm, 8, 0);
      SlgSprSetZoom(w->obj.handle, {kPx, w->zoom});
    }
    t->phase = 1;
  }
  const int32_t y = kTateStartY - kTateSpeed * EffectFrames(t, *w);
  if (y < kTateEndY) {
    EffectEnd(t);
    return;
  }
  w->pos = {w->start.x, y * kPx};
  if (w->anm != 0) {
    GattaiPlace(*w);
  } else if (SprBufferEntry* e = PutLine(T().line_v, w->pos, w->depth)) {
    Ctx().ddraw_spr.SetBufferZoom(e, kPx, w->zoom);
  }
}

// "Gattai::Tamvik::Furari0" / "1": swings in, turns back, stops and holds until the stop word.
void Figure(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const int index = t->index != 0 ? 1 : 0;
  const TamvikFigure fig = TamvikFigureAt(index, EffectFrames(t, *w));
  if (t->phase == 0) {
    w->pos = {fig.x, kFigureY * kPx};
    w->depth = fig.depth;
    GattaiPlay(*w, T().eff_anm, kFigures[index].anm, 0);
    t->phase = 1;
  }
  w->pos.x = fig.x;
  GattaiPlace(*w);
  if (fig.depth != w->depth) {
    w->depth = fig.depth;
    SlgSprSetPri(w->obj.handle, fig.depth);
  }
  if (fig.stopped && w->state == 0) {
    EffectSignalParent(*w, EffectSignal::kWord);  // the routine's finished-figure count
    w->state = 1;
  }
}

// "Gattai::Tamvik::Tama%d": from a random screen edge toward the fire ball.
void Ball(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    const uint32_t anm = (SlgRand() & 0x1000) != 0 ? 7 : 6;
    switch ((SlgRand() >> 8) & 3) {
      case 0: w->start = {RandomScreenX(), kBallTop * kPx}; break;
      case 1: w->start = {RandomScreenX(), kBallBottom * kPx}; break;
      case 2: w->start = {-kBallSide * kPx, (SlgRand() % 480 - 240) * kPx}; break;
      default: w->start = {kBallSide * kPx, (SlgRand() % 480 - 240) * kPx}; break;
    }
    w->pos = w->start;
    w->depth = kFireBallDepth;
    GattaiPlay(*w, T().eff_anm, anm, 0);
    t->phase = 1;
  }
  const TamvikBall b = TamvikBallAt(w->start, EffectFrames(t, *w));
  if (b.arrived) {
    EffectEnd(t);
    return;
  }
  w->pos = b.pos;
  GattaiPlace(*w);
}

// A petal of a spiral, from the fire ball's angle when it started.
void Petal(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = kFireBallDepth;
    GattaiPlay(*w, T().eff_anm, kPetalAnm, 0);
    t->phase = 1;
  }
  const TamvikPetal p = TamvikPetalAt(w->angle, EffectFrames(t, *w));
  if (OutsideBox(p.pos, 640, 480)) {
    EffectEnd(t);
    return;
  }
  w->pos = p.pos;
  GattaiPlace(*w);
  SlgSprSetZoom(w->obj.handle, {p.zoom, p.zoom});
  SlgSprSetRot(w->obj.handle, p.angle);
}

// "Gattai::Tamvik::Hinotama": its stages in its state byte, each on its own clock.
enum : uint8_t { kGrow, kBalls = 2, kSpiral1, kSpiral2 };

void NextStage(SlgEffectTask* t, EffectWork& w, uint8_t stage) {
  w.state = stage;
  EffectRestart(t, w);
}

void FireBall(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  GattaiTamvikWork& b = T();
  if (t->phase == 0) {
    w->depth = kFireBallDepth;
    GattaiPlay(*w, b.eff_anm, kFireBallAnm, kSlgAnmStartStopped);
    SlgSprSetZoom(w->obj.handle, {kFireBallZoomStep, kFireBallZoomStep});
    EffectRestart(t, *w);
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  switch (w->state) {
    case kGrow: {
      const int32_t zoom = std::min((f + 1) * kFireBallZoomStep, kPx);
      SlgSprSetZoom(w->obj.handle, {zoom, zoom});
      w->zoom = zoom;
      if (zoom >= kPx) {
        SlgAnmShow(w->obj.handle);
        b.balls = {};
        NextStage(t, *w, kBalls);
      }
      break;
    }
    case kBalls: {
      const int32_t n = SpawnDue(b.balls, kBallRule, f);
      if (n >= 0) GattaiPart(t, &Ball, "Gattai::Tamvik::Tama", n, 0, kFireBall);
      if (f >= kBallsUntil) {
        b.petals = {};
        NextStage(t, *w, kSpiral1);
      }
      break;
    }
    case kSpiral1:
    case kSpiral2: {
      const bool first = w->state == kSpiral1;
      w->angle = static_cast<uint16_t>(((first ? 0 : b.spiral_angle) + f * kSpiralStep) & 511);
      const int32_t n = SpawnDue(b.petals, kPetalRule, f);
      if (n >= 0) {
        SlgEffectTask* p = GattaiPart(t, &Petal,
                                      first ? "Gattai::Tamvik::TamvikFubuki"
                                            : "Gattai::Tamvik::TamvikFubuki2",
                                      n, 0, kFireBall);
        if (EffectWork* pw = EffectWorkOf(p)) pw->angle = w->angle;
      }
      if (first && f >= kSpiralTurn) {
        EffectSignalParent(*w, EffectSignal::kSubStep);
        b.spiral_angle = w->angle;
        b.petals = {};
        NextStage(t, *w, kSpiral2);
      }
      break;
    }
    default:
      break;
  }
}

// ---- The routine ----

void Start(SlgEffectTask*, EffectWork&, GattaiFrame&) {
  GattaiTamvikWork& b = T();
  b = GattaiTamvikWork{};
  CDdrawFunc& dd = Ctx().ddraw;
  dd.DrawBox(SURFACE_SCRATCH, kLineHColour, 0, 0, kLineHW, kLineHH, 0);
  b.line_h = CutWorkBox(kLineHW, kLineHH);
  dd.DrawBox(SURFACE_SCRATCH, kLineVColour, 0, 0, kLineVW, kLineVH, 0);
  b.line_v = CutWorkBox(kLineVW, kLineVH);
}

void RemoveCut(GattaiTamvikWork& b) {
  if (b.cut_entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&b.cut_entry);
  b.cut_entry = nullptr;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void Release(GattaiFrame&) {
  GattaiTamvikWork& b = T();
  RemoveCut(b);
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (b.line_h != nullptr) sprites.DeleteSprite(&b.line_h);
  if (b.line_v != nullptr) sprites.DeleteSprite(&b.line_v);
  b = GattaiTamvikWork{};
}

// States 0 and 1: a cut-in slides in, holds and goes.
void CutIn(SlgEffectTask* task, EffectWork& w, GattaiFrame& f, int32_t frames) {
  GattaiTamvikWork& b = T();
  const bool hero = w.state == kHeroCut;
  SprRec* sprite = f.pictures[hero ? 0 : 1].sprite;
  switch (w.sub) {
    case 0: {
      int width = 0, height = 0;
      if (sprite != nullptr) Ctx().ddraw_spr.GetSpriteSize(sprite, &width, &height);
      b.cut_x = b.cut_start_x = hero ? kScreenW : -width;
      b.cut_y = kCutBottom - height;
      RemoveCut(b);
      if (sprite != nullptr) {
        b.cut_entry = SlgSprCreate(CDdrawSpr::kBuffered, sprite, b.cut_x, b.cut_y, SURFACE_ROOT,
                                   0, kCutDepth, 0);
      }
      b.after_images = {};
      w.sub = 1;
      break;
    }
    case 1:
      if (hero) {
        b.cut_x = (kHeroArrival - frames) * kCutSpeed;
        if (b.cut_x < 1) {
          b.cut_x = 0;
          w.sub = 2;
        }
      } else {
        b.cut_x = b.cut_start_x + frames * kCutSpeed;
        if (b.cut_x >= kHeroineStop) {
          b.cut_x = kHeroineStop;
          w.sub = 2;
        }
      }
      Ctx().ddraw_spr.SetBufferPos(b.cut_entry, b.cut_x, b.cut_y);
      Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
      if (const int32_t n = SpawnDue(b.after_images, kAfterImageRule, frames); n >= 0) {
        GattaiPart(task, &AfterImage,
                   hero ? "Gattai::Tamvik:KadrunZanzou" : "Gattai::Tamvik:TamvikZanzou", n,
                   hero ? 0 : 1, {(b.cut_x + kAfterImageX) * kPx, kAfterImageY * kPx});
      }
      break;
    case 2:
      if (frames >= (hero ? kHeroHold : kHeroineHold)) w.sub = 3;
      break;
    default:
      RemoveCut(b);
      w.state = hero ? kHeroineCut : kFigureState;
      break;
  }
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiTamvikWork& b = T();
  b.eff_anm = f.anms[0];
  if (w.sub == 0) b.state_ms = task->now;
  const int32_t frames = GattaiSubFrames(task, w);
  const uint8_t state = w.state;
  switch (state) {
    case kHeroCut:
    case kHeroineCut:
      if (state == kHeroCut && w.sub == 0) {
        b.lines = {};
        b.lines_ms = task->now;
      }
      if (const int32_t n = SpawnDue(b.lines, kLineRule, GattaiFramesSince(task, b.lines_ms));
          n >= 0) {
        GattaiPart(task, &YokoLine,
                   state == kHeroCut ? "Gattai::Tamvik::KadrunYokoLine"
                                     : "Gattai::Tamvik::TamvikYokoLine",
                   n, state == kHeroCut ? 0 : 1, {});
      }
      CutIn(task, w, f, frames);
      break;
    case kFigureState:
      if (w.sub == 0) {
        b.tate_lines = {};
        task->signal = 0;
        for (uint8_t i = 0; i < 2; ++i) {
          // A figure that cannot be made counts as stopped: the state never waits on it.
          if (GattaiPart(task, &Figure, "Gattai::Tamvik::Furari", i, i, {}) == nullptr) {
            ++task->signal;
          }
        }
        w.sub = 1;
      } else if (w.sub == 1) {
        if (task->signal >= 2) w.sub = 2;
      } else if (GattaiFramesSince(task, b.state_ms) >= kFigureFrames) {
        w.state = kFireBallState;
      }
      if (w.state == kFigureState) {
        if (const int32_t n =
                SpawnDue(b.tate_lines, kTateLineRule, GattaiFramesSince(task, b.state_ms));
            n >= 0) {
          GattaiPart(task, &TateLine, "Gattai::Tamvik::TateLine", n, 0, {});
        }
      }
      break;
    case kFireBallState:
      if (w.sub == 0) {
        EffectAwait(w, EffectCreate(task, &FireBall, "Gattai::Tamvik::Hinotama", kFireBall));
      } else if (w.sub == 1) {
        EffectAwaitGone(w, 1);  // a fire ball ended from outside never signals
      } else {
        w.state = kWhiteOut;
      }
      break;
    default:
      if (w.sub == 0) {
        SlgWhiteOut(kWhiteOutFrames);
        w.sub = 1;
      } else if (w.sub == 1) {
        if (SlgIsFadeEnd() != 0) w.sub = 2;
      } else {
        return true;
      }
      break;
  }
  return false;
}

constexpr GattaiCharacter kTamvik{.name = "GattaiTamvik",
                                  .family = kFamily,
                                  .window = "Gattai::Tamvik::Window",
                                  .slots = {kAnmGattaiExtEffect, -1, -1, -1},
                                  .pictures = 2,
                                  .picture_surface = SURFACE_SCRATCH,
                                  .layer_on = false,
                                  .voice_at_setup = false,
                                  .start = &Start,
                                  .states = &States,
                                  .release = &Release};

}  // namespace

GattaiTamvikWork& GattaiTamvikBlock() { return Battle().Extension<GattaiTamvikWork>(); }

void GattaiTamvik(SlgEffectTask* task) { GattaiCharacterStep(task, kTamvik); }

TamvikFigure TamvikFigureAt(int index, int32_t frames) {
  const FigureRow& row = kFigures[index != 0 ? 1 : 0];
  struct Swing {
    int32_t x, speed;
    bool turned, stopped;
  };
  const auto r = KinematicReplay(Swing{row.x * kPx, row.speed, false, false}, frames,
                                 [&row](Swing& s, int32_t) {
                                   s.speed += row.accel;
                                   s.x += s.speed;
                                   if ((s.speed > 0) != (row.speed > 0) && s.speed != 0) {
                                     s.turned = true;
                                   }
                                   // Past its stop, moving back the way it came.
                                   const int32_t stop = row.stop_x * kPx;
                                   if (s.turned && (row.speed > 0 ? s.x <= stop : s.x >= stop)) {
                                     s.x = stop;
                                     s.stopped = true;
                                   }
                                   return !s.stopped;
                                 });
  return {r.state.x, r.state.turned ? row.depth_after : row.depth, r.state.stopped};
}

bool TamvikInFireBall(const SlgPair& pos) {
  return pos.x > -22 * kPx && pos.x < 10 * kPx && pos.y > -122 * kPx && pos.y < -90 * kPx;
}

TamvikBall TamvikBallAt(const SlgPair& start, int32_t frames) {
  const auto aim = [](const SlgPair& p) {
    return SlgAtan2((kFireBall.y - p.y) >> 16, (kFireBall.x - p.x) >> 16) & 511;
  };
  const TamvikBall first{start, (aim(start) + kBallHeadingOffset) & 511, false, 0};
  const auto r = KinematicReplay(first, frames, [&aim](TamvikBall& b, int32_t) {
    b.heading = TurnToward(b.heading, aim(b.pos), kBallTurn);
    const SlgPair step = SlgPolarToXY(kBallSpeed, b.heading);
    b.pos.x += step.x;
    b.pos.y += step.y;
    b.arrived = TamvikInFireBall(b.pos);
    return !b.arrived;
  });
  TamvikBall out = r.state;
  out.steps = r.steps;
  return out;
}

TamvikPetal TamvikPetalAt(int32_t angle, int32_t frames) {
  // A petal has left the screen long before its radius could overflow.
  const int32_t n = std::clamp(frames, int32_t{0}, int32_t{1000});
  const int32_t a = (angle + kPetalTurn * n) & 511;
  const SlgPair r = SlgPolarToXY(kPetalRadiusStep * n * kPx, a);
  return {{r.x + kPetalCentre.x, r.y + kPetalCentre.y}, a, kPetalZoom + kPetalZoomStep * n};
}
