#pragma once
// The fixture of tests that run the battle's unit pass by hand: the unit sprite sets of chosen
// kinds with the unit tables, the system sprites, the drawing layer on the root surface and the
// state tables, on the current battle.
//
//   testsupport::LoadUnitSets(rig.driver().tree, {0, 4, 14});

#include <initializer_list>

namespace testsupport {

class GameTree;

// Lays in `tree` the unit sprite sets of `kinds` (kind 4 with its teleport pair) and the tables,
// loads them and the system sprites, sets the drawing layer (the root surface only, cleared) and
// fills the category updates and the default state tables.
void LoadUnitSets(GameTree& tree, std::initializer_list<int> kinds);

}  // namespace testsupport
