#include "platform/headless/headless_platform.h"

namespace platform::headless {

HeadlessPlatform::HeadlessPlatform() {
  seams_.clock = &clock;
}

}  // namespace platform::headless
