#include "testsupport/map_test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "battle/slg_geometry.h"

namespace testsupport {

std::vector<int> TableIds(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

bool OnCellOf(const SlgUnit* unit, int x, int y) {
  if (unit == nullptr) return false;
  const SlgCell a = PosToCell(unit->x >> 16, unit->y >> 16);
  const SlgCell b = PosToCell(x, y);
  return a.column == b.column && a.row == b.row;
}

std::unique_ptr<EventHarness> FinalPartyHarness(const MapSetup& setup, int stage,
                                                const std::vector<int>& missing) {
  EventHarness::Options options;
  options.stage = stage;
  auto h = std::make_unique<EventHarness>(setup, options);
  h->ExpectTrace("UID:");
  h->install.stage.units[0].x = 400;
  h->install.stage.units[0].y = 600;
  for (int c = 1; c <= 6; ++c) {
    if (std::find(missing.begin(), missing.end(), c) == missing.end()) {
      h->AddUnit(0, c, c + 7, 0, 300 + 48 * c, 700);
    }
  }
  return h;
}

void ExpectFinalRows(const SlgEventEntry* table, const std::array<int, 4>& ids,
                     const std::array<const char*, 4>& conditions) {
  EXPECT_EQ(TableIds(table), std::vector<int>(ids.begin(), ids.end()));
  const int flags[] = {105, 106, 110, 111};
  for (size_t n = 0; n < ids.size(); ++n) {
    const SlgEventEntry& row = table[n];
    EXPECT_EQ(row.timing, 0x8000) << ids[n];
    EXPECT_STREQ(row.b, conditions[n]) << ids[n];
    EXPECT_EQ(row.guard[0], flags[n]) << ids[n];
    EXPECT_EQ(row.set[0], flags[n]) << ids[n];
  }
}

}  // namespace testsupport
