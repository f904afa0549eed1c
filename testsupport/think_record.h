#pragma once
// One enemy think or condition record as the think blocks hold it (20 bytes): bytes 0-2 as
// given, 0xFF, then four little-endian (x, y) points; for tests and benchmarks that fill a think
// block without the stage files.

#include <array>
#include <cstdint>
#include <vector>

#include "battle/slg_think_search_state.h"

namespace testsupport {

inline std::vector<uint8_t> ThinkRecordBytes(uint8_t b0, uint8_t b1, uint8_t b2,
                                             const std::array<EnemyThinkPoint, 4>& points = {}) {
  std::vector<uint8_t> r = {b0, b1, b2, 0xFF};
  for (const EnemyThinkPoint& p : points) {
    for (int16_t v : {p.x, p.y}) {
      r.push_back(static_cast<uint8_t>(v & 0xFF));
      r.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  }
  return r;
}

}  // namespace testsupport
