#pragma once
// The battle's start and exit: the entry the mode manager calls in its battle mode
// (Slg::StartStage), the initialisation task and its machine (built over several frames behind
// the loading picture), the main task's start and stop, the teardown, the exit back to the mode
// manager (Slg::ExitSlg, mode 28) and the switch to another stage of the same battle.
//
// The words they write live in BattleContext (`control`, `face`, `running`, `flags`, ...); the
// battle map and the lost-battle word in the game's system data, where the mode manager reads
// them. The mode is requested through GameSequences::set_mode, so nothing here includes the game
// flow.

#include <cstdint>

#include "battle/slg_start_state.h"
#include "engine/core/step_task.h"

// The battle maps are 0 .. kSlgMapCount - 1.
constexpr uint32_t kSlgMapCount = 27;
// The mode the exit requests (GM_SLG_RET).
constexpr int kSlgReturnMode = 28;

inline constexpr const char* kSlgInitTaskName = "Slg::SlgInitTask";
inline constexpr const char* kSlgExchangeTaskName = "Slg::_exchangeStage";
inline constexpr const char* kSlgExchangeNofadeTaskName = "Slg::_exchangeStageNofade";

// The main task's 16-byte work block; byte 1 is the phase state (Slg::SetPhaseState).
struct SlgMainWork {
  uint8_t form;
  uint8_t step;
  uint8_t bytes[14];
};
static_assert(sizeof(SlgMainWork) == 16, "the main task's work block is 16 bytes");
// The phase state the main task starts in.
constexpr uint8_t kSlgMainFirstState = 17;

// The main task's frame (SlgMainFrame, battle/slg_turn.h).
void SlgMainTask(GameTaskRec* record);
inline constexpr StepTaskKind<SlgMainWork> kSlgMainTask{"Slg::SlgMainTask", &SlgMainTask};

// The memory tier (0-3) of a physical memory size in bytes: up to 128 MiB 0, up to 192 MiB 1,
// up to 224 MiB 2, above 3.
uint32_t SlgMemoryTierOf(uint64_t bytes);

// Writes Battle().control.command_table for the acting player unit: row 1 is (20, 2, 255)
// without a combination partner and (25, 20, 2) with one.
void SlgWriteCommandTable(bool with_partner);

// One step of the initialisation machine (Battle().control.init_step); 1 when the battle is
// built (after step 6), else 0.
int SlgInitMachineStep();

// Releases what the battle built, in order: the event check, the units' sprites, the command
// windows and the system sprites' animations, the system sprite files (only while `running` is
// 0), every engine animation and sprite-buffer entry, the map planes, think data and text
// tables; then a 32-frame fade in, the layers restored, the BGM stopped and its volume at 100.
// Nothing (a trace) when nothing is built: before the machine's step 0 or a second time.
void SlgTeardown();

namespace Slg {

// Clears SlgOrderMarks. For battle maps 0-26 starts the task "Slg::SlgInitTask" under the mode
// manager's task and hides the mouse pointer. A map of 27 or more is traced ("Slg::Stage Init
// Fail! StageNo:%d") and handed back at once through ExitSlg (mode 28; the lost-battle word is
// left as it is, nothing is torn down twice).
void StartStage();
// Ends the main task: clears the function of "Slg::SlgMainTask", so that the list frees it on
// its next pass, and forgets its work block.
void StopMainTask();
// Ends the main task, clears `running` and SlgRetry, tears the battle down, sets the ADV screen
// up again and requests mode 28 ("NextMode=GM_SLG_RET"). A second call only traces.
void ExitSlg();
// Stores `map` as the battle map, ends the main task and starts "Slg::_exchangeStage" (maps 17
// and 22-25: a 32-frame fade out first) or "Slg::_exchangeStageNofade" (the others: at once)
// under the battle's task owner; that tears the battle down (keeping the system sprites and the
// static sound bank, `running` staying 1), stops all sound and starts the stage again.
void SwitchStage(int map);

}  // namespace Slg
