// The streamed channels of CDsoundFunc: the device, play, stop, pause, the per-frame update with
// its refill of the ring buffer, volumes and fades.
//
// A channel's buffer is a ring of kBufferBlocks PCM blocks played looping. Play fills up to four
// blocks; after that one block is written at most once a second (the refill interval), and only
// when the block to be written does not cover the play cursor. Reading twice as fast as playing
// keeps the writes well ahead. After the last data of a file without a loop marker (status 3)
// silence is written just ahead of the play cursor every frame until every PCM byte has played,
// and the channel stops itself. A file with a loop marker is rewound at its end; the data before
// the loop point is decoded and dropped, so play continues at the loop point without a gap.

#include <algorithm>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/sound/dsound_func.h"
#include "platform/audio.h"

namespace {

constexpr const char* kConvertFailed[kSoundChannels] = {
    "BGM_Convert Failed\n", "Voice_Convert Failed\n", "SE_Convert Failed\n"};

bool ValidChannel(int ch) { return ch >= 0 && ch < kSoundChannels; }

// The device volume (hundredths of a decibel) of a volume 0-100, and back.
int32_t ToDeviceVolume(int volume) { return volume * 100 - 10000; }
int FromDeviceVolume(int32_t device_volume) { return (device_volume + 10000) / 100; }

// The byte a sample of silence is made of: 8-bit samples are unsigned around 128.
uint8_t SilenceByte(const platform::PcmFormat& format) {
  return format.bits_per_sample == 8 ? 0x80 : 0x00;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Service

int CDsoundFunc::Init(platform::Window*) {
  device_ = nullptr;
  platform::Audio* audio = seams_.audio;
  if (audio == nullptr || !audio->Open()) {
    DebugPrint("DirectSoundCreate Failed\n");
    return 0;
  }
  device_ = audio;
  const int drivers = EnumAcmDrivers();
  for (SoundChannel& c : channels) {
    c.volume = 100;
    c.fade_length = 0;
    c.fade_start_volume = 100;
    c.fade_target_volume = 100;
  }
  for (auto& s : static_se.slot) s.reset();
  for (SoundChannel& c : channels) SetVolumeWorker(c, 100, 0);
  return drivers;
}

void CDsoundFunc::Release() {
  StopVoice();
  StopBGM();
  // The streamed effect too: its file and buffer must not outlive the device.
  StopSE();
  ReleaseStaticSE();
  // The kept codec objects go with the device (the channels gave their streams back above).
  DropKeptCodecs();
  if (device_ != nullptr) {
    device_->Close();
    device_ = nullptr;
  }
}

void CDsoundFunc::Update(int32_t now) {
  for (int ch = 0; ch < kSoundChannels; ++ch) {
    if (channels[ch].status == 0) continue;
    if (UpdateChannel(ch, static_cast<uint32_t>(now)) == 0) {
      DebugPrint("%s", kConvertFailed[ch]);
      DebugPrint("DS SoundFile %s: stopped, it could not be read or converted further\n",
                 formats[ch].name.c_str());
      StopChannel(ch);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Channels by number

int CDsoundFunc::PlayChannel(int ch, const char* file_name) {
  if (!ValidChannel(ch)) return 0;
  SoundFormatBlock& f = formats[ch];
  SoundChannel& c = channels[ch];
  if (device_ == nullptr) return 0;
  if (!f.SetName(file_name)) {
    StopWorker(c);
    return 0;
  }
  c.loop_flag = 0;
  c.loop_restart = 0;
  c.loop_silent = 0;
  return PlayWorker(f, c);
}

bool CDsoundFunc::IsChannelStop(int ch) const {
  return !ValidChannel(ch) || channels[ch].status == 0;
}

void CDsoundFunc::StopChannel(int ch) {
  if (ValidChannel(ch)) StopWorker(channels[ch]);
}

int CDsoundFunc::PauseChannel(int ch) {
  if (!ValidChannel(ch)) return 0;
  SoundChannel& c = channels[ch];
  if (c.status == 0) return 0;
  if (c.buffer != nullptr) c.buffer->Stop();
  c.status = 4;
  return 1;
}

int CDsoundFunc::UpdateChannel(int ch, uint32_t now) {
  if (!ValidChannel(ch)) return 0;
  SoundFormatBlock& f = formats[ch];
  SoundChannel& c = channels[ch];
  FadeStep(c, now);
  if (c.status == 4) return 1;
  if (c.buffer == nullptr || c.buffer_size == 0) return 0;

  // The bytes played since the last update: from where the count stood in the ring to the
  // cursor, across the ring's end when the cursor is behind.
  const uint32_t cursor = c.buffer->GetCurrentPosition();
  const uint32_t counted = static_cast<uint32_t>(c.bytes_played % c.buffer_size);
  const uint32_t advance = cursor >= counted ? cursor - counted : cursor + c.buffer_size - counted;
  c.bytes_played += advance;
  // From the whole count, so that no fraction of a millisecond is lost per update.
  c.time_played = c.pcm_rate == 0 ? 0 : static_cast<uint32_t>(c.bytes_played * 1000 / c.pcm_rate);

  bool due = c.status == 3;
  if (static_cast<uint64_t>(now - c.last_refill) * 60 / 1000 >= c.refill_interval) {
    c.last_refill = now;
    due = true;
  }
  return due ? ConvertBlock(f, c) : 1;
}

int CDsoundFunc::GetChannelVolume(int ch) {
  if (!ValidChannel(ch)) return -1;
  return ReadVolume(channels[ch]);
}

int CDsoundFunc::SetChannelVolume(int ch, int volume, int frames) {
  if (!ValidChannel(ch)) return 0;
  return SetVolumeWorker(channels[ch], volume, frames);
}

bool CDsoundFunc::IsChannelFadeEnd(int ch) const {
  return !ValidChannel(ch) || channels[ch].fade_length == 0;
}

int32_t CDsoundFunc::GetVoiceTime() const {
  const SoundChannel& c = channels[kChannelVoice];
  if (c.status == 0) return -1;
  return static_cast<int32_t>(c.time_played);
}

const char* CDsoundFunc::GetPlayFileName(int ch) const {
  if (device_ == nullptr || !ValidChannel(ch) || channels[ch].status == 0) return nullptr;
  return formats[ch].name.c_str();
}

int CDsoundFunc::GetLoopFlag(int ch) const {
  if (device_ == nullptr || !ValidChannel(ch)) return 0;
  return static_cast<int>(channels[ch].loop_flag);
}

// ---------------------------------------------------------------------------------------------
// Workers

int CDsoundFunc::PlayWorker(SoundFormatBlock& f, SoundChannel& c) {
  if (device_ == nullptr) return 0;
  if (c.status != 0) StopWorker(c);

  const auto fail = [&] {
    // The lines before this one say what went wrong; this one says with which file.
    DebugPrint("DS SoundFile %s: not played\n", f.name.c_str());
    CloseAcm(c);
    c.buffer.reset();
    c.status = 0;
    return 0;
  };
  if (OpenWave(f, c) == 0 || OpenAcm(f, c) == 0) return fail();
  // A loop point inside a sample frame would shift every later sample by a byte: it is taken at
  // the frame that holds it.
  const uint32_t frame =
      static_cast<uint32_t>(f.pcm_format.channels) * (f.pcm_format.bits_per_sample / 8u);
  if (frame != 0) c.loop_point -= c.loop_point % frame;

  c.buffer = device_->CreateBuffer(BufferFormat(f.pcm_format), c.buffer_size);
  c.write_position = 0;
  if (c.buffer == nullptr) {
    DebugPrint("DS CreateBuffer Fail\n");
    return fail();
  }
  if (ClearBuffer(c) == 0 || OpenStream(f, c) == 0) return fail();

  c.status = 1;
  for (int i = 0; i < 4 && c.status != 3; ++i) {
    if (ConvertBlock(f, c) == 0) return fail();
  }
  SetVolumeWorker(c, static_cast<int>(c.volume), 0);
  if (c.buffer == nullptr || !c.buffer->Play(true)) {
    DebugPrint("DS Play Falid\n");
    return fail();
  }
  if (c.status != 3) c.status = 2;
  return 1;
}

void CDsoundFunc::StopWorker(SoundChannel& c) {
  if (c.status == 0) return;
  // A fade cannot go on without the buffer: it ends where it stood (the level the next play takes
  // anyway), so that a caller waiting for its end is not left waiting when the file ends first.
  if (c.fade_length != 0) {
    c.fade_start_volume = c.volume;
    c.fade_target_volume = c.volume;
    c.fade_length = 0;
  }
  CloseAcm(c);
  if (c.buffer != nullptr) c.buffer->Stop();
  c.buffer.reset();
  c.status = 0;
}

int CDsoundFunc::SetVolumeWorker(SoundChannel& c, int volume, int frames) {
  if (device_ == nullptr) return 0;
  // The device takes nothing outside silence..full.
  volume = std::clamp(volume, 0, 100);
  if (c.buffer == nullptr || frames < 0) frames = 0;
  if (frames == 0) {
    c.volume = static_cast<uint32_t>(volume);
    c.fade_start_volume = c.volume;
    c.fade_target_volume = c.volume;
    c.fade_length = 0;
    if (c.buffer != nullptr && !c.buffer->SetVolume(ToDeviceVolume(volume))) return 0;
    return 1;
  }
  c.fade_start_time = static_cast<uint32_t>(clock_.GetTime());
  c.fade_length = static_cast<uint32_t>(frames);
  const int current = ReadVolume(c);
  c.fade_start_volume = static_cast<uint32_t>(current < 0 ? volume : current);
  c.fade_target_volume = static_cast<uint32_t>(volume);
  return 1;
}

int CDsoundFunc::ReadVolume(SoundChannel& c) {
  if (device_ == nullptr || c.buffer == nullptr) return -1;
  const int volume = std::clamp(FromDeviceVolume(c.buffer->GetVolume()), 0, 100);
  c.volume = static_cast<uint32_t>(volume);
  return volume;
}

void CDsoundFunc::FadeStep(SoundChannel& c, uint32_t now) {
  if (device_ == nullptr || c.buffer == nullptr || c.fade_length == 0) return;
  const int64_t elapsed = static_cast<int32_t>(now - c.fade_start_time);
  const int64_t duration = static_cast<int64_t>(c.fade_length) * 1000 / 60;
  const int target = static_cast<int>(c.fade_target_volume);
  if (elapsed > duration) {
    SetVolumeWorker(c, target, 0);
  } else {
    const int64_t start = c.fade_start_volume;
    const int64_t step =
        duration == 0 ? 0 : (target - start) * std::max<int64_t>(elapsed, 0) / duration;
    const int volume = static_cast<int>(std::clamp<int64_t>(start + step, 0, 100));
    if (!c.buffer->SetVolume(ToDeviceVolume(volume))) {
      DebugPrint("Volume Fade Fail\n");
      SetVolumeWorker(c, target, 0);
    }
  }
  ReadVolume(c);
}

bool CDsoundFunc::HasRoom(const SoundChannel& c) const {
  const uint64_t play = c.buffer->GetCurrentPosition();
  const uint64_t w = c.write_position;
  const uint64_t end = w + c.pcm_block_size;
  const auto inside = [&](uint64_t p) { return p > w && p < end; };
  return !inside(play) && !inside(play + c.buffer_size);
}

int CDsoundFunc::ConvertBlock(SoundFormatBlock&, SoundChannel& c) {
  if (c.buffer == nullptr) return 0;
  if (c.status == 3) {
    if (c.bytes_played >= c.pcm_data_size) {
      StopWorker(c);
      return 1;
    }
    if (!HasRoom(c)) return 1;
    // Silence just ahead of the cursor; the write position stays, so it is rewritten there.
    const uint32_t w = c.write_position;
    if (WriteSilence(c) == 0) return 0;
    c.write_position = w;
    return 1;
  }
  if (!HasRoom(c)) return 1;
  if (c.loop_silent != 0) return WriteSilence(c);

  // One block. While the data before the loop point is being dropped the next block follows at
  // once, so that a far loop point is reached before the ring runs dry; at most one pass of the
  // data is read per step.
  for (;;) {
    uint32_t n = 0;
    if (ReadSourceBlock(c, &n) == 0) return 0;
    if (ConvertSourceBlock(c, n) == 0) return 0;
    if (WriteBlock(c, c.pcm_block, c.block_length) == 0) return 0;
    if (n < c.source_block_size) {
      // The end of the data.
      if (c.loop_flag == 0) {
        c.status = 3;
        return 1;
      }
      if (c.loop_restart != 0) {
        // A whole pass since the rewind was dropped: the loop point lies beyond the data.
        DebugPrint("DS loop point %u beyond the data: silence follows\n", c.loop_point);
        c.loop_silent = 1;
        return 1;
      }
      if (files_.Seek(c.file, static_cast<int32_t>(c.data_start), kSeekStart) ==
          kSeekFailed) {
        DebugPrint("mmioRead Error\n");
        return 0;
      }
      c.skipped = 0;
      c.loop_restart = 1;
      return 1;
    }
    // Go on only while the whole block was dropped.
    if (c.loop_restart == 0) return 1;
  }
}

int CDsoundFunc::WriteBlock(SoundChannel& c, const uint8_t* data, uint32_t length) {
  if (c.loop_restart != 0) {
    // After a rewind: drop what lies before the loop point (a block ending exactly there too).
    if (static_cast<uint64_t>(c.skipped) + length <= c.loop_point) {
      c.skipped += length;
      return 1;
    }
    const uint32_t offset = c.loop_point - c.skipped;
    data += offset;
    length -= offset;
    c.skipped = 0;
    c.loop_restart = 0;
  }
  return WriteRing(c, data, length);
}

int CDsoundFunc::WriteRing(SoundChannel& c, const uint8_t* data, uint32_t length) {
  if (length == 0) return 1;
  if (c.buffer == nullptr || length > c.buffer_size) return 0;
  platform::LockedRegions r;
  if (!c.buffer->Lock(c.write_position, length, &r)) {
    DebugPrint("DS Lock Falid\n");
    c.buffer.reset();
    return 0;
  }
  if (data != nullptr) {
    if (r.first_size != 0) std::memcpy(r.first, data, r.first_size);
    if (r.second_size != 0) std::memcpy(r.second, data + r.first_size, r.second_size);
  } else {
    const uint8_t silence = SilenceByte(c.buffer->format());
    if (r.first_size != 0) std::memset(r.first, silence, r.first_size);
    if (r.second_size != 0) std::memset(r.second, silence, r.second_size);
  }
  c.write_position =
      static_cast<uint32_t>((static_cast<uint64_t>(c.write_position) + length) % c.buffer_size);
  if (!c.buffer->Unlock(r)) {
    DebugPrint("DS Unlock Falid\n");
    c.buffer.reset();
    return 0;
  }
  return 1;
}

int CDsoundFunc::WriteSilence(SoundChannel& c) {
  if (c.buffer == nullptr) return 0;
  // Written in place (no loop-point dropping applies to silence).
  return WriteRing(c, nullptr, c.pcm_block_size);
}

int CDsoundFunc::ClearBuffer(SoundChannel& c) {
  // The whole ring from its start; the write position comes back to 0.
  c.write_position = 0;
  return WriteRing(c, nullptr, c.buffer_size);
}
