#pragma once
// Shared by the channel and static-effect tests: a fresh engine with the sound service started on
// the headless device, frames that let device time and the game clock pass together, signals whose
// every sample tells where it came from, and what the device mixed, read back per side.
//
// The device runs at the files' rate, so the mixer passes samples through unchanged (a mono buffer
// is heard the same on both sides) and a test can compare the mix with the file sample by sample.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/wav_writer.h"

namespace soundtest {

struct ChannelRig {
  explicit ChannelRig(uint32_t device_rate = 22050, bool device = true) {
    engine.host.audio.SetDeviceRate(device_rate);
    engine.host.audio.no_device = !device;
    engine.ctx().frame_rate.active = 1;
    init_result = dsound().Init(nullptr);
  }

  CDsoundFunc& dsound() { return engine.ctx().dsound; }
  platform::headless::HeadlessAudio& audio() { return engine.host.audio; }

  // Writes the file; returns its path (the name to play).
  std::string Put(const std::string& name, const testsupport::WavFile& wav) {
    return tree.Write(name, wav.Bytes());
  }

  // One frame of the 60 per second: device time and the game clock pass, then the sound step
  // runs, as the frame loop calls it.
  void Frame() {
    const uint32_t next = static_cast<uint32_t>((frame + 1) * 1000 / 60);
    Step(next - static_cast<uint32_t>(frame * 1000 / 60));
    ++frame;
  }
  // A frame after `ms` milliseconds (frames dropped in between when ms is long).
  void Step(uint32_t ms) {
    engine.host.clock.Advance(ms);
    audio().Pump(ms);
    engine.ctx().frame_rate.Update();
    dsound().Update(Now());
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  void Seconds(double s) { Frames(static_cast<int>(s * 60)); }
  int32_t Now() { return engine.ctx().frame_rate.GetTime(); }

  // The left side of what was mixed from stereo frame `from` on.
  std::vector<int16_t> Left(size_t from = 0) const {
    const std::vector<int16_t>& s = engine.host.audio.captured;
    std::vector<int16_t> out;
    for (size_t i = 2 * from; i + 1 < s.size(); i += 2) out.push_back(s[i]);
    return out;
  }
  size_t MixedFrames() const { return engine.host.audio.captured.size() / 2; }

  testsupport::TempTree tree;
  testsupport::TestEngine engine;
  int init_result = 0;
  uint64_t frame = 0;
};

// Mono 16-bit samples that differ from their neighbours and do not repeat within any test's
// length, so that a sample in the mix tells which sample of the file it is.
inline std::vector<int16_t> Marked(uint32_t count, uint32_t seed = 0) {
  std::vector<int16_t> s(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t h = (i + seed * 7919u) * 2654435761u;
    s[i] = static_cast<int16_t>(h >> 16);
  }
  return s;
}

// What the mixer makes of a mono PCM file's samples at the device's own rate and full volume.
inline std::vector<int16_t> Heard(const testsupport::WavFile& wav) {
  std::vector<int16_t> out;
  if (wav.format.bits_per_sample == 8) {
    for (uint8_t b : wav.data) out.push_back(static_cast<int16_t>((b - 128) * 256));
  } else {
    out = testsupport::BytesToSamples(wav.data);
  }
  return out;
}

// The PCM of a compressed file's whole data, decoded in one go (16-bit samples).
inline std::vector<int16_t> DecodeWhole(platform::WaveCodecs& codecs,
                                        const testsupport::WavFile& wav) {
  std::vector<uint8_t> record(platform::kWaveFormatExSize);
  platform::WriteWaveFormat(wav.format, record.data());
  record.insert(record.end(), wav.format_extra.begin(), wav.format_extra.end());
  const auto size = static_cast<uint32_t>(record.size());
  platform::WaveFormatEx pcm;
  EXPECT_TRUE(codecs.SuggestPcm(record.data(), size, &pcm));
  std::vector<platform::CodecDriverDetails> drivers;
  EXPECT_TRUE(codecs.EnumDrivers(&drivers));
  for (const auto& d : drivers) {
    auto driver = codecs.OpenDriver(d.id);
    if (driver == nullptr) continue;
    auto stream = driver->OpenStream(record.data(), size, pcm);
    if (stream == nullptr) continue;
    const auto n = static_cast<uint32_t>(wav.data.size());
    uint32_t bytes = 0;
    EXPECT_TRUE(stream->PcmSize(n, &bytes));
    std::vector<uint8_t> out(bytes);
    uint32_t used = 0;
    uint32_t written = 0;
    EXPECT_TRUE(stream->Convert(wav.data.data(), n, out.data(), bytes,
                                platform::kConvertBlockAlign | platform::kConvertEnd, &used,
                                &written));
    out.resize(written);
    return testsupport::BytesToSamples(out);
  }
  ADD_FAILURE() << "no driver decodes tag " << wav.format.format_tag;
  return {};
}

// The first index where two sample runs differ over the first `n` samples (n when none), for
// messages that say where a mix went wrong rather than dumping it.
inline size_t FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                              size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (i >= a.size() || i >= b.size() || a[i] != b[i]) return i;
  }
  return n;
}

}  // namespace soundtest
