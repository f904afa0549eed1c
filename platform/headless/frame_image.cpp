#include "platform/headless/frame_image.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/little_endian.h"

namespace platform::headless {

namespace {

bool SizeMatches(const std::vector<uint16_t>& pixels, int width, int height) {
  return width > 0 && height > 0 &&
         pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height);
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = CrcTable()[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

// The zlib stream of `raw` in stored (uncompressed) deflate blocks.
std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(raw.size() - pos, 65535);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    PutLe16(z, static_cast<uint32_t>(n));
    PutLe16(z, static_cast<uint32_t>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(pos),
             raw.begin() + static_cast<ptrdiff_t>(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);
  return z;
}

}  // namespace

std::vector<uint8_t> EncodePng(const std::vector<uint16_t>& pixels, int width, int height,
                               PixelLayout layout) {
  if (!SizeMatches(pixels, width, height)) return {};
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type: none
    for (int x = 0; x < width; ++x) {
      uint32_t c = UnpackToColorRef(pixels[static_cast<size_t>(y) * width + x], layout);
      raw.push_back(static_cast<uint8_t>(c));
      raw.push_back(static_cast<uint8_t>(c >> 8));
      raw.push_back(static_cast<uint8_t>(c >> 16));
    }
  }
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, static_cast<uint32_t>(width));
  PutBe32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter set, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibStored(raw));
  PutChunk(png, "IEND", {});
  return png;
}

std::vector<uint8_t> EncodeBmp(const std::vector<uint16_t>& pixels, int width, int height,
                               PixelLayout layout) {
  if (!SizeMatches(pixels, width, height)) return {};
  uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  uint32_t image = row * static_cast<uint32_t>(height);
  std::vector<uint8_t> bmp = {'B', 'M'};
  PutLe32(bmp, 54 + image);
  PutLe32(bmp, 0);
  PutLe32(bmp, 54);
  PutLe32(bmp, 40);
  PutLe32(bmp, static_cast<uint32_t>(width));
  PutLe32(bmp, static_cast<uint32_t>(height));
  PutLe16(bmp, 1);
  PutLe16(bmp, 24);
  for (int i = 0; i < 6; ++i) PutLe32(bmp, i == 1 ? image : 0);
  for (int y = height - 1; y >= 0; --y) {
    size_t start = bmp.size();
    for (int x = 0; x < width; ++x) {
      uint32_t c = UnpackToColorRef(pixels[static_cast<size_t>(y) * width + x], layout);
      bmp.push_back(static_cast<uint8_t>(c >> 16));
      bmp.push_back(static_cast<uint8_t>(c >> 8));
      bmp.push_back(static_cast<uint8_t>(c));
    }
    bmp.resize(start + row, 0);
  }
  return bmp;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace platform::headless
