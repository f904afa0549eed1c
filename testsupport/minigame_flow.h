#pragma once
// The minigame rows played inside the game flow, shared by the end-to-end tests and the
// benchmark of the whole table: the table of cases and the run of one case from the hand-over
// (mode 21) to past mode 32 on a game-flow runner (MinigameRunner::Options::game_flow).

#include <functional>
#include <vector>

#include "testsupport/minigame_runner.h"

namespace testsupport {

// What a row of the table expects in A[0].
enum class FlowExpect {
  kZero,  // 0
  kVar2,  // variable 2 of the run
  kVar9,  // variable 9 of the run
};

struct FlowCase {
  const char* name;
  int row;
  int byte40;
  bool bot;         // the row's bot plays (else no input)
  int frame_limit;  // frames until mode 32
  FlowExpect expect;
  int var2 = -1;    // variable 2 the bot reaches, when it is sure
};

// Every row that starts a game, one case each (row 5 twice: once with byte 40 set).
const std::vector<FlowCase>& MinigameFlowCases();

// What a case's run went through.
struct FlowPlay {
  std::vector<int> modes;  // each mode change after the hand-over, in order
  bool passed_32 = false;  // mode 32 ran (A[0] written) within the case's frame limit
  int frames = 0;          // driver frames run
};

// Enters mode 21 for the case (A[0] set to 77 first) and runs frames, one step a frame when the
// bot asks for it, else 100 ms ones, until the manager has passed mode 32 or the limit is out. The
// test entry (row 0), which never ends by itself, gets decide taps for a while and then
// MiniGameEnd. `after_frame` (may be empty) is called after each frame.
FlowPlay PlayFlowCase(MinigameRunner& runner, const FlowCase& c,
                      const std::function<void()>& after_frame);

}  // namespace testsupport
