#pragma once
// The platform seam as the engine sees it: one small interface per service, gathered here.
// A backend (headless for tests, SDL2/FFmpeg for the real program) fills every pointer before an
// engine context is built from it; the context never owns the services.

#include "platform/clock.h"

namespace platform {

struct Platform {
  Clock* clock = nullptr;
};

}  // namespace platform
