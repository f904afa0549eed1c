// The rows' od files, apart from the install writer so that a user of the bytes alone (the fuzz
// entries' seeds) does not link the runner and the program driver.

#include <vector>

#include "testsupport/minigame_install.h"
#include "testsupport/shot_od.h"

namespace testsupport {

namespace {

bool IsCardRow(int row) { return row == 4 || (row >= 9 && row <= 15); }

}  // namespace

OdWriter MinigameRowOd(int row) {
  if (row == 7) return ShotOd();
  if (IsCardRow(row)) {
    std::vector<int> empty = {30};
    for (int i = 50; i < 75; ++i) empty.push_back(i);
    for (int i = 100; i < 111; ++i) empty.push_back(i);
    return UniversalOd(empty);
  }
  if (row == 0) return UniversalOd();
  return UniversalOd({200});
}

}  // namespace testsupport
