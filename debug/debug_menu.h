#pragma once
// The developer debug menu's hooks into the frame loop. The menu itself is never opened in the
// game: the frame hook always lets the task list run.

// Clears the menu's open flag (once, at start-up).
void DebugMenuReset();
// Called every frame before the task list; the task list runs only when it returns 0.
int DebugFrameHook();
// Deletes the menu's windows (and their text) when it has any; the game restart calls it.
void DebugMenuClose();
// A menu entry that does nothing.
void DebugNop(int);
