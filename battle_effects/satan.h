#pragma once
// Satan's attacks (kind 33; the battle action task plays kinds 36 and 37 as kind 33 too).
//
// The entry (the state-6 handler of Satan's own state table and row 33 of the full action table)
// is one step machine on the unit's step counter, shared by the three routines the attack kind
// word chooses (Battle().attack.attack_kind: 1 the normal attack, 3 the critical, any other the
// critical-2):
//   step 0   the attack's set loaded (ATTACK_EFFECT, SPECIAL_EFFECT, SPECIAL_EFFECT2) into the
//            Satan attack handle, the top task made ("Satan::NormalAttack", "Satan::CriticalAttack",
//            "Satan::Critical2Attack"), the attacker kept for it, the damage list rebuilt,
//            SlgFlags bits 1 and 2 set; step 1 (step 2 when the top task could not be made)
//   step 1   the top task runs; it advances the step as it ends (a top task ended from outside
//            sends the entry on as well)
//   step 2-3 the handle released, state 7
// A missing set is no failure: every part that waits for its animation goes on at once.
//
// The top tasks are effect families (battle_effects/effect_family.h): a chain of parts, each a
// named effect task. Both start with the camera pan to (1340, 160) and place their effects at
// fixed map positions around the boss at (1592, 446). The camera stays where the attack leaves
// it. The critical attack sets SlgFlags bit 7 and the Satan attack word
// (Battle().kind_states.satan_attack) while it runs, and ends its parts through the family's stop
// word. The critical-2 attack (the jewel, the cloud rush, the dust and the four winds) is the one
// attack effect that moves units: its first wind carries the units of sides 0 and 1 it passes
// along with it, cell behind cell (the wind push, below).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "engine/gfx/gfx_types.h"

struct SlgEffectTask;
struct SlgUnit;
struct SprAnm;

// The battle-wide state of the entry (Battle().Extension<SatanAttackWork>()).
struct SatanAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  SatanAttackWork() = default;
  // A battle that ends during an attack gives the handle back.
  ~SatanAttackWork();
  SatanAttackWork(const SatanAttackWork&) = delete;
  SatanAttackWork& operator=(const SatanAttackWork&) = delete;

  SprAnm* handle = nullptr;      // the attack's set, every part plays from it
  SlgUnit* attacker = nullptr;   // the unit whose step the top task advances
  SlgEffectTask* top = nullptr;  // the running top task, and its work area's id
  uint32_t top_id = 0;
  // The critical-2 attack's winds as made (a wind gone without lowering the count still ends
  // the wait for them).
  std::array<SlgEffectTask*, 4> winds{};
  std::array<uint32_t, 4> wind_ids{};
};
SatanAttackWork& SatanWork();

// ---- The shapes, for the tests ----

constexpr SlgPair kSatanPanGoal{1340, 160};  // scroll, pixels
constexpr SlgPair kSatanCore{1592, 446};     // map pixels: the boss's centre
constexpr int32_t kSatanPanFrames = 60;

// The camera pan's slope: (to - from) x 65536 / 60 per axis, toward zero (from, to in pixels).
SlgPair SatanPanSlope(const SlgPair& from, const SlgPair& to);
// The scroll (whole pixels) n frames into a pan from `from` (pixels) with that slope.
SlgPair SatanPanAt(const SlgPair& from, const SlgPair& slope, int32_t n);

// The mean of the targets' map positions (16.16, toward zero); the attacker's own position when
// the list is empty.
SlgPair SatanTargetMean(const SlgUnit& attacker);

// The star: its stroke table, and the polygon of stroke s (0-4) as drawn: finished, or growing
// n frames (0-14) into its 15.
constexpr int kSatanStrokes = 5;
constexpr int32_t kSatanStrokeFrames = 15;
std::array<PolygonPoint, 4> SatanStarQuad(int stroke, bool finished, int32_t n);

// One line n frames after its start at `start` (16.16 map pixels): its head, the heading of its
// last step (512 steps), and whether it has reached the box about the core (strictly inside
// 1576-1608 x 430-462), where it stops.
struct SatanLinePos {
  SlgPair pos;
  int32_t heading;
  bool arrived;
};
SatanLinePos SatanLineAt(const SlgPair& start, int32_t frames);
// A line's start: 960 pixels out from the core at angle a (512 steps).
SlgPair SatanLineStart(int32_t angle);
// The line's streak for a heading: (0, 0), (c, s), (c + e, s + f), (e, f).
std::array<PolygonPoint, 4> SatanLineCorners(int32_t heading);

// ---- The critical-2 attack ----

constexpr int kSatanWinds = 4;
constexpr int32_t kSatanWindEvery = 16;     // frames between two winds
constexpr int32_t kSatanWindsAfter = 120;   // frames of dust before the first wind
constexpr int32_t kSatanWindEndY = 992;     // a wind stops once its y is past this (pixels)
constexpr int32_t kSatanPushBudget = 336;   // pixels of x a unit may be carried (28 steps)
constexpr int32_t kSatanWindScrollMaxY = 384;
constexpr int32_t kSatanWindScrollMinX = 320;

// A wind n frames after its start at the core: its position (16.16 map pixels), its zoom (0.5
// growing by 1/64 a frame to 1.0), the steps it has made and whether it has stopped past y 992.
// With `push`, the wind push runs after each of its steps (SatanPushStep).
struct SatanWindPos {
  SlgPair pos;
  int32_t zoom;
  int32_t steps;
  bool stopped;
};
SatanWindPos SatanWindAt(int32_t frames, bool push = false);

// The cloud rush n frames in: its position (whole pixels) from (0, 0), the velocity growing by
// (3/16, -3/32) a frame until its x reaches 32, then (32, -16) a frame.
SlgPair SatanCloudsAt(int32_t frames);

// The scroll (pixels) m frames after the winds began from the stored scroll: y + 6m up to 384,
// x - 12m not below 320.
SlgPair SatanWindScroll(const SlgPair& stored, int32_t m);

// The wind push's battle-wide data (Battle().Extension<SatanWindPush>()): one entry per unit slot.
struct SatanWindPush {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  std::array<SlgPair, kSlgMaxUnits> saved{};   // the map position at the wind's start
  std::array<int32_t, kSlgMaxUnits> budget{};  // 16.16 pixels of x it may still be carried
  std::array<uint8_t, kSlgMaxUnits> pushed{};  // moved in the current step
  // The chain of the current step: slots, ended by -1 (every unit and the end).
  std::array<int8_t, kSlgMaxUnits + 1> chain{};
  int count = 0;  // the slots the set-up saved
};
SatanWindPush& WindPush();

// The wind push, as the first wind runs it:
// - SatanPushSetUp on its first frame: every unit's position saved, its budget 336.0;
// - each frame SatanPushRestore (every unit back at its saved position with its full budget, the
//   live units of sides 0 and 1 off the grid), the wind's replay with SatanPushStep after each of
//   its steps, then SatanPushEnter (those units placed and entered again where they now stand).
// A step, with the wind at `wind` (whole pixels): a live unit of side 0 or 1 with budget left
// whose x lies within 128 pixels right of wx + 2 (y - wy) heads a chain, which the units standing
// exactly one cell down-left of its last member join (whatever their budget); the chain moves
// (-12, +6) pixels, each member's budget 12.0 less, a member past its budget snapped back to the
// last cell point it reached. A chain whose front is left of x 48 or below y 840, or would enter
// a cell another unit holds, stays where it is, snapped, its budgets spent.
void SatanPushSetUp();
void SatanPushRestore();
void SatanPushStep(const SlgPair& wind);
void SatanPushEnter();

// The last cell point (SnapPosToCell's lattice) a unit carried down-left from one has reached:
// x up to the next multiple of 48, y down to a multiple of 24 (pixels); a position off that
// road falls on the cell point of its cell.
SlgPair SatanPushSnap(const SlgPair& px);
