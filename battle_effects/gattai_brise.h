#pragma once
// BRISE's part of the combination attack (character 6, opening B): GattaiBrise on the
// heroine-routine frame (battle_effects/gattai.h), with the letterbox "Gattai::Brise::Window",
// the voice in its set-up and layer 4 shown without its surface until its end. Everything is
// drawn on surface 4; positions are pixels about the screen centre.
//
// The set-up cuts GATTAI_BG pictures 0 and 1 into 88 strips of 672 x 4 (rows 0-351) each, held
// to the picture (a smaller picture gives fewer or narrower strips), their homes 16 pixels left
// and 64 down, one entry each at (0, 0): picture 0's at depth -1095, picture 1's at -1096 with
// their own alpha 0x90000. The wave task "Gattai::Brise::Line" moves them: while the routine's
// state is not 2, strip i of picture 1 by sin(16 i + 3 f) >> 10 (16 px at most) and of picture 0
// by 8 x sin(12 i + 2 f) >> 14 (8 px), f its frames; at state 2 the picture-1 entries go and the
// picture-0 strips stand at (0, 0); at state 3 at (0, 64). It gives every strip back on the stop
// word or when the routine has gone (every end of the routine sets the word).
//
// States (frames on the sub-state's clock):
//   0  the fade-in over 16 frames; then "Gattai::Brise:Kadrun:Brise" at frame 64 and
//      "...:Kadrun:Kadrun" at 145, each sweeping across in 35 frames; state 1 after both
//   1  "Gattai::Brise:Kadrun2:Brise" at frame 95 and "...Kadrun2:Kadrun" at 180 drop in and
//      stop at y -112 after 6 frames; four white flashes (a 640 x 480 box of surface 12 at alpha
//      0x10080, depth -1097) on at frames 24, 54, 123, 162 for 6 frames each; state 2 after both
//      drops (the drops end as the routine leaves state 1)
//   2  "Gattai::Brise:Kadrun3:0" and ":1" stand for 80 frames; state 3 after both
//   3  windowClose (the letterbox leaves now), "Gattai::Brise:Kadrun4"; the white-out over 64
//      frames from frame 90; then the frame's end
// A state that waits for arrivals counts a part that could not be made as arrived.

#include <cstdint>

#include "battle/battle_extension.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;

constexpr int kBriseStrips = 88;
constexpr int kBriseStripWidth = 672;
constexpr int kBriseStripHeight = 4;
constexpr int kBriseStripMargin = 16;  // the strips' homes stand this far left
constexpr int kBriseStripDrop = 64;    // and this far down

// The routine's block (Battle().Extension<GattaiBriseWork>()), made afresh at its start.
struct GattaiBriseWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* ext[4] = {};  // slots 13-16 as the frame holds them
  // The strips of picture 0 and 1 and their entries: kBriseStrips each, null when not made.
  SprRec** strips0 = nullptr;
  SprBufferEntry** entries0 = nullptr;
  SprRec** strips1 = nullptr;
  SprBufferEntry** entries1 = nullptr;
  SprRec* flash = nullptr;
  SprBufferEntry* flash_entry = nullptr;
  uint8_t flash_on = 0;
  int flash_count = 0;
  int32_t phase_a = 0, phase_b = 0;
  int cut_count = 0;
};
GattaiBriseWork& GattaiBriseBlock();

// The wave offsets (pixels) of strip i at the phases.
int32_t BriseWave1(int i, int32_t phase_a);
int32_t BriseWave0(int i, int32_t phase_b);
