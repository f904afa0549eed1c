#pragma once
// A battle board for tests that need units on a map but no files: a battle context with a stage
// table held in memory (640 x 480 unless changed, no entries), a chosen cell grid and units
// created from entries added one by one through Slg::CreateUnit, as the stage load would.
//
//   testsupport::BattleBoard board;          // its own fresh context, made current
//   board.SetCell(2, 10, CellWord(2));        // height 2 under (192, 240)
//   uint8_t hero = board.AddUnit({.kind = 0, .x = 192, .y = 240});
//
// On a rig, BattleBoard board(rig.battle()) works on the rig's context (current already).

#include <cstdint>
#include <memory>

#include "battle/battle_context.h"
#include "battle/slg_search.h"
#include "testsupport/stage_writer.h"

namespace testsupport {

// A unit to create: its stage entry's fields and its class's kind and category. An event object
// is a kind of 80-143 of category 3: {.kind = 80, .category = 3, .flags = 0x80}.
struct BoardUnit {
  uint8_t side = 0;
  uint8_t character = 0;
  uint8_t kind = 0;
  uint8_t category = 0;
  int16_t x = 0;  // map pixel
  int16_t y = 0;
  uint8_t facing = 0;
  uint16_t flags = 0xB180;  // shown, in the order, in the panels, on the grid, shown by flag
  uint8_t variant = 0;      // byte 10 of the entry (the think-change row, the variant byte)
  uint8_t number = 0;       // byte 11: the placement number among the entries of its kind
};

// The snapped position of a cell, as the searches list it and the placement keeps it.
SlgRangePos CellPos(int column, int row);
// A unit given on a cell: its centre, 24 pixels below the snapped position.
BoardUnit OnCell(int column, int row, BoardUnit u = {});

class BattleBoard {
 public:
  // A fresh battle context of its own, current while the board lives.
  BattleBoard();
  // Works on `battle` (which the caller keeps current); it is reset as a fresh board's.
  explicit BattleBoard(BattleContext& battle);
  BattleBoard(const BattleBoard&) = delete;
  BattleBoard& operator=(const BattleBoard&) = delete;

  BattleContext& battle() { return *battle_; }
  // The stage's tables as written; change the header through SetMapSize.
  const StageWriter& stage() const { return stage_; }

  // The map size (SLW, SLH) of the stage table.
  void SetMapSize(uint16_t width, uint16_t height);
  // One cell word of the cell grid (CellWord(height, blocked, shade) or any word).
  void SetCell(int column, int row, uint32_t word);
  // One cell word of the second grid (placement and height).
  void SetCell2(int column, int row, uint32_t word);
  // Adds a stage entry (class = the entry's own number) and returns its number.
  int AddEntry(const BoardUnit& unit);
  // Adds an entry and creates its unit, entered in the occupancy grid; the slot, or 255 when
  // the creation was refused.
  uint8_t AddUnit(const BoardUnit& unit);
  // Marks entry n unusable in the stage table (a class index of 64), as a bad stage load would.
  void SpoilEntry(int n);

 private:
  void Reset();
  void Reassign();

  std::unique_ptr<BattleContext> own_;
  std::unique_ptr<BattleScope> scope_;
  BattleContext* battle_;
  StageWriter stage_;
};

}  // namespace testsupport
