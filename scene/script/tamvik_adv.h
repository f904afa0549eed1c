#pragma once
// The scene controller: one task "CTamvikAdv::AdvMain" per running scene, started by the
// game-mode manager in GM_ADV_WAIT. It shows the pointer, waits three frames, sets the screen up
// and starts the interpreter task "CTamvikMacro::DecodeMacro" (whose steps 0-2 are the scene
// start), then waits for the script's end code and hands the manager its next mode:
//
//   end code 2 (MINIGAME) -> mode 33, 5 (MACROEND) -> 32 GM_ADV_STAGE_CLEAR, 6 (FIGHT) -> 31.
//
// A scene that cannot start or whose script cannot go on (the interpreter's error state) is not
// left standing: the controller traces the file and the cause, shows them in an "ERROR" box,
// ends the scene as EndAdvMain does and asks for the title (mode 3); nothing is saved.
//
// It also holds the stop helpers the manager, the save path and the debug menu tear a scene down
// with. The end code and the minigame number live in the scene context (`Scene().adv`); the
// manager is reached through GameSequences (set_mode, reset_adv_screen, start_manager).

#include <cstdint>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"

struct SprAnm;

// The controller's and the scene start's state.
struct AdvRunState {
  // 0 while the scene runs; 2 minigame, 5 scene over, 6 battle.
  uint32_t end_code = 0;
  // The minigame the script asked for (with end code 2).
  uint32_t minigame_no = 0;
  // Scene 0x0108's idle timer (frames since the last command decoded).
  AnimeHandle idle_timer = nullptr;
  // The scene's background animation file (scenes 0x0900 and 0x0902) and its play handle.
  SprAnm* bg_file = nullptr;
  AnimeHandle bg_anime = nullptr;
};

class CTamvikAdv {
 public:
  static constexpr const char* kAdvMainName = "CTamvikAdv::AdvMain";
  static constexpr const char* kManagerTaskName = "CTamvikGeneral::GeneralManeger";
  // Modes requested from the manager.
  static constexpr int kModeTitle = 3;
  static constexpr int kModeAdvInit = 29;
  static constexpr int kModeBattle = 31;  // save before the battle, then the battle
  static constexpr int kModeStageClear = 32;
  static constexpr int kModeMinigame = 33;
  static constexpr int kModeLoadRestart = 37;
  // The mode of the manager that does nothing (a test can park the real manager in it).
  static constexpr int kModeIdle = 39;

  static uint32_t GetEndCode();
  static void SetEndCode(uint32_t code);
  static uint32_t GetMiniGameNo();
  static void SetMiniGameNo(uint32_t n);

  // Creates the controller task under the owner (the manager's task) with a zeroed work block.
  static void StartAdvMain(GameTaskRec* owner);
  static void AdvMain(GameTaskRec* task);
  // The ADV screen: layers 5-8 shown, 5-7 at scroll 0,0 with the picture area as their view,
  // the face blink, the NC set and the message window released, 5-8 cleared transparent, layer
  // 5 composed above layer 6.
  static void InitScreen();
  // Ends the interpreter and every task under it, hides the pointer, closes the message window.
  static void StopMacro();
  // With a controller running: stops the BGM, the voice and the effect, deletes every animation,
  // StopMacro, ends the controller and hides the pointer.
  static void EndAdvMain();
  // The debug stop: ADV byte 42 := 1, the interpreter ended, the message window closed; then
  // GM_ADV_LOAD_RESTART with a controller running, else GM_ADV_INIT (the manager started first
  // when it is absent).
  static void StopAdv();
};
