// The interpreter's inline decoding: one pass over 100 000 inline commands (expressions and IFs),
// and a runaway script (a GOTO to itself), whose pass the per-pass command limit ends.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/script_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

// 100 000 inline expressions and IFs in one pass: a loop of 1000 rounds over 50 expressions and
// 50 IF/END IF pairs (a script holds at most 65536 words), then a command that stops decoding.
constexpr int kRounds = 1000;
constexpr int kPairs = 50;

std::vector<uint8_t> InlineScript() {
  ScriptWriter w;
  auto top = w.NewLabel();
  auto out = w.NewLabel();
  w.Bind(top);
  for (int i = 0; i < kPairs; ++i) {
    w.Assign(VarA(1), VarA(1), {{'+', Num(3)}, {'*', VarA(2)}});
    auto end = w.NewLabel();
    w.If(A(1), 8, Lit(1000), end).Bind(end).EndIf();
  }
  w.Assign(VarA(3), VarA(3), {{'+', Num(1)}});
  w.If(A(3), 8, Lit(kRounds), out).EndIf().Goto(top);
  w.Bind(out).EndIf();
  w.Command(0x06);
  return w.Bytes();
}

std::vector<uint8_t> RunawayScript() {
  ScriptWriter w;
  auto self = w.NewLabel();
  w.Bind(self).Goto(self);
  return w.Bytes();
}

// `rounds`: the loop counter A[3] the pass must reach (0: no check).
void RunPass(benchmark::State& state, const std::vector<uint8_t>& script, int rounds) {
  GameTree tree;
  TestScene scene;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  tree.Write("install/Macro/0305.bin", script);
  tree.Write("install/Macro/0305tbl.bin", MessageTableWriter().Bytes());
  GetAdvState()->setSceneCode(0x0305);
  CTamvikMacro& macro = scene.scene().macro;
  if (macro.MacroLoad(0x0305) == 0) {
    state.SkipWithError("the scene did not load");
    return;
  }
  GameTaskRec* task = macro.StartDecoding();
  for (auto _ : state) {
    macro.Jump(0);
    SetMacroA(3, 0);
    macro.continue_flag = 1;
    macro.DecodePass(task);
  }
  if (rounds != 0 && GetMacroA(3) != rounds) state.SkipWithError("the pass did not run to its end");
}

void BM_InlinePass100k(benchmark::State& state) {
  RunPass(state, InlineScript(), kRounds);
  state.SetItemsProcessed(state.iterations() * 2 * kRounds * kPairs);
}
BENCHMARK(BM_InlinePass100k)->Unit(benchmark::kMillisecond);

void BM_RunawayPass(benchmark::State& state) {
  RunPass(state, RunawayScript(), 0);
  state.SetItemsProcessed(state.iterations() * CTamvikMacro::kInlineLimit);
}
BENCHMARK(BM_RunawayPass)->Unit(benchmark::kMillisecond);

}  // namespace
