#include "debug/debug_menu.h"

namespace {
// Whether the debug menu is open. Nothing opens it in the game.
int g_menu_open = 0;
}  // namespace

void DebugMenuReset() { g_menu_open = 0; }

int DebugFrameHook() { return 0; }
