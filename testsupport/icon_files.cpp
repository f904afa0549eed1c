#include "testsupport/icon_files.h"

namespace testsupport {

namespace {

// Animation n of `count`: frame 0 shows unit n, which shows sprite n (image n, colour n + 1).
std::vector<uint8_t> OneSquarePerAnimation(const std::vector<SprRgb>& colours) {
  std::vector<SprRgb> table{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  const size_t pixels = static_cast<size_t>(kIconSpriteSide) * kIconSpriteSide;
  for (size_t n = 0; n < colours.size(); ++n) {
    table.push_back(colours[n]);
    images.emplace_back(kIconSpriteSide, kIconSpriteSide, kSprDepth8, 0,
                        std::vector<uint8_t>(pixels, static_cast<uint8_t>(n + 1)));
    units.push_back({BoxEntry(static_cast<uint16_t>(n), 0, 0, kIconSpriteSide, kIconSpriteSide)});
    animations.push_back({{static_cast<uint16_t>(n), kIconFrameTicks}});
  }
  return AnimationFile(table, images, units, animations);
}

}  // namespace

SprRgb IconColour(uint32_t animation) {
  // Red counts the animation (never 0, so never black nor the key colour); green and blue
  // spread the colours further apart.
  const auto n = static_cast<uint8_t>(animation);
  return {static_cast<uint8_t>(n + 1), static_cast<uint8_t>(31 - n), static_cast<uint8_t>((n * 7) % 32)};
}

std::vector<uint8_t> IconSprFile() {
  std::vector<SprRgb> colours;
  for (uint32_t n = 0; n <= 22; ++n) colours.push_back(IconColour(n));
  return OneSquarePerAnimation(colours);
}

std::vector<uint8_t> PointerSprFile() { return OneSquarePerAnimation({kPointerColour}); }

}  // namespace testsupport
