// Alpha blits: clipping, locking (through a system-memory copy while the back buffer is the flip
// buffer) and the choice of the blend blitter.
//
// The blend never stretches: the clipped source and destination rectangles are blended over the
// smaller of their two sizes, so a caller that passes rectangles of different sizes gets the
// overlapping top-left part instead of a source read running past its rectangle.

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"

using platform::Surface;

namespace {

bool InsideSurface(const Rect& r, const Surface& s) {
  return r.left >= 0 && r.top >= 0 && r.right <= s.width() && r.bottom <= s.height();
}

// Unlocks a surface when the scope ends (only if it was locked here). A source is locked for
// reading only.
class LockGuard {
 public:
  enum Use { kRead, kWrite };
  LockGuard(CDdrawFunc& ddraw, Surface* surface, Use use) : surface_(surface) {
    locked_ = use == kWrite ? ddraw.LockSurface(surface, &desc_) != 0
                            : surface != nullptr && surface->LockForReading(desc_);
  }
  ~LockGuard() {
    if (locked_) surface_->Unlock();
  }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
  bool ok() const { return locked_; }
  const SurfaceDesc& desc() const { return desc_; }

 private:
  Surface* surface_;
  SurfaceDesc desc_;
  bool locked_ = false;
};

}  // namespace

int CDdrawFunc::BltAlpha(Surface* source, Rect source_rect, Surface* destination,
                         Rect destination_rect, int color_key, BlendWord alpha) {
  return BltAlphaWork(source, source_rect, destination, destination_rect, color_key, alpha, 0);
}

int CDdrawFunc::BltAlphaWork(Surface* source, Rect source_rect, Surface* destination,
                             Rect destination_rect, int color_key, BlendWord alpha,
                             uint16_t tint) {
  if (source == nullptr || destination == nullptr) {
    DebugPrint("CDdrawFunc::BltAlphaWork: no %s surface\n",
               source == nullptr ? "source" : "destination");
    return 0;
  }
  Rect s = source_rect;
  Rect d = destination_rect;
  if (ClipBltRect(source, &s, destination, &d, 0, nullptr)) return 1;
  if (!InsideSurface(s, *source)) {
    DebugPrint("CDdrawFunc::BltAlphaWork: source rectangle (%d,%d,%d,%d) outside its %dx%d surface\n",
               s.left, s.top, s.right, s.bottom, source->width(), source->height());
    return 0;
  }
  const int sw = s.right - s.left;
  const int sh = s.bottom - s.top;
  const int dw = d.right - d.left;
  const int dh = d.bottom - d.top;
  const uint32_t level = alpha & 0xFFFFu;
  const uint32_t mode = alpha & 0xFFFF0000u;
  const ScreenCover* cover = CoverFor(destination);
  if (cover != nullptr && cover->Hidden(d)) return 1;  // a layer above overwrites all of it

  if ((mode == kBlendAlpha || mode == kBlendAdd) && flip_mode_ != 0) {
    // The back buffer is the flip buffer: blend on a system-memory copy of the destination
    // rectangle so that the blitter never reads the flip buffer, then copy the result back.
    Surface* copy = CreateSurface(dw, dh);
    if (copy == nullptr) return 1;
    const Rect whole{0, 0, dw, dh};
    if (BltWait(copy, &whole, destination, &d, kBltWait, nullptr)) {
      bool blended = false;
      {
        LockGuard src(*this, source, LockGuard::kRead);
        LockGuard dst(*this, copy, LockGuard::kWrite);
        if (src.ok() && dst.ok()) {
          BltAlphaSoft(src.desc().bits, src.desc().pitch, s.left, s.top, sw, sh, dst.desc().bits,
                       dst.desc().pitch, 0, 0, dw, dh, color_key, level, mode, tint);
          blended = true;
        }
      }
      if (blended) BltWait(destination, &d, copy, &whole, kBltWait, nullptr);
    }
    ReleaseSurface(copy);
    return 1;
  }

  LockGuard src(*this, source, LockGuard::kRead);
  if (!src.ok()) return 1;
  LockGuard dst(*this, destination, LockGuard::kWrite);
  if (!dst.ok()) return 1;
  BltAlphaSoft(src.desc().bits, src.desc().pitch, s.left, s.top, sw, sh, dst.desc().bits,
               dst.desc().pitch, d.left, d.top, dw, dh, color_key, level, mode, tint, cover);
  return 1;
}

void CDdrawFunc::BltAlphaSoft(const void* source, int32_t source_pitch, int32_t source_x,
                              int32_t source_y, int32_t source_width, int32_t source_height,
                              void* destination, int32_t destination_pitch, int32_t destination_x,
                              int32_t destination_y, int32_t destination_width,
                              int32_t destination_height, int color_key, uint32_t level,
                              uint32_t mode, uint16_t tint, const ScreenCover* cover) {
  const int32_t w = std::min(source_width, destination_width);
  const int32_t h = std::min(source_height, destination_height);
  if (source == nullptr || destination == nullptr || w <= 0 || h <= 0) return;
  level = std::min<uint32_t>(level, 256);
  mode &= 0xFFFF0000u;
  const auto key = static_cast<uint16_t>(color_key_);
  const bool rgb565 = MatchedLayout() == platform::PixelLayout::kRgb565;
  BlitBlend16Covered(!rgb565, color_key != 0, destination, destination_pitch, destination_x,
                     destination_y, w, h, source, source_pitch, source_x, source_y, w, level,
                     mode, key, tint, cover != nullptr ? cover->Rows() + destination_y : nullptr,
                     destination_x);
}
