#pragma once
// Drives the animation list of a test engine frame by frame: the headless clock moves, the game
// clock follows (the application is active) and the list runs one Exec at the new time.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "tests/engine/gfx/display_test_support.h"
#include "testsupport/test_engine.h"

namespace anime_test {

// A record of the end callbacks that ran: each callback appends its argument.
inline std::vector<uintptr_t>& CallbackLog() {
  static std::vector<uintptr_t> log;
  return log;
}
inline void CallbackLogClear() { CallbackLog().clear(); }
inline void LogCallback(uintptr_t argument) { CallbackLog().push_back(argument); }

class AnimeDriver {
 public:
  explicit AnimeDriver(testsupport::TestEngine& engine) : engine_(engine) {}

  // Opens the input devices so that the skip key (Caps Lock, game key bit 2) can be held, and
  // lets the game clock run.
  void Start() {
    CallbackLogClear();
    auto& ctx = engine_.ctx();
    ctx.frame_rate.active = 1;
    ASSERT_EQ(ctx.input.CreateDirectInput(), 1);
    ASSERT_EQ(ctx.input.Init(), 1);
  }

  CDdrawAnime& anime() { return engine_.ctx().anime; }
  uint32_t Now() const { return static_cast<uint32_t>(engine_.ctx().frame_rate.GetTime()); }

  // Moves the clock by `ms` and runs one frame of the list.
  void Frame(uint32_t ms) {
    engine_.host.clock.Advance(ms);
    engine_.ctx().frame_rate.Update();
    engine_.ctx().anime.Exec(Now());
  }
  // Several frames of `ms` each.
  void Frames(int count, uint32_t ms) {
    for (int i = 0; i < count; ++i) Frame(ms);
  }

  void HoldSkip(bool held) {
    engine_.host.input.caps_lock = held;
    engine_.ctx().input.GetState();
  }

 private:
  testsupport::TestEngine& engine_;
};

// An engine with the display and input set up, for the list and the kinds that need no pixels
// compared in both layouts.
class AnimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(engine.ctx().ddraw.InitDirectDraw(), 1);
    driver.Start();
  }

  CDdrawAnime& anime() { return engine.ctx().anime; }
  CDdrawFunc& ddraw() { return engine.ctx().ddraw; }
  void Frame(uint32_t ms) { driver.Frame(ms); }
  void Frames(int count, uint32_t ms) { driver.Frames(count, ms); }

  testsupport::TestEngine engine;
  AnimeDriver driver{engine};
};

// The same over the display test of both pixel layouts.
class AnimePixelTest : public display_test::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    driver.Start();
  }

  CDdrawAnime& anime() { return engine.ctx().anime; }
  void Frame(uint32_t ms) { driver.Frame(ms); }
  void Frames(int count, uint32_t ms) { driver.Frames(count, ms); }

  AnimeDriver driver{engine};
};

}  // namespace anime_test
