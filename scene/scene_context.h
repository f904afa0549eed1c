#pragma once
// The scene's own state, made current like the game context: the program holds one for its run
// and each test a fresh one (testsupport::TestScene). Scene code reaches it through Scene().
// So far: the sprite cache, what the sprite-file loads remember of the last picture, the script
// interpreter, the handles of the running fades and the virtual keys.

#include "engine/anime/anime_handle.h"
#include "engine/core/current.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/portrait_state.h"
#include "scene/sprite/spx_cache.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_lips.h"
#include "scene/ui/tamvik_map.h"
#include "scene/ui/tamvik_trust.h"

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

  // The running cross-fade and screen fade (scene/ui/tamvik_screen.cpp); each animation clears
  // its own handle when it ends.
  AnimeHandle xfade_handle = nullptr;
  AnimeHandle screen_fade_handle = nullptr;
  // Virtual-key mode (1: key triggers come from the virtual state, not the devices) and the
  // virtual state, game-key bits.
  int virtual_key_mode = 0;
  GameKeyBits virtual_keys = 0;

  // Unit, animation-list and battle-map records, the unit handles and kind 12 of the animation
  // list (registered while the scene context lives).
  CTamvikSpr tamvik_spr;

  // The eyecatch's trust panel: its texts, the last showing's heroine rows and, while a showing
  // runs, its windows, sprites and animations.
  CTamvikTrust trust;

  // The eyecatch (scene/ui/tamvik_icat.h): its menu texts and, while its task runs, its window,
  // face file, timer and window animation.
  CTamvikIcat icat;

  // The mouse pointer and the command icons (scene/ui/tamvik_icon.h): their sprite files,
  // animation handles and the current icon code.
  TamvikIconState icon;

  // The choice window (scene/ui/tamvik_lips.h): its lines, bars, gauge files and last result.
  CTamvikLips lips;

  // ---- The scene controller and the scene start (scene/script/tamvik_adv.h) ----
  // The end code, the minigame number, scene 0x0108's idle timer, the background animation.
  AdvRunState adv;

  // The town map's object (scene/ui/tamvik_map.h): current node, walk target, map kind, the
  // stairs stack, the pointer of this frame, the label file and the puppet's, walk timer's and
  // slide's handles. Before the portraits, after the unit layer: its destructor stops its timer
  // and scroll while the engine still runs.
  CTamvikMap map;

  // The face portrait with its blink loop, the character picture set (NC set), the message
  // window with its typing and the window and screen shades (scene/sprite/portrait_state.h).
  // Last, so that it goes first: its animations read its own cell tables.
  PortraitState portraits;
};

// The current scene context. Calling it with none current is a programming error and aborts.
inline SceneContext& Scene() { return Current<SceneContext>::Get("SceneContext"); }
// Whether a scene context is current.
inline bool HasScene() { return Current<SceneContext>::Has(); }

// Makes a scene context current for its lifetime and restores the previous one afterwards.
using SceneScope = Current<SceneContext>::Scope;
