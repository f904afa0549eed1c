#include "platform/headless/headless_input.h"

#include <algorithm>

namespace platform::headless {

bool HeadlessInput::Startup() {
  if (startup_fails) return false;
  started = true;
  return true;
}

bool HeadlessInput::Open(Device& device) {
  if (device.open_fails) return false;
  device.opened = true;
  return true;
}

bool HeadlessInput::OpenJoystick(JoystickInfo& info) {
  if (!joystick_attached || !Open(joystick_device)) return false;
  info = joystick_info;
  return true;
}

HeadlessInput::Device& HeadlessInput::device(InputDevice which) {
  switch (which) {
    case InputDevice::kKeyboard:
      return keyboard_device;
    case InputDevice::kMouse:
      return mouse_device;
    case InputDevice::kJoystick:
      break;
  }
  return joystick_device;
}

uint32_t HeadlessInput::Acquire(InputDevice which) {
  Device& d = device(which);
  ++d.acquire_calls;
  if (!d.opened || d.acquire_fails) return kInputFailed;
  d.acquired = true;
  d.lost = false;
  return kInputOk;
}

uint32_t HeadlessInput::ReadCheck(Device& device) {
  ++device.read_calls;
  if (!device.opened) return kInputFailed;
  if (device.read_error != 0) return device.read_error;
  if (device.lost) {
    device.lost = false;
    device.acquired = false;
    return kInputLost;
  }
  if (!device.acquired) return kInputNotAcquired;
  return kInputOk;
}

uint32_t HeadlessInput::ReadKeyboard(KeyboardState& out) {
  const uint32_t result = ReadCheck(keyboard_device);
  if (result == kInputOk) out = pressed.Take(keys);
  return result;
}

uint32_t HeadlessInput::ReadMouse(MouseState& out) {
  const uint32_t result = ReadCheck(mouse_device);
  if (result != kInputOk) return result;
  out = mouse;
  mouse.dx = 0;
  mouse.dy = 0;
  return result;
}

uint32_t HeadlessInput::ReadJoystick(JoystickState& out) {
  const uint32_t result = ReadCheck(joystick_device);
  if (result == kInputOk) out = joystick;
  return result;
}

void HeadlessInput::MoveMouse(int32_t dx, int32_t dy) {
  mouse.dx += dx;
  mouse.dy += dy;
}

void HeadlessInput::GetCursor(int32_t& x, int32_t& y) {
  x = cursor_x;
  y = cursor_y;
}

void HeadlessInput::SetCursor(int32_t x, int32_t y) {
  ++set_cursor_calls;
  cursor_x = std::clamp(x, 0, kCursorWidth - 1);
  cursor_y = std::clamp(y, 0, kCursorHeight - 1);
}

}  // namespace platform::headless
