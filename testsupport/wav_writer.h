#pragma once
// Wave files for sound tests: PCM 8/16-bit mono/stereo, MS and IMA ADPCM (and MPEG audio) encoded
// with FFmpeg's encoders, the game's "loop" marker, chunks before or after the data, truncated
// files and damaged format chunks. Also test signals, and a writer for captured mixer output so
// that a person can listen to what a test produced.
//
// Layout written: [prefix] "RIFF" size "WAVE" [before_format] "fmt " size record [extra]
// [between] "data" size ["loop" point] samples [pad byte] [trailing].

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/wave_codec.h"

namespace testsupport {

struct WavFile {
  platform::WaveFormatEx format;
  std::vector<uint8_t> format_extra;  // bytes after the 18-byte record inside "fmt "
  // Write the 16-byte record without the extra-size field (as PCM files usually have it).
  bool short_format = false;
  std::optional<uint32_t> format_chunk_size;  // stored "fmt " size instead of the true one
  std::optional<uint32_t> loop_point;         // writes the "loop" marker with this point
  bool loop_in_size = true;                   // the marker's 8 bytes count in the data size
  std::vector<uint8_t> data;                  // the sample data as stored
  std::optional<uint32_t> data_chunk_size;    // stored data size instead of the true one
  std::vector<uint8_t> prefix;                // raw bytes before "RIFF"
  std::vector<uint8_t> before_format;         // raw bytes between "WAVE" and "fmt "
  std::vector<uint8_t> between;               // raw bytes between the format chunk and "data"
  std::vector<uint8_t> trailing;              // raw bytes after the data chunk

  // The whole file.
  std::vector<uint8_t> Bytes() const;
  // Offset of the first sample byte in Bytes().
  uint32_t DataOffset() const;
};

// A RIFF chunk: id, size, body and a pad byte when the body is odd.
std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body);

// PCM from 16-bit samples (interleaved); 8-bit files store (sample >> 8) + 128.
WavFile PcmWav(uint16_t channels, uint32_t samples_per_sec, uint16_t bits,
               const std::vector<int16_t>& samples);
// Compressed wave data encoded from 16-bit samples; nullopt when the encoder is missing.
// block_size 0 takes the encoder's default.
std::optional<WavFile> EncodedWav(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                                  const std::vector<int16_t>& samples, uint32_t block_size = 0);

// IMA ADPCM (4 bits) encoded by the reference algorithm in blocks of `block_align` bytes (4 x
// channels header bytes plus whole groups of 4 bytes per channel); each block starts from its
// first sample and the step index the previous block ended with. `decoded`, when given, receives
// what the reference decoder gives back (the encoder tracks it exactly), frames padded with
// silence to whole blocks.
WavFile ImaAdpcmWav(uint16_t channels, uint32_t samples_per_sec,
                    const std::vector<int16_t>& samples, uint16_t block_align,
                    std::vector<int16_t>* decoded = nullptr);

// A sine tone, interleaved, the same on every channel (the second channel at half amplitude so
// that left and right can be told apart).
std::vector<int16_t> Tone(uint16_t channels, uint32_t samples_per_sec, uint32_t frames, double hz,
                          int16_t amplitude);

// Little-endian 16-bit samples as bytes, and back.
std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> BytesToSamples(const std::vector<uint8_t>& bytes);

// Writes interleaved 16-bit samples as a PCM wave file (for a person to listen to).
bool WriteCaptureWav(const std::string& path, const std::vector<int16_t>& samples,
                     uint32_t samples_per_sec, uint16_t channels = 2);

}  // namespace testsupport
