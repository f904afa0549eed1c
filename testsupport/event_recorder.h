#pragma once
// What a battle's story did, frame by frame, as one list of short texts: the rows the event check
// started and finished, and what the battle showed and played at the story's request (through the
// battle's test hooks, battle/slg_test_hooks.h). The event harness keeps one; a whole-battle test
// on the mode manager attaches one to the battle and feeds it after each frame.
//
// Records, each with its driver frame:
//   "start <id>", "end <id>"                rows started and finished (the event check's observer)
//   "message <face>:<message>"              a face message opened
//   "se <n>", "bgm <n>"                     sound effects and battle music started
//   "stop se <n>"                           a sound effect stopped (SePlay mode 2)
//   "fade <level> black|white"              a screen fade toward level 256 (dark) or 0 (clear)
//   "deploy <kind> entry <e>", "remove <kind> entry <e>"   units made and removed
//   "task <name>"                           the story's tasks: Slg::GameWin, Slg::GameOver,
//                                           a stage switch's task, Eve::fadeOutMusic
//   "bg show|slide|fade-in|fade-out|free <n>"   the events' background picture n shown, its
//                                           slide-in or fade begun, freed
//   "movie <name>", "movie end"             an event movie started (its file name); its step done
//   "trace <line>"                          a trace with "not described" or "out of table"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class BattleContext;

namespace testsupport {

class ProgramDriver;
struct EventNote;

struct EventRecord {
  int frame = 0;
  std::string what;

  bool operator==(const EventRecord&) const = default;
};

class EventRecorder {
 public:
  explicit EventRecorder(const ProgramDriver& driver) : driver_(driver) {}

  // Puts its hooks on the battle's test hooks / takes them off.
  void Attach(BattleContext& battle);
  void Detach(BattleContext& battle);
  // After each frame: the rows started and finished since the last call (from `notes`, the
  // event table's list), the units made and removed, the traces that name a script's fault.
  void AfterFrame(const std::vector<EventNote>& notes);
  // A record of the current driver frame.
  void Record(std::string what);
  // Forgets the records that start with `prefix`.
  void Drop(const std::string& prefix);

  const std::vector<EventRecord>& records() const { return records_; }
  // The records' texts that start with `prefix`, in order.
  std::vector<std::string> Records(const std::string& prefix) const;
  // The frame of the first record whose text is `what`; -1 when none.
  int FrameOf(const std::string& what) const;

 private:
  struct Hooks;

  const ProgramDriver& driver_;
  size_t notes_seen_ = 0;
  size_t trace_seen_ = 0;
  std::vector<std::pair<int, int>> live_;  // (entry, kind) of the units alive after the last frame
  std::vector<EventRecord> records_;
};

}  // namespace testsupport
