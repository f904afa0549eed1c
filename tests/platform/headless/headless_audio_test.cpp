#include "platform/headless/headless_audio.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless_platform.h"

namespace {

using platform::PcmFormat;
using platform::headless::HeadlessAudio;

const PcmFormat kFormat{1, 22050, 16};

TEST(HeadlessAudio, WithoutASoundDeviceNothingIsMadeAndNothingPlays) {
  HeadlessAudio audio;
  // Not opened yet: no buffers.
  EXPECT_EQ(audio.CreateBuffer(kFormat, 100), nullptr);
  audio.no_device = true;
  EXPECT_FALSE(audio.Open());
  EXPECT_FALSE(audio.IsOpen());
  EXPECT_EQ(audio.CreateBuffer(kFormat, 100), nullptr);
  audio.Pump(100);
  EXPECT_TRUE(audio.captured.empty());
  EXPECT_EQ(audio.pumped_frames, 0u);

  // A device that goes away: buffers made before stay usable objects, new ones are refused and
  // no time passes for them.
  audio.no_device = false;
  ASSERT_TRUE(audio.Open());
  auto buffer = audio.CreateBuffer(kFormat, 22050 * 2);
  ASSERT_NE(buffer, nullptr);
  buffer->Play(true);
  audio.Close();
  EXPECT_EQ(audio.CreateBuffer(kFormat, 100), nullptr);
  audio.Pump(100);
  EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
  EXPECT_TRUE(buffer->SetVolume(-500));
  buffer->Stop();
}

TEST(HeadlessAudio, PumpCarriesFractionsOfAFrame) {
  HeadlessAudio audio;
  ASSERT_TRUE(audio.Open());
  audio.SetDeviceRate(22050);  // 22.05 frames per ms
  for (int i = 0; i < 20; ++i) audio.Pump(1);
  EXPECT_EQ(audio.pumped_frames, 441u);
  EXPECT_EQ(audio.captured.size(), 2u * 441);
  audio.capture = false;
  audio.Pump(1000);
  EXPECT_EQ(audio.pumped_frames, 441u + 22050);
  EXPECT_EQ(audio.captured.size(), 2u * 441);
}

TEST(HeadlessAudio, IsTheHeadlessPlatformsSoundSeam) {
  platform::headless::HeadlessPlatform host;
  EXPECT_EQ(host.seams().audio, &host.audio);
}

}  // namespace
