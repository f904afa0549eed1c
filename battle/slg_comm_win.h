#pragma once
// The command window of the acting player unit (window 0, the only one) and the battle's three
// two-choice windows (the retry question, a second yes/no, the system menu). Their state is
// Battle().comm_win, Battle().choice_windows and Battle().phase_sub (battle/slg_comm_win_state.h).
// Every picture comes from the system sprites (battle/slg_sys_spr.h): a slot, frame or animation
// that is not loaded is not drawn, and the windows answer as usual. No window plays a sound.
//
// Keys (logical): 0 OK, 1 cancel, 5 up, 6 down, 7 left, 8 right. Mouse areas are tested against
// the battle pointer (16.16 about the screen centre) with inclusive edges.

#include <cstdint>

#include "battle/slg_comm_win_state.h"

// Writes the fixed layout tables (columns 0-5, main entries, upper entries, backgrounds, column
// 1's lists with and without a partner). Battle initialisation runs it once.
void CommWinSetup();
// The window draws one-frame entries only (the engine removes them after their draw), so nothing
// of it stays on screen once it is no longer drawn; kept as the close's and teardown's call.
void CommWinRelease();
// Column 1 for a unit with (four entries, background frame 4 at y -96, sub-selection 2) or
// without a partner (three entries, frame 3 at y -64, sub-selection 1); its special-attack entry
// frame 12 and available at full kiai, else frame 13 and greyed. Nothing for a slot that is not
// a unit.
void CommWinPartner(int slot, int partner);
// Builds the window for a unit: every availability cleared, the trace "InitCommWin no=%d\n", the
// hero's six columns (style 1, cover column by his cover count) or a heroine's five (style 0),
// column 2's sub-selection 1, CommWinSel and the open-close state 0, CommWinPartner, then the
// charge entry by kiai and the heal entry by `counter`. Nothing for -1 or a slot at or beyond
// the unit count.
void InitCommWin(int slot, int partner);
// 1 when upper entry n (0 heal, 1 defend, 2 charge) of column 2 is available; else 0.
int CommWinMainAvailable(int n);
// 1 when the column with main frame 5, 8, 16 or 30 (columns 0, 1, 2, 5) is available; else 0.
int CommWinSubAvailable(int frame);
// A command done: 6 move, 9 attack, 17 unit command, 31 cover (frames, greyed columns and
// CommWinSel as they require); other values nothing.
void CommWinMark(int command);
// 6 undoes the move mark; other values nothing.
void CommWinUnmark(int command);
// 1: the special-attack entry available with frame 12; 2: the charge entry available with 18.
void CommWinEnable(int n);

// Steps 0-1 open, 2 draw, 3-4 close the window of the acting unit; returns the next step (5 once
// closed). Steps above 4 and windows other than 0 are returned unchanged.
int CommWinOpenClose(int window, int unit, int step);
// Draws window 0 at the window position (16.16 screen pixels) for the unit, at depth -1100.
void CommWinDraw(int window, int unit, int32_t x, int32_t y);
// Every entry of the column at the window position (16.16 screen pixels).
void CommWinDrawList(const CommWinColumn* column, int32_t x, int32_t y);

// One frame of selection input for window 0 (mouse or keys).
void CommWinSelect(int window);
// The column after this frame's keys 8 (next) and 7 (previous) from `column`, wrapping over the
// main entries and skipping greyed columns; a value at or above mainCount becomes mainCount - 1.
int CommWinKeyStep(const CommWinRecord& record, int column);
// The column whose main area is under the pointer (first in column order), -1 none.
int CommWinHitMain(const CommWinRecord& record);
// The available upper entry of the column under the pointer, -1 none.
int CommWinHitSub(const CommWinColumn* column);
struct CommWinSelection {
  uint8_t column;
  uint8_t sub;
};
// CommWinSel and that column's sub-selection (window 0; other windows leave `out` alone).
void CommWinGetSel(CommWinSelection* out, int window);

// A menu rectangle, screen pixels relative to the menu's origin, inclusive edges.
struct MenuRect {
  int left, top, right, bottom;
};
// The first of n rectangles at origin (x, y) (top-left screen pixel) under the battle pointer,
// -1 none (and for n below 1).
int MenuHitTest(int x, int y, const MenuRect* rects, int n);
// Key 7 or 8 toggles the choice between 0 and 1, then key 5 or 6 toggles the result again.
int MenuToggle2(int choice);

// The two-choice windows on SlgFlags with Battle().phase_sub as their step: 1 while open; on OK
// 0 for item 0 and 2 for item 1; on cancel 2 (the system menu 3) with SlgFlags bit 0 cleared and
// bit 1 set (the retry question does the same on OK for item 1).
int YesNoWindow1();
int YesNoWindow2();
int StartMenuWindow();
