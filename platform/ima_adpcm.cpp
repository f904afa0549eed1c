#include "platform/ima_adpcm.h"

#include <algorithm>

namespace platform {

namespace {

constexpr int16_t kStep[kImaAdpcmMaxIndex + 1] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t kIndexMove[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace

int32_t ImaAdpcmStepSize(int32_t index) {
  return kStep[std::clamp<int32_t>(index, 0, kImaAdpcmMaxIndex)];
}

int16_t ImaAdpcmExpand(ImaAdpcmChannel& channel, uint32_t code) {
  const int32_t step = kStep[channel.index];
  int32_t difference = step >> 3;
  if ((code & 4) != 0) difference += step;
  if ((code & 2) != 0) difference += step >> 1;
  if ((code & 1) != 0) difference += step >> 2;
  channel.sample += (code & 8) != 0 ? -difference : difference;
  channel.sample = std::clamp<int32_t>(channel.sample, -32768, 32767);
  channel.index = std::clamp<int32_t>(channel.index + kIndexMove[code & 15], 0, kImaAdpcmMaxIndex);
  return static_cast<int16_t>(channel.sample);
}

uint32_t ImaAdpcmBlockSamples(uint32_t bytes, uint16_t channels) {
  if (channels == 0) return 0;
  const uint32_t header = 4u * channels;
  if (bytes < header) return 0;
  if (channels == 1) return 1 + 2 * (bytes - header);
  return 1 + 8 * ((bytes - header) / header);
}

bool DecodeImaAdpcmBlock(const uint8_t* block, uint32_t bytes, uint16_t channels, int16_t* out) {
  if (channels == 0) return false;
  const uint32_t samples = ImaAdpcmBlockSamples(bytes, channels);
  if (samples == 0) return true;
  const uint32_t header = 4u * channels;
  for (uint32_t c = 0; c < channels; ++c) {
    if (block[4 * c + 2] > kImaAdpcmMaxIndex) return false;
  }
  // The channels decode independently, one after the other.
  for (uint32_t c = 0; c < channels; ++c) {
    const uint8_t* h = block + 4 * c;
    ImaAdpcmChannel s{static_cast<int16_t>(static_cast<uint16_t>(h[0] | (h[1] << 8))), h[2]};
    int16_t* dst = out + c;
    *dst = static_cast<int16_t>(s.sample);
    dst += channels;
    const uint8_t* codes = block + header;
    if (channels == 1) {
      for (uint32_t i = 0; i + 1 < samples; i += 2) {
        const uint8_t byte = codes[i / 2];
        *dst = ImaAdpcmExpand(s, byte & 15);
        dst += channels;
        *dst = ImaAdpcmExpand(s, byte >> 4);
        dst += channels;
      }
      continue;
    }
    // Channel c's groups: bytes 4c..4c+3 of every round of 4 x channels bytes.
    const uint32_t rounds = (samples - 1) / 8;
    for (uint32_t r = 0; r < rounds; ++r) {
      const uint8_t* group = codes + static_cast<size_t>(r) * header + 4 * c;
      for (int k = 0; k < 4; ++k) {
        *dst = ImaAdpcmExpand(s, group[k] & 15);
        dst += channels;
        *dst = ImaAdpcmExpand(s, group[k] >> 4);
        dst += channels;
      }
    }
  }
  return true;
}

}  // namespace platform
