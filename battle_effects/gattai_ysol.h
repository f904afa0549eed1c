#pragma once
// YSOL's part of the combination attack (character 4, opening A): GattaiYsol on the
// heroine-routine frame (battle_effects/gattai.h), with the letterbox "Gattai::Ysolu::Window" and
// layer 4 shown without its surface until its end. Everything is drawn on surface 4; positions
// are pixels about the screen centre.
//
// Two cards turning about their vertical axis (made at the set-up under the routine, each ending
// when the routine ends them or on the family's stop word): "Gattai::Ysolu::Card:Ysolu" (index
// 0) and "Gattai::Ysolu::Card:Kadrun" (index 1). States:
//   0  the heroine's card crosses from the right (150 frames, a spark every 4), then reports
//   1  the hero's card crosses from the left, the same
//   2  both swing in from above for 120 frames, stop, and report at their next full turn
//   3  GATTAI_BG picture 0 fades in over 128 frames (its own alpha 2 x frames); then the cards
//      end and picture 1 takes its place in the same frame
//   4  the ring ("Gattai::Ysolu:Wakka") grows to 1.5 over 31 frames turning, then reports; the
//      generator ("Gattai::Ysolu:MonoGen") throws an object every 4 frames; 90 frames later the
//      white-out over 64 frames; then the frame's end.
// A state that waits for reports counts a card (or ring) that could not be made, or has gone,
// as reported, so it never waits for ever.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_effects/spawner.h"

struct SlgEffectTask;
struct SprAnm;

// The routine's block (Battle().Extension<GattaiYsolWork>()), made afresh at its start.
struct GattaiYsolWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* eff_anm = nullptr;  // slot 13 as the frame holds it
  SlgEffectTask* cards[2] = {nullptr, nullptr};
  uint32_t card_ids[2] = {0, 0};
  int32_t sparks[2] = {0, 0};  // each card's sparks so far (their names' running count)
  Spawner spark_clock[2] = {};
  Spawner objects{};
};
GattaiYsolWork& GattaiYsolBlock();

// Whether a card turning forwards (+16 a frame) or backwards (-16) completed a full turn going
// from angle `before` to `after` (both 0-511): its angle wrapped in its own turning sense.
bool YsolFullTurn(bool forwards, int32_t before, int32_t after);
// A spark of body A `frames` frames after its start: its zoom (1.0 less 0.02 a frame, not below
// 0) and whether it has ended (after 50 frames).
struct YsolSparkA {
  int32_t zoom;
  bool ended;
};
YsolSparkA YsolSparkAAt(int32_t frames);
// The ring's zoom `frames` frames after its start (0.05 a frame up to 1.5) and whether it has
// reached 1.5.
struct YsolRing {
  int32_t zoom;
  bool full;
};
YsolRing YsolRingAt(int32_t frames);
