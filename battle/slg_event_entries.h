#pragma once
// The event entry table: one plain function pointer for each call the battle core makes of the
// battle events that the core does not answer itself. The core's names (CheckEvents,
// HasEventTable, ... in battle/slg_events.h; CtrlStopEffect, ... in battle/slg_effect_calls.h)
// keep their declarations and forward to the entry of the current battle
// (BattleContext::events), so a call costs one indirect call and no allocation.
//
// Every entry starts as the core's stand-in (SlgStandIn below); the battle events replace
// entries from their installer (battle/battle_extension.h) with InstallEventEntry. An entry
// nobody fills keeps its stand-in.

#include <cstdint>
#include <type_traits>

#include "battle/slg_battle_state.h"

// The stand-ins: what the core answers until the battle events fill an entry.
namespace SlgStandIn {
// 0: no event starts.
int CheckEvents();
// Battle().event_stand_ins.has_table (0 unless a test sets it).
int HasEventTable();
// Nothing but telling Battle().event_stand_ins.on_call.
void SetupMapEvent(int map);
void EndEventCheck();
// Nothing: no fixed event sprite exists.
void FixTaskUpdateAll(uint32_t tone);
// 1: the message has ended at once.
int EventMessageNoWait(int face, int message);
// Nothing.
void SlgEventAnmUpdate(SlgUnit& unit, const SlgPair& screen);
// The unit effects without sprites (battle/slg_effect_calls.h has their protocol).
int CtrlStopEffect(SlgUnit& unit);
int CtrlJumpEffect(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity);
int SlgFallEffect(SlgUnit& unit, const SlgPair& pos);
int SlgFallEffect2(SlgUnit& unit, const SlgPair& pos);
int SlgFlashEffect(SlgUnit& unit, const SlgPair& pos);
}  // namespace SlgStandIn

struct SlgEventEntries {
  // CheckEvents past its busy test (a command holding the map answers 0 before the entry).
  int (*check_events)() = &SlgStandIn::CheckEvents;
  int (*has_event_table)() = &SlgStandIn::HasEventTable;
  void (*setup_map_event)(int map) = &SlgStandIn::SetupMapEvent;
  void (*end_event_check)() = &SlgStandIn::EndEventCheck;
  void (*fix_task_update_all)(uint32_t tone) = &SlgStandIn::FixTaskUpdateAll;
  int (*event_message_no_wait)(int face, int message) = &SlgStandIn::EventMessageNoWait;
  void (*event_anm_update)(SlgUnit& unit, const SlgPair& screen) = &SlgStandIn::SlgEventAnmUpdate;
  int (*ctrl_stop_effect)(SlgUnit& unit) = &SlgStandIn::CtrlStopEffect;
  int (*ctrl_jump_effect)(SlgUnit& unit, int32_t floor, int32_t speed, int32_t gravity) =
      &SlgStandIn::CtrlJumpEffect;
  int (*fall_effect)(SlgUnit& unit, const SlgPair& pos) = &SlgStandIn::SlgFallEffect;
  int (*fall_effect2)(SlgUnit& unit, const SlgPair& pos) = &SlgStandIn::SlgFallEffect2;
  int (*flash_effect)(SlgUnit& unit, const SlgPair& pos) = &SlgStandIn::SlgFlashEffect;
};

// Traces a refused install ("SlgEventEntries: <name> is null: the stand-in stays").
void TraceRefusedEventEntry(const char* name);

// Puts `fn` into one entry, for example
//   InstallEventEntry(battle.events, &SlgEventEntries::check_events, &CheckEvents, "check_events");
// A null function is refused with a trace and the entry keeps what it held. Whether installed.
template <class Fn>
bool InstallEventEntry(SlgEventEntries& entries, Fn SlgEventEntries::*entry,
                       std::type_identity_t<Fn> fn, const char* name) {
  if (fn == nullptr) {
    TraceRefusedEventEntry(name);
    return false;
  }
  entries.*entry = fn;
  return true;
}
