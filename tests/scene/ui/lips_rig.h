#pragma once
// The program (headless, on the program driver) with only the pieces the choice window needs: the
// choice's files and the system sounds in its install tree, the system sound bank loaded, and a
// record of the system sounds played frame by frame.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/window/window.h"
#include "engine/sound/dsound_func.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_lips.h"
#include "testsupport/lips_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/wav_writer.h"

namespace lips_test {

class LipsRig {
 public:
  struct Setup {
    bool animations = true;  // the needle and steam files are there
    uint32_t frame_ms = 17;
  };

  LipsRig() : LipsRig(Setup{}) {}
  explicit LipsRig(Setup setup) : d(Options(setup.frame_ms)) {
    testsupport::LayLipsFiles(d.tree, setup.animations);
    const char* const* names = TamvikFunc::SystemSeNames();
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      d.tree.Write(testsupport::InstallRel(names[i]),
                   testsupport::LipsWave(static_cast<int16_t>(1000 + i)));
    }
    started = d.Start();
    if (started) {
      EXPECT_EQ(TamvikFunc::LoadSystemSe(), 1);
    }
  }

  static testsupport::ProgramDriver::Options Options(uint32_t frame_ms) {
    testsupport::ProgramDriver::Options options;
    options.boot = [] {};
    options.frame_ms = frame_ms;
    return options;
  }

  CTamvikLips& lips() { return d.scene.lips; }
  GameTaskRec* Task() { return Ctx().game_task.FindTask(CTamvikLips::kTaskName); }
  int StepOf() {
    GameTaskRec* task = Task();
    return task != nullptr ? TaskStep(task) : -1;
  }
  LipsWork* Work() {
    GameTaskRec* task = Task();
    return task != nullptr ? static_cast<LipsWork*>(task->extra) : nullptr;
  }

  // One frame; the system sounds it played are added to `sounds` (static slots, each stopped
  // again so that the next play shows).
  bool Step() {
    const bool running = d.Step();
    CollectSounds();
    return running;
  }
  void CollectSounds() {
    CDsoundFunc& sound = Ctx().dsound;
    for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
      const auto& slot = sound.static_se.slot[static_cast<size_t>(i)];
      if (slot != nullptr && slot->IsPlaying()) {
        sounds.push_back(i + 1);
        sound.StopStaticSE(i);
      }
    }
  }
  // Runs until the task reaches `step` (or ends, for -1); the frames it took, -1 after `limit`.
  int RunToStep(int step, int limit = 200) {
    for (int i = 0; i <= limit; ++i) {
      if (StepOf() == step) return i;
      if (!Step()) return -1;
    }
    ADD_FAILURE() << "step " << step << " not reached; at " << StepOf();
    return -1;
  }
  // One frame with a game key pressed (released the frame after).
  bool Press(uint32_t game_key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, game_key),
                testsupport::GameKeyUp(d.frame() + 2, game_key)});
    return Step();
  }
  // The line whose bar is lit (1-3), 0 for none.
  int Lit() {
    const SprBufferEntry* entry = lips().highlight();
    if (entry == nullptr) return 0;
    for (int i = 0; i < lips().count(); ++i) {
      if (entry->sprite == lips().bar(i)) return i + 1;
    }
    return -1;
  }
  // The streamed effect playing, "" for none.
  static std::string Streamed() {
    const char* name = Ctx().dsound.GetPlayFileName(kChannelSe);
    return name != nullptr ? name : "";
  }

  testsupport::ProgramDriver d;
  bool started = false;
  std::vector<int> sounds;
};

}  // namespace lips_test
