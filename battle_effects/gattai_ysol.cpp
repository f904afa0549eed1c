// YSOL's part of the combination attack (battle_effects/gattai_ysol.h).

#include "battle_effects/gattai_ysol.h"

#include <algorithm>
#include <cstdio>

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
constexpr int kFamily = 3;

// The cards.
struct CardRow {
  uint32_t anm;
  int32_t start_x;  // pixels, the crossing's start (y 0)
  int32_t speed;    // 16.16 a frame
  int16_t depth;
  int32_t turn;     // steps a frame
  SlgPair swing_from;  // pixels
  SlgPair swing_vel;   // 16.16 a frame
  SlgPair stop;        // pixels
};
constexpr CardRow kCards[2] = {
    {1, 576, -503316, -1097, 16, {-536, -475}, {349525, 4 * kPx}, {104, 5}},
    {0, -576, 503316, -1098, -16, {530, -549}, {-349525, 4 * kPx}, {-110, -69}},
};
constexpr int kCardWidth = 256;
constexpr int kCardDistance = 1024;
constexpr int32_t kCrossFrames = 150;
constexpr int32_t kSwingFrames = 120;
constexpr SpawnRule kSparkRule{.interval = 4};
enum : uint8_t { kHold, kCross, kSwing };
constexpr uint8_t kCardEnd = 100;

// Sparks.
constexpr int16_t kSparkDepth = -1098;
constexpr int32_t kSparkFrames = 50;
constexpr int32_t kSparkZoomStep = 1310;

// The pictures, the ring and its objects.
constexpr int kPictureDepth = -1100;
constexpr SlgPair kRingAt{-10 * kPx, -82 * kPx};
constexpr int16_t kRingDepth = -1101;
constexpr int32_t kRingTurn = 16;
constexpr int32_t kRingZoomStep = 3276;
constexpr int32_t kRingFull = 0x18000;
constexpr SpawnRule kObjectRule{.interval = 4, .number = SpawnNumber::kRunning};
constexpr int16_t kObjectDepth = -1102;
constexpr int32_t kObjectSpeed = 32;  // x the cosine and sine: 8 px a frame
constexpr int32_t kObjectZoomStep = 6553;
constexpr int32_t kObjectTurn = 8;
constexpr int32_t kObjectHalfW = 448, kObjectHalfH = 368;
constexpr int32_t kMonoGenWhiteOut = 90;
constexpr int kWhiteOutFrames = 64;

GattaiYsolWork& Y() { return GattaiYsolBlock(); }

// ---- Effect tasks ----

// A spark (index 0: body A, 1: body B) at its start; body A drifts at its velocity, shrinking.
void Spark(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const bool a = t->index == 0;
  if (t->phase == 0) {
    w->depth = kSparkDepth;
    GattaiPlay(*w, Y().eff_anm, a ? 11 : 12, a ? 0 : kSlgAnmOnce);
    t->phase = 1;
    if (!a && w->obj.handle == nullptr) {
      EffectEnd(t);
      return;
    }
  }
  if (!a) {
    if (w->obj.handle == nullptr || SlgAnmObjIsEnd(&w->obj) != 0) EffectEnd(t);
    return;
  }
  const int32_t f = EffectFrames(t, *w);
  const YsolSparkA s = YsolSparkAAt(f);
  if (s.ended) {
    EffectEnd(t);
    return;
  }
  w->pos = {w->start.x + w->vel.x * f, w->start.y + w->vel.y * f};
  w->zoom = s.zoom;
  GattaiPlace(*w);
  SlgSprSetZoom(w->obj.handle, {s.zoom, s.zoom});
}

void StartSpark(SlgEffectTask* card, EffectWork& w, int index, bool swing) {
  GattaiYsolWork& b = Y();
  const bool body_b = (SlgRand() & 0x10000) != 0;
  const int32_t dy = SlgRand() % 160 - 80;
  char base[48];
  std::snprintf(base, sizeof(base), swing ? "Gattai:Ysolu:Effect2:%d:" : "Gattai:Ysolu:Effect:%d:",
                index);
  // Under the routine: a spark outlives the card's phase.
  SlgEffectTask* parent = w.parent != nullptr ? w.parent : card;
  SlgEffectTask* s = GattaiPart(parent, &Spark, base, b.sparks[index]++, body_b ? 1 : 0,
                                {w.pos.x, w.pos.y + dy * kPx});
  if (EffectWork* sw = EffectWorkOf(s)) sw->vel = {-w.vel.x / 4, -w.vel.y / 4};
}

// A card: its phase in its state byte (set by the routine, its sub-state back to 0), turning
// about its vertical axis each frame.
void Card(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  GattaiYsolWork& b = Y();
  const int index = t->index != 0 ? 1 : 0;
  const CardRow& row = kCards[index];
  if (t->phase == 0) {
    if (b.eff_anm == nullptr) return;  // the slots are made after the cards
    w->pos = w->start = {row.start_x * kPx, 0};
    w->depth = row.depth;
    GattaiPlay(*w, b.eff_anm, row.anm, 0);
    t->phase = 1;
  }
  if (w->sub == 0) {
    EffectRestart(t, *w);
    b.spark_clock[index] = {};
    w->sub = 1;
    if (w->state == kCross) {
      w->start = {row.start_x * kPx, 0};
      w->vel = {row.speed, 0};
    } else if (w->state == kSwing) {
      w->start = {row.swing_from.x * kPx, row.swing_from.y * kPx};
      w->vel = row.swing_vel;
    }
  }
  const int32_t f = EffectFrames(t, *w);
  const int32_t before = w->angle;
  if (w->state == kCross || w->state == kSwing) {
    w->angle = static_cast<uint16_t>((w->angle + row.turn) & 511);
    const bool swing = w->state == kSwing;
    const bool stopped = swing && f >= kSwingFrames;
    if (stopped) {
      w->pos = {row.stop.x * kPx, row.stop.y * kPx};
    } else {
      w->pos = {w->start.x + w->vel.x * f, w->start.y + w->vel.y * f};
    }
    if ((swing || f < kCrossFrames) && SpawnDue(b.spark_clock[index], kSparkRule, f) >= 0) {
      StartSpark(t, *w, index, swing);
    }
    if (!swing && f >= kCrossFrames) {
      EffectSignalParent(*w, EffectSignal::kWord);
      w->state = kHold;
    } else if (stopped && w->sub == 1) {
      w->sub = 2;  // stopped: report at the next full turn from here
    } else if (stopped && YsolFullTurn(row.turn > 0, before, w->angle)) {
      EffectSignalParent(*w, EffectSignal::kWord);
      w->angle = 0;
      w->state = kHold;
    }
  }
  GattaiPlace(*w);
  SlgSprSetTurnY(w->obj.handle, w->angle, kCardWidth, kCardDistance);
}

// "Gattai::Ysolu:Wakka": the ring, growing and turning; reports once full.
void Wakka(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = kRingDepth;
    GattaiPlay(*w, Y().eff_anm, 2, 0);
    SlgSprSetZoom(w->obj.handle, {0, 0});
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  SlgSprSetRot(w->obj.handle, kRingTurn * f);
  if (w->sub != 0) return;
  const YsolRing ring = YsolRingAt(f);
  w->zoom = ring.zoom;
  SlgSprSetZoom(w->obj.handle, {ring.zoom, ring.zoom});
  if (ring.full) {
    EffectSignalParent(*w, EffectSignal::kWord);
    w->sub = 1;
  }
}

// An object thrown out of the ring.
void Object(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->anm = static_cast<uint8_t>(3 + SlgRand() % 8);
    const int32_t dir = SlgRand() % 512;
    const int32_t speed = kObjectSpeed * (w->anm >= 7 ? 2 : 1);
    w->vel = {speed * SlgCos(dir), speed * SlgSin(dir)};
    w->depth = kObjectDepth;
    GattaiPlay(*w, Y().eff_anm, w->anm, 0);
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  w->pos = {w->start.x + w->vel.x * f, w->start.y + w->vel.y * f};
  if ((w->pos.x >> 16) < -kObjectHalfW || (w->pos.x >> 16) > kObjectHalfW ||
      (w->pos.y >> 16) < -kObjectHalfH || (w->pos.y >> 16) > kObjectHalfH) {
    EffectEnd(t);
    return;
  }
  w->zoom = kObjectZoomStep * f;
  w->angle = static_cast<uint16_t>((w->angle + kObjectTurn * f) & 511);
  GattaiPlace(*w);
  SlgSprSetZoom(w->obj.handle, {w->zoom, w->zoom});
  SlgSprSetRot(w->obj.handle, w->angle);
}

// "Gattai::Ysolu:MonoGen": an object every 4 frames, named after itself.
void MonoGen(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    Y().objects = {};
    t->phase = 1;
  }
  if (const int32_t n = SpawnDue(Y().objects, kObjectRule, EffectFrames(t, *w)); n >= 0) {
    char base[64];
    std::snprintf(base, sizeof(base), "%s ", t->name);
    GattaiPart(t, &Object, base, n, 0, kRingAt);
  }
}

// ---- The routine ----

void Start(SlgEffectTask* task, EffectWork&, GattaiFrame&) {
  GattaiYsolWork& b = Y();
  b = GattaiYsolWork{};
  const char* names[2] = {"Gattai::Ysolu::Card:Ysolu", "Gattai::Ysolu::Card:Kadrun"};
  for (int i = 0; i < 2; ++i) {
    b.cards[i] = EffectCreate(task, &Card, names[i]);
    if (EffectWork* cw = EffectWorkOf(b.cards[i])) {
      b.cards[i]->index = static_cast<uint8_t>(i);
      b.card_ids[i] = cw->id;
    }
  }
}

void Release(GattaiFrame&) { Y() = GattaiYsolWork{}; }

// The card's work while it lives.
EffectWork* CardWork(int i) {
  GattaiYsolWork& b = Y();
  return EffectTaskIs(b.cards[i], b.card_ids[i]) ? EffectWorkOf(b.cards[i]) : nullptr;
}

// Sets a card's phase; a card that is gone counts as having reported at once.
void SetCard(SlgEffectTask* task, int i, uint8_t phase) {
  if (EffectWork* cw = CardWork(i)) {
    cw->state = phase;
    cw->sub = 0;
  } else {
    ++task->signal;
  }
}

void ShowAlpha(const BossPicture& pic, int32_t alpha) {
  if (pic.sprite == nullptr) return;
  Ctx().ddraw_spr.SetSpriteAlpha(pic.sprite, static_cast<BlendWord>(alpha));
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiYsolWork& b = Y();
  b.eff_anm = f.anms[0];
  const int32_t frames = GattaiSubFrames(task, w);
  switch (w.state) {
    case 0:
    case 1:
      if (w.sub == 0) {
        if (w.state == 0) ShowAlpha(f.pictures[0], 0);
        task->signal = 0;
        SetCard(task, w.state, kCross);
        w.sub = 1;
      } else if (task->signal != 0) {
        ++w.state;
      }
      break;
    case 2:
      if (w.sub == 0) {
        task->signal = 0;
        SetCard(task, 0, kSwing);
        SetCard(task, 1, kSwing);
        w.sub = 1;
      } else if (task->signal >= 2) {
        w.state = 3;
      }
      break;
    case 3:
      if (w.sub == 0) {
        BossShowPicture(f.pictures[0], 0, 0, kPictureDepth);
        w.sub = 1;
      } else if (frames * 2 <= 256) {
        ShowAlpha(f.pictures[0], frames * 2);
      } else {
        for (int i = 0; i < 2; ++i) {
          if (CardWork(i) != nullptr) b.cards[i]->phase = kCardEnd;
        }
        if (f.pictures[0].entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&f.pictures[0].entry);
        f.pictures[0].entry = nullptr;
        BossShowPicture(f.pictures[1], 0, 0, kPictureDepth);
        Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
        w.state = 4;
      }
      break;
    default:
      if (w.sub == 0) {
        task->signal = 0;
        if (EffectCreate(task, &Wakka, "Gattai::Ysolu:Wakka", kRingAt) == nullptr) ++task->signal;
        w.sub = 1;
      } else if (w.sub == 1) {
        if (task->signal != 0) {
          EffectCreate(task, &MonoGen, "Gattai::Ysolu:MonoGen", kRingAt);
          w.sub = 2;
        }
      } else if (w.sub == 2) {
        if (frames >= kMonoGenWhiteOut) {
          SlgWhiteOut(kWhiteOutFrames);
          w.sub = 3;
        }
      } else if (SlgIsFadeEnd() != 0) {
        if (f.pictures[1].entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&f.pictures[1].entry);
        f.pictures[1].entry = nullptr;
        Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
        return true;
      }
      break;
  }
  return false;
}

constexpr GattaiCharacter kYsol{.name = "GattaiYsol",
                                .family = kFamily,
                                .window = "Gattai::Ysolu::Window",
                                .slots = {kAnmGattaiExtEffect, -1, -1, -1},
                                .pictures = 2,
                                .picture_surface = SURFACE_SCRATCH,
                                .layer_on = true,
                                .voice_at_setup = false,
                                .start = &Start,
                                .states = &States,
                                .release = &Release};

}  // namespace

GattaiYsolWork& GattaiYsolBlock() { return Battle().Extension<GattaiYsolWork>(); }

void GattaiYsol(SlgEffectTask* task) { GattaiCharacterStep(task, kYsol); }

bool YsolFullTurn(bool forwards, int32_t before, int32_t after) {
  return forwards ? after < before : after > before;
}

YsolSparkA YsolSparkAAt(int32_t frames) {
  return {std::max<int32_t>(0, kPx - kSparkZoomStep * frames), frames >= kSparkFrames};
}

YsolRing YsolRingAt(int32_t frames) {
  const int32_t zoom = kRingZoomStep * std::max<int32_t>(frames, 0);
  return {std::min(zoom, kRingFull), zoom >= kRingFull};
}
