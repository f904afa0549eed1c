// The program's entry: builds the real platform, an engine context on it, and runs the game. The
// program takes no command-line arguments; its settings file is described in README.md.

#include "engine/app/context.h"
#include "engine/app/spine/spine.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/sdl/sdl_platform.h"

int main() {
  platform::sdl::SdlPlatform host;
  platform::ffmpeg::FfmpegWaveCodecs codecs;  // the codecs for compressed wave files
  host.seams().codecs = &codecs;
  EngineContext context(host.seams());
  ContextScope scope(context);
  return WinMain();
}
