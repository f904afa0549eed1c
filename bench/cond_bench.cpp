// The condition language: one evaluation of a typical event condition and of a long line
// condition, over the counting fake of the query functions. Goals: under 1 us and under 10 us an
// evaluation, no heap allocation.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "battle_events/core/cond_eval.h"
#include "bench/bench_allocations.h"
#include "testsupport/cond_fake.h"

namespace {

// A line test of a map: for each of the seven characters, on which side of two diagonals it
// stands, whether it is present, hurt and acting; 14 LP calls in about 500 characters.
std::string LineCondition() {
  std::string text;
  for (const char* c : {"IKD", "ITV", "IDV", "ILN", "IYS", "ITZ", "IBS"}) {
    const std::string who = c;
    if (!text.empty()) text += "|";
    text += "(LP(" + who + ",1,12,20)>0&LP(" + who + ",-1,30,8)<0&!NP(" + who + ")&HP(" + who +
            ",50)=0&PP(" + who + "))";
  }
  return text + "&F(120)&!F(121)&T()>=1;";
}

void EvaluateCondition(benchmark::State& state, const std::string& text, size_t calls) {
  testsupport::CondFake fake;
  benchmark::DoNotOptimize(CondEval(text.c_str(), fake.functions()));  // the record's room
  if (fake.calls().size() != calls) state.SkipWithError("another number of calls");
  uint64_t allocations = 0;
  for (auto _ : state) {
    fake.Clear();
    const uint64_t before = BenchAllocations();
    benchmark::DoNotOptimize(CondEval(text.c_str(), fake.functions()));
    allocations += BenchAllocations() - before;
  }
  state.counters["chars"] = static_cast<double>(text.size());
  state.counters["allocs/eval"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_CondEvalEventCondition(benchmark::State& state) {
  EvaluateCondition(state, "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);", 4);
}
BENCHMARK(BM_CondEvalEventCondition);

void BM_CondEvalLineCondition(benchmark::State& state) {
  static const std::string text = LineCondition();
  EvaluateCondition(state, text, 7 * 5 + 3);
}
BENCHMARK(BM_CondEvalLineCondition);

}  // namespace
