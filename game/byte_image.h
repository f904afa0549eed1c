#pragma once
// A block of state kept as the exact bytes it is saved as: a fixed-size little-endian image with
// typed reads and writes at fixed offsets. Every byte, named or not, is kept as it stands, so a
// block read from a file and written again is byte-identical on any host.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/little_endian.h"

template <size_t N>
class ByteImage {
 public:
  static constexpr size_t kSize = N;

  uint8_t* bytes() { return bytes_.data(); }
  const uint8_t* bytes() const { return bytes_.data(); }
  void Clear() { bytes_.fill(0); }

 protected:
  template <size_t At>
  uint8_t U8() const {
    static_assert(At + 1 <= N);
    return bytes_[At];
  }
  template <size_t At>
  uint16_t U16() const {
    static_assert(At + 2 <= N);
    return platform::GetLe16(bytes_.data() + At);
  }
  template <size_t At>
  uint32_t U32() const {
    static_assert(At + 4 <= N);
    return platform::GetLe32(bytes_.data() + At);
  }
  template <size_t At>
  void SetU8(uint8_t v) {
    static_assert(At + 1 <= N);
    bytes_[At] = v;
  }
  template <size_t At>
  void SetU16(uint16_t v) {
    static_assert(At + 2 <= N);
    platform::SetLe16(bytes_.data() + At, v);
  }
  template <size_t At>
  void SetU32(uint32_t v) {
    static_assert(At + 4 <= N);
    platform::SetLe32(bytes_.data() + At, v);
  }

 private:
  std::array<uint8_t, N> bytes_{};
};
