#pragma once
// The whole program, headless, for tests: a fresh engine and game (TestGame) in a fresh game tree,
// started through the spine (AppStart with the game's hooks) and driven one message-loop
// iteration at a time, the clock (and the sound device) moved by one frame before each.
//
// - Input rows: key, game-key and pointer changes scheduled by frame number, applied through the
//   headless input before that frame. While a movie plays (loop mode 0) a frame with rows also
//   gets a kInput event, as a key or mouse message would wake the real loop.
// - Checkpoints: named conditions (a frame presented, a predicate over the presented picture, a
//   sound heard, a trace line) that RunUntil waits for.
// - Every wait has a frame limit: one that runs out fails the test with the checkpoint's name and
//   the frame count instead of hanging.
// - What the program showed and played is recorded (a hash per presented frame, the sound mixed
//   in each frame), so RunTwice can check that a scenario runs the same way twice.
//
// Frames are counted by loop iterations: Step() runs frame frame() + 1. An iteration that only
// dispatches an event runs no frame of the game, but counts here like any other.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "debug/debug_menu.h"
#include "engine/app/game_hooks.h"
#include "minigames/minigame_context.h"
#include "platform/window.h"
#include "scene/scene_context.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace testsupport {

// One scheduled input change.
struct InputRow {
  enum class Kind : uint8_t { kKey, kGameKey, kPointerMove, kPointerButton };

  int frame = 0;  // applied just before this frame runs (rows already due go before the next)
  Kind kind = Kind::kKey;
  uint32_t code = 0;  // key code (set-1, as the keyboard state), game key bit, or mouse button
  bool down = false;
  int32_t x = 0;  // pointer position (0..639, 0..479)
  int32_t y = 0;
};

// Rows by their meaning.
InputRow KeyDown(int frame, uint8_t code);
InputRow KeyUp(int frame, uint8_t code);
// A game key (one bit of engine/input/dinput.h) pressed through the key that feeds it: for the
// assigned keys the first entry of the current assignment, for Tab and the arrows their own key.
InputRow GameKeyDown(int frame, uint32_t game_key);
InputRow GameKeyUp(int frame, uint32_t game_key);
// The pointer moved to (x, y): the cursor is placed there and the mouse reports the movement.
InputRow PointerMove(int frame, int32_t x, int32_t y);
// Mouse button 0 (left) .. 3.
InputRow PointerButton(int frame, int button, bool down);

// A frame the display presented.
struct PresentedFrame {
  int frame = 0;  // the driver frame in which it was presented
  int width = 0;
  int height = 0;
  uint64_t hash = 0;  // of the size and every pixel; 0 unless Options::hash_frames
};

// What the sound device mixed in one frame (recorded only for frames in which it mixed).
struct SoundFrame {
  int frame = 0;
  size_t buffers = 0;  // sound buffers the device held
  size_t samples = 0;  // stereo samples mixed in this frame
  bool heard = false;  // any of them not silent
  uint64_t hash = 0;   // of the samples
};

class ProgramDriver;

// A named condition on the running program.
struct Checkpoint {
  std::string name;
  std::function<bool(const ProgramDriver&)> reached;
};

// The display has presented at least `count` frames since the start.
Checkpoint FramePresented(int count);
// The latest presented frame satisfies the predicate (checked after every frame).
Checkpoint PresentedFrameIs(std::string name,
                            std::function<bool(const platform::headless::HeadlessDisplay&)> is);
// The sound device has mixed a sample that is not silent.
Checkpoint SoundHeard();
// A traced line contains the fragment.
Checkpoint TraceContains(std::string fragment);
// Any condition.
Checkpoint When(std::string name, std::function<bool(const ProgramDriver&)> reached);

class ProgramDriver {
 public:
  struct Options {
    // The game's hooks; the composition root's (MakeGameHooks with debug_menu) when not given.
    std::optional<GameHooks> hooks;
    // With the composition root's hooks: a boot in place of the game's (for a test that starts
    // only the pieces it looks at).
    std::function<void()> boot;
    // Fills the game's sequences with the real ones (WireGameSequences, with debug_menu's close);
    // a test that fills fakes turns this off and fills sequences() before Start.
    bool wire_sequences = true;
    // Milliseconds of clock (and of sound device time) per frame.
    uint32_t frame_ms = 17;
    // Lets the sound device mix along with the clock.
    bool pump_audio = true;
    // Milliseconds of clock for driver frame n (1, 2, ...) when set, instead of frame_ms (the
    // battle rig steps 17, 17, 16 ms so that each frame is one game frame).
    std::function<uint32_t(int frame)> frame_ms_of;
    // When set: called in each frame after its input rows, before the loop iteration (a bot).
    std::function<void()> before_frame;
    // Hashes every presented frame into its record (RunTwice and the battle rig's twice turn it
    // on). Off, the record keeps each frame's number and size with hash 0: hashing a whole frame
    // every frame is a large part of a headless frame that nothing compares.
    bool hash_frames = false;
  };

  ProgramDriver();
  explicit ProgramDriver(Options options);
  ~ProgramDriver();
  ProgramDriver(const ProgramDriver&) = delete;
  ProgramDriver& operator=(const ProgramDriver&) = delete;

  TestEngine& engine() { return game.engine; }
  platform::headless::HeadlessPlatform& host() { return game.engine.host; }
  const platform::headless::HeadlessPlatform& host() const { return game.engine.host; }
  platform::headless::HeadlessWindow& host_window() { return host().window; }
  platform::headless::HeadlessDisplay& display() { return host().display; }
  GameSequences& sequences() { return game.sequences(); }

  // The spine's start-up, then the program made active (as the window system does at once) and
  // the first frame. False when the program ended before its loop.
  bool Start();

  // One loop iteration after moving the clock by a frame and applying the rows due; false once
  // the loop has ended.
  bool Step();
  // Up to `frames` iterations; whether the loop still runs.
  bool Run(int frames);
  // Runs until the loop ends, at most `frames` iterations; whether it ended.
  bool RunToEnd(int frames);
  // Whether the next `frames` frames each reach the screen (for a picture that asks for a compose
  // every frame).
  bool KeepsShowing(int frames);

  // Runs until the checkpoint is reached (it may be already) or `limit` iterations have run.
  // Whether it was reached; when not, the test fails with the checkpoint's name and the count.
  bool RunUntil(const Checkpoint& checkpoint, int limit);
  bool RunUntil(const std::string& name, const std::function<bool(const ProgramDriver&)>& reached,
                int limit);

  // Schedules input rows (in any order; rows of one frame apply in the order given). A row that
  // presses or releases a key or button an earlier row of its frame changed goes before the next
  // frame (with the rows behind it), so a press and release due together hold it for one frame.
  void Schedule(const std::vector<InputRow>& rows);
  void Schedule(const InputRow& row) { Schedule(std::vector<InputRow>{row}); }

  // Frames run so far.
  int frame() const { return frame_; }
  // Frames shown so far.
  int presented() const { return host().display.frames_presented; }
  int BoxCount(const std::string& text) const;

  const std::vector<PresentedFrame>& presented_frames() const { return presented_frames_; }
  const std::vector<SoundFrame>& sound_frames() const { return sound_frames_; }
  const TraceCapture& trace() const { return trace_; }

  GameTree tree;
  TestGame game;
  // The scene's state, current beside the game's, as the program has it.
  SceneContext scene;
  SceneScope scene_scope{scene};
  // The minigames' state, current beside them, as the program has it (large: on the heap).
  std::unique_ptr<MinigameContext> minigame = std::make_unique<MinigameContext>();
  MinigameScope minigame_scope{*minigame};
  // The game's debug menu, as the composition root makes it: its reset and frame hook are the
  // spine's (MakeGameHooks), its close the game restart's (WireGameSequences).
  CDebugMenu debug_menu;
  platform::Window* window = nullptr;
  int exit_code = -1;
  bool ended = false;

 private:
  // Whether any row applied.
  bool ApplyRowsDue(int frame);
  // A kInput event for the rows just applied, while a movie plays and none waits yet.
  void WakeForInput();
  void Apply(const InputRow& row);
  void RecordSound();

  Options options_;
  TraceCapture trace_;
  int frame_ = 0;
  std::vector<InputRow> rows_;  // not yet applied, in schedule order
  std::vector<PresentedFrame> presented_frames_;
  std::vector<SoundFrame> sound_frames_;
  size_t sound_seen_ = 0;  // captured samples already recorded
};

// Runs the scenario twice, each time on a fresh driver (built with `options` and hash_frames, not
// yet started),
// and compares what the two runs presented (frame by frame) and what the sound device mixed. The
// first difference fails the test; whether the runs were the same.
bool RunTwice(const std::function<void(ProgramDriver&)>& scenario,
              const ProgramDriver::Options& options = {});

}  // namespace testsupport
