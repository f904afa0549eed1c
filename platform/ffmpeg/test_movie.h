#pragma once
// A small MPEG-1 movie made with FFmpeg's own encoders, for tests and for watching the movie path
// work: MPEG-1 video of a known pattern and MPEG layer 2 sound of a known tone, in an MPEG-1
// system stream (".mpg"); or the same with MPEG-2 video in an MPEG-2 program stream. Nothing in it
// comes from anywhere else.
//
// The pattern of picture n (colours as 0xRRGGBB):
//   left half, top: grey of level TestMovieGrey(n);
//   left half, bottom: five bars of equal width, bar k (from the left) white 0xE6E6E6 when bit k
//   of n is set, else black 0x141414 (the picture's number can be read back from them);
//   right half, top: red 0xDC1E1E; right half, bottom: blue 0x1E1EDC.
// The sound: silence until `tone_start` seconds, then a sine tone of `tone_hz` at a quarter of
// full scale, on every channel.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/movie.h"

namespace platform::ffmpeg {

struct TestMovieOptions {
  // MPEG-1 video in an MPEG-1 system stream, or MPEG-2 video in an MPEG-2 program stream.
  bool mpeg2 = false;
  int width = 160;
  int height = 120;
  int frames = 30;  // pictures (0: a file with sound only)
  int fps = 25;
  bool sound = true;
  int sample_rate = 44100;
  int channels = 2;
  // Length of the sound in seconds; below 0: as long as the pictures.
  double sound_seconds = -1;
  double tone_start = 0;
  double tone_hz = 440;
  // The last `untimed_tail` pictures are written without time stamps of their own (they follow
  // the last stamped picture in one packet), as some encoders leave them; FFmpeg's stated length
  // then ends where the stamps end.
  int untimed_tail = 0;
  // An MPEG-1 video elementary stream (".m1v"): pictures only, no system layer and no time
  // stamps (needs mpeg2 and sound off).
  bool elementary = false;
};

constexpr uint32_t kTestMovieRed = 0xDC1E1E;
constexpr uint32_t kTestMovieBlue = 0x1E1EDC;
constexpr uint32_t kTestMovieWhite = 0xE6E6E6;
constexpr uint32_t kTestMovieBlack = 0x141414;

// The grey level of the top of picture n's left half.
int TestMovieGrey(int n);
// The colour (0xRRGGBB) of pixel (x, y) of picture n.
uint32_t TestMoviePixel(const TestMovieOptions& shape, int n, int x, int y);
// The sound's value at sample `i` (before encoding).
int16_t TestMovieSample(const TestMovieOptions& shape, int64_t i);

// Writes the movie; false with the reason in `error` when an encoder or the file fails.
bool WriteTestMovie(const std::string& path, const TestMovieOptions& shape, std::string* error);

// Every picture of a movie file, decoded with FFmpeg and converted to 16-bit `layout` two ways:
// `ours` by the movie's own picture conversion, each into a buffer followed by guard bytes that
// are checked afterwards, and `reference` by FFmpeg's scaler alone into an image buffer as FFmpeg
// allocates one (aligned and padded). Frames as a movie hands them out (size, stride, rows);
// their times are left 0.
struct ConvertedPictures {
  std::vector<MovieFrame> ours;
  std::vector<MovieFrame> reference;
  bool guard_intact = true;  // no byte after any of ours was written
};
bool ConvertMoviePictures(const std::string& path, PixelLayout layout, ConvertedPictures* out,
                          std::string* error);

}  // namespace platform::ffmpeg
