#include "battle_events/event_bg.h"

void EventFreeBG() {}
