#include "battle/slg_boss_steps_b.h"

#include <algorithm>
#include <array>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_think_search.h"
#include "battle/slg_unit.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"

namespace {

constexpr uint8_t kPlayerCategory = 0;

// The step routines run only with an acting unit.
const SlgUnit& Self() { return *SlgActingUnit(); }
SlgBossStepsState& St() { return Battle().boss_steps; }
uint16_t& Next() { return Battle().enemy.next_step; }

// "a unit of side 0 in the special reach"
bool SideZeroInReach(int attack) {
  EnemyReachCells(attack);
  return SideZeroUnitInList();
}
// The attack EnemyChosenAttack names: 1 the special attack, any other value the normal one.
int Chosen() { return St().chosen_attack == 1 ? 1 : 0; }

// Steps that wait for the camera and start an action, then s := n.
template <uint16_t kEnd>
void GuardStep(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossGuard(work);
  BossTakeNext(kEnd);
}
template <uint16_t kEnd>
void ChargeStep(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossCharge(work);
  BossTakeNext(kEnd);
}
template <uint16_t kEnd, int kType>
void AttackStep(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, kType);
  BossTakeNext(kEnd);
}
// Full kiai: attack 1, else attack 0; s := n.
template <uint16_t kEnd>
void KiaiAttackStep(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, FullKiai(Self()) ? 1 : 0);
  BossTakeNext(kEnd);
}
template <uint16_t kEnd>
void RetreatStep(SlgMainWork* work) {
  BossRetreat(work);
  BossTakeNext(kEnd);
}
template <uint16_t kEnd>
void RandomWalkStep(SlgMainWork* work) {
  BossRandomWalk(work);
  BossGo(kEnd, kEnd);
}
// camera; step s, next n
template <uint16_t kStep, uint16_t kNext>
void CameraStep(SlgMainWork*) {
  BossCamera();
  BossGo(kStep, kNext);
}
// camera; step s, next unchanged
template <uint16_t kStep>
void CameraKeepStep(SlgMainWork*) {
  BossCamera();
  BossGo(kStep);
}
void EndStep(SlgMainWork* work) { EnemyThinkEnd(work); }

// ---- Kind 23 (14 steps, end step 7) ----

constexpr uint16_t kEnd23 = 7;

void Step23Open(SlgMainWork*) {
  if (FullKiai(Self()) && SideZeroInReach(1)) {
    BossGo(11);
  } else if (SideZeroInReach(0)) {
    BossGo(1);
  } else {
    BossGo(6);
  }
}
template <int kAttack, uint16_t kInRange, uint16_t kNextAfterApproach>
void Step23Choose(SlgMainWork*) {
  St().chosen_attack = kAttack;
  ChooseInReach(kAttack);
  if (TargetInRange(kAttack)) {
    BossGo(kInRange);
  } else {
    BossGo(2, kNextAfterApproach);
  }
}
void Step23Approach(SlgMainWork* work) {
  BossApproach(work, Chosen());
  BossTakeNext(kEnd23);  // also with no cell
}
void Step23GuardOrCharge(SlgMainWork*) {
  BossGuardOrCharge(8, 9, 9);
  Next() = 10;
}

constexpr std::array<BossStepFn, 14> kSteps23 = {
    Step23Open,                  // 0
    Step23Choose<0, 3, 3>,       // 1
    Step23Approach,              // 2
    CameraStep<4, 5>,            // 3
    AttackStep<kEnd23, 0>,       // 4
    RetreatStep<kEnd23>,         // 5
    Step23GuardOrCharge,         // 6
    EndStep,                     // 7
    GuardStep<kEnd23>,           // 8
    ChargeStep<kEnd23>,          // 9
    RandomWalkStep<kEnd23>,      // 10
    Step23Choose<1, 12, 12>,     // 11
    CameraStep<13, 5>,           // 12
    AttackStep<kEnd23, 1>,       // 13
};

// ---- Kind 24 (13 steps, end step 5) ----

constexpr uint16_t kEnd24 = 5;
constexpr int kFlagPullsAllowed = 159;  // set: kind 24 fights without pulling
constexpr int kFlagPulledKind = 400;    // + the pulled unit's kind
constexpr int kFlagPullsRepeated = 409;
constexpr int kFlagNamedPull = 430;     // 430-436: pull character n - 430
constexpr int kNamedPulls = 7;
constexpr int kPullRefusal = 80;        // (random mod 100) above it: no pull this time
constexpr uint32_t kCellBlocked = 0x400;
constexpr std::array<EnemyThinkPoint, 4> kPullArea = {
    {{768, 488}, {1296, 216}, {1920, 528}, {1392, 786}}};
constexpr std::array<std::pair<int, int>, 4> kBeside = {{{48, 24}, {48, -24}, {-48, 24}, {-48, -24}}};

// Pulls unit `slot` onto (x, y): its old cell emptied, its new position and cell, placed again
// on the new cell (cell word, lift, shade), EnemyTarget, the pull marker.
void Pull(uint16_t slot, int32_t x, int32_t y) {
  SlgUnit& u = Battle().state.units[slot];
  SetEventFlag(static_cast<uint32_t>(kFlagPulledKind + u.kind));
  ClearUnitCell(u);
  u.x = x * 65536;
  u.y = y * 65536;
  SetUnitCell(u);
  EventObjPlace(u);
  Battle().think_search.target = slot;
  St().pulled = 1;
}

// The pull of step 10 or 12: no free cell or nobody to pull goes to 6 (guard or charge).
void PullOrHold(bool named, bool may_refuse) {
  int32_t x = 0;
  int32_t y = 0;
  if (!BossFreeCellBeside(&x, &y) || (may_refuse && GetRandom() % 100 > kPullRefusal)) {
    BossGo(6);
    return;
  }
  const uint16_t slot = BossPullCandidate(named);
  if (slot == kSlgNoUnit) {
    BossGo(6);
    return;
  }
  Pull(slot, x, y);
  BossGo(9);
}

// Steps 0 and 11 after their own tests: the reach tests.
void Step24Reach() {
  if (FullKiai(Self()) && SideZeroInReach(1)) {
    St().chosen_attack = 1;
    BossGo(1);
  } else if (PlayerUnitInReach(0)) {
    St().chosen_attack = 0;
    BossGo(1);
  } else {
    BossGo(10);
  }
}
void Step24Open(SlgMainWork*) {
  ++St().pull_actions;
  if (CheckEventFlag(kFlagPullsAllowed) == 0) {
    BossGo(11);
    return;
  }
  Step24Reach();
}
void Step24Choose(SlgMainWork*) {
  ChooseInReach(Chosen());
  if (TargetInRange(Chosen())) {
    BossGo(2, 3);
  } else {
    BossGo(4, 9);
  }
}
void Step24Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, Chosen());
  BossTakeNext(kEnd24);
}
void Step24Approach(SlgMainWork* work) {
  if (BossApproach(work, Chosen())) {
    BossTakeNext(kEnd24);
  } else {
    BossGo(6, kEnd24);
  }
}
void Step24GuardOrCharge(SlgMainWork*) {
  BossGuardOrChargeWith(NearPlayerCount, 7, 8, 8);
  Next() = kEnd24;
}
void Step24Pull(SlgMainWork*) { PullOrHold(false, true); }
void Step24Watch(SlgMainWork* work) {
  SlgBossStepsState& st = St();
  if (st.pulled != 0) {
    const uint16_t before = st.pull_actions++;
    if (before >= 2) SetEventFlag(kFlagPullsRepeated);
  }
  if (!BossPlayerInPullArea()) {
    BossGo(12);
  } else if (FullKiai(Self()) && SideZeroInReach(1)) {
    st.chosen_attack = 1;
    BossGo(1);
  } else if (PlayerUnitInReach(0)) {
    st.chosen_attack = 0;
    BossGo(1);
  } else {
    BossBest(work);
    BossGo(6, kEnd24);
  }
}
void Step24PullNamed(SlgMainWork*) { PullOrHold(true, false); }

constexpr std::array<BossStepFn, 13> kSteps24 = {
    Step24Open,            // 0
    Step24Choose,          // 1
    CameraStep<3, 6>,      // 2
    Step24Attack,          // 3
    Step24Approach,        // 4
    EndStep,               // 5
    Step24GuardOrCharge,   // 6
    GuardStep<kEnd24>,     // 7
    ChargeStep<kEnd24>,    // 8
    CameraStep<3, 5>,      // 9
    Step24Pull,            // 10
    Step24Watch,           // 11
    Step24PullNamed,       // 12
};

// ---- Kinds 20 and 21 (14 steps, end step 7) ----

constexpr uint16_t kEnd20 = 7;

template <int kKind>
void Step20Open(SlgMainWork*) {
  if (SelfSupport(kKind == 21 ? 1 : 2)) {
    BossGo(1);
  } else if (PlayerUnitInReach(0)) {
    BossGo(2);
  } else {
    BossGo(3);
  }
}
void Step20Support(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossSupport(work);
  BossGo(4);
}
void Step20Choose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(6, 10);
  } else {
    BossGo(9, 6);
  }
}
template <int kKind>
void Step20Away(SlgMainWork*) {
  BossGo(kKind == 20 ? 9 : 5, 11);
}
void Step20ChooseInRange(SlgMainWork*) {
  if (ChooseInRange(0)) {
    BossGo(6, 7);
  } else {
    BossGo(5, 7);
  }
}
void ApproachStep(SlgMainWork* work) {
  BossApproach(work, 0);
  BossTakeNext(kEnd20);
}
void BestStep(SlgMainWork* work) {
  BossBest(work);
  BossTakeNext(kEnd20);
}
void Step20FlagAttack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossFlagAttack(work, 0);
  BossTakeNext(kEnd20);
}
void Step20Best(SlgMainWork* work) {
  if (BossBest(work)) {
    BossTakeNext(kEnd20);
  } else {
    BossGo(11, 7);
  }
}
template <int kKind>
void Step20GuardOrCharge(SlgMainWork*) {
  if (kKind == 21) Next() = 7;
  BossGuardOrCharge(12, 13, 12);
}

constexpr std::array<BossStepFn, 14> kSteps20 = {
    Step20Open<20>,           // 0
    Step20Support,            // 1
    Step20Choose,             // 2
    Step20Away<20>,           // 3
    Step20ChooseInRange,      // 4
    ApproachStep,             // 5
    CameraKeepStep<8>,        // 6
    EndStep,                  // 7
    Step20FlagAttack,         // 8
    BestStep,                 // 9
    Step20Best,               // 10
    Step20GuardOrCharge<20>,  // 11
    GuardStep<kEnd20>,        // 12
    ChargeStep<kEnd20>,       // 13
};
constexpr std::array<BossStepFn, 14> kSteps21 = {
    Step20Open<21>,           // 0
    Step20Support,            // 1
    Step20Choose,             // 2
    Step20Away<21>,           // 3
    Step20ChooseInRange,      // 4
    BestStep,                 // 5
    CameraKeepStep<8>,        // 6
    EndStep,                  // 7
    KiaiAttackStep<kEnd20>,   // 8
    ApproachStep,             // 9
    Step20Best,               // 10
    Step20GuardOrCharge<21>,  // 11
    GuardStep<kEnd20>,        // 12
    ChargeStep<kEnd20>,       // 13
};

// ---- Kind 22: the think steps with five of its own (end step 18) ----

constexpr uint16_t kEnd22 = kThinkStepEnd;
constexpr uint8_t kSamuraiCellColumn = 7;
constexpr uint8_t kSamuraiCellRow = 48;
constexpr int kFlagSamuraiArrived = 198;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateReady = 8;

// Think step n of the common enemies' table.
template <size_t kStep>
void ThinkStep(SlgMainWork* work) {
  const EnemyThinkRoutine routine = kEnemyThinkTable[kStep];
  if (routine == nullptr) {
    DebugPrint("SamuraiProgram22: think step %d empty: end of action\n", static_cast<int>(kStep));
    EnemyThinkEnd(work);
    return;
  }
  routine(work);
}
void Step22GuardOrCharge(SlgMainWork*) {
  BossGuardOrCharge(6, 7, 6);
  Next() = kEnd22;
}
void Step22Walk(SlgMainWork* work) {
  BossGo(kEnd22, kEnd22);
  if (BossBest(work)) return;
  Battle().think_search.think = EnemyBuiltInThink(21);
  BossBest(work);
}

template <size_t... kI>
constexpr std::array<BossStepFn, sizeof...(kI)> ThinkSteps(std::index_sequence<kI...>) {
  return {ThinkStep<kI>...};
}
constexpr std::array<BossStepFn, kThinkStepCount> kSteps22 = [] {
  std::array<BossStepFn, kThinkStepCount> t =
      ThinkSteps(std::make_index_sequence<kThinkStepCount>{});
  t[5] = Step22GuardOrCharge;
  t[6] = GuardStep<kEnd22>;
  t[7] = ChargeStep<kEnd22>;
  t[14] = Step22Walk;
  t[20] = KiaiAttackStep<kEnd22>;
  return t;
}();

// ---- Kind 35 (9 steps, end step 5) ----

constexpr uint16_t kEnd35 = 5;

// The record's target byte as the rotation last wrote it.
void Kind35Record() {
  if (St().target_byte != kBossTargetByteUnset)
    Battle().think_search.think.target = static_cast<uint8_t>(St().target_byte);
}
void Remember(const SlgUnit& target) {
  St().remembered_kind = target.kind;
  St().target_byte = target.kind;
  Battle().think_search.think.target = target.kind;
}
// The first live category-0 unit on the range list whose kind is not `kind`.
const SlgUnit* FirstOtherKind(uint8_t kind) {
  const SlgBattleState& st = Battle().state;
  const SlgSearchState& s = Battle().search;
  const uint32_t count = std::min<uint32_t>(s.range_count, kThinkListCap);
  for (uint32_t i = 0; i < count; ++i) {
    const SlgCell cell = PosToCell(s.range_list[i].x, s.range_list[i].y);
    const uint16_t slot = GetUnitAtCell(cell.column, cell.row);
    if (slot >= st.unit_count || slot >= kSlgMaxUnits) continue;
    const SlgUnit& u = st.units[slot];
    if (u.category == kPlayerCategory && SlgUnitLive(u) && u.kind != kind) return &u;
  }
  return nullptr;
}

void Step35Open(SlgMainWork*) {
  Kind35Record();
  St().remembered_kind = kBossNoRememberedKind;
  ChooseInReach(0);
  const uint16_t target = Battle().think_search.target;
  if (target != kSlgNoUnit && TargetInRange(0)) {
    Remember(Battle().state.units[target]);
    BossGo(1, 3);
  } else {
    BossGo(3);
  }
}
void Step35Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 0);
  BossGo(Next());  // s := n, next unchanged
}
void Step35Rotate(SlgMainWork*) {
  Kind35Record();
  ChooseInReach(0);
  if (St().remembered_kind != kBossNoRememberedKind) {
    const SlgUnit* other = FirstOtherKind(St().remembered_kind);
    if (other == nullptr) {
      BossGo(4);
      return;
    }
    Battle().think_search.target = other->slot;
    Remember(*other);
    BossGo(6, 8);
  } else if (Battle().think_search.target != kSlgNoUnit) {
    BossGo(6, 8);
  } else {
    BossGo(4);
  }
}
void Step35RandomWalk(SlgMainWork* work) {
  BossRandomWalk(work);
  BossGo(kEnd35);
}
void Step35Choose(SlgMainWork*) {
  Kind35Record();
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(1, kEnd35);
  } else {
    BossGo(7);
  }
}
void Step35Approach(SlgMainWork* work) {
  Kind35Record();
  ChooseInReach(0);
  if (BossApproach(work, 0)) {
    BossGo(Next());  // s := n, next unchanged
  } else {
    BossTakeNext(kEnd35);
  }
}
void Step35LastAttack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 0);
  BossGo(kEnd35);
}

constexpr std::array<BossStepFn, 9> kSteps35 = {
    Step35Open,        // 0
    CameraKeepStep<2>, // 1
    Step35Attack,      // 2
    Step35Rotate,      // 3
    Step35RandomWalk,  // 4
    EndStep,           // 5
    Step35Choose,      // 6
    Step35Approach,    // 7
    Step35LastAttack,  // 8
};

// ---- Kind 34 (11 steps, end step 7) ----

constexpr uint16_t kEnd34 = 7;

void Step34Open(SlgMainWork*) { BossGo(PlayerUnitInReach(0) ? 1 : 6); }
void Step34Choose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(3);
  } else {
    BossGo(2, 3);
  }
}
void Step34Approach(SlgMainWork* work) {
  ChooseInReach(0);
  BossApproach(work, 0);
  BossTakeNext(kEnd34);  // also with no cell
}
void Step34Hold(SlgMainWork*) {
  BossCamera();
  BossCursorOnUnit();
  BossGo(8, 10);
}

constexpr std::array<BossStepFn, 11> kSteps34 = {
    Step34Open,              // 0
    Step34Choose,            // 1
    Step34Approach,          // 2
    CameraStep<4, 5>,        // 3
    KiaiAttackStep<kEnd34>,  // 4
    RetreatStep<kEnd34>,     // 5
    Step34Hold,              // 6
    EndStep,                 // 7
    GuardStep<kEnd34>,       // 8
    nullptr,                 // 9: never set; a stale 9 ends the action with a trace
    RandomWalkStep<kEnd34>,  // 10
};

}  // namespace

constinit const std::span<const BossStepFn> kBossSteps20 = kSteps20;
constinit const std::span<const BossStepFn> kBossSteps21 = kSteps21;
constinit const std::span<const BossStepFn> kBossSteps22 = kSteps22;
constinit const std::span<const BossStepFn> kBossSteps23 = kSteps23;
constinit const std::span<const BossStepFn> kBossSteps24 = kSteps24;
constinit const std::span<const BossStepFn> kBossSteps34 = kSteps34;
constinit const std::span<const BossStepFn> kBossSteps35 = kSteps35;

uint16_t BossPullCandidate(bool named) {
  const SlgBattleState& st = Battle().state;
  if (named) {
    for (int n = 0; n < kNamedPulls; ++n) {
      if (CheckEventFlag(kFlagNamedPull + n) == 0) continue;
      const uint8_t slot = FindUnitByCharacter(n);
      if (slot != kThinkNoCharacterUnit) return slot;
    }
  }
  const int count = std::min<int>(st.unit_count, kSlgMaxUnits);
  int most = 0;
  uint16_t found = kSlgNoUnit;  // nobody, rather than unit 0, when no unit has life above 0
  for (int i = 0; i < count; ++i) {
    const SlgUnit& u = st.units[static_cast<size_t>(i)];
    if (u.category != kPlayerCategory || !SlgUnitLive(u) || u.stats.life <= most) continue;
    most = u.stats.life;
    found = static_cast<uint16_t>(i);
  }
  return found;
}

bool BossFreeCellBeside(int32_t* x, int32_t* y) {
  const SlgUnit* self = SlgActingUnit();
  if (self == nullptr) return false;
  const SlgPoint snap = SnapPosToCell(self->x >> 16, self->y >> 16);
  for (const auto& [dx, dy] : kBeside) {
    const int32_t px = snap.x + dx;
    const int32_t py = snap.y + dy;
    const SlgCell cell = PosToCell(px, py);
    if (GetUnitAtCell(cell.column, cell.row) != kSlgNoUnit) continue;
    if ((SlgCellWord(cell) & kCellBlocked) != 0) continue;
    *x = px;
    *y = py;
    return true;
  }
  return false;
}

bool BossPlayerInPullArea() {
  const SlgBattleState& st = Battle().state;
  const int count = std::min<int>(st.unit_count, kSlgMaxUnits);
  for (int i = 0; i < count; ++i) {
    const SlgUnit& u = st.units[static_cast<size_t>(i)];
    if (u.category != kPlayerCategory || !SlgUnitLive(u) || u.stats.life <= 0) continue;
    if (ThinkQuadContainsAt(kPullArea, u.x, u.y) != 0) return true;
  }
  return false;
}

void SamuraiProgram22(SlgMainWork* work) {
  const SlgUnit* unit = SlgActingUnit();
  if (unit != nullptr && unit->kind == 21) {
    SamuraiProgram21(work);
    return;
  }
  Battle().think_search.think = EnemyBuiltInThink(22);
  if (unit != nullptr) {
    const SlgCell cell = SlgUnitCell(*unit);
    if (cell.column == kSamuraiCellColumn && cell.row == kSamuraiCellRow &&
        (unit->state == kStateStand || unit->state == kStateReady))
      SetEventFlag(kFlagSamuraiArrived);
  }
  BossFamilyFrame(work, 22);
}

void SamuraiProgram21(SlgMainWork* work) { BossFamilyFrame(work, 21); }
