#include "battle_effects/heroine_scene.h"

#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

SprRec* CutSpecialPicture(const SlgUnit& unit, int picture, int x, int y) {
  Rect rect{};
  if (LoadAttackBg(unit, picture, SURFACE_SCRATCH, &rect) == 0) {
    DebugPrint("Special attack: kind %d has no background %d: the scene runs without it\n",
               unit.kind, picture);
    return nullptr;
  }
  return Ctx().ddraw_spr.CreateSprite(x, y, SURFACE_SCRATCH, rect.left, rect.top, rect.right,
                                      rect.bottom);
}

SprRec* CutWorkBox(int width, int height) {
  return Ctx().ddraw_spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, width, height);
}

bool StartSceneObjects(SlgAttackCtx& ctx, const SlgUnit& unit, int n) {
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, n) == 0) return false;
  ctx.object_count = static_cast<int16_t>(n);
  for (SlgAnmObj* obj : std::span(ctx.objects).first(static_cast<size_t>(n))) {
    obj->x = 0;
    obj->y = 0;
    obj->mode = kSlgAnmOnce;
  }
  SlgPlayAnm(ctx.body_anims, 0, ctx.objects[0], SURFACE_ROOT);
  Ctx().anime.SetStop(ctx.objects[0]->handle, 1);
  return true;
}

void FreeSceneCtx(SlgAttackCtx*& ctx) {
  if (ctx == nullptr) return;
  FreeAnimeObjs(ctx->objects.data(), ctx->object_count);
  ctx->objects.fill(nullptr);
  ctx->object_count = 0;
  FreeAttackCtx(ctx);
  ctx = nullptr;
}

void ReleaseObjAnm(SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr && HasScene()) {
    Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  }
}

void PlayHeld(SprAnm* set, uint32_t n, SlgAnmObj* obj, SprAnm** held, SurfaceId surface) {
  if (*held == nullptr) *held = SlgHoldAnmSet(set);
  // A set the sprite layer does not hold cannot be held: it plays as it is.
  SlgPlayAnm(*held != nullptr ? *held : set, n, obj, surface);
}

void ReleaseHeldSet(SprAnm** held) {
  if (*held != nullptr) ReleaseUnitAnm(held);
  *held = nullptr;
}

namespace {
constexpr uint16_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
}  // namespace

void EnterSpecialScene(int fade_frames) {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>(b.flags & ~kFlagsUnitsShown);
  SlgFadeIn(fade_frames);
}

void LeaveSpecialScene() {
  Battle().flags |= kFlagsUnitsShown;
  ShowFlaggedUnits();
}

void PlaceObj(const SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr) SlgSprSetPos(obj->handle, {obj->x, obj->y});
}

bool OutsideBox(const SlgPair& pos, int32_t half_w, int32_t half_h) {
  const int32_t x = pos.x >> 16;
  const int32_t y = pos.y >> 16;
  return x < -half_w || x > half_w || y < -half_h || y > half_h;
}
