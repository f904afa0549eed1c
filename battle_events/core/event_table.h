#pragma once
// The event table of a battle map: a constant list of rows compiled into the program, each
// naming a handler (the scripted event) and the moment, flags and conditions under which it may
// start. The event check (battle_events/core/event_check.h) installs a table, looks for the first
// row that may start every frame and runs its handler until it ends.
//
// A map's table, in table order, ended by a row whose handler is null:
//
//   constexpr SlgEventEntry kMap27Events[] = {
//       {.id = 27150, .timing = 0x8000, .guard = {150, 0}, .set = {150, 0},
//        .handler = &Arrival},
//       {.id = 27151, .timing = 0x8, .b = "PGU(GBO,UGK);", .guard = {151, 0}, .set = {151, 0},
//        .handler = &ChoiceTalk},
//       {.id = 27520, .timing = 0x4, .b = "KP(ITV);", .handler = &EventRefUnitTalk,
//        .arg = &kTalk27520},
//       kEventTableEnd,
//   };
//
// Conditions are statements of the condition language (battle_events/core/cond_eval.h) ending in
// ";"; a condition left out points at the one shared empty string kNoEventCondition, and any
// condition whose first character is NUL (or a null pointer) is empty. Flag ids are event flags
// (battle/slg_events.h); 0 marks an empty slot, so flag 0 can never be a guard, set or cleared.

#include <array>
#include <cstdint>

struct SlgEventEntry;

// An event's handler: called once per frame with its row while the event runs; it switches on
// EventStep() and calls EventEnd() on its last step (battle_events/core/event_check.h).
using SlgEventHandler = void (*)(const SlgEventEntry& row);

// The empty condition every row shares (one object for the whole program).
inline constexpr char kNoEventCondition[] = "";

// One row of an event table. Plain constant data; the field order is the order the maps' tables
// list them in.
struct SlgEventEntry {
  // The event's identifier (the machinery does not interpret it).
  uint16_t id = 0;
  // The row may start only when the timing word (Battle().state.turn_flags) has one of these
  // bits; 0 never starts.
  uint16_t timing = 0;
  // Condition A: must evaluate non-zero (empty: holds).
  const char* a = kNoEventCondition;
  // Condition B: must evaluate non-zero (empty: holds); evaluated only once A has held.
  const char* b = kNoEventCondition;
  // Guard flags: the row is skipped while any non-zero one is set; an id outside 0-2047 counts as
  // set, so it blocks the row for good.
  std::array<int16_t, 2> guard{};
  // Condition C: must evaluate to 0 (empty: holds); evaluated before A and B.
  const char* c = kNoEventCondition;
  // Flags set, then flags cleared, when the event finishes (non-zero ids; ids outside 0-2047 are
  // ignored). A flag both set and cleared ends cleared.
  std::array<int16_t, 2> set{};
  std::array<int16_t, 2> clear{};
  // The handler; null ends the table.
  SlgEventHandler handler = nullptr;
  // A constant argument block for handlers shared by several rows (null for most rows); the
  // handler knows its type.
  const void* arg = nullptr;
};

// The row that ends every table.
inline constexpr SlgEventEntry kEventTableEnd{};

// The first row of `table`, in table order, that passes all five tests, run in this order and
// stopping at the first that fails (so a later condition is not evaluated, and a condition's
// random test draws nothing):
//   1. timing: (row timing AND the timing word) is not 0;
//   2. guard: no non-zero guard id is set (the second slot tested first);
//   3. condition C empty or 0;  4. condition A empty or non-zero;  5. condition B empty or
//      non-zero.
// The terminating row (handler null) when none passes; null for a null table.
const SlgEventEntry* FindEvent(const SlgEventEntry* table);

// An event has ended: sets the row's set flags (slot 1, then 2), clears its clear flags (slot 1,
// then 2), then the event's busy and hold words (Battle().event_busy, control.turn_hold) := 0 and
// both event unit references := 65535. Null: only the words.
void EventFinish(const SlgEventEntry* row);
