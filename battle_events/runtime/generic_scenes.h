#pragma once
// The small scenes every battle map repeats, as whole handlers: the maps' handlers call them with
// their row and the event's own data (a character, a face and message, a table of message
// references). Each switches on EventStep, is called once a frame by the event check and ends
// the event with EventEnd; the row argument is not read.
//
//   void Fall1(const SlgEventEntry& row) { EventUnitDownScene(row, 1, kFall1); }
//
// Heroines are characters 1-6 (group 0); their trust and second variable are those of
// battle_events/core/event_heroines.h. The chosen reference and the character talk's phase are
// kept in the event runtime's state block (battle_events/event_runtime_state.h).
//
// The destruction of the enemies at a story victory is the core's EventDestroyEnemies with its
// reset (battle/slg_events.h): a handler resets it, then calls it once a frame until it answers 1.

#include <cstdint>
#include <span>

#include "battle_events/event_runtime_state.h"

struct SlgEventEntry;

// A heroine has left the battle. Step 0: with her unit gone from the map (UnitAbsent), her trust
// t picks refs[0] (t >= 10), refs[1] (6-9) or refs[2] (below 6), shown by EventMessage (step 1);
// with her still present no message. Step 2: AddHeroineParam(character, -10), sound effect 21,
// EventEnd.
void EventUnitDownScene(const SlgEventEntry& row, int32_t character,
                        std::span<const EventMessageRef, 3> refs);

// The unit in the first event unit reference (the one that made a defeat) speaks. Step 0: while
// that unit's state is neither 0 nor 8 (its action still playing) the event's busy word is
// lowered so that the battle goes on; once it is, and the mode manager is not in the staff roll's
// mode, the word is raised again (step 1). Step 1: a 30-frame wait; step 2: EventMessageNoWait;
// step 3: the reference := 65535, EventEnd. A reference that names no live record (65535, 64 or
// more, at or beyond the unit count, a removed unit of step 255) shows nothing and ends (step 3),
// also when the unit is removed or dies while the handler waits for it.
void EventRefUnitTalk(const SlgEventEntry& row, int face, int message);

// A heroine's remark on a joint action: a 30-frame wait, EventMessageNoWait, then the heroine of
// the face (HeroineOfFace) gains 1 in both variables (AddHeroineParam) with sound effect 20; the
// second event unit reference := 65535, EventEnd.
void EventRefUnitTalk2(const SlgEventEntry& row, int face, int message);
// The heroine whose faces these are: below 64 heroine 1, 64-90 2, 91-117 3, 118-144 6, 145-162
// 4, 163-216 5; 0 (none) above 216.
int32_t HeroineOfFace(int face);

// A heroine's turn remark: EventCharTalkPick until it answers 1, then EventEnd.
void EventCharTalk(const SlgEventEntry& row, int32_t character,
                   std::span<const EventMessageRef, 5> refs);
// The step of a character's remark; 1 when it has been shown, or at once when the character has
// no live group-0 unit. Phase 0 picks the line: refs[0] when her life x 5 <= her maximum life;
// else refs[1] when her trust >= 25; else refs[3 + bit 16 of SlgRand] when it is above 5; else
// refs[2]. Then the camera goes to her (EventFocusUnit), a 30-frame wait, and the line by
// EventMessageNoWait.
int EventCharTalkPick(int32_t character, std::span<const EventMessageRef, 5> refs);

// The favourite heroine's remark: c := the heroine with the highest trust (IMR); when she is on
// the map, refs[c x 2 + bit 16 of SlgRand] after the camera has gone to the hero and a 30-frame
// wait; else the event ends at once.
void EventFavouriteTalk(const SlgEventEntry& row, std::span<const EventMessageRef, 14> refs);

// A message list (EventMessageList), then EventEnd; the second waits 30 frames first.
void EventTalkList(const SlgEventEntry& row, std::span<const EventMessageRef> list);
void EventWaitTalkList(const SlgEventEntry& row, std::span<const EventMessageRef> list);
