// Compressed wave files opened again: the sound service keeps its codec drivers and the streams
// of closed files, and starts a kept stream again for the next file of the same format. A voice
// of a format heard before then starts without allocating, and sounds exactly as it does on a
// fresh engine: nothing of the file before (held-back PCM, a half-parsed frame, decoder state)
// reaches it.
//
// The program's operator new counts the allocations of the test's own thread
// (testsupport/counting_new).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel_rig.h"
#include "testsupport/counting_new/counting_new.h"
#include "testsupport/trace_capture.h"

namespace {

using soundtest::ChannelRig;
using soundtest::FirstDifference;
using testsupport::WavFile;

constexpr uint32_t kRate = 22050;

// The compressed formats the test files can be written in (FFmpeg's encoders; IMA ADPCM is
// decoded by the reference arithmetic, the others by FFmpeg's decoders).
struct Format {
  const char* name;
  uint16_t tag;
};
constexpr Format kFormats[] = {
    {"MS ADPCM", platform::kWaveFormatMsAdpcm}, {"IMA ADPCM", platform::kWaveFormatImaAdpcm},
    {"A-law", platform::kWaveFormatALaw},       {"mu-law", platform::kWaveFormatMuLaw},
    {"MPEG audio", platform::kWaveFormatMpeg},
};

// A mono tone of the given length; `pitch` tells files of one format apart (same format record,
// other data).
std::optional<WavFile> Tone(uint16_t tag, double seconds, int pitch) {
  const auto frames = static_cast<uint32_t>(kRate * seconds);
  const std::vector<int16_t> pcm = testsupport::Tone(1, kRate, frames, 300.0 + 170.0 * pitch, 11000);
  const bool adpcm = tag == platform::kWaveFormatMsAdpcm || tag == platform::kWaveFormatImaAdpcm;
  return testsupport::EncodedWav(tag, 1, kRate, pcm, adpcm ? 512 : 0);
}

// Plays the file on the voice channel for `seconds` and returns what the device mixed from its
// start; `allocations` receives the allocations the start itself made.
std::vector<int16_t> PlayVoice(ChannelRig& rig, const std::string& path, double seconds,
                               uint64_t* allocations = nullptr) {
  rig.dsound().StopVoice();
  const size_t from = rig.MixedFrames();
  const uint64_t before = counting_new::ThreadAllocations();
  const int played = rig.dsound().PlayVoice(path.c_str());
  const uint64_t made = counting_new::ThreadAllocations() - before;
  if (allocations != nullptr) *allocations = made;
  EXPECT_EQ(played, 1) << path;
  rig.Seconds(seconds);
  return rig.Left(from);
}

// What a fresh engine makes of the file: the reference every reopen must match.
std::vector<int16_t> FreshlyHeard(const WavFile& wav, double seconds) {
  ChannelRig fresh(kRate);
  const std::string path = fresh.Put("v.wav", wav);
  return PlayVoice(fresh, path, seconds);
}

// The two runs agree over the first n samples; the message tells where they part.
void ExpectSameSound(const std::vector<int16_t>& heard, const std::vector<int16_t>& reference,
                     size_t n, const std::string& what) {
  ASSERT_GE(reference.size(), n) << what;
  ASSERT_GE(heard.size(), n) << what;
  EXPECT_EQ(FirstDifference(heard, reference, n), n) << what << ": first difference";
}

int Loudest(const std::vector<int16_t>& s) {
  int m = 0;
  for (int16_t v : s) m = std::max(m, std::abs(static_cast<int>(v)));
  return m;
}

TEST(CodecReuse, AReopenedFileSoundsAsOnAFreshEngineAndStartsWithoutAllocating) {
  // Played out to its end, or stopped early: a channel converts up to four two-second reads
  // at its start, so of a ten-second file eight seconds are read without the end of the data,
  // and a frame codec's parser then holds part of a frame (and the decoder the data before).
  const struct {
    const char* what;
    double file_seconds;
    double played;
  } ends[] = {{"played out", 0.6, 1.0}, {"stopped early", 10.0, 0.5}};
  for (const Format& f : kFormats) {
    for (const auto& end : ends) {
      SCOPED_TRACE(testing::Message() << f.name << ", " << end.what);
      const std::optional<WavFile> wav = Tone(f.tag, end.file_seconds, 1);
      if (!wav.has_value()) {
        ADD_FAILURE() << "no encoder for " << f.name;
        continue;
      }
      const std::vector<int16_t> reference = FreshlyHeard(*wav, end.played);
      const size_t n = static_cast<size_t>(kRate * std::min(end.played, end.file_seconds)) - 2000;
      ASSERT_GT(Loudest(std::vector<int16_t>(reference.begin(), reference.begin() + n)), 4000);

      ChannelRig rig(kRate);
      const std::string path = rig.Put("voice/v.wav", *wav);
      ExpectSameSound(PlayVoice(rig, path, end.played), reference, n, "first play");
      for (int round = 0; round < 3; ++round) {
        uint64_t allocations = 99;
        const std::vector<int16_t> heard = PlayVoice(rig, path, end.played, &allocations);
        EXPECT_EQ(allocations, 0u) << "round " << round;
        ExpectSameSound(heard, reference, n, "round " + std::to_string(round));
      }
      rig.dsound().StopVoice();
      EXPECT_EQ(rig.dsound().KeptStreamCount(), 1u);
    }
  }
}

TEST(CodecReuse, FormatsThatAlternateEachFindTheirOwnStream) {
  // The second file's format lies between two plays of the first's; then the two alternate.
  // Two files of one format (another tone, another length) share the format record, and so
  // their stream, though the bytes after the record differ.
  const struct {
    uint16_t a;
    uint16_t b;
  } pairs[] = {
      {platform::kWaveFormatMsAdpcm, platform::kWaveFormatMpeg},
      {platform::kWaveFormatALaw, platform::kWaveFormatImaAdpcm},
      {platform::kWaveFormatMuLaw, platform::kWaveFormatALaw},
      {platform::kWaveFormatMpeg, platform::kWaveFormatMpeg},
      {platform::kWaveFormatMsAdpcm, platform::kWaveFormatMsAdpcm},
      {platform::kWaveFormatALaw, platform::kWaveFormatALaw},
      {platform::kWaveFormatImaAdpcm, platform::kWaveFormatImaAdpcm},
  };
  constexpr double kSeconds = 0.5;
  constexpr double kOtherSeconds = 0.45;
  for (const auto& p : pairs) {
    SCOPED_TRACE(testing::Message() << "tags " << p.a << " and " << p.b);
    const std::optional<WavFile> wavs[2] = {Tone(p.a, kSeconds, 1), Tone(p.b, kOtherSeconds, 2)};
    ASSERT_TRUE(wavs[0].has_value() && wavs[1].has_value());
    ChannelRig rig(kRate);
    std::vector<int16_t> references[2];
    std::string paths[2];
    for (int i = 0; i < 2; ++i) {
      references[i] = FreshlyHeard(*wavs[i], 0.8);
      paths[i] = rig.Put("voice/v" + std::to_string(i) + ".wav", *wavs[i]);
    }
    const size_t n = static_cast<size_t>(kRate * kOtherSeconds) - 2000;
    // The first of each allocates its stream and the rest; every later start nothing.
    const int order[] = {0, 1, 0, 1, 0, 0, 1, 1, 0};
    for (size_t k = 0; k < std::size(order); ++k) {
      const int i = order[k];
      uint64_t allocations = 0;
      const std::vector<int16_t> heard = PlayVoice(rig, paths[i], 0.8, &allocations);
      if (k >= 2) {
        EXPECT_EQ(allocations, 0u) << "play " << k;
      }
      ExpectSameSound(heard, references[i], n, "play " + std::to_string(k));
    }
    rig.dsound().StopVoice();
    // One stream per format record: the two tones of one format share theirs.
    EXPECT_EQ(rig.dsound().KeptStreamCount(), p.a == p.b ? 1u : 2u);
  }
}

TEST(CodecReuse, TheKeptStreamsStayFewWhateverIsPlayed) {
  // Every format at two rates (more formats than streams are kept) on all three channels, over
  // and over: the streams kept never exceed the bound.
  ChannelRig rig(kRate);
  std::vector<std::string> paths;
  for (const Format& f : kFormats) {
    for (uint32_t rate : {kRate, kRate / 2}) {
      const std::vector<int16_t> pcm = testsupport::Tone(1, rate, rate / 4, 500, 9000);
      const auto wav = testsupport::EncodedWav(f.tag, 1, rate, pcm, 0);
      if (!wav.has_value()) continue;
      paths.push_back(
          rig.Put("se/" + std::to_string(f.tag) + "_" + std::to_string(rate) + ".wav", *wav));
    }
  }
  ASSERT_GE(paths.size(), 8u);
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < paths.size(); ++i) {
      const int ch = static_cast<int>(i % kSoundChannels);
      ASSERT_EQ(rig.dsound().PlayChannel(ch, paths[i].c_str()), 1) << paths[i];
      rig.Frames(2);
      EXPECT_LE(rig.dsound().KeptStreamCount(), 8u);
    }
  }
  for (int ch = 0; ch < kSoundChannels; ++ch) rig.dsound().StopChannel(ch);
  EXPECT_LE(rig.dsound().KeptStreamCount(), 8u);
  EXPECT_GT(rig.dsound().KeptStreamCount(), 0u);
  // Shut down: everything kept is given up (LeakSanitizer checks that it is freed).
  rig.dsound().Release();
  EXPECT_EQ(rig.dsound().KeptStreamCount(), 0u);
}

TEST(CodecReuse, ADamagedFileStillFailsCleanlyAfterAStreamWasKept) {
  struct Case {
    const char* what;
    uint16_t tag;
    const char* trace;
  };
  const Case cases[] = {
      // A block header no decoder accepts in the first block: the first conversion fails.
      {"MS ADPCM predictor beyond the table", platform::kWaveFormatMsAdpcm,
       "AcmStreamConvert Failed:"},
      {"IMA ADPCM step index beyond the table", platform::kWaveFormatImaAdpcm,
       "AcmStreamConvert Failed:"},
      // The same tag with a record no driver takes: no kept stream matches it either.
      {"IMA ADPCM record without bits per sample", platform::kWaveFormatImaAdpcm,
       "No Driver Exist\n"},
      // The file ends inside its format chunk.
      {"file cut inside the format chunk", platform::kWaveFormatMsAdpcm, "Header Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<WavFile> good = Tone(c.tag, 0.5, 1);
    ASSERT_TRUE(good.has_value());
    WavFile bad = *good;
    const std::string what = c.what;
    if (what == "MS ADPCM predictor beyond the table") bad.data[0] = 9;
    if (what == "IMA ADPCM step index beyond the table") bad.data[2] = 200;
    if (what == "IMA ADPCM record without bits per sample") bad.format.bits_per_sample = 0;
    std::vector<uint8_t> bad_bytes = bad.Bytes();
    if (what == "file cut inside the format chunk") bad_bytes.resize(30);

    const std::vector<int16_t> reference = FreshlyHeard(*good, 0.8);
    ChannelRig rig(kRate);
    const std::string good_path = rig.Put("voice/good.wav", *good);
    const std::string bad_path = rig.tree.Write("voice/bad.wav", bad_bytes);
    PlayVoice(rig, good_path, 0.8);
    rig.dsound().StopVoice();
    ASSERT_EQ(rig.dsound().KeptStreamCount(), 1u);

    testsupport::TraceCapture trace;
    EXPECT_EQ(rig.dsound().PlayVoice(bad_path.c_str()), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_TRUE(rig.dsound().IsVoiceStop());
    EXPECT_EQ(rig.dsound().channels[kChannelVoice].stream, nullptr);
    EXPECT_EQ(rig.dsound().channels[kChannelVoice].file, kInvalidFile);
    EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
    EXPECT_LE(rig.dsound().KeptStreamCount(), 1u);
    // The good file still sounds as on a fresh engine (a stream that failed a block starts
    // again clean).
    ExpectSameSound(PlayVoice(rig, good_path, 0.8), reference,
                    static_cast<size_t>(kRate * 0.5) - 2000, "good file after the bad one");
  }
}

// The seam itself: a stream started again converts a file exactly as a new stream does, after
// a conversion that ended or one broken off in the middle of the data.
TEST(CodecReuse, ARestartedStreamConvertsAsANewOne) {
  testsupport::TestEngine engine;
  platform::WaveCodecs& codecs = engine.codecs;
  std::vector<platform::CodecDriverDetails> drivers;
  ASSERT_TRUE(codecs.EnumDrivers(&drivers));

  // Opens a stream for the file's format on the first driver that takes it.
  const auto open = [&](const WavFile& wav) -> std::unique_ptr<platform::CodecStream> {
    std::vector<uint8_t> record(platform::kWaveFormatExSize);
    platform::WriteWaveFormat(wav.format, record.data());
    record.insert(record.end(), wav.format_extra.begin(), wav.format_extra.end());
    const platform::WaveFormatEx pcm = platform::Pcm16Format(wav.format.samples_per_sec, 1);
    for (const auto& d : drivers) {
      auto driver = codecs.OpenDriver(d.id);
      if (driver == nullptr) continue;
      auto stream = driver->OpenStream(record.data(), static_cast<uint32_t>(record.size()), pcm);
      if (stream != nullptr) return stream;
    }
    return nullptr;
  };
  // Converts the first `length` bytes in reads of `read` bytes, as a channel does (the end flag
  // on the last read when `end`).
  const auto convert = [](platform::CodecStream& stream, const std::vector<uint8_t>& data,
                          size_t length, uint32_t read, bool end) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> block;
    size_t pos = 0;
    for (int guard = 0; guard < 1000; ++guard) {
      const auto n = static_cast<uint32_t>(std::min<size_t>(read, length - pos));
      const bool last = pos + n == length;
      uint32_t flags = platform::kConvertBlockAlign;
      if (last && end) flags |= platform::kConvertEnd;
      uint32_t size = 0;
      EXPECT_TRUE(stream.PcmSize(read, &size));
      block.assign(size, 0);
      uint32_t used = 0;
      uint32_t written = 0;
      EXPECT_TRUE(stream.Convert(data.data() + pos, n, block.data(), size, flags, &used, &written));
      out.insert(out.end(), block.begin(), block.begin() + written);
      pos += used;
      if (last && (used == n || !end)) break;
      if (used == 0 && !end) break;
    }
    return out;
  };

  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const std::optional<WavFile> before = Tone(f.tag, 2.0, 1);
    const std::optional<WavFile> after = Tone(f.tag, 1.0, 2);
    ASSERT_TRUE(before.has_value() && after.has_value());
    ASSERT_TRUE(before->format_extra == after->format_extra);
    const uint32_t read = after->format.avg_bytes_per_sec / 2;  // half a second of data
    std::unique_ptr<platform::CodecStream> fresh = open(*after);
    ASSERT_NE(fresh, nullptr);
    const std::vector<uint8_t> expected = convert(*fresh, after->data, after->data.size(), read, true);
    ASSERT_GT(expected.size(), kRate);

    const struct {
      const char* what;
      size_t length;  // bytes of the file before converted
      bool end;
    } befores[] = {
        {"after a whole file", before->data.size(), true},
        {"after a file broken off mid-frame", before->data.size() / 2 + 37, false},
        {"after nothing", 0, false},
    };
    for (const auto& b : befores) {
      SCOPED_TRACE(b.what);
      std::unique_ptr<platform::CodecStream> stream = open(*before);
      ASSERT_NE(stream, nullptr);
      if (b.length != 0) convert(*stream, before->data, b.length, read, b.end);
      ASSERT_TRUE(stream->Restart());
      const std::vector<uint8_t> got = convert(*stream, after->data, after->data.size(), read, true);
      EXPECT_EQ(got.size(), expected.size());
      EXPECT_TRUE(got == expected);
    }
  }
}

}  // namespace
