#include "engine/gfx/text/text_big5.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/trace_capture.h"

namespace {

TEST(Big5FromUtf8, KnownCharacters) {
  struct Case {
    const char* utf8;
    std::string big5;
  };
  const Case cases[] = {
      {"中", "\xA4\xA4"},
      {"文字", "\xA4\xE5\xA6\x72"},
      {"語", "\xBB\x79"},
      {"a中b 1", "a\xA4\xA4" "b 1"},  // ASCII passes through
      {"，", "\xA1\x41"},              // full-width comma
      {"", ""},
  };
  for (const Case& c : cases) {
    std::optional<std::string> got = Big5FromUtf8(c.utf8);
    ASSERT_TRUE(got.has_value()) << c.utf8;
    EXPECT_EQ(*got, c.big5) << c.utf8;
  }
}

TEST(Big5FromUtf8, InvalidInputFailsClearly) {
  struct Case {
    const char* name;
    std::string utf8;
    const char* trace;
  };
  const Case cases[] = {
      {"stray continuation byte", "ab\x80", "at byte 2"},
      {"byte never in UTF-8", "\xFF", "at byte 0"},
      {"character cut short", "a\xE4\xB8", "at byte 1"},
      {"no Big5 form (emoji)", "x\xF0\x9F\x98\x80", "at byte 1"},
      {"no Big5 form (hiragana)", "中\xE3\x82\x94", "at byte 3"},
  };
  for (const Case& c : cases) {
    testsupport::TraceCapture trace;
    EXPECT_FALSE(Big5FromUtf8(c.utf8).has_value()) << c.name;
    EXPECT_TRUE(trace.Contains("Big5FromUtf8")) << c.name;
    EXPECT_TRUE(trace.Contains(c.trace)) << c.name;
  }
}

}  // namespace
