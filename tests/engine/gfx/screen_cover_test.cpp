// The cover a keyed layer gives the positions below it: a screen group of 16 pixels is covered
// exactly when it lies inside the layer's screen rectangle and all 16 layer pixels that land on
// it are other than the key. Checked against that definition, pixel by pixel, for views starting
// at every column phase of the layer and at screen columns off the group grid. The layer's own
// keyed copy also leaves the groups whose 16 pixels are all the key, and only while the bits
// describe the layer's pixels and key as they are.

#include "engine/gfx/pixels/screen_cover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "engine/files/random.h"
#include "platform/surface.h"

namespace {

constexpr uint16_t kKey = 0x07FF;
// A second key: the colour of the runs of row 6.
constexpr uint16_t kOtherKey = 0x0821;
constexpr int kWidth = 203, kHeight = 7;

// Rows of a layer: all other than the key; a key every 23 pixels; all key; a key here and there
// at random; other than the key but for its very last pixel; runs of the key 1-40 long between
// runs of other pixels (all-key groups at many phases); runs of the second key.
std::unique_ptr<platform::Surface> Layer() {
  auto surface = platform::Surface::Create(kWidth, kHeight, platform::PixelLayout::kRgb565);
  GameRandom rng;
  rng.Seed(7);
  for (int y = 0; y < kHeight; ++y) {
    uint16_t* row = surface->Row(y);
    bool in_run = false;
    int left = 0;  // pixels left in the run of rows 5 and 6
    for (int x = 0; x < kWidth; ++x) {
      if (left == 0) {
        in_run = !in_run;
        left = 1 + static_cast<int>(rng.Next() % 40);
      }
      --left;
      const bool key = (y == 1 && x % 23 == 11) || y == 2 || (y == 3 && rng.Next() % 30 == 0) ||
                       (y == 4 && x == kWidth - 1) || (y == 5 && in_run);
      row[x] = key ? kKey : y == 6 && in_run ? kOtherKey : static_cast<uint16_t>(0x1000 + x);
    }
  }
  return surface;
}

// The groups of screen row `screen_y` whose 16 pixels are all of one kind (the key, or all
// other than the key) in a layer shown at `screen` from source column `source_x`, row 0.
uint64_t GroupsByDefinition(const platform::Surface& surface, uint16_t key, bool all_key,
                            int source_x, const Rect& screen, int screen_y) {
  const int y = screen_y - screen.top;
  if (y < 0 || y >= surface.height()) return 0;
  uint64_t groups = 0;
  for (int g = 0; g < ScreenCover::kGroups; ++g) {
    bool full = g * 16 >= screen.left && g * 16 + 16 <= screen.right;
    for (int i = 0; full && i < 16; ++i) {
      full = (surface.Row(y)[source_x + g * 16 + i - screen.left] == key) == all_key;
    }
    if (full) groups |= uint64_t{1} << g;
  }
  return groups;
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
        const uint64_t expected =
            GroupsByDefinition(*surface, kKey, false, source_x, layers[4].screen, 10 + y);
        EXPECT_EQ(cover.Row(10 + y), expected)
            << "row " << y << " source column " << source_x << " screen column " << screen_left;
      }
      EXPECT_EQ(cover.Row(9), 0u);
      EXPECT_EQ(cover.Row(10 + kHeight), 0u);
    }
  }
}

TEST(ScreenCover, ALayersOwnKeyedCopySkipsItsAllKeyGroupsWhileItsPixelsAndKeyStay) {
  const std::unique_ptr<platform::Surface> layer = Layer();
  ASSERT_NE(layer, nullptr);
  // An opaque strip above it covers screen groups 2 and 3 of rows 11 and 12.
  auto strip = platform::Surface::Create(32, 2, platform::PixelLayout::kRgb565);
  ASSERT_NE(strip, nullptr);
  for (int y = 0; y < 2; ++y) std::fill_n(strip->Row(y), 32, uint16_t{0x1234});
  const auto covered = [](int screen_y) -> uint64_t {
    return screen_y == 11 || screen_y == 12 ? 0xC : 0;
  };
  const platform::Surface& surface = *layer;
  const platform::Surface* target = strip.get();  // any surface stands for the back buffer
  KeyBits bits, strip_bits;
  EXPECT_FALSE(bits.Prepare(surface, kKey));
  EXPECT_FALSE(strip_bits.Prepare(*strip, kKey));
  ASSERT_TRUE(strip_bits.Prepare(*strip, kKey));
  // With either key: the bits found for one key are not kept for the other.
  for (const uint16_t key : {kKey, kOtherKey, kKey}) {
    ASSERT_TRUE(bits.Prepare(surface, key));
    for (const int screen_left : {0, 5, 16, 37}) {
      for (int source_x = 0; source_x <= 40; ++source_x) {
        const Rect screen{screen_left, 10, screen_left + kWidth - source_x, 10 + kHeight};
        std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
        layers[3] = {&bits, &surface, source_x, 0, screen};
        layers[4] = {&strip_bits, strip.get(), 0, 0, Rect{32, 11, 64, 13}};
        ScreenCover cover;
        cover.Begin(target, layers);
        cover.SetPosition(3);
        ASSERT_TRUE(cover.AppliesToKeyedCopy(&surface, target));
        const int dx = screen_left - source_x, dy = 10;
        const uint64_t* rows = cover.KeyedCopyRows(surface, key, dx, dy);
        for (int y = 9; y <= 10 + kHeight; ++y) {
          EXPECT_EQ(rows[y], covered(y) | GroupsByDefinition(surface, key, true, source_x, screen, y))
              << "row " << y << " key " << key << " source column " << source_x
              << " screen column " << screen_left;
        }
        // Another key, another offset or another picture: only what is covered.
        for (const uint64_t* other :
             {cover.KeyedCopyRows(surface, key == kKey ? kOtherKey : kKey, dx, dy),
              cover.KeyedCopyRows(surface, key, dx + 1, dy),
              cover.KeyedCopyRows(surface, key, dx, dy - 1),
              cover.KeyedCopyRows(*strip, key, dx, dy)}) {
          EXPECT_EQ(other, cover.Rows());
        }
        // The strip's own copy at the top has nothing of its own to skip; nothing covers it.
        cover.SetPosition(4);
        EXPECT_FALSE(cover.AppliesToKeyedCopy(strip.get(), target));
        EXPECT_FALSE(cover.AppliesToKeyedCopy(&surface, target));
        cover.SetPosition(3);
        EXPECT_FALSE(cover.AppliesToKeyedCopy(&surface, layer.get()));
        cover.Stop();
        EXPECT_FALSE(cover.AppliesToKeyedCopy(&surface, target));
      }
    }
  }
  // Pixels changed after the bits were found: the copy skips only what is covered.
  ASSERT_TRUE(bits.Prepare(surface, kKey));
  std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
  layers[4] = {&bits, &surface, 0, 0, Rect{0, 10, kWidth, 10 + kHeight}};
  ScreenCover cover;
  cover.Begin(target, layers);
  cover.SetPosition(4);
  EXPECT_NE(cover.KeyedCopyRows(surface, kKey, 0, 10)[12], 0u);  // row 2 is all key
  layer->Row(2)[100] = 0x1000;
  EXPECT_EQ(cover.KeyedCopyRows(surface, kKey, 0, 10), cover.Rows());
  EXPECT_EQ(cover.Rows()[12], 0u);
}

}  // namespace
