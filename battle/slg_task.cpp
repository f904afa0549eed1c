#include "battle/slg_task.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "battle/battle_context.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/core/step_task.h"

static_assert(StepWork<SlgEffectTask>, "the effect record is carried as a step machine's block");

namespace {

constexpr const char* kManagerTaskName = "CTamvikGeneral::GeneralManeger";

uint32_t GameClock() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

// The live engine task that carries the record, or null. Only the list is read.
GameTaskRec* Carrier(const SlgEffectTask* task) {
  if (task == nullptr) return nullptr;
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (!t->deleted && t->function == &SlgTaskStep && t->work == task) return t;
  }
  return nullptr;
}

// Tells a test's task hook (battle/slg_test_hooks.h).
void TellTaskHook(SlgTaskEvent event, const SlgEffectTask& task) {
  const SlgTestHooks& hooks = Battle().test_hooks;
  if (hooks.task != nullptr) hooks.task(hooks.user, event, task);
}

}  // namespace

// Each block is preceded by its header: the seam it was taken from and its neighbours in the
// seam's list of live blocks. The header keeps the block's alignment.
struct alignas(std::max_align_t) SlgAllocHeader {
  SlgAllocSeam* seam;
  SlgAllocHeader* prev;
  SlgAllocHeader* next;
};

namespace {

SlgAllocHeader* HeaderOf(void* block) { return static_cast<SlgAllocHeader*>(block) - 1; }

void Unlink(SlgAllocHeader* h) {
  if (h->prev != nullptr) {
    h->prev->next = h->next;
  } else if (h->seam != nullptr) {
    h->seam->blocks = h->next;
  }
  if (h->next != nullptr) h->next->prev = h->prev;
}

}  // namespace

void* SlgAlloc(size_t bytes) {
  SlgAllocSeam& seam = Battle().alloc;
  const uint32_t call = seam.calls++;
  if (seam.refuse && seam.refuse(call, bytes)) return nullptr;
  if (bytes > SIZE_MAX - sizeof(SlgAllocHeader)) return nullptr;
  auto* h = static_cast<SlgAllocHeader*>(std::calloc(1, sizeof(SlgAllocHeader) + bytes));
  if (h == nullptr) return nullptr;
  h->seam = &seam;
  h->next = seam.blocks;
  if (seam.blocks != nullptr) seam.blocks->prev = h;
  seam.blocks = h;
  ++seam.live;
  return h + 1;
}

void SlgFree(void* block) {
  if (block != nullptr) SlgFreeTo(Battle().alloc, block);
}

void SlgFreeTo(SlgAllocSeam& seam, void* block) {
  if (block == nullptr) return;
  SlgAllocHeader* h = HeaderOf(block);
  Unlink(h);
  --seam.live;
  std::free(h);
}

int64_t SlgFreeAllLeft(SlgAllocSeam& seam) {
  int64_t n = 0;
  while (SlgAllocHeader* h = seam.blocks) {
    seam.blocks = h->next;
    std::free(h);
    ++n;
  }
  seam.live -= n;
  return n;
}

GameTaskRec* SlgTaskOwner() { return Ctx().game_task.FindTask(kManagerTaskName); }

SlgEffectTask* SlgTaskCreate(GameTaskRec* owner, SlgBody body, const char* name) {
  if (name == nullptr || body == nullptr) return nullptr;
  const size_t length = std::strlen(name);
  auto* copy = static_cast<char*>(SlgAlloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, name, length + 1);

  SlgEffectTask* task = TaskNewBlock<SlgEffectTask>();
  task->body = body;
  task->owner = owner;
  task->name = copy;
  task->start = GameClock();
  if (Ctx().game_task.SetTask(owner, &SlgTaskStep, name, task, nullptr) == 0) {
    SlgFree(copy);  // the list has freed the record
    return nullptr;
  }
  TellTaskHook(SlgTaskEvent::kCreated, *task);
  return task;
}

void SlgTaskStep(GameTaskRec* record) {
  StepTask<SlgEffectTask> step(Ctx().game_task, record);
  SlgEffectTask& task = step.work();
  task.now = GameClock();
  task.frames =
      static_cast<int32_t>(int64_t{static_cast<int32_t>(task.now - task.start)} * 60 / 1000);
  if (task.body != nullptr) task.body(&task);
}

int SlgTaskCreateN(GameTaskRec* owner, SlgBody body, int count, const char* base_name) {
  if (base_name == nullptr) return 0;
  int made = 0;
  for (int i = 0; i < count; ++i) {
    char name[256];
    std::snprintf(name, sizeof name, "%s%d", base_name, i);
    SlgEffectTask* task = SlgTaskCreate(owner, body, name);
    if (SlgTaskIsAlive(task) == 0) break;
    task->index = static_cast<uint8_t>(i);
    ++made;
  }
  return made;
}

int SlgTaskIsAlive(const SlgEffectTask* task) { return Carrier(task) != nullptr ? 1 : 0; }

void SlgTaskEnd(SlgEffectTask* task) {
  GameTaskRec* carrier = Carrier(task);
  if (carrier == nullptr) return;
  TellTaskHook(SlgTaskEvent::kEnded, *task);
  for (void*& slot : task->owned) {
    if (slot != nullptr) {
      SlgFree(slot);
      slot = nullptr;
    }
  }
  SlgFree(task->name);
  task->name = nullptr;
  StepTask<SlgEffectTask>(Ctx().game_task, carrier).End();
}

void SlgTaskNextPhase(SlgEffectTask* task) {
  if (task != nullptr) ++task->phase;
}

void SlgTaskStop(SlgEffectTask* task) {
  if (task != nullptr) task->phase = kSlgPhaseStop;
}

int SlgTaskEndAll() {
  int ended = 0;
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr;) {
    GameTaskRec* next = t->next;
    if (!t->deleted && t->function == &SlgTaskStep) {
      SlgTaskEnd(static_cast<SlgEffectTask*>(t->work));
      ++ended;
    }
    t = next;
  }
  return ended;
}
