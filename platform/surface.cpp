#include "platform/surface.h"

#include <algorithm>
#include <new>

namespace platform {

uint16_t PackColorRef(uint32_t colorref, PixelLayout layout) {
  uint32_t r = colorref & 0xFF;
  uint32_t g = (colorref >> 8) & 0xFF;
  uint32_t b = (colorref >> 16) & 0xFF;
  if (layout == PixelLayout::kRgb565) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  }
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

uint32_t UnpackToColorRef(uint16_t pixel, PixelLayout layout) {
  uint32_t r5, g, b5;
  if (layout == PixelLayout::kRgb565) {
    r5 = (pixel >> 11) & 0x1F;
    uint32_t g6 = (pixel >> 5) & 0x3F;
    b5 = pixel & 0x1F;
    g = (g6 << 2) | (g6 >> 4);
  } else {
    r5 = (pixel >> 10) & 0x1F;
    uint32_t g5 = (pixel >> 5) & 0x1F;
    b5 = pixel & 0x1F;
    g = (g5 << 3) | (g5 >> 2);
  }
  uint32_t r = (r5 << 3) | (r5 >> 2);
  uint32_t b = (b5 << 3) | (b5 >> 2);
  return r | (g << 8) | (b << 16);
}

std::unique_ptr<Surface> Surface::Create(int width, int height, PixelLayout layout,
                                         const SurfaceOptions& options) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  int padding = std::clamp(options.pitch_padding, 0, 4096);
  padding += padding & 1;
  size_t pitch = static_cast<size_t>(width) * 2 + static_cast<size_t>(padding);
  size_t bytes = pitch * static_cast<size_t>(height);
  if (bytes > kMaxBytes) return nullptr;
  std::unique_ptr<Surface> surface(new (std::nothrow) Surface());
  if (!surface) return nullptr;
  surface->pixels_.reset(new (std::nothrow) uint16_t[bytes / 2]());
  if (!surface->pixels_) return nullptr;
  surface->width_ = width;
  surface->height_ = height;
  surface->pitch_ = static_cast<int>(pitch);
  surface->row_words_ = pitch / 2;
  surface->layout_ = layout;
  surface->video_memory_ = options.video_memory;
  return surface;
}

Surface::~Surface() {
  if (back_ != nullptr) back_->front_ = nullptr;
  if (front_ != nullptr) front_->back_ = nullptr;
}

bool Surface::Lock(SurfaceLock& out) {
  if (IsLost()) return false;
  ++lock_count_;
  out.bits = reinterpret_cast<uint8_t*>(pixels_.get());
  out.pitch = pitch_;
  out.width = width_;
  out.height = height_;
  out.layout = layout_;
  return true;
}

void Surface::Unlock() {
  if (lock_count_ > 0) --lock_count_;
}

bool Surface::IsLost() const { return lost_ || (front_ != nullptr && front_->lost_); }

bool Surface::Restore() {
  if (restore_fails_) return false;
  // Restoring either surface of a flip chain restores both; only lost pixels turn to junk.
  Surface& front = front_ != nullptr ? *front_ : *this;
  if (&front != this && front.restore_fails_) return false;
  const bool chain_lost = front.lost_;
  for (Surface* s : {&front, front.back_}) {
    if (s == nullptr || !(s->lost_ || chain_lost)) continue;
    s->lost_ = false;
    std::fill_n(s->pixels_.get(), s->size_bytes() / 2, kLostSurfaceJunk);
  }
  return true;
}

void Surface::AttachBackBuffer(Surface& back) {
  back_ = &back;
  back.front_ = this;
}

bool Surface::ExchangePixels(Surface& other) {
  if (&other == this) return true;
  if (other.width_ != width_ || other.height_ != height_ || other.pitch_ != pitch_ ||
      other.layout_ != layout_) {
    return false;
  }
  std::swap(pixels_, other.pixels_);
  return true;
}

}  // namespace platform
