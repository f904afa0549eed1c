#pragma once
// The game's mouse pointer and command icons, both animations of sprite files that follow the
// mouse.
//
// - The pointer task "CTamvikIcon::MouseCursorSeq" runs for the whole game: it loads
//   "tamvik1\system\icon\point.spr" once, hides the system cursor and plays animation 0 on the
//   back buffer (surface 2) at the mouse, moving it every frame without asking for a compose
//   (steps 0-2); step 3 ends it with the system cursor shown again.
// - The icon task "CTamvikIcon::IconSeq" runs while a click wait waits: it shows the icon asked
//   for at the pointer on surface 8, with an appearing (code - 2), a vanishing (code - 1) and a
//   steady (code) animation per command icon of "tamvik1\system\icon\icon2.spr" (codes 3, 6,
//   ..., 21; 0 the neutral icon; 99 none). Animation 22 of the same file is the key-wait icon.
//
// The state (the files, the animation handles and the current code) lives in the scene context
// (`Scene().icon`).

#include <cstdint>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"

struct SprAnm;

// What the pointer and the icons hold; all zero at first.
struct TamvikIconState {
  uint8_t code = 0;                    // icon code shown or asked for; 99 none
  SprAnm* icon_file = nullptr;         // icon2.spr
  AnimeHandle icon_anime = nullptr;    // the playing command icon
  AnimeHandle wait_icon = nullptr;     // the playing key-wait icon
  SprAnm* pointer_file = nullptr;      // point.spr
  AnimeHandle pointer_anime = nullptr;  // the playing pointer
};

// The icon task's work block.
struct IconSeqWork {
  uint8_t step = 0;
  uint8_t shown = 0;  // the animation shown (a code, or the appearing / vanishing number)
  uint8_t next = 0;   // the icon to appear after the one vanishing
  uint32_t start = 0; // game clock (ms) at the task's start
};

class CTamvikIcon {
 public:
  static constexpr const char* kMouseCursorTaskName = "CTamvikIcon::MouseCursorSeq";
  static constexpr const char* kIconTaskName = "CTamvikIcon::IconSeq";
  static constexpr const char* kIconFile = "tamvik1\\system\\icon\\icon2.spr";
  static constexpr const char* kPointerFile = "tamvik1\\system\\icon\\point.spr";
  static constexpr uint8_t kNoIcon = 99;
  static constexpr uint32_t kWaitIconAnimation = 22;

  // ---- The pointer ----
  // Creates the pointer task (no owner, a zeroed 16-byte work block) unless it exists: 1
  // started, 0 when it exists already.
  static int StartMouseCursorSeq();
  // Sets the pointer task's step to 3: it ends on its next frame.
  static void EndMouseCursorSeq();
  // Whether the pointer task exists.
  static bool IsMouseCursorSeq();
  // While the pointer task runs: the system cursor hidden and, unless it plays, the pointer
  // animation started at the mouse.
  static void ShowMouseCursor();
  // While the pointer task runs: the pointer animation released (nothing drawn until
  // ShowMouseCursor).
  static void HideMouseCursor();
  static void MouseCursorSeq(GameTaskRec* task);

  // ---- The command icons ----
  // (Re)loads icon2.spr: 1 loaded, 0 not.
  static int LoadIconSpr();
  // Releases the icon animations and the icon file.
  static void ReleaseIcon();
  // Creates the icon task (current code 99), turns key-mouse mode on and hides the system cursor
  // and the pointer: 1; 0 with a trace when the task exists already.
  static int StartIconSeq();
  // Ends the icon task (its function cleared), releases the icon animation, turns key-mouse mode
  // off and shows the system cursor and the pointer.
  static void EndIconSeq();
  // Asks for an icon code; how it shows depends on the icon task's step.
  static void SetIcon(uint8_t code);
  static uint8_t GetIconCode();
  // The icon task runs (one whose function was cleared does not count).
  static bool IsIconSeq();
  static void IconSeq(GameTaskRec* task);

  // The key-wait icon: animation 22 at (320, 440) on surface 8, looping.
  static void ShowWaitIcon();
  static void HideWaitIcon();
};
