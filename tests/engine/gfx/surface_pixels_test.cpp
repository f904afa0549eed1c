#include "engine/gfx/pixels/surface_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/gfx/pixels/screen_cover.h"
#include "platform/surface.h"

namespace {

using platform::PixelLayout;
using platform::Surface;

// A source pixel for (x, y): the key in runs of irregular lengths (1 to 19 pixels, so runs begin
// and end at every position inside a group of eight), other colours elsewhere, and now and then
// a colour one bit away from the key.
uint16_t SourcePixel(int x, int y, uint16_t key) {
  const uint32_t h = static_cast<uint32_t>(x + 7) * 2654435761u ^
                     static_cast<uint32_t>(y + 3) * 40503u;
  const int run = static_cast<int>((static_cast<uint32_t>(x) + (h >> 28)) % 19);
  if (((x + 3 * y) / 11 + run / 7) % 3 == 0) return key;
  if ((h >> 9) % 13 == 0) return static_cast<uint16_t>(key ^ 1u);
  return static_cast<uint16_t>(h >> 7);
}

uint16_t DestinationPixel(int x, int y) { return static_cast<uint16_t>(0x1357u + x * 31 + y * 977); }

std::unique_ptr<Surface> Make(int w, int h, PixelLayout layout) {
  platform::SurfaceOptions options;
  options.pitch_padding = 6;  // rows padded: a write past a row's end changes the padding
  return Surface::Create(w, h, layout, options);
}

// A keyed same-size copy against the pixel-at-a-time rule, over widths from 1 to 41 (every
// remainder past the groups of eight), source and destination columns of both parities (groups
// that straddle the rows' alignment) and both layouts' keys. Pixels outside the rectangle and
// the rows' padding stay as they were.
TEST(SurfacePixels, KeyedCopyMatchesThePixelRule) {
  struct LayoutCase {
    PixelLayout layout;
    uint16_t key;
  };
  for (const LayoutCase lc : {LayoutCase{PixelLayout::kRgb565, 0x07FF},
                              LayoutCase{PixelLayout::kRgb555, 0x03FF}}) {
    constexpr int kW = 64, kH = 6;
    auto source = Make(kW, kH, lc.layout);
    auto destination = Make(kW, kH, lc.layout);
    ASSERT_TRUE(source && destination);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) source->Row(y)[x] = SourcePixel(x, y, lc.key);
    }
    for (int width = 1; width <= 41; ++width) {
      for (const int sx : {0, 1, 5}) {
        for (const int dx : {0, 3, 8}) {
          SCOPED_TRACE(testing::Message() << "width " << width << " sx " << sx << " dx " << dx);
          auto* dbytes = reinterpret_cast<uint16_t*>(destination->Row(0));
          const int words = static_cast<int>(destination->size_bytes() / 2);
          for (int i = 0; i < words; ++i) dbytes[i] = DestinationPixel(i, 0);
          const Rect s{sx, 1, sx + width, 5};
          const Rect d{dx, 0, dx + width, 4};
          const uint16_t key = lc.key;
          CopyPixels(*source, s, *destination, d, PixelCopy{&key, false, false});
          for (int i = 0; i < words; ++i) {
            const int pitch_words = destination->pitch() / 2;
            const int x = i % pitch_words, y = i / pitch_words;
            uint16_t want = DestinationPixel(i, 0);
            if (x >= d.left && x < d.right && y >= d.top && y < d.bottom) {
              const uint16_t v = source->Row(s.top + y - d.top)[s.left + x - d.left];
              if (v != key) want = v;
            }
            ASSERT_EQ(dbytes[i], want) << "at word " << i << " (" << x << ", " << y << ")";
          }
        }
      }
    }
  }
}

// Rows wholly key leave the destination alone; rows free of the key replace it; a copy within
// one surface onto an overlapping rectangle reads the source as it was before the copy.
TEST(SurfacePixels, KeyedCopyEdgeRows) {
  constexpr uint16_t kKey = 0x07FF;
  auto surface = Make(40, 3, PixelLayout::kRgb565);
  ASSERT_TRUE(surface);
  for (int x = 0; x < 40; ++x) {
    surface->Row(0)[x] = kKey;
    surface->Row(1)[x] = static_cast<uint16_t>(100 + x);
    surface->Row(2)[x] = x % 9 == 0 ? kKey : static_cast<uint16_t>(500 + x);
  }
  auto other = Make(40, 3, PixelLayout::kRgb565);
  ASSERT_TRUE(other);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 40; ++x) other->Row(y)[x] = 7;
  }
  const uint16_t key = kKey;
  CopyPixels(*surface, {0, 0, 40, 2}, *other, {0, 0, 40, 2}, PixelCopy{&key, false, false});
  for (int x = 0; x < 40; ++x) {
    EXPECT_EQ(other->Row(0)[x], 7) << x;
    EXPECT_EQ(other->Row(1)[x], 100 + x) << x;
  }
  // Overlapping: row 2 copied one pixel to the right onto itself.
  CopyPixels(*surface, {0, 2, 39, 3}, *surface, {1, 2, 40, 3}, PixelCopy{&key, false, false});
  for (int x = 1; x < 40; ++x) {
    const int from = x - 1;
    const uint16_t before_src = from % 9 == 0 ? kKey : static_cast<uint16_t>(500 + from);
    const uint16_t before_dst = x % 9 == 0 ? kKey : static_cast<uint16_t>(500 + x);
    EXPECT_EQ(surface->Row(2)[x], before_src != kKey ? before_src : before_dst) << x;
  }
}

// A keyed copy may copy only the part of the source it found holding other pixels than the key
// (kept with the source's change stamp). Every way of changing the source between two copies
// must show in the second: pixels written through a row, through a lock, brought by an exchange
// of pixels or by a restore, and a copy of a rectangle reaching beyond the one read before.
// The destination is compared with the pixel rule after every copy.
TEST(SurfacePixels, KeyedCopySeesEveryChangeOfTheSource) {
  constexpr uint16_t kKey = 0x07FF;
  constexpr int kW = 48, kH = 10;
  struct Change {
    const char* name;
    Rect copy;  // the source rectangle of the second copy (copied to the same place)
    void (*apply)(Surface& source, Surface& spare);
  };
  const Change changes[] = {
      {"nothing", {0, 0, kW, kH}, [](Surface&, Surface&) {}},
      {"a part of the first rectangle", {9, 2, 30, 7}, [](Surface&, Surface&) {}},
      {"a pixel written through a row", {0, 0, kW, kH},
       [](Surface& s, Surface&) { s.Row(9)[47] = 0x1234; }},
      {"a pixel written through a lock", {0, 0, kW, kH},
       [](Surface& s, Surface&) {
         platform::SurfaceLock lock;
         ASSERT_TRUE(s.Lock(lock));
         reinterpret_cast<uint16_t*>(lock.bits + lock.pitch * 0)[0] = 0x4321;
         s.Unlock();
       }},
      {"pixels exchanged", {0, 0, kW, kH},
       [](Surface& s, Surface& spare) { ASSERT_TRUE(s.ExchangePixels(spare)); }},
      {"a restore", {0, 0, kW, kH},
       [](Surface& s, Surface&) {
         s.SetLost(true);
         ASSERT_TRUE(s.Restore());
       }},
      {"a wider rectangle than the one read", {0, 0, kW, kH}, [](Surface&, Surface&) {}},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    auto source = Make(kW, kH, PixelLayout::kRgb565);
    auto spare = Make(kW, kH, PixelLayout::kRgb565);
    auto destination = Make(kW, kH, PixelLayout::kRgb565);
    ASSERT_TRUE(source && spare && destination);
    // The source: all key but a block in the middle (and, in the spare, one corner pixel).
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool block = x >= 12 && x < 27 && y >= 3 && y < 6;
        source->Row(y)[x] = block ? static_cast<uint16_t>(0x0800 + x + 64 * y) : kKey;
        spare->Row(y)[x] = x == 40 && y == 8 ? 0x5555 : kKey;
      }
    }
    const bool wider = std::string(change.name).find("wider") != std::string::npos;
    const Rect first = wider ? Rect{10, 2, 30, 7} : Rect{0, 0, kW, kH};
    const uint16_t key = kKey;
    const PixelCopy how{&key, false, false};
    // Reads of the pixels below go through const references, which leave the stamp alone.
    const Surface& src = *source;
    const Surface& dst = *destination;
    auto check = [&](const Rect& r, const char* when) {
      for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
          const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
          const uint16_t v = src.Row(y)[x];
          const uint16_t want = inside && v != kKey ? v : DestinationPixel(x, y);
          ASSERT_EQ(dst.Row(y)[x], want) << when << " at (" << x << ", " << y << ")";
        }
      }
    };
    auto reset_destination = [&] {
      for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) destination->Row(y)[x] = DestinationPixel(x, y);
      }
    };
    reset_destination();
    CopyPixels(*source, first, *destination, first, how);
    check(first, "first copy");
    change.apply(*source, *spare);
    if (wider) source->Row(0)[1] = 0x2222;  // outside the first rectangle, before the copy
    reset_destination();
    CopyPixels(*source, change.copy, *destination, change.copy, how);
    check(change.copy, "second copy");
    // A third copy at the same stamp shows the same.
    reset_destination();
    CopyPixels(*source, change.copy, *destination, change.copy, how);
    check(change.copy, "third copy");
  }
}

// A picture like a sprite's: key pixels in a corner of its first rows and one pixel near its
// bottom, every other row free of the key. Copies after the first at the same change stamp copy
// the key-free rows without comparing pixels; every copy must still follow the pixel rule:
// repeated, of a part, at odd destination columns, at widths around the 16-pixel pieces, after a
// key pixel is written into a key-free row (through a row or through a lock), after a read-only
// lock (which must not hide a change made before it), and with another key.
TEST(SurfacePixels, RepeatedKeyedCopiesOfAPictureWithKeyFreeRowsFollowThePixelRule) {
  constexpr uint16_t kKey = 0x07FF;
  constexpr int kH = 9;
  struct Step {
    const char* name;
    void (*apply)(Surface& source, int width);
    Rect part;  // the source rectangle copied, or empty for the whole picture
    uint16_t key = kKey;
  };
  const Step steps[] = {
      {"first copy", [](Surface&, int) {}, {}},
      {"the same again", [](Surface&, int) {}, {}},
      {"a part", [](Surface&, int) {}, {0, 1, 1, 8}},
      {"a key written into a key-free row",
       [](Surface& s, int w) { s.Row(4)[w / 2] = kKey; }, {}},
      {"a key written through a lock",
       [](Surface& s, int w) {
         platform::SurfaceLock lock;
         ASSERT_TRUE(s.Lock(lock));
         reinterpret_cast<uint16_t*>(lock.bits + 6 * lock.pitch)[w - 1] = kKey;
         s.Unlock();
       },
       {}},
      {"a read-only lock after a change",
       [](Surface& s, int) {
         s.Row(5)[0] = kKey;
         platform::SurfaceLock lock;
         ASSERT_TRUE(s.LockForReading(lock));
         s.Unlock();
       },
       {}},
      {"another key", [](Surface&, int) {}, {}, 0x1000},
  };
  for (const int width : {1, 5, 15, 16, 17, 31, 40, 67}) {
    auto source = Make(width, kH, PixelLayout::kRgb565);
    auto destination = Make(80, kH + 2, PixelLayout::kRgb565);
    ASSERT_TRUE(source && destination);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool key = (y < 2 && x < 3) || (y == kH - 2 && x == width / 3);
        source->Row(y)[x] = key ? kKey : static_cast<uint16_t>(0x1000 + x + 97 * y);
      }
    }
    const Surface& src = *source;
    const Surface& dst = *destination;
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", " << step.name);
      step.apply(*source, width);
      const Rect s = step.part.right > 0 ? Rect{step.part.left, step.part.top,
                                                 std::min(width, step.part.right + width / 2),
                                                 step.part.bottom}
                                          : Rect{0, 0, width, kH};
      for (const int dx : {0, 7}) {
        for (int y = 0; y < kH + 2; ++y) {
          for (int x = 0; x < 80; ++x) destination->Row(y)[x] = DestinationPixel(x, y);
        }
        const Rect d{dx + s.left, 1 + s.top, dx + s.right, 1 + s.bottom};
        const uint16_t key = step.key;
        CopyPixels(*source, s, *destination, d, PixelCopy{&key, false, false});
        for (int y = 0; y < kH + 2; ++y) {
          for (int x = 0; x < 80; ++x) {
            uint16_t want = DestinationPixel(x, y);
            if (x >= d.left && x < d.right && y >= d.top && y < d.bottom) {
              const uint16_t v = src.Row(y - 1)[x - dx];
              if (v != key) want = v;
            }
            ASSERT_EQ(dst.Row(y)[x], want) << "at (" << x << ", " << y << ") dx " << dx;
          }
        }
      }
    }
  }
}

// A picture like a sprite's copied onto the screen under a cover, after a copy without it: the
// columns a layer above will overwrite may be left, every other pixel follows the pixel rule.
TEST(SurfacePixels, RepeatedKeyedCopiesUnderACoverFollowThePixelRuleWhereOpen) {
  constexpr uint16_t kKey = 0x07FF;
  constexpr int kW = 70, kH = 12;
  // The layer above: opaque in columns 16-47 and 80-95 of rows 0-39, key elsewhere.
  auto layer = Surface::Create(kScreenWidth, 40, PixelLayout::kRgb565);
  auto screen = Surface::Create(kScreenWidth, 40, PixelLayout::kRgb565);
  auto source = Make(kW, kH, PixelLayout::kRgb565);
  ASSERT_TRUE(layer && screen && source);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool opaque = (x >= 16 && x < 48) || (x >= 80 && x < 96);
      layer->Row(y)[x] = opaque ? 0x0001 : kKey;
    }
  }
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      source->Row(y)[x] = y == 0 && x < 4 ? kKey : static_cast<uint16_t>(0x2000 + x + 71 * y);
    }
  }
  KeyBits bits;
  bits.Prepare(*layer, kKey);
  ASSERT_TRUE(bits.Prepare(*layer, kKey));
  std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
  layers[4] = {&bits, layer.get(), 0, 0, Rect{0, 0, kScreenWidth, 40}};
  ScreenCover cover;
  cover.Begin(screen.get(), layers);
  cover.SetPosition(3);
  ASSERT_TRUE(cover.Applies(screen.get()));
  const Surface& src = *source;
  const Surface& dst = *screen;
  // A copy without the cover first, which keeps what it found for the copies after it.
  const uint16_t first_key = kKey;
  CopyPixels(*source, {0, 0, kW, kH}, *screen, {0, 0, kW, kH}, PixelCopy{&first_key});
  for (const int dx : {5, 9, 30}) {
    SCOPED_TRACE(testing::Message() << "destination column " << dx);
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) screen->Row(y)[x] = DestinationPixel(x, y);
    }
    const Rect d{dx, 3, dx + kW, 3 + kH};
    const uint16_t key = kKey;
    CopyPixels(*source, {0, 0, kW, kH}, *screen, d, PixelCopy{&key, false, false, &cover});
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        uint16_t want = DestinationPixel(x, y);
        if (x >= d.left && x < d.right && y >= d.top && y < d.bottom) {
          const uint16_t v = src.Row(y - d.top)[x - d.left];
          if (v != key) want = v;
        }
        const bool covered = (x >= 16 && x < 48) || (x >= 80 && x < 96);
        if (covered && dst.Row(y)[x] == DestinationPixel(x, y)) continue;
        ASSERT_EQ(dst.Row(y)[x], want) << "at (" << x << ", " << y << ")";
      }
    }
  }
}

// A cover over a screen `width` pixels wide whose layer (position 4, 640 x 40 at the screen's
// top left) is opaque where `opaque(x, y)` says, drawn at position 3.
struct CoverFixture {
  template <class F>
  CoverFixture(int width, int height, F opaque)
      : layer(Surface::Create(kScreenWidth, 40, PixelLayout::kRgb565)),
        screen(Surface::Create(width, height, PixelLayout::kRgb565)) {
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) layer->Row(y)[x] = opaque(x, y) ? 0x0001 : kKey;
    }
    bits.Prepare(*layer, kKey);
    EXPECT_TRUE(bits.Prepare(*layer, kKey));
    std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
    layers[4] = {&bits, layer.get(), 0, 0, Rect{0, 0, kScreenWidth, 40}};
    cover.Begin(screen.get(), layers);
    cover.SetPosition(3);
  }
  // Whether the layer above overwrites screen pixel (x, y).
  bool Covered(int x, int y) const {
    const Surface& l = *layer;
    return x < kScreenWidth && y < 40 && l.Row(y)[x] != kKey;
  }
  void ClearScreen() {
    for (int y = 0; y < screen->height(); ++y) {
      for (int x = 0; x < screen->width(); ++x) screen->Row(y)[x] = DestinationPixel(x, y);
    }
  }
  // Every screen pixel against `want` (null outside the drawn rectangle: unchanged): covered
  // pixels may also have been left as they were.
  template <class Want>
  void Check(const Rect& d, Want want) const {
    const Surface& dst = *screen;
    for (int y = 0; y < dst.height(); ++y) {
      for (int x = 0; x < dst.width(); ++x) {
        const uint16_t before = DestinationPixel(x, y);
        const bool inside = x >= d.left && x < d.right && y >= d.top && y < d.bottom;
        const uint16_t expected = inside ? want(x - d.left, y - d.top, before) : before;
        const uint16_t got = dst.Row(y)[x];
        if (got == expected || (Covered(x, y) && got == before)) continue;
        FAIL() << "at (" << x << ", " << y << "): " << got << ", want " << expected;
      }
    }
  }

  static constexpr uint16_t kKey = 0x07FF;
  std::unique_ptr<Surface> layer, screen;
  KeyBits bits;
  ScreenCover cover;
};

// Stretched and mirrored copies under a cover whose rows are partly covered, wholly covered or
// open, against the copy rule where the layer above leaves the screen open. Covered rows and
// groups may be left, nothing outside the rectangle changes. The last case's rectangle reaches
// past the screen's 640 columns on a wider destination, where the cover's rows end.
TEST(SurfacePixels, StretchedAndMirroredCopiesUnderACoverFollowTheCopyRuleWhereOpen) {
  // Bands of five rows: two groups covered; all covered; nothing covered; all but columns 32-63.
  const auto opaque = [](int x, int y) {
    switch (y / 5 % 4) {
      case 0:
        return (x >= 16 && x < 48) || (x >= 80 && x < 96);
      case 1:
        return true;
      case 2:
        return false;
      default:
        return x < 32 || x >= 64;
    }
  };
  struct Case {
    Rect s, d;
    bool mirror_x, mirror_y, keyed;
    int screen_width;
  };
  const Case cases[] = {
      {{3, 2, 43, 32}, {7, 1, 87, 38}, false, false, true, kScreenWidth},      // wider and taller
      {{0, 5, 64, 25}, {13, 20, 40, 33}, false, false, true, kScreenWidth},    // narrower
      {{5, 0, 38, 16}, {30, 3, 63, 19}, true, false, true, kScreenWidth},      // mirrored, same size
      {{1, 1, 21, 21}, {1, 0, 46, 38}, false, true, true, kScreenWidth},       // flipped, stretched
      {{9, 3, 59, 14}, {60, 17, 135, 39}, true, true, false, kScreenWidth},    // both ways, plain
      {{0, 0, 41, 40}, {17, 0, 58, 40}, false, false, false, kScreenWidth},    // plain, same size
      {{2, 4, 47, 35}, {601, 5, 691, 36}, false, false, true, 700},            // past column 640
      {{0, 0, 72, 45}, {551, 0, 640, 45}, true, false, true, kScreenWidth},    // up to the edge
  };
  auto source = Make(72, 72, PixelLayout::kRgb565);
  ASSERT_TRUE(source);
  for (int y = 0; y < 72; ++y) {
    for (int x = 0; x < 72; ++x) source->Row(y)[x] = SourcePixel(x, y, CoverFixture::kKey);
  }
  const Surface& src = *source;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "destination " << c.d.left << "," << c.d.top << " - "
                                    << c.d.right << "," << c.d.bottom);
    CoverFixture f(c.screen_width, 45, opaque);
    ASSERT_TRUE(f.cover.Applies(f.screen.get()));
    f.ClearScreen();
    const uint16_t key = CoverFixture::kKey;
    CopyPixels(*source, c.s, *f.screen, c.d,
               PixelCopy{c.keyed ? &key : nullptr, c.mirror_x, c.mirror_y, &f.cover});
    const int sw = c.s.right - c.s.left, sh = c.s.bottom - c.s.top;
    const int dw = c.d.right - c.d.left, dh = c.d.bottom - c.d.top;
    f.Check(c.d, [&](int i, int j, uint16_t before) {
      const int u = i * sw / dw, v = j * sh / dh;
      const uint16_t p = src.Row(c.s.top + (c.mirror_y ? sh - 1 - v : v))[
          c.s.left + (c.mirror_x ? sw - 1 - u : u)];
      return c.keyed && p == key ? before : p;
    });
  }
}

// A key-free picture copied again (the copy that reuses its key scan copies its rows plainly)
// under a cover of every other 16-pixel group: open runs of every length from 1 to 16 at both
// ends of the rectangle, at every start column of a group, for narrow and wide pictures.
TEST(SurfacePixels, KeyFreeRowsUnderACoverAtEveryOpenRunLength) {
  CoverFixture f(kScreenWidth, 12, [](int x, int) { return (x / 16) % 2 == 1; });
  for (const int w : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 33, 40}) {
    auto source = Make(w, 6, PixelLayout::kRgb565);
    ASSERT_TRUE(source);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < w; ++x) source->Row(y)[x] = static_cast<uint16_t>(0x2000 + x + 71 * y);
    }
    const Surface& src = *source;
    const uint16_t key = CoverFixture::kKey;
    // The first copy, without the cover, finds the picture's box and key-free rows.
    f.ClearScreen();
    CopyPixels(*source, {0, 0, w, 6}, *f.screen, {0, 3, w, 9}, PixelCopy{&key});
    for (int dx = 0; dx < 34; ++dx) {
      SCOPED_TRACE(testing::Message() << "width " << w << ", column " << dx);
      f.ClearScreen();
      const Rect d{dx, 3, dx + w, 9};
      CopyPixels(*source, {0, 0, w, 6}, *f.screen, d, PixelCopy{&key, false, false, &f.cover});
      f.Check(d, [&](int i, int j, uint16_t) { return src.Row(j)[i]; });
      if (HasFatalFailure()) return;
    }
  }
}

// A source wholly of the key leaves the destination as it was, copy after copy.
TEST(SurfacePixels, KeyedCopyOfAnAllKeySourceChangesNothing) {
  constexpr uint16_t kKey = 0x03FF;
  auto source = Make(33, 5, PixelLayout::kRgb555);
  auto destination = Make(33, 5, PixelLayout::kRgb555);
  ASSERT_TRUE(source && destination);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 33; ++x) {
      source->Row(y)[x] = kKey;
      destination->Row(y)[x] = DestinationPixel(x, y);
    }
  }
  const uint16_t key = kKey;
  for (int i = 0; i < 3; ++i) {
    CopyPixels(*source, {0, 0, 33, 5}, *destination, {0, 0, 33, 5}, PixelCopy{&key, false, false});
  }
  const Surface& dst = *destination;
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 33; ++x) ASSERT_EQ(dst.Row(y)[x], DestinationPixel(x, y)) << x << "," << y;
  }
}

}  // namespace
