#include "debug/debug_menu.h"

#include "engine/app/context.h"
#include "engine/gfx/window/window.h"

namespace {
// Whether the debug menu is open. Nothing opens it in the game.
int g_menu_open = 0;
// The menu's two windows; none until the menu is built.
WindowRec* g_menu_windows[2] = {nullptr, nullptr};
}  // namespace

void DebugMenuReset() { g_menu_open = 0; }

int DebugFrameHook() { return 0; }

void DebugMenuClose() {
  for (WindowRec*& window : g_menu_windows) {
    if (window != nullptr) Ctx().ddraw_window.Delete(&window);
  }
}

void DebugNop(int) {}
