#pragma once
// The event-table lint: checks a map's set-up and every row of its event table for the faults
// that would otherwise show only in play. A row is named by its index in the table (ids repeat
// within a table), with its id for the reader:
//   - every non-empty condition (A, B, C) parses with the condition language's checked form with
//     no syntax error, and ends with ";" (a string whose ";" is missing still evaluates, as true);
//   - no row before the end row has a null handler: the walk stops at the end row (every field
//     empty, kEventTableEnd) and reports a row with a null handler that is not one (its handler
//     lost; the table would end there in play);
//   - every non-zero guard, set and clear flag lies in 1-2047;
//   - every message list a row plays (a talk-list row's, a step sequence's; battle_events/maps/
//     kit/event_rows.h) ends with the end marker (face 65535);
//   - a step sequence's program is not refused (EventSeq::Fault);
//   - an event-animation table that is given has its length (a table pointer with no rows);
//   - every timing mask is non-zero and holds only the bits the battle sets (kEventTimingBits);
//   - every row of a shared handler (the row adapters of battle_events/maps/kit/event_rows.h, the
//     step sequences, the reaction lines) carries its argument block;
//   - every event object a step sequence deploys (DeployKind, DeployKindNo; kind 80 and above)
//     has a handler slot in the map's event-animation table (kind - 80 below its length).
//
// A step sequence's program is checked by EventSeq::Fault: exactly one End, every jump, repeat
// and branch (a branch's default included: every choice has one) naming a label of the program.
//
// CheckMapSetupShape compares a set-up with what its map must install (music, event-animation
// table, deferred set-up, map tasks and their order).
//
//   for (const TableFault& f : LintMapSetups(kMapEventSetupTable)) ADD_FAILURE() << f.Text();

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "battle_events/map_setup.h"

namespace testsupport {

struct TableFault {
  int stage = 0;     // the set-up table's row (map stage + 1)
  int row = -1;      // the event table's row index; -1 for the set-up itself
  uint16_t id = 0;   // the row's id
  std::string field;  // "condition A", "handler", "guard flag 2", "message list", ...
  std::string what;

  // "map 4 row 12 (id 4500) condition B: ..." (or "map 4 set-up anm table: ...").
  std::string Text() const;
};

// The timing bits the battle sets: kTurnNoEvent (0x8000), kTurnNewRound (0x0001), the player
// phase's chosen command (0x0002), kTurnSameUnit (0x0004), the acting unit chosen (0x0008, with
// 0x0004) and the attack command's cover (0x0010). A row waiting on any other bit never starts.
constexpr uint16_t kEventTimingBits = 0x801F;

// What a map's set-up must install.
struct MapSetupShape {
  MapBgm bgm{};
  bool anm_table = false;
  bool deferred = false;
  // The map tasks in the order they are made: each name and when, against the deferred call.
  struct Task {
    std::string name;
    MapTaskOrder order = MapTaskOrder::kAfterDeferred;
  };
  std::vector<Task> tasks;
};

// The differences between a set-up and its shape, as faults of the set-up (row -1).
std::vector<TableFault> CheckMapSetupShape(int stage, const MapSetup& setup,
                                           const MapSetupShape& shape);

// The faults of one set-up (stage 0-26; its map is stage + 1).
std::vector<TableFault> LintMapSetup(int stage, const MapSetup& setup);
// The faults of every non-null row of a set-up table.
std::vector<TableFault> LintMapSetups(std::span<const MapSetup* const> rows);

}  // namespace testsupport
