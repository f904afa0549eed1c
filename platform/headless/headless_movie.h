#pragma once
// The test movie source: movies are scripts that a test registers under a host path: a stated
// duration, a frame format and a list of pictures with their due times. Their clock is the
// platform's clock (a test moves it), so a test decides exactly when each picture is due. Opening
// any other path fails as a missing file would. Scripted movies have no sound track.
//
// What each opened movie was asked to do is counted in a record the test keeps reading after the
// movie object is gone.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/movie.h"

namespace platform::headless {

struct ScriptedMovie {
  double duration = 1.0;
  bool has_video = true;
  MovieFormat format;  // layout: see `layout_as_asked`
  // The frame layout follows what the opener asks for unless this is false (then format.layout
  // holds, as a source that cannot convert would give).
  bool layout_as_asked = true;
  // In time order. Their own size, format and data are handed out as they stand, so a test can
  // script pictures that do not match the format.
  std::vector<MovieFrame> frames;
  // After the last picture the stream neither ends nor gives another (a decoder stuck on damaged
  // data): the source keeps asking to be polled and never reports its end.
  bool stalls_after_last = false;
};

// What happened to the movies opened from one script.
struct MovieRecord {
  int opened = 0;
  int runs = 0;
  int pauses = 0;
  int stops = 0;
  int closed = 0;   // movie objects destroyed
  int taken = 0;    // pictures handed out
  int dropped = 0;  // pictures passed over because a later one was due too
};

class HeadlessMovies final : public Movies {
 public:
  explicit HeadlessMovies(Clock& clock) : clock_(clock) {}

  // Registers (or replaces) the script for a host path.
  void Add(const std::string& host_path, ScriptedMovie script);
  // The record of a path's movies (created empty when asked for).
  MovieRecord& record(const std::string& host_path);

  std::unique_ptr<Movie> Open(const std::string& host_path, PixelLayout layout,
                              std::string* error) override;

  // Every path Open was asked for, in order.
  std::vector<std::string> open_requests;

  // A picture of the format whose every pixel is `pixel` (a 16-bit value), due at `time`.
  static MovieFrame SolidFrame(const MovieFormat& format, double time, uint16_t pixel);

 private:
  Clock& clock_;
  std::map<std::string, ScriptedMovie> scripts_;
  std::map<std::string, std::shared_ptr<MovieRecord>> records_;
};

}  // namespace platform::headless
