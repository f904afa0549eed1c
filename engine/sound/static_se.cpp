// The static sound effects of CDsoundFunc: whole wave files loaded into buffers of their own by
// slot number, and played once from the start.
//
// PCM files are read through a walk of their RIFF chunks: descend into the "RIFF" chunk of form
// "WAVE", find "fmt " and "data" inside it, ascend out of chunks (chunk bodies are padded to an
// even size). Compressed files are converted whole through the streamed channels' block reading
// and conversion.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/sound/dsound_func.h"
#include "platform/audio.h"
#include "platform/little_endian.h"

namespace {

bool ValidSlot(int slot) { return slot >= 0 && slot < kStaticSeSlots; }

// A message box without owner and caption, its text followed by the file's path; the game goes
// on once it is closed.
void Box(platform::Window* window, const char* text, const char* path) {
  if (window != nullptr) window->MessageBox(false, std::string(text) + "\n" + path, "");
}


// One RIFF chunk: its identifier, body size, where the body starts (after the form type for
// "RIFF") and the form type.
struct RiffChunk {
  char id[4] = {};
  uint32_t size = 0;
  uint32_t data_offset = 0;
  char form[4] = {};
  // Where the next chunk starts: the body padded to an even size.
  uint64_t End() const { return static_cast<uint64_t>(data_offset) + size + (size & 1u); }
};

// The chunk walk on an open file. Every search stays inside the parent chunk and the file; each
// step moves on by at least one chunk header, so a damaged file ends the search.
class RiffWalk {
 public:
  RiffWalk(FileIO& io, FileHandle file) : io_(io), file_(file), file_size_(io.GetSize(file)) {}

  // Finds, from the current position, the chunk `id` (for "RIFF" also of form `form`), inside
  // `parent` when given. The position is then at the chunk's body (after the form type).
  bool Descend(RiffChunk* out, const RiffChunk* parent, const char* id, const char* form) {
    uint64_t limit = file_size_;
    if (parent != nullptr)
      limit = std::min<uint64_t>(limit, parent->data_offset + uint64_t{parent->size});
    const uint32_t at = io_.Seek(file_, 0, kSeekCurrent);
    if (at == kSeekFailed) return false;
    uint64_t pos = at;
    while (pos + 8 <= limit) {
      uint8_t header[12];
      const uint32_t want = form != nullptr ? 12 : 8;
      if (pos + want > limit || !ReadAt(pos, header, want)) return false;
      RiffChunk c;
      std::memcpy(c.id, header, 4);
      c.size = platform::GetLe32(header + 4);
      c.data_offset = static_cast<uint32_t>(pos + 8);
      if (std::memcmp(c.id, id, 4) == 0 &&
          (form == nullptr || std::memcmp(header + 8, form, 4) == 0)) {
        if (form != nullptr) {
          std::memcpy(c.form, header + 8, 4);
        }
        const uint32_t body = c.data_offset + (form != nullptr ? 4u : 0u);
        if (io_.Seek(file_, static_cast<int32_t>(body), kSeekStart) == kSeekFailed) return false;
        *out = c;
        return true;
      }
      pos = c.End();
    }
    return false;
  }

  // Moves to the end of the chunk (padded); false when that lies beyond the file.
  bool Ascend(const RiffChunk& c) {
    const uint64_t end = c.End();
    if (end > file_size_) return false;
    return io_.Seek(file_, static_cast<int32_t>(end), kSeekStart) != kSeekFailed;
  }

  uint32_t file_size() const { return file_size_; }

 private:
  bool ReadAt(uint64_t pos, uint8_t* out, uint32_t n) {
    if (io_.Seek(file_, static_cast<int32_t>(pos), kSeekStart) == kSeekFailed) return false;
    uint32_t got = 0;
    return io_.Read(file_, out, n, &got) != 0 && got == n;
  }

  FileIO& io_;
  FileHandle file_;
  uint32_t file_size_;
};

}  // namespace

int CDsoundFunc::SELoadStatic(const char* const* names, int count) {
  if (device_ == nullptr) return 0;
  if (names == nullptr || count < 0) count = 0;
  count = std::min(count, kStaticSeSlots);
  for (int i = 0; i < count; ++i) {
    static_se.slot[i].reset();
    if (LoadWaveToBuffer(i, names[i]) == 0) {
      DebugPrint("%d:Bufferload %s is Failed\n", i, names[i] != nullptr ? names[i] : "(null)");
    }
  }
  DebugPrint("CDsoundFunc::SELoadStatic->Static SE is Load\n");
  return 1;
}

void CDsoundFunc::SERemoveStatic() {
  if (device_ == nullptr) return;
  ReleaseStaticSE();
  DebugPrint("CDsoundFunc::SELoadStatic->Static SE is Remove\n");
}

void CDsoundFunc::PlayStaticSE(int slot) {
  if (device_ == nullptr || !ValidSlot(slot) || static_se.slot[slot] == nullptr) return;
  platform::SoundBuffer& buffer = *static_se.slot[slot];
  buffer.Stop();
  buffer.SetCurrentPosition(0);
  buffer.Play(false);
}

void CDsoundFunc::StopStaticSE(int slot) {
  if (device_ == nullptr) return;
  if (slot == -1) {
    for (auto& s : static_se.slot) {
      if (s != nullptr) s->Stop();
    }
    return;
  }
  if (ValidSlot(slot) && static_se.slot[slot] != nullptr) static_se.slot[slot]->Stop();
}

void CDsoundFunc::ReleaseStaticSE() {
  for (auto& s : static_se.slot) s.reset();
}

int CDsoundFunc::LoadWaveToBuffer(int slot, const char* file_name) {
  if (!ValidSlot(slot)) return 0;
  static_se.slot[slot].reset();
  if (device_ == nullptr || file_name == nullptr) return 0;
  char path[kPathMax];
  if (std::strlen(file_name) >= kPathMax || files_.FindFileAll(file_name, path) == 0) {
    DebugPrint("DS SoundFile not found: %s\n", file_name);
    return 0;
  }
  return LoadPcmEffect(slot, path);
}

int CDsoundFunc::LoadPcmEffect(int slot, const char* path) {
  FileIO& io = files_;
  const FileHandle file = io.Open(path, FileMode::kRead, kSearchSelf, 0);
  if (file == kInvalidFile) {
    DebugPrint("DS SoundFile Open Falid\n");
    return 0;
  }
  const auto close_fail = [&](const char* box) {
    io.Close(file);
    if (box != nullptr) {
      DebugPrint("%s: %s\n", box, path);
      Box(seams_.window, box, path);
    }
    return 0;
  };

  RiffWalk walk(io, file);
  RiffChunk riff;
  if (!walk.Descend(&riff, nullptr, "RIFF", "WAVE"))
    return close_fail("Could not Descend into Wave File");
  RiffChunk fmt;
  if (!walk.Descend(&fmt, &riff, "fmt ", nullptr)) {
    DebugPrint("DS SoundFile has no format chunk: %s\n", path);
    return close_fail(nullptr);
  }
  // The format record is read whole even from a 16-byte chunk (its extra size is not used).
  uint8_t record[platform::kWaveFormatExSize];
  uint32_t got = 0;
  if (io.Read(file, record, sizeof record, &got) == 0 || got != sizeof record) {
    DebugPrint("DS SoundFile format cut short: %s\n", path);
    return close_fail(nullptr);
  }
  const platform::WaveFormatEx f = platform::ReadWaveFormat(record);
  if (f.format_tag != platform::kWaveFormatPcm) {
    io.Close(file);
    DebugPrint("ADPCM");
    return LoadCompressedEffect(slot, path);
  }
  if (!walk.Ascend(fmt)) return close_fail("Unable to Ascend");
  RiffChunk data;
  if (!walk.Descend(&data, &riff, "data", nullptr)) return close_fail("Wave file has no data");

  // Never more than the file still holds: a larger size is a damaged or truncated file.
  const uint32_t remaining = walk.file_size() - std::min(walk.file_size(), data.data_offset);
  if (data.size > remaining) return close_fail("Could not read Wave Data");
  std::vector<uint8_t> samples(data.size);
  got = 0;
  if (data.size != 0 && (io.Read(file, samples.data(), data.size, &got) == 0 || got != data.size)) {
    return close_fail("Could not read Wave Data");
  }
  io.Close(file);
  // The samples follow the "loop" marker when there is one, as in a streamed file.
  size_t start = 0;
  if (samples.size() >= 8 && std::memcmp(samples.data(), "loop", 4) == 0) start = 8;

  const uint32_t size = static_cast<uint32_t>(samples.size() - start);
  std::unique_ptr<platform::SoundBuffer> buffer = device_->CreateBuffer(BufferFormat(f), size);
  if (buffer == nullptr) {
    DebugPrint("Could not Create Sound Buffer.: %s\n", path);
    Box(seams_.window, "Could not Create Sound Buffer.", path);
    return 0;
  }
  platform::LockedRegions r;
  if (!buffer->Lock(0, size, &r)) {
    DebugPrint("DS Lock Falid\n");
    return 0;
  }
  if (r.first_size != 0) std::memcpy(r.first, samples.data() + start, r.first_size);
  if (r.second_size != 0)
    std::memcpy(r.second, samples.data() + start + r.first_size, r.second_size);
  if (!buffer->Unlock(r)) {
    DebugPrint("DS Unlock Falid\n");
    return 0;
  }
  static_se.slot[slot] = std::move(buffer);
  return 1;
}

int CDsoundFunc::LoadCompressedEffect(int slot, const char* file_name) {
  if (!spare_format.SetName(file_name)) return 0;
  SoundChannel c;  // a scratch channel: no loop restart, nothing open
  const auto fail = [&] {
    DebugPrint("DS SoundFile %s: not loaded\n", file_name);
    CloseAcm(c);
    c.buffer.reset();
    return 0;
  };
  if (OpenWave(spare_format, c) == 0 || OpenAcm(spare_format, c) == 0) return fail();
  // The effect is taken once, to the end of its data: a loop marker plays no part.
  c.loop_flag = 0;
  c.loop_point = 0;

  // A buffer for the whole converted data, so that nothing wraps onto the effect's start.
  c.buffer_size = c.pcm_data_size;
  c.buffer = device_->CreateBuffer(BufferFormat(spare_format.pcm_format), c.buffer_size);
  c.write_position = 0;
  if (c.buffer == nullptr) {
    DebugPrint("DS CreateBuffer Fail\n");
    return fail();
  }
  if (OpenStream(spare_format, c) == 0) return fail();

  // Block after block until the data ends or the buffer is full. Each read moves on through the
  // data (a read that converts nothing fails), so this ends.
  uint32_t total = 0;
  for (;;) {
    uint32_t n = 0;
    if (ReadSourceBlock(c, &n) == 0 || ConvertSourceBlock(c, n) == 0) return fail();
    const uint32_t length = std::min(c.block_length, c.buffer_size - total);
    if (WriteBlock(c, c.pcm_block, length) == 0) return fail();
    total += length;
    if (n < c.source_block_size || total == c.buffer_size) break;
  }
  std::unique_ptr<platform::SoundBuffer> buffer = std::move(c.buffer);
  CloseAcm(c);
  static_se.slot[slot] = std::move(buffer);
  return 1;
}
