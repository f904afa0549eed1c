// The sample install directory's generator (testsupport/sample_data.h): the same bytes on every
// run, box glyphs for the same codes when no face is there, the texts it gathers from the
// sources, its printed texts full width and in its font, a written font that holds every
// character of the program's own messages, and the directory it refuses or replaces.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/gfx/text/text_big5.h"
#include "platform/little_endian.h"
#include "testsupport/program_messages.h"
#include "testsupport/sample_data.h"
#include "testsupport/temp_tree.h"

namespace {

namespace fs = std::filesystem;

std::string ReadHost(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file under the root by its relative name, with its bytes.
std::map<std::string, std::string> Contents(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    out[fs::relative(entry.path(), root).string()] = ReadHost(entry.path());
  }
  return out;
}

std::vector<uint16_t> Codes(const std::string& cht) {
  std::vector<uint16_t> codes;
  for (size_t i = 0; i + 1 < cht.size(); i += 2) {
    codes.push_back(static_cast<uint16_t>(static_cast<uint8_t>(cht[i]) |
                                          static_cast<uint8_t>(cht[i + 1]) << 8));
  }
  return codes;
}

TEST(SampleData, TwoRunsWithoutTheFaceGiveTheSameBytesAndBoxesForTheBuildsCodes) {
  testsupport::TempTree tree;
  testsupport::SampleOptions options;
  options.extra_texts = testsupport::GatherSourceTexts(TAMVIK_SOURCE_DIR);
  options.opening_pictures = 25;
  std::string error;
  ASSERT_TRUE(testsupport::WriteSampleData(tree.Path("a"), options, &error)) << error;
  ASSERT_TRUE(testsupport::WriteSampleData(tree.Path("b"), options, &error)) << error;
  const auto a = Contents(tree.Path("a"));
  const auto b = Contents(tree.Path("b"));
  ASSERT_EQ(a.size(), b.size());
  for (const auto& [name, bytes] : a) {
    ASSERT_TRUE(b.count(name)) << name;
    EXPECT_TRUE(bytes == b.at(name)) << name << " differs between the runs";
  }
  EXPECT_EQ(fs::last_write_time(fs::path(tree.Path("a")) / "save" / "data1.sav"),
            fs::last_write_time(fs::path(tree.Path("b")) / "save" / "data1.sav"));

  // The font: the build's codes (rasterised from the face when it was there), here all boxes.
  const std::vector<uint16_t> codes = Codes(a.at("CHT.DAT"));
  EXPECT_EQ(codes, Codes(ReadHost(fs::path(TAMVIK_SAMPLE_DIR) / "CHT.DAT")));
  EXPECT_EQ(codes, testsupport::SampleFontCodes(options.extra_texts));
  ASSERT_FALSE(codes.empty());
  EXPECT_LE(codes.size(), 3000u);
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  const std::string& cht24 = a.at("CHT24.DAT");
  ASSERT_EQ(cht24.size(), codes.size() * 288);
  for (size_t g = 0; g < codes.size(); ++g) {
    // Big5 0xA140 is the ideographic space: an empty box.
    const std::vector<uint8_t> box = testsupport::BoxGlyph(codes[g] == 0xA140 ? 0x3000 : 0x4E00, 24);
    for (int row = 0; row < 24; ++row) {
      for (int col = 0; col < 24; col += 2) {
        const auto packed = static_cast<uint8_t>(cht24[g * 288 + static_cast<size_t>(row * 12 + col / 2)]);
        ASSERT_EQ(packed >> 4, box[static_cast<size_t>(row * 24 + col)]) << "glyph " << g;
        ASSERT_EQ(packed & 15, box[static_cast<size_t>(row * 24 + col + 1)]) << "glyph " << g;
      }
    }
  }
  EXPECT_EQ(a.at("ENG12.DAT").size(), 96u * 144u);
}

TEST(SampleData, TheWrittenFontHoldsEveryCharacterOfTheProgramsMessagesAndLiterals) {
  const std::vector<uint16_t> codes = Codes(ReadHost(fs::path(TAMVIK_SAMPLE_DIR) / "CHT.DAT"));
  ASSERT_FALSE(codes.empty());
  // Each character of a text by itself: its Big5 code, or none for a character Big5 cannot hold
  // (the two boxes whose texts are simplified Chinese, which the system's box font draws).
  const auto check = [&](const std::string& text, bool all_big5) -> size_t {
    SCOPED_TRACE(text);
    size_t drawn = 0;
    for (size_t i = 0; i < text.size();) {
      const auto lead = static_cast<uint8_t>(text[i]);
      const size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      const std::string one = text.substr(i, bytes);
      i += bytes;
      if (bytes == 1) continue;  // the single-byte glyphs hold all of ASCII
      const std::optional<std::string> big5 = Big5FromUtf8(one);
      if (!big5) {
        EXPECT_FALSE(all_big5) << one << " has no Big5 code";
        continue;
      }
      EXPECT_EQ(big5->size(), 2u) << one;
      if (big5->size() != 2) continue;
      const auto code = static_cast<uint16_t>(static_cast<uint8_t>((*big5)[0]) << 8 |
                                              static_cast<uint8_t>((*big5)[1]));
      EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), code)) << one << " missing";
      ++drawn;
    }
    return drawn;
  };
  const std::vector<std::string> messages = testsupport::ProgramMessageTexts();
  // The box that says the program runs already is drawn whole with the glyph fonts.
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(check(messages[0], true), 8u);
  for (const std::string& text : messages) check(text, false);
  for (const std::string& text : testsupport::GatherSourceTexts(TAMVIK_SOURCE_DIR)) check(text, false);
}

TEST(SampleData, GathersTheWideLiteralsOfTheSourcesOnce) {
  testsupport::TempTree tree;
  tree.Write("flow/a.cpp",
             "// \"註解\" is a comment\n"
             "const char* a = \"確定\";\n"
             "char q = '\"'; const char* b = \"ascii \\\" only\";\n"
             "const char* c = \"取消\\n\"; const char* d = \"確定\";\n");
  tree.Write("tests/b.cpp", "const char* t = \"測試\";\n");
  tree.Write("game/c.h", "#define X \"是\"\n");
  EXPECT_EQ(testsupport::GatherSourceTexts(tree.root()),
            (std::vector<std::string>{"是", "確定", "取消"}));
}

TEST(SampleData, PrintedTextsAreFullWidthAndEveryCharacterIsInTheFont) {
  const std::vector<uint16_t> font = Codes(ReadHost(fs::path(TAMVIK_SAMPLE_DIR) / "CHT.DAT"));
  for (const std::string& text : testsupport::SamplePrintedTexts()) {
    const std::optional<std::string> big5 = Big5FromUtf8(text);
    ASSERT_TRUE(big5.has_value()) << text;
    for (size_t i = 0; i < big5->size(); ++i) {
      const auto b = static_cast<uint8_t>((*big5)[i]);
      if (b < 0x80) {
        EXPECT_TRUE(b == '$' || b == '\r' || b == '\n') << "a single-byte character in " << text;
        continue;
      }
      ASSERT_LT(i + 1, big5->size()) << text;
      const auto code = static_cast<uint16_t>(b << 8 | static_cast<uint8_t>((*big5)[i + 1]));
      EXPECT_TRUE(std::binary_search(font.begin(), font.end(), code))
          << "not in the font: " << std::hex << code << " of " << text;
      ++i;
    }
  }
}

// The generator writes beside the directory and renames into place; it replaces an earlier
// sample (whatever that holds) and an empty directory, and refuses anything else untouched.
TEST(SampleData, ReplacesAnEarlierSampleAndRefusesAnyOtherDirectory) {
  testsupport::TempTree tree;
  testsupport::SampleOptions options;
  options.opening_pictures = 25;
  std::string error;
  const fs::path sample = tree.Path("sample");
  fs::create_directories(sample);
  ASSERT_TRUE(testsupport::WriteSampleData(sample.string(), options, &error)) << error;
  tree.Write("sample/stale.txt", "left by an earlier build");
  ASSERT_TRUE(testsupport::WriteSampleData(sample.string(), options, &error)) << error;
  EXPECT_FALSE(fs::exists(sample / "stale.txt"));
  EXPECT_TRUE(fs::exists(sample / "CHT.DAT"));

  tree.Write("mine/notes.txt", "a person's file");
  EXPECT_FALSE(testsupport::WriteSampleData(tree.Path("mine"), options, &error));
  EXPECT_NE(error.find("not a sample"), std::string::npos) << error;
  EXPECT_EQ(Contents(tree.Path("mine")).size(), 1u);
  EXPECT_EQ(ReadHost(fs::path(tree.Path("mine")) / "notes.txt"), "a person's file");

  // A run that cannot write leaves nothing behind: no half sample, no temporary directory.
  tree.Write("file", "a file where a directory would be");
  EXPECT_FALSE(testsupport::WriteSampleData(tree.Path("file") + "/sample", options, &error));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(tree.root())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"file", "mine", "sample"}));
}

}  // namespace
