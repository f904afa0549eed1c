// The interpreter's inline decoding: one pass over 100 000 inline commands (expressions and IFs),
// and a runaway script (a GOTO to itself), whose pass the per-pass command limit ends.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/script_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

// 50 000 expressions and 50 000 IF/END IF pairs, then a command that stops decoding.
std::vector<uint8_t> InlineScript() {
  ScriptWriter w;
  for (int i = 0; i < 25000; ++i) {
    w.Assign(VarA(1), VarA(1), {{'+', Num(3)}, {'*', VarA(2)}});
    auto end = w.NewLabel();
    w.If(A(1), 8, Lit(1000), end).Bind(end).EndIf();
    w.Assign(VarP(5), VarA(1), {{'/', Num(7)}});
    auto end2 = w.NewLabel();
    w.If(A(1), 0, Lit(3), end2).Bind(end2).EndIf();
  }
  w.Command(0x06);
  return w.Bytes();
}

std::vector<uint8_t> RunawayScript() {
  ScriptWriter w;
  auto self = w.NewLabel();
  w.Bind(self).Goto(self);
  return w.Bytes();
}

void RunPass(benchmark::State& state, const std::vector<uint8_t>& script) {
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
    macro.continue_flag = 1;
    macro.DecodePass(task);
  }
}

void BM_InlinePass100k(benchmark::State& state) {
  RunPass(state, InlineScript());
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_InlinePass100k)->Unit(benchmark::kMillisecond);

void BM_RunawayPass(benchmark::State& state) {
  RunPass(state, RunawayScript());
  state.SetItemsProcessed(state.iterations() * CTamvikMacro::kInlineLimit);
}
BENCHMARK(BM_RunawayPass)->Unit(benchmark::kMillisecond);

}  // namespace
