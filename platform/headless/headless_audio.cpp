#include "platform/headless/headless_audio.h"

namespace platform::headless {

bool HeadlessAudio::Open() {
  if (no_device) return false;
  open_ = true;
  return true;
}

std::unique_ptr<SoundBuffer> HeadlessAudio::CreateBuffer(const PcmFormat& format, uint32_t size) {
  if (!open_) return nullptr;
  return mixer_.CreateBuffer(format, size);
}

void HeadlessAudio::Pump(uint32_t ms) {
  if (!open_ || paused_) return;
  carry_ += static_cast<uint64_t>(ms) * mixer_.device_rate();
  const uint64_t frames = carry_ / 1000;
  carry_ %= 1000;
  PumpFrames(static_cast<uint32_t>(frames));
}

void HeadlessAudio::PumpFrames(uint32_t frames) {
  if (!open_ || paused_ || frames == 0) return;
  // Mixed straight onto the end of the capture, or into a reused scratch block: a steady frame
  // allocates nothing (the capture grows geometrically).
  const size_t samples = static_cast<size_t>(frames) * 2;
  int16_t* out = nullptr;
  if (capture) {
    const size_t old = captured.size();
    captured.resize(old + samples);
    out = captured.data() + old;
  } else {
    if (scratch_.size() < samples) scratch_.resize(samples);
    out = scratch_.data();
  }
  mixer_.Mix(out, frames);
  pumped_frames += frames;
}

}  // namespace platform::headless
