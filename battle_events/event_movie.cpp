#include "battle_events/event_movie.h"

#include <cinttypes>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_screen.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/movie/movie.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr uint16_t kFlagMapDraw = 0x2;
constexpr uint16_t kFlagMovie = 0x20;
// The layer set that holds the compose (0) and the redraw request (14).
constexpr SurfaceId kComposeHold = 0;
constexpr SurfaceId kRedraw = 14;
constexpr SurfaceId kSurfaceBack = 2;
constexpr SurfaceId kSurfaceSave = 13;
constexpr int kSkipKeyA = 1;
constexpr int kSkipKeyB = 3;
constexpr int kFadeFrames = 60;

}  // namespace

std::string MovieFileName(int32_t group, int32_t index) {
  const int64_t number = int64_t{group} * 100 + index;
  char name[64];
  std::snprintf(name, sizeof name, "%s%s%03" PRId64 "%s", "Movie\\", "Movie", number, ".mpg");
  return name;
}

int MoviePlay(int32_t group, int32_t index, int full) {
  SlgEventRuntimeState& s = EventRuntimeState();
  CDdrawFunc& ddraw = Ctx().ddraw;
  switch (s.movie_phase) {
    case 0:
      Battle().flags = static_cast<uint16_t>((Battle().flags & ~kFlagMapDraw) | kFlagMovie);
      HideUnflaggedUnits();
      ddraw.SetUpdate(kComposeHold, 1);
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      ddraw.ClearSurface(kSurfaceBack, 0);
      ddraw.ClearSurface(kSurfaceSave, 1);
      SlgFadeIn(0);
      s.movie_phase = 1;
      return 0;
    case 1: {
      const std::string name = MovieFileName(group, index);
      const int started = full != 0 ? TamvikFunc::PlayMovieFullScreen(name.c_str())
                                    : TamvikFunc::PlayMovie(name.c_str());
      if (started != 0) {
        DebugPrint("MoviePlay: %s.\n", name.c_str());
        s.movie_phase = 2;
      } else {
        DebugPrint("Can't Play Movie %s.\n", name.c_str());
        // Only the player's own clean-up releases the hold of phase 0: without a movie the
        // battle screen would never be composed again.
        ddraw.SetUpdate(kComposeHold, 0);
        ddraw.SetUpdate(kRedraw, 1);
        s.movie_phase = 4;
      }
      return 0;
    }
    case 2:
      if (IsKeyTriggered(kSkipKeyA) != 0 || IsKeyTriggered(kSkipKeyB) != 0) {
        TamvikFunc::StopMovie();
      }
      if (Ctx().movie.GetMovieState() == kMovieNone) {
        SlgSaveLayers(&s.movie_layers);
        ddraw.CopySurface(kSurfaceSave, SURFACE_ROOT, 1);
        ddraw.SetSurfaceBlt(SURFACE_ROOT, 1);
        ddraw.SetUpdate(kRedraw, 1);
        SlgFadeOut(kFadeFrames);
        s.movie_phase = 3;
      }
      return 0;
    case 3:
      if (SlgIsFadeEnd() != 0) {
        SlgRestoreLayers(&s.movie_layers);
        ddraw.ClearSurface(SURFACE_ROOT, 0);
        s.movie_phase = 4;
      }
      return 0;
    default:
      s.movie_phase = 0;
      return 1;
  }
}

int EventMoviePlay(int32_t group, int32_t index) { return MoviePlay(group, index, 0); }

int EventMoviePlayFull(int32_t group, int32_t index) { return MoviePlay(group, index, 1); }
