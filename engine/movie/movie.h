#pragma once
// The movie player `CMovie` (one per engine context) and the wrapper of one movie,
// `MovieObject`.
//
// While a movie plays the player holds the engine's compose (bit 0 of the update word), switches
// the message loop to loop mode 0 (it waits for events and runs one frame after each), and the
// movie's pictures go straight onto the primary surface through the renderer. The main loop asks
// RenderDue in every iteration: it shows the picture that is due (end check, picture, overlay)
// and says how long the loop may wait for an event before the next one is due. The end check
// finishes a movie that is within 0.1 s of its stated length (when that length holds), whose last
// picture has had its time on screen, that has given no picture for a second (a damaged stream;
// the quit request is refused only while pictures come), or that was asked to stop: the movie is
// paused, the state becomes 3, loop mode 1 returns and the user-13 event is posted; its handler (OnGraphEvent) closes the movie, releases the compose,
// blanks the movie's rectangle on the screen and asks for a full compose.
//
// States (`MovieState`): 0 none, 1 playing, 2 paused, 3 ended and waiting for the clean-up. The
// settings (destination, trims, play mode) change only in state 0.
//
// Movie files are found by the callers and handed over as full game paths; the files seam turns
// them into host paths and the movie seam (platform/movie.h) opens them.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/frame_rate.h"
#include "engine/gfx/gfx_types.h"
#include "platform/platform.h"
#include "engine/movie/movie_renderer.h"
#include "platform/movie.h"

namespace platform {
class Display;
class Surface;
class Window;
}  // namespace platform

using MovieState = int32_t;
constexpr MovieState kMovieNone = 0;
constexpr MovieState kMoviePlaying = 1;
constexpr MovieState kMoviePaused = 2;
constexpr MovieState kMovieEnded = 3;

// The overlay: called after each presented picture while a movie plays.
using MovieOverlayFunc = std::function<void()>;

class CDdrawFunc;
class CMovie;

class MovieObject {
 public:
  // state(): 0 created, 1 opened, 2 running, 3 stopped, 4 paused.
  // The player and the display the renderer works with; the seams open the file.
  MovieObject(CMovie& player, CDdrawFunc& ddraw, platform::Platform& seams)
      : player_(player), ddraw_(ddraw), seams_(seams) {}
  ~MovieObject();
  MovieObject(const MovieObject&) = delete;
  MovieObject& operator=(const MovieObject&) = delete;

  // Handed to the renderer when the movie is opened.
  void SetRect(int x0, int y0, int x1, int y1);
  void SetSrcMargin(int left, int top, int right, int bottom);

  // Opens the movie at a full game path and makes its renderer on the display's primary surface.
  // 0 on success; -1 when the file has no pictures to render; -2 when the movie cannot be opened
  // or its renderer cannot be made or refuses the pictures' format.
  int Open(const char* path, platform::Display* display, platform::Surface* primary,
           int back_buffer, std::function<int()> end_check);
  void Play();
  void Pause();
  void Stop();
  // Stops (unless stopped) and lets go of the movie and the renderer.
  void Close();
  // 1 when there is no movie, when less than 0.1 s of its stated length is left and the movie
  // says that length holds (not an estimate, no picture beyond it), when its stream has ended
  // and the last picture has had its time on screen, or when no picture has come for a second of
  // the movie clock (a damaged stream whose decoder gives nothing more: the file is named in the
  // trace); else 0.
  int End();
  // No picture taken for kStallSeconds of the movie clock while it runs.
  bool Stalled();
  static constexpr double kStallSeconds = 1.0;

  // The movie clock in seconds; -1.0 without a movie.
  double GetPos();
  // The main-loop step while the movie runs: shows the due picture (through the renderer) and
  // returns the milliseconds until the next is due; -1 when no picture will come without a
  // change (no movie, or not running).
  int RenderDue();

  int state() const { return state_; }
  double duration() const { return duration_; }
  // The open movie and the renderer (null before Open and after Close).
  platform::Movie* movie() const { return movie_.get(); }
  CMovieRenderer* renderer() const { return renderer_.get(); }

 private:
  int state_ = 0;
  double duration_ = 0;
  CMovie& player_;
  CDdrawFunc& ddraw_;
  platform::Platform& seams_;
  std::unique_ptr<platform::Movie> movie_;
  std::unique_ptr<CMovieRenderer> renderer_;
  platform::MovieFrame frame_;  // the picture being shown (its buffer is reused)
  std::string path_;            // the game path, for traces
  double last_picture_ = 0;     // movie clock of the last picture taken (or of the start)
  Rect rect_{32, 16, 608, 336};
  int trims_[4] = {0, 30, 0, 27};
};

class CMovie {
 public:
  // `seams` opens movie files; `app` holds the loop mode and the main window that gets the end
  // notice; `ddraw` is the display whose compose the player holds while a movie plays.
  CMovie(platform::Platform& seams, CFrameRate& app, CDdrawFunc& ddraw)
      : seams_(seams), app_(app), ddraw_(ddraw) {}
  ~CMovie();
  CMovie(const CMovie&) = delete;
  CMovie& operator=(const CMovie&) = delete;

  // Starts a movie: 1, or 0 when one is active (nothing changes) or it cannot be opened (the
  // player is back in state 0 with loop mode 1 and the compose released).
  int Play(platform::Window* window, const char* path);
  // Asks the playing movie to end: the overlay is dropped at once, the movie ends at its next
  // picture (after Resume when paused).
  void Stop();
  void Pause();   // 1 -> 2
  void Resume();  // 2 -> 1
  MovieState GetMovieState() const { return state_; }
  // The handler of the user-13 event: the clean-up of an ended movie (state 3), else nothing.
  void OnGraphEvent(platform::Window* window);
  // The movie clock in seconds; -1.0 without a movie.
  double GetPos();

  void SetOverlayCallback(MovieOverlayFunc overlay) { overlay_ = std::move(overlay); }
  // Accepted (1) only in state 0 with 0 <= x0 < x1 <= 640 and 0 <= y0 < y1 <= 480.
  int SetDestRect(int x0, int y0, int x1, int y1);
  // Accepted (1) only in state 0 with each left/right trim in 0..639 and top/bottom in 0..479.
  int SetSrcMargin(int left, int top, int right, int bottom);
  // Accepted (1) only in state 0 for modes 1 and 2. Both play through the own renderer.
  int SetPlayMode(int mode);

  // The end check, run by the renderer before every picture. Always 1.
  int CheckEnd();
  // Called by the renderer with phase 2 before and 3 after presenting a picture; runs the
  // overlay for phase 3 while the state is 1. Returns 1 when the overlay ran.
  int CallOverlay(int phase);

  // The main-loop step in loop mode 0 (see the top of this file): milliseconds until the next
  // picture is due, or -1.
  int RenderDue();
  // Ends any movie at once (shutdown, a scene torn down under its movie): closes it, releases
  // the compose, loop mode 1, state 0.
  void StopAndClose();

  // For tests and checks.
  MovieObject* movie_object() const { return object_.get(); }
  Rect dest_rect() const { return dest_; }
  // Left, top, right, bottom trims of the source picture.
  std::array<int, 4> src_margin() const { return {trims_[0], trims_[1], trims_[2], trims_[3]}; }
  int play_mode() const { return play_mode_; }
  int stop_request() const { return stop_request_; }

 private:
  MovieState state_ = kMovieNone;
  MovieOverlayFunc overlay_;
  int play_mode_ = 2;
  Rect dest_{32, 16, 608, 336};
  int trims_[4] = {0, 30, 0, 27};
  platform::Platform& seams_;
  CFrameRate& app_;
  CDdrawFunc& ddraw_;
  std::unique_ptr<MovieObject> object_;
  int stop_request_ = 0;
};
