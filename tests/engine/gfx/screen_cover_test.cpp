// The cover a keyed layer gives the positions below it: a screen group of 16 pixels is covered
// exactly when it lies inside the layer's screen rectangle and all 16 layer pixels that land on
// it are other than the key. Checked against that definition, pixel by pixel, for views starting
// at every column phase of the layer and at screen columns off the group grid.

#include "engine/gfx/pixels/screen_cover.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

#include "engine/files/random.h"
#include "platform/surface.h"

namespace {

constexpr uint16_t kKey = 0x07FF;
constexpr int kWidth = 203, kHeight = 5;

// Rows of a layer: all other than the key; a key every 23 pixels; all key; a key here and there
// at random; other than the key but for its very last pixel.
std::unique_ptr<platform::Surface> Layer() {
  auto surface = platform::Surface::Create(kWidth, kHeight, platform::PixelLayout::kRgb565);
  GameRandom rng;
  rng.Seed(7);
  for (int y = 0; y < kHeight; ++y) {
    uint16_t* row = surface->Row(y);
    for (int x = 0; x < kWidth; ++x) {
      const bool key = (y == 1 && x % 23 == 11) || y == 2 || (y == 3 && rng.Next() % 30 == 0) ||
                       (y == 4 && x == kWidth - 1);
      row[x] = key ? kKey : static_cast<uint16_t>(0x1000 + x);
    }
  }
  return surface;
}

TEST(ScreenCover, AKeyedLayerCoversExactlyTheGroupsItsOpaquePixelsFillAtEveryPhase) {
  const std::unique_ptr<platform::Surface> layer = Layer();
  ASSERT_NE(layer, nullptr);
  const platform::Surface* surface = layer.get();
  KeyBits bits;
  // The bits are kept for a surface whose pixels stayed as they were since the previous call.
  EXPECT_FALSE(bits.Prepare(*surface, kKey));
  ASSERT_TRUE(bits.Prepare(*surface, kKey));
  for (const int screen_left : {0, 5, 16, 37}) {
    for (int source_x = 0; source_x <= 40; ++source_x) {
      const int view = kWidth - source_x;
      std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
      layers[4] = {&bits, surface, source_x, 0,
                   Rect{screen_left, 10, screen_left + view, 10 + kHeight}};
      ScreenCover cover;
      cover.Begin(surface, layers);
      cover.SetPosition(3);
      for (int y = 0; y < kHeight; ++y) {
        uint64_t expected = 0;
        for (int g = 0; g < ScreenCover::kGroups; ++g) {
          bool full = g * 16 >= screen_left && g * 16 + 16 <= screen_left + view;
          for (int i = 0; full && i < 16; ++i) {
            full = surface->Row(y)[source_x + g * 16 + i - screen_left] != kKey;
          }
          if (full) expected |= uint64_t{1} << g;
        }
        EXPECT_EQ(cover.Row(10 + y), expected)
            << "row " << y << " source column " << source_x << " screen column " << screen_left;
      }
      EXPECT_EQ(cover.Row(9), 0u);
      EXPECT_EQ(cover.Row(10 + kHeight), 0u);
    }
  }
}

}  // namespace
