#pragma once
// The event NPC animations of a battle (the event objects' animation table, kinds 80-143), which
// the event check loads when a map's events are installed and frees at their end.

// Loads the event NPC animations and clears the event steps' progress (empty until the event
// objects exist).
void EventNpcLoad();
// Releases the event NPC animations (empty until the event objects exist).
void EventNpcFree();
