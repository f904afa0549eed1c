#pragma once
// The pixel work behind the display object's blits, fills and fade, on portable surfaces.
// Callers have already clipped: every rectangle passed here lies inside its surface and is not
// empty.
//
// Copy rules (those of a hardware rectangle blit): a destination pixel (i, j) of a dw x dh
// rectangle takes the source pixel at column sx + i*sw/dw and row sy + j*sh/dh (integer
// quotients, nearest neighbour); mirroring reverses the columns (rows) inside the source
// rectangle; with a colour key, source pixels equal to it leave the destination as it was. A
// copy of a surface onto itself behaves like a copy through a temporary picture.

#include <cstdint>

#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/screen_cover.h"

struct PixelCopy {
  const uint16_t* key = nullptr;  // the colour key, or null for a plain copy
  bool mirror_x = false;
  bool mirror_y = false;
  // The compose's cover of the destination: covered pixels may be left undrawn.
  const ScreenCover* cover = nullptr;
};

void CopyPixels(const platform::Surface& source, const Rect& source_rect,
                platform::Surface& destination, const Rect& destination_rect,
                const PixelCopy& how);

void FillPixels(platform::Surface& surface, const Rect& rect, uint16_t value);

// The screen fade on a locked picture: type 0 darkens every channel to floor(c * (256 - level) /
// 256); type 1 does the same and then adds floor(level * 31 / 256) to red and blue and twice that
// to RGB565 green (once to RGB555 green), so level 256 gives white; other types change nothing.
void FadePixels(uint8_t* bits, int32_t pitch, int width, int height, platform::PixelLayout layout,
                int level, int type);
