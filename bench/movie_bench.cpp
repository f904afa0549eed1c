// A movie's cost per picture: demuxing, decoding and converting a 640 x 480 MPEG-1 movie into the
// display's 16-bit layout on the decoder thread, and handing each picture to the main thread.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_clock.h"

namespace {

void BM_MoviePicture640x480(benchmark::State& state) {
  constexpr int kPictures = 25;
  const std::string path =
      (std::filesystem::temp_directory_path() / "tamvik-bench-movie.mpg").string();
  platform::ffmpeg::TestMovieOptions shape;
  shape.width = 640;
  shape.height = 480;
  shape.frames = kPictures;
  shape.sound = false;
  std::string error;
  if (!platform::ffmpeg::WriteTestMovie(path, shape, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  platform::headless::HeadlessClock clock;
  platform::ffmpeg::FfmpegMovies movies(clock, nullptr);
  int64_t pictures = 0;
  for (auto _ : state) {
    auto movie = movies.Open(path, platform::PixelLayout::kRgb565, &error);
    if (!movie) {
      state.SkipWithError(error.c_str());
      break;
    }
    movie->Run();
    platform::MovieFrame frame;
    while (!movie->EndOfStream()) {
      platform::ffmpeg::WaitForDecoder(movie.get(), 5000);
      if (movie->NextDueMs() == 0 && movie->TakeFrame(&frame)) {
        benchmark::DoNotOptimize(frame.pixels.data());
        ++pictures;
      }
      clock.Advance(40);
    }
  }
  state.SetItemsProcessed(pictures);
  state.counters["s/picture"] = benchmark::Counter(
      static_cast<double>(pictures), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::remove(path.c_str());
}
BENCHMARK(BM_MoviePicture640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
