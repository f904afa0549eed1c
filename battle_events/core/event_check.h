#pragma once
// The event check: a map's set-up installs its event table (StartEventCheck), which creates the
// battle task "Slg::EventCheck"; every frame the battle core looks for the first row that may
// start (CheckEvents, through the core's name in battle/slg_events.h) and the task then calls
// that row's handler once per frame until the handler calls EventEnd; the frame after, the task
// finishes the event (EventFinish: the row's flags, the words released) and the camera goes back
// to the acting unit. One event runs at a time.
//
// The words the events share with the core are the core's (battle/battle_context.h):
//   the timing word (EventTiming)       Battle().state.turn_flags
//   the event's busy word (EventRunning) Battle().event_busy: while 1 the main task neither resets
//                                        the timing word nor checks for events
//   the hold word (EventHoldTurn)       Battle().control.turn_hold: while 1 turn control is
//                                        paused; a handler lowers it to let a move or attack
//                                        finish and raises it again
//   the command word (UnitActionBusy)   Battle().cmd_busy: no event starts while it is set
//   the battle-end word                 Battle().event_words.battle_end
//
// One frame of the battle, in task order: the check task (created at the initialisation's step
// 5, before the main task), then the main task: timing word := 0x8000 unless an event runs, turn
// control unless the hold word is set (it ORs in the bits of the moments it passes), the event
// check unless an event runs. Timing bits raised while an event runs are lost when it ends.
//
// A handler:
//
//   void Arrival(const SlgEventEntry&) {
//     switch (EventStep()) {
//       case 0: SlgFadeIn(30); ++EventStep(); break;
//       case 1: if (SlgIsFadeEnd()) EventEnd(); break;
//     }
//   }
//
// The state lives in the events' extension block of the battle (SlgEventCheckState). Tests watch
// the rows start and finish through its observer (testsupport/event_tables.h).

#include <cstdint>
#include <functional>

#include "battle/battle_extension.h"
#include "battle_events/core/event_table.h"

struct SlgEffectTask;

inline constexpr const char* kEventCheckTaskName = "Slg::EventCheck";

// The phases of the check task (its phase byte); 1 and 2 are not used.
constexpr uint8_t kEventCheckNew = 0;    // just made: the words cleared, then idle
constexpr uint8_t kEventCheckRun = 3;    // the current row's handler is called each frame
constexpr uint8_t kEventCheckEnded = 4;  // EventEnd was called: the event finishes, then idle
constexpr uint8_t kEventCheckIdle = 5;   // nothing

// What the observer is told of a row.
enum class SlgEventMoment : uint8_t {
  kStarted,   // CheckEvents found it (the handler runs from the next frame)
  kFinished,  // the check task finished it (after EventFinish)
};

// The event check's state in a battle (Battle().Extension<SlgEventCheckState>()); kept through
// stage switches and retries, each stage's set-up installing its table again.
struct SlgEventCheckState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  // The installed table; null when none (HasEventTable).
  const SlgEventEntry* table = nullptr;
  // CurrentEvent: the row the last check found (the terminating row when none matched).
  const SlgEventEntry* current = nullptr;
  // EventStep: the running handler's step counter, 0 when an event starts.
  int32_t step = 0;
  // The "Slg::EventCheck" task's record; null when no table is installed.
  SlgEffectTask* task = nullptr;
  // The map's own part of the teardown (a map whose tasks hold animations sets it when it makes
  // them): called first by EndEventCheck, then cleared.
  void (*map_end)() = nullptr;
  // Test support: told of each row started and finished (empty in the program).
  std::function<void(const SlgEventEntry& row, SlgEventMoment moment)> observer;
};

// The current battle's event check state.
SlgEventCheckState& EventCheckState();

// EventStep and CurrentEvent of the current battle, for handlers.
int32_t& EventStep();
const SlgEventEntry* CurrentEvent();

// Installs a map's table, in this order: the table stored; the 256 bytes of event flags cleared;
// the command, busy and hold words := 0; the task "Slg::EventCheck" created under the mode
// manager's task (SlgTaskOwner()) and kept (a check task still running from an earlier install is
// ended first); the fixed-sprite list emptied; the event NPC animations loaded (and the event
// steps' state cleared); no event-animation table current (the map's set-up installs its own
// after this). Each map's set-up calls it once.
void StartEventCheck(const SlgEventEntry* table);

// Ends the running event: the task's phase := 4, so the handler is not called again and the next
// frame finishes the event. Called once by every handler, on its last step (a second call in the
// same step changes nothing).
void EventEnd();

// The events' victory: nothing while the battle-end word is 1; else the core's Slg::StartGameWin
// (the task under the battle's task owner: fade, then the battle left as won; the core starts none
// while a victory or a game over is under way or after the hand-back), then the battle-end word
// := 1 when "Slg::GameWin" runs. (Code inside namespace Slg calls it as ::StartGameWin.)
void StartGameWin();

// The events' defeat: the core's defeat word (Battle().lost) := 1; turn control starts
// "Slg::GameOver" on its next run.
void RequestGameOver();

// Debug aid: the value drawn as "%d" with the battle digit sprites (system sprite slot 7,
// "MojiBDigit:") at screen position (64, 192). Nothing for null.
void ShowEventValue(const int16_t* value);
// The same for n at screen position (x, y) (the message steps' message number).
void DrawEventDebugNumber(int x, int y, int32_t n);

// The bodies of the core's event entries (battle/slg_event_entries.h) that InstallBattleEvents
// puts in place of the stand-ins.
namespace SlgEventCheck {
// The per-frame check; 1 when an event was started. 0 and nothing changed while the command
// word or the busy word is set, no table is installed, or the check task is running or
// finishing an event (phase 3 or 4: a handler that lowered the busy word while it waits goes on
// being called). Else CurrentEvent := FindEvent(table); a row found: busy and hold words := 1,
// EventStep := 0, task phase 3, 1; none: busy and hold words := 0, task phase 5, 0.
int CheckEvents();
// 1 while a table is installed.
int HasEventTable();
// Tears the events down at the battle's end, in this order: the map's own part (map_end, once),
// no event-animation table current,
// the event NPC animations freed, every fixed sprite removed, the check task ended, the event
// background freed, the table pointer := null. A second call finds nothing more to do.
void EndEventCheck();
}  // namespace SlgEventCheck
