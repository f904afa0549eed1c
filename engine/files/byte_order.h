#pragma once
// Byte-order swaps: the data files store 16- and 32-bit numbers most significant byte first.

#include <cstdint>

constexpr uint16_t SwapU16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | ((v & 0xFF) << 8)); }

constexpr uint32_t SwapU32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}
