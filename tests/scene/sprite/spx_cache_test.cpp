// The sprite cache: budget, names, recency, masks, eviction and the shared part bytes.

#include <gtest/gtest.h>

#include "scene/scene_context.h"
#include "scene/sprite/spr_image.h"
#include "scene/sprite/spx_cache.h"
#include "scene/ui/tamvik_func.h"
#include "tests/scene/sprite/spr_test_support.h"

namespace {

using namespace testsupport;

constexpr uint64_t kMb = uint64_t{1} << 20;

// Parts of `size` bytes (one kind-3 part, which nothing builds).
SprPartStore PartsOf(uint32_t size) {
  SprPartStore store;
  store.Set(3, std::vector<uint8_t>(size, 0xAB));
  return store;
}

class SpxCacheTest : public ::testing::Test {
 protected:
  SpxCache& cache() { return fx.scene.scene().spx_cache; }
  void SetMemory(uint64_t bytes) { fx.scene.engine().host.window.memory[0] = bytes; }

  spr_test::SprFixture fx;
  TraceCapture trace;
};

TEST_F(SpxCacheTest, BudgetFollowsPhysicalMemoryClampedAt4Gb) {
  const uint64_t clamp = (0xFFFFFFFFull - 64 * kMb) / 8 + 4 * kMb;
  struct Case {
    uint64_t memory;
    uint64_t budget;
  } cases[] = {
      {0, 4 * kMb},           {32 * kMb, 4 * kMb}, {64 * kMb, 4 * kMb},
      {128 * kMb, 12 * kMb},  {256 * kMb, 28 * kMb}, {4096 * kMb, clamp},
      {64 * 1024 * kMb, clamp}, {~uint64_t{0}, clamp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.memory);
    EXPECT_EQ(SpxCache::BudgetFor(c.memory), c.budget);
  }
  EXPECT_EQ(clamp >> 20, 507u);

  // Taken from the memory status at the first use, with its trace.
  SetMemory(128 * kMb);
  SprParts out;
  EXPECT_EQ(cache().budget(), 0u);
  EXPECT_EQ(cache().Lookup("x.spr", 6, &out), 0);
  EXPECT_EQ(cache().budget(), 12 * kMb);
  EXPECT_TRUE(trace.Contains("SpxCacheBufferSize: 12288Kbytes\n"));
}

TEST_F(SpxCacheTest, NameHashUsesSignedBytes) {
  struct Case {
    std::string name;
    uint32_t bucket;
  } cases[] = {
      {"A", 65 * 13 % 251},
      {"\xFF", 110},          // -13 in a wrapping u32 (2^32 = 123 mod 251)
      {"\x80", 216},          // -1664
      {"A\x80", (123 + 845 - 1664 + 251 * 10) % 251},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SpxNameTable::Hash(c.name), c.bucket);
  }
}

TEST_F(SpxCacheTest, NamesAreUpperCasedByAsciiRulesOnly) {
  EXPECT_EQ(SpxCache::UpperName("tamvik1\\system\\nowload.spr"), "TAMVIK1\\SYSTEM\\NOWLOAD.SPR");
  EXPECT_EQ(SpxCache::UpperName("\xe4\xb8\xad-a\xe9z"), "\xe4\xb8\xad-A\xe9Z");

  SetMemory(256 * kMb);
  cache().Insert("tamvik1\\system\\nowload.spr", 6, PartsOf(100), 100);
  SprParts out;
  EXPECT_EQ(cache().Lookup("TAMVIK1\\SYSTEM\\NOWLOAD.SPR", 6, &out), 1);
  EXPECT_EQ(cache().Lookup("Tamvik1\\System\\NowLoad.spr", 6, &out), 1);
  EXPECT_EQ(cache().count(), 1u);
  EXPECT_TRUE(trace.Contains("SpxCache:: Cache hit : File=TAMVIK1\\SYSTEM\\NOWLOAD.SPR \n"));
  ASSERT_TRUE(out[3].present());
  EXPECT_EQ(out[3].size, 100u);
}

TEST_F(SpxCacheTest, LeastRecentlyUsedGoesFirstAndAHitIsEvictedLast) {
  SetMemory(64 * kMb);  // 4 MB
  SprParts out;
  cache().Lookup("none", 6, &out);
  cache().Insert("a", 6, PartsOf(1 * kMb), 1 * kMb);
  cache().Insert("b", 6, PartsOf(1 * kMb), 1 * kMb);
  cache().Insert("c", 6, PartsOf(1 * kMb), 1 * kMb);
  EXPECT_EQ(cache().Lookup("a", 6, &out), 1);
  EXPECT_EQ(cache().RecencyNames(), (std::list<std::string>{"B", "C", "A"}));
  trace.Clear();
  cache().Insert("d", 6, PartsOf(2 * kMb), 2 * kMb);  // b goes: 4 MB fit exactly
  EXPECT_EQ(cache().RecencyNames(), (std::list<std::string>{"C", "A", "D"}));
  EXPECT_EQ(cache().total(), 4 * kMb);
  cache().Insert("e", 6, PartsOf(2 * kMb), 2 * kMb);  // c, then a
  EXPECT_EQ(cache().RecencyNames(), (std::list<std::string>{"D", "E"}));
  EXPECT_TRUE(trace.Contains("SpxCache::Total 4096K, Cache 2048K,E \n"));
  EXPECT_EQ(cache().Lookup("b", 6, &out), 0);
  EXPECT_EQ(cache().FindByName("c"), nullptr);
  // Emptied: nothing found, nothing counted, and the budget as it was.
  const uint32_t budget = cache().budget();
  cache().Clear();
  EXPECT_EQ(cache().count(), 0u);
  EXPECT_EQ(cache().total(), 0u);
  EXPECT_EQ(cache().Lookup("d", 6, &out), 0);
  EXPECT_EQ(cache().FindByName("e"), nullptr);
  EXPECT_EQ(cache().budget(), budget);
}

TEST_F(SpxCacheTest, ALoadOverTheBudgetEmptiesTheCacheAndStaysOver) {
  SetMemory(64 * kMb);
  cache().Insert("a", 6, PartsOf(kMb), kMb);
  cache().Insert("b", 6, PartsOf(kMb), kMb);
  trace.Clear();
  cache().Insert("big", 6, PartsOf(5 * kMb), 5 * kMb);
  EXPECT_TRUE(trace.Contains("SpxCache:: Cache Buf Illegal!!\n"));
  EXPECT_EQ(cache().RecencyNames(), (std::list<std::string>{"BIG"}));
  EXPECT_EQ(cache().total(), 5 * kMb);
  EXPECT_GT(cache().total(), cache().budget());
  // The next insert evicts it in its turn.
  cache().Insert("small", 6, PartsOf(kMb), kMb);
  EXPECT_EQ(cache().RecencyNames(), (std::list<std::string>{"SMALL"}));
}

TEST_F(SpxCacheTest, AHitNeedsTheSameMask) {
  ASSERT_TRUE(fx.OpenDisplay());
  SprFileWriter w;
  w.Add(1, ColourPart({{}, {31, 0, 0}}));
  w.Add(2, ImagePart({{1, 1, kSprDepth8, 0, {1}}}));
  w.Add(4, RecordPart({}));
  w.Add(5, RecordPart({}));
  const std::string name = fx.Write("both.spr", w.Build());
  const auto load = [&](uint32_t mask) {
    SprLoadParam param;
    param.surface = SURFACE_SCRATCH;
    param.use_cache = 1;
    param.file_name = name.c_str();
    return TamvikFunc::LoadSpxSplitData(name.c_str(), &param, mask);
  };
  EXPECT_EQ(load(kSprMaskPicture), 1);
  EXPECT_EQ(load(kSprMaskAnimation), 1);  // empty unit and animation tables; parts cached
  EXPECT_EQ(cache().count(), 2u);
  // The name table finds the newer (mask 54) entry: the picture load reads the file again.
  trace.Clear();
  EXPECT_EQ(load(kSprMaskPicture), 1);
  EXPECT_FALSE(trace.Contains("Cache hit"));
  EXPECT_EQ(cache().count(), 3u);
  // Now the newest is a mask-6 entry: a hit.
  trace.Clear();
  EXPECT_EQ(load(kSprMaskPicture), 1);
  EXPECT_TRUE(trace.Contains("Cache hit"));
  EXPECT_EQ(cache().count(), 3u);
}

TEST_F(SpxCacheTest, CachedPartsStayAsStoredThroughRepeatedBuilds) {
  ASSERT_TRUE(fx.OpenDisplay());
  std::vector<uint8_t> values(64);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i * 5);
  const std::vector<uint8_t> file = PictureFile(
      {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}},
      {{8, 8, kSprDepth8, 0, values}, {4, 2, kSprDepth16 | kSprPacked, 0, {}}}, 2, 0);
  const std::string name = fx.Write("same.spr", file);
  SprLoadParam param;
  param.surface = SURFACE_SCRATCH;
  param.use_cache = 1;
  param.level = 100;
  ASSERT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, kSprMaskPicture), 1);
  SpxCacheEntry* entry = cache().FindByName(name.c_str());
  ASSERT_NE(entry, nullptr);
  const SprParts parts = entry->parts.View();
  const std::vector<uint8_t> colours(parts[1].data, parts[1].data + parts[1].size);
  const std::vector<uint8_t> images(parts[2].data, parts[2].data + parts[2].size);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, kSprMaskPicture), 1);
    ASSERT_EQ(TamvikFunc::BuildSprites(&param, parts[1], parts[2]), 1);
  }
  EXPECT_EQ(std::vector<uint8_t>(parts[1].data, parts[1].data + parts[1].size), colours);
  EXPECT_EQ(std::vector<uint8_t>(parts[2].data, parts[2].data + parts[2].size), images);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 256, file.begin() + 256 + colours.size()), colours);
}

TEST_F(SpxCacheTest, APictureFailingToBuildStillLeavesItsPartsWithTheCache) {
  ASSERT_TRUE(fx.OpenDisplay());
  const std::string name =
      fx.Write("bad.spr", PictureFile({}, {{2, 2, kSprDepth8, 0, {1}}}));  // data short
  SprLoadParam param;
  param.surface = SURFACE_SCRATCH;
  param.use_cache = 1;
  EXPECT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, kSprMaskPicture), 0);
  EXPECT_EQ(cache().count(), 1u);
  param.use_cache = 0;
  EXPECT_EQ(TamvikFunc::LoadSpxSplitData("missing.spr", &param, kSprMaskPicture), 0);
  EXPECT_TRUE(trace.Contains("TamvikFunc::LoadSpxSplitData missing.spr Failed !\n"));
  EXPECT_EQ(cache().count(), 1u);
}

}  // namespace
