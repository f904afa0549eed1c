#include "testsupport/event_anm_writer.h"

#include "battle/slg_tables.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

SprRgb EventAnmWriter::Colour(int kind, int pattern) {
  // 64 kinds x 2 patterns: red and green by kind, green and blue by pattern; never black.
  const int k = (kind - kSlgEventNpcBase) & 63;
  return {static_cast<uint8_t>(k % 16 * 2), static_cast<uint8_t>(2 + k / 16 * 4 + pattern * 14),
          static_cast<uint8_t>(31 - pattern * 8)};
}

std::string EventAnmWriter::FileName(int kind) { return "npc" + std::to_string(kind) + ".spr"; }

std::vector<uint8_t> EventAnmWriter::File(int kind) {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  const auto side = static_cast<uint16_t>(kSide);
  for (int p = 0; p < kPatterns; ++p) {
    colours.push_back(Colour(kind, p));
    images.emplace_back(side, side, kSprDepth8, 0,
                        std::vector<uint8_t>(static_cast<size_t>(kSide * kSide),
                                             static_cast<uint8_t>(p + 1)));
    units.push_back({BoxEntry(static_cast<uint16_t>(p), -kSide / 2, -kSide, kSide, kSide)});
    animations.emplace_back(static_cast<size_t>(kFrames[static_cast<size_t>(p)]),
                            SprFrameSpec{static_cast<uint16_t>(p), kWait});
  }
  return AnimationFile(colours, images, units, animations);
}

void EventAnmWriter::LayFile(GameTree& tree, int kind) {
  tree.Write(SlgTableWriter::TreeRel("tamvik2\\" + FileName(kind)), File(kind));
}

void EventAnmWriter::Row(SlgTableWriter& tables, int map, int kind) {
  tables.EventAnm(map, kind - kSlgEventNpcBase, FileName(kind));
}

void EventAnmWriter::Lay(GameTree& tree, SlgTableWriter& tables, int map,
                         const std::vector<int>& kinds) {
  for (const int kind : kinds) {
    LayFile(tree, kind);
    Row(tables, map, kind);
  }
}

}  // namespace testsupport
