// MOVIE through the interpreter on the headless movie source: the file by chapter, the developer
// switch, the loop that runs a frame only after a window event while the movie plays, the keys
// that stop it, surface 8 and the cross-fade afterwards, and the captions from a test table. One
// run goes through FFmpeg on the generated MPEG-1 test movie.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/headless/headless_movie.h"
#include "platform/window.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/movie_captions.h"
#include "scene/script/tamvik_macro.h"
#include "script_rig.h"
#include "testsupport/scene_files.h"
#include "testsupport/trace_capture.h"
#include "testsupport/wav_writer.h"

namespace scripttest {
namespace {

using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;

constexpr uint8_t kOpMovie = 0x19;

// Pictures every `step_ms` over `seconds`, large enough for the picture area's trims.
ScriptedMovie Movie(double seconds, int step_ms = 20) {
  ScriptedMovie script;
  script.duration = seconds;
  script.format.width = 96;
  script.format.height = 96;
  for (int t = 0, k = 0; t < seconds * 1000; t += step_ms, ++k) {
    script.frames.push_back(
        HeadlessMovies::SolidFrame(script.format, t / 1000.0, static_cast<uint16_t>(0x0841 + k)));
  }
  return script;
}

// The script rig with the scene files, movies laid by number and MOVIE started on them.
class MovieRig {
 public:
  // `wake`: a kInput event before every frame while a movie plays, as a restless player's mouse
  // would send, so that no loop iteration waits for the next picture in real time. Without it
  // only the input rows wake the loop.
  explicit MovieRig(bool wake = true) : rig(Options(wake)) {
    testsupport::LaySceneFiles(rig.d.tree);
  }

  static testsupport::ProgramDriver::Options Options(bool wake) {
    testsupport::ProgramDriver::Options options = ScriptRig::Options();
    if (wake) {
      options.before_frame = [] {
        if (AppGetLoopMode() == 0 && Ctx().frame_rate.main_window != nullptr) {
          Ctx().frame_rate.main_window->PostEvent({platform::EventKind::kInput, 0});
        }
      };
    }
    return options;
  }

  // Lays "Movie/Movie<nnn>.mpg" with the script; its host path.
  std::string AddMovie(int number, const ScriptedMovie& script) {
    char name[32];
    std::snprintf(name, sizeof name, "install/Movie/Movie%.03d.mpg", number);
    const std::string path = rig.d.tree.Write(name, std::string("scripted"));
    rig.d.host().movies.Add(path, script);
    return path;
  }

  // Starts MOVIE n in the scene; the script then sets A[9] := 1 and ends.
  void Begin(uint16_t n, uint16_t scene = 0x0305) {
    ScriptWriter w;
    w.Command(kOpMovie, {Lit(n)});
    w.Assign(VarA(9), Num(1));
    Stop(w);
    rig.Lay(scene, w);
    rig.Start(scene);
  }

  // Steps until the script has gone on past MOVIE; the frames it took, -1 when it did not.
  int RunToEnd(int limit = 200, const std::function<void()>& each = nullptr) {
    for (int i = 1; i <= limit; ++i) {
      rig.d.Step();
      if (each) each();
      if (GetMacroA(9) == 1) return i;
    }
    return -1;
  }

  bool RunUntilPlaying() {
    return rig.d.RunUntil("movie plays", [](const testsupport::ProgramDriver&) {
      return Ctx().movie.GetMovieState() == kMoviePlaying;
    }, 60);
  }

  CDdrawFunc& ddraw() { return Ctx().ddraw; }
  uint16_t Pixel(SurfaceId id, int x, int y) { return ddraw().GetSurface(id)->Row(y)[x]; }
  uint16_t Key(SurfaceId id) { return static_cast<uint16_t>(ddraw().ColorMatch(id, 0xFFFF00)); }

  ScriptRig rig;
};

class MovieTest : public ::testing::Test, public MovieRig {};

// Only the input rows wake the loop while a movie plays.
class MovieLoopTest : public ::testing::Test, public MovieRig {
 protected:
  MovieLoopTest() : MovieRig(false) {}
};

// ---- The file, the switch, the sounds ----

TEST(MovieFile, ByChapterAndSkippedByTheDeveloperSwitchWithTheSoundsStopped) {
  const struct {
    uint16_t scene;
    uint32_t skip;
    const char* opened;  // null: nothing opened
  } cases[] = {
      {0x0305, 0, "Movie005.mpg"},
      {0x0801, 0, "Movie105.mpg"},
      {0x0305, 1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.scene << " switch " << c.skip);
    MovieRig t;
    const std::string m005 = t.AddMovie(5, Movie(0.1));
    const std::string m105 = t.AddMovie(105, Movie(0.1));
    t.rig.d.tree.Write("install/tamvik1/bgm/sm01.wav",
                       testsupport::PcmWav(1, 22050, 16,
                                           testsupport::Tone(1, 22050, 22050, 440, 4000))
                           .Bytes());
    ASSERT_EQ(Ctx().dsound.PlayBGM("tamvik1\\bgm\\sm01.wav"), 1);
    GetSystemData()->setSkipMovie(c.skip);
    testsupport::TraceCapture trace;
    t.Begin(5, c.scene);
    ASSERT_GT(t.RunToEnd(), 0);
    EXPECT_TRUE(Ctx().dsound.IsBGMStop());
    const int opened = t.rig.d.host().movies.record(m005).opened +
                       t.rig.d.host().movies.record(m105).opened;
    if (c.opened == nullptr) {
      EXPECT_EQ(opened, 0);
      EXPECT_TRUE(t.rig.d.host().movies.open_requests.empty());
    } else {
      EXPECT_EQ(opened, 1);
      ASSERT_EQ(t.rig.d.host().movies.open_requests.size(), 1u);
      EXPECT_NE(t.rig.d.host().movies.open_requests[0].find(c.opened), std::string::npos);
    }
    EXPECT_TRUE(trace.Contains(std::string("Filename=Movie\\Movie") +
                               (c.scene >> 8 >= 8 ? "105" : "005") + ".mpg"));
    EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
    EXPECT_EQ(t.ddraw().IsUpdate(0), 0u) << "the compose is not held";
    EXPECT_EQ(AppGetLoopMode(), 1u);
  }
}

TEST_F(MovieTest, AMissingMovieTracesAndTheScriptGoesOn) {
  testsupport::TraceCapture trace;
  Begin(7);
  ASSERT_GT(RunToEnd(), 0);
  EXPECT_TRUE(trace.Contains("ANIME File Movie\\Movie007.mpg Cannot Open\n"));
  EXPECT_EQ(ddraw().IsUpdate(0), 0u);
  EXPECT_EQ(AppGetLoopMode(), 1u);
}

// ---- The loop while a movie plays, and the keys ----

TEST_F(MovieLoopTest, WhileItPlaysAFrameRunsOnlyAfterAnEventAndKeyOneStopsIt) {
  const std::string path = AddMovie(5, Movie(3.0, 17));
  Begin(5);
  ASSERT_TRUE(RunUntilPlaying());
  EXPECT_EQ(AppGetLoopMode(), 0u);
  // A task that counts the frames in which the game's tasks run.
  static int task_frames;
  task_frames = 0;
  ASSERT_NE(Ctx().game_task.SetTask(nullptr, [](GameTaskRec*) { ++task_frames; }, "Test::Count",
                                    TaskNewBlock<TaskWork>(), nullptr),
            0);
  // Without events the pictures go on but no frame of the game runs.
  const int taken = rig.d.host().movies.record(path).taken;
  for (int i = 0; i < 5; ++i) rig.d.Step();
  EXPECT_EQ(task_frames, 0);
  EXPECT_GT(rig.d.host().movies.record(path).taken, taken);
  // Key 2 is posted with its kInput event: one frame runs; the movie plays on.
  rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey2),
                  testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey2)});
  rig.d.Step();
  EXPECT_EQ(task_frames, 1);
  rig.d.Step();
  EXPECT_EQ(task_frames, 2);
  EXPECT_EQ(Ctx().movie.GetMovieState(), kMoviePlaying);
  EXPECT_EQ(Ctx().movie.stop_request(), 0);
  // Key 1 stops it long before its three seconds are over.
  rig.d.Schedule({testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey1),
                  testsupport::GameKeyUp(rig.d.frame() + 2, kGameKey1)});
  rig.d.Step();
  EXPECT_EQ(Ctx().movie.stop_request(), 1);
  ASSERT_GT(RunToEnd(200), 0);
  EXPECT_LT(rig.d.host().movies.record(path).taken, 60);
  EXPECT_EQ(rig.d.host().movies.record(path).closed, 1);
}

TEST_F(MovieTest, EndsWithItsOwnerAndStopsTheMovieItStarted) {
  const std::string path = AddMovie(5, Movie(3.0));
  Begin(5);
  ASSERT_TRUE(RunUntilPlaying());
  Ctx().game_task.DelTask(rig.decode_task());
  ASSERT_TRUE(rig.d.RunUntil("movie gone", [](const testsupport::ProgramDriver&) {
    return Ctx().movie.GetMovieState() == kMovieNone;
  }, 30));
  rig.d.Step();
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::DecodeMovie"), nullptr);
  EXPECT_EQ(rig.d.host().movies.record(path).closed, 1);
  EXPECT_EQ(ddraw().IsUpdate(0), 0u);
  EXPECT_EQ(rig.macro().continue_flag, 0u);
  EXPECT_EQ(GetMacroA(9), 0);
}

// ---- Afterwards: surface 8 and the cross-fade ----

TEST_F(MovieTest, AfterwardsSurface8IsClearAndTheRectangleCrossFadesUnlessCancelLock) {
  for (uint32_t lock : {0u, 1u}) {
    SCOPED_TRACE(lock);
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    SetMacroA(9, 0);
    AddMovie(5, Movie(0.1));
    // Layer 8 opaque black before the movie (as a caption or a card would leave it).
    ddraw().ClearSurface(SURFACE_TEXT, 0);
    rig.macro().cancel_lock = lock;
    Begin(5);
    ASSERT_TRUE(RunUntilPlaying());
    int fades = 0;
    ASSERT_GT(RunToEnd(200, [&] {
                if (Ctx().movie.GetMovieState() == kMovieNone && Scene().xfade_handle != nullptr) {
                  ++fades;
                }
              }),
              0);
    EXPECT_EQ(fades > 0, lock == 0);
    const uint16_t key = Key(SURFACE_TEXT);
    // Inside the movie rectangle, outside it, and in the caption area.
    for (auto [x, y] : {std::pair{320, 200}, std::pair{10, 10}, std::pair{320, 330},
                        std::pair{630, 470}, std::pair{130, 370}}) {
      EXPECT_EQ(Pixel(SURFACE_TEXT, x, y), key) << x << "," << y;
    }
    EXPECT_EQ(ddraw().IsUpdate(0), 0u);
  }
}

// ---- Captions ----

TEST_F(MovieTest, CaptionsFollowTheTableAndAMovieOutsideItShowsNone) {
  const std::string text = *Big5FromUtf8("一一");
  const MovieCaptionEntry row0[] = {{3, 7, text.c_str()}, {8, 10, text.c_str()}};
  const MovieCaptionEntry row1[] = {{2, 4, text.c_str()}};
  // Row 1, column 0 follows row 0's last column where the table is one block: a movie number
  // past the columns must not reach it.
  const MovieCaptionEntry next_row[] = {{1, 3, text.c_str()}};
  MovieCaptionTable table{};
  table[0][5] = {2, row0};
  table[1][5] = {1, row1};
  table[1][0] = {1, next_row};
  rig.macro().movie_captions = &table;
  const Rect area{kMovieCaptionX, kMovieCaptionY, kMovieCaptionRight, kMovieCaptionBottom};

  const struct {
    uint16_t n;
    uint16_t scene;
    std::vector<std::pair<uint32_t, uint32_t>> shown;  // start and end of each caption seen
  } cases[] = {
      {5, 0x0305, {{3, 7}, {8, 10}}},
      {5, 0x0801, {{2, 4}}},
      {6, 0x0305, {}},   // an empty cell
      {31, 0x0305, {}},  // past the table's columns
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << " in scene " << std::hex << c.scene);
    if (rig.decode_task() != nullptr) CTamvikMacro::StopDecoding();
    SetMacroA(9, 0);
    // The player ends a movie 0.1 s before its stated length: 0.6 s plays past 417 ms, 0.3 s
    // past the other captions' ends.
    AddMovie(c.n + (c.scene >> 8 >= 8 ? 100 : 0), Movie(c.n == 5 && c.scene == 0x0305 ? 0.6 : 0.3));
    Begin(c.n, c.scene);
    ASSERT_TRUE(RunUntilPlaying());
    const uint16_t key = Key(SURFACE_TEXT);
    std::vector<std::pair<double, double>> seen;  // movie ms at which each went up and down
    uint32_t shown_before = 0;
    bool checked_screen = false;
    ASSERT_GT(RunToEnd(200, [&] {
                if (Ctx().movie.GetMovieState() != kMoviePlaying) return;
                const double ms = Ctx().movie.GetPos() * 1000.0;
                const uint32_t shown = rig.macro().movie_caption_shown;
                if (shown != shown_before) {
                  if (shown != 0) {
                    seen.push_back({ms, -1});
                  } else if (!seen.empty()) {
                    seen.back().second = ms;
                  }
                  shown_before = shown;
                }
                if (shown != 0 && !checked_screen) {
                  // The text is in surface 8 and on the picture presented.
                  for (int x = area.left; x < area.left + 48 && !checked_screen; ++x) {
                    const uint16_t p = Pixel(SURFACE_TEXT, x, area.top + 4);
                    if (p == key) continue;
                    EXPECT_EQ(rig.d.display().FramePixel(x, area.top + 4), p);
                    checked_screen = true;
                  }
                  EXPECT_TRUE(checked_screen) << "no caption pixel in surface 8";
                  checked_screen = true;
                }
              }),
              0);
    ASSERT_EQ(seen.size(), c.shown.size());
    for (size_t i = 0; i < seen.size(); ++i) {
      SCOPED_TRACE(i);
      const double start = c.shown[i].first * kMovieCaptionUnitMs;
      const double end = c.shown[i].second * kMovieCaptionUnitMs;
      // Seen after the step whose picture passed the time: within two picture intervals.
      EXPECT_GE(seen[i].first, start);
      EXPECT_LT(seen[i].first, start + 40);
      EXPECT_GE(seen[i].second, end);
      EXPECT_LT(seen[i].second, end + 40);
    }
    // Nothing of a caption stays on layer 8.
    for (int x = area.left; x < area.left + 48; ++x) {
      EXPECT_EQ(Pixel(SURFACE_TEXT, x, area.top + 4), key) << x;
    }
  }
}

// ---- The generated MPEG-1 movie through FFmpeg ----

TEST_F(MovieTest, GeneratedMpegMoviePlaysThroughFfmpegAndTheScriptGoesOn) {
  platform::ffmpeg::FfmpegMovies ffmpeg(rig.d.host().clock, &rig.d.host().audio);
  rig.d.host().seams().movies = &ffmpeg;
  const std::string path = rig.d.tree.Write("install/Movie/Movie005.mpg", std::string());
  platform::ffmpeg::TestMovieOptions shape;
  shape.frames = 8;
  std::string error;
  ASSERT_TRUE(platform::ffmpeg::WriteTestMovie(path, shape, &error)) << error;
  Begin(5);
  ASSERT_TRUE(RunUntilPlaying());
  const int presented = rig.d.presented();
  ASSERT_GT(RunToEnd(400, [] {
              if (MovieObject* object = Ctx().movie.movie_object()) {
                platform::ffmpeg::WaitForDecoder(object->movie(), 5000);
              }
            }),
            0);
  EXPECT_GT(rig.d.presented(), presented);
  EXPECT_EQ(Ctx().movie.GetMovieState(), kMovieNone);
  EXPECT_EQ(ddraw().IsUpdate(0), 0u);
  EXPECT_TRUE(rig.d.host_window().boxes.empty());
  rig.d.host().seams().movies = &rig.d.host().movies;
}

}  // namespace
}  // namespace scripttest
