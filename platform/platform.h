#pragma once
// The platform seam as the engine sees it: one small interface per service, gathered here.
// A backend (headless for tests, SDL2/FFmpeg for the real program) fills every pointer before an
// engine context is built from it; the context never owns the services.

#include "platform/clock.h"
#include "platform/config.h"
#include "platform/window.h"

namespace platform {

struct Platform {
  Clock* clock = nullptr;
  Config* config = nullptr;  // settings: the registry stand-in and the platform's own options
  Window* window = nullptr;  // the program window and its events
};

}  // namespace platform
