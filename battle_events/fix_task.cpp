#include "battle_events/fix_task.h"

void FixTaskListClear() {}
void FixTaskRemoveAll() {}
