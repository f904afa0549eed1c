#pragma once
// The window-and-events seam: the one program window, its event queue, message boxes, the system
// cursor, memory figures and the single-instance test. Event kinds stand for the few window
// messages the game's window procedure handles.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class EventKind : uint32_t {
  kNone = 0,
  kActivateApp,   // param 1: the program became the active one; 0: it lost that
  kSysKeyDown,    // param: virtual-key code (0x73 is F4, so Alt+F4)
  kCommand,       // param: command identifier (40002 is the menu's quit command)
  kSysCommand,    // param: system command (0xF100 is the keyboard menu, i.e. Alt alone)
  kInputLanguageChangeRequest,
  kClose,         // the window is asked to close
  kDestroy,       // the window is being destroyed
  kQuit,          // ends the message loop; param is the exit code
  kUser13,        // the movie player's end notice (WM_USER + 13)
  kPaint,
  kInput,         // a key or mouse message; the game reads input by polling, so it only wakes
                  // the loop (while a movie plays, a frame runs after every message)
};

struct Event {
  EventKind kind = EventKind::kNone;
  uint32_t param = 0;
};

// Virtual-key and command values that the event params use.
constexpr uint32_t kVkF4 = 0x73;
constexpr uint32_t kCommandQuit = 40002;
constexpr uint32_t kSysCommandKeyMenu = 0xF100;

// One line of a box's text drawn with the program's own glyphs: coverage levels 0-15, `width` x
// `height` row by row.
struct BoxTextLine {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> levels;
};
// Draws one line of UTF-8 text with the program's glyphs; false when a character of it has none.
using BoxGlyphs = std::function<bool(const std::string& line, BoxTextLine& out)>;

class Window {
 public:
  virtual ~Window() = default;

  // The program's glyphs for the texts of its boxes (none: empty). A box whose every line they
  // draw is drawn with them, since the system's box font may lack characters of the program's
  // messages; any other box is the system's.
  void SetBoxGlyphs(BoxGlyphs glyphs) { box_glyphs_ = std::move(glyphs); }

  // False (with the reason for a person in `reason`) when no window could be seen: only a
  // stand-in display without a screen would open, and the user did not ask for one. Checked
  // before anything else, so that an unseen program holds nothing.
  virtual bool DisplayAvailable(std::string* /*reason*/) { return true; }

  // True when another copy of the program already runs. When none does, this copy becomes the
  // running one for as long as the backend lives.
  virtual bool AnotherInstanceRunning() = 0;

  // Creates the one window (title in UTF-8). False when it cannot be made.
  virtual bool Create(const std::string& title, int width, int height) = 0;
  // Destroys the window; later events still flow until the quit event.
  virtual void Destroy() = 0;
  virtual bool IsCreated() const = 0;

  // Takes the next waiting event without blocking; false when none waits.
  virtual bool PollEvent(Event& out) = 0;
  // Waits for the next event up to timeout_ms (-1: for ever); false on time-out.
  virtual bool WaitEvent(Event& out, int timeout_ms) = 0;
  // Queues an event; safe from any thread.
  virtual void PostEvent(const Event& event) = 0;
  // Lets the CPU rest until about the next millisecond (the loop calls it when no frame is due).
  virtual void Idle() = 0;

  // A modal box with an OK button. `owned`: owned by the program window (else no owner).
  // Texts are UTF-8.
  virtual void MessageBox(bool owned, const std::string& text, const std::string& caption) = 0;

  // Tells the person who started the program about a problem that has no box of its own (one
  // line of UTF-8; the real backend writes it to stderr).
  virtual void Report(const std::string& text) = 0;

  // Shows or hides the system mouse cursor over the window.
  virtual void SetCursorVisible(bool visible) = 0;

  // Memory figures in bytes: 0 total physical, 1 available physical, 2 total virtual, any other
  // value available virtual.
  virtual uint64_t MemoryStatus(int index) = 0;

 protected:
  // The lines of `text` (split at line feeds; a last empty line is dropped) drawn with the
  // program's glyphs; false when none are set or a line has a character without a glyph.
  bool BoxLinesWithGlyphs(const std::string& text, std::vector<BoxTextLine>& lines) const {
    lines.clear();
    if (!box_glyphs_) return false;
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      BoxTextLine line;
      if (!box_glyphs_(text.substr(start, end - start), line)) return false;
      lines.push_back(std::move(line));
      start = end + 1;
    }
    return true;
  }

 private:
  BoxGlyphs box_glyphs_;
};

}  // namespace platform
