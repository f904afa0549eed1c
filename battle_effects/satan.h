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
// word. The critical-2 attack's parts are not here yet: its top task advances the step at once.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
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
