#pragma once
// Small pieces the heroine specials share: their SPECIAL_BG pictures cut into sprites, and the
// animations their objects and effect tasks play.

#include <cstddef>
#include <cstdint>

#include "battle/slg_attack.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/gfx_types.h"

struct SlgAnmObj;
struct SlgAttackCtx;
struct SlgAttackRow;
struct SlgUnit;
struct SprAnm;
struct SprRec;

// SPECIAL_BG picture `picture` of the unit loaded onto the work surface (12) and cut whole into a
// sprite whose home position is (x, y); null (traced) when the picture is missing.
SprRec* CutSpecialPicture(const SlgUnit& unit, int picture, int x, int y);
// A box of the work surface, from its corner, as a sprite at home (0, 0).
SprRec* CutWorkBox(int width, int height);

// n objects of the context on the unit's body object, at the screen centre with flag byte 1,
// object 0 playing the body set's animation 0 stopped on its first frame; false (nothing kept)
// when the objects are refused.
bool StartSceneObjects(SlgAttackCtx& ctx, const SlgUnit& unit, int n);
// The context's objects freed, then n new ones on the unit's body object at `pos` playing the
// rows for the unit's direction (PlayAttackAnms: the closing of a special back on the map); when
// they are refused the context is left without objects.
void PlayClosingObjects(SlgAttackCtx& ctx, const SlgUnit& unit, const SlgPair& pos,
                        const SlgAttackRow* rows, int n);
// The first step of a special whose scene loads its pictures at once (a timeline row of the
// work's type, whose `unit` and `ctx` it fills): the attack's context (none: EndAttack has run
// and the timeline stops), layer 4 in mode 2, the pictures (`load`), the unit's voice.
template <typename Work>
int SceneSetup(Work& w, void (*load)(Work&)) {
  SlgUnit& unit = *w.unit;
  w.ctx = CreateAttackCtx(unit);
  if (w.ctx == nullptr) return kTimelineStop;
  SlgLayerOn(SURFACE_ROOT, 2);
  load(w);
  SelectUnitVoice(unit);
  PlayUnitVoice();
  return kTimelineNextRow;
}

// The context's objects freed and the context given back; null after.
void FreeSceneCtx(SlgAttackCtx*& ctx);
// The same from a family block's destructor, when the battle ends mid-attack: while the engine
// and the scene stand, as FreeSceneCtx; else (their entries, animations and sets went first)
// only the battle's own blocks. Nothing without a battle.
void FreeCtxAtBattleEnd(SlgAttackCtx*& ctx);

// The object's animation released (the object is kept).
void ReleaseObjAnm(SlgAnmObj* obj);
// Plays animation n of a set the routine may release before the effect ends: the effect takes a
// reference of its own into `held` (given back by ReleaseHeldSet).
void PlayHeld(SprAnm* set, uint32_t n, SlgAnmObj* obj, SprAnm** held, SurfaceId surface);
void ReleaseHeldSet(SprAnm** held);

// The work area of an effect task with its own object that plays from a held set: the object
// first (SlgTaskCreateAnmWork's first word), then the held reference; a task's own fields follow.
struct HeldEffect {
  SlgAnmObj* obj;
  SprAnm* set;
};
// Ends such a task: its animation released, its object freed, its held set given back.
void EndHeldEffect(SlgEffectTask* task);
// The effect's object placed at `at` (16.16 about the screen centre) at `depth` with mode byte
// `mode`, playing animation n of `set` (held); nothing is played without a set.
void PlayHeldAt(HeldEffect& effect, SprAnm* set, uint32_t n, const SlgPair& at, int depth,
                uint8_t mode);
// An effect task `name` with `body` and a work area of `bytes` (a HeldEffect first) playing
// animation n of `set` on the target where it stands on the ground, `depth_offset` from its body
// depth; null when it cannot be made.
SlgEffectTask* StartTargetEffect(SlgBody body, size_t bytes, const char* name,
                                 const SlgUnit& target, int depth_offset, SprAnm* set, uint32_t n,
                                 uint8_t mode);

// Entry i of the damage list as a unit, or null past its count or for a slot out of range (an
// empty list has no first target).
SlgUnit* DamageTarget(int i);
// A unit's body depth (0 without a body object).
int16_t BodyDepthOf(const SlgUnit& unit);

// A special's scene begins: SlgFlags bits 1 and 2 cleared (the map's units hidden), a fade in
// from black over `fade_frames` frames.
void EnterSpecialScene(int fade_frames = 30);
// And ends: bits 1 and 2 set, the flagged units shown.
void LeaveSpecialScene();

// The object's sprite at the object's position.
void PlaceObj(const SlgAnmObj* obj);
// A 16.16 position (about the screen centre) outside the box of half sizes (pixels).
bool OutsideBox(const SlgPair& pos, int32_t half_w, int32_t half_h);
