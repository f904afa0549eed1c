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
  std::vector<int16_t> block(static_cast<size_t>(frames) * 2);
  mixer_.Mix(block.data(), frames);
  pumped_frames += frames;
  if (capture) captured.insert(captured.end(), block.begin(), block.end());
}

}  // namespace platform::headless
