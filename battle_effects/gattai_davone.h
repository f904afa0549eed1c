#pragma once
// DAVONE's part of the combination attack (character 2): GattaiDavone on the heroine-routine
// frame (battle_effects/gattai.h), with the letterbox "Gattai::Davone::Window" and layer 4 shown
// without its surface (SlgLayerOn(4, 2)) until its end. Everything is drawn on surface 4;
// positions are pixels about the screen centre unless said otherwise.
//
// Backgrounds: GATTAI_BG picture 0 tiled 3 x 1 (512 x 480 tiles) as the wide one, picture 1
// tiled 1 x 2 (640 x 512) as the tall one, each cut from surface 4 into a sprite; a point-move
// animation scrolls them, the entry placed each frame at the point wrapped into one tile.
//
// States (frames on the sub-state's clock):
//   0  the wide background scrolling left 16 px a frame; "Gattai::Davone::Chara1:Davone" (index
//      0) at frame 15, told to end 150 frames later
//   1  the scroll turned right 16 px a frame; "Gattai::Davone::Chara1:Kadrun" (index 1) for 144
//      frames. Each Chara1 fades in over 8 frames and fires a fan of 33 rays.
//   2  the tall background scrolling down 16 px a frame; "Gattai::Davone::Chara2:Davone" flies
//      in on an arc and at frame 39 starts "...Chara2:Kadrun" (arriving at frame 42); state 3
//      after both arrivals
//   3  both slide to x -16 over 16 frames and arrive again 108 frames later; then the scroll
//      speeds up by 0.5 px a frame each frame (up to 48) and flowers, leaves and streaks
//      ("Gattai::Davone:HanaAndHa%d") rise, one every 2 frames, until sub-state 3's frame 213
//   4  "Gattai::Davone::Hana" grows to 2.0 over 21 frames turning, then throws out a ball
//      ("Gattai::Davone:Tama%d") every frame; the white-out over 64 frames from frame 60; then
//      the frame's end (stop word, signals, layers back)

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_effects/spawner.h"
#include "engine/anime/anime.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;

// The routine's block (Battle().Extension<GattaiDavoneWork>()), made afresh at its start. The
// point moves write into it.
struct GattaiDavoneWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* eff_anm = nullptr;  // slot 13 as the frame holds it
  SprRec* bg_wide = nullptr;  // 1536 x 480
  SprRec* bg_tall = nullptr;  // 640 x 1024
  SprRec* streak = nullptr;   // 2 x 128, green
  SprBufferEntry* entry_a = nullptr;  // the wide background
  SprBufferEntry* entry_b = nullptr;  // the tall background
  AnimePoint point_a{};  // pixels
  AnimePoint vel_a{};
  AnimeHandle move_a{};
  AnimePoint point_b{};  // 16.16
  AnimePoint vel_b{};
  AnimePoint accel_b{};
  AnimeHandle move_b{};
  int32_t charas = 0;  // the Chara2 parts made (the arrivals a wait counts on)
  uint32_t flowers_ms = 0;
  Spawner flowers{};
  Spawner balls{};
};
GattaiDavoneWork& GattaiDavoneBlock();

// Where the wide background's entry stands for the point's x (pixels) in state 0 (x mod 512) and
// state 1 ((x mod 512 - 512) mod 512); the tall one's for the point's y (16.16): ((y >> 16) mod
// 512 - 512) mod 512. Each mod keeps the sign of what it divides.
int32_t DavoneWideX(int state, int32_t x);
int32_t DavoneTallY(int32_t y);
