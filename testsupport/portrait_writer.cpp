#include "testsupport/portrait_writer.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr int kValuesPerFace = 8;
constexpr int kPaletteSize = 256;

// Every palette value with a colour of its own (none of them the key colour, cyan).
std::vector<SprRgb> Palette() {
  std::vector<SprRgb> colours(kPaletteSize);
  for (int v = 0; v < kPaletteSize; ++v) colours[static_cast<size_t>(v)] = PortraitColour(static_cast<uint8_t>(v));
  return colours;
}

SprImage Image8(uint16_t width, uint16_t height, const std::vector<uint8_t>& values) {
  return SprImage(width, height, kSprDepth8, 0, Encode8Bit(values));
}

}  // namespace

uint8_t FaceValue(int image, int row) {
  const int base = 1 + kValuesPerFace * image;
  if (row < 96) return static_cast<uint8_t>(base + row / 16);
  return static_cast<uint8_t>(base + (row < 128 ? 6 : 7));
}

SprRgb PortraitColour(uint8_t value) {
  // Red counts up, green and blue vary with it: distinct for the 256 values, never (0, 31, 31).
  return {static_cast<uint8_t>(value % 32), static_cast<uint8_t>(value / 32 * 3 + 1),
          static_cast<uint8_t>((value * 7) % 29)};
}

std::vector<uint8_t> FaceFile(const FaceFileContents& contents) {
  std::vector<SprImage> images;
  for (int i = 0; i < contents.images; ++i) {
    std::vector<uint8_t> values(static_cast<size_t>(kFaceImageWidth) * kFaceImageHeight);
    for (int y = 0; y < kFaceImageHeight; ++y) {
      std::fill_n(values.begin() + static_cast<ptrdiff_t>(y) * kFaceImageWidth, kFaceImageWidth,
                  FaceValue(i, y));
    }
    SprImage image = Image8(kFaceImageWidth, kFaceImageHeight, values);
    if (contents.broken_image == i) image.data.resize(image.data.size() / 2);
    images.push_back(image);
  }
  std::vector<SprRecord> records;
  for (const FaceRecord& r : contents.records) {
    records.push_back(SprRecord().U16(0, r.index).U16(2, r.result).U16(6, r.eye_top));
  }
  SprFileWriter writer;
  writer.Add(1, ColourPart(Palette()));
  writer.Add(2, ImagePart(images));
  writer.Add(10, RecordPart(records));
  return writer.Build();
}

uint8_t NcValue(int image) { return static_cast<uint8_t>(200 + image); }

std::vector<uint8_t> NcFile(const NcFileContents& contents) {
  std::vector<SprImage> images;
  for (size_t i = 0; i < contents.image_sizes.size(); ++i) {
    const auto [w, h] = contents.image_sizes[i];
    images.push_back(Image8(w, h, std::vector<uint8_t>(size_t{w} * h, NcValue(static_cast<int>(i)))));
  }
  std::vector<SprRecord> pictures;
  for (const NcPictureRecord& p : contents.pictures) {
    pictures.push_back(SprRecord()
                           .U16(0, p.number)
                           .U16(2, p.result)
                           .U16(4, p.eye_bound)
                           .U16(6, p.lip_bound)
                           .U16(8, p.eye_count)
                           .U16(10, p.eye_first)
                           .U16(12, p.lip_count)
                           .U16(14, p.lip_first));
  }
  const auto cells = [](const std::vector<NcCellRecord>& list) {
    std::vector<SprRecord> out;
    for (const NcCellRecord& c : list) {
      out.push_back(SprRecord()
                        .U16(0, c.image)
                        .U16(4, static_cast<uint16_t>(c.x))
                        .U16(6, static_cast<uint16_t>(c.y))
                        .U32(12, c.duration));
    }
    return out;
  };
  SprFileWriter writer;
  writer.Add(1, ColourPart(Palette()));
  writer.Add(2, ImagePart(images, contents.scale_flag));
  writer.Add(6, RecordPart(pictures));
  writer.Add(7, RecordPart(cells(contents.bodies), {0, contents.default_x, contents.default_y}));
  writer.Add(8, RecordPart(cells(contents.eyes)));
  if (!contents.without_lips) writer.Add(9, RecordPart(cells(contents.lips)));
  if (!contents.hit_rows.empty()) writer.Add(12, HitPart({contents.hit_rows}));
  return writer.Build();
}

std::vector<uint8_t> PlainPictureFile(uint16_t width, uint16_t height, uint8_t value, int border,
                                      uint8_t border_value) {
  std::vector<uint8_t> values(size_t{width} * height, value);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (x < border || y < border || x >= width - border || y >= height - border) {
        values[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = border_value;
      }
    }
  }
  SprFileWriter writer;
  writer.Add(1, ColourPart(Palette()));
  writer.Add(2, ImagePart({Image8(width, height, values)}));
  return writer.Build();
}

}  // namespace testsupport
