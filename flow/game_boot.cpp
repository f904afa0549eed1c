#include "flow/game_boot.h"

#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "platform/config.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

// What to do about a missing install: the settings file and the line it needs.
std::string InstallAdvice() {
  const platform::Config* config = Ctx().platform.config;
  const std::string where = config != nullptr ? config->Location() : std::string();
  return "The settings file " + (where.empty() ? std::string() : where + " ") +
         "needs the line \"Install Directory = <the folder with the game's files>\"";
}

}  // namespace

int CheckInstall() {
  std::string cause;
  if (TamvikFunc::SetInstallPaths(&cause) != 0) return 1;
  platform::Window* owner = GetMainWindow();
  platform::Window* window = owner != nullptr ? owner : Ctx().platform.window;
  // The box's own words, then what to do about it and what is wrong, so that the user need not
  // guess.
  std::string text = std::string(kNotInstalledText) + "\n" + InstallAdvice();
  if (!cause.empty()) text += "\n(" + cause + ")";
  if (window != nullptr) window->MessageBox(owner != nullptr, text, "ERROR");
  AppSetExitStatus(kExitNotInstalled);
  AppSetQuit();
  return 0;
}

void GameBootInit() {
  LoadSystemData();
  SystemData* system = GetSystemData();
  system->setResumePoint(0);
  system->setCesaMode(0);
  system->setSkipSlg(0);
  system->setSkipMiniGame(0);
  system->setSkipMovie(0);
  TamvikFunc::LoadSystemSe();
  // The key assignment; the defaults stay when save\key.dat is missing.
  Ctx().input.LoadKeyConfig();
  GameRestart();
}

void GameRestart() {
  Ctx().ddraw.SetVisible(SURFACE_DEBUG, 0);
  Ctx().ddraw.SetVisible(SURFACE_DEBUG2, 0);
  const GameSequences& sequences = Game().sequences;
  if (sequences.debug_menu_close) {
    sequences.debug_menu_close();
  } else {
    DebugPrint("GameSequences: debug menu close is not there\n");
  }
  CTamvikIcon::StartMouseCursorSeq();
  CTamvikGeneral::StartManager();
}

void GameExit() { AppSetQuit(); }
