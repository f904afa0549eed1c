#pragma once
// Writes LZSS streams the engine's decoder reads: groups of a flag byte (LSB first, 1 literal,
// 0 reference) and eight items; a reference is b0 = ring position low byte, b1 = (ring position
// high nibble << 4) | (length - 3). The encoder models the decoder's ring exactly (4096 bytes,
// filled with zeros, first write at 4078), so it also finds matches in the zero-filled part.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// Greedy longest-match encoding of `data`.
std::vector<uint8_t> LzssEncode(const uint8_t* data, size_t size);
inline std::vector<uint8_t> LzssEncode(const std::vector<uint8_t>& data) {
  return LzssEncode(data.data(), data.size());
}

// Encoding by hand: items appended in order, flag bytes inserted where they belong.
class LzssStreamWriter {
 public:
  void Literal(uint8_t byte);
  // A reference to ring position `ring_pos` (0..4095) of `length` bytes (3..18).
  void Reference(uint32_t ring_pos, uint32_t length);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void NextFlag(bool literal);
  std::vector<uint8_t> bytes_;
  size_t flag_at_ = 0;
  int flag_bits_ = 8;  // items already under the current flag byte
};

}  // namespace testsupport
