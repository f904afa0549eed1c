// Map 1's event script in real battles on the event harness: the opening, the offer of the
// demonstration and its three answers, the battle's end in three events, the guide's remarks on
// MAD, heroine 1's talk and the generic rows, on the builder's two-unit stage and on a small stage
// of map 1's cast.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/maps/map01.h"
#include "testsupport/event_harness.h"

namespace {

using testsupport::EventHarness;
using Strings = std::vector<std::string>;

// ---- The builder's two-unit stage (the hero and one ASHIGARU) ----

// The story rows' records of a run (the generic rows left out).
Strings Story(const EventHarness& h, const std::string& prefix) {
  Strings out;
  for (const std::string& r : h.Records(prefix)) {
    if (std::stoi(r.substr(prefix.size() + 1)) < 1500) out.push_back(r);
  }
  return out;
}

// Map 1's script on the stage every battle test plays: the opening runs with no guide and no
// crowd (the crowd's hold does not wait for objects that are not there), the offer times out, the
// ASHIGARU's defeat gives 116, there is no boss so 117 and 118 follow, and the battle is won once.
// (The heroines are absent, so their fall scenes play too.)
TEST(Map01, TheTwoUnitStageRunsFromTheOpeningToOneVictory) {
  EventHarness h(kMap01);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"), (Strings{"start 101", "start 102"}));
  EXPECT_EQ(Story(h, "end"), (Strings{"end 101", "end 102"}));
  EXPECT_EQ(h.Records("message 111"), Strings{"message 111:20010"}) << "the offer declined";
  h.Defeat(1, 20, 0, 0, true);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"),
            (Strings{"start 101", "start 102", "start 116", "start 117", "start 118"}));
  EXPECT_EQ(h.Records("task Slg::GameWin"), Strings{"task Slg::GameWin"});
  EXPECT_EQ(h.Records("bgm"), (Strings{"bgm 6", "bgm 1", "bgm 13", "bgm 16", "bgm 18"}));
  for (int flag : {101, 102, 116, 117, 118}) EXPECT_NE(CheckEventFlag(flag), 0) << flag;
  EXPECT_NE(Battle().camera.lock, 0u);
  EXPECT_EQ(Battle().control.turn_hold, 0u) << "the events' end let the turn go on";
}

}  // namespace
