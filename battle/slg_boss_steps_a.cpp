#include "battle/slg_boss_steps_a.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_enemy_think.h"

namespace {

// The frame runs a step only with an acting unit (battle/slg_boss_program.cpp).
SlgUnit& Self() {
  SlgBattleState& s = Battle().state;
  return s.units[s.acting_unit];
}

void SaveLife() { Battle().enemy_saved_life = Self().stats.life; }

// ---- Kind 30 (18 steps, end step 7) ----

constexpr uint16_t kEnd30 = 7;

void Step30Open(SlgMainWork*) {
  if (SelfSupport(2)) {
    BossGo(1);
  } else if (FullKiai(Self()) && PlayerUnitInReach(1)) {
    BossCamera();
    BossGo(14);
  } else {
    BossGo(PlayerUnitInReach(0) ? 2 : 3);
  }
}
void Step30Support(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossSupport(work);
  BossGo(4);
}
void Step30Choose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(6, 5);
  } else {
    BossGo(9, 6);
  }
}
void Step30NobodyNear(SlgMainWork*) { BossGo(5, 11); }
// After its support: the special attack on a target in its special range, else a normal choice
// whose result is not looked at.
void Step30AfterSupport(SlgMainWork*) {
  if (FullKiai(Self()) && ChooseInRange(1)) {
    BossGo(15, kEnd30);
    return;
  }
  ChooseInRange(0);
  BossGo(5, kEnd30);
}
// The retreat only when the unit's life fell below the value its camera step saved.
void Step30Retreat(SlgMainWork* work) {
  if (Battle().enemy_saved_life > Self().stats.life) BossRetreat(work);
  BossTakeNext(kEnd30);
}
void Step30Focus(SlgMainWork*) {
  BossCamera();
  SaveLife();
  BossGo(8);
}
void Step30End(SlgMainWork* work) { EnemyThinkEnd(work); }
void Step30Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 0);
  BossTakeNext(kEnd30);
}
void Step30Approach(SlgMainWork* work) {
  if (BossApproach(work, 0)) {
    BossTakeNext(kEnd30);
  } else {
    BossGo(kEnd30, kEnd30);
  }
}
void Step30Best(SlgMainWork* work) {
  if (BossBest(work)) {
    BossTakeNext(kEnd30);
  } else {
    BossGo(11, kEnd30);
  }
}
void Step30GuardOrCharge(SlgMainWork*) { BossGuardOrCharge(12, 13, 12); }
void Step30Guard(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossGuard(work);
  BossTakeNext(kEnd30);
}
void Step30Charge(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossCharge(work);
  BossTakeNext(kEnd30);
}
void Step30ChooseSpecial(SlgMainWork*) {
  ChooseInReach(1);
  if (TargetInRange(1)) {
    BossGo(15, 5);
  } else {
    BossGo(16, 15);
  }
}
void Step30FocusSpecial(SlgMainWork*) {
  BossCamera();
  SaveLife();
  BossGo(17);
}
void Step30ApproachSpecial(SlgMainWork* work) {
  if (BossApproach(work, 1)) {
    BossTakeNext(kEnd30);
  } else {
    BossGo(kEnd30, kEnd30);
  }
}
void Step30AttackSpecial(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 1);
  BossTakeNext(kEnd30);
}

constexpr std::array<BossStepFn, 18> kSteps30 = {
    Step30Open,          Step30Support,         Step30Choose,      Step30NobodyNear,
    Step30AfterSupport,  Step30Retreat,         Step30Focus,       Step30End,
    Step30Attack,        Step30Approach,        Step30Best,        Step30GuardOrCharge,
    Step30Guard,         Step30Charge,          Step30ChooseSpecial, Step30FocusSpecial,
    Step30ApproachSpecial, Step30AttackSpecial,
};

// ---- Kinds 31 and 32 (one array; end step 7 in both) ----

constexpr uint16_t kEnd3132 = 7;

// The routines both kinds run (their steps 2, 3, 6, 7, 9 and 10).
void Shared3132Choose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(6, 10);
  } else {
    BossGo(9, 6);
  }
}
void Shared3132NobodyNear(SlgMainWork*) { BossGo(9, 11); }
void Shared3132Focus(SlgMainWork*) {
  BossCamera();
  BossGo(8);
}
void Shared3132End(SlgMainWork* work) { EnemyThinkEnd(work); }
// Toward EnemyTarget, which may be none when nothing was chosen in this action: then the
// approach finds no cell and the unit guards.
void Shared3132Approach(SlgMainWork* work) {
  if (BossApproach(work, 0)) {
    BossTakeNext(kEnd3132);
  } else {
    BossGo(12, kEnd3132);
  }
}
void Shared3132Best(SlgMainWork* work) {
  if (BossBest(work)) {
    BossTakeNext(kEnd3132);
  } else {
    BossGo(11, kEnd3132);
  }
}
void Shared3132Guard(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossGuard(work);
  BossTakeNext(kEnd3132);
}
void Shared3132Charge(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossCharge(work);
  BossTakeNext(kEnd3132);
}

// Kind 31's own: no special attack, no self-support, no charge.
void Step31Open(SlgMainWork*) { BossGo(PlayerUnitInReach(0) ? 2 : 3); }
void Step31Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossFlagAttack(work, 0);
  BossTakeNext(kEnd3132);
}
void Step31ToGuard(SlgMainWork*) { BossGo(12); }

// Kind 32's own.
void Step32Open(SlgMainWork*) {
  if (SelfSupport(2)) {
    BossGo(1);
  } else if (FullKiai(Self()) && ChooseInReach(1) && TargetInList()) {
    BossCamera();
    BossGo(14);
  } else if (ChooseInReach(0) && TargetInList()) {
    BossGo(2);
  } else {
    BossGo(3);
  }
}
void Step32Support(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossSupport(work);
  BossGo(4);
}
void Step32AfterSupport(SlgMainWork*) {
  if (FullKiai(Self()) && ChooseInRange(1)) {
    BossGo(15, kEnd3132);
  } else if (ChooseInRange(0)) {
    BossGo(6, kEnd3132);
  } else {
    BossGo(5, kEnd3132);
  }
}
void Step32Best(SlgMainWork* work) {
  BossBest(work);
  BossTakeNext(kEnd3132);
}
// The special on kiai equal to its maximum (no test for a maximum of 0 here).
void Step32Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  const SlgUnit& self = Self();
  BossFlagAttack(work, static_cast<int>(self.stats.kiai) == self.stats.max_kiai ? 1 : 0);
  BossTakeNext(kEnd3132);
}
void Step32GuardOrCharge(SlgMainWork*) { BossGuardOrCharge(12, 13, 12); }
void Step32ChooseSpecial(SlgMainWork*) {
  ChooseInReach(1);
  if (TargetInRange(1)) {
    BossGo(15, 10);
  } else {
    BossGo(16, 15);
  }
}
void Step32FocusSpecial(SlgMainWork*) {
  BossCamera();
  BossGo(17);
}
void Step32ApproachSpecial(SlgMainWork* work) {
  if (BossApproach(work, 1)) {
    BossTakeNext(kEnd3132);
  } else {
    BossGo(11, kEnd3132);
  }
}
void Step32AttackSpecial(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossFlagAttack(work, 1);
  BossTakeNext(kEnd3132);
}

constexpr size_t kKind32First = 13;  // kind 32's step n is entry n + 13

constexpr std::array<BossStepFn, kKind32First + 18> kSteps3132 = {
    // Kind 31: steps 0-12 (1, 4 and 5 are never set).
    Step31Open, nullptr, Shared3132Choose, Shared3132NobodyNear, nullptr, nullptr,
    Shared3132Focus, Shared3132End, Step31Attack, Shared3132Approach, Shared3132Best,
    Step31ToGuard, Shared3132Guard,
    // Kind 32: steps 0-17.
    Step32Open, Step32Support, Shared3132Choose, Shared3132NobodyNear, Step32AfterSupport,
    Step32Best, Shared3132Focus, Shared3132End, Step32Attack, Shared3132Approach, Shared3132Best,
    Step32GuardOrCharge, Shared3132Guard, Shared3132Charge, Step32ChooseSpecial,
    Step32FocusSpecial, Step32ApproachSpecial, Step32AttackSpecial,
};

// ---- The shared layout of kinds 28, 26/27 and 25 (end step 8) ----

enum class Layout { k28, k26, k25 };
constexpr uint16_t kEndLayout = 8;

template <Layout L>
void LayoutOpen(SlgMainWork*) {
  if constexpr (L == Layout::k25) BossCamera();
  if (SelfSupport(2)) {
    BossGo(1);
    return;
  }
  bool special = false;
  if (FullKiai(Self())) {
    if constexpr (L == Layout::k28) special = ChooseInRange(1) && TargetInList();
    if constexpr (L == Layout::k26) special = ChooseInReach(1) && TargetInList();
    if constexpr (L == Layout::k25) special = PlayerUnitInReach(1);
  }
  if (special) {
    BossCamera();
    BossGo(2);
    return;
  }
  bool normal = false;
  if constexpr (L == Layout::k25) {
    normal = PlayerUnitInReach(0);
  } else {
    normal = ChooseInReach(0) && TargetInList();
  }
  if (normal) {
    BossCamera();
    BossGo(3);
  } else {
    BossGo(4);
  }
}
void LayoutToSupport(SlgMainWork*) { BossGo(5); }
template <Layout L>
void LayoutChooseSpecial(SlgMainWork*) {
  if constexpr (L == Layout::k28) {
    if (ChooseInRange(1) && TargetInList()) {
      BossGo(6, kEndLayout);
    } else {
      BossGo(kEndLayout);
    }
  } else {
    const bool may = L == Layout::k25 || FullKiai(Self());
    if (may && ChooseInReach(1) && TargetInRange(1)) {
      BossGo(6, kEndLayout);
    } else {
      BossGo(12, 6);
    }
  }
}
void LayoutChoose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(7, kEndLayout);
  } else {
    BossGo(9, 7);
  }
}
void LayoutGuardOrCharge(SlgMainWork*) {
  BossGuardOrCharge(10, 11, 10);
  Battle().enemy.next_step = kEndLayout;
}
// The support, then in the same frame the attack that follows it.
void LayoutSupport(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossSupport(work);
  if (FullKiai(Self()) && ChooseInRange(1) && TargetInList()) {
    BossGo(6, kEndLayout);
  } else if (ChooseInRange(0) && TargetInList()) {
    BossGo(7, kEndLayout);
  } else {
    BossGo(kEndLayout);
  }
}
// Kinds 28 and 26 look at the range once more before a flag attack; kind 25 attacks as it is.
template <Layout L, int kAttack>
void LayoutAttack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  if constexpr (L == Layout::k25) {
    BossAttack(work, kAttack);
  } else {
    if (!TargetInRange(kAttack)) {
      BossGo(10, kEndLayout);
      return;
    }
    BossFlagAttack(work, kAttack);
  }
  BossTakeNext(kEndLayout);
}
void LayoutEnd(SlgMainWork* work) { EnemyThinkEnd(work); }
template <Layout L>
void LayoutApproach(SlgMainWork* work) {
  ChooseInReach(0);
  if (BossApproach(work, 0) || L != Layout::k26) {
    BossTakeNext(kEndLayout);
  } else {
    BossGo(kEndLayout, kEndLayout);
  }
}
void LayoutGuard(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossGuard(work);
  BossTakeNext(kEndLayout);
}
void LayoutCharge(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossCharge(work);
  BossTakeNext(kEndLayout);
}
template <Layout L>
void LayoutApproachSpecial(SlgMainWork* work) {
  ChooseInReach(1);
  if (BossApproach(work, 1)) {
    BossTakeNext(kEndLayout);
  } else {
    BossGo(L == Layout::k26 ? kEndLayout : 10, kEndLayout);
  }
}

template <Layout L>
constexpr std::array<BossStepFn, 12> kLayoutSteps = {
    LayoutOpen<L>,      LayoutToSupport,   LayoutChooseSpecial<L>, LayoutChoose,
    LayoutGuardOrCharge, LayoutSupport,    LayoutAttack<L, 1>,     LayoutAttack<L, 0>,
    LayoutEnd,          LayoutApproach<L>, LayoutGuard,            LayoutCharge,
};

constexpr std::array<BossStepFn, 13> WithSpecialApproach(const std::array<BossStepFn, 12>& base,
                                                         BossStepFn twelve) {
  std::array<BossStepFn, 13> out{};
  for (size_t i = 0; i < base.size(); ++i) out[i] = base[i];
  out[12] = twelve;
  return out;
}

constexpr std::array<BossStepFn, 12> kSteps28 = kLayoutSteps<Layout::k28>;
constexpr std::array<BossStepFn, 13> kSteps26 =
    WithSpecialApproach(kLayoutSteps<Layout::k26>, LayoutApproachSpecial<Layout::k26>);
constexpr std::array<BossStepFn, 13> kSteps25 =
    WithSpecialApproach(kLayoutSteps<Layout::k25>, LayoutApproachSpecial<Layout::k25>);

}  // namespace

// Constant-initialised: the member table (built at start-up in another file) reads them.
constinit const std::span<const BossStepFn> kBossSteps30 = kSteps30;
constinit const std::span<const BossStepFn> kBossSteps31 =
    std::span<const BossStepFn>(kSteps3132).first(kKind32First);
constinit const std::span<const BossStepFn> kBossSteps32 =
    std::span<const BossStepFn>(kSteps3132).subspan(kKind32First);
constinit const std::span<const BossStepFn> kBossSteps28 = kSteps28;
constinit const std::span<const BossStepFn> kBossSteps26 = kSteps26;
constinit const std::span<const BossStepFn> kBossSteps25 = kSteps25;
