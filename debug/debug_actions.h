#pragma once
// The debug menu's actions: item code n runs action n with the item's value. Each action calls
// into another area's public entry or a GameSequences entry; what they keep between runs (the
// raster handles, the viewers' files and shown unit and animation, the message table) lives in
// the menu (CDebugMenu::viewer, message_table).

class CDebugMenu;

// Fills menu.actions with the 94 actions (codes 40, 41 and 87 do nothing; 63-66 run one attack
// of the kind given through the battle action task, with the direction of item 67).
void FillDebugActions(CDebugMenu& menu);

// The scene code of battle map n for the debug battle start (action 26); 0 for a map no scene
// reaches (10, 12, 15 and past 18).
unsigned DebugSceneOfMap(int map);
