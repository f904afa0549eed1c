#pragma once
// The input service: once per frame it reads keyboard, mouse and joystick and builds the word of
// fifteen logical game keys (held, newly pressed, held the frame before); it keeps per-key state
// bytes for the key menus, the mouse position of this and the previous frame, the key-driven
// cursor, and the key assignment with its file save\key.dat.
//
// Keyboard keys are PC set-1 scan codes (0x1C Enter, 0x9C numpad Enter, 0xC8 Up arrow, ...).
// Pad numbers: 0 none, 1-4 stick up, down, left, right, 5-14 joystick buttons 0-9, 15-31 unused.

#include <array>
#include <cstdint>
#include <span>

#include "platform/input.h"

class FileIO;

// The logical key word: bits 0-14, bits 15-31 always 0.
using GameKeyBits = uint32_t;
constexpr GameKeyBits kGameKey0 = 0x0001;  // entries 0-2, left mouse button
constexpr GameKeyBits kGameKey1 = 0x0002;  // entries 3-5, right mouse button
constexpr GameKeyBits kGameKey2 = 0x0004;  // entries 6-7, Caps Lock toggled on
constexpr GameKeyBits kGameKey3 = 0x0008;  // entries 8-9
constexpr GameKeyBits kGameKeyTab = 0x0010;    // Tab, numpad slash
constexpr GameKeyBits kGameKeyUp = 0x0020;     // Up arrow, numpad 8, stick up
constexpr GameKeyBits kGameKeyDown = 0x0040;   // Down arrow, numpad 2, stick down
constexpr GameKeyBits kGameKeyLeft = 0x0080;   // Left arrow, numpad 4, stick left
constexpr GameKeyBits kGameKeyRight = 0x0100;  // Right arrow, numpad 6, stick right
constexpr GameKeyBits kGameKey9 = 0x0200;      // entries 10-15 feed bits 9-14
constexpr GameKeyBits kGameKey10 = 0x0400;
constexpr GameKeyBits kGameKey11 = 0x0800;
constexpr GameKeyBits kGameKey12 = 0x1000;
constexpr GameKeyBits kGameKey13 = 0x2000;
constexpr GameKeyBits kGameKey14 = 0x4000;
constexpr int kGameKeyCount = 15;

// Pad numbers.
constexpr uint8_t kPadNone = 0;
constexpr uint8_t kPadUp = 1;
constexpr uint8_t kPadDown = 2;
constexpr uint8_t kPadLeft = 3;
constexpr uint8_t kPadRight = 4;
constexpr uint8_t kPadButton0 = 5;  // buttons 0-9 are pads 5-14
constexpr size_t kPadButtonsRead = 10;
constexpr size_t kPadStateSize = 32;

constexpr size_t kKeyConfigEntries = 16;

// The key assignment: entry i of both tables feeds the same logical key.
struct KeyConfig {
  std::array<uint8_t, kKeyConfigEntries> keyboard{};  // key code, 0 none
  std::array<uint8_t, kKeyConfigEntries> pad{};       // pad number, 0 none
};
static_assert(sizeof(KeyConfig) == 32, "save\\key.dat holds the two tables back to back");

class CDinput {
 public:
  // `input` may be null (no input seam): nothing is then ever read.
  // `input` is the devices seam; `files` reads and saves the key assignment (save\key.dat).
  CDinput(platform::Input* input, FileIO& files) : input_(input), files_(files) {}
  CDinput(const CDinput&) = delete;
  CDinput& operator=(const CDinput&) = delete;

  // Starts the input system; 1 on success, else 0.
  int CreateDirectInput();
  // Opens and acquires the devices and sets the default assignment; 1 on success, 0 when the
  // keyboard or the mouse cannot be used (the poll then reads no keys).
  int Init();
  // The per-frame poll.
  void GetState();

  GameKeyBits GetKeyHold() const { return hold_; }
  GameKeyBits GetKeyTrg() const { return trigger_; }
  GameKeyBits GetKeyOld() const { return old_; }
  int32_t GetMouseX() const { return mouse_x_; }
  int32_t GetMouseY() const { return mouse_y_; }
  int32_t GetOldMouseX() const { return old_mouse_x_; }
  int32_t GetOldMouseY() const { return old_mouse_y_; }
  uint32_t IsMouseMoved() const { return mouse_moved_; }
  uint32_t IsJoystickPresent() const { return joystick_present_; }
  // Pixels per frame by which the direction keys move the cursor; 0 turns key-mouse off.
  void SetCursorSpeed(uint32_t step) { cursor_step_ = step; }

  // Copies of this frame's stored states (bit 7 down, bit 0 on the first frame of a press).
  void GetKeyboardState(std::span<uint8_t, platform::kKeyboardStateSize> buffer) const;
  void GetPadButtons(std::span<uint8_t, kPadStateSize> buffer) const;
  // Clear the byte of every listed code in the caller's copy. The list ends at its first 0 (or
  // at the end of the span); pad numbers outside the pad state are skipped.
  static void MaskKeys(std::span<uint8_t, platform::kKeyboardStateSize> buffer,
                       std::span<const uint8_t> list);
  static void MaskPadButtons(std::span<uint8_t, kPadStateSize> buffer,
                             std::span<const uint8_t> list);

  // The assignment. Entries of 16 or more are ignored by the setters and read as 0. A key code
  // above 255 or a pad number of 32 or more is stored as 0 (none).
  void InitKeyConfig();
  void SetKeyConfig(uint32_t entry, uint32_t code);
  uint32_t GetKeyConfig(uint32_t entry) const;
  static uint32_t GetDefaultKeyConfig(uint32_t entry);
  void InitPadConfig();
  void SetPadConfig(uint32_t entry, uint32_t pad);
  uint32_t GetPadConfig(uint32_t entry) const;
  static uint32_t GetDefaultPadConfig(uint32_t entry);
  // save\key.dat in the install directory; 1 done, 0 not. A load takes the first 32 bytes only
  // when the file holds them all and reads without error (pad numbers outside the pad state
  // become none); else the assignment in force stays, with a trace.
  int SaveKeyConfig();
  int LoadKeyConfig();
  const KeyConfig& key_config() const { return key_config_; }

 private:
  // One device read; a lost or unacquired device is acquired and read once more. The result of
  // the last read.
  template <class Read>
  uint32_t ReadWithRetry(platform::InputDevice device, const char* lost_text, Read read);
  void MoveCursor();

  platform::Input* input_;
  FileIO& files_;
  bool started_ = false;         // the input system started
  bool keyboard_ready_ = false;  // the keyboard was opened
  bool mouse_ready_ = false;     // the mouse was opened

  GameKeyBits hold_ = 0;
  GameKeyBits trigger_ = 0;
  GameKeyBits old_ = 0;
  int32_t mouse_x_ = 0;
  int32_t mouse_y_ = 0;
  int32_t old_mouse_x_ = 0;
  int32_t old_mouse_y_ = 0;
  uint32_t mouse_moved_ = 0;
  uint32_t joystick_present_ = 0;
  std::array<uint8_t, platform::kKeyboardStateSize> keyboard_state_{};
  std::array<uint8_t, kPadStateSize> pad_state_{};
  KeyConfig key_config_;
  uint32_t cursor_step_ = 0;
};
