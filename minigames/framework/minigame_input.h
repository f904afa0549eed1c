#pragma once
// The minigames' button word and mouse, read once per frame by mg_frame: the held bits in the
// high half, the new presses in the low half. A press is taken once (mg_key_take); a held bit
// (mask << 16) can be tested every step.
//
// Bits from the scene engine's logical keys (IsKeyHeld): 0x1 decide (key 0), 0x2 cancel (1),
// 0x20 up (5), 0x40 down (6), 0x80 left (7), 0x100 right (8), 0x200 menu (4; cleared while
// decide is held), 0x400 extra (9).

#include <cstdint>

constexpr uint32_t kMgKeyDecide = 0x1;
constexpr uint32_t kMgKeyCancel = 0x2;
constexpr uint32_t kMgKeyUp = 0x20;
constexpr uint32_t kMgKeyDown = 0x40;
constexpr uint32_t kMgKeyLeft = 0x80;
constexpr uint32_t kMgKeyRight = 0x100;
constexpr uint32_t kMgKeyMenu = 0x200;
constexpr uint32_t kMgKeyExtra = 0x400;

// The logical key (IsKeyHeld) of each button bit, in the order of the table above.
struct MgKeySource {
  uint32_t bit;
  int logical_key;
};
constexpr MgKeySource kMgKeySources[] = {
    {kMgKeyDecide, 0}, {kMgKeyCancel, 1}, {kMgKeyUp, 5},   {kMgKeyDown, 6},
    {kMgKeyLeft, 7},   {kMgKeyRight, 8},  {kMgKeyMenu, 4}, {kMgKeyExtra, 9},
};

// Builds the frame's button word and takes the mouse position.
void mg_input_frame();
// 1 when any bit of the mask is pending; the new-press bits of the mask are then taken.
int mg_key_take(uint32_t mask);
// 1 while the key code (0-255) is down; other codes give 0.
int mg_key_down(int code);
int32_t mg_mouse_x();
int32_t mg_mouse_y();
// Stores the position clamped to 0-639, 0-479 and moves the system pointer there.
void mg_mouse_set(int32_t x, int32_t y);

// The key assignment for a game: mode 1 takes the space bar (57) and pad button 5 out of their
// entries and gives both to entry 10 (the extra button); any other mode change puts the player's
// assignment back. 0 is called by the screen's close.
void mg_key_mode(int mode);
