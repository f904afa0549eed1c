#pragma once
// The convex-quadrilateral rasterizer behind zoomed, rotated and mirrored sprites and the filled
// polygons of the sprite buffer, on raw 16-bit pixel memory (pitch in bytes, which need not be
// twice the width).
//
// A call passes four vertices in cyclic order around a convex quadrilateral (either winding).
// Edges and texture coordinates step in 16.16 fixed point with 64-bit intermediates, so no
// corner position or zoom overflows. The drawing is clipped to the destination's own width and
// height; texel coordinates are clamped to the source picture. Quadrilaterals entirely outside
// the destination, without height or without width, draw nothing; so does a destination or
// source of no size.
//
// Each row y is drawn with the edge and texture positions of row y + 1 (both edges step, then
// the span is filled), so texture corners that span a source rectangle exactly sample, on the
// last row, the source row just below it (clamped to the picture's last row when the rectangle
// ends there). The sprite draw passes inclusive source corners, which keeps every row inside.

#include <array>
#include <cstdint>

// Screen position (x, y) and texture position (s, t), pixel coordinates of the source picture
// across and down.
struct QuadVertex {
  int32_t x;
  int32_t y;
  int32_t s;
  int32_t t;
};
using Quad = std::array<QuadVertex, 4>;

// Texture-maps the source picture (source_width x source_height pixels) onto the quad; texels
// equal to the colour-key pixel leave the destination pixel as it was. A destination of the
// screen's size may come with the compose's cover (engine/gfx/pixels/screen_cover.h: one word a
// row); the pixels it covers are left as they are.
void BlitTransform16(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                     const Quad& quad, const void* src, int32_t src_pitch, int32_t src_width,
                     int32_t src_height, uint16_t key, const uint64_t* cover = nullptr);
// The same with every texel written.
void BlitTransform16B(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                      const Quad& quad, const void* src, int32_t src_pitch, int32_t src_width,
                      int32_t src_height, const uint64_t* cover = nullptr);
// Fills the quad with one colour; the texture positions are not read.
void BlitPolygon16Work(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                       const Quad& quad, uint16_t colour);
// Fills the quad with corners (x0, y0) .. (x3, y3).
void BlitPolygon16(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                   int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                   int32_t x3, int32_t y3, uint16_t colour);

// The texture step of a span: n / width truncated toward zero, for a span width above 0 (the
// rasterizer's per-row quotient, made without a division for widths up to 4096).
int64_t SpanStep(int64_t n, int64_t width);
