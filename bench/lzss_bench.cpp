// LZSS decoding speed on a 1 MB stream that mixes the kinds of data the game packs: runs of one
// pixel value, repeated short patterns and incompressible noise.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/files/lzss.h"
#include "engine/files/random.h"
#include "testsupport/lzss_writer.h"

namespace {

std::vector<uint8_t> MixedData(size_t size) {
  GameRandom random;
  random.Seed(2024);
  std::vector<uint8_t> data;
  data.reserve(size + 64);
  while (data.size() < size) {
    const int kind = random.Next() % 3;
    const size_t length = 16 + static_cast<size_t>(random.Next() % 240);
    if (kind == 0) {  // a run of one 16-bit pixel
      const uint8_t lo = static_cast<uint8_t>(random.Next());
      const uint8_t hi = static_cast<uint8_t>(random.Next());
      for (size_t i = 0; i < length; i += 2) data.insert(data.end(), {lo, hi});
    } else if (kind == 1) {  // a short pattern repeated
      uint8_t pattern[6];
      for (uint8_t& b : pattern) b = static_cast<uint8_t>(random.Next());
      for (size_t i = 0; i < length; ++i) data.push_back(pattern[i % 6]);
    } else {  // noise
      for (size_t i = 0; i < length; ++i) data.push_back(static_cast<uint8_t>(random.Next() >> 3));
    }
  }
  data.resize(size);
  return data;
}

void BM_LzssDecodeMixed1MB(benchmark::State& state) {
  static const std::vector<uint8_t> plain = MixedData(1 << 20);
  static const std::vector<uint8_t> packed = testsupport::LzssEncode(plain);
  std::vector<uint8_t> out(plain.size());
  for (auto _ : state) {
    const int ok = LzssDecode(packed.data(), static_cast<uint32_t>(packed.size()), out.data(),
                              static_cast<uint32_t>(out.size()));
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  if (out != plain) state.SkipWithError("decoded data differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(plain.size()));
  state.counters["packed_bytes"] = static_cast<double>(packed.size());
}
BENCHMARK(BM_LzssDecodeMixed1MB)->Unit(benchmark::kMillisecond);

}  // namespace
