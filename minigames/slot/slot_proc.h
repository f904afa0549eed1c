#pragma once
// The slot machine (game row 5): ten plays of three reels the player stops one by one; the three
// symbols give six fortune category values, summed into the fortune score, which is the result
// and the ranking entry.
//
// Each call runs the common menu first: while it is open the step is skipped; a retry starts the
// game again from its first call; a quit ends the minigame.

// The game procedure (framework state: 2 on the first call after the load, else 1).
int slot_proc(int state);
