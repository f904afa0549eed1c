#pragma once
// The pointer and command-icon sprite files for tests, from the sprite-file writer: every
// animation one frame of a unit of its own colour, so a captured frame shows which animation
// plays (and where).

#include <cstdint>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

// Side of the square each animation draws, its top-left corner at the animation's position.
constexpr int kIconSpriteSide = 8;
// Ticks (1/60 s) each one-frame animation shows its frame.
constexpr uint16_t kIconFrameTicks = 6;

// icon2.spr: animations 0-22, animation n showing a square of IconColour(n).
std::vector<uint8_t> IconSprFile();
SprRgb IconColour(uint32_t animation);
// point.spr: animation 0, a square of kPointerColour.
std::vector<uint8_t> PointerSprFile();
constexpr SprRgb kPointerColour{31, 31, 0};

}  // namespace testsupport
