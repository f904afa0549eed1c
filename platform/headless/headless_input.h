#pragma once
// The test input: key, mouse, joystick and cursor state are set by the test; every device can be
// made to fail its open, its acquire or its reads, or be lost, and the calls are counted.

#include <cstdint>

#include "platform/input.h"

namespace platform::headless {

class HeadlessInput final : public Input {
 public:
  // The behaviour of one device and what was done to it.
  struct Device {
    bool open_fails = false;     // Open... returns false
    bool acquire_fails = false;  // Acquire returns kInputFailed and leaves it unacquired
    uint32_t read_error = 0;     // not 0: every read returns this code
    bool lost = false;  // the next read reports kInputLost and un-acquires the device
    bool opened = false;
    bool acquired = false;
    int acquire_calls = 0;
    int read_calls = 0;
  };

  bool Startup() override;
  bool OpenKeyboard() override { return Open(keyboard_device); }
  bool OpenMouse() override { return Open(mouse_device); }
  bool OpenJoystick(JoystickInfo& info) override;
  uint32_t Acquire(InputDevice which) override;
  uint32_t ReadKeyboard(KeyboardState& out) override;
  uint32_t ReadMouse(MouseState& out) override;
  uint32_t ReadJoystick(JoystickState& out) override;
  bool CapsLockOn() override { return caps_lock; }
  void GetCursor(int32_t& x, int32_t& y) override;
  void SetCursor(int32_t x, int32_t y) override;

  Device& device(InputDevice which);

  // Presses (0x80) or releases (0) one key by key code. A press reads as down at the next
  // keyboard read even when the key is released again before it, as on the real backend.
  void SetKey(uint8_t code, bool down) {
    keys[code] = down ? 0x80 : 0;
    if (down) pressed.Press(code);
  }
  // Adds movement for the next mouse read (which consumes it).
  void MoveMouse(int32_t dx, int32_t dy);

  // What tests set.
  bool startup_fails = false;
  bool joystick_attached = false;
  JoystickInfo joystick_info{"Headless Pad", "Headless Pad"};
  Device keyboard_device;
  Device mouse_device;
  Device joystick_device;
  KeyboardState keys{};
  KeyLatch pressed;  // the presses since the last keyboard read
  MouseState mouse;  // dx and dy are the movement pending for the next read
  JoystickState joystick;
  bool caps_lock = false;
  int32_t cursor_x = 0;
  int32_t cursor_y = 0;

  // What tests read.
  bool started = false;
  int set_cursor_calls = 0;

 private:
  static bool Open(Device& device);
  // The checks every read makes; kInputOk when the device may be read.
  static uint32_t ReadCheck(Device& device);
};

}  // namespace platform::headless
