#pragma once
// The data of the unit state handlers (battle/slg_unit_states.h has the operations): the player
// state table, the per-character idle-effect records and teleport pairs, and the marks of the
// bad table indexes already traced. BattleContext holds one block, zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_stage_table.h"

struct SlgAnmObj;

// A state handler: the unit and its drawing position (16.16 about the screen centre), which it
// may move. Called once a frame from the state table of the unit's kind.
using SlgStateHandler = void (*)(SlgUnit& unit, SlgPair& pos);

constexpr int kSlgPlayerKinds = 14;
constexpr int kSlgPlayerStates = 24;
constexpr int kSlgKindStates = 16;
constexpr int kSlgCharacters = 256;

// The idle effect of one character number, owned by the player stand: step 0 makes and plays
// the effect, 1 waits for its end, 2 waits `wait` frames from `start` (game clock ms).
struct SlgIdleRecord {
  uint32_t step;
  uint32_t wait;
  uint32_t start;
  SlgAnmObj* effect;
};

// The two objects a teleport plays (TELEPORT_BODY and TELEPORT_EFFECT), per character number;
// null while none plays.
struct SlgTeleportPair {
  SlgAnmObj* body;
  SlgAnmObj* effect;
};

struct SlgUnitStatesState {
  // The player state table, kind x 24 + state (InitDefaultUnitStates).
  std::array<SlgStateHandler, kSlgPlayerKinds * kSlgPlayerStates> player;
  std::array<SlgIdleRecord, kSlgCharacters> idle;
  std::array<SlgTeleportPair, kSlgCharacters> teleport;
  // One bit per (unit slot, state) whose table index fell outside its table and was traced.
  std::array<uint32_t, kSlgMaxUnits * 256 / 32> traced;
};
