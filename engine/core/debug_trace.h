#pragma once
// The program's debug trace. Every subsystem reports its non-fatal failures and its progress
// through these two printf-style calls. In the running game they print nothing, keep nothing and
// have no effect, unless the trace switch is on (TraceToStream below); a test can install a hook
// to observe what would have been traced.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

// Formats and hands the text to the hook, if any.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// As DebugPrint, aimed at a named debug window at (x, y).
void DebugPrintWindow(const char* window, int x, int y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// What a hook receives. `window` is empty for DebugPrint.
struct DebugTraceLine {
  std::string window;
  int x = 0;
  int y = 0;
  std::string text;
};

using DebugTraceHook = std::function<void(const DebugTraceLine&)>;

// Installs a hook (an empty function removes it) and returns the previous one. Production code
// never installs one.
DebugTraceHook SetDebugTraceHook(DebugTraceHook hook);

// While it lives, every trace line goes to `out` (the program uses stderr when the trace switch is
// on), each line led by the seconds since the object was made, to the millisecond:
// "[   1.234] text", and "[   1.234] <window x,y> text" for DebugPrintWindow. The hook that was
// installed before comes back when it dies.
class TraceToStream {
 public:
  explicit TraceToStream(std::FILE* out);
  ~TraceToStream();
  TraceToStream(const TraceToStream&) = delete;
  TraceToStream& operator=(const TraceToStream&) = delete;

 private:
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  DebugTraceHook previous_;
};
