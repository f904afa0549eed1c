#pragma once
// Map 27's event script: the set-up of its row of the map set-up table and the numbers its tests
// read. The heroine menu, the bombardment, the reaction lines and the victory wait are the shared
// scenes of battle_events/maps/commander_scenes.h, given this map's numbers.

#include <array>
#include <cstdint>

#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"

// The map's set-up (row 26 of the map set-up table).
extern const MapSetup kMap27Setup;

// The number of event-object kinds the map's event-animation table covers (80-95).
constexpr int kMap27ObjectKinds = 16;
// The arrival's fixed sprite (map pixels) and the animation YSOL's opening puts in its place.
constexpr int32_t kMap27FixedX = -896;
constexpr int32_t kMap27FixedY = 512;
constexpr uint32_t kMap27FixedBefore = 95;
constexpr uint32_t kMap27FixedAfter = 94;
// The four gate cells, written as halved map pixels: each is doubled, lifted by its cell's height
// and the cell under that point opened.
inline constexpr std::array<SlgPoint, 4> kMap27GateHalves = {
    {{480, 312}, {504, 304}, {504, 324}, {532, 312}}};
// The gate cells' points (map pixels, lifted by the cell heights of the battle in progress).
std::array<SlgPoint, 4> Map27GatePoints();
