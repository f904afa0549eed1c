#include "platform/sound_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/headless/headless_audio.h"
#include "platform/mixer.h"

namespace {

using platform::LockedRegions;
using platform::PcmFormat;
using platform::SoundBuffer;
using platform::headless::HeadlessAudio;

PcmFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
  PcmFormat f;
  f.channels = channels;
  f.samples_per_sec = rate;
  f.bits_per_sample = bits;
  return f;
}

// Writes bytes into the buffer at offset through Lock/Unlock.
void Fill(SoundBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes) {
  LockedRegions r;
  ASSERT_TRUE(buffer.Lock(offset, static_cast<uint32_t>(bytes.size()), &r));
  if (r.first_size != 0) std::memcpy(r.first, bytes.data(), r.first_size);
  if (r.second_size != 0) std::memcpy(r.second, bytes.data() + r.first_size, r.second_size);
  ASSERT_TRUE(buffer.Unlock(r));
}

std::vector<uint8_t> Contents(SoundBuffer& buffer) {
  LockedRegions r;
  EXPECT_TRUE(buffer.Lock(0, buffer.size(), &r));
  std::vector<uint8_t> out(r.first, r.first + r.first_size);
  EXPECT_TRUE(buffer.Unlock(LockedRegions{}));  // nothing written
  return out;
}

// 16-bit samples of one value, `frames` frames.
std::vector<uint8_t> Constant16(int16_t value, uint32_t frames, uint16_t channels = 1) {
  std::vector<uint8_t> out;
  for (uint32_t i = 0; i < frames * channels; ++i) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
  }
  return out;
}

// An open headless device with a playing buffer.
struct Device {
  Device() { EXPECT_TRUE(audio.Open()); }
  std::unique_ptr<SoundBuffer> Buffer(const PcmFormat& format, uint32_t size) {
    auto buffer = audio.CreateBuffer(format, size);
    EXPECT_NE(buffer, nullptr);
    return buffer;
  }
  // Left channel of captured frame i.
  int16_t Left(size_t i) const { return audio.captured.at(2 * i); }
  int16_t Right(size_t i) const { return audio.captured.at(2 * i + 1); }
  HeadlessAudio audio;
};

TEST(SoundBuffer, LockGivesTwoPartsWhenTheRangeWraps) {
  Device d;
  auto buffer = d.Buffer(Format(1, 22050, 16), 1000);
  struct Case {
    uint32_t offset;
    uint32_t length;
    bool ok;
    uint32_t first;
    uint32_t second;
  };
  const Case cases[] = {
      {0, 100, true, 100, 0},    {900, 200, true, 100, 100}, {0, 1000, true, 1000, 0},
      {999, 1000, true, 1, 999}, {500, 0, true, 0, 0},       {1000, 1, false, 0, 0},
      {0, 1001, false, 0, 0},    {4000, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << "+" << c.length);
    LockedRegions r;
    ASSERT_EQ(buffer->Lock(c.offset, c.length, &r), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(r.first_size, c.first);
    EXPECT_EQ(r.second_size, c.second);
    EXPECT_EQ(r.first != nullptr, c.first != 0);
    EXPECT_EQ(r.second != nullptr, c.second != 0);
    EXPECT_TRUE(buffer->Unlock(r));
  }

  // What is written into both parts lands at the end and at the start of the buffer.
  std::vector<uint8_t> pattern(200);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i + 1);
  Fill(*buffer, 900, pattern);
  std::vector<uint8_t> all = Contents(*buffer);
  EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + 100, all.begin() + 900));
  EXPECT_TRUE(std::equal(pattern.begin() + 100, pattern.end(), all.begin()));
  EXPECT_EQ(all[100], 0);
}

TEST(SoundBuffer, UnlockStoresOnlyWhatWasWrittenThroughTheLockedParts) {
  Device d;
  auto buffer = d.Buffer(Format(1, 22050, 8), 100);
  EXPECT_EQ(Contents(*buffer), std::vector<uint8_t>(100, 0x80));  // 8-bit silence

  LockedRegions r;
  ASSERT_TRUE(buffer->Lock(90, 20, &r));
  LockedRegions again;
  EXPECT_FALSE(buffer->Lock(0, 10, &again));  // one lock at a time
  std::memset(r.first, 1, r.first_size);
  std::memset(r.second, 2, r.second_size);
  LockedRegions foreign = r;
  uint8_t elsewhere[10];
  foreign.first = elsewhere;
  EXPECT_FALSE(buffer->Unlock(foreign));
  LockedRegions too_long = r;
  too_long.second_size = 11;
  EXPECT_FALSE(buffer->Unlock(too_long));
  LockedRegions partly = r;
  partly.second_size = 4;  // only 4 of the 10 bytes at the start were written
  ASSERT_TRUE(buffer->Unlock(partly));
  EXPECT_FALSE(buffer->Unlock(partly));  // nothing locked any more

  const std::vector<uint8_t> all = Contents(*buffer);
  EXPECT_EQ(std::count(all.begin() + 90, all.end(), 1), 10);
  EXPECT_EQ(std::count(all.begin(), all.begin() + 4, 2), 4);
  EXPECT_EQ(all[4], 0x80);
}

TEST(SoundBuffer, PlayCursorAdvancesWithDeviceTimeAtTheBufferByteRate) {
  struct Case {
    PcmFormat format;
    uint32_t device_rate;
  };
  const Case cases[] = {
      {Format(1, 22050, 16), 44100}, {Format(2, 11025, 8), 44100}, {Format(2, 44100, 16), 44100},
      {Format(1, 48000, 16), 44100}, {Format(2, 22050, 16), 48000}, {Format(1, 8000, 8), 22050},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format.samples_per_sec << " Hz x" << c.format.channels
                                    << " " << c.format.bits_per_sample << "-bit on "
                                    << c.device_rate);
    Device d;
    d.audio.SetDeviceRate(c.device_rate);
    const uint32_t align = c.format.BlockAlign();
    auto buffer = d.Buffer(c.format, 2 * c.format.AvgBytesPerSec());  // two seconds
    ASSERT_TRUE(buffer->Play(true));
    for (uint32_t tenth = 1; tenth <= 3; ++tenth) {
      d.audio.Pump(100);
      const double expected = tenth * c.format.samples_per_sec / 10.0;
      EXPECT_NEAR(buffer->GetCurrentPosition() / align, expected, 1.0) << tenth;
      EXPECT_EQ(buffer->GetCurrentPosition() % align, 0u);
    }
    d.audio.Pump(2000);  // once around the ring
    EXPECT_NEAR(buffer->GetCurrentPosition() / align, 0.3 * c.format.samples_per_sec, 1.0);
    EXPECT_TRUE(buffer->IsPlaying());
  }
}

TEST(SoundBuffer, PlayOnceStopsAtTheEndAndStopKeepsThePosition) {
  Device d;
  // 100 ms at 22050 Hz, heard at 44100 Hz: 4410 device frames of sound, then silence.
  auto buffer = d.Buffer(Format(1, 22050, 16), 2205 * 2);
  Fill(*buffer, 0, Constant16(1000, 2205));
  ASSERT_TRUE(buffer->Play(false));
  EXPECT_FALSE(buffer->IsLooping());
  d.audio.Pump(50);
  EXPECT_TRUE(buffer->IsPlaying());
  d.audio.Pump(100);
  EXPECT_FALSE(buffer->IsPlaying());
  EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
  ASSERT_EQ(d.audio.captured.size(), 2u * 6615);
  for (size_t i = 0; i < 4410; ++i) ASSERT_EQ(d.Left(i), 1000) << i;
  for (size_t i = 4410; i < 6615; ++i) ASSERT_EQ(d.Left(i), 0) << i;

  // Stop keeps the position; playing again goes on from there.
  ASSERT_TRUE(buffer->SetCurrentPosition(1001));  // rounds down to a whole frame
  EXPECT_EQ(buffer->GetCurrentPosition(), 1000u);
  EXPECT_FALSE(buffer->SetCurrentPosition(2205 * 2));
  buffer->Play(false);
  d.audio.Pump(10);  // 441 device frames: 220.5 source frames
  buffer->Stop();
  const uint32_t stopped_at = buffer->GetCurrentPosition();
  EXPECT_EQ(stopped_at, 1000u + 220 * 2);
  d.audio.Pump(100);
  EXPECT_EQ(buffer->GetCurrentPosition(), stopped_at);
  EXPECT_EQ(d.Left(d.audio.captured.size() / 2 - 1), 0);
  buffer->Play(false);
  d.audio.Pump(10);
  EXPECT_GT(buffer->GetCurrentPosition(), stopped_at);
}

TEST(SoundBuffer, VolumeIsHundredthsOfADecibel) {
  struct Case {
    int32_t volume;
    double gain;
  };
  const Case cases[] = {
      {0, 1.0},
      {-600, std::pow(10.0, -0.3)},
      {-2000, 0.1},
      {-5000, std::pow(10.0, -2.5)},
      {-10000, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    Device d;
    auto buffer = d.Buffer(Format(2, 44100, 16), 4410 * 4);
    Fill(*buffer, 0, Constant16(30000, 4410, 2));
    ASSERT_TRUE(buffer->SetVolume(c.volume));
    EXPECT_EQ(buffer->GetVolume(), c.volume);
    buffer->Play(true);
    d.audio.Pump(10);
    EXPECT_NEAR(d.Left(0), 30000 * c.gain, 1.0);
    EXPECT_NEAR(d.Right(300), 30000 * c.gain, 1.0);
  }
  Device d;
  auto buffer = d.Buffer(Format(1, 44100, 16), 100);
  ASSERT_TRUE(buffer->SetVolume(-1234));
  EXPECT_FALSE(buffer->SetVolume(1));
  EXPECT_FALSE(buffer->SetVolume(-10001));
  EXPECT_EQ(buffer->GetVolume(), -1234);
}

TEST(Mixer, SumsPlayingBuffersWithSaturation) {
  struct Case {
    int16_t a;
    int16_t b;
    int16_t sum;
  };
  const Case cases[] = {
      {30000, 30000, 32767}, {-30000, -30000, -32768}, {10000, 5000, 15000}, {20000, -5000, 15000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " + " << c.b);
    Device d;
    auto one = d.Buffer(Format(1, 44100, 16), 882);
    auto two = d.Buffer(Format(2, 22050, 16), 1764);
    Fill(*one, 0, Constant16(c.a, 441));
    Fill(*two, 0, Constant16(c.b, 441, 2));
    one->Play(true);
    two->Play(true);
    d.audio.Pump(10);
    EXPECT_EQ(d.Left(100), c.sum);
    EXPECT_EQ(d.Right(100), c.sum);
  }
}

TEST(Mixer, ResamplesByLinearInterpolationAndKeepsChannelsApart) {
  Device d;
  // A stereo ramp at half the device rate: every other output frame lies halfway between two.
  std::vector<int16_t> ramp;
  for (int i = 0; i < 100; ++i) {
    ramp.push_back(static_cast<int16_t>(i * 100));
    ramp.push_back(static_cast<int16_t>(-i * 50));
  }
  std::vector<uint8_t> bytes;
  for (int16_t s : ramp) {
    bytes.push_back(static_cast<uint8_t>(s));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  auto buffer = d.Buffer(Format(2, 22050, 16), static_cast<uint32_t>(bytes.size()));
  Fill(*buffer, 0, bytes);
  buffer->Play(false);
  d.audio.PumpFrames(20);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(d.Left(i), i * 50) << i;
    EXPECT_EQ(d.Right(i), -i * 25) << i;
  }

  // 8-bit samples are unsigned around 128; a mono buffer is heard on both sides.
  Device e;
  auto eight = e.Buffer(Format(1, 44100, 8), 3);
  Fill(*eight, 0, {0x80, 0xFF, 0x00});
  eight->Play(false);
  e.audio.PumpFrames(3);
  EXPECT_EQ(e.Left(0), 0);
  EXPECT_EQ(e.Left(1), 127 * 256);
  EXPECT_EQ(e.Left(2), -32768);
  EXPECT_EQ(e.Right(1), 127 * 256);
}

TEST(Mixer, RefusesFormatsAndSizesItCannotPlay) {
  platform::Mixer mixer;
  struct Case {
    PcmFormat format;
    uint32_t size;
  };
  const Case cases[] = {
      {Format(0, 22050, 16), 100},     {Format(3, 22050, 16), 120},  {Format(1, 22050, 12), 100},
      {Format(1, 22050, 24), 99},      {Format(1, 50, 16), 100},     {Format(1, 300000, 16), 100},
      {Format(2, 22050, 16), 3},       {Format(1, 22050, 8), 0},
      {Format(1, 22050, 8), platform::kMaxBufferSize + 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mixer.CreateBuffer(c.format, c.size), nullptr)
        << c.format.channels << " " << c.format.samples_per_sec << " " << c.format.bits_per_sample
        << " " << c.size;
  }
  EXPECT_NE(mixer.CreateBuffer(Format(2, 22050, 16), 4), nullptr);
  EXPECT_EQ(mixer.buffer_count(), 0u);  // the one made was dropped at once
}

TEST(Mixer, BuffersAndMixerMayEndInEitherOrder) {
  auto mixer = std::make_unique<platform::Mixer>();
  auto kept = mixer->CreateBuffer(Format(1, 22050, 16), 100);
  {
    auto dropped = mixer->CreateBuffer(Format(1, 22050, 16), 100);
    EXPECT_EQ(mixer->buffer_count(), 2u);
  }
  EXPECT_EQ(mixer->buffer_count(), 1u);
  kept->Play(true);
  mixer.reset();
  // The buffer still answers; nothing mixes it any more.
  EXPECT_TRUE(kept->IsPlaying());
  Fill(*kept, 0, Constant16(5, 50));
  EXPECT_EQ(kept->GetCurrentPosition(), 0u);
}

TEST(Mixer, DeviceThreadMixesWhileTheProgramChangesBuffers) {
  // The device's thread mixes while the program's thread writes, plays, stops and drops buffers;
  // every change is taken under the mixer's lock, so this ends and the sanitizers stay quiet.
  platform::Mixer mixer;
  auto stream = mixer.CreateBuffer(Format(2, 22050, 16), 8820);
  stream->Play(true);
  std::atomic<bool> done = false;
  std::thread device([&] {
    std::vector<int16_t> out(2 * 256);
    while (!done.load()) mixer.Mix(out.data(), 256);
  });
  for (int i = 0; i < 300; ++i) {
    Fill(*stream, static_cast<uint32_t>(i * 40) % 8820, Constant16(static_cast<int16_t>(i), 50, 2));
    auto effect = mixer.CreateBuffer(Format(1, 44100, 8), 200);
    effect->Play(false);
    effect->SetVolume(-100 * (i % 50));
    stream->SetCurrentPosition(static_cast<uint32_t>(i * 4) % 8820);
    (void)stream->GetCurrentPosition();
    if (i % 7 == 0) stream->Stop();
    if (i % 7 == 3) stream->Play(true);
  }
  done = true;
  device.join();
  EXPECT_EQ(mixer.buffer_count(), 1u);
}

}  // namespace
