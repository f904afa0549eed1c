#pragma once
// The script interpreter. So far: packing the script variables into their save image and back
// (the variables themselves live in the game context, game/macro_vars.h).

#include <cstdint>

#include "game/macro_vars.h"

// One row of the scene succession table: a scene, the scene after it and the wall variant (0/1)
// the next scene shows.
struct SceneSuccessionRow {
  uint16_t scene;
  uint16_t next;
  uint8_t wall;
};
// The scene code of the table's end row.
inline constexpr uint16_t kSuccessionEnd = 0x0FFF;

class CTamvikMacro {
 public:
  // The two stacks with their depths, A[] and P[] into the 8720-byte block.
  static void SaveVars(MacroVarBlock& block);
  // The same out of the block; 0 (nothing changed, with a trace) when a stack depth in it is
  // 1000 or more, else 1.
  static int LoadVars(const MacroVarBlock& block);

  // The succession table's row of a scene (the first that names it), or null
  // (scene/script/scene_succession.cpp).
  static const SceneSuccessionRow* FindSuccession(uint16_t scene);
  // The scene that follows a scene; the scene itself when the table has no row for it.
  static uint16_t GetNextScene(uint16_t scene);
};
