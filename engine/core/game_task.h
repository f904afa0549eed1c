#pragma once
// The named task list on which every game sequence runs. Each task is a record with a per-frame
// function, a name, an owner and an owned work block; one pass per frame runs every task once in
// creation order. Tasks are found, tested for life and ended through their name or record.
// Ended records are kept and reused for later tasks (a task start allocates nothing once the list
// has held as many tasks before), so a record's address alone does not name one task: whatever
// is kept past the moment a task may end names it by a TaskHandle, which carries the record's
// generation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>

struct GameTaskRec;
using TaskFunc = void (*)(GameTaskRec*);

struct GameTaskRec {
  GameTaskRec* previous = nullptr;  // null only for ROOT and for records kept for reuse
  GameTaskRec* next = nullptr;      // null for the last record
  GameTaskRec* owner = nullptr;     // stored for the task's own use; the list never follows it
  // The owner's generation when the task was made: with owner, the handle of the owner
  // (OwnerHandle), which no longer names a live task once the owner has ended.
  uint32_t owner_generation = 0;
  // Counts the tasks this record has carried; raised each time one ends.
  uint32_t generation = 0;
  TaskFunc function = nullptr;      // null: the task has ended and is freed on the next visit
  std::string name;
  void* work = nullptr;   // owned; freed with the record
  void* extra = nullptr;  // owned when not null; freed with the record
  // Set when the record was deleted while a pass was running: the record is then invisible to
  // look-ups and the pass frees it when it reaches it, so no link the pass holds ever dangles.
  bool deleted = false;
};

// One task, named so that it stays named after the task ends: once its task ends the handle
// finds nothing, even when the record has been reused for a new task.
struct TaskHandle {
  GameTaskRec* record = nullptr;
  uint32_t generation = 0;
};

// The handle of a live record (a null handle for null).
inline TaskHandle HandleOf(const GameTaskRec* task) {
  if (task == nullptr) return {};
  return {const_cast<GameTaskRec*>(task), task->generation};
}
// The handle of the task's owner as it was when the task was made (null for none).
inline TaskHandle OwnerHandle(const GameTaskRec* task) {
  return {task->owner, task->owner == nullptr ? 0 : task->owner_generation};
}

// The 16-byte work block of the short creation form. By convention byte 0 is a mode or
// sub-state and byte 1 the step number on which the task function switches.
struct TaskWork {
  uint8_t bytes[16];
};
static_assert(sizeof(TaskWork) == 16);

// Task-owned blocks (work and extra) are zero-filled raw memory, freed by the list without
// running a destructor.
void* TaskAllocBlock(size_t size);
void TaskFreeBlock(void* block);

// A zeroed block of a plain struct type, for the long creation form.
template <class T>
T* TaskNewBlock() {
  static_assert(std::is_trivially_destructible_v<T>,
                "task blocks are freed without running destructors");
  return new (TaskAllocBlock(sizeof(T))) T{};
}

// The step byte (byte 1) of a task's work block.
inline uint8_t& TaskStep(GameTaskRec* task) { return static_cast<uint8_t*>(task->work)[1]; }
// The task's work block viewed as T.
template <class T>
T* TaskWorkAs(GameTaskRec* task) {
  return static_cast<T*>(task->work);
}

class CGameTask {
 public:
  CGameTask();
  ~CGameTask();
  CGameTask(const CGameTask&) = delete;
  CGameTask& operator=(const CGameTask&) = delete;

  // Appends a task; the list copies the name and takes ownership of work and extra. A null name
  // is refused with 0 (the blocks handed over are freed).
  int SetTask(GameTaskRec* owner, TaskFunc function, const char* name, void* work, void* extra);
  // SetTask with a fresh zeroed 16-byte work block and no extra block.
  int SetTaskSimple(GameTaskRec* owner, TaskFunc function, const char* name);
  // Ends a task now: 1, or 0 for ROOT (and for a record already deleted). Outside a pass the
  // record is freed at once; during a pass it is unlinked from look-ups at once and freed when
  // the pass reaches it.
  int DelTask(GameTaskRec* task);
  // Deletes every record after ROOT.
  int DelAllTask();
  // The oldest live record bearing the name (exact, case-sensitive), or null. "NULL" is never
  // found. A task whose function was cleared is still found until it is freed.
  GameTaskRec* FindTask(const char* name) const;
  // The live record the handle names, or null: null for a null handle, for a task that has
  // ended (deleted, or its function cleared and freed), and for a record since reused.
  GameTaskRec* Find(TaskHandle handle) const;
  // 1 when the handle names a live task.
  int IsTask(TaskHandle handle) const { return Find(handle) != nullptr ? 1 : 0; }
  // One pass: runs every record's function in list order, frees ended records.
  int ExecTask();
  // Traces every record.
  int Enum() const;

  GameTaskRec* root() const { return root_; }
  // Ended records kept for reuse.
  size_t spare_count() const { return spare_count_; }

 private:
  // Unlinks the record, frees its blocks and keeps it for reuse.
  void Free(GameTaskRec* task);

  GameTaskRec* root_;
  GameTaskRec* spares_ = nullptr;  // chained through next
  size_t spare_count_ = 0;
  int pass_depth_ = 0;
};
