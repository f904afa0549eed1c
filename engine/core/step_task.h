#pragma once
// Step machines on the task list: a task whose work block is a given plain struct, whose function
// switches on the block's step byte (byte 1, as in every task's block; byte 0 is the task's mode
// or form), which ends itself once the task that owns it is gone, and whose constant name answers
// "is it running".
//
// A machine is declared once, by its block, its name and its function:
//
//   struct FadeWork { uint8_t form; uint8_t step; uint16_t frames; };
//   void FadeSeq(GameTaskRec* record);
//   inline constexpr StepTaskKind<FadeWork> kFadeSeq{"Fade::FadeSeq", &FadeSeq};
//
// started and asked about through that declaration:
//
//   FadeWork* work = kFadeSeq.Start(Ctx().game_task, owner);  // step 0, the rest zero
//   kFadeSeq.IsRunning(Ctx().game_task);
//
// and its function opens its record as a StepTask:
//
//   void FadeSeq(GameTaskRec* record) {
//     StepTask<FadeWork> task(Ctx().game_task, record);
//     if (task.EndIfOwnerGone()) return;
//     switch (task.step()) {
//       case 0: ...; task.Next(); break;
//       case 1: if (++task.work().frames == 30) task.End(); break;
//     }
//   }

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "engine/core/game_task.h"

// What a step machine's work block must be: a plain struct, zeroed at creation and freed without
// a destructor, at least two bytes long (the step byte is byte 1). A member named `step` must be
// that byte.
template <class Work>
constexpr bool StepByteInPlace() {
  if constexpr (requires { &Work::step; }) {
    return std::is_same_v<decltype(Work::step), uint8_t> && offsetof(Work, step) == 1;
  } else {
    return true;
  }
}

template <class Work>
concept StepWork = std::is_trivially_destructible_v<Work> && std::is_standard_layout_v<Work> &&
                   std::is_default_constructible_v<Work> && sizeof(Work) >= 2 &&
                   StepByteInPlace<Work>();

// One run of a step machine's function: its record viewed through its typed block. Nothing of the
// task may be touched after End().
template <StepWork Work>
class StepTask {
 public:
  StepTask(CGameTask& list, GameTaskRec* record) : list_(list), record_(record) {}

  Work& work() const { return *TaskWorkAs<Work>(record_); }
  // The step byte (byte 1 of the block).
  uint8_t& step() const { return TaskStep(record_); }
  void Next() { ++step(); }
  void GoTo(uint8_t next) { step() = next; }

  GameTaskRec* record() const { return record_; }
  GameTaskRec* owner() const { return record_->owner; }

  // The task it was started under no longer exists. A task started without an owner never loses
  // it.
  bool OwnerGone() const {
    return record_->owner != nullptr && list_.IsTask(OwnerHandle(record_)) == 0;
  }

  // Ends the task. Safe from inside its own function: the running pass frees the record once the
  // function has returned, and the pass goes on with the task after it.
  void End() { list_.DelTask(record_); }

  // Ends the task when its owner is gone; whether it did (the function then returns at once).
  bool EndIfOwnerGone() {
    if (!OwnerGone()) return false;
    End();
    return true;
  }

 private:
  CGameTask& list_;
  GameTaskRec* record_;
};

// A step machine by its constant name and its function, with the block it runs on.
template <StepWork Work>
struct StepTaskKind {
  const char* name;
  TaskFunc function;

  // Appends the task under `owner` (null for none) with a zeroed block; the block, for the
  // starter to fill in before the task's first run.
  Work* Start(CGameTask& list, GameTaskRec* owner) const {
    Work* work = TaskNewBlock<Work>();
    if (list.SetTask(owner, function, name, work, nullptr) == 0) return nullptr;
    return work;
  }

  // The oldest live task of this name, or null.
  GameTaskRec* Find(const CGameTask& list) const { return list.FindTask(name); }
  // Whether a task of this name exists (one that ended itself during this pass no longer counts).
  bool IsRunning(const CGameTask& list) const { return Find(list) != nullptr; }
};
