#pragma once
// The presentation: the staged scene a special attack steps once a call beside its own steps
// (fades, cut-ins, background cycles), reporting to the routine when a stage of note has ended.
//
// A presentation is a table of stages, each a timeline row (battle_effects/step_timeline.h):
// its `each` work every call while it is the stage, its wait, its action once the wait is over.
// The script names the stages that report done when they end; a call answers that call's
// report. The routine's steps that wait for a report take it on the call that makes it:
//
//   using Wait = TimelineWait<MyWork>;
//   constexpr TimelineRow<MyWork> kStages[] = {
//       {Wait::AtOnce(), &FadeIn},        // 0
//       {Wait::FadeEnd()},                // 1: reports
//       {Wait::Frames(60), nullptr, kTimelineNextRow, 0, &CycleCutIn},  // 2
//   };
//   constexpr PresentationScript<MyWork> kScript{.stages = kStages, .reports = 0b010};
//   ...in the routine's step that waits for the report:
//   if (StepPresentation(kScript, work.presentation, work) == 1) ...the step's work...
//
// The rules:
// - One stage a call: a stage's action ends the call (rows are not chained).
// - A call answers 1 when it ended a stage that reports (or, with `reports_after_end`, whenever
//   it is made past the last stage), 0 otherwise, kTimelineStop when an action stopped it.
// - A report is that call's answer and nothing else: a report made while no step of the routine
//   waits for one (a step that waits on an animation, say) is dropped, never kept for a later
//   step, which then waits for a new one.

#include <cstdint>
#include <span>

#include "battle_effects/step_timeline.h"

// The presentation's place: its stage and the stage's clock. Zero-filled: stage 0, not started.
struct PresentationState {
  uint8_t stage;
  StepClock clock;
};

template <class W>
struct PresentationScript {
  std::span<const TimelineRow<W>> stages;
  uint32_t reports = 0;            // bit i: stage i reports done when it ends
  bool reports_after_end = false;  // every call past the last stage reports done
};

// One call: the current stage's work, its wait, and once over its action and the next stage.
template <class W>
int StepPresentation(const PresentationScript<W>& script, PresentationState& state, W& work) {
  const size_t count = script.stages.size();
  if (state.stage >= count) return script.reports_after_end ? 1 : 0;
  const uint8_t before = state.stage;
  const int answer = RunTimeline(script.stages, state.stage, state.clock, work);
  if (answer == kTimelineStop) return kTimelineStop;
  if (state.stage == before || before >= 32) return 0;
  return (script.reports & (1u << before)) != 0 ? 1 : 0;
}
