#include "battle_events/event_bg.h"

#include <climits>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_map.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/runtime/effect_objects.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int kShowX = 320;
constexpr int kShowY = 176;
// In front of everything on layer 4 (SlgSprCreate's depth -1536 is the buffer's priority 0).
constexpr int kBgDepth = -1536;
constexpr int32_t kSlideStartX = 640;
constexpr int32_t kSlideStartSpeed = -4;
// The plane the fades work on.
constexpr int kPlane = 1;
constexpr BlendWord kLevelMask = 0xFFFF;
constexpr BlendWord kFullAlpha = 256;

CDdrawSpr& Sprites() { return Ctx().ddraw_spr; }

// The screen is composed only on frames some layer asks for: a moved, faded or removed
// background asks for its layer itself, since nothing else need draw there while it shows (a
// script may have the map hidden behind it).
void RedrawBgLayer() { Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1); }

// Puts the background's entry at its kept position.
void PlaceBg(const SlgEventRuntimeState& s) {
  if (s.bg_entry == nullptr) return;
  Sprites().SetBufferPos(s.bg_entry, s.bg_x, s.bg_y);
  RedrawBgLayer();
}

// percent x 256 / 100, then scaled by num / frames (frames above 0), without overflow.
BlendWord ScaledAlpha(int64_t num, int32_t frames, int32_t percent) {
  const int64_t alpha = num * percent * 256 / 100 / frames;
  return static_cast<BlendWord>(alpha < 0 ? 0 : (alpha > INT32_MAX ? INT32_MAX : alpha));
}

BlendWord FullAlpha(int32_t percent) { return ScaledAlpha(1, 1, percent); }

}  // namespace

std::string BgFileName(int n) {
  char name[48];
  std::snprintf(name, sizeof name, "%sBBG%03d.SPR", "tamvik2\\BG\\", n);
  return name;
}

void LoadBG(int n, int x, int y) {
  const std::string name = BgFileName(n);
  EventFreeBG();
  if (TamvikFunc::LoadSprToSurfaceFirst(name.c_str(), SURFACE_SCRATCH, 0) == 0) {
    DebugPrint("LoadBG: File Not Found %s\n", name.c_str());
    return;
  }
  Rect rect;
  CTamvikSpr::GetSprRect(&rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SlgEventRuntimeState& s = EventRuntimeState();
  s.bg_sprite = Sprites().CreateSprite(x - width / 2, y - height / 2, SURFACE_SCRATCH, rect.left,
                                       rect.top, rect.right, rect.bottom);
  s.bg_x = 0;
  s.bg_y = 0;
  s.bg_speed = 0;
  if (s.bg_sprite == nullptr) return;
  s.bg_entry = SlgSprCreate(CDdrawSpr::kBuffered, s.bg_sprite, s.bg_x, s.bg_y, SURFACE_ROOT, 0,
                            kBgDepth, 0);
}

void EventShowBG(int n) { LoadBG(n, kShowX, kShowY); }

void EventFreeBG() {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.bg_entry != nullptr) {
    Sprites().DeleteBuffer(&s.bg_entry);
    RedrawBgLayer();
  }
  if (s.bg_sprite != nullptr) Sprites().DeleteSprite(&s.bg_sprite);
  s.bg_entry = nullptr;
  s.bg_sprite = nullptr;
}

void EventBgAlpha(int32_t alpha) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.bg_entry == nullptr) return;
  Sprites().SetBufferAlpha(s.bg_entry, static_cast<BlendWord>(alpha));
  RedrawBgLayer();
}

int EventBgSlideIn(int n) {
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (s.slide_phase) {
    case 0:
      EventShowBG(n);
      s.bg_x = kSlideStartX;
      s.bg_y = 0;
      s.bg_speed = kSlideStartSpeed;
      PlaceBg(s);
      s.slide_phase = 1;
      return 0;
    case 1:
      s.slide_start = EffectNow();
      s.slide_x0 = s.bg_x;
      s.slide_speed0 = s.bg_speed;
      s.slide_phase = 2;
      return 0;
    case 2: {
      // Recomputed from the start each frame; the loop stops once the picture has arrived, so a
      // long pause costs no more than the slide itself.
      const int32_t f = EffectFrames(s.slide_start);
      int64_t x = s.slide_x0;
      int64_t speed = s.slide_speed0;
      bool arrived = false;
      for (int32_t i = 0; i < f; ++i) {
        speed += speed / 2;
        x += speed;
        if (x < 1) {
          arrived = true;
          break;
        }
      }
      if (arrived) {
        x = 0;
        s.slide_phase = 3;
      }
      s.bg_x = static_cast<int32_t>(x);
      s.bg_speed = static_cast<int32_t>(speed);
      PlaceBg(s);
      return 0;
    }
    default:
      s.slide_phase = 0;
      return 1;
  }
}

int EventBgFadeIn(int n, int32_t frames, int32_t percent) {
  if (frames == 0) return 1;
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (s.bg_fade_in_phase) {
    case 0:
      EventShowBG(n);
      EventBgAlpha(0);
      s.bg_fade_in_phase = 1;
      return 0;
    case 1:
      s.bg_fade_in_start = EffectNow();
      s.bg_fade_in_phase = 2;
      return 0;
    case 2: {
      const int32_t f = EffectFrames(s.bg_fade_in_start);
      if (f < frames) {
        EventBgAlpha(static_cast<int32_t>(ScaledAlpha(f, frames, percent)));
      } else {
        EventBgAlpha(static_cast<int32_t>(FullAlpha(percent)));
        s.bg_fade_in_phase = 3;
      }
      return 0;
    }
    default:
      s.bg_fade_in_phase = 0;
      return 1;
  }
}

int EventBgFadeOut(int32_t frames, int32_t percent) {
  if (frames == 0) return 1;
  SlgEventRuntimeState& s = EventRuntimeState();
  switch (s.bg_fade_out_phase) {
    case 0:
      EventBgAlpha(static_cast<int32_t>(FullAlpha(percent)));
      s.bg_fade_out_start = EffectNow();
      s.bg_fade_out_phase = 1;
      return 0;
    case 1: {
      const int32_t f = EffectFrames(s.bg_fade_out_start);
      if (f < frames) {
        EventBgAlpha(static_cast<int32_t>(ScaledAlpha(int64_t{frames} - f, frames, percent)));
      } else {
        EventFreeBG();
        s.bg_fade_out_phase = 2;
      }
      return 0;
    }
    default:
      s.bg_fade_out_phase = 0;
      return 1;
  }
}

int EventPlaneFadeOut(int32_t frames) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (frames < 1) {
    // Already complete: the word kept for the fade-in, the level 0 and the plane off.
    s.plane_alpha = SlgMap::GetPlaneAlpha(kPlane);
    SlgMap::SetPlaneAlpha(kPlane, s.plane_alpha & ~kLevelMask);
    SlgMap::SetPlaneEnable(kPlane, 0);
    s.plane_out_phase = 0;
    return 1;
  }
  switch (s.plane_out_phase) {
    case 0:
      s.plane_alpha = SlgMap::GetPlaneAlpha(kPlane);
      s.plane_out_start = EffectNow();
      s.plane_out_phase = 1;
      return 0;
    case 1: {
      const int64_t f = EffectFrames(s.plane_out_start);
      int64_t level = (frames - f) * int64_t{s.plane_alpha & kLevelMask} / frames;
      if (level < 1) {
        level = 0;
        s.plane_out_phase = 2;
      }
      SlgMap::SetPlaneAlpha(kPlane, (s.plane_alpha & ~kLevelMask) + static_cast<BlendWord>(level));
      return 0;
    }
    default:
      SlgMap::SetPlaneEnable(kPlane, 0);
      s.plane_out_phase = 0;
      return 1;
  }
}

namespace {

// A plane fade-in toward `word` (its low 16 bits the level) on `phase` and `start`.
int PlaneFadeTo(BlendWord word, int32_t frames, uint8_t& phase, uint32_t& start) {
  if (frames < 1) {
    SlgMap::SetPlaneAlpha(kPlane, word);
    SlgMap::SetPlaneEnable(kPlane, 1);
    phase = 0;
    return 1;
  }
  switch (phase) {
    case 0:
      start = EffectNow();
      phase = 1;
      return 0;
    case 1: {
      const int64_t f = EffectFrames(start);
      int64_t level = int64_t{word & kLevelMask};
      if (f < frames) {
        level = level * (f < 0 ? 0 : f) / frames;
      } else {
        phase = 2;
      }
      SlgMap::SetPlaneAlpha(kPlane, (word & ~kLevelMask) + static_cast<BlendWord>(level));
      SlgMap::SetPlaneEnable(kPlane, 1);
      return 0;
    }
    default:
      phase = 0;
      return 1;
  }
}

}  // namespace

int EventPlaneFadeIn(int32_t frames) {
  SlgEventRuntimeState& s = EventRuntimeState();
  return PlaneFadeTo(s.plane_alpha, frames, s.plane_in_phase, s.plane_in_start);
}

int EventPlaneFadeInFull(int32_t frames) {
  SlgEventRuntimeState& s = EventRuntimeState();
  return PlaneFadeTo(kFullAlpha, frames, s.plane_full_phase, s.plane_full_start);
}

void EventSetPlaneOffset(int32_t x, int32_t y) { SlgMap::SetPlaneOffset(kPlane, x, y); }

void EventGetPlaneOffset(int32_t* x, int32_t* y) { SlgMap::GetPlaneOffset(kPlane, x, y); }
