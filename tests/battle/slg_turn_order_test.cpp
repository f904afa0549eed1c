// Appending a unit to the turn order: behind the entries already there with the order's key,
// and refused (nothing changed, a trace) when the order is full or the slot is not in use.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_turn_order.h"
#include "battle/slg_unit.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;

TEST(SlgAppendToOrder, AppendsBehindTheListedUnitsWithSpeedAndTrustInTheKey) {
  testsupport::BattleRig rig;  // the trust variables are the game's
  BattleBoard board(rig.battle());
  const uint8_t enemy = board.AddUnit({.side = 1, .character = 20, .kind = 14, .category = 1});
  const uint8_t heroine = board.AddUnit({.side = 0, .character = 2, .kind = 2, .x = 96});
  SlgOrder& order = board.battle().order;
  order.entries[0] = {7, 100};
  order.count = 1;
  SlgSetMacroP(21, 32768 + 10);  // character 2 at trust level 10

  ASSERT_EQ(Slg::AppendToOrder(enemy), 1);
  ASSERT_EQ(Slg::AppendToOrder(heroine), 1);

  ASSERT_EQ(order.count, 3);
  EXPECT_EQ(order.entries[0].slot, 7);
  EXPECT_EQ(order.entries[1].slot, enemy);
  EXPECT_EQ(order.entries[1].key, 255 - kSlgUnitType[14].move);
  EXPECT_EQ(order.entries[2].slot, heroine);
  EXPECT_EQ(order.entries[2].key, 255 - kSlgUnitType[2].move - 10);
}

TEST(SlgAppendToOrder, RefusesAFullOrAnUnreadableOrderAndASlotNotInUse) {
  struct Case {
    const char* name;
    int16_t count;
    uint32_t slot;
    const char* trace;
  };
  for (const Case& c : {Case{"full", 64, 0, "order full"},
                        Case{"count past the array", 300, 0, "order full"},
                        Case{"negative count", -1, 0, "order full"},
                        Case{"slot not in use", 3, 1, "not in use"},
                        Case{"no unit", 3, 65535, "not in use"}}) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    board.AddUnit({.side = 1, .kind = 14, .category = 1});
    SlgOrder& order = board.battle().order;
    for (int i = 0; i < kSlgMaxUnits; ++i) order.entries[i] = {static_cast<uint16_t>(i), 9};
    order.count = c.count;
    const SlgOrder before = order;
    testsupport::TraceCapture trace;

    EXPECT_EQ(Slg::AppendToOrder(c.slot), 0);

    EXPECT_EQ(order.count, before.count);
    for (int i = 0; i < kSlgMaxUnits; ++i) {
      EXPECT_EQ(order.entries[i].slot, before.entries[i].slot);
      EXPECT_EQ(order.entries[i].key, before.entries[i].key);
    }
    EXPECT_TRUE(trace.Contains(c.trace));
  }
}

}  // namespace
