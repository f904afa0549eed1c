#include "testsupport/minigame_flow.h"

#include <algorithm>

#include "flow/tamvik_general.h"
#include "game/macro_vars.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "testsupport/minigame_bots.h"

namespace testsupport {

const std::vector<FlowCase>& MinigameFlowCases() {
  static const std::vector<FlowCase> kCases = {
      {"row0_test_entry", 0, 0, true, 200, FlowExpect::kZero},
      {"row1_swimming", 1, 0, true, 800, FlowExpect::kVar2},
      {"row2_cleaning", 2, 0, true, 3000, FlowExpect::kVar2, 2},
      {"row3_cooking", 3, 0, true, 4500, FlowExpect::kVar2, 2},
      {"row4_cards", 4, 0, true, 2000, FlowExpect::kVar2},
      {"row5_slot", 5, 0, true, 1200, FlowExpect::kVar2},
      {"row6_lost_child", 6, 0, true, 1200, FlowExpect::kVar2},
      {"row7_shooting", 7, 0, true, 2000, FlowExpect::kVar2, 2},
      {"row9_cards", 9, 0, true, 2000, FlowExpect::kVar2},
      {"row10_cards", 10, 0, true, 2000, FlowExpect::kVar2},
      {"row11_cards", 11, 0, true, 2000, FlowExpect::kVar2},
      {"row12_cards", 12, 0, true, 2000, FlowExpect::kVar2},
      {"row13_cards", 13, 0, true, 2000, FlowExpect::kVar2},
      {"row14_cards", 14, 0, true, 2000, FlowExpect::kVar2},
      {"row15_cards", 15, 0, true, 2000, FlowExpect::kVar2},
      {"row5_free_play", 5, 1, true, 1200, FlowExpect::kVar9},
      {"row8_hub", 8, 0, true, 800, FlowExpect::kZero},
  };
  return kCases;
}

FlowPlay PlayFlowCase(MinigameRunner& runner, const FlowCase& c,
                      const std::function<void()>& after_frame) {
  FlowPlay play;
  SetMacroA(0, 77);
  if (!runner.EnterMinigameMode(c.row, c.byte40)) return play;
  std::function<bool(MinigameRunner&)> bot;
  if (c.bot) bot = RowBot(c.row);
  int frames = 0;
  bool single = true;
  // The bot in each frame (the runner's hook): its taps and holds go down in the next frame.
  runner.bot = [&](MinigameRunner& r) {
    ++frames;
    single = bot ? bot(r) : true;
    if (c.row == 0) {
      if (frames % 10 == 0 && frames < 120) r.Tap(kMgKeyDecide);
      if (frames == 120 && mg_is_running()) MiniGameEnd();
    }
  };
  for (int i = 0; i < c.frame_limit && !play.passed_32; ++i) {
    if (!(single ? runner.Step() : runner.Step(100))) break;
    ++play.frames;
    const int mode = CTamvikGeneral::GetMode();
    if (play.modes.empty() || play.modes.back() != mode) play.modes.push_back(mode);
    // Mode 32 (the scene's end: A[0] written) runs in the frame after the one that set it.
    play.passed_32 =
        mode != 32 && std::find(play.modes.begin(), play.modes.end(), 32) != play.modes.end();
    if (after_frame) after_frame();
  }
  runner.bot = nullptr;
  return play;
}

}  // namespace testsupport
