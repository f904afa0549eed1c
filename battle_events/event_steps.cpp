#include "battle_events/event_steps.h"

#include <algorithm>
#include <cmath>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/runtime/effect_objects.h"

namespace {

constexpr int32_t kHalfPixel = 0x8000;
constexpr int32_t kViewWidth = 640;
constexpr int32_t kViewHeight = 480;

// The scroll's target on one axis: the asked position plus half a pixel, held below the last
// scroll position of the map (map size less the view) and above 0.
int32_t ScrollTarget(int32_t asked, int32_t map_size, int32_t view) {
  const int64_t limit = (int64_t{map_size} - view) * 65536;
  int64_t target = int64_t{asked} + kHalfPixel;
  if (target > limit) target = limit;
  if (target < 0) target = kHalfPixel;
  return static_cast<int32_t>(std::clamp<int64_t>(target, INT32_MIN, INT32_MAX));
}

void ScrollStart(int32_t x, int32_t y, int32_t speed) {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  const int32_t width = b.stage ? b.stage->header().width : 0;
  const int32_t height = b.stage ? b.stage->header().height : 0;
  cam.current_x = b.state.scroll_x * 65536 + kHalfPixel;
  cam.current_y = b.state.scroll_y * 65536 + kHalfPixel;
  cam.target_x = ScrollTarget(x, width, kViewWidth);
  cam.target_y = ScrollTarget(y, height, kViewHeight);
  const double angle = std::atan2(static_cast<double>(cam.target_y) - cam.current_y,
                                  static_cast<double>(cam.target_x) - cam.current_x);
  cam.step_x = static_cast<int32_t>(std::cos(angle) * speed);
  cam.step_y = static_cast<int32_t>(std::sin(angle) * speed);
  cam.start_x = cam.current_x;
  cam.start_y = cam.current_y;
  cam.start_time = EffectNow();
}

// One axis of the scroll after `frames` frames.
int32_t ScrollAxis(int32_t current, int32_t start, int32_t target, int32_t velocity,
                   int64_t frames) {
  if (current == target || velocity == 0) return target;
  const int64_t value = int64_t{start} + int64_t{velocity} * frames;
  if (velocity > 0 ? value >= target : value <= target) return target;
  return static_cast<int32_t>(value);
}

// 1 once the scroll has arrived.
int ScrollUpdate() {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  const int64_t frames = EffectFrames(cam.start_time);
  cam.current_x = ScrollAxis(cam.current_x, cam.start_x, cam.target_x, cam.step_x, frames);
  cam.current_y = ScrollAxis(cam.current_y, cam.start_y, cam.target_y, cam.step_y, frames);
  b.state.scroll_x = static_cast<int16_t>(cam.current_x >> 16);
  b.state.scroll_y = static_cast<int16_t>(cam.current_y >> 16);
  return cam.current_x == cam.target_x && cam.current_y == cam.target_y ? 1 : 0;
}

// The focus step on unit slot `slot` (kSlgNoUnit or any slot not in use: none).
int FocusStep(uint32_t slot) {
  SlgEventRuntimeState& s = EventRuntimeState();
  BattleContext& b = Battle();
  if (b.camera.lock != 0) {
    s.focus_phase = 0;
    return 1;
  }
  if (s.focus_phase == 0) {
    if (!SlgSlotInUse(slot)) return 1;
    Slg::ScrollToUnit(slot);
    s.focus_phase = 1;
  }
  if (Slg::ScrollStep() == 0) return 0;
  s.focus_phase = 0;
  return 1;
}

}  // namespace

SlgEventRuntimeState& EventRuntimeState() { return Battle().Extension<SlgEventRuntimeState>(); }

int EventWait(int32_t n) {
  if (n < 0) return 1;
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.wait_phase == 0) {
    s.wait_count = n;
    s.wait_start = EffectNow();
    s.wait_phase = 1;
    return 0;
  }
  if (EffectFrames(s.wait_start) < s.wait_count) return 0;
  s.wait_phase = 0;
  return 1;
}

int EventScroll(int32_t x, int32_t y, int32_t speed) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.scroll_phase != 0 && (x != s.scroll_x || y != s.scroll_y || speed != s.scroll_speed)) {
    s.scroll_phase = 0;
  }
  if (s.scroll_phase == 0) {
    s.scroll_x = x;
    s.scroll_y = y;
    s.scroll_speed = speed;
    ScrollStart(x, y, speed);
    s.scroll_phase = 1;
    return 0;
  }
  if (ScrollUpdate() == 0) return 0;
  s.scroll_phase = 0;
  return 1;
}

int EventFocusUnit(int32_t group, int32_t character) {
  const SlgUnit* unit = FindUnitByGroupKind(group, character);
  const uint32_t slot = unit != nullptr ? static_cast<uint32_t>(unit - Battle().state.units.data())
                                        : kSlgNoUnit;
  return FocusStep(slot);
}

int EventFocusActing() { return FocusStep(Battle().state.acting_unit); }
