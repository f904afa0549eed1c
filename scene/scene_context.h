#pragma once
// The scene's own state, made current like the game context: the program holds one for its run
// and each test a fresh one (testsupport::TestScene). Scene code reaches it through Scene().
// So far: the sprite cache and what the sprite-file loads remember of the last picture.

#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"
#include "scene/sprite/spx_cache.h"
#include "scene/sprite/tamvik_spr.h"

class SceneContext {
 public:
  SceneContext() = default;
  SceneContext(const SceneContext&) = delete;
  SceneContext& operator=(const SceneContext&) = delete;

  SpxCache spx_cache;
  // The rectangle of the last sprite-file image decoded (CTamvikSpr::GetSprRect).
  Rect last_spr_rect;
  // Whether the last picture load drew a sprite-file picture (rather than a bitmap).
  int last_picture_from_spr = 0;
  // Unit, animation-list and battle-map records, the unit handles and kind 12 of the animation
  // list (registered while the scene context lives).
  CTamvikSpr tamvik_spr;
};

// The current scene context. Calling it with none current is a programming error and aborts.
inline SceneContext& Scene() { return Current<SceneContext>::Get("SceneContext"); }
// Whether a scene context is current.
inline bool HasScene() { return Current<SceneContext>::Has(); }

// Makes a scene context current for its lifetime and restores the previous one afterwards.
using SceneScope = Current<SceneContext>::Scope;
