#pragma once
// One install tree for every row of the minigame table, written by the fixture writers only: an
// od file under each of the 16 table paths (the universal od with each game's additions), a short
// voice and the music of the cooking game (so that one voiced line holds), and the runner's empty
// writable save\ folder. The runner writes every folder and name in mixed case.

#include <vector>

#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace testsupport {

// The od file of a row: the universal od with text 200 left empty (no result voice) for the
// single games, the shooting game's scenery for row 7, and for the card rows (4, 9-15) the
// lines' texts, faces and music left empty.
OdWriter MinigameRowOd(int row);

// Writes every row's od file, the cooking game's first voice and its music into the runner's tree.
void WriteMinigameInstall(MinigameRunner& runner);

}  // namespace testsupport
