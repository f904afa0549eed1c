#include "testsupport/game_over_pictures.h"

#include "testsupport/temp_tree.h"

namespace testsupport {

std::vector<uint8_t> GameOverPictures::File(SprRgb colour) {
  constexpr int kWidth = 640;
  constexpr int kHeight = 480;
  return PictureFile({{0, 0, 0}, colour},
                     {SprImage(kWidth, kHeight, kSprDepth8, 0,
                               std::vector<uint8_t>(static_cast<size_t>(kWidth) * kHeight, 1))});
}

void GameOverPictures::Lay(GameTree& tree, bool telka, bool varno) {
  if (telka) tree.Write(TelkaRel(), File(kTelka));
  if (varno) tree.Write(VarnoRel(), File(kVarno));
}

}  // namespace testsupport
