#pragma once
// Event tables for tests: a table held in memory installed on every battle built while a
// ScopedEventTable lives, the rows it started and finished noted with their frames, and the
// victory table the whole-battle tests, the sample install's test and the benchmarks win with.
//
// Until the map set-up installs the maps' own tables, a table is installed through the set-up
// stand-in's call at the initialisation's step 5 (Slg::SetupMapEvent tells
// Battle().event_stand_ins.on_call), so the check task is made where the program makes it: before
// the main task, and so first in each frame.
//
//   testsupport::ScopedEventTable events(testsupport::kVictoryEvents, &driver);
//   ...  // the battle starts (mode 26, or Slg::StartStage on a rig)
//   EXPECT_EQ(events.notes()[0], (EventNote{1, SlgEventMoment::kStarted, 40}));
//
// On the battle rig, BattleRig::InstallEventTable does the same for the rig's battle.
//
// Handlers are plain functions: a test's handler that needs the test's state reaches it through
// a static, or through the row's argument block.

#include <cstdint>
#include <span>
#include <vector>

#include "battle/battle_extension.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_npc.h"

class BattleContext;

namespace testsupport {

class ProgramDriver;

// The event flags of the rows below (each row's guard and set flag).
constexpr int16_t kVictoryFlag = 1;
constexpr int16_t kOpeningFlag = 2;

// The opening's handler: the map shown at once (a battle with an event table starts black) and
// the event ended.
void OpeningFadeIn(const SlgEventEntry& row);
// The victory's handler: StartGameWin and the event ended.
void VictoryWin(const SlgEventEntry& row);
// A handler that ends its event at once (a row that only sets and clears its flags).
void EventEndAtOnce(const SlgEventEntry& row);

// The opening: the first frame of the battle.
inline constexpr SlgEventEntry kOpeningRow{.id = 2,
                                           .timing = 0x8000,
                                           .guard = {kOpeningFlag, 0},
                                           .set = {kOpeningFlag, 0},
                                           .handler = &OpeningFadeIn};
// The victory: no live unit of the enemy groups (sides 1, 2 and 4) is left.
inline constexpr SlgEventEntry kVictoryRow{.id = 1,
                                           .timing = 0x8000,
                                           .b = "NG(GZA)&NG(GBO)&NG(GTR);",
                                           .guard = {kVictoryFlag, 0},
                                           .set = {kVictoryFlag, 0},
                                           .handler = &VictoryWin};
// The victory table: the opening, then the victory.
inline constexpr SlgEventEntry kVictoryEvents[] = {kOpeningRow, kVictoryRow, kEventTableEnd};

// A row started or finished, with the driver frame it happened in (-1 without a driver).
struct EventNote {
  uint16_t id = 0;
  SlgEventMoment moment = SlgEventMoment::kStarted;
  int frame = -1;

  bool operator==(const EventNote&) const = default;
};

// The frames at which the row with this id started (or finished), in order.
std::vector<int> NoteFrames(const std::vector<EventNote>& notes, uint16_t id,
                            SlgEventMoment moment);

// While it lives, every battle context made or stage built installs the battle events
// (InstallBattleEvents) and, at its set-up, `table`, which must outlive it; each row started and
// finished is noted. The newest one made is the one in force; the one before it is again once
// it goes.
class ScopedEventTable {
 public:
  explicit ScopedEventTable(const SlgEventEntry* table, const ProgramDriver* driver = nullptr);
  ~ScopedEventTable();
  ScopedEventTable(const ScopedEventTable&) = delete;
  ScopedEventTable& operator=(const ScopedEventTable&) = delete;

  // What the installer does, for a context made before this scope (the rig's own).
  void InstallOn(BattleContext& battle);
  // The event-animation table each set-up from now on installs after the event table, as a map's
  // set-up does (SetEventAnmTable); empty (the default): the set-up installs none and calls
  // nothing, as a map without event objects. It must outlive its use.
  void set_anm_table(std::span<const SlgEventAnmHandler> anm_table) { anm_table_ = anm_table; }

  const std::vector<EventNote>& notes() const { return notes_; }

 private:
  static void Installer(BattleContext& battle);

  const SlgEventEntry* table_;
  std::span<const SlgEventAnmHandler> anm_table_;
  const ProgramDriver* driver_;
  std::vector<EventNote> notes_;
  ScopedEventTable* previous_;
  ScopedBattleInstaller installer_{&Installer};
};

}  // namespace testsupport
