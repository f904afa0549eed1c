#pragma once
// The software mixer behind every audio backend: it owns the list of sound buffers and turns
// them into the device's output, 16-bit interleaved stereo at the device rate. Every playing
// buffer is resampled (linear interpolation) to the device rate, scaled by its volume and added;
// the sum is saturated to 16 bits. Mono buffers are heard equally on both sides.
//
// The mixer's mutex is the device lock: Mix holds it while it reads the buffers, and every
// buffer call that changes what Mix reads takes it, so the device's thread (an audio callback)
// and the program's thread may use the mixer at the same time.
//
// Buffers keep the mixer's shared state alive: a buffer may outlive its mixer (it is then never
// heard again) and the mixer may outlive its buffers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sound_buffer.h"

namespace platform {

constexpr uint32_t kDefaultDeviceRate = 44100;

struct MixerShared {
  MixerShared();
  ~MixerShared();
  MixerShared(const MixerShared&) = delete;
  MixerShared& operator=(const MixerShared&) = delete;

  std::mutex mutex;
  std::vector<SoundBuffer*> buffers;  // every live buffer, in creation order
  uint32_t device_rate = kDefaultDeviceRate;

  // The memory of deleted buffers kept for the next ones (under the mutex): at most kSpare
  // objects' memory, and at most kSpare sample stores of up to kSpareStorageLimit bytes each,
  // so that playing a sound again and again allocates nothing; the rest is freed.
  static constexpr size_t kSpare = 8;
  static constexpr size_t kSpareStorageLimit = 4u << 20;
  std::vector<void*> spare_objects;
  std::vector<std::vector<uint8_t>> spare_storage;

  // Kept storage holding at least `size` bytes (the smallest such), or an empty vector.
  std::vector<uint8_t> TakeStorage(size_t size);
  // Keeps the storage when there is room (and it is not too large), else frees it.
  void KeepStorage(std::vector<uint8_t>&& storage);
};

class Mixer {
 public:
  explicit Mixer(uint32_t device_rate = kDefaultDeviceRate);
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // A new buffer, zero-filled (silence for 16-bit; 128 for 8-bit), stopped at position 0 with
  // full volume. Null when the format is not valid or the size is not within one frame and
  // kMaxBufferSize.
  std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t size);

  // Output frames per second; buffers keep their own rates.
  void SetDeviceRate(uint32_t rate);
  uint32_t device_rate() const;
  size_t buffer_count() const;

  // Writes `frames` frames of interleaved stereo output (2 x frames samples) and advances every
  // playing buffer by that much device time.
  void Mix(int16_t* out, size_t frames);

 private:
  std::shared_ptr<MixerShared> shared_;
};

}  // namespace platform
