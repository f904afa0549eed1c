#pragma once
// Small pieces the map scripts' tests share: a table's row ids in order, whether a unit stands on
// the cell of a map point, and for the final battle's maps the party's harness and the check of
// their four rows.

#include <array>
#include <memory>
#include <vector>

#include "battle/slg_battle_state.h"
#include "battle_events/core/event_table.h"
#include "battle_events/map_setup.h"
#include "testsupport/event_harness.h"

namespace testsupport {

// The ids of the table's rows up to its end row (the first without a handler).
std::vector<int> TableIds(const SlgEventEntry* table);

// Whether the unit is on the cell of map pixel (x, y); false for null.
bool OnCellOf(const SlgUnit* unit, int x, int y);

// A final-battle map's harness on `stage`: the hero at (400, 600) and heroines 1-6 as unit kinds
// 8-13 in a row below him (the characters in `missing` left out); the traces of the units'
// sprites missing from the test install let pass.
std::unique_ptr<EventHarness> FinalPartyHarness(const MapSetup& setup, int stage,
                                                const std::vector<int>& missing);

// A final-battle map's four rows (failures reported to the running test): the ids in order, all
// timing 0x8000, condition B as given, guard flag and set flag 105, 106, 110, 111.
void ExpectFinalRows(const SlgEventEntry* table, const std::array<int, 4>& ids,
                     const std::array<const char*, 4>& conditions);

}  // namespace testsupport
