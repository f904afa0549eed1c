#pragma once
// Kamui's attacks (kinds 20, 31 and 32). Row 20, 31 and 32 hold the two-way entry (attack type 1
// the special, any other type the normal: battle_effects/attack_dispatch.h); both routines are
// declared in battle_effects/attack_routines.h. Both run on one attack context (CreateAttackCtx)
// and on the unit's step counter; one Kamui attack runs at a time.
//
// Normal (types 0, 2, 3), steps 0-5: the context; the body (object 0), the swing (object 1, one
// depth in front) and, but for type 3, the flash (object 2, depth -1084, freed by the engine at
// its end) at the drawing position, each played once, by direction; 48 frames; then until no
// object animates; everything given back, state 7. From step 2 on the routine adds the attack's
// recoil offset to the drawing position it is handed.
//
// Special (type 1), steps 0-18 on the game clock (frames at 60 a second from each step's start):
//    0  context, layer 4 on (mode 2), the backgrounds (picture 0 of SPECIAL_BG cut into a sprite,
//       picture 1 under the waiting line scroll "Kamui::LineScroll"), SlgFlags bits 1-2 cleared,
//       the attack voice
//    1  four objects at the screen centre: body 0 once; effect 12 looping (zoom 1.0 x 70217/65536)
//       and effect 5 looping at (16, -114) px, both stopped and hidden; targets hidden; fade in 60
//  2-3  1 + 60 frames
//    4  body 0 has ended: stroke 0 starts
//  5-9  the pentagram drawn stroke by stroke, 20 frames each (KamuiStrokeAt)
//   10  10 frames; the background's entry at alpha 0
//   11  the background fades in, a step every 3 frames (93 frames); the strokes go
//   12  50 frames; the two effects start, the line scroll starts, object 2 zooms in
//   13  the background fades out (93 frames), then goes; stage 1
//   14  60 frames; body 1 and effect 6 once
//   15  body 1 has ended: white-out over 30 frames
//   16  35 frames; back to the map: line scroll stopped, layers restored, units shown, SlgFlags
//       bits 1-2 set, body 2 looping at the drawing position, one "Kamui::Damage%d" per target,
//       20 "Kamui::Rain%d", white-in over 30 frames
//   17  240 frames; stage 2 (the storm ends)
//   18  160 frames; everything given back, state 7
//
// The rain and damage tasks outlive the routine: each holds a reference of the SPECIAL_EFFECT
// set it plays from (SlgHoldAnmSet) and gives it back at its end, so FreeAttackCtx at step 18
// never unloads a set an effect still plays from.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_draw.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/kinematic.h"
#include "battle_effects/step_timeline.h"

struct SlgAttackCtx;
struct SlgEffectTask;

// ---- Tables ----

// The star: five rows of {outer point, inner point}, pixels from the screen centre.
struct KamuiStarRow {
  PolygonPoint outer;
  PolygonPoint inner;
};
constexpr std::array<KamuiStarRow, 5> kKamuiStar{{
    {{0, -186}, {0, -109}},
    {{-110, 150}, {-66, 90}},
    {{172, -57}, {108, -38}},
    {{-174, -57}, {-110, -38}},
    {{108, 150}, {64, 90}},
}};
constexpr int kKamuiStrokes = 5;
constexpr int32_t kKamuiStrokeFrames = 20;
constexpr uint16_t kKamuiStrokeColour = 0x7C08;  // 15-bit red
constexpr int kKamuiRainDrops = 20;
// The background's fade: a step every 3 frames, 31 steps.
constexpr int32_t kKamuiFadeSteps = 31;
constexpr int32_t kKamuiFadeStepFrames = 3;
// Object 2's zoom grows by this much a frame up to 1.0.
constexpr int32_t kKamuiZoomStep = 655;

// The stage the rain and damage effects read.
enum class KamuiStage : uint16_t { kStrokes = 0, kBackgroundGone = 1, kStormEnds = 2 };

// Stroke k (0-4) after `frames` frames of its growth: corners 0 and 3 on the outer and inner
// point of row k, corners 1 (outer) and 2 (inner) moved toward row k + 1 (row 0 after row 4) by
// (end - start) x frames / 20, truncated toward zero; from 20 frames on, exactly on row k + 1.
std::array<PolygonPoint, 4> KamuiStrokeAt(int k, int32_t frames);

// The background's alpha at fade step n (0-31): n x 256 / 31.
BlendWord KamuiFadeAlpha(int32_t n);

// A rain drop's size class by its third random number (& 7): velocity (16.16 pixels per frame)
// and zoom (16.16).
struct KamuiRainClass {
  SlgPair velocity;
  int32_t zoom;
};
KamuiRainClass KamuiRainClassOf(int32_t random);

// Object 2's zoom growth: the first step stores the start time and gives 655/65536; later steps
// give frames x 655 until that reaches 1.0, which then stays (state 2).
struct KamuiZoom {
  int32_t value;
  uint32_t start;  // game clock ms
  uint8_t state;   // 0 not started, 1 growing, 2 at 1.0
};
void KamuiZoomStep(KamuiZoom& zoom, uint32_t now_ms);

// ---- The family's work ----

// One attack's work, cleared at the step 0 of either routine.
struct KamuiAttack {
  SlgAttackCtx* ctx;
  StepClock clock;  // the current step's start
  SlgUnit* unit;
  SlgPair pos;      // the drawing position of this call
  // The special's.
  std::array<SlgPoly, kKamuiStrokes> strokes;
  int32_t stroke_count;  // strokes started (drawn: 0 .. stroke_count - 1)
  BossPicture background;
  SlgEffectTask* line_scroll;
  int16_t fade_counter;
  int16_t fade_length;
  KamuiZoom zoom;
};

struct KamuiWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  KamuiWork() = default;
  KamuiWork(const KamuiWork&) = delete;
  KamuiWork& operator=(const KamuiWork&) = delete;
  // An attack cut short (the battle ended during it) gives back what it holds.
  ~KamuiWork();

  KamuiAttack attack{};
  // Read by the rain and damage effects, which outlive the attack.
  KamuiStage stage = KamuiStage::kStrokes;
};

KamuiWork& KamuiFamilyWork();

// Gives back whatever the attack holds (objects, context, strokes, background, line scroll) and
// clears it; nothing is left for an attack that ended normally.
void KamuiGiveBack(KamuiAttack& attack);
