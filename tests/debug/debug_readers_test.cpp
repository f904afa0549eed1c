// The debug menu's readers: DEF name lists, LipSync.DEF and the message table look-up on the
// menu's own buffer. Hostile samples (truncated, over-long, pointing past the end) run under ASan.

#include "debug/debug_readers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/debug_files.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }

bool NameAt(const Bytes& bytes, int index, std::string* name) {
  // A copy of exactly the bytes, so that ASan sees any read past them.
  std::vector<uint8_t> exact(bytes);
  return DefNameAt(exact.data(), exact.size(), index, name);
}

TEST(DefNames, TheValueThNameCountingFromZeroAcrossAnySpacing) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("tamvik1\\unit\\U" + std::to_string(i) + ".spr");
  struct Case {
    std::string separator;
  };
  for (const Case& c : {Case{"\r\n"}, Case{" "}, Case{" \t \n\n"}}) {
    const Bytes file = testsupport::DefFile(names, c.separator);
    std::string name;
    ASSERT_TRUE(NameAt(file, 9, &name));
    EXPECT_EQ(name, "tamvik1\\unit\\U9.spr");
    ASSERT_TRUE(NameAt(file, 0, &name));
    EXPECT_EQ(name, "tamvik1\\unit\\U0.spr");
    ASSERT_TRUE(NameAt(file, 11, &name));
    EXPECT_EQ(name, "tamvik1\\unit\\U11.spr");
    testsupport::TraceCapture trace;
    name = "kept";
    EXPECT_FALSE(NameAt(file, 12, &name));  // past the last
    EXPECT_EQ(name, "kept");
    EXPECT_TRUE(trace.Contains("past the last"));
  }
}

TEST(DefNames, HostileListsAreRefusedWithinTheirBytes) {
  std::string name;
  // A name that runs to the end of the data without a break.
  EXPECT_TRUE(NameAt(Text("a b lastname"), 2, &name));
  EXPECT_EQ(name, "lastname");
  // Empty data, only white space, a negative index.
  EXPECT_FALSE(NameAt({}, 0, &name));
  EXPECT_FALSE(NameAt(Text(" \r\n\t "), 0, &name));
  EXPECT_FALSE(NameAt(Text("a b"), -1, &name));
  // An over-long name is refused; the names around it still read.
  const Bytes long_list = Text("first " + std::string(kDefNameMax + 1, 'x') + " third");
  testsupport::TraceCapture trace;
  EXPECT_FALSE(NameAt(long_list, 1, &name));
  EXPECT_TRUE(trace.Contains("longer than"));
  EXPECT_TRUE(NameAt(long_list, 2, &name));
  EXPECT_EQ(name, "third");
  EXPECT_TRUE(NameAt(Text(std::string(kDefNameMax, 'y')), 0, &name));
  EXPECT_EQ(name.size(), kDefNameMax);
}

LipSyncEntry Parse(const Bytes& bytes, bool expect_ok = true) {
  std::vector<uint8_t> exact(bytes);
  LipSyncEntry entry;
  EXPECT_EQ(ParseLipSync(exact.data(), exact.size(), &entry), expect_ok);
  return entry;
}

TEST(LipSync, TextVoiceAndLipLineAsTheFileGivesThem) {
  const std::string lip = "0123456789";
  struct Case {
    std::vector<std::string> lines;
    int voice;
    bool with_lip;
    std::string trailer;
    std::string text;
    int32_t expected_voice;
  };
  const Case cases[] = {
      {{"first line", "second line"}, 12, true, "", "first line$$second line", 12},
      {{"one"}, 65535, true, "", "one", 0},        // 65535 is voice 0
      {{"one"}, 0, true, "", "one", -1},           // 0 is no voice
      {{"a", "b", "c"}, 7, false, ";end\r\n", "a$$b$$c", 7},  // a comment: no lip line
      {{"one"}, 7, false, "", "one", 7},           // the file ends: no lip line
  };
  for (const Case& c : cases) {
    const Bytes file = testsupport::LipSyncFile(c.lines, c.voice, c.with_lip ? &lip : nullptr,
                                                c.trailer);
    const LipSyncEntry entry = Parse(file);
    EXPECT_EQ(entry.text, c.text);
    EXPECT_EQ(entry.voice, c.expected_voice);
    EXPECT_EQ(entry.has_lip, c.with_lip);
    EXPECT_EQ(entry.lip, c.with_lip ? lip : "");
  }
  // Plain LF line breaks and several comment lines read the same.
  const LipSyncEntry lf = Parse(Text(";a\n;b\nx\ny\\E rest\n;c\n;d\n  42\nLIP\n"));
  EXPECT_EQ(lf.text, "x$$y");
  EXPECT_EQ(lf.voice, 42);
  EXPECT_TRUE(lf.has_lip);
  EXPECT_EQ(lf.lip, "LIP");
}

TEST(LipSync, TruncatedAndOverLongSamplesAreRefusedWithATrace) {
  const std::string lip = "0123";
  const Bytes whole = testsupport::LipSyncFile({"text"}, 5, &lip);
  struct Case {
    Bytes bytes;
    const char* trace;
  };
  const std::string text_end = ";c\r\ntext\\E";
  const Case cases[] = {
      {Bytes(), "no text"},
      {Text(";only comments\r\n;more\r\n"), "no text"},
      {Text(";c\r\ntext without an end"), "no end mark"},
      {Text(";c\r\ntext\\"), "no end mark"},  // half an end mark at the very end
      {Text(text_end), "no voice line"},
      {Text(text_end + "\r\n;c\r\n"), "no voice line"},
      {Text(text_end + "\r\nnumber\r\n"), "not a number"},
      {Text(text_end + "\r\n65536\r\n"), "not a number"},
      {Text(";c\r\n" + std::string(kLipTextMax + 1, 'x') + "\\E\r\n1\r\n"), "text longer"},
      {Text(text_end + "\r\n1\r\n" + std::string(kLipLineMax + 1, 'l')), "lip line longer"},
  };
  for (const Case& c : cases) {
    testsupport::TraceCapture trace;
    Parse(c.bytes, false);
    EXPECT_TRUE(trace.Contains(c.trace)) << c.trace;
  }
  // Every prefix of a good file: refused or read, never past its bytes.
  for (size_t n = 0; n <= whole.size(); ++n) {
    std::vector<uint8_t> prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    LipSyncEntry entry;
    ParseLipSync(prefix.data(), prefix.size(), &entry);
  }
}

// A message table as the scene engine reads it: word 0 N, word 1 the lip base T, directory pairs
// (id, offset) from word 2, records at N + offset (voice, lip offset, text), lip texts at T +
// offset.
Bytes Table(uint16_t n, uint16_t lips, const std::vector<uint16_t>& words_after) {
  Bytes t;
  auto put = [&t](uint16_t w) {
    t.push_back(static_cast<uint8_t>(w >> 8));
    t.push_back(static_cast<uint8_t>(w));
  };
  put(n);
  put(lips);
  for (uint16_t w : words_after) put(w);
  return t;
}

TEST(MessageTableOnTheMenusBuffer, FoundWithTheChapterBiasAndRefusedPastItsEnd) {
  testsupport::TestGame game;
  // N = 4: directory (word 2..7: ids 5 and 6), records from word 4 + offset.
  // id 5 -> offset 4: record at word 8: voice 12, lip offset 0, text "Hi"; lip at T = 11.
  const Bytes good = Table(4, 11, {5, 4, 6, 7, 0, 0, 12, 0, 0x4869, 0x0000, 0x4C00});
  std::vector<uint8_t> table(good);
  MessageData message;
  GetAdvState()->setSceneCode(0x0701);
  ASSERT_EQ(CTamvikMacro::GetMessageDataIn(table, &message, 5), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(message.text), "Hi");
  EXPECT_EQ(message.voice, 12);
  GetAdvState()->setSceneCode(0x0801);
  ASSERT_EQ(CTamvikMacro::GetMessageDataIn(table, &message, 5), 1);
  EXPECT_EQ(message.voice, 1012);
  // id 6 points at word 11 + ... past the end; an unknown id; a count past the table.
  EXPECT_EQ(CTamvikMacro::GetMessageDataIn(table, &message, 6), 0);
  EXPECT_EQ(CTamvikMacro::GetMessageDataIn(table, &message, 9), 0);
  std::vector<uint8_t> big_count = Table(900, 11, {5, 4});
  EXPECT_EQ(CTamvikMacro::GetMessageDataIn(big_count, &message, 5), 0);
  // Every prefix of the good table: found or refused, never read past.
  for (size_t n = 0; n <= good.size(); ++n) {
    std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    CTamvikMacro::GetMessageDataIn(prefix, &message, 5);
  }
}

}  // namespace
