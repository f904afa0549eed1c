// BRISE's part of the combination attack (battle_effects/gattai_brise.h).

#include "battle_effects/gattai_brise.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_strip_wave.h"
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
constexpr int kFamily = 5;

constexpr int kStripDepth0 = -1095;
constexpr int kStripDepth1 = -1096;
constexpr BlendWord kStrip1Alpha = 0x90000;
constexpr int kScreenW = 640, kScreenH = 480;
constexpr ColorRef kFlashColour = 0x00FFFFFF;  // white either way round
constexpr BlendWord kFlashAlpha = 0x10080;
constexpr int kFlashDepth = -1097;

constexpr int kFadeInFrames = 16;
constexpr int32_t kCutAt[2] = {64, 145};
constexpr int32_t kDropAt[2] = {95, 180};
constexpr int32_t kFlashOn[4] = {24, 54, 123, 162};
constexpr int32_t kFlashOff[4] = {30, 60, 129, 168};
constexpr int32_t kWhiteOutAt = 90;
constexpr int kWhiteOutFrames = 64;

// The cut tasks.
constexpr int16_t kCutDepth = -1098;
constexpr int32_t kCrossFrames = 35;
constexpr int32_t kDropFrames = 6;
constexpr int32_t kDropStop = -112 * kPx;
constexpr int32_t kStandFrames = 80;
struct CutRow {
  int ext;  // 0-3: ext1-ext4
  uint32_t anm;
  SlgPair at;
  SlgPair vel;  // 16.16 a frame
};
constexpr CutRow kSweep[2] = {{0, 0, {320 * kPx, -144 * kPx}, {-2598970, 0}},
                              {0, 1, {-960 * kPx, -144 * kPx}, {2396745, 0}}};
constexpr CutRow kDrop[2] = {{1, 0, {0, -160 * kPx}, {0, 8 * kPx}},
                             {1, 1, {-320 * kPx, -32 * kPx}, {0, -873813}}};
constexpr CutRow kStand[2] = {{2, 0, {0, -160 * kPx}, {}}, {2, 1, {-320 * kPx, -160 * kPx}, {}}};
constexpr CutRow kLast{3, 0, {-320 * kPx, -224 * kPx}, {}};

GattaiBriseWork& B() { return GattaiBriseBlock(); }

CDdrawSpr& Sprites() { return Ctx().ddraw_spr; }

// The routine's state (its parent's, for a part); -1 when the routine has ended.
int RoutineState(const EffectWork& w) {
  const EffectWork* p = EffectParent(w);
  return p != nullptr ? p->state : -1;
}

// ---- The strips ----

// Every strip and entry deleted, the four arrays freed.
void FreeStrips(GattaiBriseWork& b) {
  CDdrawSpr& sprites = Sprites();
  for (SprBufferEntry** entries : {b.entries0, b.entries1}) {
    if (entries == nullptr) continue;
    for (int i = 0; i < kBriseStrips; ++i) {
      if (entries[i] != nullptr) sprites.DeleteBuffer(&entries[i]);
    }
  }
  for (SprRec** strips : {b.strips0, b.strips1}) {
    if (strips == nullptr) continue;
    for (int i = 0; i < kBriseStrips; ++i) {
      if (strips[i] != nullptr) sprites.DeleteSprite(&strips[i]);
    }
  }
  SlgFree(b.entries0);
  SlgFree(b.entries1);
  SlgFree(b.strips0);
  SlgFree(b.strips1);
  b.entries0 = b.entries1 = nullptr;
  b.strips0 = b.strips1 = nullptr;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// Picture n of the unit cut into strips within its rectangle, each with its entry at (0, 0).
void CutPicture(const SlgUnit& unit, int n, SprRec** strips, SprBufferEntry** entries, int depth,
                BlendWord alpha) {
  Rect bounds{};
  if (!SlgLoadStripPicture(unit, n, SURFACE_ROOT, bounds)) {
    DebugPrint("GattaiBrise: kind %d has no background %d: its strips are missing\n", unit.kind,
               n);
    return;
  }
  for (int i = 0; i < kBriseStrips; ++i) {
    const Rect r = SlgStripRect(i, kBriseStripWidth, kBriseStripHeight, bounds);
    strips[i] = SlgCutStrip(SURFACE_ROOT, r, kBriseStripMargin, kBriseStripDrop);
    if (strips[i] == nullptr) continue;
    if (alpha != CDdrawSpr::kOpaque) Sprites().SetSpriteAlpha(strips[i], alpha);
    entries[i] = SlgSprCreate(CDdrawSpr::kBuffered, strips[i], 0, 0, SURFACE_ROOT, 0, depth, 0);
  }
}

// Both pictures' strips: surface 4 takes the strips' width for the cut (so a picture as wide as
// them is cut whole), then is given back at its own size and cleared.
void CutStrips(const SlgUnit& unit, GattaiBriseWork& b) {
  const size_t n = kBriseStrips;
  b.strips0 = static_cast<SprRec**>(SlgAlloc(n * sizeof(SprRec*)));
  b.entries0 = static_cast<SprBufferEntry**>(SlgAlloc(n * sizeof(SprBufferEntry*)));
  b.strips1 = static_cast<SprRec**>(SlgAlloc(n * sizeof(SprRec*)));
  b.entries1 = static_cast<SprBufferEntry**>(SlgAlloc(n * sizeof(SprBufferEntry*)));
  if (b.strips0 == nullptr || b.entries0 == nullptr || b.strips1 == nullptr ||
      b.entries1 == nullptr) {
    DebugPrint("GattaiBrise: no strip arrays: the background is missing\n");
    FreeStrips(b);
    return;
  }
  CDdrawFunc& ddraw = Ctx().ddraw;
  int scroll_x = 0;
  int scroll_y = 0;
  ddraw.GetLayerScroll(SURFACE_ROOT, &scroll_x, &scroll_y);
  const bool resized = ddraw.ResizeSurface(SURFACE_ROOT, 0, kBriseStripWidth, kScreenH) != 0;
  if (!resized) DebugPrint("GattaiBrise: layer 4 stays at the screen's size for the strips\n");
  CutPicture(unit, 0, b.strips0, b.entries0, kStripDepth0, CDdrawSpr::kOpaque);
  CutPicture(unit, 1, b.strips1, b.entries1, kStripDepth1, kStrip1Alpha);
  if (resized) {
    ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
    ddraw.SetLayerScroll(SURFACE_ROOT, scroll_x, scroll_y);
  }
  ddraw.ClearSurface(SURFACE_ROOT, 0);
}

void PlaceStrips(SprBufferEntry** entries, int32_t x, int32_t y) {
  if (entries == nullptr) return;
  for (int i = 0; i < kBriseStrips; ++i) {
    if (entries[i] != nullptr) Sprites().SetBufferPos(entries[i], x, y);
  }
}

// "Gattai::Brise::Line": the wave, the strips' stands, and every strip given back at the end.
void Line(SlgEffectTask* t) {
  GattaiBriseWork& b = B();
  EffectWork* w = EffectWorkOf(t);
  if (w == nullptr || EffectPartEnds(t, *w, EffectWatch::kStop)) {
    FreeStrips(b);
    EffectEnd(t);
    return;
  }
  const int state = RoutineState(*w);
  switch (w->sub) {
    case 0:
      b.phase_a = b.phase_b = 0;
      EffectRestart(t, *w);
      w->sub = 1;
      [[fallthrough]];
    case 1: {
      if (state >= 2) {
        if (b.entries1 != nullptr) {
          for (int i = 0; i < kBriseStrips; ++i) {
            if (b.entries1[i] != nullptr) Sprites().DeleteBuffer(&b.entries1[i]);
          }
        }
        PlaceStrips(b.entries0, 0, 0);
        w->sub = 2;
        break;
      }
      const int32_t f = EffectFrames(t, *w);
      b.phase_a = (f * 3) & 511;
      b.phase_b = (f * 2) & 511;
      for (int i = 0; i < kBriseStrips; ++i) {
        if (b.entries1 != nullptr && b.entries1[i] != nullptr) {
          Sprites().SetBufferPos(b.entries1[i], BriseWave1(i, b.phase_a), 0);
        }
        if (b.entries0 != nullptr && b.entries0[i] != nullptr) {
          Sprites().SetBufferPos(b.entries0[i], BriseWave0(i, b.phase_b), 0);
        }
      }
      break;
    }
    case 2:
      if (state >= 3) {
        PlaceStrips(b.entries0, 0, kBriseStripDrop);
        w->sub = 3;
      }
      break;
    default:
      break;
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// ---- The cut tasks ----

enum class CutEnd : uint8_t { kCross, kDrop, kStand, kStay };

// A picture of the row moving at its velocity; arrives (adds 1 to the routine's arrival count)
// as its end says: a sweep after 35 frames, ending; a drop stopping at y -112 after 6 frames,
// then holding until the routine leaves state 1; a stand after 80 frames, ending; the last one
// stays until the stop word.
void Cut(SlgEffectTask* t, const CutRow& row, CutEnd end) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->start = w->pos = row.at;
    w->depth = kCutDepth;
    GattaiPlay(*w, B().ext[row.ext], row.anm, 0);
    t->phase = 1;
  }
  const int32_t f = EffectFrames(t, *w);
  switch (end) {
    case CutEnd::kCross:
      w->pos = {row.at.x + row.vel.x * std::min(f, kCrossFrames), row.at.y};
      if (f >= kCrossFrames) {
        EffectSignalParent(*w, EffectSignal::kWord);
        EffectEnd(t);
        return;
      }
      break;
    case CutEnd::kDrop:
      if (w->state != 0) {
        if (RoutineState(*w) != 1) {
          EffectEnd(t);
          return;
        }
        break;
      }
      w->pos = {row.at.x, row.at.y + row.vel.y * f};
      if (f >= kDropFrames) {
        w->pos.y = kDropStop;
        EffectSignalParent(*w, EffectSignal::kWord);
        w->state = 1;
      }
      break;
    case CutEnd::kStand:
      if (f >= kStandFrames) {
        EffectSignalParent(*w, EffectSignal::kWord);
        EffectEnd(t);
        return;
      }
      break;
    case CutEnd::kStay:
      break;
  }
  GattaiPlace(*w);
}

void Sweep(SlgEffectTask* t) { Cut(t, kSweep[t->index != 0 ? 1 : 0], CutEnd::kCross); }
void Drop(SlgEffectTask* t) { Cut(t, kDrop[t->index != 0 ? 1 : 0], CutEnd::kDrop); }
void Stand(SlgEffectTask* t) { Cut(t, kStand[t->index != 0 ? 1 : 0], CutEnd::kStand); }
void Last(SlgEffectTask* t) { Cut(t, kLast, CutEnd::kStay); }

// A cut part of the routine; one that cannot be made counts as arrived.
void StartCut(SlgEffectTask* task, SlgBody body, const char* name, int index, const CutRow& row) {
  SlgEffectTask* c = EffectCreate(task, body, name, row.at);
  if (c == nullptr) {
    ++task->signal;
    return;
  }
  c->index = static_cast<uint8_t>(index);
}

// ---- The routine ----

void Start(SlgEffectTask* task, EffectWork&, GattaiFrame&) {
  GattaiBriseWork& b = B();
  b = GattaiBriseWork{};
  EffectCreate(task, &Line, "Gattai::Brise::Line");
  if (const SlgUnit* unit = Gattai().unit) CutStrips(*unit, b);
  Ctx().ddraw.DrawBox(SURFACE_SCRATCH, kFlashColour, 0, 0, kScreenW, kScreenH, 0);
  b.flash = CutWorkBox(kScreenW, kScreenH);
  if (b.flash != nullptr) Sprites().SetSpriteAlpha(b.flash, kFlashAlpha);
}

void FlashOff(GattaiBriseWork& b) {
  if (b.flash_entry != nullptr) Sprites().DeleteBuffer(&b.flash_entry);
  b.flash_entry = nullptr;
  b.flash_on = 0;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// The strips too: the wave task gives them back on the stop word, but one that could not be
// made (or has gone) must not leave them on the screen.
void Release(GattaiFrame&) {
  GattaiBriseWork& b = B();
  FlashOff(b);
  if (b.flash != nullptr) Sprites().DeleteSprite(&b.flash);
  FreeStrips(b);
  b = GattaiBriseWork{};
}

void Flashes(GattaiBriseWork& b, int32_t frames) {
  if (b.flash_count >= 4) return;
  const size_t n = static_cast<size_t>(b.flash_count);
  if (b.flash_on == 0 && frames >= kFlashOn[n] && frames < kFlashOff[n]) {
    if (b.flash != nullptr) {
      b.flash_entry =
          SlgSprCreate(CDdrawSpr::kBuffered, b.flash, 0, 0, SURFACE_ROOT, 0, kFlashDepth, 0);
    }
    b.flash_on = 1;
  } else if (frames >= kFlashOff[n]) {
    FlashOff(b);
    ++b.flash_count;
  }
}

bool States(SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  GattaiBriseWork& b = B();
  for (int i = 0; i < 4; ++i) b.ext[i] = f.anms[static_cast<size_t>(i)];
  const int32_t frames = GattaiSubFrames(task, w);
  switch (w.state) {
    case 0:
      if (w.sub == 0) {
        task->signal = 0;
        SlgFadeIn(kFadeInFrames);
        w.sub = 1;
      } else if (w.sub == 1) {
        if (SlgIsFadeEnd() != 0) {
          b.cut_count = 0;
          w.sub = 2;
        }
      } else {
        if (b.cut_count == 0 && frames >= kCutAt[0]) {
          StartCut(task, &Sweep, "Gattai::Brise:Kadrun:Brise", 0, kSweep[0]);
          b.cut_count = 1;
        } else if (b.cut_count == 1 && frames >= kCutAt[1]) {
          StartCut(task, &Sweep, "Gattai::Brise:Kadrun:Kadrun", 1, kSweep[1]);
          b.cut_count = 2;
        }
        if (task->signal >= 2) w.state = 1;
      }
      break;
    case 1:
      if (w.sub == 0) {
        task->signal = 0;
        b.cut_count = 0;
        b.flash_count = 0;
        b.flash_on = 0;
        w.sub = 1;
        break;
      }
      if (b.cut_count == 0 && frames >= kDropAt[0]) {
        StartCut(task, &Drop, "Gattai::Brise:Kadrun2:Brise", 0, kDrop[0]);
        b.cut_count = 1;
      } else if (b.cut_count == 1 && frames >= kDropAt[1]) {
        StartCut(task, &Drop, "Gattai::Brise:Kadrun2:Kadrun", 1, kDrop[1]);
        b.cut_count = 2;
      }
      Flashes(b, frames);
      if (task->signal >= 2) {
        FlashOff(b);
        w.state = 2;
      }
      break;
    case 2:
      if (w.sub == 0) {
        task->signal = 0;
        for (int i = 0; i < 2; ++i) {
          if (GattaiPart(task, &Stand, "Gattai::Brise:Kadrun3:", i, static_cast<uint8_t>(i),
                         kStand[i].at) == nullptr) {
            ++task->signal;
          }
        }
        w.sub = 1;
      } else if (task->signal >= 2) {
        w.state = 3;
      }
      break;
    default:
      if (w.sub == 0) {
        Gattai().window_close = 1;
        StartCut(task, &Last, "Gattai::Brise:Kadrun4", 0, kLast);
        w.sub = 1;
      } else if (w.sub == 1) {
        if (frames >= kWhiteOutAt) {
          SlgWhiteOut(kWhiteOutFrames);
          w.sub = 2;
        }
      } else if (SlgIsFadeEnd() != 0) {
        return true;
      }
      break;
  }
  return false;
}

constexpr GattaiCharacter kBrise{
    .name = "GattaiBrise",
    .family = kFamily,
    .window = "Gattai::Brise::Window",
    .slots = {kAnmGattaiExtEffect, kAnmGattaiExtEffect2, kAnmGattaiExtEffect3,
              kAnmGattaiExtEffect4},
    .pictures = 0,
    .picture_surface = SURFACE_SCRATCH,
    .layer_on = true,
    .voice_at_setup = true,
    .start = &Start,
    .states = &States,
    .release = &Release};

}  // namespace

GattaiBriseWork& GattaiBriseBlock() { return Battle().Extension<GattaiBriseWork>(); }

void GattaiBrise(SlgEffectTask* task) { GattaiCharacterStep(task, kBrise); }

int32_t BriseWave1(int i, int32_t phase_a) { return SlgSin(16 * i + phase_a) >> 10; }

int32_t BriseWave0(int i, int32_t phase_b) { return (SlgSin(12 * i + phase_b) * 8) >> 14; }
