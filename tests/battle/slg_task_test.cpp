// Battle effect tasks on the rig's clock: when a task first runs and what it counts, how ending
// frees its blocks, the null records, tasks sharing a name, a parent polling an ended child, and
// numbered tasks.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleRig;

// What the bodies saw, in order: (task name, driver frame, frames count).
struct TaskRun {
  std::string name;
  int frame;
  int32_t frames;
};
std::vector<TaskRun> g_runs;
int g_frame = 0;  // the driver frame the test is stepping
SlgEffectTask* g_child = nullptr;

void Record(SlgEffectTask* t) { g_runs.push_back({t->name, g_frame, t->frames}); }

// Records every run; ends itself at the stop phase.
void Counter(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop) {
    SlgTaskEnd(t);
    return;
  }
  Record(t);
}

// Runs once and ends itself at once.
void EndsAtOnce(SlgEffectTask* t) {
  Record(t);
  SlgTaskEnd(t);
}

// On its first run starts a child ("Child").
void Parent(SlgEffectTask* t) {
  Record(t);
  if (t->phase == 0) {
    g_child = SlgTaskCreate(SlgTaskOwner(), &Counter, "Child");
    SlgTaskNextPhase(t);
  }
}

class SlgTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_runs.clear();
    g_child = nullptr;
    g_frame = rig.frame();
  }
  bool Step() {
    g_frame = rig.frame() + 1;
    return rig.Step();
  }
  // The runs of one task.
  static std::vector<TaskRun> RunsOf(const std::string& name) {
    std::vector<TaskRun> out;
    for (const TaskRun& r : g_runs) {
      if (r.name == name) out.push_back(r);
    }
    return out;
  }
  int64_t Live() const { return Battle().alloc.live; }

  BattleRig rig;
};

TEST_F(SlgTaskTest, TheRigStepsOneGameFrameAtATime) {
  const uint32_t t0 = rig.Now();
  std::vector<uint32_t> steps;
  for (int i = 1; i <= 60; ++i) {
    const uint32_t before = rig.Now();
    ASSERT_TRUE(rig.Step());
    steps.push_back(rig.Now() - before);
    EXPECT_EQ(static_cast<int>((rig.Now() - t0) * 60 / 1000), i) << "after step " << i;
  }
  EXPECT_EQ((std::vector<uint32_t>{steps[0], steps[1], steps[2]}),
            (std::vector<uint32_t>{17, 17, 16}));
  // Every step ran the task pass: a task counts one run per step.
  SlgTaskCreate(SlgTaskOwner(), &Counter, "Pass");
  ASSERT_TRUE(rig.Run(5));
  EXPECT_EQ(RunsOf("Pass").size(), 5u);
}

TEST_F(SlgTaskTest, AChildMadeByATaskThatIsNotLastRunsInTheSamePassWithFramesZero) {
  ASSERT_NE(rig.manager(), nullptr);
  EXPECT_EQ(SlgTaskOwner(), rig.manager());
  SlgEffectTask* parent = SlgTaskCreate(SlgTaskOwner(), &Parent, "Parent");
  SlgTaskCreate(SlgTaskOwner(), &Counter, "After");  // the parent is not the last record
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->owner, rig.manager());
  ASSERT_TRUE(Step());
  const std::vector<TaskRun> child = RunsOf("Child");
  ASSERT_EQ(child.size(), 1u);
  EXPECT_EQ(child[0].frame, RunsOf("Parent")[0].frame);
  EXPECT_EQ(child[0].frames, 0);
  // In list order: the parent, the task after it, then the child appended behind them.
  ASSERT_EQ(g_runs.size(), 3u);
  EXPECT_EQ(g_runs[2].name, "Child");
}

TEST_F(SlgTaskTest, AChildMadeByTheLastTaskFirstRunsInTheNextPass) {
  SlgTaskCreate(SlgTaskOwner(), &Parent, "Parent");
  ASSERT_TRUE(Step());
  EXPECT_TRUE(RunsOf("Child").empty());
  ASSERT_TRUE(Step());
  ASSERT_EQ(RunsOf("Child").size(), 1u);
  EXPECT_EQ(RunsOf("Child")[0].frame, g_frame);
}

// The frames count is elapsed time, not a count of runs: 0 until 17 ms have passed.
TEST_F(SlgTaskTest, FramesCountZeroAtSixteenMillisecondsAndOneAtSeventeen) {
  struct Case {
    uint32_t next_step_ms;
    int32_t frames;
  };
  for (const Case c : {Case{16, 0}, Case{17, 1}}) {
    SCOPED_TRACE(c.next_step_ms);
    // Go to a frame whose next step is that long, then start the task between passes.
    for (int guard = 0; BattleRig::StepMs(rig.steps() + 1) != c.next_step_ms && guard < 3;
         ++guard) {
      ASSERT_TRUE(Step());
    }
    g_runs.clear();
    SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &Counter, "Timed");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->start, rig.Now());
    ASSERT_TRUE(Step());
    ASSERT_EQ(RunsOf("Timed").size(), 1u);
    EXPECT_EQ(t->now - t->start, c.next_step_ms);
    EXPECT_EQ(RunsOf("Timed")[0].frames, c.frames);
    SlgTaskEnd(t);
  }
}

TEST_F(SlgTaskTest, EndFreesEveryOwnedSlotAndTheName) {
  struct Case {
    const char* what;
    std::vector<int> slots;
  };
  const Case cases[] = {{"no slots", {}}, {"slots 0, 5 and 63", {0, 5, 63}}, {"all 64", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &Counter, "Owner");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Live(), 1);  // the name
    std::vector<int> slots = c.slots;
    if (std::string(c.what) == "all 64") {
      for (int i = 0; i < kSlgOwnedSlots; ++i) slots.push_back(i);
    }
    for (int s : slots) t->owned[s] = SlgAlloc(24);
    EXPECT_EQ(Live(), 1 + static_cast<int64_t>(slots.size()));
    SlgTaskEnd(t);
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(SlgTaskIsAlive(t), 0);
    EXPECT_EQ(Ctx().game_task.FindTask("Owner"), nullptr);
  }
}

TEST_F(SlgTaskTest, NullRecordsAreAccepted) {
  SlgTaskEnd(nullptr);
  EXPECT_EQ(SlgTaskIsAlive(nullptr), 0);
  SlgTaskNextPhase(nullptr);
  SlgTaskStop(nullptr);
  EXPECT_EQ(SlgTaskCreate(SlgTaskOwner(), &Counter, nullptr), nullptr);
  EXPECT_EQ(SlgTaskCreate(SlgTaskOwner(), nullptr, "NoBody"), nullptr);
  EXPECT_EQ(Live(), 0);
}

TEST_F(SlgTaskTest, PhaseSignalsAndStop) {
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &Counter, "Phased");
  SlgTaskNextPhase(t);
  SlgTaskNextPhase(t);
  EXPECT_EQ(t->phase, 2);
  ASSERT_TRUE(Step());
  EXPECT_EQ(SlgTaskIsAlive(t), 1);
  SlgTaskStop(t);
  EXPECT_EQ(t->phase, kSlgPhaseStop);
  ASSERT_TRUE(Step());  // the body ends itself at phase 100
  EXPECT_EQ(SlgTaskIsAlive(t), 0);
  EXPECT_EQ(Live(), 0);
}

// With two tasks of one name, ending the second ends the second: the first keeps running with
// its blocks, the second's blocks are freed.
TEST_F(SlgTaskTest, EndingTheSecondOfTwoTasksOfOneNameEndsTheSecond) {
  SlgEffectTask* first = SlgTaskCreate(SlgTaskOwner(), &Counter, "Fx");
  SlgEffectTask* second = SlgTaskCreate(SlgTaskOwner(), &Counter, "Fx");
  first->owned[0] = SlgAlloc(16);
  second->owned[0] = SlgAlloc(16);
  first->index = 1;
  SlgTaskEnd(second);
  EXPECT_EQ(SlgTaskIsAlive(first), 1);
  EXPECT_EQ(SlgTaskIsAlive(second), 0);
  EXPECT_EQ(Live(), 2);  // the first's name and block
  GameTaskRec* found = Ctx().game_task.FindTask("Fx");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->work, first);
  ASSERT_TRUE(Step());
  ASSERT_EQ(RunsOf("Fx").size(), 1u);
  SlgTaskEnd(first);
  EXPECT_EQ(Live(), 0);
}

// A parent polling a child that has ended itself (and freed its record) reads nothing of it.
TEST_F(SlgTaskTest, AnEndedChildIsNotAliveAndEndingItAgainDoesNothing) {
  SlgEffectTask* child = SlgTaskCreate(SlgTaskOwner(), &EndsAtOnce, "Child");
  child->owned[3] = SlgAlloc(8);
  EXPECT_EQ(SlgTaskIsAlive(child), 1);
  ASSERT_TRUE(Step());
  EXPECT_EQ(RunsOf("Child").size(), 1u);
  EXPECT_EQ(SlgTaskIsAlive(child), 0);
  SlgTaskEnd(child);
  SlgTaskNextPhase(nullptr);
  EXPECT_EQ(Live(), 0);
  // A new task may take the freed record's address: it is alive as itself.
  SlgEffectTask* next = SlgTaskCreate(SlgTaskOwner(), &Counter, "Next");
  EXPECT_EQ(SlgTaskIsAlive(next), 1);
  SlgTaskEnd(next);
}

TEST_F(SlgTaskTest, CreateNMakesNumberedTasksWithTheirIndex) {
  EXPECT_EQ(SlgTaskCreateN(SlgTaskOwner(), &Counter, 0, "None"), 0);
  EXPECT_EQ(Ctx().game_task.FindTask("None0"), nullptr);

  EXPECT_EQ(SlgTaskCreateN(SlgTaskOwner(), &Counter, 3, "Fx"), 3);
  for (int i = 0; i < 3; ++i) {
    GameTaskRec* rec = Ctx().game_task.FindTask(("Fx" + std::to_string(i)).c_str());
    ASSERT_NE(rec, nullptr) << i;
    auto* t = static_cast<SlgEffectTask*>(rec->work);
    EXPECT_EQ(t->index, i);
    EXPECT_STREQ(t->name, ("Fx" + std::to_string(i)).c_str());
  }
  EXPECT_EQ(Ctx().game_task.FindTask("Fx3"), nullptr);

  // A refused name stops the run at that task.
  const uint32_t base = Battle().alloc.calls;
  Battle().alloc.refuse = [base](uint32_t call, size_t) { return call == base + 1; };
  EXPECT_EQ(SlgTaskCreateN(SlgTaskOwner(), &Counter, 4, "Gx"), 1);
  Battle().alloc.refuse = nullptr;
  EXPECT_NE(Ctx().game_task.FindTask("Gx0"), nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask("Gx1"), nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask("Gx2"), nullptr);
  EXPECT_EQ(SlgTaskEndAll(), 4);
  EXPECT_EQ(Live(), 0);
}

TEST_F(SlgTaskTest, ARefusedNameMakesNoTask) {
  Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  EXPECT_EQ(SlgTaskCreate(SlgTaskOwner(), &Counter, "Refused"), nullptr);
  EXPECT_EQ(Ctx().game_task.FindTask("Refused"), nullptr);
  EXPECT_EQ(Live(), 0);
}

// Tasks still running when the battle context goes are ended with their blocks (the leak check
// of the sanitizer build sees any that are not).
TEST(SlgTaskTeardown, TheBattleContextEndsItsTasks) {
  BattleRig rig;
  {
    BattleContext battle;
    BattleScope scope(battle);
    SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &Counter, "Left");
    t->owned[0] = SlgAlloc(100);
    ASSERT_TRUE(rig.Run(2));
    EXPECT_EQ(Battle().alloc.live, 2);
  }
  EXPECT_EQ(Ctx().game_task.FindTask("Left"), nullptr);
  ASSERT_TRUE(rig.Run(1));
}


// Blocks nothing gives back (the work of an attack the battle's end cut short) go with the battle
// context, whichever order they were taken and given back in; a block given back is off the list.
TEST(SlgTaskTeardown, TheBattleContextFreesTheBlocksLeft) {
  BattleRig rig;
  BattleContext battle;
  BattleScope scope(battle);
  std::vector<void*> blocks;
  for (size_t bytes : {1, 16, 100, 0, 4096}) blocks.push_back(SlgAlloc(bytes));
  for (void* b : blocks) {
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u);
  }
  // The first, a middle and the newest given back.
  for (size_t i : {size_t{0}, size_t{2}, size_t{4}}) SlgFree(blocks[i]);
  EXPECT_EQ(battle.alloc.live, 2);
  static_cast<char*>(blocks[1])[15] = 1;  // still usable
  EXPECT_EQ(SlgFreeAllLeft(battle.alloc), 2);
  EXPECT_EQ(battle.alloc.live, 0);
  EXPECT_EQ(SlgFreeAllLeft(battle.alloc), 0);
  // And at the context's end.
  SlgAlloc(32);
}

}  // namespace
