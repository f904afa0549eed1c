// Attack dispatch by unit kind: every kind and attack type through the tables the core calls,
// with recording doubles in the routine slots; the shapes' edges (the hero's set-up, Satan's
// attack kind, a type above 3 at a player entry, empty rows, kinds outside the tables); the
// game's routines in the default slots; and the installation into every battle context (fresh,
// after the battle's start, a stage switch and a retry, the composition root's battle entry).

#include "battle_effects/attack_dispatch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_action.h"
#include "battle/slg_attack.h"
#include "battle/slg_kind_states.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_states.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effects_install.h"
#include "battle_events/events_install.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "game/game_context.h"
#include "game/game_sequences.h"
#include "game/system_data.h"
#include "program/game_wiring.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::BattleRig;

// Which slot a double stands in: (kind, column) with column 0 normal, 1 special, 2 critical;
// the combination and the hero's set-up by name.
struct Call {
  int kind;
  int column;
  bool operator==(const Call&) const = default;
};
constexpr Call kGattai{-1, 0};
constexpr Call kNone{-2, 0};
std::vector<Call> g_calls;

template <int K, int C>
void Double(SlgUnit& unit, SlgPair& /*pos*/) {
  g_calls.push_back({K, C});
  EndAttack(unit);
}
void GattaiDouble(SlgUnit& unit, SlgPair& /*pos*/) {
  g_calls.push_back(kGattai);
  EndAttack(unit);
}
int g_setup_answer = 1;
int g_setups = 0;
int SetupDouble(SlgUnit& /*unit*/, SlgPair& /*pos*/) {
  ++g_setups;
  return g_setup_answer;
}

template <size_t... K>
void FillDoubles(AttackRoutineSlots& slots, std::index_sequence<K...>) {
  ((slots.kinds[K] = {&Double<K, 0>, &Double<K, 1>, &Double<K, 2>}), ...);
}

// A battle rig with the effects installed and every slot a double.
class DispatchRig {
 public:
  DispatchRig() {
    AttackRoutineSlots& slots = rig.battle().Extension<AttackDispatch>().slots;
    FillDoubles(slots, std::make_index_sequence<kSlgActionRows>());
    slots.gattai = &GattaiDouble;
    slots.hero_setup = &SetupDouble;
    g_calls.clear();
    g_setups = 0;
    g_setup_answer = 1;
  }
  // Unit slot 0 as an attacker of that kind and type, in its attack state.
  SlgUnit& Attacker(int kind, int type, uint8_t state = 6) {
    SlgUnit& u = rig.battle().state.units[0];
    u = SlgUnit{};
    u.kind = static_cast<uint8_t>(kind);
    u.stats.attack_type = static_cast<uint8_t>(type);
    SetUnitState(u, state);
    return u;
  }
  // Calls the row while the unit stays in `state` (at most 3 calls); what the doubles saw.
  static Call Play(SlgAttackRoutine row, SlgUnit& unit, uint8_t state = 6) {
    g_calls.clear();
    SlgPair pos{};
    for (int i = 0; i < 3 && row != nullptr && unit.state == state; ++i) row(unit, pos);
    if (g_calls.empty()) return kNone;
    EXPECT_EQ(g_calls.size(), 1u);
    return g_calls.back();
  }

  const ScopedBattleInstaller installer{&InstallBattleEffects};
  BattleRig rig;
};

// The routine a kind and type must reach, by the table of kinds.
Call Expected(int kind, int type) {
  if (type == 5) return kind >= 1 && kind <= 13 && kind != 7 ? kGattai : kNone;
  switch (AttackShapeOf(kind)) {
    case AttackShape::kPlayer: return {kind, type == 1 ? 1 : 0};
    case AttackShape::kTwoWay: return {kind, type == 1 ? 1 : 0};
    case AttackShape::kDirect: return {kind, 0};
    case AttackShape::kHero: return {kind, type == 1 ? 1 : type == 2 ? 2 : 0};
    default: return kNone;
  }
}

TEST(AttackDispatch, EveryKindAndTypeReachesItsSlotThroughTheTablesTheCoreCalls) {
  DispatchRig r;
  BattleContext& b = r.rig.battle();
  for (int kind = 0; kind < kSlgActionRows; ++kind) {
    for (int type : {0, 1, 2, 3, 5}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " type " + std::to_string(type));
      const Call want = Expected(kind, type);
      if (type == 5) {
        // The combination: the action task's table, the same rows state 19 runs.
        EXPECT_EQ(r.Play(GattaiActionRow(kind), r.Attacker(kind, type, 19), 19), want);
        continue;
      }
      if (kind == kSlgSatanKind) {
        EXPECT_EQ(b.action_table[kSlgSatanKind], nullptr) << "no row 33 in the core copy";
        continue;
      }
      // The core copy and the full table hold the same entry.
      EXPECT_EQ(BattleActionRow(kind), b.action_table[static_cast<size_t>(kind)]);
      EXPECT_EQ(r.Play(b.action_table[static_cast<size_t>(kind)], r.Attacker(kind, type)), want);
    }
  }
  EXPECT_EQ(GattaiActionRow(14), nullptr);
}

TEST(AttackDispatch, SatanIsReachedByHisOwnEntryOnlyAndChoosesByTheAttackKind) {
  DispatchRig r;
  BattleContext& b = r.rig.battle();
  struct Case {
    uint16_t attack_kind;
    int column;
  };
  for (const Case& c : {Case{1, 0}, Case{3, 1}, Case{2, 2}, Case{0, 2}, Case{7, 2}}) {
    SCOPED_TRACE("attack kind " + std::to_string(c.attack_kind));
    b.attack.attack_kind = c.attack_kind;
    // Satan's state table slot 6 and the full table's row 33 are the Satan entry.
    EXPECT_EQ(r.Play(&SatanAttackEntry, r.Attacker(kSlgSatanKind, 0)), (Call{33, c.column}));
    EXPECT_EQ(r.Play(BattleActionRow(kSlgSatanKind), r.Attacker(kSlgSatanKind, 1)),
              (Call{33, c.column}));
  }
  // A kind-33 unit in the core's attack state finds no row there: the attack ends at once.
  SlgUnit& u = r.Attacker(kSlgSatanKind, 0);
  SlgPair pos{};
  g_calls.clear();
  Slg::AttackState(u, pos);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(u.state, 7);
  EXPECT_TRUE(r.rig.driver().trace().Contains("Slg::AttackState: kind 33 has no attack routine"));
}

TEST(AttackDispatch, TheHeroEntryKeepsTheRoutineOfItsTypeAfterASetUpThatAnswersOne) {
  DispatchRig r;
  SlgUnit& u = r.Attacker(0, 2);
  SlgPair pos{};
  SlgAttackRoutine row = r.rig.battle().action_table[0];
  row(u, pos);
  EXPECT_EQ(g_setups, 1);
  EXPECT_EQ(u.step, 1u);
  EXPECT_TRUE(g_calls.empty()) << "the set-up's frame calls no routine";
  row(u, pos);
  EXPECT_EQ(g_calls, (std::vector<Call>{{0, 2}})) << "type 2: the critical";

  // A set-up that fails ends the attack; no routine runs.
  g_setup_answer = 0;
  SlgUnit& v = r.Attacker(0, 0);
  EXPECT_EQ(r.Play(row, v), kNone);
  EXPECT_EQ(v.state, 7);
  EXPECT_EQ(r.rig.battle().Extension<AttackDispatch>().hero_routine, nullptr);
}

TEST(AttackDispatch, OutOfRangeKindsAndTypesEndTheAttackWithATrace) {
  DispatchRig r;
  BattleContext& b = r.rig.battle();
  const auto& trace = r.rig.driver().trace();
  SlgPair pos{};

  // A type above 3 at a player entry.
  SlgUnit& p = r.Attacker(1, 4);
  EXPECT_EQ(r.Play(b.action_table[1], p), kNone);
  EXPECT_EQ(p.state, 7);
  EXPECT_TRUE(trace.Contains("PcAttackTable: kind 1 has no routine for attack type 4 (unit 0)"));

  // Empty rows, and kind bytes past the table, in state 6 and in state 19.
  for (int kind : {36, 41, 47, 51, 52, 200, 255}) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    SlgUnit& u = r.Attacker(kind, 0);
    Slg::AttackState(u, pos);
    EXPECT_EQ(u.state, 7);
    EXPECT_TRUE(trace.Contains("Slg::AttackState: kind " + std::to_string(kind) +
                               " has no attack routine"));
  }
  for (int kind : {0, 7}) {
    SlgUnit& u = r.Attacker(kind, 5, 19);
    Slg::CombinationState(u, pos);
    EXPECT_EQ(u.state, 7);
    EXPECT_TRUE(trace.Contains("Slg::CombinationState: kind " + std::to_string(kind) +
                               " has no attack routine"));
  }
  EXPECT_TRUE(g_calls.empty());

  // The battle action task: kinds 0 and 7 with type 5 start nothing; kinds above 51 (and above
  // 13 with type 5) are refused.
  const auto runs = [] { return Ctx().game_task.FindTask(kSlgActionTaskName) != nullptr; };
  for (int kind : {0, 7}) {
    CTamvikSlgAct::Action(PackSlgAction(static_cast<uint32_t>(kind), 5, 1));
    EXPECT_FALSE(runs());
  }
  for (uint32_t kind : {52u, 65535u}) {
    CTamvikSlgAct::Action(PackSlgAction(kind, 0, 1));
    EXPECT_FALSE(runs());
    EXPECT_TRUE(trace.Contains("CTamvikSlgAct::Action: kind " + std::to_string(kind) + " has no row"));
  }
  CTamvikSlgAct::Action(PackSlgAction(14, 5, 1));
  EXPECT_TRUE(trace.Contains("CTamvikSlgAct::Action: kind 14 has no row (attack type 5)"));
  EXPECT_FALSE(runs());
}

TEST(AttackDispatch, TheDefaultSlotsHoldTheGamesRoutinesSharedWhereTheKindsShareThem) {
  const AttackRoutineSlots s = DefaultAttackRoutines();
  const auto normal = [&s](int k) { return s.kinds[static_cast<size_t>(k)].normal; };
  const auto special = [&s](int k) { return s.kinds[static_cast<size_t>(k)].special; };
  for (int k : {14, 34, 35, 21, 22}) EXPECT_EQ(normal(k), &EnemyNormalAttack) << k;
  EXPECT_EQ(special(21), &Samurai::SpecialAttack);
  EXPECT_EQ(special(22), &Samurai::SpecialAttack);
  for (auto [a, b] : {std::pair{17, 48}, {18, 49}, {19, 50}, {20, 31}, {20, 32}, {26, 27}}) {
    EXPECT_EQ(normal(a), normal(b)) << a << " and " << b;
    EXPECT_EQ(special(a), special(b)) << a << " and " << b;
  }
  EXPECT_EQ(s.kinds[0].critical, &KadrunCritical);
  EXPECT_EQ(s.kinds[33].normal, &Satan::NormalAttack);
  EXPECT_EQ(s.kinds[33].special, &Satan::CriticalAttack);
  EXPECT_EQ(s.kinds[33].critical, &Satan::Critical2Attack);
  EXPECT_EQ(s.hero_setup, &KadrunAttackSetup);
  EXPECT_EQ(s.gattai, &GattaiAction);
  EXPECT_EQ(s.hero_cover, &KadrunCover);
  // Every kind with a shape has its routines; the empty ones none.
  for (int k = 0; k < kSlgActionRows; ++k) {
    const bool empty = AttackShapeOf(k) == AttackShape::kEmpty;
    EXPECT_EQ(normal(k) == nullptr, empty) << k;
  }
}

TEST(AttackDispatch, PcAttackTablePlaysTheNormalRoutineForTheCriticalAndTypeThree) {
  DispatchRig r;
  for (int kind : {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) {
    const PcAttackTable t = PcAttackTableOf(kind);
    const AttackKindRoutines& k = r.rig.battle().Extension<AttackDispatch>().slots.kinds[static_cast<size_t>(kind)];
    EXPECT_EQ(t, (PcAttackTable{k.normal, k.special, k.normal, k.normal})) << kind;
  }
  for (int kind : {0, 3, 14, 33, 51, -1, 52}) EXPECT_EQ(PcAttackTableOf(kind), PcAttackTable{}) << kind;
}

// ---- Installation ----

void ExpectInstalled(BattleContext& b) {
  for (int k = 0; k < kSlgActionRows; ++k) {
    const bool filled = AttackShapeOf(k) != AttackShape::kEmpty && k != kSlgSatanKind;
    EXPECT_EQ(b.action_table[static_cast<size_t>(k)] != nullptr, filled) << "row " << k;
  }
  EXPECT_NE(b.satan_action, nullptr);
  for (int k = 0; k < kSlgGattaiRows; ++k) {
    EXPECT_EQ(b.gattai_table[static_cast<size_t>(k)] != nullptr, k != 0 && k != 7) << "row " << k;
  }
  for (int k : {0, 7}) {
    EXPECT_NE(b.unit_states.player[static_cast<size_t>(k * kSlgPlayerStates + kUnitStateCover)],
              nullptr)
        << "cover of kind " << k;
  }
}

bool InitTaskRuns() { return Ctx().game_task.FindTask(kSlgInitTaskName) != nullptr; }

TEST(AttackDispatchInstall, EveryRowIsFilledInAFreshContextAndAgainAtEachBuildOfAStage) {
  const ScopedBattleInstaller installer(&InstallBattleEffects);
  BattleRig rig;
  BattleContext& b = rig.battle();
  ExpectInstalled(b);
  // A double in a slot: the block is kept through the stage switches and retries.
  b.Extension<AttackDispatch>().slots.gattai = &GattaiDouble;

  testsupport::BattleInstall(testsupport::BattleInstall::Form::kBare).Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  Game().sequences.set_mode = [](int) { return 1; };
  Slg::StartStage();
  ASSERT_TRUE(rig.RunUntil("built", [] { return !InitTaskRuns(); }, 60));
  ExpectInstalled(b);  // the player table was rebuilt at step 0
  for (const int retry : {0, 1}) {
    SCOPED_TRACE(retry != 0 ? "retry" : "stage switch");
    b.control.retry = static_cast<uint32_t>(retry);
    Slg::SwitchStage(0);
    ASSERT_TRUE(rig.RunUntil("switching", [] { return InitTaskRuns(); }, 10));
    ASSERT_TRUE(rig.RunUntil("built again", [] { return !InitTaskRuns(); }, 60));
    ExpectInstalled(b);
    EXPECT_EQ(b.Extension<AttackDispatch>().slots.gattai, &GattaiDouble);
  }
}

TEST(AttackDispatchInstall, EachBattleContextHasItsOwnDispatchBlock) {
  const ScopedBattleInstaller installer(&InstallBattleEffects);
  BattleRig rig;
  rig.battle().Extension<AttackDispatch>().slots.kinds[1].normal = &Double<1, 1>;
  rig.battle().Extension<AttackDispatch>().hero_routine = &Double<0, 0>;
  BattleContext second;
  EXPECT_EQ(second.Extension<AttackDispatch>().slots.kinds[1].normal, &Tamvik::NormalAttack);
  EXPECT_EQ(second.Extension<AttackDispatch>().hero_routine, nullptr);
  ExpectInstalled(second);
}

TEST(AttackDispatchInstall, TheCompositionRootsBattleEntryMakesContextsWithTheRowsFilled) {
  RegisterBattleExtensions();
  struct Unregister {
    ~Unregister() {
      UnregisterBattleInstaller(&InstallBattleEffects);
      UnregisterBattleInstaller(&InstallBattleEvents);
    }
  } unregister;
  testsupport::ProgramDriver::Options options;
  options.hooks = GameHooks{};
  options.hooks->boot = [] {
    Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {}, "CTamvikGeneral::GeneralManeger");
  };
  options.wire_sequences = false;
  testsupport::ProgramDriver driver(options);
  ASSERT_TRUE(driver.Start());
  testsupport::BattleInstall(testsupport::BattleInstall::Form::kBare).Lay(driver.tree);
  Ctx().file_io.SetInstallDir(driver.tree.install().c_str());
  GetSystemData()->setBattleMap(0);
  {
    GameSequences sequences;
    WireBattleSequence(sequences);
    sequences.set_mode = [](int) { return 1; };
    Game().sequences.set_mode = sequences.set_mode;
    ASSERT_FALSE(HasBattle());
    sequences.battle.start();
    ASSERT_TRUE(HasBattle());
    ExpectInstalled(Battle());
    ASSERT_TRUE(driver.RunUntil("built", [](const testsupport::ProgramDriver&) {
      return !InitTaskRuns();
    }, 60));
    ExpectInstalled(Battle());
    // The action task of the debug menu's attack items finds the row.
    EXPECT_NE(BattleActionRow(13), nullptr);
    Battle().running = 0;
    Slg::StopMainTask();
    SlgTeardown();
  }
  EXPECT_FALSE(HasBattle());
}

}  // namespace
