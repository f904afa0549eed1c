#pragma once
// The enemy decision searches' state (battle/slg_think_search.h): the think record the acting
// unit follows, the chosen target, support ally and destination, the breadth-first distance field
// with its queue, and the score and candidate arrays. Data only; BattleContext holds one, reused
// by every call, so that no search allocates.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search_state.h"
#include "battle/slg_stage_table.h"

// One (x, y) point of a think record: map pixels, or a cell's column and row (type 7 without 'j').
struct EnemyThinkPoint {
  int16_t x = 0;
  int16_t y = 0;
};

constexpr uint8_t kThinkTypeNone = 255;  // no think: seeds no goal, designates nobody
constexpr uint8_t kThinkTargetNearest = 'i';
constexpr uint8_t kThinkTargetStrongest = 'k';
constexpr uint8_t kThinkTargetAsGiven = 'j';

// A think record (EnThk, 20 bytes): reaction, type 0-7, target byte, an unread byte, four points.
struct EnemyThinkRec {
  uint8_t reaction = 0;
  uint8_t type = kThinkTypeNone;
  uint8_t target = 0;
  uint8_t byte3 = 0xFF;
  std::array<EnemyThinkPoint, 4> points{};
};

// Distance field values: not reached, blocked; a reached cell holds 1 + its steps to the goal.
constexpr uint16_t kThinkUnreached = 65535;
constexpr uint16_t kThinkBlocked = 65534;
// Every list the decisions read is first cut to this many entries.
constexpr int kThinkListCap = 256;
// The approaches look at this many move cells and keep this many candidates.
constexpr int kThinkApproachCells = 128;
constexpr int kThinkApproachCandidates = 32;
// FindUnitByCharacter's "nobody".
constexpr uint8_t kThinkNoCharacterUnit = 255;

struct SlgThinkSearchState {
  // The think the acting unit follows (set by the think interpreter or a unit-kind program).
  EnemyThinkRec think;
  uint16_t target = kSlgNoUnit;  // EnemyTarget: the chosen attack target's slot
  // EnemySupportTarget: the ally to support, kSlgNoUnit none (slot 0 is a unit like any other).
  uint16_t support_target = kSlgNoUnit;
  SlgRangePos destination;       // EnemyDestination: where the walk goes (snapped pixels)
  SlgRangePos range_origin;      // where EnemyRangeCells searched from (snapped pixels)
  // ThinkDistanceGrid, row x 22 + column.
  std::array<uint16_t, kSlgGridCells> distance;
  // The field's queue: a cell takes its final value when it is queued, so every cell enters at
  // most once and one entry per cell is enough.
  std::array<SlgCell, kSlgGridCells> queue;
  uint32_t queue_read;
  uint32_t queue_write;
  // Scores of the list entries (best move cell) or of the candidates (approaches).
  std::array<int16_t, kThinkListCap> scores;
  // The approaches' copy of the move cells and their candidate cells.
  std::array<SlgRangePos, kThinkApproachCells> approach_cells;
  std::array<SlgRangePos, kThinkApproachCandidates> candidates;
  uint32_t candidate_count;
};
