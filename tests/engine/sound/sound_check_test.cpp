// The sound check: a compressed music file streamed through the wave-file layer into a sound
// buffer, an 8-bit effect over it, mixed on the headless device. With TAMVIK_SOUND_CHECK_WAV set
// to a path, the mix is also written there as a wave file for a person to listen to:
//   TAMVIK_SOUND_CHECK_WAV=/tmp/check.wav build/asan/tests/test_engine_sound
//     --gtest_filter=SoundCheck.*   (one command line)
// It should sound like three seconds of a soft A-major chord with a short, quieter beep at one
// second.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound_scene.h"
#include "sound_test_support.h"

namespace {

using soundtest::SoundRig;

std::vector<int16_t> Chord(uint32_t rate, uint32_t frames) {
  std::vector<int16_t> mix(static_cast<size_t>(frames) * 2, 0);
  for (double hz : {440.0, 554.37, 659.25}) {
    const auto tone = testsupport::Tone(2, rate, frames, hz, 6000);
    for (size_t i = 0; i < mix.size(); ++i) mix[i] = static_cast<int16_t>(mix[i] + tone[i]);
  }
  return mix;
}

int16_t Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
  int16_t peak = 0;
  for (size_t i = from; i < to; ++i)
    peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s[i])));
  return peak;
}

TEST(SoundCheck, StreamedMusicAndAnEffectComeOutOfTheMix) {
  SoundRig rig;
  const uint32_t rate = 22050;
  auto music =
      testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 2, rate, Chord(rate, rate * 3));
  ASSERT_TRUE(music.has_value());
  rig.Put("music.wav", *music);
  ASSERT_TRUE(rig.OpenAll());
  const std::vector<uint8_t> pcm = rig.StreamAll();
  rig.dsound().CloseAcm(rig.channel);

  auto& audio = rig.engine.host.audio;
  ASSERT_TRUE(audio.Open());
  platform::PcmFormat format{2, rate, 16};
  auto stream = audio.CreateBuffer(format, static_cast<uint32_t>(pcm.size()));
  ASSERT_NE(stream, nullptr);
  platform::LockedRegions r;
  ASSERT_TRUE(stream->Lock(0, stream->size(), &r));
  std::memcpy(r.first, pcm.data(), r.first_size);
  ASSERT_TRUE(stream->Unlock(r));

  // A quarter-second 880 Hz beep, 8-bit mono at 11025 Hz, 6 dB down.
  const auto beep16 = testsupport::Tone(1, 11025, 11025 / 4, 880, 20000);
  auto beep = audio.CreateBuffer({1, 11025, 8}, static_cast<uint32_t>(beep16.size()));
  ASSERT_NE(beep, nullptr);
  ASSERT_TRUE(beep->Lock(0, beep->size(), &r));
  for (size_t i = 0; i < beep16.size(); ++i)
    r.first[i] = static_cast<uint8_t>((beep16[i] >> 8) + 128);
  ASSERT_TRUE(beep->Unlock(r));
  beep->SetVolume(-600);

  stream->Play(false);
  audio.Pump(1000);
  beep->Play(false);
  audio.Pump(2100);
  EXPECT_FALSE(stream->IsPlaying());
  EXPECT_FALSE(beep->IsPlaying());

  const size_t second = 2 * audio.device_rate();
  const std::vector<int16_t>& s = audio.captured;
  ASSERT_GE(s.size(), 3 * second);
  // The chord peaks near three tones' amplitude; the beep adds on top for a quarter second.
  const int16_t chord = Peak(s, 0, second);
  EXPECT_GT(chord, 12000);
  EXPECT_LT(chord, 19000);
  EXPECT_GT(Peak(s, second, second + second / 4), chord + 5000);
  EXPECT_LT(Peak(s, 2 * second, 3 * second - 100), chord + 1000);
  // After three seconds only the encoder's padding of the last block is left: near silence.
  EXPECT_LT(Peak(s, 3 * second + 100, s.size()), 100);

  if (const char* path = std::getenv("TAMVIK_SOUND_CHECK_WAV")) {
    EXPECT_TRUE(testsupport::WriteCaptureWav(path, s, audio.device_rate()));
  }
}

// The sound scene (sound_scene.h) on the headless device. With TAMVIK_SOUND_SCENE_WAV set to a
// path the mix is written there for a person to listen to:
//   TAMVIK_SOUND_SCENE_WAV=/tmp/scene.wav test_engine_sound --gtest_filter=SoundCheck.Channels*
// The same scene plays through the real sound device with
//   TAMVIK_SOUND_CHECK_PLAY=1 test_platform_sdl --gtest_filter=SdlSoundCheck.*
TEST(SoundCheck, ChannelsFadeAndEffectsByNumber) {
  testsupport::TestEngine engine;
  testsupport::TempTree tree;
  auto& audio = engine.host.audio;
  const soundtest::SceneLog log =
      soundtest::PlaySoundScene(engine, tree, [&](uint32_t ms) { audio.Pump(ms); });
  EXPECT_EQ(log.init, 1);
  EXPECT_EQ(log.played_music, 1);
  EXPECT_EQ(log.played_voice, 1);
  EXPECT_EQ(log.played_se, 1);
  EXPECT_NEAR(log.voice_time_at_2s, 1000, 20);
  EXPECT_TRUE(log.voice_stopped_at_3s);
  // Two seconds of fade from 5.5 s, seen at the first frame after it.
  EXPECT_GE(log.music_fade_end, 7500);
  EXPECT_LT(log.music_fade_end, 7540);
  EXPECT_TRUE(log.music_stopped);

  const std::vector<int16_t>& s = audio.captured;
  const size_t second = 2 * audio.device_rate();
  ASSERT_GE(s.size(), 8 * second);
  const auto peak = [&](double from, double to) {
    return Peak(s, static_cast<size_t>(from * second) & ~size_t{1},
                static_cast<size_t>(to * second) & ~size_t{1});
  };
  const int16_t music = peak(0.1, 0.9);
  EXPECT_GT(music, 4000);
  EXPECT_LT(music, 5600);
  EXPECT_GT(peak(1.2, 2.3), music);                   // the voice over the ducked music
  EXPECT_GT(peak(3.5, 3.6), peak(3.2, 3.45) + 3000);  // effect 0 over the music
  EXPECT_LT(peak(7.0, 7.45), music / 3);              // nearly faded out
  EXPECT_EQ(peak(7.6, 8.4), 0);                       // stopped: silence

  if (const char* path = std::getenv("TAMVIK_SOUND_SCENE_WAV")) {
    EXPECT_TRUE(testsupport::WriteCaptureWav(path, s, audio.device_rate()));
  }
}

}  // namespace
