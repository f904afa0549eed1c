#pragma once
// The spawner: effects that start one after another with the clock, "every time frames / N
// exceeds the count, the count becomes frames / N and one task <name>%d starts".
//
//   constexpr SpawnRule kAfterImages{.interval = 4};   // at 4, 8, 12 ... frames
//   Spawner images{};                                  // zero: nothing started yet
//   ...each call, with the frames of the motion:
//   SpawnTask(images, kAfterImages, frames, owner, &AfterImage, "Fx::AfterImage");
//   if (images.count >= 8) ...                         // the count the motion waits for
//
// The rule, for frames f (frames before 0 count as 0):
// - the quotient q = (f - first) / interval + 1 once f >= first, else 0; with first at its
//   default (one interval) this is f / interval;
// - a call starts one when q exceeds the count and fewer than `limit` were started: the count
//   becomes q and the start is numbered as the rule says (below). So a clock that jumps several
//   intervals between two calls starts one, and the counts in between are skipped (the raised
//   count jumps with it); a start is never made up later.
// - the number: the count after the raise (kRaised: "%d = that count"), before it (kBefore: "the
//   count before the raise"), or how many were started before this one (kRunning: a running
//   number 0, 1, 2 ...).

#include <cstdint>

#include "battle/slg_task.h"

struct GameTaskRec;

enum class SpawnNumber : uint8_t { kRaised, kBefore, kRunning };

struct SpawnRule {
  int32_t interval = 1;  // frames between starts (below 1 counts as 1)
  int32_t first = -1;    // frames before the first start; below 0: one interval
  int32_t limit = 0;     // starts at most; 0 or below: no limit
  SpawnNumber number = SpawnNumber::kRaised;
};

// A spawner's state, in the routine's work (zero-filled: nothing started).
struct Spawner {
  int32_t count;    // the quotient at the last start
  int32_t started;  // starts made
};

// One call: the number of the start due at `frames` (the spawner then counts it as made), or -1
// when none is due.
int32_t SpawnDue(Spawner& spawner, const SpawnRule& rule, int32_t frames);

// SpawnDue, and when a start is due the effect task "<base><number>" under `owner` with `body`.
// Null when none is due or the task could not be made (the start still counts: it is not
// retried).
SlgEffectTask* SpawnTask(Spawner& spawner, const SpawnRule& rule, int32_t frames,
                         GameTaskRec* owner, SlgBody body, const char* base);
