// The event check's worst frame: one CheckEvents on a table of 60 rows that all pass their
// timing and guard tests and evaluate their conditions C, A and B with the battle's condition
// functions (C 0, A non-zero, B 0, so no row starts), over 64 units (16 of the player's, 48
// enemies). Goal: under 50 us a check, no heap allocation ("allocs/check").
//
// BM_CheckEventsStoryMap: the same over the scripted story's map A table (testsupport/story_map.h)
// in its busiest frame: the timing word 0x8000 | 0x0004 | 0x0008 and the opening's and the
// choice's flags set, so that every row whose timing the word holds is tested to its conditions
// (the movie's at full life, the ending's with the enemy standing, the defeat's without its flag;
// the generic rows with the heroines on the board and the random source failing R(20)) and none
// starts.
//
// BM_CheckEventsMap04: map 4's table (48 rows) on a 0x8000 | 0x0004 frame with its openings' flags
// set, so that no row starts and the twenty goal-area rows parse their XGU / XF conditions.
//
// BM_CheckEventsHeavyMap/N: the heaviest real tables (maps 4, 7, 8 and 12) on a frame of
// 0x8000 | 0x0004 | 0x0008 (a unit acting, the timing the most rows wait for), with the player's
// units below map 7's line points and the flags of the rows that would start set (found before
// the timing by checking until no row starts), so that the check walks the whole table to its
// end and no row starts.
//
// BM_CheckEventsMap07: map 7's table (50 rows) on a 0x8000 | 0x0004 frame with its silent events'
// and openings' flags set and the player's units below both lines' points, so that no row starts
// and the two line rows evaluate their fourteen LP terms.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_check.h"
#include "battle_events/events_install.h"
#include "battle_events/maps/map04.h"
#include "battle_events/maps/map07.h"
#include "battle_events/maps/map08.h"
#include "battle_events/maps/map12.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/story_map.h"
#include "testsupport/test_game.h"

namespace {

using testsupport::BoardUnit;

void Noop(const SlgEventEntry& /*row*/) {}

// Three kinds of rows as the maps write them; each condition reads every unit or the
// characters' records, the acting unit, the flags, the turn, positions and the random source.
struct Conditions {
  const char* c;
  const char* a;
  const char* b;
};
constexpr std::array<Conditions, 3> kConditions = {{
    {"HP(IKD,0)|NP(IMR());", "NU(50)&!NG(GZA);", "NG(GZA)|HGU(GZA,14,0);"},
    {"NU(14);", "(XGU(GPL,0) >= 0)&(T() >= 0);", "(XGU(GZA,50) = XF(10,20))&F(120);"},
    {"NP(ITV)|NG(GZA)|NU(0);", "F(0)|!F(121);", "PGU(GZA,50)|HP(IBS,50)&R(0);"},
}};

// 64 units on the board: 16 of the player's (characters and kinds 0-6), 48 ASHIGARU (kind 14).
void PlaceUnits(testsupport::BattleBoard& board) {
  for (int i = 0; i < 64; ++i) {
    BoardUnit u;
    u.side = i < 16 ? 0 : 1;
    u.character = static_cast<uint8_t>(i < 16 ? i % 7 : 20);
    u.kind = static_cast<uint8_t>(i < 16 ? i % 7 : 14);
    u.category = i < 16 ? 0 : 1;
    const int column = i % 22;
    const int row = 4 + 2 * (i / 22);
    u.x = static_cast<int16_t>((2 * column + (row & 1)) * 48);
    u.y = static_cast<int16_t>(24 * row);
    board.AddUnit(u);
  }
}

// A game and a board of 64 units (the first acting), the random source answering one value.
struct CheckBoard {
  CheckBoard() {
    board.battle().rand_seam.script = [] { return 0x1234; };
    PlaceUnits(board);
    board.battle().state.acting_unit = 0;
  }
  testsupport::TestGame game;
  testsupport::BattleBoard board;
};

// Times CheckEvents on `table` (started on the board's battle, which clears the flags; then
// `flags` set and `timing` in the timing word); fails the run when a row starts.
void TimeChecks(benchmark::State& state, BattleContext& b, const SlgEventEntry* table,
                const SlgEventEntry* end, uint16_t timing, const std::vector<int>& flags = {}) {
  InstallBattleEvents(b);
  StartEventCheck(table);
  for (int flag : flags) SetEventFlag(static_cast<uint32_t>(flag));
  b.state.turn_flags = timing;
  const uint32_t draws = b.rand_seam.calls;
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    benchmark::DoNotOptimize(SlgEventCheck::CheckEvents());
    allocations += BenchAllocations() - before;
  }
  if (CurrentEvent() != end) state.SkipWithError("a row started");
  state.counters["allocs/check"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["draws/check"] = benchmark::Counter(
      static_cast<double>(b.rand_seam.calls - draws), benchmark::Counter::kAvgIterations);
}

void BM_CheckEventsWorstFrame(benchmark::State& state) {
  CheckBoard on;
  BattleContext& b = on.board.battle();
  std::vector<SlgEventEntry> table;
  for (int i = 0; i < 60; ++i) {
    const Conditions& c = kConditions[static_cast<size_t>(i % 3)];
    const auto flag = static_cast<int16_t>(200 + i);
    table.push_back({.id = static_cast<uint16_t>(1000 + i), .timing = 0x8000, .a = c.a,
                     .b = c.b, .guard = {flag, 0}, .c = c.c, .set = {flag, 0},
                     .handler = &Noop});
  }
  table.push_back(kEventTableEnd);
  for (const SlgEventEntry& row : table) {
    if (row.handler != nullptr && (CondEval(row.c) != 0 || CondEval(row.a) == 0 ||
                                   CondEval(row.b) != 0)) {
      state.SkipWithError("a row does not evaluate C 0, A non-zero and B 0");
      return;
    }
  }
  TimeChecks(state, b, table.data(), &table.back(), 0x8000);
}
BENCHMARK(BM_CheckEventsWorstFrame)->Unit(benchmark::kMicrosecond);

void BM_CheckEventsStoryMap(benchmark::State& state) {
  CheckBoard on;
  BattleContext& b = on.board.battle();
  b.state.turn_counter = 2;
  // The random source fails R(20): the turn remarks and the favourite's are tested to their last
  // condition and do not start.
  b.rand_seam.script = [] { return 0xFFFF; };
  const SlgEventEntry* table = testsupport::StoryMapATable();
  const SlgEventEntry* end = table;
  while (end->handler != nullptr) ++end;
  TimeChecks(state, b, table, end, 0x8000 | 0x0004 | 0x0008,
             {testsupport::kStoryOpening, testsupport::kStoryChoice});
}
BENCHMARK(BM_CheckEventsStoryMap)->Unit(benchmark::kMicrosecond);

void BM_CheckEventsMap04(benchmark::State& state) {
  CheckBoard on;
  BattleContext& b = on.board.battle();
  const SlgEventEntry* table = kMap04Setup.table;
  const SlgEventEntry* end = table;
  while (end->handler != nullptr) ++end;
  TimeChecks(state, b, table, end, 0x8000 | 0x0004, {99, 100});
}
BENCHMARK(BM_CheckEventsMap04)->Unit(benchmark::kMicrosecond);

void BM_CheckEventsMap07(benchmark::State& state) {
  CheckBoard on;
  BattleContext& b = on.board.battle();
  // The player's units below both lines' points (outside their diagonals).
  for (SlgUnit& u : b.state.units) {
    if (u.side == 0) u.y = 1900 * 65536;
  }
  const SlgEventEntry* table = kMap07Setup.table;
  const SlgEventEntry* end = table;
  while (end->handler != nullptr) ++end;
  TimeChecks(state, b, table, end, 0x8000 | 0x0004, {97, 98, 99, 100, 101});
}
BENCHMARK(BM_CheckEventsMap07)->Unit(benchmark::kMicrosecond);

// The flags that keep every row of `table` from starting on this frame: checks on a fresh install
// until none starts, each time setting the guard flag of the row that did. Empty with `ok` false
// when a row that started has no guard flag.
std::vector<int> QuietFlags(BattleContext& b, const SlgEventEntry* table, uint16_t timing,
                            bool& ok) {
  std::vector<int> flags;
  ok = true;
  for (int tries = 0; tries < 128; ++tries) {
    InstallBattleEvents(b);
    StartEventCheck(table);
    for (int flag : flags) SetEventFlag(static_cast<uint32_t>(flag));
    b.state.turn_flags = timing;
    if (SlgEventCheck::CheckEvents() == 0) return flags;
    const SlgEventEntry* started = CurrentEvent();
    const int16_t guard = started->guard[0] != 0 ? started->guard[0] : started->guard[1];
    if (guard == 0) break;
    flags.push_back(guard);
  }
  ok = false;
  return {};
}

void BM_CheckEventsHeavyMap(benchmark::State& state) {
  CheckBoard on;
  BattleContext& b = on.board.battle();
  for (SlgUnit& u : b.state.units) {
    if (u.side == 0) u.y = 1900 * 65536;
  }
  b.rand_seam.script = [] { return 0xFFFF; };
  const MapSetup* setup = kMapEventSetupTable[static_cast<size_t>(state.range(0) - 1)];
  constexpr uint16_t kTiming = 0x8000 | 0x0004 | 0x0008;
  bool ok = false;
  const std::vector<int> flags = QuietFlags(b, setup->table, kTiming, ok);
  if (!ok) {
    state.SkipWithError("a row without a guard flag starts on the frame");
    return;
  }
  const SlgEventEntry* end = setup->table;
  while (end->handler != nullptr) ++end;
  state.counters["rows"] = static_cast<double>(end - setup->table);
  state.counters["flags set"] = static_cast<double>(flags.size());
  TimeChecks(state, b, setup->table, end, kTiming, flags);
}
BENCHMARK(BM_CheckEventsHeavyMap)->Arg(4)->Arg(7)->Arg(8)->Arg(12)->Unit(benchmark::kMicrosecond);

}  // namespace
