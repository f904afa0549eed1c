#pragma once
// The effect-task spawners: an effect task under the mode manager's task (SlgTaskOwner) with its
// work in owned slot 0, and the end forms that release that work first. Names must be unique
// while the task runs. Every spawner leaves nothing allocated when it fails.

#include <cstddef>

#include "battle/slg_anm_obj.h"
#include "battle/slg_task.h"

// A task whose slot 0 is a zeroed work area of `bytes` rounded up to a multiple of 4; null when
// the area cannot be allocated or the task is not alive after creation.
SlgEffectTask* SlgTaskCreateWork(SlgBody body, size_t bytes, const char* name);
// A task whose slot 0 is one zeroed SlgAnmObj; null as above.
SlgEffectTask* SlgTaskCreateAnm(SlgBody body, const char* name);
// A task whose slot 0 is a zeroed work area of `bytes` (rounded up to 4, and at least one
// pointer) whose first word points to a separately allocated zeroed SlgAnmObj; null when either
// allocation fails or the task is not alive. The object is also kept in the last owned slot
// (kSlgAnmWorkObjSlot), so a task ended by SlgTaskEnd (the battle's teardown) frees it; the
// body must not set that slot, and frees the object only through SlgTaskEndAnmWork.
constexpr int kSlgAnmWorkObjSlot = kSlgOwnedSlots - 1;
SlgEffectTask* SlgTaskCreateAnmWork(SlgBody body, size_t bytes, const char* name);

// The object of a SlgTaskCreateAnmWork task (the pointer in its work area's first word).
inline SlgAnmObj*& SlgWorkAnmObj(void* work) { return *static_cast<SlgAnmObj**>(work); }

// Releases slot 0's object's animation, frees the object, clears the slot, ends the task.
void SlgTaskEndAnm(SlgEffectTask* task);
// SlgTaskEnd.
void SlgTaskEndPlain(SlgEffectTask* task);
// Releases the animation of the object the work area points to, frees that object, clears the
// pointer, ends the task (the work area goes with it).
void SlgTaskEndAnmWork(SlgEffectTask* task);
