#pragma once
// The game context: the state the areas of the game share (the system and story state, the
// script variables, as they are built) and the sequence entries by which one area starts another
// (GameSequences). The program builds one at start beside the engine context and makes it
// current; a test builds a fresh one per case (testsupport::TestGame). Game code reaches it
// through Game(), as it reaches the engine through Ctx().
//
// Areas that keep large fixed state of their own (the battle) keep it in a context of their own
// in their own folder, made current the same way.

#include <array>
#include <cstdint>
#include <string>

#include "engine/core/current.h"
#include "game/game_sequences.h"
#include "game/macro_vars.h"
#include "game/system_data.h"

class GameContext {
 public:
  GameContext() = default;
  GameContext(const GameContext&) = delete;
  GameContext& operator=(const GameContext&) = delete;

  // The system data and story state blocks and the game fonts.
  CTamvikSystemData system_data;
  // The script variables and the interpreter's stacks.
  MacroVars macro;
  GameSequences sequences;
  // The game-mode manager's copy of the last title result (1 until a title has ended).
  uint32_t last_title_result = 1;

  // ---- The option menu ----
  // CTamvikOption's optionFlags (SetReturnMode), read when the option menu starts.
  uint32_t option_flags = 0;
  // ---- The save and load menus (flow/tamvik_bup.h) ----
  // The slot list the menus read (index = slot 1-21): the chapter of the scene following the
  // saved one (0 for an empty slot), whether the slot is used, and the file's time text (empty
  // when unknown); and the loaded flag (1 after a load handed control to the game-mode manager).
  struct BackupSlots {
    std::array<uint8_t, 22> used{};
    std::array<uint8_t, 22> chapter{};
    std::array<std::string, 22> time;
    uint8_t loaded = 0;
  };
  BackupSlots backup;
};

// The current game context. Calling it with none current is a programming error and aborts.
GameContext& Game();
// Whether a game context is current.
bool HasGame();

// Makes a game context current for its lifetime and restores the previous one afterwards.
using GameScope = Current<GameContext>::Scope;
