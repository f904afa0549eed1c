#include "platform/surface.h"

#include <algorithm>
#include <atomic>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

uint16_t PackColorRef(uint32_t colorref, PixelLayout layout) {
  return FormatOf(layout).Pack8(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}

uint32_t UnpackToColorRef(uint16_t pixel, PixelLayout layout) {
  const PixelFormat& f = FormatOf(layout);
  return f.red.To8Repeated(f.red.Field(pixel)) | f.green.To8Repeated(f.green.Field(pixel)) << 8 |
         f.blue.To8Repeated(f.blue.Field(pixel)) << 16;
}

namespace {

// The size of the system's large pages (2 MiB on x86-64 and most Arm systems).
constexpr size_t kLargePage = size_t{2} << 20;

// Every surface's stamps start at a base of its own, far apart, so that a stamp also tells one
// surface from another (one made later at the same address included).
uint64_t NewStampBase() {
  static std::atomic<uint64_t> next{0};
  return next.fetch_add(1, std::memory_order_relaxed) << 40;
}

}  // namespace

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
  surface->stamp_ = NewStampBase();
  // A large block (a layer bigger than the screen) starts at a boundary of the system's large
  // pages and asks for them: a compose reads rows of several such layers far apart, which on
  // small pages would each cost an address translation from memory.
  const size_t alignment = bytes >= kLargePage ? kLargePage : size_t{64};
  auto* pixels = static_cast<uint16_t*>(
      ::operator new[](bytes, std::align_val_t{alignment}, std::nothrow));
  if (pixels == nullptr) return nullptr;
  surface->pixels_ =
      std::unique_ptr<uint16_t[], SurfacePixelFree>(pixels, SurfacePixelFree{alignment});
#if defined(__linux__)
  if (alignment == kLargePage) madvise(pixels, bytes, MADV_HUGEPAGE);
#endif
  std::fill_n(pixels, bytes / 2, uint16_t{0});
  surface->width_ = width;
  surface->height_ = height;
  surface->pitch_ = static_cast<int>(pitch);
  surface->row_words_ = pitch / 2;
  surface->layout_ = layout;
  surface->video_memory_ = options.video_memory;
  return surface;
}

void SurfacePixelFree::operator()(uint16_t* p) const {
  ::operator delete[](p, std::align_val_t{alignment});
}

Surface::~Surface() {
  if (back_ != nullptr) back_->front_ = nullptr;
  if (front_ != nullptr) front_->back_ = nullptr;
}

bool Surface::Lock(SurfaceLock& out) {
  if (!LockForReading(out)) return false;
  ++stamp_;
  return true;
}

bool Surface::LockForReading(SurfaceLock& out) {
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
    ++s->stamp_;
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
  ++stamp_;
  ++other.stamp_;
  return true;
}

}  // namespace platform
