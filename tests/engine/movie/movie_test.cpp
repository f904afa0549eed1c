#include "engine/movie/movie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/spine/spine.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "tests/engine/movie/movie_fixture.h"
#include "testsupport/trace_capture.h"

namespace movietest {
namespace {

using platform::EventKind;
using platform::PixelLayout;
using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;

class Movie : public MovieFixture {};

TEST_F(Movie, SettingsAreCheckedAndRefusedWhileAMoviePlays) {
  EXPECT_EQ(player().GetPos(), -1.0);
  const struct {
    int x0, y0, x1, y1, ok;
  } rects[] = {{0, 0, 640, 480, 1}, {0, 0, 641, 480, 0}, {0, 0, 640, 481, 0},  {-1, 0, 640, 480, 0},
               {10, 0, 10, 480, 0}, {0, 20, 640, 19, 0}, {32, 32, 608, 320, 1}};
  for (const auto& r : rects) {
    EXPECT_EQ(player().SetDestRect(r.x0, r.y0, r.x1, r.y1), r.ok)
        << r.x0 << "," << r.y0 << "-" << r.x1 << "," << r.y1;
  }
  const struct {
    int left, top, right, bottom, ok;
  } trims[] = {{16, 0, 16, 0, 1}, {639, 479, 639, 479, 1}, {640, 0, 0, 0, 0}, {0, 480, 0, 0, 0},
               {0, 0, 640, 0, 0}, {0, 0, 0, 480, 0},       {-1, 0, 0, 0, 0},  {30, 39, 30, 41, 1}};
  for (const auto& t : trims) {
    EXPECT_EQ(player().SetSrcMargin(t.left, t.top, t.right, t.bottom), t.ok)
        << t.left << "," << t.top << "," << t.right << "," << t.bottom;
  }
  for (int mode : {0, 1, 2, 3, -1}) {
    EXPECT_EQ(player().SetPlayMode(mode), mode == 1 || mode == 2 ? 1 : 0) << mode;
  }

  const std::string path = AddMovie("a.mpg", Solid(160, 120, 1.0, 100, 900, 0x100));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  EXPECT_EQ(player().SetDestRect(0, 0, 640, 480), 0);
  EXPECT_EQ(player().SetSrcMargin(0, 0, 0, 0), 0);
  EXPECT_EQ(player().SetPlayMode(2), 0);
  EXPECT_EQ(player().dest_rect().top, 32);  // the last accepted rectangle stands
  EXPECT_EQ(player().GetPos(), 0.0);
  // A second movie is refused and changes nothing.
  EXPECT_EQ(player().Play(&window(), path.c_str()), 0);
  EXPECT_EQ(movies().record(path).opened, 1);
}

TEST_F(Movie, PlaysToItsEndAndTheNoticeCleansUp) {
  testsupport::TraceCapture trace;
  // What the layers and the screen show before the movie.
  platform::Surface* root = Ctx().ddraw.GetSurface(SURFACE_ROOT);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) root->Row(y)[x] = static_cast<uint16_t>(x + y * 7);
  }
  PaintPrimary(0x5555);
  const std::string path = AddMovie("Movie/op.mpg", Solid(320, 240, 0.95, 100, 900, 0x1000));

  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  EXPECT_TRUE(trace.Contains("making movie object\n"));
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
  EXPECT_EQ(AppGetLoopMode(), 0u);
  EXPECT_NE(Ctx().ddraw.IsUpdate(0), 0u);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {639, 479}, {100, 200}}) {
    EXPECT_EQ(Pixel(SURFACE_SCRATCH2, x, y), root->Row(y)[x]) << x << "," << y;
    EXPECT_EQ(Pixel(SURFACE_XFADE, x, y), root->Row(y)[x]) << x << "," << y;
  }
  // The engine's compose is held: nothing is composed or flipped over the movie.
  const int presented_before = display().frames_presented;
  EXPECT_EQ(Ctx().ddraw.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, presented_before);

  // Picture 0 is due at once; the next one in 100 ms.
  EXPECT_EQ(player().RenderDue(), 100);
  EXPECT_EQ(display().frames_presented, presented_before + 1);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 32, 16), 0x1000);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 607, 335), 0x1000);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 31, 16), 0x5555);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 32, 336), 0x5555);
  EXPECT_EQ(display().FramePixel(300, 200), 0x1000);
  EXPECT_EQ(player().RenderDue(), 100);  // nothing new is due yet
  EXPECT_EQ(display().frames_presented, presented_before + 1);

  // Pictures 1-8 end nothing; picture 9 (0.9 s of 0.95) is within 0.1 s of the end: the movie
  // ends, and that picture is still shown.
  for (int k = 1; k <= 8; ++k) {
    Advance(100);
    player().RenderDue();
    EXPECT_EQ(player().GetMovieState(), kMoviePlaying) << k;
  }
  EXPECT_FALSE(NoticePending());
  Advance(100);
  EXPECT_EQ(player().RenderDue(), -1);
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 300, 200), 0x1009);
  EXPECT_EQ(display().frames_presented, presented_before + 10);
  EXPECT_EQ(AppGetLoopMode(), 1u);
  EXPECT_TRUE(NoticePending());
  EXPECT_EQ(movies().record(path).pauses, 1);
  EXPECT_EQ(movies().record(path).closed, 0);  // closed only by the clean-up
  EXPECT_EQ(player().RenderDue(), -1);

  // The notice's handler: closed, compose released, the rectangle blanked, all composed again.
  player().OnGraphEvent(&window());
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
  EXPECT_EQ(player().movie_object(), nullptr);
  EXPECT_EQ(movies().record(path).closed, 1);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  EXPECT_NE(Ctx().ddraw.IsUpdate(SURFACE_ALL_LAYERS), 0u);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 32, 16), 0);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 607, 335), 0);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 31, 16), 0x5555);
  EXPECT_EQ(display().FramePixel(300, 200), 0);
  EXPECT_EQ(player().GetPos(), -1.0);
  // The next frame composes the layers again: what they hold shows in the rectangle.
  const int presented = display().frames_presented;
  EXPECT_EQ(Ctx().ddraw.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, presented + 1);
  EXPECT_EQ(display().FramePixel(300, 200), root->Row(200)[300]);
  EXPECT_EQ(display().FramePixel(32, 16), root->Row(16)[32]);

  // A second notice does nothing; a new movie starts afresh.
  player().OnGraphEvent(&window());
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
  trace.Clear();
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  EXPECT_TRUE(trace.Contains("making movie object\n"));
}

TEST_F(Movie, StopDropsTheOverlayAtOnceAndEndsAtTheNextPicture) {
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 5.0, 100, 4900, 0x200));
  int overlay_calls = 0;
  int presented_when_called = -1;
  player().SetOverlayCallback([&] {
    ++overlay_calls;
    presented_when_called = display().frames_presented;
    primary().Row(0)[0] = 0x1234;  // a caption drawn over the picture
  });
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  const int presented = display().frames_presented;
  player().RenderDue();
  // The overlay runs after the picture is presented, and what it drew is shown too.
  EXPECT_EQ(overlay_calls, 1);
  EXPECT_EQ(presented_when_called, presented + 1);
  EXPECT_EQ(display().frames_presented, presented + 2);
  EXPECT_EQ(display().FramePixel(0, 0), 0x1234);

  player().Stop();
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
  EXPECT_EQ(player().stop_request(), 1);
  EXPECT_EQ(player().CallOverlay(3), 0);
  EXPECT_EQ(overlay_calls, 1);
  EXPECT_FALSE(NoticePending());
  Advance(100);
  player().RenderDue();
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  EXPECT_EQ(player().stop_request(), 0);
  EXPECT_EQ(overlay_calls, 1);
  EXPECT_TRUE(NoticePending());
  EXPECT_LT(player().GetPos(), 1.0);
}

TEST_F(Movie, StopWhilePausedTakesEffectAfterResume) {
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 5.0, 100, 4900, 0x200));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  player().RenderDue();
  Advance(50);
  player().Pause();
  EXPECT_EQ(player().GetMovieState(), kMoviePaused);
  player().Resume();
  player().Pause();
  player().Pause();  // only 1 -> 2
  EXPECT_EQ(movies().record(path).pauses, 2);
  const double paused_at = player().GetPos();
  EXPECT_DOUBLE_EQ(paused_at, 0.05);
  player().Stop();

  // Nothing flows while paused: the clock stands still and the stop waits.
  Advance(1000);
  EXPECT_EQ(player().RenderDue(), -1);
  EXPECT_EQ(player().GetMovieState(), kMoviePaused);
  EXPECT_DOUBLE_EQ(player().GetPos(), paused_at);
  EXPECT_FALSE(NoticePending());

  player().Resume();
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
  EXPECT_EQ(player().RenderDue(), 50);  // picture 1 is due at 0.1 s of movie time
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
  Advance(50);
  player().RenderDue();
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  EXPECT_TRUE(NoticePending());
}

TEST_F(Movie, AStopAskedOfAnEndedMovieDoesNotEndTheNextOne) {
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 0.35, 100, 300, 0x300));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  PlayOut(100, 20);
  ASSERT_EQ(player().GetMovieState(), kMovieEnded);
  player().Stop();  // the game asks for a stop while the clean-up is pending
  player().OnGraphEvent(&window());
  ASSERT_EQ(player().GetMovieState(), kMovieNone);

  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  player().RenderDue();
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
}

TEST_F(Movie, FailuresToStartGiveEverythingBack) {
  ScriptedMovie no_video = Solid(160, 120, 1.0, 100, 900, 0x400);
  no_video.has_video = false;
  ScriptedMovie rgb555 = Solid(160, 120, 1.0, 100, 900, 0x400);
  rgb555.layout_as_asked = false;
  rgb555.format.layout = PixelLayout::kRgb555;
  ScriptedMovie rgb24 = Solid(160, 120, 1.0, 100, 900, 0x400);
  rgb24.format.bits_per_pixel = 24;
  const std::string good = AddMovie("good.mpg", Solid(160, 120, 1.0, 100, 900, 0x400));
  const struct {
    const char* name;
    std::string path;
    const char* trace;
  } cases[] = {
      {"missing file", tree.Path("Movie/none.mpg"), "open failed.\n"},
      {"missing directory", tree.Path("nowhere/none.mpg"), "open failed.\n"},
      {"a file that is no movie", tree.Write("text.mpg", "not a movie"), "open failed.\n"},
      {"no video stream", AddMovie("sound.mpg", no_video), "render object not found.\n"},
      {"RGB555 pictures on an RGB565 display", AddMovie("555.mpg", rgb555), "open failed.\n"},
      {"24-bit pictures", AddMovie("24.mpg", rgb24), "open failed.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TraceCapture trace;
    EXPECT_EQ(player().Play(&window(), c.path.c_str()), 0);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_TRUE(trace.Contains("DS error MovieOpen failed.\n"));
    EXPECT_EQ(player().GetMovieState(), kMovieNone);
    EXPECT_EQ(AppGetLoopMode(), 1u);
    EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
    EXPECT_EQ(player().movie_object(), nullptr);
    EXPECT_EQ(player().GetPos(), -1.0);
    EXPECT_EQ(player().RenderDue(), -1);
    // The game goes on: the next movie plays.
    ASSERT_EQ(player().Play(&window(), good.c_str()), 1);
    player().StopAndClose();
  }
  EXPECT_EQ(player().Play(&window(), nullptr), 0);
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
}

TEST_F(Movie, AMovieWhosePicturesEndEarlyStillEnds) {
  // Stated as 5 s long, but its pictures stop at 0.5 s.
  const std::string path = AddMovie("short.mpg", Solid(160, 120, 5.0, 100, 500, 0x500));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  const int steps = PlayOut(100, 100);
  EXPECT_EQ(player().GetMovieState(), kMovieEnded);
  EXPECT_LE(steps, 7);
  EXPECT_LT(player().GetPos(), 1.0);
  EXPECT_TRUE(NoticePending());
  EXPECT_EQ(movies().record(path).taken, 6);
}

// A damaged movie that states 42.9 s and whose pictures stop at 0.24 s while its stream neither
// ends nor gives more: it ends a second after its last picture, named in the trace, and the quit
// request is refused only until then.
TEST_F(Movie, AMovieWhosePicturesStopForASecondEndsAndIsNamed) {
  ScriptedMovie script = Solid(160, 120, 42.9, 40, 240, 0x600);
  script.stalls_after_last = true;
  const std::string path = AddMovie("Movie/damaged.mpg", script);
  AppSetActive(1);
  testsupport::TraceCapture trace;
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  int code = -1;
  bool refused_while_playing = false;
  int steps = 0;
  for (int& i = steps; i < 200 && player().GetMovieState() != kMovieNone; ++i) {
    if (i == 30) {
      // 0.6 s in, pictures have stopped but the second has not passed: the quit is refused.
      window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
      EXPECT_TRUE(MessageLoopStep(&window(), code));
      refused_while_playing = window().IsCreated();
      continue;
    }
    Advance(20);
    EXPECT_TRUE(MessageLoopStep(&window(), code));
  }
  EXPECT_TRUE(refused_while_playing);
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
  // 20 ms a step: the end comes a second after the last picture (0.24 s), not at 42.9 s.
  EXPECT_GT(steps, 55);
  EXPECT_LT(steps, 75);
  EXPECT_EQ(movies().record(path).taken, 7);
  EXPECT_TRUE(trace.Contains("MovieObject::End: " + path + " gave no picture from 0.24 s"));
  EXPECT_EQ(AppGetLoopMode(), 1u);
  // The game goes on: a quit is taken now.
  window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  for (int i = 0; i < 5 && MessageLoopStep(&window(), code); ++i) {
  }
  EXPECT_FALSE(window().IsCreated());
}

TEST_F(Movie, RendererStretchesTheTrimmedPictureIntoTheRectangle) {
  // Every row of the 640 x 480 picture holds its own number + 1.
  ScriptedMovie script;
  script.duration = 1.0;
  script.format.width = 640;
  script.format.height = 480;
  platform::MovieFrame frame = HeadlessMovies::SolidFrame(script.format, 0, 0);
  for (int y = 0; y < 480; ++y) {
    auto* row =
        reinterpret_cast<uint16_t*>(frame.pixels.data() + static_cast<size_t>(y) * frame.stride);
    for (int x = 0; x < 640; ++x) row[x] = static_cast<uint16_t>(y + 1);
  }
  script.frames.push_back(frame);
  const std::string path = AddMovie("rows.mpg", script);
  PaintPrimary(0xFFFF);
  // The defaults: (32, 16) - (608, 336), trims 0, 30, 0, 27.
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  player().RenderDue();
  // Rows 30..452 (423 rows) fill the 320 rows of the rectangle, nearest row down.
  for (int j : {0, 1, 2, 100, 159, 160, 250, 318, 319}) {
    const int expected = 30 + j * 423 / 320 + 1;
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, 32, 16 + j), expected) << "row " << j;
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, 607, 16 + j), expected) << "row " << j;
  }
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 320, 16), 31);    // row 30 at the top
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 320, 335), 452);  // row 451 at the bottom (nearest row down)
  for (const auto& [x, y] :
       std::vector<std::pair<int, int>>{{31, 100}, {608, 100}, {100, 15}, {100, 336}}) {
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, x, y), 0xFFFF) << x << "," << y;
  }
  ASSERT_NE(player().movie_object(), nullptr);
  EXPECT_EQ(player().movie_object()->renderer()->target()->width(), 640);
}

TEST_F(Movie, PicturesThatDoNotMatchTheirFormatAreSkipped) {
  const struct {
    const char* name;
    void (*spoil)(platform::MovieFrame&);
    const char* trace;
  } cases[] = {
      {"data one byte short", [](platform::MovieFrame& f) { f.pixels.pop_back(); }, "bytes"},
      {"no data", [](platform::MovieFrame& f) { f.pixels.clear(); }, "bytes"},
      {"wider than the movie",
       [](platform::MovieFrame& f) {
         f.width += 2;
         f.pixels.resize(f.pixels.size() * 2);
       },
       "picture in a"},
      {"another layout", [](platform::MovieFrame& f) { f.layout = PixelLayout::kRgb555; },
       "picture in a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedMovie script = Solid(160, 120, 1.0, 100, 900, 0x600);
    c.spoil(script.frames[0]);
    const std::string path = AddMovie(std::string(c.name) + ".mpg", script);
    PaintPrimary(0x5555);
    testsupport::TraceCapture trace;
    ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
    const int presented = display().frames_presented;
    player().RenderDue();
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_EQ(display().frames_presented, presented);
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x5555);
    // The next picture draws.
    Advance(100);
    player().RenderDue();
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x601);
    player().StopAndClose();
  }
}

TEST_F(Movie, TrimsThatLeaveNothingSkipThePicture) {
  const struct {
    int width, height;
    int left, top, right, bottom;
  } cases[] = {
      {640, 480, 0, 300, 0, 300},  // top and bottom cross
      {160, 120, 100, 0, 100, 0},  // left and right cross on a small picture
      {160, 120, 0, 200, 0, 0},    // a trim larger than the picture
      {160, 120, 80, 0, 80, 0},    // trims that meet
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " trims " +
                 std::to_string(c.left) + "," + std::to_string(c.top) + "," +
                 std::to_string(c.right) + "," + std::to_string(c.bottom));
    const std::string path = AddMovie("trim.mpg", Solid(c.width, c.height, 0.35, 100, 300, 0x700));
    ASSERT_EQ(player().SetSrcMargin(c.left, c.top, c.right, c.bottom), 1);
    PaintPrimary(0x5555);
    testsupport::TraceCapture trace;
    ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
    const int presented = display().frames_presented;
    PlayOut(100, 20);
    EXPECT_TRUE(trace.Contains("the trims leave nothing"));
    EXPECT_EQ(display().frames_presented, presented);
    EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x5555);
    // The movie still runs to its end.
    EXPECT_EQ(player().GetMovieState(), kMovieEnded);
    player().OnGraphEvent(&window());
  }
}

TEST_F(Movie, ALostScreenDropsOnePictureAndShowsTheSnapshot) {
  platform::Surface* root = Ctx().ddraw.GetSurface(SURFACE_ROOT);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) root->Row(y)[x] = 0x0F0F;
  }
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 1.0, 100, 900, 0x800));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  player().RenderDue();
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x800);

  testsupport::TraceCapture trace;
  primary().SetLost(true);
  Advance(100);
  player().RenderDue();
  EXPECT_TRUE(trace.Contains("surface lost1\n"));
  EXPECT_FALSE(primary().IsLost());
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x0F0F);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 5, 5), 0x0F0F);
  EXPECT_EQ(display().FramePixel(100, 100), 0x0F0F);

  Advance(100);
  player().RenderDue();
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x802);
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);
}

// The movie in the main loop: pictures shown without frames, activation, the notice, shutdown.
TEST_F(Movie, MainLoopShowsPicturesPausesOnDeactivationAndCleansUp) {
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 0.65, 20, 600, 0x900));
  AppSetActive(1);
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  int code = -1;
  const int32_t game_time = Ctx().frame_rate.GetTime();

  // No event: the due picture is shown, the wait ends at the next one's time, and no frame runs.
  Advance(17);
  EXPECT_TRUE(MessageLoopStep(&window(), code));
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0x900);
  EXPECT_EQ(Ctx().frame_rate.GetTime(), game_time);

  // Losing the activation pauses the movie; the event runs a frame; getting it back resumes.
  window().PostEvent({EventKind::kActivateApp, 0});
  EXPECT_TRUE(MessageLoopStep(&window(), code));
  EXPECT_EQ(player().GetMovieState(), kMoviePaused);
  const double paused_at = player().GetPos();
  Advance(500);
  window().PostEvent({EventKind::kPaint, 0});
  EXPECT_TRUE(MessageLoopStep(&window(), code));
  EXPECT_DOUBLE_EQ(player().GetPos(), paused_at);
  window().PostEvent({EventKind::kActivateApp, 1});
  EXPECT_TRUE(MessageLoopStep(&window(), code));
  EXPECT_EQ(player().GetMovieState(), kMoviePlaying);

  // Quitting through the window is refused while the movie plays.
  window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  EXPECT_TRUE(MessageLoopStep(&window(), code));
  EXPECT_TRUE(window().IsCreated());

  // Run to the end: the picture that ends the movie posts the notice, which the same iteration's
  // wait takes at once; the clean-up runs and the loop is back in mode 1.
  for (int i = 0; i < 100 && player().GetMovieState() == kMoviePlaying; ++i) {
    Advance(20);
    EXPECT_TRUE(MessageLoopStep(&window(), code));
  }
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
  EXPECT_EQ(AppGetLoopMode(), 1u);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  EXPECT_EQ(player().movie_object(), nullptr);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 100, 100), 0);
  EXPECT_EQ(movies().record(path).closed, 1);
}

TEST_F(Movie, ShutdownClosesARunningMovieFirst) {
  const std::string path = AddMovie("a.mpg", Solid(160, 120, 5.0, 100, 4900, 0xA00));
  ASSERT_EQ(player().Play(&window(), path.c_str()), 1);
  player().RenderDue();
  AppTerm(&window());
  EXPECT_EQ(player().GetMovieState(), kMovieNone);
  EXPECT_EQ(player().movie_object(), nullptr);
  EXPECT_EQ(movies().record(path).closed, 1);
  EXPECT_EQ(AppGetLoopMode(), 1u);
  EXPECT_EQ(Ctx().ddraw.GetDirectDraw(), nullptr);
  AppTerm(&window());  // a second shutdown finds nothing to do
  EXPECT_EQ(movies().record(path).closed, 1);
}

}  // namespace
}  // namespace movietest
