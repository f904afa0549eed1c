#pragma once
// The battle entries' surroundings: the shared display rig's engine (its display set up once)
// with a fresh game, a battle context (fresh, or one the entry keeps) and the rig's shared scene
// for one input; the shared tree is the install directory. Sprite-buffer entries an input left
// are removed when it ends, so the next input starts with the whole pool.

#include <memory>

#include "battle/battle_context.h"
#include "engine/app/context.h"
#include "fuzz/entries/entry_support.h"
#include "game/game_context.h"
#include "scene/scene_context.h"

namespace fuzz::detail {

struct BattleOnRig {
  // With a fresh battle context of its own.
  BattleOnRig();
  // With a battle context the caller keeps (and resets as far as its input reaches).
  explicit BattleOnRig(BattleContext& kept);
  ~BattleOnRig();
  BattleOnRig(const BattleOnRig&) = delete;
  BattleOnRig& operator=(const BattleOnRig&) = delete;

  // Removes every entry of the back buffer's and the layers' sprite buffers; how many there were.
  static int TakeSpriteEntries();
  // Whether the free entries of the sprite pool lie within the pool.
  static bool EntriesWithinPool();

  DisplayRig& rig;
  ContextScope engine_scope;
  GameContext game;
  GameScope game_scope{game};
  SceneContext& scene = SharedScene(false);
  SceneScope scene_scope{scene};
  std::unique_ptr<BattleContext> own_battle;
  BattleContext& battle;
  BattleScope battle_scope{battle};
};

// Writes, once per process, the sprite files the builder's dressed tables and System.Tab name
// ("install/tamvik2/...", exact case).
void LayBattleSprites();

}  // namespace fuzz::detail
