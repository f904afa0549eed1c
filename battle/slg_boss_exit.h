#pragma once
// The boss exit sequences (state 15 of the bosses): UnitStateSeqA (soukaku 23, ginkaku 24,
// kujyaku 25, amateras 26-27) and UnitStateSeqB (kinds 28-30 and the kamui row). Both wait for
// the battle to settle (5 frames; 301 frames from their start while a unit of side 1 or 4 is
// defeated), play their defeat effect with the kind's DEAD_EFFECT set, and end with the slot
// made dead, the set released and event flag 198 set, in that order.
//
//   A: a burst, 16 sparkles (SE 134), the body fading to white, the defeat messages of the
//      battle map, a large object (SE 134 every 24 frames, four times), a white-out over 32
//      frames and a white-in over 16 with a final object shrinking away.
//   B: an effect until it loops, 32 frames, white flashes, the body fading, a new flash with two
//      effect objects and SE 405, at least 120 frames, the body gone, the streamed sound ended.
//
// Each sequence holds one battle-wide work block while it runs: a second boss of the same
// sequence waits in step 2 until the block is free. A block that cannot be allocated ends the
// sequence at once (dead slot, flag 198); an animation set that is not loaded counts as ended.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_kind_states_state.h"

constexpr uint32_t kSlgFlagBossGone = 198;
constexpr uint32_t kSlgFlagAmateras2Stays = 150;
constexpr uint32_t kSlgFlagDefeatAlt21 = 207;
constexpr uint16_t kSlgExitSe = 134;
constexpr int kSlgExitSe400 = 5;
constexpr uint32_t kSlgExitSettleFrames = 301;
constexpr int kSlgSparkles = 16;

void UnitStateSeqA(SlgUnit& unit, SlgPair& pos);
void UnitStateSeqB(SlgUnit& unit, SlgPair& pos);

// The defeat row of a battle map (the alternative row of map 21 while event flag 207 is set);
// null past the table.
const SlgDefeatRow* SlgDefeatRowOf(int battle_map);

// Frees both work blocks and their objects (animations released only when `release`): the
// battle context's teardown.
void FreeBossExitWork(bool release);
