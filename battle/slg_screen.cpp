#include "battle/slg_screen.h"

#include "battle/battle_context.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"

void SlgLayerOn(SurfaceId layer, int mode) {
  SlgSaveLayers(&Battle().layer_save);
  SlgSetLayer(layer, mode);
}

void SlgLayerRestore() { SlgRestoreLayers(&Battle().layer_save); }

void SlgSaveLayers(LayerState* block) { Ctx().ddraw.SaveLayerState(block); }

void SlgRestoreLayers(const LayerState* block) { Ctx().ddraw.RestoreLayerState(block); }

void SlgSetLayer(SurfaceId layer, int mode) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.SetVisible(layer, mode != 0 ? 1 : 0);
  ddraw.SetSurfaceBlt(layer, mode & 1);
  if (layer == SURFACE_ROOT && (mode & 1) == 0) ddraw.SetClearFlag(1);
}

void SlgSetClearFlag(int flag) { Ctx().ddraw.SetClearFlag(flag); }

int SlgClearLayer(SurfaceId layer) {
  return Ctx().ddraw.ClearLayer(layer, layer == SURFACE_ROOT ? 0 : 1);
}

void SlgFade(int from, int to, int frames, int mode) {
  SlgTellShowHook(SlgShowCall::kFade, to, mode);
  CDdrawAnime& anime = Ctx().anime;
  AnimeHandle& handle = Battle().fade_handle;
  anime.DeleteRef(&handle);
  handle = anime.CreateFade(from, to, frames, mode);
  anime.SetAutoClear(&handle);
}

int SlgIsFadeEnd() { return Battle().fade_handle == nullptr ? 1 : 0; }

void SlgFadeOut(int frames) { SlgFade(0, 256, frames, 0); }
void SlgFadeOutHalf(int frames) { SlgFade(0, 128, frames, 0); }
void SlgFadeIn(int frames) { SlgFade(256, 0, frames, 0); }
void SlgFadeInHalf(int frames) { SlgFade(128, 0, frames, 0); }
void SlgWhiteOut(int frames) { SlgFade(0, 256, frames, 1); }
void SlgWhiteOutHalf(int frames) { SlgFade(0, 128, frames, 1); }
void SlgWhiteIn(int frames) { SlgFade(256, 0, frames, 1); }
void SlgWhiteInHalf(int frames) { SlgFade(128, 0, frames, 1); }
