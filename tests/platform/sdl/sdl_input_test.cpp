#include "platform/sdl/sdl_input.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <map>
#include <set>

#include "platform/sdl/sdl_window.h"

namespace {

using platform::sdl::DikFromScancode;
using platform::sdl::DikTable;

// SDL scancodes are USB HID keyboard usage numbers; the expected codes are PC set-1 scan codes.
struct Key {
  const char* name;
  int usage;
  uint8_t code;
};

TEST(SdlKeyCodes, KeysOfTheDefaultAssignmentAndTheFixedKeys) {
  const Key keys[] = {
      {"Enter", 40, 0x1C},        {"numpad Enter", 88, 0x9C}, {"X", 27, 0x2D},
      {"Space", 44, 0x39},        {"numpad 0", 98, 0x52},     {"Z", 29, 0x2C},
      {"left Ctrl", 224, 0x1D},   {"right Ctrl", 228, 0x9D},  {"left Shift", 225, 0x2A},
      {"right Shift", 229, 0x36}, {"Tab", 43, 0x0F},          {"numpad /", 84, 0xB5},
      {"Up", 82, 0xC8},           {"numpad 8", 96, 0x48},     {"Down", 81, 0xD0},
      {"numpad 2", 90, 0x50},     {"Left", 80, 0xCB},         {"numpad 4", 92, 0x4B},
      {"Right", 79, 0xCD},        {"numpad 6", 94, 0x4D},     {"Escape", 41, 0x01},
  };
  for (const Key& k : keys) EXPECT_EQ(DikFromScancode(k.usage), k.code) << k.name;
}

TEST(SdlKeyCodes, ExtendedKeysCarryBitSevenAndTheirPlainTwinsDoNot) {
  const Key keys[] = {
      {"Home", 74, 0xC7},      {"Page Up", 75, 0xC9},   {"End", 77, 0xCF},
      {"Page Down", 78, 0xD1}, {"Insert", 73, 0xD2},    {"Delete", 76, 0xD3},
      {"right Alt", 230, 0xB8}, {"left Alt", 226, 0x38}, {"numpad 7", 95, 0x47},
      {"numpad 9", 97, 0x49},  {"numpad 1", 89, 0x4F},  {"numpad 3", 91, 0x51},
      {"numpad .", 99, 0x53},  {"numpad *", 85, 0x37},  {"slash", 56, 0x35},
      {"Print Screen", 70, 0xB7}, {"Pause", 72, 0xC5},  {"left GUI", 227, 0xDB},
      {"F1", 58, 0x3B},        {"F10", 67, 0x44},       {"F11", 68, 0x57},
      {"F12", 69, 0x58},       {"A", 4, 0x1E},          {"1", 30, 0x02},
      {"0", 39, 0x0B},         {"Caps Lock", 57, 0x3A}, {"ISO backslash", 100, 0x56},
  };
  for (const Key& k : keys) EXPECT_EQ(DikFromScancode(k.usage), k.code) << k.name;
}

TEST(SdlKeyCodes, NoTwoKeysShareACodeByMistake) {
  // The ISO key beside Enter and the ANSI backslash are one physical key.
  const std::set<uint8_t> shared = {0x2B};
  std::set<int> scancodes;
  std::map<uint8_t, int> uses;
  for (const auto& entry : DikTable()) {
    EXPECT_NE(entry.dik, 0) << "scancode " << entry.scancode;
    EXPECT_TRUE(scancodes.insert(entry.scancode).second) << "scancode " << entry.scancode;
    ++uses[entry.dik];
  }
  for (const auto& [code, count] : uses) {
    EXPECT_EQ(count, shared.count(code) ? 2 : 1) << "code 0x" << std::hex << int{code};
  }
  EXPECT_EQ(DikFromScancode(0), 0);
  EXPECT_EQ(DikFromScancode(-1), 0);
  EXPECT_EQ(DikFromScancode(512), 0);
  EXPECT_EQ(DikFromScancode(107), 0);  // F16: no code of its own
}

TEST(SdlInputDevices, ReadsBeforeAcquireFailAndTheCursorIsClipped) {
  platform::sdl::SdlWindow window;
  platform::sdl::SdlInput input(window);
  ASSERT_TRUE(input.Startup());
  platform::KeyboardState keys{};
  platform::MouseState mouse;
  platform::JoystickState stick;
  EXPECT_EQ(input.ReadKeyboard(keys), platform::kInputNotAcquired);
  EXPECT_EQ(input.ReadMouse(mouse), platform::kInputNotAcquired);
  EXPECT_EQ(input.ReadJoystick(stick), platform::kInputNotAcquired);
  ASSERT_TRUE(input.OpenKeyboard());
  ASSERT_TRUE(input.OpenMouse());
  EXPECT_EQ(input.Acquire(platform::InputDevice::kKeyboard), platform::kInputOk);
  EXPECT_EQ(input.Acquire(platform::InputDevice::kMouse), platform::kInputOk);
  EXPECT_EQ(input.ReadKeyboard(keys), platform::kInputOk);
  EXPECT_EQ(input.ReadMouse(mouse), platform::kInputOk);

  struct Case {
    int32_t x, y, cx, cy;
  };
  for (const Case& c : {Case{700, -5, 639, 0}, Case{-1, 480, 0, 479}, Case{320, 240, 320, 240}}) {
    input.SetCursor(c.x, c.y);
    int32_t x = -1;
    int32_t y = -1;
    input.GetCursor(x, y);
    EXPECT_EQ(x, c.cx);
    EXPECT_EQ(y, c.cy);
  }
}

TEST(SdlInputDevices, AKeyTappedBetweenTwoReadsReadsAsDownOnce) {
  platform::sdl::SdlWindow window;
  platform::sdl::SdlInput input(window);
  ASSERT_TRUE(input.Startup());
  ASSERT_TRUE(input.OpenKeyboard());
  ASSERT_EQ(input.Acquire(platform::InputDevice::kKeyboard), platform::kInputOk);
  platform::KeyboardState keys{};
  ASSERT_EQ(input.ReadKeyboard(keys), platform::kInputOk);
  // Enter goes down and up again before the next read; the window pumps both events.
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  }
  platform::Event taken;
  while (window.PollEvent(taken)) {
  }
  ASSERT_EQ(input.ReadKeyboard(keys), platform::kInputOk);
  EXPECT_EQ(keys[0x1C], 0x80);
  EXPECT_EQ(keys[0x39], 0);
  ASSERT_EQ(input.ReadKeyboard(keys), platform::kInputOk);
  EXPECT_EQ(keys[0x1C], 0);
}

}  // namespace
