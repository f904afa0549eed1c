#include "engine/core/debug_trace.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace {

DebugTraceHook& Hook() {
  static DebugTraceHook hook;
  return hook;
}

std::string Format(const char* format, va_list args) {
  char buffer[512];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(n));
  return text;
}

}  // namespace

void DebugPrint(const char* format, ...) {
  if (!Hook() || format == nullptr) return;
  va_list args;
  va_start(args, format);
  DebugTraceLine line;
  line.text = Format(format, args);
  va_end(args);
  Hook()(line);
}

void DebugPrintWindow(const char* window, int x, int y, const char* format, ...) {
  if (!Hook() || format == nullptr) return;
  va_list args;
  va_start(args, format);
  DebugTraceLine line;
  line.window = window ? window : "";
  line.x = x;
  line.y = y;
  line.text = Format(format, args);
  va_end(args);
  Hook()(line);
}

DebugTraceHook SetDebugTraceHook(DebugTraceHook hook) {
  return std::exchange(Hook(), std::move(hook));
}
