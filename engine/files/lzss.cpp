#include "engine/files/lzss.h"

#include <cstring>

#include "engine/core/debug_trace.h"

namespace {

constexpr uint32_t kRingSize = 4096;
constexpr uint32_t kRingMask = kRingSize - 1;
constexpr uint32_t kRingStart = kRingSize - 18;

}  // namespace

int LzssDecode(const void* src, uint32_t src_len, void* dst, uint32_t dst_len) {
  const uint8_t* in = static_cast<const uint8_t*>(src);
  uint8_t* out = static_cast<uint8_t*>(dst);
  if ((src_len > 0 && in == nullptr) || (dst_len > 0 && out == nullptr)) return 0;

  uint8_t ring[kRingSize];
  std::memset(ring, 0, sizeof ring);
  uint32_t r = kRingStart;
  uint32_t ip = 0;
  uint32_t op = 0;
  uint32_t flags = 0;  // flag bits in the low byte, a marker bit above them counts what is left

  while (op < dst_len) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (ip >= src_len) break;
      flags = in[ip++] | 0xFF00u;
    }
    if (flags & 1) {
      if (ip >= src_len) break;
      uint8_t c = in[ip++];
      out[op++] = c;
      ring[r] = c;
      r = (r + 1) & kRingMask;
    } else {
      if (src_len - ip < 2) break;
      uint32_t b0 = in[ip];
      uint32_t b1 = in[ip + 1];
      ip += 2;
      uint32_t pos = b0 | ((b1 & 0xF0u) << 4);
      uint32_t length = (b1 & 0x0Fu) + 3;
      if (length > dst_len - op) length = dst_len - op;
      for (uint32_t k = 0; k < length; ++k) {
        uint8_t c = ring[(pos + k) & kRingMask];
        out[op++] = c;
        ring[r] = c;
        r = (r + 1) & kRingMask;
      }
    }
  }

  if (op < dst_len) {
    DebugPrint("LzssDecode: source ended after %u of %u bytes\n", op, dst_len);
    return 0;
  }
  return ip == src_len ? 1 : 0;
}
