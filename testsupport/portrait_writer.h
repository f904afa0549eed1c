#pragma once
// Sprite files of the scene's portraits for tests: face files (colours, 80 x 160 images, the
// face table), character picture sets (colours, images, the picture, body, eye and lip tables),
// and the message window's pictures (frame, window shade, screen shade), with the corrupt
// variants the loaders must refuse.
//
// Every picture is 8-bit indexed with colour base 0, so a palette value v is colour-table
// entry v; value 0 is transparent.

#include <cstdint>
#include <optional>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

// ---- Face files (kinds 1, 2, 10) ----

constexpr int kFaceImageWidth = 80;
constexpr int kFaceImageHeight = 160;

// One record of the face table: face index (face number - 1), result word, eye band top.
struct FaceRecord {
  uint16_t index = 0;
  uint16_t result = 0;
  uint16_t eye_top = 32;
};

struct FaceFileContents {
  std::vector<FaceRecord> records;
  int images = 1;
  // An image whose data is cut short (it does not decode).
  std::optional<int> broken_image;
};

// The palette value of row `row` of face image `image`: rows 0-95 in six stripes of 16 rows,
// then the half-closed band (96-127) and the closed band (128-159), each its own value.
uint8_t FaceValue(int image, int row);
// The colour of that value.
SprRgb PortraitColour(uint8_t value);
std::vector<uint8_t> FaceFile(const FaceFileContents& contents);

// ---- Character picture sets (kinds 1, 2, 6-9) ----

struct NcPictureRecord {
  uint16_t number = 0;
  uint16_t result = 0;
  uint16_t eye_bound = 0;
  uint16_t lip_bound = 0;
  uint16_t eye_count = 0;
  uint16_t eye_first = 0;
  uint16_t lip_count = 0;
  uint16_t lip_first = 0;
};

// A body, eye or lip record: image, offsets (and the eye cell's duration).
struct NcCellRecord {
  uint16_t image = 0;
  int16_t x = 0;
  int16_t y = 0;
  uint32_t duration = 0;
};

struct NcFileContents {
  std::vector<NcPictureRecord> pictures;
  uint16_t default_x = 0;
  uint16_t default_y = 0;
  std::vector<NcCellRecord> bodies;
  std::vector<NcCellRecord> eyes;
  std::vector<NcCellRecord> lips;
  // Width and height of each image; image i is filled with value NcValue(i).
  std::vector<std::pair<uint16_t, uint16_t>> image_sizes;
  uint16_t scale_flag = 1;
  bool without_lips = false;  // no part 9
  // A hit table (part 12, one record) when not empty: the set's clickable spots.
  std::vector<SprHitRow> hit_rows;
};

uint8_t NcValue(int image);
std::vector<uint8_t> NcFile(const NcFileContents& contents);

// ---- Window pictures ----

// A w x h picture of one value, with a border of `border` pixels of `border_value` (0: none).
std::vector<uint8_t> PlainPictureFile(uint16_t width, uint16_t height, uint8_t value,
                                      int border = 0, uint8_t border_value = 0);

}  // namespace testsupport
