#include "platform/wave_codec.h"
#include "platform/little_endian.h"

namespace platform {

namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

WaveFormatEx ReadWaveFormat(const uint8_t* bytes) {
  WaveFormatEx f;
  f.format_tag = GetLe16(bytes);
  f.channels = GetLe16(bytes + 2);
  f.samples_per_sec = GetLe32(bytes + 4);
  f.avg_bytes_per_sec = GetLe32(bytes + 8);
  f.block_align = GetLe16(bytes + 12);
  f.bits_per_sample = GetLe16(bytes + 14);
  f.extra_size = GetLe16(bytes + 16);
  return f;
}

void WriteWaveFormat(const WaveFormatEx& f, uint8_t* bytes) {
  Put16(bytes, f.format_tag);
  Put16(bytes + 2, f.channels);
  Put32(bytes + 4, f.samples_per_sec);
  Put32(bytes + 8, f.avg_bytes_per_sec);
  Put16(bytes + 12, f.block_align);
  Put16(bytes + 14, f.bits_per_sample);
  Put16(bytes + 16, f.extra_size);
}

WaveFormatEx Pcm16Format(uint32_t samples_per_sec, uint16_t channels) {
  WaveFormatEx f;
  f.format_tag = kWaveFormatPcm;
  f.channels = channels;
  f.samples_per_sec = samples_per_sec;
  f.block_align = static_cast<uint16_t>(channels * 2);
  f.avg_bytes_per_sec = samples_per_sec * f.block_align;
  f.bits_per_sample = 16;
  f.extra_size = 0;
  return f;
}

}  // namespace platform
