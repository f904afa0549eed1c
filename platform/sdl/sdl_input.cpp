#include "platform/sdl/sdl_input.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_window.h"

namespace platform::sdl {

namespace {

// SDL scancode -> PC set-1 key code. Keys sent with the E0 prefix carry bit 7.
constexpr ScancodeDik kTable[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},
    {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    // The key beside Enter on ISO boards: the same key as backslash on ANSI boards.
    {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64},
    {SDL_SCANCODE_F14, 0x65},
    {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, 0x70},  // Japanese kana
    {SDL_SCANCODE_INTERNATIONAL1, 0x73},  // Japanese ro, Brazilian slash
    {SDL_SCANCODE_INTERNATIONAL4, 0x79},  // Japanese convert
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B},  // Japanese no-convert
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D},  // Japanese yen
    {SDL_SCANCODE_KP_EQUALS, 0x8D},
    {SDL_SCANCODE_AUDIOPREV, 0x90},
    {SDL_SCANCODE_AUDIONEXT, 0x99},
    {SDL_SCANCODE_KP_ENTER, 0x9C},
    {SDL_SCANCODE_RCTRL, 0x9D},
    {SDL_SCANCODE_MUTE, 0xA0},
    {SDL_SCANCODE_CALCULATOR, 0xA1},
    {SDL_SCANCODE_AUDIOPLAY, 0xA2},
    {SDL_SCANCODE_AUDIOSTOP, 0xA4},
    {SDL_SCANCODE_VOLUMEDOWN, 0xAE},
    {SDL_SCANCODE_VOLUMEUP, 0xB0},
    {SDL_SCANCODE_AC_HOME, 0xB2},
    {SDL_SCANCODE_KP_COMMA, 0xB3},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    {SDL_SCANCODE_RALT, 0xB8},
    {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_UP, 0xC8},
    {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, 0xCD},
    {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3},
    {SDL_SCANCODE_LGUI, 0xDB},
    {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
    {SDL_SCANCODE_POWER, 0xDE},
    {SDL_SCANCODE_SLEEP, 0xDF},
    {SDL_SCANCODE_AC_SEARCH, 0xE5},
    {SDL_SCANCODE_AC_BOOKMARKS, 0xE6},
    {SDL_SCANCODE_AC_REFRESH, 0xE7},
    {SDL_SCANCODE_AC_STOP, 0xE8},
    {SDL_SCANCODE_AC_FORWARD, 0xE9},
    {SDL_SCANCODE_AC_BACK, 0xEA},
    {SDL_SCANCODE_COMPUTER, 0xEB},
    {SDL_SCANCODE_MAIL, 0xEC},
    {SDL_SCANCODE_MEDIASELECT, 0xED},
};

// The reverse of the table, by scancode.
const std::array<uint8_t, SDL_NUM_SCANCODES>& CodeByScancode() {
  static const std::array<uint8_t, SDL_NUM_SCANCODES> codes = [] {
    std::array<uint8_t, SDL_NUM_SCANCODES> result{};
    for (const ScancodeDik& entry : kTable) result[static_cast<size_t>(entry.scancode)] = entry.dik;
    return result;
  }();
  return codes;
}

// Game-controller buttons in the order they are numbered for the engine.
constexpr SDL_GameControllerButton kControllerButtons[] = {
    SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,         SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSTICK, SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE,
};

// An SDL axis value (-32768..32767) as 0..65535, centred on 32768 within the dead zone.
uint32_t AxisValue(int16_t value) {
  if (std::abs(static_cast<int>(value)) < kStickDeadZone) return kJoystickCentre;
  return static_cast<uint32_t>(static_cast<int>(value) + 32768);
}

// A held direction (d-pad or hat) overrides its axis.
void ApplyDirections(bool left, bool right, bool up, bool down, JoystickState& out) {
  if (left) out.x = 0;
  if (right) out.x = 65535;
  if (up) out.y = 0;
  if (down) out.y = 65535;
}

int MouseButtonIndex(uint8_t sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    case SDL_BUTTON_X1:
      return 3;
    default:
      return -1;
  }
}

}  // namespace

std::span<const ScancodeDik> DikTable() { return kTable; }

uint8_t DikFromScancode(int scancode) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return CodeByScancode()[static_cast<size_t>(scancode)];
}

SdlInput::SdlInput(SdlWindow& window) : window_(window) {}

SdlInput::~SdlInput() {
  if (listener_id_ != 0) window_.RemoveEventListener(listener_id_);
  CloseJoystick();
  if (joystick_system_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool SdlInput::Startup() {
  if (listener_id_ == 0) {
    listener_id_ = window_.AddEventListener([this](const SDL_Event& event) { OnEvent(event); });
  }
  // Keyboard and mouse come with the window; only the joystick needs a subsystem of its own,
  // and without it the game is still played with keyboard and mouse.
  if (!joystick_system_) {
    joystick_system_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!joystick_system_) {
      std::fprintf(stderr, "tamvik: SDL joysticks unavailable: %s\n", SDL_GetError());
    }
  }
  return true;
}

bool SdlInput::OpenKeyboard() {
  keyboard_open_ = true;
  return true;
}

bool SdlInput::OpenMouse() {
  mouse_open_ = true;
  return true;
}

bool SdlInput::OpenFirstJoystick(JoystickInfo* info) {
  CloseJoystick();
  if (!joystick_system_ || SDL_NumJoysticks() <= 0) return false;
  const char* name = nullptr;
  if (SDL_IsGameController(0)) {
    controller_ = SDL_GameControllerOpen(0);
    if (controller_ != nullptr) {
      joystick_id_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller_));
      name = SDL_GameControllerName(controller_);
    }
  }
  if (controller_ == nullptr) {
    joystick_ = SDL_JoystickOpen(0);
    if (joystick_ == nullptr) return false;
    joystick_id_ = SDL_JoystickInstanceID(joystick_);
    name = SDL_JoystickName(joystick_);
  }
  if (info != nullptr) {
    info->instance_name = name != nullptr ? name : "";
    info->product_name = info->instance_name;
  }
  return true;
}

void SdlInput::CloseJoystick() {
  if (controller_ != nullptr) SDL_GameControllerClose(controller_);
  if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
  controller_ = nullptr;
  joystick_ = nullptr;
  joystick_id_ = -1;
}

bool SdlInput::OpenJoystick(JoystickInfo& info) {
  joystick_open_ = OpenFirstJoystick(&info);
  return joystick_open_;
}

uint32_t SdlInput::Acquire(InputDevice device) {
  switch (device) {
    case InputDevice::kKeyboard:
      keyboard_acquired_ = keyboard_open_;
      return keyboard_open_ ? kInputOk : kInputFailed;
    case InputDevice::kMouse:
      mouse_acquired_ = mouse_open_;
      return mouse_open_ ? kInputOk : kInputFailed;
    case InputDevice::kJoystick:
      break;
  }
  if (!joystick_open_) return kInputFailed;
  // After an unplug the first joystick attached now takes the place of the old one.
  if (controller_ == nullptr && joystick_ == nullptr && !OpenFirstJoystick(nullptr)) {
    joystick_acquired_ = false;
    return kInputFailed;
  }
  joystick_acquired_ = true;
  joystick_lost_ = false;
  return kInputOk;
}

uint32_t SdlInput::ReadKeyboard(KeyboardState& out) {
  if (!keyboard_acquired_) return kInputNotAcquired;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  KeyboardState keys{};
  for (const ScancodeDik& entry : kTable) {
    if (entry.scancode < count && state[entry.scancode] != 0) keys[entry.dik] = 0x80;
  }
  out = key_presses_.Take(keys);
  return kInputOk;
}

uint32_t SdlInput::ReadMouse(MouseState& out) {
  if (!mouse_acquired_) return kInputNotAcquired;
  const uint32_t held = SDL_GetMouseState(nullptr, nullptr);
  const uint32_t masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                             SDL_BUTTON_X1MASK};
  MouseState state;
  state.dx = motion_x_;
  state.dy = motion_y_;
  for (size_t i = 0; i < state.buttons.size(); ++i) {
    const bool down = (held & masks[i]) != 0 || (pressed_since_read_ & (1u << i)) != 0;
    state.buttons[i] = down ? 0x80 : 0;
  }
  motion_x_ = 0;
  motion_y_ = 0;
  pressed_since_read_ = 0;
  out = state;
  return kInputOk;
}

uint32_t SdlInput::ReadJoystick(JoystickState& out) {
  if (joystick_lost_) {
    joystick_lost_ = false;
    joystick_acquired_ = false;
    return kInputLost;
  }
  if (!joystick_acquired_) return kInputNotAcquired;
  JoystickState state;
  if (controller_ != nullptr) {
    state.x = AxisValue(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTX));
    state.y = AxisValue(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTY));
    ApplyDirections(
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0,
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0,
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0,
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0, state);
    size_t i = 0;
    for (SDL_GameControllerButton button : kControllerButtons) {
      state.buttons[i++] = SDL_GameControllerGetButton(controller_, button) != 0 ? 0x80 : 0;
    }
  } else if (joystick_ != nullptr) {
    if (SDL_JoystickNumAxes(joystick_) >= 2) {
      state.x = AxisValue(SDL_JoystickGetAxis(joystick_, 0));
      state.y = AxisValue(SDL_JoystickGetAxis(joystick_, 1));
    }
    if (SDL_JoystickNumHats(joystick_) >= 1) {
      const Uint8 hat = SDL_JoystickGetHat(joystick_, 0);
      ApplyDirections((hat & SDL_HAT_LEFT) != 0, (hat & SDL_HAT_RIGHT) != 0,
                      (hat & SDL_HAT_UP) != 0, (hat & SDL_HAT_DOWN) != 0, state);
    }
    const int buttons = std::min<int>(SDL_JoystickNumButtons(joystick_), kJoystickButtons);
    for (int b = 0; b < buttons; ++b) {
      state.buttons[static_cast<size_t>(b)] = SDL_JoystickGetButton(joystick_, b) != 0 ? 0x80 : 0;
    }
  } else {
    return kInputNotAcquired;
  }
  out = state;
  return kInputOk;
}

bool SdlInput::CapsLockOn() { return (SDL_GetModState() & KMOD_CAPS) != 0; }

void SdlInput::WindowToLogical(int wx, int wy, int32_t& x, int32_t& y) const {
  SDL_Renderer* renderer = window_.renderer();
  float lx = static_cast<float>(wx);
  float ly = static_cast<float>(wy);
  if (renderer != nullptr) {
    SDL_RenderWindowToLogical(renderer, wx, wy, &lx, &ly);
  }
  x = std::clamp(static_cast<int32_t>(std::floor(lx)), 0, kCursorWidth - 1);
  y = std::clamp(static_cast<int32_t>(std::floor(ly)), 0, kCursorHeight - 1);
}

void SdlInput::LogicalToWindow(int32_t x, int32_t y, int& wx, int& wy) const {
  SDL_Renderer* renderer = window_.renderer();
  // Aim at the middle of the logical pixel, so that the way back lands on it.
  const float lx = static_cast<float>(x) + 0.5f;
  const float ly = static_cast<float>(y) + 0.5f;
  if (renderer == nullptr) {
    wx = x;
    wy = y;
    return;
  }
  int px = 0;
  int py = 0;
  SDL_RenderLogicalToWindow(renderer, lx, ly, &px, &py);
  wx = px;
  wy = py;
}

void SdlInput::GetCursor(int32_t& x, int32_t& y) {
  int wx = 0;
  int wy = 0;
  SDL_GetMouseState(&wx, &wy);
  // Until the window reports our last warp (or the player moves the mouse) SDL may still hold
  // the old position; and a scaled position read back may round to a neighbouring pixel.
  if (warped_ && (warp_pending_ || (wx == warp_wx_ && wy == warp_wy_))) {
    x = warp_x_;
    y = warp_y_;
    return;
  }
  WindowToLogical(wx, wy, x, y);
}

void SdlInput::SetCursor(int32_t x, int32_t y) {
  x = std::clamp(x, 0, kCursorWidth - 1);
  y = std::clamp(y, 0, kCursorHeight - 1);
  int wx = 0;
  int wy = 0;
  LogicalToWindow(x, y, wx, wy);
  warped_ = true;
  warp_pending_ = true;
  warp_x_ = x;
  warp_y_ = y;
  warp_wx_ = wx;
  warp_wy_ = wy;
  if (window_.handle() != nullptr) SDL_WarpMouseInWindow(window_.handle(), wx, wy);
}

void SdlInput::OnEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEMOTION: {
      // The renderer has already turned the event's position into 640x480 coordinates.
      if (warp_pending_ && std::abs(event.motion.x - warp_x_) <= 1 &&
          std::abs(event.motion.y - warp_y_) <= 1) {
        warp_pending_ = false;  // the echo of our own warp: not a movement of the mouse
        return;
      }
      warp_pending_ = false;
      warped_ = false;
      motion_x_ += event.motion.xrel;
      motion_y_ += event.motion.yrel;
      return;
    }
    case SDL_KEYDOWN: {
      const uint8_t code = DikFromScancode(event.key.keysym.scancode);
      if (code != 0) key_presses_.Press(code);
      return;
    }
    case SDL_MOUSEBUTTONDOWN: {
      const int index = MouseButtonIndex(event.button.button);
      if (index >= 0) {
        pressed_since_read_ = static_cast<uint8_t>(pressed_since_read_ | (1u << index));
      }
      return;
    }
    case SDL_JOYDEVICEREMOVED:
      if (event.jdevice.which == joystick_id_ && joystick_id_ >= 0) {
        CloseJoystick();
        joystick_lost_ = true;
      }
      return;
    default:
      return;
  }
}

}  // namespace platform::sdl
