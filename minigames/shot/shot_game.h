#pragma once
// The shooting game (row 7, "tamvik3\od\mg_shot.od"): three stages of targets at four depths on a
// scrolling strip, shot with a crosshair moved by the mouse or the direction buttons. The score is
// the number of hits out of 100 targets.
//
// Each step: the common menu (open: the pointer object shows and the game pauses; retry starts
// anew; quit ends), the step machine (fade in, the stages with the scrolls between them, the
// result and the fade out), a shot on decide, spawning and the movers, the crosshair.
//
// The parts below are exposed for the tests; they work on Minigame().shot.

#include <cstdint>

// The procedure of row 7.
int shot_proc(int state);

namespace shot {

// One spawn chance of the running stage (nothing while no stage runs); the slot taken or -1.
int Spawn();
// Moves every live target one step by its mover kind.
void MoveTargets();
// A shot at (sx, sy): the blocking scenery of the running stage, then the nearest live target
// under it is hit; its slot or -1.
int Shoot(int32_t sx, int32_t sy);
// The blocking mask the scenery of the running stage gives a shot at (sx, sy) (0 with no stage).
uint32_t BlockMask(int32_t sx, int32_t sy);
// The result of a finished game: variable 2 (2 from 80 hits, 1 from 60, else 0) and variable 9
// (1 above 94 hits).
void SetResult(int32_t hits);

}  // namespace shot
