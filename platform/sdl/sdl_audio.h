#pragma once
// The real sound device: an SDL2 audio device playing 16-bit stereo, whose callback pulls the
// portable mixer's output. The mixer's lock is the device lock: the callback mixes under it and
// every buffer change takes it.

#include <cstdint>
#include <memory>

#include "platform/audio.h"
#include "platform/mixer.h"

namespace platform::sdl {

class SdlAudio final : public Audio {
 public:
  SdlAudio() = default;
  ~SdlAudio() override;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  // Starts SDL's audio and opens the default output device at 44100 Hz (or the rate the device
  // insists on); false when there is no usable device.
  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return device_ != 0; }
  // Pauses the SDL device: the callback is not called and the device plays silence.
  void SetPaused(bool paused) override;
  bool IsPaused() const override { return paused_; }
  std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t size) override;

  // The rate the device plays at (valid while open).
  uint32_t device_rate() const { return mixer_.device_rate(); }

 private:
  static void Callback(void* self, uint8_t* stream, int length);

  Mixer mixer_;
  uint32_t device_ = 0;  // SDL_AudioDeviceID; 0 while closed
  bool paused_ = false;
};

}  // namespace platform::sdl
