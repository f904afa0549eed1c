// The ending task, its command interpreter and the ending's screen.

#include "flow/tamvik_ending.h"

#include <array>
#include <cstdint>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/sound/dsound_func.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/spr_file.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

constexpr std::array<const char*, CTamvikEnding::kEndings> kEndFiles = {
    "tamvik1\\ending\\end_qt.spr", "tamvik1\\ending\\end_qd.spr", "tamvik1\\ending\\end_ql.spr",
    "tamvik1\\ending\\end_qb.spr", "tamvik1\\ending\\end_qy.spr", "tamvik1\\ending\\end_qz.spr"};
constexpr std::array<const char*, CTamvikEnding::kEndings> kStaffFiles = {
    "tamvik1\\ending\\staff_qt.spr", "tamvik1\\ending\\staff_qd.spr",
    "tamvik1\\ending\\staff_ql.spr", "tamvik1\\ending\\staff_qb.spr",
    "tamvik1\\ending\\staff_qy.spr", "tamvik1\\ending\\staff_qz.spr"};

constexpr uint32_t kAllEndings = 63;

// Steps of the ending task.
enum EndingStep : uint8_t {
  kStepStart = 0,
  kStepSong,
  kStepWait6002,
  kStepAfter6002,
  kStepBeforeClosing,
  kStepClosingFadeOut,
  kStepClosingFadeIn,
  kStepClosingTable,
  kStepClosingVoiceEnd,
  kStepAfterClosingVoice,
  kStepLastPicture,
  kStepLastPictureShown,
  kStepClose,
  kStepCloseFadeOut,
};

EndingState& StateOf(GameTaskRec* record) { return *static_cast<EndingState*>(record->extra); }

// Surface 4 black, 5-8 transparent.
void FillLayers() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.ClearSurface(SURFACE_ROOT, 0);
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.ClearSurface(id, 1);
}

// The fill of a surface: black for the bottom layer, transparent above it.
void FillSurface(SurfaceId id) { Ctx().ddraw.ClearSurface(id, id == SURFACE_ROOT ? 0 : 1); }

// Draws the row's picture on its surface (pictures above the bottom layer keep their
// transparent colour).
void DrawPicture(const EndingState& state) {
  int image = 0;
  const char* file = CTamvikEnding::PictureFile(state.ending, state.row.picture, &image);
  if (file == nullptr) {
    DebugPrint("Ending: no file holds picture %u\n", state.row.picture);
    return;
  }
  const auto surface = static_cast<SurfaceId>(state.row.surface);
  TamvikFunc::LoadSprToSurface(file, image, static_cast<int>(state.row.x),
                               static_cast<int>(state.row.y), surface,
                               surface == SURFACE_ROOT ? 0 : 1);
}

// A cross-fade phase of param / 2 milliseconds (16 phases: about param / 2 frames in all).
void CrossFade(const EndingState& state) {
  TamvikFunc::StartCrossFade(SURFACE_TEXT, state.row.param / 2);
}

// The screen fade of a row: (param / 2) frames in milliseconds.
int FadeMs(const EndingState& state) {
  return static_cast<int>((state.row.param / 2) * 1000 / 60);
}

// Reads a picture file's parts into the sprite cache, so the ending's draws find them there.
void PreloadPictures(const char* name) {
  SpxCache& cache = Scene().spx_cache;
  SprParts parts;
  if (cache.Lookup(name, kSprMaskPicture, &parts) == 1) return;
  SprPartStore store;
  const uint32_t total = TamvikFunc::ReadSpxParts(name, kSprMaskPicture, &store);
  if (total == 0) {
    DebugPrint("Ending: %s not loaded\n", name);
    return;
  }
  cache.Insert(name, kSprMaskPicture, std::move(store), total);
}

// Runs the taken row's command; the wait state after it.
uint32_t RunCommand(EndingState& state) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  const EndingRow& row = state.row;
  const auto surface = static_cast<SurfaceId>(row.surface);
  DebugPrint("COMMAND:%u %s\n", row.command, CTamvikEnding::CommandName(row.command));
  const bool uses_surface =
      row.command <= CTamvikEnding::kLoadCg || row.command == CTamvikEnding::kDrawFadeScreenIn;
  if (uses_surface && (row.surface < SURFACE_ROOT || row.surface > SURFACE_TEXT)) {
    // Only the five layers are drawn on; a row naming another surface is passed over.
    DebugPrint("Ending: surface %u is not a layer\n", row.surface);
    return CTamvikEnding::kIdle;
  }
  switch (row.command) {
    case CTamvikEnding::kClear:
      FillSurface(surface);
      ddraw.SetUpdate(surface, 1);
      return CTamvikEnding::kIdle;
    case CTamvikEnding::kDrawCg:
      DrawPicture(state);
      ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      return CTamvikEnding::kIdle;
    case CTamvikEnding::kCrossFadeIn:
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      DrawPicture(state);
      CrossFade(state);
      return CTamvikEnding::kWaitCrossFade;
    case CTamvikEnding::kCrossFadeOut:
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      FillSurface(surface);
      CrossFade(state);
      return CTamvikEnding::kWaitCrossFade;
    case CTamvikEnding::kOpenX:
      FillSurface(surface);
      DrawPicture(state);
      ddraw.SetLayerView(surface, 319, 0, 320, kScreenHeight);
      ddraw.SetUpdate(surface, 1);
      state.openWidth = 0;
      state.openSpeed = row.param;
      return CTamvikEnding::kOpeningX;
    case CTamvikEnding::kOpenY:
      FillSurface(surface);
      DrawPicture(state);
      ddraw.SetLayerView(surface, 0, 239, kScreenWidth, 240);
      ddraw.SetUpdate(surface, 1);
      state.openWidth = 0;
      state.openSpeed = row.param;
      return CTamvikEnding::kOpeningY;
    case CTamvikEnding::kLoadCg:
      DrawPicture(state);
      return CTamvikEnding::kIdle;
    case CTamvikEnding::kSnapScreen:
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      return CTamvikEnding::kIdle;
    case CTamvikEnding::kCrossFade:
      CrossFade(state);
      return CTamvikEnding::kWaitCrossFade;
    case CTamvikEnding::kDecodeEnd:
      state.endFlag = 1;
      return CTamvikEnding::kEnded;
    case CTamvikEnding::kFadeScreenIn:
      StartScreenFade(256, 0, FadeMs(state));
      return CTamvikEnding::kWaitScreenFade;
    case CTamvikEnding::kFadeScreenOut:
      StartScreenFade(0, 256, FadeMs(state));
      return CTamvikEnding::kWaitScreenFadeOut;
    case CTamvikEnding::kDrawFadeScreenIn:
      DrawPicture(state);
      StartScreenFade(256, 0, FadeMs(state));
      return CTamvikEnding::kWaitScreenFade;
    default:
      // A command the interpreter does not know is passed over.
      return CTamvikEnding::kIdle;
  }
}

// One frame of an opening: the half-size from the speed and the frames since its first frame;
// true once the layer shows whole again.
bool Opening(EndingState& state, SurfaceId surface, int32_t clock, bool in_x) {
  if (state.openStart == UINT32_MAX) state.openStart = static_cast<uint32_t>(clock);
  const int64_t frames = int64_t{clock} - int64_t{state.openStart};
  const int64_t size = frames <= 0 ? 0 : int64_t{state.openSpeed} * frames;
  state.openWidth = static_cast<uint32_t>(size > 1000 ? 1000 : size);
  const int w = static_cast<int>(state.openWidth);
  CDdrawFunc& ddraw = Ctx().ddraw;
  // A changed view shows only in a frame that composes.
  ddraw.SetUpdate(surface, 1);
  if (in_x) {
    if (w > kScreenWidth / 2) {
      ddraw.SetLayerView(surface, 0, 0, kScreenWidth, kScreenHeight);
      return true;
    }
    // A zero width is refused by the display: the column the command set stays.
    ddraw.SetLayerView(surface, 320 - w, 0, 320 + w, kScreenHeight);
    return false;
  }
  if (w > 160) {
    ddraw.SetLayerView(surface, 0, 0, kScreenWidth, kScreenHeight);
    return true;
  }
  ddraw.SetLayerView(surface, 0, 212 - w, kScreenWidth, 212 + w);
  return false;
}

}  // namespace

uint32_t CTamvikEnding::EndingNumber(int n) {
  return n >= 1 && n <= kEndings ? static_cast<uint32_t>(n - 1) : 0;
}

const char* CTamvikEnding::EndFile(uint32_t e) { return e < kEndings ? kEndFiles[e] : nullptr; }
const char* CTamvikEnding::StaffFile(uint32_t e) {
  return e < kEndings ? kStaffFiles[e] : nullptr;
}

const char* CTamvikEnding::PictureFile(uint32_t e, uint32_t picture, int* image) {
  const char* file = nullptr;
  uint32_t n = picture;
  if (picture >= 200) {
    file = kCommonFile;
    n = picture - 200;
  } else if (picture >= 100) {
    file = StaffFile(e);
    n = picture - 100;
  } else {
    file = EndFile(e);
  }
  if (file != nullptr && image != nullptr) *image = static_cast<int>(n);
  return file;
}

const char* CTamvikEnding::CommandName(uint32_t command) {
  static constexpr std::array<const char*, kCommandCount> kNames = {
      "Clear",      "Draw Cg",     "CrossFade In",   "CrossFade Out",   "Open X",
      "Open Y",     "Load Cg",     "Snap Screen",    "CrossFade",       "Decode End",
      "Fade Screen In", "Fade Screen Out", "Fade Screen In"};
  return command < kCommandCount ? kNames[command] : "?";
}

void CTamvikEnding::ClearDecode(EndingState& state, uint32_t e) {
  const uint32_t closing = state.closing;
  state = EndingState{};
  state.ending = e;
  state.closing = closing;
}

int CTamvikEnding::DecodeEnding(EndingState& state, std::span<const EndingRow> table,
                                int32_t voice_ms) {
  if (state.endFlag != 0) return 0;
  if (voice_ms < 0) {
    // The song has stopped, or never started: the table ends here.
    state.endFlag = 1;
    return 0;
  }
  const auto clock = static_cast<int32_t>(int64_t{voice_ms} * 60 / 1000);
  const auto surface = static_cast<SurfaceId>(state.row.surface);
  switch (state.wait) {
    case kIdle: {
      if (state.rowIndex >= table.size() || state.rowIndex >= kMaxRows) {
        // Past the last row: as command 9.
        state.endFlag = 1;
        state.wait = kEnded;
        return 0;
      }
      const EndingRow& next = table[state.rowIndex];
      if (int64_t{clock} < int64_t{next.time}) return 0;
      state.row = next;
      ++state.rowsRun;
      state.openStart = UINT32_MAX;
      state.wait = RunCommand(state);
      if (state.wait == kEnded) return 0;
      if (state.wait == kIdle) ++state.rowIndex;
      return 1;
    }
    case kWaitCrossFade:
      if (!IsScreenFadeDone()) return 0;
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      break;
    case kOpeningX:
    case kOpeningY:
      if (!Opening(state, surface, clock, state.wait == kOpeningX)) return 0;
      break;
    case kWaitScreenFade:
      if (!TamvikFunc::IsFadeDone()) return 0;
      break;
    case kWaitScreenFadeOut:
      if (!TamvikFunc::IsFadeDone()) return 0;
      FillLayers();
      break;
    default:
      return 0;
  }
  state.wait = kIdle;
  ++state.rowIndex;
  return 1;
}

void CTamvikEnding::StartEndingMain(GameTaskRec* owner, int n) {
  CGameTask& list = Ctx().game_task;
  while (GameTaskRec* running = kEndingMain.Find(list)) list.DelTask(running);
  const uint32_t e = EndingNumber(n);
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopBGM();
  sound.StopVoice();
  sound.StopSE();
  PreloadPictures(EndFile(e));
  PreloadPictures(StaffFile(e));
  FillLayers();
  auto* state = TaskNewBlock<EndingState>();
  state->ending = e;
  if (list.SetTask(owner, &EndingMain, kTaskName, TaskNewBlock<EndingWork>(), state) == 0) return;
  DebugPrint("Ending task seted.\n");
}

bool CTamvikEnding::IsEndingEnd() { return !kEndingMain.IsRunning(Ctx().game_task); }

void CTamvikEnding::InitEndingScreen() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_ROOT, SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
    ddraw.SetVisible(id, 1);
  }
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    // A user surface standing in for the layer is given back (exchanged back and deleted).
    ddraw.GiveBackLayerSurface(id, 1);
    if (LayerRec* layer = ddraw.GetLayer(id)) {
      layer->screen_x = layer->screen_y = 0;
      layer->scroll_x = layer->scroll_y = 0;
      layer->view_width = kScreenWidth;
      layer->view_height = kScreenHeight;
    }
  }
  TamvikFunc::ReleaseBlinkAnm();
  TamvikFunc::ReleaseNcSpx();
  TamvikFunc::CloseMessageWindow();
  FillLayers();
  if (ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG)) {
    ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }
}

namespace {

// Runs the interpreter for this frame; true once the end flag is set.
bool RunTable(EndingState& state) {
  const std::span<const EndingRow> table = CTamvikEnding::Table(state.ending);
  while (CTamvikEnding::DecodeEnding(state, table, Ctx().dsound.GetVoiceTime()) != 0) {
  }
  return state.endFlag != 0;
}

// Clears the interpreter for table t and starts its song; a song that does not start ends the
// table at once.
void StartTable(EndingState& state, uint32_t t, const char* song) {
  CTamvikEnding::ClearDecode(state, t);
  if (Ctx().dsound.PlayVoice(song) == 0) {
    DebugPrint("Ending: %s does not play\n", song);
    state.endFlag = 1;
  }
}

// Counts the frames of a wait; true once `frames` have passed.
bool Waited(EndingWork& work, uint32_t frames) { return ++work.frames >= frames; }

}  // namespace

void CTamvikEnding::EndingMain(GameTaskRec* record) {
  StepTask<EndingWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  EndingWork& work = task.work();
  EndingState& state = StateOf(record);
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDsoundFunc& sound = Ctx().dsound;
  switch (task.step()) {
    case kStepStart:
      FillLayers();
      CTamvikIcon::HideMouseCursor();
      StartTable(state, state.ending, kSong);
      task.GoTo(kStepSong);
      return;
    case kStepSong:
      if (!RunTable(state)) return;
      if ((GetSystemData()->endingsSeen() & kAllEndings) < kAllEndings) {
        sound.PlaySE(kVoice6002);
        task.GoTo(kStepWait6002);
      } else {
        state.closing = 1;
        work.frames = 0;
        task.GoTo(kStepBeforeClosing);
      }
      return;
    case kStepWait6002:
      if (!sound.IsSEStop()) return;
      work.frames = 0;
      task.GoTo(kStepAfter6002);
      return;
    case kStepAfter6002:
      if (Waited(work, kAfterSongFrames)) task.GoTo(kStepClose);
      return;
    case kStepBeforeClosing:
      if (!Waited(work, kAfterSongFrames)) return;
      StartScreenFade(0, 256, 2000);
      task.GoTo(kStepClosingFadeOut);
      return;
    case kStepClosingFadeOut:
      if (!TamvikFunc::IsFadeDone()) return;
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      FillLayers();
      TamvikFunc::LoadSprToSurface(kCommonFile, 0, 0, 0, SURFACE_ROOT, 0);
      StartScreenFade(256, 0, 1000);
      task.GoTo(kStepClosingFadeIn);
      return;
    case kStepClosingFadeIn:
      if (!TamvikFunc::IsFadeDone()) return;
      StartTable(state, kClosingTable, kVoice6003);
      task.GoTo(kStepClosingTable);
      return;
    case kStepClosingTable:
      if (!RunTable(state)) return;
      task.GoTo(kStepClosingVoiceEnd);
      return;
    case kStepClosingVoiceEnd:
      if (!sound.IsVoiceStop()) return;
      work.frames = 0;
      task.GoTo(kStepAfterClosingVoice);
      return;
    case kStepAfterClosingVoice:
      if (!Waited(work, kAfterClosingVoiceFrames)) return;
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      TamvikFunc::LoadSprToSurface(kCommonFile, 3, 0, 0, SURFACE_ROOT, 0);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kLastPicturePhaseMs);
      task.GoTo(kStepLastPicture);
      return;
    case kStepLastPicture:
      if (!IsScreenFadeDone()) return;
      ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      work.frames = 0;
      task.GoTo(kStepLastPictureShown);
      return;
    case kStepLastPictureShown:
      if (Waited(work, kLastPictureFrames)) task.GoTo(kStepClose);
      return;
    case kStepClose:
      StartScreenFade(0, 256, 2000);
      task.GoTo(kStepCloseFadeOut);
      return;
    case kStepCloseFadeOut:
      if (!TamvikFunc::IsFadeDone()) return;
      FillLayers();
      StartScreenFade(256, 0, 0);
      task.End();
      DebugPrint("Ending task cleared.\n");
      return;
    default:
      return;
  }
}
