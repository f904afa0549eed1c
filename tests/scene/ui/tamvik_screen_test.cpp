// The scene's fades and key tests, on the whole headless program (its clock moves the fades).

#include <gtest/gtest.h>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::ProgramDriver;

TEST(KeyMask, LogicalKeysMapToTheirGameKeyBits) {
  const struct {
    int key;
    GameKeyBits mask;
  } cases[] = {{0, 0x1},     {1, 0x2},     {2, 0x4},    {3, 0x9}, {4, 0x8},
               {5, 0x20},    {8, 0x100},   {14, 0x4000}, {15, 0},  {-1, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(TamvikFunc::GetKeyMask(c.key), c.mask) << "key " << c.key;
  }
}

TEST(KeyTests, VirtualModeTriggersFromTheVirtualStateAndHoldsFromTheDevices) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  d.Schedule(testsupport::GameKeyDown(d.frame() + 1, kGameKey0));
  ASSERT_TRUE(d.Step());
  // Device press, mode off: triggered and held; key 3 answers to bit 0 as well.
  EXPECT_NE(IsKeyTriggered(0), 0u);
  EXPECT_EQ(IsKeyTriggered(3), 0x1u);
  EXPECT_NE(IsKeyHeld(0), 0u);

  TamvikFunc::SetVirtualKeyMode();
  EXPECT_EQ(IsKeyTriggered(0), 0u);  // the device press no longer triggers
  EXPECT_NE(IsKeyHeld(0), 0u);       // but is still held
  EXPECT_EQ(TamvikFunc::PressVirtualKey(5), 0x20u);
  EXPECT_NE(IsKeyTriggered(5), 0u);  // the virtual press triggers
  EXPECT_EQ(IsKeyHeld(5), 0u);       // and is never held
  TamvikFunc::ClearVirtualKeys();
  EXPECT_EQ(IsKeyTriggered(5), 0u);
  TamvikFunc::PressVirtualKey(5);
  TamvikFunc::ResetVirtualKeyMode();
  EXPECT_EQ(IsKeyTriggered(5), 0u);
  EXPECT_NE(IsKeyTriggered(0), 0u);
}

// Frames until the condition holds (at most `limit`), -1 when it never did.
int FramesUntil(ProgramDriver& d, const std::function<bool()>& done, int limit) {
  for (int i = 0; i <= limit; ++i) {
    if (done()) return i;
    if (!d.Step()) return -1;
  }
  return -1;
}

TEST(ScreenFade, RunsItsMillisecondsAsFramesAndClearsItsHandle) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  StartScreenFade(0, 256, 1000);
  EXPECT_FALSE(TamvikFunc::IsFadeDone());
  EXPECT_TRUE(IsScreenFadeDone());  // a screen fade is not a cross-fade
  const int frames = FramesUntil(d, [] { return TamvikFunc::IsFadeDone(); }, 120);
  // 60 frames of 1/60 s on a clock moving 17 ms a frame.
  EXPECT_GE(frames, 55);
  EXPECT_LE(frames, 62);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 256);

  // 10 ms are 0 frames: the level is set at once.
  StartScreenFade(256, 0, 10);
  EXPECT_TRUE(TamvikFunc::IsFadeDone());
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
}

TEST(ScreenFade, ANewFadeReplacesOneStillRunning) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  StartScreenFade(0, 256, 1000);
  ASSERT_TRUE(d.Run(10));
  // The old fade must neither move the level on nor clear the new fade's handle when it ends.
  StartScreenFade(256, 0, 2000);
  const int frames = FramesUntil(d, [] { return TamvikFunc::IsFadeDone(); }, 200);
  EXPECT_GE(frames, 110);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  StartScreenFade(0, 256, 1000);
  ASSERT_TRUE(d.Run(5));
  StartScreenFade(0, 0, 0);  // set at once: the running fade stops
  ASSERT_TRUE(d.Run(70));
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
  EXPECT_TRUE(TamvikFunc::IsFadeDone());
}

TEST(CrossFade, ItsHandleClearsItselfAndOnlyItCountsForTheScreenFadeTest) {
  ProgramDriver d;
  ASSERT_TRUE(d.Start());
  ASSERT_EQ(TamvikFunc::StartCrossFade(SURFACE_TEXT, 62), 1);
  EXPECT_NE(Scene().xfade_handle, nullptr);
  EXPECT_FALSE(IsScreenFadeDone());
  EXPECT_TRUE(TamvikFunc::IsFadeDone());
  // A second one is refused while the first runs, and keeps the first's handle.
  EXPECT_EQ(TamvikFunc::StartCrossFadeRect(SURFACE_TEXT, 31, 0, 0, 320, 240), 0);
  const int frames = FramesUntil(d, [] { return IsScreenFadeDone(); }, 120);
  EXPECT_GT(frames, 0);  // 16 phases of 62 ms
  EXPECT_EQ(Scene().xfade_handle, nullptr);
  EXPECT_EQ(TamvikFunc::StartCrossFade(3, 62), 0);  // surface 3 is not a layer
}

TEST(SceneSuccession, NextSceneFromTheTableOrTheSceneItself) {
  const struct {
    uint16_t scene, next;
  } cases[] = {{0x0000, 0x0100}, {0x0807, 0x0900}, {0x0104, 0x0104}, {0x0109, 0x0109},
               {0x0A03, 0x0A04}, {0x0A04, 0x0A04}, {0x0FFF, 0x0FFF}, {0x0306, 0x0303}};
  for (const auto& c : cases) {
    EXPECT_EQ(CTamvikMacro::GetNextScene(c.scene), c.next) << std::hex << c.scene;
  }
  ASSERT_NE(CTamvikMacro::FindSuccession(0x0807), nullptr);
  EXPECT_EQ(CTamvikMacro::FindSuccession(0x0807)->wall, 1);
}

}  // namespace
