#pragma once
// The wave-codec seam, standing in for the system's audio compression manager: a registry of
// codec drivers keyed by the wave format tag, each able to open conversion streams from its
// compressed format to 16-bit PCM. The engine finds the drivers, asks for the PCM format to
// convert to, opens a stream on the first driver that takes the format and converts the data
// block by block.
//
// Conversion rules every stream keeps:
// - Source data is made of blocks of the format's block align. Only whole blocks are converted;
//   a final partial block only when the call carries kConvertEnd.
// - Never more than the destination length is written; blocks whose PCM does not fit are left
//   unconverted. The source bytes used are reported, so the caller can offer the rest again.
// - PcmSize(n) is the exact number of PCM bytes that converting n source bytes with kConvertEnd
//   produces (for block codecs; for frame codecs such as MPEG audio it is an upper estimate).
// - After Restart() a stream converts as a newly opened stream of the same formats would: nothing
//   of the data converted before (data held back, decoder or parser state) reaches its output.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Wave format tags.
constexpr uint16_t kWaveFormatPcm = 0x0001;
constexpr uint16_t kWaveFormatMsAdpcm = 0x0002;
constexpr uint16_t kWaveFormatALaw = 0x0006;
constexpr uint16_t kWaveFormatMuLaw = 0x0007;
constexpr uint16_t kWaveFormatImaAdpcm = 0x0011;
constexpr uint16_t kWaveFormatMpeg = 0x0050;
constexpr uint16_t kWaveFormatMpegLayer3 = 0x0055;

// The wave format record as files store it: 18 bytes, little-endian, optionally followed by
// `extra_size` bytes that belong to the compressed format.
struct WaveFormatEx {
  uint16_t format_tag = 0;
  uint16_t channels = 0;
  uint32_t samples_per_sec = 0;
  uint32_t avg_bytes_per_sec = 0;
  uint16_t block_align = 0;
  uint16_t bits_per_sample = 0;
  uint16_t extra_size = 0;
};
constexpr uint32_t kWaveFormatExSize = 18;

// Reads and writes the 18-byte record.
WaveFormatEx ReadWaveFormat(const uint8_t* bytes);
void WriteWaveFormat(const WaveFormatEx& format, uint8_t* bytes);
// The 16-bit PCM format of the given rate and channels.
WaveFormatEx Pcm16Format(uint32_t samples_per_sec, uint16_t channels);

// What the driver search reports of one driver.
struct CodecDriverDetails {
  uint32_t id = 0;        // never 0
  uint32_t priority = 0;  // 1 is the first; kCodecPriorityUnknown when not known
  uint32_t support_flags = 0;
  std::string short_name;
};
constexpr uint32_t kCodecPriorityUnknown = 0xFFFFFFFFu;
constexpr uint32_t kCodecSupportCodec = 0x00000001;  // converts between format tags

// Conversion flags.
constexpr uint32_t kConvertBlockAlign = 0x00000004;
constexpr uint32_t kConvertEnd = 0x00000020;

class CodecStream {
 public:
  virtual ~CodecStream() = default;
  // PCM bytes for `source_bytes` of source (see above); false when it cannot be told.
  virtual bool PcmSize(uint32_t source_bytes, uint32_t* pcm_bytes) = 0;
  // Converts source data to PCM under the rules above. False on a decoding error (nothing is
  // reported as used then).
  virtual bool Convert(const uint8_t* source, uint32_t source_length, uint8_t* destination,
                       uint32_t destination_length, uint32_t flags, uint32_t* source_used,
                       uint32_t* destination_used) = 0;
  // Drops whatever the conversion so far left in the stream, so that the next data (of another
  // file of the same format, or the same file from its start) converts as on a new stream. Lets
  // a caller keep a stream instead of opening a new one per file. False when the stream cannot
  // start again; it is then to be closed.
  virtual bool Restart() = 0;
};

class CodecDriver {
 public:
  virtual ~CodecDriver() = default;
  // A stream from the source format (the 18-byte record followed by its extra bytes, `size`
  // bytes in all) to `pcm`; null when this driver cannot make that conversion.
  virtual std::unique_ptr<CodecStream> OpenStream(const uint8_t* source_format, uint32_t size,
                                                  const WaveFormatEx& pcm) = 0;
};

class WaveCodecs {
 public:
  virtual ~WaveCodecs() = default;
  // Every installed driver; false when the search itself fails.
  virtual bool EnumDrivers(std::vector<CodecDriverDetails>* out) = 0;
  // The size of the largest format record (with its extra bytes) any driver knows.
  virtual bool MaxFormatSize(uint32_t* out) = 0;
  // The PCM format a driver would convert the source format to; false when none knows it.
  virtual bool SuggestPcm(const uint8_t* source_format, uint32_t size, WaveFormatEx* pcm) = 0;
  // Opens a driver by its id; null when there is no such driver.
  virtual std::unique_ptr<CodecDriver> OpenDriver(uint32_t id) = 0;
};

}  // namespace platform
