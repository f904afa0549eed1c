#pragma once
// The battle's drawing vocabulary: wrappers over the engine's sprite buffer, polygon entries and
// sprite-file animations that take battle units (slg_units.h: 16.16 positions about the screen
// centre, depths around 1536, 512-step angles, 15-bit colours) and hand the engine its own.
// An "anim" is a sprite-file animation handle (kind 12, scene/sprite/spx_anime.h); every call
// takes a null handle, object or record and then does nothing (or answers as stated).

#include <cstdint>

#include "battle/slg_anm_obj.h"
#include "battle/slg_units.h"
#include "engine/anime/anime_handle.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;

// A battle polygon, owned by the caller.
struct SlgPoly {
  int32_t x = 0;  // 16.16 battle position of the origin
  int32_t y = 0;
  uint16_t colour = 0;  // 15-bit 5:5:5, red in bits 10-14
  int16_t depth = 0;
  PolygonPoint corners[4];  // pixels from the origin
  SurfaceId surface = 0;    // written at creation
  SprBufferEntry* entry = nullptr;  // written at creation, cleared at free
  // The entry was made for one frame (no buffer name): the engine removes it after its draw and
  // may hand its pool slot to another entry, so the record never deletes it.
  bool one_frame = false;
};

// ---- Sprite-buffer entries and polygons ----

// Requests an update of the surface and makes a sprite entry on it at priority depth + 1536;
// buffer (the entry's owner name, null for one frame), sprite, x, y (pixels), a (colour key) and
// b (mirror flags) go through as they are.
SprBufferEntry* SlgSprCreate(const char* buffer, SprRec* sprite, int x, int y, SurfaceId surface,
                             int a, int depth, uint32_t b);
// A polygon entry for the record on the surface at priority depth + 1536, at the screen pixel of
// its position, with its colour and corners; the surface is asked to update. With a buffer name
// the record's previous entry is deleted first and the new one stays; with none it is a
// one-frame entry (drawn once, then removed by the engine) that the caller makes again each
// frame; the record then keeps it for this frame's setters only. Returns the entry (null when the
// pool is empty).
SprBufferEntry* SlgPolyCreate(const char* buffer, SlgPoly* poly, SurfaceId surface);
// Deletes the record's entry (when it has one, and it is not a one-frame entry, which the engine
// removes itself) and asks its surface to update; a record never made has no surface and asks
// nothing (freeing it leaves the screen composing).
void SlgPolyFree(SlgPoly* poly);
// Angle word i (0-2) := v x 804 / 256.
void SlgPolySetRot(SlgPoly* poly, int i, int32_t v);
// The entry's alpha word (a solid polygon is drawn without it in this engine).
void SlgPolySetAttr(SlgPoly* poly, BlendWord v);
// Zoom X and Y (16.16).
void SlgPolySetZoom(SlgPoly* poly, const SlgPair& zoom);

// ---- Sprite-file animations ----

// Releases the object's animation, then plays animation n of the list at the screen pixel of the
// object's position and priority depth + 1536, looping only for mode 0, on surface a with the
// colour key, the attribute word as its reverse bits; mode bit 1 leaves it stopped. Handle, list
// and pattern are stored in the object. Returns the handle (null when it could not start).
AnimeHandle SlgPlayAnm(SprAnm* list, uint32_t n, SlgAnmObj* obj, SurfaceId a);
// The same after setting the object's attribute word.
AnimeHandle SlgPlayAnmAttr(SprAnm* list, uint32_t n, SlgAnmObj* obj, SurfaceId a, uint16_t attr);

int SlgSprSetPri(AnimeHandle anim, int32_t depth);
int SlgSprSetPos(AnimeHandle anim, const SlgPair& pos);
int SlgSprSetZoom(AnimeHandle anim, const SlgPair& zoom);
// Rotation (angle mod 512, made non-negative) x 804 / 256.
int SlgSprSetRot(AnimeHandle anim, int32_t angle);
// Turn about the vertical axis by the same conversion, with perspective for width and distance.
int SlgSprSetTurnY(AnimeHandle anim, int32_t angle, int width, int distance);
// The four corner factors (16.16); nothing for a null array.
int SlgSprSetCorners(AnimeHandle anim, const int32_t* factors);
int SlgSprSetAlpha(SlgAnmObj* obj, BlendWord alpha);
// 256 when the object has no animation.
BlendWord SlgSprGetAlpha(const SlgAnmObj* obj);

// Draws unit `frame` of the list's unit record at once (one-frame entries) at the screen pixel of
// pos, priority depth + 1536, on surface a with colour key b, unscaled / scaled by the pair.
int SlgPutUnitSpr(SprAnm* list, uint32_t frame, int32_t depth, const SlgPair& pos, SurfaceId a,
                  int b);
int SlgPutUnitSprEx(SprAnm* list, uint32_t frame, int32_t depth, const SlgPair& pos, SurfaceId a,
                    int b, const SlgPair& scale);

// Loop off, hold-end on, and the caller's handle variable cleared by the engine when the
// animation ends.
int SlgAnmPlayOnce(AnimeHandle* handle);
// Stops the animation and frees its drawn sprite.
int SlgAnmHide(AnimeHandle anim);
// Clears the stop flag (the current frame is drawn again).
int SlgAnmShow(AnimeHandle anim);
// Mode bit 1: rebuilds the drawn sprite; otherwise clears the stop flag.
int SlgAnmObjShow(SlgAnmObj* obj);
// 1 when the object has no animation or it has ended (mode bit 0: its last frame has passed).
int SlgAnmObjIsEnd(const SlgAnmObj* obj);
