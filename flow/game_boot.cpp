#include "flow/game_boot.h"

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "platform/window.h"
#include "scene/ui/tamvik_func.h"

int CheckInstall() {
  if (TamvikFunc::SetInstallPaths() != 0) return 1;
  platform::Window* owner = GetMainWindow();
  platform::Window* window = owner != nullptr ? owner : Ctx().platform.window;
  if (window != nullptr) window->MessageBox(owner != nullptr, "没有安装TAMVIKＰＣ版", "ERROR");
  AppSetQuit();
  return 0;
}

void GameBootInit() {
  // The key assignment; the defaults stay when save\key.dat is missing.
  Ctx().input.LoadKeyConfig();
  // Restart the game: the debug surfaces hidden, then the mode manager in mode 0.
  Ctx().ddraw.SetVisible(SURFACE_DEBUG, 0);
  Ctx().ddraw.SetVisible(SURFACE_DEBUG2, 0);
  CTamvikGeneral::StartManager();
}
