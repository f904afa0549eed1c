#include "battle/slg_boss_terms.h"

#include <algorithm>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_enemy.h"
#include "battle/slg_geometry.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/app/doors.h"

namespace {

constexpr uint8_t kPlayerCategory = 0;
constexpr uint8_t kPlayerSide = 0;
constexpr int kFarFrom = 3;           // N counts units this far from unit 0 or farther
constexpr int kRetreatReach = 7;      // a unit adds 7 - d up to d = 7, 7 beyond
constexpr int kWalkDraws = 20;        // the random walk's draws
constexpr int kWalkNearest = 3;       // the random walk's distances: 3 ..
constexpr int kWalkFarthest = 7;      // .. 7
constexpr int kKind28AloneFlag = 902;  // kind 28 follows the hero while it is set

const SlgUnit* UnitAt(uint16_t slot) {
  const SlgBattleState& s = Battle().state;
  if (slot >= s.unit_count || slot >= kSlgMaxUnits) return nullptr;
  return &s.units[slot];
}

SlgCell ListCell(SlgRangePos p) { return PosToCell(p.x, p.y); }

// The unit the occupancy grid names on entry i of the range list, null for none.
const SlgUnit* UnitOnEntry(uint32_t i) {
  const SlgCell cell = ListCell(Battle().search.range_list[i]);
  return UnitAt(GetUnitAtCell(cell.column, cell.row));
}

template <typename Holds>
bool AnyOnList(Holds&& holds) {
  const SlgSearchState& s = Battle().search;
  const uint32_t count = std::min<uint32_t>(s.range_count, kThinkListCap);
  for (uint32_t i = 0; i < count; ++i) {
    if (const SlgUnit* unit = UnitOnEntry(i); unit != nullptr && holds(*unit)) return true;
  }
  return false;
}

EnemyThinkRec Record(uint8_t reaction, uint8_t type, uint8_t target) {
  EnemyThinkRec rec;
  rec.reaction = reaction;
  rec.type = type;
  rec.target = target;
  rec.byte3 = 0xFF;
  rec.points.fill({-1, -1});  // bytes 4-19 all 0xFF
  return rec;
}

}  // namespace

EnemyThinkRec EnemyBuiltInThink(uint8_t kind) {
  switch (kind) {
    case 22: {
      EnemyThinkRec rec = Record(0, 7, 0xFF);
      rec.points[0] = {7, 48};
      return rec;
    }
    case 28:
      if (CheckEventFlag(kKind28AloneFlag) != 0) return Record(0, 0, 0);
      return Record(2, 0, kThinkTargetNearest);
    case 31:
      return Record(2, 0, 0);
    case 38:
      return Record(1, 0, kThinkTargetNearest);
    default:
      return Record(2, 0, kThinkTargetNearest);
  }
}

bool PlayerUnitInList() {
  return AnyOnList(
      [](const SlgUnit& u) { return u.category == kPlayerCategory && SlgUnitLive(u); });
}

bool SideZeroUnitInList() {
  return AnyOnList([](const SlgUnit& u) { return u.side == kPlayerSide && SlgUnitLive(u); });
}

bool TargetInList() {
  const uint16_t target = Battle().think_search.target;
  if (target == kSlgNoUnit) return false;
  return AnyOnList([target](const SlgUnit& u) { return u.slot == target; });
}

bool PlayerUnitInReach(int attack) {
  EnemyReachCells(attack);
  return PlayerUnitInList();
}

bool ChooseInReach(int attack) {
  EnemyReachCells(attack);
  EnemyChooseTarget();
  return Battle().think_search.target != kSlgNoUnit;
}

bool ChooseInRange(int attack) {
  EnemyRangeCells(attack);
  EnemyChooseTarget();
  return Battle().think_search.target != kSlgNoUnit;
}

bool TargetInRange(int attack) {
  EnemyRangeCells(attack);
  return TargetInList();
}

bool FullKiai(const SlgUnit& unit) {
  return static_cast<int>(unit.stats.kiai) == unit.stats.max_kiai && unit.stats.max_kiai != 0;
}

bool SelfSupport(int shift) {
  const SlgUnit* acting = SlgActingUnit();
  if (acting == nullptr) return false;
  if (acting->stats.life >= (acting->stats.max_life >> shift) || acting->stats.counter == 0)
    return false;
  Battle().think_search.support_target = Battle().state.acting_unit;
  return true;
}

// The live player units whose distance from unit 0's cell `keep` accepts.
template <typename Keep>
int PlayerCountFromFirst(Keep keep) {
  const SlgBattleState& s = Battle().state;
  const int count = std::min<int>(s.unit_count, kSlgMaxUnits);
  if (count == 0) return 0;
  const SlgCell first = SlgUnitCell(s.units[0]);
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.category == kPlayerCategory && SlgUnitLive(unit) &&
        keep(SlgCellDistance(first, SlgUnitCell(unit))))
      ++n;
  }
  return n;
}

int DistantPlayerCount() {
  return PlayerCountFromFirst([](int d) { return d >= kFarFrom; });
}

int GuardOrChargeStep(int g, int c, int low) {
  return GuardOrChargeStepWith(DistantPlayerCount, g, c, low);
}

int EnemyRetreatCell() {
  EnemyMoveCells();
  SlgThinkSearchState& t = Battle().think_search;
  const SlgSearchState& s = Battle().search;
  const SlgBattleState& st = Battle().state;
  const uint32_t count = std::min<uint32_t>(s.range_count, kThinkListCap);
  std::fill_n(t.scores.begin(), count, int16_t{0});
  const int units = std::min<int>(st.unit_count, kSlgMaxUnits);
  for (int u = 0; u < units; ++u) {
    const SlgUnit& unit = st.units[static_cast<size_t>(u)];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    const SlgCell cell = SlgUnitCell(unit);
    for (uint32_t i = 0; i < count; ++i) {
      const int d = SlgCellDistance(ListCell(s.range_list[i]), cell);
      t.scores[i] = static_cast<int16_t>(t.scores[i] + (d <= kRetreatReach ? kRetreatReach - d
                                                                           : kRetreatReach));
    }
  }
  int best = 0;
  int chosen = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (t.scores[i] > 0 && t.scores[i] >= best) {
      best = t.scores[i];
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

bool RandomWalkCell() {
  const SlgUnit* acting = SlgActingUnit();
  if (acting == nullptr) return false;
  const SlgCell own = SlgUnitCell(*acting);
  EnemyMoveCells();
  const SlgSearchState& s = Battle().search;
  const uint32_t count = std::min<uint32_t>(s.range_count, kThinkListCap);
  if (count == 0) return false;  // nothing to draw from (and no division by zero)
  for (int draw = 0; draw < kWalkDraws; ++draw) {
    const uint32_t i = static_cast<uint32_t>(GetRandom()) % count;
    const SlgRangePos p = s.range_list[i];
    const int d = SlgCellDistance(own, ListCell(p));
    // The cell grid reaches past a small stage's width and height: a cell whose position lies
    // off the stage is a miss, as one at the wrong distance.
    const bool on_map = Slg::IsOnMap({int32_t{p.x} * 65536, int32_t{p.y} * 65536}) != 0;
    if (on_map && d >= kWalkNearest && d <= kWalkFarthest) {
      Battle().think_search.destination = s.range_list[i];
      return true;
    }
  }
  return false;
}

// ---- Steps and actions ----

void BossGo(uint16_t step) { Battle().enemy.think_step = step; }
void BossGo(uint16_t step, uint16_t next) {
  Battle().enemy.think_step = step;
  Battle().enemy.next_step = next;
}
void BossTakeNext(uint16_t end_step) {
  SlgEnemyState& e = Battle().enemy;
  e.think_step = e.next_step;
  e.next_step = end_step;
}

void BossCamera() {
  if (const SlgUnit* unit = SlgActingUnit()) Slg::ScrollToUnit(unit->slot);
}

void BossCursorOnUnit() {
  const SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) return;
  SlgBattleState& s = Battle().state;
  const SlgCell cell = SlgUnitCell(*unit);
  const SlgPoint snap = SnapPosToCell(unit->x >> 16, unit->y >> 16);
  s.cursor_cell = {cell.column, cell.row};
  s.cursor_snap = {static_cast<int16_t>(snap.x), static_cast<int16_t>(snap.y)};
}

bool BossCameraArrived() {
  if (Slg::ScrollStep() == 0) return false;
  BossCursorOnUnit();
  Battle().phase_sub = 0;
  return true;
}

void BossAttack(SlgMainWork* work, int type) {
  BattleContext& b = Battle();
  SlgUnit* unit = b.state.acting_unit < b.state.unit_count && b.state.acting_unit < kSlgMaxUnits
                      ? &b.state.units[b.state.acting_unit]
                      : nullptr;
  if (unit != nullptr) unit->stats.attack_type = static_cast<uint8_t>(type);
  b.cmd.attack_mode = static_cast<uint8_t>(type);
  Slg::SetPhaseState(work, kEnemyPhaseAttack);
}

void BossFlagAttack(SlgMainWork* work, int mode) {
  Battle().cmd.attack_mode = static_cast<uint8_t>(mode);
  Slg::SetPhaseState(work, kEnemyPhaseAttack);
}

void BossSupport(SlgMainWork* work) { Slg::SetPhaseState(work, kEnemyPhaseSupport); }
void BossGuard(SlgMainWork* work) { Slg::SetPhaseState(work, kEnemyPhaseGuard); }
void BossCharge(SlgMainWork* work) { Slg::SetPhaseState(work, kBossPhaseCharge); }

void BossWalk(SlgMainWork* work, SlgRangePos cell) {
  Battle().think_search.destination = cell;
  Slg::SetPhaseState(work, kEnemyPhaseWalk);
  Battle().phase_sub = 0;
}

bool BossApproach(SlgMainWork* work, int attack) {
  if (EnemyApproachTarget(attack) == 0) return false;
  BossWalk(work, Battle().think_search.destination);
  return true;
}

namespace {
// Walks to entry i of the move list, unless it is entry 0 (the unit's own choice to stay).
bool WalkToEntry(SlgMainWork* work, int i) {
  const SlgSearchState& s = Battle().search;
  if (i <= 0 || static_cast<uint32_t>(i) >= s.range_count) return false;
  BossWalk(work, s.range_list[static_cast<size_t>(i)]);
  return true;
}
}  // namespace

bool BossBest(SlgMainWork* work) { return WalkToEntry(work, EnemyBestMoveCell()); }
bool BossRetreat(SlgMainWork* work) { return WalkToEntry(work, EnemyRetreatCell()); }

bool BossRandomWalk(SlgMainWork* work) {
  if (!RandomWalkCell()) return false;
  BossWalk(work, Battle().think_search.destination);
  return true;
}

void BossGuardOrCharge(int g, int c, int low) {
  BossCamera();
  BossCursorOnUnit();
  BossGo(static_cast<uint16_t>(GuardOrChargeStep(g, c, low)));
}

// ---- Terms added with the step lists of kinds 20-24, 34 and 35 ----

namespace {
constexpr int kNearTo = 4;  // kind 24's N counts units this near unit 0 or nearer
}  // namespace

int NearPlayerCount() {
  return PlayerCountFromFirst([](int d) { return d <= kNearTo; });
}

int GuardOrChargeStepWith(int (*count)(), int g, int c, int low) {
  const SlgUnit* acting = SlgActingUnit();
  if (acting == nullptr) return g;
  if (static_cast<int>(acting->stats.kiai) == acting->stats.max_kiai) return g;
  if (count() < 3) return c;
  if (acting->stats.life < acting->stats.max_life / 2) return low;
  return low == g ? c : g;
}

void BossGuardOrChargeWith(int (*count)(), int g, int c, int low) {
  BossCamera();
  BossCursorOnUnit();
  BossGo(static_cast<uint16_t>(GuardOrChargeStepWith(count, g, c, low)));
}
// ---- end of the terms added with kinds 20-24, 34 and 35 ----
