// One whole program frame of each minigame at its busiest moment, on the minigame runner with the
// install tree of every row (the shooting game's frame is in shot_bench.cpp): the card game's 48
// turning cards with every combination plate and its value, the cleaning course in play, the
// swimming pool with 50 obstacles in view, the slot's reels with the panel of category values, the
// cooking panel's heat test with its gauge, the lost-child grid while the heroine walks, and the
// hub's combination list showing its longest row. The row's bot (and, for the hub, a choice of the
// list on its menu) plays a first run; among the frames at the moment, the one with the most
// objects shown is taken; a second run, the same frame for frame, is brought to it. There the
// game's state, the objects and the cursor are kept and put back before every step, so each timed
// frame (17, 17, 16 ms: one step each, no bot) is the same busy one: the game's step, the object
// update, the drawing and the present. Goal: under 2 ms a frame on one core and no allocation in
// these steady frames ("mg_frame_allocs/frame" counts those of the minigame's own frame,
// "allocs/frame" the whole frame's, the driver's records included).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_allocations.h"
#include "game/game_context.h"
#include "minigames/cook/cook_state.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/hana/hana_proc.h"
#include "minigames/hana/koi_proc.h"
#include "minigames/maigo/maigo.h"
#include "minigames/minigame_context.h"
#include "minigames/slot/slot_state.h"
#include "minigames/souji/souji_state.h"
#include "minigames/swim/swim.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_install.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/wav_writer.h"

namespace {

constexpr int kTimedFrames = 60;
uint64_t g_mg_frame_allocations = 0;

// The objects on the layer lists that show an image now.
int ListedObjects() {
  int shown = 0;
  int seen = 0;
  for (int layer = 0; layer < mg::kLayerCount; ++layer) {
    for (int o = Minigame().layer_heads[static_cast<size_t>(layer)]; o != 0 && ++seen < 4096;
         o = Minigame().objects[static_cast<size_t>(o)].link) {
      if (Minigame().objects[static_cast<size_t>(o)].image != mg::kNoImage) ++shown;
    }
  }
  return shown;
}

// ---- The moments ----

// The swimming game's steps of the swim and of a knock-back.
bool SwimAt() {
  const int32_t step = Minigame().swim.step;
  return step == 10029 || step == 10030;
}
// Obstacles of kinds 1, 2, 4 and 3 (a row of four) added over the part of the pool on the
// screen, away from the swimmer, until the table's 50 are there.
void SwimFill() {
  swim::SwimState& s = Minigame().swim;
  const int32_t swimmer_y = (s.y >> 8) + s.scroll;
  static constexpr int kKinds[] = {1, 2, 4, 3};
  int k = 0;
  for (int32_t y = 40; y < 460 && s.obstacle_count < swim::kMaxObstacles; y += 56) {
    if (y > swimmer_y - 110 && y < swimmer_y + 60) continue;
    for (int32_t x = 160; x < 640 && s.obstacle_count < swim::kMaxObstacles; x += 160) {
      swim::AddEntry(kKinds[k++ % 4], x, y - s.scroll, 0);
    }
  }
}

bool SoujiAt() { return Minigame().souji.step == souji::kStepPlay; }

bool CookAt() {
  const cook::CookState& c = Minigame().cook;
  return c.panel_mode == cook::kPanelHeat && c.panel_state == cook::kPanelActive;
}

bool HanaAt() { return Minigame().hana.play.step >= hana::kStepTurn; }
// Every card turning over face up across the table, and every combination plate with its value.
void HanaFill() {
  for (int card = 1; card <= hana::kDeckSize; ++card) {
    mg_obj_put(card, 40 + 48 * ((card - 1) % 12), 80 + 96 * ((card - 1) / 12), 200, 49, 0);
    mg_obj_flip(card, Minigame().hana.cards[static_cast<size_t>(card)].picture);
  }
  for (int i = 0; i < hana::kComboRows; ++i) {
    const int32_t y = 20 + 34 * i;
    mg_obj_put(hana::kObjPlateFirst + i, 420, y, 12,
               160 + Minigame().hana.combos[static_cast<size_t>(i)].label, 0);
    mg_obj_put(hana::kObjValueFirst + i, 580, y, 20, 10, mg::kObjNumber);
    mg_obj_set_value(hana::kObjValueFirst + i, 10 + i);
    mg_obj_set_digits(hana::kObjValueFirst + i, 2);
  }
  // Held at the middle of the turn: each timed step starts from here.
  for (int i = 0; i < 6; ++i) mg_obj_update();
}

bool SlotAt() {
  const int32_t step = Minigame().slot.step;
  return step == slot::kStepCategories || step == slot::kStepPanelHold;
}

bool MaigoAt() {
  const int32_t step = Minigame().maigo.step;
  return step == maigo::kStepWalkRow || step == maigo::kStepWalkChild;
}

bool KoiAt() { return Minigame().koi.step == hana::kKoiList; }
// On the hub's menu: the combination list chosen (as the cursor's decide would).
void KoiSteer() {
  hana::KoiState& k = Minigame().koi;
  if (k.step != hana::kKoiMenu) return;
  k.choice = hana::kKoiCombinationList;
  mg_cursor_close();
  k.step = hana::kKoiMenuFly;
}
// The row with the most example cards under the cursor, shown anew in every step.
void KoiFill() {
  int best = 0;
  int most = -1;
  for (int row = 0; row < hana::kKoiComboRows; ++row) {
    int cards = 0;
    for (int c : hana::KoiComboRowAt(row).cards) cards += c != 0 ? 1 : 0;
    if (cards > most) {
      most = cards;
      best = row;
    }
  }
  Minigame().cursor.selection = best;
  Minigame().koi.counter = -1;
}

// The game's state kept at the moment and put back before each step.
template <typename T>
std::function<void()> Keep(T MinigameContext::*member) {
  auto saved = std::make_shared<T>(Minigame().*member);
  return [member, saved] { Minigame().*member = *saved; };
}

struct Moment {
  const char* name;
  int row;
  int search_frames;  // frames of the first run searched for the moment
  bool (*at)();
  void (*fill)();     // makes the moment as full as the issue names it (may be null)
  void (*steer)();    // called after each frame of both runs (may be null)
  std::function<void()> (*keep)();
};

const Moment kMoments[] = {
    {"Swimming", 1, 1500, SwimAt, SwimFill, nullptr, [] { return Keep(&MinigameContext::swim); }},
    {"Cleaning", 2, 1500, SoujiAt, nullptr, nullptr, [] { return Keep(&MinigameContext::souji); }},
    {"Cooking", 3, 8000, CookAt, nullptr, nullptr, [] { return Keep(&MinigameContext::cook); }},
    {"Cards", 4, 1500, HanaAt, HanaFill, nullptr, [] { return Keep(&MinigameContext::hana); }},
    {"Slot", 5, 1500, SlotAt, nullptr, nullptr, [] { return Keep(&MinigameContext::slot); }},
    {"LostChild", 6, 1500, MaigoAt, nullptr, nullptr,
     [] { return Keep(&MinigameContext::maigo); }},
    {"Hub", 8, 600, KoiAt, KoiFill, KoiSteer, [] { return Keep(&MinigameContext::koi); }},
};

// A run of the row with its bot, in frames of one step (the 17, 17, 16 ms cadence: a frame of
// another length could put the engine's frame counter out of step with it); `frames` frames at most, stopping early when `stop` holds after
// a frame. The number of frames run (-1: the game did not start or a frame failed).
int Play(testsupport::MinigameRunner& runner, const Moment& g, int frames,
         const std::function<bool(int)>& stop) {
  testsupport::WriteMinigameInstall(runner);
  // The swimming game's cheers (five seconds each), so that no cheer starts in the timed frames.
  for (const char* cheer : swim::kCheers) {
    runner.WriteFile(cheer,
                     testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(5 * 22050, 900)).Bytes());
  }
  if (!runner.Start(g.row, 0)) return -1;
  runner.bot = [bot = testsupport::RowBot(g.row)](testsupport::MinigameRunner& r) mutable {
    if (mg_is_running()) bot(r);
  };
  int i = 0;
  while (i < frames && mg_is_running()) {
    if (!runner.Step()) return -1;
    ++i;
    if (g.steer != nullptr) g.steer();
    if (stop(i)) break;
  }
  return i;
}

void MinigameFrame(benchmark::State& state, const Moment& g) {
  // The busiest frame of the first run at the moment, among those whose next step starts no
  // sound (the timed frames repeat that step: a sound started in each would be no steady frame).
  int busiest_frame = -1;
  int busiest = -1;
  {
    testsupport::MinigameRunner runner;
    int candidate = -1;
    int candidate_shown = -1;
    size_t sounds = 0;
    const int ran = Play(runner, g, g.search_frames, [&](int frame) {
      const bool quiet = runner.sounds_played().size() == sounds;
      sounds = runner.sounds_played().size();
      if (candidate >= 0 && quiet && g.at() && candidate_shown > busiest) {
        busiest = candidate_shown;
        busiest_frame = candidate;
      }
      candidate = g.at() ? frame : -1;
      candidate_shown = ListedObjects();
      return false;
    });
    if (ran < 0 || busiest_frame < 0) {
      state.SkipWithError("the minigame did not reach its busiest moment");
      return;
    }
  }
  testsupport::MinigameRunner runner;
  if (Play(runner, g, busiest_frame, [](int) { return false; }) != busiest_frame ||
      !mg_is_running() || !g.at()) {
    state.SkipWithError("the second run did not reach the busiest frame");
    return;
  }
  runner.bot = nullptr;
  // The runner's log of sounds is the test's, not the game's.
  Minigame().sound.played = nullptr;
  if (g.fill != nullptr) g.fill();
  const std::function<void()> keep_game = g.keep();
  auto objects = std::make_shared<std::array<MgObject, mg::kObjectCount>>(Minigame().objects);
  auto cursor = std::make_shared<MgCursor>(Minigame().cursor);
  MgProc proc = Minigame().games[static_cast<size_t>(g.row)].proc;
  Minigame().games[static_cast<size_t>(g.row)].proc = [proc, keep_game, objects,
                                                       cursor](int s) {
    keep_game();
    Minigame().objects = *objects;
    Minigame().cursor = *cursor;
    return proc(s);
  };
  // The allocations inside the minigame's own frame (the task's mg_frame), apart from the
  // driver's records of the whole frame.
  std::function<void()> step = Game().sequences.minigame_step;
  Game().sequences.minigame_step = [step] {
    const uint64_t before = BenchAllocations();
    step();
    g_mg_frame_allocations += BenchAllocations() - before;
  };
  for (int i = 0; i < 3; ++i) runner.Step();  // past anything the first steps start once
  uint64_t allocations = 0;
  int64_t steps = 0;
  g_mg_frame_allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    runner.Step();
    allocations += BenchAllocations() - before;
    steps += runner.last_steps();
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  state.counters["steps/frame"] = static_cast<double>(steps) / state.iterations();
  state.counters["objects"] = ListedObjects();
  state.counters["mg_frame_allocs/frame"] =
      static_cast<double>(g_mg_frame_allocations) / state.iterations();
  state.counters["at_frame"] = busiest_frame;
  if (!mg_is_running() || !g.at()) state.SkipWithError("the game left its busiest moment");
}

void Register() {
  for (const Moment& g : kMoments) {
    benchmark::RegisterBenchmark((std::string("MinigameFrame/") + g.name).c_str(),
                                 [&g](benchmark::State& state) { MinigameFrame(state, g); })
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(kTimedFrames);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
