// The event table and the event check: FindEvent's five tests and their order (counted through
// the random seam), EventFinish, install and teardown, and events starting, running, finishing
// and chaining on the battle rig with the real main task (stub phases in turn control's slot, or
// the real ones); the two mended faults; whole battles on the mode manager won and lost by rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_table.h"
#include "battle_events/events_install.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/system_sprites.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
using testsupport::kOpeningRow;
using testsupport::kVictoryRow;

constexpr auto kStarted = SlgEventMoment::kStarted;
constexpr auto kFinished = SlgEventMoment::kFinished;

void Noop(const SlgEventEntry& /*row*/) {}

GameTaskRec* CheckTask() { return Ctx().game_task.FindTask(kEventCheckTaskName); }

// The live tasks of that name.
int TasksNamed(const char* name) {
  int n = 0;
  for (const GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    n += !t->deleted && t->function != nullptr && t->name == name;
  }
  return n;
}

// ---- FindEvent ----

struct FindCase {
  const char* name;
  std::vector<SlgEventEntry> rows;  // the terminating row is added
  uint16_t timing;
  std::vector<int16_t> flags;  // set before the search
  int found;                   // the index of the row returned (rows.size(): the end)
  uint32_t draws;              // random numbers drawn
};

class FindEventTable : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindEventTable, ReturnsTheFirstRowThatPassesAndEvaluatesOnlyWhatItReaches) {
  const FindCase& c = GetParam();
  BattleContext battle;
  BattleScope scope(battle);
  battle.rand_seam.script = [] { return 0; };  // R(50) holds
  battle.state.turn_flags = c.timing;
  for (const int16_t f : c.flags) SetEventFlag(static_cast<uint32_t>(f));
  std::vector<SlgEventEntry> table = c.rows;
  table.push_back(kEventTableEnd);
  const SlgEventEntry* row = FindEvent(table.data());
  EXPECT_EQ(row - table.data(), c.found);
  EXPECT_EQ(battle.rand_seam.calls, c.draws);
}

constexpr SlgEventEntry Row(uint16_t id, uint16_t timing) {
  return {.id = id, .timing = timing, .handler = &Noop};
}
SlgEventEntry With(SlgEventEntry r, const char* a, const char* b, const char* c) {
  r.a = a;
  r.b = b;
  r.c = c;
  return r;
}
SlgEventEntry Guarded(SlgEventEntry r, int16_t first, int16_t second) {
  r.guard = {first, second};
  return r;
}

const char* const kDraw = "R(50);";
const char* const kNo = "";

INSTANTIATE_TEST_SUITE_P(
    Cases, FindEventTable,
    ::testing::Values(
        FindCase{"matching", {Row(1, 0x8000)}, 0x8000, {}, 0, 0},
        FindCase{"null_handler_first", {SlgEventEntry{.id = 1, .timing = 0x8000}, Row(2, 0x8000)},
                 0x8000, {}, 0, 0},
        FindCase{"timing_mask_zero", {Row(1, 0)}, 0xFFFF, {}, 1, 0},
        FindCase{"timing_other_bit", {With(Row(1, 0x0001), kDraw, kNo, kNo)}, 0x8004, {}, 1, 0},
        FindCase{"timing_any_bit", {Row(1, 0x0005)}, 0x0004, {}, 0, 0},
        FindCase{"guard_set_draws_nothing", {With(Guarded(Row(1, 0x8000), 7, 0), kDraw, kNo, kNo)},
                 0x8000, {7}, 1, 0},
        FindCase{"guard_second_slot", {Guarded(Row(1, 0x8000), 0, 7)}, 0x8000, {7}, 1, 0},
        FindCase{"guard_zero_ignored", {Guarded(Row(1, 0x8000), 0, 0)}, 0x8000, {}, 0, 0},
        FindCase{"guard_2048_blocks", {Guarded(Row(1, 0x8000), 2048, 0)}, 0x8000, {}, 1, 0},
        FindCase{"guard_negative_blocks", {Guarded(Row(1, 0x8000), 0, -1)}, 0x8000, {}, 1, 0},
        FindCase{"c_non_zero_draws_nothing", {With(Row(1, 0x8000), kDraw, kDraw, "1;")}, 0x8000,
                 {}, 1, 0},
        FindCase{"c_zero", {With(Row(1, 0x8000), kNo, kNo, "0;")}, 0x8000, {}, 0, 0},
        FindCase{"c_drawn_first", {With(Row(1, 0x8000), "0;", kDraw, kDraw)}, 0x8000, {}, 1, 1},
        FindCase{"a_zero_leaves_b", {With(Row(1, 0x8000), "0;", kDraw, kNo)}, 0x8000, {}, 1, 0},
        FindCase{"b_after_a", {With(Row(1, 0x8000), "1;", kDraw, kNo)}, 0x8000, {}, 0, 1},
        FindCase{"b_zero", {With(Row(1, 0x8000), kDraw, "0;", kNo)}, 0x8000, {}, 1, 1},
        FindCase{"a_b_c_all", {With(Row(1, 0x8000), kDraw, kDraw, "R(0);")}, 0x8000, {}, 0, 3},
        FindCase{"earlier_wins", {Row(1, 0x8000), With(Row(2, 0x8000), kDraw, kNo, kNo)}, 0x8000,
                 {}, 0, 0},
        FindCase{"later_after_earlier_guarded",
                 {Guarded(Row(1, 0x8000), 5, 0), With(Row(2, 0x8000), kDraw, kNo, kNo)}, 0x8000,
                 {5}, 1, 1},
        FindCase{"none_of_three",
                 {Row(1, 0x0001), Row(2, 0x0002), With(Row(3, 0x8000), "0;", kNo, kNo)}, 0x8000,
                 {}, 3, 0}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST(FindEvent, TheLaterRowFiresOnceTheEarlierHasFinishedAndANullTableFindsNothing) {
  BattleContext battle;
  BattleScope scope(battle);
  battle.state.turn_flags = 0x8000;
  const SlgEventEntry table[] = {
      {.id = 1, .timing = 0x8000, .guard = {5, 0}, .set = {5, 0}, .handler = &Noop},
      Row(2, 0x8000), kEventTableEnd};
  ASSERT_EQ(FindEvent(table), &table[0]);
  EventFinish(&table[0]);
  EXPECT_EQ(FindEvent(table), &table[1]);
  EXPECT_EQ(FindEvent(nullptr), nullptr);
}

// ---- EventFinish ----

TEST(EventFinish, SetsThenClearsTheFlagsAndReleasesTheWords) {
  BattleContext battle;
  BattleScope scope(battle);
  SetEventFlag(9);
  battle.event_busy = 1;
  battle.control.turn_hold = 1;
  battle.event_unit_ref = {3, 4};
  const SlgEventEntry row{.id = 1, .set = {7, 8}, .clear = {8, 9}, .handler = &Noop};
  EventFinish(&row);
  EXPECT_EQ(CheckEventFlag(7), 1);
  EXPECT_EQ(CheckEventFlag(8), 0);  // set and cleared by one row: cleared
  EXPECT_EQ(CheckEventFlag(9), 0);
  EXPECT_EQ(battle.event_busy, 0u);
  EXPECT_EQ(battle.control.turn_hold, 0u);
  EXPECT_EQ(battle.event_unit_ref, (std::array<uint16_t, 2>{kSlgNoUnit, kSlgNoUnit}));

  // Ids outside 0-2047 are ignored, 0 is an empty slot; a null row releases the words only.
  const std::array<uint8_t, 256> before = battle.event_flags;
  const SlgEventEntry odd{.id = 2, .set = {2048, -1}, .clear = {0, -32768}, .handler = &Noop};
  EventFinish(&odd);
  EXPECT_EQ(battle.event_flags, before);
  battle.event_busy = 1;
  EventFinish(nullptr);
  EXPECT_EQ(battle.event_busy, 0u);
}

// ---- Install and teardown ----

TEST(EventCheck, WithoutATableNothingRunsAndInstallAndTeardownKeepTheirOrder) {
  BattleRig rig;
  BattleContext& b = rig.battle();
  InstallBattleEvents(b);
  EXPECT_EQ(CheckEvents(), 0);
  EXPECT_EQ(HasEventTable(), 0);
  EXPECT_EQ(CheckTask(), nullptr);
  EndEventCheck();
  EndEventCheck();
  EXPECT_EQ(CheckTask(), nullptr);

  // The install clears the flags and the words; its task, under the manager's, clears the
  // event's words and the battle-end word in its first frame and goes idle.
  SetEventFlag(100);
  b.cmd_busy = b.event_busy = b.control.turn_hold = 1;
  b.event_words.battle_end = 1;
  EventStep() = 9;
  const SlgEventEntry table[] = {kEventTableEnd};
  StartEventCheck(table);
  StartEventCheck(table);  // a second install leaves one check task
  EXPECT_EQ(HasEventTable(), 1);
  EXPECT_EQ(CheckEventFlag(100), 0);
  EXPECT_EQ(b.cmd_busy + b.event_busy + b.control.turn_hold, 0u);
  EXPECT_EQ(TasksNamed(kEventCheckTaskName), 1);
  ASSERT_NE(CheckTask(), nullptr);
  EXPECT_EQ(CheckTask()->owner, rig.manager());
  const SlgEffectTask* task = EventCheckState().task;
  ASSERT_EQ(SlgTaskIsAlive(task), 1);
  b.event_busy = 1;
  ASSERT_TRUE(rig.Step());
  EXPECT_EQ(task->phase, kEventCheckIdle);
  EXPECT_EQ(b.event_busy, 0u);
  EXPECT_EQ(EventStep(), 0);
  EXPECT_EQ(b.event_words.battle_end, 0u);
  // A table whose first row has a null handler never starts an event.
  EXPECT_EQ(CheckEvents(), 0);
  EXPECT_EQ(CurrentEvent(), &table[0]);

  const int manager = TasksNamed("CTamvikGeneral::GeneralManeger");
  EndEventCheck();
  EXPECT_EQ(HasEventTable(), 0);
  EXPECT_EQ(TasksNamed(kEventCheckTaskName), 0);
  EndEventCheck();  // nothing left to end
  EXPECT_EQ(TasksNamed("CTamvikGeneral::GeneralManeger"), manager);
  EXPECT_EQ(EventCheckState().task, nullptr);
  EXPECT_EQ(CheckEvents(), 0);
}

// ---- Events on the rig ----

// The handlers' record: (row id, EventStep, driver frame) of each call.
struct Call {
  uint16_t id;
  int32_t step;
  int frame;
  bool operator==(const Call&) const = default;
};
std::vector<Call> g_calls;
BattleRig* g_rig = nullptr;

void Record(const SlgEventEntry& row) {
  g_calls.push_back({row.id, EventStep(), g_rig != nullptr ? g_rig->frame() : -1});
}

// The builder's battle on the rig (map 0: the hero and the ASHIGARU), `table` at its set-up.
class EventBattle {
 public:
  explicit EventBattle(const SlgEventEntry* table, bool stub_phases = true) {
    g_calls.clear();
    g_rig = &rig;
    BattleInstall().Lay(rig.driver().tree);
    GetSystemData()->setBattleMap(0);
    GetSystemData()->setVoiceOff(1);
    rig.InstallEventTable(table);
    if (stub_phases) {
      rig.StubPhases([this](SlgMainWork*) { phase_frames.push_back(rig.frame()); });
    }
  }
  ~EventBattle() { g_rig = nullptr; }

  // Starts the battle and runs until the main task's first frame (round 1); that frame.
  int Start() {
    Slg::StartStage();
    EXPECT_TRUE(rig.RunUntil("round 1", [] { return Battle().state.round == 1; }, 60));
    return rig.frame();
  }
  std::vector<int> Frames(uint16_t id, SlgEventMoment moment) const {
    return testsupport::NoteFrames(rig.event_notes(), id, moment);
  }

  BattleRig rig;
  std::vector<int> phase_frames;  // the frames turn control ran the stub phase
};

// Row 10: step 0 lowers the hold word (turn control runs in the frame) and raises the turn-start
// bit there, spoils the unit references and the camera; step 1 raises the hold word again and
// keeps the timing word; step 2 ends.
uint16_t g_timing_seen = 0;
void LowersHoldThenEnds(const SlgEventEntry& row) {
  Record(row);
  BattleContext& b = Battle();
  switch (EventStep()) {
    case 0:
      b.control.turn_hold = 0;
      g_rig->RaiseTiming(0x0001);
      b.event_unit_ref = {0, 0};
      b.camera.followed = 99;
      ++EventStep();
      break;
    case 1:
      b.control.turn_hold = 1;
      g_timing_seen = b.state.turn_flags;
      ++EventStep();
      break;
    default:
      EventEnd();
      break;
  }
}

void EndsTwice(const SlgEventEntry& row) {
  Record(row);
  EventEnd();
  EventEnd();
}

void RecordAndEnd(const SlgEventEntry& row) {
  Record(row);
  EventEnd();
}

TEST(EventCheckOnTheRig, EventsStartRunFinishAndChainFrameByFrame) {
  static constexpr SlgEventEntry kTable[] = {
      {.id = 10, .timing = 0x8000, .guard = {10, 0}, .set = {10, 11}, .clear = {11, 0},
       .handler = &LowersHoldThenEnds},
      {.id = 20, .timing = 0x8000, .a = "F(10);", .guard = {20, 0}, .set = {20, 0},
       .handler = &EndsTwice},
      {.id = 30, .timing = 0x0001, .guard = {30, 0}, .set = {30, 0}, .handler = &RecordAndEnd},
      kEventTableEnd};
  EventBattle e(kTable);
  BattleContext& b = e.rig.battle();
  const int n = e.Start();
  // Frame N: the main task's check finds row 10 (the round's start bit is there too, but row 10
  // comes first).
  EXPECT_EQ(e.Frames(10, kStarted), std::vector<int>{n});
  EXPECT_EQ(b.event_busy, 1u);
  EXPECT_EQ(b.control.turn_hold, 1u);
  EXPECT_EQ(CurrentEvent(), &kTable[0]);

  for (int i = 0; i < 4; ++i) ASSERT_TRUE(e.rig.Step());
  // N+1 .. N+3: the handler once a frame, its steps in order; turn control ran in N+1 only, when
  // the handler had lowered the hold word, and ORed in the turn-start bit there.
  ASSERT_GE(g_calls.size(), 3u);
  EXPECT_EQ(std::vector<Call>(g_calls.begin(), g_calls.begin() + 3),
            (std::vector<Call>{{10, 0, n + 1}, {10, 1, n + 2}, {10, 2, n + 3}}));
  EXPECT_NE(g_timing_seen & 0x0001, 0);
  EXPECT_EQ(std::count(e.phase_frames.begin(), e.phase_frames.end(), n + 1), 1);
  EXPECT_EQ(std::count(e.phase_frames.begin(), e.phase_frames.end(), n + 2), 0);
  EXPECT_EQ(std::count(e.phase_frames.begin(), e.phase_frames.end(), n + 3), 0);
  // N+4: the event finishes (flag 11 set, then cleared; the references released; the camera
  // sent to the acting unit), and in the same frame row 20 starts on the timing word the main
  // task reset: the turn-start bit raised during the event is gone.
  EXPECT_EQ(e.Frames(10, kFinished), std::vector<int>{n + 4});
  EXPECT_EQ(e.Frames(20, kStarted), std::vector<int>{n + 4});
  EXPECT_EQ(CheckEventFlag(10), 1);
  EXPECT_EQ(CheckEventFlag(11), 0);
  EXPECT_EQ(b.event_unit_ref, (std::array<uint16_t, 2>{kSlgNoUnit, kSlgNoUnit}));
  EXPECT_EQ(b.camera.followed, b.state.acting_unit);
  EXPECT_EQ(b.state.turn_flags & 0x0001, 0);

  // Row 20 ends twice in its step: one finish.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(e.rig.Step());
  EXPECT_EQ(e.Frames(20, kFinished), std::vector<int>{n + 6});
  EXPECT_EQ(CheckEventFlag(20), 1);
  EXPECT_TRUE(e.Frames(30, kStarted).empty());
  EXPECT_EQ(b.event_busy, 0u);

  // A turn start with no event running: row 30 starts in that frame.
  e.rig.RaiseTiming(0x0001);
  ASSERT_TRUE(e.rig.Step());
  EXPECT_EQ(e.Frames(30, kStarted), std::vector<int>{e.rig.frame()});
  EXPECT_EQ(e.rig.event_notes().size(), 5u);
}

TEST(EventCheckOnTheRig, NoRowStartsWhileACommandHoldsTheMapAndItsBitMustComeAgain) {
  static constexpr SlgEventEntry kTable[] = {
      {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0},
       .handler = &testsupport::EventEndAtOnce},
      {.id = 40, .timing = 0x0004, .guard = {40, 0}, .set = {40, 0}, .handler = &RecordAndEnd},
      kEventTableEnd};
  EventBattle e(kTable);
  BattleContext& b = e.rig.battle();
  const int n = e.Start();
  ASSERT_TRUE(e.rig.Run(3));  // row 1 runs and finishes: the acting unit's bit 4 is gone
  EXPECT_EQ(e.Frames(1, kFinished), std::vector<int>{n + 2});
  EXPECT_TRUE(e.Frames(40, kStarted).empty());

  b.cmd_busy = 1;
  e.rig.RaiseTiming(0x0004);
  ASSERT_TRUE(e.rig.Step());
  EXPECT_TRUE(e.Frames(40, kStarted).empty());
  b.cmd_busy = 0;
  ASSERT_TRUE(e.rig.Step());  // the bit was in the busy frame only
  EXPECT_TRUE(e.Frames(40, kStarted).empty());
  e.rig.RaiseTiming(0x0004);
  ASSERT_TRUE(e.rig.Step());
  EXPECT_EQ(e.Frames(40, kStarted), std::vector<int>{e.rig.frame()});
}

// ---- The fault of a handler that lowers the busy word while it waits ----

// Row 50 lowers the busy and hold words at its first step, so the main task and the player
// phase check for events meanwhile; at step 20 the acting unit's turn starts again (phase state
// 15, which checks too); it ends at step 40.
void WaitsWithTheBattleRunning(const SlgEventEntry& row) {
  Record(row);
  if (EventStep() == 0) {
    Battle().event_busy = 0;
    Battle().control.turn_hold = 0;
  }
  if (EventStep() == 20) Slg::SetPhaseState(Battle().control.main_work, kSlgPhaseStart);
  if (EventStep() == 40) {
    EventEnd();
    return;
  }
  ++EventStep();
}

// The checks made while row 50 ran: the frame of each, and whether one started an event.
std::vector<int> g_check_frames;
int g_checks_started = 0;
int CountingCheck() {
  g_check_frames.push_back(g_rig->frame());
  const int started = SlgEventCheck::CheckEvents();
  g_checks_started += started;
  return started;
}

TEST(EventCheckOnTheRig, AHandlerThatLowersTheBusyWordRunsToItsEndWhileOthersCheck) {
  static constexpr SlgEventEntry kTable[] = {
      {.id = 50, .timing = 0x8000, .guard = {50, 0}, .set = {50, 0},
       .handler = &WaitsWithTheBattleRunning},
      {.id = 60, .timing = 0x8000, .handler = &RecordAndEnd},  // matches whenever asked
      kEventTableEnd};
  EventBattle e(kTable, /*stub_phases=*/false);
  BattleContext& b = e.rig.battle();
  const int n = e.Start();
  ASSERT_EQ(e.Frames(50, kStarted), std::vector<int>{n});
  ASSERT_EQ(b.state.units[b.state.acting_unit].side, 0);  // the hero's turn: the player phase
  g_check_frames.clear();
  g_checks_started = 0;
  b.events.check_events = &CountingCheck;
  for (int i = 0; i < 42; ++i) ASSERT_TRUE(e.rig.Step());

  // Called once a frame with its steps 0-40 in order, never restarted or replaced.
  std::vector<Call> expected;
  for (int s = 0; s <= 40; ++s) expected.push_back({50, s, n + 1 + s});
  ASSERT_GE(g_calls.size(), expected.size());
  EXPECT_EQ(std::vector<Call>(g_calls.begin(), g_calls.begin() + 41), expected);
  EXPECT_EQ(e.Frames(50, kFinished), std::vector<int>{n + 42});
  EXPECT_EQ(CheckEventFlag(50), 1);
  // Row 60 waited for the finish; meanwhile every frame checked: the player phase (in the
  // command window) and the main task, and in N+21 state 15 too; none of them started anything
  // until the finish.
  EXPECT_EQ(e.Frames(60, kStarted), std::vector<int>{n + 42});
  EXPECT_EQ(g_checks_started, 1);
  for (int f = n + 1; f < n + 42; ++f) {
    EXPECT_EQ(std::count(g_check_frames.begin(), g_check_frames.end(), f), f == n + 21 ? 3 : 2)
        << "frame " << f;
  }
}

// ---- The debug value ----

void ShowsValue(const SlgEventEntry& /*row*/) {
  static const int16_t value = -27;
  ShowEventValue(&value);
  ShowEventValue(nullptr);
}

TEST(EventCheckOnTheRig, ShowEventValueDrawsTheDigitsAtItsPlace) {
  static constexpr SlgEventEntry kTable[] = {
      kOpeningRow,
      {.id = 70, .timing = 0x8000, .handler = &ShowsValue},  // never ends
      kEventTableEnd};
  EventBattle e(kTable);
  e.Start();
  ASSERT_TRUE(e.rig.Run(6));
  // "2" and "7" of the digit strip, 16 pixels apart from (64, 192) (the sign is not drawn).
  using testsupport::SystemSpriteSet;
  const auto shows = [&e](int frame, int x0) {
    const uint32_t want = SystemSpriteSet::ColourRef(kSysMojiBDigit, frame);
    for (int y = 160; y < 232; ++y) {
      for (int x = x0 - 24; x < x0 + 24; ++x) {
        if ((e.rig.PixelAt(x, y) & 0xF8F8F8) == (want & 0xF8F8F8)) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(shows(2, 80));
  EXPECT_TRUE(shows(7, 96));
  EXPECT_FALSE(shows(0, 88));
}

// ---- Whole battles on the mode manager ----

BattleRig::Options ManagerOptions() {
  BattleRig::Options o;
  o.manager_mode = 26;
  o.seed = 3;
  return o;
}

// Steps until the manager has left its battle modes; the modes seen.
std::vector<int> RunBattle(BattleRig& rig, const std::function<void()>& before_frame = {}) {
  std::vector<int> modes;
  for (int f = 0; f < 2000; ++f) {
    const int mode = CTamvikGeneral::GetMode();
    if (modes.empty() || modes.back() != mode) modes.push_back(mode);
    if (f > 0 && (mode < 26 || mode > 28)) break;
    if (before_frame) before_frame();
    if (!rig.Step()) break;
  }
  return modes;
}

int Traced(BattleRig& rig, const std::string& line) {
  int n = 0;
  for (const DebugTraceLine& l : rig.driver().trace().lines()) n += l.text == line;
  return n;
}

// Row 1 asks for the win in two steps: the second call finds the victory running.
void WinsTwice(const SlgEventEntry& /*row*/) {
  StartGameWin();
  if (EventStep()++ == 1) EventEnd();
}

TEST(EventBattle, ASecondWinLeavesOneVictoryAndOneExit) {
  static constexpr SlgEventEntry kTable[] = {
      kOpeningRow,
      {.id = 1, .timing = 0x8000, .b = "NG(GZA)&NG(GBO)&NG(GTR);", .guard = {1, 0},
       .set = {1, 0}, .handler = &WinsTwice},
      kEventTableEnd};
  BattleRig rig(ManagerOptions());
  BattleInstall install;
  install.HeroineInsteadOfEnemy();
  install.Lay(rig.driver().tree);
  GetSystemData()->setVoiceOff(1);
  rig.InstallEventTable(kTable);
  int most_wins = 0;
  const std::vector<int> modes = RunBattle(rig, [&most_wins] {
    most_wins = std::max(most_wins, TasksNamed(kSlgGameWinTaskName));
  });
  EXPECT_EQ(modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(most_wins, 1);
  EXPECT_EQ(Traced(rig, "Slg::ExitSlg\n"), 1);
  EXPECT_EQ(Traced(rig, "Slg::ExitSlg: the battle has already handed back\n"), 0);
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  EXPECT_EQ(rig.event_notes().size(), 4u);  // the opening and row 1, each started and finished
}

void RequestsGameOver(const SlgEventEntry& /*row*/) {
  RequestGameOver();
  EventEnd();
}

TEST(EventBattle, ARowRequestingTheGameOverLeadsToItsSequenceAndGivingUpLoses) {
  static constexpr SlgEventEntry kTable[] = {
      kOpeningRow,
      {.id = 5, .timing = 0x8000, .guard = {5, 0}, .set = {5, 0}, .handler = &RequestsGameOver},
      kVictoryRow,
      kEventTableEnd};
  BattleRig rig(ManagerOptions());
  BattleInstall().Lay(rig.driver().tree);
  GetSystemData()->setVoiceOff(1);
  rig.InstallEventTable(kTable);
  testsupport::BattleScript player(rig.driver());
  bool game_over_seen = false;
  const std::vector<int> modes = RunBattle(rig, [&] {
    if (!HasBattle()) return;
    game_over_seen |= Ctx().game_task.FindTask(kSlgGameOverTaskName) != nullptr;
    if (player.Ready()) player.AnswerGameOver(/*give_up=*/true);
  });
  EXPECT_TRUE(game_over_seen);
  EXPECT_EQ(modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  EXPECT_EQ(Traced(rig, "SLG INIT END\n"), 1);
}

}  // namespace
