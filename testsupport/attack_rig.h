#pragma once
// The attack harness: one attack of one unit kind and attack type played to its end on the battle
// rig, recorded (testsupport/attack_trace.h) and checked against the routine contract; and the
// smoke table's row (AttackCase), every attack family's test contract.
//
// Two roads:
// - kBoard: a board (testsupport/battle_board.h) with the attacker on cell (4, 20) facing `dir`
//   and its targets by `layout`, the system sprites and the fixtures' sets loaded, and a rig task
//   "AttackRig::Main" that runs each frame what the battle's main task does for an attack: the
//   command (Slg::CmdAttack entered at its step 5, the 20-frame wait already over, so the lead-in
//   (state 5), the hits (Slg::MarkHitUnits on the layout's cells), the routine (state 6), the end
//   (state 7, gauges) and Slg::ApplyHits are the battle's own, but for the attack type, which
//   stays the row's (the command's power roll would make a normal attack critical, or a critical
//   one normal, by chance); attack type 5 Slg::CmdCombination
//   entered at its step 4, state 19), then every shown unit's update (Slg::UpdateUnit). With
//   layout kNone no command runs: the attacker is put into state 5 (19 for type 5) as an event
//   script does, so its routine plays with an empty damage list.
// - kAction: no board: CTamvikSlgAct::Action(kind, type, dir), the battle action task on its
//   built-in 640 x 480 stage (the attacker is its private unit, "A" in the trace; the target slot
//   0; no state-7 handler runs: the task ends the first frame the attacker has left state 6).
//
// The rig registers the attack effects' installer (InstallBattleEffects) for its life, before its
// battle context is made: every row holds the dispatch, and a test puts doubles into the routine
// slots through dispatch(). (The battle rig alone, and the headless program driver, register no
// installer: the core's tests see the core's own answers.)
//
//   testsupport::AttackCase row{.name = "kind13_special", .kind = 13, .type = 1};
//   testsupport::ExpectAttackCase(row);   // plays it twice, checks everything below
//
// The checks of a row (PlayAttackCase; each failure is one line of AttackOutcome::failures):
// - the watchdog: the attacker leaves its attack state (6, or 19) within `frame_limit` frames,
//   for state 7 only (through SetUnitState or EndAttack); else "watchdog: ..." naming the kind,
//   type, step and the live effect tasks;
// - the end: the command done and the attacker standing (0 or 8), or the action task gone, within
//   kEndLimit frames more; then `outlive` frames; then no live effect task whose name starts with
//   one of `prefixes` ("leaked task <name>");
// - the battle as before: SlgAlloc balance, sprite-buffer entries and polygons, live animations,
//   animation-set references, no fade, the layers and clear flag, SlgCmdBusy, the music volume as
//   the sound calls left it (100), SlgFlags bits 1, 2 set and 5-7 clear, the targets shown, the
//   scroll and the plane offsets (unless `leaves` says the routine leaves them), the peak of
//   entries under 1024;
// - the routine reached (`routine`: a "routine <name>" line of the trace), who got the hit signal
//   (`hits`), the damage (kBoard: each unit hit loses the damage
//   Slg::MarkHitUnits recorded, once; every other keeps its life), the sound calls (`sounds`, an
//   ordered sub-sequence), the checkpoints' pixel probes (a PNG each into
//   $TAMVIK_BATTLE_FRAMES, named <row>_<checkpoint>).
// ExpectAttackCase adds run-twice: the two runs present the same frames, mix the same sound and
// record the same trace.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_extension.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/attack_trace.h"
#include "testsupport/battle_rig.h"

struct AttackDispatch;
struct SlgUnit;

namespace testsupport {

class BattleBoard;

enum class AttackRoad : uint8_t { kBoard, kAction };
// Where the targets stand, from the attacker's cell along its direction: none; one on the first
// cell; three on the first three; one on the first with a wall (0x400) on the second; one on the
// first, raised to height 2; five on the first five.
enum class AttackLayout : uint8_t { kNone, kFront, kThree, kWallAhead, kRaised, kFive };
// Who carries the hit signal (flag 0x4) at some frame of the attack.
enum class HitSignal : uint8_t { kUnchecked, kEvery, kFirst, kNone };

// What a routine leaves changed on purpose (AttackCase::leaves).
constexpr uint32_t kLeavesCamera = 0x1;
constexpr uint32_t kLeavesPlaneOffset = 0x2;

// A pixel of the presented frame (COLORREF): its top five bits per channel, which both display
// layouts keep, equal to (or, with drawn false, different from) the colour's.
struct AttackProbe {
  int x = 0;
  int y = 0;
  uint32_t colour = 0;
  bool drawn = true;
};

// A moment of the attack: `frame` frames after its start, or the frame of the first trace line
// containing `event`.
struct AttackCheckpoint {
  std::string name = {};
  int frame = -1;
  std::string event = {};
  std::vector<AttackProbe> probes = {};
};

class AttackRig;

struct AttackCase {
  std::string name = {};
  int kind = 0;
  int type = 0;  // 0-3, 5
  int dir = 1;
  AttackLayout layout = AttackLayout::kFront;
  AttackRoad road = AttackRoad::kBoard;
  AttackFixtures::Variant variant = AttackFixtures::Variant::kFull;
  // The routine the row must reach (its AttackRoutineName; unchecked when empty).
  std::string routine = {};
  int frame_limit = 600;  // from the start to state 7
  int outlive = 60;       // frames after the end before the task and resource checks
  // The outlive budget ends early, on the first frame no effect task is alive (for content whose
  // animation lengths vary: the budget is then the longest the effects may take).
  bool outlive_until_quiet = false;
  uint32_t step_ms = 0;   // BattleRig::Options::step_ms (50: frames skipped)
  platform::PixelLayout pixels = platform::PixelLayout::kRgb565;
  HitSignal hits = HitSignal::kUnchecked;
  std::vector<std::string> sounds = {};    // an ordered sub-sequence of AttackTrace::SoundCalls
  std::vector<std::string> prefixes = {};  // the family's effect-task name prefixes
  uint32_t leaves = 0;
  std::vector<AttackCheckpoint> checkpoints = {};
  // Changes the attacker kind's sets before they are laid.
  std::function<void(AttackFixtures&)> fixtures = {};
  // Further kinds whose default sets are laid too (the units a row adds in `before`; neither the
  // attacker's kind nor its targets').
  std::vector<int> more_kinds = {};
  // Runs on the built rig before the attack starts (doubles in the routine slots, a changed unit).
  std::function<void(AttackRig&)> before = {};
};

struct AttackOutcome {
  std::vector<std::string> failures;
  int state7_frame = -1;  // frames from the start to the frame the attacker left its attack state
  int end_frame = -1;     // frames from the start to the end of the end timeline
  std::vector<AttackTraceLine> lines;  // the recorder's lines
  std::vector<std::string> trace;      // their texts with frames (AttackTrace::Texts)
  BattleRunRecord record;
  // Each board unit at the end (after the outlive frames): state, life and map position (16.16).
  struct UnitEnd {
    int state = 0;
    int life = 0;
    int32_t x = 0, y = 0;
    bool operator==(const UnitEnd&) const = default;
  };
  std::map<int, UnitEnd> units;
};

class AttackRig {
 public:
  // Frames the end timeline (gauges, the command's end) may take after the routine's end.
  static constexpr int kEndLimit = 600;
  // The attacker's cell on the board.
  static constexpr int kColumn = 4;
  static constexpr int kRow = 20;
  // A pixel of the attacker's body on the board once the camera has settled on it (scroll (64,
  // 216): its anchor at (320, 264), the 16-pixel square of its pattern above it).
  static constexpr int kBodyProbeX = 324;
  static constexpr int kBodyProbeY = 256;

  explicit AttackRig(const AttackCase& row);
  ~AttackRig();
  AttackRig(const AttackRig&) = delete;
  AttackRig& operator=(const AttackRig&) = delete;

  // Starts the attack (the command, the event-style state, or the battle action task).
  void Start();
  // The attack type the next Start plays (one rig plays attack after attack: a long battle).
  void set_type(int type) { row_.type = type; }
  // One rig step, recorded.
  void Step();
  // Frames since Start.
  int frames() const { return frames_; }
  // Whether the attacker is in its attack state (6, or 19 for type 5).
  bool InAttack() const;
  // Whether the attack's end is over: the command done and the attacker standing (kBoard), or the
  // battle action task gone (kAction).
  bool Ended() const;

  SlgUnit& attacker();
  const SlgUnit& attacker() const;
  const std::vector<uint8_t>& targets() const { return targets_; }
  // Units that were in the damage list (flag 0x1) at some frame since Start, and every unit's
  // life at Start.
  const std::set<int>& hit_units() const { return hit_units_; }
  const std::map<int, int16_t>& lives_at_start() const;
  BattleRig& rig() { return *rig_; }
  // The board (kBoard; null on the action road): a row's `before` adds units with it.
  BattleBoard* board() { return board_.get(); }
  AttackTrace& trace() { return *trace_; }
  // The battle's routine slots (put doubles here before Start).
  AttackDispatch& dispatch();
  // The cells of the layout along the attacker's direction (column, row), the first is in front.
  static std::vector<std::pair<int, int>> LayoutCells(const AttackCase& row);

  // The invariant check after the end (the list of PlayAttackCase above); failures appended.
  void CheckEnd(const AttackCase& row, std::vector<std::string>& failures);
  // The live effect tasks' names.
  static std::vector<std::string> LiveTaskNames();

 private:
  struct Baseline;
  static void MainTask(struct GameTaskRec* task);
  void Frame();
  void BuildBoard();

  AttackCase row_;
  ScopedBattleInstaller installer_;
  std::unique_ptr<BattleRig> rig_;
  std::unique_ptr<BattleBoard> board_;
  std::unique_ptr<AttackTrace> trace_;
  std::unique_ptr<Baseline> baseline_;
  uint8_t attacker_ = 0;
  std::vector<uint8_t> targets_;
  std::set<int> hit_units_;
  bool command_running_ = false;
  int frames_ = 0;
};

// The board cell `n` steps from (column, row) toward direction dir (0-3): each step moves the
// snapped point by (+-48, +-24) pixels, one row and half a column (odd rows lie half a column
// right).
std::pair<int, int> CellAlong(int column, int row, int dir, int n);

// Plays the row once on a fresh rig: the whole attack and every check above.
AttackOutcome PlayAttackCase(const AttackCase& row);
// Plays the row twice and reports each failure (and any difference between the two runs) as a
// test failure; the first run's outcome.
AttackOutcome ExpectAttackCase(const AttackCase& row);

}  // namespace testsupport
