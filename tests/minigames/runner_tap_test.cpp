// The runner's taps: a tap from the bot goes down in the frame after the bot's, and it must stay
// down until a frame that ran a step has seen it, even when that frame runs none.

#include <gtest/gtest.h>

#include "minigames/framework/minigame_input.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using testsupport::MinigameRunner;

TEST(MinigameRunnerTaps, ABotTapSurvivesAFrameWithoutAStep) {
  for (bool from_bot : {true, false}) {
    SCOPED_TRACE(from_bot ? "from the bot" : "between frames");
    MinigameRunner runner;
    runner.WriteFile(runner.minigame().games[1].path, testsupport::UniversalOd().Build());
    int presses = 0;
    runner.SetProc(1, [&](int) {
      if (mg_key_take(kMgKeyDecide) != 0) ++presses;
      return 1;
    });
    ASSERT_TRUE(runner.Start(1, mg::kModeStory));
    // 20 ms frames after the load (which restarts the clock): one step each.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(runner.Step(20));
    bool tapped = false;
    if (from_bot) {
      runner.bot = [&tapped](MinigameRunner& r) {
        if (!tapped) r.Tap(kMgKeyDecide);
        tapped = true;
      };
    }
    ASSERT_TRUE(runner.Step(20));  // 60 ms: a step (the bot tapped before it)
    ASSERT_EQ(runner.last_steps(), 1);
    if (!from_bot) runner.Tap(kMgKeyDecide);
    const int presented = runner.driver().presented();
    ASSERT_TRUE(runner.Step(0));
    ASSERT_EQ(runner.driver().presented(), presented) << "a frame that ran no step";
    EXPECT_EQ(presses, 0);
    ASSERT_TRUE(runner.Run(4));
    EXPECT_EQ(presses, 1);
  }
}

}  // namespace
