#pragma once
// The named task list on which every game sequence runs. Each task is a record with a per-frame
// function, a name, an owner and an owned work block; one pass per frame runs every task once in
// creation order. Tasks are found, tested for life and ended through their name or record.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>

struct GameTaskRec;
using TaskFunc = void (*)(GameTaskRec*);

struct GameTaskRec {
  GameTaskRec* previous = nullptr;  // null only for ROOT
  GameTaskRec* next = nullptr;      // null for the last record
  GameTaskRec* owner = nullptr;     // stored for the task's own use; the list never follows it
  TaskFunc function = nullptr;      // null: the task has ended and is freed on the next visit
  std::string name;
  void* work = nullptr;   // owned; freed with the record
  void* extra = nullptr;  // owned when not null; freed with the record
  // Set when the record was deleted while a pass was running: the record is then invisible to
  // look-ups and the pass frees it when it reaches it, so no link the pass holds ever dangles.
  bool deleted = false;
};

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
  // 1 when the pointer is one of the list's live records.
  int IsTask(const GameTaskRec* task) const;
  // One pass: runs every record's function in list order, frees ended records.
  int ExecTask();
  // Traces every record.
  int Enum() const;

  GameTaskRec* root() const { return root_; }

 private:
  void Free(GameTaskRec* task);

  GameTaskRec* root_;
  int pass_depth_ = 0;
};
