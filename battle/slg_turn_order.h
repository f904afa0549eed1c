#pragma once
// Appending a unit to the round's turn order (Battle().order) while a round runs: units made
// during the battle (produced by a factory or a generator, summoned, transformed) act in the
// round they appear in, after the units already listed.

#include <cstdint>

namespace Slg {

// Appends the unit in `slot` behind the last entry of the turn order, with the key the order
// sorts by (255 - its speed byte - its trust level), and raises the count. Refused (a trace,
// 0, the order unchanged) when the order already holds 64 entries, its count is out of range,
// or the slot is not in use. 1 when appended.
int AppendToOrder(uint32_t slot);

}  // namespace Slg
