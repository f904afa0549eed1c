#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <cstdio>

namespace platform::sdl {

namespace {

SdlWindow::Options WindowOptions(const Config& config, const std::string& lock_path) {
  SdlWindow::Options options;
  options.windowed = config.GetSwitch("Windowed", false);
  options.lock_path = lock_path;
  return options;
}

}  // namespace

SdlPlatform::Library::~Library() { SDL_Quit(); }

SdlPlatform::SdlPlatform() : SdlPlatform(DefaultConfigPath(), std::string()) {}

SdlPlatform::SdlPlatform(const std::string& config_path, const std::string& lock_path)
    : config(config_path), window(WindowOptions(config, lock_path)) {
  // Lines of the settings that were ignored, so that a misspelt key or a wrong value is seen.
  for (const std::string& note : config.notes()) std::fprintf(stderr, "tamvik: %s\n", note.c_str());
  files.LoadDrives(config);
  seams_.clock = &clock;
  seams_.config = &config;
  seams_.files = &files;
  seams_.window = &window;
  seams_.input = &input;
  seams_.display = &display;
  seams_.audio = &audio;
}

SdlPlatform::~SdlPlatform() = default;

}  // namespace platform::sdl
