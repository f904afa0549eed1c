// save\minigame.dat: read by mg_start, written whole by mg_end.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_save.h"
#include "mg_fixture.h"
#include "testsupport/faulty_files.h"
#include "testsupport/od_writer.h"

namespace {

using mg_test::MgFixture;

constexpr const char* kDat = "install/save/minigame.dat";

std::vector<uint8_t> Counting(size_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(i / 4 + 1);
  return out;
}

// The value variable 16 + i holds when the file had the Counting bytes.
int32_t CountingValue(int i) {
  const uint32_t b = static_cast<uint32_t>(i + 1);
  return static_cast<int32_t>(b | b << 8 | b << 16 | b << 24);
}

TEST(MinigameSave, ReadByStartWrittenByEnd) {
  struct Case {
    const char* name;
    bool present;
    std::vector<uint8_t> file;
    int values_held;  // variables 16.. read from the file
  };
  std::vector<Case> cases = {
      {"missing", false, {}, 0},
      {"valid", true, Counting(128), 32},
      {"200 bytes", true, Counting(200), 32},
      {"all 0xFF", true, std::vector<uint8_t>(128, 0xFF), -1},
  };
  // Cut at any length the file is not used: nothing of it is read.
  for (size_t size = 0; size < 128; ++size) cases.push_back({"cut", true, Counting(size), 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.file.size()));
    MgFixture f;
    ASSERT_TRUE(f.opened);
    if (c.present) f.tree.Write(kDat, c.file);
    ASSERT_EQ(mg_start(0, 1), 1);
    for (int i = 0; i < 32; ++i) {
      const int32_t want = c.values_held < 0 ? -1 : i < c.values_held ? CountingValue(i) : 0;
      EXPECT_EQ(mg_var_get(16 + i), want) << "variable " << 16 + i;
    }
    mg_var_set(47, 1234);
    ASSERT_EQ(mg_end(), 1);
    const std::string saved = f.tree.Read(kDat);
    ASSERT_EQ(saved.size(), 128u);
    EXPECT_EQ(testsupport::MinigameDatValue(saved, 47), 1234);
    EXPECT_EQ(testsupport::MinigameDatValue(saved, 16), c.values_held == 0 ? 0 : mg_var_get(16));
  }
}

TEST(MinigameSave, AnUnreadableFileIsKept) {
  MgFixture f;
  ASSERT_TRUE(f.opened);
  const std::vector<uint8_t> rankings = testsupport::MinigameDat({{18, 900}, {19, 800}});
  f.tree.Write(kDat, rankings);
  testsupport::FaultyFiles files{f.game.engine.host.files};
  f.game.engine.host.seams().files = &files;
  files.reads_before_failure = 0;
  ASSERT_EQ(mg_start(0, 1), 1);
  files.reads_before_failure = -1;
  EXPECT_EQ(mg_var_get(18), 0);
  mg_var_set(18, 5);
  ASSERT_EQ(mg_end(), 1);
  f.game.engine.host.seams().files = &f.game.engine.host.files;
  EXPECT_EQ(f.tree.Read(kDat), std::string(rankings.begin(), rankings.end()));
  EXPECT_TRUE(f.trace.Contains("not written"));
}

TEST(MinigameSave, StartDuringAGameSavesItFirst) {
  MgFixture f;
  ASSERT_TRUE(f.opened);
  ASSERT_EQ(mg_start(0, 1), 1);
  mg_var_set(20, 42);
  ASSERT_EQ(mg_start(3, 1), 1);
  EXPECT_EQ(mg_var_get(20), 42) << "saved by the end of the first game, read again";
  EXPECT_EQ(testsupport::MinigameDatValue(f.tree.Read(kDat), 20), 42);
  mg_end();
}

}  // namespace
