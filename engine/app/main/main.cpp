// The program's entry: builds the real platform, an engine context on it, and runs the game. The
// program takes no command-line arguments; its settings file is described in README.md.

#include "engine/app/context.h"
#include "engine/app/spine/spine.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/sdl/sdl_platform.h"

int main() {
  platform::sdl::SdlPlatform host;
  platform::ffmpeg::FfmpegWaveCodecs codecs;  // the codecs for compressed wave files
  host.seams().codecs = &codecs;
  platform::ffmpeg::FfmpegMovies movies(host.clock, &host.audio);  // the movie files
  host.seams().movies = &movies;
  EngineContext context(host.seams());
  ContextScope scope(context);
  return WinMain();
}
