#pragma once
// The range markers: one animated "Grid:" mark per cell of the current range result (the first
// 256 cells of a longer one) that spread out from the range centre when a range opens and draw
// back into it when it closes, map plane 2 dimming to half while they are out; and the walk's
// destination mark. The command handlers run them once a frame; their state is Battle().cmd
// (battle/slg_command_state.h).

#include <cstdint>

// The marker animation of a search mode: 0 -> 0, 1 -> 5, 2 -> 3, 3 and 4 -> 2, 5 -> 4, 6 -> 1
// (another mode: 0).
uint32_t SlgMarkerAnimOf(uint32_t search_mode);

namespace Slg {
// One frame of the markers by SlgRangeView:
//  first the destination mark is released unless it was drawn since the last call;
//  0: frames := 12, or 3 while key 2 is held; every marker released; marker i starts at the
//     range centre with step (cell - centre) / frames per axis; the start time; state 1.
//  1: t frames since the start; while t < frames marker i := centre + step x t, plane 2's alpha
//     256 - t x 128 / frames and a whole-screen compose; then every marker on its cell, the
//     alpha at t = frames (128), state 2.
//  3: the same from the cells back to the centre (state 4); 4: alpha 256 + (t - frames) x 128 /
//     frames while t < frames; then 256, state 127 and the markers released.
//  In states 0-4 each marker whose screen point lies in the view area is drawn (its animation
//  made on first use from "Grid:" with the search mode's animation, play mode 4); a marker
//  outside it is released. 2 and 127 change nothing else.
void RangeMarkers();
// The destination mark at SlgMoveDest for this frame (made on first use, alpha 256).
void DrawMoveDest();
// Releases every marker and the destination mark (nothing else changes).
void ReleaseRangeMarkers();
}  // namespace Slg
