// The whole attack table headless (testsupport/attack_table.h): every family's rows (each kind's
// attacks of every type on the board road, the first two types on the battle action task's road,
// every heroine kind's combination), each played once through the attack harness as the table's
// tests play it (the rig built with its files, the recorder, the checks, the frame hashes), one
// after another. Reports the game seconds the rows' frames covered per wall second
// ("x_real_time"; goal: at least 100), the game seconds an iteration plays ("game_s") and the
// rows ("rows").

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "testsupport/attack_rig.h"
#include "testsupport/attack_table.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackOutcome;
namespace table = testsupport::attack_table;

std::vector<AttackCase> WholeTable() {
  std::vector<AttackCase> rows;
  for (const table::Family& family : table::Families()) {
    for (const int kind : family.kinds) {
      for (AttackCase& row : table::KindRows(kind)) rows.push_back(std::move(row));
    }
  }
  for (AttackCase& row : table::CombinationRows({1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13})) {
    rows.push_back(std::move(row));
  }
  return rows;
}

void BM_AttackTableHeadless(benchmark::State& state) {
  const std::vector<AttackCase> rows = WholeTable();
  double game_s = 0;
  for (auto _ : state) {
    for (const AttackCase& row : rows) {
      const AttackOutcome out = testsupport::PlayAttackCase(row);
      if (!out.failures.empty()) {
        state.SkipWithError((row.name + ": " + out.failures.front()).c_str());
        return;
      }
      // One presented frame a game frame (the rows step the clock a 1/60 s a frame).
      game_s += static_cast<double>(out.record.frames.size()) / 60.0;
    }
  }
  state.counters["x_real_time"] = benchmark::Counter(game_s, benchmark::Counter::kIsRate);
  state.counters["game_s"] = benchmark::Counter(game_s, benchmark::Counter::kAvgIterations);
  state.counters["rows"] = static_cast<double>(rows.size());
}
// Rates per wall second: the counters divide by real time, not the main thread's CPU time.
BENCHMARK(BM_AttackTableHeadless)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
