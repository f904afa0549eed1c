#pragma once
// TEZAV's part of the combination attack (character 5, opening A): GattaiTezav on the
// heroine-routine frame (battle_effects/gattai.h), without a letterbox, with layer 4 shown
// without its surface until its end. A slide show on surface 4; positions are pixels about the
// screen centre, the pictures' entries at (x + 320, y + 240) with their origins at their centres.
//
// GATTAI_BG pictures 0-5 (pic0-pic5) are cut from surface 12. States (frames on the sub-state's
// clock, from the state's start):
//   0  pic0 slides in from the left: x = -320 + 320 x frames / 30, 0 from frame 30, y -40
//      (depth -1099), with the companion "Gattai::Tezav:Haikei"; both gone at frame 132
//   1  pic1 the same from the right (x from 320) with "Gattai::Tezav:Haikei:1"
//   2  pic3 at the centre (-1097) with "Gattai::Tezav::Chara:0" for 72 frames
//   3  pic4 at the centre with "Gattai::Tezav::Chara:1" for 84 frames
//   4  pic2 where the slide stopped with "Gattai::Tezav::Haikei:2" for 60 frames
//   5  "Gattai::Tezav::Chara:2"; pictures 3 and 4 flicker, each shown for the flicker table's
//      time (23, 18, 13 ... 3 frames: 180 in all; a late frame's overshoot is taken off the
//      next), ending on pic5; then 80 paper pieces ("Gattai::Tezav:Kami:0" .. "79") burst up
//      from the lower corners and flutter down; 150 frames after the flicker the white-out over
//      64 frames; then the frame's end.
// Companions hold still at depth -1098: the Haikei ones play slot 14's animations 1, 0, 2 at
// (16, -40), the Chara ones slot 13's 1, 2, 0 at (16, -48).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"

struct SlgEffectTask;
struct SprAnm;
struct SprBufferEntry;

constexpr int kTezavPictures = 6;
constexpr int kTezavPapers = 80;
constexpr int kTezavFlickerSteps = 24;
// The flicker's display times in frames; -1 ends it.
constexpr std::array<int8_t, kTezavFlickerSteps> kTezavFlicker = {
    23, 18, 13, 13, 8, 8, 8, 8, 8, 8, 6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 3, 3, 3, -1};

// The routine's block (Battle().Extension<GattaiTezavWork>()), made afresh at its start.
struct GattaiTezavWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* ext1 = nullptr;  // slots 13 and 14 as the frame holds them
  SprAnm* ext2 = nullptr;
  std::array<BossPicture, kTezavPictures> pics{};  // sprites only; the entry below shows one
  SprBufferEntry* entry = nullptr;
  int shown = -1;    // the picture the entry shows; -1 none
  SlgPair slide{};   // 16.16 about the screen centre
  int flicker_pic = 3;
  int32_t timer = 0;  // frames the shown flicker picture stays
  int k = 0;          // the flicker table's index
  uint32_t flicker_ms = 0;    // the flicker's start
  int32_t flicker_base = 0;    // its frames at the last change
};
GattaiTezavWork& GattaiTezavBlock();

// The slide's x (16.16) `frames` frames into state 0 (from -320) or 1 (from 320).
int32_t TezavSlideX(int32_t from_px, int32_t frames);

// A paper piece's colour (COLORREF) by its draw (0-6: red, green, blue, yellow, magenta, cyan,
// white).
uint32_t TezavPaperColour(int n);
// Where a paper piece is `frames` frames after its clock restarted (one frame after its start):
// the burst from `from` along `dir` (512 steps) at `speed` (16.16 px a frame, less 1 px each
// frame) until the speed reaches 0, then the fall from there at `fall` a frame swaying 8 px about
// its x on a phase from `phase0` turning 8 a frame.
struct TezavPaper {
  SlgPair from;
  int32_t dir;
  int32_t speed;
  int32_t fall;
  int32_t phase0;
};
struct TezavPaperPos {
  SlgPair pos;
  bool falling;
  bool ended;  // past y 272
};
TezavPaperPos TezavPaperAt(const TezavPaper& paper, int32_t frames);
