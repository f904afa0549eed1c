#pragma once
// The scene engine's character and face pictures in minigames.
//
// The character picture is a character set of the scene engine (TamvikFunc::LoadNcSpx) on
// scene layer 7, the face a face of the ADV face file (TamvikFunc::PutAdvKaoToSurface) in the
// face box 32,354-112,450 of surface 8 with its blink loop. Both layers stay hidden while the
// minigame screen is open: an object with flag 0x8000000 draws layer 7's sprites at its
// position, one with flag 0x10000000 the face box of surface 8 (keyed) and its blink cells at its
// position (mg_draw). mg_screen_close releases both.

#include <cstdint>

// Picture `picture` of the character file (body 0) on layer 7, the set held before released
// first. 1, or 0 (traced) when the file or picture does not load (nothing held then).
int mg_nc_load(const char* file, int32_t picture);
int mg_nc_release();
// Face `face` (1-based) with blinking on surface 8, the face held before released first. 1, or
// 0 (traced) when it does not load.
int mg_face_load(int32_t face);
int mg_face_release();
// The character talks: the lip animation from the text's mouth letters (on the game clock); the
// stop returns the lips to their idle mouth. 1.
int mg_nc_talk(const char* text);
int mg_nc_talk_stop();

// Object o shows the character picture (flags := 0x8000000) / the face (flags := 0x10000000);
// its position and layer stay. 1, or 0 for an object outside 0-255 or a picture that does not
// load.
int mg_obj_nc(int o, const char* file, int32_t picture);
int mg_obj_face(int o, int32_t face);

// The drawing of mg_draw: the picture with its top-left corner at (x, y) of the slot.
void mg_draw_nc(int32_t slot, int64_t x, int64_t y);
void mg_draw_face(int32_t slot, int64_t x, int64_t y);
