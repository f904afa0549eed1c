// The minigame driver: one mg_frame on the fade path (the scene captured in work surface 1021,
// then copied into the screen 1023 with the brightness applied) beside a plain 640 x 480 copy,
// with the allocations of the steady frames counted ("allocs/frame"; goal 0); and whole program
// frames of a running minigame through the test runner (goal: above 2000 steps a second); and
// mg_obj_update over 255 live objects, one and six steps (goal: under 0.05 ms a step, no
// allocation).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/surface_pixels.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"
// ---- Minigame text ----
#include "engine/gfx/text/text_draw.h"
#include "minigames/framework/minigame_text.h"
// ---- Swimming game ----
#include "minigames/framework/minigame_input.h"
#include "minigames/swim/swim.h"
#include "testsupport/glyph_font_fixture.h"

namespace {

constexpr const char* kOd = "tamvik3\\od\\mg_test.od";

struct FadeRig {
  FadeRig() {
    game.engine.host.display.pitch_padding = 0;
    Ctx().file_io.SetInstallDir(tree.install().c_str());
    tree.Write("install/tamvik3/od/mg_test.od", testsupport::UniversalOd().Build());
    ready = Ctx().ddraw.InitDirectDraw() == 1;
    minigame.games[0].proc = [](int) { return 1; };
  }

  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  bool ready = false;
};

void BM_MinigameFadeFrame(benchmark::State& state) {
  FadeRig rig;
  if (!rig.ready || mg_start(0, mg::kModeFreePlay) != 1) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  auto frame = [&rig] {
    rig.game.engine.host.clock.Advance(17);
    mg_frame();
  };
  for (int i = 0; i < 4; ++i) frame();  // the load step and the first frames
  mg_brightness(128);
  frame();  // captures the scene into 1021
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    frame();
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  if (Minigame().fw.fade_phase != 2) state.SkipWithError("the fade path was not taken");
  mg_end();
}
BENCHMARK(BM_MinigameFadeFrame)->Unit(benchmark::kMicrosecond);

void BM_PlainScreenCopy(benchmark::State& state) {
  auto a = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  auto b = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  const Rect r{0, 0, 640, 480};
  for (auto _ : state) {
    CopyPixels(*a, r, *b, r, PixelCopy{});
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainScreenCopy)->Unit(benchmark::kMicrosecond);

void BM_MinigameRunnerStep(benchmark::State& state) {
  testsupport::MinigameRunner runner;
  runner.WriteFile(kOd, testsupport::OdWriter().Solid(0, 32, 32, 255, 0, 0).Build());
  runner.SetProc(0, [](int) {
    mg_fill(mg::kSlotScreen, 0, 0, 64, 64, 0x00FF00);
    return 1;
  });
  if (!runner.Start(0, mg::kModeFreePlay)) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  runner.Run(3);
  int64_t steps = 0;
  for (auto _ : state) {
    runner.Step();
    steps += runner.last_steps();
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MinigameRunnerStep)->Unit(benchmark::kMicrosecond);

// 255 live objects: every one shows a four-part composite animation of one-step frames; 50 run
// motion scripts of slow moves and waits, 100 make long eased moves, 20 flip; scripts and flips
// that end start again.
void BM_MinigameObjectUpdate(benchmark::State& state) {
  FadeRig rig;
  const int steps = static_cast<int>(state.range(0));
  testsupport::OdWriter od;
  for (int i = 0; i < 8; ++i) od.Solid(i, 8, 8, static_cast<uint8_t>(30 * i), 0, 0);
  using W = testsupport::OdWriter;
  for (int n = 1; n <= 8; ++n) {
    std::vector<W::Frame> frames;
    for (int f = 0; f < 6; ++f) {
      frames.push_back(W::Composite({{static_cast<uint16_t>(f % 8), 1, 2},
                                     {static_cast<uint16_t>(0x1000 | (f + 1) % 8), 3, 4},
                                     {static_cast<uint16_t>((f + 2) % 8), 5, 6},
                                     {static_cast<uint16_t>(0x2000 | (f + 3) % 8), 7, 8}},
                                    1));
    }
    od.Animation(n, frames);
  }
  std::vector<W::Op> ops;
  for (int k = 0; k < 40; ++k) {
    ops.push_back(k % 2 == 0 ? W::MoveTo(600, 400, 2) : W::MoveTo(0, 0, 2));
    ops.push_back(W::WaitMove());
    ops.push_back(W::Flag(5, k % 2));
  }
  ops.push_back(W::End());
  od.Script(1, ops);
  rig.tree.Write("install/tamvik3/od/mg_test.od", od.Build());
  if (!rig.ready || mg_screen_open() != 1 || mg_obj_create(kOd) != 1) {
    state.SkipWithError("the od file could not be loaded");
    return;
  }
  for (int o = 1; o < mg::kObjectCount; ++o) {
    mg_obj_put(o, o, o, o % 64, 1 + o % 8, 0);
    if (o <= 50) {
      mg_obj_script(o, 1, o % 64);
    } else if (o <= 150) {
      mg_obj_flag(o, o % 2 == 0 ? mg::kObjEaseOut : mg::kObjEaseIn, 1);
      mg_obj_move_n(o, 600 - o, 400 + o, 1000000);
    } else if (o <= 170) {
      mg_obj_flip(o, 1 + (o + 1) % 8);
    }
    if (o > 170 && o % 10 == 0) mg_obj_set_parent(o, o - 1);
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    for (int i = 0; i < steps; ++i) mg_obj_update();
    // Ended scripts and flips start again (outside the goal's work, but cheap).
    for (int o = 1; o <= 50; ++o) {
      if (mg_obj_test(o, mg::kObjScript) == 0) mg_obj_script(o, 1, o % 64);
    }
    for (int o = 151; o <= 170; ++o) {
      if (mg_obj_flipping(o) == 0) mg_obj_flip(o, 1 + o % 8);
    }
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/iter"] = static_cast<double>(allocations) / state.iterations();
  state.counters["us/step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * steps,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  mg_screen_close();
}
BENCHMARK(BM_MinigameObjectUpdate)->Arg(1)->Arg(6)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// One mg_draw of a busy scene: 255 objects (48 rotated 64 x 96 quads, 20 half-transparent, 10
// number displays, 50 linked shadows, the rest plain 32 x 32 images) over the tile map in both
// passes (goal: under 2 ms a frame, no allocation).
void BM_MinigameBusyDraw(benchmark::State& state) {
  FadeRig rig;
  testsupport::OdWriter od;
  for (int i = 0; i < 16; ++i) od.Solid(i, 32, 32, static_cast<uint8_t>(15 * i), 80, 40, 2);
  od.Solid(16, 64, 96, 200, 40, 40);
  for (int i = 20; i < 35; ++i) od.Solid(i, 12, 16, 250, static_cast<uint8_t>(10 * i), 0, 2);
  for (int n = 1; n <= 16; ++n) {
    od.Animation(n, {testsupport::OdWriter::Simple(static_cast<uint16_t>(n % 17), 1)});
  }
  od.Animation(20, {testsupport::OdWriter::Simple(20, 1)});
  rig.tree.Write("install/tamvik3/od/mg_test.od", od.Build());
  if (!rig.ready || mg_start(0, mg::kModeFreePlay) != 1) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  for (int i = 0; i < 3; ++i) {
    rig.game.engine.host.clock.Advance(17);
    mg_frame();
  }
  if (Minigame().fw.state != mg::kStateRunning) {
    state.SkipWithError("the od file could not be loaded");
    return;
  }
  std::vector<uint16_t> cells(64 * 32);
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i] = static_cast<uint16_t>(1 + i % 15) | (i % 5 == 0 ? 0x8000 : 0);
  }
  mg_map_open(cells, 0, 32, 32, 64, 0, 64, 32);
  for (int o = 1; o < mg::kObjectCount; ++o) {
    const int32_t x = (o * 37) % 600, y = (o * 53) % 440, layer = 129 + o * 3;
    if (o <= 48) {
      mg_obj_put(o, x, y, layer, 16, mg::kObjRotate);
      mg_obj_set_spin(o, o * 5);
    } else if (o <= 68) {
      mg_obj_put(o, x, y, layer, 1 + o % 15, mg::kObjHalfAlpha);
    } else if (o <= 78) {
      mg_obj_put(o, x, y, layer, 20, mg::kObjNumber);
      mg_obj_set_value(o, o * 1234);
      mg_obj_set_digits(o, 6);
    } else if (o <= 128) {
      mg_obj_put(o, 0, 0, layer, 0, 0);
      mg_obj_link(o, o + 100, 6, 6, layer);
    } else {
      mg_obj_put(o, x, y, layer, 1 + o % 15, 0);
    }
  }
  mg_obj_update();
  mg_obj_update();
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    mg_draw(mg::kSlotScreen);
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  mg_map_close();
  mg_end();
}
BENCHMARK(BM_MinigameBusyDraw)->Unit(benchmark::kMicrosecond);

// 640 x 480 bright copy (level 128) and blend (level 128) between slots, in Mpixel/s beside
// BM_PlainScreenCopy.
void BM_MinigameBrightAndBlend(benchmark::State& state) {
  FadeRig rig;
  if (!rig.ready || mg_screen_open() != 1 || mg_surf_create(600, 640, 480, 0) != 1 ||
      mg_surf_create(601, 640, 480, 0) != 1) {
    state.SkipWithError("no surfaces");
    return;
  }
  const bool blend = state.range(0) != 0;
  for (auto _ : state) {
    if (blend) {
      mg_blend(mg::kSlotScreen, 0, 0, 640, 480, 600, 0, 0, 601, 0, 0, 128);
    } else {
      mg_bright(mg::kSlotScreen, 0, 0, 640, 480, 600, 0, 0, 128);
    }
  }
  state.counters["Mpixel/s"] = benchmark::Counter(640.0 * 480 * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
  mg_screen_close();
}
BENCHMARK(BM_MinigameBrightAndBlend)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

// ---- Minigame text: a full page (3 lines of 20 characters) typed at once in one printer step
// (goal: under 1 ms, no allocation) ----

namespace {

void BM_MinigamePrintPage(benchmark::State& state) {
  FadeRig rig;
  std::string page = "\t";
  for (int line = 0; line < 3; ++line) {
    if (line > 0) page += '\n';
    for (int c = 0; c < 20; ++c) page += static_cast<char>('A' + (line * 7 + c) % 26);
  }
  std::string codes;
  for (int i = 0; i < 26; ++i) {
    codes += static_cast<char>(0xA2);
    codes += static_cast<char>(0xCF + i);
  }
  testsupport::WriteGlyphFont(rig.tree, testsupport::MakeGlyphFontFor({codes}), "cwd");
  rig.game.engine.host.files.SetWorkingDirectory(rig.tree.cwd());
  if (!rig.ready || Ctx().ddraw_text.LoadFont() != 1 || mg_screen_open() != 1 ||
      mg_surf_create(10, 600, 110, 0) != 1 || mg_surf_create(11, 600, 110, 0) != 1 ||
      mg_textwin_open(20, 360, 10, 10, 4, 4) != 1) {
    state.SkipWithError("the text window could not be opened");
    return;
  }
  Ctx().ddraw_text.SetPixelMode(CDdrawText::kModeRgb565);
  uint64_t allocations = 0;
  MgPrinter& printer = Minigame().printer;
  for (auto _ : state) {
    // The text starts with a tab (delay 0); its first step is due at once.
    mg_print_text(page.c_str());
    printer.counter = 0;
    printer.pen_x = printer.start_x;
    printer.pen_y = printer.start_y;
    const uint64_t before = BenchAllocations();
    mg_print_step();
    allocations += BenchAllocations() - before;
  }
  if (mg_print_busy() != 0) state.SkipWithError("the page was not typed in one step");
  state.counters["allocs/page"] = static_cast<double>(allocations) / state.iterations();
  mg_screen_close();
}
BENCHMARK(BM_MinigamePrintPage)->Unit(benchmark::kMicrosecond);

// ---- Swimming game ----

// A whole timed swim (mode 0) of the game procedure with a stroke every 4 steps and the object
// update, from the start through the pan, the walk-in and the swim past the fixed course's
// obstacles to the arrival, with no drawing and no capture (about 2000 steps; goal under 1 s).
void BM_SwimWholeTimedSwim(benchmark::State& state) {
  testsupport::MinigameRunner runner;
  runner.WriteFile("tamvik3\\od\\mg_swim.od", testsupport::UniversalOd({200}).Build());
  if (!runner.Start(1, mg::kModeStory) || !runner.Run(2)) {
    state.SkipWithError("the swimming game could not start");
    return;
  }
  int64_t steps = 0;
  for (auto _ : state) {
    swim_proc(mg::kStateLoadPending);
    for (int i = 0; i < 4000 && Minigame().swim.step < 10037; ++i) {
      Minigame().input.pending = i % 4 == 0 ? kMgKeyExtra : 0;
      swim_proc(mg::kStateRunning);
      mg_obj_update();
      ++steps;
    }
  }
  if (Minigame().swim.step < 10037) state.SkipWithError("the swimmer did not arrive");
  state.counters["steps/swim"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SwimWholeTimedSwim)->Unit(benchmark::kMillisecond);

}  // namespace
