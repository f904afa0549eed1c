#pragma once
// The player phase: while the acting unit is a player unit, turn control runs SlgPlayerPhase once
// a frame (Battle().phases.player). It is a state machine on the phase state (byte 1 of the
// main task's work block, changed only through Slg::SetPhaseState): the free cursor with its
// information panel and shortcut keys, the command window and the choice from it, one command at
// a time (the handlers of battle/slg_commands.h), unit browsing, the whole-map view, the option
// menu, the system menu and the retry question. After each command the turn accounting
// (SlgActionsLeft, SlgActionDone, the command window's marks) and the next-actor rule decide who
// acts next. State: Battle().player.

#include <cstdint>

struct SlgMainWork;

// Phase states of the player phase.
constexpr uint8_t kSlgPlayerFree = 0;
constexpr uint8_t kSlgPlayerMove = 1;
constexpr uint8_t kSlgPlayerAttack = 2;
constexpr uint8_t kSlgPlayerBrowse = 6;
constexpr uint8_t kSlgPlayerWaitReady = 7;
constexpr uint8_t kSlgPlayerCharge = 8;
constexpr uint8_t kSlgPlayerHeal = 9;
constexpr uint8_t kSlgPlayerDefend = 10;
constexpr uint8_t kSlgPlayerViewRanges = 11;
constexpr uint8_t kSlgPlayerWholeMap = 12;
constexpr uint8_t kSlgPlayerOptions = 13;
constexpr uint8_t kSlgPlayerCover = 14;
constexpr uint8_t kSlgPlayerCommand = 17;
constexpr uint8_t kSlgPlayerBack18 = 18;
constexpr uint8_t kSlgPlayerEndTurn = 19;
constexpr uint8_t kSlgPlayerSpecial = 20;
constexpr uint8_t kSlgPlayerInfoRanges = 21;
constexpr uint8_t kSlgPlayerIdle = 23;
constexpr uint8_t kSlgPlayerBack24 = 24;
constexpr uint8_t kSlgPlayerCombination = 25;
constexpr uint8_t kSlgPlayerRetry = 26;
constexpr uint8_t kSlgPlayerSystemMenu = 28;
constexpr uint8_t kSlgPlayerUndo = 29;

// The option menu's return mode from the battle (no item row, no load choice).
constexpr uint32_t kSlgOptionReturnMode = 0x110;

// One frame of the player phase for the main task's work block: the acting copy slot cleared,
// the phase state's work, then the event check while no event runs.
void SlgPlayerPhase(SlgMainWork* work);

// The state the shortcut keys pressed this frame choose, in their order: key 10 attack (2) when
// the attack column is available; key 9 move (1) when the move column is, or undo (29) after a
// move; key 13 the whole-map view (12); key 14 (18); key 11 defend (10) and key 12 charge (8)
// when the unit-command column and that entry are available. -1: none.
int SlgShortcutState();
// The state OK chooses in the command window: the command table's cell at the window's column
// and sub-selection, 29 for a move after moving; 255 (keep the window open) for an empty cell.
int SlgCommandChoice();

namespace Slg {

// The whole-map view on SlgPhaseSub; 1 once it has closed, else 0.
int WholeMapView();
// Unit browsing on SlgPhaseSub; 1 once it has ended, else 0.
int BrowseUnits();
// The option menu from the battle on SlgPhaseSub; 1 once the menu has ended, else 0.
int BattleOptionMenu();
// The next (step 1) or previous (step -1) unit after `from` in slot order with flag 0x1000 that
// is live, wrapping; each record is looked at once, so with none `from` is returned.
uint16_t WholeMapNextUnit(uint16_t from, int step);

}  // namespace Slg
