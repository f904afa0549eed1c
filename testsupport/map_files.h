#pragma once
// The town map's label files for tests, from the sprite-file writer: tmap2.spr (theatre) and
// fukagawa.spr (haunted house), each with the puppet animations 0-18 as one-frame units and the
// place labels, every
// animation a square of its own colour (and the two files' colours apart), so a captured frame
// shows which animation plays and where.

#include <cstdint>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

// Side of the square each animation draws, its top-left corner at the animation's position.
constexpr int kMapPuppetSide = 8;
// Ticks (1/60 s) the one frame of each animation shows.
constexpr uint16_t kMapPuppetFrameTicks = 6;
// Animations in each file.
constexpr uint32_t kMapPuppetAnimations = 19;

// The place labels: units kMapPuppetAnimations .. kMapPlaceLabelUnits - 1 all show one white label
// of this size (the label numbers of the place tables run up to 115).
constexpr uint32_t kMapPlaceLabelUnits = 116;
constexpr int kMapLabelWidth = 64;
constexpr int kMapLabelHeight = 12;

// Building 1 the theatre, 2 the haunted house.
std::vector<uint8_t> MapLabelSprFile(uint32_t building);
SprRgb MapPuppetColour(uint32_t building, uint32_t animation);

}  // namespace testsupport
