#pragma once
// What the program's spine calls in the game: the game's part of start-up and of each frame. The
// composition root (program/) fills the record with the game's functions and hands it to
// WinMain or AppStart; the engine itself never names the game. An empty entry does nothing (the
// install check then counts as passed, the debug hook lets the task list run).

#include <functional>

struct GameHooks {
  // Before the window opens: reads the install settings. 1 installed; 0 missing, after its own
  // box and its exit status (the program then ends before any window).
  std::function<int()> check_install;
  // Once the engine services run: boots the game (its top task and what it loads first).
  std::function<void()> boot;
  // At start-up, before the sound opens: resets the debug menu.
  std::function<void()> debug_reset;
  // Every frame before the task list; the task list runs only when it returns 0.
  std::function<int()> debug_frame;
};
