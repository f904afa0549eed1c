#pragma once
// Image decoding of sprite files: image i of an image table (part kind 2) drawn as pixels into a
// surface of the display, darkened by a draw level below 256 and doubled when the table's scale
// flag is not 1.
//
// Encodings (format word: bits 0-3 depth code, bits 4-7 packing, 1 = LZSS-packed):
//   decoder word 0, depth 0-1: 4-bit indexes, (w + 1) / 2 bytes a row, high nibble first;
//   decoder word 0, depth 2-4: 8-bit indexes; index v > 0 is colour (palette base + v) of the
//     colour table, 0 transparent (the key pixel with colour-key flag 0, untouched with 1);
//   decoder word 0, depth 5 and above: one byte b a pixel, drawn as grey 255 - b;
//   decoder word 1: 16-bit BMX words (little-endian) through CDdrawFunc::DrawBmx, at 1x.
// Before anything is made the data is checked: the bytes each depth needs (raw, or unpacked
// exactly from the packed stream) and the size of the picture against the surface limits. A
// failure returns 0 and leaves no user surface behind; the last image rectangle is updated in
// every case.

#include <cstdint>

#include "engine/gfx/gfx_types.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/sprite/spr_file.h"

namespace platform {
class Surface;
}

// An image record, in host order.
struct SprImageRecord {
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t format = 0;  // bits 0-3 depth code, bits 4-7 packing
  uint16_t palette_base = 0;
  uint32_t data_offset = 0;  // from the end of the record table
  uint32_t data_size = 0;
};

// Record i of the image table and the table's count, scale flag and decoder word (any out may be
// null): 1, or 0 for an absent table, a record table past the part's end or i >= N.
int GetSprImageRecord(const SprPart& images, uint32_t i, SprImageRecord* record, uint32_t* count,
                      uint32_t* scale_flag, uint32_t* decoder);

// Image i at (x, y) of the surface: 0 when the record can't be read or its data lies outside the
// part, else DecodeSprImage's result.
int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int x, int y,
                 int level, int color_key, platform::Surface* surface);
// Short forms at level 256: at (0, 0) of a numbered surface, at (x, y) of a numbered surface,
// and at (0, 0) of a surface.
int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int color_key,
                 SurfaceId id);
int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int x, int y,
                 int color_key, SurfaceId id);
int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int color_key,
                 platform::Surface* surface);

// One image from its data (`data` null: the data is not inside its part). 1 drawn, 0 failed.
int DecodeSprImage(const SprPart& colours, const uint8_t* data, const SprImageRecord& record,
                   uint32_t scale_flag, uint32_t decoder, int x, int y, int level, int color_key,
                   platform::Surface* surface);

// Indexed or grey pixels (`size` bytes at `data`) into the surface's top-left corner, cut to the
// surface. 1, or 0 when the data is shorter than the record needs or the surface can't be locked
// ("DecodeSpr Cannot GetDC").
int DecodeSpr(const SprPart& colours, const uint8_t* data, uint32_t size,
              const SprImageRecord& record, platform::Surface* surface, int color_key, int level);

// The bytes the decoder reads for a record: (w + 1) / 2 a row for 4-bit, w for 8-bit and grey,
// 2w for BMX (decoder word 1). 0 for an empty record.
uint64_t SprImageBytes(const SprImageRecord& record, uint32_t decoder);

// The rectangle of the last image decoded (also of the last that failed) is
// CTamvikSpr::GetSprRect (tamvik_spr.h).
