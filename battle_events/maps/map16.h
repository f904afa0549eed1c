#pragma once
// Map 16's event script: a defence battle. A map task watches four gate cells; an enemy of the
// kouma family (kinds 17-19) standing idle on one sets flag 400 and its kind's flag (401-403)
// and is remembered as the gate unit. How many passes the party may allow comes from P[82]
// (flags 191-193): the allowed passes play a warning scene, the next one loses the battle. Bursts
// of particles (fixed sprites) sweep the opening's two standing figures away and cover the
// defeat. Each time the core sets flag 131 the next of four lines of the last KP talker plays;
// after the fourth the boss (kind 29) teleports under a tone fade. The boss's death, once the core
// sets flag 198, wins the battle.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/event_messages.h"
#include "battle_events/map_setup.h"

struct SlgEffectTask;

// The burst records: at most this many bursts at once.
constexpr int kMap16Bursts = 4;
// The flags of the gate watch: 400 any unit on a gate, 401-403 a kouma of kind 17-19.
constexpr int kMap16GateFlag = 400;
constexpr int kMap16KoumaFlag = 401;
// The guards this map's own mends add: the defeat scene's and the victory's.
constexpr int kMap16DefeatGuard = 201;
constexpr int kMap16VictoryGuard = 230;
// The four gate points (map pixels), in the order they are watched.
inline constexpr std::array<SlgPoint, 4> kMap16Gates = {
    {{1056, 888}, {1104, 864}, {816, 864}, {864, 888}}};
// The point the boss teleports to the free cell nearest of.
constexpr SlgPoint kMap16Landing = {960, 1080};

struct Map16Burst {
  int32_t duration = 0;  // frames left
  int32_t spread = 0;    // pixels
  int32_t count = 0;     // particles kept alive at most
  int32_t x = 0;
  int32_t y = 0;
  int32_t live = 0;     // particles alive
  int32_t emitter = 0;  // 1 while the emitter lives
};

// A unit remembered across frames: its slot and what it was (a removal or a purge moves later
// records down, so the slot alone may name another unit later).
struct Map16UnitKey {
  int32_t slot = -1;  // -1 none
  uint8_t kind = 0;
  uint8_t side = 0;
  uint8_t entry = 0;
};

struct Map16Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  std::array<Map16Burst, kMap16Bursts> bursts{};
  int32_t burst_count = 0;
  // The two standing figures of the opening.
  std::array<SlgEffectTask*, 2> standing{};
  Map16UnitKey gate{};
  // The talker T of the last KP talk.
  int32_t talker = 0;
  // The boss kept by the teleport, and where it lands.
  Map16UnitKey boss{};
  SlgPoint landing{};
  // The running pass or defeat scene: its index (0-2 the passes), the gate face F and the lists
  // with F in their first entry.
  int32_t scene = 0;
  int32_t face = 0;
  std::array<EventMessageRef, 5> first{};
  std::array<EventMessageRef, 2> second{};
  // The talker's line 0-3 the running event plays.
  int32_t line = 0;
  // The hero's position for the victory's scroll; found 0 when absent.
  SlgPoint hero{};
  int32_t hero_found = 0;
};
Map16Words& Map16State();

// Starts a burst of (duration frames, spread pixels, count particles) at map pixel (x, y): a
// record and its emitter fixed sprite. Nothing (traced) when every record is in use or the
// emitter cannot be made.
void StartMap16Burst(int32_t duration, int32_t spread, int32_t count, int32_t x, int32_t y);
// Whether any burst's emitter or particles still live.
bool Map16BurstActive();

// The map's set-up (row 15 of the map set-up table).
extern const MapSetup kMap16Setup;
