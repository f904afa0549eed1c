// The small services the scene commands, the game flow and the battle share: the mouse and
// key-mouse mode, the eyecatch and now-loading pictures, the system sounds and the movies.

#include <cstdio>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/input.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

// The face box of the message window (screen pixels, edges included).
constexpr Rect kFaceBox{32, 354, 112, 450};

constexpr const char* kNowLoadingPicture = "tamvik1\\system\\nowload.spr";
constexpr const char* kEyecatchDirectory = "tamvik1\\icatch\\";
constexpr const char* kSystemSeDirectory = "tamvik1\\system\\SE\\";

// The system sounds 1-17 that play from their static slot; 7 (slot 6 holds a dummy) and
// everything above 17 stream from disc.
constexpr int kLastStaticSystemSe = 17;
constexpr int kStreamedSystemSe = 7;

// The key-mouse step of a cursor-speed option value.
uint32_t CursorStep(uint16_t speed) {
  switch (speed) {
    case 0: return 1;
    case 1: return 2;
    case 3: return 6;
    case 4: return 7;
    default: return 4;
  }
}

int StartMovie(const char* name, const Rect& rect, const int (&trims)[4]) {
  if (name == nullptr) return 0;
  if (Ctx().ddraw.IsFullScreen() == 0) return 0;
  char path[kPathMax] = {};
  if (Ctx().file_io.FindFileAll(name, path) == 0) return 0;
  CMovie& movie = Ctx().movie;
  movie.SetDestRect(rect.left, rect.top, rect.right, rect.bottom);
  movie.SetSrcMargin(trims[0], trims[1], trims[2], trims[3]);
  return movie.Play(GetMainWindow(), path);
}

}  // namespace

// ---- Mouse ----

void TamvikFunc::SetKeyMouse(int on) {
  if (on != 0) {
    Ctx().input.SetCursorSpeed(CursorStep(GetSystemData()->cursorSpeed()));
    DebugPrint("KeyMouse ON\n");
  } else {
    Ctx().input.SetCursorSpeed(0);
    DebugPrint("KeyMouse OFF\n");
  }
}

void TamvikFunc::SetMouseCursorPos(int x, int y) {
  platform::Input* input = Ctx().platform.input;
  if (input == nullptr) return;
  input->SetCursor(static_cast<int16_t>(x), static_cast<int16_t>(y));
}

uint32_t TamvikFunc::GetMouseFlag() { return Ctx().input.IsMouseMoved(); }

bool PointInRect(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && y >= top && x <= right && y <= bottom;
}

bool TamvikFunc::HasMessageWindow() {
  return HasScene() && Scene().portraits.message_window != nullptr;
}

bool TamvikFunc::IsFaceBoxClicked() {
  if (!HasMessageWindow()) return false;
  const CDinput& input = Ctx().input;
  if (!PointInRect(input.GetMouseX(), input.GetMouseY(), kFaceBox.left, kFaceBox.top,
                   kFaceBox.right, kFaceBox.bottom)) {
    return false;
  }
  return IsKeyTriggered(0) != 0;
}

// ---- Pictures ----

std::string TamvikFunc::EyecatchFileName() {
  const uint16_t scene = GetAdvState()->sceneCode();
  const int chapter = scene >> 8;
  int number = chapter * 100;
  if (chapter == 5) {
    number += (scene == 0x0503 || GetSystemData()->savedBeforeBattle() != 0) ? 2 : 1;
  } else if (chapter == 10) {
    number += GetMacroP83() & 0xFF;
  }
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s%.04d%s", kEyecatchDirectory, "ic", number, ".spr");
  return name;
}

int TamvikFunc::LoadEyecatchPicture() {
  const std::string name = EyecatchFileName();
  return LoadPicture(name.c_str(), 0, 0, 0, SURFACE_ROOT);
}

void TamvikFunc::ShowNowLoading() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.ClearSurface(SURFACE_BG, 1);
  ddraw.ClearSurface(SURFACE_FC, 1);
  ddraw.ClearSurface(SURFACE_FG, 1);
  ddraw.ClearSurface(SURFACE_TEXT, 1);
  LoadSprToSurfaceFirst(kNowLoadingPicture, SURFACE_ROOT, 0);
}

// ---- Sound ----

void PlaySystemSe(int n) {
  CDsoundFunc& sound = Ctx().dsound;
  if (n < 0) return;
  if (n == 0) {
    sound.StopSE();
    return;
  }
  if (n <= kLastStaticSystemSe && n != kStreamedSystemSe) {
    sound.PlayStaticSE(n - 1);
    return;
  }
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s%.02d%s", kSystemSeDirectory, "TE", n - 1, ".wav");
  DebugPrint("Play TEFFECT File = %s\n", name);
  sound.PlaySE(name);
}

bool TamvikFunc::IsVoicePlaying() { return Ctx().dsound.GetVoiceTime() >= 0; }

uint16_t TamvikFunc::GetMacroP83() { return GetMacroP(83); }

// ---- Movies ----

int TamvikFunc::PlayMovie(const char* name) { return StartMovie(name, kMovieRect, kMovieTrims); }

int TamvikFunc::PlayMovieFullScreen(const char* name) {
  return StartMovie(name, kMovieFullRect, kMovieFullTrims);
}

void TamvikFunc::GetMovieRect(Rect* rect) {
  if (rect != nullptr) *rect = kMovieRect;
}

bool TamvikFunc::StopMovie() {
  CMovie& movie = Ctx().movie;
  movie.Stop();
  return movie.GetMovieState() == kMovieNone;
}
