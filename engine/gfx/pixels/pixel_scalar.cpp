// The scalar forms of the pixel kernels: one pixel at a time, in the order rows top to bottom and
// pixels left to right, written straight from each operation's per-channel definition.

#include <algorithm>
#include <cstring>

#include "engine/gfx/pixels/pixel_kernels.h"
#include "platform/pixel_traits.h"

namespace pixel_kernels::scalar {

namespace {

using platform::PixelFormat;

const PixelFormat& Format(bool rgb555) {
  return rgb555 ? platform::kRgb555Format : platform::kRgb565Format;
}

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// The pixel of three field values.
inline uint16_t Pack(const PixelFormat& f, uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint16_t>(f.red.Place(r) | f.green.Place(g) | f.blue.Place(b));
}

// Applies `each(source field, destination field, tint field, field maximum)` to every channel.
template <class F>
inline uint16_t EachChannel(const PixelFormat& f, uint16_t s, uint16_t d, uint16_t tint, F each) {
  return Pack(f, each(f.red.Field(s), f.red.Field(d), f.red.Field(tint), f.red.max()),
              each(f.green.Field(s), f.green.Field(d), f.green.Field(tint), f.green.max()),
              each(f.blue.Field(s), f.blue.Field(d), f.blue.Field(tint), f.blue.max()));
}

// The destination pixel after one blend of source pixel s over destination pixel d at column
// `col` and row `row` of the area.
uint16_t BlendPixel(const BlendCall& c, const PixelFormat& f, uint16_t s, uint16_t d, int col,
                    int row) {
  const uint32_t a = c.level;
  const uint32_t mode = c.mode >> 16;
  if (mode > 9) return d;
  if (s == c.key && c.honour_key) return d;
  if (s == c.key && mode == 0) return s;
  switch (mode) {
    case 0:
      if (s == d) return d;
      return EachChannel(f, s, d, c.tint, [a](uint32_t sc, uint32_t dc, uint32_t, uint32_t) {
        return sc * a / 256 + dc * (256 - a) / 256;
      });
    case 1:
      return EachChannel(f, s, d, c.tint, [a](uint32_t sc, uint32_t dc, uint32_t, uint32_t m) {
        return std::min(dc + sc * a / 256, m);
      });
    case 2:
      return EachChannel(f, s, d, c.tint,
                         [a](uint32_t sc, uint32_t, uint32_t, uint32_t) { return sc * a / 256; });
    case 3:
      return EachChannel(f, s, d, c.tint, [a](uint32_t sc, uint32_t, uint32_t, uint32_t m) {
        return std::min(sc + m * a / 256, m);
      });
    case 4:
    case 5:
    case 6: {
      const platform::PixelChannel& lit = mode == 4 ? f.red : mode == 5 ? f.green : f.blue;
      uint32_t r = f.red.Field(s), g = f.green.Field(s), b = f.blue.Field(s);
      uint32_t& field = mode == 4 ? r : mode == 5 ? g : b;
      field = std::min<uint32_t>(field + lit.max() * a / 256, lit.max());
      return Pack(f, r, g, b);
    }
    case 7:
      return EachChannel(f, s, d, c.tint, [a](uint32_t sc, uint32_t, uint32_t tc, uint32_t) {
        return sc * a / 256 + tc * (256 - a) / 256;
      });
    case 8:
      if (a == 128) return d;  // a shadow at level 128 draws nothing at all
      return EachChannel(f, s, d, c.tint,
                         [](uint32_t, uint32_t dc, uint32_t, uint32_t) { return dc / 2; });
    default:  // 9: the source on a checkerboard
      return (col + row + c.rows.height) % 2 == 0 ? s : d;
  }
}

// Runs op(source pixel, aux pixel, destination pixel, col, row) -> new destination pixel over
// the area, one pixel at a time.
template <class Op>
void EachPixel(const Rows& a, Op op) {
  uint8_t* d = a.dst;
  const uint8_t* s = a.src;
  const uint8_t* x = a.aux;
  for (int row = 0; row < a.height; ++row) {
    for (int col = 0; col < a.width; ++col) {
      const uint16_t sv = s != nullptr ? Load16(s + 2 * col) : 0;
      const uint16_t xv = x != nullptr ? Load16(x + 2 * col) : 0;
      Store16(d + 2 * col, op(sv, xv, Load16(d + 2 * col), col, row));
    }
    d += a.dst_advance;
    if (s != nullptr) s += a.src_advance;
    if (x != nullptr) x += a.aux_advance;
  }
}

// A pixel's five-bit channels each times factor / 16.
inline uint16_t Bright5(const PixelFormat& f, uint16_t p, uint32_t factor) {
  const int r = f.red.shift5(), g = f.green.shift5(), b = f.blue.shift5();
  return static_cast<uint16_t>(((p >> r) & 31) * factor / 16 << r |
                               ((p >> g) & 31) * factor / 16 << g |
                               ((p >> b) & 31) * factor / 16 << b);
}

}  // namespace

void Blend(const BlendCall& call) {
  const PixelFormat& f = Format(call.rgb555);
  EachPixel(call.rows, [&](uint16_t s, uint16_t, uint16_t d, int col, int row) {
    if (call.cover != nullptr && (call.cover[row] >> ((call.dst_x + col) / 16) & 1) != 0) {
      return d;  // covered
    }
    return BlendPixel(call, f, s, d, col, row);
  });
}

void Bright(const Rows& rows, uint16_t factor, bool rgb555) {
  const PixelFormat& f = Format(rgb555);
  EachPixel(rows, [&](uint16_t s, uint16_t, uint16_t, int, int) { return Bright5(f, s, factor); });
}

void CrossFade(const Rows& rows, uint16_t factor_a, uint16_t factor_b, bool rgb555) {
  const PixelFormat& f = Format(rgb555);
  EachPixel(rows, [&](uint16_t a, uint16_t b, uint16_t, int, int) {
    return static_cast<uint16_t>(Bright5(f, a, factor_a) + Bright5(f, b, factor_b));
  });
}

void MaskedShadow(const Rows& rows, uint16_t transparent, bool rgb555) {
  const uint16_t half = Format(rgb555).half_mask();
  EachPixel(rows, [&](uint16_t mask, uint16_t, uint16_t d, int, int) {
    return mask == transparent ? d : static_cast<uint16_t>((d >> 1) & half);
  });
}

void CopyRowKeyed(const uint16_t* src, uint16_t* dst, int width, uint16_t key, ColumnSpan* span) {
  int first = -1, last = 0;
  for (int i = 0; i < width; ++i) {
    if (src[i] == key) continue;
    dst[i] = src[i];
    if (first < 0) first = i;
    last = i + 1;
  }
  if (span != nullptr) *span = first < 0 ? ColumnSpan{} : ColumnSpan{first, last};
}

PixelBox CopyKeyed(const KeyedCopy& c) {
  PixelBox box{c.width, c.height, 0, 0};
  for (int y = 0; y < c.height; ++y) {
    const uint16_t* src = c.src + y * c.src_stride;
    uint16_t* dst = c.dst + y * c.dst_stride;
    for (int x = 0; x < c.width; ++x) {
      const int group = (c.dst_x + x) / 16;
      if (c.cover != nullptr && (c.cover[y] >> group & 1) != 0) continue;
      if (src[x] == c.key) continue;
      dst[x] = src[x];
      if (c.cover != nullptr || !c.find_box) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y);
      box.bottom = y + 1;
    }
  }
  return box.left < box.right ? box : PixelBox{};
}

void FadeRow(uint16_t* row, int width, uint16_t f, uint16_t add, bool rgb555) {
  const PixelFormat& format = Format(rgb555);
  for (int x = 0; x < width; ++x) {
    const uint16_t p = row[x];
    row[x] = static_cast<uint16_t>(Pack(format, format.red.Field(p) * f >> 8,
                                        format.green.Field(p) * f >> 8,
                                        format.blue.Field(p) * f >> 8) +
                                   add);
  }
}

void FillTextureSpan(const TextureSpan& a) {
  uint8_t* p = a.out;
  int64_t s = a.s, t = a.t;
  for (int64_t n = a.count; n > 0; --n, p += 2, s += a.ds, t += a.dt) {
    const int64_t x = std::clamp<int64_t>(s >> 16, 0, a.max_s);
    const int64_t y = std::clamp<int64_t>(t >> 16, 0, a.max_t);
    const uint16_t texel = Load16(a.base + y * a.pitch + x * 2);
    if (!a.keyed || texel != a.key) Store16(p, texel);
  }
}

void GatherRow(const uint16_t* src, int, const int32_t* columns, uint16_t* dst, int width,
               const uint16_t* key) {
  for (int i = 0; i < width; ++i) {
    const uint16_t v = src[columns[i]];
    if (key == nullptr || v != *key) dst[i] = v;
  }
}

void CopyRowMirrored(const uint16_t* src, uint16_t* dst, int width, const uint16_t* key) {
  for (int i = 0; i < width; ++i) {
    const uint16_t v = src[width - 1 - i];
    if (key == nullptr || v != *key) dst[i] = v;
  }
}

}  // namespace pixel_kernels::scalar
