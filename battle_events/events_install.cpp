#include "battle_events/events_install.h"

#include "battle/battle_context.h"
#include "battle/slg_event_entries.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/route_search.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/runtime/shared_effects.h"

namespace {

// Category 3's update: the event objects' step (its result is not used).
void EventAnmUpdate(SlgUnit& unit, const SlgPair& screen) { EventObjStep(unit, screen); }

}  // namespace

void InstallBattleEvents(BattleContext& battle) {
  battle.Extension<SlgEventCheckState>();
  battle.Extension<SlgEventNpcState>();
  battle.Extension<SlgEventRuntimeState>();
  InstallRouteSearch(battle);
  InstallEventEntry(battle.events, &SlgEventEntries::check_events, &SlgEventCheck::CheckEvents,
                    "check_events");
  InstallEventEntry(battle.events, &SlgEventEntries::has_event_table,
                    &SlgEventCheck::HasEventTable, "has_event_table");
  InstallEventEntry(battle.events, &SlgEventEntries::end_event_check,
                    &SlgEventCheck::EndEventCheck, "end_event_check");
  InstallEventEntry(battle.events, &SlgEventEntries::event_anm_update, &EventAnmUpdate,
                    "event_anm_update");
  InstallEventEntry(battle.events, &SlgEventEntries::event_message_no_wait,
                    &SlgEventMessages::MessageNoWait, "event_message_no_wait");
  InstallSharedEffects(battle);
}
