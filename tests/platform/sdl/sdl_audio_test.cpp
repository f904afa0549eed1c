#include "platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

namespace {

using platform::sdl::SdlAudio;

TEST(SdlAudio, TheDeviceCallbackPullsTheMix) {
  // Without a sound card the tests run on SDL's dummy device, which still calls back in real time.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SdlAudio audio;
  EXPECT_EQ(audio.CreateBuffer({1, 22050, 16}, 100), nullptr);
  if (!audio.Open()) GTEST_SKIP() << "no SDL audio device: " << SDL_GetError();
  EXPECT_TRUE(audio.IsOpen());
  EXPECT_GT(audio.device_rate(), 0u);
  auto buffer = audio.CreateBuffer({2, 22050, 16}, 22050 * 4);
  ASSERT_NE(buffer, nullptr);
  ASSERT_TRUE(buffer->Play(true));
  // Wait (generously) until the device has consumed some of the buffer.
  for (int i = 0; i < 500 && buffer->GetCurrentPosition() == 0; ++i) SDL_Delay(10);
  EXPECT_GT(buffer->GetCurrentPosition(), 0u);
  audio.Close();
  EXPECT_FALSE(audio.IsOpen());
  EXPECT_EQ(audio.CreateBuffer({1, 22050, 16}, 100), nullptr);
  // The buffer outlives the device without harm.
  buffer->Stop();
}

TEST(SdlAudio, PausedOutputHoldsEveryBuffer) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SdlAudio audio;
  audio.SetPaused(true);  // before opening: the device opens paused
  if (!audio.Open()) GTEST_SKIP() << "no SDL audio device: " << SDL_GetError();
  EXPECT_TRUE(audio.IsPaused());
  auto buffer = audio.CreateBuffer({2, 22050, 16}, 22050 * 4);
  ASSERT_NE(buffer, nullptr);
  ASSERT_TRUE(buffer->Play(true));
  SDL_Delay(200);
  EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
  audio.SetPaused(false);
  for (int i = 0; i < 500 && buffer->GetCurrentPosition() == 0; ++i) SDL_Delay(10);
  EXPECT_GT(buffer->GetCurrentPosition(), 0u);
  audio.SetPaused(true);
  const uint32_t held = buffer->GetCurrentPosition();
  SDL_Delay(200);
  EXPECT_EQ(buffer->GetCurrentPosition(), held);
  audio.Close();
}

}  // namespace
