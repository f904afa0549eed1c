#include "scene/script/tamvik_macro.h"

#include "game/game_context.h"

void CTamvikMacro::SaveVars(MacroVarBlock& block) { Game().macro.Pack(block); }

int CTamvikMacro::LoadVars(const MacroVarBlock& block) {
  return Game().macro.Unpack(block) ? 1 : 0;
}
