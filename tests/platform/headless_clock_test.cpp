#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

TEST(HeadlessClock, IsSetAndAdvancedByTheTestAndWraps) {
  platform::headless::HeadlessPlatform host;
  platform::Clock& clock = *host.seams().clock;
  EXPECT_EQ(clock.TickCount(), 0u);
  host.clock.Set(0xFFFFFFFEu);
  EXPECT_EQ(clock.TickCount(), 0xFFFFFFFEu);
  host.clock.Advance(5);
  EXPECT_EQ(clock.TickCount(), 3u);
}

TEST(SystemClock, NeverGoesBackwards) {
  platform::SystemClock clock;
  uint32_t a = clock.TickCount();
  uint32_t b = clock.TickCount();
  EXPECT_LE(a, b);
}
