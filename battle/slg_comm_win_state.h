#pragma once
// The state of the command window, the two-choice windows and the game-over sequence, held in
// BattleContext (zero-filled per battle). The operations are in battle/slg_comm_win.h and
// battle/slg_game_over.h.

#include <array>
#include <cstdint>

struct SprBufferEntry;
struct SprRec;

// A main entry (an icon of the main row): offset from the window position, sprite slot, frame.
struct CommWinMain {
  int16_t x, y;
  uint16_t slot, frame;
};

// A column entry. The last one of a column stands on the main row; the ones above it are the
// upper entries, the only ones a sub-selection points at.
struct CommWinEntry {
  uint16_t avail;  // 0 available, kCommWinGreyed greyed
  int16_t x, y;
  uint16_t slot, frame;
};

struct CommWinColumn {
  uint16_t avail;  // 0 available, kCommWinGreyed greyed (cannot be selected)
  uint16_t count;  // entries, the main-row entry included
  CommWinEntry* entries;
};

// Drawn behind the open column.
struct CommWinBackground {
  int16_t x, y;
  uint16_t slot, frame;
};

constexpr uint16_t kCommWinGreyed = 65535;
constexpr int kCommWinColumns = 6;

struct CommWinRecord {
  CommWinBackground* backgrounds;
  CommWinMain* main_list;
  CommWinColumn* columns;
  std::array<uint8_t, kCommWinColumns> sub_sel;  // the remembered upper entry of each column
  uint8_t frame_style;  // frame of the window frame: 0 a heroine's window, 1 the hero's
  uint8_t main_count;   // columns: 5, or 6 for the hero
};

// A rectangle in 16.16 screen pixels.
struct CommWinRect {
  int32_t left, top, right, bottom;
};

struct SlgCommWinState {
  CommWinRecord record;
  uint16_t sel;              // CommWinSel: the selected column
  int32_t pos_x, pos_y;      // the window position, 16.16 screen pixels
  int32_t origin_x, origin_y;  // the unshifted origin the mouse areas are measured from
  CommWinRect rect;          // the open-close rectangle now
  CommWinRect start_rect;    // the rectangle the opening or closing starts from
  uint32_t start_time;       // game clock (ms) of that start
  // The fixed tables CommWinSetup writes (the record points into them).
  std::array<CommWinMain, kCommWinColumns> mains;
  std::array<CommWinColumn, kCommWinColumns> columns;
  std::array<CommWinBackground, kCommWinColumns> backgrounds;
  std::array<CommWinEntry, 2> col0;
  std::array<CommWinEntry, 3> col1_solo;
  std::array<CommWinEntry, 4> col1_partner;
  std::array<CommWinEntry, 4> col2;
  std::array<CommWinEntry, 4> col3;
  std::array<CommWinEntry, 2> col4;
  std::array<CommWinEntry, 2> col5;
};

// A two-choice window's choice and the choice whose animation is shown.
struct SlgChoiceWindow {
  uint16_t choice;
  uint16_t shown;
};

struct SlgTwoChoiceState {
  SlgChoiceWindow retry;      // the retry question
  SlgChoiceWindow yes_no;     // the second yes/no
  SlgChoiceWindow start_menu; // the system menu
};

// The game-over sequence's globals.
struct SlgGameOverState {
  uint16_t choice;        // GoChoice: the item, 0 give up, 1 continue
  uint16_t shown;         // GoShownChoice: the item whose animation is shown
  uint8_t first_frame;    // GoFirstFrame: bit 0 set after the first call
  uint32_t wait;          // GoWait: frames
  uint32_t wait_start;    // GoWaitStart: game clock (ms)
  uint16_t input_lock;    // GoInputLock: 0xFF01 locked, 0 free
  SprRec* picture;        // GoPictureSprite
  SprBufferEntry* entry;  // GoPictureEntry
};
