#include "battle_events/event_npc.h"

void EventNpcLoad() {}
void EventNpcFree() {}
