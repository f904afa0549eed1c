#pragma once
// Types shared by the display object and everything that draws: surface numbers, rectangles,
// colours, layer records and the blit flags.

#include <cstdint>

#include "platform/surface.h"

// A drawing target. Drawing calls name their target by a SurfaceId; the display object resolves
// it to a surface (CDdrawFunc::GetSurface).
using SurfaceId = int32_t;

constexpr SurfaceId SURFACE_PRIMARY = 1;  // the visible screen; never a fill target
constexpr SurfaceId SURFACE_BACK = 2;     // every frame is composed here (the flip buffer while
                                          // the flip mode is nonzero)
constexpr SurfaceId SURFACE_FLIP = 3;     // back buffer of the flip chain
constexpr SurfaceId SURFACE_ROOT = 4;     // compose layers, bottom to top: 4-8
constexpr SurfaceId SURFACE_BG = 5;
constexpr SurfaceId SURFACE_FG = 6;
constexpr SurfaceId SURFACE_FC = 7;
constexpr SurfaceId SURFACE_TEXT = 8;
constexpr SurfaceId SURFACE_XFADE = 9;     // the cross-fade picture
constexpr SurfaceId SURFACE_DEBUG = 10;    // debug overlay, composed after the layers
constexpr SurfaceId SURFACE_DEBUG2 = 11;   // debug menu surface, composed last
constexpr SurfaceId SURFACE_SCRATCH = 12;  // working surface (window boxes, effects)
constexpr SurfaceId SURFACE_SCRATCH2 = 13;
constexpr SurfaceId SURFACE_ALL_LAYERS = 14;  // not a surface: all five layers (capture, update)

// A user-surface number 0-1023 (CreateUserSurface); -1 = none.
using UserSurface = int32_t;
constexpr int kUserSurfaceCount = 1024;

// The screen.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// Colours handed to drawing calls are COLORREF values 0x00BBGGRR.
using ColorRef = uint32_t;
constexpr ColorRef kColorKeyColorRef = 0xFFFF00;  // cyan: the transparent colour

// A rectangle: left, top, right, bottom; right and bottom exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Per compose position: what part of the layer's surface is shown where.
struct LayerRec {
  int32_t scroll_x = 0;  // top-left corner of the shown part of the surface
  int32_t scroll_y = 0;
  int32_t surface_width = kScreenWidth;  // larger after CDdrawFunc::ResizeSurface
  int32_t surface_height = kScreenHeight;
  int32_t screen_x = 0;  // where the view is placed on the back buffer
  int32_t screen_y = 0;
  int32_t view_width = kScreenWidth;
  int32_t view_height = kScreenHeight;
  // User-surface number holding the layer's own surface while another stands in for it; -1 none.
  int32_t swap_surface = -1;
  int32_t tone = 100;  // percent of the scene script's background-tone effect; 100 = none
};

// A caller-owned copy of the layers' visible and copy flags (entries 4-8 used) and the clear flag.
struct LayerState {
  int32_t visible[15] = {};
  int32_t copy[15] = {};
  int32_t clear_flag = 0;
};

// Blit flags and the effects block. Mirroring is asked for with kBltDdFx and a BltFx whose ddfx
// word holds the mirror bits. kBltKeySrc asks CDdrawFunc::BltWait for a source-keyed copy;
// kBltWait is accepted everywhere and changes nothing (blits finish before they return).
constexpr uint32_t kBltDdFx = 0x800;
constexpr uint32_t kBltKeySrc = 0x8000;
constexpr uint32_t kBltWait = 0x1000000;
constexpr uint32_t kBltFxMirrorLeftRight = 2;
constexpr uint32_t kBltFxMirrorUpDown = 4;

struct BltFx {
  uint32_t size = 100;
  uint32_t ddfx = 0;
};

// True when the flags and the effects block ask for that mirror bit (kBltFxMirror*).
inline bool MirrorBit(uint32_t flags, const BltFx* fx, uint32_t bit) {
  return (flags & kBltDdFx) != 0 && fx != nullptr && (fx->ddfx & bit) != 0;
}

// CDdrawFunc::GetSurfaceCaps: the bit of a surface in video memory.
constexpr uint32_t kSurfaceCapsVideoMemory = 0x4000;

// What CDdrawFunc::LockSurface fills in.
using SurfaceDesc = platform::SurfaceLock;

// A solid quadrilateral as the sprite buffer keeps it (CDdrawFunc::DrawPolygon): corners A-D
// relative to the origin, zoomed, turned in the plane by angle3 and out of it (with perspective
// from the viewer distance) by angle2 about the vertical and angle1 about the horizontal axis.
// Angles are radians x 256; zooms 16.16.
struct PolygonPoint {
  int32_t x = 0;
  int32_t y = 0;
};

struct PolygonBlock {
  int32_t x = 0;  // origin
  int32_t y = 0;
  PolygonPoint corner[4];  // A, B, C, D
  int32_t angle1 = 0;
  int32_t angle2 = 0;
  int32_t angle3 = 0;
  int32_t zoom_x = 0x10000;
  int32_t zoom_y = 0x10000;
  uint32_t color = 0;  // a pixel of the destination's layout (low 16 bits)
  int32_t distance = 0;
};
