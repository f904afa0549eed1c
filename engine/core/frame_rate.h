#pragma once
// The application object: the millisecond game clock, the 60-per-second frame gate and the
// application state (active flag, cursor flag, loop mode, quit request, main window, menu).
// The accessors the rest of the program uses are in engine/app/app_state.h.

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace platform {
class Window;
}
struct AppMenu;

class CFrameRate {
 public:
  // Takes the first tick reading now: the clock counts from the moment the object is built.
  explicit CFrameRate(platform::Clock& clock);

  // One gate call: advances the game clock (while active) and returns 1 when a new 1/60 s step
  // has begun since the last call, else 0. Missed steps are dropped, never caught up.
  int Update();
  // The game clock in milliseconds, as of the last gate call.
  int32_t GetTime() const { return static_cast<int32_t>(game_clock_); }

  // Application state read and written by the frame loop and the window procedure.
  uint32_t active = 0;        // 1 while the application is the active one
  uint32_t cursor_shown = 1;  // 1 while this program has the system cursor shown
  // 1 normal (poll), 0 while a movie plays (block). The movie player switches it on the main
  // thread; it stays atomic so that a decoder thread could read it safely.
  std::atomic<uint32_t> loop_mode = 1;
  uint32_t quit_request = 0;  // 1 once somebody asked the program to end
  int exit_status = 0;        // what the program ends with (AppExitStatus); the first failure's
  platform::Window* main_window = nullptr;  // the program window, once created
  const AppMenu* menu = nullptr;            // the loaded menu, once the window exists

  // Gate state, exposed for the frame-rate trace and for tests.
  uint32_t frame_number() const { return frame_number_; }
  uint32_t frames_this_second() const { return frames_this_second_; }
  uint32_t largest_step() const { return largest_step_; }

 private:
  platform::Clock& clock_;
  uint32_t last_tick_;
  uint32_t game_clock_ = 0;
  uint32_t second_start_ = 0;
  uint32_t frame_number_ = 0;
  uint32_t previous_frame_number_ = 0;
  uint32_t frames_this_second_ = 0;
  uint32_t largest_step_ = 0;
};
