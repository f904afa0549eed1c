#pragma once
// The event steps of story talk (the step protocol of battle_events/event_steps.h: 0 while busy,
// 1 on the finishing frame): a battle message with a face, a list of them, a message chosen by
// whether a character is on the map, and the timed choice whose answer the handler reads
// afterwards. The texts and voices come from the battle message file of the stage, the faces
// from its face conversion table.
//
// Message lists are arrays of EventMessageRef (battle_events/event_runtime_state.h), ended by a
// reference whose face is kEventMessageListEnd (the message number of that marker is not read):
//
//   constexpr EventMessageRef kTalk[] = {{15, 12240}, {210, 301}, kEventMessageListEndRef};
//   static_assert(EventMessageListEnded(kTalk));
//
// EventMessageNoWait(face, message), the message that ends without a key, is the core's name
// (battle/slg_events.h); it reaches MessageNoWait below through the event entry table.

#include <cstdint>
#include <span>

#include "battle_events/event_runtime_state.h"

constexpr uint16_t kEventMessageListEnd = 65535;
constexpr EventMessageRef kEventMessageListEndRef{kEventMessageListEnd, 0};

// Whether the list's last reference is the end marker (every list constant is checked with it).
constexpr bool EventMessageListEnded(std::span<const EventMessageRef> list) {
  return !list.empty() && list.back().face == kEventMessageListEnd;
}

// One message with its face, at least two frames:
//  phase 0 (first call): the face window closed (Slg::CloseFaceWindow), then the face message's
//  open (Slg::FaceMessageOpen: face kept as the current event face, window, face, message at
//  (-192, 96)), and on into phase 1 in the same call;
//  phase 1: with the battle's debug word (Battle().debug_priority) at 1 the message number
//  (DrawEventDebugNumber at (32, 64)); the blinking face and the message's wait
//  (Slg::FaceMessageFrame); once read, phase 2; 0;
//  phase 2: the face message's close (blink released, window closed), 1.
// A message number the file lacks is traced by Slg::ShowMessage and still ends (after a key).
int EventMessage(int face, int message);

// The messages of `list` one after another; 1 on the frame the last one closes. A list whose
// first reference is the end marker (or an empty span) ends at once, showing nothing; the end of
// the span ends a list that lacks its marker.
int EventMessageList(std::span<const EventMessageRef> list);

// On its first call chooses refs[0] when the player's character `character` is on the map, else
// refs[1] (NP); shows the chosen one (EventMessage) until it closes, whatever happens to the
// character meanwhile.
int EventMessageIfPresent(int32_t character, std::span<const EventMessageRef, 2> refs);

// A timed choice of the battle: the answer in EventChoiceResult() once it answers 1.
//  phase 0: the text layer shown (SlgLayerOn(8, 3)), the choice text of message `message`
//  (CTamvikMacro::GetMessageData on the stage's message file, lines split by "$$"), the choice
//  started (CTamvikLips::StartLips(text, limit); limit in frames, 0 no time limit); 0.
//  phase 1: the battle pointer kept at the mouse and drawn (Slg::SyncMouseCursor,
//  Slg::DrawMouseCursor on surface 2), the debug number as EventMessage draws it; once the choice
//  has ended, EventChoiceResult := its result (1-3 the line, 0 timed out), the layers restored
//  (SlgLayerRestore), 1.
// A message the file lacks, or a choice that does not start, is traced and ends at once as a
// time-out: EventChoiceResult := 0, the layers restored, 1.
int EventTimedChoice(int message, int limit);
// The same without a time limit: it waits for an answer.
int EventTimedChoice0(int message);
// EventChoiceResult: the answer of the last timed choice.
int32_t EventChoiceResult();

namespace SlgEventMessages {
// The event entry behind the core's EventMessageNoWait: the battle message's no-key flag
// (Battle().message.auto_flag) set, then EventMessage. Opening a message clears the flag, so it
// holds only for the calls after the first: called each frame the message ends as soon as its
// text is typed; called only on its first frame it waits for a key like EventMessage.
int MessageNoWait(int face, int message);
}  // namespace SlgEventMessages
