#include "platform/sound_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/mixer.h"

namespace platform {

namespace {

template <int kBits>
inline int32_t Sample(const uint8_t* p) {
  if constexpr (kBits == 8) {
    return (static_cast<int32_t>(p[0]) - 128) * 256;
  } else {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  }
}

}  // namespace

bool PcmFormat::Valid() const {
  return (channels == 1 || channels == 2) && (bits_per_sample == 8 || bits_per_sample == 16) &&
         samples_per_sec >= kMinSampleRate && samples_per_sec <= kMaxSampleRate;
}

uint32_t VolumeToGain(int32_t volume) {
  if (volume <= kVolumeMin) return 0;
  if (volume >= kVolumeMax) return 65536;
  return static_cast<uint32_t>(std::lround(65536.0 * std::pow(10.0, volume / 2000.0)));
}

SoundBuffer::SoundBuffer(std::shared_ptr<MixerShared> shared, const PcmFormat& format,
                         uint32_t size)
    : shared_(std::move(shared)),
      format_(format),
      size_(size),
      frames_(size / format.BlockAlign()) {
  {
    std::lock_guard lock(shared_->mutex);
    data_ = shared_->TakeStorage(size);
    staging_ = shared_->TakeStorage(size);
  }
  data_.assign(size, format.bits_per_sample == 8 ? 0x80 : 0x00);
}

SoundBuffer::~SoundBuffer() {
  std::lock_guard lock(shared_->mutex);
  auto& list = shared_->buffers;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  data_.clear();
  staging_.clear();
  shared_->KeepStorage(std::move(data_));
  shared_->KeepStorage(std::move(staging_));
}

void SoundBuffer::operator delete(SoundBuffer* buffer, std::destroying_delete_t) {
  // The mixer's state outlives the destructor here: the memory goes back to it.
  const std::shared_ptr<MixerShared> shared = buffer->shared_;
  buffer->~SoundBuffer();
  {
    std::lock_guard lock(shared->mutex);
    if (shared->spare_objects.size() < MixerShared::kSpare) {
      shared->spare_objects.push_back(buffer);
      return;
    }
  }
  ::operator delete(buffer);
}

bool SoundBuffer::Lock(uint32_t offset, uint32_t length, LockedRegions* out) {
  if (out == nullptr || locked_ || offset >= size_ || length > size_) return false;
  lock_offset_ = offset;
  lock_first_ = std::min(length, size_ - offset);
  lock_second_ = length - lock_first_;
  staging_.resize(length);
  {
    std::lock_guard lock(shared_->mutex);
    if (lock_first_ != 0) std::memcpy(staging_.data(), data_.data() + offset, lock_first_);
    if (lock_second_ != 0) std::memcpy(staging_.data() + lock_first_, data_.data(), lock_second_);
  }
  *out = LockedRegions{};
  if (lock_first_ != 0) out->first = staging_.data();
  out->first_size = lock_first_;
  if (lock_second_ != 0) out->second = staging_.data() + lock_first_;
  out->second_size = lock_second_;
  locked_ = true;
  return true;
}

bool SoundBuffer::Unlock(const LockedRegions& written) {
  if (!locked_) return false;
  uint8_t* first = lock_first_ != 0 ? staging_.data() : nullptr;
  uint8_t* second = lock_second_ != 0 ? staging_.data() + lock_first_ : nullptr;
  const bool first_ok = written.first_size == 0
                            ? (written.first == nullptr || written.first == first)
                            : (written.first == first && written.first_size <= lock_first_);
  const bool second_ok = written.second_size == 0
                             ? (written.second == nullptr || written.second == second)
                             : (written.second == second && written.second_size <= lock_second_);
  if (!first_ok || !second_ok) return false;
  {
    std::lock_guard lock(shared_->mutex);
    if (written.first_size != 0) {
      std::memcpy(data_.data() + lock_offset_, staging_.data(), written.first_size);
    }
    if (written.second_size != 0) {
      std::memcpy(data_.data(), staging_.data() + lock_first_, written.second_size);
    }
  }
  locked_ = false;
  return true;
}

bool SoundBuffer::Play(bool looping) {
  std::lock_guard lock(shared_->mutex);
  playing_ = true;
  looping_ = looping;
  return true;
}

void SoundBuffer::Stop() {
  std::lock_guard lock(shared_->mutex);
  playing_ = false;
}

bool SoundBuffer::SetCurrentPosition(uint32_t offset) {
  if (offset >= size_) return false;
  std::lock_guard lock(shared_->mutex);
  uint32_t frame = offset / format_.BlockAlign();
  // Bytes past the last whole frame are never played: a position there is the ring's start.
  if (frame >= frames_) frame = 0;
  phase_ = static_cast<uint64_t>(frame) << 32;
  return true;
}

uint32_t SoundBuffer::GetCurrentPosition() const {
  std::lock_guard lock(shared_->mutex);
  return static_cast<uint32_t>(phase_ >> 32) * format_.BlockAlign();
}

bool SoundBuffer::IsPlaying() const {
  std::lock_guard lock(shared_->mutex);
  return playing_;
}

bool SoundBuffer::IsLooping() const {
  std::lock_guard lock(shared_->mutex);
  return looping_;
}

bool SoundBuffer::SetVolume(int32_t volume) {
  if (volume < kVolumeMin || volume > kVolumeMax) return false;
  std::lock_guard lock(shared_->mutex);
  volume_ = volume;
  gain_ = VolumeToGain(volume);
  return true;
}

int32_t SoundBuffer::GetVolume() const {
  std::lock_guard lock(shared_->mutex);
  return volume_;
}

void SoundBuffer::MixInto(int32_t* accumulator, uint32_t frames, uint64_t step) {
  if (!playing_) return;
  const bool stereo = format_.channels == 2;
  if (format_.bits_per_sample == 16) {
    stereo ? MixFrames<16, 2>(accumulator, frames, step)
           : MixFrames<16, 1>(accumulator, frames, step);
  } else {
    stereo ? MixFrames<8, 2>(accumulator, frames, step)
           : MixFrames<8, 1>(accumulator, frames, step);
  }
}

template <int kBits, int kChannels>
void SoundBuffer::MixFrames(int32_t* accumulator, uint32_t frames, uint64_t step) {
  constexpr uint32_t kBytes = kBits / 8;
  constexpr uint32_t kAlign = kBytes * kChannels;
  const uint8_t* data = data_.data();
  const uint64_t end = static_cast<uint64_t>(frames_) << 32;
  const int32_t gain = static_cast<int32_t>(gain_);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t index = static_cast<uint32_t>(phase_ >> 32);
    uint32_t next = index + 1;
    if (next >= frames_) next = looping_ ? 0 : index;
    const int32_t frac = static_cast<int32_t>((phase_ >> 17) & 0x7FFF);  // 15 bits: no overflow
    const uint8_t* a = data + static_cast<size_t>(index) * kAlign;
    const uint8_t* b = data + static_cast<size_t>(next) * kAlign;
    const int32_t l0 = Sample<kBits>(a);
    const int32_t left = l0 + (((Sample<kBits>(b) - l0) * frac) >> 15);
    int32_t right = left;
    if constexpr (kChannels == 2) {
      const int32_t r0 = Sample<kBits>(a + kBytes);
      right = r0 + (((Sample<kBits>(b + kBytes) - r0) * frac) >> 15);
    }
    accumulator[2 * i] += (left * gain) >> 16;
    accumulator[2 * i + 1] += (right * gain) >> 16;
    phase_ += step;
    if (phase_ >= end) {
      if (looping_) {
        phase_ %= end;
      } else {
        playing_ = false;
        phase_ = 0;
        return;
      }
    }
  }
}

}  // namespace platform
