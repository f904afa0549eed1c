#include "engine/core/frame_rate.h"

#include "engine/core/debug_trace.h"

CFrameRate::CFrameRate(platform::Clock& clock) : clock_(clock), last_tick_(clock.TickCount()) {}

int CFrameRate::Update() {
  const uint32_t t = clock_.TickCount();
  // Only active time reaches the game clock; the last tick moves regardless, so time spent in
  // the background is simply skipped.
  if (active) game_clock_ += t - last_tick_;
  last_tick_ = t;

  // Unsigned differences stay right across a wrap of the tick counter.
  const uint32_t elapsed = t - second_start_;
  previous_frame_number_ = frame_number_;

  // Steps of 1/60 s, formed in unsigned 32-bit arithmetic and truncated (17 ms is step 1).
  const uint32_t n = elapsed * 60u / 1000u;
  const int32_t step = static_cast<int32_t>(n - previous_frame_number_);
  if (step > static_cast<int32_t>(largest_step_)) largest_step_ = static_cast<uint32_t>(step);

  if (elapsed >= 1000) {
    // The measuring period ends; the next one is anchored at this call.
    second_start_ = last_tick_;
    frame_number_ = 0;
    DebugPrintWindow("DB_FlameWindow", 0, 0, "Flame = %.02dFPS      ",
                     static_cast<int>(frames_this_second_));
    DebugPrintWindow("DB_FlameWindow", 0, 16, "Max = %.03dFlame      ",
                     static_cast<int>(largest_step_));
    frames_this_second_ = 0;
    largest_step_ = 0;
  } else {
    frame_number_ = n;
  }

  if (frame_number_ == previous_frame_number_) return 0;
  ++frames_this_second_;
  return 1;
}
