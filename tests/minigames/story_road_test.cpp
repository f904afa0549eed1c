// The story road once in full: a scene whose script asks for two minigames (row 6 inside a CALL,
// row 5 later inside an open IF), played on the program driver with every sequence entry as the
// composition root fills it (the real scene controller and the real mode manager). Each MINIGAME
// ends the scene with code 2, the manager goes 33 -> 21 -> 22 -> 23 -> 32 -> 29 and the scene
// resumes at the word after the operand with its stacks as they were; the results reach the
// script through A[0].

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "program/game_wiring.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/minigame_context.h"
#include "scene/script/tamvik_adv.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_install.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/scene_files.h"
#include "testsupport/script_writer.h"

namespace {

using testsupport::A;
using testsupport::Lit;
using testsupport::MinigameRunner;
using testsupport::Num;
using testsupport::ScriptWriter;
using testsupport::VarA;
using testsupport::VarP;

constexpr uint16_t kScene = 0x0100;  // what a fresh start at scene code 0x0000 loads
constexpr uint8_t kResultP = 70;     // the P variable the IF on the first result sets

// A[1] := 1; IF 1 = 1 { CALL sub; A[3] := 3 } ENDIF; IF A[1] = 1 { MINIGAME 5; A[5] := A[0] }
// ENDIF; A[6] := 6; MACROEND. sub: A[2] := 2; MINIGAME 6; A[4] := A[0];
// IF A[0] = 0 { P[70] := 1 } ELSE { P[70] := A[0] + 100 } ENDIF; RETURN.
ScriptWriter StoryScript() {
  ScriptWriter w;
  auto sub = w.NewLabel();
  auto end_outer = w.NewLabel();
  auto else_label = w.NewLabel();
  auto end_inner = w.NewLabel();
  auto end_second = w.NewLabel();
  w.Assign(VarA(1), Num(1));
  w.If(Lit(1), 0, Lit(1), end_outer).Call(sub).Assign(VarA(3), Num(3));
  w.Bind(end_outer).EndIf();
  w.If(A(1), 0, Lit(1), end_second);
  testsupport::Minigame(w, 5);
  w.Assign(VarA(5), VarA(0));
  w.Bind(end_second).EndIf().Assign(VarA(6), Num(6));
  testsupport::Macroend(w);
  w.Bind(sub).Assign(VarA(2), Num(2));
  testsupport::Minigame(w, 6);
  w.Assign(VarA(4), VarA(0));
  w.If(A(0), 0, Lit(0), else_label).Assign(VarP(kResultP), Num(1));
  w.Bind(else_label).Else(end_inner).Assign(VarP(kResultP), VarA(0), {{'+', Num(100)}});
  w.Bind(end_inner).EndIf().Return();
  return w;
}

// The word index just after MINIGAME n's operand.
uint32_t AfterMinigame(const ScriptWriter& w, uint16_t n) {
  const std::vector<uint16_t> words = w.words();
  for (uint32_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == testsupport::kOpMinigame && words[i + 1] == n) return i + 2;
  }
  ADD_FAILURE() << "no MINIGAME " << n;
  return 0;
}

// What the scene left when it handed a minigame over (the manager entering mode 33).
struct HandOver {
  uint32_t end_code = 0;
  uint32_t minigame_no = 0;
  uint32_t resume_position = 0;
  int resume_in_script = 0;
  uint32_t if_depth = 0;
  uint32_t call_depth = 0;
};

TEST(StoryRoad, TwoMinigamesFromOneSceneResumeItWithTheirResults) {
  MinigameRunner::Options options;
  options.game_flow = true;
  MinigameRunner runner(options);
  // Every entry as the composition root fills it, the scene controller's too.
  WireGameSequences(runner.driver().sequences(), runner.driver().debug_menu);
  testsupport::WriteMinigameInstall(runner);
  testsupport::LaySceneFiles(runner.tree());
  const ScriptWriter script = StoryScript();
  testsupport::LayScene(runner.tree(), kScene, script.Bytes(),
                        testsupport::MessageTableWriter().Add({1, 5, "a", "b"}).Bytes());

  ASSERT_TRUE(runner.driver().Start());
  SeedRandom(1);
  GetAdvState()->setSceneCode(0x0000);
  CTamvikGeneral::StartManager();
  CTamvikGeneral::SetMode(CTamvikAdv::kModeAdvInit);

  std::vector<int> modes = {CTamvikGeneral::GetMode()};
  std::vector<HandOver> hand_overs;
  std::vector<int32_t> results;  // variable 2 of each game as it returned (mode 23)
  std::vector<bool> task_gone;   // "mg_task" gone when the manager reached 32 after a game
  std::function<bool(MinigameRunner&)> bot;
  bool single = true;
  runner.bot = [&](MinigameRunner& r) {
    single = bot && mg_is_running() ? bot(r) : true;
  };
  const int kLimit = 8000;
  int scene_ends = 0;
  for (int i = 0; i < kLimit && scene_ends < 3; ++i) {
    ASSERT_TRUE(single ? runner.Step() : runner.Step(100));
    const int mode = CTamvikGeneral::GetMode();
    if (modes.back() == mode) continue;
    modes.push_back(mode);
    const AdvState& adv = *GetAdvState();
    switch (mode) {
      case 33:
        hand_overs.push_back({CTamvikAdv::GetEndCode(), CTamvikAdv::GetMiniGameNo(),
                              adv.resumePosition(), adv.resumeInScript(), Game().macro.depth1,
                              Game().macro.depth2});
        break;
      case 22: bot = testsupport::RowBot(static_cast<int>(CTamvikAdv::GetMiniGameNo())); break;
      case 23:
        bot = nullptr;
        results.push_back(mg_var_get(2));
        break;
      case 32:
        ++scene_ends;
        task_gone.push_back(Ctx().game_task.FindTask("mg_task") == nullptr);
        break;
      default: break;
    }
  }
  runner.bot = nullptr;
  ASSERT_EQ(scene_ends, 3) << "the scene did not reach its end in " << kLimit << " frames";

  EXPECT_EQ(modes, (std::vector<int>{29, 30, 33, 21, 22, 23, 32, 29, 30, 33, 21, 22, 23, 32, 29,
                                     30, 32}));
  ASSERT_EQ(hand_overs.size(), 2u);
  ASSERT_EQ(results.size(), 2u);
  // The first hand-over: inside the CALL (its frame of two words).
  EXPECT_EQ(hand_overs[0].end_code, 2u);
  EXPECT_EQ(hand_overs[0].minigame_no, 6u);
  EXPECT_EQ(hand_overs[0].resume_in_script, 1);
  EXPECT_EQ(hand_overs[0].resume_position, AfterMinigame(script, 6));
  EXPECT_EQ(hand_overs[0].call_depth, 2u);
  // The second: at the scene's own level inside an open IF, the CALL returned.
  EXPECT_EQ(hand_overs[1].end_code, 2u);
  EXPECT_EQ(hand_overs[1].minigame_no, 5u);
  EXPECT_EQ(hand_overs[1].resume_in_script, 1);
  EXPECT_EQ(hand_overs[1].resume_position, AfterMinigame(script, 5));
  EXPECT_EQ(hand_overs[1].call_depth, 0u);
  EXPECT_GE(hand_overs[1].if_depth, 1u);

  // Both results reached the script, the IF on the first one set the P variable, and the scene
  // was never started again from its first word.
  EXPECT_EQ(GetMacroA(4), results[0]);
  EXPECT_EQ(GetMacroP(kResultP), results[0] == 0 ? 1 : results[0] + 100);
  EXPECT_EQ(GetMacroA(5), results[1]);
  EXPECT_EQ(GetMacroA(1), 1);
  EXPECT_EQ(GetMacroA(2), 2);
  EXPECT_EQ(GetMacroA(3), 3);
  EXPECT_EQ(GetMacroA(6), 6);
  EXPECT_EQ(Game().macro.depth1, 0u);
  EXPECT_EQ(Game().macro.depth2, 0u);
  EXPECT_FALSE(runner.driver().scene.macro.HasDecodeError());
  EXPECT_EQ(task_gone, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(GetSystemData()->minigamesSeen() & 0x30, 0x30);  // rows 6 and 5: bits 5 and 4
  // The manager wrote the seen bits at each hand-over.
  EXPECT_TRUE(runner.tree().Exists("install/save/system.dat"));
}

}  // namespace
