#pragma once
// Movies on FFmpeg (libavformat, libavcodec, libswscale, libswresample): MPEG-1 and MPEG-2 system
// and elementary streams with MPEG audio, and whatever else this FFmpeg build can demux and
// decode.
//
// Threads: each open movie runs one decoder thread of its own. It reads the file, decodes the
// video into pictures in the display's layout (a queue of a few pictures) and the sound into
// 16-bit PCM (a queue of a few seconds), and waits while both queues are full. Everything else
// runs on the caller's (main) thread: the clock, handing out pictures, and feeding the sound
// track into a looping sound buffer of the mixer, about half a second ahead of the play cursor,
// each sample placed where the movie clock says it belongs (a gap of more than 150 ms between
// where the sound stands and where the clock says it should be is closed by skipping sound or
// inserting silence). The main thread calls into the movie at least once per picture while it
// runs, which keeps the sound buffer fed.
//
// The movie clock is the platform's tick count (so a test clock drives it too).
//
// Damaged files: a file that cannot be opened, has no stream FFmpeg recognises or states a picture
// size outside 1..4096 fails to open with a reason; damaged packets are skipped; reading ends at
// the end of the file or at the first read error.

#include <memory>
#include <string>

#include "platform/movie.h"

namespace platform {
class Audio;
class Clock;
}  // namespace platform

namespace platform::ffmpeg {

class FfmpegMovies final : public Movies {
 public:
  // `audio` may be null: movies then play without sound (as they do while its device is closed).
  FfmpegMovies(Clock& clock, Audio* audio) : clock_(clock), audio_(audio) {}

  std::unique_ptr<Movie> Open(const std::string& host_path, PixelLayout layout,
                              std::string* error) override;

 private:
  Clock& clock_;
  Audio* audio_;
};

// Waits (up to timeout_ms of real time) until a movie opened here has decoded every picture that
// is due by its clock's present position and one more, and its sound up to half a second ahead,
// or has reached the end of its file. For tests and checks that move the clock themselves. False
// on time-out or for a movie that is not an FFmpeg one.
bool WaitForDecoder(Movie* movie, int timeout_ms);

}  // namespace platform::ffmpeg
