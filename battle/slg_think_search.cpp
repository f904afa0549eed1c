#include "battle/slg_think_search.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "engine/core/debug_trace.h"
#include "game/game_context.h"
#include "game/system_data.h"

namespace {

constexpr uint32_t kBlockedMap = 11;
constexpr SlgPoint kMapBlocks[2] = {{1200, 672}, {1248, 696}};

constexpr uint8_t kPlayerCategory = 0;
constexpr uint8_t kWeakClimberCategory = 2;  // never climbs, except kinds 21 and 22
constexpr uint8_t kObstacleCategory = 4;     // blocks the goal field
constexpr uint8_t kHeroCharacter = 0;
constexpr int kNearestFrom = 100;
constexpr int kWeakLife = 30;
constexpr int kMostCollected = 8;
constexpr int kMissScore = -1000;
constexpr int32_t kLowerPixels = 48;  // a point is lowered 48 pixels per height level

SlgThinkSearchState& T() { return Battle().think_search; }
SlgSearchState& S() { return Battle().search; }

uint16_t ActingIndex() {
  const SlgBattleState& s = Battle().state;
  return s.acting_unit < s.unit_count && s.acting_unit < kSlgMaxUnits ? s.acting_unit : kSlgNoUnit;
}
const SlgUnit* Acting() {
  const uint16_t i = ActingIndex();
  return i == kSlgNoUnit ? nullptr : &Battle().state.units[i];
}

// The unit record of a slot from the occupancy grid, null for none or a slot not in use.
const SlgUnit* UnitAt(uint16_t slot) {
  const SlgBattleState& s = Battle().state;
  if (slot >= s.unit_count || slot >= kSlgMaxUnits) return nullptr;
  return &s.units[slot];
}

int Index(SlgCell cell) { return cell.row * kSlgGridColumns + cell.column; }
SlgCell ListCell(SlgRangePos p) { return PosToCell(p.x, p.y); }
uint16_t SlotOn(SlgCell cell) { return Battle().unit_grid[static_cast<size_t>(Index(cell))]; }

// Cuts the range list to the entries the decisions read.
uint32_t CapList() {
  SlgSearchState& s = S();
  s.range_count = std::min<uint32_t>(s.range_count, kThinkListCap);
  return s.range_count;
}

// On battle map 11 blocks the two cells while it lives, then gives them back the words they had
// (a cell that was blocked already stays blocked).
class MapBlock {
 public:
  MapBlock() {
    if (!HasGame() || GetSystemData()->battleMap() != kBlockedMap) return;
    SlgGrid& grid = Battle().cell_grid;
    for (int i = 0; i < 2; ++i) {
      index_[i] = Index(PosToCell(kMapBlocks[i].x, kMapBlocks[i].y));
      saved_[i] = grid[static_cast<size_t>(index_[i])];
      grid[static_cast<size_t>(index_[i])] |= kSlgCellAttackStop;
    }
    active_ = true;
  }
  ~MapBlock() {
    if (!active_) return;
    SlgGrid& grid = Battle().cell_grid;
    for (int i = 1; i >= 0; --i) grid[static_cast<size_t>(index_[i])] = saved_[i];
  }
  MapBlock(const MapBlock&) = delete;
  MapBlock& operator=(const MapBlock&) = delete;

  void MarkBlocked(std::array<uint16_t, kSlgGridCells>& field) const {
    if (!active_) return;
    for (int i = 0; i < 2; ++i) field[static_cast<size_t>(index_[i])] = kThinkBlocked;
  }

 private:
  bool active_ = false;
  int index_[2] = {0, 0};
  uint32_t saved_[2] = {0, 0};
};

// ---- Lines and quadrilaterals ----

int64_t Clamp64(__int128 v) {
  return static_cast<int64_t>(std::clamp<__int128>(v, INT64_MIN, INT64_MAX));
}

// Whether (x, y) lies on the wanted side of one side of a quadrilateral: above the line (y
// greater) or below it, strictly or not. A vertical side keeps the points on the side of it
// where the mean of the four corners lies (4 x mean = corner_sum); a quadrilateral whose corners
// average onto the side keeps only the side itself, and only when inclusive.
bool SideHolds(const ThinkLineFit& line, int64_t x, int64_t y, bool greater, bool inclusive,
               int64_t corner_sum) {
  if (line.vertical) {
    const int64_t mean_side = corner_sum - 4 * line.x;
    if (mean_side > 0) return inclusive ? x >= line.x : x > line.x;
    if (mean_side < 0) return inclusive ? x <= line.x : x < line.x;
    return inclusive && x == line.x;
  }
  const int64_t ly = ThinkLineAt(line, x);
  if (greater) return inclusive ? y >= ly : y > ly;
  return inclusive ? y <= ly : y < ly;
}

struct Quad {
  std::array<ThinkLineFit, 4> sides;  // p1-p2, p2-p3, p3-p4, p4-p1
  int64_t corner_sum = 0;             // the sum of the four corners' x
};
Quad MakeQuad(const std::array<SlgPair, 4>& p) {
  Quad q;
  for (int i = 0; i < 4; ++i) {
    q.sides[static_cast<size_t>(i)] = ThinkLine(p[static_cast<size_t>(i)], p[static_cast<size_t>((i + 1) % 4)]);
    q.corner_sum += p[static_cast<size_t>(i)].x;
  }
  return q;
}

int32_t Lowered(EnemyThinkPoint p) { return ThinkLoweredY(p); }

// ---- The distance field ----

void Enqueue(SlgCell cell) {
  SlgThinkSearchState& t = T();
  // Every cell enters at most once, so the queue never fills; a full queue would drop the cell.
  if (t.queue_write >= t.queue.size()) {
    DebugPrint("EnemyThinkDecide: queue full, cell (%d, %d) dropped\n", cell.column, cell.row);
    return;
  }
  t.queue[t.queue_write++] = cell;
}

void Seed(int column, int row) {
  if (column < 0 || column >= kSlgGridColumns || row < 0 || row >= kSlgGridRows) return;
  uint16_t& v = T().distance[static_cast<size_t>(row * kSlgGridColumns + column)];
  if (v == 1) return;  // already a goal cell
  v = 1;
  Enqueue({static_cast<int16_t>(column), static_cast<int16_t>(row)});
}
void Seed(SlgCell cell) { Seed(cell.column, cell.row); }

void SeedUnit(uint16_t slot) {
  if (const SlgUnit* unit = UnitAt(slot)) Seed(SlgUnitCell(*unit));
}

// Types 4 (strict) and 6 (inclusive, corners lowered): every cell inside the quadrilateral of
// the four points in cell coordinates, rows outer, columns inner.
void SeedRegion(const EnemyThinkRec& rec, bool inclusive) {
  std::array<SlgPair, 4> corners;
  for (size_t i = 0; i < 4; ++i) {
    const EnemyThinkPoint p = rec.points[i];
    const SlgCell cell = PosToCell(p.x, inclusive ? Lowered(p) : p.y);
    corners[i] = {cell.column * 65536, cell.row * 65536};
  }
  const Quad q = MakeQuad(corners);
  for (int r = 0; r < kSlgGridRows; ++r) {
    const int64_t y = int64_t{r} * 65536;
    for (int c = 0; c < kSlgGridColumns; ++c) {
      const int64_t x = int64_t{c} * 65536;
      if (SideHolds(q.sides[0], x, y, true, inclusive, q.corner_sum) &&
          SideHolds(q.sides[1], x, y, true, inclusive, q.corner_sum) &&
          SideHolds(q.sides[2], x, y, false, inclusive, q.corner_sum) &&
          SideHolds(q.sides[3], x, y, false, inclusive, q.corner_sum)) {
        Seed(c, r);
      }
    }
  }
}

// The goal of the current think by its type.
void SeedThinkGoal() {
  const EnemyThinkRec& rec = T().think;
  const EnemyThinkPoint p1 = rec.points[0];
  switch (rec.type) {
    case 0:
    case 1:
      SeedUnit(ThinkDesignatedUnit());
      break;
    case 2:
      Seed(PosToCell(p1.x, rec.target == kThinkTargetAsGiven ? p1.y : Lowered(p1)));
      break;
    case 4:
      SeedRegion(rec, false);
      break;
    case 6:
      SeedRegion(rec, true);
      break;
    case 7:
      if (rec.target == kThinkTargetAsGiven) {
        Seed(PosToCell(p1.x, p1.y));
      } else {
        Seed(p1.x, p1.y);  // a column and row; off the map seeds nothing
      }
      break;
    default:  // 3, 5: no goal; above 7: none either
      break;
  }
}

// Offers v to a neighbour of a cell of height h (ThinkDistanceStep).
void Offer(int column, int row, uint16_t v, int h, int most_climb) {
  if (column < 0 || column >= kSlgGridColumns || row < 0 || row >= kSlgGridRows) return;
  const size_t n = static_cast<size_t>(row * kSlgGridColumns + column);
  uint16_t& value = T().distance[n];
  if (value == kThinkBlocked) return;
  const int hn = static_cast<int>(Battle().cell_grid[n] & kSlgCellHeightMask);
  if (h - hn >= most_climb) return;
  if (value != kThinkUnreached && value <= v) return;
  value = v;
  Enqueue({static_cast<int16_t>(column), static_cast<int16_t>(row)});
}

void Spread() {
  SlgThinkSearchState& t = T();
  const SlgUnit* acting = Acting();
  // The field runs from the goal outward: a neighbour lower than its cell is a climb for the
  // unit walking toward the goal. Category 2 (but kinds 21 and 22) climbs no level, others one.
  const bool weak = acting != nullptr && acting->category == kWeakClimberCategory &&
                    acting->kind != 21 && acting->kind != 22;
  const int most_climb = weak ? 1 : 2;
  while (t.queue_read < t.queue_write) {
    const SlgCell cell = t.queue[t.queue_read++];
    const size_t i = static_cast<size_t>(Index(cell));
    const uint16_t v = static_cast<uint16_t>(t.distance[i] + 1);
    const int h = static_cast<int>(Battle().cell_grid[i] & kSlgCellHeightMask);
    const int c = cell.column;
    const int r = cell.row;
    if ((r & 1) != 0) {
      Offer(c, r - 1, v, h, most_climb);
      Offer(c, r + 1, v, h, most_climb);
      Offer(c + 1, r + 1, v, h, most_climb);
      Offer(c + 1, r - 1, v, h, most_climb);
    } else {
      Offer(c - 1, r - 1, v, h, most_climb);
      Offer(c - 1, r + 1, v, h, most_climb);
      Offer(c, r + 1, v, h, most_climb);
      Offer(c, r - 1, v, h, most_climb);
    }
  }
}

bool Reached(SlgCell cell) { return T().distance[static_cast<size_t>(Index(cell))] < kThinkBlocked; }

int16_t ApproachScore(SlgCell cell, SlgCell own) {
  return static_cast<int16_t>(
      ((10 - std::abs(cell.column - own.column)) * 2 - std::abs(cell.row - own.row)) * 5);
}

// The approaches: over the first 128 entries of the move list, each free cell the field reached
// whose range (built by `range`) holds `goal` becomes a candidate (at most 32, each cell once);
// the first best candidate is the destination. The candidate count.
template <typename Range>
int Approach(uint16_t goal, Range&& range) {
  SlgThinkSearchState& t = T();
  SlgSearchState& s = S();
  t.candidate_count = 0;
  const SlgUnit* acting = Acting();
  if (acting == nullptr || UnitAt(goal) == nullptr) return 0;
  const uint32_t cells = std::min<uint32_t>(s.range_count, kThinkApproachCells);
  std::copy_n(s.range_list.begin(), cells, t.approach_cells.begin());
  const SlgCell own = SlgUnitCell(*acting);
  uint32_t count = 0;
  for (uint32_t i = 0; i < cells && count < kThinkApproachCandidates; ++i) {
    const SlgRangePos p = t.approach_cells[i];
    const SlgCell cell = ListCell(p);
    if (SlotOn(cell) != kSlgNoUnit || !Reached(cell)) continue;
    const bool known = std::any_of(t.candidates.begin(), t.candidates.begin() + count,
                                   [p](SlgRangePos c) { return c.x == p.x && c.y == p.y; });
    if (known) continue;
    range(*acting, p);
    const uint32_t listed = CapList();
    bool holds = false;
    for (uint32_t k = 0; k < listed && !holds; ++k) holds = SlotOn(ListCell(s.range_list[k])) == goal;
    if (!holds) continue;
    t.candidates[count] = p;
    t.scores[count] = ApproachScore(cell, own);
    ++count;
  }
  t.candidate_count = count;
  if (count == 0) return 0;
  int best = kMissScore;
  uint32_t chosen = 0;
  for (uint32_t k = 0; k < count; ++k) {
    if (t.scores[k] > best) {
      best = t.scores[k];
      chosen = k;
    }
  }
  t.destination = t.candidates[chosen];
  return static_cast<int>(count);
}

}  // namespace

void EnemyReachCells(int attack) {
  const SlgUnit* acting = Acting();
  if (acting == nullptr) {
    S().range_count = 0;
    return;
  }
  MapBlock block;
  Slg::ThreatSearch(SlgUnitSnap(*acting), *acting, attack);
  CapList();
}

void EnemyRangeCells(int attack) {
  // An aim shape that lists nothing leaves the count alone: clear it, so that the previous list
  // is not taken for the range.
  S().range_count = 0;
  const SlgUnit* acting = Acting();
  if (acting == nullptr) return;
  T().range_origin = SlgUnitSnap(*acting);
  Slg::AimSearch(T().range_origin, *acting, attack);
  CapList();
}

void EnemyMoveCells() {
  SlgSearchState& s = S();
  const uint16_t self = ActingIndex();
  if (self == kSlgNoUnit) {
    s.range_count = 0;
    return;
  }
  const SlgUnit& acting = Battle().state.units[self];
  MapBlock block;
  Slg::EnemyMoveSearch(SlgUnitSnap(acting), acting.stats.total_move);
  const uint32_t count = CapList();
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t slot = SlotOn(ListCell(s.range_list[i]));
    if (slot == kSlgNoUnit || slot == self) s.range_list[kept++] = s.range_list[i];
  }
  s.range_count = kept;
}

uint8_t FindUnitByCharacter(int character) {
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.character == character && SlgUnitLive(unit)) return static_cast<uint8_t>(i);
  }
  return kThinkNoCharacterUnit;
}

uint16_t NearestPlayerUnit() {
  const SlgUnit* acting = Acting();
  if (acting == nullptr) return kSlgNoUnit;
  const SlgCell own = SlgUnitCell(*acting);
  const SlgBattleState& s = Battle().state;
  int best = kNearestFrom;
  uint16_t found = kSlgNoUnit;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    const int d = SlgCellDistance(own, SlgUnitCell(unit));
    if (d < best) {
      best = d;
      found = static_cast<uint16_t>(i);
    }
  }
  return found;
}

uint16_t StrongestPlayerUnit() {
  const SlgBattleState& s = Battle().state;
  int best = 0;
  uint16_t found = kSlgNoUnit;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    if (unit.stats.life > best) {
      best = unit.stats.life;
      found = static_cast<uint16_t>(i);
    }
  }
  return found;
}

uint16_t ThinkDesignatedUnit() {
  const EnemyThinkRec& rec = T().think;
  if (rec.type == kThinkTypeNone) return kSlgNoUnit;
  switch (rec.target) {
    case kThinkTargetNearest:
      return NearestPlayerUnit();
    case kThinkTargetStrongest:
      return StrongestPlayerUnit();
    default: {
      const uint8_t found = FindUnitByCharacter(rec.target);
      return found == kThinkNoCharacterUnit ? kSlgNoUnit : found;
    }
  }
}

void EnemyChooseTarget() {
  SlgThinkSearchState& t = T();
  const SlgSearchState& s = S();
  t.target = kSlgNoUnit;
  const uint32_t count = std::min<uint32_t>(s.range_count, kThinkListCap);
  // A live category-0 unit on a listed cell, null for none.
  auto player_on = [&s](uint32_t i) -> const SlgUnit* {
    const SlgUnit* unit = UnitAt(SlotOn(ListCell(s.range_list[i])));
    return unit != nullptr && unit->category == kPlayerCategory && SlgUnitLive(*unit) ? unit
                                                                                     : nullptr;
  };
  std::array<uint16_t, kMostCollected> collected;
  int n = 0;
  for (uint32_t i = 0; i < count && n < kMostCollected; ++i) {
    const SlgUnit* unit = player_on(i);
    if (unit == nullptr) continue;
    const uint16_t slot = SlotOn(ListCell(s.range_list[i]));
    if (std::find(collected.begin(), collected.begin() + n, slot) != collected.begin() + n) continue;
    collected[static_cast<size_t>(n++)] = slot;
  }
  if (n == 0) return;
  const SlgBattleState& st = Battle().state;
  auto unit_of = [&st](uint16_t slot) -> const SlgUnit& { return st.units[slot]; };

  if (t.think.type == 0) {
    const uint16_t designated = ThinkDesignatedUnit();
    if (designated != kSlgNoUnit &&
        std::find(collected.begin(), collected.begin() + n, designated) != collected.begin() + n) {
      t.target = designated;
      return;
    }
  }
  int weakest = 0;
  for (int k = 1; k < n; ++k) {
    if (unit_of(collected[static_cast<size_t>(k)]).stats.life <
        unit_of(collected[static_cast<size_t>(weakest)]).stats.life) {
      weakest = k;
    }
  }
  if (unit_of(collected[static_cast<size_t>(weakest)]).stats.life < kWeakLife) {
    t.target = collected[static_cast<size_t>(weakest)];
    return;
  }
  for (int k = 0; k < n; ++k) {
    if (unit_of(collected[static_cast<size_t>(k)]).character == kHeroCharacter) {
      t.target = collected[static_cast<size_t>(k)];
      return;
    }
  }
  // The nearest over the whole list; when none is nearer than 100 (a long beam), the first
  // collected unit.
  t.target = collected[0];
  const SlgUnit* acting = Acting();
  if (acting == nullptr) return;
  const SlgCell own = SlgUnitCell(*acting);
  int best = kNearestFrom;
  for (uint32_t i = 0; i < count; ++i) {
    const SlgUnit* unit = player_on(i);
    if (unit == nullptr) continue;
    const int d = SlgCellDistance(own, ListCell(s.range_list[i]));
    if (d < best) {
      best = d;
      t.target = unit->slot;
    }
  }
}

void EnemyThinkDecide(int mode) {
  MapBlock block;
  SlgThinkSearchState& t = T();
  const BattleContext& b = Battle();
  const uint16_t self = ActingIndex();
  for (size_t i = 0; i < t.distance.size(); ++i) {
    uint16_t v = (b.cell_grid[i] & kSlgCellAttackStop) != 0 ? kThinkBlocked : kThinkUnreached;
    if (mode != 1) {
      const uint16_t slot = b.unit_grid[i];
      if (slot != self) {
        if (const SlgUnit* unit = UnitAt(slot))
          v = unit->category == kObstacleCategory ? kThinkBlocked : kThinkUnreached;
      }
    }
    t.distance[i] = v;
  }
  block.MarkBlocked(t.distance);
  t.queue_read = 0;
  t.queue_write = 0;
  if (mode == 1) {
    SeedUnit(t.target);
  } else {
    SeedThinkGoal();
  }
  Spread();
}

int EnemyBestMoveCell() {
  EnemyThinkDecide(0);
  EnemyMoveCells();
  SlgThinkSearchState& t = T();
  const SlgSearchState& s = S();
  int best = kMissScore;
  int chosen = 0;
  for (uint32_t i = 0; i < s.range_count; ++i) {
    const uint16_t v = t.distance[static_cast<size_t>(Index(ListCell(s.range_list[i])))];
    const int16_t score = v >= kThinkBlocked ? static_cast<int16_t>(kMissScore)
                                             : static_cast<int16_t>((20 - v) * 5);
    t.scores[i] = score;
    if (score > best) {
      best = score;
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

int EnemyApproachTarget(int attack) {
  EnemyThinkDecide(1);
  EnemyMoveCells();
  return Approach(T().target, [attack](const SlgUnit& acting, SlgRangePos p) {
    S().range_count = 0;  // an aim shape that lists nothing leaves the count alone
    Slg::AimSearch(p, acting, attack);
  });
}

int EnemyApproachAlly() {
  EnemyThinkDecide(0);
  EnemyMoveCells();
  const uint16_t ally = T().support_target;
  return Approach(ally, [](const SlgUnit& acting, SlgRangePos p) {
    // The attack flood lists only opposed units: search for the other camp, so that the acting
    // unit's own camp is listed and the other camp's units block.
    S().side = acting.side == 0 ? 1 : 0;
    Slg::SearchMode1(p, 1);
  });
}

int32_t ThinkLoweredY(EnemyThinkPoint p) {
  const SlgCell cell = PosToCell(p.x, p.y);
  const uint32_t h = Battle().cell_grid2[static_cast<size_t>(Index(cell))] & kSlgCellHeightMask;
  return p.y + kLowerPixels * static_cast<int32_t>(h);
}

ThinkLineFit ThinkLine(SlgPair p1, SlgPair p2) {
  ThinkLineFit line;
  if (p1.x == p2.x) {
    line.vertical = true;
    line.x = p1.x;
    return line;
  }
  line.slope = (int64_t{p1.y} - p2.y) * 65536 / (int64_t{p1.x} - p2.x);
  line.intercept = Clamp64(__int128{p1.y} - ((__int128{line.slope} * p1.x) >> 16));
  return line;
}

int64_t ThinkLineAt(const ThinkLineFit& line, int64_t x) {
  if (line.vertical) return 0;
  return Clamp64(((__int128{line.slope} * x) >> 16) + line.intercept);
}

int ThinkQuadContains(const std::array<EnemyThinkPoint, 4>& points) {
  const SlgUnit* acting = Acting();
  if (acting == nullptr) return 0;
  return ThinkQuadContainsAt(points, acting->x, acting->y);
}

int ThinkQuadContainsAt(const std::array<EnemyThinkPoint, 4>& points, int32_t px, int32_t py) {
  std::array<SlgPair, 4> p;
  for (size_t i = 0; i < 4; ++i) p[i] = {points[i].x * 65536, points[i].y * 65536};
  const Quad q = MakeQuad(p);
  const int64_t x = px;
  const int64_t y = py;
  return SideHolds(q.sides[0], x, y, true, true, q.corner_sum) &&
                 SideHolds(q.sides[1], x, y, false, true, q.corner_sum) &&
                 SideHolds(q.sides[2], x, y, false, true, q.corner_sum) &&
                 SideHolds(q.sides[3], x, y, true, true, q.corner_sum)
             ? 1
             : 0;
}
