#include "engine/movie/movie_renderer.h"

#include <algorithm>
#include <cstring>

#include "engine/gfx/display/ddraw_func.h"
#include "engine/movie/movie.h"
#include "engine/core/debug_trace.h"
#include "platform/display.h"
#include "platform/surface.h"

namespace {

constexpr Rect kScreenRect{0, 0, kScreenWidth, kScreenHeight};

}  // namespace

CMovieRenderer::CMovieRenderer(CMovie& player, CDdrawFunc& ddraw, platform::Display* display,
                               platform::Surface* primary, int back_buffer, int* result)
    : player_(player), ddraw_(ddraw) {
  int ok = 1;
  if (display == nullptr || primary == nullptr) {
    ok = 0;
  } else {
    display_ = display;
    primary_ = primary;
    if (back_buffer != 0) {
      back_buffer_ = primary->back_buffer();
      if (back_buffer_ == nullptr) ok = 0;
    }
  }
  if (result != nullptr) *result = ok;
}

CMovieRenderer::~CMovieRenderer() = default;

int CMovieRenderer::CheckMediaType(const platform::MovieFormat& type) const {
  if (primary_ == nullptr) return 0;
  // The display is always a 16-bit mode: the pictures must be 16-bit in its own layout.
  if (type.bits_per_pixel != 16 || type.layout != primary_->layout()) return 0;
  if (type.width <= 0 || type.height <= 0 || type.width > platform::Surface::kMaxSide ||
      type.height > platform::Surface::kMaxSide) {
    return 0;
  }
  return 1;
}

int CMovieRenderer::SetMediaType(const platform::MovieFormat& type) {
  type_ = type;
  target_.reset();
  if (display_ == nullptr) return 0;
  target_ = display_->CreateSurface(platform::SurfaceRole::kSystem, type.width, type.height);
  if (!target_) {
    DebugPrint("CMovieRenderer::SetMediaType: no %dx%d surface\n", type.width, type.height);
    return 0;
  }
  return 1;
}

void CMovieRenderer::SetRect(int x0, int y0, int x1, int y1) {
  dest_x_ = x0;
  dest_y_ = y0;
  dest_width_ = x1 - x0;
  dest_height_ = y1 - y0;
}

void CMovieRenderer::SetSrcMargin(int left, int top, int right, int bottom) {
  trim_left_ = left;
  trim_top_ = top;
  trim_right_ = right;
  trim_bottom_ = bottom;
}

int CMovieRenderer::DoRenderSample(const platform::MovieFrame* sample) {
  if (end_check_) end_check_();
  if (!target_ || sample == nullptr) return 0;

  const int w = type_.width;
  const int h = type_.height;
  const uint32_t stride = platform::MovieRowStride(w, type_.bits_per_pixel);
  const size_t row_bytes = static_cast<size_t>(w) * static_cast<size_t>(type_.bits_per_pixel / 8);
  if (sample->width != w || sample->height != h || sample->bits_per_pixel != type_.bits_per_pixel ||
      sample->layout != type_.layout) {
    DebugPrint("CMovieRenderer::DoRenderSample: a %dx%d %d-bit picture in a %dx%d %d-bit movie\n",
               sample->width, sample->height, sample->bits_per_pixel, w, h, type_.bits_per_pixel);
    return 0;
  }
  if (stride == 0 || sample->pixels.size() < static_cast<size_t>(stride) * static_cast<size_t>(h)) {
    DebugPrint("CMovieRenderer::DoRenderSample: picture of %zu bytes, %dx%d needs %zu\n",
               sample->pixels.size(), w, h, static_cast<size_t>(stride) * static_cast<size_t>(h));
    return 0;
  }

  platform::SurfaceLock lock;
  if (!target_->Lock(lock)) return 0;
  if (lock.bits == nullptr) {
    target_->Unlock();
    return 0;
  }
  for (int y = 0; y < h; ++y) {
    std::memcpy(lock.bits + static_cast<size_t>(y) * static_cast<size_t>(lock.pitch),
                sample->pixels.data() + static_cast<size_t>(y) * stride, row_bytes);
  }
  target_->Unlock();
  return Present();
}

int CMovieRenderer::Present() {
  const int W = target_->width();
  const int H = target_->height();
  // A trim of 0 or less cuts nothing; trims that meet or cross leave nothing to show.
  Rect source{trim_left_ > 0 ? trim_left_ : 0, trim_top_ > 0 ? trim_top_ : 0,
              trim_right_ > 0 ? W - trim_right_ : W, trim_bottom_ > 0 ? H - trim_bottom_ : H};
  source.left = std::min(source.left, W);
  source.top = std::min(source.top, H);
  source.right = std::clamp(source.right, 0, W);
  source.bottom = std::clamp(source.bottom, 0, H);
  if (source.right <= source.left || source.bottom <= source.top) {
    DebugPrint("CMovieRenderer::Present: the trims leave nothing of the %dx%d picture\n", W, H);
    return 0;
  }
  const Rect destination{dest_x_, dest_y_, dest_x_ + dest_width_, dest_y_ + dest_height_};

  CMovie& player = player_;
  CDdrawFunc& ddraw = ddraw_;
  player.CallOverlay(2);
  if (primary_->IsLost()) {
    // The screen was lost: this picture is dropped; a restored screen shows the snapshot taken
    // when the movie started, and the next picture draws normally.
    if (!ddraw.RestoreAllSurfaces()) return 0;
    ddraw.Blt(SURFACE_SCRATCH2, kScreenRect, SURFACE_PRIMARY, kScreenRect, 0);
    DebugPrint("surface lost1\n");
    display_->Present(*primary_);
    return 0;
  }
  if (!ddraw.BltWait(primary_, &destination, target_.get(), &source, kBltWait, nullptr)) return 0;
  if (!display_->Present(*primary_)) return 0;
  // What the overlay draws on the screen is shown at once, as on a screen drawn directly.
  if (player.CallOverlay(3)) display_->Present(*primary_);
  return 1;
}
