// Smoke tests of the real backend under SDL's dummy video driver: no display is needed.

#include "platform/sdl/sdl_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/app/main/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "platform/sdl/sdl_platform.h"

namespace {

using platform::Event;
using platform::EventKind;
using platform::sdl::SdlWindow;

// A scratch directory of this test process, removed at the end.
class SdlSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir_ = std::filesystem::temp_directory_path() /
           ("tamvik_sdl_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // Waits up to two seconds for an event of the given kind, skipping others.
  static bool WaitFor(SdlWindow& window, EventKind kind, Event* got = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    Event event;
    while (std::chrono::steady_clock::now() < end) {
      if (window.WaitEvent(event, 50) && event.kind == kind) {
        if (got != nullptr) *got = event;
        return true;
      }
    }
    return false;
  }

  std::filesystem::path dir_;
};

TEST_F(SdlSmoke, WindowOpensTakesPostedEventsAndHoldsTheInstanceLock) {
  SdlWindow window(SdlWindow::Options{true, Path("lock")});
  EXPECT_FALSE(window.AnotherInstanceRunning());
  EXPECT_FALSE(window.AnotherInstanceRunning());  // still the running copy
  {
    SdlWindow second(SdlWindow::Options{false, Path("lock")});
    EXPECT_TRUE(second.AnotherInstanceRunning());
  }

  ASSERT_TRUE(window.Create("TAMVIKPC版", 640, 480));
  EXPECT_TRUE(window.IsCreated());
  EXPECT_NE(window.handle(), nullptr);
  EXPECT_NE(window.renderer(), nullptr);
  int seen = 0;
  const int listener = window.AddEventListener([&](const auto&) { ++seen; });

  // A new window starts active.
  Event event;
  ASSERT_TRUE(WaitFor(window, EventKind::kActivateApp, &event));
  EXPECT_EQ(event.param, 1u);

  // The movie's notice, posted from another thread, wakes a waiting loop.
  std::thread poster([&] { window.PostEvent({EventKind::kUser13, 0}); });
  EXPECT_TRUE(WaitFor(window, EventKind::kUser13));
  poster.join();

  window.PostEvent({EventKind::kQuit, 7});
  ASSERT_TRUE(WaitFor(window, EventKind::kQuit, &event));
  EXPECT_EQ(event.param, 7u);
  window.RemoveEventListener(listener);
  EXPECT_GT(seen, 0);  // the listener saw what the window's creation queued

  window.SetCursorVisible(false);
  window.SetCursorVisible(true);
  EXPECT_GT(window.MemoryStatus(0), 0u);
  EXPECT_LE(window.MemoryStatus(1), window.MemoryStatus(0));
  EXPECT_LE(window.MemoryStatus(5), window.MemoryStatus(2));

  window.Destroy();
  EXPECT_FALSE(window.IsCreated());
  EXPECT_EQ(window.handle(), nullptr);
}

TEST_F(SdlSmoke, ProgramRunsFramesAndQuitsCleanly) {
  std::ofstream(Path("tamvik.conf")) << "Install Directory=" << dir_.string() << "\n"
                                     << "Windowed=1\n";
  platform::sdl::SdlPlatform host(Path("tamvik.conf"), Path("lock"));
  EXPECT_TRUE(host.window.windowed());
  EngineContext context(host.seams());
  ContextScope scope(context);

  int code = -1;
  platform::Window* window = AppStart(MakeGameHooks(), code);
  ASSERT_EQ(window, &host.window);
  EXPECT_EQ(AppIsQuit(), 0u);

  // Frames run while the program is active: the game clock moves.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool running = true;
  while (running && Ctx().frame_rate.GetTime() < 100 && std::chrono::steady_clock::now() < end) {
    running = MessageLoopStep(window, code);
  }
  ASSERT_TRUE(running);
  EXPECT_GE(Ctx().frame_rate.GetTime(), 100);

  // The window system's close request takes the quit path; the loop ends with code 0.
  window->PostEvent({EventKind::kSysKeyDown, platform::kVkF4});
  while (running && std::chrono::steady_clock::now() < end + std::chrono::seconds(2)) {
    running = MessageLoopStep(window, code);
  }
  EXPECT_FALSE(running);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(host.window.IsCreated());
}

}  // namespace
