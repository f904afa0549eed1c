#pragma once
// The scene's own state, made current like the game context: the program holds one for its run
// and each test a fresh one (testsupport::TestScene). Scene code reaches it through Scene().
// So far: the sprite cache, what the sprite-file loads remember of the last picture, and the
// script interpreter.

#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/spx_cache.h"

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
  // The script interpreter: its scene files, read position, flags and toy table.
  CTamvikMacro macro;
};

// The current scene context. Calling it with none current is a programming error and aborts.
inline SceneContext& Scene() { return Current<SceneContext>::Get("SceneContext"); }
// Whether a scene context is current.
inline bool HasScene() { return Current<SceneContext>::Has(); }

// Makes a scene context current for its lifetime and restores the previous one afterwards.
using SceneScope = Current<SceneContext>::Scope;
