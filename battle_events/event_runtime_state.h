#pragma once
// The event runtime's state block: the progress of every kind of event step (the waits, camera
// moves, messages, fades, walks, ... that the map scripts' handlers call once a frame). A step
// keeps its progress between frames in a phase byte of its own here (one per kind of step, not
// per caller), with the few words it needs, and puts its phase back to 0 on the frame it
// finishes. Data only: each kind of step adds its members. EventNpcLoad (battle_events/
// event_npc.h) clears the whole block when a map's events are installed.

#include <cstdint>

#include "battle/battle_extension.h"

// One message of a message list: an event face number (the stage's face conversion table turns
// it into an internal face) and a message number of the battle message file.
struct EventMessageRef {
  uint16_t face;
  uint16_t message;
};

// Battle().Extension<SlgEventRuntimeState>(); kept for the whole battle (a stage's install
// clears it).
struct SlgEventRuntimeState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  // ---- Waits and the camera (battle_events/event_steps.h) ----
  // EventWait: its start (game clock ms) and count (frames).
  uint8_t wait_phase = 0;
  uint32_t wait_start = 0;
  int32_t wait_count = 0;
  // EventScroll: the last (x, y, speed) asked for; another triple starts a new scroll.
  uint8_t scroll_phase = 0;
  int32_t scroll_x = 0;
  int32_t scroll_y = 0;
  int32_t scroll_speed = 0;
  // EventFocusUnit and EventFocusActing share one.
  uint8_t focus_phase = 0;

  // ---- Messages and the timed choice (battle_events/event_messages.h) ----
  uint8_t message_phase = 0;
  // EventMessageList: the reference shown now.
  uint8_t list_phase = 0;
  int16_t list_index = 0;
  // EventMessageIfPresent: the reference chosen on its first call, kept until it closes.
  uint8_t present_phase = 0;
  EventMessageRef present_ref{};
  uint8_t choice_phase = 0;
  // EventChoiceResult: the answer of the last timed choice (1-3 the line picked, 0 timed out or
  // no choice shown), read by the handlers once EventTimedChoice has finished.
  int32_t choice_result = 0;

  // ---- Screen fades (battle_events/event_sound.h) ----
  // Shared by EventFadeOut, EventFadeIn, EventWhiteOut and EventWhiteIn.
  uint8_t fade_phase = 0;
  // EventWhiteFlash's own.
  uint32_t white_flash_phase = 0;
};
