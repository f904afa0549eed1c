#include "battle_events/runtime/event_tone.h"

#include <algorithm>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/effect_objects.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// Reveal phases: 0 idle, then per unit: set it up, wait for the camera, fade it in.
constexpr uint8_t kRevealNext = 1;
constexpr uint8_t kRevealCamera = 2;
constexpr uint8_t kRevealFade = 3;
// Vanish phases: 0 idle, 1 fading, 2 done (1 on the next call).
constexpr uint8_t kVanishFade = 1;
constexpr uint8_t kVanishDone = 2;

void SetShade(SlgUnit& unit, uint16_t shade) {
  if (unit.anm != nullptr) unit.anm->shade = shade;
}

// The unit's fade starts now: its body's clock and the step's own start.
uint32_t RestartClock(SlgUnit& unit) {
  const uint32_t now = EffectNow();
  if (unit.anm != nullptr) unit.anm->start_time = now;
  return now;
}

// The reveal's entry `index` as a live record, null when it is missing or removed.
SlgUnit* RevealEntry(const uint8_t* list, int index) {
  const auto kind = static_cast<int8_t>(list[2 * index]);
  SlgUnit* unit = FindUnitByIndex(kind, int32_t{list[2 * index + 1]} * 256);
  return unit != nullptr && SlgUnitLive(*unit) ? unit : nullptr;
}

// The reveal moves on to its next entry; 1 after the last.
int RevealAdvance(SlgEventRuntimeState& s, int32_t count) {
  ++s.reveal_index;
  if (s.reveal_index < count) {
    s.reveal_phase = kRevealNext;
    return 0;
  }
  s.reveal_phase = 0;
  return 1;
}

}  // namespace

void EventSetTone(int32_t level) {
  const int32_t l = std::clamp<int32_t>(level, 0, kToneInvisible);
  const BlendWord alpha = static_cast<BlendWord>((kToneInvisible - l) * 256 / kToneInvisible);
  SlgBattleState& st = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgAnmObj* body = st.units[i].anm;
    // Setting an alpha puts the body's frame again: only where it changes.
    if (body != nullptr && body->shade == kToneShade && SlgSprGetAlpha(body) != alpha) {
      SlgSprSetAlpha(body, alpha);
    }
  }
}

int EventToneChange(int32_t from, int32_t to, int32_t period) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.tone_phase == 0) {
    s.tone_level = static_cast<int8_t>(std::clamp<int32_t>(from, 0, kToneInvisible));
    s.tone_dir = from < to ? 1 : -1;
    s.tone_start = EffectNow();
    s.tone_frame = 0;
    s.tone_phase = 1;
    EventSetTone(s.tone_level);
    return 0;
  }
  int result = 0;
  const int32_t frame = EffectFrames(s.tone_start);
  if (frame - s.tone_frame > period) {
    const int32_t level = s.tone_level + s.tone_dir;
    if (s.tone_dir > 0 ? level >= to : level <= to) {
      s.tone_level = static_cast<int8_t>(std::clamp<int32_t>(to, 0, kToneInvisible));
      s.tone_phase = 0;
      result = 1;
    } else {
      s.tone_level = static_cast<int8_t>(level);
    }
    s.tone_frame = frame;
  }
  EventSetTone(s.tone_level);
  return result;
}

int EventRevealUnits(const uint8_t* list, int32_t count) {
  SlgEventRuntimeState& s = EventRuntimeState();
  count = std::min<int32_t>(count, INT8_MAX);  // the index is a signed byte
  if (s.reveal_phase == 0) {
    s.reveal_index = 0;
    s.reveal_phase = kRevealNext;
  }
  if (s.reveal_phase == kRevealNext) {
    // Missing entries are passed over in the same call.
    SlgUnit* unit = nullptr;
    while (list != nullptr && s.reveal_index < count &&
           (unit = RevealEntry(list, s.reveal_index)) == nullptr) {
      ++s.reveal_index;
    }
    if (unit == nullptr || !MakeUnitRef(*unit, s.reveal_unit)) {
      s.reveal_phase = 0;
      return 1;
    }
    SetShade(*unit, kToneShade);
    EventSetTone(kToneInvisible);
    Slg::ScrollToUnit(unit->slot);
    s.reveal_phase = kRevealCamera;
  }
  SlgUnit* unit = FindUnitRef(s.reveal_unit);
  if (unit == nullptr) return RevealAdvance(s, count);
  if (s.reveal_phase == kRevealCamera) {
    // A held camera never arrives: the unit is revealed where the view stands.
    if (Battle().camera.lock == 0 && Slg::ScrollStep() == 0) return 0;
    unit->flags |= kUnitShown;
    Slg::HideUnit(*unit);
    s.reveal_start = RestartClock(*unit);
    SlgSePlay(kToneUnitSe);
    s.reveal_phase = kRevealFade;
  }
  const int32_t f = EffectFrames(s.reveal_start);
  if (f < kToneInvisible) {
    EventSetTone(kToneInvisible - f);
    return 0;
  }
  EventSetTone(0);
  SetShade(*unit, 0);
  return RevealAdvance(s, count);
}

int EventVanishUnit(SlgUnit* unit) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.vanish_phase == kVanishDone) {
    s.vanish_phase = 0;
    return 1;
  }
  if (s.vanish_phase == 0) {
    if (unit == nullptr || !SlgUnitLive(*unit) || !MakeUnitRef(*unit, s.vanish_unit)) return 1;
    SlgSePlay(kToneUnitSe);
    SetShade(*unit, kToneShade);
    EventSetTone(0);
    s.vanish_start = RestartClock(*unit);
    s.vanish_phase = kVanishFade;
    return 0;
  }
  SlgUnit* kept = FindUnitRef(s.vanish_unit);
  if (kept == nullptr) {
    s.vanish_phase = 0;
    return 1;
  }
  const int32_t f = EffectFrames(s.vanish_start);
  if (f < kToneInvisible) {
    EventSetTone(f);
    return 0;
  }
  EventSetTone(kToneInvisible);
  SetShade(*kept, 0);
  if (kept->anm != nullptr && kept->anm->handle != nullptr) {
    Scene().tamvik_spr.ReleaseAnm(&kept->anm->handle);
  }
  kept->flags &= ~kUnitShown;
  s.vanish_phase = kVanishDone;
  return 0;
}
