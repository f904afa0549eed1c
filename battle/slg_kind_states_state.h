#pragma once
// The data of the enemy and boss families' update functions (battle/slg_kind_states.h has the
// operations) and of the boss exit sequences (battle/slg_boss_exit.h). BattleContext holds one
// block, zero-filled per battle but for the defeat message rows, which start empty.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"

struct SlgAnmObj;
struct SlgExitWorkA;
struct SlgExitWorkB;

// The low-life object of one stage entry (the two-object stands): step 0 makes and plays it, 1
// waits for its end, 2 waits `wait` frames from `start` (game clock ms).
struct SlgLowLifeRecord {
  SlgAnmObj* obj;
  uint32_t step;
  uint32_t wait;
  uint32_t start;
};

// One defeat message: a message number (65535 or more ends the row) and its parameter, the event
// face it is shown with.
struct SlgDefeatMessage {
  uint16_t message;
  uint16_t parameter;
};
constexpr int kSlgDefeatMessagesPerRow = 4;  // 16 bytes a row
constexpr int kSlgDefeatRows = 27;           // by battle map 0-26
constexpr uint16_t kSlgDefeatEnd = 65535;
using SlgDefeatRow = std::array<SlgDefeatMessage, kSlgDefeatMessagesPerRow>;

constexpr int kSlgStageEntries = 256;

struct SlgKindStatesState {
  // The boss shadow switch: the boss-class functions (kinds 23-30) draw the shadow only at 1.
  uint32_t boss_shadow;
  // The Satan attack word and the samurai attack byte (cleared by their first frames).
  uint32_t satan_attack;
  uint32_t samurai_attack;
  // The kouma hover of each unit slot in pixels: the body is drawn that much higher.
  std::array<int32_t, kSlgMaxUnits> hover;
  // The second extra object of the ginkaku and kujyaku stands, per stage entry (which stays
  // with the unit when a removal moves its record down a slot); null none.
  std::array<SlgAnmObj*, kSlgStageEntries> extra2;
  // The kamui aura: one step word shared by every kamui unit, its wait (frames) and start.
  uint32_t aura_step;
  uint32_t aura_wait;
  uint32_t aura_start;
  // The two-object stands' shared replay wait (frames).
  uint32_t stand_wait;
  std::array<SlgLowLifeRecord, kSlgStageEntries> low_life;

  // ---- The boss exit sequences ----
  // The work block of each sequence while it runs (one at a time per sequence).
  SlgExitWorkA* exit_a;
  SlgExitWorkB* exit_b;
  // The shared wait word of steps 0-1 (frames) and each slot's start (game clock ms).
  uint32_t exit_wait;
  std::array<uint32_t, kSlgMaxUnits> exit_start;
  // Defeat messages by battle map; the alternative row of map 21 while event flag 207 is set.
  std::array<SlgDefeatRow, kSlgDefeatRows> defeat_messages;
  SlgDefeatRow defeat_alt21;
};

// The block as a battle starts: zeroed, the defeat rows empty.
inline SlgKindStatesState MakeKindStatesState() {
  SlgKindStatesState s{};
  SlgDefeatRow empty{};
  empty.fill({kSlgDefeatEnd, 0});
  s.defeat_messages.fill(empty);
  s.defeat_alt21 = empty;
  return s;
}
