#pragma once
// The cleaning game (row 2): a vertical scroller on the tile map. The floor scrolls down while the
// player steers the leader (and the follower walking in its track) sideways past walls and
// obstacles; the distance is the score and the end of the course the full success.
//
// Steps of MinigameContext::souji: -1 reset and the map opened, 0 the course set up, 1 fade in,
// 2 the opening voice, then play; the crash, the goal sequence and the result (variables 2 and 9,
// mg_finish, fade out, mg_end).

// The procedure of row 2 (called with the framework state, 2 restarts it).
int souji_proc(int state);
