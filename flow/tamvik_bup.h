#pragma once
// The save and load sequences: the boot save check, the save offer between story stages and the
// slot menu that loads, saves, copies and deletes the save files (game/save_files.h). Each is a
// step machine on the task list. The slot list and the loaded flag live in the game context
// (GameContext::backup); the menu's sprite files, windows and animations live in its task's extra
// block and go with the task, whatever ends it (docs/game.md "The save and load menus").

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"
#include "engine/core/step_task.h"
#include "engine/gfx/gfx_types.h"

struct SprAnm;
struct WindowRec;

// The 16-byte work block of the three tasks: byte 0 the result byte of the slot menu (1 once it
// has closed), byte 1 the step.
struct BupWork {
  uint8_t result;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(BupWork) == 16);

// The slot menu's extra block (zero at creation; the mode in its fourth byte), then the handles
// it holds while it runs.
struct SaveMenuExtra {
  uint8_t reserved[3];
  uint8_t saveMode;       // 0 load menu, 1 save menu
  uint8_t menuState;      // 2 load, 3 save, 4 copy source, 5 copy destination, 6 delete
  uint8_t previousState;  // the state a copy or delete returns to
  uint8_t subStep;        // step of the menu routine
  uint8_t cursor;         // slot 1-20
  uint8_t row;            // 1-4, the cursor's row on the page
  uint8_t pageTop;        // 0-16, the slot before the first visible row
  uint8_t scrollButton;   // 0 none, 1-4 the scroll button under the mouse
  uint8_t copyFrom;
  uint8_t copyTo;
  uint8_t choice;      // selector: 0 none (the list), 1 copy, 2 delete, 4 no slot used, 5 likewise
  uint8_t selectable;  // bit 0 only used slots, bit 1 the selector cannot be reached
  uint8_t yesNo;       // 0 none, 1 "是", 2 "否"
  uint16_t message;    // message number
  uint8_t messageStep;
  // ---- The menu's own state beyond the fields above ----
  uint8_t failed;      // the last operation failed (its message is a failure message)
  uint16_t heldFrames; // frames the up or down key has been held
  uint8_t heldKey;     // which of them (5, 6), 0 none
  uint8_t nextState;   // the state the menu reopens in after the title and selector close
  uint8_t dirty;       // bit 0 the list, bit 1 the selector need drawing
  SprAnm* system_file;
  SprAnm* icon_file;
  WindowRec* windows[5];
  AnimeHandle window_animes[5];
  AnimeHandle row_icons[4];
  AnimeHandle scroll_icon;
  uint8_t scroll_icon_button;  // the button scroll_icon shows (1-4)
  uint8_t rows_shown;          // row_icons reflect the current page
};
static_assert(offsetof(SaveMenuExtra, saveMode) == 3);

class CTamvikBup {
 public:
  static constexpr const char* kBkupCheckName = "CTamvikBup::BkupCheck";
  static constexpr const char* kSaveMasterName = "CTamvikBup::SaveMasterCtrl";
  static constexpr const char* kSaveMenuName = "CTamvikBup::AdvSaveMenu";
  static constexpr const char* kSystemFile = "tamvik1\\system\\sistem.spr";
  static constexpr const char* kIconFile = "tamvik1\\system\\sis_icon.spr";

  // The slots the menus show (1-20) and the boot check counts (1-21).
  static constexpr int kMenuSlots = 20;
  static constexpr int kCheckedSlots = 21;
  static constexpr int kChapters = 10;
  static constexpr int kRows = 4;
  static constexpr int kLastPageTop = 16;

  // The five windows (screen rectangles): index into SaveMenuExtra::windows.
  enum WindowIndex { kListWindow, kTitleWindow, kQuestionWindow, kMessageWindow, kSelectorWindow };
  struct WindowRects {
    Rect outer;
    Rect inner;
  };
  static constexpr WindowRects kWindowRects[5] = {
      {{24, 64, 616, 400}, {32, 72, 608, 392}},
      {{32, 8, 384, 56}, {40, 16, 376, 48}},
      {{32, 408, 320, 456}, {40, 416, 312, 448}},
      {{64, 400, 576, 448}, {72, 408, 568, 440}},
      {{320, 410, 608, 470}, {328, 418, 600, 462}},
  };
  static constexpr int kWindowStyle = 8;
  static constexpr ColorRef kBaseColor = 0xFFFF00;
  static constexpr ColorRef kTextColor = 0x0F0F0F;
  static constexpr ColorRef kSecondColor = 0xC0C0C0;
  static constexpr ColorRef kHighlightColor = 0x4040F0;

  // Mouse rectangles (screen): row n (1-4) label and bar, the scroll buttons 1-4 (row up, page
  // up, page down, row down), the selector's two buttons.
  static Rect RowLabelRect(int row);
  static Rect RowBarRect(int row);
  static constexpr Rect kScrollButtons[4] = {
      {572, 78, 598, 104}, {572, 110, 598, 136}, {572, 328, 598, 354}, {572, 360, 598, 386}};
  static constexpr Rect kSelectorButtons[2] = {{352, 424, 448, 456}, {480, 424, 576, 456}};

  // The icon animations of sis_icon.spr: a row's icon by what its slot holds, and each scroll
  // button's while the mouse is over it.
  struct IconTable {
    uint32_t used_row;
    uint32_t used_cursor_row;
    uint32_t empty_row;
    uint32_t empty_cursor_row;
    uint32_t scroll[4];
  };
  static constexpr IconTable kIcons{0, 1, 2, 3, {4, 5, 6, 7}};

  // Message numbers beside the game's own (7 saved, 8 deleted, 9 copied): the failures.
  static constexpr uint16_t kMessageSaved = 7, kMessageDeleted = 8, kMessageCopied = 9;
  static constexpr uint16_t kMessageSaveFailed = 10, kMessageLoadFailed = 11,
                            kMessageCopyFailed = 12, kMessageDeleteFailed = 13;

  // ---- The boot save check and the save offer ----
  // The boot save check under `owner`: in its one frame saveFlags := 0, bit 0 set when none of
  // slots 1-21 is used, SetMode(15), end.
  static void StartBkupCheck(GameTaskRec* owner);
  // Counts the used slots among 1-21 and sets bit 0 of saveFlags when there is none, else
  // clears it (the other bits stay).
  static void RefreshNoSaveFlag();
  // The save offer under `owner`: the eyecatch (GameSequences::eyecatch) with its save menu;
  // once it ended a fade to black, surface 4 black, the ADV screen set up and the pointer hidden;
  // SetMode(38), the end, and the picture back at once.
  static void StartSaveMasterCtrl(GameTaskRec* owner);
  static void BkupCheck(GameTaskRec* task);
  static void SaveMasterCtrl(GameTaskRec* task);

  // ---- The slot menu ----
  // Traces "SetTask CTamvikBup::AdvSaveMenu", clears the loaded flag and starts the menu under
  // `owner` in load (0) or save (1) form.
  static void StartAdvSaveMenu(GameTaskRec* owner, int save_mode);
  // No slot-menu task exists.
  static bool IsAdvSaveMenuEnd();
  // The loaded flag: 1 after a load has handed control to the game-mode manager.
  static int IsLoaded();
  static void ClearLoaded();
  static void AdvSaveMenu(GameTaskRec* task);

  // Reads the chapter (of the scene following the saved one) and the time text of slots 1-21.
  static void ReadSlotList();
  // The chapter byte of slot n from the last ReadSlotList; 0 for an empty or unknown slot.
  static int GetSlotChapter(int n);
  // The time text of slot n from the last ReadSlotList; empty when unknown.
  static std::string GetSlotTime(int n);

  // ---- Texts (Big5) ----
  // The title by menu state, the question by state, a message by number, the chapter label and
  // title (chapters 1-10; empty outside), the slot line and the empty-slot text.
  static std::string TitleText(int state);
  static std::string QuestionText(int state);
  static std::string MessageText(int number);
  static std::string ChapterLabel(int chapter);
  static std::string ChapterTitle(int chapter);
  static std::string SlotLine(int slot);
  static std::string EmptySlotText();
  // The selector's entry 0 or 1: "複製" / "刪除", or "是" / "否" for the confirmation.
  static std::string SelectorText(bool yes_no, int entry);

  // The mode to go on with after a load or a save: 29 for scene 0x109 (clearing
  // savedBeforeBattle), else 26 after a save before a battle, 29 otherwise.
  static int GetRestartMode();
};

inline constexpr StepTaskKind<BupWork> kBkupCheck{CTamvikBup::kBkupCheckName,
                                                  &CTamvikBup::BkupCheck};
inline constexpr StepTaskKind<BupWork> kSaveMasterCtrl{CTamvikBup::kSaveMasterName,
                                                       &CTamvikBup::SaveMasterCtrl};
inline constexpr StepTaskKind<BupWork> kAdvSaveMenu{CTamvikBup::kSaveMenuName,
                                                    &CTamvikBup::AdvSaveMenu};
