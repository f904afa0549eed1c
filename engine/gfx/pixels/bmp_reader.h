#pragma once
// Windows bitmap (.bmp) files: header checks and row conversion to COLORREF values, standing in
// for the system's image loading.
//
// Accepted: the 14-byte file header followed by an info header of 40 bytes or more (the later
// versions' extra fields are skipped); 1, 4 and 8 bits with a palette; 16 bits as 5-5-5 or with
// bit-field masks (such as 5-6-5); 24 bits; 32 bits plain or with masks; bottom-up (positive
// height) and top-down (negative height) rows. Compressed (run-length) files are refused.
//
// Colours: a channel of fewer than 8 bits is widened by repeating its bits (so a full 5-bit
// channel gives 0xFF); the display packs COLORREF values by truncation, so a cyan pixel of any
// depth lands exactly on the colour-key pixel.

#include <cstddef>
#include <cstdint>
#include <vector>

struct BmpInfo {
  int32_t width = 0;
  int32_t height = 0;  // rows, always positive
  bool top_down = false;
  uint16_t bits = 0;
  uint32_t pixel_offset = 0;  // file offset of the first stored row
  uint32_t stride = 0;        // bytes per stored row (rows are padded to 4 bytes)
  // Channel masks of the 16 and 32-bit forms (red, green, blue).
  uint32_t masks[3] = {};
  std::vector<uint32_t> palette;  // COLORREF values of the 1, 4 and 8-bit forms
};

// The most header bytes ParseBmpHeader reads: file header, the largest info header, masks and a
// 256-entry palette.
constexpr size_t kBmpHeaderBytes = 14 + 124 + 12 + 256 * 4;
// The largest width or height accepted.
constexpr int32_t kBmpMaxSide = 16384;

// Checks the headers in the first `size` bytes of a file of `file_size` bytes and fills `out`.
// False, with the reason traced, when the file is not a bitmap this reader takes, a value is out
// of range, or the rows do not all lie within the file.
bool ParseBmpHeader(const uint8_t* data, size_t size, uint64_t file_size, BmpInfo* out);

// Converts one stored row of info.stride bytes into info.width COLORREF values. A palette index
// past the palette gives black.
void DecodeBmpRow(const BmpInfo& info, const uint8_t* row, uint32_t* out);
