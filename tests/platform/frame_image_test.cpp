// The frame writers: a PNG is checked by reading it back (chunks, CRCs, the stored deflate
// blocks and the Adler checksum); a BMP by its header and a pixel.

#include "platform/headless/frame_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/config.h"
#include "platform/headless/headless_display.h"

namespace {

using platform::PixelLayout;
using platform::headless::EncodeBmp;
using platform::headless::EncodePng;

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

uint32_t Crc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320 ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

// Reads back an 8-bit RGB PNG whose picture data lies in stored deflate blocks.
struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rows;  // filter byte + RGB per row
};

Decoded ReadStoredPng(const std::vector<uint8_t>& png) {
  Decoded out;
  const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
  std::vector<uint8_t> z;
  size_t at = 8;
  bool ended = false;
  while (at + 12 <= png.size()) {
    uint32_t len = Be32(png, at);
    std::string type(png.begin() + at + 4, png.begin() + at + 8);
    EXPECT_EQ(Crc(png.data() + at + 4, len + 4), Be32(png, at + 8 + len)) << type;
    if (type == "IHDR") {
      out.width = static_cast<int>(Be32(png, at + 8));
      out.height = static_cast<int>(Be32(png, at + 12));
      EXPECT_EQ(png[at + 16], 8);  // bit depth
      EXPECT_EQ(png[at + 17], 2);  // RGB
    } else if (type == "IDAT") {
      z.insert(z.end(), png.begin() + at + 8, png.begin() + at + 8 + len);
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + len;
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);  // zlib header check
  size_t p = 2;
  bool last = false;
  while (!last) {
    last = z[p] & 1;
    EXPECT_EQ(z[p] >> 1, 0);  // stored block
    uint32_t n = z[p + 1] | z[p + 2] << 8;
    uint32_t nn = z[p + 3] | z[p + 4] << 8;
    EXPECT_EQ(n ^ 0xFFFF, nn);
    out.rows.insert(out.rows.end(), z.begin() + p + 5, z.begin() + p + 5 + n);
    p += 5 + n;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : out.rows) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(Be32(z, p), b << 16 | a);
  return out;
}

TEST(FrameImage, PngHoldsTheFrameInStoredBlocksAcrossManyBlocks) {
  const int w = 300, h = 100;  // 90100 bytes of rows: two stored blocks
  std::vector<uint16_t> pixels(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(x * 97 + y);
  }
  pixels[0] = 0x07FF;  // cyan in RGB565
  Decoded d = ReadStoredPng(EncodePng(pixels, w, h, PixelLayout::kRgb565));
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
  EXPECT_TRUE(display.SaveFrameBmp("headless_frame.bmp"));
  EXPECT_FALSE(display.SaveFramePng("/nonexistent-dir/frame.png"));
  display.present_fails = true;
  EXPECT_FALSE(display.Present(*front));
  EXPECT_EQ(display.frames_presented, 2);
}

}  // namespace
