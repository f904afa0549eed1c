#include "platform/headless/headless_platform.h"

namespace platform::headless {

HeadlessPlatform::HeadlessPlatform() {
  seams_.clock = &clock;
  seams_.config = &config;
  seams_.window = &window;
}

}  // namespace platform::headless
