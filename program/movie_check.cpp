// A check program for a person: plays one movie full screen with sound in the program's SDL2
// window, the way the game plays its movies (the engine's movie player, the main loop in loop
// mode 0, the FFmpeg movie service), and ends when the movie has ended. Started by tools/movie.
//
//   tamvik_movie [movie file]
//
// Without a file it writes the generated test movie (MPEG-1 pictures of a known pattern with an
// MPEG audio tone) into a fresh private temporary directory, plays it and removes it. The settings file is the game's
// (README.md): "Windowed=1" gives a window instead of the whole screen. Quitting through the
// window is refused while a movie plays, as in the game; the movie ends by itself.

#include <cstdio>
#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/app/engine_services.h"
#include "engine/app/spine/spine.h"
#include "engine/movie/movie.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/files.h"
#include "platform/sdl/sdl_platform.h"

namespace {

// The generated test movie: 4 s of 320 x 240 pictures, the tone starting after 1 s. Written into
// a directory of this program's own, never to a fixed name in the shared temporary directory.
bool WriteCheckMovie(const platform::PrivateTempDirectory& dir, std::string* path) {
  if (dir.path().empty()) {
    std::fprintf(stderr, "tamvik_movie: cannot make a temporary directory for the test movie\n");
    return false;
  }
  *path = dir.path() + "/test-movie.mpg";
  platform::ffmpeg::TestMovieOptions shape;
  shape.width = 320;
  shape.height = 240;
  shape.frames = 100;
  shape.tone_start = 1.0;
  std::string error;
  if (!platform::ffmpeg::WriteTestMovie(*path, shape, &error)) {
    std::fprintf(stderr, "tamvik_movie: cannot write the test movie: %s\n", error.c_str());
    return false;
  }
  std::fprintf(stderr, "tamvik_movie: playing the generated test movie %s\n", path->c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: tamvik_movie [movie file]\n");
    return 2;
  }
  std::string path;
  platform::PrivateTempDirectory scratch;  // removed with the movie at the end
  if (argc == 2) {
    path = argv[1];
  } else if (!WriteCheckMovie(scratch, &path)) {
    return 1;
  }

  platform::sdl::SdlPlatform host;
  platform::ffmpeg::FfmpegWaveCodecs codecs;
  platform::ffmpeg::FfmpegMovies movies(host.clock, &host.audio);
  host.seams().codecs = &codecs;
  host.seams().movies = &movies;
  EngineContext context(host.seams());
  ContextScope scope(context);

  platform::Window* window = CreateMainWindow();
  if (window == nullptr) return 1;
  EngineServices& services = Services();
  if (services.InitDirectDraw(window) == 0) {
    AppTerm(window);
    return 1;
  }
  services.SoundInit(window);

  // Full screen, nothing trimmed.
  CMovie& movie = Ctx().movie;
  movie.SetDestRect(0, 0, kScreenWidth, kScreenHeight);
  movie.SetSrcMargin(0, 0, 0, 0);
  if (movie.Play(window, path.c_str()) == 0) {
    std::fprintf(stderr, "tamvik_movie: cannot play %s\n", path.c_str());
    AppTerm(window);
    return 1;
  }
  int exit_code = 0;
  while (movie.GetMovieState() != kMovieNone && MessageLoopStep(window, exit_code)) {
  }
  AppTerm(window);
  return 0;
}
