#pragma once
// The two 16-bit pixel layouts a display may choose, and the one place their bits are written
// out: where each colour channel lies in the pixel and how wide it is. Everything else (field
// maxima, masks, the halving mask, the 8-bit conversions) is derived here from those six numbers.
//
// Two ways in, the same values:
// - at compile time, PixelTraits<layout> (static constexpr members), for code that is built once
//   per layout (the blitters' lanes, the fades), so the shifts and masks stay immediate operands;
// - at run time, FormatOf(layout), for code that picks the layout per call.

#include <cstdint>

namespace platform {

enum class PixelLayout : uint8_t {
  kRgb565,  // red 15-11, green 10-5, blue 4-0
  kRgb555,  // bit 15 zero, red 14-10, green 9-5, blue 4-0
};

// One colour channel of a 16-bit pixel: its field starts at bit `shift` and is `bits` wide.
struct PixelChannel {
  int shift;
  int bits;

  // The field value of full intensity.
  constexpr uint16_t max() const { return static_cast<uint16_t>((1u << bits) - 1); }
  // The channel's bits within the pixel.
  constexpr uint16_t mask() const { return static_cast<uint16_t>(max() << shift); }
  // The field of a pixel, 0..max().
  constexpr uint32_t Field(uint32_t pixel) const { return (pixel >> shift) & max(); }
  // A field value (kept to the field's width) moved to its place in the pixel.
  constexpr uint32_t Place(uint32_t field) const { return (field & max()) << shift; }
  // The field of an 8-bit channel value: its top `bits` bits (the value's bits 0-7 only).
  constexpr uint32_t FieldOf8(uint32_t value) const { return (value >> (8 - bits)) & max(); }
  // A field as an 8-bit value with the low bits zero.
  constexpr uint32_t To8(uint32_t field) const { return field << (8 - bits); }
  // A field as an 8-bit value with its top bits repeated into the low bits (full gives 0xFF).
  constexpr uint32_t To8Repeated(uint32_t field) const {
    return (field << (8 - bits)) | (field >> (2 * bits - 8));
  }
  // The upper five bits of the field (the brightness tables work on 5-bit channels): where they
  // start in the pixel.
  constexpr int shift5() const { return shift + bits - 5; }
};

// A 16-bit pixel layout.
struct PixelFormat {
  PixelLayout layout;
  PixelChannel red, green, blue;

  // The bits the channels occupy (RGB555 leaves bit 15 out).
  constexpr uint16_t fields() const {
    return static_cast<uint16_t>(red.mask() | green.mask() | blue.mask());
  }
  // (p >> 1) & half_mask() halves every channel: each field without its top bit.
  constexpr uint16_t half_mask() const {
    return static_cast<uint16_t>((red.max() >> 1) << red.shift | (green.max() >> 1) << green.shift |
                                 (blue.max() >> 1) << blue.shift);
  }
  // The pixel of 8-bit channels (each truncated to its field).
  constexpr uint16_t Pack8(uint32_t r, uint32_t g, uint32_t b) const {
    return static_cast<uint16_t>(red.FieldOf8(r) << red.shift | green.FieldOf8(g) << green.shift |
                                 blue.FieldOf8(b) << blue.shift);
  }
};

inline constexpr PixelFormat kRgb565Format{PixelLayout::kRgb565, {11, 5}, {5, 6}, {0, 5}};
inline constexpr PixelFormat kRgb555Format{PixelLayout::kRgb555, {10, 5}, {5, 5}, {0, 5}};

// The run-time lookup.
constexpr const PixelFormat& FormatOf(PixelLayout layout) {
  return layout == PixelLayout::kRgb565 ? kRgb565Format : kRgb555Format;
}

// The layout whose channels, ORed together, give `fields`: RGB555 for exactly its fields
// (0x7FFF), RGB565 for anything else (also for nothing at all).
constexpr PixelLayout LayoutOfFields(uint32_t fields) {
  return fields == kRgb555Format.fields() ? PixelLayout::kRgb555 : PixelLayout::kRgb565;
}

// The compile-time lookup.
template <PixelLayout L>
struct PixelTraits {
  static constexpr PixelLayout kLayout = L;
  static constexpr PixelFormat kFormat = FormatOf(L);
  static constexpr int kRedShift = kFormat.red.shift;
  static constexpr int kGreenShift = kFormat.green.shift;
  static constexpr int kBlueShift = kFormat.blue.shift;
  static constexpr int kRedBits = kFormat.red.bits;
  static constexpr int kGreenBits = kFormat.green.bits;
  static constexpr int kBlueBits = kFormat.blue.bits;
  static constexpr uint16_t kRedMax = kFormat.red.max();
  static constexpr uint16_t kGreenMax = kFormat.green.max();
  static constexpr uint16_t kBlueMax = kFormat.blue.max();
  static constexpr uint16_t kRedMask = kFormat.red.mask();
  static constexpr uint16_t kGreenMask = kFormat.green.mask();
  static constexpr uint16_t kBlueMask = kFormat.blue.mask();
  static constexpr uint16_t kFields = kFormat.fields();
  static constexpr uint16_t kHalfMask = kFormat.half_mask();
};
using Rgb565Traits = PixelTraits<PixelLayout::kRgb565>;
using Rgb555Traits = PixelTraits<PixelLayout::kRgb555>;

static_assert(Rgb565Traits::kFields == 0xFFFF && Rgb555Traits::kFields == 0x7FFF);
static_assert(Rgb565Traits::kHalfMask == 0x7BEF && Rgb555Traits::kHalfMask == 0x3DEF);
static_assert(Rgb565Traits::kGreenMask == 0x07E0 && Rgb555Traits::kRedMask == 0x7C00);

}  // namespace platform
