// Face portraits: the face builder (mask 1030), the face files read once and kept, the blink
// sprites and their blink loop, and the face areas.
//
// A face image is 80 x 160: rows 0-95 the face, 96-127 the eye band with half-closed eyes,
// 128-159 the eye band closed. The face table (part 10) gives for face index N - 1 the top row E
// of the 32-row eye band within the face and the face's result word.

#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"
#include "scene/scene_context.h"
#include "scene/sprite/portrait_state.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/spr_image.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr const char* kFaceFiles[PortraitState::kFaceKinds] = {
    "tamvik1\\system\\kao.spr",
    "tamvik2\\system\\kaoslg.spr",
};

constexpr int kFaceWidth = 80;
constexpr int kFaceHeight = 96;
constexpr int kEyeBandHeight = 32;
constexpr int kHalfEyesTop = 96;
constexpr int kClosedEyesTop = 128;
constexpr int kFacePictureHeight = 160;
// The eye band must lie inside the picture: E at most 128.
constexpr int kEyeBandTopMax = kFacePictureHeight - kEyeBandHeight;

// Face-table record fields.
constexpr int kFaceIndexAt = 0;
constexpr int kFaceResultAt = 2;
constexpr int kFaceEyeTopAt = 6;

}  // namespace

int BuildFaceSpx(const SprParts& parts, SprLoadParam* param) {
  uint32_t count = 0;
  const uint8_t* records = SprRecordTable(parts[kSprFaceTable], &count, "BuildFaceSpx face table");
  if (records == nullptr) return -1;
  const int64_t wanted = int64_t{param->image} - 1;
  const uint8_t* record = nullptr;
  for (uint32_t i = 0; i < count && record == nullptr; ++i) {
    if (SprBe16(records + 16 * size_t{i} + kFaceIndexAt) == wanted) record = records + 16 * size_t{i};
  }
  if (record == nullptr) {
    DebugPrint("BuildFaceSpx: no face record for face %d\n", param->image);
    return -1;
  }
  const int eye_top = SprBe16(record + kFaceEyeTopAt);
  const int result = SprBe16(record + kFaceResultAt);
  if (eye_top == 0 || eye_top > kEyeBandTopMax) {
    DebugPrint("BuildFaceSpx: face %d: eye band at row %d is not inside the face picture\n",
               param->image, eye_top);
    return -1;
  }

  EngineContext& ctx = Ctx();
  CDdrawSpr& spr = ctx.ddraw_spr;
  PortraitState& state = Scene().portraits;
  // A face whose image cannot be decoded would cut its sprites from whatever the work surface
  // held: nothing is built.
  if (DrawSprImage(parts[kSprColourTable], parts[kSprImageTable], static_cast<uint32_t>(wanted),
                   0, 0, param->level, 0, ctx.ddraw.GetSurface(SURFACE_SCRATCH)) != 1) {
    DebugPrint("BuildFaceSpx: face %d: image %lld cannot be decoded\n", param->image,
               static_cast<long long>(wanted));
    return -1;
  }

  WindowRec* window = state.face_window;
  Rect box = TamvikFunc::kFaceBox;
  const Rect face_rect = {0, 0, kFaceWidth, kFaceHeight};
  if (param->second_surface != 0) {
    ctx.ddraw.Blt(SURFACE_SCRATCH, face_rect, param->second_surface, box, param->color_key);
  } else {
    box = TamvikFunc::kWindowFaceBox;
    ctx.ddraw_window.BltToPiece(window, CDdrawWindow::kTextSprite, face_rect, box, SURFACE_SCRATCH,
                                1);
  }
  const auto cut = [&](int x, int y, int top) {
    return spr.CreateSprite(x, y, SURFACE_SCRATCH, 0, top, kFaceWidth, top + kEyeBandHeight,
                            param->sprite_memory);
  };
  state.blink[3] = spr.CreateSprite(box.left, box.top, SURFACE_SCRATCH, 0, 0, kFaceWidth,
                                    kFaceHeight, param->sprite_memory);
  state.blink[0] = cut(box.left, box.top + eye_top, eye_top);
  state.blink[1] = cut(box.left, box.top + eye_top, kHalfEyesTop);
  state.blink[2] = cut(box.left, box.top + eye_top, kClosedEyesTop);
  return result;
}

int TamvikFunc::PutKao(int face, SurfaceId surface, WindowRec* window, int color_key, int kind) {
  if (kind < 0 || kind >= PortraitState::kFaceKinds) {
    DebugPrint("TamvikFunc::PutKao: no face file of kind %d\n", kind);
    return -1;
  }
  PortraitState& state = Scene().portraits;
  const auto k = static_cast<size_t>(kind);
  if (state.face_loaded[k] == 0) {
    state.face_parts[k].Clear();
    if (ReadSpxParts(kFaceFiles[k], kSprMaskFace, &state.face_parts[k]) == 0) {
      DebugPrint("TamvikFunc::PutKao: %s cannot be read\n", kFaceFiles[k]);
      state.face_parts[k].Clear();
      return -1;
    }
    state.face_loaded[k] = 1;
  }
  if (surface == 0 && (window == nullptr || !Ctx().ddraw_window.IsWindow(window))) return -1;
  state.blink = {};
  state.blink_anime = nullptr;

  SprLoadParam param;
  param.second_surface = surface;
  param.color_key = color_key;
  param.image = face;
  param.message_window = surface == 0 ? 1 : 0;
  param.file_name = kFaceFiles[k];
  state.face_window = window;
  BuildSpx(state.face_parts[k].View(), &param, kSprMaskFace);
  state.face_window = nullptr;
  return param.image;
}

int TamvikFunc::PutAdvKao(int face) {
  return PutKao(face, 0, Scene().portraits.message_window, 1, 0);
}

int TamvikFunc::PutAdvKaoToSurface(int face, SurfaceId surface, int color_key) {
  return PutKao(face, surface, nullptr, color_key, 0);
}

int TamvikFunc::PutKaoToSurface(int face, SurfaceId surface, int color_key, int kind) {
  return PutKao(face, surface, nullptr, color_key, kind);
}

int TamvikFunc::CreateBlinkAnm(SurfaceId surface, std::vector<uint32_t> cells, int x, int y,
                               uint32_t interval) {
  PortraitState& state = Scene().portraits;
  state.blink_anime =
      Ctx().anime.CreateCellLoop(surface, std::move(cells), x, y, interval, state.blink);
  return state.blink_anime != nullptr ? 1 : 0;
}

int TamvikFunc::CreateBlinkAnmOnWindow(std::vector<uint32_t> cells, int x, int y,
                                       uint32_t interval) {
  PortraitState& state = Scene().portraits;
  if (state.message_window == nullptr) return 0;
  state.blink_anime =
      Ctx().anime.CreateCellLoopEx(state.message_window->surface_id, state.message_window,
                                   std::move(cells), x, y, interval, state.blink);
  return state.blink_anime != nullptr ? 1 : 0;
}

int TamvikFunc::ReleaseBlinkAnm() {
  PortraitState& state = Scene().portraits;
  EngineContext& ctx = Ctx();
  if (state.blink_anime != nullptr) ctx.anime.DeleteRef(&state.blink_anime);
  for (SprRec*& sprite : state.blink) ctx.ddraw_spr.DeleteSprite(&sprite);
  return 1;
}

SprRec* const* TamvikFunc::GetBlinkSprTable() { return Scene().portraits.blink.data(); }

int TamvikFunc::ClearFaceArea(SurfaceId surface, int fill) {
  const Rect& b = kFaceBox;
  Ctx().ddraw.FillSurfaceRect(surface, b.left, b.top, b.right, b.bottom, fill);
  return 1;
}

int TamvikFunc::ClearWindowFaceArea(int flag) {
  WindowRec* window = Scene().portraits.message_window;
  if (window == nullptr || window->text_sprite == nullptr) return 0;
  EngineContext& ctx = Ctx();
  ctx.ddraw.BltColorFill(ctx.ddraw_spr.GetSpriteSurface(window->text_sprite), kWindowFaceBox,
                         flag != 0 ? 1 : 0);
  ctx.ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return 1;
}
