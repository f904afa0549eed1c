#pragma once
// The battle's rig: the whole program, headless, on the shared program driver (it has no frame
// loop of its own), with a fresh battle context beside the driver's engine, game and scene
// contexts, over a fresh game tree.
//
// - Boot: the game's hooks are replaced by a boot that only starts a stand-in
//   "CTamvikGeneral::GeneralManeger" task (doing nothing), the owner of the battle tasks
//   (manager(), and SlgTaskOwner() finds it).
// - Clock: each Step() is one driver frame, the clock moved 17, 17, 16, 17, 17, 16 ... ms, so that
//   after n steps (now - t0) x 60 / 1000 is exactly n for the game clock t0 at the rig's start. (No
//   whole-millisecond step makes every pair of frames exactly one frame apart: a task started at
//   another frame may see a frame of 33 ms counted as 1.) Options::step_ms moves it by a fixed
//   step instead (50 ms: about three game frames a step, as on a slow machine).
// - Input rows, checkpoints, the trace and the sound heard are the driver's (driver()); RunUntil
//   waits on the driver's frame limit; RunBattleTwice runs a scenario on two fresh rigs and
//   compares what they showed and played.
// - Frames: PixelAt reads the latest presented frame as a COLORREF in either layout, Shown gives
//   a colour as the layout shows it (to compare with), LayoutName names a layout for a test
//   parameter; SaveFrame writes the frame as a PNG for a person when TAMVIK_BATTLE_FRAMES names a
//   folder.
// - The engine's generator is seeded with Options::seed after the start, and the memory figure
//   the program reads (AppGetMemoryStatus(0)) is Options::memory_bytes.
// - With Options::manager_mode the real mode manager runs the battle (see there); manager() is
//   then its task.
// - The file layer's install directory is the tree's (driver().tree.install()), where the stage
//   writer (testsupport/stage_writer.h) lays a battle map's files.
// - Battle events: InstallEventTable puts the battle events on the rig's battle and an in-memory
//   event table at each set-up (testsupport/event_tables.h), noting the rows started and finished
//   with their driver frames (event_notes()), and InstallEventAnmTable an event-animation table
//   after it; StubPhases puts a stub in turn control's slot of the frame (the phase entries),
//   which ORs the bits given to RaiseTiming into the timing word.
//
// Later battle issues extend this class: keep it narrow and every addition documented here.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "platform/display.h"
#include "testsupport/event_tables.h"
#include "testsupport/program_driver.h"

struct GameTaskRec;
struct SlgMainWork;

namespace testsupport {

class BattleRig {
 public:
  struct Options {
    platform::PixelLayout layout = platform::PixelLayout::kRgb565;
    uint32_t seed = 1;
    uint64_t memory_bytes = 64ull << 20;
    // A whole battle from the mode manager: when 0 or more, the boot starts the real game-mode
    // manager in this mode (26: a story battle) instead of the stand-in, and the game's sequences
    // are filled as the composition root fills them for a battle: the real battle entry
    // (WireBattleSequence, which uses the rig's current battle context), the manager's stand-ins
    // in the other entries and the mode requests to the manager.
    int manager_mode = -1;
    // Whether the driver hashes every presented frame (RunBattleTwice compares the hashes; the
    // benchmarks turn it off to time the game alone).
    bool hash_frames = true;
    // Clock milliseconds per step: 0 for one game frame a step (StepMs), or a fixed step such as
    // 50 ms, with which the game skips frames as a slow machine does.
    uint32_t step_ms = 0;
  };

  BattleRig();
  explicit BattleRig(const Options& options);
  ~BattleRig();
  BattleRig(const BattleRig&) = delete;
  BattleRig& operator=(const BattleRig&) = delete;

  // Clock milliseconds of rig step i (1, 2, ...): 17, 17, 16, ... (The driver's first frame, the
  // start, dispatches the activation and runs no game frame; it takes 0 ms, so that the game
  // clock, which counts from the start, is ceil(i x 1000 / 60) after step i.)
  static uint32_t StepMs(int i);

  // One driver frame; false once the program has ended.
  bool Step() { return driver_.Step(); }
  bool Run(int frames) { return driver_.Run(frames); }
  bool RunUntil(const Checkpoint& checkpoint, int limit) {
    return driver_.RunUntil(checkpoint, limit);
  }
  bool RunUntil(const std::string& name, const std::function<bool()>& reached, int limit);
  // An event step run to its end: `step` called at once and then once after each rig step until
  // it answers 1, at most `limit` steps. The rig steps taken (0: it answered 1 at once), -1 when
  // it never did. `each` is told the step count after each call that answered 0.
  int StepsUntilDone(const std::function<int()>& step, int limit = 400,
                     const std::function<void(int)>& each = {});
  void Schedule(const std::vector<InputRow>& rows) { driver_.Schedule(rows); }

  // The game clock (ms), the rig steps since the start and the driver's frame count (one more).
  uint32_t Now() const;
  int steps() const { return driver_.frame() - 1; }
  int frame() const { return driver_.frame(); }
  // The stand-in mode manager's task (the owner of battle tasks), null once it is gone.
  GameTaskRec* manager() const;

  // Writes a file into the working directory (where the game's relative paths are found).
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

  // The latest presented frame's pixel as a COLORREF (0xFFFFFFFF when none was presented).
  uint32_t PixelAt(int x, int y) const;
  // A COLORREF as the display's layout shows it (its channels truncated to the layout's fields).
  uint32_t Shown(uint32_t colour) const;
  // Writes the latest frame to $TAMVIK_BATTLE_FRAMES/<name>.png when that is set; whether written.
  bool SaveFrame(const std::string& name) const;

  ProgramDriver& driver() { return driver_; }
  BattleContext& battle() { return battle_; }

  // ---- Battle events ----
  // The battle events installed on the rig's battle and on every stage built from now on, and
  // `table` (ended by a null handler; it must outlive the rig) installed by StartEventCheck at
  // each set-up (the initialisation's step 5: Slg::StartStage, a switch, a retry). A second call
  // replaces the table.
  void InstallEventTable(const SlgEventEntry* table);
  // The event-animation table (entry i for kind 80 + i) that each set-up from now on installs
  // after the event table, as a map's set-up does; empty: none. After InstallEventTable; it must
  // outlive the rig.
  void InstallEventAnmTable(std::span<const SlgEventAnmHandler> anm_table);
  // The rows started and finished since InstallEventTable, with the driver frame (frame()) each
  // happened in.
  const std::vector<EventNote>& event_notes() const;
  // Turn control's slot of the frame: the player and enemy phase entries become a stub that, each
  // frame turn control runs it, ORs the bits raised since into the timing word and calls `each`
  // (when given). No action ends: the acting unit keeps its turn.
  void StubPhases(std::function<void(SlgMainWork*)> each = {});
  // Bits ORed into the timing word at the stub phase's next run (a moment turn control passes).
  void RaiseTiming(uint16_t bits) { raised_timing_ |= bits; }

 private:
  static void StubPhase(SlgMainWork* work);

  ProgramDriver driver_;
  BattleContext battle_;
  BattleScope scope_{battle_};
  std::unique_ptr<ScopedEventTable> events_;
  std::function<void(SlgMainWork*)> phase_each_;
  uint16_t raised_timing_ = 0;
};

// "Rgb565" or "Rgb555": the name of a frame test's layout parameter.
std::string LayoutName(platform::PixelLayout layout);

// What a run presented (frame by frame) and what the sound device mixed.
struct BattleRunRecord {
  std::vector<PresentedFrame> frames;
  std::vector<SoundFrame> sound;
};
BattleRunRecord RecordOf(BattleRig& rig);
// Whether two runs presented and mixed the same; the first difference fails the test.
bool SameBattleRuns(const BattleRunRecord& first, const BattleRunRecord& second);

// Runs the scenario twice, each time on a fresh rig made with `options`, and compares what the
// two runs presented (frame by frame) and what the sound device mixed; the first difference fails
// the test. Whether the runs were the same.
bool RunBattleTwice(const std::function<void(BattleRig&)>& scenario,
                    const BattleRig::Options& options = {});

}  // namespace testsupport
