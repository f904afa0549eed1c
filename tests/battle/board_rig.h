#pragma once
// A board on the battle rig with the system sprites loaded, for tests that drive a phase or a
// program one rig frame at a time; units are added on cells and placed.

#include <cstdint>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_unit_sprite.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/system_sprites.h"

namespace board_rig {

using Cell = std::pair<int, int>;  // (column, row)

class BoardRig {
 public:
  explicit BoardRig(uint16_t map_width = 1280, uint16_t map_height = 2200) : board(rig.battle()) {
    testsupport::SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    board.SetMapSize(map_width, map_height);
  }
  ~BoardRig() {
    Slg::ReleaseRangeMarkers();
    FreeSystemSprites();
  }
  BoardRig(const BoardRig&) = delete;
  BoardRig& operator=(const BoardRig&) = delete;

  // A unit on cell `c`, placed, with a move of 3 and `life` of 100.
  uint8_t Add(Cell c, testsupport::BoardUnit u, int life = 100) {
    const uint8_t slot = board.AddUnit(testsupport::OnCell(c.first, c.second, u));
    SlgUnit& unit = U(slot);
    Slg::PlaceUnit(unit);
    unit.stats.total_move = 3;
    unit.stats.life = static_cast<int16_t>(life);
    unit.stats.max_life = 100;
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }

  testsupport::BattleRig rig;
  testsupport::BattleBoard board;
};

}  // namespace board_rig
