#include "platform/headless/headless_window.h"

#include <chrono>

namespace platform::headless {

bool HeadlessWindow::DisplayAvailable(std::string* reason) {
  if (no_display.empty()) return true;
  if (reason != nullptr) *reason = no_display;
  return false;
}

bool HeadlessWindow::Create(const std::string& t, int w, int h) {
  if (create_fails) return false;
  title = t;
  width = w;
  height = h;
  created_ = true;
  return true;
}

bool HeadlessWindow::PollEvent(Event& out) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return false;
  out = queue_.front();
  queue_.pop_front();
  return true;
}

bool HeadlessWindow::WaitEvent(Event& out, int timeout_ms) {
  std::unique_lock lock(mutex_);
  // A headless run has no outside source of events except other threads (a movie's notice); with
  // nothing queued and no time-out the wait would never end, so it ends at once instead; so does
  // a wait in a run with no other thread to post.
  if (queue_.empty() && timeout_ms > 0 && waits_for_other_threads) {
    ready_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !queue_.empty(); });
  }
  if (queue_.empty()) return false;
  out = queue_.front();
  queue_.pop_front();
  return true;
}

void HeadlessWindow::PostEvent(const Event& event) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(event);
  }
  ready_.notify_one();
}

void HeadlessWindow::MessageBox(bool owned, const std::string& text, const std::string& caption) {
  std::vector<BoxTextLine> lines;
  boxes.push_back({owned, caption, text, created_, BoxLinesWithGlyphs(text, lines)});
}

uint64_t HeadlessWindow::MemoryStatus(int index) {
  if (index >= 0 && index < 3) return memory[static_cast<size_t>(index)];
  return memory[3];
}

std::deque<Event> HeadlessWindow::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_;
}

}  // namespace platform::headless
