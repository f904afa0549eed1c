// Fuzz entry of the movie source: movie files opened and played through the FFmpeg movie
// source, with its decoder thread, picture conversion and sound track.

#include <algorithm>
#include <string>

#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_clock.h"
#include "testsupport/temp_tree.h"

namespace fuzz {

using namespace detail;

// --- Movies ------------------------------------------------------------------------------------
// The input is a movie file. It is opened (pictures in RGB565 or RGB555 by the first byte's low
// bit, sound into an open headless device) and played on a test clock for a bounded number of
// picture steps, each picture taken as the player takes it. Every picture has the movie's size,
// format and exactly its rows of data (the decoder copies the converted rows into a buffer of
// exactly that size, so the sanitizers see any write past it); the waits stay in their range.
void MovieEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "movie";
  testsupport::GameTree& tree = Tree();
  const std::string path = tree.Write("cwd/movie.mpg", Bytes(data, data + size));
  const platform::PixelLayout layout = size > 0 && (data[0] & 1) != 0
                                           ? platform::PixelLayout::kRgb555
                                           : platform::PixelLayout::kRgb565;
  platform::headless::HeadlessClock clock;
  platform::headless::HeadlessAudio audio;
  audio.capture = false;
  audio.Open();
  platform::ffmpeg::FfmpegMovies movies(clock, &audio);
  std::string error;
  std::unique_ptr<platform::Movie> movie = movies.Open(path, layout, &error);
  if (!movie) {
    Check(!error.empty(), kName, "open failed without a reason");
    return;
  }
  const platform::MovieInfo info = movie->info();
  if (info.has_video) {
    Check(info.format.width > 0 && info.format.height > 0 && info.format.width <= 4096 &&
              info.format.height <= 4096,
          kName, "picture size outside 1..4096");
    Check(info.format.layout == layout && info.format.bits_per_pixel == 16, kName,
          "pictures not in the layout asked for");
  }
  movie->Run();
  const uint32_t stride = platform::MovieRowStride(info.format.width, 16);
  platform::MovieFrame frame;
  for (int step = 0; step < 120 && !movie->EndOfStream(); ++step) {
    platform::ffmpeg::WaitForDecoder(movie.get(), 2000);
    const int due = movie->NextDueMs();
    Check(due >= 0 && due <= platform::kMovieLongestWaitMs, kName, "wait outside its range");
    if (due == 0 && movie->TakeFrame(&frame)) {
      Check(info.has_video, kName, "a picture from a movie without video");
      Check(frame.width == info.format.width && frame.height == info.format.height &&
                frame.layout == layout && frame.stride == static_cast<int>(stride),
            kName, "picture does not match the movie's format");
      Check(frame.pixels.size() == static_cast<size_t>(stride) * frame.height, kName,
            "picture data not exactly its rows");
    }
    audio.Pump(40);
    clock.Advance(40);
  }
  movie->Stop();
}

std::vector<Bytes> MovieSeeds() {
  // Small movies at odd sizes (widths that are no multiple of 16 or of 8), with and without
  // sound, an MPEG-2 program stream and an elementary stream.
  std::vector<Bytes> seeds;
  struct Shape {
    int width, height, frames;
    bool sound, mpeg2, elementary;
    int untimed_tail;
  };
  const Shape shapes[] = {{200, 150, 3, false, false, false, 0}, {24, 18, 4, true, false, false, 0},
                          {40, 30, 3, false, true, false, 0},    {168, 16, 3, false, false, true, 0},
                          {56, 40, 5, false, false, false, 2}};
  testsupport::GameTree& tree = detail::Tree();
  for (const Shape& s : shapes) {
    platform::ffmpeg::TestMovieOptions o;
    o.width = s.width;
    o.height = s.height;
    o.frames = s.frames;
    o.sound = s.sound;
    o.sample_rate = 22050;
    o.channels = 1;
    o.mpeg2 = s.mpeg2;
    o.elementary = s.elementary;
    o.untimed_tail = s.untimed_tail;
    const std::string rel = s.elementary ? "cwd/seed.m1v" : "cwd/seed.mpg";
    const std::string path = tree.Write(rel, Bytes{});
    if (!platform::ffmpeg::WriteTestMovie(path, o, nullptr)) continue;
    const std::string bytes = tree.Read(rel);
    seeds.emplace_back(bytes.begin(), bytes.end());
  }
  return seeds;
}

}  // namespace fuzz
