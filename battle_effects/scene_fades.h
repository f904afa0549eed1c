#pragma once
// Two fades of the boss scenes, each counted on its own clock from its start (frames at 60 per
// second), stepped once a frame by the routine and done (1) at its last step:
//
// - PictureFade: a picture animation of a set fades out in 16 steps of 2 frames: the set's
//   animation gets the alpha word 0x10000 + (16 - n) x 16 (CTamvikSpr::SetAnmAlpha: every object
//   playing it) and surface 4 is redrawn at each step. n = 16 (32 frames) ends it at 0x10000.
// - LineScrollFade: a line scroll (battle/slg_strip_wave.h) fades in: every 2 frames n grows by
//   one up to 31, the strips' blend word 0x20000 + n x 256 / 31, and at 31 it is 256 (opaque).
//
//   PictureFadeStart(w.fade, w.anms.effect, 10);
//   ... each frame: if (PictureFadeStep(w.fade) == 1) the picture is gone

#include <cstdint>

#include "engine/gfx/pixels/blend_blit.h"

struct SlgEffectTask;
struct SprAnm;

constexpr int32_t kPictureFadeSteps = 16;
constexpr int32_t kLineScrollFadeSteps = 31;

// The alpha word of step n (0-16) and the blend word of step n (0-31; 256 from 31).
BlendWord PictureFadeAlpha(int32_t n);
BlendWord LineScrollFadeBlend(int32_t n);

struct PictureFade {
  SprAnm* set;
  uint32_t anm;
  uint32_t start;  // game clock ms
  int32_t n;       // the step shown; -1 before the first
};
void PictureFadeStart(PictureFade& fade, SprAnm* set, uint32_t anm);
int PictureFadeStep(PictureFade& fade);
// The same as a timeline step of a work with a `picture_fade`: a wait for the fade's end.
template <class W>
int PictureFadeRow(W& w) {
  return PictureFadeStep(w.picture_fade);
}

struct LineScrollFade {
  uint32_t start;  // game clock ms
  int32_t n;       // the step shown; -1 before the first
};
void LineScrollFadeStart(LineScrollFade& fade);
// Sets the line scroll's blend for the step (nothing for a null task: the scene plays without).
int LineScrollFadeStep(LineScrollFade& fade, SlgEffectTask* line_scroll);
