#pragma once
// The minigames' button word and mouse, read once per frame by mg_frame: the held bits in the
// high half, the new presses in the low half. A press is taken once (mg_key_take); a held bit
// (mask << 16) can be tested every step.
//
// Bits from the engine's game keys: 0x1 decide (key 0), 0x2 cancel (1), 0x20 up, 0x40 down,
// 0x80 left, 0x100 right, 0x200 menu (key 4; cleared while decide is held), 0x400 extra (9).

#include <cstdint>

constexpr uint32_t kMgKeyDecide = 0x1;
constexpr uint32_t kMgKeyCancel = 0x2;
constexpr uint32_t kMgKeyUp = 0x20;
constexpr uint32_t kMgKeyDown = 0x40;
constexpr uint32_t kMgKeyLeft = 0x80;
constexpr uint32_t kMgKeyRight = 0x100;
constexpr uint32_t kMgKeyMenu = 0x200;
constexpr uint32_t kMgKeyExtra = 0x400;

// Builds the frame's button word and takes the mouse position.
void mg_input_frame();
// 1 when any bit of the mask is pending; the new-press bits of the mask are then taken.
int mg_key_take(uint32_t mask);
int32_t mg_mouse_x();
int32_t mg_mouse_y();
