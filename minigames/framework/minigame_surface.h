#pragma once
// The minigame screen and its 1024 surface slots: the screen takes the engine's display over
// while a minigame runs, slots hold engine user surfaces (numbered apart from the engine's own
// user-surface numbers), loaders put sprite-file frames and bitmaps into slots, and a few
// wrappers reach the engine's files and the script variables.
//
// Slot numbers outside 0-1023 do nothing and give 0. Drawing from or into an empty slot does
// nothing and gives 0. Slot 1023 is the screen: the engine surface being presented, never freed
// here. Colours handed in are COLORREF values (0x00BBGGRR); pixels handed out are 16-bit pixels
// of the screen's layout (RGB565 when the engine's colour key is 0x07FF, else RGB555).

#include <cstdint>
#include <vector>

#include "engine/gfx/gfx_types.h"
#include "minigames/minigame_context.h"
#include "platform/pixel_traits.h"

// ---- Screen ----

// Opens the screen: saves the engine's layer state, clear flag and flip mode, sets the layers up
// (with the VRAM switch: layers 4-8 hidden, the back buffer presented, new surfaces in system
// memory; else layer 4 presented, new surfaces in video memory), clears it black. 1.
int mg_screen_open();
// Clears the screen black, frees slots 0-1022 and gives the engine its state back.
void mg_screen_close();
// Asks the engine to compose and show the presented layer.
void mg_present();
void mg_set_clip(int32_t left, int32_t top, int32_t right, int32_t bottom);
void mg_set_target(int32_t slot);
int32_t mg_get_target();
uint16_t mg_color_key();
const MgFont* mg_font();
// The screen's pixel layout and its table argument of the brightness blits (16 / 15).
platform::PixelLayout mg_layout();
int mg_layout_bits();

// ---- Slots ----

// A slot's record, null outside 0-1023.
MgSurfaceSlot* mg_slot(int32_t slot);
// The pixels all slots but the screen may hold together (64 MB of 16-bit pixels, about a hundred
// full screens): an od file or a game asking for more is refused surface by surface instead of
// taking the machine's memory.
constexpr int64_t kMgSlotPixelBudget = int64_t{32} << 20;
// A w x h surface with the engine's colour key; option bit 0 asks for video memory. 1 / 0 (also
// when it would take the slots past kMgSlotPixelBudget).
int mg_surf_create(int32_t slot, int32_t width, int32_t height, int32_t option);
void mg_surf_free(int32_t slot);
int mg_surf_lost(int32_t slot);
int mg_surf_exists(int32_t slot);
int mg_surf_size(int32_t slot, int32_t* width, int32_t* height);
// Sets one pixel to the colour (packed by truncation); outside the surface nothing. 1 / 0.
int mg_pixel_set(int32_t slot, int32_t x, int32_t y, ColorRef rgb);
// The pixel; outside the slot's clip rectangle the colour key; 0 for an empty slot.
uint32_t mg_pixel_get(int32_t slot, int32_t x, int32_t y);

// ---- Blits used by the framework itself ----

// Copy with brightness 0-256 (the engine's BlitBright16), clipped against the drawing clip,
// the destination and the source. 1 drawn (or nothing to draw), 0 empty or unlockable slot.
int mg_bright(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t src,
              int32_t sx, int32_t sy, int32_t level);
// Fills a rectangle of a slot with a COLORREF colour, clipped as a blit. 1 / 0.
int mg_fill(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, ColorRef colour);

// ---- Loaders ----

// Frame `frame` of a sprite file into the slot: paletted frames at twice their size (index 0 the
// colour key), direct-colour frames (LZSS-packed RGB555) at their size. 1, or 0 (slot empty)
// when the frame is past the frame count or the file is missing, short or corrupt. The frame
// count is written to `frame_count` when the file's frame table could be read.
int mg_load_spr(int32_t slot, const char* path, int32_t frame, int32_t option,
                int32_t* frame_count = nullptr);
// A Windows bitmap (at most 2 MB) into the slot at its size. 1 / 0 (slot empty).
int mg_load_bmp(int32_t slot, const char* path, int32_t option);
// A Windows bitmap drawn into an existing slot with its top-left corner at (x, y). 1 / 0.
int mg_load_bmp_at(int32_t slot, int32_t x, int32_t y, const char* path);

// ---- Files and script variables ----

// Reads at most `limit` bytes of a file found in `places` (FileIO search flags) into `out`;
// `larger` (when given) tells whether the file holds more. kMissing when no place has the file,
// kError when it exists but does not open or a read fails.
enum class MgRead { kOk, kMissing, kError };
MgRead mg_read_file(const char* path, uint32_t places, uint32_t limit, std::vector<uint8_t>* out,
                    bool* larger = nullptr);
// Reads up to `size` bytes of the file (found by the full search) into the buffer; 1 when the
// file opened.
int mg_file_read(const char* path, void* buffer, uint32_t size);
// Writes the file whole in the install directory (FileIO::SaveFile). 1 / 0.
int mg_file_write(const char* path, const void* data, uint32_t size);
// Script variables A[i] and P[i], 16 bits.
uint16_t mg_macro_a(int i);
uint16_t mg_macro_p(int i);
