#pragma once
// LUNET's part of the combination attack (character 3, opening B): GattaiLunet on the
// heroine-routine frame (battle_effects/gattai.h), with the letterbox "Gattai::Luent::Window"
// (the name as the game writes it) and layer 4 shown without its surface until its end.
// Everything is drawn on surface 4; positions are pixels about the screen centre.
//
// States (frames on the state's clock, from its sub-state 0):
//   0  the snow scene: three drifting pictures of the hero ("Gattai::Lunet::Kadrun1:0" .. "2"),
//      thirty snowflakes at once ("Gattai::Lunet:Snow0" .. "29") and one more each time the
//      frame count over 4 passes the snow counter ("Gattai::Lunet:Snow2:<old counter>"); fade
//      in over 64 frames, fade out over 32 from frame 210, then state 1. Everything of the
//      scene ends as the routine leaves it.
//   1  the meeting: GATTAI_BG picture 0 at (0, 0) behind everything (-1090), fade in over 16
//      frames, the hero ("Gattai::Lunet:Kadrun2") and the heroine ("Gattai::Lunet:Lunet2",
//      picture 1 at its own alpha 128) gliding toward each other; the white-out over 32 frames
//      from frame 150; then the frame's end.
//
// Every picture moves as start + velocity x frames for 240 frames and then holds its place.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"

struct BossPicture;
struct SprAnm;

// The routine's block (Battle().Extension<GattaiLunetWork>()), made afresh at its start.
struct GattaiLunetWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* eff_anm = nullptr;        // slot 13 as the frame holds it
  BossPicture* heroine = nullptr;   // the frame's picture 1 (the sprite and its entry)
  uint32_t state_ms = 0;            // the clock of the current state
  int32_t snow_count = 0;           // frames / 4 when the last late flake started
};
GattaiLunetWork& GattaiLunetBlock();

// A drifting picture's position (16.16) `frames` frames after its start: start + velocity x
// frames, held after 240 frames.
SlgPair LunetDrift(const SlgPair& start, const SlgPair& velocity, int32_t frames);

// A snowflake as its draws made it, and where it is `frames` frames later.
struct LunetFlake {
  int32_t phase0;  // 0-511
  int32_t x0, y0;  // pixels
  int size;        // 0: animation 6, 4.0 px a frame; 1: 5, 2.8; 2: 4, 2.4
};
// From three successive draws r1, r2, r3 (phase, x, height), then the size's draw r4; `first`
// for the thirty of the scene's start (a random height), else from above the screen.
LunetFlake LunetFlakeFrom(int32_t r1, int32_t r2, int32_t r3, int32_t r4, bool first);
struct LunetFlakePos {
  SlgPair pos;  // 16.16
  int32_t phase;
  bool ended;  // it has reached y 240
};
LunetFlakePos LunetFlakeAt(const LunetFlake& flake, int32_t frames);
// The animation, fall per frame (16.16) and depth of a size.
struct LunetFlakeSize {
  uint32_t anm;
  int32_t speed;
  int16_t depth;
};
LunetFlakeSize LunetFlakeSizeOf(int size);
