#include "engine/gfx/pixels/blend_blit.h"

#include <algorithm>
#include <cstddef>

#include "engine/gfx/pixels/pixel_kernels.h"
#include "platform/pixel_traits.h"

// Every blitter here works out its area and hands it to a pixel kernel (pixel_kernels.h): the
// vector form, rows of as many pixels at a time as the processor's vectors hold; or, when an
// input partly overlaps the destination, the scalar form, one pixel at a time, so that each read
// sees the writes before it exactly as the pixel-at-a-time order does.

namespace {

using pixel_kernels::Rows;
using Rgb565 = platform::Rgb565Traits;
using Rgb555 = platform::Rgb555Traits;

// The layout of a table-driven blit's layout argument.
constexpr platform::PixelLayout BrightLayoutOf(int layout) {
  return layout == kBrightLayout565 ? platform::PixelLayout::kRgb565
                                    : platform::PixelLayout::kRgb555;
}
constexpr bool Is555(int layout) {
  return BrightLayoutOf(layout) == platform::PixelLayout::kRgb555;
}

uint8_t* PixelAt(void* base, int32_t pitch, int32_t x, int32_t y) {
  return static_cast<uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * 2;
}
const uint8_t* PixelAt(const void* base, int32_t pitch, int32_t x, int32_t y) {
  return static_cast<const uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * 2;
}

// The area of a call without a second source (it is never read).
Rows OneSource(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, const void* src,
               int32_t src_pitch, int32_t src_x, int32_t src_y, int32_t width, int32_t height) {
  const uint8_t* first = PixelAt(src, src_pitch, src_x, src_y);
  return {PixelAt(dst, dst_pitch, dst_x, dst_y), dst_pitch, first, src_pitch, nullptr, 0, width,
          height};
}

// The byte span [lo, hi) that `height` rows of `width` pixels cover.
struct Span {
  uintptr_t lo, hi;
};
Span Covered(const uint8_t* first, ptrdiff_t advance, int width, int height) {
  const auto base = reinterpret_cast<uintptr_t>(first);
  const ptrdiff_t last_row = advance * (height - 1);
  const uintptr_t a = base + static_cast<uintptr_t>(std::min<ptrdiff_t>(last_row, 0));
  const uintptr_t b = base + static_cast<uintptr_t>(std::max<ptrdiff_t>(last_row, 0)) +
                      static_cast<uintptr_t>(width) * 2;
  return {a, b};
}
// True when reading `input` a vector ahead of the writes could see a different value than the
// one-pixel-at-a-time order would: the input shares bytes with the destination and is not the
// destination itself, pixel for pixel.
bool Hazard(const Rows& a, const uint8_t* input, ptrdiff_t advance) {
  if (input == nullptr || (input == a.dst && advance == a.dst_advance)) return false;
  const Span d = Covered(a.dst, a.dst_advance, a.width, a.height);
  const Span s = Covered(input, advance, a.width, a.height);
  return s.lo < d.hi && d.lo < s.hi;
}
bool Hazard(const Rows& a) {
  return Hazard(a, a.src, a.src_advance) || Hazard(a, a.aux, a.aux_advance);
}

}  // namespace

void BlitBlend16Covered(bool rgb555, bool honour_key, void* dst, int32_t dst_pitch, int32_t dst_x,
                        int32_t dst_y, int32_t width, int32_t height, const void* src,
                        int32_t src_pitch, int32_t src_x, int32_t src_y, int32_t src_width,
                        uint32_t level, uint32_t mode, uint16_t key, uint16_t tint,
                        const uint64_t* cover_rows, int32_t cover_x) {
  if (width <= 0 || height <= 0) return;
  pixel_kernels::BlendCall call{
      OneSource(dst, dst_pitch, dst_x, dst_y, src, src_pitch, src_x, src_y, width, height),
      std::min<uint32_t>(level, 256),
      mode,
      key,
      tint,
      rgb555,
      honour_key,
      cover_rows,
      cover_x};
  // After `width` pixels the source skips pitch - 2 * source width bytes.
  call.rows.src_advance = src_pitch + 2 * (static_cast<ptrdiff_t>(width) - src_width);
  // Mode 8 without the key reads no source, which may then lie anywhere.
  const bool reads_source = (mode >> 16) != 8 || honour_key;
  if (reads_source && Hazard(call.rows)) {
    pixel_kernels::scalar::Blend(call);
    return;
  }
  pixel_kernels::Blend(call);
}

namespace {

// ---- Brightness tables ------------------------------------------------------------------------

constexpr int kBrightLevel[kBrightTableCount] = {0, 16, 1, 15, 2, 14, 3, 13, 4,
                                                 12, 5, 11, 6, 10, 7, 9, 8, 8};

// One table entry: every channel's upper five bits of pixel p times factor/16, truncated.
template <class L>
constexpr uint16_t BrightEntry(uint32_t factor, uint32_t p) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  const uint32_t r = (p >> kR) & 31, g = (p >> kG) & 31, b = (p >> kB) & 31;
  return static_cast<uint16_t>((r * factor / 16) << kR | (g * factor / 16) << kG |
                               (b * factor / 16) << kB);
}

// The 18 tables of one layout, filled when constructed.
template <class L>
struct BrightTableSet {
  uint16_t table[kBrightTableCount][65536];
  BrightTableSet() {
    for (int i = 0; i < kBrightTableCount; ++i) {
      const auto factor = static_cast<uint32_t>(kBrightLevel[i]);
      for (uint32_t p = 0; p < 65536; ++p) table[i][p] = BrightEntry<L>(factor, p);
    }
  }
};

// The tables of one layout, built on the first request for them and constant from then on. The
// blits never ask (they compute the same values in their lanes), so a run that only draws never
// builds them.
template <class L>
const BrightTableSet<L>& BrightTables() {
  static const BrightTableSet<L> tables;
  return tables;
}

}  // namespace

void BlitBlend16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                 int32_t height, const void* src, int32_t src_pitch, int32_t src_x, int32_t src_y,
                 int32_t src_width, uint32_t level, uint32_t mode, uint16_t key, uint16_t tint) {
  BlitBlend16Covered(false, true, dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch,
                     src_x, src_y, src_width, level, mode, key, tint, nullptr, 0);
}

void BlitBlend16Alt(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                    int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                    int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode, uint16_t key,
                    uint16_t tint) {
  BlitBlend16Covered(false, false, dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch,
                     src_x, src_y, src_width, level, mode, key, tint, nullptr, 0);
}

void BlitBlend16For555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                       int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                       int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode,
                       uint16_t key, uint16_t tint) {
  BlitBlend16Covered(true, true, dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch,
                     src_x, src_y, src_width, level, mode, key, tint, nullptr, 0);
}

void BlitBlend16AltFor555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y,
                          int32_t width, int32_t height, const void* src, int32_t src_pitch,
                          int32_t src_x, int32_t src_y, int32_t src_width, uint32_t level,
                          uint32_t mode, uint16_t key, uint16_t tint) {
  BlitBlend16Covered(true, false, dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch,
                     src_x, src_y, src_width, level, mode, key, tint, nullptr, 0);
}

const uint16_t* BrightTable(int layout, int t) {
  if (t < 0 || t >= kBrightTableCount) return nullptr;
  if (BrightLayoutOf(layout) == platform::PixelLayout::kRgb565) {
    return BrightTables<Rgb565>().table[t];
  }
  return BrightTables<Rgb555>().table[t];
}

int BrightStep(int32_t level) {
  const int64_t step = (static_cast<int64_t>(level) + 8) / 16;
  if (step < 0 || step > 16) return 16;
  return static_cast<int>(step);
}

void BlitBright16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                  int32_t src_y, int32_t level, int layout) {
  if (width <= 0 || height <= 0) return;
  const Rows area =
      OneSource(dst, dst_pitch, dst_x, dst_y, src, src_pitch, src_x, src_y, width, height);
  const auto factor = static_cast<uint16_t>(BrightStep(level));
  if (Hazard(area)) {
    pixel_kernels::scalar::Bright(area, factor, Is555(layout));
  } else {
    pixel_kernels::Bright(area, factor, Is555(layout));
  }
}

void BlitBright16B(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                   int32_t height, const void* a, int32_t a_pitch, int32_t a_x, int32_t a_y,
                   const void* b, int32_t b_pitch, int32_t b_x, int32_t b_y, int32_t level,
                   int layout) {
  if (width <= 0 || height <= 0) return;
  const auto step = static_cast<uint16_t>(BrightStep(level));
  const Rows area{PixelAt(dst, dst_pitch, dst_x, dst_y),
                  dst_pitch,
                  PixelAt(a, a_pitch, a_x, a_y),
                  a_pitch,
                  PixelAt(b, b_pitch, b_x, b_y),
                  b_pitch,
                  width,
                  height};
  const auto factor_a = static_cast<uint16_t>(16 - step);
  if (Hazard(area)) {
    pixel_kernels::scalar::CrossFade(area, factor_a, step, Is555(layout));
  } else {
    pixel_kernels::CrossFade(area, factor_a, step, Is555(layout));
  }
}

void BlitShadow16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* mask, int32_t mask_pitch, int32_t mask_x,
                  int32_t mask_y, int layout) {
  if (width <= 0 || height <= 0) return;
  const platform::PixelFormat& format = platform::FormatOf(BrightLayoutOf(layout));
  const Rows area =
      OneSource(dst, dst_pitch, dst_x, dst_y, mask, mask_pitch, mask_x, mask_y, width, height);
  // The transparent colour is the colour key, cyan: full green and blue.
  const auto transparent = static_cast<uint16_t>(format.green.mask() | format.blue.mask());
  if (Hazard(area)) {
    pixel_kernels::scalar::MaskedShadow(area, transparent, Is555(layout));
  } else {
    pixel_kernels::MaskedShadow(area, transparent, Is555(layout));
  }
}
