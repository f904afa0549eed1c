// Starting a sound again reuses what the last one left: the path search's strings, the open
// file's slots, the channel's block buffers and the sound buffer's memory. A voice started in
// the middle of an attack's frames then allocates nothing, and is heard exactly as before.
//
// The program's operator new counts the allocations of the test's own thread
// (testsupport/counting_new).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "channel_rig.h"
#include "testsupport/counting_new/counting_new.h"

namespace {

using soundtest::ChannelRig;
using soundtest::FirstDifference;
using soundtest::Heard;
using soundtest::Marked;
using testsupport::PcmWav;
using testsupport::WavFile;

constexpr uint32_t kRate = 22050;

struct ReplayCase {
  const char* what;
  const char* stored[2];  // the files as written, under the folder
  const char* asked[2];   // the names played (another case: found through the listing)
  int channel;
};

TEST(SoundReuse, ASoundStartedAgainAllocatesNothingAndIsHeardTheSame) {
  const ReplayCase cases[] = {
      {"voice, names as stored", {"voice/v1.wav", "voice/v2.wav"}, {"voice/v1.wav", "voice/v2.wav"},
       kChannelVoice},
      {"voice, names in another case", {"voice/v1.wav", "voice/v2.wav"},
       {"VOICE\\V1.WAV", "Voice\\V2.Wav"}, kChannelVoice},
      {"streamed effect", {"se/hit.wav", "se/miss.wav"}, {"SE\\HIT.WAV", "se\\Miss.wav"},
       kChannelSe},
  };
  for (const ReplayCase& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig(kRate);
    std::vector<WavFile> wavs;
    std::vector<std::string> names;
    for (int i = 0; i < 2; ++i) {
      wavs.push_back(PcmWav(1, kRate, 16, Marked(kRate / 2, static_cast<uint32_t>(i + 1))));
      rig.Put(c.stored[i], wavs.back());
      names.push_back(rig.tree.Path(c.asked[i]));
    }
    // The first start warms the kept memory; the rest start allocating nothing.
    ASSERT_EQ(rig.dsound().PlayChannel(c.channel, names[0].c_str()), 1);
    rig.Frames(3);
    for (int round = 0; round < 3; ++round) {
      const int i = round % 2;
      rig.dsound().StopChannel(c.channel);
      const size_t from = rig.MixedFrames();
      const uint64_t before = counting_new::ThreadAllocations();
      ASSERT_EQ(rig.dsound().PlayChannel(c.channel, names[static_cast<size_t>(i)].c_str()), 1);
      EXPECT_EQ(counting_new::ThreadAllocations() - before, 0u) << "round " << round;
      EXPECT_EQ(rig.audio().mixer().buffer_count(), 1u);
      // Played to its end: every sample as in the file, nothing left of the sound before.
      rig.Seconds(1.0);
      EXPECT_TRUE(rig.dsound().IsChannelStop(c.channel));
      const std::vector<int16_t> heard = Heard(wavs[static_cast<size_t>(i)]);
      const std::vector<int16_t> left = rig.Left(from);
      ASSERT_GE(left.size(), heard.size());
      EXPECT_EQ(FirstDifference(left, heard, heard.size()), heard.size()) << "round " << round;
    }
    EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
  }
}

TEST(SoundReuse, AMissingFileStillFailsAfterTheMemoryWasKept) {
  ChannelRig rig(kRate);
  const std::string there = rig.Put("voice/v1.wav", PcmWav(1, kRate, 16, Marked(kRate / 4)));
  ASSERT_EQ(rig.dsound().PlayVoice(there.c_str()), 1);
  rig.dsound().StopVoice();
  const std::string missing = rig.tree.Path("voice/none.wav");
  EXPECT_EQ(rig.dsound().PlayVoice(missing.c_str()), 0);
  EXPECT_TRUE(rig.dsound().IsVoiceStop());
  EXPECT_EQ(rig.dsound().channels[kChannelVoice].file, kInvalidFile);
  EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
  // The kept memory serves the next good file.
  EXPECT_EQ(rig.dsound().PlayVoice(there.c_str()), 1);
}

}  // namespace
