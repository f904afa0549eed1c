#pragma once
// The player phase's own words and the windows it opens: the status window's zoom, the cursor
// information panel, unit browsing, the whole-map view, the option menu's round trip and the
// face message's step. Data only; BattleContext holds one `SlgPlayerState`, zero-filled per
// battle (the unit words start at 65535 as "none").

#include <cstdint>

#include "battle/slg_battle_state.h"

// The status window's zoom (Slg::StatusWindow): the rectangle (16.16 screen pixels) and the
// frame clock of the current zoom. `open` is 1 from step 0 until the zoom out has ended.
struct SlgStatusZoom {
  uint32_t open = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t start_left = 0, start_top = 0, start_right = 0, start_bottom = 0;
  uint32_t start = 0;  // game clock ms
};

// The cursor information panel (Slg::InfoPanel): 0 idle, 1 waiting on a unit, 2 shown.
struct SlgInfoPanel {
  uint8_t step = 0;
  uint16_t unit = kSlgNoUnit;  // the unit under the cursor being waited on or shown
  uint32_t start = 0;          // game clock ms when the cursor came onto it
};

// Unit browsing (phase state 6): the unit shown and the status window's step for it.
struct SlgBrowse {
  uint16_t unit = kSlgNoUnit;
  int status_step = 5;  // 5: closed
  int32_t x = 0, y = 0;  // the status window's position (16.16 about the screen centre)
};

// The whole-map view (phase state 12). `open` stands for the view block: 1 while it is held.
struct SlgWholeMap {
  uint32_t open = 0;
  uint16_t selected = kSlgNoUnit;
  int32_t scale = 0;                // 16.16
  int32_t origin_x = 0, origin_y = 0;  // screen pixels of the map's (0, 0)
  uint32_t wait_start = 0;          // game clock ms of the current 4-frame wait
};

struct SlgPlayerState {
  // The state last chosen from the command window or a shortcut (written with turnFlags bit 1).
  uint8_t last_choice = 0;
  // 1 while an attack command runs.
  uint8_t attack_running = 0;
  // The unit the info key was pressed over (phase state 21).
  uint16_t info_unit = kSlgNoUnit;
  // The command window's open-close step (CommWinOpenClose: 0 open .. 2 shown .. 5 closed) and
  // the state chosen in it, entered once the window has closed.
  int comm_step = 5;
  uint8_t pending = 0;
  SlgStatusZoom status;
  SlgInfoPanel panel;
  SlgBrowse browse;
  SlgWholeMap all_map;
  // Slg::FaceMessage's step (0 start, 1 showing, 2 end).
  uint8_t face_message_step = 0;
};
