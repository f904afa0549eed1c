#include "game/sine_table.h"

#include <cmath>
#include <numbers>

const std::array<int16_t, kSineTableSize>& SineTable() {
  static const std::array<int16_t, kSineTableSize> table = [] {
    std::array<int16_t, kSineTableSize> t{};
    for (int i = 0; i < kSineTableSize; ++i) {
      const double v = std::trunc(kSineOne * std::sin(2.0 * std::numbers::pi * i / 512.0));
      t[static_cast<size_t>(i)] = static_cast<int16_t>(v);
    }
    return t;
  }();
  return table;
}
