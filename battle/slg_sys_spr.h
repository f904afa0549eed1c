#pragma once
// The battle's system sprites: the 23 sprite files System.Tab names (cursor, mouse cursor, grid
// marks, windows, gauges, digits, shadow, ...), held by slot in Battle().sys_sprites, and the
// helpers that draw their frames as one-frame sprite entries. A "frame" n of a slot is sprite n
// of its file. Every draw skips a slot that is not loaded and a frame the file lacks.

#include <cstdint>
#include <string>

#include "battle/slg_objects_state.h"
#include "engine/gfx/gfx_types.h"

// The layer the system sprites are drawn on.
constexpr SurfaceId kSlgSysSurface = SURFACE_ROOT;
constexpr int32_t kSlgSysTopDepth = -1100;
constexpr int32_t kSlgMouseCursorDepth = -1107;
// The alpha word the "Shadow:" animations get.
constexpr uint32_t kSlgShadowAlpha = 0x80000;
constexpr const char* kSlgSystemTab = "tamvik2\\System.Tab";

// The System.Tab IDs by slot ("Cursor:" .. "NameSpecialAttack:").
extern const char* const kSlgSysSpriteIds[kSlgSysSpriteCount];

// Reads System.Tab: " %s %s " lines (ID, file), "#" and empty IDs skipped; each known ID loads
// "tamvik2\" + the upper-cased file into its slot. An unknown ID or a slot named twice stops
// reading with its message; the sprites loaded before stay. A file that does not load leaves
// its slot empty. Sprites loaded before the call are released first. Returns the slots loaded.
int LoadSystemSprites();
// Releases every loaded file (and the animation of each slot's object); the slots are empty.
void FreeSystemSprites();
// The slot's file (null: not loaded or no such slot).
SprAnm* SlgSysSprite(int slot);

// A one-frame entry of frame n of the slot's file at screen pixel (x, y), keyed (alpha mode 4),
// at the depth. 1 drawn, 0 skipped.
int SlgSysSprPut(int slot, int frame, int x, int y, int32_t depth);
// SlgSysSprPut at depth -1100.
int SlgSysSprPutTop(int slot, int frame, int x, int y);
// The same zoomed to width x height pixels (negative sizes count as 0), at depth -1100.
int SlgSysSprPutSized(int slot, int frame, int x, int y, int width, int height);
// The frame stretched over the rectangle (16.16 screen pixels), at depth -1100; nothing for an
// empty rectangle.
int SlgSysSprPutRect(int slot, int frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// For each character of the text, 16 pixels apart from (x, y) (screen pixels): "0"-"9" frames
// 0-9 of the slot's file, "/" frame 11, a blank skipped (other characters are skipped too), at
// depth -1100. DrawDigitStringB: frame = character - 35 for every character but a blank.
void DrawDigitString(const char* text, int slot, int x, int y);
void DrawDigitStringB(const char* text, int slot, int x, int y);

namespace Slg {

// "Cursor:" at the centre of the cell of the cursor point, frame advancing every 8 frames and
// wrapping at animation 0's frame count, at depth -1100.
void DrawMapCursor();
// The battle pointer := the mouse position (SlgPointerPos) << 16; nothing while SlgDemoCursor
// (Battle().event_words.demo_cursor) is 1.
void SyncMouseCursor();
// With the mouse in use or SlgFlags bit 0 clear, the system mouse to the pointer; then
// "MouseCursor:" at the pointer on the surface at depth -1107, frame advancing every 8 frames.
void DrawMouseCursor(SurfaceId surface);

}  // namespace Slg
