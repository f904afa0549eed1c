#include "battle_events/core/event_check.h"

#include <cstdio>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_npc.h"
#include "battle_events/fix_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"

namespace {

constexpr int kValueX = 64;
constexpr int kValueY = 192;

// The check task's record while its task lives (a battle task list swept by another road leaves
// the kept pointer stale), else null.
SlgEffectTask* LiveTask(const SlgEventCheckState& e) {
  return SlgTaskIsAlive(e.task) != 0 ? e.task : nullptr;
}

void Tell(const SlgEventCheckState& e, const SlgEventEntry* row, SlgEventMoment moment) {
  if (e.observer && row != nullptr) e.observer(*row, moment);
}

// "Slg::EventCheck": the phase byte is the state of the event machinery.
void EventCheckTask(SlgEffectTask* t) {
  BattleContext& b = Battle();
  SlgEventCheckState& e = b.Extension<SlgEventCheckState>();
  switch (t->phase) {
    case kEventCheckNew:
      b.event_busy = 0;
      b.control.turn_hold = 0;
      e.step = 0;
      b.event_words.battle_end = 0;
      t->phase = kEventCheckIdle;
      break;
    case kEventCheckRun:
      // The handler may end the battle (and with it this task): nothing of the record is read
      // after it.
      if (e.current != nullptr && e.current->handler != nullptr) {
        e.current->handler(*e.current);
      } else {
        t->phase = kEventCheckIdle;
      }
      break;
    case kEventCheckEnded: {
      const SlgEventEntry* row = e.current;
      EventFinish(row);
      Slg::ScrollToUnit(b.state.acting_unit);
      t->phase = kEventCheckIdle;
      Tell(e, row, SlgEventMoment::kFinished);
      break;
    }
    default:
      break;
  }
}

}  // namespace

SlgEventCheckState& EventCheckState() { return Battle().Extension<SlgEventCheckState>(); }

int32_t& EventStep() { return EventCheckState().step; }
const SlgEventEntry* CurrentEvent() { return EventCheckState().current; }

void StartEventCheck(const SlgEventEntry* table) {
  BattleContext& b = Battle();
  SlgEventCheckState& e = b.Extension<SlgEventCheckState>();
  e.table = table;
  b.event_flags.fill(0);
  b.cmd_busy = 0;
  b.event_busy = 0;
  b.control.turn_hold = 0;
  // One check task at a time: a second would call the running handler twice a frame.
  SlgTaskEnd(e.task);
  e.task = SlgTaskCreate(SlgTaskOwner(), &EventCheckTask, kEventCheckTaskName);
  FixTaskListClear();
  EventNpcLoad();
  // The map's set-up installs its event-animation table after this, or none.
  SetEventAnmTable({});
}

void EventEnd() {
  if (SlgEffectTask* task = LiveTask(EventCheckState())) task->phase = kEventCheckEnded;
}

void StartGameWin() {
  BattleContext& b = Battle();
  // Victory rows that match again while the victory fades would start a second win and exit.
  if (b.event_words.battle_end == 1) return;
  // The core refuses (and traces) a victory while one or a game over is under way, or after the
  // hand-back: the word tells of a victory that began.
  Slg::StartGameWin();
  if (Ctx().game_task.FindTask(kSlgGameWinTaskName) != nullptr) b.event_words.battle_end = 1;
}

void RequestGameOver() { Battle().lost = 1; }

void ShowEventValue(const int16_t* value) {
  if (value != nullptr) DrawEventDebugNumber(kValueX, kValueY, *value);
}

void DrawEventDebugNumber(int x, int y, int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(n));
  DrawDigitString(text, kSysMojiBDigit, x, y);
}

namespace SlgEventCheck {

int CheckEvents() {
  BattleContext& b = Battle();
  SlgEventCheckState& e = b.Extension<SlgEventCheckState>();
  if (b.cmd_busy != 0 || b.event_busy != 0 || e.table == nullptr) return 0;
  // An event still runs when its handler has lowered the busy word while it waits (the core's
  // main task, turn control and the player phase then check again): it is neither replaced nor
  // cut short.
  SlgEffectTask* task = LiveTask(e);
  if (task != nullptr && (task->phase == kEventCheckRun || task->phase == kEventCheckEnded)) {
    return 0;
  }
  e.current = FindEvent(e.table);
  if (e.current->handler != nullptr) {
    b.event_busy = 1;
    b.control.turn_hold = 1;
    e.step = 0;
    if (task != nullptr) task->phase = kEventCheckRun;
    Tell(e, e.current, SlgEventMoment::kStarted);
    return 1;
  }
  b.event_busy = 0;
  b.control.turn_hold = 0;
  if (task != nullptr) task->phase = kEventCheckIdle;
  return 0;
}

int HasEventTable() { return EventCheckState().table != nullptr ? 1 : 0; }

void EndEventCheck() {
  SlgEventCheckState& e = EventCheckState();
  if (void (*map_end)() = std::exchange(e.map_end, nullptr); map_end != nullptr) map_end();
  SetEventAnmTable({});
  if (e.table == nullptr && e.task == nullptr) return;
  EventNpcFree();
  FixTaskRemoveAll();
  SlgTaskEnd(e.task);
  e.task = nullptr;
  EventFreeBG();
  e.table = nullptr;
}

}  // namespace SlgEventCheck
