#include "testsupport/lzss_writer.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr size_t kRingSize = 4096;
constexpr size_t kRingStart = 4078;   // the decoder's first write position
constexpr size_t kMaxDistance = 4078;  // farther back the ring cell may already be reused
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
constexpr int kChainDepth = 512;

}  // namespace

void LzssStreamWriter::NextFlag(bool literal) {
  if (flag_bits_ == 8) {
    flag_at_ = bytes_.size();
    bytes_.push_back(0);
    flag_bits_ = 0;
  }
  if (literal) bytes_[flag_at_] = static_cast<uint8_t>(bytes_[flag_at_] | (1u << flag_bits_));
  ++flag_bits_;
}

void LzssStreamWriter::Literal(uint8_t byte) {
  NextFlag(true);
  bytes_.push_back(byte);
}

void LzssStreamWriter::Reference(uint32_t ring_pos, uint32_t length) {
  NextFlag(false);
  bytes_.push_back(static_cast<uint8_t>(ring_pos & 0xFF));
  bytes_.push_back(static_cast<uint8_t>(((ring_pos >> 4) & 0xF0) | ((length - 3) & 0x0F)));
}

std::vector<uint8_t> LzssEncode(const uint8_t* data, size_t size) {
  // Virtual history: kRingStart zero bytes (the untouched ring) followed by the data. Virtual
  // index v sits at ring cell v mod 4096.
  std::vector<uint8_t> v(kRingStart, 0);
  v.insert(v.end(), data, data + size);
  const size_t n = v.size();

  constexpr size_t kHashSize = 1 << 15;
  std::vector<int64_t> head(kHashSize, -1);
  std::vector<int64_t> prev(n, -1);
  auto hash = [&](size_t i) {
    return ((static_cast<size_t>(v[i]) << 10) ^ (static_cast<size_t>(v[i + 1]) << 5) ^ v[i + 2]) &
           (kHashSize - 1);
  };
  auto insert = [&](size_t i) {
    if (i + kMinMatch > n) return;
    size_t h = hash(i);
    prev[i] = head[h];
    head[h] = static_cast<int64_t>(i);
  };
  for (size_t i = 0; i < kRingStart; ++i) insert(i);

  LzssStreamWriter out;
  size_t pos = kRingStart;
  while (pos < n) {
    size_t best_len = 0;
    size_t best_src = 0;
    size_t limit = std::min(kMaxMatch, n - pos);
    if (limit >= kMinMatch) {
      int depth = kChainDepth;
      for (int64_t cand = head[hash(pos)]; cand >= 0 && depth-- > 0; cand = prev[cand]) {
        size_t c = static_cast<size_t>(cand);
        if (pos - c > kMaxDistance) break;
        size_t len = 0;
        // Overlapping matches (c + len >= pos) are fine: the decoder copies byte by byte.
        while (len < limit && v[c + len] == v[pos + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_src = c;
          if (len == limit) break;
        }
      }
    }
    size_t step = 1;
    if (best_len >= kMinMatch) {
      out.Reference(static_cast<uint32_t>(best_src % kRingSize), static_cast<uint32_t>(best_len));
      step = best_len;
    } else {
      out.Literal(v[pos]);
    }
    for (size_t k = 0; k < step; ++k) insert(pos + k);
    pos += step;
  }
  return out.bytes();
}

}  // namespace testsupport
