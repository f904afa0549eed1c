#pragma once
// Object-definition (od) files: each minigame's pictures, animations, motion scripts and texts in
// one little-endian file of at most 64 KB (longer files are cut there).
//
// Layout: 512 u32 image-record offsets (0), 512 animation offsets (2048), 256 motion-script
// offsets (4096), 256 text offsets (5120), then the records from 6144. An offset of 0 is no
// entry. Image record: u16 flags (2 keyed, 4 half-transparent, 8 solid, 16 surface option 1),
// then with flag 8 i16 width, i16 height, u16 red, green, blue (low bytes used), else a
// zero-terminated path: a ".spr" path fills this slot with frame 0 and the next slots with the
// following frames (up to slot 511; a later record replaces one of them), any other path is a
// bitmap.
//
// Checks: the buffer and the two bytes after it are zeroed before each read, so every text ends
// inside it; a file shorter than the tables, an offset at or past the bytes read, a record that
// runs past them or an unterminated path fails the load (traced). Readers of animations and
// scripts get the words up to the end of the data and stop there.

#include <cstdint>

#include "minigames/minigame_context.h"

// Loads the od file: frees the image slots, reads the file (full search), creates a surface for
// every image record and publishes the tables. 1, or 0 when the file cannot be read, is corrupt
// or a picture cannot be made (the slots filled so far keep their surfaces).
int mg_obj_create(const char* path);

// Image slot record n (0-511), null outside.
const MgImageSlot* mg_image(int32_t n);

// Little-endian 16-bit words of the od buffer from an entry to the end of the data.
struct MgOdWords {
  const uint8_t* at = nullptr;
  uint32_t count = 0;  // words before the end of the data
  int16_t operator[](uint32_t i) const {
    return i < count ? static_cast<int16_t>(at[2 * i] | at[2 * i + 1] << 8) : int16_t{-1};
  }
};

// Animation n (0-511) and motion script n (0-255); empty (count 0) when there is none. A word
// read past the end gives -1.
MgOdWords mg_od_animation(int32_t n);
MgOdWords mg_od_script(int32_t n);
// Text n (0-255), "" when there is none.
const char* mg_text(int32_t n);
