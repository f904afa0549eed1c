#pragma once
// The portable 16-bit surface that every display backend and the engine's drawing code share: a
// rectangle of 16-bit pixels in one of the two layouts the display may choose, addressed row by
// row through the pitch (bytes from one row to the next, never assumed to be width x 2).
//
// A surface also carries what the engine's drawing rules need: a "video memory" flag (kept only so
// the engine can report where a surface would live), a source colour key, a lock that hands out
// the pixel pointer and pitch, and a "lost" flag. A lost surface refuses locks and blits until it
// is restored; restoring does not bring the pixels back (they are filled with a junk pattern, so
// code that forgets to redraw after a loss shows it).
//
// Colours: the engine passes colours as COLORREF values 0x00BBGGRR. PackColorRef turns one into a
// pixel by truncating each channel to its field; UnpackToColorRef turns a pixel back by repeating
// each field's top bits into the low bits (so full fields give 0xFF again).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/pixel_traits.h"

namespace platform {

uint16_t PackColorRef(uint32_t colorref, PixelLayout layout);
uint32_t UnpackToColorRef(uint16_t pixel, PixelLayout layout);

// The pattern a restored surface is filled with.
constexpr uint16_t kLostSurfaceJunk = 0xA5A5;

struct SurfaceOptions {
  bool video_memory = false;
  // Extra bytes at the end of every row (rounded up to an even number). Test backends use it so
  // that code assuming pitch == width x 2 draws visibly wrong pictures.
  int pitch_padding = 0;
};

// What a lock hands out.
struct SurfaceLock {
  uint8_t* bits = nullptr;  // pixel (x, y) is at bits + y x pitch + 2x
  int32_t pitch = 0;        // bytes
  int32_t width = 0;
  int32_t height = 0;
  PixelLayout layout = PixelLayout::kRgb565;
};

// Frees a surface's pixel block, made with the given alignment.
struct SurfacePixelFree {
  size_t alignment = alignof(std::max_align_t);
  void operator()(uint16_t* p) const;
};

class Surface {
 public:
  // Largest width or height accepted, and the largest pixel block.
  static constexpr int kMaxSide = 16384;
  static constexpr size_t kMaxBytes = size_t{256} << 20;

  // A zero-filled surface, or null when the size is not 1..kMaxSide on both sides, the block
  // would exceed kMaxBytes or the memory cannot be had.
  static std::unique_ptr<Surface> Create(int width, int height, PixelLayout layout,
                                         const SurfaceOptions& options = {});

  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();

  int width() const { return width_; }
  int height() const { return height_; }
  int pitch() const { return pitch_; }
  PixelLayout layout() const { return layout_; }
  bool video_memory() const { return video_memory_; }
  // Bytes of the pixel block: height x pitch.
  size_t size_bytes() const { return static_cast<size_t>(height_) * static_cast<size_t>(pitch_); }

  // Source colour key (used by keyed blits).
  void SetColorKey(uint16_t key) {
    color_key_ = key;
    has_color_key_ = true;
  }
  bool has_color_key() const { return has_color_key_; }
  uint16_t color_key() const { return color_key_; }

  // Locks the whole surface. False (and `out` untouched) while the surface is lost. Locks nest:
  // each successful Lock needs one Unlock.
  bool Lock(SurfaceLock& out);
  // The same for a caller that only reads the pixels: the change stamp stays where it was, so
  // what drawing code keeps about the picture stays valid (a sprite drawn turned or translucent
  // keeps its key scan). Released with Unlock.
  bool LockForReading(SurfaceLock& out);
  void Unlock();
  bool locked() const { return lock_count_ > 0; }

  // Lost state. The back buffer of a flip chain is lost whenever its front is.
  bool IsLost() const;
  void SetLost(bool lost) { lost_ = lost; }
  // Clears the lost flag (of the chain's back buffer too) and fills the pixels with
  // kLostSurfaceJunk. False, with nothing changed, while a test has made restoring fail.
  bool Restore();
  void SetRestoreFails(bool fails) { restore_fails_ = fails; }

  // Flip chain: makes `back` the back buffer of this (front) surface.
  void AttachBackBuffer(Surface& back);
  Surface* back_buffer() const { return back_; }
  // Exchanges the pixel memory of two surfaces of the same size, pitch and layout (the flip).
  // False, with nothing changed, when they differ.
  bool ExchangePixels(Surface& other);

  // Direct pixel access for the portable drawing code, which checks the lost and locked state
  // itself. y must lie in 0..height-1. A writable row moves the change stamp on.
  uint16_t* Row(int y) {
    ++stamp_;
    return pixels_.get() + static_cast<size_t>(y) * row_words_;
  }
  const uint16_t* Row(int y) const { return pixels_.get() + static_cast<size_t>(y) * row_words_; }
  // Whether two surfaces currently share pixel memory (only ever the same surface).
  bool SamePixels(const Surface& other) const { return pixels_.get() == other.pixels_.get(); }

  // The change stamp: moves on whenever the pixels may change (a writable row or a lock handed
  // out, an exchange, a restore), so that drawing code may keep what it found out about the
  // pixels for as long as the stamp stays where it was. No two surfaces share a stamp.
  uint64_t stamp() const { return stamp_; }
  // What the last keyed copy out of this surface found: inside the rectangle it read (left, top,
  // right, bottom, right/bottom exclusive), the pixels that differ from `key` all lie in `box`
  // (empty when there are none). Valid only while `stamp` equals the surface's stamp. Apart
  // from that: the rows [solid_top, solid_bottom) hold no pixel equal to `solid_key` (the longest
  // such run), valid while `solid_stamp` equals the surface's stamp.
  struct KeyScan {
    uint64_t stamp = ~uint64_t{0};
    uint16_t key = 0;
    int32_t read[4] = {0, 0, 0, 0};
    int32_t box[4] = {0, 0, 0, 0};
    uint64_t solid_stamp = ~uint64_t{0};
    uint16_t solid_key = 0;
    int32_t solid_top = 0;
    int32_t solid_bottom = 0;
  };
  KeyScan& key_scan() const { return key_scan_; }

 private:
  Surface() = default;

  int width_ = 0;
  int height_ = 0;
  int pitch_ = 0;
  size_t row_words_ = 0;
  PixelLayout layout_ = PixelLayout::kRgb565;
  bool video_memory_ = false;
  std::unique_ptr<uint16_t[], SurfacePixelFree> pixels_;
  bool has_color_key_ = false;
  uint16_t color_key_ = 0;
  int lock_count_ = 0;
  bool lost_ = false;
  bool restore_fails_ = false;
  uint64_t stamp_ = 0;
  mutable KeyScan key_scan_;  // what readers found out; not part of the picture
  Surface* front_ = nullptr;  // set on a flip chain's back buffer
  Surface* back_ = nullptr;   // set on a flip chain's front
};

}  // namespace platform
