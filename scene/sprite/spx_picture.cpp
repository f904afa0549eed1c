// Whole pictures put into a surface: image n of a sprite file (through the sprite cache, the
// picture builder) or, failing that, a Windows bitmap. The scene context remembers which of the
// two drew the last picture, so GetPictureRect reports the rectangle of the one that did.

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

int TamvikFunc::LoadSprToSurface(const char* name, int picture, int x, int y, SurfaceId surface,
                                 int color_key) {
  if (name == nullptr) return 0;
  SprLoadParam param;
  param.surface = surface;
  param.color_key = color_key;
  param.x = x;
  param.y = y;
  param.image = picture;
  param.file_name = name;
  param.use_cache = 1;
  return LoadSpxSplitData(name, &param, kSprMaskPicture);
}

int TamvikFunc::LoadSprToSurfaceNoPos(const char* name, int picture, SurfaceId surface,
                                      int color_key) {
  return LoadSprToSurface(name, picture, 0, 0, surface, color_key);
}

int TamvikFunc::LoadSprToSurfaceFirst(const char* name, SurfaceId surface, int color_key) {
  return LoadSprToSurface(name, 0, 0, 0, surface, color_key);
}

int TamvikFunc::LoadPicture(const char* name, int x, int y, int color_key, SurfaceId surface) {
  if (name == nullptr) return 0;
  if (LoadSprToSurface(name, 0, x, y, surface, color_key) == 1) return 1;
  // Not a sprite file (or not one that decodes): a bitmap, whose rectangle GetPictureRect
  // reports from now on.
  Scene().last_picture_from_spr = 0;
  return Ctx().ddraw.LoadBitmap(name, x, y, color_key, surface) != 0 ? 1 : 0;
}

void TamvikFunc::GetPictureRect(Rect* rect) {
  if (rect == nullptr) return;
  if (Scene().last_picture_from_spr != 0) {
    CTamvikSpr::GetSprRect(rect);
  } else {
    Ctx().ddraw.GetBitmapRect(rect);
  }
}
