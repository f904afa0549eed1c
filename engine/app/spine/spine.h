#pragma once
// The program's spine: the entry, the one main window, the order in which the engine services
// start, the message loop that drives one frame at a time, the window procedure, the quit paths
// and the shutdown. Everything here runs on the main thread. The engine services are reached
// through Services() (engine_services.h); the application state accessors (quit request, active
// flag, loop mode, cursor, main window) are in engine/app/app_state.h.

#include <cstdint>

#include "engine/app/game_hooks.h"
#include "platform/window.h"

// The window title, also the name the single-instance test looks for (UTF-8).
inline constexpr const char* kMainWindowTitle = "TAMVIKPC版";
// The program's own box texts (UTF-8).
inline constexpr const char* kAlreadyRunningText = "TAMVIKＰＣ版已經啟動了";
inline constexpr const char* kShowWindowFailedText = "CDdrawFunc::ShowWindow Failed\n";
inline constexpr int kMainWindowWidth = 640;
inline constexpr int kMainWindowHeight = 480;

// The entry: display test, single-instance test, window, engine start-up (with the game's hooks),
// then the message loop until the quit event; returns the quit event's exit code, the program's
// exit status (AppExitStatus, engine/app/app_state.h: 0 only for a normal end). The engine's
// traces go to stderr while it runs when the trace switch is on (platform::TraceWanted).
int WinMain(const GameHooks& hooks);

// The entry's part before the loop; the hooks are kept in the current context for the start-up
// and every frame. In order: the display test, the glyph fonts (loaded first: the program's
// boxes are drawn with them, Window::SetBoxGlyphs), the single-instance test, the install check
// (the game's hook), the fonts' absence said, then the window and AppInit. Returns the window when the
// loop should run; null when the program ends at once, before any window, with `exit_code` set:
// kExitNoDisplay (said through Window::Report, before the single-instance lock is taken),
// kExitAlreadyRunning (its box), kExitNotInstalled (the install box), kExitSetupFailed (the
// glyph fonts' box, or no window).
platform::Window* AppStart(const GameHooks& hooks, int& exit_code);

// One iteration of the message loop, reading the loop mode anew:
// - loop mode 1: a waiting event is taken and dispatched and no frame runs; when none waits, one
//   frame runs (and the CPU rests when no 1/60 s step was due);
// - loop mode 0: waits for the next event, dispatches it, then runs one frame.
// Returns false once the quit event was taken; `exit_code` then holds its code.
bool MessageLoopStep(platform::Window* window, int& exit_code);

// Creates, shows and records the main window and the menu, and creates the input system. Null
// when the window cannot be made.
platform::Window* CreateMainWindow();

// Starts the engine services in their fixed order (the install check and the glyph fonts have
// run before the window); 1, or 0 when the display cannot start (the engine is then released and
// the window asked to close).
int AppInit(platform::Window* window);

// One frame. Returns 1 when a new 1/60 s step was due (whether or not the program is active),
// else 0 and nothing ran.
int AppFrame(platform::Window* window);

// Releases the engine services: stops a running movie first, then the display, the sound and the
// fonts. Safe to run more than once.
void AppTerm(platform::Window* window);

// The window procedure: handles one event taken from the queue.
void MainWndProc(platform::Window* window, const platform::Event& event);

// Quits now (releases the engine, asks the window to close) and returns 1, unless a movie is
// open, in which case it returns 0 and nothing happens.
int RequestQuit(platform::Window* window);
