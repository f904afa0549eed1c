#include "engine/app/app_state.h"

#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "platform/platform.h"
#include "platform/window.h"

void AppSetQuit() { Ctx().frame_rate.quit_request = 1; }

uint32_t AppIsQuit() { return Ctx().frame_rate.quit_request; }

void AppSetExitStatus(int status) {
  int& current = Ctx().frame_rate.exit_status;
  if (current == kExitNormal) current = status;
}

int AppGetExitStatus() { return Ctx().frame_rate.exit_status; }

void AppSetActive(uint32_t flag) { Ctx().frame_rate.active = flag; }

uint32_t AppIsActive() { return Ctx().frame_rate.active; }

void AppSetLoopMode(uint32_t mode) { Ctx().frame_rate.loop_mode.store(mode); }

uint32_t AppGetLoopMode() { return Ctx().frame_rate.loop_mode.load(); }

void AppShowCursor() { AppShowCursor(Ctx()); }

void AppShowCursor(EngineContext& context) {
  CFrameRate& app = context.frame_rate;
  if (app.cursor_shown != 0) return;
  app.cursor_shown = 1;
  if (context.platform.window != nullptr) context.platform.window->SetCursorVisible(true);
}

void AppHideCursor() {
  CFrameRate& app = Ctx().frame_rate;
  if (app.cursor_shown != 1) return;
  app.cursor_shown = 0;
  if (Ctx().platform.window != nullptr) Ctx().platform.window->SetCursorVisible(false);
}

uint32_t AppIsCursorShown() { return Ctx().frame_rate.cursor_shown; }

platform::Window* GetMainWindow() { return Ctx().frame_rate.main_window; }

const AppMenu* AppGetMenu() { return Ctx().frame_rate.menu; }

uint64_t AppGetMemoryStatus(int index) {
  platform::Window* window = Ctx().platform.window;
  return window != nullptr ? window->MemoryStatus(index) : 0;
}
