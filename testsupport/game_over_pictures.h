#pragma once
// The two game-over pictures for battle tests: full-screen (640 x 480) sprite files of one
// colour each, the two colours different, written where Slg::LoadGameOverPicture finds them
// ("tamvik2\BG\GO_Telka.spr" and "tamvik2\BG\GO_Varno.spr", mixed case under the install
// directory).

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

struct GameOverPictures {
  static constexpr SprRgb kTelka{28, 6, 4};
  static constexpr SprRgb kVarno{4, 10, 28};
  // The sprite file of one colour.
  static std::vector<uint8_t> File(SprRgb colour);
  // The tree paths of the two files.
  static std::string TelkaRel() { return "install/TaMvIk2/Bg/GO_Telka.spr"; }
  static std::string VarnoRel() { return "install/TaMvIk2/Bg/GO_Varno.spr"; }
  // Writes both (or only the one not omitted).
  static void Lay(GameTree& tree, bool telka = true, bool varno = true);
};

}  // namespace testsupport
