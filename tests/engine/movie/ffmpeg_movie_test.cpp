// The movie path on FFmpeg with a generated MPEG-1 movie: the file's facts, its pictures against
// the known pattern, its sound in step with the movie clock, the end, and damaged files.

#include "platform/ffmpeg/ffmpeg_movie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/movie/movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "tests/engine/movie/movie_fixture.h"
#include "testsupport/trace_capture.h"

namespace movietest {
namespace {

using platform::PixelLayout;
using platform::ffmpeg::FfmpegMovies;
using platform::ffmpeg::TestMovieOptions;
using platform::ffmpeg::WaitForDecoder;

constexpr int kWaitMs = 5000;

struct Rgb {
  int r, g, b;
};

Rgb Unpack(uint16_t p, PixelLayout layout) {
  const uint32_t c = platform::UnpackToColorRef(p, layout);  // 0x00BBGGRR
  return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
          static_cast<int>((c >> 16) & 0xFF)};
}

Rgb Expected(uint32_t rrggbb) {
  return {static_cast<int>(rrggbb >> 16), static_cast<int>((rrggbb >> 8) & 0xFF),
          static_cast<int>(rrggbb & 0xFF)};
}

// Whether a pixel is within `tolerance` of a colour on every channel.
::testing::AssertionResult Near(uint16_t p, PixelLayout layout, uint32_t rrggbb,
                                int tolerance = 16) {
  const Rgb a = Unpack(p, layout);
  const Rgb e = Expected(rrggbb);
  if (std::abs(a.r - e.r) <= tolerance && std::abs(a.g - e.g) <= tolerance &&
      std::abs(a.b - e.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << a.r << "," << a.g << "," << a.b << " want "
                                       << e.r << "," << e.g << "," << e.b;
}

uint16_t FramePixel(const platform::MovieFrame& f, int x, int y) {
  uint16_t p;
  std::copy_n(f.pixels.data() + static_cast<size_t>(y) * f.stride + 2 * x, 2,
              reinterpret_cast<uint8_t*>(&p));
  return p;
}

// The picture number read back from the bars at the bottom of its left half.
int PictureNumber(const platform::MovieFrame& f) {
  int n = 0;
  const int bar_width = f.width / 2 / 5;
  for (int bar = 0; bar < 5; ++bar) {
    const Rgb c =
        Unpack(FramePixel(f, bar * bar_width + bar_width / 2, f.height * 3 / 4), f.layout);
    if (c.g > 128) n |= 1 << bar;
  }
  return n;
}

class FfmpegMovie : public MovieFixture {
 protected:
  FfmpegMovie() : ffmpeg(engine.host.clock, &engine.host.audio) {}

  std::string Make(const std::string& name, const TestMovieOptions& shape) {
    const std::string path = tree.Write(name, "");
    std::string error;
    EXPECT_TRUE(platform::ffmpeg::WriteTestMovie(path, shape, &error)) << error;
    return path;
  }

  // Plays through the player, moving the clock 10 ms at a time (and letting the decoder keep up),
  // until the movie ends or `limit` steps ran. Returns the steps.
  int PlayOutDecoded(int limit) {
    int steps = 0;
    while (player().GetMovieState() == kMoviePlaying && steps < limit) {
      if (MovieObject* object = player().movie_object()) WaitForDecoder(object->movie(), kWaitMs);
      player().RenderDue();
      Advance(10);
      ++steps;
    }
    return steps;
  }

  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  FfmpegMovies ffmpeg;
};

TEST_F(FfmpegMovie, GeneratedMoviesDecodeToTheirPatternInEitherLayout) {
  for (bool mpeg2 : {false, true})
    for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
      SCOPED_TRACE(std::string(mpeg2 ? "MPEG-2" : "MPEG-1") +
                   (layout == PixelLayout::kRgb565 ? ", RGB565" : ", RGB555"));
      TestMovieOptions shape;  // 160 x 120, 30 pictures at 25 per second, sound
      shape.mpeg2 = mpeg2;
      const std::string path = Make(mpeg2 ? "pattern2.mpg" : "pattern1.mpg", shape);
      std::string error;
      auto movie = ffmpeg.Open(path, layout, &error);
      ASSERT_NE(movie, nullptr) << error;
      const platform::MovieInfo& info = movie->info();
      EXPECT_NEAR(info.duration, 1.2, 0.1);
      EXPECT_TRUE(info.has_video);
      EXPECT_FALSE(info.has_audio);  // no sound device is open
      EXPECT_EQ(info.format.width, 160);
      EXPECT_EQ(info.format.height, 120);
      EXPECT_EQ(info.format.bits_per_pixel, 16);
      EXPECT_EQ(info.format.layout, layout);
      EXPECT_EQ(movie->NextDueMs(), -1);  // not running yet

      movie->Run();
      std::vector<int> numbers;
      platform::MovieFrame frame;
      for (int step = 0; step < 400 && !movie->EndOfStream(); ++step) {
        ASSERT_TRUE(WaitForDecoder(movie.get(), kWaitMs));
        if (movie->NextDueMs() == 0 && movie->TakeFrame(&frame)) {
          const int n = PictureNumber(frame);
          numbers.push_back(n);
          // Timestamps of a system stream are carried per packet, not per picture: the demuxer may
          // place a picture up to one picture period off.
          EXPECT_NEAR(frame.time, n / 25.0, 0.045) << "picture " << n;
          ASSERT_EQ(frame.width, 160);
          ASSERT_EQ(frame.height, 120);
          ASSERT_EQ(frame.stride, 320);
          ASSERT_GE(frame.pixels.size(), 320u * 120u);
          EXPECT_EQ(frame.layout, layout);
          for (const auto& [x, y] :
               std::vector<std::pair<int, int>>{{20, 20}, {60, 40}, {8, 90}, {72, 100}}) {
            EXPECT_TRUE(Near(FramePixel(frame, x, y), layout,
                             platform::ffmpeg::TestMoviePixel(shape, n, x, y)))
                << "picture " << n << " at " << x << "," << y;
          }
          EXPECT_TRUE(Near(FramePixel(frame, 120, 30), layout, platform::ffmpeg::kTestMovieRed));
          EXPECT_TRUE(Near(FramePixel(frame, 120, 90), layout, platform::ffmpeg::kTestMovieBlue));
          if (layout == PixelLayout::kRgb555) {
            EXPECT_EQ(FramePixel(frame, 120, 30) & 0x8000, 0);
          }
        }
        Advance(10);
      }
      EXPECT_TRUE(movie->EndOfStream());
      EXPECT_EQ(movie->NextDueMs(), 0);  // the end is reported at once
      std::vector<int> all(30);
      for (int i = 0; i < 30; ++i) all[i] = i;
      EXPECT_EQ(numbers, all);  // every picture, once, in order
      movie->Pause();
      EXPECT_EQ(movie->NextDueMs(), -1);
    }
}

TEST_F(FfmpegMovie, SoundIsMixedInStepWithTheMovieClock) {
  TestMovieOptions shape;
  shape.frames = 50;  // 2 s
  shape.tone_start = 1.0;
  const std::string path = Make("tone.mpg", shape);
  ASSERT_TRUE(engine.host.audio.Open());
  std::string error;
  auto movie = ffmpeg.Open(path, PixelLayout::kRgb565, &error);
  ASSERT_NE(movie, nullptr) << error;
  ASSERT_TRUE(movie->info().has_audio);
  ASSERT_TRUE(WaitForDecoder(movie.get(), kWaitMs));
  movie->Run();
  platform::MovieFrame frame;
  // The device plays 10 ms for every 10 ms of the clock, except for a pause in the middle.
  for (int step = 0; step < 200; ++step) {
    if (step == 50) {
      movie->Pause();
      engine.host.audio.Pump(300);  // nothing of the movie plays while paused
      movie->Run();
    }
    ASSERT_TRUE(WaitForDecoder(movie.get(), kWaitMs));
    if (movie->NextDueMs() == 0) movie->TakeFrame(&frame);
    engine.host.audio.Pump(10);
    Advance(10);
  }
  const std::vector<int16_t>& out = engine.host.audio.captured;
  const uint32_t rate = engine.host.audio.device_rate();
  auto loudest = [&](double from, double to) {
    int peak = 0;
    for (size_t i = static_cast<size_t>(from * rate) * 2;
         i < static_cast<size_t>(to * rate) * 2 && i < out.size(); ++i)
      peak = std::max(peak, std::abs(static_cast<int>(out[i])));
    return peak;
  };
  // Device time: 0-0.5 s is movie time 0-0.5, then 0.3 s of silence, then movie time 0.5 on.
  EXPECT_LT(loudest(0.0, 0.5), 300);
  EXPECT_LT(loudest(0.5, 0.8), 300);
  EXPECT_LT(loudest(0.8, 1.28), 300);    // movie time up to 0.98: the tone starts at 1.0
  EXPECT_GT(loudest(1.32, 1.36), 6000);  // movie time 1.02 on
  EXPECT_GT(loudest(2.1, 2.3), 6000);
}

TEST_F(FfmpegMovie, PlayerShowsTheMovieToItsLastPicture) {
  TestMovieOptions shape;
  const std::string path = Make("Movie/OP.mpg", shape);
  engine.host.seams().movies = &ffmpeg;
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  ASSERT_NE(player().movie_object(), nullptr);
  EXPECT_NEAR(player().movie_object()->duration(), 1.2, 0.1);
  const int presented = display().frames_presented;
  PlayOutDecoded(400);
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  // FFmpeg states a length a little short of the pictures (a system stream stamps packets, not
  // pictures): the movie ends once its last picture (1.16 s) has had its 0.04 s.
  EXPECT_LT(player().movie_object()->duration(), 1.2);
  EXPECT_NEAR(player().GetPos(), 1.2, 0.06);
  EXPECT_EQ(display().frames_presented - presented, 30);
  // Rows 30..92 of the picture fill (32, 16) - (608, 336): on the right red above picture row 60
  // and blue below, on the left the grey above.
  const PixelLayout layout = primary().layout();
  EXPECT_TRUE(Near(Pixel(SURFACE_PRIMARY, 500, 60), layout, platform::ffmpeg::kTestMovieRed));
  EXPECT_TRUE(Near(Pixel(SURFACE_PRIMARY, 500, 300), layout, platform::ffmpeg::kTestMovieBlue));
  const Rgb grey = Unpack(Pixel(SURFACE_PRIMARY, 100, 60), layout);
  EXPECT_NEAR(grey.r, grey.g, 12);
  EXPECT_NEAR(grey.b, grey.g, 12);
  player().OnGraphEvent(&window());
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
}

TEST_F(FfmpegMovie, PicturesEndingBeforeTheSoundStillEndTheMovie) {
  TestMovieOptions shape;
  shape.frames = 10;          // 0.4 s of pictures
  shape.sound_seconds = 3.0;  // the file is about 3 s long
  const std::string path = Make("short.mpg", shape);
  ASSERT_TRUE(engine.host.audio.Open());
  engine.host.seams().movies = &ffmpeg;
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  EXPECT_GT(player().movie_object()->duration(), 2.5);
  PlayOutDecoded(400);
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  EXPECT_LT(player().GetPos(), 1.0);
}

TEST_F(FfmpegMovie, SoundOnlyAndDamagedFilesFailOrEndCleanly) {
  TestMovieOptions sound_only;
  sound_only.frames = 0;
  sound_only.sound_seconds = 1.0;
  const std::string whole = Make("whole.mpg", TestMovieOptions{});
  std::ifstream in(whole, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  ASSERT_GT(bytes.size(), 4000u);
  std::vector<char> scrambled(bytes);
  for (size_t i = 2048; i < scrambled.size(); i += 7)
    scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  std::vector<char> garbage(20000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) & 0xFF);

  engine.host.seams().movies = &ffmpeg;
  const struct {
    const char* name;
    std::string path;
    bool may_play;
  } cases[] = {
      {"sound only", Make("sound.mpg", sound_only), false},
      {"empty", tree.Write("empty.mpg", ""), false},
      {"garbage", tree.Write("garbage.mpg", std::string(garbage.begin(), garbage.end())), false},
      {"first 100 bytes", tree.Write("head.mpg", std::string(bytes.begin(), bytes.begin() + 100)),
       true},
      {"first half",
       tree.Write("half.mpg", std::string(bytes.begin(), bytes.begin() + bytes.size() / 2)), true},
      {"scrambled after 2 KB",
       tree.Write("scrambled.mpg", std::string(scrambled.begin(), scrambled.end())), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TraceCapture trace;
    const int played = player().Play(&window(), c.path.c_str());
    if (played == 0) {
      EXPECT_TRUE(trace.Contains("DS error MovieOpen failed.\n"));
      EXPECT_EQ(player().GetMovieState(), kMovieNone);
      EXPECT_EQ(AppGetLoopMode(), 1u);
      continue;
    }
    EXPECT_TRUE(c.may_play);
    PlayOutDecoded(400);
    EXPECT_EQ(player().GetMovieState(), kMovieEnded);
    player().OnGraphEvent(&window());
  }
}

TEST_F(FfmpegMovie, EveryDecodedPictureIsShownBeforeTheMovieEnds) {
  // The end comes by the stated length only where that length holds; otherwise once the stream
  // has ended and its last picture has had its time. Counted: the pictures the player presented
  // against those FFmpeg decodes from the same file.
  struct Row {
    const char* name;
    TestMovieOptions shape;
    double cut = 1.0;           // part of the file kept
    bool length_holds = false;  // the stated length may end the movie (else: not asked)
  };
  TestMovieOptions covering;  // the sound track outlasts the pictures: the length covers them
  covering.sound_seconds = 1.3;
  TestMovieOptions exact;  // pictures only: FFmpeg's length ends short of the last ones
  exact.sound = false;
  TestMovieOptions untimed;  // 45 pictures at 30 per second, the last 5 without time stamps
  untimed.sound = false;
  untimed.frames = 45;
  untimed.fps = 30;
  untimed.untimed_tail = 5;
  TestMovieOptions elementary;  // no time stamps at all: the length is a guess from the bit rate
  elementary.sound = false;
  elementary.elementary = true;
  elementary.frames = 25;
  TestMovieOptions cut = exact;
  Row rows[] = {
      {"a length that covers the pictures", covering, 1.0, true},
      {"a length short of the pictures", exact},
      {"last pictures without time stamps", untimed},
      {"elementary stream", elementary},
      {"cut in the middle of a picture", cut, 0.7},
      {"cut before any whole picture", cut, 0.02},
  };
  engine.host.seams().movies = &ffmpeg;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string path = Make(row.shape.elementary ? "end.m1v" : "end.mpg", row.shape);
    if (row.cut < 1.0) {
      const std::string whole = ReadAll(path);
      path = tree.Write("cut.mpg", whole.substr(0, static_cast<size_t>(whole.size() * row.cut)));
    }
    // A file FFmpeg cannot read at all has no pictures.
    platform::ffmpeg::ConvertedPictures decoded;
    platform::ffmpeg::ConvertMoviePictures(path, primary().layout(), &decoded, nullptr);
    const int presented = display().frames_presented;
    if (player().Play(&window(), path.c_str()) == 0) {
      // A file without a picture to show may fail to start; it must not leave anything held.
      EXPECT_EQ(decoded.reference.size(), 0u);
      EXPECT_EQ(player().GetMovieState(), kMovieNone);
      continue;
    }
    const double duration = player().movie_object()->duration();
    const bool estimated = player().movie_object()->movie()->info().duration_estimated;
    PlayOutDecoded(1000);
    ASSERT_EQ(player().GetMovieState(), kMovieEnded);  // no hang
    const int shown = display().frames_presented - presented;
    const int count = static_cast<int>(decoded.reference.size());
    EXPECT_EQ(shown, count);
    const bool holds = player().movie_object()->movie()->StatedLengthHolds();
    if (row.length_holds) {
      EXPECT_TRUE(holds);
      EXPECT_FALSE(estimated);
      EXPECT_GE(duration, 1.2);
      EXPECT_EQ(count, row.shape.frames);
    }
    if (std::string(row.name) == "a length short of the pictures") {
      EXPECT_FALSE(holds);
      EXPECT_LT(duration, 1.2);
      EXPECT_GE(player().GetPos(), 1.19);
    }
    if (std::string(row.name) == "last pictures without time stamps") {
      EXPECT_EQ(count, 45);
      EXPECT_LT(duration, 1.4);  // FFmpeg's length stops where the stamps stop
      EXPECT_GE(player().GetPos(), 1.49);
    }
    if (std::string(row.name) == "elementary stream") {
      EXPECT_TRUE(estimated);
      EXPECT_EQ(count, 25);
      EXPECT_GE(player().GetPos(), 0.99);
    }
    player().OnGraphEvent(&window());
    EXPECT_EQ(player().GetMovieState(), kMovieNone);
  }
}

}  // namespace
}  // namespace movietest
