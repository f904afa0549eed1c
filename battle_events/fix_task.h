#pragma once
// The deferred sprite set-up and the fixed sprites.
//
// A map's set-up runs before the battle is on screen; what it draws goes through
// Slg::delaySprSetTask, which calls the map's function on the task's second frame. Fixed sprites
// are the props that stand on the map and never act (lamps, flags, smoke, water): each is a
// battle task "Slg::FixTask:Count<n>" that places one EventAnm animation at a map position every
// frame, follows the camera, hides while the battle flag word's bit 0x20 is set (a movie, a
// stage switch's fade) and takes the map's tone (FixTaskUpdateAll). The list
// (Battle().fix_tasks, battle/slg_fix_task_state.h) is cleared when a map's events are installed
// and emptied when they end (StartEventCheck, EndEventCheck).
//
//   constexpr FixTaskRow kLamps[] = {{0, 81, 640, 320}, {16, 81, -700, 352}, kFixTaskRowEnd};
//   void SetupSprites() { FixTaskAddList(kLamps); }
//   ...
//   Slg::delaySprSetTask(&SetupSprites);  // in the map's set-up

#include <cstdint>
#include <span>

#include "battle/slg_fix_task_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_task.h"

// The id that ends a description list.
constexpr int kFixTaskEndId = 32;
// The shade modes the position's signs select.
constexpr uint16_t kFixShadeTone = 24576;    // a negative x: the map's tone applies
constexpr uint16_t kFixShadeBehind = 16384;  // a negative y
constexpr uint16_t kFixShadeNormal = 8192;
// The depths of the two signed modes.
constexpr int16_t kFixDepthTone = 267;
constexpr int16_t kFixDepthBehind = -1099;

// A description row with the standard per-frame function (FixTaskMain). The id selects the
// animation number (id / 16 from 16 on, else 0); x and y are map pixels whose signs carry the
// shade mode.
struct FixTaskRow {
  int16_t id;
  uint32_t anm_id;  // the EventAnm id (80-143)
  int16_t x;
  int16_t y;
};
// A description row with a per-frame function of its own.
struct FixTaskRow20 {
  uint32_t id;
  uint32_t anm_id;
  SlgBody step;
  int32_t x;
  int32_t y;
};
inline constexpr FixTaskRow kFixTaskRowEnd{kFixTaskEndId, 0, 0, 0};
inline constexpr FixTaskRow20 kFixTaskRow20End{kFixTaskEndId, 0, nullptr, 0, 0};

namespace Slg {
// The task "Slg::delaySprSetTask" under the battle's task owner, the function kept in its own
// work area: phase 0 -> 1; 1 calls the function, 2; 2 ends the task. So the function runs on the
// task's second frame and the task is gone on its third; each call's function runs once. Nothing
// for a null function.
void delaySprSetTask(void (*function)());
}  // namespace Slg

// The fixed sprite's work area (owned slot 0 of its task); null for null.
FixTaskWork* FixTaskWorkOf(SlgEffectTask* task);

// Adds a fixed sprite with the per-frame function `step` at the 16.16 map position (x, y) and
// returns its task. A negative x selects shade mode 24576, else a negative y 16384, else 8192;
// the absolute values are the position. Its animation object comes from the battle's pool with
// the animation number of `id`; its EventAnm animation is that of `anm_id` (traced as "NPCID:%d
// is not described in EventAnm Table!\n" with anm_id - 80 when there is none: such a sprite draws
// nothing). Null with the trace "Fix Task too many!\n" (a backslash and an n) when 64 are listed,
// or when the task cannot be made.
SlgEffectTask* FixTaskAdd(uint32_t id, uint32_t anm_id, SlgBody step, int32_t x, int32_t y);
// FixTaskAdd with FixTaskMain.
SlgEffectTask* FixTaskAddOne(uint32_t id, uint32_t anm_id, int32_t x, int32_t y);
// Adds every row before the first with id 32, positions in pixels (shifted to 16.16). A list
// without an end row stops at its end.
void FixTaskAddList(std::span<const FixTaskRow> rows);
void FixTaskAddList20(std::span<const FixTaskRow20> rows);
// Releases the sprite's engine animation and gives its object back to the pool, releases its
// EventAnm animation, ends its task and closes the gap in the list (the others keep their
// order). Nothing for a task not listed; a listed task its own function has ended is only taken
// off the list.
void FixTaskRemove(SlgEffectTask* task);
// Removes the first entry until the list is empty.
void FixTaskRemoveAll();
// Empties the list without ending its tasks (the event install: count 0, every slot cleared).
void FixTaskListClear();

// While bit 0x20 of the battle flag word (Battle().flags) is set: the sprite hidden (SlgAnmHide,
// once) and 0. Otherwise shown (SlgAnmShow, once when it was hidden) and 1.
int FixTaskIsShown(FixTaskWork& work);
// The standard per-frame function: idle while hidden; on the first shown frame the animation
// plays on the surface 4; every shown frame the depth follows the map point lifted by its cell
// height and moved 24 pixels up (267 in shade mode 24576, -1099 in 16384), and the sprite stands
// at the map position less (scroll x + 320, scroll y + 240) and the stage's origin offsets.
void FixTaskMain(SlgEffectTask* task);
// FixTaskMain's two placing steps, for per-frame functions of their own: the depth from the map
// position (lifted, raised, the signed modes' depths) with the sprite's priority, and the
// sprite's screen position from the map position, the scroll and the stage's origin offsets.
// Nothing without an animation object.
void FixTaskUpdatePos(FixTaskWork& work);
// Plays the sprite's animation from its first frame on the fixed sprites' surface, once or
// looping; 1 when it started (0 without an animation).
int FixTaskPlay(FixTaskWork& work, bool once);
// Releases the sprite's engine animation; its pool object stays.
void FixTaskRelease(FixTaskWork& work);
void FixTaskScreenPos(FixTaskWork& work);
// The visible map rectangle in pixels: from the camera's top-left (the scroll) over the 640 x 480
// screen, widened by the margins on the right and at the bottom.
SlgRect FixTaskViewBox(int32_t margin_x, int32_t margin_y);

// The body of the core's FixTaskUpdateAll (battle/slg_events.h), which the events' installer puts
// in the entry table: every listed sprite's alpha word := tone, then shown or hidden
// (FixTaskIsShown).
namespace SlgFixTask {
void UpdateAll(uint32_t tone);
}  // namespace SlgFixTask
