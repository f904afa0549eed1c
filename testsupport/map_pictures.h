#pragma once
// The town map's floor pictures for tests, from the sprite-file writer: TMAP0, TMAP1h/1y,
// TMAP2ah ... TMAP2cy (theatre) and FUKA1F1-1F3, FUKA2F1-2F3 (haunted house), each a 640 x 480
// picture of its own colour with the places drawn as lighter boxes, and a kind-12 hit table of
// one record whose rows are the floor's places: a grid of boxes in place order, the first row
// stored with its corners swapped, and a last row (place kMapUnlistedPlace, at the right edge)
// whose id no place table lists.

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

constexpr uint8_t kMapUnlistedPlace = 60;

// A place's box in pixels, edges included (stored halved in the file).
struct MapPlaceBox {
  uint8_t place = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
};

// The file names (no directory) of every floor picture of a building (1 theatre, 2 haunted
// house), and the floor each shows.
std::vector<std::pair<std::string, uint16_t>> MapFloorPictures(uint32_t building);
// The place boxes of a floor, in hit-row order (the unlisted place last).
std::vector<MapPlaceBox> MapPlaceBoxes(uint32_t building, uint16_t floor);
// The centre of a place's box; (-1, -1) for a place the floor lacks.
std::pair<int, int> MapPlaceCentre(uint32_t building, uint16_t floor, uint8_t place);
// The picture's background colour, distinct per file name.
SprRgb MapFloorColour(const std::string& name);
std::vector<uint8_t> MapFloorPictureFile(uint32_t building, uint16_t floor, const std::string& name);
// Writes every floor picture of the building into install/tamvik1/MAP/.
void LayMapPictures(GameTree& tree, uint32_t building);

}  // namespace testsupport
