#pragma once
// Player kind 7's attacks (the hero in the second set): row 7 of the player table, {normal,
// special, normal, normal} by attack type; both routines are declared in
// battle_effects/attack_routines.h. Its effects are plain one-shots (no task names of its own).
//
// - Normal (types 0, 2, 3): the player kinds' shared normal attack (battle_effects/
//   player_shape.h, the held form): type 0 five objects {0, 1}, {0, 1}, {5, 9}, {6, 10},
//   {7, 11}; type 3 the first two; type 2 {2, 3}, {2, 3}, {5, 9}, {6, 10}, {7, 11}, {8, 12},
//   {1, 4}, seven objects facing 0 or 3 and the first six facing 1 or 2.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 on, the strip (SPECIAL_BG picture 1 tiled 256 x 512, 1 x 2, shown
//      from (316, 0) at alpha 0x10100), picture 0 and a white box of its size, the voice
//   1  four objects (object 0 at (0, 80), objects 1 and 2 on it one deeper, the body stopped);
//      with targets the camera on the first; the scene's first call
//   2  the scene's report (its fade in ended): the body runs, objects 1 and 2 play effects 0 and 3
//   3  bursts at random about the body while object 1's first animation runs, one every 5-12
//      frames; once objects 0-2 have all ended the second formation (the body's animation 1 at
//      (32, 112), effects 5, 6 on it, 2 at (128, 144)) and the scene goes on to its flash
//   4  object 2's end: object 2 at (112, 176) behind everything with effect 4 stopped; the strip
//      starts scrolling
//   5  the scene's last report (after its white-out): everything given back, the camera back to
//      the unit (with targets), state 7, the layers restored
//
// The scene (a presentation, battle_effects/presentation.h), stages 0-8: units hidden and a fade
// in over 30 frames; its end (report); held until the routine moves it on; 5 frames, the white
// entry; 4 frames, picture 0 instead (report: no step takes it); 8 frames, the picture gone; the
// scroll start; 60 frames of the strip; the strip while it whites out over 60 frames, then the
// units shown and the fade ended at once (report: the one step 5 takes).

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/presentation.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime.h"

struct SprBufferEntry;
struct SprRec;
struct SlgUnit;

// The scene's stages (GkadrunSpecial::scene.stage).
enum GkadrunStage : uint8_t {
  kGkadrunFadeIn = 0,
  kGkadrunFadeEnd = 1,
  kGkadrunHold = 2,
  kGkadrunWhite = 3,
  kGkadrunPicture = 4,
  kGkadrunPictureGone = 5,
  kGkadrunScrollWait = 6,
  kGkadrunScroll = 7,
  kGkadrunWhiteOut = 8,
  kGkadrunSceneEnd = 9,
};

// The special's state: one attack at a time, zero at its start.
struct GkadrunSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;
  bool has_targets;
  // The strip, picture 0 and the white box, each with its entry.
  SprRec* strip;
  SprBufferEntry* strip_entry;
  SprRec* picture;
  SprBufferEntry* picture_entry;
  SprRec* white;
  SprBufferEntry* white_entry;
  // The strip's scroll (pixels) and its point-move.
  AnimePoint scroll;
  AnimePoint scroll_speed;
  AnimeHandle scroll_move;
  // The scene; the routine's advance to the flash and its scroll start.
  PresentationState scene;
  int32_t advanced;
  int32_t scroll_start;
  // The bursts: their clock (game clock ms) and the frame the next one is due on it.
  uint32_t burst_start;
  int32_t burst_next;
  int32_t bursts;
};

// The family's per-battle block (Battle().Extension<GkadrunWork>()).
struct GkadrunWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GkadrunWork() = default;
  // A battle that ends mid-special: its pictures and the strip's move are given back.
  ~GkadrunWork();
  GkadrunWork(const GkadrunWork&) = delete;
  GkadrunWork& operator=(const GkadrunWork&) = delete;

  PlayerNormal normal;
  GkadrunSpecial special;
};
GkadrunWork& GkadrunAttackWork();

// The strip entry's y (pixels) at the scroll's y.
int32_t GkadrunStripY(int32_t scroll_y);
