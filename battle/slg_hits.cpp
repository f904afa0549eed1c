#include "battle/slg_hits.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"

namespace {

constexpr uint8_t kHealerCharacter = 4;
constexpr uint8_t kAttackSpecial = 1;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateHit = 9;
constexpr uint8_t kStateCover = 14;
constexpr uint8_t kStateDefeated = 15;
constexpr uint32_t kHitFlags = kUnitInDamageList | kUnitFrozen | kUnitShown;  // 0x89

// Script variables of heroines 1-6: fallen, and defeats made.
constexpr std::array<int, 7> kFallenVar = {0, 13, 23, 33, 53, 63, 43};
constexpr std::array<int, 7> kDefeatVar = {0, 12, 22, 32, 52, 62, 42};

bool IsHeroine(uint8_t character) { return character >= 1 && character <= 6; }

bool HealsInstead(const SlgUnit& attacker) {
  return attacker.character == kHealerCharacter && attacker.stats.attack_type == kAttackSpecial;
}

void ClearShade(SlgUnit& unit) {
  if (unit.anm != nullptr) unit.anm->shade = 0;
}

size_t UnitsInUse() {
  return std::min<size_t>(Battle().state.unit_count, kSlgMaxUnits);
}

// The hero's record, or null when no unit of character 0 is on the map.
SlgUnit* Hero() {
  const uint16_t slot = Slg::FindUnitByChara(0);
  if (slot >= UnitsInUse()) return nullptr;
  return &Battle().state.units[slot];
}

// The hero takes the hit meant for `covered`.
void CoverHit(SlgUnit& hero, SlgUnit& covered, const SlgUnit& attacker) {
  hero.flags |= kHitFlags;
  hero.covered_slot() = covered.slot;
  hero.stats.attack_type = attacker.slot;
  hero.cover_hold() = 0;
  hero.stats.result = 0;
  hero.flags |= kUnitShown;
  --hero.cover_count();
  SetUnitState(hero, kStateCover);
  ClearShade(hero);
  SetUnitState(covered, kStateStand);
  SetUnitCellShade(covered);
}

// The hero is busy covering while the unit in his covered-slot byte still has flag 0x10.
bool HeroBusyCovering(SlgUnit& hero) {
  const uint8_t covered = hero.covered_slot();
  if (covered == 0 || covered >= UnitsInUse()) return false;
  return (Battle().state.units[covered].flags & kUnitCovered) != 0;
}

void Hit(SlgUnit& unit, SlgUnit& attacker) {
  unit.flags |= kHitFlags;
  unit.stats.attack_type = attacker.slot;
  unit.reaction_over() = 0;
  SetUnitState(unit, kStateHit);
  if (HealsInstead(attacker)) {
    BattleContext& b = Battle();
    b.heal_special = 1;
    CalcUnitAction(unit, kSlgActRecover);
    b.heal_special = 0;
    ++attacker.stats.counter;  // the recovery arithmetic took one use off; a special takes none
  } else {
    CalcUnitAction(unit, kSlgActDamage);
  }
  if (unit.stats.result == 0) SetUnitState(unit, kStateStand);
}

}  // namespace

namespace Slg {

int MarkHitUnits(SlgUnit& attacker) {
  BattleContext& b = Battle();
  ClearShade(attacker);
  // A flood may list one cell twice: each unit is handled once per call.
  b.hit_marks.fill(0);
  SlgUnit* hero = Hero();
  const size_t count = std::min<size_t>(b.search.range_count, kSlgRangeListSize);
  const size_t in_use = UnitsInUse();
  int hits = 0;
  for (size_t i = 0; i < count; ++i) {
    const SlgRangePos p = b.search.range_list[i];
    const SlgCell cell = PosToCell(p.x, p.y);
    const uint16_t slot = GetUnitAtCell(cell.column, cell.row);
    if (slot >= in_use) continue;
    SlgUnit& unit = b.state.units[slot];
    if (&unit == &attacker || unit.step == kSlgDeadStep || b.hit_marks[slot] != 0) continue;
    b.hit_marks[slot] = 1;
    ClearShade(unit);
    if ((unit.flags & kUnitCovered) != 0 && attacker.character != kHealerCharacter &&
        hero != nullptr && hero != &unit && hero->cover_count() > 0) {
      CoverHit(*hero, unit, attacker);
      ++hits;
      continue;
    }
    if (&unit == hero && HeroBusyCovering(unit)) continue;
    Hit(unit, attacker);
    ++hits;
  }
  return hits;
}

int ApplyHits(SlgUnit& attacker) {
  BattleContext& b = Battle();
  const bool gain = !HealsInstead(attacker);
  int defeated = 0;
  for (size_t i = 0; i < UnitsInUse(); ++i) {
    SlgUnit& unit = b.state.units[i];
    if ((unit.flags & kUnitInDamageList) == 0) continue;
    SlgUnitStats& s = unit.stats;
    // The result is signed: a heal is stored as a negative amount.
    const int life = int{s.life} - int{static_cast<int16_t>(s.result)};
    s.life = static_cast<int16_t>(std::clamp(life, 0, std::max(0, int{s.max_life})));
    if (s.life == 0) {
      if (unit.side == 0 && IsHeroine(unit.character)) {
        SlgSetMacroP(kFallenVar[unit.character], 1);
      } else if (attacker.side == 0 && IsHeroine(attacker.character)) {
        const int var = kDefeatVar[attacker.character];
        SlgSetMacroP(var, static_cast<uint16_t>(SlgGetMacroP(var) + 1));
      }
      SetUnitState(unit, kStateDefeated);
      b.event_unit_ref[0] = attacker.slot;
      unit.flags |= kUnitActed;
      ++defeated;
    }
    if (gain) {
      const int kiai = std::min(int{s.kiai} + int{s.action_bytes[1]}, int{s.max_kiai});
      s.kiai = static_cast<uint16_t>(std::max(kiai, 0));
    }
  }
  return defeated > 0 ? 1 : 0;
}

void ClearBattleTallies() {
  for (int c = 1; c <= 6; ++c) SlgSetMacroP(kFallenVar[static_cast<size_t>(c)], 0);
  for (int c = 1; c <= 6; ++c) SlgSetMacroP(kDefeatVar[static_cast<size_t>(c)], 0);
  SlgSetMacroP(72, 0);
}

void ResetUnitTurnFlags() {
  ShowUnflaggedUnits();
  BattleContext& b = Battle();
  for (size_t i = 0; i < UnitsInUse(); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.step == kSlgDeadStep) continue;
    unit.flags &= ~uint32_t{0xF};
    if (unit.anm != nullptr) SetUnitCellShade(unit);
  }
}

void MarkFlaggedUnits() {
  BattleContext& b = Battle();
  for (size_t i = 0; i < UnitsInUse(); ++i) {
    SlgUnit& unit = b.state.units[i];
    if ((unit.flags & kUnitInDamageList) != 0) unit.reaction_over() = 1;
  }
}

}  // namespace Slg
