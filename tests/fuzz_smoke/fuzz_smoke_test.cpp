// The fuzz entries without a fuzzer: every seed of every target, then a few hundred variants of
// the seeds made by a fixed sequence of mutations, each run through the same entry function the
// libFuzzer target calls. A broken rule of an entry is a test failure; memory faults show under
// the sanitizer build.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/entries/fuzz_entries.h"

namespace {

using fuzz::Bytes;

// Deterministic mutation source (a plain 64-bit LCG; the sequence is part of the test).
class Mutator {
 public:
  explicit Mutator(uint64_t seed) : state_(seed * 2862933555777941757ull + 3037000493ull) {}

  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : Next() % n; }

  // One to four mutations of the kinds a fuzzer starts with.
  Bytes Mutate(Bytes b) {
    static constexpr uint32_t kInteresting[] = {0,          1,          0x7F,       0x80,
                                                0xFF,       0x100,      0x7FFF,     0x8000,
                                                0xFFFF,     0x10000,    0x7FFFFFFF, 0x80000000,
                                                0xFFFFFFFF, 0xFFFFFFFE, 16,         18};
    const uint32_t count = 1 + Below(4);
    for (uint32_t m = 0; m < count; ++m) {
      const size_t at = b.empty() ? 0 : Below(static_cast<uint32_t>(b.size()));
      switch (Below(8)) {
        case 0:  // flip a bit
          if (!b.empty()) b[at] ^= static_cast<uint8_t>(1u << Below(8));
          break;
        case 1:  // a random byte
          if (!b.empty()) b[at] = static_cast<uint8_t>(Next());
          break;
        case 2:  // an interesting 32-bit value, little-endian
          if (b.size() >= 4) {
            const uint32_t v = kInteresting[Below(16)];
            const size_t p = std::min(at, b.size() - 4);
            for (int i = 0; i < 4; ++i) b[p + i] = static_cast<uint8_t>(v >> (8 * i));
          }
          break;
        case 3:  // insert bytes
          b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), 1 + Below(8),
                   static_cast<uint8_t>(Next()));
          break;
        case 4:  // erase a range
          if (!b.empty()) {
            const size_t n = std::min<size_t>(1 + Below(16), b.size() - at);
            b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                    b.begin() + static_cast<std::ptrdiff_t>(at + n));
          }
          break;
        case 5:  // truncate
          b.resize(at);
          break;
        case 6:  // copy a block over another place
          if (b.size() >= 2) {
            const size_t from = Below(static_cast<uint32_t>(b.size()));
            const size_t n = std::min({size_t{1} + Below(32), b.size() - from, b.size() - at});
            std::copy_n(Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                              b.begin() + static_cast<std::ptrdiff_t>(from + n))
                            .begin(),
                        n, b.begin() + static_cast<std::ptrdiff_t>(at));
          }
          break;
        default:  // an interesting byte
          if (!b.empty()) b[at] = static_cast<uint8_t>(kInteresting[Below(16)]);
          break;
      }
    }
    return b;
  }

 private:
  uint64_t state_;
};

// Failures the entries report while a test runs.
std::vector<std::string>* g_failures = nullptr;

void RecordFailure(const char* target, const char* what) {
  if (g_failures != nullptr) g_failures->push_back(std::string(target) + ": " + what);
}

// A test whose entries report broken rules as failures.
template <typename Param>
class RecordingTest : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    g_failures = &failures_;
    fuzz::SetFailureHandler(RecordFailure);
  }
  void TearDown() override {
    fuzz::SetFailureHandler(nullptr);
    g_failures = nullptr;
  }

  // Runs one input and reports any broken rule with the input's description.
  void Run(const fuzz::Target& target, const Bytes& input, const std::string& what) {
    failures_.clear();
    target.entry(input.data(), input.size());
    for (const std::string& f : failures_) ADD_FAILURE() << what << ": " << f;
  }

  std::vector<std::string> failures_;
};

class FuzzSmoke : public RecordingTest<const fuzz::Target*> {
 protected:
  void Run(const Bytes& input, const std::string& what) {
    RecordingTest::Run(*GetParam(), input, what);
  }
};

constexpr int kVariants = 300;

TEST_P(FuzzSmoke, SeedsAndMutatedVariantsKeepEveryRule) {
  const fuzz::Target& target = *GetParam();
  const std::vector<Bytes> seeds = target.seeds();
  ASSERT_FALSE(seeds.empty());
  for (size_t i = 0; i < seeds.size(); ++i) Run(seeds[i], "seed " + std::to_string(i));
  Mutator mutator(std::hash<std::string>{}(target.name) & 0xFFFF);
  for (int v = 0; v < std::min(kVariants, target.smoke_variants); ++v) {
    const size_t pick = mutator.Below(static_cast<uint32_t>(seeds.size()));
    Run(mutator.Mutate(seeds[pick]),
        "variant " + std::to_string(v) + " of seed " + std::to_string(pick));
  }
  // The empty input and a lone byte reach every entry's shortest path.
  Run({}, "empty input");
  Run({0x01}, "one byte");
}

std::vector<const fuzz::Target*> AllTargets() {
  std::vector<const fuzz::Target*> out;
  for (const fuzz::Target& t : fuzz::Targets()) out.push_back(&t);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzSmoke, ::testing::ValuesIn(AllTargets()),
                         [](const ::testing::TestParamInfo<const fuzz::Target*>& info) {
                           return std::string(info.param->name);
                         });

// The seeds made from a test table's rows (Target::row_seeds), each with one variant of it: one
// test per row, since each runs a whole battle.
struct RowCase {
  const fuzz::Target* target;
  fuzz::RowSeed seed;
};

std::vector<RowCase> AllRowCases() {
  std::vector<RowCase> out;
  for (const fuzz::Target& t : fuzz::Targets()) {
    if (t.row_seeds == nullptr) continue;
    for (fuzz::RowSeed& seed : t.row_seeds()) out.push_back({&t, std::move(seed)});
  }
  return out;
}

// Test names carry the row; the seed's bytes are not printed.
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.target->name << " " << c.seed.name; }

class FuzzRowSeeds : public RecordingTest<RowCase> {};

TEST_P(FuzzRowSeeds, SeedAndAVariantKeepEveryRule) {
  const RowCase& c = GetParam();
  Run(*c.target, c.seed.bytes, "seed");
  Mutator mutator(std::hash<std::string>{}(c.seed.name) & 0xFFFF);
  Run(*c.target, mutator.Mutate(c.seed.bytes), "variant");
}

INSTANTIATE_TEST_SUITE_P(Rows, FuzzRowSeeds, ::testing::ValuesIn(AllRowCases()),
                         [](const ::testing::TestParamInfo<RowCase>& info) {
                           return std::string(info.param.target->name) + "_" +
                                  info.param.seed.name;
                         });

TEST(FuzzParts, SplitAndJoinAgree) {
  const std::vector<Bytes> parts = {{1, 2}, {}, {0xF5, 'Z', '|'}, {9}};
  const Bytes joined = fuzz::JoinParts(parts);
  EXPECT_EQ(fuzz::SplitParts(joined.data(), joined.size(), 4), parts);
  // Fewer marks than parts: the rest are empty; more: the last part keeps the marks.
  const std::vector<Bytes> six = fuzz::SplitParts(joined.data(), joined.size(), 6);
  ASSERT_EQ(six.size(), 6u);
  EXPECT_TRUE(six[4].empty() && six[5].empty());
  const std::vector<Bytes> two = fuzz::SplitParts(joined.data(), joined.size(), 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0], parts[0]);
  EXPECT_EQ(two[1].size(), joined.size() - 2 - sizeof fuzz::kPartMark);
}

}  // namespace
