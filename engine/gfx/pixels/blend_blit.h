#pragma once
// Software blitters on raw 16-bit pixel memory: the blend family (the ten blend modes of a blend
// word, one member per pixel layout and colour-key handling), the 18 brightness tables with the
// brightness copy and the two-picture cross-fade built on them, and the masked shadow.
//
// A picture is passed as (base pointer, pitch in bytes, x, y): pixel (x, y) lies at
// base + y * pitch + 2 * x; the pitch need not be twice the width. Nothing here locks, clips or
// checks pointers: the caller hands over areas that lie inside its pictures. An area whose width
// or height is 0 or less draws nothing.
//
// Pixel layouts: RGB565 (red 15-11, green 10-5, blue 4-0) and RGB555 (bit 15 zero, red 14-10,
// green 9-5, blue 4-0), as platform/pixel_traits.h defines them. Channel arithmetic works in
// field units (0-31, 0-63 for RGB565 green).

#include <cstdint>

// The alpha word of sprites and sprite-buffer entries: blend mode in the high 16 bits, level
// 0-256 (256 = 1.0) in the low 16 bits. A plain alpha 0-256 is mode 0.
using BlendWord = uint32_t;

// Blend modes as the blitters take them: the blend word's high half, mode x 0x10000.
inline constexpr uint32_t kBlendAlpha = 0x00000;         // s*a + d*(256-a); d == s left as it is
inline constexpr uint32_t kBlendAdd = 0x10000;           // min(d + s*a, max)
inline constexpr uint32_t kBlendScaledCopy = 0x20000;    // s*a, destination not read
inline constexpr uint32_t kBlendLighten = 0x30000;       // min(s + max*a, max), all channels
inline constexpr uint32_t kBlendLightenRed = 0x40000;    // as lighten, red only
inline constexpr uint32_t kBlendLightenGreen = 0x50000;  // as lighten, green only
inline constexpr uint32_t kBlendLightenBlue = 0x60000;   // as lighten, blue only
inline constexpr uint32_t kBlendTint = 0x70000;          // s*a + tint*(256-a)
inline constexpr uint32_t kBlendShadow = 0x80000;        // d/2 under the source; level 128: none
inline constexpr uint32_t kBlendMesh = 0x90000;          // source on a checkerboard

// The layout argument of the table-driven blits: 16 selects RGB565, any other value RGB555.
inline constexpr int kBrightLayout565 = 16;
inline constexpr int kBrightLayout555 = 15;

// The blend family. All four take the same arguments: destination area (base, pitch, x, y,
// width, height), source (base, pitch, x, y, width), level 0-256 (larger values, taken unsigned,
// count as 256), mode word (the blend word's high half; its low 16 bits are ignored, modes 10
// and above draw nothing), colour-key pixel, tint colour (16-bit pixel, read by mode 7 only).
// The source advances by pitch - 2 * source width after each row of `width` pixels, so callers
// pass the source width equal to the destination width.
//
// Honouring members: a source pixel equal to the key leaves the destination pixel as it was, in
// every mode. Non-honouring members: mode 0 writes a key-coloured source pixel unchanged (the
// key survives the blend); every other mode treats it as an ordinary colour.
void BlitBlend16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                 int32_t height, const void* src, int32_t src_pitch, int32_t src_x, int32_t src_y,
                 int32_t src_width, uint32_t level, uint32_t mode, uint16_t key, uint16_t tint);
void BlitBlend16Alt(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                    int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                    int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode, uint16_t key,
                    uint16_t tint);
void BlitBlend16For555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                       int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                       int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode,
                       uint16_t key, uint16_t tint);
void BlitBlend16AltFor555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y,
                          int32_t width, int32_t height, const void* src, int32_t src_pitch,
                          int32_t src_x, int32_t src_y, int32_t src_width, uint32_t level,
                          uint32_t mode, uint16_t key, uint16_t tint);

// Any member of the family (RGB555 or RGB565, honouring the key or not) with a cover of the
// destination (engine/gfx/pixels/screen_cover.h): cover_rows[j] holds the covered 16-pixel
// screen groups of the area's row j, whose first column is screen column cover_x; covered pixels
// are left as they are. Null cover_rows covers nothing.
void BlitBlend16Covered(bool rgb555, bool honour_key, void* dst, int32_t dst_pitch, int32_t dst_x,
                        int32_t dst_y, int32_t width, int32_t height, const void* src,
                        int32_t src_pitch, int32_t src_x, int32_t src_y, int32_t src_width,
                        uint32_t level, uint32_t mode, uint16_t key, uint16_t tint,
                        const uint64_t* cover_rows, int32_t cover_x);

// Brightness tables: table t scales every channel of a pixel by L(t)/16, with
// L = 0, 16, 1, 15, 2, 14, ..., 8, 8 (table 2k holds k/16, table 2k + 1 holds (16 - k)/16).
// The tables work on five bits per channel: RGB565 keeps only the upper five bits of green (the
// lowest green bit of an entry is 0); RGB555 ignores bit 15 of the index. Each layout has its own
// constant set of tables, built on first use; every blit works in the layout it names. The blits
// compute the same values in their lanes and never read the tables.
inline constexpr int kBrightTableCount = 18;
// Table t (0-17) of the given layout (16: RGB565, any other value: RGB555), 65536 entries;
// null for any other t.
const uint16_t* BrightTable(int layout, int t);

// Level 0-256 to the brightness step 0-16: (level + 8) / 16, truncated toward zero; a step above
// 16, also the huge one a level below -23 gives when taken unsigned, becomes 16.
int BrightStep(int32_t level);

// destination = source scaled by step/16 (table of the level's step), every pixel; no key.
void BlitBright16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                  int32_t src_y, int32_t level, int layout);
// Cross-fade: destination = A * (16 - s)/16 + B * s/16 per channel (s = the level's step), the
// two table entries added. Level 0 gives A, 256 gives B.
void BlitBright16B(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                   int32_t height, const void* a, int32_t a_pitch, int32_t a_x, int32_t a_y,
                   const void* b, int32_t b_pitch, int32_t b_x, int32_t b_y, int32_t level,
                   int layout);
// Halves every channel of the destination wherever the mask pixel is not the transparent colour
// (0x07FF for layout 16, 0x03FF otherwise).
void BlitShadow16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* mask, int32_t mask_pitch, int32_t mask_x,
                  int32_t mask_y, int layout);
