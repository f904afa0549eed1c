#include "platform/movie.h"

#include <cmath>

#include "platform/clock.h"

namespace platform {

uint32_t MovieRowStride(int width, int bits_per_pixel) {
  if (width <= 0 || bits_per_pixel <= 0 || bits_per_pixel % 8 != 0 || width > 65536 ||
      bits_per_pixel > 32) {
    return 0;
  }
  const uint32_t row = static_cast<uint32_t>(width) * static_cast<uint32_t>(bits_per_pixel / 8);
  return (row + 3u) & ~3u;
}

int MovieWaitMs(double seconds) {
  if (!(seconds > 0)) return 0;
  if (seconds * 1000.0 >= kMovieLongestWaitMs) return kMovieLongestWaitMs;
  return static_cast<int>(std::ceil(seconds * 1000.0));
}

void MovieClock::Run() {
  if (running_) return;
  run_tick_ = clock_.TickCount();
  running_ = true;
}

void MovieClock::Pause() {
  if (!running_) return;
  banked_ms_ += clock_.TickCount() - run_tick_;  // wrap-safe in 32 bits
  running_ = false;
}

uint64_t MovieClock::Milliseconds() const {
  if (!running_) return banked_ms_;
  return banked_ms_ + (clock_.TickCount() - run_tick_);
}

}  // namespace platform
