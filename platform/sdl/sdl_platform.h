#pragma once
// Every real service of the program in one object: the clock, the settings file, the files and
// drives, and the SDL2 window. The program builds one and hands seams() to its engine context.
// SDL services of other areas are added here as members and wired into seams().

#include <string>

#include "platform/clock.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_window.h"

namespace platform::sdl {

class SdlPlatform {
 public:
  // Settings from DefaultConfigPath(); the window in full screen unless they say "Windowed=1".
  // The settings lines that were ignored are written to stderr.
  SdlPlatform();
  // Settings from the given file; `lock_path` empty: the default single-instance lock.
  SdlPlatform(const std::string& config_path, const std::string& lock_path);
  ~SdlPlatform();
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // The seam view handed to an engine context.
  Platform& seams() { return seams_; }

 private:
  // Declared first, destroyed last: shuts SDL down after every service has let go of it.
  struct Library {
    ~Library();
  } library_;

 public:
  SystemClock clock;
  FileConfig config;
  PosixFiles files;  // drives from the settings ("Drive A" .. "Drive Z")
  SdlWindow window;
  SdlInput input{window};  // after the window: it listens to the window's events
  SdlDisplay display{window, config};  // after the window: draws through its renderer
  SdlAudio audio;  // the sound device; opened by the sound service's start

 private:
  Platform seams_;
};

}  // namespace platform::sdl
