#pragma once
// The in-game options: the option menu (load, leave, quit; cursor speed; voice on or off; the
// button settings; the items), the keyboard and joystick assignment menus, the item viewer and
// the quit confirmation. Each screen is a step machine on the task list; the option menu's
// sub-screens run under the option task, and every screen releases its sprite files, window and
// animations when it ends, also when the task that owns it is gone. The return-mode flags live in
// the game context (they are set by the caller just before each opening).

#include <array>
#include <cstdint>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"
#include "engine/gfx/gfx_types.h"

struct SprAnm;
struct SprUnit;
struct WindowRec;

class CTamvikOption {
 public:
  static constexpr const char* kOptionMenuName = "CTamvikOption::OptionMenu";
  static constexpr const char* kKeyMenuName = "CTamvikOption::KeyMenu";
  static constexpr const char* kPadMenuName = "CTamvikOption::PadMenu";
  static constexpr const char* kItemMenuName = "CTamvikOption::ItemMenu";
  static constexpr const char* kExitSeqName = "CTamvikOption::ExitSeq";

  static constexpr const char* kOptionFile = "tamvik1\\system\\option.spr";
  static constexpr const char* kItemIconFile = "tamvik1\\item\\itemicon.spr";
  static constexpr const char* kExitFile = "tamvik1\\system\\exit_w.spr";

  // optionFlags bits.
  static constexpr uint32_t kNoOpen = 0x0001;
  static constexpr uint32_t kNoItemRow = 0x0010;
  static constexpr uint32_t kNoLoad = 0x0100;
  static constexpr uint32_t kTwoChoices = 0x1000;

  // Colours of the texts: the chosen entry and the others.
  static constexpr ColorRef kChosenColor = 0x4040F0;
  static constexpr ColorRef kTextColor = 0x0F0F0F;

  // ---- The option menu ----
  static constexpr Rect kOptionFrame{64, 16, 576, 402};
  static constexpr Rect kOptionInner{77, 27, 563, 364};
  static constexpr int kOptionStyle = 8;
  static constexpr ColorRef kOptionColor = 0xF0F0F0;
  // Rows: the top of row r is kRowTop + r * kRowPitch in the text area.
  static constexpr int kRowTop = 24;
  static constexpr int kRowPitch = 64;

  // action values
  enum Action : uint8_t { kNone, kLoad, kLeave, kQuit, kKeyboard, kJoystick, kItems };

  // The option menu's extra block.
  struct OptionState {
    uint8_t action;
    uint8_t redraw;
    uint8_t row;           // 0-4
    uint8_t fileChoice;    // 0 load, 1 leave, 2 quit
    uint8_t speedChoice;   // 0-4
    uint8_t voiceChoice;   // 0 on, 1 off
    uint8_t buttonChoice;  // 0 keyboard, 1 joystick
    uint8_t unused;
    SprAnm* option_file;
    SprAnm* icon_file;
    WindowRec* window;
    AnimeHandle window_anime;
  };

  // The rows the flags leave (4 or 5) and the first-row choices they offer.
  static int RowCount(uint32_t flags) { return (flags & kNoItemRow) != 0 ? 4 : 5; }
  static int LowestFileChoice(uint32_t flags) { return (flags & kNoLoad) != 0 ? 1 : 0; }
  static int HighestFileChoice(uint32_t flags) { return (flags & kTwoChoices) != 0 ? 1 : 2; }

  // Stores optionFlags.
  static void SetReturnMode(uint32_t flags);
  static uint32_t GetReturnMode();
  // 1 without starting while bit 0 of optionFlags is set; else traces
  // "SetTask CTamvikOption::OptionMenu", creates the task under the owner and returns 0 (1 also
  // when the list refuses the task).
  static int StartOptionMenu(GameTaskRec* owner);
  static bool IsOptionMenuEnd();
  static void OptionMenu(GameTaskRec* task);

  // ---- The key and pad menus ----
  static constexpr int kKeyEntries = 19;
  static constexpr int kEditedEntries = 16;
  static constexpr int kDefaultsEntry = 16;
  static constexpr int kBackEntry = 17;
  static constexpr int kSaveEntry = 18;
  static constexpr Rect kKeyFrame{52, 52, 588, 364};
  static constexpr Rect kKeyInner{68, 68, 572, 348};
  // Entry i edits slot kKeyOrder[i] of the assignment.
  static constexpr std::array<uint8_t, kEditedEntries> kKeyOrder{0, 1, 2,  3,  4,  5,  8,  9,
                                                                 6, 7, 10, 11, 12, 13, 14, 15};
  // Keys the keyboard menu never takes: the arrows, Escape and the number-pad arrows.
  static constexpr std::array<uint8_t, 9> kReservedKeys{0xC8, 0xD0, 0xCB, 0xCD, 0x01,
                                                        0x50, 0x4B, 0x4D, 0x48};
  // Pad inputs the pad menu never takes: the stick directions.
  static constexpr std::array<uint8_t, 4> kReservedPads{1, 2, 3, 4};

  struct KeyState {
    uint8_t result;  // 0 running, 255 leaving
    uint8_t redraw;
    uint8_t entry;   // 0-18
    uint8_t unused;
    std::array<uint8_t, kEditedEntries> values;
    WindowRec* window;
    AnimeHandle window_anime;
  };

  // The entry left or right of entry n (the other column).
  static int KeyColumnJump(int n);
  // The entries 0-15 that form a group which must keep one key: [first, last] of entry n's
  // group; false for entries 10-15 and 16-18.
  static bool KeyGroup(int n, int* first, int* last);
  // What the screen shows for a key code or a pad number (pad: true).
  static const char* KeyName(uint8_t value, bool pad, char (&buffer)[8]);

  static int StartKeyMenu(GameTaskRec* owner);
  static int StartPadMenu(GameTaskRec* owner);
  static bool IsKeyMenuEnd();
  static bool IsPadMenuEnd();
  static void KeyMenu(GameTaskRec* task);
  static void PadMenu(GameTaskRec* task);

  // ---- The item viewer ----
  static constexpr int kItemSlots = 10;
  static constexpr int kItemBack = 10;  // the "back" entry
  static constexpr int kItemPictureX = 208;
  static constexpr int kItemPictureY = 64;

  struct ItemState {
    uint8_t count;    // items shown (the leading non-zero values of P[0]-P[9])
    uint8_t cursor;   // 0-9 an item slot, 10 back
    uint8_t showing;  // an item picture is shown
    uint8_t unused;
    std::array<uint16_t, kItemSlots> items;
    Rect picture;     // the shown picture on surface 12
    SprAnm* icon_file;
    WindowRec* window;
    AnimeHandle window_anime;
  };

  // "tamvik1\item\itemNN.spr" for an item number (any 16-bit value).
  static void ItemPictureName(uint16_t item, char (&out)[40]);
  static int StartItemMenu(GameTaskRec* owner);
  static bool IsItemMenuEnd();
  static void ItemMenu(GameTaskRec* task);

  // ---- The quit confirmation ----
  static constexpr Rect kExitFrame{64, 216, 576, 264};
  static constexpr Rect kExitInner{72, 224, 568, 256};
  static constexpr ColorRef kExitColor = 0xFFFFFF;
  static constexpr Rect kYesHit{400, 226, 472, 250};
  static constexpr Rect kNoHit{472, 226, 544, 250};
  static constexpr uint8_t kYes = 1;
  static constexpr uint8_t kNo = 2;

  struct ExitState {
    uint8_t answer;  // 1 yes, 2 no
    uint8_t unused[7];
    SprAnm* exit_file;
    WindowRec* window;
    AnimeHandle window_anime;
  };

  // Creates "CTamvikOption::ExitSeq" without an owner: 1, 0 when the list refuses.
  static int StartExitSeq();
  static bool IsExitSeqEnd();
  static void ExitSeq(GameTaskRec* task);
};
