#pragma once
// The battle background the events show over the map.

// Frees the shown background (empty until the backgrounds exist); the event check calls it at
// the end of every battle.
void EventFreeBG();
