#pragma once
// The game's shared sine table: 640 signed entries, entry i = trunc(16384 x sin(2 pi i / 512))
// (toward zero), so an angle has 512 steps per turn and 16384 stands for 1.0. The sine of an
// angle reads entry (a & 511), its cosine entry (a & 511) + 128 of the same table; any angle,
// negative ones included, lands inside it.

#include <array>
#include <cstdint>

constexpr int kSineTableSize = 640;
constexpr int32_t kSineOne = 16384;

// The table, built once on first use.
const std::array<int16_t, kSineTableSize>& SineTable();

inline int32_t SineOf(int32_t angle) { return SineTable()[static_cast<uint32_t>(angle) & 511u]; }
inline int32_t CosineOf(int32_t angle) {
  return SineTable()[(static_cast<uint32_t>(angle) & 511u) + 128u];
}
