#include "engine/files/lzss.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/test_engine.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes into a heap block of exactly dst_len bytes (so that ASan sees any write past it) from
// a heap copy of the source of exactly its length (any read past it).
struct Decoded {
  int result;
  Bytes out;
};
Decoded Decode(const Bytes& src, size_t dst_len, uint8_t fill = 0xCC) {
  std::unique_ptr<uint8_t[]> in(new uint8_t[src.size() + (src.empty() ? 1 : 0)]);
  std::copy(src.begin(), src.end(), in.get());
  std::unique_ptr<uint8_t[]> out(new uint8_t[dst_len + (dst_len == 0 ? 1 : 0)]);
  std::fill(out.get(), out.get() + dst_len, fill);
  int r = LzssDecode(in.get(), static_cast<uint32_t>(src.size()), out.get(),
                     static_cast<uint32_t>(dst_len));
  return {r, Bytes(out.get(), out.get() + dst_len)};
}

TEST(Lzss, DecodesHandMadeStreams) {
  struct Case {
    const char* what;
    Bytes src;
    size_t dst_len;
    int result;
    Bytes expected;
  };
  const Case cases[] = {
      {"literals only", {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'}, 9, 1,
       {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}},
      // Ring position 4078 (0xFEE), length 3: the zero-filled ring before anything was written.
      {"reference into the untouched ring", {0x00, 0xEE, 0xF0}, 3, 1, {0, 0, 0}},
      {"reference to the far end of the ring", {0x00, 0x00, 0x0F}, 18, 1, Bytes(18, 0)},
      // 'x' lands at 4078; a reference to 4078 of length 5 repeats it while it is being written.
      {"overlapping reference repeats the last byte", {0x01, 'x', 0xEE, 0xF2}, 6, 1,
       {'x', 'x', 'x', 'x', 'x', 'x'}},
      // "ab" at 4078/4079, then a reference to 4078 of length 4: "abab".
      {"overlapping reference repeats a pair", {0x03, 'a', 'b', 0xEE, 0xF1}, 6, 1,
       {'a', 'b', 'a', 'b', 'a', 'b'}},
      // Flag bits are taken from the least significant: 0b101 = literal, reference, literal.
      {"flag bits from the lowest", {0x05, 'q', 0x00, 0x00, 'r'}, 5, 1, {'q', 0, 0, 0, 'r'}},
      {"destination full in the middle of a reference", {0x01, 'z', 0xEE, 0xFF}, 7, 1,
       {'z', 'z', 'z', 'z', 'z', 'z', 'z'}},
      {"input left over", {0xFF, 'a', 'b', 'c'}, 2, 0, {'a', 'b'}},
      {"a flag byte left over", {0x01, 'a', 0x00}, 1, 0, {'a'}},
      {"empty to empty", {}, 0, 1, {}},
      {"input but no output", {0xFF, 'a'}, 0, 0, {}},
      // Truncated sources: the decoder stops at the end of the input and reports 0; what was not
      // decoded keeps its previous contents.
      {"truncated after the flag byte", {0xFF}, 2, 0, {0xCC, 0xCC}},
      {"truncated literal run", {0xFF, 'a'}, 3, 0, {'a', 0xCC, 0xCC}},
      {"truncated inside a reference", {0x01, 'a', 0xEE}, 4, 0, {'a', 0xCC, 0xCC, 0xCC}},
      {"missing next flag byte", {0xFF, '1', '2', '3', '4', '5', '6', '7', '8'}, 9, 0,
       {'1', '2', '3', '4', '5', '6', '7', '8', 0xCC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Decoded d = Decode(c.src, c.dst_len);
    EXPECT_EQ(d.result, c.result);
    EXPECT_EQ(d.out, c.expected);
  }
}

TEST(Lzss, RingWrapsAfter4096Bytes) {
  // 4096 literals fill the ring once: byte k sits at (4078 + k) mod 4096. A reference to ring
  // position 0 then reads byte 18 of the output.
  testsupport::LzssStreamWriter w;
  Bytes plain;
  for (int k = 0; k < 4096; ++k) {
    const uint8_t b = static_cast<uint8_t>(k * 7 + 1);
    w.Literal(b);
    plain.push_back(b);
  }
  w.Reference(0, 3);
  plain.insert(plain.end(), {plain[18], plain[19], plain[20]});
  const Decoded d = Decode(w.bytes(), plain.size());
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.out, plain);
}

TEST(Lzss, RoundTripsTheEncoderOnMixedData) {
  testsupport::TestEngine engine;
  SeedRandom(12345);
  struct Case {
    const char* what;
    Bytes plain;
  };
  std::vector<Case> cases;
  Bytes noise(5000);
  for (auto& b : noise) b = static_cast<uint8_t>(GetRandomByte());
  cases.push_back({"noise", noise});
  Bytes runs;
  while (runs.size() < 20000) {
    const uint8_t b = static_cast<uint8_t>(GetRandomByte() & 7);
    runs.insert(runs.end(), 1 + GetRandom() % 40, b);
  }
  cases.push_back({"runs", runs});
  Bytes text;
  const std::string words[] = {"alpha ", "beta ", "gamma ", "delta\r\n", "\0\0\0\0"};
  while (text.size() < 30000) {
    const std::string& w = words[GetRandom() % 5];
    text.insert(text.end(), w.begin(), w.end());
  }
  cases.push_back({"words", text});
  cases.push_back({"zeros", Bytes(10000, 0)});
  cases.push_back({"one byte", {42}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes packed = testsupport::LzssEncode(c.plain);
    const Decoded d = Decode(packed, c.plain.size());
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.out, c.plain);
    // Every cut of the packed stream decodes without reading past it and reports 0.
    if (packed.size() < 64) {
      for (size_t cut = 0; cut < packed.size(); ++cut) {
        Bytes part(packed.begin(), packed.begin() + static_cast<long>(cut));
        EXPECT_EQ(Decode(part, c.plain.size()).result, 0) << "cut at " << cut;
      }
    } else {
      Bytes part(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
      EXPECT_EQ(Decode(part, c.plain.size()).result, 0);
    }
  }
}

}  // namespace
