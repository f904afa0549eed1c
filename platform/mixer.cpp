#include "platform/mixer.h"

#include <algorithm>

namespace platform {

Mixer::Mixer(uint32_t device_rate) : shared_(std::make_shared<MixerShared>()) {
  SetDeviceRate(device_rate);
}

std::unique_ptr<SoundBuffer> Mixer::CreateBuffer(const PcmFormat& format, uint32_t size) {
  if (!format.Valid() || size < format.BlockAlign() || size > kMaxBufferSize) return nullptr;
  std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(shared_, format, size));
  std::lock_guard lock(shared_->mutex);
  shared_->buffers.push_back(buffer.get());
  return buffer;
}

void Mixer::SetDeviceRate(uint32_t rate) {
  std::lock_guard lock(shared_->mutex);
  shared_->device_rate = std::clamp(rate, kMinSampleRate, kMaxSampleRate);
}

uint32_t Mixer::device_rate() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->device_rate;
}

size_t Mixer::buffer_count() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->buffers.size();
}

void Mixer::Mix(int16_t* out, size_t frames) {
  constexpr uint32_t kChunk = 256;
  int32_t accumulator[2 * kChunk];
  std::lock_guard lock(shared_->mutex);
  const uint64_t device_rate = shared_->device_rate;
  while (frames != 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(frames, kChunk));
    std::fill(accumulator, accumulator + 2 * n, 0);
    for (SoundBuffer* buffer : shared_->buffers) {
      if (!buffer->playing_) continue;
      const uint64_t step =
          (static_cast<uint64_t>(buffer->format_.samples_per_sec) << 32) / device_rate;
      buffer->MixInto(accumulator, n, step);
    }
    for (uint32_t i = 0; i < 2 * n; ++i) {
      out[i] = static_cast<int16_t>(std::clamp(accumulator[i], -32768, 32767));
    }
    out += 2 * n;
    frames -= n;
  }
}

}  // namespace platform
