#pragma once
// The real input backend on SDL2.
//
// Keyboard: SDL's key state, turned into PC set-1 key codes through a fixed table (E0-prefixed
// keys carry bit 7: numpad Enter 0x9C, right Ctrl 0x9D, the arrows 0xC8/0xCB/0xCD/0xD0, ...),
// with the keys pressed since the last read (KeyLatch), so that a tap shorter than a frame is
// still seen.
// Mouse: motion summed from the window's events since the last read (the motion SDL reports for
// our own cursor warps is left out), the buttons as held now or pressed since the last read, so
// that a tap shorter than a frame is still seen. Joystick: the first one attached when the
// devices are opened, as a game controller when SDL knows its layout (buttons in the order
// A, B, X, Y, left and right shoulder, Back, Start, left and right stick, Guide; the d-pad
// drives the X/Y axes) or as a plain joystick (its first hat drives the X/Y axes). Axes near the
// centre read as exactly centred, so that an analogue stick at rest sets no direction.
// Unplugging it reports the joystick lost; acquiring it again opens the first one attached.
// Caps Lock: SDL's key modifiers. Cursor: 640x480 positions through the renderer's logical size
// (the picture may be scaled and letterboxed in the window).
//
// This header includes no SDL header.

#include <cstdint>
#include <span>

#include "platform/input.h"

union SDL_Event;
struct _SDL_Joystick;
struct _SDL_GameController;

namespace platform::sdl {

class SdlWindow;

// One line of the key-code table: an SDL scancode and its PC set-1 key code.
struct ScancodeDik {
  int scancode;
  uint8_t dik;
};
// The whole table, in key-code order.
std::span<const ScancodeDik> DikTable();
// The key code of an SDL scancode; 0 for keys without one (and for values out of range).
uint8_t DikFromScancode(int scancode);

// Axis values within this distance of the centre read as centred.
constexpr int kStickDeadZone = 8000;

class SdlInput final : public Input {
 public:
  explicit SdlInput(SdlWindow& window);
  ~SdlInput() override;
  SdlInput(const SdlInput&) = delete;
  SdlInput& operator=(const SdlInput&) = delete;

  bool Startup() override;
  bool OpenKeyboard() override;
  bool OpenMouse() override;
  bool OpenJoystick(JoystickInfo& info) override;
  uint32_t Acquire(InputDevice device) override;
  uint32_t ReadKeyboard(KeyboardState& out) override;
  uint32_t ReadMouse(MouseState& out) override;
  uint32_t ReadJoystick(JoystickState& out) override;
  bool CapsLockOn() override;
  void GetCursor(int32_t& x, int32_t& y) override;
  void SetCursor(int32_t x, int32_t y) override;

 private:
  void OnEvent(const SDL_Event& event);
  // Opens the first attached joystick; false when there is none or it cannot be opened.
  bool OpenFirstJoystick(JoystickInfo* info);
  void CloseJoystick();
  // Window <-> 640x480 positions.
  void WindowToLogical(int wx, int wy, int32_t& x, int32_t& y) const;
  void LogicalToWindow(int32_t x, int32_t y, int& wx, int& wy) const;

  SdlWindow& window_;
  int listener_id_ = 0;
  bool joystick_system_ = false;  // SDL's joystick and game-controller subsystem is up

  bool keyboard_open_ = false;
  bool mouse_open_ = false;
  bool keyboard_acquired_ = false;
  bool mouse_acquired_ = false;

  // Mouse motion and presses since the last read.
  int32_t motion_x_ = 0;
  int32_t motion_y_ = 0;
  uint8_t pressed_since_read_ = 0;  // bit i: button i of MouseState went down
  KeyLatch key_presses_;            // keys that went down since the last keyboard read

  // The last warp: its 640x480 target and window position; `warp_pending_` until its motion
  // event has been seen or the player moved the mouse.
  bool warped_ = false;
  bool warp_pending_ = false;
  int32_t warp_x_ = 0;
  int32_t warp_y_ = 0;
  int warp_wx_ = 0;
  int warp_wy_ = 0;

  _SDL_Joystick* joystick_ = nullptr;              // a plain joystick, or
  _SDL_GameController* controller_ = nullptr;      // a game controller
  int32_t joystick_id_ = -1;                       // its instance id
  bool joystick_open_ = false;  // OpenJoystick succeeded once: the device exists for the engine
  bool joystick_acquired_ = false;
  bool joystick_lost_ = false;  // unplugged since the last read
};

}  // namespace platform::sdl
