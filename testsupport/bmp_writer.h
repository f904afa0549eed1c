#pragma once
// Windows bitmap files for picture-loading tests: 1, 4 and 8-bit palettes, 16-bit 5-5-5 and
// 5-6-5 (bit fields), 24 and 32-bit, bottom-up or top-down rows padded to 4 bytes, and damaged
// variants (stored header values overridden, the file cut short).
//
// Layout written: "BM" file size 0 offset | 40-byte info header | [three masks] | [palette] |
// rows.

#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

// A picture of COLORREF values (0x00BBGGRR), row by row from the top.
struct BmpPicture {
  BmpPicture(int w, int h, uint32_t fill = 0)
      : width(w), height(h), colors(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
  uint32_t& at(int x, int y) { return colors[static_cast<size_t>(y) * width + x]; }
  uint32_t at(int x, int y) const { return colors[static_cast<size_t>(y) * width + x]; }

  int width;
  int height;
  std::vector<uint32_t> colors;
};

enum class BmpFormat {
  kPalette1,
  kPalette4,
  kPalette8,
  kRgb555,  // 16 bits, no masks stored
  kRgb565,  // 16 bits, bit-field masks stored
  kRgb24,
  kRgb32,
};

struct BmpOptions {
  BmpFormat format = BmpFormat::kRgb24;
  bool top_down = false;  // store a negative height and the rows from the top
  // Stored values instead of the true ones.
  std::optional<int32_t> stored_width;
  std::optional<int32_t> stored_height;
  std::optional<uint16_t> stored_bits;
  std::optional<uint16_t> stored_planes;
  std::optional<uint32_t> stored_compression;
  std::optional<uint32_t> stored_offset;
  std::optional<uint32_t> stored_info_size;
  std::optional<uint32_t> stored_colors_used;
  std::optional<uint32_t> stored_masks[3];
  bool bad_signature = false;
  // Cut the file to this many bytes.
  std::optional<size_t> cut_to;
};

// The file. Palette formats take the picture's distinct colours in order of first use (the test
// keeps within 2, 16 or 256); 16-bit formats keep each channel's top bits.
std::vector<uint8_t> WriteBmp(const BmpPicture& picture, const BmpOptions& options = {});

// The offset of the first stored row in a file WriteBmp makes with these options.
uint32_t BmpPixelOffset(const BmpPicture& picture, const BmpOptions& options = {});

}  // namespace testsupport
