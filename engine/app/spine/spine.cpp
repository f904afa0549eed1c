#include "engine/app/spine/spine.h"

#include <cstdio>
#include <optional>
#include <string>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/app/engine_services.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/pixel_traits.h"
#include "platform/platform.h"

namespace {

using platform::EventKind;

// The menu that comes with the window. It is never shown; only its quit command is handled.
constexpr AppMenu kMainMenu = {101, platform::kCommandQuit};

// Releases the engine and asks the window to close (a quit, or a display that failed).
void TermAndClose(platform::Window* window) {
  AppTerm(window);
  window->PostEvent({EventKind::kClose, 0});
}

// What the window's destruction does: the loop is told to end, with the status of the failure
// that ended the program, or 0.
void OnDestroy(platform::Window* window) {
  window->PostEvent({EventKind::kQuit, static_cast<uint32_t>(AppGetExitStatus())});
}

// The glyph fonts did not load: a box (which needs no game window; the real backend also writes
// it to stderr) names the files that are missing and where they were looked for, or the file
// that is there but unusable and why.
void ReportFontsMissing(platform::Window* window) {
  static constexpr const char* kFontFiles[] = {"CHT.DAT", "ENG12.DAT", "CHT24.DAT"};
  platform::Files* files = Ctx().platform.files;
  std::string missing;
  for (const char* name : kFontFiles) {
    if (files != nullptr && files->KindOf(name) != platform::Files::Kind::kMissing) continue;
    missing += missing.empty() ? "" : ", ";
    missing += name;
  }
  std::string where = files != nullptr ? files->WorkingDirectory() : std::string();
  if (where.empty()) where = "(unknown)";
  const std::string failure = Services().FontFailure();
  const std::string cause =
      !missing.empty() ? "missing " + missing
                       : (failure.empty() ? std::string("a font file could not be read") : failure);
  window->MessageBox(false,
                     std::string(missing.empty() ? "glyph fonts unusable" : "glyph fonts not found") +
                         " in the working directory " + where + ": " + cause +
                         " (the game reads CHT.DAT, ENG12.DAT and CHT24.DAT from there)",
                     "ERROR");
}

// One line of a box's text with the glyph fonts, as the game draws its own text.
bool BoxLineGlyphs(const std::string& utf8, platform::BoxTextLine& out) {
  const std::optional<std::string> big5 = Big5FromUtf8(utf8);
  if (!big5) return false;
  out.height = CDdrawText::kLineHeight;
  return Ctx().ddraw_text.LineCoverage(*big5, out.width, out.levels);
}

}  // namespace

int WinMain(const GameHooks& hooks) {
  // The engine's traces go to stderr only when asked for ("Trace" or TAMVIK_TRACE).
  std::optional<TraceToStream> trace;
  if (platform::TraceWanted(Ctx().platform.config)) trace.emplace(stderr);
  int exit_code = 0;
  platform::Window* window = AppStart(hooks, exit_code);
  if (window == nullptr) {
    if (platform::Window* seam = Ctx().platform.window) seam->SetBoxGlyphs({});
    return exit_code;
  }
  while (MessageLoopStep(window, exit_code)) {
  }
  window->SetBoxGlyphs({});
  return exit_code;
}

platform::Window* AppStart(const GameHooks& hooks, int& exit_code) {
  exit_code = 0;
  Ctx().game_hooks = hooks;
  platform::Window* seam = Ctx().platform.window;
  if (seam == nullptr) return nullptr;
  // A program nobody can see must not run, nor hold the single-instance lock.
  std::string no_display;
  if (!seam->DisplayAvailable(&no_display)) {
    seam->Report("no display: " + no_display);
    exit_code = kExitNoDisplay;
    return nullptr;
  }
  // The glyph fonts first: the boxes of the program's own messages are drawn with them (the
  // system's box font may lack characters of them). Their absence is said after the install
  // check.
  const bool fonts = Services().LoadFont() != 0;
  seam->SetBoxGlyphs(BoxLineGlyphs);
  if (seam->AnotherInstanceRunning()) {
    seam->MessageBox(false, kAlreadyRunningText, "ERROR");
    exit_code = kExitAlreadyRunning;
    return nullptr;
  }
  // The checks whose failure a person can act on come before the window, so that no empty game
  // window stands behind their boxes: the install settings, then the glyph fonts.
  if (hooks.check_install && hooks.check_install() == 0) {
    exit_code = kExitNotInstalled;
    return nullptr;
  }
  if (!fonts) {
    ReportFontsMissing(seam);
    exit_code = kExitSetupFailed;
    return nullptr;
  }
  platform::Window* window = CreateMainWindow();
  if (window == nullptr) {
    exit_code = kExitSetupFailed;
    return nullptr;
  }
  // A failed start-up has already released the engine and asked the window to close; the loop
  // then only carries the close out.
  AppInit(window);
  return window;
}

bool MessageLoopStep(platform::Window* window, int& exit_code) {
  platform::Event event;
  if (AppGetLoopMode() != 0) {
    // Normal: pending events go before frames.
    if (window->PollEvent(event)) {
      if (event.kind == EventKind::kQuit) {
        exit_code = static_cast<int>(event.param);
        return false;
      }
      MainWndProc(window, event);
      return true;
    }
    if (AppFrame(window) == 0) window->Idle();
    return true;
  }
  // A movie plays: one frame after each event. The movie's pictures are shown here, on the main
  // thread, when due; the wait for an event ends when the next picture is due, and a picture
  // shown is no event (no frame runs for it).
  if (!window->WaitEvent(event, Services().MovieRenderDue())) return true;
  if (event.kind == EventKind::kQuit) {
    exit_code = static_cast<int>(event.param);
    return false;
  }
  MainWndProc(window, event);
  AppFrame(window);
  return true;
}

platform::Window* CreateMainWindow() {
  platform::Window* window = Ctx().platform.window;
  if (window == nullptr) return nullptr;
  if (!window->Create(kMainWindowTitle, kMainWindowWidth, kMainWindowHeight)) return nullptr;
  CFrameRate& app = Ctx().frame_rate;
  app.main_window = window;
  app.menu = &kMainMenu;
  Services().CreateDirectInput();
  return window;
}

int AppInit(platform::Window* window) {
  const GameHooks& game = Ctx().game_hooks;
  EngineServices& services = Services();
  if (services.InitDirectDraw(window) == 0) {
    AppSetExitStatus(kExitSetupFailed);
    TermAndClose(window);
    return 0;
  }
  // The glyph renderer packs pixels as the display does: RGB565 when pure green fills RGB565's
  // green field.
  services.SetPixelMode(services.GetPrimaryColor(1) == platform::Rgb565Traits::kGreenMask ? 2 : 1);
  if (game.debug_reset) game.debug_reset();
  services.SoundInit(window);
  services.InputInit();
  services.ScanDrives();
  services.SeedRandom();
  if (game.boot) game.boot();
  return 1;
}

int AppFrame(platform::Window* window) {
  CFrameRate& app = Ctx().frame_rate;
  if (app.Update() == 0) return 0;
  if (app.active == 0) return 1;

  EngineServices& services = Services();
  services.InputGetState();
  const GameHooks& game = Ctx().game_hooks;
  if (!game.debug_frame || game.debug_frame() == 0) Ctx().game_task.ExecTask();
  services.SoundUpdate(app.GetTime());
  services.AnimeExec(app.GetTime());
  if (services.ShowWindow() == 0) {
    window->MessageBox(true, kShowWindowFailedText, "ERROR");
    AppSetExitStatus(kExitSetupFailed);
    TermAndClose(window);
  }
  if (app.quit_request != 0) {
    TermAndClose(window);
  }
  return 1;
}

void AppTerm(platform::Window*) {
  Ctx().frame_rate.active = 0;
  EngineServices& services = Services();
  // A movie draws straight to the display from its own thread: it must be gone before the display
  // and the sound are released.
  services.MovieStopAndClose();
  services.ReleaseDirectDraw();
  services.SoundRelease();
  services.FreeFont();
}

void MainWndProc(platform::Window* window, const platform::Event& event) {
  if (window == nullptr) return;
  // Events still queued for a destroyed window are dropped; only its destruction notice counts.
  if (!window->IsCreated() && event.kind != EventKind::kDestroy) return;
  EngineServices& services = Services();
  switch (event.kind) {
    case EventKind::kActivateApp: {
      Ctx().frame_rate.active = event.param;
      // The game clock and the sound updates stop while inactive; the output pauses with them,
      // so that the sound rings do not run on into stale data.
      if (platform::Audio* audio = Ctx().platform.audio) audio->SetPaused(event.param != 1);
      const int movie = services.MovieGetState();
      if (event.param == 1 && movie == 2) {
        services.MovieResume();
      } else if (event.param != 1 && movie == 1) {
        services.MoviePause();
      }
      break;
    }
    case EventKind::kSysKeyDown:
      if (event.param == platform::kVkF4) RequestQuit(window);
      break;
    case EventKind::kCommand:
      if ((event.param & 0xFFFFu) == platform::kCommandQuit) RequestQuit(window);
      break;
    case EventKind::kClose:
      window->Destroy();
      OnDestroy(window);
      break;
    case EventKind::kDestroy:
      OnDestroy(window);
      break;
    case EventKind::kUser13:
      services.MovieOnGraphEvent(window);
      break;
    case EventKind::kSysCommand:                  // Alt alone opens no system menu
    case EventKind::kInputLanguageChangeRequest:  // refused
    case EventKind::kPaint:
    case EventKind::kInput:
    case EventKind::kQuit:
    case EventKind::kNone:
      break;
  }
}

int RequestQuit(platform::Window* window) {
  if (Services().MovieGetState() != 0) return 0;
  TermAndClose(window);
  return 1;
}
