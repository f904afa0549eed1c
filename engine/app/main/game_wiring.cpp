#include "engine/app/main/game_wiring.h"

#include "debug/debug_menu.h"
#include "flow/game_boot.h"
#include "flow/general_stand_ins.h"
#include "game/game_sequences.h"

GameHooks MakeGameHooks(CDebugMenu& menu) {
  GameHooks hooks;
  hooks.check_install = [] { return CheckInstall(); };
  hooks.boot = [] { GameBootInit(); };
  hooks.debug_reset = [&menu] { menu.DebugMenuReset(); };
  hooks.debug_frame = [&menu] { return menu.DebugFrameHook(); };
  return hooks;
}

void WireGameSequences(GameSequences& sequences, CDebugMenu& menu) {
  // What the game-mode manager starts is not built yet: stand-ins that hand back at once.
  FillManagerStandIns(sequences);
  sequences.debug_menu_close = [&menu] { menu.DebugMenuClose(); };
}
