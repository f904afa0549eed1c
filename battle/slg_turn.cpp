#include "battle/slg_turn.h"

#include <algorithm>

#include "battle/battle_context.h"
#include <cstdio>

#include "battle/slg_comm_win.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_game_over.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr uint32_t kFlagMenuClosed = 0x1;
constexpr uint32_t kFlagMouseCursor = 0x8;
constexpr uint8_t kPhaseOptionMenu = 13;
constexpr int kWinFadeFrames = 64;
constexpr int kDigitSlot = 7;  // "MojiBDigit:"
constexpr uint8_t kUnitStateSpecial = 15;  // a unit the turn start waits for

BattleContext& B() { return Battle(); }

bool FullKiai(const SlgUnit& unit) {
  return static_cast<int>(unit.stats.kiai) == static_cast<int>(unit.stats.max_kiai);
}

bool Trusted(const SlgUnit& unit) { return TrustLevel(unit) >= 25; }

// The first side-0 record of the character, null when none.
const SlgUnit* FirstOfCharacter(int character) {
  const SlgBattleState& s = B().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (s.units[i].side == 0 && s.units[i].character == character) return &s.units[i];
  }
  return nullptr;
}

// The first side-0 record of the highest trust level, null when none.
const SlgUnit* MostTrusted() {
  const SlgBattleState& s = B().state;
  const SlgUnit* best = nullptr;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = s.units[i];
    if (u.side != 0) continue;
    if (best == nullptr || TrustLevel(u) > TrustLevel(*best)) best = &u;
  }
  return best;
}

// The heroine of the combination on maps 11-19, by P[83].
constexpr std::array<uint8_t, 8> kPairByVariable = {0, 1, 2, 3, 6, 4, 5, 0};

// A side-0 unit's partner search and command window.
// `fresh`: a new acting unit gets a new window; the same unit acting again keeps its window, with
// the marks of the commands it has done this turn, and only column 1 and the command table follow
// the partner found now.
void PrepareCommands(SlgUnit& unit, bool fresh) {
  BattleContext& b = B();
  b.control.combo_partner = SlgFindComboPartner(unit);
  const bool partner = b.control.combo_partner != kSlgNoPartner;
  if (fresh) {
    InitCommWin(unit.slot, partner ? 1 : 0);
  } else {
    CommWinPartner(unit.slot, partner ? 1 : 0);
  }
  SlgWriteCommandTable(partner);
}

// The default phases: the common states, and in any other state the action ends at once.
void EndActionAtOnce(SlgMainWork* work) {
  if (SlgCommonPhaseState(work)) return;
  B().control.actions_left = 0;
  Slg::NextActor(work);
}

// ---- Victory and defeat ----

void GameOverTask(SlgEffectTask* t) {
  BattleContext& b = B();
  const int answer = Slg::GameOverSeq(&b.turn.game_over_step);
  if (answer < 0) return;
  SlgTaskEnd(t);
  if (answer == 1) {
    Slg::RetryStage();
    return;
  }
  // Giving up loses the battle whichever road led here (the hero's fall or the last unit).
  GetSystemData()->setBattleLost(1);
  Slg::ExitSlg();
}

// Whether the battle may still begin an outcome: it has not handed back, and neither a victory
// nor a game over is under way (the first one decides; each ends the battle its own way).
bool OutcomeOpen(const char* refused) {
  const char* reason = nullptr;
  if (B().control.exited != 0) {
    reason = "the battle has handed back";
  } else if (Ctx().game_task.FindTask(kSlgGameWinTaskName) != nullptr) {
    reason = "a victory is under way";
  } else if (Ctx().game_task.FindTask(kSlgGameOverTaskName) != nullptr) {
    reason = "a game over is under way";
  }
  if (reason == nullptr) return true;
  DebugPrint("%s: not started: %s\n", refused, reason);
  return false;
}

void StartGameOver() {
  if (!OutcomeOpen(kSlgGameOverTaskName)) return;
  BattleContext& b = B();
  b.turn.game_over_step = 0;
  SlgTaskCreate(b.control.task_owner, &GameOverTask, kSlgGameOverTaskName);
}

void GameWinTask(SlgEffectTask* t) {
  if (t->phase == 0) {
    Slg::StopMainTask();
    SlgFadeOut(kWinFadeFrames);
    t->phase = 1;
    return;
  }
  Slg::DrawMapNow();
  if (SlgIsFadeEnd() == 0) return;
  GetSystemData()->setBattleLost(0);
  SlgTaskEnd(t);
  Slg::ExitSlg();
}

// ---- Turn control's steps ----

void StartRound(SlgMainWork* work) {
  BattleContext& b = B();
  SlgBattleState& s = b.state;
  if (s.unit_count == 1) {
    StartGameOver();
    Slg::StopMainTask();
  }
  Slg::PurgeDeadUnits();
  s.order_pos = -1;
  ++s.round;
  SlgSetMacroP(kSlgRoundVar, s.round);
  s.turn_counter = s.round;
  s.turn_flags |= kTurnNewRound;
  SlgBuildTurnOrder();
  const int first = SlgNextActorPos(-1);
  if (first >= 0) {
    Slg::SetActingUnit(first);
  } else {
    s.acting_unit = kSlgNoUnit;  // the last round's unit does not act again
  }
  Slg::SetPhaseState(work, kSlgPhaseStart);
}

void DrawOrderNumber(const SlgUnit& unit) {
  const int index = Slg::OrderIndexOf(unit);
  if (index < 0) return;
  char text[8];
  std::snprintf(text, sizeof(text), "%d", index + 1);
  const SlgPair screen = SlgMapToScreen(unit);
  DrawDigitString(text, kDigitSlot, SlgScreenX(screen.x), SlgScreenY(screen.y) + 24);
}

}  // namespace

void SlgDefaultPlayerPhase(SlgMainWork* work) { EndActionAtOnce(work); }
void SlgDefaultEnemyStep(SlgMainWork* work) { EndActionAtOnce(work); }

// ---- The turn order ----

void SlgBuildTurnOrder() {
  BattleContext& b = B();
  SlgOrder& order = b.order;
  int count = 0;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = b.state.units[i];
    if ((u.flags & kUnitInOrder) == 0) continue;
    // A key below 0 would wrap to the end of the order: the fastest units stay first.
    const int key = std::max(0, 255 - static_cast<int>(u.stats.move) - TrustLevel(u));
    order.entries[count++] = {static_cast<uint16_t>(i), static_cast<uint16_t>(key)};
  }
  for (int i = count; i < kSlgMaxUnits; ++i) order.entries[i] = SlgOrder::Entry{};
  order.count = static_cast<int16_t>(count);
  // Exchange sort of neighbours: an entry passes another only with a strictly smaller key.
  for (int end = count - 1; end > 0; --end) {
    for (int i = 0; i < end; ++i) {
      if (order.entries[i + 1].key < order.entries[i].key) {
        std::swap(order.entries[i], order.entries[i + 1]);
      }
    }
  }
}

int SlgNextActorPos(int after) {
  const BattleContext& b = B();
  const int count = std::clamp<int>(b.order.count, 0, kSlgMaxUnits);
  for (int p = std::max(after + 1, 0); p < count; ++p) {
    const uint16_t slot = b.order.entries[p].slot;
    if (!SlgSlotInUse(slot)) continue;
    const SlgUnit& u = b.state.units[slot];
    if (SlgUnitLive(u) && (u.flags & kUnitInOrder) != 0 && (u.flags & kUnitActed) == 0) return p;
  }
  return -1;
}

// ---- The combination partner ----

bool SlgPairingAccepts(const SlgUnit& h) {
  const uint32_t map = GetSystemData()->battleMap();
  const int c = h.character;
  switch (map) {
    case 1:
      return c == 5 && Trusted(h);
    case 4:
      return c == 3 && Trusted(h);
    case 6: {
      if ((c != 2 && c != 6) || !Trusted(h)) return false;
      const SlgUnit* two = FirstOfCharacter(2);
      const SlgUnit* six = FirstOfCharacter(6);
      if (two != nullptr && six != nullptr && TrustLevel(*two) == TrustLevel(*six)) return c == 2;
      return true;
    }
    case 7:
      return c == 1 && Trusted(h);
    case 10:
    case 21:
      return Trusted(h) && MostTrusted() == &h;
    case 26:
      return c == 4 && Trusted(h);
    default:
      break;
  }
  if (map >= 11 && map <= 19) {
    // P[83] is a 16-bit script variable; only 0-7 name an entry.
    const uint16_t v = SlgGetMacroP(kSlgPairVar);
    return v < kPairByVariable.size() && c == kPairByVariable[v];
  }
  return false;
}

uint8_t SlgFindComboPartner(const SlgUnit& unit) {
  static constexpr int kOffsets[4][2] = {{48, -24}, {48, 24}, {-48, 24}, {-48, -24}};
  const SlgBattleState& s = B().state;
  if (unit.side != 0 || !FullKiai(unit)) return kSlgNoPartner;
  const bool hero = unit.character == 0;
  for (const auto& d : kOffsets) {
    const SlgCell cell = PosToCell((unit.x >> 16) + d[0], (unit.y >> 16) + d[1]);
    const uint16_t slot = GetUnitAtCell(cell.column, cell.row);
    if (!SlgSlotInUse(slot) || slot == unit.slot) continue;
    const SlgUnit& n = s.units[slot];
    if (!FullKiai(n)) continue;
    if (hero) {
      if (n.side == 0 && SlgPairingAccepts(n)) return static_cast<uint8_t>(slot);
    } else if (n.side == 0 && n.character == 0) {
      // The first neighbour that is the hero decides.
      return SlgPairingAccepts(unit) ? unit.slot : kSlgNoPartner;
    }
  }
  return kSlgNoPartner;
}

// ---- The main task ----

void SlgMainFrame(SlgMainWork* work) {
  BattleContext& b = B();
  SlgBattleState& s = b.state;
  if (b.event_busy == 0) s.turn_flags = kTurnNoEvent;
  if (b.control.turn_hold == 0) SlgTurnControl(work);
  // The exit tore the battle down: nothing of it is left to update or draw.
  if (b.control.exited != 0) return;
  if (b.event_busy == 0) CheckEvents();
  // The index is the battle's: a removal during an update steps it back, so the record that
  // moves into the removed slot is updated too.
  for (b.update_index = 0; b.update_index >= 0 && b.update_index < s.unit_count;
       ++b.update_index) {
    const int32_t i = b.update_index;
    SlgUnit& u = s.units[i];
    if (u.step != kSlgDeadStep && (u.flags & kUnitShown) != 0) Slg::UpdateUnit(u);
    if (b.update_index != i) continue;  // removed during its update
    if (b.control.order_marks == 1 && (u.flags & kUnitInOrder) != 0) DrawOrderNumber(u);
  }
  Slg::DrawMapNow();
  b.first_frame = 0;
}

void SlgTurnControl(SlgMainWork* work) {
  if (work == nullptr) return;
  BattleContext& b = B();
  SlgBattleState& s = b.state;
  if (work->step == kPhaseOptionMenu) {
    Slg::SyncMouseCursor();
  } else {
    Slg::MoveCursor(b.flags & kFlagMenuClosed);
  }
  const SlgCell cell = PosToCell(s.focus_x, s.focus_y);
  s.cursor_cell = {cell.column, cell.row};
  const SlgPoint snap = SnapPosToCell(s.focus_x, s.focus_y);
  s.cursor_snap = {static_cast<int16_t>(snap.x), static_cast<int16_t>(snap.y)};
  if ((b.flags & kFlagMouseCursor) != 0) Slg::DrawMouseCursor(kSlgSysSurface);

  if (s.order_pos >= b.order.count) StartRound(work);

  if (b.lost == 1) {
    b.phase_sub = 0;
    StartGameOver();
    Slg::StopMainTask();
    return;
  }
  SlgUnit* u = SlgActingUnit();
  if (u == nullptr || !SlgUnitLive(*u)) {
    // The acting unit went during its own turn (an event removed it): no phase of it will ever
    // end that turn, so it passes on here.
    if (s.acting_unit != kSlgNoUnit) Slg::PassTurn(work);
    return;
  }
  if (u->side == 0 && u->category == 0) {
    if (b.phases.player != nullptr) b.phases.player(work);
  } else if (b.phases.enemy_step != nullptr) {
    b.phases.enemy_step(work);
  }
}

// ---- Phase states ----

bool SlgCommonPhaseState(SlgMainWork* work) {
  if (work == nullptr) return false;
  BattleContext& b = B();
  switch (work->step) {
    case kSlgPhaseExit:
      if (SlgIsFadeEnd() != 0) Slg::ExitSlg();
      return true;
    case kSlgPhaseStart:
      if (AnyUnitInState(kUnitStateSpecial) != 0) {
        Slg::ScrollToUnit(b.state.acting_unit);
      } else if (Slg::ScrollStep() != 0) {
        Slg::SetPhaseState(work, kSlgPhaseCommand);
      }
      if (b.event_busy == 0) CheckEvents();
      return true;
    case kSlgPhaseAgain:
      if (AnyUnitInState(kUnitStateSpecial) == 0) {
        const SlgUnit* u = SlgActingUnit();
        const bool follow = u != nullptr && (u->flags & kUnitFollowUp) != 0;
        Slg::SetPhaseState(work, follow ? kSlgPhaseFollowUp : kSlgPhaseCommand);
      }
      return true;
    case kSlgPhaseCommand:
      Slg::SetPhaseState(work, kSlgPhaseFree);
      return true;
    case kSlgPhaseFollowUp: {
      SlgUnit* u = SlgActingUnit();
      if (u == nullptr) {
        // The unit went away during its follow-up: the turn passes on.
        Slg::NextActor(work);
        return true;
      }
      if (b.phases.follow_up != nullptr && b.phases.follow_up(*u) != 0) return true;
      u->flags &= ~kUnitFollowUp;
      Slg::NextActor(work);
      return true;
    }
    default:
      return false;
  }
}

namespace Slg {

void SetPhaseState(SlgMainWork* work, uint8_t state) {
  if (work == nullptr) {
    DebugPrint("Slg::SetPhaseState: no main task for state %d\n", static_cast<int>(state));
    return;
  }
  BattleContext& b = B();
  b.phase_sub = 0;
  work->step = state;
  b.flags = static_cast<uint16_t>(b.flags & ~kFlagMenuClosed);
  switch (state) {
    case 2:
      ScrollToUnit(b.state.acting_unit);
      break;
    case 11:
      CloseFaceWindow();
      b.turn.remembered_unit = b.state.acting_unit;
      break;
    case 17:
    case 21:
      CloseFaceWindow();
      break;
    default:
      break;
  }
}

void NextActor(SlgMainWork* work) {
  BattleContext& b = B();
  SlgUnit* u = SlgActingUnit();
  if (u != nullptr && b.control.actions_left != 0) {
    if (u->side == 0) PrepareCommands(*u, false);
    b.state.turn_flags |= kTurnSameUnit;
    SetPhaseState(work, kSlgPhaseAgain);
    return;
  }
  if (u != nullptr) {
    SetUnitState(*u, 0);
    if ((u->flags & kUnitFollowUp) != 0) {
      SetPhaseState(work, kSlgPhaseAgain);
      return;
    }
  }
  const int next = SlgNextActorPos(b.state.order_pos);
  if (next >= 0) {
    SetActingUnit(next);
  } else {
    // Nobody left this round: the next frame starts a new one.
    b.state.acting_unit = kSlgNoUnit;
    b.state.order_pos = b.order.count;
  }
  SetPhaseState(work, kSlgPhaseStart);
}

void PassTurn(SlgMainWork* work) {
  BattleContext& b = B();
  b.state.acting_unit = kSlgNoUnit;
  const int next = SlgNextActorPos(b.state.order_pos);
  if (next >= 0) {
    SetActingUnit(next);
  } else {
    b.state.order_pos = static_cast<int16_t>(b.order.count);
  }
  if (work != nullptr) SetPhaseState(work, kSlgPhaseStart);
}

void SetActingUnit(int p) {
  BattleContext& b = B();
  SlgBattleState& s = b.state;
  b.target_count = 0;
  b.control.actions_left = 2;
  b.control.action_done = 0;
  if (p == -1) {
    s.acting_unit = kSlgNoUnit;
    s.order_pos = b.turn.saved_order_pos;
    return;
  }
  if (p < 0 || p >= std::clamp<int>(b.order.count, 0, kSlgMaxUnits) ||
      !SlgSlotInUse(b.order.entries[p].slot)) {
    DebugPrint("Slg::SetActingUnit: no unit at order position %d\n", p);
    return;
  }
  const uint16_t slot = b.order.entries[p].slot;
  SlgUnit& u = s.units[slot];
  s.previous_acting = s.acting_unit;
  b.turn.saved_order_pos = s.order_pos;
  s.order_pos = static_cast<int16_t>(p);
  s.acting_unit = slot;
  s.acting_copy1 = slot;
  s.acting_copy2 = slot;
  u.stats.attack_type = 0;
  u.stats.action_bytes[0] = 0;
  b.flags = static_cast<uint16_t>(b.flags & ~kFlagMenuClosed);
  if (u.side == 0) {
    u.flags &= ~kUnitGuarding;
    PrepareCommands(u, true);
    ApplyTrustBonus(u);
  }
  CalcStatTotals(u.stats);
  ScrollToUnit(slot);
  s.turn_flags |= kTurnActingChosen;
}

void ResetCurrentUnit() {
  SlgBattleState& s = B().state;
  s.acting_copy1 = s.acting_copy2;
}

void StartGameWin() {
  if (!OutcomeOpen(kSlgGameWinTaskName)) return;
  SlgTaskCreate(B().control.task_owner, &GameWinTask, kSlgGameWinTaskName);
}

void RetryStage() {
  B().control.retry = 1;
  SaveTrustVars();
  SwitchStage(static_cast<int>(GetSystemData()->battleMap()));
}

void CloseFaceWindow() {
  SlgFaceState& f = B().face;
  if (f.window_open != 0) TamvikFunc::ReleaseBlinkAnm();
  f.panel_unit = kSlgNoUnit;
  f.window_open = 0;
}

}  // namespace Slg
