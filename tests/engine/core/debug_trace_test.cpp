#include "engine/core/debug_trace.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <vector>
#include <string>

#include "testsupport/trace_capture.h"

namespace {

// The lines of `text` with their "[ seconds.mmm] " stamps taken off; a line without a well-formed
// stamp comes back as "(no stamp) " and the line.
std::vector<std::string> Unstamped(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t i = 0;
    bool ok = line.size() > 1 && line[i++] == '[';
    while (ok && i < line.size() && line[i] == ' ') ++i;
    const size_t digits = i;
    while (ok && i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    ok = ok && i > digits && i + 6 <= line.size() && line[i] == '.' &&
         std::isdigit(static_cast<unsigned char>(line[i + 1])) &&
         std::isdigit(static_cast<unsigned char>(line[i + 2])) &&
         std::isdigit(static_cast<unsigned char>(line[i + 3])) && line.compare(i + 4, 2, "] ") == 0;
    lines.push_back(ok ? line.substr(i + 6) : "(no stamp) " + line);
  }
  return lines;
}

std::string ReadBack(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, f)) text.append(buffer, n);
  return text;
}

TEST(TraceToStream, WritesEachLineWithATimeStampAndGivesTheHookBack) {
  testsupport::TraceCapture outer;  // the hook installed before
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  {
    TraceToStream trace(f);
    DebugPrint("FileIO::Open: %s not found\n", "save\\key.dat");
    DebugPrint("no line end");
    DebugPrintWindow("DB_FlameWindow", 0, 16, "Max = %.03dFlame      ", 2);
  }
  DebugPrint("after\n");
  const std::string text = ReadBack(f);
  std::fclose(f);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(Unstamped(text), (std::vector<std::string>{
                                 "FileIO::Open: save\\key.dat not found",
                                 "no line end",
                                 "<DB_FlameWindow 0,16> Max = 002Flame      ",
                             }));
  // While the stream had the trace, the earlier hook saw nothing; afterwards it has it back.
  ASSERT_EQ(outer.lines().size(), 1u);
  EXPECT_EQ(outer.lines()[0].text, "after\n");
}

}  // namespace
