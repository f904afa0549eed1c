#pragma once
// The animation pieces attack routines build their effects from: the attack row lists played on
// a routine's objects, the running-animation counts, and the self-ending one-shot animations
// (each an effect task that plays one pattern once and ends itself, releasing and freeing its
// object, when the animation has ended).
#include <cstdint>

#include "battle/slg_anm_obj.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "engine/gfx/gfx_types.h"

struct SlgEffectTask;
struct SlgUnit;
struct SprAnm;

// One row of an attack row list: the animation for column 0 and column 1, a signed depth offset
// added to the object's depth, and a fourth byte that is not read.
struct SlgAttackRow {
  uint8_t anim[2];
  int8_t depth;
  uint8_t unused;
};

// Column and mirror attribute of a direction: 0 -> (1, 0), 1 -> (0, 0), 2 -> (0, 16), 3 -> (1, 16);
// any other value (0, 0).
struct SlgRowColumn {
  int column;
  uint16_t attr;
};
SlgRowColumn SlgRowColumnOf(int dir);

// Plays rows 0 .. n - 1 on objects 0 .. n - 1 for the direction, each on surface `mode`:
// object 0 from the context's body set with its mode byte 1 (plays once, sprite-file end test),
// the others from the effect set with mode byte 0; each gets the direction's attribute and its
// row's depth offset added to its depth. Null objects are skipped.
void PlayAttackAnms(SlgAnmObj* const* objs, const SlgAttackRow* rows, int n, int dir,
                    const SlgAttackCtx& ctx, SurfaceId mode);
// The effect-object form for one object and one row.
void PlayAttackAnm(SlgAnmObj* obj, const SlgAttackRow& row, int dir, const SlgAttackCtx& ctx,
                   SurfaceId mode);
// One row on one object from any set: the direction's attribute, the row's depth offset added,
// the mode byte `flags` (0 loops; kSlgAnmOnce plays through once), its animation released and
// the row's animation for the direction played on surface `mode`. Nothing for a null object.
void PlayAttackRow(SlgAnmObj* obj, const SlgAttackRow& row, int dir, SprAnm* set, uint8_t flags,
                   SurfaceId mode);

// How many of objects 0 .. n - 1 still animate. Each object's sprite is put at its position.
// Object 0 counts out once its animation has ended (engine end test; its state byte becomes
// 128, and stays so). The others count out when mode bit 0 is set and the sprite-file end test
// says ended, or, without it, when they have no animation or it has ended; an ended one gets
// state 128. Null objects count out.
int CountRunningAnms(SlgAnmObj* const* objs, int n);
// The context's object count while its object 0 animates; 0 once that has ended (state 128),
// whatever the other objects do.
int CountRunningAttackAnms(const SlgAttackCtx& ctx);

// ---- One-shot animations ----
//
// A one-shot may outlive the routine that started it (the routine frees its context, and the
// sets with it, at its end): each holds a reference of the set it plays from while it plays. Its
// animation frees itself at its end and the end callback gives the reference back (the callback
// reads only the set, so a battle that ends while the one-shot plays still gives it back); a
// one-shot ended early through SlgTaskEndAnm gives it back there. The same rule serves any effect
// task that plays from a set it does not own: SlgHoldAnmSet at play, ReleaseUnitAnm at its end.

// One more reference of a set the sprite layer holds (TamvikFunc::LoadAnmFile's record); null for
// null or a set it does not hold.
SprAnm* SlgHoldAnmSet(SprAnm* set);

// "AutoPtnChg:No%d" (Battle().attack.auto_ptn_no, counted up per call): one object at the map
// position (16.16) and depth playing `pattern` of `set` once on surface `mode`; each frame its
// sprite follows the map position through the scroll (Slg::PosToScreen). The task releases and
// frees the object and ends once the animation has ended (at once when nothing could be played,
// e.g. a set not loaded). A set the sprite layer holds is held as above; another plays as it is.
// Null when the task cannot be made (nothing left allocated, no reference taken).
SlgEffectTask* AutoPtnChg(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                          SprAnm* set, SurfaceId mode);
// "AutoPtnChg2:No%d" (auto_ptn2_no): the position is the sprite's own (16.16 about the screen
// centre); no scroll.
SlgEffectTask* AutoPtnChg2(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                           SprAnm* set, SurfaceId mode);
// The same with the unit-animation slot's set of the unit's kind, loaded here (that load is the
// one-shot's reference). A failed task releases the set at once.
SlgEffectTask* AutoPtnChgUnit(uint32_t pattern, const SlgPair& pos, int16_t depth, uint16_t attr,
                              const SlgUnit& unit, int slot, SurfaceId mode);
SlgEffectTask* AutoPtnChg2Unit(uint32_t pattern, const SlgPair& pos, int16_t depth,
                               uint16_t attr, const SlgUnit& unit, int slot, SurfaceId mode);
// `count` AutoPtnChg2 animations around the unit in `slot`: base = the unit's drawing position
// raised by `raise` pixels; a starting quadrant q = SlgRand() & 3; each animation is placed at
// base + (dx, dy) pixels, dx = SlgRand() mod spread_x, dy = SlgRand() mod spread_y (0 without
// drawing for a spread of 0 or less), q 0 negating dy, 1 dx, 2 both, 3 neither, q stepping on
// mod 4; depth the unit's body depth + 1 or - 1 (SlgRand() & 1); attribute 0. With delay_spread
// > 0 each created one waits SlgRand() mod delay_spread frames before it starts, its sprite
// hidden until then. A slot that holds no unit in use makes nothing. Returns how many were made.
int AutoPtnScatter(uint32_t pattern, int count, int slot, int32_t raise, int32_t spread_x,
                   int32_t spread_y, int32_t delay_spread, SprAnm* set, SurfaceId mode);
