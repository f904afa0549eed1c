#pragma once
// Player kind 11's attacks (GYSOL): row 11 of the player table, {normal, special, normal,
// normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): a layered attack of three objects (rows kGysolNormalRows for every
//   type; objects 1 and 2 once, their handles cleared at their end), counted on every object.
//   Object 0 follows the drawing position, objects 1 and 2 the position plus the mouth offset of
//   the direction. 60 frames after the objects start, twelve bubbles ("Gysolu::Bubble%d") rise
//   from about the attacker, float to the cells of kGysolBubbleOffsets and burst there: on a
//   target (types 0 and 2) with a pop, on anything else on the ground. Once the objects have
//   ended and no bubble is left, 30 frames, then the context back and state 7. A refused context
//   ends the attack as a normal attack (EndNormalAttack), whatever the type.
// - Special (type 1), on the unit's step counter, the burst generator run after each step:
//   0  the context, the SPECIAL_EFFECT2 set (missing: the attack ends), layer 4 in mode 3, the
//      pictures (SPECIAL_BG 6 as layer 4's background, 0-5 centred on (296, 206), a blank
//      640 x 480 sprite shown at the attacker's depth + 2, picture 7), the voice
//   1  the targets hidden; three objects (1 and 2 three and four deeper), object 0 at (-16, 176)
//      stopped on body animation 0, objects 1 and 2 at (-144, -144); the scene's first call
//   2  the scene's first report (faded in): the body runs, object 1 SPECIAL_EFFECT2 1; burst + 1
//   3  its second report (the flip-book's end): object 2 effect 4
//   4  object 2's end: object 2 SPECIAL_EFFECT2 0
//   5  object 2's end: the scene on to its white-out; burst + 1
//   6  the white-out's report
//   7  the three animations released, object 0 body 1 on the unit, the scene's clean-up, the
//      targets shown; burst + 1
//   8  120 frames (SlgFlags bit 6 cleared every frame); burst + 1
//   9  120 frames: everything back, ShowFlaggedUnits, state 7
//
// The scene (a presentation, battle_effects/presentation.h), stages:
//   0 SlgFlags bits 1, 2 cleared, fade in from black over 30 frames
//   1 the fade's end: reports
//   2 59 frames: the 32 stars ("Gysol::Star%d"), the flip-book's entry (picture 0, depth 511)
//   3 30 frames of picture 7 zoomed into the blank sprite (GysolZoom), layer 4 redrawn each
//     frame; then the blank sprite, its entry and picture 7 deleted, the flip-book started
//   4 the flip-book (kGysolFlipBook) to its end mark: reports
//   5 the flip-book's entry deleted
//   6 held until the routine moves it on (kGysolSceneWhiteOut)
//   7 fade to white over 90 frames   8 its end: reports
//   9 ShowFlaggedUnits, SlgFlags |= 0x46, the layers back, layer 4 cleared, the six pictures
//     deleted, fade in from white over 60 frames   10 its end: reports
//
// The burst generator (GysolBurstMode), every animation through AutoPtnChg2Unit from the unit's
// SPECIAL_EFFECT set, on a schedule that starts again whenever the mode changes:
//   mode 0 becomes 1 at once; 2 every 25 frames from frame 1 a small burst (animation 3 within
//   63 px of object 0, 40 px up, depth object 0 - 1); 3-4 every 7 frames a small burst and a
//   wide one (animation 2 within 300 x 220 px of object 0, 40 px left, 112 px up, mirrored at
//   random, depth (random + object 0's depth - 2) & 3: 0-3 whatever the object's depth); 6-7
//   every 10 frames animation 2 within 96 x 48 px of the attacking unit (40 px left, 112 px up,
//   depth its body's less half its lift, mirrored at random); 1 and 5 nothing. The special's
//   steps raise the mode to 5 at most: 6 and 7 serve a mode set from outside.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_math.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/presentation.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"

struct SlgEffectTask;
struct SprAnm;
struct SprBufferEntry;
struct SprRec;

constexpr int kGysolBubbles = 12;
constexpr int kGysolStars = 32;
constexpr int kGysolPictures = 6;

struct GysolOffset {
  int16_t x, y;  // pixels
};
// Bubble i's destination from the attacker's map position.
constexpr std::array<GysolOffset, kGysolBubbles> kGysolBubbleOffsets{{
    {-96, -48}, {0, -48}, {96, -48}, {96, 0}, {96, 48}, {0, 48},
    {-96, 48}, {-96, 0}, {-48, -24}, {48, -24}, {48, 24}, {-48, 24},
}};
// Objects 1 and 2 of the normal attack stand at the drawing position plus this, by direction.
constexpr std::array<GysolOffset, 4> kGysolMouth{
    {{-68, -112}, {-76, -112}, {76, -112}, {68, -112}}};
// The normal attack's rows, the same for every attack type.
constexpr SlgAttackRow kGysolNormalRows[] = {{{0, 1}, 0, 0}, {{6, 6}, -1, 0xFF}, {{7, 7}, 1, 1}};

// The flip-book: each row's picture for its frames; the picture -1 ends it.
struct GysolFlipRow {
  int8_t picture;
  int16_t frames;
};
constexpr std::array<GysolFlipRow, 7> kGysolFlipBook{
    {{0, 40}, {1, 4}, {2, 5}, {3, 6}, {4, 4}, {5, 4}, {-1, 0}}};
// The row shown `frames` frames into the flip-book (6, the end mark, once past the last row).
int GysolFlipRowAt(int32_t frames);

// Picture 7's zoom (16.16) `frames` frames into the zoom stage: frames x 13.33 px / 140.
int32_t GysolZoom(int32_t frames);
// A star's speed (16.16 px a frame: 13.33) and its zoom `frames` frames after its start.
constexpr int32_t kGysolStarSpeed = 0xD5555;
int32_t GysolStarZoom(int32_t frames);

// The scene's stages the routine names.
constexpr uint8_t kGysolSceneHold = 6;
constexpr uint8_t kGysolSceneWhiteOut = 7;

// The burst generator's mode and its schedule.
struct GysolBurst {
  uint8_t mode;
  uint8_t scheduled;  // the mode the schedule was started for (0xFF: none)
  uint32_t start;     // game clock ms of the schedule's start
  Spawner spawner;
  uint32_t bursts;    // bursts made (a small and a wide burst count one), for tests
};

// One generator call (after the special's step each frame): the mode's bursts due now.
void GysolRunBursts(GysolBurst& burst, const SlgUnit& unit, const SlgAnmObj* body);

// A bubble "Gysolu::Bubble%d" (its work; the object first, SlgTaskCreateAnmWork).
enum GysolBubbleStage : uint8_t {
  kGysolBubbleWait,     // hidden for its delay
  kGysolBubbleRise,     // up to 128 px above the destination's ground
  kGysolBubbleTravel,   // to the destination
  kGysolBubbleSink,     // a miss sinking to the ground
  kGysolBubbleLanded,   // a miss's burst (effect 10) on the ground
  kGysolBubbleHitSink,  // a hit sinking to 64 px above the ground
  kGysolBubblePop,      // a hit's burst (11, 12) until it ends
  kGysolBubbleCritical  // a critical hit: the pops and the keyed zoom
};
struct GysolBubble {
  SlgAnmObj* obj;
  SprAnm* set;  // its own reference of the effect set
  uint8_t index;
  uint8_t type;  // the attack type
  uint8_t stage;
  bool hit;
  SlgPair pos, dest;          // map positions, 16.16
  int32_t height;             // above the map, 16.16 (the ground's height included)
  int32_t start_ground;       // the ground heights of start and destination, 16.16
  int32_t dest_ground;
  int32_t phase;              // the wobble's angle (512 a turn), 8 a frame
  int32_t amplitude;          // 16.16
  SlgPair velocity;
  int32_t travel;             // frames of the travel
  int32_t delay;              // frames hidden
  int32_t stage_frame;        // the frame (of the bubble's own count) its stage began
  int32_t stepped;            // frames stepped
  SlgMotion motion;           // the critical's zoom pair
  int32_t motion_frames;      // motion steps made
  Spawner pops;
};
// The ground height (16.16) under a map position: the cell's height (the attribute's low 5 bits)
// x 48 px; 0 off the map.
int32_t GysolGround(const SlgPair& pos);
// The depth a bubble at a map position is drawn at: the depth of a unit standing on its cell
// (SlgCalcDepth of the snapped position) less 16.
int16_t GysolBubbleDepth(const SlgPair& pos);
// Bubble i's start for an attacker at `at` (map position): the position, destination, height,
// delay and animation fields (random numbers drawn in this order: x, y offsets, height, delay).
void GysolBubbleStart(GysolBubble& b, int index, const SlgPair& at, uint8_t type);
// The travel's velocity and frames once the bubble has risen (pos to dest at 1 px a frame).
void GysolBubbleAim(GysolBubble& b);
// The critical's keys: the zoom pair 1/32 x 1 to 1 x 5 over 20 frames (divisors 32 and 16).
extern const SlgMotionKey kGysolCriticalKeys[3];

struct GysolNormal {
  SlgAttackCtx* ctx;
  LayeredAttack layered;
  uint32_t start;  // game clock ms when the objects started
  bool bubbles_started;
  int16_t live;  // bubbles running
  std::array<SlgEffectTask*, kGysolBubbles> bubbles;
};

struct GysolSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  SprAnm* effect2;
  PresentationState scene;
  std::array<SprRec*, kGysolPictures> pictures;
  SprRec* blank;
  SprBufferEntry* blank_entry;
  SprRec* picture7;
  SprBufferEntry* flip_entry;
  int8_t flip_shown;     // the picture of the flip-book's entry (-1 none)
  uint32_t flip_start;   // game clock ms
  int32_t zoom;          // picture 7's last zoom, 16.16
  int16_t stars;         // stars running
  std::array<SlgEffectTask*, kGysolStars> star_tasks;
  GysolBurst burst;
};

// The family's per-battle block (Battle().Extension<GysolWork>()).
struct GysolWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GysolWork() = default;
  // A battle that ends mid-special: its pictures and the SPECIAL_EFFECT2 set are given back.
  ~GysolWork();
  GysolWork(const GysolWork&) = delete;
  GysolWork& operator=(const GysolWork&) = delete;

  GysolNormal normal;
  GysolSpecial special;
};
GysolWork& GysolAttackWork();

// A star "Gysol::Star%d" (its work; the first object first, SlgTaskCreateAnmWork).
struct GysolStar {
  SlgAnmObj* obj;
  SlgAnmObj* obj2;  // also in owned slot 1
  SprAnm* set;
  SlgPair pos;       // 16.16 about the screen centre
  SlgPair velocity;
  int32_t stepped;
};
