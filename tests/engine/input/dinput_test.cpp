#include "engine/input/dinput.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "platform/headless/headless_input.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::InputDevice;
using platform::headless::HeadlessInput;

constexpr uint8_t kEnter = 0x1C;

// A fresh engine with started devices; the joystick is attached unless the test says otherwise.
class InputTest : public ::testing::Test {
 protected:
  InputTest() : in(engine.host.input), di(Ctx().input) {}

  void Start(bool joystick = true) {
    in.joystick_attached = joystick;
    ASSERT_EQ(di.CreateDirectInput(), 1);
    ASSERT_EQ(di.Init(), 1);
  }
  uint8_t KeyState(uint8_t code) {
    std::array<uint8_t, 256> copy{};
    di.GetKeyboardState(copy);
    return copy[code];
  }
  std::array<uint8_t, 32> Pads() {
    std::array<uint8_t, 32> copy{};
    di.GetPadButtons(copy);
    return copy;
  }

  testsupport::TestEngine engine;
  HeadlessInput& in;
  CDinput& di;
};

TEST_F(InputTest, KeyTriggersOnceWhileHeldAndAgainAfterRelease) {
  Start();
  struct Frame {
    bool down;
    GameKeyBits hold, trigger, old;
    uint8_t state;
  };
  const std::vector<Frame> frames = {
      {true, kGameKey0, kGameKey0, 0, 0x81},   {true, kGameKey0, 0, kGameKey0, 0x80},
      {true, kGameKey0, 0, kGameKey0, 0x80},   {false, 0, 0, kGameKey0, 0x00},
      {true, kGameKey0, kGameKey0, 0, 0x81},
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    in.SetKey(kEnter, frames[i].down);
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), frames[i].hold) << "frame " << i;
    EXPECT_EQ(di.GetKeyTrg(), frames[i].trigger) << "frame " << i;
    EXPECT_EQ(di.GetKeyOld(), frames[i].old) << "frame " << i;
    EXPECT_EQ(KeyState(kEnter), frames[i].state) << "frame " << i;
  }
}

TEST_F(InputTest, AKeyTappedBetweenTwoFramesReadsAsDownForOneFrame) {
  Start();
  struct Frame {
    std::vector<bool> changes;  // presses (true) and releases (false) before the frame, in order
    GameKeyBits hold, trigger;
  };
  const std::vector<Frame> frames = {
      {{true, false}, kGameKey0, kGameKey0},  // a tap inside one frame
      {{}, 0, 0},                             // gone at the next
      {{true}, kGameKey0, kGameKey0},         // held: down, triggered once
      {{}, kGameKey0, 0},
      {{true}, kGameKey0, 0},                 // a repeat while held changes nothing
      {{false}, 0, 0},                        // released
      {{true, false, true, false}, kGameKey0, kGameKey0},  // two taps in one frame: one press
      {{}, 0, 0},
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    for (bool down : frames[i].changes) in.SetKey(kEnter, down);
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), frames[i].hold) << "frame " << i;
    EXPECT_EQ(di.GetKeyTrg(), frames[i].trigger) << "frame " << i;
  }
}

TEST_F(InputTest, SecondSourceOnTheSameBitDoesNotTriggerAgain) {
  Start();
  in.SetKey(kEnter, true);
  di.GetState();
  EXPECT_EQ(di.GetKeyTrg(), kGameKey0);
  in.mouse.buttons[0] = 0x80;  // the left button joins
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0);
  EXPECT_EQ(di.GetKeyTrg(), 0u);
  in.SetKey(kEnter, false);  // the button alone keeps the bit held
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0);
  EXPECT_EQ(di.GetKeyTrg(), 0u);
  in.mouse.buttons[0] = 0;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), 0u);
}

// Every source of the default assignment and every fixed source sets exactly its bit.
TEST(InputSources, EachSourceFeedsItsBit) {
  enum Kind { kKey, kButton, kMouse };
  struct Case {
    Kind kind;
    int value;  // key code, joystick button or mouse button
    GameKeyBits bit;
  };
  const Case cases[] = {
      {kKey, 0x1C, kGameKey0},      {kKey, 0x9C, kGameKey0},      {kKey, 0x2D, kGameKey0},
      {kKey, 0x39, kGameKey1},      {kKey, 0x52, kGameKey1},      {kKey, 0x2C, kGameKey1},
      {kKey, 0x1D, kGameKey2},      {kKey, 0x9D, kGameKey2},      {kKey, 0x2A, kGameKey3},
      {kKey, 0x36, kGameKey3},      {kKey, 0x0F, kGameKeyTab},    {kKey, 0xB5, kGameKeyTab},
      {kKey, 0xC8, kGameKeyUp},     {kKey, 0x48, kGameKeyUp},     {kKey, 0xD0, kGameKeyDown},
      {kKey, 0x50, kGameKeyDown},   {kKey, 0xCB, kGameKeyLeft},   {kKey, 0x4B, kGameKeyLeft},
      {kKey, 0xCD, kGameKeyRight},  {kKey, 0x4D, kGameKeyRight},  {kKey, 0x1E, 0},  // A: none
      {kButton, 0, kGameKey0},      {kButton, 2, kGameKey0},      {kButton, 1, kGameKey1},
      {kButton, 6, kGameKey2},      {kButton, 7, kGameKey2},      {kButton, 8, kGameKey3},
      {kButton, 3, 0},              {kButton, 9, 0},              {kButton, 10, 0},
      {kMouse, 0, kGameKey0},       {kMouse, 1, kGameKey1},       {kMouse, 2, 0},
  };
  for (const Case& c : cases) {
    testsupport::TestEngine engine;
    HeadlessInput& in = engine.host.input;
    in.joystick_attached = true;
    Ctx().input.CreateDirectInput();
    Ctx().input.Init();
    switch (c.kind) {
      case kKey:
        in.SetKey(static_cast<uint8_t>(c.value), true);
        break;
      case kButton:
        in.joystick.buttons[static_cast<size_t>(c.value)] = 0x80;
        break;
      case kMouse:
        in.mouse.buttons[static_cast<size_t>(c.value)] = 0x80;
        break;
    }
    Ctx().input.GetState();
    EXPECT_EQ(Ctx().input.GetKeyHold(), c.bit) << "kind " << c.kind << " value " << c.value;
    EXPECT_EQ(Ctx().input.GetKeyTrg(), c.bit) << "kind " << c.kind << " value " << c.value;
  }
}

TEST_F(InputTest, EntriesTenToFifteenFeedBitsNineToFourteen) {
  Start();
  for (uint32_t i = 0; i < 10; ++i) di.SetPadConfig(i, 0);  // the buttons only feed 10-15 here
  for (uint32_t i = 0; i < 6; ++i) {
    di.SetKeyConfig(10 + i, 0x10 + i);  // Q, W, E, R, T, Y
    di.SetPadConfig(10 + i, 14 - i);    // buttons 9 .. 4 (pads 14 .. 9)
  }
  for (uint32_t i = 0; i < 6; ++i) {
    const GameKeyBits bit = kGameKey9 << i;
    in.keys.fill(0);
    in.SetKey(static_cast<uint8_t>(0x10 + i), true);
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), bit) << "key entry " << 10 + i;
    in.keys.fill(0);
    in.joystick.buttons[9 - i] = 0x80;
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), bit) << "pad entry " << 10 + i;
    in.joystick.buttons.fill(0);
  }
}

TEST_F(InputTest, EntriesHoldingZeroNeverFire) {
  Start();
  for (uint32_t i = 0; i < 16; ++i) {
    di.SetKeyConfig(i, 0);
    di.SetPadConfig(i, 0);
  }
  in.keys[0] = 0x80;  // a backend reporting code 0 down must not feed the emptied entries
  in.joystick.buttons.fill(0x80);
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), 0u);
}

TEST_F(InputTest, OneKeyAssignedToTwoBitsFeedsBoth) {
  Start();
  di.SetKeyConfig(9, kEnter);  // Enter also on entry 9 (bit 3)
  in.SetKey(kEnter, true);
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0 | kGameKey3);
}

TEST(InputFrames, FailedReadGivesAnEmptyFrameAndKeepsTheStoredState) {
  for (InputDevice failing : {InputDevice::kKeyboard, InputDevice::kMouse}) {
    SCOPED_TRACE(failing == InputDevice::kKeyboard ? "keyboard" : "mouse");
    testsupport::TestEngine fresh;
    HeadlessInput& input = fresh.host.input;
    CDinput& service = Ctx().input;
    ASSERT_EQ(service.CreateDirectInput(), 1);
    ASSERT_EQ(service.Init(), 1);
    input.SetKey(kEnter, true);
    input.cursor_x = 10;
    service.GetState();
    ASSERT_EQ(service.GetKeyTrg(), kGameKey0);

    testsupport::TraceCapture trace;
    input.device(failing).read_error = platform::kInputFailed;
    input.cursor_x = 20;
    input.MoveMouse(5, 5);
    service.GetState();
    EXPECT_EQ(service.GetKeyHold(), 0u);
    EXPECT_EQ(service.GetKeyTrg(), 0u);
    EXPECT_EQ(service.GetKeyOld(), kGameKey0);
    std::array<uint8_t, 256> state{};
    service.GetKeyboardState(state);
    EXPECT_EQ(state[kEnter], 0x81);  // unchanged from the last good frame
    EXPECT_EQ(service.GetMouseX(), 10);
    EXPECT_EQ(service.IsMouseMoved(), 0u);
    EXPECT_TRUE(trace.Contains(failing == InputDevice::kKeyboard
                                   ? "DirectInputDevice GetState Keyboard Fail:80004005\n"
                                   : "DirectInputDevice GetState Mouse Fail:80004005\n"));

    input.device(failing).read_error = 0;
    service.GetState();  // old is 0 now: the key still held triggers again
    EXPECT_EQ(service.GetKeyTrg(), kGameKey0);
    service.GetKeyboardState(state);
    EXPECT_EQ(state[kEnter], 0x80);
    EXPECT_EQ(service.GetMouseX(), 20);
    EXPECT_EQ(service.GetOldMouseX(), 10);
  }
}

TEST_F(InputTest, LostDeviceIsAcquiredAndReadAgain) {
  Start();
  testsupport::TraceCapture trace;
  in.SetKey(kEnter, true);
  in.device(InputDevice::kKeyboard).lost = true;
  in.device(InputDevice::kMouse).lost = true;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0);
  EXPECT_TRUE(trace.Contains("DirectInputDevice GetState Keyboard Lost\n"));
  EXPECT_TRUE(trace.Contains("DirectInputDevice GetState Mouse Lost\n"));
  EXPECT_FALSE(trace.Contains("Fail"));
}

TEST_F(InputTest, DeviceWhoseReacquireFailedComesBackWhenItIsFreeAgain) {
  Start();
  in.SetKey(kEnter, true);
  auto& keyboard = in.device(InputDevice::kKeyboard);
  keyboard.lost = true;
  keyboard.acquire_fails = true;
  testsupport::TraceCapture trace;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), 0u);
  EXPECT_TRUE(trace.Contains("DirectInputDevice GetState Keyboard Fail:8007000c\n"));
  di.GetState();  // still taken
  EXPECT_EQ(di.GetKeyHold(), 0u);
  keyboard.acquire_fails = false;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0);
  EXPECT_EQ(di.GetKeyTrg(), kGameKey0);
}

TEST_F(InputTest, StickDirectionsAroundTheCentre) {
  Start();
  struct Case {
    uint32_t x, y;
    GameKeyBits hold;
  };
  const Case cases[] = {
      {32768, 32768, 0},
      {32767, 32768, kGameKeyLeft},
      {32769, 32768, kGameKeyRight},
      {32768, 32767, kGameKeyUp},
      {32768, 32769, kGameKeyDown},
      {0, 65535, kGameKeyLeft | kGameKeyDown},
  };
  for (const Case& c : cases) {
    in.joystick.x = c.x;
    in.joystick.y = c.y;
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), c.hold) << c.x << "," << c.y;
  }
}

TEST_F(InputTest, ButtonsZeroToNineArePadsFiveToFourteen) {
  Start();
  in.joystick.buttons.fill(0x80);
  in.joystick.x = 0;  // stick left: pad 3
  di.GetState();
  const auto pads = Pads();
  for (size_t pad = 0; pad < pads.size(); ++pad) {
    const bool down = pad == 3 || (pad >= 5 && pad <= 14);
    EXPECT_EQ(pads[pad], down ? 0x81 : 0x00) << "pad " << pad;
  }
  di.GetState();
  EXPECT_EQ(Pads()[5], 0x80);
  std::array<uint8_t, 32> masked = Pads();
  const uint8_t list[] = {5, 40, 14, 0, 6};  // 40 is outside the pad state; 6 follows the end
  CDinput::MaskPadButtons(masked, list);
  EXPECT_EQ(masked[5], 0);
  EXPECT_EQ(masked[14], 0);
  EXPECT_EQ(masked[6], 0x80);
}

TEST_F(InputTest, JoystickFailureLeavesTheKeysWorking) {
  Start();
  testsupport::TraceCapture trace;
  in.joystick.buttons[0] = 0x80;
  in.device(InputDevice::kJoystick).read_error = platform::kInputFailed;
  in.SetKey(0x39, true);  // Space: bit 1
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey1);
  EXPECT_EQ(Pads()[5], 0);
  EXPECT_TRUE(trace.Contains("DirectInputDevice GetState Joystick Fail:80004005\n"));
  EXPECT_EQ(di.IsJoystickPresent(), 1u);

  in.device(InputDevice::kJoystick).read_error = 0;
  in.device(InputDevice::kJoystick).lost = true;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0 | kGameKey1);
  EXPECT_TRUE(trace.Contains("DirectInputDevice GetState Joystick Lost\n"));
}

TEST_F(InputTest, NoJoystickMeansNoJoystickReads) {
  testsupport::TraceCapture trace;
  Start(false);
  EXPECT_EQ(di.IsJoystickPresent(), 0u);
  in.joystick.buttons[0] = 0x80;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), 0u);
  EXPECT_EQ(in.device(InputDevice::kJoystick).read_calls, 0);
  EXPECT_FALSE(trace.Contains("Joystick"));
}

TEST_F(InputTest, FoundJoystickIsTracedByName) {
  testsupport::TraceCapture trace;
  in.joystick_info = {"Pad One", "Product One"};
  Start();
  EXPECT_TRUE(trace.Contains("Pad One\tProduct One\n"));
  EXPECT_EQ(in.device(InputDevice::kJoystick).acquire_calls, 1);
}

TEST_F(InputTest, CapsLockHoldsItsBitAndTriggersOnce) {
  Start();
  in.caps_lock = true;
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey2);
  EXPECT_EQ(di.GetKeyTrg(), kGameKey2);
  for (int i = 0; i < 3; ++i) {
    di.GetState();
    EXPECT_EQ(di.GetKeyHold(), kGameKey2);
    EXPECT_EQ(di.GetKeyTrg(), 0u);
  }
  in.SetKey(0x1D, true);  // left Ctrl on the same bit changes nothing
  di.GetState();
  EXPECT_EQ(di.GetKeyTrg(), 0u);
  in.caps_lock = false;
  in.SetKey(0x1D, false);
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), 0u);
}

TEST(InputFrames, KeyMouseMovesTheCursorByTheStep) {
  struct Case {
    uint32_t step;
    std::vector<uint8_t> keys;  // held key codes
    bool right_button;          // bit 1: four times the step
    int32_t x, y;               // cursor before
    int32_t nx, ny;             // cursor and mouse position after
  };
  const Case cases[] = {
      {4, {0xCB}, false, 100, 100, 96, 100},               // Left
      {4, {0xCB}, true, 100, 100, 84, 100},                // Left, bit 1 held: 16
      {4, {0x39, 0xCD, 0xD0}, false, 100, 100, 116, 116},  // Space (bit 1), Right, Down
      {4, {0xC8, 0xCB}, true, 5, 3, 0, 0},                 // clipped at the top left
      {4, {0xCD, 0xD0}, true, 630, 475, 639, 479},         // clipped at the bottom right
      {0, {0xCB}, false, 100, 100, 100, 100},              // key-mouse off
      {0xFFFFFFFFu, {0xCD}, true, 100, 100, 639, 100},     // a huge step still clips
  };
  for (const Case& c : cases) {
    testsupport::TestEngine fresh;
    HeadlessInput& input = fresh.host.input;
    CDinput& service = Ctx().input;
    service.CreateDirectInput();
    service.Init();
    service.SetCursorSpeed(c.step);
    input.cursor_x = c.x;
    input.cursor_y = c.y;
    for (uint8_t k : c.keys) input.SetKey(k, true);
    input.mouse.buttons[1] = c.right_button ? 0x80 : 0;
    service.GetState();
    EXPECT_EQ(service.GetMouseX(), c.nx) << "step " << c.step << " from " << c.x << "," << c.y;
    EXPECT_EQ(service.GetMouseY(), c.ny) << "step " << c.step << " from " << c.x << "," << c.y;
    if (c.step == 0) {
      EXPECT_EQ(input.set_cursor_calls, 0);
    }
  }
}

TEST_F(InputTest, KeyMouseAtTheEdgeKeepsOldAndNewPositionsEqual) {
  Start();
  di.SetCursorSpeed(4);
  in.cursor_x = 2;
  in.cursor_y = 200;
  in.SetKey(0xCB, true);
  in.mouse.buttons[1] = 0x80;
  di.GetState();
  EXPECT_EQ(di.GetMouseX(), 0);
  di.GetState();
  EXPECT_EQ(di.GetMouseX(), 0);
  EXPECT_EQ(di.GetOldMouseX(), 0);
  EXPECT_EQ(di.GetMouseY(), di.GetOldMouseY());
}

TEST_F(InputTest, MouseMovedOnlyOnFramesWithMovement) {
  Start();
  in.MoveMouse(0, -2);
  di.GetState();
  EXPECT_EQ(di.IsMouseMoved(), 1u);
  di.GetState();
  EXPECT_EQ(di.IsMouseMoved(), 0u);
}

TEST(InputSetUp, MissingDevicesMeanNoKeysButTheDefaultsStay) {
  enum Failure { kNoSeam, kStartup, kKeyboard, kMouse };
  struct Case {
    Failure failure;
    const char* trace;
  };
  const Case cases[] = {
      {kNoSeam, "DirectInputDevice Keyboard Create Fail\n"},
      {kStartup, "DirectInputDevice Keyboard Create Fail\n"},
      {kKeyboard, "DirectInputDevice Keyboard Create Fail\n"},
      {kMouse, "DirectInputDevice Mouse Create Fail\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    platform::headless::HeadlessPlatform host;
    HeadlessInput& in = host.input;
    if (c.failure == kNoSeam) host.seams().input = nullptr;
    in.startup_fails = c.failure == kStartup;
    in.keyboard_device.open_fails = c.failure == kKeyboard;
    in.mouse_device.open_fails = c.failure == kMouse;
    EngineContext context(host.seams());
    ContextScope scope(context);
    testsupport::TraceCapture trace;
    EXPECT_EQ(context.input.CreateDirectInput(), c.failure >= kKeyboard ? 1 : 0);
    EXPECT_EQ(context.input.Init(), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_EQ(context.input.GetKeyConfig(0), 0x1Cu);
    EXPECT_EQ(context.input.GetPadConfig(0), 5u);
    in.SetKey(kEnter, true);
    in.caps_lock = true;
    for (int frame = 0; frame < 2; ++frame) context.input.GetState();
    EXPECT_EQ(context.input.GetKeyHold(), 0u);
    EXPECT_EQ(in.keyboard_device.read_calls + in.mouse_device.read_calls, 0);
  }
}

}  // namespace
