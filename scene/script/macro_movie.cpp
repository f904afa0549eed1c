// MOVIE: a story movie in the picture area with its captions, the sounds stopped before it and
// the picture area cross-faded back after it.

#include <cstdio>
#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/movie_captions.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

const MovieCaptionTable& ProgramMovieCaptions() {
  static const MovieCaptionTable kEmpty{};
  return kEmpty;
}

const MovieCaptionCell* FindMovieCaptions(const MovieCaptionTable& table, int row, int column) {
  if (row < 0 || row >= kMovieCaptionRows || column < 0 || column >= kMovieCaptionColumns) {
    return nullptr;
  }
  return &table[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void CTamvikMacro::MovieCaption() {
  CTamvikMacro& macro = Scene().macro;
  if (macro.movie_captions == nullptr) return;
  const MovieCaptionCell* cell =
      FindMovieCaptions(*macro.movie_captions, static_cast<int>(macro.movie_caption_row),
                        static_cast<int>(macro.movie_caption_number));
  if (cell == nullptr || cell->entries == nullptr || macro.movie_caption_index >= cell->count) {
    return;
  }
  const MovieCaptionEntry& entry = cell->entries[macro.movie_caption_index];
  const double now_ms = Ctx().movie.GetPos() * 1000.0;
  CDdrawFunc& ddraw = Ctx().ddraw;
  const Rect area{kMovieCaptionX, kMovieCaptionY, kMovieCaptionRight, kMovieCaptionBottom};
  if (macro.movie_caption_shown == 0) {
    if (now_ms < entry.start * kMovieCaptionUnitMs) return;
    if (entry.text != nullptr) {
      Ctx().ddraw_text.DrawTextToSurface(entry.text, static_cast<int>(std::strlen(entry.text)),
                                         kMovieCaptionX, kMovieCaptionY, 0, 0,
                                         ddraw.GetSurface(SURFACE_TEXT), nullptr,
                                         kMovieCaptionColour);
    }
    ddraw.Blt(SURFACE_TEXT, area, SURFACE_PRIMARY, area, 1);
    macro.movie_caption_shown = 1;
    return;
  }
  if (now_ms < entry.end * kMovieCaptionUnitMs) return;
  macro.movie_caption_shown = 0;
  // The text taken off: the area as the screen was before the movie (the back buffer holds it).
  ddraw.Blt(SURFACE_BACK, area, SURFACE_TEXT, area, 0);
  ddraw.Blt(SURFACE_TEXT, area, SURFACE_PRIMARY, area, 0);
  ++macro.movie_caption_index;
}

namespace {

struct MovieWork {
  uint8_t form;
  uint8_t step;
  uint16_t n;
  uint8_t playing;  // this task started the movie that may still play
  uint8_t rest[11];
};
static_assert(sizeof(MovieWork) == sizeof(TaskWork));

// The developer switch of the system data that skips every story movie.
bool MoviesSkipped() { return GetSystemData()->skipMovie() == 1; }

}  // namespace

void DecodeMovie(GameTaskRec* task) {
  StepTask<MovieWork> step(Ctx().game_task, task);
  MovieWork& work = step.work();
  CMovie& movie = Ctx().movie;
  if (step.OwnerGone()) {
    // The scene is going: the movie it started is closed at once (the player lets go of the
    // compose and the loop waits no more for pictures), the layers are composed again over its
    // rectangle, and no caption is drawn over what comes next.
    if (work.playing != 0 && movie.GetMovieState() != kMovieNone) {
      movie.StopAndClose();
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    }
    movie.SetOverlayCallback(nullptr);
    // The hold MOVIE set for a movie that did not start is its own to release.
    if (step.step() == 4 && movie.GetMovieState() == kMovieNone) Ctx().ddraw.SetUpdate(0, 0);
    EndCommand(task);
    return;
  }
  CTamvikMacro& macro = Scene().macro;
  macro.continue_flag = 0;
  CDdrawFunc& ddraw = Ctx().ddraw;
  switch (step.step()) {
    case 0: {
      if (!macro.GetOperand(&work.n)) {  // a decode error: decoding stays stopped
        EndCommand(task);
        return;
      }
      CDsoundFunc& sound = Ctx().dsound;
      sound.StopStaticSE(-1);
      sound.StopBGM();
      sound.StopVoice();
      sound.StopSE();
      CTamvikIcon::HideMouseCursor();
      step.GoTo(1);
      return;
    }
    case 1:
      ddraw.ClearSurface(SURFACE_SCRATCH2, 1);
      step.GoTo(2);
      return;
    case 2:
      if (IsScreenFadeDone()) step.GoTo(3);
      return;
    case 3: {
      int n = work.n;
      macro.movie_caption_number = work.n;
      macro.movie_caption_row = 0;
      if ((GetAdvState()->sceneCode() >> 8) >= 8) {
        n += 100;
        macro.movie_caption_row = 1;
      }
      char name[64];
      std::snprintf(name, sizeof name, "Movie\\Movie%.03d.mpg", n);
      DebugPrint("ANIMENO=%d Filename=%s\n", n, name);
      if (!MoviesSkipped()) {
        ddraw.SetUpdate(0, 1);
        macro.movie_caption_index = 0;
        macro.movie_caption_shown = 0;
        movie.SetOverlayCallback([] { CTamvikMacro::MovieCaption(); });
        if (TamvikFunc::PlayMovie(name) != 0) {
          work.playing = 1;
        } else {
          DebugPrint("ANIME File %s Cannot Open\n", name);
        }
      }
      step.GoTo(4);
      return;
    }
    case 4: {
      if (movie.GetMovieState() != kMovieNone) {
        if (IsKeyTriggered(1) != 0 || IsKeyTriggered(3) != 0) movie.Stop();
        return;
      }
      work.playing = 0;
      movie.SetOverlayCallback(nullptr);
      // Surface 8 back from 13, which MOVIE cleared to the transparent colour. The player's
      // clean-up blanks the screen's movie rectangle through 13 with black, so 13 is made
      // transparent again first: a black 13 would cover the whole picture from layer 8. The
      // captions drawn into 8 go with it.
      ddraw.ClearSurface(SURFACE_SCRATCH2, 1);
      ddraw.ClearSurface(SURFACE_TEXT, 1);
      ddraw.CopySurface(SURFACE_SCRATCH2, SURFACE_TEXT, 0);
      PictureCapture(SURFACE_TEXT);
      Rect rect;
      TamvikFunc::GetMovieRect(&rect);
      ddraw.FillSurfaceRect(SURFACE_TEXT, rect.left, rect.top, rect.right, rect.bottom, 1);
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, &rect);
      ddraw.SetUpdate(0, 0);
      ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      step.GoTo(5);
      return;
    }
    case 5:
      if (IsScreenFadeDone()) step.GoTo(6);
      return;
    default:
      CTamvikIcon::ShowMouseCursor();
      EndCommand(task);
      macro.continue_flag = 1;
      return;
  }
}
