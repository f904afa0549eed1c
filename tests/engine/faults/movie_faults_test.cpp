// The movie seam under attack while the program runs: movies that cannot start for every reason
// the player knows, and faults of the display, the window and the program state while a movie
// plays through the message loop.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/gfx/display/ddraw_func.h"
#include "engine/movie/movie.h"
#include "platform/headless/headless_movie.h"
#include "tests/engine/faults/fault_rig.h"
#include "testsupport/faulty_files.h"

namespace {

using faults::BusyProgram;
using testsupport::FaultyFiles;
using platform::EventKind;
using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;

// A scripted movie of solid pictures every 100 ms up to `last_ms`.
ScriptedMovie Solid(double duration, int last_ms, int bits = 16) {
  ScriptedMovie script;
  script.duration = duration;
  script.format.width = 160;
  script.format.height = 120;
  script.format.bits_per_pixel = bits;
  for (int t = 0, k = 0; t <= last_ms; t += 100, ++k) {
    script.frames.push_back(HeadlessMovies::SolidFrame(script.format, t / 1000.0,
                                                       static_cast<uint16_t>(0x2000 + k)));
  }
  return script;
}

class MovieProgram : public BusyProgram {
 public:
  MovieProgram() { path = tree.Write("cwd/movie.mpg", "scripted"); }

  CMovie& player() { return Ctx().movie; }

  // One loop iteration while a movie may play: in loop mode 0 an input message wakes the loop's
  // wait (so no iteration waits for real time) and a frame runs after it.
  bool MovieStep() {
    if (AppGetLoopMode() == 0) host_window().PostEvent({EventKind::kInput, 0});
    return Step();
  }
  // Iterations until the movie is over and cleaned up (or the loop ends); whether it is over.
  bool PlayOut(int iterations) {
    for (int i = 0; i < iterations; ++i) {
      if (player().GetMovieState() == kMovieNone && AppGetLoopMode() == 1) return true;
      if (!MovieStep()) return false;
    }
    return player().GetMovieState() == kMovieNone;
  }

  std::string path;
};

TEST(MovieFaults, MovieThatCannotStartLeavesTheGameRunning) {
  const struct {
    const char* name;
    std::function<void(MovieProgram&)> fault;
  } cases[] = {
      {"no such file", [](MovieProgram& p) { p.path = p.tree.Path("cwd/none.mpg"); }},
      {"no movie service",
       [](MovieProgram& p) {
         p.host().movies.Add(p.path, Solid(1.0, 900));
         p.host().seams().movies = nullptr;
       }},
      {"no pictures",
       [](MovieProgram& p) {
         ScriptedMovie script = Solid(1.0, 900);
         script.has_video = false;
         p.host().movies.Add(p.path, script);
       }},
      {"pictures of another depth",
       [](MovieProgram& p) { p.host().movies.Add(p.path, Solid(1.0, 900, 24)); }},
      {"pictures in the other layout",
       [](MovieProgram& p) {
         ScriptedMovie script = Solid(1.0, 900);
         script.layout_as_asked = false;
         script.format.layout = platform::PixelLayout::kRgb555;
         p.host().movies.Add(p.path, script);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MovieProgram p;
    ASSERT_TRUE(p.KeepsShowing(2));
    c.fault(p);
    EXPECT_EQ(p.player().Play(p.window, p.path.c_str()), 0);
    EXPECT_EQ(p.player().GetMovieState(), kMovieNone);
    EXPECT_EQ(AppGetLoopMode(), 1u);
    EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);  // the compose is not held
    EXPECT_TRUE(p.KeepsShowing(5));
    // Nothing is left to refuse the quit.
    p.host_window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
    EXPECT_TRUE(p.RunToEnd(5));
    EXPECT_TRUE(p.host_window().boxes.empty());
    p.host().seams().movies = &p.host().movies;
  }
}

TEST(MovieFaults, MovieWithoutHostPathsCannotStart) {
  MovieProgram p;
  ASSERT_TRUE(p.started);
  p.host().movies.Add(p.path, Solid(1.0, 900));
  FaultyFiles files(p.host().files);
  files.no_host_paths = true;
  p.host().seams().files = &files;
  EXPECT_EQ(p.player().Play(p.window, p.path.c_str()), 0);
  EXPECT_EQ(AppGetLoopMode(), 1u);
  EXPECT_TRUE(p.KeepsShowing(3));
  p.host().seams().files = &p.host().files;
}

TEST(MovieFaults, FaultsWhileAMoviePlaysThroughTheLoop) {
  const struct {
    const char* name;
    std::function<void(MovieProgram&)> fault;  // injected after a few pictures
    bool ends_program;
  } cases[] = {
      {"nothing goes wrong", [](MovieProgram&) {}, false},
      {"screen lost",
       [](MovieProgram&) { Ctx().ddraw.GetSurface(SURFACE_PRIMARY)->SetLost(true); }, false},
      {"flip buffer lost",
       [](MovieProgram&) { Ctx().ddraw.GetSurface(SURFACE_FLIP)->SetLost(true); }, false},
      {"scratch 2 lost",
       [](MovieProgram&) { Ctx().ddraw.GetSurface(SURFACE_SCRATCH2)->SetLost(true); }, false},
      {"focus lost and regained",
       [](MovieProgram& p) {
         p.host_window().PostEvent({EventKind::kActivateApp, 0});
         p.host_window().PostEvent({EventKind::kActivateApp, 1});
       },
       false},
      {"Alt+F4 (refused while the movie plays)",
       [](MovieProgram& p) {
         p.host_window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
       },
       false},
      // The next frame carries the quit out, stopping the movie first.
      {"the game asks to quit", [](MovieProgram&) { AppSetQuit(); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MovieProgram p;
    ASSERT_TRUE(p.KeepsShowing(2));
    p.host().movies.Add(p.path, Solid(1.0, 900));
    ASSERT_EQ(p.player().Play(p.window, p.path.c_str()), 1);
    for (int i = 0; i < 10; ++i) p.MovieStep();
    ASSERT_EQ(p.player().GetMovieState(), kMoviePlaying);
    c.fault(p);
    if (c.ends_program) {
      for (int i = 0; i < 10 && p.MovieStep();) ++i;
      EXPECT_TRUE(p.ended);
      EXPECT_EQ(p.exit_code, 0);
      EXPECT_EQ(p.player().GetMovieState(), kMovieNone);
      EXPECT_FALSE(p.display().open);
      continue;
    }
    EXPECT_TRUE(p.PlayOut(200)) << "the movie did not end";
    EXPECT_EQ(AppGetLoopMode(), 1u);
    // The game's own frames come back.
    EXPECT_TRUE(p.KeepsShowing(5));
    EXPECT_TRUE(p.host_window().boxes.empty());
  }
}

TEST(MovieFaults, PresentThatFailsWhileAMoviePlaysEndsTheProgramWithTheFrameBox) {
  MovieProgram p;
  ASSERT_TRUE(p.KeepsShowing(2));
  p.host().movies.Add(p.path, Solid(1.0, 900));
  ASSERT_EQ(p.player().Play(p.window, p.path.c_str()), 1);
  for (int i = 0; i < 5; ++i) p.MovieStep();
  p.display().present_fails = true;
  // The movie's own pictures cannot show; once it is over the game's first frame fails.
  for (int i = 0; i < 200 && !p.ended; ++i) p.MovieStep();
  EXPECT_TRUE(p.ended);
  EXPECT_EQ(p.BoxCount(faults::kShowWindowFailed), 1);
}

}  // namespace
