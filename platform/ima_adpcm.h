#pragma once
// IMA ADPCM (wave format tag 0x0011, 4 bits per sample) decoded by the IMA reference arithmetic,
// as the system's codec decodes it: for a code c and the step s of the current step index,
//   difference = s >> 3, + s when bit 2 of c is set, + s >> 1 for bit 1, + s >> 2 for bit 0;
//   the sample moves down by it when bit 3 is set, else up, and is held inside -32768..32767;
//   the step index moves by the index table's entry for c and is held inside 0..88.
// (FFmpeg's decoder computes ((2c + 1) s) >> 3 instead, which rounds differently.)
//
// Block layout: for each channel a 4-byte header (the first sample, little-endian, then the step
// index and a reserved byte); then the codes, low nibble first. Mono: every byte holds the next
// two samples. Two or more channels: groups of 4 bytes per channel in turn, each group holding the
// next 8 samples of its channel. A final block cut short decodes as far as its bytes reach (mono:
// every whole byte; more channels: every whole round of groups).

#include <cstdint>

namespace platform {

// The decoder's state for one channel.
struct ImaAdpcmChannel {
  int32_t sample = 0;
  int32_t index = 0;  // 0..88
};

constexpr int32_t kImaAdpcmMaxIndex = 88;

// The quantiser step at a step index (0..kImaAdpcmMaxIndex).
int32_t ImaAdpcmStepSize(int32_t index);

// Decodes one 4-bit code; updates the state and returns the new sample.
int16_t ImaAdpcmExpand(ImaAdpcmChannel& channel, uint32_t code);

// The samples per channel that a block (or final partial block) of `bytes` bytes decodes to; 0
// when the bytes do not hold the headers.
uint32_t ImaAdpcmBlockSamples(uint32_t bytes, uint16_t channels);

// Decodes one block of `bytes` bytes into ImaAdpcmBlockSamples(bytes, channels) x channels
// interleaved samples at `out`. False (nothing promised about `out`) when there are no channels or
// a header's step index lies beyond 88.
bool DecodeImaAdpcmBlock(const uint8_t* block, uint32_t bytes, uint16_t channels, int16_t* out);

}  // namespace platform
