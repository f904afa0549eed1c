#include "testsupport/unit_anm_writer.h"

#include "battle/slg_tables.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

UnitAnmWriter::UnitAnmWriter(int kind) : kind_(kind), slots_{0, 4} { walk_waits_.fill(1); }

UnitAnmWriter& UnitAnmWriter::Slot(int slot) {
  slots_.push_back(slot);
  return *this;
}

UnitAnmWriter& UnitAnmWriter::Slots(const std::vector<int>& slots) {
  slots_ = slots;
  return *this;
}

UnitAnmWriter& UnitAnmWriter::WalkWaits(const std::array<uint16_t, kWalkFrames>& waits) {
  walk_waits_ = waits;
  return *this;
}

UnitAnmWriter& UnitAnmWriter::ExtraPatterns(int count) {
  extra_ = count;
  return *this;
}

SprRgb UnitAnmWriter::Colour(int slot, int pattern) {
  // 23 slots x 8 patterns = 184 colours: red and green step through 4 .. 27, blue by pattern.
  const int n = slot * 8 + pattern;
  return {static_cast<uint8_t>(4 + n % 24), static_cast<uint8_t>(4 + (n / 24) * 3),
          static_cast<uint8_t>(2 + (pattern % 8) * 3)};
}

std::string UnitAnmWriter::FileName(int slot) const {
  return "unit" + std::to_string(kind_) + "_" + std::to_string(slot) + ".spr";
}

std::vector<uint8_t> UnitAnmWriter::File(int slot) const {
  const int patterns = 4 + extra_;
  // Colour 0 black (the key), 1 the marker, 2 + p pattern p.
  std::vector<SprRgb> colours{{0, 0, 0}, kMarker};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  for (int p = 0; p < patterns; ++p) {
    colours.push_back(Colour(slot, p));
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x)
        pixels[static_cast<size_t>(y * kWidth + x)] =
            static_cast<uint8_t>(x < kMarkerWidth ? 1 : 2 + p);
    }
    images.push_back({kWidth, kHeight, kSprDepth8, 0, pixels});
    units.push_back({BoxEntry(static_cast<uint16_t>(p), -kWidth / 2, -kHeight, kWidth, kHeight)});
    std::vector<SprFrameSpec> frames;
    if (p < 2) {
      for (int f = 0; f < kWalkFrames; ++f)
        frames.push_back({static_cast<uint16_t>(p), walk_waits_[static_cast<size_t>(f)]});
    } else {
      frames.push_back({static_cast<uint16_t>(p), kStandWait});
    }
    animations.push_back(frames);
  }
  return AnimationFile(colours, images, units, animations);
}

void UnitAnmWriter::Lay(GameTree& tree, SlgTableWriter& tables) const {
  for (const int slot : slots_) {
    tree.Write(SlgTableWriter::TreeRel("tamvik2\\" + FileName(slot)), File(slot));
    tables.UnitAnm(kSlgUnitIdNames[static_cast<size_t>(kind_)],
                   kSlgAnmSlotNames[static_cast<size_t>(slot)], FileName(slot));
  }
}

}  // namespace testsupport
