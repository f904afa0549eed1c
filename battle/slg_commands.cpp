#include "battle/slg_commands.h"

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_message.h"
#include "battle/slg_pad.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_search.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"

namespace {

// SlgFlags bits the commands set and clear.
constexpr uint16_t kFlagBusy = 0x1;       // bit 0: a command holds the map
constexpr uint16_t kFlagUnitsShown = 0x2;
constexpr uint16_t kFlagMouse = 0x8;      // bit 3: the mouse cursor shown
constexpr uint32_t kAttackedFlags = 0x8A;  // shown, frozen, flag 2

// Unit states.
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateWalkStart = 3;
constexpr uint8_t kStateWalkStop = 4;
constexpr uint8_t kStateLeadIn = 5;
constexpr uint8_t kStateAttackEnd = 7;
constexpr uint8_t kStateReady = 8;
constexpr uint8_t kStateCharge = 11;
constexpr uint8_t kStateHeal = 12;
constexpr uint8_t kStateDefend = 13;
constexpr uint8_t kStateCover = 14;
constexpr uint8_t kStateCombination = 19;

constexpr uint8_t kAttackSpecial = 1;
constexpr uint8_t kAttackCombination = 5;
constexpr uint8_t kHeroCharacter = 0;
constexpr uint8_t kLastMessageCharacter = 6;
constexpr int kCoverMessage = 19990;
constexpr int kSeInfo = 15;
constexpr uint16_t kAttackWaitFrames = 20;
constexpr uint16_t kTurnCoverDone = 0x0010;
constexpr uint32_t kCombinationEventFlag = 951;
constexpr int kSearchParty = 5;
constexpr int kSearchHeal = 6;

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

uint32_t& Step() { return Battle().phase_sub; }
SlgCommandState& Cmd() { return Battle().cmd; }

SlgUnit& Unit(uint32_t slot) { return Battle().state.units[slot]; }

// The snapped centre of the cell the unit stands on.
SlgRangePos CellOf(const SlgUnit& unit) {
  const SlgPoint p = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  return {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
}

// SlgFlags: bit 0 set and bit 3 cleared while the command holds the map, the other way after.
void HoldMap() {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~kFlagMouse) | kFlagBusy);
}
void ReleaseMap() {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~kFlagBusy) | kFlagMouse);
}
// The support commands keep bits 0 and 3 as they found them and give them back at the end.
void SaveAndHoldMap() {
  Cmd().saved_flags = static_cast<uint16_t>(Battle().flags & (kFlagBusy | kFlagMouse));
  HoldMap();
}
void RestoreMap() {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~(kFlagBusy | kFlagMouse)) | Cmd().saved_flags);
}

bool Closed() { return Cmd().range_view == kSlgRangeClosed; }
void CloseRange() { Cmd().range_view = kSlgRangeClose; }
void OpenRange() { Cmd().range_view = kSlgRangeOpen; }
bool ScrollDone() { return Slg::ScrollStep() == 1; }
bool StandsStill(const SlgUnit& unit) {
  return unit.state == kStateStand || unit.state == kStateReady;
}

// The unit on the map cursor's cell when the current range reached that cell; kSlgNoUnit
// otherwise (a cursor cell off the map included).
uint16_t UnitAtCursor() {
  const BattleContext& b = Battle();
  const int column = b.state.cursor_cell[0];
  const int row = b.state.cursor_cell[1];
  if (column < 0 || column >= kSlgGridColumns || row < 0 || row >= kSlgGridRows) return kSlgNoUnit;
  const auto index = static_cast<size_t>(row * kSlgGridColumns + column);
  if (b.search.range_cost[index] == kSlgCostUnreached) return kSlgNoUnit;
  const uint16_t slot = b.unit_grid[index];
  return SlgSlotInUse(slot) ? slot : kSlgNoUnit;
}

// The hero's record, or null when no unit of character 0 is on the map.
SlgUnit* Hero() {
  const uint16_t slot = Slg::FindUnitByChara(kHeroCharacter);
  return SlgSlotInUse(slot) ? &Unit(slot) : nullptr;
}

// Runs the handler's step, then the range markers of this frame.
template <typename F>
int WithMarkers(F step) {
  const int result = step();
  Slg::RangeMarkers();
  return result;
}

// ---- Move ----

void SaveBackup(const SlgUnit& unit) {
  SlgMoveBackup& m = Cmd().move_backup;
  m.x = unit.x;
  m.y = unit.y;
  m.lift = unit.lift;
  m.cell_attr = unit.cell_attr;
  m.life = unit.stats.life;
  m.marker = 1;
}

// Puts the unit back where the backup holds it, entered in the grid again.
void RestoreBackup(SlgUnit& unit) {
  const SlgMoveBackup& m = Cmd().move_backup;
  ClearUnitCell(unit);
  unit.x = m.x;
  unit.y = m.y;
  unit.lift = m.lift;
  unit.cell_attr = m.cell_attr;
  unit.stats.life = m.life;
  Slg::ScrollToUnit(unit.slot);
  SetUnitCell(unit);
  SetUnitCellShade(unit);
}

int MoveStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  SlgCommandState& c = b.cmd;
  switch (Step()) {
    case 0:
      b.cmd_busy = 1;
      b.search.range_centre = CellOf(unit);
      Slg::MoveSearch(unit.character, CellOf(unit), unit.stats.total_move);
      OpenRange();
      Step() = 1;
      break;
    case 1:
      if (Slg::IsPressCancel() != 0) {
        unit.flags &= ~kUnitFollowUp;
        Slg::ScrollToUnit(unit.slot);
        CloseRange();
        Step() = 6;
      } else if (Slg::IsPressOK() != 0 && Slg::AcceptMoveDest(unit) != 0) {
        SetUnitState(unit, kStateWalkStart);
        CloseRange();
        SaveBackup(unit);
        HoldMap();
        unit.flags &= ~kUnitFollowUp;
        c.unit_acting = 1;
        Step() = 2;
      }
      break;
    case 2:
      if (Slg::WalkPath(unit) == 1) {
        SetUnitState(unit, kStateWalkStop);
        Step() = 3;
      }
      Slg::ScrollToUnit(unit.slot);
      Slg::ScrollStep();
      Slg::DrawMoveDest();
      break;
    case 3:
      if (unit.character != kSlgTeleportCharacter) Slg::DrawMoveDest();
      if (unit.state == kStateReady) {
        Slg::ScrollToUnit(unit.slot);
        Step() = 4;
      }
      break;
    case 4:
      Slg::ScrollStep();
      if (Slg::IsPressOK() != 0) {
        ReleaseMap();
        c.unit_acting = 0;
        SetUnitCell(unit);
        Step() = 5;
      } else if (Slg::IsPressCancel() != 0) {
        OpenRange();
        c.unit_acting = 0;
        Step() = 1;
        ReleaseMap();
        RestoreBackup(unit);
      }
      break;
    case 5:
    case 6:
      if (Closed()) {
        b.cmd_busy = 0;
        return Step() == 5 ? kSlgCmdDone : kSlgCmdCancelled;
      }
      break;
    default:
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

// ---- Attack ----

const SlgAttackRangeRow& AttackRow(const SlgUnit& unit) {
  const uint32_t mode = Cmd().attack_mode != 0 ? 1 : 0;
  return kSlgAttackRange[(static_cast<size_t>(unit.kind) * 2 + mode) % kSlgAttackRange.size()];
}
int AttackSearchMode() { return Cmd().attack_mode != 0 ? 1 : 0; }

// The chosen target: the enemy program's for an enemy, else the unit on the marked cursor cell.
uint16_t AttackTarget(const SlgUnit& unit) {
  if (unit.side != 0) {
    const uint16_t t = Battle().think_search.target;
    return SlgSlotInUse(t) ? t : kSlgNoUnit;
  }
  return UnitAtCursor();
}

void CancelAttack(SlgUnit& unit) {
  Slg::ScrollToUnit(unit.slot);
  CloseRange();
  Step() = 8;
}

// Step 5 onward: the lead-in after the wait. Returns the handler's result.
int StartAttack(SlgUnit& unit) {
  SlgCommandState& c = Cmd();
  c.attack_wait = 1;
  HideUnflaggedUnits();
  unit.flags |= kAttackedFlags;
  SetUnitState(unit, kStateLeadIn);
  CalcUnitAction(unit, kSlgActPower);
  SelectUnitVoice(unit);
  if (Slg::MarkHitUnits(unit) == 0) {
    unit.stats.attack_type = 0;
    Slg::ResetUnitTurnFlags();
    c.unit_acting = 0;
    SetUnitState(unit, kStateAttackEnd);
    return kSlgCmdDone;
  }
  const SlgUnit* hero = Hero();
  if (hero != nullptr && hero->state == kStateCover) {
    Step() = 12;
    SetUnitState(unit, kStateStand);
  } else {
    Step() = 6;
  }
  return kSlgCmdRunning;
}

// Step 7: the attack is over once the attacker stands still.
int FinishAttack(SlgUnit& unit) {
  BattleContext& b = Battle();
  if (!StandsStill(unit)) return kSlgCmdRunning;
  SlgUnit* hero = Hero();
  if (hero != nullptr && hero->state == kStateCover) {
    // Clearing the hold ends his cover move: he goes back to his own place.
    hero->cover_hold() = 0;
    b.state.turn_flags = static_cast<uint16_t>(b.state.turn_flags | kTurnCoverDone);
    const uint8_t covered = hero->covered_slot();
    b.event_unit_ref[1] = covered;
    hero->covered_slot() = 0;
    if (SlgSlotInUse(covered)) SetUnitCellShade(Unit(covered));
  }
  unit.stats.attack_type = 0;
  Slg::ApplyHits(unit);
  Slg::ResetUnitTurnFlags();
  b.cmd.unit_acting = 0;
  return kSlgCmdDone;
}

int AttackStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  SlgCommandState& c = b.cmd;
  SlgSearchState& s = b.search;
  switch (Step()) {
    case 0: {
      b.chosen_voice = -1;
      b.voice_request = 0;
      unit.stats.attack_type = c.attack_mode;
      c.move_backup.marker = 0;
      c.target_pos[0] = static_cast<int16_t>(unit.x >> 16);
      c.target_pos[1] = static_cast<int16_t>(unit.y >> 16);
      s.range_centre = CellOf(unit);
      if (AttackRow(unit).aim_shape != 1) {
        Slg::AimSearch(CellOf(unit), unit, AttackSearchMode());
        Step() = 9;
      } else {
        Slg::AreaSearch(CellOf(unit), unit, AttackSearchMode());
        Step() = 10;
      }
      Slg::ScrollToUnit(Slg::NearestListedUnit(unit));
      OpenRange();
      break;
    }
    case 9:
    case 10:
      if (ScrollDone()) Step() = Step() == 9 ? 1 : 3;
      break;
    case 1:
      if (Slg::IsPressCancel() != 0) {
        CancelAttack(unit);
      } else if (Slg::IsPressOK() != 0) {
        const uint16_t t = AttackTarget(unit);
        if (t == kSlgNoUnit && unit.side != 0) {
          CancelAttack(unit);
        } else if (t != kSlgNoUnit && t != unit.slot) {
          c.target_unit = t;
          CloseRange();
          Step() = 2;
        }
      }
      break;
    case 2:
      if (Closed()) {
        const SlgBattleState& st = b.state;
        if (unit.side != 0 && SlgSlotInUse(c.target_unit)) {
          c.target_pos[0] = static_cast<int16_t>(Unit(c.target_unit).x >> 16);
          c.target_pos[1] = static_cast<int16_t>(Unit(c.target_unit).y >> 16);
        } else {
          c.target_pos[0] = st.cursor_snap[0];
          c.target_pos[1] = st.cursor_snap[1];
        }
        OpenRange();
        unit.dir = Slg::DirToward(unit, c.target_unit);
        const SlgPoint centre = SnapPosToCell(c.target_pos[0], c.target_pos[1]);
        s.range_centre = {static_cast<int16_t>(centre.x), static_cast<int16_t>(centre.y)};
        Slg::AreaSearch(s.range_centre, unit, AttackSearchMode());
        Step() = 3;
      }
      break;
    case 3:
      if (Slg::IsPressCancel() != 0) {
        CloseRange();
        Step() = AttackRow(unit).aim_shape != 1 ? 11 : 8;
      } else if (Slg::IsPressOK() != 0) {
        const uint16_t t = AttackTarget(unit);
        if (t != kSlgNoUnit && t != unit.slot) {
          HoldMap();
          c.unit_acting = 1;
          c.target_unit = t;
          unit.stats.action_bytes[0] = static_cast<uint8_t>(t);
          unit.aux = static_cast<uint8_t>(t);
          if (AttackRow(unit).area_shape == 0)
            Unit(t).dir = static_cast<uint8_t>((unit.dir + 2) & 3);
          CloseRange();
          c.attack_wait = kAttackWaitFrames;
          c.attack_wait_start = Now();
          Step() = 5;
        }
      }
      break;
    case 11:
      if (Closed()) Step() = 0;
      break;
    case 5: {
      const int64_t frames = int64_t{static_cast<int32_t>(Now() - c.attack_wait_start)} * 60 / 1000;
      if (frames >= kAttackWaitFrames) return StartAttack(unit);
      break;
    }
    case 12: {
      const SlgUnit* hero = Hero();
      // The hero's cover move sets his cover-hold byte once he stands in the covered unit's place.
      if (hero == nullptr || hero->cover_hold() != 0) {
        Step() = 6;
        SetUnitState(unit, kStateLeadIn);
      }
      break;
    }
    case 6:
      if (unit.state != kStateAttackEnd) {
        if (unit.stats.attack_type != kAttackSpecial && b.voice_request != 0) {
          b.voice_request = 0;
          PlayUnitVoice();
        }
      } else {
        const uint16_t was = c.attack_wait;
        c.attack_wait = static_cast<uint16_t>(c.attack_wait - 1);
        if (was == 1) {
          b.flags = static_cast<uint16_t>(b.flags | kFlagUnitsShown);
          Slg::MarkFlaggedUnits();
          SetUnitCellShade(unit);
          Step() = 7;
        }
      }
      break;
    case 7:
      return FinishAttack(unit);
    case 8:
      if (Closed()) {
        Slg::ResetUnitTurnFlags();
        b.flags = static_cast<uint16_t>(b.flags & ~kFlagBusy);
        Slg::ClearMoveBackup();
        return kSlgCmdCancelled;
      }
      break;
    default:
      return kSlgCmdCancelled;
  }
  return kSlgCmdRunning;
}

// ---- Combination, heal, cover, range view ----

int CombinationStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  SlgCommandState& c = b.cmd;
  switch (Step()) {
    case 0:
      c.move_backup.marker = 0;
      unit.stats.action_bytes[2] = unit.character;
      unit.stats.attack_type = kAttackCombination;
      b.search.range_centre = CellOf(unit);
      Slg::ComboAreaSearch(CellOf(unit), unit);
      Slg::ScrollToUnit(Slg::NearestListedUnit(unit));
      OpenRange();
      Step() = 1;
      break;
    case 1:
      if (ScrollDone()) Step() = 2;
      break;
    case 2:
      if (Slg::IsPressCancel() != 0) {
        CloseRange();
        Step() = 3;
      } else if (Slg::IsPressOK() != 0) {
        const uint16_t t = UnitAtCursor();
        if (t != kSlgNoUnit && Unit(t).side != unit.side) {
          c.target_unit = t;
          CloseRange();
          Step() = 4;
        }
      }
      break;
    case 3:
      return Closed() ? kSlgCmdCancelled : kSlgCmdRunning;
    case 4:
      if (Closed()) {
        for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
          if (i == unit.slot) continue;
          Unit(i).flags &= ~kUnitShown;
          Slg::HideUnit(Unit(i));
        }
        unit.flags |= kAttackedFlags;
        HoldMap();
        c.unit_acting = 1;
        SetUnitState(unit, kStateCombination);
        CalcUnitAction(unit, kSlgActCombined);
        Slg::MarkHitUnits(unit);
        Step() = 5;
      }
      break;
    case 5:
      if (unit.state == kStateStand) {
        b.flags = static_cast<uint16_t>((b.flags | kFlagUnitsShown | kFlagMouse) & ~kFlagBusy);
        c.unit_acting = 0;
        Slg::MarkFlaggedUnits();
        Step() = 6;
      }
      break;
    case 6:
      if (StandsStill(unit)) {
        SetEventFlag(kCombinationEventFlag + unit.character);
        Slg::ApplyHits(unit);
        Slg::ResetUnitTurnFlags();
        SetUnitCellShade(unit);
        if (SlgUnit* hero = Hero()) SetUnitCellShade(*hero);
        return kSlgCmdDone;
      }
      break;
    default:
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

int HealStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  SlgCommandState& c = b.cmd;
  switch (Step()) {
    case 0:
    case 1:
      Step() = 2;
      break;
    case 2:
      b.search.range_centre = CellOf(unit);
      Slg::SupportSearch(unit, kSearchHeal, 0);
      OpenRange();
      Step() = 3;
      break;
    case 3:
      if (Slg::IsPressCancel() != 0) {
        Slg::ScrollToUnit(unit.slot);
        CloseRange();
        Step() = 7;
      } else if (Slg::IsPressOK() != 0) {
        const uint16_t t = UnitAtCursor();
        if (t != kSlgNoUnit) {
          c.heal_target = t;
          CloseRange();
          Step() = 4;
        }
      }
      break;
    case 4:
      if (Closed()) Step() = 5;
      break;
    case 5:
      if (!SlgSlotInUse(c.heal_target)) return kSlgCmdDone;
      SetUnitState(Unit(c.heal_target), kStateHeal);
      Unit(c.heal_target).stats.attack_type = unit.slot;
      HoldMap();
      CloseRange();
      Step() = 6;
      break;
    case 6:
      if (!SlgSlotInUse(c.heal_target) || StandsStill(Unit(c.heal_target))) {
        ReleaseMap();
        return kSlgCmdDone;
      }
      break;
    case 7:
      return Closed() ? kSlgCmdCancelled : kSlgCmdRunning;
    default:
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

int CoverStep(SlgUnit& unit) {
  SlgCommandState& c = Cmd();
  switch (Step()) {
    case 0: {
      const SlgUnit* hero = Hero();
      if (hero == nullptr) return kSlgCmdCancelled;
      Slg::ScrollToUnit(hero->slot);
      for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
        if ((Unit(i).flags & kUnitCovered) != 0) Slg::ScrollToUnit(i);
      }
      Battle().search.range_centre = CellOf(unit);
      Slg::SupportSearch(unit, kSearchParty, 0);
      OpenRange();
      Step() = 100;
      break;
    }
    case 100:
      if (ScrollDone()) Step() = 1;
      break;
    case 1:
      if (Slg::IsPressCancel() != 0) {
        Slg::ScrollToUnit(unit.slot);
        CloseRange();
        Step() = 3;
      } else if (Slg::IsPressOK() != 0) {
        const uint16_t t = UnitAtCursor();
        if (t != kSlgNoUnit) {
          for (uint32_t i = 0; SlgSlotInUse(i); ++i) Unit(i).flags &= ~kUnitCovered;
          c.cover_unit = t;
          if (t == unit.slot)
            Slg::ScrollToUnit(t);
          else
            Unit(t).flags |= kUnitCovered;
          CloseRange();
          Step() = 2;
        }
      }
      break;
    case 2:
      if (Closed()) {
        if (!SlgSlotInUse(c.cover_unit) || Unit(c.cover_unit).character > kLastMessageCharacter)
          return kSlgCmdDone;
        Slg::OpenMessageWindow();
        Slg::ShowMessage(0, 0, 0, kCoverMessage + Unit(c.cover_unit).character);
        Step() = 4;
      }
      break;
    case 4:
      if (Slg::MessageWait() == 1) {
        Slg::CloseMessageWindow();
        return kSlgCmdDone;
      }
      break;
    case 3:
      return Closed() ? kSlgCmdCancelled : kSlgCmdRunning;
    default:
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

void ViewMoveRange(const SlgUnit& unit) {
  Battle().search.range_centre = CellOf(unit);
  Slg::MoveSearch(unit.character, CellOf(unit), unit.stats.total_move);
  OpenRange();
  Step() = 1;
}

int ViewRangesStep() {
  BattleContext& b = Battle();
  SlgCommandState& c = b.cmd;
  switch (Step()) {
    case 0: {
      const SlgBattleState& st = b.state;
      const uint16_t slot = GetUnitAtCell(st.cursor_cell[0], st.cursor_cell[1]);
      if (!SlgSlotInUse(slot)) return kSlgCmdDone;
      c.view_unit = slot;
      ViewMoveRange(Unit(slot));
      break;
    }
    case 1:
    case 3:
      if (Slg::IsPressInfo() != 0) {
        SlgSePlay(kSeInfo);
        CloseRange();
        Step() = Step() == 1 ? 2 : 6;
      }
      break;
    case 2:
      if (Closed()) {
        if (!SlgSlotInUse(c.view_unit)) return kSlgCmdDone;
        const SlgUnit& unit = Unit(c.view_unit);
        b.search.range_centre = CellOf(unit);
        Slg::ThreatSearch(CellOf(unit), unit, 0);
        OpenRange();
        Step() = 3;
      }
      break;
    case 6:
      return Closed() ? kSlgCmdDone : kSlgCmdRunning;
    case 4:
      if (ScrollDone()) Step() = 3;
      break;
    case 5:
      if (Closed()) Step() = 0;
      break;
    case 7:
      if (ScrollDone()) {
        if (!SlgSlotInUse(b.state.acting_unit)) return kSlgCmdDone;
        ViewMoveRange(Unit(b.state.acting_unit));
      }
      break;
    case 8:
      if (Closed() && ScrollDone()) Step() = 0;
      break;
    default:
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

// The support commands that wait for the unit to stand still (or be ready) again.
int SupportStep(SlgUnit& unit, uint8_t state, bool ready_only) {
  switch (Step()) {
    case 0:
      SetUnitState(unit, state);
      SaveAndHoldMap();
      Step() = 1;
      break;
    default: {
      const bool over = ready_only ? unit.state == kStateReady : StandsStill(unit);
      if (over) {
        RestoreMap();
        return kSlgCmdDone;
      }
      break;
    }
  }
  return kSlgCmdRunning;
}

int DefendStep(SlgUnit& unit, bool player) {
  switch (Step()) {
    case 0:
      if (player) {
        Step() = 1;
        break;
      }
      [[fallthrough]];
    case 1:
      unit.flags |= kUnitGuarding;
      SaveAndHoldMap();
      SetUnitState(unit, kStateDefend);
      if (player) CloseRange();
      Step() = 2;
      break;
    default:
      if (StandsStill(unit)) {
        RestoreMap();
        return kSlgCmdDone;
      }
      break;
  }
  return kSlgCmdRunning;
}

int EnemyMoveStep(SlgUnit& unit) {
  BattleContext& b = Battle();
  switch (Step()) {
    case 0: {
      Slg::EnemyMoveSearch(CellOf(unit), unit.stats.total_move);
      const SlgRangePos dest = b.think_search.destination;
      // A destination off the stage is no walk, as one without a path.
      if (Slg::IsOnMap({int32_t{dest.x} * 65536, int32_t{dest.y} * 65536}) == 0) return kSlgCmdDone;
      if (Slg::BuildPath(unit, dest.x, dest.y) == 0) return kSlgCmdDone;
      SetUnitState(unit, kStateWalkStart);
      b.flags = static_cast<uint16_t>(b.flags & ~kFlagMouse);
      b.cmd.unit_acting = 1;
      unit.flags &= ~kUnitFollowUp;
      Step() = 1;
      break;
    }
    case 1:
      if (Slg::WalkPath(unit) == 1) {
        SetUnitState(unit, kStateWalkStop);
        Step() = 2;
      }
      Slg::ScrollToUnit(unit.slot);
      Slg::ScrollStep();
      break;
    case 2:
      if (StandsStill(unit)) Step() = 3;
      break;
    default:
      b.cmd.unit_acting = 0;
      Slg::ScrollToUnit(unit.slot);
      SetUnitCell(unit);
      return kSlgCmdDone;
  }
  return kSlgCmdRunning;
}

}  // namespace

namespace Slg {

int CmdMove(SlgUnit& unit) {
  return WithMarkers([&] { return MoveStep(unit); });
}

int CmdUndoMove(SlgUnit& unit) {
  return WithMarkers([&] {
    if (Step() == 0) {
      if (Cmd().move_backup.marker != 0) RestoreBackup(unit);
      ClearMoveBackup();
      Slg::ScrollToUnit(unit.slot);
      Step() = 1;
    }
    return ScrollDone() ? kSlgCmdDone : kSlgCmdRunning;
  });
}

int EnemyMove(SlgUnit& unit) {
  return WithMarkers([&] { return EnemyMoveStep(unit); });
}

int CmdAttack(SlgUnit& unit) {
  return WithMarkers([&] { return AttackStep(unit); });
}

int EnemyAttack(SlgUnit& unit) {
  if (Cmd().attack_mode > kAttackSpecial) Cmd().attack_mode = 0;
  return CmdAttack(unit);
}

int CmdCombination(SlgUnit& unit) {
  return WithMarkers([&] { return CombinationStep(unit); });
}

int CmdHeal(SlgUnit& unit) {
  return WithMarkers([&] { return HealStep(unit); });
}

int EnemyHeal(SlgUnit& unit) {
  return WithMarkers([&] {
    const uint16_t t = Battle().think_search.support_target;
    if (!SlgSlotInUse(t)) return kSlgCmdDone;  // kSlgNoUnit: nobody to support
    if (Step() == 0) {
      Unit(t).stats.attack_type = unit.slot;
      SetUnitState(Unit(t), kStateHeal);
      Step() = 1;
      return kSlgCmdRunning;
    }
    return StandsStill(Unit(t)) ? kSlgCmdDone : kSlgCmdRunning;
  });
}

int CmdSelfSupport(SlgUnit& unit) {
  return WithMarkers([&] { return SupportStep(unit, kStateHeal, false); });
}

int CmdCharge(SlgUnit& unit) {
  return WithMarkers([&] { return SupportStep(unit, kStateCharge, true); });
}

int CmdDefend(SlgUnit& unit) {
  return WithMarkers([&] { return DefendStep(unit, true); });
}

int EnemyDefend() {
  return WithMarkers([&] {
    const uint16_t slot = Battle().state.acting_unit;
    if (!SlgSlotInUse(slot)) return kSlgCmdDone;
    return DefendStep(Unit(slot), false);
  });
}

int CmdCover(SlgUnit& unit) {
  return WithMarkers([&] { return CoverStep(unit); });
}

int CmdViewRanges() {
  return WithMarkers([] { return ViewRangesStep(); });
}

void ClearMoveBackup() { Battle().cmd.move_backup.marker = 0; }

}  // namespace Slg
