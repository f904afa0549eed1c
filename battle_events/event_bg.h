#pragma once
// The battle background the events show over the map (one picture at a time, in front of
// everything on layer 4), its slide and fades, and the fades of map plane 1 (a roof or overlay
// plane). The steps follow the event step protocol (battle_events/event_steps.h: 0 while busy,
// 1 on the finishing frame), each on a phase byte of its own in the event runtime's state block.

#include <cstdint>
#include <string>

// "tamvik2\BG\BBG<nnn>.SPR" for picture n (three digits at least; a larger number gives a
// longer name).
std::string BgFileName(int n);

// Shows picture n centred on the screen point (x, y): the shown background freed first; image 0
// of the sprite file into surface 12 without colour key; a sprite of its rectangle on surface 12
// with its home at (x - width / 2, y - height / 2); position and slide speed 0; its entry on
// layer 4 in front of everything. A picture that cannot be loaded is traced ("LoadBG: File Not
// Found <name>\n") and leaves no background.
void LoadBG(int n, int x, int y);
// LoadBG(n, 320, 176).
void EventShowBG(int n);
// Frees the shown background (its entry, then its sprite); nothing when none is shown. The event
// check calls it at the end of every battle.
void EventFreeBG();
// The background entry's alpha (0-256); nothing when none is shown.
void EventBgAlpha(int32_t alpha);

// Shows picture n at x 640 and slides it in from the right: the speed starts at -4 and grows by
// half of itself (truncated) each frame, so the picture reaches x 0 about 11 frames after the
// start.
int EventBgSlideIn(int n);
// Shows picture n at alpha 0 and fades it to percent x 256 / 100 over `frames` frames. 1 at once
// (nothing shown) for frames 0.
int EventBgFadeIn(int n, int32_t frames, int32_t percent);
// Fades the background from percent x 256 / 100 to 0 over `frames` frames, then frees it. 1 at
// once for frames 0.
int EventBgFadeOut(int32_t frames, int32_t percent);

// Map plane 1. The fade-out keeps the plane's alpha word (low 16 bits the level, the high bits
// as they were), takes the level to 0 over `frames` frames and switches the plane off; the
// fade-in brings the kept word back over `frames` frames with the plane on; the full fade-in goes
// to plain 256. Frames below 1 make a fade that is complete at once.
int EventPlaneFadeOut(int32_t frames);
int EventPlaneFadeIn(int32_t frames);
int EventPlaneFadeInFull(int32_t frames);
// The offset of map plane 1 (the reads leave x and y untouched when the map has no plane 1).
void EventSetPlaneOffset(int32_t x, int32_t y);
void EventGetPlaneOffset(int32_t* x, int32_t* y);
