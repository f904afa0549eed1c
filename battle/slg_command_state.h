#pragma once
// The unit commands' state (battle/slg_commands.h, battle/slg_range_markers.h): the words the
// command handlers share with the player phase and the enemy programs, the move backup, and the
// range markers (state, timing, one animation object, position and step per marker) with the
// destination mark. Data only; BattleContext holds one, zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_anm_obj.h"

// The range markers: one per result cell, the first this many cells of a longer result.
constexpr int kSlgMarkerCount = 256;

// SlgRangeView: the markers' state.
constexpr uint32_t kSlgRangeOpen = 0;      // open them (set by a handler after a search)
constexpr uint32_t kSlgRangeOpening = 1;
constexpr uint32_t kSlgRangeShown = 2;
constexpr uint32_t kSlgRangeClose = 3;     // close them (set by a handler before it goes on)
constexpr uint32_t kSlgRangeClosing = 4;
constexpr uint32_t kSlgRangeClosed = 127;

// Handler results.
constexpr int kSlgCmdDone = 0;
constexpr int kSlgCmdRunning = 1;
constexpr int kSlgCmdCancelled = 2;

// The acting unit's place before a move (SlgMoveBackup); `marker` is non-zero while it holds a
// move that may be undone.
struct SlgMoveBackup {
  int32_t x = 0, y = 0;  // 16.16 map position
  int32_t lift = 0;
  uint32_t cell_attr = 0;
  int16_t life = 0;
  uint32_t marker = 0;
};

struct SlgCommandState {
  uint8_t attack_mode = 0;           // SlgAttackMode: 0 normal, 1 special
  uint32_t unit_acting = 0;          // SlgUnitActing: a confirmed command's unit is on its way
  uint16_t target_unit = 0;          // SlgTargetUnit (65535 none)
  int16_t target_pos[2] = {0, 0};    // SlgTargetPos: pixel position of the chosen target cell
  uint16_t heal_target = 0;          // SlgHealTarget
  uint16_t cover_unit = 0;           // SlgCoverUnit
  uint16_t attack_wait = 0;          // SlgAttackWait: 20 after confirming, then the countdown
  uint32_t attack_wait_start = 0;    // SlgAttackWaitStart: game clock ms
  uint16_t view_unit = 0;            // the unit whose ranges the range view shows
  uint16_t saved_flags = 0;          // SlgFlags bits 0 and 3 as a support command found them
  SlgMoveBackup move_backup;         // SlgMoveBackup
  // SlgRangeView: closed until a handler opens a range (the only word not zero at the start).
  uint32_t range_view = kSlgRangeClosed;
  uint32_t range_frames = 0;         // SlgRangeFrames: 12, or 3 with key 2 held at the start
  uint32_t range_view_start = 0;     // SlgRangeViewStart: game clock ms
  uint32_t marker_count = 0;         // the markers of the current range (at most 256)
  // SlgMarkerAnims (as animation objects: the handle is `handle`), SlgMarkerPos, SlgMarkerStep.
  std::array<SlgAnmObj, kSlgMarkerCount> markers{};
  std::array<std::array<int16_t, 2>, kSlgMarkerCount> marker_pos{};
  std::array<std::array<int16_t, 2>, kSlgMarkerCount> marker_step{};
  SlgAnmObj dest_mark{};             // the destination mark
  uint32_t dest_mark_shown = 0;      // SlgDestMarkShown: drawn in this frame
};
