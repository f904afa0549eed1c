#pragma once
// A short sound scene for a person to listen to, played through the sound service on whatever
// device the engine's platform holds: looping music (IMA ADPCM, an intro then a loop), a voice
// over it with the music ducked, a streamed effect, four numbered effects over the music (the
// last one restarted), and the music faded out over two seconds and stopped.
//
// Heard through the headless device by SoundCheck.ChannelsFadeAndEffectsByNumber (which can write
// the mix to a wave file) and through the real device by SdlSoundCheck.PlaysTheSoundScene.
//
// Timeline (game seconds): 0 music starts; 1.0 the voice (1.5 s), music fades to 80 (-20 dB); 2.5
// the streamed effect (a falling chirp), music back to full; 3.5-4.5 effects 0, 1, 2, 1, 1; 5.5 the
// music fades out, and is stopped once the fade has ended; the scene ends at 8.5.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/wav_writer.h"

namespace soundtest {

// What the scene saw of the service while it ran.
struct SceneLog {
  int init = 0;
  int played_music = 0;
  int played_voice = 0;
  int played_se = 0;
  int32_t voice_time_at_2s = -2;     // ms the voice had played one second after it started
  bool voice_stopped_at_3s = false;  // it stops itself after its last byte
  int32_t music_fade_end = -1;       // game ms at which the fade-out was seen to end
  bool music_stopped = false;
};

// Mono notes with soft edges, one after another.
inline std::vector<int16_t> Notes(uint32_t rate, const std::vector<double>& hz, double seconds,
                                  double amplitude) {
  std::vector<int16_t> out;
  const auto n = static_cast<uint32_t>(seconds * rate);
  for (double f : hz) {
    for (uint32_t i = 0; i < n; ++i) {
      const double edge = std::min({1.0, i / (0.01 * rate), (n - i) / (0.01 * rate)});
      const double v = amplitude * edge * std::sin(2 * std::numbers::pi * f * i / rate);
      out.push_back(static_cast<int16_t>(std::lround(v)));
    }
  }
  return out;
}

inline std::vector<int16_t> Stereo(const std::vector<int16_t>& mono) {
  std::vector<int16_t> out;
  for (int16_t s : mono) out.insert(out.end(), {s, s});
  return out;
}

// Plays the scene on the current engine. `device_time` lets that many milliseconds of device
// time pass (pumping the headless device, or waiting for the real one).
inline SceneLog PlaySoundScene(testsupport::TestEngine& engine, testsupport::TempTree& tree,
                               const std::function<void(uint32_t)>& device_time) {
  SceneLog log;
  CDsoundFunc& ds = engine.ctx().dsound;
  engine.ctx().frame_rate.active = 1;
  log.init = ds.Init(nullptr);

  // Music: an arpeggio of eight half-second notes; the loop starts at the third note (1.0 s).
  const uint32_t rate = 22050;
  auto music = testsupport::EncodedWav(
      platform::kWaveFormatImaAdpcm, 2, rate,
      Stereo(Notes(rate, {440, 554.37, 659.25, 880, 659.25, 554.37, 440, 329.63}, 0.5, 5000)));
  // Stored loop points of 16-bit stereo 22050 Hz files count half the PCM bytes.
  if (music) music->loop_point = 1 * rate * 4 / 2;
  // The voice: three "syllables" of a low warble.
  std::vector<int16_t> voice;
  for (double f : {220.0, 247.0, 196.0}) {
    for (int16_t s : Notes(rate, {f}, 0.4, 7000)) voice.push_back(s);
    voice.insert(voice.end(), rate / 10, 0);
  }
  // The streamed effect: a falling chirp, 8-bit at 11025 Hz.
  std::vector<int16_t> chirp;
  for (uint32_t i = 0; i < 11025 * 6 / 10; ++i) {
    const double t = i / 11025.0;
    const double edge = std::min(1.0, (0.6 - t) / 0.05);
    chirp.push_back(static_cast<int16_t>(
        7000 * edge * std::sin(2 * std::numbers::pi * (1500 * t - 1000 * t * t))));
  }
  const std::string music_path =
      tree.Write("scene/music.wav", music ? music->Bytes() : std::vector<uint8_t>{});
  const std::string voice_path =
      tree.Write("scene/voice.wav", testsupport::PcmWav(1, rate, 16, voice).Bytes());
  const std::string se_path =
      tree.Write("scene/se.wav", testsupport::PcmWav(1, 11025, 8, chirp).Bytes());
  // The numbered effects: a high beep, an 8-bit beep, a compressed two-tone (G5, B5).
  auto two_tone = testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 1, rate,
                                          Notes(rate, {784, 988}, 0.15, 6000));
  const std::string effect_paths[] = {
      tree.Write("scene/se0.wav",
                 testsupport::PcmWav(1, rate, 16, Notes(rate, {1320}, 0.15, 6000)).Bytes()),
      tree.Write("scene/se1.wav",
                 testsupport::PcmWav(1, 11025, 8, Notes(11025, {990}, 0.2, 6000)).Bytes()),
      tree.Write("scene/se2.wav", two_tone ? two_tone->Bytes() : std::vector<uint8_t>{}),
  };
  const char* effects[] = {effect_paths[0].c_str(), effect_paths[1].c_str(),
                           effect_paths[2].c_str()};
  ds.SELoadStatic(effects, 3);

  struct Cue {
    int32_t at;
    std::function<void()> action;
  };
  const std::vector<Cue> cues = {
      {0, [&] { log.played_music = ds.PlayBGM(music_path.c_str()); }},
      {1000, [&] { log.played_voice = ds.PlayVoice(voice_path.c_str()); }},
      {1000, [&] { ds.SetBGMVolume(80, 30); }},
      {2000, [&] { log.voice_time_at_2s = ds.GetVoiceTime(); }},
      {2500, [&] { log.played_se = ds.PlaySE(se_path.c_str()); }},
      {2500, [&] { ds.SetBGMVolume(100, 30); }},
      {3000, [&] { log.voice_stopped_at_3s = ds.IsVoiceStop(); }},
      {3500, [&] { ds.PlayStaticSE(0); }},
      {3800, [&] { ds.PlayStaticSE(1); }},
      {4100, [&] { ds.PlayStaticSE(2); }},
      {4400, [&] { ds.PlayStaticSE(1); }},
      {4500, [&] { ds.PlayStaticSE(1); }},  // restarts the one still playing
      {5500, [&] { ds.SetBGMVolume(0, 120); }},
  };
  size_t next = 0;
  bool fading = false;
  for (uint64_t frame = 0; engine.ctx().frame_rate.GetTime() < 8500; ++frame) {
    const int32_t now = engine.ctx().frame_rate.GetTime();
    while (next < cues.size() && cues[next].at <= now) cues[next++].action();
    if (now >= 5500 && !fading) fading = true;
    if (fading && log.music_fade_end < 0 && ds.IsBGMFadeEnd()) {
      // As the game does it: once faded out, full volume at once and stop.
      log.music_fade_end = now;
      ds.SetBGMVolume(100, 0);
      ds.StopBGM();
    }
    const auto ms = static_cast<uint32_t>((frame + 1) * 1000 / 60 - frame * 1000 / 60);
    engine.host.clock.Advance(ms);
    device_time(ms);
    engine.ctx().frame_rate.Update();
    ds.Update(engine.ctx().frame_rate.GetTime());
  }
  log.music_stopped = ds.IsBGMStop();
  ds.Release();
  return log;
}

}  // namespace soundtest
