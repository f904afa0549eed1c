#pragma once
// The application state as the rest of the program reaches it: the quit request, the active flag,
// the loop mode, the system cursor, the main window, the menu and the memory figures. Everything
// here lives in the current context's CFrameRate or goes to the window seam, so any area may call
// these without depending on the frame loop itself (engine/app/spine).

#include <cstdint>

class EngineContext;

namespace platform {
class Window;
}

// The program's menu: loaded with the window but never shown; only its quit command is handled.
struct AppMenu {
  uint32_t resource_id;   // 101
  uint32_t quit_command;  // 40002
};

// What the program ends with. 0 only for a normal end; every way of ending because something is
// wrong has its own status, so that scripts and launchers can tell them apart.
enum AppExitStatus : int {
  kExitNormal = 0,
  kExitNotInstalled = 2,    // the install box: no usable settings or install directory
  kExitAlreadyRunning = 3,  // another copy runs
  kExitNoDisplay = 4,       // no display to show the window on
  kExitSetupFailed = 5,     // the window, the display or the glyph fonts could not be set up, or
                            // the display failed while running
};

// Records why the program will end; the first status recorded stays (later failures are often
// consequences of the first). The loop ends with it once the window is gone.
void AppSetExitStatus(int status);
int AppGetExitStatus();

// Asks the program to end: the next frame that runs releases the engine and closes the window.
void AppSetQuit();
uint32_t AppIsQuit();

// 1 while the program is the active one; frames do nothing while it is 0.
void AppSetActive(uint32_t flag);
uint32_t AppIsActive();

// 1 normal (the loop polls and runs frames when idle), 0 while a movie plays (the loop waits for
// each event and runs one frame after it).
void AppSetLoopMode(uint32_t mode);
uint32_t AppGetLoopMode();

// The system mouse cursor over the window. The flag mirrors what this program last set, so each
// call changes the cursor at most once and repeated calls do nothing.
void AppShowCursor();
// The same on a given context (the context's own hooks, which run whatever context is current).
void AppShowCursor(EngineContext& context);
void AppHideCursor();
uint32_t AppIsCursorShown();

// The program window (owner of message boxes, target of posted events); null before it exists.
platform::Window* GetMainWindow();
// The menu loaded with the window; null before the window exists.
const AppMenu* AppGetMenu();

// Memory figures in bytes: 0 total physical, 1 available physical, 2 total virtual, any other
// index available virtual.
uint64_t AppGetMemoryStatus(int index);
