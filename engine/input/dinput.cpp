#include "engine/input/dinput.h"

#include <algorithm>
#include <limits>

#include "engine/core/debug_trace.h"

namespace {

using platform::InputDevice;
using platform::kInputLost;
using platform::kInputOk;

// Every key code a table entry can hold indexes the keyboard state.
static_assert(std::numeric_limits<decltype(KeyConfig{}.keyboard)::value_type>::max() <
                  platform::kKeyboardStateSize,
              "a stored key code must never reach outside the keyboard state");

// Which assignment entries feed each logical key: first entry and count.
struct AssignedEntries {
  uint8_t first;
  uint8_t count;
};
constexpr AssignedEntries kAssigned[kGameKeyCount] = {
    {0, 3}, {3, 3}, {6, 2}, {8, 2},                   // bits 0-3
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},          // bits 4-8: fixed sources only
    {10, 1}, {11, 1}, {12, 1}, {13, 1}, {14, 1}, {15, 1},  // bits 9-14
};

// Fixed keys of the direction bits and bit 4: two key codes and a pad number (0 none).
struct FixedSource {
  GameKeyBits bit;
  uint8_t key_a;
  uint8_t key_b;
  uint8_t pad;
};
constexpr FixedSource kFixed[] = {
    {kGameKeyTab, 0x0F, 0xB5, kPadNone},   // Tab, numpad slash
    {kGameKeyUp, 0xC8, 0x48, kPadUp},      // Up arrow, numpad 8
    {kGameKeyDown, 0xD0, 0x50, kPadDown},  // Down arrow, numpad 2
    {kGameKeyLeft, 0xCB, 0x4B, kPadLeft},  // Left arrow, numpad 4
    {kGameKeyRight, 0xCD, 0x4D, kPadRight},  // Right arrow, numpad 6
};

// An assigned key code is down; code 0 never is.
bool KeyDown(const platform::KeyboardState& raw, uint8_t code) {
  return code != 0 && raw[code] != 0;
}

// An assigned pad number is down; 0 and numbers outside the pad image never are.
bool PadDown(const std::array<uint8_t, kPadStateSize>& image, uint8_t pad) {
  return pad != kPadNone && pad < kPadStateSize && image[pad] != 0;
}

// Merges one frame's raw bytes into stored state bytes: bit 0 on the first frame of a press,
// bit 7 while down.
template <size_t N>
void UpdateStates(std::array<uint8_t, N>& stored, const std::array<uint8_t, N>& raw) {
  for (size_t i = 0; i < N; ++i) {
    const bool down = raw[i] != 0;
    const uint8_t first = (down && stored[i] == 0) ? 0x01 : 0x00;
    stored[i] = static_cast<uint8_t>(first | (down ? 0x80 : 0x00));
  }
}

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

int CDinput::CreateDirectInput() {
  started_ = input_ != nullptr && input_->Startup();
  if (!started_) DebugPrint("DirectInputCreate Fail\n");
  return started_ ? 1 : 0;
}

int CDinput::Init() {
  // The assignment gets its defaults whatever happens below, so that a device failure never
  // leaves an empty assignment for the key menus to show or save.
  InitKeyConfig();
  InitPadConfig();

  keyboard_ready_ = started_ && input_->OpenKeyboard();
  if (!keyboard_ready_) {
    DebugPrint("DirectInputDevice Keyboard Create Fail\n");
    return 0;
  }
  mouse_ready_ = input_->OpenMouse();
  if (!mouse_ready_) {
    DebugPrint("DirectInputDevice Mouse Create Fail\n");
    return 0;
  }

  platform::JoystickInfo info;
  joystick_present_ = input_->OpenJoystick(info) ? 1 : 0;
  if (joystick_present_ != 0) {
    DebugPrint("Joystick search\n");
    DebugPrint("%s\t%s\n", info.instance_name.c_str(), info.product_name.c_str());
  }

  input_->Acquire(InputDevice::kKeyboard);
  input_->Acquire(InputDevice::kMouse);
  if (joystick_present_ != 0) input_->Acquire(InputDevice::kJoystick);
  return 1;
}

template <class Read>
uint32_t CDinput::ReadWithRetry(InputDevice device, const char* lost_text, Read read) {
  uint32_t result = read();
  if (result == kInputLost) {
    input_->Acquire(device);
    DebugPrint("%s", lost_text);
    result = read();
  } else if (result == platform::kInputNotAcquired) {
    // An earlier acquire failed (say, while another program held the device). Trying again each
    // frame brings the device back once it is free, instead of leaving it dead for good.
    input_->Acquire(device);
    result = read();
  }
  return result;
}

void CDinput::GetState() {
  old_ = hold_;
  hold_ = 0;
  trigger_ = 0;
  // Without both a keyboard and a mouse nothing is read: the frame has no keys.
  if (!keyboard_ready_ || !mouse_ready_) return;
  const bool joystick = joystick_present_ != 0;

  platform::KeyboardState keys{};
  uint32_t result = ReadWithRetry(InputDevice::kKeyboard,
                                  "DirectInputDevice GetState Keyboard Lost\n",
                                  [&] { return input_->ReadKeyboard(keys); });
  if (result != kInputOk) {
    DebugPrint("DirectInputDevice GetState Keyboard Fail:%x\n", result);
    return;
  }

  platform::MouseState mouse;
  result = ReadWithRetry(InputDevice::kMouse, "DirectInputDevice GetState Mouse Lost\n",
                         [&] { return input_->ReadMouse(mouse); });
  if (result != kInputOk) {
    DebugPrint("DirectInputDevice GetState Mouse Fail:%x\n", result);
    return;
  }

  // The pad image of this frame; a failed joystick read leaves it empty.
  std::array<uint8_t, kPadStateSize> pads{};
  if (joystick) {
    platform::JoystickState stick;
    result = ReadWithRetry(InputDevice::kJoystick, "DirectInputDevice GetState Joystick Lost\n",
                           [&] { return input_->ReadJoystick(stick); });
    if (result != kInputOk) {
      DebugPrint("DirectInputDevice GetState Joystick Fail:%x\n", result);
    } else {
      if (stick.x < platform::kJoystickCentre) pads[kPadLeft] = 0x80;
      if (stick.x > platform::kJoystickCentre) pads[kPadRight] = 0x80;
      if (stick.y < platform::kJoystickCentre) pads[kPadUp] = 0x80;
      if (stick.y > platform::kJoystickCentre) pads[kPadDown] = 0x80;
      for (size_t b = 0; b < kPadButtonsRead; ++b) {
        if (stick.buttons[b] != 0) pads[kPadButton0 + b] = 0x80;
      }
    }
  }

  UpdateStates(keyboard_state_, keys);
  UpdateStates(pad_state_, pads);

  for (int bit = 0; bit < kGameKeyCount; ++bit) {
    const GameKeyBits mask = GameKeyBits{1} << bit;
    const AssignedEntries& entries = kAssigned[bit];
    bool down = false;
    for (int i = entries.first; i < entries.first + entries.count; ++i) {
      down = down || KeyDown(keys, key_config_.keyboard[static_cast<size_t>(i)]) ||
             PadDown(pads, key_config_.pad[static_cast<size_t>(i)]);
    }
    if (mask == kGameKey0) down = down || (mouse.buttons[0] & 0x80) != 0;
    if (mask == kGameKey1) down = down || (mouse.buttons[1] & 0x80) != 0;
    // Caps Lock is asked only when no assigned key of bit 2 is down.
    if (mask == kGameKey2 && !down) down = input_->CapsLockOn();
    for (const FixedSource& fixed : kFixed) {
      if (fixed.bit != mask) continue;
      down = down || keys[fixed.key_a] != 0 || keys[fixed.key_b] != 0 || PadDown(pads, fixed.pad);
    }
    if (down) {
      hold_ |= mask;
      if ((old_ & mask) == 0) trigger_ |= mask;
    }
  }

  mouse_moved_ = (mouse.dx != 0 || mouse.dy != 0) ? 1 : 0;
  MoveCursor();
}

// Key-mouse: held direction keys move the system cursor by the cursor step (four times as far
// while bit 1 is held); then the cursor position becomes this frame's mouse position.
void CDinput::MoveCursor() {
  int32_t x = 0;
  int32_t y = 0;
  input_->GetCursor(x, y);
  int64_t step = cursor_step_;
  if ((hold_ & kGameKey1) != 0) step *= 4;
  int64_t nx = x;
  int64_t ny = y;
  if ((hold_ & kGameKeyLeft) != 0) nx -= step;
  if ((hold_ & kGameKeyRight) != 0) nx += step;
  if ((hold_ & kGameKeyUp) != 0) ny -= step;
  if ((hold_ & kGameKeyDown) != 0) ny += step;
  // Setting an unchanged position would only fight the player's own mouse movement.
  if (nx != x || ny != y) input_->SetCursor(ClampToInt32(nx), ClampToInt32(ny));
  input_->GetCursor(x, y);
  old_mouse_x_ = mouse_x_;
  old_mouse_y_ = mouse_y_;
  mouse_x_ = x;
  mouse_y_ = y;
}
