#pragma once
// Minigame objects: the 256 objects of MinigameContext that games place, animate, move and flip,
// and the per-step update that runs their motion scripts, moves, flips and animations and
// rebuilds the 1024 layer lists the drawing walks (from layer 1023, farthest, to 0).
//
// Object 0 is never listed (0 ends a list); games use 1-255; 254 is the text window, 255 the
// full-screen background, 200-245 the common menu's. Every operation takes the object index
// first; an index outside 0-255 does nothing and gives 0. Operations give 1 unless stated.
//
// Animations and motion scripts are records of the od file (little-endian signed 16-bit words):
// - animation: n >= 0 a simple frame (image slot n, then its steps); -2 - k a composite frame
//   of k + 1 parts (u16 image in the low 12 bits with mirror bits 0x1000 and 0x2000, i16 x and
//   y offsets each), then its steps; -1 the end. Image numbers outside 0-511 show no image; a
//   duration of 0 or less counts as 1; a frame that runs past the data ends the animation.
// - script: 0 end; 1 x y position; 2 n animation; 3 x y speed move; 4 n wait n steps (less than
//   0 counts as 0); 5 wait for the move; 6 wait for the animation's end; 7 bit on set (1) or
//   clear (0) flag bit 0-31; 8 n play static sound n. Other opcodes are skipped (their word
//   only); a script that runs past the data stops as at opcode 0.

#include <cstdint>

#include "minigames/minigame_context.h"

// The object's record (for the drawing and the tests), null outside 0-255.
const MgObject* mg_obj(int o);

// Position, layer, animation (started), flags; overlay and parent cleared. The second form keeps
// the layer.
int mg_obj_put(int o, int32_t x, int32_t y, int32_t layer, int32_t anim, uint32_t flags);
int mg_obj_put(int o, int32_t x, int32_t y, int32_t anim, uint32_t flags);
// An invisible hit box: flags := 0x800000, no animation.
int mg_obj_box(int o, int32_t x, int32_t y, int32_t layer, int32_t width, int32_t height);
// The mouse pointer object: the animation, flags := 0x40000000.
int mg_obj_pointer(int o, int32_t anim);
// Object 255 at 0, 0 on layer 1023 with the animation and flags 0.
int mg_obj_bg(int32_t anim);

// on = 1 sets the mask bits, on = 0 clears them; other values do nothing.
int mg_obj_flag(int o, uint32_t mask, int on);
// 1 when any bit of the mask is set.
int mg_obj_test(int o, uint32_t mask);

// Setters.
int mg_obj_set_pos(int o, int32_t x, int32_t y);
int mg_obj_set_pos(int o, int32_t x, int32_t y, int32_t layer);
int mg_obj_set_x(int o, int32_t x);
int mg_obj_set_y(int o, int32_t y);
int mg_obj_set_layer(int o, int32_t layer);
int mg_obj_set_tilt(int o, int32_t angle);
int mg_obj_set_turn(int o, int32_t angle);
int mg_obj_set_spin(int o, int32_t angle);
int mg_obj_set_overlay(int o, int32_t other);
int mg_obj_set_parent(int o, int32_t other);
int mg_obj_set_target_surface(int o, int32_t slot);
int mg_obj_set_value(int o, int32_t value);
int mg_obj_set_digits(int o, int32_t digits);
int mg_obj_set_next_anim(int o, int32_t anim);

// Getters (0 outside 0-255).
int32_t mg_obj_get_x(int o);
int32_t mg_obj_get_y(int o);
int32_t mg_obj_get_layer(int o);
int32_t mg_obj_get_width(int o);
int32_t mg_obj_get_height(int o);
int32_t mg_obj_get_anim(int o);

// Starts animation n: its first frame shows on the next update; the next animation and the
// end flag 0x4000 are cleared. The second form does so only when n is not the current one.
int mg_obj_anim(int o, int32_t n);
int mg_obj_anim_change(int o, int32_t n);
// 0 once the animation has reached its end (flag 0x4000), else 1.
int mg_obj_anim_done(int o);

// Moves from the current position and layer to the target (flag 0x1): at a speed (16 = one
// pixel a step), in a number of steps, or to a layer at a speed (|layer difference| x 16 /
// speed steps). A speed or step count of 0 or less arrives on the next update.
int mg_obj_move(int o, int32_t x, int32_t y, int32_t speed);
int mg_obj_move_n(int o, int32_t x, int32_t y, int32_t steps);
int mg_obj_move_z(int o, int32_t x, int32_t y, int32_t layer, int32_t speed);
int mg_obj_moving(int o);

// A card flip of 16 steps: turn angle 128, flag 0x4; the animation changes at the middle.
int mg_obj_flip(int o, int32_t anim);
int mg_obj_flipping(int o);

// 1 when no object 1-255 moves or flips / runs a motion script.
int mg_obj_idle();
int mg_obj_script_idle();

// Starts motion script n (flags := 0x2, replacing all; wait 0); the second form also sets the
// layer. Nothing when the script is missing (0).
int mg_obj_script(int o, int32_t n);
int mg_obj_script(int o, int32_t n, int32_t layer);

// 1 when (x, y) lies in the hit box [x, x + width) x [y, y + height).
int mg_obj_hit(int o, int32_t x, int32_t y);
// 1 when the pixel of the shown image at (x, y) is not the colour key; the image is placed
// where it is drawn (position, parent's position, frame offset). 0 outside the image or with
// no image.
int mg_obj_hit_pixel(int o, int32_t x, int32_t y);

// Clip rectangle (flag 0x4000000, relative to the parent's position).
int mg_obj_clip(int o, int32_t left, int32_t top, int32_t right, int32_t bottom);
// A linked copy of another object at offsets from it, on a layer (flag 0x1000000).
int mg_obj_link(int o, int32_t other, int32_t dx, int32_t dy, int32_t layer);

// The field values that name something, or 0 ("none") outside their ranges.
int32_t mg_obj_overlay_of(const MgObject& obj);
int32_t mg_obj_parent_of(const MgObject& obj);
int32_t mg_obj_linked_of(const MgObject& obj);
int32_t mg_obj_surface_of(const MgObject& obj);

// Clears the objects and the layer lists (mg_reset).
void mg_obj_clear_all();

// The per-step update of every object, then the layer lists rebuilt.
void mg_obj_update();
