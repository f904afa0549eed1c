#pragma once
// The eyecatch: the intermission inside a chapter. The screen fades to the chapter's eyecatch
// picture, the eyecatch music plays and a small window at the upper right turns over to a
// three-entry menu: save the game (the save menu of the game flow, reached through
// GameSequences), the members' status (the trust panel) and back to the story. It runs as the
// task "CTamvikIcat::Icat_SvCnt" without an owner; its callers (the script's EYECATCH and the
// game flow's save offer) poll IsIcat_SvCnt and rebuild the scene themselves. The object lives in
// the scene context; the window, the face file and the animations exist only while the task runs.

#include <array>
#include <cstdint>
#include <string>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"
#include "engine/gfx/gfx_types.h"

struct SprUnit;
struct WindowRec;

class CTamvikIcat {
 public:
  static constexpr const char* kTaskName = "CTamvikIcat::Icat_SvCnt";
  static constexpr const char* kFaceFile = "tamvik1\\icatch\\ic01.spr";
  static constexpr const char* kTrustPicture = "tamvik1\\icatch\\shinrai.spr";
  static constexpr const char* kSavePicture = "tamvik1\\system\\sis_bg.spr";
  static constexpr const char* kBgmDirectory = "tamvik1\\bgm\\";
  static constexpr const char* kBgmName = "sm01";
  static constexpr const char* kTrustTaskName = "CTamvikTrust::CheckKaoPanel";

  // The window: frame, inner and text rectangles (screen pixels) on surface 8; faces 224 x 256.
  static constexpr Rect kFrame{368, 32, 592, 288};
  static constexpr Rect kInner{376, 40, 584, 280};
  static constexpr int kFaceWidth = 224;
  static constexpr int kFaceHeight = 256;
  static constexpr ColorRef kBaseColor = 0xFFFF00;
  static constexpr ColorRef kEntryColor = 0x0F0F0F;
  static constexpr ColorRef kSelectedColor = 0x4040F0;
  static constexpr int kEntryX = 38;
  static constexpr int kEntryY = 48;
  static constexpr int kEntryPitch = 48;
  static constexpr int kEntries = 3;
  static constexpr uint8_t kNoSelection = 3;

  // Logical keys and system sounds the menu uses.
  static constexpr int kKeyDecide = 0, kKeyUp = 5, kKeyDown = 6;
  static constexpr int kSeReopen = 1, kSeConfirm = 2, kSeMove = 3, kSeDecide = 4, kSeRefused = 5;

  // The task's state (its extra block).
  struct State {
    uint8_t selection;   // 0-2; 3 none
    uint8_t menu_shown;  // the window shows its open face and the menu
    uint8_t sub_step;    // step of the open and return routines
    uint8_t save_locked; // bit 1 of system-data word 76: the save entry is refused
  };

  CTamvikIcat();
  ~CTamvikIcat();
  CTamvikIcat(const CTamvikIcat&) = delete;
  CTamvikIcat& operator=(const CTamvikIcat&) = delete;

  // Hides layers 5-8, resets layers 5-7 (position, scroll, 640 x 480), clears surfaces 5 and 8
  // to colour 1, closes the message window, puts layer 6 above layer 5, shows layer 8 and
  // creates the task without an owner. The task, or null when it could not be made.
  static GameTaskRec* StartIcat_SvCnt();
  // The task exists.
  static bool IsIcat_SvCnt();
  static void Icat_SvCnt(GameTaskRec* task);

  // The menu text of entry i (0-2) in the game's two-byte text.
  const std::string& MenuText(int i) const { return texts_[static_cast<size_t>(i)]; }

  // ---- The routines of the task ----
  // Makes the window when there is none and copies face 1 (menu shown) or 0 of ic01.spr into
  // its background piece.
  void DrawFace(const State& state);
  // The three entries when the menu is shown (the selected one in its colour), else the text
  // area cleared.
  void DrawMenu(const State& state);
  // The mouse (when it moved) or the up and down keys; selection + 1 when it changed, else 0.
  int MenuInput(State& state);
  // The hit area of entry i (the window's text rectangle narrowed to the entry's band).
  static Rect EntryHitArea(int i);
  // Closing the window onto a sub-screen's picture by sub-step; true when done.
  bool OpenSubScreen(State& state, const char* picture);
  // The eyecatch picture back by sub-step; true when done.
  bool ReturnFromSubScreen(State& state);

  WindowRec* window() const { return window_; }
  // Whether the window, the face file, the timer or the window animation are held.
  bool HoldsAnything() const;

 private:
  void Step(GameTaskRec* record);
  void StartTurn(int from, int to);
  void StartOpen(int from, int to);
  void UpdateAll();
  void StartPointer();
  void EndTimer();
  // Steps 93-94 after the state could not be made, and the normal end: the face left in the
  // picture, everything released.
  void Finish();

  std::array<std::string, kEntries> texts_;
  SprUnit* face_file_ = nullptr;
  AnimeHandle timer_ = nullptr;
  AnimeHandle window_anime_ = nullptr;
  WindowRec* window_ = nullptr;
};
