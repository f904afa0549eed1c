#include "testsupport/attack_fixtures.h"

#include <set>

#include "battle/slg_tables.h"
#include "engine/files/random.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

namespace {

constexpr SprRgb kBlack{0, 0, 0};
constexpr SprRgb kMarker{31, 31, 31};
constexpr int kSituations[] = {kSlgVoiceAttack, kSlgVoiceCritical, kSlgVoiceSpecial,
                               kSlgVoiceGattai};

bool IsPictureSlot(int slot) { return slot == kAnmSpecialBg || slot == kAnmGattaiBg; }

std::string SeFile(int n) { return "se" + std::to_string(n) + ".wav"; }
std::string VoiceFile(int n) { return "v" + std::to_string(n) + ".wav"; }

}  // namespace

AttackFixtures::AttackFixtures(int kind) : kind_(kind) {
  for (int slot = 0; slot < kSlgAnmSlots; ++slot) {
    if (slot == kAnmBaseEffect) continue;
    if (IsPictureSlot(slot)) {
      pictures_[slot] = std::vector<AttackPicture>(kPictures);
    } else {
      anims_[slot] = std::vector<AttackAnim>(slot == kAnmBaseBody ? kBaseAnims : kSlotAnims);
    }
  }
}

AttackFixtures& AttackFixtures::Slot(int slot, std::vector<AttackAnim> anims) {
  anims_[slot] = std::move(anims);
  return *this;
}

AttackFixtures& AttackFixtures::Slot(int slot, int count, const AttackAnim& anim) {
  return Slot(slot, std::vector<AttackAnim>(static_cast<size_t>(count), anim));
}

AttackFixtures& AttackFixtures::Pictures(int slot, std::vector<AttackPicture> pictures) {
  pictures_[slot] = std::move(pictures);
  return *this;
}

AttackFixtures& AttackFixtures::Omit(int slot) {
  anims_.erase(slot);
  pictures_.erase(slot);
  return *this;
}

AttackFixtures& AttackFixtures::Apply(Variant variant, int type) {
  switch (variant) {
    case Variant::kFull: break;
    case Variant::kTwoFrames: EveryFrames(2); break;
    case Variant::kOneFrame: EveryFrames(1); break;
    case Variant::kNoFrames: EveryFrames(0); break;
    case Variant::kMissingSlot: Omit(GetAtkEffectUnitAnmfromAtkType(type)); break;
    case Variant::kMissingPicture:
      for (auto& [slot, pictures] : pictures_) pictures.resize(1);
      break;
  }
  return *this;
}

void AttackFixtures::EveryFrames(int frames) {
  for (auto& [slot, anims] : anims_) {
    if (slot == kAnmBaseBody) continue;
    for (AttackAnim& a : anims) a.frames = frames;
  }
}

AttackFixtures& AttackFixtures::DrawLengths(uint32_t seed) {
  constexpr int kLongest = 300;
  GameRandom random;
  random.Seed(seed);
  for (auto& [slot, anims] : anims_) {
    if (slot == kAnmBaseBody) continue;
    for (AttackAnim& a : anims) a.frames = 1 + random.Next() % kLongest;
  }
  return *this;
}

SprRgb AttackFixtures::Colour(int kind, int slot, int n) {
  const int v = (kind * kSlgAnmSlots + slot) * 16 + (n % 16) + 1;
  return {static_cast<uint8_t>(v & 31), static_cast<uint8_t>((v >> 5) & 31),
          static_cast<uint8_t>((v >> 10) & 31)};
}

std::string AttackFixtures::FileName(int slot) const {
  return "atk" + std::to_string(kind_) + "_" + std::to_string(slot) + ".spr";
}

std::vector<uint8_t> AttackFixtures::File(int slot) const {
  if (const auto p = pictures_.find(slot); p != pictures_.end()) {
    std::vector<SprRgb> colours{kBlack};
    std::vector<SprImage> images;
    for (size_t i = 0; i < p->second.size(); ++i) {
      const AttackPicture& pic = p->second[i];
      colours.push_back(Colour(kind_, slot, static_cast<int>(i)));
      images.emplace_back(pic.width, pic.height, kSprDepth8, 0,
                          std::vector<uint8_t>(size_t{pic.width} * pic.height,
                                               static_cast<uint8_t>(i + 1)));
    }
    return PictureFile(colours, images);
  }
  const auto a = anims_.find(slot);
  if (a == anims_.end()) return {};
  // Colour 0 black (the key), 1 the marker, 2 + n animation n.
  std::vector<SprRgb> colours{kBlack, kMarker};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  for (size_t n = 0; n < a->second.size(); ++n) {
    const AttackAnim& anim = a->second[n];
    const int side = anim.side;
    colours.push_back(Colour(kind_, slot, static_cast<int>(n)));
    std::vector<uint8_t> pixels(static_cast<size_t>(side * side));
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        pixels[static_cast<size_t>(y * side + x)] =
            static_cast<uint8_t>(x < kMarkerWidth ? 1 : 2 + n);
      }
    }
    const auto s = static_cast<uint16_t>(side);
    images.emplace_back(s, s, kSprDepth8, 0, std::move(pixels));
    const auto half = static_cast<int16_t>(side / 2);
    units.push_back({BoxEntry(static_cast<uint16_t>(n), static_cast<int16_t>(-half),
                              static_cast<int16_t>(-side), static_cast<int16_t>(side),
                              static_cast<int16_t>(side))});
    std::vector<SprFrameSpec> frames;
    for (int f = 0; f <= anim.frames; ++f) {
      for (const auto& [at, code] : anim.events) {
        if (at == f) frames.push_back({static_cast<uint16_t>(n), static_cast<uint16_t>(code)});
      }
      if (f < anim.frames) frames.push_back({static_cast<uint16_t>(n), anim.ticks});
    }
    animations.push_back(std::move(frames));
  }
  return AnimationFile(colours, images, units, animations);
}

void AttackFixtures::Lay(GameTree& tree, SlgTableWriter& tables) const {
  const char* unit_name = kSlgUnitIdNames[static_cast<size_t>(kind_)];
  std::set<int> effects;
  for (int slot = 0; slot < kSlgAnmSlots; ++slot) {
    const std::vector<uint8_t> bytes = File(slot);
    if (bytes.empty()) continue;
    tree.Write(SlgTableWriter::TreeRel("tamvik2\\" + FileName(slot)), bytes);
    tables.UnitAnm(unit_name, kSlgAnmSlotNames[static_cast<size_t>(slot)], FileName(slot));
    if (const auto a = anims_.find(slot); a != anims_.end()) {
      for (const AttackAnim& anim : a->second) {
        for (const auto& [at, code] : anim.events) {
          if (code <= -10) effects.insert(-code);
        }
      }
    }
  }
  for (const int se : effects) {
    tables.Se(se, SeFile(se));
    SlgTableWriter::LayWave(tree, "TAMVIK2\\SE\\" + SeFile(se), 0.1);
  }
  for (const int situation : kSituations) {
    const int voice = VoiceNumber(kind_, situation);
    tables.VoiceFile(voice, VoiceFile(voice));
    tables.UnitVoices(unit_name, kSlgSituationNames[static_cast<size_t>(situation)], {voice});
    SlgTableWriter::LayWave(tree, "TAMVIK2\\VOICE\\" + VoiceFile(voice), 0.1);
  }
}

}  // namespace testsupport
