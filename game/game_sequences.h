#pragma once
// The entries by which one area of the game starts another's sequence: the save and option
// menus, the extras, the eyecatch, the battle and the minigames. An area never calls another
// area's code directly; it calls the entry here. The program's composition root (engine/app/main)
// fills each entry with the real sequence once that sequence is built; tests replace entries
// with fakes. An entry nobody filled does nothing: Start traces that the sequence is not there
// and gives a zero result, IsRunning answers false.

#include <functional>

#include "engine/core/debug_trace.h"

struct GameTaskRec;

template <class Signature>
struct GameSequence;

// A start entry with its companion "is it running" query.
template <class Result, class... Args>
struct GameSequence<Result(Args...)> {
  explicit GameSequence(const char* sequence_name) : name(sequence_name) {}

  const char* name;
  std::function<Result(Args...)> start;
  std::function<bool()> is_running;

  Result Start(Args... args) const {
    if (!start) {
      DebugPrint("GameSequences: %s is not there\n", name);
      return Result();
    }
    return start(args...);
  }
  bool IsRunning() const { return is_running ? is_running() : false; }
};

struct GameSequences {
  // The save and load menu of the story: owner task, save mode.
  GameSequence<void(GameTaskRec* owner, int save_mode)> save_menu{"save menu"};
  // The option menu: owner task.
  GameSequence<void(GameTaskRec* owner)> option_menu{"option menu"};
  // The extras (movie, sound and picture tests): owner task, which of them.
  GameSequence<void(GameTaskRec* owner, int which)> extras{"extras"};
  // The eyecatch between scenes: owner task, its number.
  GameSequence<void(GameTaskRec* owner, int number)> eyecatch{"eyecatch"};
  // The battle of the stage chosen before.
  GameSequence<void()> battle{"battle"};
  // A minigame: game number, mode; 1 started, 0 not.
  GameSequence<int(int game, int mode)> minigame{"minigame"};
};
