#pragma once
// The whole program under attack: the headless program driver (testsupport/program_driver.h) with
// the production services, so every fault meets the real display, sound, input, movie and file
// code. Every loop here has an iteration limit, so a fault that would make the program spin shows
// as a failed expectation instead of a hang.
//
// A fault either leaves the program running (later frames still reach the screen, no box) or
// ends it the specified way (its box once, the window closed, the loop ended with the set-up
// failure's exit status).

#include <gtest/gtest.h>

#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "flow/tamvik_general.h"
#include "testsupport/busy_scene.h"
#include "testsupport/program_driver.h"

namespace faults {

inline constexpr const char* kShowWindowFailed = "CDdrawFunc::ShowWindow Failed\n";
inline constexpr const char* kDisplayInitFailed = "DirectX 的初始化失敗了。\n結束程式。";

// The driver with the fault tables' own check of a fatal end.
class Program : public testsupport::ProgramDriver {
 public:
  // The specified end of a fatal failure: the box once (owned, "ERROR"), then the loop ends with
  // the set-up failure's status within `iterations` and the display is closed.
  void ExpectFatalBox(const std::string& text, int iterations = 10) {
    EXPECT_TRUE(RunToEnd(iterations)) << "the program did not end";
    EXPECT_EQ(exit_code, kExitSetupFailed);
    ASSERT_EQ(host().window.boxes.size(), 1u);
    EXPECT_EQ(host().window.boxes[0].text, text);
    EXPECT_EQ(host().window.boxes[0].caption, "ERROR");
    EXPECT_TRUE(host().window.boxes[0].owned);
    EXPECT_FALSE(host().window.IsCreated());
    EXPECT_FALSE(host().display.open);
  }
};

// The program started with the busy scene built on its display (fewer entries than the
// benchmark: the fault tables run it many times under the sanitizers).
class BusyProgram : public Program {
 public:
  explicit BusyProgram(testsupport::BusySceneOptions options = SmallScene()) {
    started = Start();
    // The engine's scene alone: the game-mode manager would set the layers up for its own
    // sequences on its way to the story.
    if (started) CTamvikGeneral::StopManager();
    if (started) scene = testsupport::BuildBusyScene(options);
  }

  static testsupport::BusySceneOptions SmallScene() {
    testsupport::BusySceneOptions options;
    options.entries = 120;
    return options;
  }

  bool started = false;
  testsupport::BusyScene scene;
};

}  // namespace faults
