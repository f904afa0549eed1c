#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "channel_rig.h"
#include "sound_test_support.h"
#include "platform/ima_adpcm.h"
#include "testsupport/trace_capture.h"

namespace {

using soundtest::SoundRig;
using testsupport::Chunk;
using testsupport::Tone;
using testsupport::WavFile;

struct Codec {
  uint16_t tag;
  uint16_t channels;
  uint32_t rate;
  uint32_t block_size;
};

// Three and a half seconds of tone: two whole two-second reads would not fit, so the stream has
// full reads, a short last read and (since two seconds are not a whole number of blocks)
// unused bytes handed back after every full read.
WavFile Encoded(const Codec& c, std::vector<int16_t>* source = nullptr) {
  std::vector<int16_t> pcm = Tone(c.channels, c.rate, c.rate * 7 / 2, 440, 12000);
  auto wav = testsupport::EncodedWav(c.tag, c.channels, c.rate, pcm, c.block_size);
  EXPECT_TRUE(wav.has_value());
  if (source != nullptr) *source = pcm;
  return wav.value_or(WavFile{});
}

// One whole decode of the data through a stream of its own.
std::vector<uint8_t> WholeDecode(SoundRig& rig, const std::vector<uint8_t>& data) {
  platform::WaveCodecs& codecs = *rig.engine.ctx().platform.codecs;
  std::vector<uint8_t> record(
      rig.format.header.begin() + rig.format.format_offset,
      rig.format.header.begin() + rig.format.format_offset + rig.format.format_size);
  std::unique_ptr<platform::CodecDriver> driver;
  std::unique_ptr<platform::CodecStream> stream;
  for (uint32_t id : rig.dsound().acm_drivers) {
    if (id == 0) continue;
    driver = codecs.OpenDriver(id);
    stream = driver->OpenStream(record.data(), static_cast<uint32_t>(record.size()),
                                rig.format.pcm_format);
    if (stream) break;
  }
  EXPECT_NE(stream, nullptr);
  if (!stream) return {};
  uint32_t size = 0;
  EXPECT_TRUE(stream->PcmSize(static_cast<uint32_t>(data.size()), &size));
  std::vector<uint8_t> pcm(size);
  uint32_t used = 0;
  uint32_t written = 0;
  EXPECT_TRUE(stream->Convert(data.data(), static_cast<uint32_t>(data.size()), pcm.data(), size,
                              platform::kConvertBlockAlign | platform::kConvertEnd, &used,
                              &written));
  EXPECT_EQ(used, data.size());
  EXPECT_EQ(written, size);
  return pcm;
}

TEST(AcmConversion, DriverSearchFilesDriversByPriority) {
  testsupport::TestEngine engine;
  testsupport::TraceCapture trace;
  CDsoundFunc& dsound = engine.ctx().dsound;
  ASSERT_EQ(dsound.EnumAcmDrivers(), 1);
  std::vector<platform::CodecDriverDetails> drivers;
  ASSERT_TRUE(engine.codecs.EnumDrivers(&drivers));
  ASSERT_GE(drivers.size(), 2u);  // at least the two ADPCM codecs
  for (const auto& d : drivers) EXPECT_EQ(dsound.acm_drivers[d.priority], d.id);
  EXPECT_EQ(dsound.acm_drivers[0], 0u);
  EXPECT_TRUE(trace.Contains("0001h  "));
  EXPECT_TRUE(trace.Contains("001  "));
  EXPECT_TRUE(trace.Contains("00000001h  "));
  EXPECT_TRUE(trace.Contains("MS-ADPCM"));

  // Without any codecs the search fails.
  engine.host.seams().codecs = nullptr;
  trace.Clear();
  EXPECT_EQ(dsound.EnumAcmDrivers(), 0);
  EXPECT_TRUE(trace.Contains("acmDriverEnum Error\n"));
}

TEST(AcmConversion, BlockByBlockGivesTheSamePcmAsOneWholeDecode) {
  const Codec codecs[] = {
      {platform::kWaveFormatImaAdpcm, 1, 22050, 512},
      {platform::kWaveFormatImaAdpcm, 2, 44100, 2048},
      {platform::kWaveFormatMsAdpcm, 1, 22050, 512},
      {platform::kWaveFormatMsAdpcm, 2, 22050, 1024},
  };
  for (const Codec& c : codecs) {
    SCOPED_TRACE(testing::Message() << "tag " << c.tag << " x" << c.channels << " " << c.rate);
    SoundRig rig;
    std::vector<int16_t> source;
    WavFile wav = Encoded(c, &source);
    wav.trailing = Chunk("LIST", std::vector<uint8_t>(4000, 0x55));  // must never be decoded
    rig.Put("a.wav", wav);
    ASSERT_TRUE(rig.OpenAll());
    const uint32_t align = wav.format.block_align;
    ASSERT_NE(rig.channel.source_block_size % align, 0u);

    std::vector<uint32_t> used;
    const std::vector<uint8_t> streamed = rig.StreamAll(&used);
    const std::vector<uint8_t> whole = WholeDecode(rig, wav.data);
    EXPECT_EQ(streamed.size(), whole.size());
    EXPECT_TRUE(streamed == whole);
    // The size the stream promised for the whole data is what came out.
    EXPECT_EQ(rig.channel.pcm_data_size, whole.size());
    // Full reads use whole blocks only; the rest is read again.
    ASSERT_GE(used.size(), 2u);
    for (size_t i = 0; i + 1 < used.size(); ++i) EXPECT_EQ(used[i] % align, 0u) << i;
    // And the PCM is the tone (ADPCM is lossy, but not by much).
    const std::vector<int16_t> decoded = testsupport::BytesToSamples(streamed);
    ASSERT_GE(decoded.size(), source.size());
    double error = 0;
    for (size_t i = 0; i < source.size(); ++i) error += std::abs(decoded[i] - source[i]);
    EXPECT_LT(error / source.size(), 300.0);
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(AcmConversion, StreamsConvertWholeBlocksAndThePartialOneOnlyAtTheEnd) {
  for (uint16_t tag : {platform::kWaveFormatImaAdpcm, platform::kWaveFormatMsAdpcm}) {
    SCOPED_TRACE(tag);
    SoundRig rig;
    WavFile wav = Encoded({tag, 1, 22050, 512});
    rig.Put("a.wav", wav);
    ASSERT_TRUE(rig.OpenAll());
    platform::CodecStream& stream = *rig.channel.stream;
    uint32_t block_pcm = 0;
    ASSERT_TRUE(stream.PcmSize(512, &block_pcm));
    ASSERT_GT(block_pcm, 0u);
    std::vector<uint8_t> out(8 * block_pcm);
    struct Case {
      uint32_t length;
      uint32_t flags;
      uint32_t capacity;
      uint32_t used;
      uint32_t written_blocks;  // whole blocks of PCM written (a partial block adds its own)
      bool partial;
    };
    const uint32_t kAlign = platform::kConvertBlockAlign;
    const uint32_t kEnd = platform::kConvertEnd;
    const Case cases[] = {
        {512 * 3, kAlign, 8 * block_pcm, 512 * 3, 3, false},
        {512 * 2 + 100, kAlign, 8 * block_pcm, 512 * 2, 2, false},
        {512 * 2 + 100, kAlign | kEnd, 8 * block_pcm, 512 * 2 + 100, 2, true},
        {512 * 3, kAlign, 2 * block_pcm + 10, 512 * 2, 2, false},  // room for two blocks only
        {100, kAlign, 8 * block_pcm, 0, 0, false},
        {3, kAlign | kEnd, 8 * block_pcm, 3, 0, false},  // too short for a block header
        {0, kEnd, 8 * block_pcm, 0, 0, false},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.length << " bytes, flags " << c.flags);
      uint32_t used = 99;
      uint32_t written = 99;
      ASSERT_TRUE(stream.Convert(wav.data.data(), c.length, out.data(), c.capacity, c.flags, &used,
                                 &written));
      EXPECT_EQ(used, c.used);
      uint32_t expected = c.written_blocks * block_pcm;
      if (c.partial) {
        uint32_t partial = 0;
        ASSERT_TRUE(stream.PcmSize(c.length % 512, &partial));
        EXPECT_GT(partial, 0u);
        expected += partial;
      }
      EXPECT_EQ(written, expected);
      EXPECT_LE(written, c.capacity);
      // The size query for a length is what converting it with the end flag gives.
      uint32_t size = 0;
      ASSERT_TRUE(stream.PcmSize(c.length, &size));
      if ((c.flags & kEnd) != 0) {
        EXPECT_EQ(size, written);
      }
    }
  }
}

TEST(AcmConversion, StreamSizeForAGivenSourceLengthIsExact) {
  SoundRig rig;
  WavFile wav = Encoded({platform::kWaveFormatImaAdpcm, 2, 22050, 1024});
  rig.Put("a.wav", wav);
  ASSERT_TRUE(rig.OpenAll());
  // IMA ADPCM, 2 channels, 1024-byte blocks: 8 header bytes, then 8 samples per 8 bytes.
  const uint32_t spb = (1024 - 8) / 8 * 8 + 1;
  EXPECT_EQ(rig.format.source_format.block_align, 1024u);
  struct Case {
    uint32_t source;
    uint32_t pcm;
  };
  const Case cases[] = {
      {0, 0},
      {1024, spb * 4},
      {5 * 1024, 5 * spb * 4},
      {1024 + 7, spb * 4},        // a partial block too short for its header
      {1024 + 8, (spb + 1) * 4},  // just the header: one sample
      {1024 + 8 + 16, (spb + 1 + 16) * 4},
      {1024 + 8 + 16 + 5, (spb + 1 + 16) * 4},  // 5 bytes too few for 8 more samples
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    uint32_t size = 0;
    ASSERT_TRUE(rig.channel.stream->PcmSize(c.source, &size));
    EXPECT_EQ(size, c.pcm);
    // Converting that much with the end flag gives exactly that.
    std::vector<uint8_t> out(c.pcm + 64);
    uint32_t used = 0;
    uint32_t written = 0;
    ASSERT_TRUE(rig.channel.stream->Convert(
        wav.data.data(), c.source, out.data(), static_cast<uint32_t>(out.size()),
        platform::kConvertBlockAlign | platform::kConvertEnd, &used, &written));
    EXPECT_EQ(used, c.source);
    EXPECT_EQ(written, c.pcm);
  }
  uint32_t block = 0;
  ASSERT_TRUE(rig.channel.stream->PcmSize(rig.channel.source_block_size, &block));
  EXPECT_EQ(rig.channel.pcm_block_size, block);
}

TEST(AcmConversion, FailuresAreTracedAndLeaveNothingOpen) {
  struct Case {
    const char* what;
    const char* trace;
  };
  const Case cases[] = {
      {"no codecs installed", "acmMetrics failed"},
      {"a format no codec knows", "ACM Format Suggest Fail:"},
      {"an empty driver table", "No Driver Exist\n"},
      {"a format every driver refuses", "Stream Open Fail:"},
      {"a block larger than two seconds of data", "exceeds the read block"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoundRig rig;
    WavFile wav = Encoded({platform::kWaveFormatImaAdpcm, 1, 22050, 512});
    const std::string what = c.what;
    if (what == "a format no codec knows") wav.format.format_tag = 0x7777;  // no decoder for it
    if (what == "a format every driver refuses") wav.format.bits_per_sample = 0;
    if (what == "a block larger than two seconds of data") wav.format.avg_bytes_per_sec = 200;
    rig.Put("a.wav", wav);
    if (what == "no codecs installed") rig.engine.host.seams().codecs = nullptr;
    if (what == "an empty driver table") rig.dsound().acm_drivers.fill(0);
    testsupport::TraceCapture trace;
    ASSERT_EQ(rig.dsound().OpenWave(rig.format, rig.channel), 1);
    EXPECT_EQ(rig.dsound().OpenAcm(rig.format, rig.channel), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
    if (what == "a format every driver refuses") {
      EXPECT_TRUE(trace.Contains("No Driver Exist\n"));
    }
    EXPECT_EQ(rig.channel.stream, nullptr);
    EXPECT_EQ(rig.channel.driver_id, 0u);
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(AcmConversion, DamagedCompressedDataEndsCleanly) {
  struct Case {
    const char* what;
    size_t keep;  // bytes of the data kept (the file is cut there)
  };
  WavFile wav = Encoded({platform::kWaveFormatMsAdpcm, 1, 22050, 512});
  const Case cases[] = {
      {"file cut inside a block", wav.data.size() / 2 + 77},
      {"file cut inside the first block header", 5},
      {"no data at all", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoundRig rig;
    std::vector<uint8_t> bytes = wav.Bytes();
    bytes.resize(wav.DataOffset() + c.keep);
    rig.Put("a.wav", bytes);
    ASSERT_TRUE(rig.OpenAll());
    EXPECT_EQ(rig.channel.source_data_size, c.keep);
    const std::vector<uint8_t> pcm = rig.StreamAll();
    EXPECT_EQ(pcm.size(), rig.channel.pcm_data_size);
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(AcmConversion, UndecodableBlockFailsTheConversion) {
  // Block headers that no decoder accepts: an MS ADPCM predictor beyond the seven coefficient
  // pairs, an IMA ADPCM step index beyond the step table.
  struct Case {
    uint16_t tag;
    size_t offset;  // byte within the second block
    uint8_t value;
  };
  const Case cases[] = {
      {platform::kWaveFormatMsAdpcm, 0, 9},
      {platform::kWaveFormatImaAdpcm, 2, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    SoundRig rig;
    WavFile wav = Encoded({c.tag, 1, 22050, 512});
    wav.data[512 + c.offset] = c.value;
    rig.Put("a.wav", wav);
    ASSERT_TRUE(rig.OpenAll());
    testsupport::TraceCapture trace;
    uint32_t n = 0;
    ASSERT_EQ(rig.dsound().ReadSourceBlock(rig.channel, &n), 1);
    EXPECT_EQ(rig.dsound().ConvertSourceBlock(rig.channel, n), 0);
    EXPECT_TRUE(trace.Contains("AcmStreamConvert Failed:"));
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(AcmConversion, CloseReleasesEverythingAndMayRepeat) {
  SoundRig rig;
  rig.Put("a.wav", Encoded({platform::kWaveFormatImaAdpcm, 1, 22050, 512}));
  ASSERT_TRUE(rig.OpenAll());
  EXPECT_NE(rig.channel.file, kInvalidFile);
  EXPECT_TRUE(rig.channel.stream_header.prepared);
  rig.dsound().CloseAcm(rig.channel);
  EXPECT_EQ(rig.channel.file, kInvalidFile);
  EXPECT_EQ(rig.channel.stream, nullptr);
  EXPECT_EQ(rig.channel.driver_id, 0u);
  EXPECT_EQ(rig.channel.pcm_block, nullptr);
  EXPECT_FALSE(rig.channel.stream_header.prepared);
  EXPECT_EQ(rig.channel.stream_header.source_length, rig.channel.source_block_size);
  rig.dsound().CloseAcm(rig.channel);
  // A closed channel reads nothing and says so.
  testsupport::TraceCapture trace;
  uint32_t n = 0;
  EXPECT_EQ(rig.dsound().ReadSourceBlock(rig.channel, &n), 0);
  EXPECT_TRUE(trace.Contains("mmioRead Error\n"));
}

TEST(AcmConversion, MpegAudioStreamsThroughTheFrameParser) {
  const uint32_t rate = 22050;
  auto wav = testsupport::EncodedWav(platform::kWaveFormatMpeg, 1, rate,
                                     Tone(1, rate, rate * 3, 440, 12000));
  if (!wav.has_value()) GTEST_SKIP() << "no MPEG audio encoder in this FFmpeg";
  SoundRig rig;
  rig.Put("a.wav", *wav);
  ASSERT_TRUE(rig.OpenAll());
  const std::vector<uint8_t> pcm = rig.StreamAll();
  // Three seconds of audio come out (give or take the encoder's frame padding), never more than
  // the size the stream promised.
  const double seconds = pcm.size() / 2.0 / rate;
  EXPECT_GT(seconds, 2.9);
  EXPECT_LT(seconds, 3.2);
  EXPECT_LE(pcm.size(), rig.channel.pcm_data_size);
  rig.dsound().CloseAcm(rig.channel);
}

TEST(AcmConversion, ImaAdpcmDecodesByTheReferenceArithmetic) {
  // Files from the reference encoder: the stream gives back exactly what the encoder tracked,
  // whole blocks and a final block cut short, and that is the tone within the quantisation.
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint16_t block_align;
    uint32_t cut;  // bytes cut off the data's end
  } cases[] = {{1, 22050, 512, 0}, {1, 22050, 256, 101}, {2, 44100, 1024, 0}, {2, 22050, 512, 77}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, blocks of " << c.block_align
                                    << ", " << c.cut << " bytes cut");
    const std::vector<int16_t> source = Tone(c.channels, c.rate, c.rate * 5 / 2, 440, 12000);
    std::vector<int16_t> tracked;
    WavFile wav = testsupport::ImaAdpcmWav(c.channels, c.rate, source, c.block_align, &tracked);
    wav.data.resize(wav.data.size() - c.cut);
    SoundRig rig;
    rig.Put("a.wav", wav);
    ASSERT_TRUE(rig.OpenAll());
    const std::vector<int16_t> decoded = testsupport::BytesToSamples(rig.StreamAll());
    // The last block: as many samples as its bytes hold.
    const uint32_t whole = static_cast<uint32_t>(wav.data.size()) / c.block_align;
    const uint32_t rest = static_cast<uint32_t>(wav.data.size()) % c.block_align;
    const size_t frames = static_cast<size_t>(whole) *
                              platform::ImaAdpcmBlockSamples(c.block_align, c.channels) +
                          platform::ImaAdpcmBlockSamples(rest, c.channels);
    ASSERT_EQ(decoded.size(), frames * c.channels);
    EXPECT_EQ(rig.channel.pcm_data_size, decoded.size() * 2);
    const size_t at = soundtest::FirstDifference(decoded, tracked, decoded.size());
    EXPECT_EQ(at, decoded.size()) << "first difference at sample " << at;
    double error = 0;
    const size_t n = std::min(decoded.size(), source.size());
    for (size_t i = 0; i < n; ++i) error += std::abs(decoded[i] - source[i]);
    EXPECT_LT(error / n, 120.0);
    rig.dsound().CloseAcm(rig.channel);
  }
}

TEST(AcmConversion, AnyTagFfmpegDecodesPlaysAndOthersAreRefused) {
  // A-law (tag 6) was never in a hand-made list: it converts because FFmpeg's RIFF table maps it.
  const std::vector<int16_t> source = soundtest::Marked(22050 * 2);
  auto alaw = testsupport::EncodedWav(platform::kWaveFormatALaw, 1, 22050, source);
  if (!alaw.has_value()) GTEST_SKIP() << "no A-law encoder in this FFmpeg";
  {
    testsupport::TraceCapture trace;
    soundtest::ChannelRig rig(22050);
    ASSERT_EQ(rig.init_result, 1);
    EXPECT_TRUE(trace.Contains("pcm_alaw\n"));  // in the driver table
    const std::string path = rig.Put("alaw.wav", *alaw);
    ASSERT_EQ(rig.dsound().PlayBGM(path.c_str()), 1);
    rig.Seconds(1.5);
    // What the device mixed is the decoder's PCM, sample by sample, and that is the source
    // within A-law's quantisation (one step of the value's segment: 1/16 of it, 32 near zero).
    const std::vector<int16_t> decoded = soundtest::DecodeWhole(*rig.engine.ctx().platform.codecs,
                                                                *alaw);
    ASSERT_GE(decoded.size(), source.size());  // the encoder pads its last frame
    const std::vector<int16_t> heard = rig.Left();
    ASSERT_GT(heard.size(), 22050u);
    // The mix starts where the device started pulling; find the file's first sample in it.
    size_t start = 0;
    while (start < 4000 && !(heard[start] == decoded[0] && heard[start + 1] == decoded[1] &&
                             heard[start + 2] == decoded[2])) {
      ++start;
    }
    ASSERT_LT(start, 4000u);
    for (size_t i = 0; i < 22050 && start + i < heard.size(); ++i) {
      ASSERT_EQ(heard[start + i], decoded[i]) << i;
    }
    for (size_t i = 0; i < source.size(); ++i) {
      ASSERT_LE(std::abs(decoded[i] - source[i]), std::max(32, std::abs(source[i]) / 16)) << i;
    }
  }
  // A tag no decoder takes fails as a format no codec knows, and nothing plays.
  {
    soundtest::ChannelRig rig(22050);
    WavFile unknown = *alaw;
    unknown.format.format_tag = 0x7777;
    const std::string path = rig.Put("unknown.wav", unknown);
    testsupport::TraceCapture trace;
    EXPECT_EQ(rig.dsound().PlayBGM(path.c_str()), 0);
    EXPECT_TRUE(trace.Contains("ACM Format Suggest Fail:"));
  }
}

}  // namespace
