#include "testsupport/trust_panel_files.h"

namespace testsupport {

SprRgb TrustFaceColour(int unit) {
  // Distinct, never black (which the card's own pictures could hold).
  return {static_cast<uint8_t>(4 + unit), static_cast<uint8_t>(31 - unit),
          static_cast<uint8_t>((unit * 7) % 32 | 1)};
}

std::vector<uint8_t> TrustFaceFile() {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  for (int unit = 0; unit < 25; ++unit) {
    colours.push_back(TrustFaceColour(unit));
    images.emplace_back(kTrustFaceWidth, kTrustFaceHeight, kSprDepth8, 0,
                        Encode8Bit(std::vector<uint8_t>(kTrustFaceWidth * kTrustFaceHeight,
                                                        static_cast<uint8_t>(unit + 1))));
    units.push_back({BoxEntry(static_cast<uint16_t>(unit), 0, 0, kTrustFaceWidth,
                              kTrustFaceHeight)});
  }
  return AnimationFile(colours, images, units, {});
}

SprRgb TrustCardColour(int card) {
  return {static_cast<uint8_t>(20 + card), 20, static_cast<uint8_t>(10 + card)};
}

std::vector<uint8_t> TrustCardFile() {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  for (int card = 0; card < 6; ++card) {
    colours.push_back(TrustCardColour(card));
    images.emplace_back(288, 128, kSprDepth4, 0,
                        Encode4Bit(288, 128, std::vector<uint8_t>(288 * 128,
                                                                  static_cast<uint8_t>(card + 1))));
  }
  return PictureFile(colours, images);
}

}  // namespace testsupport
