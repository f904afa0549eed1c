#pragma once
// A 16-bit picture for the blitter tests: rows padded by three pixels (so the pitch is never
// twice the width and an overrun past a row's right edge lands in the padding), held in an
// allocation of exactly its size (so AddressSanitizer reports any access beyond it).

#include <cstdint>
#include <vector>

namespace testpix {

struct Picture {
  static constexpr int kPad = 3;
  Picture(int w, int h, uint16_t fill) : width(w), height(h), pixels((w + kPad) * h, fill) {}
  int32_t pitch() const { return (width + kPad) * 2; }
  uint16_t& at(int x, int y) { return pixels[y * (width + kPad) + x]; }
  uint16_t at(int x, int y) const { return pixels[y * (width + kPad) + x]; }
  // A padding pixel of row y (p = 0 .. kPad - 1).
  uint16_t pad(int p, int y) const { return pixels[y * (width + kPad) + width + p]; }
  void* data() { return pixels.data(); }
  const void* data() const { return pixels.data(); }

  int width, height;
  std::vector<uint16_t> pixels;
};

}  // namespace testpix
