#include "engine/files/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/files/file_io.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

struct TextLayer {
  TextLayer() {
    engine.host.files.SetWorkingDirectory(tree.cwd());
    engine.ctx().file_io.SetInstallDir(tree.install().c_str());
  }
  testsupport::GameTree tree;
  testsupport::TestEngine engine;
};

struct Step {
  std::string line;
  int is_end;  // IsEnd after the call
};

// Reads `steps.size()` lines with the given maximum and compares each with its step.
void ExpectLines(CTextFile& file, int maximum, const std::vector<Step>& steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    std::vector<char> buffer(static_cast<size_t>(maximum) + 8, '#');
    char* result = file.GetLine(buffer.data(), maximum);
    EXPECT_EQ(result, buffer.data());
    EXPECT_EQ(std::string(buffer.data()), steps[i].line) << "line " << i;
    EXPECT_EQ(file.IsEnd(), steps[i].is_end) << "line " << i;
    // Nothing beyond the maximum was written.
    for (size_t k = static_cast<size_t>(maximum); k < buffer.size(); ++k) {
      ASSERT_EQ(buffer[k], '#') << "line " << i << " wrote byte " << k;
    }
  }
}

TEST(TextFile, ReadsLinesByTheSplitRule) {
  struct Case {
    const char* what;
    std::string contents;
    int maximum;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"CR LF keeps the CR", "one\r\ntwo\r\n", 16,
       {{"one\r", 0}, {"two\r", 0}, {"", 1}, {"", 1}}},
      {"last line without a line feed", "first\nlast", 16,
       {{"first", 0}, {"last", 0}, {"", 1}}},
      {"empty lines", "\n\nx\n", 16, {{"", 0}, {"", 0}, {"x", 0}, {"", 1}}},
      {"a line of exactly maximum - 1 characters", "abcdefg\nh\n", 8,
       {{"abcdefg", 0}, {"", 0}, {"h", 0}, {"", 1}}},
      {"a line one shorter", "abcdef\nh\n", 8, {{"abcdef", 0}, {"h", 0}, {"", 1}}},
      {"an over-long line continues on the next calls", "0123456789abcdefXYZ\nend", 8,
       {{"0123456", 0}, {"789abcd", 0}, {"efXYZ", 0}, {"end", 0}, {"", 1}}},
      {"an over-long last line", "0123456789", 4,
       {{"012", 0}, {"345", 0}, {"678", 0}, {"9", 0}, {"", 1}}},
      {"an empty file", "", 16, {{"", 1}}},
      {"Big5 bytes pass unchanged", "\xA4\xA4\xA4\xE5\n", 16, {{"\xA4\xA4\xA4\xE5", 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextLayer layer;
    layer.tree.Write("install/text/table.txt", c.contents);
    CTextFile file(Ctx().file_io);
    EXPECT_EQ(file.IsEnd(), 1);  // nothing open yet
    ASSERT_EQ(file.Open("TEXT\\Table.txt"), 1);
    EXPECT_EQ(file.IsEnd(), 0);
    ExpectLines(file, c.maximum, c.steps);
  }
}

TEST(TextFile, MissingFileRaisesTheFatalBox) {
  TextLayer layer;
  CTextFile file(Ctx().file_io);
  EXPECT_EQ(file.Open("text\\none.txt"), 0);
  ASSERT_EQ(layer.engine.host.window.boxes.size(), 1u);
  EXPECT_EQ(layer.engine.host.window.boxes[0].caption, "FILE OPEN ERROR");
  EXPECT_EQ(file.IsEnd(), 1);
  char buffer[8] = "keep";
  file.GetLine(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(file.IsEnd(), 1);
}

TEST(TextFile, TooSmallBufferEndsTheReadInsteadOfLoopingForEver) {
  TextLayer layer;
  layer.tree.Write("install/t.txt", "abc\n");
  CTextFile file(Ctx().file_io);
  ASSERT_EQ(file.Open("t.txt"), 1);
  char buffer[4] = "zzz";
  file.GetLine(buffer, 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(file.IsEnd(), 1);
  file.GetLine(buffer, 0);
  EXPECT_EQ(file.IsEnd(), 1);
}

TEST(TextFile, ReopeningReplacesTheText) {
  TextLayer layer;
  layer.tree.Write("install/a.txt", "from a\n");
  layer.tree.Write("install/b.txt", "from b\n");
  CTextFile file(Ctx().file_io);
  ASSERT_EQ(file.Open("a.txt"), 1);
  char buffer[32];
  file.GetLine(buffer, sizeof buffer);
  file.GetLine(buffer, sizeof buffer);
  EXPECT_EQ(file.IsEnd(), 1);
  ASSERT_EQ(file.Open("b.txt"), 1);
  EXPECT_EQ(file.IsEnd(), 0);
  EXPECT_STREQ(file.GetLine(buffer, sizeof buffer), "from b");
}

}  // namespace
