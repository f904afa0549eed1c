#pragma once
// The event runtime's state block: the progress of every kind of event step (the waits, camera
// moves, messages, fades, walks, ... that the map scripts' handlers call once a frame). A step
// keeps its progress between frames in a phase byte of its own here (one per kind of step, not
// per caller), with the few words it needs, and puts its phase back to 0 on the frame it
// finishes. Data only: each kind of step adds its members. EventNpcLoad (battle_events/
// event_npc.h) clears the whole block when a map's events are installed.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_events/runtime/shared_effects_state.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SprBufferEntry;
struct SprRec;

// One message of a message list: an event face number (the stage's face conversion table turns
// it into an internal face) and a message number of the battle message file.
struct EventMessageRef {
  uint16_t face;
  uint16_t message;

  constexpr bool operator==(const EventMessageRef&) const = default;
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

  // ---- Turning, scripted actions and unit tone (battle_events/runtime/event_walks.h,
  // event_tone.h) ----
  // EventTurnPlayersTo: the point (16.16 map pixels) and the calls left to the next quarter turn.
  uint8_t turn_phase = 0;
  int32_t turn_x = 0;
  int32_t turn_y = 0;
  uint8_t turn_countdown = 0;
  // EventScriptedAction: the actor, by identity.
  uint8_t action_phase = 0;
  SlgUnitRef action_unit{};
  // EventToneChange: the level, its direction (+1, -1), the start (game clock ms) and the frame
  // since the start of the last level change.
  uint8_t tone_phase = 0;
  int8_t tone_level = 0;
  int8_t tone_dir = 0;
  uint32_t tone_start = 0;
  int32_t tone_frame = 0;
  // EventRevealUnits: the list entry shown now, the unit by identity and its fade's start.
  uint8_t reveal_phase = 0;
  int8_t reveal_index = 0;
  SlgUnitRef reveal_unit{};
  uint32_t reveal_start = 0;
  // EventVanishUnit: the unit by identity and its fade's start (phase 2: finished, 1 next call).
  uint8_t vanish_phase = 0;
  SlgUnitRef vanish_unit{};
  uint32_t vanish_start = 0;

  // ---- The point mover (battle_events/runtime/event_script_helpers.h) ----
  // EventMoveToward: the point and velocity (16.16) and the time (game clock ms) kept at its
  // start.
  uint8_t move_phase = 0;
  SlgPair move_point{};
  SlgPair move_velocity{};
  uint32_t move_start = 0;

  // ---- Generic scenes (battle_events/runtime/generic_scenes.h) ----
  // EventCharTalkPick's phase word.
  int32_t talk_pick_phase = 0;
  // The reference a character talk or the favourite's talk chose (an index into its table), and
  // the one a fall scene chose.
  int8_t talk_line = 0;

  // ---- Backgrounds, plane fades and movies (battle_events/event_bg.h, event_movie.h) ----
  // The one background picture over the map: its sprite (on surface 12) and buffer entry, both
  // null when none is shown, its buffer position (pixels) and slide speed.
  SprRec* bg_sprite = nullptr;
  SprBufferEntry* bg_entry = nullptr;
  int32_t bg_x = 0;
  int32_t bg_y = 0;
  int32_t bg_speed = 0;
  // EventBgSlideIn: the start (game clock ms) with the position and speed at that time.
  uint8_t slide_phase = 0;
  uint32_t slide_start = 0;
  int32_t slide_x0 = 0;
  int32_t slide_speed0 = 0;
  // EventBgFadeIn and EventBgFadeOut: their starts.
  uint8_t bg_fade_in_phase = 0;
  uint32_t bg_fade_in_start = 0;
  uint8_t bg_fade_out_phase = 0;
  uint32_t bg_fade_out_start = 0;
  // Map plane 1: the alpha word read by the last EventPlaneFadeOut (low 16 bits the level, the
  // high bits kept), and each fade's phase and start.
  BlendWord plane_alpha = 256;
  uint8_t plane_out_phase = 0;
  uint32_t plane_out_start = 0;
  uint8_t plane_in_phase = 0;
  uint32_t plane_in_start = 0;
  uint8_t plane_full_phase = 0;
  uint32_t plane_full_start = 0;
  // MoviePlay: its phase (0-4) and the layer states saved when the movie has ended.
  uint8_t movie_phase = 0;
  LayerState movie_layers{};
};
