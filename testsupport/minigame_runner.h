#pragma once
// The minigames' test rig: whole program frames on the shared program driver (no loop of its
// own), with fresh engine, game and minigame contexts over a game tree whose save\ is writable.
//
// - The boot hook starts nothing; the random generator gets a fixed seed once the program runs.
// - Start(row, mode) starts a game as the game-mode manager does (CTamvikGeneral::StartMiniGame:
//   the task "mg_task", then MiniGameStart); set variables and procedures before it.
// - Step() runs one driver frame with the clock moved 17, 17, 16 ms in turn (60 frames a
//   second), or by a given time; Run, RunUntil and RunToEnd run frames up to a limit (a limit
//   that runs out fails the test).
// - Input: minigame buttons held or tapped (driver input rows through the key assignment), the
//   mouse, or a bot called in every frame before the program runs it.
// - Checkpoints are the driver's: presented frames, the headless display's picture (PNGs on
//   request), the trace, sounds; and the files the program opened (files_opened).
//
// Later minigame issues add what their games need here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "minigames/minigame_context.h"
#include "platform/pixel_traits.h"
#include "testsupport/faulty_files.h"
#include "testsupport/program_driver.h"

namespace testsupport {

class MinigameRunner {
 public:
  struct Options {
    platform::PixelLayout layout = platform::PixelLayout::kRgb565;
    uint32_t seed = 1;
    // The display's "VramToVramDirectUse" switch when the program has started.
    bool vram_switch = false;
    // The game flow: every sequence entry filled as the composition root fills them
    // (WireGameSequences), only the scene controller's faked (it starts nothing, ends at once and
    // names `flow_row` as its minigame), so that EnterMinigameMode runs the real mode manager.
    bool game_flow = false;
    // Hashes every presented frame (ProgramDriver::Options::hash_frames), for runs compared twice.
    bool hash_frames = false;
  };

  MinigameRunner();
  explicit MinigameRunner(Options options);
  ~MinigameRunner();
  MinigameRunner(const MinigameRunner&) = delete;
  MinigameRunner& operator=(const MinigameRunner&) = delete;

  ProgramDriver& driver() { return *driver_; }
  GameTree& tree() { return driver_->tree; }
  // The driver's minigame context (current while the runner lives).
  MinigameContext& minigame() { return *driver_->minigame; }

  // A file of the game (a backslash path such as "tamvik3\od\mg_test.od") in the install
  // directory, its folders and name in mixed case.
  void WriteFile(const std::string& game_path, const std::vector<uint8_t>& bytes);
  // Puts a procedure into a row of the game table.
  void SetProc(int row, MgProc proc);

  // Starts the program when it has not started, then the game; whether it started.
  bool Start(int row, int mode);
  // With Options::game_flow: starts the program when it has not started and the game-mode
  // manager (parked in a mode that does nothing for one frame), sets ADV state byte 40, names
  // `row` as the scene's minigame and puts the manager in mode 21, as a scene's MINIGAME command
  // hands over. The following frames run 21 -> 22 -> 23 -> 32.
  bool EnterMinigameMode(int row, int byte40);
  // The minigame the faked scene controller names (GetMiniGameNo).
  int flow_row = 0;
  // One driver frame: the next time of the 17, 17, 16 ms cadence, or `ms`.
  bool Step();
  bool Step(uint32_t ms);
  bool Run(int frames);
  bool RunUntil(const std::string& name, const std::function<bool()>& reached, int limit);
  // Runs until the minigame has ended; whether it did within the limit.
  bool RunToEnd(int limit);

  // Minigame buttons (kMgKey* bits): held from the next frame until released, or tapped: down
  // from the next frame until a frame that ran a minigame step has seen it, then up (so a tap
  // is never lost on a frame without a step, also when the bot taps).
  void Hold(uint32_t buttons, bool down = true);
  void Tap(uint32_t buttons);
  // The pointer moved to (x, y) in the next frame; mouse button 0 or 1 down or up.
  void Pointer(int32_t x, int32_t y);
  void MouseButton(int button, bool down);
  // Called in each frame before the program runs it.
  std::function<void(MinigameRunner&)> bot;

  // The latest presented frame as a PNG file under the tree's root (name without folders);
  // its host path, or "" when there is no frame.
  std::string SavePng(const std::string& name);

  // Every path the program opened, in order (the files seam is wrapped for the log).
  const std::vector<std::string>& files_opened() const { return files_->opened; }

  // What the minigame's sound wrappers started, in order: "bgm:<file>", "se:<file>",
  // "static:<n>", "voice:<file>".
  const std::vector<std::string>& sounds_played() const { return sounds_played_; }
  // How many times the wrappers started that sound.
  int TimesPlayed(const std::string& what) const;

  // Steps the last frame ran (0 when none was due).
  int32_t last_steps() const { return driver_->minigame->fw.last_steps; }

 private:
  bool StartProgram();
  uint32_t NextFrameTime();
  void BeforeFrame();

  struct PendingTap {
    uint32_t buttons = 0;
    int down_frame = 0;  // the frame whose input rows put the keys down
    int presented = -1;  // frames presented before that frame ran (-1: not yet there)
  };
  std::vector<PendingTap> taps_;
  std::vector<std::string> sounds_played_;

  Options options_;
  std::unique_ptr<ProgramDriver> driver_;
  std::unique_ptr<FaultyFiles> files_;
  int cadence_ = 0;
  uint32_t one_shot_ms_ = 0;
  bool has_one_shot_ = false;
};

}  // namespace testsupport
