// One whole engine frame of the heaviest engine-only scene (testsupport/busy_scene.h): five
// larger-than-screen layers scrolling, 1024 sprite-buffer entries (keyed, translucent in several
// blend modes, zoomed, mirrored, rotated), a translucent message window being typed into and a
// solid panel with text, an alpha cross-fade and a screen fade. The program is started through
// the spine on the headless platform (rows without padding), and each iteration is one AppFrame
// a 1/60 s step later: input poll, task list, sound step, animations, compose, flip and present.
//
// Beside the time, the benchmark counts the allocations made by the steady frames
// ("allocs/frame", through testsupport/counting_new's replaced operator new): a steady frame
// allocates nothing. When the message has been typed to its end it is typed again; that restart
// (which allocates) happens outside the timed and counted part.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/app/app_state.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "debug/debug_menu.h"
#include "engine/app/spine/spine.h"
#include "flow/tamvik_general.h"
#include "testsupport/busy_scene.h"
#include "testsupport/counting_new/counting_new.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_scene.h"
#include "bench/bench_allocations.h"

// ---- Allocation counting (the program links testsupport/counting_new) ----

uint64_t BenchAllocations() { return counting_new::AllAllocations(); }

namespace {

// The program, started and showing the busy scene.
struct BusyFrame {
  explicit BusyFrame(bool rgb555) {
    engine.host.display.pitch_padding = 0;
    if (rgb555) engine.host.config.Set("Pixel Format", "555");
    engine.host.config.Set("Install Directory", tree.Path("install"));
    testsupport::WriteGlyphFont(tree, testsupport::MakeGlyphFont());
    engine.host.files.SetWorkingDirectory(tree.root());
    int code = 0;
    window = AppStart(MakeGameHooks(debug_menu), code);
    AppSetActive(1);
    // The engine's scene alone, without the game-mode manager's sequences.
    CTamvikGeneral::StopManager();
    scene = testsupport::BuildBusyScene();
  }

  // One frame a 1/60 s step later.
  void Frame() {
    engine.host.clock.Advance(17);
    AppFrame(window);
  }

  testsupport::GameTree tree;
  // The game's debug menu, whose reset and frame hook the spine calls.
  CDebugMenu debug_menu;
  // The engine with the game and the scene the game's hooks boot.
  testsupport::TestScene contexts;
  testsupport::TestEngine& engine = contexts.game.engine;
  platform::Window* window = nullptr;
  testsupport::BusyScene scene;
};

void Run(benchmark::State& state, bool rgb555) {
  BusyFrame program(rgb555);
  if (program.window == nullptr || program.scene.entries.size() != 1024 ||
      program.scene.message == nullptr) {
    state.SkipWithError("the scene could not be built");
    return;
  }
  // Warm up: every lazily made table and buffer exists after a few seconds of frames.
  for (int i = 0; i < 240; ++i) {
    program.Frame();
    testsupport::RestartMessage(program.scene);
  }
  const int presented_before = program.engine.host.display.frames_presented;
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    program.Frame();
    allocations += BenchAllocations() - before;
    if (program.engine.ctx().anime.BlockOf<AnimeMessageBlock>(program.scene.message) == nullptr) {
      state.PauseTiming();
      testsupport::RestartMessage(program.scene);
      state.ResumeTiming();
    }
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["shown/frame"] =
      (program.engine.host.display.frames_presented - presented_before) / frames;
  if (program.engine.ctx().anime.IsAnime(program.scene.fade) == 0 ||
      program.engine.ctx().anime.IsAnime(program.scene.xfade) == 0) {
    state.SkipWithError("the fade or the cross-fade ended under the benchmark");
  }
}

void BM_EngineFrame565(benchmark::State& state) { Run(state, false); }
void BM_EngineFrame555(benchmark::State& state) { Run(state, true); }

BENCHMARK(BM_EngineFrame565)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineFrame555)->Unit(benchmark::kMillisecond);

}  // namespace
