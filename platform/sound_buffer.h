#pragma once
// A sound buffer: a ring of PCM bytes in its own format that the mixer plays to the output device,
// standing in for a secondary sound buffer. The program writes into it through Lock/Unlock and
// starts, stops and positions it; the mixer reads it, resampled to the device rate.
//
// Format: 1 or 2 channels, 8-bit (unsigned, 128 is silence) or 16-bit (signed, little-endian)
// samples, kMinSampleRate..kMaxSampleRate samples per second. Size: at least one sample frame
// (channels x bytes per sample), at most kMaxBufferSize bytes; bytes past the last whole frame
// are kept but never played.
//
// Play cursor: the byte offset of the frame the mixer plays next, always frame-aligned. It
// advances with the device's time at the buffer's own byte rate: 100 ms of device time move it by
// a tenth of the buffer's bytes per second, whatever the device rate is. A looping buffer wraps
// at its end; a play-once buffer stops there and its cursor goes back to 0.
//
// Volume in hundredths of a decibel, kVolumeMin (silence) to kVolumeMax (0 dB, unchanged);
// the sample gain is 10^(volume / 2000).
//
// Thread safety: every call may run on the program's thread while the device's thread mixes;
// calls take the mixer's lock (the device lock) around every change of what the mixer reads.

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace platform {

constexpr uint32_t kMinSampleRate = 100;
constexpr uint32_t kMaxSampleRate = 200000;
constexpr uint32_t kMaxBufferSize = 0x0FFFFFFF;
constexpr int32_t kVolumeMin = -10000;
constexpr int32_t kVolumeMax = 0;

// A buffer's PCM format.
struct PcmFormat {
  uint16_t channels = 0;
  uint32_t samples_per_sec = 0;
  uint16_t bits_per_sample = 0;

  // Bytes of one sample frame (all channels).
  uint32_t BlockAlign() const { return channels * (bits_per_sample / 8u); }
  uint32_t AvgBytesPerSec() const { return samples_per_sec * BlockAlign(); }
  // 1 or 2 channels, 8 or 16 bits, a rate within kMinSampleRate..kMaxSampleRate.
  bool Valid() const;
};

// The gain for a volume as a 16.16 fixed-point factor (65536 = unchanged): 10^(volume / 2000),
// rounded; kVolumeMin and below give 0 (silence).
uint32_t VolumeToGain(int32_t volume);

// The one or two parts of a locked range: the part from the offset to the end of the range or
// of the buffer, and, when the range wraps past the end, the part from the buffer's start.
struct LockedRegions {
  uint8_t* first = nullptr;
  uint32_t first_size = 0;
  uint8_t* second = nullptr;
  uint32_t second_size = 0;
};

struct MixerShared;

class SoundBuffer {
 public:
  ~SoundBuffer();
  // Deleting a buffer gives its memory (the object and its sample storage) to its mixer, which
  // keeps a few for the next buffers made: a sound started in the middle of a frame then
  // allocates nothing.
  void operator delete(SoundBuffer* buffer, std::destroying_delete_t);
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  const PcmFormat& format() const { return format_; }
  uint32_t size() const { return size_; }

  // Gives the range [offset, offset + length) for writing, as two parts when it runs past the
  // end of the buffer (the second part then starts at byte 0). The parts hold the buffer's
  // current bytes; what is written there reaches the buffer at Unlock. False when the offset is
  // not inside the buffer, the length exceeds the buffer's size, or a lock is already held.
  // A length of 0 succeeds with two empty parts.
  bool Lock(uint32_t offset, uint32_t length, LockedRegions* out);
  // Ends the lock: the parts' first `first_size` and `second_size` bytes are stored (a size may
  // be smaller than locked: only that much was written). The pointers must be those Lock gave
  // (or null for an empty part). False when nothing is locked or the parts do not match.
  bool Unlock(const LockedRegions& written);

  // Starts playing from the current position, looping or once. Playing again only changes the
  // looping choice.
  bool Play(bool looping);
  // Stops; the position stays where it was.
  void Stop();
  // Moves the play cursor to the frame holding `offset`; false when offset >= size.
  bool SetCurrentPosition(uint32_t offset);
  uint32_t GetCurrentPosition() const;
  bool IsPlaying() const;
  bool IsLooping() const;

  // False (volume unchanged) outside kVolumeMin..kVolumeMax.
  bool SetVolume(int32_t volume);
  int32_t GetVolume() const;

 private:
  friend class Mixer;
  SoundBuffer(std::shared_ptr<MixerShared> shared, const PcmFormat& format, uint32_t size);

  // Adds `frames` device frames of this buffer to the stereo accumulator and advances the play
  // cursor by `step` (source frames per device frame, 32.32 fixed point). Called under the lock.
  void MixInto(int32_t* accumulator, uint32_t frames, uint64_t step);
  template <int kBits, int kChannels>
  void MixFrames(int32_t* accumulator, uint32_t frames, uint64_t step);

  std::shared_ptr<MixerShared> shared_;
  PcmFormat format_;
  uint32_t size_ = 0;
  uint32_t frames_ = 0;  // whole frames in the buffer
  std::vector<uint8_t> data_;

  // Mixer state, under the lock.
  uint64_t phase_ = 0;  // play position in frames, 32.32 fixed point
  bool playing_ = false;
  bool looping_ = false;
  int32_t volume_ = kVolumeMax;
  uint32_t gain_ = 65536;

  // Lock state; only the program's thread touches it.
  bool locked_ = false;
  uint32_t lock_offset_ = 0;
  uint32_t lock_first_ = 0;
  uint32_t lock_second_ = 0;
  std::vector<uint8_t> staging_;
};

}  // namespace platform
