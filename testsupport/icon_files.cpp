#include "testsupport/icon_files.h"

namespace testsupport {

SprRgb IconColour(uint32_t animation) {
  // Red counts the animation (never 0, so never black nor the key colour); green and blue
  // spread the colours further apart.
  const auto n = static_cast<uint8_t>(animation);
  return {static_cast<uint8_t>(n + 1), static_cast<uint8_t>(31 - n), static_cast<uint8_t>((n * 7) % 32)};
}

std::vector<uint8_t> IconSprFile() {
  std::vector<SprRgb> colours;
  for (uint32_t n = 0; n <= 22; ++n) colours.push_back(IconColour(n));
  return SquareAnimationFile(colours, kIconSpriteSide, kIconFrameTicks);
}

std::vector<uint8_t> PointerSprFile() {
  return SquareAnimationFile({kPointerColour}, kIconSpriteSide, kIconFrameTicks);
}

}  // namespace testsupport
