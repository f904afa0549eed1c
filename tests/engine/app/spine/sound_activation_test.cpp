// The sound service as the spine drives it: the production forwards, and the output paused while
// the program is inactive.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/app/engine_services.h"
#include "engine/app/spine/spine.h"
#include "engine/core/frame_rate.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/wav_writer.h"

namespace {

using platform::EventKind;

constexpr uint32_t kRate = 22050;

// One second of 16-bit mono samples per `seconds`, each different from its neighbours.
testsupport::WavFile Voice(double seconds) {
  std::vector<int16_t> s(static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<int16_t>((static_cast<uint32_t>(i) * 2654435761u) >> 16);
  }
  return testsupport::PcmWav(1, kRate, 16, s);
}

std::vector<int16_t> Left(const std::vector<int16_t>& stereo) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

// Engine services that run the real sound service and nothing else.
class SoundOnlyServices final : public EngineServices {
 public:
  int InitDirectDraw(platform::Window*) override { return 1; }
  uint32_t GetPrimaryColor(int) override { return 0x7E0; }
  void ReleaseDirectDraw() override {}
  int ShowWindow() override { return 1; }
  int LoadFont() override { return 1; }
  void SetPixelMode(int) override {}
  void FreeFont() override {}
  int SoundInit(platform::Window* window) override { return Ctx().dsound.Init(window); }
  void SoundUpdate(int32_t time) override { Ctx().dsound.Update(time); }
  void SoundRelease() override { Ctx().dsound.Release(); }
  int CreateDirectInput() override { return 1; }
  int InputInit() override { return 1; }
  void InputGetState() override {}
  int ScanDrives() override { return 1; }
  void SeedRandom() override {}
  void AnimeExec(int32_t) override {}
  int MovieGetState() override { return 0; }
  void MoviePause() override {}
  void MovieResume() override {}
  void MovieOnGraphEvent(platform::Window*) override {}
  void MovieStopAndClose() override {}
};

TEST(SpineSound, ProductionServicesStartStepAndReleaseTheSoundService) {
  testsupport::TestEngine engine;
  testsupport::TempTree tree;
  engine.host.audio.SetDeviceRate(kRate);
  EXPECT_EQ(Services().SoundInit(nullptr), 1);
  EXPECT_TRUE(engine.host.audio.IsOpen());
  const std::string path = tree.Write("voice.wav", Voice(0.5).Bytes());
  ASSERT_EQ(Ctx().dsound.PlayVoice(path.c_str()), 1);
  for (int32_t t = 100; t <= 600; t += 100) {
    engine.host.audio.Pump(100);
    Services().SoundUpdate(t);
  }
  EXPECT_TRUE(Ctx().dsound.IsVoiceStop());  // the update ran and saw the end
  ASSERT_EQ(Ctx().dsound.PlayBGM(path.c_str()), 1);
  Services().SoundRelease();
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_FALSE(engine.host.audio.IsOpen());
}

TEST(SpineSound, AnInactiveProgramIsSilentAndResumesWhereItStopped) {
  testsupport::TestEngine engine;
  testsupport::TempTree tree;
  SoundOnlyServices services;
  engine.ctx().UseServices(&services);
  auto& audio = engine.host.audio;
  audio.SetDeviceRate(kRate);
  platform::Window* w = CreateMainWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(Services().SoundInit(w), 1);
  MainWndProc(w, {EventKind::kActivateApp, 1});
  EXPECT_FALSE(audio.IsPaused());

  const testsupport::WavFile voice = Voice(3);
  const std::string path = tree.Write("voice.wav", voice.Bytes());
  ASSERT_EQ(Ctx().dsound.PlayVoice(path.c_str()), 1);
  // Frames of the message loop: device time and the tick clock pass, then a frame runs.
  uint64_t frame = 0;
  const auto run = [&](double seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 60); ++i, ++frame) {
      const auto ms = static_cast<uint32_t>((frame + 1) * 1000 / 60 - frame * 1000 / 60);
      engine.host.clock.Advance(ms);
      audio.Pump(ms);
      AppFrame(w);
    }
  };
  run(1);
  const int32_t time = Ctx().dsound.GetVoiceTime();
  const int32_t clock = Ctx().frame_rate.GetTime();
  const size_t mixed = audio.captured.size();
  EXPECT_GT(time, 900);

  // Twenty seconds in the background: nothing is mixed, the voice time and the clock stand.
  MainWndProc(w, {EventKind::kActivateApp, 0});
  EXPECT_TRUE(audio.IsPaused());
  run(20);
  EXPECT_EQ(audio.captured.size(), mixed);
  EXPECT_EQ(Ctx().dsound.GetVoiceTime(), time);
  EXPECT_EQ(Ctx().frame_rate.GetTime(), clock);

  // Back: the voice goes on from where it stood and ends after its three seconds of playing.
  MainWndProc(w, {EventKind::kActivateApp, 1});
  EXPECT_FALSE(audio.IsPaused());
  run(1);
  EXPECT_GT(Ctx().dsound.GetVoiceTime(), time + 900);
  run(1.5);
  EXPECT_TRUE(Ctx().dsound.IsVoiceStop());
  EXPECT_EQ(Ctx().dsound.GetVoiceTime(), -1);

  const std::vector<int16_t> heard = testsupport::BytesToSamples(voice.data);
  const std::vector<int16_t> left = Left(audio.captured);
  ASSERT_GT(left.size(), heard.size());
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), left.begin()));
  EXPECT_TRUE(std::all_of(left.begin() + static_cast<long>(heard.size()), left.end(),
                          [](int16_t s) { return s == 0; }));
  Services().SoundRelease();
}

}  // namespace
