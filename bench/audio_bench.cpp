// The sound path's costs: decoding compressed wave data the way a channel does (two-second blocks),
// starting a compressed voice again (open, first blocks, stop), and the mixer's work for a busy
// scene: three streamed channels and sixteen effects, per 10 ms of output.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/mixer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/wav_writer.h"

namespace {

// Decodes ten seconds of 22050 Hz stereo ADPCM in two-second reads; bytes processed are source
// bytes, the counter pcm_MB/s the PCM made.
void BM_AdpcmDecode(benchmark::State& state) {
  const uint16_t tag = static_cast<uint16_t>(state.range(0));
  const uint32_t rate = 22050;
  auto wav = testsupport::EncodedWav(tag, 2, rate,
                                     testsupport::Tone(2, rate, rate * 10, 440, 12000), 1024);
  if (!wav) {
    state.SkipWithError("no encoder");
    return;
  }
  std::vector<uint8_t> record(platform::kWaveFormatExSize);
  platform::WriteWaveFormat(wav->format, record.data());
  record.insert(record.end(), wav->format_extra.begin(), wav->format_extra.end());
  platform::ffmpeg::FfmpegWaveCodecs codecs;
  std::vector<platform::CodecDriverDetails> drivers;
  codecs.EnumDrivers(&drivers);
  std::unique_ptr<platform::CodecDriver> driver;
  std::unique_ptr<platform::CodecStream> stream;
  const platform::WaveFormatEx pcm = platform::Pcm16Format(rate, 2);
  for (const auto& d : drivers) {
    driver = codecs.OpenDriver(d.id);
    stream = driver->OpenStream(record.data(), static_cast<uint32_t>(record.size()), pcm);
    if (stream) break;
  }
  if (!stream) {
    state.SkipWithError("no decoder");
    return;
  }
  const uint32_t block = wav->format.avg_bytes_per_sec * 2;
  uint32_t pcm_block = 0;
  stream->PcmSize(block, &pcm_block);
  std::vector<uint8_t> out(pcm_block);
  const std::vector<uint8_t>& data = wav->data;
  for (auto _ : state) {
    uint32_t pos = 0;
    while (pos < data.size()) {
      const uint32_t n = std::min<uint32_t>(block, static_cast<uint32_t>(data.size()) - pos);
      uint32_t used = 0;
      uint32_t written = 0;
      const uint32_t flags = n == block ? platform::kConvertBlockAlign
                                        : platform::kConvertBlockAlign | platform::kConvertEnd;
      stream->Convert(data.data() + pos, n, out.data(), pcm_block, flags, &used, &written);
      benchmark::DoNotOptimize(out.data());
      pos += used == 0 ? n : used;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
  // PCM bytes made per second (16-bit stereo), in MB/s.
  uint32_t pcm_bytes = 0;
  stream->PcmSize(static_cast<uint32_t>(data.size()), &pcm_bytes);
  state.counters["pcm_MB/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * pcm_bytes / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AdpcmDecode)
    ->Arg(platform::kWaveFormatImaAdpcm)
    ->Arg(platform::kWaveFormatMsAdpcm)
    ->Unit(benchmark::kMillisecond);

// One iteration starts a one-second 22050 Hz mono compressed voice on the sound service (open,
// conversion set up, the first blocks converted: here the whole file) and stops it, as a voice
// started in the middle of an attack's frames. The counter allocs/start is the operator new calls
// per iteration.
void BM_CompressedVoiceStart(benchmark::State& state) {
  const uint16_t tag = static_cast<uint16_t>(state.range(0));
  const uint32_t rate = 22050;
  const bool adpcm = tag == platform::kWaveFormatMsAdpcm || tag == platform::kWaveFormatImaAdpcm;
  auto wav = testsupport::EncodedWav(tag, 1, rate, testsupport::Tone(1, rate, rate, 440, 12000),
                                     adpcm ? 512 : 0);
  if (!wav) {
    state.SkipWithError("no encoder");
    return;
  }
  testsupport::TempTree tree;
  const std::string path = tree.Write("voice.wav", wav->Bytes());
  testsupport::TestEngine engine;
  engine.host.audio.SetDeviceRate(rate);
  engine.host.audio.capture = false;
  CDsoundFunc& dsound = engine.ctx().dsound;
  dsound.Init(nullptr);
  if (dsound.PlayVoice(path.c_str()) != 1) {
    state.SkipWithError("the voice does not play");
    return;
  }
  dsound.StopVoice();
  const uint64_t allocations = BenchAllocations();
  for (auto _ : state) {
    dsound.PlayVoice(path.c_str());
    dsound.StopVoice();
  }
  state.counters["allocs/start"] =
      static_cast<double>(BenchAllocations() - allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CompressedVoiceStart)
    ->Arg(platform::kWaveFormatMsAdpcm)
    ->Arg(platform::kWaveFormatImaAdpcm)
    ->Arg(platform::kWaveFormatALaw)
    ->Arg(platform::kWaveFormatMuLaw)
    ->Arg(platform::kWaveFormatMpeg)
    ->Unit(benchmark::kMicrosecond);

// One iteration is 10 ms of 44100 Hz output with three looping streams (music 44100 stereo, voice
// 22050 mono, a streamed effect 22050 stereo) and sixteen effects at 22050 and 11025 Hz.
void BM_MixThreeStreamsSixteenEffects(benchmark::State& state) {
  platform::Mixer mixer(44100);
  std::vector<std::unique_ptr<platform::SoundBuffer>> buffers;
  auto add = [&](uint16_t channels, uint32_t rate, uint16_t bits, uint32_t seconds, int volume) {
    platform::PcmFormat f{channels, rate, bits};
    auto buffer = mixer.CreateBuffer(f, f.AvgBytesPerSec() * seconds);
    platform::LockedRegions r;
    buffer->Lock(0, buffer->size(), &r);
    for (uint32_t i = 0; i < r.first_size; ++i) r.first[i] = static_cast<uint8_t>(i * 37);
    buffer->Unlock(r);
    buffer->SetVolume(volume);
    buffer->Play(true);
    buffers.push_back(std::move(buffer));
  };
  add(2, 44100, 16, 16, 0);
  add(1, 22050, 16, 16, -300);
  add(2, 22050, 16, 16, -600);
  for (int i = 0; i < 16; ++i) add(1, i % 2 ? 22050 : 11025, i % 4 ? 16 : 8, 1, -100 * i);
  std::vector<int16_t> out(2 * 441);
  for (auto _ : state) {
    mixer.Mix(out.data(), 441);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 441);
}
BENCHMARK(BM_MixThreeStreamsSixteenEffects)->Unit(benchmark::kMicrosecond);

}  // namespace
