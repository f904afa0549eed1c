#include "testsupport/slg_map_writer.h"

#include <cstdio>

#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

namespace {

std::string Join(const std::string& plane, const std::string& command, const std::string& arg) {
  std::string line = plane + " " + command;
  if (!arg.empty()) line += " " + arg;
  return line;
}

std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

MapTabWriter& MapTabWriter::File(const std::string& plane, const std::vector<std::string>& names) {
  std::string arg;
  for (const std::string& n : names) arg += (arg.empty() ? "" : " ") + n;
  return Raw(Join(plane, "File:", arg));
}
MapTabWriter& MapTabWriter::FrameInt(const std::string& plane, int frames) {
  return Raw(Join(plane, "FrameInt:", std::to_string(frames)));
}
MapTabWriter& MapTabWriter::Scroll(const std::string& plane, double x, double y) {
  return Raw(Join(plane, "Scroll:", Number(x) + " " + Number(y)));
}
MapTabWriter& MapTabWriter::Raster(const std::string& plane, int width, int height, int time_rad,
                                   int line_rad) {
  return Raw(Join(plane, "Raster:",
                  "Width:" + std::to_string(width) + " Height:" + std::to_string(height) +
                      " TimeRad: " + std::to_string(time_rad) +
                      " LineRad: " + std::to_string(line_rad)));
}
MapTabWriter& MapTabWriter::Alpha(const std::string& plane, int level) {
  return Raw(Join(plane, "Alpha:", std::to_string(level)));
}
MapTabWriter& MapTabWriter::AlphaMode(const std::string& plane, const std::string& mode) {
  return Raw(Join(plane, "AlphaMode:", mode));
}
MapTabWriter& MapTabWriter::PrioFile(const std::string& plane, const std::string& name) {
  return Raw(Join(plane, "PrioFile:", name));
}
MapTabWriter& MapTabWriter::NightMode(const std::string& plane) {
  return Raw(Join(plane, "NightMode", ""));
}
MapTabWriter& MapTabWriter::NoZako(const std::string& plane) {
  return Raw(Join(plane, "NoZako", ""));
}
MapTabWriter& MapTabWriter::Comment(const std::string& text) { return Raw("# " + text); }
MapTabWriter& MapTabWriter::Raw(const std::string& line) {
  lines_.push_back(line);
  return *this;
}

std::string MapTabWriter::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

std::string MapFolderRel(int map, const std::string& name) {
  char folder[64];
  // The stage writer's spelling of the folders: one case-blind directory, not two.
  std::snprintf(folder, sizeof folder, "install/TaMvIk2/mAp/mAP%02d/", map + 1);
  return folder + name;
}

void MapTabWriter::Lay(GameTree& tree, int map) const {
  char name[32];
  std::snprintf(name, sizeof name, "mAp%02d.TaB", map + 1);
  tree.Write(MapFolderRel(map, name), Text());
}

void LayMapFile(GameTree& tree, int map, const std::string& name,
                const std::vector<uint8_t>& bytes) {
  tree.Write(MapFolderRel(map, name), bytes);
}

void LayFourPlaneMap(GameTree& tree, int map) {
  for (const char* name : {"g.spr", "s.spr", "p.spr", "u.spr"}) {
    LayMapFile(tree, map, name, MapBankFile(GridBank(64, 64, 32, 32, name[0] == 's' ? 1 : 0)));
  }
  std::vector<uint32_t> heights(86 * 86);
  for (size_t i = 0; i < heights.size(); ++i) heights[i] = static_cast<uint32_t>(i % 11);
  LayMapFile(tree, map, "prio.bin", PriorityFile(heights));
  MapTabWriter()
      .File("Ground:", {"g.spr"})
      .Raster("Ground:", 4, 0, 3, 2)
      .File("Sky:", {"s.spr"})
      .Raster("Sky:", 0, 3, 2, 1)
      .File("Priority:", {"p.spr"})
      .PrioFile("Priority:", "prio.bin")
      .File("UnderGround:", {"u.spr"})
      .Lay(tree, map);
}

std::vector<uint8_t> PriorityFile(const std::vector<uint32_t>& heights, size_t bytes) {
  std::vector<uint8_t> out(86 * 86 * 4, 0);
  for (size_t i = 0; i < heights.size() && i < 86 * 86; ++i) {
    for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<uint8_t>(heights[i] >> (8 * b));
  }
  out.resize(bytes, 0);
  return out;
}

std::vector<uint8_t> MapBankFile(const std::vector<MapTile>& tiles) {
  std::vector<SprImage> images;
  std::vector<std::array<uint16_t, 8>> rows;
  for (const MapTile& t : tiles) {
    const std::vector<uint16_t> words(static_cast<size_t>(t.w) * static_cast<size_t>(t.h),
                                      static_cast<uint16_t>(t.colour & 0x7FFF));
    images.emplace_back(static_cast<uint16_t>(t.w), static_cast<uint16_t>(t.h), kSprDepth16, 0,
                        EncodeBmx(words));
    rows.push_back({0, 0, static_cast<uint16_t>(t.x), static_cast<uint16_t>(t.y), 0, 0, 0, 0});
  }
  SprFileWriter w;
  w.Add(2, ImagePart(images, 1, 1));  // decoder word 1: depth code 5 is 16-bit BMX
  w.Add(13, SlgMapPart(rows, 1));
  return w.Build();
}

uint16_t TileColour(int bank, int c, int r) {
  return static_cast<uint16_t>(((c & 31) << 10) | ((r & 31) << 5) | ((bank & 1) * 16 + 8));
}

std::vector<MapTile> GridBank(int w, int h, int cols, int rows, int bank) {
  std::vector<MapTile> tiles;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) tiles.push_back({w, h, c * w, r * h, TileColour(bank, c, r)});
  }
  return tiles;
}

uint32_t TileColourRef(uint16_t colour) {
  const uint32_t r = ((colour >> 10) & 31u) * 255u / 31u;
  const uint32_t g = ((colour >> 5) & 31u) * 255u / 31u;
  const uint32_t b = (colour & 31u) * 255u / 31u;
  return r | (g << 8) | (b << 16);
}

}  // namespace testsupport
