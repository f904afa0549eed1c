// Animations that move things over time: the sprite rectangle (kind 10), the layer scroll
// (kind 11) and the point move (kind 14).

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "engine/core/debug_trace.h"
#include "engine/anime/anime.h"
#include "engine/anime/anime_steps.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

using namespace anime_steps;

namespace {

// `count` steps of a value toward its target by the step's size, stopping at the target.
int32_t Toward(int32_t value, int32_t target, int32_t step, uint64_t count = 1) {
  const __int128 size = static_cast<__int128>(std::llabs(int64_t{step})) * count;
  if (value >= target) return static_cast<int32_t>(std::max<__int128>(value - size, target));
  return static_cast<int32_t>(std::min<__int128>(value + size, target));
}

// A scroll position after `count` moves of `step`. With a wrap every move leaves the position
// in 0..wrap-1, so the moves add up modulo the wrap; without one the sum is held in range.
int64_t MoveBy(int64_t position, int64_t step, uint64_t count, int32_t wrap) {
  const __int128 end = static_cast<__int128>(position) + static_cast<__int128>(step) * count;
  if (wrap == 0) {
    return static_cast<int64_t>(std::clamp<__int128>(end, std::numeric_limits<int64_t>::min(),
                                                     std::numeric_limits<int64_t>::max()));
  }
  const __int128 w = wrap > 0 ? wrap : -static_cast<__int128>(wrap);
  __int128 r = end % w;
  if (r < 0) r += w;
  return static_cast<int64_t>(r);
}

// Catch-up moves of a scroll beyond this many are made at once instead of one by one.
constexpr uint64_t kScrollMovesOneByOne = 1024;

// Two's-complement addition (the motion of an endless point move may run past the range).
int32_t AddWrapping(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t Clamp(int32_t value, const std::optional<int32_t>& lowest,
              const std::optional<int32_t>& highest) {
  if (lowest && value < *lowest) value = *lowest;
  if (highest && value > *highest) value = *highest;
  return value;
}

void ClampPoint(AnimePoint& p, const std::optional<AnimePoint>& lowest,
                const std::optional<AnimePoint>& highest) {
  auto x = [](const std::optional<AnimePoint>& q) {
    return q ? std::optional<int32_t>(q->x) : std::nullopt;
  };
  auto y = [](const std::optional<AnimePoint>& q) {
    return q ? std::optional<int32_t>(q->y) : std::nullopt;
  };
  p.x = Clamp(p.x, x(lowest), x(highest));
  p.y = Clamp(p.y, y(lowest), y(highest));
}

int32_t ToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

// ---- Sprite rectangle (kind 10) ----

AnimeHandle CDdrawAnime::CreateSpriteAnime(SprRec* sprite, int start_a, int target_a, int step_a,
                                         int start_b, int target_b, int step_b, int mode,
                                         uint32_t interval) {
  auto block = NewBlock<AnimeSpriteBlock>();
  block->sprite = sprite;
  block->start_a = start_a;
  block->target_a = target_a;
  block->step_a = step_a;
  block->start_b = start_b;
  block->target_b = target_b;
  block->step_b = step_b;
  block->mode = mode;
  block->interval = interval;
  return Link(kAnimeSprite, std::move(block));
}

bool CDdrawAnime::ApplySprite(AnimeSpriteBlock& block, int32_t a, int32_t b) {
  static constexpr PairSetters<CDdrawSpr, SprRec> kSetters{
      &CDdrawSpr::IsSprite,
      {&CDdrawSpr::SetSpriteRect, &CDdrawSpr::SetSpriteScale, &CDdrawSpr::SetSpriteTurn}};
  if (!ApplyPair(sprites_, kSetters, block.sprite, block.mode, a, b)) return false;
  block.a = a;
  block.b = b;
  // Every applied value asks for a compose, the last one included.
  ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return true;
}

void CDdrawAnime::StepSpriteAnime(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeSpriteBlock&>(*record->param);
  const auto apply = [&](int32_t a, int32_t b) { return ApplySprite(block, a, b); };
  StepPair(*record, block, now, apply, [&]() -> std::optional<PairValues> {
    // No time per step: the targets at once (stepping would never wait).
    if (block.interval == 0) return PairValues{block.target_a, block.target_b};
    const uint32_t t = now - block.last;
    if (t < block.interval) return std::nullopt;
    block.last = now;
    // One move per whole interval, each clamped at its target; the time left over is dropped.
    // Each move's values replace the previous ones, so only where the moves end is applied: a
    // late frame costs one apply however long it was (a move with a step of 0 never gets
    // anywhere).
    const uint64_t moves = t / block.interval;
    return PairValues{Toward(block.a, block.target_a, block.step_a, moves),
                      Toward(block.b, block.target_b, block.step_b, moves)};
  });
}

// ---- Layer scroll (kind 11) ----

AnimeHandle CDdrawAnime::CreateLayerScroll(SurfaceId layer, int dx, int dy, uint32_t interval,
                                         int32_t moves) {
  int x = 0;
  int y = 0;
  if (!ddraw_.GetLayerScroll(layer, &x, &y)) {
    DebugPrint("CDdrawAnime::CreateLayerScroll: surface %d is not a layer\n", layer);
    return nullptr;
  }
  auto block = NewBlock<AnimeScrollBlock>();
  block->layer = layer;
  block->dx = dx;
  block->dy = dy;
  block->x = x;
  block->y = y;
  block->moves = moves;
  block->interval = interval;
  block->time_left = interval;
  return Link(kAnimeLayerScroll, std::move(block));
}

int CDdrawAnime::SetScrollWrap(AnimeHandle handle, int width, int height) {
  auto* block = BlockOf<AnimeScrollBlock>(handle);
  if (block == nullptr) return 0;
  block->wrap_width = width;
  block->wrap_height = height;
  return 1;
}

int CDdrawAnime::SetScrollPrecision(AnimeHandle handle, int x_divisor, int y_divisor) {
  auto* block = BlockOf<AnimeScrollBlock>(handle);
  if (block == nullptr) return 0;
  if (x_divisor > 0) {
    block->x_divisor = x_divisor;
    block->x *= x_divisor;
  }
  if (y_divisor > 0) {
    block->y_divisor = y_divisor;
    block->y *= y_divisor;
  }
  return 1;
}

void CDdrawAnime::StepLayerScroll(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimeScrollBlock&>(*record->param);
  const auto start = [&] {
    block.moves_done = 0;
    block.last = now;
    record->step = kStepRunning;
  };
  if (!Running(*record, start)) return;

  uint32_t t = now - block.last;
  if (t <= block.time_left) return;
  block.last = now;
  // Holding the skip key makes every move count four and go four times as far.
  const int64_t m = SkipHeld() ? 4 : 1;
  // The moves due: the first when the time left runs out, then one per whole interval (with an
  // interval of 0, all of them); no more than the scroll has left. After a long stall all but the
  // last are made at once, so that a frame never works through millions of moves one by one.
  const uint64_t due = block.interval == 0
                           ? std::numeric_limits<uint64_t>::max()
                           : 1 + (uint64_t{t} - block.time_left - 1) / block.interval;
  const int64_t remaining = int64_t{block.moves} - block.moves_done;
  const uint64_t until_end = remaining <= 0 ? 1 : static_cast<uint64_t>((remaining + m - 1) / m);
  const uint64_t moves = std::min(due, until_end);
  if (moves > kScrollMovesOneByOne) {
    const uint64_t bulk = moves - 1;
    block.x = MoveBy(block.x, int64_t{block.dx} * m, bulk, block.wrap_width);
    block.y = MoveBy(block.y, int64_t{block.dy} * m, bulk, block.wrap_height);
    block.moves_done += static_cast<int64_t>(bulk) * m;
    t -= static_cast<uint32_t>(uint64_t{block.time_left} + (bulk - 1) * block.interval);
    block.time_left = block.interval;
  }
  while (t > block.time_left) {
    block.x += int64_t{block.dx} * m;
    block.y += int64_t{block.dy} * m;
    if (block.wrap_width != 0) {
      block.x = (block.x + 2 * int64_t{block.wrap_width}) % block.wrap_width;
    }
    if (block.wrap_height != 0) {
      block.y = (block.y + 2 * int64_t{block.wrap_height}) % block.wrap_height;
    }
    block.moves_done += m;
    if (block.moves_done >= block.moves) {
      record->step = kStepEnding;
      break;
    }
    t -= block.time_left;
    block.time_left = block.interval;
  }
  block.time_left = block.interval - t;
  ddraw_.SetLayerScroll(block.layer, ToInt32(block.x / block.x_divisor),
                        ToInt32(block.y / block.y_divisor));
  ddraw_.SetUpdate(block.layer, 1);
}

// ---- Point move (kind 14) ----

AnimeHandle CDdrawAnime::CreatePointMove(AnimePoint* point, AnimePoint* velocity,
                                       const AnimePoint* acceleration, int32_t frames) {
  if (point == nullptr || velocity == nullptr) {
    DebugPrint("CDdrawAnime::CreatePointMove: no point or velocity\n");
    return nullptr;
  }
  auto block = NewBlock<AnimePointMoveBlock>();
  block->point = point;
  block->velocity = velocity;
  block->acceleration = acceleration;
  block->start_point = *point;
  block->start_velocity = *velocity;
  block->frames = frames;
  return Link(kAnimePointMove, std::move(block));
}

int CDdrawAnime::SetMoveCtrl(AnimeHandle handle, const AnimePoint* lowest,
                             const AnimePoint* highest) {
  auto* block = BlockOf<AnimePointMoveBlock>(handle);
  if (block == nullptr) return 0;
  block->lowest_point = lowest != nullptr ? std::optional(*lowest) : std::nullopt;
  block->highest_point = highest != nullptr ? std::optional(*highest) : std::nullopt;
  block->cached = false;
  return 1;
}

int CDdrawAnime::SetMoveCtrl2(AnimeHandle handle, const AnimePoint* lowest,
                              const AnimePoint* highest) {
  auto* block = BlockOf<AnimePointMoveBlock>(handle);
  if (block == nullptr) return 0;
  block->lowest_velocity = lowest != nullptr ? std::optional(*lowest) : std::nullopt;
  block->highest_velocity = highest != nullptr ? std::optional(*highest) : std::nullopt;
  block->cached = false;
  return 1;
}

void CDdrawAnime::StepPointMove(AnimeRec* record, uint32_t now) {
  auto& block = static_cast<AnimePointMoveBlock&>(*record->param);
  const auto start = [&] {
    block.start = now;
    record->step = kStepRunning;
  };
  if (!Running(*record, start)) return;

  const auto f = static_cast<uint32_t>(uint64_t{now - block.start} * 60 / 1000);
  if (block.frames != 0 && int64_t{f} >= block.frames) {
    record->step = kStepEnding;  // the values written last stay
    return;
  }
  const AnimePoint acceleration =
      block.acceleration != nullptr ? *block.acceleration : AnimePoint{};
  const bool same_acceleration = acceleration.x == block.cached_acceleration.x &&
                                 acceleration.y == block.cached_acceleration.y;
  if (!block.cached || f < block.cached_frames || !same_acceleration) {
    block.cached_point = block.start_point;
    block.cached_velocity = block.start_velocity;
    block.cached_frames = 0;
    block.cached_acceleration = acceleration;
    block.cached = true;
  }
  AnimePoint& p = block.cached_point;
  AnimePoint& v = block.cached_velocity;
  for (; block.cached_frames < f; ++block.cached_frames) {
    p.x = AddWrapping(p.x, v.x);
    p.y = AddWrapping(p.y, v.y);
    if (block.acceleration != nullptr) {
      v.x = AddWrapping(v.x, acceleration.x);
      v.y = AddWrapping(v.y, acceleration.y);
      ClampPoint(v, block.lowest_velocity, block.highest_velocity);
    }
    ClampPoint(p, block.lowest_point, block.highest_point);
  }
  *block.point = p;
  *block.velocity = v;
}
