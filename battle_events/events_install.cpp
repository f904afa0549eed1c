#include "battle_events/events_install.h"

#include "battle/battle_context.h"
#include "battle/slg_event_entries.h"
#include "battle_events/core/event_check.h"

void InstallBattleEvents(BattleContext& battle) {
  battle.Extension<SlgEventCheckState>();
  InstallEventEntry(battle.events, &SlgEventEntries::check_events, &SlgEventCheck::CheckEvents,
                    "check_events");
  InstallEventEntry(battle.events, &SlgEventEntries::has_event_table,
                    &SlgEventCheck::HasEventTable, "has_event_table");
  InstallEventEntry(battle.events, &SlgEventEntries::end_event_check,
                    &SlgEventCheck::EndEventCheck, "end_event_check");
}
