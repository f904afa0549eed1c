#include "engine/gfx/pixels/quad_raster.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/gfx/pixels/pixel_kernels.h"
#include "engine/gfx/pixels/screen_cover.h"

namespace {

constexpr int64_t kOne = 65536;  // 1.0 in 16.16

// One edge of a chain: position and texture position in 16.16 and their steps per row.
struct Edge {
  int64_t x, s, t;
  int64_t dx, ds, dt;
};

void SetUpEdge(Edge& e, const QuadVertex& from, const QuadVertex& to) {
  e.x = int64_t{from.x} * kOne;
  e.s = int64_t{from.s} * kOne;
  e.t = int64_t{from.t} * kOne;
  const int64_t height = int64_t{to.y} - from.y;
  if (height == 0) {
    e.dx = e.ds = e.dt = 0;  // an edge without height gets no steps
  } else {
    e.dx = (int64_t{to.x} - from.x) * kOne / height;
    e.ds = (int64_t{to.s} - from.s) * kOne / height;
    e.dt = (int64_t{to.t} - from.t) * kOne / height;
  }
  if (from.y < 0) {
    // An edge that starts above row 0 moves to row 0 at once. One that also ends above it never
    // draws a row, so its advance stops at its own height and the products stay small.
    const int64_t rows = std::min(-int64_t{from.y}, height < 0 ? -height : height);
    e.x += e.dx * rows;
    e.s += e.ds * rows;
    e.t += e.dt * rows;
  }
}

inline void Step(Edge& e) {
  e.x += e.dx;
  e.s += e.ds;
  e.t += e.dt;
}

inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// One row's span: pixels [from, to) of the row, the unclipped ends being left and right.
struct SpanArgs {
  uint8_t* row;
  int64_t y;
  int64_t left, right;
  int64_t from, to;
};

// Reciprocals of the span widths 1 .. kReciprocalWidths: ceil(2^44 / width). For every n below
// 2^32, floor(n * reciprocal / 2^44) is floor(n / width) exactly (the product exceeds n / width
// by less than 2^-32 of n, as width <= 2^12), so a span's two steps take two multiplies instead
// of two divisions.
constexpr int64_t kReciprocalWidths = 4096;
constexpr int kReciprocalShift = 44;
constexpr auto kReciprocals = [] {
  std::array<uint64_t, kReciprocalWidths + 1> r{};
  for (uint64_t w = 1; w <= kReciprocalWidths; ++w) {
    r[w] = ((uint64_t{1} << kReciprocalShift) + w - 1) / w;
  }
  return r;
}();

}  // namespace

int64_t SpanStep(int64_t n, int64_t width) {
  const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  if (width <= kReciprocalWidths && magnitude <= UINT32_MAX) {
    // The 77-bit product in two 64-bit halves (no 128-bit type on every machine): the low 32
    // bits of the reciprocal and the rest, shifted down by 32 and by the remaining 12.
    const uint64_t reciprocal = kReciprocals[static_cast<size_t>(width)];
    const uint64_t low = magnitude * (reciprocal & UINT32_MAX) >> 32;
    const uint64_t high = magnitude * (reciprocal >> 32);
    const auto q = static_cast<int64_t>((high + low) >> (kReciprocalShift - 32));
    return n < 0 ? -q : q;
  }
  // Wider spans and longer texture distances (rare): a division, in 32 bits where it fits.
  if (n >= INT32_MIN && n <= INT32_MAX && width <= INT32_MAX) {
    return static_cast<int32_t>(n) / static_cast<int32_t>(width);
  }
  return n / width;
}

namespace {

struct SolidFill {
  uint16_t colour;
  void operator()(const SpanArgs& a, const Edge&, const Edge&) const {
    uint8_t* p = a.row + a.from * 2;
    for (int64_t n = a.to - a.from; n > 0; --n, p += 2) Store16(p, colour);
  }
};

// The texture of one span: the span's texture steps, its first position (a span starting left of
// column 0 starts there with its texture position advanced), and whether every position of the
// span lies inside the picture, for the pixel kernel that draws it.
template <bool kKey>
struct TextureFill {
  const uint8_t* base;
  ptrdiff_t pitch;
  int64_t s_limit, t_limit;  // picture width and height in 16.16
  int64_t max_s, max_t;      // last column and row of the picture
  uint16_t key;
  const uint64_t* cover;  // the destination's cover, or null

  // Pixels [from, to) of the span.
  void Draw(const SpanArgs& a, const Edge& l, int64_t ds, int64_t dt, int64_t from,
            int64_t to) const {
    const int64_t s = l.s + ds * (from - a.left);
    const int64_t t = l.t + dt * (from - a.left);
    const int64_t count = to - from;
    // The texture position moves linearly along the span: when both ends lie inside the picture
    // every pixel between does too, and no position needs clamping.
    const int64_t s_last = s + ds * (count - 1);
    const int64_t t_last = t + dt * (count - 1);
    const bool inside = s >= 0 && s < s_limit && s_last >= 0 && s_last < s_limit && t >= 0 &&
                        t < t_limit && t_last >= 0 && t_last < t_limit;
    pixel_kernels::FillTextureSpan({a.row + from * 2, count, s, t, ds, dt, base, pitch, max_s,
                                    max_t, inside, kKey, key});
  }

  void operator()(const SpanArgs& a, const Edge& l, const Edge& r) const {
    const int64_t width = a.right - a.left;
    const int64_t ds = SpanStep(r.s - l.s, width);
    const int64_t dt = SpanStep(r.t - l.t, width);
    if (cover == nullptr) {
      Draw(a, l, ds, dt, a.from, a.to);
      return;
    }
    ScreenCover::OpenRuns(cover[a.y], static_cast<int>(a.from), static_cast<int>(a.to),
                          [&](int from, int to) { Draw(a, l, ds, dt, from, to); });
  }
};

// Rasterizes one convex quadrilateral, handing every visible row span to `fill`.
template <class Fill>
void Raster(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height, const Quad& q,
            const Fill& fill) {
  if (dst_width <= 0 || dst_height <= 0) return;
  const int64_t clip_w = dst_width, clip_h = dst_height;

  // The topmost vertex: from vertex 0, move to the neighbour with the smaller y while it is
  // strictly smaller. Each move lowers y, so at most three moves are made.
  int top = 0;
  for (int moves = 0; moves < 3; ++moves) {
    const int prev = (top + 3) & 3, next = (top + 1) & 3;
    const int lower = q[prev].y < q[next].y ? prev : next;
    if (q[lower].y >= q[top].y) break;
    top = lower;
  }

  // The neighbour with the smaller slope from the top begins the left chain (the + 1 keeps a
  // horizontal top edge from dividing by zero; both neighbours lie at or below the top).
  const int prev = (top + 3) & 3, next = (top + 1) & 3;
  const auto slope = [&](int n) {
    return (int64_t{q[n].x} - q[top].x) * kOne / (int64_t{q[n].y} - q[top].y + 1);
  };
  const int left_step = slope(next) < slope(prev) ? 1 : 3;
  const int right_step = 4 - left_step;

  int64_t min_x = q[0].x, max_x = q[0].x, max_y = q[0].y;
  for (const QuadVertex& v : q) {
    min_x = std::min<int64_t>(min_x, v.x);
    max_x = std::max<int64_t>(max_x, v.x);
    max_y = std::max<int64_t>(max_y, v.y);
  }
  const int64_t top_y = q[top].y;
  if (top_y >= clip_h || max_y < 0 || max_y == top_y || min_x >= clip_w || max_x < 0 ||
      min_x == max_x) {
    return;
  }

  auto* const base = static_cast<uint8_t*>(dst);
  int l_to = (top + left_step) & 3;
  int r_to = (top + right_step) & 3;
  Edge left, right;
  SetUpEdge(left, q[top], q[l_to]);
  SetUpEdge(right, q[top], q[r_to]);
  int64_t y = top_y;
  for (int edges = 2;;) {
    // One band: rows from y to the nearer end of the two active edges, clipped.
    const int64_t band_end = std::min<int64_t>(q[l_to].y, q[r_to].y);
    const int64_t first = std::max<int64_t>(y, 0);
    const int64_t last = std::min(band_end, clip_h);
    uint8_t* row = base + first * dst_pitch;
    for (int64_t yy = first; yy < last; ++yy, row += dst_pitch) {
      Step(left);
      Step(right);
      const int64_t lx = left.x >> 16, rx = right.x >> 16;
      if (rx - lx <= 0) continue;
      const int64_t from = std::max<int64_t>(lx, 0), to = std::min(rx, clip_w);
      if (to <= from) continue;
      fill(SpanArgs{row, yy, lx, rx, from, to}, left, right);
    }
    y = std::max(y, band_end);
    if (y >= max_y || edges >= 4) break;
    // The edge that ended gives way to the next edge of its chain.
    if (q[l_to].y <= y) {
      const int from = l_to;
      l_to = (l_to + left_step) & 3;
      SetUpEdge(left, q[from], q[l_to]);
      ++edges;
    }
    if (q[r_to].y <= y && edges < 4) {
      const int from = r_to;
      r_to = (r_to + right_step) & 3;
      SetUpEdge(right, q[from], q[r_to]);
      ++edges;
    }
  }
}

template <bool kKey>
void Transform(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
               const Quad& quad, const void* src, int32_t src_pitch, int32_t src_width,
               int32_t src_height, uint16_t key, const uint64_t* cover) {
  if (src_width <= 0 || src_height <= 0) return;
  // A cover is kept per screen row and group: it applies to a destination of the screen's size.
  if (dst_width != kScreenWidth || dst_height > kScreenHeight) cover = nullptr;
  const TextureFill<kKey> fill{static_cast<const uint8_t*>(src),
                               src_pitch,
                               int64_t{src_width} * kOne,
                               int64_t{src_height} * kOne,
                               int64_t{src_width} - 1,
                               int64_t{src_height} - 1,
                               key,
                               cover};
  Raster(dst, dst_pitch, dst_width, dst_height, quad, fill);
}

}  // namespace

void BlitTransform16(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                     const Quad& quad, const void* src, int32_t src_pitch, int32_t src_width,
                     int32_t src_height, uint16_t key, const uint64_t* cover) {
  Transform<true>(dst, dst_pitch, dst_width, dst_height, quad, src, src_pitch, src_width,
                  src_height, key, cover);
}

void BlitTransform16B(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                      const Quad& quad, const void* src, int32_t src_pitch, int32_t src_width,
                      int32_t src_height, const uint64_t* cover) {
  Transform<false>(dst, dst_pitch, dst_width, dst_height, quad, src, src_pitch, src_width,
                   src_height, 0, cover);
}

void BlitPolygon16Work(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                       const Quad& quad, uint16_t colour) {
  Raster(dst, dst_pitch, dst_width, dst_height, quad, SolidFill{colour});
}

void BlitPolygon16(void* dst, int32_t dst_pitch, int32_t dst_width, int32_t dst_height,
                   int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                   int32_t x3, int32_t y3, uint16_t colour) {
  const Quad quad{{{x0, y0, x0, y0}, {x1, y1, x1, y1}, {x2, y2, x2, y2}, {x3, y3, x3, y3}}};
  BlitPolygon16Work(dst, dst_pitch, dst_width, dst_height, quad, colour);
}
