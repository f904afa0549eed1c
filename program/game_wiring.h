#pragma once
// The composition root's wiring of the game into the engine: the game's hooks for the spine and
// the real entries of the game's sequences. The program (main.cpp) and the whole-program test
// driver (testsupport/program_driver.h) both wire the game this way.

#include <span>

#include "battle/battle_extension.h"
#include "engine/app/game_hooks.h"

class CDebugMenu;
struct GameSequences;

// The game's start-up and frame hooks: the install check, the boot, and the debug menu's reset
// and frame hook (of `menu`, which must outlive the spine's run).
GameHooks MakeGameHooks(CDebugMenu& menu);

// Fills every sequence entry with its real start and is-running functions, and the debug menu's
// close with `menu`'s. Entries filled before (a test's fakes) are replaced.
void WireGameSequences(GameSequences& sequences, CDebugMenu& menu);

// ---- The minigames ----
// Fills the minigame entries (start, is-running, the per-frame step of "mg_task", the result)
// with the framework's MiniGameStart, MiniGameIsRunning, MiniGameTask and MiniGameResult. The
// entries need a current MinigameContext (the program's, or a test's); with none a start is
// refused (0) and the others do nothing. WireGameSequences calls it.
void WireMinigameSequences(GameSequences& sequences);

// ---- The battle ----
// Fills the battle entry (the mode manager's mode 26) with Slg::StartStage. Each start makes a fresh BattleContext current, held by the entry until the
// next battle (a battle still built then is torn down first); when a BattleContext other than
// the entry's is current (a test's), that one is used. is_running: a battle task (init, main,
// stage switch) runs. WireGameSequences calls it.
void WireBattleSequence(GameSequences& sequences);
// Registers the installers of the libraries that extend the battle core (the attack effects,
// then the battle events: battle/battle_extension.h), so that every battle context runs them.
// The program calls it once at its start; registering again changes nothing. The headless
// program driver does not: whole-program tests run the core with its stand-ins unless they
// register the installers they want.
void RegisterBattleExtensions();
// The installers RegisterBattleExtensions registers, in its order (a whole-program test
// registers them for its own scope).
std::span<const BattleInstaller> BattleExtensionInstallers();
