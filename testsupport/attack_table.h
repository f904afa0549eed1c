#pragma once
// The whole attack table's rows: every kind's attacks of every type on the board road (the
// command, the lead-in, the hits and the end timeline as in a battle) and the first two types on
// the battle action task's road, the combination of every heroine kind, grouped by family; on
// the fixtures' default sets (testsupport/attack_rig.h plays a row). The attack table's tests
// play them; a benchmark plays them all to give the table's rate against real time.

#include <array>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "battle/slg_attack_state.h"
#include "testsupport/attack_rig.h"

namespace testsupport::attack_table {

inline constexpr int kTypeCombination = 5;
inline constexpr int kSatanKind = 33;

inline bool IsBoss(int kind) { return kind >= 23 && kind <= 30; }

// The routine a kind's attack of `type` plays from the default slots (for Satan `type` is the
// attack kind word); null for none.
SlgAttackRoutine RoutineOf(int kind, int type);
// The routine's name ("" for none).
std::string NameOf(SlgAttackRoutine routine);
// The family's effect-task prefix: the namespace of its routine's name ("Kamui" of
// "Kamui::NormalAttack"); every task for the routines outside a namespace.
std::string TaskPrefix(const std::string& routine);
const char* LayoutName(AttackLayout layout);

// A row of the table: kind, type, direction, layout and road; what the routine must reach and
// which of its changes it may leave.
AttackCase TableRow(int kind, int type, int dir, AttackLayout layout, AttackRoad road);

// The types a kind's rows play (Satan: the attack kinds 1, 3 and another).
std::vector<int> TypesOf(int kind);

inline constexpr std::array<AttackLayout, 4> kLayouts = {
    AttackLayout::kFront, AttackLayout::kThree, AttackLayout::kNone, AttackLayout::kWallAhead};

// Every row of a kind: each type on the board, direction and layout in turn; the first two
// types on the action road too (Satan's attack kind is his program's choice, which the action
// task makes on its own: his board rows only).
std::vector<AttackCase> KindRows(int kind);

// The combination rows: every heroine kind's type 5 on the board.
std::vector<AttackCase> CombinationRows(std::initializer_list<int> kinds);

// The families, each one ctest case (the kinds that share a family's routines together).
struct Family {
  const char* name;
  std::vector<int> kinds;
};
const std::vector<Family>& Families();
// A family printed by its name (in a parameterised test's messages).
void PrintTo(const Family& family, std::ostream* os);

}  // namespace testsupport::attack_table
