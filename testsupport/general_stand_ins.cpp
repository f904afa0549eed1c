#include "testsupport/general_stand_ins.h"

#include <memory>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/game_sequences.h"
#include "game/system_data.h"

namespace testsupport {

namespace {

enum class Action : uint32_t { kSetMode, kTitleResult, kEnd, kWait, kBattleWon };

// The extra block of a stand-in task: what its first frame does.
struct StandInExtra {
  Action action;
  int mode;            // kSetMode
  int* title_result;   // kTitleResult: where the title leaves its result
};

void StandInTask(GameTaskRec* task) {
  const auto* extra = static_cast<const StandInExtra*>(task->extra);
  switch (extra->action) {
    case Action::kWait:
      return;
    case Action::kSetMode:
      CTamvikGeneral::SetMode(extra->mode);
      break;
    case Action::kTitleResult:
      *extra->title_result = 1;
      break;
    case Action::kEnd:
      break;
    case Action::kBattleWon:
      GetSystemData()->setBattleLost(0);
      CTamvikGeneral::SetMode(28);
      DebugPrint("Slg stand-in: the battle is won\n");
      break;
  }
  Ctx().game_task.DelTask(task);
}

void StartStandIn(GameTaskRec* owner, const char* name, StandInExtra what) {
  auto* extra = TaskNewBlock<StandInExtra>();
  *extra = what;
  Ctx().game_task.SetTask(owner, &StandInTask, name, TaskNewBlock<TaskWork>(), extra);
}

std::function<bool()> Running(const char* name) {
  return [name] { return Ctx().game_task.FindTask(name) != nullptr; };
}

template <class Sequence>
void SetModeStandIn(Sequence& sequence, const char* name, int mode) {
  sequence.start = [name, mode](GameTaskRec* owner, auto...) {
    StartStandIn(owner, name, {Action::kSetMode, mode, nullptr});
  };
  sequence.is_running = Running(name);
}

}  // namespace

void FillManagerStandIns(GameSequences& s) {
  SetModeStandIn(s.save_check, kStandInSaveCheck, 15);
  SetModeStandIn(s.logo, kStandInLogo, 5);
  SetModeStandIn(s.opening, kStandInOpening, 3);
  SetModeStandIn(s.save_offer, kStandInSaveOffer, 38);

  // The title leaves 0 while it runs, as the real one does.
  auto title_result = std::make_shared<int>(1);
  s.title.start = [title_result](GameTaskRec* owner) {
    *title_result = 0;
    StartStandIn(owner, kStandInTitle, {Action::kTitleResult, 0, title_result.get()});
  };
  s.title.is_running = Running(kStandInTitle);
  s.title_result = [title_result] { return *title_result; };

  s.quit_confirm.start = [](GameTaskRec* owner) {
    StartStandIn(owner, kStandInQuitConfirm, {Action::kEnd, 0, nullptr});
  };
  s.quit_confirm.is_running = Running(kStandInQuitConfirm);

  s.ending.start = [](GameTaskRec* owner, int) {
    StartStandIn(owner, kStandInEnding, {Action::kEnd, 0, nullptr});
  };
  s.ending.is_running = Running(kStandInEnding);
  s.ending_prepare = [] {};

  s.scene.start = [](GameTaskRec* owner) {
    StartStandIn(owner, kStandInScene, {Action::kWait, 0, nullptr});
  };
  s.scene.is_running = Running(kStandInScene);
  s.scene_end = [] {
    CGameTask& list = Ctx().game_task;
    if (GameTaskRec* task = list.FindTask(kStandInScene)) list.DelTask(task);
  };
  s.scene_screen = [] {};
  s.scene_minigame = [] { return 0; };

  s.battle.start = [] {
    GameTaskRec* manager = Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName);
    StartStandIn(manager, kStandInBattle, {Action::kBattleWon, 0, nullptr});
  };
  s.battle.is_running = Running(kStandInBattle);

  s.minigame.start = [](int, int) { return 0; };
  s.minigame.is_running = [] { return false; };
  s.minigame_step = [] {};
  s.minigame_result = [] { return 0; };
}

}  // namespace testsupport
