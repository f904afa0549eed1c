// The input seam under attack while the program runs: no joystick, devices that will not open or
// acquire, devices lost or failing every read, no input system at all.

#include <gtest/gtest.h>

#include <functional>

#include "engine/input/dinput.h"
#include "tests/engine/faults/fault_rig.h"

namespace {

using faults::BusyProgram;
using platform::InputDevice;
using platform::headless::HeadlessInput;

// Enter (game key 0) and the stick pushed left with button 0 (game keys Left and 0).
void PressEverything(HeadlessInput& input) {
  input.SetKey(0x1C, true);
  input.joystick.x = 0;
  input.joystick.buttons[0] = 0x80;
}

TEST(InputFaults, EveryDeviceFaultLeavesTheFrameLoopRunning) {
  const struct {
    const char* name;
    bool before_start;  // the fault is there from the start (else it comes while running)
    std::function<void(HeadlessInput&)> fault;
    GameKeyBits held;  // the game keys read with Enter and the stick's left and button 0 down
  } cases[] = {
      {"everything works", true, [](HeadlessInput& in) { in.joystick_attached = true; },
       kGameKey0 | kGameKeyLeft},
      {"no joystick", true, [](HeadlessInput&) {}, kGameKey0},
      {"joystick does not open", true,
       [](HeadlessInput& in) {
         in.joystick_attached = true;
         in.joystick_device.open_fails = true;
       },
       kGameKey0},
      {"joystick cannot be acquired", true,
       [](HeadlessInput& in) {
         in.joystick_attached = true;
         in.joystick_device.acquire_fails = true;
       },
       kGameKey0},
      {"joystick pulled out", false,
       [](HeadlessInput& in) { in.joystick_device.read_error = platform::kInputFailed; },
       kGameKey0},
      {"joystick lost (taken, given back)", false,
       [](HeadlessInput& in) { in.joystick_device.lost = true; }, kGameKey0 | kGameKeyLeft},
      {"keyboard lost (taken, given back)", false,
       [](HeadlessInput& in) { in.keyboard_device.lost = true; }, kGameKey0 | kGameKeyLeft},
      {"keyboard failing every read", false,
       [](HeadlessInput& in) { in.keyboard_device.read_error = platform::kInputFailed; }, 0},
      {"mouse failing every read", false,
       [](HeadlessInput& in) { in.mouse_device.read_error = platform::kInputFailed; }, 0},
      {"keyboard does not open", true,
       [](HeadlessInput& in) {
         in.joystick_attached = true;
         in.keyboard_device.open_fails = true;
       },
       0},
      {"mouse cannot be acquired", true,
       [](HeadlessInput& in) {
         in.joystick_attached = true;
         in.mouse_device.acquire_fails = true;
       },
       0},  // a frame whose mouse cannot be read reads no keys at all
      {"no input system", true, [](HeadlessInput& in) { in.startup_fails = true; }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    faults::Program p;
    HeadlessInput& input = p.host().input;
    input.joystick_attached = !c.before_start;
    if (c.before_start) c.fault(input);
    ASSERT_TRUE(p.Start());
    testsupport::BuildBusyScene(BusyProgram::SmallScene());
    ASSERT_TRUE(p.Run(2));
    if (!c.before_start) c.fault(input);
    PressEverything(input);
    EXPECT_TRUE(p.KeepsShowing(4));
    EXPECT_EQ(Ctx().input.GetKeyHold(), c.held);
    EXPECT_TRUE(p.host_window().boxes.empty());
  }
}

TEST(InputFaults, WithoutAnInputSeamTheProgramRunsWithoutKeys) {
  faults::Program p;
  p.host().seams().input = nullptr;
  // The input service took its seam when the engine was built; a program without one is built
  // without it.
  platform::Platform seams = p.host().seams();
  EngineContext context(seams);
  ContextScope scope(context);
  p.window = AppStart(MakeGameHooks(p.debug_menu), p.exit_code);
  ASSERT_NE(p.window, nullptr);
  p.host_window().PostEvent({platform::EventKind::kActivateApp, 1});
  testsupport::BuildBusyScene(BusyProgram::SmallScene());
  EXPECT_TRUE(p.Run(2));
  EXPECT_TRUE(p.KeepsShowing(4));
  EXPECT_EQ(Ctx().input.GetKeyHold(), 0u);
  AppSetQuit();
  EXPECT_TRUE(p.RunToEnd(5));
  p.host().seams().input = &p.host().input;
}

}  // namespace
