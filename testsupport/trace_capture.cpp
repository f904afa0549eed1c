#include "testsupport/trace_capture.h"

namespace testsupport {

TraceCapture::TraceCapture() {
  previous_ = SetDebugTraceHook([this](const DebugTraceLine& line) {
    lines_.push_back(line);
    if (previous_) previous_(line);
  });
}

TraceCapture::~TraceCapture() { SetDebugTraceHook(std::move(previous_)); }

bool TraceCapture::Contains(const std::string& fragment) const {
  for (const auto& line : lines_) {
    if (line.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

int TraceCapture::Count(const std::string& fragment) const {
  int n = 0;
  for (const auto& line : lines_) n += line.text.find(fragment) != std::string::npos;
  return n;
}

}  // namespace testsupport
