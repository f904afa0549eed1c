#include "platform/mixer.h"

#include <algorithm>
#include <new>

namespace platform {

MixerShared::MixerShared() {
  spare_objects.reserve(kSpare);
  spare_storage.reserve(kSpare);
}

MixerShared::~MixerShared() {
  for (void* memory : spare_objects) ::operator delete(memory);
}

std::vector<uint8_t> MixerShared::TakeStorage(size_t size) {
  auto best = spare_storage.end();
  for (auto it = spare_storage.begin(); it != spare_storage.end(); ++it) {
    if (it->capacity() >= size && (best == spare_storage.end() || it->capacity() < best->capacity())) {
      best = it;
    }
  }
  if (best == spare_storage.end()) return {};
  std::vector<uint8_t> storage = std::move(*best);
  // The order of the kept stores does not matter: the last one fills the hole.
  *best = std::move(spare_storage.back());
  spare_storage.pop_back();
  return storage;
}

void MixerShared::KeepStorage(std::vector<uint8_t>&& storage) {
  if (storage.capacity() == 0 || storage.capacity() > kSpareStorageLimit) return;
  if (spare_storage.size() < kSpare) {
    spare_storage.push_back(std::move(storage));
    return;
  }
  // Full: the larger store is kept.
  auto smallest = std::min_element(
      spare_storage.begin(), spare_storage.end(),
      [](const auto& a, const auto& b) { return a.capacity() < b.capacity(); });
  if (smallest->capacity() < storage.capacity()) *smallest = std::move(storage);
}

Mixer::Mixer(uint32_t device_rate) : shared_(std::make_shared<MixerShared>()) {
  SetDeviceRate(device_rate);
}

std::unique_ptr<SoundBuffer> Mixer::CreateBuffer(const PcmFormat& format, uint32_t size) {
  if (!format.Valid() || size < format.BlockAlign() || size > kMaxBufferSize) return nullptr;
  void* memory = nullptr;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->spare_objects.empty()) {
      memory = shared_->spare_objects.back();
      shared_->spare_objects.pop_back();
    }
  }
  if (memory == nullptr) memory = ::operator new(sizeof(SoundBuffer));
  SoundBuffer* made = nullptr;
  try {
    made = ::new (memory) SoundBuffer(shared_, format, size);
  } catch (...) {
    ::operator delete(memory);
    throw;
  }
  std::unique_ptr<SoundBuffer> buffer(made);
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
