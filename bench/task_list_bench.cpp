// The per-frame cost of the engine's bookkeeping: one task-list pass and the name look-ups that
// every sequence makes each frame.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/core/game_task.h"

namespace {

void Noop(GameTaskRec*) {}

void BM_TaskPass(benchmark::State& state) {
  CGameTask list;
  for (int i = 0; i < state.range(0); ++i) {
    list.SetTaskSimple(nullptr, Noop, ("CTamvikTask::Step" + std::to_string(i)).c_str());
  }
  for (auto _ : state) list.ExecTask();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TaskPass)->Arg(16)->Arg(64)->Arg(256);

void BM_FindTaskLast(benchmark::State& state) {
  CGameTask list;
  std::vector<std::string> names;
  for (int i = 0; i < state.range(0); ++i) {
    names.push_back("CTamvikTask::Step" + std::to_string(i));
    list.SetTaskSimple(nullptr, Noop, names.back().c_str());
  }
  for (auto _ : state) benchmark::DoNotOptimize(list.FindTask(names.back().c_str()));
}
BENCHMARK(BM_FindTaskLast)->Arg(16)->Arg(64);

}  // namespace
