#pragma once
// The battle map's planes (data: battle/slg_map_plane.h, held in Battle().map): the plane table
// Map<m>.TAB of the map folder, the per-frame draw of the tiled planes, the whole-map picture,
// the plane accessors, the map switches and the tone change.
//
// Map<m>.TAB: one "<plane> <command> [argument]" per line; planes "Ground:", "Sky:", "Priority:",
// "UnderGround:", "AllMapImage:"; commands "File:", "FrameInt:", "Scroll:", "Raster:", "Alpha:",
// "AlphaMode:", "PrioFile:", "NightMode", "NoZako" (docs/battle.md). An unknown plane or command
// ends the reading with a trace; what was read stays.

#include <cstdint>

#include "engine/gfx/pixels/blend_blit.h"

namespace SlgMap {

// Clears the switches and the priority data, starts the map clock and reads the plane table of
// battle map `map` (0-26): "tamvik2\Map\Map<m+1>\Map<m+1>.TAB", banks and files from that folder.
// Planes already loaded are kept (a plane described again keeps the first); FreeMap first.
void LoadMapTable(int map);
// Frees planes 0-3 (each bank's record and tile table) and the whole-map picture.
void FreeMap();
// Draws the planes for the scroll position (x, y): one-frame entries on surface 4. Only while
// bit 1 of SlgFlags is set.
void DrawMap(int32_t x, int32_t y);
// The whole-map picture at (x, y) on surface 4, depth -1100 (nothing without one).
void DrawAllMap(int32_t x, int32_t y);

// Accessors; the setters do nothing for an absent plane (any n outside 0-3 is absent).
void SetPlaneOffset(int n, int32_t x, int32_t y);
void GetPlaneOffset(int n, int32_t* x, int32_t* y);  // untouched for an absent plane
void SetPlaneAlpha(int n, BlendWord word);
BlendWord GetPlaneAlpha(int n);  // 256 for an absent plane
void SetPlaneEnable(int n, int on);
int32_t GetPlaneDepth(int n);  // 0 for an absent plane
int IsNightMode();
int IsNoZako();

// The tone change task "SlgMap::ToneChangeTask": level 256 -> 128 (Start) or 128 -> 256 (End) in
// blend mode 0x20000 over n frames (at least 1), set each frame as the alpha word of planes 2, 0
// and 3 and through FixTaskUpdateAll; the frame after it reaches the end level it ends. The end
// form finishes at plain 256 (no blend mode).
void ToneChangeStart(int n);
void ToneChangeEnd(int n);

// The priority data's byte order: each u32 as it lies in the file, little-endian.
uint32_t PrioWordAt(const uint8_t* p);

}  // namespace SlgMap
