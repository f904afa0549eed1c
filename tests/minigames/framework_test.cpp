// The minigame driver through the runner: stepping, ends, switches, input, drawing.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "game/game_state.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "engine/gfx/pixels/blend_blit.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_surface.h"
#include "platform/headless/headless_platform.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using testsupport::MinigameRunner;
using testsupport::OdWriter;

constexpr const char* kTestOd = "tamvik3\\od\\mg_test.od";

// A runner with an empty od file for row 0 and a procedure that counts its calls.
struct CountingGame {
  explicit CountingGame(MinigameRunner::Options options = {}) : runner(options) {
    runner.WriteFile(kTestOd, OdWriter().Build());
    runner.SetProc(0, [this](int state) {
      states.push_back(state);
      if (on_step) on_step(state);
      return 1;
    });
  }
  int Calls() const { return static_cast<int>(states.size()); }

  MinigameRunner runner;
  std::vector<int> states;
  std::function<void(int)> on_step;
};

TEST(MinigameStepping, StepsAndPresentsFollowTheTickCount) {
  struct Case {
    const char* name;
    std::vector<uint32_t> before;  // frames run first (ms each) after the load frame
    std::vector<uint32_t> frames;  // the frames checked
    std::vector<int> steps;        // procedure calls in each
    std::vector<int> presents;     // presents in each
  };
  const Case cases[] = {
      {"16.67 ms frames", {}, {17, 17, 16, 17, 17, 16}, {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}},
      {"16 ms after a step (a tick due within 4 ms)", {}, {16}, {1}, {1}},
      {"a 1000 ms stall after one-step frames", {17, 17, 16}, {1000}, {2}, {1}},
      {"50 ms frames", {}, {50, 50, 50}, {2, 3, 3}, {1, 1, 1}},
      {"5 ms frames", {}, {5}, {0}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingGame g;
    ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
    ASSERT_TRUE(g.runner.Step(17));  // the load step
    ASSERT_EQ(g.states, std::vector<int>{2});
    for (uint32_t ms : c.before) g.runner.Step(ms);
    for (size_t i = 0; i < c.frames.size(); ++i) {
      const int calls = g.Calls();
      const int presented = g.runner.driver().presented();
      ASSERT_TRUE(g.runner.Step(c.frames[i]));
      EXPECT_EQ(g.Calls() - calls, c.steps[i]) << "frame " << i;
      EXPECT_EQ(g.runner.driver().presented() - presented, c.presents[i]) << "frame " << i;
    }
  }
}

TEST(MinigameStepping, TheTickCountWrapsWithoutAStall) {
  CountingGame g;
  g.runner.driver().host().clock.Set(0xFFFFFFFFu - 100);
  ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
  ASSERT_TRUE(g.runner.RunUntil("the load step", [&g] { return g.Calls() == 1; }, 5));
  const int calls = g.Calls();
  // 12 frames of the 60 Hz cadence (200 ms) across the wrap: the engine's own frame gate may
  // shift a step to the next frame, but every tick is run and none is lost or replayed.
  g.runner.Run(12);
  EXPECT_LT(g.runner.driver().host().clock.TickCount(), 1000u) << "the clock wrapped";
  EXPECT_GE(Minigame().fw.last_tick_count, 11u);
  EXPECT_EQ(static_cast<uint32_t>(g.Calls() - calls), Minigame().fw.last_tick_count);
}

TEST(MinigameStepping, TheLoadStepCallsOnceWithStateTwoAndASlowLoadIsNotCaughtUp) {
  CountingGame g;
  g.on_step = [&g](int state) {
    if (state == 2) g.runner.driver().host().clock.Advance(500);
  };
  ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
  g.runner.Step(100);  // six ticks due: still one call, the load
  EXPECT_EQ(g.states, std::vector<int>{2});
  g.runner.Step(17);
  EXPECT_EQ(g.states, (std::vector<int>{2, 1}));
}

TEST(MinigameEnd, ResultsAndReasons) {
  struct Case {
    const char* name;
    bool od_file;
    MgProc proc;  // null: the row's own procedure
    int result;
    const char* reason;
  };
  const Case cases[] = {
      {"the stand-in of a row not built", true, &MinigameContext::StandInProc, 0, "mg_proc"},
      {"a result after a message", true,
       [](int) {
         mg_set_message("out of cards");
         return 5;
       },
       5, "out of cards"},
      {"a missing od file", false, [](int) { return 1; }, 0, "mg_obj_create"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MinigameRunner runner;
    if (c.od_file) runner.WriteFile("tamvik3\\od\\mg_swim.od", OdWriter().Build());
    if (c.proc) runner.SetProc(1, c.proc);
    ASSERT_TRUE(runner.Start(1, mg::kModeFreePlay));
    EXPECT_TRUE(runner.RunToEnd(5));
    EXPECT_EQ(mg_end_result(), c.result);
    EXPECT_STREQ(mg_end_reason(), c.reason);
    EXPECT_FALSE(runner.driver().sequences().minigame.IsRunning());
    // The game ended on its step: the task ran no further frame work into the closed screen.
    EXPECT_EQ(Minigame().screen.open, 0);
  }
}

TEST(MinigameEnd, EndWhileIdleWritesNothing) {
  MinigameRunner runner;
  runner.Start(0, 0);  // no od file: the first step ends it
  runner.RunToEnd(3);
  runner.tree().Remove("install/save/minigame.dat");
  EXPECT_EQ(mg_end(), 1);
  EXPECT_FALSE(runner.tree().Exists("install/save/minigame.dat"));
}

TEST(MinigameEnd, ResultForTheScriptFollowsAdvStateByte40) {
  MinigameRunner runner;
  runner.WriteFile(kTestOd, OdWriter().Build());
  runner.SetProc(0, [](int) {
    mg_var_set(2, 1);
    mg_var_set(9, 7);
    return 0;
  });
  ASSERT_TRUE(runner.Start(0, 0));
  ASSERT_TRUE(runner.RunToEnd(3));
  EXPECT_EQ(MiniGameResult(), 1);
  GetAdvState()->setMinigameMode(1);
  EXPECT_EQ(MiniGameResult(), 7);
}

TEST(MinigameSwitch, ChainAndReturnKeepTheVariablesAndSaveAtEachSwitch) {
  MinigameRunner runner;
  runner.WriteFile("tamvik3\\od\\mg_koi.od", OdWriter().Build());
  runner.WriteFile("tamvik3\\od\\mg_aysol.od", OdWriter().Build());
  int hub_calls = 0;
  int card_calls = 0;
  std::vector<std::string> seen;
  runner.SetProc(8, [&](int state) {
    ++hub_calls;
    if (hub_calls == 2) {
      for (int v = 4; v <= 10; ++v) mg_var_set(v, v * 10);
      mg_var_set(16, 77);
      mg_chain(9, mg::kModeHubMatch);
    } else if (state == 2 && hub_calls > 2) {
      seen.push_back("back");
    }
    return 1;
  });
  runner.SetProc(9, [&](int state) {
    ++card_calls;
    if (state == 2) {
      EXPECT_EQ(mg_var_get(16), 77) << "minigame.dat written at the chain";
      EXPECT_EQ(mg_var_get(3), mg::kModeHubMatch);
      return 1;
    }
    mg_var_set(17, 88);
    mg_return(1);
    return 1;
  });
  ASSERT_TRUE(runner.Start(8, mg::kModeFreePlay));
  ASSERT_TRUE(runner.RunUntil("back at the hub", [&] { return !seen.empty(); }, 20));
  EXPECT_EQ(Minigame().fw.game, 8);
  EXPECT_EQ(mg_var_get(0), 8);
  EXPECT_EQ(mg_var_get(1), 1);
  EXPECT_EQ(mg_var_get(3), mg::kModeFreePlay);
  for (int v = 4; v <= 10; ++v) EXPECT_EQ(mg_var_get(v), v * 10) << "variable " << v;
  EXPECT_EQ(mg_var_get(17), 88) << "minigame.dat written at the return";
  EXPECT_EQ(card_calls, 2);
}

TEST(MinigameSwitch, GameNumbersOutsideTheTableAreRefused) {
  MinigameRunner runner;
  testsupport::TraceCapture trace;
  ASSERT_TRUE(runner.Start(0, 0));
  for (int game : {16, 255, -1}) {
    SCOPED_TRACE(game);
    EXPECT_EQ(MiniGameStart(game, 0), 0);
    EXPECT_EQ(mg_start(game, 0), 0);
    EXPECT_EQ(mg_chain(game, 0), 0);
  }
  EXPECT_TRUE(trace.Contains("game 255 refused"));
  EXPECT_EQ(Minigame().fw.game, 0);
  EXPECT_EQ(MiniGameIsRunning(), 1) << "a refused start leaves the running game alone";
}

TEST(MinigameVariables, OutsideTheRangeReadZeroAndWriteNothing) {
  MinigameContext context;
  MinigameScope scope(context);
  testsupport::TraceCapture trace;
  mg_var_set(47, 5);
  for (int i : {-1, 48, 1000}) {
    mg_var_set(i, 9);
    EXPECT_EQ(mg_var_get(i), 0);
  }
  EXPECT_EQ(mg_var_get(47), 5);
  EXPECT_TRUE(trace.Contains("variable 48 refused"));
}

TEST(MinigameRunnerRig, AScriptedProcedureSeesEachTapOnceAndDrawsInBothLayouts) {
  for (platform::PixelLayout layout : {platform::PixelLayout::kRgb565,
                                       platform::PixelLayout::kRgb555}) {
    SCOPED_TRACE(layout == platform::PixelLayout::kRgb565 ? "RGB565" : "RGB555");
    MinigameRunner::Options options;
    options.layout = layout;
    CountingGame g(options);
    int taken = 0;
    int held_steps = 0;
    g.on_step = [&](int) {
      taken += mg_key_take(kMgKeyDecide);
      taken += mg_key_take(kMgKeyDecide);  // a second take in the same step sees nothing
      held_steps += mg_key_take(kMgKeyLeft << 16);
      mg_fill(mg::kSlotScreen, 100, 50, 40, 30, 0x0000FF);  // red
      mg_pixel_set(mg::kSlotScreen, 200, 200, 0xFF0000);   // blue
    };
    ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
    g.runner.Run(2);
    g.runner.Tap(kMgKeyDecide);
    g.runner.Run(4);
    g.runner.Tap(kMgKeyDecide);
    g.runner.Run(4);
    // A tap whose first frame runs no step is still seen, once.
    g.runner.Tap(kMgKeyDecide);
    const int calls = g.Calls();
    g.runner.Step(2);
    EXPECT_EQ(g.Calls(), calls) << "a 2 ms frame runs no step";
    g.runner.Run(4);
    g.runner.Hold(kMgKeyLeft);
    g.runner.Run(3);
    g.runner.Hold(kMgKeyLeft, false);
    g.runner.Run(2);
    EXPECT_EQ(taken, 3);
    EXPECT_EQ(held_steps, 3);
    const auto& display = g.runner.driver().display();
    ASSERT_EQ(display.frame_width, 640);
    auto at = [&](int x, int y) { return display.frame[static_cast<size_t>(y) * 640 + x]; };
    EXPECT_EQ(at(100, 50), platform::PackColorRef(0x0000FF, layout));
    EXPECT_EQ(at(139, 79), platform::PackColorRef(0x0000FF, layout));
    EXPECT_EQ(at(140, 79), 0);
    EXPECT_EQ(at(200, 200), platform::PackColorRef(0xFF0000, layout));
    bool od_opened = false;
    for (const std::string& path : g.runner.files_opened()) {
      od_opened = od_opened || path.find("mg_test.od") != std::string::npos;
    }
    EXPECT_TRUE(od_opened) << "the od file was opened (written in mixed case)";
    EXPECT_TRUE(g.runner.tree().Exists("install/TaMvIk3/Od/Mg_TeSt.Od"));
  }
}

TEST(MinigameRunnerRig, TheScreenIsShownWithTheVramSwitchToo) {
  MinigameRunner::Options options;
  options.vram_switch = true;
  CountingGame g(options);
  g.on_step = [](int) { mg_fill(mg::kSlotScreen, 10, 20, 5, 5, 0x00FF00); };
  ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
  EXPECT_EQ(Minigame().screen.present_layer, SURFACE_BACK);
  for (int i = 0; i < 3; ++i) {
    const int presented = g.runner.driver().presented();
    g.runner.Step();
    if (g.runner.driver().presented() == presented) continue;
    const auto& display = g.runner.driver().display();
    EXPECT_EQ(display.frame[22 * 640 + 12], platform::PackColorRef(0x00FF00, display.frame_layout))
        << "frame " << i;
  }
  EXPECT_GE(g.Calls(), 2);
}

TEST(MinigameRunnerRig, ANeverEndingProcedureFailsAtItsLimit) {
  CountingGame g;
  ASSERT_TRUE(g.runner.Start(0, 0));
  EXPECT_NONFATAL_FAILURE(g.runner.RunToEnd(5), "the minigame ended");
}

TEST(MinigameRunnerRig, ALostSlotMakesTheNextFrameReloadTheOdFile) {
  MinigameRunner runner;
  runner.WriteFile(kTestOd, OdWriter().Solid(3, 8, 8, 255, 0, 0).Build());
  runner.SetProc(0, [](int) { return 1; });
  testsupport::TraceCapture trace;
  ASSERT_TRUE(runner.Start(0, 0));
  runner.Run(2);
  ASSERT_EQ(mg_surf_exists(3), 1);
  Minigame().slots[3].surface->SetLost(true);
  EXPECT_EQ(mg_surf_lost(3), 1);
  runner.Run(1);
  EXPECT_TRUE(trace.Contains("slot 3 lost; reloading"));
  EXPECT_EQ(mg_surf_lost(3), 0);
  EXPECT_EQ(mg_pixel_get(3, 4, 4), platform::PackColorRef(0x0000FF, mg_layout()));
}

TEST(MinigameFade, TheSceneIsCapturedIn1021AndCopiedWithTheBrightness) {
  CountingGame g;
  int32_t level = 256;
  bool paint = false;
  g.on_step = [&](int) {
    mg_brightness(level);
    if (paint) mg_fill(mg::kSlotFade, 0, 0, 640, 480, 0xFFFFFF);
  };
  ASSERT_TRUE(g.runner.Start(0, mg::kModeFreePlay));
  g.runner.Run(3);
  EXPECT_EQ(mg_surf_exists(mg::kSlotFade), 0);
  level = 128;
  g.runner.Run(1);
  EXPECT_EQ(Minigame().fw.fade_phase, 2);
  ASSERT_EQ(mg_surf_exists(mg::kSlotFade), 1);
  paint = true;  // what the work surface holds is what the screen shows, darkened
  g.runner.Run(2);
  const auto& display = g.runner.driver().display();
  uint16_t white = 0xFFFF;
  uint16_t want = 0;
  BlitBright16(&want, 2, 0, 0, 1, 1, &white, 2, 0, 0, 128, 16);
  EXPECT_EQ(display.frame[320 * 640 + 100], want);
  EXPECT_NE(want, white);
  // Brightness 0 and back up while the capture is held takes the picture again.
  level = 0;
  g.runner.Run(1);
  level = 64;
  int phase_after = -1;
  g.on_step = [&](int) {
    mg_brightness(level);
    if (phase_after < 0) phase_after = Minigame().fw.fade_phase;
  };
  g.runner.Run(1);
  EXPECT_EQ(phase_after, 1) << "the next picture is captured again";
  // Full brightness frees the work surface.
  level = 256;
  g.runner.Run(2);
  EXPECT_EQ(mg_surf_exists(mg::kSlotFade), 0);
  EXPECT_EQ(Minigame().fw.fade_phase, 0);
}

TEST(MinigameAngles, SineAndCosineTables) {
  MinigameRunner runner;
  ASSERT_TRUE(runner.Start(0, 0));
  EXPECT_EQ(mg_sin(0), 0);
  EXPECT_EQ(mg_sin(32), 46340);
  EXPECT_EQ(mg_sin(64), 65535);
  EXPECT_EQ(mg_sin(64 + 256), 65535) << "the low 8 bits of the angle";
  EXPECT_EQ(mg_cos(128), -65535);
  EXPECT_EQ(mg_cos(0), 65536);
}

TEST(MinigameStart, PresetVariablesAndScriptValuesReachTheGame) {
  MinigameRunner runner;
  SetMacroA(0, 0xFFFE);
  SetMacroP(80, 12);
  SetMacroP(83, 3);
  ASSERT_TRUE(runner.Start(5, mg::kModeFreePlay));
  EXPECT_EQ(mg_var_get(0), 5);
  EXPECT_EQ(mg_var_get(3), mg::kModeFreePlay);
  EXPECT_EQ(mg_var_get(11), 0xFFFE) << "taken as unsigned 16-bit";
  EXPECT_EQ(mg_var_get(12), 12);
  EXPECT_EQ(mg_start(5, mg::kModeStory), 1);
  EXPECT_EQ(mg_var_get(12), 3);
}

}  // namespace

// mg_return with nothing chained since the fresh start ends the minigame with the value in
// variable 1 (it would otherwise start row 0, whose game never ends); after a chain it restarts
// the chaining row. A fresh start clears variables 1, 2 and 9.
TEST(MinigameSwitch, ReturnWithNothingChainedEndsTheMinigame) {
  MinigameRunner runner;
  runner.WriteFile("tamvik3\\od\\mg_koi.od", OdWriter().Build());
  runner.WriteFile("tamvik3\\od\\mg_aysol.od", OdWriter().Build());
  int hub_starts = 0;
  runner.SetProc(8, [&](int state) {
    if (state == 2) ++hub_starts;
    if (hub_starts == 1 && state == 1) mg_chain(9, mg::kModeHubMatch);
    return 1;
  });
  runner.SetProc(9, [&](int state) {
    if (state == 1) mg_return(2);
    return 1;
  });

  ASSERT_TRUE(runner.Start(9, mg::kModeHubDemonstration));
  ASSERT_TRUE(runner.RunToEnd(10));
  EXPECT_EQ(mg_var_get(1), 2);
  EXPECT_EQ(hub_starts, 0);
  EXPECT_EQ(Minigame().fw.game, 9);

  // Chain and return: back at the hub with variable 1 set.
  ASSERT_TRUE(runner.Start(8, mg::kModeFreePlay));
  EXPECT_EQ(mg_var_get(1), 0) << "a fresh start clears the last value";
  ASSERT_TRUE(runner.RunUntil("back at the hub", [&] { return hub_starts == 2; }, 20));
  EXPECT_EQ(mg_var_get(1), 2);

  // A fresh start after that chain and return: nothing remembered, variables 1, 2, 9 cleared.
  mg_var_set(2, 5);
  mg_var_set(9, 6);
  ASSERT_TRUE(runner.Start(9, mg::kModeHubDemonstration));
  EXPECT_EQ(mg_var_get(1), 0);
  EXPECT_EQ(mg_var_get(2), 0);
  EXPECT_EQ(mg_var_get(9), 0);
  ASSERT_TRUE(runner.RunToEnd(10));
  EXPECT_EQ(hub_starts, 2) << "the hub is not started again";
  EXPECT_EQ(mg_var_get(1), 2);
}
