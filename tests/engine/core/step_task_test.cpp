#include "engine/core/step_task.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "testsupport/test_engine.h"

namespace {

// What the machines of these tests did, pass by pass.
std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

// A machine of three steps: greets, waits `wait` frames, then ends itself.
struct CountWork {
  uint8_t form;
  uint8_t step;
  uint8_t frames;
  uint8_t wait;
};

void CountSeq(GameTaskRec* record) {
  StepTask<CountWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) {
    Log().push_back("count: owner gone");
    return;
  }
  switch (task.step()) {
    case 0:
      Log().push_back("count: start");
      task.Next();
      break;
    case 1:
      if (++task.work().frames < task.work().wait) break;
      Log().push_back("count: waited");
      task.Next();
      break;
    default:
      Log().push_back("count: end");
      task.End();
      // The record stays whole until the function returns; the pass frees it after.
      Log().push_back("count: after end");
      break;
  }
}

inline constexpr StepTaskKind<CountWork> kCountSeq{"Test::CountSeq", &CountSeq};

// A task that only records its runs (the owner of the machines, and a neighbour after them).
void Plain(GameTaskRec* record) { Log().push_back(record->name); }

class StepTaskTest : public ::testing::Test {
 protected:
  StepTaskTest() { Log().clear(); }

  CGameTask& list() { return Ctx().game_task; }
  std::vector<std::string> Pass() {
    Log().clear();
    list().ExecTask();
    return Log();
  }

  testsupport::TestEngine engine;
};

using Lines = std::vector<std::string>;

TEST_F(StepTaskTest, AdvancesThroughItsStepsEndsItselfAndAnswersWhetherItRuns) {
  EXPECT_FALSE(kCountSeq.IsRunning(list()));
  CountWork* work = kCountSeq.Start(list(), nullptr);
  ASSERT_NE(work, nullptr);
  work->wait = 2;
  EXPECT_TRUE(kCountSeq.IsRunning(list()));
  GameTaskRec* record = kCountSeq.Find(list());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->work, work);
  const TaskHandle handle = HandleOf(record);
  EXPECT_EQ(work->step, 0);
  EXPECT_EQ(work->form, 0);
  EXPECT_EQ(work->frames, 0);

  EXPECT_EQ(Pass(), Lines{"count: start"});
  // The typed step is the block's step byte.
  EXPECT_EQ(work->step, 1);
  EXPECT_EQ(TaskStep(record), 1);
  EXPECT_EQ(Pass(), Lines{});
  EXPECT_EQ(Pass(), Lines{"count: waited"});
  EXPECT_EQ(work->step, 2);
  EXPECT_TRUE(kCountSeq.IsRunning(list()));

  list().SetTask(nullptr, &Plain, "after", TaskAllocBlock(16), nullptr);
  // Ending itself: the rest of the pass still runs, the record is gone afterwards.
  EXPECT_EQ(Pass(), (Lines{"count: end", "count: after end", "after"}));
  EXPECT_FALSE(kCountSeq.IsRunning(list()));
  EXPECT_EQ(list().IsTask(handle), 0);
  EXPECT_EQ(Pass(), Lines{"after"});
}

TEST_F(StepTaskTest, StarterCanSetTheFirstStepAndTheBlock) {
  CountWork* work = kCountSeq.Start(list(), nullptr);
  ASSERT_NE(work, nullptr);
  work->step = 2;
  EXPECT_EQ(Pass(), (Lines{"count: end", "count: after end"}));
  EXPECT_FALSE(kCountSeq.IsRunning(list()));
}

// Set by a test: the "killer" task deletes the owner on its next run.
bool g_kill_owner = false;

void Killer(GameTaskRec*) {
  if (!g_kill_owner) return;
  g_kill_owner = false;
  Log().push_back("owner deleted");
  Ctx().game_task.DelTask(Ctx().game_task.FindTask("owner"));
}

TEST_F(StepTaskTest, EndsWhenItsOwnerIsGone) {
  enum class When { kBetweenPasses, kEarlierInThePass, kBetweenPassesRecordReused };
  const struct {
    const char* name;
    When when;
    bool owner_after;  // the owner stands after the machine in the list (runs later in a pass)
  } cases[] = {
      {"owner deleted between passes", When::kBetweenPasses, false},
      {"owner later in the list, deleted between passes", When::kBetweenPasses, true},
      {"owner deleted by a task before the machine, same pass", When::kEarlierInThePass, false},
      // The next task started takes the owner's record: the machine must not take it for its
      // owner.
      {"owner deleted, its record reused before the next pass", When::kBetweenPassesRecordReused,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list().DelAllTask();
    g_kill_owner = false;
    list().SetTask(nullptr, &Killer, "killer", TaskAllocBlock(16), nullptr);
    if (!c.owner_after) list().SetTask(nullptr, &Plain, "owner", TaskAllocBlock(16), nullptr);
    CountWork* work = kCountSeq.Start(list(), list().FindTask("owner"));
    ASSERT_NE(work, nullptr);
    work->wait = 100;
    GameTaskRec* record = kCountSeq.Find(list());
    if (c.owner_after) {
      list().SetTask(nullptr, &Plain, "owner", TaskAllocBlock(16), nullptr);
      record->owner = list().FindTask("owner");
      record->owner_generation = record->owner->generation;
    }
    ASSERT_NE(record->owner, nullptr);

    // Runs while its owner does.
    Pass();
    Pass();
    EXPECT_EQ(work->step, 1);
    EXPECT_EQ(work->frames, 1);

    if (c.when == When::kBetweenPasses) {
      list().DelTask(record->owner);
      EXPECT_EQ(Pass(), Lines{"count: owner gone"});
    } else if (c.when == When::kBetweenPassesRecordReused) {
      GameTaskRec* owner = record->owner;
      list().DelTask(owner);
      list().SetTask(nullptr, &Plain, "newcomer", TaskAllocBlock(16), nullptr);
      ASSERT_EQ(list().FindTask("newcomer"), owner);
      EXPECT_EQ(Pass(), (Lines{"count: owner gone", "newcomer"}));
      list().DelTask(owner);
    } else {
      g_kill_owner = true;
      EXPECT_EQ(Pass(), (Lines{"owner deleted", "count: owner gone"}));
    }
    EXPECT_FALSE(kCountSeq.IsRunning(list()));
    EXPECT_EQ(Pass(), Lines{});
  }
}

TEST_F(StepTaskTest, MachineWithoutAnOwnerNeverEndsForIt) {
  CountWork* work = kCountSeq.Start(list(), nullptr);
  ASSERT_NE(work, nullptr);
  work->wait = 200;
  for (int i = 0; i < 5; ++i) Pass();
  EXPECT_TRUE(kCountSeq.IsRunning(list()));
  EXPECT_EQ(kCountSeq.Find(list())->owner, nullptr);
}

TEST_F(StepTaskTest, IsRunningFollowsTheOldestOfTheName) {
  CountWork* first = kCountSeq.Start(list(), nullptr);
  CountWork* second = kCountSeq.Start(list(), nullptr);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  first->step = 2;
  second->wait = 100;
  EXPECT_EQ(kCountSeq.Find(list())->work, first);
  Pass();
  // The first ended itself; the second still runs under the same name.
  ASSERT_TRUE(kCountSeq.IsRunning(list()));
  EXPECT_EQ(kCountSeq.Find(list())->work, second);
  list().DelTask(kCountSeq.Find(list()));
  EXPECT_FALSE(kCountSeq.IsRunning(list()));
}

}  // namespace
