#include "engine/gfx/pixels/surface_pixels.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/gfx/pixels/pixel_kernels.h"
#include "platform/pixel_traits.h"

namespace {

// One source picture as rows of words.
struct Picture {
  const uint16_t* base;  // top-left pixel of the rectangle
  size_t stride;         // words from one row to the next
};

// Integer steps of i * num / den for i = 0, 1, 2, ... without a multiplication per step.
class Stepper {
 public:
  Stepper(int num, int den) : whole_(num / den), rest_(num % den), den_(den) {}
  int value() const { return value_; }
  void Next() {
    value_ += whole_;
    acc_ += rest_;
    if (acc_ >= den_) {
      acc_ -= den_;
      ++value_;
    }
  }

 private:
  int whole_, rest_, den_;
  int value_ = 0;
  int acc_ = 0;
};

// A keyed row (the source never overlaps the destination here: CopyPixels copies an overlapping
// source first).
void CopyRowKeyed(const uint16_t* s, uint16_t* d, int w, uint16_t k) {
  pixel_kernels::CopyRowKeyed(s, d, w, k, nullptr);
}

void CopyRowSame(const uint16_t* s, uint16_t* d, int w, const uint16_t* key) {
  if (key == nullptr) {
    std::memcpy(d, s, static_cast<size_t>(w) * 2);
    return;
  }
  CopyRowKeyed(s, d, w, *key);
}

// Source column of every destination column, worked out once per blit.
constexpr int kMaxColumnTable = 4096;

void CopyRowStretched(const uint16_t* s, int sw, uint16_t* d, int dw, bool mirror,
                      const uint16_t* key) {
  Stepper col(sw, dw);
  const uint16_t k = key != nullptr ? *key : 0;
  for (int i = 0; i < dw; ++i, col.Next()) {
    uint16_t v = s[mirror ? sw - 1 - col.value() : col.value()];
    if (key == nullptr || v != k) d[i] = v;
  }
}

void CopyRects(Picture src, int sw, int sh, platform::Surface& dst, const Rect& d,
               const PixelCopy& how) {
  const int dw = d.right - d.left;
  const int dh = d.bottom - d.top;
  if (dw <= 0 || dh <= 0) return;
  // The cover's groups under the destination's columns, worked out once for all rows: a row none
  // of whose groups is covered is drawn whole, one with all of them covered is left out, and only
  // the others go by their open runs. A rectangle reaching past the screen's sides takes no
  // cover (the cover's rows hold only the screen's columns).
  const ScreenCover* cover =
      d.left >= 0 && d.right <= kScreenWidth ? how.cover : nullptr;
  const uint64_t groups = cover != nullptr ? ScreenCover::GroupsOf(d.left, d.right) : 0;
  const bool same_width = sw == dw;
  int32_t columns[kMaxColumnTable];
  const bool table = !same_width && dw <= kMaxColumnTable;
  if (table) {
    Stepper col(sw, dw);
    for (int i = 0; i < dw; ++i, col.Next()) {
      columns[i] = how.mirror_x ? sw - 1 - col.value() : col.value();
    }
  }
  Stepper row(sh, dh);
  for (int j = 0; j < dh; ++j, row.Next()) {
    const uint64_t covered = cover != nullptr ? cover->Row(d.top + j) & groups : 0;
    if (covered == groups && covered != 0) continue;
    int sj = how.mirror_y ? sh - 1 - row.value() : row.value();
    const uint16_t* s = src.base + static_cast<size_t>(sj) * src.stride;
    uint16_t* out = dst.Row(d.top + j) + d.left;
    if (!same_width && !table) {
      CopyRowStretched(s, sw, out, dw, how.mirror_x, how.key);
      continue;
    }
    // Destination columns [a, b) of the row.
    const auto draw = [&](int a, int b) {
      if (!same_width) {
        pixel_kernels::GatherRow(s, sw, columns + a, out + a, b - a, how.key);
      } else if (how.mirror_x) {
        pixel_kernels::CopyRowMirrored(s + (dw - b), out + a, b - a, how.key);
      } else {
        CopyRowSame(s + a, out + a, b - a, how.key);
      }
    };
    if (covered != 0) {
      ScreenCover::OpenRuns(covered, d.left, d.right,
                            [&](int from, int to) { draw(from - d.left, to - d.left); });
    } else {
      draw(0, dw);
    }
  }
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

namespace {

bool Contains(const int32_t (&outer)[4], const Rect& r) {
  return outer[0] <= r.left && outer[1] <= r.top && r.right <= outer[2] && r.bottom <= outer[3];
}

// Copies n pixels (source and destination apart) as two fixed-size pieces of `kPiece` pixels,
// one at each end, overlapping in the middle: for kPiece <= n <= 2 * kPiece.
template <size_t kPiece>
inline void CopyTwoPieces(const uint16_t* s, uint16_t* d, size_t n) {
  uint16_t head[kPiece], tail[kPiece];
  std::memcpy(head, s, kPiece * 2);
  std::memcpy(tail, s + n - kPiece, kPiece * 2);
  std::memcpy(d, head, kPiece * 2);
  std::memcpy(d + n - kPiece, tail, kPiece * 2);
}

// Copies a row of n pixels (source and destination apart) in pieces of 16, the last piece ending
// at the row's end (a pixel copied twice gets the same value): the pieces are fixed-size copies
// the compiler makes into a few vector moves, where a library call per short row (a sprite's)
// would cost as much as the pixels. A row shorter than a piece (an open run cut by the cover at
// a sprite's edge) is two overlapping pieces of 8, 4 or 2 pixels, not a loop a pixel at a time.
inline void CopyRowPlain(const uint16_t* s, uint16_t* d, size_t n) {
  constexpr size_t kPiece = 16;
  if (n < kPiece) {
    if (n >= 8) {
      CopyTwoPieces<8>(s, d, n);
    } else if (n >= 4) {
      CopyTwoPieces<4>(s, d, n);
    } else if (n >= 2) {
      CopyTwoPieces<2>(s, d, n);
    } else if (n == 1) {
      d[0] = s[0];
    }
    return;
  }
  for (size_t i = 0; i + kPiece < n; i += kPiece) std::memcpy(d + i, s + i, kPiece * 2);
  std::memcpy(d + n - kPiece, s + n - kPiece, kPiece * 2);
}

// The longest run of whole rows of the surface without a pixel equal to `key`, kept in the scan
// until the surface's pixels change.
void FindSolidRows(const platform::Surface& source, uint16_t key,
                   platform::Surface::KeyScan& scan) {
  scan.solid_stamp = source.stamp();
  scan.solid_key = key;
  scan.solid_top = scan.solid_bottom = 0;
  const auto width = static_cast<size_t>(source.width());
  int run_top = 0;
  for (int y = 0; y < source.height(); ++y) {
    const uint16_t* row = source.Row(y);
    // Without an early exit, so the compiler checks many pixels at once.
    bool keyed = false;
    for (size_t x = 0; x < width; ++x) keyed |= row[x] == key;
    if (keyed) {
      run_top = y + 1;
    } else if (y + 1 - run_top > scan.solid_bottom - scan.solid_top) {
      scan.solid_top = run_top;
      scan.solid_bottom = y + 1;
    }
  }
}

// A keyed copy of the same size, not mirrored, from a source that does not overlap the
// destination. Pixels equal to the key leave the destination as it is, so only the box of the
// source's other pixels needs copying: the first copy at a change stamp of the source finds that
// box while it copies and keeps it on the source (Surface::KeyScan); later copies at the same
// stamp copy only the box (nothing at all for a picture that is all key, such as an empty
// overlay or layer); rows of the picture that hold no key at all (most rows of a sprite: its key
// lies in a few edge rows) are plain row copies, without comparing a pixel or working out a box.
void CopyKeyedSameSize(const platform::Surface& source, const Rect& s,
                       platform::Surface& destination, const Rect& d, uint16_t key,
                       const ScreenCover* cover) {
  platform::Surface::KeyScan& scan = source.key_scan();
  const int dx = d.left - s.left;
  const int dy = d.top - s.top;
  // Per screen row, the groups left as they are: covered, or all key in a layer being copied.
  const uint64_t* skip = cover != nullptr ? cover->KeyedCopyRows(source, key, dx, dy) : nullptr;
  // The copy of the source columns [left, right) and rows [top, bottom), or of them only what
  // is not covered; the box of its other pixels is looked for when `find_box` asks.
  const auto copy = [&](int left, int top, int right, int bottom, bool find_box) {
    pixel_kernels::KeyedCopy c{source.Row(top) + left,
                               source.pitch() / 2,
                               destination.Row(top + dy) + left + dx,
                               destination.pitch() / 2,
                               right - left,
                               bottom - top,
                               key};
    if (skip != nullptr) {
      c.cover = skip + (top + dy);
      c.dst_x = left + dx;
    }
    c.find_box = find_box;
    return pixel_kernels::CopyKeyed(c);
  };
  if (scan.stamp == source.stamp() && scan.key == key && Contains(scan.read, s)) {
    const int left = std::max(s.left, scan.box[0]);
    const int top = std::max(s.top, scan.box[1]);
    const int right = std::min(s.right, scan.box[2]);
    const int bottom = std::min(s.bottom, scan.box[3]);
    if (left >= right || top >= bottom) return;
    if (scan.solid_stamp != source.stamp() || scan.solid_key != key) {
      FindSolidRows(source, key, scan);
    }
    const int solid_top = std::clamp(scan.solid_top, top, bottom);
    const int solid_bottom = std::clamp(scan.solid_bottom, solid_top, bottom);
    if (top < solid_top) copy(left, top, right, solid_top, false);
    if (solid_top < solid_bottom) {
      const ptrdiff_t src_pitch = source.pitch() / 2;
      const ptrdiff_t dst_pitch = destination.pitch() / 2;
      const uint16_t* from = source.Row(solid_top) + left;
      uint16_t* to = destination.Row(solid_top + dy) + left + dx;
      const auto width = static_cast<size_t>(right - left);
      if (skip == nullptr) {
        for (int y = solid_top; y < solid_bottom; ++y, from += src_pitch, to += dst_pitch) {
          CopyRowPlain(from, to, width);
        }
      } else {
        const uint64_t* covered = skip + (solid_top + dy);
        for (int y = solid_top; y < solid_bottom; ++y, from += src_pitch, to += dst_pitch) {
          ScreenCover::OpenRuns(*covered++, left + dx, right + dx, [&](int a, int b) {
            const auto at = static_cast<size_t>(a - left - dx);
            CopyRowPlain(from + at, to + at, static_cast<size_t>(b - a));
          });
        }
      }
    }
    if (solid_bottom < bottom) copy(left, solid_bottom, right, bottom, false);
    return;
  }
  const uint64_t stamp = source.stamp();
  const pixel_kernels::PixelBox box = copy(s.left, s.top, s.right, s.bottom, cover == nullptr);
  // Kept only when the copy looked at every pixel (a covered copy skips some) and nothing
  // changed the source meanwhile (it is not the destination).
  if (cover != nullptr || source.stamp() != stamp) return;
  scan.stamp = stamp;
  scan.key = key;
  scan.read[0] = s.left;
  scan.read[1] = s.top;
  scan.read[2] = s.right;
  scan.read[3] = s.bottom;
  if (box.left >= box.right) {
    scan.box[0] = scan.box[1] = scan.box[2] = scan.box[3] = 0;
  } else {
    scan.box[0] = s.left + box.left;
    scan.box[1] = s.top + box.top;
    scan.box[2] = s.left + box.right;
    scan.box[3] = s.top + box.bottom;
  }
}

}  // namespace

void CopyPixels(const platform::Surface& source, const Rect& s, platform::Surface& destination,
                const Rect& d, const PixelCopy& how) {
  const int sw = s.right - s.left;
  const int sh = s.bottom - s.top;
  const bool overlap = source.SamePixels(destination) && Overlap(s, d);
  if (how.key != nullptr && !how.mirror_x && !how.mirror_y && !overlap &&
      sw == d.right - d.left && sh == d.bottom - d.top) {
    CopyKeyedSameSize(source, s, destination, d, *how.key, how.cover);
    return;
  }
  if (overlap) {
    // The same picture on both sides: read from a copy of the source rectangle.
    std::vector<uint16_t> temp(static_cast<size_t>(sw) * static_cast<size_t>(sh));
    for (int j = 0; j < sh; ++j) {
      std::memcpy(temp.data() + static_cast<size_t>(j) * sw, source.Row(s.top + j) + s.left,
                  static_cast<size_t>(sw) * 2);
    }
    CopyRects({temp.data(), static_cast<size_t>(sw)}, sw, sh, destination, d, how);
    return;
  }
  size_t stride = static_cast<size_t>(source.pitch()) / 2;
  CopyRects({source.Row(s.top) + s.left, stride}, sw, sh, destination, d, how);
}

void FillPixels(platform::Surface& surface, const Rect& rect, uint16_t value) {
  const int w = rect.right - rect.left;
  if (w <= 0) return;
  // A value of two equal bytes (black, white) is a byte fill: one call a row, which the
  // sanitizers check as one range instead of pixel by pixel.
  const bool bytes = (value & 0xFF) == (value >> 8);
  for (int y = rect.top; y < rect.bottom; ++y) {
    uint16_t* row = surface.Row(y) + rect.left;
    if (bytes) {
      std::memset(row, value & 0xFF, static_cast<size_t>(w) * sizeof(uint16_t));
    } else {
      std::fill_n(row, w, value);
    }
  }
}

void FadePixels(uint8_t* bits, int32_t pitch, int width, int height, platform::PixelLayout layout,
                int level, int type) {
  if (type != 0 && type != 1) return;
  level = std::clamp(level, 0, 256);
  const auto f = static_cast<uint16_t>(256 - level);
  const platform::PixelFormat& format = platform::FormatOf(layout);
  uint16_t add = 0;
  if (type == 1) {
    // A fade to white adds the same share of full to every channel: five-bit steps, doubled in a
    // six-bit field.
    const uint32_t w = static_cast<uint32_t>(level) * 31 / 256;
    const auto lift = [w](const platform::PixelChannel& c) {
      return c.Place(w << (c.bits - 5));
    };
    add = static_cast<uint16_t>(lift(format.red) | lift(format.green) | lift(format.blue));
  }
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(bits + static_cast<size_t>(y) * pitch);
    pixel_kernels::FadeRow(row, width, f, add, layout == platform::PixelLayout::kRgb555);
  }
}
