#include "battle_effects/attack_dispatch.h"

#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_unit_states.h"
#include "battle_effects/attack_routines.h"
#include "engine/core/debug_trace.h"

namespace {

using enum AttackShape;

// The table of kinds: each kind's shape.
constexpr std::array<AttackShape, kSlgActionRows> kShapes = [] {
  std::array<AttackShape, kSlgActionRows> s{};  // kEmpty: 36-47, 51
  s[0] = kHero;
  for (int k : {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) s[static_cast<size_t>(k)] = kPlayer;
  s[3] = kTwoWay;
  for (int k = 14; k <= 19; ++k) s[static_cast<size_t>(k)] = kDirect;
  for (int k = 20; k <= 32; ++k) s[static_cast<size_t>(k)] = kTwoWay;
  s[33] = kSatan;
  for (int k : {34, 35, 48, 49, 50}) s[static_cast<size_t>(k)] = kDirect;
  return s;
}();

constexpr uint8_t kTypeSpecial = 1;
constexpr uint8_t kTypeCritical = 2;
constexpr uint16_t kSatanNormal = 1;
constexpr uint16_t kSatanCritical = 3;
constexpr size_t kCoverSlot = kUnitStateCover;

AttackDispatch& Dispatch() { return Battle().Extension<AttackDispatch>(); }

// A slot a test emptied ends the attack as an empty row does.
void Call(SlgAttackRoutine routine, SlgUnit& unit, SlgPair& pos, const char* entry) {
  if (routine != nullptr) {
    AttackDispatch& d = Dispatch();
    d.last_routine = routine;
    ++d.calls;
    routine(unit, pos);
  } else {
    EndEmptyAttack(unit, entry);
  }
}

void PlayerEntry(int kind, SlgUnit& unit, SlgPair& pos) {
  const PcAttackTable table = PcAttackTableOf(kind);
  const uint8_t type = unit.stats.attack_type;
  if (type >= table.size()) {
    DebugPrint("PcAttackTable: kind %d has no routine for attack type %d (unit %d): the attack "
               "ends\n",
               kind, type, unit.slot);
    EndAttack(unit);
    return;
  }
  Call(table[type], unit, pos, "PcAttackTable");
}

void HeroEntry(const AttackKindRoutines& r, SlgUnit& unit, SlgPair& pos) {
  AttackDispatch& d = Dispatch();
  if (unit.step == 0) {
    const uint8_t type = unit.stats.attack_type;
    d.hero_routine = type == kTypeSpecial ? r.special : type == kTypeCritical ? r.critical : r.normal;
    if (d.slots.hero_setup == nullptr || d.slots.hero_setup(unit, pos) != 1) {
      d.hero_routine = nullptr;
      EndAttack(unit);
      return;
    }
    unit.step = 1;
    return;
  }
  // No routine kept would leave the hero in state 6 for ever.
  Call(d.hero_routine, unit, pos, "KadrunAttack");
}

// The entry of row K, by the kind's shape.
template <int K>
void KindEntry(SlgUnit& unit, SlgPair& pos) {
  constexpr AttackShape shape = kShapes[K];
  const AttackKindRoutines& r = Dispatch().slots.kinds[K];
  if constexpr (shape == kPlayer) {
    PlayerEntry(K, unit, pos);
  } else if constexpr (shape == kTwoWay) {
    Call(unit.stats.attack_type == kTypeSpecial ? r.special : r.normal, unit, pos, "TwoWayEntry");
  } else if constexpr (shape == kDirect) {
    Call(r.normal, unit, pos, "DirectEntry");
  } else if constexpr (shape == kHero) {
    HeroEntry(r, unit, pos);
  } else if constexpr (shape == kSatan) {
    const uint16_t variant = Battle().attack.attack_kind;
    Call(variant == kSatanNormal     ? r.normal
         : variant == kSatanCritical ? r.special
                                     : r.critical,
         unit, pos, "SatanAttack");
  } else {
    EndEmptyAttack(unit, "KindEntry");
  }
}

template <size_t... K>
constexpr std::array<SlgAttackRoutine, kSlgActionRows> MakeEntries(std::index_sequence<K...>) {
  return {(kShapes[K] == kEmpty ? nullptr : &KindEntry<static_cast<int>(K)>)...};
}
constexpr std::array<SlgAttackRoutine, kSlgActionRows> kEntries =
    MakeEntries(std::make_index_sequence<kSlgActionRows>());

void GattaiEntry(SlgUnit& unit, SlgPair& pos) {
  Call(Dispatch().slots.gattai, unit, pos, "GattaiAction");
}

void CoverEntry(SlgUnit& unit, SlgPair& pos) {
  if (SlgAttackRoutine cover = Dispatch().slots.hero_cover) cover(unit, pos);
}

struct RoutineName {
  SlgAttackRoutine routine;
  const char* name;
};
#define ATTACK_ROUTINE(f) RoutineName{&f, #f}
constexpr RoutineName kRoutineNames[] = {
    ATTACK_ROUTINE(KadrunNormal),           ATTACK_ROUTINE(KadrunCritical),
    ATTACK_ROUTINE(KadrunSpecial),          ATTACK_ROUTINE(Tamvik::NormalAttack),
    ATTACK_ROUTINE(Tamvik::SpecialAttack),  ATTACK_ROUTINE(Davone::NormalAttack),
    ATTACK_ROUTINE(Davone::SpecialAttack),  ATTACK_ROUTINE(LunetNormalAttack),
    ATTACK_ROUTINE(LunetSpecialAttack),     ATTACK_ROUTINE(Ysol::NormalAttack),
    ATTACK_ROUTINE(Ysol::SpecialAttack),    ATTACK_ROUTINE(Tezav::NormalAttack),
    ATTACK_ROUTINE(Tezav::SpecialAttack),   ATTACK_ROUTINE(Brise::NormalAttack),
    ATTACK_ROUTINE(Brise::SpecialAttack),   ATTACK_ROUTINE(Gkadrun::NormalAttack),
    ATTACK_ROUTINE(Gkadrun::SpecialAttack), ATTACK_ROUTINE(Gtamvik::NormalAttack),
    ATTACK_ROUTINE(Gtamvik::SpecialAttack), ATTACK_ROUTINE(Gdavone::NormalAttack),
    ATTACK_ROUTINE(Gdavone::SpecialAttack), ATTACK_ROUTINE(Glunet::NormalAttack),
    ATTACK_ROUTINE(Glunet::SpecialAttack),  ATTACK_ROUTINE(Gysol::NormalAttack),
    ATTACK_ROUTINE(Gysol::SpecialAttack),   ATTACK_ROUTINE(Gtezav::NormalAttack),
    ATTACK_ROUTINE(Gtezav::SpecialAttack),  ATTACK_ROUTINE(GBrise::NormalAttack),
    ATTACK_ROUTINE(GBrise::SpecialAttack),  ATTACK_ROUTINE(EnemyNormalAttack),
    ATTACK_ROUTINE(WakijiM::Attack),        ATTACK_ROUTINE(WakijiF::Attack),
    ATTACK_ROUTINE(Enemy17Attack),          ATTACK_ROUTINE(KoumaM::Attack),
    ATTACK_ROUTINE(KoumaF::Attack),         ATTACK_ROUTINE(Kamui::NormalAttack),
    ATTACK_ROUTINE(Kamui::SpecialAttack),   ATTACK_ROUTINE(Samurai::SpecialAttack),
    ATTACK_ROUTINE(Boss23::NormalAttack),   ATTACK_ROUTINE(Boss23::SpecialAttack),
    ATTACK_ROUTINE(Boss24::NormalAttack),   ATTACK_ROUTINE(Boss24::SpecialAttack),
    ATTACK_ROUTINE(Boss25::NormalAttack),   ATTACK_ROUTINE(Boss25::SpecialAttack),
    ATTACK_ROUTINE(Amateras::NormalAttack), ATTACK_ROUTINE(Amateras::SpecialAttack),
    ATTACK_ROUTINE(Vevaz::NormalAttack),    ATTACK_ROUTINE(Vevaz::SpecialAttack),
    ATTACK_ROUTINE(Dododi::NormalAttack),   ATTACK_ROUTINE(Dododi::SpecialAttack),
    ATTACK_ROUTINE(Boss30::NormalAttack),   ATTACK_ROUTINE(Boss30::SpecialAttack),
    ATTACK_ROUTINE(Satan::NormalAttack),    ATTACK_ROUTINE(Satan::CriticalAttack),
    ATTACK_ROUTINE(Satan::Critical2Attack), ATTACK_ROUTINE(GattaiAction),
};
#undef ATTACK_ROUTINE

}  // namespace

const char* AttackRoutineName(SlgAttackRoutine routine) {
  for (const RoutineName& r : kRoutineNames) {
    if (r.routine == routine) return r.name;
  }
  return nullptr;
}

AttackShape AttackShapeOf(int kind) {
  return kind >= 0 && kind < kSlgActionRows ? kShapes[static_cast<size_t>(kind)] : kEmpty;
}

AttackRoutineSlots DefaultAttackRoutines() {
  AttackRoutineSlots s;
  const auto set = [&s](std::initializer_list<int> kinds, AttackKindRoutines r) {
    for (int k : kinds) s.kinds[static_cast<size_t>(k)] = r;
  };
  set({0}, {&KadrunNormal, &KadrunSpecial, &KadrunCritical});
  set({1}, {&Tamvik::NormalAttack, &Tamvik::SpecialAttack});
  set({2}, {&Davone::NormalAttack, &Davone::SpecialAttack});
  set({3}, {&LunetNormalAttack, &LunetSpecialAttack});
  set({4}, {&Ysol::NormalAttack, &Ysol::SpecialAttack});
  set({5}, {&Tezav::NormalAttack, &Tezav::SpecialAttack});
  set({6}, {&Brise::NormalAttack, &Brise::SpecialAttack});
  set({7}, {&Gkadrun::NormalAttack, &Gkadrun::SpecialAttack});
  set({8}, {&Gtamvik::NormalAttack, &Gtamvik::SpecialAttack});
  set({9}, {&Gdavone::NormalAttack, &Gdavone::SpecialAttack});
  set({10}, {&Glunet::NormalAttack, &Glunet::SpecialAttack});
  set({11}, {&Gysol::NormalAttack, &Gysol::SpecialAttack});
  set({12}, {&Gtezav::NormalAttack, &Gtezav::SpecialAttack});
  set({13}, {&GBrise::NormalAttack, &GBrise::SpecialAttack});
  set({14, 34, 35}, {&EnemyNormalAttack});
  set({15}, {&WakijiM::Attack});
  set({16}, {&WakijiF::Attack});
  set({17, 48}, {&Enemy17Attack});
  set({18, 49}, {&KoumaM::Attack});
  set({19, 50}, {&KoumaF::Attack});
  set({20, 31, 32}, {&Kamui::NormalAttack, &Kamui::SpecialAttack});
  set({21, 22}, {&EnemyNormalAttack, &Samurai::SpecialAttack});
  set({23}, {&Boss23::NormalAttack, &Boss23::SpecialAttack});
  set({24}, {&Boss24::NormalAttack, &Boss24::SpecialAttack});
  set({25}, {&Boss25::NormalAttack, &Boss25::SpecialAttack});
  set({26, 27}, {&Amateras::NormalAttack, &Amateras::SpecialAttack});
  set({28}, {&Vevaz::NormalAttack, &Vevaz::SpecialAttack});
  set({29}, {&Dododi::NormalAttack, &Dododi::SpecialAttack});
  set({30}, {&Boss30::NormalAttack, &Boss30::SpecialAttack});
  set({33}, {&Satan::NormalAttack, &Satan::CriticalAttack, &Satan::Critical2Attack});
  s.hero_setup = &KadrunAttackSetup;
  s.gattai = &GattaiAction;
  s.hero_cover = &KadrunCover;
  return s;
}

PcAttackTable PcAttackTableOf(int kind) {
  if (AttackShapeOf(kind) != kPlayer) return {};
  const AttackKindRoutines& r = Dispatch().slots.kinds[static_cast<size_t>(kind)];
  return {r.normal, r.special, r.normal, r.normal};
}

void InstallAttackDispatch(BattleContext& battle) {
  battle.Extension<AttackDispatch>();
  for (size_t k = 0; k < kEntries.size(); ++k) {
    // The core copy has no row 33: Satan reaches his entry through his own state table.
    battle.action_table[k] = k == kSlgSatanKind ? nullptr : kEntries[k];
  }
  battle.satan_action = kEntries[kSlgSatanKind];
  for (size_t k = 0; k < battle.gattai_table.size(); ++k) {
    battle.gattai_table[k] = k == 0 || k == 7 ? nullptr : &GattaiEntry;
  }
  for (const size_t kind : {size_t{0}, size_t{7}}) {
    battle.unit_states.player[kind * kSlgPlayerStates + kCoverSlot] = &CoverEntry;
  }
}

