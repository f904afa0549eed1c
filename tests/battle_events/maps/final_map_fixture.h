#pragma once
// What the tests of the final battle's maps (23-26) share: the rows of a table and a unit's cell.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle_events/core/event_table.h"
#include "testsupport/event_harness.h"

namespace final_map_test {

inline std::vector<int> Ids(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

// The map's four rows: ids map x 1000 + 105, 106, 110, 111 with these conditions B, timing
// 0x8000, guard and set flag the row's own.
inline void ExpectFinalRows(const SlgEventEntry* table, int map,
                            std::initializer_list<const char*> conditions) {
  const int rows[] = {105, 106, 110, 111};
  std::vector<int> ids;
  for (int r : rows) ids.push_back(map * 1000 + r);
  EXPECT_EQ(Ids(table), ids);
  int n = 0;
  for (const char* b : conditions) {
    SCOPED_TRACE(rows[n]);
    EXPECT_EQ(table[n].timing, 0x8000);
    EXPECT_STREQ(table[n].b, b);
    EXPECT_EQ(table[n].guard[0], rows[n]);
    EXPECT_EQ(table[n].set[0], rows[n]);
    ++n;
  }
  EXPECT_EQ(n, 4);
}

// Whether the unit stands on the cell of map point (x, y).
inline bool SameCell(const SlgUnit* u, int x, int y) {
  if (u == nullptr) return false;
  const SlgCell a = PosToCell(u->x >> 16, u->y >> 16);
  const SlgCell b = PosToCell(x, y);
  return a.column == b.column && a.row == b.row;
}

// 1 when the unit stands on the cell of (x, y) facing `dir`, 0 when there is neither a cell
// (`has_cell` false) nor a unit, -1 otherwise.
inline int Placed(const SlgUnit* u, bool has_cell, int x, int y, uint32_t dir) {
  if (!has_cell) return u == nullptr ? 0 : -1;
  return SameCell(u, x, y) && u->dir == dir ? 1 : -1;
}

}  // namespace final_map_test
