#include "battle_effects/scene_fades.h"

#include <algorithm>

#include "battle/slg_strip_wave.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// Steps of 2 frames since the start, up to `last`.
int32_t StepOf(uint32_t start, int32_t last) {
  return std::clamp(TimelineFrames(start) / 2, 0, last);
}

}  // namespace

BlendWord PictureFadeAlpha(int32_t n) {
  return static_cast<BlendWord>(0x10000 +
                                (kPictureFadeSteps - std::clamp(n, 0, kPictureFadeSteps)) * 16);
}

BlendWord LineScrollFadeBlend(int32_t n) {
  if (n >= kLineScrollFadeSteps) return 256;
  return static_cast<BlendWord>(0x20000 + std::max(n, 0) * 256 / kLineScrollFadeSteps);
}

void PictureFadeStart(PictureFade& fade, SprAnm* set, uint32_t anm) {
  fade = {set, anm, TimelineNow(), -1};
}

int PictureFadeStep(PictureFade& fade) {
  const int32_t n = StepOf(fade.start, kPictureFadeSteps);
  if (n != fade.n) {
    fade.n = n;
    if (HasScene()) Scene().tamvik_spr.SetAnmAlpha(fade.set, fade.anm, PictureFadeAlpha(n));
    Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  }
  return n >= kPictureFadeSteps ? 1 : 0;
}

void LineScrollFadeStart(LineScrollFade& fade) { fade = {TimelineNow(), -1}; }

int LineScrollFadeStep(LineScrollFade& fade, SlgEffectTask* line_scroll) {
  const int32_t n = StepOf(fade.start, kLineScrollFadeSteps);
  if (n != fade.n) {
    fade.n = n;
    SlgLineScrollSetAlpha(line_scroll, LineScrollFadeBlend(n));
  }
  return n >= kLineScrollFadeSteps ? 1 : 0;
}
