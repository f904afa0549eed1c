#pragma once
// The battle's layers and its one fade, on the engine's compose layers (surfaces 4 SURFACE_ROOT
// .. 8 SURFACE_TEXT) and screen fade. The saved layer block and the fade handle live in
// Battle().

#include "engine/gfx/gfx_types.h"

// ---- Layers ----

// Saves the visible and copy bits of layers 4-8 and the clear flag into the battle's layer save
// block (a second call before SlgLayerRestore overwrites it), then SlgSetLayer(layer, mode).
void SlgLayerOn(SurfaceId layer, int mode);
// Puts the saved block back and asks for a full update.
void SlgLayerRestore();
// The same steps on a caller's block.
void SlgSaveLayers(LayerState* block);
void SlgRestoreLayers(const LayerState* block);
// Layer visible when mode != 0, its copy bit := mode & 1; layer 4 without the copy bit also sets
// the engine's clear-back-buffer flag.
void SlgSetLayer(SurfaceId layer, int mode);
void SlgSetClearFlag(int flag);
// Clears the surface over its layer size: layer 4 with fill 0 (black), the others with fill 1
// (transparent).
int SlgClearLayer(SurfaceId layer);

// ---- Fades (levels 0 clear .. 256 full; mode 0 black, 1 white) ----

// Deletes the running battle fade and starts an engine fade from -> to over `frames` frames at
// 60 per second; its handle is cleared by the engine when it ends.
void SlgFade(int from, int to, int frames, int mode);
// 1 when the battle fade has ended (no handle).
int SlgIsFadeEnd();

void SlgFadeOut(int frames);       // 0 -> 256, black
void SlgFadeOutHalf(int frames);   // 0 -> 128, black
void SlgFadeIn(int frames);        // 256 -> 0, black
void SlgFadeInHalf(int frames);    // 128 -> 0, black
void SlgWhiteOut(int frames);      // 0 -> 256, white
void SlgWhiteOutHalf(int frames);  // 0 -> 128, white
void SlgWhiteIn(int frames);       // 256 -> 0, white
void SlgWhiteInHalf(int frames);   // 128 -> 0, white
