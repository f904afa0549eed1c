#pragma once
// Every headless service in one object, for tests: nothing here needs a display, an input device
// or a sound card, and everything a test wants to observe or inject is reachable as a member.

#include "platform/config.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_window.h"
#include "platform/platform.h"

namespace platform::headless {

class HeadlessPlatform {
 public:
  HeadlessPlatform();
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  // The seam view handed to an engine context.
  Platform& seams() { return seams_; }

  HeadlessClock clock;
  MemoryConfig config;  // empty and absent until a test sets a value
  HeadlessWindow window;

 private:
  Platform seams_;
};

}  // namespace platform::headless
