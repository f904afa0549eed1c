#pragma once
// Movies inside a battle: an event step (battle_events/event_steps.h: 0 while busy, 1 on the
// finishing frame) that prepares the battle screen, plays a movie in the movie window or over the
// whole screen, lets the player skip it, and fades the battle to black. The event handler fades
// the map in again once it has restored what it needs.

#include <cstdint>
#include <string>

// "Movie\Movie<nnn>.mpg" for movie number group x 100 + index (three digits at least; a larger
// number gives a longer name).
std::string MovieFileName(int32_t group, int32_t index);

// Phase 0: battle flag 0x2 cleared and 0x20 set (the fixed sprites hidden; it stays set after
// the movie), the units without flag 0x8000 hidden, the compose held (SetUpdate(0, 1)),
// surfaces 4 and 2 cleared black and 13 to the colour key, the battle fade reset. Phase 1: the
// movie started (full != 0: over the whole screen), traced "MoviePlay: <name>.\n"; one that
// cannot start is traced "Can't Play Movie <name>.\n", the compose hold is released with a redraw
// asked for, and the step answers 1 on the next call. Phase 2: logical key 1 or 3 stops the
// movie; once none plays, the layers are saved, surface 13 copied onto 4 (colour key), layer 4
// set to copy its surface, a redraw asked for and a 60-frame fade to black started. Phase 3:
// once the fade has ended the layers are restored and surface 4 cleared. Phase 4: 1.
int MoviePlay(int32_t group, int32_t index, int full);
// In the movie window / full screen.
int EventMoviePlay(int32_t group, int32_t index);
int EventMoviePlayFull(int32_t group, int32_t index);
