// Image decoding of sprite files: indexed, grey and BMX pictures into the display's surfaces.

#include "scene/sprite/spr_image.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/lzss.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"
#include "scene/scene_context.h"

namespace {

using platform::PixelLayout;
using platform::Surface;

constexpr uint32_t kColourTableMax = 2048;

int DepthOf(const SprImageRecord& record) { return record.format & 0x0F; }
int PackingOf(const SprImageRecord& record) { return (record.format >> 4) & 0x0F; }

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void StoreRect(int x, int y, int64_t width, int64_t height) {
  if (!HasScene()) return;
  Scene().last_spr_rect = {x, y, Saturate(int64_t{x} + width), Saturate(int64_t{y} + height)};
}

// A 5-5-5 colour (red in the low bits) as a pixel, darkened below level 256.
uint16_t ColourPixel(uint16_t colour, int level, PixelLayout layout) {
  uint32_t r = colour & 31, g = (colour >> 5) & 31, b = (colour >> 10) & 31;
  if (static_cast<uint32_t>(level) < 256) CDdrawFunc::ScaleBrightness(level, r, 31, g, 31, b, 31, &r, &g, &b);
  return platform::PackColorRef((r * 8) | (g * 8) << 8 | (b * 8) << 16, layout);
}

uint16_t GreyPixel(uint32_t grey, int level, PixelLayout layout) {
  uint32_t r = grey, g = grey, b = grey;
  if (static_cast<uint32_t>(level) < 256) {
    CDdrawFunc::ScaleBrightness(level, grey, 255, grey, 255, grey, 255, &r, &g, &b);
  }
  return platform::PackColorRef(r | g << 8 | b << 16, layout);
}

}  // namespace

uint64_t SprImageBytes(const SprImageRecord& record, uint32_t decoder) {
  const uint64_t w = record.width, h = record.height;
  if (decoder == 1) return 2 * w * h;
  return DepthOf(record) <= 1 ? (w + 1) / 2 * h : w * h;
}

int GetSprImageRecord(const SprPart& images, uint32_t i, SprImageRecord* record, uint32_t* count,
                      uint32_t* scale_flag, uint32_t* decoder) {
  uint32_t n = 0;
  const uint8_t* records = SprRecordTable(images, &n, "GetSprImageRecord");
  if (records == nullptr) return 0;
  if (i >= n) {
    DebugPrint("GetSprImageRecord: image %u of %u\n", i, n);
    return 0;
  }
  const uint8_t* r = records + 16 * static_cast<size_t>(i);
  if (record != nullptr) {
    *record = {SprBe16(r), SprBe16(r + 2), SprBe16(r + 4), SprBe16(r + 6), SprBe32(r + 8),
               SprBe32(r + 12)};
  }
  if (count != nullptr) *count = n;
  if (scale_flag != nullptr) *scale_flag = SprBe16(images.data + 2);
  if (decoder != nullptr) *decoder = SprBe16(images.data + 4);
  return 1;
}

int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int x, int y,
                 int level, int color_key, Surface* surface) {
  SprImageRecord record;
  uint32_t count = 0, scale_flag = 0, decoder = 0;
  if (!GetSprImageRecord(images, i, &record, &count, &scale_flag, &decoder)) return 0;
  const uint64_t start = 16 + uint64_t{16} * count + record.data_offset;
  const uint8_t* data = nullptr;
  if (start + record.data_size <= images.size) {
    data = images.data + start;
  } else {
    DebugPrint("DrawSprImage: data of image %u (offset %u, size %u) passes the part's end\n", i,
               record.data_offset, record.data_size);
  }
  return DecodeSprImage(colours, data, record, scale_flag, decoder, x, y, level, color_key,
                        surface);
}

int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int color_key,
                 SurfaceId id) {
  return DrawSprImage(colours, images, i, 0, 0, 256, color_key, Ctx().ddraw.GetSurface(id));
}

int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int x, int y,
                 int color_key, SurfaceId id) {
  return DrawSprImage(colours, images, i, x, y, 256, color_key, Ctx().ddraw.GetSurface(id));
}

int DrawSprImage(const SprPart& colours, const SprPart& images, uint32_t i, int color_key,
                 Surface* surface) {
  return DrawSprImage(colours, images, i, 0, 0, 256, color_key, surface);
}

int DecodeSprImage(const SprPart& colours, const uint8_t* data, const SprImageRecord& record,
                   uint32_t scale_flag, uint32_t decoder, int x, int y, int level, int color_key,
                   Surface* surface) {
  const int scale = scale_flag == 1 ? 1 : 2;
  const int64_t width = int64_t{record.width} * scale, height = int64_t{record.height} * scale;
  StoreRect(x, y, width, height);
  if (width == 0 || height == 0) {
    DebugPrint("DecodeSprImage: empty image (%u x %u)\n", record.width, record.height);
    return 0;
  }
  if (decoder > 1) {
    DebugPrint("DecodeSprImage: decoder word %u\n", decoder);
    return 0;
  }
  if (width > Surface::kMaxSide || height > Surface::kMaxSide ||
      static_cast<uint64_t>(width * height * 2) > Surface::kMaxBytes) {
    DebugPrint("DecodeSprImage: picture size %lld x %lld refused\n", static_cast<long long>(width),
               static_cast<long long>(height));
    return 0;
  }
  if (data == nullptr || surface == nullptr) return 0;

  // The bytes the decoder reads: unpacked exactly from the stream, or checked in the raw data.
  const uint64_t need = SprImageBytes(record, decoder);
  const uint8_t* pixels = data;
  std::vector<uint8_t> unpacked;
  if (PackingOf(record) == 1) {
    if (DepthOf(record) > 6) {
      DebugPrint("DecodeSprImage: packed depth code %d\n", DepthOf(record));
      return 0;
    }
    unpacked.resize(need);
    if (!LzssDecode(data, record.data_size, unpacked.data(), static_cast<uint32_t>(need))) {
      DebugPrint("DecodeSprImage: packed data (%u bytes) does not unpack to %llu bytes\n",
                 record.data_size, static_cast<unsigned long long>(need));
      return 0;
    }
    pixels = unpacked.data();
  } else if (record.data_size < need) {
    DebugPrint("DecodeSprImage: %u bytes of data, %llu needed\n", record.data_size,
               static_cast<unsigned long long>(need));
    return 0;
  }

  CDdrawFunc& ddraw = Ctx().ddraw;
  if (decoder == 1) {
    // BMX words are stored little-endian, whatever the host.
    const size_t count = static_cast<size_t>(record.width) * record.height;
    std::vector<uint16_t> words(count);
    for (size_t i = 0; i < count; ++i) {
      words[i] = static_cast<uint16_t>(pixels[2 * i] | pixels[2 * i + 1] << 8);
    }
    return ddraw.DrawBmx(words.data(), x, y, record.width, record.height, surface, color_key,
                         level);
  }

  const UserSurface n = ddraw.CreateUserSurface(record.width, record.height);
  Surface* picture = ddraw.GetUserSurface(n);
  if (picture == nullptr) {
    DebugPrint("DecodeSprImage: no user surface of %u x %u\n", record.width, record.height);
    return 0;
  }
  const Rect whole{0, 0, record.width, record.height};
  int result = ddraw.BltColorFill(picture, whole, 1);
  if (result == 1) {
    result = DecodeSpr(colours, pixels, static_cast<uint32_t>(need), record, picture, color_key,
                       level);
  }
  if (result == 1) {
    result = ddraw.BltPtr(picture, whole, surface,
                          {x, y, Saturate(x + width), Saturate(y + height)}, color_key);
  }
  ddraw.DeleteUserSurface(n);
  return result;
}

int DecodeSpr(const SprPart& colours, const uint8_t* data, uint32_t size,
              const SprImageRecord& record, Surface* surface, int color_key, int level) {
  const uint32_t w = record.width, h = record.height;
  const int depth = DepthOf(record);
  if (data == nullptr || surface == nullptr || size < SprImageBytes(record, 0)) {
    DebugPrint("DecodeSpr: %u bytes of data for %u x %u at depth %d\n", size, w, h, depth);
    return 0;
  }
  SurfaceDesc desc;
  if (!Ctx().ddraw.LockSurface(surface, &desc)) {
    DebugPrint("DecodeSpr Cannot GetDC\n");
    return 0;
  }
  const PixelLayout layout = surface->layout();
  const uint16_t key = platform::PackColorRef(kColorKeyColorRef, layout);

  // The 256 pixels of this image's values: colours from the palette base (what the colour table
  // holds; entries it does not hold are black, indexes past 2048 black with a trace) or greys.
  std::array<uint16_t, 256> lut{};
  const bool grey = depth > 4;
  uint32_t entries = 0;
  if (colours.present() && colours.size > 16) {
    entries = std::min<uint32_t>(kColourTableMax, (colours.size - 16) / 2);
  }
  uint32_t past_table = 0;
  const uint32_t values = depth <= 1 ? 16 : 256;
  for (uint32_t v = 1; v < values; ++v) {
    if (grey) {
      lut[v] = GreyPixel(255 - v, level, layout);
      continue;
    }
    const uint32_t index = uint32_t{record.palette_base} + v;
    if (index >= kColourTableMax) {
      ++past_table;
      lut[v] = platform::PackColorRef(0, layout);
    } else {
      const uint16_t colour = index < entries ? SprBe16(colours.data + 16 + 2 * index) : 0;
      lut[v] = ColourPixel(colour, level, layout);
    }
  }
  if (grey) lut[0] = GreyPixel(255, level, layout);
  if (past_table != 0) {
    DebugPrint("DecodeSpr: palette base %u: %u indexes past the colour table drawn black\n",
               record.palette_base, past_table);
  }

  const uint32_t rows = std::min<uint32_t>(h, static_cast<uint32_t>(desc.height));
  const uint32_t columns = std::min<uint32_t>(w, static_cast<uint32_t>(desc.width));
  const size_t row_bytes = depth <= 1 ? (w + 1) / 2 : w;
  for (uint32_t y = 0; y < rows; ++y) {
    const uint8_t* from = data + y * row_bytes;
    auto* to = reinterpret_cast<uint16_t*>(desc.bits + static_cast<size_t>(y) * desc.pitch);
    for (uint32_t x = 0; x < columns; ++x) {
      uint32_t v;
      if (depth <= 1) {
        v = (x & 1) != 0 ? from[x / 2] & 0x0F : from[x / 2] >> 4;
      } else {
        v = from[x];
      }
      if (v != 0 || grey) {
        to[x] = lut[v];
      } else if (color_key == 0) {
        to[x] = key;
      }
    }
  }
  surface->Unlock();
  return 1;
}

void CTamvikSpr::GetSprRect(Rect* rect) {
  if (rect != nullptr) *rect = Scene().last_spr_rect;
}
