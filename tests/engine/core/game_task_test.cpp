#include "engine/core/game_task.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

// Tasks in these tests record their runs in a log kept by the test; the task functions are
// plain function pointers, so they reach the test through this pointer.
struct Harness {
  CGameTask* list = nullptr;
  std::vector<std::string> log;
  // What a task does on its run, keyed by name.
  std::function<void(GameTaskRec*)> on_run;
};
Harness* g_h = nullptr;

void LoggingTask(GameTaskRec* t) {
  g_h->log.push_back(t->name);
  if (g_h->on_run) g_h->on_run(t);
}

class TaskListTest : public ::testing::Test {
 protected:
  TaskListTest() { g_h = &h; h.list = &list; }
  ~TaskListTest() override { g_h = nullptr; }

  std::vector<std::string> Pass() {
    h.log.clear();
    list.ExecTask();
    return h.log;
  }
  int Count() const {
    int n = 0;
    for (GameTaskRec* t = list.root(); t != nullptr; t = t->next) ++n;
    return n;
  }

  Harness h;
  CGameTask list;
};

using Names = std::vector<std::string>;

TEST_F(TaskListTest, RootIsFoundAndNeverDeleted) {
  EXPECT_EQ(list.FindTask("ROOT"), list.root());
  EXPECT_EQ(list.FindTask("NULL"), nullptr);
  EXPECT_EQ(list.DelTask(list.root()), 0);
  EXPECT_EQ(list.FindTask("ROOT"), list.root());
  EXPECT_EQ(list.IsTask(HandleOf(list.root())), 1);
}

TEST_F(TaskListTest, RecordsNamedNullAreNeverFound) {
  list.SetTaskSimple(nullptr, LoggingTask, "NULL");
  EXPECT_EQ(list.FindTask("NULL"), nullptr);
  EXPECT_EQ(Pass(), Names{"NULL"});
}

TEST_F(TaskListTest, SimpleCreationGivesAZeroedWorkBlock) {
  ASSERT_EQ(list.SetTaskSimple(nullptr, LoggingTask, "A"), 1);
  GameTaskRec* a = list.FindTask("A");
  ASSERT_NE(a, nullptr);
  const auto* work = TaskWorkAs<TaskWork>(a);
  for (uint8_t b : work->bytes) EXPECT_EQ(b, 0);
  EXPECT_EQ(a->extra, nullptr);
  TaskStep(a) = 3;
  EXPECT_EQ(work->bytes[1], 3);
}

TEST_F(TaskListTest, NullNameIsRefused) {
  testsupport::TraceCapture trace;
  EXPECT_EQ(list.SetTask(nullptr, LoggingTask, nullptr, TaskAllocBlock(16), TaskAllocBlock(8)), 0);
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(trace.Contains("CGameTask::SetTask"));
}

TEST_F(TaskListTest, RunsInCreationOrderAndNewTasksJoinTheRunningPass) {
  // A task created by an earlier task runs in the same pass; one created by the last task waits
  // for the next pass.
  list.SetTaskSimple(nullptr, LoggingTask, "A");
  list.SetTaskSimple(nullptr, LoggingTask, "B");
  bool made = false;
  h.on_run = [&](GameTaskRec* t) {
    if (made) return;
    if (t->name == "A") {
      made = true;
      h.list->SetTaskSimple(t, LoggingTask, "fromA");
    }
  };
  EXPECT_EQ(Pass(), (Names{"A", "B", "fromA"}));

  made = false;
  h.on_run = [&](GameTaskRec* t) {
    if (!made && t->name == "fromA") {
      made = true;
      h.list->SetTaskSimple(t, LoggingTask, "fromLast");
    }
  };
  EXPECT_EQ(Pass(), (Names{"A", "B", "fromA"}));
  h.on_run = nullptr;
  EXPECT_EQ(Pass(), (Names{"A", "B", "fromA", "fromLast"}));
  EXPECT_EQ(list.FindTask("fromLast")->owner, list.FindTask("fromA"));
}

TEST_F(TaskListTest, SameNameFindsTheOlderUntilItIsDeleted) {
  list.SetTaskSimple(nullptr, LoggingTask, "T");
  list.SetTaskSimple(nullptr, LoggingTask, "T");
  GameTaskRec* older = list.FindTask("T");
  GameTaskRec* newer = older->next;
  EXPECT_EQ(list.DelTask(older), 1);
  EXPECT_EQ(list.FindTask("T"), newer);
  EXPECT_EQ(list.FindTask("t"), nullptr);  // the comparison is case-sensitive
}

TEST_F(TaskListTest, ClearedFunctionEndsTheTaskAndTheNextVisitFreesIt) {
  list.SetTaskSimple(nullptr, LoggingTask, "A");
  list.SetTaskSimple(nullptr, LoggingTask, "B");
  h.on_run = [](GameTaskRec* t) {
    if (t->name == "A") t->function = nullptr;
  };
  EXPECT_EQ(Pass(), (Names{"A", "B"}));
  // Ended but not yet freed: still found, still a record.
  GameTaskRec* a = list.FindTask("A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(list.IsTask(HandleOf(a)), 1);
  EXPECT_EQ(Pass(), Names{"B"});
  EXPECT_EQ(list.FindTask("A"), nullptr);
  EXPECT_EQ(Count(), 2);
}

TEST_F(TaskListTest, DeletionFromInsideAPass) {
  // Each row: which task runs the deletion and which record it deletes. Every case must leave
  // the pass intact (ASan proves no freed record is touched) and the deleted task gone for
  // look-ups at once.
  struct Case {
    const char* runner;
    const char* victim;
    Names first_pass;
  };
  const std::vector<Case> cases = {
      {"A", "A", {"A", "B", "C"}},  // a task deleting itself
      {"A", "B", {"A", "C"}},       // the record the pass visits next
      {"C", "A", {"A", "B", "C"}},  // a record the pass has already passed
      {"C", "C", {"A", "B", "C"}},  // the last record deleting itself
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.runner) + " deletes " + c.victim);
    list.DelAllTask();
    for (const char* n : {"A", "B", "C"}) list.SetTaskSimple(nullptr, LoggingTask, n);
    bool seen_gone = false;
    h.on_run = [&](GameTaskRec* t) {
      if (t->name != c.runner || seen_gone) return;
      GameTaskRec* victim = h.list->FindTask(c.victim);
      ASSERT_NE(victim, nullptr);
      const TaskHandle handle = HandleOf(victim);
      EXPECT_EQ(h.list->DelTask(victim), 1);
      EXPECT_EQ(h.list->DelTask(victim), 0);  // a second deletion is refused
      EXPECT_EQ(h.list->FindTask(c.victim), nullptr);
      EXPECT_EQ(h.list->IsTask(handle), 0);
      seen_gone = true;
    };
    EXPECT_EQ(Pass(), c.first_pass);
    h.on_run = nullptr;
    Names rest;
    for (const char* n : {"A", "B", "C"}) {
      if (std::string(n) != c.victim) rest.push_back(n);
    }
    EXPECT_EQ(Pass(), rest);
    EXPECT_EQ(Count(), 3);
  }
}

TEST_F(TaskListTest, ChildSeesItsOwnerEnd) {
  list.SetTaskSimple(nullptr, LoggingTask, "owner");
  GameTaskRec* owner = list.FindTask("owner");
  list.SetTaskSimple(owner, [](GameTaskRec* t) {
    const bool alive = g_h->list->IsTask(OwnerHandle(t)) != 0;
    g_h->log.push_back(alive ? "child:owner-alive" : "child:owner-gone");
    if (!g_h->list->IsTask(OwnerHandle(t))) t->function = nullptr;
  }, "child");
  EXPECT_EQ(Pass(), (Names{"owner", "child:owner-alive"}));

  // Deleted by name from outside a pass: freed at once.
  EXPECT_EQ(list.DelTask(list.FindTask("owner")), 1);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Pass(), Names{"child:owner-gone"});
  EXPECT_EQ(Pass(), Names{});
  EXPECT_EQ(Count(), 1);
}

TEST_F(TaskListTest, OwnerDeletedDuringAPassIsGoneForItsChildAtOnce) {
  list.SetTaskSimple(nullptr, LoggingTask, "killer");
  list.SetTaskSimple(nullptr, LoggingTask, "owner");
  GameTaskRec* owner = list.FindTask("owner");
  list.SetTaskSimple(owner, [](GameTaskRec* t) {
    g_h->log.push_back(g_h->list->IsTask(OwnerHandle(t)) ? "alive" : "gone");
  }, "child");
  h.on_run = [](GameTaskRec* t) {
    if (t->name == "killer") g_h->list->DelTask(g_h->list->FindTask("owner"));
  };
  EXPECT_EQ(Pass(), (Names{"killer", "gone"}));
}

TEST_F(TaskListTest, HandleOfAnEndedTaskFindsNothingOnceItsRecordIsReused) {
  // Each way a task ends; then the next task started takes its record.
  enum class End { kDeletedBetweenPasses, kDeletedByItselfInAPass, kFunctionCleared };
  const struct {
    const char* name;
    End end;
  } cases[] = {
      {"deleted between passes", End::kDeletedBetweenPasses},
      {"deleted by itself during a pass", End::kDeletedByItselfInAPass},
      {"function cleared, freed on the next visit", End::kFunctionCleared},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list.DelAllTask();
    list.SetTaskSimple(nullptr, LoggingTask, "a task with a long name that ends");
    GameTaskRec* ending = list.FindTask("a task with a long name that ends");
    const TaskHandle old = HandleOf(ending);
    EXPECT_EQ(list.Find(old), ending);
    switch (c.end) {
      case End::kDeletedBetweenPasses:
        list.DelTask(ending);
        break;
      case End::kDeletedByItselfInAPass:
        h.on_run = [](GameTaskRec* t) { g_h->list->DelTask(t); };
        Pass();
        break;
      case End::kFunctionCleared:
        h.on_run = [](GameTaskRec* t) { t->function = nullptr; };
        Pass();
        EXPECT_EQ(list.Find(old), ending);  // ended, but found until freed
        Pass();
        break;
    }
    h.on_run = nullptr;
    EXPECT_EQ(list.Find(old), nullptr);

    list.SetTaskSimple(nullptr, LoggingTask, "B");
    GameTaskRec* reused = list.FindTask("B");
    ASSERT_EQ(reused, old.record);  // the same record, now another task
    EXPECT_EQ(list.Find(old), nullptr);
    EXPECT_EQ(list.IsTask(old), 0);
    EXPECT_EQ(list.DelTask(list.Find(old)), 0);
    EXPECT_EQ(list.Find(HandleOf(reused)), reused);
    EXPECT_EQ(Pass(), Names{"B"});
  }
  EXPECT_EQ(list.Find(TaskHandle{}), nullptr);
}

TEST_F(TaskListTest, ChildOfAnOwnerWhoseRecordWasReusedSeesItGone) {
  list.SetTaskSimple(nullptr, LoggingTask, "owner");
  list.SetTaskSimple(list.FindTask("owner"), [](GameTaskRec* t) {
    g_h->log.push_back(g_h->list->IsTask(OwnerHandle(t)) ? "alive" : "gone");
  }, "child");
  EXPECT_EQ(Pass(), (Names{"owner", "alive"}));
  GameTaskRec* owner = list.FindTask("owner");
  list.DelTask(owner);
  list.SetTaskSimple(nullptr, LoggingTask, "newcomer");
  ASSERT_EQ(list.FindTask("newcomer"), owner);
  EXPECT_EQ(list.FindTask("child")->owner, owner);
  EXPECT_EQ(Pass(), (Names{"gone", "newcomer"}));
}

TEST_F(TaskListTest, EndedRecordsAreKeptAndReusedWholeAndClean) {
  // Records come back as spares whichever way their tasks end, and new tasks take them before
  // any new record is made; the destructor frees the spares (LeakSanitizer checks).
  const char* names[] = {"first task with a long name", "second", "third task with a long name"};
  for (const char* n : names) list.SetTaskSimple(nullptr, LoggingTask, n);
  EXPECT_EQ(list.spare_count(), 0u);
  list.DelTask(list.FindTask("second"));
  EXPECT_EQ(list.spare_count(), 1u);
  h.on_run = [](GameTaskRec* t) { g_h->list->DelTask(t); };
  Pass();
  h.on_run = nullptr;
  EXPECT_EQ(list.spare_count(), 3u);
  EXPECT_EQ(Count(), 1);

  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    for (const char* n : names) list.SetTaskSimple(list.root(), LoggingTask, n);
    EXPECT_EQ(list.spare_count(), 0u);
    EXPECT_EQ(Count(), 4);
    // A reused record is as a new one: its own name, a zeroed block, no extra, not deleted.
    for (const char* n : names) {
      GameTaskRec* t = list.FindTask(n);
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(t->name, n);
      EXPECT_EQ(t->owner, list.root());
      EXPECT_EQ(t->extra, nullptr);
      EXPECT_FALSE(t->deleted);
      for (uint8_t b : TaskWorkAs<TaskWork>(t)->bytes) EXPECT_EQ(b, 0);
      TaskStep(t) = 7;
    }
    EXPECT_EQ(Pass(), (Names{names[0], names[1], names[2]}));
    list.DelAllTask();
    EXPECT_EQ(list.spare_count(), 3u);
  }
  EXPECT_EQ(list.DelTask(list.FindTask(names[0])), 0);
}

TEST_F(TaskListTest, DeleteAllDuringAPassLetsTasksCreatedAfterItRun) {
  for (const char* n : {"A", "B", "C"}) list.SetTaskSimple(nullptr, LoggingTask, n);
  h.on_run = [](GameTaskRec* t) {
    if (t->name == "A") {
      g_h->list->DelAllTask();
      g_h->list->SetTaskSimple(nullptr, LoggingTask, "restart");
      g_h->on_run = nullptr;
    }
  };
  EXPECT_EQ(Pass(), (Names{"A", "restart"}));
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Pass(), Names{"restart"});
}

TEST_F(TaskListTest, LongFormOwnsWorkAndExtraBlocks) {
  struct BigWork {
    uint8_t mode;
    uint8_t step;
    int32_t counter;
    char text[100];
  };
  auto* work = TaskNewBlock<BigWork>();
  auto* extra = TaskAllocBlock(120);
  ASSERT_EQ(list.SetTask(nullptr, LoggingTask, "long", work, extra), 1);
  GameTaskRec* t = list.FindTask("long");
  EXPECT_EQ(TaskWorkAs<BigWork>(t)->counter, 0);
  EXPECT_EQ(t->extra, extra);
  // Freed with the record (LeakSanitizer would report otherwise).
  EXPECT_EQ(list.DelTask(t), 1);
}

TEST_F(TaskListTest, EnumOnlyTraces) {
  testsupport::TraceCapture trace;
  list.SetTaskSimple(nullptr, LoggingTask, "A");
  EXPECT_EQ(list.Enum(), 1);
  EXPECT_TRUE(trace.Contains("CGameTask::Enum All Task\n"));
  EXPECT_TRUE(trace.Contains("Command:A\t"));
  EXPECT_TRUE(trace.Contains("No002 "));
  EXPECT_EQ(Count(), 2);
}

TEST(TaskListContext, AFreshContextHoldsAnEmptyList) {
  testsupport::TestEngine engine;
  EXPECT_EQ(Ctx().game_task.root()->next, nullptr);
  Ctx().game_task.SetTaskSimple(nullptr, [](GameTaskRec*) {}, "x");
  EXPECT_NE(engine.ctx().game_task.FindTask("x"), nullptr);
}

}  // namespace
