#include "engine/gfx/pixels/blend_blit.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/pixel_traits.h"

// Every blitter here is one row loop over eight pixels at a time (the compiler's generic vector
// type, one 16-bit lane per pixel) with a per-mode operation chosen once per call, so the inner
// loop never branches on the mode, the layout or the key. All channel products fit in 16 bits
// (at most 63 x 256), so each lane computes exactly the per-channel integer arithmetic of the
// pixel-at-a-time definition. A row's last pixels that do not fill eight lanes go through the
// same operation on a partly filled vector.

namespace {

typedef uint16_t V16 __attribute__((vector_size(16)));
typedef int16_t S16 __attribute__((vector_size(16)));
constexpr int kLanes = 8;

inline V16 Splat(uint32_t x) {
  const auto v = static_cast<uint16_t>(x);
  return V16{v, v, v, v, v, v, v, v};
}
inline V16 Load(const uint8_t* p) {
  V16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store(uint8_t* p, V16 v) { std::memcpy(p, &v, sizeof v); }
inline V16 LoadPart(const uint8_t* p, int n) {
  V16 v = {};
  std::memcpy(&v, p, static_cast<size_t>(n) * 2);
  return v;
}
inline void StorePart(uint8_t* p, V16 v, int n) {
  std::memcpy(p, &v, static_cast<size_t>(n) * 2);
}
// All lanes set where a == b.
inline V16 Eq(V16 a, V16 b) { return reinterpret_cast<V16>(a == b); }
// a where the mask is set, else b.
inline V16 Select(V16 mask, V16 a, V16 b) { return (a & mask) | (b & ~mask); }
// Minimum of channel values (all below 32768, so the signed compare is exact).
inline V16 Min(V16 a, V16 b) {
  const V16 a_greater = reinterpret_cast<V16>(reinterpret_cast<S16>(a) > reinterpret_cast<S16>(b));
  return Select(a_greater, b, a);
}

// ---- Pixel layouts ----------------------------------------------------------------------------

// The layouts as compile-time traits: every shift, mask and maximum below is a constant of the
// instantiation. Blue lies at bit 0 in both layouts, which the lanes rely on (no blue shift).
using Rgb565 = platform::Rgb565Traits;
using Rgb555 = platform::Rgb555Traits;
static_assert(Rgb565::kBlueShift == 0 && Rgb555::kBlueShift == 0);

// The layout of a table-driven blit's layout argument.
constexpr platform::PixelLayout BrightLayoutOf(int layout) {
  return layout == kBrightLayout565 ? platform::PixelLayout::kRgb565
                                    : platform::PixelLayout::kRgb555;
}

struct Channels {
  V16 r, g, b;
};
template <class L>
inline Channels Split(V16 p) {
  return {(p >> L::kRedShift) & L::kRedMax, (p >> L::kGreenShift) & L::kGreenMax,
          (p >> L::kBlueShift) & L::kBlueMax};
}
template <class L>
inline V16 Pack(V16 r, V16 g, V16 b) {
  return (r << L::kRedShift) | (g << L::kGreenShift) | (b << L::kBlueShift);
}
// floor(c * w / 256) on field units, w = 0-256.
inline V16 Weigh(V16 c, V16 w) { return (c * w) >> 8; }

// The high halves of the lanes' 16 x 16-bit products: floor(x * y / 65536).
inline V16 MulHi(V16 x, V16 y) {
#if defined(__SSE2__)
  return reinterpret_cast<V16>(
      _mm_mulhi_epu16(reinterpret_cast<__m128i>(x), reinterpret_cast<__m128i>(y)));
#else
  V16 r;
  for (int i = 0; i < kLanes; ++i) {
    r[i] = static_cast<uint16_t>((static_cast<uint32_t>(x[i]) * y[i]) >> 16);
  }
  return r;
#endif
}

// floor(field * weight / 256) for every channel with the fields left in place, given
// w8 = weight << 8 for a weight of 0-255. (f << shift) * (weight << 8) >> 16 keeps at least the
// bits of floor(f * weight / 256) << shift, and masking to the field drops the rest.
template <class L>
inline V16 Scale(V16 p, V16 w8) {
  constexpr uint16_t kR = L::kRedMask, kG = L::kGreenMask, kB = L::kBlueMask;
  return (MulHi(p & kR, w8) & kR) | (MulHi(p & kG, w8) & kG) | MulHi(p & kB, w8);
}

// ---- The row runner ---------------------------------------------------------------------------

// One call's pictures: the destination, the source and an optional second source (the
// cross-fade's B picture), each with its first pixel and its row advance in bytes.
struct Area {
  uint8_t* dst;
  ptrdiff_t dst_advance;
  const uint8_t* src;
  ptrdiff_t src_advance;
  const uint8_t* aux;
  ptrdiff_t aux_advance;
  int width;
  int height;
};

uint8_t* PixelAt(void* base, int32_t pitch, int32_t x, int32_t y) {
  return static_cast<uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * 2;
}
const uint8_t* PixelAt(const void* base, int32_t pitch, int32_t x, int32_t y) {
  return static_cast<const uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * 2;
}

// The area of a call without a second source (it is never read).
Area OneSource(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, const void* src,
               int32_t src_pitch, int32_t src_x, int32_t src_y, int32_t width, int32_t height) {
  const uint8_t* first = PixelAt(src, src_pitch, src_x, src_y);
  return {PixelAt(dst, dst_pitch, dst_x, dst_y), dst_pitch, first, src_pitch, first, 0, width,
          height};
}

// The byte span [lo, hi) that `height` rows of `width` pixels cover.
struct Span {
  uintptr_t lo, hi;
};
Span Covered(const uint8_t* first, ptrdiff_t advance, int width, int height) {
  const auto base = reinterpret_cast<uintptr_t>(first);
  const ptrdiff_t last_row = advance * (height - 1);
  const uintptr_t a = base + static_cast<uintptr_t>(std::min<ptrdiff_t>(last_row, 0));
  const uintptr_t b = base + static_cast<uintptr_t>(std::max<ptrdiff_t>(last_row, 0)) +
                      static_cast<uintptr_t>(width) * 2;
  return {a, b};
}
// True when reading `input` eight pixels ahead of the writes could see a different value than
// the one-pixel-at-a-time order would: the input shares bytes with the destination and is not
// the destination itself, pixel for pixel.
bool Hazard(const Area& a, const uint8_t* input, ptrdiff_t advance) {
  if (input == a.dst && advance == a.dst_advance) return false;
  const Span d = Covered(a.dst, a.dst_advance, a.width, a.height);
  const Span s = Covered(input, advance, a.width, a.height);
  return s.lo < d.hi && d.lo < s.hi;
}

template <class Op, bool kFull>
inline void Chunk(const Op& op, uint8_t* d, const uint8_t* s, const uint8_t* x, int n, int col,
                  int row) {
  V16 sv = {}, xv = {}, dv = {};
  if constexpr (Op::kReadsSource) sv = kFull ? Load(s) : LoadPart(s, n);
  if constexpr (Op::kReadsAux) xv = kFull ? Load(x) : LoadPart(x, n);
  if constexpr (Op::kReadsDest) dv = kFull ? Load(d) : LoadPart(d, n);
  const V16 out = op(sv, xv, dv, col, row);
  if constexpr (kFull) {
    Store(d, out);
  } else {
    StorePart(d, out, n);
  }
}

// True when every lane of a equals the same lane of b.
inline bool AllEqual(V16 a, V16 b) {
#if defined(__SSE2__)
  return _mm_movemask_epi8(_mm_cmpeq_epi16(reinterpret_cast<__m128i>(a),
                                           reinterpret_cast<__m128i>(b))) == 0xFFFF;
#else
  for (int i = 0; i < kLanes; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
#endif
}

// Runs `op` over every pixel of the area, rows top to bottom, pixels left to right. When an
// input partly overlaps the destination the pixels go one at a time, so each read sees the
// writes before it exactly as the pixel-at-a-time order does.
template <class Op>
void Run(const Area& a, const Op& op) {
  bool sequential = false;
  if constexpr (Op::kReadsSource) sequential |= Hazard(a, a.src, a.src_advance);
  if constexpr (Op::kReadsAux) sequential |= Hazard(a, a.aux, a.aux_advance);
  uint8_t* d = a.dst;
  const uint8_t* s = a.src;
  const uint8_t* x = a.aux;
  for (int row = 0; row < a.height; ++row) {
    if (sequential) {
      for (int col = 0; col < a.width; ++col) {
        Chunk<Op, false>(op, d + 2 * col, s + 2 * col, x + 2 * col, 1, col, row);
      }
    } else {
      int col = 0;
      for (; col + kLanes <= a.width; col += kLanes) {
        // Eight key-coloured source pixels of a key-honouring blend leave the destination as it
        // is: the group is skipped without reading or writing it.
        if constexpr (Op::kSkipsKeyGroups) {
          if (AllEqual(Load(s + 2 * col), op.key)) continue;
        }
        Chunk<Op, true>(op, d + 2 * col, s + 2 * col, x + 2 * col, kLanes, col, row);
      }
      if (col < a.width) {
        Chunk<Op, false>(op, d + 2 * col, s + 2 * col, x + 2 * col, a.width - col, col, row);
      }
    }
    d += a.dst_advance;
    s += a.src_advance;
    x += a.aux_advance;
  }
}

// ---- Blend modes ------------------------------------------------------------------------------

// Reads what every blend mode reads unless it says otherwise.
struct BlendOpBase {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsAux = false;
  static constexpr bool kReadsDest = false;
  static constexpr bool kSkipsKeyGroups = false;
};

// Mode 0 at a level of 1-255 (a8 = level << 8, ia8 = (256 - level) << 8). A destination pixel
// equal to the source stays as it is; with kWriteKey (the non-honouring members) a key-coloured
// source pixel is written unchanged. The two weights add up to 256, so no field carries.
template <class L, bool kWriteKey>
struct AlphaOp : BlendOpBase {
  static constexpr bool kReadsDest = true;
  V16 a8, ia8, key;
  V16 operator()(V16 s, V16, V16 d, int, int) const {
    V16 out = Select(Eq(s, d), d, Scale<L>(s, a8) + Scale<L>(d, ia8));
    if constexpr (kWriteKey) out = Select(Eq(s, key), s, out);
    return out;
  }
};

// Mode 0 at level 128: each channel of both pixels halved, then added.
template <class L, bool kWriteKey>
struct HalfAlphaOp : BlendOpBase {
  static constexpr bool kReadsDest = true;
  V16 key;
  V16 operator()(V16 s, V16, V16 d, int, int) const {
    V16 out = Select(Eq(s, d), d, ((s >> 1) & L::kHalfMask) + ((d >> 1) & L::kHalfMask));
    if constexpr (kWriteKey) out = Select(Eq(s, key), s, out);
    return out;
  }
};

// Mode 0 at level 0 and 256: the destination or the source, passed through the channel
// arithmetic (which drops RGB555's unused bit 15), equal pixels and the key as at other levels.
template <class L, bool kWriteKey, bool kSource>
struct AlphaEndOp : BlendOpBase {
  static constexpr bool kReadsDest = true;
  V16 key;
  V16 operator()(V16 s, V16, V16 d, int, int) const {
    V16 out = Select(Eq(s, d), d, (kSource ? s : d) & L::kFields);
    if constexpr (kWriteKey) out = Select(Eq(s, key), s, out);
    return out;
  }
};

// Modes 2 and 7 at level 256: the source's channels.
template <class L>
struct CopyOp : BlendOpBase {
  V16 operator()(V16 s, V16, V16, int, int) const { return s & L::kFields; }
};

// Mode 1: min(d + s * a, max) per channel (kFull: level 256, s itself).
template <class L, bool kFull>
struct AddOp : BlendOpBase {
  static constexpr bool kReadsDest = true;
  V16 a;
  V16 operator()(V16 s, V16, V16 d, int, int) const {
    Channels cs = Split<L>(s);
    const Channels cd = Split<L>(d);
    if constexpr (!kFull) cs = {Weigh(cs.r, a), Weigh(cs.g, a), Weigh(cs.b, a)};
    return Pack<L>(Min(cd.r + cs.r, Splat(L::kRedMax)), Min(cd.g + cs.g, Splat(L::kGreenMax)),
                   Min(cd.b + cs.b, Splat(L::kBlueMax)));
  }
};

// Mode 2 at a level of 1-255: s * a.
template <class L>
struct ScaledCopyOp : BlendOpBase {
  V16 a8;
  V16 operator()(V16 s, V16, V16, int, int) const { return Scale<L>(s, a8); }
};

// Mode 2 at level 128: every channel halved.
template <class L>
struct HalfCopyOp : BlendOpBase {
  V16 operator()(V16 s, V16, V16, int, int) const { return (s >> 1) & L::kHalfMask; }
};

// Mode 7 at a level of 0-255: s * a + c * (256 - a), the tint term packed once per call.
template <class L>
struct TintOp : BlendOpBase {
  V16 a8, tint_term;
  V16 operator()(V16 s, V16, V16, int, int) const { return Scale<L>(s, a8) + tint_term; }
};

// Modes 3-6: min(s + lift, max) per channel, the lift being floor(max * a / 256) in the
// lightened channels and 0 in the copied ones.
template <class L>
struct LightenOp : BlendOpBase {
  V16 lift_r, lift_g, lift_b;
  V16 operator()(V16 s, V16, V16, int, int) const {
    const Channels cs = Split<L>(s);
    return Pack<L>(Min(cs.r + lift_r, Splat(L::kRedMax)), Min(cs.g + lift_g, Splat(L::kGreenMax)),
                   Min(cs.b + lift_b, Splat(L::kBlueMax)));
  }
};

// Mode 8: every channel of the destination halved.
template <class L>
struct ShadowOp : BlendOpBase {
  static constexpr bool kReadsSource = false;
  static constexpr bool kReadsDest = true;
  V16 operator()(V16, V16, V16 d, int, int) const { return (d >> 1) & L::kHalfMask; }
};

// Mode 9: the source where column + row + height is even, the destination elsewhere.
struct MeshOp : BlendOpBase {
  static constexpr bool kReadsDest = true;
  int height;
  V16 operator()(V16 s, V16, V16 d, int col, int row) const {
    const V16 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const V16 parity = (lane + Splat(static_cast<uint32_t>(col + row + height))) & 1;
    return Select(Eq(parity, Splat(0)), s, d);
  }
};

// The honouring members: a key-coloured source pixel keeps the destination pixel.
template <class Op>
struct KeyedOp : Op {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsDest = true;
  static constexpr bool kSkipsKeyGroups = true;
  V16 key;
  V16 operator()(V16 s, V16 x, V16 d, int col, int row) const {
    return Select(Eq(s, key), d, Op::operator()(s, x, d, col, row));
  }
};

template <bool kKey, class Op>
void RunBlend(const Area& area, const Op& op, uint16_t key) {
  if constexpr (kKey) {
    Run(area, KeyedOp<Op>{op, Splat(key)});
  } else {
    Run(area, op);
  }
}

template <class L, bool kKey>
void Blend(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
           int32_t height, const void* src, int32_t src_pitch, int32_t src_x, int32_t src_y,
           int32_t src_width, uint32_t level, uint32_t mode, uint16_t key, uint16_t tint) {
  if (width <= 0 || height <= 0) return;
  const uint32_t a = std::min<uint32_t>(level, 256);
  Area area =
      OneSource(dst, dst_pitch, dst_x, dst_y, src, src_pitch, src_x, src_y, width, height);
  // After `width` pixels the source skips pitch - 2 * source width bytes.
  area.src_advance = src_pitch + 2 * (static_cast<ptrdiff_t>(width) - src_width);

  const uint32_t lift_r = L::kRedMax * a / 256, lift_g = L::kGreenMax * a / 256,
                 lift_b = L::kBlueMax * a / 256;
  switch (mode >> 16) {
    case 0:
      if (a == 256) {
        RunBlend<kKey>(area, AlphaEndOp<L, !kKey, true>{{}, Splat(key)}, key);
      } else if (a == 128) {
        RunBlend<kKey>(area, HalfAlphaOp<L, !kKey>{{}, Splat(key)}, key);
      } else if (a == 0) {
        // In RGB565 level 0 keeps every pixel but the non-honouring members' key pixels.
        if (L::kFields != 0xFFFF || !kKey) {
          RunBlend<kKey>(area, AlphaEndOp<L, !kKey, false>{{}, Splat(key)}, key);
        }
      } else {
        RunBlend<kKey>(area, AlphaOp<L, !kKey>{{}, Splat(a << 8), Splat((256 - a) << 8), Splat(key)},
                       key);
      }
      break;
    case 1:
      if (a == 256) {
        RunBlend<kKey>(area, AddOp<L, true>{{}, Splat(a)}, key);
      } else {
        RunBlend<kKey>(area, AddOp<L, false>{{}, Splat(a)}, key);
      }
      break;
    case 2:
      if (a == 256) {
        RunBlend<kKey>(area, CopyOp<L>{}, key);
      } else if (a == 128) {
        RunBlend<kKey>(area, HalfCopyOp<L>{}, key);
      } else {
        RunBlend<kKey>(area, ScaledCopyOp<L>{{}, Splat(a << 8)}, key);
      }
      break;
    case 3:
      RunBlend<kKey>(area, LightenOp<L>{{}, Splat(lift_r), Splat(lift_g), Splat(lift_b)}, key);
      break;
    case 4:
      RunBlend<kKey>(area, LightenOp<L>{{}, Splat(lift_r), Splat(0), Splat(0)}, key);
      break;
    case 5:
      RunBlend<kKey>(area, LightenOp<L>{{}, Splat(0), Splat(lift_g), Splat(0)}, key);
      break;
    case 6:
      RunBlend<kKey>(area, LightenOp<L>{{}, Splat(0), Splat(0), Splat(lift_b)}, key);
      break;
    case 7: {
      if (a == 256) {
        RunBlend<kKey>(area, CopyOp<L>{}, key);
        break;
      }
      const uint32_t ia = 256 - a;
      const uint32_t c_r = (tint >> L::kRedShift) & L::kRedMax;
      const uint32_t c_g = (tint >> L::kGreenShift) & L::kGreenMax;
      const uint32_t c_b = (tint >> L::kBlueShift) & L::kBlueMax;
      const uint32_t term = (c_r * ia / 256) << L::kRedShift | (c_g * ia / 256) << L::kGreenShift |
                            (c_b * ia / 256) << L::kBlueShift;
      RunBlend<kKey>(area, TintOp<L>{{}, Splat(a << 8), Splat(term)}, key);
      break;
    }
    case 8:
      if (a == 128) return;  // a shadow at level 128 draws nothing at all
      RunBlend<kKey>(area, ShadowOp<L>{}, key);
      break;
    case 9:
      RunBlend<kKey>(area, MeshOp{{}, height}, key);
      break;
    default:
      break;  // unknown modes draw nothing
  }
}

// ---- Brightness tables ------------------------------------------------------------------------

constexpr int kBrightLevel[kBrightTableCount] = {0, 16, 1, 15, 2, 14, 3, 13, 4,
                                                 12, 5, 11, 6, 10, 7, 9, 8, 8};

// One table entry: every channel's upper five bits of pixel p times factor/16, truncated.
template <class L>
constexpr uint16_t BrightEntry(uint32_t factor, uint32_t p) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  const uint32_t r = (p >> kR) & 31, g = (p >> kG) & 31, b = (p >> kB) & 31;
  return static_cast<uint16_t>((r * factor / 16) << kR | (g * factor / 16) << kG |
                               (b * factor / 16) << kB);
}

// The 18 tables of one layout, filled when constructed.
template <class L>
struct BrightTableSet {
  uint16_t table[kBrightTableCount][65536];
  BrightTableSet() {
    for (int i = 0; i < kBrightTableCount; ++i) {
      const auto factor = static_cast<uint32_t>(kBrightLevel[i]);
      for (uint32_t p = 0; p < 65536; ++p) table[i][p] = BrightEntry<L>(factor, p);
    }
  }
};

// The tables of one layout, built on the first request for them and constant from then on. The
// blits never ask (they compute the same values in their lanes), so a run that only draws never
// builds them.
template <class L>
const BrightTableSet<L>& BrightTables() {
  static const BrightTableSet<L> tables;
  return tables;
}

// The brightness blits compute the table entries in the lanes instead of looking them up: the
// same values (the tests hold one against the other), without a gather per pixel.
template <class L>
inline Channels Split5(V16 p) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  return {(p >> kR) & 31, (p >> kG) & 31, (p >> kB) & 31};
}
template <class L>
inline V16 Pack5(V16 r, V16 g, V16 b) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  return (r << kR) | (g << kG) | (b << kB);
}

template <class L>
struct BrightOp {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsAux = false;
  static constexpr bool kReadsDest = false;
  static constexpr bool kSkipsKeyGroups = false;
  V16 factor;
  V16 operator()(V16 s, V16, V16, int, int) const {
    const Channels c = Split5<L>(s);
    return Pack5<L>((c.r * factor) >> 4, (c.g * factor) >> 4, (c.b * factor) >> 4);
  }
};

template <class L>
struct CrossFadeOp {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsAux = true;
  static constexpr bool kReadsDest = false;
  static constexpr bool kSkipsKeyGroups = false;
  V16 factor_a, factor_b;
  V16 operator()(V16 a, V16 b, V16, int, int) const {
    const Channels ca = Split5<L>(a), cb = Split5<L>(b);
    return Pack5<L>(((ca.r * factor_a) >> 4) + ((cb.r * factor_b) >> 4),
                    ((ca.g * factor_a) >> 4) + ((cb.g * factor_b) >> 4),
                    ((ca.b * factor_a) >> 4) + ((cb.b * factor_b) >> 4));
  }
};

struct MaskedShadowOp {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsAux = false;
  static constexpr bool kReadsDest = true;
  static constexpr bool kSkipsKeyGroups = false;
  V16 transparent;
  uint16_t half_mask;
  V16 operator()(V16 mask, V16, V16 d, int, int) const {
    return Select(Eq(mask, transparent), d, (d >> 1) & half_mask);
  }
};

}  // namespace

void BlitBlend16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                 int32_t height, const void* src, int32_t src_pitch, int32_t src_x, int32_t src_y,
                 int32_t src_width, uint32_t level, uint32_t mode, uint16_t key, uint16_t tint) {
  Blend<Rgb565, true>(dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch, src_x, src_y,
                      src_width, level, mode, key, tint);
}

void BlitBlend16Alt(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                    int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                    int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode, uint16_t key,
                    uint16_t tint) {
  Blend<Rgb565, false>(dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch, src_x,
                       src_y, src_width, level, mode, key, tint);
}

void BlitBlend16For555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                       int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                       int32_t src_y, int32_t src_width, uint32_t level, uint32_t mode,
                       uint16_t key, uint16_t tint) {
  Blend<Rgb555, true>(dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch, src_x, src_y,
                      src_width, level, mode, key, tint);
}

void BlitBlend16AltFor555(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y,
                          int32_t width, int32_t height, const void* src, int32_t src_pitch,
                          int32_t src_x, int32_t src_y, int32_t src_width, uint32_t level,
                          uint32_t mode, uint16_t key, uint16_t tint) {
  Blend<Rgb555, false>(dst, dst_pitch, dst_x, dst_y, width, height, src, src_pitch, src_x,
                       src_y, src_width, level, mode, key, tint);
}

const uint16_t* BrightTable(int layout, int t) {
  if (t < 0 || t >= kBrightTableCount) return nullptr;
  if (BrightLayoutOf(layout) == platform::PixelLayout::kRgb565) {
    return BrightTables<Rgb565>().table[t];
  }
  return BrightTables<Rgb555>().table[t];
}

int BrightStep(int32_t level) {
  const int64_t step = (static_cast<int64_t>(level) + 8) / 16;
  if (step < 0 || step > 16) return 16;
  return static_cast<int>(step);
}

void BlitBright16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* src, int32_t src_pitch, int32_t src_x,
                  int32_t src_y, int32_t level, int layout) {
  if (width <= 0 || height <= 0) return;
  const V16 factor = Splat(static_cast<uint32_t>(BrightStep(level)));
  const Area area =
      OneSource(dst, dst_pitch, dst_x, dst_y, src, src_pitch, src_x, src_y, width, height);
  if (BrightLayoutOf(layout) == platform::PixelLayout::kRgb565) {
    Run(area, BrightOp<Rgb565>{factor});
  } else {
    Run(area, BrightOp<Rgb555>{factor});
  }
}

void BlitBright16B(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                   int32_t height, const void* a, int32_t a_pitch, int32_t a_x, int32_t a_y,
                   const void* b, int32_t b_pitch, int32_t b_x, int32_t b_y, int32_t level,
                   int layout) {
  if (width <= 0 || height <= 0) return;
  const auto step = static_cast<uint32_t>(BrightStep(level));
  const Area area{PixelAt(dst, dst_pitch, dst_x, dst_y),
                  dst_pitch,
                  PixelAt(a, a_pitch, a_x, a_y),
                  a_pitch,
                  PixelAt(b, b_pitch, b_x, b_y),
                  b_pitch,
                  width,
                  height};
  if (BrightLayoutOf(layout) == platform::PixelLayout::kRgb565) {
    Run(area, CrossFadeOp<Rgb565>{Splat(16 - step), Splat(step)});
  } else {
    Run(area, CrossFadeOp<Rgb555>{Splat(16 - step), Splat(step)});
  }
}

void BlitShadow16(void* dst, int32_t dst_pitch, int32_t dst_x, int32_t dst_y, int32_t width,
                  int32_t height, const void* mask, int32_t mask_pitch, int32_t mask_x,
                  int32_t mask_y, int layout) {
  if (width <= 0 || height <= 0) return;
  const platform::PixelFormat& format = platform::FormatOf(BrightLayoutOf(layout));
  const Area area =
      OneSource(dst, dst_pitch, dst_x, dst_y, mask, mask_pitch, mask_x, mask_y, width, height);
  // The transparent colour is the colour key, cyan: full green and blue.
  Run(area, MaskedShadowOp{Splat(format.green.mask() | format.blue.mask()), format.half_mask()});
}
