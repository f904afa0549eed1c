// Smoke tests of the real backend under SDL's dummy video driver: no display is needed.

#include "platform/sdl/sdl_window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "game/game_context.h"
#include "scene/scene_context.h"
#include "program/game_wiring.h"
#include "debug/debug_menu.h"
#include "engine/app/spine/spine.h"
#include "engine/core/frame_rate.h"
#include "platform/sdl/sdl_platform.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/temp_tree.h"

namespace {

using platform::Event;
using platform::EventKind;
using platform::sdl::SdlWindow;

// A scratch directory of this test (a fresh private one), removed at the end.
class SdlSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir_ = tree_.root();
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  testsupport::TempTree tree_;
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

  // The listener sees every SDL message the window takes. Posted events never pass through SDL's
  // queue, so a key message is pushed there to make sure one is taken.
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_a;
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  EXPECT_TRUE(WaitFor(window, EventKind::kInput));
  window.RemoveEventListener(listener);
  EXPECT_GT(seen, 0);

  window.SetCursorVisible(false);
  window.SetCursorVisible(true);
  EXPECT_GT(window.MemoryStatus(0), 0u);
  EXPECT_LE(window.MemoryStatus(1), window.MemoryStatus(0));
  EXPECT_LE(window.MemoryStatus(5), window.MemoryStatus(2));

  window.Destroy();
  EXPECT_FALSE(window.IsCreated());
  EXPECT_EQ(window.handle(), nullptr);
}

TEST_F(SdlSmoke, KeyAndMouseMessagesArriveAsInputEvents) {
  // While a movie plays the loop runs a frame only after a message: each key and mouse message
  // must reach it as one.
  SdlWindow window(SdlWindow::Options{false, Path("lock")});
  ASSERT_TRUE(window.Create("TAMVIKPC版", 640, 480));
  Event event;
  while (window.WaitEvent(event, 20)) {
  }
  const Uint32 types[] = {SDL_KEYDOWN, SDL_KEYUP, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP,
                          SDL_MOUSEMOTION, SDL_MOUSEWHEEL};
  for (Uint32 type : types) {
    SCOPED_TRACE(type);
    SDL_Event sdl{};
    sdl.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) sdl.key.keysym.sym = SDLK_a;
    ASSERT_EQ(SDL_PushEvent(&sdl), 1) << SDL_GetError();
    ASSERT_TRUE(WaitFor(window, EventKind::kInput, &event));
    EXPECT_EQ(event.param, 0u);
  }
  window.Destroy();
}

TEST_F(SdlSmoke, ProgramRunsFramesAndQuitsCleanly) {
  std::ofstream(Path("tamvik.conf")) << "Install Directory=" << dir_.string() << "\n"
                                     << "Windowed=yes\n";
  testsupport::WriteGlyphFont(tree_, testsupport::MakeGlyphFont());
  platform::sdl::SdlPlatform host(Path("tamvik.conf"), Path("lock"));
  host.files.SetWorkingDirectory(dir_.string());
  EXPECT_TRUE(host.window.windowed());
  EngineContext context(host.seams());
  ContextScope scope(context);
  GameContext game;
  GameScope game_scope(game);
  SceneContext scene;
  SceneScope scene_scope(scene);

  CDebugMenu debug_menu;
  int code = -1;
  platform::Window* window = AppStart(MakeGameHooks(debug_menu), code);
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

// Only SDL's stand-in driver would open (as it does on a machine without a display): the program
// says so and ends before it takes the single-instance lock, unless the user named that driver.
TEST_F(SdlSmoke, NoDisplayIsRefusedBeforeTheLockUnlessAskedFor) {
  unsetenv("SDL_VIDEODRIVER");
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  std::ofstream(Path("tamvik.conf")) << "Install Directory=" << dir_.string() << "\n";
  {
    platform::sdl::SdlPlatform host(Path("tamvik.conf"), Path("lock"));
    std::string reason;
    EXPECT_FALSE(host.window.DisplayAvailable(&reason));
    EXPECT_NE(reason.find("SDL_VIDEODRIVER="), std::string::npos) << reason;

    EngineContext context(host.seams());
    ContextScope scope(context);
    ::testing::internal::CaptureStderr();
    CDebugMenu debug_menu;
    int code = -1;
    EXPECT_EQ(AppStart(MakeGameHooks(debug_menu), code), nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, kExitNoDisplay);
    EXPECT_EQ(err.rfind("tamvik: no display: ", 0), 0u) << err;
    EXPECT_FALSE(host.window.IsCreated());
    EXPECT_FALSE(std::filesystem::exists(Path("lock")));  // the lock was never taken
  }
  // Named in SDL's own variable: run unseen on purpose.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  {
    platform::sdl::SdlWindow window(SdlWindow::Options{false, Path("lock")});
    std::string reason;
    const bool available = window.DisplayAvailable(&reason);
    // The offscreen driver may lack what it needs on this machine; then nothing opens at all.
    if (!available) {
      EXPECT_NE(reason.find("no video driver of SDL opens"), std::string::npos);
    }
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  platform::sdl::SdlWindow dummy(SdlWindow::Options{false, Path("lock")});
  std::string reason;
  EXPECT_TRUE(dummy.DisplayAvailable(&reason)) << reason;
}

// The lock file is never reached through a link, and two copies of one user still exclude each
// other.
TEST_F(SdlSmoke, LockIsNotFollowedThroughALink) {
  tree_.Write("victim", "keep me");
  ASSERT_EQ(::symlink(Path("victim").c_str(), Path("lock").c_str()), 0);
  SdlWindow window(SdlWindow::Options{false, Path("lock")});
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(window.AnotherInstanceRunning());  // runs, but says it cannot tell
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot open the lock file"), std::string::npos) << err;
  EXPECT_EQ(tree_.Read("victim"), "keep me");
  struct stat st {};
  ASSERT_EQ(::stat(Path("victim").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0777, 0600u);  // not made the lock's mode either

  // A plain lock path: the first copy holds it, the second sees it held.
  SdlWindow first(SdlWindow::Options{false, Path("lock2")});
  SdlWindow second(SdlWindow::Options{false, Path("lock2")});
  EXPECT_FALSE(first.AnotherInstanceRunning());
  EXPECT_TRUE(second.AnotherInstanceRunning());
}

// The default lock lives only in a directory nobody else can write.
TEST_F(SdlSmoke, DefaultLockIsInAPrivateDirectory) {
  struct Saved {
    explicit Saved(const char* name) : name(name) {
      const char* v = std::getenv(name);
      if (v != nullptr) value = v;
      had = v != nullptr;
    }
    ~Saved() {
      if (had) {
        setenv(name, value.c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
    const char* name;
    std::string value;
    bool had = false;
  } runtime("XDG_RUNTIME_DIR"), state("XDG_STATE_HOME"), config("XDG_CONFIG_HOME");

  const std::string own = tree_.MakeDir("run");
  ASSERT_EQ(::chmod(own.c_str(), 0700), 0);
  const std::string shared = tree_.MakeDir("shared");
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  setenv("XDG_STATE_HOME", Path("state").c_str(), 1);
  setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);

  setenv("XDG_RUNTIME_DIR", own.c_str(), 1);
  EXPECT_EQ(SdlWindow::DefaultLockPath(), own + "/tamvik.lock");

  // A runtime directory others can write (or none) is passed over for the state directory,
  // made private when missing.
  for (const char* value : {shared.c_str(), static_cast<const char*>(nullptr)}) {
    if (value != nullptr) {
      setenv("XDG_RUNTIME_DIR", value, 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(SdlWindow::DefaultLockPath(), Path("state") + "/tamvik/tamvik.lock");
    struct stat st {};
    ASSERT_EQ(::stat((Path("state") + "/tamvik").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }

  // A state directory others can write is passed over for the configuration directory.
  ASSERT_EQ(::chmod((Path("state") + "/tamvik").c_str(), 0777), 0);
  EXPECT_EQ(SdlWindow::DefaultLockPath(), Path("config") + "/tamvik/tamvik.lock");
}

}  // namespace
