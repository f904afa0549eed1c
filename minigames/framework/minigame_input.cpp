#include "minigames/framework/minigame_input.h"

#include <algorithm>
#include <array>

#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "minigames/minigame_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

// Mode 1's assignment: the space bar and pad button 0 feed entry 10 (game key 9, the extra
// button).
constexpr uint32_t kExtraEntry = 10;
constexpr uint32_t kSpaceKey = 57;
constexpr uint32_t kExtraPad = 5;

}  // namespace

void mg_input_frame() {
  const CDinput& in = Ctx().input;
  uint32_t held = 0;
  for (const MgKeySource& k : kMgKeySources) held |= IsKeyHeld(k.logical_key) != 0 ? k.bit : 0;
  // New presses count against what the keys held the frame before, the menu bit included even
  // while decide hid it: a menu held through a release of decide is not a new press.
  MgInput& input = Minigame().input;
  uint32_t pressed = held & ~input.held;
  input.held = held;
  if ((held & kMgKeyDecide) != 0) {
    held &= ~kMgKeyMenu;
    pressed &= ~kMgKeyMenu;
  }
  input.pending = held << 16 | pressed;
  input.mouse_x = in.GetMouseX();
  input.mouse_y = in.GetMouseY();
}

int mg_key_take(uint32_t mask) {
  MgInput& input = Minigame().input;
  if ((input.pending & mask) == 0) return 0;
  input.pending &= ~(mask & 0xFFFFu);
  return 1;
}

int mg_key_down(int code) {
  if (code < 0 || code >= static_cast<int>(platform::kKeyboardStateSize)) return 0;
  std::array<uint8_t, platform::kKeyboardStateSize> state{};
  Ctx().input.GetKeyboardState(state);
  return (state[static_cast<size_t>(code)] & 0x80) != 0 ? 1 : 0;
}

int32_t mg_mouse_x() { return Minigame().input.mouse_x; }
int32_t mg_mouse_y() { return Minigame().input.mouse_y; }

void mg_mouse_set(int32_t x, int32_t y) {
  MgInput& input = Minigame().input;
  input.mouse_x = std::clamp(x, 0, kScreenWidth - 1);
  input.mouse_y = std::clamp(y, 0, kScreenHeight - 1);
  TamvikFunc::SetMouseCursorPos(input.mouse_x, input.mouse_y);
}

void mg_key_mode(int mode) {
  MgKeyMode& km = Minigame().key_mode;
  CDinput& in = Ctx().input;
  if (km.mode == 0) {
    for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
      km.saved.keyboard[i] = static_cast<uint8_t>(in.GetKeyConfig(i));
      km.saved.pad[i] = static_cast<uint8_t>(in.GetPadConfig(i));
    }
  }
  if (mode != km.mode) {
    for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
      in.SetKeyConfig(i, km.saved.keyboard[i]);
      in.SetPadConfig(i, km.saved.pad[i]);
    }
  }
  if (mode == 1) {
    for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
      if (in.GetKeyConfig(i) == kSpaceKey) in.SetKeyConfig(i, 0);
      if (in.GetPadConfig(i) == kExtraPad) in.SetPadConfig(i, 0);
    }
    in.SetKeyConfig(kExtraEntry, kSpaceKey);
    in.SetPadConfig(kExtraEntry, kExtraPad);
  }
  km.mode = mode;
}
