#include "platform/headless/headless_platform.h"

namespace platform::headless {

HeadlessPlatform::HeadlessPlatform() {
  seams_.clock = &clock;
  seams_.config = &config;
  seams_.window = &window;
  seams_.display = &display;
  seams_.files = &files;
  seams_.input = &input;
  seams_.audio = &audio;
  seams_.movies = &movies;
}

}  // namespace platform::headless
