// The vector forms of the pixel kernels (pixel_kernels.h), written once with Google Highway:
// this file is compiled once per instruction set (Highway's foreach_target re-includes it), and
// each entry point calls the best compiled form the processor supports.
//
// Pixels travel in 16-bit lanes, one pixel a lane, as many as the instruction set's vectors
// hold. All channel products fit in 16 bits (at most 63 x 256), so each lane computes exactly the
// per-channel integer arithmetic of the scalar form. A row's last pixels that do not fill a
// vector are done again with the row's last whole vector, or, in a row shorter than a vector,
// with masked loads and stores (or copies in a small buffer where the instruction set has no
// safe masked load), so no pixel outside the area is read or written.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/gfx/pixels/pixel_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "engine/gfx/pixels/pixel_kernels.h"
#include "engine/gfx/pixels/screen_cover.h"
#include "platform/pixel_traits.h"

HWY_BEFORE_NAMESPACE();
namespace pixel_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<uint16_t>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

// The most lanes any vector of this instruction set holds: the size of the tail buffers.
constexpr size_t kMaxLanes = HWY_MAX_BYTES / 2;

HWY_INLINE V Splat(uint32_t x) { return hn::Set(D(), static_cast<uint16_t>(x)); }

using Rgb565 = platform::Rgb565Traits;
using Rgb555 = platform::Rgb555Traits;

// floor(field * weight / 256) for every channel with the fields left in place, given
// w8 = weight << 8 for a weight of 0-255. (f << shift) * (weight << 8) >> 16 keeps at least the
// bits of floor(f * weight / 256) << shift, and taking each product's own field drops the rest.
// Blue lies at bit 0, where the high half of the product is the quotient itself. The fields are
// put together by two and-or steps, one instruction each where the instruction set has
// three-input logic.
template <class L>
HWY_INLINE V Scale(V p, V w8) {
  const V kr = Splat(L::kRedMask), kg = Splat(L::kGreenMask), kb = Splat(L::kBlueMask);
  const V r = hn::MulHigh(hn::And(p, kr), w8);
  const V g = hn::MulHigh(hn::And(p, kg), w8);
  const V b = hn::MulHigh(hn::And(p, kb), w8);
  return hn::OrAnd(hn::OrAnd(b, g, kg), r, kr);
}
// min(x + y, max) for every channel of two pixels of this layout, the fields left in place.
// Each field's sum is taken with the other fields masked off: a sum that leaves the lane (red at
// the top of an RGB565 pixel) saturates to all ones, whose minimum with the field's mask is the
// field's maximum; any other sum is exact, with its bits below the field zero.
HWY_INLINE V AddField(V x, V y, uint16_t mask) {
  const V k = Splat(mask);
  return hn::Min(hn::SaturatedAdd(hn::And(x, k), hn::And(y, k)), k);
}
template <class L>
HWY_INLINE V AddFields(V x, V y) {
  return hn::Or3(AddField(x, y, L::kRedMask), AddField(x, y, L::kGreenMask),
                 AddField(x, y, L::kBlueMask));
}
// floor(x / 2) + floor(y / 2) for every channel: each field's lowest bit cleared in both, then
// their rounded average, taken in 17 bits so that the top field's carry is kept: the sum of the
// cleared fields is even, so rounding adds nothing, and each field's carry shifts down into its
// own top bit. Bit 15 of RGB555 is cleared too.
template <class L>
HWY_INLINE V HalfSum(V x, V y) {
  const V m = Splat(static_cast<uint16_t>(L::kHalfMask << 1));
  return hn::AverageRound(hn::And(x, m), hn::And(y, m));
}
// Every channel halved.
template <class L>
HWY_INLINE V Half(V p) {
  return hn::And(hn::ShiftRight<1>(p), Splat(L::kHalfMask));
}
HWY_INLINE V Select(M m, V yes, V no) { return hn::IfThenElse(m, yes, no); }

// The key tests of the key-honouring operations, written per instruction set. With AVX-512 they
// all start from one compare, the lanes that are not the key: the all-key vector test asks
// whether no lane differs, the honouring select keeps the destination outside those lanes, and
// mode 0's lanes that differ both from the key and from the destination take a second compare
// masked by the first (Highway's And of two masks would cost one more instruction a vector).
// Elsewhere masks are vectors: the tests start from the lanes equal to the key, which need no
// inversion.
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
HWY_INLINE bool AllKey(V s, V key) { return hn::AllFalse(D(), hn::Ne(s, key)); }
HWY_INLINE V KeepWhereKey(V s, V key, V kept, V other) {
  return hn::IfThenElse(hn::Ne(s, key), other, kept);
}
HWY_INLINE M DiffersFromBoth(V s, V d, V key) {
  return M{_mm512_mask_cmpneq_epi16_mask(hn::Ne(s, key).raw, s.raw, d.raw)};
}
#else
HWY_INLINE bool AllKey(V s, V key) { return hn::AllTrue(D(), hn::Eq(s, key)); }
HWY_INLINE V KeepWhereKey(V s, V key, V kept, V other) {
  return hn::IfThenElse(hn::Eq(s, key), kept, other);
}
HWY_INLINE M DiffersFromBoth(V s, V d, V key) { return hn::And(hn::Ne(s, key), hn::Ne(s, d)); }
#endif

// ---- The row runner ---------------------------------------------------------------------------

// What an operation reads unless it says otherwise.
struct OpBase {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsAux = false;
  static constexpr bool kReadsDest = false;
  static constexpr bool kSkipsKeyGroups = false;
  // Whether a pixel's result depends on its column or row (the checkerboard), not only on its
  // own pixels.
  static constexpr bool kUsesPosition = false;
};

// Runs `op` on the vector of columns [col, col + Lanes) into `out`; false when the vector is
// left as it is (a key-honouring blend's all-key source vector, skipped without reading or
// writing the destination).
template <class Op>
HWY_INLINE bool RunVector(const Op& op, const uint16_t* dp, const uint16_t* sp,
                          const uint16_t* xp, size_t col, int row, V& out) {
  const D d;
  V s = hn::Zero(d), x = hn::Zero(d), v = hn::Zero(d);
  if constexpr (Op::kReadsSource) s = hn::LoadU(d, sp + col);
  if constexpr (Op::kSkipsKeyGroups) {
    if (AllKey(s, op.key)) return false;
  }
  if constexpr (Op::kReadsAux) x = hn::LoadU(d, xp + col);
  if constexpr (Op::kReadsDest) v = hn::LoadU(d, dp + col);
  out = op(s, x, v, static_cast<int>(col), row);
  return true;
}

// Runs `op` over the columns [begin, end) of one row.
template <class Op>
HWY_INLINE void RunRow(const Op& op_in, uint16_t* dp, const uint16_t* sp, const uint16_t* xp,
                       size_t begin, size_t end, int row) {
  // The operation's constants (weights, key) are copied into a local whose address never leaves
  // this function: the caller's object is reachable from elsewhere (the cover's run callback takes
  // it by reference), and vector types may alias any store, so read through the reference every
  // constant would be loaded from memory again after each pixel store (six more vector loads a
  // vector in the alpha blend, which on this hardware cost as much as the arithmetic).
  const Op op = op_in;
  const D d;
  const size_t n = hn::Lanes(d);
  if (end - begin >= n) {
    // Vectors of a destination that does not start on a vector boundary would each load and
    // store across two cache lines: a run of two vectors or more that reads the destination then
    // does its first vector where it starts and the rest from the next boundary on. (Where only
    // the stores would cross, the extra vector costs more than it saves.)
    const size_t bytes = n * sizeof(uint16_t);
    const auto at = reinterpret_cast<uintptr_t>(dp + begin);
    const bool align = Op::kReadsDest && at % bytes != 0 && at % sizeof(uint16_t) == 0 &&
                       end - begin >= 2 * n;
    const size_t start = align ? begin + (bytes - at % bytes) / sizeof(uint16_t) : begin;
    // A last part shorter than a vector is done as the run's last whole vector, and the first
    // vector of an aligned run before the one at the boundary, each worked out before the
    // vectors that overlap it write over its lanes: every lane depends only on its own pixels
    // (the inputs never partly overlap the destination), so the lanes done twice get the same
    // values both times.
    const size_t last = end - n;
    V tail, head, first;
    const bool tail_drawn = (end - start) % n != 0 && RunVector(op, dp, sp, xp, last, row, tail);
    size_t col = start;
    if (align) {
      const bool head_drawn = RunVector(op, dp, sp, xp, begin, row, head);
      const bool first_drawn = RunVector(op, dp, sp, xp, start, row, first);
      if (head_drawn) hn::StoreU(head, d, dp + begin);
      if (first_drawn) hn::StoreU(first, d, dp + start);
      col += n;
    }
    for (; col + n <= end; col += n) {
      V out;
      if (RunVector(op, dp, sp, xp, col, row, out)) hn::StoreU(out, d, dp + col);
    }
    if (tail_drawn) hn::StoreU(tail, d, dp + last);
    return;
  }
  if (begin >= end) return;
  const size_t col = begin;
#if !HWY_MEM_OPS_MIGHT_FAULT
  // A run shorter than a vector through masked loads and stores, which touch only its lanes.
  const auto part = hn::FirstN(d, end - col);
  V s = hn::Zero(d), x = hn::Zero(d), v = hn::Zero(d);
  if constexpr (Op::kReadsSource) s = hn::MaskedLoad(part, d, sp + col);
  if constexpr (Op::kReadsAux) x = hn::MaskedLoad(part, d, xp + col);
  if constexpr (Op::kReadsDest) v = hn::MaskedLoad(part, d, dp + col);
  hn::BlendedStore(op(s, x, v, static_cast<int>(col), row), part, d, dp + col);
#else
  // Where a vector load may fault past the run, the run goes through copies in a small buffer.
  const size_t rest = (end - col) * 2;
  HWY_ALIGN uint16_t bs[kMaxLanes] = {}, bx[kMaxLanes] = {}, bd[kMaxLanes] = {};
  if constexpr (Op::kReadsSource) std::memcpy(bs, sp + col, rest);
  if constexpr (Op::kReadsAux) std::memcpy(bx, xp + col, rest);
  if constexpr (Op::kReadsDest) std::memcpy(bd, dp + col, rest);
  const V out = op(hn::Load(d, bs), hn::Load(d, bx), hn::Load(d, bd), static_cast<int>(col), row);
  hn::Store(out, d, bd);
  std::memcpy(dp + col, bd, rest);
#endif
}

// Runs `op` over every pixel of the area. Inputs never partly overlap the destination here (the
// callers take the scalar form then), so a vector's reads may run ahead of its writes. With a
// cover (one word a row, the area's first column at screen column cover_x) only the columns not
// covered are run.
template <class Op>
HWY_INLINE void RunRows(const Rows& a, const Op& op, const uint64_t* cover = nullptr,
                        int cover_x = 0) {
  auto width = static_cast<size_t>(a.width);
  int height = a.height;
  // Rows that follow each other without a gap in every picture the operation touches (a
  // full-width area of a picture whose pitch is its width) are run as one row: no per-row
  // set-up, and no row but the last ends in a part vector. Only for operations whose pixels
  // depend on nothing but their own pixels, and without a cover (whose words are per row).
  if constexpr (!Op::kUsesPosition) {
    const auto row_bytes = static_cast<ptrdiff_t>(width * sizeof(uint16_t));
    if (cover == nullptr && height > 1 && a.dst_advance == row_bytes &&
        (!Op::kReadsSource || a.src_advance == row_bytes) &&
        (!Op::kReadsAux || a.aux_advance == row_bytes)) {
      width *= static_cast<size_t>(height);
      height = 1;
    }
  }
  uint8_t* dst = a.dst;
  const uint8_t* src = a.src;
  const uint8_t* aux = a.aux;
  for (int row = 0; row < height; ++row) {
    auto* dp = reinterpret_cast<uint16_t*>(dst);
    const auto* sp = reinterpret_cast<const uint16_t*>(src);
    const auto* xp = reinterpret_cast<const uint16_t*>(aux);
    if (cover == nullptr) {
      RunRow(op, dp, sp, xp, 0, width, row);
    } else {
      ScreenCover::OpenRuns(cover[row], cover_x, cover_x + a.width, [&](int from, int to) {
        RunRow(op, dp, sp, xp, static_cast<size_t>(from - cover_x),
               static_cast<size_t>(to - cover_x), row);
      });
    }
    dst += a.dst_advance;
    src += a.src_advance;
    aux += a.aux_advance;
  }
}

// ---- Blend modes ------------------------------------------------------------------------------

// Mode 0 blends (`Mix`) where the source pixel differs from the destination pixel and from the
// key. Elsewhere the honouring members (kHonour) keep the destination, skipping all-key source
// vectors; the others write the source (a source equal to the destination writes the same
// value). Both rules are one select, which AVX-512 folds into the instruction that ends the mix.
template <class Mixer, bool kHonour>
struct UnlessEqualOrKey : Mixer {
  static constexpr bool kReadsDest = true;
  static constexpr bool kSkipsKeyGroups = kHonour;
  V key;
  HWY_INLINE V operator()(V s, V, V d, int, int) const {
    return hn::IfThenElse(DiffersFromBoth(s, d, key), Mixer::Mix(s, d), kHonour ? d : s);
  }
};

// Mode 0 at a level of 1-255 (a8 = level << 8, ia8 = (256 - level) << 8). The two weights add
// up to 256, so no field carries.
template <class L>
struct AlphaMix : OpBase {
  V a8, ia8;
  HWY_INLINE V Mix(V s, V d) const { return hn::Add(Scale<L>(s, a8), Scale<L>(d, ia8)); }
};

// Mode 0 at level 128: each channel of both pixels halved, then added.
template <class L>
struct HalfAlphaMix : OpBase {
  HWY_INLINE V Mix(V s, V d) const { return HalfSum<L>(s, d); }
};

// Mode 0 at level 0 and 256: the destination or the source, passed through the channel
// arithmetic (which drops RGB555's unused bit 15).
template <class L, bool kSource>
struct AlphaEndMix : OpBase {
  HWY_INLINE V Mix(V s, V d) const { return hn::And(kSource ? s : d, Splat(L::kFields)); }
};

// Modes 2 and 7 at level 256: the source's channels.
template <class L>
struct CopyOp : OpBase {
  HWY_INLINE V operator()(V s, V, V, int, int) const { return hn::And(s, Splat(L::kFields)); }
};

// Mode 1: min(d + s * a, max) per channel (kFull: level 256, s itself; a8 = level << 8).
template <class L, bool kFull>
struct AddOp : OpBase {
  static constexpr bool kReadsDest = true;
  V a8;
  HWY_INLINE V operator()(V s, V, V d, int, int) const {
    return AddFields<L>(kFull ? s : Scale<L>(s, a8), d);
  }
};

// Mode 2 at a level of 1-255: s * a.
template <class L>
struct ScaledCopyOp : OpBase {
  V a8;
  HWY_INLINE V operator()(V s, V, V, int, int) const { return Scale<L>(s, a8); }
};

// Mode 2 at level 128: every channel halved.
template <class L>
struct HalfCopyOp : OpBase {
  HWY_INLINE V operator()(V s, V, V, int, int) const { return Half<L>(s); }
};

// Mode 7 at a level of 0-255: s * a + c * (256 - a), the tint term packed once per call.
template <class L>
struct TintOp : OpBase {
  V a8, tint_term;
  HWY_INLINE V operator()(V s, V, V, int, int) const {
    return hn::Add(Scale<L>(s, a8), tint_term);
  }
};

// Modes 3-6: min(s + lift, max) per channel, the lift (packed as a pixel) being
// floor(max * a / 256) in the lightened channels and 0 in the copied ones.
template <class L>
struct LightenOp : OpBase {
  V lift;
  HWY_INLINE V operator()(V s, V, V, int, int) const { return AddFields<L>(s, lift); }
};

// Mode 8: every channel of the destination halved.
template <class L>
struct ShadowOp : OpBase {
  static constexpr bool kReadsSource = false;
  static constexpr bool kReadsDest = true;
  HWY_INLINE V operator()(V, V, V d, int, int) const { return Half<L>(d); }
};

// Mode 9: the source where column + row + height is even, the destination elsewhere.
struct MeshOp : OpBase {
  static constexpr bool kReadsDest = true;
  static constexpr bool kUsesPosition = true;
  int height;
  HWY_INLINE V operator()(V s, V, V d, int col, int row) const {
    const D du;
    const V parity =
        hn::And(hn::Add(hn::Iota(du, 0), Splat(static_cast<uint32_t>(col + row + height))),
                Splat(1));
    return Select(hn::Eq(parity, hn::Zero(du)), s, d);
  }
};

// The honouring members: a key-coloured source pixel keeps the destination pixel.
template <class Op>
struct KeyedOp : Op {
  static constexpr bool kReadsSource = true;
  static constexpr bool kReadsDest = true;
  static constexpr bool kSkipsKeyGroups = true;
  V key;
  HWY_INLINE V operator()(V s, V x, V d, int col, int row) const {
    return KeepWhereKey(s, key, d, Op::operator()(s, x, d, col, row));
  }
};

template <bool kKey, class Op>
HWY_INLINE void RunBlend(const BlendCall& c, const Op& op, uint16_t key) {
  if constexpr (kKey) {
    RunRows(c.rows, KeyedOp<Op>{op, Splat(key)}, c.cover, c.dst_x);
  } else {
    RunRows(c.rows, op, c.cover, c.dst_x);
  }
}

template <class L, bool kKey>
void BlendAs(const BlendCall& c) {
  const Rows& rows = c.rows;
  const uint32_t a = c.level;
  const uint16_t key = c.key;
  const uint32_t lift_r = (L::kRedMax * a / 256) << L::kRedShift,
                 lift_g = (L::kGreenMax * a / 256) << L::kGreenShift,
                 lift_b = (L::kBlueMax * a / 256) << L::kBlueShift;
  switch (c.mode >> 16) {
    case 0: {
      const auto run = [&c, key](const auto& mix) {
        RunRows(c.rows, UnlessEqualOrKey<std::decay_t<decltype(mix)>, kKey>{mix, Splat(key)},
                c.cover, c.dst_x);
      };
      if (a == 256) {
        run(AlphaEndMix<L, true>{});
      } else if (a == 128) {
        run(HalfAlphaMix<L>{});
      } else if (a == 0) {
        // In RGB565 level 0 keeps every pixel but the non-honouring members' key pixels.
        if (L::kFields != 0xFFFF || !kKey) run(AlphaEndMix<L, false>{});
      } else {
        run(AlphaMix<L>{{}, Splat(a << 8), Splat((256 - a) << 8)});
      }
      break;
    }
    case 1:
      if (a == 256) {
        RunBlend<kKey>(c, AddOp<L, true>{{}, Splat(0)}, key);
      } else {
        RunBlend<kKey>(c, AddOp<L, false>{{}, Splat(a << 8)}, key);
      }
      break;
    case 2:
      if (a == 256) {
        RunBlend<kKey>(c, CopyOp<L>{}, key);
      } else if (a == 128) {
        RunBlend<kKey>(c, HalfCopyOp<L>{}, key);
      } else {
        RunBlend<kKey>(c, ScaledCopyOp<L>{{}, Splat(a << 8)}, key);
      }
      break;
    case 3:
      RunBlend<kKey>(c, LightenOp<L>{{}, Splat(lift_r | lift_g | lift_b)}, key);
      break;
    case 4:
      RunBlend<kKey>(c, LightenOp<L>{{}, Splat(lift_r)}, key);
      break;
    case 5:
      RunBlend<kKey>(c, LightenOp<L>{{}, Splat(lift_g)}, key);
      break;
    case 6:
      RunBlend<kKey>(c, LightenOp<L>{{}, Splat(lift_b)}, key);
      break;
    case 7: {
      if (a == 256) {
        RunBlend<kKey>(c, CopyOp<L>{}, key);
        break;
      }
      const uint32_t ia = 256 - a;
      const uint32_t c_r = (c.tint >> L::kRedShift) & L::kRedMax;
      const uint32_t c_g = (c.tint >> L::kGreenShift) & L::kGreenMax;
      const uint32_t c_b = (c.tint >> L::kBlueShift) & L::kBlueMax;
      const uint32_t term = (c_r * ia / 256) << L::kRedShift | (c_g * ia / 256) << L::kGreenShift |
                            (c_b * ia / 256) << L::kBlueShift;
      RunBlend<kKey>(c, TintOp<L>{{}, Splat(a << 8), Splat(term)}, key);
      break;
    }
    case 8:
      if (a == 128) return;  // a shadow at level 128 draws nothing at all
      RunBlend<kKey>(c, ShadowOp<L>{}, key);
      break;
    case 9:
      RunBlend<kKey>(c, MeshOp{{}, rows.height}, key);
      break;
    default:
      break;  // unknown modes draw nothing
  }
}

void Blend(const BlendCall& c) {
  if (c.rgb555) {
    c.honour_key ? BlendAs<Rgb555, true>(c) : BlendAs<Rgb555, false>(c);
  } else {
    c.honour_key ? BlendAs<Rgb565, true>(c) : BlendAs<Rgb565, false>(c);
  }
}

// ---- Brightness, cross-fade, masked shadow ----------------------------------------------------

struct Channels {
  V r, g, b;
};
// The five-bit channels the brightness tables work on.
template <class L>
HWY_INLINE Channels Split5(V p) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  return {hn::And(hn::ShiftRight<kR>(p), Splat(31)), hn::And(hn::ShiftRight<kG>(p), Splat(31)),
          hn::And(hn::ShiftRight<kB>(p), Splat(31))};
}
template <class L>
HWY_INLINE V Pack5(V r, V g, V b) {
  constexpr int kR = L::kFormat.red.shift5(), kG = L::kFormat.green.shift5(),
                kB = L::kFormat.blue.shift5();
  return hn::Or(hn::Or(hn::ShiftLeft<kR>(r), hn::ShiftLeft<kG>(g)), hn::ShiftLeft<kB>(b));
}
HWY_INLINE V Times16(V c, V f) { return hn::ShiftRight<4>(hn::Mul(c, f)); }

template <class L>
struct BrightOp : OpBase {
  V factor;
  HWY_INLINE V operator()(V s, V, V, int, int) const {
    const Channels c = Split5<L>(s);
    return Pack5<L>(Times16(c.r, factor), Times16(c.g, factor), Times16(c.b, factor));
  }
};

template <class L>
struct CrossFadeOp : OpBase {
  static constexpr bool kReadsAux = true;
  V factor_a, factor_b;
  HWY_INLINE V operator()(V a, V b, V, int, int) const {
    const Channels ca = Split5<L>(a), cb = Split5<L>(b);
    return Pack5<L>(hn::Add(Times16(ca.r, factor_a), Times16(cb.r, factor_b)),
                    hn::Add(Times16(ca.g, factor_a), Times16(cb.g, factor_b)),
                    hn::Add(Times16(ca.b, factor_a), Times16(cb.b, factor_b)));
  }
};

template <class L>
struct MaskedShadowOp : OpBase {
  static constexpr bool kReadsDest = true;
  V transparent;
  HWY_INLINE V operator()(V mask, V, V d, int, int) const {
    return Select(hn::Eq(mask, transparent), d, Half<L>(d));
  }
};

void Bright(const Rows& rows, uint16_t factor, bool rgb555) {
  if (rgb555) {
    RunRows(rows, BrightOp<Rgb555>{{}, Splat(factor)});
  } else {
    RunRows(rows, BrightOp<Rgb565>{{}, Splat(factor)});
  }
}

void CrossFade(const Rows& rows, uint16_t factor_a, uint16_t factor_b, bool rgb555) {
  if (rgb555) {
    RunRows(rows, CrossFadeOp<Rgb555>{{}, Splat(factor_a), Splat(factor_b)});
  } else {
    RunRows(rows, CrossFadeOp<Rgb565>{{}, Splat(factor_a), Splat(factor_b)});
  }
}

void MaskedShadow(const Rows& rows, uint16_t transparent, bool rgb555) {
  if (rgb555) {
    RunRows(rows, MaskedShadowOp<Rgb555>{{}, Splat(transparent)});
  } else {
    RunRows(rows, MaskedShadowOp<Rgb565>{{}, Splat(transparent)});
  }
}

// ---- The screen fade ---------------------------------------------------------------------------

// Each field floor(c * f / 256) with the fields left in place (f8 = f << 8 for an f of 0-255;
// kWhole: f = 256, every field as it is), then `add`.
template <class L, bool kWhole>
struct FadeOp : OpBase {
  V f8, add;
  HWY_INLINE V operator()(V p, V, V, int, int) const {
    return hn::Add(kWhole ? hn::And(p, Splat(L::kFields)) : Scale<L>(p, f8), add);
  }
};

template <class L>
void FadeRowAs(const Rows& rows, uint16_t f, uint16_t add) {
  if (f >= 256) {
    RunRows(rows, FadeOp<L, true>{{}, Splat(0), Splat(add)});
  } else {
    RunRows(rows, FadeOp<L, false>{{}, Splat(uint32_t{f} << 8), Splat(add)});
  }
}

void FadeRow(uint16_t* row, int width, uint16_t f, uint16_t add, bool rgb555) {
  auto* bytes = reinterpret_cast<uint8_t*>(row);
  const Rows rows{bytes, 0, bytes, 0, bytes, 0, width, 1};
  if (rgb555) {
    FadeRowAs<Rgb555>(rows, f, add);
  } else {
    FadeRowAs<Rgb565>(rows, f, add);
  }
}

// ---- Keyed row copy ----------------------------------------------------------------------------

// A note of the columns [from, to) of a vector that held a pixel other than the key, for callers
// that want the columns; one that does not passes NoNote, and the loops test nothing for it.
struct NoNote {
  static constexpr bool kNotes = false;
  void operator()(size_t, size_t) const {}
};
struct WidenNote {
  static constexpr bool kNotes = true;
  size_t& first;
  size_t& last;
  void operator()(size_t from, size_t to) const {
    first = std::min(first, from);
    last = std::max(last, to);
  }
};

#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
// With AVX-512 every vector is one masked store of the lanes that are not the key: the store
// writes nothing for an all-key vector and never reads the destination, and it costs no more
// than a plain store on the processors measured, where testing for all-key and key-free vectors
// and reading the destination for the mixed ones took a fifth more time over a full screen. A
// last part shorter than a vector (and a row shorter than one) is a masked load and store of its
// lanes alone, which touch no memory outside them.
template <class Note>
HWY_INLINE void CopyRowKeyedNoting(const uint16_t* src, uint16_t* dst, size_t w, uint16_t key,
                                   Note note) {
  const D d;
  const size_t n = hn::Lanes(d);
  const V k = hn::Set(d, key);
  size_t i = 0;
  for (; i + n <= w; i += n) {
    const V v = hn::LoadU(d, src + i);
    const M keep = hn::Ne(v, k);
    hn::BlendedStore(v, keep, d, dst + i);
    if constexpr (Note::kNotes) {
      if (!hn::AllFalse(d, keep)) note(i, i + n);
    }
  }
  if (i < w) {
    const M part = hn::FirstN(d, w - i);
    const V v = hn::MaskedLoad(part, d, src + i);
    const M keep = hn::And(part, hn::Ne(v, k));
    hn::BlendedStore(v, keep, d, dst + i);
    if constexpr (Note::kNotes) {
      if (!hn::AllFalse(d, keep)) note(i, w);
    }
  }
}
#else
// Most vectors of a keyed picture are all key (holes) or free of it (solid parts): an all-key
// vector is skipped without touching the destination, a key-free one is stored without reading
// it, and only a mixed one reads, selects and writes. Whether the vector held another pixel is
// returned.
template <class DD>
HWY_INLINE bool CopyKeyedVector(DD d, const uint16_t* src, uint16_t* dst, hn::Vec<DD> key) {
  const auto v = hn::LoadU(d, src);
  const auto is_key = hn::Eq(v, key);
  if (hn::AllTrue(d, is_key)) return false;
  if (hn::AllFalse(d, is_key)) {
    hn::StoreU(v, d, dst);
  } else {
    hn::StoreU(hn::IfThenElse(is_key, hn::LoadU(d, dst), v), d, dst);
  }
  return true;
}

// Copies a row of at least Lanes(d) pixels in vectors of d; a last part shorter than a vector
// is copied again with the row's last whole vector (the source never overlaps the destination,
// so copying a pixel twice writes the same value). Notes [from, to) of each vector that held
// another pixel.
template <class DD, class Note>
HWY_INLINE void CopyKeyedVectors(DD d, const uint16_t* src, uint16_t* dst, size_t width,
                                 uint16_t key, Note note) {
  const size_t n = hn::Lanes(d);
  const auto k = hn::Set(d, key);
  size_t i = 0;
  for (; i + n <= width; i += n) {
    if (CopyKeyedVector(d, src + i, dst + i, k)) note(i, i + n);
  }
  if (i < width && CopyKeyedVector(d, src + width - n, dst + width - n, k)) note(width - n, width);
}

// A keyed row, noting the vectors that hold a pixel other than the key.
template <class Note>
HWY_INLINE void CopyRowKeyedNoting(const uint16_t* src, uint16_t* dst, size_t w, uint16_t key,
                                   Note note) {
  const D d;
  const hn::CappedTag<uint16_t, 8> d8;
  if (w >= hn::Lanes(d)) {
    CopyKeyedVectors(d, src, dst, w, key, note);
  } else if (w >= hn::Lanes(d8)) {
    CopyKeyedVectors(d8, src, dst, w, key, note);
  } else {
    for (size_t i = 0; i < w; ++i) {
      if (src[i] == key) continue;
      dst[i] = src[i];
      note(i, i + 1);
    }
  }
}
#endif

PixelBox CopyKeyed(const KeyedCopy& c) {
  const auto w = static_cast<size_t>(c.width);
  PixelBox box{c.width, c.height, 0, 0};
  // The next source row of a wide copy (a layer view) is asked for while this one is copied:
  // the rows of a large picture lie apart, and each would otherwise start with a wait on memory.
  // Rows that follow one another in memory are one stream, which the processor's own prefetch
  // already reads ahead (asking again cost about 7 % over a full screen).
  const bool ask_ahead = w >= 128 && c.src_stride != c.width;
  for (int y = 0; y < c.height; ++y) {
    const uint16_t* src = c.src + y * c.src_stride;
    uint16_t* dst = c.dst + y * c.dst_stride;
    // With a cover, only the columns the next row will copy.
    if (ask_ahead && y + 1 < c.height) {
      const uint16_t* next = src + c.src_stride;
      const auto ask = [next](size_t from, size_t to) {
        const auto* bytes = reinterpret_cast<const char*>(next);
        for (size_t at = from * 2; at < to * 2; at += 64) hwy::Prefetch(bytes + at);
      };
      if (c.cover == nullptr) {
        ask(0, w);
      } else {
        ScreenCover::OpenRuns(c.cover[y + 1], c.dst_x, c.dst_x + c.width, [&](int from, int to) {
          ask(static_cast<size_t>(from - c.dst_x), static_cast<size_t>(to - c.dst_x));
        });
      }
    }
    if (c.cover != nullptr) {
      ScreenCover::OpenRuns(c.cover[y], c.dst_x, c.dst_x + c.width, [&](int from, int to) {
        const auto at = static_cast<size_t>(from - c.dst_x);
        CopyRowKeyedNoting(src + at, dst + at, static_cast<size_t>(to - from), c.key, NoNote{});
      });
      continue;
    }
    if (!c.find_box) {
      CopyRowKeyedNoting(src, dst, w, c.key, NoNote{});
      continue;
    }
    size_t first = w, last = 0;
    CopyRowKeyedNoting(src, dst, w, c.key, WidenNote{first, last});
    if (first >= last) continue;
    while (src[first] == c.key) ++first;
    while (src[last - 1] == c.key) --last;
    box.left = std::min(box.left, static_cast<int>(first));
    box.right = std::max(box.right, static_cast<int>(last));
    box.top = std::min(box.top, y);
    box.bottom = y + 1;
  }
  return box.left < box.right ? box : PixelBox{};
}

void CopyRowKeyed(const uint16_t* src, uint16_t* dst, int width, uint16_t key, ColumnSpan* span) {
  const auto w = static_cast<size_t>(width);
  if (span == nullptr) {
    CopyRowKeyedNoting(src, dst, w, key, NoNote{});
    return;
  }
  // The first start and the last end of the vectors that held a pixel other than the key.
  size_t first = w, last = 0;
  CopyRowKeyedNoting(src, dst, w, key, WidenNote{first, last});
  if (first >= last) {
    *span = ColumnSpan{};
    return;
  }
  // The exact columns: inward from the ends of those vectors to the first pixel that is not
  // the key (every pixel outside them is the key).
  while (src[first] == key) ++first;
  while (src[last - 1] == key) --last;
  *span = ColumnSpan{static_cast<int>(first), static_cast<int>(last)};
}

// ---- Gathers: texture spans and stretched rows ------------------------------------------------

using D32 = hn::ScalableTag<int32_t>;

// The 16-bit pixels at the pixel indices `index` of `base`, read as 32-bit words at their byte
// offset. The one index `last` (the last pixel that may be read) is read from two bytes lower
// and its upper half taken, so no read reaches past it.
template <class DD>
HWY_INLINE auto GatherPixels(DD d, const uint16_t* base, hn::Vec<DD> index, hn::Vec<DD> last) {
  const auto is_last = hn::Eq(index, last);
  if (hn::AllFalse(d, is_last)) {
    const auto words =
        hn::GatherOffset(d, reinterpret_cast<const int32_t*>(base), hn::ShiftLeft<1>(index));
    return hn::DemoteTo(hn::Rebind<uint16_t, DD>(), hn::And(words, hn::Set(d, 0xFFFF)));
  }
  const auto offset =
      hn::Sub(hn::ShiftLeft<1>(index), hn::IfThenElseZero(is_last, hn::Set(d, 2)));
  const auto words = hn::GatherOffset(d, reinterpret_cast<const int32_t*>(base), offset);
  // The lanes are signed: the shift brings the sign along, which the mask drops again.
  const auto pixel = hn::And(hn::IfThenElse(is_last, hn::ShiftRight<16>(words), words),
                             hn::Set(d, 0xFFFF));
  return hn::DemoteTo(hn::Rebind<uint16_t, DD>(), pixel);
}

// Stores `texels` at `out`, leaving the destination where a texel is the key (when keyed).
template <class DD, class VH>
HWY_INLINE void PutTexels(DD, uint16_t* out, VH texels, bool keyed, uint16_t key) {
  const hn::Rebind<uint16_t, DD> dh;
  if (keyed) {
    const auto is_key = hn::Eq(texels, hn::Set(dh, key));
    if (hn::AllTrue(dh, is_key)) return;
    texels = hn::IfThenElse(is_key, hn::LoadU(dh, out), texels);
  }
  hn::StoreU(texels, dh, out);
}

// Draws a span of at least Lanes(d) pixels in vectors of d, every texture position inside the
// picture and in 32-bit range. A last part shorter than a vector is drawn again with the span's
// last whole vector (the picture never overlaps the destination, so a pixel drawn twice gets the
// same value).
template <class DD>
HWY_INLINE void TextureVectors(DD d, const TextureSpan& a, int32_t last_index) {
  const auto n = static_cast<int64_t>(hn::Lanes(d));
  const auto* base = reinterpret_cast<const uint16_t*>(a.base);
  auto* out = reinterpret_cast<uint16_t*>(a.out);
  const auto lane = hn::Iota(d, 0);
  const auto pitch = hn::Set(d, static_cast<int32_t>(a.pitch / 2));
  const auto last = hn::Set(d, last_index);
  const auto ds = hn::Set(d, static_cast<int32_t>(a.ds));
  const auto dt = hn::Set(d, static_cast<int32_t>(a.dt));
  // The positions of pixel i and the lanes after it.
  const auto at = [&](int64_t i) {
    return std::pair{hn::Add(hn::Set(d, static_cast<int32_t>(a.s + a.ds * i)), hn::Mul(lane, ds)),
                     hn::Add(hn::Set(d, static_cast<int32_t>(a.t + a.dt * i)), hn::Mul(lane, dt))};
  };
  const auto draw = [&](int64_t i, hn::Vec<DD> s, hn::Vec<DD> t) {
    const auto index = hn::Add(hn::Mul(hn::ShiftRight<16>(t), pitch), hn::ShiftRight<16>(s));
    PutTexels(d, out + i, GatherPixels(d, base, index, last), a.keyed, a.key);
  };
  // The positions step by a whole vector's worth of pixels at a time; every position stepped to
  // lies on the span, so none leaves the 32-bit range.
  auto [s, t] = at(0);
  const auto step_s = hn::Set(d, static_cast<int32_t>(a.ds * n));
  const auto step_t = hn::Set(d, static_cast<int32_t>(a.dt * n));
  int64_t i = 0;
  for (; i + n <= a.count; i += n) {
    draw(i, s, t);
    if (i + 2 * n <= a.count) {
      s = hn::Add(s, step_s);
      t = hn::Add(t, step_t);
    }
  }
  if (i < a.count) {
    const auto [s_end, t_end] = at(a.count - n);
    draw(a.count - n, s_end, t_end);
  }
}

void FillTextureSpan(const TextureSpan& a) {
  const D32 d;
  const hn::CappedTag<int32_t, 4> d4;
  // The vector forms work in 32-bit lanes: every texture position of the span, every pixel
  // index and the pitch in pixels must fit, and the picture must have more than one pixel (its
  // last pixel is read from below). Otherwise, and for spans shorter than four pixels, the
  // scalar form draws the span.
  const int64_t s_last = a.s + a.ds * (a.count - 1), t_last = a.t + a.dt * (a.count - 1);
  const int64_t last_index = a.max_t * (a.pitch / 2) + a.max_s;
  const auto fits = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
  if (!a.inside || a.count < static_cast<int64_t>(hn::Lanes(d4)) || (a.pitch & 1) != 0 ||
      last_index < 1 || !fits(last_index) || !fits(a.s) || !fits(s_last) || !fits(a.t) ||
      !fits(t_last) || !fits(a.ds * 64) || !fits(a.dt * 64)) {
    scalar::FillTextureSpan(a);
    return;
  }
  if (a.count >= static_cast<int64_t>(hn::Lanes(d))) {
    TextureVectors(d, a, static_cast<int32_t>(last_index));
  } else {
    TextureVectors(d4, a, static_cast<int32_t>(last_index));
  }
}

void GatherRow(const uint16_t* src, int src_width, const int32_t* columns, uint16_t* dst,
               int width, const uint16_t* key) {
  const D32 d;
  const auto n = static_cast<int>(hn::Lanes(d));
  const bool keyed = key != nullptr;
  const uint16_t k = keyed ? *key : 0;
  int i = 0;
  const int32_t last = src_width - 1;
  if (last >= 1 && width >= n) {
    const auto last_v = hn::Set(d, last);
    const hn::Rebind<uint16_t, D32> dh;
    const hn::RebindToUnsigned<D32> du;
    const auto lanes = hn::Set(du, static_cast<uint32_t>(n));
    const auto put = [&](int at) {
      const auto cols = hn::LoadU(d, columns + at);
      // A row drawn at a zoom of 1 or more (either way round) takes each vector's pixels from
      // at most one vector's width of the source row: those are loaded once and put in place by
      // a lane shuffle, which costs far less than a gather. The load starts no later than
      // Lanes before the row's end, so it stays inside the row.
      if (src_width >= n) {
        const int32_t low = std::min(std::min(columns[at], columns[at + n - 1]), src_width - n);
        const auto index = hn::Sub(cols, hn::Set(d, low));
        if (hn::AllTrue(du, hn::Lt(hn::BitCast(du, index), lanes))) {
          const auto row = hn::PromoteTo(d, hn::LoadU(dh, src + low));
          const auto picked = hn::TableLookupLanes(row, hn::IndicesFromVec(d, index));
          PutTexels(d, dst + at, hn::DemoteTo(dh, picked), keyed, k);
          return;
        }
      }
      PutTexels(d, dst + at, GatherPixels(d, src, cols, last_v), keyed, k);
    };
    for (; i + n <= width; i += n) put(i);
    // The last part again with the row's last whole vector (dst never overlaps src).
    if (i < width) put(width - n);
    return;
  }
  for (; i < width; ++i) {
    const uint16_t v = src[columns[i]];
    if (!keyed || v != k) dst[i] = v;
  }
}

void CopyRowMirrored(const uint16_t* src, uint16_t* dst, int width, const uint16_t* key) {
  const D d;
  const auto n = static_cast<int>(hn::Lanes(d));
  const bool keyed = key != nullptr;
  const uint16_t k = keyed ? *key : 0;
  if (width < n) {
    for (int i = 0; i < width; ++i) {
      const uint16_t v = src[width - 1 - i];
      if (!keyed || v != k) dst[i] = v;
    }
    return;
  }
  const V kv = hn::Set(d, k);
  const auto put = [&](int at) {
    V v = hn::Reverse(d, hn::LoadU(d, src + (width - at - n)));
    if (keyed) {
      const M is_key = hn::Eq(v, kv);
      if (hn::AllTrue(d, is_key)) return;
      v = hn::IfThenElse(is_key, hn::LoadU(d, dst + at), v);
    }
    hn::StoreU(v, d, dst + at);
  };
  int i = 0;
  for (; i + n <= width; i += n) put(i);
  // The last part again with the row's last whole vector (dst never overlaps src).
  if (i < width) put(width - n);
}

}  // namespace HWY_NAMESPACE
}  // namespace pixel_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pixel_kernels {

HWY_EXPORT(Blend);
HWY_EXPORT(Bright);
HWY_EXPORT(CrossFade);
HWY_EXPORT(MaskedShadow);
HWY_EXPORT(CopyRowKeyed);
HWY_EXPORT(CopyKeyed);
HWY_EXPORT(FadeRow);
HWY_EXPORT(FillTextureSpan);
HWY_EXPORT(GatherRow);
HWY_EXPORT(CopyRowMirrored);

void Blend(const BlendCall& call) { HWY_DYNAMIC_DISPATCH(Blend)(call); }
void Bright(const Rows& rows, uint16_t factor, bool rgb555) {
  HWY_DYNAMIC_DISPATCH(Bright)(rows, factor, rgb555);
}
void CrossFade(const Rows& rows, uint16_t factor_a, uint16_t factor_b, bool rgb555) {
  HWY_DYNAMIC_DISPATCH(CrossFade)(rows, factor_a, factor_b, rgb555);
}
void MaskedShadow(const Rows& rows, uint16_t transparent, bool rgb555) {
  HWY_DYNAMIC_DISPATCH(MaskedShadow)(rows, transparent, rgb555);
}
void CopyRowKeyed(const uint16_t* src, uint16_t* dst, int width, uint16_t key, ColumnSpan* span) {
  HWY_DYNAMIC_DISPATCH(CopyRowKeyed)(src, dst, width, key, span);
}
PixelBox CopyKeyed(const KeyedCopy& copy) { return HWY_DYNAMIC_DISPATCH(CopyKeyed)(copy); }
void FadeRow(uint16_t* row, int width, uint16_t f, uint16_t add, bool rgb555) {
  HWY_DYNAMIC_DISPATCH(FadeRow)(row, width, f, add, rgb555);
}
void FillTextureSpan(const TextureSpan& span) { HWY_DYNAMIC_DISPATCH(FillTextureSpan)(span); }
void GatherRow(const uint16_t* src, int src_width, const int32_t* columns, uint16_t* dst,
               int width, const uint16_t* key) {
  HWY_DYNAMIC_DISPATCH(GatherRow)(src, src_width, columns, dst, width, key);
}
void CopyRowMirrored(const uint16_t* src, uint16_t* dst, int width, const uint16_t* key) {
  HWY_DYNAMIC_DISPATCH(CopyRowMirrored)(src, dst, width, key);
}

std::vector<int64_t> VectorTargets() {
  // Highway lists the targets from the lowest bit up, which is the best first.
  return hwy::SupportedAndGeneratedTargets();
}

const char* VectorTargetName(int64_t target) { return hwy::TargetName(target); }

void UseVectorTarget(int64_t target) { hwy::SetSupportedTargetsForTest(target); }

}  // namespace pixel_kernels
#endif  // HWY_ONCE
