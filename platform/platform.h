#pragma once
// The platform seam as the engine sees it: one small interface per service, gathered here.
// A backend (headless for tests, SDL2/FFmpeg for the real program) fills every pointer before an
// engine context is built from it; the context never owns the services.

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/config.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/movie.h"
#include "platform/wave_codec.h"
#include "platform/window.h"

namespace platform {

struct Platform {
  Clock* clock = nullptr;
  Config* config = nullptr;  // settings: the registry stand-in and the platform's own options
  Window* window = nullptr;  // the program window and its events
  Display* display = nullptr;  // the 640 x 480 16-bit display
  Files* files = nullptr;    // files and the drive table
  Input* input = nullptr;    // keyboard, mouse, joystick and the system cursor
  Audio* audio = nullptr;    // sound output; null (or a device that fails to open): no sound
  WaveCodecs* codecs = nullptr;  // wave codecs for compressed wave data; null: none installed
  Movies* movies = nullptr;  // movie files; null: no movie opens
};

}  // namespace platform
