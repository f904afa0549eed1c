#include "platform/sdl/sdl_audio.h"

#include <SDL.h>

namespace platform::sdl {

namespace {
// Frames per callback: about 23 ms at 44100 Hz.
constexpr Uint16 kCallbackFrames = 1024;
}  // namespace

SdlAudio::~SdlAudio() { Close(); }

bool SdlAudio::Open() {
  if (device_ != 0) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(kDefaultDeviceRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kCallbackFrames;
  want.callback = &SdlAudio::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID device =
      SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  mixer_.SetDeviceRate(static_cast<uint32_t>(have.freq));
  device_ = device;
  SDL_PauseAudioDevice(device, paused_ ? 1 : 0);
  return true;
}

void SdlAudio::SetPaused(bool paused) {
  paused_ = paused;
  // Pausing waits for a running callback to end, so nothing is mixed after this returns.
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void SdlAudio::Close() {
  if (device_ == 0) return;
  // Waits for a running callback to end.
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<SoundBuffer> SdlAudio::CreateBuffer(const PcmFormat& format, uint32_t size) {
  if (device_ == 0) return nullptr;
  return mixer_.CreateBuffer(format, size);
}

void SdlAudio::Callback(void* self, uint8_t* stream, int length) {
  auto* audio = static_cast<SdlAudio*>(self);
  audio->mixer_.Mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}

}  // namespace platform::sdl
