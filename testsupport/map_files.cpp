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
  std::vector<SprRgb> colours;
  for (uint32_t n = 0; n < kMapPuppetAnimations; ++n) colours.push_back(MapPuppetColour(building, n));
  return SquareAnimationFile(colours, kMapPuppetSide, kMapPuppetFrameTicks);
}

}  // namespace testsupport
