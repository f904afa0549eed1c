#pragma once
// The script interpreter. So far: packing the script variables into their save image and back
// (the variables themselves live in the game context, game/macro_vars.h).

#include "game/macro_vars.h"

class CTamvikMacro {
 public:
  // The two stacks with their depths, A[] and P[] into the 8720-byte block.
  static void SaveVars(MacroVarBlock& block);
  // The same out of the block; 0 (nothing changed, with a trace) when a stack depth in it is
  // 1000 or more, else 1.
  static int LoadVars(const MacroVarBlock& block);
};
