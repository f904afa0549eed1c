#pragma once
// Every headless service in one object, for tests: nothing here needs a display, an input device
// or a sound card, and everything a test wants to observe or inject is reachable as a member.

#include "platform/config.h"
#include "platform/files.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_display.h"
#include "platform/headless/headless_input.h"
#include "platform/headless/headless_movie.h"
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
  HeadlessDisplay display{config};  // frames kept for tests; layout from "Pixel Format"
  PosixFiles files;  // no drives until a test sets some (SetDrive or LoadDrives)
  HeadlessInput input;  // keys, mouse, joystick and cursor set by the test
  HeadlessAudio audio;  // sound device: mixes when the test pumps time, keeps what it mixed
  HeadlessMovies movies{clock};  // scripted movies registered by the test, timed by `clock`

 private:
  Platform seams_;
};

}  // namespace platform::headless
