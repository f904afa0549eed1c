#pragma once
// Collects the debug trace while it lives, for tests that check what was reported. Captures nest:
// each line also reaches the capture (or hook) that was installed before this one.

#include <string>
#include <vector>

#include "engine/core/debug_trace.h"

namespace testsupport {

class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  const std::vector<DebugTraceLine>& lines() const { return lines_; }
  // Whether any traced text contains the fragment.
  bool Contains(const std::string& fragment) const;
  // How many traced lines contain the fragment.
  int Count(const std::string& fragment) const;
  void Clear() { lines_.clear(); }

 private:
  std::vector<DebugTraceLine> lines_;
  DebugTraceHook previous_;
};

}  // namespace testsupport
