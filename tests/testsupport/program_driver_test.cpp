#include "testsupport/program_driver.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/busy_scene.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::ProgramDriver;

constexpr uint32_t kRate = 22050;

// A tone file in the driver's working directory; its path.
std::string PutTone(ProgramDriver& d, const std::string& name, double hz, double seconds) {
  const auto frames = static_cast<uint32_t>(kRate * seconds);
  return d.tree.Write("cwd/" + name,
                      testsupport::PcmWav(1, kRate, 16, testsupport::Tone(1, kRate, frames, hz, 8000))
                          .Bytes());
}

testsupport::BusySceneOptions SmallScene() {
  testsupport::BusySceneOptions options;
  options.entries = 120;
  return options;
}

TEST(ProgramDriver, InputRowsReachTheGameBeforeTheirFrames) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  ASSERT_EQ(d.frame(), 1);  // the activation
  d.Schedule({
      testsupport::GameKeyUp(8, kGameKey0),
      testsupport::GameKeyDown(5, kGameKey0),
      testsupport::GameKeyDown(5, kGameKeyTab),
      testsupport::KeyDown(6, 0x2C),  // Z: an entry of game key 1
      testsupport::PointerMove(7, 100, 200),
      testsupport::KeyUp(9, 0x2C),
      testsupport::PointerButton(10, 1, true),  // the right button: game key 1
      testsupport::PointerButton(11, 1, false),
      testsupport::GameKeyUp(11, kGameKeyTab),
  });
  const struct {
    int frame;
    GameKeyBits held;
    int32_t x, y;
  } expected[] = {
      {4, 0, 0, 0},
      {5, kGameKey0 | kGameKeyTab, 0, 0},
      {6, kGameKey0 | kGameKeyTab | kGameKey1, 0, 0},
      {7, kGameKey0 | kGameKeyTab | kGameKey1, 100, 200},
      {8, kGameKeyTab | kGameKey1, 100, 200},
      {9, kGameKeyTab, 100, 200},
      {10, kGameKeyTab | kGameKey1, 100, 200},
      {11, 0, 100, 200},
      {12, 0, 100, 200},
  };
  for (const auto& e : expected) {
    while (d.frame() < e.frame) ASSERT_TRUE(d.Step());
    SCOPED_TRACE("frame " + std::to_string(e.frame));
    EXPECT_EQ(Ctx().input.GetKeyHold(), e.held);
    EXPECT_EQ(Ctx().input.GetMouseX(), e.x);
    EXPECT_EQ(Ctx().input.GetMouseY(), e.y);
  }
}

// A key or button pressed and released by rows of one frame is held for that frame and released
// before the next: a row that changes again what an earlier row of its frame changed waits for
// the next frame, and the rows behind it with it (their order kept).
TEST(ProgramDriver, APressAndReleaseDueTogetherHoldTheKeyForOneFrame) {
  using testsupport::GameKeyDown;
  using testsupport::GameKeyUp;
  using testsupport::InputRow;
  using testsupport::PointerButton;
  struct Case {
    const char* name;
    std::vector<std::vector<InputRow>> calls;  // Schedule calls, rows for frame 2 unless said
    std::vector<GameKeyBits> held;             // from frame 2 on
  };
  const Case cases[] = {
      {"down and up in one call",
       {{GameKeyDown(2, kGameKey0), GameKeyUp(2, kGameKey0)}},
       {kGameKey0, 0, 0}},
      {"down and up in two calls", {{GameKeyDown(2, kGameKey0)}, {GameKeyUp(2, kGameKey0)}},
       {kGameKey0, 0, 0}},
      {"a key by its code and a button",
       {{testsupport::KeyDown(2, 0x2C), testsupport::KeyUp(2, 0x2C), PointerButton(2, 1, true),
         PointerButton(2, 1, false)}},
       {kGameKey1, kGameKey1, 0}},
      {"down, up, down", {{GameKeyDown(2, kGameKey0), GameKeyUp(2, kGameKey0),
                           GameKeyDown(2, kGameKey0)}},
       {kGameKey0, 0, kGameKey0}},
      {"the rows behind a deferred row wait with it",
       {{GameKeyDown(2, kGameKey0), GameKeyUp(2, kGameKey0), GameKeyDown(2, kGameKeyTab),
         GameKeyUp(3, kGameKeyTab)}},
       {kGameKey0, kGameKeyTab, 0}},
      {"different keys apply together",
       {{GameKeyDown(2, kGameKey0), GameKeyDown(2, kGameKeyTab), GameKeyUp(3, kGameKey0)}},
       {kGameKey0 | kGameKeyTab, kGameKeyTab}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDriver d;
    ASSERT_TRUE(d.Start());
    ASSERT_EQ(d.frame(), 1);
    for (const auto& rows : c.calls) d.Schedule(rows);
    for (size_t i = 0; i < c.held.size(); ++i) {
      ASSERT_TRUE(d.Step());
      EXPECT_EQ(Ctx().input.GetKeyHold(), c.held[i]) << "frame " << d.frame();
    }
  }
}

TEST(ProgramDriver, GameKeysFollowTheCurrentAssignment) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  Ctx().input.SetKeyConfig(10, 0x1E);  // A feeds game key 9 (no key does by default)
  d.Schedule(testsupport::GameKeyDown(d.frame() + 1, kGameKey9));
  ASSERT_TRUE(d.Step());
  EXPECT_EQ(d.host().input.keys[0x1E], 0x80);
  EXPECT_EQ(Ctx().input.GetKeyHold(), kGameKey9);
  // A game key no key feeds cannot be pressed: the row fails the test.
  EXPECT_NONFATAL_FAILURE(
      {
        ProgramDriver other;
        other.Start();
        other.Schedule(testsupport::GameKeyDown(2, kGameKey10));
        other.Step();
      },
      "no key feeds game key 0x400");
}

// A task that traces its tenth run.
void TracesOnItsTenthRun(GameTaskRec* task) {
  if (++TaskStep(task) == 10) DebugPrint("probe task: tenth run\n");
}

TEST(ProgramDriver, CheckpointsAreReachedOnTheirFrames) {
  ProgramDriver d;
  d.host().audio.SetDeviceRate(kRate);
  ASSERT_TRUE(d.Start());
  const int started = d.frame();
  Ctx().game_task.SetTaskSimple(nullptr, &TracesOnItsTenthRun, "probe");
  EXPECT_TRUE(d.RunUntil(testsupport::TraceContains("tenth run"), 30));
  EXPECT_EQ(d.frame(), started + 10);
  // Reached already: no frame runs.
  EXPECT_TRUE(d.RunUntil(testsupport::TraceContains("tenth run"), 0));
  EXPECT_EQ(d.frame(), started + 10);

  // An idle screen composes nothing; the busy scene composes every frame and shows colour in
  // the middle of the screen.
  const int shown = d.presented();
  testsupport::BuildBusyScene(SmallScene());
  EXPECT_TRUE(d.RunUntil(testsupport::FramePresented(shown + 3), 3));
  EXPECT_EQ(d.presented_frames().back().frame, d.frame());
  EXPECT_TRUE(d.RunUntil(testsupport::PresentedFrameIs("the scene is shown",
                                                       [](const auto& display) {
                                                         return display.FramePixel(320, 240) != 0;
                                                       }),
                         5));

  // The device has mixed silence so far.
  EXPECT_FALSE(d.sound_frames().empty());
  EXPECT_FALSE(d.sound_frames().back().heard);
  ASSERT_EQ(Ctx().dsound.PlayBGM(PutTone(d, "tone.wav", 440.0, 2.0).c_str()), 1);
  EXPECT_TRUE(d.RunUntil(testsupport::SoundHeard(), 10));
  EXPECT_GE(d.sound_frames().back().buffers, 1u);
}

// What the failing waits below leave behind (the statements of EXPECT_NONFATAL_FAILURE cannot
// reach the test's locals).
struct WaitResult {
  bool reached = true;
  int frames_run = -1;
};
WaitResult g_wait;

TEST(ProgramDriver, WaitWhoseCheckpointNeverComesFailsWithinItsLimit) {
  EXPECT_NONFATAL_FAILURE(
      {
        ProgramDriver d;
        d.Start();
        const int before = d.frame();
        g_wait.reached = d.RunUntil(testsupport::TraceContains("never traced"), 25);
        g_wait.frames_run = d.frame() - before;
      },
      "checkpoint \"trace \"never traced\"\" not reached within 25 frames");
  EXPECT_FALSE(g_wait.reached);
  EXPECT_EQ(g_wait.frames_run, 25);

  // A program that ends first fails the wait at once, naming the frame it ended on.
  EXPECT_NONFATAL_FAILURE(
      {
        ProgramDriver d;
        d.Start();
        AppSetQuit();
        const int before = d.frame();
        g_wait.reached = d.RunUntil(testsupport::FramePresented(1000), 50);
        g_wait.frames_run = d.frame() - before;
      },
      "checkpoint \"frame 1000 presented\" not reached: the program ended at frame");
  EXPECT_FALSE(g_wait.reached);
  EXPECT_LT(g_wait.frames_run, 5);
}

// The determinism scenario: the busy scene, a tune from the first frame, a sound effect and keys
// in the middle; about a second of frames.
void BusyWithSound(ProgramDriver& d) {
  d.host().audio.SetDeviceRate(kRate);
  ASSERT_TRUE(d.Start());
  testsupport::BuildBusyScene(SmallScene());
  ASSERT_EQ(Ctx().dsound.PlayBGM(PutTone(d, "tune.wav", 330.0, 4.0).c_str()), 1);
  const std::string effect = PutTone(d, "effect.wav", 880.0, 0.25);
  d.Schedule({testsupport::GameKeyDown(20, kGameKey0), testsupport::GameKeyUp(24, kGameKey0),
              testsupport::PointerMove(30, 200, 100)});
  d.Run(30);
  ASSERT_EQ(Ctx().dsound.PlaySE(effect.c_str()), 1);
  d.Run(30);
  EXPECT_GE(d.presented_frames().size(), 55u);
  EXPECT_TRUE(d.RunUntil(testsupport::SoundHeard(), 0));
}

TEST(ProgramDriver, BusySceneWithSoundRunsTheSameTwice) {
  EXPECT_TRUE(testsupport::RunTwice(&BusyWithSound));
}

// Frames are hashed only when the driver is asked to (RunTwice asks); the record of presented
// frames is the same either way.
TEST(ProgramDriver, HashesPresentedFramesOnlyWhenAsked) {
  std::vector<testsupport::PresentedFrame> records[2];
  for (const bool hash : {false, true}) {
    ProgramDriver::Options options;
    options.hash_frames = hash;
    ProgramDriver d(options);
    ASSERT_TRUE(d.Start());
    testsupport::BuildBusyScene(SmallScene());
    d.Run(6);
    records[hash ? 1 : 0] = d.presented_frames();
  }
  ASSERT_EQ(records[0].size(), records[1].size());
  ASSERT_GE(records[1].size(), 5u);
  for (size_t i = 0; i < records[0].size(); ++i) {
    EXPECT_EQ(records[0][i].frame, records[1][i].frame);
    EXPECT_EQ(records[0][i].width, records[1][i].width);
    EXPECT_EQ(records[0][i].hash, 0u);
    EXPECT_NE(records[1][i].hash, 0u);
  }
  // The busy scene moves: its frames hash differently.
  EXPECT_NE(records[1][records[1].size() - 1].hash, records[1][records[1].size() - 2].hash);
}

// Scenarios whose second run differs from the first.
int g_run = 0;

void SecondRunShowsLess(ProgramDriver& d) {
  ASSERT_TRUE(d.Start());
  testsupport::BusySceneOptions options = SmallScene();
  if (++g_run == 2) options.entries = 60;
  testsupport::BuildBusyScene(options);
  d.Run(10);
}

void SecondRunSoundsHigher(ProgramDriver& d) {
  d.host().audio.SetDeviceRate(kRate);
  ASSERT_TRUE(d.Start());
  d.Run(5);
  const double hz = ++g_run == 2 ? 445.0 : 440.0;
  ASSERT_EQ(Ctx().dsound.PlayBGM(PutTone(d, "tone.wav", hz, 1.0).c_str()), 1);
  d.Run(10);
}

TEST(ProgramDriver, RunTwiceReportsTheFirstDifference) {
  g_run = 0;
  EXPECT_NONFATAL_FAILURE(testsupport::RunTwice(&SecondRunShowsLess),
                          "the two runs differ at presented frame #");
  g_run = 0;
  EXPECT_NONFATAL_FAILURE(testsupport::RunTwice(&SecondRunSoundsHigher),
                          "the two runs differ at sound frame #");
}

}  // namespace
