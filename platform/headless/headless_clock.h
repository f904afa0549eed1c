#pragma once
// A clock that only moves when a test says so.

#include <cstdint>

#include "platform/clock.h"

namespace platform::headless {

class HeadlessClock final : public Clock {
 public:
  explicit HeadlessClock(uint32_t start = 0) : now_(start) {}

  uint32_t TickCount() override { return now_; }

  void Set(uint32_t ms) { now_ = ms; }
  // Wraps at 2^32 like the real tick count.
  void Advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_;
};

}  // namespace platform::headless
