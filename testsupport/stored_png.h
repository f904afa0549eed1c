#pragma once
// Reads back the PNG files the headless display writes (8-bit RGB, picture data in stored deflate
// blocks) and checks them on the way: signature, chunk CRCs, the header's depth and colour type,
// the end chunk, the zlib header, stored blocks with their length complements and the Adler
// checksum. For tests only (reports through gtest).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

inline uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

inline uint32_t PngCrc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320 ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

struct StoredPng {
  int width = 0, height = 0;
  std::vector<uint8_t> rows;  // filter byte + RGB per row
};

inline StoredPng ReadStoredPng(const std::vector<uint8_t>& png) {
  StoredPng out;
  const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8) {
    ADD_FAILURE() << "PNG of " << png.size() << " bytes";
    return out;
  }
  EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
  std::vector<uint8_t> z;
  size_t at = 8;
  bool ended = false;
  while (at + 12 <= png.size()) {
    const uint32_t len = Be32(png, at);
    if (at + 12 + len > png.size()) {
      ADD_FAILURE() << "chunk at " << at << " runs past the end";
      return out;
    }
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    EXPECT_EQ(PngCrc(png.data() + at + 4, len + 4), Be32(png, at + 8 + len)) << type;
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
  if (z.size() < 2) {
    ADD_FAILURE() << "no picture data";
    return out;
  }
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);  // zlib header check
  size_t p = 2;
  bool last = false;
  while (!last) {
    if (p + 5 > z.size()) {
      ADD_FAILURE() << "deflate data ends inside a block header";
      return out;
    }
    last = z[p] & 1;
    EXPECT_EQ(z[p] >> 1, 0);  // stored block
    const uint32_t n = z[p + 1] | z[p + 2] << 8;
    const uint32_t nn = z[p + 3] | z[p + 4] << 8;
    EXPECT_EQ(n ^ 0xFFFF, nn);
    if (p + 5 + n > z.size()) {
      ADD_FAILURE() << "stored block runs past the end";
      return out;
    }
    out.rows.insert(out.rows.end(), z.begin() + p + 5, z.begin() + p + 5 + n);
    p += 5 + n;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : out.rows) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  if (p + 4 > z.size()) {
    ADD_FAILURE() << "no Adler checksum";
    return out;
  }
  EXPECT_EQ(Be32(z, p), b << 16 | a);
  return out;
}

}  // namespace testsupport
