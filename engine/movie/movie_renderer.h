#pragma once
// The movie renderer `CMovieRenderer`: takes the movie's decoded pictures (in the display's 16-bit
// layout only), copies each into an off-screen surface of its own in system memory, and puts the
// trimmed picture straight onto the visible primary surface, stretched (nearest pixel) into the
// movie's destination rectangle, without composing or flipping; then the display shows the
// primary. Before each picture it runs the player's end check, after it the player's overlay.
//
// Everything here runs on the main thread: the main loop hands over each picture when it is due
// (MovieObject::RenderDue), so a picture never meets a compose (the player holds the compose while
// a movie plays) and the display is only presented from the main thread.

#include <functional>
#include <memory>

#include "engine/gfx/gfx_types.h"
#include "platform/movie.h"

namespace platform {
class Display;
class Surface;
}  // namespace platform

class CDdrawFunc;
class CMovie;

class CMovieRenderer {
 public:
  // Needs the display and its primary surface; with `back_buffer` set, also the primary's
  // attached back buffer. `result` receives 1 when the renderer can work, else 0. The player
  // gets the overlay call after each picture; the engine display restores a lost screen.
  CMovieRenderer(CMovie& player, CDdrawFunc& ddraw, platform::Display* display,
                 platform::Surface* primary, int back_buffer, int* result);
  ~CMovieRenderer();
  CMovieRenderer(const CMovieRenderer&) = delete;
  CMovieRenderer& operator=(const CMovieRenderer&) = delete;

  // Accepts only 16-bit pictures in the primary's pixel layout, of a size a surface can have.
  // 1 accepted, 0 refused.
  int CheckMediaType(const platform::MovieFormat& type) const;
  // Keeps the type and makes the target surface of the picture's size; 1, or 0 when it cannot
  // be made.
  int SetMediaType(const platform::MovieFormat& type);

  // One picture: the end check first (it may end the movie; the picture is drawn all the same),
  // then the copy and the presentation. A null sample runs the end check alone (the stream has
  // ended). Returns 1 when the picture was shown, else 0: no target surface, a picture that does
  // not match the type or is shorter than its size says, trims that leave nothing, a lost screen
  // (repainted from the snapshot in surface 13 instead) or a failed blit.
  int DoRenderSample(const platform::MovieFrame* sample);

  // The destination: x0, y0, x1, y1 stored as x, y, width, height.
  void SetRect(int x0, int y0, int x1, int y1);
  // Pixels cut off each edge of the picture; 0 or less cuts nothing.
  void SetSrcMargin(int left, int top, int right, int bottom);
  void SetEndCheck(std::function<int()> end_check) { end_check_ = std::move(end_check); }

  platform::Surface* target() const { return target_.get(); }

 private:
  // Puts the target onto the primary and presents it; 1 when shown.
  int Present();

  CMovie& player_;
  CDdrawFunc& ddraw_;
  std::function<int()> end_check_;
  platform::MovieFormat type_;
  platform::Display* display_ = nullptr;
  platform::Surface* primary_ = nullptr;
  platform::Surface* back_buffer_ = nullptr;
  std::unique_ptr<platform::Surface> target_;
  int dest_x_ = 32;
  int dest_y_ = 16;
  int dest_width_ = 576;
  int dest_height_ = 320;
  int trim_left_ = 0;
  int trim_top_ = 30;
  int trim_right_ = 0;
  int trim_bottom_ = 27;
};
