#include "testsupport/petal_wipe_writer.h"

#include <cstddef>

namespace testsupport {

std::vector<uint8_t> PetalWipeFile(const std::vector<PetalFrame>& frames) {
  std::vector<uint8_t> out;
  for (const PetalFrame& frame : frames) {
    for (const PetalLine& line : frame) out.insert(out.end(), line.begin(), line.end());
    out.push_back(255);
  }
  return out;
}

std::vector<uint8_t> EmptyPetalFrames(int count) {
  return std::vector<uint8_t>(static_cast<size_t>(count), 255);
}

std::vector<uint8_t> WithoutLastEnd(std::vector<uint8_t> file) {
  if (!file.empty()) file.pop_back();
  return file;
}

std::vector<uint8_t> ZeroRunLine(int count) {
  return std::vector<uint8_t>(static_cast<size_t>(count), 0);
}

PetalFrame AlternatingPixelsFrame() {
  return PetalFrame(480, PetalLine(640, 1));
}

}  // namespace testsupport
