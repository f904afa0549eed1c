#pragma once
// The selection cursor: up to 256 targets (objects 1-255) chosen by the mouse over their hit
// boxes or by the direction buttons, shown by a cursor object that copies the selected target's
// picture (mode -1) or shows an animation over it. mg_cursor_update runs once a frame in the
// driver, after the steps; a changed selection plays "tamvik3\se\system00.wav".
//
// Key choice (left, right, up, down in that order, each press taken): left picks, among the
// enabled targets left of the selection, the one of largest x, else wraps to the largest x of
// those to its right; a target of the same x is never chosen; ties go to the smaller distance
// in y, then the lower index. Right mirrors it; up and down work on y with ties by x distance.
// Positions are the objects' x and y.

#include <cstdint>

// Closes any cursor and opens one on the object (1-255; others open none and give 0) with the
// picture mode: no selection, the object reset, offsets 0.
int mg_cursor_open(int object, int mode);
// Disables every target, resets the cursor object; no cursor, lock off.
void mg_cursor_close();
// Enables target i (0-255) on the object (1-255); the first target becomes the selection.
// 0 when refused.
int mg_cursor_target(int i, int object);
// The selection (-1 none).
int mg_cursor_get();
void mg_cursor_offset(int32_t dx, int32_t dy);
// While on, the mouse and the keys leave the selection alone.
void mg_cursor_lock(int on);
// One level of save and restore: object, mode, selection, targets and offsets.
void mg_cursor_save();
void mg_cursor_restore();
// The driver's once-a-frame update.
void mg_cursor_update();
