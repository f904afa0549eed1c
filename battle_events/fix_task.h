#pragma once
// The fixed sprites (FixTaskList): the decorative battle tasks that follow the map's tone. The
// event check empties the list when a map's events are installed and removes every fixed sprite
// at their end.

// Empties the list without ending its tasks (empty until the fixed sprites exist).
void FixTaskListClear();
// Removes every fixed sprite (empty until the fixed sprites exist).
void FixTaskRemoveAll();
