#pragma once
// The inner loops of the software blitters, each in two forms with the same results to the bit:
// a vector form written once with Google Highway and compiled for every instruction set the
// build knows (x86-64 from SSSE3 to AVX-512, Arm NEON, a portable fallback), the best one the
// processor supports chosen at run time; and a scalar form, one pixel at a time, written
// straight from the definition. The scalar forms are the reference the tests hold every vector
// form against, and the path for inputs the vector forms do not take (an input that partly
// overlaps the destination, where reads must see earlier writes).
//
// Nothing here clips or checks pointers: callers hand over areas inside their pictures.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixel_kernels {

// An area of rows: the destination, the source and an optional second source, each as its
// first pixel and the bytes from the end of one row's `width` pixels to the next row's start
// plus 2 * width (the row advance).
struct Rows {
  uint8_t* dst;
  ptrdiff_t dst_advance;
  const uint8_t* src;
  ptrdiff_t src_advance;
  const uint8_t* aux;
  ptrdiff_t aux_advance;
  int width;
  int height;
};

// One call of the blend family (blend_blit.h): level already capped at 256, mode the blend
// word's high half.
struct BlendCall {
  Rows rows;
  uint32_t level;
  uint32_t mode;
  uint16_t key;
  uint16_t tint;
  bool rgb555;
  bool honour_key;
  // As for KeyedCopy: one word per destination row of covered 16-pixel screen groups, the
  // destination's first column at screen column `dst_x`; covered pixels are left as they are.
  const uint64_t* cover = nullptr;
  int dst_x = 0;
};

// The columns [first, last) of a keyed row that hold every pixel other than the key, exactly;
// first == last when the row is all key.
struct ColumnSpan {
  int first = 0;
  int last = 0;
};

// A keyed copy of a rectangle (strides in pixels). With `cover`, one word per destination row
// (engine/gfx/pixels/screen_cover.h: bit g covers screen columns 16g to 16g + 15, the
// destination's first column being screen column `dst_x`), the covered columns are left as they
// are.
struct KeyedCopy {
  const uint16_t* src;
  ptrdiff_t src_stride;
  uint16_t* dst;
  ptrdiff_t dst_stride;
  int width;
  int height;
  uint16_t key;
  const uint64_t* cover = nullptr;
  int dst_x = 0;
  // False when the caller has no use for the box: the copy then returns an empty one without
  // looking for it.
  bool find_box = true;
};

// Columns [left, right) and rows [top, bottom) of a rectangle; empty when left >= right.
struct PixelBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// One row span of the texture-mapping rasterizer: `count` pixels from `out`, texture position
// (s, t) in 16.16 stepping by (ds, dt) per pixel. Positions are clamped to the picture
// (0..max_s, 0..max_t) unless `inside` says every position of the span lies in it.
struct TextureSpan {
  uint8_t* out;
  int64_t count;
  int64_t s, t, ds, dt;
  const uint8_t* base;
  ptrdiff_t pitch;
  int64_t max_s, max_t;
  bool inside;
  bool keyed;
  uint16_t key;
};

// The vector forms.
void Blend(const BlendCall& call);
// Brightness copy: every channel's upper five bits times factor/16 (factor 0-16).
void Bright(const Rows& rows, uint16_t factor, bool rgb555);
// Cross-fade: source * factor_a/16 + aux * factor_b/16 in five-bit channels.
void CrossFade(const Rows& rows, uint16_t factor_a, uint16_t factor_b, bool rgb555);
// Halves the destination's channels wherever the source (the mask) is not `transparent`.
void MaskedShadow(const Rows& rows, uint16_t transparent, bool rgb555);
// A keyed row copy: source pixels equal to the key leave the destination as it is. With `span`
// the columns holding other pixels are reported.
void CopyRowKeyed(const uint16_t* src, uint16_t* dst, int width, uint16_t key, ColumnSpan* span);
// The same for a rectangle, returning the box of its source pixels other than the key (left
// empty when a cover is given, what is skipped not being looked at, and when find_box is false).
PixelBox CopyKeyed(const KeyedCopy& copy);
// The screen fade of one row: each field floor(c * f / 256), then `add` added to the pixel.
void FadeRow(uint16_t* row, int width, uint16_t f, uint16_t add, bool rgb555);
// One span of the texture-mapping rasterizer.
void FillTextureSpan(const TextureSpan& span);
// dst[i] = src[columns[i]] for i < width (the source columns of a stretched row, each below
// src_width, the pixels the source row has); with a key, source pixels equal to it leave the
// destination as it is. dst never overlaps src.
void GatherRow(const uint16_t* src, int src_width, const int32_t* columns, uint16_t* dst,
               int width, const uint16_t* key);
// dst[i] = src[width - 1 - i] for i < width (a mirrored row), keyed as GatherRow.
void CopyRowMirrored(const uint16_t* src, uint16_t* dst, int width, const uint16_t* key);

// The instruction sets this build has vector forms for and this processor can run, best first
// (Highway's target bits), and their names.
std::vector<int64_t> VectorTargets();
const char* VectorTargetName(int64_t target);
// Makes the entry points run the given instruction set's forms; 0 returns to the best one. For
// tests that hold every form against the scalar one.
void UseVectorTarget(int64_t target);

// The scalar forms: the same results, one pixel at a time.
namespace scalar {
void Blend(const BlendCall& call);
void Bright(const Rows& rows, uint16_t factor, bool rgb555);
void CrossFade(const Rows& rows, uint16_t factor_a, uint16_t factor_b, bool rgb555);
void MaskedShadow(const Rows& rows, uint16_t transparent, bool rgb555);
void CopyRowKeyed(const uint16_t* src, uint16_t* dst, int width, uint16_t key, ColumnSpan* span);
PixelBox CopyKeyed(const KeyedCopy& copy);
void FadeRow(uint16_t* row, int width, uint16_t f, uint16_t add, bool rgb555);
void FillTextureSpan(const TextureSpan& span);
void GatherRow(const uint16_t* src, int src_width, const int32_t* columns, uint16_t* dst,
               int width, const uint16_t* key);
void CopyRowMirrored(const uint16_t* src, uint16_t* dst, int width, const uint16_t* key);
}  // namespace scalar

}  // namespace pixel_kernels
