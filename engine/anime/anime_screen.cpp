// Animations of the whole picture: the wave raster (kind 13) and the screen fade (kind 15).

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/anime/anime.h"
#include "engine/anime/anime_steps.h"
#include "engine/gfx/display/ddraw_func.h"

namespace {

// The mathematical remainder (never negative for a positive divisor).
int64_t Mod(int64_t value, int64_t divisor) { return ((value % divisor) + divisor) % divisor; }

}  // namespace

// ---- Wave raster (kind 13) ----

AnimeHandle CDdrawAnime::CreateWave(int left, int top, int right, int bottom, int phase,
                                  int band_height, int amplitude, int period, SurfaceId surface,
                                  uint32_t interval) {
  // The wave divides by its period and steps through the rectangle by bands.
  if (period <= 0 || band_height <= 0) {
    DebugPrint("CDdrawAnime::CreateWave: period %d or band height %d not above 0\n", period,
               band_height);
    return nullptr;
  }
  auto block = NewBlock<AnimeWaveBlock>();
  block->rect = {left, top, right, bottom};
  block->phase = phase;
  block->band_height = band_height;
  block->amplitude = amplitude;
  block->period = period;
  block->surface = surface;
  block->interval = interval;
  return Link(kAnimeWave, std::move(block));
}

void CDdrawAnime::StepWave(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeWaveBlock&>(*record->param);
  const auto start = [&] {
    block.last = now;
    record->step = anime_steps::kStepRunning;
  };
  if (!anime_steps::Running(*record, start)) return;
  if (now - block.last < block.interval) return;
  block.phase += 1;
  if (int64_t{block.phase} >= 4 * int64_t{block.period}) block.phase = 0;
  // The redraw leaves the surface's own compose request as it was.
  const uint32_t requested = ddraw_.IsUpdate(block.surface);
  DrawWave(block);
  ddraw_.SetUpdate(block.surface, requested != 0 ? 1 : 0);
  block.last = now;
}

// The rectangle's bands of rows go into surface 12, each shifted sideways (with wrap-around) by
// an offset that moves along a triangle wave from band to band; then surface 12 goes back over
// the rectangle. The rectangle is cut to the surface and to surface 12.
void CDdrawAnime::DrawWave(const AnimeWaveBlock& block) {
  const platform::Surface* target = ddraw_.GetSurface(block.surface);
  const platform::Surface* scratch = ddraw_.GetSurface(SURFACE_SCRATCH);
  if (target == nullptr || scratch == nullptr) return;
  Rect r = block.rect;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min({r.right, target->width(), r.left + scratch->width()});
  r.bottom = std::min({r.bottom, target->height(), r.top + scratch->height()});
  if (r.right <= r.left || r.bottom <= r.top) return;
  const int32_t width = r.right - r.left;

  if (!ddraw_.ClearSurface(SURFACE_SCRATCH, 0)) return;
  const int64_t period = block.period;
  const int64_t amplitude = block.amplitude;
  const int64_t s = amplitude / period;
  const int64_t m = Mod(block.phase + period, 4 * period);
  bool rising = m < 2 * period;
  int64_t offset = rising ? m * s - amplitude : 2 * amplitude - Mod(block.phase, 4 * period) * s;

  for (int32_t band_top = r.top; band_top < r.bottom; band_top += block.band_height) {
    const int32_t band_bottom =
        static_cast<int32_t>(std::min<int64_t>(int64_t{band_top} + block.band_height, r.bottom));
    if (rising) {
      offset += s;
      if (offset > amplitude) {
        offset = amplitude;
        rising = false;
      }
    } else {
      offset -= s;
      if (offset < -amplitude) {
        offset = -amplitude;
        rising = true;
      }
    }
    // A shift left by k (a shift right by n is a shift left by width - n).
    const auto k = static_cast<int32_t>(Mod(offset, width));
    const int32_t row = band_top - r.top;
    const int32_t rows = band_bottom - band_top;
    if (k == 0) {
      ddraw_.Blt(block.surface, {r.left, band_top, r.right, band_bottom}, SURFACE_SCRATCH,
                 {0, row, width, row + rows}, 0);
    } else {
      ddraw_.Blt(block.surface, {r.left + k, band_top, r.right, band_bottom}, SURFACE_SCRATCH,
                 {0, row, width - k, row + rows}, 0);
      ddraw_.Blt(block.surface, {r.left, band_top, r.left + k, band_bottom}, SURFACE_SCRATCH,
                 {width - k, row, width, row + rows}, 0);
    }
    if (band_bottom >= r.bottom) break;
  }
  ddraw_.Blt(SURFACE_SCRATCH, {0, 0, width, r.bottom - r.top}, block.surface, r, 0);
}

// ---- Screen fade (kind 15) ----

AnimeHandle CDdrawAnime::CreateFade(int start_level, int end_level, int frames, int type) {
  if (frames == 0) {
    ddraw_.SetFadeType(type);
    ddraw_.SetFadeLevel(end_level);
    ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
    return nullptr;
  }
  auto block = NewBlock<AnimeFadeBlock>();
  block->type = type;
  block->start_level = start_level;
  block->end_level = end_level;
  block->frames = frames;
  return Link(kAnimeFade, std::move(block));
}

void CDdrawAnime::StepFade(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeFadeBlock&>(*record->param);
  switch (record->step) {
    case 0:
      ddraw_.SetFadeLevel(block.start_level);
      ddraw_.SetFadeType(block.type);
      ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
      block.start = now;
      record->step = 1;
      return;
    case 1: {
      const int64_t f = static_cast<int64_t>(uint64_t{now - block.start} * 60 / 1000);
      if (f < block.frames) {
        const int64_t level = block.start_level +
                              (int64_t{block.end_level} - block.start_level) * f / block.frames;
        ddraw_.SetFadeLevel(static_cast<int>(level));
      } else {
        ddraw_.SetFadeLevel(block.end_level);
        record->step = 2;
      }
      ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
      return;
    }
    default: {
      // The fade tells its end here, one frame before Exec frees it.
      AnimeCallback callback = record->callback;
      record->callback = nullptr;
      record->kind = kAnimeEnded;
      if (callback != nullptr) callback(record->callback_argument);
      return;
    }
  }
}
