#pragma once
// A boss on a board on the rig, driven one rig frame at a time: the phase step (the acting
// unit's program row, or a program given), then the unit states the commands set moved on by
// hand as the state handlers will (3 -> 1, 4 -> 8, 9/12/13 -> 0, the charge's 11 -> 8 after a
// few frames, and on request a defeated unit's 15 to a dead slot); the attacker's states 5-7 run the attack frame's entries with a stub that ends
// the attack at once.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_program.h"
#include "battle/slg_death.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/input/dinput.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"
#include "testsupport/system_sprites.h"
#include "tests/battle/board_rig.h"
#include "tests/battle/unit_state_moves.h"

namespace boss_rig {

using board_rig::Cell;

// What the stub attack saw: calls, the attack-type byte, SlgAttackMode and the target.
struct AttackSeen {
  int calls = 0;
  int type = -1;
  int mode = -1;
  std::vector<int> targets;
  int damage = 0;  // set by a test: life the attacker loses in its attack (a counter-blow)
};
inline AttackSeen& Seen() {
  static AttackSeen seen;
  return seen;
}
inline void StubAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  AttackSeen& s = Seen();
  ++s.calls;
  s.type = unit.stats.attack_type;
  s.mode = Battle().cmd.attack_mode;
  s.targets.push_back(Battle().cmd.target_unit);
  unit.stats.life = static_cast<int16_t>(unit.stats.life - s.damage);
  EndAttack(unit);
}

inline Cell CellOf(SlgRangePos p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return {c.column, c.row};
}
inline Cell CellOf(const SlgUnit& u) {
  const SlgCell c = PosToCell(u.x >> 16, u.y >> 16);
  return {c.column, c.row};
}
inline std::vector<Cell> Listed() {
  std::vector<Cell> out;
  const SlgSearchState& s = Battle().search;
  for (uint32_t i = 0; i < s.range_count; ++i) out.push_back(CellOf(s.range_list[i]));
  return out;
}
inline bool Has(const std::vector<Cell>& list, Cell c) {
  for (const Cell& x : list)
    if (x == c) return true;
  return false;
}
// A free cell of `list` not in `except` and not `own`, counted from the list's end; none: nullopt.
inline std::optional<Cell> FreeCellOf(const std::vector<Cell>& list,
                                      const std::vector<Cell>& except, Cell own) {
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (*it == own || Has(except, *it)) continue;
    if (GetUnitAtCell(it->first, it->second) != kSlgNoUnit) continue;
    return *it;
  }
  return std::nullopt;
}

class BossRig : public board_rig::BoardRig {
 public:
  BossRig() { Seen() = {}; }

  uint8_t Player(Cell c, uint8_t character = 1, int life = 100) {
    return Add(c, {.side = 0, .character = character, .kind = character, .category = 0}, life);
  }
  // The acting boss with its kiai; its gate flag set.
  uint8_t Boss(Cell c, uint8_t kind, int kiai = 10, int max_kiai = 50) {
    const uint8_t slot = Add(c, {.side = 1, .character = 30, .kind = kind, .category = 1});
    U(slot).stats.kiai = static_cast<uint16_t>(kiai);
    U(slot).stats.max_kiai = static_cast<int16_t>(max_kiai);
    rig.battle().state.acting_unit = slot;
    rig.battle().action_table[kind] = &StubAttack;
    const int gate = BossMemberOf(kind).gate_flag;
    if (gate >= 0) SetEventFlag(static_cast<uint32_t>(gate));
    return slot;
  }
  // One frame: the phase step, then the unit states moved on.
  void Frame() {
    const bool key1 = work.step == kEnemyPhaseAttack && frames % 2 == 0;
    if (key1) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey1)});
    rig.Step();
    if (program != nullptr) {
      program(&work);
    } else {
      EnemyPhaseStep(&work);
    }
    if (key1) rig.Schedule({testsupport::GameKeyUp(rig.frame(), kGameKey1)});
    ++frames;
    unit_state_moves::MoveStatesOn(attack_states, [this](SlgUnit& u) {
      switch (u.state) {
        case 12:
        case 13: SetUnitState(u, 0); break;
        case 11:
          if (++charge_frames > 3) SetUnitState(u, 8);
          break;
        // The death action's end (phase 81 waits for it), when the test asks for it.
        case 15:
          if (dead_slots) Slg::MakeDeadSlot(u);
          break;
        default: break;
      }
    });
  }
  // Frames until `stop` holds after a frame or the action ends (phase 15), noting each new
  // phase step and each new think step seen in phase 80; false after `limit` frames.
  bool Run(int limit, const std::function<bool()>& stop = [] { return false; }) {
    for (int f = 0; f < limit; ++f) {
      if (work.step == kEnemyPhaseThink) Note(steps, Battle().enemy.think_step);
      Frame();
      Note(phases, work.step);
      if (work.step == kSlgPhaseStart || stop()) return true;
    }
    return false;
  }
  // Until an action phase (1, 2, 8, 9, 10) has started or the action ends.
  bool RunToAction(int limit = 120) {
    return Run(limit, [this] {
      const int p = work.step;
      return p == 1 || p == 2 || p == 8 || p == 9 || p == 10;
    });
  }
  static void Note(std::vector<int>& v, int x) {
    if (v.empty() || v.back() != x) v.push_back(x);
  }

  SlgMainWork work{};
  std::vector<int> phases;
  std::vector<int> steps;
  int frames = 0;
  int charge_frames = 0;
  bool attack_states = true;  // states 5-7 run the attack frame (not for a spawner's state 6)
  bool dead_slots = false;    // a defeated unit's state 15 turns its slot dead
  EnemyProgramFn program = nullptr;  // run instead of the acting unit's row when set
};

}  // namespace boss_rig
