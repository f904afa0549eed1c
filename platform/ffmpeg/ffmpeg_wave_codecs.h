#pragma once
// The wave codecs on FFmpeg's audio decoders: any wave format tag that this FFmpeg build can decode
// converts. Tags are looked up in FFmpeg's own RIFF tag table; there is one driver per decoder,
// taking every tag that maps to it (MS ADPCM, IMA ADPCM, MPEG audio and MPEG layer 3 come first,
// then the rest in the order of FFmpeg's codec ids). Codecs with a parser in FFmpeg (MPEG audio,
// AAC, AC-3, ...) are frame codecs: the data is cut into frames by the parser, and decoded PCM
// that does not fit the destination waits in the stream for the next call. All others are block
// codecs: every block of the format's block align decodes on its own. The extensible format
// (0xFFFE) is not converted: its real format is named by a GUID that this layer does not read.
// IMA ADPCM with 4 bits per sample is decoded by the reference arithmetic of the system's codec
// (platform/ima_adpcm.h), not by FFmpeg's decoder, which rounds differently.
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
  // Registers a driver for every decoder of this FFmpeg build that a RIFF wave tag maps to; driver
  // ids and priorities follow the order above, starting at 1 (at most 127 drivers).
  FfmpegWaveCodecs();

  bool EnumDrivers(std::vector<CodecDriverDetails>* out) override;
  bool MaxFormatSize(uint32_t* out) override;
  bool SuggestPcm(const uint8_t* source_format, uint32_t size, WaveFormatEx* pcm) override;
  std::unique_ptr<CodecDriver> OpenDriver(uint32_t id) override;

  // Whether a driver for the tag is registered.
  bool Supports(uint16_t format_tag) const;

  struct Entry {
    uint32_t id;
    int codec_id;  // FFmpeg's codec id: the driver converts every tag mapped to it
    std::string short_name;
    uint32_t format_size;  // the format record with its usual extra bytes
    bool framed;
  };
  const std::vector<Entry>& entries() const { return entries_; }

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
// default), MPEG audio (0x0050) as layer 2 frames, A-law (0x0006) and mu-law (0x0007) samples.
// The last block is padded with silence.
// False when the encoder is missing or refuses the parameters.
bool EncodeWave(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                const int16_t* pcm, size_t frames, uint32_t block_size, EncodedWave* out);

}  // namespace platform::ffmpeg
