// The map scripts' live-unit look-ups on the battle rig (a board on its battle): a record being
// removed is passed over where the look-up walks the units, and answers null where the look-up
// names one record.

#include <gtest/gtest.h>

#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_events/events_install.h"
#include "battle_events/maps/kit/party_units.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::SlgTableWriter;

class KitUnits : public ::testing::Test {
 protected:
  KitUnits() {
    GetSystemData()->setBattleMap(0);
    SlgTableWriter tables;
    testsupport::UnitAnmWriter(0).Slots({5, 6}).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    InstallBattleEvents(rig.battle());
  }

  SlgUnit& U(int slot) { return rig.battle().state.units[static_cast<size_t>(slot)]; }

  BattleRig rig;
  BattleBoard board{rig.battle()};
};

TEST_F(KitUnits, LookUpsPassOverRemovedRecordsAndOtherSides) {
  board.AddUnit({.side = 0, .character = 3, .kind = 3});                 // 0, removed below
  board.AddUnit({.side = 1, .character = 3, .kind = 14, .number = 1});   // 1, removed below
  board.AddUnit({.side = 0, .character = 3, .kind = 3});                 // 2
  board.AddUnit({.side = 1, .character = 21, .kind = 14, .number = 2});  // 3
  board.AddUnit({.side = 2, .character = 5, .kind = 23});                // 4
  ASSERT_EQ(board.AddUnit({.side = 0, .character = 4, .kind = 3}), 5);  // 5, made an event object
  U(0).step = kSlgDeadStep;
  U(1).step = kSlgDeadStep;
  U(5).kind = 85;  // an event object's record: side 0 and a character byte of its own
  struct Case {
    const char* name;
    SlgUnit* found;
    int slot;  // -1: none
  };
  const std::vector<Case> cases = {
      {"party character 3: the live record after the removed one", LivePartyUnit(3), 2},
      {"party character 5: only on side 2", LivePartyUnit(5), -1},
      {"party character 21: only on side 1", LivePartyUnit(21), -1},
      {"party character 4: only an event object carries it", LivePartyUnit(4), -1},
      {"kind 3: the live record after the removed one", LiveUnitOfKind(3), 2},
      {"kind 14: the live record after the removed one", LiveUnitOfKind(14), 3},
      {"kind 23 on side 2", LiveUnitOfKind(23), 4},
      {"kind 99", LiveUnitOfKind(99), -1},
      {"kind 14 number 1: removed", LiveUnitByIndex(14, 0x100), -1},
      {"kind 14 number 2", LiveUnitByIndex(14, 0x200), 3},
      {"kind 14 number 3", LiveUnitByIndex(14, 0x300), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.found, c.slot < 0 ? nullptr : &U(c.slot));
  }
}

}  // namespace
