// TEZAV's part of the combination attack (battle_effects/gattai_tezav.h).

#include "battle_effects/gattai_tezav.h"

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
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr int kFamily = 4;

constexpr int kHalfW = 320, kHalfH = 240;
constexpr int32_t kSlideFrom = 320;
constexpr int32_t kSlideY = -40;
constexpr int32_t kSlideFrames = 30;
constexpr int32_t kSlideHold = 132;
constexpr int kSlideDepth = -1099;
constexpr int kCharaDepth = -1097;
constexpr int32_t kChara0Frames = 72;
constexpr int32_t kChara1Frames = 84;
constexpr int32_t kHaikei2Frames = 60;
constexpr int32_t kWhiteOutAfter = 150;
constexpr int kWhiteOutFrames = 64;

// Companions.
constexpr int16_t kCompanionDepth = -1098;
constexpr uint32_t kHaikeiAnm[3] = {1, 0, 2};  // slot 14
constexpr uint32_t kCharaAnm[3] = {1, 2, 0};   // slot 13
constexpr SlgPair kHaikeiAt{16 * kPx, -40 * kPx};
constexpr SlgPair kCharaAt{16 * kPx, -48 * kPx};

// Paper pieces: the colours as the game names them (0xRRGGBB), turned to COLORREF at the draw.
constexpr uint32_t kPaperRgb[7] = {0xFF0000, 0xFF00, 0xFF, 0xFFFF00, 0xFF00FF, 0xFFFF, 0xFFFFFF};
constexpr int kPaperSide = 8;
constexpr int16_t kPaperDepth = -1098;
constexpr int32_t kPaperBottom = 272;
constexpr int32_t kSway = 32;  // x the sine (16384 = 1.0): 8 px
constexpr int32_t kSwayTurn = 8;
// Enough burst frames for the fastest launch (48 px a frame, 1 px less each frame).
constexpr int32_t kBurstLimit = 64;

GattaiTezavWork& T() { return GattaiTezavBlock(); }

// ---- The picture entry ----

void RemoveEntry() {
  GattaiTezavWork& b = T();
  if (b.entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&b.entry);
  b.entry = nullptr;
  b.shown = -1;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// The entry made again showing picture n at pixel (x, y) of surface 4 (about its centre); no
// entry for a picture that did not load.
void Show(int n, int x, int y, int depth) {
  RemoveEntry();
  GattaiTezavWork& b = T();
  SprRec* sprite = b.pics[static_cast<size_t>(n)].sprite;
  if (sprite == nullptr) return;
  b.entry = SlgSprCreate(CDdrawSpr::kBuffered, sprite, x, y, SURFACE_ROOT, 0, depth, 0);
  b.shown = n;
}

void ShowCentred(int n) { Show(n, kHalfW, kHalfH, kCharaDepth); }

void PlaceAtSlide() {
  GattaiTezavWork& b = T();
  if (b.entry == nullptr) return;
  Ctx().ddraw_spr.SetBufferPos(b.entry, (b.slide.x >> 16) + kHalfW, (b.slide.y >> 16) + kHalfH);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// ---- Companions ----

// A picture holding still at depth -1098 until the routine ends it or the stop word.
void Companion(SlgEffectTask* t, SprAnm* set, const uint32_t (&anms)[3], uint8_t flag) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = kCompanionDepth;
    w->obj.byte = flag;
    GattaiPlay(*w, set, anms[std::min<int>(t->index, 2)], 0);
    t->phase = 1;
  }
}

void Haikei(SlgEffectTask* t) { Companion(t, T().ext2, kHaikeiAnm, 0); }
void Chara(SlgEffectTask* t) { Companion(t, T().ext1, kCharaAnm, 1); }

void StartCompanion(SlgEffectTask* task, EffectWork& w, SlgBody body, const char* name,
                    int index) {
  SlgEffectTask* c = EffectCreate(task, body, name, body == &Haikei ? kHaikeiAt : kCharaAt);
  if (c != nullptr) c->index = static_cast<uint8_t>(index);
  EffectKeepChild(w, c);
}

// The companion told to end (on its next frame).
void EndCompanion(EffectWork& w) {
  if (EffectTaskIs(w.child, w.child_id)) w.child->phase = 2;
  EffectKeepChild(w, nullptr);
}

// ---- Paper pieces ----

// A piece's own record (owned slot 1): its sprite and entry, and its motion.
struct PaperRecord {
  SprRec* sprite;
  SprBufferEntry* entry;
  TezavPaper paper;
  uint8_t started;  // its clock restarted a frame after the start
  uint8_t falling;  // its fall's draws made
};

void EndPaper(SlgEffectTask* t) {
  if (auto* p = static_cast<PaperRecord*>(t->owned[1])) {
    CDdrawSpr& sprites = Ctx().ddraw_spr;
    if (p->entry != nullptr) sprites.DeleteBuffer(&p->entry);
    if (p->sprite != nullptr) sprites.DeleteSprite(&p->sprite);
    Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  }
  EffectEnd(t);
}

void Paper(SlgEffectTask* t) {
  EffectWork* w = EffectWorkOf(t);
  if (w == nullptr || EffectPartEnds(t, *w, EffectWatch::kStop)) {
    EndPaper(t);
    return;
  }
  auto* p = static_cast<PaperRecord*>(t->owned[1]);
  if (t->phase == 0) {
    p = static_cast<PaperRecord*>(SlgAlloc(sizeof(PaperRecord)));
    if (p == nullptr) {
      EndPaper(t);
      return;
    }
    t->owned[1] = p;
    const int colour = SlgRand() % 7;
    w->colour = static_cast<uint16_t>(colour);
    Ctx().ddraw.DrawBox(SURFACE_SCRATCH, TezavPaperColour(colour), 0, 0, kPaperSide, kPaperSide,
                        0);
    p->sprite = CutWorkBox(kPaperSide, kPaperSide);
    const bool left = t->index < kTezavPapers / 2;
    p->paper.from = {(left ? -kHalfW : kHalfW) * kPx, kHalfH * kPx};
    p->paper.dir = (SlgRand() & 63) - (left ? 96 : 224);
    p->paper.speed = 0x200000 + (SlgRand() & 0xFFFFF);
    w->angle = static_cast<uint16_t>(p->paper.dir & 511);
    w->pos = p->paper.from;
    if (p->sprite != nullptr) {
      p->entry = SlgSprCreate(CDdrawSpr::kBuffered, p->sprite, (w->pos.x >> 16) + kHalfW,
                              (w->pos.y >> 16) + kHalfH, SURFACE_ROOT, 0, kPaperDepth, 0);
    }
    t->phase = 1;
    return;
  }
  if (p->started == 0) {
    EffectRestart(t, *w);
    p->started = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  TezavPaperPos at = TezavPaperAt(p->paper, f);
  if (at.falling && p->falling == 0) {
    // The fall's draws as it begins.
    p->paper.fall = 0x20000 + (SlgRand() & 0x3FFFF);
    p->paper.phase0 = SlgRand() & 511;
    p->falling = 1;
    at = TezavPaperAt(p->paper, f);
  }
  if (at.ended) {
    EndPaper(t);
    return;
  }
  w->pos = at.pos;
  if (p->entry != nullptr) {
    Ctx().ddraw_spr.SetBufferPos(p->entry, (w->pos.x >> 16) + kHalfW, (w->pos.y >> 16) + kHalfH);
    Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  }
}

// ---- The routine ----

void Start(SlgEffectTask*, EffectWork&, GattaiFrame&) {
  GattaiTezavWork& b = T();
  b = GattaiTezavWork{};
  const SlgUnit* unit = Gattai().unit;
  if (unit == nullptr) return;
  for (int i = 0; i < kTezavPictures; ++i) {
    BossCutPicture(*unit, i, SURFACE_SCRATCH, true, b.pics[static_cast<size_t>(i)]);
  }
}

void Release(GattaiFrame&) {
  RemoveEntry();
  for (BossPicture& pic : T().pics) BossDeletePicture(pic);
  T() = GattaiTezavWork{};
}

// States 0 and 1: picture n sliding in from `from` with its companion, both gone at frame 132.
void Slide(SlgEffectTask* task, EffectWork& w, int n, int32_t from, const char* name,
           int32_t frames) {
  GattaiTezavWork& b = T();
  if (w.sub == 0) {
    StartCompanion(task, w, &Haikei, name, n);
    b.slide = {from * kPx, kSlideY * kPx};
    Show(n, from + kHalfW, kSlideY + kHalfH, kSlideDepth);
    w.sub = 1;
    return;
  }
  b.slide.x = TezavSlideX(from, frames);
  PlaceAtSlide();
  if (frames >= kSlideHold) {
    EndCompanion(w);
    RemoveEntry();
    ++w.state;
  }
}

// States 2-4: a picture held with its companion for a time.
void Hold(SlgEffectTask* task, EffectWork& w, int n, SlgBody body, const char* name, int index,
          int32_t length, int32_t frames) {
  if (w.sub == 0) {
    StartCompanion(task, w, body, name, index);
    if (body == &Chara) {
      ShowCentred(n);
    } else {
      const SlgPair& s = T().slide;
      Show(n, (s.x >> 16) + kHalfW, (s.y >> 16) + kHalfH, kSlideDepth);
    }
    w.sub = 1;
  } else if (frames >= length) {
    EndCompanion(w);
    RemoveEntry();
    ++w.state;
  }
}

// State 5: the flicker, the paper and the white-out.
bool Finale(SlgEffectTask* task, EffectWork& w, int32_t frames) {
  GattaiTezavWork& b = T();
  switch (w.sub) {
    case 0:
      StartCompanion(task, w, &Chara, "Gattai::Tezav::Chara:2", 2);
      b.flicker_pic = 3;
      ShowCentred(3);
      b.timer = kTezavFlicker[0];
      b.k = 0;
      b.flicker_ms = task->now;
      b.flicker_base = 0;
      w.sub = 1;
      return false;
    case 1: {
      // The frames since the last change: its clock restarts there, counted in whole frames
      // from the flicker's start so that no part of a frame is lost at a restart.
      const int32_t total = GattaiFramesSince(task, b.flicker_ms);
      const int32_t f = total - b.flicker_base;
      if (f < b.timer) return false;
      ++b.k;
      const int8_t next = kTezavFlicker[static_cast<size_t>(std::min(b.k, kTezavFlickerSteps - 1))];
      b.timer = next + (b.timer - f);
      b.flicker_base = total;
      if (next >= 0) {
        b.flicker_pic = 7 - b.flicker_pic;
        ShowCentred(b.flicker_pic);
        return false;
      }
      ShowCentred(5);
      for (int i = 0; i < kTezavPapers; ++i) {
        if (GattaiPart(task, &Paper, "Gattai::Tezav:Kami:", i, static_cast<uint8_t>(i), {}) ==
            nullptr) {
          break;
        }
      }
      w.sub = 2;
      return false;
    }
    case 2:
      if (frames >= kWhiteOutAfter) {
        SlgWhiteOut(kWhiteOutFrames);
        w.sub = 3;
      }
      return false;
    default:
      if (SlgIsFadeEnd() == 0) return false;
      RemoveEntry();
      return true;
  }
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiTezavWork& b = T();
  b.ext1 = f.anms[0];
  b.ext2 = f.anms[1];
  const int32_t frames = GattaiSubFrames(task, w);
  switch (w.state) {
    case 0:
      Slide(task, w, 0, -kSlideFrom, "Gattai::Tezav:Haikei", frames);
      return false;
    case 1:
      Slide(task, w, 1, kSlideFrom, "Gattai::Tezav:Haikei:1", frames);
      return false;
    case 2:
      Hold(task, w, 3, &Chara, "Gattai::Tezav::Chara:0", 0, kChara0Frames, frames);
      return false;
    case 3:
      Hold(task, w, 4, &Chara, "Gattai::Tezav::Chara:1", 1, kChara1Frames, frames);
      return false;
    case 4:
      Hold(task, w, 2, &Haikei, "Gattai::Tezav::Haikei:2", 2, kHaikei2Frames, frames);
      return false;
    default:
      return Finale(task, w, frames);
  }
}

constexpr GattaiCharacter kTezav{.name = "GattaiTezav",
                                 .family = kFamily,
                                 .window = nullptr,
                                 .slots = {kAnmGattaiExtEffect, kAnmGattaiExtEffect2, -1, -1},
                                 .pictures = 0,
                                 .picture_surface = SURFACE_SCRATCH,
                                 .layer_on = true,
                                 .voice_at_setup = false,
                                 .start = &Start,
                                 .states = &States,
                                 .release = &Release};

}  // namespace

GattaiTezavWork& GattaiTezavBlock() { return Battle().Extension<GattaiTezavWork>(); }

void GattaiTezav(SlgEffectTask* task) { GattaiCharacterStep(task, kTezav); }

int32_t TezavSlideX(int32_t from_px, int32_t frames) {
  const int32_t f = std::clamp<int32_t>(frames, 0, kSlideFrames);
  return static_cast<int32_t>(int64_t{from_px} * kPx * (kSlideFrames - f) / kSlideFrames);
}

uint32_t TezavPaperColour(int n) {
  const uint32_t rgb = kPaperRgb[std::clamp(n, 0, 6)];
  // 0xRRGGBB to 0x00BBGGRR: red and blue change places.
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

TezavPaperPos TezavPaperAt(const TezavPaper& paper, int32_t frames) {
  const int32_t dx = SlgCos(paper.dir) * 4;
  const int32_t dy = SlgSin(paper.dir) * 4;
  SlgPair pos = paper.from;
  int32_t speed = paper.speed;
  int32_t burst = 0;  // frames of the burst: the speed reaches 0 on the next
  const int32_t f = std::max(frames, 0);
  for (; burst < kBurstLimit; ++burst) {
    const int32_t next = speed - kPx;
    if (next <= 0 || burst >= f) break;
    speed = next;
    pos.x += SlgFxMul(speed, dx);
    pos.y += SlgFxMul(speed, dy);
  }
  TezavPaperPos out{pos, false, false};
  if (burst >= f && speed - kPx > 0) return out;
  // The fall from where the burst stopped, one frame later.
  const int32_t g = f - burst - 1;
  if (g < 0) return out;
  out.falling = true;
  const int32_t phase = (paper.phase0 + kSwayTurn * g) & 511;
  const int64_t y = int64_t{pos.y} + int64_t{paper.fall} * g;
  out.pos = {pos.x + kSway * SlgSin(phase), static_cast<int32_t>(std::min<int64_t>(y, INT32_MAX))};
  out.ended = (out.pos.y >> 16) > kPaperBottom;
  return out;
}
