#pragma once
// A fresh engine with an open display and a program window, ready to play movies: scripted ones
// (registered with the headless movie source) or files opened through another movie service.

#include <gtest/gtest.h>

#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/movie/movie.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace movietest {

class MovieFixture : public ::testing::Test {
 protected:
  MovieFixture() {
    window().Create("movie", 640, 480);
    Ctx().frame_rate.main_window = &window();
    EXPECT_EQ(Ctx().ddraw.InitDirectDraw(), 1);
  }

  platform::headless::HeadlessWindow& window() { return engine.host.window; }
  platform::headless::HeadlessDisplay& display() { return engine.host.display; }
  platform::headless::HeadlessMovies& movies() { return engine.host.movies; }
  CMovie& player() { return Ctx().movie; }
  platform::Surface& primary() { return *Ctx().ddraw.GetSurface(SURFACE_PRIMARY); }
  uint16_t Pixel(SurfaceId id, int x, int y) { return Ctx().ddraw.GetSurface(id)->Row(y)[x]; }
  void Advance(uint32_t ms) { engine.host.clock.Advance(ms); }

  // A movie file on disk (its bytes do not matter to the scripted source) with its script.
  std::string AddMovie(const std::string& name, platform::headless::ScriptedMovie script) {
    const std::string path = tree.Write(name, "scripted movie");
    movies().Add(path, std::move(script));
    return path;
  }

  // Pictures every `step_ms` from 0 to `last_ms`, picture k filled with `first_pixel + k`.
  static platform::headless::ScriptedMovie Solid(int width, int height, double duration,
                                                 int step_ms, int last_ms, uint16_t first_pixel) {
    platform::headless::ScriptedMovie script;
    script.duration = duration;
    script.format.width = width;
    script.format.height = height;
    for (int t = 0, k = 0; t <= last_ms; t += step_ms, ++k) {
      script.frames.push_back(platform::headless::HeadlessMovies::SolidFrame(
          script.format, t / 1000.0, static_cast<uint16_t>(first_pixel + k)));
    }
    return script;
  }

  // Fills the whole primary surface with one value (what the screen showed before a movie).
  void PaintPrimary(uint16_t pixel) {
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) primary().Row(y)[x] = pixel;
    }
  }

  bool NoticePending() {
    for (const auto& e : window().Pending()) {
      if (e.kind == platform::EventKind::kUser13) return true;
    }
    return false;
  }

  // Runs the main-loop step, moving the clock by `step_ms` before each, until the movie is no
  // longer playing or `limit` steps ran. Returns the steps run.
  int PlayOut(uint32_t step_ms, int limit) {
    int steps = 0;
    while (player().GetMovieState() == kMoviePlaying && steps < limit) {
      player().RenderDue();
      if (player().GetMovieState() != kMoviePlaying) break;
      Advance(step_ms);
      ++steps;
    }
    return steps;
  }

  testsupport::TestEngine engine;
  testsupport::TempTree tree;
};

}  // namespace movietest
