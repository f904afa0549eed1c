#include "minigames/framework/minigame_input.h"

#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "minigames/minigame_context.h"

void mg_input_frame() {
  const CDinput& in = Ctx().input;
  const GameKeyBits keys = in.GetKeyHold();
  struct Map {
    GameKeyBits key;
    uint32_t bit;
  };
  constexpr Map kMap[] = {
      {kGameKey0, kMgKeyDecide},  {kGameKey1, kMgKeyCancel},    {kGameKeyUp, kMgKeyUp},
      {kGameKeyDown, kMgKeyDown}, {kGameKeyLeft, kMgKeyLeft},   {kGameKeyRight, kMgKeyRight},
      {kGameKeyTab, kMgKeyMenu},  {kGameKey9, kMgKeyExtra},
  };
  uint32_t held = 0;
  for (const Map& m : kMap) held |= (keys & m.key) != 0 ? m.bit : 0;
  if ((held & kMgKeyDecide) != 0) held &= ~kMgKeyMenu;
  MgInput& input = Minigame().input;
  const uint32_t pressed = held & ~input.held;
  input.held = held;
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

int32_t mg_mouse_x() { return Minigame().input.mouse_x; }
int32_t mg_mouse_y() { return Minigame().input.mouse_y; }
