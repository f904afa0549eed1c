#pragma once
// The event steps the map scripts' handlers are made of, and the first of them: waits and the
// camera. A handler is a step machine on EventStep; within a step it calls an event step once a
// frame, with the same arguments each frame, until the step reports that it has finished:
//
//   case 3:
//     if (EventScroll(0x300000, 0x200000, 0x40000) == 0) return;  // 0 while busy
//     ++EventStep();                                             // 1 on the finishing frame
//
// A step's progress lives in its phase byte of the event runtime's state block
// (battle_events/event_runtime_state.h), one per kind of step: two handlers cannot run the same
// kind at once, and a step abandoned half way is continued by its next caller. A step puts its
// phase back to 0 on the frame it finishes, so the next call starts it anew.
//
// Time is counted on the game clock, frames = (now - start) x 60 / 1000 truncated, and positions
// are recomputed from the start each frame: a late frame makes a step jump ahead, never slow
// down.

#include <cstdint>

struct SlgEventRuntimeState;

// The current battle's event runtime state block (the steps' phases and words).
SlgEventRuntimeState& EventRuntimeState();

// n frames: 1 at once for n below 0 (nothing kept); else the count and the start kept, 0, and
// from the next call 1 on the first frame at least n frames after the start (EventWait(0): 0,
// then 1).
int EventWait(int32_t n);

// Moves the camera (Battle().camera, the scroll mirrored in Battle().state.scroll_x/y) so that
// the top-left of the view reaches (x, y), 16.16 map pixels, at `speed` 16.16 pixels a frame along
// the straight line. The first call starts (0); later calls move, and answer 1 on the frame the
// camera arrives. A triple other than the last one asked for starts a new scroll from where the
// camera is.
//  Start: the current position := scroll x 65536 + 0x8000 (each axis); the target := (x + 0x8000,
//  y + 0x8000), an x above (W - 640) x 65536 (W the stage's map width) becoming that value and a
//  negative one 0x8000, y likewise with the height and 480; the velocity := truncate(cos a x
//  speed), truncate(sin a x speed), a the angle to the target; start position and time kept.
//  Move: each axis not at its target := start + velocity x frames, the target when reached or
//  passed, and at once when its velocity is 0 (a nearly straight scroll whose small axis
//  truncates to no movement would never arrive); scroll := current >> 16.
int EventScroll(int32_t x, int32_t y, int32_t speed);

// Centres the camera on the unit FindUnitByGroupKind(group, character) gives with the core's
// camera (Slg::ScrollToUnit, then Slg::ScrollStep each call, the first call already stepping);
// 1 on the frame it arrives. 1 at once when there is no such unit, and while the camera is held
// (Battle().camera.lock, under which the core's step never arrives: the camera cannot move).
int EventFocusUnit(int32_t group, int32_t character);
// The same on the battle's acting unit (1 at once when there is none).
int EventFocusActing();
