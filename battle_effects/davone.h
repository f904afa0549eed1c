#pragma once
// The DAVONE heroine unit's attacks (kind 2): row 2 of the player table, {normal, special,
// normal, normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 3) and critical (type 2): the first call makes the context and keeps the
//   form's per-frame routine in its step word; the form is a layered attack
//   (battle_effects/layered_attack.h). Critical: 5 objects for directions 1 and 2, else 4; two
//   hit animations (11, 12) on every target; 60 + 60 frames and the body's end, then one frame.
//   Normal: 2 objects; hit animation 10 on every target (none for type 3); 57 frames and no
//   animation running, then one frame.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 on, the work surface cleared and the two tile boxes cut from it,
//      SPECIAL_BG pictures 0-2 as sprites, the voice
//   1  the presentation's first stage, targets hidden, two objects at the screen centre (object
//      0 the body, stopped), the 48 black tiles covering the screen
//   2  presentation stages, the camera following the unit; the report: the body runs on, the
//      effect object plays, the fire ring starts
//   3  a rock every 8-15 frames; the report: the tiles fall, the four fire-pole arms start
//   4  the report: layers back, the tiles end, the backgrounds go, the end animations, targets
//      shown
//   5  30 frames; 6  the body's end and no fire pole left; 7  no attack animation: the end
//
// The presentation (battle_effects/presentation.h): fade in; the fade's end (report); 156 frames
// (report); 90 frames of the backgrounds changing every 2 frames, then the units back (report);
// past its end every call reports.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/presentation.h"
#include "battle_effects/step_timeline.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;
struct SlgUnit;

// What the black tiles do (DavoneSpecial::tile_mode).
enum DavoneTileMode : uint8_t { kTilesStand = 0, kTilesEnd = 1, kTilesFall = 2 };

constexpr int kDavoneTileRows = 6;
constexpr int kDavoneTileColumns = 8;
constexpr int kDavoneTileSide = 80;
constexpr int kDavoneFallSide = 76;
// The tile kinds by row and column.
constexpr int8_t kDavoneTiles[kDavoneTileRows][kDavoneTileColumns] = {
    {1, 5, 2, 5, 3, 5, 2, 4}, {1, 2, 1, 1, 2, 2, 3, 1}, {5, 1, 1, 1, 2, 2, 2, 5},
    {3, 4, 4, 4, 3, 3, 3, 1}, {3, 4, 4, 4, 3, 3, 1, 4}, {2, 3, 2, 1, 5, 2, 2, 5}};
constexpr int kDavoneArms = 4;
constexpr int kDavoneArmLength = 8;

// The normal attack's state.
struct DavoneNormal {
  SlgAttackCtx* ctx;
  LayeredAttack layered;
  uint32_t start;  // game clock ms of the play; the waits count from here
  uint8_t waits;   // the critical's two 60-frame waits passed so far
  uint32_t wait_start;
};

// The special's state: one attack at a time, zero at its start.
struct DavoneSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;
  SprRec* tile;       // the 80 x 80 box
  SprRec* fall_tile;  // the 76 x 76 box
  std::array<SprRec*, 3> bgs;  // SPECIAL_BG pictures 0-2
  std::array<SprBufferEntry*, 4> bg_entries;
  int8_t bg_shown;  // the background index the entries show; -1 none
  PresentationState presentation;
  uint8_t tile_mode;  // DavoneTileMode
  uint32_t rock_start;
  int32_t rock_wait;  // frames from rock_start to the next rock
  int32_t rock_count;
  int32_t pole_count;  // poles started
  int32_t poles;       // live poles
  uint32_t arm_start;  // the arms' clock
};

// The family's per-battle block (Battle().Extension<DavoneWork>()).
struct DavoneWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  DavoneWork() = default;
  // A battle that ends mid-special: its pictures are given back.
  ~DavoneWork();
  DavoneWork(const DavoneWork&) = delete;
  DavoneWork& operator=(const DavoneWork&) = delete;

  DavoneNormal normal;
  DavoneSpecial special;
};

DavoneWork& DavoneAttackWork();

// A black tile's work ("Davone::Blackpoly%d%d").
struct DavoneTile {
  int8_t row, column, kind;
  SprBufferEntry* entry;  // standing: its entry (falling: one-frame entries on odd frames)
  uint8_t falling;
  uint32_t fall_start;  // game clock ms
  SlgPair pos;          // top-left, screen pixels (16.16)
  int32_t angle;
};
// A falling tile's top-left (16.16 screen pixels) and angle (512 steps) `frames` frames into its
// fall from `from`: kinds 1 and 2 fly sideways at -6 / +6 pixels a frame starting 16 up, 3 and 4
// drift at +3 / -3, 5 turns by 8 a frame up to 64 and then falls; all under gravity 0.95.
struct DavoneFall {
  SlgPair pos;
  int32_t angle;
};
DavoneFall DavoneTileFall(int kind, const SlgPair& from, int32_t frames);
