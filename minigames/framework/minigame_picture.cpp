#include "minigames/framework/minigame_picture.h"

#include <algorithm>
#include <limits>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr SurfaceId kNcLayer = SURFACE_FC;
constexpr SurfaceId kFaceLayer = SURFACE_TEXT;
constexpr uint32_t kBlinkInterval = 50;

MgScenePictures& Pictures() { return Minigame().pictures; }

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min() / 2,
                                                  std::numeric_limits<int32_t>::max() / 2));
}

platform::Surface* SlotSurface(int32_t slot) {
  MgSurfaceSlot* s = mg_slot(slot);
  return s != nullptr ? s->surface : nullptr;
}

// The sprites a layer's buffer holds, drawn into the surface with the layer's origin at (x, y).
void DrawLayerSprites(SurfaceId layer, platform::Surface* dst, int32_t x, int32_t y) {
  CDdrawSpr& spr = Ctx().ddraw_spr;
  SprBuffer* buffer = spr.FindBuffer(layer, nullptr);
  if (buffer != nullptr) spr.DrawBufferList(buffer, x, y, dst);
}

}  // namespace

int mg_nc_load(const char* file, int32_t picture) {
  mg_nc_release();
  if (file == nullptr) return 0;
  if (TamvikFunc::LoadNcSpx(file, 0, picture, 0, 0, kNcLayer) == -1) {
    DebugPrint("mg_nc_load: %s picture %d not loaded\n", file, picture);
    return 0;
  }
  Pictures().nc = 1;
  return 1;
}

int mg_nc_release() {
  MgScenePictures& p = Pictures();
  if (p.nc != 0) {
    TamvikFunc::StopNcTalk();
    TamvikFunc::ReleaseNcSpx();
  }
  p.nc = 0;
  return 1;
}

int mg_face_load(int32_t face) {
  mg_face_release();
  if (TamvikFunc::PutAdvKaoToSurface(face, kFaceLayer, 1) == -1) {
    DebugPrint("mg_face_load: face %d not loaded\n", face);
    TamvikFunc::ClearFaceArea(kFaceLayer, 1);
    return 0;
  }
  Pictures().face = 1;
  TamvikFunc::CreateBlinkAnm(kFaceLayer, {1, 2, 1, 0}, 0, 0, kBlinkInterval);
  return 1;
}

int mg_face_release() {
  MgScenePictures& p = Pictures();
  if (p.face != 0) {
    TamvikFunc::ReleaseBlinkAnm();
    TamvikFunc::ClearFaceArea(kFaceLayer, 1);
  }
  p.face = 0;
  return 1;
}

int mg_nc_talk(const char* text) {
  if (Pictures().nc != 0) TamvikFunc::SetNcTalk(0, text, 0);
  return 1;
}

int mg_nc_talk_stop() {
  if (Pictures().nc != 0) TamvikFunc::StopNcTalk();
  return 1;
}

int mg_obj_nc(int o, const char* file, int32_t picture) {
  if (mg_obj(o) == nullptr || mg_nc_load(file, picture) == 0) return 0;
  mg_obj_anim(o, 0);
  mg_obj_flag(o, 0xFFFFFFFFu, 0);
  mg_obj_flag(o, mg::kObjScenePicture, 1);
  return 1;
}

int mg_obj_face(int o, int32_t face) {
  if (mg_obj(o) == nullptr || mg_face_load(face) == 0) return 0;
  mg_obj_anim(o, 0);
  mg_obj_flag(o, 0xFFFFFFFFu, 0);
  mg_obj_flag(o, mg::kObjSceneFace, 1);
  return 1;
}

void mg_draw_nc(int32_t slot, int64_t x, int64_t y) {
  platform::Surface* dst = SlotSurface(slot);
  if (dst == nullptr || Pictures().nc == 0) return;
  DrawLayerSprites(kNcLayer, dst, Clamp32(x), Clamp32(y));
}

void mg_draw_face(int32_t slot, int64_t x, int64_t y) {
  platform::Surface* dst = SlotSurface(slot);
  if (dst == nullptr || Pictures().face == 0) return;
  const Rect box = TamvikFunc::kFaceBox;
  const int32_t dx = Clamp32(x), dy = Clamp32(y);
  const Rect to{dx, dy, dx + (box.right - box.left), dy + (box.bottom - box.top)};
  CDdrawFunc& dd = Ctx().ddraw;
  dd.BltToSurface(kFaceLayer, box, dst, to, 1);
  DrawLayerSprites(kFaceLayer, dst, dx - box.left, dy - box.top);
}
