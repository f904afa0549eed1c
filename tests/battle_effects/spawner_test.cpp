// The spawner kit: one start a call whenever the frames over the interval exceed the count, with
// the three numberings, a first start after a delay, a limit, and a clock that jumps intervals.

#include "battle_effects/spawner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/battle_rig.h"

namespace {

// The numbers a spawner answers for a sequence of frame counts (-1: no start).
std::vector<int32_t> Numbers(const SpawnRule& rule, const std::vector<int32_t>& frames) {
  Spawner s{};
  std::vector<int32_t> out;
  for (int32_t f : frames) out.push_back(SpawnDue(s, rule, f));
  return out;
}

TEST(Spawner, StartsOnceACallAsTheFramesOverTheIntervalExceedTheCount) {
  // The clock jumps from 8 to 21 frames: one start, numbered by the rule, the counts between
  // skipped; the next start waits for 24.
  const std::vector<int32_t> frames = {0, 3, 4, 5, 8, 21, 22, 23, 24};
  struct Case {
    const char* name;
    SpawnRule rule;
    std::vector<int32_t> want;
  } cases[] = {
      {"the raised count", {.interval = 4}, {-1, -1, 1, -1, 2, 5, -1, -1, 6}},
      {"the count before the raise",
       {.interval = 4, .number = SpawnNumber::kBefore},
       {-1, -1, 0, -1, 1, 2, -1, -1, 5}},
      {"a running number",
       {.interval = 4, .number = SpawnNumber::kRunning},
       {-1, -1, 0, -1, 1, 2, -1, -1, 3}},
      {"the first at once", {.interval = 4, .first = 0}, {1, -1, 2, -1, 3, 6, -1, -1, 7}},
      {"the first after 5 frames", {.interval = 4, .first = 5}, {-1, -1, -1, 1, -1, 5, -1, -1, -1}},
      {"at most three", {.interval = 4, .limit = 3}, {-1, -1, 1, -1, 2, 5, -1, -1, -1}},
      {"an interval below 1 counts as 1", {.interval = 0}, {-1, 3, 4, 5, 8, 21, 22, 23, 24}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Numbers(c.rule, frames), c.want);
  }
}

TEST(Spawner, CountsStartsAndIgnoresAClockBeforeItsStart) {
  Spawner s{};
  const SpawnRule rule{.interval = 4};
  EXPECT_EQ(SpawnDue(s, rule, -40), -1);
  EXPECT_EQ(SpawnDue(s, rule, 9), 2);
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(s.started, 1);
  EXPECT_EQ(SpawnDue(s, rule, 4), -1) << "a clock that goes back starts nothing";
  EXPECT_EQ(SpawnDue(s, rule, INT32_MAX), INT32_MAX / 4);
}

void Idle(SlgEffectTask* /*task*/) {}

TEST(Spawner, SpawnTaskNamesItsTasksAfterTheNumberUnderTheOwner) {
  testsupport::BattleRig rig;
  Spawner s{};
  const SpawnRule rule{.interval = 4};
  EXPECT_EQ(SpawnTask(s, rule, 3, SlgTaskOwner(), &Idle, "Test::Image"), nullptr);
  SlgEffectTask* first = SpawnTask(s, rule, 4, SlgTaskOwner(), &Idle, "Test::Image");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->name, "Test::Image1");
  EXPECT_EQ(first->owner, SlgTaskOwner());
  SlgEffectTask* second = SpawnTask(s, rule, 13, SlgTaskOwner(), &Idle, "Test::Image");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->name, "Test::Image3");
  EXPECT_NE(Ctx().game_task.FindTask("Test::Image3"), nullptr);
  EXPECT_EQ(SpawnTask(s, rule, 14, SlgTaskOwner(), &Idle, "Test::Image"), nullptr);
  SlgTaskEndAll();
}

}  // namespace
