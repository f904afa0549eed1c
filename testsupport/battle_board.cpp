#include "testsupport/battle_board.h"

#include <vector>

#include "battle/slg_unit.h"

namespace testsupport {

SlgRangePos CellPos(int column, int row) {
  return {static_cast<int16_t>((2 * column + (row & 1)) * 48), static_cast<int16_t>(24 * row - 24)};
}

BoardUnit OnCell(int column, int row, BoardUnit u) {
  const SlgRangePos p = CellPos(column, row);
  u.x = p.x;
  u.y = static_cast<int16_t>(p.y + 24);
  return u;
}

BattleBoard::BattleBoard()
    : own_(std::make_unique<BattleContext>()),
      scope_(std::make_unique<BattleScope>(*own_)),
      battle_(own_.get()) {
  Reset();
}

BattleBoard::BattleBoard(BattleContext& battle) : battle_(&battle) { Reset(); }

void BattleBoard::Reset() {
  stage_ = StageWriter(0);
  stage_.header.width = 640;
  stage_.header.height = 480;
  stage_.header.start_x = 320;
  stage_.header.start_y = 240;
  battle_->state = SlgBattleState{};
  battle_->state.acting_unit = kSlgNoUnit;
  battle_->order = SlgOrder{};
  battle_->camera = SlgCamera{};
  battle_->cell_grid.fill(0);
  battle_->cell_grid2.fill(0);
  battle_->unit_grid.fill(kSlgNoUnit);
  Reassign();
}

void BattleBoard::Reassign() {
  if (!battle_->stage) battle_->stage = std::make_unique<StageTable>();
  const std::vector<uint8_t> bytes = stage_.Bytes(StageWriter::kStage);
  battle_->stage->Assign(bytes.data(), bytes.size(), "board");
}

void BattleBoard::SetMapSize(uint16_t width, uint16_t height) {
  stage_.header.width = width;
  stage_.header.height = height;
  Reassign();
}

void BattleBoard::SetCell(int column, int row, uint32_t word) {
  const size_t at = static_cast<size_t>(row * kSlgGridColumns + column);
  stage_.grid1[at] = word;
  battle_->cell_grid[at] = word;
}

void BattleBoard::SetCell2(int column, int row, uint32_t word) {
  const size_t at = static_cast<size_t>(row * kSlgGridColumns + column);
  stage_.grid2[at] = word;
  battle_->cell_grid2[at] = word;
}

int BattleBoard::AddEntry(const BoardUnit& unit) {
  const int n = stage_.header.num_unit;
  if (n >= kStageUnitEntries) return n;  // the table is full: an entry creation refuses
  StageUnitEntry& e = stage_.units[static_cast<size_t>(n)];
  e.side = unit.side;
  e.character = unit.character;
  e.class_index = static_cast<uint8_t>(n);
  e.x = unit.x;
  e.y = unit.y;
  e.facing = unit.facing;
  e.flags = unit.flags;
  e.think_row = unit.variant;
  e.placement_number = unit.number;
  e.present = 1;
  stage_.classes[static_cast<size_t>(n)] = {unit.kind, unit.category, 0, 0};
  ++stage_.header.num_unit;
  Reassign();
  return n;
}

uint8_t BattleBoard::AddUnit(const BoardUnit& unit) {
  const uint8_t slot = Slg::CreateUnit(*battle_->stage, AddEntry(unit));
  if (slot != kSlgCreateRefused) SetUnitCell(battle_->state.units[slot]);
  return slot;
}

void BattleBoard::SpoilEntry(int n) {
  stage_.units[static_cast<size_t>(n)].class_index = kStageClassEntries;
  Reassign();
}

}  // namespace testsupport
