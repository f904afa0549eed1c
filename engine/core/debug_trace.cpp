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

TraceToStream::TraceToStream(std::FILE* out)
    : out_(out), start_(std::chrono::steady_clock::now()) {
  previous_ = SetDebugTraceHook([this](const DebugTraceLine& line) {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    std::string text = line.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (line.window.empty()) {
      std::fprintf(out_, "[%4lld.%03lld] %s\n", ms / 1000, ms % 1000, text.c_str());
    } else {
      std::fprintf(out_, "[%4lld.%03lld] <%s %d,%d> %s\n", ms / 1000, ms % 1000,
                   line.window.c_str(), line.x, line.y, text.c_str());
    }
  });
}

TraceToStream::~TraceToStream() {
  std::fflush(out_);
  SetDebugTraceHook(std::move(previous_));
}
