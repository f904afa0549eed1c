#pragma once
// Unit states the commands set, moved on by hand as the state handlers will in a running battle,
// for tests that drive a phase or a program without the main task's unit pass; and that pass
// run by hand, and a unit's walk along its path through it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"

namespace unit_state_moves {

// 3 -> 1, 4 -> 8, 9 -> 0, and the attacker's states 5-7 through the attack frame's entries
// (unless `attack` is false: they then stay as they are); false for any other state.
inline bool MoveStateOn(SlgUnit& u, bool attack = true) {
  SlgPair pos{};
  switch (u.state) {
    case 3: SetUnitState(u, 1); return true;
    case 4: SetUnitState(u, 8); return true;
    case 9: SetUnitState(u, 0); return true;
    case 5: if (attack) AttackStateLeadIn(u, pos); return true;
    case 6: if (attack) Slg::AttackState(u, pos); return true;
    case 7: if (attack) AttackStateEnd(u, pos); return true;
    default: return false;
  }
}

// Every unit's state moved on by MoveStateOn; `other` (when given) gets each unit whose state
// MoveStateOn leaves.
inline void MoveStatesOn(bool attack = true,
                         const std::function<void(SlgUnit&)>& other = nullptr) {
  for (uint32_t i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (!MoveStateOn(u, attack) && other) other(u);
  }
}

// The main task's unit pass by hand: every live shown unit's state handler run once.
inline void UpdateShownUnits() {
  SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count; ++i) {
    SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (u.step != kSlgDeadStep && (u.flags & kUnitShown) != 0) Slg::UpdateUnit(u);
  }
}

// The unit walked along its built path from its walk start until it stands ready again (at most
// `limit` frames): each frame `step` (the rig's frame), the path walked (its end stops the walk),
// the unit pass, then `each` when given. The states the unit passes through, in order (one entry
// per change).
inline std::vector<int> WalkRoad(SlgUnit& u, int limit, const std::function<void()>& step,
                                 const std::function<void()>& each = nullptr) {
  SetUnitState(u, kUnitStateWalkStart);
  std::vector<int> seen = {u.state};
  bool walking = true;
  const auto note = [&] {
    if (seen.back() != u.state) seen.push_back(u.state);
  };
  for (int f = 0; f < limit && (walking || u.state != kUnitStateReady); ++f) {
    step();
    if (walking && Slg::WalkPath(u) == 1) {
      SetUnitState(u, kUnitStateWalkStop);
      walking = false;
    }
    note();
    UpdateShownUnits();
    note();
    if (each) each();
  }
  return seen;
}

}  // namespace unit_state_moves
