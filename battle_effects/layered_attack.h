#pragma once
// The layered attack: the common shape of the normal and critical attacks. A body object and
// effect objects stand on the attacker's drawing position and play one row each of an attack row
// list; the routine waits until they have ended (by its count rule), then for its follow-up,
// then its final wait, then frees the objects, gives back its context and ends the attack
// (state 7).
//
//   constexpr SlgAttackRow kRows[] = {{{0, 1}, 0, 0}, {{0, 1}, 0, 0}, {{6, 7}, 0, 0}};
//   constexpr LayeredForm kNormal{.rows = kRows, .flag_one = kLayeredAll,
//                                 .once = LayeredBit(2), .count = LayeredCount::kHero,
//                                 .final_wait = 20, .finish = &GiveBackSets};
//   ...in the routine, every frame, with its work zero at the attack's start:
//   work.layered.ctx = ctx;              // the sets to play from; the objects go into it
//   RunLayeredAttack(work.layered, kNormal, unit, pos);
//
// The steps (LayeredAttack::step, 0 at the start):
// 0. Start: the object count of the form for the unit's direction; AllocAnimeObjs on the unit's
//    body object (each object takes its depth) into ctx->objects, ctx->object_count := the count.
//    Each object: its position := pos; the marked object's state byte gets kLayeredMarked; its
//    flag byte (mode) := 1 when its bit is in flag_one (it plays through once, without looping),
//    else 0 (it loops); then PlayAttackRow: object 0 from ctx->body_anims, the others from
//    ctx->effect_anims, column and mirror attribute by direction (0 -> column 1, attribute 0;
//    1 -> 0, 0; 2 -> 0, 16; 3 -> 1, 16), the row's depth offset added, on `surface`. Objects in
//    `once` get SlgAnmPlayOnce (looping off, freed at their end, the handle cleared); objects in
//    `loop_off` have looping switched off (the handle stays). Then the `started` hook. A refused
//    allocation ends the attack: the `finish` hook, then EndAttack.
// 1. Count, every call: the `each` hook, then the count rule; once it is below 1, in the same
//    call:
// 2. the follow-up: the `follow_up` hook, every call until it answers 1 (none: at once); then
// 3. the final wait: `final_wait` frames counted from the call that ended the follow-up, and the
//    `ready` hook answering 1 (none: at once); then
//    FreeAnimeObjs, ctx's objects cleared, the `finish` hook (which gives back the context or the
//    sets: the kit never releases them), SetUnitState(unit, 7).
//
// Count rules:
// - kBody: CountRunningAttackAnms: the count while object 0 plays, 0 once it has ended;
// - kEvery: CountRunningAnms: every object (each sprite put at its object's position first);
// - kHero: KadrunCountRunning (below).

#include <array>
#include <cstdint>
#include <span>

#include "battle/slg_attack_anm.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/gfx_types.h"

struct SlgUnit;

// The state byte bit of the form's marked object.
constexpr uint8_t kLayeredMarked = 0x2;
// Object masks: bit i is object i.
constexpr uint32_t LayeredBit(int object) { return 1u << object; }
constexpr uint32_t kLayeredAll = 0xFFFFFFFFu;

enum class LayeredCount : uint8_t { kBody, kEvery, kHero };

struct LayeredAttack;
using LayeredHook = void (*)(LayeredAttack& attack);

// One attack form (one attack type's objects and rules); constant data.
struct LayeredForm {
  std::span<const SlgAttackRow> rows;  // one row per object, at most kSlgAttackObjects
  // Objects by direction 0-3 (the first n rows); 0: one per row.
  std::array<uint8_t, 4> count_by_dir{};
  uint32_t flag_one = LayeredBit(0);  // flag byte 1 (no looping); the others 0 (looping)
  uint32_t once = 0;                  // SlgAnmPlayOnce after the play
  uint32_t loop_off = 0;              // looping switched off after the play
  int8_t marked = -1;                 // the object whose state gets kLayeredMarked; -1 none
  LayeredCount count = LayeredCount::kBody;
  int32_t final_wait = 0;  // frames
  SurfaceId surface = SURFACE_ROOT;
  LayeredHook started = nullptr;  // after the objects play (follow-up effects started)
  LayeredHook each = nullptr;     // every counting call, before the count (objects follow ...)
  // After the count, every call until it answers 1 (a follow-up the attack waits for).
  int (*follow_up)(LayeredAttack& attack) = nullptr;
  LayeredHook finish = nullptr;   // at the end, after the objects are freed: the context back
  // After the final wait, every call until it answers 1 (effects the end waits for); none: at once.
  int (*ready)(LayeredAttack& attack) = nullptr;
};

// The running attack, in the routine's work; zero at the attack's start but for `ctx` (and
// `user`, which the hooks may read).
struct LayeredAttack {
  SlgAttackCtx* ctx;        // the sets to play from; the objects and their count go into it
  void* user;               // the routine's own work, for its hooks
  const LayeredForm* form;  // the form of the current call
  SlgUnit* unit;            // the attacker and its drawing position at the current call
  SlgPair pos;
  uint8_t step;             // 0-3 as above; 4 once the attack has ended
  StepClock clock;
  int32_t running;          // the count rule's last answer
};

// A routine's first call (the unit's step 0): the attack context made and handed to the kit with
// the routine's work as its user, the unit moved to step 1. Null when the context is refused:
// EndAttack has run and the routine is not called again.
SlgAttackCtx* OpenLayeredAttack(LayeredAttack& attack, SlgUnit& unit, void* user);
// One call a frame. 1 on the call that ends the attack (or once it has ended), else 0.
int RunLayeredAttack(LayeredAttack& attack, const LayeredForm& form, SlgUnit& unit, SlgPair& pos);

// The objects of the form for a direction (0-3; another counts as 0).
int LayeredObjectCount(const LayeredForm& form, int dir);

// The hero's count: n, less object 0 from the call its animation has ended (its state gets
// kSlgAnmStateEnded); each further object is left counted while its state has bit 0; it counts
// out from the call after the one that found its animation ended (that call gives it the ended
// flag). An object without an animation has ended (SlgAnmObjIsEnd); a null object counts out.
int KadrunCountRunning(SlgAnmObj* const* objs, int n);
