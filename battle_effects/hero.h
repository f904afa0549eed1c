#pragma once
// The hero's attacks (kind 0) and his cover move: their per-battle work and the pieces the tests
// reach. The routines themselves are declared with every family's in attack_routines.h.
//
// - KadrunAttackSetup (the hero entry's step 0, battle_effects/attack_dispatch.h): the target
//   list (flag bit 0, in slot order), DamageMember once, the attack's two sets (type 1
//   SPECIAL_BODY and SPECIAL_EFFECT with the root layer on, the scrolling background, the flash
//   picture and the voice; any other type ATTACK_BODY and ATTACK_EFFECT); 0 when a set is
//   missing (both given back), so that the entry ends the attack.
// - KadrunNormal / KadrunCritical (type 3 plays the normal): a layered attack
//   (battle_effects/layered_attack.h) of 3 or 5 objects counted by KadrunCountRunning, then 20
//   frames, then state 7.
// - KadrunSpecial: the dash "Kadrun:HissatsuHontai" with its effects (after-images, the looping
//   effect, the sparks, two lightnings, two hit marks), camera, layers and fade given back, then
//   state 7.
// - KadrunCover (slot 14 of kinds 0 and 7): the leap to the covered unit's place, eight
//   after-images over 32 frames, the hold there until the attack command clears the cover-hold
//   byte (the command waits for it to be set), then back and state 0.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/spawner.h"
#include "engine/anime/anime_handle.h"

struct SlgEffectTask;
struct SlgUnit;
struct SprAnm;
struct SprBufferEntry;
struct SprRec;

// A map position with its height lift (16.16 each).
struct KadrunPlace {
  int32_t x;
  int32_t y;
  int32_t lift;
};

// The family's per-battle block (Battle().Extension<KadrunAttackWork>()): one hero attack, or one
// cover move, at a time. Zero with the battle; the set-up and the cover's start clear what they
// use.
struct KadrunAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  KadrunAttackWork() = default;
  // A battle that ends while the hero attacks or covers: what the attack holds is given back
  // (KadrunGiveBack). The battle context is current then (its destructor runs the blocks' ends).
  ~KadrunAttackWork();
  KadrunAttackWork(const KadrunAttackWork&) = delete;
  KadrunAttackWork& operator=(const KadrunAttackWork&) = delete;

  uint8_t phase;  // the special's step and the cover's (the layered attack keeps its own)
  int8_t target_count;
  std::array<int8_t, 64> targets;  // unit slots with flag bit 0, in slot order
  // The attack's sets (bodyAnm = ctx.body_anims, effectAnm = ctx.effect_anims) and the layered
  // attack's objects (objs = ctx.objects, objCount = ctx.object_count). Never allocated.
  SlgAttackCtx ctx;
  LayeredAttack layered;
  SprAnm* ability_anm;          // the cover's ABILITY_EFFECT
  AnimeHandle bg_scroll;        // the special background's layer scroll
  SprRec* flash_spr;            // the special's flash picture (SPECIAL_BG picture 0)
  SprBufferEntry* flash_entry;  // the flash on the root layer while a lightning shows
  SlgUnit* unit;
  SlgAnmObj* unit_obj;
  uint32_t start_ms;  // the current wait or motion's start (the dash's or the cover's)
  uint8_t effect_end;
  uint32_t special_done;
  int32_t lightning_count;
  int32_t hitmark_count;
  // Where the dash object stands now: the special's effects start there.
  SlgPair dash_pos;
  // The special's effects play from one reference of SPECIAL_EFFECT of their own, taken by the
  // first effect that starts and given back by the last that ends.
  SprAnm* effect_set;
  int32_t effect_users;
  // The cover move.
  Spawner after_images;  // afterImageCount = after_images.count
  KadrunPlace cover_to;
  KadrunPlace cover_step;
  KadrunPlace offsets;   // cover_step x frames, at the current frame
  int16_t cover_depth;
  KadrunPlace saved_pos;
  uint16_t saved_attr;
  SlgPair cover_pos;
};

// The work record of every effect task of this family (owned slot 1; slot 0 its object).
struct KadrunTaskWork {
  uint8_t phase;  // the task's own phase ("Kadrun:HissatsuHontai")
  SlgPair camera;
  SlgPair camera_step;
  SlgPair start;  // the start of the current motion (the camera's, then the dash's)
  Spawner after_images;
};

KadrunAttackWork& KadrunWork();

// The first two owned allocations of an effect task: slot 0 an SlgAnmObj (zero, its depth the
// hero's sprite object's), slot 1 a zero KadrunTaskWork. 1, or 0 when either could not be made
// (nothing kept).
int KadrunEffectAlloc(SlgEffectTask* task);

// The cover move's start (KadrunCover's first call) and its per-frame routine.
void KadrunCoverStart(SlgUnit& unit, SlgPair& pos);
void KadrunCoverMove(SlgUnit& unit, SlgPair& pos);

// Gives back what the work holds (the objects, the sets, the special effects' reference, the
// flash picture with its entry, the background scroll) and clears those fields: the block's end
// runs it. (The set-up gives back what an attack cut short by a stage switch left of its own, but
// not the effects' reference, which effects still playing may hold.)
void KadrunGiveBack(KadrunAttackWork& work);
