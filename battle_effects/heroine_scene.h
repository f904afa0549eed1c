#pragma once
// Small pieces the heroine specials share: their SPECIAL_BG pictures cut into sprites, and the
// animations their objects and effect tasks play.

#include <cstdint>

#include "battle/slg_units.h"
#include "engine/gfx/gfx_types.h"

struct SlgAnmObj;
struct SlgAttackCtx;
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
// The context's objects freed and the context given back; null after.
void FreeSceneCtx(SlgAttackCtx*& ctx);

// The object's animation released (the object is kept).
void ReleaseObjAnm(SlgAnmObj* obj);
// Plays animation n of a set the routine may release before the effect ends: the effect takes a
// reference of its own into `held` (given back by ReleaseHeldSet).
void PlayHeld(SprAnm* set, uint32_t n, SlgAnmObj* obj, SprAnm** held, SurfaceId surface);
void ReleaseHeldSet(SprAnm** held);

// A special's scene begins: SlgFlags bits 1 and 2 cleared (the map's units hidden), a fade in
// from black over `fade_frames` frames.
void EnterSpecialScene(int fade_frames = 30);
// And ends: bits 1 and 2 set, the flagged units shown.
void LeaveSpecialScene();

// The object's sprite at the object's position.
void PlaceObj(const SlgAnmObj* obj);
// A 16.16 position (about the screen centre) outside the box of half sizes (pixels).
bool OutsideBox(const SlgPair& pos, int32_t half_w, int32_t half_h);
