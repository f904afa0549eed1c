#pragma once
// The sound-output seam, standing in for the sound device object: it opens the output device and
// makes the sound buffers (platform/sound_buffer.h) that the device mixes into its output
// (platform/mixer.h). Both backends mix with the same portable mixer, so a headless run and a real
// run produce the same samples.
//
// No sound device is a valid state: Open fails, or the platform's pointer is null. The program
// then runs without sound and every buffer creation fails.

#include <cstdint>
#include <memory>

#include "platform/sound_buffer.h"

namespace platform {

class Audio {
 public:
  virtual ~Audio() = default;

  // Opens the output device; false when the machine has none (or it cannot be opened).
  virtual bool Open() = 0;
  // Closes the device. Buffers that still exist stay valid objects but are no longer heard.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Holds the output while the program is in the background (an unfocused program is silent):
  // nothing is mixed and no buffer's play cursor moves until the output resumes. The choice
  // holds across Open and Close; a new Audio is not paused.
  virtual void SetPaused(bool paused) = 0;
  virtual bool IsPaused() const = 0;

  // A new buffer (see Mixer::CreateBuffer); null when the device is not open, or the format or
  // size is not valid.
  virtual std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t size) = 0;
};

}  // namespace platform
