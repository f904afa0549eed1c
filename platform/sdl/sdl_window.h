#pragma once
// The real window-and-events backend on SDL2: one window showing the 640 x 480 picture scaled to
// fit with its 4:3 shape kept (black bars), on the whole desktop by default or in a resizable
// window when the settings ask for it ("Windowed=1").
//
// Events: focus gained and lost become the activation events; the window system's close request
// (the close button, Alt+F4 through the window manager, a termination signal) and Alt+F4 seen as
// a key become the Alt+F4 system key, so that they take the program's quit path. Events posted
// through PostEvent (from any thread) are taken before the window system's events, as posted
// messages go before input. Every SDL event pumped here is also handed to the event listeners,
// for the services that read keyboard and mouse events.
//
// The display test refuses SDL's stand-in drivers ("offscreen", "dummy": no picture anywhere)
// unless the user named that driver in SDL_VIDEODRIVER.
//
// The single-instance test holds an advisory lock (flock) on a file in a directory only this user
// can write, for as long as the object lives; the lock file is opened without following links.
//
// This header includes no SDL header: the SDL types are only declared.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/window.h"

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;

namespace platform::sdl {

class SdlWindow final : public Window {
 public:
  struct Options {
    bool windowed = false;  // false: desktop full screen
    std::string lock_path;  // single-instance lock file; empty: DefaultLockPath(), found when
                            // the instance test runs
  };

  SdlWindow();
  explicit SdlWindow(Options options);
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  bool DisplayAvailable(std::string* reason) override;
  bool AnotherInstanceRunning() override;
  bool Create(const std::string& title, int width, int height) override;
  void Destroy() override;
  bool IsCreated() const override { return window_ != nullptr; }
  bool PollEvent(Event& out) override;
  bool WaitEvent(Event& out, int timeout_ms) override;
  void PostEvent(const Event& event) override;
  // Sleeps about one millisecond.
  void Idle() override;
  // Shows a message box (none under the dummy video driver) and always writes the caption and
  // text to stderr, so that a start from a terminal shows why the program ended. A box whose
  // every line the program's glyphs draw (Window::SetBoxGlyphs) is a small window of its own
  // drawn with them; any other is SDL's message box.
  void MessageBox(bool owned, const std::string& text, const std::string& caption) override;
  // Writes "tamvik: <text>" to stderr.
  void Report(const std::string& text) override;
  void SetCursorVisible(bool visible) override;
  uint64_t MemoryStatus(int index) override;

  // For the other SDL services: the window and its renderer (null before Create and after
  // Destroy). The renderer's logical size is the picture size given to Create.
  SDL_Window* handle() const { return window_; }
  SDL_Renderer* renderer() const { return renderer_; }

  // Listeners see every SDL event this window pumps (in PollEvent and WaitEvent), on the main
  // thread, before it is translated. A listener may not add or remove listeners while it runs.
  using EventListener = std::function<void(const SDL_Event&)>;
  // Returns an id for RemoveEventListener.
  int AddEventListener(EventListener listener);
  void RemoveEventListener(int id);

  bool windowed() const { return options_.windowed; }
  const std::string& lock_path() const { return options_.lock_path; }

  // $XDG_RUNTIME_DIR/tamvik.lock when that directory is this user's alone, else tamvik.lock in
  // the user's state directory ($XDG_STATE_HOME/tamvik, ~/.local/state/tamvik) or configuration
  // directory ($XDG_CONFIG_HOME/tamvik, ~/.config/tamvik), made (mode 0700) when missing and used
  // only when nobody else can write it. Empty when none qualifies.
  static std::string DefaultLockPath();

 private:
  bool TakePosted(Event& out);
  // The box drawn with the program's glyphs, shown until OK (Enter, Space, Escape, the button, or
  // the box closed); false when it cannot be made.
  bool ShowGlyphBox(SDL_Window* parent, const std::string& caption,
                    const std::vector<BoxTextLine>& lines);
  // Hands the event to the listeners and translates it; false when it means nothing to the game.
  bool Translate(const SDL_Event& event, Event& out);

  Options options_;
  bool events_ready_ = false;  // the SDL event subsystem is up
  bool video_ready_ = false;   // the SDL video subsystem is up
  uint32_t wake_type_ = 0;     // the registered event that wakes a waiting loop
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  bool cursor_visible_ = true;
  int lock_fd_ = -1;

  std::mutex posted_mutex_;
  std::deque<Event> posted_;

  int next_listener_id_ = 1;
  std::vector<std::pair<int, EventListener>> listeners_;
};

}  // namespace platform::sdl
