#pragma once
// Attack dispatch by unit kind: which routine plays a unit's attack, from its kind and attack type.
//
// The core keeps the tables in each BattleContext and never names a routine: action_table (the
// attack state's row per kind; row 33 empty), satan_action (row 33 of the full table, reached by
// Satan's own state table and by the battle action task), gattai_table (the combination, state
// 19) and the player state table's slot 14 (the hero kinds' cover move). InstallAttackDispatch
// fills them with one entry per kind; each entry has its kind's shape:
//
//   shape  kinds                     the routine called each frame
//   P      1, 2, 4-13                PcAttackTable[attack type] = {normal, special, normal, normal};
//                                    a type above 3 ends the attack (EndAttack, traced)
//   T      3, 20-32                  attack type 1 the special, any other the normal
//   D      14-19, 34, 35, 48-50      the normal for every type (kinds 14, 34, 35 forward to the
//                                    shared enemy normal attack, 17/48, 18/49, 19/50 share one)
//   H      0                         step 0: the routine of the type (1 special, 2 critical, else
//                                    normal) is kept and the hero's set-up runs (not 1: EndAttack;
//                                    1: step 1); then the kept routine every frame
//   S      33 (satan_action only)    by the attack kind word Battle().attack.attack_kind: 1 the
//                                    normal, 3 the special (Satan's critical attack), any other
//                                    the critical (Satan's critical-2)
//   -      36-47, 51                 none: the core ends the attack at once (EndEmptyAttack)
//
// The combination rows 1-6 and 8-13 run GattaiAction (rows 0 and 7 empty), slot 14 of kinds 0
// and 7 the cover move.
//
// The entries do not call the routines directly: they read the battle's routine slots
// (AttackDispatch, an extension block made with the context from DefaultAttackRoutines()), so a
// test can put recording doubles into chosen slots. A family fills its slots by defining its
// routines (battle_effects/attack_routines.h); nothing here changes when it does.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_action_state.h"
#include "battle/slg_attack_state.h"

class BattleContext;

enum class AttackShape : uint8_t { kEmpty, kPlayer, kTwoWay, kDirect, kHero, kSatan };

// The shape of a kind's entry; kEmpty outside 0-51.
AttackShape AttackShapeOf(int kind);

// A kind's routines as its shape reads them (null where the shape reads none).
struct AttackKindRoutines {
  SlgAttackRoutine normal = nullptr;
  SlgAttackRoutine special = nullptr;
  SlgAttackRoutine critical = nullptr;  // H: the hero's critical; S: Satan's critical-2
};

// The hero's set-up: 1 when the attack can go on.
using HeroSetupFn = int (*)(SlgUnit& unit, SlgPair& pos);

// Every routine slot of the dispatch.
struct AttackRoutineSlots {
  std::array<AttackKindRoutines, kSlgActionRows> kinds{};
  HeroSetupFn hero_setup = nullptr;
  SlgAttackRoutine gattai = nullptr;      // combination rows 1-6, 8-13
  SlgAttackRoutine hero_cover = nullptr;  // slot 14 of player kinds 0 and 7
};

// The game's routines in every slot.
AttackRoutineSlots DefaultAttackRoutines();

// The dispatch's per-battle block (Battle().Extension<AttackDispatch>()): the routine slots and
// the routine the hero's entry keeps for the attack that runs.
struct AttackDispatch {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  AttackRoutineSlots slots = DefaultAttackRoutines();
  SlgAttackRoutine hero_routine = nullptr;
  // The routine an entry called last, and how many calls the entries have made (the attack
  // recorder names the routine that plays).
  SlgAttackRoutine last_routine = nullptr;
  uint32_t calls = 0;
};

// The name of one of the game's routines ("Kamui::NormalAttack"); null for any other function.
const char* AttackRoutineName(SlgAttackRoutine routine);

// PcAttackTable of a player kind of shape P from the current battle's slots: {normal, special,
// normal, normal} by attack type 0-3 (the critical plays the normal routine); all null for the
// other kinds.
using PcAttackTable = std::array<SlgAttackRoutine, 4>;
PcAttackTable PcAttackTableOf(int kind);

// Fills `battle`'s attack rows, the Satan entry, the combination rows and slot 14 of player kinds
// 0 and 7 with the entries (again at every build of a stage: the player table is rebuilt there),
// and makes the dispatch block.
void InstallAttackDispatch(BattleContext& battle);

