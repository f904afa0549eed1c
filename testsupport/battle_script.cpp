#include "testsupport/battle_script.h"

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_player.h"
#include "battle/slg_turn.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/program_driver.h"

namespace testsupport {

bool BattleScript::Ready() const { return driver_.frame() >= next_press_; }

void BattleScript::Press(GameKeyBits key) {
  driver_.Schedule({GameKeyDown(driver_.frame() + 1, key), GameKeyUp(driver_.frame() + 2, key)});
  next_press_ = driver_.frame() + 3;
}

void BattleScript::HoldArrows(GameKeyBits keys) {
  for (const GameKeyBits k : {kGameKeyUp, kGameKeyDown, kGameKeyLeft, kGameKeyRight}) {
    const bool want = (keys & k) != 0;
    if (want == ((held_ & k) != 0)) continue;
    driver_.Schedule(want ? GameKeyDown(driver_.frame() + 1, k) : GameKeyUp(driver_.frame() + 1, k));
    held_ = want ? (held_ | k) : (held_ & ~k);
  }
}

bool BattleScript::EndHeroTurn() {
  const BattleContext& b = Battle();
  const SlgUnit* acting = ActingUnit();
  if (acting == nullptr || acting->side != 0 || b.control.main_work == nullptr) return false;
  const uint8_t state = b.control.main_work->step;
  if (state == kSlgPlayerFree) {
    Press(kGameKey0);
    return true;
  }
  if (state == kSlgPlayerCommand && b.phase_sub == 3) {
    Press(SlgCommandChoice() == kSlgPlayerEndTurn ? kGameKey0 : kGameKeyRight);
    return true;
  }
  return false;
}

bool BattleScript::HeroWalksAndAttacks(SlgCell to) {
  const BattleContext& b = Battle();
  const SlgUnit* acting = ActingUnit();
  if (acting == nullptr || acting->side != 0 || b.control.main_work == nullptr) {
    HoldArrows(0);
    return false;
  }
  const SlgCell at = PosToCell(acting->x >> 16, acting->y >> 16);
  const bool there = at.column == to.column && at.row == to.row;
  switch (b.control.main_work->step) {
    case kSlgPlayerFree:  // OK opens the command window
      HoldArrows(0);
      Press(kGameKey0);
      return true;
    case kSlgPlayerCommand: {
      // The walk, or the attack once beside the enemy: the selection steps right to its column
      // (and down within the attack column, which opens on the special attack).
      if (b.phase_sub != 3) break;
      HoldArrows(0);
      const int want = there ? kSlgPlayerAttack : kSlgPlayerMove;
      const int choice = SlgCommandChoice();
      const bool attack_column = choice == kSlgPlayerSpecial || choice == kSlgPlayerCombination;
      Press(choice == want                                ? kGameKey0
            : want == kSlgPlayerAttack && attack_column ? kGameKeyDown
                                                          : kGameKeyRight);
      return true;
    }
    case kSlgPlayerMove: {
      if (b.phase_sub == 4) {  // OK once the walk has ended
        HoldArrows(0);
        Press(kGameKey0);
        return true;
      }
      if (b.phase_sub != 1) break;
      const SlgCell cursor{b.state.cursor_cell[0], b.state.cursor_cell[1]};
      if (cursor.column == to.column && cursor.row == to.row) {
        HoldArrows(0);
        Press(kGameKey0);
        return true;
      }
      const SlgPoint aim = CellCentre(to);
      GameKeyBits keys = 0;
      if (b.state.cursor_point[0] < aim.x - 8) keys |= kGameKeyRight;
      if (b.state.cursor_point[0] > aim.x + 8) keys |= kGameKeyLeft;
      if (b.state.cursor_point[1] < aim.y - 4) keys |= kGameKeyDown;
      if (b.state.cursor_point[1] > aim.y + 4) keys |= kGameKeyUp;
      HoldArrows(keys);
      return keys != 0;
    }
    case kSlgPlayerAttack:  // OK on the target, OK again on its area
      if (b.phase_sub != 1 && b.phase_sub != 3) break;
      HoldArrows(0);
      Press(kGameKey0);
      return true;
    default:
      break;
  }
  HoldArrows(0);
  return false;
}

bool BattleScript::AnswerGameOver(bool give_up) {
  const BattleContext& b = Battle();
  if (Ctx().game_task.FindTask(kSlgGameOverTaskName) == nullptr || b.turn.game_over_step != 5) {
    return false;
  }
  Press(give_up && b.game_over.choice != 0 ? kGameKeyRight : kGameKey0);
  return true;
}

const SlgUnit* BattleScript::ActingUnit() {
  const SlgBattleState& s = Battle().state;
  return s.acting_unit < s.unit_count && s.acting_unit < kSlgMaxUnits
             ? &s.units[s.acting_unit]
             : nullptr;
}

SlgPoint BattleScript::CellCentre(SlgCell c) {
  return {static_cast<int32_t>((2 * c.column + (c.row & 1)) * 48),
          static_cast<int32_t>(24 * c.row - 24)};
}

void BattleScript::InstallAttackStubs(std::initializer_list<int> kinds) {
  for (const int kind : kinds) {
    if (kind < 0 || kind >= kSlgActionRows) continue;
    Battle().action_table[static_cast<size_t>(kind)] = [](SlgUnit& unit, SlgPair&) {
      EndAttack(unit);
    };
  }
}

}  // namespace testsupport
