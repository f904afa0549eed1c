#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using soundtest::SoundRig;
using testsupport::Chunk;
using testsupport::PcmWav;
using testsupport::Tone;
using testsupport::WavFile;

WavFile Pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames) {
  return PcmWav(channels, rate, bits, Tone(channels, rate, frames, 440, 8000));
}

TEST(WaveHead, ReadsFormatDataAndLoopMarkerOfPcmFiles) {
  struct Case {
    const char* what;
    WavFile wav;
    uint32_t format_size;
    uint32_t data_start;
    uint32_t loop_flag;
    uint32_t loop_point;
  };
  WavFile full_record = Pcm(2, 44100, 16, 500);
  full_record.short_format = false;
  WavFile looped = Pcm(1, 11025, 8, 3000);
  looped.loop_point = 1000;
  WavFile with_list = Pcm(1, 22050, 16, 100);
  with_list.between = Chunk("LIST", std::vector<uint8_t>(100, 'x'));
  const Case cases[] = {
      {"16-bit mono, 16-byte record", Pcm(1, 22050, 16, 1000), 16, 44, 0, 0},
      {"16-bit stereo, 18-byte record", full_record, 18, 46, 0, 0},
      {"8-bit mono with loop marker", looped, 16, 52, 1, 1000},
      {"a chunk before the data", with_list, 16, 44 + 108, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoundRig rig;
    rig.Put("a.wav", c.wav);
    ASSERT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 1);
    EXPECT_EQ(rig.format.format_offset, 20u);
    EXPECT_EQ(rig.format.format_size, c.format_size);
    EXPECT_EQ(rig.format.data_offset, c.data_start);
    EXPECT_EQ(rig.channel.data_start, c.data_start);
    EXPECT_EQ(c.wav.DataOffset(), c.data_start);
    EXPECT_EQ(rig.channel.loop_flag, c.loop_flag);
    EXPECT_EQ(rig.channel.loop_point, c.loop_point);
    // The data size is taken as stored (a loop marker counted in it stays counted).
    const uint32_t stored = static_cast<uint32_t>(c.wav.data.size()) + (c.loop_flag ? 8 : 0);
    EXPECT_EQ(rig.format.data_size, std::min<uint32_t>(stored, c.wav.data.size()));
    EXPECT_EQ(rig.channel.source_data_size, rig.format.data_size);
    const platform::WaveFormatEx& f = rig.format.source_format;
    EXPECT_EQ(f.channels, c.wav.format.channels);
    EXPECT_EQ(f.samples_per_sec, c.wav.format.samples_per_sec);
    EXPECT_EQ(f.extra_size, 0u);  // a 16-byte record has no extra-size field
    EXPECT_EQ(rig.channel.refill_interval, 60u);
    EXPECT_EQ(rig.channel.source_block_size, f.avg_bytes_per_sec * 2);
    EXPECT_EQ(rig.channel.pcm_rate, f.avg_bytes_per_sec);
    EXPECT_EQ(rig.channel.bytes_played, 0u);

    // PCM needs no conversion: the PCM block is the source block, the buffer eight of them.
    ASSERT_EQ(rig.dsound().OpenAcm(rig.format, rig.channel), 1);
    EXPECT_EQ(rig.channel.pcm_block_size, rig.channel.source_block_size);
    EXPECT_EQ(rig.channel.pcm_data_size, rig.channel.source_data_size);
    EXPECT_EQ(rig.channel.buffer_size, 8 * rig.channel.pcm_block_size);
    EXPECT_EQ(rig.format.pcm_format.format_tag, platform::kWaveFormatPcm);
    EXPECT_EQ(rig.format.pcm_format.bits_per_sample, c.wav.format.bits_per_sample);
    EXPECT_EQ(rig.channel.stream, nullptr);
  }
}

TEST(WaveHead, CompressedLoopPointIsScaledToPcmBytes) {
  struct Case {
    uint16_t tag;
    uint32_t rate;
    uint16_t channels;
    uint32_t scaled;
  };
  const Case cases[] = {
      {platform::kWaveFormatImaAdpcm, 22050, 1, 1000},  // 44100 bytes/s: factor 2 / 2 = 1
      {platform::kWaveFormatImaAdpcm, 44100, 2, 4000},  // 176400 bytes/s: factor 8 / 2 = 4
      {platform::kWaveFormatMsAdpcm, 22050, 1, 1000},
      {platform::kWaveFormatMsAdpcm, 44100, 2, 4000},
      {platform::kWaveFormatImaAdpcm, 11025, 1, 0},  // 22050 bytes/s: factor 1 / 2 = 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tag " << c.tag << " " << c.rate << " Hz x" << c.channels);
    SoundRig rig;
    auto wav = testsupport::EncodedWav(c.tag, c.channels, c.rate,
                                       Tone(c.channels, c.rate, c.rate / 2, 440, 8000));
    ASSERT_TRUE(wav.has_value());
    wav->loop_point = 1000;
    rig.Put("a.wav", *wav);
    testsupport::TraceCapture trace;
    ASSERT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 1);
    EXPECT_EQ(rig.channel.loop_point, 1000u);
    ASSERT_EQ(rig.dsound().OpenAcm(rig.format, rig.channel), 1);
    EXPECT_EQ(rig.channel.loop_point, c.scaled);
    EXPECT_EQ(trace.Contains("scale is 0"), c.scaled == 0);
    const platform::WaveFormatEx& pcm = rig.format.pcm_format;
    EXPECT_EQ(pcm.format_tag, platform::kWaveFormatPcm);
    EXPECT_EQ(pcm.bits_per_sample, 16u);
    EXPECT_EQ(pcm.channels, c.channels);
    EXPECT_EQ(pcm.samples_per_sec, c.rate);
    EXPECT_EQ(rig.channel.pcm_rate, c.rate * c.channels * 2);
    EXPECT_TRUE(trace.Contains("Stream Open Success"));
    EXPECT_NE(rig.channel.stream, nullptr);
    EXPECT_EQ(rig.channel.buffer_size, 8 * rig.channel.pcm_block_size);
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(WaveHead, RefusesHeadsThatAreMissingDoNotFitOrMakeNoSense) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* trace;
  };
  auto with = [](auto change) {
    WavFile wav = Pcm(1, 22050, 16, 200);
    change(wav);
    return wav.Bytes();
  };
  const std::vector<uint8_t> good = Pcm(1, 22050, 16, 200).Bytes();
  const Case cases[] = {
      {"\"WAVEfmt \" only after 2048 bytes", with([](WavFile& w) { w.prefix.assign(2100, 0); }),
       "WAVEfmt"},
      {"a chunk between \"WAVE\" and \"fmt \"",
       with([](WavFile& w) { w.before_format = Chunk("JUNK", std::vector<uint8_t>(20)); }),
       "WAVEfmt"},
      {"\"data\" only after 2048 bytes",
       with([](WavFile& w) { w.between = Chunk("LIST", std::vector<uint8_t>(2100, 'd')); }),
       "\"data\""},
      {"format chunk claiming 4000 bytes", with([](WavFile& w) { w.format_chunk_size = 4000; }),
       "format chunk of 4000"},
      {"format chunk of 12 bytes", with([](WavFile& w) { w.format_chunk_size = 12; }),
       "format chunk of 12"},
      {"zero channels", with([](WavFile& w) { w.format.channels = 0; }), "Format Error"},
      {"zero rate", with([](WavFile& w) { w.format.samples_per_sec = 0; }), "Format Error"},
      {"zero bytes per second", with([](WavFile& w) { w.format.avg_bytes_per_sec = 0; }),
       "Format Error"},
      {"zero block align", with([](WavFile& w) { w.format.block_align = 0; }), "Format Error"},
      {"absurd bytes per second", with([](WavFile& w) { w.format.avg_bytes_per_sec = 1u << 30; }),
       "Format Error"},
      {"cut inside the format record", std::vector<uint8_t>(good.begin(), good.begin() + 30),
       "format chunk of 16"},
      {"cut inside the data size", std::vector<uint8_t>(good.begin(), good.begin() + 42),
       "\"data\""},
      {"empty file", {}, "WAVEfmt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoundRig rig;
    rig.Put("bad.wav", c.bytes);
    testsupport::TraceCapture trace;
    EXPECT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
  }

  SoundRig rig;
  rig.format.SetName(rig.tree.Path("missing.wav").c_str());
  testsupport::TraceCapture trace;
  EXPECT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 0);
  EXPECT_TRUE(trace.Contains("DS SoundFile Open Falid\n"));
}

TEST(WaveHead, SearchesAndCopiesStayInsideTheBytesGiven) {
  // Every prefix of a real head, in a buffer of exactly that size (an over-read would be caught
  // by the address sanitizer): the head reads only once "data" and its size are inside, and the
  // loop marker counts only with its point.
  WavFile wav = Pcm(1, 22050, 16, 10);
  wav.loop_point = 77;
  const std::vector<uint8_t> bytes = wav.Bytes();
  for (uint32_t n = 0; n <= 60; ++n) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
    cut.shrink_to_fit();
    WaveHead head;
    const bool ok = ReadWaveHead(cut.data(), n, &head);
    EXPECT_EQ(ok, n >= 44);
    if (ok) {
      EXPECT_EQ(head.loop_flag, n >= 52 ? 1u : 0u);
      EXPECT_EQ(head.data_start, n >= 52 ? 52u : 44u);
      EXPECT_EQ(head.chunk_start, 44u);
    }
  }
  // "WAVEfmt " in the last bytes, its size not inside.
  std::vector<uint8_t> tail(100, 0);
  std::memcpy(tail.data() + 92, "WAVEfmt ", 8);
  WaveHead head;
  EXPECT_FALSE(ReadWaveHead(tail.data(), static_cast<uint32_t>(tail.size()), &head));
}

TEST(WaveHead, ReadingStopsAtTheEndOfTheDataChunkAndOfTheFile) {
  struct Case {
    const char* what;
    WavFile wav;
    size_t cut;          // bytes kept of the file (0: all)
    uint32_t data_size;  // what the channel takes as the data size
    uint32_t readable;   // sample bytes the reader delivers
  };
  WavFile trailing = Pcm(1, 22050, 16, 500);
  trailing.trailing = Chunk("LIST", std::vector<uint8_t>(3000, 0x7F));
  WavFile oversized = Pcm(1, 22050, 16, 500);
  oversized.data_chunk_size = 100000;
  const Case cases[] = {
      {"a chunk after the data", trailing, 0, 1000, 1000},
      {"data size beyond the end of the file", oversized, 0, 1000, 1000},
      {"file cut inside the data", Pcm(1, 22050, 16, 500), 44 + 600, 600, 600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoundRig rig;
    std::vector<uint8_t> bytes = c.wav.Bytes();
    if (c.cut != 0) bytes.resize(c.cut);
    rig.Put("a.wav", bytes);
    testsupport::TraceCapture trace;
    ASSERT_TRUE(rig.OpenAll());
    EXPECT_EQ(rig.channel.source_data_size, c.data_size);
    EXPECT_EQ(rig.channel.pcm_data_size, c.data_size);
    const uint32_t stored =
        c.wav.data_chunk_size.value_or(static_cast<uint32_t>(c.wav.data.size()));
    EXPECT_EQ(trace.Contains("data cut to the file"), c.data_size != stored);
    const std::vector<uint8_t> pcm = rig.StreamAll();
    ASSERT_EQ(pcm.size(), c.readable);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), c.wav.data.begin()));
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(WaveHead, OverlongNamesAreRefused) {
  SoundRig rig;
  testsupport::TraceCapture trace;
  EXPECT_FALSE(rig.format.SetName(std::string(kWaveNameSize, 'a').c_str()));
  EXPECT_FALSE(rig.format.SetName(nullptr));
  // A name that fits the name buffer but not a 256-byte path fails to open, without harm.
  ASSERT_TRUE(rig.format.SetName(std::string(300, 'a').c_str()));
  EXPECT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 0);
  EXPECT_EQ(rig.dsound().OpenStream(rig.format, rig.channel), 0);
  EXPECT_EQ(rig.channel.file, kInvalidFile);
}

}  // namespace
