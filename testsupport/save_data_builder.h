#pragma once
// Byte builders for the game's state blocks and save files, written from the file layouts alone
// (not from the game's own packing), so that tests compare the game's bytes against an
// independent picture of them:
//   SystemData   272 bytes (save\system.dat)
//   AdvState     48 bytes (the head of a game save)
//   MacroVarBlock 8720 bytes: stack 1 (1000 u32) at 0, its depth at 4000, stack 2 at 4004, its
//                depth at 8004, A[0..255] (u16) at 8008, P[0..99] (u16) at 8520
//   game save    8768 bytes: AdvState, then MacroVarBlock

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Little-endian values put at byte offsets of a fixed-size image.
class ByteBuilder {
 public:
  explicit ByteBuilder(size_t size) : bytes_(size, 0) {}
  ByteBuilder& U8(size_t at, uint8_t v);
  ByteBuilder& U16(size_t at, uint16_t v);
  ByteBuilder& U32(size_t at, uint32_t v);
  // Every byte from `at` for `count` bytes.
  ByteBuilder& Fill(size_t at, size_t count, uint8_t v);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A fresh SystemData image (zero but cursorSpeed 2 at offset 52).
ByteBuilder SystemDataBytes();
// A fresh AdvState image (zero but the cursor (320, 240) at offsets 34 and 36).
ByteBuilder AdvStateBytes();
// A MacroVarBlock image: stack entries i set to stack_base + i, the given depths, A[i] = a_base
// + i and P[i] = p_base + i.
ByteBuilder MacroVarBlockBytes(uint32_t depth1, uint32_t depth2, uint32_t stack_base = 0x1000,
                               uint16_t a_base = 0x100, uint16_t p_base = 0x200);

// A game save file: a fresh story state with the scene code and layer 5 composed above layer 6
// (bytes 8 and 9: 3, 2), then the variable block.
struct SaveFileSpec {
  uint16_t scene = 0x0102;
  bool before_battle = false;  // bit 15 of the scene code in the file
  uint32_t depth1 = 3;
  uint32_t depth2 = 2;
  uint32_t stack_base = 0x1000;
  uint16_t a_base = 0x100;
  uint16_t p_base = 0x200;
  // The file is cut to this many bytes (when shorter than the whole), then padded with this many
  // bytes of 0xEE.
  size_t cut_to = SIZE_MAX;
  size_t pad = 0;
};
std::vector<uint8_t> SaveFileBytes(const SaveFileSpec& spec);

}  // namespace testsupport
