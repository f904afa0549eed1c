// The frame writers: a PNG is checked by reading it back (chunks, CRCs, the stored deflate
// blocks and the Adler checksum); a BMP by its header and a pixel.

#include "platform/headless/frame_image.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/config.h"
#include "platform/headless/headless_display.h"
#include "testsupport/stored_png.h"
#include "testsupport/temp_tree.h"

namespace {

using platform::PixelLayout;
using platform::headless::EncodeBmp;
using platform::headless::EncodePng;

using testsupport::ReadStoredPng;

TEST(FrameImage, PngHoldsTheFrameInStoredBlocksAcrossManyBlocks) {
  const int w = 300, h = 100;  // 90100 bytes of rows: two stored blocks
  std::vector<uint16_t> pixels(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(x * 97 + y);
  }
  pixels[0] = 0x07FF;  // cyan in RGB565
  const testsupport::StoredPng d = ReadStoredPng(EncodePng(pixels, w, h, PixelLayout::kRgb565));
  ASSERT_EQ(d.width, w);
  ASSERT_EQ(d.height, h);
  ASSERT_EQ(d.rows.size(), static_cast<size_t>(h) * (w * 3 + 1));
  EXPECT_EQ(d.rows[0], 0);  // filter none
  EXPECT_EQ(d.rows[1], 0x00);
  EXPECT_EQ(d.rows[2], 0xFF);
  EXPECT_EQ(d.rows[3], 0xFF);
  // The last pixel, widened by repetition of its top bits.
  uint32_t c = platform::UnpackToColorRef(pixels.back(), PixelLayout::kRgb565);
  EXPECT_EQ(d.rows[d.rows.size() - 3], c & 0xFF);
  EXPECT_EQ(d.rows[d.rows.size() - 1], c >> 16);

  EXPECT_TRUE(EncodePng(pixels, w + 1, h, PixelLayout::kRgb565).empty());
  EXPECT_TRUE(EncodePng({}, 0, 0, PixelLayout::kRgb565).empty());
}

TEST(FrameImage, BmpIsBottomUpBgrWithPaddedRows) {
  std::vector<uint16_t> pixels = {0x7C00, 0x001F, 0x03E0, 0x0000, 0x7FFF, 0x0000};  // 3 x 2, 555
  std::vector<uint8_t> bmp = EncodeBmp(pixels, 3, 2, PixelLayout::kRgb555);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[28], 24);
  // The first stored row is the bottom one: its first pixel is black, its second white.
  EXPECT_EQ(bmp[54], 0);
  EXPECT_EQ(bmp[57], 0xFF);
  // Top row, first pixel red: B, G, R.
  EXPECT_EQ(bmp[66], 0x00);
  EXPECT_EQ(bmp[68], 0xFF);
}

TEST(HeadlessDisplay, KeepsTheLatestFrameWithACounterAndWritesIt) {
  platform::MemoryConfig config;
  config.Set("Pixel Format", "555");
  platform::headless::HeadlessDisplay display(config);
  ASSERT_TRUE(display.Open());
  ASSERT_TRUE(display.SetMode(640, 480, 16));
  EXPECT_EQ(display.layout(), PixelLayout::kRgb555);
  EXPECT_FALSE(display.SetMode(640, 480, 32));
  auto front = display.CreateSurface(platform::SurfaceRole::kPrimary, 640, 480);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->pitch(), 640 * 2 + display.pitch_padding);
  front->Row(479)[639] = 0x7C00;
  ASSERT_TRUE(display.Present(*front));
  ASSERT_TRUE(display.Present(*front));
  EXPECT_EQ(display.frames_presented, 2);
  EXPECT_EQ(display.FramePixel(639, 479), 0x7C00);
  EXPECT_EQ(display.FramePixel(640, 0), 0);
  testsupport::TempTree out;
  EXPECT_TRUE(display.SaveFrameBmp(out.Path("headless_frame.bmp")));
  EXPECT_FALSE(display.SaveFramePng("/nonexistent-dir/frame.png"));
  // Not keeping frames: counted, the kept one left as it was.
  display.keep_frame = false;
  front->Row(479)[639] = 0x001F;
  ASSERT_TRUE(display.Present(*front));
  EXPECT_EQ(display.frames_presented, 3);
  EXPECT_EQ(display.FramePixel(639, 479), 0x7C00);
  display.present_fails = true;
  EXPECT_FALSE(display.Present(*front));
  EXPECT_EQ(display.frames_presented, 3);
}

}  // namespace
