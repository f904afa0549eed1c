#include "engine/core/game_task.h"

#include <cstring>

#include "engine/core/debug_trace.h"

namespace {

// The name length a new record has room for (longer names grow it once, and it keeps that).
constexpr size_t kNameRoom = 47;

}  // namespace

void* TaskAllocBlock(size_t size) {
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void TaskFreeBlock(void* block) { std::free(block); }

CGameTask::CGameTask() : root_(new GameTaskRec) { root_->name = "ROOT"; }

CGameTask::~CGameTask() {
  pass_depth_ = 0;
  DelAllTask();
  while (GameTaskRec* spare = spares_) {
    spares_ = spare->next;
    delete spare;
  }
  delete root_;
}

int CGameTask::SetTask(GameTaskRec* owner, TaskFunc function, const char* name, void* work,
                       void* extra) {
  if (name == nullptr) {
    DebugPrint("CGameTask::SetTask no name\n");
    TaskFreeBlock(work);
    TaskFreeBlock(extra);
    return 0;
  }
  GameTaskRec* task = spares_;
  if (task != nullptr) {
    spares_ = task->next;
    --spare_count_;
  } else {
    task = new GameTaskRec;
    // Room for the names tasks are given, so that a reused record takes a new name in place.
    task->name.reserve(kNameRoom);
  }
  task->function = function;
  task->name = name;  // a reused record keeps its name's storage
  task->deleted = false;
  task->work = work;
  task->extra = extra;

  GameTaskRec* last = root_;
  while (last->next != nullptr) last = last->next;
  last->next = task;
  task->previous = last;
  task->next = nullptr;
  task->owner = owner;
  task->owner_generation = owner != nullptr ? owner->generation : 0;
  return 1;
}

int CGameTask::SetTaskSimple(GameTaskRec* owner, TaskFunc function, const char* name) {
  return SetTask(owner, function, name, TaskAllocBlock(sizeof(TaskWork)), nullptr);
}

void CGameTask::Free(GameTaskRec* task) {
  task->previous->next = task->next;
  if (task->next != nullptr) task->next->previous = task->previous;
  TaskFreeBlock(task->work);
  TaskFreeBlock(task->extra);
  task->work = nullptr;
  task->extra = nullptr;
  task->function = nullptr;
  task->owner = nullptr;
  task->previous = nullptr;  // DelTask refuses it from now on
  // Every handle of the task that ended here stops naming it.
  ++task->generation;
  task->next = spares_;
  spares_ = task;
  ++spare_count_;
}

int CGameTask::DelTask(GameTaskRec* task) {
  if (task == nullptr || task->previous == nullptr || task->deleted) return 0;
  task->function = nullptr;
  if (pass_depth_ > 0) {
    // The running pass may hold this record as its next link: leave it linked and let the pass
    // free it when it gets there.
    task->deleted = true;
    return 1;
  }
  Free(task);
  return 1;
}

int CGameTask::DelAllTask() {
  if (pass_depth_ > 0) {
    for (GameTaskRec* t = root_->next; t != nullptr; t = t->next) DelTask(t);
    return 1;
  }
  while (root_->next != nullptr) Free(root_->next);
  return 1;
}

GameTaskRec* CGameTask::FindTask(const char* name) const {
  if (name == nullptr) return nullptr;
  for (GameTaskRec* t = root_; t != nullptr; t = t->next) {
    if (t->deleted) continue;
    if (t->name != "NULL" && t->name == name) return t;
  }
  return nullptr;
}

GameTaskRec* CGameTask::Find(TaskHandle handle) const {
  if (handle.record == nullptr) return nullptr;
  // The list is searched rather than the record read, so a handle of another list is safe too.
  for (GameTaskRec* t = root_; t != nullptr; t = t->next) {
    if (t == handle.record) {
      return !t->deleted && t->generation == handle.generation ? t : nullptr;
    }
  }
  return nullptr;
}

int CGameTask::ExecTask() {
  ++pass_depth_;
  GameTaskRec* task = root_;
  while (task != nullptr) {
    // The next link is read first, so a task created while the last record runs waits for the
    // next pass, and a record that ends itself is safe to free.
    GameTaskRec* next = task->next;
    if (task != root_) {
      if (task->function != nullptr) {
        task->function(task);
        // Deleted by its own function (or by something it called): free it now.
        if (task->deleted && pass_depth_ == 1) Free(task);
      } else if (pass_depth_ == 1) {
        Free(task);
      }
    }
    task = next;
  }
  --pass_depth_;
  return 1;
}

int CGameTask::Enum() const {
  DebugPrint("CGameTask::Enum All Task\n");
  int number = 1;
  for (GameTaskRec* t = root_; t != nullptr; t = t->next, ++number) {
    DebugPrint("No%.03d ", number);
    DebugPrint("Command:%s\t", t->name.c_str());
    DebugPrint("%.08lx ", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(t)));
    DebugPrint("Owner:%.08lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(t->owner)));
  }
  return 1;
}
