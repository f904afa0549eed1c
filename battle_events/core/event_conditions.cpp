#include "battle_events/core/event_conditions.h"

#include <climits>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"

namespace {

// Wrapping 32-bit arithmetic: the arguments come from condition strings.
int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

constexpr uint16_t kTimingActingChanged = 0x0008;

// 1 when no live unit (step other than 255) matches.
template <class Match>
int32_t NoLiveUnit(Match match) {
  const SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = s.units[i];
    if (SlgUnitLive(u) && match(u)) return 0;
  }
  return 1;
}

// The unit PFP and FGU test: none (kSlgNoUnit) unless both the acting and the previous acting
// unit are records in use; then the previous one on the frame the acting unit changed.
uint32_t FinishedOrActingUnit() {
  const SlgBattleState& s = Battle().state;
  if (!SlgSlotInUse(s.acting_unit) || !SlgSlotInUse(s.previous_acting)) return kSlgNoUnit;
  return (s.turn_flags & kTimingActingChanged) != 0 ? s.previous_acting : s.acting_unit;
}

// The life test of HP and HGU: 1 when absent or max life x p >= life x 100.
int32_t LifeAtMost(const SlgUnit* u, int32_t percent) {
  if (u == nullptr) return 1;
  return WrapMul(u->stats.max_life, percent) >= WrapMul(u->stats.life, 100) ? 1 : 0;
}

uint16_t RefSlot(int n) { return Battle().event_unit_ref[static_cast<size_t>(n)]; }

}  // namespace

int32_t CondF(int32_t n) { return CheckEventFlag(n); }

int32_t CondFAD(int32_t i) { return SlgGetMacroP(i); }

int32_t CondR(int32_t p) {
  const int32_t r = SlgRand() & 0xFFFF;
  return r * 100 < WrapMul(p, 65536) ? 1 : 0;
}

int32_t CondM(int32_t x) { return Battle().player.last_choice == x ? 1 : 0; }

int32_t CondT() { return Battle().state.turn_counter; }

int32_t CondNG(int32_t group) {
  return NoLiveUnit([&](const SlgUnit& u) { return u.side == group; });
}

int32_t CondNU(int32_t kind) {
  return NoLiveUnit([&](const SlgUnit& u) { return u.kind == kind; });
}

int32_t CondNP(int32_t character) { return UnitAbsent(0, character); }

int32_t CondUAJ(int32_t group1, int32_t kind1, int32_t group2, int32_t kind2) {
  const SlgPoint p1 = UnitCellPos(group1, kind1);
  const SlgPoint p2 = UnitCellPos(group2, kind2);
  const int64_t dx = int64_t{p1.x} - p2.x;
  const int64_t dy = int64_t{p1.y} - p2.y;
  if (std::llabs(dx) != 48 || std::llabs(dy) != 24) return 4;
  if (dx > 0) return dy > 0 ? 3 : 2;
  return dy > 0 ? 0 : 1;
}

int32_t CondPP(int32_t character) {
  return IsPlayerChara(character, Battle().state.acting_unit);
}

int32_t CondPFP(int32_t character) { return IsPlayerChara(character, FinishedOrActingUnit()); }

int32_t CondPGU(int32_t group, int32_t kind) {
  return IsGroupKind(group, kind, Battle().state.acting_unit);
}

int32_t CondFGU(int32_t group, int32_t kind) {
  return IsGroupKind(group, kind, FinishedOrActingUnit());
}

int32_t CondHP(int32_t character, int32_t percent) {
  return LifeAtMost(FindUnitByGroupKind(0, character), percent);
}

int32_t CondHGU(int32_t group, int32_t kind, int32_t percent) {
  return LifeAtMost(FindGroupKindUnit(group, kind), percent);
}

int32_t CondIMR() { return GetTopTrustHeroine(); }

int32_t CondRI(int32_t heroine) { return GetTrustVar(heroine); }

int32_t CondKP(int32_t character) { return IsPlayerChara(character, RefSlot(0)); }

int32_t CondKGU(int32_t group, int32_t kind) { return IsGroupKind(group, kind, RefSlot(0)); }

int32_t CondCP(int32_t character) { return IsPlayerChara(character, RefSlot(1)); }

int32_t CondLP(int32_t character, int32_t d, int32_t x, int32_t y) {
  const SlgUnit* u = FindUnitByGroupKind(0, character);
  if (u == nullptr) return INT32_MIN;
  const SlgPoint p = CellToPosHeight(x, y);
  const int32_t across = WrapSub(u->x >> 16, p.x);
  const int32_t down = WrapSub(u->y >> 16, p.y);
  return WrapSub(across, WrapMul(WrapMul(2, d), down));
}

int32_t CondXF(int32_t x, int32_t y) { return CellToPosHeight(x, y).x; }
int32_t CondYF(int32_t x, int32_t y) { return CellToPosHeight(x, y).y; }
int32_t CondXGU(int32_t group, int32_t kind) { return UnitCellPos(group, kind).x; }
int32_t CondYGU(int32_t group, int32_t kind) { return UnitCellPos(group, kind).y; }
