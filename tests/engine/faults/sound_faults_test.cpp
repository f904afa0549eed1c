// The sound seam under attack while the program runs: no device, a device that will not open,
// the device going away under playing channels, and a wave file whose reads start failing while
// it streams.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sound/dsound_func.h"
#include "tests/engine/faults/fault_rig.h"
#include "testsupport/faulty_files.h"
#include "testsupport/trace_capture.h"
#include "testsupport/wav_writer.h"

namespace {

using faults::BusyProgram;
using testsupport::FaultyFiles;
using platform::EventKind;

constexpr uint32_t kRate = 22050;

// The three channels and a static effect all asked to play; 1 for each that plays.
struct Plays {
  int bgm = 0;
  int voice = 0;
  int se = 0;
};

class SoundProgram : public BusyProgram {
 public:
  SoundProgram() {
    host().audio.SetDeviceRate(kRate);
    const auto samples = testsupport::Tone(1, kRate, kRate * 12, 440.0, 8000);
    wav = tree.Write("cwd/long.wav", testsupport::PcmWav(1, kRate, 16, samples).Bytes());
  }

  // Loop iterations (the driver moves the device's time along with the clock).
  bool RunWithSound(int iterations) { return Run(iterations); }

  Plays PlayAll() {
    CDsoundFunc& s = Ctx().dsound;
    const char* names[] = {wav.c_str()};
    s.SELoadStatic(names, 1);
    s.PlayStaticSE(0);
    return {s.PlayBGM(wav.c_str()), s.PlayVoice(wav.c_str()), s.PlaySE(wav.c_str())};
  }

  std::string wav;
};

TEST(SoundFaults, WithoutASoundDeviceTheProgramRunsSilently) {
  enum class Fault { kNoSeam, kOpenFails };
  for (Fault fault : {Fault::kNoSeam, Fault::kOpenFails}) {
    SCOPED_TRACE(fault == Fault::kNoSeam ? "no sound seam" : "device does not open");
    testsupport::BusySceneOptions options = BusyProgram::SmallScene();
    // The fault is in place before the program starts.
    faults::Program p;
    if (fault == Fault::kNoSeam) {
      p.host().seams().audio = nullptr;
    } else {
      p.host().audio.no_device = true;
    }
    ASSERT_TRUE(p.Start());
    testsupport::BuildBusyScene(options);
    const std::string wav = p.tree.Write(
        "cwd/tone.wav",
        testsupport::PcmWav(1, kRate, 16, testsupport::Tone(1, kRate, kRate, 440.0, 8000)).Bytes());
    CDsoundFunc& s = Ctx().dsound;
    EXPECT_EQ(s.PlayBGM(wav.c_str()), 0);
    EXPECT_EQ(s.PlayVoice(wav.c_str()), 0);
    EXPECT_EQ(s.PlaySE(wav.c_str()), 0);
    const char* names[] = {wav.c_str()};
    s.SELoadStatic(names, 1);
    s.PlayStaticSE(0);
    EXPECT_EQ(s.GetVoiceTime(), -1);
    EXPECT_TRUE(s.IsBGMStop());
    // Losing and regaining the focus pauses and resumes an output that is not there.
    p.host_window().PostEvent({EventKind::kActivateApp, 0});
    p.host_window().PostEvent({EventKind::kActivateApp, 1});
    EXPECT_TRUE(p.Run(2));
    EXPECT_TRUE(p.KeepsShowing(5));
    EXPECT_TRUE(p.host_window().boxes.empty());
    p.host_window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
    EXPECT_TRUE(p.RunToEnd(5));
    EXPECT_EQ(p.exit_code, 0);
    p.host().seams().audio = &p.host().audio;
  }
}

TEST(SoundFaults, DeviceThatGoesAwayUnderPlayingChannelsLeavesThemHarmless) {
  SoundProgram p;
  ASSERT_TRUE(p.started);
  const Plays plays = p.PlayAll();
  ASSERT_EQ(plays.bgm + plays.voice + plays.se, 3);
  ASSERT_TRUE(p.RunWithSound(30));
  // The device is unplugged: the buffers stay, no longer heard; new plays fail.
  p.host().audio.Close();
  EXPECT_TRUE(p.RunWithSound(200));  // past several refills
  EXPECT_EQ(Ctx().dsound.PlayVoice(p.wav.c_str()), 0);
  Ctx().dsound.PlayStaticSE(0);
  Ctx().dsound.SetBGMVolume(20, 30);
  EXPECT_TRUE(p.KeepsShowing(3));
  EXPECT_TRUE(p.host_window().boxes.empty());
  // The program still ends normally and releases what is left.
  AppSetQuit();
  EXPECT_TRUE(p.RunToEnd(5));
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
}

TEST(SoundFaults, WaveFileThatStopsReadingEndsItsChannelOnly) {
  SoundProgram p;
  ASSERT_TRUE(p.started);
  FaultyFiles files(p.host().files);
  p.host().seams().files = &files;
  testsupport::TraceCapture trace;
  const Plays plays = p.PlayAll();
  ASSERT_EQ(plays.bgm + plays.voice + plays.se, 3);
  // The disc goes: every read from now on fails (the rings hold eight seconds; the refills come
  // once a second).
  files.reads_before_failure = 0;
  EXPECT_TRUE(p.RunWithSound(200));
  EXPECT_GT(files.failed_reads, 0);
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_TRUE(Ctx().dsound.IsVoiceStop());
  EXPECT_TRUE(Ctx().dsound.IsSEStop());
  EXPECT_TRUE(trace.Contains("mmioRead Error"));
  // Playing again fails cleanly while the reads fail, and works once they come back.
  EXPECT_EQ(Ctx().dsound.PlayBGM(p.wav.c_str()), 0);
  files.reads_before_failure = -1;
  EXPECT_EQ(Ctx().dsound.PlayBGM(p.wav.c_str()), 1);
  EXPECT_TRUE(p.KeepsShowing(3));
  EXPECT_TRUE(p.host_window().boxes.empty());
  p.host().seams().files = &p.host().files;
}

}  // namespace
