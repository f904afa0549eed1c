// The flower-card computer: one hana::CpuChoose with eight hand cards, a full field and half the
// deck captured (goal: under 0.05 ms a call); and 1000 matches with the computer on both sides in
// the hub mode (goal: under 2 s).

#include <benchmark/benchmark.h>

#include <algorithm>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/hana/hana_cpu.h"
#include "minigames/hana/hana_rules.h"
#include "minigames/minigame_context.h"
#include "testsupport/hana_selfplay.h"
#include "testsupport/test_game.h"

namespace {

struct HanaRig {
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
};

void BM_HanaCpuChoose(benchmark::State& state) {
  HanaRig rig;
  hana::HanaState& s = rig.minigame.hana;
  SeedRandom(5);
  hana::StartMatch(mg::kModeStory);
  hana::Shuffle(false);
  // Eight cards in the computer's hand, twelve in each pile, the other sixteen on the field
  // between taken markers, so the evaluation walks 32 occupied field slots.
  s.players = {};
  s.field = {};
  int at = 1;
  for (int i = 0; i < 8; ++i) s.players[1].hand[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(at++)];
  for (int i = 0; i < 12; ++i) s.players[0].pile[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(at++)];
  for (int i = 0; i < 12; ++i) s.players[1].pile[static_cast<size_t>(i)] = s.deck[static_cast<size_t>(at++)];
  for (int i = 0; i < 16; ++i) {
    s.field[static_cast<size_t>(2 * i)] = s.deck[static_cast<size_t>(at++)];
    s.field[static_cast<size_t>(2 * i + 1)] = hana::kTaken;
  }
  s.next_draw = at;
  s.current = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hana::CpuChoose(0));
    benchmark::DoNotOptimize(s.cpu_hand);
  }
}
BENCHMARK(BM_HanaCpuChoose);

void BM_HanaSelfPlay1000(benchmark::State& state) {
  HanaRig rig;
  mg_var_set(4, 10);
  mg_var_set(5, 7);
  uint32_t seed = 1;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      SeedRandom(seed++);
      benchmark::DoNotOptimize(testsupport::PlayHanaMatch(mg::kModeHubMatch).kind);
    }
  }
}
BENCHMARK(BM_HanaSelfPlay1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
