#include "testsupport/scene_rig.h"

#include <cstdlib>
#include <utility>

#include "engine/app/context.h"
#include "game/system_data.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/scene_files.h"

namespace testsupport {

namespace {

constexpr uint8_t kNoModeByte = 0xFF;

// The stand-in manager: a task of the manager's name that only holds the mode given to it.
void OwnerTask(GameTaskRec*) {}

GameTaskRec* FindOwner() { return Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName); }

ProgramDriver::Options WithRigBoot(ProgramDriver::Options options) {
  options.boot = [] {
    auto* work = TaskNewBlock<TaskWork>();
    work->bytes[1] = kNoModeByte;
    Ctx().game_task.SetTask(nullptr, &OwnerTask, CTamvikAdv::kManagerTaskName, work, nullptr);
  };
  return options;
}

}  // namespace

ProgramDriver::Options SceneRig::RigOptions(ProgramDriver::Options options) {
  return WithRigBoot(std::move(options));
}

SceneRig::SceneRig() : SceneRig(ProgramDriver::Options()) {}

SceneRig::SceneRig(ProgramDriver::Options options)
    : SceneRig(std::move(options), platform::PixelLayout::kRgb565) {}

SceneRig::SceneRig(ProgramDriver::Options options, platform::PixelLayout layout)
    : d(WithRigBoot(std::move(options))) {
  if (layout == platform::PixelLayout::kRgb555) d.host().config.Set("Pixel Format", "555");
  LaySceneFiles(d.tree);
  if (const char* folder = std::getenv("TAMVIK_SCENE_FRAMES")) {
    frames_folder_ = folder;
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
      test_name_ = std::string(info->test_suite_name()) + "_" + info->name();
      for (char& c : test_name_) {
        if (c == '/') c = '_';
      }
    }
    auto previous = d.display().on_present;
    d.display().on_present = [this, previous](const platform::headless::HeadlessDisplay& shown) {
      if (previous) previous(shown);
      shown.SaveFramePng(frames_folder_ + "/" + test_name_ + "_" + std::to_string(d.frame()) +
                         ".png");
    };
  }
  started_ = d.Start();
  EXPECT_TRUE(started_);
}

void SceneRig::Lay(uint16_t scene, const ScriptWriter& script) {
  LayScene(d.tree, scene, script.Bytes(), MessageTableWriter().Add({1, 5, "a", "b"}).Bytes());
}

bool SceneRig::StartScene(uint16_t scene_code) {
  if (!started_ || owner() == nullptr) return false;
  GetAdvState()->setSceneCode(scene_code);
  CTamvikAdv::StartAdvMain(owner());
  return true;
}

int SceneRig::RequestedMode() const {
  GameTaskRec* task = owner();
  if (task == nullptr) return kNoMode;
  const uint8_t mode = TaskStep(task);
  return mode == kNoModeByte ? kNoMode : mode;
}

void SceneRig::ClearRequestedMode() {
  if (GameTaskRec* task = owner()) TaskStep(task) = kNoModeByte;
}

bool SceneRig::RunUntilMode(int limit) {
  return d.RunUntil("a mode requested",
                    [this](const ProgramDriver&) { return RequestedMode() != kNoMode; }, limit);
}

GameTaskRec* SceneRig::owner() const { return FindOwner(); }

void SceneRig::EndOwner() {
  if (GameTaskRec* task = owner()) Ctx().game_task.DelTask(task);
}

bool SceneRig::ControllerRuns() const {
  return Ctx().game_task.FindTask(CTamvikAdv::kAdvMainName) != nullptr;
}

bool SceneRig::InterpreterRuns() const {
  return Ctx().game_task.FindTask(CTamvikMacro::kDecodeMacroName) != nullptr;
}

}  // namespace testsupport
