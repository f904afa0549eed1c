#include "platform/headless/headless_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using platform::Event;
using platform::EventKind;
using platform::headless::HeadlessWindow;

// A wait with nothing queued. By default another thread's event ends it (as a decoding movie's
// notice would); with the waits for other threads off it ends at once, however long its time-out
// (a fault there hangs this test until the test runner's limit), and queued events still come.
TEST(HeadlessWindow, WaitEventWaitsOnlyWhileOtherThreadsMayPost) {
  constexpr int kTenMinutes = 600000;
  {
    HeadlessWindow window;
    std::thread poster([&window] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      window.PostEvent({EventKind::kUser13, 7});
    });
    Event event{};
    const bool got = window.WaitEvent(event, kTenMinutes);
    poster.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(event.kind, EventKind::kUser13);
    EXPECT_EQ(event.param, 7u);
  }
  {
    HeadlessWindow window;
    window.waits_for_other_threads = false;
    Event event{};
    EXPECT_FALSE(window.WaitEvent(event, kTenMinutes));
    window.PostEvent({EventKind::kInput, 3});
    ASSERT_TRUE(window.WaitEvent(event, kTenMinutes));
    EXPECT_EQ(event.kind, EventKind::kInput);
    EXPECT_EQ(event.param, 3u);
    EXPECT_FALSE(window.WaitEvent(event, 0));
  }
}

}  // namespace
