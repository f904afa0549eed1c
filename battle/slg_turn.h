#pragma once
// Turn control: the battle's main task frame, the rounds and their turn order, the acting unit
// and its combination partner, the phase state of the main task's work block and the common
// end-of-action states, and the next-actor rule that passes the turn on.
//
// The phase state is byte 1 of the main task's work block (SlgMainWork::step); it changes only
// through Slg::SetPhaseState. The player phase and the enemy phase are the replaceable entries
// Battle().phases (battle/slg_turn_state.h); turn control calls one of them each frame for the
// acting unit.

#include <cstdint>

#include "battle/slg_start.h"
#include "battle/slg_turn_state.h"

struct SlgUnit;

// The common phase states.
constexpr uint8_t kSlgPhaseFree = 0;        // the acting unit's free state (the phase's own)
constexpr uint8_t kSlgPhaseExit = 3;        // waits for the fade, then leaves the battle
constexpr uint8_t kSlgPhaseStart = 15;      // a unit's turn starts: the camera goes to it
constexpr uint8_t kSlgPhaseAgain = 16;      // waits for units in unit state 15
constexpr uint8_t kSlgPhaseCommand = 17;    // goes to state 0
constexpr uint8_t kSlgPhaseFollowUp = 22;   // the acting unit's follow-up command
constexpr uint8_t kSlgNoPartner = 255;

// turnFlags bits.
constexpr uint16_t kTurnNewRound = 0x1;
constexpr uint16_t kTurnSameUnit = 0x4;
constexpr uint16_t kTurnActingChosen = 12;
constexpr uint16_t kTurnNoEvent = 0x8000;

// The script variable that receives the round number.
constexpr int kSlgRoundVar = 72;
// The script variable that chooses the heroine of the combination on maps 11-19.
constexpr int kSlgPairVar = 83;

inline constexpr const char* kSlgGameOverTaskName = "Slg::GameOver";
inline constexpr const char* kSlgGameWinTaskName = "Slg::GameWin";

// ---- The turn order ----
// Rebuilds Battle().order: every record in use with flag 0x100 gets an entry (slot, key = 255 -
// its speed byte - its trust level, 0 at least), sorted by key ascending; equal keys keep slot
// order.
void SlgBuildTurnOrder();
// The first order position after `after` whose unit is live, has flag 0x100 and lacks flag
// 0x20; -1 when none.
int SlgNextActorPos(int after);

// ---- The combination partner ----
// Whether the map's pairing rule accepts heroine `h` (battle map from the system data, trust
// from the script variables).
bool SlgPairingAccepts(const SlgUnit& h);
// The combination partner of the acting unit `unit` (a side-0 unit): the hero acting, the first
// diagonal neighbour (offsets (48, -24), (48, 24), (-48, 24), (-48, -24)) of side 0 with full
// kiai, the hero's kiai full too, that the pairing rule accepts; a heroine acting, her own slot
// when the first such neighbour is the hero and the rule accepts her. kSlgNoPartner otherwise.
uint8_t SlgFindComboPartner(const SlgUnit& unit);

// ---- The main task ----
// One frame of "Slg::SlgMainTask" on its work block: turnFlags, turn control (unless
// SlgTurnHold), the event check, the unit updates (through Battle().update_index, so that a
// removal during the pass skips nobody), the order numbers, the map, SlgFirstFrame := 0.
void SlgMainFrame(SlgMainWork* work);
// Turn control's frame: the cursor (the mouse position in the option menu's state 13), the
// cursor cell, the mouse cursor under SlgFlags bit 3; a new round once the order position
// passes the order (one record left: "Slg::GameOver" and the main task stopped; the dead
// purged, round + 1 into P[72], the order rebuilt, its first unit that may act, state 15);
// SlgLost: "Slg::GameOver" and the main task stopped; then the acting unit's phase entry.
void SlgTurnControl(SlgMainWork* work);
// The common end-of-action states 3, 15, 16, 17 and 22 for the phase state of `work`; whether
// the state was one of them (the phases run them for those states).
bool SlgCommonPhaseState(SlgMainWork* work);

namespace Slg {

// Clears SlgPhaseSub, writes `state` into byte 1 of the work block and clears SlgFlags bit 0,
// then the state's entry action: 2 camera to the acting unit; 11 closes the face window and
// remembers the acting unit; 17 and 21 close the face window. A null block only traces.
void SetPhaseState(SlgMainWork* work, uint8_t state);
// The next-actor rule after an action: with SlgActionsLeft non-zero the same unit goes on
// (partner and command window again for a side-0 unit, turnFlags bit 2) in state 16; else its
// unit state becomes 0 and, unless it has flag 0x800, the next unit of the order acts (state
// 15; none left: the order position passes the end, so the next frame starts a round); with flag
// 0x800 state 16.
void NextActor(SlgMainWork* work);
// The acting unit loses its turn without acting on: the next unit of the order that may act
// becomes the acting one, or, with none left, the order position passes the end so that the next
// frame starts a round (no unit acting meanwhile); phase state 15 in `work` when there is one.
// Turn control calls it when the acting unit has gone during its turn.
void PassTurn(SlgMainWork* work);
// Makes order position p the acting unit (-1: none, the order position back to the one before
// the last choice): SlgActionsLeft 2, SlgActionDone 0, the target count 0; a side-0 unit gets its
// combination partner, command window, command table and trust bonus; the stat totals, the
// camera and turnFlags |= 12. A position outside the order only traces.
void SetActingUnit(int p);
// The current unit number back to its saved copy: state.acting_copy1 := state.acting_copy2 (the
// copy SetActingUnit writes with it; the player phase clears the current one each frame). The
// acting unit, the previous one and the order position stay as they are.
void ResetCurrentUnit();
// Starts "Slg::GameWin" (the event scripts' victory): the main task stopped, a 64-frame fade
// out drawing the map, then the lost-battle word cleared and the battle left (mode 28). Traced
// and not started while a victory or a game over is under way, or after the battle has handed
// back: the first outcome decides the battle.
void StartGameWin();
// The retry road of a lost battle: SlgRetry := 1, the trust variables as they were at the
// battle's start, and the same map started again (Slg::SwitchStage).
void RetryStage();
// The map cursor's frame (turn control, with SlgFlags bit 0): the pointer moves by the mouse or
// the keys; with `screen_only` it stays within the screen, else it scrolls the map at the edges
// of the central box; the cursor point and focus follow the cell under it, passing over cells
// of the second grid with bit 0x800 (battle/slg_cursor.cpp).
void MoveCursor(uint32_t screen_only);
// Releases the blink animation when the face window is open; no unit shown, the window closed.
void CloseFaceWindow();

}  // namespace Slg
