#include "flow/game_boot.h"

#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "scene/ui/tamvik_func.h"

int CheckInstall() {
  std::string cause;
  if (TamvikFunc::SetInstallPaths(&cause) != 0) return 1;
  platform::Window* owner = GetMainWindow();
  platform::Window* window = owner != nullptr ? owner : Ctx().platform.window;
  // The box's own words, then what is wrong, so that the user need not guess.
  std::string text = "没有安装TAMVIKＰＣ版";
  if (!cause.empty()) text += "\n" + cause;
  if (window != nullptr) window->MessageBox(owner != nullptr, text, "ERROR");
  AppSetExitStatus(kExitNotInstalled);
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
