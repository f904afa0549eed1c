#pragma once
// The wave codecs on FFmpeg's audio decoders: one driver per wave format tag that FFmpeg can
// decode. FFmpeg's own table from wave tags to codecs is internal, so the tags are mapped here:
//   0x0002 MS ADPCM, 0x0011 IMA ADPCM (block codecs: every block of the format's block align
//   decodes on its own), 0x0050 MPEG audio and 0x0055 MPEG layer 3 (frame codecs: the data is cut
//   into frames by FFmpeg's parser, and decoded PCM that does not fit the destination waits in the
//   stream for the next call).
// The public headers of this folder use no FFmpeg type; only its .cpp files include FFmpeg.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_codec.h"

namespace platform::ffmpeg {

class FfmpegWaveCodecs final : public WaveCodecs {
 public:
  // Registers a driver for every mapped tag whose decoder this FFmpeg build has; driver ids and
  // priorities follow the order of the list above, starting at 1.
  FfmpegWaveCodecs();

  bool EnumDrivers(std::vector<CodecDriverDetails>* out) override;
  bool MaxFormatSize(uint32_t* out) override;
  bool SuggestPcm(const uint8_t* source_format, uint32_t size, WaveFormatEx* pcm) override;
  std::unique_ptr<CodecDriver> OpenDriver(uint32_t id) override;

  // Whether a driver for the tag is registered.
  bool Supports(uint16_t format_tag) const;

  struct Entry {
    uint32_t id;
    uint16_t tag;
    int codec_id;  // FFmpeg's codec id
    const char* short_name;
    uint32_t format_size;  // the format record with its usual extra bytes
    bool framed;
  };

 private:
  std::vector<Entry> entries_;
};

// Wave data encoded for test fixtures and sound checks.
struct EncodedWave {
  WaveFormatEx format;         // extra_size matches `extra`
  std::vector<uint8_t> extra;  // the format's extra bytes
  std::vector<uint8_t> data;   // the sample data (whole blocks or frames)
};

// Encodes 16-bit interleaved PCM (frames x channels samples) with FFmpeg's encoder for the tag:
// MS ADPCM and IMA ADPCM in blocks of `block_size` bytes (a power of two; 0 picks the encoder's
// default), MPEG audio (0x0050) as layer 2 frames. The last block is padded with silence.
// False when the encoder is missing or refuses the parameters.
bool EncodeWave(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                const int16_t* pcm, size_t frames, uint32_t block_size, EncodedWave* out);

}  // namespace platform::ffmpeg
