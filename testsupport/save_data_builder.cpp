#include "testsupport/save_data_builder.h"

#include <algorithm>

namespace testsupport {

ByteBuilder& ByteBuilder::U8(size_t at, uint8_t v) {
  bytes_.at(at) = v;
  return *this;
}

ByteBuilder& ByteBuilder::U16(size_t at, uint16_t v) {
  U8(at, static_cast<uint8_t>(v));
  return U8(at + 1, static_cast<uint8_t>(v >> 8));
}

ByteBuilder& ByteBuilder::U32(size_t at, uint32_t v) {
  U16(at, static_cast<uint16_t>(v));
  return U16(at + 2, static_cast<uint16_t>(v >> 16));
}

ByteBuilder& ByteBuilder::Fill(size_t at, size_t count, uint8_t v) {
  for (size_t i = 0; i < count; ++i) U8(at + i, v);
  return *this;
}

ByteBuilder SystemDataBytes() {
  ByteBuilder b(272);
  b.U16(52, 2);
  return b;
}

ByteBuilder AdvStateBytes() {
  ByteBuilder b(48);
  b.U16(34, 320).U16(36, 240);
  return b;
}

ByteBuilder MacroVarBlockBytes(uint32_t depth1, uint32_t depth2, uint32_t stack_base,
                               uint16_t a_base, uint16_t p_base) {
  ByteBuilder b(8720);
  for (uint32_t i = 0; i < 1000; ++i) {
    b.U32(4 * i, stack_base + i);
    b.U32(4004 + 4 * i, stack_base + 0x10000 + i);
  }
  b.U32(4000, depth1).U32(8004, depth2);
  for (uint16_t i = 0; i < 256; ++i) b.U16(8008 + 2 * i, static_cast<uint16_t>(a_base + i));
  for (uint16_t i = 0; i < 100; ++i) b.U16(8520 + 2 * i, static_cast<uint16_t>(p_base + i));
  return b;
}

std::vector<uint8_t> SaveFileBytes(const SaveFileSpec& spec) {
  ByteBuilder adv = AdvStateBytes();
  adv.U16(0, static_cast<uint16_t>(spec.scene | (spec.before_battle ? 0x8000 : 0)));
  adv.U8(8, 3).U8(9, 2);  // layer 5 composed above layer 6, as a scene starts
  std::vector<uint8_t> out = adv.bytes();
  const auto vars =
      MacroVarBlockBytes(spec.depth1, spec.depth2, spec.stack_base, spec.a_base, spec.p_base);
  out.insert(out.end(), vars.bytes().begin(), vars.bytes().end());
  out.resize(std::min(out.size(), spec.cut_to));
  out.insert(out.end(), spec.pad, 0xEE);
  return out;
}

}  // namespace testsupport
