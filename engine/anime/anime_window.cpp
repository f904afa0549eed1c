// The window animation (kind 9): moves, opens or turns a framed window over a duration in
// game-clock milliseconds.

#include <algorithm>
#include <cstdlib>

#include "engine/anime/anime.h"
#include "engine/anime/anime_steps.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/window/window.h"

using namespace anime_steps;

namespace {

// The value `elapsed` ms after the start: start moved toward the target by elapsed x amount /
// duration (the amount taken as a size; the direction comes from start and target), stopping at
// the target. Duration 0 is the target.
int32_t Progress(int32_t start, int32_t target, int32_t amount, uint32_t elapsed,
                 uint32_t duration) {
  if (duration == 0) return target;
  const uint64_t size = static_cast<uint64_t>(std::llabs(int64_t{amount}));
  const uint64_t moved = uint64_t{elapsed} * size / duration;  // < 2^64: both factors < 2^32
  if (start >= target) {
    const uint64_t room = static_cast<uint64_t>(int64_t{start} - target);
    return static_cast<int32_t>(int64_t{start} - static_cast<int64_t>(std::min(moved, room)));
  }
  const uint64_t room = static_cast<uint64_t>(int64_t{target} - start);
  return static_cast<int32_t>(int64_t{start} + static_cast<int64_t>(std::min(moved, room)));
}

}  // namespace

AnimeHandle CDdrawAnime::CreateWindowAnime(WindowRec* window, int start_a, int target_a,
                                         int amount_a, int start_b, int target_b, int amount_b,
                                         int mode, uint32_t duration) {
  auto block = std::make_unique<AnimeWindowBlock>();
  block->window = window;
  block->start_a = start_a;
  block->target_a = target_a;
  block->amount_a = amount_a;
  block->start_b = start_b;
  block->target_b = target_b;
  block->amount_b = amount_b;
  block->mode = mode;
  block->duration = duration;
  return Link(kAnimeWindow, std::move(block));
}

bool CDdrawAnime::ApplyWindow(const AnimeWindowBlock& block, int32_t a, int32_t b) {
  static constexpr PairSetters<CDdrawWindow, WindowRec> kSetters{
      &CDdrawWindow::IsWindow,
      {&CDdrawWindow::Move, &CDdrawWindow::SetOpen, &CDdrawWindow::SetTurn}};
  if (!ApplyPair(windows_, kSetters, block.window, block.mode, a, b)) return false;
  ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return true;
}

void CDdrawAnime::StepWindowAnime(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeWindowBlock&>(*record->param);
  const auto apply = [&](int32_t a, int32_t b) { return ApplyWindow(block, a, b); };
  StepPair(*record, block, now, apply, [&] {
    const uint32_t t = now - block.last;
    return std::optional(
        PairValues{Progress(block.start_a, block.target_a, block.amount_a, t, block.duration),
                   Progress(block.start_b, block.target_b, block.amount_b, t, block.duration)});
  });
}
