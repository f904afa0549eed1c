#include "battle/slg_strip_wave.h"

#include <algorithm>
#include <climits>

#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kOne = 0x10000;

CDdrawSpr& Sprites() { return Ctx().ddraw_spr; }

// Deletes the entries and sprites and frees both arrays.
void FreeStrips(StripWaveWork& w) {
  CDdrawSpr& sprites = Sprites();
  if (w.entries != nullptr) {
    for (int32_t i = 0; i < w.strip_count; ++i) sprites.DeleteBuffer(&w.entries[i]);
  }
  if (w.sprites != nullptr) {
    for (int32_t i = 0; i < w.strip_count; ++i) sprites.DeleteSprite(&w.sprites[i]);
  }
  SlgFree(w.entries);
  SlgFree(w.sprites);
  w.entries = nullptr;
  w.sprites = nullptr;
  w.entry_count = 0;
}

void MakeEntries(SlgEffectTask* task, StripWaveWork& w) {
  // Entries for the band's strips, never more than were cut.
  const int32_t wanted = std::clamp(w.band_height / w.strip_height, 0, w.strip_count);
  for (int32_t i = 0; i < wanted; ++i) {
    Sprites().DeleteBuffer(&w.entries[i]);  // a second phase 1 replaces, never leaks
    if (w.sprites[i] == nullptr) continue;
    w.entries[i] = SlgSprCreate(task->name, w.sprites[i], 0, w.top + i * w.strip_height, w.dest,
                                w.mode, w.depth, 0);
    Sprites().SetBufferAlpha(w.entries[i], w.blend);
  }
  w.entry_count = wanted;
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void MoveStrips(SlgEffectTask* task, StripWaveWork& w) {
  const int64_t f = task->frames;
  const int64_t amp = int64_t{w.amp_start} + int64_t{w.amp_growth} * f;
  w.amplitude = Clamp32(std::min<int64_t>(amp, w.amp_limit));
  // The scroll wraps with the 32-bit word, as a 16.16 value running on for long would.
  w.scroll = static_cast<int32_t>(static_cast<uint32_t>(w.scroll_speed) * static_cast<uint32_t>(f));
  int32_t phase = static_cast<int16_t>(w.phase_step_frame * f) & 511;
  const int32_t wrap = std::max(w.wrap, 1);
  CDdrawSpr& sprites = Sprites();
  for (int32_t i = 0; i < w.entry_count; ++i) {
    const int32_t x = SlgFxMul(w.amplitude, SlgSin(phase) * 4) >> 16;
    int64_t line = (int64_t{w.scroll >> 16} + int64_t{i} * w.strip_height) % wrap;
    if (line < 0) line += wrap;  // a scroll upward wraps into the band as well
    if (w.entries[i] != nullptr) {
      sprites.SetBufferPos(w.entries[i], x, static_cast<int32_t>(line) + w.top);
      sprites.SetBufferAlpha(w.entries[i], w.blend);
    }
    phase = (phase + w.phase_step_strip) & 511;
  }
  Ctx().ddraw.SetUpdate(w.dest, 1);
}

}  // namespace

StripWaveWork* SlgLineScrollWork(SlgEffectTask* task) {
  return task != nullptr ? static_cast<StripWaveWork*>(task->owned[0]) : nullptr;
}

SlgEffectTask* SlgLineScrollStart(const char* name, SurfaceId source, int32_t x_offset,
                                  int32_t top, int32_t width, int32_t band_height,
                                  int32_t strip_height, SurfaceId dest, int32_t mode,
                                  int32_t depth) {
  if (strip_height < 1 || band_height < 0) return nullptr;
  SlgEffectTask* task = SlgTaskCreateWork(&SlgLineScrollTask, sizeof(StripWaveWork), name);
  if (task == nullptr) return nullptr;
  StripWaveWork& w = *SlgLineScrollWork(task);
  w.source = source;
  w.x_offset = x_offset;
  w.top = top;
  w.width = width + 2 * x_offset;
  w.band_height0 = band_height;
  w.strip_height = strip_height;
  w.strip_count = band_height / strip_height;
  w.amplitude = w.amp_start = w.amp_limit = 16 * kOne;
  w.amp_growth = 0;
  w.scroll = w.scroll_speed = 0;
  w.band_height = band_height;
  w.wrap = std::max(band_height, 1);
  w.phase_step_strip = w.phase_step_frame = 4;
  w.dest = dest;
  w.depth = depth;
  w.mode = mode;
  w.blend = 256;
  const size_t n = static_cast<size_t>(w.strip_count);
  if (n > 0) {
    w.sprites = static_cast<SprRec**>(SlgAlloc(n * sizeof(SprRec*)));
    w.entries = static_cast<SprBufferEntry**>(SlgAlloc(n * sizeof(SprBufferEntry*)));
    if (w.sprites == nullptr || w.entries == nullptr) {
      FreeStrips(w);
      SlgTaskEnd(task);
      return nullptr;
    }
  }
  for (int32_t i = 0; i < w.strip_count; ++i) {
    w.sprites[i] = Sprites().CreateSprite(-x_offset, 0, source, 0, i * strip_height, w.width,
                                          (i + 1) * strip_height);
  }
  return task;
}

void SlgLineScrollSetAlpha(SlgEffectTask* task, BlendWord blend) {
  if (StripWaveWork* w = SlgLineScrollWork(task)) w->blend = blend;
}

void SlgLineScrollSetStep(SlgEffectTask* task, int32_t per_strip, int32_t per_frame) {
  if (StripWaveWork* w = SlgLineScrollWork(task)) {
    w->phase_step_strip = per_strip;
    w->phase_step_frame = per_frame;
  }
}

void SlgLineScrollSetAmp(SlgEffectTask* task, int32_t start, int32_t limit, int32_t growth) {
  if (StripWaveWork* w = SlgLineScrollWork(task)) {
    w->amplitude = w->amp_start = start;
    w->amp_limit = limit;
    w->amp_growth = growth;
  }
}

void SlgLineScrollSetScroll(SlgEffectTask* task, int32_t band_height, int32_t wrap,
                            int32_t speed) {
  if (StripWaveWork* w = SlgLineScrollWork(task)) {
    w->band_height = band_height;
    w->wrap = std::max(wrap, 1);
    w->scroll_speed = speed;
    w->scroll = 0;
  }
}

void SlgLineScrollTask(SlgEffectTask* task) {
  StripWaveWork& w = *SlgLineScrollWork(task);
  switch (task->phase) {
    case 0:
      break;
    case 1:
      MakeEntries(task, w);
      task->start = task->now;
      task->phase = 2;
      break;
    case 2:
      MoveStrips(task, w);
      break;
    default:
      FreeStrips(w);
      SlgTaskEnd(task);
      return;
  }
}

// ---- Strips cut within a picture ----

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

Rect SlgStripRect(int32_t k, int32_t width, int32_t strip_height, const Rect& bounds) {
  const Rect full{0, k * strip_height, width, (k + 1) * strip_height};
  return Intersect(full, bounds);
}

SprRec* SlgCutStrip(SurfaceId source, const Rect& r, int32_t margin, int32_t drop) {
  if (Empty(r)) return nullptr;
  return Sprites().CreateSprite(r.left - margin, r.top + drop, source, r.left, r.top, r.right,
                                r.bottom);
}

Rect SlgSurfaceRect(SurfaceId source) {
  const LayerRec* layer = Ctx().ddraw.GetLayer(source);
  if (layer == nullptr) return {0, 0, 640, 480};
  return {0, 0, layer->surface_width, layer->surface_height};
}

bool SlgLoadStripPicture(const SlgUnit& unit, int picture, SurfaceId surface, Rect& bounds) {
  SlgClearLayer(surface);
  bounds = SlgSurfaceRect(surface);
  Rect rect{};
  if (LoadAttackBg(unit, picture, surface, &rect) == 0) return false;
  bounds = Intersect(rect, bounds);
  return true;
}
