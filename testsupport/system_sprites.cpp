#include "testsupport/system_sprites.h"

#include <algorithm>

#include "battle/slg_sys_spr.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

int SystemSpriteSet::Frames(int slot) {
  switch (slot) {
    case kSysCursor:
    case kSysMouseCursor:
      return 4;
    case kSysGrid:
      return 6;
    case kSysCommandWindow:
      return 48;
    case kSysMojiBDigit:
    case kSysDamageDigit:
      return 24;
    case kSysLifeGauge:
    case kSysKiaiGauge:
      return 1;
    case kSysContinue:
    case kSysYesNo:
    case kSysStartMenu:
      return 6;
    case kSysAllMap:
      return 8;
    default:
      return 4;
  }
}

SprRgb SystemSpriteSet::Colour(int slot, int frame) {
  // 23 slots x at most 48 frames: a distinct (r, g, b) with every channel 4 .. 31.
  const int n = slot * 48 + frame;  // 0 .. 1103
  return {static_cast<uint8_t>(4 + n % 28), static_cast<uint8_t>(4 + (n / 28) % 28),
          static_cast<uint8_t>(4 + (n / 784) * 9 + slot % 9)};
}

int SystemSpriteSet::Width(int slot, int frame) { return 8 + (slot + frame) % 5 * 2; }
int SystemSpriteSet::Height(int slot, int frame) { return 6 + (slot * 3 + frame) % 4 * 2; }

std::string SystemSpriteSet::FileName(int slot) { return "sys_" + std::to_string(slot) + ".spr"; }

std::vector<uint8_t> SystemSpriteSet::File(int slot) {
  const int frames = Frames(slot);
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations(1);
  for (int i = 0; i < frames; ++i) {
    colours.push_back(Colour(slot, i));
    const int w = Width(slot, i), h = Height(slot, i);
    images.push_back({static_cast<uint16_t>(w), static_cast<uint16_t>(h), kSprDepth8, 0,
                      std::vector<uint8_t>(static_cast<size_t>(w * h),
                                           static_cast<uint8_t>(i + 1))});
    units.push_back({BoxEntry(static_cast<uint16_t>(i), 0, 0, static_cast<int16_t>(w),
                              static_cast<int16_t>(h))});
    animations[0].push_back({static_cast<uint16_t>(i), 8});
  }
  for (int i = 0; i < frames; ++i) animations.push_back({{static_cast<uint16_t>(i), 8}});
  return AnimationFile(colours, images, units, animations);
}

SystemSpriteSet& SystemSpriteSet::OmitFile(int slot) {
  omitted_.push_back(slot);
  return *this;
}

void SystemSpriteSet::Lay(GameTree& tree) const {
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) {
    if (std::find(omitted_.begin(), omitted_.end(), slot) != omitted_.end()) continue;
    tree.Write(SystemTabWriter::TreeRel(FileName(slot)), File(slot));
  }
  SystemTabWriter().All().Lay(tree);
}

SystemTabWriter& SystemTabWriter::Line(const std::string& id, const std::string& file) {
  lines_.push_back(id + "\t" + file);
  return *this;
}

SystemTabWriter& SystemTabWriter::Raw(const std::string& line) {
  lines_.push_back(line);
  return *this;
}

SystemTabWriter& SystemTabWriter::All() {
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) {
    Line(kSlgSysSpriteIds[slot], SystemSpriteSet::FileName(slot));
  }
  return *this;
}

std::string SystemTabWriter::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

void SystemTabWriter::Lay(GameTree& tree) const { tree.Write(TreeRel("System.Tab"), Text()); }

std::string SystemTabWriter::TreeRel(const std::string& file) {
  // The battle data directory keeps the spelling the table writer uses.
  return "install/TaMvIk2/" + file;
}

}  // namespace testsupport
