#pragma once
// The test window: events are injected by the test, message boxes are recorded and answered OK,
// memory figures and the second-instance answer are settable.

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform::headless {

struct RecordedBox {
  bool owned = false;
  std::string caption;
  std::string text;
  bool window_open = false;  // the program window existed when the box was shown
  bool glyphs = false;       // every line was drawn with the program's glyphs
};

class HeadlessWindow final : public Window {
 public:
  bool DisplayAvailable(std::string* reason) override;
  bool AnotherInstanceRunning() override { return another_instance; }
  bool Create(const std::string& title, int width, int height) override;
  void Destroy() override { created_ = false; }
  bool IsCreated() const override { return created_; }
  bool PollEvent(Event& out) override;
  bool WaitEvent(Event& out, int timeout_ms) override;
  void PostEvent(const Event& event) override;
  void Idle() override { ++idle_calls; }
  void MessageBox(bool owned, const std::string& text, const std::string& caption) override;
  void Report(const std::string& text) override { reports.push_back(text); }
  void SetCursorVisible(bool visible) override { cursor_visible = visible; }
  uint64_t MemoryStatus(int index) override;

  // What tests set.
  bool another_instance = false;
  // Non-empty: no display, for this reason.
  std::string no_display;
  bool create_fails = false;
  // Whether WaitEvent waits (in wall time, up to its time-out) for an event another thread posts,
  // such as a decoding movie's. A run whose events all come from its own thread (scripted movies,
  // the driver's input rows) turns it off: there the wait can only run out, which costs wall time
  // and changes nothing.
  bool waits_for_other_threads = true;
  std::array<uint64_t, 4> memory = {512u << 20, 256u << 20, 2048u << 20, 1536u << 20};

  // What tests read.
  std::vector<RecordedBox> boxes;
  std::vector<std::string> reports;  // what Report was given, in order
  bool cursor_visible = true;
  std::string title;
  int width = 0;
  int height = 0;
  int idle_calls = 0;
  // Events still queued (a copy, taken under the lock).
  std::deque<Event> Pending() const;

 private:
  bool created_ = false;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Event> queue_;
};

}  // namespace platform::headless
