#pragma once
// The strip wave: a picture on a surface cut into horizontal strips of a few lines, one
// sprite-buffer entry per strip, each moved sideways on a sine wave whose phase advances from
// strip to strip and from frame to frame, while the band may also scroll vertically. One effect
// task (SlgTaskCreateWork) whose parent drives its phases:
//   0  waits (the parent calls SlgTaskNextPhase);
//   1  makes the entries (at most one per strip cut) and restarts the task's clock;
//   2  each frame, from the task's frames count f: amplitude ampStart + ampGrowth x f held to
//      ampLimit, scroll scrollSpeed x f, phase (phaseStepFrame x f) & 511; strip i moves to
//      x = amplitude x sin(phase + i x phaseStepStrip) (whole pixels), y = ((scroll >> 16) +
//      i x stripHeight) mod wrap + top, with the blend word; the destination is marked for update;
//   3 and later (SlgTaskStop included) deletes every entry and sprite, frees both arrays and ends.
#include <cstdint>

#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SlgEffectTask;
struct SprBufferEntry;
struct SprRec;

// The task's work area (owned slot 0). Values 16.16 where noted.
struct StripWaveWork {
  SurfaceId source;      // surface the picture is cut from
  int32_t x_offset;      // the strip sprites start this many pixels left
  int32_t top;           // screen y of the first strip
  int32_t width;         // the given width + 2 x x_offset
  int32_t band_height0;  // band height given at creation
  int32_t strip_height;  // lines per strip (at least 1)
  int32_t strip_count;   // band_height0 / strip_height: the strips cut, the arrays' length
  int32_t amplitude;     // 16.16, starts at 16.0
  int32_t amp_start;     // 16.16 (16.0)
  int32_t amp_growth;    // 16.16 per frame (0)
  int32_t amp_limit;     // 16.16 (16.0)
  int32_t scroll;        // 16.16 (0)
  int32_t scroll_speed;  // 16.16 per frame (0)
  int32_t band_height;   // lines of the band moved (band_height0)
  int32_t wrap;          // the scroll wraps modulo this many lines (band_height0; at least 1)
  int32_t phase_step_strip;  // 512ths of a turn from strip to strip (4)
  int32_t phase_step_frame;  // 512ths of a turn per frame (4)
  SurfaceId dest;        // surface the strips are drawn on
  int32_t depth;         // battle depth of the strips
  int32_t mode;          // colour-key argument of the entries' creation
  SprRec** sprites;      // strip_count strip sprites
  SprBufferEntry** entries;  // strip_count entries
  BlendWord blend;       // alpha or blend word of every strip (256)
  int32_t entry_count;   // entries phase 1 made (never more than strip_count)
};

// Creates the task `name` (body SlgLineScrollTask) with its work area, the two arrays and the
// strip sprites: strip i is the rectangle (0, i x strip_height, width, (i + 1) x strip_height)
// of the source surface, its home x_offset pixels left. Null, with nothing left allocated, for a
// strip height below 1, a negative band height, or a refused allocation or task.
SlgEffectTask* SlgLineScrollStart(const char* name, SurfaceId source, int32_t x_offset,
                                  int32_t top, int32_t width, int32_t band_height,
                                  int32_t strip_height, SurfaceId dest, int32_t mode,
                                  int32_t depth);
// Setters; each does nothing for a null task.
void SlgLineScrollSetAlpha(SlgEffectTask* task, BlendWord blend);
void SlgLineScrollSetStep(SlgEffectTask* task, int32_t per_strip, int32_t per_frame);
// amplitude and amp_start := start; limit and growth as given (all 16.16).
void SlgLineScrollSetAmp(SlgEffectTask* task, int32_t start, int32_t limit, int32_t growth);
// band_height, wrap (below 1 kept at 1) and speed (16.16 per frame); scroll := 0. A band taller
// than the one cut still moves only the strips cut.
void SlgLineScrollSetScroll(SlgEffectTask* task, int32_t band_height, int32_t wrap,
                            int32_t speed);
// The task's body.
void SlgLineScrollTask(SlgEffectTask* task);
// The work area of a strip-wave task (null for null).
StripWaveWork* SlgLineScrollWork(SlgEffectTask* task);

// ---- Strips cut within a picture ----
// Pictures cut into horizontal strips that keep their place on the screen and are moved sideways
// by their entries: strip k is the rectangle (0, k x strip_height, width, (k + 1) x
// strip_height) of the surface, held to the picture's rectangle, so a picture smaller than the
// band gives fewer or narrower strips and none past its edge.

struct SlgUnit;

// Strip k's rectangle within `bounds` (empty when nothing of it lies there).
Rect SlgStripRect(int32_t k, int32_t width, int32_t strip_height, const Rect& bounds);
// A rectangle of the surface as a strip sprite whose home keeps its place, `margin` pixels left
// and `drop` lines down: an entry at (0, 0) draws it there. Null for an empty rectangle.
SprRec* SlgCutStrip(SurfaceId source, const Rect& r, int32_t margin, int32_t drop);
// The surface's own rectangle (the screen's without a layer record).
Rect SlgSurfaceRect(SurfaceId source);
// Background `picture` of the unit's attack (LoadAttackBg) onto the cleared surface; the
// rectangle its strips are cut within (the picture's, held to the surface) into `bounds`. False
// when the picture does not load (`bounds` is then the whole cleared surface).
bool SlgLoadStripPicture(const SlgUnit& unit, int picture, SurfaceId surface, Rect& bounds);
