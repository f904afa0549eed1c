#pragma once
// The trust panel's two picture files: the face file (25 one-image units: faces 0-23 each of its
// own colour, unit 24 the blank card) and the six card backgrounds.

#include <cstdint>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

// Face size and the colour of face unit n (0-24) in the face file.
constexpr int kTrustFaceWidth = 32;
constexpr int kTrustFaceHeight = 32;
SprRgb TrustFaceColour(int unit);
// tamvik1\icatch\kao_p.spr
std::vector<uint8_t> TrustFaceFile();
// Card background n (0-5) colour, and tamvik1\icatch\shinriad.spr (288 x 128 images).
SprRgb TrustCardColour(int card);
std::vector<uint8_t> TrustCardFile();

}  // namespace testsupport
