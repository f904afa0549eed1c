// The presentation runner with a stub routine: one stage a call, each reporting stage's report
// taken by the routine step waiting on that call; a report made while the routine's step waits on
// something else is dropped, and the next waiting step waits for a new one; past the last stage.

#include "battle_effects/presentation.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "testsupport/battle_rig.h"

namespace {

struct Work {
  StepClock clock{};
  uint32_t step = 0;
  PresentationState presentation{};
  int calls = 0;
  std::vector<int> made;                   // the calls that made a report
  std::vector<std::pair<int, int>> taken;  // (call, routine step) of each report taken
};

using Wait = TimelineWait<Work>;
// Five stages of two calls each (the third call of a stage ends it); all but stage 3 report.
constexpr TimelineRow<Work> kStages[] = {
    {Wait::Frames(2), nullptr, kTimelineNextRow, kTimelineCalls},
    {Wait::Frames(2), nullptr, kTimelineNextRow, kTimelineCalls},
    {Wait::Frames(2), nullptr, kTimelineNextRow, kTimelineCalls},
    {Wait::Frames(2), nullptr, kTimelineNextRow, kTimelineCalls},
    {Wait::Frames(2), nullptr, kTimelineNextRow, kTimelineCalls},
};
constexpr PresentationScript<Work> kScript{.stages = kStages, .reports = 0b10111};
constexpr PresentationScript<Work> kScriptReportingAfter{
    .stages = kStages, .reports = 0b10111, .reports_after_end = true};

template <const PresentationScript<Work>& kS>
int Present(Work& w) {
  const int report = StepPresentation(kS, w.presentation, w);
  if (report == 1) w.made.push_back(w.calls);
  return report;
}
template <const PresentationScript<Work>& kS>
void PresentOnly(Work& w) {
  Present<kS>(w);
}
int Take(Work& w) {
  w.taken.emplace_back(w.calls, static_cast<int>(w.step));
  return kTimelineNextRow;
}

// The routine: step 0 takes a report; step 1 steps the presentation while it waits 5 calls (the
// reports made then are dropped); steps 2 and 3 take a report each.
template <const PresentationScript<Work>& kS>
constexpr TimelineRow<Work> kRoutine[] = {
    {Wait::SubDone(&Present<kS>), &Take},
    {Wait::Frames(5), &Take, kTimelineNextRow, kTimelineCalls, &PresentOnly<kS>},
    {Wait::SubDone(&Present<kS>), &Take},
    {Wait::SubDone(&Present<kS>), &Take},
};

template <const PresentationScript<Work>& kS>
Work RunRoutine(int calls) {
  testsupport::BattleRig rig;
  Work w;
  for (w.calls = 1; w.calls <= calls; ++w.calls) {
    rig.Step();
    RunTimeline(kRoutine<kS>, w.step, w.clock, w);
  }
  return w;
}

TEST(Presentation, EachWaitingStepTakesOneReportAndReportsMadeMeanwhileAreDropped) {
  const Work w = RunRoutine<kScript>(40);
  // Stage 0 ends at call 3, stage 1 at 6 and stage 2 at 9 (both while step 1 waits: dropped),
  // stage 3 at 12 without a report, stage 4 at 15.
  EXPECT_EQ(w.made, (std::vector<int>{3, 6, 9, 15}));
  // Step 2 does not take the dropped report of call 9: it waits for stage 4's. Step 3 then
  // waits for ever: the presentation has ended and reports nothing more.
  EXPECT_EQ(w.taken, (std::vector<std::pair<int, int>>{{3, 0}, {9, 1}, {15, 2}}));
  EXPECT_EQ(w.step, 3u);
  EXPECT_EQ(w.presentation.stage, 5);
}

TEST(Presentation, PastItsEndAPresentationMayReportOnEveryCall) {
  const Work w = RunRoutine<kScriptReportingAfter>(20);
  EXPECT_EQ(w.taken, (std::vector<std::pair<int, int>>{{3, 0}, {9, 1}, {15, 2}, {16, 3}}));
  EXPECT_EQ(w.step, 4u);
}

}  // namespace
