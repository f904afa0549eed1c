#include "engine/gfx/pixels/bmp_reader.h"

#include <bit>
#include <limits>
#include <utility>

#include "engine/core/debug_trace.h"
#include "platform/little_endian.h"

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitFields = 3;


bool Fail(const char* why) {
  DebugPrint("Bitmap header invalid: %s\n", why);
  return false;
}

// A mask must be one run of set bits.
bool Contiguous(uint32_t mask) {
  if (mask == 0) return false;
  const uint32_t shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

// A channel of n bits widened to 8 by repeating its bits; more than 8 keeps the top 8.
uint32_t Widen(uint32_t v, int n) {
  if (n >= 8) return v >> (n - 8);
  uint32_t r = 0;
  int filled = 0;
  while (filled < 8) {
    r = (r << n) | v;
    filled += n;
  }
  return r >> (filled - 8);
}

uint32_t Channel(uint32_t pixel, uint32_t mask) {
  const int shift = std::countr_zero(mask);
  const int n = std::popcount(mask);
  return Widen((pixel & mask) >> shift, n);
}

uint32_t ColorRefOf(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

}  // namespace

bool ParseBmpHeader(const uint8_t* data, size_t size, uint64_t file_size, BmpInfo* out) {
  if (data == nullptr || out == nullptr) return false;
  if (size < 14 + 40) return Fail("file shorter than its headers");
  if (data[0] != 'B' || data[1] != 'M') return Fail("no BM signature");
  const uint32_t offset = platform::GetLe32(data + 10);
  const uint32_t info_size = platform::GetLe32(data + 14);
  const auto width = static_cast<int32_t>(platform::GetLe32(data + 18));
  const auto height = static_cast<int32_t>(platform::GetLe32(data + 22));
  const uint16_t planes = platform::GetLe16(data + 26);
  const uint16_t bits = platform::GetLe16(data + 28);
  const uint32_t compression = platform::GetLe32(data + 30);
  const uint32_t colors_used = platform::GetLe32(data + 46);

  if (info_size < 40 || info_size > 124) return Fail("info header size");
  if (width <= 0 || width > kBmpMaxSide) return Fail("width");
  if (height == 0 || height == std::numeric_limits<int32_t>::min() ||
      (height < 0 ? -height : height) > kBmpMaxSide) {
    return Fail("height");
  }
  if (planes != 1) return Fail("planes");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Fail("bit count");
  }
  const bool bitfields = compression == kBiBitFields;
  if (compression != kBiRgb && !(bitfields && (bits == 16 || bits == 32))) {
    return Fail("compression");
  }

  BmpInfo info;
  info.width = width;
  info.top_down = height < 0;
  info.height = height < 0 ? -height : height;
  info.bits = bits;
  info.pixel_offset = offset;
  info.stride = static_cast<uint32_t>((static_cast<uint64_t>(width) * bits + 31) / 32 * 4);

  // After the info header: three masks (when the 40-byte header has bit fields), then the
  // palette. The later header versions hold the masks inside the header.
  uint64_t tables = 14 + uint64_t{info_size};
  if (bitfields) {
    const uint64_t at = info_size == 40 ? tables : 14 + 40;
    if (at + 12 > size) return Fail("masks past the header bytes");
    for (int i = 0; i < 3; ++i) info.masks[i] = platform::GetLe32(data + at + 4 * i);
    if (info_size == 40) tables += 12;
    for (uint32_t m : info.masks) {
      if (!Contiguous(m)) return Fail("channel mask");
    }
  } else if (bits == 16) {
    info.masks[0] = 0x7C00;
    info.masks[1] = 0x03E0;
    info.masks[2] = 0x001F;
  } else if (bits == 32) {
    info.masks[0] = 0x00FF0000;
    info.masks[1] = 0x0000FF00;
    info.masks[2] = 0x000000FF;
  }
  if (bits <= 8) {
    const uint32_t max_colors = 1u << bits;
    const uint32_t count = colors_used == 0 ? max_colors : colors_used;
    if (count > max_colors) return Fail("palette size");
    if (tables + uint64_t{count} * 4 > size) return Fail("palette past the header bytes");
    info.palette.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* q = data + tables + 4 * i;  // blue, green, red, reserved
      info.palette[i] = ColorRefOf(q[2], q[1], q[0]);
    }
    tables += uint64_t{count} * 4;
  }
  if (offset < tables) return Fail("pixel offset inside the headers");
  if (uint64_t{offset} + uint64_t{info.stride} * static_cast<uint64_t>(info.height) > file_size) {
    return Fail("rows past the end of the file");
  }
  *out = std::move(info);
  return true;
}

void DecodeBmpRow(const BmpInfo& info, const uint8_t* row, uint32_t* out) {
  const int32_t w = info.width;
  switch (info.bits) {
    case 1:
    case 4:
    case 8: {
      const int per_byte = 8 / info.bits;
      const uint32_t index_mask = (1u << info.bits) - 1;
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t byte = row[x / per_byte];
        const int shift = 8 - info.bits * (x % per_byte + 1);  // leftmost pixel in the high bits
        const uint32_t index = (byte >> shift) & index_mask;
        out[x] = index < info.palette.size() ? info.palette[index] : 0;
      }
      break;
    }
    case 16:
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = platform::GetLe16(row + 2 * x);
        out[x] = ColorRefOf(Channel(p, info.masks[0]), Channel(p, info.masks[1]),
                            Channel(p, info.masks[2]));
      }
      break;
    case 24:
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* q = row + 3 * x;
        out[x] = ColorRefOf(q[2], q[1], q[0]);
      }
      break;
    case 32:
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = platform::GetLe32(row + 4 * x);
        out[x] = ColorRefOf(Channel(p, info.masks[0]), Channel(p, info.masks[1]),
                            Channel(p, info.masks[2]));
      }
      break;
    default:
      for (int32_t x = 0; x < w; ++x) out[x] = 0;
      break;
  }
}
