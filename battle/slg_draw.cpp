#include "battle/slg_draw.h"

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

CDdrawSpr& Sprites() { return Ctx().ddraw_spr; }
CTamvikSpr& Units() { return Scene().tamvik_spr; }
// Kind 12 of the animation list (null while the scene has none).
SpxAnimeKind* Spx() { return Units().spx(); }

}  // namespace

// ---- Sprite-buffer entries and polygons ----

SprBufferEntry* SlgSprCreate(const char* buffer, SprRec* sprite, int x, int y, SurfaceId surface,
                             int a, int depth, uint32_t b) {
  Ctx().ddraw.SetUpdate(surface, 1);
  return Sprites().SetBuffer(buffer, sprite, x, y, surface, a, SlgPriority(depth), b);
}

SprBufferEntry* SlgPolyCreate(const char* buffer, SlgPoly* poly, SurfaceId surface) {
  if (poly == nullptr) return nullptr;
  CDdrawSpr& sprites = Sprites();
  if (buffer != nullptr && !poly->one_frame) sprites.DeleteBuffer(&poly->entry);
  SprBufferEntry* entry = sprites.SetPolygonBuffer(buffer, surface, SlgPriority(poly->depth));
  poly->surface = surface;
  poly->entry = entry;
  poly->one_frame = buffer == nullptr;
  if (entry == nullptr) return nullptr;
  sprites.SetBufferPos(entry, SlgScreenX(poly->x), SlgScreenY(poly->y));
  sprites.SetPolygonColor(entry, SlgColorRef(poly->colour));
  for (int i = 0; i < 4; ++i) sprites.SetPolygonPoint(entry, i, poly->corners[i]);
  Ctx().ddraw.SetUpdate(surface, 1);
  return entry;
}

void SlgPolyFree(SlgPoly* poly) {
  if (poly == nullptr) return;
  if (poly->entry != nullptr && !poly->one_frame) Sprites().DeleteBuffer(&poly->entry);
  poly->entry = nullptr;
  poly->one_frame = false;
  // A record never made names no surface: 0 is the update word's hold bit, and setting it would
  // stop every compose (and with it the removal of one-frame entries) for good.
  if (poly->surface != 0) Ctx().ddraw.SetUpdate(poly->surface, 1);
}

void SlgPolySetRot(SlgPoly* poly, int i, int32_t v) {
  if (poly == nullptr) return;
  Sprites().SetPolygonWord(poly->entry, i, SlgAngleToEngine(v));
}

void SlgPolySetAttr(SlgPoly* poly, BlendWord v) {
  if (poly == nullptr || poly->entry == nullptr) return;
  SprBufferEntry* entry = poly->entry;
  if (entry->in_use && entry->type == kSprEntryPolygon) entry->alpha = v;
}

void SlgPolySetZoom(SlgPoly* poly, const SlgPair& zoom) {
  if (poly == nullptr) return;
  Sprites().SetBufferZoom(poly->entry, zoom.x, zoom.y);
}

// ---- Sprite-file animations ----

AnimeHandle SlgPlayAnm(SprAnm* list, uint32_t n, SlgAnmObj* obj, SurfaceId a) {
  if (obj == nullptr) return nullptr;
  CTamvikSpr& units = Units();
  units.ReleaseAnm(&obj->handle);
  AnimeHandle handle = units.PlayAnm(list, n, SlgScreenX(obj->x), SlgScreenY(obj->y),
                                   SlgPriority(obj->depth), obj->mode == 0 ? 1u : 0u, a, 1,
                                   obj->attr);
  obj->handle = handle;
  obj->anims = list;
  obj->pattern = static_cast<uint8_t>(n);
  if (handle != nullptr && (obj->mode & kSlgAnmStartStopped) != 0) Ctx().anime.SetStop(handle, 1);
  return handle;
}

AnimeHandle SlgPlayAnmAttr(SprAnm* list, uint32_t n, SlgAnmObj* obj, SurfaceId a, uint16_t attr) {
  if (obj == nullptr) return nullptr;
  obj->attr = attr;
  return SlgPlayAnm(list, n, obj, a);
}

int SlgSprSetPri(AnimeHandle anim, int32_t depth) {
  SpxAnimeKind* spx = Spx();
  return spx != nullptr ? spx->SetSpxPriority(anim, SlgPriority(depth)) : 0;
}

int SlgSprSetPos(AnimeHandle anim, const SlgPair& pos) {
  SpxAnimeKind* spx = Spx();
  return spx != nullptr ? spx->SetSpxPos(anim, SlgScreenX(pos.x), SlgScreenY(pos.y)) : 0;
}

int SlgSprSetZoom(AnimeHandle anim, const SlgPair& zoom) {
  SpxAnimeKind* spx = Spx();
  return spx != nullptr ? spx->SetSpxZoom(anim, zoom.x, zoom.y) : 0;
}

int SlgSprSetRot(AnimeHandle anim, int32_t angle) {
  SpxAnimeKind* spx = Spx();
  return spx != nullptr ? spx->SetSpxRot(anim, SlgTurnToEngine(angle)) : 0;
}

int SlgSprSetTurnY(AnimeHandle anim, int32_t angle, int width, int distance) {
  SpxAnimeKind* spx = Spx();
  return spx != nullptr ? spx->SetSpxTurnY(anim, SlgTurnToEngine(angle), width, distance) : 0;
}

int SlgSprSetCorners(AnimeHandle anim, const int32_t* factors) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || factors == nullptr) return 0;
  return spx->SetSpxCorners(anim, factors[0], factors[1], factors[2], factors[3]);
}

int SlgSprSetAlpha(SlgAnmObj* obj, BlendWord alpha) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || obj == nullptr) return 0;
  return spx->SetSpxAlpha(obj->handle, alpha);
}

BlendWord SlgSprGetAlpha(const SlgAnmObj* obj) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || obj == nullptr || obj->handle == nullptr) return 256;
  return spx->GetSpxAlpha(obj->handle);
}

int SlgPutUnitSpr(SprAnm* list, uint32_t frame, int32_t depth, const SlgPair& pos, SurfaceId a,
                  int b) {
  return SlgPutUnitSprEx(list, frame, depth, pos, a, b, SlgPair{0x10000, 0x10000});
}

int SlgPutUnitSprEx(SprAnm* list, uint32_t frame, int32_t depth, const SlgPair& pos, SurfaceId a,
                    int b, const SlgPair& scale) {
  CTamvikSpr& units = Units();
  SprUnit* unit = units.GetAnmUnit(list);
  if (unit == nullptr) return 0;
  return units.DrawUnit(unit, frame, SlgScreenX(pos.x), SlgScreenY(pos.y), a, b, 0,
                        SlgPriority(depth), scale.x, scale.y);
}

int SlgAnmPlayOnce(AnimeHandle* handle) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || handle == nullptr || *handle == nullptr) return 0;
  spx->SetLoop(*handle, 0);
  spx->SetHoldEnd(*handle, 1);
  return Ctx().anime.SetAutoClear(handle);
}

int SlgAnmHide(AnimeHandle anim) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || spx->Block(anim) == nullptr) return 0;
  Ctx().anime.SetStop(anim, 1);
  return spx->HideSpx(anim);
}

int SlgAnmShow(AnimeHandle anim) {
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr || spx->Block(anim) == nullptr) return 0;
  return Ctx().anime.SetStop(anim, 0);
}

int SlgAnmObjShow(SlgAnmObj* obj) {
  if (obj == nullptr) return 0;
  if ((obj->mode & kSlgAnmStartStopped) == 0) return SlgAnmShow(obj->handle);
  SpxAnimeKind* spx = Spx();
  SpxAnimeBlock* block = spx != nullptr ? spx->Block(obj->handle) : nullptr;
  if (block == nullptr) return 0;
  spx->RebuildSpx(*block, 1);
  return 1;
}

int SlgAnmObjIsEnd(const SlgAnmObj* obj) {
  if (obj == nullptr || obj->handle == nullptr) return 1;
  SpxAnimeKind* spx = Spx();
  if (spx == nullptr) return 1;
  return (obj->mode & kSlgAnmOnce) != 0 ? spx->IsSpxEnd(obj->handle) : spx->IsEnd(obj->handle);
}
