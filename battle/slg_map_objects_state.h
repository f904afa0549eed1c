#pragma once
// The data of the map objects (battle/slg_map_objects.h has the operations): the factories' part
// objects and status bytes by variant, the working records of the producing, rolling and
// attacking objects by stage entry (a record stays with its object when slots move down), and
// the Elebox's shared effect-done byte. BattleContext holds one block, zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"

struct SlgAnmObj;

// The factories of a map, told apart by their stage entry's variant byte (0-2).
constexpr int kSlgFactoryVariants = 3;
constexpr int kSlgFactoryParts = 3;

// One map object's working record, by its stage entry.
struct SlgMapObjRecord {
  uint8_t produced;    // slot of the unit being produced (kSlgCreateRefused none)
  uint32_t start;      // game clock (ms) of the running step's start
  SlgAnmObj* extra;    // the generator's second effect object, the jokidama's explosion
  // The jokidama's ball: its map position, the cell it rolls toward, the current leg's start and
  // end (snapped ground positions, 16.16) and the legs rolled. The factory's new unit walks out
  // from leg_from.
  SlgPair ball;
  SlgPair goal;
  SlgPair leg_from, leg_to;
  uint16_t legs;
  uint16_t frames;  // frames the factory's new unit has walked
};

struct SlgMapObjectsState {
  std::array<std::array<SlgAnmObj*, kSlgFactoryParts>, kSlgFactoryVariants> factory_parts;
  // The status byte of each factory variant: 1, 2, 1, 0 through a production.
  std::array<uint8_t, kSlgFactoryVariants> factory_status;
  std::array<SlgMapObjRecord, kSlgMaxUnits> records;
  // The Elebox's effect-done byte: its damage effect tasks end once it is 1.
  uint8_t elebox_done;
};
