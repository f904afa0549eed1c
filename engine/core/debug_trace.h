#pragma once
// The program's debug trace. Every subsystem reports its non-fatal failures and its progress
// through these two printf-style calls. In the running game they print nothing, keep nothing and
// have no effect; a test can install a hook to observe what would have been traced.

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
