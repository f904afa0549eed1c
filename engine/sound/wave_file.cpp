// The wave-file layer of CDsoundFunc: wave heads, codec drivers, block conversion, closing.

#include <algorithm>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/sound/dsound_func.h"
#include "platform/little_endian.h"

namespace {

// The error number traced for a conversion the codecs cannot make.
constexpr int kCodecNotPossible = 512;


// The first offset >= from where `pattern` starts with `tail` more bytes after it, all inside
// the n bytes; -1 when there is none.
int64_t Find(const uint8_t* bytes, uint32_t n, uint32_t from, const char* pattern, uint32_t length,
             uint32_t tail) {
  const uint64_t need = static_cast<uint64_t>(length) + tail;
  for (uint64_t i = from; i + need <= n; ++i) {
    if (std::memcmp(bytes + i, pattern, length) == 0) return static_cast<int64_t>(i);
  }
  return -1;
}

}  // namespace

bool ReadWaveHead(const uint8_t* h, uint32_t n, WaveHead* out) {
  *out = WaveHead{};
  const int64_t form = Find(h, n, 0, "WAVEfmt ", 8, 4);
  if (form < 0) {
    DebugPrint("DS SoundFile Header Error: no \"WAVEfmt \"\n");
    return false;
  }
  out->format_offset = static_cast<uint32_t>(form) + 12;
  out->format_size = platform::GetLe32(h + form + 8);
  // The chunk must hold at least the 16 bytes of a format record and lie inside the head.
  if (out->format_size < 16 || out->format_size > n - out->format_offset) {
    DebugPrint("DS SoundFile Header Error: format chunk of %u bytes\n", out->format_size);
    return false;
  }
  uint8_t record[platform::kWaveFormatExSize] = {};
  std::memcpy(record, h + out->format_offset,
              std::min<uint32_t>(out->format_size, platform::kWaveFormatExSize));
  out->format = platform::ReadWaveFormat(record);
  // Extra bytes belong to the format only as far as the chunk reaches.
  out->format.extra_size =
      static_cast<uint16_t>(out->format_size > platform::kWaveFormatExSize
                                ? std::min<uint32_t>(out->format.extra_size,
                                                     out->format_size - platform::kWaveFormatExSize)
                                : 0);
  const platform::WaveFormatEx& f = out->format;
  if (f.channels == 0 || f.samples_per_sec == 0 || f.avg_bytes_per_sec == 0 || f.block_align == 0 ||
      f.avg_bytes_per_sec > kMaxWaveBytesPerSecond) {
    DebugPrint("DS SoundFile Format Error: tag %u, %u channels, %u Hz, %u bytes/s, align %u\n",
               f.format_tag, f.channels, f.samples_per_sec, f.avg_bytes_per_sec, f.block_align);
    return false;
  }
  const int64_t data = Find(h, n, out->format_offset, "data", 4, 4);
  if (data < 0) {
    DebugPrint("DS SoundFile Header Error: no \"data\"\n");
    return false;
  }
  out->data_size = platform::GetLe32(h + data + 4);
  out->chunk_start = static_cast<uint32_t>(data) + 8;
  out->data_start = out->chunk_start;
  if (static_cast<uint64_t>(out->data_start) + 8 <= n &&
      std::memcmp(h + out->data_start, "loop", 4) == 0) {
    out->loop_point = platform::GetLe32(h + out->data_start + 4);
    out->data_start += 8;
    out->loop_flag = 1;
  }
  return true;
}

bool SoundFormatBlock::SetName(const char* file_name) {
  if (file_name == nullptr) return false;
  const size_t length = std::strlen(file_name);
  if (length >= kWaveNameSize) {
    DebugPrint("DS SoundFile name too long (%zu bytes)\n", length);
    return false;
  }
  // Room for the longest name at once: a channel's next file then never allocates for its name.
  name.reserve(kWaveNameSize);
  name.assign(file_name, length);
  return true;
}

int CDsoundFunc::EnumAcmDrivers() {
  DebugPrint("ACM Driver Search Start\n");
  // The table may come out otherwise: streams kept for the old one are not used again.
  DropKeptCodecs();
  platform::WaveCodecs* codecs = seams_.codecs;
  std::vector<platform::CodecDriverDetails> drivers;
  if (codecs == nullptr || !codecs->EnumDrivers(&drivers)) {
    DebugPrint("acmDriverEnum Error\n");
    return 0;
  }
  for (const auto& d : drivers) {
    DebugPrint("%.04Xh  ", d.id);
    DebugPrint("%.03lu  ", static_cast<unsigned long>(d.priority));
    DebugPrint("%.08lXh  ", static_cast<unsigned long>(d.support_flags));
    DebugPrint("%s\n", d.short_name.c_str());
    if (d.priority < kAcmDriverSlots) acm_drivers[d.priority] = d.id;
  }
  return 1;
}

int CDsoundFunc::OpenWave(SoundFormatBlock& format, SoundChannel& channel) {
  FileIO& io = files_;
  const FileHandle file = io.Open(format.name.c_str(), FileMode::kRead, kSearchAll, 0);
  if (file == kInvalidFile) {
    DebugPrint("DS SoundFile Open Falid\n");
    return 0;
  }
  format.header.fill(0);
  uint32_t got = 0;
  const bool read_ok = io.Read(file, format.header.data(), kWaveHeaderSize, &got) != 0;
  const uint32_t file_size = io.GetSize(file);
  io.Close(file);
  format.header_bytes = read_ok ? std::min(got, kWaveHeaderSize) : 0;
  if (!read_ok) {
    DebugPrint("DS SoundFile Read Error\n");
    return 0;
  }

  WaveHead head;
  if (!ReadWaveHead(format.header.data(), format.header_bytes, &head)) return 0;

  // A data size beyond the end of the file (a truncated file) is cut to what the file holds, so
  // that the channel's end comes when the samples end.
  uint32_t data_size = head.data_size;
  const uint32_t available = file_size > head.data_start ? file_size - head.data_start : 0;
  if (data_size > available) {
    DebugPrint("DS SoundFile data cut to the file: %u of %u bytes\n", available, data_size);
    data_size = available;
  }

  format.format_offset = head.format_offset;
  format.data_offset = head.data_start;
  format.data_size = data_size;
  format.format_size = head.format_size;
  format.source_format = head.format;

  channel.source_data_size = data_size;
  channel.loop_point = head.loop_point;
  channel.loop_flag = head.loop_flag;
  channel.data_start = head.data_start;
  // Reading stops at the end of the data chunk, so chunks after it are never played.
  channel.data_end = static_cast<uint32_t>(
      std::min<uint64_t>(static_cast<uint64_t>(head.chunk_start) + head.data_size, file_size));
  channel.data_end = std::max(channel.data_end, channel.data_start);
  channel.refill_interval = kRefillInterval;
  channel.source_block_size = head.format.avg_bytes_per_sec * 2 * kRefillInterval / 60;
  channel.bytes_played = 0;
  channel.time_played = 0;
  channel.pcm_rate = head.format.avg_bytes_per_sec;
  return 1;
}

int CDsoundFunc::OpenAcm(SoundFormatBlock& format, SoundChannel& channel) {
  // What the channel still held goes back first (a PCM file must not find a stream left over);
  // a kept stream may serve this very file.
  ReturnStream(channel);
  if (format.source_format.format_tag == platform::kWaveFormatPcm) {
    channel.pcm_block_size = channel.source_block_size;
    channel.pcm_data_size = channel.source_data_size;
    channel.buffer_size = kBufferBlocks * channel.pcm_block_size;
    format.pcm_format = format.source_format;
    format.pcm_format.extra_size = 0;
    return 1;
  }

  // Each read must hold at least one whole compressed block, or the conversion never advances.
  if (format.source_format.block_align > channel.source_block_size) {
    DebugPrint("DS SoundFile block of %u bytes exceeds the read block of %u bytes\n",
               format.source_format.block_align, channel.source_block_size);
    return 0;
  }

  platform::WaveCodecs* codecs = seams_.codecs;
  if (!UseCodecs(codecs)) return 0;
  const uint32_t max_format = max_format_size_;
  // The work copy of the source format: the larger of the largest format and the chunk, taken
  // from the head as far as the head reaches, with the extra size limited to the chunk.
  const uint32_t copy_size =
      std::max({max_format, format.format_size, platform::kWaveFormatExSize});
  std::vector<uint8_t>& work = acm_work_;
  work.assign(copy_size, 0);
  const uint32_t in_head = format.header_bytes - format.format_offset;
  std::memcpy(work.data(), format.header.data() + format.format_offset,
              std::min(copy_size, in_head));
  platform::WriteWaveFormat(format.source_format, work.data());

  if (!codecs->SuggestPcm(work.data(), copy_size, &format.pcm_format)) {
    DebugPrint("ACM Format Suggest Fail:%d\n", kCodecNotPossible);
    return 0;
  }

  // The loop point of a compressed file counts in units that this scaling turns into PCM bytes;
  // stored files rely on it. Whatever does not come out as a whole factor (below 22050 bytes
  // per second per byte of sample) gives 0.
  const uint32_t sample_bytes = format.pcm_format.bits_per_sample / 8u;
  const uint32_t factor =
      sample_bytes == 0 ? 0 : (format.pcm_format.avg_bytes_per_sec / 22050) / sample_bytes;
  if (factor == 0) {
    DebugPrint("DS loop point scale is 0 (%u bytes/s, %u bits): loop point %u becomes 0\n",
               format.pcm_format.avg_bytes_per_sec, format.pcm_format.bits_per_sample,
               channel.loop_point);
  }
  channel.loop_point *= factor;
  channel.pcm_rate = format.pcm_format.avg_bytes_per_sec;

  // A stream is made by the record and its extra bytes alone: a kept one serves every file
  // whose record and extra bytes are these.
  const uint32_t record_size =
      std::min(copy_size, platform::kWaveFormatExSize + format.source_format.extra_size);
  if (!LendKeptStream(work.data(), record_size, format.pcm_format, channel)) {
    for (uint32_t i = 0; i < kAcmDriverSlots; ++i) {
      if (acm_drivers[i] == 0) continue;
      platform::CodecDriver* driver = SlotDriver(i);
      if (driver == nullptr) continue;
      DebugPrint("Driver Open Success:%d\t", static_cast<int>(i));
      std::unique_ptr<platform::CodecStream> stream =
          driver->OpenStream(work.data(), copy_size, format.pcm_format);
      if (stream != nullptr) {
        DebugPrint("Stream Open Success\n");
        channel.stream = std::move(stream);
        channel.driver_id = acm_drivers[i];
        FileNewStream(work.data(), record_size, format.pcm_format, i, channel);
        break;
      }
      DebugPrint("Stream Open Fail:%d\n", kCodecNotPossible);
    }
  }
  if (channel.stream == nullptr) {
    DebugPrint("No Driver Exist\n");
    return 0;
  }

  uint32_t pcm_block = 0;
  uint32_t pcm_data = 0;
  if (!channel.stream->PcmSize(channel.source_block_size, &pcm_block) ||
      !channel.stream->PcmSize(channel.source_data_size, &pcm_data) || pcm_block == 0 ||
      static_cast<uint64_t>(pcm_block) * kBufferBlocks > platform::kMaxBufferSize) {
    DebugPrint("AcmStreamSize Failed:%d\n", kCodecNotPossible);
    ReturnStream(channel);
    return 0;
  }
  channel.pcm_block_size = pcm_block;
  channel.pcm_data_size = pcm_data;
  channel.buffer_size = kBufferBlocks * pcm_block;
  return 1;
}

int CDsoundFunc::OpenStream(SoundFormatBlock& format, SoundChannel& channel) {
  FileIO& io = files_;
  char path[kPathMax];
  if (format.name.size() >= kPathMax || io.FindFileAll(format.name.c_str(), path) == 0) return 0;
  channel.file = io.Open(path, FileMode::kRead, kSearchSelf, 0);
  if (channel.file == kInvalidFile) {
    DebugPrint("DS SoundFile Open Falid\n");
    return 0;
  }
  if (io.Seek(channel.file, static_cast<int32_t>(channel.data_start), kSeekStart) == kSeekFailed) {
    DebugPrint("DS SoundFile Seek Error\n");
    io.Close(channel.file);
    channel.file = kInvalidFile;
    return 0;
  }
  channel.source_block.assign(channel.source_block_size, 0);
  if (channel.stream == nullptr) {
    channel.pcm_block_storage.clear();
    channel.pcm_block = channel.source_block.data();
    return 1;
  }
  channel.pcm_block_storage.assign(channel.pcm_block_size, 0);
  channel.pcm_block = channel.pcm_block_storage.data();

  AcmStreamHeader& header = channel.stream_header;
  header = AcmStreamHeader{};
  if (channel.source_block_size == 0 || channel.pcm_block_size == 0) {
    DebugPrint("AcmStreamPrepareHeader Failed:%d\n", kCodecNotPossible);
    io.Close(channel.file);
    channel.file = kInvalidFile;
    return 0;
  }
  header.source = channel.source_block.data();
  header.source_length = channel.source_block_size;
  header.destination = channel.pcm_block;
  header.destination_length = channel.pcm_block_size;
  header.prepared = true;
  return 1;
}

int CDsoundFunc::ReadSourceBlock(SoundChannel& channel, uint32_t* bytes_read) {
  FileIO& io = files_;
  *bytes_read = 0;
  const uint32_t position =
      channel.file == kInvalidFile ? kSeekFailed : io.Seek(channel.file, 0, kSeekCurrent);
  if (position == kSeekFailed || channel.source_block.size() < channel.source_block_size) {
    DebugPrint("mmioRead Error\n");
    return 0;
  }
  const uint32_t left = channel.data_end > position ? channel.data_end - position : 0;
  const uint32_t want = std::min(channel.source_block_size, left);
  if (want == 0) return 1;
  if (io.Read(channel.file, channel.source_block.data(), want, bytes_read) == 0) {
    DebugPrint("mmioRead Error\n");
    *bytes_read = 0;
    return 0;
  }
  return 1;
}

int CDsoundFunc::ConvertSourceBlock(SoundChannel& channel, uint32_t bytes_read) {
  const uint32_t block = channel.source_block_size;
  const uint32_t n = std::min(bytes_read, block);
  if (channel.stream == nullptr) {
    channel.block_length = n;
    return 1;
  }
  AcmStreamHeader& header = channel.stream_header;
  uint32_t flags = 0;
  if (n == block) {
    flags = platform::kConvertBlockAlign;
  } else if (n != 0) {
    flags = platform::kConvertBlockAlign | platform::kConvertEnd;
  } else {
    flags = platform::kConvertEnd;
  }
  header.source_length = n;
  header.source_used = 0;
  header.destination_used = 0;
  if (!header.prepared ||
      !channel.stream->Convert(header.source, n, header.destination, header.destination_length,
                               flags, &header.source_used, &header.destination_used)) {
    DebugPrint("AcmStreamConvert Failed:%d\n", kCodecNotPossible);
    return 0;
  }
  if (n != 0 && header.source_used == 0 && header.destination_used == 0 &&
      (flags & platform::kConvertEnd) == 0) {
    // Nothing converted and nothing used: reading the same bytes again would never end.
    DebugPrint("AcmStreamConvert Failed:%d\n", kCodecNotPossible);
    return 0;
  }
  // The bytes read but not used are read again with the next block.
  if (header.source_used < n) {
    files_.Seek(channel.file, -static_cast<int32_t>(n - header.source_used), kSeekCurrent);
  }
  channel.block_length = header.destination_used;
  return 1;
}

void CDsoundFunc::CloseAcm(SoundChannel& channel) {
  AcmStreamHeader& header = channel.stream_header;
  if (header.prepared) {
    header.source_length = channel.source_block_size;
    header.destination_length = channel.pcm_block_size;
    header.prepared = false;
  }
  header.source = nullptr;
  header.destination = nullptr;
  if (channel.file != kInvalidFile) {
    files_.Close(channel.file);
    channel.file = kInvalidFile;
  }
  // The block buffers keep their storage for the channel's next file: a voice or an effect
  // started in the middle of a frame then allocates nothing when its blocks are no larger.
  channel.source_block.clear();
  channel.pcm_block_storage.clear();
  channel.pcm_block = nullptr;
  ReturnStream(channel);
}

size_t CDsoundFunc::KeptStreamCount() const {
  size_t n = 0;
  for (const KeptStream& k : kept_streams_) n += k.stream != nullptr ? 1 : 0;
  return n;
}

bool CDsoundFunc::UseCodecs(platform::WaveCodecs* codecs) {
  if (codecs != kept_codecs_) {
    DropKeptCodecs();
    kept_codecs_ = codecs;
    max_format_known_ = false;
  }
  if (codecs != nullptr && !max_format_known_) {
    max_format_known_ = codecs->MaxFormatSize(&max_format_size_);
  }
  if (codecs == nullptr || !max_format_known_) {
    DebugPrint("acmMetrics failed mmr=%u!", 1u);
    return false;
  }
  return true;
}

platform::CodecDriver* CDsoundFunc::SlotDriver(uint32_t slot) {
  KeptDriver& k = kept_drivers_[slot];
  if (k.id != acm_drivers[slot]) {
    k.driver = kept_codecs_->OpenDriver(acm_drivers[slot]);
    k.id = acm_drivers[slot];
  }
  return k.driver.get();
}

bool CDsoundFunc::LendKeptStream(const uint8_t* format, uint32_t size,
                                 const platform::WaveFormatEx& pcm, SoundChannel& channel) {
  for (size_t i = 0; i < kept_streams_.size(); ++i) {
    KeptStream& k = kept_streams_[i];
    if (k.stream == nullptr || k.format.size() != size ||
        std::memcmp(k.format.data(), format, size) != 0 || k.pcm.format_tag != pcm.format_tag ||
        k.pcm.channels != pcm.channels || k.pcm.samples_per_sec != pcm.samples_per_sec ||
        k.pcm.bits_per_sample != pcm.bits_per_sample || acm_drivers[k.slot] == 0 ||
        SlotDriver(k.slot) == nullptr) {
      continue;
    }
    if (!k.stream->Restart()) {
      // It cannot start again: closed, and the search opens a new one.
      k.stream.reset();
      continue;
    }
    DebugPrint("Driver Open Success:%d\t", static_cast<int>(k.slot));
    DebugPrint("Stream Open Success\n");
    channel.stream = std::move(k.stream);
    channel.driver_id = acm_drivers[k.slot];
    channel.kept_stream = static_cast<int>(i);
    k.lent = true;
    return true;
  }
  return false;
}

void CDsoundFunc::FileNewStream(const uint8_t* format, uint32_t size,
                                const platform::WaveFormatEx& pcm, uint32_t slot,
                                SoundChannel& channel) {
  // An unused entry, else the idle one closed longest ago; none while all are lent.
  KeptStream* entry = nullptr;
  for (KeptStream& k : kept_streams_) {
    if (k.lent) continue;
    if (k.stream == nullptr) {
      entry = &k;
      break;
    }
    if (entry == nullptr || k.closed_at < entry->closed_at) entry = &k;
  }
  if (entry == nullptr) return;
  entry->stream.reset();
  entry->format.assign(format, format + size);
  entry->pcm = pcm;
  entry->slot = slot;
  entry->lent = true;
  entry->stale = false;
  channel.kept_stream = static_cast<int>(entry - kept_streams_.data());
}

void CDsoundFunc::ReturnStream(SoundChannel& channel) {
  const int i = channel.kept_stream;
  channel.kept_stream = -1;
  channel.driver_id = 0;
  if (i >= 0 && static_cast<size_t>(i) < kept_streams_.size() && kept_streams_[i].lent) {
    KeptStream& k = kept_streams_[static_cast<size_t>(i)];
    k.lent = false;
    if (!k.stale && channel.stream != nullptr) {
      k.stream = std::move(channel.stream);
      k.closed_at = ++closes_;
      return;
    }
  }
  channel.stream.reset();
}

void CDsoundFunc::DropKeptCodecs() {
  for (KeptStream& k : kept_streams_) {
    k.stream.reset();
    k.stale = k.lent;
  }
  for (KeptDriver& d : kept_drivers_) {
    d.driver.reset();
    d.id = 0;
  }
}
