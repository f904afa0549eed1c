#include "testsupport/bmp_writer.h"

#include <algorithm>
#include <stdexcept>

#include "platform/little_endian.h"

namespace testsupport {

namespace {

using platform::PutLe16;
using platform::PutLe32;

int BitsOf(BmpFormat f) {
  switch (f) {
    case BmpFormat::kPalette1: return 1;
    case BmpFormat::kPalette4: return 4;
    case BmpFormat::kPalette8: return 8;
    case BmpFormat::kRgb555:
    case BmpFormat::kRgb565: return 16;
    case BmpFormat::kRgb24: return 24;
    case BmpFormat::kRgb32: return 32;
  }
  return 24;
}

bool HasMasks(BmpFormat f) { return f == BmpFormat::kRgb565; }

std::vector<uint32_t> PaletteOf(const BmpPicture& p, int bits) {
  std::vector<uint32_t> palette;
  for (uint32_t c : p.colors) {
    if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
  }
  if (palette.size() > (size_t{1} << bits)) throw std::runtime_error("too many colours");
  return palette;
}

uint32_t Red(uint32_t c) { return c & 0xFF; }
uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t Blue(uint32_t c) { return (c >> 16) & 0xFF; }

}  // namespace

uint32_t BmpPixelOffset(const BmpPicture& picture, const BmpOptions& options) {
  const int bits = BitsOf(options.format);
  uint32_t offset = 14 + 40 + (HasMasks(options.format) ? 12 : 0);
  if (bits <= 8) offset += static_cast<uint32_t>(PaletteOf(picture, bits).size()) * 4;
  return offset;
}

std::vector<uint8_t> WriteBmp(const BmpPicture& picture, const BmpOptions& options) {
  const int bits = BitsOf(options.format);
  const std::vector<uint32_t> palette =
      bits <= 8 ? PaletteOf(picture, bits) : std::vector<uint32_t>{};
  const uint32_t stride = static_cast<uint32_t>((picture.width * bits + 31) / 32 * 4);
  const uint32_t offset = BmpPixelOffset(picture, options);
  const uint32_t file_size = offset + stride * static_cast<uint32_t>(picture.height);

  std::vector<uint8_t> out;
  out.push_back(options.bad_signature ? 'M' : 'B');
  out.push_back(options.bad_signature ? 'B' : 'M');
  PutLe32(out, file_size);
  PutLe32(out, 0);
  PutLe32(out, options.stored_offset.value_or(offset));
  PutLe32(out, options.stored_info_size.value_or(40));
  PutLe32(out, static_cast<uint32_t>(options.stored_width.value_or(picture.width)));
  PutLe32(out, static_cast<uint32_t>(options.stored_height.value_or(
                   options.top_down ? -picture.height : picture.height)));
  PutLe16(out, options.stored_planes.value_or(1));
  PutLe16(out, options.stored_bits.value_or(static_cast<uint16_t>(bits)));
  PutLe32(out, options.stored_compression.value_or(HasMasks(options.format) ? 3 : 0));
  PutLe32(out, stride * static_cast<uint32_t>(picture.height));
  PutLe32(out, 2835);
  PutLe32(out, 2835);
  PutLe32(out, options.stored_colors_used.value_or(static_cast<uint32_t>(palette.size())));
  PutLe32(out, 0);
  if (HasMasks(options.format)) {
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    for (int i = 0; i < 3; ++i) PutLe32(out, options.stored_masks[i].value_or(masks[i]));
  }
  for (uint32_t c : palette) {
    out.push_back(static_cast<uint8_t>(Blue(c)));
    out.push_back(static_cast<uint8_t>(Green(c)));
    out.push_back(static_cast<uint8_t>(Red(c)));
    out.push_back(0);
  }
  for (int i = 0; i < picture.height; ++i) {
    const int y = options.top_down ? i : picture.height - 1 - i;
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t c = picture.at(x, y);
      switch (options.format) {
        case BmpFormat::kPalette1:
        case BmpFormat::kPalette4:
        case BmpFormat::kPalette8: {
          const auto index = static_cast<uint32_t>(
              std::find(palette.begin(), palette.end(), c) - palette.begin());
          const int per_byte = 8 / bits;
          const int shift = 8 - bits * (x % per_byte + 1);
          row[static_cast<size_t>(x / per_byte)] |= static_cast<uint8_t>(index << shift);
          break;
        }
        case BmpFormat::kRgb555: {
          const uint32_t p = (Red(c) >> 3) << 10 | (Green(c) >> 3) << 5 | Blue(c) >> 3;
          row[2 * x] = static_cast<uint8_t>(p);
          row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
          break;
        }
        case BmpFormat::kRgb565: {
          const uint32_t p = (Red(c) >> 3) << 11 | (Green(c) >> 2) << 5 | Blue(c) >> 3;
          row[2 * x] = static_cast<uint8_t>(p);
          row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
          break;
        }
        case BmpFormat::kRgb24:
          row[3 * x] = static_cast<uint8_t>(Blue(c));
          row[3 * x + 1] = static_cast<uint8_t>(Green(c));
          row[3 * x + 2] = static_cast<uint8_t>(Red(c));
          break;
        case BmpFormat::kRgb32:
          row[4 * x] = static_cast<uint8_t>(Blue(c));
          row[4 * x + 1] = static_cast<uint8_t>(Green(c));
          row[4 * x + 2] = static_cast<uint8_t>(Red(c));
          row[4 * x + 3] = 0;
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  if (options.cut_to && *options.cut_to < out.size()) out.resize(*options.cut_to);
  return out;
}

}  // namespace testsupport
