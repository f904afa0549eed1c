#pragma once
// Fixture files and checks the tests of the flow screens share: sprite files of plain squares and
// plain pictures, and whether a sprite file is still held.

#include <cstdint>
#include <vector>

#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/spr_writer.h"

namespace flow_test {

// A file whose sprite n is a side x side square of colour n + 1 (unit n shows sprite n, one
// animation playing unit 0).
inline std::vector<uint8_t> SquaresFile(int count, int side) {
  using testsupport::SprImage;
  using testsupport::SprRgb;
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<testsupport::SprUnitEntry>> units;
  for (int n = 0; n < count; ++n) {
    colours.push_back({static_cast<uint8_t>(4 + n), static_cast<uint8_t>(20 - n), 9});
    images.emplace_back(side, side, testsupport::kSprDepth8, 0,
                        testsupport::Encode8Bit(std::vector<uint8_t>(
                            static_cast<size_t>(side * side), static_cast<uint8_t>(n + 1))));
    units.push_back({testsupport::BoxEntry(static_cast<uint16_t>(n), 0, 0, side, side)});
  }
  return testsupport::AnimationFile(colours, images, units, {{{0, 10}}});
}

// A plain picture of one colour.
inline std::vector<uint8_t> PlainPicture(int width, int height, testsupport::SprRgb colour) {
  using testsupport::SprImage;
  return testsupport::PictureFile(
      {{0, 0, 0}, colour},
      {SprImage(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                testsupport::kSprDepth8, 0,
                std::vector<uint8_t>(static_cast<size_t>(width * height), 1))});
}

// Whether a sprite file is still held by anyone (loading it again finds its record).
inline bool SpriteFileHeld(const char* name) {
  SprAnm* anm = TamvikFunc::LoadAnmFile(name);
  const bool held = anm != nullptr && anm->ref > 1;
  TamvikFunc::ReleaseAnmFile(anm);
  return held;
}

}  // namespace flow_test
