// Screen fades, cross-fades and the logical-key tests, with their state in the scene context.

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"

namespace {
// Cross-fades run in alpha mode (their picture's alpha fades out).
constexpr int kXfadeAlphaMode = 1;
// Screen fades toward black.
constexpr int kFadeToBlack = 0;
}  // namespace

int TamvikFunc::StartCrossFade(SurfaceId layer, uint32_t phase_ms) {
  return StartCrossFadeRect(layer, phase_ms, 0, 0, kScreenWidth, kScreenHeight);
}

int TamvikFunc::StartCrossFadeRect(SurfaceId layer, uint32_t phase_ms, int left, int top,
                                   int right, int bottom) {
  SceneContext& scene = Scene();
  CDdrawAnime& anime = Ctx().anime;
  AnimeHandle handle =
      anime.CreateXfade(layer, phase_ms, left, top, right, bottom, kXfadeAlphaMode);
  if (handle == nullptr) return 0;
  scene.xfade_handle = handle;
  anime.SetAutoClear(&scene.xfade_handle);
  return 1;
}

bool TamvikFunc::IsFadeDone() { return Scene().screen_fade_handle == nullptr; }

void StartScreenFade(int from, int to, int milliseconds) {
  SceneContext& scene = Scene();
  CDdrawAnime& anime = Ctx().anime;
  // A fade still running would go on moving the level (and clear the new handle when it ends):
  // the new fade replaces it.
  if (scene.screen_fade_handle != nullptr) anime.DeleteRef(&scene.screen_fade_handle);
  const int frames = static_cast<int>(static_cast<int64_t>(milliseconds) * 60 / 1000);
  scene.screen_fade_handle = anime.CreateFade(from, to, frames, kFadeToBlack);
  if (scene.screen_fade_handle != nullptr) anime.SetAutoClear(&scene.screen_fade_handle);
}

bool IsScreenFadeDone() { return Scene().xfade_handle == nullptr; }

GameKeyBits TamvikFunc::GetKeyMask(int key) {
  switch (key) {
    case 0: return 0x0001;
    case 1: return 0x0002;
    case 2: return 0x0004;
    case 3: return 0x0009;
    case 4: return 0x0008;
    default: break;
  }
  if (key >= 5 && key <= 14) return GameKeyBits{1} << key;
  return 0;
}

void TamvikFunc::SetVirtualKeyMode() { Scene().virtual_key_mode = 1; }
void TamvikFunc::ResetVirtualKeyMode() { Scene().virtual_key_mode = 0; }

GameKeyBits TamvikFunc::PressVirtualKey(int key) {
  const GameKeyBits mask = GetKeyMask(key);
  Scene().virtual_keys |= mask;
  return mask;
}

void TamvikFunc::ClearVirtualKeys() { Scene().virtual_keys = 0; }

GameKeyBits IsKeyTriggered(int key) {
  const SceneContext& scene = Scene();
  const GameKeyBits state =
      scene.virtual_key_mode == 1 ? scene.virtual_keys : Ctx().input.GetKeyTrg();
  return TamvikFunc::GetKeyMask(key) & state;
}

GameKeyBits IsKeyHeld(int key) { return TamvikFunc::GetKeyMask(key) & Ctx().input.GetKeyHold(); }

void TamvikFunc::ResetStoryLayers(int x, int y, int width, int height) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    if (LayerRec* layer = ddraw.GetLayer(id)) {
      layer->screen_x = x;
      layer->screen_y = y;
      layer->scroll_x = 0;
      layer->scroll_y = 0;
      layer->view_width = width;
      layer->view_height = height;
    }
  }
  ReleaseBlinkAnm();
  ReleaseNcSpx();
  CloseMessageWindow();
  // 1: the transparent fill.
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.ClearSurface(id, 1);
  if (ddraw.GetLayerIndex(SURFACE_BG) < ddraw.GetLayerIndex(SURFACE_FG)) {
    ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }
}
