#include "engine/gfx/pixels/surface_pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

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

}  // namespace
