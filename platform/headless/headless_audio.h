#pragma once
// The test sound device: nothing plays until a test pumps device time; the mixed samples are kept
// so that a test can listen by assertion (or write them to a wave file for a person).

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio.h"
#include "platform/mixer.h"

namespace platform::headless {

class HeadlessAudio final : public Audio {
 public:
  bool Open() override;
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  void SetPaused(bool paused) override { paused_ = paused; }
  bool IsPaused() const override { return paused_; }
  std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t size) override;

  // Lets `ms` milliseconds of device time pass: mixes that many frames at the device rate (the
  // fraction of a frame left over is carried to the next call). Nothing happens while the device
  // is not open or is paused (nothing is mixed or captured; the buffers stand still).
  void Pump(uint32_t ms);
  // The same in frames.
  void PumpFrames(uint32_t frames);

  void SetDeviceRate(uint32_t rate) { mixer_.SetDeviceRate(rate); }
  uint32_t device_rate() const { return mixer_.device_rate(); }
  Mixer& mixer() { return mixer_; }

  // What tests set.
  bool no_device = false;  // Open fails: the machine has no sound device
  bool capture = true;     // keep what is mixed in `captured`

  // What tests read: interleaved stereo 16-bit samples at the device rate.
  std::vector<int16_t> captured;
  uint64_t pumped_frames = 0;

 private:
  Mixer mixer_;
  bool open_ = false;
  bool paused_ = false;
  uint64_t carry_ = 0;  // ms x rate left over below one frame, in 1/1000 frames
  std::vector<int16_t> scratch_;  // mixed and dropped when nothing is captured
};

}  // namespace platform::headless
