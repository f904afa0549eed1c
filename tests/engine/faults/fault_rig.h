#pragma once
// The whole program under attack: a fresh engine on the headless platform, started through the
// spine with the production services (so every fault meets the real display, sound, input, movie
// and file code), and driven one message-loop iteration at a time with the clock moved by a frame
// before each. Every loop here has an iteration limit, so a fault that would make the program spin
// shows as a failed expectation instead of a hang.
//
// A fault either leaves the program running (later frames still reach the screen, no box) or
// ends it the specified way (its box once, the window closed, the loop ended with the set-up
// failure's exit status).

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/app/main/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "testsupport/busy_scene.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace faults {

inline constexpr const char* kShowWindowFailed = "CDdrawFunc::ShowWindow Failed\n";
inline constexpr const char* kDisplayInitFailed = "DirectX 的初始化失敗了。\n結束程式。";

class Program {
 public:
  Program() {
    engine.host.config.Set("Install Directory", tree.Path("install"));
    engine.host.files.SetWorkingDirectory(tree.cwd());
    // The glyph fonts the start-up requires, in the working directory.
    const testsupport::GlyphFontFiles font = testsupport::MakeGlyphFont();
    tree.Write("cwd/CHT.DAT", font.cht);
    tree.Write("cwd/CHT24.DAT", font.cht24);
    tree.Write("cwd/ENG12.DAT", font.eng12);
  }

  platform::headless::HeadlessWindow& host_window() { return engine.host.window; }
  platform::headless::HeadlessDisplay& display() { return engine.host.display; }

  // The spine's start-up, then the program made active (as the window system does at once).
  // False when the program ended before its loop.
  bool Start() {
    window = AppStart(MakeGameHooks(), exit_code);
    if (window == nullptr) return false;
    host_window().PostEvent({platform::EventKind::kActivateApp, 1});
    return Step();
  }

  // One loop iteration after moving the clock by one frame; false once the loop has ended.
  bool Step() {
    if (ended) return false;
    engine.host.clock.Advance(17);
    if (!MessageLoopStep(window, exit_code)) ended = true;
    return !ended;
  }

  // Up to `iterations` loop iterations; whether the loop still runs.
  bool Run(int iterations) {
    for (int i = 0; i < iterations && Step();) ++i;
    return !ended;
  }

  // Runs until the loop ends, at most `iterations`; whether it ended.
  bool RunToEnd(int iterations) { return !Run(iterations); }

  // Frames shown so far.
  int presented() const { return engine.host.display.frames_presented; }

  // Whether the next `frames` frames each reach the screen while the compose has work (the
  // scroll animations ask for a compose every frame).
  bool KeepsShowing(int frames) {
    for (int i = 0; i < frames; ++i) {
      const int before = presented();
      if (!Step() || presented() != before + 1) return false;
    }
    return true;
  }

  int BoxCount(const std::string& text) const {
    int n = 0;
    for (const auto& box : engine.host.window.boxes) n += box.text == text ? 1 : 0;
    return n;
  }

  // The specified end of a fatal failure: the box once (owned, "ERROR"), then the loop ends with
  // the set-up failure's status within `iterations` and the display is closed.
  void ExpectFatalBox(const std::string& text, int iterations = 10) {
    EXPECT_TRUE(RunToEnd(iterations)) << "the program did not end";
    EXPECT_EQ(exit_code, kExitSetupFailed);
    ASSERT_EQ(engine.host.window.boxes.size(), 1u);
    EXPECT_EQ(engine.host.window.boxes[0].text, text);
    EXPECT_EQ(engine.host.window.boxes[0].caption, "ERROR");
    EXPECT_TRUE(engine.host.window.boxes[0].owned);
    EXPECT_FALSE(engine.host.window.IsCreated());
    EXPECT_FALSE(engine.host.display.open);
  }

  testsupport::GameTree tree;
  testsupport::TestEngine engine;
  platform::Window* window = nullptr;
  int exit_code = -1;
  bool ended = false;
};

// The program started with the busy scene built on its display (fewer entries than the
// benchmark: the fault tables run it many times under the sanitizers).
class BusyProgram : public Program {
 public:
  explicit BusyProgram(testsupport::BusySceneOptions options = SmallScene()) {
    started = Start();
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
