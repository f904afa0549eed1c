#include "platform/ffmpeg/ffmpeg_wave_codecs.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/ima_adpcm.h"
#include "platform/sound_buffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace platform::ffmpeg {

namespace {

using Entry = FfmpegWaveCodecs::Entry;

// The drivers that come first, with the names and format sizes the system's codecs give them.
struct KnownCodec {
  AVCodecID codec;
  const char* short_name;
  uint32_t format_size;
};
constexpr KnownCodec kKnownCodecs[] = {
    {AV_CODEC_ID_ADPCM_MS, "MS-ADPCM", 50},
    {AV_CODEC_ID_ADPCM_IMA_WAV, "IMA ADPCM", 20},
    {AV_CODEC_ID_MP2, "MPEG Audio", 40},
    {AV_CODEC_ID_MP3, "MPEG Layer-3", 30},
};
constexpr uint32_t kMaxDrivers = 127;  // priorities 1..127 of the driver table

// Largest packet of whole blocks handed to a block decoder at once.
constexpr uint32_t kBlockPacketBytes = 1u << 16;

// The codec FFmpeg's RIFF tag table maps a wave format tag to; none for PCM (the engine's own
// business) and for the extensible format (whose real format is named by a GUID that this layer
// does not read).
AVCodecID TagCodec(uint16_t tag) {
  constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
  if (tag == kWaveFormatPcm || tag == kWaveFormatExtensible) return AV_CODEC_ID_NONE;
  const AVCodecTag* const table[] = {avformat_get_riff_audio_tags(), nullptr};
  return av_codec_get_id(table, tag);
}

// Whether the RIFF tag table has a tag for the codec.
bool HasRiffTag(AVCodecID codec) {
  const AVCodecTag* const table[] = {avformat_get_riff_audio_tags(), nullptr};
  unsigned int tag = 0;
  return av_codec_get_tag2(table, codec, &tag) != 0 && tag != kWaveFormatPcm;
}

// Whether IMA ADPCM data of this format is decoded by the reference arithmetic.
bool ReferenceIma(AVCodecID codec, const WaveFormatEx& source) {
  return codec == AV_CODEC_ID_ADPCM_IMA_WAV && source.bits_per_sample == 4;
}

// Added to the level of every message a codec context logs: errors become debug messages.
constexpr int kQuietLogOffset = AV_LOG_DEBUG - AV_LOG_ERROR;

// The channel counts and rates the PCM side can take: those of a 16-bit sound buffer.
bool PcmShapeOk(uint16_t channels, uint32_t rate) {
  PcmFormat pcm;
  pcm.channels = channels;
  pcm.samples_per_sec = rate;
  pcm.bits_per_sample = 16;
  return pcm.Valid();
}

// One conversion stream: a decoder, a converter to packed 16-bit samples and, for frame codecs,
// a parser and the decoded PCM still waiting to be delivered.
class FfmpegStream final : public CodecStream {
 public:
  ~FfmpegStream() override {
    if (parser_ != nullptr) av_parser_close(parser_);
    swr_free(&swr_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&ctx_);
  }

  static std::unique_ptr<FfmpegStream> Create(const Entry& entry, const WaveFormatEx& source,
                                              const uint8_t* extra, uint32_t extra_size) {
    std::unique_ptr<FfmpegStream> stream(new FfmpegStream(entry, source));
    if (!stream->Init(extra, extra_size)) return nullptr;
    return stream;
  }

  bool PcmSize(uint32_t source_bytes, uint32_t* pcm_bytes) override {
    if (pcm_bytes == nullptr) return false;
    uint64_t bytes = 0;
    if (framed_) {
      // Upper estimate: the PCM of that much time at the declared rate, plus two frames that the
      // parser and the decoder may hold back and deliver late.
      if (source_.avg_bytes_per_sec == 0) return false;
      const uint64_t per_second = static_cast<uint64_t>(source_.samples_per_sec) * pcm_align_;
      bytes = (static_cast<uint64_t>(source_bytes) * per_second + source_.avg_bytes_per_sec - 1) /
              source_.avg_bytes_per_sec;
      bytes = (bytes + pcm_align_ - 1) / pcm_align_ * pcm_align_ + 2 * 1152 * pcm_align_;
    } else {
      const uint32_t align = source_.block_align;
      uint32_t partial = 0;
      if (source_bytes % align != 0 && !SamplesFor(source_bytes % align, &partial)) return false;
      bytes =
          (static_cast<uint64_t>(source_bytes / align) * samples_per_block_ + partial) * pcm_align_;
    }
    if (bytes > 0xFFFFFFFFu) return false;
    *pcm_bytes = static_cast<uint32_t>(bytes);
    return true;
  }

  bool Convert(const uint8_t* source, uint32_t source_length, uint8_t* destination,
               uint32_t destination_length, uint32_t flags, uint32_t* source_used,
               uint32_t* destination_used) override {
    if (source_used == nullptr || destination_used == nullptr) return false;
    *source_used = 0;
    *destination_used = 0;
    if ((source == nullptr && source_length != 0) ||
        (destination == nullptr && destination_length != 0)) {
      return false;
    }
    return framed_ ? ConvertFrames(source, source_length, destination, destination_length, flags,
                                   source_used, destination_used)
                   : ConvertBlocks(source, source_length, destination, destination_length, flags,
                                   source_used, destination_used);
  }

  bool Restart() override {
    pending_.clear();
    if (ima_) return true;  // every block decodes on its own, from its header
    avcodec_flush_buffers(ctx_);
    // The converter only changes the sample format (the rates agree), so it holds nothing back;
    // should it ever, it is made anew for the next frame.
    if (swr_ != nullptr && swr_get_delay(swr_, 1) != 0) swr_free(&swr_);
    if (framed_ && parser_fed_) {
      // The parser may hold part of a frame and the sync of the data before: a new one. It is
      // already new after data that ended (kConvertEnd), the usual case of a file played out.
      av_parser_close(parser_);
      parser_ = av_parser_init(codec_id_);
      parser_fed_ = false;
    }
    return !framed_ || parser_ != nullptr;
  }

 private:
  FfmpegStream(const Entry& entry, const WaveFormatEx& source)
      : codec_id_(static_cast<AVCodecID>(entry.codec_id)),
        framed_(entry.framed),
        ima_(ReferenceIma(codec_id_, source)),
        source_(source),
        pcm_align_(source.channels * 2u) {}

  bool Init(const uint8_t* extra, uint32_t extra_size) {
    if (ima_) {
      samples_per_block_ = ImaAdpcmBlockSamples(source_.block_align, source_.channels);
      return samples_per_block_ != 0;
    }
    const AVCodec* codec = avcodec_find_decoder(codec_id_);
    if (codec == nullptr) return false;
    ctx_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (ctx_ == nullptr || frame_ == nullptr || packet_ == nullptr) return false;
    // The decoder's complaints (a partial block's unusable tail, a damaged frame) are answered
    // through the conversion's result; they go to FFmpeg's debug level, not to the console.
    ctx_->log_level_offset = kQuietLogOffset;
    ctx_->sample_rate = static_cast<int>(source_.samples_per_sec);
    av_channel_layout_default(&ctx_->ch_layout, source_.channels);
    ctx_->block_align = source_.block_align;
    ctx_->bits_per_coded_sample = source_.bits_per_sample;
    ctx_->bit_rate = static_cast<int64_t>(source_.avg_bytes_per_sec) * 8;
    if (extra_size != 0) {
      ctx_->extradata =
          static_cast<uint8_t*>(av_mallocz(extra_size + AV_INPUT_BUFFER_PADDING_SIZE));
      if (ctx_->extradata == nullptr) return false;
      std::memcpy(ctx_->extradata, extra, extra_size);
      ctx_->extradata_size = static_cast<int>(extra_size);
    }
    if (avcodec_open2(ctx_, codec, nullptr) < 0) return false;
    if (framed_) {
      parser_ = av_parser_init(codec_id_);
      return parser_ != nullptr;
    }
    // A block codec must turn a whole block into samples.
    return source_.block_align != 0 && SamplesFor(source_.block_align, &samples_per_block_) &&
           samples_per_block_ != 0;
  }

  // The samples one block (or final partial block) of `bytes` bytes decodes to. Asked of the
  // decoder itself with a silent block of that size, so that the sizes always agree with what
  // the decoder delivers; a size too small to hold a block header gives 0. The last few answers
  // are kept (a stream is asked for its block and for the last block of each file it converts),
  // in buffers that keep their storage, so that asking again allocates nothing.
  bool SamplesFor(uint32_t bytes, uint32_t* samples) {
    if (ima_) {
      *samples = ImaAdpcmBlockSamples(bytes, source_.channels);
      return true;
    }
    for (const SizeAnswer& a : sizes_) {
      if (a.known && a.bytes == bytes) {
        *samples = a.samples;
        return true;
      }
    }
    silent_.assign(bytes, 0);
    sized_pcm_.clear();
    uint32_t count = 0;
    if (Decode(silent_.data(), bytes, &sized_pcm_)) {
      count = static_cast<uint32_t>(sized_pcm_.size() / pcm_align_);
    }
    sizes_[next_size_] = SizeAnswer{bytes, count, true};
    next_size_ = (next_size_ + 1) % sizes_.size();
    *samples = count;
    return true;
  }

  bool ConvertBlocks(const uint8_t* source, uint32_t length, uint8_t* destination,
                     uint32_t capacity, uint32_t flags, uint32_t* used, uint32_t* written) {
    const uint32_t align = source_.block_align;
    const uint32_t whole = length / align;
    const uint32_t block_pcm = samples_per_block_ * pcm_align_;
    // Whole blocks go to the decoder several at a time (blocks decode independently, so this
    // gives the same PCM as one block per packet).
    const uint32_t per_packet = std::max<uint32_t>(1, kBlockPacketBytes / align);
    for (uint32_t b = 0; b < whole;) {
      const uint32_t fit = (capacity - *written) / block_pcm;
      const uint32_t n = std::min({per_packet, whole - b, fit});
      if (n == 0) return true;
      if (!DecodeBlock(source + static_cast<size_t>(b) * align, n * align, destination + *written,
                       n * block_pcm)) {
        *used = 0;
        *written = 0;
        return false;
      }
      *written += n * block_pcm;
      *used += n * align;
      b += n;
    }
    const uint32_t rest = length - whole * align;
    if (rest == 0 || (flags & kConvertEnd) == 0) return true;
    uint32_t samples = 0;
    SamplesFor(rest, &samples);
    const uint32_t rest_pcm = samples * pcm_align_;
    if (capacity - *written < rest_pcm) return true;
    if (rest_pcm != 0 && !DecodeBlock(source + static_cast<size_t>(whole) * align, rest,
                                      destination + *written, rest_pcm)) {
      *used = 0;
      *written = 0;
      return false;
    }
    // A tail too short to be a block decodes to nothing and is used up all the same.
    *written += rest_pcm;
    *used += rest;
    return true;
  }

  // Decodes one block (or a run of whole blocks) into exactly `pcm_bytes` bytes (the size the
  // size query promised).
  bool DecodeBlock(const uint8_t* block, uint32_t size, uint8_t* out, uint32_t pcm_bytes) {
    if (ima_) return DecodeIma(block, size, out, pcm_bytes);
    scratch_.clear();
    if (!Decode(block, size, &scratch_)) return false;
    // A run of whole blocks that stops short has a block the decoder refused.
    if (size % source_.block_align == 0 && size > source_.block_align &&
        scratch_.size() < pcm_bytes) {
      return false;
    }
    const size_t n = std::min<size_t>(scratch_.size(), pcm_bytes);
    std::memcpy(out, scratch_.data(), n);
    std::memset(out + n, 0, pcm_bytes - n);
    return true;
  }

  bool DecodeIma(const uint8_t* data, uint32_t size, uint8_t* out, uint32_t pcm_bytes) {
    const uint32_t align = source_.block_align;
    uint32_t done = 0;
    for (uint32_t at = 0; at < size; at += align) {
      const uint32_t bytes = std::min(align, size - at);
      const uint32_t samples = ImaAdpcmBlockSamples(bytes, source_.channels);
      const uint32_t block_pcm = samples * pcm_align_;
      if (block_pcm > pcm_bytes - done) return false;
      samples_.resize(static_cast<size_t>(samples) * source_.channels);
      if (!DecodeImaAdpcmBlock(data + at, bytes, source_.channels, samples_.data())) return false;
      // Little-endian 16-bit PCM.
      uint8_t* dst = out + done;
      for (int16_t v : samples_) {
        const auto u = static_cast<uint16_t>(v);
        *dst++ = static_cast<uint8_t>(u);
        *dst++ = static_cast<uint8_t>(u >> 8);
      }
      done += block_pcm;
    }
    std::memset(out + done, 0, pcm_bytes - done);
    return true;
  }

  bool ConvertFrames(const uint8_t* source, uint32_t length, uint8_t* destination,
                     uint32_t capacity, uint32_t flags, uint32_t* used, uint32_t* written) {
    if (parser_ == nullptr) return false;  // a parser that could not be made again
    input_.assign(length + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    if (length != 0) std::memcpy(input_.data(), source, length);
    if (length != 0) parser_fed_ = true;
    uint32_t pos = 0;
    while (pos < length) {
      uint8_t* frame_data = nullptr;
      int frame_size = 0;
      const int taken =
          av_parser_parse2(parser_, ctx_, &frame_data, &frame_size, input_.data() + pos,
                           static_cast<int>(length - pos), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (taken < 0) return false;
      pos += static_cast<uint32_t>(taken);
      // A damaged frame is skipped, as a player would.
      if (frame_size > 0) Decode(frame_data, static_cast<uint32_t>(frame_size), &pending_);
      if (taken == 0 && frame_size == 0) break;
    }
    *used = length;
    if ((flags & kConvertEnd) != 0) {
      uint8_t* frame_data = nullptr;
      int frame_size = 0;
      av_parser_parse2(parser_, ctx_, &frame_data, &frame_size, nullptr, 0, AV_NOPTS_VALUE,
                       AV_NOPTS_VALUE, 0);
      if (frame_size > 0) Decode(frame_data, static_cast<uint32_t>(frame_size), &pending_);
      Decode(nullptr, 0, &pending_);  // drain the decoder
      // Ready for the data to start again (a loop rewinds the file).
      avcodec_flush_buffers(ctx_);
      av_parser_close(parser_);
      parser_ = av_parser_init(codec_id_);
      parser_fed_ = false;
      if (parser_ == nullptr) return false;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(pending_.size(), capacity));
    if (n != 0) std::memcpy(destination, pending_.data(), n);
    pending_.erase(pending_.begin(), pending_.begin() + n);
    *written = n;
    return true;
  }

  // Sends one packet (null: end of data) and appends every decoded frame as packed 16-bit PCM.
  bool Decode(const uint8_t* data, uint32_t size, std::vector<uint8_t>* out) {
    int ret = 0;
    if (data != nullptr) {
      packet_buffer_.assign(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      std::memcpy(packet_buffer_.data(), data, size);
      av_packet_unref(packet_);
      packet_->data = packet_buffer_.data();
      packet_->size = static_cast<int>(size);
      ret = avcodec_send_packet(ctx_, packet_);
      av_packet_unref(packet_);
    } else {
      ret = avcodec_send_packet(ctx_, nullptr);
    }
    if (ret < 0 && ret != AVERROR_EOF) {
      avcodec_flush_buffers(ctx_);
      return false;
    }
    bool decoded = false;
    for (;;) {
      ret = avcodec_receive_frame(ctx_, frame_);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
      if (ret < 0) {
        // The decoder may take fewer bytes than a final partial block holds and then refuse the
        // rest: what it decoded stands, the rest was no sample data.
        avcodec_flush_buffers(ctx_);
        return decoded;
      }
      const bool ok = AppendFrame(out);
      av_frame_unref(frame_);
      if (!ok) return false;
      decoded = true;
    }
  }

  bool AppendFrame(std::vector<uint8_t>* out) {
    const int count = frame_->nb_samples;
    if (count <= 0) return true;
    if (swr_ == nullptr || frame_->format != swr_format_ ||
        frame_->ch_layout.nb_channels != swr_channels_ || frame_->sample_rate != swr_rate_) {
      swr_free(&swr_);
      AVChannelLayout out_layout;
      av_channel_layout_default(&out_layout, source_.channels);
      const int ret = swr_alloc_set_opts2(
          &swr_, &out_layout, AV_SAMPLE_FMT_S16, static_cast<int>(source_.samples_per_sec),
          &frame_->ch_layout, static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0,
          nullptr);
      av_channel_layout_uninit(&out_layout);
      if (ret < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return false;
      }
      swr_format_ = frame_->format;
      swr_channels_ = frame_->ch_layout.nb_channels;
      swr_rate_ = frame_->sample_rate;
    }
    const int room = swr_get_out_samples(swr_, count);
    if (room < 0) return false;
    const size_t old = out->size();
    out->resize(old + static_cast<size_t>(room) * pcm_align_);
    uint8_t* dst = out->data() + old;
    const int got =
        swr_convert(swr_, &dst, room, const_cast<const uint8_t**>(frame_->extended_data), count);
    if (got < 0) {
      out->resize(old);
      return false;
    }
    out->resize(old + static_cast<size_t>(got) * pcm_align_);
    return true;
  }

  AVCodecID codec_id_;
  bool framed_;
  bool ima_;  // IMA ADPCM by the reference arithmetic
  WaveFormatEx source_;
  uint32_t pcm_align_;
  uint32_t samples_per_block_ = 0;
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVCodecParserContext* parser_ = nullptr;
  SwrContext* swr_ = nullptr;
  int swr_format_ = -1;
  int swr_channels_ = 0;
  int swr_rate_ = 0;
  bool parser_fed_ = false;  // data went into the parser since it was made
  struct SizeAnswer {
    uint32_t bytes = 0;
    uint32_t samples = 0;
    bool known = false;
  };
  std::array<SizeAnswer, 8> sizes_{};
  size_t next_size_ = 0;
  std::vector<uint8_t> silent_;
  std::vector<uint8_t> sized_pcm_;
  std::vector<uint8_t> packet_buffer_;
  std::vector<uint8_t> input_;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> pending_;
  std::vector<int16_t> samples_;
};

class FfmpegDriver final : public CodecDriver {
 public:
  explicit FfmpegDriver(const Entry& entry) : entry_(entry) {}

  std::unique_ptr<CodecStream> OpenStream(const uint8_t* source_format, uint32_t size,
                                          const WaveFormatEx& pcm) override {
    if (source_format == nullptr || size < kWaveFormatExSize) return nullptr;
    const WaveFormatEx source = ReadWaveFormat(source_format);
    if (TagCodec(source.format_tag) != static_cast<AVCodecID>(entry_.codec_id) ||
        !PcmShapeOk(source.channels, source.samples_per_sec)) {
      return nullptr;
    }
    if (!entry_.framed && source.block_align == 0) return nullptr;
    if (pcm.format_tag != kWaveFormatPcm || pcm.bits_per_sample != 16 ||
        pcm.channels != source.channels || pcm.samples_per_sec != source.samples_per_sec) {
      return nullptr;
    }
    const uint32_t extra = std::min<uint32_t>(source.extra_size, size - kWaveFormatExSize);
    return FfmpegStream::Create(entry_, source, source_format + kWaveFormatExSize, extra);
  }

 private:
  Entry entry_;
};

}  // namespace

FfmpegWaveCodecs::FfmpegWaveCodecs() {
  // The decoders that wave tags map to: the known ones first, then by codec id.
  std::vector<AVCodecID> order;
  for (const KnownCodec& known : kKnownCodecs) order.push_back(known.codec);
  std::vector<AVCodecID> rest;
  void* at = nullptr;
  while (const AVCodec* codec = av_codec_iterate(&at)) {
    if (!av_codec_is_decoder(codec) || codec->type != AVMEDIA_TYPE_AUDIO) continue;
    if (std::find(order.begin(), order.end(), codec->id) == order.end() &&
        std::find(rest.begin(), rest.end(), codec->id) == rest.end() && HasRiffTag(codec->id)) {
      rest.push_back(codec->id);
    }
  }
  std::sort(rest.begin(), rest.end());
  order.insert(order.end(), rest.begin(), rest.end());

  uint32_t next = 1;
  for (AVCodecID codec : order) {
    if (next > kMaxDrivers) break;
    if (avcodec_find_decoder(codec) == nullptr || !HasRiffTag(codec)) continue;
    Entry entry{next, static_cast<int>(codec), avcodec_get_name(codec), kWaveFormatExSize, false};
    for (const KnownCodec& known : kKnownCodecs) {
      if (known.codec == codec) {
        entry.short_name = known.short_name;
        entry.format_size = known.format_size;
      }
    }
    // A codec FFmpeg has a parser for comes in frames of its own length.
    if (AVCodecParserContext* parser = av_parser_init(codec)) {
      entry.framed = true;
      av_parser_close(parser);
    }
    entries_.push_back(std::move(entry));
    ++next;
  }
}

bool FfmpegWaveCodecs::EnumDrivers(std::vector<CodecDriverDetails>* out) {
  if (out == nullptr) return false;
  out->clear();
  for (const Entry& e : entries_) {
    out->push_back(CodecDriverDetails{e.id, e.id, kCodecSupportCodec, e.short_name});
  }
  return true;
}

bool FfmpegWaveCodecs::MaxFormatSize(uint32_t* out) {
  if (out == nullptr) return false;
  uint32_t largest = kWaveFormatExSize;
  for (const Entry& e : entries_) largest = std::max(largest, e.format_size);
  *out = largest;
  return true;
}

bool FfmpegWaveCodecs::SuggestPcm(const uint8_t* source_format, uint32_t size, WaveFormatEx* pcm) {
  if (source_format == nullptr || pcm == nullptr || size < kWaveFormatExSize) return false;
  const WaveFormatEx source = ReadWaveFormat(source_format);
  if (!Supports(source.format_tag) || !PcmShapeOk(source.channels, source.samples_per_sec)) {
    return false;
  }
  *pcm = Pcm16Format(source.samples_per_sec, source.channels);
  return true;
}

std::unique_ptr<CodecDriver> FfmpegWaveCodecs::OpenDriver(uint32_t id) {
  for (const Entry& e : entries_) {
    if (e.id == id) return std::make_unique<FfmpegDriver>(e);
  }
  return nullptr;
}

bool FfmpegWaveCodecs::Supports(uint16_t format_tag) const {
  const AVCodecID codec = TagCodec(format_tag);
  return codec != AV_CODEC_ID_NONE &&
         std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.codec_id == static_cast<int>(codec); });
}

bool EncodeWave(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                const int16_t* pcm, size_t frames, uint32_t block_size, EncodedWave* out) {
  if (out == nullptr || (pcm == nullptr && frames != 0) || channels == 0) return false;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (format_tag == kWaveFormatMsAdpcm) id = AV_CODEC_ID_ADPCM_MS;
  if (format_tag == kWaveFormatImaAdpcm) id = AV_CODEC_ID_ADPCM_IMA_WAV;
  if (format_tag == kWaveFormatMpeg) id = AV_CODEC_ID_MP2;
  if (format_tag == kWaveFormatALaw) id = AV_CODEC_ID_PCM_ALAW;
  if (format_tag == kWaveFormatMuLaw) id = AV_CODEC_ID_PCM_MULAW;
  const AVCodec* codec = avcodec_find_encoder(id);
  if (codec == nullptr) return false;
  const bool framed = format_tag == kWaveFormatMpeg;

  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  bool ok = ctx != nullptr && frame != nullptr && packet != nullptr;
  if (ok) {
    ctx->log_level_offset = kQuietLogOffset;
    ctx->sample_rate = static_cast<int>(samples_per_sec);
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (framed) ctx->bit_rate = channels == 1 ? 64000 : 128000;
    if (!framed && block_size != 0) av_opt_set_int(ctx->priv_data, "block_size", block_size, 0);
    ok = avcodec_open2(ctx, codec, nullptr) >= 0;
  }
  // Sample codecs (A-law, mu-law) take frames of any length: a block is one sample frame.
  const bool per_sample = ok && ctx->frame_size == 0;
  if (per_sample) ctx->frame_size = 1024;
  ok = ok && ctx->frame_size > 0;
  const bool planar = ok && av_sample_fmt_is_planar(ctx->sample_fmt);
  if (ok) {
    frame->nb_samples = ctx->frame_size;
    frame->format = ctx->sample_fmt;
    ok = av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout) >= 0 &&
         av_frame_get_buffer(frame, 0) >= 0;
  }
  out->data.clear();
  auto drain = [&]() {
    while (avcodec_receive_packet(ctx, packet) >= 0) {
      out->data.insert(out->data.end(), packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
  };
  const size_t frame_size = ok ? static_cast<size_t>(ctx->frame_size) : 0;
  for (size_t start = 0; ok && start < frames; start += frame_size) {
    ok = av_frame_make_writable(frame) >= 0;
    if (!ok) break;
    for (size_t i = 0; i < frame_size; ++i) {
      for (uint16_t c = 0; c < channels; ++c) {
        const int16_t v = start + i < frames ? pcm[(start + i) * channels + c] : 0;
        if (planar) {
          reinterpret_cast<int16_t*>(frame->data[c])[i] = v;
        } else {
          reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = v;
        }
      }
    }
    frame->pts = static_cast<int64_t>(start);
    ok = avcodec_send_frame(ctx, frame) >= 0;
    drain();
  }
  if (ok) {
    avcodec_send_frame(ctx, nullptr);
    drain();
  }
  if (ok) {
    WaveFormatEx& f = out->format;
    f = WaveFormatEx{};
    f.format_tag = format_tag;
    f.channels = channels;
    f.samples_per_sec = samples_per_sec;
    if (framed) {
      f.block_align = 1;
      f.avg_bytes_per_sec = static_cast<uint32_t>(ctx->bit_rate / 8);
      f.bits_per_sample = 0;
      // The MPEG-1 format's extra record: layer 2, bit rate, mode; the rest zero.
      out->extra.assign(22, 0);
      out->extra[0] = 2;
      const uint32_t rate = static_cast<uint32_t>(ctx->bit_rate);
      for (int i = 0; i < 4; ++i) out->extra[2 + i] = static_cast<uint8_t>(rate >> (8 * i));
      out->extra[6] = channels == 1 ? 8 : 1;
    } else {
      f.block_align = static_cast<uint16_t>(ctx->block_align);
      f.bits_per_sample = static_cast<uint16_t>(ctx->bits_per_coded_sample);
      const int block_samples = per_sample ? 1 : ctx->frame_size;
      f.avg_bytes_per_sec = static_cast<uint32_t>(static_cast<uint64_t>(samples_per_sec) *
                                                  ctx->block_align / block_samples);
      out->extra.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
    }
    f.extra_size = static_cast<uint16_t>(out->extra.size());
  }
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return ok;
}

}  // namespace platform::ffmpeg
