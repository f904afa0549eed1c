#pragma once
// Battle effect tasks: every battle effect and every battle sequence that runs over several
// frames is a record (SlgEffectTask) carried by one engine task of the task list, whose work
// block is the record and whose function is SlgTaskStep. Each frame the step sets the clock
// fields and calls the record's body, which switches on the phase byte:
//
//   void Flash(SlgEffectTask* t) {
//     switch (t->phase) {
//       case 0: ...create what it shows...; SlgTaskNextPhase(t); break;
//       case 1: ...animate from t->frames...; if (t->frames >= 30) t->phase = 2; break;
//       default: ...free what it made...; SlgTaskEnd(t); return;  // the record is gone now
//     }
//   }
//   SlgTaskCreate(SlgTaskOwner(), &Flash, "Fx::Flash");
//
// The engine task is a step machine of engine/core/step_task.h in so far as that takes the record
// as it lies: the record is read through StepTask::work() and ended through StepTask::End(); its
// step byte is the phase (not byte 1 of the block), and a task is found by its record.
//
// Tasks run in the list's creation order. A task created during a pass runs in that same pass
// (it is appended after the running one), unless it was created while the last record ran; its
// frames count is 0 on its first run either way.
//
// Owned blocks (the record's 64 slots and its name copy) come from SlgAlloc and go back through
// SlgFree: one seam (BattleContext::alloc) through which tests count and refuse allocations. The
// record itself is a task block of the engine list and is freed with its engine task.
//
// A test's hook (BattleContext::test_hooks, battle/slg_test_hooks.h) is told of every task made
// and ended.

#include <cstddef>
#include <cstdint>

struct GameTaskRec;
struct SlgAllocSeam;
struct SlgEffectTask;

// An effect's per-frame function; it receives its own record.
using SlgBody = void (*)(SlgEffectTask* task);

constexpr int kSlgOwnedSlots = 64;
// The phase SlgTaskStop sets: it asks the body to end on its next frame.
constexpr uint8_t kSlgPhaseStop = 100;

struct SlgEffectTask {
  SlgBody body;
  GameTaskRec* owner;  // the engine task it runs under (the mode manager's)
  uint32_t reserved1;
  char* name;  // the record's own copy of the task name (SlgAlloc)
  // A word the task's own effect reads and its children signal through (cleared at creation).
  uint32_t signal;
  uint8_t phase;  // the effect's step number
  uint8_t index;  // 0, or the number given by SlgTaskCreateN
  uint32_t start;  // game clock (ms) at creation
  uint32_t now;    // game clock at the current frame
  int32_t frames;  // (now - start) x 60 / 1000, toward zero
  void* owned[kSlgOwnedSlots];  // freed by SlgTaskEnd; slot 0 by convention the work area
};

// The runtime allocator of the battle (zeroed blocks); null when the seam refuses or memory is
// out. SlgFree takes null.
void* SlgAlloc(size_t bytes);
void SlgFree(void* block);
// SlgFree through a given context's seam, for a block given back where no battle is current (an
// extension state block's destructor). Takes null.
void SlgFreeTo(SlgAllocSeam& seam, void* block);
// Frees every block of the seam not given back yet (the battle context's end: work an attack cut
// short still held); how many there were.
int64_t SlgFreeAllLeft(SlgAllocSeam& seam);

// The owner of battle tasks: the mode manager's task ("CTamvikGeneral::GeneralManeger"), or
// null when it does not run.
GameTaskRec* SlgTaskOwner();

// A new zeroed record with body, owner, a copy of the name and start := the game clock, carried
// by a new engine task (owner, SlgTaskStep, name, work block = the record). Null for a null name
// or body, or when the name cannot be copied.
SlgEffectTask* SlgTaskCreate(GameTaskRec* owner, SlgBody body, const char* name);
// The engine task's function: now := the game clock, frames := (now - start) x 60 / 1000 (signed,
// toward zero), then body(record).
void SlgTaskStep(GameTaskRec* task);
// Tasks "<baseName>0" .. "<baseName><count-1>" with index bytes 0 .. count - 1; stops at the
// first one not alive after its creation. Returns how many were made.
int SlgTaskCreateN(GameTaskRec* owner, SlgBody body, int count, const char* base_name);
// 1 while the record is carried by a live engine task of this layer; 0 for null. The record is
// looked up by its address among the live tasks, never read, so a child that has ended itself
// (and freed its record) answers 0.
int SlgTaskIsAlive(const SlgEffectTask* task);
// Frees every non-null owned slot (clearing it) and the name copy, then ends the engine task that
// carries this record (which frees the record). Nothing for null or a record no live task
// carries. A body that ends itself returns at once.
void SlgTaskEnd(SlgEffectTask* task);
// phase + 1; nothing for null.
void SlgTaskNextPhase(SlgEffectTask* task);
// phase := 100; nothing for null.
void SlgTaskStop(SlgEffectTask* task);
// Ends every live battle task (teardown); returns how many.
int SlgTaskEndAll();
