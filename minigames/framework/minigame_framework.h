#pragma once
// The minigame driver: the entries the game flow uses (MiniGame*), the framework's start, end,
// reset and switches, and mg_frame, which the task "mg_task" runs once per display frame.
//
// mg_frame steps the running game's procedure at 60 steps per second on the tick count: steps
// due = ticks since the start tick - ticks already run (a tick due within 4 ms runs now); at most
// 6 per frame and at most one more than the frame before (the rest are dropped). The first step
// after a start loads the od file and calls the procedure once with state 2, then restarts the
// clock, so loading time is not caught up. A frame with no step due draws and presents nothing.
// After the steps the frame updates and draws the scene (through the fade work surface 1021
// while the brightness is below 256) and presents slot 1023.
//
// A procedure returning anything but 1 ends the game: the end reason is the message text when a
// game set one, else "mg_proc" ("mg_obj_create" when the od file fails to load).

#include <cstdint>

// ---- Entries of the game flow ----

// Starts game `game` (0-15) in a mode (mg:: modes): 1, or 0 (refused, traced). Clears variables
// 1, 2 and 9 and forgets the game mg_return would start first.
int MiniGameStart(int game, int mode);
int MiniGameEnd();
// 1 while the framework is not idle.
int MiniGameIsRunning();
// The per-frame function of the task "mg_task": mg_frame.
int MiniGameTask();
// The result for the script: variable 9 when ADV state byte 40 is set, else variable 2.
int MiniGameResult();

// ---- Framework ----

int mg_start(int game, int mode);
// Ends a running game: saves save\minigame.dat, frees the image slots, closes the screen. 1.
int mg_end();
// Clears the per-stage state (objects, fades, flash, message skip).
void mg_reset();
// Remembers the current game and mode, then starts another game.
int mg_chain(int game, int mode);
// Starts the remembered game again and sets variable 1 to the value; with none remembered (no
// chain since MiniGameStart) it sets variable 1 and ends the minigame.
int mg_return(int value);
int mg_is_running();
int mg_frame();

// 16.16 sine and cosine of angle x 2 pi / 256 (the low 8 bits of the angle).
int32_t mg_sin(int32_t angle);
int32_t mg_cos(int32_t angle);

// Minigame variables 0-47; outside, reads give 0 and writes do nothing (traced).
int32_t mg_var_get(int i);
void mg_var_set(int i, int32_t value);

// The failure text a game leaves before it returns a failure (it becomes the end reason).
void mg_set_message(const char* text);
const char* mg_end_reason();
int32_t mg_end_result();

// Screen brightness 0-256 (256 = no fade).
void mg_brightness(int32_t level);

