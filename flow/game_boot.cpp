#include "flow/game_boot.h"

#include "engine/app/app_state.h"
#include "engine/app/context.h"
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

void GameBootInit() { CTamvikGeneral::StartManager(); }
