#include "battle_events/core/event_table.h"

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/core/cond_eval.h"

namespace {

bool Empty(const char* condition) { return condition == nullptr || condition[0] == '\0'; }

// The five tests of a row, in their order; the first that fails ends the test.
bool RowMatches(const SlgEventEntry& row, uint16_t timing) {
  if ((row.timing & timing) == 0) return false;
  if (row.guard[1] != 0 && CheckEventFlag(row.guard[1]) != 0) return false;
  if (row.guard[0] != 0 && CheckEventFlag(row.guard[0]) != 0) return false;
  if (!Empty(row.c) && CondEval(row.c) != 0) return false;
  if (!Empty(row.a) && CondEval(row.a) == 0) return false;
  return Empty(row.b) || CondEval(row.b) != 0;
}

// Flag ids are signed in the rows; a negative one becomes an id above 2047, which the flag
// calls ignore.
uint32_t FlagId(int16_t id) { return static_cast<uint32_t>(static_cast<int32_t>(id)); }

}  // namespace

const SlgEventEntry* FindEvent(const SlgEventEntry* table) {
  if (table == nullptr) return nullptr;
  const uint16_t timing = Battle().state.turn_flags;
  const SlgEventEntry* row = table;
  while (row->handler != nullptr && !RowMatches(*row, timing)) ++row;
  return row;
}

void EventFinish(const SlgEventEntry* row) {
  BattleContext& b = Battle();
  if (row != nullptr) {
    for (const int16_t id : row->set) {
      if (id != 0) SetEventFlag(FlagId(id));
    }
    for (const int16_t id : row->clear) {
      if (id != 0) ClearEventFlag(FlagId(id));
    }
  }
  b.event_busy = 0;
  b.control.turn_hold = 0;
  b.event_unit_ref = {kSlgNoUnit, kSlgNoUnit};
}
