#pragma once
// The scene rig: a whole program (the program driver) on which one story scene runs from its
// first command word to the mode its end asks for, for the tests of the scene engine.
//
// - The install tree holds the scene's picture files (LaySceneFiles) and the glyph fonts; scripts
//   are laid with Lay().
// - The boot is the rig's: in place of the game-mode manager a test owner task of the manager's
//   name ("CTamvikGeneral::GeneralManeger") whose block takes the modes the scene asks for
//   (RequestedMode()); it does nothing else. The rest of the composition root's wiring stays.
// - StartScene(code) sets the ADV scene code (the scene before the one to run, or the scene
//   itself with ADV byte 42 or for the scenes that follow themselves: 0x0107-0x0109) and starts
//   the scene controller under the owner.
// - With TAMVIK_SCENE_FRAMES=<folder> every presented frame is written there as
//   "<test>_<frame>.png" for people to look at.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/game_task.h"
#include "platform/pixel_traits.h"
#include "testsupport/program_driver.h"
#include "testsupport/script_writer.h"

namespace testsupport {

class SceneRig {
 public:
  // No mode requested yet.
  static constexpr int kNoMode = -1;

  SceneRig();
  explicit SceneRig(ProgramDriver::Options options);
  // The same on a display of that pixel layout ("Pixel Format = 555" in the headless settings
  // for RGB555).
  SceneRig(ProgramDriver::Options options, platform::PixelLayout layout);
  // The options with the rig's boot (the stand-in owner), for a driver the rig does not hold
  // (RunTwice builds its own).
  static ProgramDriver::Options RigOptions(ProgramDriver::Options options);

  // Writes the scene's script and a one-message table.
  void Lay(uint16_t scene, const ScriptWriter& script);
  // Sets the ADV scene code and starts the controller under the owner (it runs from the next
  // frame). False when the program did not start.
  bool StartScene(uint16_t scene_code);

  // The mode last written into the owner's block, or kNoMode.
  int RequestedMode() const;
  // Forgets the requested mode (for a second scene on the same rig).
  void ClearRequestedMode();
  // Runs until a mode is requested, at most `limit` frames; whether one was.
  bool RunUntilMode(int limit);
  // The owner task (null once a test ended it).
  GameTaskRec* owner() const;
  // Ends the owner task.
  void EndOwner();
  // Whether the controller / the interpreter task exists.
  bool ControllerRuns() const;
  bool InterpreterRuns() const;

  ProgramDriver d;

 private:
  bool started_ = false;
  std::string frames_folder_;
  std::string test_name_;
};

}  // namespace testsupport
