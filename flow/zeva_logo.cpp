// The maker-logo sequence (logo form and staff-card form) and the opening movie with its captions:
// tasks started by the game-mode manager, each handing back by setting the next mode.

#include <array>
#include <cstdint>
#include <cstdio>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/core/step_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/movie/movie.h"
#include "flow/tamvik_general.h"
#include "game/system_data.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

// ---- Logo sequence ----

constexpr const char* kZevaLogo = "tamvik1\\system\\zevalogo.spr";
constexpr const char* kLogo = "tamvik1\\system\\LOGO.spr";
constexpr const char* kMakerStaff = "tamvik1\\system\\mstaff.spr";
constexpr const char* kMiniTamvik = "tamvik1\\system\\minitamv.spr";
constexpr const char* kSisBg2 = "tamvik1\\system\\sis_bg2.spr";
constexpr const char* kSisBg3 = "tamvik1\\system\\sis_bg3.spr";
constexpr const char* kLogoMovie = "movie\\Vexlogo.mpg";

// Milliseconds per cross-fade phase of every picture change.
constexpr uint32_t kPicturePhaseMs = 62;
constexpr uint32_t kZevaLogoFrames = 210;
constexpr uint32_t kPictureFrames = 150;

constexpr uint8_t kFormLogo = 1;
constexpr uint8_t kFormStaffCard = 2;

// Keys: 1 cancel, 2 fast (held: pictures pass at once), 3 start.
constexpr int kKeyCancel = 1;
constexpr int kKeyFast = 2;
constexpr int kKeyStart = 3;

// The logo's 16-byte work block: the form in byte 0, the step in byte 1.
struct ZevaLogoWork {
  uint8_t form;
  uint8_t step;
  uint8_t holding;  // the sequence holds the compose (update bit 0) for its movie
  uint8_t unused;
  uint32_t show_frames;  // how long the picture now up stays
  uint32_t reserved[2];
};
static_assert(sizeof(ZevaLogoWork) == 16);

struct ZevaLogoExtra {
  AnimeHandle timer;  // frames since the last picture change
};

// Steps of the logo task.
enum ZevaLogoStep : uint8_t {
  kLogoStart = 0,
  kLogoZevaShown,
  kLogoBlack1Shown,
  kLogoPicture0Shown,
  kLogoPicture1Shown,
  kLogoPicture3Shown,
  kLogoBlack2Shown,
  kLogoMoviePlaying,
  kLogoAfterMovie,
  kLogoStaffShown,
  kLogoMiniShown,
  kLogoBlack3Shown,
  kLogoLast,
};

ZevaLogoExtra& LogoExtra(GameTaskRec* record) {
  return *static_cast<ZevaLogoExtra*>(record->extra);
}

// The picture change: the layers captured as the cross-fade's start, surface 4 black with the
// picture on it (a missing file leaves it black), a cross-fade of the top layer, the timer
// restarted. The picture stays `frames` frames, none while the fast key is held.
void PictureChange(GameTaskRec* record, const char* name, int picture, uint32_t frames) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
  ddraw.ClearSurface(SURFACE_ROOT, 0);
  if (name != nullptr) TamvikFunc::LoadSprToSurface(name, picture, 0, 0, SURFACE_ROOT, 0);
  TamvikFunc::StartCrossFade(SURFACE_TEXT, kPicturePhaseMs);
  Ctx().anime.ResetTimer(LogoExtra(record).timer);
  TaskWorkAs<ZevaLogoWork>(record)->show_frames = IsKeyHeld(kKeyFast) != 0 ? 0 : frames;
}

void Black(GameTaskRec* record) { PictureChange(record, nullptr, 0, 0); }

// The cross-fade has ended and the picture has stood its time.
bool Shown(GameTaskRec* record) {
  if (!IsScreenFadeDone()) return false;
  const int32_t frames = Ctx().anime.GetTimer(LogoExtra(record).timer, 0, 0);
  return frames >= static_cast<int32_t>(TaskWorkAs<ZevaLogoWork>(record)->show_frames);
}

// Lets go of what the task holds: the compose hold of its movie, its timer.
void LogoRelease(GameTaskRec* record) {
  ZevaLogoWork& work = *TaskWorkAs<ZevaLogoWork>(record);
  if (work.holding != 0) {
    CDdrawFunc& ddraw = Ctx().ddraw;
    ddraw.SetUpdate(0, 0);
    ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    work.holding = 0;
  }
  Ctx().anime.DeleteRef(&LogoExtra(record).timer);
}

void StartLogo(GameTaskRec* owner, uint8_t form) {
  DebugPrint("SetTask %s\n", CTamvikGeneral::kZevaLogoTaskName);
  auto* work = TaskNewBlock<ZevaLogoWork>();
  work->form = form;
  Ctx().game_task.SetTask(owner, &CTamvikGeneral::ZevaLogoMain,
                          CTamvikGeneral::kZevaLogoTaskName, work, TaskNewBlock<ZevaLogoExtra>());
}

bool ManagerShowsLogo() {
  const int mode = CTamvikGeneral::GetMode();
  return mode == 2 || mode == 16;
}

// ---- Opening movie ----

constexpr const char* kKaraoke = "tamvik1\\system\\karaoke.spr";
constexpr uint32_t kOpeningPhaseMs = 62;
constexpr uint8_t kNoCaption = 255;
// Pairs per movie: the first movie reads pairs 0-15, the second 16-31.
constexpr uint32_t kCaptionPairs = 16;

struct CaptionPair {
  uint8_t sprite;  // kNoCaption: none
  uint16_t end_frame;  // at 60 per second
};

constexpr std::array<CaptionPair, 2 * kCaptionPairs> kCaptions = {{
    {255, 1200}, {0, 1410},  {1, 1612}, {2, 1800},  {3, 2010}, {4, 2220},  {5, 2416}, {6, 2610},
    {7, 2872},   {8, 3270},  {9, 3510}, {10, 3670}, {8, 4070}, {9, 4304},  {10, 4620}, {255, 0},
    {255, 1200}, {11, 1410}, {12, 1612}, {13, 1800}, {3, 2010}, {14, 2220}, {15, 2416},
    {16, 2610},  {7, 2872},  {8, 3270}, {9, 3510},  {10, 3670}, {8, 4070}, {9, 4304},
    {10, 4620},  {255, 4620},
}};

// Half the x position of each caption sprite (drawn at twice this), at y kCaptionY.
constexpr std::array<int, 17> kCaptionHalfX = {104, 80, 96, 88, 104, 104, 96, 88, 72,
                                               89,  88, 80, 96, 88, 104, 96, 104};
constexpr int kCaptionY = 384;
constexpr Rect kCaptionArea{33, 337, 608, 480};

struct OpeningWork {
  uint8_t form;
  uint8_t step;
  uint8_t holding;  // the sequence holds the compose (update bit 0) for its movie
  uint8_t unused;
  uint32_t reserved[3];
};
static_assert(sizeof(OpeningWork) == 16);

struct OpeningExtra {
  SprUnit* karaoke;  // the caption sprites
  uint32_t caption_index;
  uint32_t caption_offset;  // 0 for the first movie, 16 for the second
  int32_t start_tick;
  int32_t disc;  // what the disc search found at the start
};

enum OpeningStep : uint8_t {
  kOpeningStart = 0,
  kOpeningClearRect,
  kOpeningPlay,
  kOpeningPlaying,
  kOpeningRestore,
};

OpeningExtra& OpenExtra(GameTaskRec* record) { return *static_cast<OpeningExtra*>(record->extra); }

void OpeningRelease(GameTaskRec* record) {
  OpeningWork& work = *TaskWorkAs<OpeningWork>(record);
  CDdrawFunc& ddraw = Ctx().ddraw;
  if (work.holding != 0) {
    ddraw.SetUpdate(0, 0);
    ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    work.holding = 0;
  }
  Ctx().movie.SetOverlayCallback(nullptr);
  TamvikFunc::ReleaseUnitFile(OpenExtra(record).karaoke);
}

}  // namespace

// ---- Logo sequence ----

void CTamvikGeneral::StartZevaLogoMain(GameTaskRec* owner) { StartLogo(owner, kFormLogo); }
void CTamvikGeneral::StartStaffCard(GameTaskRec* owner) { StartLogo(owner, kFormStaffCard); }

bool CTamvikGeneral::IsZevaLogoEnd() {
  return Ctx().game_task.FindTask(kZevaLogoTaskName) == nullptr;
}

void CTamvikGeneral::ZevaLogoMain(GameTaskRec* record) {
  StepTask<ZevaLogoWork> task(Ctx().game_task, record);
  ZevaLogoWork& work = task.work();
  if (task.OwnerGone()) {
    LogoRelease(record);
    task.End();
    return;
  }
  CMovie& movie = Ctx().movie;
  if (IsKeyTriggered(kKeyStart) != 0 && ManagerShowsLogo() &&
      movie.GetMovieState() == kMovieNone) {
    SetMode(3);
    LogoRelease(record);
    task.End();
    return;
  }
  switch (task.step()) {
    case kLogoStart:
      LogoExtra(record).timer = Ctx().anime.CreateTimer();
      PictureChange(record, kZevaLogo, 0, kZevaLogoFrames);
      task.GoTo(kLogoZevaShown);
      return;
    case kLogoZevaShown:
      if (!Shown(record)) return;
      Black(record);
      task.GoTo(GetSystemData()->cesaMode() != 0 ? kLogoBlack3Shown : kLogoBlack1Shown);
      return;
    case kLogoBlack1Shown:
      if (!Shown(record)) return;
      PictureChange(record, kLogo, 0, kPictureFrames);
      task.GoTo(kLogoPicture0Shown);
      return;
    case kLogoPicture0Shown:
      if (!Shown(record)) return;
      PictureChange(record, kLogo, 1, kPictureFrames);
      task.GoTo(kLogoPicture1Shown);
      return;
    case kLogoPicture1Shown:
      if (!Shown(record)) return;
      PictureChange(record, kLogo, 3, kPictureFrames);
      task.GoTo(kLogoPicture3Shown);
      return;
    case kLogoPicture3Shown:
      if (!Shown(record)) return;
      Black(record);
      task.GoTo(kLogoBlack2Shown);
      return;
    case kLogoBlack2Shown:
      if (!Shown(record)) return;
      if (work.form != kFormLogo) {
        task.GoTo(kLogoAfterMovie);
        return;
      }
      StartScreenFade(256, 0, 0);
      Ctx().ddraw.SetUpdate(0, 1);
      work.holding = 1;
      if (TamvikFunc::PlayMovieFullScreen(kLogoMovie) == 0) {
        // No movie: it counts as ended at once.
        DebugPrint("%s did not play\n", kLogoMovie);
      }
      task.GoTo(kLogoMoviePlaying);
      return;
    case kLogoMoviePlaying: {
      if (movie.GetMovieState() != kMovieNone) {
        if (IsKeyTriggered(kKeyCancel) != 0 || IsKeyTriggered(kKeyStart) != 0) {
          TamvikFunc::StopMovie();
        }
        return;
      }
      CDdrawFunc& ddraw = Ctx().ddraw;
      ddraw.SetUpdate(0, 0);
      ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      work.holding = 0;
      Black(record);
      StartScreenFade(0, 256, 0);
      task.GoTo(kLogoAfterMovie);
      return;
    }
    case kLogoAfterMovie:
      if (!IsScreenFadeDone()) return;
      StartScreenFade(256, 0, 0);
      PictureChange(record, kMakerStaff, 0, kPictureFrames);
      task.GoTo(kLogoStaffShown);
      return;
    case kLogoStaffShown:
      if (!Shown(record)) return;
      PictureChange(record, kMiniTamvik, 0, kPictureFrames);
      task.GoTo(kLogoMiniShown);
      return;
    case kLogoMiniShown:
      if (!Shown(record)) return;
      Black(record);
      task.GoTo(kLogoBlack3Shown);
      return;
    case kLogoBlack3Shown:
      if (!Shown(record)) return;
      PictureChange(record, Ctx().file_io.FindDisc(3) == 3 ? kSisBg3 : kSisBg2, 0, 0);
      task.GoTo(kLogoLast);
      return;
    case kLogoLast:
      if (!ManagerShowsLogo()) return;
      SetMode(5);
      LogoRelease(record);
      task.End();
      return;
    default:
      return;
  }
}

// ---- Opening movie ----

void CTamvikGeneral::StartOpeningMovieSeq(GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", kOpeningTaskName);
  Ctx().game_task.SetTask(owner, &CTamvikGeneral::OpeningMovieSeq, kOpeningTaskName,
                          TaskNewBlock<OpeningWork>(), TaskNewBlock<OpeningExtra>());
}

bool CTamvikGeneral::IsOpeningMovieEnd() {
  return Ctx().game_task.FindTask(kOpeningTaskName) == nullptr;
}

void CTamvikGeneral::OpeningCaption() {
  GameTaskRec* record = Ctx().game_task.FindTask(kOpeningTaskName);
  if (record == nullptr || record->extra == nullptr) return;
  OpeningExtra& state = OpenExtra(record);
  // The last pair of the movie stays: the index never reaches the next movie's pairs.
  if (state.caption_index + 1 >= kCaptionPairs) return;
  const uint32_t offset = state.caption_offset;
  const double position_ms = Ctx().movie.GetPos() * 1000.0;
  const CaptionPair& now = kCaptions[offset + state.caption_index];
  if (!(position_ms > now.end_frame * 1000.0 / 60.0)) return;
  ++state.caption_index;
  CDdrawFunc& ddraw = Ctx().ddraw;
  const Rect area = kCaptionArea;
  ddraw.FillSurfaceRect(SURFACE_ROOT, area.left, area.top, area.right, area.bottom, 0);
  const uint8_t sprite = kCaptions[offset + state.caption_index].sprite;
  if (sprite != kNoCaption && state.karaoke != nullptr && sprite < state.karaoke->SprNum() &&
      sprite < kCaptionHalfX.size()) {
    if (SprRec* spr = state.karaoke->sprites[sprite]) {
      Ctx().ddraw_spr.PutSprite(spr, 2 * kCaptionHalfX[sprite], kCaptionY, SURFACE_ROOT, 1);
    }
  }
  // The movie holds the compose, so surface 4 does not reach the screen while it plays: the
  // caption area goes onto the screen directly (the renderer presents after the overlay).
  ddraw.Blt(SURFACE_ROOT, area, SURFACE_PRIMARY, area, 0);
}

void CTamvikGeneral::OpeningMovieSeq(GameTaskRec* record) {
  StepTask<OpeningWork> task(Ctx().game_task, record);
  OpeningWork& work = task.work();
  OpeningExtra& state = OpenExtra(record);
  CDdrawFunc& ddraw = Ctx().ddraw;
  CMovie& movie = Ctx().movie;
  if (task.OwnerGone()) {
    if (movie.GetMovieState() != kMovieNone) TamvikFunc::StopMovie();
    OpeningRelease(record);
    task.End();
    return;
  }
  Rect rect{};
  TamvikFunc::GetMovieRect(&rect);
  switch (task.step()) {
    case kOpeningStart:
      state.disc = Ctx().file_io.FindDisc(0);
      state.karaoke = TamvikFunc::LoadUnitFile(kKaraoke);
      task.GoTo(kOpeningClearRect);
      return;
    case kOpeningClearRect:
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      ddraw.FillSurfaceRect(SURFACE_TEXT, rect.left, rect.top, rect.right, rect.bottom, 0);
      ddraw.ClearSurface(SURFACE_SCRATCH2, 1);
      ddraw.FillSurfaceRect(SURFACE_SCRATCH2, rect.left, rect.top, rect.right, rect.bottom, 0);
      TamvikFunc::StartCrossFadeRect(SURFACE_TEXT, kOpeningPhaseMs, rect.left, rect.top,
                                     rect.right, rect.bottom);
      task.GoTo(kOpeningPlay);
      return;
    case kOpeningPlay: {
      if (!IsScreenFadeDone()) return;
      ddraw.SetUpdate(0, 1);
      work.holding = 1;
      char name[64] = {};
      if (state.disc == 3) {
        std::snprintf(name, sizeof name, "%s%s100%s", "Movie\\", "Movie", ".mpg");
        state.caption_offset = kCaptionPairs;
      } else {
        std::snprintf(name, sizeof name, "%s%s000%s", "Movie\\", "Movie", ".mpg");
        state.caption_offset = 0;
      }
      movie.SetPlayMode(2);
      movie.SetOverlayCallback([] { CTamvikGeneral::OpeningCaption(); });
      state.caption_index = 0;
      state.start_tick = Ctx().frame_rate.GetTime();
      if (TamvikFunc::PlayMovie(name) == 0) {
        // No movie: it counts as ended at once.
        DebugPrint("%s did not play\n", name);
      }
      task.GoTo(kOpeningPlaying);
      return;
    }
    case kOpeningPlaying:
      if (movie.GetMovieState() != kMovieNone) {
        if (IsKeyTriggered(kKeyCancel) != 0 || IsKeyTriggered(kKeyStart) != 0) {
          TamvikFunc::StopMovie();
        }
        return;
      }
      movie.SetOverlayCallback(nullptr);
      ddraw.Blt(SURFACE_SCRATCH2, rect, SURFACE_TEXT, rect, 0);
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      TamvikFunc::StartCrossFadeRect(SURFACE_TEXT, kOpeningPhaseMs, rect.left, rect.top,
                                     rect.right, rect.bottom);
      ddraw.SetUpdate(0, 0);
      ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      work.holding = 0;
      task.GoTo(kOpeningRestore);
      return;
    case kOpeningRestore:
      if (!IsScreenFadeDone()) return;
      SetMode(3);
      OpeningRelease(record);
      task.End();
      return;
    default:
      return;
  }
}
