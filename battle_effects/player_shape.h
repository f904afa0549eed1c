#pragma once
// The normal attack the player kinds 5-13 share: each kind's normal routine (attack types 0, 2
// and 3 of its {normal, special, normal, normal} row of the player table) is this kit with the
// kind's three row lists.
//
//   constexpr SlgAttackRow kType0[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}};
//   constexpr SlgAttackRow kType2[] = {{{2, 3}, 0, 0}, {{2, 3}, 0, 0}};
//   constexpr SlgAttackRow kType3[] = {{{6, 7}, 0, 0}, {{6, 7}, 0, 0}};
//   constexpr PlayerNormalForms kForms{PlayerNormalForm(kType0), PlayerNormalForm(kType2),
//                                      PlayerNormalForm(kType3)};
//   void Kind::NormalAttack(SlgUnit& unit, SlgPair& pos) {
//     RunPlayerNormal(KindWork().normal, kForms, unit, pos);
//   }
//
// The steps, on the unit's step counter:
// 0. the attack context (CreateAttackCtx); when it is refused the attack has ended (EndAttack)
//    and the routine is not called again;
// 1. the objects of the type's rows (one per row) on the unit's body object, each playing its
//    row; object 1 plays once and clears its handle at its end (SlgAnmPlayOnce);
// 2. once no attack animation runs (CountRunningAttackAnms 0), 30 frames;
// 3. the objects and the context given back, unit state 7.
//
// Each family keeps its own PlayerNormal in its per-battle block (Battle().Extension<...>()),
// beside its special's work: one attack of a family runs at a time.

#include <array>
#include <cstdint>
#include <span>

#include "battle/slg_attack_anm.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"

struct SlgAttackCtx;
struct SlgUnit;

// The normal attack's state: zero at the attack's start (the kit clears it at step 0).
struct PlayerNormal {
  SlgAttackCtx* ctx;
  LayeredAttack layered;
};

// The layered form's finish hook: the context given back.
void FreePlayerNormalCtx(LayeredAttack& attack);

// The shared form of one attack type's rows.
constexpr LayeredForm PlayerNormalForm(std::span<const SlgAttackRow> rows) {
  return LayeredForm{.rows = rows,
                     .flag_one = kLayeredAll,
                     .once = LayeredBit(1),
                     .count = LayeredCount::kBody,
                     .final_wait = 30,
                     .finish = &FreePlayerNormalCtx};
}

// The held form (kinds 7 and 8): object 1 plays through without looping and keeps its handle,
// the objects after it play once and clear their handles at their ends; `count_by_dir` as
// LayeredForm's (0: one object per row).
constexpr LayeredForm PlayerHeldNormalForm(std::span<const SlgAttackRow> rows,
                                           std::array<uint8_t, 4> count_by_dir = {}) {
  return LayeredForm{.rows = rows,
                     .count_by_dir = count_by_dir,
                     .flag_one = kLayeredAll,
                     .once = kLayeredAll & ~(LayeredBit(0) | LayeredBit(1)),
                     .loop_off = LayeredBit(1),
                     .count = LayeredCount::kBody,
                     .final_wait = 30,
                     .finish = &FreePlayerNormalCtx};
}

// A kind's forms by attack type: 0 (and any type but 2 and 3), 2 (critical), 3.
struct PlayerNormalForms {
  LayeredForm normal;
  LayeredForm critical;
  LayeredForm type_three;
};

// One call a frame while the unit attacks.
void RunPlayerNormal(PlayerNormal& work, const PlayerNormalForms& forms, SlgUnit& unit,
                     SlgPair& pos);
