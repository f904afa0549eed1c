// The sound scene (tests/engine/sound/sound_scene.h) through the real sound device, for a person
// to listen to. It runs only when asked:
//   TAMVIK_SOUND_CHECK_PLAY=1 test_platform_sdl --gtest_filter=SdlSoundCheck.*
// and takes about nine seconds of real time.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/sdl/sdl_audio.h"
#include "tests/engine/sound/sound_scene.h"

namespace {

TEST(SdlSoundCheck, PlaysTheSoundScene) {
  if (std::getenv("TAMVIK_SOUND_CHECK_PLAY") == nullptr) {
    GTEST_SKIP() << "set TAMVIK_SOUND_CHECK_PLAY=1 to hear the sound scene";
  }
  testsupport::TestEngine engine;
  testsupport::TempTree tree;
  platform::sdl::SdlAudio audio;
  engine.host.seams().audio = &audio;
  // The game clock follows the frames; the device plays in real time alongside.
  const soundtest::SceneLog log = soundtest::PlaySoundScene(engine, tree, [](uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  });
  if (log.init == 0 && !audio.IsOpen()) GTEST_SKIP() << "no sound device";
  EXPECT_EQ(log.played_music, 1);
  EXPECT_EQ(log.played_voice, 1);
  EXPECT_EQ(log.played_se, 1);
  EXPECT_TRUE(log.music_stopped);
}

}  // namespace
