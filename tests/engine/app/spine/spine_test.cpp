#include "program/game_wiring.h"
#include "debug/debug_menu.h"
#include "engine/app/spine/spine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "tests/engine/app/spine/recording_services.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/test_game.h"
#include "testsupport/test_scene.h"

namespace {

using platform::Event;
using platform::EventKind;
using Log = std::vector<std::string>;

const Log kTermCalls = {"MovieStopAndClose", "ReleaseDirectDraw", "SoundRelease", "FreeFont"};

Log Concat(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Runs loop iterations until the loop ends (its exit code) or `limit` iterations have run.
std::optional<int> RunLoop(platform::Window* window, int limit = 20) {
  int code = -1;
  for (int i = 0; i < limit; ++i) {
    if (!MessageLoopStep(window, code)) return code;
  }
  return std::nullopt;
}

// A fresh engine whose services are recorded, with the install settings present (and naming a
// directory that exists).
struct Program {
  Program() {
    engine.ctx().UseServices(&services);
    engine.host.config.Set("Install Directory", install());
  }

  std::string install() const { return tree.root(); }

  platform::headless::HeadlessWindow& window() { return engine.host.window; }
  // Makes the next 1/60 s step due.
  void NextTick() { engine.host.clock.Advance(17); }
  platform::Window* Start() {
    int code = -1;
    platform::Window* w = AppStart(MakeGameHooks(debug_menu), code);
    EXPECT_NE(w, nullptr);
    return w;
  }
  int Count(const std::string& entry) const {
    int n = 0;
    for (const auto& e : services.log) n += e == entry;
    return n;
  }

  testsupport::TempTree tree;
  // The game's debug menu, whose reset and frame hook the spine calls.
  CDebugMenu debug_menu;
  // The game and the scene beside the engine: the game's hooks boot it.
  testsupport::TestScene scene;
  testsupport::TestGame& game = scene.game;
  testsupport::TestEngine& engine = game.engine;
  RecordingServices services;
};

class Spine : public ::testing::Test, public Program {};

TEST_F(Spine, StartsTheEngineInItsFixedOrder) {
  std::string install_dir_when_display_starts;
  bool manager_before_boot = true;
  services.probe = [&](const std::string& entry) {
    const char* dir = Ctx().file_io.GetInstallDir();
    if (entry == "InitDirectDraw") install_dir_when_display_starts = dir ? dir : "(none)";
    if (entry == "SeedRandom") {
      manager_before_boot = Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger") != nullptr;
    }
  };
  platform::Window* w = Start();
  ASSERT_EQ(w, &window());
  EXPECT_EQ(window().title, "TAMVIKPC版");
  EXPECT_EQ(window().width, 640);
  EXPECT_EQ(window().height, 480);
  EXPECT_EQ(GetMainWindow(), w);
  ASSERT_NE(AppGetMenu(), nullptr);
  EXPECT_EQ(AppGetMenu()->quit_command, 40002u);

  EXPECT_EQ(services.log,
            (Log{"LoadFont", "CreateDirectInput", "InitDirectDraw", "GetPrimaryColor(1)",
                 "SetPixelMode(2)", "SoundInit", "InputInit", "ScanDrives", "SeedRandom"}));
  // The install check ran first; the game booted last.
  EXPECT_EQ(install_dir_when_display_starts, install() + "\\");
  EXPECT_FALSE(manager_before_boot);
  EXPECT_NE(Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger"), nullptr);
  EXPECT_TRUE(window().boxes.empty());
  EXPECT_EQ(AppIsQuit(), 0u);
  EXPECT_TRUE(window().Pending().empty());
}

TEST(SpineStart, PixelModeFollowsTheDisplaysGreen) {
  const struct {
    uint32_t green;
    const char* mode;
  } cases[] = {{0x7E0, "SetPixelMode(2)"},
               {0x3E0, "SetPixelMode(1)"},
               {0, "SetPixelMode(1)"},
               {0xFFFF, "SetPixelMode(1)"}};
  for (const auto& c : cases) {
    Program p;
    p.services.green = c.green;
    p.Start();
    EXPECT_EQ(p.Count(c.mode), 1) << std::hex << c.green;
  }
}

TEST_F(Spine, DisplayFailureReleasesTheEngineClosesAndStartsNothingMore) {
  services.init_direct_draw = 0;
  platform::Window* w = CreateMainWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(AppInit(w), 0);
  EXPECT_EQ(services.log, Concat({"CreateDirectInput", "InitDirectDraw"}, kTermCalls));
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikGeneral::GeneralManeger"), nullptr);
  const auto pending = window().Pending();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].kind, EventKind::kClose);

  EXPECT_EQ(RunLoop(w), kExitSetupFailed);
  EXPECT_FALSE(window().IsCreated());
}

TEST_F(Spine, MissingInstallShowsItsBoxAndEndsBeforeAnyWindow) {
  engine.host.config.SetPresent(false);
  int code = -1;
  EXPECT_EQ(AppStart(MakeGameHooks(debug_menu), code), nullptr);
  EXPECT_EQ(code, kExitNotInstalled);
  ASSERT_EQ(window().boxes.size(), 1u);
  EXPECT_FALSE(window().boxes[0].owned);
  EXPECT_FALSE(window().boxes[0].window_open);
  EXPECT_EQ(window().boxes[0].caption, "ERROR");
  EXPECT_EQ(window().boxes[0].text,
            "没有安装TAMVIKＰＣ版\nThe settings file needs the line \"Install Directory = <the folder "
            "with the game's files>\"\n(no settings)");
  EXPECT_EQ(Ctx().file_io.GetInstallDir(), nullptr);
  EXPECT_FALSE(window().IsCreated());
  EXPECT_EQ(services.log, Log{"LoadFont"});  // nothing else of the engine started
}

RecordingServices* g_recorder = nullptr;

TEST_F(Spine, FrameRunsItsStepsInOrderAndNothingWhileInactive) {
  platform::Window* w = Start();
  AppSetActive(1);
  g_recorder = &services;
  Ctx().game_task.SetTaskSimple(
      nullptr, [](GameTaskRec*) { g_recorder->Record("Task"); }, "Probe");
  services.log.clear();

  NextTick();
  EXPECT_EQ(AppFrame(w), 1);
  EXPECT_EQ(services.log,
            (Log{"InputGetState", "Task", "SoundUpdate(17)", "AnimeExec(17)", "ShowWindow"}));

  // No new step due: nothing runs.
  services.log.clear();
  EXPECT_EQ(AppFrame(w), 0);
  EXPECT_TRUE(services.log.empty());

  // Inactive: the gate still opens, but no input, task, sound, animation or compose step runs and
  // the game clock stands still.
  AppSetActive(0);
  for (int i = 0; i < 3; ++i) {
    NextTick();
    EXPECT_EQ(AppFrame(w), 1);
  }
  EXPECT_TRUE(services.log.empty());
  EXPECT_EQ(Ctx().frame_rate.GetTime(), 17);

  AppSetActive(1);
  NextTick();
  EXPECT_EQ(AppFrame(w), 1);
  EXPECT_EQ(Count("Task"), 1);
  EXPECT_EQ(Count("SoundUpdate(34)"), 1);  // only active time counts: 17 + 17
  g_recorder = nullptr;
}

TEST_F(Spine, FlipFailureShowsItsBoxOnceClosesAndLaterFramesRunNothing) {
  platform::Window* w = Start();
  AppSetActive(1);
  services.show_window = 0;
  services.log.clear();

  NextTick();
  AppFrame(w);
  EXPECT_EQ(
      services.log,
      Concat({"InputGetState", "SoundUpdate(17)", "AnimeExec(17)", "ShowWindow"}, kTermCalls));
  ASSERT_EQ(window().boxes.size(), 1u);
  EXPECT_TRUE(window().boxes[0].owned);
  EXPECT_EQ(window().boxes[0].caption, "ERROR");
  EXPECT_EQ(window().boxes[0].text, "CDdrawFunc::ShowWindow Failed\n");
  const auto pending = window().Pending();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].kind, EventKind::kClose);

  services.log.clear();
  for (int i = 0; i < 3; ++i) {
    NextTick();
    AppFrame(w);
  }
  EXPECT_TRUE(services.log.empty());
  EXPECT_EQ(window().boxes.size(), 1u);
  EXPECT_EQ(RunLoop(w), kExitSetupFailed);
}

TEST(SpineQuit, QuitPathsAgainstTheMovieState) {
  enum Outcome { kQuitsUnlessMovie, kAlwaysQuits, kNeverQuits };
  const struct {
    const char* name;
    Event event;
    Outcome outcome;
  } cases[] = {
      {"Alt+F4", {EventKind::kSysKeyDown, platform::kVkF4}, kQuitsUnlessMovie},
      {"quit command", {EventKind::kCommand, 40002}, kQuitsUnlessMovie},
      {"quit command, notification in the high word",
       {EventKind::kCommand, 0x10000 | 40002},
       kQuitsUnlessMovie},
      {"close", {EventKind::kClose, 0}, kAlwaysQuits},
      {"Alt+F5", {EventKind::kSysKeyDown, 0x74}, kNeverQuits},
      {"another command", {EventKind::kCommand, 40001}, kNeverQuits},
  };
  for (const auto& c : cases) {
    for (int movie = 0; movie <= 3; ++movie) {
      SCOPED_TRACE(std::string(c.name) + ", movie state " + std::to_string(movie));
      Program p;
      platform::Window* w = p.Start();
      p.services.movie_state = movie;
      p.services.log.clear();
      p.window().PostEvent(c.event);
      const auto code = RunLoop(w);
      const bool quits =
          c.outcome == kAlwaysQuits || (c.outcome == kQuitsUnlessMovie && movie == 0);
      if (quits) {
        EXPECT_EQ(code, 0);
        EXPECT_FALSE(p.window().IsCreated());
      } else {
        EXPECT_FALSE(code.has_value());
        EXPECT_TRUE(p.window().IsCreated());
      }
      // The quit request path releases the engine before the window closes.
      const bool terminated = quits && c.outcome == kQuitsUnlessMovie;
      EXPECT_EQ(p.services.log, terminated ? kTermCalls : Log{});
    }
  }
}

TEST_F(Spine, SetQuitIsCarriedOutAtTheEndOfTheNextFrameStoppingAMovieFirst) {
  platform::Window* w = Start();
  AppSetActive(1);
  services.movie_state = 1;
  services.log.clear();

  AppSetQuit();
  EXPECT_TRUE(services.log.empty());
  EXPECT_TRUE(window().Pending().empty());

  NextTick();
  AppFrame(w);
  // The movie is stopped and closed before the display and the sound it uses are released.
  EXPECT_EQ(
      services.log,
      Concat({"InputGetState", "SoundUpdate(17)", "AnimeExec(17)", "ShowWindow"}, kTermCalls));
  EXPECT_EQ(RunLoop(w), 0);
}

TEST_F(Spine, LoopModesDecideWhenFramesRun) {
  platform::Window* w = Start();
  AppSetActive(1);
  services.log.clear();
  int code = -1;

  // Mode 1: an iteration that dispatches an event runs no frame; the next one does.
  NextTick();
  window().PostEvent({EventKind::kPaint, 0});
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(Count("InputGetState"), 0);
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(Count("InputGetState"), 1);
  // No step due: the loop lets the CPU rest.
  const int idle = window().idle_calls;
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(window().idle_calls, idle + 1);
  EXPECT_EQ(Count("InputGetState"), 1);

  // Mode 0: exactly one frame after each event, none without one.
  AppSetLoopMode(0);
  for (int i = 0; i < 3; ++i) window().PostEvent({EventKind::kPaint, 0});
  for (int i = 0; i < 3; ++i) {
    NextTick();
    EXPECT_TRUE(MessageLoopStep(w, code));
    EXPECT_EQ(Count("InputGetState"), 2 + i);
  }
  NextTick();
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(Count("InputGetState"), 4);

  // The movie's end notice comes from another thread; the loop handles it, then runs a frame.
  std::thread movie_thread([&] { GetMainWindow()->PostEvent({EventKind::kUser13, 0}); });
  movie_thread.join();
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(services.log.end()[-5], "MovieOnGraphEvent");
  EXPECT_EQ(Count("InputGetState"), 5);

  // The mode is read anew in every iteration.
  AppSetLoopMode(1);
  NextTick();
  EXPECT_TRUE(MessageLoopStep(w, code));
  EXPECT_EQ(Count("InputGetState"), 6);
}

TEST_F(Spine, WindowProcedureHandlesActivationAndTheMovieNotice) {
  platform::Window* w = Start();
  const struct {
    uint32_t active;
    int movie;
    Log calls;
  } cases[] = {
      {1, 2, {"MovieResume"}},
      {0, 1, {"MoviePause"}},
      {1, 1, {}},
      {0, 2, {}},
      {1, 0, {}},
      {0, 0, {}},
      {1, 3, {}},
      {0, 3, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("active " + std::to_string(c.active) + ", movie " + std::to_string(c.movie));
    services.movie_state = c.movie;
    services.log.clear();
    MainWndProc(w, {EventKind::kActivateApp, c.active});
    EXPECT_EQ(AppIsActive(), c.active);
    EXPECT_EQ(services.log, c.calls);
  }

  services.log.clear();
  MainWndProc(w, {EventKind::kUser13, 0});
  EXPECT_EQ(services.log, Log{"MovieOnGraphEvent"});

  // Alt alone, an input-language change and a repaint do nothing of their own.
  services.log.clear();
  MainWndProc(w, {EventKind::kSysCommand, platform::kSysCommandKeyMenu});
  MainWndProc(w, {EventKind::kInputLanguageChangeRequest, 0});
  MainWndProc(w, {EventKind::kPaint, 0});
  EXPECT_TRUE(services.log.empty());
  EXPECT_TRUE(window().IsCreated());
  EXPECT_TRUE(window().Pending().empty());

  // Closing destroys the window and ends the loop with code 0; what was still queued for the
  // window is dropped.
  MainWndProc(w, {EventKind::kClose, 0});
  EXPECT_FALSE(window().IsCreated());
  const auto pending = window().Pending();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].kind, EventKind::kQuit);
  EXPECT_EQ(pending[0].param, 0u);
  MainWndProc(w, {EventKind::kUser13, 0});
  MainWndProc(w, {EventKind::kSysKeyDown, platform::kVkF4});
  EXPECT_TRUE(services.log.empty());
}

TEST_F(Spine, WholeRunEndsWithTheQuitEventsCode) {
  // Alt+F4 waiting from the start: the program starts, quits and returns 0.
  window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  EXPECT_EQ(WinMain(MakeGameHooks(debug_menu)), 0);
  EXPECT_FALSE(window().IsCreated());
  EXPECT_EQ(Count("FreeFont"), 1);

  Program other;
  other.window().PostEvent({EventKind::kQuit, 3});
  EXPECT_EQ(WinMain(MakeGameHooks(other.debug_menu)), 3);
}

TEST_F(Spine, TraceSwitchSendsTracesToStderrForTheRun) {
  unsetenv("TAMVIK_TRACE");  // the setting alone decides here
  engine.host.config.Set("Trace", "1");
  services.probe = [](const std::string& entry) {
    if (entry == "InitDirectDraw") DebugPrint("probe %d\n", 7);
  };
  window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(WinMain(MakeGameHooks(debug_menu)), 0);
  DebugPrint("after the run\n");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("] probe 7\n"), std::string::npos) << err;
  EXPECT_EQ(err.find("after the run"), std::string::npos) << err;

  // Off by default.
  Program quiet;
  quiet.services.probe = services.probe;
  quiet.window().PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(WinMain(MakeGameHooks(quiet.debug_menu)), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(Spine, SecondInstanceShowsItsBoxAndEndsBeforeAnyWindow) {
  window().another_instance = true;
  EXPECT_EQ(WinMain(MakeGameHooks(debug_menu)), kExitAlreadyRunning);
  ASSERT_EQ(window().boxes.size(), 1u);
  EXPECT_FALSE(window().boxes[0].owned);
  EXPECT_EQ(window().boxes[0].caption, "ERROR");
  EXPECT_EQ(window().boxes[0].text, "TAMVIKＰＣ版已經啟動了");
  EXPECT_FALSE(window().IsCreated());
  EXPECT_EQ(GetMainWindow(), nullptr);
  // Only the glyph fonts, which draw the box, were loaded.
  EXPECT_EQ(services.log, Log{"LoadFont"});
}

TEST_F(Spine, WindowThatCannotBeMadeEndsTheProgram) {
  window().create_fails = true;
  EXPECT_EQ(WinMain(MakeGameHooks(debug_menu)), kExitSetupFailed);
  EXPECT_TRUE(window().boxes.empty());
  EXPECT_EQ(services.log, Log{"LoadFont"});  // the fonts load before the window
  EXPECT_EQ(GetMainWindow(), nullptr);
}

TEST_F(Spine, CursorFlagChangesTheSystemCursorAtMostOnce) {
  AppShowCursor();
  AppShowCursor();
  AppHideCursor();
  EXPECT_EQ(AppIsCursorShown(), 0u);
  EXPECT_FALSE(window().cursor_visible);
  AppHideCursor();
  EXPECT_EQ(AppIsCursorShown(), 0u);
  AppShowCursor();
  EXPECT_EQ(AppIsCursorShown(), 1u);
  EXPECT_TRUE(window().cursor_visible);
}

TEST_F(Spine, MemoryStatusByIndex) {
  window().memory = {100, 200, 300, 400};
  const struct {
    int index;
    uint64_t bytes;
  } cases[] = {{0, 100}, {1, 200}, {2, 300}, {3, 400}, {5, 400}, {-1, 400}};
  for (const auto& c : cases) EXPECT_EQ(AppGetMemoryStatus(c.index), c.bytes) << c.index;
}

}  // namespace
