#pragma once
// The movie seam, standing in for the movie filter graph: it opens one movie file, runs, pauses
// and stops it, tells its position on the movie clock, hands out the picture that is due in the
// display's 16-bit layout, reports the end of the stream and plays the movie's sound track through
// the sound device's mixer.
//
// Threads: a backend may decode on threads of its own, but every call here is made on the
// program's main thread, and pictures are only handed out there (the display is presented on the
// main thread). The main loop asks NextDueMs how long it may wait before the next picture is
// due, waits for a window event at most that long, and then takes the picture.
//
// Movie clock: starts at 0 when the movie is opened, runs from Run on, stands still while paused
// or stopped. A picture is due once the clock has reached its time.
//
// Pictures: top row first, `stride` bytes from one row to the next, where the stride is the row's
// bytes rounded up to a multiple of 4. The data's size is what the source delivered; a consumer
// checks it against the picture's size before reading.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace platform {

class Clock;

// The frame format of a movie's pictures, fixed when the movie is opened.
struct MovieFormat {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 16;
  PixelLayout layout = PixelLayout::kRgb565;
};

// What an open movie says about itself.
struct MovieInfo {
  double duration = 0;  // seconds, as the file states it; 0 when it does not say
  // The stated duration is only a guess (worked out from the bit rate, as for an elementary
  // stream): the movie ends with its pictures, not by it.
  bool duration_estimated = false;
  bool has_video = false;
  bool has_audio = false;  // a sound track that is played (needs an open sound device)
  MovieFormat format;      // of the pictures (width and height 0 without video)
};

// One decoded picture.
struct MovieFrame {
  double time = 0;  // movie seconds at which it is due
  int width = 0;
  int height = 0;
  int bits_per_pixel = 16;
  PixelLayout layout = PixelLayout::kRgb565;
  int stride = 0;  // bytes from one row to the next
  std::vector<uint8_t> pixels;
};

// Bytes of one picture row in a movie frame: width x bytes per pixel, rounded up to 4.
// 0 when the figures are not positive or too large.
uint32_t MovieRowStride(int width, int bits_per_pixel);

// Milliseconds until something `seconds` ahead is due, for NextDueMs: 0 when it is due (or the
// figure is not a number), rounded up, at most kMovieLongestWaitMs (the caller asks again).
constexpr int kMovieLongestWaitMs = 1000;
int MovieWaitMs(double seconds);

// One open movie. Destroying it stops it and releases everything it holds.
class Movie {
 public:
  virtual ~Movie() = default;

  virtual const MovieInfo& info() const = 0;

  // Starts or continues playing: the clock runs and the sound track plays.
  virtual void Run() = 0;
  // The clock stands still and the sound track is silent; the position is kept.
  virtual void Pause() = 0;
  // Ends playing: the clock stands still, no picture is due any more and the sound is silent.
  virtual void Stop() = 0;

  // The movie clock in seconds.
  virtual double Position() = 0;
  // Milliseconds until the next picture is due: 0 when one is due now, or when the stream has
  // ended (EndOfStream, so that the end is noticed at once); after the last picture, the time it
  // has left on screen; a short polling interval while the decoder has not yet produced the next
  // picture; -1 while the movie does not run.
  virtual int NextDueMs() = 0;
  // Takes the picture that is due now: the latest one whose time has come (earlier ones are
  // dropped). False when none is due. `out` is overwritten (its buffer may be reused).
  virtual bool TakeFrame(MovieFrame* out) = 0;
  // True once the stream has no more pictures to give and the last one has had its time on
  // screen (a source that does not know how long a picture lasts: as soon as none is left).
  virtual bool EndOfStream() = 0;
  // Whether the stated duration may end the movie: it is not an estimate and no picture lasts
  // beyond it. A source that decodes ahead knows this only once it has read the whole stream and
  // says false until then; a source that cannot tell says true.
  virtual bool StatedLengthHolds() { return !info().duration_estimated; }
};

// The service that opens movies (one backend per program: FFmpeg, or the scripted test source).
class Movies {
 public:
  virtual ~Movies() = default;
  // Opens a movie file by its host path, with pictures in `layout`. Null when the file cannot
  // be opened or read as a movie, with the reason in `error`. A file without a video stream opens
  // (info().has_video is false): what to make of it is the caller's choice.
  virtual std::unique_ptr<Movie> Open(const std::string& host_path, PixelLayout layout,
                                      std::string* error) = 0;
};

// The movie clock on a tick-count clock: milliseconds run only between Run and Pause.
class MovieClock {
 public:
  explicit MovieClock(Clock& clock) : clock_(clock) {}

  void Run();
  void Pause();
  bool running() const { return running_; }
  // Movie milliseconds.
  uint64_t Milliseconds() const;
  double Seconds() const { return static_cast<double>(Milliseconds()) / 1000.0; }

 private:
  Clock& clock_;
  bool running_ = false;
  uint32_t run_tick_ = 0;   // tick count at the last Run
  uint64_t banked_ms_ = 0;  // movie time before the last Run
};

}  // namespace platform
