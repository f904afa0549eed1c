// The streamed channels, heard through the headless device: what the mixer produced is compared
// with the files sample by sample while frames pass as the frame loop runs them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channel_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using soundtest::ChannelRig;
using soundtest::FirstDifference;
using soundtest::Heard;
using soundtest::Marked;
using testsupport::PcmWav;
using testsupport::WavFile;

constexpr uint32_t kRate = 22050;

TEST(SoundChannel, VoiceTimeRisesUntilTheLastByteThenTheChannelStops) {
  struct Case {
    const char* what;
    uint16_t bits;
    double seconds;
  };
  const Case cases[] = {
      {"16-bit, one second: ends during the pre-fill", 16, 1.0},
      // Not a whole number of frames: the last frame plays past the data.
      {"8-bit, about half a second: silence after it is 128, not 0", 8, 0.51},
      {"16-bit, twenty seconds: longer than the ring", 16, 20.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    const WavFile wav = PcmWav(1, kRate, c.bits, Marked(static_cast<uint32_t>(c.seconds * kRate)));
    const std::string path = rig.Put("voice.wav", wav);
    ASSERT_EQ(rig.dsound().PlayVoice(path.c_str()), 1);
    const uint32_t bytes_per_sample = c.bits / 8u;
    const uint64_t pcm_size = wav.data.size();
    const SoundChannel& voice = rig.dsound().channels[kChannelVoice];
    // Shorter than the four pre-fill blocks: the end was read before play reported playing.
    EXPECT_EQ(voice.status, pcm_size < 4u * voice.pcm_block_size ? 3u : 2u);
    EXPECT_EQ(rig.dsound().GetVoiceTime(), 0);
    EXPECT_STREQ(rig.dsound().GetPlayFileName(kChannelVoice), path.c_str());

    int32_t last = 0;
    bool ended = false;
    for (int f = 0; f < static_cast<int>((c.seconds + 2) * 60) && !ended; ++f) {
      rig.Frame();
      const uint64_t played = rig.audio().pumped_frames * bytes_per_sample;
      const int32_t t = rig.dsound().GetVoiceTime();
      if (played >= pcm_size) {
        // From the very frame on which the played bytes reach the data's size.
        EXPECT_EQ(t, -1) << "frame " << f;
        EXPECT_TRUE(rig.dsound().IsVoiceStop());
        EXPECT_EQ(rig.dsound().GetPlayFileName(kChannelVoice), nullptr);
        ended = true;
      } else {
        ASSERT_EQ(t, static_cast<int32_t>(played * 1000 / (kRate * bytes_per_sample)))
            << "frame " << f;
        EXPECT_GE(t, last);
        last = t;
      }
    }
    ASSERT_TRUE(ended);
    EXPECT_GT(last, static_cast<int32_t>(c.seconds * 1000) - 20);
    rig.Frames(30);
    EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);  // the buffer is gone with the channel

    // The file, then silence: no stale ring data and no garbage after the end.
    const std::vector<int16_t> heard = Heard(wav);
    const std::vector<int16_t> left = rig.Left();
    ASSERT_GT(left.size(), heard.size());
    EXPECT_EQ(FirstDifference(left, heard, heard.size()), heard.size());
    EXPECT_TRUE(std::all_of(left.begin() + static_cast<long>(heard.size()), left.end(),
                            [](int16_t s) { return s == 0; }));
  }
}

// What a looping file sounds like: its data once, then from the loop sample to the end again and
// again; silence after the first pass when the loop point lies at or beyond the end.
std::vector<int16_t> Looped(const std::vector<int16_t>& data, size_t loop_sample, size_t total) {
  std::vector<int16_t> out(data.begin(), data.end());
  while (out.size() < total) {
    if (loop_sample >= data.size()) {
      out.resize(total, 0);
    } else {
      out.insert(out.end(), data.begin() + static_cast<long>(loop_sample), data.end());
    }
  }
  out.resize(total);
  return out;
}

TEST(SoundChannel, MusicLoopsSeamlesslyFromItsLoopPoint) {
  struct Case {
    const char* what;
    double seconds;
    double loop_seconds;
    double listen;
  };
  const Case cases[] = {
      {"a loop point inside a short file", 2.5, 0.45, 12},
      {"loop point 0 replays the whole", 20, 0, 45},
      {"a loop point far into a file longer than the ring", 20, 17.3, 45},
      {"a loop point at the very end gives silence", 2.5, 2.5, 12},
      {"a loop point beyond the data gives silence, not a stop", 20, 25, 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    WavFile wav = PcmWav(1, kRate, 16, Marked(static_cast<uint32_t>(c.seconds * kRate)));
    const auto loop_sample = static_cast<uint32_t>(c.loop_seconds * kRate);
    wav.loop_point = loop_sample * 2;
    const std::string path = rig.Put("music.wav", wav);
    ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
    EXPECT_EQ(rig.dsound().GetLoopFlag(kChannelBgm), 1);
    rig.Seconds(c.listen);
    EXPECT_FALSE(rig.dsound().IsBGMStop());
    EXPECT_EQ(rig.dsound().channels[kChannelBgm].status, 2u);  // a looping file never ends

    const std::vector<int16_t> left = rig.Left();
    const std::vector<int16_t> expected = Looped(Heard(wav), loop_sample, left.size());
    const size_t at = FirstDifference(left, expected, left.size());
    EXPECT_EQ(at, left.size()) << "the mix departs from the loop at second "
                               << static_cast<double>(at) / kRate;
  }
}

TEST(SoundChannel, CompressedMusicLoopsSeamlesslyToo) {
  struct Case {
    const char* what;
    uint16_t tag;
    uint16_t channels;
    uint32_t stored_loop;
    uint32_t loop_frame;  // the loop point scaled to PCM, in sample frames
  };
  const Case cases[] = {
      // 16-bit mono at 22050 Hz: the stored point is PCM bytes as it stands.
      {"IMA ADPCM mono", platform::kWaveFormatImaAdpcm, 1, 2 * 30001, 30001},
      // 16-bit stereo at 22050 Hz: the stored point doubles.
      {"MS ADPCM stereo", platform::kWaveFormatMsAdpcm, 2, 2 * 20000, 20000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    std::vector<int16_t> samples;
    for (int16_t s : Marked(5 * kRate)) {
      for (int i = 0; i < c.channels; ++i) samples.push_back(static_cast<int16_t>(s / 2));
    }
    auto wav = testsupport::EncodedWav(c.tag, c.channels, kRate, samples);
    ASSERT_TRUE(wav.has_value());
    wav->loop_point = c.stored_loop;
    const std::string path = rig.Put("music.wav", *wav);
    ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
    EXPECT_EQ(rig.dsound().channels[kChannelBgm].loop_point, c.loop_frame * 2u * c.channels);
    rig.Seconds(17);

    const std::vector<int16_t> decoded = soundtest::DecodeWhole(rig.engine.codecs, *wav);
    std::vector<int16_t> decoded_left;
    for (size_t i = 0; i < decoded.size(); i += c.channels) decoded_left.push_back(decoded[i]);
    const std::vector<int16_t> left = rig.Left();
    const std::vector<int16_t> expected = Looped(decoded_left, c.loop_frame, left.size());
    const size_t at = FirstDifference(left, expected, left.size());
    EXPECT_EQ(at, left.size()) << "the mix departs from the loop at second "
                               << static_cast<double>(at) / kRate;
  }
}

// A two-second music file that loops from its start.
std::string PutMusic(ChannelRig& rig, const std::string& name = "music.wav", uint32_t seed = 0) {
  WavFile wav = PcmWav(1, kRate, 16, Marked(2 * kRate, seed));
  wav.loop_point = 0;
  return rig.Put(name, wav);
}

TEST(SoundChannel, FadeIsLinearInGameTimeAndReportsItsEnd) {
  ChannelRig rig;
  const std::string path = PutMusic(rig);
  ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
  rig.Frames(10);
  EXPECT_TRUE(rig.dsound().IsBGMFadeEnd());
  const int32_t start = rig.Now();
  EXPECT_EQ(rig.dsound().SetBGMVolume(0, 60), 1);
  EXPECT_FALSE(rig.dsound().IsBGMFadeEnd());
  const platform::SoundBuffer* buffer = rig.dsound().channels[kChannelBgm].buffer.get();
  ASSERT_NE(buffer, nullptr);

  // Frames of 1/60 s, and one long frame (dropped frames): the volume follows the game clock.
  const uint32_t steps[] = {17, 16, 17, 500, 17, 16, 17, 250, 150, 16, 17};
  for (uint32_t ms : steps) {
    rig.Step(ms);
    const int32_t elapsed = rig.Now() - start;
    const int expected = elapsed > 1000 ? 0 : 100 - 100 * elapsed / 1000;
    SCOPED_TRACE(testing::Message() << elapsed << " ms into the fade");
    EXPECT_EQ(rig.dsound().GetBGMVolume(), expected);
    EXPECT_EQ(buffer->GetVolume(), expected * 100 - 10000);
    EXPECT_EQ(rig.dsound().IsBGMFadeEnd(), elapsed > 1000);
  }
  ASSERT_TRUE(rig.dsound().IsBGMFadeEnd());
  // Faded out: nothing more is heard, and the music plays on.
  const size_t from = rig.MixedFrames();
  rig.Frames(30);
  const std::vector<int16_t> after = rig.Left(from);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
  EXPECT_FALSE(rig.dsound().IsBGMStop());
}

TEST(SoundChannel, VolumesAreClampedToSilenceAndFull) {
  ChannelRig rig;
  const std::string path = PutMusic(rig);
  ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
  const platform::SoundBuffer* buffer = rig.dsound().channels[kChannelBgm].buffer.get();
  struct Case {
    int volume;
    int heard;
  };
  const Case cases[] = {{150, 100}, {37, 37}, {-20, 0}, {100, 100}, {-10000, 0}, {1, 1}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    EXPECT_EQ(rig.dsound().SetBGMVolume(c.volume, 0), 1);
    EXPECT_EQ(rig.dsound().GetBGMVolume(), c.heard);
    EXPECT_EQ(buffer->GetVolume(), c.heard * 100 - 10000);
  }
  // A fade to a negative volume ends at silence.
  rig.dsound().SetBGMVolume(100, 0);
  rig.dsound().SetBGMVolume(-50, 30);
  rig.Frames(40);
  EXPECT_TRUE(rig.dsound().IsBGMFadeEnd());
  EXPECT_EQ(rig.dsound().GetBGMVolume(), 0);
}

TEST(SoundChannel, WithoutABufferVolumesApplyAtOnceAndAStopEndsAFade) {
  ChannelRig rig;
  // No buffer: the fade is taken at once and the next play uses it.
  EXPECT_EQ(rig.dsound().SetVoiceVolume(30, 60), 1);
  EXPECT_TRUE(rig.dsound().IsVoiceFadeEnd());
  EXPECT_EQ(rig.dsound().GetVoiceVolume(), -1);
  const std::string voice = rig.Put("voice.wav", PcmWav(1, kRate, 16, Marked(kRate / 2)));
  ASSERT_EQ(rig.dsound().PlayVoice(voice.c_str()), 1);
  EXPECT_EQ(rig.dsound().GetVoiceVolume(), 30);

  // A voice that ends during its fade: the fade ends with it, so a wait for the fade's end ends.
  rig.dsound().SetVoiceVolume(0, 120);
  rig.Seconds(1);
  EXPECT_TRUE(rig.dsound().IsVoiceStop());
  EXPECT_TRUE(rig.dsound().IsVoiceFadeEnd());

  // Stopped by the caller during a fade: likewise.
  const std::string music = PutMusic(rig);
  ASSERT_EQ(rig.dsound().PlayBGM(music.c_str()), 1);
  rig.dsound().SetBGMVolume(0, 60);
  rig.Frames(5);
  EXPECT_FALSE(rig.dsound().IsBGMFadeEnd());
  rig.dsound().StopBGM();
  EXPECT_TRUE(rig.dsound().IsBGMFadeEnd());
}

TEST(SoundChannel, PlayingAgainClosesTheOldFileAndPauseHoldsEverything) {
  ChannelRig rig;
  const std::string first = PutMusic(rig, "first.wav", 1);
  WavFile second_wav = PcmWav(1, kRate, 16, Marked(3 * kRate, 2));
  const std::string second = rig.Put("second.wav", second_wav);
  ASSERT_EQ(rig.dsound().PlayVoice(first.c_str()), 1);
  rig.Frames(30);

  // Play while playing: the old file and buffer are gone, the new one starts at its beginning.
  size_t from = rig.MixedFrames();
  ASSERT_EQ(rig.dsound().PlayVoice(second.c_str()), 1);
  EXPECT_EQ(rig.audio().mixer().buffer_count(), 1u);
  EXPECT_STREQ(rig.dsound().GetPlayFileName(kChannelVoice), second.c_str());
  EXPECT_EQ(rig.dsound().GetLoopFlag(kChannelVoice), 0);
  rig.Frames(30);
  const std::vector<int16_t> heard = Heard(second_wav);
  std::vector<int16_t> left = rig.Left(from);
  EXPECT_EQ(FirstDifference(left, heard, left.size()), left.size());

  // Pause: status 4, silence, the voice time holds (and still counts as playing), fades go on.
  rig.dsound().SetVoiceVolume(0, 60);
  rig.Frames(15);
  EXPECT_EQ(rig.dsound().PauseVoice(), 1);
  EXPECT_EQ(rig.dsound().channels[kChannelVoice].status, 4u);
  EXPECT_FALSE(rig.dsound().IsVoiceStop());
  const int32_t time = rig.dsound().GetVoiceTime();
  const int volume = rig.dsound().GetVoiceVolume();
  EXPECT_GT(time, 0);
  from = rig.MixedFrames();
  rig.Frames(30);
  left = rig.Left(from);
  EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](int16_t s) { return s == 0; }));
  EXPECT_EQ(rig.dsound().GetVoiceTime(), time);
  EXPECT_LT(rig.dsound().GetVoiceVolume(), volume);
  rig.Frames(60);
  EXPECT_TRUE(rig.dsound().IsVoiceFadeEnd());
  EXPECT_EQ(rig.dsound().GetVoiceVolume(), 0);

  // Only play leaves the pause: the file starts again from its beginning.
  rig.dsound().SetVoiceVolume(100, 0);
  from = rig.MixedFrames();
  ASSERT_EQ(rig.dsound().PlayVoice(second.c_str()), 1);
  EXPECT_EQ(rig.dsound().GetVoiceTime(), 0);
  rig.Frames(30);
  left = rig.Left(from);
  EXPECT_EQ(FirstDifference(left, heard, left.size()), left.size());

  rig.dsound().StopVoice();
  EXPECT_EQ(rig.dsound().PauseVoice(), 0);  // nothing to pause
  EXPECT_EQ(rig.dsound().GetVoiceTime(), -1);
}

TEST(SoundChannel, FilesThatCannotPlayLeaveTheChannelStoppedAndClosed) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* trace;
  };
  WavFile wide = PcmWav(1, kRate, 16, Marked(1000));
  wide.format.bits_per_sample = 24;  // no sound buffer takes 24-bit samples
  wide.format.block_align = 3;
  wide.format.avg_bytes_per_sec = 3 * kRate;
  const Case cases[] = {
      {"not a wave file", {'n', 'o', 'p', 'e'}, "DS SoundFile Header Error"},
      {"24-bit samples", wide.Bytes(), "DS CreateBuffer Fail\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    const std::string music = PutMusic(rig);
    ASSERT_EQ(rig.dsound().PlayBGM(music.c_str()), 1);
    testsupport::TraceCapture trace;
    const std::string path = rig.tree.Write("bad.wav", c.bytes);
    EXPECT_EQ(rig.dsound().PlayBGM(path.c_str()), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_TRUE(trace.Contains("DS SoundFile " + path + ": not played\n"));
    EXPECT_TRUE(rig.dsound().IsBGMStop());
    const SoundChannel& bgm = rig.dsound().channels[kChannelBgm];
    EXPECT_EQ(bgm.file, kInvalidFile);
    EXPECT_EQ(bgm.buffer, nullptr);
    EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
    rig.Frames(5);
  }
  ChannelRig rig;
  testsupport::TraceCapture trace;
  const std::string missing = rig.tree.Path("missing.wav");
  EXPECT_EQ(rig.dsound().PlaySE(missing.c_str()), 0);
  EXPECT_TRUE(trace.Contains("DS SoundFile Open Falid\n"));
  EXPECT_TRUE(trace.Contains("DS SoundFile " + missing + ": not played\n"));
  EXPECT_EQ(rig.dsound().PlaySE(nullptr), 0);
  EXPECT_TRUE(rig.dsound().IsSEStop());
}

// Compressed music whose data turns undecodable ten seconds in (after the 8 s the start converts):
// it starts, then stops at that block, and the trace names the file.
TEST(SoundChannel, MusicThatCannotBeDecodedFurtherStopsAndIsNamed) {
  ChannelRig rig;
  auto wav = testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 1, kRate, Marked(14 * kRate));
  ASSERT_TRUE(wav.has_value());
  const size_t block = wav->format.block_align;
  const size_t bad = 10 * wav->format.avg_bytes_per_sec / block * block;
  ASSERT_LT(bad + 2, wav->data.size());
  wav->data[bad + 2] = 200;  // a step index beyond the step table
  const std::string path = rig.Put("music.wav", *wav);
  testsupport::TraceCapture trace;
  ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
  rig.Seconds(1);
  EXPECT_FALSE(rig.dsound().IsBGMStop());
  rig.Seconds(9);
  EXPECT_TRUE(rig.dsound().IsBGMStop());
  EXPECT_TRUE(trace.Contains("BGM_Convert Failed\n"));
  EXPECT_TRUE(trace.Contains("DS SoundFile " + path + ": stopped"));
}

TEST(SoundChannel, WithoutASoundDeviceEverythingIsANoOp) {
  ChannelRig rig(kRate, /*device=*/false);
  EXPECT_EQ(rig.init_result, 0);
  EXPECT_FALSE(rig.dsound().HasDevice());
  const std::string music = PutMusic(rig);
  const char* names[] = {music.c_str()};
  EXPECT_EQ(rig.dsound().PlayBGM(music.c_str()), 0);
  EXPECT_EQ(rig.dsound().PlayVoice(music.c_str()), 0);
  EXPECT_EQ(rig.dsound().PlaySE(music.c_str()), 0);
  EXPECT_TRUE(rig.dsound().IsBGMStop());
  EXPECT_TRUE(rig.dsound().IsVoiceStop());
  EXPECT_TRUE(rig.dsound().IsSEStop());
  EXPECT_EQ(rig.dsound().PauseBGM(), 0);
  EXPECT_EQ(rig.dsound().GetBGMVolume(), -1);
  EXPECT_EQ(rig.dsound().SetBGMVolume(50, 60), 1);
  EXPECT_TRUE(rig.dsound().IsBGMFadeEnd());
  EXPECT_EQ(rig.dsound().GetVoiceTime(), -1);
  EXPECT_EQ(rig.dsound().GetPlayFileName(kChannelBgm), nullptr);
  EXPECT_EQ(rig.dsound().GetLoopFlag(kChannelBgm), 0);
  EXPECT_EQ(rig.dsound().SELoadStatic(names, 1), 0);
  EXPECT_EQ(rig.dsound().LoadWaveToBuffer(0, music.c_str()), 0);
  rig.dsound().PlayStaticSE(0);
  rig.dsound().StopStaticSE(-1);
  rig.dsound().SERemoveStatic();
  rig.Frames(10);
  rig.dsound().Release();
  EXPECT_TRUE(rig.audio().captured.empty());
}

TEST(SoundChannel, ReleaseStopsEveryChannelAndClosesTheDevice) {
  ChannelRig rig;
  const std::string music = PutMusic(rig);
  const char* names[] = {music.c_str()};
  ASSERT_EQ(rig.dsound().PlayBGM(music.c_str()), 1);
  ASSERT_EQ(rig.dsound().PlayVoice(music.c_str()), 1);
  ASSERT_EQ(rig.dsound().PlaySE(music.c_str()), 1);
  ASSERT_EQ(rig.dsound().SELoadStatic(names, 1), 1);
  EXPECT_EQ(rig.audio().mixer().buffer_count(), 4u);
  rig.dsound().Release();
  EXPECT_TRUE(rig.dsound().IsBGMStop());
  EXPECT_TRUE(rig.dsound().IsVoiceStop());
  EXPECT_TRUE(rig.dsound().IsSEStop());
  for (const SoundChannel& c : rig.dsound().channels) EXPECT_EQ(c.file, kInvalidFile);
  EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
  EXPECT_FALSE(rig.audio().IsOpen());
  EXPECT_EQ(rig.dsound().PlayBGM(music.c_str()), 0);
  rig.dsound().Release();  // twice is harmless
}

}  // namespace
