// The FFmpeg movie source on its own (no engine): pictures of every size against FFmpeg's own
// conversion, and the decoder thread working against the main thread and a mixing device thread.
// These tests also run in the ThreadSanitizer build of tools/test.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_clock.h"

namespace {

using platform::MovieFrame;
using platform::PixelLayout;
using platform::ffmpeg::ConvertedPictures;
using platform::ffmpeg::FfmpegMovies;
using platform::ffmpeg::TestMovieOptions;
using platform::ffmpeg::WaitForDecoder;

constexpr int kWaitMs = 10000;

class FfmpegMovieSource : public ::testing::Test {
 protected:
  FfmpegMovieSource() {
    dir_ = std::filesystem::temp_directory_path() /
           ("tamvik-movie-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  ~FfmpegMovieSource() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string Make(const std::string& name, const TestMovieOptions& shape) {
    const std::string path = (dir_ / name).string();
    std::string error;
    EXPECT_TRUE(platform::ffmpeg::WriteTestMovie(path, shape, &error)) << error;
    return path;
  }

  // Runs the movie on the test clock in 10 ms steps, taking every picture when it is due, until
  // the stream has ended (or `limit` steps).
  std::vector<MovieFrame> PlayOut(platform::Movie& movie, int limit = 2000) {
    std::vector<MovieFrame> shown;
    movie.Run();
    for (int step = 0; step < limit && !movie.EndOfStream(); ++step) {
      EXPECT_TRUE(WaitForDecoder(&movie, kWaitMs));
      MovieFrame frame;
      if (movie.NextDueMs() == 0 && movie.TakeFrame(&frame)) shown.push_back(std::move(frame));
      clock.Advance(10);
    }
    EXPECT_TRUE(movie.EndOfStream());
    return shown;
  }

  platform::headless::HeadlessClock clock;
  std::filesystem::path dir_;
};

TEST_F(FfmpegMovieSource, PicturesOfEverySizeMatchFfmpegsOwnConversion) {
  // Widths that are not a multiple of 16 (nor of 8 for 200 and 344) are where the scaler writes
  // past the end of a buffer of exactly the picture's size.
  const struct {
    int width, height;
    PixelLayout layout;
  } sizes[] = {{160, 120, PixelLayout::kRgb565},
               {200, 150, PixelLayout::kRgb565},
               {344, 200, PixelLayout::kRgb555},
               {632, 480, PixelLayout::kRgb565},
               {640, 480, PixelLayout::kRgb555}};
  FfmpegMovies movies(clock, nullptr);
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    TestMovieOptions shape;
    shape.width = size.width;
    shape.height = size.height;
    shape.frames = 6;
    shape.sound = false;
    const std::string path = Make("size.mpg", shape);

    ConvertedPictures converted;
    std::string error;
    ASSERT_TRUE(platform::ffmpeg::ConvertMoviePictures(path, size.layout, &converted, &error))
        << error;
    EXPECT_TRUE(converted.guard_intact);
    ASSERT_EQ(converted.reference.size(), 6u);
    ASSERT_EQ(converted.ours.size(), converted.reference.size());
    for (size_t i = 0; i < converted.ours.size(); ++i) {
      EXPECT_EQ(converted.ours[i].pixels, converted.reference[i].pixels) << "picture " << i;
    }

    // The movie hands out every picture, each as FFmpeg converts it.
    auto movie = movies.Open(path, size.layout, &error);
    ASSERT_NE(movie, nullptr) << error;
    EXPECT_EQ(movie->info().format.width, size.width);
    EXPECT_EQ(movie->info().format.height, size.height);
    const std::vector<MovieFrame> shown = PlayOut(*movie);
    ASSERT_EQ(shown.size(), converted.reference.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].width, size.width);
      EXPECT_EQ(shown[i].height, size.height);
      EXPECT_EQ(shown[i].stride, static_cast<int>(platform::MovieRowStride(size.width, 16)));
      EXPECT_EQ(shown[i].pixels, converted.reference[i].pixels) << "picture " << i;
    }
  }
}

TEST_F(FfmpegMovieSource, DecoderThreadMeetsTheMainThreadAndTheMixingThread) {
  // The decoder fills its queues while the main thread takes pictures, feeds the sound buffer,
  // pauses, resumes and finally closes the movie mid-stream; a device thread mixes all the while.
  TestMovieOptions shape;
  shape.frames = 40;
  shape.tone_start = 0.2;
  const std::string path = Make("busy.mpg", shape);
  platform::headless::HeadlessAudio audio;
  audio.capture = false;
  ASSERT_TRUE(audio.Open());
  std::atomic<bool> done = false;
  std::thread device([&] {
    std::vector<int16_t> out(2 * 256);
    while (!done.load()) audio.mixer().Mix(out.data(), 256);
  });
  FfmpegMovies movies(clock, &audio);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::string error;
    auto movie = movies.Open(path, PixelLayout::kRgb565, &error);
    ASSERT_NE(movie, nullptr) << error;
    EXPECT_TRUE(movie->info().has_audio);
    movie->Run();
    int taken = 0;
    // Rounds 0 and 1 close the movie while its decoder may still be busy; round 2 plays it out.
    const int steps = round == 2 ? 1000 : 40 + round * 30;
    for (int step = 0; step < steps && !movie->EndOfStream(); ++step) {
      if (step % 25 == 10) movie->Pause();
      if (step % 25 == 12) movie->Run();
      if (round == 2) {
        EXPECT_TRUE(WaitForDecoder(movie.get(), kWaitMs));
      }
      MovieFrame frame;
      if (movie->NextDueMs() == 0 && movie->TakeFrame(&frame)) ++taken;
      clock.Advance(10);
    }
    if (round == 2) {
      // The device thread mixes far faster than the test clock runs, so the sound track and the
      // clock keep pulling apart; a picture may come late and be passed over for the next one.
      EXPECT_TRUE(movie->EndOfStream());
      EXPECT_GE(taken, 36);
      EXPECT_LE(taken, 40);
    }
    if (round == 1) movie->Stop();
  }
  done = true;
  device.join();
}

}  // namespace
