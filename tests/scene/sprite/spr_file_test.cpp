// The sprite-file container: header, directory, the part reader by mask, record tables and the
// hit block.

#include <gtest/gtest.h>

#include <cstring>

#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "tests/scene/sprite/spr_test_support.h"

namespace {

using namespace testsupport;
using spr_test::PartOf;

class SprFileTest : public ::testing::Test {
 protected:
  spr_test::SprFixture fx;
  TraceCapture trace;

  // Reads with a mask; returns the total and fills `store`.
  uint32_t Read(const std::vector<uint8_t>& file, uint32_t mask, SprPartStore* store) {
    return TamvikFunc::ReadSpxParts(fx.Write("a.spr", file).c_str(), mask, store);
  }
  static std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
  }
  static std::vector<uint8_t> Copy(const SprPart& part) {
    return part.present() ? std::vector<uint8_t>(part.data, part.data + part.size)
                          : std::vector<uint8_t>{};
  }
};

TEST_F(SprFileTest, CheckSprHeaderConvertsTheDirectoryAndRefusesAWrongMagic) {
  SprFileWriter w;
  w.Add(7, Bytes(20, 1), 3);
  std::vector<uint8_t> file = w.Build();
  SprFileHeader header;
  std::memcpy(&header, file.data(), sizeof header);
  ASSERT_EQ(TamvikFunc::CheckSprHeader(&header), 1);
  EXPECT_EQ(header.entries[3].offset, 256u);
  EXPECT_EQ(header.entries[3].size, 20u);
  EXPECT_EQ(header.entries[3].kind, 7u);
  EXPECT_EQ(header.entries[0].kind, 0u);

  file[9] = 'X';
  std::memcpy(&header, file.data(), sizeof header);
  EXPECT_EQ(TamvikFunc::CheckSprHeader(&header), 0);
  EXPECT_TRUE(trace.Contains("Not SprFile\n"));
}

TEST_F(SprFileTest, UnreadableFilesGiveNothing) {
  SprFileWriter w;
  w.Add(1, Bytes(40, 0));
  std::vector<uint8_t> wrong_magic = w.Build();
  wrong_magic[0] = 'z';
  const std::vector<uint8_t> whole = w.Build();
  const std::vector<uint8_t> short_header(whole.begin(), whole.begin() + 255);
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* traced;
  } cases[] = {
      {"wrong magic", wrong_magic, "Not SprFile"},
      {"under 256 bytes", short_header, "header cannot be read"},
      {"empty file", {}, "header cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    trace.Clear();
    SprPartStore store;
    EXPECT_EQ(Read(c.file, 0, &store), 0u);
    EXPECT_EQ(store.View().PresentMask(), 0u);
    EXPECT_TRUE(trace.Contains(c.traced));
  }
  SprPartStore store;
  EXPECT_EQ(TamvikFunc::ReadSpxParts("missing.spr", 0, &store), 0u);
}

TEST_F(SprFileTest, DirectoryEntriesByMaskKindAndBounds) {
  SprFileWriter w;
  w.Add(2, Bytes(30, 10), 9);   // in a late slot, data first
  w.Add(14, Bytes(16, 0));      // no slot for kind 14
  w.Add(5, Bytes(20, 50));
  w.Add(5, Bytes(24, 90));      // the later entry of kind 5 wins; both count in the total
  w.Add(1, Bytes(18, 7), 0);
  auto& past = w.Add(12, Bytes(16, 0));
  past.size = 100000;           // reaches past the end of the file
  const std::vector<uint8_t> file = w.Build();

  struct Case {
    uint32_t mask;
    uint32_t present;
    uint32_t total;
  } cases[] = {
      {0, 1u << 1 | 1u << 2 | 1u << 5, 18 + 30 + 20 + 24},
      {kSprMaskPicture, 1u << 1 | 1u << 2, 18 + 30},
      {1u << 5, 1u << 5, 20 + 24},
      {1u << 12, 0, 0},  // the only kind-12 entry is refused
      {1u << 4 | 1u << 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    trace.Clear();
    SprPartStore store;
    EXPECT_EQ(Read(file, c.mask, &store), c.total);
    const SprParts parts = store.View();
    EXPECT_EQ(parts.PresentMask(), c.present);
    if ((c.present & 1u << 5) != 0) {
      EXPECT_EQ(Copy(parts[5]), Bytes(24, 90));
    }
    if ((c.present & 1u << 2) != 0) {
      EXPECT_EQ(Copy(parts[2]), Bytes(30, 10));
    }
    if ((c.present & 1u << 1) != 0) {
      EXPECT_EQ(Copy(parts[1]), Bytes(18, 7));
    }
    if (c.mask == 0 || c.mask == (1u << 12)) {
      EXPECT_TRUE(trace.Contains("passes the end of the file"));
    }
  }
}

// The total counts every entry read, a replaced one too, and is what the sprite cache is told.
TEST_F(SprFileTest, TheTotalOfARepeatedKindCountsEveryEntryReadAndGoesToTheCache) {
  SprFileWriter w;
  w.Add(1, Bytes(40, 1));
  w.Add(2, Bytes(36, 2));
  w.Add(1, Bytes(44, 3));  // kind 1 again: it replaces the first
  w.Add(2, Bytes(28, 4));  // and kind 2
  const std::string name = fx.Write("twice.spr", w.Build());
  SprPartStore store;
  EXPECT_EQ(TamvikFunc::ReadSpxParts(name.c_str(), kSprMaskPicture, &store), 40u + 36 + 44 + 28);
  EXPECT_EQ(Copy(store.View()[1]), Bytes(44, 3));
  EXPECT_EQ(Copy(store.View()[2]), Bytes(28, 4));

  const uint64_t before = Scene().spx_cache.total();
  SprLoadParam param;
  param.use_cache = 1;
  TamvikFunc::LoadSpxSplitData(name.c_str(), &param, kSprMaskPicture);
  EXPECT_EQ(Scene().spx_cache.total() - before, 40u + 36 + 44 + 28);
}

TEST_F(SprFileTest, DirectoryAndDataInAnyOrderReadTheSame) {
  for (bool reverse : {false, true}) {
    SCOPED_TRACE(reverse);
    SprFileWriter w;
    w.Add(9, Bytes(17, 3), 14);
    w.Add(10, Bytes(33, 4), 2);
    w.Add(13, Bytes(16, 5), 7);
    if (reverse) w.ReverseData();
    SprPartStore store;
    EXPECT_EQ(Read(w.Build(), 0, &store), 17u + 33 + 16);
    const SprParts parts = store.View();
    EXPECT_EQ(Copy(parts[9]), Bytes(17, 3));
    EXPECT_EQ(Copy(parts[10]), Bytes(33, 4));
    EXPECT_EQ(Copy(parts[13]), Bytes(16, 5));
  }
}

TEST_F(SprFileTest, RecordTablesAreCheckedAgainstThePartSize) {
  const std::vector<uint8_t> two = RecordPart({SprRecord{}, SprRecord{}});
  uint32_t n = 99;
  EXPECT_NE(SprRecordTable(PartOf(two), &n, "test"), nullptr);
  EXPECT_EQ(n, 2u);
  const std::vector<uint8_t> claims_three = RecordPart({SprRecord{}, SprRecord{}}, {}, {}, 3);
  EXPECT_EQ(SprRecordTable(PartOf(claims_three), &n, "test"), nullptr);
  EXPECT_EQ(n, 0u);
  const std::vector<uint8_t> no_header(15, 0);
  EXPECT_EQ(SprRecordTable(PartOf(no_header), &n, "test"), nullptr);
  EXPECT_EQ(SprRecordTable(SprPart{}, &n, "test"), nullptr);
}

// ---- Hit block ----

class SprHitTest : public SprFileTest {
 protected:
  std::vector<uint8_t> Load(const std::vector<uint8_t>& file, uint32_t n) {
    return TamvikFunc::LoadSpxHitData(fx.Write("hit.spr", file).c_str(), n);
  }
};

TEST_F(SprHitTest, BlockHoldsRowCountCodesAndBigEndianValues) {
  SprFileWriter w;
  w.Add(12, HitPart({{{0x0102, {0x1122, 0x3344, 0x5566, 0x7788}}}}));  // replaced below
  w.Add(12, HitPart({
                {{0x0A07, {0x0102, 0x0304, 0x0506, 0x0708}}, {0x00FF, {0xA1A2, 0xB1B2, 0xC1C2, 0xD1D2}}},
                {{0x0001, {1, 2, 3, 4}}},
            }));
  const std::vector<uint8_t> file = w.Build();
  EXPECT_EQ(Load(file, 0), (std::vector<uint8_t>{2, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xA1, 0xA2,
                                                 0xB1, 0xB2, 0xC1, 0xC2, 0xD1, 0xD2}));
  EXPECT_EQ(Load(file, 1), (std::vector<uint8_t>{1, 0x01, 0, 1, 0, 2, 0, 3, 0, 4}));
}

TEST_F(SprHitTest, UnusableRequestsGiveNoBlock) {
  const std::vector<uint8_t> one_table = HitPart({{{1, {1, 2, 3, 4}}}});
  std::vector<uint8_t> row_past_end = one_table;
  PutBe32(row_past_end, 16, 1);  // the row starts one byte later: its end passes the part's
  std::vector<uint8_t> count_past_end = one_table;
  PutBe16(count_past_end, 0, 4);

  const auto file_of = [](uint32_t kind, const std::vector<uint8_t>& part) {
    SprFileWriter w;
    w.Add(kind, part);
    return w.Build();
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    uint32_t n;
    const char* traced;
  } cases[] = {
      {"record number too large", file_of(12, one_table), 1, "RequestNo is too Large\n"},
      {"row offset past the part", file_of(12, row_past_end), 0, "pass the part's end"},
      {"records past the part", file_of(12, count_past_end), 0, "pass the part's end"},
      {"no kind-12 part", file_of(2, one_table), 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    trace.Clear();
    EXPECT_TRUE(Load(c.file, c.n).empty());
    if (*c.traced != '\0') {
      EXPECT_TRUE(trace.Contains(c.traced));
    }
  }
}

}  // namespace
