// The sound commands through the interpreter: MUSIC with its fade and name table, SE, PCM and
// TEFFECT, read back from the channels' file names, volume and fade state.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/script/macro_tasks.h"
#include "scene/ui/tamvik_func.h"
#include "script_rig.h"
#include "testsupport/wav_writer.h"

namespace scripttest {
namespace {

constexpr uint8_t kOpMusic = 0x21;

std::vector<uint8_t> Sound() {
  return testsupport::PcmWav(1, 22050, 16, testsupport::Tone(1, 22050, 22050 * 4, 440, 4000))
      .Bytes();
}

class SoundTest : public ::testing::Test {
 protected:
  SoundTest() {
    for (const char* name : {"bgm/sm01.wav", "bgm/sm01m.wav", "bgm/sm02.wav", "se/0005.wav",
                             "se/03007.wav", "system/se/TE09.WAV", "system/se/TE10.WAV"}) {
      rig.d.tree.Write(std::string("install/tamvik1/") + name, Sound());
    }
    TamvikFunc::LoadSystemSe();
  }
  CDsoundFunc& sound() { return Ctx().dsound; }
  std::string Playing(int channel) {
    const char* name = sound().GetPlayFileName(channel);
    return name != nullptr ? name : "";
  }
  // Runs the script (ending in A[9] := 1) until A[9] is 1; the frames it took, -1 when never.
  int Run(ScriptWriter& w, int limit = 200) {
    w.Assign(VarA(9), Num(1));
    Stop(w);
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    SetMacroA(9, 0);
    rig.Lay(0x0305, w);
    rig.Start(0x0305);
    for (int i = 1; i <= limit; ++i) {
      rig.d.Step();
      if (GetMacroA(9) == 1) return i;
    }
    return -1;
  }
  ScriptRig rig;
};

TEST_F(SoundTest, MusicPlaysTheTableNameAfterFadingTheOldTuneOut) {
  const struct {
    uint16_t n;
    std::string file;  // empty: silence
    bool traced;       // no tune for the number
  } cases[] = {
      {1, "tamvik1\\bgm\\sm01.wav", false},  {11, "tamvik1\\bgm\\sm01.wav", false},
      {15, "tamvik1\\bgm\\sm01.wav", false}, {20, "tamvik1\\bgm\\sm01.wav", false},
      {21, "tamvik1\\bgm\\sm01.wav", false}, {41, "tamvik1\\bgm\\sm01m.wav", false},
      {38, "", true},  {39, "", true},  {40, "", true},  {42, "", true},
      {0, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    ASSERT_EQ(sound().PlayBGM("tamvik1\\bgm\\sm02.wav"), 1);  // the old tune
    EXPECT_EQ(sound().GetBGMVolume(), 100);  // also after the silence of the case before
    ScriptWriter w;
    w.Command(kOpMusic, {Lit(c.n)});
    const int frames = Run(w);
    ASSERT_GT(frames, 0);
    EXPECT_GE(frames, 55);  // the fade over 60 frames came first
    EXPECT_EQ(Playing(kChannelBgm), c.file);
    EXPECT_EQ(sound().IsBGMStop(), c.file.empty());
    if (!c.file.empty()) {
      EXPECT_EQ(sound().GetBGMVolume(), 100);
    }
    EXPECT_TRUE(sound().IsBGMFadeEnd());
    const std::string trace = "DecodeMusic no tune for " + std::to_string(c.n);
    EXPECT_EQ(rig.d.trace().Contains(trace), c.traced);
  }
}

TEST_F(SoundTest, MusicWithNothingPlayingStartsWithoutAFade) {
  ScriptWriter w;
  w.Command(kOpMusic, {Lit(1)});
  const int frames = Run(w);
  ASSERT_GT(frames, 0);
  EXPECT_LT(frames, 10);
  EXPECT_EQ(Playing(kChannelBgm), "tamvik1\\bgm\\sm01.wav");
}

TEST_F(SoundTest, SePcmAndTeffectPlayAndTheScriptGoesOnInTheSameFrame) {
  GetAdvState()->setSceneCode(0x0305);
  ScriptWriter w;
  w.Se(5);
  w.Assign(VarA(1), Num(1));
  EXPECT_EQ(Run(w), 1);
  EXPECT_EQ(Playing(kChannelSe), "tamvik1\\se\\0005.wav");

  ScriptWriter zero;
  zero.Se(0);  // only stops
  EXPECT_EQ(Run(zero), 1);
  EXPECT_EQ(Playing(kChannelSe), "");

  ScriptWriter pcm;
  pcm.Pcm(7);
  EXPECT_EQ(Run(pcm), 1);
  EXPECT_EQ(Playing(kChannelSe), "tamvik1\\se\\03007.wav");

  const auto slot_playing = [&](int slot) {
    const auto& buffer = sound().static_se.slot[static_cast<size_t>(slot)];
    return buffer != nullptr && buffer->IsPlaying();
  };
  ASSERT_NE(sound().static_se.slot[9], nullptr);
  ScriptWriter one;
  one.Teffect(0, 1);
  EXPECT_EQ(Run(one), 1);
  EXPECT_TRUE(slot_playing(9));  // system sound 10
  EXPECT_FALSE(slot_playing(10));
  sound().StopStaticSE(-1);
  ScriptWriter other;
  other.Teffect(0, 0);
  EXPECT_EQ(Run(other), 1);
  EXPECT_TRUE(slot_playing(10));  // system sound 11
  EXPECT_FALSE(slot_playing(9));
}

}  // namespace
}  // namespace scripttest
