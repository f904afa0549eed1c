#include "testsupport/map_pictures.h"

#include "testsupport/temp_tree.h"

namespace testsupport {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Place ids of each floor's place table.
std::pair<int, int> PlaceRange(uint32_t building, uint16_t floor) {
  if (building == 2) return floor == 0 ? std::pair{1, 12} : std::pair{1, 10};
  switch (floor) {
    case 0: return {2, 12};
    case 1: return {2, 19};
    default: return {2, 16};
  }
}

}  // namespace

std::vector<std::pair<std::string, uint16_t>> MapFloorPictures(uint32_t building) {
  if (building == 2) {
    return {{"FUKA1F1.spr", 0}, {"FUKA1F2.spr", 0}, {"FUKA1F3.spr", 0},
            {"FUKA2F1.spr", 1}, {"FUKA2F2.spr", 1}, {"FUKA2F3.spr", 1}};
  }
  return {{"TMAP0.spr", 0},   {"TMAP1h.spr", 1},  {"TMAP1y.spr", 1},
          {"TMAP2ah.spr", 2}, {"TMAP2bh.spr", 2}, {"TMAP2ch.spr", 2},
          {"TMAP2ay.spr", 2}, {"TMAP2by.spr", 2}, {"TMAP2cy.spr", 2}};
}

std::vector<MapPlaceBox> MapPlaceBoxes(uint32_t building, uint16_t floor) {
  std::vector<MapPlaceBox> boxes;
  const auto [first, last] = PlaceRange(building, floor);
  for (int place = first; place <= last; ++place) {
    const int i = place - first;
    const int left = 16 + (i % 6) * 96;
    const int top = 24 + (i / 6) * 112;
    boxes.push_back({static_cast<uint8_t>(place), left, top, left + 80, top + 80});
  }
  boxes.push_back({kMapUnlistedPlace, 590, 24, 630, 104});
  return boxes;
}

std::pair<int, int> MapPlaceCentre(uint32_t building, uint16_t floor, uint8_t place) {
  for (const MapPlaceBox& box : MapPlaceBoxes(building, floor)) {
    if (box.place == place) return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  }
  return {-1, -1};
}

SprRgb MapFloorColour(const std::string& name) {
  uint32_t hash = 7;
  for (char c : name) hash = hash * 31 + static_cast<uint8_t>(c);
  return {static_cast<uint8_t>(4 + hash % 20), static_cast<uint8_t>(4 + (hash / 20) % 20),
          static_cast<uint8_t>(4 + (hash / 400) % 20)};
}

std::vector<uint8_t> MapFloorPictureFile(uint32_t building, uint16_t floor, const std::string& name) {
  const SprRgb back = MapFloorColour(name);
  const SprRgb light{static_cast<uint8_t>(back.r + 8), static_cast<uint8_t>(back.g + 8),
                     static_cast<uint8_t>(back.b + 8)};
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight, 1);
  std::vector<SprHitRow> rows;
  bool first = true;
  for (const MapPlaceBox& box : MapPlaceBoxes(building, floor)) {
    for (int y = box.top; y <= box.bottom; ++y) {
      for (int x = box.left; x <= box.right && x < kWidth; ++x) {
        pixels[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] = 2;
      }
    }
    auto half = [](int v) { return static_cast<uint16_t>(v / 2); };
    SprHitRow row{box.place, {half(box.left), half(box.top), half(box.right), half(box.bottom)}};
    if (first) row.values = {half(box.right), half(box.bottom), half(box.left), half(box.top)};
    first = false;
    rows.push_back(row);
  }
  SprFileWriter writer;
  writer.Add(1, ColourPart({{0, 0, 0}, back, light}));
  writer.Add(2, ImagePart({SprImage(kWidth, kHeight, kSprDepth8, 0, std::move(pixels))}));
  writer.Add(12, HitPart({rows}));
  return writer.Build();
}

void LayMapPictures(GameTree& tree, uint32_t building) {
  for (const auto& [name, floor] : MapFloorPictures(building)) {
    tree.Write("install/tamvik1/MAP/" + name, MapFloorPictureFile(building, floor, name));
  }
}

}  // namespace testsupport
