// A whole scene played headless from its first command word to its end code: the writers' scene
// (testsupport/whole_scene.h) on the program driver with the scene rig's boot, under the real
// game-mode manager in GM_ADV_WAIT. Two rows (the choice answered with the pointer, the choice
// timed out), in both pixel layouts, each run twice for determinism.
//
// With TAMVIK_SCENE_FRAMES=<folder> the frame of each checkpoint is written there as
// "whole_<layout>_<row>_<checkpoint>.png".

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "flow/tamvik_general.h"
#include "game/macro_vars.h"
#include "platform/surface.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_lips.h"
#include "scene/ui/tamvik_map.h"
#include "testsupport/lips_files.h"
#include "testsupport/map_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/program_driver.h"
#include "testsupport/scene_rig.h"
#include "testsupport/spr_writer.h"
#include "testsupport/whole_scene.h"

namespace scenetest {
namespace {

using platform::PixelLayout;
using testsupport::ProgramDriver;
using testsupport::WholeScenePlayer;
using Answer = WholeScenePlayer::Answer;
using Shot = WholeScenePlayer::Shot;

struct Row {
  const char* name;
  Answer answer;
  uint16_t choice;  // A[0] after the choice
  uint16_t branch;  // the IF / ELSEIF / ELSE branch taken (A[11])
};

const Row kRows[] = {
    {"pointer", Answer::kPointer, 2, 2},
    {"timeout", Answer::kTimeout, 0, 3},
};

// The clock's step per driver frame: the driver's fastest that still runs one game frame per
// loop iteration without skipping what the checks look at (time-based waits, fades and typing
// take fewer iterations; frame-counted ones the same).
constexpr uint32_t kFrameMs = 50;

const PixelLayout kLayouts[] = {PixelLayout::kRgb565, PixelLayout::kRgb555};

std::string Folder() {
  const char* folder = std::getenv("TAMVIK_SCENE_FRAMES");
  return folder != nullptr ? folder : "";
}

uint16_t Colour(testsupport::SprRgb rgb, PixelLayout layout) {
  return platform::PackColorRef(testsupport::SprColourRef(rgb), layout);
}

// Pixels of the shot inside the rectangle (right and bottom excluded) of that colour.
int Count(const Shot& shot, int left, int top, int right, int bottom, uint16_t colour) {
  int n = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) n += shot.Pixel(x, y) == colour ? 1 : 0;
  }
  return n;
}

// Pixels of the shot inside the rectangle that differ between two shots.
int Changed(const Shot& a, const Shot& b, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) n += a.Pixel(x, y) != b.Pixel(x, y) ? 1 : 0;
  }
  return n;
}

void CheckShots(const WholeScenePlayer& p, PixelLayout layout) {
  const Shot* background = p.FindShot("background");
  const Shot* typed = p.FindShot("typed");
  const Shot* voice = p.FindShot("voice");
  const Shot* gauge = p.FindShot("gauge");
  const Shot* label = p.FindShot("label");
  const Shot* dark = p.FindShot("dark");
  ASSERT_TRUE(background && typed && voice && gauge && label && dark);
  // The background fills the picture area right of the character.
  const uint16_t bg = Colour(testsupport::kWholeSceneBackgroundColour, layout);
  EXPECT_EQ(Count(*background, 400, 20, 600, 330, bg), 200 * 310);
  // The message window and the face box below the picture area; text typed into the window
  // while the voice played.
  EXPECT_GT(Changed(*background, *typed, 16, 346, 624, 474), 0);
  EXPECT_GT(Changed(*voice, *typed, 120, 350, 620, 470), 0);
  // The choice window with its gauge over the picture area.
  EXPECT_GT(Changed(*typed, *gauge, 48, 60, 592, 300), 10000);
  // The map: the floor picture, a place label and the puppet.
  const uint16_t white = Colour({31, 31, 31}, layout);
  EXPECT_GT(Count(*label, 0, 0, 640, 480, white), testsupport::kMapLabelWidth);
  int puppet = 0;
  for (uint32_t a = 0; a < testsupport::kMapPuppetAnimations; ++a) {
    puppet += Count(*label, 0, 0, 640, 480,
                    Colour(testsupport::MapPuppetColour(CTamvikMap::kTheatre, a), layout));
  }
  EXPECT_GE(puppet, testsupport::kMapPuppetSide * testsupport::kMapPuppetSide);
  // Dark after MACROEND.
  EXPECT_EQ(Count(*dark, 0, 0, 640, 480, 0), 640 * 480);
}

// Each row in each layout in the driver's run-twice mode (fresh drivers with the scene rig's
// boot): both runs pass every check, present the same frames and capture the same sound, byte for
// byte.
TEST(WholeScene, PlaysFromTheFirstCommandWordToItsEndCodeTheSameTwice) {
  for (PixelLayout layout : kLayouts) {
    for (const Row& row : kRows) {
      SCOPED_TRACE(testing::Message() << row.name << (layout == PixelLayout::kRgb555 ? " 555" : " 565"));
      std::vector<std::vector<int16_t>> captured;
      ProgramDriver::Options fast;
      fast.frame_ms = kFrameMs;
      const auto options = testsupport::SceneRig::RigOptions(fast);
      EXPECT_TRUE(testsupport::RunTwice([&](ProgramDriver& d) {
        if (layout == PixelLayout::kRgb555) d.host().config.Set("Pixel Format", "555");
        WholeScenePlayer p(d, row.answer, captured.empty() ? Folder() : std::string());
        ASSERT_TRUE(d.Start());
        if (!p.Play()) {
          // The trace's tail shows where the scene stopped.
          const auto& lines = d.trace().lines();
          std::string tail;
          for (size_t i = lines.size() > 30 ? lines.size() - 30 : 0; i < lines.size(); ++i) {
            tail += lines[i].text;
          }
          FAIL() << "the scene stopped; trace:\n" << tail;
        }
        EXPECT_EQ(CTamvikGeneral::GetMode(), CTamvikAdv::kModeStageClear);
        EXPECT_EQ(CTamvikAdv::GetEndCode(), 5u);
        EXPECT_EQ(GetMacroA(10), row.choice);
        EXPECT_EQ(GetMacroA(11), row.branch);
        EXPECT_EQ(GetMacroA(12), testsupport::kWholeSceneSpot);
        EXPECT_EQ(GetMacroA(14), testsupport::kWholeScenePickNode);
        EXPECT_EQ(GetMacroA(15), 1);
        EXPECT_EQ(p.menu_starts(), 0);
        EXPECT_FALSE(d.scene.macro.HasDecodeError());
        std::vector<std::string> names;
        for (const auto& s : p.sounds()) names.push_back(s.name);
        const std::vector<std::string> expected = {
            "tamvik1\\bgm\\sm01.wav", "tamvik1\\voice\\0012.wav",
            testsupport::LowerName(CTamvikLips::LipsSeName(testsupport::kWholeSceneChoiceLimit)),
            "tamvik1\\se\\0007.wav"};
        EXPECT_EQ(names, expected);
        CheckShots(p, layout);
        captured.push_back(d.host().audio.captured);
      }, options));
      ASSERT_EQ(captured.size(), 2u);
      EXPECT_FALSE(captured[0].empty());
      EXPECT_TRUE(captured[0] == captured[1]) << "the captured sound differs";
    }
  }
}

}  // namespace
}  // namespace scenetest
