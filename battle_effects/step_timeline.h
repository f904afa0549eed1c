#pragma once
// The frame of an attack routine: a timeline of rows {wait, action, next}, run one call a frame.
//
// An attack routine, or one of its effect tasks, is a step machine. Its step lives where the
// routine keeps it (the unit's step counter SlgUnit::step, a task's SlgEffectTask::phase, or the
// body object's state byte unit.anm->state); the timeline reads and writes it there, so
// SetUnitState, which clears the first and the last, starts the timeline again. Each row waits,
// then runs its action once and goes to its next step; the clock of the step starts when the
// step begins, and frames are counted as everywhere in the battle: (game clock now - start) x 60
// / 1000, toward zero (so a slow machine that skips frames reaches the same waits).
//
//   struct Swing {                        // the routine's work, zero-filled (SlgAlloc gives
//     StepClock clock;                    // zeroed blocks; a block kept across attacks is
//     SlgAttackCtx* ctx;                  // cleared at the attack's start)
//     SlgUnit* unit;
//   };
//   constexpr TimelineRow<Swing> kSwing[] = {
//       {TimelineWait<Swing>::AtOnce(), &Start},                       // step 0
//       {TimelineWait<Swing>::AttackAnms([](Swing& w) { return w.ctx; })},
//       {TimelineWait<Swing>::Frames(30), &Finish, kTimelineStop},     // EndAttack: state 7
//   };
//   RunTimeline(kSwing, unit.step, work.clock, work);
//
// The rules of the contract the timeline keeps:
// - A routine leaves its attack state only for state 7, through SetUnitState(unit, 7) or
//   EndAttack; an action that does so (or ends the routine's task, freeing the record that holds
//   the step) returns kTimelineStop, and the timeline then touches neither the step nor the clock.
// - A wait for an animation frame also ends when the animation has ended or has no handle, so a
//   short or missing animation never holds the attack.
// - Every wait is bounded by what it waits for; a row that may wait on something outside the
//   routine's control gives itself a frame limit with a second row or its own `each`.

#include <cstddef>
#include <cstdint>
#include <span>

#include "battle/slg_attack_state.h"

struct SlgAnmObj;
struct SlgEffectTask;

// The clock of the current step. Zero-filled it is not started: the first call starts it.
struct StepClock {
  uint32_t start;    // game clock ms when the step began
  int32_t calls;     // calls of the step so far, before this one
  uint32_t step;     // the step it was started for
  uint8_t started;
};

// The game clock (ms), and the frames since `start` on it: (now - start) x 60 / 1000, toward
// zero.
uint32_t TimelineNow();
int32_t TimelineFrames(uint32_t start);

enum class TimelineWaitKind : uint8_t {
  kAtOnce,      // no wait
  kFrames,      // n frames since the step began (calls, with kTimelineCalls)
  kFadeEnd,     // the battle fade has ended (SlgIsFadeEnd)
  kAnmEnd,      // the object's animation has ended, or it has none (SlgAnmObjIsEnd)
  kAnmFrame,    // the object's animation is at frame n or later, has ended, or has none
  kAttackAnms,  // no attack animation of the context runs (CountRunningAttackAnms 0; no context)
  kTaskGone,    // the task is not alive (SlgTaskIsAlive 0)
  kCounter,     // the counter is n or more
  kSubDone,     // the sub-sequence, stepped once this call, reports done (1)
};

// A row's wait: its kind, its number and the operand it reads from the routine's work.
template <class W>
struct TimelineWait {
  TimelineWaitKind kind = TimelineWaitKind::kAtOnce;
  int32_t n = 0;
  SlgAnmObj* (*object)(W&) = nullptr;
  const SlgAttackCtx* (*ctx)(W&) = nullptr;
  SlgEffectTask* (*task)(W&) = nullptr;
  int32_t (*counter)(W&) = nullptr;
  int (*sub)(W&) = nullptr;

  static constexpr TimelineWait AtOnce() { return {}; }
  static constexpr TimelineWait Frames(int32_t frames) {
    return {.kind = TimelineWaitKind::kFrames, .n = frames};
  }
  static constexpr TimelineWait FadeEnd() { return {.kind = TimelineWaitKind::kFadeEnd}; }
  static constexpr TimelineWait AnmEnd(SlgAnmObj* (*object)(W&)) {
    return {.kind = TimelineWaitKind::kAnmEnd, .object = object};
  }
  static constexpr TimelineWait AnmFrame(SlgAnmObj* (*object)(W&), int32_t frame) {
    return {.kind = TimelineWaitKind::kAnmFrame, .n = frame, .object = object};
  }
  static constexpr TimelineWait AttackAnms(const SlgAttackCtx* (*ctx)(W&)) {
    return {.kind = TimelineWaitKind::kAttackAnms, .ctx = ctx};
  }
  static constexpr TimelineWait TaskGone(SlgEffectTask* (*task)(W&)) {
    return {.kind = TimelineWaitKind::kTaskGone, .task = task};
  }
  static constexpr TimelineWait Counter(int32_t (*counter)(W&), int32_t target) {
    return {.kind = TimelineWaitKind::kCounter, .n = target, .counter = counter};
  }
  static constexpr TimelineWait SubDone(int (*sub)(W&)) {
    return {.kind = TimelineWaitKind::kSubDone, .sub = sub};
  }
};

// Where a row goes after its action.
constexpr int kTimelineNextRow = -1;  // the next row
constexpr int kTimelineStop = -2;     // the action has ended the routine: nothing is touched

// Row flags.
constexpr uint8_t kTimelineChain = 0x1;  // the next row is tried in the same call
constexpr uint8_t kTimelineCalls = 0x2;  // kFrames counts calls of the step instead of frames

template <class W>
struct TimelineRow {
  TimelineWait<W> wait;
  // Run once when the wait is over; null goes to `next`. It may answer a step to go to, or
  // kTimelineNextRow for `next`, or kTimelineStop when it has ended the routine.
  int (*action)(W&) = nullptr;
  int next = kTimelineNextRow;
  uint8_t flags = 0;
  // Run at every call while the row is the step, before its wait is tested (a follow, a camera).
  void (*each)(W&) = nullptr;
};

// The wait's test, for the waits that read the battle (kFadeEnd, kAnmEnd, kAnmFrame, kAttackAnms,
// kTaskGone); the others are tested by RunTimeline itself.
bool TimelineWaitOver(TimelineWaitKind kind, int32_t n, const SlgAnmObj* object,
                      const SlgAttackCtx* ctx, const SlgEffectTask* task);

// One call of the timeline: the row of the current step (its `each`, its wait; once over, its
// action and the step it names). A step past the rows is the timeline's end: 1, and nothing
// runs. A chained row runs the next row in the same call (at most as many rows as there are).
// 0 while the timeline runs, 1 once its step lies past its rows, kTimelineStop when an action
// stopped it.
template <class W, class Step>
int RunTimeline(std::span<const TimelineRow<W>> rows, Step& step, StepClock& clock, W& work) {
  for (size_t chained = 0; chained <= rows.size(); ++chained) {
    if (static_cast<size_t>(step) >= rows.size()) return 1;
    if (clock.started == 0 || clock.step != static_cast<uint32_t>(step)) {
      clock = StepClock{TimelineNow(), 0, static_cast<uint32_t>(step), 1};
    }
    const TimelineRow<W>& row = rows[static_cast<size_t>(step)];
    if (row.each != nullptr) row.each(work);
    const TimelineWait<W>& w = row.wait;
    bool over = false;
    switch (w.kind) {
      case TimelineWaitKind::kAtOnce: over = true; break;
      case TimelineWaitKind::kFrames:
        over = ((row.flags & kTimelineCalls) != 0 ? clock.calls : TimelineFrames(clock.start)) >= w.n;
        break;
      case TimelineWaitKind::kCounter: over = w.counter == nullptr || w.counter(work) >= w.n; break;
      case TimelineWaitKind::kSubDone: over = w.sub == nullptr || w.sub(work) == 1; break;
      default:
        over = TimelineWaitOver(w.kind, w.n, w.object != nullptr ? w.object(work) : nullptr,
                                w.ctx != nullptr ? w.ctx(work) : nullptr,
                                w.task != nullptr ? w.task(work) : nullptr);
        break;
    }
    if (!over) {
      ++clock.calls;
      return 0;
    }
    int go = row.action != nullptr ? row.action(work) : kTimelineNextRow;
    if (go == kTimelineStop) return kTimelineStop;
    if (go == kTimelineNextRow) {
      go = row.next == kTimelineNextRow ? static_cast<int>(step) + 1 : row.next;
    }
    if (go == kTimelineStop) return kTimelineStop;
    step = static_cast<Step>(go);
    clock = StepClock{TimelineNow(), 0, static_cast<uint32_t>(step), 1};
    if ((row.flags & kTimelineChain) == 0) return static_cast<size_t>(step) >= rows.size() ? 1 : 0;
  }
  return 0;
}

// The same over a plain array of rows.
template <class W, size_t N, class Step>
int RunTimeline(const TimelineRow<W> (&rows)[N], Step& step, StepClock& clock, W& work) {
  return RunTimeline(std::span<const TimelineRow<W>>(rows, N), step, clock, work);
}
