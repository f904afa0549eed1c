// Unit removal and the destruction of the minor enemies, beside the events' stand-ins
// (battle/slg_events.h).

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_kind_states.h"
#include "battle/slg_unit.h"

namespace {

constexpr uint8_t kEnemySide = 1;
constexpr uint32_t kUnitBlinkFlag = 0x80;
constexpr uint8_t kBlinks = 30;

template <class Each>
void ForEachEnemy(Each each) {
  SlgBattleState& state = Battle().state;
  const size_t count = std::min<size_t>(state.unit_count, state.units.size());
  for (size_t i = 0; i < count; ++i) {
    SlgUnit& unit = state.units[i];
    if (unit.side == kEnemySide && unit.step != kSlgDeadStep) each(unit);
  }
}

}  // namespace

void EventRemoveUnit(SlgUnit* unit) {
  if (unit == nullptr) return;
  ClearUnitCell(*unit);
  FreeAnmObj(unit->anm);
  FreeAnmObj(unit->anm2);
  unit->anm = nullptr;
  unit->anm2 = nullptr;
  FreeFamilyObjectsOfLeaving(*unit);  // a boss's extra and low-life objects with it
  unit->step = kSlgDeadStep;
}

int EventDestroyEnemies() {
  BattleContext& battle = Battle();
  switch (battle.destroy_phase) {
    case 0:
      battle.destroy_counter = kBlinks;
      battle.destroy_phase = 2;
      return 0;
    case 2:
      ForEachEnemy([](SlgUnit& unit) {
        unit.flags &= ~kUnitBlinkFlag;
        Slg::HideUnit(unit);
      });
      --battle.destroy_counter;
      battle.destroy_phase = battle.destroy_counter == 0 ? 3 : 1;
      return 0;
    case 1:
      ForEachEnemy([](SlgUnit& unit) {
        unit.flags |= kUnitBlinkFlag;
        Slg::ShowUnit(unit);
      });
      battle.destroy_phase = 2;
      return 0;
    case 3:
      ForEachEnemy([](SlgUnit& unit) { EventRemoveUnit(&unit); });
      battle.destroy_phase = 0;
      return 1;
    default:
      // Not a phase of its own: start again.
      battle.destroy_phase = 0;
      return 0;
  }
}

void EventDestroyEnemiesReset() { Battle().destroy_phase = 0; }
