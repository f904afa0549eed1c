#pragma once
// The entries by which one area of the game starts another's sequence: the save and option
// menus, the extras, the eyecatch, the battle and the minigames. An area never calls another
// area's code directly; it calls the entry here. The program's composition root (program/)
// fills each entry with the real sequence once that sequence is built; tests replace entries
// with fakes. An entry nobody filled does nothing: Start traces that the sequence is not there
// and gives a zero result, IsRunning answers false.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/debug_trace.h"

class AdvState;
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
  // The save and load menu of the story: owner task, save mode (CTamvikBup::StartAdvSaveMenu; the
  // eyecatch passes 1). is_running: the task "CTamvikBup::AdvSaveMenu" exists (not
  // CTamvikBup::IsAdvSaveMenuEnd).
  GameSequence<void(GameTaskRec* owner, int save_mode)> save_menu{"save menu"};
  // The option menu: owner task.
  GameSequence<void(GameTaskRec* owner)> option_menu{"option menu"};
  // The extras (movie, sound and picture tests): owner task, which of them.
  GameSequence<void(GameTaskRec* owner, int which)> extras{"extras"};
  // The eyecatch inside a chapter (CTamvikIcat::StartIcat_SvCnt, a task without an owner, null
  // when it could not start); is_running: CTamvikIcat::IsIcat_SvCnt.
  GameSequence<GameTaskRec*()> eyecatch{"eyecatch"};
  // The battle of the stage chosen before; its exit hands back with game mode 28.
  GameSequence<void()> battle{"battle"};
  // A minigame: game number, mode; 1 started, 0 not. is_running: a minigame runs.
  GameSequence<int(int game, int mode)> minigame{"minigame"};
  // The minigame framework's per-frame step (the function of the task "mg_task").
  std::function<void()> minigame_step;
  // The result of the last minigame for the script.
  std::function<int()> minigame_result;

  // ---- What the game-mode manager starts; each hands back by setting the next mode ----
  // The boot save check (sets 15).
  GameSequence<void(GameTaskRec* owner)> save_check{"boot save check"};
  // The maker-logo sequence: form 0 the logo, 1 the staff card (both set 5, or 3).
  GameSequence<void(GameTaskRec* owner, int form)> logo{"maker logo"};
  // The opening movie (sets 3).
  GameSequence<void(GameTaskRec* owner)> opening{"opening"};
  // The title; it leaves its result (1-7, 0 while it runs) for title_result.
  GameSequence<void(GameTaskRec* owner)> title{"title"};
  std::function<int()> title_result;
  // The save offer between scenes (sets 38).
  GameSequence<void(GameTaskRec* owner)> save_offer{"save offer"};
  // The quit confirmation; the program quits from there when the player confirms.
  GameSequence<void(GameTaskRec* owner)> quit_confirm{"quit confirmation"};
  // The ending: ending number. ending_prepare sets its screen up before it starts.
  GameSequence<void(GameTaskRec* owner, int ending)> ending{"ending"};
  std::function<void()> ending_prepare;
  // The scene controller: started under the owner (sets 31, 32 or 33 when the scene ends);
  // scene_end ends it, scene_screen sets the layers up for story scenes, scene_minigame is the
  // minigame number the script asked for.
  GameSequence<void(GameTaskRec* owner)> scene{"scene controller"};
  std::function<void()> scene_end;
  std::function<void()> scene_screen;
  std::function<int()> scene_minigame;

  // ---- The game-mode manager, for the scene engine (which stands below the flow) ----
  // CTamvikGeneral::SetMode (1, or 0 without a manager task), ResetAdvScreen and StartManager.
  std::function<int(int mode)> set_mode;
  std::function<void()> reset_adv_screen;
  std::function<void()> start_manager;

  // ---- The developer debug menu ----
  // Clears the text of the debug menu's windows and deletes them (the game restart calls it;
  // harmless when the menu was never opened).
  std::function<void()> debug_menu_close;

  // ---- The option menu's return mode (PRINT's menu key) ----
  // CTamvikOption::SetReturnMode: the mode the option menu returns with. option_menu above is
  // StartOptionMenu (owner) and, negated, IsOptionMenuEnd ("CTamvikOption::OptionMenu" exists).
  std::function<void(uint32_t mode)> option_return_mode;

  // ---- The scene engine's judgement of a saved story state (the save files' reads) ----
  // Why the scene start could not run the saved state (bit 15 of its scene code clear): empty
  // when it can (CTamvikMacro::SavedSceneFault). A save it refuses reads as a damaged one.
  // Unfilled: every state is taken.
  std::function<std::string(const AdvState& saved)> saved_scene_fault;

  // ---- The slot menu's loaded flag (the option menu's and the title's load) ----
  // CTamvikBup::IsLoaded (1 after a load handed control to the manager) and ClearLoaded; the
  // option menu and the title read and clear it when their load menu has ended. Unfilled: never
  // loaded.
  std::function<bool()> save_menu_loaded;
  std::function<void()> save_menu_clear_loaded;
};
