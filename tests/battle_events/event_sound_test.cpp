// Event sound and screen fades on the battle rig (the battle events installed): the event sound
// effect map, the music start, stop and fade task with its traces, and the screen fade steps on
// their shared phase byte and the white flash's own word.

#include <gtest/gtest.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_sound.h"
#include "battle_events/events_install.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;

class SoundRig {
 public:
  SoundRig() { InstallBattleEvents(rig.battle()); }
  SlgEventRuntimeState& State() { return Battle().Extension<SlgEventRuntimeState>(); }
  static int FadeTasks() {
    int n = 0;
    for (const GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
      if (!t->deleted && t->name == Eve::kFadeOutMusicTask) ++n;
    }
    return n;
  }
  int StepsUntilDone(int (*step)(), int limit = 200) { return rig.StepsUntilDone(step, limit); }

  BattleRig rig;
};

TEST(EventSound, EventEffectsPlayThroughTheirMap) {
  struct Case {
    int n;
    int played;  // -1: nothing
  } cases[] = {{302, -1}, {303, 41}, {304, 45}, {305, 54}, {306, 306}, {311, 311}, {312, -1},
               {0, -1},   {41, -1}};
  SoundRig s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    Battle().last_se = -1;
    EventSePlay(c.n);
    EXPECT_EQ(Battle().last_se, c.played);
  }
}

TEST(EventSound, MusicPlaysAndStops) {
  SoundRig s;
  SlgTableWriter::LayWave(s.rig.driver().tree, "tamvik1\\bgm\\SM07.wav", 3.0);
  CDsoundFunc& sound = Ctx().dsound;
  EventBgmPlay(7);
  EXPECT_EQ(Battle().bgm_number, 7);
  s.rig.Step();
  EXPECT_FALSE(sound.IsBGMStop());
  EventStopBgm();
  EXPECT_TRUE(sound.IsBGMStop());
}

// The fade task lives until the music's fade (256 frames) has ended and 60 frames have passed,
// whichever is later; without music only the 60 frames count.
TEST(EventSound, OneMusicFadeTaskAtATimeEndingAfterTheFadeAndSixtyFrames) {
  struct Case {
    const char* name;
    bool music;
    int min_steps, max_steps;
  } cases[] = {{"music playing", true, 256, 262}, {"no music", false, 60, 62}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SoundRig s;
    CDsoundFunc& sound = Ctx().dsound;
    if (c.music) {
      SlgTableWriter::LayWave(s.rig.driver().tree, "tamvik1\\bgm\\SM07.wav", 10.0);
      EventBgmPlay(7);
      ASSERT_TRUE(s.rig.RunUntil("music at full volume",
                                 [&] { return !sound.IsBGMStop() && sound.GetBGMVolume() == 100; },
                                 10));
    }
    TraceCapture trace;
    EXPECT_EQ(Eve::MusicFadeFlag(), 0);
    Eve::StartFadeOutMusic();
    Eve::StartFadeOutMusic();
    EXPECT_EQ(SoundRig::FadeTasks(), 1) << "a second call starts no second task";
    EXPECT_EQ(Eve::MusicFadeFlag(), 1);
    const int start = s.rig.steps();
    ASSERT_TRUE(s.rig.RunUntil("fade task ended", [] { return Eve::MusicFadeFlag() == 0; }, 400));
    const int steps = s.rig.steps() - start;
    EXPECT_GE(steps, c.min_steps);
    EXPECT_LE(steps, c.max_steps);
    EXPECT_EQ(trace.Count("evefadeout:bgm volume 0\n"), 1);
    EXPECT_EQ(trace.Count("evefadeout: bgm volume MAX\n"), 1);
    if (c.music) {
      EXPECT_EQ(sound.GetBGMVolume(), 0) << "the volume stays down until the next music";
    }
    EXPECT_EQ(SoundRig::FadeTasks(), 0);
  }
}

TEST(EventSound, AFadeTaskEndedFromOutsideLetsTheNextCallStartOne) {
  SoundRig s;
  Eve::StartFadeOutMusic();
  s.rig.Step();
  ASSERT_EQ(SoundRig::FadeTasks(), 1);
  // The battle's teardown ends every battle task.
  SlgTaskEndAll();
  EXPECT_EQ(Eve::MusicFadeFlag(), 0);
  TraceCapture trace;
  Eve::StartFadeOutMusic();
  EXPECT_EQ(SoundRig::FadeTasks(), 1);
  s.rig.Step();
  EXPECT_TRUE(trace.Contains("evefadeout:bgm volume 0\n"));
}

// ---- Screen fades ----

TEST(EventFades, EachFadeRunsItsSixtyFourFramesAndReportsTheEnd) {
  struct Case {
    const char* name;
    int (*step)();
    int from, to, mode;
  } cases[] = {
      {"fade out", &EventFadeOut, 0, 256, 0},   {"fade in", &EventFadeIn, 256, 0, 0},
      {"white out", &EventWhiteOut, 0, 256, 1}, {"white in", &EventWhiteIn, 256, 0, 1},
      {"white flash", &EventWhiteFlash, 256, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SoundRig s;
    ASSERT_EQ(c.step(), 0);
    const auto* block = Ctx().anime.BlockOf<AnimeFadeBlock>(Battle().fade_handle);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->start_level, c.from);
    EXPECT_EQ(block->end_level, c.to);
    EXPECT_EQ(block->type, c.mode);
    EXPECT_EQ(block->frames, 64);
    const int steps = s.StepsUntilDone(c.step);
    EXPECT_GE(steps, 64);
    EXPECT_LE(steps, 66);
    EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), c.to);
    EXPECT_EQ(s.State().fade_phase, 0);
    EXPECT_EQ(s.State().white_flash_phase, 0u);
  }
}

TEST(EventFades, AFadeInCalledDuringAFadeOutGoesOnWithItAndAWhiteFlashKeepsItsOwnWord) {
  SoundRig s;
  ASSERT_EQ(EventFadeOut(), 0);
  for (int f = 0; f < 30; ++f) {
    s.rig.Step();
    ASSERT_EQ(EventFadeOut(), 0);
  }
  const AnimeHandle running = Battle().fade_handle;
  // The shared byte is in phase 1: the fade-in waits for the running fade-out and starts none.
  ASSERT_EQ(EventFadeIn(), 0);
  EXPECT_EQ(Battle().fade_handle, running);
  const int steps = s.StepsUntilDone(&EventFadeIn);
  EXPECT_GE(steps, 64 - 30);
  EXPECT_LE(steps, 66 - 30);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 256) << "the screen went black and stayed so";
  EXPECT_EQ(s.State().fade_phase, 0);

  // A white-out made outside the steps; the flash fades in on its own word.
  SlgWhiteOut(8);
  ASSERT_TRUE(s.rig.RunUntil("white", [] { return SlgIsFadeEnd() == 1; }, 20));
  ASSERT_EQ(EventWhiteFlash(), 0);
  EXPECT_EQ(s.State().white_flash_phase, 1u);
  EXPECT_EQ(s.State().fade_phase, 0) << "the shared byte untouched";
  EXPECT_GE(s.StepsUntilDone(&EventWhiteFlash), 64);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  EXPECT_EQ(s.State().white_flash_phase, 0u);
  EXPECT_EQ(s.State().fade_phase, 0);
}

TEST(EventSound, LoadersAndReadyStepsAreAlwaysDone) {
  SoundRig s;
  EXPECT_EQ(EventLoadSeBank("SEBE03.ALL"), 1);
  EXPECT_EQ(EventLoadBin("EVS03100.BIN", 0x60c0000), 1);
  EXPECT_EQ(EventLoadPcm("AURA.PCM"), 1);
  EXPECT_EQ(EventLoadSeBank(nullptr), 1);
  EXPECT_EQ(EventReady(), 1);
  EXPECT_EQ(EventReadyArg(5), 1);
}

}  // namespace
