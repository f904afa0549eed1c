#include "battle/slg_turn_order.h"

#include "battle/battle_context.h"
#include "battle/slg_formulas.h"
#include "engine/core/debug_trace.h"

namespace Slg {

int AppendToOrder(uint32_t slot) {
  BattleContext& b = Battle();
  SlgOrder& order = b.order;
  if (order.count < 0 || order.count >= kSlgMaxUnits) {
    DebugPrint("Slg::AppendToOrder: order full (%d entries), slot %u left out\n", order.count,
               slot);
    return 0;
  }
  if (slot >= b.state.unit_count) {
    DebugPrint("Slg::AppendToOrder: slot %u not in use (%d units)\n", slot, b.state.unit_count);
    return 0;
  }
  const SlgUnit& unit = b.state.units[slot];
  const int key = 255 - unit.stats.move - TrustLevel(unit);
  order.entries[static_cast<size_t>(order.count)] = {static_cast<uint16_t>(slot),
                                                     static_cast<uint16_t>(key)};
  ++order.count;
  return 1;
}

}  // namespace Slg
