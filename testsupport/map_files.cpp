#include "testsupport/map_files.h"

namespace testsupport {

SprRgb MapPuppetColour(uint32_t building, uint32_t animation) {
  // Red counts the animation (never 0: never black nor the key colour); green tells the
  // building, blue spreads the colours further apart.
  const auto n = static_cast<uint8_t>(animation);
  const auto g = static_cast<uint8_t>(building == 2 ? 4 : 28);
  return {static_cast<uint8_t>(n + 1), g, static_cast<uint8_t>((n * 5 + 3) % 32)};
}

std::vector<uint8_t> MapLabelSprFile(uint32_t building) {
  // Animation n: frame 0 shows unit n, which shows sprite n (image n, colour n + 1).
  std::vector<SprRgb> table{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  const size_t pixels = static_cast<size_t>(kMapPuppetSide) * kMapPuppetSide;
  for (uint32_t n = 0; n < kMapPuppetAnimations; ++n) {
    table.push_back(MapPuppetColour(building, n));
    images.emplace_back(kMapPuppetSide, kMapPuppetSide, kSprDepth8, 0,
                        std::vector<uint8_t>(pixels, static_cast<uint8_t>(n + 1)));
    units.push_back({BoxEntry(static_cast<uint16_t>(n), 0, 0, kMapPuppetSide, kMapPuppetSide)});
    animations.push_back({{static_cast<uint16_t>(n), kMapPuppetFrameTicks}});
  }
  // The place labels: units up to kMapPlaceLabelUnits - 1, each the one label image.
  table.push_back({31, 31, 31});
  images.emplace_back(kMapLabelWidth, kMapLabelHeight, kSprDepth8, 0,
                      std::vector<uint8_t>(static_cast<size_t>(kMapLabelWidth) * kMapLabelHeight,
                                           static_cast<uint8_t>(kMapPuppetAnimations + 1)));
  for (uint32_t n = kMapPuppetAnimations; n < kMapPlaceLabelUnits; ++n) {
    units.push_back({BoxEntry(static_cast<uint16_t>(kMapPuppetAnimations), 0, 0, kMapLabelWidth,
                              kMapLabelHeight)});
  }
  return AnimationFile(table, images, units, animations);
}

}  // namespace testsupport
