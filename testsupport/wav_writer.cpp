#include "testsupport/wav_writer.h"

#include <cmath>
#include <cstring>

#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/headless/frame_image.h"
#include "platform/ima_adpcm.h"
#include "platform/little_endian.h"

namespace testsupport {

namespace {

using platform::PutLe32;

void PutId(std::vector<uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

// "fmt " chunk body and its true size.
std::vector<uint8_t> FormatBody(const WavFile& wav) {
  std::vector<uint8_t> body(platform::kWaveFormatExSize);
  platform::WriteWaveFormat(wav.format, body.data());
  if (wav.short_format) body.resize(16);
  Append(body, wav.format_extra);
  return body;
}

}  // namespace

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out;
  PutId(out, id);
  PutLe32(out, static_cast<uint32_t>(body.size()));
  Append(out, body);
  if (body.size() % 2 != 0) out.push_back(0);
  return out;
}

std::vector<uint8_t> WavFile::Bytes() const {
  const std::vector<uint8_t> fmt = FormatBody(*this);
  std::vector<uint8_t> body;  // everything after "RIFF" size
  PutId(body, "WAVE");
  Append(body, before_format);
  PutId(body, "fmt ");
  PutLe32(body, format_chunk_size.value_or(static_cast<uint32_t>(fmt.size())));
  Append(body, fmt);
  Append(body, between);
  PutId(body, "data");
  const uint32_t marker = loop_point.has_value() ? 8 : 0;
  const uint32_t true_size = static_cast<uint32_t>(data.size()) + (loop_in_size ? marker : 0);
  PutLe32(body, data_chunk_size.value_or(true_size));
  if (loop_point.has_value()) {
    PutId(body, "loop");
    PutLe32(body, *loop_point);
  }
  Append(body, data);
  if ((data.size() + marker) % 2 != 0) body.push_back(0);
  Append(body, trailing);

  std::vector<uint8_t> out = prefix;
  PutId(out, "RIFF");
  PutLe32(out, static_cast<uint32_t>(body.size()));
  Append(out, body);
  return out;
}

uint32_t WavFile::DataOffset() const {
  return static_cast<uint32_t>(prefix.size() + 12 + before_format.size() + 8 +
                               FormatBody(*this).size() + between.size() + 8 +
                               (loop_point.has_value() ? 8 : 0));
}

WavFile PcmWav(uint16_t channels, uint32_t samples_per_sec, uint16_t bits,
               const std::vector<int16_t>& samples) {
  WavFile wav;
  wav.format.format_tag = platform::kWaveFormatPcm;
  wav.format.channels = channels;
  wav.format.samples_per_sec = samples_per_sec;
  wav.format.bits_per_sample = bits;
  wav.format.block_align = static_cast<uint16_t>(channels * bits / 8);
  wav.format.avg_bytes_per_sec = samples_per_sec * wav.format.block_align;
  wav.short_format = true;
  if (bits == 8) {
    for (int16_t s : samples) wav.data.push_back(static_cast<uint8_t>((s >> 8) + 128));
  } else {
    wav.data = SampleBytes(samples);
  }
  return wav;
}

std::optional<WavFile> EncodedWav(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                                  const std::vector<int16_t>& samples, uint32_t block_size) {
  platform::ffmpeg::EncodedWave encoded;
  if (!platform::ffmpeg::EncodeWave(format_tag, channels, samples_per_sec, samples.data(),
                                    samples.size() / channels, block_size, &encoded)) {
    return std::nullopt;
  }
  WavFile wav;
  wav.format = encoded.format;
  wav.format_extra = encoded.extra;
  wav.data = encoded.data;
  // Compressed files carry a "fact" chunk with the sample count before their data.
  std::vector<uint8_t> fact;
  PutLe32(fact, static_cast<uint32_t>(samples.size() / channels));
  wav.between = Chunk("fact", fact);
  return wav;
}

WavFile ImaAdpcmWav(uint16_t channels, uint32_t samples_per_sec,
                    const std::vector<int16_t>& samples, uint16_t block_align,
                    std::vector<int16_t>* decoded) {
  const uint32_t header = 4u * channels;
  const uint32_t per_block = platform::ImaAdpcmBlockSamples(block_align, channels);
  const size_t frames = samples.size() / channels;
  WavFile wav;
  std::vector<platform::ImaAdpcmChannel> state(channels);
  std::vector<int16_t> back;
  for (size_t start = 0; start < frames; start += per_block) {
    auto source = [&](size_t frame, uint32_t c) -> int32_t {
      return frame < frames ? samples[frame * channels + c] : 0;
    };
    std::vector<uint8_t> block(block_align, 0);
    std::vector<int16_t> out(static_cast<size_t>(per_block) * channels);
    for (uint32_t c = 0; c < channels; ++c) {
      platform::ImaAdpcmChannel& s = state[c];
      s.sample = source(start, c);
      const auto first = static_cast<uint16_t>(s.sample);
      block[4 * c] = static_cast<uint8_t>(first);
      block[4 * c + 1] = static_cast<uint8_t>(first >> 8);
      block[4 * c + 2] = static_cast<uint8_t>(s.index);
      out[c] = static_cast<int16_t>(s.sample);
      for (uint32_t i = 1; i < per_block; ++i) {
        int32_t difference = source(start + i, c) - s.sample;
        uint32_t code = 0;
        if (difference < 0) {
          code = 8;
          difference = -difference;
        }
        int32_t step = platform::ImaAdpcmStepSize(s.index);
        for (uint32_t bit = 4; bit != 0; bit >>= 1, step >>= 1) {
          if (difference >= step) {
            code |= bit;
            difference -= step;
          }
        }
        out[static_cast<size_t>(i) * channels + c] = platform::ImaAdpcmExpand(s, code);
        // Where nibble i - 1 of this channel goes.
        const uint32_t n = i - 1;
        const size_t at = channels == 1 ? header + n / 2
                                        : header + (n / 8) * header + 4 * c + (n % 8) / 2;
        block[at] |= static_cast<uint8_t>((n % 2 == 0) ? code : code << 4);
      }
    }
    wav.data.insert(wav.data.end(), block.begin(), block.end());
    back.insert(back.end(), out.begin(), out.end());
  }
  wav.format.format_tag = platform::kWaveFormatImaAdpcm;
  wav.format.channels = channels;
  wav.format.samples_per_sec = samples_per_sec;
  wav.format.block_align = block_align;
  wav.format.bits_per_sample = 4;
  wav.format.avg_bytes_per_sec =
      static_cast<uint32_t>(static_cast<uint64_t>(samples_per_sec) * block_align / per_block);
  // The extra bytes: samples per block.
  wav.format_extra = {static_cast<uint8_t>(per_block), static_cast<uint8_t>(per_block >> 8)};
  wav.format.extra_size = 2;
  std::vector<uint8_t> fact;
  PutLe32(fact, static_cast<uint32_t>(frames));
  wav.between = Chunk("fact", fact);
  if (decoded != nullptr) *decoded = std::move(back);
  return wav;
}

std::vector<int16_t> Tone(uint16_t channels, uint32_t samples_per_sec, uint32_t frames, double hz,
                          int16_t amplitude) {
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(frames) * channels);
  const double step = 2.0 * 3.14159265358979323846 * hz / samples_per_sec;
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = std::sin(step * i) * amplitude;
    for (uint16_t c = 0; c < channels; ++c) {
      out.push_back(static_cast<int16_t>(std::lround(c == 0 ? v : v / 2)));
    }
  }
  return out;
}

std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  out.reserve(samples.size() * 2);
  for (int16_t s : samples) {
    const uint16_t u = static_cast<uint16_t>(s);
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

std::vector<int16_t> BytesToSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  return out;
}

bool WriteCaptureWav(const std::string& path, const std::vector<int16_t>& samples,
                     uint32_t samples_per_sec, uint16_t channels) {
  return platform::headless::WriteFileBytes(path,
                                           PcmWav(channels, samples_per_sec, 16, samples).Bytes());
}

}  // namespace testsupport
