// IMA ADPCM by the reference arithmetic: nibble sequences worked out by hand (step index 0 and
// 88, both ends of the sample range), and blocks (mono, stereo groups, partial last blocks).

#include "platform/ima_adpcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::DecodeImaAdpcmBlock;
using platform::ImaAdpcmBlockSamples;
using platform::ImaAdpcmChannel;
using platform::ImaAdpcmExpand;

TEST(ImaAdpcm, NibblesFollowTheReferenceArithmetic) {
  struct Step {
    uint32_t code;
    int sample;  // after the code
    int index;
  };
  const struct {
    const char* name;
    ImaAdpcmChannel start;
    std::vector<Step> steps;
  } cases[] = {
      // Step 7: 7 >> 3 + 7 + 3 + 1 = 11 (FFmpeg's ((2 x 7 + 1) x 7) >> 3 gives 13); step 16:
      // 2 + 16 + 8 + 4 = 30; code 0 at step 34 adds 34 >> 3 = 4; the index never goes below 0.
      {"index 0 upwards", {0, 0}, {{7, 11, 8}, {7, 41, 16}, {0, 45, 15}, {8, 42, 14}}},
      {"index 0 stays", {5, 0}, {{0, 5, 0}, {8, 5, 0}, {1, 6, 0}, {9, 5, 0}}},
      // Step 32767: 4095 + 32767 + 16383 + 8191 = 61436, held at 32767 and at -32768.
      {"index 88, both ends",
       {0, 88},
       {{7, 32767, 88}, {15, -28669, 88}, {15, -32768, 88}, {8, -32768, 87}, {0, -29044, 86}}},
      // Step 876 at index 50: 109 + 876 = 985 below -32000 is held at -32768.
      {"held at the bottom", {-32000, 50}, {{12, -32768, 52}, {4, -31576, 54}}},
      // Step 1060 at index 52: 132 + 530 = 662; index 51, step 963: 120 + 240 = 360; index 50,
      // step 876, downwards: 109 + 438 + 219 = 766.
      {"bits 1 and 0 alone", {100, 52}, {{2, 762, 51}, {1, 1122, 50}, {11, 356, 49}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ImaAdpcmChannel state = c.start;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(ImaAdpcmExpand(state, c.steps[i].code), c.steps[i].sample) << "code " << i;
      EXPECT_EQ(state.index, c.steps[i].index) << "code " << i;
    }
  }
}

TEST(ImaAdpcm, BlocksDecodeMonoBytesAndStereoGroups) {
  // Mono: header (100, index 0), then one byte: low nibble 0, high nibble 7.
  const std::vector<uint8_t> mono = {100, 0, 0, 0, 0x70};
  ASSERT_EQ(ImaAdpcmBlockSamples(5, 1), 3u);
  std::vector<int16_t> out(3);
  ASSERT_TRUE(DecodeImaAdpcmBlock(mono.data(), 5, 1, out.data()));
  EXPECT_EQ(out, (std::vector<int16_t>{100, 100, 111}));

  // Stereo: left (0, index 0) codes 7 7 0 0 0 0 0 0; right (1000, index 88) codes 8 0 0 0 0 0 0 0.
  const std::vector<uint8_t> stereo = {0,    0, 0, 0, 0xE8, 0x03, 88, 0,  // headers
                                       0x77, 0, 0, 0, 0x08, 0,    0,  0,  // one round of groups
                                       1,    2, 3, 4, 5};                 // a partial round
  const std::vector<int16_t> left = {0, 11, 41, 45, 48, 51, 54, 56, 58};
  const std::vector<int16_t> right = {1000, -3095, 629, 4014, 7091, 9889, 12432, 14744, 16846};
  for (uint32_t bytes : {16u, 21u}) {
    SCOPED_TRACE(bytes);
    ASSERT_EQ(ImaAdpcmBlockSamples(bytes, 2), 9u);
    std::vector<int16_t> pcm(18);
    ASSERT_TRUE(DecodeImaAdpcmBlock(stereo.data(), bytes, 2, pcm.data()));
    for (size_t i = 0; i < 9; ++i) {
      EXPECT_EQ(pcm[2 * i], left[i]) << i;
      EXPECT_EQ(pcm[2 * i + 1], right[i]) << i;
    }
  }

  // Sizes: whole blocks, partial ones, headers alone and less.
  const struct {
    uint32_t bytes;
    uint16_t channels;
    uint32_t samples;
  } sizes[] = {{256, 1, 505}, {512, 1, 1017}, {7, 1, 7}, {4, 1, 1}, {3, 1, 0},
               {1024, 2, 1017}, {8, 2, 1}, {15, 2, 1}, {7, 2, 0}, {0, 1, 0}, {100, 0, 0}};
  for (const auto& s : sizes) {
    EXPECT_EQ(ImaAdpcmBlockSamples(s.bytes, s.channels), s.samples)
        << s.bytes << " bytes, " << s.channels << " channels";
  }

  // A step index beyond the table is a damaged block.
  std::vector<uint8_t> bad = mono;
  bad[2] = 89;
  EXPECT_FALSE(DecodeImaAdpcmBlock(bad.data(), 5, 1, out.data()));
}

}  // namespace
