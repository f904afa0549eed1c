#pragma once
// Map 5's event script (battle map 4): the battle against the boss of kind 23, told around
// heroine 3. Its set-up plays battle music 16, installs the event table and the event-animation
// table of kinds 80-96 (objects of the stage's placement list), and one frame later adds four
// fixed sprites.
//
// Rows, in table order: 5100 the opening, 5101 and 5110-5114 heroine 3's chain of talks (one
// per action of hers), 5410 the boss's power-up at 30 percent of its life, 5102 the enemy's taunt
// on the command MAD, 5103 / 5104 the boss gone (the first only when heroine 3 defeated it) and
// the victory, then the generic rows 500-606, all silent while flag 198 (the boss has left the
// map) is set.

#include "battle_events/map_setup.h"

// The map's set-up (row 4 of the map set-up table).
extern const MapSetup kMap05Setup;

// The number of event-object kinds the map's event-animation table covers (80-96).
constexpr int kMap05ObjectKinds = 17;
// Flag 200: heroine 3's trust was below 25 at the opening, or the long taunt has been played.
constexpr int kMap05ShortTauntFlag = 200;
