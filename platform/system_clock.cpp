#include "platform/clock.h"

#include <chrono>

namespace platform {

namespace {
int64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

SystemClock::SystemClock() : origin_ms_(MonotonicMs()) {}

uint32_t SystemClock::TickCount() {
  // Truncation to 32 bits is the wrap the game's clock expects.
  return static_cast<uint32_t>(MonotonicMs() - origin_ms_);
}

}  // namespace platform
