#include "platform/sdl/sdl_window.h"

#include <SDL.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace platform::sdl {

namespace {

// Longest single wait inside WaitEvent: a posted event whose wake-up could not be queued is still
// seen this soon.
constexpr int kWaitSliceMs = 100;

bool IsHeadlessDriver(const char* name) {
  return name != nullptr &&
         (std::strcmp(name, "dummy") == 0 || std::strcmp(name, "offscreen") == 0);
}

// Whether the user named this video driver in SDL's own environment variable (a comma-separated
// list of driver names).
bool UserAskedForDriver(const char* name) {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (asked == nullptr || name == nullptr) return false;
  std::string list = asked;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    if (SDL_strcasecmp(list.substr(start, end - start).c_str(), name) == 0) return true;
    start = end + 1;
  }
  return false;
}

// A directory only this user can change: its own, and not writable by group or others; its
// parent may not be swapped by anyone else either.
bool PrivateDirectory(const std::string& dir) {
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) return false;
  const size_t slash = dir.find_last_of('/');
  const std::string parent = slash == 0 ? "/" : dir.substr(0, slash);
  struct stat pst;
  if (::stat(parent.c_str(), &pst) != 0) return false;
  const bool owner_ok = pst.st_uid == ::geteuid() || pst.st_uid == 0;
  return owner_ok && ((pst.st_mode & 022) == 0 || (pst.st_mode & S_ISVTX) != 0);
}

// Makes `dir` and its missing parents (mode 0700); true when it then is a private directory.
bool MakePrivateDirectory(const std::string& dir) {
  for (size_t pos = 1; pos != std::string::npos;) {
    pos = dir.find('/', pos + 1);
    const std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return PrivateDirectory(dir);
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// An absolute directory from the environment variable, else `fallback` under the home directory.
std::string XdgDirectory(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return value;
  const std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + "/" + fallback;
}

// The machine's memory figures in bytes, from /proc/meminfo, else sysinfo().
struct MemoryFigures {
  uint64_t total = 0;
  uint64_t available = 0;
  uint64_t swap_total = 0;
  uint64_t swap_free = 0;
};

MemoryFigures ReadMemoryFigures() {
  MemoryFigures figures;
  bool have_total = false;
  bool have_available = false;
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (in && std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    unsigned long long kb = 0;
    if (!(fields >> key >> kb)) continue;
    const uint64_t bytes = static_cast<uint64_t>(kb) * 1024u;
    if (key == "MemTotal:") {
      figures.total = bytes;
      have_total = true;
    } else if (key == "MemAvailable:") {
      figures.available = bytes;
      have_available = true;
    } else if (key == "SwapTotal:") {
      figures.swap_total = bytes;
    } else if (key == "SwapFree:") {
      figures.swap_free = bytes;
    }
  }
  if (!have_total || !have_available) {
    struct sysinfo info {};
    if (sysinfo(&info) == 0) {
      const uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
      figures.total = info.totalram * unit;
      figures.available = (info.freeram + info.bufferram) * unit;
      figures.swap_total = info.totalswap * unit;
      figures.swap_free = info.freeswap * unit;
    }
  }
  if (figures.available > figures.total) figures.available = figures.total;
  return figures;
}

}  // namespace

SdlWindow::SdlWindow() : SdlWindow(Options{}) {}

SdlWindow::SdlWindow(Options options) : options_(std::move(options)) {
  if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0) {
    events_ready_ = true;
    wake_type_ = SDL_RegisterEvents(1);
    if (wake_type_ == static_cast<uint32_t>(-1)) wake_type_ = 0;
  } else {
    std::fprintf(stderr, "tamvik: SDL events unavailable: %s\n", SDL_GetError());
  }
}

SdlWindow::~SdlWindow() {
  Destroy();
  if (video_ready_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (events_ready_) SDL_QuitSubSystem(SDL_INIT_EVENTS);
  if (lock_fd_ >= 0) ::close(lock_fd_);  // closing the file releases the lock
}

std::string SdlWindow::DefaultLockPath() {
  // Only in a directory that nobody else can write: there no other user can make the lock file
  // first (and hold it, or point it elsewhere).
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && PrivateDirectory(runtime)) {
    return std::string(runtime) + "/tamvik.lock";
  }
  for (const auto& [variable, fallback] :
       {std::pair{"XDG_STATE_HOME", ".local/state"}, std::pair{"XDG_CONFIG_HOME", ".config"}}) {
    const std::string base = XdgDirectory(variable, fallback);
    if (base.empty()) continue;
    const std::string dir = base + "/tamvik";
    if (MakePrivateDirectory(dir)) return dir + "/tamvik.lock";
  }
  return {};
}

bool SdlWindow::DisplayAvailable(std::string* reason) {
  if (!video_ready_) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      if (reason != nullptr) {
        *reason = std::string("no video driver of SDL opens (") + SDL_GetError() +
                  "); start the game in a desktop session";
      }
      return false;
    }
    video_ready_ = true;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!IsHeadlessDriver(driver) || UserAskedForDriver(driver)) return true;
  if (reason != nullptr) {
    *reason = std::string("only SDL's \"") + driver +
              "\" video driver opens, which shows nothing; start the game in a desktop session "
              "(DISPLAY or WAYLAND_DISPLAY set), or set SDL_VIDEODRIVER=" + driver +
              " to run it unseen on purpose";
  }
  return false;
}

bool SdlWindow::AnotherInstanceRunning() {
  if (lock_fd_ >= 0) return false;  // this copy is the running one
  if (options_.lock_path.empty()) options_.lock_path = DefaultLockPath();
  if (options_.lock_path.empty()) {
    Report("no private directory for the single-instance lock (XDG_RUNTIME_DIR, "
           "~/.local/state/tamvik or ~/.config/tamvik); a second copy will not be noticed");
    return false;
  }
  // Never through a link, never blocking on something that is not a file.
  const int fd = ::open(options_.lock_path.c_str(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
    ::close(fd);
    Report("the lock file " + options_.lock_path +
           " is not a file of this user; a second copy will not be noticed");
    return false;
  }
  if (fd < 0) {
    // Without a lock file nothing can be told; the program runs.
    Report("cannot open the lock file " + options_.lock_path + ": " + std::strerror(errno) +
           "; a second copy will not be noticed");
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock_fd_ = fd;
    return false;
  }
  const bool held = errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool SdlWindow::Create(const std::string& title, int width, int height) {
  if (window_ != nullptr) return true;
  if (!video_ready_) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "tamvik: SDL video unavailable: %s\n", SDL_GetError());
      return false;
    }
    video_ready_ = true;
  }
  // Full screen covers the whole display from the start, borderless: a window manager makes it
  // SDL's desktop full screen, and without one (a bare X server, a kiosk) the window is already
  // the size SDL takes it to be, so the picture is not scaled for a screen the window does not
  // cover.
  SDL_Rect area = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height};
  uint32_t flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
  if (!options_.windowed) {
    flags = SDL_WINDOW_SHOWN | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) area = bounds;
  }
  window_ = SDL_CreateWindow(title.c_str(), area.x, area.y, area.w, area.h, flags);
  if (window_ == nullptr) {
    std::fprintf(stderr, "tamvik: cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    std::fprintf(stderr, "tamvik: cannot create a renderer: %s\n", SDL_GetError());
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }
  // The picture keeps its size and shape; SDL scales it to the window and adds black bars.
  SDL_RenderSetLogicalSize(renderer_, width, height);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  // A new window comes up as the active one; focus events report later changes.
  PostEvent({EventKind::kActivateApp, 1});
  return true;
}

void SdlWindow::Destroy() {
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

bool SdlWindow::TakePosted(Event& out) {
  std::lock_guard lock(posted_mutex_);
  if (posted_.empty()) return false;
  out = posted_.front();
  posted_.pop_front();
  return true;
}

bool SdlWindow::Translate(const SDL_Event& event, Event& out) {
  if (wake_type_ != 0 && event.type == wake_type_) return false;  // only ends a wait
  for (const auto& [id, listener] : listeners_) listener(event);
  switch (event.type) {
    case SDL_QUIT:
      out = {EventKind::kSysKeyDown, kVkF4};
      return true;
    case SDL_KEYDOWN:
      if (event.key.keysym.sym == SDLK_F4 && (event.key.keysym.mod & KMOD_ALT) != 0) {
        out = {EventKind::kSysKeyDown, kVkF4};
        return true;
      }
      out = {EventKind::kInput, 0};
      return true;
    case SDL_KEYUP:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL:
      out = {EventKind::kInput, 0};
      return true;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out = {EventKind::kActivateApp, 1};
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out = {EventKind::kActivateApp, 0};
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
          out = {EventKind::kPaint, 0};
          return true;
        default:
          return false;
      }
    default:
      return false;  // everything the game does not handle
  }
}

bool SdlWindow::PollEvent(Event& out) {
  if (TakePosted(out)) return true;
  if (!events_ready_) return false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (Translate(event, out)) return true;
    if (TakePosted(out)) return true;
  }
  return false;
}

bool SdlWindow::WaitEvent(Event& out, int timeout_ms) {
  const uint32_t start = SDL_GetTicks();
  for (;;) {
    if (PollEvent(out)) return true;
    int slice = kWaitSliceMs;
    if (timeout_ms >= 0) {
      const uint32_t waited = SDL_GetTicks() - start;
      if (waited >= static_cast<uint32_t>(timeout_ms)) return false;
      slice = std::min<int>(slice, timeout_ms - static_cast<int>(waited));
    }
    if (!events_ready_) {
      SDL_Delay(static_cast<uint32_t>(slice));
      continue;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, slice) != 0 && Translate(event, out)) return true;
  }
}

void SdlWindow::PostEvent(const Event& event) {
  {
    std::lock_guard lock(posted_mutex_);
    posted_.push_back(event);
  }
  if (events_ready_ && wake_type_ != 0) {
    SDL_Event wake;
    SDL_zero(wake);
    wake.type = wake_type_;
    SDL_PushEvent(&wake);  // thread-safe; a failure only delays the event to the next slice
  }
}

void SdlWindow::Idle() { SDL_Delay(1); }

void SdlWindow::Report(const std::string& text) {
  std::fprintf(stderr, "tamvik: %s%s", text.c_str(),
               !text.empty() && text.back() == '\n' ? "" : "\n");
}

void SdlWindow::MessageBox(bool owned, const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "tamvik: %s: %s%s", caption.c_str(), text.c_str(),
               !text.empty() && text.back() == '\n' ? "" : "\n");
  const char* driver = video_ready_ ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
  if (IsHeadlessDriver(driver)) return;  // nobody could answer it: taken as OK
  SDL_Window* parent = owned ? window_ : nullptr;
  std::vector<BoxTextLine> lines;
  if (video_ready_ && BoxLinesWithGlyphs(text, lines) && ShowGlyphBox(parent, caption, lines)) return;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), parent) != 0) {
    std::fprintf(stderr, "tamvik: the message box could not be shown: %s\n", SDL_GetError());
  }
}

namespace {

// The glyph box's look: a dark panel, light text, one OK button.
constexpr int kBoxMargin = 20;
constexpr int kBoxLineGap = 6;
constexpr int kBoxMinTextWidth = 200;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 32;
constexpr uint32_t kBoxPanel = 0xFF383838;
constexpr uint32_t kBoxInk = 0xFFF0F0F0;
constexpr uint32_t kButtonFace = 0xFF5A5A5A;
constexpr uint32_t kButtonEdge = 0xFF9A9A9A;

// `ink` over `paper` by a coverage level 0-15.
uint32_t Blend(uint32_t paper, uint32_t ink, int level) {
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t p = (paper >> shift) & 0xFF;
    const uint32_t i = (ink >> shift) & 0xFF;
    out |= ((p * static_cast<uint32_t>(15 - level) + i * static_cast<uint32_t>(level)) / 15) << shift;
  }
  return out;
}

// A picture of the box in ARGB pixels.
struct BoxPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  void Fill(int x, int y, int w, int h, uint32_t colour) {
    for (int r = std::max(0, y); r < std::min(height, y + h); ++r) {
      for (int c = std::max(0, x); c < std::min(width, x + w); ++c) {
        pixels[static_cast<size_t>(r * width + c)] = colour;
      }
    }
  }
  void Text(const BoxTextLine& line, int x, int y, uint32_t ink) {
    for (int r = 0; r < line.height; ++r) {
      for (int c = 0; c < line.width; ++c) {
        const int level = line.levels[static_cast<size_t>(r * line.width + c)];
        if (level == 0 || x + c < 0 || y + r < 0 || x + c >= width || y + r >= height) continue;
        uint32_t& px = pixels[static_cast<size_t>((y + r) * width + x + c)];
        px = Blend(px, ink, std::min(level, 15));
      }
    }
  }
};

}  // namespace

bool SdlWindow::ShowGlyphBox(SDL_Window* parent, const std::string& caption,
                             const std::vector<BoxTextLine>& lines) {
  // The button's word, drawn with the same glyphs when they hold it.
  std::vector<BoxTextLine> ok;
  BoxLinesWithGlyphs("OK", ok);

  BoxPicture picture;
  int text_width = kBoxMinTextWidth;
  int text_height = 0;
  for (const BoxTextLine& line : lines) {
    text_width = std::max(text_width, line.width);
    text_height += line.height + kBoxLineGap;
  }
  picture.width = text_width + 2 * kBoxMargin;
  picture.height = kBoxMargin + text_height + kBoxMargin / 2 + kButtonHeight + kBoxMargin;
  picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height),
                        kBoxPanel);
  int y = kBoxMargin;
  for (const BoxTextLine& line : lines) {
    picture.Text(line, (picture.width - line.width) / 2, y, kBoxInk);
    y += line.height + kBoxLineGap;
  }
  SDL_Rect button = {(picture.width - kButtonWidth) / 2, y + kBoxMargin / 2, kButtonWidth,
                     kButtonHeight};
  picture.Fill(button.x, button.y, button.w, button.h, kButtonEdge);
  picture.Fill(button.x + 1, button.y + 1, button.w - 2, button.h - 2, kButtonFace);
  if (ok.size() == 1) {
    picture.Text(ok[0], button.x + (button.w - ok[0].width) / 2,
                 button.y + (button.h - ok[0].height) / 2, kBoxInk);
  }

  SDL_Window* box = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     picture.width, picture.height,
                                     SDL_WINDOW_SHOWN | SDL_WINDOW_ALWAYS_ON_TOP);
  if (box == nullptr) return false;
  SDL_Renderer* renderer = SDL_CreateRenderer(box, -1, SDL_RENDERER_SOFTWARE);
  SDL_Texture* texture =
      renderer != nullptr ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                              SDL_TEXTUREACCESS_STATIC, picture.width,
                                              picture.height)
                          : nullptr;
  if (texture == nullptr ||
      SDL_UpdateTexture(texture, nullptr, picture.pixels.data(), picture.width * 4) != 0) {
    if (texture != nullptr) SDL_DestroyTexture(texture);
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(box);
    return false;
  }
  if (parent != nullptr) SDL_SetWindowModalFor(box, parent);
  SDL_RaiseWindow(box);
  const uint32_t id = SDL_GetWindowID(box);
  const auto draw = [&] {
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
  };
  draw();
  // Until OK: Enter, Space or Escape, a click on the button, or the box closed. The game waits
  // meanwhile, as for any modal box: its keys and clicks are dropped; a quit request and the
  // other windows' window events are handed on afterwards.
  std::vector<SDL_Event> kept;
  for (bool open = true; open;) {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, 100) == 0) {
      draw();
      continue;
    }
    switch (event.type) {
      case SDL_QUIT:
        kept.push_back(event);
        open = false;
        break;
      case SDL_KEYDOWN:
        switch (event.key.keysym.sym) {
          case SDLK_RETURN:
          case SDLK_KP_ENTER:
          case SDLK_SPACE:
          case SDLK_ESCAPE:
            open = false;
            break;
          default:
            break;
        }
        break;
      case SDL_MOUSEBUTTONUP: {
        const SDL_Point at = {event.button.x, event.button.y};
        if (event.button.windowID == id && event.button.button == SDL_BUTTON_LEFT &&
            SDL_PointInRect(&at, &button)) {
          open = false;
        }
        break;
      }
      case SDL_WINDOWEVENT:
        if (event.window.windowID != id) {
          kept.push_back(event);
        } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          open = false;
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          draw();
        }
        break;
      default:
        break;
    }
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(box);
  for (SDL_Event& event : kept) SDL_PushEvent(&event);
  return true;
}

void SdlWindow::SetCursorVisible(bool visible) {
  cursor_visible_ = visible;
  if (video_ready_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

uint64_t SdlWindow::MemoryStatus(int index) {
  const MemoryFigures m = ReadMemoryFigures();
  if (index == 0) return m.total;
  if (index == 1) return m.available;
  // Virtual memory: what this process may map. With no address-space limit, what the machine
  // can commit (memory and swap).
  uint64_t total_virtual = m.total + m.swap_total;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    total_virtual = static_cast<uint64_t>(limit.rlim_cur);
  }
  if (index == 2) return total_virtual;
  const uint64_t available_virtual = m.available + m.swap_free;
  return available_virtual < total_virtual ? available_virtual : total_virtual;
}

int SdlWindow::AddEventListener(EventListener listener) {
  const int id = next_listener_id_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void SdlWindow::RemoveEventListener(int id) {
  for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
    if (it->first == id) {
      listeners_.erase(it);
      return;
    }
  }
}

}  // namespace platform::sdl
