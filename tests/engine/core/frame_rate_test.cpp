#include "engine/core/frame_rate.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless_clock.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::headless::HeadlessClock;

struct GateStep {
  uint32_t tick;  // tick count at the gate call
  int due;        // expected result
};

// Runs a sequence of gate calls starting from a clock at `start` and returns the results.
std::vector<int> RunGate(uint32_t start, const std::vector<uint32_t>& ticks) {
  HeadlessClock clock(start);
  CFrameRate rate(clock);
  rate.active = 1;
  std::vector<int> results;
  for (uint32_t t : ticks) {
    clock.Set(t);
    results.push_back(rate.Update());
  }
  return results;
}

TEST(FrameGate, OpensOncePerSixtiethAndDropsMissedSteps) {
  // The first call ends the initial period at once and returns 0; afterwards the gate opens at
  // 17, 34, 50, ... ms after the anchor. A 50 ms jump lets exactly one frame through.
  const uint32_t a = 5000;  // anchor: the first gate call
  const std::vector<GateStep> steps = {
      {a, 0},        {a + 16, 0},  {a + 17, 1},  {a + 33, 0},  {a + 34, 1},
      {a + 34, 0},   {a + 84, 1},  {a + 85, 0},  {a + 100, 1}, {a + 999, 1},
      {a + 1000, 1},  // a new period: frame number 59 -> 0
      {a + 1016, 0}, {a + 1017, 1},
  };
  std::vector<uint32_t> ticks;
  for (const auto& s : steps) ticks.push_back(s.tick);
  const auto results = RunGate(0, ticks);
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(results[i], steps[i].due) << "call " << i << " at tick " << steps[i].tick;
  }
}

TEST(FrameGate, StallOverASecondEndsThePeriodAndLetsOneFrameThrough) {
  // After a stall the period is re-anchored at the late call; when the frame number was already
  // 0 nothing changes, so no frame is due.
  EXPECT_EQ(RunGate(0, {5000, 5017, 8000, 8016, 8017}), (std::vector<int>{0, 1, 1, 0, 1}));
  EXPECT_EQ(RunGate(0, {5000, 7000}), (std::vector<int>{0, 0}));
  // Within the first second of the tick counter the first call already finds a step due.
  EXPECT_EQ(RunGate(0, {100}), (std::vector<int>{1}));
}

TEST(FrameGate, KeepsItsRhythmAcrossATickWrap) {
  const uint32_t a = 0xFFFFFFFFu - 20;  // the period starts 21 ms before the wrap
  const std::vector<uint32_t> ticks = {a, a + 17, a + 33, a + 34, a + 50, a + 984, a + 1000};
  EXPECT_EQ(RunGate(a - 5, ticks), (std::vector<int>{0, 1, 0, 1, 1, 1, 1}));
}

TEST(FrameGate, TracesTheRateWhenAPeriodEnds) {
  testsupport::TraceCapture trace;
  RunGate(0, {5000, 5017, 5034, 6000});
  ASSERT_GE(trace.lines().size(), 4u);
  const auto& last_two = std::vector<DebugTraceLine>(trace.lines().end() - 2, trace.lines().end());
  EXPECT_EQ(last_two[0].window, "DB_FlameWindow");
  EXPECT_EQ(last_two[0].text, "Flame = 02FPS      ");
  EXPECT_EQ(last_two[1].y, 16);
  EXPECT_EQ(last_two[1].text, "Max = 058Flame      ");
}

TEST(GameClock, CountsOnlyActiveTime) {
  HeadlessClock clock(1000);
  CFrameRate rate(clock);
  EXPECT_EQ(rate.GetTime(), 0);

  // Start-up time before the first gate call counts when the application is active by then.
  rate.active = 1;
  clock.Advance(100);
  rate.Update();
  EXPECT_EQ(rate.GetTime(), 100);

  // Ten seconds in the background, with the gate still being called, leave no trace.
  rate.active = 0;
  for (int i = 0; i < 100; ++i) {
    clock.Advance(100);
    rate.Update();
  }
  EXPECT_EQ(rate.GetTime(), 100);

  // Active again: the clock advances at every gate call, also those that return 0.
  rate.active = 1;
  clock.Advance(5);
  EXPECT_EQ(rate.Update(), 0);
  EXPECT_EQ(rate.GetTime(), 105);
  clock.Advance(3);
  rate.Update();
  EXPECT_EQ(rate.GetTime(), 108);
}

TEST(GameClock, AdvancesAcrossATickWrap) {
  HeadlessClock clock(0xFFFFFFF0u);
  CFrameRate rate(clock);
  rate.active = 1;
  clock.Advance(0x20);  // wraps to 0x10
  rate.Update();
  EXPECT_EQ(rate.GetTime(), 0x20);
}

}  // namespace
