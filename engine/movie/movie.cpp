#include "engine/movie/movie.h"

#include <string>

#include "engine/gfx/display/ddraw_func.h"
#include "engine/core/debug_trace.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/surface.h"
#include "platform/window.h"

namespace {

// Seconds x 10000 for the trace, held inside the range of an int.
int TraceTime(double seconds) {
  const double units = seconds * 10000.0;
  if (!(units > -2e9)) return -2000000000;
  return units < 2e9 ? static_cast<int>(units) : 2000000000;
}

}  // namespace

// ---- MovieObject ----

MovieObject::~MovieObject() { Close(); }

void MovieObject::SetRect(int x0, int y0, int x1, int y1) { rect_ = {x0, y0, x1, y1}; }

void MovieObject::SetSrcMargin(int left, int top, int right, int bottom) {
  trims_[0] = left;
  trims_[1] = top;
  trims_[2] = right;
  trims_[3] = bottom;
}

int MovieObject::Open(const char* path, platform::Display* display, platform::Surface* primary,
                      int back_buffer, std::function<int()> end_check) {
  Close();
  platform::Files* files = seams_.files;
  platform::Movies* movies = seams_.movies;
  std::string host;
  if (path == nullptr || files == nullptr || movies == nullptr || !files->HostPath(path, &host)) {
    DebugPrint("MovieObject::Open: no movie file at %s\n", path != nullptr ? path : "(null)");
    DebugPrint("open failed.\n");
    return -2;
  }
  int made = 0;
  auto renderer = std::make_unique<CMovieRenderer>(player_, ddraw_, display, primary, back_buffer, &made);
  if (made == 0) {
    DebugPrint("open failed.\n");
    return -2;
  }
  std::string error;
  std::unique_ptr<platform::Movie> movie = movies->Open(host, primary->layout(), &error);
  if (!movie) {
    DebugPrint("MovieObject::Open: %s\n", error.c_str());
    DebugPrint("open failed.\n");
    return -2;
  }
  const platform::MovieInfo& info = movie->info();
  if (!info.has_video) {
    DebugPrint("render object not found.\n");
    return -1;
  }
  if (!renderer->CheckMediaType(info.format) || !renderer->SetMediaType(info.format)) {
    DebugPrint("MovieObject::Open: %dx%d %d-bit pictures refused\n", info.format.width,
               info.format.height, info.format.bits_per_pixel);
    DebugPrint("open failed.\n");
    return -2;
  }
  renderer->SetRect(rect_.left, rect_.top, rect_.right, rect_.bottom);
  renderer->SetSrcMargin(trims_[0], trims_[1], trims_[2], trims_[3]);
  renderer->SetEndCheck(std::move(end_check));
  duration_ = info.duration;
  movie_ = std::move(movie);
  renderer_ = std::move(renderer);
  path_ = path;
  last_picture_ = 0;
  state_ = 1;
  return 0;
}

void MovieObject::Play() {
  if (!movie_) return;
  state_ = 2;
  movie_->Run();
}

void MovieObject::Pause() {
  if (!movie_) return;
  movie_->Pause();
  state_ = 4;
}

void MovieObject::Stop() {
  if (!movie_) return;
  movie_->Stop();
  state_ = 3;
}

void MovieObject::Close() {
  if (state_ != 3) Stop();
  movie_.reset();
  renderer_.reset();
}

bool MovieObject::Stalled() {
  return movie_ && movie_->Position() - last_picture_ >= kStallSeconds;
}

int MovieObject::End() {
  if (!movie_) return 1;
  if (Stalled()) {
    DebugPrint("MovieObject::End: %s gave no picture from %.2f s to %.2f s (stated length %.2f s): "
               "taken as ended\n",
               path_.c_str(), last_picture_, movie_->Position(), duration_);
    return 1;
  }
  const double position = movie_->Position();
  DebugPrint("MovieObject::End = MovieTime=%d NowPos=%d\n", TraceTime(duration_),
             TraceTime(position));
  // A stated length of 0 says nothing, an estimated one (an elementary stream) or one that ends
  // before the last picture is not the end: such movies end with their stream.
  if (duration_ > 0 && duration_ - position < 0.1 && movie_->StatedLengthHolds()) return 1;
  // The pictures may also end before the stated length (a longer sound track, a short file):
  // the movie ends once its last picture has had its time on screen.
  return movie_->EndOfStream() ? 1 : 0;
}

double MovieObject::GetPos() { return movie_ ? movie_->Position() : -1.0; }

int MovieObject::RenderDue() {
  if (!movie_ || !renderer_ || state_ != 2) return -1;
  const int due = movie_->NextDueMs();
  // Nothing due: only a decoder that has given nothing for a second needs the end check now.
  if (due != 0 && !Stalled()) return due;
  const bool taken = due == 0 && movie_->TakeFrame(&frame_);
  if (taken) last_picture_ = movie_->Position();
  renderer_->DoRenderSample(taken ? &frame_ : nullptr);
  // The end check may have paused the movie; the overlay may have closed it.
  if (!movie_ || state_ != 2) return -1;
  return movie_->NextDueMs();
}

// ---- CMovie ----

CMovie::~CMovie() = default;

int CMovie::Play(platform::Window*, const char* path) {
  if (state_ != kMovieNone) return 0;
  state_ = kMoviePlaying;
  stop_request_ = 0;  // a stop asked of the previous movie is not this one's
  app_.loop_mode.store(0);

  CDdrawFunc& ddraw = ddraw_;
  // A snapshot of the screen: the composed layers in scratch 13 and the cross-fade picture 9.
  ddraw.CopySurface(SURFACE_PRIMARY, SURFACE_BACK, 0);
  ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_SCRATCH2);
  ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
  ddraw.SetUpdate(0, 1);  // the compose is held while the movie runs

  if (object_) {
    object_.reset();
    DebugPrint("remake movie object\n");
  } else {
    DebugPrint("making movie object\n");
  }
  object_ = std::make_unique<MovieObject>(*this, ddraw_, seams_);
  object_->SetRect(dest_.left, dest_.top, dest_.right, dest_.bottom);
  object_->SetSrcMargin(trims_[0], trims_[1], trims_[2], trims_[3]);
  if (object_->Open(path, ddraw.GetDirectDraw(), ddraw.GetSurface(SURFACE_PRIMARY), 1,
                    [this] { return CheckEnd(); }) < 0) {
    DebugPrint("DS error MovieOpen failed.\n");
    // Nothing plays: everything the start changed goes back, so that the game goes on.
    object_.reset();
    ddraw.SetUpdate(0, 0);
    app_.loop_mode.store(1);
    state_ = kMovieNone;
    return 0;
  }
  object_->Play();
  return 1;
}

void CMovie::Stop() {
  if (state_ == kMovieNone) return;
  overlay_ = nullptr;
  if (object_) stop_request_ = 1;
}

void CMovie::Pause() {
  if (state_ != kMoviePlaying) return;
  state_ = kMoviePaused;
  if (object_) object_->Pause();
}

void CMovie::Resume() {
  if (state_ != kMoviePaused) return;
  state_ = kMoviePlaying;
  if (object_) object_->Play();
}

void CMovie::OnGraphEvent(platform::Window*) {
  if (state_ != kMovieEnded) return;
  if (object_) {
    object_->Close();
    object_.reset();
  }
  CDdrawFunc& ddraw = ddraw_;
  ddraw.SetUpdate(0, 0);
  // The movie's rectangle on the screen is blanked: scratch 13 is cleared to black and copied
  // onto it; then the whole picture is composed again, so that what the layers hold under the
  // rectangle shows from the next frame on. Black, not the transparent colour key: the copy goes
  // straight onto the visible screen, where the key colour is no transparency but a cyan box
  // until that compose.
  ddraw.ClearSurface(SURFACE_SCRATCH2, 0);
  ddraw.Blt(SURFACE_SCRATCH2, dest_, SURFACE_PRIMARY, dest_, 0);
  platform::Display* display = ddraw.GetDirectDraw();
  platform::Surface* primary = ddraw.GetSurface(SURFACE_PRIMARY);
  if (display != nullptr && primary != nullptr) display->Present(*primary);
  ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  state_ = kMovieNone;
}

double CMovie::GetPos() { return object_ ? object_->GetPos() : -1.0; }

int CMovie::SetDestRect(int x0, int y0, int x1, int y1) {
  if (state_ != kMovieNone) return 0;
  if (x0 < 0 || x0 >= x1 || x1 > kScreenWidth || y0 < 0 || y0 >= y1 || y1 > kScreenHeight) return 0;
  dest_ = {x0, y0, x1, y1};
  return 1;
}

int CMovie::SetSrcMargin(int left, int top, int right, int bottom) {
  if (state_ != kMovieNone) return 0;
  if (left < 0 || left >= kScreenWidth || right < 0 || right >= kScreenWidth || top < 0 ||
      top >= kScreenHeight || bottom < 0 || bottom >= kScreenHeight) {
    return 0;
  }
  trims_[0] = left;
  trims_[1] = top;
  trims_[2] = right;
  trims_[3] = bottom;
  return 1;
}

int CMovie::SetPlayMode(int mode) {
  if (state_ != kMovieNone || (mode != 1 && mode != 2)) return 0;
  play_mode_ = mode;
  return 1;
}

int CMovie::CheckEnd() {
  if (!object_) return 1;
  if (object_->End() == 0 && stop_request_ == 0) return 1;
  stop_request_ = 0;
  object_->Pause();
  state_ = kMovieEnded;
  app_.loop_mode.store(1);
  if (platform::Window* window = app_.main_window) {
    window->PostEvent({platform::EventKind::kUser13, 0});
  }
  return 1;
}

int CMovie::CallOverlay(int phase) {
  if (phase != 3 || state_ != kMoviePlaying || !overlay_) return 0;
  overlay_();
  return 1;
}

int CMovie::RenderDue() { return object_ ? object_->RenderDue() : -1; }

void CMovie::StopAndClose() {
  if (object_) {
    object_->Close();
    object_.reset();
  }
  stop_request_ = 0;
  if (state_ == kMovieNone) return;
  ddraw_.SetUpdate(0, 0);
  app_.loop_mode.store(1);
  state_ = kMovieNone;
}
