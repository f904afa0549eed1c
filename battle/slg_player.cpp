#include "battle/slg_player.h"

#include "battle/battle_context.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_face.h"
#include "battle/slg_geometry.h"
#include "battle/slg_map.h"
#include "battle/slg_pad.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_status_win.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "game/game_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

// Logical keys.
constexpr int kKeyOk = 0;
constexpr int kKeyUp = 5;
constexpr int kKeyDown = 6;
constexpr int kKeyLeft = 7;
constexpr int kKeyRight = 8;
constexpr int kKeySystemMenu = 4;
constexpr int kKeyMove = 9;
constexpr int kKeyAttack = 10;
constexpr int kKeyDefend = 11;
constexpr int kKeyCharge = 12;
constexpr int kKeyWholeMap = 13;
constexpr int kKeyBack = 14;

// Command window frames the availability queries take, and the upper entries of column 2.
constexpr int kColumnMove = 5;
constexpr int kColumnAttack = 8;
constexpr int kColumnUnit = 16;
constexpr int kEntryDefend = 1;
constexpr int kEntryCharge = 2;
// Command window marks.
constexpr int kMarkMove = 6;
constexpr int kMarkAttack = 9;
constexpr int kMarkUnit = 17;

// SlgActionDone bits.
constexpr uint8_t kDoneMoved = 2;
constexpr uint8_t kDoneAttacked = 4;
constexpr uint8_t kDoneOther = 8;

// SlgFlags bits.
constexpr uint16_t kFlagCursorScreen = 0x1;
constexpr uint16_t kFlagUnitDisplay = 0x2;
constexpr uint16_t kFlagMouseCursor = 0x8;

// Command window steps (CommWinOpenClose): 0 open, 2 shown, 3 close, 5 closed.
constexpr int kWinOpen = 0;
constexpr int kWinShown = 2;
constexpr int kWinClose = 3;
constexpr int kWinClosed = 5;

constexpr uint8_t kSeInfo = 15;
constexpr int kWaitFrames = 4;
constexpr int32_t kWholeMapScale = 11264;
// The whole-map view's frame and markers in "AllMap:".
constexpr int kAllMapFrame = 12;
// Screen pixel of the selected unit's information in the whole-map view.
constexpr int kWholeMapInfoX = 400;
constexpr int kWholeMapInfoY = 64;

BattleContext& B() { return Battle(); }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(Now() - start)) * 60 / 1000);
}
bool Pressed(int key) { return IsKeyTriggered(key) != 0; }

SlgUnit* UnitAt(int slot) {
  SlgBattleState& s = B().state;
  if (slot < 0 || slot >= s.unit_count || slot >= kSlgMaxUnits) return nullptr;
  return &s.units[static_cast<size_t>(slot)];
}
bool Moved() { return (B().control.action_done & kDoneMoved) != 0; }

// A state chosen from the free cursor or the command window.
void Choose(SlgMainWork* work, int state) {
  BattleContext& b = B();
  b.state.turn_flags |= 2;
  b.player.last_choice = static_cast<uint8_t>(state);
  // The window's column 1 takes a partner flag; SlgComboPartner holds a slot, 255 for none.
  CommWinPartner(b.state.acting_unit, b.control.combo_partner != kSlgNoPartner ? 1 : 0);
  Slg::SetPhaseState(work, static_cast<uint8_t>(state));
}

// A command done: its mark in the command window, one action less, its bit, the next actor.
void Finish(SlgMainWork* work, int mark, uint8_t done) {
  SlgControlWords& c = B().control;
  if (mark != 0) CommWinMark(mark);
  B().player.comm_step = kWinClosed;
  if (c.actions_left > 0) --c.actions_left;
  c.action_done |= done;
  Slg::NextActor(work);
}

// The free cursor (state 0).
void FreeCursor(SlgMainWork* work, SlgUnit& unit) {
  BattleContext& b = B();
  Slg::InfoPanel(b.player.panel);
  if (Slg::IsPressInfo() != 0) {
    const uint16_t under = GetUnitAtCell(b.state.cursor_cell[0], b.state.cursor_cell[1]);
    if (UnitAt(under) != nullptr) {
      SlgSePlay(kSeInfo);
      b.player.info_unit = under;
      Slg::SetPhaseState(work, kSlgPlayerInfoRanges);
      return;
    }
  }
  if (Slg::IsPressMenu() != 0) {
    SetUnitState(unit, kUnitStateReady);
    Slg::ScrollToUnit(b.state.acting_unit);
    b.player.comm_step = kWinClosed;
    Slg::SetPhaseState(work, kSlgPlayerCommand);
    return;
  }
  const int chosen = SlgShortcutState();
  if (chosen >= 0) Choose(work, chosen);
}

// The command window (state 17).
void CommandWindow(SlgMainWork* work) {
  BattleContext& b = B();
  SlgPlayerState& p = b.player;
  const int unit = b.state.acting_unit;
  switch (b.phase_sub) {
    case 0:
      b.flags = static_cast<uint16_t>((b.flags | kFlagMouseCursor) & ~kFlagCursorScreen);
      Slg::ScrollToUnit(b.state.acting_unit);
      b.phase_sub = 1;
      break;
    case 1:
      if (Slg::ScrollStep() == 1) {
        b.flags |= kFlagCursorScreen;
        p.comm_step = kWinOpen;
        b.phase_sub = 2;
      }
      break;
    case 2:
      p.comm_step = CommWinOpenClose(0, unit, p.comm_step);
      if (p.comm_step == kWinShown) b.phase_sub = 3;
      break;
    case 3: {
      p.comm_step = CommWinOpenClose(0, unit, kWinShown);
      CommWinSelect(0);
      int chosen = -1;
      if (Pressed(kKeySystemMenu)) {
        chosen = kSlgPlayerSystemMenu;
      } else if (Slg::IsPressOK() != 0) {
        const int cell = SlgCommandChoice();
        if (cell != kSlgNoCommand) chosen = cell;
      } else if (Slg::IsPressCancel() != 0) {
        chosen = kSlgPlayerFree;
      } else {
        chosen = SlgShortcutState();
      }
      if (chosen < 0) break;
      p.pending = static_cast<uint8_t>(chosen);
      p.comm_step = kWinClose;
      b.phase_sub = 4;
      break;
    }
    default:
      p.comm_step = CommWinOpenClose(0, unit, p.comm_step);
      if (p.comm_step < kWinClosed) break;
      b.flags &= static_cast<uint16_t>(~kFlagCursorScreen);
      if (p.pending == kSlgPlayerFree) {
        Slg::SetPhaseState(work, kSlgPlayerFree);
      } else {
        Choose(work, p.pending);
      }
      break;
  }
}

// The selected unit's marker and the frame about it in the whole-map view.
void DrawWholeMap() {
  BattleContext& b = B();
  SlgWholeMap& m = b.player.all_map;
  SlgSysSprPutTop(kSysAllMap, kAllMapFrame, 0, 0);
  SlgMap::DrawAllMap(m.origin_x, m.origin_y);
  const uint32_t phase = static_cast<uint32_t>(static_cast<uint64_t>(Now()) * 60 / 1000 / 8) % 4;
  const auto place = [&m](const SlgUnit& u, int32_t* x, int32_t* y) {
    *x = m.origin_x + static_cast<int32_t>((int64_t{u.x >> 16} * m.scale) >> 16);
    *y = m.origin_y + static_cast<int32_t>((int64_t{u.y >> 16} * m.scale) >> 16) + 24;
  };
  for (int i = 0; i < b.order.count && i < kSlgMaxUnits; ++i) {
    const SlgUnit* u = UnitAt(b.order.entries[static_cast<size_t>(i)].slot);
    if (u == nullptr || (u->flags & kUnitInPanels) == 0) continue;
    const int base = u->side == 0 ? 0 : (u->side == 1 || u->side == 2 ? 8 : 4);
    int32_t x = 0, y = 0;
    place(*u, &x, &y);
    SlgSysSprPutTop(kSysAllMap, base + static_cast<int>(phase), x, y);
  }
  const SlgUnit* s = UnitAt(m.selected);
  if (s == nullptr) return;
  int32_t x = 0, y = 0;
  place(*s, &x, &y);
  const int frame = s->side == 0 ? 13 : (s->side == 3 ? 14 : 15);
  SlgSysSprPutTop(kSysAllMap, frame, x, y);
  // The framed square about the selected marker, behind it.
  SlgPoly poly;
  poly.x = (x - kSlgCentreX) * 65536;
  poly.y = (y - kSlgCentreY) * 65536;
  poly.colour = 0x7FFF;
  poly.depth = kSlgSysTopDepth + 1;
  poly.corners[0] = {-10, -10};
  poly.corners[1] = {10, -10};
  poly.corners[2] = {10, 10};
  poly.corners[3] = {-10, 10};
  SlgPolyCreate(nullptr, &poly, kSlgSysSurface);
  Slg::DrawUnitPanel(m.selected, kWholeMapInfoX, kWholeMapInfoY);
}

}  // namespace

int SlgShortcutState() {
  if (Pressed(kKeyAttack) && CommWinSubAvailable(kColumnAttack) != 0) return kSlgPlayerAttack;
  if (Pressed(kKeyMove)) {
    if (Moved()) return kSlgPlayerUndo;
    if (CommWinSubAvailable(kColumnMove) != 0) return kSlgPlayerMove;
  }
  if (Pressed(kKeyWholeMap)) return kSlgPlayerWholeMap;
  if (Pressed(kKeyBack)) return kSlgPlayerBack18;
  const bool unit_column = CommWinSubAvailable(kColumnUnit) != 0;
  if (Pressed(kKeyDefend) && unit_column && CommWinMainAvailable(kEntryDefend) != 0) {
    return kSlgPlayerDefend;
  }
  if (Pressed(kKeyCharge) && unit_column && CommWinMainAvailable(kEntryCharge) != 0) {
    return kSlgPlayerCharge;
  }
  return -1;
}

int SlgCommandChoice() {
  CommWinSelection sel{};
  CommWinGetSel(&sel, 0);
  if (sel.column >= kSlgCommandRows || sel.sub >= kSlgCommandCells) return kSlgNoCommand;
  const int state = B().control.command_table[static_cast<size_t>(sel.column) * kSlgCommandCells + sel.sub];
  if (state == kSlgPlayerMove && Moved()) return kSlgPlayerUndo;
  return state;
}

void SlgPlayerPhase(SlgMainWork* work) {
  BattleContext& b = B();
  b.state.acting_copy1 = kSlgNoUnit;
  SlgUnit* unit = SlgActingUnit();
  if (work == nullptr || unit == nullptr) return;
  SlgPlayerState& p = b.player;
  const uint8_t state = work->step;
  switch (state) {
    case kSlgPlayerFree:
      FreeCursor(work, *unit);
      break;
    case kSlgPlayerMove: {
      if (Moved()) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
        break;
      }
      const int r = Slg::CmdMove(*unit);
      if (r == kSlgCmdDone) {
        Finish(work, kMarkMove, kDoneMoved);
      } else if (r == kSlgCmdCancelled) {
        p.comm_step = kWinClosed;
        Slg::SetPhaseState(work, kSlgPlayerCommand);
      }
      break;
    }
    case kSlgPlayerAttack:
    case kSlgPlayerSpecial:
    case kSlgPlayerCombination: {
      if (p.attack_running == 0 && state != kSlgPlayerCombination) {
        const uint8_t type = state == kSlgPlayerSpecial ? 1 : 0;
        unit->stats.attack_type = type;
        b.cmd.attack_mode = type;
      }
      p.attack_running = 1;
      SlgUnit* attacker = unit;
      if (state == kSlgPlayerCombination) {
        if (SlgUnit* partner = UnitAt(b.control.combo_partner)) attacker = partner;
      }
      const int r = state == kSlgPlayerCombination ? Slg::CmdCombination(*attacker)
                                                   : Slg::CmdAttack(*attacker);
      if (r == kSlgCmdRunning) break;
      p.attack_running = 0;
      if (r == kSlgCmdCancelled) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
        break;
      }
      const bool special = state != kSlgPlayerAttack;
      CommWinMark(kMarkAttack);
      if (special) CommWinEnable(2);
      Finish(work, 0, kDoneAttacked);
      break;
    }
    case kSlgPlayerBrowse:
      if (Slg::BrowseUnits() != 0) Slg::SetPhaseState(work, kSlgPlayerCommand);
      break;
    case kSlgPlayerWaitReady:
      if (unit->state == kUnitStateReady) Slg::SetPhaseState(work, kSlgPlayerFree);
      break;
    case kSlgPlayerCharge:
    case kSlgPlayerHeal:
    case kSlgPlayerDefend: {
      const int r = state == kSlgPlayerCharge ? Slg::CmdCharge(*unit)
                    : state == kSlgPlayerHeal ? Slg::CmdHeal(*unit)
                                              : Slg::CmdDefend(*unit);
      if (r == kSlgCmdRunning) break;
      if (r == kSlgCmdCancelled) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
        break;
      }
      CommWinMark(kMarkUnit);
      if (state == kSlgPlayerCharge && unit->stats.kiai >= unit->stats.max_kiai) CommWinEnable(1);
      Finish(work, 0, kDoneOther);
      break;
    }
    case kSlgPlayerCover: {
      const int r = Slg::CmdCover(*unit);
      if (r == kSlgCmdDone) {
        Slg::NextActor(work);
      } else if (r == kSlgCmdCancelled) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
      }
      break;
    }
    case kSlgPlayerViewRanges:
    case kSlgPlayerInfoRanges:
      if (Slg::CmdViewRanges() == kSlgCmdRunning) break;
      Slg::ScrollToUnit(b.state.acting_unit);
      if (state == kSlgPlayerViewRanges) {
        Slg::NextActor(work);
      } else {
        Slg::SetPhaseState(work, kSlgPlayerFree);
      }
      break;
    case kSlgPlayerWholeMap:
      if (Slg::WholeMapView() != 0) Slg::SetPhaseState(work, kSlgPlayerCommand);
      break;
    case kSlgPlayerOptions:
      if (Slg::BattleOptionMenu() != 0) Slg::SetPhaseState(work, kSlgPlayerFree);
      break;
    case kSlgPlayerCommand:
      CommandWindow(work);
      break;
    case kSlgPlayerBack18:
    case kSlgPlayerBack24:
      Slg::SetPhaseState(work, kSlgPlayerCommand);
      break;
    case kSlgPlayerEndTurn:
      b.control.actions_left = 0;
      Slg::NextActor(work);
      break;
    case kSlgPlayerIdle:
      break;
    case kSlgPlayerRetry: {
      const int r = YesNoWindow1();
      if (r == 0) {
        Slg::RetryStage();
      } else if (r != 1) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
      }
      break;
    }
    case kSlgPlayerSystemMenu: {
      // Item 0 asks whether to retry the stage, item 1 (where the menu opens) the options.
      const int r = StartMenuWindow();
      if (r == 0) {
        Slg::SetPhaseState(work, kSlgPlayerRetry);
      } else if (r == 2) {
        Slg::SetPhaseState(work, kSlgPlayerOptions);
      } else if (r != 1) {
        Slg::SetPhaseState(work, kSlgPlayerCommand);
      }
      break;
    }
    case kSlgPlayerUndo:
      if (Slg::CmdUndoMove(*unit) != kSlgCmdDone) break;
      CommWinUnmark(kMarkMove);
      ++b.control.actions_left;
      b.control.action_done &= static_cast<uint8_t>(~kDoneMoved);
      Slg::SetPhaseState(work, kSlgPlayerCommand);
      break;
    default:
      SlgCommonPhaseState(work);
      break;
  }
  if (b.event_busy == 0) CheckEvents();
}

namespace Slg {

uint16_t WholeMapNextUnit(uint16_t from, int step) {
  const SlgBattleState& s = B().state;
  const int count = s.unit_count < kSlgMaxUnits ? s.unit_count : kSlgMaxUnits;
  if (count <= 0) return from;
  int at = from < count ? from : 0;
  for (int looked = 0; looked < count; ++looked) {
    at = ((at + step) % count + count) % count;
    const SlgUnit& u = s.units[static_cast<size_t>(at)];
    if ((u.flags & kUnitInPanels) != 0 && u.step != 255) return static_cast<uint16_t>(at);
  }
  return from;
}

int WholeMapView() {
  BattleContext& b = B();
  SlgWholeMap& m = b.player.all_map;
  switch (b.phase_sub) {
    case 0: {
      b.flags = static_cast<uint16_t>((b.flags | kFlagCursorScreen) & ~kFlagMouseCursor);
      m.open = 1;
      CloseFaceWindow();
      m.selected = b.state.acting_unit;
      ShowUnitPanel(m.selected);
      m.scale = kWholeMapScale;
      const StageHeader h = b.stage ? b.stage->header() : StageHeader{};
      const int32_t w = static_cast<int32_t>((int64_t{h.width} * m.scale) >> 16);
      const int32_t hh = static_cast<int32_t>((int64_t{h.height} * m.scale) >> 16);
      m.origin_x = 0 + 176 - w / 2 + 16;
      m.origin_y = 48 + 176 - hh / 2 + 16;
      FreezeAllUnits();
      m.wait_start = Now();
      b.phase_sub = 1;
      break;
    }
    case 1:
      if (FramesSince(m.wait_start) >= kWaitFrames) b.phase_sub = 2;
      break;
    case 2: {
      uint16_t next = m.selected;
      if (Pressed(kKeyOk) || Pressed(kKeyUp) || Pressed(kKeyRight)) {
        next = WholeMapNextUnit(m.selected, 1);
      } else if (Pressed(kKeyDown) || Pressed(kKeyLeft)) {
        next = WholeMapNextUnit(m.selected, -1);
      }
      if (next != m.selected) {
        m.selected = next;
        ShowUnitPanel(next);
      }
      if (IsPressCancel() != 0) {
        b.flags = static_cast<uint16_t>((b.flags & ~kFlagCursorScreen) | kFlagMouseCursor);
        m.wait_start = Now();
        b.phase_sub = 3;
      }
      break;
    }
    case 3:
      if (FramesSince(m.wait_start) >= kWaitFrames) b.phase_sub = 4;
      break;
    default:
      UnfreezeAllUnits();
      m.open = 0;
      CloseFaceWindow();
      return 1;
  }
  DrawWholeMap();
  return 0;
}

int BrowseUnits() {
  BattleContext& b = B();
  SlgBrowse& v = b.player.browse;
  const uint16_t under = PanelUnitAtCursor();
  const SlgPair pos{v.x, v.y};
  switch (b.phase_sub) {
    case 0:
      // A window still closing finishes first.
      if (v.status_step == 3 || v.status_step == 4) {
        v.status_step = StatusWindow(v.unit, pos, v.status_step);
        break;
      }
      if (under != kSlgNoUnit && under != v.unit) {
        v.unit = under;
        const SlgUnit* u = UnitAt(under);
        const bool left = u != nullptr && SlgMapToScreen(*u).x < 0;
        v.x = left ? 0 : -kSlgCentreX * 65536;
        v.y = -kSlgCentreY * 65536;
        v.status_step = StatusWindow(under, {v.x, v.y}, 0);
        b.phase_sub = 1;
      } else if (under == kSlgNoUnit) {
        v.unit = kSlgNoUnit;
      }
      if (IsPressOK() != 0) {
        ScrollToUnit(b.state.acting_unit);
        b.phase_sub = 3;
      } else if (IsPressCancel() != 0) {
        b.phase_sub = 4;
      }
      break;
    case 1:
      v.status_step = StatusWindow(v.unit, pos, v.status_step);
      if (v.status_step == 2) b.phase_sub = 2;
      break;
    case 2:
      StatusWindow(v.unit, pos, 2);
      if (IsPressCancel() != 0) {
        b.phase_sub = 4;
      } else if (under != v.unit) {
        v.status_step = StatusWindow(v.unit, pos, 3);
        v.unit = kSlgNoUnit;
        b.phase_sub = 0;
      }
      break;
    case 3:
      if (ScrollStep() == 1) b.phase_sub = 0;
      break;
    default:
      v.unit = kSlgNoUnit;
      v.status_step = 5;
      b.player.status.open = 0;
      return 1;
  }
  return 0;
}

int BattleOptionMenu() {
  BattleContext& b = B();
  GameSequences& seq = Game().sequences;
  switch (b.phase_sub) {
    case 0:
      CloseFaceWindow();
      FreezeAllUnits();
      b.flags &= static_cast<uint16_t>(~kFlagMouseCursor);
      SlgSetLayer(SURFACE_TEXT, 1);
      if (seq.option_return_mode) seq.option_return_mode(kSlgOptionReturnMode);
      seq.option_menu.Start(b.control.task_owner);
      b.phase_sub = 1;
      return 0;
    default:
      DrawMouseCursor(SURFACE_TEXT);
      if (seq.option_menu.IsRunning()) return 0;
      SlgSetLayer(SURFACE_TEXT, 0);
      UnfreezeAllUnits();
      b.flags = static_cast<uint16_t>((b.flags | kFlagUnitDisplay | kFlagMouseCursor) & ~kFlagCursorScreen);
      return 1;
  }
}

}  // namespace Slg
