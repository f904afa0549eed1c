// The battle's arithmetic: trust, critical hits, damage, gain, recovery.

#include "battle/slg_formulas.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_unit.h"
#include "engine/core/debug_trace.h"

const std::array<SlgTrustBonus, kSlgTrustLevels> kTrustBonusTable = {{
    {0, 0, 0, 0, 0, 0},  {1, 0, 0, 1, 1, 1},  {1, 0, 0, 1, 1, 1},  {2, 0, 0, 2, 1, 2},
    {2, 1, 0, 2, 2, 2},  {3, 1, 0, 3, 2, 3},  {3, 1, 0, 3, 2, 3},  {4, 1, 0, 4, 3, 4},
    {4, 2, 0, 4, 3, 4},  {5, 2, 0, 5, 3, 5},  {5, 2, 0, 5, 4, 5},  {6, 2, 1, 6, 4, 6},
    {6, 2, 1, 6, 4, 6},  {6, 3, 1, 6, 4, 6},  {7, 3, 1, 7, 4, 7},  {7, 3, 1, 7, 5, 7},
    {7, 3, 1, 7, 5, 7},  {8, 3, 1, 8, 5, 8},  {8, 3, 1, 8, 5, 8},  {8, 4, 1, 8, 6, 8},
    {8, 4, 1, 8, 6, 8},  {9, 4, 1, 9, 6, 9},  {9, 4, 1, 9, 6, 9},  {9, 4, 1, 9, 7, 9},
    {9, 4, 1, 9, 7, 9},  {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10},
    {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10},
    {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10}, {10, 5, 2, 10, 7, 10},
}};

const std::array<int, 12> kTrustSaveVars = {11, 21, 31, 51, 61, 41, 10, 20, 30, 50, 60, 40};

namespace {

constexpr uint8_t kCharacterHealer = 4;  // her special attack heals (the heal-special switch)
constexpr uint8_t kKindNoCounter = 51;   // a healer of this kind keeps its counter

const SlgTrustBonus& RowOf(int level) {
  return kTrustBonusTable[static_cast<size_t>(std::clamp(level, 0, kSlgTrustLevels - 1))];
}

// The unit in a slot byte (the attack_type byte of a target holds the acting unit's slot); null
// for a slot not in use.
SlgUnit* UnitInSlot(uint8_t slot) {
  SlgBattleState& s = Battle().state;
  if (slot >= s.unit_count || static_cast<size_t>(slot) >= s.units.size()) {
    DebugPrint("CalcUnitAction: slot %d is not a unit\n", slot);
    return nullptr;
  }
  return &s.units[slot];
}

SlgUnit* Hero() {
  SlgBattleState& s = Battle().state;
  for (size_t i = 0; i < s.unit_count && i < s.units.size(); ++i) {
    if (s.units[i].character == 0) return &s.units[i];
  }
  return nullptr;
}

void DamageFrom(SlgUnit& target, const SlgUnit& attacker) {
  SlgUnitStats& t = target.stats;
  int defence = t.total_defence;
  if ((target.flags & kUnitGuarding) != 0) defence += 8;
  const int power = attacker.stats.action_bytes[0];
  // 16.16: the quotient as a double, truncated toward zero, then 2.0 added (truncating after
  // the addition would round a factor below 2.0 down instead of up).
  int64_t factor =
      static_cast<int64_t>(static_cast<double>(power - defence) / 10.0 * 65536.0) + 2 * 0x10000;
  if (factor < 0) factor = 0x10000;
  if (factor > 10 * 0x10000) factor = 10 * 0x10000;
  const int64_t r = (SlgRand() >> 3) % 8;
  const int64_t damage = (int64_t{power} * factor >> 16) + r;
  t.result = static_cast<uint16_t>(damage);
  int64_t gain = t.max_life != 0 ? damage * 100 / t.max_life + 5 : 0;
  if (t.kiai == 0 && t.max_kiai == 0) gain = 0;
  if (t.kiai + gain > t.max_kiai) gain = int64_t{t.max_kiai} - t.kiai;
  t.action_bytes[1] = static_cast<uint8_t>(gain);
}

}  // namespace

int TrustLevel(const SlgUnit& unit) {
  if (unit.side != 0 || unit.character == 0) return 0;
  const int v = GetTrustVar(unit.character);
  return std::clamp(v, 0, kSlgTrustLevels - 1);
}

void ApplyTrustBonus(SlgUnit& unit) {
  const SlgTrustBonus& row = RowOf(TrustLevel(unit));
  unit.stats.trust_attack = row.attack;
  unit.stats.trust_defence = row.defence;
  unit.stats.trust_move = row.move;
}

int IsCriticalHit(const SlgUnit& unit) {
  const int threshold = RowOf(TrustLevel(unit)).critical + 15;
  return (SlgRand() >> 3) % 100 < threshold ? 1 : 0;
}

int KiaiRefill(int level) { return RowOf(level).refill + 20; }

int CalcUnitAction(SlgUnit& unit, int kind) {
  const int level = TrustLevel(unit);
  SlgUnitStats& s = unit.stats;
  switch (kind) {
    case kSlgActPower: {
      int power = s.total_attack;
      if (s.attack_type == 1) {
        s.kiai = 0;
        power = s.total_attack + s.special_power;
      } else if (IsCriticalHit(unit) != 0) {
        s.attack_type = 2;
        power = s.total_attack + 5;
      } else {
        s.attack_type = 0;
      }
      s.action_bytes[0] = static_cast<uint8_t>(power);
      break;
    }
    case kSlgActDamage:
      if (const SlgUnit* attacker = UnitInSlot(s.attack_type)) DamageFrom(unit, *attacker);
      break;
    case kSlgActRefill: {
      const int kiai = std::min<int>(s.kiai + KiaiRefill(level), s.max_kiai);
      s.kiai = static_cast<uint16_t>(std::max(kiai, 0));
      break;
    }
    case kSlgActRecover: {
      SlgUnit* healer = UnitInSlot(s.attack_type);
      if (healer == nullptr) break;
      if (healer->character == kCharacterHealer && Battle().heal_special != 0) {
        s.result = static_cast<uint16_t>(-int{healer->stats.special_power});
        s.action_bytes[1] = 0;
      } else {
        s.life = static_cast<int16_t>(s.life + s.recovery);
      }
      if (s.life > s.max_life) s.life = s.max_life;
      if (healer->kind != kKindNoCounter) --healer->stats.counter;
      break;
    }
    case kSlgActCombined: {
      s.kiai = 0;
      int power = 0;
      if (SlgUnit* hero = Hero()) {
        hero->stats.kiai = 0;
        power = 2 * hero->stats.total_attack;
      }
      s.action_bytes[0] = static_cast<uint8_t>(power);
      break;
    }
    default:
      break;
  }
  return level;
}

void LoadTrustVars() {
  auto& save = Battle().trust_save;
  for (size_t i = 0; i < kTrustSaveVars.size(); ++i) save[i] = SlgGetMacroP(kTrustSaveVars[i]);
}

void SaveTrustVars() {
  const auto& save = Battle().trust_save;
  for (size_t i = 0; i < kTrustSaveVars.size(); ++i) SlgSetMacroP(kTrustSaveVars[i], save[i]);
}

namespace Slg {

void RecalcUnitStats(SlgUnit& unit) {
  ApplyTrustBonus(unit);
  CalcStatTotals(unit.stats);
}

}  // namespace Slg
