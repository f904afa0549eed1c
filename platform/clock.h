#pragma once
// The tick-count seam: milliseconds since some start, as an unsigned 32-bit value that wraps
// after about 49.7 days. Everything timed in the engine is derived from this one reading.

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds; wraps at 2^32.
  virtual uint32_t TickCount() = 0;
};

// The real clock: a monotonic millisecond counter of this process.
class SystemClock final : public Clock {
 public:
  SystemClock();
  uint32_t TickCount() override;

 private:
  int64_t origin_ms_;
};

}  // namespace platform
