// Reuse of freed task records: effects that start and end tasks every few frames take the record
// of one freed before, so a steady task list allocates nothing (the task's own work block is the
// C allocator's); a reused record starts as a fresh one, a stale pointer to a freed record is
// refused, and the list keeps only a bounded number of spares.
//
// This program's global operator new is replaced (tests/engine/counting_new.h) to count the
// allocations of the test's own thread.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "engine/core/game_task.h"
#include "tests/engine/counting_new.h"

namespace {

// A name past the string's inline capacity: a fresh record would allocate for it.
constexpr const char* kLongName = "Effect::AfterImageOfTheStrike:12";

CGameTask* g_list = nullptr;
int g_runs = 0;

// An effect's spark: runs for one pass.
void Spark(GameTaskRec* /*t*/) { ++g_runs; }

// Each pass ends the sparks of the last one and starts eight new ones (they run in this pass).
void Spawner(GameTaskRec* /*t*/) {
  while (GameTaskRec* spark = g_list->FindTask(kLongName)) g_list->DelTask(spark);
  for (int i = 0; i < 8; ++i) g_list->SetTaskSimple(nullptr, &Spark, kLongName);
}

void Idle(GameTaskRec* /*t*/) {}

TEST(TaskRecordReuse, TasksStartedAndEndedEveryPassAllocateNothingOnceWarm) {
  CGameTask list;
  g_list = &list;
  list.SetTaskSimple(nullptr, &Spawner, "spawner");
  for (int pass = 0; pass < 4; ++pass) list.ExecTask();  // warm: spares made
  g_runs = 0;
  const uint64_t before = t_allocations;
  for (int pass = 0; pass < 100; ++pass) list.ExecTask();
  EXPECT_EQ(t_allocations - before, 0u);
  EXPECT_EQ(g_runs, 800);
  g_list = nullptr;
}

TEST(TaskRecordReuse, AReusedRecordStartsFreshAndAStalePointerIsRefused) {
  CGameTask list;
  ASSERT_EQ(list.SetTask(list.root(), &Idle, kLongName, nullptr, nullptr), 1);
  GameTaskRec* first = list.root()->next;
  ASSERT_EQ(list.DelTask(first), 1);  // outside a pass: freed at once, kept as a spare
  EXPECT_EQ(list.IsTask(first), 0);
  EXPECT_EQ(list.DelTask(first), 0) << "a freed record is not a task";
  ASSERT_EQ(list.SetTaskSimple(nullptr, &Idle, "short"), 1);
  GameTaskRec* second = list.root()->next;
  EXPECT_EQ(second->name, "short");
  EXPECT_EQ(second->owner, nullptr);
  EXPECT_EQ(second->extra, nullptr);
  EXPECT_NE(second->work, nullptr);
  EXPECT_FALSE(second->deleted);
  EXPECT_EQ(second->next, nullptr);
  EXPECT_EQ(list.FindTask("short"), second);
  EXPECT_EQ(list.FindTask(kLongName), nullptr);
}

TEST(TaskRecordReuse, OnlyABoundedNumberOfSparesIsKept) {
  CGameTask list;
  for (int i = 0; i < 1000; ++i) list.SetTaskSimple(nullptr, &Idle, kLongName);
  list.DelAllTask();
  // Past the spares, starting tasks allocates again: the rest were given back.
  const uint64_t before = t_allocations;
  for (int i = 0; i < 1000; ++i) list.SetTaskSimple(nullptr, &Idle, kLongName);
  EXPECT_GT(t_allocations - before, 0u);
  EXPECT_LT(t_allocations - before, 2000u);
}

}  // namespace
