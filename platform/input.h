#pragma once
// The input seam: keyboard, mouse and one joystick, read once per frame, plus the system cursor.
//
// The seam speaks the terms the game's data is written in: the key assignment file stores
// keyboard keys as PC set-1 scan codes (the DirectInput key codes, "DIK": E0-prefixed keys carry
// bit 7, so numpad Enter is 0x9C and the Up arrow 0xC8), and joystick buttons by number. Every
// read can fail the way a device of the time could: lost (another program took it; acquire and
// read again) or not acquired (an acquire failed).

#include <array>
#include <cstdint>
#include <string>

namespace platform {

// Result codes of the device calls (the values the debug trace prints).
constexpr uint32_t kInputOk = 0;
constexpr uint32_t kInputLost = 0x8007001Eu;         // the device was taken away; acquire again
constexpr uint32_t kInputNotAcquired = 0x8007000Cu;  // the device is not acquired
constexpr uint32_t kInputFailed = 0x80004005u;       // any other failure

enum class InputDevice : uint32_t { kKeyboard = 0, kMouse = 1, kJoystick = 2 };

constexpr size_t kKeyboardStateSize = 256;  // one byte per key code 0-255
constexpr size_t kJoystickButtons = 32;
constexpr uint32_t kJoystickCentre = 32768;  // axes run 0-65535
constexpr int kCursorWidth = 640;            // the cursor moves over 0..639 x 0..479
constexpr int kCursorHeight = 480;

// Keyboard state by key code: bit 7 set while the key is down, every other bit 0.
using KeyboardState = std::array<uint8_t, kKeyboardStateSize>;

// Keys that went down since the last keyboard read. A key pressed and released between two reads
// still reads as down for that one read, as a mouse click does; a key held, repeated or released
// reads as it is.
class KeyLatch {
 public:
  void Press(uint8_t code) { pressed_[code] = 0x80; }
  // `held` (the keys down now) with the keys pressed since the last call; forgets those presses.
  KeyboardState Take(const KeyboardState& held) {
    KeyboardState keys = held;
    for (size_t i = 0; i < keys.size(); ++i) keys[i] |= pressed_[i];
    pressed_ = {};
    return keys;
  }

 private:
  KeyboardState pressed_{};
};

struct MouseState {
  int32_t dx = 0;  // movement since the previous read (device units)
  int32_t dy = 0;
  std::array<uint8_t, 4> buttons{};  // 0 left, 1 right, 2 middle, 3 fourth; bit 7 set while down
};

struct JoystickState {
  uint32_t x = kJoystickCentre;  // 0 left .. 65535 right
  uint32_t y = kJoystickCentre;  // 0 up .. 65535 down
  std::array<uint8_t, kJoystickButtons> buttons{};  // bit 7 set while down
};

// What the joystick search reports about the device it found.
struct JoystickInfo {
  std::string instance_name;
  std::string product_name;
};

class Input {
 public:
  virtual ~Input() = default;

  // Starts the input system. False when it cannot be used at all.
  virtual bool Startup() = 0;

  // Opens a device. The keyboard and the mouse are the system's; the joystick is the first one
  // attached, whose names go to `info`. False when the device cannot be opened (for the
  // joystick also when none is attached). A device opened here still needs Acquire.
  virtual bool OpenKeyboard() = 0;
  virtual bool OpenMouse() = 0;
  virtual bool OpenJoystick(JoystickInfo& info) = 0;

  // Acquires an opened device for reading; kInputOk or a failure code.
  virtual uint32_t Acquire(InputDevice device) = 0;

  // Reads the device's current state; kInputOk, kInputLost, kInputNotAcquired or another
  // failure code. On failure `out` is left as it was.
  virtual uint32_t ReadKeyboard(KeyboardState& out) = 0;
  // Mouse movement is summed from the previous successful read.
  virtual uint32_t ReadMouse(MouseState& out) = 0;
  // Polls and reads the joystick.
  virtual uint32_t ReadJoystick(JoystickState& out) = 0;

  // Whether Caps Lock is toggled on.
  virtual bool CapsLockOn() = 0;

  // The system cursor in 640x480 screen coordinates. SetCursor clips to 0..639 and 0..479.
  virtual void GetCursor(int32_t& x, int32_t& y) = 0;
  virtual void SetCursor(int32_t x, int32_t y) = 0;
};

}  // namespace platform
