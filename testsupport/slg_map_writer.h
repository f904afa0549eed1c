#pragma once
// Map planes for tests: the plane table Map<m>.TAB from typed lines (every plane and command in
// its own syntax) or raw lines for the bad cases, the priority file (86 x 86 u32, little-endian)
// and bank sprite files: kind-13 battle-map records of chosen tile sizes and positions, one solid
// 16-bit tile picture each, every tile in a colour of its own so captured frames show which tile
// is where. Lay() puts them in the map folder under the install directory in mixed case, beside
// the stage writer's files.
//
//   testsupport::MapTabWriter tab;
//   tab.File("Ground:", {"g0.spr", "g1.spr"}).Raster("Ground:", 4, 0, 8, 2);
//   tab.Lay(rig.driver().tree, 0);
//   testsupport::LayMapBank(rig.driver().tree, 0, "g0.spr", GridBank(64, 64, 32, 32, 0));
//   SlgMap::LoadMapTable(0);

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class GameTree;

class MapTabWriter {
 public:
  MapTabWriter& File(const std::string& plane, const std::vector<std::string>& names);
  MapTabWriter& FrameInt(const std::string& plane, int frames);
  MapTabWriter& Scroll(const std::string& plane, double x, double y);
  MapTabWriter& Raster(const std::string& plane, int width, int height, int time_rad,
                       int line_rad);
  MapTabWriter& Alpha(const std::string& plane, int level);
  MapTabWriter& AlphaMode(const std::string& plane, const std::string& mode);
  MapTabWriter& PrioFile(const std::string& plane, const std::string& name);
  MapTabWriter& NightMode(const std::string& plane = "AllMapImage:");
  MapTabWriter& NoZako(const std::string& plane = "AllMapImage:");
  MapTabWriter& Comment(const std::string& text);
  MapTabWriter& Raw(const std::string& line);

  // The lines, each ended by CR LF.
  std::string Text() const;
  // Writes the table of battle map `map` (0-26): Map<m+1>\Map<m+1>.TAB.
  void Lay(GameTree& tree, int map) const;

 private:
  std::vector<std::string> lines_;
};

// The tree path of a file in the map folder of battle map `map`.
std::string MapFolderRel(int map, const std::string& name);

// The 86 x 86 priority heights, row by row; `bytes` cuts (or pads with zeros) the file.
std::vector<uint8_t> PriorityFile(const std::vector<uint32_t>& heights, size_t bytes = 29584);

// One tile of a bank: its picture's size, its position in the plane and its colour (5:5:5, red in
// bits 10-14 as BMX words store it).
struct MapTile {
  int w = 64, h = 64;
  int x = 0, y = 0;
  uint16_t colour = 0x7FFF;
};
// The sprite file of a bank: sprite i and record i for tile i.
std::vector<uint8_t> MapBankFile(const std::vector<MapTile>& tiles);
// A grid of cols x rows tiles of w x h from (0, 0), colour TileColour(bank, c, r).
std::vector<MapTile> GridBank(int w, int h, int cols, int rows, int bank);
// A colour of its own for each bank, column and row of up to 2 x 32 x 32 tiles (never 0, which
// would be black like the cleared layer).
uint16_t TileColour(int bank, int c, int r);
// The COLORREF (0x00BBGGRR) a tile colour shows as: each channel c x 255 / 31.
uint32_t TileColourRef(uint16_t colour);
void LayMapFile(GameTree& tree, int map, const std::string& name,
                const std::vector<uint8_t>& bytes);
// A busy map of all four planes (the benchmarks draw it): ground and sky of 64 x 64 tiles, 32 x
// 32 of them, with rasters, a priority plane with its file of heights 0-10, an underground.
void LayFourPlaneMap(GameTree& tree, int map);

}  // namespace testsupport
