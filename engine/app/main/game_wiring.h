#pragma once
// The composition root's wiring of the game into the engine: the game's hooks for the spine and
// the real entries of the game's sequences. The program (main.cpp) and the whole-program test
// driver (testsupport/program_driver.h) both wire the game this way.

#include "engine/app/game_hooks.h"

class CDebugMenu;
struct GameSequences;

// The game's start-up and frame hooks: the install check, the boot, and the debug menu's reset
// and frame hook (of `menu`, which must outlive the spine's run).
GameHooks MakeGameHooks(CDebugMenu& menu);

// Fills every sequence entry with its real start and is-running functions (stand-ins for the
// sequences not built yet), and the debug menu's close with `menu`'s.
void WireGameSequences(GameSequences& sequences, CDebugMenu& menu);
