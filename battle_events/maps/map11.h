#pragma once
// Map 11's event script: the battle of the group that went on with the hero after map 10's
// split. The heroines whose going variable map 10 set (kMap10GoingVar) are present (flags 441-446
// for heroines 1-6) and placed on the map's three cells; the present heroine with the highest
// second variable leads the tour of the three targets. Each destroyed target (the factories of
// variants 0-2, flags 427-429) brings the line of the character who destroyed it
// (Battle().factory_destroyer); after the third the finale destroys the enemies, breaks the
// glowing object (kind 87) and switches to stage 21.
//
// The map's heroine rows (falls, remarks, turn talks) begin with the heroine's presence flag, so
// an absent heroine's rows stay silent.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

// The first presence flag (heroine h: + h).
constexpr int kMap11PresentFlag = 440;
// The placement cells of the present heroines, in turn (map pixels).
constexpr int kMap11Cells = 3;
struct Map11Cell {
  int16_t x;
  int16_t y;
};
inline constexpr std::array<Map11Cell, kMap11Cells> kMap11PlaceCells = {
    {{1496, 312}, {1488, 264}, {1640, 336}}};
// The glowing object: its kind, its phases (the unit's state byte) and the battle flag bit that
// holds its pulse.
constexpr int32_t kMap11GlowKind = 87;
constexpr uint8_t kMap11GlowBreak = 2;   // set by the finale
constexpr uint8_t kMap11GlowBroken = 4;  // its breaking animation has ended
constexpr uint16_t kMap11GlowHeldBit = 0x20;

struct Map11Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The leader of the tour (heroine 1-6); 0 until the opening talk chose her (read as 1).
  int32_t leader = 0;
  // The next heroine whose opening line is due.
  int32_t next_line = 0;
};
Map11Words& Map11State();

// The map's set-up (row 10 of the map set-up table).
extern const MapSetup kMap11Setup;

// The event-object kinds the map's event-animation table covers (80-94).
constexpr int kMap11ObjectKinds = 15;
