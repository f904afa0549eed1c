// The layer cross-fade (kind 8): the compose blends surface 9, which holds the old picture, over
// the layers at the cross-fade position; this animation takes that picture away, either pixel
// by pixel in 16 phases (dissolve) or by lowering its alpha (alpha fade).

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/anime/anime.h"
#include "engine/gfx/display/ddraw_func.h"

namespace {

constexpr int32_t kDissolve = 0;
constexpr int32_t kAlpha = 1;
constexpr int32_t kPhaseCount = 16;

// Steps of the animation.
constexpr int32_t kStepStart = 0;
constexpr int32_t kStepBegin = 1;
constexpr int32_t kStepRun = 2;
constexpr int32_t kStepEnd = 3;

}  // namespace

void AnimeXfadeBlock::CleanUp(CDdrawAnime& anime, AnimeRec& /*record*/) {
  // Deleted while it runs (a scene torn down mid-fade): without this the compose would keep
  // blending surface 9, and captures and new cross-fades would be refused for good.
  if (!holds_position) return;
  holds_position = false;
  anime.ddraw().SetXfadeLayer(-1);
  anime.ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
}

void AnimeXfadeBlock::Redraw(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) { phase = 0; }

AnimeHandle CDdrawAnime::CreateXfade(SurfaceId layer, uint32_t phase_time, int left, int top,
                                   int right, int bottom, int mode) {
  const int position = ddraw_.GetLayerIndex(layer);
  if (position < 0) {
    DebugPrint("CDdrawAnime::CreateXfade: surface %d is not a layer\n", layer);
    return nullptr;
  }
  if (mode != kDissolve && mode != kAlpha) {
    DebugPrint("CDdrawAnime::CreateXfade: unknown mode %d\n", mode);
    return nullptr;
  }
  if (SkipHeld() || ddraw_.GetXfadeLayer() != -1) return nullptr;

  auto block = std::make_unique<AnimeXfadeBlock>();
  block->layer = layer;
  block->phase_time = phase_time;
  block->mode = mode;
  block->rect = {std::max(left, 0), std::max(top, 0), std::min(right, kScreenWidth),
                 std::min(bottom, kScreenHeight)};
  // Surface 9 starts fully shown over the rectangle being faded. The dissolve shows it through
  // its own (clamped) rectangle too: an alpha or rectangle left behind by an earlier alpha fade
  // would otherwise hide it.
  ddraw_.SetXfadeAlpha(256);
  if (mode == kAlpha) {
    block->total = uint64_t{phase_time} * kPhaseCount;
    const Rect rect{left, top, right, bottom};
    ddraw_.SetXfadeRect(&rect);
  } else {
    ddraw_.SetXfadeRect(&block->rect);
  }
  ddraw_.SetXfadeLayer(position);
  block->holds_position = true;
  return Link(kAnimeXfade, std::move(block));
}

void CDdrawAnime::StepXfade(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeXfadeBlock&>(*record->param);
  switch (record->step) {
    case kStepStart:
      record->step = kStepBegin;
      return;
    case kStepBegin:
      block.phase = 0;
      block.last = now;
      record->step = kStepRun;
      return;
    case kStepRun:
      break;
    default:
      block.holds_position = false;
      ddraw_.SetXfadeLayer(-1);
      record->kind = kAnimeEnded;
      return;
  }

  const uint32_t elapsed = now - block.last;
  if (block.mode == kDissolve && elapsed < block.phase_time) return;
  if (SkipHeld()) {
    // Skipping: the old picture goes at once.
    ddraw_.ClearSurface(SURFACE_XFADE, 1);
    ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
    record->step = kStepEnd;
    return;
  }
  if (block.mode == kDissolve) {
    DissolvePhases(record, block, now);
    return;
  }
  uint64_t t = elapsed;
  if (t >= block.total) {
    t = block.total;
    record->step = kStepEnd;
  }
  const uint64_t alpha = block.total == 0 ? 0 : (block.total - t) * 256 / block.total;
  ddraw_.SetXfadeAlpha(static_cast<int>(alpha));
  ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

// Every phase that is due makes one pixel of each 4 x 4 cell of the rectangle transparent: the
// pixel at column (phase mod 4) and row (phase / 4) of the cell. Time beyond the last due phase
// is dropped.
void CDdrawAnime::DissolvePhases(AnimeRec* record, AnimeXfadeBlock& block, uint32_t now) {
  platform::Surface* picture = ddraw_.GetSurface(SURFACE_XFADE);
  SurfaceDesc lock;
  if (!ddraw_.LockSurface(picture, &lock)) return;  // tried again next frame

  const uint16_t key = static_cast<uint16_t>(ddraw_.GetColorKey());
  const Rect& r = block.rect;
  const int columns = std::max(0, (r.right - r.left) / 4);
  const int rows = std::max(0, (r.bottom - r.top) / 4);
  uint32_t elapsed = now - block.last;
  while (block.phase < kPhaseCount && elapsed >= block.phase_time) {
    const int px = block.phase % 4;
    const int py = block.phase / 4;
    for (int cy = 0; cy < rows; ++cy) {
      const int y = r.top + cy * 4 + py;
      if (y >= lock.height) break;
      auto* row = reinterpret_cast<uint16_t*>(lock.bits + static_cast<size_t>(y) * lock.pitch);
      for (int cx = 0; cx < columns; ++cx) {
        const int x = r.left + cx * 4 + px;
        if (x >= lock.width) break;
        row[x] = key;
      }
    }
    elapsed -= block.phase_time;
    ++block.phase;
  }
  if (block.phase >= kPhaseCount) record->step = kStepEnd;
  picture->Unlock();
  block.last = now;
  ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
}
